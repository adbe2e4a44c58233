#include "recovery/innodb/InnodbPage.h"

#include "platform/DataFile.h"

#include <cstring>
#include <limits>

// InnoDB page (all multi-byte fields big-endian):
//
// | Offset | Size | Field                | Meaning                                         |
// |--------|------|----------------------|-------------------------------------------------|
// | 0      | 4    | FIL_PAGE_SPACE_OR_CHKSUM | checksum                                     |
// | 4      | 4    | FIL_PAGE_OFFSET      | the page's own number                           |
// | 8      | 4    | FIL_PAGE_PREV        | left sibling on the same level (FIL_NULL: none) |
// | 12     | 4    | FIL_PAGE_NEXT        | right sibling                                   |
// | 24     | 2    | FIL_PAGE_TYPE        | 0x45BF = B-tree page, 18 = root of an index     |
// |        |      |                      | altered in place                                |
// | 34     | 4    | FIL_PAGE_SPACE_ID    | tablespace id                                   |
// | 40     | 2    | PAGE_HEAP_TOP        | first free byte of the record heap              |
// | 42     | 2    | PAGE_N_HEAP          | records in the heap; bit 15 set = COMPACT       |
// | 50     | 2    | PAGE_INSTANT         | bits 3..15, on a root of type 18: the fields of |
// |        |      |                      | the records written before the first change     |
// | 54     | 2    | PAGE_N_RECS          | user records on the record list                 |
// | 64     | 2    | PAGE_LEVEL           | height above the leaves, 0 = leaf               |
// | 66     | 8    | PAGE_INDEX_ID        | the index the page belongs to                   |
// | 94     |      | infimum record       | COMPACT: 5 header bytes, origin 99, "infimum\0" |
// |        |      |                      | REDUNDANT: 1 end offset + 6 header bytes,       |
// |        |      |                      | origin 101, "infimum\0"                         |
// |        |      |                      | (a root of type 18 after a DROP or a move: the  |
// |        |      |                      | infimum's 8 bytes and the supremum's first 7    |
// |        |      |                      | are zero, its 8th the null-flag bytes of the    |
// |        |      |                      | records written before the first change)        |
// | 112    |      | COMPACT supremum     | origin 112, "supremum"; heap starts at 120      |
// | 116    |      | REDUNDANT supremum   | origin 116, "supremum\0"; heap starts at 125    |
// | -8     | 8    | FIL page trailer     | checksum and low LSN                            |
//
// Record headers lie below the origin (offsets relative to it):
//
// | Format    | Offset | Size | Meaning                                              |
// |-----------|--------|------|------------------------------------------------------|
// | both      | -2     | 2    | next record: REDUNDANT absolute page offset;         |
// |           |        |      | COMPACT relative to this origin, modulo 65536        |
// | REDUNDANT | -3     | 1    | bit 0 set: the field end offsets are 1 byte each     |
// | REDUNDANT | -4     | 2    | bits 1..10: number of fields                         |
// | REDUNDANT | -5     | 2    | bits 3..15: heap number                              |
// | REDUNDANT | -6     | 1    | info bits (0x20 delete mark, 0x10 min rec), n_owned  |
// | REDUNDANT | -7...  |      | field end offsets downwards: 1 byte (0x80 SQL NULL)  |
// |           |        |      | or 2 bytes (0x8000 SQL NULL, 0x4000 external)        |
// | COMPACT   | -3     | 1    | bits 0..2: status (0 ordinary, 1 node pointer,       |
// |           |        |      | 2 infimum, 3 supremum, 4 a leaf record that counts   |
// |           |        |      | its fields: below -5 one byte n, or two when n has   |
// |           |        |      | 0x80 ((n & 0x7F) | next << 7): fields beyond those   |
// |           |        |      | of the first change, less one                        |
// | COMPACT   | -4     | 2    | bits 3..15: heap number                              |
// | COMPACT   | -5     | 1    | info bits (0x20 delete mark, 0x10 min rec), n_owned  |

namespace recovery::innodb {

using platform::ByteReader;
using platform::DecodeError;
using platform::DecodeErrorCode;
using platform::Result;

namespace {

constexpr std::uint64_t kFilPageOffset = 4;
constexpr std::uint64_t kFilPagePrev = 8;
constexpr std::uint64_t kFilPageNext = 12;
constexpr std::uint64_t kFilPageSpaceId = 34;

constexpr std::uint64_t kPageHeapTop = 40;
constexpr std::uint64_t kPageNHeap = 42;
constexpr std::uint64_t kPageNRecs = 54;
constexpr std::uint64_t kPageInstant = 50;
constexpr std::uint64_t kPageLevel = 64;
constexpr std::uint64_t kPageIndexId = 66;
constexpr std::uint64_t kPageData = 94;

constexpr std::uint16_t kNHeapCompactBit = 0x8000;

constexpr std::uint16_t kCompactInfimum = 99;
constexpr std::uint16_t kCompactSupremum = 112;
constexpr std::uint16_t kCompactHeapStart = 120;

constexpr std::uint16_t kRedundantInfimum = 101;
constexpr std::uint16_t kRedundantSupremum = 116;
constexpr std::uint16_t kRedundantHeapStart = 125;
constexpr std::uint16_t kRedundantExtraBytes = 6;
constexpr std::uint8_t kRedundantInfimumEnd = 8;  // end offset of "infimum\0"

constexpr std::uint8_t kInfoDeleted = 0x20;
constexpr std::uint8_t kInfoMinRecord = 0x10;

constexpr std::uint8_t kShortEndNull = 0x80;
constexpr std::uint8_t kShortEndMask = 0x7F;
constexpr std::uint16_t kLongEndNull = 0x8000;
constexpr std::uint16_t kLongEndExternal = 0x4000;
constexpr std::uint16_t kLongEndMask = 0x3FFF;

// Record origins and field data must stay inside the page, below its trailer.
constexpr std::uint64_t kRecordLimit = kPageSize - kFilTrailerSize;

constexpr char kInfimum[] = "infimum";    // with its terminating zero: 8 bytes
constexpr char kSupremum[] = "supremum";  // COMPACT stores 8 bytes, REDUNDANT 9

bool bytesEqual(const std::vector<std::uint8_t>& page, std::uint64_t pos, const char* text,
                std::uint64_t len)
{
    return pos + len <= page.size() && std::memcmp(page.data() + pos, text, len) == 0;
}

} // namespace

Result<InnodbPage> InnodbPage::parse(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset)
{
    if (bytes.size() != kPageSize) {
        return DecodeError{DecodeErrorCode::OutOfRange, fileOffset,
                           "InnoDB page has " + std::to_string(bytes.size()) + " bytes, expected "
                               + std::to_string(kPageSize)};
    }
    InnodbPage page;
    page.m_bytes.assign(bytes.begin(), bytes.end());
    page.m_fileOffset = fileOffset;
    return page;
}

Result<InnodbPage> InnodbPage::read(const platform::DataFile& file, std::uint64_t pageNo)
{
    if (pageNo > std::numeric_limits<std::uint64_t>::max() / kPageSize - 1)
        return DecodeError{DecodeErrorCode::OutOfRange, 0,
                           "page number " + std::to_string(pageNo) + " is beyond any file"};
    const std::uint64_t offset = pageNo * kPageSize;
    auto bytes = file.readExactly(offset, kPageSize);
    if (!bytes)
        return bytes.error();
    return parse(*bytes, offset);
}

std::uint64_t InnodbPage::uintAt(std::uint64_t pos, unsigned n) const
{
    ByteReader r(m_bytes, m_fileOffset);
    r.seek(pos);
    return r.uintBe(n);  // positions used here are constants or checked first
}

std::uint32_t InnodbPage::pageNumber() const { return static_cast<std::uint32_t>(uintAt(kFilPageOffset, 4)); }
std::uint32_t InnodbPage::prevPage() const { return static_cast<std::uint32_t>(uintAt(kFilPagePrev, 4)); }
std::uint32_t InnodbPage::nextPage() const { return static_cast<std::uint32_t>(uintAt(kFilPageNext, 4)); }
std::uint16_t InnodbPage::pageType() const { return static_cast<std::uint16_t>(uintAt(kFilPageType, 2)); }
std::uint32_t InnodbPage::spaceId() const { return static_cast<std::uint32_t>(uintAt(kFilPageSpaceId, 4)); }
std::uint16_t InnodbPage::heapTop() const { return static_cast<std::uint16_t>(uintAt(kPageHeapTop, 2)); }
std::uint16_t InnodbPage::nRecs() const { return static_cast<std::uint16_t>(uintAt(kPageNRecs, 2)); }
std::uint16_t InnodbPage::level() const { return static_cast<std::uint16_t>(uintAt(kPageLevel, 2)); }
std::uint64_t InnodbPage::indexId() const { return uintAt(kPageIndexId, 8); }

std::uint16_t InnodbPage::instantCoreFields() const
{
    return static_cast<std::uint16_t>(uintAt(kPageInstant, 2) >> 3);
}

std::optional<std::uint8_t> InnodbPage::instantCoreNullBytes() const
{
    static constexpr char zeros[8] = {};
    if (!isInstantRoot() || !bytesEqual(m_bytes, infimumOrigin(), zeros, 8)
        || !bytesEqual(m_bytes, supremumOrigin(), zeros, 7))
        return std::nullopt;
    return m_bytes[supremumOrigin() + 7u];
}

std::uint16_t InnodbPage::nHeap() const
{
    return static_cast<std::uint16_t>(uintAt(kPageNHeap, 2) & ~std::uint64_t{kNHeapCompactBit});
}

// The server declares the format of a page in the high bit of PAGE_N_HEAP and
// every record operation follows that bit, so it is what we follow too. The
// older test on byte 94 gives the same answer on an intact page: there a
// REDUNDANT infimum begins with its one field end offset, 8 (for
// "infimum\0"), while a COMPACT infimum begins with its info/n_owned byte,
// which is 1 (it owns itself). On a damaged page the two may disagree; the
// walk then also checks that the infimum and supremum lie where the declared
// format puts them.
RecordFormat InnodbPage::format() const
{
    return (uintAt(kPageNHeap, 2) & kNHeapCompactBit) ? RecordFormat::Compact : RecordFormat::Redundant;
}

bool InnodbPage::infimumLooksRedundant() const
{
    return m_bytes[kPageData] == kRedundantInfimumEnd;
}

std::uint16_t InnodbPage::infimumOrigin() const
{
    return isCompact() ? kCompactInfimum : kRedundantInfimum;
}

std::uint16_t InnodbPage::supremumOrigin() const
{
    return isCompact() ? kCompactSupremum : kRedundantSupremum;
}

ByteReader InnodbPage::reader() const
{
    return ByteReader(m_bytes, m_fileOffset);
}

DecodeError InnodbPage::corrupt(std::uint64_t pos, const std::string& what) const
{
    return platform::corrupt(m_fileOffset + pos, what + " (page " + std::to_string(m_fileOffset / kPageSize)
                                                     + ", offset " + std::to_string(pos) + ")");
}

std::optional<DecodeError> InnodbPage::checkInfimumAndSupremum() const
{
    const bool compact = isCompact();
    const std::uint64_t supremumLen = compact ? 8 : 9;
    if (instantCoreNullBytes())
        return std::nullopt;
    if (!bytesEqual(m_bytes, infimumOrigin(), kInfimum, sizeof kInfimum)
        || !bytesEqual(m_bytes, supremumOrigin(), kSupremum, supremumLen))
        return corrupt(kPageData, std::string("no ") + (compact ? "COMPACT" : "REDUNDANT")
                                      + " infimum and supremum where the page header puts them");
    return std::nullopt;
}

RecordWalk InnodbPage::records() const
{
    RecordWalk walk;
    if (auto bad = checkInfimumAndSupremum()) {
        walk.error = bad;
        return walk;
    }
    const bool compact = isCompact();
    const std::uint16_t supremum = supremumOrigin();
    // The lowest origin a user record can have: the heap start plus the
    // smallest header (REDUNDANT: one end offset too).
    const std::uint64_t lowest = compact ? kCompactHeapStart + kCompactExtraBytes
                                         : kRedundantHeapStart + kRedundantExtraBytes + 1;
    std::vector<bool> visited(kPageSize, false);

    std::uint16_t origin = infimumOrigin();
    std::uint16_t next = static_cast<std::uint16_t>(uintAt(origin - 2u, 2));
    for (;;) {
        if (next == 0) {
            walk.error = corrupt(origin - 2u, "record list ends before the supremum");
            return walk;
        }
        // COMPACT pointers are relative and wrap at 16 bits; a real one always
        // lands inside the page.
        const std::uint64_t target = compact ? (std::uint64_t{origin} + next) & 0xFFFFu : next;
        if (target == supremum)
            return walk;
        if (target < lowest || target >= kRecordLimit) {
            walk.error = corrupt(origin - 2u, "record pointer " + std::to_string(target)
                                                   + " outside the page's records");
            return walk;
        }
        if (visited[target]) {
            walk.error = corrupt(origin - 2u, "record list loops back to offset " + std::to_string(target));
            return walk;
        }
        visited[target] = true;
        origin = static_cast<std::uint16_t>(target);
        InnodbRecord record;
        if (auto bad = readRecord(origin, record, next)) {
            walk.error = bad;
            return walk;
        }
        walk.records.push_back(std::move(record));
    }
}

std::optional<DecodeError> InnodbPage::readRecord(std::uint16_t origin, InnodbRecord& out,
                                                  std::uint16_t& next) const
{
    out.origin = origin;
    return isCompact() ? readCompactHeader(origin, out, next) : readRedundantHeader(origin, out, next);
}

std::optional<DecodeError> InnodbPage::readCompactHeader(std::uint16_t origin, InnodbRecord& out,
                                                         std::uint16_t& next) const
{
    const std::uint8_t info = m_bytes[origin - 5u];
    out.deleted = info & kInfoDeleted;
    out.minRecord = info & kInfoMinRecord;
    out.heapNo = static_cast<std::uint16_t>(uintAt(origin - 4u, 2) >> 3);
    out.status = m_bytes[origin - 3u] & 0x07;
    next = static_cast<std::uint16_t>(uintAt(origin - 2u, 2));
    return std::nullopt;
}

std::optional<DecodeError> InnodbPage::readRedundantHeader(std::uint16_t origin, InnodbRecord& out,
                                                           std::uint16_t& next) const
{
    const std::uint8_t info = m_bytes[origin - 6u];
    out.deleted = info & kInfoDeleted;
    out.minRecord = info & kInfoMinRecord;
    out.heapNo = static_cast<std::uint16_t>(uintAt(origin - 5u, 2) >> 3);
    const std::uint64_t nFields = (uintAt(origin - 4u, 2) >> 1) & 0x3FF;
    const bool shortEnds = m_bytes[origin - 3u] & 0x01;
    next = static_cast<std::uint16_t>(uintAt(origin - 2u, 2));

    const std::uint64_t endsSize = nFields * (shortEnds ? 1 : 2);
    if (nFields == 0 || endsSize > std::uint64_t{origin} - kRedundantExtraBytes)
        return corrupt(origin, "record with " + std::to_string(nFields) + " fields does not fit below its origin");

    out.fieldEnds.reserve(nFields);
    std::uint64_t previous = 0;
    for (std::uint64_t i = 0; i < nFields; ++i) {
        FieldEnd end;
        if (shortEnds) {
            const std::uint8_t b = m_bytes[origin - 7u - i];
            end.end = b & kShortEndMask;
            end.isNull = b & kShortEndNull;
        } else {
            const auto v = static_cast<std::uint16_t>(uintAt(origin - 8u - 2 * i, 2));
            end.end = v & kLongEndMask;
            end.isNull = v & kLongEndNull;
            end.isExternal = v & kLongEndExternal;
        }
        if (end.end < previous || std::uint64_t{origin} + end.end > kRecordLimit)
            return corrupt(origin, "field " + std::to_string(i) + " ends at " + std::to_string(end.end)
                                       + ", outside its record");
        previous = end.end;
        out.fieldEnds.push_back(end);
    }
    return std::nullopt;
}

ByteReader InnodbPage::field(const InnodbRecord& record, std::size_t i) const
{
    const ByteReader page = reader();
    if (i >= record.fieldEnds.size())
        return page.sub(kPageSize, 1);  // an empty reader carrying an out-of-range error
    const std::uint64_t start = i == 0 ? 0 : record.fieldEnds[i - 1].end;
    const std::uint64_t end = record.fieldEnds[i].end;
    if (end < start)
        return page.sub(kPageSize, 1);
    return page.sub(std::uint64_t{record.origin} + start, end - start);
}

} // namespace recovery::innodb
