// The fixture database of tables whose rows are not read (compressed InnoDB
// pages, the Aria and CSV engines) and of tables whose keys carry a
// KEY_BLOCK_SIZE, repaired by the driver onto the scratch server: the server
// shows every rebuilt table's keys as it showed the original's, the readable
// tables bring their rows, and each table left without rows is named in one
// line of the whole log, no page of it called damaged.
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using engine::RowWriter;
using testsupport::FixtureSet;

const QString kDatabase = QStringLiteral("fx_storage");

// The key lines of SHOW CREATE TABLE, without trailing commas, sorted (the
// statement lists keys in an order of its own).
QStringList keyLines(const QString& createSql)
{
    static const QRegularExpression key(QStringLiteral("^  (PRIMARY|UNIQUE|FULLTEXT|SPATIAL)? ?KEY "));
    QStringList keys;
    for (QString line : createSql.trimmed().split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        if (key.match(line).hasMatch())
            keys << line;
    }
    keys.sort();
    return keys;
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class StorageKindsRepair : public ::testing::TestWithParam<const char*> {};

TEST_P(StorageKindsRepair, KeysAsTheOriginalsAndOneLinePerTableWithoutRows)
{
    const QString set = QString::fromLatin1(GetParam());
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    testsupport::ScannedEngine scanned(FixtureSet::dataFolder(set), {kDatabase});
    engine::MySqlRepair& repair = scanned.repair;
    ASSERT_EQ(repair.m_databases.size(), 1u);
    const QString target = scanned.repairAs(server, kDatabase + QLatin1Char('_') + set);
    const QStringList log = scanned.report.log();
    const std::string logText = log.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(repair.m_createdDatabases, QStringList{target}) << logText;
    EXPECT_EQ(repair.m_statementsFailed, 0u) << logText;

    for (const char* name : {"zip_rows", "zip_parts", "page_rows", "aria_rows", "csv_rows"}) {
        const auto lines = log.filter(QLatin1String(name) + QStringLiteral(".frm"));
        EXPECT_EQ(lines.size(), 1) << name << "\n" << logText;
        EXPECT_TRUE(lines.filter(QStringLiteral("rows cannot be read")).size() == 1) << name << "\n" << logText;
    }
    EXPECT_TRUE(log.filter(QStringLiteral("damaged")).isEmpty()) << logText;
    EXPECT_TRUE(log.filter(QStringLiteral("root page")).isEmpty()) << logText;

    repair.OpenConnection();
    int tables = 0;
    for (const QStringList& row : FixtureSet::readTsv(FixtureSet::folder(set) + QStringLiteral("/expected/tables.tsv"))) {
        if (row.value(0) != kDatabase)
            continue;
        const QString name = row.value(1);
        SCOPED_TRACE((set + QLatin1Char(':') + name).toStdString());
        ++tables;
        const QString quoted = RowWriter::QuoteName(target) + QLatin1Char('.') + RowWriter::QuoteName(name);
        const auto shown = repair.m_connection->query(QStringLiteral("SHOW CREATE TABLE ") + quoted);
        ASSERT_EQ(shown.size(), 1u);
        const QString original = readText(FixtureSet::expectedFile(set, kDatabase, name, QStringLiteral(".create.sql")));
        EXPECT_EQ(keyLines(shown[0][1].value_or(QString())).join('\n').toStdString(),
                  keyLines(original).join('\n').toStdString());
        if (!name.startsWith(QLatin1String("kbs_")))
            continue;
        QString select = readText(FixtureSet::expectedFile(set, kDatabase, name, QStringLiteral(".rows.sql"))).trimmed();
        select.chop(1);
        select.replace(RowWriter::QuoteName(kDatabase) + QLatin1Char('.'), RowWriter::QuoteName(target) + QLatin1Char('.'));
        const auto expected = testsupport::ExpectedRows::load(set, kDatabase, name);
        EXPECT_TRUE(repair.m_connection->query(select) == expected.rows());
    }
    EXPECT_EQ(tables, 8);
    repair.RunStatement(QStringLiteral("DROP DATABASE ") + RowWriter::QuoteName(target));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, StorageKindsRepair, ::testing::Values("legacy", "default"));

} // namespace
