// grisolt-dump on the fixture's partitioned tables, whole and in copies with
// a partition's file or the partition list taken away or damaged: every
// partition's rows as the one table's rows, in partition order, and a lost
// partition costing its own rows only, named in the log.
#include "tests/support/ExpectedRows.h"
#include "tests/support/TempDir.h"
#include "tests/tools/DumpOutput.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using testsupport::Dump;
using testsupport::DumpedTable;

const QString kDatabase = QStringLiteral("fx_mariadb");

QString dataFolder()
{
    return testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + QStringLiteral("/data/");
}

QStringList firstValues(const DumpedTable& table)
{
    QStringList values;
    for (const QStringList& row : table.rows)
        values << row.value(0);
    return values;
}

// ibdata1 and the partitioned tables' files of the fixture, in dir.
void copyPartitionedTables(const testsupport::TempDir& dir)
{
    dir.mkdir(kDatabase);
    ASSERT_TRUE(QFile::copy(dataFolder() + QStringLiteral("ibdata1"), dir.file(QStringLiteral("ibdata1"))));
    const QDir source(dataFolder() + kDatabase);
    for (const QString& name : source.entryList({QStringLiteral("part_*")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(source.filePath(name), dir.file(kDatabase + QLatin1Char('/') + name)));
}

TEST(PartitionedTablesDump, EveryPartitionInOrderAndItsRowsInPartitionOrder)
{
    const Dump dump = testsupport::runDump(dataFolder(), true);
    const auto& tables = dump.tables.value(kDatabase);
    EXPECT_EQ(tables.value(QStringLiteral("part_range_innodb")).partitions,
              (QStringList{"p2019", "p2020", "p_empty", "pmax"}));
    EXPECT_EQ(tables.value(QStringLiteral("part_list_myisam")).partitions, (QStringList{"peven", "p-odd"}));
    EXPECT_EQ(tables.value(QStringLiteral("part_sub_innodb")).partitions,
              (QStringList{"p_old#SP#p_oldsp0", "p_old#SP#p_oldsp1", "p_new#SP#p_newsp0", "p_new#SP#p_newsp1"}));
    EXPECT_EQ(tables.value(QStringLiteral("part_sub_myisam")).partitions.size(), 4);
    // Each partition's rows in its key order (InnoDB) or file order (MyISAM).
    EXPECT_EQ(firstValues(tables.value(QStringLiteral("part_range_innodb"))),
              (QStringList{"5", "99", "100", "150", "300", "1000"}));
    EXPECT_EQ(firstValues(tables.value(QStringLiteral("part_hash_myisam"))),
              (QStringList{"3", "6", "1", "4", "2", "5"}));
    EXPECT_EQ(firstValues(tables.value(QStringLiteral("part_list_myisam"))),
              (QStringList{"2", "4", "1", "3", "7"}));
    EXPECT_FALSE(dump.log.contains(QLatin1String("partition engine"))) << dump.log.toStdString();
    EXPECT_FALSE(dump.log.contains(QLatin1String("partition list"))) << dump.log.toStdString();
}

// One partition's files gone or cut short: the other partitions' rows, and
// a log line that names the partition and its file.
TEST(PartitionedTablesDump, AMissingPartitionFileCostsThatPartitionsRowsOnly)
{
    struct Case {
        const char* table;
        const char* partition;     // as the log names it
        const char* fileName;      // as the file names it
        QStringList extensions;
        QStringList lost;          // first values of the rows it held
        bool cutShort = false;     // the file is kept, its pages but the first two gone
    };
    const Case cases[] = {
        {"part_range_innodb", "p2020", "p2020", {".ibd"}, {"100", "150"}},
        {"part_range_innodb", "p2019", "p2019", {".ibd"}, {"5", "99"}},
        {"part_hash_myisam", "p1", "p1", {".MYD", ".MYI"}, {"1", "4"}},
        {"part_list_myisam", "p-odd", "p@002dodd", {".MYD"}, {"1", "3", "7"}},
        {"part_range_innodb", "p2020", "p2020", {".ibd"}, {"100", "150"}, true},
    };
    const Dump intact = testsupport::runDump(dataFolder(), true);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + c.partition);
        testsupport::TempDir dir;
        copyPartitionedTables(dir);
        for (const QString& extension : c.extensions) {
            const QString file = dir.file(kDatabase + QLatin1Char('/') + QLatin1String(c.table) + QStringLiteral("#P#")
                                          + QLatin1String(c.fileName) + extension);
            ASSERT_TRUE(c.cutShort ? QFile::resize(file, 2 * 16384) : QFile::remove(file));
        }
        const Dump dump = testsupport::runDump(dir.path(), true);
        const DumpedTable table = dump.tables.value(kDatabase).value(QLatin1String(c.table));
        QStringList expected = firstValues(intact.tables.value(kDatabase).value(QLatin1String(c.table)));
        for (const QString& value : c.lost)
            expected.removeOne(value);
        EXPECT_EQ(firstValues(table), expected);
        const QString logged = c.cutShort
            ? QStringLiteral("Table %1: the rows of partition %2 are not read; the other partitions' are.")
                  .arg(QLatin1String(c.table), QLatin1String(c.partition))
            : QStringLiteral("Table %1: the data file %2 of partition %3 is not present")
                  .arg(QLatin1String(c.table),
                       dir.file(kDatabase + QLatin1Char('/') + QLatin1String(c.table) + QStringLiteral("#P#")
                                + QLatin1String(c.fileName) + c.extensions.first()),
                       QLatin1String(c.partition));
        EXPECT_TRUE(dump.log.contains(logged)) << dump.log.toStdString();
        // The other tables lose nothing.
        for (const QString& other : {QStringLiteral("part_sub_innodb"), QStringLiteral("part_key_innodb")})
            EXPECT_EQ(dump.tables.value(kDatabase).value(other).rows.size(),
                      intact.tables.value(kDatabase).value(other).rows.size());
    }
}

// Without a readable partition list (MySQL 5.7 writes none for InnoDB) the
// partitions are the files beside the definition, in the order the clause
// names them, generated names by their number: the same partitions and rows
// in the same order. The log says why.
TEST(PartitionedTablesDump, ADamagedOrMissingPartitionListFallsBackOnTheFilesInPartitionOrder)
{
    const Dump intact = testsupport::runDump(dataFolder(), true);
    const QStringList tables{"part_sub_innodb", "part_key_innodb", "part_sub_myisam", "part_list_myisam"};
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "damaged");
        testsupport::TempDir dir;
        copyPartitionedTables(dir);
        for (const QString& name : tables) {
            QFile par(dir.file(kDatabase + QLatin1Char('/') + name + QStringLiteral(".par")));
            if (removed) {
                ASSERT_TRUE(par.remove());
            } else {
                ASSERT_TRUE(par.open(QIODevice::ReadWrite));
                QByteArray bytes = par.readAll();
                bytes[12] ^= 1; // an engine byte: fails the checksum
                par.seek(0);
                par.write(bytes);
            }
        }
        const Dump dump = testsupport::runDump(dir.path(), true);
        for (const QString& name : tables) {
            SCOPED_TRACE(name.toStdString());
            const DumpedTable table = dump.tables.value(kDatabase).value(name);
            const DumpedTable original = intact.tables.value(kDatabase).value(name);
            EXPECT_EQ(table.partitions, original.partitions);
            EXPECT_EQ(table.rows, original.rows);
            EXPECT_TRUE(dump.log.contains(removed ? QStringLiteral("Table %1: its partition list").arg(name)
                                                  : QStringLiteral("%1.par is damaged (the partition list fails its "
                                                                   "checksum)")
                                                        .arg(name)))
                << dump.log.toStdString();
        }
        EXPECT_EQ(dump.tables.value(kDatabase).value(QStringLiteral("part_key_innodb")).partitions.size(), 12);
    }
}

// A data folder of a server on a file system that ignores case names the
// partitions' files in lower case ("t#p#p0", "t#p#pa#sp#s0").
TEST(PartitionedTablesDump, LowerCaseFileNamesOfPartitionsAreFound)
{
    const Dump intact = testsupport::runDump(dataFolder(), true);
    testsupport::TempDir dir;
    copyPartitionedTables(dir);
    QDir folder(dir.file(kDatabase));
    for (const QString& name : folder.entryList({QStringLiteral("part_*_myisam#P#*")}, QDir::Files))
        ASSERT_TRUE(folder.rename(name, QString(name).replace(QStringLiteral("#P#"), QStringLiteral("#p#"))
                                            .replace(QStringLiteral("#SP#"), QStringLiteral("#sp#"))));
    const Dump dump = testsupport::runDump(dir.path(), true);
    for (const char* name : {"part_hash_myisam", "part_sub_myisam", "part_list_myisam"}) {
        SCOPED_TRACE(name);
        const DumpedTable table = dump.tables.value(kDatabase).value(QLatin1String(name));
        const DumpedTable original = intact.tables.value(kDatabase).value(QLatin1String(name));
        EXPECT_EQ(table.partitions, original.partitions);
        EXPECT_EQ(table.rows, original.rows);
    }
    EXPECT_FALSE(dump.log.contains(QLatin1String("not present"))) << dump.log.toStdString();
}

// Each partition's records are checked against its own index file: a
// changed key value in one partition is marked, the rows of the others not.
TEST(PartitionedTablesDump, EachPartitionsRecordsAreCheckedAgainstItsOwnIndex)
{
    testsupport::TempDir dir;
    copyPartitionedTables(dir);
    QFile data(dir.file(kDatabase + QStringLiteral("/part_list_myisam#P#p@002dodd.MYD")));
    ASSERT_TRUE(data.open(QIODevice::ReadWrite));
    QByteArray bytes = data.readAll();
    const qsizetype at = bytes.indexOf("de"); // the key kr's value of the row with id 1
    ASSERT_GT(at, 0);
    bytes[at + 1] = 'x';
    data.seek(0);
    data.write(bytes);
    data.close();
    const Dump dump = testsupport::runDump(dir.path(), true);
    const DumpedTable table = dump.tables.value(kDatabase).value(QStringLiteral("part_list_myisam"));
    EXPECT_EQ(table.damagedRows, (QList<QStringList>{{"1", "dx", "eins"}}));
    EXPECT_EQ(table.rows.size(), 4);
    EXPECT_TRUE(dump.log.contains(QLatin1String("Table part_list_myisam: 1 rows marked as doubtful"))) << dump.log.toStdString();
}

} // namespace
