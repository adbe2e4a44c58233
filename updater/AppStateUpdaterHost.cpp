#include "updater/AppStateUpdaterHost.h"

#include "engine/AppState.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>

namespace updater {

bool AppStateUpdaterHost::isJobRunning() const
{
    // Every job, a repair included, clears the idle flag until it ends.
    return !m_state.m_bIdle;
}

QString AppStateUpdaterHost::tempFolder() const
{
    return m_state.m_strTempFolder.isEmpty() ? QDir::tempPath() : m_state.m_strTempFolder;
}

void AppStateUpdaterHost::openUrl(const QUrl& url)
{
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

void AppStateUpdaterHost::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QStringLiteral("Grisolt"), text);
}

void AppStateUpdaterHost::quitProgram()
{
    if (m_endProgram) {
        m_endProgram();
        return;
    }
    QCoreApplication::exit(0);
}

} // namespace updater
