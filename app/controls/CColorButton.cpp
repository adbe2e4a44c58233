#include "app/controls/CColorButton.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace app {

namespace {

// The width of the frame around the gradient.
constexpr int kEdge = 2;

} // namespace

CColorButton::CColorButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), m_crFace(palette().color(QPalette::Button))
{
    setAttribute(Qt::WA_Hover);
    m_themeLoader.Init();
}

std::pair<QColor, QColor> CColorButton::gradientColours() const
{
    const QColor top = QColor::fromRgba(m_clrTop);
    const QColor tint = QColor::fromRgba(m_bHover && m_bTrackHover ? m_clrHover : m_clrNormal);
    if (!isEnabled())
        return {top, m_crFace};
    if (isDown())
        return {tint, top};
    return {top, tint};
}

void CColorButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect outer = rect();
    // A flat push-button frame; an inactive one when disabled.
    painter.setPen(palette().color(isEnabled() ? QPalette::Dark : QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Button));
    painter.drawRect(outer.adjusted(0, 0, -1, -1));

    const QRect inner = outer.adjusted(kEdge, kEdge, -kEdge, -kEdge);
    const auto [top, bottom] = gradientColours();
    QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(inner, gradient);

    if (text().isEmpty())
        return;
    painter.setClipRect(inner);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(inner, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void CColorButton::enterEvent(QEnterEvent* event)
{
    if (m_bTrackHover && !m_bHover) {
        m_bHover = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CColorButton::leaveEvent(QEvent* event)
{
    if (m_bHover) {
        m_bHover = false;
        update();
    }
    QPushButton::leaveEvent(event);
}

void CColorButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click presses the button again.
    mousePressEvent(event);
}

} // namespace app
