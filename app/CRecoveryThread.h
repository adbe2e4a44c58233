#pragma once

#include <QString>
#include <QThread>

#include <atomic>

namespace engine {
class AppState;
class MySqlRepair;
class TableInformation;
} // namespace engine

namespace app {

class CMainFrame;

// The kinds of job a worker can do; no field stores it, the worker derives it.
enum RecoveryJob {
    JOB_NONE,
    JOB_SCAN,
    JOB_REPAIR,
    JOB_PREVIEW_PAGE,
    JOB_PREVIEW_TABLE,
    JOB_VIEW_TEXT,
    JOB_TRIGGER_TEXT,
};

// One worker, one job: created for a job, given its fields, started by the
// application while idle, and done when it has set the idle flag again. It
// touches no widget: it reports to the main window, which runs its handlers
// (and the dialogs it asks for) on the GUI thread while the worker waits.
class CRecoveryThread : public QThread {
    Q_OBJECT
public:
    CRecoveryThread(engine::AppState& app, engine::MySqlRepair& repair, CMainFrame& report);
    ~CRecoveryThread() override;

    // The job the shared state asks for, in this order: the engine's model
    // is empty, scan; the repair flag, repair; the page request, one page;
    // then this worker's own table, view or trigger flag.
    RecoveryJob ChooseJob() const;

    // Job fields, set by the starter before the worker runs.
    bool m_bTableJob = false;
    bool m_bViewJob = false;
    bool m_bTriggerJob = false;
    QString m_strObjectPath;
    engine::TableInformation* m_posTable = nullptr;

    // The time stamp of the scan's and the repair's log lines.
    static QString TimeStamp();

protected:
    void run() override;

private:
    void RunJob(RecoveryJob job);
    void ScanJob();
    // One log line when the shared tablespace the scan reads is damaged or
    // no shared tablespace at all: its InnoDB tables may be missing.
    void LogTablespaceFinding();
    void RepairJob();
    void PreviewPageJob();
    void PreviewTableJob();
    void ResetPreviewState();
    void Log(const QString& line);
    void Send(unsigned message, std::intptr_t lParam = 0);

    engine::AppState& m_app;
    engine::MySqlRepair& m_repair;
    CMainFrame& m_report;
};

} // namespace app
