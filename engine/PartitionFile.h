#pragma once

#include "platform/Result.h"

#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

namespace engine {

// The partition list a partitioned table keeps beside its definition (t.par):
// every partition, or subpartition as "p0#SP#p0sp0", in the order the rows
// are read, as the file names have them, and the engine the server keeps each in.
struct PartitionFile {
    // The legacy engine numbers the file stores.
    static constexpr std::uint8_t kMyisamEngine = 9;
    static constexpr std::uint8_t kInnodbEngine = 12;

    QStringList m_names;
    std::vector<std::uint8_t> m_engines;

    // An error when the bytes are cut short, fail their checksum or do not
    // name as many partitions as they count.
    static platform::Result<PartitionFile> parse(std::span<const std::uint8_t> bytes);
};

} // namespace engine
