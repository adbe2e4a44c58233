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
};

} // namespace app
