#include "app/controls/RibbonBar.h"

#include "app/controls/MainRibbonLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using app::RibbonBar;

namespace {

class RibbonBarTest : public ::testing::Test {
protected:
    RibbonBarTest()
    {
        for (QAction** slot : {&m_actions.open, &m_actions.startRepair, &m_actions.stop, &m_actions.exit,
                               &m_actions.viewStatusBar, &m_actions.viewMessageWindow, &m_actions.saveLog,
                               &m_actions.clearLog, &m_actions.update, &m_actions.helpEnquiry,
                               &m_actions.helpKnowledge, &m_actions.helpHelp, &m_actions.helpAbout})
            *slot = new QAction(&m_ribbon);
        m_actions.open->setText("Select");
        m_actions.startRepair->setText("&Repair");
        m_actions.stop->setText("S&top");
        m_actions.exit->setText("&Exit");
        m_actions.viewStatusBar->setText("Status &Bar");
        m_actions.viewMessageWindow->setText("&MessageLog");
        m_actions.saveLog->setText("&Save log");
        m_actions.helpAbout->setText("&About");
        app::BuildMainRibbon(m_ribbon, m_actions);
        m_ribbon.resize(1000, m_ribbon.sizeHint().height());
        m_ribbon.show();
    }

    // The ribbon's buttons and boxes bound to an action, wherever they are.
    QList<QToolButton*> buttonsOf(QAction* action) const
    {
        QList<QToolButton*> found;
        for (QToolButton* button : m_ribbon.findChildren<QToolButton*>())
            if (button->defaultAction() == action)
                found << button;
        return found;
    }
    QStringList panelTitles(int category) const
    {
        m_ribbon.tabBar()->setCurrentIndex(category);
        QStringList titles;
        for (QLabel* label : m_ribbon.findChildren<QLabel*>())
            if (label->isVisibleTo(&m_ribbon) && label->parentWidget()->objectName() == label->text())
                titles << label->text();
        return titles;
    }

    RibbonBar m_ribbon;
    app::MainRibbonActions m_actions;
};

TEST_F(RibbonBarTest, CategoriesAndPanelsStandInTheirOrder)
{
    ASSERT_EQ(m_ribbon.categoryCount(), 3);
    EXPECT_EQ(m_ribbon.categoryName(0), "File");
    EXPECT_EQ(m_ribbon.categoryName(1), "Tools");
    EXPECT_EQ(m_ribbon.categoryName(2), "Help");
    EXPECT_EQ(panelTitles(0), (QStringList{"Database", "View"}));
    EXPECT_EQ(panelTitles(1), (QStringList{"Log", "Update"}));
    EXPECT_EQ(panelTitles(2), (QStringList{"Support", "Help Manuals", "About"}));
}

TEST_F(RibbonBarTest, ButtonsRunTheirActionsAndFollowTheirEnabling)
{
    // Select and Repair stand in the quick-access bar and in the Database panel.
    ASSERT_EQ(buttonsOf(m_actions.open).size(), 2);
    ASSERT_EQ(buttonsOf(m_actions.startRepair).size(), 2);
    ASSERT_EQ(buttonsOf(m_actions.stop).size(), 1);
    m_ribbon.setCurrentCategory(0);
    QToolButton* stop = buttonsOf(m_actions.stop).front();
    EXPECT_EQ(stop->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QSignalSpy triggered(m_actions.stop, &QAction::triggered);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(triggered.count(), 1);
    m_actions.stop->setEnabled(false);
    EXPECT_FALSE(stop->isEnabled());
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(triggered.count(), 1);

    m_ribbon.setCurrentCategory(2);
    QSignalSpy about(m_actions.helpAbout, &QAction::triggered);
    QTest::mouseClick(buttonsOf(m_actions.helpAbout).front(), Qt::LeftButton);
    EXPECT_EQ(about.count(), 1);
}

TEST_F(RibbonBarTest, CheckBoxesShowAndToggleTheirActions)
{
    m_actions.viewStatusBar->setChecked(true);
    m_ribbon.setCurrentCategory(0);
    QCheckBox* box = nullptr;
    for (QCheckBox* candidate : m_ribbon.findChildren<QCheckBox*>())
        if (candidate->text() == "Status &Bar")
            box = candidate;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    QSignalSpy triggered(m_actions.viewStatusBar, &QAction::triggered);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_FALSE(m_actions.viewStatusBar->isChecked());
    EXPECT_FALSE(box->isChecked());
    m_actions.viewStatusBar->setChecked(true);
    EXPECT_TRUE(box->isChecked());
}

TEST_F(RibbonBarTest, TheApplicationMenuRunsSelectRepairAndExit)
{
    const QList<QAction*> entries = m_ribbon.applicationMenu()->actions();
    QStringList texts;
    for (QAction* entry : entries)
        texts << (entry->isSeparator() ? "-" : entry->text());
    EXPECT_EQ(texts, (QStringList{"&Select", "&Repair...", "-", "&Exit"}));
    QSignalSpy repair(m_actions.startRepair, &QAction::triggered);
    entries[1]->trigger();
    EXPECT_EQ(repair.count(), 1);
    m_actions.startRepair->setEnabled(false);
    EXPECT_FALSE(entries[1]->isEnabled());
}

TEST_F(RibbonBarTest, TheFindBarAndTheLogoSitOnTheRibbonsFoot)
{
    auto* findBar = new QWidget;
    findBar->setFixedSize(200, 30);
    auto* logo = new QWidget;
    logo->setFixedSize(97, 80);
    m_ribbon.setFindBar(findBar);
    m_ribbon.setLogo(logo);
    const struct {
        int width;
        int logoX;
    } cases[] = {{1000, 1000 - 97}, {650, 600}, {300, 600}};
    for (const auto& c : cases) {
        m_ribbon.resize(c.width, 140);
        QCoreApplication::processEvents();
        EXPECT_EQ(findBar->geometry(), QRect(350, 140 - 30, 200, 30)) << c.width;
        EXPECT_EQ(logo->geometry(), QRect(c.logoX, 140 - 80, 97, 80)) << c.width;
    }
}

} // namespace
