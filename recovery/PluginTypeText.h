#pragma once

#include "model/ColumnTypeCode.h"
#include "platform/Result.h"
#include "recovery/ValueText.h"

#include <cstdint>
#include <span>

namespace recovery {

// The text the server shows for a value of the types its type plugins add
// (UUID, INET6, INET4), from the bytes both engines keep for it, so that a
// preview shows what a SELECT would and a repair sends text the server reads
// back to the same value.
class PluginTypeText {
public:
    // code: TYPE_UUID, TYPE_UUID_ALWAYS_TURNED, TYPE_INET6 or TYPE_INET4.
    // Bytes of another size than the type keeps: an error naming offset.
    static platform::Result<ShortText> ascii(engine::ColumnTypeCode code, std::span<const std::uint8_t> bytes,
                                             std::uint64_t offset = 0);
};

} // namespace recovery
