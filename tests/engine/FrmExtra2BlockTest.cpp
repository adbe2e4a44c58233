#include "engine/FrmExtra2Block.h"

#include <gtest/gtest.h>

#include <vector>

using engine::FrmExtra2Block;
using engine::FrmExtra2Kind;
using platform::ByteReader;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kBase = 64; // where the block sits in its file

struct Extra2Case {
    const char* name;
    Bytes block;
    std::size_t entries;         // read before the end or the damage
    bool damaged;
    std::uint64_t damageOffset;  // file offset named by the error
};

Bytes longEntry(std::uint8_t kind, std::uint16_t length)
{
    // Made at its full size: a resize of the 4-byte vector trips GCC 12's
    // bounds warning in Release builds.
    Bytes e(4u + length, 0xAB);
    e[0] = kind;
    e[1] = 0;
    e[2] = static_cast<std::uint8_t>(length);
    e[3] = static_cast<std::uint8_t>(length >> 8);
    return e;
}

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(FrmExtra2Block, EntriesAreReadUntilTheBlockEndsOrBreaks)
{
    const Bytes version{0, 4, 1, 2, 3, 4};
    const Bytes flags{129, 2, 0, 3};
    const std::vector<Extra2Case> cases = {
        {"empty", {}, 0, false, 0},
        {"two short entries", join({version, flags}), 2, false, 0},
        {"a value of 300 bytes behind the escape", join({flags, longEntry(130, 300)}), 2, false, 0},
        {"a value past the block", join({version, Bytes{129, 9, 0, 0}}), 1, true, kBase + 6},
        {"a zero length after the escape", join({Bytes{129, 0, 0, 0}, version}), 0, true, kBase},
        {"a stray byte at the end", join({version, Bytes{7}}), 1, true, kBase + 6},
    };
    for (const Extra2Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = FrmExtra2Block::read(ByteReader(c.block, kBase));
        EXPECT_EQ(got.entries.size(), c.entries);
        ASSERT_EQ(got.damage.has_value(), c.damaged);
        if (c.damaged) {
            EXPECT_EQ(got.damage->offset, c.damageOffset);
        }
    }
}

TEST(FrmExtra2Block, ValuesAreFoundByKind)
{
    const Bytes block = join({Bytes{0, 2, 9, 9}, Bytes{129, 3, 0, 1, 3}, longEntry(130, 260)});
    const auto got = FrmExtra2Block::read(ByteReader(block, kBase));
    ASSERT_NE(got.find(FrmExtra2Kind::FieldFlags), nullptr);
    EXPECT_EQ(*got.find(FrmExtra2Kind::FieldFlags), (Bytes{0, 1, 3}));
    ASSERT_NE(got.find(FrmExtra2Kind::FieldDataTypeInfo), nullptr);
    EXPECT_EQ(got.find(FrmExtra2Kind::FieldDataTypeInfo)->size(), 260u);
    EXPECT_EQ(got.find(FrmExtra2Kind::IndexFlags), nullptr);
}

} // namespace
