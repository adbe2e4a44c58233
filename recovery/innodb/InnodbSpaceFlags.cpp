#include "recovery/innodb/InnodbSpaceFlags.h"

#include "platform/DataFile.h"
#include "recovery/innodb/InnodbPage.h"

// FSP_SPACE_FLAGS (4 bytes, big-endian, at byte 54 of page 0), in one of two
// layouts told apart by bit 4, which the first never sets (its ZIP_SSIZE is
// at most 5):
//
// | Bits   | Layout                | Meaning                                          |
// |--------|-----------------------|--------------------------------------------------|
// | 0      | classic               | POST_ANTELOPE (not REDUNDANT)                    |
// | 1..4   | classic               | ZIP_SSIZE: 0, or ROW_FORMAT=COMPRESSED with      |
// |        |                       | pages of 512 << n bytes (1 to 5: 1 to 16 KiB)    |
// | 5      | classic               | ATOMIC_BLOBS                                     |
// | 6..9   | classic               | PAGE_SSIZE: 0 for 16 KiB, else 512 << n (3..7)   |
// | 10..15 | classic               | reserved (MySQL 5.6/5.7: DATA_DIR, SHARED, ...)  |
// | 16     | classic               | PAGE_COMPRESSED (MariaDB)                        |
// | 0..3   | full_crc32 (MariaDB)  | page size, 512 << n (3..7)                       |
// | 4      | full_crc32            | marker, always set                               |
// | 5..7   | full_crc32            | PAGE_COMPRESSED's algorithm, 0 for none          |

namespace recovery::innodb {

namespace {

constexpr std::uint32_t kFullCrc32Marker = 1u << 4;
constexpr std::uint32_t kClassicPageCompressed = 1u << 16;
// Page sizes the server can be made with: 4 KiB (3) to 64 KiB (7).
constexpr std::uint32_t kSmallestShift = 3;
constexpr std::uint32_t kLargestShift = 7;
constexpr std::uint32_t kDefaultPageSize = 16384;

std::string kibibytes(std::uint32_t bytes)
{
    return std::to_string(bytes / 1024) + " KiB";
}

} // namespace

std::optional<InnodbSpaceFlags> InnodbSpaceFlags::decode(std::uint32_t flags)
{
    InnodbSpaceFlags out;
    if (flags & kFullCrc32Marker) {
        const std::uint32_t shift = flags & 0xF;
        const std::uint32_t algorithm = flags >> 5;
        if (shift < kSmallestShift || shift > kLargestShift || algorithm > 7)
            return std::nullopt;
        out.m_pageSize = 512u << shift;
        out.m_pageCompressed = algorithm != 0;
        return out;
    }
    if (flags >> 17)
        return std::nullopt;
    const std::uint32_t zipShift = (flags >> 1) & 0xF;
    const std::uint32_t pageShift = (flags >> 6) & 0xF;
    if (pageShift != 0 && (pageShift < kSmallestShift || pageShift > kLargestShift))
        return std::nullopt;
    out.m_pageSize = pageShift == 0 ? kDefaultPageSize : 512u << pageShift;
    if (zipShift != 0) {
        if (zipShift > 5 || (512u << zipShift) > out.m_pageSize)
            return std::nullopt;
        out.m_compressedPageSize = 512u << zipShift;
    }
    out.m_pageCompressed = (flags & kClassicPageCompressed) != 0;
    return out;
}

InnodbSpaceFlags InnodbSpaceFlags::declared(std::uint32_t compressedPageSize, bool pageCompressed)
{
    InnodbSpaceFlags out;
    out.m_compressedPageSize = compressedPageSize;
    out.m_pageCompressed = pageCompressed;
    return out;
}

platform::Result<std::optional<InnodbSpaceFlags>> InnodbSpaceFlags::read(const platform::DataFile& file)
{
    auto bytes = file.readExactly(kFlagsOffset, 4);
    if (!bytes)
        return bytes.error();
    const auto& b = *bytes;
    const std::uint32_t flags = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16)
        | (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
    return decode(flags);
}

std::string InnodbSpaceFlags::unreadableReason() const
{
    if (m_compressedPageSize != 0)
        return "its pages are compressed (ROW_FORMAT=COMPRESSED, KEY_BLOCK_SIZE=" + std::to_string(
                   m_compressedPageSize / 1024) + "), which this program does not read";
    if (m_pageCompressed)
        return "its pages are compressed (PAGE_COMPRESSED), which this program does not read";
    if (m_pageSize != kPageSize)
        return "its pages are " + kibibytes(m_pageSize) + " (innodb_page_size); this program reads only pages of "
            + kibibytes(static_cast<std::uint32_t>(kPageSize));
    return {};
}

} // namespace recovery::innodb
