#pragma once

#include <QLineEdit>

namespace app {

// An edit box with a small symbol (a magnifying glass) at its right edge.
class CSymbolEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kSymbolSize = 16;

    explicit CSymbolEdit(QWidget* parent = nullptr);

    // Gives the box its symbol and makes room for it on the right.
    void SetSymbolIcon();
    bool hasSymbol() const { return m_bSymbolLoaded; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bSymbolLoaded = false;
};

} // namespace app
