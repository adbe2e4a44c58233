#include "app/SystemTablespaceCheck.h"

#include "tests/support/ExpectedRows.h"
#include "tests/support/SharedFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

#include <initializer_list>
#include <string>

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

struct Case {
    const char* name;
    QString path;
    SystemTablespaceCheck::Finding finding;
    const char* problem; // a part of the problem's sentence
};

void expectFindings(std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        const SystemTablespaceCheck check(c.path);
        const std::string problem = check.problem().toStdString();
        EXPECT_EQ(check.finding(), c.finding) << c.name << ": " << problem;
        EXPECT_TRUE(check.problem().contains(QString::fromLatin1(c.problem))) << c.name << ": " << problem;
        EXPECT_EQ(check.problem().isEmpty(), c.finding == SystemTablespaceCheck::Intact) << c.name;
        EXPECT_EQ(check.refusedByPicker(), c.finding == SystemTablespaceCheck::NotSharedTablespace
                                               || c.finding == SystemTablespaceCheck::Unreadable)
            << c.name;
    }
}

TEST(SystemTablespaceCheckTest, AnIntactSystemTablespacePasses)
{
    for (const char* set : {"legacy", "default"}) {
        const QString ibdata = fixture(QString::fromLatin1(set), QStringLiteral("ibdata1"));
        ASSERT_TRUE(QFile::exists(ibdata)) << "fixture data folders missing";
        const SystemTablespaceCheck check(ibdata);
        EXPECT_EQ(check.finding(), SystemTablespaceCheck::Intact) << set;
        EXPECT_EQ(check.problem(), QString()) << set;
        EXPECT_FALSE(check.refusedByPicker()) << set;
    }
}

// The picker refuses only what it can tell is no shared tablespace: a file
// too short for page 0, one it cannot read, or a page 0 whose checksum holds
// and that names another tablespace or is no header. A page 0 that fails its
// checksum is taken whatever it holds: the bytes that would tell another file
// apart may be the damaged ones.
TEST(SystemTablespaceCheckTest, DamageIsToldApartFromAnotherFile)
{
    testsupport::TempDir dir;
    const QByteArray page0 = read(fixture(QStringLiteral("default"), QStringLiteral("ibdata1")));
    ASSERT_EQ(page0.size(), 65536);
    const auto changed = [&page0](int offset, char value) {
        QByteArray bytes = page0;
        bytes[offset] = value;
        return bytes;
    };
    const auto overwritten = [&page0](const QByteArray& with) {
        QByteArray bytes = page0;
        bytes.replace(0, with.size(), with);
        return bytes;
    };
    QByteArray otherBytes;
    for (int i = 0; i < 16384; ++i)
        otherBytes += static_cast<char>(i * 7 + 3);

    using C = SystemTablespaceCheck;
    expectFindings({
        {"page 0 whole", fixture(QStringLiteral("default"), QStringLiteral("ibdata1")), C::Intact, ""},
        {"page 0 with its space id changed in one place", dir.write(QStringLiteral("spaceid"), changed(36, 0x01)),
         C::FirstPageDamaged, "checksum does not match"},
        {"page 0 overwritten with other bytes", dir.write(QStringLiteral("overwritten"), overwritten(otherBytes)),
         C::FirstPageDamaged, "checksum does not match"},
        {"page 0 zeroed", dir.write(QStringLiteral("zeroed"), overwritten(QByteArray(16384, '\0'))), C::FirstPageDamaged,
         "only zeros"},
        {"one damaged byte", dir.write(QStringLiteral("damaged"), changed(1000, static_cast<char>(page0[1000] ^ 0x40))),
         C::FirstPageDamaged, "first page of the InnoDB system tablespace"},
        {"a damaged page type", dir.write(QStringLiteral("type"), changed(25, 0x11)), C::FirstPageDamaged,
         "checksum does not match"},
        {"zeros", dir.write(QStringLiteral("zeros"), QByteArray(16384, '\0')), C::FirstPageDamaged, "only zeros"},
        // Cannot be told from an ibdata1 whose first page was overwritten.
        {"a text file", dir.write(QStringLiteral("text"), QByteArray(30000, 'x')), C::FirstPageDamaged,
         "checksum does not match"},
        {"a table's .ibd", fixture(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd/big_btree.ibd")),
         C::NotSharedTablespace, "tablespace of one table (space "},
        {"a page that verifies and is no header", dir.write(QStringLiteral("page1"), page0.mid(16384)),
         C::NotSharedTablespace, "not a tablespace header"},
        {"a file of 100 bytes", dir.write(QStringLiteral("short"), page0.left(100)), C::NotSharedTablespace,
         "shorter than one page"},
        {"a missing file", dir.file(QStringLiteral("missing")), C::Unreadable, "cannot be read"},
    });
}

// The classic checksums leave the first copy of the space id out: a verified
// page 0 names another tablespace only when both copies say so.
TEST(SystemTablespaceCheckTest, AClassicPageNamesAnotherSpaceOnlyByBothCopies)
{
    GRISOLT_FOREIGN_FIXTURES(foreign);
    testsupport::TempDir dir;
    const QString ibd = foreign + QStringLiteral("/mariadb-10.0/classicmodels/offices.ibd");
    QByteArray firstCopyZeroed = read(ibd);
    ASSERT_GE(firstCopyZeroed.size(), 16384) << ibd.toStdString();
    firstCopyZeroed.replace(34, 4, QByteArray(4, '\0'));

    using C = SystemTablespaceCheck;
    expectFindings({
        {"a table's .ibd", ibd, C::NotSharedTablespace, "tablespace of one table (space 6)"},
        {"its first copy of the space id zeroed", dir.write(QStringLiteral("zeroed"), firstCopyZeroed),
         C::FirstPageDamaged, "two copies of the space id differ (0 and 6)"},
    });
}

} // namespace
