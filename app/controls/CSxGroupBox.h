#pragma once

#include <QGroupBox>

namespace app {

// A group box that draws its own etched frame and its caption, with one
// blank on either side, in the gap left open in the frame's top line.
class CSxGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit CSxGroupBox(const QString& caption, QWidget* parent = nullptr);

    // Where the caption's span starts and ends on the top line, in pixels.
    QPair<int, int> CaptionSpan() const;

    bool m_bNoCaption = false;
    int m_nLineWidth = 1;
    QColor m_crText = Qt::black;
    Qt::Alignment m_nAlign = Qt::AlignLeft;
    int m_nCaptionMargin = 8;
    int m_nCaptionOffset = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString DrawnCaption() const { return QLatin1Char(' ') + title() + QLatin1Char(' '); }
    QFont m_captionFont;
};

} // namespace app
