#include "platform/ServiceControl.h"

#include "tests/support/EnvironmentServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

using platform::ServiceControl;
using platform::ServiceState;
using testsupport::TestMachine;
using testsupport::TestServer;

namespace {

constexpr auto kShort = std::chrono::seconds(10);

// Gone, or a zombie: it has exited and holds no file any more; whoever
// inherited it may not have collected it yet.
bool processGone(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const QByteArray stat = testsupport::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat.at(close + 2) == 'Z';
}

// Stand-in services; the tag makes each command line unique, so that no
// test takes another's process for its own.
QString sleeper(const QString& tag)
{
    return QStringLiteral("/bin/sleep 1000.%1%2").arg(::getpid()).arg(tag);
}

QString termIgnorer(const QString& tag)
{
    return QStringLiteral("/bin/bash -c \"trap '' TERM; while :; do sleep 0.2; done\" ignorer%1%2").arg(::getpid()).arg(tag);
}

// A stand-in server: it listens on a TCP port or a local socket at once but
// greets the connections it takes (with one byte) only after readyAfter
// seconds, and on SIGTERM writes to its note whether it was ready then.
QString standInServer(const TestMachine& machine, const QString& kind, const QString& where, double readyAfter,
                      const QString& note)
{
    const QString script = machine.dir().write(QStringLiteral("stand-in-server.py"), QByteArrayLiteral(R"(
import signal, socket, sys, time
kind, where, ready_after, note = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
started = time.monotonic()
def term(*_):
    with open(note, 'w') as f:
        f.write('ready' if time.monotonic() - started >= ready_after else 'starting')
    sys.exit(0)
signal.signal(signal.SIGTERM, term)
if kind == 'tcp':
    s = socket.socket()
    s.bind(('127.0.0.1', int(where)))
else:
    s = socket.socket(socket.AF_UNIX)
    s.bind(where)
s.listen(16)
while time.monotonic() - started < ready_after:
    time.sleep(0.05)
while True:
    c, _ = s.accept()
    c.sendall(b'\x0a')
    c.close()
)"));
    return QStringLiteral("/usr/bin/python3 %1 %2 %3 %4 %5").arg(script, kind, where).arg(readyAfter).arg(note);
}

std::string sc(const QString& args)
{
    return std::string(GRISOLT_SC_PATH) + " " + args.toStdString();
}

TEST(ServiceControlTest, NamesResolveByKeyOrDisplayName)
{
    TestMachine machine;
    machine.addService(QStringLiteral("MySQLDummy"), sleeper(QStringLiteral("1")), QStringLiteral("Dummy Server"));
    EXPECT_EQ(ServiceControl::resolve(QStringLiteral("MySQLDummy")), QStringLiteral("MySQLDummy"));
    EXPECT_EQ(ServiceControl::resolve(QStringLiteral("mysqldummy")), QStringLiteral("MySQLDummy"));
    EXPECT_EQ(ServiceControl::resolve(QStringLiteral("Dummy Server")), QStringLiteral("MySQLDummy"));
    EXPECT_EQ(ServiceControl::resolve(QStringLiteral("Nobody")), QString());
    EXPECT_EQ(ServiceControl::resolve(QString()), QString());
    EXPECT_EQ(ServiceControl::query(QStringLiteral("Nobody")), ServiceState::Unknown);
    QString error;
    EXPECT_FALSE(ServiceControl::start(QStringLiteral("Nobody"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ServiceControlTest, StartRunsDetachedAndStopLeavesNoProcess)
{
    TestMachine machine;
    const QString name = QStringLiteral("MySQLDummy");
    machine.addService(name, sleeper(QStringLiteral("2")), name);
    EXPECT_EQ(ServiceControl::query(name), ServiceState::Stopped);

    QString error;
    ASSERT_TRUE(ServiceControl::start(name, &error)) << error.toStdString();
    const pid_t pid = ServiceControl::processId(name);
    ASSERT_GT(pid, 0);
    // Its own session and process group, and not our child: it outlives
    // whoever started it.
    EXPECT_EQ(::getsid(pid), pid);
    EXPECT_EQ(::getpgid(pid), pid);
    EXPECT_FALSE(ServiceControl::start(name, &error)) << "a second start must be refused";
    // It listens on nothing, so it never counts as running.
    EXPECT_EQ(ServiceControl::query(name), ServiceState::StartPending);
    EXPECT_FALSE(ServiceControl::waitFor(name, ServiceState::Running, std::chrono::milliseconds(300)));

    ASSERT_TRUE(ServiceControl::stop(name, kShort, &error)) << error.toStdString();
    EXPECT_TRUE(processGone(pid));
    EXPECT_EQ(ServiceControl::query(name), ServiceState::Stopped);
    EXPECT_EQ(ServiceControl::processId(name), 0);
    // Stopping a stopped service succeeds at once.
    EXPECT_TRUE(ServiceControl::stop(name, std::chrono::milliseconds(0)));
}

TEST(ServiceControlTest, AProcessThatIgnoresTheStopIsNeverCalledStopped)
{
    TestMachine machine;
    const QString name = QStringLiteral("MySQLStubborn");
    machine.addService(name, termIgnorer(QStringLiteral("3")), name);
    ASSERT_TRUE(ServiceControl::start(name));
    const pid_t pid = ServiceControl::processId(name);
    ASSERT_GT(pid, 0);
    // Let bash install its trap before the signal comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    QString error;
    EXPECT_FALSE(ServiceControl::stop(name, std::chrono::milliseconds(800), &error));
    EXPECT_FALSE(processGone(pid));
    EXPECT_EQ(ServiceControl::query(name), ServiceState::StopPending);

    ::kill(-pid, SIGKILL);
    EXPECT_TRUE(ServiceControl::waitFor(name, ServiceState::Stopped, kShort));
}

TEST(ServiceControlTest, ACommandThatCannotRunIsReportedAtStart)
{
    TestMachine machine;
    struct Case {
        const char* imagePath;
    } cases[] = {
        {"/nonexistent/grisolt/mariadbd --defaults-file=/nonexistent/my.ini"},
        {"grisolt-no-such-program-anywhere"},
        {"/etc/hostname"}, // exists, but cannot be executed
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("MySQLBroken%1").arg(n++);
        machine.addService(name, QString::fromLatin1(c.imagePath), name);
        QString error;
        EXPECT_FALSE(ServiceControl::start(name, &error)) << c.imagePath;
        EXPECT_FALSE(error.isEmpty()) << c.imagePath;
        EXPECT_EQ(ServiceControl::query(name), ServiceState::Stopped) << c.imagePath;
    }
}

TEST(ServiceControlTest, AServerStartedElsewhereWithTheSameCommandLineIsFound)
{
    TestMachine machine;
    const QString name = QStringLiteral("MySQLAdopted");
    const QString command = sleeper(QStringLiteral("4"));
    machine.addService(name, command, name);
    ASSERT_EQ(testsupport::runCommand("setsid " + command.toStdString() + " </dev/null >/dev/null 2>&1 &").status, 0);
    ASSERT_TRUE(ServiceControl::waitFor(name, ServiceState::StartPending, kShort));
    const pid_t pid = ServiceControl::processId(name);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(ServiceControl::stop(name, kShort));
    EXPECT_TRUE(processGone(pid));
}

TEST(ServiceControlTest, ScProgramQueriesStopsAndStarts)
{
    TestMachine machine;
    const QString name = QStringLiteral("MySQLDummy");
    machine.addService(name, sleeper(QStringLiteral("5")), QStringLiteral("Dummy Server"));

    struct Step {
        QString args;
        int status;
        const char* shows;
    } steps[] = {
        {QStringLiteral("query MySQLDummy"), 0, "STOPPED"},
        {QStringLiteral("start 'Dummy Server'"), 0, "START_PENDING"},
        {QStringLiteral("query 'Dummy Server'"), 0, "START_PENDING"},
        {QStringLiteral("stop MySQLDummy --timeout=10"), 0, "STOPPED"},
        {QStringLiteral("query NoSuchService"), 1, "does not exist"},
        {QStringLiteral("frobnicate MySQLDummy"), 2, "usage"},
    };
    for (const Step& step : steps) {
        const auto result = testsupport::runCommand(sc(step.args));
        EXPECT_EQ(result.status, step.status) << step.args.toStdString() << "\n" << result.output;
        EXPECT_NE(result.output.find(step.shows), std::string::npos) << step.args.toStdString() << "\n" << result.output;
    }
    EXPECT_EQ(ServiceControl::processId(name), 0);
}

TEST(ServiceControlTest, ARealServerRunsOnlyOnceItAcceptsConnectionsAndStopsCleanly)
{
    TestMachine machine;
    TestServer server(machine, QStringLiteral("MySQLReal"));
    ASSERT_TRUE(server.installed());

    QString error;
    ASSERT_TRUE(ServiceControl::start(server.name(), &error)) << error.toStdString();
    ASSERT_TRUE(ServiceControl::waitFor(server.name(), ServiceState::Running, testsupport::kServerWait)) << server.log();
    EXPECT_TRUE(server.acceptsConnections());
    const auto query = testsupport::runCommand(sc(QStringLiteral("query MySQLReal")));
    EXPECT_NE(query.output.find("4  RUNNING"), std::string::npos) << query.output;

    const pid_t pid = ServiceControl::processId(server.name());
    ASSERT_TRUE(ServiceControl::stop(server.name(), testsupport::kServerWait, &error)) << error.toStdString();
    EXPECT_TRUE(processGone(pid));
    EXPECT_NE(server.log().find("Shutdown complete"), std::string::npos);
    EXPECT_FALSE(server.acceptsConnections());
}

} // namespace

namespace {

// A server opens its sockets well before it serves them: only a greeting
// makes it running.
TEST(ServiceControlTest, AProcessRunsOnlyOnceAConnectionIsGreeted)
{
    TestMachine machine;
    struct Case {
        const char* name;
        QString kind;
        QString where;
        double readyAfter;
        bool running;
    } cases[] = {
        {"listens and never greets", QStringLiteral("tcp"), QString::number(testsupport::freePort()), 1e9, false},
        {"greets on a TCP port", QStringLiteral("tcp"), QString::number(testsupport::freePort()), 0, true},
        {"greets on a local socket", QStringLiteral("unix"), machine.dir().file(QStringLiteral("greeter.sock")), 0, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("MySQLStandIn%1").arg(++n);
        machine.addService(name, standInServer(machine, c.kind, c.where, c.readyAfter, machine.dir().file(name)), name);
        ASSERT_TRUE(ServiceControl::start(name));
        QString seen;
        EXPECT_EQ(ServiceControl::waitFor(name, ServiceState::Running, std::chrono::seconds(c.running ? 10 : 3), {}, &seen),
                  c.running)
            << seen.toStdString();
        EXPECT_EQ(ServiceControl::query(name), c.running ? ServiceState::Running : ServiceState::StartPending);
        if (!c.running) {
            EXPECT_TRUE(seen.startsWith(QStringLiteral("START_PENDING from 0.0 s")) && seen.contains(QStringLiteral("gave up at")))
                << seen.toStdString();
        }
        EXPECT_TRUE(ServiceControl::stop(name, kShort));
    }
}

// A server sent a stop between opening its sockets and serving them can
// hang for good: the stop waits until it serves, or for half its time.
TEST(ServiceControlTest, AStopWaitsUntilAStartingServerServes)
{
    TestMachine machine;
    struct Case {
        const char* name;
        double readyAfter;
        std::chrono::milliseconds timeout;
        const char* note;
    } cases[] = {
        {"it serves after 3 s", 3, std::chrono::milliseconds(kShort), "ready"},
        {"it would serve only after the stop's time", 1e9, std::chrono::milliseconds(3000), "starting"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("MySQLStarting%1").arg(++n);
        const QString note = machine.dir().file(name);
        machine.addService(name, standInServer(machine, QStringLiteral("tcp"), QString::number(testsupport::freePort()),
                                               c.readyAfter, note),
                           name);
        ASSERT_TRUE(ServiceControl::start(name));
        ASSERT_FALSE(ServiceControl::waitFor(name, ServiceState::Running, std::chrono::milliseconds(1500)));
        const auto begin = std::chrono::steady_clock::now();
        QString error;
        EXPECT_TRUE(ServiceControl::stop(name, c.timeout, &error)) << error.toStdString();
        EXPECT_LE(std::chrono::steady_clock::now() - begin, c.timeout);
        EXPECT_EQ(testsupport::readAll(note), QByteArray(c.note));
    }
}

// Stopped the moment it was started, a real server is let get ready first,
// then stops cleanly.
TEST(ServiceControlTest, ARealServerStoppedAsItStartsStopsCleanly)
{
    TestMachine machine;
    TestServer server(machine, QStringLiteral("MySQLHasty"));
    ASSERT_TRUE(server.installed());
    QString error;
    ASSERT_TRUE(ServiceControl::start(server.name(), &error)) << error.toStdString();
    const pid_t pid = ServiceControl::processId(server.name());
    ASSERT_TRUE(ServiceControl::stop(server.name(), testsupport::kServerWait, &error))
        << error.toStdString() << server.logTail();
    EXPECT_TRUE(processGone(pid));
    EXPECT_NE(server.log().find("Shutdown complete"), std::string::npos) << server.logTail();
}

} // namespace
