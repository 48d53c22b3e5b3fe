#include "platform/base/Rounding.h"

#include <gtest/gtest.h>

#include <limits>

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
    EXPECT_EQ(RoundQuotient(29, 2), 14); // 14.5 -> 14
    EXPECT_EQ(RoundQuotient(31, 2), 16); // 15.5 -> 16
    EXPECT_EQ(RoundQuotient(-29, 2), -14);
    EXPECT_EQ(RoundQuotient(29, -2), -14);
    EXPECT_EQ(RoundQuotient(10, 3), 3);
    EXPECT_EQ(RoundQuotient(11, 3), 4);
    EXPECT_EQ(RoundQuotient(-11, 3), -4);
    EXPECT_EQ(RoundQuotient(-1, 2), 0);  // -0.5 -> 0
    EXPECT_EQ(RoundQuotient(-3, 2), -2); // -1.5 -> -2
}

TEST(RoundQuotient, ExtremesDoNotOverflow) {
    const std::int64_t mn = std::numeric_limits<std::int64_t>::min();
    const std::int64_t mx = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(RoundQuotient(mn, -1), mx); // saturates
    EXPECT_EQ(RoundQuotient(mn, 2), mn / 2);
    EXPECT_EQ(RoundQuotient(mn, -2), -(mn / 2));
    EXPECT_EQ(RoundQuotient(mx, mx), 1);
    EXPECT_EQ(RoundQuotient(mx, 2), mx / 2 + 1); // ...3.5 -> even ...4
    EXPECT_EQ(RoundQuotient(mn, mx), -1);
    EXPECT_EQ(RoundQuotient(5, 0), 0);
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndFailsWithMinusOne) {
    EXPECT_EQ(MulDiv(3, 1, 2), 2); // 1.5 -> 2
    EXPECT_EQ(MulDiv(5, 1, 2), 3); // 2.5 -> 3, not half-even
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(-5, -1, -2), -3);
    EXPECT_EQ(MulDiv(10, 96, 72), 13); // 13.33
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 1), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
    EXPECT_EQ(MulDiv(-0x7FFFFFFF - 1, 1, 1), -0x7FFFFFFF - 1);
}
