#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace recovery::myisam {

// How one stored field of a record is packed in dynamic rows (the column
// definition of the index file).
enum MyisamFieldType : std::int16_t {
    FIELD_NORMAL = 0,
    FIELD_SKIP_ENDSPACE = 1,
    FIELD_SKIP_PRESPACE = 2,
    FIELD_SKIP_ZERO = 3,
    FIELD_BLOB = 4,
    FIELD_CONSTANT = 5,
    FIELD_INTERVALL = 6,
    FIELD_ZERO = 7,
    FIELD_VARCHAR = 8,
    FIELD_CHECK = 9,
};

// One column definition of the index file: one stored field of the record,
// in record order (the first one is the null-flag area when there is one).
struct MyisamFieldDef {
    std::int16_t m_type = FIELD_NORMAL;
    std::uint16_t m_length = 0;
    std::uint8_t m_nullBit = 0;   // mask in the null byte; 0 = not nullable
    std::uint16_t m_nullPos = 0;  // byte of the record holding the null bit
};

// One part of a key: which bytes of the record it takes, and how.
struct MyisamKeySeg {
    std::uint8_t m_type = 0;       // key type: 1 text, 2 binary, 3.. numbers, 15-18 VARCHAR, 19 BIT
    std::uint16_t m_language = 0;  // collation
    std::uint8_t m_nullBit = 0;    // 0 = the part cannot be NULL
    std::uint8_t m_bitStart = 0;   // VARCHAR, blob: bytes of the stored length
    std::uint8_t m_bitLength = 0;
    std::uint16_t m_flag = 0;
    std::uint16_t m_length = 0;    // bytes of the part at most
    std::uint32_t m_start = 0;     // in the record
    std::uint32_t m_nullPos = 0;   // byte of the null bit (BIT parts: of its bits)
};

// One key (index) of the table and its parts.
struct MyisamKeyDef {
    std::uint8_t m_algorithm = 0;  // 1 B-tree, 2 R-tree, 4 full text
    std::uint16_t m_flag = 0;
    std::uint16_t m_blockLength = 0;
    std::uint16_t m_keyLength = 0;
    std::vector<MyisamKeySeg> m_segs;
};

// The header of a MyISAM index file (.MYI): record counts and the record
// layout facts that reading the data file needs. Immutable once parsed.
class MyisamIndexHeader {
public:
    // Options of the table.
    static constexpr std::uint16_t kOptionPackRecord = 0x0001;     // dynamic rows
    static constexpr std::uint16_t kOptionCompressRecord = 0x0004; // packed by the pack tool
    static constexpr std::uint16_t kOptionChecksum = 0x0020;
    // Record checksums leave NULL fields out.
    static constexpr std::uint16_t kOptionNullFields = 0x0400;

    // Parses the start of the file (at least the whole header; more is
    // ignored). Errors: not an index file, a header cut short, key or column
    // definitions that do not fit, column lengths that do not add up to the
    // record length.
    static platform::Result<MyisamIndexHeader> parse(std::span<const std::uint8_t> bytes);

    bool dynamicRows() const { return (m_options & kOptionPackRecord) != 0; }
    bool compressed() const { return (m_options & kOptionCompressRecord) != 0; }
    bool checksum() const { return (m_options & kOptionChecksum) != 0; }
    bool checksumSkipsNulls() const { return (m_options & kOptionNullFields) != 0; }

    std::uint16_t m_options = 0;
    std::uint16_t m_headerLength = 0;
    std::uint16_t m_baseInfoLength = 0;
    std::uint16_t m_basePos = 0;
    std::uint16_t m_keyParts = 0;
    std::uint16_t m_uniqueKeyParts = 0;
    std::uint8_t m_keys = 0;
    std::uint8_t m_uniques = 0;
    std::uint64_t m_records = 0;
    std::uint64_t m_deletedRecords = 0;
    std::uint64_t m_dataFileLength = 0;
    std::uint32_t m_recordLength = 0;      // the record as the server holds it
    std::uint32_t m_packRecordLength = 0;  // static rows: bytes per record in the data file
    std::uint32_t m_maxPackLength = 0;
    std::uint32_t m_fields = 0;
    std::uint32_t m_packFields = 0;        // fields with a packed-field flag bit
    std::uint16_t m_packFlagBytes = 0;     // bytes of those flags before each dynamic record
    std::uint16_t m_blobs = 0;
    std::uint64_t m_fieldDefsPos = 0;
    std::vector<MyisamFieldDef> m_fieldDefs;
    // The keys: their definitions and the page of each B-tree's root (all
    // ones for an empty tree). Empty when the definitions do not add up;
    // the records are read without them.
    std::uint64_t m_keyFileLength = 0;
    std::uint32_t m_tableChecksum = 0;     // sum of the record checksums (CHECKSUM=1)
    std::uint8_t m_dataPointerBytes = 0;   // record pointer in a key
    std::uint8_t m_pagePointerBytes = 0;   // child page pointer in a node page
    std::vector<MyisamKeyDef> m_keyDefs;
    std::vector<std::uint64_t> m_keyRoots;

private:
    void parseKeys(std::span<const std::uint8_t> bytes, std::uint16_t stateInfoLength);
};

} // namespace recovery::myisam
