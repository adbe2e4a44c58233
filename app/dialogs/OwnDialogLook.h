#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace app {

// The program's own dialogs share one look: a white background.
inline void applyOwnDialogLook(QWidget* dialog)
{
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, Qt::white);
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

} // namespace app
