// What the scan and grisolt-dump make of folders that hold transactions left
// open: the line that names them, and rows that never committed marked,
// against the rows a server has after it rolled those transactions back.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/TempDir.h"
#include "tests/tools/DumpOutput.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kLine = QStringLiteral("Transactions were left open when the server stopped (");
const QString kUnchecked =
    QStringLiteral("Whether transactions were left open when the server stopped could not be checked: ");
const QString kAdvice = QStringLiteral(
    "): the rows they wrote never committed and are marked as damaged rows, and each table's log says how many. "
    "To read the data as committed, start a server of the same version on a copy of the data folder, let it roll "
    "them back (its error log says when), run SET GLOBAL innodb_fast_shutdown=0 and stop it, then read the copy; "
    "a prepared (XA) transaction stays until someone runs XA COMMIT or XA ROLLBACK for it.");

QString openFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_OPEN_TRANSACTION_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data");
}

QList<QStringList> expectedRows(const QString& set, const char* table)
{
    return testsupport::readTsv(openFixture(set) + QStringLiteral("/../expected/") + QLatin1String(table)
                                + QStringLiteral(".tsv"));
}

QStringList scanLog(const QString& data, const QString& database)
{
    return testsupport::ScannedEngine(data, {database}).report.log();
}

QStringList linesStartingWith(const QStringList& log, const QString& start)
{
    QStringList found;
    for (const QString& line : log)
        if (line.startsWith(start))
            found << line;
    return found;
}

QString joined(const QStringList& lines)
{
    return lines.join(QLatin1Char('\n'));
}

// The rows of fx_open.t by id (the first field).
QMap<int, QString> byId(const QList<QStringList>& rows)
{
    QMap<int, QString> map;
    for (const QStringList& row : rows)
        map.insert(row.value(0).toInt(), row.value(1));
    return map;
}

TEST(ScanOpenTransactions, OneLineWhereTransactionsWereLeftOpenAndNoneElsewhere)
{
    const struct {
        QString data;
        QString database;
        QString counts;  // empty: no line
    } cases[] = {
        {openFixture("open"), "fx_open", "1 active, 0 prepared (XA)"},
        {openFixture("halted"), "fx_open", "1 active, 0 prepared (XA)"},
        {openFixture("xa"), "fx_open", "0 active, 1 prepared (XA)"},
        {openFixture("clean"), "fx_open", {}},
        {QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR "/clean/data"), "fx_crash", {}},
        {QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR "/crashed/data"), "fx_crash", {}},
        {QStringLiteral(GRISOLT_FIXTURES_DIR "/legacy/data"), "fx_mariadb", {}},
        {QStringLiteral(GRISOLT_FIXTURES_DIR "/default/data"), "fx_mariadb", {}},
    };
    for (const auto& c : cases) {
        const QStringList log = scanLog(c.data, c.database);
        EXPECT_TRUE(linesStartingWith(log, kUnchecked).isEmpty()) << joined(log).toStdString();
        const QStringList lines = linesStartingWith(log, kLine);
        if (c.counts.isEmpty()) {
            EXPECT_TRUE(lines.isEmpty()) << c.data.toStdString() << "\n" << joined(log).toStdString();
            continue;
        }
        ASSERT_EQ(lines.size(), 1) << c.data.toStdString() << "\n" << joined(log).toStdString();
        EXPECT_EQ(lines[0], kLine + c.counts + kAdvice);
    }

    // The repair's log says it again, near its header.
    testsupport::ScannedEngine scan(openFixture("open"), {QStringLiteral("fx_open")});
    const qsizetype scanned = scan.report.log().size();
    scan.report.m_loginAccepted = false;
    EXPECT_EQ(scan.repair.RunRepair(), engine::MySqlRepair::REPAIR_CANCELLED);
    const QStringList repairLog = scan.report.log().mid(scanned);
    ASSERT_GE(repairLog.size(), 2);
    EXPECT_TRUE(repairLog[1].startsWith("Repair process started on "));
    EXPECT_EQ(linesStartingWith(repairLog, kLine).size(), 1) << joined(repairLog).toStdString();
}

// The rows grisolt-dump prints of the folders with a transaction left open,
// against the server's after the rollback: the unmarked ones are committed
// rows with their committed values; every committed row an open transaction
// touched is printed marked (a delete that never committed included); rows
// inserted by it are marked.
TEST(ScanOpenTransactions, RowsThatNeverCommittedAreMarked)
{
    const struct {
        const char* set;
        QString changedValue;     // what an open transaction wrote into ids 1..changed
        int changed;
        int deletedTo;            // it deleted ids changed+1..deletedTo
        QString insertedValue;    // and inserted ids 1001.. with this value
        bool whole;               // every record of it still in the files
        const char* tableLine;    // the per-table line of fx_open/t
    } cases[] = {
        {"open", "changed ", 500, 600, "never committed ", true,
         ": 119600 rows were written by transactions left open and never committed, and are marked: 119000 "
         "inserted, 500 changed and 100 deleted (the delete never committed) by active transactions, 0 written "
         "by prepared (XA) transactions."},
        {"halted", "changed ", 500, 600, "never committed ", false, nullptr},
        {"xa", "prepared change ", 50, 60, "prepared ", true,
         ": 160 rows were written by transactions left open and never committed, and are marked: 0 inserted, 0 "
         "changed and 0 deleted (the delete never committed) by active transactions, 160 written by prepared (XA) "
         "transactions."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        const testsupport::Dump dump = testsupport::runDump(openFixture(c.set), true);
        const testsupport::DumpedTable t = dump.tables.value("fx_open").value("t");
        const QMap<int, QString> expected = byId(expectedRows(c.set, "t"));
        ASSERT_EQ(expected.size(), 1000);
        const QMap<int, QString> unmarked = byId(t.rows);
        const QMap<int, QString> marked = byId(t.damagedRows);
        ASSERT_EQ(unmarked.size(), t.rows.size());
        ASSERT_EQ(marked.size(), t.damagedRows.size());
        // Unmarked: committed rows as the server has them.
        for (auto it = unmarked.begin(); it != unmarked.end(); ++it)
            ASSERT_EQ(expected.value(it.key(), "(none)"), it.value()) << it.key();
        // Every committed row is printed, the touched ones marked.
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            ASSERT_TRUE(unmarked.contains(it.key()) || marked.contains(it.key())) << it.key();
            if (!marked.contains(it.key()))
                continue;
            if (it.key() <= c.changed)
                EXPECT_EQ(marked.value(it.key()), c.changedValue + QString::number(it.key()));
            else  // a delete keeps the values
                EXPECT_EQ(marked.value(it.key()), it.value()) << it.key();
        }
        for (auto it = marked.begin(); it != marked.end(); ++it) {
            if (it.key() > 1000) {
                EXPECT_EQ(it.value(), c.insertedValue + QString::number(it.key()));
            }
        }
        if (c.whole) {
            for (int id = 1; id <= c.deletedTo; ++id)
                ASSERT_TRUE(marked.contains(id)) << id;
            EXPECT_EQ(unmarked.size(), 1000 - c.deletedTo);
        }
        if (c.tableLine) {
            EXPECT_TRUE(dump.log.contains(QStringLiteral("Table t") + QLatin1String(c.tableLine)))
                << dump.log.toStdString();
        }

        // The table without a key: its rows by content.
        const testsupport::DumpedTable nokey = dump.tables.value("fx_open").value("nokey");
        QMap<QString, int> rest;
        for (const QStringList& row : expectedRows(c.set, "nokey"))
            ++rest[row.join('\t')];
        for (const QStringList& row : nokey.rows)
            ASSERT_GT(rest[row.join('\t')]--, 0) << row.join('\t').toStdString();
        QSet<QString> markedNokey;
        for (const QStringList& row : nokey.damagedRows)
            markedNokey << row.join('\t');
        for (auto it = rest.begin(); it != rest.end(); ++it)
            if (it.value() > 0) {
                const int a = it.key().section('\t', 0, 0).toInt();
                EXPECT_TRUE(markedNokey.contains(QString::number(a) + "\tchanged " + QString::number(a))) << a;
            }
    }
}

TEST(ScanOpenTransactions, ADamagedTransactionSystemPageIsSaidAndTheRowsAreReadAsBefore)
{
    testsupport::TempDir dir;
    const QString source = openFixture("open");
    const QString data = dir.path() + "/data";
    QDir().mkpath(data + "/fx_open");
    for (const QString& name : QDir(source + "/fx_open").entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(source + "/fx_open/" + name, data + "/fx_open/" + name));
    ASSERT_TRUE(QFile::copy(source + "/ibdata1", data + "/ibdata1"));
    {
        QFile ibdata(data + "/ibdata1");
        ASSERT_TRUE(ibdata.open(QIODevice::ReadWrite));
        ASSERT_TRUE(ibdata.seek(5 * 16384 + 100));
        ibdata.write("\x77\x77");
    }
    const QStringList log = scanLog(data, "fx_open");
    EXPECT_TRUE(linesStartingWith(log, kLine).isEmpty());
    const QStringList unchecked = linesStartingWith(log, kUnchecked);
    ASSERT_EQ(unchecked.size(), 1) << joined(log).toStdString();
    EXPECT_TRUE(unchecked[0].contains("the transaction system page (page 5 of " + data + "/ibdata1) is damaged"))
        << unchecked[0].toStdString();
    EXPECT_TRUE(unchecked[0].endsWith(
        "Rows are read as the data files hold them; rows that never committed cannot be told apart."));

    // Rows as before: every record not delete-marked, none marked.
    const testsupport::Dump dump = testsupport::runDump(data, true);
    EXPECT_TRUE(dump.log.contains(kUnchecked)) << dump.log.toStdString();
    const testsupport::DumpedTable t = dump.tables.value("fx_open").value("t");
    EXPECT_TRUE(t.damagedRows.isEmpty());
    const QMap<int, QString> rows = byId(t.rows);
    EXPECT_EQ(rows.size(), t.rows.size());
    EXPECT_EQ(rows.size(), 500 + 119000 + 400);
    EXPECT_FALSE(rows.contains(501));
    EXPECT_EQ(rows.value(1), "changed 1");
}

} // namespace
