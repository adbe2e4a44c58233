#include "app/controls/CReadOnlyEdit.h"

#include <QFontDatabase>

namespace app {

CReadOnlyEdit::CReadOnlyEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setContextMenuPolicy(Qt::NoContextMenu);
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

} // namespace app
