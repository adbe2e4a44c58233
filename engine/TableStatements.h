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
    // "create table `t`(<columns><keys><checks>)engine=myisam;". Names are
    // quoted, literals escaped; character columns keep their character set
    // and collation, lengths are in characters as the server counts them.
    // Generated columns, expression defaults and CHECK constraints carry the
    // expressions the definition holds, as the server printed them.
    static QString CreateTable(const TableInformation& table);
    // "alter table  `t` engine=innodb".
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
};

} // namespace engine
