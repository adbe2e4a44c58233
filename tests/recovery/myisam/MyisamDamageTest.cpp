// Damaged copies of real MyISAM tables: what can be read is read, every
// damaged place is logged, and nothing crashes or hangs.
#include "tests/recovery/myisam/MyisamTestSupport.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

using myisamtest::ScannedEngine;
using testsupport::TempDir;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void putBe(QByteArray& bytes, qsizetype pos, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[pos + i] = static_cast<char>(value >> (8 * (width - 1 - i)));
}

struct DamageCase {
    const char* name;
    const char* table;
    // Changes the copied files (data folder path + "db/" + table).
    std::function<void(const QString& base)> damage;
    std::size_t rows;
    const char* logged; // a text the log must contain; empty = none
    const char* absent = nullptr; // a text the log must not contain
};

qsizetype find(const QByteArray& bytes, const char* text)
{
    const qsizetype at = bytes.indexOf(text);
    EXPECT_GE(at, 0) << text;
    return std::max<qsizetype>(at, 0);
}

// fixed_rows in the default set: 63-byte slots; the record's null area is 2
// bytes (live mark, 10 flags and BIT bits, 5 unused bits set), then id at 2,
// code CHAR(8) utf8mb4 at 6, ..., at DATETIME at 45, kind ENUM('x','y') at 50. Slot 4 (id 5) is
// deleted. Its .MYI: key 1 (code) at page 2048; key roots from offset 124.
constexpr qsizetype kFixedSlot = 63;
constexpr qsizetype kFixedAtPos = 45;  // DATETIME, 5 bytes
constexpr qsizetype kFixedKindPos = 50;
constexpr qsizetype kKeyRootsPos = 124;
constexpr qsizetype kRecordCountPos = 28;

void changeByte(const QString& path, qsizetype at, char value)
{
    QByteArray d = readAll(path);
    d[at] = value;
    writeAll(path, d);
}

// Positions in the default set's fx_myisam/dyn_rows.MYD (checked below):
// a type 5 block at 88 (first block of a split record), a type 1 block at 560.
constexpr qsizetype kSplitStart = 88;
constexpr qsizetype kWholeBlock = 560;

const DamageCase kCases[] = {
    {"a truncated .MYD (dynamic)", "dyn_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         writeAll(base + ".MYD", d.left(1000));
     },
     15, "past the end of the data file"},
    {"a truncated .MYD (static, mid-record)", "fixed_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         writeAll(base + ".MYD", d.left(63 * 10 + 30));
     },
     7, "cut short by the end of the data file"},
    {"a block header pointing past the end", "dyn_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         ASSERT_EQ(d[kWholeBlock], 1);
         putBe(d, kWholeBlock + 1, 0xFFFF, 2);
         writeAll(base + ".MYD", d);
     },
     27, "runs past the end of the data file"},
    {"a split record whose chain points back onto itself", "dyn_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         ASSERT_EQ(d[kSplitStart], 5);
         putBe(d, kSplitStart + 5, kSplitStart, 8);
         writeAll(base + ".MYD", d);
     },
     27, "block chain loops back to 88"},
    {"a split record whose chain points past the end", "dyn_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         putBe(d, kSplitStart + 5, 0x7FFFFFFFFFFFull, 8);
         writeAll(base + ".MYD", d);
     },
     27, "past the end of the data file"},
    {"a blob length past the end of the file", "blobs",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         const qsizetype at = d.indexOf(QByteArray("small\x03\x00\x00\x00", 9));
         ASSERT_GT(at, 0);
         putBe(d, at + 5, 0xFFFFFF7F, 4);
         writeAll(base + ".MYD", d);
     },
     5, "past the end of its record"},
    {"a zeroed record count in the .MYI", "dyn_rows",
     [](const QString& base) {
         QByteArray i = readAll(base + ".MYI");
         putBe(i, 28, 0, 8);
         writeAll(base + ".MYI", i);
     },
     28, "counts no records; 28 found"},
    {"a missing .MYI (static rows: read from the definition)", "fixed_rows",
     [](const QString& base) { QFile::remove(base + ".MYI"); }, 36, "fixed_rows.MYI is not present"},
    {"a missing .MYI (dynamic rows: nothing to go by)", "dyn_rows",
     [](const QString& base) { QFile::remove(base + ".MYI"); }, 0, "cannot be read without the index file"},
    {"an .MYI of zero bytes", "dyn_rows", [](const QString& base) { writeAll(base + ".MYI", {}); }, 0,
     "dyn_rows.MYI at offset 0"},
    {"a missing .MYD", "fixed_rows", [](const QString& base) { QFile::remove(base + ".MYD"); }, 0,
     "fixed_rows.MYD is not present"},
    {"an .MYD of garbage", "dyn_rows",
     [](const QString& base) { writeAll(base + ".MYD", QByteArray(4000, '\xEE')); }, 0, "is not a MyISAM block"},
    // Bytes that still decode but that the format or the keys contradict:
    // the row is recovered, marked, and the reasons counted in one line.
    {"an ENUM value beyond its members", "fixed_rows",
     [](const QString& base) { changeByte(base + ".MYD", kFixedKindPos, 9); }, 36,
     "fixed_rows: 1 rows marked as doubtful (ENUM or SET value beyond its members 1)."},
    {"a DATETIME whose hour is 31", "fixed_rows",
     [](const QString& base) {
         QByteArray d = readAll(base + ".MYD");
         putBe(d, kFixedAtPos + 2, 0x01FFFF, 3);  // hour, minute and second bits all set
         writeAll(base + ".MYD", d);
     },
     36, "fixed_rows: 1 rows marked as doubtful (date or time out of range 1)."},
    {"the null area's unused bits cleared", "fixed_rows",
     [](const QString& base) { changeByte(base + ".MYD", 1, 0x07); }, 36,
     "fixed_rows: 1 rows marked as doubtful (unused null-flag bits cleared 1)."},
    {"a byte that is no UTF-8 in a CHAR key", "fixed_rows",
     [](const QString& base) { changeByte(base + ".MYD", 7, '\xFF'); }, 36,
     "(text not valid in its character set 1, values differ from their key in the index file 1)."},
    {"a changed key value", "fixed_rows", [](const QString& base) { changeByte(base + ".MYD", 2, 99); }, 36,
     "fixed_rows: 1 rows marked as doubtful (values differ from their key in the index file 1)."},
    // (The preview shows the .MYI's count of rows: 36 of the 37 now live.)
    {"a deleted record marked live again", "fixed_rows",
     [](const QString& base) { changeByte(base + ".MYD", 4 * kFixedSlot, '\xFF'); }, 36,
     "not in a key of the index file 1"},
    {"a changed byte in a TEXT key's prefix", "dyn_rows",
     [](const QString& base) {
         changeByte(base + ".MYD", find(readAll(base + ".MYD"), "note for row 2 ") + 1, 'X');
     },
     28, "dyn_rows: 1 rows marked as doubtful (values differ from their key in the index file 1)."},
    {"a changed byte in a CHECKSUM=1 record's text that no key holds", "checksum_rows",
     [](const QString& base) { changeByte(base + ".MYD", find(readAll(base + ".MYD"), "n1 ") + 2, 'x'); }, 38,
     "checksum_rows: 1 rows marked as doubtful (checksum differs 1)."},
    // A damaged key is logged and not used: no row is marked on its word.
    {"a key page whose child is itself", "paged_rows",
     [](const QString& base) {
         QByteArray i = readAll(base + ".MYI");
         qsizetype root = 0;
         for (int b = 0; b < 8; ++b)
             root = root << 8 | static_cast<quint8>(i[kKeyRootsPos + b]);
         ASSERT_TRUE(i[root] & 0x80) << "the root is a node page";
         putBe(i, root + 2, static_cast<std::uint64_t>(root / 1024), 6);
         writeAll(base + ".MYI", i);
     },
     250, "key 1 is damaged (page 3072 is reached twice (a loop))", "marked as doubtful"},
    {"a key page that says it uses more than its block", "fixed_rows",
     [](const QString& base) { changeByte(base + ".MYI", 2048, '\x7F'); }, 36,
     "key 2 is damaged (page 2048 says it uses", "marked as doubtful"},
    {"a key root outside the index file", "fixed_rows",
     [](const QString& base) {
         QByteArray i = readAll(base + ".MYI");
         putBe(i, kKeyRootsPos, 0x100000, 8);
         writeAll(base + ".MYI", i);
     },
     36, "key 1 is damaged (page 1048576 lies outside the index file)", "marked as doubtful"},
    {"a record count the keys disagree with", "fixed_rows",
     [](const QString& base) {
         QByteArray i = readAll(base + ".MYI");
         putBe(i, kRecordCountPos, 35, 8);
         writeAll(base + ".MYI", i);
     },
     35, "key 1 is damaged (it lists 36 records, the table has 35)", "marked as doubtful"},
};

TEST(MyisamDamage, WhatCanBeReadIsReadAndTheDamageLogged)
{
    const QString source = myisamtest::fixturesFolder("default") + "fx_myisam/";
    if (!QFileInfo::exists(source))
        GTEST_SKIP() << "fixtures not built";
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.mkdir("data/db");
        const QString base = dir.path() + "/data/db/" + c.table;
        for (const char* ext : {".frm", ".MYD", ".MYI"})
            ASSERT_TRUE(myisamtest::copyFile(source + c.table + ext, base + ext));
        c.damage(base);
        ScannedEngine scanned(dir.path() + "/data/", {"db"});
        engine::TableInformation* table = scanned.table("db", c.table);
        ASSERT_NE(table, nullptr);
        table->m_dataFile = base + ".MYD"; // also when the scan found no .MYD
        const auto rows = scanned.previewAllPages(*table);
        EXPECT_EQ(rows.size(), c.rows);
        const QString log = scanned.report.log().join('\n');
        EXPECT_TRUE(log.contains(QString::fromUtf8(c.logged))) << log.toStdString();
        if (c.absent) {
            EXPECT_FALSE(log.contains(QString::fromUtf8(c.absent))) << log.toStdString();
        }
    }
}

} // namespace
