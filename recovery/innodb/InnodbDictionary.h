#pragma once

#include "platform/Result.h"
#include "recovery/innodb/InnodbPage.h"

#include <QHash>
#include <QMultiHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// One live record of SYS_TABLES.
struct SysTablesRow {
    QString name;              // "db/table" in the server's file-name encoding
    std::uint64_t id = 0;
    // As stored: the stored columns in the low 16 bits, the virtual ones
    // (newer servers) in the next 15, bit 31 set = COMPACT or a later format.
    std::uint32_t nCols = 0;
    std::uint32_t flags = 0;   // TYPE
    std::uint32_t space = 0;   // 0 = the system tablespace (ibdata1)

    std::uint32_t storedColumns() const { return nCols & 0xFFFFu; }
    std::uint32_t virtualColumns() const { return (nCols >> 16) & 0x7FFFu; }
};

// One live record of SYS_INDEXES.
struct SysIndexesRow {
    std::uint64_t tableId = 0;
    std::uint64_t id = 0;
    QString name;
    std::uint32_t nFields = 0;
    std::uint32_t type = 0;    // bit 0 = clustered, bit 1 = unique
    std::uint32_t space = 0;
    std::uint32_t pageNo = 0;  // root page within that tablespace
    std::optional<std::uint32_t> mergeThreshold;  // newer servers only
};

// One live record of SYS_COLUMNS.
struct SysColumnsRow {
    std::uint64_t tableId = 0;
    // A stored column's place among the stored columns; a virtual column
    // (newer servers) keeps its place among the virtual ones plus one in the
    // high 16 bits and its place among all columns in the low 16 bits.
    std::uint32_t pos = 0;
    QString name;
    std::uint32_t mtype = 0;   // the InnoDB type class (DATA_INT, DATA_BLOB, ...)
    std::uint32_t prtype = 0;  // the server's type code and flags (DATA_VIRTUAL, ...)
    std::uint32_t len = 0;     // bytes; the longest for a variable-length type
    std::uint32_t prec = 0;
    bool fromDamagedPage = false;  // its page failed its checksums
};

// One live record of SYS_FIELDS.
struct SysFieldsRow {
    std::uint64_t indexId = 0;
    // The field's place in the index; when a field of the index takes a
    // prefix, the place is in the high 16 bits and the prefix bytes in the low.
    std::uint32_t pos = 0;
    QString colName;
    bool fromDamagedPage = false;
};

// Where the rows of one table live.
struct InnodbTableLocation {
    QString name;                   // as the dictionary spells it
    std::uint64_t tableId = 0;
    std::uint64_t clusteredIndexId = 0;
    std::uint32_t space = 0;        // tablespace of the clustered index
    std::uint64_t rootPage = 0;     // within that tablespace
    std::uint32_t nCols = 0;
    std::uint32_t flags = 0;
    // Space 0 is ibdata1; any other space is the table's own .ibd file.
    bool inSystemTablespace() const { return space == 0; }
    bool compactFormat() const { return nCols & 0x80000000u; }
};

// What a dictionary load reports while it walks, and how it is stopped.
// Every member may be empty.
struct DictionaryLoadProgress {
    // Polled before each level of a tree and each page; true ends the load.
    std::function<bool()> stopRequested;
    // The walk of one level above SYS_TABLES' leaves: its page count, a step
    // per page, the end.
    std::function<void(std::size_t pages)> levelBegins;
    std::function<void()> pageDone;
    std::function<void()> levelEnds;
};

// The InnoDB data dictionary of an ibdata1: the live records of SYS_TABLES,
// SYS_INDEXES, SYS_COLUMNS and SYS_FIELDS, read once from their B-trees and
// kept for lookups.
class InnodbDictionary {
public:
    // Reads the dictionary header page for the roots of both trees and every
    // leaf below them. A missing or damaged header page, or a root that is not
    // a page of its tree: an error value. Damage further down (a bad child
    // pointer, a loop, a broken record list) costs the records behind it and
    // is listed in damage(). Every leaf's checksums are verified; a failing
    // page is listed in damage() and its records kept. SYS_COLUMNS and
    // SYS_FIELDS only describe the tables: a bad root of theirs leaves them
    // empty and says why in columnsUnreadable() / fieldsUnreadable(), and the
    // load goes on; their records from a failing page are marked. A stop: an
    // error value with the code Stopped.
    static platform::Result<InnodbDictionary> load(const platform::DataFile& ibdata1,
                                                   const DictionaryLoadProgress& progress = {});

    // The table's clustered index: the lowest-id index of the table whose
    // TYPE has the clustered bit and whose root is a page. qualifiedName is
    // "db/table" as the .frm folder and file are named. Not found, or the
    // clustered index has no root page: an error value.
    platform::Result<InnodbTableLocation> findTable(const QString& qualifiedName) const;
    // findTable(qualifiedName)->rootPage.
    platform::Result<std::uint64_t> clusteredIndexRoot(const QString& qualifiedName) const;
    // Whether SYS_TABLES names the table at all (letter case aside).
    bool hasTable(const QString& qualifiedName) const { return tableNamed(qualifiedName) != nullptr; }

    const std::vector<SysTablesRow>& tables() const { return m_tables; }
    const std::vector<SysIndexesRow>& indexes() const { return m_indexes; }
    std::uint32_t sysTablesRoot() const { return m_sysTablesRoot; }
    std::uint32_t sysIndexesRoot() const { return m_sysIndexesRoot; }
    std::uint32_t sysColumnsRoot() const { return m_sysColumnsRoot; }
    std::uint32_t sysFieldsRoot() const { return m_sysFieldsRoot; }
    const std::vector<SysColumnsRow>& columns() const { return m_columns; }
    const std::vector<SysFieldsRow>& fields() const { return m_fields; }
    // Why SYS_COLUMNS / SYS_FIELDS could not be read at all; empty when they were.
    const std::string& columnsUnreadable() const { return m_columnsUnreadable; }
    const std::string& fieldsUnreadable() const { return m_fieldsUnreadable; }
    // The records of one table's columns / one index's fields, by POS.
    std::vector<const SysColumnsRow*> columnsOf(std::uint64_t tableId) const;
    std::vector<const SysFieldsRow*> fieldsOf(std::uint64_t indexId) const;
    std::vector<const SysIndexesRow*> indexesOf(std::uint64_t tableId) const;
    const SysTablesRow* tableWithId(std::uint64_t tableId) const;
    const SysIndexesRow* indexWithId(std::uint64_t indexId) const;
    // What was passed over while loading.
    const std::vector<platform::DecodeError>& damage() const { return m_damage; }
    // Every page read while loading, in reading order.
    const std::vector<std::uint64_t>& pagesRead() const { return m_pagesRead; }

private:
    InnodbDictionary() = default;

    using LeafVisitor = void (InnodbDictionary::*)(const InnodbPage&);
    std::optional<platform::DecodeError> readTree(const platform::DataFile& file, std::uint32_t root,
                                                  std::uint64_t indexId, LeafVisitor visitLeaf,
                                                  const DictionaryLoadProgress& progress, bool reportLevels);
    static std::optional<platform::DecodeError> checkTreePage(const InnodbPage& page, std::uint64_t pageNo,
                                                              std::uint64_t indexId, std::uint16_t level);
    std::optional<InnodbPage> readTreePage(const platform::DataFile& file, std::uint64_t pageNo,
                                           std::uint64_t indexId, std::uint16_t level);
    std::vector<std::uint64_t> childPages(const InnodbPage& page, std::uint64_t pageCount);
    void addSysTablesRecords(const InnodbPage& page);
    void addSysIndexesRecords(const InnodbPage& page);
    void addSysColumnsRecords(const InnodbPage& page);
    void addSysFieldsRecords(const InnodbPage& page);
    // Verifies a leaf's checksums; a failing page is listed in damage().
    bool leafDamaged(const InnodbPage& page, const char* tree);
    // Walks one of the trees that only describe tables; an error value only for a stop.
    std::optional<platform::DecodeError> readDescriptionTree(const platform::DataFile& file, std::uint32_t root,
                                                             std::uint64_t indexId, LeafVisitor visitLeaf,
                                                             const DictionaryLoadProgress& progress,
                                                             std::string& unreadable);
    void buildLookup();
    // The rows the lookup lists under key, by POS.
    template <typename Row>
    static std::vector<const Row*> byPos(const QMultiHash<std::uint64_t, std::size_t>& lookup, std::uint64_t key,
                                         const std::vector<Row>& rows);
    const SysTablesRow* tableNamed(const QString& qualifiedName) const;

    std::vector<SysTablesRow> m_tables;
    std::vector<SysIndexesRow> m_indexes;
    QHash<QString, std::size_t> m_byName;        // exact name -> m_tables index
    QHash<QString, std::size_t> m_byFoldedName;  // lower-cased name -> index, unique names only
    QMultiHash<std::uint64_t, std::size_t> m_indexesByTable;  // table id -> m_indexes index
    QHash<std::uint64_t, std::size_t> m_tablesById;           // table id -> m_tables index
    QHash<std::uint64_t, std::size_t> m_indexesById;          // index id -> m_indexes index
    QMultiHash<std::uint64_t, std::size_t> m_columnsByTable;  // table id -> m_columns index
    QMultiHash<std::uint64_t, std::size_t> m_fieldsByIndex;   // index id -> m_fields index
    std::unordered_set<std::uint64_t> m_visited;  // pages taken into a tree walk
    std::uint32_t m_sysTablesRoot = 0;
    std::uint32_t m_sysIndexesRoot = 0;
    std::uint32_t m_sysColumnsRoot = 0;
    std::uint32_t m_sysFieldsRoot = 0;
    std::vector<SysColumnsRow> m_columns;
    std::vector<SysFieldsRow> m_fields;
    std::string m_columnsUnreadable;
    std::string m_fieldsUnreadable;
    std::vector<platform::DecodeError> m_damage;
    std::vector<std::uint64_t> m_pagesRead;
};

} // namespace recovery::innodb
