#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterCore.h"
#include "raster/RasterModule.h"
#include "raster/RasterResamplers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class Bitmap32 : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

struct TEventLog {
    int Changes = 0;
    int Resizes = 0;
    std::vector<std::pair<TRect, Cardinal>> Areas;

    void Attach(TBitmap32& B) {
        B.OnChange = [this](TObject*) { ++Changes; };
        B.OnResize = [this](TObject*) { ++Resizes; };
        B.OnAreaChanged = [this](TObject*, const TRect& R, Cardinal I) { Areas.push_back({R, I}); };
    }
};

void Fill(TBitmap32& B, TColor32 Seed) {
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.WritePixel(x, y, Seed + TColor32(x) * 0x010203u + TColor32(y) * 0x01000100u);
}

TEST_F(Bitmap32, SetDimensionsNotifiesOnlyOnRealChange) {
    TBitmap32 b;
    TEventLog log;
    log.Attach(b);
    int handles = 0;
    b.OnHandleChanged = [&](TObject*) { ++handles; };

    EXPECT_TRUE(b.SetDimensions(-3, 5));
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(log.Resizes, 1);
    EXPECT_EQ(handles, 1);

    EXPECT_FALSE(b.SetDimensions(0, 5));
    EXPECT_EQ(log.Resizes, 1);
    EXPECT_EQ(log.Changes, 1);
    EXPECT_EQ(b.ResamplerClassName(), "TNearestResampler");

    b.ChangeWidth(4);
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Height(), 5);
    b.ChangeHeight(2);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(log.Resizes, 3);
    // Fresh storage is zeroed.
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(b.ReadPixel(x, 1), 0u);
    b.Delete();
    EXPECT_TRUE(b.Empty());
}

TEST_F(Bitmap32, AllocationBeyondTheCapLeavesTheBitmapEmpty) {
    TBitmap32 b;
    b.SetDimensions(4, 4);
    int handles = 0;
    b.OnHandleChanged = [&](TObject*) { ++handles; };
    try {
        b.SetDimensions(70000, 70000);
        FAIL() << "no exception";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), "Can't allocate the DIB handle");
    }
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(handles, 1);

    TIntegerMap m;
    m.SetDimensions(3, 2);
    *m.ValPtr(2, 1) = -7;
    EXPECT_EQ(m.Bits()[5], -7);
    EXPECT_THROW(m.SetDimensions(1 << 20, 1 << 20), EOutOfMemory);
    EXPECT_TRUE(m.Empty());
}

TEST_F(Bitmap32, UpdatesAndUnpairedEndUpdate) {
    TBitmap32 b;
    TEventLog log;
    log.Attach(b);
    b.StartUpdate();
    b.SetDimensions(2, 2);
    b.ClearToColor(0xFF112233u);
    EXPECT_EQ(log.Changes, 0);
    EXPECT_TRUE(log.Areas.empty());
    b.EndUpdate();
    EXPECT_EQ(b.UpdateCount(), 0);
    try {
        b.EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Unpaired TThreadPersistent.EndUpdate");
    }
    EXPECT_EQ(b.UpdateCount(), 0);
}

TEST_F(Bitmap32, ClippedAndWrappedReads) {
    TBitmap32 b;
    b.SetDimensions(4, 3);
    Fill(b, 0xFF000000u);
    b.SetOuterColor(0x12345678u);
    b.SetClipRectangle({1, 0, 3, 3});
    EXPECT_EQ(b.ReadPixelClipped(0, 0), 0x12345678u);
    EXPECT_EQ(b.ReadPixelClipped(1, 1), b.ReadPixel(1, 1));
    EXPECT_EQ(b.ReadPixelClipped(3, 1), 0x12345678u);
    EXPECT_EQ(b.ReadPixelClipped(1, -1), 0x12345678u);

    // Clip columns 1..2: clamp, repeat and mirror of column -1 and 4.
    b.SetWrapMode(wmClamp);
    EXPECT_EQ(b.ReadPixelWrapped(-1, 1), b.ReadPixel(1, 1));
    EXPECT_EQ(b.ReadPixelWrapped(4, 1), b.ReadPixel(2, 1));
    b.SetWrapMode(wmRepeat);
    EXPECT_EQ(b.ReadPixelWrapped(3, 1), b.ReadPixel(1, 1));
    EXPECT_EQ(b.ReadPixelWrapped(0, 5), b.ReadPixel(2, 2));
    b.SetWrapMode(wmMirror);
    EXPECT_EQ(b.ReadPixelWrapped(3, 1), b.ReadPixel(2, 1));
    EXPECT_EQ(b.ReadPixelWrapped(0, -1), b.ReadPixel(1, 0));
}

TEST_F(Bitmap32, InterpolatedReads) {
    TBitmap32 b;
    b.SetDimensions(2, 2);
    b.WritePixel(0, 0, 0xFF000000u);
    b.WritePixel(1, 0, 0xFFFFFFFFu);
    b.WritePixel(0, 1, 0xFF000000u);
    b.WritePixel(1, 1, 0xFFFFFFFFu);
    b.SetOuterColor(0xAABBCCDDu);
    // A whole position weighs the top-left pixel by GammaTable[255] = 255.
    EXPECT_EQ(b.ReadPixelT256(0, 0) & 0xFF, 1u);
    const Cardinal w = GammaTable[255 - 128];
    const TColor32 half = CombineReg(0xFF000000u, 0xFFFFFFFFu, w);
    EXPECT_EQ(b.ReadPixelT256(128, 0), half);
    EXPECT_EQ(b.ReadPixelFixed(0x8000, 0), b.ReadPixelT256((0x8000 + 127) >> 8, 0));

    // Safe reads: the last column and row are read whole, beyond is outside.
    EXPECT_EQ(b.ReadPixelT256Safe(-1, 0), 0xAABBCCDDu);
    EXPECT_EQ(b.ReadPixelT256Safe(256, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b.ReadPixelT256Safe(256, 256), 0xFFFFFFFFu);
    EXPECT_EQ(b.ReadPixelT256Safe(0, 256), 0xFF000000u);
    EXPECT_EQ(b.ReadPixelT256Safe(257, 0), 0xAABBCCDDu);
    EXPECT_EQ(b.ReadPixelT256Safe(0, 257), 0xAABBCCDDu);
    EXPECT_EQ(b.ReadPixelFixedSafe(-0x10000, 0), 0xAABBCCDDu);

    // Wrapped fixed reads return whole positions exactly and mix halves.
    b.SetWrapMode(wmRepeat);
    EXPECT_EQ(b.ReadPixelFixedWrapped(1 << 16, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b.ReadPixelFixedWrapped(2 << 16, 1 << 16), 0xFF000000u);
    EXPECT_EQ(b.ReadPixelFixedWrapped(0x8000, 0) & 0xFF, 0x80u);
}

TEST_F(Bitmap32, ClearFillAndResetAlpha) {
    TBitmap32 empty;
    TEventLog emptyLog;
    emptyLog.Attach(empty);
    empty.ClearToColor(0xFF00FF00u);
    EXPECT_EQ(emptyLog.Changes, 0);
    EXPECT_TRUE(emptyLog.Areas.empty());

    TBitmap32 b;
    b.SetDimensions(6, 4);
    b.ClearToBlack();
    EXPECT_EQ(b.ReadPixel(5, 3), 0xFF000000u);
    TEventLog log;
    log.Attach(b);

    b.SetClipRectangle({1, 1, 3, 3});
    b.ClearToColor(0xFF0000FFu);
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(b.ReadPixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(b.ReadPixel(2, 2), 0xFF0000FFu);
    EXPECT_EQ(b.ReadPixel(3, 3), 0xFF000000u);
    ASSERT_EQ(log.Areas.size(), 2u);
    EXPECT_EQ(log.Areas[0].first, (TRect{1, 1, 3, 3}));
    EXPECT_EQ(log.Areas[0].second, AREAINFO_RECT);
    EXPECT_EQ(log.Areas[1].first, (TRect{0, 0, 6, 4}));

    log.Areas.clear();
    b.FillRectangleClipped(-4, 0, 2, 10, 0xFFFFFFFFu);
    EXPECT_EQ(b.ReadPixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(b.ReadPixel(1, 3), 0xFF000000u);
    EXPECT_EQ(b.ReadPixel(0, 1), 0xFF000000u);
    ASSERT_EQ(log.Areas.size(), 1u);
    EXPECT_EQ(log.Areas[0].first, (TRect{1, 1, 2, 3}));
    // A rectangle that misses the clip fills nothing and is reported as given.
    log.Areas.clear();
    b.FillRectangleClipped(4, 0, 6, 4, 0xFF123456u);
    EXPECT_EQ(b.ReadPixel(4, 0), 0xFF000000u);
    EXPECT_EQ(log.Areas.at(0).first, (TRect{4, 0, 6, 4}));

    b.ResetClipRectangle();
    b.FillRectangle(4, 2, 6, 4, 0x80FEDCBAu);
    EXPECT_EQ(b.ReadPixel(5, 3), 0x80FEDCBAu);
    EXPECT_EQ(b.ReadPixel(3, 3), 0xFF000000u);
    b.ResetAlpha(7);
    EXPECT_EQ(b.ReadPixel(5, 3), 0x07FEDCBAu);
    EXPECT_EQ(b.ReadPixel(0, 0), 0x07000000u);
    b.ResetAlpha(300);
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF000000u);

    b.HorzLine(1, 0, 3, 0x11111111u);
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(b.ReadPixel(3, 0), 0x11111111u);
    EXPECT_EQ(b.ReadPixel(4, 0), 0xFF000000u);
    b.VertLine(5, 1, 2, 0x22222222u);
    EXPECT_EQ(b.ReadPixel(5, 0), 0xFF000000u);
    EXPECT_EQ(b.ReadPixel(5, 2), 0x22222222u);
    EXPECT_EQ(b.ReadPixel(5, 3), 0xFEDCBAu | 0xFF000000u);
    b.VertLine(0, 3, 1, 0x33333333u); // Y2 < Y1: nothing
    EXPECT_EQ(b.ReadPixel(0, 2), 0xFF000000u);
}

TEST_F(Bitmap32, MeasuringChangesNoPixelButReportsAreas) {
    TBitmap32 b;
    b.SetDimensions(4, 4);
    b.ClearToColor(0xFF101010u);
    TEventLog log;
    log.Attach(b);
    std::vector<TRect> measured;
    b.BeginMeasuring([&](TObject*, const TRect& R, Cardinal) { measured.push_back(R); });
    b.StartUpdate(); // measuring reports even inside an update
    b.ClearToColor(0xFFFFFFFFu);
    b.FillRectangleClipped(1, 1, 3, 3, 0xFFFFFFFFu);
    b.ResetAlpha(0);
    b.EndUpdate();
    b.EndMeasuring();
    EXPECT_EQ(b.ReadPixel(1, 1), 0xFF101010u);
    EXPECT_EQ(measured.size(), 3u);
    EXPECT_EQ(log.Changes, 0);
    EXPECT_TRUE(log.Areas.empty());
    b.ClearToColor(0xFF000000u);
    EXPECT_EQ(log.Areas.size(), 1u);
}

TEST_F(Bitmap32, ResamplerByClassName) {
    TBitmap32 b;
    TCustomResampler* original = b.Resampler();
    TEventLog log;
    log.Attach(b);
    b.SetResamplerClassName("tnearestresampler");
    b.SetResamplerClassName("TNoSuchResampler");
    b.SetResamplerClassName("");
    b.SetResamplerClassName("TNearestResampler");
    EXPECT_EQ(b.Resampler(), original);
    EXPECT_EQ(log.Changes, 0);
    b.SetResampler(nullptr);
    EXPECT_EQ(b.Resampler(), original);

    auto* replacement = new TNearestResampler(&b);
    EXPECT_EQ(b.Resampler(), replacement);
    EXPECT_EQ(log.Changes, 1);
}

TEST_F(Bitmap32, AssignFromTBitmapAlphaAndTransparency) {
    TBitmap src(3, 2, pf24bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            Byte* p = src.ScanLine(y) + 3 * x;
            p[0] = Byte(10 * x), p[1] = Byte(20 * y), p[2] = 200;
        }
    TBitmap32 b;
    b.Assign(&src);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.ReadPixel(2, 1), MakeColor32(200, 20, 20, 255));

    // Transparent: the pixels of the transparent colour's RGB get alpha 0.
    src.SetTransparentColor(RGB(200, 0, 10)); // pixel (1, 0)
    src.SetTransparent(true);
    b.Assign(&src);
    EXPECT_EQ(b.ReadPixel(1, 0), MakeColor32(200, 0, 10, 0));
    EXPECT_EQ(b.ReadPixel(0, 0), MakeColor32(200, 0, 0, 255));
    EXPECT_EQ(b.ReadPixel(1, 1), MakeColor32(200, 20, 10, 255));

    // A 32-bit source keeps its alpha bytes.
    TBitmap src32(1, 1, pf32bit);
    src32.ScanLine(0)[0] = 1, src32.ScanLine(0)[1] = 2, src32.ScanLine(0)[2] = 3,
    src32.ScanLine(0)[3] = 4;
    b.Assign(&src32);
    EXPECT_EQ(b.ReadPixel(0, 0), 0x04030201u);
}

TEST_F(Bitmap32, AssignToTBitmapPictureAndBack) {
    TBitmap32 a;
    a.SetDimensions(5, 3);
    Fill(a, 0x40000000u);
    TBitmap bmp;
    a.AssignTo(&bmp);
    EXPECT_EQ(bmp.PixelFormat(), pf32bit);
    EXPECT_EQ(bmp.Width(), 5);
    EXPECT_EQ(bmp.ScanLine(2)[4 * 4 + 3], Byte(a.ReadPixel(4, 2) >> 24));
    TBitmap32 b;
    b.Assign(&bmp);
    EXPECT_TRUE(b.Equals(&a));

    TPicture pic;
    a.AssignTo(&pic);
    TBitmap32 c;
    c.Assign(&pic);
    EXPECT_TRUE(c.Equals(&a));

    // A BMP file written by the bitmap loads back through the picture registry.
    InitGraphicsModule();
    const auto path = std::filesystem::temp_directory_path() / "qm_bitmap32_load.bmp";
    {
        TFileStream f(path.string(), fmCreate);
        a.SaveToBmpStream(f);
    }
    TBitmap32 d;
    d.LoadFromPictureFile(path.string());
    std::filesystem::remove(path);
    EXPECT_TRUE(d.Equals(&a));
}

TEST_F(Bitmap32, EqualsComparesSizeAndPixels) {
    TBitmap32 a, b;
    EXPECT_TRUE(a.Equals(&b));
    EXPECT_FALSE(a.Equals(nullptr));
    a.SetDimensions(2, 2);
    EXPECT_FALSE(a.Equals(&b));
    b.SetDimensions(2, 2);
    EXPECT_TRUE(a.Equals(&b));
    b.WritePixel(1, 1, 0x01000000u); // differs only in alpha
    EXPECT_FALSE(a.Equals(&b));
    b.SetDimensions(4, 1);
    EXPECT_FALSE(a.Equals(&b));

    // Same answers as comparing the BMP outputs.
    a.ClearToColor(0xFF336699u);
    TBitmap32 c;
    c.Assign(&a);
    TMemoryStream sa, sc;
    a.SaveToBmpStream(sa);
    c.SaveToBmpStream(sc);
    EXPECT_EQ(sa.View(), sc.View());
    EXPECT_TRUE(a.Equals(&c));
}

TEST_F(Bitmap32, CanvasDrawsOnThePixelsAndSurvivesResize) {
    TBitmap32 b;
    b.SetDimensions(4, 4);
    b.ClearToColor(0xFF000000u);
    TEventLog log;
    log.Attach(b);
    TCanvas* canvas = b.Canvas();
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect({1, 1, 3, 3});
    EXPECT_EQ(b.ReadPixel(1, 1), 0x00FF0000u); // the canvas writes alpha 0
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF000000u);
    EXPECT_GE(log.Changes, 1);
    b.SetDimensions(8, 2);
    EXPECT_EQ(b.Canvas(), canvas);
    canvas->FillRect({7, 1, 8, 2});
    EXPECT_EQ(b.ReadPixel(7, 1), 0x00FF0000u);
}

} // namespace
