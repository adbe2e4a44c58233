#include "app/SystemTablespaceCheck.h"

#include "tests/support/ExpectedRows.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

using app::SystemTablespaceCheck;

namespace {

QString fixture(const QString& set, const QString& file)
{
    return testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/data/") + file;
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(65536) : QByteArray();
}

TEST(SystemTablespaceCheckTest, OnlyAnIntactSystemTablespacePasses)
{
    for (const char* set : {"legacy", "default"}) {
        const QString ibdata = fixture(QString::fromLatin1(set), QStringLiteral("ibdata1"));
        ASSERT_TRUE(QFile::exists(ibdata)) << "fixture data folders missing";
        EXPECT_EQ(SystemTablespaceCheck::Problem(ibdata), QString()) << set;
    }
    testsupport::TempDir dir;
    const QByteArray page0 = read(fixture(QStringLiteral("default"), QStringLiteral("ibdata1")));
    ASSERT_EQ(page0.size(), 65536);
    QByteArray damaged = page0;
    damaged[1000] = static_cast<char>(damaged[1000] ^ 0x40);
    QByteArray notHeader = page0;
    notHeader[25] = 0x11; // FIL_PAGE_TYPE 0x0011 instead of 8

    const struct {
        const char* name;
        QString path;
        const char* problem;
    } cases[] = {
        {"one table's tablespace", fixture(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd/big_btree.ibd")),
         "tablespace of one table"},
        {"a damaged first page", dir.write(QStringLiteral("damaged"), damaged), "first page is damaged"},
        {"another page type", dir.write(QStringLiteral("type"), notHeader), "not a tablespace header"},
        {"a text file", dir.write(QStringLiteral("text"), QByteArray(30000, 'x')), "not a tablespace header"},
        {"a short file", dir.write(QStringLiteral("short"), page0.left(1000)), "shorter than one page"},
        {"zeros", dir.write(QStringLiteral("zeros"), QByteArray(16384, '\0')), "not a tablespace header"},
        {"a missing file", dir.file(QStringLiteral("missing")), "cannot be read"},
    };
    for (const auto& c : cases) {
        const QString problem = SystemTablespaceCheck::Problem(c.path);
        EXPECT_TRUE(problem.contains(QString::fromLatin1(c.problem))) << c.name << ": " << problem.toStdString();
    }
}

} // namespace
