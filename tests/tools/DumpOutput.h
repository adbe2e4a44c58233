#pragma once

#include "tests/support/ExpectedRows.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

namespace testsupport {

// What grisolt-dump printed for one table.
struct DumpedTable {
    QString engine;
    QString rootPage;
    QStringList columns;
    QList<QStringList> rows;        // the printed fields, "\\N" for NULL
    QList<QStringList> damagedRows; // rows from pages whose checksums failed
    QStringList partitions;         // in order
    QStringList partitionRoots;     // each partition's InnoDB root page
};

struct Dump {
    QMap<QString, QMap<QString, DumpedTable>> tables; // database -> table -> contents
    QMap<QString, QStringList> views;
    QMap<QString, QStringList> triggers;
    QString log;
};

// Runs grisolt-dump (GRISOLT_DUMP) on a data folder and parses what it prints.
Dump runDump(const QString& dataFolder, bool rows);
// A .tsv file of the fixtures' expectations, unescaped ("\\N" for NULL).
QList<QStringList> readTsv(const QString& path);

// Matches printed rows with the server's rows, each server row at most once
// (a table without a key comes in page order, so by content).
class RowMatcher {
public:
    RowMatcher(const ExpectedRows& expected, const QStringList& columns);
    // The server row the printed one equals and that no earlier row took,
    // now taken; -1 when there is none.
    long take(const QStringList& row);

private:
    const ExpectedRows& m_expected;
    QStringList m_columns;
    std::vector<bool> m_used;
    QMap<QString, std::vector<std::size_t>> m_byFirst; // candidates by the first value, the key in most tables
};

} // namespace testsupport
