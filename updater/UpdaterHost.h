#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace updater {

// What the updater needs of the program around it.
class UpdaterHost {
public:
    virtual ~UpdaterHost() = default;

    // True while a job (scan, preview, repair) runs: the program must not end then.
    virtual bool isJobRunning() const = 0;
    // Where the private download folder is made.
    virtual QString tempFolder() const = 0;
    // Shows a web page or a local folder to the user.
    virtual void openUrl(const QUrl& url) = 0;
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // Ends the program's event loop without its close questions.
    virtual void quitProgram() = 0;
};

} // namespace updater
