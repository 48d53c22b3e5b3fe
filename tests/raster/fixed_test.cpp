#include "raster/RasterMath.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

TEST(Fixed, KnownValues) {
    EXPECT_EQ(FixedRound(0x18000), 1); // a half rounds down
    EXPECT_EQ(FixedRound(0x18001), 2);
    EXPECT_EQ(FixedRound(-0x18000), -2); // -1.5 rounds down too
    EXPECT_EQ(FixedFloor(-1), -1);
    EXPECT_EQ(FixedCeil(1), 1);
    EXPECT_EQ(FixedCeil(-0xFFFF), 0);
    EXPECT_EQ(FixedMul(3 * FixedOne, FixedOne / 2), 0x18000);
    EXPECT_EQ(FixedMul(-FixedOne, 1), -1); // the product is floored
    EXPECT_EQ(FixedDiv(FixedOne, 3 * FixedOne), 21845);
    EXPECT_EQ(FixedDiv(-FixedOne, 3 * FixedOne), -21845); // truncated
}

TEST(Fixed, FloorCeilRoundExhaustiveAroundZero) {
    for (int a = -(1 << 20); a <= (1 << 20); ++a) {
        const double x = a / 65536.0;
        ASSERT_EQ(FixedFloor(a), int(std::floor(x))) << a;
        ASSERT_EQ(FixedCeil(a), int(std::ceil(x))) << a;
        // The nearest integer, a half going down.
        ASSERT_EQ(FixedRound(a), int(std::ceil(x - 0.5))) << a;
    }
}

TEST(Fixed, NearTheEndsOfTheRange) {
    EXPECT_EQ(FixedCeil(INT_MAX), 32768); // no wrap to a negative value
    EXPECT_EQ(FixedRound(INT_MAX), 32768);
    EXPECT_EQ(FixedFloor(INT_MIN), -32768);
    EXPECT_EQ(FixedCeil(INT_MIN), -32768);
}

TEST(Fixed, MulAndDivOverSmallRanges) {
    for (int a = -3000; a <= 3000; a += 7)
        for (int b = -300000; b <= 300000; b += 4999) {
            ASSERT_EQ(FixedMul(a, b), TFixed(std::floor(double(a) * b / 65536.0))) << a << " " << b;
            if (b != 0) {
                ASSERT_EQ(FixedDiv(a, b), TFixed(std::trunc(double(a) * 65536.0 / b)))
                    << a << " " << b;
            }
        }
}

TEST(Fixed, DivFailures) {
    EXPECT_THROW(FixedDiv(FixedOne, 0), EDivByZero);
    EXPECT_EQ(FixedDiv(INT_MAX, 1), INT_MAX); // saturates
    EXPECT_EQ(FixedDiv(INT_MIN, 1), INT_MIN);
}

TEST(Fixed, FromSingleRoundsHalfToEven) {
    EXPECT_EQ(Fixed(0.5f), 0x8000);
    EXPECT_EQ(Fixed(-2.25f), -0x24000);
    EXPECT_EQ(Fixed(1.0f / 131072), 0); // 0.5 of a unit
    EXPECT_EQ(Fixed(3.0f / 131072), 2); // 1.5
    EXPECT_EQ(Fixed(5.0f / 131072), 2); // 2.5
    EXPECT_EQ(Fixed(-3.0f / 131072), -2);
    EXPECT_EQ(Fixed(1e10f), INT_MAX);
    EXPECT_EQ(Fixed(-1e10f), INT_MIN);
}
