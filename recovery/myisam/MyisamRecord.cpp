#include "recovery/myisam/MyisamRecord.h"

#include "platform/ByteReader.h"
#include "recovery/ColumnStorage.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <algorithm>
#include <string>

// A packed (dynamic) MyISAM record, after its blocks are put together:
//
// | part            | size                 | meaning                                       |
// |-----------------|----------------------|-----------------------------------------------|
// | flag bytes      | packed-field bytes   | one bit per field of a packed kind, LSB first |
// | fields          | varies               | in index-file order, each by its type:        |
// |   NORMAL        | field length         |   as stored                                   |
// |   SKIP_ENDSPACE | flag: 1-2 + n        |   flag set: length, then the bytes before the |
// |   SKIP_PRESPACE |       else length    |   trailing (leading) blanks                   |
// |   SKIP_ZERO     | flag: 0, else length |   flag set: all zero bytes                    |
// |   BLOB          | flag: 0              |   flag set: empty; else its length (1-4 bytes |
// |                 | else prefix + data   |   LE) and the value                           |
// |   VARCHAR       | 1, or 1/3 + n        |   length: 1 byte for short columns, else one  |
// |                 |                      |   byte, or FF and 2 bytes big-endian; no flag |
// | checksum        | 0 or 1               | when the table keeps a checksum               |
//
// A SKIP_*SPACE length is 2 bytes, low 7 bits first with the top bit of the
// first byte set, when the field is longer than 255 and the length above 127.

namespace recovery::myisam {

namespace {

using platform::ByteReader;
using platform::DecodeError;

using platform::corrupt;

} // namespace

std::span<const std::uint8_t> MyisamRecord::blob(std::int32_t fieldDef) const
{
    if (fieldDef < 0 || static_cast<std::size_t>(fieldDef) >= m_blobs.size())
        return {};
    const Span& s = m_blobs[static_cast<std::size_t>(fieldDef)];
    return std::span<const std::uint8_t>(m_packed).subspan(s.offset, s.length);
}

platform::Result<bool> MyisamRecord::unpack(const MyisamRowLayout& layout)
{
    ByteReader r(m_packed);
    ByteReader flags(r.bytes(layout.m_packFlagBytes));
    std::uint8_t flag = flags.u8();
    unsigned bit = 1;
    const auto nextFlag = [&]() {
        const bool set = (flag & bit) != 0;
        if ((bit <<= 1) == 256) {
            flag = flags.u8();
            bit = 1;
        }
        return set;
    };
    m_image.assign(layout.m_recordLength, 0);
    m_blobs.assign(layout.m_fieldDefs.size(), Span{});
    std::uint32_t to = 0;
    for (std::size_t i = 0; i < layout.m_fieldDefs.size() && r; ++i) {
        const MyisamFieldDef& def = layout.m_fieldDefs[i];
        const std::uint32_t length = def.m_length;
        std::uint8_t* out = m_image.data() + to;
        to += length;
        const std::uint64_t at = r.pos();
        if (def.m_type == FIELD_VARCHAR) {
            const unsigned prefix = ColumnStorage::varcharLengthBytesOfWidth(length);
            std::uint32_t n = r.u8();
            if (prefix == 2 && n == 0xFF)
                n = r.u16be();
            if (n > length - prefix)
                return corrupt(at, "VARCHAR length " + std::to_string(n) + " beyond its column");
            out[0] = static_cast<std::uint8_t>(n);
            if (prefix == 2)
                out[1] = static_cast<std::uint8_t>(n >> 8);
            const auto data = r.bytes(n);
            std::copy(data.begin(), data.end(), out + prefix);
            continue;
        }
        if (def.m_type == FIELD_NORMAL || def.m_type == FIELD_CHECK) {
            const auto data = r.bytes(length);
            std::copy(data.begin(), data.end(), out);
            continue;
        }
        const bool packed = nextFlag();
        if (def.m_type == FIELD_BLOB) {
            if (packed)
                continue; // an empty value: zero length, zero pointer
            const unsigned prefix = length - 8;
            const std::uint64_t n = r.uintLe(prefix);
            for (unsigned b = 0; b < prefix; ++b)
                out[b] = static_cast<std::uint8_t>(n >> (8 * b));
            m_blobs[i] = Span{r.pos(), n};
            if (!r.skip(n))
                return corrupt(at, "blob of " + std::to_string(n) + " bytes past the end of its record");
            continue;
        }
        if (def.m_type == FIELD_SKIP_ZERO) {
            if (!packed) {
                const auto data = r.bytes(length);
                std::copy(data.begin(), data.end(), out);
            }
            continue;
        }
        if (def.m_type == FIELD_SKIP_ENDSPACE || def.m_type == FIELD_SKIP_PRESPACE) {
            if (!packed) {
                const auto data = r.bytes(length);
                std::copy(data.begin(), data.end(), out);
                continue;
            }
            std::uint32_t n = r.u8();
            if (length > 255 && (n & 0x80))
                n = (n & 0x7F) + (std::uint32_t{r.u8()} << 7);
            if (n >= length)
                return corrupt(at, "packed field of " + std::to_string(n) + " bytes in a field of " + std::to_string(length));
            const auto data = r.bytes(n);
            std::fill(out, out + length, ' ');
            std::copy(data.begin(), data.end(), def.m_type == FIELD_SKIP_ENDSPACE ? out : out + (length - n));
            continue;
        }
        return corrupt(at, "field type " + std::to_string(def.m_type) + " belongs to compressed tables");
    }
    if (!r)
        return corrupt(r.error()->offset, "record shorter than its fields");
    m_packedUsed = r.pos();
    // Only the checksum byte may follow the fields.
    if (r.remaining() > (layout.m_checksum ? 1u : 0u))
        return corrupt(r.pos(), std::to_string(r.remaining()) + " bytes left over after the last field");
    return true;
}

} // namespace recovery::myisam
