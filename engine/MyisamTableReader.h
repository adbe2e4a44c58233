#pragma once

#include "model/RowValue.h"
#include "model/TableInformation.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamIndexCheck.h"
#include "recovery/myisam/MyisamRecordCheck.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace engine {

class MySqlRepair;

// The engine's MyISAM table reader: prepares one table from its .MYI header
// and walks its .MYD records into the engine's preview or the server. It
// keeps the prepared table between the preview's pages. A partitioned
// table's records are its partitions' in turn, each prepared from its own
// files; the walk's positions are row places (partition and file position).
class MyisamTableReader {
public:
    explicit MyisamTableReader(MySqlRepair& repair) : m_repair(repair) {}
    MyisamTableReader(const MyisamTableReader&) = delete;
    MyisamTableReader& operator=(const MyisamTableReader&) = delete;

    // Prepares one MyISAM table and reads it: the .MYI header (record count,
    // record layout), the engine's m_columns, the .MYD opened in its
    // m_hDataFile; then all records in a repair, the first preview page (100
    // records) otherwise. A missing or damaged index file is logged; a static
    // table is then read from its definition alone, a dynamic one not at all.
    void RecoverTable(TableInformation& table);
    // Walks up to count live records of the prepared table from the data
    // file position start, into the engine's m_pageRows (preview) or the
    // server (repair). Deleted records and blocks are stepped over; damaged
    // ones are logged (the first few of a table) and stepped over. Sets
    // m_nNextPageStart, and m_nPageRecords to 0 when the data ends. A table
    // other than the prepared one reads nothing.
    void RecoverRows(std::uint64_t count, TableInformation& table, std::uint64_t start);

private:
    void Reset();
    // Prepares row source k of the table (a partition, or the table itself):
    // its layout, checks and open data file; with records, counts them.
    // False when its rows cannot be read (logged when log is set).
    bool PrepareSource(const TableInformation& table, std::size_t k, bool log, std::uint64_t* records);
    // Makes source k, or the first readable one after it, the prepared one;
    // k names it. False when none is left.
    bool PrepareFrom(const TableInformation& table, std::size_t& k);
    // The columns the walk delivers into the engine's m_columns; a generated
    // column that is not stored is the server's to compute and left out.
    void DescribeColumns();
    // Decodes column `column` of the current record into m_values; a damaged
    // value becomes NULL, is logged and marks the record as damaged.
    void ReadColumn(std::size_t column);
    // Whether table is the one prepared (its very column objects).
    bool PreparedFor(const TableInformation& table) const;
    // Runs the format's checks on the current record, which decoded; counts
    // what they find. True when the record is doubtful.
    bool CheckRecord();
    // Walks the keys of the index file once for the table's walks; logs the
    // keys that are damaged and left out.
    void PrepareIndexCheck(const recovery::myisam::MyisamIndexHeader& header, const QString& indexPath, bool log);
    // One log line for the walk's doubtful rows, by reason.
    void LogDoubtfulRows(const TableInformation& table);

    MySqlRepair& m_repair;
    bool m_prepared = false;
    recovery::myisam::MyisamRowLayout m_layout;
    // For each entry of the engine's m_columns, its column in the layout.
    std::vector<std::size_t> m_layoutColumn;
    QString m_dataPath;
    // The table walked, its row sources and the one prepared.
    QString m_tableName;
    std::vector<TablePartition> m_sources;
    std::size_t m_source = 0;
    QString m_label;  // the table (and partition) in log lines
    std::vector<bool> m_indexNotesLogged;  // by source
    recovery::myisam::MyisamRecord m_record;
    std::vector<RowValue> m_values;
    std::uint64_t m_damageCount = 0;
    std::uint64_t m_rowsDelivered = 0;    // this walk's rows
    std::uint64_t m_damagedRowsDelivered = 0;  // of them with a value that could not be read
    bool m_recordDamaged = false;  // a value of the current record could not be read
    // What the format says of records whose values decode; rows it doubts
    // are sent marked as damaged and counted by reason.
    std::optional<recovery::myisam::MyisamRecordCheck> m_check;
    std::optional<recovery::myisam::MyisamIndexCheck> m_indexCheck;
    std::array<std::uint64_t, recovery::myisam::MyisamRecordCheck::kFindingCount> m_findingCounts{};
    std::uint64_t m_doubtfulRowsDelivered = 0;
};

} // namespace engine
