#include "raster/RasterModule.h"
#include "raster/RasterResamplers.h"
#include "raster/RasterTransfer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Nearest : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    // Each source pixel holds its own column in blue and row in green.
    static void Number(TBitmap32& B) {
        for (int y = 0; y < B.Height(); ++y)
            for (int x = 0; x < B.Width(); ++x)
                B.WritePixel(x, y, MakeColor32(0, y, x, 255));
    }
    static int Col(TColor32 C) { return int(C & 0xFF); }
    static int Row(TColor32 C) { return int((C >> 8) & 0xFF); }
};

TEST_F(Nearest, ColumnAndRowMapsWhenEnlargingAndShrinking) {
    TBitmap32 src, dst;
    src.SetDimensions(10, 3);
    Number(src);
    dst.SetDimensions(25, 7);
    // Column X maps to Trunc((X - DstRect.Left) * SrcW / DstW + SrcRect.Left).
    StretchNearest(&dst, {0, 0, 25, 7}, dst.BoundsRect(), &src, {2, 0, 10, 3}, dmOpaque, nullptr);
    for (int x = 0; x < 25; ++x)
        EXPECT_EQ(Col(dst.ReadPixel(x, 0)), int(x * (8.0 / 25.0)) + 2) << x;
    for (int y = 0; y < 7; ++y)
        EXPECT_EQ(Row(dst.ReadPixel(0, y)), int(y * (3.0 / 7.0))) << y;

    // Shrinking 10 columns into 3 takes columns 0, 3 and 6.
    TBitmap32 small;
    small.SetDimensions(3, 1);
    StretchNearest(&small, {0, 0, 3, 1}, small.BoundsRect(), &src, {0, 0, 10, 1}, dmOpaque,
                   nullptr);
    EXPECT_EQ(Col(small.ReadPixel(0, 0)), 0);
    EXPECT_EQ(Col(small.ReadPixel(1, 0)), 3);
    EXPECT_EQ(Col(small.ReadPixel(2, 0)), 6);
}

TEST_F(Nearest, ClippedWorkingRectangleKeepsTheMappingOfTheWholeRectangle) {
    TBitmap32 src, dst;
    src.SetDimensions(4, 4);
    Number(src);
    dst.SetDimensions(8, 8);
    dst.ClearToColor(0);
    // The destination rectangle starts left of the bitmap; only columns and
    // rows inside both the bitmap and the clip are written.
    StretchNearest(&dst, {-4, -4, 12, 12}, {1, 2, 5, 8}, &src, src.BoundsRect(), dmOpaque, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 5 && y >= 2 && y < 8;
            if (!inside) {
                EXPECT_EQ(dst.ReadPixel(x, y), 0u) << x << "," << y;
                continue;
            }
            EXPECT_EQ(Col(dst.ReadPixel(x, y)), (x + 4) / 4) << x;
            EXPECT_EQ(Row(dst.ReadPixel(x, y)), (y + 4) / 4) << y;
        }
}

TEST_F(Nearest, NarrowDestinationsTakeTheMiddlePixel) {
    TBitmap32 src, dst;
    src.SetDimensions(9, 6);
    Number(src);
    dst.SetDimensions(1, 1);
    StretchNearest(&dst, {0, 0, 1, 1}, dst.BoundsRect(), &src, {2, 1, 9, 6}, dmOpaque, nullptr);
    EXPECT_EQ(Col(dst.ReadPixel(0, 0)), (2 + 9 - 1) / 2);
    EXPECT_EQ(Row(dst.ReadPixel(0, 0)), (1 + 6 - 1) / 2);
}

TEST_F(Nearest, InvalidSourceRectangle) {
    TBitmap32 src, dst;
    src.SetDimensions(2, 2);
    dst.SetDimensions(4, 4);
    try {
        StretchNearest(&dst, {0, 0, 4, 4}, dst.BoundsRect(), &src, {0, 0, 3, 2}, dmOpaque, nullptr);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid SrcRect");
    }
    // Nothing to draw: no check either.
    StretchNearest(&dst, {10, 10, 14, 14}, dst.BoundsRect(), &src, {0, 0, 3, 2}, dmOpaque, nullptr);
}

TEST_F(Nearest, StretchCombinesByMode) {
    TBitmap32 src, dst;
    src.SetDimensions(2, 1);
    src.WritePixel(0, 0, 0x80FF0000u);
    src.WritePixel(1, 0, 0x00000000u);
    src.SetOuterColor(0x00000000u);
    dst.SetDimensions(4, 1);

    dst.ClearToColor(0xFF0000FFu);
    src.SetMasterAlpha(255);
    StretchNearest(&dst, {0, 0, 4, 1}, dst.BoundsRect(), &src, src.BoundsRect(), dmBlend, nullptr);
    TColor32 blended = 0xFF0000FFu;
    BlendMem(0x80FF0000u, blended);
    EXPECT_EQ(dst.ReadPixel(0, 0), blended);
    EXPECT_EQ(dst.ReadPixel(1, 0), blended);
    EXPECT_EQ(dst.ReadPixel(2, 0), 0xFF0000FFu);

    dst.ClearToColor(0xFF0000FFu);
    StretchNearest(&dst, {0, 0, 4, 1}, dst.BoundsRect(), &src, src.BoundsRect(), dmTransparent,
                   nullptr);
    EXPECT_EQ(dst.ReadPixel(1, 0), 0x80FF0000u);
    EXPECT_EQ(dst.ReadPixel(3, 0), 0xFF0000FFu);

    int calls = 0;
    StretchNearest(&dst, {0, 0, 4, 1}, dst.BoundsRect(), &src, src.BoundsRect(), dmCustom,
                   [&](TColor32, TColor32& B, TColor32) {
                       ++calls;
                       B = 1;
                   });
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(dst.ReadPixel(3, 0), 1u);
}

TEST_F(Nearest, SamplingForms) {
    TBitmap32 b;
    b.SetDimensions(3, 3);
    Number(b);
    b.SetOuterColor(0xDEADBEEFu);
    auto* r = static_cast<TNearestResampler*>(b.Resampler());
    EXPECT_EQ(r->GetWidth(), 1.0f);
    EXPECT_TRUE(r->HasBounds());
    r->BeginSampling();
    EXPECT_EQ(r->GetSampleInt(2, 1), b.ReadPixel(2, 1));
    EXPECT_EQ(r->GetSampleInt(3, 1), 0xDEADBEEFu); // pamSafe
    // Fixed: FixedRound rounds a half down; float rounds half to even.
    EXPECT_EQ(r->GetSampleFixed(0x18000, 0), b.ReadPixel(1, 0));
    EXPECT_EQ(r->GetSampleFixed(0x18001, 0), b.ReadPixel(2, 0));
    EXPECT_EQ(r->GetSampleFloat(1.5f, 0.5f), b.ReadPixel(2, 0));
    EXPECT_EQ(r->GetSampleFloat(0.5f, 2.5f), b.ReadPixel(0, 2));
    r->EndSampling();

    b.SetWrapMode(wmRepeat);
    r->SetPixelAccessMode(pamWrap);
    r->BeginSampling();
    EXPECT_EQ(r->GetSampleInt(4, -1), b.ReadPixel(1, 2));
    r->EndSampling();

    // The bounds are the clip rectangle as it was at the start of sampling.
    b.SetClipRectangle({1, 1, 3, 2});
    r->BeginSampling();
    b.ResetClipRectangle();
    const TFloatRect bounds = r->GetSampleBounds();
    EXPECT_EQ(bounds.Left, 1.0f);
    EXPECT_EQ(bounds.Bottom, 2.0f);
    r->EndSampling();
}

TEST_F(Nearest, Registries) {
    ASSERT_NE(ResamplerList(), nullptr);
    EXPECT_STREQ(ResamplerList()->Get(0)->ClassName, "TNearestResampler");
    EXPECT_NE(FindResamplerClass("TNearestResampler"), nullptr);
    EXPECT_EQ(FindResamplerClass("TNearestresampler"), nullptr);
    EXPECT_EQ(FindResamplerClass(""), nullptr);

    TBitmap32 b;
    TCustomResampler* r = FindResamplerClass("TNearestResampler")->Create(&b);
    EXPECT_EQ(b.Resampler(), r);
    EXPECT_STREQ(r->ClassName(), "TNearestResampler");
}

TEST_F(Nearest, NestedSampler) {
    TNestedSampler empty;
    try {
        empty.BeginSampling();
        FAIL();
    } catch (const ENestedException& e) {
        EXPECT_EQ(e.Message(), "Nested sampler is nil");
    }
    EXPECT_THROW(empty.EndSampling(), ENestedException);
    EXPECT_THROW(empty.HasBounds(), ENestedException);
    EXPECT_THROW(empty.GetSampleBounds(), ENestedException);

    TBitmap32 b;
    b.SetDimensions(5, 4);
    TNestedSampler nested(b.Resampler());
    EXPECT_TRUE(nested.HasBounds());
    nested.BeginSampling();
    EXPECT_EQ(nested.GetSampleBounds().Right, 5.0f);
    nested.EndSampling();
    nested.SetSampler(nullptr);
    EXPECT_THROW(nested.HasBounds(), ENestedException);
}

} // namespace
