// Stop and start go through generated "stop_"/"start_" scripts calling our
// "sc" program.
#include "engine/ServerEnvironment.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "platform/ArgumentVector.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace engine {

using platform::ServiceControl;
using platform::ServiceState;

namespace {

const QString kProductKey = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");
// 7006
const QString kDataFolderNotFound = QStringLiteral("MySQL data folder path is not found.");
constexpr int kMaxIncludeDepth = 8;
constexpr auto kPollInterval = std::chrono::milliseconds(100);

// What the server's option files say about where it keeps its files. Later
// values win, as they do for the server.
struct ServerOptions {
    QString port;
    QString dataDir;
    QString innodbHomeDir;
    QString logError;
    bool hasPort = false;
    bool hasDataDir = false;
    bool hasInnodbHomeDir = false;
    bool hasLogError = false;

    void apply(QString key, const QString& value)
    {
        key = key.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
        if (key.startsWith(QLatin1String("loose-")))
            key = key.mid(6);
        if (key == QLatin1String("port")) {
            port = value;
            hasPort = true;
        } else if (key == QLatin1String("datadir")) {
            dataDir = value;
            hasDataDir = true;
        } else if (key == QLatin1String("innodb-data-home-dir")) {
            innodbHomeDir = value;
            hasInnodbHomeDir = true;
        } else if (key == QLatin1String("log-error")) {
            logError = value;
            hasLogError = true;
        }
    }
};

// The option groups the server reads, with or without a version suffix.
bool isServerGroup(const QString& group)
{
    static const QStringList kGroups = {QStringLiteral("mysqld"), QStringLiteral("server"), QStringLiteral("mariadbd"),
                                        QStringLiteral("mariadb"), QStringLiteral("client-server")};
    const QString name = group.toLower();
    for (const QString& g : kGroups)
        if (name == g || name.startsWith(g + QLatin1Char('-')))
            return true;
    return false;
}

// A value as the option file writes it: quoted to the closing quote, or up
// to a comment.
QString optionValue(QString value)
{
    value = value.trimmed();
    if (!value.isEmpty() && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))) {
        const qsizetype close = value.indexOf(value.front(), 1);
        return close < 0 ? value.mid(1) : value.mid(1, close - 1);
    }
    const qsizetype hash = value.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        value.truncate(hash);
    return value.trimmed();
}

// False when the file cannot be read.
bool readOptionFile(const QString& path, ServerOptions& options, QSet<QString>& seen, int depth)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (depth > kMaxIncludeDepth || canonical.isEmpty() || seen.contains(canonical))
        return false;
    seen.insert(canonical);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString group;
    // Read whole: values of half a file would name the wrong folders.
    while (!file.atEnd()) {
        const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1String("!include "))) {
            readOptionFile(line.mid(9).trimmed(), options, seen, depth + 1);
        } else if (line.startsWith(QLatin1String("!includedir "))) {
            const QDir dir(line.mid(12).trimmed());
            for (const QString& name : dir.entryList({QStringLiteral("*.cnf")}, QDir::Files, QDir::Name))
                readOptionFile(dir.filePath(name), options, seen, depth + 1);
        } else if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            group = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
        } else if (isServerGroup(group)) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq > 0)
                options.apply(line.left(eq).trimmed(), optionValue(line.mid(eq + 1)));
        }
    }
    return true;
}

// Options on the service's command line override those of its files.
void applyCommandLine(const QString& imagePath, ServerOptions& options)
{
    const QStringList args = QProcess::splitCommand(imagePath);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 2)
            options.apply(arg.mid(2, eq - 2), arg.mid(eq + 1));
    }
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Port, data folder and ibdata1 path from what the option files said; a
// value they do not name keeps the one the engine has.
void takeOptions(MySqlRepair& engine, const ServerOptions& options)
{
    engine.m_strIbdataPath.clear();
    if (options.hasPort)
        engine.m_strPort = options.port;
    if (options.hasDataDir && !options.dataDir.isEmpty())
        engine.m_strDataFolder = withSlash(options.dataDir);
    if (options.hasInnodbHomeDir && !options.innodbHomeDir.isEmpty())
        engine.m_strIbdataPath = withSlash(options.innodbHomeDir) + QStringLiteral("ibdata1");
    else if (!engine.m_strDataFolder.isEmpty())
        engine.m_strIbdataPath = engine.m_strDataFolder + QStringLiteral("ibdata1");
}

QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The folder of the running executable.
QString executableFolder()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

// The "sc" program: the one in the program folder, next to our executable
// or on the PATH.
QString serviceProgram(const QString& programFolder)
{
    for (const QString& folder : {programFolder, executableFolder()}) {
        const QFileInfo sc(folder + QStringLiteral("/sc"));
        if (!folder.isEmpty() && sc.isFile() && sc.isExecutable())
            return sc.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("sc"));
}

// Runs argv and waits until it ends or the deadline passes; a command still
// running then is killed (it only waits for the service: the stop or start
// it sent stands). The stop flag does not cut it short: a server half way
// through a stop or a start is always seen to its end. Returns whether it
// ran to its end.
bool runAndWait(const QStringList& args, std::chrono::steady_clock::time_point deadline)
{
    if (args.isEmpty())
        return false;
    platform::ArgumentVector argv(args);
    // What sc prints is for a person at a terminal; here nobody reads it.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv.first(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return done == pid;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Hands "sc VERB NAME" to the shell through a script in the program folder,
// named after the local time ("stop_9_5_7.sh"), removed again after the run;
// without a program folder, or when the script cannot be written, sc runs
// directly.
void launchServiceCommand(MySqlRepair& engine, const QString& programFolder, const QString& verb, const QString& name)
{
    const QString sc = serviceProgram(programFolder);
    if (sc.isEmpty()) {
        engine.AppendLog(QStringLiteral("No sc program was found to %1 the service %2.").arg(verb, name));
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(engine.m_serviceTimeoutMs)
        + std::chrono::seconds(5);
    const QString timeout = QStringLiteral("--timeout=%1").arg((engine.m_serviceTimeoutMs + 999) / 1000);
    QStringList direct = {sc, verb, name};
    if (verb == QLatin1String("stop"))
        direct.append(timeout);

    if (!programFolder.isEmpty()) {
        const QTime now = QTime::currentTime();
        const QString script = programFolder + QLatin1Char('/') + verb
            + QStringLiteral("_%1_%2_%3.sh").arg(now.hour()).arg(now.minute()).arg(now.second());
        QFile::remove(script); // a leftover of an earlier run, if any: NewOnly below checks
        QFile file(script);
        QString text = QStringLiteral("#!/bin/sh\nexec ") + shellQuoted(sc) + QLatin1Char(' ') + verb + QLatin1Char(' ')
            + shellQuoted(name);
        if (verb == QLatin1String("stop"))
            text += QLatin1Char(' ') + timeout;
        text += QLatin1Char('\n');
        const QByteArray bytes = text.toLocal8Bit();
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write(bytes) == bytes.size()) {
            file.close();
            if (!runAndWait({QStringLiteral("/bin/sh"), script}, deadline))
                engine.AppendLog(QStringLiteral("The command \"sc %1 %2\" did not end in time or could not run.").arg(verb, name));
            if (!QFile::remove(script))
                engine.AppendLog(QStringLiteral("The script %1 could not be removed.").arg(script));
            return;
        }
        if (QFile::exists(script) && !QFile::remove(script))
            engine.AppendLog(QStringLiteral("The script %1 could not be removed.").arg(script));
    }
    if (!runAndWait(direct, deadline))
        engine.AppendLog(QStringLiteral("The command \"sc %1 %2\" did not end in time or could not run.").arg(verb, name));
}

// A wait that fails says what the service was doing meanwhile, so that a
// start that stalls can be told from one that failed.
bool waitForState(MySqlRepair& engine, const QString& name, ServiceState state)
{
    QString seen;
    if (ServiceControl::waitFor(name, state, std::chrono::milliseconds(engine.m_serviceTimeoutMs), {}, &seen))
        return true;
    engine.AppendLog(QStringLiteral("The service %1 did not reach %2: %3.")
                         .arg(name, ServiceControl::stateName(state), seen));
    return false;
}

// Stops one service: the script first, then our own stop signal if the
// process still runs, then the wait for it to be gone.
bool stopOneService(MySqlRepair& engine, const QString& programFolder, const QString& name)
{
    launchServiceCommand(engine, programFolder, QStringLiteral("stop"), name);
    ServiceState state = ServiceControl::query(name);
    if (state == ServiceState::Stopped)
        return true;
    if (state == ServiceState::Unknown)
        return false;
    QString error;
    if (!ServiceControl::requestStop(name, std::chrono::milliseconds(engine.m_serviceTimeoutMs / 2), &error))
        engine.AppendLog(QStringLiteral("The service %1 could not be asked to stop: %2").arg(name, error));
    return waitForState(engine, name, ServiceState::Stopped);
}

bool startOneService(MySqlRepair& engine, const QString& programFolder, const QString& name)
{
    if (ServiceControl::query(name) == ServiceState::Stopped)
        launchServiceCommand(engine, programFolder, QStringLiteral("start"), name);
    return waitForState(engine, name, ServiceState::Running);
}

} // namespace

AppState& ServerEnvironment::app() const
{
    return m_repair.app();
}

QString ServerEnvironment::MyIniPathFromCommandLine(const QString& imagePath)
{
    static const QString kOption = QStringLiteral("--defaults-file=");
    for (const QString& arg : QProcess::splitCommand(imagePath))
        if (arg.startsWith(kOption))
            return arg.mid(kOption.size());
    return {};
}

void ServerEnvironment::ReadMyIni()
{
    ServerOptions options;
    QSet<QString> seen;
    if (!readOptionFile(m_repair.m_strMyIniPath, options, seen, 0)) {
        m_repair.m_strIbdataPath.clear();
        return;
    }
    takeOptions(m_repair, options);
}

QStringList ServerEnvironment::ServerErrorLogs() const
{
    // Without log-error the server writes to its standard error, which the
    // service's log file takes.
    QStringList logs = {ServiceControl::logFile(app().m_service.m_displayName)};
    ServerOptions options;
    QSet<QString> seen;
    readOptionFile(MyIniPathFromCommandLine(app().m_service.m_imagePath), options, seen, 0);
    applyCommandLine(app().m_service.m_imagePath, options);
    if (options.hasLogError && !options.logError.isEmpty()) {
        // As the server takes it: ".err" added to a name without a suffix,
        // a relative name in the data folder.
        QString path = options.logError;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".err");
        if (QDir::isRelativePath(path)) {
            const QString dataFolder = options.hasDataDir ? options.dataDir : m_repair.m_strDataFolder;
            path = dataFolder.isEmpty() ? QString() : withSlash(dataFolder) + path;
        }
        if (!path.isEmpty())
            logs << path;
    }
    return logs;
}

bool ServerEnvironment::LocateServiceConfig()
{
    const std::size_t count = app().m_services.size();
    for (std::size_t i = 0; i < count; ++i) {
        app().m_service = app().m_services[i];
        app().m_strServiceImagePath = app().m_service.m_imagePath;
        m_repair.m_strMyIniPath = MyIniPathFromCommandLine(app().m_strServiceImagePath);
        // Each service is judged by its own files only, never by what the
        // previous one's said.
        m_repair.m_strDataFolder.clear();
        m_repair.m_strPort.clear();
        ServerOptions options;
        QSet<QString> seen;
        readOptionFile(m_repair.m_strMyIniPath, options, seen, 0);
        applyCommandLine(app().m_strServiceImagePath, options);
        takeOptions(m_repair, options);
        if (m_repair.m_strIbdataPath.contains(QLatin1String("ibdata"))) {
            MYSQL_SERVICE completed = app().m_service;
            completed.m_myIniPath = m_repair.m_strMyIniPath;
            completed.m_port = m_repair.m_strPort;
            completed.m_ibdataPath = m_repair.m_strIbdataPath;
            completed.m_dataFolder = m_repair.m_strDataFolder;
            app().m_services[i] = completed;
        }
    }
    for (std::size_t j = 0; j < count; ++j) {
        app().m_service = app().m_services[j];
        const QString folder = app().m_service.m_dataFolder;
        if (!folder.isEmpty() && m_repair.m_diskObject.DirectoryExists(folder)) {
            app().m_services = {app().m_service};
            m_repair.m_strDataFolder = folder;
            return true;
        }
    }
    m_repair.ShowUserMessage(kDataFolderNotFound);
    return false;
}

QString ServerEnvironment::ReadProgramFolder()
{
    QString folder = platform::Registry::value(kProductKey, QStringLiteral("Path"));
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

bool ServerEnvironment::StopMySqlServices()
{
    m_programFolder = ReadProgramFolder();
    const std::size_t count = app().m_services.size();
    std::vector<MYSQL_SERVICE> stoppedHere;
    app().m_nServiceCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (m_repair.StopFlagSkipsServices()) {
            // Stopped by the user before this service was touched: it is left
            // as it is, and what this call stopped runs again below.
            app().m_bServiceStopped = false;
            break;
        }
        ++app().m_nServiceCount;
        app().m_service = app().m_services[i];
        const QString name = app().m_service.m_displayName;
        const ServiceState before = ServiceControl::query(name);
        m_repair.m_bServiceWasRunning = before != ServiceState::Stopped && before != ServiceState::Unknown;
        const bool stopped = stopOneService(m_repair, m_programFolder, name);
        app().m_bServiceStopped = stopped;
        if (stopped && m_repair.m_bServiceWasRunning)
            stoppedHere.push_back(app().m_service);
    }
    if (!app().m_bServiceStopped && !stoppedHere.empty()) {
        // Nothing will be exchanged; what ran before runs again.
        const MYSQL_SERVICE last = app().m_service;
        for (const MYSQL_SERVICE& service : stoppedHere)
            if (!startOneService(m_repair, m_programFolder, service.m_displayName))
                m_repair.AppendLog(QStringLiteral("The service %1 could not be started again.").arg(service.m_displayName));
        app().m_service = last;
    }
    return app().m_bServiceStopped;
}

bool ServerEnvironment::StartMySqlService()
{
    app().m_bServiceStarted = false;
    if (!app().m_bServiceStopped)
        return false;
    m_programFolder = ReadProgramFolder();
    app().m_bServiceStarted = startOneService(m_repair, m_programFolder, app().m_service.m_displayName);
    return app().m_bServiceStarted;
}

QString ServerEnvironment::DateTimeText(int day, int month, int year, int hour, int minute, int second)
{
    return QStringLiteral("%1-%2-%3 %4-%5-%6").arg(day).arg(month).arg(year).arg(hour).arg(minute).arg(second);
}

QString ServerEnvironment::DateTimeText()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return DateTimeText(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second());
}

} // namespace engine
