#include "recovery/CSinglePrecision.h"
#include "recovery/DoubleFromBits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

TEST(CSinglePrecisionTest, ConvertsEveryClassOfValueExactly)
{
    struct Case {
        std::uint32_t bits;
        double value;
    };
    const Case cases[] = {
        {0x00000000, 0.0},
        {0x3F800000, 1.0},
        {0xC0000000, -2.0},
        {0x3FC00000, 1.5},
        {0x40490FDB, 3.1415927410125732},      // the single nearest to pi
        {0x4B800000, 16777216.0},              // 2^24
        {0x00000001, std::ldexp(1.0, -149)},   // smallest subnormal
        {0x00400000, std::ldexp(1.0, -127)},
        {0x7F7FFFFF, 3.4028234663852886e38},   // largest finite
        {0x7F800000, std::numeric_limits<double>::infinity()},
        {0xFF800000, -std::numeric_limits<double>::infinity()},
    };
    for (const Case& c : cases) {
        double value = -99.0;
        recovery::CSinglePrecision(c.bits).ToDouble(value);
        EXPECT_EQ(value, c.value) << std::hex << c.bits;
    }
    double negativeZero = 1.0;
    recovery::CSinglePrecision(0x80000000).ToDouble(negativeZero);
    EXPECT_TRUE(negativeZero == 0.0 && std::signbit(negativeZero));
    double nan = 0.0;
    recovery::CSinglePrecision(0x7FC00001).ToDouble(nan);
    EXPECT_TRUE(std::isnan(nan));
}

TEST(DoubleFromBitsTest, ConvertsEveryClassOfValueExactly)
{
    struct Case {
        std::uint64_t bits;
        double value;
    };
    const Case cases[] = {
        {0x0000000000000000ull, 0.0},
        {0x3FF0000000000000ull, 1.0},
        {0xC000000000000000ull, -2.0},
        {0x3FB999999999999Aull, 0.1},
        {0x4330000000000000ull, 4503599627370496.0},  // 2^52
        {0x0000000000000001ull, std::numeric_limits<double>::denorm_min()},
        {0x7FEFFFFFFFFFFFFFull, std::numeric_limits<double>::max()},
        {0x7FF0000000000000ull, std::numeric_limits<double>::infinity()},
    };
    for (const Case& c : cases) {
        double value = -99.0;
        recovery::DoubleFromBits(c.bits, value);
        EXPECT_EQ(value, c.value) << std::hex << c.bits;
    }
    double negativeZero = 1.0;
    recovery::DoubleFromBits(0x8000000000000000ull, negativeZero);
    EXPECT_TRUE(negativeZero == 0.0 && std::signbit(negativeZero));
    double nan = 0.0;
    recovery::DoubleFromBits(0x7FF0000000000001ull, nan);
    EXPECT_TRUE(std::isnan(nan));
}

} // namespace
