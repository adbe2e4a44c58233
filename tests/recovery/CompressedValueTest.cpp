// Values of COMPRESSED columns as the server wrote them (the deflate streams
// below are its own, from a MyISAM data file), and the ways they break.
#include "recovery/CompressedValue.h"

#include <gtest/gtest.h>

#include <vector>

using platform::DecodeErrorCode;
using recovery::CompressedValue;

namespace {

std::vector<std::uint8_t> hex(const char* text)
{
    const QByteArray bytes = QByteArray::fromHex(text);
    return {bytes.begin(), bytes.end()};
}

// REPEAT('abc', 100): header 0x8a (zlib, raw deflate, a 2-byte length), 300.
const char* const kRaw = "8a012c" "4b4c4a4e1c45c42100";
// The same with column_compression_zlib_wrap=ON: header 0x82, a zlib stream.
const char* const kWrapped = "82012c" "789c4b4c4a4e1c45c42100884d72d9";

TEST(CompressedValue, ExpandsWhatTheServerWrote)
{
    struct Case {
        const char* name;
        const char* stored;
        QByteArray value;
    };
    const QByteArray abc = QByteArray("abc").repeated(100);
    const Case cases[] = {
        {"empty: no header", "", QByteArray()},
        {"kept as it is", "00" "6869", QByteArray("hi")},
        {"kept as it is, a zero byte inside", "00" "00ff00", QByteArray("\0\xff\0", 3)},
        {"raw deflate", kRaw, abc},
        {"zlib-wrapped", kWrapped, abc},
    };
    for (const Case& c : cases) {
        const auto value = CompressedValue::expand(hex(c.stored), 300, 7);
        ASSERT_TRUE(value) << c.name << ": " << value.error().what;
        EXPECT_EQ(*value, c.value) << c.name;
    }
}

TEST(CompressedValue, ADamagedValueIsAnErrorOfItsOwnKind)
{
    struct Case {
        const char* name;
        const char* stored;
        std::uint64_t max;
        const char* what;
    };
    const Case cases[] = {
        {"kept as it is, longer than its column", "00" "6869", 1, "more than its column holds"},
        {"stated length beyond the column", kRaw, 299, "more than its column holds"},
        {"stream a byte longer than its stated length", "8a012b" "4b4c4a4e1c45c42100", 300, "header states 299"},
        {"stream longer than its stated length", "8a0100" "4b4c4a4e1c45c42100", 300, "longer than its stated 256"},
        {"stream shorter than its stated length", "8a012d" "4b4c4a4e1c45c42100", 400, "header states 301"},
        {"stream cut short", "8a012c" "4b4c4a4e1c45", 300, "does not inflate (cut short)"},
        {"first block of no known type", "8a012c" "4f4c4a4e1c45c42100", 300, "does not inflate (invalid block type)"},
        {"zlib stream whose check fails", "82012c" "789c4b4c4a4e1c45c42100884d72da", 300, "incorrect data check"},
        {"unknown method", "4a012c" "4b4c4a4e1c45c42100", 300, "unknown method 4"},
        {"no length bytes", "88" "4b4c", 300, "without its length"},
        {"five length bytes", "8d" "000000012c", 300, "without its length"},
        {"length cut off", "8a01", 300, "without its length"},
    };
    for (const Case& c : cases) {
        const auto value = CompressedValue::expand(hex(c.stored), c.max, 7);
        ASSERT_FALSE(value) << c.name;
        EXPECT_EQ(value.error().code, DecodeErrorCode::DamagedValue) << c.name;
        EXPECT_EQ(value.error().offset, 7u) << c.name;
        EXPECT_NE(value.error().what.find(c.what), std::string::npos) << c.name << ": " << value.error().what;
    }
}

TEST(CompressedValue, TheColumnBoundsTheValue)
{
    EXPECT_EQ(CompressedValue::maxLength(engine::TYPE_VARCHAR, 300), 300u);
    EXPECT_EQ(CompressedValue::maxLength(engine::TYPE_VARBINARY, 20), 20u);
    EXPECT_EQ(CompressedValue::maxLength(engine::TYPE_TINYTEXT, 0), 255u);
    EXPECT_EQ(CompressedValue::maxLength(engine::TYPE_BLOB, 0), 65535u);
    EXPECT_EQ(CompressedValue::maxLength(engine::TYPE_LONGTEXT, 0), 4294967295u);
}

} // namespace
