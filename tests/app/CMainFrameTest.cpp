#include "tests/app/ShellTestSupport.h"

#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "engine/ShowProgressThread.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <atomic>
#include <thread>

using namespace engine;
using app::CMainFrame;
using app::theApp;
using shelltest::ReportRecorder;

namespace {

// Runs body on a thread of its own while this thread serves the reports;
// returns once body has returned.
void onWorker(const std::function<void()>& body)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    QDeadlineTimer deadline(60000);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
}

class ReportDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override { shelltest::resetShell(); }
    CMainFrame& frame() { return *theApp().mainFrame(); }
};

TEST_F(ReportDeliveryTest, AReportFromAWorkerReturnsOnlyOnceHandledOnTheGuiThread)
{
    ReportRecorder recorder(frame());
    std::atomic<int> handledWhenReturned{-1};
    onWorker([&] {
        theApp().setMessage("from the worker");
        frame().SendMessage(WM_APPEND_LOG);
        handledWhenReturned = static_cast<int>(recorder.m_handled.size());
    });
    EXPECT_EQ(handledWhenReturned, 1);
    ASSERT_EQ(recorder.m_handled.size(), 1u);
    EXPECT_TRUE(recorder.m_handled[0].onGuiThread);
    EXPECT_EQ(recorder.m_handled[0].text, "from the worker");
    EXPECT_EQ(frame().logLines().last(), "from the worker");
}

TEST_F(ReportDeliveryTest, AReportOnTheGuiThreadRunsDirectly)
{
    ReportRecorder recorder(frame());
    theApp().setMessage(QString());
    // No event loop runs between the send and the check.
    frame().SendMessage(WM_APPEND_LOG);
    ASSERT_EQ(recorder.m_handled.size(), 1u);
    EXPECT_EQ(frame().logLines().last(), QString()); // an empty line is a line
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, 3);
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
    EXPECT_EQ(frame().progress().position, 1);
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
    EXPECT_EQ(recorder.progress(), (QStringList{"B3", "S1", "E"}));
}

TEST_F(ReportDeliveryTest, ProgressActionsOutsideTheThreeChangeNothing)
{
    ReportRecorder recorder(frame());
    frame().SendMessage(WM_STATUS_PROGRESS, 7, 5);
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
    EXPECT_FALSE(frame().progress().shown);
    EXPECT_TRUE(recorder.progress().isEmpty());
    frame().SendMessage(0x9999);
    EXPECT_TRUE(recorder.m_handled.empty());
}

TEST_F(ReportDeliveryTest, ManyStepsFromAWorkerAreCheapAndAllCounted)
{
    ReportRecorder recorder(frame());
    constexpr int kSteps = 200000;
    qint64 stepNanos = 0;
    theApp().setStatusText("Counting...");
    onWorker([&] {
        frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, kSteps);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kSteps; ++i)
            frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
        stepNanos = timer.nsecsElapsed();
        frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
    });
    EXPECT_EQ(recorder.progress(), (QStringList{QString("B%1").arg(kSteps), QString("S%1").arg(kSteps), "E"}));
    // A round trip to the GUI thread costs microseconds; a counted step, nanoseconds.
    EXPECT_LT(stepNanos / kSteps, 2000) << stepNanos / kSteps << " ns per step";
    EXPECT_FALSE(frame().progress().shown);
}

TEST_F(ReportDeliveryTest, StepsBelongToTheBarTheyWereSentFor)
{
    ReportRecorder recorder(frame());
    onWorker([&] {
        for (int bar = 1; bar <= 3; ++bar) {
            frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, 10 * bar);
            for (int i = 0; i < bar; ++i)
                frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
        }
        frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
    });
    EXPECT_EQ(recorder.progress(), (QStringList{"B10", "S1", "B20", "S2", "B30", "S3", "E"}));
}

TEST_F(ReportDeliveryTest, DialogsAskedForByAWorkerRunOnTheGuiThread)
{
    bool dialogOnGui = false;
    QString seen;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        dialogOnGui = modal->thread() == qApp->thread() && QThread::currentThread() == qApp->thread();
        if (auto* box = qobject_cast<app::UserMessage*>(modal)) {
            seen = box->text();
            box->okButton()->click();
        } else if (auto* question = qobject_cast<app::CMyExitStopDialog*>(modal)) {
            seen = question->text();
            // Enter answers with the button that has the focus: Yes.
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(question->focusWidget(), &enter);
            QKeyEvent enterUp(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(question->focusWidget(), &enterUp);
        } else if (auto* notice = qobject_cast<app::CMessageDialog*>(modal)) {
            seen = notice->title() + '|' + notice->text();
            notice->okButton()->click();
        }
    });
    answer.start();

    onWorker([&] { frame().ShowUserMessage("a box from the worker"); });
    EXPECT_TRUE(dialogOnGui);
    EXPECT_EQ(seen, "a box from the worker");

    dialogOnGui = false;
    bool yes = false;
    onWorker([&] { yes = frame().AskYesNo("Do you want to stop scanning process ?"); });
    EXPECT_TRUE(dialogOnGui);
    EXPECT_TRUE(yes);
    EXPECT_EQ(seen, "Do you want to stop scanning process ?");

    dialogOnGui = false;
    onWorker([&] { frame().ShowNotice("Can not exit!", "Please first stop the current process before exiting Grisolt."); });
    EXPECT_TRUE(dialogOnGui);
    EXPECT_EQ(seen, "Can not exit!|Please first stop the current process before exiting Grisolt.");
}

TEST_F(ReportDeliveryTest, TheWindowStaysWhileAJobRuns)
{
    theApp().m_bIdle = false;
    QTimer answer;
    answer.setInterval(10);
    QString seen;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* notice = qobject_cast<app::CMessageDialog*>(QApplication::activeModalWidget())) {
            seen = notice->title();
            notice->okButton()->click();
        }
    });
    answer.start();
    EXPECT_FALSE(frame().close());
    theApp().m_bIdle = true;
    EXPECT_EQ(seen, "Can not exit!");
    EXPECT_TRUE(frame().isVisible());
}

TEST_F(ReportDeliveryTest, TheTickerStepsUntilStoppedThenEndsTheBar)
{
    ReportRecorder recorder(frame());
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, 800);
    {
        engine::ShowProgressThread ticker(frame());
        ticker.start();
        QDeadlineTimer until(450);
        while (!until.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ticker.Stop();
        while (!ticker.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const QStringList progress = recorder.progress();
    ASSERT_EQ(progress.size(), 3) << progress.join(' ').toStdString();
    EXPECT_GE(progress[1].mid(1).toInt(), 2);
    EXPECT_EQ(progress[2], "E");
}

TEST_F(ReportDeliveryTest, ATickerStoppedBeforeItRunsOnlyEndsTheBar)
{
    ReportRecorder recorder(frame());
    frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, 800);
    {
        engine::ShowProgressThread ticker(frame());
        ticker.Stop();
        ticker.start();
        while (!ticker.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(recorder.progress(), (QStringList{"B800", "E"}));
}

} // namespace

namespace {

TEST_F(ReportDeliveryTest, ARoundTripToTheGuiThreadIsShort)
{
    // A repair reads an InnoDB table page by page, with a bar of its own per
    // page: thousands of begin and end reports, each a round trip.
    constexpr int kBars = 2000;
    QElapsedTimer timer;
    timer.start();
    onWorker([&] {
        for (int i = 0; i < kBars; ++i) {
            frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_BEGIN, 100);
            frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
            frame().SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
        }
    });
    const qint64 microsPerTrip = timer.nsecsElapsed() / 1000 / (2 * kBars);
    std::printf("%lld us per round trip\n", static_cast<long long>(microsPerTrip));
    EXPECT_LT(microsPerTrip, 2000);
}

} // namespace

namespace {

TEST_F(ReportDeliveryTest, AReportArrivingWhileTheGuiShowsADialogIsServedInsideIt)
{
    // The Stop question is open on the GUI thread while the job logs on.
    std::atomic<bool> sent{false};
    std::thread worker;
    bool servedWhileOpen = false;
    theApp().setMessageText("Do you want to stop scanning process ?");
    app::CMyExitStopDialog question(theApp(), &frame());
    QTimer::singleShot(0, &question, [&] {
        worker = std::thread([&] {
            theApp().setMessage("logged during the question");
            frame().SendMessage(WM_APPEND_LOG);
            sent = true;
        });
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sent)
            return;
        servedWhileOpen = question.isVisible() && frame().logLines().last() == "logged during the question";
        question.noButton()->click();
    });
    poll.start();
    EXPECT_EQ(question.exec(), QDialog::Rejected);
    worker.join();
    EXPECT_TRUE(servedWhileOpen);
}

} // namespace
