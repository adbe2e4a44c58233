#include "engine/FrmDefaultValues.h"

#include <gtest/gtest.h>

#include <vector>

using namespace engine;
using platform::ByteReader;

namespace {

using Bytes = std::vector<std::uint8_t>;

DefaultColInfo col(ColumnTypeCode code, std::uint32_t offset, std::uint32_t length = 0, bool nullable = false,
                   const char* sign = "")
{
    DefaultColInfo c;
    c.typeCode = code;
    c.recordOffset = offset;
    c.length = length;
    c.bNullable = nullable;
    c.packFlagHigh = nullable ? 0x80 : 0x00;
    c.sign = QString::fromLatin1(sign);
    c.charset = 8;
    return c;
}

DefaultColInfo withScale(DefaultColInfo c, std::uint16_t scale)
{
    c.scale = scale;
    return c;
}

// One column after one null-flag byte that is all clear; the empty string
// default shows as ''.
QString one(const DefaultColInfo& c, Bytes value)
{
    Bytes record{0x00};
    record.insert(record.end(), value.begin(), value.end());
    record.resize(record.size() + 300); // a record always holds each value's full width
    FrmDefaultValues d(ByteReader(record), true, 10);
    const FrmDefault result = d.ReadFrmDefaultValue(c);
    return result.emptyString ? QStringLiteral("''") : result.text;
}

TEST(FrmDefaultValues, ValuesByType)
{
    struct Case {
        const char* name;
        DefaultColInfo column;
        Bytes value;
        const char* text;
    };
    const Case cases[] = {
        {"int negative", col(TYPE_INT, 1, 11), {0xFB, 0xFF, 0xFF, 0xFF}, "-5"},
        {"int minimum", col(TYPE_INT, 1, 11), {0, 0, 0, 0x80}, "-2147483648"},
        {"int unsigned", col(TYPE_INT, 1, 10, false, "unsigned"), {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        // Signed small integers keep their sign; unsigned BIGINT keeps its range.
        {"tinyint signed", col(TYPE_TINYINT, 1, 4, false, "signed"), {0xFF}, "-1"},
        {"tinyint unsigned", col(TYPE_TINYINT, 1, 3, false, "unsigned"), {0xFF}, "255"},
        {"smallint signed", col(TYPE_SMALLINT, 1, 6, false, "signed"), {0x2E, 0xFB}, "-1234"},
        {"mediumint signed", col(TYPE_MEDIUMINT, 1, 9, false, "signed"), {0x60, 0x79, 0xFE}, "-100000"},
        {"bigint signed", col(TYPE_BIGINT, 1, 20, false, "signed"), Bytes(8, 0xFF), "-1"},
        {"bigint unsigned", col(TYPE_BIGINT, 1, 20, false, "unsigned"), Bytes(8, 0xFF), "18446744073709551615"},
        {"float", col(TYPE_FLOAT, 1, 12), {0, 0, 0xC0, 0x3F}, "1.500000"},
        {"double tiny", col(TYPE_DOUBLE, 1, 22), {0x48, 0xAF, 0xBC, 0x9A, 0xF2, 0xD7, 0x7A, 0x3E}, "1e-07"},
        {"date", col(TYPE_NEWDATE, 1, 10), {0xA7, 0xB4, 0x0F}, "2010-05-07"},
        {"date zero", col(TYPE_NEWDATE, 1, 10), {0, 0, 0}, "0-00-00"},
        {"time", col(TYPE_TIME, 1, 10), {0x40, 0xE2, 0x01}, "12:34:56"},
        {"time zero", col(TYPE_TIME, 1, 10), {0, 0, 0}, "00:00:00"},
        {"time negative", col(TYPE_TIME, 1, 10), {0xC0, 0x1D, 0xFE}, "-12:34:56"},
        {"datetime", col(TYPE_DATETIME, 1, 19), {0x00, 0x3F, 0x96, 0x03, 0x48, 0x12, 0, 0}, "2010-05-07 12:34:56"},
        {"timestamp zero", col(TYPE_TIMESTAMP, 1, 19), {0, 0, 0, 0}, ""},
        // UTC, no fixed shift: 1 second after the epoch.
        {"timestamp one", col(TYPE_TIMESTAMP, 1, 19), {1, 0, 0, 0}, "1970-01-01  00:00:01"},
        {"timestamp leap day", col(TYPE_TIMESTAMP, 1, 19), {0x40, 0x13, 0x4E, 0x4F}, "2012-02-29  12:00:00"},
        {"year 4", col(TYPE_YEAR, 1, 4), {110}, "2010"},
        {"year 2", col(TYPE_YEAR, 1, 2), {110}, "10"},
        {"year zero", col(TYPE_YEAR, 1, 4), {0}, "0000"},
        {"year(2) zero", col(TYPE_YEAR, 1, 2), {0}, "0000"},
        {"char keeps its blanks", col(TYPE_CHAR, 1, 5), {'a', 'b', ' ', ' ', ' '}, "ab   "},
        {"char of blanks", col(TYPE_CHAR, 1, 5), Bytes(5, ' '), "     "},
        {"varchar 255: 1-byte prefix", col(TYPE_VARCHAR, 1, 255), {2, 'h', 'i'}, "hi"},
        {"varchar 256: 2-byte prefix", col(TYPE_VARCHAR, 1, 256), {2, 0, 'h', 'i'}, "hi"},
        // Its null flag is clear: an empty value is '' whether the column is nullable or not.
        {"varchar empty, not null", col(TYPE_VARCHAR, 1, 10), {0}, "''"},
        {"varchar empty, nullable", col(TYPE_VARCHAR, 1, 10, true), {0}, "''"},
        {"varchar blanks stay", col(TYPE_VARCHAR, 1, 10), {3, ' ', ' ', ' '}, "   "},
        {"enum", [] { auto c = col(TYPE_ENUM, 1, 1); c.packFlagLow = 8; return c; }(), {2}, "2"},
        {"set", [] { auto c = col(TYPE_SET, 1, 2); c.packFlagLow = 16; return c; }(), {5, 0}, "5"},
        {"decimal(8,3) negative", withScale(col(TYPE_DECIMAL, 1, 8), 3), {0x7F, 0xFF, 0xFE, 0xFE, 0x0B}, "-1.500"},
        {"decimal(5,2) zero", withScale(col(TYPE_DECIMAL, 1, 5), 2), {0x80, 0, 0}, "0.00"},
        {"decimal(12,0)", col(TYPE_DECIMAL, 1, 12), {0x80, 0x01, 0, 0, 0, 0}, "1000000000"},
        {"old decimal: blanks go", col(TYPE_OLD_DECIMAL, 1, 7), {' ', ' ', '-', '1', '.', '5', '0'}, "-1.50"},
        // Binary strings one character per byte, every byte kept.
        {"varbinary", col(TYPE_VARBINARY, 1, 4), {3, 'a', 0xFF, 'b'}, "a\xc3\xbf" "b"},
        {"varbinary empty", col(TYPE_VARBINARY, 1, 4), {0}, "''"},
        {"binary: zero padding goes", col(TYPE_BINARY, 1, 4), {'a', 0xE9, 0, 0}, "a\xc3\xa9"},
        {"binary empty", col(TYPE_BINARY, 1, 4), {0, 0, 0, 0}, "''"},
        {"text, nullable", col(TYPE_TEXT, 1, 8, true), Bytes(10, 0), "NULL"},
        {"text, not null", col(TYPE_TEXT, 1, 8), Bytes(10, 0), ""},
        {"type 6", col(TYPE_NULL, 1), {}, ""},
        {"datetime2", col(TYPE_DATETIME2, 1, 19), {0x99, 0x85, 0xCE, 0xC8, 0xB8}, "2010-05-07 12:34:56"},
        {"datetime2 millis", col(TYPE_DATETIME2, 1, 23), {0x99, 0x85, 0xCE, 0xC8, 0xB8, 0x1E, 0x5A}, "2010-05-07 12:34:56.777"},
        {"time2", col(TYPE_TIME2, 1, 10), {0x80, 0xC7, 0x80}, "12:30:00"},
        {"time2 negative", col(TYPE_TIME2, 1, 10), {0x7F, 0xF0, 0x00}, "-01:00:00"},
        {"timestamp2", col(TYPE_TIMESTAMP2, 1, 19), {0, 0, 0, 1}, "1970-01-01  00:00:01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(one(c.column, c.value).toStdString(), c.text) << c.name;
    // Zero bytes inside a VARBINARY value are part of it.
    EXPECT_EQ(one(col(TYPE_VARBINARY, 1, 4), {3, 'a', 0, 'b'}), QString::fromLatin1("a\0b", 3));
}

TEST(FrmDefaultValues, NullFlagsAreHandedOutInFieldOrder)
{
    struct Case {
        const char* name;
        bool packed;
        Bytes nullBytes;
        std::vector<bool> wantNull; // for three nullable INT columns
    };
    const Case cases[] = {
        {"packed: first flag is bit 0", true, {0x01}, {true, false, false}},
        {"not packed: bit 0 is the deleted mark", false, {0x01}, {false, false, false}},
        {"not packed: first flag is bit 1", false, {0x02}, {true, false, false}},
        {"third column", true, {0x04}, {false, false, true}},
    };
    for (const Case& c : cases) {
        Bytes record = c.nullBytes;
        for (int i = 0; i < 3; ++i)
            record.insert(record.end(), {7, 0, 0, 0});
        FrmDefaultValues d(ByteReader(record), c.packed, 10);
        for (int i = 0; i < 3; ++i) {
            const QString t = d.ReadFrmDefaultValue(col(TYPE_INT, 1 + 4 * i, 11, true)).text;
            EXPECT_EQ(t, c.wantNull[i] ? "NULL" : "7") << c.name << " column " << i;
        }
    }
}

TEST(FrmDefaultValues, BitColumnsKeepTheirOddBitsAmongTheNullFlags)
{
    // Packed record: a nullable INT (flag 0), then BIT(10), not nullable: its
    // top 2 bits follow at flags 1-2, its low byte sits in the record.
    const Bytes record{0b0000'0100, 0x0A, 0, 0, 0, 0x01};
    FrmDefaultValues d(ByteReader(record), true, 10);
    EXPECT_EQ(d.ReadFrmDefaultValue(col(TYPE_INT, 1, 11, true)).text, "10");
    auto bit = col(TYPE_BIT, 5, 10);
    EXPECT_EQ(d.ReadFrmDefaultValue(bit).text, QString::number((2 << 8) | 1));
    // Engines without bit support keep all bytes in the record.
    const Bytes record2{0x00, 0x02, 0x01};
    FrmDefaultValues d2(ByteReader(record2), true, 10);
    auto asBytes = col(TYPE_BIT, 1, 10);
    asBytes.packFlagHigh = 0x10;
    EXPECT_EQ(d2.ReadFrmDefaultValue(asBytes).text, QString::number(0x0201));
}

TEST(FrmDefaultValues, NoDefaultAndAutoIncrement)
{
    auto noDefault = col(TYPE_INT, 1, 11);
    noDefault.bHasDefault = false;
    EXPECT_EQ(one(noDefault, {5, 0, 0, 0}), "");
    // The server refuses a DEFAULT on an auto_increment column.
    auto autoInc = col(TYPE_INT, 1, 11);
    autoInc.bAutoIncrement = true;
    EXPECT_EQ(one(autoInc, {0, 0, 0, 0}), "");
}

TEST(FrmDefaultValues, ValuesOutsideTheRecordGiveEmptyTextAndAnError)
{
    const Bytes record{0x00, 1, 0};
    FrmDefaultValues d(ByteReader(record, 1000), true, 10);
    EXPECT_EQ(d.ReadFrmDefaultValue(col(TYPE_SMALLINT, 1, 6)).text, "1");
    EXPECT_FALSE(d.error().has_value());
    EXPECT_EQ(d.ReadFrmDefaultValue(col(TYPE_INT, 1, 11)).text, "");   // 4 bytes at 1 of 3
    ASSERT_TRUE(d.error().has_value());
    EXPECT_EQ(d.error()->offset, 1001u);
    EXPECT_EQ(d.ReadFrmDefaultValue(col(TYPE_INT, 0xFFFFFFFF, 11)).text, ""); // wrap-around offset
    // A null flag past the record reads as clear.
    FrmDefaultValues empty(ByteReader(Bytes{}), true, 10);
    EXPECT_EQ(empty.ReadFrmDefaultValue(col(TYPE_INT, 0, 11, true)).text, "");
    // A damaged VARCHAR prefix longer than its column is cut to the column.
    EXPECT_EQ(one(col(TYPE_VARCHAR, 1, 3), {200, 'a', 'b', 'c'}), "abc");
}

// Dates, times and decimals go through the row readers' decoders, with their range checks.
TEST(FrmDefaultValues, ValuesOutOfRangeGiveEmptyTextAndAnError)
{
    struct Case {
        const char* name;
        DefaultColInfo column;
        Bytes value;
    };
    const Case cases[] = {
        {"datetime2 fraction above a second", col(TYPE_DATETIME2, 1, 23), {0x99, 0x85, 0xCE, 0xC8, 0xB8, 0xFF, 0xFF}},
        {"datetime2 below its bias", col(TYPE_DATETIME2, 1, 19), {0x00, 0x85, 0xCE, 0xC8, 0xB8}},
        {"time2 minute 63", col(TYPE_TIME2, 1, 10), {0x80, 0x0F, 0xC0}},
        {"timestamp2 fraction above a second", col(TYPE_TIMESTAMP2, 1, 26), {0, 0, 0, 1, 0xFF, 0xFF, 0xFF}},
        {"timestamp(2) fraction of three digits", col(TYPE_TIMESTAMP, 1, 22), {0, 0, 0, 1, 0xFF}},
        {"decimal group above 999999999", col(TYPE_DECIMAL, 1, 10), {0x80, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"old decimal that is no number", col(TYPE_OLD_DECIMAL, 1, 4), {' ', '1', 'x', '2'}},
    };
    for (const Case& c : cases) {
        Bytes record{0x00};
        record.insert(record.end(), c.value.begin(), c.value.end());
        FrmDefaultValues d(ByteReader(record, 500), true, 10);
        EXPECT_EQ(d.ReadFrmDefaultValue(c.column).text.toStdString(), "") << c.name;
        ASSERT_TRUE(d.error().has_value()) << c.name;
        EXPECT_EQ(d.error()->offset, 501u) << c.name;
    }
}

TEST(FrmDefaultValues, BinaryDecimalSize)
{
    EXPECT_EQ(FrmDefaultValues::binaryDecimalSize(10, 2), 5u);
    EXPECT_EQ(FrmDefaultValues::binaryDecimalSize(65, 30), 30u);
    EXPECT_EQ(FrmDefaultValues::binaryDecimalSize(5, 0), 3u);
    EXPECT_EQ(FrmDefaultValues::binaryDecimalSize(2, 5), 3u); // scale above precision
}

} // namespace
