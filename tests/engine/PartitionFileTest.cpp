// The partition list (t.par) of the fixture's partitioned tables, and the
// same lists damaged: each damage an error that says what, never a list of
// wrong names.
#include "engine/PartitionFile.h"
#include "tests/support/FixtureSet.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using engine::PartitionFile;
using testsupport::FixtureSet;
using Bytes = std::vector<std::uint8_t>;

Bytes listOf(const char* table)
{
    return FixtureSet::readBytes(FixtureSet::dataFolder(QStringLiteral("default")) + QStringLiteral("/fx_mariadb/")
                                 + QLatin1String(table) + QStringLiteral(".par"));
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Sets the checksum word so that the list's words XOR to zero again.
void reseal(Bytes& b)
{
    putU32(b, 4, 0);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < u32(b, 0); ++i)
        sum ^= u32(b, 4 * i);
    putU32(b, 4, sum);
}

TEST(PartitionFile, FixtureListsNameEveryPartitionInOrder)
{
    if (!FixtureSet::built(QStringLiteral("default")))
        GTEST_SKIP() << "fixtures not built";
    auto sub = PartitionFile::parse(listOf("part_sub_innodb"));
    ASSERT_TRUE(sub.ok()) << sub.error().what;
    EXPECT_EQ(sub->m_names, (QStringList{"p_old#SP#p_oldsp0", "p_old#SP#p_oldsp1", "p_new#SP#p_newsp0",
                                         "p_new#SP#p_newsp1"}));
    EXPECT_EQ(sub->m_engines, Bytes(4, PartitionFile::kInnodbEngine));
    // Names as the files have them.
    auto list = PartitionFile::parse(listOf("part_list_myisam"));
    ASSERT_TRUE(list.ok()) << list.error().what;
    EXPECT_EQ(list->m_names, (QStringList{"peven", "p@002dodd"}));
    EXPECT_EQ(list->m_engines, Bytes(2, PartitionFile::kMyisamEngine));
}

TEST(PartitionFile, DamageIsAnErrorThatSaysWhat)
{
    if (!FixtureSet::built(QStringLiteral("default")))
        GTEST_SKIP() << "fixtures not built";
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"the partition list is cut short", [](Bytes& b) { b.resize(8); }},
        {"the partition list is cut short", [](Bytes& b) { b.resize(u32(b, 0) * 4 - 4); }},
        {"the partition list fails its checksum", [](Bytes& b) { b[20] ^= 0x20; }},
        {"the partition list counts 0 partitions", [](Bytes& b) { putU32(b, 8, 0); reseal(b); }},
        {"the partition list counts 100000 partitions", [](Bytes& b) { putU32(b, 8, 100000); reseal(b); }},
        {"the partition list names 3 of its 4 partitions", [](Bytes& b) {
             // The last name's end is taken away: it runs to the list's end.
             for (std::size_t i = u32(b, 0) * 4; i-- > 0;)
                 if (b[i] != 0) {
                     b[i + 1] = 'x';
                     break;
                 }
             reseal(b);
         }},
        {"the partition names are cut short", [](Bytes& b) { putU32(b, 16, 4000); reseal(b); }},
    };
    for (const Case& c : cases) {
        Bytes bytes = listOf("part_sub_innodb");
        c.damage(bytes);
        auto parsed = PartitionFile::parse(bytes);
        ASSERT_FALSE(parsed.ok()) << c.what;
        EXPECT_EQ(parsed.error().what, c.what);
    }
}

} // namespace
