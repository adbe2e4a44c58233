#pragma once

#include <QString>

class QWidget;

namespace app {

// The file dialogs the program asks the user through. The real one shows
// QFileDialog; tests answer with their own.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // A save-as dialog: the full path chosen, or an empty text when the user
    // cancelled. `filter` is in QFileDialog's form ("Log files (*.log)").
    // The dialog itself asks nothing about existing files: the caller does.
    virtual QString saveFileName(QWidget* owner, const QString& caption, const QString& initialName,
                                 const QString& filter) = 0;

    // A folder browser: the folder chosen, or an empty text when cancelled.
    // Dialogs that an implementation does not offer answer as cancelled.
    virtual QString existingDirectory(QWidget* owner, const QString& caption)
    {
        (void)owner;
        (void)caption;
        return QString();
    }
    // An open-file dialog for a file that exists: its full path, or an empty
    // text when cancelled.
    virtual QString openFileName(QWidget* owner, const QString& caption)
    {
        (void)owner;
        (void)caption;
        return QString();
    }
};

} // namespace app
