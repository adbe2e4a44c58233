// grisolt-shell-repair --datadir DIR [--ibdata FILE] [--host HOST] [--user USER] [--password PASSWORD]
//
// Runs a whole repair from a chosen folder through the desktop shell, offscreen:
// the application object starts as the program does, a scan worker reads the
// folder (every database chosen), then a repair worker repairs it, reporting
// to the main window like the program's own jobs; the login dialog is
// answered from the options. Beside grisolt-repair it shows what the shell's
// threads and report delivery cost.
//
// The log goes to standard output. Exit status: 0 when the repair finished
// successfully, 1 when it did not, 2 for bad usage, 3 when the program could
// not start (another instance runs).
#include "app/CMainFrame.h"
#include "app/CRecoveryThread.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/UserMessage.h"
#include "engine/MySqlRepair.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Options {
    QString dataDir;
    QString ibdata;
    QString host;
    QString user;
    QString password;
};

bool parse(const QStringList& args, Options& options)
{
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& arg = args[i];
        const QString& value = args[i + 1];
        if (arg == QLatin1String("--datadir"))
            options.dataDir = value;
        else if (arg == QLatin1String("--ibdata"))
            options.ibdata = value;
        else if (arg == QLatin1String("--host"))
            options.host = value;
        else if (arg == QLatin1String("--user"))
            options.user = value;
        else if (arg == QLatin1String("--password"))
            options.password = value;
        else
            return false;
    }
    return args.size() % 2 == 1 && !options.dataDir.isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::CVeltraxMySqlRecoveryApp application(argc, argv);
    Options options;
    if (!parse(application.arguments(), options)) {
        std::fprintf(stderr, "usage: grisolt-shell-repair --datadir DIR [--ibdata FILE] [--host HOST] [--user USER] "
                             "[--password PASSWORD]\n");
        return 2;
    }
    if (!application.InitInstance())
        return 3;
    app::CMainFrame& frame = *application.mainFrame();
    QString lastLine;
    QObject::connect(&frame, &app::CMainFrame::reportHandled, &frame, [&](unsigned message, quintptr, qintptr) {
        if (message == engine::WM_APPEND_LOG) {
            lastLine = application.message();
            std::printf("%s\n", qPrintable(lastLine));
        }
    });
    // Message boxes are answered at once, and printed as grisolt-repair does.
    QTimer boxes;
    boxes.setInterval(20);
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<app::UserMessage*>(QApplication::activeModalWidget())) {
            std::printf("[box] %s\n", qPrintable(box->text()));
            box->okButton()->click();
        }
    });
    boxes.start();
    frame.m_loginDialog = [&](QString& host, QString& user, QString& password) {
        host = options.host;
        user = options.user;
        password = options.password;
        return true;
    };

    // The start-up dialog's choice: this folder.
    QString folder = QDir(options.dataDir).absolutePath() + QLatin1Char('/');
    application.m_bManualFolder = true;
    application.m_strDataFolder = folder;
    application.m_strIbdataPath = options.ibdata.isEmpty() ? folder + QStringLiteral("ibdata1")
                                                           : QDir(options.ibdata).absolutePath();
    application.StartJob(application.NewWorker());
    application.WaitForJob();
    if (application.repair().m_databases.empty())
        return 1;

    // The Repair command, with the whole tree checked.
    application.m_bTablesFound = false;
    application.m_bRepair = true;
    application.m_bStop = false;
    application.StartJob(application.NewWorker());
    application.WaitForJob();
    int succeeded = 1;
    for (const QString& line : frame.logLines())
        if (line == QLatin1String("Repair process finished successfully."))
            succeeded = 0;
    return application.ExitInstance(succeeded);
}
