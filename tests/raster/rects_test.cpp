#include "raster/RasterRects.h"

#include <gtest/gtest.h>

TEST(Rects, FloatToIntegerByMode) {
    const TFloatRect r = MakeSingleRect(1.5f, 2.5f, 7.5f, 8.2f);
    EXPECT_EQ(MakeRect(r, rrClosest), MakeRect(2, 2, 8, 8)); // halves to even
    EXPECT_EQ(MakeRect(r, rrOutside), MakeRect(1, 2, 8, 9));
    EXPECT_EQ(MakeRect(r, rrInside), MakeRect(2, 3, 7, 8));
    const TFloatRect neg = MakeSingleRect(-1.5f, -0.5f, -0.2f, 0.5f);
    EXPECT_EQ(MakeRect(neg, rrClosest), MakeRect(-2, 0, 0, 0));
    EXPECT_EQ(MakeRect(neg, rrOutside), MakeRect(-2, -1, 0, 1));
    // Less than a pixel wide: inside rounding keeps an empty, ordered rectangle.
    const TFloatRect thin = MakeSingleRect(0.2f, 0.2f, 0.8f, 0.9f);
    EXPECT_EQ(MakeRect(thin, rrInside), MakeRect(1, 1, 1, 1));
}

TEST(Rects, FixedToIntegerByMode) {
    const TFixedRect r = FixedRect(0x18000, 0x10001, 0x5FFFF, 0x58000);
    EXPECT_EQ(MakeRect(r, rrClosest), MakeRect(1, 1, 6, 5));
    EXPECT_EQ(MakeRect(r, rrOutside), MakeRect(1, 1, 6, 6));
    EXPECT_EQ(MakeRect(r, rrInside), MakeRect(2, 2, 5, 5));
}

TEST(Rects, IntegerToFixedAndFloat) {
    EXPECT_EQ(FixedRect(MakeRect(-1, 2, 3, 4)), FixedRect(-0x10000, 0x20000, 0x30000, 0x40000));
    EXPECT_EQ(FloatRect(MakeRect(-1, 2, 3, 4)), MakeSingleRect(-1, 2, 3, 4));
    EXPECT_EQ(MakeRect(FixedRect(MakeRect(-7, 0, 9, 12)), rrClosest), MakeRect(-7, 0, 9, 12));
}

TEST(Rects, Intersection) {
    TRect d;
    EXPECT_TRUE(IntersectRectangles(d, MakeRect(0, 0, 10, 10), MakeRect(5, -5, 20, 8)));
    EXPECT_EQ(d, MakeRect(5, 0, 10, 8));
    // Disjoint: the zero rectangle.
    EXPECT_FALSE(IntersectRectangles(d, MakeRect(0, 0, 10, 10), MakeRect(11, 0, 20, 8)));
    EXPECT_EQ(d, TRect{});
    // Touching edges: a zero-width overlap is kept as it is, but is empty.
    EXPECT_FALSE(IntersectRectangles(d, MakeRect(0, 0, 10, 10), MakeRect(10, 2, 20, 8)));
    EXPECT_EQ(d, MakeRect(10, 2, 10, 8));
    // The destination may be one of the sources.
    TRect a = MakeRect(0, 0, 4, 4);
    EXPECT_TRUE(IntersectRectangles(a, a, MakeRect(2, 2, 6, 6)));
    EXPECT_EQ(a, MakeRect(2, 2, 4, 4));
    TFloatRect f;
    EXPECT_TRUE(IntersectRectangles(f, MakeSingleRect(0, 0, 1, 1), MakeSingleRect(0.5f, 0, 2, 2)));
    EXPECT_EQ(f, MakeSingleRect(0.5f, 0, 1, 1));
}

TEST(Rects, EqualOffsetEmpty) {
    EXPECT_TRUE(EqualRectangles(MakeRect(1, 2, 3, 4), MakeRect(1, 2, 3, 4)));
    EXPECT_FALSE(EqualRectangles(MakeRect(1, 2, 3, 4), MakeRect(1, 2, 3, 5)));
    // Compared as stored bytes.
    EXPECT_FALSE(EqualRectangles(MakeSingleRect(0.0f, 0, 1, 1), MakeSingleRect(-0.0f, 0, 1, 1)));
    TRect r = MakeRect(1, 2, 3, 4);
    OffsetRectangle(r, -1, 10);
    EXPECT_EQ(r, MakeRect(0, 12, 2, 14));
    TFixedRect fr = FixedRect(0, 0, FixedOne, FixedOne);
    OffsetRectangle(fr, FixedOne, -FixedOne);
    EXPECT_EQ(fr, FixedRect(FixedOne, -FixedOne, 2 * FixedOne, 0));
    EXPECT_TRUE(IsRectangleEmpty(MakeRect(0, 0, 0, 5)));
    EXPECT_TRUE(IsRectangleEmpty(MakeRect(3, 0, 1, 5)));
    EXPECT_FALSE(IsRectangleEmpty(MakeRect(0, 0, 1, 1)));
    EXPECT_TRUE(IsRectangleEmpty(MakeSingleRect(0, 0, 1, 0)));
    EXPECT_TRUE(IsRectangleEmpty(FixedRect(0, 0, -1, 5)));
}
