// scripts/first-run into a temporary home: what it sets up works (the server
// starts as a service of ours, the template tablespace suits it), and a
// second run changes nothing. The template's instance is made to do more
// InnoDB work than a fresh server: the server must start on the template all
// the same.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ServiceDiscovery.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "tests/support/EnvironmentServer.h"
#include "tests/support/TempDir.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

using platform::Registry;
using platform::ServiceControl;
using platform::ServiceState;

namespace {

const QString kProduct = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");
const QString kService = QStringLiteral("MySQL");

struct ScriptRun {
    int exitCode = -1;
    QString output;
};

ScriptRun firstRun(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("GRISOLT_TEMPLATE_EXTRA_WORK"), QStringLiteral("2"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("GRISOLT_REGISTRY"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(GRISOLT_SOURCE_DIR "/scripts/first-run"), {QStringLiteral(GRISOLT_BUILD_DIR)});
    process.waitForFinished(600000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

// Every file below folder: path, size, modification time and contents' hash.
QStringList snapshot(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QFile file(path);
        QByteArray hash;
        if (file.open(QIODevice::ReadOnly)) {
            QCryptographicHash h(QCryptographicHash::Sha1);
            h.addData(&file);
            hash = h.result().toHex();
        }
        out << QStringLiteral("%1 %2 %3 %4").arg(path).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch())
                   .arg(QString::fromLatin1(hash));
    }
    out.sort();
    return out;
}

// The highest log sequence number of the pages of a shared tablespace of
// 16 KiB pages: 8 bytes, big-endian, at offset 16 of each page.
quint64 highestPageLsn(const QString& path)
{
    constexpr qsizetype kPage = 16384;
    const QByteArray bytes = testsupport::readAll(path);
    quint64 highest = 0;
    for (qsizetype at = 0; at + kPage <= bytes.size(); at += kPage) {
        quint64 lsn = 0;
        for (int k = 0; k < 8; ++k)
            lsn = lsn << 8 | static_cast<unsigned char>(bytes[at + 16 + k]);
        highest = std::max(highest, lsn);
    }
    return highest;
}

class FirstRunTest : public ::testing::Test {
protected:
    ~FirstRunTest() override
    {
        // Whatever happened, the server of this test is not left running.
        if (!m_registry.isEmpty() && ServiceControl::query(kService) != ServiceState::Stopped)
            ServiceControl::stop(kService, testsupport::kServerWait);
        ::unsetenv("GRISOLT_REGISTRY");
    }

    testsupport::TempDir m_home;
    QString m_registry;
};

TEST_F(FirstRunTest, SetsUpAWorkingMachineOnceAndReusesIt)
{
    const ScriptRun first = firstRun(m_home.path());
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    const QString base = m_home.path() + QStringLiteral("/.local/share/grisolt");
    m_registry = first.output.trimmed().split(QLatin1Char('\n')).last();
    EXPECT_EQ(m_registry, base + QStringLiteral("/registry.ini"));
    ::setenv("GRISOLT_REGISTRY", m_registry.toLocal8Bit().constData(), 1);

    const QString program = Registry::value(kProduct, QStringLiteral("Path"));
    EXPECT_EQ(program, base + QStringLiteral("/program"));
    for (const char* name : {"sc", "veltrax", "eula.dat", "MySqlRecovery.html"})
        EXPECT_TRUE(QFileInfo::exists(program + QLatin1Char('/') + QLatin1String(name))) << name;
    for (const char* value : {"Version", "Update", "ExeName", "SupTick", "KB"})
        EXPECT_FALSE(Registry::value(kProduct, QLatin1String(value)).isEmpty()) << value;

    // A second run touches nothing.
    const QStringList before = snapshot(m_home.path());
    const ScriptRun second = firstRun(m_home.path());
    ASSERT_EQ(second.exitCode, 0) << second.output.toStdString();
    EXPECT_EQ(second.output.trimmed(), m_registry);
    EXPECT_EQ(snapshot(m_home.path()), before);

    // The registered server starts through our service layer.
    engine::AppState app;
    engine::MySqlRepair repair(app);
    ASSERT_TRUE(engine::FindMySqlServices(app));
    ASSERT_TRUE(repair.LocateServiceConfig());
    ASSERT_TRUE(ServiceControl::start(kService));
    ASSERT_TRUE(ServiceControl::waitFor(kService, ServiceState::Running, std::chrono::seconds(90)))
        << testsupport::readAll(base + QStringLiteral("/mariadb/mysqld.log")).toStdString();
    const auto sql = [&](const std::string& statement) {
        return testsupport::runCommand("mariadb --no-defaults -uroot --protocol=tcp -h127.0.0.1 -P"
                                       + repair.m_strPort.toStdString() + " --connect-timeout=5 -N -e '" + statement + "'");
    };
    const auto select = [&] { return sql("SELECT 1"); };
    EXPECT_EQ(select().status, 0) << select().output;

    // The server's redo log is at or past every page of the template.
    const auto status = sql("SHOW ENGINE INNODB STATUS");
    const QRegularExpressionMatch lsn = QRegularExpression(QStringLiteral("Log sequence number (\\d+)"))
                                            .match(QString::fromStdString(status.output));
    ASSERT_TRUE(lsn.hasMatch()) << status.output;
    const quint64 templateLsn = highestPageLsn(program + QStringLiteral("/veltrax"));
    EXPECT_GT(templateLsn, 0u);
    EXPECT_GE(lsn.captured(1).toULongLong(), templateLsn);

    // The template suits the server: the repair's exchange puts it in place
    // and the server runs on it; then the server's own file goes back. The
    // server's file is compared as it stands once the server is stopped.
    ASSERT_TRUE(ServiceControl::stop(kService, testsupport::kServerWait));
    const QString ownPath = repair.m_strIbdataPath;
    const QByteArray own = testsupport::readAll(ownPath);
    ASSERT_FALSE(own.isEmpty());
    app.m_bManualFolder = true;
    app.m_bAllSelected = true;
    ASSERT_TRUE(repair.ExchangeIbdataAndRestart())
        << testsupport::readAll(base + QStringLiteral("/mariadb/mysqld.log")).toStdString();
    EXPECT_EQ(select().status, 0) << select().output;
    ASSERT_TRUE(repair.StopMySqlServices());
    ASSERT_TRUE(repair.RestoreIbdataBackup());
    EXPECT_EQ(testsupport::readAll(ownPath), own);
}

} // namespace
