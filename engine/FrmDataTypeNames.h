#pragma once

#include "platform/ByteReader.h"
#include "platform/Result.h"

#include <QByteArray>

#include <cstdint>
#include <map>
#include <optional>

namespace engine {

// The data type names of the fields whose type a type plugin supplies
// (uuid, inet6, inet4), by field number from 0.
struct FrmDataTypes {
    std::map<std::uint32_t, QByteArray> names;
    // Set when the entry could not be read to its end; names holds those before it.
    std::optional<platform::DecodeError> damage;
};

// Reads the value of the extra2 block's field data type entry.
class FrmDataTypeNames {
public:
    static FrmDataTypes read(platform::ByteReader value);
};

} // namespace engine
