#pragma once

#include "model/TableInformation.h"
#include "recovery/innodb/InnodbDictionary.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace recovery::innodb {

// Compares a table definition with what the InnoDB data dictionary says of
// the table's records: the stored columns' names in order (and the virtual
// ones where the server records them), the clustered index's key columns in
// order, and each stored column's type class and length where the
// definition's type fixes them. Only what holds for every server version the
// readers know is compared: a false disagreement would cost every row of a
// good table.
class InnodbDefinitionCheck {
public:
    enum class Outcome {
        Agrees,
        Disagrees,  // `what` says what disagrees
        Unchecked,  // `what` says why the dictionary could not tell
    };
    struct Verdict {
        Outcome outcome = Outcome::Agrees;
        QString what;
    };

    // clusteredIndexId: the index whose pages hold the table's rows.
    // keyColumns: positions in table.columns() of the clustered index's key
    // as the definition gives it, in key order; empty for DB_ROW_ID.
    static Verdict check(const InnodbDictionary& dictionary, std::uint64_t clusteredIndexId,
                         const engine::TableInformation& table, const std::vector<std::size_t>& keyColumns);
    // Whether InnoDB keeps a hidden FTS_DOC_ID column after the table's own
    // stored columns: the table has InnoDB's FTS_DOC_ID_INDEX (it has a
    // FULLTEXT key) and the definition no column of that name. The column
    // counts among SYS_TABLES.N_COLS and is a field of every record.
    static bool hasHiddenDocId(const InnodbDictionary& dictionary, std::uint64_t tableId,
                               const engine::TableInformation& table);
    // Whether InnoDB computes the column rather than keeping it in its
    // records: a virtual generated column, or the server's hidden hash of a
    // long UNIQUE key (a virtual column of the dictionary).
    static bool computedByServer(const engine::ColumnInformation& column);
};

} // namespace recovery::innodb
