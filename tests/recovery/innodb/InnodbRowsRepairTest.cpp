// InnoDB fixture tables rebuilt on the scratch server through the engine's
// repair mode, checked with CHECKSUM TABLE against the original.
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"
#include "tests/support/ScratchServer.h"

#include <QFile>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using testsupport::ExpectedRows;

using innodbrows::caseName;
using RepairCase = innodbrows::TableCase;

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

class InnodbRowsRepairTest : public testing::TestWithParam<RepairCase> {
protected:
    void SetUp() override
    {
        const RepairCase c = GetParam();
        m_scanned = innodbrows::scan(testsupport::FixtureSet::dataFolder(QLatin1String(c.set)),
                                     {QLatin1String(c.database)});
        const auto server = testsupport::ScratchServer::fromEnvironment();
        ASSERT_TRUE(server.running());
        // One database per test: the tests of a table run side by side.
        const char kind = testing::UnitTest::GetInstance()->current_test_info()->name()[0];
        m_database = QStringLiteral("innodb_rows_%1_%2_%3_%4")
                         .arg(QLatin1String(c.set), QLatin1String(c.database), QLatin1String(c.table))
                         .arg(QLatin1Char(kind));
        auto& repair = m_scanned->repair;
        m_scanned->app.m_bRepair = true;
        m_scanned->app.m_service.m_port = server.port;
        repair.m_login = {server.host, server.user, server.password};
        repair.OpenConnection();
        if (!repair.m_connection->isOpen()) {
            try {
                platform::OdbcConnection probe;
                probe.open(repair.ConnectionString());
            } catch (const platform::OdbcError& error) {
                FAIL() << engine::MySqlRepair::ComErrorText(error).toStdString();
            }
        }
        repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + m_database);
        repair.RunStatement(QStringLiteral("CREATE DATABASE ") + m_database);
        repair.m_strUseStatement = QStringLiteral("use ") + m_database;
        repair.RunStatement(repair.m_strUseStatement);
        // The fixture's COMPACT and REDUNDANT tables were made this way too.
        repair.RunStatement(QStringLiteral("SET SESSION innodb_strict_mode = OFF"));
    }
    void TearDown() override
    {
        if (m_scanned && m_scanned->repair.m_connection && qEnvironmentVariableIsEmpty("GRISOLT_KEEP_DATABASES"))
            m_scanned->repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + m_database);
    }

    QString expectedFile(const char* suffix) const
    {
        const RepairCase c = GetParam();
        return testsupport::FixtureSet::expectedFile(QLatin1String(c.set), QLatin1String(c.database),
                                                     QLatin1String(c.table), QLatin1String(suffix));
    }

    std::unique_ptr<innodbrows::Scanned> m_scanned;
    QString m_database;
};

TEST_P(InnodbRowsRepairTest, RebuiltTableHasTheOriginalsChecksum)
{
    const RepairCase c = GetParam();
    auto& repair = m_scanned->repair;
    engine::TableInformation* table = m_scanned->table(QLatin1String(c.database), QLatin1String(c.table));
    ASSERT_NE(table, nullptr);
    repair.RunStatement(readText(expectedFile(".create.sql")));

    repair.LocateInnoDbTableData(*table);
    repair.m_rowsWritten = 0;
    for (std::uint64_t page : repair.m_dataPages)
        repair.RecoverInnoDbRows(page, *table);
    EXPECT_EQ(repair.m_rowsWritten, static_cast<std::uint32_t>(m_scanned->app.m_nTotalRecords));
    EXPECT_EQ(repair.m_rowsFailed, 0u) << m_scanned->report.log().join(QLatin1Char('\n')).toStdString();

    // The server's own SELECT of the original, run on the rebuilt table.
    QString select = readText(expectedFile(".rows.sql"));
    select.replace(QStringLiteral("`%1`.").arg(QLatin1String(c.database)), QString());
    const ExpectedRows expected = ExpectedRows::load(QLatin1String(c.set), QLatin1String(c.database),
                                                     QLatin1String(c.table));
    const auto rebuilt = repair.m_connection->query(select);
    ASSERT_EQ(rebuilt.size(), expected.rows().size());
    for (std::size_t r = 0; r < rebuilt.size(); ++r)
        EXPECT_TRUE(rebuilt[r] == expected.rows()[r]) << "row " << r;

    // The scratch server writes the current temporal formats; a table of the
    // older ones (the legacy set) has other bytes and so another checksum.
    if (QLatin1String(c.set) == QLatin1String("default")) {
        const auto rows = repair.m_connection->query(QStringLiteral("CHECKSUM TABLE `%1`").arg(QLatin1String(c.table)));
        ASSERT_EQ(rows.size(), 1u);
        const QString original = readText(expectedFile(".checksum"));
        ASSERT_TRUE(rows[0][1].has_value());
        EXPECT_TRUE(original.endsWith(*rows[0][1])) << "ours " << rows[0][1]->toStdString() << ", server "
                                                     << original.toStdString();
    }
}

TEST_P(InnodbRowsRepairTest, AFailedStatementIsLoggedCountedAndTheNextRowGoesOn)
{
    const RepairCase c = GetParam();
    auto& repair = m_scanned->repair;
    engine::TableInformation* table = m_scanned->table(QLatin1String(c.database), QLatin1String(c.table));
    ASSERT_NE(table, nullptr);
    repair.RunStatement(readText(expectedFile(".create.sql")));
    repair.LocateInnoDbTableData(*table);
    ASSERT_FALSE(repair.m_dataPages.empty());
    if (repair.m_keyColumns.empty())
        GTEST_SKIP() << "no key: a row inserted twice does not fail";
    // The first record is already there: its INSERT fails on the key.
    repair.m_rowsWritten = 0;
    repair.RecoverInnoDbRows(repair.m_dataPages.front(), *table);
    const std::uint32_t firstPage = repair.m_rowsWritten;
    repair.RunStatement(QStringLiteral("DELETE FROM `%1` LIMIT %2").arg(QLatin1String(c.table)).arg(firstPage - 1));
    const auto logBefore = m_scanned->report.log().size();
    repair.m_rowsWritten = 0;
    repair.m_rowsFailed = 0;
    repair.RecoverInnoDbRows(repair.m_dataPages.front(), *table);
    EXPECT_EQ(repair.m_rowsFailed, 1u);
    EXPECT_EQ(repair.m_rowsWritten, firstPage - 1);
    const QStringList log = m_scanned->report.log().mid(logBefore);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains(QLatin1String("Code : ")) && log[0].contains(QLatin1String("Duplicate entry")))
        << log[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, InnodbRowsRepairTest,
    testing::Values(RepairCase{"default", "fx_innodb_sys", "all_types_compact"},
                    RepairCase{"default", "fx_innodb_ibd", "all_types_redundant"},
                    RepairCase{"default", "fx_innodb_ibd", "all_types_dynamic"},
                    RepairCase{"legacy", "fx_innodb_sys", "all_types_dynamic"},
                    RepairCase{"legacy", "fx_innodb_ibd", "all_types_compact"},
                    RepairCase{"default", "fx_innodb_ibd", "offpage_dynamic"},
                    RepairCase{"legacy", "fx_innodb_sys", "offpage_redundant"},
                    RepairCase{"default", "fx_innodb_sys", "big_btree"},
                    RepairCase{"default", "fx_innodb_ibd", "composite_pk"},
                    RepairCase{"default", "fx_innodb_sys", "defaults"},
                    RepairCase{"legacy", "fx_innodb_ibd", "defaults"},
                    RepairCase{"legacy", "fx_innodb_ibd", "no_pk"},
                    RepairCase{"default", "fx_innodb_ibd", "value_forms"},
                    RepairCase{"default", "fx_mariadb", "compressed_innodb"},
                    RepairCase{"legacy", "fx_mariadb", "compressed_innodb"},
                    RepairCase{"default", "fx_mariadb", "instant_add"},
                    RepairCase{"default", "fx_mariadb", "instant_drop"},
                    RepairCase{"default", "fx_mariadb", "instant_after"},
                    RepairCase{"legacy", "fx_mariadb", "instant_redundant"},
                    RepairCase{"default", "fx_mariadb", "instant_redundant_drop"},
                    RepairCase{"default", "fx_mariadb", "instant_nokey"}),
    caseName);

} // namespace
