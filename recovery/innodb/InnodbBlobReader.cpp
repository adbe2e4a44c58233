#include "recovery/innodb/InnodbBlobReader.h"

#include "platform/ByteReader.h"
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbPage.h"

#include <unordered_set>

// Reference to an off-page value (the last 20 bytes of the field's local
// part; COMPACT and REDUNDANT keep a 768-byte prefix before it, DYNAMIC none):
//
// | Offset | Size | Meaning                                                 |
// |--------|------|---------------------------------------------------------|
// | 0      | 4    | space id                                                |
// | 4      | 4    | first BLOB page                                         |
// | 8      | 4    | offset of the BLOB header on that page (38)             |
// | 12     | 4    | high half of the length: flags 0x80 owner, 0x40 inherit |
// | 16     | 4    | length of the off-page part                             |
//
// BLOB page (FIL_PAGE_TYPE 10):
//
// | Offset | Size | Meaning                                    |
// |--------|------|--------------------------------------------|
// | 24     | 2    | FIL_PAGE_TYPE = 10                         |
// | 38     | 4    | bytes of the value on this page            |
// | 42     | 4    | next BLOB page, FIL_NULL on the last       |
// | 46     |      | the bytes                                  |

namespace recovery::innodb {

using platform::ByteReader;
using platform::DecodeError;
using platform::Result;

namespace {

constexpr std::uint16_t kPageTypeBlob = 10;
constexpr std::uint64_t kBlobHeaderSize = 8;
constexpr std::uint32_t kLengthFlagMask = 0xC0000000u;
const char* const kTooLong = "too long";

using platform::corrupt;

} // namespace

std::uint64_t InnodbBlobReader::declaredLength(std::span<const std::uint8_t> reference)
{
    ByteReader r(reference);
    r.seek(12);
    const std::uint64_t high = r.u32be() & ~kLengthFlagMask;
    const std::uint64_t low = r.u32be();
    return r ? high << 32 | low : 0;
}

Result<QByteArray> InnodbBlobReader::read(const platform::DataFile& file, std::uint32_t spaceId,
                                          std::span<const std::uint8_t> reference, std::uint64_t maxBytes,
                                          std::uint64_t referenceOffset)
{
    if (reference.size() != kExternRefSize)
        return corrupt(referenceOffset, "off-page reference of the wrong size");
    ByteReader ref(reference, referenceOffset);
    const std::uint32_t space = ref.u32be();
    std::uint64_t page = ref.u32be();
    std::uint64_t headerOffset = ref.u32be();
    const std::uint64_t length = declaredLength(reference);
    if (space != spaceId)
        return corrupt(referenceOffset, "off-page reference names tablespace " + std::to_string(space));
    if (length > maxBytes)
        return corrupt(referenceOffset, std::string(kTooLong) + ": an off-page value of " + std::to_string(length)
                                            + " bytes");
    const std::uint64_t pageCount = file.size() / kPageSize;
    // Every page holds at least one byte of the value, so a chain longer than
    // the file's pages, or one that meets a page twice, is damaged.
    std::unordered_set<std::uint64_t> visited;
    QByteArray value;
    value.reserve(static_cast<qsizetype>(length));
    while (static_cast<std::uint64_t>(value.size()) < length) {
        if (page == 0 || page >= pageCount || !visited.insert(page).second)
            return corrupt(referenceOffset, "off-page chain names page " + std::to_string(page)
                                                + (page < pageCount ? " twice or page 0" : " beyond the file"));
        if (headerOffset < kFilPageData || headerOffset + kBlobHeaderSize > kPageSize - kFilTrailerSize)
            return corrupt(page * kPageSize, "BLOB header outside the page");
        auto bytes = file.readExactly(page * kPageSize, kPageSize);
        if (!bytes)
            return bytes.error();
        ByteReader p(*bytes, page * kPageSize);
        p.seek(kFilPageType);
        const std::uint16_t type = p.u16be();
        p.seek(headerOffset);
        const std::uint64_t partLength = p.u32be();
        const std::uint64_t next = p.u32be();
        if (type != kPageTypeBlob)
            return corrupt(page * kPageSize, "page " + std::to_string(page) + " of an off-page chain is no BLOB page");
        if (partLength == 0 || partLength > length - static_cast<std::uint64_t>(value.size())
            || !p.canRead(p.pos(), partLength) || p.pos() + partLength > kPageSize - kFilTrailerSize)
            return corrupt(page * kPageSize + headerOffset,
                           "BLOB page " + std::to_string(page) + " holds a part that does not fit");
        const auto part = p.bytes(partLength);
        value.append(QByteArrayView(part.data(), static_cast<qsizetype>(part.size())));
        if (next == kFilNull)
            break;
        page = next;
        headerOffset = kFilPageData;
    }
    if (static_cast<std::uint64_t>(value.size()) != length)
        return corrupt(referenceOffset, "off-page chain ends after " + std::to_string(value.size()) + " of "
                                            + std::to_string(length) + " bytes");
    return value;
}

} // namespace recovery::innodb
