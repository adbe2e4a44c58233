// grisolt-repair [--datadir DIR [--ibdata FILE]] [--databases NAME,...]
//                [--host HOST] [--user USER] [--password PASSWORD]
//                [--cancel-login] [--service-timeout SECONDS]
//
// Runs a whole repair without the GUI, as the worker does: the scan, the
// database selection, the repair job, its outcome. Without --datadir the
// data folder is the default location, found from the registered services
// (their my.ini), which are stopped for the scan as the program does; with it,
// that folder (and FILE, or DIR/ibdata1) is read and the registered server
// receives the recovered databases. Every database found is chosen, or those
// that --databases names (folder names, as on disk). The login comes from the
// options; --cancel-login answers the login dialog with Cancel.
//
// The log goes to standard output, message boxes too ("[box] " + text).
// Exit status: 0 when the repair finished successfully with no failed
// statement; 1 when it ran with failures or was stopped; 3 when it did not
// run (login, server, connection); 4 when there was nothing to repair; 2 for
// bad usage.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "engine/ServiceDiscovery.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

class ConsoleReport : public engine::ReportWindow {
public:
    ConsoleReport(const engine::AppState& app, const engine::MySqlRepair::LoginDetails& login, bool cancelLogin)
        : m_app(app), m_login(login), m_cancelLogin(cancelLogin)
    {
    }
    long SendMessage(unsigned message, std::uintptr_t, std::intptr_t) override
    {
        if (message == engine::WM_APPEND_LOG) {
            std::printf("%s\n", qPrintable(m_app.message()));
            std::fflush(stdout);
        }
        return 0;
    }
    void ShowUserMessage(const QString& text) override
    {
        std::printf("[box] %s\n", qPrintable(text));
        std::fflush(stdout);
    }
    bool RunLoginDialog(QString& host, QString& user, QString& password) override
    {
        if (m_cancelLogin)
            return false;
        host = m_login.m_host;
        user = m_login.m_user;
        password = m_login.m_password;
        return true;
    }

private:
    const engine::AppState& m_app;
    engine::MySqlRepair::LoginDetails m_login;
    bool m_cancelLogin;
};

struct Options {
    QString dataDir;
    QString ibdata;
    QStringList databases;
    engine::MySqlRepair::LoginDetails login;
    bool cancelLogin = false;
    int serviceTimeout = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: grisolt-repair [--datadir DIR [--ibdata FILE]] [--databases NAME,...] [--host HOST]\n"
                         "                      [--user USER] [--password PASSWORD] [--cancel-login]\n"
                         "                      [--service-timeout SECONDS]\n");
    return 2;
}

bool parse(const QStringList& args, Options& options)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--cancel-login")) {
            options.cancelLogin = true;
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        const QString value = args[++i];
        if (arg == QLatin1String("--datadir"))
            options.dataDir = value;
        else if (arg == QLatin1String("--ibdata"))
            options.ibdata = value;
        else if (arg == QLatin1String("--databases"))
            options.databases = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (arg == QLatin1String("--host"))
            options.login.m_host = value;
        else if (arg == QLatin1String("--user"))
            options.login.m_user = value;
        else if (arg == QLatin1String("--password"))
            options.login.m_password = value;
        else if (arg == QLatin1String("--service-timeout"))
            options.serviceTimeout = value.toInt();
        else
            return false;
    }
    return options.ibdata.isEmpty() || !options.dataDir.isEmpty();
}

QString lastComponent(QString path)
{
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The database selection dialog, answered: every listed database, or the
// named ones; sets the all/some flag as confirming the dialog does.
void chooseDatabases(engine::AppState& app, const QStringList& wanted)
{
    QStringList listed;
    for (const auto& record : app.m_dataFolders)
        listed << record.m_databaseFolders;
    app.m_selectedDatabases.clear();
    for (const QString& folder : listed)
        if (wanted.isEmpty() || wanted.contains(lastComponent(folder)))
            app.m_selectedDatabases << folder;
    const bool all = app.m_selectedDatabases.size() == listed.size();
    app.m_bAllSelected = all;
    app.m_bSomeSelected = !all;
    app.FreeDataFolderRecords();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Options options;
    if (!parse(application.arguments(), options))
        return usage();

    engine::AppState app;
    engine::MySqlRepair repair(app);
    ConsoleReport report(app, options.login, options.cancelLogin);
    repair.m_hWndReport = &report;
    repair.m_hWndScanProgress = &report;
    if (options.serviceTimeout > 0)
        repair.m_serviceTimeoutMs = options.serviceTimeout * 1000LL;
    app.m_strTempFolder = QDir::tempPath() + QLatin1Char('/');

    // What start-up and the scan job do.
    engine::FindMySqlServices(app);
    bool scanStoppedTheServer = false;
    if (options.dataDir.isEmpty()) {
        app.m_bDefaultLocation = true;
        if (!repair.LocateServiceConfig())
            return 3;
        repair.StopMySqlServices();
        scanStoppedTheServer = repair.m_bServiceWasRunning && app.m_bServiceStopped;
    } else {
        QString folder = QDir(options.dataDir).absolutePath();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        app.m_bManualFolder = true;
        app.m_strDataFolder = folder;
        app.m_strIbdataPath = options.ibdata.isEmpty() ? folder + QStringLiteral("ibdata1")
                                                       : QDir(options.ibdata).absolutePath();
    }
    // As closing the program does: a server that the scan stopped runs again.
    const auto restartServer = [&] {
        if (scanStoppedTheServer)
            repair.StartMySqlService();
    };

    repair.ListDatabaseFolders();
    if (!repair.m_bDatabaseFound) {
        std::printf("No database present in data folder.\n");
        restartServer();
        return 4;
    }
    chooseDatabases(app, options.databases);
    repair.ScanDataFolder();
    if (repair.m_databases.empty()) {
        restartServer();
        return 4;
    }

    // The Repair command, with the whole tree checked.
    app.m_bTablesFound = false;
    app.m_bRepair = true;
    const auto outcome = repair.RunRepair();
    repair.ReportRepairOutcome(outcome);
    restartServer();
    switch (outcome) {
    case engine::MySqlRepair::REPAIR_SUCCEEDED:
        return 0;
    case engine::MySqlRepair::REPAIR_INCOMPLETE:
    case engine::MySqlRepair::REPAIR_STOPPED:
        return 1;
    default:
        return 3;
    }
}
