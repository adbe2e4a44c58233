#pragma once

#include "app/FileDialogs.h"

namespace app {

// The file dialogs as QFileDialog shows them.
class QtFileDialogs : public FileDialogs {
public:
    QString saveFileName(QWidget* owner, const QString& caption, const QString& initialName,
                         const QString& filter) override;
    QString existingDirectory(QWidget* owner, const QString& caption) override;
    QString openFileName(QWidget* owner, const QString& caption) override;
};

} // namespace app
