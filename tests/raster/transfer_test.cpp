#include "raster/RasterModule.h"
#include "raster/RasterResamplers.h"
#include "raster/RasterTransfer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Transfer : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    void SetUp() override {
        Src.SetDimensions(4, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                Src.WritePixel(x, y, MakeColor32(x * 10, y * 10, 7, 255));
        Dst.SetDimensions(6, 5);
        Dst.ClearToColor(Back);
        Dst.OnAreaChanged = [this](TObject*, const TRect& R, Cardinal I) {
            Areas.push_back(R);
            Infos.push_back(I);
        };
    }
    int CountChanged() const {
        int n = 0;
        for (int y = 0; y < Dst.Height(); ++y)
            for (int x = 0; x < Dst.Width(); ++x)
                n += Dst.ReadPixel(x, y) != Back;
        return n;
    }
    static constexpr TColor32 Back = 0xFF000000u;
    TBitmap32 Src, Dst;
    std::vector<TRect> Areas;
    std::vector<Cardinal> Infos;
};

TEST_F(Transfer, OpaqueBlockIsClippedToTheDestination) {
    TransferBlock(&Dst, 4, 3, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmOpaque);
    EXPECT_EQ(Dst.ReadPixel(4, 3), Src.ReadPixel(0, 0));
    EXPECT_EQ(Dst.ReadPixel(5, 4), Src.ReadPixel(1, 1));
    EXPECT_EQ(CountChanged(), 4);
    ASSERT_EQ(Areas.size(), 1u);
    EXPECT_EQ(Areas[0], (TRect{4, 3, 8, 6}));
    EXPECT_EQ(Infos[0], AREAINFO_RECT);
}

TEST_F(Transfer, NegativePositionAndSourceRectOutsideTheSource) {
    // A source rectangle reaching outside the source is cut to it; the
    // report keeps the size as passed.
    TransferBlock(&Dst, -1, -1, Dst.BoundsRect(), &Src, {-1, -1, 3, 2}, dmOpaque);
    // Source pixel (0, 0) sits at destination (0, 0).
    EXPECT_EQ(Dst.ReadPixel(0, 0), Src.ReadPixel(0, 0));
    EXPECT_EQ(Dst.ReadPixel(2, 1), Src.ReadPixel(2, 1));
    EXPECT_EQ(CountChanged(), 6);
    EXPECT_EQ(Areas.at(0), (TRect{-1, -1, 3, 2}));
}

TEST_F(Transfer, FullyOutsideChangesNothingButReports) {
    TransferBlock(&Dst, 100, 100, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmOpaque);
    TransferBlock(&Dst, -2147483000, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmOpaque);
    EXPECT_EQ(CountChanged(), 0);
    EXPECT_EQ(Areas.size(), 2u);
    EXPECT_EQ(Areas[0], (TRect{100, 100, 104, 103}));
}

TEST_F(Transfer, EarlyExitsReportNothing) {
    Src.SetMasterAlpha(0);
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmBlend);
    Src.SetMasterAlpha(-5); // clamped to 0 where used
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmBlend);
    TBitmap32 empty;
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &empty, {0, 0, 2, 2}, dmOpaque);
    EXPECT_EQ(CountChanged(), 0);
    EXPECT_TRUE(Areas.empty());
    // Master alpha 0 stops only the blend.
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmOpaque);
    EXPECT_EQ(CountChanged(), 12);
}

TEST_F(Transfer, NilBitmapsRaise) {
    try {
        TransferBlock(nullptr, 0, 0, {}, &Src, {}, dmOpaque);
        FAIL();
    } catch (const EBitmapException& e) {
        EXPECT_EQ(e.Message(), "Destination bitmap is nil");
    }
    try {
        TransferBlock(&Dst, 0, 0, {}, nullptr, {}, dmOpaque);
        FAIL();
    } catch (const EBitmapException& e) {
        EXPECT_EQ(e.Message(), "Source bitmap is nil");
    }
    EXPECT_THROW(TransferStretched(nullptr, {}, {}, &Src, {}, nullptr, dmOpaque), EBitmapException);
    EXPECT_THROW(TransferStretched(&Dst, {}, {}, nullptr, {}, nullptr, dmOpaque), EBitmapException);
}

TEST_F(Transfer, BlendUsesMasterAlphaAndCombineMode) {
    Src.ClearToColor(0x80FF0000u);
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmBlend);
    TColor32 expected = Back;
    BlendMem(0x80FF0000u, expected);
    EXPECT_EQ(Dst.ReadPixel(0, 0), expected);

    Dst.ClearToColor(Back);
    Src.SetMasterAlpha(100);
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmBlend);
    TColor32 line = Back;
    BlendLineEx(&Src.Bits()[0], &line, 1, 100);
    EXPECT_EQ(Dst.ReadPixel(0, 0), line);

    Dst.ClearToColor(0x00000000u);
    Src.SetMasterAlpha(255);
    Src.SetCombineMode(cmMerge);
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmBlend);
    // Merging over a fully transparent pixel gives the foreground unchanged.
    EXPECT_EQ(Dst.ReadPixel(0, 0), 0x80FF0000u);
}

TEST_F(Transfer, TransparentSkipsExactlyTheOuterColor) {
    Src.SetOuterColor(Src.ReadPixel(1, 1));
    Src.WritePixel(2, 1, Src.ReadPixel(1, 1) & 0x00FFFFFFu); // differs in alpha only
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmTransparent);
    EXPECT_EQ(Dst.ReadPixel(1, 1), Back);
    EXPECT_EQ(Dst.ReadPixel(2, 1), Src.ReadPixel(2, 1));
    EXPECT_EQ(CountChanged(), 11);
}

TEST_F(Transfer, CustomCallbackAndItsAbsence) {
    Src.SetMasterAlpha(42);
    std::vector<TColor32> masters;
    TPixelCombineEvent invert = [&](TColor32 F, TColor32& B, TColor32 M) {
        B = ~F;
        masters.push_back(M);
    };
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, {0, 0, 2, 1}, dmCustom, invert);
    EXPECT_EQ(Dst.ReadPixel(1, 0), ~Src.ReadPixel(1, 0));
    EXPECT_EQ(masters, (std::vector<TColor32>{42, 42}));
    // Without a callback dmCustom copies.
    TransferBlock(&Dst, 0, 0, Dst.BoundsRect(), &Src, {0, 0, 2, 1}, dmCustom);
    EXPECT_EQ(Dst.ReadPixel(1, 0), Src.ReadPixel(1, 0));
}

TEST_F(Transfer, MeasuringReportsWithoutDrawing) {
    std::vector<TRect> measured;
    Dst.BeginMeasuring([&](TObject*, const TRect& R, Cardinal) { measured.push_back(R); });
    TransferBlock(&Dst, 1, 1, Dst.BoundsRect(), &Src, Src.BoundsRect(), dmOpaque);
    TransferStretched(&Dst, {0, 0, 6, 5}, Dst.BoundsRect(), &Src, Src.BoundsRect(), nullptr,
                      dmOpaque);
    Dst.EndMeasuring();
    EXPECT_EQ(CountChanged(), 0);
    ASSERT_EQ(measured.size(), 2u);
    EXPECT_EQ(measured[0], (TRect{1, 1, 5, 4}));
    EXPECT_EQ(measured[1], (TRect{0, 0, 6, 5}));
}

TEST_F(Transfer, BlockOntoItselfOverlapping) {
    TBitmap32 b;
    b.SetDimensions(5, 1);
    for (int x = 0; x < 5; ++x)
        b.WritePixel(x, 0, TColor32(x + 1));
    CombineBlock(&b, {1, 0, 5, 1}, &b, 0, 0, dmOpaque);
    EXPECT_EQ(b.ReadPixel(1, 0), 1u);
    EXPECT_EQ(b.ReadPixel(4, 0), 4u);
    b.SetDimensions(1, 4);
    for (int y = 0; y < 4; ++y)
        b.WritePixel(0, y, 0xFF000000u | TColor32(y + 1));
    b.SetDrawMode(dmBlend);
    CombineBlock(&b, {0, 1, 1, 4}, &b, 0, 0, dmBlend);
    EXPECT_EQ(b.ReadPixel(0, 1), 0xFF000001u);
    EXPECT_EQ(b.ReadPixel(0, 3), 0xFF000003u);
}

TEST_F(Transfer, StretchedChecksAndDispatch) {
    // An invalid source rectangle.
    try {
        TransferStretched(&Dst, {0, 0, 6, 5}, Dst.BoundsRect(), &Src, {0, 0, 5, 3}, nullptr,
                          dmOpaque);
        FAIL();
    } catch (const ESrcInvalidException& e) {
        EXPECT_EQ(e.Message(), "Source rectangle is invalid");
    }
    // An empty source rectangle or destination intersection: no report.
    TransferStretched(&Dst, {0, 0, 6, 5}, Dst.BoundsRect(), &Src, {1, 1, 1, 3}, nullptr, dmOpaque);
    TransferStretched(&Dst, {10, 10, 16, 15}, Dst.BoundsRect(), &Src, Src.BoundsRect(), nullptr,
                      dmOpaque);
    TransferStretched(&Dst, {0, 0, 6, 5}, {3, 3, 3, 3}, &Src, Src.BoundsRect(), nullptr, dmOpaque);
    EXPECT_TRUE(Areas.empty());
    EXPECT_EQ(CountChanged(), 0);

    // Same size: a block copy at the clipped position.
    TransferStretched(&Dst, {1, 1, 5, 4}, {2, 2, 6, 5}, &Src, Src.BoundsRect(), nullptr, dmOpaque);
    EXPECT_EQ(Dst.ReadPixel(2, 2), Src.ReadPixel(1, 1));
    EXPECT_EQ(Dst.ReadPixel(1, 1), Back);
    EXPECT_EQ(Areas.back(), (TRect{1, 1, 5, 4}));

    // Another size: the resampler's resample-rectangle, here nearest.
    Dst.ClearToColor(Back);
    TransferStretched(&Dst, {0, 0, 2, 1}, Dst.BoundsRect(), &Src, {0, 0, 4, 1}, Src.Resampler(),
                      dmOpaque);
    EXPECT_EQ(Dst.ReadPixel(0, 0), Src.ReadPixel(0, 0));
    EXPECT_EQ(Dst.ReadPixel(1, 0), Src.ReadPixel(2, 0));
    EXPECT_EQ(Dst.ReadPixel(2, 0), Back);
}

TEST_F(Transfer, DrawBitmapAtAndDrawOntoRectUseTheSourceSettings) {
    Src.SetDrawMode(dmTransparent);
    Src.SetOuterColor(Src.ReadPixel(0, 0));
    Dst.DrawBitmapAt(0, 0, &Src);
    EXPECT_EQ(Dst.ReadPixel(0, 0), Back);
    EXPECT_EQ(Dst.ReadPixel(1, 0), Src.ReadPixel(1, 0));
    Dst.DrawBitmapAt(0, 0, nullptr);

    Dst.ClearToColor(Back);
    Dst.SetClipRectangle({0, 0, 3, 5});
    Src.SetDrawMode(dmOpaque);
    Src.DrawOntoRect(&Dst, {0, 0, 6, 5});
    // Columns 3.. are outside the clip.
    EXPECT_EQ(Dst.ReadPixel(3, 0), Back);
    EXPECT_EQ(Dst.ReadPixel(2, 4), Src.ReadPixel(1, 2));
}

} // namespace
