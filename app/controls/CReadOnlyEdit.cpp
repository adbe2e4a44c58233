#include "app/controls/CReadOnlyEdit.h"

#include <QContextMenuEvent>
#include <QFontDatabase>

namespace app {

CReadOnlyEdit::CReadOnlyEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    SetColours(Qt::black, Qt::white);
}

void CReadOnlyEdit::SetColours(const QColor& text, const QColor& background)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Text, text);
    colours.setColor(QPalette::Base, background);
    setPalette(colours);
}

void CReadOnlyEdit::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}

} // namespace app
