#include "engine/FrmDefaultValues.h"

#include "engine/FrmText.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <array>
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
// | date (10, 14)             | 3            | day bits 0-4, month 5-8, year 9-23          |
// | time (11)                 | 3            | signed HHMMSS (decimals > 0: not converted) |
// | datetime (12)             | 8            | YYYYMMDDHHMMSS (decimals > 0: not converted)|
// | timestamp (7)             | 4 (+frac)    | seconds since 1970 UTC; with decimals BE    |
// | timestamp2 (17)           | 4 + frac     | BE seconds, BE fraction                     |
// | datetime2 (18)            | 5 + frac     | BE, 0x8000000000 + packed ymd/hms            |
// | time2 (19)                | 3 + frac     | BE, 0x800000 + packed hms, signed            |
// | year                      | 1            | year - 1900, 0 = 0000                       |
// | char, binary              | length       | padded text                                 |
// | varchar (15)              | 1-2 + length | length prefix (2 bytes when length > 255)   |
// | enum, set                 | 1..8         | member number / member bit mask             |
// | blobs, geometry           | 9..12        | length + pointer, never a default here      |
// | decimal                   | per digits   | not converted                               |

namespace engine {

using platform::ByteReader;
using platform::DecodeError;
using platform::DecodeErrorCode;

namespace {

constexpr std::uint8_t kNullableFlag = 0x80;
constexpr std::uint8_t kBitAsBytesFlag = 0x10;
constexpr std::uint8_t kOldestVersion = 7;
constexpr std::uint32_t kMaxNullBit = 8u * 65535u; // the record length field is 16 bits

// Bytes of a binary DECIMAL for 0..8 leftover digits.
constexpr std::array<std::uint32_t, 9> kDecimalLeftoverBytes{0, 1, 1, 2, 2, 3, 3, 4, 4};

// MariaDB's own TIME(n) and DATETIME(n) of the older temporal types, n = 0..6.
constexpr std::array<std::uint32_t, 7> kTimeHiresBytes{3, 4, 4, 5, 5, 5, 6};
constexpr std::array<std::uint32_t, 7> kDatetimeHiresBytes{5, 6, 6, 7, 7, 7, 8};

// Blob codes and the size of their length + pointer in the record.
struct BlobWidth {
    ColumnTypeCode code;
    std::uint32_t width;
};
constexpr std::array kBlobWidths{
    BlobWidth{TYPE_TINYTEXT, 9},   BlobWidth{TYPE_TINYBLOB, 9},  BlobWidth{TYPE_TEXT, 10},
    BlobWidth{TYPE_BLOB, 10},      BlobWidth{TYPE_MEDIUMTEXT, 11}, BlobWidth{TYPE_MEDIUMBLOB, 11},
    BlobWidth{TYPE_LONGTEXT, 12},  BlobWidth{TYPE_LONGBLOB, 12},  BlobWidth{TYPE_GEOMETRY_OTHER, 12},
};

bool isUnsigned(const QString& sign)
{
    return sign == QLatin1String("unsigned") || sign == QLatin1String("unsigned zerofill");
}

QString two(unsigned v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString signedOrUnsigned(std::uint64_t raw, unsigned bytes, bool unsignedColumn)
{
    if (unsignedColumn || bytes == 0)
        return QString::number(raw);
    const unsigned shift = 64 - 8 * bytes;
    const auto value = static_cast<std::int64_t>(raw << shift) >> shift; // sign-extend
    return QString::number(value);
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

// Splits digits from the right into two-character parts, "00" when empty.
QString takeTwo(QString& digits)
{
    QString part = digits.right(2);
    digits.chop(part.size());
    return part.isEmpty() ? QStringLiteral("00") : part.rightJustified(2, QLatin1Char('0'));
}

QString timeText(std::uint32_t v)
{
    QString sign;
    std::uint32_t magnitude = v;
    if (v & 0x800000u) {
        sign = QStringLiteral("-");
        magnitude = 0x1000000u - v;
    }
    QString digits = QString::number(magnitude);
    const QString seconds = takeTwo(digits);
    const QString minutes = takeTwo(digits);
    const QString hours = digits.isEmpty() ? QStringLiteral("00") : digits.rightJustified(2, QLatin1Char('0'));
    return sign + hours + QLatin1Char(':') + minutes + QLatin1Char(':') + seconds;
}

QString datetimeText(std::int64_t v)
{
    QString digits = QString::number(v);
    const QString seconds = takeTwo(digits);
    const QString minutes = takeTwo(digits);
    const QString hours = takeTwo(digits);
    const QString day = takeTwo(digits);
    const QString month = takeTwo(digits);
    const QString year = digits.rightJustified(4, QLatin1Char('0'));
    return year + QLatin1Char('-') + month + QLatin1Char('-') + day + QLatin1Char(' ') + hours
        + QLatin1Char(':') + minutes + QLatin1Char(':') + seconds;
}

QString fractionText(std::uint32_t microseconds, unsigned decimals)
{
    if (decimals == 0)
        return {};
    return QLatin1Char('.')
        + QStringLiteral("%1").arg(microseconds, 6, 10, QLatin1Char('0')).left(static_cast<int>(decimals));
}

// Seconds since 1970 in UTC (the server keeps TIMESTAMP in UTC); two blanks
// between date and time, as the rest of the program writes it. 0 is no value.
QString timestampText(std::uint32_t seconds, std::uint32_t microseconds, unsigned decimals)
{
    if (seconds == 0 && microseconds == 0)
        return {};
    const QDateTime t = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::number(d.year()) + QLatin1Char('-') + two(d.month()) + QLatin1Char('-') + two(d.day())
        + QStringLiteral("  ") + two(tm.hour()) + QLatin1Char(':') + two(tm.minute()) + QLatin1Char(':')
        + two(tm.second()) + fractionText(microseconds, decimals);
}

// The 5.6 formats keep the fraction in 1, 2 or 3 bytes: hundredths,
// ten-thousandths or millionths of a second.
std::uint32_t microsFromFraction(std::uint64_t fraction, unsigned fractionBytes)
{
    switch (fractionBytes) {
    case 1: return static_cast<std::uint32_t>(fraction * 10000);
    case 2: return static_cast<std::uint32_t>(fraction * 100);
    default: return static_cast<std::uint32_t>(fraction);
    }
}

QString time2Text(ByteReader& value, unsigned decimals)
{
    const unsigned fb = fractionalSecondBytes(decimals);
    const std::uint64_t raw = value.uintBe(3 + fb);
    const std::int64_t packed = static_cast<std::int64_t>(raw) - (std::int64_t{0x800000} << (8 * fb));
    const bool negative = packed < 0;
    const std::uint64_t magnitude = static_cast<std::uint64_t>(negative ? -packed : packed);
    const std::uint64_t hms = magnitude >> (8 * fb);
    const std::uint64_t fraction = magnitude & ((std::uint64_t{1} << (8 * fb)) - 1);
    const auto hours = static_cast<unsigned>((hms >> 12) & 0x3FF);
    return (negative ? QStringLiteral("-") : QString()) + two(hours) + QLatin1Char(':')
        + two((hms >> 6) & 0x3F) + QLatin1Char(':') + two(hms & 0x3F)
        + fractionText(microsFromFraction(fraction, fb), decimals);
}

QString datetime2Text(ByteReader& value, unsigned decimals)
{
    const unsigned fb = fractionalSecondBytes(decimals);
    const std::uint64_t intPart = value.uintBe(5) - 0x8000000000ull;
    const std::uint64_t fraction = value.uintBe(fb);
    const std::uint64_t ymd = intPart >> 17;
    const std::uint64_t ym = ymd >> 5;
    const std::uint64_t hms = intPart & 0x1FFFF;
    return QString::number(ym / 13).rightJustified(4, QLatin1Char('0')) + QLatin1Char('-')
        + two(ym % 13) + QLatin1Char('-') + two(ymd & 31) + QLatin1Char(' ') + two(hms >> 12)
        + QLatin1Char(':') + two((hms >> 6) & 0x3F) + QLatin1Char(':') + two(hms & 0x3F)
        + fractionText(microsFromFraction(fraction, fb), decimals);
}

std::uint32_t enumWidth(std::uint8_t packLow)
{
    return packLow == 8 ? 1 : packLow == 16 ? 2 : 0;
}

std::uint32_t setWidth(std::uint8_t packLow)
{
    switch (packLow) {
    case 8: return 1;
    case 16: return 2;
    case 72: return 3;
    case 24: return 4;
    case 64: return 8;
    default: return 0;
    }
}

} // namespace

FrmDefaultValues::FrmDefaultValues(ByteReader record, bool packedRecord, std::uint8_t version)
    : m_record(record), m_version(version), m_nextNullBit(packedRecord ? 0 : 1)
{
}

std::uint32_t FrmDefaultValues::binaryDecimalSize(std::uint32_t precision, std::uint32_t scale)
{
    const std::uint32_t intDigits = precision > scale ? precision - scale : 0;
    return 4 * (intDigits / 9) + kDecimalLeftoverBytes[intDigits % 9] + 4 * (scale / 9)
        + kDecimalLeftoverBytes[scale % 9];
}

std::uint32_t FrmDefaultValues::valueWidth(const DefaultColInfo& c, std::uint8_t version)
{
    for (const auto& b : kBlobWidths) {
        if (b.code == c.typeCode)
            return b.width;
    }
    if (isSpatialCode(c.typeCode))
        return 12;
    const unsigned decimals = temporalDecimals(c.typeCode, c.length);
    switch (c.typeCode) {
    case TYPE_TINYINT: case TYPE_YEAR: return 1;
    case TYPE_SMALLINT: return 2;
    case TYPE_MEDIUMINT: case TYPE_DATE: case TYPE_NEWDATE: return 3;
    case TYPE_INT: case TYPE_FLOAT: return 4;
    case TYPE_BIGINT: case TYPE_DOUBLE: return 8;
    case TYPE_TIME: return kTimeHiresBytes[decimals];
    case TYPE_DATETIME: return decimals == 0 ? 8 : kDatetimeHiresBytes[decimals];
    case TYPE_TIMESTAMP: return 4 + fractionalSecondBytes(decimals);
    case TYPE_TIMESTAMP2: case TYPE_DATETIME2: case TYPE_TIME2: return temporal2StoredSize(c.typeCode, decimals);
    case TYPE_CHAR: case TYPE_BINARY: case TYPE_OLD_DECIMAL: case TYPE_VAR_STRING: case TYPE_VARBINARY:
        return c.length;
    case TYPE_VARCHAR: return version == kOldestVersion ? c.length : (c.length > 255 ? 2 : 1) + c.length;
    case TYPE_DECIMAL: return binaryDecimalSize(c.length, c.scale);
    case TYPE_ENUM: return enumWidth(c.packFlagLow);
    case TYPE_SET: return setWidth(c.packFlagLow);
    case TYPE_BIT: return (c.packFlagHigh & kBitAsBytesFlag) ? (c.length + 7) / 8 : c.length / 8;
    default: return 0;
    }
}

FrmDefaultValues::NullTest FrmDefaultValues::nullTestOf(ColumnTypeCode code)
{
    for (const auto& b : kBlobWidths) {
        if (b.code == code)
            return NullTest::Blob;
    }
    if (isSpatialCode(code))
        return NullTest::Blob;
    switch (code) {
    case TYPE_OLD_DECIMAL: case TYPE_TINYINT: case TYPE_SMALLINT: case TYPE_INT: case TYPE_FLOAT:
    case TYPE_DOUBLE: case TYPE_TIMESTAMP: case TYPE_BIGINT: case TYPE_MEDIUMINT: case TYPE_DATE:
    case TYPE_TIME: case TYPE_DATETIME: case TYPE_YEAR: case TYPE_NEWDATE: case TYPE_VARCHAR:
    case TYPE_BIT: case TYPE_TIMESTAMP2: case TYPE_DATETIME2: case TYPE_TIME2: case TYPE_DECIMAL:
    case TYPE_ENUM: case TYPE_SET: case TYPE_VAR_STRING: case TYPE_CHAR: case TYPE_BINARY:
    case TYPE_VARBINARY:
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

QString FrmDefaultValues::ReadFrmDefaultValue(const DefaultColInfo& column)
{
    // Flags are handed out even for columns we cannot decode, so later ones stay right.
    std::optional<std::uint32_t> nullBit;
    if (column.bNullable && m_nextNullBit < kMaxNullBit)
        nullBit = m_nextNullBit++;
    std::uint32_t bitOffset = 0;
    if (column.typeCode == TYPE_BIT && !(column.packFlagHigh & kBitAsBytesFlag)) {
        bitOffset = m_nextNullBit;
        m_nextNullBit = std::min(kMaxNullBit, m_nextNullBit + (column.length & 7));
    }

    switch (nullTestOf(column.typeCode)) {
    case NullTest::None:
        return {};
    case NullTest::Blob:
        // Blob values live outside the record; a NULL default is all it can have.
        return column.bNullable ? QStringLiteral("NULL") : QString();
    case NullTest::Standard:
        break;
    }
    if (nullBit && nullFlag(*nullBit))
        return QStringLiteral("NULL");
    if (!column.bNullable && !column.bHasDefault)
        return {};
    // The server rejects a DEFAULT on an auto_increment column; the counter supplies the value.
    if (column.bAutoIncrement)
        return {};
    ByteReader value;
    if (!valueReader(column, value))
        return {};
    return decode(column, value, bitOffset);
}

QString FrmDefaultValues::decodeVarchar(const DefaultColInfo& column, ByteReader value)
{
    std::uint64_t n = column.length;
    if (column.typeCode == TYPE_VARBINARY) {
        n = 0;
    } else if (column.typeCode == TYPE_VARCHAR && m_version != kOldestVersion) {
        n = value.uintLe(column.length > 255 ? 2 : 1);
        if (n > column.length) { // a damaged prefix must not reach past the column
            noteError(DecodeError{DecodeErrorCode::Corrupt, value.base(),
                                  "varchar default longer than its column"});
            n = column.length;
        }
    }
    if (n == 0)
        return column.bNullable ? QStringLiteral("NULL") : QString();
    return FrmText::columnText(value.bytes(n), column.charset);
}

QString FrmDefaultValues::decode(const DefaultColInfo& column, ByteReader value, std::uint32_t bitOffset)
{
    const bool unsignedColumn = isUnsigned(column.sign);
    const unsigned decimals = temporalDecimals(column.typeCode, column.length);
    switch (column.typeCode) {
    case TYPE_TINYINT: return signedOrUnsigned(value.u8(), 1, unsignedColumn);
    case TYPE_SMALLINT: return signedOrUnsigned(value.u16le(), 2, unsignedColumn);
    case TYPE_MEDIUMINT: return signedOrUnsigned(value.u24le(), 3, unsignedColumn);
    case TYPE_INT: return signedOrUnsigned(value.u32le(), 4, unsignedColumn);
    case TYPE_BIGINT: return signedOrUnsigned(value.u64le(), 8, unsignedColumn);
    case TYPE_FLOAT: return floatingText(std::bit_cast<float>(value.u32le()), true);
    case TYPE_DOUBLE: return floatingText(std::bit_cast<double>(value.u64le()), false);
    case TYPE_DATE:
    case TYPE_NEWDATE: {
        const std::uint32_t v = value.u24le();
        return QString::number(v >> 9) + QLatin1Char('-') + two((v >> 5) & 15) + QLatin1Char('-') + two(v & 31);
    }
    case TYPE_TIME:
        // With decimals the server keeps its own packed form; not converted.
        return decimals == 0 ? timeText(value.u24le()) : QString();
    case TYPE_DATETIME:
        return decimals == 0 ? datetimeText(static_cast<std::int64_t>(value.u64le())) : QString();
    case TYPE_TIMESTAMP:
        if (decimals == 0)
            return timestampText(value.u32le(), 0, 0);
        [[fallthrough]]; // with decimals: big-endian seconds and fraction, as TIMESTAMP2
    case TYPE_TIMESTAMP2: {
        const std::uint32_t seconds = value.u32be();
        const unsigned fb = fractionalSecondBytes(decimals);
        const std::uint64_t fraction = value.uintBe(fb);
        // TIMESTAMP(n) counts the fraction in units of 10^-n seconds.
        std::uint32_t micros = microsFromFraction(fraction, fb);
        if (column.typeCode == TYPE_TIMESTAMP) {
            micros = static_cast<std::uint32_t>(fraction);
            for (unsigned i = decimals; i < 6; ++i)
                micros *= 10;
        }
        return timestampText(seconds, micros, decimals);
    }
    case TYPE_DATETIME2: return datetime2Text(value, decimals);
    case TYPE_TIME2: return time2Text(value, decimals);
    case TYPE_YEAR: {
        const std::uint8_t b = value.u8();
        if (b == 0)
            return QStringLiteral("00");
        return QString::number(1900 + b).right(static_cast<int>(std::min<std::uint32_t>(column.length, 4)));
    }
    case TYPE_CHAR:
    case TYPE_BINARY: return FrmText::columnText(value.bytes(column.length), column.charset);
    case TYPE_VARCHAR:
    case TYPE_VAR_STRING:
    case TYPE_VARBINARY: return decodeVarchar(column, value);
    case TYPE_ENUM:
    case TYPE_SET: return QString::number(value.uintLe(static_cast<unsigned>(value.size())));
    case TYPE_BIT: {
        const auto wholeBytes = static_cast<unsigned>(value.size());
        std::uint64_t v = value.uintBe(std::min(wholeBytes, 8u));
        if (!(column.packFlagHigh & kBitAsBytesFlag) && (column.length & 7) && wholeBytes < 8)
            v |= oddBits(bitOffset, column.length & 7) << (8 * wholeBytes);
        return QString::number(v);
    }
    default: return {}; // decimals: the table creation gives them a default of its own
    }
}

} // namespace engine
