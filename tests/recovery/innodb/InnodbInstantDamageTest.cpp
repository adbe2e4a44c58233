// Damaged copies of tables that ALTER TABLE changed in place: a metadata
// record that cannot be read costs the table's rows with a line that says
// so, and a record with more fields than the metadata allows costs itself.
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using testsupport::ExpectedRows;
constexpr std::uint64_t kPage = 16384;
const QString kDatabase = QStringLiteral("fx_mariadb");

std::uint16_t u16(const QByteArray& bytes, std::uint64_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(at)]) << 8
                                      | static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(at + 1)]));
}

std::uint32_t u32(const QByteArray& bytes, std::uint64_t at)
{
    return std::uint32_t{u16(bytes, at)} << 16 | u16(bytes, at + 2);
}

class InnodbInstantDamageTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QString source = ExpectedRows::setFolder(QStringLiteral("default")) + QStringLiteral("/data/");
        m_dir.mkdir(kDatabase);
        for (const char* name : {"instant_add", "instant_drop", "instant_redundant"})
            for (const char* ext : {".frm", ".ibd"}) {
                const QString file = kDatabase + QLatin1Char('/') + QLatin1String(name) + QLatin1String(ext);
                QFile::copy(source + file, m_dir.file(file));
                QFile(m_dir.file(file)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            }
        QFile::copy(source + QStringLiteral("ibdata1"), m_dir.file(QStringLiteral("ibdata1")));
    }

    QString ibd(const QString& table) const
    {
        return m_dir.file(kDatabase + QLatin1Char('/') + table + QStringLiteral(".ibd"));
    }
    QByteArray contents(const QString& table) const
    {
        QFile f(ibd(table));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& table, const QByteArray& bytes) const
    {
        QFile f(ibd(table));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    using Read = innodbrows::TableRead;
    Read readAll(const QString& tableName) const { return innodbrows::readTable(m_dir.path(), kDatabase, tableName); }
    static bool logged(const Read& read, const QString& what) { return innodbrows::logged(read, what); }

    testsupport::TempDir m_dir;
};

// Origin of the first record of a page: COMPACT keeps the infimum's next
// pointer relative to its origin 99, REDUNDANT absolute at 99.
std::uint64_t firstRecord(const QByteArray& file, std::uint64_t page, bool compact)
{
    const std::uint16_t next = u16(file, page * kPage + 99 - 2 * compact);
    return page * kPage + (compact ? (99u + next) & 0xFFFFu : next);
}

TEST_F(InnodbInstantDamageTest, AMetadataRecordThatCannotBeReadCostsTheRowsWithItsOwnLine)
{
    struct Case {
        const char* name;
        const char* table;
        bool compact;
        // Changes the copy; leaf and root are the clean read's.
        std::function<void(QByteArray&, std::uint64_t metadata, std::uint64_t root)> damage;
        const char* logs;
    };
    const Case cases[] = {
        {"info bits without the metadata flag", "instant_add", true,
         [](QByteArray& f, std::uint64_t m, std::uint64_t) { f[static_cast<qsizetype>(m - 5)] = 0; },
         "is not its metadata record"},
        {"a field count beyond the table's", "instant_add", true,
         [](QByteArray& f, std::uint64_t m, std::uint64_t) { f[static_cast<qsizetype>(m - 6)] = 4; },
         "the metadata record has 10 fields, the table 9"},
        {"a REDUNDANT field count one short", "instant_redundant", false,
         [](QByteArray& f, std::uint64_t m, std::uint64_t) {
             const std::uint16_t header = u16(f, m - 4);
             const auto changed = static_cast<std::uint16_t>((header & ~0x7FEu) | (6u << 1));
             f[static_cast<qsizetype>(m - 4)] = static_cast<char>(changed >> 8);
             f[static_cast<qsizetype>(m - 3)] = static_cast<char>(changed);
         },
         "record has 6 fields"},
        {"PAGE_INSTANT below the key and system fields", "instant_add", true,
         [](QByteArray& f, std::uint64_t, std::uint64_t root) {
             f[static_cast<qsizetype>(root * kPage + 50)] = 0;
             f[static_cast<qsizetype>(root * kPage + 51)] = 2 << 3;
         },
         "gives its oldest records 2 fields"},
        // The field map is off-page: its reference follows id, DB_TRX_ID and DB_ROLL_PTR.
        {"the field map's page out of the file", "instant_drop", true,
         [](QByteArray& f, std::uint64_t m, std::uint64_t) {
             for (int i = 0; i < 4; ++i)
                 f[static_cast<qsizetype>(m + 17 + 4 + i)] = static_cast<char>(0x7F);
         },
         "its metadata record"},
        {"a field map naming a column the table lacks", "instant_drop", true,
         [](QByteArray& f, std::uint64_t m, std::uint64_t) {
             const std::uint64_t mapPage = u32(f, m + 17 + 4);
             f[static_cast<qsizetype>(mapPage * kPage + 38 + 8 + 4 + 1)] = 9;
         },
         "names stored column 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString table = QLatin1String(c.table);
        const QByteArray original = contents(table);
        const Read clean = readAll(table);
        ASSERT_GT(clean.rows, 250u);
        ASSERT_EQ(clean.total, clean.rows);
        QByteArray damaged = original;
        c.damage(damaged, firstRecord(original, clean.dataPages.at(0), c.compact), clean.root);
        write(table, damaged);
        const Read read = readAll(table);
        write(table, original);
        EXPECT_EQ(read.rows, 0u);
        EXPECT_EQ(read.total, 0u);
        EXPECT_TRUE(logged(read, QStringLiteral("Table %1: ALTER TABLE changed it in place, and its metadata record")
                                     .arg(table)))
            << read.log.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(logged(read, QLatin1String(c.logs))) << read.log.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(logged(read, QStringLiteral("is damaged at offset")));
    }
}

// The root of a table altered in place has a type of its own; any other
// type than that and the B-tree page's is still a damaged root.
TEST_F(InnodbInstantDamageTest, ARootOfAnotherTypeIsStillDamaged)
{
    const QString table = QStringLiteral("instant_drop");
    const QByteArray original = contents(table);
    const Read clean = readAll(table);
    ASSERT_EQ(u16(original, clean.root * kPage + 24), 18u);
    QByteArray file = original;
    file[static_cast<qsizetype>(clean.root * kPage + 25)] = 10;
    write(table, file);
    const Read read = readAll(table);
    EXPECT_EQ(read.rows, 0u);
    EXPECT_TRUE(logged(read, QStringLiteral("page %1 is damaged at offset %2 (the root page is not an index page of "
                                            "its own number)")
                                 .arg(clean.root)
                                 .arg(clean.root * kPage)));
}

// A record written after an ADD counts its fields; one more than the
// metadata allows costs that record, its page logged.
TEST_F(InnodbInstantDamageTest, ARecordWithMoreFieldsThanTheMetadataAllowsIsSkipped)
{
    const QString table = QStringLiteral("instant_add");
    const Read clean = readAll(table);
    ASSERT_EQ(clean.rows, 2002u);
    const std::uint64_t leaf = clean.dataPages.back();
    QByteArray file = contents(table);
    const std::uint64_t record = firstRecord(file, leaf, true);
    ASSERT_EQ(file[static_cast<qsizetype>(record - 3)] & 7, 4) << "a record that counts its fields";
    ASSERT_EQ(file[static_cast<qsizetype>(record - 6)], 3) << "the four added columns, less one";
    file[static_cast<qsizetype>(record - 6)] = 4;
    write(table, file);
    const Read read = readAll(table);
    EXPECT_EQ(read.rows, clean.rows - 1);
    EXPECT_TRUE(logged(read, QStringLiteral("Table instant_add: page %1 is damaged").arg(leaf)));
    EXPECT_TRUE(logged(read, QStringLiteral("record has 10 fields, the table at most 9")));
}

TEST_F(InnodbInstantDamageTest, BitFlipsNeverCrashOrHang)
{
    for (const char* name : {"instant_drop", "instant_redundant"}) {
        const QString table = QLatin1String(name);
        const QByteArray original = contents(table);
        const std::size_t rows = readAll(table).rows;
        std::mt19937 random(20261211);
        for (int round = 0; round < 3; ++round) {
            QByteArray bytes = original;
            std::uniform_int_distribution<qsizetype> at(0, bytes.size() - 1);
            for (int flip = 0; flip < 500; ++flip) {
                const qsizetype i = at(random);
                bytes[i] = static_cast<char>(bytes[i] ^ (1 << (random() % 8)));
            }
            write(table, bytes);
            EXPECT_LE(readAll(table).rows, rows * 2) << name;
        }
        write(table, original);
    }
}

} // namespace
