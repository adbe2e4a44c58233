#include "recovery/innodb/InnodbPage.h"

#include "platform/DataFile.h"
#include "tests/recovery/innodb/InnodbTestPages.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace recovery::innodb;
using platform::DecodeErrorCode;

namespace {

using namespace innodbtest;

PageBuilder threeRecords(RecordFormat format)
{
    PageBuilder b;
    b.format = format;
    b.records = {rec({{1, 2, 3, 4}, {'a', 'b'}}), rec({{5, 6, 7, 8}, {'c'}}, true), rec({{9, 9, 9, 9}, {}})};
    b.listOrder = {2, 0, 1};  // list order differs from heap order: a backward pointer
    return b;
}

InnodbPage parsed(const Bytes& bytes)
{
    auto page = InnodbPage::parse(bytes, 5 * kPageSize);
    EXPECT_TRUE(page) << (page ? "" : page.error().what);
    return std::move(page).value();
}

TEST(InnodbPage, ParseNeedsExactlyOnePage)
{
    const struct {
        const char* name;
        std::size_t size;
    } cases[] = {{"empty", 0}, {"truncated", kPageSize - 1}, {"oversized", kPageSize + 1}};
    for (const auto& c : cases) {
        const Bytes bytes(c.size, 0);
        auto page = InnodbPage::parse(bytes, 7 * kPageSize);
        ASSERT_FALSE(page) << c.name;
        EXPECT_EQ(page.error().code, DecodeErrorCode::OutOfRange) << c.name;
        EXPECT_EQ(page.error().offset, 7 * kPageSize) << c.name;
    }
}

TEST(InnodbPage, ReadsHeaderFields)
{
    PageBuilder b = threeRecords(RecordFormat::Redundant);
    b.level = 2;
    b.pageNo = 42;
    Bytes bytes = b.build();
    put32(bytes, 12, 43);
    put32(bytes, 66, 0);
    put32(bytes, 70, 1234);  // low half of PAGE_INDEX_ID
    const InnodbPage page = parsed(bytes);
    EXPECT_EQ(page.pageNumber(), 42u);
    EXPECT_EQ(page.prevPage(), kFilNull);
    EXPECT_EQ(page.nextPage(), 43u);
    EXPECT_EQ(page.pageType(), kPageTypeIndex);
    EXPECT_EQ(page.nRecs(), 3u);
    EXPECT_EQ(page.nHeap(), 5u);
    EXPECT_EQ(page.level(), 2u);
    EXPECT_FALSE(page.isLeaf());
    EXPECT_EQ(page.indexId(), 1234u);
    EXPECT_EQ(page.heapTop(), b.origins.back() + 4u);
}

TEST(InnodbPage, FormatBitAgreesWithTheInfimumByte)
{
    for (RecordFormat f : {RecordFormat::Redundant, RecordFormat::Compact}) {
        const InnodbPage page = parsed(threeRecords(f).build());
        EXPECT_EQ(page.format(), f);
        EXPECT_EQ(page.infimumLooksRedundant(), f == RecordFormat::Redundant);
    }
}

TEST(InnodbPage, WalksRecordsInListOrder)
{
    for (RecordFormat f : {RecordFormat::Redundant, RecordFormat::Compact}) {
        PageBuilder b = threeRecords(f);
        const InnodbPage page = parsed(b.build());
        const RecordWalk walk = page.records();
        ASSERT_FALSE(walk.error) << walk.error->what;
        ASSERT_EQ(walk.records.size(), 3u);
        EXPECT_EQ(walk.records[0].origin, b.origins[2]);
        EXPECT_EQ(walk.records[1].origin, b.origins[0]);
        EXPECT_EQ(walk.records[2].origin, b.origins[1]);
        EXPECT_EQ(walk.records[0].heapNo, 4u);
        EXPECT_FALSE(walk.records[1].deleted);
        EXPECT_TRUE(walk.records[2].deleted) << "the walk reports delete marks, it does not skip";
    }
}

TEST(InnodbPage, RedundantFieldEndsAndFieldBytes)
{
    PageBuilder b = threeRecords(RecordFormat::Redundant);
    const InnodbPage page = parsed(b.build());
    const RecordWalk walk = page.records();
    ASSERT_EQ(walk.records.size(), 3u);
    const InnodbRecord& r = walk.records[1];  // heap record 0
    ASSERT_EQ(r.fieldEnds.size(), 2u);
    EXPECT_EQ(r.fieldEnds[0].end, 4u);
    EXPECT_EQ(r.fieldEnds[1].end, 6u);
    auto f0 = page.field(r, 0);
    EXPECT_EQ(f0.u32be(), 0x01020304u);
    EXPECT_EQ(f0.base(), 5 * kPageSize + r.origin);
    auto f1 = page.field(r, 1);
    EXPECT_EQ(f1.size(), 2u);
    EXPECT_EQ(f1.u8(), 'a');
    EXPECT_EQ(page.field(walk.records[0], 1).size(), 0u) << "an empty field";
    auto none = page.field(r, 2);
    EXPECT_FALSE(none) << "no field 2";
}

TEST(InnodbPage, TwoByteEndOffsetsCarryNullAndExternalBits)
{
    PageBuilder b;
    TestRecord r = rec({{1, 2}, {}, Bytes(30, 7)});
    r.shortEnds = false;
    r.endFlags = {0, 0x8000, 0x4000};
    b.records = {r};
    const InnodbPage page = parsed(b.build());
    const RecordWalk walk = page.records();
    ASSERT_FALSE(walk.error);
    ASSERT_EQ(walk.records.size(), 1u);
    const auto& ends = walk.records[0].fieldEnds;
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(ends[0].end, 2u);
    EXPECT_FALSE(ends[0].isNull);
    EXPECT_EQ(ends[1].end, 2u);
    EXPECT_TRUE(ends[1].isNull);
    EXPECT_EQ(ends[2].end, 32u);
    EXPECT_TRUE(ends[2].isExternal);
    EXPECT_FALSE(ends[2].isNull);
    EXPECT_EQ(page.field(walk.records[0], 2).size(), 30u);
}

TEST(InnodbPage, OneByteEndOffsetNullBit)
{
    PageBuilder b;
    TestRecord r = rec({{1}, {}});
    r.endFlags = {0, 0x80};
    b.records = {r};
    const RecordWalk walk = parsed(b.build()).records();
    ASSERT_EQ(walk.records.size(), 1u);
    EXPECT_TRUE(walk.records[0].fieldEnds[1].isNull);
    EXPECT_EQ(walk.records[0].fieldEnds[1].end, 1u);
}

TEST(InnodbPage, EmptyPageHasNoRecords)
{
    for (RecordFormat f : {RecordFormat::Redundant, RecordFormat::Compact}) {
        PageBuilder b;
        b.format = f;
        const RecordWalk walk = parsed(b.build()).records();
        EXPECT_FALSE(walk.error);
        EXPECT_TRUE(walk.records.empty());
    }
}

// Damage to the record list: every case ends the walk with an error and the
// records found before the damage.
TEST(InnodbPage, DamagedRecordListsEndTheWalk)
{
    struct Case {
        const char* name;
        RecordFormat format;
        // Changes the built page; origins are the records' origins in heap order.
        std::function<void(Bytes&, const std::vector<std::uint16_t>&)> damage;
        std::size_t recordsFound;
        std::string errorText;
    };
    const Case cases[] = {
        {"redundant pointer past the page", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, 20000); }, 1, "outside the page"},
        {"redundant pointer into the trailer", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, kPageSize - 4); }, 1, "outside the page"},
        {"redundant pointer into the page header", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[0] - 2u, 50); }, 2, "outside the page"},
        {"redundant loop", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[1] - 2u, o[2]); }, 3, "loops"},
        {"redundant self loop", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, o[2]); }, 1, "loops"},
        {"redundant list ends early", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[0] - 2u, 0); }, 2, "ends before the supremum"},
        {"redundant field count beyond the origin", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 4u, 0x3FF << 1); p[o[2] - 3u] |= 1; }, 0, "does not fit"},
        {"redundant field end past the page", RecordFormat::Redundant,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, 16300); p[16300 - 4] = 0; p[16300 - 3] = 3;
                                       p[16300 - 7] = 0x7F; }, 1, "outside its record"},
        {"compact pointer past the page", RecordFormat::Compact,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, static_cast<std::uint16_t>(20000 - o[2])); }, 1,
         "outside the page"},
        {"compact pointer wrapping below the page", RecordFormat::Compact,
         [](Bytes& p, const auto& o) { put16(p, o[2] - 2u, static_cast<std::uint16_t>(-static_cast<int>(o[2]) - 10)); },
         1, "outside the page"},
        {"compact loop", RecordFormat::Compact,
         [](Bytes& p, const auto& o) { put16(p, o[1] - 2u, static_cast<std::uint16_t>(o[2] - o[1])); }, 3, "loops"},
        {"format bit contradicts the infimum", RecordFormat::Redundant,
         [](Bytes& p, const auto&) { p[42] |= 0x80; }, 0, "infimum"},
    };
    for (const Case& c : cases) {
        PageBuilder b = threeRecords(c.format);  // list order: heap 2, 0, 1
        Bytes bytes = b.build();
        c.damage(bytes, b.origins);
        const RecordWalk walk = parsed(bytes).records();
        ASSERT_TRUE(walk.error) << c.name;
        EXPECT_EQ(walk.error->code, DecodeErrorCode::Corrupt) << c.name;
        EXPECT_NE(walk.error->what.find(c.errorText), std::string::npos) << c.name << ": " << walk.error->what;
        EXPECT_EQ(walk.records.size(), c.recordsFound) << c.name;
    }
}

TEST(InnodbPage, ReadIsBoundedByTheFile)
{
    testsupport::TempDir dir;
    Bytes two(2 * kPageSize - 100, 0);
    PageBuilder b;
    const Bytes page0 = b.build();
    std::copy(page0.begin(), page0.end(), two.begin());
    platform::DataFile file;
    ASSERT_TRUE(file.open(dir.write("ts", two).toStdString()));

    auto first = InnodbPage::read(file, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pageNumber(), 5u);
    EXPECT_EQ(first->fileOffset(), 0u);

    const std::uint64_t pages[] = {1, 2, 1ull << 40, ~0ull};  // cut short, past the end, huge
    for (std::uint64_t n : pages) {
        auto bad = InnodbPage::read(file, n);
        EXPECT_FALSE(bad) << n;
    }
}

} // namespace
