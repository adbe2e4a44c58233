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
};

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
    }
}

} // namespace
