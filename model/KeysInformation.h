#pragma once

#include <QString>

#include <cstdint>

namespace engine {

// One key part; the parts of one key are adjacent in the table's array.
struct KeysInformation {
    // 1-based column number in the table's column order; 0 = none.
    std::uint16_t m_column = 0;
    // Parts of the key this part belongs to (the same on every part of the key).
    std::uint16_t m_partCount = 0;
    // "Primary Key", "Unique Key", "Key", "FULLTEXT Key", "SPATIAL Key" or "Foreign Key".
    QString m_kind;
    // Bytes of the column the part takes: the prefix length of a part on a
    // text or blob column, or on a string column when it is below the column's length.
    std::uint16_t m_prefixLength = 0;
    // A UNIQUE key the server checks through a hash of its values, kept in
    // a hidden column (a key on whole TEXT or BLOB columns): USING HASH.
    bool m_longHash = false;
    // This part sorts its column in descending order (DESC).
    bool m_descending = false;
    // The key's own attributes, the same on every part of the key: the
    // optimizer leaves it unused (IGNORED), its COMMENT, and the
    // KEY_BLOCK_SIZE declared for it (0: the table's).
    bool m_ignored = false;
    QString m_comment = {};
    std::uint16_t m_blockSize = 0;
};

} // namespace engine
