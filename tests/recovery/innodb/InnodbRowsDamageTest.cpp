// Damaged copies of the fixture tablespaces: every read ends, with fewer rows
// and a log line naming the table, page and offset, never a crash or a hang.
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

namespace {

using testsupport::ExpectedRows;
constexpr std::uint64_t kPage = 16384;

class InnodbRowsDamageTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QString source = ExpectedRows::setFolder(QStringLiteral("default")) + QStringLiteral("/data/");
        m_dir.mkdir(QStringLiteral("fx_innodb_ibd"));
        for (const char* name : {"big_btree", "offpage_dynamic"})
            for (const char* ext : {".frm", ".ibd"})
                QFile::copy(source + QStringLiteral("fx_innodb_ibd/") + QLatin1String(name) + QLatin1String(ext),
                            m_dir.file(QStringLiteral("fx_innodb_ibd/") + QLatin1String(name) + QLatin1String(ext)));
        QFile::copy(source + QStringLiteral("ibdata1"), m_dir.file(QStringLiteral("ibdata1")));
        QFile(m_dir.file(QStringLiteral("ibdata1"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_dir.mkdir(QStringLiteral("fx_innodb_sys"));
        QFile::copy(source + QStringLiteral("fx_innodb_sys/big_btree.frm"),
                    m_dir.file(QStringLiteral("fx_innodb_sys/big_btree.frm")));
    }

    QByteArray contents(const char* table) const
    {
        QFile f(ibd(table));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void patch(const char* table, std::uint64_t offset, const QByteArray& bytes) const
    {
        QFile f(ibd(table));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(static_cast<qint64>(offset));
        f.write(bytes);
    }
    static QByteArray be32(std::uint32_t v)
    {
        const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                               static_cast<char>(v)};
        return QByteArray(bytes, 4);
    }
    QString ibd(const char* table) const
    {
        return m_dir.file(QStringLiteral("fx_innodb_ibd/") + QLatin1String(table) + QStringLiteral(".ibd"));
    }

    using Read = innodbrows::TableRead;
    // Scans the copy and reads the table as the preview pages through it, to the end.
    Read readAll(const char* tableName, const QString& database = QStringLiteral("fx_innodb_ibd")) const
    {
        return innodbrows::readTable(m_dir.path(), database, QLatin1String(tableName));
    }
    static bool logged(const Read& read, const QString& what) { return innodbrows::logged(read, what); }

    testsupport::TempDir m_dir;
};

TEST_F(InnodbRowsDamageTest, ZeroedLeafCostsItsRowsOnly)
{
    const Read clean = readAll("big_btree");
    ASSERT_EQ(clean.rows, 5900u);
    ASSERT_GT(clean.dataPages.size(), 3u);
    const std::uint64_t victim = clean.dataPages[1];
    patch("big_btree", victim * kPage, QByteArray(static_cast<int>(kPage), '\0'));
    const Read damaged = readAll("big_btree");
    EXPECT_LT(damaged.rows, clean.rows);
    EXPECT_GT(damaged.rows, clean.rows / 2);
    EXPECT_TRUE(logged(damaged, QStringLiteral("page %1 is damaged").arg(victim)));
}

TEST_F(InnodbRowsDamageTest, ChildPointersOutOfRangeOrUpTheTreeAreRefused)
{
    const Read clean = readAll("big_btree");
    ASSERT_NE(clean.root, 0u);
    // The root's first user record: its child page number follows the INT key.
    const QByteArray file = contents("big_btree");
    const std::uint64_t rootAt = clean.root * kPage;
    const auto infimumNext = static_cast<std::uint16_t>(static_cast<std::uint8_t>(file[rootAt + 97]) << 8
                                                        | static_cast<std::uint8_t>(file[rootAt + 98]));
    const std::uint64_t first = (99u + infimumNext) & 0xFFFFu;
    for (const std::uint32_t child : {0xFFFFFF00u, static_cast<std::uint32_t>(clean.root)}) {
        patch("big_btree", rootAt + first + 4, be32(child));
        const Read damaged = readAll("big_btree");
        // The lost leaf is found again along the leaf chain from its neighbour.
        EXPECT_LE(damaged.rows, clean.rows);
        EXPECT_TRUE(logged(damaged, QStringLiteral("outside the file or already in the tree"))) << child;
    }
}

TEST_F(InnodbRowsDamageTest, RecordPointerOutsideThePageIsLogged)
{
    const Read clean = readAll("big_btree");
    const std::uint64_t leaf = clean.dataPages.at(2);
    patch("big_btree", leaf * kPage + 97, QByteArray("\x7F\xF0", 2));
    const Read damaged = readAll("big_btree");
    EXPECT_LT(damaged.rows, clean.rows);
    EXPECT_TRUE(logged(damaged, QStringLiteral("Table big_btree: page %1 is damaged").arg(leaf)));
}

// REDUNDANT records say how many fields they have: one more or one fewer
// than the table's costs that record, and the page it lies on is told as
// damaged by its checksum, its other rows counted apart.
TEST_F(InnodbRowsDamageTest, ARedundantRecordOfAnotherFieldCountIsSkipped)
{
    const QString sys = QStringLiteral("fx_innodb_sys");
    const Read clean = readAll("big_btree", sys);
    ASSERT_GT(clean.rows, 1000u);
    const std::uint64_t leaf = clean.dataPages.at(2);
    // The infimum's next record (an absolute offset in REDUNDANT pages), and
    // in its header the field count: bits 1-10 of the two bytes 4 and 3
    // before its origin.
    constexpr std::uint64_t kRedundantInfimumNext = 99;
    QFile f(m_dir.file(QStringLiteral("ibdata1")));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(static_cast<qint64>(leaf * kPage));
    QByteArray page = f.read(kPage);
    const auto u16 = [&](std::uint64_t at) {
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(page[at]) << 8 | static_cast<std::uint8_t>(page[at + 1]));
    };
    const std::uint64_t first = u16(kRedundantInfimumNext);
    const std::uint16_t header = u16(first - 4);
    const unsigned fields = (header & 0x7FEu) >> 1;
    ASSERT_EQ(fields, 1u + 2u + 4u) << "the key, two system fields and the four other columns";
    for (const int delta : {1, -1}) {
        const auto changed = static_cast<std::uint16_t>((header & ~0x7FEu) | ((fields + delta) << 1));
        QByteArray patched = page;
        patched[first - 4] = static_cast<char>(changed >> 8);
        patched[first - 3] = static_cast<char>(changed);
        f.seek(static_cast<qint64>(leaf * kPage));
        f.write(patched);
        f.flush();
        const Read damaged = readAll("big_btree", sys);
        EXPECT_EQ(damaged.rows, clean.rows - 1) << delta;
        EXPECT_TRUE(logged(damaged, QStringLiteral("record has %1 fields, the table 7").arg(fields + delta))) << delta;
        EXPECT_TRUE(logged(damaged, QStringLiteral("page %1 of ").arg(leaf))) << delta;
        EXPECT_TRUE(logged(damaged, QStringLiteral("Table big_btree: %1 rows recovered, of them ").arg(clean.rows - 1))) << delta;
    }
}

TEST_F(InnodbRowsDamageTest, OffPageChainsThatLoopOrEndEarlyCostTheirRecord)
{
    const Read clean = readAll("offpage_dynamic");
    ASSERT_EQ(clean.rows, 6u);
    const QByteArray file = contents("offpage_dynamic");
    std::vector<std::uint64_t> blobPages;
    for (std::uint64_t p = 0; (p + 1) * kPage <= static_cast<std::uint64_t>(file.size()); ++p)
        if (file[p * kPage + 24] == 0 && file[p * kPage + 25] == 10)
            blobPages.push_back(p);
    ASSERT_GT(blobPages.size(), 10u);
    const std::uint64_t page = blobPages[5];
    // next = the page itself; then next = FIL_NULL on a page in the middle.
    for (const std::uint32_t next : {static_cast<std::uint32_t>(page), 0xFFFFFFFFu}) {
        patch("offpage_dynamic", page * kPage + 42, be32(next));
        const Read damaged = readAll("offpage_dynamic");
        EXPECT_EQ(damaged.rows, 5u) << next;
        EXPECT_TRUE(logged(damaged, QStringLiteral("off-page chain"))) << next;
    }
}

TEST_F(InnodbRowsDamageTest, BitFlipsNeverCrashOrHang)
{
    const QByteArray original = contents("big_btree");
    std::mt19937 random(20240229);
    for (int round = 0; round < 4; ++round) {
        QFile f(ibd("big_btree"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes = original;
        std::uniform_int_distribution<qsizetype> at(0, bytes.size() - 1);
        for (int flip = 0; flip < 2000; ++flip) {
            const qsizetype i = at(random);
            bytes[i] = static_cast<char>(bytes[i] ^ (1 << (random() % 8)));
        }
        f.write(bytes);
        f.close();
        const Read damaged = readAll("big_btree");
        EXPECT_LE(damaged.rows, 5900u * 2);
    }
}

} // namespace
