#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/graphics/TextRender.h"

namespace {

// A surface inside a larger block: guard rows above and below, and padding
// at the end of every row, all filled with a marker that must survive.
struct TGuardedBuffer {
    static constexpr Byte Guard = 0xA5;
    static constexpr int GuardRows = 2;
    static constexpr int RowPad = 12;
    int W, H, Stride;
    std::vector<Byte> Block;
    TPixelSurface Surface;

    TGuardedBuffer(int Width, int Height, std::uint32_t Fill) : W(Width), H(Height) {
        Stride = W * 4 + RowPad;
        Block.assign(std::size_t(Stride) * std::size_t(H + 2 * GuardRows), Guard);
        Surface = {Block.data() + std::size_t(Stride) * GuardRows, W, H, Stride};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                std::memcpy(At(x, y), &Fill, 4);
    }
    Byte* At(int x, int y) { return Surface.Bits + std::size_t(y) * Stride + std::size_t(x) * 4; }
    std::uint32_t Pixel(int x, int y) {
        std::uint32_t v;
        std::memcpy(&v, At(x, y), 4);
        return v;
    }
    bool GuardsIntact() const {
        for (int y = -GuardRows; y < H + GuardRows; ++y) {
            const Byte* Row = Block.data() + std::size_t(y + GuardRows) * Stride;
            const int From = (y < 0 || y >= H) ? 0 : W * 4;
            for (int i = From; i < Stride; ++i)
                if (Row[i] != Guard) return false;
        }
        return true;
    }
};

TLogFont Pinned(int Height, std::uint8_t Quality = fqNonAntialiased, bool Bold = false) {
    TLogFont f;
    f.FaceName = "DejaVu Sans";
    f.Height = Height;
    f.Quality = Quality;
    f.Weight = Bold ? FW_BOLD : FW_NORMAL;
    return f;
}

class Text : public ::testing::Test {
protected:
    void SetUp() override {
        if (ResolveFontFamily("DejaVu Sans") != "DejaVu Sans")
            GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
};

} // namespace

TEST_F(Text, FaceNamesResolveOntoInstalledFamilies) {
    EXPECT_EQ(ResolveFontFamily("dejavu sans"), "DejaVu Sans");
    EXPECT_EQ(ResolveFontFamily("No Such Face 42"), "DejaVu Sans");
    EXPECT_EQ(ResolveFontFamily(""), "DejaVu Sans");
    if (ResolveFontFamily("Liberation Sans") == "Liberation Sans") {
        EXPECT_EQ(ResolveFontFamily("MS Sans Serif"), "Liberation Sans");
        EXPECT_EQ(ResolveFontFamily("Default"), "Liberation Sans");
        EXPECT_EQ(ResolveFontFamily("arial"), "Liberation Sans");
        EXPECT_EQ(ResolveFontFamily("Times New Roman"), "Liberation Serif");
        EXPECT_EQ(ResolveFontFamily("Courier New"), "Liberation Mono");
    }
    EXPECT_EQ(ResolveFontFamily("Tahoma"), "DejaVu Sans");
    EXPECT_EQ(ResolveFontFamily("Verdana"), "DejaVu Sans");
    EXPECT_EQ(ResolveFontFamily("Segoe UI"), "DejaVu Sans");
}

TEST_F(Text, ExtentIsAdvanceByAscentPlusDescent) {
    const TLogFont f = Pinned(-20);
    const TTextMetric m = GetTextMetric(f);
    EXPECT_EQ(m.Height, m.Ascent + m.Descent);
    EXPECT_GT(m.Ascent, m.Descent);
    // An em of 20 pixels: the cell holds it plus the internal leading.
    EXPECT_GE(m.Height, 20);
    EXPECT_LE(m.Height, 26);
    EXPECT_EQ(m.InternalLeading, m.Height - 20);

    const TSize Empty = MeasureText(f, "");
    EXPECT_EQ(Empty.cx, 0);
    EXPECT_EQ(Empty.cy, m.Height);
    const TSize a = MeasureText(f, "Hello");
    const TSize b = MeasureText(f, "Hello, world");
    EXPECT_EQ(a.cy, m.Height);
    EXPECT_EQ(b.cy, m.Height);
    EXPECT_GT(a.cx, 0);
    EXPECT_GT(b.cx, a.cx);
    // Without kerning advances add up.
    EXPECT_EQ(MeasureText(f, "HelloHello").cx, 2 * a.cx);
    EXPECT_GT(MeasureText(Pinned(-20, fqNonAntialiased, true), "Hello, world").cx, b.cx);
    EXPECT_GT(MeasureText(Pinned(-40), "Hello").cx, a.cx);
    EXPECT_GT(MeasureText(f, "Été").cx, 0); // UTF-8
}

TEST_F(Text, PositiveHeightIsTheCell) {
    for (int Cell : {12, 20, 33}) {
        const TTextMetric m = GetTextMetric(Pinned(Cell));
        EXPECT_LE(m.Height, Cell) << Cell;
        EXPECT_GE(m.Height, Cell - 2) << Cell;
    }
    EXPECT_GT(GetTextMetric(Pinned(0)).Height, 0);
}

TEST_F(Text, FontsAreBuiltOncePerDescription) {
    TLogFont f = Pinned(-17);
    f.Italic = true;
    MeasureText(f, "x");
    const int Before = FontCacheBuildCount();
    for (int i = 0; i < 20; ++i)
        MeasureText(f, "repeated");
    TGuardedBuffer Buf(40, 30, 0);
    DrawText(Buf.Surface, 0, 0, "abc", f, clBlack);
    EXPECT_EQ(FontCacheBuildCount(), Before);
    f.Underline = true;
    MeasureText(f, "x");
    EXPECT_EQ(FontCacheBuildCount(), Before + 1);
}

TEST_F(Text, NonAntialiasedQualitiesGivePureCoverage) {
    for (std::uint8_t Quality : {fqDefault, fqNonAntialiased}) {
        TGuardedBuffer Buf(80, 30, 0x00000000);
        DrawText(Buf.Surface, 2, 2, "Wag@%", Pinned(-18, Quality), clWhite);
        int Ink = 0;
        for (int y = 0; y < Buf.H; ++y)
            for (int x = 0; x < Buf.W; ++x) {
                const std::uint32_t p = Buf.Pixel(x, y);
                ASSERT_TRUE(p == 0 || p == 0x00FFFFFF) << std::hex << p;
                Ink += p != 0;
            }
        EXPECT_GT(Ink, 40) << int(Quality);
        EXPECT_TRUE(Buf.GuardsIntact());
    }
}

TEST_F(Text, AntialiasedQualityGivesGreyLevels) {
    TGuardedBuffer Buf(80, 30, 0x00000000);
    DrawText(Buf.Surface, 2, 2, "Wag@%", Pinned(-18, fqAntialiased), clWhite);
    int Grey = 0;
    for (int y = 0; y < Buf.H; ++y)
        for (int x = 0; x < Buf.W; ++x) {
            const std::uint32_t p = Buf.Pixel(x, y);
            const Byte b = Byte(p), g = Byte(p >> 8), r = Byte(p >> 16);
            EXPECT_TRUE(b == g && g == r) << "no coloured fringes";
            EXPECT_EQ(p >> 24, 0u);
            Grey += b > 0 && b < 255;
        }
    EXPECT_GT(Grey, 10);
}

TEST_F(Text, UntouchedPixelsKeepAllFourBytesAndInkHasAlphaZero) {
    const std::uint32_t Fill = 0x801E140A; // A=0x80, R=0x1E, G=0x14, B=0x0A
    TGuardedBuffer Buf(60, 30, Fill);
    const TSize e = DrawText(Buf.Surface, 3, 4, "Hx", Pinned(-16), clRed);
    EXPECT_EQ(e, MeasureText(Pinned(-16), "Hx"));
    int Ink = 0;
    for (int y = 0; y < Buf.H; ++y)
        for (int x = 0; x < Buf.W; ++x) {
            const std::uint32_t p = Buf.Pixel(x, y);
            if (p == Fill) continue;
            EXPECT_EQ(p, 0x00FF0000u) << x << "," << y; // red, alpha 0
            // Ink stays inside the cell for an upright face.
            EXPECT_GE(x, 3);
            EXPECT_LT(x, 3 + e.cx + 1);
            EXPECT_GE(y, 4);
            EXPECT_LT(y, 4 + e.cy);
            ++Ink;
        }
    EXPECT_GT(Ink, 20);

    // On a cleared buffer alpha stays 0 where no glyph is, and system
    // colours are resolved.
    TGuardedBuffer Clear(60, 30, 0);
    DrawText(Clear.Surface, 3, 4, "Hx", Pinned(-16), clHighlight);
    for (int y = 0; y < Clear.H; ++y)
        for (int x = 0; x < Clear.W; ++x) {
            const std::uint32_t p = Clear.Pixel(x, y);
            EXPECT_TRUE(p == 0 || p == 0x000A246A) << std::hex << p;
        }
}

TEST_F(Text, ClippingToARectangleAndToTheSurface) {
    const TLogFont f = Pinned(-30);
    TGuardedBuffer Full(100, 40, 0);
    DrawText(Full.Surface, 0, 0, "MMMM", f, clWhite);

    TGuardedBuffer Clipped(100, 40, 0);
    const TRect Clip{10, 5, 40, 25};
    DrawText(Clipped.Surface, 0, 0, "MMMM", f, clWhite, &Clip);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool Inside = PtInRect(Clip, {x, y});
            EXPECT_EQ(Clipped.Pixel(x, y), Inside ? Full.Pixel(x, y) : 0u) << x << "," << y;
        }

    // Text hanging over every edge writes nothing outside the surface.
    TGuardedBuffer Small(16, 10, 0);
    for (TPoint p : {TPoint{-20, -10}, TPoint{10, 4}, TPoint{-5, 3}, TPoint{3, -12},
                     TPoint{-2000000000, 5}, TPoint{2000000000, 2000000000}})
        DrawText(Small.Surface, p.X, p.Y, "MWgj", f, clWhite);
    EXPECT_TRUE(Small.GuardsIntact());
    int Ink = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 16; ++x)
            Ink += Small.Pixel(x, y) != 0;
    EXPECT_GT(Ink, 0);
}

TEST_F(Text, StylesChangeTheInk) {
    auto InkOf = [](const TLogFont& f) {
        TGuardedBuffer Buf(80, 30, 0);
        DrawText(Buf.Surface, 1, 1, "Ilm", f, clWhite);
        int n = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 80; ++x)
                n += Buf.Pixel(x, y) != 0;
        return n;
    };
    TLogFont Plain = Pinned(-20);
    TLogFont Under = Plain;
    Under.Underline = true;
    TLogFont Strike = Plain;
    Strike.StrikeOut = true;
    const int n = InkOf(Plain);
    EXPECT_GT(InkOf(Pinned(-20, fqNonAntialiased, true)), n);
    EXPECT_GT(InkOf(Under), n);
    EXPECT_GT(InkOf(Strike), n);
}

TEST_F(Text, DrawingFromSeveralThreadsGivesTheSamePixels) {
    const TLogFont f = Pinned(-15, fqAntialiased);
    TGuardedBuffer Reference(70, 20, 0);
    DrawText(Reference.Surface, 1, 1, "Quillon 123", f, clWhite);
    std::atomic<int> Same{0}, Different{0};
    std::vector<std::thread> Threads;
    for (int t = 0; t < 4; ++t)
        Threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                TGuardedBuffer b(70, 20, 0);
                DrawText(b.Surface, 1, 1, "Quillon 123", f, clWhite);
                ++(b.Block == Reference.Block ? Same : Different);
            }
        });
    for (auto& th : Threads)
        th.join();
    EXPECT_EQ(Same.load(), 40);
    EXPECT_EQ(Different.load(), 0);
}
