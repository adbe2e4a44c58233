#include "updater/CAutoUpdater.h"

#include "tests/updater/UpdaterTestBed.h"
#include "updater/DownloadListener.h"
#include "updater/FormatByteSize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace updater;
using testsupport::UpdaterTestBed;

namespace {

constexpr int kWaitMs = 15000;

TEST(CAutoUpdaterTest, CompareVersions)
{
    const struct {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"4", "3.9.9.9", VERSION_MAJOR_NEWER},
        {"3.10", "3.9", VERSION_NEWER},
        {"3.01", "3.1", VERSION_EQUAL},
        {"3.1", "3.1.0.0", VERSION_EQUAL},
        {"3.5", "4.0", VERSION_OLDER},
        {"3.0.0.12", "3.0.0.9", VERSION_NEWER},
        {"3.0.0.9", "3.0.0.12", VERSION_OLDER},
        {"3.0.1.0", "3.0.0.99", VERSION_NEWER},
        {"10.0.0.1", "9.9.9.9", VERSION_MAJOR_NEWER},
        {"..3..1..", "3.1", VERSION_EQUAL},
        // Past the largest int a number counts as that largest int.
        {"99999999999999999999", "2147483647", VERSION_EQUAL},
        {"3.99999999999", "3.2147483646", VERSION_NEWER},
        {"...", "3.1", VERSION_BAD_FIRST},
        {"", "3.1", VERSION_BAD_FIRST},
        {"3.0.0.0.1", "3.1", VERSION_BAD_FIRST},
        {"3.0 ", "3.1", VERSION_BAD_FIRST},
        {"-3", "3.1", VERSION_BAD_FIRST},
        {"3.1", "3.0a", VERSION_BAD_SECOND},
        {"3.1", "", VERSION_BAD_SECOND},
        {"x", "y", VERSION_BAD_FIRST},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAutoUpdater::CompareVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.expected)
            << c.a << " against " << c.b;

    EXPECT_TRUE(CAutoUpdater::IsNumeric(QString()));
    EXPECT_TRUE(CAutoUpdater::IsNumeric(QStringLiteral("0123456789")));
    EXPECT_FALSE(CAutoUpdater::IsNumeric(QStringLiteral("12a")));
    EXPECT_FALSE(CAutoUpdater::IsNumeric(QString::fromUtf8("\u0663"))); // an Arabic-Indic three
}

TEST(CAutoUpdaterTest, VersionFileVerdicts)
{
    const struct {
        const char* body;
        const char* installed;
        int expected;
        const char* offered;
    } cases[] = {
        {"3.0.0.2 New features\n", "3.0.0.1", UPDATE_AVAILABLE, "3.0.0.2"},
        {"3.0.0.1\n", "3.0.0.1", UPDATE_UP_TO_DATE, "3.0.0.1"},
        {"3.5.0.1 x\n4.0.0.2 y\n", "3.0.0.0", UPDATE_AVAILABLE_AND_MAJOR_RELEASE, "3.5.0.1"},
        {"3.5.0.1 x\n4.0.0.2 y\n", "3.5.0.1", UPDATE_MAJOR_RELEASE_ONLY, "3.5.0.1"},
        {"3.5.0.1 x\n4.0.0.2 y\n", "4.0.0.0", UPDATE_AVAILABLE, "4.0.0.2"},
        {"3.5.0.1 x\n4.0.0.2 y\n", "4.0.0.2", UPDATE_UP_TO_DATE, "3.5.0.1"},
        {"4.0.0.0\n", "3.9.9.9", UPDATE_MAJOR_RELEASE_ONLY, "4.0.0.0"},
        // Whole versions: no cut after seven characters.
        {"3.0.0.12 fixes\n", "3.0.0.9", UPDATE_AVAILABLE, "3.0.0.12"},
        {"10.0.0.1\n", "9.0.0.0", UPDATE_MAJOR_RELEASE_ONLY, "10.0.0.1"},
        {"10.0.0.1\n", "10.0.0.0", UPDATE_AVAILABLE, "10.0.0.1"},
        // A separator other than a blank after the version's seven characters.
        {"3.0.0.2-beta notes\n", "3.0.0.1", UPDATE_AVAILABLE, "3.0.0.2"},
        {"3.0.0.2,fixes\n", "3.0.0.1", UPDATE_AVAILABLE, "3.0.0.2"},
        {"3.5.0.1_x\n4.0.0.2|y\n", "4.0.0.0", UPDATE_AVAILABLE, "4.0.0.2"},
        {"3.0.0.12-rc\n", "3.0.0.9", UPDATE_AVAILABLE, "3.0.0.12"},
        // A shorter version has no room for one: the line's text is its version.
        {"3.0.1-b\n", "3.0.0", UPDATE_INVALID_VERSION, "3.0.1-b"},
        // An older line 2 is never what is offered.
        {"3.5.0.1 x\n2.0.0.0 y\n", "3.0.0.0", UPDATE_AVAILABLE_AND_MAJOR_RELEASE, "3.5.0.1"},
        {"3.0.0.0\n", "3.0.0.5", UPDATE_UP_TO_DATE, "3.0.0.0"},
        {"3.0.1\r\n", "3.0.0", UPDATE_AVAILABLE, "3.0.1"},
        {"3.0.1\n", "3.0.0", UPDATE_AVAILABLE, "3.0.1"},
        {"3.0.1", "3.0.0", UPDATE_AVAILABLE, "3.0.1"},
        {"", "3.0.0", UPDATE_UP_TO_DATE, ""},
        {"3.0.0.1\n3.0.0.1\n9.0.0.0\n", "3.0.0.1", UPDATE_UP_TO_DATE, "3.0.0.1"},
        {"<html><body>Not Found</body></html>\n", "3.0.0.1", UPDATE_INVALID_VERSION, "<html><body>Not"},
        {"3.0a\n", "3.0.0.1", UPDATE_INVALID_VERSION, "3.0a"},
        {"\n", "3.0.0.1", UPDATE_INVALID_VERSION, ""},
        {"3.0.0.2\n", "three", UPDATE_INVALID_VERSION, "3.0.0.2"},
    };
    for (const auto& c : cases) {
        QString offered;
        QString line2;
        EXPECT_EQ(CAutoUpdater::EvaluateVersionFile(QByteArray(c.body), QString::fromLatin1(c.installed), offered,
                                                    line2),
                  c.expected)
            << c.body << " installed " << c.installed;
        EXPECT_EQ(offered, QString::fromLatin1(c.offered)) << c.body << " installed " << c.installed;
    }
}

TEST(CAutoUpdaterTest, DownloadTexts)
{
    const struct {
        qint64 bytes;
        const char* text;
    } sizes[] = {
        {0, "0.00 bytes"},         {1023, "1023.00 bytes"},      {1024, "1.00 KB"},
        {1536, "1.50 KB"},         {1048576, "1.00 MB"},         {1073741824, "1.00 GB"},
        {5368709120, "5.00 GB"},
    };
    for (const auto& s : sizes)
        EXPECT_EQ(FormatByteSize(s.bytes), QLatin1String(s.text)) << s.bytes;

    EXPECT_EQ(CAutoUpdater::ElapsedText(2, 524288, 1048576), QStringLiteral("2 sec(512.00 KB of 1.00 MB copied)"));
    EXPECT_EQ(CAutoUpdater::RateText(524288, 2), QStringLiteral("256.00 KB/sec"));
    EXPECT_EQ(CAutoUpdater::ElapsedText(3, 3072, 0), QStringLiteral("3 Ko in 3 sec"));
    EXPECT_EQ(CAutoUpdater::ElapsedText(0, 4096, 8192), QStringLiteral("0 sec(4.00 KB of 8.00 KB copied)"));
    EXPECT_EQ(CAutoUpdater::RateText(4096, 1), QStringLiteral("4.00 KB/sec"));
}

class UpdateCheckTest : public ::testing::Test {
protected:
    // Runs one check to its end and returns its result.
    int check(CAutoUpdater& updater)
    {
        QSignalSpy finished(&updater, &CAutoUpdater::checkFinished);
        updater.CheckForUpdate();
        EXPECT_TRUE(finished.wait(kWaitMs));
        return finished.isEmpty() ? -100 : finished.first().first().toInt();
    }

    UpdaterTestBed m_bed;
};

TEST_F(UpdateCheckTest, ResultCodesAgainstALocalServer)
{
    m_bed.publish(QStringLiteral("app"), QStringLiteral(".txt"), "3.0.0.2 Bug fixes\n");
    m_bed.publish(QStringLiteral("major"), QStringLiteral(".txt"), "3.5.0.1 x\n4.0.0.2 y\n");
    m_bed.publish(QStringLiteral("older"), QStringLiteral(".txt"), "2.9.0.0\n");
    m_bed.publish(QStringLiteral("garbled"), QStringLiteral(".txt"), "version three\n");
    m_bed.publish(QStringLiteral("long"), QStringLiteral(".txt"), "3.0.0.2 " + QByteArray(4 << 20, 'x'));
    m_bed.publish(QStringLiteral("status500-app"), QStringLiteral(".txt"), "9.0.0.0\n");
    m_bed.publish(QStringLiteral("status404-app"), QStringLiteral(".txt"), "9.0.0.0\n");
    m_bed.publish(QStringLiteral("close-app"), QStringLiteral(".txt"), "9.0.0.0\n");
    m_bed.publish(QStringLiteral("stall-app"), QStringLiteral(".txt"), QByteArray(5000, '9'));
    const QString base = m_bed.server().baseUrl();
    ASSERT_NE(m_bed.server().port(), 0);
    const QString deadBase = QStringLiteral("http://127.0.0.1:%1/upgrade/").arg(testsupport::UpdateServer::deadPort());

    const struct {
        const char* name;
        const char* installed;
        const char* exe;
        QString baseUrl;
        bool online;
        int expected;
        const char* offered;
    } cases[] = {
        {"newer on the server", "3.0.0.1", "app", base, true, UPDATE_AVAILABLE, "3.0.0.2"},
        {"same as installed", "3.0.0.2", "app", base, true, UPDATE_UP_TO_DATE, nullptr},
        {"two lines", "3.0.0.0", "major", base, true, UPDATE_AVAILABLE_AND_MAJOR_RELEASE, "3.5.0.1"},
        {"only a major release", "3.5.0.1", "major", base, true, UPDATE_MAJOR_RELEASE_ONLY, nullptr},
        {"older on the server", "3.0.0.0", "older", base, true, UPDATE_UP_TO_DATE, nullptr},
        {"not a version", "3.0.0.0", "garbled", base, true, UPDATE_INVALID_VERSION, nullptr},
        {"four megabytes of version file", "3.0.0.1", "long", base, true, UPDATE_AVAILABLE, "3.0.0.2"},
        {"no installed version", "", "app", base, true, UPDATE_NO_INSTALLED_VERSION, nullptr},
        {"offline", "3.0.0.1", "app", base, false, UPDATE_NO_CONNECTION, nullptr},
        {"no such file (404)", "3.0.0.1", "missing", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"error page 404", "3.0.0.1", "status404-app", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"error page 500", "3.0.0.1", "status500-app", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"connection closed unanswered", "3.0.0.1", "close-app", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"server stalls", "3.0.0.1", "stall-app", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"dead port", "3.0.0.1", "app", deadBase, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"no ExeName", "3.0.0.1", "", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"ExeName leaves its folder", "3.0.0.1", "../app", base, true, UPDATE_FILE_NOT_OPENED, nullptr},
        {"no base URL", "3.0.0.1", "app", QString(), true, UPDATE_FILE_NOT_OPENED, nullptr},
    };
    for (const auto& c : cases) {
        m_bed.setValue(QStringLiteral("Version"), QLatin1String(c.installed));
        m_bed.setValue(QStringLiteral("ExeName"), QLatin1String(c.exe));
        m_bed.setValue(QStringLiteral("UPDATE_BASE_URL"), c.baseUrl);
        CAutoUpdater updater;
        updater.setTransferTimeout(1500);
        const bool online = c.online;
        updater.setOnlineProbe([online](const QUrl&) { return online; });
        EXPECT_EQ(check(updater), c.expected) << c.name;
        if (c.offered) {
            EXPECT_EQ(updater.m_szNewVersion, QLatin1String(c.offered)) << c.name;
        }
    }
}

TEST_F(UpdateCheckTest, ReadsTheVersionFileInMemoryAndTheUpgradePage)
{
    m_bed.publish(QStringLiteral("app"), QStringLiteral(".txt"), "3.0.0.2\n");
    m_bed.server();
    m_bed.setValue(QStringLiteral("Version"), QStringLiteral("3.0.0.1"));
    m_bed.setValue(QStringLiteral("ExeName"), QStringLiteral("app"));
    m_bed.setValue(QStringLiteral("Update"), QStringLiteral("http://127.0.0.1/upgrade-page"));
    const QString cwd = m_bed.m_dir.mkdir(QStringLiteral("cwd"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd));

    // No probe set: a loopback server counts as reachable whatever the system says.
    CAutoUpdater updater;
    EXPECT_EQ(check(updater), UPDATE_AVAILABLE);
    EXPECT_EQ(updater.m_strUpdateUrl, QStringLiteral("http://127.0.0.1/upgrade-page"));
    EXPECT_EQ(updater.m_szExeName, QStringLiteral("app"));
    QDir::setCurrent(before);
    // Nothing named after ExeName, nor anything else, in the current folder.
    EXPECT_TRUE(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());

    // A missing "Update" empties the address; a second check works as the first.
    m_bed.setValue(QStringLiteral("Update"), QString());
    EXPECT_EQ(check(updater), UPDATE_AVAILABLE);
    EXPECT_TRUE(updater.m_strUpdateUrl.isEmpty());
}

TEST_F(UpdateCheckTest, ACancelledCheckNeverReports)
{
    m_bed.publish(QStringLiteral("stall-app"), QStringLiteral(".txt"), QByteArray(5000, '9'));
    m_bed.server();
    m_bed.setValue(QStringLiteral("Version"), QStringLiteral("3.0.0.1"));
    m_bed.setValue(QStringLiteral("ExeName"), QStringLiteral("stall-app"));
    CAutoUpdater updater;
    updater.setOnlineProbe([](const QUrl&) { return true; });
    QSignalSpy finished(&updater, &CAutoUpdater::checkFinished);
    updater.CheckForUpdate();
    QTest::qWait(300);
    EXPECT_TRUE(updater.isChecking());
    updater.CancelCheck();
    EXPECT_FALSE(updater.isChecking());
    QTest::qWait(300);
    EXPECT_TRUE(finished.isEmpty());
}

// Keeps what a download reported; can cancel it at its first progress.
class RecordingPage : public DownloadListener {
public:
    explicit RecordingPage(std::atomic<bool>* cancelAtProgress = nullptr) : m_cancel(cancelAtProgress) {}

    void setStatusText(const QString& text) override { m_status << text; }
    void setSourceText(const QString& text) override { m_source = text; }
    void setElapsedText(const QString& text) override
    {
        m_elapsed = text;
        if (m_cancel)
            *m_cancel = true;
    }
    void setRateText(const QString& text) override { m_rate = text; }
    void setProgressRange(qint64 maximum) override { m_range = maximum; }
    void setProgressValue(qint64 value) override { m_value = value; }

    std::atomic<bool>* m_cancel;
    QStringList m_status;
    QString m_source;
    QString m_elapsed;
    QString m_rate;
    qint64 m_range = -1;
    qint64 m_value = -1;
};

class InstallerDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_installer = testsupport::randomBytes(300 * 1024 + 17, 14);
        for (const char* exe : {"app", "truncate-app", "shortnolength-app", "close-app", "stall-app", "slow-app",
                                "status404-app", "status500-app"})
            m_bed.publish(QLatin1String(exe), QStringLiteral(".exe"), m_installer);
        ASSERT_NE(m_bed.server().port(), 0);
        m_updater.setTransferTimeout(1500);
        m_updater.setOnlineProbe([](const QUrl&) { return true; });
    }

    UpdaterTestBed m_bed;
    CAutoUpdater m_updater;
    QByteArray m_installer;
};

TEST_F(InstallerDownloadTest, ACompleteDownloadIsByteExactInAPrivateFolder)
{
    m_bed.setValue(QStringLiteral("ExeName"), QStringLiteral("app"));
    RecordingPage page;
    std::atomic<bool> cancelled{false};
    ASSERT_EQ(m_updater.DownloadUpdate(page, cancelled, m_bed.tempFolder()), UPDATE_DOWNLOAD_DONE);

    const QString path = m_updater.setupPath();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(file.readAll(), m_installer);
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("app.exe"));
    const QFileInfo folder(QFileInfo(path).absolutePath());
    EXPECT_EQ(folder.absolutePath(), QFileInfo(m_bed.tempFolder()).absoluteFilePath());
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_FALSE(QFileInfo(path).isExecutable());
    EXPECT_EQ(m_bed.leftovers().size(), 2); // the folder and the installer, nothing half-written

    EXPECT_EQ(page.m_status, (QStringList{QStringLiteral("Getting Internet Session"),
                                          QStringLiteral("Downloading files..."),
                                          QStringLiteral("Download completed")}));
    EXPECT_EQ(page.m_source, QStringLiteral("app.exe from %1").arg(m_bed.server().hostAndPort()));
    EXPECT_EQ(page.m_range, m_installer.size());
    EXPECT_EQ(page.m_value, m_installer.size());
    EXPECT_TRUE(page.m_elapsed.endsWith(QStringLiteral("sec(300.02 KB of 300.02 KB copied)")))
        << page.m_elapsed.toStdString();
    EXPECT_TRUE(page.m_rate.endsWith(QStringLiteral("/sec")));
}

TEST_F(InstallerDownloadTest, FailuresLeaveNothingBehind)
{
    const QString host = m_bed.server().hostAndPort();
    const QString deadHost = QStringLiteral("127.0.0.1:%1").arg(testsupport::UpdateServer::deadPort());
    const struct {
        const char* name;
        const char* exe;
        QString host;
        bool online;
        int expected;
    } cases[] = {
        {"no such installer (404)", "missing", host, true, UPDATE_FILE_NOT_OPENED},
        {"error page 404", "status404-app", host, true, UPDATE_FILE_NOT_OPENED},
        {"error page 500", "status500-app", host, true, UPDATE_FILE_NOT_OPENED},
        {"body cut short", "truncate-app", host, true, UPDATE_TRANSFER_FAILED},
        {"cut short, no length given", "shortnolength-app", host, true, UPDATE_TRANSFER_FAILED},
        {"connection closed unanswered", "close-app", host, true, UPDATE_TRANSFER_FAILED},
        {"server stalls", "stall-app", host, true, UPDATE_TRANSFER_FAILED},
        {"dead port", "app", deadHost, true, UPDATE_TRANSFER_FAILED},
        {"offline", "app", host, false, UPDATE_NO_CONNECTION},
        {"no download host", "app", QString(), true, UPDATE_FILE_NOT_OPENED},
        {"host with a path", "app", host + QStringLiteral("/x"), true, UPDATE_FILE_NOT_OPENED},
        {"no ExeName", "", host, true, UPDATE_FILE_NOT_OPENED},
        {"ExeName leaves its folder", "../app", host, true, UPDATE_FILE_NOT_OPENED},
    };
    for (const auto& c : cases) {
        m_bed.setValue(QStringLiteral("ExeName"), QLatin1String(c.exe));
        m_bed.setValue(QStringLiteral("UPDATE_DOWNLOAD_HOST"), c.host);
        const bool online = c.online;
        m_updater.setOnlineProbe([online](const QUrl&) { return online; });
        RecordingPage page;
        std::atomic<bool> cancelled{false};
        EXPECT_EQ(m_updater.DownloadUpdate(page, cancelled, m_bed.tempFolder()), c.expected) << c.name;
        EXPECT_EQ(m_bed.leftovers(), QStringList()) << c.name;
        EXPECT_FALSE(page.m_status.contains(QStringLiteral("Download completed"))) << c.name;
        EXPECT_TRUE(m_updater.setupPath().isEmpty()) << c.name;
    }
}

TEST_F(InstallerDownloadTest, CancelBeforeOrDuringTheTransfer)
{
    m_bed.setValue(QStringLiteral("ExeName"), QStringLiteral("slow-app"));
    std::atomic<bool> cancelled{true};
    RecordingPage before;
    EXPECT_EQ(m_updater.DownloadUpdate(before, cancelled, m_bed.tempFolder()), UPDATE_FILE_NOT_OPENED);
    EXPECT_EQ(before.m_status, QStringList{QStringLiteral("Getting Internet Session")});

    cancelled = false;
    RecordingPage during(&cancelled);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(m_updater.DownloadUpdate(during, cancelled, m_bed.tempFolder()), UPDATE_DOWNLOAD_CANCELLED);
    EXPECT_LT(clock.elapsed(), 2000); // the whole body would take three seconds
    EXPECT_FALSE(during.m_status.contains(QStringLiteral("Download completed")));
    EXPECT_EQ(m_bed.leftovers(), QStringList());
    EXPECT_TRUE(m_updater.setupPath().isEmpty());
}

} // namespace
