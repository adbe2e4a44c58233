#include "app/dialogs/CAboutDlg.h"

#include "app/dialogs/CEulaDlg.h"
#include "tests/app/RegistryFile.h"
#include "tests/app/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using app::CAboutDlg;
using app::CEulaDlg;

namespace {

TEST(CAboutDlgTest, ShowsTheProductValuesAndOpensItsLinks)
{
    widgettest::RegistryFile registry;
    const struct {
        const char* name;
        const char* value;
    } values[] = {
        {"Version", "1.4.2"},         {"HomePageText", "Our home page"}, {"HomePage", "http://127.0.0.1/home"},
        {"EmailSupText", "Support"}, {"EmailSup", "help@example.org"}, {"SalesText", "Sales"},
        {"Tel1", "Phone"},            {"Tel1Val", "+1 555 0100"},        {"Messenger", "Chat"},
        {"MessengerVal", "grisolt-support"},
    };
    for (const auto& v : values)
        registry.setProductValue(QString::fromLatin1(v.name), QString::fromLatin1(v.value));

    widgettest::UrlCatcher desktop({QStringLiteral("http"), QStringLiteral("mailto")});
    CAboutDlg about;
    about.show();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Grisolt"));
    EXPECT_EQ(about.m_stcVersion->text(), QStringLiteral("1.4.2"));
    EXPECT_TRUE(about.m_lnkHomePage->text().contains(QStringLiteral("Our home page")));
    ASSERT_EQ(about.m_contacts.size(), 7);
    EXPECT_EQ(about.m_contacts[0].first->text(), QStringLiteral("Phone"));
    EXPECT_EQ(about.m_contacts[0].second->text(), QStringLiteral("+1 555 0100"));
    EXPECT_EQ(about.m_contacts[1].first->text(), QString()) << "a missing value leaves its line empty";
    EXPECT_EQ(about.m_contacts[6].second->text(), QStringLiteral("grisolt-support"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\. \\d+\\.\\d+$")).match(CAboutDlg::VersionText()).hasMatch())
        << CAboutDlg::VersionText().toStdString();

    about.OnHomePageLink();
    about.OnSupportMailLink();
    about.OnSalesMailLink(); // an empty "Sales" still opens the mail client
    ASSERT_EQ(desktop.m_opened.size(), 3);
    EXPECT_EQ(desktop.m_opened[0], QUrl(QStringLiteral("http://127.0.0.1/home")));
    EXPECT_EQ(desktop.m_opened[1], QUrl(QStringLiteral("mailto:help@example.org")));
    EXPECT_EQ(desktop.m_opened[2].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(about.m_bHomePageVisited);
    EXPECT_TRUE(about.m_bSupportMailVisited);
    EXPECT_EQ(about.m_lnkHomePage->palette().color(QPalette::Link), QColor(128, 0, 128));
}

TEST(CEulaDlgTest, ListsTheLinesOfEulaDat)
{
    widgettest::RegistryFile registry;
    {
        CEulaDlg eula;
        EXPECT_EQ(eula.m_lstText->count(), 0) << "no program folder: an empty list";
    }
    const QString folder = registry.makeProgramFolder();
    QFile file(folder + QStringLiteral("/eula.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("LICENCE AGREEMENT\r\n\r\nCaf\xe9 terms\r\nlast line");
    file.close();
    CEulaDlg eula;
    ASSERT_EQ(eula.m_lstText->count(), 4);
    EXPECT_EQ(eula.windowTitle(), QStringLiteral("EULA Dialog"));
    EXPECT_EQ(eula.m_lstText->item(0)->text(), QStringLiteral("LICENCE AGREEMENT"));
    EXPECT_EQ(eula.m_lstText->item(1)->text(), QString());
    EXPECT_EQ(eula.m_lstText->item(2)->text(), QStringLiteral("Café terms"));
    EXPECT_EQ(eula.m_lstText->item(3)->text(), QStringLiteral("last line"));
}

} // namespace
