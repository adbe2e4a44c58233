#pragma once

#include "model/RowValue.h"
#include "model/tempColInfo.h"
#include "platform/Result.h"
#include "recovery/innodb/InnodbColumnDecoder.h"
#include "recovery/innodb/InnodbPage.h"

#include <QStringList>

#include <cstdint>
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

    // The fields of the user columns of a leaf record, in column order.
    platform::Result<std::vector<FieldSlice>> locate(const InnodbPage& page, const InnodbRecord& record) const;
    // The value of column `column` from its slice.
    platform::Result<engine::RowValue> value(const InnodbPage& page, const FieldSlice& slice,
                                             std::size_t column) const;
    // Every column of a leaf record.
    platform::Result<std::vector<engine::RowValue>> decode(const InnodbPage& page,
                                                           const InnodbRecord& record) const;
    // The child page a node-pointer record points to.
    platform::Result<std::uint32_t> childPage(const InnodbPage& page, const InnodbRecord& record) const;

private:
    platform::Result<std::vector<FieldSlice>> locateCompact(const InnodbPage& page, const InnodbRecord& record,
                                                            bool nodePointer) const;
    platform::Result<std::vector<FieldSlice>> locateRedundant(const InnodbPage& page,
                                                              const InnodbRecord& record) const;
    platform::Result<QByteArray> wholeValue(const InnodbPage& page, const FieldSlice& slice) const;

    // One stored field of a COMPACT record: its shape, its NULL flag (-1: never NULL).
    struct FieldSpec {
        FieldShape shape;
        int nullIndex = -1;
    };
    // Every field of a leaf or node-pointer record, system fields included.
    std::vector<FieldSpec> compactSpecs(bool nodePointer) const;

    InnodbTableLayout m_layout;
    std::vector<FieldShape> m_shapes;
    // Built once: the column texts they come from are slow to compare per record.
    std::vector<FieldSpec> m_leafSpecs;
    std::vector<FieldSpec> m_nodeSpecs;
    const platform::DataFile& m_file;
    Options m_options;
    std::string m_unreadable;
};

} // namespace recovery::innodb
