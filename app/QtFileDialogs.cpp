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

QString QtFileDialogs::existingDirectory(QWidget* owner, const QString& caption)
{
    return QFileDialog::getExistingDirectory(owner, caption);
}

QString QtFileDialogs::openFileName(QWidget* owner, const QString& caption)
{
    // QFileDialog's open mode accepts only files that exist.
    return QFileDialog::getOpenFileName(owner, caption);
}

} // namespace app
