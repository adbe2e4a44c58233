#include "app/controls/StatusBarProgress.h"


#include <QMainWindow>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <limits>

using app::CProgressBar;
using app::StatusBarProgress;

namespace {

class StatusBarProgressTest : public ::testing::Test {
protected:
    StatusBarProgressTest()
    {
        m_window.resize(800, 600);
        m_window.show();
    }
    QStatusBar* statusBar() { return m_window.statusBar(); }
    // The bar's share as shown, 0 to 1.
    double shown(const CProgressBar* bar) { return double(bar->value()) / CProgressBar::kShownSteps; }

    QMainWindow m_window;
    StatusBarProgress m_progress{m_window.statusBar()};
};

TEST_F(StatusBarProgressTest, BeginStepsAndEnd)
{
    m_progress.Begin("Scanning Database(s)...", 10);
    CProgressBar* bar = m_progress.bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->parentWidget(), statusBar());
    ASSERT_NE(bar->labelWidget(), nullptr);
    EXPECT_EQ(bar->labelWidget()->text(), "Scanning Database(s)...");
    EXPECT_TRUE(bar->labelWidget()->isVisible());
    EXPECT_EQ(shown(bar), 0.0);
    for (int step = 1; step <= 10; ++step) {
        m_progress.Step();
        EXPECT_DOUBLE_EQ(shown(bar), step / 10.0) << "step " << step;
        EXPECT_EQ(bar->isFull(), step == 10) << "step " << step;
    }
    m_progress.End();
    EXPECT_EQ(m_progress.bar(), nullptr);
    EXPECT_EQ(statusBar()->currentMessage(), "Ready");
}

TEST_F(StatusBarProgressTest, AStepPastTheRangeLeavesTheBarFull)
{
    const struct {
        const char* name;
        std::int64_t total;
        std::int64_t steps;
    } cases[] = {
        {"one step past", 10, 11},
        {"many steps past", 3, 1000},
        {"a coalesced count far past the end", 10, std::numeric_limits<std::int64_t>::max()},
        {"no steps announced", 0, 1},
    };
    for (const auto& c : cases) {
        m_progress.Begin("Repairing Database(s)...", c.total);
        if (c.steps > 1000)
            m_progress.Step(c.steps);
        else
            for (std::int64_t i = 0; i < c.steps; ++i)
                m_progress.Step();
        ASSERT_NE(m_progress.bar(), nullptr) << c.name;
        EXPECT_TRUE(m_progress.bar()->isFull()) << c.name;
        EXPECT_EQ(m_progress.bar()->value(), CProgressBar::kShownSteps) << c.name;
    }
}

TEST_F(StatusBarProgressTest, CoalescedStepsCountAsSingleOnes)
{
    m_progress.Begin("Previewing Table...", 5'000'000'000); // more records than an int holds
    m_progress.Step(2'500'000'000);
    EXPECT_EQ(m_progress.bar()->position(), 2'500'000'000);
    EXPECT_DOUBLE_EQ(shown(m_progress.bar()), 0.5);
    EXPECT_FALSE(m_progress.bar()->isFull());
    m_progress.Step(2'500'000'000);
    EXPECT_TRUE(m_progress.bar()->isFull());
}

TEST_F(StatusBarProgressTest, ABeginReplacesTheBarShown)
{
    m_progress.Begin("first", 4);
    m_progress.Step(3);
    m_progress.Begin("second", 8);
    ASSERT_NE(m_progress.bar(), nullptr);
    EXPECT_EQ(m_progress.bar()->label(), "second");
    EXPECT_EQ(m_progress.bar()->position(), 0);
    EXPECT_EQ(statusBar()->findChildren<CProgressBar*>().size(), 1);
    EXPECT_EQ(statusBar()->findChildren<QLabel*>().size(), 1);
}

TEST_F(StatusBarProgressTest, StepsAndEndsWithoutABarChangeNothing)
{
    m_progress.Step();
    m_progress.End();
    EXPECT_EQ(m_progress.bar(), nullptr);
    m_progress.Begin("label", 10);
    m_progress.Step(4);
    EXPECT_EQ(m_progress.bar()->position(), 4);
    EXPECT_EQ(m_progress.bar()->label(), "label");
    m_progress.End();
    m_progress.Step();
    EXPECT_EQ(m_progress.bar(), nullptr);
    EXPECT_TRUE(statusBar()->findChildren<CProgressBar*>().isEmpty());
}

TEST_F(StatusBarProgressTest, CreatingAgainChangesTheLabelOnly)
{
    m_progress.Begin("first", 4);
    m_progress.Step(2);
    ASSERT_TRUE(m_progress.bar()->Create("again"));
    EXPECT_EQ(m_progress.bar()->labelWidget()->text(), "again");
    EXPECT_EQ(m_progress.bar()->upper(), 100);
    EXPECT_EQ(statusBar()->findChildren<QLabel*>().size(), 1);
    m_progress.End();
    EXPECT_TRUE(statusBar()->findChildren<QLabel*>().isEmpty());
}

TEST_F(StatusBarProgressTest, AnEmptyLabelLeavesTheBarAlone)
{
    m_progress.Begin(QString(), 2);
    ASSERT_NE(m_progress.bar(), nullptr);
    EXPECT_FALSE(m_progress.bar()->labelWidget()->isVisible());
    EXPECT_TRUE(m_progress.bar()->isVisible());
}

TEST(StatusBarProgressWithoutStatusBar, StepsAndEndFindNoWindow)
{
    StatusBarProgress progress(nullptr);
    progress.Begin("label", 3);
    ASSERT_NE(progress.bar(), nullptr);
    EXPECT_FALSE(progress.bar()->hasWindow());
    progress.Step(2);
    EXPECT_EQ(progress.bar()->position(), 0);
    progress.End();
    EXPECT_EQ(progress.bar(), nullptr);
}

} // namespace
