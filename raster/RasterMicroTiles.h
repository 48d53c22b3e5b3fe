#pragma once
// Micro-tiles: a grid of 32 x 32-pixel cells over a rectangle, each cell
// holding one packed sub-rectangle that covers what changed inside it. The
// repaint optimiser collects changed areas here and turns the grid back into
// a short list of rectangles to repaint.
//
// A tile is Left << 24 | Top << 16 | Right << 8 | Bottom, coordinates inside
// its cell (0..32, Right and Bottom exclusive). The grid's origin is (0, 0);
// its bounds only clamp the rectangles it gives back.
#include "platform/base/Types.h"
#include "raster/RasterContainers.h"

#include <vector>

using TMicroTile = Cardinal;

constexpr int MICROTILE_SHIFT = 5;
constexpr int MICROTILE_SIZE = 1 << MICROTILE_SHIFT;
constexpr TMicroTile MICROTILE_EMPTY = 0;
constexpr TMicroTile MICROTILE_FULL = 0x00002020u; // (0, 0, 32, 32)

constexpr TMicroTile MakeMicroTile(int Left, int Top, int Right, int Bottom) {
    return Cardinal(Left) << 24 | Cardinal(Top) << 16 | Cardinal(Right) << 8 | Cardinal(Bottom);
}
constexpr int MicroTileLeft(TMicroTile T) {
    return int(T >> 24);
}
constexpr int MicroTileTop(TMicroTile T) {
    return int((T >> 16) & 0xFF);
}
constexpr int MicroTileRight(TMicroTile T) {
    return int((T >> 8) & 0xFF);
}
constexpr int MicroTileBottom(TMicroTile T) {
    return int(T & 0xFF);
}
constexpr bool MicroTileEmpty(TMicroTile T) {
    return MicroTileLeft(T) == MicroTileRight(T) || MicroTileTop(T) == MicroTileBottom(T);
}
// The smallest tile covering both; a full Dst or an empty Src leaves Dst.
TMicroTile MicroTileUnion(TMicroTile Dst, TMicroTile Src);

// A grid of Columns x Rows tiles, row-major. Count is the allocation
// ((Columns + 1) x (Rows + 1)), a little more than the grid uses.
struct TMicroTiles {
    TRect BoundsRect;
    int Columns = 0;
    int Rows = 0;
    // Cells in use, inclusive on all sides; Left > Right when none is.
    TRect BoundsUsedTiles{0, 0, -1, -1};
    int Count = 0;
    std::vector<TMicroTile> Tiles;

    TMicroTile& Tile(int Column, int Row) { return Tiles[std::size_t(Row) * Columns + Column]; }
    TMicroTile Tile(int Column, int Row) const {
        return Tiles[std::size_t(Row) * Columns + Column];
    }
    bool Empty() const { return BoundsUsedTiles.Left > BoundsUsedTiles.Right; }
};

// Sizes the grid for Rect (width div 32 + 1 columns, height div 32 + 1 rows)
// and clears every tile. Raises EOutOfMemory for a grid beyond any sane
// buffer.
void MicroTilesSetSize(TMicroTiles& M, const TRect& Rect);
// Every tile becomes Value; a non-empty Value marks the whole grid used.
void MicroTilesClear(TMicroTiles& M, TMicroTile Value = MICROTILE_EMPTY);
// Gives Dst Src's size, tiles and used bounds.
void MicroTilesCopy(TMicroTiles& Dst, const TMicroTiles& Src);

// Adds Rect (normalised, clipped to the grid): edge cells receive their part,
// inner cells become full; with RoundToWholeTiles every touched cell is full.
void MicroTilesAddRect(TMicroTiles& M, const TRect& Rect, bool RoundToWholeTiles = false);
// Adds the line from (X1, Y1) to (X2, Y2), both ends included, widened by
// LineWidth on each side: it is cut into pieces at most one cell long on its
// major axis and the box of each piece is added, so a diagonal line marks
// the cells along it rather than its whole bounding box.
void MicroTilesAddLine(TMicroTiles& M, int X1, int Y1, int X2, int Y2, int LineWidth,
                       bool RoundToWholeTiles = false);
// Adds a changed area as the bitmaps report it: with AREAINFO_LINE in Info
// the area holds a line's end points and the low 24 bits its width.
void MicroTilesAddArea(TMicroTiles& M, const TRect& Area, Cardinal Info,
                       bool RoundToWholeTiles = false);
// Unites Src into Dst cell by cell over the cells both grids have.
void MicroTilesUnion(TMicroTiles& Dst, const TMicroTiles& Src, bool RoundToWholeTiles = false);

// Appends the rectangles covering the grid's tiles to Rects (runs of a row
// merged, equal runs of consecutive rows joined) and returns how many.
int MicroTilesCalcRects(const TMicroTiles& M, TRectList& Rects);
