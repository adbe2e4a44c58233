#pragma once

#include "model/RowValue.h"
#include "model/tempColInfo.h"
#include "platform/Result.h"
#include "recovery/innodb/InnodbColumnDecoder.h"
#include "recovery/innodb/InnodbPage.h"

#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// Where one field of a record lies on its page.
struct FieldSlice {
    std::uint16_t start = 0;    // page offset of the first byte
    std::uint16_t length = 0;   // bytes kept in the record
    bool isNull = false;
    bool isExternal = false;    // the last 20 local bytes reference an off-page part
    // Not in the record, which was written before its column was added in
    // place: the value is the column's default from the metadata record.
    bool isDefault = false;
};

// The columns of a clustered index in record order and how to read them.
struct InnodbTableLayout {
    RecordFormat format = RecordFormat::Compact;
    std::vector<engine::tempColInfo> columns;  // key columns first, as the index stores them
    std::vector<QStringList> members;          // ENUM/SET members, per column
    std::size_t keyColumns = 0;                // 0: the records start with DB_ROW_ID
    std::size_t nullableColumns = 0;           // size of the COMPACT null bitmap, in flags
    // Fields after the last column that no column of the definition names:
    // the FTS_DOC_ID InnoDB adds to a table with a FULLTEXT key (NOT NULL,
    // fixed width, so COMPACT records hold nothing about it before it).
    std::size_t hiddenTrailingFields = 0;
    // Each column's place among the table's stored columns (the definition's
    // order without virtual columns): the metadata of a table whose columns
    // were dropped or moved in place names columns so. Empty: record order.
    std::vector<std::size_t> storedOrdinals;
};

// Splits clustered-index records into fields and decodes their values.
class InnodbRecordDecoder {
public:
    struct Options {
        // Largest off-page value read whole; a longer one fails its record.
        std::uint64_t maxOffPageBytes = 1ull << 30;
        // An off-page value gives its type's placeholder text ("Large data
        // of ...") and its chain is not read (the preview).
        bool offPagePlaceholders = false;
    };

    // file: the tablespace that holds the pages (for off-page values).
    InnodbRecordDecoder(InnodbTableLayout layout, const platform::DataFile& file, Options options);

    const InnodbTableLayout& layout() const { return m_layout; }
    // Empty when every column can be placed; else why the table cannot be read.
    const std::string& unreadable() const { return m_unreadable; }

    // A table altered in place (its root has kPageTypeInstant) is read in two
    // steps: the root says how many fields the oldest records have (enough
    // for the node pointers), then the metadata record, the first record of
    // the leftmost leaf, gives the added columns' defaults and, after a DROP
    // or a move, which stored field is which column. Each gives the damage
    // that keeps the table's rows from being read, or nullopt.
    std::optional<platform::DecodeError> useInstantRoot(const InnodbPage& root);
    std::optional<platform::DecodeError> useInstantMetadata(const InnodbPage& leftmostLeaf);
    bool instant() const { return m_instant.has_value(); }
    // The leaf record that holds the metadata: no row of the table.
    bool isMetadataRecord(const InnodbRecord& record) const { return m_instant && record.minRecord; }

    // The fields of the user columns of a leaf record, in column order.
    platform::Result<std::vector<FieldSlice>> locate(const InnodbPage& page, const InnodbRecord& record) const;
    // DB_TRX_ID of a leaf record whose fields locate() gave, and whether its
    // DB_ROLL_PTR is an insert's (the record was inserted by that transaction).
    struct SystemColumns {
        std::uint64_t transactionId = 0;
        bool inserted = false;
    };
    platform::Result<SystemColumns> systemColumns(const InnodbPage& page, const InnodbRecord& record,
                                                  const std::vector<FieldSlice>& slices) const;
    // The value of column `column` from its slice.
    platform::Result<engine::RowValue> value(const InnodbPage& page, const FieldSlice& slice,
                                             std::size_t column) const;
    // Every column of a leaf record.
    platform::Result<std::vector<engine::RowValue>> decode(const InnodbPage& page,
                                                           const InnodbRecord& record) const;
    // The child page a node-pointer record points to.
    platform::Result<std::uint32_t> childPage(const InnodbPage& page, const InnodbRecord& record) const;

private:
    // One stored field of a record: its shape (COMPACT), its NULL flag (-1:
    // never NULL) and the column it holds (kNoColumn: a system field, a
    // dropped column's or one the definition does not name).
    struct FieldSpec {
        FieldShape shape;
        int nullIndex = -1;
        int column = -1;
    };
    // What a table altered in place adds to the record layout.
    struct Instant {
        std::size_t coreFields = 0;     // fields of the records written before the first change
        std::size_t coreNullBytes = 0;  // their COMPACT null-flag bytes
        bool fieldMap = false;          // a DROP or a move: the metadata maps fields to columns
        std::vector<std::optional<engine::RowValue>> defaults;  // per column
    };

    platform::Result<std::vector<FieldSlice>> locateCompact(const InnodbPage& page, const InnodbRecord& record,
                                                            bool nodePointer) const;
    platform::Result<std::vector<FieldSlice>> locateRedundant(const InnodbPage& page,
                                                              const InnodbRecord& record) const;
    // The fields of specs, in order, from a COMPACT record whose null flags
    // start headerBytes below its origin; each lands in out at its column
    // (or in *blob for the metadata's field map).
    std::optional<platform::DecodeError> compactFields(const InnodbPage& page, std::uint64_t origin,
                                                       std::uint64_t headerBytes, std::uint64_t nullBytes,
                                                       std::span<const FieldSpec> specs,
                                                       std::vector<FieldSlice>& out, FieldSlice* blob) const;
    std::optional<platform::DecodeError> redundantFields(const InnodbPage& page, const InnodbRecord& record,
                                                         std::span<const FieldSpec> specs,
                                                         std::vector<FieldSlice>& out, FieldSlice* blob) const;
    platform::Result<QByteArray> wholeValue(const InnodbPage& page, const FieldSlice& slice) const;
    // The fields of a COMPACT leaf record of status 4: its count and the
    // bytes of its header.
    platform::Result<std::size_t> instantFieldCount(const InnodbPage& page, const InnodbRecord& record,
                                                    std::uint64_t& headerBytes) const;
    // The leaf fields that the metadata's field map describes.
    platform::Result<std::vector<FieldSpec>> mappedSpecs(std::uint64_t mapOffset,
                                                         const QByteArray& map) const;
    // The field map's slice of the metadata record: COMPACT records do not
    // say how long their key fields are without the null-flag bytes, which
    // the map gives; each size is tried against the map it leads to.
    platform::Result<std::vector<FieldSpec>> readFieldMap(const InnodbPage& page, const InnodbRecord& record,
                                                          std::size_t fields, std::uint64_t headerBytes) const;
    void setLeafSpecs(std::vector<FieldSpec> specs);
    std::size_t firstUserField() const;

    // Every field of a leaf or node-pointer record, system fields included.
    std::vector<FieldSpec> compactSpecs(bool nodePointer) const;

    InnodbTableLayout m_layout;
    std::vector<FieldShape> m_shapes;
    // Built once: the column texts they come from are slow to compare per record.
    std::vector<FieldSpec> m_leafSpecs;
    std::vector<FieldSpec> m_nodeSpecs;
    // m_leafSpecs with DB_TRX_ID and DB_ROLL_PTR as one field.
    std::vector<FieldSpec> m_plainLeafSpecs;
    // Nullable fields among the first n leaf fields, for each n.
    std::vector<std::size_t> m_nullableBefore;
    std::optional<Instant> m_instant;
    const platform::DataFile& m_file;
    Options m_options;
    std::string m_unreadable;
};

} // namespace recovery::innodb
