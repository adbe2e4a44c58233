#include "tests/app/ShellTestSupport.h"

#include "app/SingleInstanceLock.h"
#include "app/dialogs/CAboutDlg.h"
#include "platform/Registry.h"
#include "tests/support/TempDir.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>

using app::CVeltraxMySqlRecoveryApp;
using app::theApp;

namespace {

TEST(ApplicationObject, ReadsTheProductValuesAndTheServices)
{
    const QString product = "SOFTWARE\\Veltrax\\Grisolt";
    platform::Registry::setValue(product, "Version", "1.0");
    platform::Registry::setValue(product, "Tel6", "Fax");
    platform::Registry::setValue(product, "Tel6Val", "+1 555 0100");
    platform::Registry::setValue(product, "MessengerVal", "grisolt");
    theApp().ReadProductRegistryValues();
    EXPECT_EQ(theApp().m_strVersion, "1.0");
    EXPECT_EQ(theApp().m_strTel6, "Fax");
    EXPECT_EQ(theApp().m_strTel6Val, "+1 555 0100");
    EXPECT_EQ(theApp().m_strMessengerVal, "grisolt");
    EXPECT_EQ(theApp().m_strHomePage, QString()); // missing reads as empty

    const QString services = "SYSTEM\\CurrentControlSet\\Services\\";
    platform::Registry::setValue(services + "MySQL57", "ImagePath", "/usr/sbin/mariadbd --defaults-file=/x/my.ini");
    platform::Registry::setValue(services + "mysql-lower", "ImagePath", "/bin/true");
    EXPECT_TRUE(theApp().FindMySqlServices());
    ASSERT_EQ(theApp().m_services.size(), 1u);
    EXPECT_EQ(theApp().m_services[0].m_imagePath, "/usr/sbin/mariadbd --defaults-file=/x/my.ini");
}

TEST(ApplicationObject, TheAboutBoxShowsTheProductValuesReadAtStartUp)
{
    const QString product = "SOFTWARE\\Veltrax\\Grisolt";
    platform::Registry::setValue(product, "Version", "2.5");
    platform::Registry::setValue(product, "HomePageText", "Home");
    theApp().ReadProductRegistryValues();
    // Changed after start-up: the box does not read the registry again.
    platform::Registry::setValue(product, "Version", "9.9");
    platform::Registry::setValue(product, "HomePageText", "Elsewhere");

    QString version, home;
    QTimer::singleShot(0, qApp, [&] {
        if (auto* about = qobject_cast<app::CAboutDlg*>(QApplication::activeModalWidget())) {
            version = about->m_stcVersion->text();
            home = about->m_lnkHomePage->text();
            about->reject();
        }
    });
    theApp().mainFrame()->OnHelpAbout();
    EXPECT_EQ(version, "2.5");
    EXPECT_EQ(home, "Home");
    EXPECT_EQ(theApp().ProductValue("Version"), "2.5");
    EXPECT_EQ(theApp().ProductValue("NoSuchValue"), QString());
}

TEST(ApplicationObject, StartsAsTheProgramDoes)
{
    EXPECT_EQ(theApp().mainFrame()->windowTitle(), "  Grisolt");
    EXPECT_TRUE(theApp().mainFrame()->isVisible());
    EXPECT_EQ(theApp().repair().m_hWndReport, theApp().mainFrame());
    EXPECT_TRUE(theApp().m_strTempFolder.endsWith('/'));
    // No start-up dialog yet: nothing was scanned and the program is idle.
    EXPECT_TRUE(theApp().m_bIdle);
}

TEST(SingleInstance, ASecondProcessEndsAtOnceAndLeavesTheFirstAlone)
{
    testsupport::TempDir machine;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", machine.mkdir("run"));
    env.insert("GRISOLT_REGISTRY", machine.file("registry.ini"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LSAN_OPTIONS", "suppressions=" GRISOLT_SOURCE_DIR "/tests/lsan.supp");
    const QString lock = machine.file("run/VOXA_APP.lock");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(GRISOLT_APP, {});
    ASSERT_TRUE(first.waitForStarted());
    QDeadlineTimer deadline(60000);
    // The lock file is made first and written a moment later.
    while (QFileInfo(lock).size() == 0 && !deadline.hasExpired())
        QThread::msleep(50);
    ASSERT_GT(QFileInfo(lock).size(), 0);
    const QByteArray lockBefore = [&] {
        QFile f(lock);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(GRISOLT_APP, {});
    EXPECT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    QFile f(lock);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), lockBefore);

    first.terminate();
    if (!first.waitForFinished(30000))
        first.kill();
    first.waitForFinished();
}

TEST(SingleInstance, TheRunningProgramHoldsTheLock)
{
    // This test program started as the program does: it holds the lock of
    // its runtime folder, so nobody else gets it.
    app::SingleInstanceLock another;
    EXPECT_FALSE(another.acquire());
}

} // namespace
