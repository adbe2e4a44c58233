// Every MyISAM table of the fixture data folders, read through the engine's
// preview page after page and compared value by value with what the server
// returned for it.
#include "tests/recovery/myisam/MyisamTestSupport.h"

#include <gtest/gtest.h>

namespace {

using myisamtest::ScannedEngine;

struct FixtureTable {
    const char* folder;   // on disk
    const char* database; // as the server names it
    const char* table;
    std::size_t rows;
};

const FixtureTable kTables[] = {
    {"fx_myisam", "fx_myisam", "all_types", 5},
    {"fx_myisam", "fx_myisam", "blobs", 6},
    {"fx_myisam", "fx_myisam", "checksum_fixed", 30},
    {"fx_myisam", "fx_myisam", "checksum_rows", 38},
    {"fx_myisam", "fx_myisam", "defaults", 3},
    {"fx_myisam", "fx_myisam", "dyn_rows", 28},
    {"fx_myisam", "fx_myisam", "empty_table", 0},
    {"fx_myisam", "fx_myisam", "fixed_rows", 36},
    {"fx_myisam", "fx_myisam", "value_forms", 5},
    {"fx@0020names", "fx names", "slash/name", 1},
    {"fx@0020names", "fx names", "tab with space", 3},
    {"fx_objects", "fx_objects", "orders", 4},
    {"fx_mariadb", "fx_mariadb", "compressed_myisam", 7},
};

class MyisamFixture : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(myisamtest::fixturesFolder(GetParam())))
            GTEST_SKIP() << "fixtures not built";
    }
};

TEST_P(MyisamFixture, EveryTableReadsAsTheServerReturnedIt)
{
    const QString set = GetParam();
    QStringList folders;
    for (const auto& t : kTables)
        if (!folders.contains(t.folder))
            folders << t.folder;
    ScannedEngine scanned(myisamtest::fixturesFolder(set), folders);
    for (const auto& t : kTables) {
        SCOPED_TRACE(std::string(t.database) + "." + t.table);
        engine::TableInformation* table = scanned.table(t.database, t.table);
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->m_engine, QStringLiteral("myisam"));
        scanned.report.m_sent.clear();
        int pages = 0;
        auto rows = scanned.previewAllPages(*table, &pages);
        EXPECT_EQ(rows.size(), t.rows);
        myisamtest::sortLikeTheServer(rows, scanned.repair.m_columns);
        const auto expected = testsupport::ExpectedRows::load(set, t.database, t.table);
        const QStringList problems = expected.compareTable(scanned.repair.m_columns, rows);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        // Nothing was damaged, so nothing but the count is logged: no key
        // of the index file is doubted and no row is marked.
        EXPECT_EQ(scanned.report.log(), QStringList{QStringLiteral("Total records present :   %1").arg(t.rows)});
    }
}

// 36 rows of fixed_rows and 28 of dyn_rows fit one page; a table past 100
// rows is paged in tests/recovery/myisam/MyisamEngineTest.cpp.
INSTANTIATE_TEST_SUITE_P(Sets, MyisamFixture, ::testing::Values("legacy", "default"));

} // namespace
