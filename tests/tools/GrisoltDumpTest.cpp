// Runs grisolt-dump on the fixture data folders and compares what it prints
// with what the server reported when the fixtures were made.
#include "engine/FileNameCodec.h"
#include "tests/support/ExpectedRows.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct DumpedTable {
    QString engine;
    QString rootPage;
    QStringList columns;
    QList<QStringList> rows; // the printed fields, "\\N" for NULL
};

struct Dump {
    QMap<QString, QMap<QString, DumpedTable>> tables; // database -> table -> contents
    QMap<QString, QStringList> views;
    QMap<QString, QStringList> triggers;
    QString log;
};

Dump runDump(const QString& set, bool rows = false)
{
    const QString data = testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/data");
    QProcess process;
    QStringList arguments{data};
    if (!rows)
        arguments.prepend(QStringLiteral("--no-rows"));
    process.start(QStringLiteral(GRISOLT_DUMP), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0);
    Dump dump;
    dump.log = QString::fromUtf8(process.readAllStandardError());
    QString database;
    QString table;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        QStringList fields;
        for (const QString& field : line.split(QLatin1Char('\t')))
            fields << testsupport::unescapeTsvField(field).value_or(QStringLiteral("\\N"));
        const QString kind = fields.value(0);
        const QString name = engine::FileNameCodec::Decode(fields.value(1));
        if (kind == QLatin1String("database"))
            database = name;
        else if (kind == QLatin1String("table")) {
            table = name;
            dump.tables[database][table] = {fields.value(2), fields.value(3), {}, {}};
        } else if (kind == QLatin1String("column"))
            dump.tables[database][table].columns << fields.value(1);
        else if (kind == QLatin1String("row"))
            dump.tables[database][table].rows << fields.mid(1);
        else if (kind == QLatin1String("view"))
            dump.views[database] << name;
        else if (kind == QLatin1String("trigger"))
            dump.triggers[database] << name;
    }
    return dump;
}

QList<QStringList> readTsv(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList fields;
        for (const QString& field : line.split(QLatin1Char('\t')))
            fields << testsupport::unescapeTsvField(field).value_or(QStringLiteral("\\N"));
        rows << fields;
    }
    return rows;
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
        EXPECT_EQ(table.engine, row.value(3).toLower()) << name.toStdString();
        if (table.engine == QLatin1String("innodb")) {
            EXPECT_EQ(table.rootPage, roots.value(database + QLatin1Char('/') + name)) << name.toStdString();
        }
        QStringList columns;
        QString columnsFile = expected + database + QLatin1Char('/') + QString(name).replace(QLatin1Char('/'), QStringLiteral("@002f"));
        for (const QStringList& column : readTsv(columnsFile + QStringLiteral(".columns.tsv")))
            columns << column.value(0);
        EXPECT_EQ(table.columns, columns) << name.toStdString();
    }
    EXPECT_GT(tables, 20);

    QStringList triggerTables;
    for (const QStringList& trigger : readTsv(expected + QStringLiteral("triggers.tsv")))
        if (!triggerTables.contains(trigger.value(4)))
            triggerTables << trigger.value(4);
    EXPECT_EQ(dump.triggers.value(QStringLiteral("fx_objects")), triggerTables);
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
            const auto expected = testsupport::ExpectedRows::load(set, db.key(), t.key());
            SCOPED_TRACE((db.key() + QLatin1Char('/') + t.key()).toStdString());
            if (expected.columnNames() != table.columns)
                continue;
            // Generated columns that are not stored are not in the files.
            if (!table.rows.isEmpty() && table.rows.first().size() != expected.columnNames().size())
                continue;
            ASSERT_EQ(static_cast<std::size_t>(table.rows.size()), expected.rows().size());
            std::vector<bool> used(expected.rows().size());
            // Candidates by the first value, which is the key in most tables.
            QHash<QString, std::vector<std::size_t>> byFirst;
            for (std::size_t r = 0; r < expected.rows().size(); ++r)
                byFirst[expected.rows()[r].at(0).value_or(QStringLiteral("\\N"))].push_back(r);
            std::vector<std::size_t> all(expected.rows().size());
            for (std::size_t r = 0; r < all.size(); ++r)
                all[r] = r;
            for (const QStringList& row : table.rows) {
                std::vector<engine::RowValue> values;
                for (qsizetype c = 0; c < row.size(); ++c) {
                    if (row[c] == QLatin1String("\\N"))
                        values.push_back(engine::RowValue::Null());
                    else if (expected.isHex(table.columns[c]))
                        values.push_back(engine::RowValue::Stored(QByteArray::fromHex(row[c].toLatin1()), row[c]));
                    else
                        values.push_back(engine::RowValue::Text(row[c]));
                }
                bool found = false;
                const auto candidates = byFirst.find(row.value(0));
                const std::vector<std::size_t>& tryRows =
                    candidates != byFirst.end() && !expected.isHex(table.columns.value(0)) ? *candidates : all;
                for (std::size_t r : tryRows) {
                    if (found)
                        break;
                    if (used[r])
                        continue;
                    bool equal = true;
                    for (qsizetype c = 0; c < row.size() && equal; ++c)
                        equal = expected.mismatch(r, table.columns[c], values[static_cast<std::size_t>(c)]).isEmpty();
                    if (equal)
                        used[r] = found = true;
                }
                EXPECT_TRUE(found) << "no server row like: " << row.join(QLatin1Char('|')).left(300).toStdString();
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 25);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GrisoltDump, ::testing::Values("legacy", "default"));

} // namespace
