#include "app/dialogs/CFindTreeItem.h"

#include "app/CLeftView.h"
#include "app/TreeSearch.h"
#include "app/controls/CColorButton.h"
#include "app/controls/CSxGroupBox.h"
#include "app/controls/CSymbolEdit.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/app/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using app::CFindTreeItem;
using app::TreeSearch;

namespace {

TEST(TreeSearchTest, MatchCaseLooksAtEveryOccurrence)
{
    const struct {
        const char* label;
        const char* text;
        bool matchCase;
        bool hit;
    } cases[] = {
        {"Orders", "ord", false, true},
        {"Orders", "ord", true, false},
        {"ordOrd", "Ord", true, true}, // a later occurrence counts
        {"ordord", "Ord", true, false},
        {"ordord", "Ord", false, true},
        {"customers", "", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TreeSearch::Matches(QString::fromLatin1(c.label), QString::fromLatin1(c.text), c.matchCase), c.hit)
            << c.label << " / " << c.text << " / " << c.matchCase;
}

class FindBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = new QTreeWidgetItem(&m_tree, {QStringLiteral("  Grisolt")});
        m_shop = new QTreeWidgetItem(m_root, {QStringLiteral("shop")});
        m_orders = new QTreeWidgetItem(m_shop, {QStringLiteral("Orders")});
        m_mixed = new QTreeWidgetItem(m_shop, {QStringLiteral("ordOrd")});
        m_test = new QTreeWidgetItem(m_root, {QStringLiteral("test")});
        m_hidden = new QTreeWidgetItem(m_test, {QStringLiteral("orders_archive")});
        m_tree.expandAll();
        m_tree.show();
        QObject::connect(&m_bar, &CFindTreeItem::findNext,
                         [this] { TreeSearch::OnFindNext(m_tree, m_bar, m_told.sink()); });
    }
    void type(const QString& text) { m_bar.m_editFind->setText(text); }
    void press() { m_bar.m_btnFind->click(); }

    QTreeWidget m_tree;
    QTreeWidgetItem *m_root, *m_shop, *m_orders, *m_mixed, *m_test, *m_hidden;
    CFindTreeItem m_bar;
    widgettest::MessageRecorder m_told;
};

TEST_F(FindBarTest, FindThenFindNextThenNotFound)
{
    EXPECT_FALSE(m_bar.m_btnFind->isEnabled());
    type(QStringLiteral("ord"));
    EXPECT_TRUE(m_bar.m_btnFind->isEnabled());
    EXPECT_EQ(m_bar.m_btnFind->text(), QStringLiteral("Find"));
    press();
    EXPECT_EQ(m_tree.currentItem(), m_orders);
    EXPECT_EQ(m_bar.m_btnFind->text(), QStringLiteral("Find Next"));
    press();
    EXPECT_EQ(m_tree.currentItem(), m_mixed);
    press();
    EXPECT_EQ(m_tree.currentItem(), m_hidden);
    press();
    ASSERT_EQ(m_told.m_texts.size(), 1);
    EXPECT_EQ(m_told.m_texts[0], QStringLiteral("\nItem 'ord' not found try again."));
    EXPECT_TRUE(m_bar.m_editFind->text().isEmpty());
    EXPECT_FALSE(m_bar.m_btnFind->isEnabled());
    EXPECT_EQ(m_bar.m_btnFind->text(), QStringLiteral("Find"));
}

TEST_F(FindBarTest, TopItemCollapsedBranchesAndMatchCase)
{
    // The top item is searched on the first press.
    type(QStringLiteral("Grisolt"));
    press();
    EXPECT_EQ(m_tree.currentItem(), m_root);

    // A branch the user collapsed is not searched.
    m_test->setExpanded(false);
    type(QStringLiteral("archive"));
    press();
    EXPECT_EQ(m_told.m_texts.size(), 1);

    // Match case finds "Ord" in ordOrd, a later occurrence of the label.
    m_bar.m_chkMatchCase->setChecked(true);
    type(QStringLiteral("Ord"));
    press();
    EXPECT_EQ(m_tree.currentItem(), m_orders);
    press();
    EXPECT_EQ(m_tree.currentItem(), m_mixed);
    // Changing the text starts from the top again.
    type(QStringLiteral("Orde"));
    EXPECT_EQ(m_bar.m_btnFind->text(), QStringLiteral("Find"));
    press();
    EXPECT_EQ(m_tree.currentItem(), m_orders);
}

TEST(FindBarControlsTest, GroupBoxCaptionAndSymbolEdit)
{
    app::CSxGroupBox group(QStringLiteral("Search Tree Item"));
    group.resize(260, 80);
    const auto [xl, xr] = group.CaptionSpan();
    EXPECT_EQ(xl, 8);
    EXPECT_EQ(xr - xl, QFontMetrics(group.font()).horizontalAdvance(QStringLiteral(" Search Tree Item ")));

    app::CSymbolEdit edit;
    EXPECT_EQ(edit.textMargins().right(), 0);
    edit.SetSymbolIcon();
    EXPECT_TRUE(edit.hasSymbol());
    EXPECT_EQ(edit.textMargins().right(), app::CSymbolEdit::kSymbolSize + 6);
}

// The find bar over the database tree itself, which refuses the user's own
// selection changes while a job runs.
class FindInTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app.m_bIdle = true;
        QTreeWidgetItem* shop = new QTreeWidgetItem(m_tree.root(), {QStringLiteral("shop")});
        QTreeWidgetItem* tables = new QTreeWidgetItem(shop, {QStringLiteral("Table(s)")});
        m_orders = new QTreeWidgetItem(tables, {QStringLiteral("orders")});
        m_customers = new QTreeWidgetItem(tables, {QStringLiteral("customers")});
        m_orderLines = new QTreeWidgetItem(tables, {QStringLiteral("order_lines")});
        m_tree.expandAll();
        m_tree.resize(300, 400);
        m_tree.show();
        QObject::connect(&m_bar, &CFindTreeItem::findNext,
                         [this] { TreeSearch::OnFindNext(m_tree, m_bar, m_told.sink()); });
    }
    void find(const QString& text)
    {
        m_bar.m_editFind->setText(text);
        m_bar.m_btnFind->click();
    }
    QTreeWidgetItem* selected() const
    {
        const auto items = m_tree.selectedItems();
        return items.size() == 1 && items[0] == m_tree.currentItem() ? items[0] : nullptr;
    }

    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    app::CLeftView m_tree{m_app, m_repair};
    QTreeWidgetItem *m_orders, *m_customers, *m_orderLines;
    CFindTreeItem m_bar;
    widgettest::MessageRecorder m_told;
};

TEST_F(FindInTreeTest, WhileAJobRunsAHitIsSelectedAndFindNextGoesOnAfterIt)
{
    m_app.m_bIdle = false;
    find(QStringLiteral("order"));
    EXPECT_EQ(selected(), m_orders);
    m_bar.m_btnFind->click();
    EXPECT_EQ(selected(), m_orderLines) << "the next match, not the one found before";
    m_bar.m_btnFind->click();
    EXPECT_EQ(m_told.m_texts, QStringList{QStringLiteral("\nItem 'order' not found try again.")});
    // The user's own moves stay refused while the job runs.
    m_tree.setFocus();
    QTest::keyClick(&m_tree, Qt::Key_Up);
    EXPECT_EQ(selected(), m_orderLines);
}

TEST_F(FindInTreeTest, FindNextWithNothingSelectedFindsNothing)
{
    find(QStringLiteral("order"));
    ASSERT_EQ(selected(), m_orders);
    // A click on no item clears the selection.
    ASSERT_TRUE(m_tree.SelectItem(nullptr));
    ASSERT_EQ(selected(), nullptr);
    m_bar.m_btnFind->click();
    EXPECT_EQ(m_told.m_texts, QStringList{QStringLiteral("\nItem 'order' not found try again.")});
    EXPECT_EQ(selected(), nullptr);
    EXPECT_TRUE(m_bar.m_editFind->text().isEmpty());
    EXPECT_EQ(m_bar.m_btnFind->text(), QStringLiteral("Find"));
    // "Find" searches from the top again.
    find(QStringLiteral("cust"));
    EXPECT_EQ(selected(), m_customers);
}

} // namespace
