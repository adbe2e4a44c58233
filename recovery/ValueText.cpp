#include "recovery/ValueText.h"

#include "model/Collations.h"
#include "model/FrmText.h"

#include "platform/ByteReader.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
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
constexpr std::uint64_t kDatetime2Bias = 0x8000000000ull;
constexpr std::uint64_t kTime2Bias = 0x800000ull;

void fractionText(ShortText& out, std::uint32_t micros, unsigned decimals)
{
    if (decimals == 0)
        return;
    const unsigned shown = decimals > 6 ? 6 : decimals;
    out.append('.');
    out.appendNumber(micros / kPowersOf10[6 - shown], shown);
}

void hmsText(ShortText& out, bool negative, std::uint64_t hours, std::uint64_t minutes, std::uint64_t seconds)
{
    if (negative)
        out.append('-');
    out.appendNumber(hours, 2);
    out.append(':');
    out.appendNumber(minutes, 2);
    out.append(':');
    out.appendNumber(seconds, 2);
}

void ymdText(ShortText& out, std::uint64_t year, std::uint64_t month, std::uint64_t day)
{
    out.appendNumber(year, 4);
    out.append('-');
    out.appendNumber(month, 2);
    out.append('-');
    out.appendNumber(day, 2);
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
    char digits[32];
    int length = 0;
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
    const char* e = buffer;
    while (e < r.ptr && *e != 'e')
        ++e;
    for (const char* c = buffer; c < e && out.length < static_cast<int>(sizeof out.digits); ++c)
        if (*c != '.')
            out.digits[out.length++] = *c;
    while (out.length > 1 && out.digits[out.length - 1] == '0')
        --out.length;
    // The exponent: "e+05" or "e-05"; from_chars takes no '+'.
    const char* exponent = e + 1 < r.ptr && e[1] == '+' ? e + 2 : e + 1;
    int power = 0;
    std::from_chars(exponent, r.ptr, power);
    out.decpt = power + 1;
    return out;
}

// The server's layout: fixed notation unless the decimal exponent is far out.
ShortText layoutDigits(const Digits& d)
{
    ShortText text;
    if (d.negative)
        text.append('-');
    const int len = d.length;
    if (len == 1 && d.digits[0] == '0') {
        text.append('0');
        return text;
    }
    const bool fixed = d.decpt >= -14 && (d.decpt <= 15 || len > d.decpt);
    if (fixed) {
        if (d.decpt <= 0) {
            text.append("0.", 2);
            for (int i = 0; i < -d.decpt; ++i)
                text.append('0');
            text.append(d.digits, static_cast<std::size_t>(len));
        } else if (d.decpt < len) {
            text.append(d.digits, static_cast<std::size_t>(d.decpt));
            text.append('.');
            text.append(d.digits + d.decpt, static_cast<std::size_t>(len - d.decpt));
        } else {
            text.append(d.digits, static_cast<std::size_t>(len));
            for (int i = len; i < d.decpt; ++i)
                text.append('0');
        }
    } else {
        text.append(d.digits[0]);
        if (len > 1) {
            text.append('.');
            text.append(d.digits + 1, static_cast<std::size_t>(len - 1));
        }
        text.append('e');
        const int power = d.decpt - 1;
        if (power < 0)
            text.append('-');
        text.appendNumber(static_cast<std::uint64_t>(power < 0 ? -power : power));
    }
    return text;
}

ShortText asciiOf(const char* chars)
{
    ShortText text;
    text.append(chars, std::strlen(chars));
    return text;
}

ShortText nonFiniteAscii(double value)
{
    if (std::isnan(value))
        return asciiOf("nan");
    return asciiOf(value < 0 ? "-inf" : "inf");
}

using platform::corrupt;

Result<ShortText> timeHiresText(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
{
    ByteReader r(bytes, offset);
    const std::uint64_t stored = r.uintBe(static_cast<unsigned>(bytes.size()));
    const std::uint64_t unit = kPowersOf10[6 - decimals];
    const std::uint64_t zero = kTimeHiresZeroSeconds * 1000000ull / unit;
    const bool negative = stored < zero;
    const std::uint64_t magnitude = (negative ? zero - stored : stored - zero) * unit;
    const std::uint64_t seconds = magnitude / 1000000;
    ShortText text;
    hmsText(text, negative, seconds / 3600, seconds / 60 % 60, seconds % 60);
    fractionText(text, static_cast<std::uint32_t>(magnitude % 1000000), decimals);
    return text;
}

Result<ShortText> datetimeHiresText(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
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
    ShortText text;
    ymdText(text, year, month, day);
    text.append(' ');
    hmsText(text, false, hour, minute, second);
    fractionText(text, micros, decimals);
    return text;
}

std::uint32_t microsOfFraction(std::uint64_t fraction, unsigned fractionBytes)
{
    switch (fractionBytes) {
    case 1: return static_cast<std::uint32_t>(fraction * 10000);
    case 2: return static_cast<std::uint32_t>(fraction * 100);
    default: return static_cast<std::uint32_t>(fraction);
    }
}

Result<ShortText> time2Text(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
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
    ShortText text;
    hmsText(text, negative, (hms >> 12) & 0x3FF, (hms >> 6) & 0x3F, hms & 0x3F);
    fractionText(text, micros, decimals);
    return text;
}

Result<ShortText> datetime2Text(std::span<const std::uint8_t> bytes, unsigned decimals, std::uint64_t offset)
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
    ShortText text;
    ymdText(text, ym / 13, ym % 13, ymd & 31);
    text.append(' ');
    hmsText(text, false, hms >> 12, (hms >> 6) & 0x3F, hms & 0x3F);
    fractionText(text, micros, decimals);
    return text;
}

Result<QString> toText(const Result<ShortText>& ascii)
{
    if (!ascii)
        return ascii.error();
    return ascii->toString();
}

} // namespace

void ShortText::appendNumber(std::uint64_t value, unsigned width)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    if (count < width) {
        const std::size_t zeros = std::min<std::size_t>(width - count, kCapacity - m_size);
        std::fill_n(m_chars + m_size, zeros, '0');
        m_size += zeros;
    }
    append(digits, count);
}

std::int64_t ValueText::signExtend(std::uint64_t raw, unsigned bytes)
{
    if (bytes == 0 || bytes >= 8)
        return static_cast<std::int64_t>(raw);
    const unsigned shift = 64 - 8 * bytes;
    return static_cast<std::int64_t>(raw << shift) >> shift;
}

ShortText ValueText::signedAscii(std::int64_t value)
{
    ShortText text;
    if (value < 0)
        text.append('-');
    text.appendNumber(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
    return text;
}

ShortText ValueText::unsignedAscii(std::uint64_t value)
{
    ShortText text;
    text.appendNumber(value);
    return text;
}

QString ValueText::signedText(std::int64_t value)
{
    return signedAscii(value).toString();
}

QString ValueText::unsignedText(std::uint64_t value)
{
    return unsignedAscii(value).toString();
}

ShortText ValueText::doubleAscii(double value)
{
    if (!std::isfinite(value))
        return nonFiniteAscii(value);
    return layoutDigits(shortestDigits(value, 0));
}

ShortText ValueText::floatAscii(float value)
{
    if (!std::isfinite(value))
        return nonFiniteAscii(value);
    return layoutDigits(shortestDigits(static_cast<double>(value), 6));
}

ShortText ValueText::floatExactAscii(float value)
{
    return doubleAscii(static_cast<double>(value));
}

QString ValueText::doubleText(double value)
{
    return doubleAscii(value).toString();
}

QString ValueText::floatText(float value)
{
    return floatAscii(value).toString();
}

QString ValueText::floatExactText(float value)
{
    return floatExactAscii(value).toString();
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
    return toText(decimalAscii(bytes, precision, scale, offset));
}

Result<ShortText> ValueText::decimalAscii(std::span<const std::uint8_t> bytes, std::uint32_t precision,
                                          std::uint32_t scale, std::uint64_t offset)
{
    const std::uint32_t size = decimalStoredSize(precision, scale);
    if (size == 0 || bytes.size() != size)
        return corrupt(offset, "DECIMAL value of the wrong size");
    const std::uint32_t intDigits = precision > scale ? precision - scale : 0;
    // The server keeps at most 65 digits; a damaged definition may claim more.
    std::array<std::uint8_t, 64> plain{};
    if (intDigits + scale + 3 > ShortText::kCapacity || size > plain.size())
        return corrupt(offset, "DECIMAL wider than any the server writes");
    // Undo the storage bias: top bit set = not negative; a negative value is
    // kept with every byte inverted.
    std::copy(bytes.begin(), bytes.end(), plain.begin());
    const bool negative = !(plain[0] & 0x80);
    plain[0] ^= 0x80;
    if (negative)
        for (std::uint32_t i = 0; i < size; ++i)
            plain[i] = static_cast<std::uint8_t>(~plain[i]);

    ByteReader r(std::span<const std::uint8_t>(plain.data(), size), offset);
    ShortText digits;  // integer digits, then exactly `scale` fraction digits
    const auto group = [&](std::uint32_t count) -> bool {
        if (count == 0)
            return true;
        const std::uint32_t n = count == kDigitsPerGroup ? kGroupBytes : kLeftoverBytes[count];
        const std::uint64_t v = r.uintBe(n);
        if (v >= kPowersOf10[count])
            return false;
        digits.appendNumber(v, count);
        return true;
    };
    bool ok = group(intDigits % kDigitsPerGroup);
    for (std::uint32_t i = 0; ok && i < intDigits / kDigitsPerGroup; ++i)
        ok = group(kDigitsPerGroup);
    for (std::uint32_t i = 0; ok && i < scale / kDigitsPerGroup; ++i)
        ok = group(kDigitsPerGroup);
    if (ok)
        ok = group(scale % kDigitsPerGroup);
    if (!ok || !r)
        return corrupt(offset, "DECIMAL digit group out of range");

    const char* d = digits.data();
    std::uint32_t first = 0;
    while (first < intDigits && d[first] == '0')
        ++first;
    bool nonZero = false;
    for (std::uint32_t i = first; i < intDigits + scale; ++i)
        nonZero = nonZero || d[i] != '0';
    ShortText text;
    // The server never prints a negative zero.
    if (negative && nonZero)
        text.append('-');
    if (first == intDigits)
        text.append('0');
    else
        text.append(d + first, intDigits - first);
    if (scale > 0) {
        text.append('.');
        text.append(d + intDigits, scale);
    }
    return text;
}

QString ValueText::dateText(std::uint32_t packed)
{
    return dateAscii(packed).toString();
}

QString ValueText::datetimeText(std::uint64_t number)
{
    return datetimeAscii(number).toString();
}

QString ValueText::timeText(std::int64_t number)
{
    return timeAscii(number).toString();
}

QString ValueText::timestampText(std::uint32_t seconds, std::uint32_t micros, unsigned decimals)
{
    return timestampAscii(seconds, micros, decimals).toString();
}

ShortText ValueText::dateAscii(std::uint32_t packed)
{
    ShortText text;
    ymdText(text, packed >> 9, (packed >> 5) & 15, packed & 31);
    return text;
}

ShortText ValueText::datetimeAscii(std::uint64_t number)
{
    const std::uint64_t date = number / 1000000, time = number % 1000000;
    ShortText text;
    ymdText(text, date / 10000, date / 100 % 100, date % 100);
    text.append(' ');
    hmsText(text, false, time / 10000, time / 100 % 100, time % 100);
    return text;
}

ShortText ValueText::timeAscii(std::int64_t number)
{
    const bool negative = number < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    ShortText text;
    hmsText(text, negative, magnitude / 10000, magnitude / 100 % 100, magnitude % 100);
    return text;
}

ShortText ValueText::timestampAscii(std::uint32_t seconds, std::uint32_t micros, unsigned decimals)
{
    ShortText text;
    if (seconds == 0 && micros == 0) {
        text.append("0000-00-00 00:00:00", 19);
        fractionText(text, 0, decimals);
        return text;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(seconds / 86400, year, month, day);
    const std::uint32_t t = seconds % 86400;
    ymdText(text, static_cast<std::uint64_t>(year), month, day);
    text.append(' ');
    hmsText(text, false, t / 3600, t / 60 % 60, t % 60);
    fractionText(text, micros, decimals);
    return text;
}

QString ValueText::yearText(std::uint8_t stored)
{
    return stored == 0 ? QStringLiteral("0000") : QString::number(1900 + stored);
}

engine::RowValue ValueText::yearValue(std::uint8_t stored, std::uint32_t width)
{
    const QString year = yearText(stored);
    if (width != 2)
        return engine::RowValue::Text(year);
    return engine::RowValue::Stored(year.toLatin1(), year.right(2));
}

engine::RowValue ValueText::numberValue(const NumberColumn& column, const ShortText& exact, const QString& shown)
{
    if (!column.zerofill && shown.isEmpty())
        return engine::RowValue::Ascii(exact.data(), exact.size());
    QString text = shown.isEmpty() ? exact.toString() : shown;
    // ZEROFILL columns are unsigned: no sign to keep in front of the zeros.
    // A DECIMAL's width counts its point.
    const std::uint32_t width = column.length + (column.code == engine::TYPE_DECIMAL && column.scale > 0 ? 1 : 0);
    if (column.zerofill && static_cast<std::uint32_t>(text.size()) < width)
        text.prepend(QString(static_cast<qsizetype>(width - static_cast<std::uint32_t>(text.size())), QLatin1Char('0')));
    return engine::RowValue::Stored(QByteArray(exact.data(), static_cast<qsizetype>(exact.size())), text);
}

Result<engine::RowValue> ValueText::numberValue(const NumberColumn& column, const Result<ShortText>& exact)
{
    if (!exact)
        return exact.error();
    return numberValue(column, *exact);
}

engine::RowValue ValueText::floatingValue(const NumberColumn& column, double value)
{
    const bool isDouble = column.code == engine::TYPE_DOUBLE;
    const auto single = static_cast<float>(value);
    const ShortText exact = isDouble ? doubleAscii(value) : floatExactAscii(single);
    if (column.scale > 0 && std::isfinite(value))
        return numberValue(column, exact, QString::number(value, 'f', column.scale));
    return numberValue(column, exact, isDouble ? QString() : floatText(single));
}

QString ValueText::oldDecimalText(std::span<const std::uint8_t> bytes)
{
    std::size_t blanks = 0;
    while (blanks < bytes.size() && bytes[blanks] == ' ')
        ++blanks;
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data() + blanks),
                               static_cast<qsizetype>(bytes.size() - blanks));
}

std::uint32_t ValueText::bigEndianTemporalSize(ColumnTypeCode code, std::uint32_t length)
{
    const unsigned decimals = engine::temporalDecimals(code, length);
    switch (code) {
    case engine::TYPE_TIMESTAMP2:
    case engine::TYPE_DATETIME2:
    case engine::TYPE_TIME2: return engine::temporal2StoredSize(code, decimals);
    // MariaDB's TIMESTAMP(n) keeps as many fraction bytes as TIMESTAMP2.
    case engine::TYPE_TIMESTAMP: return decimals ? 4 + engine::fractionalSecondBytes(decimals) : 0;
    case engine::TYPE_DATETIME: return decimals ? kDatetimeHiresBytes[decimals] : 0;
    case engine::TYPE_TIME: return decimals ? kTimeHiresBytes[decimals] : 0;
    default: return 0;
    }
}

Result<QString> ValueText::bigEndianTemporalText(ColumnTypeCode code, std::uint32_t length,
                                                 std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return toText(bigEndianTemporalAscii(code, length, bytes, offset));
}

Result<ShortText> ValueText::bigEndianTemporalAscii(ColumnTypeCode code, std::uint32_t length,
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
        return timestampAscii(seconds, micros, decimals);
    }
    case engine::TYPE_TIMESTAMP: {
        const auto seconds = r.u32be();
        const std::uint64_t fraction = r.uintBe(size - 4);
        if (fraction >= kPowersOf10[decimals])
            return corrupt(offset, "TIMESTAMP fraction out of range");
        return timestampAscii(seconds, static_cast<std::uint32_t>(fraction * kPowersOf10[6 - decimals]), decimals);
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

QString ValueText::storedCharacterText(const QByteArray& bytes, std::uint16_t collation)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    return characterText(std::span<const std::uint8_t>(data, static_cast<std::size_t>(bytes.size())), collation);
}

QString ValueText::binaryText(const QByteArray& bytes, std::uint16_t)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto* end = std::find(data, data + bytes.size(), std::uint8_t{0});
    return engine::FrmText::windows1252(std::span<const std::uint8_t>(data, end));
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
