#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/graphics/Canvas.h"
#include "platform/graphics/TextRender.h"

namespace {

constexpr std::uint32_t Bg = 0x7F332211; // A=0x7F, R=0x33, G=0x22, B=0x11
constexpr std::uint32_t Black = 0x00000000;
constexpr std::uint32_t White = 0x00FFFFFF;
constexpr std::uint32_t Red = 0x00FF0000;

// A W x H surface inside guard rows and row padding that must survive.
struct TBuffer {
    static constexpr Byte Guard = 0x5A;
    int W, H, Stride;
    std::vector<Byte> Block;
    TPixelSurface Surface;

    TBuffer(int Width, int Height, std::uint32_t Fill = Bg) : W(Width), H(Height) {
        Stride = W * 4 + 8;
        Block.assign(std::size_t(Stride) * std::size_t(H + 4), Guard);
        Surface = {Block.data() + 2 * Stride, W, H, Stride};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                Set(x, y, Fill);
    }
    Byte* At(int x, int y) { return Surface.Bits + std::size_t(y) * Stride + std::size_t(x) * 4; }
    std::uint32_t Get(int x, int y) {
        std::uint32_t v;
        std::memcpy(&v, At(x, y), 4);
        return v;
    }
    void Set(int x, int y, std::uint32_t v) { std::memcpy(At(x, y), &v, 4); }
    bool GuardsIntact() const {
        for (int y = -2; y < H + 2; ++y) {
            const Byte* Row = Block.data() + std::size_t(y + 2) * Stride;
            for (int i = (y < 0 || y >= H) ? 0 : W * 4; i < Stride; ++i)
                if (Row[i] != Guard) return false;
        }
        return true;
    }
    // One character per pixel: '.' background, '#' Ink, '?' anything else.
    std::string Picture(std::uint32_t Ink) {
        std::string s;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const std::uint32_t p = Get(x, y);
                s += p == Bg ? '.' : p == Ink ? '#' : '?';
            }
            s += '\n';
        }
        return s;
    }
};

std::string Rows(std::initializer_list<const char*> Lines) {
    std::string s;
    for (const char* l : Lines) {
        s += l;
        s += '\n';
    }
    return s;
}

} // namespace

TEST(Canvas, FillRectCoversLeftTopInclusiveRightBottomExclusive) {
    TBuffer b(6, 5);
    TCanvas c(b.Surface);
    c.Brush()->SetColor(clRed);
    c.FillRect({1, 1, 4, 3});
    EXPECT_EQ(b.Picture(Red), Rows({"......", ".###..", ".###..", "......", "......"}));
    c.FillRect({4, 4, 2, 2}); // inverted: nothing
    c.Brush()->SetStyle(bsClear);
    c.FillRect({0, 0, 6, 5});
    EXPECT_EQ(b.Picture(Red), Rows({"......", ".###..", ".###..", "......", "......"}));
}

TEST(Canvas, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    TBuffer b(7, 6);
    TCanvas c(b.Surface);
    c.Pen()->SetColor(clBlack);
    c.Brush()->SetColor(clWhite);
    c.Rectangle(1, 1, 6, 5);
    EXPECT_EQ(b.Picture(Black),
              Rows({".......", ".#####.", ".#???#.", ".#???#.", ".#####.", "......."}));
    EXPECT_EQ(b.Get(3, 2), White);

    // A clear pen: the fill stops one pixel short of Right and Bottom.
    TBuffer n(6, 5);
    TCanvas d(n.Surface);
    d.Pen()->SetStyle(psClear);
    d.Brush()->SetColor(clRed);
    d.Rectangle(4, 4, 1, 1); // corners in any order
    EXPECT_EQ(n.Picture(Red), Rows({"......", ".##...", ".##...", "......", "......"}));

    // A clear brush keeps the inside.
    TBuffer h(5, 5);
    TCanvas e(h.Surface);
    e.Brush()->SetStyle(bsClear);
    e.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(h.Picture(Black), Rows({"#####", "#...#", "#...#", "#...#", "#####"}));

    // Wide pens are centred on the outline, psInsideFrame keeps inside.
    TBuffer w(8, 8);
    TCanvas f(w.Surface);
    f.Brush()->SetStyle(bsClear);
    f.Pen()->SetWidth(3);
    f.Pen()->SetStyle(psInsideFrame);
    f.Rectangle(1, 1, 7, 7);
    EXPECT_EQ(w.Picture(Black), Rows({"........", ".######.", ".######.", ".######.", ".######.",
                                      ".######.", ".######.", "........"}));
    TBuffer w2(9, 9);
    TCanvas g(w2.Surface);
    g.Brush()->SetStyle(bsClear);
    g.Pen()->SetWidth(3);
    g.Rectangle(2, 2, 7, 7);
    // The 1-pixel outline runs on columns and rows 2 and 6; the pen covers one
    // pixel either side of it.
    EXPECT_EQ(w2.Picture(Black),
              Rows({".........", ".#######.", ".#######.", ".#######.", ".###.###.", ".#######.",
                    ".#######.", ".#######.", "........."}));
}

TEST(Canvas, FrameRectUsesTheBrush) {
    TBuffer b(6, 5);
    TCanvas c(b.Surface);
    c.Brush()->SetColor(clRed);
    c.Pen()->SetColor(clLime);
    c.FrameRect({1, 1, 5, 5});
    EXPECT_EQ(b.Picture(Red), Rows({"......", ".####.", ".#..#.", ".#..#.", ".####."}));
}

TEST(Canvas, LinesDoNotDrawTheirEndPoint) {
    TBuffer b(6, 6);
    TCanvas c(b.Surface);
    c.MoveTo(0, 0);
    c.LineTo(3, 0);
    EXPECT_EQ(c.PenPos(), (TPoint{3, 0}));
    c.MoveTo(0, 1);
    c.LineTo(3, 4);
    c.MoveTo(5, 5);
    c.LineTo(5, 2);
    c.MoveTo(2, 5);
    c.LineTo(2, 5); // zero length: nothing
    EXPECT_EQ(b.Picture(Black), Rows({"###...", "#.....", ".#....", "..#..#", ".....#", ".....#"}));

    // Bresenham from the start point toward the end.
    TBuffer s(6, 3);
    TCanvas d(s.Surface);
    d.MoveTo(0, 0);
    d.LineTo(5, 2);
    EXPECT_EQ(s.Picture(Black), Rows({"##....", "..##..", "....#."}));

    // Polyline: each segment without its end, so the last point is missing
    // and PenPos stays.
    TBuffer p(5, 4);
    TCanvas e(p.Surface);
    const TPoint Pts[] = {{0, 0}, {4, 0}, {4, 3}};
    e.MoveTo(1, 1);
    e.Polyline(Pts);
    EXPECT_EQ(e.PenPos(), (TPoint{1, 1}));
    EXPECT_EQ(p.Picture(Black), Rows({"#####", "....#", "....#", "....."}));
}

TEST(Canvas, ClearPenDrawsNothingAndXorInvertsOnce) {
    TBuffer b(5, 3);
    TCanvas c(b.Surface);
    c.Pen()->SetStyle(psClear);
    c.MoveTo(0, 0);
    c.LineTo(5, 0);
    c.Brush()->SetStyle(bsClear);
    c.Rectangle(0, 0, 5, 3);
    const TPoint Tri[] = {{0, 0}, {4, 0}, {4, 2}};
    c.Polyline(Tri);
    EXPECT_EQ(b.Picture(Black), Rows({".....", ".....", "....."}));

    c.Pen()->SetStyle(psSolid);
    c.Pen()->SetMode(pmXor);
    c.Pen()->SetColor(clWhite);
    const TPoint Path[] = {{0, 0}, {4, 0}, {4, 2}, {0, 2}};
    c.Polyline(Path);
    // The shared corners are inverted once, not twice.
    const std::uint32_t Inv = 0x00CCDDEE;
    EXPECT_EQ(b.Picture(Inv), Rows({"#####", "....#", ".####"}));
    c.Polyline(Path);
    EXPECT_EQ(b.Get(4, 0), Bg & 0x00FFFFFF); // RGB restored; drawn pixels get alpha 0
    EXPECT_EQ(b.Get(2, 1), Bg);

    c.Pen()->SetMode(pmNop);
    c.MoveTo(0, 1);
    c.LineTo(5, 1);
    EXPECT_EQ(b.Get(2, 1), Bg);
    c.Pen()->SetMode(pmNot);
    c.LineTo(0, 1);
    EXPECT_EQ(b.Get(2, 1), 0x00CCDDEEu);
}

TEST(Canvas, StyledPensAndHatchedBrushes) {
    TBuffer b(14, 2);
    TCanvas c(b.Surface);
    c.Pen()->SetStyle(psDot);
    c.Brush()->SetStyle(bsClear);
    c.MoveTo(0, 0);
    c.LineTo(14, 0);
    c.Brush()->SetStyle(bsSolid);
    c.Brush()->SetColor(clRed);
    c.MoveTo(0, 1);
    c.LineTo(14, 1);
    EXPECT_EQ(b.Picture(Black), Rows({"###...###...##", "###???###???##"}));
    EXPECT_EQ(b.Get(4, 1), Red);

    TBuffer h(8, 8);
    TCanvas d(h.Surface);
    d.Brush()->SetStyle(bsCross);
    d.Brush()->SetColor(clRed);
    d.FillRect({0, 0, 8, 8});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(h.Get(x, y), (x == 0 || y == 0) ? Red : Bg);
}

TEST(Canvas, EllipseAndPolygon) {
    TBuffer b(9, 7);
    TCanvas c(b.Surface);
    c.Brush()->SetColor(clRed);
    c.Ellipse(0, 0, 9, 7);
    // Symmetric, inside its box, outlined and filled.
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(b.Get(x, y), b.Get(8 - x, y)) << x << "," << y;
            EXPECT_EQ(b.Get(x, y), b.Get(x, 6 - y)) << x << "," << y;
        }
    EXPECT_EQ(b.Get(0, 3), Black);
    EXPECT_EQ(b.Get(4, 0), Black);
    EXPECT_EQ(b.Get(4, 3), Red);
    EXPECT_EQ(b.Get(0, 0), Bg);
    EXPECT_TRUE(b.GuardsIntact());

    TBuffer p(6, 6);
    TCanvas d(p.Surface);
    d.Pen()->SetStyle(psClear);
    d.Brush()->SetColor(clRed);
    const TPoint Square[] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
    d.Polygon(Square);
    EXPECT_EQ(p.Picture(Red), Rows({"......", ".####.", ".####.", ".####.", ".####.", "......"}));
    d.Pen()->SetStyle(psSolid);
    const TPoint Tri[] = {{0, 0}, {5, 0}, {0, 5}};
    d.Polygon(Tri);
    EXPECT_EQ(p.Get(0, 0), Black);
    EXPECT_EQ(p.Get(5, 0), Black); // closed: every vertex is some edge's start
    EXPECT_EQ(p.Get(0, 5), Black);
    EXPECT_EQ(p.Get(1, 1), Red);
}

TEST(Canvas, NothingIsWrittenOutsideTheSurface) {
    TBuffer b(7, 5);
    TCanvas c(b.Surface);
    c.Pen()->SetWidth(5);
    c.Brush()->SetColor(clRed);
    c.Rectangle(-3, -3, 10, 8);
    c.Ellipse(-20, -20, 30, 30);
    c.FillRect({-100, -100, 100, 100});
    c.FrameRect({-1, -1, 8, 6});
    c.MoveTo(-50, 2);
    c.LineTo(60, 3);
    c.MoveTo(-2000000000, -2000000000);
    c.LineTo(2000000000, 2000000000);
    c.MoveTo(3, 3);
    c.LineTo(2147483647, -2147483647 - 1);
    const TPoint Big[] = {{-1000000, 2}, {1000000, 4}, {3, 1000000}, {-7, -9}};
    c.Polygon(Big);
    c.Polyline(Big);
    c.SetPixels(-1, 0, clRed);
    c.SetPixels(7, 0, clRed);
    c.SetPixels(0, 5, clRed);
    c.Font()->SetName("DejaVu Sans");
    c.Font()->SetHeight(-30);
    c.TextOut(-10, -10, "WWW");
    c.TextOut(5, 3, "WWW");
    c.TextRect({-5, -5, 50, 50}, 2, 2, "gq");
    TBuffer Other(3, 3, Red);
    TCanvas o(Other.Surface);
    c.CopyRect({-2, -2, 9, 7}, &o, {-1, -1, 5, 5});
    c.CopyRect({5, 3, 20, 20}, &o, {0, 0, 3, 3});
    constexpr int Min = INT32_MIN, Max = INT32_MAX;
    c.FrameRect({Min, Min, Max, Max});
    c.Rectangle(Min, Min, Max, Max);
    c.Pen()->SetStyle(psClear);
    c.Rectangle(Min, Min, Min, Min);
    c.Ellipse(Min, Min, Max, Max);
    c.CopyRect({Min, Min, Max, Max}, &o, {Max, Min, Min, Max});
    c.TextOut(Max, Max, "W");
    EXPECT_TRUE(b.GuardsIntact());
    EXPECT_TRUE(Other.GuardsIntact());
}

TEST(Canvas, PixelsReadAndWrite) {
    TBuffer b(3, 2);
    TCanvas c(b.Surface);
    EXPECT_EQ(c.Pixels(0, 0), RGB(0x33, 0x22, 0x11));
    c.SetPixels(1, 1, clBlue);
    EXPECT_EQ(b.Get(1, 1), 0x000000FFu);
    EXPECT_EQ(c.Pixels(1, 1), clBlue);
    c.SetPixels(2, 0, clBtnFace);
    EXPECT_EQ(c.Pixels(2, 0), ColorToRGB(clBtnFace));
    EXPECT_EQ(c.Pixels(-1, 0), CLR_INVALID);
    EXPECT_EQ(c.Pixels(3, 0), CLR_INVALID);
    EXPECT_EQ(c.Pixels(0, 2), CLR_INVALID);
    TCanvas NoPixels;
    EXPECT_EQ(NoPixels.Pixels(0, 0), CLR_INVALID);
    NoPixels.FillRect({0, 0, 5, 5});
    EXPECT_TRUE(NoPixels.ClipRect().IsEmpty());
    EXPECT_EQ(c.ClipRect(), (TRect{0, 0, 3, 2}));
}

TEST(Canvas, CopyRectCopiesScalesMirrorsAndOverlaps) {
    TBuffer Src(2, 2);
    Src.Set(0, 0, 0x11000001);
    Src.Set(1, 0, 0x22000002);
    Src.Set(0, 1, 0x33000003);
    Src.Set(1, 1, 0x44000004);
    TCanvas s(Src.Surface);

    TBuffer d(4, 4);
    TCanvas c(d.Surface);
    c.CopyRect({1, 1, 3, 3}, &s, {0, 0, 2, 2});
    EXPECT_EQ(d.Get(1, 1), 0x11000001u); // all four bytes
    EXPECT_EQ(d.Get(2, 2), 0x44000004u);
    EXPECT_EQ(d.Get(0, 0), Bg);

    c.CopyRect({0, 0, 4, 4}, &s, {0, 0, 2, 2}); // 2x stretch
    EXPECT_EQ(d.Get(1, 1), 0x11000001u);
    EXPECT_EQ(d.Get(2, 1), 0x22000002u);
    EXPECT_EQ(d.Get(3, 3), 0x44000004u);

    c.CopyRect({2, 0, 0, 2}, &s, {0, 0, 2, 2}); // mirrored horizontally
    EXPECT_EQ(d.Get(0, 0), 0x22000002u);
    EXPECT_EQ(d.Get(1, 1), 0x33000003u);

    // Within one canvas, overlapping: a shift right by one.
    TBuffer row(5, 1);
    for (int x = 0; x < 5; ++x)
        row.Set(x, 0, std::uint32_t(x + 1));
    TCanvas r(row.Surface);
    r.CopyRect({1, 0, 5, 1}, &r, {0, 0, 4, 1});
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(row.Get(x, 0), std::uint32_t(x == 0 ? 1 : x));

    r.SetCopyMode(cmDstInvert);
    r.CopyRect({0, 0, 1, 1}, &r, {0, 0, 1, 1});
    EXPECT_EQ(row.Get(0, 0), ~1u);
    r.SetCopyMode(cmSrcInvert);
    row.Set(1, 0, 0x0F0F0F0F);
    r.CopyRect({2, 0, 3, 1}, &r, {1, 0, 2, 1});
    EXPECT_EQ(row.Get(2, 0), 0x0F0F0F0Fu ^ 2u);
    r.SetCopyMode(cmPatCopy);
    r.Brush()->SetColor(clRed);
    r.CopyRect({3, 0, 4, 1}, &r, {0, 0, 1, 1});
    EXPECT_EQ(row.Get(3, 0), Red);
}

TEST(Canvas, EventsLockingAndTargets) {
    struct TFakeTarget : TCanvasTarget {
        TBuffer Buf{4, 4};
        int Begins = 0, Ends = 0, Changes = 0;
        bool Empty = false;
        bool BeginDraw(TPixelSurface& S) override {
            ++Begins;
            if (Empty) return false;
            S = Buf.Surface;
            return true;
        }
        void EndDraw(bool Changed) override {
            ++Ends;
            Changes += Changed;
        }
    } T;
    TCanvas c(&T);
    std::string Log;
    c.OnChanging = [&](TObject* s) {
        EXPECT_EQ(s, &c);
        Log += "<";
    };
    c.OnChange = [&](TObject*) { Log += ">"; };
    c.FillRect({0, 0, 1, 1});
    c.MoveTo(0, 0);
    c.LineTo(3, 3);
    EXPECT_EQ(Log, "<><>");
    EXPECT_EQ(T.Begins, 2);
    EXPECT_EQ(T.Ends, 2);
    EXPECT_EQ(T.Changes, 2);

    TPixelSurface S1, S2;
    ASSERT_TRUE(c.AcquireSurface(S1));
    ASSERT_TRUE(c.AcquireSurface(S2));
    c.FillRect({0, 0, 2, 2});
    EXPECT_EQ(S1.Bits, S2.Bits);
    c.ReleaseSurface(false);
    EXPECT_EQ(T.Ends, 2);
    c.ReleaseSurface(false);
    EXPECT_EQ(T.Begins, 3);
    EXPECT_EQ(T.Ends, 3);
    EXPECT_EQ(T.Changes, 3); // the nested fill marked it changed
    EXPECT_EQ(c.Pixels(3, 3), RGB(0x33, 0x22, 0x11));
    EXPECT_EQ(T.Changes, 3); // reading is no change

    T.Empty = true;
    Log.clear();
    c.FillRect({0, 0, 4, 4});
    EXPECT_EQ(Log, "<>");
    EXPECT_EQ(T.Ends, 4); // nothing to end after a refused begin

    c.Lock();
    c.Lock();
    EXPECT_EQ(c.LockCount(), 2);
    bool OtherGotIt = true;
    std::thread([&] { OtherGotIt = c.TryLock(); }).join();
    EXPECT_FALSE(OtherGotIt);
    c.Unlock();
    c.Unlock();
    std::thread([&] {
        OtherGotIt = c.TryLock();
        if (OtherGotIt) c.Unlock();
    }).join();
    EXPECT_TRUE(OtherGotIt);
    EXPECT_EQ(c.LockCount(), 0);
}

TEST(Canvas, TextThroughTheCanvas) {
    if (ResolveFontFamily("DejaVu Sans") != "DejaVu Sans")
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    TBuffer b(60, 24);
    TCanvas c(b.Surface);
    c.Font()->SetName("DejaVu Sans");
    c.Font()->SetHeight(-14);
    c.Font()->SetColor(clWhite);
    const TSize e = c.TextExtent("Ab");
    EXPECT_EQ(e, MeasureText(c.Font()->LogFont(), "Ab"));
    EXPECT_EQ(c.TextWidth("Ab"), e.cx);
    EXPECT_EQ(c.TextHeight("Ab"), e.cy);

    // A solid brush fills the cell, and the pen position follows the text.
    c.Brush()->SetColor(clRed);
    c.TextOut(2, 3, "Ab");
    EXPECT_EQ(c.PenPos(), (TPoint{2 + e.cx, 3}));
    int Ink = 0;
    for (int y = 0; y < b.H; ++y)
        for (int x = 0; x < b.W; ++x) {
            const bool InCell = x >= 2 && x < 2 + e.cx && y >= 3 && y < 3 + e.cy;
            const std::uint32_t p = b.Get(x, y);
            if (!InCell)
                EXPECT_EQ(p, Bg) << x << "," << y;
            else
                EXPECT_TRUE(p == Red || p == White) << x << "," << y;
            Ink += p == White;
        }
    EXPECT_GT(Ink, 10);

    // A clear brush leaves the background; TextRect clips to its rectangle.
    TBuffer t(60, 24);
    TCanvas d(t.Surface);
    d.SetFont(*c.Font());
    d.Brush()->SetStyle(bsClear);
    d.TextRect({0, 0, 6, 24}, 2, 3, "Ab");
    for (int y = 0; y < t.H; ++y)
        for (int x = 0; x < t.W; ++x) {
            const std::uint32_t p = t.Get(x, y);
            EXPECT_TRUE(p == Bg || (p == White && x < 6)) << x << "," << y;
        }
}
