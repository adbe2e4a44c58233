#pragma once

#include "model/RowValue.h"
#include "model/tempColInfo.h"
#include "platform/Result.h"
#include "recovery/innodb/InnodbPage.h"

#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>

namespace recovery::innodb {

// Where a column's bytes sit in a clustered-index record of one row format.
struct FieldShape {
    std::uint32_t fixedWidth = 0;  // bytes of a fixed-width field; 0 = variable
    // A variable field that may take a 2-byte length (COMPACT): longer than
    // 255 bytes at most, or a BLOB/TEXT/geometry field.
    bool bigLength = false;
    bool variable() const { return fixedWidth == 0; }
};

// One column's value from its complete stored bytes (an off-page value
// already joined to its prefix), as InnoDB keeps it: integers big-endian with
// the sign bit flipped, FLOAT/DOUBLE little-endian IEEE 754, the temporal
// forms of the server, text in the column's character set.
class InnodbColumnDecoder {
public:
    // The shape of the column's field; nullopt for a type this reader cannot
    // place (the record cannot be split into fields then).
    static std::optional<FieldShape> shapeOf(const engine::tempColInfo& column, RecordFormat format);
    // members: the ENUM or SET members of the column.
    static platform::Result<engine::RowValue> convert(const engine::tempColInfo& column, const QStringList& members,
                                                      std::span<const std::uint8_t> bytes, std::uint64_t offset);
    // Character sets whose CHAR columns COMPACT keeps with a length (more
    // than one byte per character, and not a fixed number of them).
    static bool isVariableWidthCharset(std::uint16_t collation);
};

} // namespace recovery::innodb
