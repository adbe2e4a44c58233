#pragma once

#include "platform/ByteReader.h"
#include "platform/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// Every tablespace the server writes with default settings uses 16 KiB pages.
inline constexpr std::uint64_t kPageSize = 16384;
// A page number that names no page.
inline constexpr std::uint32_t kFilNull = 0xFFFFFFFFu;
// Where every page keeps its type, and the size of the trailer that ends it.
inline constexpr std::uint64_t kFilPageType = 24;
inline constexpr std::uint64_t kFilTrailerSize = 8;
// FIL_PAGE_TYPE of a B-tree page.
inline constexpr std::uint16_t kPageTypeIndex = 0x45BF;
// FIL_PAGE_TYPE of the root of a clustered index that ALTER TABLE changed in
// place: its records may hold fewer fields than the index has.
inline constexpr std::uint16_t kPageTypeInstant = 18;
// Where a page's contents start, after the FIL header.
inline constexpr std::uint64_t kFilPageData = 38;
// Bytes of a COMPACT record's header before its origin (info bits, heap
// number and status, next pointer); the null flags and lengths lie before it.
inline constexpr std::uint16_t kCompactExtraBytes = 5;

enum class RecordFormat { Redundant, Compact };

// The end of one field of a REDUNDANT record, relative to the record's origin.
struct FieldEnd {
    std::uint16_t end = 0;
    bool isNull = false;      // SQL NULL
    bool isExternal = false;  // value stored off-page (2-byte offsets only)
};

// One user record found on the record list of a page.
struct InnodbRecord {
    std::uint16_t origin = 0;        // page offset of the record's origin
    bool deleted = false;            // delete mark (info bit 0x20)
    // Info bit 0x10: the leftmost node pointer of a level, or on a leaf the
    // metadata record of a table altered in place.
    bool minRecord = false;
    std::uint16_t heapNo = 0;
    // COMPACT only: 0 ordinary, 1 node pointer, 4 a leaf record that
    // counts its fields (a table altered in place)
    std::uint8_t status = 0;
    // REDUNDANT only: the end offset of each field, in field order.
    std::vector<FieldEnd> fieldEnds;
};

// The records of a page in list order. On damage (a pointer outside the
// page, a loop, a header or field that does not fit) the walk stops: records
// holds what was found before it and error says why.
struct RecordWalk {
    std::vector<InnodbRecord> records;
    std::optional<platform::DecodeError> error;
};

// One page of an InnoDB tablespace, owned and immutable after parsing.
class InnodbPage {
public:
    // Parses a page from exactly kPageSize bytes; fileOffset is where the page
    // starts in its file (used in error offsets). Fewer or more bytes: an
    // OutOfRange error.
    static platform::Result<InnodbPage> parse(std::span<const std::uint8_t> bytes,
                                              std::uint64_t fileOffset = 0);
    // Reads page pageNo of file. A page beyond the end of the file or one cut
    // short by it: an error value.
    static platform::Result<InnodbPage> read(const platform::DataFile& file, std::uint64_t pageNo);

    std::uint64_t fileOffset() const { return m_fileOffset; }

    // FIL header.
    std::uint32_t pageNumber() const;  // FIL_PAGE_OFFSET: the page's own number
    std::uint32_t prevPage() const;
    std::uint32_t nextPage() const;
    std::uint16_t pageType() const;
    std::uint32_t spaceId() const;

    // Index page header.
    std::uint16_t heapTop() const;     // PAGE_HEAP_TOP
    std::uint16_t nHeap() const;       // PAGE_N_HEAP without the format bit
    std::uint16_t nRecs() const;       // PAGE_N_RECS
    std::uint16_t level() const;       // PAGE_LEVEL, 0 = leaf
    std::uint64_t indexId() const;     // PAGE_INDEX_ID
    bool isLeaf() const { return level() == 0; }
    // The root of an index altered in place (kPageTypeInstant); then
    // PAGE_INSTANT gives the fields of the records written before it.
    bool isInstantRoot() const { return pageType() == kPageTypeInstant; }
    std::uint16_t instantCoreFields() const;
    // Where a column was dropped or moved in place, the server blanks the
    // root's infimum and supremum and keeps in the supremum's last byte the
    // null-flag bytes of the records written before: that byte, else nullopt.
    std::optional<std::uint8_t> instantCoreNullBytes() const;

    RecordFormat format() const;
    bool isCompact() const { return format() == RecordFormat::Compact; }
    // What byte 94 (the first byte of the infimum) says: 8 is the REDUNDANT
    // infimum's end offset. Kept for comparison with format().
    bool infimumLooksRedundant() const;

    std::uint16_t infimumOrigin() const;
    std::uint16_t supremumOrigin() const;

    // Walks the record list from the infimum to the supremum.
    RecordWalk records() const;

    // The bytes of field i of a REDUNDANT record, as a reader of their own
    // (base = their file offset). Out of range: an empty reader carrying the error.
    platform::ByteReader field(const InnodbRecord& record, std::size_t i) const;
    // A reader over the whole page (base = the page's file offset).
    platform::ByteReader reader() const;
    // The page's bytes, for its checksums.
    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    // Damage at byte pos of this page, worded with the page number and offset.
    platform::DecodeError corrupt(std::uint64_t pos, const std::string& what) const;

private:
    InnodbPage() = default;

    std::uint64_t uintAt(std::uint64_t pos, unsigned n) const;
    std::optional<platform::DecodeError> checkInfimumAndSupremum() const;
    std::optional<platform::DecodeError> readRecord(std::uint16_t origin, InnodbRecord& out,
                                                    std::uint16_t& next) const;
    std::optional<platform::DecodeError> readRedundantHeader(std::uint16_t origin, InnodbRecord& out,
                                                             std::uint16_t& next) const;
    std::optional<platform::DecodeError> readCompactHeader(std::uint16_t origin, InnodbRecord& out,
                                                           std::uint16_t& next) const;

    std::vector<std::uint8_t> m_bytes;  // always kPageSize bytes
    std::uint64_t m_fileOffset = 0;
};

} // namespace recovery::innodb
