#pragma once

#include "platform/Result.h"

#include <QByteArray>

#include <cstdint>
#include <span>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// Bytes of the reference that follows the local part of an off-page value.
inline constexpr std::uint32_t kExternRefSize = 20;

// Reads the part of a value that InnoDB keeps off-page, on a chain of BLOB
// pages named by the 20-byte reference at the end of the field's local bytes.
class InnodbBlobReader {
public:

    // The off-page bytes (without the local prefix) of the value whose
    // reference is `reference`. spaceId: the tablespace of the record, which
    // the reference must name. At most maxBytes are read: a longer value is
    // a DecodeError. A chain that loops, leaves the file, meets a page that
    // is no BLOB page, or ends before or after the length the reference
    // gives: a DecodeError naming the page.
    static platform::Result<QByteArray> read(const platform::DataFile& file, std::uint32_t spaceId,
                                             std::span<const std::uint8_t> reference, std::uint64_t maxBytes,
                                             std::uint64_t referenceOffset);
    // The length the reference gives (0 when it cannot be read).
    static std::uint64_t declaredLength(std::span<const std::uint8_t> reference);
};

} // namespace recovery::innodb
