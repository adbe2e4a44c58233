#include "recovery/ColumnStorage.h"

#include <gtest/gtest.h>

using namespace engine;
using recovery::ColumnShape;
using recovery::ColumnStorage;
using recovery::StoredIn;

namespace {

ColumnShape shape(ColumnTypeCode code, std::uint32_t length = 0, std::uint16_t scale = 0)
{
    ColumnShape s;
    s.typeCode = code;
    s.length = length;
    s.scale = scale;
    return s;
}

TEST(ColumnStorage, WidthsInBothRecords)
{
    struct Case {
        const char* name;
        ColumnShape column;
        std::uint32_t server;
        std::uint32_t innodb;
    };
    const auto bits = [](std::uint32_t n, bool asBytes) {
        ColumnShape s = shape(TYPE_BIT, n);
        s.bitsAsBytes = asBytes;
        return s;
    };
    // The header byte before each value makes a compressed VARCHAR(255) take a 2-byte length.
    const auto compressed = [](ColumnTypeCode code, std::uint32_t length) {
        ColumnShape s = shape(code, length);
        s.compressed = true;
        return s;
    };
    const auto oldVarchar = [] {
        ColumnShape s = shape(TYPE_VARCHAR, 20);
        s.varcharPrefix = false;
        return s;
    };
    const Case cases[] = {
        {"tinyint", shape(TYPE_TINYINT, 4), 1, 1},
        {"year", shape(TYPE_YEAR, 4), 1, 1},
        {"smallint", shape(TYPE_SMALLINT, 6), 2, 2},
        {"mediumint", shape(TYPE_MEDIUMINT, 9), 3, 3},
        {"int", shape(TYPE_INT, 11), 4, 4},
        {"bigint", shape(TYPE_BIGINT, 20), 8, 8},
        {"float", shape(TYPE_FLOAT, 12), 4, 4},
        {"double", shape(TYPE_DOUBLE, 22), 8, 8},
        {"date", shape(TYPE_NEWDATE, 10), 3, 3},
        {"older date", shape(TYPE_DATE, 10), 4, 3},
        {"time", shape(TYPE_TIME, 10), 3, 3},
        {"time(3) old format", shape(TYPE_TIME, 14), 5, 5},
        {"datetime", shape(TYPE_DATETIME, 19), 8, 8},
        {"datetime(6) old format", shape(TYPE_DATETIME, 26), 8, 8},
        {"timestamp", shape(TYPE_TIMESTAMP, 19), 4, 4},
        {"timestamp(2) old format", shape(TYPE_TIMESTAMP, 22), 5, 5},
        {"datetime2(3)", shape(TYPE_DATETIME2, 23), 7, 7},
        {"time2", shape(TYPE_TIME2, 10), 3, 3},
        {"timestamp2(6)", shape(TYPE_TIMESTAMP2, 26), 7, 7},
        {"decimal(10,2)", shape(TYPE_DECIMAL, 10, 2), 5, 5},
        {"enum", shape(TYPE_ENUM, 2), 2, 2},
        {"set", shape(TYPE_SET, 8), 8, 8},
        // The InnoDB reader always asks for BIT kept as bytes; the flag decides in both.
        {"bit(10) among the null flags", bits(10, false), 1, 1},
        {"bit(10) as bytes", bits(10, true), 2, 2},
        {"bit(3) among the null flags", bits(3, false), 0, 0},
        {"bit(3) as bytes", bits(3, true), 1, 1},
        {"char(5)", shape(TYPE_CHAR, 5), 5, 0},
        {"binary(5)", shape(TYPE_BINARY, 5), 5, 0},
        {"old decimal", shape(TYPE_OLD_DECIMAL, 7), 7, 0},
        {"varchar(255)", shape(TYPE_VARCHAR, 255), 256, 0},
        {"varchar(256)", shape(TYPE_VARCHAR, 256), 258, 0},
        {"varbinary(300)", shape(TYPE_VARBINARY, 300), 302, 0},
        {"varchar of the oldest definitions", oldVarchar(), 20, 0},
        {"varchar(254) compressed", compressed(TYPE_VARCHAR, 254), 256, 0},
        {"varchar(255) compressed", compressed(TYPE_VARCHAR, 255), 258, 0},
        {"varbinary(300) compressed", compressed(TYPE_VARBINARY, 300), 303, 0},
        {"tinyblob", shape(TYPE_TINYBLOB), 9, 0},
        {"text", shape(TYPE_TEXT), 10, 0},
        {"mediumtext", shape(TYPE_MEDIUMTEXT), 11, 0},
        {"longblob", shape(TYPE_LONGBLOB), 12, 0},
        {"point", shape(TYPE_POINT), 12, 0},
        {"geometry", shape(TYPE_GEOMETRY_OTHER), 12, 0},
        {"null type", shape(TYPE_NULL), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColumnStorage::storedWidth(c.column, StoredIn::ServerRecord), c.server) << c.name;
        EXPECT_EQ(ColumnStorage::storedWidth(c.column, StoredIn::InnodbRecord), c.innodb) << c.name;
    }
}

TEST(ColumnStorage, EnumAndSetWidthsFromThePackFlags)
{
    const struct {
        std::uint8_t packLow;
        std::uint32_t enumBytes;
        std::uint32_t setBytes;
    } cases[] = {
        {0, 0, 0}, {8, 1, 1}, {16, 2, 2}, {72, 2, 3}, {24, 2, 4}, {64, 2, 8}, {7, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColumnStorage::enumBytes(c.packLow), c.enumBytes) << int(c.packLow);
        EXPECT_EQ(ColumnStorage::setBytes(c.packLow), c.setBytes) << int(c.packLow);
    }
}

TEST(ColumnStorage, VarcharLengthBytes)
{
    const struct {
        std::uint32_t length;
        std::uint32_t bytes;
    } cases[] = {{1, 1}, {255, 1}, {256, 2}, {65532, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(ColumnStorage::varcharLengthBytes(c.length), c.bytes) << c.length;
        EXPECT_EQ(ColumnStorage::varcharLengthBytesOfWidth(c.length + c.bytes), c.bytes) << c.length;
    }
}

TEST(ColumnStorage, BlobLengthBytes)
{
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_TINYTEXT), 1);
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_BLOB), 2);
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_MEDIUMBLOB), 3);
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_LONGTEXT), 4);
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_MULTIPOLYGON), 4);
    EXPECT_EQ(ColumnStorage::blobLengthBytes(TYPE_VARCHAR), 0);
}

} // namespace
