#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"
#include "raster/RasterTransfer.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor32 Poison = 0xFFFF00FFu;

class Linear : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    void TearDown() override { SelectInterpolator(); }
};

// Blue 0 and 255 side by side, two rows; columns 2 and 3 poisoned (outside
// the source rectangle (0, 0, 2, 2)).
void MakeEdge(TBitmap32& Src) {
    Src.SetDimensions(4, 2);
    for (int y = 0; y < 2; ++y) {
        Src.WritePixel(0, y, 0xFF000000u);
        Src.WritePixel(1, y, 0xFF0000FFu);
        Src.WritePixel(2, y, Poison);
        Src.WritePixel(3, y, Poison);
    }
}

} // namespace

TEST_F(Linear, InterpolatorForms) {
    const TColor32 top[2] = {0x00000000u, 0xFFFFFFFFu};
    const TColor32 bottom[2] = {0x00000000u, 0xFFFFFFFFu};
    const Cardinal w192 = 192 | (192 << 16);
    // Packed: (0 * 192 + 255 * 64) shr 8 = 63, no rounding bias.
    EXPECT_EQ(InterpolatePacked(w192, 256 | (256 << 16), top, bottom), 0x3F3F3F3Fu);
    // Portable: CombineReg(0, 255, 192) = (255 * 64 + 128) shr 8 = 64.
    EXPECT_EQ(InterpolatePortable(w192, 256 | (256 << 16), top, bottom), 0x40404040u);
    // Full weight on either side gives that pixel exactly.
    const TColor32 a[2] = {0x12345678u, 0x9ABCDEF0u};
    EXPECT_EQ(InterpolatePacked(256 | (256 << 16), 256 | (256 << 16), a, a), 0x12345678u);
    EXPECT_EQ(InterpolatePacked(0, 0, a, a), 0x9ABCDEF0u);
}

TEST_F(Linear, StretchTwoColumnsIntoFourNeverReadsPastTheSourceRectangle) {
    TBitmap32 src, dst;
    MakeEdge(src);
    dst.SetDimensions(4, 4);
    for (TInterpolatorForm form : {ifPacked, ifPortable}) {
        SelectInterpolator(form);
        dst.ClearToColor(0);
        StretchLinear(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, {0, 0, 2, 2}, dmOpaque,
                      nullptr);
        // t = -0.25 (clamped to 0), 0.25, 0.75, 1.25; the last entry is moved
        // back to Pos 0 with weight 0 so it takes column 1 whole.
        const int packed[4] = {0, 63, 191, 255};
        // Portable: weights capped at 255 and rounded, so the first column
        // keeps 1/256 of its neighbour.
        const int portable[4] = {1, 64, 191, 255};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const TColor32 c = dst.ReadPixel(x, y);
                EXPECT_NE(c, Poison);
                EXPECT_EQ(int(c & 0xFF), form == ifPacked ? packed[x] : portable[x]) << x;
                EXPECT_EQ(c >> 24, 0xFFu);
            }
    }
}

TEST_F(Linear, ClippedStretchMatchesTheWholeOne) {
    TBitmap32 src, whole, part;
    src.SetDimensions(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            src.WritePixel(x, y, MakeColor32(x * 50, y * 70, (x * 13 + y * 29) & 255, 255));
    whole.SetDimensions(13, 11);
    part.SetDimensions(13, 11);
    StretchLinear(&whole, {1, 1, 13, 11}, {1, 1, 13, 11}, &src, {0, 0, 5, 4}, dmOpaque, nullptr);
    part.ClearToColor(Poison);
    const TRect clip{4, 3, 9, 8};
    StretchLinear(&part, {1, 1, 13, 11}, clip, &src, {0, 0, 5, 4}, dmOpaque, nullptr);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) {
            if (PtInRect(clip, {x, y}))
                EXPECT_EQ(part.ReadPixel(x, y), whole.ReadPixel(x, y)) << x << "," << y;
            else
                EXPECT_EQ(part.ReadPixel(x, y), Poison);
        }
}

TEST_F(Linear, ResamplerChoosesTheStretchOnlyWhenEnlargingBothWays) {
    TBitmap32 src, dst;
    src.SetDimensions(4, 1);
    const int blue[4] = {0, 100, 200, 40};
    for (int x = 0; x < 4; ++x)
        src.WritePixel(x, 0, 0xFF000000u | Cardinal(blue[x]));
    auto* r = new TLinearResampler(&src);
    ASSERT_EQ(src.Resampler(), r);
    // 4 -> 2 columns (one row): the kernel resample with the linear kernel,
    // taps 32, 96, 96, 32 (position -1 clamped to 0).
    dst.SetDimensions(2, 1);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque,
                nullptr);
    EXPECT_EQ(dst.ReadPixel(0, 0) & 0xFF, Cardinal((128 * 0 + 96 * 100 + 32 * 200) / 256));
    EXPECT_EQ(dst.ReadPixel(1, 0) & 0xFF, Cardinal((32 * 100 + 96 * 200 + 128 * 40) / 256));
    EXPECT_EQ(dst.ReadPixel(0, 0) >> 24, 0xFFu);
}

TEST_F(Linear, SamplesMixNeighboursAndModesStoreAsTheSourceSays) {
    TBitmap32 src;
    src.SetDimensions(2, 2);
    src.ClearToColor(0xFF000000u);
    src.WritePixel(1, 0, 0xFF0000C8u);
    src.WritePixel(1, 1, 0xFF0000C8u);
    auto* r = new TLinearResampler(&src);
    r->BeginSampling();
    // The bitmap's 2x2 reads cap the weight at 255, so a whole pixel keeps
    // 1/256 of its neighbour.
    EXPECT_LE(r->GetSampleFloat(0, 0) & 0xFF, 1u);
    EXPECT_EQ(r->GetSampleFixed(0x10000, 0), 0xFF0000C8u);
    const TColor32 mid = r->GetSampleFloat(0.5f, 0);
    EXPECT_GT(int(mid & 0xFF), 0);
    EXPECT_LT(int(mid & 0xFF), 200);
    EXPECT_EQ(mid >> 24, 0xFFu);
    r->EndSampling();

    // dmTransparent skips samples equal to the outer colour.
    TBitmap32 dst;
    dst.SetDimensions(4, 4);
    dst.ClearToColor(Poison);
    src.SetOuterColor(0xFF000000u);
    StretchLinear(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmTransparent,
                  nullptr);
    EXPECT_EQ(dst.ReadPixel(0, 0), Poison);
    EXPECT_EQ(dst.ReadPixel(3, 3), 0xFF0000C8u);

    // dmCustom hands each sample and the master alpha to the callback.
    int calls = 0;
    src.SetMasterAlpha(77);
    StretchLinear(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmCustom,
                  [&](TColor32 F, TColor32& B, TColor32 M) {
                      ++calls;
                      EXPECT_EQ(M, 77u);
                      B = F ^ 0xFFu;
                  });
    EXPECT_EQ(calls, 16);
    EXPECT_EQ(dst.ReadPixel(0, 0), 0xFF0000FFu);
}

TEST_F(Linear, SourceRectangleOutsideTheSourceIsRefused) {
    TBitmap32 src, dst;
    src.SetDimensions(3, 3);
    dst.SetDimensions(6, 6);
    for (TRect bad : {TRect{-1, 0, 3, 3}, TRect{0, 0, 4, 3}, TRect{0, 1, 3, 4}})
        EXPECT_THROW(
            StretchLinear(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, bad, dmOpaque, nullptr),
            EBitmapException);
    // A clip beyond the destination is narrowed to it.
    src.ClearToColor(0xFF336699u);
    StretchLinear(&dst, {-4, -4, 10, 10}, {-100, -100, 100, 100}, &src, src.BoundsRect(), dmOpaque,
                  nullptr);
    EXPECT_EQ(dst.ReadPixel(5, 5), 0xFF336699u);
}
