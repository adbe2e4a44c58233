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
};

} // namespace engine
