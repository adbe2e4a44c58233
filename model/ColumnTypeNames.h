#pragma once

#include "model/ColumnTypeCode.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace engine {

// Names the column types of a table definition. The character set decides
// between the text and binary variants of the string types, and the geometry
// subtype between the geometry types; both get a code of our own (0xA1..0xAE)
// so that no later reader needs to look at them again.
class ColumnTypeNames {
public:
    static constexpr std::uint16_t kBinaryCharset = kBinaryCollation;

    // Newer layout (17-byte field records). code: the stored type byte,
    // rewritten to 0xA1..0xAE where the binary or geometry variant applies.
    // charsetOrSubtype: the collation number, or for type 255 the geometry
    // subtype. Returns the type name, empty for a code without one.
    static QString FieldTypeName(ColumnTypeCode& code, std::uint16_t charsetOrSubtype);

    // Older layout (11-byte field records of version 7 files). code: the
    // stored type byte, rewritten to our code. flagByte: the byte after it.
    // myiProbeByte: byte 5 of the table's .MYI file (0 when it is missing);
    // non-zero makes a type 0 column a VARCHAR instead of a CHAR.
    static QString OldFieldTypeName(ColumnTypeCode& code, std::uint8_t flagByte,
                                    std::uint8_t myiProbeByte);

    // A type a type plugin supplies, by the name the definition's extra2
    // block gives it; serverVersion: the server that wrote the definition
    // (it decides how a UUID is stored). Sets code; returns the type name,
    // empty (code untouched) for a type this program does not know.
    static QString PluginTypeName(const QByteArray& name, std::uint32_t serverVersion, ColumnTypeCode& code);

    // "signed", "unsigned", "unsigned zerofill" or empty, from the final code
    // and the low byte of the field's pack flags.
    static QString SignAttributeName(ColumnTypeCode code, std::uint8_t packLow);
};

} // namespace engine
