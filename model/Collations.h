#pragma once

#include <QString>

#include <cstdint>

namespace engine {

// What a column's collation number (as table definitions store it) says.
struct Collation {
    std::uint16_t m_id = 0;
    QString m_name;        // e.g. "latin1_swedish_ci"
    QString m_charset;     // e.g. "latin1"
    unsigned m_maxBytes = 1; // bytes per character at most
};

class Collations {
public:
    // The collation with that number; an empty name for an unknown number.
    static Collation Find(std::uint16_t id);
    // Its character set's name ("" for an unknown number), without copying.
    static QLatin1StringView CharsetOf(std::uint16_t id);
    // True for the utf8mb3 and utf8mb4 collations.
    static bool IsUtf8(std::uint16_t id) { return CharsetOf(id).startsWith(QLatin1String("utf8")); }
};

} // namespace engine
