#include "app/controls/RibbonBar.h"

#include "app/controls/MainRibbonLayout.h"
#include "app/controls/ProgramPicture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
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
        // The key tips the main window gives its commands.
        const std::pair<QAction*, const char*> keyTips[] = {
            {m_actions.open, "CTRL+O"},    {m_actions.startRepair, "CTRL+R"},   {m_actions.stop, "CTRL+T"},
            {m_actions.exit, "CTRL+X"},    {m_actions.saveLog, "CTRL+S"},       {m_actions.clearLog, "CTRL+L"},
            {m_actions.update, "CTRL+U"},  {m_actions.helpEnquiry, "CTRL+E"},   {m_actions.helpKnowledge, "CTRL+K"},
            {m_actions.helpHelp, "F1"},    {m_actions.helpAbout, "CTRL+A"},
        };
        for (const auto& [action, tip] : keyTips)
            action->setProperty("keyTip", QString::fromLatin1(tip));
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

TEST_F(RibbonBarTest, TheApplicationButtonCarriesTheProgramsPicture)
{
    const QIcon icon = m_ribbon.applicationButton()->icon();
    ASSERT_FALSE(icon.isNull());
    const QSize size = m_ribbon.applicationButton()->iconSize();
    EXPECT_EQ(icon.pixmap(size).toImage(), app::ProgramPicture::Draw(size).toImage());
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

TEST_F(RibbonBarTest, TheApplicationMenuHoldsAnEmptyRecentDocumentsList)
{
    QWidget* pane = m_ribbon.recentDocuments();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->width(), 300);
    QStringList labels;
    for (QLabel* label : pane->findChildren<QLabel*>())
        labels << label->text();
    EXPECT_EQ(labels, QStringList{"Recent Documents"});
    auto* list = pane->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 0);

    // Open, the list stands right of the commands, inside the menu.
    QMenu* menu = m_ribbon.applicationMenu();
    menu->popup(m_ribbon.mapToGlobal(QPoint(0, 30)));
    QCoreApplication::processEvents();
    ASSERT_TRUE(pane->isVisible());
    EXPECT_LE(pane->geometry().right(), menu->rect().right());
    EXPECT_GE(pane->height(), 3 * QFontMetrics(pane->font()).height());
    for (QAction* entry : menu->actions())
        EXPECT_LT(menu->actionGeometry(entry).right(), pane->geometry().left()) << entry->text().toStdString();
    menu->close();
}

TEST_F(RibbonBarTest, AltShowsTheKeyTipsAndTheirKeysRunTheCommands)
{
    m_ribbon.activateWindow();
    QSignalSpy open(m_actions.open, &QAction::triggered);
    QSignalSpy stop(m_actions.stop, &QAction::triggered);
    QSignalSpy clearLog(m_actions.clearLog, &QAction::triggered);
    QSignalSpy help(m_actions.helpHelp, &QAction::triggered);
    using Level = RibbonBar::KeyTipLevel;

    QTest::keyClick(&m_ribbon, Qt::Key_Alt);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::CategoryKeyTips);
    EXPECT_EQ(m_ribbon.shownKeyTips(), (QStringList{"F", "T", "H"}));
    // Each category's tip stands on its tab.
    const QList<QLabel*> tips = m_ribbon.findChildren<QLabel*>("RibbonKeyTip");
    ASSERT_EQ(tips.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QRect tab = m_ribbon.tabBar()->tabRect(i).translated(m_ribbon.tabBar()->mapTo(&m_ribbon, QPoint()));
        EXPECT_GE(tips[i]->geometry().center().x(), tab.left()) << i;
        EXPECT_LE(tips[i]->geometry().center().x(), tab.right()) << i;
    }

    // The tab's key opens the category and shows its commands' tips.
    QTest::keyClick(&m_ribbon, Qt::Key_T);
    EXPECT_EQ(m_ribbon.currentCategory(), 1);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::CommandKeyTips);
    EXPECT_EQ(m_ribbon.shownKeyTips(), (QStringList{"CTRL+S", "CTRL+L", "CTRL+U"}));
    // A key no tip names changes nothing; Esc goes back a level, then out.
    QTest::keyClick(&m_ribbon, Qt::Key_Q);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::CommandKeyTips);
    QTest::keyClick(&m_ribbon, Qt::Key_Escape);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::CategoryKeyTips);
    QTest::keyClick(&m_ribbon, Qt::Key_Escape);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::NoKeyTips);
    EXPECT_TRUE(m_ribbon.shownKeyTips().isEmpty());

    const struct {
        std::vector<Qt::Key> keys;
        QSignalSpy* ran;
        Level after;
    } runs[] = {
        {{Qt::Key_Alt, Qt::Key_T, Qt::Key_L}, &clearLog, RibbonBar::NoKeyTips},
        {{Qt::Key_Alt, Qt::Key_F, Qt::Key_O}, &open, RibbonBar::NoKeyTips},
        {{Qt::Key_Alt, Qt::Key_H, Qt::Key_F1}, &help, RibbonBar::NoKeyTips},
    };
    for (const auto& run : runs) {
        for (Qt::Key key : run.keys)
            QTest::keyClick(&m_ribbon, key);
        EXPECT_EQ(run.ran->count(), 1) << run.keys[1];
        EXPECT_EQ(m_ribbon.keyTipLevel(), run.after);
    }

    // A disabled command's tip is shown greyed and its key does nothing.
    m_actions.stop->setEnabled(false);
    for (Qt::Key key : {Qt::Key_Alt, Qt::Key_F})
        QTest::keyClick(&m_ribbon, key);
    bool greyed = false;
    for (QLabel* tip : m_ribbon.findChildren<QLabel*>("RibbonKeyTip"))
        greyed = greyed || (tip->text() == "CTRL+T" && !tip->isEnabled());
    EXPECT_TRUE(greyed);
    QTest::keyClick(&m_ribbon, Qt::Key_T);
    EXPECT_EQ(stop.count(), 0);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::CommandKeyTips);
    // A click anywhere hides them.
    QTest::mouseClick(m_ribbon.tabBar(), Qt::LeftButton, {}, m_ribbon.tabBar()->tabRect(0).center());
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::NoKeyTips);

    // Alt held for another key (a combination) shows no tips.
    QTest::keyPress(&m_ribbon, Qt::Key_Alt);
    QTest::keyClick(&m_ribbon, Qt::Key_X, Qt::AltModifier);
    QTest::keyRelease(&m_ribbon, Qt::Key_Alt);
    EXPECT_EQ(m_ribbon.keyTipLevel(), RibbonBar::NoKeyTips);
}

} // namespace
