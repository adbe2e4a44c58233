#include "platform/DataFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using platform::DataFile;
using platform::DecodeErrorCode;
using testsupport::TempDir;

namespace {

TEST(DataFile, OpenRefusesMissingFilesAndFolders)
{
    TempDir dir;
    DataFile file;
    EXPECT_FALSE(file.open(dir.file("missing").toStdString()));
    EXPECT_NE(file.lastError().find("No such file"), std::string::npos);
    EXPECT_FALSE(file.open(dir.path().toStdString()));
    EXPECT_FALSE(file.isOpen());
}

TEST(DataFile, ReadsAreBoundedByTheFile)
{
    TempDir dir;
    DataFile file;
    ASSERT_TRUE(file.open(dir.write("f", std::vector<std::uint8_t>{1, 2, 3, 4, 5}).toStdString()));
    EXPECT_EQ(file.size(), 5u);

    std::vector<std::uint8_t> buf(4);
    auto tail = file.readAt(3, buf);
    ASSERT_TRUE(tail);
    EXPECT_EQ(*tail, 2u) << "a read over the end returns what there was";
    auto past = file.readAt(1ull << 40, buf);
    ASSERT_TRUE(past);
    EXPECT_EQ(*past, 0u);

    auto exact = file.readExactly(1, 4);
    ASSERT_TRUE(exact);
    EXPECT_EQ(*exact, (std::vector<std::uint8_t>{2, 3, 4, 5}));

    auto shortRead = file.readExactly(2, 4);
    ASSERT_FALSE(shortRead);
    EXPECT_EQ(shortRead.error().code, DecodeErrorCode::ShortRead);
    EXPECT_EQ(shortRead.error().offset, 2u);

    // A length read from a damaged file must not size a huge buffer.
    auto absurd = file.readExactly(0, 1ull << 50);
    ASSERT_FALSE(absurd);
    EXPECT_EQ(absurd.error().code, DecodeErrorCode::ShortRead);
}

TEST(DataFile, ClosedFileReportsNotOpen)
{
    DataFile file;
    std::vector<std::uint8_t> buf(1);
    auto got = file.readAt(0, buf);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().code, DecodeErrorCode::NotOpen);
}

} // namespace
