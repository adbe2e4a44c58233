#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace recovery::myisam {

class MyisamRowLayout;
struct MyisamRecord;

// What the format tells about a record beyond whether its values decode:
// its checksum (tables kept with one), the null area's unused bits, text
// valid in its character set, ENUM and SET values among their members,
// dates and times within their fields' ranges. A
// record that fails one is doubtful, not unreadable: the caller keeps it,
// marked. Built once per table; the layout must outlive it.
class MyisamRecordCheck {
public:
    enum Finding : unsigned {
        kChecksum = 1u << 0,    // the stored checksum byte differs, or is missing
        kNullFiller = 1u << 1,  // unused null-area bits the server sets are clear
        kText = 1u << 2,        // UTF-8 text that is not valid UTF-8 of its set
        kMember = 1u << 3,      // an ENUM or SET value beyond its members
        // What the keys say (MyisamIndexCheck), counted with the rest.
        kNotInIndex = 1u << 4,
        kKeyDiffers = 1u << 5,
        kDate = 1u << 6,        // a month past 12, an hour past 23, a year past 9999...
    };
    static constexpr unsigned kFindingCount = 7;
    // A short reason for the log, for one finding bit.
    static const char* reason(unsigned finding);

    explicit MyisamRecordCheck(const MyisamRowLayout& layout);

    // The findings (bits of Finding) of a record whose values decoded.
    unsigned check(const MyisamRecord& record) const;

    // The record checksum the server keeps for CHECKSUM=1 tables: a CRC-32
    // over the fields in order (VARCHAR and blob values without their
    // length, NULL fields left out when the table says so).
    std::uint32_t checksum(const MyisamRecord& record) const;

    // Whether bytes are valid UTF-8 with sequences of at most maxBytes.
    static bool validUtf8(std::span<const std::uint8_t> bytes, unsigned maxBytes);
    // The CRC-32 of zlib (polynomial EDB88320), continuing from crc.
    static std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

private:
    // A column whose stored value the format constrains.
    enum class Kind { Member, Text, Date, Datetime, Datetime2 };
    struct Checked {
        std::size_t m_column = 0;  // in the layout
        Kind m_kind = Kind::Member;
        unsigned m_maxBytes = 0;   // text: bytes per character at most
    };
    static bool dateInRange(Kind kind, std::span<const std::uint8_t> bytes);

    const MyisamRowLayout& m_layout;
    std::uint8_t m_fillerMask = 0;  // of the null area's last byte
    std::vector<Checked> m_checked;
};

} // namespace recovery::myisam
