#pragma once

#include "model/TableInformation.h"

#include <QString>
#include <QStringList>

namespace engine {

// The statements that re-create a scanned table on the server. Every table is
// created as MyISAM first; InnoDB tables are turned back into InnoDB after
// their rows are in.
class TableStatements {
public:
    // "create table `t`(<columns><keys><checks>)engine=myisam[ default
    // charset=.. collate=..];". Names are quoted, literals escaped; the table
    // keeps its default collation, character columns their own, lengths are
    // in characters as the server counts them. Generated columns, expression
    // defaults and CHECK constraints carry the expressions the definition
    // holds, as the server printed them. The server's hidden columns are
    // left out (it makes them again for the keys that use them).
    // A partitioned table gets its PARTITION BY clause, its partitions kept
    // in MyISAM too until the ALTER; withPartitions clear leaves it out.
    static QString CreateTable(const TableInformation& table, bool withPartitions = true);
    // The table's PARTITION BY clause with every partition's engine MyISAM.
    static QString MyisamPartitionClause(const QString& clause);
    // "alter table  `t` engine=innodb", with the table's hash keys made
    // again (see HashKeysAgain).
    static QString AlterToInnodb(const TableInformation& table);

    // A string literal: quotes and backslashes escaped, between apostrophes.
    static QString Literal(const QString& text);
    // The name the server shows for a table or database file name.
    static QString SqlName(const QString& fileName);

private:
    static QString ColumnClause(const TableInformation& table, const ColumnInformation& column);
    static QString TypeText(const ColumnInformation& column);
    static QString DefaultClause(const ColumnInformation& column);
    static QString KeyClause(const TableInformation& table);
    static QString CheckClause(const TableInformation& table);
    static QString HashKeysAgain(const TableInformation& table);
};

} // namespace engine
