#include "app/CMainFrame.h"

#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"
#include "app/dialogs/UserMessage.h"
#include "engine/MySqlRepair.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

namespace app {

using namespace engine;

CMainFrame::CMainFrame(CVeltraxMySqlRecoveryApp& app, MySqlRepair& repair, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_repair(repair)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("  Grisolt"));
    setCentralWidget(new QWidget(this));

    auto* logDock = new QDockWidget(QStringLiteral("Log"), this);
    logDock->setObjectName(QStringLiteral("logDock"));
    m_pLog = new QPlainTextEdit(logDock);
    m_pLog->setReadOnly(true);
    logDock->setWidget(m_pLog);
    addDockWidget(Qt::BottomDockWidgetArea, logDock);

    m_pProgressLabel = new QLabel(this);
    m_pProgressBar = new QProgressBar(this);
    m_pProgressBar->setVisible(false);
    m_pProgressLabel->setVisible(false);
    m_pPane1 = new QLabel(this);
    m_pPane2 = new QLabel(this);
    statusBar()->addWidget(m_pProgressLabel);
    statusBar()->addWidget(m_pProgressBar, 1);
    statusBar()->addPermanentWidget(m_pPane1);
    statusBar()->addPermanentWidget(m_pPane2);

    m_stepTimer.setInterval(kStepIntervalMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CMainFrame::RefreshProgress);
    // The engine writes the two pane texts without a message; read them at idle pace.
    m_paneTimer.setInterval(250);
    connect(&m_paneTimer, &QTimer::timeout, this, &CMainFrame::RefreshStatusPanes);
    m_paneTimer.start();

    m_app.m_bIdle = true;
    m_app.m_bStop = false;
}

CMainFrame::~CMainFrame() = default;

long CMainFrame::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (message == WM_STATUS_PROGRESS && wParam == PROGRESS_STEP && QThread::currentThread() != thread()) {
        m_pendingSteps.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    long result = 0;
    runOnGuiThread([&] { result = HandleMessage(message, wParam, lParam); });
    return result;
}

void CMainFrame::PostServeGuiCalls()
{
    QMetaObject::invokeMethod(this, "ServeGuiCalls", Qt::QueuedConnection);
}

void CMainFrame::ServeGuiCalls()
{
    std::unique_lock lock(m_callMutex);
    while (!m_calls.empty()) {
        GuiCall* call = m_calls.front();
        m_calls.pop_front();
        // Unlocked while it runs: a dialog it shows serves further calls.
        lock.unlock();
        (*call->function)();
        lock.lock();
        call->done = true;
        m_callDone.notify_all();
    }
}

long CMainFrame::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    long result = 0;
    switch (message) {
    case WM_SCAN_FINISHED:
        result = OnScanFinished();
        break;
    case WM_PREVIEW_TABLE:
        result = OnPreviewTable(lParam);
        break;
    case WM_PREVIEW_COLUMNS:
        result = OnPreviewColumns();
        break;
    case WM_STATUS_PROGRESS:
        // Its handler reports by itself (steps are reported per batch).
        return OnStatusProgress(wParam, lParam);
    case WM_APPEND_LOG:
        result = OnAppendLog();
        break;
    case WM_RESET_TREE:
        result = OnResetTree();
        break;
    case WM_READ_TREE_CHECKS:
        result = OnReadTreeChecks();
        break;
    case WM_FIND_NEXT:
        result = OnFindNext();
        break;
    case WM_SHOW_OBJECT_TEXT:
        result = OnShowObjectText();
        break;
    default:
        // A message nobody handles here is ignored.
        return 0;
    }
    emit reportHandled(message, wParam, lParam);
    return result;
}

long CMainFrame::OnScanFinished()
{
    return 0;
}

long CMainFrame::OnPreviewTable(std::intptr_t)
{
    return 0;
}

long CMainFrame::OnPreviewColumns()
{
    return 0;
}

long CMainFrame::OnStatusProgress(std::uintptr_t action, std::intptr_t steps)
{
    switch (action) {
    case PROGRESS_BEGIN:
        // Steps counted for the bar before belong to it, not to this one.
        ApplyPendingSteps();
        m_progress.shown = true;
        m_progress.total = std::max<std::int64_t>(steps, 0);
        m_progress.position = 0;
        m_progress.label = m_app.statusText();
        break;
    case PROGRESS_STEP:
        m_pendingSteps.fetch_add(1, std::memory_order_relaxed);
        ApplyPendingSteps();
        return 0;
    case PROGRESS_END:
        ApplyPendingSteps();
        if (!m_progress.shown)
            return 0;
        m_progress = Progress{};
        break;
    default:
        return 0;
    }
    // The widgets follow at the timer's pace: a reader that begins and ends
    // a bar per data page does not pay for a redraw of each.
    if (!m_stepTimer.isActive())
        m_stepTimer.start();
    emit reportHandled(WM_STATUS_PROGRESS, action, steps);
    return 0;
}

void CMainFrame::ApplyPendingSteps()
{
    const std::int64_t steps = m_pendingSteps.exchange(0, std::memory_order_acq_rel);
    // A step with no bar shown changes nothing.
    if (steps == 0 || !m_progress.shown)
        return;
    m_progress.position += steps;
    emit reportHandled(WM_STATUS_PROGRESS, PROGRESS_STEP, static_cast<qintptr>(steps));
}

void CMainFrame::RefreshProgress()
{
    ApplyPendingSteps();
    if (m_pProgressBar->isVisible() != m_progress.shown) {
        m_pProgressLabel->setVisible(m_progress.shown);
        m_pProgressBar->setVisible(m_progress.shown);
    }
    if (m_progress.shown) {
        m_pProgressLabel->setText(m_progress.label);
        m_pProgressBar->setRange(0, static_cast<int>(std::min<std::int64_t>(m_progress.total, INT32_MAX)));
        m_pProgressBar->setValue(static_cast<int>(std::min<std::int64_t>(m_progress.position, m_progress.total)));
    } else {
        m_stepTimer.stop();
    }
}

long CMainFrame::OnAppendLog()
{
    const QString line = m_app.message();
    m_logLines.append(line);
    m_pLog->appendPlainText(line);
    return 0;
}

long CMainFrame::OnResetTree()
{
    return 1;
}

long CMainFrame::OnReadTreeChecks()
{
    // Until the tree exists every scanned item counts as checked.
    return 1;
}

long CMainFrame::OnFindNext()
{
    return 0;
}

long CMainFrame::OnShowObjectText()
{
    return 0;
}

void CMainFrame::RefreshStatusPanes()
{
    const QString pane1 = m_app.statusPane1();
    const QString pane2 = m_app.statusPane2();
    if (m_pPane1->text() != pane1)
        m_pPane1->setText(pane1);
    if (m_pPane2->text() != pane2)
        m_pPane2->setText(pane2);
}

void CMainFrame::ShowUserMessage(const QString& text)
{
    runOnGuiThread([&] {
        m_app.setMessage(text);
        // One dialog per call: a box asked for by a worker and one asked for
        // here can never share a modal loop.
        UserMessage dialog(m_app, this);
        dialog.exec();
    });
}

bool CMainFrame::RunLoginDialog(QString& host, QString& user, QString& password)
{
    bool accepted = false;
    runOnGuiThread([&] { accepted = m_loginDialog && m_loginDialog(host, user, password); });
    return accepted;
}

bool CMainFrame::RunDatabaseListDialog()
{
    bool accepted = false;
    runOnGuiThread([&] {
        if (m_databaseListDialog) {
            accepted = m_databaseListDialog();
            return;
        }
        ChooseAllListedDatabases();
        accepted = true;
    });
    return accepted;
}

void CMainFrame::ChooseAllListedDatabases()
{
    m_app.m_selectedDatabases.clear();
    for (const DataFolderRecord& record : m_app.m_dataFolders)
        m_app.m_selectedDatabases << record.m_databaseFolders;
    m_app.m_bAllSelected = true;
    m_app.m_bSomeSelected = false;
    m_app.FreeDataFolderRecords();
}

bool CMainFrame::AskYesNo(const QString& text)
{
    bool yes = false;
    runOnGuiThread([&] {
        m_app.setMessageText(text);
        CMyExitStopDialog dialog(m_app, this);
        yes = dialog.exec() == QDialog::Accepted;
    });
    return yes;
}

void CMainFrame::ShowNotice(const QString& title, const QString& text)
{
    runOnGuiThread([&] {
        m_app.m_strMessageTitle = title;
        m_app.setMessageText(text);
        CMessageDialog dialog(m_app, this);
        dialog.exec();
    });
}

void CMainFrame::ShowVersionThreeNotice()
{
    runOnGuiThread([&] {
        CVersionThreeMsg dialog(this);
        dialog.exec();
    });
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A job reports to this window until it ends: the window stays while one runs.
    if (!m_app.m_bIdle) {
        ShowNotice(QStringLiteral("Can not exit!"),
                   QStringLiteral("Please first stop the current process before exiting Grisolt."));
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace app
