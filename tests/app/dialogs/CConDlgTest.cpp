#include "app/dialogs/CConDlg.h"

#include "tests/app/RegistryFile.h"
#include "tests/app/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using app::CConDlg;

namespace {

TEST(CConDlgTest, OkNeedsUserAndHostAndEveryShowingStartsEmpty)
{
    CConDlg dialog;
    dialog.show();
    EXPECT_FALSE(dialog.m_btnOK->isEnabled());
    const struct {
        const char* user;
        const char* host;
        bool ok;
    } steps[] = {
        {"", "localhost", false}, {"admin", "localhost", true}, {"admin", "", false}, {"", "", false},
        {"admin", "127.0.0.1", true},
    };
    for (const auto& s : steps) {
        dialog.m_edtUser->setText(QString::fromLatin1(s.user));
        dialog.m_edtHost->setText(QString::fromLatin1(s.host));
        EXPECT_EQ(dialog.m_btnOK->isEnabled(), s.ok) << s.user << "@" << s.host;
    }
    // An empty password is accepted.
    dialog.m_btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strUser, QStringLiteral("admin"));
    EXPECT_EQ(dialog.m_strHost, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.m_strPassword, QString());

    // The second showing: empty boxes, OK disabled, the members kept.
    dialog.show();
    EXPECT_TRUE(dialog.m_edtUser->text().isEmpty());
    EXPECT_TRUE(dialog.m_edtHost->text().isEmpty());
    EXPECT_TRUE(dialog.m_edtPassword->text().isEmpty());
    EXPECT_FALSE(dialog.m_btnOK->isEnabled());
    EXPECT_EQ(dialog.m_strUser, QStringLiteral("admin"));

    // Escape cancels and leaves the members as they were.
    dialog.m_edtUser->setText(QStringLiteral("other"));
    dialog.m_edtHost->setText(QStringLiteral("elsewhere"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.m_strUser, QStringLiteral("admin"));
    EXPECT_EQ(dialog.m_strHost, QStringLiteral("127.0.0.1"));
}

TEST(CConDlgTest, ThePasswordIsMaskedScrollsAndKeepsEveryCharacter)
{
    CConDlg dialog;
    dialog.show();
    EXPECT_EQ(dialog.m_edtPassword->echoMode(), QLineEdit::Password);
    // Longer than the box is wide, with the characters that end or quote a
    // connection-string value: typed in whole.
    const QString password = QStringLiteral("a;very{long}password;that=does-not-fit-the-box-at-all-0123456789");
    dialog.m_edtUser->setText(QStringLiteral("root"));
    dialog.m_edtHost->setText(QStringLiteral("localhost"));
    QTest::keyClicks(dialog.m_edtPassword, password);
    EXPECT_GT(dialog.m_edtPassword->fontMetrics().horizontalAdvance(password), dialog.m_edtPassword->width());
    EXPECT_EQ(dialog.m_edtPassword->displayText().contains(QLatin1Char('a')), false);
    dialog.m_btnOK->click();
    EXPECT_EQ(dialog.m_strPassword, password);
}

TEST(CConDlgTest, HelpOpensTheHelpFileOrSaysWhyNot)
{
    widgettest::RegistryFile registry;
    widgettest::UrlCatcher desktop({QStringLiteral("file")});
    widgettest::MessageRecorder told;

    // No program folder, then a folder without the file: a clear message, nothing opened.
    EXPECT_FALSE(CConDlg::OnHelp(nullptr, told.sink()));
    const QString folder = registry.makeProgramFolder();
    EXPECT_FALSE(CConDlg::OnHelp(nullptr, told.sink()));
    ASSERT_EQ(told.m_texts.size(), 2);
    EXPECT_TRUE(told.m_texts[1].contains(QStringLiteral("MySqlRecovery.chm is missing"))) << told.m_texts[1].toStdString();
    EXPECT_TRUE(desktop.m_opened.isEmpty());

    // The file present: the desktop opens it, through the dialog's button too.
    QFile help(folder + QStringLiteral("/MySqlRecovery.chm"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    CConDlg dialog;
    dialog.m_tell = told.sink();
    dialog.m_btnHelp->click();
    ASSERT_EQ(desktop.m_opened.size(), 1);
    EXPECT_EQ(desktop.m_opened[0].toLocalFile(), folder + QStringLiteral("/MySqlRecovery.chm"));
    EXPECT_EQ(told.m_texts.size(), 2);
}

} // namespace
