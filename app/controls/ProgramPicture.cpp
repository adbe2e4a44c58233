#include "app/controls/ProgramPicture.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace app {

namespace {

// Draws the picture at the size asked for, when asked: sharp at any size,
// and nothing is painted while the window is built (painting may start Qt's
// pool of threads).
class ProgramPictureEngine : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const QPixmap picture = ProgramPicture::Draw(size);
        if (mode != QIcon::Disabled)
            return picture;
        const QStyleOption option;
        return QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QIconEngine* clone() const override { return new ProgramPictureEngine; }
};

} // namespace

QPixmap ProgramPicture::Draw(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor dark(0x26, 0x60, 0x86);
    const QColor light(0xDC, 0xE6, 0xF4);
    // A drum across 0.7 of the width, from 0.12 to 0.88 of the height; its
    // caps keep their shape in a picture taller than wide.
    const double w = size.width() * 0.7;
    const double x = (size.width() - w) / 2;
    const double cap = std::min(size.height() * 0.18, w * 0.18 / 0.7);
    const double top = size.height() * 0.12;
    const double bottom = size.height() * 0.88 - cap;
    QLinearGradient body(QPointF(x, 0), QPointF(x + w, 0));
    body.setColorAt(0, light);
    body.setColorAt(0.45, Qt::white);
    body.setColorAt(1, dark);
    painter.setPen(QPen(dark, std::max(1.0, std::min(size.width(), size.height()) / 40.0)));
    painter.setBrush(body);
    QPainterPath path;
    path.moveTo(x, top + cap / 2);
    path.lineTo(x, bottom + cap / 2);
    path.arcTo(QRectF(x, bottom, w, cap), 180, 180);
    path.lineTo(x + w, top + cap / 2);
    path.arcTo(QRectF(x, top, w, cap), 0, -180);
    painter.drawPath(path);
    // The bands between the platters.
    painter.setBrush(Qt::NoBrush);
    for (const double y : {top + (bottom - top) / 3, top + 2 * (bottom - top) / 3})
        painter.drawArc(QRectF(x, y, w, cap), 180 * 16, 180 * 16);
    painter.setBrush(light);
    painter.drawEllipse(QRectF(x, top, w, cap));
    return pixmap;
}

QIcon ProgramPicture::Icon()
{
    return QIcon(new ProgramPictureEngine);
}

} // namespace app
