// The exchange of the server's shared tablespace ibdata1 around a repair.
//
// The server's own ibdata1 is the one file here that nobody can make again,
// so every step keeps it whole: nothing is put in its place before the dated
// backup folder holds it (moved there - the same inode - or copied and
// compared byte for byte), nothing is done while the server runs or another
// process holds the file's lock, moves never replace a file, and copies land
// under a temporary name and are renamed into place only once verified.
#include "engine/TablespaceExchange.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepairFiles.h"
#include "engine/ReportWindow.h"
#include "engine/StringTable.h"
#include "platform/ServiceControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace engine {

using platform::ServiceControl;
using platform::ServiceState;

namespace {

const QString kIbdata = QStringLiteral("ibdata1");
const QString kTemplateName = QStringLiteral("veltrax");

// How the start mode and the selection decide what takes ibdata1's place.
enum class ExchangeCase { Nothing, DefaultSome, DefaultOther, ManualSome, ManualAll };

ExchangeCase exchangeCase(const AppState& app)
{
    if (app.m_bDefaultLocation)
        return app.m_bSomeSelected ? ExchangeCase::DefaultSome : ExchangeCase::DefaultOther;
    if (app.m_bManualFolder) {
        if (app.m_bSomeSelected)
            return ExchangeCase::ManualSome;
        if (app.m_bAllSelected)
            return ExchangeCase::ManualAll;
    }
    return ExchangeCase::Nothing;
}

bool fileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

// The file operations of one exchange, with progress steps as they go.
class Exchange {
public:
    explicit Exchange(MySqlRepair& engine) : m_engine(engine) {}

    fileops::Tick tick()
    {
        return [this] { m_engine.ReportProgress(PROGRESS_STEP); };
    }
    // Moves the server's file into the backup folder, tried twice.
    bool moveAside()
    {
        return retry([&] { return fileops::moveNoReplace(server(), backup()); });
    }
    // Copies it there, verified, tried twice; the server's file stays.
    bool copyAside()
    {
        return retry([&] { return fileops::copyVerified(server(), backup(), false, {}, tick()); });
    }
    // Puts a verified copy of source at the server's path, with the owner
    // and mode of the server's own file (now the backup), tried twice.
    bool putInPlace(const QString& source)
    {
        return retry([&] { return fileops::copyVerified(source, server(), true, backup(), tick()); });
    }
    // After a failed exchange: the server's own file back where it was.
    void rollBack(bool moved)
    {
        if (!moved || fileExists(server()))
            return;
        QString error;
        if (!fileops::moveNoReplace(backup(), server(), &error))
            m_engine.AppendLog(QStringLiteral("The server's own ibdata1 could not be put back from %1 to %2: %3")
                                   .arg(backup(), server(), error));
    }

private:
    template <typename Op>
    bool retry(Op op)
    {
        return op() || op();
    }
    const QString& server() const { return m_engine.m_strIbdataPath; }
    const QString& backup() const { return m_engine.m_strIbdataBackup; }

    MySqlRepair& m_engine;
};

// The server may be touched only when its service has no process and no
// process holds ibdata1's lock (a server started outside our services).
bool serverConfirmedStopped(const MySqlRepair& engine)
{
    return ServiceControl::query(engine.app().m_service.m_displayName) == ServiceState::Stopped
        && !fileops::lockedByAnotherProcess(engine.m_strIbdataPath);
}

// A file the server writes its errors to, and its size before a start:
// only what the start adds says why it failed.
struct LogMark {
    QString path;
    qint64 size = 0;
};

std::vector<LogMark> markLogs(const QStringList& paths)
{
    std::vector<LogMark> marks;
    for (const QString& path : paths)
        marks.push_back({path, QFileInfo(path).size()});
    return marks;
}

// Why the server did not start on the exchanged file, as its error logs say
// since the marks; a reason the server gives no word of is not guessed at.
QString refusalReason(const std::vector<LogMark>& marks)
{
    constexpr qint64 kMaxRead = 1 << 20;
    static const QRegularExpression future(QStringLiteral(
        "log sequence number (\\d+) is in the future! Current system log sequence number (\\d+)"));
    QStringList logs;
    for (const LogMark& mark : marks) {
        QFile file(mark.path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        logs << mark.path;
        // A log emptied since the mark is read from its start.
        const qint64 size = file.size();
        const qint64 from = std::max(size < mark.size ? 0 : mark.size, size - kMaxRead);
        if (!file.seek(from))
            continue;
        const QRegularExpressionMatch match = future.match(QString::fromLocal8Bit(file.read(kMaxRead)));
        if (match.hasMatch())
            return QStringLiteral("The server refused the ibdata1 put in place for the repair: its pages are ahead of "
                                  "the server's redo log (a page at log sequence number %1, the log at %2), as %3 "
                                  "says. A server starts on such a file only once its own log has passed its pages.")
                .arg(match.captured(1), match.captured(2), mark.path);
    }
    if (logs.isEmpty())
        return QStringLiteral("The server did not start on the ibdata1 put in place for the repair.");
    return QStringLiteral("The server did not start on the ibdata1 put in place for the repair; its error log may say "
                          "why: %1.")
        .arg(logs.join(QStringLiteral(", ")));
}

QString templatePath()
{
    const QString folder = MySqlRepair::ReadProgramFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + kTemplateName;
}

} // namespace

AppState& TablespaceExchange::app() const
{
    return m_repair.app();
}

bool TablespaceExchange::BackupIbdata()
{
    const QString templateFile = templatePath();
    if (m_repair.m_strIbdataPath.isEmpty()) {
        for (const MYSQL_SERVICE& service : app().m_services) {
            app().m_service = service;
            app().m_strServiceImagePath = service.m_imagePath;
            m_repair.m_strMyIniPath = m_repair.MyIniPathFromCommandLine(service.m_imagePath);
            m_repair.ReadMyIni();
        }
    }
    // Without a folder the paths would be relative to whatever folder the
    // process is in; nothing is done.
    const qsizetype slash = m_repair.m_strIbdataPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    const QString folder = m_repair.m_strIbdataPath.left(slash + 1);
    m_repair.m_strIbdataPath = folder + kIbdata;
    m_repair.m_strIbdataBackup = folder + QStringLiteral("old_ibdata1_") + m_repair.DateTimeText();
    m_repair.m_bIbdataExchanged = false;

    const ExchangeCase what = exchangeCase(app());
    const bool usesTemplate = what == ExchangeCase::DefaultOther || what == ExchangeCase::ManualAll;
    if (what != ExchangeCase::Nothing) {
        if (!fileExists(m_repair.m_strIbdataPath) || !serverConfirmedStopped(m_repair))
            return false;
        if (usesTemplate && !fileExists(templateFile))
            return false;
        if (what == ExchangeCase::ManualSome && !fileExists(app().m_strIbdataPath))
            return false;
    }
    if (!m_repair.m_diskObject.CreateDirectory(m_repair.m_strIbdataBackup))
        return false;
    m_repair.m_strIbdataBackup += QLatin1Char('/') + kIbdata;

    app().setStatusText(StringTable::Load(IDS_REPAIRING_DATABASES));
    m_repair.ReportProgress(PROGRESS_BEGIN, 800);
    m_repair.StartProgressTicker();
    Exchange exchange(m_repair);
    bool result = true;
    switch (what) {
    case ExchangeCase::DefaultSome: {
        // The copy comes from the backup, which is the server's own file.
        const bool moved = exchange.moveAside();
        result = moved && exchange.putInPlace(m_repair.m_strIbdataBackup);
        if (!result)
            exchange.rollBack(moved);
        break;
    }
    case ExchangeCase::DefaultOther: {
        const bool moved = exchange.moveAside();
        result = moved && exchange.putInPlace(templateFile);
        if (!result)
            exchange.rollBack(moved);
        break;
    }
    case ExchangeCase::ManualSome: {
        // A user who chose the server's own file gets it from the backup.
        const bool userIsServer = fileops::sameFile(app().m_strIbdataPath, m_repair.m_strIbdataPath);
        const bool moved = exchange.moveAside();
        const bool backedUp = moved || exchange.copyAside();
        result = backedUp && exchange.putInPlace(userIsServer ? m_repair.m_strIbdataBackup : app().m_strIbdataPath);
        if (!result)
            exchange.rollBack(moved);
        break;
    }
    case ExchangeCase::ManualAll:
        result = exchange.copyAside() && exchange.putInPlace(templateFile);
        break;
    case ExchangeCase::Nothing:
        break;
    }
    m_repair.m_bIbdataExchanged = result && what != ExchangeCase::Nothing;
    m_repair.StopProgressTicker();
    return result;
}

bool TablespaceExchange::RestoreIbdataBackup()
{
    if (!m_repair.m_bIbdataExchanged || !fileExists(m_repair.m_strIbdataBackup) || !serverConfirmedStopped(m_repair))
        return false;
    // The file in place was made for this repair from the template, a copy
    // or the user's file; the backup is the server's own.
    const QByteArray from = QFile::encodeName(m_repair.m_strIbdataBackup);
    const QByteArray to = QFile::encodeName(m_repair.m_strIbdataPath);
    const bool back = fileExists(m_repair.m_strIbdataPath) ? ::rename(from.constData(), to.constData()) == 0
                                                  : fileops::moveNoReplace(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath);
    if (!back)
        return false;
    m_repair.m_bIbdataExchanged = false;
    return true;
}

bool TablespaceExchange::ExchangeIbdataAndRestart()
{
    m_repair.m_bIbdataExchanged = false;
    if (!m_repair.StopMySqlServices())
        return false; // what it stopped runs again
    const bool wasRunning = m_repair.m_bServiceWasRunning;
    const QString name = app().m_service.m_displayName;
    const auto startAgain = [&] {
        if (!m_repair.StartMySqlService())
            m_repair.AppendLog(QStringLiteral("The service %1 could not be started again.").arg(name));
    };
    if (!BackupIbdata()) {
        if (wasRunning)
            startAgain();
        return false;
    }
    const std::vector<LogMark> logs = markLogs(m_repair.ServerErrorLogs());
    if (m_repair.StartMySqlService())
        return true;
    // The server does not come up on the exchanged file: say why, give it
    // its own back and start it as it was.
    m_repair.AppendLog(refusalReason(logs));
    if (ServiceControl::query(name) != ServiceState::Stopped && !m_repair.StopMySqlServices())
        m_repair.AppendLog(QStringLiteral("The service %1 could not be stopped after it failed to start.").arg(name));
    if (!RestoreIbdataBackup()) {
        m_repair.AppendLog(QStringLiteral("The server's own ibdata1 could not be put back from %1 to %2.")
                      .arg(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath));
        return false;
    }
    if (wasRunning) {
        app().m_bServiceStopped = true;
        startAgain();
    }
    return false;
}

void TablespaceExchange::RestoreStepFailed(const QString& what)
{
    ++m_repair.m_restoreStepsFailed;
    m_repair.AppendLog(what);
}

QStringList TablespaceExchange::CreatedDatabaseFolders() const
{
    // The server names a database's folder by its file-name encoding
    // ("recovered_shop data" lives in "recovered_shop@0020data").
    QStringList folders;
    for (const QString& name : m_repair.m_createdDatabases)
        folders << FileNameCodec::Encode(name);
    return folders;
}

void TablespaceExchange::RestoreOriginalIbdata()
{
    m_repair.ReportProgress(PROGRESS_BEGIN, 1000);
    // A data folder without its separator would put the dated folder beside
    // it and move nothing out of it.
    QString dataFolder = m_repair.m_strDataFolder;
    if (!dataFolder.isEmpty() && !dataFolder.endsWith(QLatin1Char('/')))
        dataFolder += QLatin1Char('/');
    m_repair.m_strRecoveredFolder = dataFolder + QStringLiteral("Recovered_Data_") + m_repair.DateTimeText();
    const QStringList folders = CreatedDatabaseFolders();
    m_repair.m_createdDatabases.clear();

    const QString service = app().m_service.m_displayName;
    const bool stopped = m_repair.StopMySqlServices() && serverConfirmedStopped(m_repair);
    m_repair.ReportProgress(PROGRESS_STEP);
    if (!stopped) {
        RestoreStepFailed(QStringLiteral("The service %1 could not be stopped: the recovered databases stay on the "
                                         "server, which goes on with the ibdata1 of the repair; its own ibdata1 is "
                                         "kept in %2. Copies go to %3.")
                              .arg(service, m_repair.m_strIbdataBackup, m_repair.m_strRecoveredFolder));
        CopyRecoveredData(dataFolder, folders);
        m_repair.ReportProgress(PROGRESS_END);
        return;
    }
    if (MoveRecoveredData(dataFolder, folders)) {
        PutServerIbdataBack();
    } else {
        // Nothing left the data folder: the server goes on where the
        // recovered tables are.
        RestoreStepFailed(QStringLiteral("The recovered databases stay on the server, which goes on with the ibdata1 "
                                         "of the repair; its own ibdata1 is kept in %1.")
                              .arg(m_repair.m_strIbdataBackup));
        if (!m_repair.StartMySqlService())
            RestoreStepFailed(QStringLiteral("The service %1 could not be started again.").arg(service));
    }
    m_repair.ReportProgress(PROGRESS_END);
}

bool TablespaceExchange::MoveRecoveredData(const QString& dataFolder, const QStringList& folders)
{
    if (!m_repair.m_diskObject.CreateDirectory(m_repair.m_strRecoveredFolder)) {
        RestoreStepFailed(QStringLiteral("The folder %1 could not be created: %2")
                              .arg(m_repair.m_strRecoveredFolder, m_repair.m_diskObject.GetErrorMessage()));
        return false;
    }
    const QString recoveredFolder = m_repair.m_strRecoveredFolder;
    m_repair.m_strRecoveredFolder += QLatin1Char('/');
    const QString recoveredIbdata = m_repair.m_strRecoveredFolder + kIbdata;
    // Only a server file whose original waits in the backup may leave its
    // place; without one it is the server's own, and only copied.
    const bool haveBackup = m_repair.m_bIbdataExchanged && fileExists(m_repair.m_strIbdataBackup);
    QString error;
    const bool saved = haveBackup
        ? fileops::moveNoReplace(m_repair.m_strIbdataPath, recoveredIbdata, &error)
            || fileops::moveNoReplace(m_repair.m_strIbdataPath, recoveredIbdata, &error)
        : fileops::copyVerified(m_repair.m_strIbdataPath, recoveredIbdata, false, {}, [this] { m_repair.ReportProgress(PROGRESS_STEP); },
                                &error);
    m_repair.ReportProgress(PROGRESS_STEP);
    if (!saved) {
        RestoreStepFailed(QStringLiteral("The ibdata1 of the repair could not be moved from %1 to %2: %3")
                              .arg(m_repair.m_strIbdataPath, recoveredIbdata, error));
        if (!QDir().rmdir(recoveredFolder)) // ours, and only if still empty
            m_repair.AppendLog(QStringLiteral("The folder %1 could not be removed.").arg(recoveredFolder));
        return false;
    }
    // The database folders go with the file that knows their InnoDB tables;
    // one that cannot is named, so that it can be put beside it by hand.
    for (const QString& folder : folders) {
        m_repair.ReportProgress(PROGRESS_STEP);
        const QString from = dataFolder + folder;
        const QString to = m_repair.m_strRecoveredFolder + folder;
        if (!QFileInfo(from).isDir())
            RestoreStepFailed(QStringLiteral("The database folder %1 is not there; nothing of it was moved.").arg(from));
        else if (!fileops::moveNoReplace(from, to, &error))
            RestoreStepFailed(QStringLiteral("The database folder %1 could not be moved to %2 (%3); it belongs with %4.")
                                  .arg(from, to, error, recoveredIbdata));
    }
    return true;
}

void TablespaceExchange::CopyRecoveredData(const QString& dataFolder, const QStringList& folders)
{
    const fileops::Tick step = [this] { m_repair.ReportProgress(PROGRESS_STEP); };
    if (!m_repair.m_diskObject.CreateDirectory(m_repair.m_strRecoveredFolder)) {
        RestoreStepFailed(QStringLiteral("The folder %1 could not be created: %2")
                              .arg(m_repair.m_strRecoveredFolder, m_repair.m_diskObject.GetErrorMessage()));
        return;
    }
    m_repair.m_strRecoveredFolder += QLatin1Char('/');
    const QString recoveredIbdata = m_repair.m_strRecoveredFolder + kIbdata;
    QString error;
    if (!fileops::copyVerified(m_repair.m_strIbdataPath, recoveredIbdata, false, {}, step, &error)) {
        RestoreStepFailed(QStringLiteral("The ibdata1 of the repair could not be copied from %1 to %2: %3")
                              .arg(m_repair.m_strIbdataPath, recoveredIbdata, error));
        return;
    }
    for (const QString& folder : folders) {
        m_repair.ReportProgress(PROGRESS_STEP);
        const QString from = dataFolder + folder;
        if (!QFileInfo(from).isDir())
            RestoreStepFailed(QStringLiteral("The database folder %1 is not there; nothing of it was copied.").arg(from));
        else if (!fileops::copyFolder(from, m_repair.m_strRecoveredFolder + folder, step))
            RestoreStepFailed(QStringLiteral("The database folder %1 could not be copied whole to %2.")
                                  .arg(from, m_repair.m_strRecoveredFolder + folder));
    }
}

void TablespaceExchange::PutServerIbdataBack()
{
    const QString service = app().m_service.m_displayName;
    if (m_repair.m_bIbdataExchanged) {
        QString error;
        bool back = !fileExists(m_repair.m_strIbdataPath)
            && (fileops::moveNoReplace(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath, &error)
                || fileops::moveNoReplace(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath, &error)
                || fileops::copyVerified(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath, false, {}, {}, &error));
        if (fileExists(m_repair.m_strIbdataPath) && !back && error.isEmpty())
            error = QStringLiteral("another file is in its place");
        m_repair.ReportProgress(PROGRESS_STEP);
        if (!back) {
            // Never start the server on a file that is not its own, nor
            // without one: it would make itself a new, empty ibdata1.
            RestoreStepFailed(QStringLiteral("The server's own ibdata1 could not be put back from %1 to %2: %3. The "
                                             "service %4 was not started.")
                                  .arg(m_repair.m_strIbdataBackup, m_repair.m_strIbdataPath, error, service));
            return;
        }
        m_repair.m_bIbdataExchanged = false;
    }
    if (!m_repair.StartMySqlService())
        RestoreStepFailed(QStringLiteral("The service %1 could not be started again.").arg(service));
}

} // namespace engine
