// The repair job: login, the server prepared around the repair, the
// connection, the driver; and, when the server cannot be prepared or reached,
// the way back to the server as it was.
//
// The server's own ibdata1 is the one file that cannot be made again. Every
// road out of the job leaves it either in place or in this repair's dated
// backup folder, whole: the exchange replaces it only once a verified copy is
// in the backup (BackupIbdata), and the way back only ever puts that backup
// over the exchanged file (RestoreIbdataBackup), never deletes one blindly.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/ReportWindow.h"
#include "engine/StringTable.h"
#include "platform/ServiceControl.h"

#include <QDateTime>
#include <QLocale>

namespace engine {

namespace {

// The date and time of the job's log lines: "Tuesday, December 08, 2026, 09:05:03 PM".
QString logTimeText()
{
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("dddd, MMMM dd, yyyy, hh:mm:ss AP"));
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Sets a flag for as long as it lives.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

bool MySqlRepair::ServiceIsRunning() const
{
    const auto state = platform::ServiceControl::query(m_app.m_service.m_displayName);
    return state != platform::ServiceState::Stopped && state != platform::ServiceState::Unknown;
}

MySqlRepair::RepairOutcome MySqlRepair::RunRepair()
{
    m_statementsFailed = 0;
    m_restoreStepsFailed = 0;
    // A "use" left from an earlier repair would send this one's first
    // statements after a re-connect into that repair's database.
    m_strUseStatement.clear();
    AppendLog(QString());
    AppendLog(StringTable::Load(IDS_REPAIR_STARTED) + logTimeText());
    AppendLog(QString());
    // The rows this repair writes are those of the data files as they stand.
    if (!m_redoLogWarning.isEmpty())
        AppendLog(m_redoLogWarning);
    if (!m_openTransactionsWarning.isEmpty())
        AppendLog(m_openTransactionsWarning);

    LoginDetails login = m_login;
    if (!m_hWndReport || !m_hWndReport->RunLoginDialog(login.m_host, login.m_user, login.m_password)) {
        m_app.m_bTablesFound = true;
        return REPAIR_CANCELLED;
    }
    if (login.m_host.isEmpty() || login.m_user.isEmpty()) {
        m_app.setMessage(QString());
        m_app.setMessageText(QString());
        ShowUserMessage(StringTable::Load(IDS_UNABLE_TO_CONNECT));
        AppendLog(StringTable::Load(IDS_UNABLE_TO_CONNECT));
        ShowUserMessage(StringTable::Load(IDS_REPAIR_UNSUCCESSFUL));
        return REPAIR_CANCELLED;
    }
    m_login = login;

    const FlagScope running(m_bRepairRunning);
    if (!PrepareServer()) {
        RestoreAfterFailedRepair(IDS_UNABLE_TO_START_SERVER);
        m_app.m_bTablesFound = true;
        return REPAIR_FAILED;
    }
    if (!OpenRepairConnection()) {
        RestoreAfterFailedRepair(IDS_UNABLE_TO_CONNECT);
        // Emptied by the way back; it goes when the program ends.
        if (!m_strIbdataBackup.isEmpty())
            m_app.m_foldersToRemove.append(m_strIbdataBackup.left(m_strIbdataBackup.lastIndexOf(QLatin1Char('/'))));
        return REPAIR_FAILED;
    }
    try {
        if (m_hWndReport) {
            m_hWndReport->SendMessage(WM_READ_TREE_CHECKS);
            m_hWndReport->SendMessage(WM_RESET_TREE);
        }
        m_app.m_bConnected = true;
        RepairDatabases();
    } catch (const std::exception& error) {
        // The driver handles every statement's error itself; what still
        // escapes it ends the repair, and the server gets its own file back.
        const auto* odbc = dynamic_cast<const platform::OdbcError*>(&error);
        AppendLog(odbc ? ComErrorText(*odbc) : QString::fromLocal8Bit(error.what()));
        ++m_statementsFailed;
        CloseConnection();
        // From a chosen folder, what was recovered so far is kept aside as
        // at the driver's end.
        if (m_app.m_bManualFolder)
            RestoreOriginalIbdata();
        RestoreAfterFailedRepair(IDS_UNABLE_TO_CONNECT);
        m_app.m_bTablesFound = true;
        return REPAIR_FAILED;
    }
    if (m_app.m_bStop)
        return REPAIR_STOPPED;
    return m_statementsFailed == 0 && m_restoreStepsFailed == 0 ? REPAIR_SUCCEEDED : REPAIR_INCOMPLETE;
}

bool MySqlRepair::PrepareServer()
{
    m_bIbdataExchanged = false;
    if (m_app.m_bDefaultLocation)
        return PrepareDefaultLocation();
    if (!m_app.m_bManualFolder)
        return false;
    if (!LocateServiceConfig())
        return false;
    // The chosen service's files, not those of the last my.ini read.
    m_strIbdataPath = m_app.m_service.m_ibdataPath;
    m_strDataFolder = m_app.m_service.m_dataFolder;
    m_bServiceRanBeforeRepair = ServiceIsRunning();
    return ExchangeIbdataAndRestart();
}

bool MySqlRepair::PrepareDefaultLocation()
{
    // The scan stopped the service; whether it ran before that is what the
    // scan's stop saw.
    const bool stoppedByScan = m_bServiceWasRunning;
    const std::vector<MYSQL_SERVICE> services = m_app.m_services;
    for (const MYSQL_SERVICE& service : services) {
        m_app.m_service = service;
        m_strIbdataPath = service.m_ibdataPath;
        if (m_strIbdataPath.isEmpty())
            continue;
        m_bServiceRanBeforeRepair = stoppedByScan || ServiceIsRunning();
        // The stop acts on every listed service; only this one is prepared.
        m_app.m_services = {service};
        const bool ready = ExchangeIbdataAndRestart();
        m_app.m_services = services;
        m_app.m_service = service;
        if (ready) {
            // New databases are folders of the data folder, wherever the
            // InnoDB home folder puts ibdata1.
            m_strDataFolder = service.m_dataFolder.isEmpty() ? folderOf(m_strIbdataPath) : service.m_dataFolder;
            return true;
        }
        // A file that could not be put back must not be left behind for
        // another service's attempt.
        if (m_bIbdataExchanged)
            return false;
        if (m_bServiceRanBeforeRepair && !ServiceIsRunning() && !StartMySqlService())
            AppendLog(QStringLiteral("The service %1 could not be started again.").arg(service.m_displayName));
    }
    return false;
}

bool MySqlRepair::OpenRepairConnection()
{
    return m_connection.OpenOrExplain();
}

void MySqlRepair::RestoreAfterFailedRepair(unsigned messageId)
{
    if (messageId == IDS_UNABLE_TO_CONNECT)
        m_app.setMessageText(QString());
    m_app.setMessage(QString());
    ShowUserMessage(StringTable::Load(messageId));

    ReportProgress(PROGRESS_BEGIN, 500);
    StartProgressTicker();
    m_hDataFile.close();
    if (m_bIbdataExchanged) {
        // The exchanged file may leave its place only once no server holds it.
        if (ServiceIsRunning() && !StopMySqlServices())
            AppendLog(QStringLiteral("The service %1 could not be stopped.").arg(m_app.m_service.m_displayName));
        if (RestoreIbdataBackup())
            AppendLog(QStringLiteral("The server's own ibdata1 is back in %1.").arg(m_strIbdataPath));
        else
            AppendLog(QStringLiteral("The server's own ibdata1 could not be put back; it is kept in %1.")
                          .arg(m_strIbdataBackup));
    }
    ReportProgress(PROGRESS_STEP);
    // A service that ran before the repair runs again, on its own file - or,
    // when that could not be put back, on the file it ran on during the repair.
    if (m_bServiceRanBeforeRepair && !ServiceIsRunning() && !StartMySqlService())
        AppendLog(QStringLiteral("The service %1 could not be started again.").arg(m_app.m_service.m_displayName));
    StopProgressTicker();
}

void MySqlRepair::ReportRepairOutcome(RepairOutcome outcome)
{
    const QString unsuccessful = StringTable::Load(IDS_REPAIR_UNSUCCESSFUL);
    switch (outcome) {
    case REPAIR_CANCELLED:
    case REPAIR_FAILED:
        // The repair never ran: its one line, whatever stopped it (the box
        // of a failure has named the cause already).
        m_app.m_bTablesFound = true;
        m_app.m_bRepair = false;
        AppendLog(StringTable::Load(IDS_UNABLE_TO_CONNECT));
        return;
    case REPAIR_STOPPED:
        AppendLog(unsuccessful);
        break;
    case REPAIR_INCOMPLETE:
        // Not a success: the log above names each statement and step that failed.
        if (m_statementsFailed > 0)
            AppendLog(QStringLiteral("%1 statement(s) of the repair failed.").arg(m_statementsFailed));
        if (m_restoreStepsFailed > 0)
            AppendLog(QStringLiteral("%1 step(s) of putting the server's files back failed.").arg(m_restoreStepsFailed));
        ShowUserMessage(unsuccessful);
        AppendLog(unsuccessful);
        AppendLog(QString());
        AppendLog(StringTable::Load(IDS_REPAIR_COMPLETED) + logTimeText());
        break;
    case REPAIR_SUCCEEDED:
        ShowUserMessage(StringTable::Load(IDS_REPAIR_SUCCESSFUL));
        AppendLog(StringTable::Load(IDS_REPAIR_SUCCESSFUL));
        AppendLog(QString());
        AppendLog(StringTable::Load(IDS_REPAIR_COMPLETED) + logTimeText());
        break;
    }
    m_app.m_bRepair = false;
    m_app.m_bSomeSelected = false;
    m_app.m_bAllSelected = false;
}

} // namespace engine
