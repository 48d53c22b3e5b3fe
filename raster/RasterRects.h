#pragma once
// The engine's rectangles (integer, 16.16 fixed and single precision) and
// their conversions. Right and Bottom are exclusive throughout.
#include "platform/base/Types.h"
#include "raster/RasterMath.h"

using TFloat = float;

struct TFixedRect {
    TFixed Left = 0;
    TFixed Top = 0;
    TFixed Right = 0;
    TFixed Bottom = 0;
    friend bool operator==(const TFixedRect&, const TFixedRect&) = default;
};

struct TSingleRect {
    TFloat Left = 0;
    TFloat Top = 0;
    TFloat Right = 0;
    TFloat Bottom = 0;
    friend bool operator==(const TSingleRect&, const TSingleRect&) = default;
};
// The float rectangle of the engine is single precision.
using TFloatRect = TSingleRect;

// How a fixed or float rectangle becomes an integer one:
// rrClosest rounds each side (half to even for floats, half down for fixed);
// rrOutside floors Left/Top and ceils Right/Bottom, covering the whole area;
// rrInside ceils Left/Top and floors Right/Bottom, keeping only whole pixels
// inside, then lifts Right to at least Left and Bottom to at least Top.
enum TRectRounding { rrClosest, rrOutside, rrInside };

TRect MakeRect(int Left, int Top, int Right, int Bottom);
TRect MakeRect(const TFixedRect& R, TRectRounding Rounding = rrClosest);
TRect MakeRect(const TFloatRect& R, TRectRounding Rounding = rrClosest);

TSingleRect MakeSingleRect(TFloat Left, TFloat Top, TFloat Right, TFloat Bottom);
TSingleRect MakeSingleRect(const TRect& R);

// Each side shifted left by 16 (sides beyond +-32767 do not fit).
TFixedRect FixedRect(const TRect& R);
TFixedRect FixedRect(TFixed Left, TFixed Top, TFixed Right, TFixed Bottom);
TFloatRect FloatRect(const TRect& R);

// The overlap of R1 and R2 into Dst. When it has Right < Left or Bottom < Top
// Dst becomes the zero rectangle. Returns whether Dst is non-empty.
bool IntersectRectangles(TRect& Dst, TRect R1, TRect R2);
bool IntersectRectangles(TFloatRect& Dst, TFloatRect R1, TFloatRect R2);

bool EqualRectangles(const TRect& R1, const TRect& R2);
bool EqualRectangles(const TFloatRect& R1, const TFloatRect& R2);

void OffsetRectangle(TRect& R, int Dx, int Dy);
void OffsetRectangle(TFixedRect& R, TFixed Dx, TFixed Dy);
void OffsetRectangle(TFloatRect& R, TFloat Dx, TFloat Dy);

// Not (Left < Right and Top < Bottom).
bool IsRectangleEmpty(const TRect& R);
bool IsRectangleEmpty(const TFixedRect& R);
bool IsRectangleEmpty(const TFloatRect& R);
