#pragma once

#include "model/ColumnTypeCode.h"
#include "platform/Result.h"

#include <QByteArray>

#include <cstdint>
#include <span>

namespace recovery {

// The values of columns declared COMPRESSED, as both engines keep them
// after the value's own length: a header byte, then the bytes as they are or
// deflated. Turns them back into the value the server returns.
class CompressedValue {
public:
    // The most bytes a value of the column holds once expanded: a VARCHAR's
    // declared length, a blob's length-prefix maximum.
    static std::uint64_t maxLength(engine::ColumnTypeCode code, std::uint32_t length);

    // The value of the stored bytes; empty stays empty. A header the server
    // does not write, a stream that does not inflate, or a value that is
    // not of its stated length or longer than maxLength is damage at offset.
    static platform::Result<QByteArray> expand(std::span<const std::uint8_t> stored, std::uint64_t maxLength,
                                               std::uint64_t offset);
};

} // namespace recovery
