#include "engine/RowWriter.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

using engine::AppState;
using engine::MySqlRepair;
using engine::RowValue;
using engine::RowWriter;
using engine::tempColInfo;

namespace {

tempColInfo column(const char* name, engine::ColumnTypeCode code)
{
    tempColInfo c;
    c.m_name = QString::fromUtf8(name);
    c.m_typeCode = code;
    return c;
}

TEST(RowWriterText, NamesAreQuotedAndTheStatementIsFixedPerTable)
{
    EXPECT_EQ(RowWriter::QuoteName(QStringLiteral("it's `q`")), QStringLiteral("`it's ``q```"));
    AppState app;
    MySqlRepair repair(app);
    const std::vector<tempColInfo> columns = {column("id", engine::TYPE_INT), column("na`me", engine::TYPE_VARCHAR),
                                              column("d", engine::TYPE_DATE)};
    RowWriter writer(repair, QStringLiteral("t"), columns);
    EXPECT_EQ(writer.statement(),
              QStringLiteral("insert into `t` (`id`, `na``me`, `d`) values(? ,CAST(? AS BINARY) ,?)"));
}

TEST(RowWriterText, GeneratedColumnsAreLeftToTheServer)
{
    AppState app;
    MySqlRepair repair(app);
    std::vector<tempColInfo> columns = {column("g1", engine::TYPE_INT), column("id", engine::TYPE_INT),
                                        column("g2", engine::TYPE_VARCHAR), column("s", engine::TYPE_VARCHAR)};
    columns[0].m_generated = true;
    columns[2].m_generated = true;
    RowWriter writer(repair, QStringLiteral("t"), columns);
    EXPECT_EQ(writer.statement(), QStringLiteral("insert into `t` (`id`, `s`) values(? ,CAST(? AS BINARY))"));
    // The preview still shows what the record holds for them.
    EXPECT_TRUE(writer.Write({RowValue::Text(QStringLiteral("2")), RowValue::Text(QStringLiteral("1")),
                              RowValue::Text(QStringLiteral("x!")), RowValue::Text(QStringLiteral("x"))}));
    ASSERT_EQ(repair.m_pageRows.size(), 4u);
    EXPECT_EQ(repair.m_pageRows[2].m_columnName, QStringLiteral("g2"));
    EXPECT_EQ(repair.m_pageRows[2].m_value, QStringLiteral("x!"));
}

TEST(RowWriterPreview, AppendsOnePairPerColumn)
{
    AppState app;
    MySqlRepair repair(app);
    const std::vector<tempColInfo> columns = {column("a", engine::TYPE_INT), column("b", engine::TYPE_VARCHAR)};
    RowWriter writer(repair, QStringLiteral("t"), columns);
    EXPECT_TRUE(writer.Write({RowValue::Text(QStringLiteral("5")), RowValue::Null()}));
    ASSERT_EQ(repair.m_pageRows.size(), 2u);
    EXPECT_EQ(repair.m_pageRows[0].m_columnName, QStringLiteral("a"));
    EXPECT_EQ(repair.m_pageRows[0].m_value, QStringLiteral("5"));
    EXPECT_EQ(repair.m_pageRows[1].m_value, QStringLiteral("null"));
}

class RowWriterRepair : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto server = testsupport::ScratchServer::fromEnvironment();
        ASSERT_TRUE(server.running());
        m_app.m_bRepair = true;
        m_app.m_service.m_port = server.port;
        m_repair.m_login = {server.host, server.user, server.password};
        m_repair.m_hWndReport = &m_report;
        m_repair.OpenConnection();
        m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS rowwriter_test"));
        m_repair.RunStatement(QStringLiteral("CREATE DATABASE rowwriter_test"));
        m_repair.m_strUseStatement = QStringLiteral("use rowwriter_test");
        m_repair.RunStatement(m_repair.m_strUseStatement);
    }
    void TearDown() override { m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS rowwriter_test")); }

    AppState m_app;
    MySqlRepair m_repair{m_app};
    testsupport::RecordingReportWindow m_report{m_app};
};

TEST_F(RowWriterRepair, EveryKindOfValueArrivesIntactAndFailuresAreCounted)
{
    m_repair.RunStatement(QString::fromUtf8(
        "CREATE TABLE `it's \"q\"` (id INT PRIMARY KEY, `we``ird` VARCHAR(20) CHARACTER SET latin1, "
        "u TEXT CHARACTER SET utf8mb4, d DATE, e ENUM('a''b','c'), bits BIT(12), n DECIMAL(10,2))"));
    const std::vector<tempColInfo> columns = {
        column("id", engine::TYPE_INT),  column("we`ird", engine::TYPE_VARCHAR), column("u", engine::TYPE_TEXT),
        column("d", engine::TYPE_DATE), column("e", engine::TYPE_ENUM),        column("bits", engine::TYPE_BIT),
        column("n", engine::TYPE_DECIMAL)};
    RowWriter writer(m_repair, QString::fromUtf8("it's \"q\""), columns);
    const auto row = [](const char* id, RowValue text) {
        return std::vector<RowValue>{RowValue::Text(QString::fromLatin1(id)),
                                     text,
                                     RowValue::Stored(QByteArray("\xf0\x9f\x98\x80"), QString()),
                                     RowValue::Text(QStringLiteral("2024-02-29")),
                                     RowValue::Text(QStringLiteral("a'b")),
                                     RowValue::Stored(QByteArray("\x0f\xff", 2), QStringLiteral("4095")),
                                     RowValue::Text(QStringLiteral("-12.50"))};
    };
    EXPECT_TRUE(writer.Write(row("1", RowValue::Stored(QByteArray("caf\xe9 ' \\ `"), QString()))));
    EXPECT_TRUE(writer.Write(row("2", RowValue::Null())));
    EXPECT_FALSE(writer.Write(row("1", RowValue::Null()))) << "duplicate key";
    EXPECT_EQ(m_repair.m_rowsWritten, 2u);
    EXPECT_EQ(writer.rowsFailed(), 1u);
    ASSERT_EQ(m_report.log().size(), 1);
    EXPECT_TRUE(m_report.log()[0].contains(QStringLiteral("Code : 0x00000426"))) << m_report.log()[0].toStdString();

    const auto rows = m_repair.m_connection->query(QString::fromUtf8(
        "SELECT HEX(`we``ird`), HEX(u), d, e, bits + 0, n FROM `it's \"q\"` ORDER BY id"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(*rows[0][0], QStringLiteral("636166E92027205C2060"));
    EXPECT_EQ(*rows[0][1], QStringLiteral("F09F9880"));
    EXPECT_EQ(*rows[0][2], QStringLiteral("2024-02-29"));
    EXPECT_EQ(*rows[0][3], QStringLiteral("a'b"));
    EXPECT_EQ(*rows[0][4], QStringLiteral("4095"));
    EXPECT_EQ(*rows[0][5], QStringLiteral("-12.50"));
    EXPECT_FALSE(rows[1][0].has_value());
}

} // namespace
