#include "app/controls/CSymbolEdit.h"

#include <QPainter>

namespace app {

CSymbolEdit::CSymbolEdit(QWidget* parent) : QLineEdit(parent) {}

void CSymbolEdit::SetSymbolIcon()
{
    m_bSymbolLoaded = true;
    const QMargins margins = textMargins();
    setTextMargins(margins.left(), margins.top(), kSymbolSize + 6, margins.bottom());
    update();
}

void CSymbolEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (!m_bSymbolLoaded)
        return;
    // The symbol: a magnifying glass in the right margin.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect box(width() - kSymbolSize - 4, (height() - kSymbolSize) / 2, kSymbolSize, kSymbolSize);
    painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 2));
    painter.drawEllipse(QRectF(box.left() + 1, box.top() + 1, 9, 9));
    painter.drawLine(QPointF(box.left() + 9, box.top() + 9), QPointF(box.right() - 1, box.bottom() - 1));
}

} // namespace app
