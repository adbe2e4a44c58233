#pragma once

#include "engine/RowWriter.h"
#include "model/RowValue.h"
#include "model/TableInformation.h"
#include "platform/Result.h"
#include "recovery/innodb/InnodbPage.h"
#include "recovery/innodb/InnodbRecordDecoder.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace engine {

class MySqlRepair;

// The engine's InnoDB table reader. LocateTableData prepares a table: the
// engine's m_columns in record order (the clustered index's key columns
// first), m_keyColumns, the nullable numbering, m_dataPages (every leaf of
// the clustered index, in key order; of a partitioned table each partition's
// in turn, as row places) and m_nTotalRecords. RecoverRows then sends the
// live records of one data page to the preview or the server (a preview page
// chains further data pages up to 100 records, on into the next partition).
// Damage costs the records behind it and one log line per page; a partition
// that cannot be read costs its own rows.
class InnodbTableReader {
public:
    explicit InnodbTableReader(MySqlRepair& repair) : m_repair(repair) {}
    InnodbTableReader(const InnodbTableReader&) = delete;
    InnodbTableReader& operator=(const InnodbTableReader&) = delete;

    void LocateTableData(TableInformation& table);
    void RecoverRows(std::uint64_t page, TableInformation& table);
    // Whether the prepared table's records are REDUNDANT (else COMPACT or DYNAMIC).
    bool IsRedundant() const { return m_redundant; }

private:
    // What is read of one partition (or of the table that has none).
    struct PartitionState {
        QString label;
        QString path;
        std::uint64_t indexId = 0;
        std::uint64_t pageCount = 0;
        bool redundant = false;
        bool hiddenDocId = false;
        std::unique_ptr<recovery::innodb::InnodbRecordDecoder> decoder;
    };

    void Reset(const TableInformation& table);
    // Prepares one row source: its file, root page, dictionary checks and
    // leaf pages (into the engine's m_dataPages). False when its rows are not read.
    bool LocateSource(const TableInformation& table, const TablePartition& source,
                      const recovery::innodb::InnodbTableLayout& layout);
    // Keeps the current partition's state aside and makes partition k current.
    void SelectPartition(std::size_t k);
    // The phases of LocateTableData; each that fails has logged why.
    recovery::innodb::InnodbTableLayout DescribeColumns(const TableInformation& table);
    bool OpenDataFile(const QString& dataFile);
    std::optional<recovery::innodb::InnodbPage> ReadRootPage(std::uint64_t root);
    bool PrepareDecoder(recovery::innodb::InnodbTableLayout layout, const recovery::innodb::InnodbPage& root);
    void DescendToLeafLevel(std::uint64_t root, std::uint16_t rootLevel);
    // A table altered in place: its metadata record, read from the leftmost
    // leaf. False, logged, when it cannot be read: this source's rows are not
    // read then, and the records counted since recordsBefore are taken back.
    bool ReadInstantMetadata(std::uint64_t root, std::int64_t recordsBefore);
    void FollowLeafChain();
    void LogTotal();
    // False, logged, when the definition cannot describe the table's
    // records: no columns, or counts that the dictionary contradicts.
    bool DefinitionUsable(const TableInformation& table, std::uint64_t indexId);
    // False, logged, when the dictionary's columns or clustered key
    // contradict the definition; a dictionary that cannot tell is logged.
    bool DefinitionAgrees(const TableInformation& table, std::uint64_t indexId);
    // Checks a data page's checksums the first time it is read; logs a
    // damaged one (up to kLoggedDamagedPages a table). True when damaged.
    bool CheckPage(const recovery::innodb::InnodbPage& page, std::uint64_t place);
    // The table's summary line, once every data page has been read.
    void LogSummary(std::size_t dataPages);
    // The table's line on the rows of transactions left open, where it has any.
    void LogOpenTransactionRows();
    // The log line for a table whose root page the scan could not learn:
    // no ibdata1, no readable dictionary, or a dictionary without the table.
    QString RootPageUnknownText() const;
    // Replaces the engine's m_dataPages with the children of the node
    // pointers of the pages in m_pageWorkList, which lie at parentLevel;
    // empties the list.
    void CollectChildPages(std::uint16_t parentLevel);
    // Decodes column `column` of the current record into m_row; false when
    // its bytes are damaged. A damaged value whose record is sound is NULL
    // in m_row and sets m_valueDamaged.
    bool ReadColumn(std::size_t column);

    MySqlRepair& m_repair;
    bool m_redundant = false;
    bool m_hiddenDocId = false;     // the records end with InnoDB's own FTS_DOC_ID
    // The current partition (the table itself when it has none).
    QString m_path;                 // the data file the pages come from
    QString m_table;                // for log lines: the table, and the partition
    QString m_tableName;            // the table prepared
    std::size_t m_current = 0;
    std::vector<PartitionState> m_partitions;  // the others' state, by partition
    std::uint64_t m_indexId = 0;    // the clustered index
    std::uint64_t m_pageCount = 0;  // pages of the data file
    std::unique_ptr<recovery::innodb::InnodbRecordDecoder> m_decoder;
    std::unique_ptr<RowWriter> m_writer;
    std::vector<std::uint64_t> m_pageWorkList;
    std::unordered_set<std::uint64_t> m_visited;  // pages taken into the descent
    // The record being decoded.
    const recovery::innodb::InnodbPage* m_page = nullptr;
    std::vector<recovery::innodb::FieldSlice> m_slices;
    std::vector<RowValue> m_row;
    std::optional<platform::DecodeError> m_columnError;
    bool m_valueDamaged = false;
    // What the pages read so far gave: rows sent, and of them those from
    // pages whose checksums failed. Pages are counted by their row place.
    std::unordered_set<std::uint64_t> m_pagesCounted;
    std::unordered_set<std::uint64_t> m_damagedPages;
    std::uint64_t m_rowsRecovered = 0;
    std::uint64_t m_rowsFromDamagedPages = 0;
    std::uint64_t m_rowsWithDamagedValues = 0;
    // Records of transactions left open: inserted, changed and delete-marked
    // by active ones, and any of prepared ones. In a repair the inserted are
    // left out, as the server's rollback removes them.
    struct OpenTransactionRows {
        std::uint64_t inserted = 0;
        std::uint64_t changed = 0;
        std::uint64_t deleted = 0;
        std::uint64_t prepared = 0;
        std::uint64_t total() const { return inserted + changed + deleted + prepared; }
    };
    OpenTransactionRows m_openRows;
    bool m_summaryLogged = false;
};

} // namespace engine
