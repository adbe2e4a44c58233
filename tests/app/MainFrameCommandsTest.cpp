// The main window's commands: their enabling, the keyboard shortcuts, Stop
// and the close procedure, on the real window of the test program.
#include "tests/app/ShellTestSupport.h"

#include "app/CLeftView.h"
#include "app/CLogWindow.h"
#include "app/controls/RibbonBar.h"
#include "app/dialogs/CAboutDlg.h"
#include "app/dialogs/CConDlg.h"
#include "app/dialogs/CFindTreeItem.h"
#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/StartUpDialog.h"
#include "app/controls/CSymbolEdit.h"
#include "tests/app/WidgetTestSupport.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>
#include <QTest>

using app::CMainFrame;
using app::theApp;

namespace {

CMainFrame& frame()
{
    return *theApp().mainFrame();
}

// Answers every modal dialog that opens while it lives: the Yes/No question
// with `yes`, message boxes and notices with OK, the About box closed.
class DialogAnswerer {
public:
    explicit DialogAnswerer(bool yes) : m_yes(yes)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* question = qobject_cast<app::CMyExitStopDialog*>(modal)) {
                m_seen << QStringLiteral("question:") + question->text();
                (m_yes ? question->yesButton() : question->noButton())->click();
            } else if (auto* box = qobject_cast<app::UserMessage*>(modal)) {
                m_seen << QStringLiteral("box:") + box->text();
                box->okButton()->click();
            } else if (auto* notice = qobject_cast<app::CMessageDialog*>(modal)) {
                m_seen << QStringLiteral("notice:") + notice->title();
                notice->okButton()->click();
            } else if (auto* about = qobject_cast<app::CAboutDlg*>(modal)) {
                m_seen << QStringLiteral("about");
                about->reject();
            }
        });
        m_timer.start();
    }
    QStringList m_seen;

private:
    bool m_yes;
    QTimer m_timer;
};

class MainFrameCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        shelltest::resetShell();
        frame().leftView()->ResetTree();
        // The commands follow the emptied tree, whatever an earlier test left.
        frame().UpdateCommandUI();
        frame().show();
    }
    void TearDown() override
    {
        theApp().m_bIdle = true;
        shelltest::resetShell();
        frame().leftView()->ResetTree();
    }

    // Scans the fixture folder; during the job (in the database selection,
    // while the worker waits) runs duringJob.
    void scanFixtures(const std::function<void()>& duringJob = {}, bool choose = true)
    {
        ASSERT_TRUE(QFileInfo::exists(shelltest::fixtureData() + "fx_myisam")) << "fixtures missing";
        theApp().m_bManualFolder = true;
        theApp().m_strDataFolder = shelltest::fixtureData();
        theApp().m_strIbdataPath = shelltest::fixtureData() + "ibdata1";
        frame().m_databaseListDialog = [duringJob, choose] {
            if (duringJob)
                duringJob();
            for (const auto& record : theApp().m_dataFolders)
                for (const QString& folder : record.m_databaseFolders)
                    if (QDir(folder).dirName() == "fx_myisam" || QDir(folder).dirName() == "fx_innodb_ibd")
                        theApp().m_selectedDatabases << folder;
            theApp().FreeDataFolderRecords();
            return choose;
        };
        ASSERT_TRUE(theApp().StartJob(theApp().NewWorker()));
        ASSERT_TRUE(theApp().WaitForJob(120000));
    }

public:
    struct Enabled {
        bool open, repair, stop;
        bool operator==(const Enabled& o) const { return open == o.open && repair == o.repair && stop == o.stop; }
    };

protected:
    static Enabled enabled()
    {
        frame().UpdateCommandUI();
        return {frame().action(CMainFrame::ID_OPEN)->isEnabled(), frame().action(CMainFrame::ID_STARTREPAIR)->isEnabled(),
                frame().action(CMainFrame::ID_STOP)->isEnabled()};
    }
};

void PrintTo(const MainFrameCommands::Enabled& e, std::ostream* os)
{
    *os << "open " << e.open << " repair " << e.repair << " stop " << e.stop;
}

TEST_F(MainFrameCommands, SelectRepairAndStopFollowTheJobAndTheTree)
{
    EXPECT_EQ(enabled(), (Enabled{true, false, false})) << "idle, empty tree";
    Enabled during{};
    scanFixtures([&] { during = enabled(); });
    EXPECT_EQ(during, (Enabled{false, false, true})) << "a scan runs";
    EXPECT_TRUE(frame().leftView()->hasDatabases());
    EXPECT_EQ(enabled(), (Enabled{true, true, false})) << "idle, scanned";
    // The find bar shows once the tree holds databases.
    ASSERT_NE(frame().findBar(), nullptr);
    EXPECT_TRUE(frame().findBar()->isVisible());
    // Commands without a rule stay enabled whatever runs.
    theApp().m_bIdle = false;
    for (auto id : {CMainFrame::ID_EXIT, CMainFrame::ID_SAVELOG, CMainFrame::ID_CLEARLOG, CMainFrame::ID_UPDATE,
                    CMainFrame::ID_HELP_ABOUT, CMainFrame::ID_HELP_HELP, CMainFrame::ID_VIEW_STATUS_BAR})
        EXPECT_TRUE(frame().action(id)->isEnabled()) << id;
    theApp().m_bIdle = true;
}

TEST_F(MainFrameCommands, TheCommandsCarryTheirLabelsPromptsAndKeyTips)
{
    const struct {
        CMainFrame::Command id;
        const char *label, *keyTip, *prompt, *tip;
    } cases[] = {
        {CMainFrame::ID_OPEN, "Select", "CTRL+O", "Select Corrupted Database(s) (Ctrl+O)", "Select Corrupted Database(s)"},
        {CMainFrame::ID_STARTREPAIR, "&Repair", "CTRL+R", "Start Repair Proces(CTRL+R)", "Start Repair Process"},
        {CMainFrame::ID_STOP, "S&top", "CTRL+T", "Stop Current Running Process(CTRL+T)", "Stop Current Running Process"},
        {CMainFrame::ID_EXIT, "&Exit", "CTRL+X", "Quit Application(CTRL+X)", "Exit"},
        {CMainFrame::ID_HELP_HELP, "Help", "F1", "Grisolt Help(F1)", " Grisolt Help"},
        {CMainFrame::ID_VIEW_MESSAGE_WINDOW, "&MessageLog", "", "Show or Hide Log Window", "Toggle Log Window"},
    };
    for (const auto& c : cases) {
        QAction* action = frame().action(c.id);
        EXPECT_EQ(action->text(), c.label);
        EXPECT_EQ(action->property("keyTip").toString(), c.keyTip);
        EXPECT_EQ(action->statusTip(), c.prompt);
        EXPECT_EQ(action->toolTip(), c.tip);
    }
}

TEST_F(MainFrameCommands, ThePromptPaneShowsReadyOnceTheMouseHasLeftACommand)
{
    QStatusBar* status = frame().statusBar();
    // The bar of an earlier job is gone (the window applies its end at the
    // step timer's pace).
    EXPECT_TRUE(QTest::qWaitFor([] { return frame().statusProgress().bar() == nullptr; }, 5000));
    // Save log, large on the Tools category.
    frame().ribbonBar()->setCurrentCategory(1);
    QApplication::processEvents();
    QToolButton* saveLog = nullptr;
    for (QToolButton* button : frame().ribbonBar()->findChildren<QToolButton*>())
        if (button->defaultAction() == frame().action(CMainFrame::ID_SAVELOG) && button->isVisible())
            saveLog = button;
    ASSERT_NE(saveLog, nullptr);
    QWidget* away = frame().leftView();
    const auto passOver = [&] {
        QTest::mouseMove(saveLog, saveLog->rect().center());
        QApplication::processEvents();
        const QString prompt = status->currentMessage();
        QTest::mouseMove(away, away->rect().center());
        QApplication::processEvents();
        return prompt;
    };

    EXPECT_EQ(passOver(), "Save Log(CTRL+S)");
    EXPECT_EQ(status->currentMessage(), "Ready");
    EXPECT_EQ(passOver(), "Save Log(CTRL+S)") << "a second time alike";
    EXPECT_EQ(status->currentMessage(), "Ready");

    // While a progress bar is shown, a prompt hides it only for as long as
    // the mouse is over the command.
    frame().SendMessage(engine::WM_STATUS_PROGRESS, engine::PROGRESS_BEGIN, 4);
    QTest::qWait(3 * CMainFrame::kStepIntervalMs);
    ASSERT_NE(frame().statusProgress().bar(), nullptr);
    EXPECT_EQ(passOver(), "Save Log(CTRL+S)");
    EXPECT_EQ(status->currentMessage(), QString());
    EXPECT_TRUE(frame().statusProgress().bar()->isVisible());
    frame().SendMessage(engine::WM_STATUS_PROGRESS, engine::PROGRESS_END);
    QTest::qWait(3 * CMainFrame::kStepIntervalMs);
    EXPECT_EQ(frame().statusProgress().bar(), nullptr);
    EXPECT_EQ(status->currentMessage(), "Ready");
    frame().ribbonBar()->setCurrentCategory(0);
}

TEST_F(MainFrameCommands, ShortcutsRunOnlyInTheirStateAndLeaveTextBoxesTheirKeys)
{
    DialogAnswerer answers(false);
    QWidget* tree = frame().leftView();
    QWidget* edit = frame().findBar()->m_editFind;
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool idle;
        QWidget* target;
        bool runs;
    } cases[] = {
        {"Ctrl+L idle", Qt::Key_L, Qt::ControlModifier, true, tree, true},
        {"Ctrl+L busy", Qt::Key_L, Qt::ControlModifier, false, tree, false},
        {"Ctrl+L in a text box", Qt::Key_L, Qt::ControlModifier, true, edit, true},
        {"Ctrl+T idle", Qt::Key_T, Qt::ControlModifier, true, tree, false},
        {"Ctrl+T busy", Qt::Key_T, Qt::ControlModifier, false, tree, true},
        {"Ctrl+X idle", Qt::Key_X, Qt::ControlModifier, true, tree, true},
        {"Ctrl+X busy", Qt::Key_X, Qt::ControlModifier, false, tree, true},
        {"Ctrl+X in a text box", Qt::Key_X, Qt::ControlModifier, true, edit, false},
        {"Ctrl+A idle", Qt::Key_A, Qt::ControlModifier, true, tree, true},
        {"Ctrl+A busy", Qt::Key_A, Qt::ControlModifier, false, tree, false},
        {"Ctrl+A in a text box", Qt::Key_A, Qt::ControlModifier, true, edit, false},
        {"Ctrl+R busy", Qt::Key_R, Qt::ControlModifier, false, tree, false},
        {"Ctrl+Q", Qt::Key_Q, Qt::ControlModifier, true, tree, false},
        {"plain L", Qt::Key_L, Qt::NoModifier, true, tree, false},
        // F1 opens the help whatever runs (here it is missing: a box says so).
        {"F1 busy", Qt::Key_F1, Qt::NoModifier, false, tree, true},
        {"Ctrl+F1", Qt::Key_F1, Qt::ControlModifier, true, tree, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        theApp().m_bIdle = c.idle;
        int run = 0;
        auto connection = QObject::connect(&frame(), &CMainFrame::shortcutRun, [&](int key) {
            if (key == c.key)
                ++run;
        });
        QTest::keyClick(c.target, c.key, c.modifiers);
        QObject::disconnect(connection);
        EXPECT_EQ(run, c.runs ? 1 : 0);
        theApp().m_bIdle = true;
        EXPECT_TRUE(frame().isVisible());
    }
    // Ctrl+X and Ctrl+A did their text box's work there.
    auto* find = frame().findBar()->m_editFind;
    find->setText("orders");
    QTest::keyClick(find, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(find->selectedText(), "orders");
    QTest::keyClick(find, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(find->text(), "");
    // Ctrl+R with an empty tree says so although the ribbon's Repair is off.
    theApp().m_bServiceFound = true;
    answers.m_seen.clear();
    QTest::keyClick(tree, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(answers.m_seen, QStringList{"box:Please select at least one table from left view."});
}

TEST_F(MainFrameCommands, KeyTipsRunTheWindowsCommands)
{
    app::RibbonBar& ribbon = *frame().ribbonBar();
    QWidget* tree = frame().leftView();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Alt);
    EXPECT_EQ(ribbon.shownKeyTips(), (QStringList{"F", "T", "H"}));
    QTest::keyClick(tree, Qt::Key_F);
    EXPECT_EQ(ribbon.shownKeyTips(), (QStringList{"CTRL+O", "CTRL+R", "CTRL+T", "CTRL+X"}));
    // Repair (no scan) and Stop (no job) are off: their keys do nothing.
    QTest::keyClick(tree, Qt::Key_T);
    QTest::keyClick(tree, Qt::Key_R);
    EXPECT_EQ(ribbon.keyTipLevel(), app::RibbonBar::CommandKeyTips);
    QTest::keyClick(tree, Qt::Key_Escape);
    // Tools, Clear log: the log starts again with the product title.
    frame().AppendLog(QStringLiteral("a line"));
    QTest::keyClick(tree, Qt::Key_T);
    QTest::keyClick(tree, Qt::Key_L);
    EXPECT_EQ(frame().logLines(), QStringList{app::CLogWindow::kProductTitle});
    EXPECT_EQ(ribbon.keyTipLevel(), app::RibbonBar::NoKeyTips);
    ribbon.setCurrentCategory(0);
}

TEST_F(MainFrameCommands, StopAsksByTheJobStopsItAndLogsWhen)
{
    const struct {
        bool repairFlag;
        const char* question;
    } cases[] = {
        {false, "Do you want to stop scanning process ?"},
        {true, "Do you want to stop current repair process ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        DialogAnswerer answers(true);
        bool stopSet = false;
        scanFixtures(
            [&] {
                theApp().m_bRepair = c.repairFlag;
                frame().OnStop();
                stopSet = theApp().m_bStop;
                theApp().m_bRepair = false;
            },
            false);
        EXPECT_TRUE(stopSet);
        EXPECT_EQ(answers.m_seen, (QStringList{QStringLiteral("question:") + c.question, "box:Process stopped by user. "}));
        const QString last = frame().logLines().filter("Process stopped by user on ").value(0);
        static const QRegularExpression stamp(
            R"(^Process stopped by user on [A-Z][a-z]+day, [A-Z][a-z]+ \d\d, \d{4}  \d\d:\d\d:\d\d  [AP]M$)");
        EXPECT_TRUE(stamp.match(last).hasMatch()) << last.toStdString();
        frame().logWindow()->ClearLog();
    }
    // Yes after the job ended by itself only sets the flag: no box, no line.
    DialogAnswerer answers(true);
    frame().OnStop();
    EXPECT_EQ(answers.m_seen, QStringList{"question:Do you want to stop scanning process ?"});
    EXPECT_TRUE(theApp().m_bStop);
    EXPECT_TRUE(frame().logLines().filter("Process stopped by user on ").isEmpty());
    theApp().m_bStop = false;
}

TEST_F(MainFrameCommands, CloseRefusedWhileAScanRunsAndAnsweredNoKeepsTheWindow)
{
    DialogAnswerer answers(false);
    bool closed = true;
    scanFixtures([&] { closed = frame().close(); });
    EXPECT_FALSE(closed);
    EXPECT_EQ(answers.m_seen.value(0), "notice:Can not exit!");
    answers.m_seen.clear();
    EXPECT_FALSE(frame().close());
    EXPECT_EQ(answers.m_seen, QStringList{"question:Exit-Grisolt?"});
    EXPECT_TRUE(frame().isVisible());
    EXPECT_TRUE(frame().leftView()->hasDatabases());
}

TEST_F(MainFrameCommands, CloseInTheChosenFolderModeRemovesTheBackupFolderOnlyWhenEmpty)
{
    testsupport::TempDir dir;
    const struct {
        const char* name;
        bool holdsFile;
    } cases[] = {{"emptied", false}, {"holding a file", true}};
    QApplication::setQuitOnLastWindowClosed(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.mkdir(QStringLiteral("old_ibdata1_%1").arg(c.holdsFile));
        if (c.holdsFile) {
            QFile file(folder + "/ibdata1");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("keep");
        }
        theApp().repair().m_strIbdataBackup = folder + "/ibdata1";
        theApp().m_bDefaultLocation = false;
        DialogAnswerer answers(true);
        EXPECT_TRUE(frame().close());
        EXPECT_EQ(answers.m_seen, QStringList{"question:Exit-Grisolt?"});
        EXPECT_EQ(QFileInfo::exists(folder), c.holdsFile);
        if (c.holdsFile) {
            EXPECT_TRUE(QFileInfo::exists(folder + "/ibdata1"));
        }
        EXPECT_EQ(frame().findBar(), nullptr);
        frame().show();
    }
    theApp().repair().m_strIbdataBackup.clear();
}

// The window system hiding a dialog and showing it again (a minimise and a
// restore) keeps what the user typed; each opening by the program, as the
// repair opens the login dialog, starts empty.
TEST_F(MainFrameCommands, TheLoginDialogKeepsWhatWasTypedOverAMinimise)
{
    frame().UseStandardDialogs();
    struct Boxes {
        QString user, host, password;
        bool ok = false;
    };
    const auto boxes = [](const app::CConDlg& dialog) {
        return Boxes{dialog.m_edtUser->text(), dialog.m_edtHost->text(), dialog.m_edtPassword->text(),
                     dialog.m_btnOK->isEnabled()};
    };
    Boxes restored;
    int restoreShows = 0;
    widgettest::answerModal<app::CConDlg>([&](app::CConDlg& dialog) {
        QTest::keyClicks(dialog.m_edtUser, "admin");
        QTest::keyClicks(dialog.m_edtHost, "db.example");
        QTest::keyClicks(dialog.m_edtPassword, "secret");
        restoreShows = widgettest::minimiseAndRestore(dialog);
        restored = boxes(dialog);
        dialog.m_btnOK->click();
        if (dialog.isVisible())
            dialog.m_btnCancel->click();
    });
    QString host, user, password;
    EXPECT_TRUE(frame().RunLoginDialog(host, user, password));
    EXPECT_GE(restoreShows, 1) << "the restore did not reach the dialog as the window system's show";
    EXPECT_EQ(restored.user, "admin");
    EXPECT_EQ(restored.host, "db.example");
    EXPECT_EQ(restored.password, "secret");
    EXPECT_TRUE(restored.ok);
    EXPECT_EQ(user + '@' + host + ':' + password, "admin@db.example:secret");

    // Opened again by the next repair: empty boxes, OK disabled.
    Boxes reopened{"unread", "unread", "unread", true};
    widgettest::answerModal<app::CConDlg>([&](app::CConDlg& dialog) {
        reopened = boxes(dialog);
        dialog.m_btnCancel->click();
    });
    EXPECT_FALSE(frame().RunLoginDialog(host, user, password));
    EXPECT_EQ(reopened.user + reopened.host + reopened.password, "");
    EXPECT_FALSE(reopened.ok);
}

TEST_F(MainFrameCommands, TheStartUpDialogKeepsTheChosenFolderOverAMinimise)
{
    widgettest::FakeFileDialogs files;
    frame().setFileDialogs(&files);
    const std::function<bool()> earlier = theApp().m_startUpDialog;
    theApp().UseStandardDialogs();
    const bool serviceFound = theApp().m_bServiceFound;
    theApp().m_bServiceFound = true;
    struct Controls {
        bool manual = false, ok = false;
        QString folder;
    };
    const auto controls = [](const app::StartUpDialog& dialog) {
        return Controls{dialog.m_radManual->isChecked(), dialog.m_btnOK->isEnabled(), dialog.m_edtFolder->text()};
    };
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(shelltest::fixtureData()));
    files.m_answers = {folder};
    Controls restored;
    int restoreShows = 0;
    widgettest::answerModal<app::StartUpDialog>([&](app::StartUpDialog& dialog) {
        dialog.m_radManual->click();
        dialog.m_btnBrowse->click();
        restoreShows = widgettest::minimiseAndRestore(dialog);
        restored = controls(dialog);
        dialog.m_btnCancel->click();
    });
    frame().action(CMainFrame::ID_OPEN)->trigger();
    EXPECT_GE(restoreShows, 1) << "the restore did not reach the dialog as the window system's show";
    EXPECT_TRUE(restored.manual);
    EXPECT_TRUE(restored.ok);
    EXPECT_EQ(restored.folder, folder);

    // Opened again by Select: the default location, an empty folder box.
    Controls reopened{true, false, "unread"};
    widgettest::answerModal<app::StartUpDialog>([&](app::StartUpDialog& dialog) {
        reopened = controls(dialog);
        dialog.m_btnCancel->click();
    });
    frame().action(CMainFrame::ID_OPEN)->trigger();
    EXPECT_FALSE(reopened.manual);
    EXPECT_TRUE(reopened.ok);
    EXPECT_EQ(reopened.folder, "");
    EXPECT_TRUE(theApp().m_bIdle) << "a cancelled dialog starts no scan";

    theApp().m_bServiceFound = serviceFound;
    theApp().m_startUpDialog = earlier;
    frame().setFileDialogs(nullptr);
}

} // namespace
