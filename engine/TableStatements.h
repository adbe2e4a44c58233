#pragma once

#include "model/TableInformation.h"

#include <QString>
#include <QStringList>

#include <vector>

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
    // The table's options (withOptions) go here unless the table becomes
    // InnoDB after its rows. A partitioned table gets its PARTITION BY clause
    // (withPartitions), its partitions kept in MyISAM too until the ALTER.
    static QString CreateTable(const TableInformation& table, bool withOptions = true, bool withPartitions = true);
    // The table's PARTITION BY clause with every partition's engine MyISAM.
    static QString MyisamPartitionClause(const QString& clause);
    // "alter table  `t` engine=innodb", with the InnoDB table's options
    // (withOptions) and its hash keys made again (see HashKeysAgain), or
    // every key where block sizes need it (see KeysAgain).
    static QString AlterToInnodb(const TableInformation& table, bool withOptions = true);
    // The options as SHOW CREATE TABLE writes them after the character set
    // (" MAX_ROWS=1000 ... COMMENT='...'"); empty when there are none.
    static QString TableOptionsClause(const TableInformation& table);

    // A string literal: quotes and backslashes escaped, between apostrophes.
    static QString Literal(const QString& text);
    // The name the server shows for a table or database file name.
    static QString SqlName(const QString& fileName);

private:
    // One key as the CREATE TABLE statement lists it ("Key `k`(`a`) ...").
    struct KeyDefinition {
        QString text;
        QString name;
        bool primary = false;
    };
    // The keys the statement makes, in its order.
    static std::vector<KeyDefinition> KeyDefinitions(const TableInformation& table);
    static QString ColumnClause(const TableInformation& table, const ColumnInformation& column);
    static QString TypeText(const ColumnInformation& column);
    static QString DefaultClause(const ColumnInformation& column);
    static QString KeyClause(const TableInformation& table);
    // A key's KEY_BLOCK_SIZE, COMMENT and IGNORED, each with a leading blank.
    static QString KeyOptions(const TableInformation& table, const KeysInformation& key);
    static bool OptionsGoWithCreate(const TableInformation& table);
    static QString CheckClause(const TableInformation& table);
    static QString HashKeysAgain(const TableInformation& table);
    // Every key dropped and made again, where the table or a key has a
    // KEY_BLOCK_SIZE; empty otherwise.
    static QString KeysAgain(const TableInformation& table);
};

} // namespace engine
