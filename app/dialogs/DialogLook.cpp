#include "app/dialogs/DialogLook.h"

#include "app/controls/ProgramPicture.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetricsF>
#include <QLabel>
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
    label->setPixmap(ProgramPicture::Draw(QSize(side, side)));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace app
