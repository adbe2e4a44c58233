#include "updater/CUpdatePropertySheet.h"

#include "engine/AppState.h"
#include "tests/updater/UpdaterTestBed.h"
#include "updater/AppStateUpdaterHost.h"
#include "updater/BusyAnimation.h"
#include "updater/CAutoUpdater.h"
#include "updater/CUpdateFinalPage.h"
#include "updater/CUpdateProcessPage.h"
#include "updater/CUpdateStartPage.h"
#include "updater/UpdateCommand.h"
#include "updater/UpdaterHost.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace updater;
using testsupport::UpdaterTestBed;

namespace {

constexpr int kWaitMs = 15000;

// The program around the wizard, as far as the updater sees it.
class RecordingHost : public UpdaterHost {
public:
    explicit RecordingHost(QString temp) : m_temp(std::move(temp)) {}

    bool isJobRunning() const override { return m_jobRunning; }
    QString tempFolder() const override { return m_temp; }
    void openUrl(const QUrl& url) override { m_opened << url; }
    void showMessage(QWidget*, const QString& text) override { m_messages << text; }
    void quitProgram() override { ++m_quits; }

    QString m_temp;
    bool m_jobRunning = false;
    QList<QUrl> m_opened;
    QStringList m_messages;
    int m_quits = 0;
};

enum class Button { Hidden, Disabled, Enabled };

Button stateOf(const QPushButton* button)
{
    if (button->isHidden())
        return Button::Hidden;
    return button->isEnabled() ? Button::Enabled : Button::Disabled;
}

const char* nameOf(Button b)
{
    return b == Button::Hidden ? "hidden" : b == Button::Disabled ? "disabled" : "enabled";
}

class UpdateWizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_installer = testsupport::randomBytes(200 * 1024, 3);
        m_bed.setValue(QStringLiteral("Version"), QStringLiteral("3.0.0.1"));
        m_bed.setValue(QStringLiteral("Update"), QStringLiteral("http://127.0.0.1/upgrade-page"));
        useExe(QStringLiteral("app"));
        ASSERT_NE(m_bed.server().port(), 0);
        m_updater.setOnlineProbe([this](const QUrl&) { return m_online; });
        m_updater.setTransferTimeout(1500);
    }

    void useExe(const QString& exe, const QByteArray& versionFile = "3.0.0.2 fixes\n")
    {
        m_bed.publish(exe, QStringLiteral(".txt"), versionFile);
        m_bed.publish(exe, QStringLiteral(".exe"), m_installer);
        m_bed.setValue(QStringLiteral("ExeName"), exe);
    }

    static bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }

    static bool checkDone(const CUpdatePropertySheet& sheet)
    {
        return waitFor([&] { return !sheet.m_pageProcess->isChecking() && sheet.backButton()->isEnabled(); });
    }

    static bool downloadDone(const CUpdatePropertySheet& sheet)
    {
        return waitFor([&] { return sheet.m_pageFinal->result() != -1; });
    }

    UpdaterTestBed m_bed;
    RecordingHost m_host{m_bed.tempFolder()};
    CAutoUpdater m_updater;
    QByteArray m_installer;
    bool m_online = true;
};

TEST_F(UpdateWizardTest, ButtonsAtEachMoment)
{
    CUpdatePropertySheet sheet(m_updater, m_host);
    sheet.show();
    const struct {
        const char* moment;
        std::function<bool()> act;
        QWidget* page;
        Button back;
        Button next;
        Button finish;
    } steps[] = {
        {"welcome page first shown", [] { return true; }, sheet.m_pageStart, Button::Disabled, Button::Enabled,
         Button::Hidden},
        {"Next on the welcome page", [&] { sheet.nextButton()->click(); return true; }, sheet.m_pageProcess,
         Button::Disabled, Button::Disabled, Button::Hidden},
        {"check done, update available", [&] { return checkDone(sheet); }, sheet.m_pageProcess, Button::Enabled,
         Button::Enabled, Button::Hidden},
        {"Back on the check page", [&] { sheet.backButton()->click(); return true; }, sheet.m_pageStart,
         Button::Disabled, Button::Enabled, Button::Hidden},
        {"check page again", [&] { sheet.nextButton()->click(); return true; }, sheet.m_pageProcess,
         Button::Disabled, Button::Disabled, Button::Hidden},
        {"check done again", [&] { return checkDone(sheet); }, sheet.m_pageProcess, Button::Enabled,
         Button::Enabled, Button::Hidden},
        {"download page becomes current", [&] { sheet.nextButton()->click(); return true; }, sheet.m_pageFinal,
         Button::Hidden, Button::Disabled, Button::Hidden},
        {"download complete", [&] { return downloadDone(sheet); }, sheet.m_pageFinal, Button::Hidden,
         Button::Hidden, Button::Enabled},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step.act()) << step.moment;
        EXPECT_EQ(sheet.currentPage(), step.page) << step.moment;
        EXPECT_EQ(stateOf(sheet.backButton()), step.back)
            << step.moment << ": Back " << nameOf(stateOf(sheet.backButton()));
        EXPECT_EQ(stateOf(sheet.nextButton()), step.next)
            << step.moment << ": Next " << nameOf(stateOf(sheet.nextButton()));
        EXPECT_EQ(stateOf(sheet.finishButton()), step.finish)
            << step.moment << ": Finish " << nameOf(stateOf(sheet.finishButton()));
        EXPECT_EQ(stateOf(sheet.cancelButton()), Button::Enabled) << step.moment;
    }
    EXPECT_EQ(sheet.m_pageFinal->m_staticStatus->text(), QStringLiteral("Download completed"));
    EXPECT_EQ(sheet.m_pageFinal->m_progress->value(), sheet.m_pageFinal->m_progress->maximum());
    EXPECT_FALSE(sheet.setupPath().isEmpty());
    EXPECT_FALSE(sheet.m_bUpdateCancelled);
}

TEST_F(UpdateWizardTest, CheckOutcomes)
{
    const QString searching =
        QStringLiteral("Grisolt Update Wizard is searching for latest updates available online.");
    const QString checking = QStringLiteral("Checking for updates...");
    const QString updated = QStringLiteral("This application is updated.");
    const struct {
        const char* name;
        const char* installed;
        const char* exe;
        QByteArray versionFile;
        bool online;
        QString message;
        QString status;
        bool majorNote;
        Button next;
    } cases[] = {
        {"update available", "3.0.0.1", "app", "3.0.0.2 fixes\n", true,
         QStringLiteral("A new update 3.0.0.2 is available. Click Next to proceed further."), checking, false,
         Button::Enabled},
        {"only a major release", "3.5.0.1", "major", "3.5.0.1\n4.0.0.2\n", true,
         QStringLiteral("Application has all latest updates. Click cancel to close window."), checking, true,
         Button::Disabled},
        {"update and a major release", "3.0.0.0", "major", "3.5.0.1\n4.0.0.2\n", true,
         QStringLiteral("A new update 3.5.0.1 is available. Click Next to proceed further."), checking, true,
         Button::Enabled},
        {"offline", "3.0.0.1", "app", "3.0.0.2\n", false,
         QStringLiteral("Connection to server could not be established. Please try later."), checking, false,
         Button::Disabled},
        {"error page", "3.0.0.1", "status500-app", "3.0.0.2\n", true, QStringLiteral("Internet Session failed."),
         checking, false, Button::Disabled},
        {"up to date", "3.0.0.2", "app", "3.0.0.2\n", true, updated, updated, false, Button::Disabled},
        {"no installed version", "", "app", "3.0.0.2\n", true,
         QStringLiteral("The installed version is not known, so no update can be chosen. Please reinstall the "
                        "application."),
         checking, false, Button::Disabled},
        {"not a version", "3.0.0.1", "bad", "three\n", true,
         QStringLiteral("The version information could not be read. Please try later."), checking, false,
         Button::Disabled},
    };
    for (const auto& c : cases) {
        m_bed.setValue(QStringLiteral("Version"), QLatin1String(c.installed));
        useExe(QLatin1String(c.exe), c.versionFile);
        m_online = c.online;
        CUpdatePropertySheet sheet(m_updater, m_host);
        sheet.show();
        sheet.nextButton()->click();
        EXPECT_TRUE(sheet.m_pageProcess->m_animate->isPlaying()) << c.name;
        ASSERT_TRUE(checkDone(sheet)) << c.name;
        const CUpdateProcessPage& page = *sheet.m_pageProcess;
        EXPECT_EQ(page.m_staticMessage->text(), c.message) << c.name;
        EXPECT_EQ(page.m_staticStatus->text(), c.status) << c.name;
        EXPECT_EQ(page.m_staticMajorNote->isVisible(), c.majorNote) << c.name;
        EXPECT_EQ(page.m_staticLink->isVisible(), c.majorNote) << c.name;
        EXPECT_EQ(stateOf(sheet.nextButton()), c.next) << c.name;
        EXPECT_FALSE(page.m_animate->isPlaying()) << c.name;
    }
}

TEST_F(UpdateWizardTest, UpgradePageLinkOpensTheUpdateAddress)
{
    m_bed.setValue(QStringLiteral("Version"), QStringLiteral("3.5.0.1"));
    useExe(QStringLiteral("major"), "3.5.0.1\n4.0.0.2\n");
    CUpdatePropertySheet sheet(m_updater, m_host);
    sheet.show();
    sheet.nextButton()->click();
    ASSERT_TRUE(checkDone(sheet));
    sheet.m_pageProcess->m_staticLink->click();
    EXPECT_EQ(m_host.m_opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/upgrade-page"))});

    // With no address nothing is opened.
    m_bed.setValue(QStringLiteral("Update"), QString());
    sheet.backButton()->click();
    sheet.nextButton()->click();
    ASSERT_TRUE(checkDone(sheet));
    sheet.m_pageProcess->m_staticLink->click();
    EXPECT_EQ(m_host.m_opened.size(), 1);
}

TEST_F(UpdateWizardTest, AFailedDownloadOffersNoFinish)
{
    const struct {
        const char* exe;
        bool installer;
        const char* status;
    } cases[] = {
        {"truncate-app", true, "The download failed. Please try later."},
        {"noinstaller", false, "The update could not be found on the server."},
    };
    for (const auto& c : cases) {
        m_bed.publish(QLatin1String(c.exe), QStringLiteral(".txt"), "3.0.0.2\n");
        if (c.installer)
            m_bed.publish(QLatin1String(c.exe), QStringLiteral(".exe"), m_installer);
        m_bed.setValue(QStringLiteral("ExeName"), QLatin1String(c.exe));
        CUpdatePropertySheet sheet(m_updater, m_host);
        sheet.show();
        sheet.nextButton()->click();
        ASSERT_TRUE(checkDone(sheet)) << c.exe;
        sheet.nextButton()->click();
        ASSERT_TRUE(downloadDone(sheet)) << c.exe;
        EXPECT_EQ(sheet.m_pageFinal->m_staticStatus->text(), QLatin1String(c.status)) << c.exe;
        EXPECT_EQ(stateOf(sheet.finishButton()), Button::Hidden) << c.exe;
        EXPECT_EQ(stateOf(sheet.nextButton()), Button::Disabled) << c.exe;
        EXPECT_EQ(stateOf(sheet.backButton()), Button::Hidden) << c.exe;
        EXPECT_EQ(stateOf(sheet.cancelButton()), Button::Enabled) << c.exe;
        EXPECT_TRUE(sheet.setupPath().isEmpty()) << c.exe;
        EXPECT_EQ(m_bed.leftovers(), QStringList()) << c.exe;
    }
}

TEST_F(UpdateWizardTest, CancelMidDownloadEndsTheThreadAndTheFile)
{
    useExe(QStringLiteral("slow-app"));
    CUpdatePropertySheet sheet(m_updater, m_host);
    sheet.show();
    sheet.nextButton()->click();
    ASSERT_TRUE(checkDone(sheet));
    sheet.nextButton()->click();
    ASSERT_TRUE(waitFor([&] { return sheet.m_pageFinal->m_progress->value() > 0; }));
    EXPECT_TRUE(sheet.m_pageFinal->isDownloading());
    EXPECT_FALSE(sheet.m_pageFinal->m_staticElapsed->text().isEmpty());
    EXPECT_TRUE(sheet.m_pageFinal->m_staticRate->text().endsWith(QStringLiteral("/sec")));

    sheet.cancelButton()->click();
    EXPECT_TRUE(sheet.m_bUpdateCancelled);
    EXPECT_FALSE(sheet.isVisible());
    // Cancel waited for the thread: its file and folder are already gone.
    EXPECT_EQ(m_bed.leftovers(), QStringList());
    EXPECT_TRUE(sheet.setupPath().isEmpty());
}

TEST_F(UpdateWizardTest, ClosingTheWizardMidDownloadJoinsTheThread)
{
    useExe(QStringLiteral("slow-app"));
    {
        CUpdatePropertySheet sheet(m_updater, m_host);
        sheet.show();
        sheet.nextButton()->click();
        ASSERT_TRUE(checkDone(sheet));
        sheet.nextButton()->click();
        ASSERT_TRUE(waitFor([&] { return sheet.m_pageFinal->isDownloading(); }));
    }
    EXPECT_EQ(m_bed.leftovers(), QStringList());
}

// Runs the Update command, pressing Next, Next and Finish as they come.
bool runToFinish(CAutoUpdater& updater, UpdaterHost& host)
{
    bool driven = false;
    QTimer::singleShot(0, [&] {
        CUpdatePropertySheet* sheet = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* s = qobject_cast<CUpdatePropertySheet*>(w); s && s->isVisible())
                    sheet = s;
            return sheet != nullptr;
        }, kWaitMs);
        if (!sheet)
            return;
        sheet->nextButton()->click();
        (void)QTest::qWaitFor([&] { return sheet->nextButton()->isEnabled() || sheet->backButton()->isEnabled(); },
                        kWaitMs);
        sheet->nextButton()->click();
        (void)QTest::qWaitFor([&] { return sheet->finishButton()->isVisible() || sheet->m_pageFinal->result() != -1; },
                        kWaitMs);
        driven = sheet->finishButton()->isVisible();
        if (driven)
            sheet->finishButton()->click();
        else
            sheet->cancelButton()->click();
    });
    const bool quit = runUpdateCommand(updater, host, nullptr);
    EXPECT_TRUE(driven);
    return quit;
}

TEST_F(UpdateWizardTest, FinishShowsTheInstallerAndEndsTheProgramUnlessAJobRuns)
{
    const struct {
        const char* name;
        bool jobRunning;
        int quits;
        const char* says;
    } cases[] = {
        {"idle", false, 1, "Grisolt will now close."},
        {"a repair runs", true, 0, "Grisolt will not close while its current job is running."},
    };
    for (const auto& c : cases) {
        m_host.m_jobRunning = c.jobRunning;
        m_host.m_messages.clear();
        m_host.m_opened.clear();
        m_host.m_quits = 0;
        EXPECT_EQ(runToFinish(m_updater, m_host), c.quits == 1) << c.name;
        EXPECT_EQ(m_host.m_quits, c.quits) << c.name;
        const QString installer = m_updater.setupPath();
        ASSERT_EQ(m_host.m_messages.size(), 1) << c.name;
        EXPECT_TRUE(m_host.m_messages[0].contains(installer)) << c.name;
        EXPECT_TRUE(m_host.m_messages[0].contains(QLatin1String(c.says))) << c.name;
        EXPECT_EQ(m_host.m_opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(installer).absolutePath())}) << c.name;
        EXPECT_TRUE(QFileInfo(installer).isFile()) << c.name;
    }
}

TEST_F(UpdateWizardTest, CancelOnTheWelcomePageChangesNothing)
{
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* sheet = qobject_cast<CUpdatePropertySheet*>(w); sheet && sheet->isVisible())
                sheet->cancelButton()->click();
    });
    EXPECT_FALSE(runUpdateCommand(m_updater, m_host, nullptr));
    EXPECT_EQ(m_host.m_quits, 0);
    EXPECT_TRUE(m_host.m_messages.isEmpty());
    EXPECT_TRUE(m_host.m_opened.isEmpty());
}

TEST(AppStateUpdaterHostTest, AJobRunsWhileTheIdleFlagIsClear)
{
    engine::AppState state;
    state.m_strTempFolder = QStringLiteral("/var/tmp/x/");
    AppStateUpdaterHost host(state);
    state.m_bIdle = true;
    EXPECT_FALSE(host.isJobRunning());
    state.m_bIdle = false;
    state.m_bRepair = true;
    EXPECT_TRUE(host.isJobRunning());
    state.m_bRepair = false;
    EXPECT_TRUE(host.isJobRunning()); // a scan or a preview
    EXPECT_EQ(host.tempFolder(), QStringLiteral("/var/tmp/x/"));
}

} // namespace
