#include "app/dialogs/CConDlg.h"

#include "tests/app/RegistryFile.h"
#include "tests/app/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMimeDatabase>
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

TEST(CConDlgTest, TheProgramsPictureStandsLeftOfTheFields)
{
    CConDlg dialog;
    dialog.show();
    auto* picture = dialog.findChild<QLabel*>(QStringLiteral("picture"));
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_EQ(picture->size(), QSize(77, 113));
    const QImage image = picture->pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(77, 113));
    // Something is drawn: the middle of the picture is not left transparent.
    EXPECT_GT(qAlpha(image.pixel(38, 56)), 0);
    const QRect shown(picture->mapTo(&dialog, QPoint(0, 0)), picture->size());
    for (QWidget* field : {static_cast<QWidget*>(dialog.m_edtUser), static_cast<QWidget*>(dialog.m_edtHost),
                           static_cast<QWidget*>(dialog.m_edtPassword)}) {
        const QRect box(field->mapTo(&dialog, QPoint(0, 0)), field->size());
        EXPECT_LT(shown.right(), box.left());
        EXPECT_LT(shown.top(), box.bottom());
        EXPECT_GT(shown.bottom(), box.top());
    }
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
    const QString name = QFileInfo(CConDlg::HelpFilePath()).fileName();
    EXPECT_TRUE(told.m_texts[1].contains(name + QStringLiteral(" is missing"))) << told.m_texts[1].toStdString();
    EXPECT_TRUE(desktop.m_opened.isEmpty());

    // The shipped file, put in the program folder as the first run does: the
    // desktop opens it, through the dialog's button too.
    const QString shipped = QStringLiteral(GRISOLT_SOURCE_DIR "/resources/") + name;
    ASSERT_TRUE(QFile::copy(shipped, folder + QLatin1Char('/') + name)) << shipped.toStdString();
    CConDlg dialog;
    dialog.m_tell = told.sink();
    dialog.m_btnHelp->click();
    ASSERT_EQ(desktop.m_opened.size(), 1);
    const QString opened = desktop.m_opened[0].toLocalFile();
    EXPECT_EQ(opened, folder + QLatin1Char('/') + name);
    EXPECT_EQ(told.m_texts.size(), 2);

    // The desktop's type database reads it as HTML, by its name alone as
    // well as by its content, so the desktop's HTML viewer gets it.
    const QMimeDatabase types;
    EXPECT_TRUE(types.mimeTypeForFile(opened, QMimeDatabase::MatchExtension).inherits(QStringLiteral("text/html")))
        << types.mimeTypeForFile(opened, QMimeDatabase::MatchExtension).name().toStdString();
    EXPECT_TRUE(types.mimeTypeForFile(opened, QMimeDatabase::MatchContent).inherits(QStringLiteral("text/html")))
        << types.mimeTypeForFile(opened, QMimeDatabase::MatchContent).name().toStdString();
    // And the first run installs it under that name in the program folder.
    QFile firstRun(QStringLiteral(GRISOLT_SOURCE_DIR "/scripts/first-run"));
    ASSERT_TRUE(firstRun.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(firstRun.readAll()).contains(QStringLiteral("\"$program/") + name + QLatin1Char('"')));
}

} // namespace
