// The checks held against MyISAM records beyond decoding them: the keys of
// the index file, rebuilt from every record of the fixtures, and the pieces
// the record checks are made of.
#include "platform/DataFile.h"
#include "recovery/myisam/MyisamIndexCheck.h"
#include "recovery/myisam/MyisamIndexHeader.h"
#include "recovery/myisam/MyisamRecordCheck.h"
#include "recovery/myisam/MyisamRecordWalk.h"
#include "recovery/myisam/MyisamRowLayout.h"
#include "tests/recovery/myisam/MyisamTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace recovery::myisam;

struct KeyedTable {
    const char* folder;
    const char* database;
    const char* table;
    std::size_t btreeKeys;  // full-text keys are not walked
};

const KeyedTable kKeyedTables[] = {
    {"fx_myisam", "fx_myisam", "all_types", 5},      {"fx_myisam", "fx_myisam", "blobs", 1},
    {"fx_myisam", "fx_myisam", "checksum_fixed", 1}, {"fx_myisam", "fx_myisam", "checksum_rows", 2},
    {"fx_myisam", "fx_myisam", "defaults", 1},       {"fx_myisam", "fx_myisam", "dyn_rows", 2},
    {"fx_myisam", "fx_myisam", "empty_table", 1},    {"fx_myisam", "fx_myisam", "fixed_rows", 2},
    {"fx_myisam", "fx_myisam", "paged_rows", 1},
};

class MyisamKeys : public ::testing::TestWithParam<const char*> {};

// Every key of every fixture table is walked whole, every part rebuilt from
// the record (integers, CHAR, VARCHAR and TEXT prefixes in both character
// sets, dates, NULLs), and every record is found with its own key.
TEST_P(MyisamKeys, EveryRecordIsFoundInEveryKeyWithItsOwnValues)
{
    const QString folder = myisamtest::fixturesFolder(GetParam());
    myisamtest::ScannedEngine scanned(folder, {"fx_myisam"});
    for (const KeyedTable& t : kKeyedTables) {
        SCOPED_TRACE(t.table);
        engine::TableInformation* table = scanned.table(t.database, t.table);
        ASSERT_NE(table, nullptr);
        const QString base = folder + t.folder + '/' + t.table;
        platform::DataFile index;
        ASSERT_TRUE(index.open((base + ".MYI").toStdString()));
        std::vector<std::uint8_t> bytes(index.size());
        ASSERT_TRUE(index.readAt(0, bytes));
        const auto header = MyisamIndexHeader::parse(bytes);
        ASSERT_TRUE(header);
        const auto layout = MyisamRowLayout::build(*table, *header);
        ASSERT_TRUE(layout);
        const MyisamIndexCheck keys(*layout, *header, index);
        EXPECT_TRUE(keys.notes().empty()) << keys.notes().front();
        EXPECT_EQ(keys.trustedKeys(), t.btreeKeys);
        EXPECT_EQ(keys.comparableKeys(), t.btreeKeys);

        platform::DataFile data;
        ASSERT_TRUE(data.open((base + ".MYD").toStdString()));
        MyisamRecordWalk walk(data, *layout, data.size());
        const MyisamRecordCheck checks(*layout);
        MyisamRecord record;
        std::uint64_t records = 0;
        for (std::uint64_t pos = 0;;) {
            const auto step = walk.read(pos, record);
            if (step.m_kind == MyisamRecordWalk::StepKind::End)
                break;
            if (step.m_kind == MyisamRecordWalk::StepKind::Record) {
                ++records;
                EXPECT_EQ(keys.check(record), 0u) << "record at " << record.m_pos;
                EXPECT_EQ(checks.check(record), 0u) << "record at " << record.m_pos;
            }
            pos = step.m_next;
        }
        EXPECT_EQ(records, header->m_records);
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, MyisamKeys, ::testing::Values("legacy", "default"));

TEST(MyisamRecordCheck, Utf8AsTheServerStoresIt)
{
    struct Case {
        const char* bytes;
        unsigned maxBytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain ascii", 3, true},
        {"caf\xC3\xA9 \xE2\x82\xAC", 3, true},       // é €
        {"\xF0\x9F\x98\x80", 4, true},               // an emoji in utf8mb4
        {"\xF0\x9F\x98\x80", 3, false},              // not in utf8mb3
        {"\xC3", 3, false},                          // cut short
        {"\xE2\x82", 3, false},
        {"\xC0\x80", 4, false},                      // overlong
        {"\xED\xA0\x80", 4, false},                  // a surrogate
        {"\xF4\x90\x80\x80", 4, false},              // past U+10FFFF
        {"ok \xFF", 4, false},
        {"\xE2\x28\xA1", 3, false},                  // a bad continuation
    };
    for (const Case& c : cases) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(c.bytes);
        EXPECT_EQ(MyisamRecordCheck::validUtf8({p, std::strlen(c.bytes)}, c.maxBytes), c.valid) << c.bytes;
    }
}

TEST(MyisamRecordCheck, Crc32IsZlibs)
{
    const std::string check = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(check.data());
    EXPECT_EQ(MyisamRecordCheck::crc32({p, check.size()}), 0xCBF43926u);
    // Continued over two pieces, as over the fields of a record.
    EXPECT_EQ(MyisamRecordCheck::crc32({p + 4, 5}, MyisamRecordCheck::crc32({p, 4})), 0xCBF43926u);
}

} // namespace
