#include "engine/FrmDefaultValues.h"

#include "model/FrmText.h"
#include "recovery/ColumnStorage.h"
#include "recovery/CompressedValue.h"
#include "recovery/PluginTypeText.h"
#include "recovery/ValueText.h"

#include <QLocale>
#include <QRegularExpression>

#include <bit>
#include <cmath>
#include <cstdio>

// Default record of a table definition (little-endian unless noted):
//
// | Offset        | Size       | Meaning                                             |
// |---------------|------------|-----------------------------------------------------|
// | 0             | B          | null flags: flag i is bit (i mod 8) of byte i div 8  |
// | field pos - 1 | per type   | the column's default value (pos from its field record)|
//
// Null flags are handed out in field order: flag 0 first when the table has
// the pack-record option, else flag 1 (flag 0 is the row's deleted mark).
// A nullable column takes the next flag; then a BIT(n) column kept as bits
// takes n mod 8 more for its top bits (its whole bytes sit at its position,
// most significant first). BIT columns of engines without bit support (pack
// flag 0x1000) keep all their (n + 7) / 8 bytes at their position.
//
// Values by type:
// | Type                      | Size         | Stored as                                   |
// |---------------------------|--------------|---------------------------------------------|
// | tinyint..bigint           | 1,2,3,4,8    | two's complement                            |
// | float, double             | 4, 8         | IEEE 754                                    |
// | date (10, 14)             | 3 (10: 4)    | day bits 0-4, month 5-8, year 9-23          |
// | time (11)                 | 3            | signed HHMMSS (decimals > 0: not converted) |
// | datetime (12)             | 8            | YYYYMMDDHHMMSS (decimals > 0: not converted)|
// | timestamp (7)             | 4 (+frac)    | seconds since 1970 UTC; with decimals BE    |
// | timestamp2 (17)           | 4 + frac     | BE seconds, BE fraction                     |
// | datetime2 (18)            | 5 + frac     | BE, 0x8000000000 + packed ymd/hms            |
// | time2 (19)                | 3 + frac     | BE, 0x800000 + packed hms, signed            |
// | year                      | 1            | year - 1900, 0 = 0000                       |
// | char, binary              | length       | padded text (binary: padded with zeros)     |
// | varchar, varbinary (15)   | 1-2 + length | length prefix (2 bytes when length > 255)   |
// |   declared COMPRESSED     |              | then a header byte (CompressedValue)        |
// | enum, set                 | 1..8         | member number / member bit mask             |
// | blobs, geometry           | 9..12        | length + pointer, never a default here      |
// | decimal (246)             | per digits   | the server's binary DECIMAL                 |
// | old decimal (0)           | length       | the number as text, right-aligned           |
//
// Widths come from ColumnStorage (the server's record), the temporal values
// from the row readers' ValueText, with their range checks. The texts differ
// from a row's in a few places that the table creation relies on: a DATE's
// year has no leading zeros ("0-00-00"), a TIMESTAMP has two blanks between
// date and time and the zero TIMESTAMP is no value, a zero YEAR is "0000"
// whatever its width.
// A string whose value is empty is the default '', told apart from "no
// DEFAULT clause" by FrmDefault::emptyString.

namespace engine {

using platform::ByteReader;
using platform::DecodeError;
using platform::DecodeErrorCode;

namespace {

using recovery::ColumnStorage;
using recovery::ValueText;

constexpr std::uint32_t kMaxNullBit = 8u * 65535u; // the record length field is 16 bits

bool isUnsigned(const QString& sign)
{
    return sign == QLatin1String("unsigned") || sign == QLatin1String("unsigned zerofill");
}

QString integerText(std::uint64_t raw, unsigned bytes, bool unsignedColumn)
{
    return unsignedColumn ? ValueText::unsignedText(raw) : ValueText::signedText(ValueText::signExtend(raw, bytes));
}

// printf "%f" as long as it keeps the value; tiny or very precise values
// would lose digits there, so they get the shortest exact form instead.
QString floatingText(double value, bool single)
{
    if (!std::isfinite(value))
        return {};
    char buf[400];
    std::snprintf(buf, sizeof buf, "%f", value);
    const double back = std::strtod(buf, nullptr);
    const bool kept = single ? static_cast<float>(back) == static_cast<float>(value) : back == value;
    if (kept)
        return QString::fromLatin1(buf);
    return single ? QString::number(static_cast<float>(value), 'g', QLocale::FloatingPointShortest)
                  : QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// "0000-00-00" -> "0-00-00", "0999-01-01" -> "999-01-01".
QString unpaddedYear(const QString& date)
{
    qsizetype zeros = 0;
    while (zeros < 3 && zeros < date.size() && date[zeros] == QLatin1Char('0'))
        ++zeros;
    return date.mid(zeros);
}

// Two blanks between date and time, as the rest of the program writes a TIMESTAMP.
QString timestampDefault(QString text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank >= 0)
        text.insert(blank, QLatin1Char(' '));
    return text;
}

bool allZero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

bool isStringCode(ColumnTypeCode code)
{
    return code == TYPE_BINARY || code == TYPE_VARCHAR || code == TYPE_VAR_STRING || code == TYPE_VARBINARY;
}

// "-12.50", "0001.5": what an old DECIMAL keeps, blanks cut off.
bool isOldDecimalText(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]*)?$"));
    return number.match(text).hasMatch();
}

} // namespace

FrmDefaultValues::FrmDefaultValues(ByteReader record, bool packedRecord, std::uint8_t version)
    : m_record(record), m_version(version), m_nextNullBit(packedRecord ? 0 : 1)
{
}

std::uint32_t FrmDefaultValues::binaryDecimalSize(std::uint32_t precision, std::uint32_t scale)
{
    return ValueText::decimalStoredSize(precision, scale);
}

std::uint32_t FrmDefaultValues::valueWidth(const DefaultColInfo& c, std::uint8_t version)
{
    recovery::ColumnShape shape;
    shape.typeCode = c.typeCode;
    shape.length = c.length;
    if (c.typeCode == TYPE_ENUM)
        shape.length = ColumnStorage::enumBytes(c.packFlagLow);
    else if (c.typeCode == TYPE_SET)
        shape.length = ColumnStorage::setBytes(c.packFlagLow);
    shape.scale = c.scale;
    shape.bitsAsBytes = (c.packFlagHigh & kPackFlagBitsAsBytes) != 0;
    // The oldest definitions keep VARCHAR at its full length without a length.
    shape.varcharPrefix = version != kOldestVersion;
    return ColumnStorage::storedWidth(shape, recovery::StoredIn::ServerRecord);
}

FrmDefaultValues::NullTest FrmDefaultValues::nullTestOf(ColumnTypeCode code)
{
    if (ColumnStorage::blobLengthBytes(code) != 0)
        return NullTest::Blob;
    switch (code) {
    case TYPE_OLD_DECIMAL: case TYPE_TINYINT: case TYPE_SMALLINT: case TYPE_INT: case TYPE_FLOAT:
    case TYPE_DOUBLE: case TYPE_TIMESTAMP: case TYPE_BIGINT: case TYPE_MEDIUMINT: case TYPE_DATE:
    case TYPE_TIME: case TYPE_DATETIME: case TYPE_YEAR: case TYPE_NEWDATE: case TYPE_VARCHAR:
    case TYPE_BIT: case TYPE_TIMESTAMP2: case TYPE_DATETIME2: case TYPE_TIME2: case TYPE_DECIMAL:
    case TYPE_ENUM: case TYPE_SET: case TYPE_VAR_STRING: case TYPE_CHAR: case TYPE_BINARY:
    case TYPE_VARBINARY: case TYPE_UUID: case TYPE_UUID_ALWAYS_TURNED: case TYPE_INET6: case TYPE_INET4:
        return NullTest::Standard;
    default:
        return NullTest::None; // TYPE_NULL and codes we do not know: nothing to read
    }
}

void FrmDefaultValues::noteError(const DecodeError& error)
{
    if (!m_error)
        m_error = error;
}

bool FrmDefaultValues::nullFlag(std::uint32_t bit)
{
    if (!m_record.canRead(bit / 8, 1)) {
        noteError(DecodeError{DecodeErrorCode::OutOfRange, m_record.base() + bit / 8,
                              "null flag " + std::to_string(bit) + " past the default record"});
        return false;
    }
    ByteReader r = m_record.sub(bit / 8, 1);
    return (r.u8() >> (bit % 8)) & 1u;
}

std::uint64_t FrmDefaultValues::oddBits(std::uint32_t firstBit, std::uint32_t count)
{
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        value |= std::uint64_t{nullFlag(firstBit + i)} << i;
    return value;
}

bool FrmDefaultValues::valueReader(const DefaultColInfo& column, ByteReader& out)
{
    const std::uint32_t width = valueWidth(column, m_version);
    out = m_record.sub(column.recordOffset, width);
    if (out)
        return true;
    noteError(*out.error());
    return false;
}

FrmDefault FrmDefaultValues::ReadFrmDefaultValue(const DefaultColInfo& column)
{
    // Flags are handed out even for columns we cannot decode, so later ones stay right.
    std::optional<std::uint32_t> nullBit;
    if (column.bNullable && m_nextNullBit < kMaxNullBit)
        nullBit = m_nextNullBit++;
    std::uint32_t bitOffset = 0;
    if (column.typeCode == TYPE_BIT && !(column.packFlagHigh & kPackFlagBitsAsBytes)) {
        bitOffset = m_nextNullBit;
        m_nextNullBit = std::min(kMaxNullBit, m_nextNullBit + (column.length & 7));
    }

    switch (nullTestOf(column.typeCode)) {
    case NullTest::None:
        return {};
    case NullTest::Blob:
        // Blob values live outside the record; a NULL default is all it can have.
        return {column.bNullable ? QStringLiteral("NULL") : QString()};
    case NullTest::Standard:
        break;
    }
    if (nullBit && nullFlag(*nullBit))
        return {QStringLiteral("NULL")};
    if (!column.bNullable && !column.bHasDefault)
        return {};
    // The server rejects a DEFAULT on an auto_increment column; the counter supplies the value.
    if (column.bAutoIncrement)
        return {};
    ByteReader value;
    if (!valueReader(column, value))
        return {};
    if (isStringCode(column.typeCode))
        return decodeString(column, value);
    return {decode(column, value, bitOffset)};
}

FrmDefault FrmDefaultValues::decodeString(const DefaultColInfo& column, ByteReader value)
{
    const bool binary = column.typeCode == TYPE_BINARY || column.typeCode == TYPE_VARBINARY;
    const bool prefixed =
        (column.typeCode == TYPE_VARCHAR || column.typeCode == TYPE_VARBINARY) && m_version != kOldestVersion;
    std::uint64_t n = column.length;
    if (prefixed) {
        n = value.uintLe(ColumnStorage::varcharLengthBytes(column.length));
        if (n > column.length) { // a damaged prefix must not reach past the column
            noteError(platform::corrupt(value.base(), "varchar default longer than its column"));
            n = column.length;
        }
    }
    auto bytes = value.bytes(n);
    QByteArray expanded;
    if (column.compressed && prefixed) {
        // The definition's length counts the header byte.
        auto plain = recovery::CompressedValue::expand(bytes, column.length > 0 ? column.length - 1 : 0, value.base());
        if (!plain) {
            noteError(plain.error());
            return {};
        }
        expanded = std::move(*plain);
        bytes = std::span(reinterpret_cast<const std::uint8_t*>(expanded.constData()),
                          static_cast<std::size_t>(expanded.size()));
    }
    FrmDefault result;
    if (binary) {
        // Every byte counts, zero bytes too; only a fixed length's padding goes.
        std::size_t end = bytes.size();
        while (!prefixed && end > 0 && bytes[end - 1] == 0)
            --end;
        result.text = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(end));
    } else {
        result.text = FrmText::columnText(bytes, column.charset);
    }
    // The null flag was clear: an empty value is the empty string, not NULL.
    result.emptyString = result.text.isEmpty();
    return result;
}

QString FrmDefaultValues::decimal(const DefaultColInfo& column, ByteReader value)
{
    const auto bytes = value.bytes(value.size());
    if (column.typeCode == TYPE_OLD_DECIMAL) {
        const QString text = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<qsizetype>(bytes.size())).trimmed();
        if (isOldDecimalText(text))
            return text;
        noteError(platform::corrupt(value.base(), "old DECIMAL default that is not a number"));
        return {};
    }
    const auto text = ValueText::decimalText(bytes, column.length, column.scale, value.base());
    if (text)
        return *text;
    noteError(text.error());
    return {};
}

QString FrmDefaultValues::bigEndianTemporal(const DefaultColInfo& column, std::span<const std::uint8_t> bytes,
                                            std::uint64_t offset)
{
    const auto text = ValueText::bigEndianTemporalText(column.typeCode, column.length, bytes, offset);
    if (text)
        return *text;
    noteError(text.error());
    return {};
}

QString FrmDefaultValues::decode(const DefaultColInfo& column, ByteReader value, std::uint32_t bitOffset)
{
    const bool unsignedColumn = isUnsigned(column.sign);
    const unsigned decimals = temporalDecimals(column.typeCode, column.length);
    switch (column.typeCode) {
    case TYPE_TINYINT: return integerText(value.u8(), 1, unsignedColumn);
    case TYPE_SMALLINT: return integerText(value.u16le(), 2, unsignedColumn);
    case TYPE_MEDIUMINT: return integerText(value.u24le(), 3, unsignedColumn);
    case TYPE_INT: return integerText(value.u32le(), 4, unsignedColumn);
    case TYPE_BIGINT: return integerText(value.u64le(), 8, unsignedColumn);
    case TYPE_FLOAT: return floatingText(std::bit_cast<float>(value.u32le()), true);
    case TYPE_DOUBLE: return floatingText(std::bit_cast<double>(value.u64le()), false);
    case TYPE_DATE:
    case TYPE_NEWDATE: return unpaddedYear(ValueText::dateText(value.u24le()));
    case TYPE_TIME:
        // With decimals the server keeps its own packed form; not converted.
        return decimals == 0 ? ValueText::timeText(ValueText::signExtend(value.u24le(), 3)) : QString();
    case TYPE_DATETIME: return decimals == 0 ? ValueText::datetimeText(value.u64le()) : QString();
    case TYPE_TIMESTAMP:
        if (decimals == 0) {
            const std::uint32_t seconds = value.u32le();
            return seconds == 0 ? QString() : timestampDefault(ValueText::timestampText(seconds));
        }
        [[fallthrough]]; // with decimals: big-endian seconds and fraction
    case TYPE_TIMESTAMP2: {
        const auto bytes = value.bytes(value.size());
        if (allZero(bytes))
            return {}; // the zero timestamp: no value
        return timestampDefault(bigEndianTemporal(column, bytes, value.base()));
    }
    case TYPE_DATETIME2:
    case TYPE_TIME2: return bigEndianTemporal(column, value.bytes(value.size()), value.base());
    case TYPE_YEAR: {
        const std::uint8_t b = value.u8();
        if (b == 0)
            return QStringLiteral("0000"); // '00' would make the server's default 2000
        return ValueText::yearText(b).right(static_cast<int>(std::min<std::uint32_t>(column.length, 4)));
    }
    case TYPE_CHAR: return FrmText::columnText(value.bytes(column.length), column.charset);
    case TYPE_OLD_DECIMAL:
    case TYPE_DECIMAL: return decimal(column, value);
    case TYPE_ENUM:
    case TYPE_SET: return QString::number(value.uintLe(static_cast<unsigned>(value.size())));
    case TYPE_BIT: {
        const auto wholeBytes = static_cast<unsigned>(value.size());
        std::uint64_t v = value.uintBe(std::min(wholeBytes, 8u));
        if (!(column.packFlagHigh & kPackFlagBitsAsBytes) && (column.length & 7) && wholeBytes < 8)
            v |= oddBits(bitOffset, column.length & 7) << (8 * wholeBytes);
        return QString::number(v);
    }
    case TYPE_UUID: case TYPE_UUID_ALWAYS_TURNED: case TYPE_INET6: case TYPE_INET4: {
        const auto text = recovery::PluginTypeText::ascii(column.typeCode, value.bytes(value.size()), value.base());
        if (text)
            return text->toString();
        noteError(text.error());
        return {};
    }
    default: return {};
    }
}

} // namespace engine
