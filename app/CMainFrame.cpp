#include "app/CMainFrame.h"

#include "app/CGrisoltDlg.h"
#include "app/CLeftView.h"
#include "app/CLogWindow.h"
#include "app/CRecoveryThread.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/TreeSearch.h"
#include "app/controls/CColorButton.h"
#include "app/controls/CMyListCtrl.h"
#include "app/controls/MainRibbonLayout.h"
#include "app/controls/RibbonBar.h"
#include "app/dialogs/CAboutDlg.h"
#include "app/dialogs/CConDlg.h"
#include "app/dialogs/CDatabaseListDlg.h"
#include "app/dialogs/CFindTreeItem.h"
#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"
#include "app/dialogs/UserMessage.h"
#include "engine/MySqlRepair.h"
#include "platform/Registry.h"
#include "updater/CAutoUpdater.h"
#include "updater/UpdateCommand.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QUrl>

#include <thread>

#include <algorithm>

namespace app {

using namespace engine;

namespace {

struct CommandText {
    const char* label;
    const char* keyTip;
    const char* prompt; // status prompt, then after "\n" the tooltip
};

// Labels, key tips and prompts, by command id.
const CommandText kCommands[CMainFrame::COMMAND_COUNT] = {
    {"Select", "CTRL+O", "Select Corrupted Database(s) (Ctrl+O)\nSelect Corrupted Database(s)"},
    {"&Repair", "CTRL+R", "Start Repair Proces(CTRL+R)\nStart Repair Process"},
    {"S&top", "CTRL+T", "Stop Current Running Process(CTRL+T)\nStop Current Running Process"},
    {"&Exit", "CTRL+X", "Quit Application(CTRL+X)\nExit"},
    {"Status &Bar", "", "Show or Hide Status Window\nToggle Status Window"},
    {"&MessageLog", "", "Show or Hide Log Window\nToggle Log Window"},
    {"&Save log", "CTRL+S", "Save Log(CTRL+S)\nSave Log"},
    {"C&lear log", "CTRL+L", "Clear Log(CTRL+L)\nClear Log"},
    {"&Update", "CTRL+U", "Go for Latest Updates(CTRL+U)\nGo for Latest Updates"},
    {"Submit an &Enquiry", "CTRL+E", "Submit an Enquiry(CTRL+E)\nSubmit an Enquiry"},
    {"&Knowledgebase", "CTRL+K", "Knowledgebase(CTRL+K)\nKnowledgebase"},
    {"Help", "F1", "Grisolt Help(F1)\n Grisolt Help"},
    {"&About", "CTRL+A", "About Grisolt(CTRL+A)\nAbout Grisolt"},
};

const QString kProductKey = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");

// A widget where Ctrl+X cuts and Ctrl+A selects all.
bool isTextBox(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || (widget && qobject_cast<const QComboBox*>(widget) && static_cast<const QComboBox*>(widget)->isEditable());
}

} // namespace

CMainFrame::CMainFrame(CVeltraxMySqlRecoveryApp& app, MySqlRepair& repair, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_repair(repair), m_statusProgress(statusBar())
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("  Grisolt"));

    CreateActions();
    m_wndRibbonBar = new RibbonBar(this);
    m_wndRibbonBar->setObjectName(QStringLiteral("ribbonBar"));
    MainRibbonActions ribbon;
    ribbon.open = m_actions[ID_OPEN];
    ribbon.startRepair = m_actions[ID_STARTREPAIR];
    ribbon.stop = m_actions[ID_STOP];
    ribbon.exit = m_actions[ID_EXIT];
    ribbon.viewStatusBar = m_actions[ID_VIEW_STATUS_BAR];
    ribbon.viewMessageWindow = m_actions[ID_VIEW_MESSAGE_WINDOW];
    ribbon.saveLog = m_actions[ID_SAVELOG];
    ribbon.clearLog = m_actions[ID_CLEARLOG];
    ribbon.update = m_actions[ID_UPDATE];
    ribbon.helpEnquiry = m_actions[ID_HELP_ENQUIRY];
    ribbon.helpKnowledge = m_actions[ID_HELP_KNOWLEDGE];
    ribbon.helpHelp = m_actions[ID_HELP_HELP];
    ribbon.helpAbout = m_actions[ID_HELP_ABOUT];
    BuildMainRibbon(*m_wndRibbonBar, ribbon);
    setMenuWidget(m_wndRibbonBar);

    // The status bar: the prompt pane, then the database and the table in
    // work, their widths fixed from the screen's right edge at creation.
    const int right = screen() ? screen()->geometry().right() : 1024;
    m_pPane1 = new QLabel(QStringLiteral(" "), this);
    m_pPane2 = new QLabel(QStringLiteral(" "), this);
    m_pPane1->setObjectName(QStringLiteral("statusPane1"));
    m_pPane2->setObjectName(QStringLiteral("statusPane2"));
    for (QLabel* pane : {m_pPane1, m_pPane2}) {
        pane->setFixedWidth((right / 2) / 2);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(pane);
    }
    statusBar()->showMessage(CProgressBar::kIdleText);

    m_stepTimer.setInterval(kStepIntervalMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CMainFrame::RefreshProgress);
    // The engine writes the two pane texts without a message; read them at
    // idle pace, and the enabling rules with them.
    m_paneTimer.setInterval(250);
    connect(&m_paneTimer, &QTimer::timeout, this, [this] {
        RefreshStatusPanes();
        UpdateCommandUI();
    });
    m_paneTimer.start();

    m_app.m_bIdle = true;
    m_app.m_bStop = false;

    // The splitter: the tree on the left, the preview on the right.
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setObjectName(QStringLiteral("splitter"));
    m_pLeftView = new CLeftView(m_app, m_repair, m_wndSplitter);
    m_pView = new CVeltraxMySqlRecoveryView(m_app, m_repair, m_wndSplitter);
    m_wndSplitter->addWidget(m_pLeftView);
    m_wndSplitter->addWidget(m_pView);
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setSizes({250, 100});
    m_wndSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_wndSplitter);

    m_wndLog = new CLogWindow(this);
    m_wndLog->setObjectName(QStringLiteral("logDock"));
    // Only the View check box hides it.
    m_wndLog->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    addDockWidget(Qt::BottomDockWidgetArea, m_wndLog);
    resizeDocks({m_wndLog}, {160}, Qt::Vertical);
    AppendLog(CLogWindow::kProductTitle);
    AppendLog(QString());

    m_pFindBar = new CFindTreeItem(m_wndRibbonBar);
    m_pFindBar->hide();
    m_wndRibbonBar->setFindBar(m_pFindBar);
    connect(m_pFindBar, &CFindTreeItem::findNext, this, [this] { SendMessage(WM_FIND_NEXT); });
    m_pLogo = new CGrisoltDlg(m_wndRibbonBar);
    m_wndRibbonBar->setLogo(m_pLogo);
    m_pLogo->show();

    WireTree();
    qApp->installEventFilter(this);
    UpdateCommandUI();
}

void CMainFrame::CreateActions()
{
    using Handler = void (CMainFrame::*)();
    const Handler handlers[COMMAND_COUNT] = {
        &CMainFrame::OnOpen,          &CMainFrame::OnStartRepair,      &CMainFrame::OnStop,
        &CMainFrame::OnExit,          &CMainFrame::OnViewStatusBar,    &CMainFrame::OnViewMessageWindow,
        &CMainFrame::OnSaveLog,       &CMainFrame::OnClearLog,         &CMainFrame::OnUpdate,
        &CMainFrame::OnHelpEnquiry,   &CMainFrame::OnHelpKnowledge,    &CMainFrame::OnHelpHelp,
        &CMainFrame::OnHelpAbout,
    };
    for (int id = 0; id < COMMAND_COUNT; ++id) {
        const CommandText& text = kCommands[id];
        auto* action = new QAction(QString::fromLatin1(text.label), this);
        const QStringList prompt = QString::fromLatin1(text.prompt).split(QLatin1Char('\n'));
        action->setStatusTip(prompt.value(0));
        action->setToolTip(prompt.value(1));
        action->setProperty("keyTip", QString::fromLatin1(text.keyTip));
        // The keys are the window's own (HandleShortcut), not the action's.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, handlers[id]);
        m_actions[id] = action;
    }
    for (Command id : {ID_VIEW_STATUS_BAR, ID_VIEW_MESSAGE_WINDOW}) {
        m_actions[id]->setCheckable(true);
        m_actions[id]->setChecked(true);
    }
}

void CMainFrame::WireTree()
{
    connect(m_pLeftView, &CLeftView::logLine, this, &CMainFrame::AppendLog);
    connect(m_pLeftView, &CLeftView::clicked, this, [this] { m_pView->ResetPaging(); });
    connect(m_pLeftView, &CLeftView::previewModeRequested, this, [this](CLeftView::PreviewMode mode) {
        switch (mode) {
        case CLeftView::PreviewMode::Empty:
            m_pView->SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_EMPTY);
            break;
        case CLeftView::PreviewMode::Table:
            m_pView->SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
            break;
        case CLeftView::PreviewMode::Text:
            m_pView->SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT);
            break;
        }
        m_pView->ResetPaging();
    });
    connect(m_pLeftView, &CLeftView::tablePreviewRequested, this,
            [this](int database, int table) { StartPreviewJob(true, false, false, QString(), database, table); });
    connect(m_pLeftView, &CLeftView::viewTextRequested, this,
            [this](const QString& path) { StartPreviewJob(false, true, false, path, -1, -1); });
    connect(m_pLeftView, &CLeftView::triggerTextRequested, this,
            [this](const QString& path) { StartPreviewJob(false, false, true, path, -1, -1); });
    connect(m_pView, &CVeltraxMySqlRecoveryView::pageRequested, this, [this] {
        if (m_app.m_bIdle)
            m_app.StartJob(NewWorker());
    });
}

std::unique_ptr<CRecoveryThread> CMainFrame::NewWorker()
{
    return std::make_unique<CRecoveryThread>(m_app, m_repair, *this);
}

void CMainFrame::StartPreviewJob(bool table, bool view, bool trigger, const QString& path, int database,
                                 int tableIndex)
{
    if (!m_app.m_bIdle)
        return;
    std::unique_ptr<CRecoveryThread> worker = NewWorker();
    worker->m_bTableJob = table;
    worker->m_bViewJob = view;
    worker->m_bTriggerJob = trigger;
    worker->m_strObjectPath = path;
    if (table) {
        if (database < 0 || static_cast<std::size_t>(database) >= m_repair.m_databases.size())
            return;
        auto& tables = m_repair.m_databases[static_cast<std::size_t>(database)]->m_tables;
        if (tableIndex < 0 || static_cast<std::size_t>(tableIndex) >= tables.size())
            return;
        worker->m_posTable = tables[static_cast<std::size_t>(tableIndex)].get();
    }
    m_app.m_bStop = false;
    m_app.StartJob(std::move(worker));
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

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
    const int databases = m_pLeftView->BuildTree();
    if (m_app.m_bOldVersionTables) {
        ShowVersionThreeNotice();
        m_app.m_bOldVersionTables = false;
    }
    if (databases != 0 && m_pFindBar)
        m_pFindBar->show();
    PlaceFindBar();
    return 0;
}

long CMainFrame::OnPreviewTable(std::intptr_t lParam)
{
    if (lParam == 0) {
        m_pView->OnPreviewTable(m_repair.m_pageRows);
        return 0;
    }
    if (m_app.m_pPreviewTable)
        for (const QString& line : m_pView->FillPropertiesList(*m_app.m_pPreviewTable))
            AppendLog(line);
    return 0;
}

long CMainFrame::OnPreviewColumns()
{
    m_pView->OnPreviewColumns(m_repair.m_columns, width());
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
        ++m_progressGeneration;
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
    if (!m_progress.shown) {
        m_statusProgress.End();
        m_stepTimer.stop();
        return;
    }
    if (!m_statusProgress.bar() || m_shownGeneration != m_progressGeneration) {
        m_statusProgress.Begin(m_progress.label, m_progress.total);
        m_shownGeneration = m_progressGeneration;
        m_shownPosition = 0;
    }
    if (m_progress.position > m_shownPosition) {
        m_statusProgress.Step(m_progress.position - m_shownPosition);
        m_shownPosition = m_progress.position;
    }
}

long CMainFrame::OnAppendLog()
{
    m_wndLog->AppendLine(m_app.message());
    return 0;
}

void CMainFrame::AppendLog(const QString& line)
{
    m_app.setMessage(line);
    OnAppendLog();
}

QStringList CMainFrame::logLines() const
{
    return m_wndLog->lines();
}

long CMainFrame::OnResetTree()
{
    // The preview shows nothing of a model that is about to go.
    if (m_pView->isTableShown() && m_pView->m_pDataList && m_pView->m_pDataList->rowCount() > 0) {
        m_pView->m_pDataList->clear();
        m_pView->m_pDataList->setRowCount(0);
        m_pView->m_pDataList->setColumnCount(0);
        m_pView->SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_EMPTY);
    }
    m_pLeftView->ResetTree();
    return 1;
}

long CMainFrame::OnReadTreeChecks()
{
    m_pLeftView->ReadTreeChecks();
    return 1;
}

long CMainFrame::OnFindNext()
{
    if (m_pFindBar)
        TreeSearch::OnFindNext(*m_pLeftView, *m_pFindBar, userMessageSink());
    return 0;
}

long CMainFrame::OnShowObjectText()
{
    m_pView->OnShowObjectText(m_repair.m_objectText);
    if (QTreeWidgetItem* item = m_pLeftView->hitItem())
        m_pLeftView->setCurrentItem(item);
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

MessageSink CMainFrame::userMessageSink()
{
    return [this](QWidget* owner, const QString& text) {
        m_app.setMessage(text);
        UserMessage dialog(m_app, owner ? owner : this);
        dialog.exec();
    };
}

void CMainFrame::setFileDialogs(FileDialogs* dialogs)
{
    m_pFileDialogs = dialogs ? dialogs : &m_qtFileDialogs;
}

CConDlg& CMainFrame::loginDialog()
{
    if (!m_pConDlg) {
        m_pConDlg = std::make_unique<CConDlg>(this);
        m_pConDlg->m_tell = userMessageSink();
    }
    return *m_pConDlg;
}

void CMainFrame::UseStandardDialogs()
{
    m_loginDialog = [this](QString& host, QString& user, QString& password) {
        CConDlg& dialog = loginDialog();
        if (dialog.exec() != QDialog::Accepted)
            return false;
        host = dialog.m_strHost;
        user = dialog.m_strUser;
        password = dialog.m_strPassword;
        return true;
    };
    m_databaseListDialog = [this] {
        CDatabaseListDlg dialog(m_app, m_repair, this);
        dialog.m_nServiceCount = m_app.m_nServiceCount;
        return dialog.exec() == QDialog::Accepted;
    };
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

void CMainFrame::UpdateCommandUI()
{
    const bool idle = m_app.m_bIdle;
    m_actions[ID_OPEN]->setEnabled(idle);
    m_actions[ID_STARTREPAIR]->setEnabled(idle && m_pLeftView->hasDatabases());
    m_actions[ID_STOP]->setEnabled(!idle);
    m_actions[ID_VIEW_STATUS_BAR]->setChecked(m_bStatusBarShown);
    m_actions[ID_VIEW_MESSAGE_WINDOW]->setChecked(m_bLogShown);
}

void CMainFrame::OnOpen()
{
    if (!m_app.m_bIdle)
        return;
    m_app.m_bRepair = false;
    m_app.StartScanJob();
    UpdateCommandUI();
}

void CMainFrame::OnStartRepair()
{
    if (!m_app.m_bIdle)
        return;
    if (!m_app.m_bServiceFound) {
        ShowUserMessage(QStringLiteral("Either MySQL is not installed or version is not supported."));
        return;
    }
    m_pView->m_btnPrevious->setEnabled(false);
    m_pView->m_btnNext->setEnabled(false);
    const TreeCheckState state = m_pLeftView->rootCheckState();
    if (state == TREE_UNCHECKED) {
        ShowUserMessage(QStringLiteral("Please select at least one table from left view."));
        return;
    }
    if (m_pFindBar)
        m_pFindBar->hide();
    if (state == TREE_PARTIAL) {
        m_app.m_bAllSelected = false;
        m_app.m_bSomeSelected = true;
    }
    m_app.m_bRepair = true;
    m_app.m_bStop = false;
    m_app.StartJob(NewWorker());
    m_app.m_bTablesFound = false;
    UpdateCommandUI();
}

void CMainFrame::OnStop()
{
    const QString question = m_app.m_bRepair ? QStringLiteral("Do you want to stop current repair process ?")
                                             : QStringLiteral("Do you want to stop scanning process ?");
    if (!AskYesNo(question))
        return;
    if (m_app.m_bIdle) {
        // The job ended while the question was open.
        m_app.m_bStop = true;
        return;
    }
    // The statement under way is cancelled at once, not after the box: a
    // long repair statement would otherwise run on while the user reads.
    m_app.RequestStop();
    m_app.m_strMessageTitle.clear();
    m_app.setMessage(QStringLiteral("Process stopped by user. "));
    UserMessage box(m_app, this);
    if (box.exec() == QDialog::Accepted)
        AppendLog(QStringLiteral("Process stopped by user on ")
                  + QLocale::c().toString(QDateTime::currentDateTime(),
                                          QStringLiteral("dddd, MMMM dd, yyyy  hh:mm:ss  AP")));
}

void CMainFrame::OnExit()
{
    close();
}

void CMainFrame::OnViewStatusBar()
{
    m_bStatusBarShown = !m_bStatusBarShown;
    statusBar()->setVisible(m_bStatusBarShown);
    UpdateCommandUI();
}

void CMainFrame::OnViewMessageWindow()
{
    m_bLogShown = !m_bLogShown;
    m_wndLog->setVisible(m_bLogShown);
    UpdateCommandUI();
}

void CMainFrame::OnSaveLog()
{
    QString error;
    const auto result = m_wndLog->SaveLogCommand(
        *m_pFileDialogs, [this](const QString& question) { return AskYesNo(question); }, &error);
    if (result == CLogWindow::SaveResult::Failed)
        ShowUserMessage(error);
}

void CMainFrame::OnClearLog()
{
    m_wndLog->ClearLog();
}

void CMainFrame::OnUpdate()
{
    if (m_app.m_pUpdater)
        updater::runUpdateCommand(*m_app.m_pUpdater, m_app, this, [this] { EndAfterUpdate(); });
}

void CMainFrame::EndAfterUpdate()
{
    // Finish was the user's word to end: no question, but the same close
    // handling as Exit, so a service the scan stopped runs again.
    m_bEndWithoutQuestion = true;
    const bool closed = close();
    m_bEndWithoutQuestion = false;
    if (closed)
        QCoreApplication::exit(0);
}

void CMainFrame::OpenProductUrl(const QString& valueName)
{
    const QString url = platform::Registry::value(kProductKey, valueName);
    // Nothing to open without the value; the shell is not asked for "".
    if (!url.isEmpty())
        QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

void CMainFrame::OnHelpEnquiry()
{
    OpenProductUrl(QStringLiteral("SupTick"));
}

void CMainFrame::OnHelpKnowledge()
{
    OpenProductUrl(QStringLiteral("KB"));
}

void CMainFrame::OnHelpHelp()
{
    CConDlg::OnHelp(this, userMessageSink());
}

void CMainFrame::OnHelpAbout()
{
    CAboutDlg dialog([this](const QString& name) { return m_app.ProductValue(name); }, this);
    dialog.exec();
}

bool CMainFrame::HandleShortcut(int key, Qt::KeyboardModifiers modifiers, const QWidget* target)
{
    if (!(modifiers & Qt::ControlModifier)) {
        if (key != Qt::Key_F1)
            return false;
        emit shortcutRun(key);
        OnHelpHelp();
        return true;
    }
    const bool idle = m_app.m_bIdle;
    // Cut and select-all belong to the text box that has the focus.
    const bool textBox = isTextBox(QApplication::focusWidget()) || isTextBox(target);
    void (CMainFrame::*command)() = nullptr;
    switch (key) {
    case Qt::Key_A:
        if (idle && !textBox)
            command = &CMainFrame::OnHelpAbout;
        break;
    case Qt::Key_E:
        if (idle)
            command = &CMainFrame::OnHelpEnquiry;
        break;
    case Qt::Key_K:
        if (idle)
            command = &CMainFrame::OnHelpKnowledge;
        break;
    case Qt::Key_L:
        if (idle)
            command = &CMainFrame::OnClearLog;
        break;
    case Qt::Key_O:
        if (idle)
            command = &CMainFrame::OnOpen;
        break;
    case Qt::Key_R:
        if (idle)
            command = &CMainFrame::OnStartRepair;
        break;
    case Qt::Key_S:
        if (idle)
            command = &CMainFrame::OnSaveLog;
        break;
    case Qt::Key_T:
        if (!idle)
            command = &CMainFrame::OnStop;
        break;
    case Qt::Key_U:
        if (idle)
            command = &CMainFrame::OnUpdate;
        break;
    case Qt::Key_X:
        if (!textBox)
            command = &CMainFrame::OnExit;
        break;
    default:
        break;
    }
    if (!command)
        return false;
    emit shortcutRun(key);
    (this->*command)();
    return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    // Keys typed in this window only; a dialog's keys are its own.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || m_bClosing)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return HandleShortcut(key->key(), key->modifiers(), widget);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceFindBar();
}

void CMainFrame::PlaceFindBar()
{
    if (m_pFindBar)
        m_pFindBar->setVisible(m_pLeftView->hasDatabases());
    m_wndRibbonBar->placeOverlays();
    UpdateCommandUI();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosing) {
        event->ignore();
        return;
    }
    // A job reports to this window until it ends: the window stays while one runs.
    if (!m_app.m_bIdle) {
        ShowNotice(QStringLiteral("Can not exit!"),
                   QStringLiteral("Please first stop the current process before exiting Grisolt."));
        event->ignore();
        return;
    }
    m_app.m_strMessageTitle.clear();
    if ((!m_bEndWithoutQuestion && !AskYesNo(QStringLiteral("Exit-Grisolt?"))) || !m_app.m_bIdle) {
        event->ignore();
        return;
    }
    ReleaseAtClose();
    event->accept();
}

void CMainFrame::ReleaseAtClose()
{
    m_bClosing = true;
    if (m_pFindBar) {
        m_wndRibbonBar->setFindBar(nullptr);
        delete m_pFindBar;
        m_pFindBar = nullptr;
    }
    if (!m_app.m_bRepair)
        StartServiceResponsively();
    // The ibdata1 backup's folder of a chosen data folder goes only when the
    // repair emptied it; nothing in it is ever deleted.
    if (!m_app.m_bDefaultLocation && !m_repair.m_strIbdataBackup.isEmpty()) {
        m_app.m_foldersToRemove.append(QFileInfo(m_repair.m_strIbdataBackup).absolutePath());
        m_app.RemoveEmptyFoldersToRemove();
    }
    m_repair.ClearDatabaseInfo();
    m_bClosing = false;
}

void CMainFrame::StartServiceResponsively()
{
    // Only a service the scan stopped is started again.
    if (!m_app.m_bServiceStopped)
        return;
    // The engine waits for the server, bounded by its service timeout; the
    // window keeps painting meanwhile and takes no input.
    centralWidget()->setEnabled(false);
    m_wndRibbonBar->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("Starting the MySQL service, please wait..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread starter([&] {
        m_repair.StartMySqlService();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    starter.join();
    QApplication::restoreOverrideCursor();
    statusBar()->showMessage(CProgressBar::kIdleText);
    m_wndRibbonBar->setEnabled(true);
    centralWidget()->setEnabled(true);
}

} // namespace app
