#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr TColor32 Poison = 0xFFFF00FFu;

class Draft : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

} // namespace

TEST_F(Draft, BlockAverageOfAllFourChannels) {
    const TColor32 px[6] = {MakeColor32(10, 0, 255, 0),   MakeColor32(20, 3, 255, 90),
                            MakeColor32(31, 0, 255, 255), MakeColor32(0, 0, 0, 0),
                            MakeColor32(0, 0, 0, 0),      MakeColor32(0, 0, 0, 0)};
    // e = 0x1000000 div 3; (61 * e) shr 24 = 20, (3 * e) shr 24 = 0 (the
    // truncated reciprocal loses the last unit), (765 * e) shr 24 = 254,
    // (345 * e) shr 24 = 114.
    EXPECT_EQ(BlockAverage(3, 1, px, 3), MakeColor32(20, 0, 254, 114));
    // Two rows of a three-wide source: a 1 x 2 block reads down the column.
    EXPECT_EQ(BlockAverage(1, 2, px, 3), MakeColor32(5, 0, 127, 0));
    const TColor32 same[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(BlockAverage(2, 2, same, 2), 0xFFFFFFFFu);
    EXPECT_EQ(BlockAverage(1, 1, same, 2), 0xFFFFFFFFu);
}

TEST_F(Draft, TenColumnsIntoThreeAverageColumnsZeroToEight) {
    TBitmap32 src, dst;
    src.SetDimensions(10, 1);
    for (int x = 0; x < 9; ++x)
        src.WritePixel(x, 0, MakeColor32(0, 0, x * 10, 255));
    src.WritePixel(9, 0, Poison); // stepX = 218453 never reaches column 9
    dst.SetDimensions(3, 1);
    auto* r = new TDraftResampler(&src);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque,
                nullptr);
    EXPECT_EQ(dst.ReadPixel(0, 0), MakeColor32(0, 0, 9, 254));  // (0+10+20)/3, e truncated
    EXPECT_EQ(dst.ReadPixel(1, 0), MakeColor32(0, 0, 39, 254)); // 120 * e shr 24
    EXPECT_EQ(dst.ReadPixel(2, 0), MakeColor32(0, 0, 69, 254));

    // A clip starting at the second column starts at source column
    // Trunc(1 * 10 / 3) = 3.
    TBitmap32 part;
    part.SetDimensions(3, 1);
    part.ClearToColor(0);
    r->Resample(&part, part.BoundsRect(), {1, 0, 3, 1}, &src, src.BoundsRect(), dmOpaque, nullptr);
    EXPECT_EQ(part.ReadPixel(0, 0), 0u);
    EXPECT_EQ(part.ReadPixel(1, 0), dst.ReadPixel(1, 0));
    EXPECT_EQ(part.ReadPixel(2, 0), dst.ReadPixel(2, 0));
}

TEST_F(Draft, TallSourcesDoNotWrapTheRowSteps) {
    // 70000 rows into 700: stepY = 100 * 65536, and row 699 starts at
    // 699 * 6553600, beyond 32 bits.
    TBitmap32 src, dst;
    src.SetDimensions(1, 70000);
    // Block k holds 100 rows of k % 200 + 1 in blue and k / 200 + 1 in
    // green; 100 * c * (0x1000000 div 100) shr 24 is c - 1 for every c > 0.
    for (int y = 0; y < 70000; ++y)
        src.WritePixel(0, y, MakeColor32(0, y / 100 / 200 + 1, y / 100 % 200 + 1, 255));
    dst.SetDimensions(1, 700);
    auto* r = new TDraftResampler(&src);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque,
                nullptr);
    for (int k = 0; k < 700; ++k) {
        const TColor32 c = dst.ReadPixel(0, k);
        ASSERT_EQ(c & 0xFF, Cardinal(k % 200)) << k;
        ASSERT_EQ((c >> 8) & 0xFF, Cardinal(k / 200)) << k;
    }
}

TEST_F(Draft, EnlargingGoesLinearOrThroughTheKernelForThinSources) {
    TBitmap32 src, dst;
    src.SetDimensions(8, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            src.WritePixel(x, y, x == 5 ? MakeColor32(1, 2, 3, 255) : Poison);
    auto* r = new TDraftResampler(&src);
    // One column (5) drawn 4 wide and 3 -> 6 high: every pixel is column 5
    // at full weight.
    dst.SetDimensions(4, 6);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, {5, 0, 6, 3}, dmOpaque, nullptr);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.ReadPixel(x, y), MakeColor32(1, 2, 3, 255)) << x << "," << y;

    // A 2 x 2 source enlarged uses the linear stretch: the corners are the
    // source pixels unchanged.
    TBitmap32 small, big;
    small.SetDimensions(2, 2);
    small.WritePixel(0, 0, 0xFF102030u);
    small.WritePixel(1, 0, 0xFF405060u);
    small.WritePixel(0, 1, 0xFF708090u);
    small.WritePixel(1, 1, 0xFFA0B0C0u);
    auto* r2 = new TDraftResampler(&small);
    big.SetDimensions(6, 6);
    r2->Resample(&big, big.BoundsRect(), big.BoundsRect(), &small, small.BoundsRect(), dmOpaque,
                 nullptr);
    EXPECT_EQ(big.ReadPixel(0, 0), 0xFF102030u);
    EXPECT_EQ(big.ReadPixel(5, 0), 0xFF405060u);
    EXPECT_EQ(big.ReadPixel(0, 5), 0xFF708090u);
    EXPECT_EQ(big.ReadPixel(5, 5), 0xFFA0B0C0u);
}

TEST_F(Draft, BlendModeUsesTheMasterAlpha) {
    TBitmap32 src, dst;
    src.SetDimensions(4, 4);
    src.ClearToColor(0xFFFFFFFFu);
    src.SetMasterAlpha(128);
    dst.SetDimensions(2, 2);
    dst.ClearToColor(0xFF000000u);
    auto* r = new TDraftResampler(&src);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmBlend, nullptr);
    TColor32 expected = 0xFF000000u;
    BlendMemEx(0xFFFFFFFFu, expected, 128);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(dst.ReadPixel(x, y), expected);
}
