#include "model/ColumnTypeNames.h"

#include <gtest/gtest.h>

using engine::ColumnTypeCode;
using engine::ColumnTypeNames;
using namespace engine;

namespace {

TEST(ColumnTypeNames, NewerLayoutTypeTable)
{
    struct Case {
        std::uint8_t stored;
        std::uint16_t charset; // or geometry subtype
        ColumnTypeCode code;
        const char* name;
    };
    const Case cases[] = {
        {0, 8, TYPE_OLD_DECIMAL, "decimal"}, {1, 8, TYPE_TINYINT, "tinyint"}, {2, 8, TYPE_SMALLINT, "smallint"},
        {3, 8, TYPE_INT, "int"}, {4, 8, TYPE_FLOAT, "float"}, {5, 8, TYPE_DOUBLE, "double"},
        {6, 8, TYPE_NULL, ""}, {7, 8, TYPE_TIMESTAMP, "timestamp"}, {8, 8, TYPE_BIGINT, "bigint"},
        {9, 8, TYPE_MEDIUMINT, "mediumint"}, {10, 8, TYPE_DATE, "date"}, {11, 8, TYPE_TIME, "time"},
        {12, 8, TYPE_DATETIME, "datetime"}, {13, 8, TYPE_YEAR, "year"}, {14, 8, TYPE_NEWDATE, "date"},
        {16, 8, TYPE_BIT, "bit"}, {17, 8, TYPE_TIMESTAMP2, "timestamp"}, {18, 8, TYPE_DATETIME2, "datetime"},
        {19, 8, TYPE_TIME2, "time"}, {20, 8, 20, ""}, {246, 8, TYPE_DECIMAL, "decimal"},
        {247, 8, TYPE_ENUM, "enum"}, {248, 8, TYPE_SET, "set"},
        // The character set decides between text and binary strings.
        {15, 8, TYPE_VARCHAR, "varchar"}, {15, 63, TYPE_VARBINARY, "varbinary"},
        {253, 8, TYPE_VAR_STRING, "varchar"}, {253, 63, TYPE_VARBINARY, "varbinary"},
        {254, 33, TYPE_CHAR, "char"}, {254, 63, TYPE_BINARY, "binary"},
        {249, 8, TYPE_TINYTEXT, "tinytext"}, {249, 63, TYPE_TINYBLOB, "tinyblob"},
        {252, 224, TYPE_TEXT, "text"}, {252, 63, TYPE_BLOB, "blob"},
        {250, 8, TYPE_MEDIUMTEXT, "mediumtext"}, {250, 63, TYPE_MEDIUMBLOB, "mediumblob"},
        {251, 8, TYPE_LONGTEXT, "longtext"}, {251, 63, TYPE_LONGBLOB, "longblob"},
        // Collation 319 has 63 in its low byte but is no binary string.
        {15, 319, TYPE_VARCHAR, "varchar"},
        {255, 0, TYPE_GEOMETRY, "geometry"}, {255, 1, TYPE_POINT, "point"},
        {255, 2, TYPE_LINESTRING, "linestring"}, {255, 3, TYPE_POLYGON, "polygon"},
        {255, 4, TYPE_MULTIPOINT, "multipoint"}, {255, 5, TYPE_MULTILINESTRING, "multilinestring"},
        {255, 6, TYPE_MULTIPOLYGON, "multipolygon"}, {255, 7, TYPE_GEOMETRYCOLLECTION, "geometrycollection"},
        {255, 9, TYPE_GEOMETRY_OTHER, ""},
    };
    for (const Case& c : cases) {
        ColumnTypeCode code = c.stored;
        EXPECT_EQ(ColumnTypeNames::FieldTypeName(code, c.charset), c.name) << int(c.stored) << "/" << c.charset;
        EXPECT_EQ(code, c.code) << int(c.stored) << "/" << c.charset;
    }
}

TEST(ColumnTypeNames, OlderLayoutTypeTable)
{
    struct Case {
        std::uint8_t stored;
        std::uint8_t flag;
        std::uint8_t myiProbe;
        ColumnTypeCode code;
        const char* name;
    };
    const Case cases[] = {
        {0, 0, 0, TYPE_CHAR, "char"},           // no .MYI, or its byte 5 is 0
        {0, 0, 1, TYPE_VARCHAR, "varchar"},
        {1, 0, 0, TYPE_BINARY, "binary"},       {3, 0, 0, TYPE_OLD_DECIMAL, "decimal"},
        {8, 0x80, 0, TYPE_TINYINT, "tinyint"},  {10, 0x82, 0, TYPE_SET, "set"},
        {11, 0x81, 0, TYPE_ENUM, "enum"},       {10, 0x84, 0, TYPE_TINYTEXT, "tinytext"},
        {10, 0x00, 0, 10, ""},
        {40, 0x01, 0, TYPE_ENUM, "enum"},       // the flag byte makes any type an enum
        {15, 0x3F, 0, TYPE_VARBINARY, "varbinary"}, {253, 0x00, 0, TYPE_VARCHAR, "varchar"},
        {18, 0, 0, TYPE_SMALLINT, "smallint"},  {27, 0, 0, TYPE_INT, "int"}, {35, 0, 0, TYPE_FLOAT, "float"},
        {43, 0, 0, TYPE_DOUBLE, "double"},      {171, 0, 0, TYPE_DOUBLE, "double"},
        {62, 0, 0, TYPE_TIMESTAMP, "timestamp"}, {67, 0, 0, TYPE_BIGINT, "bigint"},
        {75, 0, 0, TYPE_MEDIUMINT, "mediumint"}, {112, 0, 0, TYPE_DATE, "date"}, {89, 0, 0, TYPE_TIME, "time"},
        {96, 0, 0, TYPE_DATETIME, "datetime"},  {104, 0, 0, TYPE_YEAR, "year"},
        {16, 0, 0, TYPE_TEXT, "text"},          {21, 0, 0, TYPE_BLOB, "blob"}, {41, 0, 0, TYPE_TINYBLOB, "tinyblob"},
        {72, 0, 0, TYPE_MEDIUMTEXT, "mediumtext"}, {73, 0, 0, TYPE_MEDIUMBLOB, "mediumblob"},
        {36, 0, 0, TYPE_LONGTEXT, "longtext"},  {37, 0, 0, TYPE_LONGBLOB, "longblob"},
        {200, 0, 0, 200, ""},
    };
    for (const Case& c : cases) {
        ColumnTypeCode code = c.stored;
        EXPECT_EQ(ColumnTypeNames::OldFieldTypeName(code, c.flag, c.myiProbe), c.name) << int(c.stored);
        EXPECT_EQ(code, c.code) << int(c.stored);
    }
}

TEST(ColumnTypeNames, SignAttribute)
{
    struct Case {
        ColumnTypeCode code;
        std::uint8_t packLow;
        const char* sign;
    };
    const Case cases[] = {
        {TYPE_INT, 0x1A, "unsigned"}, {TYPE_INT, 0x1B, "signed"}, {TYPE_INT, 0x1E, "unsigned zerofill"},
        {TYPE_INT, 0x1F, ""},         {TYPE_DATE, 0x1B, ""},      {TYPE_DECIMAL, 0x03, "signed"},
        {TYPE_OLD_DECIMAL, 0x02, "unsigned"}, {TYPE_TINYINT, 0x0B, "signed"}, {TYPE_SMALLINT, 0x12, "unsigned"},
        {TYPE_FLOAT, 0x23, "signed"}, {TYPE_DOUBLE, 0x2E, "unsigned zerofill"}, {TYPE_BIGINT, 0x42, "unsigned"},
        {TYPE_MEDIUMINT, 0x4B, "signed"}, {TYPE_VARCHAR, 0x00, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColumnTypeNames::SignAttributeName(c.code, c.packLow), c.sign) << int(c.code) << " " << int(c.packLow);
}

TEST(ColumnTypeNames, StoredSizesOfTheNewerTemporalTypes)
{
    EXPECT_EQ(temporal2StoredSize(TYPE_TIMESTAMP2, 0), 4u);
    EXPECT_EQ(temporal2StoredSize(TYPE_TIMESTAMP2, 6), 7u);
    EXPECT_EQ(temporal2StoredSize(TYPE_DATETIME2, 0), 5u);
    EXPECT_EQ(temporal2StoredSize(TYPE_DATETIME2, 3), 7u);
    EXPECT_EQ(temporal2StoredSize(TYPE_TIME2, 1), 4u);
    EXPECT_EQ(temporal2StoredSize(TYPE_TIME2, 5), 6u);
    EXPECT_EQ(temporal2StoredSize(TYPE_INT, 0), 0u);
    EXPECT_EQ(temporalDecimals(TYPE_DATETIME2, 19), 0u);
    EXPECT_EQ(temporalDecimals(TYPE_DATETIME2, 23), 3u);
    EXPECT_EQ(temporalDecimals(TYPE_TIME, 8), 0u);  // MySQL 5.0
    EXPECT_EQ(temporalDecimals(TYPE_TIME, 14), 3u); // MariaDB TIME(3)
}

} // namespace
