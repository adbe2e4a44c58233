#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace engine {

// Text bytes of a table definition. Column data (defaults, enum and set
// members) is in the column's character set: UTF-8 for the utf8 and utf8mb4
// collations, Windows-1252 for the single-byte or unknown ones. Names and
// comments are kept by the server in UTF-8; bytes that are not valid UTF-8
// (very old files) fall back to Windows-1252.
class FrmText {
public:
    static bool isUtf8Collation(std::uint16_t collation);

    // The bytes up to the first zero byte, in the collation's encoding.
    static QString columnText(std::span<const std::uint8_t> bytes, std::uint16_t collation);

    // The bytes (all of them) as UTF-8, or Windows-1252 when not valid UTF-8.
    static QString metadataText(std::span<const std::uint8_t> bytes);

    // The bytes (all of them) as Windows-1252.
    static QString windows1252(std::span<const std::uint8_t> bytes);
};

} // namespace engine
