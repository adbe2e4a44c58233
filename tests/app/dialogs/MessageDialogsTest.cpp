#include "tests/app/ShellTestSupport.h"

#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"

#include <QKeyEvent>
#include <QLabel>

using app::theApp;

namespace {

// Runs the dialog's modal loop and presses key in it once it is open.
int execPressing(QDialog& dialog, Qt::Key key)
{
    QTimer::singleShot(0, &dialog, [&dialog, key] {
        QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    });
    return dialog.exec();
}

TEST(MessageDialogs, ShowTheTextsAsTheyStoodWhenTheyOpened)
{
    theApp().setMessage("first");
    app::UserMessage box(theApp());
    theApp().setMessage("second");
    EXPECT_EQ(box.text(), "first");

    theApp().m_strMessageTitle = "Can not exit!";
    theApp().setMessageText("Please first stop the current process before exiting Grisolt.");
    app::CMessageDialog notice(theApp());
    EXPECT_EQ(notice.title(), "Can not exit!");
    EXPECT_EQ(notice.text(), "Please first stop the current process before exiting Grisolt.");

    theApp().setMessageText("Exit-Grisolt?");
    app::CMyExitStopDialog question(theApp());
    EXPECT_EQ(question.text(), "Exit-Grisolt?");
    for (QDialog* d : std::initializer_list<QDialog*>{&box, &notice, &question})
        EXPECT_EQ(d->windowTitle(), "Grisolt");
}

TEST(MessageDialogs, AnEmptyMessageShowsAnEmptyBoxWithItsButton)
{
    theApp().setMessage(QString());
    app::UserMessage box(theApp());
    EXPECT_EQ(box.text(), QString());
    EXPECT_EQ(box.okButton()->text(), "OK");
    EXPECT_EQ(execPressing(box, Qt::Key_Return), QDialog::Accepted);
}

TEST(MessageDialogs, TheQuestionAnswersYesOnlyThroughYes)
{
    theApp().setMessageText("Do you want to stop current repair process ?");
    const struct {
        const char* name;
        Qt::Key key;
        int expected;
    } cases[] = {
        {"Enter presses Yes, which has the focus", Qt::Key_Return, QDialog::Accepted},
        {"Esc is No", Qt::Key_Escape, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app::CMyExitStopDialog question(theApp());
        EXPECT_EQ(execPressing(question, c.key), c.expected);
    }
    app::CMyExitStopDialog question(theApp());
    EXPECT_FALSE(question.yesButton()->isDefault());
    EXPECT_FALSE(question.noButton()->isDefault());
    QTimer::singleShot(0, &question, [&] { question.noButton()->click(); });
    EXPECT_EQ(question.exec(), QDialog::Rejected);
}

TEST(MessageDialogs, TheNoticesOkClosesItAsEscDoes)
{
    app::CMessageDialog notice(theApp());
    QTimer::singleShot(0, &notice, [&] { notice.okButton()->click(); });
    EXPECT_EQ(notice.exec(), QDialog::Rejected);
}

TEST(MessageDialogs, TheVersionThreeNoticeIsAlwaysTheSame)
{
    app::CVersionThreeMsg notice;
    const QString text = notice.findChild<QLabel*>("text")->text();
    EXPECT_EQ(text, app::CVersionThreeMsg::noticeText());
    EXPECT_TRUE(text.startsWith("This database contains some table(s) from non supported version (MySQL 3.x).\n\n"
                                "Please contect "));
    EXPECT_TRUE(text.endsWith("for free recovery of these tables.\n\n"
                              "Recovery result depends on many parameters and can't be guaranted."));
    EXPECT_EQ(execPressing(notice, Qt::Key_Return), QDialog::Accepted);
}

} // namespace
