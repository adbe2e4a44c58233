#pragma once

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
#include <mutex>

class QLabel;
class QPlainTextEdit;
class QProgressBar;

namespace engine {
class MySqlRepair;
}

namespace app {

class CVeltraxMySqlRecoveryApp;

// The main window, and the window every report goes to. A report sent from
// a worker runs its handler on the GUI thread and the worker waits for it
// (a blocking queued call); one sent on the GUI thread runs directly.
// Progress steps are the exception: they only count up, and the GUI thread
// applies them every few milliseconds and before the next begin or end, so
// the many steps of a long walk cost no thread round trip each.
//
// The log and the progress bar are simple place holders for now.
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

    // What the place holders show.
    QStringList logLines() const { return m_logLines; }
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

protected:
    void closeEvent(QCloseEvent* event) override;

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

    CVeltraxMySqlRecoveryApp& m_app;
    engine::MySqlRepair& m_repair;
    QStringList m_logLines;
    Progress m_progress;
    std::atomic<std::int64_t> m_pendingSteps{0};
    std::mutex m_callMutex;
    std::condition_variable m_callDone;
    std::deque<GuiCall*> m_calls;
    QTimer m_stepTimer;
    QTimer m_paneTimer;
    QPlainTextEdit* m_pLog = nullptr;
    QLabel* m_pProgressLabel = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    QLabel* m_pPane1 = nullptr;
    QLabel* m_pPane2 = nullptr;
};

} // namespace app
