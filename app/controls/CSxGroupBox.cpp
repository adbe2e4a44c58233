#include "app/controls/CSxGroupBox.h"

#include <QPainter>
#include <QStyle>

namespace app {

CSxGroupBox::CSxGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent)
{
    m_captionFont = font();
}

QPair<int, int> CSxGroupBox::CaptionSpan() const
{
    const int cw = QFontMetrics(m_captionFont).horizontalAdvance(DrawnCaption());
    const QRect frame = rect();
    int xl = frame.left() + m_nCaptionMargin;
    if (m_nAlign & Qt::AlignRight)
        xl = frame.right() - m_nCaptionMargin - cw;
    else if (m_nAlign & Qt::AlignHCenter)
        xl = (frame.width() - cw) / 2;
    return {xl, xl + cw};
}

void CSxGroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(m_captionFont);
    const QRect frame = rect();
    const int w = m_nLineWidth;
    const int y = frame.top() + metrics.height() / 2 - 1;
    const int left = frame.left();
    const int right = frame.right();
    const int bottom = frame.bottom();
    const auto [xl, xr] = m_bNoCaption || title().isEmpty() ? QPair<int, int>{left, left} : CaptionSpan();

    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    QPen pen(shadow, w, Qt::SolidLine, Qt::SquareCap);
    painter.setPen(pen);
    painter.drawPolyline(QPolygon({QPoint(xl, y), QPoint(left, y), QPoint(left, bottom - w),
                                   QPoint(right - w, bottom - w), QPoint(right - w, y), QPoint(xr, y)}));
    pen.setColor(highlight);
    painter.setPen(pen);
    painter.drawPolyline(QPolygon({QPoint(xl, y + w), QPoint(left + w, y + w), QPoint(left + w, bottom - 2 * w)}));
    painter.drawPolyline(QPolygon({QPoint(left + w, bottom), QPoint(right, bottom), QPoint(right, y + w)}));
    painter.drawLine(QPoint(right - 2 * w, y + w), QPoint(xr, y + w));

    if (m_bNoCaption || title().isEmpty())
        return;
    painter.setFont(m_captionFont);
    const QRect band(xl, y - metrics.height() / 2 - m_nCaptionOffset, xr - xl, metrics.height());
    if (isEnabled()) {
        painter.setPen(m_crText);
        painter.drawText(band, Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, DrawnCaption());
    } else {
        // The embossed look of disabled text: a light copy under the grey one.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(band.translated(1, 1), Qt::AlignVCenter | Qt::TextSingleLine, DrawnCaption());
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(band, Qt::AlignVCenter | Qt::TextSingleLine, DrawnCaption());
    }
}

} // namespace app
