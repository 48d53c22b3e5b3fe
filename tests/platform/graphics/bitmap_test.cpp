// TBitmap: rows, pixel format conversions, palettes, transparency, value
// semantics and drawing through its canvas.
#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"

namespace {
void Fill24(TBitmap& b, const std::vector<TColor>& colors) {
    int i = 0;
    for (int y = 0; y < b.Height(); ++y) {
        std::uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < b.Width(); ++x, ++i) {
            const TColor c = colors[i % colors.size()];
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
}
} // namespace

TEST(Bitmap, ScanLinesRunTopDownWithFourByteAlignedRows) {
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit})
        for (int w = 1; w <= 9; ++w) {
            TBitmap b(w, 3, f);
            const std::ptrdiff_t stride = b.ScanLine(1) - b.ScanLine(0);
            EXPECT_EQ(stride % 4, 0);
            EXPECT_EQ(stride, ((w * BitsPerPixel(f) + 31) / 32) * 4)
                << "format " << f << " width " << w;
            EXPECT_EQ(b.ScanLine(2) - b.ScanLine(1), stride);
        }
    TBitmap b(2, 2, pf24bit);
    b.ScanLine(0)[2] = 255; // top-left red
    EXPECT_EQ(b.PixelColor(0, 0), clRed);
    EXPECT_EQ(b.PixelColor(0, 1), clBlack);
    try {
        b.ScanLine(2);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Scan line index out of range");
    }
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphic);
}

TEST(Bitmap, DownConversionMapsThroughTheNearestPaletteIndex) {
    TBitmap b(4, 1, pf24bit);
    Fill24(b, {RGB(250, 5, 5), RGB(10, 10, 10), RGB(120, 120, 130), RGB(0, 0, 250)});
    b.SetPalette(TPalette({{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}, {128, 128, 128, 0}}));
    b.SetPixelFormat(pf8bit);
    ASSERT_EQ(b.Palette().Count(), 4); // the palette fits and is kept
    const std::uint8_t* row = b.ScanLine(0);
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2], row[3]}), (std::vector<int>{1, 0, 3, 2}));
    // Back up: the palette's colours.
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.PixelColor(2, 0), RGB(128, 128, 128));

    // Without a palette that fits, 1 bit means black and white.
    TBitmap m(2, 1, pf24bit);
    Fill24(m, {RGB(200, 200, 200), RGB(40, 60, 30)});
    m.SetPixelFormat(pf1bit);
    EXPECT_TRUE(m.Monochrome());
    EXPECT_EQ(m.ScanLine(0)[0] & 0xC0, 0x80);
}

TEST(Bitmap, FifteenAndSixteenBitPixelsAre555And565) {
    TBitmap b(1, 1, pf24bit);
    Fill24(b, {RGB(255, 128, 8)});
    b.SetPixelFormat(pf15bit);
    const std::uint8_t* p = b.ScanLine(0);
    EXPECT_EQ(p[0] | p[1] << 8, (31 << 10) | (16 << 5) | 1);
    b.SetPixelFormat(pf16bit);
    p = b.ScanLine(0);
    EXPECT_EQ(p[0] | p[1] << 8, (31 << 11) | (33 << 5) | 1);
    EXPECT_EQ(b.PixelColor(0, 0), RGB(255, 134, 8)); // 33/63 and 1/31 scaled back
}

TEST(Bitmap, PalettisedConversionsKeepIndicesWhenTheTableFits) {
    // Two entries of the same colour: a colour search would merge them.
    TBitmap b(3, 1, pf4bit);
    b.SetPalette(TPalette({{9, 9, 9, 0}, {9, 9, 9, 0}, {1, 1, 1, 0}}));
    b.ScanLine(0)[0] = 0x12;
    b.ScanLine(0)[1] = 0x00;
    b.SetPixelFormat(pf8bit);
    const std::uint8_t* row = b.ScanLine(0);
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2]}), (std::vector<int>{1, 2, 0}));
}

TEST(Bitmap, TransparentColourIsTheBottomLeftPixelUnlessFixed) {
    TBitmap b(2, 2, pf24bit);
    Fill24(b, {clRed, clLime, clBlue, clYellow});
    EXPECT_EQ(b.TransparentMode(), tmAuto);
    EXPECT_EQ(b.TransparentColor(), clBlue); // row 1, column 0
    b.SetTransparentColor(clFuchsia);
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clFuchsia);
    b.SetTransparentMode(tmAuto);
    EXPECT_EQ(b.TransparentColor(), clBlue);
}

TEST(Bitmap, AssignCopiesAndSizeChangesKeepTheCommonArea) {
    TBitmap a(3, 2, pf8bit);
    a.SetPalette(GrayPalette256());
    a.ScanLine(1)[2] = 77;
    a.SetTransparent(true);
    TBitmap b;
    b.Assign(&a);
    a.ScanLine(1)[2] = 5;
    EXPECT_EQ(b.ScanLine(1)[2], 77);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.Palette(), GrayPalette256());

    b.SetSize(5, 3);
    EXPECT_EQ(b.ScanLine(1)[2], 77);
    EXPECT_EQ(b.ScanLine(2)[4], 0);
    b.SetWidth(-4);
    EXPECT_TRUE(b.Empty());
    EXPECT_THROW(b.SetSize(40000, 1), EInvalidGraphic);

    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, CanvasDrawsOnPalettisedBitmapsThroughTheNearestIndex) {
    TBitmap b(4, 2, pf8bit);
    b.SetPalette(TPalette({{0, 0, 0, 0}, {250, 0, 0, 0}, {0, 250, 0, 0}}));
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(1, 0, 3, 1));
    EXPECT_GE(changes, 1);
    const std::uint8_t* row = b.ScanLine(0);
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2], row[3]}), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(b.ScanLine(1)[1], 0);
}

TEST(Bitmap, DrawCopiesPixelsAndSkipsTheTransparentColour) {
    TBitmap src(2, 2, pf24bit);
    Fill24(src, {clRed, clLime, clWhite, clBlue}); // bottom-left white
    TBitmap dst(4, 4, pf32bit);
    dst.Canvas()->Brush()->SetColor(clBlack);
    dst.Canvas()->FillRect(Rect(0, 0, 4, 4));
    dst.Canvas()->Draw(1, 1, &src);
    EXPECT_EQ(dst.PixelColor(1, 1), clRed);
    EXPECT_EQ(dst.PixelColor(2, 2), clBlue);
    EXPECT_EQ(dst.PixelColor(0, 0), clBlack);

    src.SetTransparent(true);
    dst.Canvas()->FillRect(Rect(0, 0, 4, 4));
    dst.Canvas()->StretchDraw(Rect(0, 0, 4, 4), &src);
    EXPECT_EQ(dst.PixelColor(0, 0), clRed);
    EXPECT_EQ(dst.PixelColor(3, 1), clLime);
    EXPECT_EQ(dst.PixelColor(0, 3), clBlack); // white was transparent
    EXPECT_EQ(dst.PixelColor(3, 3), clBlue);

    // A bitmap drawn onto its own canvas reads a copy of itself.
    src.SetTransparent(false);
    src.Canvas()->StretchDraw(Rect(0, 0, 2, 1), &src);
    EXPECT_EQ(src.PixelColor(0, 0), clRed);
    EXPECT_EQ(src.PixelColor(1, 0), clLime);
}
