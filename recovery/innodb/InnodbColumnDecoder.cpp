#include "recovery/innodb/InnodbColumnDecoder.h"

#include "platform/ByteReader.h"
#include "recovery/CSinglePrecision.h"
#include "recovery/ColumnStorage.h"
#include "recovery/CompressedValue.h"
#include "recovery/DoubleFromBits.h"
#include "recovery/PluginTypeText.h"
#include "recovery/ValueText.h"

#include <QByteArray>

// Column values in a clustered-index record (n = stored bytes):
//
// | Type                          | n              | Stored as                                  |
// |-------------------------------|----------------|--------------------------------------------|
// | TINYINT..BIGINT               | 1,2,3,4,8      | big-endian; signed: top bit flipped        |
// | FLOAT, DOUBLE                 | 4, 8           | IEEE 754, least significant byte first     |
// | DECIMAL                       | per digits     | binary decimal (ValueText)                 |
// | DATE                          | 3              | big-endian, top bit flipped: y<<9|m<<5|d   |
// | TIME (no decimals)            | 3              | big-endian, top bit flipped: signed HHMMSS |
// | DATETIME (no decimals)        | 8              | big-endian, top bit flipped: YYYYMMDDhhmmss|
// | TIMESTAMP (no decimals)       | 4              | big-endian seconds since 1970 UTC          |
// | TIME/DATETIME/TIMESTAMP(n),   | per decimals   | the server's own big-endian forms          |
// | TIME2/DATETIME2/TIMESTAMP2    |                | (ValueText)                                |
// | YEAR                          | 1              | year - 1900                                |
// | BIT(m)                        | (m + 7) / 8    | big-endian bits                            |
// | ENUM, SET                     | 1-2, 1-8       | big-endian member number / bit mask        |
// | CHAR                          | length         | padded with blanks; COMPACT keeps a length |
// |                               |                | for variable-width character sets          |
// | BINARY                        | length         | padded with zero bytes                     |
// | VARCHAR, BLOB, TEXT, geometry | from header    | the bytes                                  |
// | the same declared COMPRESSED  | from header    | a header byte, then the bytes as they are  |
// |                               |                | or deflated (CompressedValue)              |
// | UUID, INET6, INET4            | 16, 16, 4      | as in MyISAM (PluginTypeText)              |

namespace recovery::innodb {

using engine::RowValue;
using engine::tempColInfo;
using platform::ByteReader;
using platform::DecodeError;
using platform::Result;
using recovery::NumberColumn;
using recovery::ShortText;
using namespace engine;

namespace {

constexpr std::uint32_t kTimeBias = 0x800000;
constexpr std::uint64_t kDatetimeBias = 0x8000000000000000ull;

bool isUnsigned(const tempColInfo& column)
{
    return column.m_signText.contains(QLatin1String("unsigned"), Qt::CaseInsensitive);
}

std::uint32_t fixedWidthOf(const tempColInfo& c)
{
    ColumnShape shape;
    shape.typeCode = c.m_typeCode;
    shape.length = c.m_length;
    shape.scale = c.m_scale;
    shape.bitsAsBytes = true; // InnoDB has no bit support: BIT keeps all its bits in its bytes
    return ColumnStorage::storedWidth(shape, StoredIn::InnodbRecord);
}

RowValue asciiValue(const ShortText& text)
{
    return RowValue::Ascii(text.data(), text.size());
}

Result<RowValue> asciiValue(const Result<ShortText>& text)
{
    if (!text)
        return text.error();
    return asciiValue(*text);
}

Result<RowValue> integerValue(const tempColInfo& c, ByteReader& r, unsigned n)
{
    const std::uint64_t raw = r.uintBe(n);
    const std::uint64_t flipped = raw ^ (1ull << (8 * n - 1));
    return ValueText::numberValue(NumberColumn::of(c), isUnsigned(c) ? ValueText::unsignedAscii(raw)
                                                  : ValueText::signedAscii(ValueText::signExtend(flipped, n)));
}

RowValue storedValue(const tempColInfo& c, const QByteArray& stored)
{
    if (isBinaryStringCode(c.m_typeCode) || c.m_charset == kBinaryCollation || isSpatialCode(c.m_typeCode))
        return RowValue::Stored(stored, &ValueText::binaryText);
    return RowValue::Stored(stored, &ValueText::storedCharacterText, c.m_charset);
}

Result<RowValue> characterValue(const tempColInfo& c, std::span<const std::uint8_t> bytes)
{
    std::size_t size = bytes.size();
    // The server pads CHAR with blanks and strips them when it reads.
    if (c.m_typeCode == TYPE_CHAR && c.m_charset != kBinaryCollation)
        while (size > 0 && bytes[size - 1] == 0x20)
            --size;
    const auto kept = bytes.first(size);
    return storedValue(c, QByteArray(reinterpret_cast<const char*>(kept.data()), static_cast<qsizetype>(kept.size())));
}

DecodeError sizeError(std::uint64_t offset, const tempColInfo& c, std::size_t size)
{
    return platform::corrupt(offset, "column " + c.m_name.toStdString() + " has " + std::to_string(size)
                                         + " bytes, which its type cannot hold");
}

} // namespace

bool InnodbColumnDecoder::isVariableWidthCharset(std::uint16_t collation)
{
    const std::uint16_t c = collation >= 1024 && collation < 2048 ? collation - 1024 : collation;
    if (ValueText::isUtf8Collation(c))
        return true;
    // utf16 (2 or 4 bytes), and the multi-byte Asian sets.
    const bool utf16 = c == 54 || c == 55 || (c >= 101 && c <= 124) || c == 56 || c == 62
        || (c >= 672 && c <= 674);
    switch (c) {
    case 1: case 84: case 12: case 91: case 13: case 88: case 19: case 85: case 24: case 86:
    case 28: case 87: case 95: case 96: case 97: case 98:
        return true;
    default:
        return utf16;
    }
}

std::optional<FieldShape> InnodbColumnDecoder::shapeOf(const tempColInfo& column, RecordFormat format)
{
    const ColumnTypeCode code = column.m_typeCode;
    if (code == TYPE_CHAR) {
        if (format == RecordFormat::Compact && isVariableWidthCharset(column.m_charset))
            return FieldShape{0, column.m_length > 255};
        return FieldShape{column.m_length, false};
    }
    if (code == TYPE_BINARY)
        return FieldShape{column.m_length, false};
    if (code == TYPE_VARCHAR || code == TYPE_VAR_STRING || code == TYPE_VARBINARY || code == TYPE_OLD_DECIMAL)
        return FieldShape{0, ColumnStorage::varcharStoredBytes(column.m_length, column.m_compressed) > 255};
    if (isTextOrBlobCode(code) || code == TYPE_GEOMETRY_OTHER)
        return FieldShape{0, true};
    const std::uint32_t width = fixedWidthOf(column);
    if (width == 0)
        return std::nullopt;
    return FieldShape{width, false};
}

Result<RowValue> InnodbColumnDecoder::convert(const tempColInfo& c, const QStringList& members,
                                              std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    const std::uint32_t fixed = fixedWidthOf(c);
    const bool fixedType = fixed != 0 && c.m_typeCode != TYPE_CHAR && c.m_typeCode != TYPE_BINARY;
    if (fixedType && bytes.size() != fixed)
        return sizeError(offset, c, bytes.size());
    if (c.m_compressed) {
        const auto value = CompressedValue::expand(bytes, CompressedValue::maxLength(c.m_typeCode, c.m_length), offset);
        if (!value)
            return value.error();
        return storedValue(c, *value);
    }
    const auto n = static_cast<unsigned>(bytes.size());
    ByteReader r(bytes, offset);
    if (ValueText::bigEndianTemporalSize(c.m_typeCode, c.m_length))
        return asciiValue(ValueText::bigEndianTemporalAscii(c.m_typeCode, c.m_length, bytes, offset));
    switch (c.m_typeCode) {
    case TYPE_TINYINT: case TYPE_SMALLINT: case TYPE_MEDIUMINT: case TYPE_INT: case TYPE_BIGINT:
        return integerValue(c, r, n);
    case TYPE_FLOAT: {
        double value = 0;
        CSinglePrecision(r.u32le()).ToDouble(value);
        return ValueText::floatingValue(NumberColumn::of(c), value);
    }
    case TYPE_DOUBLE: {
        double value = 0;
        DoubleFromBits(r.u64le(), value);
        return ValueText::floatingValue(NumberColumn::of(c), value);
    }
    case TYPE_DECIMAL:
        return ValueText::numberValue(NumberColumn::of(c), ValueText::decimalAscii(bytes, c.m_length, c.m_scale, offset));
    case TYPE_DATE: case TYPE_NEWDATE: return asciiValue(ValueText::dateAscii(r.u24be() ^ kTimeBias));
    case TYPE_TIME:
        return asciiValue(ValueText::timeAscii(static_cast<std::int64_t>(r.u24be()) - kTimeBias));
    case TYPE_DATETIME: return asciiValue(ValueText::datetimeAscii(r.u64be() ^ kDatetimeBias));
    case TYPE_TIMESTAMP: return asciiValue(ValueText::timestampAscii(r.u32be()));
    case TYPE_YEAR: return ValueText::yearValue(r.u8(), c.m_length);
    case TYPE_BIT: {
        if (n > 8)
            return sizeError(offset, c, n);
        const QByteArray stored(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(n));
        return RowValue::Stored(stored, ValueText::unsignedText(r.uintBe(n)));
    }
    case TYPE_ENUM:
        if (n > 2)
            return sizeError(offset, c, n);
        return RowValue::Text(ValueText::enumText(r.uintBe(n), members));
    case TYPE_SET:
        if (n > 8)
            return sizeError(offset, c, n);
        return RowValue::Text(ValueText::setText(r.uintBe(n), members));
    case TYPE_OLD_DECIMAL: return RowValue::Text(ValueText::oldDecimalText(bytes));
    case TYPE_UUID: case TYPE_UUID_ALWAYS_TURNED: case TYPE_INET6: case TYPE_INET4:
        return asciiValue(PluginTypeText::ascii(c.m_typeCode, bytes, offset));
    default:
        if (shapeOf(c, RecordFormat::Compact))
            return characterValue(c, bytes);
        return platform::corrupt(offset, "column " + c.m_name.toStdString() + " has a type this reader cannot decode");
    }
}

} // namespace recovery::innodb
