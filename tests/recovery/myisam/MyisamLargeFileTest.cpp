// Positions past 4 GiB: a data file whose records lie beyond 2^32 bytes is
// read there, without writing 4 GiB (a sparse copy).
#include "tests/recovery/myisam/MyisamTestSupport.h"
#include "tests/support/SharedFixtures.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

TEST(MyisamLargeFile, RecordsPastFourGibibytesAreRead)
{
    const QString source = myisamtest::fixturesFolder("default") + "fx_myisam/";
    if (!QFileInfo::exists(source))
        GTEST_SKIP() << "fixtures not built";
    const struct {
        const char* table;
        std::uint64_t at; // where the table's data starts in the large file
        std::size_t rows;
    } cases[] = {
        // fixed_rows: 63-byte slots; blobs: dynamic rows, no split records.
        {"fixed_rows", (std::uint64_t{5} << 30) + 63 * 1000, 36},
        {"blobs", (std::uint64_t{4} << 30) + 4096, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        myisamtest::ScannedEngine scanned(myisamtest::fixturesFolder("default"), {"fx_myisam"});
        engine::TableInformation* table = scanned.table("fx_myisam", c.table);
        ASSERT_NE(table, nullptr);
        scanned.repair.RecoverMyIsamTable(*table);

        testsupport::TempDir dir;
        QFile original(source + c.table + ".MYD");
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        QFile large(dir.file("large.MYD"));
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.seek(static_cast<qint64>(c.at)));
        large.write(original.readAll());
        large.close();
        ASSERT_GT(QFileInfo(large).size(), qint64{1} << 32);

        // The preview's page job: the page that starts at a far position.
        ASSERT_TRUE(scanned.repair.m_hDataFile.open(dir.file("large.MYD").toStdString()));
        myisamtest::Rows rows = scanned.previewPage(100, *table, c.at);
        EXPECT_EQ(rows.size(), c.rows);
        EXPECT_EQ(scanned.app.m_nPageRecords, 0) << "the data ended";
        EXPECT_EQ(static_cast<std::uint64_t>(scanned.app.m_nNextPageStart), static_cast<std::uint64_t>(QFileInfo(large).size()));
        myisamtest::sortLikeTheServer(rows, scanned.repair.m_columns);
        const auto problems = testsupport::ExpectedRows::load("default", "fx_myisam", c.table)
                                  .compareTable(scanned.repair.m_columns, rows);
        EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    }
}

TEST(MyisamLargeFile, PagingGivesOneHundredRecordsAPageAndAStopEndsTheWalk)
{
    GRISOLT_FOREIGN_FIXTURES(shared);
    const QString foreign = shared + QStringLiteral("/mysql-5.5/");
    myisamtest::ScannedEngine scanned(foreign, {"mysqlsys"});
    engine::TableInformation* table = scanned.table("mysqlsys", "help_topic");
    ASSERT_NE(table, nullptr);
    const auto firstPage = scanned.previewFirstPage(*table);
    const auto total = scanned.app.m_nTotalRecords;
    ASSERT_GT(total, 200);
    EXPECT_EQ(firstPage.size(), 100u);
    EXPECT_EQ(scanned.repair.m_dataPages, std::vector<std::uint64_t>{0});
    EXPECT_EQ(scanned.repair.m_pageRows.size(), 100 * scanned.repair.m_columns.size());
    const auto secondPage = static_cast<std::uint64_t>(scanned.app.m_nNextPageStart);
    EXPECT_GT(secondPage, 0u);

    // The stop request ends the walk before its next record.
    int steps = 0;
    scanned.report.m_onSend = [&](const auto& sent) {
        if (sent.message == engine::WM_STATUS_PROGRESS && sent.wParam == engine::PROGRESS_STEP && ++steps == 10)
            scanned.app.m_bStop = true;
    };
    EXPECT_EQ(scanned.previewPage(100, *table, secondPage).size(), 10u);
    scanned.app.m_bStop = false;
    scanned.report.m_onSend = nullptr;

    // The page from the same start again, then the rest to the end.
    std::size_t seen = 100;
    std::uint64_t start = secondPage;
    while (true) {
        const std::size_t shown = scanned.previewPage(100, *table, start).size();
        seen += shown;
        start = static_cast<std::uint64_t>(scanned.app.m_nNextPageStart);
        if (scanned.app.m_nPageRecords == 0 || shown == 0)
            break;
    }
    EXPECT_EQ(static_cast<std::int64_t>(seen), total);
}

} // namespace
