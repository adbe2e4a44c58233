#pragma once

#include "app/controls/CUxThemeLoader.h"

#include <QColor>
#include <QPushButton>

namespace app {

// The push button of the program's own dialogs: a flat frame filled with a
// vertical gradient, white to light blue; dark blue while the mouse is over
// it, the other way round while it is held down, white to the button face
// when disabled. The caption is centred and clipped to the inner area. A
// double click counts as a second click.
class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(const QString& text = QString(), QWidget* parent = nullptr);

    // The gradient's two ends for the current state: top, bottom.
    std::pair<QColor, QColor> gradientColours() const;
    bool hovered() const { return m_bHover; }

    static constexpr QRgb m_clrTop = 0xFFFFFFFF;
    static constexpr QRgb m_clrNormal = 0xFFDCE6F4;
    static constexpr QRgb m_clrHover = 0xFF266086;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    CUxThemeLoader m_themeLoader;
    QColor m_crFace;
    bool m_bHover = false;
    bool m_bTrackHover = true;
};

} // namespace app
