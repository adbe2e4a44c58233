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
