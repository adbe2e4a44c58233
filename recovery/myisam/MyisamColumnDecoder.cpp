#include "recovery/myisam/MyisamColumnDecoder.h"

#include "model/ColumnInformation.h"
#include "platform/ByteReader.h"
#include "recovery/CSinglePrecision.h"
#include "recovery/ColumnStorage.h"
#include "recovery/CompressedValue.h"
#include "recovery/DoubleFromBits.h"
#include "recovery/PluginTypeText.h"
#include "recovery/ValueText.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <QByteArray>

#include <string>

// Column values in a MyISAM record image (the server's in-memory record):
//
// | type                         | bytes            | form                                      |
// |------------------------------|------------------|-------------------------------------------|
// | TINYINT..BIGINT              | 1, 2, 3, 4, 8    | little-endian two's complement            |
// | FLOAT, DOUBLE                | 4, 8             | IEEE 754, little-endian                   |
// | DECIMAL                      | by precision     | the server's binary DECIMAL (big-endian)  |
// | old DECIMAL                  | length           | the number as text, blanks in front       |
// | DATE (3-byte)                | 3                | LE: day 5 bits, month 4, year from bit 9  |
// | DATE (old, 4-byte)           | 4                | LE number YYYYMMDD                        |
// | TIME, DATETIME, TIMESTAMP    | 3, 8, 4          | LE: HHMMSS, YYYYMMDDhhmmss, epoch seconds |
// |   with fractions, and 17-19  | by decimals      | big-endian, as both engines keep them     |
// | YEAR                         | 1                | 0 or year - 1900                          |
// | CHAR, BINARY                 | length           | padded with blanks (binary: zero bytes)   |
// | VARCHAR, VARBINARY           | 1-2 + max        | LE length, then the bytes                 |
// | BLOB, TEXT, GEOMETRY         | 1-4 + 8          | LE length, then (dynamic rows) the value  |
// |                              |                  | in the packed record                      |
// | VARCHAR, BLOB, TEXT declared | as above         | the value behind a header byte, as it is  |
// | COMPRESSED                   |                  | or deflated (CompressedValue)             |
// | ENUM, SET                    | 1-2, 1-8         | LE member number, bit mask                |
// | BIT(n)                       | n / 8            | big-endian; the n mod 8 high bits sit     |
// |                              |                  | among the null flags                      |
// | UUID, INET6, INET4           | 16, 16, 4        | see PluginTypeText.cpp                    |

namespace recovery::myisam {

namespace {

using engine::ColumnInformation;
using engine::RowValue;
using platform::ByteReader;
using platform::DecodeError;

using platform::corrupt;

QByteArray toBytes(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

RowValue asciiValue(const ShortText& text)
{
    return RowValue::Ascii(text.data(), text.size());
}

platform::Result<RowValue> asciiValue(const platform::Result<ShortText>& text)
{
    if (!text)
        return text.error();
    return asciiValue(*text);
}

bool isUnsigned(const ColumnInformation& c)
{
    return c.m_signText == QLatin1String("unsigned") || c.m_signText == QLatin1String("unsigned zerofill");
}

RowValue integerValue(const ColumnInformation& c, ByteReader& r, unsigned bytes)
{
    const std::uint64_t raw = r.uintLe(bytes);
    return ValueText::numberValue(NumberColumn::of(c), isUnsigned(c) ? ValueText::unsignedAscii(raw)
                                                  : ValueText::signedAscii(ValueText::signExtend(raw, bytes)));
}

RowValue floatingValue(const ColumnInformation& c, ByteReader& r, bool isDouble)
{
    double value = 0;
    if (isDouble)
        DoubleFromBits(r.u64le(), value);
    else
        CSinglePrecision(r.u32le()).ToDouble(value);
    return ValueText::floatingValue(NumberColumn::of(c), value);
}

// CHAR and the old VARCHAR drop the blanks they are padded with; BINARY
// keeps its zero bytes, which are part of the value.
RowValue characterValue(const ColumnInformation& c, std::span<const std::uint8_t> bytes)
{
    if (c.m_typeCode == engine::TYPE_BINARY)
        return RowValue::Stored(toBytes(bytes), &ValueText::binaryText);
    // The blanks pad the value to its column; MySQL 4.1 took them off its
    // VARBINARY values too, as the server does after its REPAIR TABLE.
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == ' ')
        --n;
    if (c.m_charset == engine::kBinaryCollation)
        return RowValue::Stored(toBytes(bytes.first(n)), &ValueText::binaryText);
    return RowValue::Stored(toBytes(bytes.first(n)), &ValueText::storedCharacterText, c.m_charset);
}

bool isLargeValueCode(engine::ColumnTypeCode code)
{
    return code == engine::TYPE_MEDIUMBLOB || code == engine::TYPE_LONGBLOB || code == engine::TYPE_MEDIUMTEXT
        || code == engine::TYPE_LONGTEXT;
}

// The bytes of a string value, expanded when its column is declared COMPRESSED.
platform::Result<QByteArray> stringBytes(const ColumnInformation& c, std::span<const std::uint8_t> bytes,
                                         std::uint64_t at)
{
    if (!c.m_compressed)
        return toBytes(bytes);
    return CompressedValue::expand(bytes, CompressedValue::maxLength(c.m_typeCode, c.m_length), at);
}

platform::Result<RowValue> blobValue(const ColumnInformation& c, std::span<const std::uint8_t> bytes,
                                     std::uint64_t at, MyisamColumnDecoder::Use use)
{
    if (engine::isSpatialCode(c.m_typeCode))
        return RowValue::Stored(toBytes(bytes), QStringLiteral("Spatial type Data"));
    if (use == MyisamColumnDecoder::Use::Preview && isLargeValueCode(c.m_typeCode)
        && bytes.size() > MyisamColumnDecoder::kLargeValuePreviewBytes)
        return RowValue::Text(QStringLiteral("Large data of longblob"));
    auto value = stringBytes(c, bytes, at);
    if (!value)
        return value.error();
    if (engine::isBinaryStringCode(c.m_typeCode))
        return RowValue::Stored(*value, &ValueText::binaryText);
    return RowValue::Stored(*value, &ValueText::storedCharacterText, c.m_charset);
}

platform::Result<RowValue> bitValue(const MyisamColumnLayout& l, const MyisamRecord& record, ByteReader& r)
{
    const unsigned whole = l.m_length;
    std::uint64_t value = r.uintBe(whole);
    for (unsigned i = 0; i < l.m_bitCount; ++i) {
        const std::uint32_t bit = l.m_bitPos + i;
        if (bit / 8 >= record.m_image.size())
            return corrupt(bit / 8, "BIT bits outside the null area");
        if (record.m_image[bit / 8] & (1u << (bit % 8)))
            value |= std::uint64_t{1} << (8 * whole + i);
    }
    const unsigned bytes = (l.m_column->m_length + 7) / 8;
    QByteArray stored(static_cast<qsizetype>(bytes), '\0');
    for (unsigned i = 0; i < bytes; ++i)
        stored[static_cast<qsizetype>(bytes - 1 - i)] = static_cast<char>(value >> (8 * i));
    return RowValue::Stored(stored, ValueText::unsignedText(value));
}

platform::Result<RowValue> decodeStored(const MyisamColumnLayout& l, const MyisamRecord& record, ByteReader& r,
                                        MyisamColumnDecoder::Use use)
{
    const ColumnInformation& c = *l.m_column;
    const std::uint64_t at = l.m_offset;
    if (ValueText::bigEndianTemporalSize(c.m_typeCode, c.m_length) != 0)
        return asciiValue(ValueText::bigEndianTemporalAscii(c.m_typeCode, c.m_length, r.bytes(l.m_length), at));
    switch (c.m_typeCode) {
    case engine::TYPE_TINYINT: return integerValue(c, r, 1);
    case engine::TYPE_SMALLINT: return integerValue(c, r, 2);
    case engine::TYPE_MEDIUMINT: return integerValue(c, r, 3);
    case engine::TYPE_INT: return integerValue(c, r, 4);
    case engine::TYPE_BIGINT: return integerValue(c, r, 8);
    case engine::TYPE_FLOAT: return floatingValue(c, r, false);
    case engine::TYPE_DOUBLE: return floatingValue(c, r, true);
    case engine::TYPE_DECIMAL:
        return ValueText::numberValue(NumberColumn::of(c),
                                      ValueText::decimalAscii(r.bytes(l.m_length), c.m_length, c.m_scale, at));
    case engine::TYPE_OLD_DECIMAL: return RowValue::Text(ValueText::oldDecimalText(r.bytes(l.m_length)));
    case engine::TYPE_NEWDATE: return asciiValue(ValueText::dateAscii(r.u24le()));
    case engine::TYPE_DATE: {
        const std::uint32_t n = r.u32le();
        return asciiValue(ValueText::dateAscii((n % 100) | ((n / 100 % 100) << 5) | ((n / 10000) << 9)));
    }
    case engine::TYPE_TIME: return asciiValue(ValueText::timeAscii(ValueText::signExtend(r.u24le(), 3)));
    case engine::TYPE_DATETIME: return asciiValue(ValueText::datetimeAscii(r.u64le()));
    case engine::TYPE_TIMESTAMP: return asciiValue(ValueText::timestampAscii(r.u32le()));
    case engine::TYPE_YEAR: return ValueText::yearValue(r.u8(), c.m_length);
    case engine::TYPE_ENUM: return RowValue::Text(ValueText::enumText(r.uintLe(l.m_length), c.m_members));
    case engine::TYPE_SET: return RowValue::Text(ValueText::setText(r.uintLe(l.m_length), c.m_members));
    case engine::TYPE_BIT: return bitValue(l, record, r);
    case engine::TYPE_UUID: case engine::TYPE_UUID_ALWAYS_TURNED: case engine::TYPE_INET6: case engine::TYPE_INET4:
        return asciiValue(PluginTypeText::ascii(c.m_typeCode, r.bytes(l.m_length), at));
    case engine::TYPE_CHAR: case engine::TYPE_BINARY: case engine::TYPE_VAR_STRING:
        return characterValue(c, r.bytes(l.m_length));
    case engine::TYPE_VARCHAR: case engine::TYPE_VARBINARY: {
        const unsigned prefix = ColumnStorage::varcharLengthBytesOfWidth(l.m_length);
        const std::uint32_t n = static_cast<std::uint32_t>(r.uintLe(prefix));
        if (n > l.m_length - prefix)
            return corrupt(at, "VARCHAR length " + std::to_string(n) + " beyond its column");
        auto value = stringBytes(c, r.bytes(n), at);
        if (!value)
            return value.error();
        if (c.m_typeCode == engine::TYPE_VARBINARY)
            return RowValue::Stored(*value, &ValueText::binaryText);
        return RowValue::Stored(*value, &ValueText::storedCharacterText, c.m_charset);
    }
    default: break;
    }
    if (l.m_blobLengthBytes != 0) {
        const std::uint64_t n = r.uintLe(l.m_blobLengthBytes);
        const auto bytes = record.blob(l.m_fieldDef);
        if (bytes.size() != n)
            return corrupt(at, "blob length " + std::to_string(n) + " without its " + std::to_string(n) + " bytes");
        return blobValue(c, bytes, at, use);
    }
    return corrupt(at, "column type " + std::to_string(c.m_typeCode) + " has no MyISAM form");
}

} // namespace

platform::Result<RowValue> MyisamColumnDecoder::decode(const MyisamColumnLayout& l, const MyisamRecord& record,
                                                       Use use)
{
    if (l.m_nullMask != 0) {
        if (l.m_nullByte >= record.m_image.size())
            return corrupt(l.m_nullByte, "null flag outside the record");
        if (record.m_image[l.m_nullByte] & l.m_nullMask)
            return RowValue::Null();
    }
    if (l.m_virtual)
        return RowValue::Null();
    ByteReader image(record.m_image);
    ByteReader r = image.sub(l.m_offset, l.m_length);
    if (!r)
        return *r.error();
    auto value = decodeStored(l, record, r, use);
    if (value && !r)
        return *r.error();
    return value;
}

} // namespace recovery::myisam
