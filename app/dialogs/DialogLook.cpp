#include "app/dialogs/DialogLook.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStyle>

#include <algorithm>

namespace app {

DialogLook::DialogLook(QDialog& dialog, const QFont& font) : m_dialog(dialog)
{
    m_dialog.setFont(font);
    m_dialog.setWindowTitle(QStringLiteral("Grisolt"));
    m_dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_dialog.setModal(true);
    QPalette palette = m_dialog.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    m_dialog.setPalette(palette);
    m_dialog.setAutoFillBackground(true);

    const QFontMetricsF metrics(font);
    // The average width of the letters, as dialog units are defined.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_unitX = metrics.horizontalAdvance(letters) / letters.size() / 4.0;
    m_unitY = metrics.height() / 8.0;
}

QRect DialogLook::toPixels(int x, int y, int w, int h) const
{
    return QRect(qRound(x * m_unitX), qRound(y * m_unitY), qRound(w * m_unitX), qRound(h * m_unitY));
}

void DialogLook::setSize(int width, int height)
{
    m_dialog.setFixedSize(toPixels(0, 0, width, height).size());
}

void DialogLook::place(QWidget* child, int x, int y, int w, int h) const
{
    child->setGeometry(toPixels(x, y, w, h));
}

QLabel* DialogLook::text(const QString& objectName, int x, int y, int w, int h) const
{
    auto* label = new QLabel(&m_dialog);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    place(label, x, y, w, h);
    return label;
}

QLabel* DialogLook::picture(int x, int y, int w, int h) const
{
    auto* label = new QLabel(&m_dialog);
    label->setObjectName(QStringLiteral("picture"));
    place(label, x, y, w, h);
    const int side = std::min(label->width(), label->height());
    label->setPixmap(pictureOfSide(side));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPixmap DialogLook::pictureOfSide(int side)
{
    // A database drawn in the blues of the program's buttons.
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor dark(0x26, 0x60, 0x86);
    const QColor light(0xDC, 0xE6, 0xF4);
    const double w = side * 0.7;
    const double x = (side - w) / 2;
    const double cap = side * 0.18;
    const double top = side * 0.12;
    const double bottom = side * 0.88 - cap;
    QLinearGradient body(QPointF(x, 0), QPointF(x + w, 0));
    body.setColorAt(0, light);
    body.setColorAt(0.45, Qt::white);
    body.setColorAt(1, dark);
    painter.setPen(QPen(dark, std::max(1.0, side / 40.0)));
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

} // namespace app
