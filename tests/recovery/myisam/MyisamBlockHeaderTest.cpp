#include "recovery/myisam/MyisamBlockHeader.h"
#include "recovery/myisam/MyisamIndexHeader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using recovery::myisam::MyisamBlockHeader;
using recovery::myisam::MyisamIndexHeader;
using Bytes = std::vector<std::uint8_t>;

TEST(MyisamBlockHeader, EveryTypeAsTheServerWritesIt)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::uint32_t header;
        std::uint64_t record, data, block, next;
        bool start, hasNext;
    } cases[] = {
        {"deleted", {0, 0x00, 0x00, 0x28, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         20, 0, 0, 20, 0x40, false, false},
        {"1: whole record", {1, 0x00, 0x64}, 3, 100, 100, 100, 0, true, false},
        {"2: whole record, 3-byte length", {2, 0x01, 0x11, 0x70}, 4, 70000, 70000, 70000, 0, true, false},
        {"3: with unused bytes", {3, 0x00, 0x26, 0x02}, 4, 38, 38, 40, 0, true, false},
        {"4: 3-byte length, unused", {4, 0x00, 0x01, 0x00, 0x03}, 5, 256, 256, 259, 0, true, false},
        {"5: first of a split", {5, 0x01, 0x00, 0x00, 0x1F, 0, 0, 0, 0, 0, 0, 0x05, 0xC4}, 13, 256, 31, 31, 1476, true, true},
        {"6: first of a split, 3-byte", {6, 0x01, 0x00, 0x00, 0x00, 0x00, 0x20, 0, 0, 0, 1, 0, 0, 0, 0}, 15, 65536, 32, 32,
         std::uint64_t{1} << 32, true, true},
        {"7: last", {7, 0x01, 0x38}, 3, 312, 312, 312, 0, false, false},
        {"8: last, 3-byte", {8, 0x01, 0x11, 0x70}, 4, 70000, 70000, 70000, 0, false, false},
        {"9: last with unused", {9, 0x01, 0x5F, 0x01}, 4, 351, 351, 352, 0, false, false},
        {"10: last, 3-byte, unused", {10, 0x00, 0x01, 0x5F, 0x02}, 5, 351, 351, 353, 0, false, false},
        {"11: middle", {11, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0x09, 0xC8}, 11, 16, 16, 16, 2504, false, true},
        {"12: middle, 3-byte", {12, 0x00, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0x09, 0xC8}, 12, 16, 16, 16, 2504, false, true},
        {"13: first of a long split", {13, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0x10, 0x00},
         16, 0x01000000, 48, 48, 4096, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto h = MyisamBlockHeader::parse(c.bytes, 1000);
        ASSERT_TRUE(h) << h.error().what;
        EXPECT_EQ(h->m_headerLength, c.header);
        if (!h->deleted()) {
            EXPECT_EQ(h->m_recordLength, c.record);
            EXPECT_EQ(h->m_dataLength, c.data);
        }
        EXPECT_EQ(h->m_blockLength + h->m_headerLength, c.header + c.block);
        EXPECT_EQ(h->m_nextPos, c.next);
        EXPECT_EQ(h->startsRecord(), c.start);
        EXPECT_EQ(h->hasNext(), c.hasNext);
    }
}

TEST(MyisamBlockHeader, DamageIsAnErrorAtTheBlock)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* what;
    } cases[] = {
        {"type above 13", {14, 0, 0}, "block type 14"},
        {"nothing to read", {}, "bytes at offset 1000"},
        {"header cut short", {6, 0, 1}, "bytes at offset 1001"},
        {"deleted block shorter than its header", {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "deleted block of 4 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto h = MyisamBlockHeader::parse(c.bytes, 1000);
        ASSERT_FALSE(h);
        EXPECT_NE(h.error().what.find(c.what), std::string::npos) << h.error().what;
        EXPECT_GE(h.error().offset, 1000u);
    }
}

// A minimal index file header: one key with one part, two fields (a null
// byte and an INT), as the server lays it out.
Bytes indexHeader(std::uint64_t records, std::uint32_t fields = 2, std::uint16_t intLength = 4)
{
    Bytes b(512, 0);
    auto be = [&](std::size_t pos, std::uint64_t v, int w) {
        for (int i = 0; i < w; ++i)
            b[pos + i] = static_cast<std::uint8_t>(v >> (8 * (w - 1 - i)));
    };
    b[0] = b[1] = 0xFE;
    b[2] = 7;
    b[3] = 1;
    be(4, 1, 2);     // dynamic rows
    be(10, 100, 2);  // base-info length
    be(12, 100, 2);  // base position
    be(14, 1, 2);    // key parts
    b[18] = 1;       // keys
    be(28, records, 8);
    be(100 + 44, 5, 4);
    be(100 + 48, 6, 4);
    be(100 + 64, fields, 4);
    be(100 + 68, 1, 4);
    be(100 + 76, 1, 2);
    const std::size_t s = 100 + 100 + 12 + 18;
    be(s, 0, 2), be(s + 2, 1, 2);
    be(s + 7, 3, 2), be(s + 9, intLength, 2), b[s + 11] = 1, be(s + 12, 0, 2);
    return b;
}

TEST(MyisamIndexHeader, FieldsRecordCountAndDamage)
{
    auto h = MyisamIndexHeader::parse(indexHeader(std::uint64_t{5} << 32));
    ASSERT_TRUE(h) << h.error().what;
    EXPECT_EQ(h->m_records, std::uint64_t{5} << 32); // 64-bit counts stay whole
    EXPECT_TRUE(h->dynamicRows());
    EXPECT_EQ(h->m_fieldDefsPos, 230u);
    ASSERT_EQ(h->m_fieldDefs.size(), 2u);
    EXPECT_EQ(h->m_fieldDefs[1].m_type, recovery::myisam::FIELD_SKIP_ZERO);
    EXPECT_EQ(h->m_packFlagBytes, 1u);

    const struct {
        const char* name;
        Bytes bytes;
        const char* what;
    } cases[] = {
        {"not an index file", Bytes(512, 0), "no FE FE magic"},
        {"cut short in the base info", [] { Bytes b = indexHeader(1); b.resize(150); return b; }(), "bytes at offset"},
        {"field lengths that miss the record length", indexHeader(1, 2, 8), "add up to 9"},
        {"a field count past the definitions", indexHeader(1, 60000), "field count 60000"},
        {"field definitions past the end", indexHeader(1, 100), "bytes at offset"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bad = MyisamIndexHeader::parse(c.bytes);
        ASSERT_FALSE(bad);
        EXPECT_NE(bad.error().what.find(c.what), std::string::npos) << bad.error().what;
    }
}

} // namespace
