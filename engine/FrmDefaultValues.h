#pragma once

#include "model/ColumnTypeCode.h"
#include "platform/ByteReader.h"
#include "platform/Result.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace engine {

// What the default-value decoder needs to know about one column.
struct DefaultColInfo {
    ColumnTypeCode typeCode = 0;
    std::uint8_t packFlagHigh = 0;   // 0x80 nullable, 0x40 no default, 0x10 BIT kept as bytes
    std::uint8_t packFlagLow = 0;    // ENUM and SET: the storage width
    bool bAutoIncrement = false;
    bool bNullable = false;
    bool bHasDefault = true;
    std::uint32_t length = 0;        // bytes of strings, bits of BIT, digits of DECIMAL
    std::uint16_t scale = 0;
    QString sign;                    // "signed", "unsigned", "unsigned zerofill" or empty
    std::uint32_t recordOffset = 0;  // where the value starts in the default record
    std::uint16_t charset = 0;       // collation number, for the text of string values
    bool compressed = false;         // declared COMPRESSED: the value sits behind a header byte
};

// One column's default. text: "NULL" for a NULL default, empty for no
// DEFAULT clause (or a value we do not convert), else the value; binary
// strings byte for byte, one character (U+0000 to U+00FF) per byte.
// emptyString: the default is the empty string '' (text is empty then too).
struct FrmDefault {
    QString text;
    bool emptyString = false;
};

// Turns a table's default record into one default per column. The record
// starts with the null flags; each value sits at the offset its field record
// gives, so a column we cannot decode does not shift the others. One object
// per table definition.
class FrmDefaultValues {
public:
    // The version byte of the oldest table definitions (11-byte field
    // records, VARCHAR without a length).
    static constexpr std::uint8_t kOldestVersion = 7;

    // record: the default record, based at its file offset. packedRecord: the
    // table's pack-record option (null flags then start at bit 0, else bit 1).
    // version: the definition's version byte (7 is the oldest layout).
    FrmDefaultValues(platform::ByteReader record, bool packedRecord, std::uint8_t version);

    // Call once per column, in field order: the null flags (and the odd bits
    // of BIT columns) are handed out in that order. A value that lies outside
    // the record gives the empty text and sets error().
    FrmDefault ReadFrmDefaultValue(const DefaultColInfo& column);

    // The first value that did not fit in the record or was out of range, if any.
    const std::optional<platform::DecodeError>& error() const { return m_error; }

    // Bytes of a binary DECIMAL(precision, scale).
    static std::uint32_t binaryDecimalSize(std::uint32_t precision, std::uint32_t scale);
    // Bytes the column's value takes in the record (0 for values kept elsewhere).
    static std::uint32_t valueWidth(const DefaultColInfo& column, std::uint8_t version);

private:
    enum class NullTest { Standard, Blob, None };
    static NullTest nullTestOf(ColumnTypeCode code);

    bool nullFlag(std::uint32_t bit);
    std::uint64_t oddBits(std::uint32_t firstBit, std::uint32_t count);
    bool valueReader(const DefaultColInfo& column, platform::ByteReader& out);
    QString decode(const DefaultColInfo& column, platform::ByteReader value, std::uint32_t bitOffset);
    FrmDefault decodeString(const DefaultColInfo& column, platform::ByteReader value);
    QString decimal(const DefaultColInfo& column, platform::ByteReader value);
    // TIMESTAMP(n), TIMESTAMP2, DATETIME2 and TIME2 by the row readers' decoder;
    // a value out of range gives the empty text and sets error().
    QString bigEndianTemporal(const DefaultColInfo& column, std::span<const std::uint8_t> bytes,
                              std::uint64_t offset);
    void noteError(const platform::DecodeError& error);

    platform::ByteReader m_record;
    std::uint8_t m_version = 0;
    std::uint32_t m_nextNullBit = 0;
    std::optional<platform::DecodeError> m_error;
};

} // namespace engine
