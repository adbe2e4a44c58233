#pragma once

#include "model/ColumnTypeCode.h"

#include <QString>

#include <cstdint>

namespace engine {

// The column description the row readers hand to the column decoders.
struct tempColInfo {
    QString m_name;
    QString m_typeName;
    QString m_nullText;
    QString m_signText;
    ColumnTypeCode m_typeCode = 0;
    std::uint16_t m_charset = 0;
    // Bytes of the stored value; the display width for YEAR, the bit count
    // for BIT, the precision for DECIMAL.
    std::uint32_t m_length = 0;
    std::uint16_t m_scale = 0;
    // Ordinal among the table's nullable columns (0 when not nullable).
    std::int32_t m_nullFlagIndex = 0;
    // A stored generated column: read and shown, but the server computes
    // it, so an INSERT leaves it out.
    bool m_generated = false;
    // Declared COMPRESSED: the stored bytes are expanded before they are read.
    bool m_compressed = false;
};

} // namespace engine
