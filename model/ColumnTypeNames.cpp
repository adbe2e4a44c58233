#include "model/ColumnTypeNames.h"

#include <array>

namespace engine {

namespace {

// Newer layout: stored type byte -> name, for the types whose name does not
// depend on the character set.
struct PlainType {
    std::uint8_t stored;
    const char* name;
};
constexpr std::array kPlainTypes{
    PlainType{0, "decimal"},    PlainType{1, "tinyint"},   PlainType{2, "smallint"},
    PlainType{3, "int"},        PlainType{4, "float"},     PlainType{5, "double"},
    PlainType{7, "timestamp"},  PlainType{8, "bigint"},    PlainType{9, "mediumint"},
    PlainType{10, "date"},      PlainType{11, "time"},     PlainType{12, "datetime"},
    PlainType{13, "year"},      PlainType{14, "date"},     PlainType{16, "bit"},
    PlainType{17, "timestamp"}, PlainType{18, "datetime"}, PlainType{19, "time"},
    PlainType{246, "decimal"},  PlainType{247, "enum"},    PlainType{248, "set"},
};

// Newer layout: string types, text name and binary-charset variant.
struct StringType {
    std::uint8_t stored;
    const char* textName;
    ColumnTypeCode binaryCode;
    const char* binaryName;
};
constexpr std::array kStringTypes{
    StringType{15, "varchar", TYPE_VARBINARY, "varbinary"},
    StringType{253, "varchar", TYPE_VARBINARY, "varbinary"},
    StringType{254, "char", TYPE_BINARY, "binary"},
    StringType{249, "tinytext", TYPE_TINYBLOB, "tinyblob"},
    StringType{252, "text", TYPE_BLOB, "blob"},
    StringType{250, "mediumtext", TYPE_MEDIUMBLOB, "mediumblob"},
    StringType{251, "longtext", TYPE_LONGBLOB, "longblob"},
};

// Geometry subtypes 0..7, in stored order, from code 0xA7 on.
constexpr std::array kGeometryNames{
    "geometry", "point", "linestring", "polygon",
    "multipoint", "multilinestring", "multipolygon", "geometrycollection",
};

// Older layout: stored type byte -> our code and name.
struct OldType {
    std::uint8_t stored;
    ColumnTypeCode code;
    const char* name;
};
constexpr std::array kOldTypes{
    OldType{1, TYPE_BINARY, "binary"},        OldType{3, TYPE_OLD_DECIMAL, "decimal"},
    OldType{9, TYPE_TINYBLOB, "tinyblob"},    OldType{16, TYPE_TEXT, "text"},
    OldType{17, TYPE_BLOB, "blob"},           OldType{18, TYPE_SMALLINT, "smallint"},
    OldType{19, TYPE_SMALLINT, "smallint"},   OldType{20, TYPE_TEXT, "text"},
    OldType{21, TYPE_BLOB, "blob"},           OldType{24, TYPE_LONGTEXT, "longtext"},
    OldType{25, TYPE_LONGBLOB, "longblob"},   OldType{26, TYPE_INT, "int"},
    OldType{27, TYPE_INT, "int"},             OldType{35, TYPE_FLOAT, "float"},
    OldType{36, TYPE_LONGTEXT, "longtext"},   OldType{37, TYPE_LONGBLOB, "longblob"},
    OldType{40, TYPE_TINYTEXT, "tinytext"},   OldType{41, TYPE_TINYBLOB, "tinyblob"},
    OldType{43, TYPE_DOUBLE, "double"},       OldType{59, TYPE_TIMESTAMP, "timestamp"},
    OldType{62, TYPE_TIMESTAMP, "timestamp"}, OldType{66, TYPE_BIGINT, "bigint"},
    OldType{67, TYPE_BIGINT, "bigint"},       OldType{72, TYPE_MEDIUMTEXT, "mediumtext"},
    OldType{73, TYPE_MEDIUMBLOB, "mediumblob"}, OldType{74, TYPE_MEDIUMINT, "mediumint"},
    OldType{75, TYPE_MEDIUMINT, "mediumint"}, OldType{89, TYPE_TIME, "time"},
    OldType{96, TYPE_DATETIME, "datetime"},   OldType{104, TYPE_YEAR, "year"},
    OldType{112, TYPE_DATE, "date"},          OldType{171, TYPE_DOUBLE, "double"},
};

// Older layout, types 8, 10 and 11: the flag byte tells what they are.
struct OldFlagType {
    std::uint8_t flag;
    ColumnTypeCode code;
    const char* name;
};
constexpr std::array kOldFlagTypes{
    OldFlagType{0x80, TYPE_TINYINT, "tinyint"}, OldFlagType{0x01, TYPE_ENUM, "enum"},
    OldFlagType{0x81, TYPE_ENUM, "enum"},       OldFlagType{0x02, TYPE_SET, "set"},
    OldFlagType{0x82, TYPE_SET, "set"},         OldFlagType{0x84, TYPE_TINYTEXT, "tinytext"},
};

// Sign attribute: the codes that carry one and their base pack low byte;
// base + 2 is unsigned, + 3 signed, + 6 unsigned zerofill.
struct SignBase {
    ColumnTypeCode code;
    std::uint8_t base;
};
constexpr std::array kSignBases{
    SignBase{TYPE_OLD_DECIMAL, 0x00}, SignBase{TYPE_DECIMAL, 0x00}, SignBase{TYPE_TINYINT, 0x08},
    SignBase{TYPE_SMALLINT, 0x10},    SignBase{TYPE_INT, 0x18},     SignBase{TYPE_FLOAT, 0x20},
    SignBase{TYPE_DOUBLE, 0x28},      SignBase{TYPE_BIGINT, 0x40},  SignBase{TYPE_MEDIUMINT, 0x48},
};

// Whether the server that wrote a definition keeps every UUID turned around:
// the plugin as first released (10.7 on), until its fix in these releases.
bool turnsEveryUuid(std::uint32_t version)
{
    const bool fixed = version == 0 || (version >= 100908 && version < 100999)
        || (version >= 101006 && version < 101099) || (version >= 101105 && version < 101199)
        || (version >= 110003 && version < 110099) || (version >= 110102 && version < 110199) || version >= 110201;
    return !fixed;
}

} // namespace

QString ColumnTypeNames::PluginTypeName(const QByteArray& name, std::uint32_t serverVersion, ColumnTypeCode& code)
{
    if (name == "uuid")
        code = turnsEveryUuid(serverVersion) ? TYPE_UUID_ALWAYS_TURNED : TYPE_UUID;
    else if (name == "inet6")
        code = TYPE_INET6;
    else if (name == "inet4")
        code = TYPE_INET4;
    else
        return {};
    return QString::fromLatin1(name);
}

QString ColumnTypeNames::FieldTypeName(ColumnTypeCode& code, std::uint16_t charsetOrSubtype)
{
    if (code == kGeometryTypeByte) {
        if (charsetOrSubtype < kGeometryNames.size()) {
            code = static_cast<ColumnTypeCode>(TYPE_GEOMETRY + charsetOrSubtype);
            return QString::fromLatin1(kGeometryNames[charsetOrSubtype]);
        }
        return {};
    }
    for (const auto& t : kStringTypes) {
        if (t.stored != code)
            continue;
        if (charsetOrSubtype == kBinaryCharset) {
            code = t.binaryCode;
            return QString::fromLatin1(t.binaryName);
        }
        return QString::fromLatin1(t.textName);
    }
    for (const auto& t : kPlainTypes) {
        if (t.stored == code)
            return QString::fromLatin1(t.name);
    }
    return {};
}

QString ColumnTypeNames::OldFieldTypeName(ColumnTypeCode& code, std::uint8_t flagByte,
                                          std::uint8_t myiProbeByte)
{
    // Enum and set fields may be stored under other type bytes; their flag byte decides.
    if (flagByte == 0x01 || flagByte == 0x02 || flagByte == 0x81 || flagByte == 0x82)
        code = 8;
    if (code == 0) {
        code = myiProbeByte != 0 ? TYPE_VARCHAR : TYPE_CHAR;
        return QString::fromLatin1(myiProbeByte != 0 ? "varchar" : "char");
    }
    if (code == 8 || code == 10 || code == 11) {
        for (const auto& t : kOldFlagTypes) {
            if (t.flag == flagByte) {
                code = t.code;
                return QString::fromLatin1(t.name);
            }
        }
        return {};
    }
    if (code == 15 || code == 253) {
        const bool binary = flagByte == 0x3F;
        code = binary ? TYPE_VARBINARY : TYPE_VARCHAR;
        return QString::fromLatin1(binary ? "varbinary" : "varchar");
    }
    for (const auto& t : kOldTypes) {
        if (t.stored == code) {
            code = t.code;
            return QString::fromLatin1(t.name);
        }
    }
    return {};
}

QString ColumnTypeNames::SignAttributeName(ColumnTypeCode code, std::uint8_t packLow)
{
    for (const auto& s : kSignBases) {
        if (s.code != code)
            continue;
        if (packLow == s.base + 2)
            return QStringLiteral("unsigned");
        if (packLow == s.base + 3)
            return QStringLiteral("signed");
        if (packLow == s.base + 6)
            return QStringLiteral("unsigned zerofill");
        return {};
    }
    return {};
}

} // namespace engine
