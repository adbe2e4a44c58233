#include "platform/Registry.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using platform::Registry;
using testsupport::TempDir;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("GRISOLT_REGISTRY", m_dir.file("registry.ini").toLocal8Bit().constData(), 1); }
    void TearDown() override { ::unsetenv("GRISOLT_REGISTRY"); }
    void writeIni(const char* text) { m_dir.write("registry.ini", QByteArray(text)); }

    TempDir m_dir;
};

TEST_F(RegistryTest, ReadsValuesByKeyPath)
{
    writeIni("[SOFTWARE\\Veltrax\\Grisolt]\n"
             "Path=/opt/grisolt\n"
             "Version=1.0\n"
             "[SYSTEM\\CurrentControlSet\\Services\\MySQL]\n"
             "ImagePath=\"/usr/sbin/mariadbd --defaults-file=/etc/mysql/my.ini MySQL\"\n"
             "DisplayName=MySQL\n"
             "[SYSTEM\\CurrentControlSet\\Services\\MySQL57]\n"
             "DisplayName=MySQL57\n"
             "[SYSTEM\\CurrentControlSet\\Services\\cron]\n"
             "DisplayName=cron\n");

    const struct {
        const char* key;
        const char* name;
        const char* expected;
    } cases[] = {
        {"SOFTWARE\\Veltrax\\Grisolt", "Path", "/opt/grisolt"},
        {"software\\veltrax\\grisolt", "PATH", "/opt/grisolt"},
        {"SOFTWARE\\Veltrax\\Grisolt\\", "Version", "1.0"},
        {"SYSTEM\\CurrentControlSet\\Services\\MySQL", "ImagePath",
         "/usr/sbin/mariadbd --defaults-file=/etc/mysql/my.ini MySQL"},
        {"SOFTWARE\\Veltrax\\Grisolt", "Missing", ""},
        {"SOFTWARE\\Nobody", "Path", ""},
        {"SOFTWARE", "Path", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Registry::value(QString::fromLatin1(c.key), QString::fromLatin1(c.name)),
                  QString::fromLatin1(c.expected))
            << c.key << " " << c.name;

    EXPECT_EQ(Registry::subKeys(QStringLiteral("SYSTEM\\CurrentControlSet\\Services")),
              (QStringList{QStringLiteral("MySQL"), QStringLiteral("MySQL57"), QStringLiteral("cron")}));
    EXPECT_TRUE(Registry::keyExists(QStringLiteral("SOFTWARE\\Veltrax")));
    EXPECT_FALSE(Registry::keyExists(QStringLiteral("SOFTWARE\\Other")));
}

TEST_F(RegistryTest, MissingFileReadsAsEmpty)
{
    EXPECT_EQ(Registry::value(QStringLiteral("SOFTWARE\\Veltrax\\Grisolt"), QStringLiteral("Path")), QString());
    EXPECT_TRUE(Registry::subKeys(QStringLiteral("SYSTEM\\CurrentControlSet\\Services")).isEmpty());
}

TEST_F(RegistryTest, WrittenValuesReadBackWithoutDuplicatingKeys)
{
    writeIni("[SOFTWARE\\Veltrax\\Grisolt]\nPath=/old\n");
    ASSERT_TRUE(Registry::setValue(QStringLiteral("software\\veltrax\\grisolt"), QStringLiteral("path"),
                                   QStringLiteral("/new")));
    ASSERT_TRUE(Registry::setValue(QStringLiteral("SOFTWARE\\Veltrax\\Grisolt"), QStringLiteral("Version"),
                                   QStringLiteral("2")));
    EXPECT_EQ(Registry::value(QStringLiteral("SOFTWARE\\Veltrax\\Grisolt"), QStringLiteral("Path")),
              QStringLiteral("/new"));
    EXPECT_EQ(Registry::value(QStringLiteral("SOFTWARE\\Veltrax\\Grisolt"), QStringLiteral("Version")),
              QStringLiteral("2"));
    EXPECT_EQ(Registry::subKeys(QStringLiteral("SOFTWARE\\Veltrax")), QStringList{QStringLiteral("Grisolt")});
}

} // namespace
