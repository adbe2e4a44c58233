#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <span>

namespace recovery::myisam {

// The header of one block of a MyISAM data file with dynamic rows. A record
// is one start block and, when it was split, continuation blocks linked by
// 8-byte positions; deleted blocks sit between them.
struct MyisamBlockHeader {
    // Longest header (type 0, a deleted block); parse() needs at most this.
    static constexpr std::uint32_t kMaxHeaderLength = 20;
    // Blocks start on multiples of this and are never shorter than 20 bytes.
    static constexpr std::uint64_t kAlignment = 4;
    static constexpr std::uint64_t kMinBlockLength = 20;

    // Parses the header at the start of bytes, which starts at file offset
    // `pos` (used in errors). Errors: an unknown type byte, a header cut short
    // by the end of the bytes, a deleted block shorter than its own header.
    static platform::Result<MyisamBlockHeader> parse(std::span<const std::uint8_t> bytes, std::uint64_t pos);

    bool deleted() const { return m_type == 0; }
    // Types 1 to 6 and 13 begin a record; 7 to 12 continue one.
    bool startsRecord() const { return (m_type >= 1 && m_type <= 6) || m_type == 13; }
    bool hasNext() const { return m_type == 5 || m_type == 6 || m_type == 11 || m_type == 12 || m_type == 13; }
    // Bytes from the type byte to the next block.
    std::uint64_t totalLength() const { return m_headerLength + m_blockLength; }

    std::uint8_t m_type = 0;
    std::uint32_t m_headerLength = 0;  // type byte included
    std::uint64_t m_recordLength = 0;  // start blocks: the whole record's length
    std::uint64_t m_dataLength = 0;    // record bytes in this block
    std::uint64_t m_blockLength = 0;   // after the header: data and unused bytes (type 0: whole block)
    std::uint64_t m_nextPos = 0;       // next block of the record (or of the deleted chain)
};

} // namespace recovery::myisam
