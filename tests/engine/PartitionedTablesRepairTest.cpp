// Partitioned tables repaired onto the scratch server from copies of the
// fixture: re-created with their PARTITION BY clause (the server shows them
// as it showed the originals) and every readable partition's rows moved; a
// lost partition file costs its rows only; a clause that cannot be read, or
// that the server refuses, leaves the table unpartitioned with all its rows.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>

namespace {

using engine::RowWriter;
using testsupport::FixtureSet;

const QString kDatabase = QStringLiteral("fx_mariadb");

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Replaces the first `from` in a file by `to`, of the same length.
void patchFile(const QString& path, const QByteArray& from, const QByteArray& to)
{
    ASSERT_EQ(from.size(), to.size());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << path.toStdString();
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(from);
    ASSERT_GE(at, 0) << from.toStdString();
    bytes.replace(at, to.size(), to);
    file.seek(0);
    file.write(bytes);
}

struct Case {
    const char* label;
    std::function<void(const QString& folder)> damage;  // folder: the copy's database folder
    QStringList rangeIds;       // part_range_innodb's ids after the repair
    QStringList hashIds;        // part_hash_myisam's
    bool rangePartitioned;      // part_range_innodb comes back with its clause
    const char* logged;         // a line of the log contains this
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.label;
}

class PartitionedTablesRepair : public ::testing::TestWithParam<Case> {};

TEST_P(PartitionedTablesRepair, ClauseAndRowsOfEveryReadablePartition)
{
    const Case& c = GetParam();
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    const QString data = FixtureSet::dataFolder(QStringLiteral("default")) + QLatin1Char('/');
    testsupport::TempDir dir;
    dir.mkdir(kDatabase);
    ASSERT_TRUE(QFile::copy(data + QStringLiteral("ibdata1"), dir.file(QStringLiteral("ibdata1"))));
    const QDir source(data + kDatabase);
    for (const QString& name : source.entryList({QStringLiteral("part_*")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(source.filePath(name), dir.file(kDatabase + QLatin1Char('/') + name)));
    c.damage(dir.file(kDatabase) + QLatin1Char('/'));
    if (::testing::Test::HasFatalFailure())
        return;

    testsupport::ScannedEngine scanned(dir.path(), {kDatabase});
    engine::MySqlRepair& repair = scanned.repair;
    ASSERT_EQ(repair.m_databases.size(), 1u);
    const QString target = scanned.repairAs(server, QStringLiteral("fx_partitions_") + QLatin1String(c.label));
    const QString log = scanned.report.log().join(QLatin1Char('\n'));
    ASSERT_EQ(repair.m_createdDatabases, QStringList{target}) << log.toStdString();
    EXPECT_TRUE(log.contains(QLatin1String(c.logged))) << log.toStdString();

    repair.OpenConnection();
    const auto ids = [&](const char* table) {
        QStringList values;
        for (const auto& row : repair.m_connection->query(QStringLiteral("SELECT id FROM %1.%2 ORDER BY id")
                                                              .arg(RowWriter::QuoteName(target), QLatin1String(table))))
            values << row[0].value_or(QString());
        return values;
    };
    const auto shown = [&](const char* table) {
        const auto rows = repair.m_connection->query(
            QStringLiteral("SHOW CREATE TABLE %1.%2").arg(RowWriter::QuoteName(target), QLatin1String(table)));
        return rows.size() == 1 ? rows[0][1].value_or(QString()) : QString();
    };
    const auto original = [&](const char* table) {
        return readText(FixtureSet::expectedFile(QStringLiteral("default"), kDatabase, QLatin1String(table),
                                                 QStringLiteral(".create.sql")))
            .trimmed();
    };
    EXPECT_EQ(ids("part_range_innodb"), c.rangeIds);
    EXPECT_EQ(ids("part_hash_myisam"), c.hashIds);
    const QString range = shown("part_range_innodb");
    if (c.rangePartitioned) {
        EXPECT_EQ(range.toStdString(), original("part_range_innodb").toStdString());
    } else {
        // The original's statement up to its partitions.
        const QString plain = original("part_range_innodb");
        EXPECT_EQ(range.toStdString(), plain.left(plain.indexOf(QLatin1String("\n PARTITION BY"))).toStdString());
    }
    // The table beside them loses nothing.
    EXPECT_EQ(shown("part_sub_innodb").toStdString(), original("part_sub_innodb").toStdString());
    EXPECT_EQ(ids("part_sub_innodb"), (QStringList{"1", "2", "3", "4", "6"}));
    repair.RunStatement(QStringLiteral("DROP DATABASE ") + RowWriter::QuoteName(target));
}

const QStringList kRangeIds{"5", "99", "100", "150", "300", "1000"};
const QStringList kHashIds{"1", "2", "3", "4", "5", "6"};

INSTANTIATE_TEST_SUITE_P(
    Copies, PartitionedTablesRepair,
    ::testing::Values(
        Case{"intact", [](const QString&) {}, kRangeIds, kHashIds, true, "Table part_range_innodb: 6 rows recovered."},
        Case{"missing",
             [](const QString& folder) {
                 ASSERT_TRUE(QFile::remove(folder + QStringLiteral("part_range_innodb#P#p2020.ibd")));
                 ASSERT_TRUE(QFile::remove(folder + QStringLiteral("part_hash_myisam#P#p1.MYD")));
                 ASSERT_TRUE(QFile::remove(folder + QStringLiteral("part_hash_myisam#P#p1.MYI")));
             },
             {"5", "99", "300", "1000"}, {"2", "3", "5", "6"}, true, "of partition p2020 is not present"},
        Case{"unreadable",
             [](const QString& folder) {
                 patchFile(folder + QStringLiteral("part_range_innodb.frm"), " PARTITION BY RANGE", " XARTITION BY RANGE");
             },
             kRangeIds, kHashIds, false,
             "its PARTITION BY clause cannot be read from its definition; it is re-created unpartitioned."},
        Case{"refused",
             [](const QString& folder) {
                 patchFile(folder + QStringLiteral("part_range_innodb.frm"), "RANGE (`id`)", "RANGE (`xx`)");
             },
             kRangeIds, kHashIds, false,
             "Table part_range_innodb is re-created unpartitioned: the server refused its PARTITION BY clause."}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

} // namespace
