#pragma once

#include "platform/ByteReader.h"
#include "platform/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace engine {

// The kinds of entry MariaDB writes into the extra2 block; the numbers are
// the server's own.
enum class FrmExtra2Kind : std::uint8_t {
    TableDefinitionVersion = 0,
    DefaultPartitionEngine = 1,
    Gis = 2,
    ApplicationTimePeriod = 3,
    SystemTimePeriod = 4,
    IndexFlags = 5,
    EngineTableOptions = 128,
    FieldFlags = 129,
    FieldDataTypeInfo = 130,
    PeriodWithoutOverlaps = 131,
};

struct FrmExtra2 {
    // Each entry's value by its kind; a kind written twice keeps its first.
    std::map<std::uint8_t, std::vector<std::uint8_t>> entries;
    // Set when the block could not be read to its end; entries holds those before it.
    std::optional<platform::DecodeError> damage;

    // The value of one kind of entry; null when the block has none.
    const std::vector<std::uint8_t>* find(FrmExtra2Kind kind) const;
};

// The extra2 block MariaDB 10.0 and later write right after the 64-byte
// header of a table definition: what the older layout had no place for
// (field visibility, data type plugins, periods, ...).
class FrmExtra2Block {
public:
    // block: the whole block, based at its file offset.
    static FrmExtra2 read(platform::ByteReader block);
};

} // namespace engine
