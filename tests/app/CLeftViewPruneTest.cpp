// Pruning the engine's model to what the tree has checked, on hand-made
// models and on scans of the real fixture data folders.
#include "app/CLeftView.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/app/TreeTestModel.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <vector>

using app::CLeftView;
using app::TREE_CHECKED;
using testsupport::addDatabase;

namespace {

class PruneTest : public ::testing::Test {
protected:
    PruneTest() { m_app.m_bIdle = true; }

    QTreeWidgetItem* item(const QString& path) const
    {
        QTreeWidgetItem* at = m_view.root();
        for (const QString& text : path.split('/', Qt::SkipEmptyParts)) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < at->childCount() && !next; ++i)
                if (at->child(i)->text(0) == text)
                    next = at->child(i);
            if (!next) {
                ADD_FAILURE() << "no item " << path.toStdString();
                return at;
            }
            at = next;
        }
        return at;
    }
    // The model as one text: "db: tables | views | triggers" per database.
    QStringList model() const
    {
        QStringList out;
        for (const auto& database : m_repair.m_databases) {
            QStringList tables;
            for (const auto& table : database->m_tables)
                tables << table->m_name;
            QStringList views;
            for (const QString& path : database->m_viewFiles)
                views << CLeftView::ObjectLabel(path, ".frm");
            QStringList triggers;
            for (const QString& path : database->m_triggerFiles)
                triggers << CLeftView::ObjectLabel(path, ".TRG");
            out << database->m_name + ": " + tables.join(' ') + " | " + views.join(' ') + " | " + triggers.join(' ');
        }
        return out;
    }

    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    CLeftView m_view{m_app, m_repair};
};

TEST_F(PruneTest, OnlyWhatIsCheckedStays)
{
    const struct {
        const char* name;
        std::vector<const char*> unchecked;
        QStringList model;
    } cases[] = {
        {"everything checked", {}, {"db1: t1 t2 t3 | v1 V1 | t1 t3", "db2: a |  | ", "db3:  |  | "}},
        {"one unchecked database of three", {"db2"}, {"db1: t1 t2 t3 | v1 V1 | t1 t3", "db3:  |  | "}},
        {"an unchecked table", {"db1/Table(s)/t2"}, {"db1: t1 t3 | v1 V1 | t1 t3", "db2: a |  | ", "db3:  |  | "}},
        {"an unchecked view folder, every table checked", {"db1/View(s)"},
         {"db1: t1 t2 t3 |  | t1 t3", "db2: a |  | ", "db3:  |  | "}},
        {"views whose names differ only in case", {"db1/View(s)/V1"},
         {"db1: t1 t2 t3 | v1 | t1 t3", "db2: a |  | ", "db3:  |  | "}},
        {"an unchecked trigger file", {"db1/Trigger(s)/t3"},
         {"db1: t1 t2 t3 | v1 V1 | t1", "db2: a |  | ", "db3:  |  | "}},
        {"every table of a database unchecked", {"db1/Table(s)"},
         {"db1:  | v1 V1 | t1 t3", "db2: a |  | ", "db3:  |  | "}},
        {"nothing checked", {""}, {}},
    };
    for (const auto& c : cases) {
        m_repair.m_databases.clear();
        addDatabase(m_repair, "db1", {"t1", "t2", "t3"}, {"/d/db1/v1.frm", "/d/db1/V1.frm"},
                    {"/d/db1/t1.TRG", "/d/db1/t3.TRG"});
        addDatabase(m_repair, "db2", {"a"});
        addDatabase(m_repair, "db3", {});
        m_view.BuildTree();
        for (const char* path : c.unchecked)
            m_view.ToggleCheck(item(path));
        m_view.ReadTreeChecks();
        EXPECT_EQ(model().join("; ").toStdString(), c.model.join("; ").toStdString()) << c.name;
    }
}

TEST_F(PruneTest, PairsByNameWhatTheScanCouldNotRead)
{
    // The scan listed "broken" but could not read it, and a database of no
    // name has no item: neither may shift the tree's items onto other tables.
    const QStringList read{"t1", "t2", "t3"};
    addDatabase(m_repair, QString(), {"x"});
    addDatabase(m_repair, "db1", {"t1", "broken", "t2", "t3"}, {}, {}, &read);
    addDatabase(m_repair, "db2", {"a", "b"});
    m_view.BuildTree();
    m_view.ToggleCheck(item("db1/Table(s)/t2"));
    m_view.ToggleCheck(item("db2/Table(s)/b"));
    m_view.ReadTreeChecks();
    EXPECT_EQ(model().join("; ").toStdString(), "db1: t1 t3 |  | ; db2: a |  | ");

    m_repair.m_databases.clear();
    addDatabase(m_repair, "db1", {"t1", "broken", "t2", "t3"}, {}, {}, &read);
    m_view.BuildTree();
    m_view.ToggleCheck(item("db1/Table(s)/broken"));
    m_view.ReadTreeChecks();
    EXPECT_EQ(model().join("; ").toStdString(), "db1: t1 t2 t3 |  | ");
}

TEST_F(PruneTest, APreviewedTableThatLeavesTheModelIsForgotten)
{
    addDatabase(m_repair, "db1", {"t1", "t2"});
    m_view.BuildTree();
    m_app.m_pPreviewTable = m_repair.m_databases[0]->m_tables[1].get();
    m_view.ToggleCheck(item("db1/Table(s)/t1"));
    m_view.ReadTreeChecks();
    EXPECT_EQ(m_app.m_pPreviewTable, m_repair.m_databases[0]->m_tables[0].get());
    m_view.BuildTree();
    m_view.ToggleCheck(item("db1"));
    m_view.ReadTreeChecks();
    EXPECT_EQ(m_app.m_pPreviewTable, nullptr);
}

// ---- On the fixture data folders ----

QString fixtureData()
{
    return testsupport::ExpectedRows::setFolder("default") + "/data/";
}

class FixtureTreeTest : public PruneTest {
protected:
    FixtureTreeTest()
    {
        m_repair.m_hWndReport = &m_report;
        m_repair.m_hWndScanProgress = &m_report;
        QObject::connect(&m_view, &CLeftView::logLine, [this](const QString& line) { m_log << line; });
    }
    void SetUp() override
    {
        // The fixtures are built before this suite runs; their absence is a failure.
        ASSERT_TRUE(QFile::exists(fixtureData() + "ibdata1")) << fixtureData().toStdString();
    }
    // The scan as the scan job runs it, over every database of the folder.
    void scan(const QString& folder, const QString& ibdata)
    {
        m_app.m_bManualFolder = true;
        m_app.m_strDataFolder = folder;
        m_app.m_strIbdataPath = ibdata;
        m_repair.ListDatabaseFolders();
        for (const auto& record : m_app.m_dataFolders)
            m_app.m_selectedDatabases << record.m_databaseFolders;
        m_repair.ScanDataFolder();
    }

    testsupport::RecordingReportWindow m_report{m_app};
    QStringList m_log;
};

// Copies a database folder of the fixture (its files only).
void copyDatabase(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(from + "/" + name, to + "/" + name)) << name.toStdString();
}

TEST_F(FixtureTreeTest, TheTreeShowsAScannedDataFolder)
{
    scan(fixtureData(), fixtureData() + "ibdata1");
    const int count = m_view.BuildTree();
    ASSERT_EQ(count, static_cast<int>(m_repair.m_databases.size()));
    ASSERT_GE(count, 5);
    EXPECT_EQ(m_log.value(0), QStringLiteral("Total Database(s) Present:  %1").arg(count));
    const qsizetype at = m_log.indexOf("Database :  fx_objects");
    ASSERT_GE(at, 0) << m_log.join('\n').toStdString();
    EXPECT_EQ(m_log.mid(at + 1, 3), (QStringList{"  Total table(s) present:   3", "  Total view(s) present:   2",
                                                 "  Total trigger(s) present:   1"}));
    EXPECT_EQ(m_log.size(), 1 + 4 * count);

    QStringList tables;
    for (int i = 0; i < item("fx_objects/Table(s)")->childCount(); ++i)
        tables << item("fx_objects/Table(s)")->child(i)->text(0);
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"customers", "order_log", "orders"}));
    EXPECT_EQ(item("fx_objects/View(s)")->childCount(), 2);
    item("fx_objects/View(s)/v_order_totals");
    EXPECT_EQ(CLeftView::identity(item("fx_objects/Trigger(s)/orders")), fixtureData() + "fx_objects/orders.TRG");
    // Names show as the server shows them; the encoded file names are the identities.
    EXPECT_EQ(CLeftView::identity(item("fx names")), "fx@0020names");
    EXPECT_EQ(CLeftView::identity(item("fx names/Table(s)/it's \"q\"")), "it@0027s@0020@0022q@0022");
    EXPECT_EQ(CLeftView::identity(item("fx names/View(s)/view of \"q\"")),
              fixtureData() + "fx@0020names/view@0020of@0020@0022q@0022.frm");
    EXPECT_TRUE(m_log.contains("Database :  fx names"));
    EXPECT_EQ(m_view.rootCheckState(), TREE_CHECKED);
}

TEST_F(FixtureTreeTest, PruningWithAnUnreadableTableKeepsExactlyTheCheckedTables)
{
    testsupport::TempDir dir;
    const QString data = dir.path() + "/data/";
    copyDatabase(fixtureData() + "fx_myisam", data + "fx_myisam");
    copyDatabase(fixtureData() + "fx_objects", data + "fx_objects");
    // Between readable tables in the scan's order: a definition that cannot be read.
    dir.write("data/fx_myisam/c_broken.frm", QByteArray("\xFE\x01\x0A\x09garbage", 11));
    scan(data, fixtureData() + "ibdata1");
    m_view.BuildTree();

    for (const char* path : {"fx_myisam/Table(s)/defaults", "fx_myisam/Table(s)/all_types",
                             "fx_objects/View(s)/v_customers", "fx_objects/Trigger(s)/orders"})
        m_view.ToggleCheck(item(path));
    QStringList checked;
    for (int i = 0; i < item("fx_myisam/Table(s)")->childCount(); ++i)
        if (CLeftView::checkState(item("fx_myisam/Table(s)")->child(i)) == TREE_CHECKED)
            checked << item("fx_myisam/Table(s)")->child(i)->text(0);
    m_view.ReadTreeChecks();

    ASSERT_EQ(m_repair.m_databases.size(), 2u);
    QStringList kept;
    for (const auto& table : m_repair.m_databases[0]->m_tables)
        kept << table->m_name;
    EXPECT_EQ(kept, checked);
    EXPECT_EQ(kept, (QStringList{"blobs", "checksum_fixed", "checksum_rows", "dyn_rows", "empty_table", "fixed_rows", "paged_rows",
                                 "value_forms"}));
    const engine::MySqlInfo& objects = *m_repair.m_databases[1];
    EXPECT_EQ(objects.m_tables.size(), 3u);
    EXPECT_EQ(objects.m_viewFiles, QStringList{data + "fx_objects/v_order_totals.frm"});
    EXPECT_TRUE(objects.m_triggerFiles.isEmpty());
}

} // namespace
