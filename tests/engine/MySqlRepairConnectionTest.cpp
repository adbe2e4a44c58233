#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using engine::AppState;
using engine::MySqlRepair;
using platform::OdbcError;
using testsupport::ScratchServer;

namespace {

TEST(MySqlRepairConnectionText, ConnectionStringAndErrorText)
{
    AppState app;
    MySqlRepair repair(app);
    repair.m_login = {QStringLiteral("dbhost"), QStringLiteral("admin"), QString()};
    app.m_service.m_port = QStringLiteral("3306");
    EXPECT_EQ(repair.ConnectionString(),
              QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=dbhost;Port=3306;DATABASE=mysql;USER=admin;"
                             "PASSWORD=;OPTION=16427;"));

    const struct {
        OdbcError error;
        const char* expected;
    } cases[] = {
        {OdbcError(1064, "You have an error", "SQLSTATE 42000", "full text"),
         "Message : You have an error\nCode : 0x00000428\nSource : SQLSTATE 42000\nDescription : full text\n"},
        {OdbcError(-2147467259, "Unspecified error", QString(), QString()),
         "Message : Unspecified error\nCode : 0x80004005\nSource : null\nDescription : null\n"},
        {OdbcError(1, "x", "y", "this is not a valid password"), "File is password protected"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MySqlRepair::ComErrorText(c.error), QString::fromLatin1(c.expected));
}

TEST(MySqlRepairConnectionText, ValuesThatWouldBreakTheStringAreQuoted)
{
    const struct {
        const char* value;
        const char* expected;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a;b", "{a;b}"},
        {"{open", "{{open}"},
        {"close}", "{close}}}"},
        {"x;{y}=z", "{x;{y}}=z}"},
        {" padded ", "{ padded }"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MySqlRepair::ConnectionStringValue(QString::fromUtf8(c.value)), QString::fromUtf8(c.expected))
            << c.value;
}

// A MySQL server refuses MariaDB's own variables: they go to MariaDB only.
TEST(MySqlRepairConnectionText, SessionSettingsSuitTheServer)
{
    const struct {
        const char* version;
        QStringList settings;
    } cases[] = {
        {"10.11.6-MariaDB-0+deb12u1",
         {"SET time_zone = '+00:00'", "SET check_constraint_checks = 0", "SET innodb_strict_mode = 0"}},
        {"5.5.5-10.6.12-MariaDB-log",
         {"SET time_zone = '+00:00'", "SET check_constraint_checks = 0", "SET innodb_strict_mode = 0"}},
        {"8.0.36", {"SET time_zone = '+00:00'", "SET innodb_strict_mode = 0"}},
        {"5.7.44-log", {"SET time_zone = '+00:00'", "SET innodb_strict_mode = 0"}},
        {"", {"SET time_zone = '+00:00'", "SET innodb_strict_mode = 0"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MySqlRepair::SessionSettings(QString::fromLatin1(c.version)), c.settings) << c.version;
}

class MySqlRepairConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ScratchServer server = ScratchServer::fromEnvironment();
        ASSERT_TRUE(server.running());
        m_repair.m_login = {server.host, server.user, server.password};
        m_app.m_service.m_port = server.port;
    }

    AppState m_app;
    MySqlRepair m_repair{m_app};
};

TEST_F(MySqlRepairConnectionTest, ReopeningReplaysTheUseStatement)
{
    m_repair.OpenConnection();
    m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS conn_test"));
    m_repair.RunStatement(QStringLiteral("CREATE DATABASE conn_test"));
    m_repair.m_strUseStatement = QStringLiteral("use conn_test");
    m_repair.CloseConnection();
    m_repair.OpenConnection();
    m_repair.RunStatement(QStringLiteral("CREATE TABLE t (ts TIMESTAMP NULL)"));
    m_repair.RunStatement(QStringLiteral("INSERT INTO t VALUES ('2020-01-01 00:00:00')"));
    const auto rows = m_repair.m_connection->query(
        QStringLiteral("SELECT UNIX_TIMESTAMP(ts), DATABASE() FROM conn_test.t"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], QStringLiteral("1577836800")) << "the session works in UTC";
    EXPECT_EQ(*rows[0][1], QStringLiteral("conn_test"));
    m_repair.RunStatement(QStringLiteral("DROP DATABASE conn_test"));
}

TEST_F(MySqlRepairConnectionTest, FailuresReachTheNextStatementOnly)
{
    m_app.m_bConnected = true;
    m_repair.CloseConnection(); // no connection yet
    EXPECT_FALSE(m_app.m_bConnected);
    EXPECT_THROW(m_repair.RunStatement(QStringLiteral("SELECT 1")), OdbcError);

    m_app.m_service.m_port = QStringLiteral("1"); // the server is not there
    EXPECT_NO_THROW(m_repair.OpenConnection());
    EXPECT_THROW(m_repair.RunStatement(QStringLiteral("SELECT 1")), OdbcError);
    m_repair.CloseConnection();
    m_repair.CloseConnection();
}

// The Stop command interrupts a statement from another thread without
// waiting for it, and the job's next statement fails.
TEST_F(MySqlRepairConnectionTest, InterruptFromAnotherThreadEndsTheStatementUnderWay)
{
    m_repair.OpenConnection();
    m_app.m_bConnected = true;
    const auto started = std::chrono::steady_clock::now();
    std::thread worker([&] {
        try {
            m_repair.RunStatement(QStringLiteral("SELECT SLEEP(30)"));
        } catch (const OdbcError&) {
            // an interrupted statement may or may not report an error
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto interruptStarted = std::chrono::steady_clock::now();
    m_repair.InterruptConnection();
    EXPECT_LT(std::chrono::steady_clock::now() - interruptStarted, std::chrono::seconds(5))
        << "the GUI thread must not wait for the statement";
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_FALSE(m_app.m_bConnected);
    m_repair.CloseConnection();
    EXPECT_THROW(m_repair.RunStatement(QStringLiteral("SELECT 1")), OdbcError);
}

} // namespace

namespace {

// A password holding the characters that end or quote a connection-string
// value still logs in.
TEST_F(MySqlRepairConnectionTest, APasswordWithSemicolonAndBracesConnects)
{
    m_repair.OpenConnection();
    const QString password = QStringLiteral("p;w{d}}x;OPTION=0");
    m_repair.RunStatement(QStringLiteral("DROP USER IF EXISTS 'quoted_pw'@'%'"));
    m_repair.RunStatement(QStringLiteral("CREATE USER 'quoted_pw'@'%' IDENTIFIED BY '%1'").arg(password));
    m_repair.RunStatement(QStringLiteral("GRANT SELECT ON mysql.* TO 'quoted_pw'@'%'"));
    m_repair.CloseConnection();

    AppState app;
    app.m_service.m_port = m_app.m_service.m_port;
    MySqlRepair other(app);
    other.m_login = {m_repair.m_login.m_host, QStringLiteral("quoted_pw"), password};
    other.OpenConnection();
    ASSERT_NO_THROW(other.RunStatement(QStringLiteral("SELECT 1"))) << "no connection with the quoted password";
    const auto rows = other.m_connection->query(QStringLiteral("SELECT CURRENT_USER()"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], QStringLiteral("quoted_pw@%"));
    other.CloseConnection();

    other.m_login.m_password = QStringLiteral("p;w{d}x");
    other.OpenConnection();
    EXPECT_THROW(other.RunStatement(QStringLiteral("SELECT 1")), OdbcError) << "a wrong password must not connect";

    m_repair.OpenConnection();
    m_repair.RunStatement(QStringLiteral("DROP USER 'quoted_pw'@'%'"));
}

// A Stop that lands just before a statement starts still stops it: the
// interrupted connection runs nothing more, and only a new one does.
TEST_F(MySqlRepairConnectionTest, AnInterruptBetweenStatementsStopsTheNextOne)
{
    m_repair.OpenConnection();
    m_repair.RunStatement(QStringLiteral("SELECT 1"));
    m_repair.InterruptConnection();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(m_repair.RunStatement(QStringLiteral("SELECT SLEEP(30)")), OdbcError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    m_repair.CloseConnection();
    m_repair.OpenConnection();
    EXPECT_NO_THROW(m_repair.RunStatement(QStringLiteral("SELECT 1")));
    m_repair.CloseConnection();
}

// Inside a repair every new connection can be interrupted by the Stop
// command, not only the first one.
TEST_F(MySqlRepairConnectionTest, EveryConnectionOfARepairCountsAsConnected)
{
    m_repair.m_bRepairRunning = true;
    for (int table = 0; table < 2; ++table) {
        m_repair.CloseConnection();
        EXPECT_FALSE(m_app.m_bConnected);
        m_repair.OpenConnection();
        EXPECT_TRUE(m_app.m_bConnected) << "table " << table;
    }
    m_repair.m_bRepairRunning = false;
    m_repair.CloseConnection();
    m_repair.OpenConnection();
    EXPECT_FALSE(m_app.m_bConnected) << "outside a repair the Stop command has no connection to interrupt";
    m_repair.CloseConnection();
}

} // namespace
