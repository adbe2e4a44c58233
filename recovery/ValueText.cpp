#include "recovery/ValueText.h"

#include "engine/Collations.h"
#include "engine/FrmText.h"

#include "platform/ByteReader.h"

#include <QByteArrayView>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

// Stored forms turned into text here (B = big-endian):
//
// | Form              | Bytes        | Layout                                                   |
// |-------------------|--------------|----------------------------------------------------------|
// | binary DECIMAL    | per digits   | integer groups, then fraction groups; 9 digits per 4 B   |
// |                   |              | bytes, 1-8 leftover digits in 1-4 bytes; top bit of the  |
// |                   |              | first byte set = not negative; negative: all bytes ~b    |
// | DATE              | 3            | day bits 0-4, month 5-8, year 9-23                       |
// | DATETIME (old)    | 8            | the number YYYYMMDDhhmmss                                |
// | TIME (old)        | 3            | the signed number HHHMMSS                                |
// | TIMESTAMP (old)   | 4            | seconds since 1970-01-01 UTC; 0 = zero timestamp         |
// | TIMESTAMP2        | 4 + f        | B seconds, B fraction (f=1: 1/100 s, 2: 1/10^4, 3: usec) |
// | DATETIME2         | 5 + f        | B 0x8000000000 + (((y*13+m) << 5 | d) << 17 | h<<12 |    |
// |                   |              | mi<<6 | s), B signed fraction as TIMESTAMP2              |
// | TIME2             | 3 + f        | B 0x800000 << 8f + signed (h<<12 | mi<<6 | s) << 8f +   |
// |                   |              | fraction                                                 |
// | TIMESTAMP(n) old  | 4 + s[n]     | B seconds, B fraction in units of 10^-n s;               |
// |                   |              | s = 0,1,1,2,2,3,3                                        |
// | DATETIME(n) old   | 5,6,6,7,7,7,8| B ((((((y*13+m)*32+d)*24+h)*60+mi)*60+s)*10^6+us)/10^(6-n)|
// | TIME(n) old       | 3,4,4,5,5,5,6| B (3020400*10^6 +- total us) / 10^(6-n)                  |
// | YEAR              | 1            | year - 1900; 0 = 0000                                    |
//
// f = (n + 1) / 2 bytes of fraction for n = 0..6 decimals.

namespace recovery {

using engine::ColumnTypeCode;
using platform::ByteReader;
using platform::DecodeError;
using platform::DecodeErrorCode;
using platform::Result;

namespace {

// Bytes of a decimal group of 0..8 leftover digits.
constexpr std::array<std::uint32_t, 9> kLeftoverBytes{0, 1, 1, 2, 2, 3, 3, 4, 4};
constexpr std::array<std::uint32_t, 10> kPowersOf10{1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};
constexpr std::uint32_t kDigitsPerGroup = 9;
constexpr std::uint32_t kGroupBytes = 4;

// MariaDB's older TIME(n) counts from -838:59:59.999999.
constexpr std::uint64_t kTimeHiresZeroSeconds = 3020400;
constexpr std::array<std::uint32_t, 7> kTimeHiresBytes{3, 4, 4, 5, 5, 5, 6};
constexpr std::array<std::uint32_t, 7> kDatetimeHiresBytes{5, 6, 6, 7, 7, 7, 8};
constexpr std::array<std::uint32_t, 7> kTimestampHiresFractionBytes{0, 1, 1, 2, 2, 3, 3};
constexpr std::uint64_t kDatetime2Bias = 0x8000000000ull;
constexpr std::uint64_t kTime2Bias = 0x800000ull;

QString pad(std::uint64_t value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

QString fractionText(std::uint32_t micros, unsigned decimals)
{
    if (decimals == 0)
        return {};
    const unsigned shown = decimals > 6 ? 6 : decimals;
    return QLatin1Char('.') + pad(micros / kPowersOf10[6 - shown], static_cast<int>(shown));
}

QString hmsText(bool negative, std::uint64_t hours, std::uint64_t minutes, std::uint64_t seconds)
{
    return (negative ? QStringLiteral("-") : QString()) + pad(hours, 2) + QLatin1Char(':') + pad(minutes, 2)
        + QLatin1Char(':') + pad(seconds, 2);
}

QString ymdText(std::uint64_t year, std::uint64_t month, std::uint64_t day)
{
    return pad(year, 4) + QLatin1Char('-') + pad(month, 2) + QLatin1Char('-') + pad(day, 2);
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// Shortest digits and decimal exponent (value = 0.DIGITS * 10^decpt).
struct Digits {
    std::string digits;
    int decpt = 0;
    bool negative = false;
};

Digits shortestDigits(double value, int maxDigits)
{
    Digits out;
    out.negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    char buffer[64];
    std::to_chars_result r{};
    if (maxDigits > 0)
        r = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, maxDigits - 1);
    else
        r = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    const std::string text(buffer, r.ptr);
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            out.digits += text[i];
    while (out.digits.size() > 1 && out.digits.back() == '0')
        out.digits.pop_back();
    out.decpt = std::stoi(text.substr(e + 1)) + 1;
    return out;
}

// The server's layout: fixed notation unless the decimal exponent is far out.
QString layoutDigits(const Digits& d)
{
    const int len = static_cast<int>(d.digits.size());
    std::string text = d.negative ? "-" : "";
    if (d.digits == "0")
        return QString::fromStdString(text + "0");
    const bool fixed = d.decpt >= -14 && (d.decpt <= 15 || len > d.decpt);
    if (fixed) {
        if (d.decpt <= 0)
            text += "0." + std::string(static_cast<std::size_t>(-d.decpt), '0') + d.digits;
        else if (d.decpt < len)
            text += d.digits.substr(0, static_cast<std::size_t>(d.decpt)) + "." + d.digits.substr(static_cast<std::size_t>(d.decpt));
        else
            text += d.digits + std::string(static_cast<std::size_t>(d.decpt - len), '0');
    } else {
        text += d.digits.substr(0, 1);
        if (len > 1)
            text += "." + d.digits.substr(1);
        text += "e" + std::to_string(d.decpt - 1);
    }
    return QString::fromStdString(text);
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
}

DecodeError corrupt(std::uint64_t offset, const std::string& what)
{
    return DecodeError{DecodeErrorCode::Corrupt, offset, what};
}

Result<QString> timeHiresText(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
{
    ByteReader r(bytes, offset);
    const std::uint64_t stored = r.uintBe(static_cast<unsigned>(bytes.size()));
    const std::uint64_t unit = kPowersOf10[6 - decimals];
    const std::uint64_t zero = kTimeHiresZeroSeconds * 1000000ull / unit;
    const bool negative = stored < zero;
    const std::uint64_t magnitude = (negative ? zero - stored : stored - zero) * unit;
    const std::uint64_t seconds = magnitude / 1000000;
    return hmsText(negative, seconds / 3600, seconds / 60 % 60, seconds % 60)
        + fractionText(static_cast<std::uint32_t>(magnitude % 1000000), decimals);
}

Result<QString> datetimeHiresText(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
{
    ByteReader r(bytes, offset);
    std::uint64_t packed = r.uintBe(static_cast<unsigned>(bytes.size()));
    if (packed > ~0ull / kPowersOf10[6 - decimals])
        return corrupt(offset, "DATETIME value out of range");
    packed *= kPowersOf10[6 - decimals];
    const auto micros = static_cast<std::uint32_t>(packed % 1000000);
    packed /= 1000000;
    const std::uint64_t second = packed % 60, minute = packed / 60 % 60, hour = packed / 3600 % 24;
    packed /= 86400;
    const std::uint64_t day = packed % 32, month = packed / 32 % 13, year = packed / 32 / 13;
    if (year > 9999)
        return corrupt(offset, "DATETIME year out of range");
    return ymdText(year, month, day) + QLatin1Char(' ') + hmsText(false, hour, minute, second)
        + fractionText(micros, decimals);
}

std::uint32_t microsOfFraction(std::uint64_t fraction, unsigned fractionBytes)
{
    switch (fractionBytes) {
    case 1: return static_cast<std::uint32_t>(fraction * 10000);
    case 2: return static_cast<std::uint32_t>(fraction * 100);
    default: return static_cast<std::uint32_t>(fraction);
    }
}

Result<QString> time2Text(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
{
    const unsigned fb = engine::fractionalSecondBytes(decimals);
    ByteReader r(bytes, offset);
    const std::uint64_t raw = r.uintBe(3 + fb);
    const std::int64_t packed = static_cast<std::int64_t>(raw) - static_cast<std::int64_t>(kTime2Bias << (8 * fb));
    const bool negative = packed < 0;
    const auto magnitude = static_cast<std::uint64_t>(negative ? -packed : packed);
    const std::uint64_t hms = magnitude >> (8 * fb);
    const std::uint32_t micros = microsOfFraction(magnitude & ((1ull << (8 * fb)) - 1), fb);
    if (micros >= 1000000 || (hms & 0x3F) > 59 || ((hms >> 6) & 0x3F) > 59)
        return corrupt(offset, "TIME field out of range");
    return hmsText(negative, (hms >> 12) & 0x3FF, (hms >> 6) & 0x3F, hms & 0x3F) + fractionText(micros, decimals);
}

Result<QString> datetime2Text(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
{
    const unsigned fb = engine::fractionalSecondBytes(decimals);
    ByteReader r(bytes, offset);
    const std::uint64_t stored = r.uintBe(5);
    const std::uint64_t fraction = r.uintBe(fb);
    if (stored < kDatetime2Bias)
        return corrupt(offset, "DATETIME value below its range");
    const std::uint64_t intPart = stored - kDatetime2Bias;
    const std::uint64_t ymd = intPart >> 17, ym = ymd >> 5, hms = intPart & 0x1FFFF;
    const std::uint32_t micros = microsOfFraction(fraction, fb);
    if (micros >= 1000000)
        return corrupt(offset, "DATETIME fraction out of range");
    return ymdText(ym / 13, ym % 13, ymd & 31) + QLatin1Char(' ')
        + hmsText(false, hms >> 12, (hms >> 6) & 0x3F, hms & 0x3F) + fractionText(micros, decimals);
}

} // namespace

std::int64_t ValueText::signExtend(std::uint64_t raw, unsigned bytes)
{
    if (bytes == 0 || bytes >= 8)
        return static_cast<std::int64_t>(raw);
    const unsigned shift = 64 - 8 * bytes;
    return static_cast<std::int64_t>(raw << shift) >> shift;
}

QString ValueText::signedText(std::int64_t value)
{
    return QString::number(value);
}

QString ValueText::unsignedText(std::uint64_t value)
{
    return QString::number(value);
}

QString ValueText::doubleText(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return layoutDigits(shortestDigits(value, 0));
}

QString ValueText::floatText(float value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return layoutDigits(shortestDigits(static_cast<double>(value), 6));
}

QString ValueText::floatExactText(float value)
{
    return doubleText(static_cast<double>(value));
}

std::uint32_t ValueText::decimalStoredSize(std::uint32_t precision, std::uint32_t scale)
{
    const std::uint32_t intDigits = precision > scale ? precision - scale : 0;
    return kGroupBytes * (intDigits / kDigitsPerGroup) + kLeftoverBytes[intDigits % kDigitsPerGroup]
        + kGroupBytes * (scale / kDigitsPerGroup) + kLeftoverBytes[scale % kDigitsPerGroup];
}

Result<QString> ValueText::decimalText(std::span<const std::uint8_t> bytes, std::uint32_t precision,
                                       std::uint32_t scale, std::uint64_t offset)
{
    const std::uint32_t size = decimalStoredSize(precision, scale);
    if (size == 0 || bytes.size() != size)
        return corrupt(offset, "DECIMAL value of the wrong size");
    // Undo the storage bias: top bit set = not negative; a negative value is
    // kept with every byte inverted.
    std::vector<std::uint8_t> plain(bytes.begin(), bytes.end());
    const bool negative = !(plain[0] & 0x80);
    plain[0] ^= 0x80;
    if (negative)
        for (std::uint8_t& b : plain)
            b = static_cast<std::uint8_t>(~b);

    ByteReader r(plain, offset);
    const std::uint32_t intDigits = precision > scale ? precision - scale : 0;
    std::string integer;
    std::string fraction;
    const auto group = [&](std::uint32_t digits, std::string& out) -> bool {
        if (digits == 0)
            return true;
        const std::uint32_t n = digits == kDigitsPerGroup ? kGroupBytes : kLeftoverBytes[digits];
        const std::uint64_t v = r.uintBe(n);
        if (v >= kPowersOf10[digits])
            return false;
        std::string text = std::to_string(v);
        out += std::string(digits - text.size(), '0') + text;
        return true;
    };
    bool ok = group(intDigits % kDigitsPerGroup, integer);
    for (std::uint32_t i = 0; ok && i < intDigits / kDigitsPerGroup; ++i)
        ok = group(kDigitsPerGroup, integer);
    for (std::uint32_t i = 0; ok && i < scale / kDigitsPerGroup; ++i)
        ok = group(kDigitsPerGroup, fraction);
    if (ok)
        ok = group(scale % kDigitsPerGroup, fraction);
    if (!ok || !r)
        return corrupt(offset, "DECIMAL digit group out of range");

    const std::size_t firstDigit = integer.find_first_not_of('0');
    integer = firstDigit == std::string::npos ? "0" : integer.substr(firstDigit);
    std::string text = integer;
    if (scale > 0)
        text += "." + fraction;
    // The server never prints a negative zero.
    if (negative && text.find_first_not_of("0.") != std::string::npos)
        text = "-" + text;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString ValueText::dateText(std::uint32_t packed)
{
    return ymdText(packed >> 9, (packed >> 5) & 15, packed & 31);
}

QString ValueText::datetimeText(std::uint64_t number)
{
    const std::uint64_t date = number / 1000000, time = number % 1000000;
    return ymdText(date / 10000, date / 100 % 100, date % 100) + QLatin1Char(' ')
        + hmsText(false, time / 10000, time / 100 % 100, time % 100);
}

QString ValueText::timeText(std::int64_t number)
{
    const bool negative = number < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    return hmsText(negative, magnitude / 10000, magnitude / 100 % 100, magnitude % 100);
}

QString ValueText::timestampText(std::uint32_t seconds, std::uint32_t micros, unsigned decimals)
{
    if (seconds == 0 && micros == 0)
        return QStringLiteral("0000-00-00 00:00:00") + fractionText(0, decimals);
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(seconds / 86400, year, month, day);
    const std::uint32_t t = seconds % 86400;
    return ymdText(static_cast<std::uint64_t>(year), month, day) + QLatin1Char(' ')
        + hmsText(false, t / 3600, t / 60 % 60, t % 60) + fractionText(micros, decimals);
}

QString ValueText::yearText(std::uint8_t stored)
{
    return stored == 0 ? QStringLiteral("0000") : QString::number(1900 + stored);
}

std::uint32_t ValueText::bigEndianTemporalSize(ColumnTypeCode code, std::uint32_t length)
{
    const unsigned decimals = engine::temporalDecimals(code, length);
    switch (code) {
    case engine::TYPE_TIMESTAMP2:
    case engine::TYPE_DATETIME2:
    case engine::TYPE_TIME2: return engine::temporal2StoredSize(code, decimals);
    case engine::TYPE_TIMESTAMP: return decimals ? 4 + kTimestampHiresFractionBytes[decimals] : 0;
    case engine::TYPE_DATETIME: return decimals ? kDatetimeHiresBytes[decimals] : 0;
    case engine::TYPE_TIME: return decimals ? kTimeHiresBytes[decimals] : 0;
    default: return 0;
    }
}

Result<QString> ValueText::bigEndianTemporalText(ColumnTypeCode code, std::uint32_t length,
                                                 std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    const std::uint32_t size = bigEndianTemporalSize(code, length);
    if (size == 0 || bytes.size() != size)
        return corrupt(offset, "temporal value of the wrong size");
    const unsigned decimals = engine::temporalDecimals(code, length);
    ByteReader r(bytes, offset);
    switch (code) {
    case engine::TYPE_TIMESTAMP2: {
        const auto seconds = r.u32be();
        const std::uint32_t micros = microsOfFraction(r.uintBe(size - 4), size - 4);
        if (micros >= 1000000)
            return corrupt(offset, "TIMESTAMP fraction out of range");
        return timestampText(seconds, micros, decimals);
    }
    case engine::TYPE_TIMESTAMP: {
        const auto seconds = r.u32be();
        const std::uint64_t fraction = r.uintBe(size - 4);
        if (fraction >= kPowersOf10[decimals])
            return corrupt(offset, "TIMESTAMP fraction out of range");
        return timestampText(seconds, static_cast<std::uint32_t>(fraction * kPowersOf10[6 - decimals]), decimals);
    }
    case engine::TYPE_DATETIME2: return datetime2Text(bytes, decimals, offset);
    case engine::TYPE_TIME2: return time2Text(bytes, decimals, offset);
    case engine::TYPE_DATETIME: return datetimeHiresText(bytes, decimals, offset);
    case engine::TYPE_TIME: return timeHiresText(bytes, decimals, offset);
    default: return corrupt(offset, "not a temporal type");
    }
}

QString ValueText::enumText(std::uint64_t index, const QStringList& members)
{
    if (index == 0 || index > static_cast<std::uint64_t>(members.size()))
        return {};
    return members.at(static_cast<qsizetype>(index - 1));
}

QString ValueText::setText(std::uint64_t bits, const QStringList& members)
{
    QStringList chosen;
    for (qsizetype i = 0; i < members.size() && i < 64; ++i)
        if (bits & (1ull << i))
            chosen << members.at(i);
    return chosen.join(QLatin1Char(','));
}

bool ValueText::isUtf8Collation(std::uint16_t collation)
{
    return engine::Collations::IsUtf8(collation);
}

QString ValueText::characterText(std::span<const std::uint8_t> bytes, std::uint16_t collation)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    if (isUtf8Collation(collation))
        return QString::fromUtf8(QByteArrayView(bytes.data(), size));
    const QLatin1StringView charset = engine::Collations::CharsetOf(collation);
    const bool ucs2 = charset == QLatin1String("ucs2");
    const bool utf16 = charset == QLatin1String("utf16");
    const bool utf16le = charset == QLatin1String("utf16le");
    const bool utf32 = charset == QLatin1String("utf32");
    QString text;
    if (ucs2 || utf16 || utf16le) {
        text.reserve(size / 2);
        for (qsizetype i = 0; i + 1 < size; i += 2)
            text += QChar(utf16le ? static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8)
                                  : static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1]));
        return text;
    }
    if (utf32) {
        for (qsizetype i = 0; i + 3 < size; i += 4) {
            const char32_t u = static_cast<char32_t>(bytes[i]) << 24 | static_cast<char32_t>(bytes[i + 1]) << 16
                | static_cast<char32_t>(bytes[i + 2]) << 8 | bytes[i + 3];
            text += QString::fromUcs4(&u, 1);
        }
        return text;
    }
    return engine::FrmText::windows1252(bytes);
}

} // namespace recovery
