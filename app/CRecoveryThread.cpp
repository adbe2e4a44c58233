#include "app/CRecoveryThread.h"

#include "app/CMainFrame.h"
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/PreviewPaging.h"
#include "app/SystemTablespaceCheck.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/StringTable.h"
#include "model/TableInformation.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <exception>

namespace app {

using namespace engine;

namespace {

const QString kPreviewing = QStringLiteral("Previewing Table...");
const QString kNoDatabase = QStringLiteral("No database present in data folder.");
const QString kScanStarted = QStringLiteral("Scanning process started on ");
const QString kScanCompleted = QStringLiteral("Scanning completed on ");
const QString kTablesMayBeMissing = QStringLiteral(" InnoDB tables may be missing or incomplete.");
const QString kFilePutInPlace = QStringLiteral(
    " A repair of only some of the tables puts this file in the server's place;"
    " a server that refuses it gets its own ibdata1 back.");

} // namespace

CRecoveryThread::CRecoveryThread(AppState& app, MySqlRepair& repair, CMainFrame& report)
    : m_app(app), m_repair(repair), m_report(report)
{
    // Queued to the GUI thread, after the job's last access to the paging fields.
    if (CVeltraxMySqlRecoveryView* view = report.previewView())
        connect(this, &QThread::finished, view, &CVeltraxMySqlRecoveryView::OnJobEnded, Qt::QueuedConnection);
}

CRecoveryThread::~CRecoveryThread()
{
    // Never left running: the owner waits for the job (serving its reports)
    // before it lets the worker go; this is the last guard.
    wait();
}

QString CRecoveryThread::TimeStamp()
{
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("dddd, MMMM dd, yyyy, hh:mm:ss AP"));
}

RecoveryJob CRecoveryThread::ChooseJob() const
{
    if (m_repair.m_databases.empty())
        return JOB_SCAN;
    if (m_app.m_bRepair)
        return JOB_REPAIR;
    if (m_app.m_bPageRequest)
        return JOB_PREVIEW_PAGE;
    if (m_bTableJob)
        return JOB_PREVIEW_TABLE;
    if (m_bViewJob)
        return JOB_VIEW_TEXT;
    if (m_bTriggerJob)
        return JOB_TRIGGER_TEXT;
    return JOB_NONE;
}

void CRecoveryThread::run()
{
    m_app.setStatusText(QString());
    m_app.m_bIdle = false;
    const RecoveryJob job = ChooseJob();
    try {
        RunJob(job);
    } catch (const std::exception& error) {
        // A job never leaves the program busy: whatever escaped is logged.
        Log(QStringLiteral("The job ended with an error: ") + QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Log(QStringLiteral("The job ended with an unknown error."));
    }
    // The job's own connection is closed by the job's own thread.
    if (job == JOB_REPAIR)
        m_repair.CloseConnection();
    m_app.m_bStop = false;
    m_app.m_bIdle = true;
}

void CRecoveryThread::RunJob(RecoveryJob job)
{
    if (job == JOB_SCAN) {
        ScanJob();
        return;
    }
    if (job == JOB_REPAIR) {
        RepairJob();
        return;
    }
    m_app.setStatusText(kPreviewing);
    m_app.m_bPageRequest = false;
    if (job == JOB_PREVIEW_PAGE) {
        PreviewPageJob();
        return;
    }
    ResetPreviewState();
    switch (job) {
    case JOB_PREVIEW_TABLE:
        PreviewTableJob();
        break;
    case JOB_VIEW_TEXT:
        m_repair.ReadViewSource(m_strObjectPath);
        Send(WM_SHOW_OBJECT_TEXT);
        break;
    case JOB_TRIGGER_TEXT:
        // It sends the text message itself, once per trigger.
        m_repair.ReadTriggerScript(m_strObjectPath);
        break;
    default:
        break;
    }
}

void CRecoveryThread::ScanJob()
{
    Send(WM_RESET_TREE);
    m_app.setStatusText(StringTable::Load(IDS_SCANNING_DATABASES));
    if (!m_repair.m_hWndScanProgress)
        m_repair.m_hWndScanProgress = &m_report;
    Log(QString());
    Log(kScanStarted + TimeStamp());
    Log(QString());

    // A listing that does not run (no data folder found) finds nothing; the
    // flag of an earlier scan must not open an empty selection.
    m_repair.m_bDatabaseFound = false;
    if (m_app.m_bDefaultLocation) {
        if (m_repair.LocateServiceConfig()) {
            m_repair.StopMySqlServices();
            m_repair.ListDatabaseFolders();
        }
    } else if (m_app.m_bManualFolder) {
        m_repair.ListDatabaseFolders();
    }
    if (!m_repair.m_bDatabaseFound) {
        // The selection dialog frees the list; without one the folder that
        // held nothing would be offered again by the next scan's dialog.
        m_app.FreeDataFolderRecords();
        m_repair.ShowUserMessage(kNoDatabase);
        Log(kNoDatabase);
        return;
    }
    if (!m_report.RunDatabaseListDialog())
        return;
    LogTablespaceFinding();
    m_repair.ScanDataFolder();
    Log(QString());
    if (!m_app.m_bRepair)
        Send(WM_SCAN_FINISHED);
    Log(QString());
    Log(kScanCompleted + TimeStamp());
}

void CRecoveryThread::LogTablespaceFinding()
{
    // A missing or unreadable file is told by the dictionary's reader, once
    // the first InnoDB table needs it.
    const QString path = m_repair.SharedTablespacePath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    const SystemTablespaceCheck check(path);
    if (check.finding() != SystemTablespaceCheck::FirstPageDamaged
        && check.finding() != SystemTablespaceCheck::NotSharedTablespace)
        return;
    QString line = check.problem() + kTablesMayBeMissing;
    if (m_app.m_bManualFolder)
        line += kFilePutInPlace;
    Log(line);
}

void CRecoveryThread::RepairJob()
{
    m_app.setStatusText(StringTable::Load(IDS_REPAIRING_DATABASES));
    const MySqlRepair::RepairOutcome outcome = m_repair.RunRepair();
    // The outcome's report never claims success for a repair with failed
    // statements or one that was stopped.
    m_repair.ReportRepairOutcome(outcome);
}

void CRecoveryThread::ResetPreviewState()
{
    m_app.m_nPageCount = 0;
    m_app.m_nPage = 0;
    m_app.m_nRecordsLeft = 0;
    m_app.m_nPagesMerged = 0;
    m_app.m_pPreviewTable = nullptr;
    m_repair.m_pageRows.clear();
    m_repair.m_dataPages.clear();
    m_repair.m_dataPages.shrink_to_fit();
}

void CRecoveryThread::PreviewPageJob()
{
    const std::int32_t page = m_app.m_nPage;
    // A page outside the table's pages reads and shows nothing.
    const bool inside = m_app.m_pPreviewTable && page >= 0
        && static_cast<std::size_t>(page) < m_repair.m_dataPages.size();
    PreviewPaging::ReadPage(m_app, m_repair);
    if (inside)
        Send(WM_PREVIEW_TABLE, 0);
}

void CRecoveryThread::PreviewTableJob()
{
    TableInformation* table = m_posTable;
    m_app.m_pPreviewTable = table;
    if (!table)
        return;
    if (table->m_engine == QLatin1String("innodb")) {
        m_repair.m_dataPages.clear();
        m_repair.LocateInnoDbTableData(*table);
        m_app.m_nPageCount = static_cast<std::int32_t>(m_repair.m_dataPages.size());
        Send(WM_PREVIEW_COLUMNS, 1);
        if (m_app.m_nPageCount != 0) {
            Send(WM_PREVIEW_TABLE, 1);
            m_repair.RecoverInnoDbRows(m_repair.m_dataPages.front(), *table);
            Send(WM_PREVIEW_TABLE, 0);
        }
    } else if (table->m_engine == QLatin1String("myisam")) {
        Send(WM_PREVIEW_TABLE, 1);
        m_repair.RecoverMyIsamTable(*table);
        Send(WM_PREVIEW_COLUMNS, 1);
        Send(WM_PREVIEW_TABLE, 0);
    }
}

void CRecoveryThread::Log(const QString& line)
{
    m_app.setMessage(line);
    m_report.SendMessage(WM_APPEND_LOG);
}

void CRecoveryThread::Send(unsigned message, std::intptr_t lParam)
{
    m_report.SendMessage(message, 0, lParam);
}

} // namespace app
