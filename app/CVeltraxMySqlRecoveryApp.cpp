#include "app/CVeltraxMySqlRecoveryApp.h"

#include "app/CMainFrame.h"
#include "app/CRecoveryThread.h"
#include "app/QtFileDialogs.h"
#include "app/SingleInstanceLock.h"
#include "app/dialogs/StartUpDialog.h"
#include "engine/MySqlRepair.h"
#include "engine/ServiceDiscovery.h"
#include "platform/Registry.h"
#include "updater/CAutoUpdater.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <utility>

namespace app {

namespace {

const QString kProductKey = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");
const QString kTitle = QStringLiteral("  Grisolt");

} // namespace

CVeltraxMySqlRecoveryApp::CVeltraxMySqlRecoveryApp(int& argc, char** argv)
    : QApplication(argc, argv), m_pRepair(std::make_unique<engine::MySqlRepair>(*this))
{
    setApplicationName(QStringLiteral("Grisolt"));
    setDesktopFileName(QStringLiteral("VeltraxMySqlRecovery.AppID.NoVersion"));
}

CVeltraxMySqlRecoveryApp::~CVeltraxMySqlRecoveryApp()
{
    ExitInstance(0);
    m_selectedDatabases.clear();
    m_services.clear();
    FreeDataFolderRecords();
    // The main window goes before the application it belongs to.
    m_pMainFrame.reset();
    m_pUpdater.reset();
}

bool CVeltraxMySqlRecoveryApp::InitInstance(bool standardDialogs)
{
    m_instanceLock = std::make_unique<SingleInstanceLock>();
    if (!m_instanceLock->acquire())
        return false;

    m_pUpdater = std::make_unique<updater::CAutoUpdater>();
    m_pMainFrame = std::make_unique<CMainFrame>(*this, *m_pRepair);
    m_pMainFrame->setWindowTitle(kTitle);
    m_pMainFrame->showMaximized();

    m_strIbdataPath.clear();
    m_bIdle = true;
    m_strTempFolder = QDir::tempPath() + QLatin1Char('/');
    m_bTablesFound = false;
    FindMySqlServices();
    ReadProductRegistryValues();
    m_pRepair->m_hWndReport = m_pMainFrame.get();
    if (standardDialogs)
        UseStandardDialogs();
    StartScanJob();
    return true;
}

void CVeltraxMySqlRecoveryApp::UseStandardDialogs()
{
    CMainFrame* frame = m_pMainFrame.get();
    frame->UseStandardDialogs();
    m_startUpDialog = [this, frame] {
        StartUpDialog dialog(*this, m_pRepair.get(), frame->fileDialogs(), frame);
        dialog.m_tell = frame->userMessageSink();
        return dialog.exec() == QDialog::Accepted;
    };
}

int CVeltraxMySqlRecoveryApp::ExitInstance(int exitCode)
{
    // A job still running (the window cannot close while one runs, but a
    // session end can end the loop) is stopped and joined, never left behind.
    if (m_pRecoveryThread) {
        if (!m_bIdle)
            RequestStop();
        WaitForJob();
        m_pRecoveryThread.reset();
    }
    // Backup folders a repair emptied; anything holding a file stays.
    RemoveEmptyFoldersToRemove();
    if (m_pRepair) {
        m_pRepair->m_hWndReport = nullptr;
        m_pRepair->m_hWndScanProgress = nullptr;
        m_pRepair.reset();
    }
    return exitCode;
}

std::unique_ptr<CRecoveryThread> CVeltraxMySqlRecoveryApp::NewWorker()
{
    return std::make_unique<CRecoveryThread>(*this, *m_pRepair, *m_pMainFrame);
}

bool CVeltraxMySqlRecoveryApp::StartJob(std::unique_ptr<CRecoveryThread> worker)
{
    if (!worker || !m_bIdle)
        return false;
    if (m_pRecoveryThread)
        m_pRecoveryThread->wait();
    m_pRecoveryThread = std::move(worker);
    // Cleared before the worker runs, so that this cannot overwrite the
    // worker's own setting of the flag at its end.
    m_bIdle = false;
    m_pRecoveryThread->start();
    return true;
}

bool CVeltraxMySqlRecoveryApp::StartScanJob()
{
    if (!m_startUpDialog || !m_startUpDialog())
        return false;
    if (!m_bIdle)
        return false;
    m_bStop = false;
    return StartJob(NewWorker());
}

void CVeltraxMySqlRecoveryApp::RequestStop()
{
    m_bStop = true;
    if (m_bConnected && m_pRepair)
        m_pRepair->InterruptConnection();
}

bool CVeltraxMySqlRecoveryApp::WaitForJob(int timeoutMs)
{
    CRecoveryThread* worker = m_pRecoveryThread.get();
    if (!worker)
        return true;
    // The worker may be blocked in a report to this thread: run an event
    // loop until it ends, so that each report is served at once.
    bool ended = worker->isFinished();
    if (!ended) {
        QEventLoop loop;
        connect(worker, &QThread::finished, &loop, [&] {
            ended = true;
            loop.quit();
        });
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (timeoutMs >= 0)
            timeout.start(timeoutMs);
        if (!worker->isFinished())
            loop.exec();
        ended = ended || worker->isFinished();
    }
    if (!ended)
        return false;
    // Past its last report: it only has to leave run().
    worker->wait();
    // The worker's last act: what it wrote before is visible from here on.
    return m_bIdle.load(std::memory_order_acquire);
}

bool CVeltraxMySqlRecoveryApp::FindMySqlServices()
{
    return engine::FindMySqlServices(*this);
}

std::array<std::pair<const char*, QString CVeltraxMySqlRecoveryApp::*>, 21> CVeltraxMySqlRecoveryApp::ProductFields()
{
    using App = CVeltraxMySqlRecoveryApp;
    return {{
        {"Version", &App::m_strVersion},       {"HomePageText", &App::m_strHomePageText}, {"HomePage", &App::m_strHomePage},
        {"SalesText", &App::m_strSalesText},   {"Sales", &App::m_strSales},   {"EmailSupText", &App::m_strEmailSupText},
        {"EmailSup", &App::m_strEmailSup},     {"Tel1", &App::m_strTel1},     {"Tel1Val", &App::m_strTel1Val},
        {"Tel2", &App::m_strTel2},             {"Tel2Val", &App::m_strTel2Val}, {"Tel3", &App::m_strTel3},
        {"Tel3Val", &App::m_strTel3Val},       {"Tel4", &App::m_strTel4},     {"Tel4Val", &App::m_strTel4Val},
        {"Tel5", &App::m_strTel5},             {"Tel5Val", &App::m_strTel5Val}, {"Messenger", &App::m_strMessenger},
        {"MessengerVal", &App::m_strMessengerVal}, {"Tel6Val", &App::m_strTel6Val}, {"Tel6", &App::m_strTel6},
    }};
}

void CVeltraxMySqlRecoveryApp::ReadProductRegistryValues()
{
    for (const auto& [name, field] : ProductFields())
        this->*field = platform::Registry::value(kProductKey, QString::fromLatin1(name));
}

QString CVeltraxMySqlRecoveryApp::ProductValue(const QString& name) const
{
    for (const auto& [fieldName, field] : ProductFields())
        if (name == QLatin1String(fieldName))
            return this->*field;
    return QString();
}

CVeltraxMySqlRecoveryApp& theApp()
{
    return *static_cast<CVeltraxMySqlRecoveryApp*>(QCoreApplication::instance());
}

} // namespace app
