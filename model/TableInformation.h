#pragma once

#include "model/ColumnInformation.h"
#include "model/KeysInformation.h"
#include "model/TableOptions.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace engine {

// A CHECK constraint of the table (not of one column).
struct CheckConstraint {
    QString m_name;
    QString m_expression; // without enclosing parentheses
};

// One partition (or subpartition) of a partitioned table: its rows lie in a
// file of their own beside the definition.
struct TablePartition {
    QString m_name;               // "p0"; a subpartition "p0#SP#p0sp0"
    QString m_dataFile;           // its .ibd or .MYD
    std::uint64_t m_rootPage = 0; // InnoDB: clustered index root; 0 = not found
};

// A place in a table's rows that the readers hand out and take back (a data
// page, a record's file position): the partition in the top 16 bits, the
// place inside its file below. An unpartitioned table's places are plain.
constexpr unsigned kPartitionShift = 48;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kPartitionShift) - 1;
constexpr std::uint64_t rowPlace(std::size_t partition, std::uint64_t place)
{
    return (std::uint64_t{partition} << kPartitionShift) | (place & kPlaceMask);
}
constexpr std::size_t partitionOfPlace(std::uint64_t place) { return static_cast<std::size_t>(place >> kPartitionShift); }
constexpr std::uint64_t placeInPartition(std::uint64_t place) { return place & kPlaceMask; }

// One scanned table. It owns its columns and key parts.
class TableInformation {
public:
    // Appends a new empty column at the end and returns it. The reference
    // stays valid for the life of the table.
    ColumnInformation& AddColumn();

    const std::vector<std::unique_ptr<ColumnInformation>>& columns() const { return m_columns; }
    ColumnInformation* firstColumn() const { return m_columns.empty() ? nullptr : m_columns.front().get(); }
    ColumnInformation* lastColumn() const { return m_columns.empty() ? nullptr : m_columns.back().get(); }

    // The files that hold the rows, in order: the partitions, or for a table
    // that is not partitioned one entry of its own data file and root page.
    std::vector<TablePartition> rowSources() const;
    // The table's name for log lines about one of its row sources.
    QString sourceLabel(const TablePartition& source) const;

    QString m_name;
    std::vector<KeysInformation> m_keyParts;
    QStringList m_keyNames;        // one per key; "PRIMARY" for the primary key
    std::vector<CheckConstraint> m_checkConstraints;
    QString m_engine;              // "innodb" or "myisam"
    QString m_dataFile;            // the .ibd, .MYD or ibdata1 that holds the rows
    std::uint32_t m_frmVersion = 0;
    std::uint64_t m_rootPage = 0;  // clustered index root; 0 = not found
    // A partitioned table: its partitions in order (its data file and root
    // page are the first one's), and the PARTITION BY clause as the server
    // wrote it (empty when it could not be read).
    std::vector<TablePartition> m_partitions;
    QString m_partitionClause;
    std::uint16_t m_columnCount = 0;
    // The table's default collation number; 0: not recorded.
    std::uint16_t m_collation = 0;
    TableOptions m_options;
    bool m_dynamicRows = false;
    // The scan logged why its rows cannot be read (another engine's table,
    // compressed InnoDB pages, pages not of 16 KiB); the readers pass it by.
    bool m_rowsNotRead = false;
    bool m_created = false;        // its CREATE TABLE succeeded in the repair

private:
    std::vector<std::unique_ptr<ColumnInformation>> m_columns;
};

} // namespace engine
