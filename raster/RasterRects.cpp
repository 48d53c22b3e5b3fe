#include "raster/RasterRects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Float to int without undefined behaviour on huge values or NaN.
int SaturateToInt(double X) {
    if (std::isnan(X)) return 0;
    if (X >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (X <= double(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(X);
}
int FloorInt(TFloat X) {
    return SaturateToInt(std::floor(double(X)));
}
int CeilInt(TFloat X) {
    return SaturateToInt(std::ceil(double(X)));
}

void LiftInside(TRect& R) {
    if (R.Right < R.Left) R.Right = R.Left;
    if (R.Bottom < R.Top) R.Bottom = R.Top;
}

// The integer rectangle of R by Rounding, with Near, Down and Up rounding one
// coordinate of R's kind.
template <class TR, class TNear, class TDown, class TUp>
TRect RoundRect(const TR& R, TRectRounding Rounding, TNear Near, TDown Down, TUp Up) {
    TRect r;
    switch (Rounding) {
    case rrClosest:
        r = {Near(R.Left), Near(R.Top), Near(R.Right), Near(R.Bottom)};
        break;
    case rrOutside:
        r = {Down(R.Left), Down(R.Top), Up(R.Right), Up(R.Bottom)};
        break;
    case rrInside:
        r = {Up(R.Left), Up(R.Top), Down(R.Right), Down(R.Bottom)};
        LiftInside(r);
        break;
    }
    return r;
}

} // namespace

TRect MakeRect(int Left, int Top, int Right, int Bottom) {
    return {Left, Top, Right, Bottom};
}

TRect MakeRect(const TFixedRect& R, TRectRounding Rounding) {
    return RoundRect(R, Rounding, FixedRound, FixedFloor, FixedCeil);
}

TRect MakeRect(const TFloatRect& R, TRectRounding Rounding) {
    return RoundRect(R, Rounding, Round, FloorInt, CeilInt);
}

TSingleRect MakeSingleRect(TFloat Left, TFloat Top, TFloat Right, TFloat Bottom) {
    return {Left, Top, Right, Bottom};
}

TSingleRect MakeSingleRect(const TRect& R) {
    return {TFloat(R.Left), TFloat(R.Top), TFloat(R.Right), TFloat(R.Bottom)};
}

TFixedRect FixedRect(const TRect& R) {
    // Shift as unsigned: a negative side shifted left is well defined there.
    auto shl16 = [](int v) { return static_cast<TFixed>(static_cast<std::uint32_t>(v) << 16); };
    return {shl16(R.Left), shl16(R.Top), shl16(R.Right), shl16(R.Bottom)};
}

TFixedRect FixedRect(TFixed Left, TFixed Top, TFixed Right, TFixed Bottom) {
    return {Left, Top, Right, Bottom};
}

TFloatRect FloatRect(const TRect& R) {
    return MakeSingleRect(R);
}

namespace {
// The rectangle operations are the same for every kind of coordinate.
template <class TR> bool Intersect(TR& Dst, const TR& R1, const TR& R2) {
    Dst = {std::max(R1.Left, R2.Left), std::max(R1.Top, R2.Top), std::min(R1.Right, R2.Right),
           std::min(R1.Bottom, R2.Bottom)};
    if (Dst.Right < Dst.Left || Dst.Bottom < Dst.Top) Dst = TR{};
    return !IsRectangleEmpty(Dst);
}
template <class TR, class TV> void Offset(TR& R, TV Dx, TV Dy) {
    R.Left += Dx;
    R.Top += Dy;
    R.Right += Dx;
    R.Bottom += Dy;
}
template <class TR> bool Empty(const TR& R) {
    return !(R.Left < R.Right && R.Top < R.Bottom);
}
} // namespace

bool IntersectRectangles(TRect& Dst, TRect R1, TRect R2) {
    return Intersect(Dst, R1, R2);
}

bool IntersectRectangles(TFloatRect& Dst, TFloatRect R1, TFloatRect R2) {
    return Intersect(Dst, R1, R2);
}

bool EqualRectangles(const TRect& R1, const TRect& R2) {
    return R1 == R2;
}

// Compared as stored bytes: 0.0 and -0.0 differ, a NaN side equals itself.
bool EqualRectangles(const TFloatRect& R1, const TFloatRect& R2) {
    return std::memcmp(&R1, &R2, sizeof(TFloatRect)) == 0;
}

void OffsetRectangle(TRect& R, int Dx, int Dy) {
    Offset(R, Dx, Dy);
}

void OffsetRectangle(TFixedRect& R, TFixed Dx, TFixed Dy) {
    Offset(R, Dx, Dy);
}

void OffsetRectangle(TFloatRect& R, TFloat Dx, TFloat Dy) {
    Offset(R, Dx, Dy);
}

bool IsRectangleEmpty(const TRect& R) {
    return Empty(R);
}

bool IsRectangleEmpty(const TFixedRect& R) {
    return Empty(R);
}

bool IsRectangleEmpty(const TFloatRect& R) {
    return Empty(R);
}
