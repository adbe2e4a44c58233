// Layout (all words 4-byte little-endian): the length in words of the list
// up to its names' end, a checksum that makes the XOR of those words
// zero, the number of partitions N, N engine bytes padded to whole words, the
// length of the names, then the names, each ending in a zero byte.
#include "engine/PartitionFile.h"

#include "model/FrmText.h"
#include "platform/ByteReader.h"

namespace engine {

namespace {
// The server allows no more partitions than this.
constexpr std::uint32_t kMaxPartitions = 8192;
} // namespace

platform::Result<PartitionFile> PartitionFile::parse(std::span<const std::uint8_t> bytes)
{
    platform::ByteReader r(bytes);
    const std::uint32_t words = r.u32le();
    if (!r || words < 4 || std::uint64_t{words} * 4 > bytes.size())
        return platform::corrupt(0, "the partition list is cut short");
    std::uint32_t all = 0;
    r.seek(0);
    for (std::uint32_t i = 0; i < words; ++i)
        all ^= r.u32le();
    if (all != 0)
        return platform::corrupt(4, "the partition list fails its checksum");
    r.seek(8);
    const std::uint32_t count = r.u32le();
    if (count == 0 || count > kMaxPartitions)
        return platform::corrupt(8, "the partition list counts " + std::to_string(count) + " partitions");
    PartitionFile file;
    auto engines = r.bytes(count);
    file.m_engines.assign(engines.begin(), engines.end());
    r.seek(12 + (std::uint64_t{count} + 3) / 4 * 4);
    const std::uint32_t namesLength = r.u32le();
    const std::uint64_t namesStart = r.pos();
    if (!r || namesStart + namesLength > std::uint64_t{words} * 4)
        return platform::corrupt(namesStart, "the partition names are cut short");
    auto names = r.bytes(namesLength);
    std::size_t start = 0;
    for (std::size_t i = 0; i < names.size() && static_cast<std::uint32_t>(file.m_names.size()) < count; ++i) {
        if (names[i] != 0)
            continue;
        file.m_names.append(FrmText::metadataText(names.subspan(start, i - start)));
        start = i + 1;
    }
    if (static_cast<std::uint32_t>(file.m_names.size()) != count || file.m_names.contains(QString()))
        return platform::corrupt(namesStart, "the partition list names " + std::to_string(file.m_names.size())
                                                 + " of its " + std::to_string(count) + " partitions");
    return file;
}

} // namespace engine
