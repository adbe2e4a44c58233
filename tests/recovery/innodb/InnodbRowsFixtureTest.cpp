// Every InnoDB fixture table read through the engine in preview mode, page
// after page to the end, compared value by value with what the server had.
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using testsupport::ExpectedRows;

using innodbrows::caseName;
using innodbrows::TableCase;

std::map<QString, std::unique_ptr<innodbrows::Scanned>>& scans()
{
    static std::map<QString, std::unique_ptr<innodbrows::Scanned>> cache;
    return cache;
}

innodbrows::Scanned& scanned(const QString& set)
{
    auto& s = scans()[set];
    if (!s)
        s = innodbrows::scan(testsupport::FixtureSet::dataFolder(set),
                             {QStringLiteral("fx_innodb_sys"), QStringLiteral("fx_innodb_ibd"),
                              QStringLiteral("fx_mariadb")});
    return *s;
}

// Rows of a table without a key come in insertion order; the server's
// expectations are sorted by every column. Put ours in the matching order.
void matchOrder(std::vector<std::vector<engine::RowValue>>& rows, const std::vector<engine::tempColInfo>& columns,
                const ExpectedRows& expected)
{
    std::vector<std::vector<engine::RowValue>> ordered;
    for (std::size_t e = 0; e < expected.rows().size(); ++e) {
        for (auto it = rows.begin(); it != rows.end(); ++it) {
            bool same = true;
            for (std::size_t c = 0; same && c < columns.size(); ++c)
                same = expected.mismatch(e, columns[c].m_name, (*it)[c]).isEmpty();
            if (same) {
                ordered.push_back(std::move(*it));
                rows.erase(it);
                break;
            }
        }
    }
    for (auto& rest : rows)
        ordered.push_back(std::move(rest));
    rows = std::move(ordered);
}

class InnodbRowsFixtureTest : public testing::TestWithParam<TableCase> {};

TEST_P(InnodbRowsFixtureTest, PreviewPagesGiveTheServersRows)
{
    const TableCase c = GetParam();
    innodbrows::Scanned& s = scanned(QLatin1String(c.set));
    engine::TableInformation* table = s.table(QLatin1String(c.database), QLatin1String(c.table));
    ASSERT_NE(table, nullptr);
    const ExpectedRows expected = ExpectedRows::load(QLatin1String(c.set), QLatin1String(c.database),
                                                     QLatin1String(c.table));
    const auto logBefore = s.report.log().size();

    s.app.m_bRepair = false;
    // Off-page values read whole, as a repair reads them; the placeholders
    // a preview shows for them are checked below.
    s.repair.m_bWholeValues = true;
    s.repair.LocateInnoDbTableData(*table);
    EXPECT_EQ(static_cast<std::size_t>(s.app.m_nTotalRecords), expected.rows().size());
    std::vector<std::vector<engine::RowValue>> rows;
    // The values as decoded: binary ones keep their bytes, which the server's
    // HEX() of them is compared with.
    std::vector<std::vector<engine::RowValue>> page;
    s.repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>&, const std::vector<engine::RowValue>& values) {
        page.push_back(values);
    };
    struct ObserverReset {
        engine::MySqlRepair& repair;
        ~ObserverReset() { repair.m_rowObserver = nullptr; }
    } observerReset{s.repair};
    s.app.m_nPage = 0;
    int previewPages = 0;
    while (s.app.m_nPage < static_cast<std::int32_t>(s.repair.m_dataPages.size())) {
        s.repair.m_pageRows.clear();
        page.clear();
        s.repair.RecoverInnoDbRows(s.repair.m_dataPages[static_cast<std::size_t>(s.app.m_nPage)], *table);
        innodbrows::expectShownAsDecoded(s.repair, page);
        const bool last = s.app.m_nPage + s.app.m_nPagesMerged + 1 >= static_cast<std::int32_t>(s.repair.m_dataPages.size());
        if (!last) {
            EXPECT_GE(page.size(), 100u) << "preview page " << previewPages;
        }
        for (auto& row : page)
            rows.push_back(std::move(row));
        s.app.m_nPage += 1 + s.app.m_nPagesMerged;
        ++previewPages;
        ASSERT_LT(previewPages, 10000);
    }
    // Every column the server returned is compared, but a virtual one: it is
    // in no record, the server computes it when read.
    for (const QString& name : expected.columnNames()) {
        const bool read = std::any_of(s.repair.m_columns.begin(), s.repair.m_columns.end(),
                                      [&](const engine::tempColInfo& c) { return c.m_name == name; });
        const bool isVirtual = std::any_of(table->columns().begin(), table->columns().end(), [&](const auto& c) {
            return c->m_name == name && c->m_generated == engine::Generated::Virtual;
        });
        EXPECT_NE(read, isVirtual) << name.toStdString();
    }
    if (s.repair.m_keyColumns.empty())
        matchOrder(rows, s.repair.m_columns, expected);
    const QStringList problems = expected.compareTable(s.repair.m_columns, rows);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    const QStringList log = s.report.log().mid(logBefore);
    for (const QString& line : log)
        EXPECT_FALSE(line.contains(QLatin1String("damaged"))) << line.toStdString();
}

// The preview shows each off-page value's placeholder and every other value
// as it is; the id column is first in each record.
TEST(InnodbRowsFixturePlaceholders, OffPageValuesShowTheirPlaceholders)
{
    const QString blob = QStringLiteral("Large data of Blob or Tinyblob or Mediumblob or Longblob");
    const QString text = QStringLiteral("Large data of text  or Mediumtext or Longtext");
    for (const char* set : {"legacy", "default"}) {
        innodbrows::Scanned& s = scanned(QLatin1String(set));
        for (const char* db : {"fx_innodb_sys", "fx_innodb_ibd"})
            for (const char* name : {"offpage_compact", "offpage_redundant", "offpage_dynamic"}) {
                SCOPED_TRACE(std::string(set) + "/" + db + "/" + name);
                engine::TableInformation* table = s.table(QLatin1String(db), QLatin1String(name));
                ASSERT_NE(table, nullptr);
                const auto read = [&](bool whole) {
                    s.repair.m_bWholeValues = whole;
                    s.repair.LocateInnoDbTableData(*table);
                    s.repair.m_pageRows.clear();
                    s.app.m_nPage = 0;
                    s.repair.RecoverInnoDbRows(s.repair.m_dataPages.at(0), *table);
                    s.repair.m_bWholeValues = false;
                    return s.repair.m_pageRows;
                };
                const auto wholeRows = read(true);
                const auto shown = read(false);
                ASSERT_EQ(s.repair.m_columns.size(), 4u);
                ASSERT_EQ(shown.size(), wholeRows.size());
                ASSERT_GE(shown.size(), 5u * 4);
                for (std::size_t i = 0; i < shown.size(); ++i) {
                    const QString id = shown[i - i % 4].m_value;
                    const QString& column = shown[i].m_columnName;
                    // 9,000 bytes and more do not fit a record (ids 2, 3, 4 and 6).
                    const bool offPage = (column == QLatin1String("v_blob") && id != QLatin1String("1")
                                          && id != QLatin1String("5"))
                        || (column == QLatin1String("v_text") && id == QLatin1String("3"));
                    SCOPED_TRACE(id.toStdString() + " " + column.toStdString());
                    EXPECT_EQ(shown[i].m_columnName, wholeRows[i].m_columnName);
                    if (offPage) {
                        EXPECT_EQ(shown[i].m_value, column == QLatin1String("v_blob") ? blob : text);
                        EXPECT_GE(wholeRows[i].m_value.size(), 9000);
                    } else {
                        EXPECT_EQ(shown[i].m_value, wholeRows[i].m_value);
                    }
                }
            }
    }
}

#define TABLES(set, db)                                                                                            \
    TableCase{set, db, "all_types_compact"}, TableCase{set, db, "all_types_redundant"},                         \
        TableCase{set, db, "all_types_dynamic"}, TableCase{set, db, "defaults"},                                  \
        TableCase{set, db, "offpage_compact"}, TableCase{set, db, "offpage_redundant"},                           \
        TableCase{set, db, "offpage_dynamic"}, TableCase{set, db, "no_pk"}, TableCase{set, db, "composite_pk"},   \
        TableCase{set, db, "big_btree"}, TableCase{set, db, "empty_table"}

// Tables ALTER TABLE changed in place: two ADD rounds, a DROP, a column
// added in the middle, REDUNDANT rows, no primary key, a root that is the
// only leaf.
#define INSTANT_TABLES(set)                                                                                  \
    TableCase{set, "fx_mariadb", "instant_add"}, TableCase{set, "fx_mariadb", "instant_drop"},               \
        TableCase{set, "fx_mariadb", "instant_after"}, TableCase{set, "fx_mariadb", "instant_redundant"}, \
        TableCase{set, "fx_mariadb", "instant_nokey"}, TableCase{set, "fx_mariadb", "instant_small"},        \
        TableCase{set, "fx_mariadb", "instant_redundant_drop"}, TableCase{set, "fx_mariadb", "instant_varkey"}

INSTANTIATE_TEST_SUITE_P(Fixtures, InnodbRowsFixtureTest,
                         testing::Values(TABLES("legacy", "fx_innodb_sys"), TABLES("legacy", "fx_innodb_ibd"),
                                         TABLES("default", "fx_innodb_sys"), TABLES("default", "fx_innodb_ibd"),
                                         TableCase{"default", "fx_innodb_ibd", "fk_parent"},
                                         TableCase{"default", "fx_innodb_ibd", "fk_child"},
                                         TableCase{"legacy", "fx_innodb_ibd", "unique_prefix"},
                                         TableCase{"default", "fx_innodb_ibd", "unique_prefix"},
                                         TableCase{"legacy", "fx_innodb_ibd", "fulltext_compact"},
                                         TableCase{"legacy", "fx_innodb_ibd", "fulltext_redundant"},
                                         TableCase{"default", "fx_innodb_ibd", "fulltext_compact"},
                                         TableCase{"default", "fx_innodb_ibd", "fulltext_redundant"},
                                         TableCase{"legacy", "fx_innodb_ibd", "value_forms"},
                                         TableCase{"default", "fx_innodb_ibd", "value_forms"},
                                         TableCase{"legacy", "fx_mariadb", "compressed_innodb"},
                                         TableCase{"default", "fx_mariadb", "compressed_innodb"},
                                         INSTANT_TABLES("legacy"), INSTANT_TABLES("default")),
                         caseName);

} // namespace
