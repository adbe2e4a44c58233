// Every table of the fixture database of MariaDB's own features (fx_mariadb:
// hidden and invisible columns, tables' character sets, system versioning,
// sequences, ...) repaired onto the scratch server by the repair driver:
// the server shows each recovered table as it showed the original, line for
// line, and returns the original's rows. The tables are taken from the
// fixture's list, so a table added there is checked too.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

using engine::RowWriter;
using testsupport::ExpectedRows;
using testsupport::FixtureSet;

const QString kDatabase = QStringLiteral("fx_mariadb");
// The largest TIMESTAMP: row_end of a row that is current.
constexpr const char* kCurrentRowEnd = "2147483647.999999";

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// SHOW CREATE TABLE as two lists to compare: the lines in their order, but
// the keys, which the statement lists in an order of its own (sorted, after
// the columns); then the table options and a partitioned table's PARTITION BY
// lines. No line keeps its trailing comma, as the last one has none.
QStringList comparableLines(const QString& createSql)
{
    static const QRegularExpression key(QStringLiteral("^  (PRIMARY|UNIQUE|FULLTEXT|SPATIAL)? ?KEY "));
    // The counter follows the rows the table had, not its definition.
    static const QRegularExpression counter(QStringLiteral(" AUTO_INCREMENT=\\d+"));
    QStringList lines;
    QStringList keys;
    QStringList options;
    for (QString line : createSql.trimmed().split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        line.remove(counter);
        if (!options.isEmpty() || line.startsWith(QLatin1String(") ")))
            options << line;
        else
            (key.match(line).hasMatch() ? keys : lines) << line;
    }
    keys.sort();
    return lines + keys + options;
}

// What the original's SHOW CREATE TABLE becomes in a plain table: a
// system-versioned table keeps its period columns as ordinary columns (row_end
// among the keys' columns, where the server had put it unseen); a sequence
// is a table holding its state, in the table's character set the server did
// not show; a temporal column of the old format comes back in the current one.
struct Expected {
    QStringList lines;
    bool versioned = false;
};

Expected plainTableOf(const QString& originalSql, const QString& recoveredSql)
{
    Expected e;
    QString original = originalSql.trimmed();
    e.versioned = original.contains(QLatin1String(" WITH SYSTEM VERSIONING"));
    original.remove(QStringLiteral(" WITH SYSTEM VERSIONING"));
    // A recovered temporal column takes the server's current format.
    original.remove(QStringLiteral(" /* mariadb-5.3 */"));
    if (original.contains(QLatin1String(" SEQUENCE=1"))) {
        original.remove(QStringLiteral(" SEQUENCE=1"));
        static const QRegularExpression charset(QStringLiteral(" DEFAULT CHARSET=\\S+ COLLATE=\\S+"));
        const QString recoveredOptions = recoveredSql.trimmed().split(QLatin1Char('\n')).last();
        original.replace(QRegularExpression(QStringLiteral("\\n\\) ENGINE=(\\S+)$")),
                         QStringLiteral("\n) ENGINE=\\1") + charset.match(recoveredOptions).captured(0));
    }
    e.lines = comparableLines(original);
    return e;
}

// The recovered statement with the period columns taken out and row_end
// out of the keys, after checking that they are there as plain columns.
QString withoutPeriodColumns(const QString& recoveredSql, const std::string& label)
{
    QStringList kept;
    int periodColumns = 0;
    for (QString line : recoveredSql.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  `row_start` ")) || line.startsWith(QLatin1String("  `row_end` "))) {
            EXPECT_TRUE(line.contains(QLatin1String(" timestamp(6) NOT NULL"))) << label << ": " << line.toStdString();
            ++periodColumns;
            continue;
        }
        line.replace(QStringLiteral(",`row_end`)"), QStringLiteral(")"));
        kept << line;
    }
    EXPECT_EQ(periodColumns, 2) << label;
    return kept.join(QLatin1Char('\n'));
}

class RecoveredTablesRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RecoveredTablesRoundTrip, EveryTableComesBackAsTheServerShowedItWithItsRows)
{
    const QString set = QString::fromLatin1(GetParam());
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    testsupport::ScannedEngine scanned(FixtureSet::dataFolder(set), {kDatabase});
    engine::MySqlRepair& repair = scanned.repair;
    ASSERT_EQ(repair.m_databases.size(), 1u);
    // A name of its own per set: both sets run side by side on one server.
    const QString target = scanned.repairAs(server, kDatabase + QLatin1Char('_') + set);
    const QString log = scanned.report.log().join(QLatin1Char('\n'));
    ASSERT_EQ(repair.m_createdDatabases, QStringList{target}) << log.toStdString();
    EXPECT_EQ(repair.m_statementsFailed, 0u) << log.toStdString();
    EXPECT_FALSE(log.contains(QLatin1String("not read"))) << log.toStdString();

    repair.OpenConnection();
    int tables = 0;
    for (const QStringList& row : FixtureSet::readTsv(FixtureSet::folder(set) + QStringLiteral("/expected/tables.tsv"))) {
        if (row.value(0) != kDatabase || row.value(2) == QLatin1String("VIEW"))
            continue;
        const QString name = row.value(1);
        const std::string label = (set + QLatin1Char(':') + name).toStdString();
        SCOPED_TRACE(label);
        ++tables;
        const QString quoted = RowWriter::QuoteName(target) + QLatin1Char('.') + RowWriter::QuoteName(name);
        const auto shown = repair.m_connection->query(QStringLiteral("SHOW CREATE TABLE ") + quoted);
        ASSERT_EQ(shown.size(), 1u);
        const QString recovered = shown[0][1].value_or(QString());
        const Expected want =
            plainTableOf(readText(FixtureSet::expectedFile(set, kDatabase, name, QStringLiteral(".create.sql"))),
                         recovered);
        const QStringList got = comparableLines(want.versioned ? withoutPeriodColumns(recovered, label) : recovered);
        EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), want.lines.join(QLatin1Char('\n')).toStdString());

        // The server's own SELECT of the original, on the recovered table;
        // of a system-versioned one its current rows, besides its history.
        QString select = readText(FixtureSet::expectedFile(set, kDatabase, name, QStringLiteral(".rows.sql"))).trimmed();
        select.chop(1); // ";"
        select.replace(RowWriter::QuoteName(kDatabase) + QLatin1Char('.'), RowWriter::QuoteName(target) + QLatin1Char('.'));
        if (want.versioned) {
            select.replace(QStringLiteral(" ORDER BY "),
                           QStringLiteral(" WHERE UNIX_TIMESTAMP(`row_end`) = %1 ORDER BY ").arg(QLatin1String(kCurrentRowEnd)));
            // The fixture's versioned tables: two rows, one changed and one deleted.
            const auto all = repair.m_connection->query(
                QStringLiteral("SELECT COUNT(*), SUM(row_start < row_end) FROM ") + quoted);
            ASSERT_EQ(all.size(), 1u);
            EXPECT_EQ(all[0][0].value_or(QString()), QStringLiteral("3"));
            EXPECT_EQ(all[0][1].value_or(QString()), QStringLiteral("3"));
        }
        const ExpectedRows expected = ExpectedRows::load(set, kDatabase, name);
        const auto rows = repair.m_connection->query(select);
        ASSERT_EQ(rows.size(), expected.rows().size()) << select.toStdString();
        for (std::size_t r = 0; r < rows.size(); ++r)
            EXPECT_TRUE(rows[r] == expected.rows()[r]) << "row " << r;
    }
    EXPECT_GE(tables, 11);
    repair.RunStatement(QStringLiteral("DROP DATABASE ") + RowWriter::QuoteName(target));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RecoveredTablesRoundTrip, ::testing::Values("legacy", "default"));

} // namespace
