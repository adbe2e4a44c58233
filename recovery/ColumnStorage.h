#pragma once

#include "model/ColumnTypeCode.h"

#include <cstdint>

namespace recovery {

// What a column's stored width depends on, whichever model describes it.
struct ColumnShape {
    engine::ColumnTypeCode typeCode = 0;
    // Bytes of strings, bits of BIT, precision of DECIMAL, the storage width
    // of ENUM and SET, the display length of temporal types (their decimals).
    std::uint32_t length = 0;
    std::uint16_t scale = 0;
    // BIT kept wholly in its bytes (engines without bit support); otherwise
    // its length mod 8 top bits sit among the null flags.
    bool bitsAsBytes = false;
    // VARCHAR keeps a 1- or 2-byte length before its bytes (every layout but
    // the oldest table definitions).
    bool varcharPrefix = true;
    // VARCHAR declared COMPRESSED: a header byte comes on top of its length.
    bool compressed = false;
};

// The two records a column value is kept in.
enum class StoredIn {
    // The server's own record: a MyISAM data file's rows and a table
    // definition's default record. Every value has its fixed width there;
    // blobs keep a length and a pointer.
    ServerRecord,
    // A clustered-index record: variable-length values (strings, blobs,
    // the old DECIMAL) keep their length in the record header, so only the
    // fixed-width types have a width here.
    InnodbRecord,
};

// The stored widths of the column types, in one place for both engines and
// for the table definition's default record.
class ColumnStorage {
public:
    // The in-memory pointer that follows a blob's length in the server's record.
    static constexpr std::uint32_t kBlobPointerBytes = 8;

    // Bytes the column's value takes in the record; 0 for a type the record
    // does not hold at a fixed width (BIT below 8 bits in the server's
    // record: all its bits sit among the null flags).
    static std::uint32_t storedWidth(const ColumnShape& column, StoredIn record);
    // Bytes of a blob's length (1 to 4); 0 when the code is no blob, text
    // or geometry type.
    static std::uint8_t blobLengthBytes(engine::ColumnTypeCode code);
    // ENUM and SET: the storage width from the low byte of the pack flags
    // (the integer type the server keeps the value in); 0 when it names none.
    static std::uint32_t enumBytes(std::uint8_t packLow);
    static std::uint32_t setBytes(std::uint8_t packLow);
    // Bytes of a VARCHAR's length for a column of `length` bytes, and the
    // same from the width it takes in the server's record (those bytes included).
    static std::uint32_t varcharLengthBytes(std::uint32_t length) { return length > 255 ? 2 : 1; }
    static std::uint32_t varcharLengthBytesOfWidth(std::uint32_t width) { return width - 1 > 255 ? 2 : 1; }
    // The most bytes a VARCHAR of `length` bytes keeps in a record, a
    // compressed one's header byte included.
    static std::uint32_t varcharStoredBytes(std::uint32_t length, bool compressed)
    {
        return compressed ? length + 1 : length;
    }
};

} // namespace recovery
