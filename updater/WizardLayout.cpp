#include "updater/WizardLayout.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace updater {

QRect dialogUnits(int x, int y, int width, int height)
{
    // A dialog unit is a quarter of the font's average letter wide and an
    // eighth of its line high, so the layout grows with the font.
    const QFontMetricsF metrics(QApplication::font());
    const double unitX =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
    const double unitY = metrics.height() / 8.0;
    return QRect(qRound(x * unitX), qRound(y * unitY), qRound(width * unitX), qRound(height * unitY));
}

QPixmap wizardPicture(QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0.0, QColor(30, 80, 160));
    sky.setColorAt(1.0, QColor(150, 190, 235));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(picture.rect()).adjusted(2, 2, -2, -2), 8, 8);

    // A disk with an arrow coming down into it.
    const double w = size.width();
    const double h = size.height();
    const QRectF disk(w * 0.2, h * 0.55, w * 0.6, h * 0.3);
    painter.setBrush(QColor(235, 240, 250));
    painter.drawRect(QRectF(disk.left(), disk.top() + disk.height() * 0.2, disk.width(), disk.height() * 0.6));
    painter.drawEllipse(QRectF(disk.left(), disk.bottom() - disk.height() * 0.4, disk.width(), disk.height() * 0.4));
    painter.setBrush(QColor(200, 215, 240));
    painter.drawEllipse(QRectF(disk.left(), disk.top(), disk.width(), disk.height() * 0.4));

    QPainterPath arrow;
    arrow.moveTo(w * 0.42, h * 0.12);
    arrow.lineTo(w * 0.58, h * 0.12);
    arrow.lineTo(w * 0.58, h * 0.33);
    arrow.lineTo(w * 0.70, h * 0.33);
    arrow.lineTo(w * 0.50, h * 0.50);
    arrow.lineTo(w * 0.30, h * 0.33);
    arrow.lineTo(w * 0.42, h * 0.33);
    arrow.closeSubpath();
    painter.setBrush(QColor(255, 200, 40));
    painter.drawPath(arrow);
    return picture;
}

QLabel* makeStatic(QWidget* parent, const QString& text, const QRect& where)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    // A longer text than the box was drawn for grows downwards, never cut.
    label->setGeometry(where.adjusted(0, 0, 0, std::max(0, label->heightForWidth(where.width()) - where.height())));
    return label;
}

QFont headlineFont(const QFont& base)
{
    QFont font(base);
    font.setBold(true);
    font.setPointSizeF(base.pointSizeF() * 1.25);
    return font;
}

void addSidePanel(QWidget* page, const QRect& panel, const QRect& text, const QRect& picture)
{
    auto* white = new QLabel(page);
    white->setGeometry(panel);
    white->setAutoFillBackground(true);
    auto* title = makeStatic(page, QStringLiteral("  Update Wizard\n\n  Veltrax"), text);
    title->setWordWrap(false);
    QFont bold(page->font());
    bold.setBold(true);
    title->setFont(bold);
    auto* image = new QLabel(page);
    image->setGeometry(picture);
    image->setPixmap(wizardPicture(picture.size()));
}

} // namespace updater
