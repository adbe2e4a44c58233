#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/MySqlRepairFiles.h"
#include "engine/ServiceDiscovery.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "tests/support/EnvironmentServer.h"
#include "tests/support/RecordingReportWindow.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <thread>
#include <sys/stat.h>

using engine::AppState;
using engine::MYSQL_SERVICE;
using engine::MySqlRepair;
using platform::ServiceControl;
using platform::ServiceState;
using testsupport::readAll;
using testsupport::RecordingReportWindow;
using testsupport::TestMachine;
using testsupport::TestServer;

namespace {

QByteArray bytesOf(char fill, int size = 3 * 65536 + 17)
{
    return QByteArray(size, fill);
}

QStringList backupFolders(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("old_ibdata1_*")}, QDir::Dirs | QDir::Files);
}

MYSQL_SERVICE serviceRecord(const QString& imagePath, const QString& name)
{
    MYSQL_SERVICE service;
    service.m_imagePath = imagePath;
    service.m_displayName = name;
    return service;
}

// An engine on a test machine, reporting into a recorder.
struct Engine {
    AppState app;
    MySqlRepair engine{app};
    RecordingReportWindow report{app};
    Engine() { engine.m_hWndReport = &report; }
};

// ---- Which services there are --------------------------------------------

TEST(ServiceDiscoveryTest, ListsServicesWhoseKeyNamesHoldMySqlInThatCase)
{
    TestMachine machine;
    machine.addService(QStringLiteral("MySQL"), QStringLiteral("/usr/sbin/mariadbd --defaults-file=/a/my.ini"), QStringLiteral("MySQL"));
    machine.addService(QStringLiteral("MySQL56"), QStringLiteral("/b"), QStringLiteral("MySQL 5.6"));
    machine.addService(QStringLiteral("OurMySQLCopy"), QStringLiteral("/c"), QString());
    machine.addService(QStringLiteral("mysqlx"), QStringLiteral("/d"), QStringLiteral("lower case"));
    machine.addService(QStringLiteral("Spooler"), QStringLiteral("/e"), QStringLiteral("Spooler"));
    platform::Registry::setValue(ServiceControl::kServicesKey + QStringLiteral("\\MySQLNoImage"), QStringLiteral("DisplayName"),
                                 QStringLiteral("no image"));

    AppState app;
    app.m_service.m_imagePath = QStringLiteral("left over");
    app.m_service.m_dataFolder = QStringLiteral("/left/over/");
    app.m_strServiceImagePath = QStringLiteral("left over");
    ASSERT_TRUE(engine::FindMySqlServices(app));
    EXPECT_TRUE(app.m_bServiceFound);
    EXPECT_TRUE(app.m_strServiceImagePath.isEmpty());
    EXPECT_TRUE(app.m_service.m_imagePath.isEmpty());

    QStringList seen;
    for (const MYSQL_SERVICE& s : app.m_services) {
        seen.append(s.m_imagePath + QLatin1Char('|') + s.m_displayName);
        EXPECT_TRUE(s.m_myIniPath.isEmpty() && s.m_port.isEmpty() && s.m_ibdataPath.isEmpty() && s.m_dataFolder.isEmpty());
    }
    // "mysqlx" is not listed: the name must hold "MySQL" as written.
    EXPECT_EQ(seen, (QStringList{QStringLiteral("/usr/sbin/mariadbd --defaults-file=/a/my.ini|MySQL"),
                                 QStringLiteral("/b|MySQL 5.6"), QStringLiteral("|no image"), QStringLiteral("/c|")}));
}

TEST(ServiceDiscoveryTest, NoMatchingServiceMeansNoneFound)
{
    TestMachine machine;
    machine.addService(QStringLiteral("mariadb"), QStringLiteral("/usr/sbin/mariadbd"), QStringLiteral("mariadb"));
    AppState app;
    app.m_services.push_back(serviceRecord(QStringLiteral("stale"), QStringLiteral("stale")));
    EXPECT_FALSE(engine::FindMySqlServices(app));
    EXPECT_FALSE(app.m_bServiceFound);
    EXPECT_TRUE(app.m_services.empty());
}

// ---- What a service's my.ini says -----------------------------------------

TEST(MySqlServiceConfigTest, TheOptionFileComesFromTheCommandLine)
{
    const struct {
        const char* imagePath;
        const char* expected;
    } cases[] = {
        {"/usr/sbin/mariadbd --defaults-file=/srv/db/my.ini", "/srv/db/my.ini"},
        {"\"C:\\Program Files\\MySQL\\bin\\mysqld\" \"--defaults-file=C:\\MySQL\\my.ini\" MySQL", "C:\\MySQL\\my.ini"},
        {"/usr/sbin/mariadbd \"--defaults-file=/srv/my db/my.cnf\" --user=mysql", "/srv/my db/my.cnf"},
        {"/usr/sbin/mariadbd --user=mysql", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MySqlRepair::MyIniPathFromCommandLine(QString::fromLatin1(c.imagePath)), QString::fromLatin1(c.expected))
            << c.imagePath;
}

TEST(MySqlServiceConfigTest, ReadMyIniTakesTheServersValues)
{
    testsupport::TempDir dir;
    const struct {
        const char* name;
        const char* text;
        const char* port;
        const char* dataFolder;
        const char* ibdata;
    } cases[] = {
        {"plain", "[mysqld]\nport=3306\ndatadir=/var/lib/mysql\n", "3306", "/var/lib/mysql/", "/var/lib/mysql/ibdata1"},
        {"client port is not the server's", "[client]\nport=1111\n[mysqld]\nport=23306\ndatadir=/d/\n", "23306", "/d/", "/d/ibdata1"},
        {"quoted, with comments", "# port=9\n[mysqld] \n datadir = \"/my data/\" # the data\nport = 12345 ; x\n", "12345 ; x",
         "/my data/", "/my data/ibdata1"},
        {"last value wins", "[mysqld]\ndatadir=/a\n[server]\ndatadir=/b\nport=1\nport=2\n", "2", "/b/", "/b/ibdata1"},
        {"InnoDB home folder", "[mariadbd]\ndatadir=/d\ninnodb_data_home_dir=/ib/\n", "", "/d/", "/ib/ibdata1"},
        {"dashes and loose prefix", "[mysqld-10.11]\nloose-innodb-data-home-dir='/ib2'\ndatadir=/d\n", "", "/d/", "/ib2/ibdata1"},
        {"empty home folder means the data folder", "[mysqld]\ndatadir=/d\ninnodb_data_home_dir=\n", "", "/d/", "/d/ibdata1"},
        {"other groups only", "[client]\nport=1\ndatadir=/x\n[mysqldump]\ndatadir=/y\n", "", "", ""},
        {"empty file", "", "", "", ""},
    };
    for (const auto& c : cases) {
        AppState app;
        MySqlRepair engine(app);
        engine.m_strMyIniPath = dir.write(QStringLiteral("my.ini"), QByteArray(c.text));
        engine.m_strIbdataPath = QStringLiteral("stale");
        engine.ReadMyIni();
        EXPECT_EQ(engine.m_strPort, QString::fromLatin1(c.port)) << c.name;
        EXPECT_EQ(engine.m_strDataFolder, QString::fromLatin1(c.dataFolder)) << c.name;
        EXPECT_EQ(engine.m_strIbdataPath, QString::fromLatin1(c.ibdata)) << c.name;
    }
}

TEST(MySqlServiceConfigTest, ReadMyIniFollowsIncludesAndSurvivesMissingFiles)
{
    testsupport::TempDir dir;
    dir.write(QStringLiteral("conf.d/50-server.cnf"), QByteArray("[mysqld]\ndatadir=/from/conf.d\n"));
    dir.write(QStringLiteral("conf.d/ignored.txt"), QByteArray("[mysqld]\ndatadir=/wrong\n"));
    dir.write(QStringLiteral("extra.cnf"), QByteArray("[mysqld]\nport=4444\n!include ") + dir.file(QStringLiteral("extra.cnf")).toLocal8Bit() + "\n");
    const QString main = dir.write(QStringLiteral("my.cnf"),
                                   "!include " + dir.file(QStringLiteral("extra.cnf")).toLocal8Bit() + "\n!includedir "
                                       + dir.file(QStringLiteral("conf.d")).toLocal8Bit() + "\n");
    AppState app;
    MySqlRepair engine(app);
    engine.m_strMyIniPath = main;
    engine.ReadMyIni(); // the file that includes itself is read once
    EXPECT_EQ(engine.m_strPort, QStringLiteral("4444"));
    EXPECT_EQ(engine.m_strIbdataPath, QStringLiteral("/from/conf.d/ibdata1"));

    engine.m_strMyIniPath = dir.file(QStringLiteral("missing.ini"));
    engine.ReadMyIni();
    EXPECT_TRUE(engine.m_strIbdataPath.isEmpty());
    EXPECT_EQ(engine.m_strDataFolder, QStringLiteral("/from/conf.d/")) << "a file that cannot be read changes nothing";
}

TEST(MySqlServiceConfigTest, TheServersErrorLogsAreWhereTheServerPutsThem)
{
    testsupport::TempDir dir;
    const struct {
        const char* name;
        const char* text;
        const char* arguments;
        const char* log; // besides the service's own log file
    } cases[] = {
        {"none: standard error only", "[mysqld]\ndatadir=/d\n", "", nullptr},
        {"absolute", "[mysqld]\ndatadir=/d\nlog-error=/var/log/db.log\n", "", "/var/log/db.log"},
        {"relative, in the data folder", "[mysqld]\ndatadir=/d\nlog_error=logs/db.log\n", "", "/d/logs/db.log"},
        {"no suffix gets .err", "[mariadbd]\ndatadir=/d/\nlog-error=db\n", "", "/d/db.err"},
        {"the command line wins", "[mysqld]\ndatadir=/d\nlog-error=/a.log\n", " --log-error=/b.log --datadir=/e",
         "/b.log"},
        {"other groups only", "[client]\nlog-error=/c.log\n", "", nullptr},
    };
    for (const auto& c : cases) {
        Engine e;
        const QString ini = dir.write(QStringLiteral("my.ini"), QByteArray(c.text));
        e.app.m_service = serviceRecord(QStringLiteral("/usr/sbin/mariadbd --defaults-file=") + ini
                                            + QString::fromLatin1(c.arguments),
                                        QStringLiteral("MySQLLogs"));
        QStringList expected = {ServiceControl::logFile(QStringLiteral("MySQLLogs"))};
        if (c.log)
            expected << QString::fromLatin1(c.log);
        EXPECT_EQ(e.engine.ServerErrorLogs(), expected) << c.name;
    }
}

TEST(MySqlServiceConfigTest, LocateServiceConfigKeepsTheFirstServiceWhoseDataFolderExists)
{
    testsupport::TempDir dir;
    const QString data = dir.mkdir(QStringLiteral("data"));
    const QString missing = dir.write(QStringLiteral("a/my.ini"), QByteArray("[mysqld]\nport=1001\ndatadir=/nonexistent/grisolt\n"));
    const QString noDatadir = dir.write(QStringLiteral("b/my.ini"), QByteArray("[mysqld]\nport=1002\n"));
    const QString good = dir.write(QStringLiteral("c/my.ini"), "[mysqld]\nport=1003\ndatadir=" + data.toLocal8Bit() + "\n");

    Engine e;
    e.app.m_services = {serviceRecord(QStringLiteral("/usr/sbin/mariadbd --defaults-file=") + missing, QStringLiteral("A")),
                        serviceRecord(QStringLiteral("/usr/sbin/mariadbd --defaults-file=") + noDatadir, QStringLiteral("B")),
                        serviceRecord(QStringLiteral("/usr/sbin/mariadbd --defaults-file=") + good + QStringLiteral(" --port=2003"),
                                      QStringLiteral("C"))};
    ASSERT_TRUE(e.engine.LocateServiceConfig());
    ASSERT_EQ(e.app.m_services.size(), 1u);
    const MYSQL_SERVICE& chosen = e.app.m_services.front();
    EXPECT_EQ(chosen.m_displayName, QStringLiteral("C"));
    EXPECT_EQ(chosen.m_myIniPath, good);
    EXPECT_EQ(chosen.m_port, QStringLiteral("2003")) << "the command line overrides my.ini";
    EXPECT_EQ(chosen.m_dataFolder, data + QLatin1Char('/'));
    EXPECT_EQ(chosen.m_ibdataPath, data + QStringLiteral("/ibdata1"));
    EXPECT_EQ(e.app.m_service.m_displayName, QStringLiteral("C"));
    EXPECT_EQ(e.engine.m_strDataFolder, data + QLatin1Char('/'));
    EXPECT_TRUE(e.report.m_boxes.isEmpty());
}

TEST(MySqlServiceConfigTest, LocateServiceConfigWithoutAUsableServiceSaysSo)
{
    testsupport::TempDir dir;
    const QString noDatadir = dir.write(QStringLiteral("b/my.ini"), QByteArray("[mysqld]\nport=1002\n"));
    const QString missing = dir.write(QStringLiteral("a/my.ini"), QByteArray("[mysqld]\ndatadir=/nonexistent/grisolt\n"));
    for (int services = 0; services <= 2; ++services) {
        Engine e;
        if (services >= 1)
            e.app.m_services.push_back(serviceRecord(QStringLiteral("/x --defaults-file=") + noDatadir, QStringLiteral("B")));
        if (services >= 2)
            e.app.m_services.push_back(serviceRecord(QStringLiteral("/x --defaults-file=") + missing, QStringLiteral("A")));
        EXPECT_FALSE(e.engine.LocateServiceConfig()) << services;
        EXPECT_EQ(e.report.m_boxes, QStringList{QStringLiteral("MySQL data folder path is not found.")}) << services;
        EXPECT_EQ(e.app.m_services.size(), static_cast<std::size_t>(services));
        if (services == 2) {
            // The list keeps its entries, completed where my.ini named a folder.
            EXPECT_TRUE(e.app.m_services[0].m_ibdataPath.isEmpty());
            EXPECT_EQ(e.app.m_services[1].m_ibdataPath, QStringLiteral("/nonexistent/grisolt/ibdata1"));
            EXPECT_EQ(e.app.m_service.m_displayName, QStringLiteral("A"));
        }
    }
}

TEST(MySqlServiceConfigTest, DateTimeTextHasNoLeadingZeros)
{
    EXPECT_EQ(MySqlRepair::DateTimeText(8, 12, 2026, 21, 5, 3), QStringLiteral("8-12-2026 21-5-3"));
    EXPECT_EQ(MySqlRepair::DateTimeText(1, 1, 2027, 0, 0, 0), QStringLiteral("1-1-2027 0-0-0"));
}

// ---- File operations that the exchange relies on ---------------------------

TEST(MySqlRepairFilesTest, MovesNeverReplaceAndCopiesAreVerified)
{
    testsupport::TempDir dir;
    const QString a = dir.write(QStringLiteral("a"), bytesOf('a'));
    const QString b = dir.write(QStringLiteral("b"), bytesOf('b'));
    QString error;
    EXPECT_FALSE(engine::fileops::moveNoReplace(a, b, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(a), bytesOf('a'));
    EXPECT_EQ(readAll(b), bytesOf('b'));

    EXPECT_FALSE(engine::fileops::copyVerified(a, b, false));
    EXPECT_EQ(readAll(b), bytesOf('b'));
    EXPECT_TRUE(engine::fileops::copyVerified(a, b, true));
    EXPECT_EQ(readAll(b), bytesOf('a'));
    EXPECT_TRUE(engine::fileops::filesEqual(a, b));
    EXPECT_FALSE(engine::fileops::copyVerified(dir.file(QStringLiteral("missing")), b, true));
    EXPECT_EQ(readAll(b), bytesOf('a'));

    const QString c = dir.file(QStringLiteral("c"));
    EXPECT_TRUE(engine::fileops::moveNoReplace(a, c));
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_EQ(readAll(c), bytesOf('a'));
    // No temporary file is left behind by any of it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_FALSE(engine::fileops::filesEqual(b, dir.write(QStringLiteral("d"), bytesOf('a', 10))));
}

// ---- The exchange on files alone ------------------------------------------

// A data folder with an ibdata1, a program folder with a template, and a
// registered service that is not running.
struct ExchangeSetup {
    TestMachine machine;
    Engine e;
    QString data;
    QString original;
    QString userFile;

    ExchangeSetup()
    {
        data = machine.dir().mkdir(QStringLiteral("data"));
        original = machine.dir().write(QStringLiteral("data/ibdata1"), bytesOf('O'));
        userFile = machine.dir().write(QStringLiteral("chosen/ibdata1"), bytesOf('U'));
        machine.addService(QStringLiteral("MySQLIdle"), QStringLiteral("/bin/sleep 1000.%1").arg(::getpid()), QStringLiteral("MySQLIdle"));
        e.app.m_service = serviceRecord(QStringLiteral("/bin/sleep"), QStringLiteral("MySQLIdle"));
        e.app.m_services = {e.app.m_service};
        e.app.m_strIbdataPath = userFile;
        e.engine.m_strIbdataPath = original;
        e.engine.m_serviceTimeoutMs = 3000;
    }
    QString backupFile() const { return e.engine.m_strIbdataBackup; }
};

// The exchange's bar carries the repair's label, and it moves while a step
// of the exchange stands still (here the first copy step is held): the
// ticker steps it from a thread of its own, and ends it before the exchange
// returns.
TEST(MySqlRepairTablespaceTest, TheExchangeBarIsLabelledAndTicksWhileAStepStandsStill)
{
    ExchangeSetup s;
    QFile::remove(s.machine.templateFile());
    s.machine.dir().write(QStringLiteral("program/veltrax"), bytesOf('T'));
    s.e.app.m_bDefaultLocation = true;
    s.e.app.m_bAllSelected = true;
    s.e.app.setStatusText(QString());
    const auto worker = std::this_thread::get_id();
    bool held = false;
    s.e.report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
        if (!held && sent.thread == worker && sent.wParam == engine::PROGRESS_STEP) {
            held = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(350));
        }
    };
    ASSERT_TRUE(s.e.engine.BackupIbdata());
    s.e.report.m_onSend = nullptr;
    const auto sent = s.e.report.sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front().lParam, 800);
    EXPECT_EQ(sent.front().status, QStringLiteral("Repairing Database(s)...")) << "labelled before it begins";
    int ticks = 0;
    for (const auto& m : sent)
        ticks += m.thread != worker && m.wParam == engine::PROGRESS_STEP;
    EXPECT_GE(ticks, 1);
    EXPECT_EQ(sent.back().wParam, engine::PROGRESS_END);
    EXPECT_NE(sent.back().thread, worker) << "the ticker ends the bar";
    EXPECT_FALSE(s.e.engine.m_pProgressThread) << "joined before the exchange returns";
}

TEST(MySqlRepairTablespaceTest, EachModePutsItsFileInPlaceAndKeepsTheOriginal)
{
    const struct {
        const char* name;
        bool defaultLocation, manual, some, all;
        char inPlace; // what the server's ibdata1 holds afterwards
        bool exchanged;
    } cases[] = {
        {"default, some: a copy of its own", true, false, true, false, 'O', true},
        {"default, all: the template", true, false, false, true, 'T', true},
        {"default, neither: the template", true, false, false, false, 'T', true},
        {"manual, some: the chosen file", false, true, true, false, 'U', true},
        {"manual, all: the template", false, true, false, true, 'T', true},
        {"manual, neither: nothing", false, true, false, false, 'O', false},
        {"no mode: nothing", false, false, true, true, 'O', false},
    };
    for (const auto& c : cases) {
        ExchangeSetup s;
        QFile::remove(s.machine.templateFile());
        s.machine.dir().write(QStringLiteral("program/veltrax"), bytesOf('T'));
        s.e.app.m_bDefaultLocation = c.defaultLocation;
        s.e.app.m_bManualFolder = c.manual;
        s.e.app.m_bSomeSelected = c.some;
        s.e.app.m_bAllSelected = c.all;
        ASSERT_TRUE(s.e.engine.BackupIbdata()) << c.name;
        EXPECT_EQ(s.e.engine.m_strIbdataPath, s.original) << c.name;
        EXPECT_EQ(readAll(s.original), bytesOf(c.inPlace)) << c.name;
        EXPECT_EQ(s.e.engine.m_bIbdataExchanged, c.exchanged) << c.name;
        const QStringList folders = backupFolders(s.data);
        ASSERT_EQ(folders.size(), 1) << c.name;
        EXPECT_TRUE(s.backupFile().startsWith(s.data + QLatin1Char('/') + folders.front() + QStringLiteral("/ibdata1"))) << c.name;
        if (c.exchanged) {
            EXPECT_EQ(readAll(s.backupFile()), bytesOf('O')) << c.name;
        }
        EXPECT_EQ(readAll(s.userFile), bytesOf('U')) << c.name << ": the chosen file is only read";
        // The progress bar begins and ends.
        ASSERT_FALSE(s.e.report.m_sent.empty()) << c.name;
        EXPECT_EQ(s.e.report.m_sent.front().wParam, engine::PROGRESS_BEGIN) << c.name;
        EXPECT_EQ(s.e.report.m_sent.front().lParam, 800) << c.name;
        EXPECT_EQ(s.e.report.m_sent.back().wParam, engine::PROGRESS_END) << c.name;

        if (c.exchanged) {
            // And the way back gives the server its own file again.
            ASSERT_TRUE(s.e.engine.RestoreIbdataBackup()) << c.name;
            EXPECT_EQ(readAll(s.original), bytesOf('O')) << c.name;
            EXPECT_FALSE(s.e.engine.RestoreIbdataBackup()) << c.name << ": only once";
        }
    }
}

TEST(MySqlRepairTablespaceTest, AFailedExchangeLeavesTheOriginalInPlace)
{
    const struct {
        const char* name;
        bool manual;
        std::function<void(ExchangeSetup&)> spoil;
    } cases[] = {
        {"template missing", false, [](ExchangeSetup& s) { QFile::remove(s.machine.templateFile()); }},
        {"template missing, manual", true, [](ExchangeSetup& s) { QFile::remove(s.machine.templateFile()); }},
        {"no program folder", false,
         [](ExchangeSetup&) { platform::Registry::setValue(testsupport::kProductKey, QStringLiteral("Path"), QString()); }},
        {"backup folder cannot be created", false,
         [](ExchangeSetup& s) {
             // A file under each name the dated folder may get in the next seconds.
             const QDateTime now = QDateTime::currentDateTime();
             for (int k = 0; k < 5; ++k) {
                 const QDateTime t = now.addSecs(k);
                 s.machine.dir().write(QStringLiteral("data/old_ibdata1_")
                                           + MySqlRepair::DateTimeText(t.date().day(), t.date().month(), t.date().year(),
                                                                       t.time().hour(), t.time().minute(), t.time().second()),
                                       QByteArray("x"));
             }
         }},
        {"the service is running", false,
         [](ExchangeSetup&) { ASSERT_TRUE(ServiceControl::start(QStringLiteral("MySQLIdle"))); }},
        {"the service is unknown", false,
         [](ExchangeSetup& s) { s.e.app.m_service.m_displayName = QStringLiteral("NoSuchService"); }},
        {"ibdata1 path without a folder", false, [](ExchangeSetup& s) { s.e.engine.m_strIbdataPath = QStringLiteral("ibdata1"); }},
    };
    for (const auto& c : cases) {
        ExchangeSetup s;
        s.e.app.m_bDefaultLocation = !c.manual;
        s.e.app.m_bManualFolder = c.manual;
        s.e.app.m_bAllSelected = true;
        c.spoil(s);
        const QFileInfo before(s.original);
        EXPECT_FALSE(s.e.engine.BackupIbdata()) << c.name;
        EXPECT_FALSE(s.e.engine.m_bIbdataExchanged) << c.name;
        EXPECT_EQ(readAll(s.original), bytesOf('O')) << c.name;
        EXPECT_EQ(QFileInfo(s.original).lastModified(), before.lastModified()) << c.name;
        // Nothing was moved into a backup folder either.
        for (const QString& entry : backupFolders(s.data))
            EXPECT_FALSE(QFileInfo::exists(s.data + QLatin1Char('/') + entry + QStringLiteral("/ibdata1"))) << c.name;
    }
}

TEST(MySqlRepairTablespaceTest, AServiceThatWillNotStopKeepsItsFileAndKeepsRunning)
{
    ExchangeSetup s;
    const QString name = QStringLiteral("MySQLStubborn");
    s.machine.addService(name,
                         QStringLiteral("/bin/bash -c \"trap '' TERM; while :; do sleep 0.2; done\" stubborn%1").arg(::getpid()),
                         name);
    ASSERT_TRUE(ServiceControl::start(name));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t pid = ServiceControl::processId(name);
    s.e.app.m_service = serviceRecord(QString(), name);
    s.e.app.m_services = {s.e.app.m_service};
    s.e.app.m_bDefaultLocation = true;
    s.e.engine.m_serviceTimeoutMs = 1000;

    EXPECT_FALSE(s.e.engine.ExchangeIbdataAndRestart());
    EXPECT_FALSE(s.e.app.m_bServiceStopped);
    EXPECT_EQ(::kill(pid, 0), 0) << "the process is still there";
    EXPECT_EQ(readAll(s.original), bytesOf('O'));
    EXPECT_TRUE(backupFolders(s.data).isEmpty());
    // The scripts are gone from the program folder.
    EXPECT_TRUE(QDir(s.machine.programFolder()).entryList({QStringLiteral("*.sh")}, QDir::Files).isEmpty());
    ::kill(-pid, SIGKILL);
}

TEST(MySqlServiceControlTest, AFailedStopStartsAgainWhatItStopped)
{
    ExchangeSetup s;
    const QString first = QStringLiteral("MySQLFirst");
    const QString stubborn = QStringLiteral("MySQLStubborn");
    s.machine.addService(first, QStringLiteral("/bin/sleep 1000.%1").arg(::getpid()) + QStringLiteral("7"), first);
    s.machine.addService(stubborn,
                         QStringLiteral("/bin/bash -c \"trap '' TERM; while :; do sleep 0.2; done\" stubborn%1").arg(::getpid()),
                         stubborn);
    ASSERT_TRUE(ServiceControl::start(first));
    ASSERT_TRUE(ServiceControl::start(stubborn));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t firstPid = ServiceControl::processId(first);
    s.e.app.m_services = {serviceRecord(QString(), first), serviceRecord(QString(), stubborn)};
    s.e.engine.m_serviceTimeoutMs = 800;
    s.e.app.m_nServiceCount = 5; // an earlier stop's count

    EXPECT_FALSE(s.e.engine.StopMySqlServices());
    // The log says what the service did while the stop waited for it.
    const QStringList waited = s.e.report.log().filter(QStringLiteral("The service MySQLStubborn did not reach STOPPED: "));
    ASSERT_EQ(waited.size(), 1) << s.e.report.log().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(waited.front().contains(QStringLiteral("STOP_PENDING from 0.0 s, gave up at "))) << waited.front().toStdString();
    EXPECT_EQ(s.e.app.m_service.m_displayName, stubborn) << "the last listed service stays current";
    EXPECT_EQ(s.e.app.m_nServiceCount, 2) << "counted afresh, one per service handled";
    // The first one was stopped, and runs again (a new process).
    const pid_t again = ServiceControl::processId(first);
    EXPECT_GT(again, 0);
    EXPECT_NE(again, firstPid);
    EXPECT_FALSE(s.e.engine.StartMySqlService()) << "nothing to start after a failed stop";
    ::kill(-ServiceControl::processId(stubborn), SIGKILL);
}

// Stop pressed while a service is being stopped never leaves it half way:
// the stop it was sent is seen to its end, the services after it are not
// touched, and what was stopped can be started again with the flag still set.
TEST(MySqlServiceControlTest, TheStopFlagNeverLeavesAServiceHalfWay)
{
    ExchangeSetup s;
    const QString slow = QStringLiteral("MySQLSlow");
    const QString next = QStringLiteral("MySQLNext");
    // Takes a second to end after SIGTERM, like a server flushing its files.
    s.machine.addService(slow,
                         QStringLiteral("/bin/bash -c \"trap 'sleep 1; exit 0' TERM; while :; do sleep 0.1; done\" slow%1").arg(::getpid()),
                         slow);
    s.machine.addService(next, QStringLiteral("/bin/sleep 1000.%1").arg(::getpid()) + QStringLiteral("9"), next);
    ASSERT_TRUE(ServiceControl::start(slow));
    ASSERT_TRUE(ServiceControl::start(next));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t nextPid = ServiceControl::processId(next);
    s.e.app.m_services = {serviceRecord(QString(), slow), serviceRecord(QString(), next)};
    s.e.engine.m_serviceTimeoutMs = 2500; // the slow one needs 1 s; it never listens, so a start waits it out

    std::thread press([&s] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        s.e.app.m_bStop = true;
    });
    EXPECT_FALSE(s.e.engine.StopMySqlServices()) << "stopped by the user";
    press.join();
    EXPECT_EQ(s.e.app.m_nServiceCount, 1);
    EXPECT_EQ(ServiceControl::processId(next), nextPid) << "the service after the stop is not touched";
    // The slow one was stopped to its end, and runs again: nothing is left
    // half stopped by the user's stop.
    EXPECT_NE(ServiceControl::processId(slow), 0);
    EXPECT_EQ(ServiceControl::query(slow), ServiceState::StartPending) << "a new process (it never listens)";

    // With one service, the stop completes and a start works with the flag set.
    s.e.app.m_services = {serviceRecord(QString(), slow)};
    s.e.app.m_bStop = false;
    std::thread pressAgain([&s] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        s.e.app.m_bStop = true;
    });
    EXPECT_TRUE(s.e.engine.StopMySqlServices());
    pressAgain.join();
    EXPECT_EQ(ServiceControl::query(slow), ServiceState::Stopped);
    EXPECT_TRUE(s.e.app.m_bStop);
    s.e.engine.StartMySqlService();
    EXPECT_NE(ServiceControl::processId(slow), 0) << "started again although the flag is set";
    ::kill(-ServiceControl::processId(slow), SIGKILL);
    ::kill(-nextPid, SIGKILL);
}

TEST(MySqlRepairTablespaceTest, AStartWithoutAStopDoesNothing)
{
    ExchangeSetup s;
    s.e.app.m_bServiceStopped = false;
    s.e.app.m_bServiceStarted = true;
    EXPECT_FALSE(s.e.engine.StartMySqlService());
    EXPECT_FALSE(s.e.app.m_bServiceStarted);
    EXPECT_EQ(ServiceControl::query(QStringLiteral("MySQLIdle")), ServiceState::Stopped);
}

// ---- With real servers ------------------------------------------------------

// One test machine with a MariaDB server registered as a service, started,
// and an engine that knows it as the default location.
struct LiveSetup {
    TestMachine machine;
    TestServer server{machine, QStringLiteral("MySQLLive")};
    Engine e;

    bool begin()
    {
        if (!server.installed() || !ServiceControl::start(server.name())
            || !ServiceControl::waitFor(server.name(), ServiceState::Running, testsupport::kServerWait))
            return false;
        e.engine.m_serviceTimeoutMs = std::chrono::milliseconds(testsupport::kServerWait).count();
        e.app.m_bDefaultLocation = true;
        return engine::FindMySqlServices(e.app) && e.engine.LocateServiceConfig();
    }
    QStringList scripts() const
    {
        return QDir(machine.programFolder()).entryList({QStringLiteral("*.sh")}, QDir::Files);
    }
};

TEST(MySqlServiceControlTest, StopAndStartARealServerThroughScripts)
{
    LiveSetup s;
    ASSERT_TRUE(s.begin()) << s.server.log();
    EXPECT_EQ(s.e.app.m_service.m_port, s.server.port());
    EXPECT_EQ(s.e.app.m_service.m_ibdataPath, s.server.ibdata());
    const pid_t pid = ServiceControl::processId(s.server.name());
    ASSERT_GT(pid, 0);

    ASSERT_TRUE(s.e.engine.StopMySqlServices());
    EXPECT_TRUE(s.e.app.m_bServiceStopped);
    EXPECT_TRUE(s.e.engine.m_bServiceWasRunning);
    EXPECT_TRUE(::kill(pid, 0) != 0 || readAll(QStringLiteral("/proc/%1/stat").arg(pid)).contains(") Z"));
    EXPECT_FALSE(engine::fileops::lockedByAnotherProcess(s.server.ibdata()));
    EXPECT_FALSE(s.server.acceptsConnections());
    EXPECT_TRUE(s.scripts().isEmpty());

    // A second stop finds it stopped and still says so.
    EXPECT_TRUE(s.e.engine.StopMySqlServices());
    EXPECT_FALSE(s.e.engine.m_bServiceWasRunning);

    ASSERT_TRUE(s.e.engine.StartMySqlService()) << s.server.log();
    EXPECT_TRUE(s.e.app.m_bServiceStarted);
    EXPECT_TRUE(s.server.acceptsConnections());
    EXPECT_TRUE(engine::fileops::lockedByAnotherProcess(s.server.ibdata()));
    EXPECT_TRUE(s.scripts().isEmpty());

    // While it runs, its ibdata1 is not touched.
    EXPECT_FALSE(s.e.engine.BackupIbdata());
    EXPECT_TRUE(backupFolders(s.server.dataDir()).isEmpty());
}

TEST(MySqlRepairTablespaceTest, TheTemplateStandsInForARealServersIbdataAndTheOriginalComesBack)
{
    LiveSetup s;
    ASSERT_TRUE(s.begin()) << s.server.log();
    ASSERT_EQ(s.server.sql("CREATE DATABASE u; CREATE TABLE u.m (a INT PRIMARY KEY, b VARCHAR(20)) ENGINE=MyISAM;"
                           "INSERT INTO u.m VALUES (1,'x'),(2,'y')")
                  .status,
              0);
    // A server in use has done InnoDB work, which puts its redo log past the
    // template's pages; a fresh one may stand a few bytes short of them and
    // refuse to start. No statistics are kept of it: the server's own InnoDB
    // tables must hold nothing newer than the template's.
    ASSERT_EQ(s.server.sql("CREATE TABLE u.w (a INT PRIMARY KEY, b VARCHAR(200)) ENGINE=InnoDB STATS_PERSISTENT=0;"
                           "INSERT INTO u.w WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s "
                           "WHERE n < 500) SELECT n, REPEAT('w', 200) FROM s; DROP TABLE u.w")
                  .status,
              0);
    // A repair from a chosen folder of all its databases: the template goes in.
    s.e.app.m_bDefaultLocation = false;
    s.e.app.m_bManualFolder = true;
    s.e.app.m_bAllSelected = true;
    ASSERT_TRUE(s.e.engine.StopMySqlServices());
    const QByteArray original = readAll(s.server.ibdata());
    ASSERT_FALSE(original.isEmpty());

    s.e.engine.m_strIbdataPath = s.e.app.m_service.m_ibdataPath;
    ASSERT_TRUE(s.e.engine.BackupIbdata());
    EXPECT_EQ(readAll(s.e.engine.m_strIbdataBackup), original);
    EXPECT_EQ(readAll(s.server.ibdata()), readAll(s.machine.templateFile()));

    ASSERT_TRUE(s.e.engine.StartMySqlService()) << s.server.log();
    const auto stats = s.server.sql("SELECT COUNT(*) >= 0 FROM mysql.innodb_table_stats");
    EXPECT_EQ(stats.status, 0) << stats.output;
    const auto alter = s.server.sql("ALTER TABLE u.m ENGINE=InnoDB; SELECT COUNT(*) FROM u.m");
    EXPECT_EQ(alter.status, 0) << alter.output;
    EXPECT_EQ(alter.output, "2\n");
    ASSERT_EQ(s.server.sql("CREATE DATABASE recovered_u; CREATE TABLE recovered_u.t (a INT) ENGINE=InnoDB;"
                           "INSERT INTO recovered_u.t VALUES (7)")
                  .status,
              0);
    s.e.engine.m_createdDatabases = {QStringLiteral("recovered_u")};

    // After the repair: the recovered files go aside, the server gets its own
    // ibdata1 back - the very file, byte-equal to the original above.
    const auto inode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const auto backupInode = inode(s.e.engine.m_strIbdataBackup);
    s.e.engine.RestoreOriginalIbdata();
    EXPECT_EQ(inode(s.server.ibdata()), backupInode);
    EXPECT_TRUE(s.e.engine.m_createdDatabases.isEmpty());
    const QString recovered = s.e.engine.m_strRecoveredFolder;
    EXPECT_TRUE(recovered.startsWith(s.server.dataDir() + QStringLiteral("/Recovered_Data_")));
    EXPECT_TRUE(QFileInfo(recovered + QStringLiteral("ibdata1")).isFile());
    EXPECT_TRUE(QFileInfo(recovered + QStringLiteral("recovered_u/t.ibd")).isFile());
    EXPECT_FALSE(QFileInfo::exists(s.server.dataDir() + QStringLiteral("/recovered_u")));
    EXPECT_FALSE(QFileInfo::exists(s.e.engine.m_strIbdataBackup));
    EXPECT_TRUE(s.e.app.m_bServiceStarted) << s.server.log();
    EXPECT_TRUE(s.server.acceptsConnections());
    EXPECT_TRUE(s.scripts().isEmpty());

}

TEST(MySqlRepairTablespaceTest, AFailedExchangeOnARealServerPutsItsOwnFileBackAndRestartsIt)
{
    LiveSetup s;
    ASSERT_TRUE(s.begin()) << s.server.log();
    // Its own InnoDB data: readable again afterwards only with its own ibdata1.
    ASSERT_EQ(s.server.sql("CREATE DATABASE own; CREATE TABLE own.t (a INT PRIMARY KEY) ENGINE=InnoDB;"
                           "INSERT INTO own.t VALUES (1),(2),(3)")
                  .status,
              0);
    s.e.engine.m_strIbdataPath = s.e.app.m_service.m_ibdataPath;

    // Each failure before anything is replaced: stopped, unchanged, started.
    for (const char* failure : {"template missing", "backup folder blocked"}) {
        ASSERT_TRUE(s.e.engine.StopMySqlServices()) << failure;
        const QByteArray original = readAll(s.server.ibdata());
        QFile::remove(s.machine.templateFile());
        if (std::string(failure) == "backup folder blocked") {
            s.machine.dir().write(QStringLiteral("program/veltrax"), QByteArray("template"));
            const QDateTime now = QDateTime::currentDateTime();
            for (int k = 0; k < 5; ++k) {
                const QDateTime t = now.addSecs(k);
                QFile block(s.server.dataDir() + QStringLiteral("/old_ibdata1_")
                            + MySqlRepair::DateTimeText(t.date().day(), t.date().month(), t.date().year(), t.time().hour(),
                                                        t.time().minute(), t.time().second()));
                ASSERT_TRUE(block.open(QIODevice::WriteOnly));
            }
        }
        EXPECT_FALSE(s.e.engine.BackupIbdata()) << failure;
        EXPECT_EQ(readAll(s.server.ibdata()), original) << failure;
        ASSERT_TRUE(s.e.engine.StartMySqlService()) << failure << s.server.log();
        EXPECT_TRUE(s.server.acceptsConnections()) << failure;
    }

    // The server does not come up on the exchanged file: an ibdata1 of
    // another instance whose log is ahead of this server's.
    TestServer other(s.machine, QStringLiteral("MySQLOther"));
    ASSERT_TRUE(other.installed());
    ASSERT_TRUE(ServiceControl::start(other.name()));
    ASSERT_TRUE(ServiceControl::waitFor(other.name(), ServiceState::Running, testsupport::kServerWait)) << other.log();
    std::string fill = "CREATE DATABASE v; CREATE TABLE v.x (a INT PRIMARY KEY, b TEXT) ENGINE=InnoDB;"
                       "INSERT INTO v.x VALUES (1, REPEAT('z', 500));";
    for (int k = 0; k < 11; ++k)
        fill += "INSERT INTO v.x SELECT a + (SELECT MAX(a) FROM v.x), b FROM v.x;";
    const auto filled = other.sql(fill);
    ASSERT_EQ(filled.status, 0) << filled.output;
    ASSERT_TRUE(ServiceControl::stop(other.name(), testsupport::kServerWait));
    ASSERT_TRUE(engine::fileops::copyVerified(other.ibdata(), s.machine.templateFile(), true));
    for (const QString& entry : backupFolders(s.server.dataDir()))
        QFile::remove(s.server.dataDir() + QLatin1Char('/') + entry);

    s.e.engine.m_serviceTimeoutMs = 30000;
    EXPECT_FALSE(s.e.engine.ExchangeIbdataAndRestart());
    EXPECT_NE(s.server.log().find("is in the future"), std::string::npos) << s.server.log();
    // The repair's log says why, with the server's numbers.
    const QRegularExpression why(QStringLiteral(
        "^The server refused the ibdata1 put in place for the repair: its pages are ahead of the server's redo log "
        "\\(a page at log sequence number (\\d+), the log at (\\d+)\\), as .*server\\.log says\\."));
    const QStringList reasons = s.e.report.log().filter(why);
    ASSERT_EQ(reasons.size(), 1) << s.e.report.log().join(QLatin1Char('\n')).toStdString();
    const QRegularExpressionMatch numbers = why.match(reasons.front());
    EXPECT_GT(numbers.captured(1).toULongLong(), numbers.captured(2).toULongLong());
    EXPECT_FALSE(s.e.engine.m_bIbdataExchanged);
    EXPECT_TRUE(s.server.acceptsConnections()) << s.server.log();
    const auto own = s.server.sql("SELECT COUNT(*) FROM own.t");
    EXPECT_EQ(own.output, "3\n") << own.output;
    // Its own file left the backup folder to go back in place.
    const QStringList folders = backupFolders(s.server.dataDir());
    ASSERT_EQ(folders.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(s.server.dataDir() + QLatin1Char('/') + folders.front() + QStringLiteral("/ibdata1")));
    EXPECT_TRUE(s.scripts().isEmpty());
}

} // namespace
