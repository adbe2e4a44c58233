// Paging through real fixture tables with the preview view wired to the
// engine the way the frame and the worker wire it: every row once forward,
// once backward, equal to the server's rows.
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/PreviewPaging.h"
#include "app/controls/CColorButton.h"
#include "app/controls/CMyListCtrl.h"
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"
#include "tests/recovery/myisam/MyisamTestSupport.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHeaderView>
#include <QPushButton>

using app::CVeltraxMySqlRecoveryView;
using app::PreviewPaging;
using testsupport::ExpectedRows;
using Rows = std::vector<std::vector<engine::RowValue>>;

namespace {

// The view over a scanned engine; a page request runs the page job at once.
class PreviewDriver {
public:
    explicit PreviewDriver(innodbrows::Scanned& s) : m_s(s), m_view(s.app, s.repair)
    {
        m_view.resize(1000, 700);
        m_view.show();
        m_s.app.m_bIdle = true;
        QObject::connect(&m_view, &CVeltraxMySqlRecoveryView::pageRequested, [this] {
            m_s.app.m_bIdle = false;
            PreviewPaging::ReadPage(m_s.app, m_s.repair);
            m_view.OnPreviewTable(m_s.repair.m_pageRows);
            m_s.app.m_bIdle = true;
            ++m_pageJobs;
        });
    }

    // A click on the table in the tree, then the table job.
    void openTable(engine::TableInformation& table)
    {
        engine::AppState& app = m_s.app;
        engine::MySqlRepair& repair = m_s.repair;
        m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
        m_view.ResetPaging();
        app.m_nPageCount = app.m_nPage = app.m_nPagesMerged = 0;
        app.m_nRecordsLeft = 0;
        app.m_pPreviewTable = &table;
        repair.m_pageRows.clear();
        repair.m_dataPages.clear();
        if (table.m_engine == QLatin1String("innodb")) {
            repair.LocateInnoDbTableData(table);
            app.m_nPageCount = static_cast<std::int32_t>(repair.m_dataPages.size());
            m_view.OnPreviewColumns(repair.m_columns, 1400);
            if (app.m_nPageCount != 0) {
                m_view.FillPropertiesList(table);
                repair.RecoverInnoDbRows(repair.m_dataPages[0], table);
                m_view.OnPreviewTable(repair.m_pageRows);
            }
        } else {
            m_view.FillPropertiesList(table);
            repair.RecoverMyIsamTable(table);
            m_view.OnPreviewColumns(repair.m_columns, 1400);
            m_view.OnPreviewTable(repair.m_pageRows);
        }
    }

    // The rows the Table Data list shows ("null" is NULL).
    Rows shown() const
    {
        Rows rows;
        const app::CMyListCtrl& list = *m_view.m_pDataList;
        for (int r = 0; r < list.rowCount(); ++r) {
            std::vector<engine::RowValue> row;
            for (int c = 0; c < list.columnCount(); ++c) {
                const QString text = list.item(r, c) ? list.item(r, c)->text() : QString();
                row.push_back(text == QLatin1String("null") ? engine::RowValue::Null() : engine::RowValue::Text(text));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }
    QStringList headers() const
    {
        QStringList names;
        for (int c = 0; c < m_view.m_pDataList->columnCount(); ++c)
            names << m_view.m_pDataList->horizontalHeaderItem(c)->text();
        return names;
    }

    // Next until it is disabled, then Previous until it is disabled.
    struct Walk {
        std::vector<Rows> forward;
        std::vector<Rows> backward; // in the order shown
    };
    Walk walk()
    {
        Walk w;
        w.forward.push_back(shown());
        for (int guard = 0; m_view.m_btnNext->isEnabled() && guard < 10000; ++guard) {
            m_view.m_btnNext->click();
            w.forward.push_back(shown());
        }
        EXPECT_FALSE(m_view.paging().Next()) << "nothing lies past the last page";
        w.backward.push_back(shown());
        for (int guard = 0; m_view.m_btnPrevious->isEnabled() && guard < 10000; ++guard) {
            m_view.m_btnPrevious->click();
            w.backward.push_back(shown());
        }
        EXPECT_FALSE(m_view.paging().Previous()) << "nothing lies before the first page";
        EXPECT_EQ(m_s.app.m_nPage, 0);
        EXPECT_TRUE(m_view.m_btnNext->isEnabled() || w.forward.size() == 1);
        return w;
    }

    innodbrows::Scanned& m_s;
    CVeltraxMySqlRecoveryView m_view;
    int m_pageJobs = 0;
};

std::vector<engine::tempColInfo> namedColumns(const QStringList& names)
{
    std::vector<engine::tempColInfo> columns;
    for (const QString& name : names) {
        engine::tempColInfo column;
        column.m_name = name;
        columns.push_back(column);
    }
    return columns;
}

Rows concatenated(const std::vector<Rows>& pages)
{
    Rows all;
    for (const Rows& page : pages)
        all.insert(all.end(), page.begin(), page.end());
    return all;
}

// Every forward page is shown again, the same, on the way back.
void expectSameWayBack(const PreviewDriver::Walk& w)
{
    ASSERT_EQ(w.backward.size(), w.forward.size());
    for (std::size_t i = 0; i < w.forward.size(); ++i) {
        const Rows& back = w.backward[w.backward.size() - 1 - i];
        ASSERT_EQ(back.size(), w.forward[i].size()) << "page " << i;
        for (std::size_t r = 0; r < back.size(); ++r)
            for (std::size_t c = 0; c < back[r].size(); ++c)
                ASSERT_EQ(back[r][c].text(), w.forward[i][r][c].text()) << "page " << i << " row " << r;
    }
}

QString dataFolder()
{
    return ExpectedRows::setFolder(QStringLiteral("default")) + QStringLiteral("/data/");
}

TEST(PreviewPagingTest, MyisamTableOf250RowsForwardAndBack)
{
    auto s = innodbrows::scan(dataFolder(), {QStringLiteral("fx_myisam")});
    engine::TableInformation* table = s->table(QStringLiteral("fx_myisam"), QStringLiteral("paged_rows"));
    ASSERT_NE(table, nullptr) << "fixture table missing";
    PreviewDriver driver(*s);
    driver.openTable(*table);
    EXPECT_FALSE(driver.m_view.m_btnPrevious->isEnabled());
    EXPECT_TRUE(driver.m_view.m_btnNext->isEnabled());

    const PreviewDriver::Walk w = driver.walk();
    ASSERT_EQ(w.forward.size(), 3u);
    EXPECT_EQ(w.forward[0].size(), 100u);
    EXPECT_EQ(w.forward[1].size(), 100u);
    EXPECT_EQ(w.forward[2].size(), 50u);
    expectSameWayBack(w);
    EXPECT_EQ(s->repair.m_dataPages.size(), 3u) << "each page start listed once";

    Rows all = concatenated(w.forward);
    const auto columns = namedColumns(driver.headers());
    myisamtest::sortLikeTheServer(all, columns);
    const ExpectedRows expected = ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_myisam"),
                                                     QStringLiteral("paged_rows"));
    ASSERT_EQ(all.size(), expected.rows().size());
    const QStringList problems = expected.compareTable(columns, all);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    // Forward again after the way back: the same pages, no start added twice.
    driver.m_view.m_btnNext->click();
    driver.m_view.m_btnNext->click();
    EXPECT_EQ(driver.shown().size(), 50u);
    EXPECT_EQ(s->repair.m_dataPages.size(), 3u);
}

TEST(PreviewPagingTest, MultiPageInnodbTableForwardAndBack)
{
    auto s = innodbrows::scan(dataFolder(), {QStringLiteral("fx_innodb_ibd")});
    engine::TableInformation* table = s->table(QStringLiteral("fx_innodb_ibd"), QStringLiteral("big_btree"));
    ASSERT_NE(table, nullptr);
    PreviewDriver driver(*s);
    driver.openTable(*table);
    const std::size_t dataPages = s->repair.m_dataPages.size();
    ASSERT_GT(dataPages, 10u);

    const PreviewDriver::Walk w = driver.walk();
    EXPECT_LT(w.forward.size(), dataPages) << "pages of fewer than 100 rows are merged";
    expectSameWayBack(w);
    const Rows all = concatenated(w.forward);
    const ExpectedRows expected = ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd"),
                                                     QStringLiteral("big_btree"));
    ASSERT_EQ(all.size(), expected.rows().size());
    const QStringList problems = expected.compareTable(namedColumns(driver.headers()), all);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST(PreviewPagingTest, HeadersNameTheValuesBelowThemWhenTheKeyIsNotFirst)
{
    auto s = innodbrows::scan(dataFolder(), {QStringLiteral("fx_innodb_ibd")});
    engine::TableInformation* table = s->table(QStringLiteral("fx_innodb_ibd"), QStringLiteral("pk_not_first"));
    ASSERT_NE(table, nullptr);
    PreviewDriver driver(*s);
    driver.openTable(*table);
    // The clustered key comes first in the records, and so in the list.
    EXPECT_EQ(driver.headers(), (QStringList{QStringLiteral("code"), QStringLiteral("note"), QStringLiteral("qty")}));
    const Rows rows = driver.shown();
    const ExpectedRows expected = ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd"),
                                                     QStringLiteral("pk_not_first"));
    const QStringList problems = expected.compareTable(namedColumns(driver.headers()), rows);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0].text(), QStringLiteral("1"));
    EXPECT_EQ(rows[0][1].text(), QStringLiteral("first"));
    // The Properties list keeps the definition's order.
    EXPECT_EQ(driver.m_view.m_pPropertiesList->item(0, 0)->text(), QStringLiteral("note"));
    EXPECT_EQ(driver.m_view.m_pPropertiesList->item(2, 4)->text(), QStringLiteral("Primary Key"));
}

// The server's hidden hash of a long UNIQUE key is no column: not in the
// Properties list, not among the values; a column declared INVISIBLE is
// both, with its values.
TEST(PreviewPagingTest, HiddenHashColumnsAreLeftOutAndInvisibleColumnsShown)
{
    for (const char* set : {"legacy", "default"}) {
        auto s = innodbrows::scan(ExpectedRows::setFolder(QLatin1String(set)) + QStringLiteral("/data/"),
                                  {QStringLiteral("fx_mariadb")});
        for (const char* name : {"long_unique_innodb", "long_unique_myisam", "invisible_innodb", "invisible_myisam"}) {
            SCOPED_TRACE(std::string(set) + ":" + name);
            engine::TableInformation* table = s->table(QStringLiteral("fx_mariadb"), QLatin1String(name));
            ASSERT_NE(table, nullptr);
            const ExpectedRows expected =
                ExpectedRows::load(QLatin1String(set), QStringLiteral("fx_mariadb"), QLatin1String(name));
            PreviewDriver driver(*s);
            driver.openTable(*table);
            EXPECT_EQ(driver.headers(), expected.columnNames());
            QStringList listed;
            for (int r = 0; r < driver.m_view.m_pPropertiesList->rowCount(); ++r)
                listed << driver.m_view.m_pPropertiesList->item(r, 0)->text();
            EXPECT_EQ(listed, expected.columnNames());
            // The list shows binary values as text; the others compare.
            QStringList textHeaders;
            Rows rows;
            for (const auto& shownRow : driver.shown()) {
                rows.emplace_back();
                for (qsizetype c = 0; c < driver.headers().size(); ++c)
                    if (!expected.isHex(driver.headers()[c]))
                        rows.back().push_back(shownRow[static_cast<std::size_t>(c)]);
            }
            for (const QString& header : driver.headers())
                if (!expected.isHex(header))
                    textHeaders << header;
            ASSERT_EQ(rows.size(), expected.rows().size());
            const QStringList problems = expected.compareTable(namedColumns(textHeaders), rows);
            EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST(PreviewPagingTest, ADamagedDataPageCostsItsRowsAndSaysSo)
{
    testsupport::TempDir dir;
    dir.mkdir(QStringLiteral("fx_innodb_ibd"));
    for (const char* ext : {".frm", ".ibd"})
        ASSERT_TRUE(QFile::copy(dataFolder() + QStringLiteral("fx_innodb_ibd/big_btree") + QLatin1String(ext),
                                dir.file(QStringLiteral("fx_innodb_ibd/big_btree") + QLatin1String(ext))));
    ASSERT_TRUE(QFile::copy(dataFolder() + QStringLiteral("ibdata1"), dir.file(QStringLiteral("ibdata1"))));

    // Which leaf pages hold the rows, from an intact read.
    std::vector<std::uint64_t> leaves;
    {
        auto intact = innodbrows::scan(dir.path(), {QStringLiteral("fx_innodb_ibd")});
        intact->repair.LocateInnoDbTableData(*intact->table(QStringLiteral("fx_innodb_ibd"), QStringLiteral("big_btree")));
        leaves = intact->repair.m_dataPages;
    }
    ASSERT_GT(leaves.size(), 10u);
    const std::uint64_t broken = leaves[leaves.size() / 2];
    {
        QFile ibd(dir.file(QStringLiteral("fx_innodb_ibd/big_btree.ibd")));
        ASSERT_TRUE(ibd.open(QIODevice::ReadWrite));
        ibd.seek(static_cast<qint64>(broken * 16384 + 200));
        ibd.write(QByteArray(2000, '\xA5'));
    }

    auto s = innodbrows::scan(dir.path(), {QStringLiteral("fx_innodb_ibd")});
    engine::TableInformation* table = s->table(QStringLiteral("fx_innodb_ibd"), QStringLiteral("big_btree"));
    ASSERT_NE(table, nullptr);
    PreviewDriver driver(*s);
    driver.openTable(*table);
    const PreviewDriver::Walk w = driver.walk();
    expectSameWayBack(w);
    const Rows all = concatenated(w.forward);
    // No row shows twice, and the rows lost are the damaged page's only.
    QSet<QString> ids;
    for (const auto& row : all) {
        EXPECT_FALSE(ids.contains(row[0].text())) << "row " << row[0].text().toStdString() << " repeated";
        ids.insert(row[0].text());
    }
    const ExpectedRows expected = ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd"),
                                                     QStringLiteral("big_btree"));
    EXPECT_LT(all.size(), expected.rows().size());
    EXPECT_GT(all.size(), expected.rows().size() - 200);
    bool told = false;
    for (const QString& line : s->report.log())
        told = told || (line.contains(QStringLiteral("big_btree")) && line.contains(QString::number(broken)));
    EXPECT_TRUE(told) << "the damaged page is named in the log:\n" << s->report.log().join(QLatin1Char('\n')).toStdString();
}

TEST(PreviewPagingTest, AMyisamCountAboveTheRecordsLeadsToNoEmptyPage)
{
    // The index file counts 250 records; the data file holds about 150.
    testsupport::TempDir dir;
    dir.mkdir(QStringLiteral("fx_myisam"));
    for (const char* ext : {".frm", ".MYI", ".MYD"})
        ASSERT_TRUE(QFile::copy(dataFolder() + QStringLiteral("fx_myisam/paged_rows") + QLatin1String(ext),
                                dir.file(QStringLiteral("fx_myisam/paged_rows") + QLatin1String(ext))));
    QFile data(dir.file(QStringLiteral("fx_myisam/paged_rows.MYD")));
    ASSERT_TRUE(data.open(QIODevice::ReadWrite));
    ASSERT_TRUE(data.resize(data.size() * 3 / 5));
    data.close();

    auto s = innodbrows::scan(dir.path(), {QStringLiteral("fx_myisam")});
    engine::TableInformation* table = s->table(QStringLiteral("fx_myisam"), QStringLiteral("paged_rows"));
    ASSERT_NE(table, nullptr);
    PreviewDriver driver(*s);
    driver.openTable(*table);
    const PreviewDriver::Walk w = driver.walk();
    ASSERT_EQ(w.forward.size(), 2u);
    EXPECT_EQ(w.forward[0].size(), 100u);
    EXPECT_GT(w.forward[1].size(), 0u) << "the last page shows what the data holds";
    EXPECT_LT(w.forward[1].size(), 100u);
    expectSameWayBack(w);
}

// A partitioned table pages through its partitions one after the other:
// a preview page that a partition does not fill runs on into the next one.
TEST(PreviewPagingTest, PartitionedTablesPageOnFromOnePartitionIntoTheNext)
{
    auto s = innodbrows::scan(dataFolder(), {QStringLiteral("fx_mariadb")});
    for (const char* name : {"part_paged_myisam", "part_paged_innodb"}) {
        SCOPED_TRACE(name);
        engine::TableInformation* table = s->table(QStringLiteral("fx_mariadb"), QLatin1String(name));
        ASSERT_NE(table, nullptr) << "fixture table missing";
        ASSERT_EQ(table->m_partitions.size(), 3u);
        PreviewDriver driver(*s);
        driver.openTable(*table);
        const PreviewDriver::Walk w = driver.walk();
        if (table->m_engine == QLatin1String("myisam")) {
            ASSERT_EQ(w.forward.size(), 3u);
            EXPECT_EQ(w.forward[0].size(), 100u);
            EXPECT_EQ(w.forward[1].size(), 100u);
            EXPECT_EQ(w.forward[2].size(), 50u);
        } else {
            // One data page a partition, of fewer than 100 rows each: merged.
            EXPECT_EQ(s->repair.m_dataPages.size(), 3u);
            EXPECT_EQ(w.forward.size(), 2u);
        }
        expectSameWayBack(w);
        // Hash partitions hold every third id: the first page starts with
        // the first partition's, in its order.
        ASSERT_FALSE(w.forward[0].empty());
        EXPECT_EQ(w.forward[0][0][0].text(), QStringLiteral("3"));

        Rows all = concatenated(w.forward);
        const auto columns = namedColumns(driver.headers());
        myisamtest::sortLikeTheServer(all, columns);
        const ExpectedRows expected =
            ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_mariadb"), QLatin1String(name));
        ASSERT_EQ(all.size(), expected.rows().size());
        const QStringList problems = expected.compareTable(columns, all);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    }
}

} // namespace
