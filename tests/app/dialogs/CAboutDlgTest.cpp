#include "app/dialogs/CAboutDlg.h"

#include "app/dialogs/CEulaDlg.h"
#include "tests/app/RegistryFile.h"
#include "tests/app/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using app::CAboutDlg;
using app::CEulaDlg;

namespace {

TEST(CAboutDlgTest, ShowsTheProductValuesAndOpensItsLinks)
{
    const struct {
        const char* name;
        const char* value;
    } values[] = {
        {"Version", "1.4.2"},         {"HomePageText", "Our home page"}, {"HomePage", "http://127.0.0.1/home"},
        {"EmailSupText", "Support"}, {"EmailSup", "help@example.org"},
        {"Tel1", "Phone"},            {"Tel1Val", "+1 555 0100"},        {"Messenger", "Chat"},
        {"MessengerVal", "grisolt-support"},
    };
    QHash<QString, QString> product;
    for (const auto& v : values)
        product.insert(QString::fromLatin1(v.name), QString::fromLatin1(v.value));

    widgettest::UrlCatcher desktop({QStringLiteral("http"), QStringLiteral("mailto")});
    CAboutDlg about([&](const QString& name) { return product.value(name); });
    about.show();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Grisolt"));
    EXPECT_EQ(about.m_stcVersion->text(), QStringLiteral("1.4.2"));
    EXPECT_EQ(about.m_lnkHomePage->text(), QStringLiteral("Our home page"));
    ASSERT_EQ(about.m_contacts.size(), 7);
    EXPECT_EQ(about.m_contacts[0].first->text(), QStringLiteral("Phone"));
    EXPECT_EQ(about.m_contacts[0].second->text(), QStringLiteral("+1 555 0100"));
    EXPECT_EQ(about.m_contacts[1].first->text(), QString()) << "a missing value leaves its line empty";
    EXPECT_EQ(about.m_contacts[6].second->text(), QStringLiteral("grisolt-support"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\. \\d+\\.\\d+$")).match(CAboutDlg::VersionText()).hasMatch())
        << CAboutDlg::VersionText().toStdString();

    // Clicks on the links; the sales link has no text (no "SalesText") and
    // still reacts to a click on its area.
    EXPECT_EQ(about.m_lnkSalesMail->text(), QString());
    ASSERT_GT(about.m_lnkSalesMail->width(), 0);
    for (QLabel* link : {about.m_lnkHomePage, about.m_lnkSupportMail, about.m_lnkSalesMail})
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, link->rect().center());
    ASSERT_EQ(desktop.m_opened.size(), 3);
    EXPECT_EQ(desktop.m_opened[0], QUrl(QStringLiteral("http://127.0.0.1/home")));
    EXPECT_EQ(desktop.m_opened[1], QUrl(QStringLiteral("mailto:help@example.org")));
    EXPECT_EQ(desktop.m_opened[2].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(about.m_bHomePageVisited);
    EXPECT_TRUE(about.m_bSupportMailVisited);
    EXPECT_EQ(about.m_lnkHomePage->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_TRUE(about.m_bSalesMailVisited);
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
