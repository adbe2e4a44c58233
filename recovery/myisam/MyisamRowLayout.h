#pragma once

#include "recovery/myisam/MyisamIndexHeader.h"
#include "platform/Result.h"

#include <cstdint>
#include <vector>

namespace engine {
struct ColumnInformation;
class TableInformation;
}

namespace recovery::myisam {

// Where one column of the table definition lives in a MyISAM record as the
// server holds it (the static record, or a dynamic one once unpacked).
struct MyisamColumnLayout {
    const engine::ColumnInformation* m_column = nullptr;
    // A generated column that is not stored: the server computes it.
    bool m_virtual = false;
    std::int32_t m_fieldDef = -1;      // its index-file field; -1 = none (BIT below 8 bits, virtual)
    std::uint32_t m_offset = 0;        // in the record
    std::uint32_t m_length = 0;        // stored bytes in the record
    std::uint16_t m_nullByte = 0;
    std::uint8_t m_nullMask = 0;       // 0 = never NULL
    std::uint32_t m_bitPos = 0;        // BIT: first of its bits kept among the null flags
    std::uint8_t m_bitCount = 0;
    std::uint8_t m_blobLengthBytes = 0; // blob, text and geometry: bytes of the length prefix
};

// The record layout of one MyISAM table: the table definition's columns
// matched with the index file's fields. Immutable once built.
class MyisamRowLayout {
public:
    // Bytes a column takes in the record (BIT: only its whole bytes; the
    // rest sit among the null flags). 0 for a type the record cannot hold.
    static std::uint32_t storedSize(const engine::ColumnInformation& column);

    // Matches the definition with the index file's fields. Errors: a null
    // area or fields that the definition does not account for.
    static platform::Result<MyisamRowLayout> build(const engine::TableInformation& table,
                                                   const MyisamIndexHeader& header);
    // Without an index file: a static-row layout from the definition alone
    // (every field unpacked); an error when the definition calls for dynamic rows.
    static platform::Result<MyisamRowLayout> fromDefinition(const engine::TableInformation& table);

    bool m_dynamic = false;
    bool m_checksum = false;
    bool m_checksumSkipsNulls = false;
    std::uint32_t m_nullBytes = 0;
    // Bits of the null area in use (live mark, NULL flags, BIT bits); the
    // server sets the rest of the last byte.
    std::uint32_t m_nullBitsUsed = 0;
    std::uint32_t m_recordLength = 0;
    std::uint32_t m_slotLength = 0;    // static rows: bytes per record in the data file
    std::uint16_t m_packFlagBytes = 0;
    std::vector<MyisamFieldDef> m_fieldDefs;
    std::vector<MyisamColumnLayout> m_columns;

private:
    // NULL flags and BIT bits, handed out in definition order as the server does.
    void placeNullFlags(const engine::TableInformation& table);
    platform::Result<bool> placeFields(std::uint64_t defsPos);
};

} // namespace recovery::myisam
