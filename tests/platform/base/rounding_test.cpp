#include "platform/base/Rounding.h"

#include <gtest/gtest.h>

TEST(RoundHalfEven, TiesGoToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(-0.4999), 0);
}

TEST(RoundQuotient, ExactTies) {
    EXPECT_EQ(RoundQuotient(29, 2), 14);  // 14.5 -> 14
    EXPECT_EQ(RoundQuotient(31, 2), 16);  // 15.5 -> 16
    EXPECT_EQ(RoundQuotient(-29, 2), -14);
    EXPECT_EQ(RoundQuotient(29, -2), -14);
    EXPECT_EQ(RoundQuotient(10, 3), 3);
    EXPECT_EQ(RoundQuotient(11, 3), 4);
    EXPECT_EQ(RoundQuotient(-11, 3), -4);
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndFailsWithMinusOne) {
    EXPECT_EQ(MulDiv(3, 1, 2), 2);   // 1.5 -> 2
    EXPECT_EQ(MulDiv(5, 1, 2), 3);   // 2.5 -> 3, not half-even
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(-5, -1, -2), -3);
    EXPECT_EQ(MulDiv(10, 96, 72), 13); // 13.33
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 1), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
    EXPECT_EQ(MulDiv(-0x7FFFFFFF - 1, 1, 1), -0x7FFFFFFF - 1);
}
