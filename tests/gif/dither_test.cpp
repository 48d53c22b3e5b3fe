// Dither engines: the error each kernel carries to the next pixels of the
// row and to the rows below (values worked out by hand for a uniform grey
// of 100 and a lookup that sends each channel to 0 below 128, else 255), the
// serpentine walk, and pictures that need no error at all.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gif/ColorReduction.h"
#include "gif/Dither.h"
#include "platform/graphics/Bitmap.h"

namespace {

// Each channel to 0 or 255; records the red value it was asked for.
class TThresholdLookup : public TColorLookup {
public:
    TThresholdLookup() : TColorLookup(8) {}
    int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override {
        Seen.push_back(Red);
        R = Red >= 128 ? 255 : 0;
        G = Green >= 128 ? 255 : 0;
        B = Blue >= 128 ? 255 : 0;
        return (R ? 4 : 0) | (G ? 2 : 0) | (B ? 1 : 0);
    }
    std::vector<int> Seen;
};

// Walks a Width x Height picture of grey 100 like the reduction does and
// returns the values the lookup saw, in walking order.
std::vector<int> Walk(TGIFDitherKernel kernel, int width, int height) {
    TThresholdLookup lookup;
    std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(kernel, lookup, width);
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width; ++i) {
            int r, g, b;
            engine->Dither(100, 100, 100, r, g, b);
        }
        engine->NextLine();
    }
    return lookup.Seen;
}

} // namespace

TEST(GifDither, ErrorAlongTheFirstRow) {
    // Pixel 0 sees 100 (-> 0, error 100); pixel 1 sees 100 + (w(+1)*100 +
    // d/2) / d; pixel 2 adds w(+2)*100 + w(+1)*error(1).
    struct TCase {
        TGIFDitherKernel Kernel;
        std::vector<int> Seen;
    } cases[] = {
        {dkFloydSteinberg, {100, 144, 52}},     // 708/16=44; -769/16=-48
        {dkStucki, {100, 119, 132}},            // 821/42=19; 1373/42=32
        {dkSierra, {100, 116, 128}},            // 516/32=16; 896/32=28
        {dkJarvisJudiceNinke, {100, 115, 127}}, // 724/48=15; 1329/48=27
        {dkStevensonArce, {100, 100, 116}},     // nothing at +1; 3300/200=16
        {dkBurkes, {100, 125, 144}},            // 816/32=25; 1416/32=44
    };
    for (const TCase& c : cases) {
        const std::vector<int> seen = Walk(c.Kernel, 3, 1);
        EXPECT_EQ(seen, c.Seen) << "kernel " << int(c.Kernel);
    }
}

TEST(GifDither, ErrorDownOneColumn) {
    // One pixel wide: row 1 gets w(1,0)*100, row 2 gets w(2,0)*100 plus
    // w(1,0) times row 1's error.
    struct TCase {
        TGIFDitherKernel Kernel;
        std::vector<int> Seen;
    } cases[] = {
        {dkFloydSteinberg, {100, 131, 62}}, // 508/16=31 (->255, -124); -612/16=-38
        {dkStucki, {100, 119, 132}},
        {dkSierra, {100, 116, 128}},
        {dkJarvisJudiceNinke, {100, 115, 127}},
        {dkStevensonArce, {100, 100, 113}}, // row 1 has no weight at 0; 2700/200=13
        {dkBurkes, {100, 125, 131}},        // 1016/32=31
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Walk(c.Kernel, 1, 3), c.Seen) << "kernel " << int(c.Kernel);
    }
}

TEST(GifDither, SecondRowRunsRightToLeft) {
    // Floyd-Steinberg, 2 x 2: row 1 starts at column 1, and its error goes
    // to column 0 (on its left).
    TThresholdLookup lookup;
    TFloydSteinbergDitherer engine(lookup, 2);
    int r, g, b;
    EXPECT_EQ(engine.Column(), 0);
    engine.Dither(100, 100, 100, r, g, b);
    engine.Dither(100, 100, 100, r, g, b);
    engine.NextLine();
    EXPECT_EQ(engine.Direction(), -1);
    EXPECT_EQ(engine.Column(), 1);
    EXPECT_EQ(engine.Dither(100, 100, 100, r, g, b), 0); // sees 73
    EXPECT_EQ(engine.Dither(100, 100, 100, r, g, b), 7); // sees 142
    EXPECT_EQ(lookup.Seen, (std::vector<int>{100, 144, 73, 142}));
    engine.NextLine();
    EXPECT_EQ(engine.Direction(), 1);
    EXPECT_EQ(engine.Column(), 0);
}

TEST(GifDither, NoErrorWhenThePaletteHoldsTheColour) {
    // A picture of one web-cube colour maps to one index under every kernel,
    // and the plain engine equals the lookup.
    TBitmap bmp(9, 5, pf24bit);
    for (int y = 0; y < 5; ++y) {
        Byte* row = bmp.ScanLine(y);
        for (int x = 0; x < 9; ++x) {
            row[x * 3] = 204;
            row[x * 3 + 1] = 51;
            row[x * 3 + 2] = 153;
        }
    }
    const int expected = 36 * 3 + 6 * 1 + 4;
    for (int k = 0; k <= 6; ++k) {
        const auto out = ReduceBitmapColors(bmp, rdmWebCube, TGIFDitherKernel(k), 8, nullptr);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(out->ScanLine(y)[x], expected) << k;
    }
    // Plain engine on a gradient: the same index as the lookup, both ways.
    TBitmap grad(17, 3, pf24bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 17; ++x) {
            Byte* p = grad.ScanLine(y) + x * 3;
            p[0] = Byte(x * 15);
            p[1] = Byte(y * 100);
            p[2] = Byte(255 - x * 15);
        }
    const auto out = ReduceBitmapColors(grad, rdmWebCube, dkNearestColor, 8, nullptr);
    TNetscapeColorLookup web;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 17; ++x) {
            int r, g, b;
            const Byte* p = grad.ScanLine(y) + x * 3;
            EXPECT_EQ(out->ScanLine(y)[x], web.Lookup(p[2], p[1], p[0], r, g, b));
        }
}
