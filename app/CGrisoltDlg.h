#pragma once

#include <QWidget>

namespace app {

// The logo at the right end of the ribbon bar: one picture of 97 by 80
// pixels on a transparent background.
class CGrisoltDlg : public QWidget {
    Q_OBJECT
public:
    explicit CGrisoltDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(kWidth, kHeight); }

    static constexpr int kWidth = 97;
    static constexpr int kHeight = 80;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace app
