#include "platform/ByteReader.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using platform::ByteReader;
using platform::DecodeErrorCode;

namespace {

const std::array<std::uint8_t, 8> kBytes = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

TEST(ByteReader, ReadsEveryWidthInBothOrders)
{
    struct Case {
        unsigned width;
        std::uint64_t bigEndian;
        std::uint64_t littleEndian;
    };
    const Case cases[] = {
        {0, 0, 0},
        {1, 0x01, 0x01},
        {2, 0x0123, 0x2301},
        {3, 0x012345, 0x452301},
        {4, 0x01234567, 0x67452301},
        {5, 0x0123456789, 0x8967452301},
        {6, 0x0123456789AB, 0xAB8967452301},
        {7, 0x0123456789ABCD, 0xCDAB8967452301},
        {8, 0x0123456789ABCDEF, 0xEFCDAB8967452301},
    };
    for (const Case& c : cases) {
        ByteReader be(kBytes);
        ByteReader le(kBytes);
        EXPECT_EQ(be.uintBe(c.width), c.bigEndian) << c.width;
        EXPECT_EQ(le.uintLe(c.width), c.littleEndian) << c.width;
        EXPECT_EQ(be.pos(), c.width);
        EXPECT_TRUE(be && le);
    }
}

TEST(ByteReader, NamedReadersAgreeWithWidths)
{
    ByteReader r(kBytes);
    EXPECT_EQ(r.u16be(), 0x0123);
    EXPECT_EQ(r.u16le(), 0x6745);
    EXPECT_EQ(r.u32be(), 0x89ABCDEFu);
    EXPECT_TRUE(r);
    ByteReader w(kBytes);
    EXPECT_EQ(w.u64le(), 0xEFCDAB8967452301u);
    EXPECT_EQ(w.remaining(), 0u);
}

TEST(ByteReader, ReadPastTheEndFailsWithoutMoving)
{
    struct Case {
        const char* name;
        std::uint64_t start;
        unsigned width;
    };
    const Case cases[] = {
        {"one byte at the end", 8, 1},
        {"two bytes with one left", 7, 2},
        {"eight bytes with four left", 4, 8},
    };
    for (const Case& c : cases) {
        ByteReader r(kBytes, 1000);
        ASSERT_TRUE(r.seek(c.start));
        EXPECT_EQ(r.uintBe(c.width), 0u) << c.name;
        EXPECT_FALSE(r) << c.name;
        EXPECT_EQ(r.pos(), c.start) << c.name;
        ASSERT_TRUE(r.error().has_value());
        EXPECT_EQ(r.error()->code, DecodeErrorCode::OutOfRange);
        EXPECT_EQ(r.error()->offset, 1000 + c.start) << c.name;
    }
}

TEST(ByteReader, FirstErrorSticksAndLaterReadsStillCheck)
{
    ByteReader r(kBytes);
    r.seek(6);
    r.u32be(); // fails at 6
    EXPECT_EQ(r.u16be(), 0xCDEF); // fits, still read
    r.u8();                       // fails at 8
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error()->offset, 6u);
    EXPECT_EQ(r.error()->what, "read: 4 bytes at offset 6 past the end (8 bytes)");
}

TEST(ByteReader, WrapAroundIsRefused)
{
    ByteReader r(kBytes);
    const auto huge = std::numeric_limits<std::uint64_t>::max();
    EXPECT_FALSE(r.canRead(huge, 2));
    EXPECT_FALSE(r.canRead(2, huge));
    EXPECT_FALSE(r.skip(huge));
    EXPECT_TRUE(r.bytes(huge).empty());
    EXPECT_FALSE(r.seek(9));
    EXPECT_EQ(r.pos(), 0u);
}

TEST(ByteReader, WiderThanEightBytesIsAnError)
{
    ByteReader r(kBytes);
    EXPECT_EQ(r.uintBe(9), 0u);
    EXPECT_FALSE(r);
}

TEST(ByteReader, SubReaderStaysInItsSlice)
{
    ByteReader r(kBytes, 100);
    ByteReader inner = r.sub(2, 3);
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner.base(), 102u);
    EXPECT_EQ(inner.u24be(), 0x456789u);
    inner.u8();
    ASSERT_FALSE(inner);
    EXPECT_EQ(inner.error()->offset, 105u);
    EXPECT_TRUE(r) << "the outer reader is not touched";

    ByteReader outside = r.sub(6, 3);
    ASSERT_FALSE(outside);
    EXPECT_EQ(outside.error()->offset, 106u);
    EXPECT_EQ(outside.size(), 0u);
    EXPECT_FALSE(r.sub(std::numeric_limits<std::uint64_t>::max(), 2));
}

} // namespace
