#include "recovery/ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using recovery::ValueText;
using Bytes = std::vector<std::uint8_t>;

TEST(ValueTextTest, IntegersOfEveryWidth)
{
    struct Case {
        std::uint64_t raw;
        unsigned bytes;
        const char* asSigned;
    };
    const Case cases[] = {
        {0x80, 1, "-128"},
        {0x7F, 1, "127"},
        {0xFFFF, 2, "-1"},
        {0x800000, 3, "-8388608"},
        {0x7FFFFF, 3, "8388607"},
        {0x80000000, 4, "-2147483648"},
        {0x8000000000000000ull, 8, "-9223372036854775808"},
        {0xFFFFFFFFFFFFFFF9ull, 8, "-7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueText::signedText(ValueText::signExtend(c.raw, c.bytes)), QLatin1String(c.asSigned)) << c.raw;
    EXPECT_EQ(ValueText::unsignedText(0xFFFFFFFFFFFFFFFFull), QLatin1String("18446744073709551615"));
    EXPECT_EQ(ValueText::unsignedText(0), QLatin1String("0"));
}

TEST(ValueTextTest, DoubleTextsAreTheServers)
{
    // Texts the server printed for these values (SELECT of a DOUBLE column).
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0"},
        {1e-7, "0.0000001"},
        {1e-15, "0.000000000000001"},
        {1e-16, "1e-16"},
        {1.234e-16, "1.234e-16"},
        {0.12345678901234567, "0.12345678901234566"},
        {-0.12345678901234567, "-0.12345678901234566"},
        {1.2345678901234567e-14, "0.000000000000012345678901234567"},
        {123456789012345.67, "123456789012345.67"},
        {1234567890123456.7, "1234567890123456.8"},
        {1e15, "1e15"},
        {1.5e15, "1.5e15"},
        {12345678901234567.0, "1.2345678901234568e16"},
        {-1e10, "-10000000000"},
        {100, "100"},
        {3.5, "3.5"},
        {-2, "-2"},
        {0.0025, "0.0025"},
        {-1.7976931348623157e308, "-1.7976931348623157e308"},
        {-1e-300, "-1e-300"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueText::doubleText(c.value), QLatin1String(c.text)) << c.text;
}

TEST(ValueTextTest, FloatTextsAreTheServersAndExactTextsReadBack)
{
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {1e-7f, "0.0000001"},
        {1234567.125f, "1234570"},
        {123456789012.0f, "123457000000"},
        {3e38f, "3e38"},
        {-3.4028234e38f, "-3.40282e38"},
        {1e-45f, "1.4013e-45"},
        {0.1f, "0.1"},
        {2.5f, "2.5"},
        {0.0f, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueText::floatText(c.value), QLatin1String(c.text)) << c.text;

    for (float v : {0.1f, 1e-7f, std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::denorm_min(), 1234567.125f}) {
        const QString exact = ValueText::floatExactText(v);
        const double back = exact.toDouble();
        EXPECT_EQ(static_cast<float>(back), v) << exact.toStdString();
        EXPECT_LE(std::fabs(back), static_cast<double>(std::numeric_limits<float>::max())) << exact.toStdString();
    }
}

TEST(ValueTextTest, DecimalTexts)
{
    struct Case {
        Bytes bytes;
        unsigned precision, scale;
        const char* text;
    };
    const Case cases[] = {
        {{0x80, 0x7B, 0x2D}, 5, 2, "123.45"},
        {{0x7F, 0x84, 0xD2}, 5, 2, "-123.45"},
        {{0x80, 0x00, 0x05}, 5, 2, "0.05"},
        {{0x7F, 0xFF, 0xCD}, 5, 2, "-0.50"},
        {{0x80, 0x00}, 4, 0, "0"},
        {{0x80, 0x00, 0x00, 0x00, 0x00}, 10, 0, "0"},
        {{0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 20, 0, "1000000000"},
        {{0x80, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, 0, "0"},
        {{0x80, 0x00, 0x00, 0x00, 0x05}, 10, 0, "5"},
        {{0x80, 0x00, 0x00, 0x00, 0x00, 0x01}, 12, 8, "0.00000001"},
        {{0x80, 0xC3, 0x50}, 5, 5, "0.50000"},
        {{0x7F, 0xFA}, 3, 1, "-0.5"},
        // 12345.67 in DECIMAL(10,2): leftover group of 8 digits in 4 bytes.
        {{0x80, 0x00, 0x30, 0x39, 0x43}, 10, 2, "12345.67"},
    };
    for (const Case& c : cases) {
        const auto text = ValueText::decimalText(c.bytes, c.precision, c.scale);
        ASSERT_TRUE(text.ok()) << c.text << ": " << text.error().what;
        EXPECT_EQ(text->toStdString(), std::string(c.text));
        EXPECT_EQ(ValueText::decimalStoredSize(c.precision, c.scale), c.bytes.size()) << c.text;
    }
    EXPECT_EQ(ValueText::decimalStoredSize(65, 30), 30u);
    EXPECT_EQ(ValueText::decimalStoredSize(18, 9), 8u);
}

TEST(ValueTextTest, DamagedDecimalsAreErrors)
{
    // Wrong size, a 9-digit group above 999999999, a 2-digit group above 99.
    const auto shortValue = ValueText::decimalText(Bytes{0x80, 0x7B}, 5, 2, 4096);
    ASSERT_FALSE(shortValue.ok());
    EXPECT_EQ(shortValue.error().offset, 4096u);
    EXPECT_FALSE(ValueText::decimalText(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00}, 10, 0).ok());
    EXPECT_FALSE(ValueText::decimalText(Bytes{0x80, 0x7B, 0x64}, 5, 2).ok());
    EXPECT_FALSE(ValueText::decimalText(Bytes{}, 0, 0).ok());
}

TEST(ValueTextTest, OlderTemporalTexts)
{
    EXPECT_EQ(ValueText::dateText(0x0FB8AF), QLatin1String("2012-05-15"));
    EXPECT_EQ(ValueText::dateText(0), QLatin1String("0000-00-00"));
    EXPECT_EQ(ValueText::dateText((1000u << 9) | (1 << 5) | 1), QLatin1String("1000-01-01"));
    EXPECT_EQ(ValueText::datetimeText(0), QLatin1String("0000-00-00 00:00:00"));
    EXPECT_EQ(ValueText::datetimeText(99991231235959ull), QLatin1String("9999-12-31 23:59:59"));
    EXPECT_EQ(ValueText::datetimeText(10000101000000ull), QLatin1String("1000-01-01 00:00:00"));
    EXPECT_EQ(ValueText::timeText(5), QLatin1String("00:00:05"));
    EXPECT_EQ(ValueText::timeText(-5), QLatin1String("-00:00:05"));
    EXPECT_EQ(ValueText::timeText(-8385959), QLatin1String("-838:59:59"));
    EXPECT_EQ(ValueText::timeText(1000001), QLatin1String("100:00:01"));
    EXPECT_EQ(ValueText::yearText(0), QLatin1String("0000"));
    EXPECT_EQ(ValueText::yearText(1), QLatin1String("1901"));
    EXPECT_EQ(ValueText::yearText(255), QLatin1String("2155"));
}

TEST(ValueTextTest, TimestampsAreUtc)
{
    struct Case {
        std::uint32_t seconds;
        std::uint32_t micros;
        unsigned decimals;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, "0000-00-00 00:00:00"},
        {0, 0, 2, "0000-00-00 00:00:00.00"},
        {1, 0, 0, "1970-01-01 00:00:01"},
        {1700000000, 0, 0, "2023-11-14 22:13:20"},
        {1298923200, 0, 0, "2011-02-28 20:00:00"},
        {1709164800, 0, 0, "2024-02-29 00:00:00"},
        {2147483647, 990000, 2, "2038-01-19 03:14:07.99"},
        {4294967295u, 0, 0, "2106-02-07 06:28:15"},
        {1593561599, 500000, 2, "2020-06-30 23:59:59.50"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueText::timestampText(c.seconds, c.micros, c.decimals), QLatin1String(c.text)) << c.text;
}

TEST(ValueTextTest, BigEndianTemporalTexts)
{
    using namespace engine;
    struct Case {
        ColumnTypeCode code;
        std::uint32_t length;  // display length: decimals follow from it
        Bytes bytes;
        const char* text;
    };
    const Case cases[] = {
        // TIMESTAMP2(0), TIMESTAMP2(2)
        {TYPE_TIMESTAMP2, 19, {0x65, 0x53, 0xF1, 0x00}, "2023-11-14 22:13:20"},
        {TYPE_TIMESTAMP2, 22, {0x7F, 0xFF, 0xFF, 0xFF, 0x63}, "2038-01-19 03:14:07.99"},
        {TYPE_TIMESTAMP2, 19, {0, 0, 0, 0}, "0000-00-00 00:00:00"},
        // DATETIME2(0): 9999-12-31 23:59:59 and the zero datetime; DATETIME2(6)
        {TYPE_DATETIME2, 19, {0xFE, 0xF3, 0xFF, 0x7E, 0xFB}, "9999-12-31 23:59:59"},
        {TYPE_DATETIME2, 19, {0x80, 0x00, 0x00, 0x00, 0x00}, "0000-00-00 00:00:00"},
        {TYPE_DATETIME2, 26, {0xFE, 0xF3, 0xFF, 0x7E, 0xFB, 0x0F, 0x42, 0x3F}, "9999-12-31 23:59:59.999999"},
        // TIME2(0): 838:59:59, -838:59:59; TIME2(3): -00:00:00.500
        {TYPE_TIME2, 10, {0xB4, 0x6E, 0xFB}, "838:59:59"},
        {TYPE_TIME2, 10, {0x4B, 0x91, 0x05}, "-838:59:59"},
        {TYPE_TIME2, 14, {0x7F, 0xFF, 0xFF, 0xEC, 0x78}, "-00:00:00.500"},
        // MariaDB's older TIMESTAMP(2), DATETIME(6), TIME(3)
        {TYPE_TIMESTAMP, 22, {0x00, 0x00, 0x00, 0x01, 0x00}, "1970-01-01 00:00:01.00"},
        {TYPE_TIMESTAMP, 22, {0x5E, 0xFB, 0xD1, 0xFF, 0x32}, "2020-06-30 23:59:59.50"},
        {TYPE_TIME, 14, {0x00, 0xB4, 0x07, 0xA5, 0x80}, "00:00:00.000"},
        {TYPE_TIME, 14, {0x00, 0xB4, 0x07, 0xA3, 0x8C}, "-00:00:00.500"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ValueText::bigEndianTemporalSize(c.code, c.length), c.bytes.size()) << c.text;
        const auto text = ValueText::bigEndianTemporalText(c.code, c.length, c.bytes);
        ASSERT_TRUE(text.ok()) << c.text << ": " << text.error().what;
        EXPECT_EQ(text->toStdString(), std::string(c.text));
    }
    EXPECT_EQ(ValueText::bigEndianTemporalSize(TYPE_TIME, 10), 0u);  // plain TIME: engine-specific
    EXPECT_FALSE(ValueText::bigEndianTemporalText(TYPE_TIME2, 10, Bytes{0x80, 0x00}).ok());
    EXPECT_FALSE(ValueText::bigEndianTemporalText(TYPE_DATETIME2, 19, Bytes{0x00, 0, 0, 0, 0}).ok());
    EXPECT_FALSE(ValueText::bigEndianTemporalText(TYPE_TIMESTAMP2, 22, Bytes{0, 0, 0, 1, 0xFF}).ok());
}

TEST(ValueTextTest, EnumAndSetTexts)
{
    const QStringList members{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    EXPECT_EQ(ValueText::enumText(0, members), QString());
    EXPECT_EQ(ValueText::enumText(2, members), QLatin1String("b"));
    EXPECT_EQ(ValueText::enumText(4, members), QString());
    EXPECT_EQ(ValueText::setText(5, members), QLatin1String("a,c"));
    EXPECT_EQ(ValueText::setText(0, members), QString());
    EXPECT_EQ(ValueText::setText(0x21, members), QLatin1String("a"));
    EXPECT_EQ(ValueText::setText(~0ull, members), QLatin1String("a,b,c"));
}

TEST(ValueTextTest, CharacterTextsByCollation)
{
    const Bytes utf8{0x63, 0x61, 0x66, 0xC3, 0xA9};     // "café" in UTF-8
    const Bytes cp1252{0x80, 0x20, 0xE9, 0x00, 0x41};   // "€ é\0A" in the server's latin1
    EXPECT_EQ(ValueText::characterText(utf8, 45), QStringLiteral("café"));          // utf8mb4_general_ci
    EXPECT_EQ(ValueText::characterText(utf8, 224), QStringLiteral("café"));         // utf8mb4_unicode_ci
    EXPECT_EQ(ValueText::characterText(utf8, 33), QStringLiteral("café"));          // utf8mb3_general_ci
    EXPECT_EQ(ValueText::characterText(utf8, 33 + 1024), QStringLiteral("café"));   // its no-pad twin
    EXPECT_EQ(ValueText::characterText(cp1252, 8), QString::fromUtf16(u"\u20AC \u00E9\u0000A", 5));
    EXPECT_EQ(ValueText::characterText(Bytes{0x00, 0xE9}, 35), QStringLiteral("é"));  // ucs2
    EXPECT_EQ(ValueText::characterText(Bytes{0xE9, 0x00}, 56), QStringLiteral("é"));  // utf16le
    EXPECT_EQ(ValueText::characterText(Bytes{0, 1, 0xF6, 0x00}, 60), QStringLiteral("😀"));  // utf32
    EXPECT_EQ(ValueText::characterText(Bytes{}, 45), QString());
    EXPECT_TRUE(ValueText::isUtf8Collation(46));
    EXPECT_FALSE(ValueText::isUtf8Collation(8));
    EXPECT_FALSE(ValueText::isUtf8Collation(63));
}

// The server's text of a number beside the value: ZEROFILL, FLOAT(M,D) and
// DOUBLE(M,D); a repair always sends the value itself.
TEST(ValueTextTest, NumbersShowAsTheirColumnsDisplayThem)
{
    using engine::RowValue;
    using recovery::NumberColumn;
    const auto ascii = [](const char* text) {
        recovery::ShortText t;
        t.append(text, std::strlen(text));
        return t;
    };
    struct Case {
        const char* name;
        NumberColumn column;
        RowValue value;
        const char* shown;
        const char* sent;
    };
    const NumberColumn plainInt{engine::TYPE_INT, false, 11, 0};
    const NumberColumn zerofillInt{engine::TYPE_INT, true, 6, 0};
    const NumberColumn zerofillDecimal{engine::TYPE_DECIMAL, true, 8, 3};
    const NumberColumn zerofillFloat{engine::TYPE_FLOAT, true, 12, 0};
    const NumberColumn float72{engine::TYPE_FLOAT, false, 7, 2};
    const NumberColumn double103{engine::TYPE_DOUBLE, false, 10, 3};
    const NumberColumn zerofillDouble102{engine::TYPE_DOUBLE, true, 10, 2};
    const Case cases[] = {
        {"plain", plainInt, ValueText::numberValue(plainInt, ascii("-42")), "-42", "-42"},
        {"zerofill", zerofillInt, ValueText::numberValue(zerofillInt, ascii("42")), "000042", "42"},
        {"zerofill, full width", zerofillInt, ValueText::numberValue(zerofillInt, ascii("1234567")), "1234567",
         "1234567"},
        {"zerofill decimal", zerofillDecimal, ValueText::numberValue(zerofillDecimal, ascii("1.500")), "00001.500",
         "1.500"},
        {"zerofill float", zerofillFloat, ValueText::floatingValue(zerofillFloat, 1.5), "0000000001.5", "1.5"},
        {"float(7,2)", float72, ValueText::floatingValue(float72, static_cast<float>(3.14)), "3.14",
         "3.140000104904175"},
        {"float(7,2) negative", float72, ValueText::floatingValue(float72, static_cast<float>(-99999.99)),
         "-99999.99", nullptr},
        {"double(10,3)", double103, ValueText::floatingValue(double103, -2.5), "-2.500", "-2.5"},
        {"zerofill double(10,2)", zerofillDouble102, ValueText::floatingValue(zerofillDouble102, 3.25),
         "0000003.25", "3.25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.text(), QLatin1String(c.shown));
        if (c.sent) {
            EXPECT_EQ(c.value.bytes(), QByteArray(c.sent));
        }
    }
}

TEST(ValueTextTest, TwoDigitYearsShowTwoDigitsAndSendFour)
{
    struct Case {
        std::uint8_t stored;
        std::uint32_t width;
        const char* shown;
        const char* sent;
    };
    const Case cases[] = {
        {110, 2, "10", "2010"}, {0, 2, "00", "0000"}, {69, 2, "69", "1969"},
        {110, 4, "2010", "2010"}, {0, 4, "0000", "0000"},
    };
    for (const Case& c : cases) {
        const engine::RowValue value = ValueText::yearValue(c.stored, c.width);
        EXPECT_EQ(value.text(), QLatin1String(c.shown)) << int{c.stored} << "/" << c.width;
        EXPECT_EQ(value.bytes(), QByteArray(c.sent)) << int{c.stored} << "/" << c.width;
    }
}

TEST(ValueTextTest, OldDecimalsLoseTheirLeadingBlanks)
{
    EXPECT_EQ(ValueText::oldDecimalText(Bytes{' ', ' ', '1', '.', '5', '0'}), QLatin1String("1.50"));
    EXPECT_EQ(ValueText::oldDecimalText(Bytes{'-', '0', '.', '5'}), QLatin1String("-0.5"));
    EXPECT_EQ(ValueText::oldDecimalText(Bytes{'0', '0', '1', '2'}), QLatin1String("0012")); // zerofill
    EXPECT_EQ(ValueText::oldDecimalText(Bytes{' ', ' '}), QString());
}

TEST(ValueTextTest, BinaryTextsEndAtTheFirstZeroByte)
{
    const auto text = [](const char* bytes, qsizetype size) {
        return ValueText::binaryText(QByteArray(bytes, size), 0);
    };
    EXPECT_EQ(text("ab\0c\0\0", 6), QLatin1String("ab"));
    EXPECT_EQ(text("\0ab", 3), QString());
    EXPECT_EQ(text("", 0), QString());
    EXPECT_EQ(text("\xC3\xA9\x80", 3), QString::fromUtf16(u"\u00C3\u00A9\u20AC")); // one character a byte
}

} // namespace
