#include "recovery/myisam/MyisamBlockHeader.h"

#include "platform/ByteReader.h"

#include <string>

// Block headers of MyISAM dynamic rows (after the type byte; big-endian).
//
// | type | fields                                        | header | kind                 |
// |------|-----------------------------------------------|--------|----------------------|
// | 0    | block length 3, next deleted 8, prev deleted 8 | 20     | deleted block        |
// | 1    | length 2                                      | 3      | whole record         |
// | 2    | length 3                                      | 4      | whole record         |
// | 3    | length 2, unused 1                            | 4      | whole record + slack |
// | 4    | length 3, unused 1                            | 5      | whole record + slack |
// | 5    | record length 2, data length 2, next 8        | 13     | first of a split     |
// | 6    | record length 3, data length 3, next 8        | 15     | first of a split     |
// | 7    | length 2                                      | 3      | last of a split      |
// | 8    | length 3                                      | 4      | last of a split      |
// | 9    | length 2, unused 1                            | 4      | last + slack         |
// | 10   | length 3, unused 1                            | 5      | last + slack         |
// | 11   | length 2, next 8                              | 11     | middle of a split    |
// | 12   | length 3, next 8                              | 12     | middle of a split    |
// | 13   | record length 4, data length 3, next 8        | 16     | first of a split     |
//
// The header length counts the type byte. Block length (type 0) counts the
// whole block, header included; for the others the data and unused bytes
// follow the header.

namespace recovery::myisam {

namespace {

struct Layout {
    std::uint8_t recordBytes;  // 0 = the record length is the data length
    std::uint8_t dataBytes;
    bool unused;
    bool next;
};

constexpr Layout kLayouts[14] = {
    {0, 0, false, false}, // 0 is read apart
    {0, 2, false, false}, {0, 3, false, false}, {0, 2, true, false}, {0, 3, true, false},
    {2, 2, false, true},  {3, 3, false, true},  {0, 2, false, false}, {0, 3, false, false},
    {0, 2, true, false},  {0, 3, true, false},  {0, 2, false, true},  {0, 3, false, true},
    {4, 3, false, true},
};

} // namespace

platform::Result<MyisamBlockHeader> MyisamBlockHeader::parse(std::span<const std::uint8_t> bytes, std::uint64_t pos)
{
    platform::ByteReader r(bytes, pos);
    MyisamBlockHeader h;
    h.m_type = r.u8();
    if (!r)
        return *r.error();
    if (h.m_type > 13)
        return platform::corrupt(pos, "block type " + std::to_string(h.m_type) + " is not a MyISAM block");
    if (h.m_type == 0) {
        h.m_blockLength = r.u24be();
        h.m_nextPos = r.u64be();
        r.skip(8);
        if (!r)
            return *r.error();
        h.m_headerLength = 20;
        if (h.m_blockLength < kMinBlockLength)
            return platform::corrupt(pos, "deleted block of " + std::to_string(h.m_blockLength) + " bytes");
        // The length of a deleted block counts its header too.
        h.m_blockLength -= h.m_headerLength;
        return h;
    }
    const Layout& l = kLayouts[h.m_type];
    if (l.recordBytes != 0)
        h.m_recordLength = r.uintBe(l.recordBytes);
    h.m_dataLength = r.uintBe(l.dataBytes);
    if (l.recordBytes == 0)
        h.m_recordLength = h.m_dataLength;
    const std::uint64_t unused = l.unused ? r.u8() : 0;
    if (l.next)
        h.m_nextPos = r.u64be();
    if (!r)
        return *r.error();
    h.m_headerLength = static_cast<std::uint32_t>(r.pos());
    h.m_blockLength = h.m_dataLength + unused;
    return h;
}

} // namespace recovery::myisam
