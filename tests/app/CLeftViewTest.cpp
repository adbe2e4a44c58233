#include "app/CLeftView.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/app/TreeTestModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using app::CLeftView;
using app::TREE_CHECKED;
using app::TREE_PARTIAL;
using app::TREE_UNCHECKED;
using app::TreeCheckState;
using testsupport::addDatabase;

namespace {

const QString kDb1View = "/data/db1/v1.frm";
const QString kDb1Trigger = "/data/db1/t1.TRG";
const QString kLowerView = "/data/db4/perform.frm";
const QString kUpperView = "/data/db4/PERFORM.frm";

class CLeftViewTest : public ::testing::Test {
protected:
    CLeftViewTest()
    {
        m_app.m_bIdle = true;
        QObject::connect(&m_view, &CLeftView::logLine, [this](const QString& line) { m_log << line; });
        m_view.resize(500, 900);
        m_view.show();
    }

    // The usual model: db1 with three tables, a view and a trigger file; db2
    // with one table; db3 with nothing.
    void buildUsualTree()
    {
        addDatabase(m_repair, "db1", {"t1", "t2", "t3"}, {kDb1View}, {kDb1Trigger});
        addDatabase(m_repair, "db2", {"a"});
        addDatabase(m_repair, "db3", {});
        m_view.BuildTree();
    }

    // An item by its texts: "" is the top item, "db1/Table(s)/t2" a leaf.
    QTreeWidgetItem* item(const QString& path) const
    {
        QTreeWidgetItem* at = m_view.root();
        if (path.isEmpty())
            return at;
        for (const QString& text : path.split('/')) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < at->childCount() && !next; ++i)
                if (at->child(i)->text(0) == text)
                    next = at->child(i);
            if (!next) {
                ADD_FAILURE() << "no item " << path.toStdString();
                return m_view.root();
            }
            at = next;
        }
        return at;
    }

    void clickCheckBox(const QString& path)
    {
        QTreeWidgetItem* at = item(path);
        m_view.scrollToItem(at);
        QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, m_view.checkBoxRect(at).center());
    }
    void clickLabel(const QString& path)
    {
        QTreeWidgetItem* at = item(path);
        m_view.scrollToItem(at);
        QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, m_view.labelRect(at).center());
    }
    TreeCheckState state(const QString& path) const { return CLeftView::checkState(item(path)); }

    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    CLeftView m_view{m_app, m_repair};
    QStringList m_log;
};

TEST_F(CLeftViewTest, AFreshTreeHoldsTheTopItemAloneUnchecked)
{
    EXPECT_EQ(m_view.topLevelItemCount(), 1);
    EXPECT_EQ(m_view.root()->text(0), "Grisolt");
    EXPECT_EQ(m_view.rootCheckState(), TREE_UNCHECKED);
    EXPECT_FALSE(m_view.hasDatabases());
}

TEST_F(CLeftViewTest, ToggleRulesPropagateUpAndDown)
{
    using Expect = std::pair<const char*, TreeCheckState>;
    const struct {
        const char* name;
        std::vector<const char*> clicks;
        std::vector<Expect> expect;
    } cases[] = {
        {"a cleared leaf makes its folder, database and the top partly checked",
         {"db1/Table(s)/t2"},
         {{"db1/Table(s)/t2", TREE_UNCHECKED}, {"db1/Table(s)/t1", TREE_CHECKED}, {"db1/Table(s)", TREE_PARTIAL},
          {"db1", TREE_PARTIAL}, {"", TREE_PARTIAL}, {"db2", TREE_CHECKED}}},
        {"checking the last unchecked table makes its folder, database and the top checked",
         {"db1/Table(s)/t2", "db1/Table(s)/t2"},
         {{"db1/Table(s)/t2", TREE_CHECKED}, {"db1/Table(s)", TREE_CHECKED}, {"db1", TREE_CHECKED},
          {"", TREE_CHECKED}}},
        {"the top stays partly checked while another database is partly checked",
         {"db1/Table(s)/t2", "db2/Table(s)/a", "db1/Table(s)/t2"},
         {{"db1", TREE_CHECKED}, {"db2/Table(s)", TREE_UNCHECKED}, {"db2", TREE_UNCHECKED}, {"", TREE_PARTIAL}}},
        {"a partly checked folder is cleared with its leaves; its database stays partly checked",
         {"db1/Table(s)/t2", "db1/Table(s)"},
         {{"db1/Table(s)", TREE_UNCHECKED}, {"db1/Table(s)/t1", TREE_UNCHECKED}, {"db1/Table(s)/t3", TREE_UNCHECKED},
          {"db1/View(s)", TREE_CHECKED}, {"db1", TREE_PARTIAL}, {"", TREE_PARTIAL}}},
        {"a database whose folders are all cleared is cleared",
         {"db1/Table(s)/t2", "db1/View(s)", "db1/Trigger(s)", "db1/Table(s)"},
         {{"db1", TREE_UNCHECKED}, {"", TREE_PARTIAL}}},
        {"clearing the last leaf of a folder clears the folder",
         {"db1/View(s)/v1"},
         {{"db1/View(s)", TREE_UNCHECKED}, {"db1", TREE_PARTIAL}}},
        {"a partly checked database is cleared with its whole subtree",
         {"db1/Table(s)/t2", "db1"},
         {{"db1", TREE_UNCHECKED}, {"db1/Table(s)", TREE_UNCHECKED}, {"db1/Table(s)/t1", TREE_UNCHECKED},
          {"db1/Trigger(s)/t1", TREE_UNCHECKED}, {"", TREE_PARTIAL}}},
        {"checking a cleared database checks its subtree",
         {"db1", "db1"},
         {{"db1/Table(s)/t2", TREE_CHECKED}, {"db1/View(s)/v1", TREE_CHECKED}, {"", TREE_CHECKED}}},
        {"clearing every database clears the top",
         {"db1", "db2", "db3"},
         {{"", TREE_UNCHECKED}}},
        {"the top clears and checks the whole tree",
         {""},
         {{"", TREE_UNCHECKED}, {"db1/Table(s)/t3", TREE_UNCHECKED}, {"db3", TREE_UNCHECKED}}},
        {"a partly checked top is cleared",
         {"db2/Table(s)/a", ""},
         {{"", TREE_UNCHECKED}, {"db1/Table(s)/t1", TREE_UNCHECKED}}},
        {"the top checks everything again",
         {"", ""},
         {{"", TREE_CHECKED}, {"db2/Table(s)/a", TREE_CHECKED}, {"db3", TREE_CHECKED}}},
    };
    buildUsualTree();
    for (const auto& c : cases) {
        m_view.BuildTree();
        for (const char* click : c.clicks)
            clickCheckBox(click);
        for (const auto& [path, expected] : c.expect)
            EXPECT_EQ(state(path), expected) << c.name << ": " << path;
    }
}

TEST_F(CLeftViewTest, ClearingTheOnlyDatabaseClearsTheTop)
{
    addDatabase(m_repair, "only", {"t"});
    m_view.BuildTree();
    clickCheckBox("only");
    EXPECT_EQ(m_view.rootCheckState(), TREE_UNCHECKED);
}

TEST_F(CLeftViewTest, TheCheckBoxTogglesTheLabelDoesNot)
{
    buildUsualTree();
    QTreeWidgetItem* t2 = item("db1/Table(s)/t2");
    const QRect box = m_view.checkBoxRect(t2);
    const QRect label = m_view.labelRect(t2);
    EXPECT_FALSE(box.intersects(label));
    EXPECT_EQ(m_view.hitTest(box.center()), CLeftView::HIT_STATE_ICON);
    EXPECT_EQ(m_view.hitTest(label.center()), CLeftView::HIT_LABEL);
    // Right of the text is not the label.
    EXPECT_EQ(m_view.hitTest(QPoint(label.right() + 30, label.center().y())), CLeftView::HIT_ELSEWHERE);
    EXPECT_EQ(m_view.hitTest(QPoint(2, label.center().y())), CLeftView::HIT_ELSEWHERE);
    EXPECT_EQ(m_view.hitTest(QPoint(5, m_view.viewport()->height() - 2)), CLeftView::HIT_NOWHERE);

    clickLabel("db1/Table(s)/t2");
    EXPECT_EQ(state("db1/Table(s)/t2"), TREE_CHECKED);
    EXPECT_EQ(m_view.currentItem(), t2);
    EXPECT_EQ(m_view.hitItem(), t2);
    clickCheckBox("db1/Table(s)/t1");
    EXPECT_EQ(state("db1/Table(s)/t1"), TREE_UNCHECKED);
    EXPECT_EQ(m_view.hitItem(), item("db1/Table(s)/t1"));
    // A double click on a check box is two clicks, and leaves the branch open.
    // (Through the window, as the window system delivers one: press, release, press and double click, release.)
    const QPoint box1 = m_view.viewport()->mapTo(m_view.window(), m_view.checkBoxRect(item("db1")).center());
    QTest::mouseDClick(m_view.window()->windowHandle(), Qt::LeftButton, {}, box1);
    EXPECT_EQ(state("db1"), TREE_CHECKED); // partly checked, cleared, checked
    EXPECT_TRUE(item("db1")->isExpanded());
    // A click on no item clears the selection.
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, QPoint(5, m_view.viewport()->height() - 2));
    EXPECT_EQ(m_view.hitItem(), nullptr);
    EXPECT_TRUE(m_view.selectedItems().isEmpty());
}

class LabelActionTest : public CLeftViewTest {
protected:
    LabelActionTest()
    {
        QObject::connect(&m_view, &CLeftView::clicked, [this] { m_events << "clicked"; });
        QObject::connect(&m_view, &CLeftView::previewModeRequested, [this](CLeftView::PreviewMode mode) {
            m_events << QStringLiteral("mode %1").arg(static_cast<int>(mode));
        });
        QObject::connect(&m_view, &CLeftView::tablePreviewRequested,
                         [this](int database, int table) { m_events << QStringLiteral("table %1 %2").arg(database).arg(table); });
        QObject::connect(&m_view, &CLeftView::viewTextRequested, [this](const QString& path) { m_events << "view " + path; });
        QObject::connect(&m_view, &CLeftView::triggerTextRequested,
                         [this](const QString& path) { m_events << "trigger " + path; });
    }
    QStringList m_events;
};

const QString kEmpty = "mode 0";
const QString kTable = "mode 1";
const QString kText = "mode 2";

TEST_F(LabelActionTest, ALabelClickStartsThePreviewOfItsObject)
{
    const QStringList read{"t1", "t3"}; // "ghost" listed, but the scan could not read it
    addDatabase(m_repair, "db1", {"t1", "ghost", "t3"}, {kDb1View}, {kDb1Trigger}, &read);
    addDatabase(m_repair, "db2", {"a"});
    addDatabase(m_repair, "db3", {});
    addDatabase(m_repair, "db4", {}, {kLowerView, kUpperView});
    m_view.BuildTree();
    const struct {
        const char* click;
        QStringList events;
    } cases[] = {
        {"db1/Table(s)/t3", {"clicked", kTable, "table 0 1"}},
        {"db2/Table(s)/a", {"clicked", kTable, "table 1 0"}},
        {"db1/View(s)/v1", {"clicked", kText, "view " + kDb1View}},
        {"db1/Trigger(s)/t1", {"clicked", kText, "trigger " + kDb1Trigger}},
        {"db4/View(s)/perform", {"clicked", kText, "view " + kLowerView}},
        {"db4/View(s)/PERFORM", {"clicked", kText, "view " + kUpperView}},
        {"db1", {"clicked", kEmpty}},
        {"db1/Table(s)", {"clicked", kEmpty}},
        {"", {"clicked", kEmpty}},
        {"db3", {"clicked"}},              // no folders: nothing starts
        {"db1/Table(s)/ghost", {"clicked"}}, // not in the model
    };
    for (const auto& c : cases) {
        m_events.clear();
        m_app.m_bStop = true;
        clickLabel(c.click);
        EXPECT_EQ(m_events, c.events) << c.click;
        EXPECT_EQ(m_view.currentItem(), item(c.click)) << c.click;
        // A stop asked for a job that has already ended is dropped.
        EXPECT_FALSE(m_app.m_bStop.load()) << c.click;
    }
}

TEST_F(LabelActionTest, NothingMovesWhileAJobRunsButTheCheckBoxes)
{
    buildUsualTree();
    clickLabel("db2/Table(s)/a");
    m_app.m_nPage = 3;
    m_app.m_bPageRequest = true;
    m_app.m_bIdle = false;
    m_events.clear();
    clickLabel("db1/Table(s)/t1");
    EXPECT_EQ(m_events, QStringList{"clicked"});
    EXPECT_EQ(m_view.selectedItems(), QList<QTreeWidgetItem*>{item("db2/Table(s)/a")});
    // The running page job reads both when it starts; the preview resets
    // them once the job has ended.
    EXPECT_TRUE(m_app.m_bPageRequest.load());
    EXPECT_EQ(m_app.m_nPage, 3);

    QTest::keyClick(&m_view, Qt::Key_Up);
    EXPECT_EQ(m_view.selectedItems(), QList<QTreeWidgetItem*>{item("db2/Table(s)/a")});
    EXPECT_FALSE(m_view.SelectItem(item("db1")));
    EXPECT_EQ(m_view.selectedItems(), QList<QTreeWidgetItem*>{item("db2/Table(s)/a")});

    clickCheckBox("db1/Table(s)/t1");
    EXPECT_EQ(state("db1/Table(s)/t1"), TREE_UNCHECKED);

    m_app.m_bIdle = true;
    clickLabel("db1/Table(s)/t1");
    EXPECT_EQ(m_app.m_nPage, 0);
    EXPECT_FALSE(m_app.m_bPageRequest.load());
    EXPECT_TRUE(m_view.SelectItem(item("db1")));
    QTest::keyClick(&m_view, Qt::Key_Down);
    EXPECT_EQ(m_view.selectedItems(), QList<QTreeWidgetItem*>{item("db1/Table(s)")});
}

TEST_F(LabelActionTest, APendingRepairSelectsButStartsNothing)
{
    buildUsualTree();
    m_app.m_bRepair = true;
    m_app.m_bStop = true;
    clickLabel("db1/Table(s)/t2");
    EXPECT_EQ(m_events, QStringList{"clicked"});
    EXPECT_EQ(m_view.currentItem(), item("db1/Table(s)/t2"));
    EXPECT_TRUE(m_app.m_bStop.load());
}

TEST_F(CLeftViewTest, BuildFillsTheTreeCheckedAndExpandedAndLogsTheCounts)
{
    addDatabase(m_repair, "db1", {"t1", "t2", "t3"}, {kDb1View}, {kDb1Trigger, "/data/db1/t2.TRG"});
    addDatabase(m_repair, QString(), {"lost"});
    addDatabase(m_repair, "db3", {});
    EXPECT_EQ(m_view.BuildTree(), 3);
    EXPECT_EQ(m_log, (QStringList{
                         "Total Database(s) Present:  3",
                         "Database :  db1",
                         "  Total table(s) present:   3",
                         "  Total view(s) present:   1",
                         "  Total trigger(s) present:   2",
                         "Database :  db3",
                         "  Total table(s) present:   0",
                         "  Total view(s) present:   0",
                         "  Total trigger(s) present:   0",
                     }));
    ASSERT_EQ(m_view.root()->childCount(), 2);
    EXPECT_EQ(item("db1")->childCount(), 3);
    EXPECT_EQ(item("db1/Table(s)")->childCount(), 3);
    EXPECT_EQ(item("db1/View(s)/v1")->text(0), "v1");
    EXPECT_EQ(item("db1/Trigger(s)")->childCount(), 2);
    EXPECT_EQ(item("db3")->childCount(), 0);
    EXPECT_EQ(CLeftView::identity(item("db1/View(s)/v1")), kDb1View);
    for (QTreeWidgetItemIterator it(&m_view); *it; ++it) {
        EXPECT_EQ(CLeftView::checkState(*it), TREE_CHECKED) << (*it)->text(0).toStdString();
        if ((*it)->childCount() > 0) {
            EXPECT_TRUE((*it)->isExpanded()) << (*it)->text(0).toStdString();
        }
    }
}

TEST_F(CLeftViewTest, BuildOverNothingAndResetLeaveTheTopItemAlone)
{
    EXPECT_EQ(m_view.BuildTree(), 0);
    EXPECT_EQ(m_log, QStringList{"Total Database(s) Present:  0"});
    EXPECT_EQ(m_view.rootCheckState(), TREE_UNCHECKED);
    EXPECT_FALSE(m_view.hasDatabases());

    buildUsualTree();
    clickLabel("db1/Table(s)/t1");
    ASSERT_NE(m_view.hitItem(), nullptr);
    m_view.ResetTree();
    EXPECT_EQ(m_view.topLevelItemCount(), 1);
    EXPECT_FALSE(m_view.hasDatabases());
    EXPECT_EQ(m_view.rootCheckState(), TREE_UNCHECKED);
    EXPECT_EQ(m_view.hitItem(), nullptr);
    EXPECT_EQ(m_repair.m_databases.size(), 3u); // the model is not the tree's
}

TEST(CLeftViewObjectLabel, IsTheFileNameLessItsSuffixInExactCase)
{
    EXPECT_EQ(CLeftView::ObjectLabel("/d/db/perform.frm", ".frm"), "perform");
    EXPECT_EQ(CLeftView::ObjectLabel("/d/db/perform.FRM", ".frm"), "perform.FRM");
    EXPECT_EQ(CLeftView::ObjectLabel("/d/db/orders.TRG", ".TRG"), "orders");
    EXPECT_EQ(CLeftView::ObjectLabel("orders.trg", ".TRG"), "orders.trg");
}

} // namespace
