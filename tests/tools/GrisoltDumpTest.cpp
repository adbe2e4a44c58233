// Runs grisolt-dump on the fixture data folders and compares what it prints
// with what the server reported when the fixtures were made.
#include "engine/FileNameCodec.h"
#include "tests/support/ExpectedRows.h"
#include "tests/tools/DumpOutput.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

using testsupport::Dump;
using testsupport::DumpedTable;
using testsupport::readTsv;

Dump runDump(const QString& set, bool rows = false)
{
    return testsupport::runDump(testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/data"), rows);
}

// Whether the scan's log says the table's rows cannot be read (compressed
// InnoDB pages, another engine's table).
bool rowsNotRead(const Dump& dump, const QString& database, const QString& name)
{
    const QString frm = QStringLiteral("/%1/%2.frm").arg(engine::FileNameCodec::Encode(database),
                                                          engine::FileNameCodec::Encode(name));
    for (const QString& line : dump.log.split(QLatin1Char('\n')))
        if (line.contains(frm) && line.contains(QLatin1String("rows cannot be read")))
            return true;
    return false;
}

class GrisoltDump : public ::testing::TestWithParam<const char*> {};

TEST_P(GrisoltDump, ModelAgreesWithTheServer)
{
    const QString set = QString::fromLatin1(GetParam());
    const QString expected = testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/");
    const Dump dump = runDump(set);

    // Clustered index roots as the server's dictionary had them.
    QMap<QString, QString> roots;
    for (const QStringList& index : readTsv(expected + QStringLiteral("innodb_sys_indexes.tsv")))
        if (index.value(1) == QLatin1String("PRIMARY") || index.value(1) == QLatin1String("GEN_CLUST_INDEX"))
            roots[engine::FileNameCodec::Decode(index.value(7))] = index.value(5);

    int tables = 0;
    for (const QStringList& row : readTsv(expected + QStringLiteral("tables.tsv"))) {
        const QString& database = row.value(0);
        const QString& name = row.value(1);
        if (row.value(2) == QLatin1String("VIEW")) {
            EXPECT_TRUE(dump.views.value(database).contains(name)) << "view " << name.toStdString();
            continue;
        }
        ++tables;
        ASSERT_TRUE(dump.tables.value(database).contains(name)) << database.toStdString() << "/" << name.toStdString();
        const DumpedTable table = dump.tables[database][name];
        // Another engine's table is listed, its rows in no file the readers know.
        const QString serverEngine = row.value(3).toLower();
        const bool notRead = rowsNotRead(dump, database, name);
        if (serverEngine == QLatin1String("innodb") || serverEngine == QLatin1String("myisam"))
            EXPECT_EQ(table.engine, serverEngine) << name.toStdString();
        else
            EXPECT_TRUE(notRead) << name.toStdString();
        // Each partition is a tablespace of its own, named after the table and it.
        for (qsizetype p = 0; p < table.partitions.size(); ++p)
            EXPECT_EQ(table.partitionRoots.value(p),
                      table.engine == QLatin1String("innodb")
                          ? roots.value(database + QLatin1Char('/') + name + QStringLiteral("#P#") + table.partitions[p])
                          : QStringLiteral("0"))
                << name.toStdString() << " partition " << table.partitions[p].toStdString();
        if (table.engine == QLatin1String("innodb") && table.partitions.isEmpty()) {
            // A table whose rows are not read is not looked up in the dictionary.
            EXPECT_EQ(table.rootPage, notRead ? QStringLiteral("0") : roots.value(database + QLatin1Char('/') + name))
                << name.toStdString();
        }
        QStringList columns;
        QString columnsFile = expected + database + QLatin1Char('/') + QString(name).replace(QLatin1Char('/'), QStringLiteral("@002f"));
        for (const QStringList& column : readTsv(columnsFile + QStringLiteral(".columns.tsv")))
            columns << column.value(0);
        // A system-versioned table is read as a plain one: the period
        // columns the server added unseen are ordinary columns.
        if (row.value(2) == QLatin1String("SYSTEM VERSIONED"))
            columns << QStringLiteral("row_start") << QStringLiteral("row_end");
        EXPECT_EQ(table.columns, columns) << name.toStdString();
    }
    EXPECT_GT(tables, 20);

    // The tables with triggers, per database.
    QMap<QString, QStringList> triggerTables;
    for (const QStringList& trigger : readTsv(expected + QStringLiteral("triggers.tsv")))
        if (!triggerTables[trigger.value(0)].contains(trigger.value(4)))
            triggerTables[trigger.value(0)] << trigger.value(4);
    EXPECT_FALSE(triggerTables.isEmpty());
    for (auto it = triggerTables.cbegin(); it != triggerTables.cend(); ++it)
        EXPECT_EQ(dump.triggers.value(it.key()), it.value()) << it.key().toStdString();
}

// The printed rows as the values the server returned: every row, no
// extra row, equal values. Rows are matched by content, since a table
// without a key comes in page order.
TEST_P(GrisoltDump, RowsAgreeWithTheServer)
{
    const QString set = QString::fromLatin1(GetParam());
    const Dump dump = runDump(set, true);
    int compared = 0;
    for (auto db = dump.tables.begin(); db != dump.tables.end(); ++db) {
        for (auto t = db.value().begin(); t != db.value().end(); ++t) {
            const DumpedTable& table = t.value();
            if (table.engine != QLatin1String("innodb") && table.engine != QLatin1String("myisam"))
                continue;
            if (db.key() == QLatin1String("mysql") || db.key() == QLatin1String("sys")
                || db.key() == QLatin1String("performance_schema"))
                continue;
            SCOPED_TRACE((db.key() + QLatin1Char('/') + t.key()).toStdString());
            if (rowsNotRead(dump, db.key(), t.key())) {
                EXPECT_TRUE(table.rows.isEmpty());
                continue;
            }
            const auto expected = testsupport::ExpectedRows::load(set, db.key(), t.key());
            if (expected.columnNames() != table.columns)
                continue;
            // Generated columns that are not stored are not in the files.
            if (!table.rows.isEmpty() && table.rows.first().size() != expected.columnNames().size())
                continue;
            ASSERT_EQ(static_cast<std::size_t>(table.rows.size()), expected.rows().size());
            EXPECT_TRUE(table.damagedRows.isEmpty());
            testsupport::RowMatcher matcher(expected, table.columns);
            for (const QStringList& row : table.rows)
                EXPECT_GE(matcher.take(row), 0)
                    << "no server row like: " << row.join(QLatin1Char('|')).left(300).toStdString();
            ++compared;
        }
    }
    EXPECT_GT(compared, 25);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GrisoltDump, ::testing::Values("legacy", "default"));

} // namespace
