// What the scan and the InnoDB reader say of tables whose rows they leave
// alone: compressed InnoDB pages (ROW_FORMAT=COMPRESSED, PAGE_COMPRESSED),
// an instance whose pages are not of 16 KiB, and other engines' tables. One
// line each names the table and why; no page is called damaged, and reading
// the table (as a preview or a repair does) adds nothing but its count.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScannedEngine.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ScannedEngine;

// Locates each table's rows as the preview and the repair do; returns the
// log lines that adds, but the count of records each ends with.
QStringList readEveryTable(ScannedEngine& scanned, std::map<QString, std::size_t>* dataPages = nullptr)
{
    const qsizetype before = scanned.report.log().size();
    for (const auto& database : scanned.repair.m_databases)
        for (const auto& table : database->m_tables)
            if (table->m_engine == QLatin1String("innodb")) {
                scanned.repair.m_dataPages.clear();
                scanned.repair.LocateInnoDbTableData(*table);
                if (dataPages)
                    (*dataPages)[table->m_name] = scanned.repair.m_dataPages.size();
            }
    QStringList added;
    for (const QString& line : scanned.report.log().mid(before))
        if (!line.startsWith(QLatin1String("Total records present")))
            added << line;
    return added;
}

TEST(ScanStorage, CompressedPagesAndOtherEnginesGetOneLineEach)
{
    for (const char* set : {"legacy", "default"}) {
        SCOPED_TRACE(set);
        const QString data = testsupport::FixtureSet::dataFolder(QLatin1String(set)) + QLatin1Char('/');
        ScannedEngine scanned(data, {QStringLiteral("fx_storage")});
        const QStringList log = scanned.report.log();
        const QString folder = data + QStringLiteral("fx_storage/");
        const struct {
            const char* table;
            QString line;
        } cases[] = {
            {"zip_rows", QStringLiteral("Table %1zip_rows.frm: its rows cannot be read: its pages are compressed "
                                        "(ROW_FORMAT=COMPRESSED, KEY_BLOCK_SIZE=8), which this program does not read.")
                             .arg(folder)},
            {"zip_parts", QStringLiteral("Table %1zip_parts.frm: its rows cannot be read: its pages are compressed "
                                         "(ROW_FORMAT=COMPRESSED, KEY_BLOCK_SIZE=4), which this program does not read.")
                              .arg(folder)},
            {"page_rows", QStringLiteral("Table %1page_rows.frm: its rows cannot be read: its pages are compressed "
                                         "(PAGE_COMPRESSED), which this program does not read.")
                              .arg(folder)},
            {"aria_rows", QStringLiteral("Table %1aria_rows.frm is stored by the Aria engine; its rows cannot be read.")
                              .arg(folder)},
            {"csv_rows", QStringLiteral("Table %1csv_rows.frm is stored by the CSV engine; its rows cannot be read.")
                             .arg(folder)},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.table);
            EXPECT_EQ(log.filter(QLatin1String(c.table)), QStringList{c.line}) << log.join('\n').toStdString();
            const engine::TableInformation* table = scanned.table(QStringLiteral("fx_storage"), QLatin1String(c.table));
            ASSERT_NE(table, nullptr);
            EXPECT_TRUE(table->m_rowsNotRead);
            EXPECT_FALSE(table->columns().empty()) << "the table is still listed with its definition";
        }
        // Tables with a KEY_BLOCK_SIZE on keys only are read as any other.
        EXPECT_TRUE(log.filter(QStringLiteral("kbs_")).isEmpty()) << log.join('\n').toStdString();
        ASSERT_NE(scanned.table(QStringLiteral("fx_storage"), QStringLiteral("kbs_innodb")), nullptr);
        EXPECT_NE(scanned.table(QStringLiteral("fx_storage"), QStringLiteral("kbs_innodb"))->m_rootPage, 0u);

        std::map<QString, std::size_t> dataPages;
        const QStringList added = readEveryTable(scanned, &dataPages);
        EXPECT_TRUE(added.isEmpty()) << added.join('\n').toStdString();
        EXPECT_EQ(dataPages[QStringLiteral("zip_rows")], 0u);
        EXPECT_EQ(dataPages[QStringLiteral("page_rows")], 0u);
        EXPECT_EQ(dataPages[QStringLiteral("zip_parts")], 0u);
        EXPECT_EQ(dataPages[QStringLiteral("aria_rows")], 0u);
        EXPECT_EQ(dataPages[QStringLiteral("kbs_innodb")], 1u);
    }
}

// A server made with innodb_page_size=8k: its InnoDB tables, in files of
// their own or in ibdata1, get the line; its dictionary is not read as
// damaged 16 KiB pages; its MyISAM table is read as ever.
TEST(ScanStorage, AnotherPageSizeGetsItsLine)
{
    const QString data = QStringLiteral(GRISOLT_PAGE_SIZE_FIXTURE_DIR "/data/");
    ScannedEngine scanned(data, {QStringLiteral("fx_pages")});
    const QStringList log = scanned.report.log();
    const QString folder = data + QStringLiteral("fx_pages/");
    for (const char* name : {"in_file", "in_system"})
        EXPECT_EQ(log.filter(QLatin1String(name)),
                  QStringList{QStringLiteral("Table %1%2.frm: its rows cannot be read: its pages are 8 KiB "
                                             "(innodb_page_size); this program reads only pages of 16 KiB.")
                                  .arg(folder, QLatin1String(name))})
            << log.join('\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("dictionary")).isEmpty()) << log.join('\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("plain")).isEmpty()) << log.join('\n').toStdString();
    EXPECT_EQ(log.size(), 3) << log.join('\n').toStdString();

    const QStringList added = readEveryTable(scanned);
    EXPECT_TRUE(added.isEmpty()) << added.join('\n').toStdString();
    engine::TableInformation* plain = scanned.table(QStringLiteral("fx_pages"), QStringLiteral("plain"));
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(plain->m_engine, QStringLiteral("myisam"));
    std::size_t rows = 0;
    scanned.repair.m_rowObserver = [&](const auto&, const auto&) { ++rows; };
    scanned.repair.RecoverMyIsamTable(*plain);
    EXPECT_EQ(rows, 20u);
}

} // namespace
