#pragma once

#include "app/QtFileDialogs.h"
#include "app/controls/StatusBarProgress.h"
#include "app/dialogs/MessageSink.h"
#include "engine/ReportWindow.h"

#include <QMainWindow>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QAction;
class QLabel;
class QSplitter;

namespace engine {
class MySqlRepair;
}

namespace app {

class CConDlg;
class CRecoveryThread;
class CFindTreeItem;
class CGrisoltDlg;
class CLeftView;
class CLogWindow;
class CVeltraxMySqlRecoveryApp;
class CVeltraxMySqlRecoveryView;
class FileDialogs;
class RibbonBar;

// The main window, and the window every report goes to. A report sent from
// a worker runs its handler on the GUI thread and the worker waits for it
// (a blocking queued call); one sent on the GUI thread runs directly.
// Progress steps are the exception: they only count up, and the GUI thread
// applies them every few milliseconds and before the next begin or end, so
// the many steps of a long walk cost no thread round trip each.
//
// It holds the ribbon with every command, the tree and the preview side by
// side, the log pane, the status bar with the progress bar and two panes,
// and on the ribbon the find bar and the logo.
class CMainFrame : public QMainWindow, public engine::ReportWindow {
    Q_OBJECT
public:
    CMainFrame(CVeltraxMySqlRecoveryApp& app, engine::MySqlRepair& repair, QWidget* parent = nullptr);
    ~CMainFrame() override;

    long SendMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) override;
    // The message box, on the GUI thread whoever asks; returns once closed.
    void ShowUserMessage(const QString& text) override;
    bool RunLoginDialog(QString& host, QString& user, QString& password) override;
    // The scan's database selection; true on OK. From any thread.
    bool RunDatabaseListDialog();
    // The Yes/No question with text; true for Yes. From any thread.
    bool AskYesNo(const QString& text);
    // The two-line notice. From any thread.
    void ShowNotice(const QString& title, const QString& text);
    // The notice about tables of MySQL 3.x. From any thread.
    void ShowVersionThreeNotice();

    // Report handlers, on the GUI thread.
    long OnScanFinished();
    long OnPreviewTable(std::intptr_t lParam);
    long OnPreviewColumns();
    long OnStatusProgress(std::uintptr_t action, std::intptr_t steps);
    long OnAppendLog();
    long OnResetTree();
    long OnReadTreeChecks();
    long OnFindNext();
    long OnShowObjectText();

    // The command ids, in the order the ribbon shows them.
    enum Command {
        ID_OPEN,
        ID_STARTREPAIR,
        ID_STOP,
        ID_EXIT,
        ID_VIEW_STATUS_BAR,
        ID_VIEW_MESSAGE_WINDOW,
        ID_SAVELOG,
        ID_CLEARLOG,
        ID_UPDATE,
        ID_HELP_ENQUIRY,
        ID_HELP_KNOWLEDGE,
        ID_HELP_HELP,
        ID_HELP_ABOUT,
        COMMAND_COUNT
    };
    QAction* action(Command id) const { return m_actions[id]; }
    // The enabling rules, applied now (they are also applied at idle pace).
    void UpdateCommandUI();

    // The commands.
    void OnOpen();
    void OnStartRepair();
    void OnStop();
    void OnExit();
    void OnViewStatusBar();
    void OnViewMessageWindow();
    void OnSaveLog();
    void OnClearLog();
    void OnUpdate();
    // The end after the update wizard's Finish: the close procedure without
    // its question, then the event loop ends. Nothing ends while a job runs.
    void EndAfterUpdate();
    void OnHelpEnquiry();
    void OnHelpKnowledge();
    void OnHelpHelp();
    void OnHelpAbout();

    // The keyboard shortcuts of the window: true when key (with modifiers)
    // ran a command and is consumed; anything else goes on to the focused
    // widget. Ctrl+X and Ctrl+A stay with a text box that has the focus or
    // that the key was typed in (target).
    bool HandleShortcut(int key, Qt::KeyboardModifiers modifiers, const QWidget* target = nullptr);

    // A log line written on the GUI thread.
    void AppendLog(const QString& line);
    // The message box of the program, as a sink for the dialogs.
    MessageSink userMessageSink();
    // The file pickers the commands and the start-up dialog use; tests
    // answer them through their own.
    FileDialogs& fileDialogs() const { return *m_pFileDialogs; }
    void setFileDialogs(FileDialogs* dialogs);
    // The dialogs a user answers: the login dialog and the database
    // selection behind the hooks below.
    void UseStandardDialogs();
    // The login dialog the repair asks, kept for the window's life.
    CConDlg& loginDialog();

    RibbonBar* ribbonBar() const { return m_wndRibbonBar; }
    CLeftView* leftView() const { return m_pLeftView; }
    CVeltraxMySqlRecoveryView* previewView() const { return m_pView; }
    CLogWindow* logWindow() const { return m_wndLog; }
    CFindTreeItem* findBar() const { return m_pFindBar; }
    CGrisoltDlg* logo() const { return m_pLogo; }
    QLabel* statusPane(int pane) const { return pane == 1 ? m_pPane1 : m_pPane2; }
    StatusBarProgress& statusProgress() { return m_statusProgress; }
    bool m_bStatusBarShown = true;
    bool m_bLogShown = true;

    // The log pane's lines.
    QStringList logLines() const;
    struct Progress {
        bool shown = false;
        std::int64_t total = 0;
        std::int64_t position = 0;
        QString label;
    };
    const Progress& progress() const { return m_progress; }

    // Dialogs that later parts of the shell provide; they run on the GUI
    // thread. Without a login dialog a repair is cancelled; without a
    // database selection every listed database is chosen.
    std::function<bool(QString& host, QString& user, QString& password)> m_loginDialog;
    std::function<bool()> m_databaseListDialog;

    // How often the GUI thread applies counted progress steps and redraws the bar.
    static constexpr int kStepIntervalMs = 50;

signals:
    // After each handled report; for progress steps once per batch applied,
    // with lParam the number of steps. Emitted on the GUI thread.
    void reportHandled(unsigned message, quintptr wParam, qintptr lParam);
    // A keyboard shortcut ran its command (emitted before it runs).
    void shortcutRun(int key);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    // Runs the calls that other threads are waiting for.
    void ServeGuiCalls();

private:
    // One call of another thread, waiting to be run on the GUI thread.
    struct GuiCall {
        const std::function<void()>* function;
        bool done = false;
    };
    // Runs f on the GUI thread and returns when it has run: directly on the
    // GUI thread, else as a blocking queued call. The hand-over goes through
    // a mutex of our own, so that the caller's texts and the handler's
    // results are ordered for any checker of the program's threads.
    template <class F>
    void runOnGuiThread(F&& f)
    {
        if (QThread::currentThread() == thread()) {
            f();
            return;
        }
        const std::function<void()> function = [&f] { f(); };
        GuiCall call{&function};
        std::unique_lock lock(m_callMutex);
        m_calls.push_back(&call);
        PostServeGuiCalls();
        m_callDone.wait(lock, [&call] { return call.done; });
    }
    // Asks the GUI thread's event loop to run ServeGuiCalls.
    void PostServeGuiCalls();
    long HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void ApplyPendingSteps();
    // Brings the bar's widgets up to the progress state.
    void RefreshProgress();
    void RefreshStatusPanes();
    void ChooseAllListedDatabases();
    void CreateActions();
    void WireTree();
    // Shows the find bar while the tree has databases.
    void PlaceFindBar();
    // A worker reporting to this window.
    std::unique_ptr<CRecoveryThread> NewWorker();
    void StartPreviewJob(bool table, bool view, bool trigger, const QString& path, int database, int tableIndex);
    // The close procedure's steps after Yes.
    void ReleaseAtClose();
    void StartServiceResponsively();
    void OpenProductUrl(const QString& valueName);

    CVeltraxMySqlRecoveryApp& m_app;
    engine::MySqlRepair& m_repair;
    Progress m_progress;
    std::atomic<std::int64_t> m_pendingSteps{0};
    std::mutex m_callMutex;
    std::condition_variable m_callDone;
    std::deque<GuiCall*> m_calls;
    QTimer m_stepTimer;
    QTimer m_paneTimer;
    // What the bar on screen shows of m_progress; a new begin since the last
    // refresh counts up the generation.
    std::uint64_t m_progressGeneration = 0;
    std::uint64_t m_shownGeneration = 0;
    std::int64_t m_shownPosition = 0;
    QAction* m_actions[COMMAND_COUNT] = {};
    RibbonBar* m_wndRibbonBar = nullptr;
    QSplitter* m_wndSplitter = nullptr;
    CLeftView* m_pLeftView = nullptr;
    CVeltraxMySqlRecoveryView* m_pView = nullptr;
    CLogWindow* m_wndLog = nullptr;
    StatusBarProgress m_statusProgress;
    QLabel* m_pPane1 = nullptr;
    QLabel* m_pPane2 = nullptr;
    CFindTreeItem* m_pFindBar = nullptr;
    CGrisoltDlg* m_pLogo = nullptr;
    QtFileDialogs m_qtFileDialogs;
    FileDialogs* m_pFileDialogs = &m_qtFileDialogs;
    std::unique_ptr<CConDlg> m_pConDlg;
    bool m_bClosing = false;
    // Set while the update wizard's Finish closes the window.
    bool m_bEndWithoutQuestion = false;
};

} // namespace app
