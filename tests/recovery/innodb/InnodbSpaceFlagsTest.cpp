// How a tablespace's page 0 says its pages are kept: the flag values the
// server writes in both layouts, and the files the bundled server wrote for
// compressed and plain tables.
#include "recovery/innodb/InnodbSpaceFlags.h"

#include "platform/DataFile.h"
#include "tests/support/FixtureSet.h"

#include <gtest/gtest.h>

using recovery::innodb::InnodbSpaceFlags;

namespace {

TEST(InnodbSpaceFlags, BothLayoutsGivePageSizeAndCompression)
{
    const struct {
        std::uint32_t flags;
        const char* what;
        std::uint32_t pageSize;
        std::uint32_t compressedPageSize;
        bool pageCompressed;
    } cases[] = {
        {0x00, "REDUNDANT or COMPACT of an older server", 16384, 0, false},
        {0x21, "DYNAMIC, classic layout", 16384, 0, false},
        {0x29, "ROW_FORMAT=COMPRESSED KEY_BLOCK_SIZE=8", 16384, 8192, false},
        {0x23, "KEY_BLOCK_SIZE=1", 16384, 1024, false},
        {0x2B, "KEY_BLOCK_SIZE=16", 16384, 16384, false},
        {0x10021, "PAGE_COMPRESSED, classic layout", 16384, 0, true},
        {0x121, "8 KiB pages, classic layout", 8192, 0, false},
        {0xC0, "4 KiB pages of MySQL 5.7", 4096, 0, false},
        {0x1C0, "64 KiB pages", 65536, 0, false},
        {0x15, "full_crc32, 16 KiB", 16384, 0, false},
        {0x35, "full_crc32, PAGE_COMPRESSED with zlib", 16384, 0, true},
        {0x14, "full_crc32, 8 KiB", 8192, 0, false},
        {0x13, "full_crc32, 4 KiB", 4096, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto flags = InnodbSpaceFlags::decode(c.flags);
        ASSERT_TRUE(flags.has_value());
        EXPECT_EQ(flags->pageSize(), c.pageSize);
        EXPECT_EQ(flags->compressedPageSize(), c.compressedPageSize);
        EXPECT_EQ(flags->pageCompressed(), c.pageCompressed);
        EXPECT_EQ(flags->unreadableReason().empty(), c.pageSize == 16384 && !c.compressedPageSize && !c.pageCompressed);
    }
    // Values no server writes.
    for (const std::uint32_t flags : {0x12u, 0x18u, 0x1000u + 0x20000u, 0x0Du, 0x40u, 0x2Du, 0x00020000u})
        EXPECT_FALSE(InnodbSpaceFlags::decode(flags).has_value()) << std::hex << flags;
}

TEST(InnodbSpaceFlags, ReasonsNameTheCompressionOrThePageSize)
{
    EXPECT_EQ(InnodbSpaceFlags::decode(0x29)->unreadableReason(),
              "its pages are compressed (ROW_FORMAT=COMPRESSED, KEY_BLOCK_SIZE=8), which this program does not read");
    EXPECT_EQ(InnodbSpaceFlags::decode(0x35)->unreadableReason(),
              "its pages are compressed (PAGE_COMPRESSED), which this program does not read");
    EXPECT_EQ(InnodbSpaceFlags::decode(0x14)->unreadableReason(),
              "its pages are 8 KiB (innodb_page_size); this program reads only pages of 16 KiB");
    EXPECT_EQ(InnodbSpaceFlags::declared(4096, false).unreadableReason(),
              "its pages are compressed (ROW_FORMAT=COMPRESSED, KEY_BLOCK_SIZE=4), which this program does not read");
    EXPECT_EQ(InnodbSpaceFlags::declared(0, false).unreadableReason(), "");
}

// Page 0 of the files the bundled server wrote (its default checksum
// layout is full_crc32, which ROW_FORMAT=COMPRESSED cannot use).
TEST(InnodbSpaceFlags, ReadFromTheServersFiles)
{
    for (const char* set : {"legacy", "default"}) {
        const QString data = testsupport::FixtureSet::dataFolder(QLatin1String(set)) + QLatin1Char('/');
        const struct {
            const char* file;
            std::uint32_t compressedPageSize;
            bool pageCompressed;
        } cases[] = {
            {"ibdata1", 0, false},
            {"fx_storage/kbs_innodb.ibd", 0, false},
            {"fx_storage/zip_rows.ibd", 8192, false},
            {"fx_storage/page_rows.ibd", 0, true},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(set) + ": " + c.file);
            platform::DataFile file;
            ASSERT_TRUE(file.open((data + QLatin1String(c.file)).toStdString()));
            const auto flags = InnodbSpaceFlags::read(file);
            ASSERT_TRUE(flags && flags->has_value());
            EXPECT_EQ((*flags)->pageSize(), 16384u);
            EXPECT_EQ((*flags)->compressedPageSize(), c.compressedPageSize);
            EXPECT_EQ((*flags)->pageCompressed(), c.pageCompressed);
        }
    }
}

} // namespace
