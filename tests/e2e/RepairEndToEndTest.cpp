// Whole repairs against real MariaDB servers registered as services on a
// test machine: the fixture sets rebuilt as "recovered_" databases, from the
// server's own data folder and from a chosen folder, and every way the job
// can fail, each checked for what it leaves of the server's ibdata1 and of
// its service.
#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "engine/ServiceDiscovery.h"
#include "platform/ServiceControl.h"
#include "tests/support/EnvironmentServer.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using engine::AppState;
using engine::MySqlRepair;
using platform::ServiceControl;
using platform::ServiceState;
using testsupport::readAll;
using testsupport::RecordingReportWindow;
using testsupport::TestMachine;
using testsupport::TestServer;

namespace {

using testsupport::kServerWait;

QString fixtureData(const QString& set)
{
    return testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/data");
}

QString quotedName(const QString& name)
{
    return QLatin1Char('`') + QString(name).replace(QLatin1Char('`'), QStringLiteral("``")) + QLatin1Char('`');
}

QString literal(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

std::string sqlText(const QString& sql)
{
    return ("SET NAMES utf8mb4; SET time_zone = '+00:00'; " + sql).toStdString();
}

QStringList lines(const std::string& text)
{
    return QString::fromStdString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The ibdata1 files waiting in the dated backup folders of a data folder.
QStringList backupFiles(const QString& dataDir)
{
    QStringList files;
    for (const QString& entry : QDir(dataDir).entryList({QStringLiteral("old_ibdata1_*")}, QDir::Dirs))
        if (QFileInfo(dataDir + QLatin1Char('/') + entry + QStringLiteral("/ibdata1")).isFile())
            files << dataDir + QLatin1Char('/') + entry + QStringLiteral("/ibdata1");
    return files;
}

bool startServer(const TestServer& server)
{
    if (ServiceControl::query(server.name()) == ServiceState::Stopped && !ServiceControl::start(server.name()))
        return false;
    return ServiceControl::waitFor(server.name(), ServiceState::Running, kServerWait);
}

// A folder of the machine holding what a user might pick: the fixture set's
// ibdata1 and those of its databases whose folder names match the pattern.
QString chosenFolder(const TestMachine& machine, const QString& set, const QString& pattern)
{
    const QString folder = machine.dir().mkdir(QStringLiteral("chosen-") + set);
    const auto copied = testsupport::runCommand("cp -a " + TestServer::quoted(fixtureData(set)) + "/" + pattern.toStdString() + " "
                                                + TestServer::quoted(fixtureData(set) + QStringLiteral("/ibdata1")) + " "
                                                + TestServer::quoted(folder));
    EXPECT_EQ(copied.status, 0) << copied.output;
    return folder;
}

// ---- What a recovered fixture set must look like on the server ------------

struct ExpectedTable {
    QString database;
    QString name;
    QString type;
    QString engine;
};

std::vector<ExpectedTable> expectedTables(const QString& set)
{
    std::vector<ExpectedTable> tables;
    const QByteArray text = readAll(testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/tables.tsv"));
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        tables.push_back({f.value(0), f.value(1), f.value(2), f.value(3)});
    }
    return tables;
}

// "database/view" to the view's definer as user@host.
QMap<QString, QString> viewDefiners(const QString& set)
{
    QMap<QString, QString> definers;
    const QByteArray text = readAll(testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/views.tsv"));
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        definers[f.value(0) + QLatin1Char('/') + f.value(1)] = f.value(5);
    }
    return definers;
}

// "db/view" of the views that run with their caller's rights (SQL SECURITY INVOKER).
QStringList invokerViews(const QString& set)
{
    QStringList views;
    const QByteArray text = readAll(testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/views.tsv"));
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.value(6) == QLatin1String("INVOKER"))
            views << f.value(0) + QLatin1Char('/') + f.value(1);
    }
    return views;
}

QString recovered(const QString& database)
{
    return QStringLiteral("recovered_") + database;
}

// The rows the server returned when the fixture was made, as the client
// prints them (NULL written out).
QStringList expectedRows(const QString& file)
{
    QStringList rows;
    for (const QString& line : QString::fromUtf8(readAll(file + QStringLiteral(".rows.tsv"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList fields = line.split(QLatin1Char('\t'));
        for (QString& field : fields)
            if (field == QLatin1String("\\N"))
                field = QStringLiteral("NULL");
        rows << fields.join(QLatin1Char('\t'));
    }
    return rows;
}

// Each table with the original's rows (the same ordered SELECT), in its own
// engine; each view answering, each view and trigger also as a .sql file in
// the new database's folder; the triggers there and working. dataDir: where
// the new database folders are.
void expectRecoveredSet(const TestServer& server, const QString& set, const QString& dataDir)
{
    const QString expected = testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/");
    int tables = 0;
    for (const ExpectedTable& t : expectedTables(set)) {
        const QString label = t.database + QLatin1Char('.') + t.name;
        const QString newDb = recovered(t.database);
        const QString folder = dataDir + QLatin1Char('/') + engine::FileNameCodec::Encode(newDb) + QLatin1Char('/');
        if (t.type == QLatin1String("VIEW")) {
            const auto count = server.sql(sqlText(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(quotedName(newDb), quotedName(t.name))));
            // A view keeps its definer; where that account is not on the
            // server, the server refuses to run the view, unless it runs
            // with its caller's rights.
            const QString definer = viewDefiners(set).value(t.database + QLatin1Char('/') + t.name);
            const bool invoker = invokerViews(set).contains(t.database + QLatin1Char('/') + t.name);
            const auto known = server.sql(sqlText(
                QStringLiteral("SELECT COUNT(*) FROM mysql.user WHERE CONCAT(User, '@', Host) = %1").arg(literal(definer))));
            if (known.output == "0\n" && invoker) {
                EXPECT_EQ(count.status, 0) << label.toStdString() << ": " << count.output;
            } else if (known.output == "0\n") {
                EXPECT_NE(count.output.find("ERROR 1449"), std::string::npos) << label.toStdString() << ": " << count.output;
            } else if (definer != QLatin1String("root@localhost")) {
                // Its rights named the old database: it answers once granted them on the new one.
                EXPECT_NE(count.output.find("ERROR 1356"), std::string::npos) << label.toStdString() << ": " << count.output;
                const qsizetype at = definer.lastIndexOf(QLatin1Char('@'));
                const auto granted = server.sql(sqlText(QStringLiteral("GRANT SELECT ON %1.* TO %2@%3; SELECT COUNT(*) FROM %1.%4")
                                                            .arg(quotedName(newDb), literal(definer.left(at)),
                                                                 literal(definer.mid(at + 1)), quotedName(t.name))));
                EXPECT_EQ(granted.status, 0) << label.toStdString() << ": " << granted.output;
            } else {
                EXPECT_EQ(count.status, 0) << label.toStdString() << ": " << count.output;
            }
            EXPECT_FALSE(readAll(folder + engine::FileNameCodec::Encode(t.name) + QStringLiteral(".sql")).isEmpty())
                << label.toStdString();
            continue;
        }
        ++tables;
        const QString file = expected + t.database + QLatin1Char('/') + QString(t.name).replace(QLatin1Char('/'), QStringLiteral("@002f"));
        // Tables whose rows are not read (compressed InnoDB pages, other
        // engines) come back empty; another engine's table as InnoDB, as no
        // file of an engine the scan knows is beside its definition.
        const QString createSql = QString::fromUtf8(readAll(file + QStringLiteral(".create.sql")));
        const bool otherEngine = t.engine != QLatin1String("InnoDB") && t.engine != QLatin1String("MyISAM");
        const bool rowsNotRead = otherEngine || createSql.contains(QLatin1String("ROW_FORMAT=COMPRESSED"))
            || createSql.contains(QLatin1String("`PAGE_COMPRESSED`='1'"));
        const auto engineName = server.sql(sqlText(
            QStringLiteral("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = %1 AND TABLE_NAME = %2")
                .arg(literal(newDb), literal(t.name))));
        EXPECT_EQ(QString::fromStdString(engineName.output).trimmed(), otherEngine ? QStringLiteral("InnoDB") : t.engine)
            << label.toStdString();

        QString select = QString::fromUtf8(readAll(file + QStringLiteral(".rows.sql")));
        select.replace(QStringLiteral("FROM ") + quotedName(t.database) + QLatin1Char('.'),
                       QStringLiteral("FROM ") + quotedName(newDb) + QLatin1Char('.'));
        // A system-versioned table comes back plain, its history rows kept:
        // the original's SELECT saw its current rows, those of the largest row_end.
        if (t.type == QLatin1String("SYSTEM VERSIONED"))
            select.replace(QStringLiteral(" ORDER BY "),
                           QStringLiteral(" WHERE UNIX_TIMESTAMP(`row_end`) = 2147483647.999999 ORDER BY "));
        const auto rows = server.sql(sqlText(select));
        ASSERT_EQ(rows.status, 0) << label.toStdString() << ": " << rows.output;
        const QStringList got = lines(rows.output);
        if (rowsNotRead) {
            EXPECT_TRUE(got.isEmpty()) << label.toStdString();
            continue;
        }
        const QStringList want = expectedRows(file);
        EXPECT_EQ(got.size(), want.size()) << label.toStdString();
        for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
            if (got[i] != want[i]) {
                ADD_FAILURE() << label.toStdString() << " row " << i << ":\n  got  " << got[i].toStdString() << "\n  want "
                              << want[i].toStdString();
                break;
            }
    }
    EXPECT_GT(tables, 20);

    // The triggers: there, written out, and working - after the rows, so
    // they did not fire on them (the rows above are the original's).
    const QString objects = quotedName(recovered(QStringLiteral("fx_objects")));
    const auto triggers = server.sql(sqlText(QStringLiteral("SELECT TRIGGER_NAME FROM information_schema.TRIGGERS "
                                                            "WHERE TRIGGER_SCHEMA = 'recovered_fx_objects' ORDER BY 1")));
    EXPECT_EQ(triggers.output, "orders_au\norders_bi\norders_bi_clamp\n");
    EXPECT_FALSE(readAll(dataDir + QStringLiteral("/recovered_fx_objects/orders.sql")).isEmpty());
    const auto fired = server.sql(sqlText(
        QStringLiteral("INSERT INTO %1.orders (customer_id, amount, status) VALUES (2, -3, 'new');"
                       "UPDATE %1.orders SET amount = 12 WHERE id = 1;"
                       "SELECT amount, status, note FROM %1.orders ORDER BY id DESC LIMIT 1;"
                       "SELECT COUNT(*) FROM %1.order_log")
            .arg(objects)));
    EXPECT_EQ(fired.output, "0.00\tNEW\tclamped é\n3\n");
}

QString runOutput(QProcess& process)
{
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

int runRepairTool(const QStringList& args, QString& output)
{
    QProcess process;
    process.start(QStringLiteral(GRISOLT_REPAIR), args);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        output = runOutput(process);
        return -1;
    }
    output = runOutput(process);
    if (process.exitStatus() != QProcess::NormalExit)
        output += QStringLiteral("\n(crashed: %1)").arg(process.errorString());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// ---- The tool, from the server's own data folder ---------------------------

class RepairFromDefaultLocation : public ::testing::TestWithParam<const char*> {};

TEST_P(RepairFromDefaultLocation, RebuildsEveryDatabaseAndKeepsTheServersOwnIbdata)
{
    const QString set = QString::fromLatin1(GetParam());
    TestMachine machine;
    TestServer server(machine, QStringLiteral("MySQLFixture"), {}, fixtureData(set));
    ASSERT_TRUE(server.installed());
    // Stopped before the run: its ibdata1 is what the repair sets aside.
    const QByteArray original = readAll(server.ibdata());
    ASSERT_FALSE(original.isEmpty());

    QStringList args = {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--user"),
                        QStringLiteral("root"), QStringLiteral("--service-timeout"), QStringLiteral("60")};
    if (set == QLatin1String("default")) {
        // Every database of the folder: the template takes ibdata1's place.
        // The server's "sys" schema is left out of this folder: its views
        // call stored functions, which live in the mysql schema and are
        // never recovered.
        ASSERT_TRUE(QDir(server.dataDir() + QStringLiteral("/sys")).removeRecursively());
    } else {
        // Some databases: a copy of the server's own ibdata1 takes its place.
        QStringList chosen;
        for (const ExpectedTable& t : expectedTables(set))
            if (!chosen.contains(engine::FileNameCodec::Encode(t.database)))
                chosen << engine::FileNameCodec::Encode(t.database);
        args << QStringLiteral("--databases") << chosen.join(QLatin1Char(','));
    }
    QString log;
    const int status = runRepairTool(args, log);
    EXPECT_EQ(status, 0) << log.toStdString() << server.log();
    EXPECT_TRUE(log.contains(QStringLiteral("Repair process finished successfully."))) << log.toStdString();

    const QStringList backups = backupFiles(server.dataDir());
    ASSERT_EQ(backups.size(), 1) << log.toStdString();
    EXPECT_TRUE(readAll(backups.front()) == original) << "the server's own ibdata1, byte for byte";
    ASSERT_TRUE(server.acceptsConnections()) << server.log();
    expectRecoveredSet(server, set, server.dataDir());

    // A second run that cannot log in: the file the server ran on goes back,
    // and the server, which ran before the run, runs again on it.
    const int failed = runRepairTool({QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--user"),
                                      QStringLiteral("root"), QStringLiteral("--password"), QStringLiteral("wrong"),
                                      QStringLiteral("--databases"), QStringLiteral("fx_objects")},
                                     log);
    EXPECT_EQ(failed, 3) << log.toStdString() << server.log();
    EXPECT_TRUE(log.contains(QStringLiteral("[box] Unable to create connection. Please verify login information.")))
        << log.toStdString();
    // The box, then the worker's one line for a repair that did not run.
    EXPECT_EQ(log.count(QStringLiteral("Unable to create connection. Please verify login information.")), 2)
        << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Repair process finished unsuccessfully."))) << log.toStdString();
    EXPECT_TRUE(server.acceptsConnections()) << server.log();
    const auto kept = server.sql(sqlText(QStringLiteral("SELECT COUNT(*) FROM `recovered_fx_objects`.`customers`")));
    EXPECT_EQ(kept.output, "3\n") << kept.output;
    EXPECT_EQ(backupFiles(server.dataDir()), backups) << "only the first run's backup holds a file";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RepairFromDefaultLocation, ::testing::Values("default", "legacy"));

// ---- In-process: a chosen folder, and the failure points -------------------

// An engine reporting into a recorder, with the login answered.
struct Job {
    AppState app;
    MySqlRepair engine{app};
    RecordingReportWindow report{app};
    Job()
    {
        engine.m_hWndReport = &report;
        engine.m_hWndScanProgress = &report;
        engine.m_serviceTimeoutMs = std::chrono::milliseconds(kServerWait).count();
        report.m_loginHost = QStringLiteral("127.0.0.1");
        report.m_loginUser = QStringLiteral("root");
        engine::FindMySqlServices(app);
    }
    // The scan job of a chosen folder, then the Repair command.
    void scanChosenFolder(const QString& folder, const QStringList& databases = {})
    {
        app.m_bManualFolder = true;
        app.m_strDataFolder = folder + QLatin1Char('/');
        app.m_strIbdataPath = folder + QStringLiteral("/ibdata1");
        engine.ListDatabaseFolders();
        chooseAndScan(databases);
    }
    // The scan job of the server's default location (which stops the
    // server), then the Repair command.
    void scanDefaultLocation(const QStringList& databases)
    {
        app.m_bDefaultLocation = true;
        EXPECT_TRUE(engine.LocateServiceConfig());
        EXPECT_TRUE(engine.StopMySqlServices());
        engine.ListDatabaseFolders();
        chooseAndScan(databases);
    }
    // The database selection dialog, answered with the named folders (all
    // when none is named), and the scan.
    void chooseAndScan(const QStringList& databases)
    {
        for (const auto& record : app.m_dataFolders)
            for (const QString& path : record.m_databaseFolders)
                if (databases.isEmpty() || databases.contains(QDir(path).dirName()))
                    app.m_selectedDatabases << path;
        app.m_bAllSelected = databases.isEmpty();
        app.m_bSomeSelected = !databases.isEmpty();
        app.FreeDataFolderRecords();
        engine.ScanDataFolder();
        app.m_bTablesFound = false;
        app.m_bRepair = true;
    }
    QString log() const { return report.log().join(QLatin1Char('\n')); }
};

// A fresh server with InnoDB data of its own, readable only with its own ibdata1.
struct OwnServer {
    TestMachine machine;
    TestServer server{machine, QStringLiteral("MySQLOwn")};

    bool begin()
    {
        return server.installed() && startServer(server)
            && server.sql("CREATE DATABASE own; CREATE TABLE own.t (a INT PRIMARY KEY) ENGINE=InnoDB;"
                          "INSERT INTO own.t VALUES (1),(2),(3)")
                   .status
            == 0;
    }
    bool ownDataReadable() const { return server.sql("SELECT COUNT(*) FROM own.t").output == "3\n"; }
};

class RepairFromChosenFolder : public ::testing::TestWithParam<const char*> {};

TEST_P(RepairFromChosenFolder, RebuildsTheFolderAndGivesTheServerItsOwnIbdataBack)
{
    const QString set = QString::fromLatin1(GetParam());
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
    const QByteArray original = readAll(own.server.ibdata());
    // Every database of the chosen folder: the template takes ibdata1's place.
    const QString chosen = chosenFolder(own.machine, set, QStringLiteral("fx*"));
    const QByteArray chosenIbdata = readAll(chosen + QStringLiteral("/ibdata1"));

    Job job;
    job.scanChosenFolder(chosen);
    // Before the server gets its own file back, the recovered databases are
    // there, and the server's file waits, whole, in the backup folder.
    bool checked = false;
    job.report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
        if (checked || sent.message != engine::WM_STATUS_PROGRESS || sent.wParam != engine::PROGRESS_BEGIN || sent.lParam != 1000)
            return;
        checked = true;
        expectRecoveredSet(own.server, set, own.server.dataDir());
        const QStringList backups = backupFiles(own.server.dataDir());
        ASSERT_EQ(backups.size(), 1);
        EXPECT_TRUE(readAll(backups.front()) == original);
    };
    const auto outcome = job.engine.RunRepair();
    EXPECT_EQ(outcome, MySqlRepair::REPAIR_SUCCEEDED) << job.log().toStdString();
    EXPECT_EQ(job.engine.m_statementsFailed, 0u);
    EXPECT_TRUE(checked) << job.log().toStdString();
    job.report.m_onSend = nullptr;
    // The main frame pruned the model and emptied the tree before the driver began.
    std::vector<unsigned> order;
    for (const auto& sent : job.report.m_sent)
        if (sent.message == engine::WM_READ_TREE_CHECKS || sent.message == engine::WM_RESET_TREE
            || (sent.message == engine::WM_APPEND_LOG && sent.text.startsWith(QStringLiteral("Database in process..."))))
            order.push_back(sent.message);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[0], engine::WM_READ_TREE_CHECKS);
    EXPECT_EQ(order[1], engine::WM_RESET_TREE);
    EXPECT_EQ(order[2], engine::WM_APPEND_LOG);
    EXPECT_FALSE(job.app.m_bConnected);
    EXPECT_FALSE(job.app.m_bTablesFound);

    // Afterwards: the server runs on its own ibdata1, the recovered files
    // wait in a "Recovered_Data_" folder, the chosen folder is as it was.
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_TRUE(backupFiles(own.server.dataDir()).isEmpty());
    const QString recoveredData = job.engine.m_strRecoveredFolder;
    EXPECT_TRUE(recoveredData.startsWith(own.server.dataDir() + QStringLiteral("/Recovered_Data_")));
    EXPECT_TRUE(QFileInfo(recoveredData + QStringLiteral("ibdata1")).isFile());
    EXPECT_TRUE(QFileInfo(recoveredData + QStringLiteral("recovered_fx_objects/v_customers.sql")).isFile());
    EXPECT_TRUE(QFileInfo(recoveredData + QStringLiteral("recovered_fx_innodb_ibd/big_btree.ibd")).isFile());
    EXPECT_FALSE(QFileInfo::exists(own.server.dataDir() + QStringLiteral("/recovered_fx_objects")));
    EXPECT_TRUE(readAll(chosen + QStringLiteral("/ibdata1")) == chosenIbdata) << "the chosen files are only read";

    job.engine.ReportRepairOutcome(outcome);
    EXPECT_EQ(job.report.m_boxes.back(), QStringLiteral("Repair process finished successfully."));
    EXPECT_FALSE(job.app.m_bRepair);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RepairFromChosenFolder, ::testing::Values("default", "legacy"));

// Each failure point, once with the server stopped before the repair and
// once with it running: nothing of the server's own ibdata1 is lost, and the
// service is left as it was.
TEST(RepairJobFailures, TheServersOwnIbdataSurvivesEveryFailurePoint)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    // One database, all of the folder: the template takes ibdata1's place.
    const QString chosen = chosenFolder(own.machine, QStringLiteral("default"), QStringLiteral("fx_objects"));

    const struct {
        const char* name;
        bool onlyWhileRunning;
        std::function<void(OwnServer&, Job&)> arrange;
        MySqlRepair::RepairOutcome outcome;
        QStringList boxes;
    } cases[] = {
        {"login cancelled", false, [](OwnServer&, Job& job) { job.report.m_loginAccepted = false; },
         MySqlRepair::REPAIR_CANCELLED, {}},
        {"empty user", false, [](OwnServer&, Job& job) { job.report.m_loginUser.clear(); }, MySqlRepair::REPAIR_CANCELLED,
         {QStringLiteral("Unable to create connection. Please verify login information."),
          QStringLiteral("Repair process finished unsuccessfully.")}},
        {"server cannot be stopped", true,
         [](OwnServer& s, Job& job) {
             job.engine.m_serviceTimeoutMs = 1500;
             ::kill(ServiceControl::processId(s.server.name()), SIGSTOP);
         },
         MySqlRepair::REPAIR_FAILED, {QStringLiteral("Unable to start mysql...")}},
        {"server cannot be started on the exchanged file", false,
         [](OwnServer& s, Job&) { s.machine.dir().write(QStringLiteral("program/veltrax"), QByteArray(16 << 20, '\x5a')); },
         MySqlRepair::REPAIR_FAILED, {QStringLiteral("Unable to start mysql...")}},
        {"wrong password", false, [](OwnServer&, Job& job) { job.report.m_loginPassword = QStringLiteral("wrong"); },
         MySqlRepair::REPAIR_FAILED, {QStringLiteral("Unable to create connection. Please verify login information.")}},
    };
    const QByteArray goodTemplate = readAll(own.machine.templateFile());
    for (const auto& c : cases) {
        for (const bool running : {false, true}) {
            if (c.onlyWhileRunning && !running)
                continue;
            const std::string label = std::string(c.name) + (running ? ", running before" : ", stopped before");
            SCOPED_TRACE(label);
            ASSERT_TRUE(running ? startServer(own.server) : ServiceControl::stop(own.server.name(), kServerWait))
                << own.server.log();
            Job job;
            job.scanChosenFolder(chosen);
            c.arrange(own, job);
            const pid_t pid = ServiceControl::processId(own.server.name());
            // While it runs the server may write its file; a stopped one cannot.
            const QByteArray before = running ? QByteArray() : readAll(own.server.ibdata());

            EXPECT_EQ(job.engine.RunRepair(), c.outcome) << job.log().toStdString() << own.server.logTail();
            EXPECT_EQ(job.report.m_boxes, c.boxes) << job.log().toStdString();
            EXPECT_EQ(job.report.m_loginDialogs, 1);
            EXPECT_FALSE(job.app.m_bConnected);
            // The worker's report: the one line of a repair that did not run.
            job.engine.ReportRepairOutcome(c.outcome);
            EXPECT_EQ(job.report.log().last(), QStringLiteral("Unable to create connection. Please verify login information."))
                << job.log().toStdString() << own.server.logTail();
            EXPECT_FALSE(job.report.log().contains(QStringLiteral("Repair process finished unsuccessfully.")));
            EXPECT_TRUE(backupFiles(own.server.dataDir()).isEmpty()) << job.log().toStdString();
            if (std::string(c.name) == "wrong password") {
                // The bar of the way back moves while the server stops: the ticker steps it.
                const auto sent = job.report.sent();
                const auto worker = std::this_thread::get_id();
                EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&](const RecordingReportWindow::Sent& m) {
                    return m.thread != worker && m.wParam == engine::PROGRESS_STEP;
                })) << job.log().toStdString();
                // Its backup folder, emptied by the way back, goes when the program ends.
                ASSERT_EQ(job.app.m_foldersToRemove.size(), 1);
                EXPECT_TRUE(job.app.m_foldersToRemove.front().startsWith(own.server.dataDir() + QStringLiteral("/old_ibdata1_")));
                EXPECT_EQ(job.app.RemoveEmptyFoldersToRemove(), 1);
            } else {
                EXPECT_TRUE(job.app.m_foldersToRemove.isEmpty());
            }
            if (std::string(c.name) == "server cannot be stopped") {
                EXPECT_EQ(ServiceControl::processId(own.server.name()), pid) << "the same process, untouched";
                // It held the stop we sent while it was frozen; let it have it.
                ::kill(pid, SIGCONT);
                ASSERT_TRUE(ServiceControl::waitFor(own.server.name(), ServiceState::Stopped, kServerWait));
                ASSERT_TRUE(startServer(own.server)) << own.server.log();
            }
            if (running) {
                EXPECT_TRUE(own.server.acceptsConnections()) << own.server.log();
                EXPECT_TRUE(own.ownDataReadable()) << "its own ibdata1 is in place";
            } else {
                EXPECT_EQ(ServiceControl::query(own.server.name()), ServiceState::Stopped);
                EXPECT_TRUE(readAll(own.server.ibdata()) == before) << "in place, byte for byte";
            }
            own.machine.dir().write(QStringLiteral("program/veltrax"), goodTemplate);
        }
    }
}

// ---- Names the server encodes, Stop, and the restore's failure points ------

// A data folder that a server of its own wrote from sql and stopped cleanly
// (scripts/scratch-mariadb; no service of the machine): what a user brings.
QString folderWrittenBy(const TestMachine& machine, const QString& name, const std::string& sql)
{
    const QString dir = machine.dir().mkdir(name);
    const std::string scratch = TestServer::quoted(QStringLiteral(GRISOLT_SOURCE_DIR "/scripts/scratch-mariadb"));
    const std::string folder = TestServer::quoted(dir);
    for (const std::string& command :
         {scratch + " start " + folder + " --innodb-buffer-pool-size=32M --innodb-log-file-size=16M --innodb-use-native-aio=0",
          scratch + " sql " + folder + " -e " + TestServer::quotedShell("SET NAMES utf8mb4; " + sql),
          scratch + " stop --slow " + folder}) {
        const auto result = testsupport::runCommand(command);
        EXPECT_EQ(result.status, 0) << command << "\n" << result.output;
    }
    return dir + QStringLiteral("/data");
}

// A chosen folder: the ibdata1 of `from` and the named database folders.
QString chosenFrom(const TestMachine& machine, const QString& from, const QStringList& folders)
{
    const QString chosen = machine.dir().mkdir(QStringLiteral("chosen"));
    std::string command = "cp -a " + TestServer::quoted(from + QStringLiteral("/ibdata1"));
    for (const QString& folder : folders) {
        command += ' ';
        command += TestServer::quoted(from + QLatin1Char('/') + folder);
    }
    const auto copied = testsupport::runCommand(command + " " + TestServer::quoted(chosen));
    EXPECT_EQ(copied.status, 0) << copied.output;
    return chosen;
}

// Database names the server writes with its file-name encoding: a space, a
// hyphen, a dot, letters of other scripts.
const QStringList kEncodedNames = {QStringLiteral("shop data"), QStringLiteral("shop-data"), QStringLiteral("shop.data"),
                                   QString::fromUtf8("\xd0\xbc\xd0\xb0\xd0\xb3\xd0\xb0\xd0\xb7\xd0\xb8\xd0\xbd \xe5\xba\x97")};
const QStringList kNamedTables = {QStringLiteral("in_sys"), QStringLiteral("in_ibd"), QStringLiteral("mi")};

QString namedRows(const QString& database)
{
    return QStringLiteral("1\t%1 one\n2\t%1 two\n3\tNULL\n").arg(database);
}

// Each database: an InnoDB table in ibdata1, one in its own .ibd, a MyISAM
// table; the first also a view and a trigger.
std::string namedDatabasesSql()
{
    QString sql;
    for (const QString& name : kEncodedNames) {
        const QString db = quotedName(name);
        sql += QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4;"
                              "SET GLOBAL innodb_file_per_table = 0;"
                              "CREATE TABLE %1.in_sys (id INT PRIMARY KEY, v VARCHAR(40)) ENGINE=InnoDB;"
                              "SET GLOBAL innodb_file_per_table = 1;"
                              "CREATE TABLE %1.in_ibd (id INT PRIMARY KEY, v VARCHAR(40)) ENGINE=InnoDB;"
                              "CREATE TABLE %1.mi (id INT, v VARCHAR(40)) ENGINE=MyISAM;")
                   .arg(db);
        for (const QString& table : kNamedTables)
            sql += QStringLiteral("INSERT INTO %1.%2 VALUES (1, %3), (2, %4), (3, NULL);")
                       .arg(db, table, literal(name + QStringLiteral(" one")), literal(name + QStringLiteral(" two")));
    }
    sql += QStringLiteral("CREATE VIEW `shop data`.v AS SELECT id FROM `shop data`.in_sys;"
                          "CREATE TRIGGER `shop data`.mi_bi BEFORE INSERT ON `shop data`.mi FOR EACH ROW SET NEW.v = UPPER(NEW.v);");
    return sql.toStdString();
}

// After a repair from a chosen folder, the recovered databases leave the
// server's data folder by the names the server gave their folders, together
// with the ibdata1 that knows their InnoDB tables: a second server, started
// on a copy of the data folder with those put in, reads every table.
TEST(RepairFromChosenFolderNames, EveryEncodedNameLeavesWithItsIbdataAndOpensOnASecondServer)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    const QString source = folderWrittenBy(own.machine, QStringLiteral("source"), namedDatabasesSql());
    QStringList folders;
    for (const QString& name : kEncodedNames)
        folders << engine::FileNameCodec::Encode(name);
    const QString chosen = chosenFrom(own.machine, source, folders);

    Job job;
    job.scanChosenFolder(chosen);
    ASSERT_EQ(job.engine.m_databases.size(), std::size_t(kEncodedNames.size()));
    const auto outcome = job.engine.RunRepair();
    ASSERT_EQ(outcome, MySqlRepair::REPAIR_SUCCEEDED) << job.log().toStdString();
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_TRUE(backupFiles(own.server.dataDir()).isEmpty());

    const QString recoveredData = job.engine.m_strRecoveredFolder;
    ASSERT_TRUE(QFileInfo(recoveredData + QStringLiteral("ibdata1")).isFile()) << job.log().toStdString();
    for (const QString& name : kEncodedNames) {
        const QString folder = engine::FileNameCodec::Encode(recovered(name));
        EXPECT_FALSE(QFileInfo::exists(own.server.dataDir() + QLatin1Char('/') + folder)) << folder.toStdString();
        EXPECT_TRUE(QFileInfo(recoveredData + folder + QStringLiteral("/in_ibd.ibd")).isFile()) << folder.toStdString();
        EXPECT_TRUE(QFileInfo(recoveredData + folder + QStringLiteral("/mi.MYD")).isFile()) << folder.toStdString();
    }
    EXPECT_TRUE(QFileInfo(recoveredData + QStringLiteral("recovered_shop@0020data/v.sql")).isFile());
    EXPECT_TRUE(QFileInfo(recoveredData + QStringLiteral("recovered_shop@0020data/mi.sql")).isFile());

    // A second server: a copy of the data folder, the recovered ibdata1 and
    // database folders put in.
    ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
    TestServer second(own.machine, QStringLiteral("MySQLSecond"), {}, own.server.dataDir());
    ASSERT_TRUE(second.installed());
    const QString inSecond = second.dataDir() + QLatin1Char('/') + QDir(own.server.dataDir()).relativeFilePath(recoveredData);
    ASSERT_TRUE(QFile::remove(second.ibdata()));
    ASSERT_TRUE(QFile::rename(inSecond + QStringLiteral("/ibdata1"), second.ibdata()));
    for (const QString& name : kEncodedNames) {
        const QString folder = engine::FileNameCodec::Encode(recovered(name));
        ASSERT_TRUE(QDir().rename(inSecond + QLatin1Char('/') + folder, second.dataDir() + QLatin1Char('/') + folder));
    }
    ASSERT_TRUE(startServer(second)) << second.log();
    for (const QString& name : kEncodedNames) {
        for (const QString& table : kNamedTables) {
            const std::string label = (name + QLatin1Char('.') + table).toStdString();
            const auto rows = second.sql(
                sqlText(QStringLiteral("SELECT id, v FROM %1.%2 ORDER BY id").arg(quotedName(recovered(name)), table)));
            EXPECT_EQ(rows.status, 0) << label << ": " << rows.output << second.log();
            EXPECT_EQ(QString::fromStdString(rows.output), namedRows(name)) << label;
        }
        const auto engines = second.sql(sqlText(QStringLiteral("SELECT GROUP_CONCAT(ENGINE ORDER BY TABLE_NAME) FROM "
                                                               "information_schema.TABLES WHERE TABLE_SCHEMA = %1")
                                                    .arg(literal(recovered(name)))));
        EXPECT_EQ(engines.output, "InnoDB,InnoDB,MyISAM\n") << name.toStdString(); // a view has none
    }
    EXPECT_EQ(second.sql(sqlText(QStringLiteral("SELECT COUNT(*) FROM `recovered_shop data`.v"))).output, "3\n");
}

// The Stop command as the GUI thread gives it: the flag, and, while the
// repair's connection is up, the statement under way cancelled, from another
// thread.
void pressStop(Job& job)
{
    std::thread stop([&job] {
        job.app.m_bStop = true;
        if (job.app.m_bConnected)
            job.engine.InterruptConnection();
    });
    stop.join();
}

// Polls a query of the server until it gives `expected` (or a minute passes).
bool waitForAnswer(const TestServer& server, const std::string& query, const std::string& expected)
{
    for (int i = 0; i < 600; ++i) {
        if (server.sql(query).output == expected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Stop lands in the middle of a big table's rows, in both start modes, and
// while the server is being prepared: the rows end at the next record, the
// later tables are not started, and the server still ends on its own ibdata1
// (from a chosen folder) or on the copy of it that the repair put in place
// (default location, some databases).
TEST(RepairStop, StopEndsTheRowsAndTheServerKeepsItsOwnData)
{
    const struct {
        const char* name;
        bool chosenFolder;
        bool duringRows; // else while the ibdata1 is exchanged
        const char* logged;
    } cases[] = {
        {"chosen folder, in the rows", true, true, "The repair was stopped by the user in table a_big of database big, after "},
        {"default location, in the rows", false, true,
         "The repair was stopped by the user in table a_big of database big, after "},
        {"chosen folder, while the server is prepared", true, false,
         "The repair was stopped by the user before database big;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnServer own;
        ASSERT_TRUE(own.begin()) << own.server.log();
        ASSERT_EQ(own.server
                      .sql("CREATE DATABASE big; CREATE TABLE big.a_big (id INT PRIMARY KEY, v VARCHAR(200)) ENGINE=InnoDB;"
                           "SET SESSION max_recursive_iterations = 10000; INSERT INTO big.a_big WITH RECURSIVE s(n) AS "
                           "(SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 3000) SELECT n, REPEAT('x', 150) FROM s;"
                           "CREATE TABLE big.b_after (id INT) ENGINE=MyISAM; INSERT INTO big.b_after VALUES (1), (2)")
                      .status,
                  0);
        Job job;
        QByteArray ownFile;
        if (c.chosenFolder) {
            ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
            job.scanChosenFolder(chosenFrom(own.machine, own.server.dataDir(), {QStringLiteral("big")}));
        } else {
            job.scanDefaultLocation({QStringLiteral("big")});
            ownFile = readAll(own.server.ibdata()); // stopped by the scan
        }
        ASSERT_EQ(job.engine.m_databases.size(), 1u);
        bool inBigTable = false;
        int steps = 0;
        job.report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
            if (job.app.m_bStop)
                return;
            const bool step = sent.message == engine::WM_STATUS_PROGRESS && sent.wParam == engine::PROGRESS_STEP;
            if (sent.message == engine::WM_APPEND_LOG && sent.text == QLatin1String("Table in process.. a_big"))
                inBigTable = true;
            const bool exchangeBegins = sent.message == engine::WM_STATUS_PROGRESS
                && sent.wParam == engine::PROGRESS_BEGIN && sent.lParam == 800;
            if (c.duringRows ? inBigTable && step && ++steps == 500 : exchangeBegins)
                pressStop(job);
        };
        const auto outcome = job.engine.RunRepair();
        job.report.m_onSend = nullptr;
        const QString log = job.log();
        EXPECT_EQ(outcome, MySqlRepair::REPAIR_STOPPED) << log.toStdString();
        EXPECT_TRUE(log.contains(QString::fromLatin1(c.logged))) << log.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("Table in process.. b_after"))) << "no table after the stop";
        const QStringList counts = job.report.log().filter(QStringLiteral("Total records recovered"));
        int written = 0;
        if (c.duringRows) {
            ASSERT_EQ(counts.size(), 1) << log.toStdString();
            written = counts.front().section(QLatin1Char(' '), -1).toInt();
            EXPECT_GT(written, 0);
            EXPECT_LT(written, 3000) << "the rows ended at the next record";
        } else {
            EXPECT_TRUE(counts.isEmpty()) << log.toStdString();
        }

        EXPECT_TRUE(own.ownDataReadable()) << "the server runs on its own InnoDB data\n" << own.server.log();
        if (c.chosenFolder) {
            EXPECT_TRUE(backupFiles(own.server.dataDir()).isEmpty()) << "its own ibdata1 is back";
            EXPECT_FALSE(QFileInfo::exists(own.server.dataDir() + QStringLiteral("/recovered_big")));
            EXPECT_TRUE(QFileInfo(job.engine.m_strRecoveredFolder + QStringLiteral("ibdata1")).isFile());
            EXPECT_EQ(QFileInfo(job.engine.m_strRecoveredFolder + QStringLiteral("recovered_big/a_big.frm")).isFile(),
                      c.duringRows);
        } else {
            const QStringList backups = backupFiles(own.server.dataDir());
            ASSERT_EQ(backups.size(), 1);
            EXPECT_TRUE(readAll(backups.front()) == ownFile) << "its own ibdata1 waits whole";
            const auto kept = own.server.sql("SELECT COUNT(*) FROM recovered_big.a_big");
            EXPECT_EQ(kept.output, std::to_string(written) + "\n") << "what was recovered before the stop is there";
        }
        job.engine.ReportRepairOutcome(outcome);
        EXPECT_TRUE(job.report.log().contains(QStringLiteral("Repair process finished unsuccessfully.")));
        EXPECT_FALSE(job.report.m_boxes.contains(QStringLiteral("Repair process finished successfully.")));
    }
}

// Stop while a statement of the second table runs long (here an INSERT
// waiting for a lock that another client holds): every table's connection can
// be interrupted, not only the first one's, so the repair ends within
// seconds, the table is not turned into InnoDB after the stop, and the server
// is back on its own ibdata1.
TEST(RepairStop, StopInterruptsALongStatementOfTheSecondTable)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    ASSERT_EQ(own.server
                  .sql("CREATE DATABASE two; CREATE TABLE two.a_first (id INT PRIMARY KEY) ENGINE=InnoDB;"
                       "INSERT INTO two.a_first VALUES (1), (2);"
                       "CREATE TABLE two.b_second (id INT PRIMARY KEY) ENGINE=InnoDB;"
                       "INSERT INTO two.b_second VALUES (1), (2), (3);"
                       "CREATE TABLE two.c_after (id INT) ENGINE=MyISAM; INSERT INTO two.c_after VALUES (1)")
                  .status,
              0);
    ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
    Job job;
    job.scanChosenFolder(chosenFrom(own.machine, own.server.dataDir(), {QStringLiteral("two")}));
    ASSERT_EQ(job.engine.m_databases.size(), 1u);

    // Another client takes the second table's lock before its rows start;
    // its session ends when the restore stops the server.
    std::thread holder;
    std::thread stopper;
    std::atomic<bool> stopPressed{false};
    std::chrono::steady_clock::time_point stoppedAt;
    job.report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
        if (sent.message != engine::WM_APPEND_LOG || sent.text != QLatin1String("Table in process.. b_second"))
            return;
        holder = std::thread([&own] { own.server.sql("LOCK TABLES recovered_two.b_second WRITE; SELECT SLEEP(60)"); });
        EXPECT_TRUE(waitForAnswer(own.server,
                                  "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO = 'SELECT SLEEP(60)'",
                                  "1\n"));
        stopper = std::thread([&] {
            EXPECT_TRUE(waitForAnswer(own.server,
                                      "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE "
                                      "STATE = 'Waiting for table metadata lock'",
                                      "1\n"))
                << "the repair's statement waits for the lock";
            stoppedAt = std::chrono::steady_clock::now();
            pressStop(job);
            stopPressed = true;
        });
    };
    const auto outcome = job.engine.RunRepair();
    const auto endedAt = std::chrono::steady_clock::now();
    if (stopper.joinable())
        stopper.join();
    if (holder.joinable())
        holder.join();
    job.report.m_onSend = nullptr;
    const QString log = job.log();
    ASSERT_TRUE(stopPressed) << log.toStdString();
    EXPECT_LT(endedAt - stoppedAt, std::chrono::seconds(20)) << "the stop was not waited out\n" << log.toStdString();
    EXPECT_EQ(outcome, MySqlRepair::REPAIR_STOPPED) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("The repair was stopped by the user in table b_second of database two")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Table b_second stays MyISAM: the repair was stopped")))
        << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Table in process.. c_after"))) << "no table after the stop";

    EXPECT_TRUE(own.ownDataReadable()) << "the server runs on its own InnoDB data\n" << own.server.log();
    EXPECT_TRUE(backupFiles(own.server.dataDir()).isEmpty()) << "its own ibdata1 is back";
    EXPECT_TRUE(QFileInfo(job.engine.m_strRecoveredFolder + QStringLiteral("recovered_two/a_first.ibd")).isFile())
        << "the first table was recovered whole and turned into InnoDB";
}

// Something listening on a port, for as long as it lives.
class PortHolder {
public:
    // Close-on-exec: a server started meanwhile must not hold it too.
    explicit PortHolder(int port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        m_listening = ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(m_fd, 1) == 0;
    }
    ~PortHolder() { ::close(m_fd); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool listening() const { return m_listening; }

private:
    int m_fd;
    bool m_listening = false;
};

// Each step of the restore after a repair from a chosen folder, made to
// fail: its log line, an outcome that is not success, and the server's own
// ibdata1 whole - back in place, or waiting in the backup folder while the
// server goes on where the recovered tables are.
TEST(RepairRestoreFailures, EachFailedStepIsLoggedAndTheServersOwnIbdataSurvives)
{
    enum class Own { InBackup, InPlaceRunning, InPlaceStopped };
    struct Context {
        OwnServer& own;
        Job& job;
        std::unique_ptr<PortHolder>& port;
        pid_t frozen = 0;
    };
    const auto recoveredFolder = [](const Context& c) { return c.job.engine.m_strRecoveredFolder; };
    const auto put = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    };
    enum class When { RowsEnded, RestoreStopped, EveryRestoreStep };
    const struct {
        const char* name;
        When when;
        std::function<void(Context&)> arrange;
        const char* logged;
        Own own;
    } cases[] = {
        {"the Recovered_Data_ folder cannot be made", When::RestoreStopped,
         [&](Context& c) { put(recoveredFolder(c), "a file where the folder goes"); }, "could not be created",
         Own::InBackup},
        {"the ibdata1 target is taken", When::RestoreStopped,
         [&](Context& c) { put(recoveredFolder(c) + QStringLiteral("/ibdata1"), "x"); },
         "The ibdata1 of the repair could not be moved from", Own::InBackup},
        {"a database folder's target is taken", When::RestoreStopped,
         [&](Context& c) { QDir().mkpath(recoveredFolder(c) + QStringLiteral("/recovered_tiny")); }, "The database folder",
         Own::InPlaceRunning},
        {"the server's ibdata1 path is taken", When::EveryRestoreStep,
         [&](Context& c) {
             // Once the repair's file has left, before the server's own comes back.
             if (!QFileInfo::exists(c.own.server.ibdata())
                 && QFileInfo::exists(recoveredFolder(c) + QStringLiteral("ibdata1")))
                 put(c.own.server.ibdata(), "not the server's");
         },
         "The server's own ibdata1 could not be put back from", Own::InBackup},
        {"the service does not start again", When::RestoreStopped,
         [&](Context& c) {
             c.port = std::make_unique<PortHolder>(c.own.server.port().toInt());
             EXPECT_TRUE(c.port->listening());
         },
         "could not be started again", Own::InPlaceStopped},
        {"the service cannot be stopped", When::RowsEnded,
         [&](Context& c) {
             c.job.engine.m_serviceTimeoutMs = 1500;
             c.frozen = ServiceControl::processId(c.own.server.name());
             ::kill(c.frozen, SIGSTOP);
         },
         "could not be stopped", Own::InBackup},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnServer own;
        ASSERT_TRUE(own.begin()) << own.server.log();
        ASSERT_EQ(own.server
                      .sql("CREATE DATABASE tiny; CREATE TABLE tiny.t (a INT PRIMARY KEY) ENGINE=InnoDB;"
                           "INSERT INTO tiny.t VALUES (1), (2); CREATE TABLE tiny.m (a INT) ENGINE=MyISAM;"
                           "INSERT INTO tiny.m VALUES (5)")
                      .status,
                  0);
        ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
        const QByteArray original = readAll(own.server.ibdata());
        Job job;
        job.scanChosenFolder(chosenFrom(own.machine, own.server.dataDir(), {QStringLiteral("tiny")}));
        std::unique_ptr<PortHolder> port;
        Context context{own, job, port};
        bool arranged = false;
        bool restoring = false;
        job.report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
            if (sent.message == engine::WM_STATUS_PROGRESS && sent.wParam == engine::PROGRESS_BEGIN && sent.lParam == 1000)
                restoring = true;
            const bool step = sent.message == engine::WM_STATUS_PROGRESS && sent.wParam == engine::PROGRESS_STEP;
            bool now = false;
            switch (c.when) {
            case When::RowsEnded:
                now = !arranged && sent.message == engine::WM_APPEND_LOG && sent.text == QString(45, QLatin1Char('-'));
                break;
            case When::RestoreStopped:
                now = !arranged && restoring && step; // the first step comes once the server is stopped
                break;
            case When::EveryRestoreStep:
                now = restoring && step;
                break;
            }
            if (now) {
                arranged = true;
                c.arrange(context);
            }
        };
        const auto outcome = job.engine.RunRepair();
        job.report.m_onSend = nullptr;
        const QString log = job.log();
        EXPECT_TRUE(arranged) << log.toStdString();
        EXPECT_EQ(outcome, MySqlRepair::REPAIR_INCOMPLETE) << log.toStdString();
        EXPECT_GE(job.engine.m_restoreStepsFailed, 1u);
        EXPECT_TRUE(log.contains(QString::fromLatin1(c.logged))) << log.toStdString();
        job.engine.ReportRepairOutcome(outcome);
        EXPECT_EQ(job.report.m_boxes.back(), QStringLiteral("Repair process finished unsuccessfully."));

        if (std::string(c.name) == "the service cannot be stopped") {
            // It held the stop we sent while it was frozen; let it have it.
            ASSERT_GT(context.frozen, 0);
            ::kill(context.frozen, SIGCONT);
            ASSERT_TRUE(ServiceControl::waitFor(own.server.name(), ServiceState::Stopped, kServerWait));
            EXPECT_TRUE(QFileInfo(job.engine.m_strRecoveredFolder + QStringLiteral("recovered_tiny/m.MYD")).isFile())
                << "copies of what was recovered";
        }
        port.reset();
        const QStringList backups = backupFiles(own.server.dataDir());
        switch (c.own) {
        case Own::InBackup:
            ASSERT_EQ(backups.size(), 1) << log.toStdString();
            EXPECT_TRUE(readAll(backups.front()) == original) << "whole in the backup folder";
            break;
        case Own::InPlaceRunning:
            EXPECT_TRUE(backups.isEmpty());
            EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
            break;
        case Own::InPlaceStopped:
            EXPECT_TRUE(backups.isEmpty());
            EXPECT_EQ(ServiceControl::query(own.server.name()), ServiceState::Stopped);
            // The server opened it before it gave up on its port: in place,
            // and its own, as a start shows.
            ASSERT_TRUE(startServer(own.server)) << own.server.log();
            EXPECT_TRUE(own.ownDataReadable());
            break;
        }
        if (c.own == Own::InBackup && ServiceControl::query(own.server.name()) == ServiceState::Running) {
            // The server went on where the recovered tables are.
            EXPECT_EQ(own.server.sql("SELECT COUNT(*) FROM recovered_tiny.t").output, "2\n") << own.server.log();
        }
    }
}

} // namespace

// ---- Through the desktop shell's workers -----------------------------------

TEST(RepairThroughTheShell, TheWorkersRepairAChosenFolderAsTheEngineAloneDoes)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    const QString chosen = chosenFolder(own.machine, QStringLiteral("default"), QStringLiteral("fx*"));
    const QString runtime = own.machine.dir().mkdir(QStringLiteral("run"));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" GRISOLT_SOURCE_DIR "/tests/lsan.supp"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(GRISOLT_SHELL_REPAIR),
                  {QStringLiteral("--datadir"), chosen, QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("--user"), QStringLiteral("root")});
    ASSERT_TRUE(process.waitForFinished(300000));
    const QString log = runOutput(process);
    EXPECT_EQ(process.exitCode(), 0) << log.toStdString() << own.server.log();
    EXPECT_TRUE(log.contains(QStringLiteral("[box] Repair process finished successfully."))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Scanning completed on "))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("statement(s) of the repair failed"))) << log.toStdString();

    // The server runs on its own ibdata1 again; the recovered files wait in
    // the dated folder.
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    const QStringList recovered =
        QDir(own.server.dataDir()).entryList({QStringLiteral("Recovered_Data_*")}, QDir::Dirs);
    ASSERT_EQ(recovered.size(), 1) << log.toStdString();
    const QString folder = own.server.dataDir() + QLatin1Char('/') + recovered.front() + QLatin1Char('/');
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("recovered_fx_objects/v_customers.sql")).isFile());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("recovered_fx_innodb_ibd/big_btree.ibd")).isFile());
}
