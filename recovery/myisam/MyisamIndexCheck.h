#pragma once

#include "recovery/myisam/MyisamIndexHeader.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::myisam {

class MyisamRowLayout;
struct MyisamRecord;

// The B-tree keys of a MyISAM index file, held against the records: every
// live record is in each key with the key made of its values and its
// position. A record that a whole key does not list, or lists with another
// key, has bytes that changed after the server wrote it. Keys that are
// themselves damaged (a bad page, a loop, an entry count other than the
// table's) are not trusted and say why in notes(). Built once per table;
// the layout must outlive it.
class MyisamIndexCheck {
public:
    enum Finding : unsigned {
        kNotInIndex = 1u << 0,  // a trusted key does not list the record's position
        kKeyDiffers = 1u << 1,  // it lists it with a key other than the record's values make
    };

    MyisamIndexCheck(const MyisamRowLayout& layout, const MyisamIndexHeader& header,
                     const platform::DataFile& indexFile);

    // Findings (bits of Finding) for one record whose values decoded.
    unsigned check(const MyisamRecord& record) const;

    // Why keys are not used (one text per key left out for damage).
    const std::vector<std::string>& notes() const { return m_notes; }
    // Keys used to check records, and of them those whose key bytes are
    // rebuilt from the record (the others only say which records they list).
    std::size_t trustedKeys() const { return m_keys.size(); }
    std::size_t comparableKeys() const;

private:
    struct Key {
        std::size_t m_number = 0;
        MyisamKeyDef m_def;
        std::vector<std::int32_t> m_blobFields;  // per part: a blob part's field, else -1
        std::vector<unsigned> m_maxBytes;        // per part: bytes per character at most
        bool m_comparable = false;  // its parts can be rebuilt from a record
        bool m_fixed = false;       // every part its fixed bytes (numbers, dates)
        // (record pointer, hash of the key bytes), sorted by pointer.
        std::vector<std::pair<std::uint64_t, std::uint64_t>> m_entries;
        mutable std::size_t m_next = 0;  // the entry after the last one looked up
    };

    // The key bytes a record makes for a key, as its unpacked form in the
    // index (NULL marker, length, bytes per part; no record pointer). False
    // when the record's bytes for a part do not hold together.
    static bool makeKey(const Key& key, const MyisamRecord& record, std::vector<std::uint8_t>& out);

    const MyisamRowLayout& m_layout;
    std::vector<Key> m_keys;
    std::vector<std::string> m_notes;
    mutable std::vector<std::uint8_t> m_scratch;
};

} // namespace recovery::myisam
