#pragma once

#include "engine/AppState.h"

#include <QApplication>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <utility>

namespace engine {
class MySqlRepair;
}
namespace updater {
class CAutoUpdater;
}

namespace app {

class CMainFrame;
class CRecoveryThread;
class SingleInstanceLock;

// The application object: the Qt application, the state every part shares,
// the owner of the one engine, of the main window and of the worker of the
// last job.
class CVeltraxMySqlRecoveryApp : public QApplication, public engine::AppState {
    Q_OBJECT
public:
    CVeltraxMySqlRecoveryApp(int& argc, char** argv);
    ~CVeltraxMySqlRecoveryApp() override;

    // Start-up: single instance, main window, services, product values, then
    // the start-up dialog and the first scan. False when this process is to
    // end at once (another instance runs): then no window exists.
    bool InitInstance(bool standardDialogs = false);
    // The dialogs a user answers (start-up dialog, database selection,
    // login); the test programs answer through hooks of their own instead.
    // Call after InitInstance; the program does so before its first scan.
    void UseStandardDialogs();
    // After the message loop: joins the last worker and deletes the engine.
    int ExitInstance(int exitCode);

    engine::MySqlRepair& repair() const { return *m_pRepair; }
    CMainFrame* mainFrame() const { return m_pMainFrame.get(); }

    // Starts one job on a new worker, only while idle: the worker's fields
    // are set by the caller, the idle flag is cleared before it runs. The
    // worker of the job before is joined (it has ended: idle was set).
    // False, and the worker is dropped, when a job runs.
    bool StartJob(std::unique_ptr<CRecoveryThread> worker);
    // A new worker reporting to the main window, its job fields clear.
    std::unique_ptr<CRecoveryThread> NewWorker();
    // The start-up dialog, then on OK the scan. Returns whether a scan began.
    bool StartScanJob();
    // The Stop command's effect: the stop flag, and the statement under way
    // cancelled. Does not wait for the job.
    void RequestStop();
    // Waits for the running job while this thread keeps serving its reports;
    // for program end and tests. True when no job runs any more.
    bool WaitForJob(int timeoutMs = -1);
    CRecoveryThread* currentWorker() const { return m_pRecoveryThread.get(); }

    // Registry: the installed MySQL services and the product's values.
    bool FindMySqlServices();
    void ReadProductRegistryValues();
    // A product value read at start-up, by its registry name; empty text
    // for a name that is not one of them.
    QString ProductValue(const QString& name) const;

    // The first line of the notice dialog; GUI thread only.
    QString m_strMessageTitle;

    // Product values, read once at start-up.
    QString m_strVersion;
    QString m_strHomePageText;
    QString m_strHomePage;
    QString m_strSalesText;
    QString m_strSales;
    QString m_strEmailSupText;
    QString m_strEmailSup;
    QString m_strTel1;
    QString m_strTel1Val;
    QString m_strTel2;
    QString m_strTel2Val;
    QString m_strTel3;
    QString m_strTel3Val;
    QString m_strTel4;
    QString m_strTel4Val;
    QString m_strTel5;
    QString m_strTel5Val;
    QString m_strMessenger;
    QString m_strMessengerVal;
    QString m_strTel6Val;
    QString m_strTel6;

    // The start-up dialog; true on OK. Until it is set nothing is scanned at
    // start and the main window stays empty.
    std::function<bool()> m_startUpDialog;

    // The update check and download of the Update command.
    std::unique_ptr<updater::CAutoUpdater> m_pUpdater;

private:
    // The product values: registry name and field.
    static std::array<std::pair<const char*, QString CVeltraxMySqlRecoveryApp::*>, 21> ProductFields();

    std::unique_ptr<engine::MySqlRepair> m_pRepair;
    std::unique_ptr<SingleInstanceLock> m_instanceLock;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<CRecoveryThread> m_pRecoveryThread;
};

// The one application object, valid while it exists.
CVeltraxMySqlRecoveryApp& theApp();

} // namespace app
