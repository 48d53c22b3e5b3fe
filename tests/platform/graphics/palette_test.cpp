// Nearest palette index: ties, system colours, and the memo against the
// plain search.
#include <gtest/gtest.h>

#include <random>

#include "platform/graphics/Palette.h"

TEST(Palette, NearestIndexIsTheLowestAmongEqualDistances) {
    // (10,0,0) lies at squared distance 100 from entries 1 and 2, and entry
    // 3 repeats entry 1's colour.
    const TPalette p({{200, 200, 200, 0}, {0, 0, 0, 0}, {20, 0, 0, 0}, {0, 0, 0, 0}});
    EXPECT_EQ(p.GetNearestPaletteIndex(RGB(10, 0, 0)), 1);
    EXPECT_EQ(p.GetNearestPaletteIndex(RGB(0, 0, 0)), 1);
    EXPECT_EQ(p.GetNearestPaletteIndex(RGB(11, 0, 0)), 2);
    EXPECT_EQ(p.GetNearestPaletteIndex(RGB(150, 150, 150)), 0);
    // Distance is summed over channels: (0,0,12) is 144 from black, 400+... from the others.
    EXPECT_EQ(p.GetNearestPaletteIndex(RGB(0, 0, 12)), 1);
    EXPECT_EQ(TPalette().GetNearestPaletteIndex(clWhite), -1);
}

TEST(Palette, SystemColoursAreResolvedBeforeTheSearch) {
    const TPalette p = SystemPalette16();
    EXPECT_EQ(p.GetNearestPaletteIndex(clBtnFace), p.GetNearestPaletteIndex(ColorToRGB(clBtnFace)));
    EXPECT_EQ(p.GetNearestPaletteIndex(clWhite), 15);
    EXPECT_EQ(p.GetNearestPaletteIndex(clRed), 9);
}

TEST(Palette, EntriesAreCappedAndCopiedWithinBounds) {
    TPalette p(std::vector<TPaletteEntry>(300));
    EXPECT_EQ(p.Count(), 256);
    p.SetCount(3);
    TPaletteEntry in[5] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {9, 9, 9, 0}, {9, 9, 9, 0}};
    EXPECT_EQ(p.SetEntries(1, 5, in), 2);
    TPaletteEntry out[3];
    EXPECT_EQ(p.GetEntries(0, 3, out), 3);
    EXPECT_EQ(out[1], (TPaletteEntry{1, 2, 3, 0}));
    EXPECT_EQ(out[2], (TPaletteEntry{4, 5, 6, 0}));
    EXPECT_EQ(p.Color(2), RGB(4, 5, 6));
    EXPECT_EQ(p.GetEntries(3, 1, out), 0);
}

TEST(Palette, MemoisedLookupEqualsThePlainSearch) {
    std::mt19937 rng(7);
    std::vector<TPaletteEntry> e(200);
    for (auto& x : e)
        x = {std::uint8_t(rng() % 8 * 32), std::uint8_t(rng() % 8 * 32),
             std::uint8_t(rng() % 8 * 32), 0};
    const TPalette p(e);
    TNearestIndexCache cache(p);
    for (int i = 0; i < 20000; ++i) {
        // Few distinct colours so that the memo is hit and slots collide.
        const std::uint8_t r = std::uint8_t(rng() % 64 * 4), g = std::uint8_t(rng() % 16 * 16),
                           b = std::uint8_t(rng() % 4 * 85);
        ASSERT_EQ(cache.Lookup(r, g, b), p.GetNearestPaletteIndex(RGB(r, g, b)));
    }
}
