// grisolt-dump on copies of a fixture data folder damaged the way disks
// damage files. Whatever it prints unmarked must be a row of the table; rows
// from damaged InnoDB pages are marked; the log names each damaged page or
// definition; and the correct rows recovered do not fall below what the
// readers recovered before they checked definitions and page checksums.
#include "recovery/innodb/InnodbChecksum.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/TempDir.h"
#include "tests/tools/DumpOutput.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr qsizetype kPageSize = 16384;
constexpr qsizetype kPageTypePos = 24;
constexpr quint16 kIndexPageType = 17855;
constexpr qsizetype kPageLevelPos = 64;
constexpr qsizetype kPageIndexIdPos = 66;
constexpr qsizetype kPageDataStart = 120;  // after the page and index headers
constexpr qsizetype kPageTrailer = 8;
constexpr qsizetype kIbdRootPage = 3;
// .frm: where the form information starts, and in it the field count and the
// screens' length; 17-byte field records follow the screens.
constexpr qsizetype kFrmExtra2Pos = 64;
constexpr qsizetype kFrmOldFormPosPos = 67;
constexpr qsizetype kFormInfoSize = 288;
constexpr qsizetype kFormFieldCount = 258;
constexpr qsizetype kFormScreensLength = 260;
constexpr qsizetype kFieldRecordSize = 17;
constexpr qsizetype kFieldLengthPos = 3;
constexpr qsizetype kFieldTypePos = 13;
constexpr char kFrmTypeBigint = 8;
// Keys: their area's offset in the header; the first key's first part after
// the area's 6-byte head and the key's 8-byte record, its field number first.
constexpr qsizetype kFrmKeyAreaPos = 6;
constexpr qsizetype kFirstKeyPartPos = 6 + 8;
constexpr quint32 kKeyPartFieldMask = 0x3FFF;
// ibdata1's dictionary header and in it the roots of SYS_COLUMNS and SYS_FIELDS.
constexpr qsizetype kDictHeaderPage = 7;
constexpr qsizetype kDictHdrColumns = 78;
constexpr qsizetype kDictHdrFields = 86;

quint64 uintBe(const QByteArray& b, qsizetype at, int width)
{
    quint64 v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | static_cast<quint8>(b[at + i]);
    return v;
}

quint32 uintLe(const QByteArray& b, qsizetype at, int width)
{
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | static_cast<quint8>(b[at + i]);
    return v;
}

void putLe(QByteArray& b, qsizetype at, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<char>(value >> (8 * i));
}

void putBe(QByteArray& b, qsizetype at, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<char>(value >> (8 * (width - 1 - i)));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

void change(const QString& path, const std::function<void(QByteArray&)>& damage)
{
    QByteArray bytes = readAll(path);
    damage(bytes);
    writeAll(path, bytes);
}

qsizetype formPos(const QByteArray& frm)
{
    // MariaDB puts an extra2 block at 64; older files have "//" there.
    const qsizetype at = frm[kFrmExtra2Pos] == '/' ? kFrmOldFormPosPos : kFrmExtra2Pos + uintLe(frm, 4, 2);
    return uintLe(frm, at, 4);
}

qsizetype fieldRecordPos(const QByteArray& frm, int field)
{
    const qsizetype form = formPos(frm);
    return form + kFormInfoSize + uintLe(frm, form + kFormScreensLength, 2) + field * kFieldRecordSize;
}

// The leaf pages of the index whose root is rootPage.
QList<qsizetype> leafPages(const QByteArray& file, qsizetype rootPage)
{
    const quint64 index = uintBe(file, rootPage * kPageSize + kPageIndexIdPos, 8);
    QList<qsizetype> leaves;
    for (qsizetype p = 0; (p + 1) * kPageSize <= file.size(); ++p) {
        const qsizetype at = p * kPageSize;
        if (uintBe(file, at + kPageTypePos, 2) == kIndexPageType && uintBe(file, at + kPageLevelPos, 2) == 0
            && uintBe(file, at + kPageIndexIdPos, 8) == index)
            leaves << p;
    }
    return leaves;
}

// `count` random bytes inside the record area of some of the pages.
void strayBytes(QByteArray& file, const QList<qsizetype>& pages, quint32 seed, int pageCount, int count)
{
    QRandomGenerator random(seed);
    for (int i = 0; i < pageCount && i < pages.size(); ++i) {
        const qsizetype page = pages[(i * pages.size()) / pageCount];
        for (int j = 0; j < count; ++j)
            file[page * kPageSize + random.bounded(kPageDataStart, kPageSize - kPageTrailer)] =
                static_cast<char>(random.bounded(256));
    }
}

qsizetype rootInIbdata(const QString& expected, const QString& qualifiedName)
{
    for (const QStringList& index : testsupport::readTsv(expected + QStringLiteral("innodb_sys_indexes.tsv")))
        if (index.value(7) == qualifiedName && (index.value(1) == QLatin1String("PRIMARY")
                                                || index.value(1) == QLatin1String("GEN_CLUST_INDEX")))
            return index.value(5).toLongLong();
    ADD_FAILURE() << "no root page for " << qualifiedName.toStdString();
    return 0;
}

// `count` random bytes anywhere in a table's .MYD.
std::function<void(const QString&, const QString&)> strayBytesInMyd(const char* table, quint32 seed, int count = 6)
{
    return [=](const QString& d, const QString&) {
        change(d + "/fx_myisam/" + table + ".MYD", [&](QByteArray& b) {
            QRandomGenerator random(seed);
            for (int j = 0; j < count; ++j)
                b[random.bounded(b.size())] = static_cast<char>(random.bounded(256));
        });
    };
}

struct DamageCase {
    const char* name;
    const char* database;
    const char* table;
    // Changes the copy (data folder, the fixtures' expectations folder).
    std::function<void(const QString& data, const QString& expected)> damage;
    // Correct rows the readers recovered before these checks.
    int correctBefore;
    // What the log must say.
    const char* logged;
    // Wrong rows printed unmarked. MyISAM records without a checksum show a
    // stray byte only where a value becomes unreadable or implausible, or
    // differs from its key in the .MYI.
    int unmarkedWrong = 0;
};

const DamageCase kCases[] = {
    {"a MyISAM .frm cut to a few bytes", "fx_myisam", "paged_rows",
     [](const QString& d, const QString&) { change(d + "/fx_myisam/paged_rows.frm", [](QByteArray& b) { b.truncate(96); }); },
     0, "paged_rows: its definition has no readable column"},
    {"an InnoDB .frm cut to a few bytes", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) { change(d + "/fx_innodb_ibd/big_btree.frm", [](QByteArray& b) { b.truncate(96); }); },
     0, "big_btree"},
    {"an InnoDB .frm cut before its columns", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/big_btree.frm", [](QByteArray& b) { b.truncate(fieldRecordPos(b, 0)); });
     },
     0, "big_btree: its definition has no readable column"},
    {"a MyISAM .frm with one column more", "fx_myisam", "fixed_rows",
     [](const QString& d, const QString&) {
         change(d + "/fx_myisam/fixed_rows.frm", [](QByteArray& b) {
             const qsizetype at = formPos(b) + kFormFieldCount;
             putLe(b, at, uintLe(b, at, 2) + 1, 2);
         });
     },
     0, "fixed_rows"},
    {"a MyISAM .frm with a field length changed", "fx_myisam", "fixed_rows",
     [](const QString& d, const QString&) {
         change(d + "/fx_myisam/fixed_rows.frm", [](QByteArray& b) {
             const qsizetype at = fieldRecordPos(b, 1) + kFieldLengthPos;  // code CHAR(8)
             putLe(b, at, uintLe(b, at, 2) + 4, 2);
         });
     },
     0, "fixed_rows"},
    {"an InnoDB .frm with a field length changed", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/big_btree.frm", [](QByteArray& b) {
             const qsizetype at = fieldRecordPos(b, 0) + kFieldLengthPos;  // id INT
             putLe(b, at, uintLe(b, at, 2) + 9, 2);
         });
     },
     5900, ""},
    {"an InnoDB .frm with one column fewer", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_sys/big_btree.frm", [](QByteArray& b) {
             const qsizetype at = formPos(b) + kFormFieldCount;
             putLe(b, at, uintLe(b, at, 2) - 1, 2);
         });
     },
     0, "big_btree"},
    {"an InnoDB table's .frm replaced by one of fewer columns", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         const QString frm = d + "/fx_innodb_sys/big_btree.frm";
         writeAll(frm, readAll(d + "/fx_innodb_sys/no_pk.frm"));
     },
     0, "the InnoDB data dictionary 5"},
    {"a MyISAM .frm with its engine name changed", "fx_myisam", "fixed_rows",
     [](const QString& d, const QString&) {
         change(d + "/fx_myisam/fixed_rows.frm", [](QByteArray& b) { b.replace("MyISAM", "MyISBM"); });
     },
     36, ""},
    {"an InnoDB .frm with its engine name changed", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/big_btree.frm", [](QByteArray& b) { b.replace("InnoDB", "InnoDX"); });
     },
     5900, ""},
    {"stray bytes in leaf pages of an .ibd", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/big_btree.ibd",
                [](QByteArray& b) { strayBytes(b, leafPages(b, kIbdRootPage), 15, 3, 6); });
     },
     5887, "is damaged"},
    {"stray bytes in leaf pages of a table in ibdata1", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString& e) {
         const qsizetype root = rootInIbdata(e, "fx_innodb_sys/big_btree");
         change(d + "/ibdata1", [&](QByteArray& b) { strayBytes(b, leafPages(b, root), 16, 3, 6); });
     },
     5895, "is damaged"},
    {"stray bytes in an .ibd's COMPACT leaf", "fx_innodb_ibd", "all_types_compact",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/all_types_compact.ibd",
                [](QByteArray& b) { strayBytes(b, leafPages(b, kIbdRootPage), 17, 1, 4); });
     },
     4, "is damaged"},
    {"stray bytes in a static .MYD", "fx_myisam", "fixed_rows",
     [](const QString& d, const QString&) {
         change(d + "/fx_myisam/fixed_rows.MYD", [](QByteArray& b) {
             QRandomGenerator random(18);
             for (int j = 0; j < 6; ++j)
                 b[random.bounded(b.size())] = static_cast<char>(random.bounded(256));
         });
     },
     30, "rows marked as doubtful", 2},
    {"stray bytes in a dynamic .MYD", "fx_myisam", "dyn_rows",
     [](const QString& d, const QString&) {
         change(d + "/fx_myisam/dyn_rows.MYD", [](QByteArray& b) {
             QRandomGenerator random(19);
             for (int j = 0; j < 6; ++j)
                 b[random.bounded(b.size())] = static_cast<char>(random.bounded(256));
         });
     },
     25, "", 3},
    {"an InnoDB .frm replaced by another table's of as many columns", "fx_innodb_ibd", "fk_parent",
     [](const QString& d, const QString&) {
         writeAll(d + "/fx_innodb_ibd/fk_parent.frm", readAll(d + "/fx_innodb_ibd/empty_table.frm"));
     },
     0, "fk_parent: column 2 is `v` in the definition, `name` in the InnoDB data dictionary"},
    {"an InnoDB .frm replaced by one of as many columns and another key", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         writeAll(d + "/fx_innodb_sys/big_btree.frm", readAll(d + "/fx_innodb_sys/composite_pk.frm"));
     },
     0, "big_btree: column 1 is `region` in the definition, `id` in the InnoDB data dictionary"},
    {"an InnoDB .frm whose primary key names another column", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_ibd/big_btree.frm", [](QByteArray& b) {
             const qsizetype at = uintLe(b, kFrmKeyAreaPos, 2) + kFirstKeyPartPos;  // PRIMARY KEY (id)
             putLe(b, at, (uintLe(b, at, 2) & ~kKeyPartFieldMask) | 2, 2);          // now (k)
         });
     },
     0, "big_btree: the clustered index's key is (`k`) in the definition, (`id`) in the InnoDB data "
                  "dictionary"},
    {"an InnoDB .frm with a column's type changed", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/fx_innodb_sys/big_btree.frm", [](QByteArray& b) {
             b[fieldRecordPos(b, 1) + kFieldTypePos] = kFrmTypeBigint;  // k INT
         });
     },
     0, "big_btree: column 2 `k` is"},
    {"stray bytes in ibdata1's SYS_COLUMNS leaves", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/ibdata1", [](QByteArray& b) {
             const auto leaves = leafPages(b, uintBe(b, kDictHeaderPage * kPageSize + kDictHdrColumns, 4));
             strayBytes(b, leaves, 20, static_cast<int>(leaves.size()), 4);
         });
     },
     6000, "big_btree: its definition could not be checked against the InnoDB data dictionary"},
    {"stray bytes in ibdata1's SYS_FIELDS leaves", "fx_innodb_sys", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/ibdata1", [](QByteArray& b) {
             const auto leaves = leafPages(b, uintBe(b, kDictHeaderPage * kPageSize + kDictHdrFields, 4));
             strayBytes(b, leaves, 21, static_cast<int>(leaves.size()), 4);
         });
     },
     6000, "big_btree: its definition could not be checked against the InnoDB data dictionary"},
    {"ibdata1's SYS_COLUMNS root pointer lost", "fx_innodb_ibd", "big_btree",
     [](const QString& d, const QString&) {
         change(d + "/ibdata1", [](QByteArray& b) { putBe(b, kDictHeaderPage * kPageSize + kDictHdrColumns, 0, 4); });
     },
     5900, "big_btree: its definition could not be checked against the InnoDB data dictionary: SYS_COLUMNS cannot "
           "be read"},
    // More seeds, so the counts are not the luck of one. A changed byte in
    // a value that no key holds and no checksum covers (a DOUBLE, a binary
    // blob, a control character in text, a NULL flag) cannot be told from a
    // right value: those rows stay unmarked.
    {"stray bytes in a static .MYD, seed 20", "fx_myisam", "fixed_rows",
     strayBytesInMyd("fixed_rows", 20), 31, "rows marked as doubtful", 1},
    {"stray bytes in a static .MYD, seed 21", "fx_myisam", "fixed_rows",
     strayBytesInMyd("fixed_rows", 21), 32, "rows marked as doubtful", 1},
    {"stray bytes in a static .MYD, seed 22", "fx_myisam", "fixed_rows",
     strayBytesInMyd("fixed_rows", 22), 31, "rows marked as doubtful", 1},
    {"stray bytes in a static .MYD, seed 23", "fx_myisam", "fixed_rows",
     strayBytesInMyd("fixed_rows", 23), 30, "rows marked as doubtful", 1},
    {"stray bytes in a dynamic .MYD, seed 24", "fx_myisam", "dyn_rows",
     strayBytesInMyd("dyn_rows", 24), 22, "rows marked as doubtful", 1},
    {"stray bytes in a dynamic .MYD, seed 25", "fx_myisam", "dyn_rows",
     strayBytesInMyd("dyn_rows", 25), 24, "rows marked as doubtful", 2},
    {"stray bytes in a dynamic .MYD, seed 26", "fx_myisam", "dyn_rows",
     strayBytesInMyd("dyn_rows", 26), 25, "rows marked as doubtful", 0},
    {"stray bytes in a dynamic .MYD, seed 27", "fx_myisam", "dyn_rows",
     strayBytesInMyd("dyn_rows", 27), 24, "rows marked as doubtful", 2},
    // Records of a CHECKSUM=1 table carry their checksum: a changed value is
    // marked whatever column it is in.
    {"stray bytes in a CHECKSUM=1 .MYD, seed 28", "fx_myisam", "checksum_rows",
     strayBytesInMyd("checksum_rows", 28), 32, "(checksum differs", 0},
    {"stray bytes in a CHECKSUM=1 .MYD, seed 29", "fx_myisam", "checksum_rows",
     strayBytesInMyd("checksum_rows", 29), 32, "(checksum differs", 0},
    {"stray bytes in a CHECKSUM=1 .MYD, seed 30", "fx_myisam", "checksum_rows",
     strayBytesInMyd("checksum_rows", 30), 32, "(checksum differs", 0},
    {"stray bytes in a CHECKSUM=1 .MYD, seed 31", "fx_myisam", "checksum_rows",
     strayBytesInMyd("checksum_rows", 31), 33, "(checksum differs", 0},
    {"stray bytes in a CHECKSUM=1 .MYD, seed 32", "fx_myisam", "checksum_rows",
     strayBytesInMyd("checksum_rows", 32), 30, "(checksum differs", 0},
};

TEST(GrisoltDumpDamage, NoUnmarkedWrongRowAndEveryDamageLogged)
{
    const QString set = testsupport::ExpectedRows::setFolder(QStringLiteral("default"));
    const QString expectedFolder = set + QStringLiteral("/expected/");
    for (const DamageCase& c : kCases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const QString data = dir.path() + QStringLiteral("/data");
        for (const char* db : {"fx_innodb_sys", "fx_innodb_ibd", "fx_myisam"})
            testsupport::copyFolder(set + "/data/" + db, data + "/" + db);
        ASSERT_TRUE(QFile::copy(set + "/data/ibdata1", data + "/ibdata1"));
        QFile(data + "/ibdata1").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        c.damage(data, expectedFolder);

        const testsupport::Dump dump = testsupport::runDump(data, true);
        const auto expected = testsupport::ExpectedRows::load(QStringLiteral("default"), c.database, c.table);
        const testsupport::DumpedTable table = dump.tables.value(c.database).value(c.table);
        testsupport::RowMatcher matcher(expected, table.columns);
        int correct = 0;
        int unmarkedWrong = 0;
        QString wrongRows;
        for (const QStringList& row : table.rows) {
            if (matcher.take(row) >= 0) {
                ++correct;
            } else {
                ++unmarkedWrong;
                wrongRows += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
            }
        }
        for (const QStringList& row : table.damagedRows)
            correct += matcher.take(row) >= 0 ? 1 : 0;
        std::printf("%s: %d correct rows (%d printed, %d marked), %d unmarked wrong\n", c.name, correct,
                    int(table.rows.size() + table.damagedRows.size()), int(table.damagedRows.size()), unmarkedWrong);
        EXPECT_LE(unmarkedWrong, c.unmarkedWrong) << wrongRows.toStdString() << dump.log.toStdString();
        EXPECT_GE(correct, c.correctBefore);
        EXPECT_TRUE(dump.log.contains(QString::fromUtf8(c.logged))) << dump.log.toStdString();
    }
}

// A value of a COMPRESSED column whose deflate stream is damaged: its row is
// printed marked, with that value NULL, never as if it were right; the log
// names it. The first stream of each table is row 1's `t`, REPEAT('abc', 100)
// behind the header 8a 01 2c; its first block is given a type that does not
// exist. The InnoDB page's checksum is made to fit again, so only the value
// can tell.
TEST(GrisoltDumpDamage, AValueThatDoesNotInflateIsMarked)
{
    const QString set = testsupport::ExpectedRows::setFolder(QStringLiteral("default"));
    struct Case {
        const char* table;
        const char* file;
        const char* logged;
    };
    const Case cases[] = {
        {"compressed_myisam", "compressed_myisam.MYD", "column t of the record at 0: compressed value does not inflate"},
        {"compressed_innodb", "compressed_innodb.ibd",
         "Table compressed_innodb: 7 rows recovered, of them 1 with a value that could not be read."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        testsupport::TempDir dir;
        const QString data = dir.path() + QStringLiteral("/data");
        testsupport::copyFolder(set + "/data/fx_mariadb", data + "/fx_mariadb");
        ASSERT_TRUE(QFile::copy(set + "/data/ibdata1", data + "/ibdata1"));
        QFile(data + "/ibdata1").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        change(data + "/fx_mariadb/" + c.file, [](QByteArray& b) {
            const qsizetype header = b.indexOf(QByteArray::fromHex("8a012c4b4c4a4e"));
            ASSERT_GT(header, 0);
            b[header + 3] = static_cast<char>(b[header + 3] | 0x06);
            if (b.size() % kPageSize != 0)
                return;
            const qsizetype page = header / kPageSize * kPageSize;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(b.constData() + page);
            putBe(b, page + kPageSize - 4, recovery::innodb::crc32c({bytes, kPageSize - 4}), 4);
        });

        const testsupport::Dump dump = testsupport::runDump(data, true);
        const auto expected = testsupport::ExpectedRows::load(QStringLiteral("default"), "fx_mariadb", c.table);
        const testsupport::DumpedTable table = dump.tables.value("fx_mariadb").value(c.table);
        testsupport::RowMatcher matcher(expected, table.columns);
        for (const QStringList& row : table.rows)
            EXPECT_GE(matcher.take(row), 0) << row.join(QLatin1Char('\t')).left(200).toStdString();
        EXPECT_EQ(table.rows.size(), 6);
        ASSERT_EQ(table.damagedRows.size(), 1) << dump.log.toStdString();
        const QStringList damaged = table.damagedRows.first();
        ASSERT_EQ(damaged.size(), 5);
        EXPECT_EQ(damaged[0], QStringLiteral("1"));
        EXPECT_EQ(damaged[1], QStringLiteral("\\N"));
        EXPECT_EQ(damaged[2], QStringLiteral("xy").repeated(150));
        EXPECT_TRUE(dump.log.contains(QString::fromUtf8(c.logged))) << dump.log.toStdString();
        EXPECT_FALSE(dump.log.contains(QStringLiteral("of them 1 from damaged pages"))) << dump.log.toStdString();
    }
}

} // namespace
