#include "app/QtFileDialogs.h"

#include <QFileDialog>

namespace app {

QString QtFileDialogs::saveFileName(QWidget* owner, const QString& caption, const QString& initialName,
                                    const QString& filter)
{
    // The overwrite question is the program's own, asked after ".log" is added.
    return QFileDialog::getSaveFileName(owner, caption, initialName, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace app
