#pragma once

#include <cstdint>

namespace engine {

// One byte per column: the server's field type number as the table
// definition stores it, or one of our own codes for the binary string types
// and the geometry subtypes, so later readers need not look at the charset.
using ColumnTypeCode = std::uint8_t;

inline constexpr ColumnTypeCode TYPE_OLD_DECIMAL = 0x00;
inline constexpr ColumnTypeCode TYPE_TINYINT = 0x01;
inline constexpr ColumnTypeCode TYPE_SMALLINT = 0x02;
inline constexpr ColumnTypeCode TYPE_INT = 0x03;
inline constexpr ColumnTypeCode TYPE_FLOAT = 0x04;
inline constexpr ColumnTypeCode TYPE_DOUBLE = 0x05;
inline constexpr ColumnTypeCode TYPE_NULL = 0x06;
inline constexpr ColumnTypeCode TYPE_TIMESTAMP = 0x07;
inline constexpr ColumnTypeCode TYPE_BIGINT = 0x08;
inline constexpr ColumnTypeCode TYPE_MEDIUMINT = 0x09;
inline constexpr ColumnTypeCode TYPE_DATE = 0x0A;
inline constexpr ColumnTypeCode TYPE_TIME = 0x0B;
inline constexpr ColumnTypeCode TYPE_DATETIME = 0x0C;
inline constexpr ColumnTypeCode TYPE_YEAR = 0x0D;
inline constexpr ColumnTypeCode TYPE_NEWDATE = 0x0E;
inline constexpr ColumnTypeCode TYPE_VARCHAR = 0x0F;
inline constexpr ColumnTypeCode TYPE_BIT = 0x10;
// The temporal formats of server 5.6 and later (MariaDB's default since 10.1):
// big-endian, with 0 to 3 bytes of fractional seconds after the base part.
inline constexpr ColumnTypeCode TYPE_TIMESTAMP2 = 0x11;
inline constexpr ColumnTypeCode TYPE_DATETIME2 = 0x12;
inline constexpr ColumnTypeCode TYPE_TIME2 = 0x13;
inline constexpr ColumnTypeCode TYPE_DECIMAL = 0xF6;
inline constexpr ColumnTypeCode TYPE_ENUM = 0xF7;
inline constexpr ColumnTypeCode TYPE_SET = 0xF8;
inline constexpr ColumnTypeCode TYPE_TINYTEXT = 0xF9;
inline constexpr ColumnTypeCode TYPE_MEDIUMTEXT = 0xFA;
inline constexpr ColumnTypeCode TYPE_LONGTEXT = 0xFB;
inline constexpr ColumnTypeCode TYPE_TEXT = 0xFC;
inline constexpr ColumnTypeCode TYPE_VAR_STRING = 0xFD;
inline constexpr ColumnTypeCode TYPE_CHAR = 0xFE;
inline constexpr ColumnTypeCode TYPE_GEOMETRY_OTHER = 0xFF;
inline constexpr ColumnTypeCode TYPE_BINARY = 0xA1;
inline constexpr ColumnTypeCode TYPE_VARBINARY = 0xA2;
inline constexpr ColumnTypeCode TYPE_BLOB = 0xA3;
inline constexpr ColumnTypeCode TYPE_TINYBLOB = 0xA4;
inline constexpr ColumnTypeCode TYPE_MEDIUMBLOB = 0xA5;
inline constexpr ColumnTypeCode TYPE_LONGBLOB = 0xA6;
inline constexpr ColumnTypeCode TYPE_GEOMETRY = 0xA7;
inline constexpr ColumnTypeCode TYPE_POINT = 0xA8;
inline constexpr ColumnTypeCode TYPE_LINESTRING = 0xA9;
inline constexpr ColumnTypeCode TYPE_POLYGON = 0xAA;
inline constexpr ColumnTypeCode TYPE_MULTIPOINT = 0xAB;
inline constexpr ColumnTypeCode TYPE_MULTILINESTRING = 0xAC;
inline constexpr ColumnTypeCode TYPE_MULTIPOLYGON = 0xAD;
inline constexpr ColumnTypeCode TYPE_GEOMETRYCOLLECTION = 0xAE;
// The types MariaDB's type plugins add; the definition stores them as CHAR
// and names them in its extra2 block. UUIDs written by servers before the
// plugin's change of 10.11.5 (and its like in 10.9, 10.10, 11.0 and 11.1)
// keep every value's groups turned around; later ones only some.
inline constexpr ColumnTypeCode TYPE_UUID = 0xB0;
inline constexpr ColumnTypeCode TYPE_UUID_ALWAYS_TURNED = 0xB1;
inline constexpr ColumnTypeCode TYPE_INET6 = 0xB2;
inline constexpr ColumnTypeCode TYPE_INET4 = 0xB3;

// The collation number of the binary character set: byte strings.
inline constexpr std::uint16_t kBinaryCollation = 63;
// The stored type byte of every geometry column; the subtype says which.
inline constexpr std::uint8_t kGeometryTypeByte = 255;

// The high byte of a column's pack flags as the table definition keeps it
// (below 0x40 the rest is the scale of DECIMAL, FLOAT and DOUBLE).
inline constexpr std::uint8_t kPackFlagNullable = 0x80;
inline constexpr std::uint8_t kPackFlagNoDefault = 0x40;
// A BIT column kept wholly in its bytes: engines without bit support.
inline constexpr std::uint8_t kPackFlagBitsAsBytes = 0x10;

// The groups of codes that the readers and the statements switch on.
constexpr bool isSpatialCode(ColumnTypeCode code)
{
    return code == TYPE_GEOMETRY_OTHER || (code >= TYPE_GEOMETRY && code <= TYPE_GEOMETRYCOLLECTION);
}

// BINARY, VARBINARY and the BLOB family: byte strings without a character set.
constexpr bool isBinaryStringCode(ColumnTypeCode code)
{
    return code >= TYPE_BINARY && code <= TYPE_LONGBLOB;
}

// The TEXT and BLOB families and the spatial types: values of no fixed size.
constexpr bool isTextOrBlobCode(ColumnTypeCode code)
{
    switch (code) {
    case TYPE_TINYTEXT: case TYPE_TEXT: case TYPE_MEDIUMTEXT: case TYPE_LONGTEXT:
    case TYPE_TINYBLOB: case TYPE_BLOB: case TYPE_MEDIUMBLOB: case TYPE_LONGBLOB:
        return true;
    default:
        return isSpatialCode(code);
    }
}

// Columns whose values are text in a character set.
constexpr bool isCharacterCode(ColumnTypeCode code)
{
    switch (code) {
    case TYPE_VARCHAR: case TYPE_VAR_STRING: case TYPE_CHAR: case TYPE_TINYTEXT: case TYPE_TEXT:
    case TYPE_MEDIUMTEXT: case TYPE_LONGTEXT: case TYPE_ENUM: case TYPE_SET:
        return true;
    default:
        return false;
    }
}

// UUID, INET6 and INET4: fixed-size bytes the server shows as text of its own.
constexpr bool isPluginTypeCode(ColumnTypeCode code)
{
    return code >= TYPE_UUID && code <= TYPE_INET4;
}

// TIME, DATETIME and TIMESTAMP in any of their formats: they may keep fractions.
constexpr bool isTimeOfDayCode(ColumnTypeCode code)
{
    switch (code) {
    case TYPE_TIMESTAMP: case TYPE_DATETIME: case TYPE_TIME:
    case TYPE_TIMESTAMP2: case TYPE_DATETIME2: case TYPE_TIME2:
        return true;
    default:
        return false;
    }
}

// Bytes of fractional seconds kept for 0..6 decimals in the 5.6 formats.
constexpr unsigned fractionalSecondBytes(unsigned decimals)
{
    return decimals > 6 ? 3 : (decimals + 1) / 2;
}

// Stored size of TYPE_TIMESTAMP2 (4 + fraction), TYPE_DATETIME2 (5 + fraction)
// and TYPE_TIME2 (3 + fraction) columns; 0 for every other code.
constexpr unsigned temporal2StoredSize(ColumnTypeCode code, unsigned decimals)
{
    switch (code) {
    case TYPE_TIMESTAMP2: return 4 + fractionalSecondBytes(decimals);
    case TYPE_DATETIME2: return 5 + fractionalSecondBytes(decimals);
    case TYPE_TIME2: return 3 + fractionalSecondBytes(decimals);
    default: return 0;
    }
}

// Fractional digits of a temporal column from its display length: the
// definition keeps no separate count, it widens the length by "." + digits.
// Base widths: 19 for TIMESTAMP/DATETIME, 10 (8 before MariaDB 5.3) for TIME.
constexpr unsigned temporalDecimals(ColumnTypeCode code, std::uint32_t length)
{
    std::uint32_t base = 0;
    switch (code) {
    case TYPE_TIMESTAMP: case TYPE_DATETIME: case TYPE_TIMESTAMP2: case TYPE_DATETIME2: base = 19; break;
    case TYPE_TIME: case TYPE_TIME2: base = length >= 10 ? 10 : 8; break;
    default: return 0;
    }
    if (length <= base + 1)
        return 0;
    const std::uint32_t digits = length - base - 1;
    return digits > 6 ? 6 : digits;
}

} // namespace engine
