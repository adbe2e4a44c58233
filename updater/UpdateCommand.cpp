#include "updater/UpdateCommand.h"

#include "updater/AppStateUpdaterHost.h"
#include "updater/CUpdatePropertySheet.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace updater {

bool runUpdateCommand(CAutoUpdater& updater, UpdaterHost& host, QWidget* parent)
{
    QString setupPath;
    {
        // The sheet's end also ends its download thread.
        CUpdatePropertySheet sheet(updater, host, parent);
        const int answer = sheet.exec();
        if (answer != QDialog::Accepted || sheet.m_bUpdateCancelled)
            return false;
        setupPath = sheet.setupPath();
    }
    if (setupPath.isEmpty())
        return false;

    // The installer came over the network: the user runs it, we do not.
    host.openUrl(QUrl::fromLocalFile(QFileInfo(setupPath).absolutePath()));
    const QString saved = QStringLiteral("The new installer has been saved as:\n%1\n\n")
                              .arg(QDir::toNativeSeparators(setupPath));
    if (host.isJobRunning()) {
        host.showMessage(parent, saved
                                     + QStringLiteral("Grisolt will not close while its current job is "
                                                      "running. Run the installer after the job has "
                                                      "ended and Grisolt is closed."));
        return false;
    }
    host.showMessage(parent, saved + QStringLiteral("Grisolt will now close. Run the installer to update it."));
    host.quitProgram();
    return true;
}

bool runUpdateCommand(CAutoUpdater& updater, const engine::AppState& state, QWidget* parent,
                      std::function<void()> endProgram)
{
    AppStateUpdaterHost host(state, std::move(endProgram));
    return runUpdateCommand(updater, host, parent);
}

} // namespace updater
