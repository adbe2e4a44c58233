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

// A damaged ibdata1 is still the folder's shared tablespace; a file that is
// plainly something else is refused by the picker.
TEST(SystemTablespaceCheckTest, DamageIsToldApartFromAnotherFile)
{
    testsupport::TempDir dir;
    const QByteArray page0 = read(fixture(QStringLiteral("default"), QStringLiteral("ibdata1")));
    ASSERT_EQ(page0.size(), 65536);
    QByteArray damaged = page0;
    damaged[1000] = static_cast<char>(damaged[1000] ^ 0x40);
    QByteArray otherType = page0;
    otherType[25] = 0x11; // FIL_PAGE_TYPE 0x0011 instead of 8: damage too
    QByteArray zeroed = page0;
    zeroed.replace(0, 16384, QByteArray(16384, '\0'));

    using C = SystemTablespaceCheck;
    const struct {
        const char* name;
        QString path;
        C::Finding finding;
        const char* problem;
    } cases[] = {
        {"a damaged first page", dir.write(QStringLiteral("damaged"), damaged), C::FirstPageDamaged,
         "first page of the InnoDB system tablespace"},
        {"a damaged page type", dir.write(QStringLiteral("type"), otherType), C::FirstPageDamaged, "checksum does not match"},
        {"a zeroed first page", dir.write(QStringLiteral("zeroed"), zeroed), C::FirstPageDamaged, "only zeros"},
        {"zeros", dir.write(QStringLiteral("zeros"), QByteArray(16384, '\0')), C::FirstPageDamaged, "only zeros"},
        {"one table's tablespace", fixture(QStringLiteral("default"), QStringLiteral("fx_innodb_ibd/big_btree.ibd")),
         C::NotSharedTablespace, "tablespace of one table"},
        {"a text file", dir.write(QStringLiteral("text"), QByteArray(30000, 'x')), C::NotSharedTablespace,
         "not a tablespace header"},
        {"a short file", dir.write(QStringLiteral("short"), page0.left(1000)), C::NotSharedTablespace,
         "shorter than one page"},
        {"a missing file", dir.file(QStringLiteral("missing")), C::Unreadable, "cannot be read"},
    };
    for (const auto& c : cases) {
        const SystemTablespaceCheck check(c.path);
        EXPECT_EQ(check.finding(), c.finding) << c.name;
        EXPECT_TRUE(check.problem().contains(QString::fromLatin1(c.problem))) << c.name << ": " << check.problem().toStdString();
        EXPECT_EQ(check.refusedByPicker(), c.finding != C::FirstPageDamaged) << c.name;
    }
}

} // namespace
