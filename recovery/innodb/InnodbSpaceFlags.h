#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// What page 0 of a tablespace (an .ibd, or ibdata1 for the whole instance)
// says of how its pages are stored: their size, and whether they are
// compressed. The readers read only uncompressed pages of 16 KiB.
class InnodbSpaceFlags {
public:
    // Where page 0 keeps FSP_SPACE_FLAGS.
    static constexpr std::uint64_t kFlagsOffset = 54;

    // From the value of FSP_SPACE_FLAGS. nullopt: bits no known format sets.
    static std::optional<InnodbSpaceFlags> decode(std::uint32_t flags);
    // Page 0 of file. A file too short for it: an error value; flags of no
    // known format: nullopt in the result.
    static platform::Result<std::optional<InnodbSpaceFlags>> read(const platform::DataFile& file);

    // What a definition declares, on pages of 16 KiB.
    static InnodbSpaceFlags declared(std::uint32_t compressedPageSize, bool pageCompressed);

    std::uint32_t pageSize() const { return m_pageSize; }
    // ROW_FORMAT=COMPRESSED: the size of a compressed page (KEY_BLOCK_SIZE); 0 otherwise.
    std::uint32_t compressedPageSize() const { return m_compressedPageSize; }
    // PAGE_COMPRESSED=1: pages written compressed, each within a page of pageSize().
    bool pageCompressed() const { return m_pageCompressed; }

    // Why the readers cannot read the rows, as a log line's clause ("its
    // pages are compressed ..."); empty when they can.
    std::string unreadableReason() const;

private:
    std::uint32_t m_pageSize = 16384;
    std::uint32_t m_compressedPageSize = 0;
    bool m_pageCompressed = false;
};

} // namespace recovery::innodb
