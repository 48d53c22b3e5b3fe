#include "raster/RasterMicroTiles.h"

#include "platform/base/Exception.h"
#include "raster/RasterCore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// A grid for the largest bitmap the engine allows stays well below this.
constexpr std::int64_t MaxMicroTiles = std::int64_t{1} << 26;
// Coordinates are kept inside this range so that cell arithmetic never
// overflows.
constexpr std::int64_t CoordLimit = std::int64_t{1} << 30;

int ClampCoord(std::int64_t V) {
    return int(std::clamp(V, -CoordLimit, CoordLimit));
}

void GrowUsed(TMicroTiles& M, int Left, int Top, int Right, int Bottom) {
    TRect& U = M.BoundsUsedTiles;
    if (M.Empty()) {
        U = {Left, Top, Right, Bottom};
        return;
    }
    U.Left = std::min(U.Left, Left);
    U.Top = std::min(U.Top, Top);
    U.Right = std::max(U.Right, Right);
    U.Bottom = std::max(U.Bottom, Bottom);
}

void AddRect64(TMicroTiles& M, std::int64_t L, std::int64_t T, std::int64_t R, std::int64_t B,
               bool RoundToWholeTiles) {
    if (L > R) std::swap(L, R);
    if (T > B) std::swap(T, B);
    L = std::max<std::int64_t>(L, 0);
    T = std::max<std::int64_t>(T, 0);
    R = std::min<std::int64_t>(R, std::int64_t(M.Columns) * MICROTILE_SIZE);
    B = std::min<std::int64_t>(B, std::int64_t(M.Rows) * MICROTILE_SIZE);
    if (L >= R || T >= B) return;

    const int sx = int(L >> MICROTILE_SHIFT), ex = int((R - 1) >> MICROTILE_SHIFT);
    const int sy = int(T >> MICROTILE_SHIFT), ey = int((B - 1) >> MICROTILE_SHIFT);
    for (int y = sy; y <= ey; ++y) {
        const int cy = y * MICROTILE_SIZE;
        const int t = y == sy ? int(T) - cy : 0;
        const int b = y == ey ? int(B) - cy : MICROTILE_SIZE;
        for (int x = sx; x <= ex; ++x) {
            TMicroTile& tile = M.Tile(x, y);
            if (RoundToWholeTiles) {
                tile = MICROTILE_FULL;
                continue;
            }
            const int cx = x * MICROTILE_SIZE;
            const int l = x == sx ? int(L) - cx : 0;
            const int r = x == ex ? int(R) - cx : MICROTILE_SIZE;
            tile = MicroTileUnion(tile, MakeMicroTile(l, t, r, b));
        }
    }
    GrowUsed(M, sx, sy, ex, ey);
}

} // namespace

TMicroTile MicroTileUnion(TMicroTile Dst, TMicroTile Src) {
    if (Dst == MICROTILE_FULL || MicroTileEmpty(Src)) return Dst;
    if (MicroTileEmpty(Dst)) return Src;
    return MakeMicroTile(std::min(MicroTileLeft(Dst), MicroTileLeft(Src)),
                         std::min(MicroTileTop(Dst), MicroTileTop(Src)),
                         std::max(MicroTileRight(Dst), MicroTileRight(Src)),
                         std::max(MicroTileBottom(Dst), MicroTileBottom(Src)));
}

void MicroTilesSetSize(TMicroTiles& M, const TRect& Rect) {
    const std::int64_t w = std::max<std::int64_t>(std::int64_t(Rect.Right) - Rect.Left, 0);
    const std::int64_t h = std::max<std::int64_t>(std::int64_t(Rect.Bottom) - Rect.Top, 0);
    const std::int64_t columns = w / MICROTILE_SIZE + 1;
    const std::int64_t rows = h / MICROTILE_SIZE + 1;
    const std::int64_t count = (columns + 1) * (rows + 1);
    if (count > MaxMicroTiles) throw EOutOfMemory(SCantAllocateDIBHandle);
    M.BoundsRect = Rect;
    M.Columns = int(columns);
    M.Rows = int(rows);
    M.Count = int(count);
    M.Tiles.assign(std::size_t(count), MICROTILE_EMPTY);
    M.BoundsUsedTiles = {0, 0, -1, -1};
}

void MicroTilesClear(TMicroTiles& M, TMicroTile Value) {
    std::fill(M.Tiles.begin(), M.Tiles.end(), Value);
    if (MicroTileEmpty(Value) || M.Columns == 0 || M.Rows == 0)
        M.BoundsUsedTiles = {0, 0, -1, -1};
    else
        M.BoundsUsedTiles = {0, 0, M.Columns - 1, M.Rows - 1};
}

void MicroTilesCopy(TMicroTiles& Dst, const TMicroTiles& Src) {
    Dst = Src;
}

void MicroTilesAddRect(TMicroTiles& M, const TRect& Rect, bool RoundToWholeTiles) {
    AddRect64(M, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, RoundToWholeTiles);
}

void MicroTilesAddLine(TMicroTiles& M, int X1, int Y1, int X2, int Y2, int LineWidth,
                       bool RoundToWholeTiles) {
    const std::int64_t w = std::max(LineWidth, 0);
    const std::int64_t dx = std::int64_t(X2) - X1, dy = std::int64_t(Y2) - Y1;
    const std::int64_t major = std::max(std::llabs(dx), std::llabs(dy));
    const std::int64_t steps = major / MICROTILE_SIZE + 1;
    // A line far longer than the grid: its box is a correct, cheap cover.
    if (steps > 2 * (std::int64_t(M.Columns) + M.Rows) + 4) {
        AddRect64(M, std::min<std::int64_t>(X1, X2) - w, std::min<std::int64_t>(Y1, Y2) - w,
                  std::max<std::int64_t>(X1, X2) + 1 + w, std::max<std::int64_t>(Y1, Y2) + 1 + w,
                  RoundToWholeTiles);
        return;
    }
    std::int64_t xa = X1, ya = Y1;
    for (std::int64_t i = 1; i <= steps; ++i) {
        const std::int64_t xb = X1 + dx * i / steps, yb = Y1 + dy * i / steps;
        AddRect64(M, ClampCoord(std::min(xa, xb) - w), ClampCoord(std::min(ya, yb) - w),
                  ClampCoord(std::max(xa, xb) + 1 + w), ClampCoord(std::max(ya, yb) + 1 + w),
                  RoundToWholeTiles);
        xa = xb;
        ya = yb;
    }
}

void MicroTilesAddArea(TMicroTiles& M, const TRect& Area, Cardinal Info, bool RoundToWholeTiles) {
    if (Info & AREAINFO_LINE)
        MicroTilesAddLine(M, Area.Left, Area.Top, Area.Right, Area.Bottom, int(Info & 0x00FFFFFFu),
                          RoundToWholeTiles);
    else
        MicroTilesAddRect(M, Area, RoundToWholeTiles);
}

void MicroTilesUnion(TMicroTiles& Dst, const TMicroTiles& Src, bool RoundToWholeTiles) {
    if (Src.Empty()) return;
    const TRect& su = Src.BoundsUsedTiles;
    const int right = std::min(su.Right, Dst.Columns - 1);
    const int bottom = std::min(su.Bottom, Dst.Rows - 1);
    bool any = false;
    for (int y = su.Top; y <= bottom; ++y)
        for (int x = su.Left; x <= right; ++x) {
            const TMicroTile s = Src.Tile(x, y);
            if (MicroTileEmpty(s)) continue;
            TMicroTile& d = Dst.Tile(x, y);
            d = RoundToWholeTiles ? MICROTILE_FULL : MicroTileUnion(d, s);
            any = true;
        }
    if (any) GrowUsed(Dst, su.Left, su.Top, right, bottom);
}

int MicroTilesCalcRects(const TMicroTiles& M, TRectList& Rects) {
    if (M.Empty()) return 0;
    const TRect& u = M.BoundsUsedTiles;
    const TRect& bounds = M.BoundsRect;
    std::vector<TRect> found;
    // The rectangle covering each cell of the previous and of this row.
    std::vector<int> above(std::size_t(M.Columns), -1), here(std::size_t(M.Columns), -1);
    for (int y = u.Top; y <= u.Bottom; ++y) {
        std::fill(here.begin(), here.end(), -1);
        const int cy = y * MICROTILE_SIZE;
        for (int x = u.Left; x <= u.Right; ++x) {
            TMicroTile t = M.Tile(x, y);
            if (MicroTileEmpty(t)) continue;
            const int start = x;
            const int top = MicroTileTop(t), bottom = MicroTileBottom(t);
            int left = x * MICROTILE_SIZE + MicroTileLeft(t);
            int right = x * MICROTILE_SIZE + MicroTileRight(t);
            while (MicroTileRight(t) == MICROTILE_SIZE && x + 1 < M.Columns) {
                const TMicroTile n = M.Tile(x + 1, y);
                if (MicroTileEmpty(n) || MicroTileLeft(n) != 0 || MicroTileTop(n) != top ||
                    MicroTileBottom(n) != bottom)
                    break;
                ++x;
                t = n;
                right = x * MICROTILE_SIZE + MicroTileRight(t);
            }
            TRect r{std::clamp(left, bounds.Left, bounds.Right),
                    std::clamp(cy + top, bounds.Top, bounds.Bottom),
                    std::clamp(right, bounds.Left, bounds.Right),
                    std::clamp(cy + bottom, bounds.Top, bounds.Bottom)};
            // Tiles in the slack beyond the bounds clamp to nothing.
            if (r.IsEmpty()) continue;
            int index = above[std::size_t(start)];
            if (index >= 0 && found[index].Left == r.Left && found[index].Right == r.Right &&
                found[index].Bottom == r.Top) {
                found[index].Bottom = r.Bottom;
            } else {
                index = int(found.size());
                found.push_back(r);
            }
            for (int c = start; c <= x; ++c)
                here[std::size_t(c)] = index;
        }
        std::swap(above, here);
    }
    for (const TRect& r : found)
        Rects.Add(r);
    return int(found.size());
}
