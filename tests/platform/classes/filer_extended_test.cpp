#include "platform/classes/Extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

TExtendedBytes Make(std::uint16_t SignExponent, std::uint64_t Mantissa) {
    TExtendedBytes b{};
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<std::uint8_t>(Mantissa >> (8 * i));
    b[8] = static_cast<std::uint8_t>(SignExponent);
    b[9] = static_cast<std::uint8_t>(SignExponent >> 8);
    return b;
}

std::uint64_t Bits(double d) {
    return std::bit_cast<std::uint64_t>(d);
}

constexpr std::uint64_t One = std::uint64_t(1) << 63;

TEST(Extended, KnownEncodings) {
    EXPECT_EQ(DoubleToExtended(1.0), (TExtendedBytes{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(DoubleToExtended(0.5), Make(0x3FFE, One));
    EXPECT_EQ(DoubleToExtended(-2.0), Make(0xC000, One));
    EXPECT_EQ(DoubleToExtended(3.0), Make(0x4000, One | (One >> 1)));
    EXPECT_EQ(DoubleToExtended(0.0), Make(0x0000, 0));
    EXPECT_EQ(DoubleToExtended(-0.0), Make(0x8000, 0));
    EXPECT_EQ(DoubleToExtended(std::numeric_limits<double>::infinity()), Make(0x7FFF, One));
    EXPECT_EQ(DoubleToExtended(-std::numeric_limits<double>::infinity()), Make(0xFFFF, One));
    // The smallest double denormal, 2^-1074, is normalised in the wider range.
    EXPECT_EQ(DoubleToExtended(std::numeric_limits<double>::denorm_min()), Make(16383 - 1074, One));
    // 3 * 2^-1074: two significant bits.
    EXPECT_EQ(DoubleToExtended(3 * std::numeric_limits<double>::denorm_min()),
              Make(16383 - 1073, One | (One >> 1)));
    EXPECT_EQ(DoubleToExtended(std::numeric_limits<double>::max()),
              Make(16383 + 1023, ~std::uint64_t(0) << 11));
}

TEST(Extended, EveryKindOfDoubleRoundTripsExactly) {
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             0.5,
                             -2.0,
                             0.1,
                             1e300,
                             -1e-300,
                             3.141592653589793,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min() / 3,
                             std::bit_cast<double>(std::uint64_t(0x000FFFFFFFFFFFFF)),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double v : values)
        EXPECT_EQ(Bits(ExtendedToDouble(DoubleToExtended(v))), Bits(v)) << v;

    // A walk over exponents and fraction patterns.
    std::uint64_t x = 0x9E3779B97F4A7C15;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const double v = std::bit_cast<double>(x);
        if (std::isnan(v)) continue;
        ASSERT_EQ(Bits(ExtendedToDouble(DoubleToExtended(v))), x);
    }
}

TEST(Extended, NanKeepsItsPayload) {
    const std::uint64_t patterns[] = {0x7FF8000000000000, 0x7FF0000000000001, 0xFFF4000000012345,
                                      0x7FFFFFFFFFFFFFFF};
    for (std::uint64_t p : patterns)
        EXPECT_EQ(Bits(ExtendedToDouble(DoubleToExtended(std::bit_cast<double>(p)))), p);
    // A payload only in bits a double cannot hold still decodes as a NaN.
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(0x7FFF, One | 1))));
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(0x7FFF, 1))));
    // Integer bit clear, no payload: still infinity.
    EXPECT_EQ(ExtendedToDouble(Make(0x7FFF, 0)), std::numeric_limits<double>::infinity());
}

TEST(Extended, DecodingRoundsHalfToEven) {
    // 1 + 2^-53 is halfway between 1 and the next double: even wins.
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, One | 0x400)), 1.0);
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, One | 0x401)), 1.0 + 0x1p-52);
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, One | 0xC00)), 1.0 + 0x1p-51);
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, One | 0x3FF)), 1.0);
    // All ones rounds up into the next power of two.
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, ~std::uint64_t(0))), 2.0);
    // Unnormal (integer bit clear): read by value, 0.5 here.
    EXPECT_EQ(ExtendedToDouble(Make(0x3FFF, One >> 1)), 0.5);
}

TEST(Extended, OutOfRangeSaturatesAndTinyUnderflows) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ExtendedToDouble(Make(0x7FFE, One)), inf);
    EXPECT_EQ(ExtendedToDouble(Make(0xFFFE, One)), -inf);
    EXPECT_EQ(ExtendedToDouble(Make(16383 + 1024, One)), inf);
    // The largest double's next mantissa bits round up past the range.
    EXPECT_EQ(ExtendedToDouble(Make(16383 + 1023, ~std::uint64_t(0))), inf);
    EXPECT_EQ(ExtendedToDouble(Make(16383 + 1023, (~std::uint64_t(0) << 11) | 0x3FF)),
              std::numeric_limits<double>::max());

    const double tiny = std::numeric_limits<double>::denorm_min();
    // 2^-1075 is half the smallest denormal: ties to even, which is zero.
    EXPECT_EQ(Bits(ExtendedToDouble(Make(16383 - 1075, One))), Bits(0.0));
    EXPECT_EQ(Bits(ExtendedToDouble(Make(0x8000 | (16383 - 1075), One))), Bits(-0.0));
    // 0.75 * 2^-1074 rounds up to 2^-1074; 1.5 * 2^-1074 to 2 * 2^-1074.
    EXPECT_EQ(ExtendedToDouble(Make(16383 - 1075, One | (One >> 1))), tiny);
    EXPECT_EQ(ExtendedToDouble(Make(16383 - 1074, One | (One >> 1))), 2 * tiny);
    // Far below: zero with its sign; extended denormals too.
    EXPECT_EQ(Bits(ExtendedToDouble(Make(1, One))), Bits(0.0));
    EXPECT_EQ(Bits(ExtendedToDouble(Make(0x8000, 12345))), Bits(-0.0));
    // Just below the smallest normal double rounds up into it.
    EXPECT_EQ(ExtendedToDouble(Make(16383 - 1023, ~std::uint64_t(0))),
              std::numeric_limits<double>::min());
}

} // namespace
