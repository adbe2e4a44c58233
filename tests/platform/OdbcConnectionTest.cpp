#include "platform/OdbcConnection.h"

#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

using platform::OdbcConnection;
using platform::OdbcError;
using testsupport::ScratchServer;

namespace {

class OdbcConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = ScratchServer::fromEnvironment();
        ASSERT_TRUE(m_server.running()) << "the scratch server is not running";
        // Tests run in parallel processes against one server: a database each.
        m_name = QStringLiteral("odbc_") + QString::fromLatin1(
                     ::testing::UnitTest::GetInstance()->current_test_info()->name()).toLower();
        m_db.open(m_server.connectionString());
        m_db.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + m_name);
        m_db.execute(QStringLiteral("CREATE DATABASE ") + m_name);
        m_db.execute(QStringLiteral("USE ") + m_name);
    }
    void TearDown() override
    {
        if (m_db.isOpen())
            m_db.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + m_name);
    }

    QString m_name;
    ScratchServer m_server;
    OdbcConnection m_db;
};

TEST_F(OdbcConnectionTest, BoundBinaryValuesArriveByteForByte)
{
    m_db.execute(QStringLiteral("CREATE TABLE t (id INT, b LONGBLOB, s TEXT CHARACTER SET latin1, u TEXT CHARACTER SET utf8mb4)"));
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every.append(static_cast<char>(i));
    const struct {
        int id;
        QByteArray blob;
        QByteArray latin1;
        QByteArray utf8;
        const char* hex;
    } cases[] = {
        {1, QByteArray(), QByteArray(), QByteArray(), ""},
        {2, every, QByteArray("caf\xe9", 4), QByteArray("caf\xc3\xa9 \xe2\x82\xac"), nullptr},
        {3, QByteArray(70000, 'x'), QByteArray("it's `q`"), QByteArray("\xf0\x9f\x98\x80"), nullptr},
    };
    // A bound value arrives in the connection's character set; the cast keeps
    // its bytes unchecked so that a latin1 column gets them as they were.
    for (const auto& c : cases)
        m_db.execute(QStringLiteral("INSERT INTO t VALUES (%1, ?, CAST(? AS BINARY), CAST(? AS BINARY))").arg(c.id),
                     {c.blob, c.latin1, c.utf8});

    const auto rows = m_db.query(QStringLiteral("SELECT id, HEX(b), HEX(s), HEX(u) FROM t ORDER BY id"));
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][1]->toLatin1(), cases[i].blob.toHex().toUpper()) << i;
        EXPECT_EQ(rows[i][2]->toLatin1(), cases[i].latin1.toHex().toUpper()) << i;
        EXPECT_EQ(rows[i][3]->toLatin1(), cases[i].utf8.toHex().toUpper()) << i;
    }
}

TEST_F(OdbcConnectionTest, PreparedStatementIsReusedAcrossRowsAndFailures)
{
    m_db.execute(QStringLiteral("CREATE TABLE k (id INT PRIMARY KEY, v VARCHAR(10))"));
    const QString insert = QStringLiteral("INSERT INTO k VALUES (?, ?)");
    m_db.execute(insert, {QByteArray("1"), QByteArray("a")});
    m_db.execute(insert, {QByteArray("2"), std::nullopt});
    try {
        m_db.execute(insert, {QByteArray("1"), QByteArray("dup")});
        FAIL() << "a duplicate key must throw";
    } catch (const OdbcError& error) {
        EXPECT_EQ(error.code(), 1062) << error.message().toStdString();
    }
    m_db.execute(insert, {QByteArray("3"), QByteArray("")});
    const auto rows = m_db.query(QStringLiteral("SELECT id, v FROM k ORDER BY id"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[1][1].has_value());
    EXPECT_EQ(*rows[2][1], QString());
}

TEST_F(OdbcConnectionTest, QueriesReturnNullsAndLongText)
{
    const auto rows = m_db.query(QString::fromUtf8("SELECT NULL, '', REPEAT('ab', 10000), 'd\xc3\xa9j\xc3\xa0'"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0][0].has_value());
    EXPECT_EQ(*rows[0][1], QString());
    EXPECT_EQ(rows[0][2]->size(), 20000);
    EXPECT_EQ(*rows[0][3], QString::fromUtf8("d\xc3\xa9j\xc3\xa0"));
}

TEST_F(OdbcConnectionTest, ErrorsCarryCodeMessageAndState)
{
    try {
        m_db.execute(QStringLiteral("CREATE TABLEX nonsense"));
        FAIL() << "a syntax error must throw";
    } catch (const OdbcError& error) {
        EXPECT_EQ(error.code(), 1064);
        EXPECT_TRUE(error.message().contains(QStringLiteral("SQL syntax"))) << error.message().toStdString();
        EXPECT_EQ(error.source(), QStringLiteral("SQLSTATE 42000"));
        EXPECT_FALSE(error.description().isEmpty());
    }
    // The connection is still usable afterwards.
    EXPECT_EQ(m_db.query(QStringLiteral("SELECT 1")).size(), 1u);
}

TEST(OdbcConnectionFailures, RefusedConnectionAndClosedConnectionThrow)
{
    OdbcConnection db;
    ScratchServer nowhere;
    nowhere.port = QStringLiteral("1"); // nothing listens there
    EXPECT_THROW(db.open(nowhere.connectionString()), OdbcError);
    EXPECT_FALSE(db.isOpen());
    EXPECT_THROW(db.execute(QStringLiteral("SELECT 1")), OdbcError);
    db.close(); // closing a closed connection is harmless
}

} // namespace
