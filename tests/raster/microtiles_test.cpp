#include "raster/RasterMicroTiles.h"

#include "raster/RasterCore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
TMicroTiles Grid(int W, int H) {
    TMicroTiles m;
    MicroTilesSetSize(m, {0, 0, W, H});
    return m;
}
std::vector<TRect> Rects(const TMicroTiles& M) {
    TRectList list;
    const int n = MicroTilesCalcRects(M, list);
    std::vector<TRect> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(*list.Items(i));
    EXPECT_EQ(n, int(out.size()));
    return out;
}
} // namespace

TEST(MicroTile, PackingAndUnion) {
    EXPECT_EQ(MakeMicroTile(1, 2, 3, 4), 0x01020304u);
    EXPECT_EQ(MakeMicroTile(0, 0, 32, 32), MICROTILE_FULL);
    EXPECT_TRUE(MicroTileEmpty(MICROTILE_EMPTY));
    EXPECT_TRUE(MicroTileEmpty(MakeMicroTile(5, 1, 5, 9))); // no width
    EXPECT_TRUE(MicroTileEmpty(MakeMicroTile(1, 7, 9, 7))); // no height
    const TMicroTile a = MakeMicroTile(4, 10, 8, 12), b = MakeMicroTile(2, 11, 6, 20);
    EXPECT_EQ(MicroTileUnion(a, b), MakeMicroTile(2, 10, 8, 20));
    EXPECT_EQ(MicroTileUnion(MICROTILE_FULL, b), MICROTILE_FULL);
    EXPECT_EQ(MicroTileUnion(a, MakeMicroTile(3, 3, 3, 30)), a); // empty source
    EXPECT_EQ(MicroTileUnion(MakeMicroTile(9, 0, 9, 5), b), b);  // empty destination
}

TEST(MicroTiles, SizeAndClear) {
    TMicroTiles m = Grid(100, 64);
    EXPECT_EQ(m.Columns, 4);
    EXPECT_EQ(m.Rows, 3);
    EXPECT_EQ(m.Count, 20);
    EXPECT_TRUE(m.Empty());
    MicroTilesClear(m, MICROTILE_FULL);
    EXPECT_EQ(m.BoundsUsedTiles, (TRect{0, 0, 3, 2}));
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{0, 0, 100, 64}}));
}

TEST(MicroTiles, AddRectAtCellEdges) {
    TMicroTiles m = Grid(128, 128);
    MicroTilesAddRect(m, {32, 0, 64, 32});
    EXPECT_EQ(m.Tile(1, 0), MICROTILE_FULL);
    EXPECT_EQ(m.Tile(0, 0), MICROTILE_EMPTY);
    EXPECT_EQ(m.Tile(2, 0), MICROTILE_EMPTY);
    EXPECT_EQ(m.BoundsUsedTiles, (TRect{1, 0, 1, 0}));

    m = Grid(128, 128);
    MicroTilesAddRect(m, {33, 33, 31, 31}); // reversed: normalised
    EXPECT_EQ(m.Tile(0, 0), MakeMicroTile(31, 31, 32, 32));
    EXPECT_EQ(m.Tile(1, 0), MakeMicroTile(0, 31, 1, 32));
    EXPECT_EQ(m.Tile(0, 1), MakeMicroTile(31, 0, 32, 1));
    EXPECT_EQ(m.Tile(1, 1), MakeMicroTile(0, 0, 1, 1));

    m = Grid(128, 128);
    MicroTilesAddRect(m, {10, 10, 100, 100});
    EXPECT_EQ(m.Tile(0, 0), MakeMicroTile(10, 10, 32, 32));
    EXPECT_EQ(m.Tile(1, 1), MICROTILE_FULL);
    EXPECT_EQ(m.Tile(3, 3), MakeMicroTile(0, 0, 4, 4));
    EXPECT_EQ(m.Tile(3, 0), MakeMicroTile(0, 10, 4, 32));

    m = Grid(128, 128);
    MicroTilesAddRect(m, {10, 10, 40, 12}, true);
    EXPECT_EQ(m.Tile(0, 0), MICROTILE_FULL);
    EXPECT_EQ(m.Tile(1, 0), MICROTILE_FULL);
}

TEST(MicroTiles, AddRectClipsToGrid) {
    TMicroTiles m = Grid(40, 40); // 2 x 2 cells: clip at 64
    MicroTilesAddRect(m, {-10, -10, 5, 5});
    EXPECT_EQ(m.Tile(0, 0), MakeMicroTile(0, 0, 5, 5));
    MicroTilesAddRect(m, {60, 60, 5000, 5000});
    EXPECT_EQ(m.Tile(1, 1), MakeMicroTile(28, 28, 32, 32));
    TMicroTiles n = Grid(40, 40);
    MicroTilesAddRect(n, {64, 0, 90, 10});
    MicroTilesAddRect(n, {-20, -20, -1, -1});
    MicroTilesAddRect(n, {5, 5, 5, 20});
    EXPECT_TRUE(n.Empty());
    EXPECT_TRUE(Rects(n).empty());
}

TEST(MicroTiles, LinesAreWidenedAndFollowTheirPath) {
    TMicroTiles m = Grid(128, 128);
    MicroTilesAddArea(m, {0, 0, 100, 0}, AREAINFO_LINE | 2);
    EXPECT_EQ(m.Tile(0, 0), MakeMicroTile(0, 0, 32, 3));
    EXPECT_EQ(m.Tile(3, 0), MakeMicroTile(0, 0, 7, 3)); // end pixel 100, widened to 103
    EXPECT_EQ(m.Tile(0, 1), MICROTILE_EMPTY);

    // A diagonal marks the cells along it, not its bounding box.
    m = Grid(128, 128);
    MicroTilesAddArea(m, {127, 127, 0, 0}, AREAINFO_LINE);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(MicroTileEmpty(m.Tile(i, i))) << i;
    EXPECT_EQ(m.Tile(3, 0), MICROTILE_EMPTY);
    EXPECT_EQ(m.Tile(0, 3), MICROTILE_EMPTY);
    EXPECT_EQ(m.Tile(2, 0), MICROTILE_EMPTY);

    // Absurd coordinates stay cheap and inside the grid.
    m = Grid(64, 64);
    MicroTilesAddArea(m, {-2000000000, 10, 2000000000, 10}, AREAINFO_LINE | 0xFFFFFF);
    EXPECT_EQ(m.Tile(1, 1), MICROTILE_FULL);
}

TEST(MicroTiles, RectsMergeRunsAndRows) {
    TMicroTiles m = Grid(128, 128);
    MicroTilesAddRect(m, {10, 5, 90, 20});
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{10, 5, 90, 20}}));

    m = Grid(128, 128);
    MicroTilesAddRect(m, {0, 0, 64, 100});
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{0, 0, 64, 100}}));

    // A neighbour with another height ends the run.
    m = Grid(128, 128);
    MicroTilesAddRect(m, {0, 0, 40, 10});
    MicroTilesAddRect(m, {40, 5, 64, 20});
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{0, 0, 32, 10}, {32, 0, 64, 20}}));

    // Rows with different sides are not joined; start order is kept.
    m = Grid(128, 128);
    MicroTilesAddRect(m, {0, 0, 64, 32});
    MicroTilesAddRect(m, {0, 32, 96, 64});
    MicroTilesAddRect(m, {100, 10, 110, 20});
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{0, 0, 64, 32}, {100, 10, 110, 20}, {0, 32, 96, 64}}));

    // Rectangles are clamped to the grid's bounds; slack cells vanish.
    m = Grid(100, 50);
    MicroTilesAddRect(m, {0, 0, 1000, 1000});
    MicroTilesAddRect(m, {110, 55, 120, 60});
    EXPECT_EQ(Rects(m), (std::vector<TRect>{{0, 0, 100, 50}}));
}

TEST(MicroTiles, UnionAcrossGridSizes) {
    TMicroTiles big = Grid(300, 300), small = Grid(40, 40);
    MicroTilesAddRect(big, {20, 20, 290, 290});
    MicroTilesUnion(small, big);
    EXPECT_EQ(small.Tile(0, 0), MakeMicroTile(20, 20, 32, 32));
    EXPECT_EQ(small.Tile(1, 1), MICROTILE_FULL);
    EXPECT_EQ(small.BoundsUsedTiles, (TRect{0, 0, 1, 1}));
    TMicroTiles other = Grid(300, 300);
    MicroTilesAddRect(small, {0, 0, 4, 4});
    MicroTilesUnion(other, small, true);
    EXPECT_EQ(other.Tile(0, 0), MICROTILE_FULL);
    EXPECT_EQ(other.Tile(2, 0), MICROTILE_EMPTY);
}
