// Colour reduction: the fixed lookups at their thresholds, the palette of
// every reduction method, the octree palette (exact colours, depth-first
// order, colour limits), the nearest-colour memo against the plain search,
// and the refusals of the bitmap writer.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "gif/ColorReduction.h"
#include "gif/OctreePalette.h"
#include "platform/graphics/Bitmap.h"

namespace {

struct TRGB {
    int R, G, B;
};

std::unique_ptr<TBitmap> MakeBitmap(int w, int h, const std::vector<TRGB>& pixels,
                                    TPixelFormat format = pf24bit) {
    auto bmp = std::make_unique<TBitmap>(w, h, format);
    const int step = format == pf32bit ? 4 : 3;
    for (int y = 0; y < h; ++y) {
        Byte* row = bmp->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const TRGB& c = pixels[size_t(y) * w + x];
            row[x * step] = Byte(c.B);
            row[x * step + 1] = Byte(c.G);
            row[x * step + 2] = Byte(c.R);
            if (step == 4) row[x * step + 3] = 255;
        }
    }
    return bmp;
}

int IndexAt(const TBitmap& bmp, int x, int y) {
    return bmp.ScanLine(y)[x];
}

TPaletteEntry Entry(int r, int g, int b) {
    return {Byte(r), Byte(g), Byte(b), 0};
}

} // namespace

TEST(GifColorLookup, WebCubeThresholds) {
    TNetscapeColorLookup web;
    int r, g, b;
    EXPECT_EQ(web.Lookup(0, 0, 0, r, g, b), 0);
    EXPECT_EQ(web.Lookup(255, 255, 255, r, g, b), 215);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(web.Lookup(48, 0, 0, r, g, b), 36); // (48 + 3) div 51 = 1
    EXPECT_EQ(r, 51);
    EXPECT_EQ(web.Lookup(47, 0, 0, r, g, b), 0);
    EXPECT_EQ(web.Lookup(0, 48, 0, r, g, b), 6);
    EXPECT_EQ(web.Lookup(0, 0, 48, r, g, b), 1);
    EXPECT_EQ(web.Lookup(100, 150, 200, r, g, b), 36 * 2 + 6 * 3 + 3); // (200 + 3) div 51 = 3
    EXPECT_EQ(g, 153);
    // The cube palette lists the same colours in the same order.
    const TPalette cube = WebPalette();
    ASSERT_EQ(cube.Count(), 216);
    for (int i = 0; i < 216; ++i) {
        const TPaletteEntry& e = cube.Entry(i);
        EXPECT_EQ(web.Lookup(e.peRed, e.peGreen, e.peBlue, r, g, b), i);
        EXPECT_EQ(e.peFlags, PC_NOCOLLAPSE);
    }
}

TEST(GifColorLookup, MonochromeAndGreyThresholds) {
    TMonochromeLookup mono;
    int r, g, b;
    EXPECT_EQ(mono.Lookup(0, 192, 128, r, g, b), 0); // luminance 32512
    EXPECT_EQ(r, 0);
    EXPECT_EQ(mono.Lookup(0, 169, 247, r, g, b), 1); // luminance 32513
    EXPECT_EQ(b, 255);
    TGrayScaleLookup grey;
    EXPECT_EQ(grey.Lookup(100, 50, 25, r, g, b), (29 * 25 + 150 * 50 + 77 * 100) >> 8);
    EXPECT_EQ(r, 62);
    EXPECT_EQ(grey.Lookup(255, 255, 255, r, g, b), 255);
}

TEST(GifColorLookup, NearestColourMemoEqualsPlainSearch) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> d(0, 255);
    std::vector<TPaletteEntry> entries;
    for (int i = 0; i < 37; ++i)
        entries.push_back(Entry(d(rng), d(rng), d(rng)));
    entries.push_back(entries[3]); // a duplicate: the lower index must win
    const TPalette palette(entries);
    TSlowColorLookup lookup(palette);
    EXPECT_EQ(lookup.Colors(), 38);
    // Fresh colours, then the same again from the memo, with colliding slots.
    std::vector<TRGB> colors;
    for (int i = 0; i < 50000; ++i)
        colors.push_back({d(rng), d(rng), d(rng)});
    for (int pass = 0; pass < 2; ++pass) {
        for (const TRGB& c : colors) {
            int r, g, b;
            const int index = lookup.Lookup(c.R, c.G, c.B, r, g, b);
            ASSERT_EQ(index, palette.GetNearestPaletteIndex(RGB(c.R, c.G, c.B)));
            ASSERT_EQ(r, palette.Entry(index).peRed);
            ASSERT_EQ(g, palette.Entry(index).peGreen);
            ASSERT_EQ(b, palette.Entry(index).peBlue);
        }
    }
    int r, g, b;
    EXPECT_EQ(lookup.Lookup(entries[3].peRed, entries[3].peGreen, entries[3].peBlue, r, g, b), 3);
}

TEST(GifColorLookup, PrunedSearchEqualsPlainSearch) {
    // Palettes that stress the red-sorted search: clustered reds, all reds
    // equal, duplicates (lowest index wins), one entry, the web cube.
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> d(0, 255), near(120, 135);
    std::vector<TPalette> palettes;
    std::vector<TPaletteEntry> e;
    for (int i = 0; i < 256; ++i)
        e.push_back(Entry(near(rng), d(rng), d(rng)));
    palettes.emplace_back(e);
    e.clear();
    for (int i = 0; i < 64; ++i)
        e.push_back(Entry(77, d(rng), d(rng)));
    palettes.emplace_back(e);
    e.clear();
    for (int i = 0; i < 40; ++i)
        e.push_back(Entry(d(rng) & 0xF0, d(rng) & 0xC0, d(rng) & 0x80));
    palettes.emplace_back(e);
    palettes.emplace_back(std::vector<TPaletteEntry>{Entry(9, 9, 9)});
    palettes.push_back(WebPalette());
    palettes.push_back(HalftonePalette());
    for (const TPalette& pal : palettes) {
        TSlowColorLookup lookup(pal);
        for (int r = 0; r < 256; r += 5)
            for (int g = 0; g < 256; g += 7)
                for (int b = 0; b < 256; b += 6)
                    ASSERT_EQ(lookup.Nearest(r, g, b), pal.GetNearestPaletteIndex(RGB(r, g, b)))
                        << r << "," << g << "," << b << " of " << pal.Count();
    }
}

TEST(GifReduction, PaletteOfEachMethod) {
    const auto src = MakeBitmap(2, 1, {{0x90, 0x90, 0x90}, {0xA1, 0xA1, 0xA1}});
    const TPalette caller({Entry(1, 2, 3), Entry(0x90, 0x90, 0x90), Entry(250, 250, 250)});
    struct TCase {
        TGIFReductionMethod Method;
        int Count;
    } cases[] = {{rdmStockPalette, 20}, {rdmHalftonePalette, 256}, {rdmFourGrays, 4},
                 {rdmBlackWhite, 2},    {rdmGrayRamp, 256},        {rdmWebCube, 216},
                 {rdmOctree, 256},      {rdmOctreeStatic, 256},    {rdmCallerPalette, 3}};
    for (const TCase& c : cases) {
        const auto out = ReduceBitmapColors(*src, c.Method, dkNearestColor, 8, &caller);
        ASSERT_EQ(out->PixelFormat(), pf8bit) << int(c.Method);
        EXPECT_EQ(out->Palette().Count(), c.Count) << int(c.Method);
        EXPECT_EQ(out->Width(), 2);
        const TPalette pal = out->Palette();
        for (const TPaletteEntry& e : pal.Entries())
            EXPECT_EQ(e.peFlags, 0);
    }
    // Four greys: 0x90 is nearest 0x80, 0xA1 nearest 0xC0.
    auto out = ReduceBitmapColors(*src, rdmFourGrays, dkNearestColor, 8, nullptr);
    EXPECT_EQ(IndexAt(*out, 0, 0), 1);
    EXPECT_EQ(IndexAt(*out, 1, 0), 2);
    out = ReduceBitmapColors(*src, rdmCallerPalette, dkNearestColor, 8, &caller);
    EXPECT_EQ(IndexAt(*out, 0, 0), 1);
    EXPECT_EQ(out->Palette().Entry(2), Entry(250, 250, 250));
    // Stock palette: the system's static colours.
    out = ReduceBitmapColors(*src, rdmStockPalette, dkNearestColor, 8, nullptr);
    EXPECT_EQ(out->Palette().Entry(7), Entry(192, 192, 192));
    EXPECT_EQ(out->Palette().Entry(19), Entry(255, 255, 255));
    EXPECT_EQ(IndexAt(*out, 0, 0), 12); // 0x90 grey is nearest 128 grey
    // Octree with fewer bits: 2^bits entries.
    out = ReduceBitmapColors(*src, rdmOctree, dkNearestColor, 3, nullptr);
    EXPECT_EQ(out->Palette().Count(), 8);
    // The halftone palette keeps the static colours at both ends.
    const TPalette half = HalftonePalette();
    EXPECT_EQ(half.Entry(0), (TPaletteEntry{0, 0, 0, PC_NOCOLLAPSE}));
    EXPECT_EQ(half.Entry(255), (TPaletteEntry{255, 255, 255, PC_NOCOLLAPSE}));
    EXPECT_EQ(half.Entry(246), (TPaletteEntry{255, 251, 240, PC_NOCOLLAPSE}));
}

TEST(GifReduction, KeepTwentyFourBitsAndRefusals) {
    const auto src = MakeBitmap(
        3, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}}, pf32bit);
    auto out = ReduceBitmapColors(*src, rdmKeep24Bit, dkNearestColor, 8, nullptr);
    ASSERT_EQ(out->PixelFormat(), pf24bit);
    EXPECT_EQ(out->PixelColor(2, 1), RGB(16, 17, 18));
    EXPECT_EQ(src->PixelFormat(), pf32bit); // the source is not touched
    // Unknown method, unknown kernel, caller palette missing: empty results.
    EXPECT_TRUE(
        ReduceBitmapColors(*src, TGIFReductionMethod(10), dkNearestColor, 8, nullptr)->Empty());
    EXPECT_TRUE(ReduceBitmapColors(*src, rdmWebCube, TGIFDitherKernel(7), 8, nullptr)->Empty());
    EXPECT_TRUE(ReduceBitmapColors(*src, rdmCallerPalette, dkNearestColor, 8, nullptr)->Empty());
    // An empty picture cannot be written as a bitmap.
    TBitmap empty;
    try {
        ReduceBitmapColors(empty, rdmWebCube, dkNearestColor, 8, nullptr);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid image dimensions");
    }
    TBitmap target;
    try {
        TDIBWriter w(target, pf16bit, 2, 2, TPalette());
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported PixelFormat");
    }
    EXPECT_THROW(TDIBWriter(target, pf8bit, 40000, 40000, TPalette()), EOutOfMemory);
}

TEST(GifReduction, WebCubeAndMonochromePixels) {
    const auto src =
        MakeBitmap(4, 1, {{0, 0, 0}, {255, 255, 255}, {48, 47, 0}, {0, 192, 128}}, pf32bit);
    auto out = ReduceBitmapColors(*src, rdmWebCube, dkNearestColor, 8, nullptr);
    EXPECT_EQ(IndexAt(*out, 0, 0), 0);
    EXPECT_EQ(IndexAt(*out, 1, 0), 215);
    EXPECT_EQ(IndexAt(*out, 2, 0), 36);
    out = ReduceBitmapColors(*src, rdmBlackWhite, dkNearestColor, 8, nullptr);
    EXPECT_EQ(IndexAt(*out, 0, 0), 0);
    EXPECT_EQ(IndexAt(*out, 1, 0), 1);
    EXPECT_EQ(IndexAt(*out, 3, 0), 0); // luminance 32512
}

TEST(GifOctree, ThreeColoursExactInDepthFirstOrder) {
    // Child index per level = 4*red bit + 2*green bit + blue bit, so blue
    // (path 1...) comes before green (2...) and red (4...); the two close
    // colours differ only in the last blue bit.
    const std::vector<TRGB> px{{255, 0, 0},  {0, 255, 0}, {10, 20, 31},
                               {10, 20, 30}, {255, 0, 0}, {0, 0, 255}};
    const auto src = MakeBitmap(3, 2, px);
    const auto out = ReduceBitmapColors(*src, rdmOctree, dkNearestColor, 8, nullptr);
    const TPalette& pal = out->Palette();
    ASSERT_EQ(pal.Count(), 256);
    EXPECT_EQ(pal.Entry(0), Entry(10, 20, 30));
    EXPECT_EQ(pal.Entry(1), Entry(10, 20, 31));
    EXPECT_EQ(pal.Entry(2), Entry(0, 0, 255));
    EXPECT_EQ(pal.Entry(3), Entry(0, 255, 0));
    EXPECT_EQ(pal.Entry(4), Entry(255, 0, 0));
    for (int i = 5; i < 256; ++i)
        ASSERT_EQ(pal.Entry(i), Entry(0, 0, 0));
    EXPECT_EQ(IndexAt(*out, 0, 0), 4);
    EXPECT_EQ(IndexAt(*out, 2, 0), 1);
    EXPECT_EQ(IndexAt(*out, 0, 1), 0);
    EXPECT_EQ(IndexAt(*out, 2, 1), 2);
    // The palette handle itself flags the black filler as no-collapse.
    const TDIBReader reader(*src);
    const TPalette raw = BuildOctreePalette(reader, 256, 8, false);
    EXPECT_EQ(raw.Entry(0).peFlags, 0);
    EXPECT_EQ(raw.Entry(5).peFlags, PC_NOCOLLAPSE);
}

TEST(GifOctree, FoldsTheDeepestNodeIntoAnAverage) {
    // Two leaves allowed: white and near-white share every node down to the
    // last level, so their parent is folded into their average.
    TColorQuantizer q(2, 8);
    q.AddColor(0, 0, 0);
    q.AddColor(255, 255, 255);
    q.AddColor(255, 255, 252);
    EXPECT_EQ(q.LeafCount(), 2);
    const auto table = q.ColorTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0], Entry(0, 0, 0));
    EXPECT_EQ(table[1], Entry(255, 255, 253)); // 507 / 2
}

TEST(GifOctree, ColourCountLimits) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> d(0, 255);
    std::vector<TRGB> px;
    for (int i = 0; i < 64 * 64; ++i)
        px.push_back({d(rng), d(rng), d(rng)});
    const auto src = MakeBitmap(64, 64, px);
    for (int bits : {1, 2, 4, 6, 8}) {
        TColorQuantizer q(1 << bits, 8);
        for (const TRGB& c : px) {
            q.AddColor(Byte(c.R), Byte(c.G), Byte(c.B));
            ASSERT_LE(q.LeafCount(), 1 << bits);
        }
        const auto out = ReduceBitmapColors(*src, rdmOctree, dkNearestColor, bits, nullptr);
        ASSERT_EQ(out->Palette().Count(), 1 << bits);
        std::set<int> used;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                used.insert(IndexAt(*out, x, y));
        EXPECT_LT(*used.rbegin(), 1 << bits);
        EXPECT_GE(used.size(), 2u);
    }
    // More than 8 bits cannot make a table larger than 256.
    const TDIBReader reader(*src);
    EXPECT_EQ(BuildOctreePalette(reader, 1 << 12, 8, false).Count(), 256);
}

TEST(GifOctree, StaticColoursKeptWithMethodEight) {
    const auto src = MakeBitmap(2, 1, {{12, 34, 56}, {200, 100, 0}});
    const auto out = ReduceBitmapColors(*src, rdmOctreeStatic, dkNearestColor, 8, nullptr);
    const TPalette& pal = out->Palette();
    const TPalette stock = StockPalette();
    ASSERT_EQ(pal.Count(), 256);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pal.Entry(i),
                  Entry(stock.Entry(i).peRed, stock.Entry(i).peGreen, stock.Entry(i).peBlue));
        EXPECT_EQ(pal.Entry(246 + i), Entry(stock.Entry(10 + i).peRed, stock.Entry(10 + i).peGreen,
                                            stock.Entry(10 + i).peBlue));
    }
    EXPECT_EQ(pal.Entry(10), Entry(12, 34, 56));
    EXPECT_EQ(pal.Entry(11), Entry(200, 100, 0));
    EXPECT_EQ(IndexAt(*out, 0, 0), 10);
    EXPECT_EQ(IndexAt(*out, 1, 0), 11);
}
