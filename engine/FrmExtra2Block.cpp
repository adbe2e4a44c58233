#include "engine/FrmExtra2Block.h"

// Extra2 block of a table definition (MariaDB 10.0 and later), at offset 64;
// its length is the 2-byte value at offset 4. Entries one after another to
// the end of the block:
//
// | Offset | Size | Meaning                                                      |
// |--------|------|--------------------------------------------------------------|
// | +0     | 1    | kind (FrmExtra2Kind)                                         |
// | +1     | 1    | length L of the value; 0: the length is the next 2 bytes (LE)|
// | +2/+4  | L    | value                                                        |
//
// A length of zero after the escape, or a value past the block, ends the walk.

namespace engine {

const std::vector<std::uint8_t>* FrmExtra2::find(FrmExtra2Kind kind) const
{
    const auto it = entries.find(static_cast<std::uint8_t>(kind));
    return it == entries.end() ? nullptr : &it->second;
}

FrmExtra2 FrmExtra2Block::read(platform::ByteReader block)
{
    FrmExtra2 out;
    // The smallest entry is three bytes: kind, length, one value byte.
    while (block.remaining() >= 3) {
        const std::uint64_t start = block.pos();
        const std::uint8_t kind = block.u8();
        std::uint32_t length = block.u8();
        if (length == 0)
            length = block.u16le();
        if (length == 0 || !block.canRead(block.pos(), length)) {
            out.damage = platform::corrupt(block.base() + start,
                                           "extra2 entry of kind " + std::to_string(kind) + " does not fit its block");
            break;
        }
        const auto value = block.bytes(length);
        out.entries.try_emplace(kind, value.begin(), value.end());
    }
    if (!out.damage && block.remaining() > 0)
        out.damage = platform::corrupt(block.base() + block.pos(), "extra2 block ends inside an entry");
    return out;
}

} // namespace engine
