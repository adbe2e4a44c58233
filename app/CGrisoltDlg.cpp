#include "app/CGrisoltDlg.h"

#include <QPainter>
#include <QPainterPath>

namespace app {

CGrisoltDlg::CGrisoltDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("logo"));
    // The ribbon's own background shows around the picture.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(kWidth, kHeight);
}

void CGrisoltDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badge(14, 6, 68, 50);
    QLinearGradient fill(badge.topLeft(), badge.bottomLeft());
    fill.setColorAt(0, QColor(70, 130, 200));
    fill.setColorAt(1, QColor(25, 70, 140));
    painter.setPen(QPen(QColor(20, 50, 100), 1.5));
    painter.setBrush(fill);
    painter.drawRoundedRect(badge, 10, 10);
    // A drum of three discs: the database the program restores.
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    const QRectF disc(34, 14, 28, 9);
    for (int i = 0; i < 3; ++i)
        painter.drawArc(disc.translated(0, i * 10), 180 * 16, 180 * 16);
    painter.drawEllipse(disc);
    painter.drawLine(QPointF(disc.left(), disc.center().y()), QPointF(disc.left(), disc.center().y() + 20));
    painter.drawLine(QPointF(disc.right(), disc.center().y()), QPointF(disc.right(), disc.center().y() + 20));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(QColor(25, 70, 140));
    painter.drawText(QRectF(0, 58, kWidth, 20), Qt::AlignCenter, QStringLiteral("Grisolt"));
}

} // namespace app
