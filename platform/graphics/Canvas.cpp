#include "platform/graphics/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/graphics/TextRender.h"

// Pixels of the coverage mask of one drawing operation. Building the whole
// shape first and combining each pixel once keeps xor and other
// destination-dependent modes from touching a pixel twice where strokes
// overlap.
class TPixelMask {
public:
    static constexpr Byte None = 0;
    static constexpr Byte Gap = 1; // the gaps of a styled pen
    static constexpr Byte Ink = 2;

    explicit TPixelMask(const TRect& Bounds) : FBounds(Bounds) {
        if (FBounds.IsEmpty()) FBounds = TRect{};
        FBits.assign(std::size_t(FBounds.Width()) * std::size_t(FBounds.Height()), None);
    }
    const TRect& Bounds() const { return FBounds; }
    bool Empty() const { return FBits.empty(); }
    void Set(std::int64_t X, std::int64_t Y, Byte V) {
        if (X < FBounds.Left || X >= FBounds.Right || Y < FBounds.Top || Y >= FBounds.Bottom)
            return;
        Byte& b = FBits[Offset(int(X), int(Y))];
        if (V > b) b = V;
    }
    Byte Get(int X, int Y) const { return FBits[Offset(X, Y)]; }
    // Sets [X1, X2) of row Y, clipped.
    void Span(std::int64_t X1, std::int64_t X2, std::int64_t Y, Byte V) {
        if (Y < FBounds.Top || Y >= FBounds.Bottom) return;
        X1 = std::max<std::int64_t>(X1, FBounds.Left);
        X2 = std::min<std::int64_t>(X2, FBounds.Right);
        for (std::int64_t x = X1; x < X2; ++x)
            Set(x, Y, V);
    }

private:
    std::size_t Offset(int X, int Y) const {
        return std::size_t(Y - FBounds.Top) * std::size_t(FBounds.Width()) +
               std::size_t(X - FBounds.Left);
    }
    TRect FBounds;
    std::vector<Byte> FBits;
};

namespace {

// Pixels are read and written bytewise: a surface's rows need not be
// aligned for 32-bit access.
inline std::uint32_t LoadPixel(const Byte* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void StorePixel(Byte* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline Byte* PixelAt(const TPixelSurface& S, int X, int Y) {
    return S.Bits + std::int64_t(Y) * S.Stride + std::int64_t(X) * 4;
}

// 0x00BBGGRR (system colours resolved) -> the B, G, R, A dword with alpha 0.
std::uint32_t ColorToPixel(TColor Color) {
    std::int32_t Rgb = ColorToRGB(Color);
    return std::uint32_t(GetBValue(Rgb)) | std::uint32_t(GetGValue(Rgb)) << 8 |
           std::uint32_t(GetRValue(Rgb)) << 16;
}

TColor PixelToColor(std::uint32_t Pixel) {
    return RGB(int((Pixel >> 16) & 0xFF), int((Pixel >> 8) & 0xFF), int(Pixel & 0xFF));
}

constexpr std::uint32_t RgbMask = 0x00FFFFFF;

std::uint32_t Rop2(TPenMode Mode, std::uint32_t P, std::uint32_t D) {
    std::uint32_t r;
    switch (Mode) {
    case pmBlack:
        r = 0;
        break;
    case pmWhite:
        r = ~0u;
        break;
    case pmNop:
        r = D;
        break;
    case pmNot:
        r = ~D;
        break;
    case pmCopy:
        r = P;
        break;
    case pmNotCopy:
        r = ~P;
        break;
    case pmMergePenNot:
        r = P | ~D;
        break;
    case pmMaskPenNot:
        r = P & ~D;
        break;
    case pmMergeNotPen:
        r = ~P | D;
        break;
    case pmMaskNotPen:
        r = ~P & D;
        break;
    case pmMerge:
        r = P | D;
        break;
    case pmNotMerge:
        r = ~(P | D);
        break;
    case pmMask:
        r = P & D;
        break;
    case pmNotMask:
        r = ~(P & D);
        break;
    case pmXor:
        r = P ^ D;
        break;
    case pmNotXor:
        r = ~(P ^ D);
        break;
    default:
        r = P;
        break;
    }
    return r & RgbMask;
}

// A ternary raster operation: bit (p << 2 | s << 1 | d) of the code's
// third byte is the result for pattern bit p, source bit s, destination
// bit d.
std::uint32_t Rop3(std::uint32_t Code, std::uint32_t P, std::uint32_t S, std::uint32_t D) {
    const std::uint32_t Table = (Code >> 16) & 0xFF;
    switch (Table) {
    case 0xCC:
        return S;
    case 0x00:
        return 0;
    case 0xFF:
        return ~0u;
    case 0xF0:
        return P;
    case 0x55:
        return ~D;
    case 0x66:
        return S ^ D;
    case 0x88:
        return S & D;
    case 0xEE:
        return S | D;
    case 0x33:
        return ~S;
    default:
        break;
    }
    std::uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if ((Table >> i) & 1) {
            r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
        }
    }
    return r;
}

bool HatchHit(TBrushStyle Style, int X, int Y) {
    const int x = X & 7, y = Y & 7;
    switch (Style) {
    case bsSolid:
        return true;
    case bsHorizontal:
        return y == 0;
    case bsVertical:
        return x == 0;
    case bsFDiagonal:
        return ((x - y) & 7) == 0;
    case bsBDiagonal:
        return ((x + y) & 7) == 7;
    case bsCross:
        return x == 0 || y == 0;
    case bsDiagCross:
        return ((x - y) & 7) == 0 || ((x + y) & 7) == 7;
    default:
        return false;
    }
}

TRect Normalized(int X1, int Y1, int X2, int Y2) {
    return {std::min(X1, X2), std::min(Y1, Y2), std::max(X1, X2), std::max(Y1, Y2)};
}

// A rectangle from 64-bit sides, saturated to the int range (only sides far
// outside any surface are affected).
TRect Rect64(std::int64_t L, std::int64_t T, std::int64_t R, std::int64_t B) {
    auto Sat = [](std::int64_t v) {
        return int(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return {Sat(L), Sat(T), Sat(R), Sat(B)};
}

TRect Clipped(const TRect& R, const TRect& By) {
    TRect r;
    IntersectRect(r, R, By);
    return r;
}

// The bounding box of a stroke through the given points, in 64 bits, then
// clipped to the surface.
TRect StrokeBounds(std::span<const TPoint> Points, int PenWidth, const TRect& Surface) {
    if (Points.empty()) return {};
    std::int64_t l = Points[0].X, t = Points[0].Y, r = l, b = t;
    for (const TPoint& p : Points) {
        l = std::min<std::int64_t>(l, p.X);
        t = std::min<std::int64_t>(t, p.Y);
        r = std::max<std::int64_t>(r, p.X);
        b = std::max<std::int64_t>(b, p.Y);
    }
    const std::int64_t Pad = PenWidth + 1;
    l = std::max<std::int64_t>(l - Pad, Surface.Left);
    t = std::max<std::int64_t>(t - Pad, Surface.Top);
    r = std::min<std::int64_t>(r + Pad + 1, Surface.Right);
    b = std::min<std::int64_t>(b + Pad + 1, Surface.Bottom);
    if (l >= r || t >= b) return {};
    return {int(l), int(t), int(r), int(b)};
}

// Dash patterns of the cosmetic pen styles (on, off, on, off...).
struct TDashPattern {
    const int* Runs = nullptr;
    int Count = 0;
    int Period = 0;
    std::int64_t Position = 0;

    explicit TDashPattern(TPenStyle Style) {
        static constexpr int Dash[] = {18, 6};
        static constexpr int Dot[] = {3, 3};
        static constexpr int DashDot[] = {9, 6, 3, 6};
        static constexpr int DashDotDot[] = {9, 3, 3, 3, 3, 3};
        switch (Style) {
        case psDash:
            Set(Dash, 2);
            break;
        case psDot:
            Set(Dot, 2);
            break;
        case psDashDot:
            Set(DashDot, 4);
            break;
        case psDashDotDot:
            Set(DashDotDot, 6);
            break;
        default:
            break;
        }
    }
    void Set(const int* R, int N) {
        Runs = R;
        Count = N;
        for (int i = 0; i < N; ++i)
            Period += R[i];
    }
    // True for ink, false for a gap; advances one pixel.
    bool Next() {
        if (Count == 0) return true;
        int p = int(Position++ % Period);
        for (int i = 0; i < Count; ++i) {
            if (p < Runs[i]) return (i & 1) == 0;
            p -= Runs[i];
        }
        return true;
    }
};

struct TStroke {
    int Width = 1;
    bool PaintGaps = false;
    TDashPattern Pattern{psSolid};
    std::vector<std::pair<int, int>> Disc;

    TStroke(const TPen& Pen, bool GapsOpaque) : Pattern(Pen.Width() > 1 ? psSolid : Pen.Style()) {
        Width = std::max(1, Pen.Width());
        PaintGaps = GapsOpaque && Pattern.Count != 0;
        if (Width > 1) {
            // A round nib: geometric pens have round ends and joins.
            const double c = (Width - 1) / 2.0, r2 = (Width / 2.0) * (Width / 2.0) + 0.25;
            const int o = (Width - 1) / 2;
            for (int j = 0; j < Width; ++j)
                for (int i = 0; i < Width; ++i)
                    if ((i - c) * (i - c) + (j - c) * (j - c) <= r2)
                        Disc.emplace_back(i - o, j - o);
        }
    }

    void Plot(TPixelMask& M, std::int64_t X, std::int64_t Y) {
        bool On = Pattern.Next();
        if (Width == 1) {
            if (On)
                M.Set(X, Y, TPixelMask::Ink);
            else if (PaintGaps)
                M.Set(X, Y, TPixelMask::Gap);
            return;
        }
        for (const auto& d : Disc)
            M.Set(X + d.first, Y + d.second, TPixelMask::Ink);
    }

    // Bresenham from (X1, Y1) toward (X2, Y2); the end point only when
    // IncludeEnd. Segments reaching far outside the mask are first clipped
    // so that absurd coordinates cost nothing.
    void Line(TPixelMask& M, std::int64_t X1, std::int64_t Y1, std::int64_t X2, std::int64_t Y2,
              bool IncludeEnd) {
        // Beyond this length a segment is clipped first: its pixels inside
        // the mask may then differ from the unclipped walk by rounding only.
        const std::int64_t Far = std::max<std::int64_t>(
            4096, 4 * (std::int64_t(M.Bounds().Width()) + M.Bounds().Height() + Width));
        if (std::max(std::llabs(X2 - X1), std::llabs(Y2 - Y1)) > Far &&
            !ClipLong(M, X1, Y1, X2, Y2, IncludeEnd))
            return;
        const std::int64_t Dx = X2 - X1, Dy = Y2 - Y1;
        const std::int64_t Ax = std::llabs(Dx), Ay = std::llabs(Dy);
        const int Sx = Dx > 0 ? 1 : (Dx < 0 ? -1 : 0), Sy = Dy > 0 ? 1 : (Dy < 0 ? -1 : 0);
        std::int64_t x = X1, y = Y1;
        if (Ay < Ax) {
            std::int64_t e = Ax / 2;
            for (std::int64_t i = 0; i < Ax; ++i) {
                Plot(M, x, y);
                e += Ay;
                x += Sx;
                if (e >= Ax) {
                    y += Sy;
                    e -= Ax;
                }
            }
        } else {
            std::int64_t e = Ay / 2;
            for (std::int64_t i = 0; i < Ay; ++i) {
                Plot(M, x, y);
                e += Ax;
                y += Sy;
                if (e >= Ay) {
                    x += Sx;
                    e -= Ay;
                }
            }
        }
        if (IncludeEnd) Plot(M, x, y);
    }

    // Liang-Barsky against the mask grown by the pen width.
    bool ClipLong(const TPixelMask& M, std::int64_t& X1, std::int64_t& Y1, std::int64_t& X2,
                  std::int64_t& Y2, bool& IncludeEnd) {
        const TRect& B = M.Bounds();
        const double Pad = Width + 2;
        const double xmin = B.Left - Pad, xmax = B.Right + Pad, ymin = B.Top - Pad,
                     ymax = B.Bottom + Pad;
        const double dx = double(X2 - X1), dy = double(Y2 - Y1);
        double t0 = 0, t1 = 1;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {X1 - xmin, xmax - X1, Y1 - ymin, ymax - Y1};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0) return false;
                continue;
            }
            const double t = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
        const std::int64_t nx1 = std::llround(double(X1) + t0 * dx);
        const std::int64_t ny1 = std::llround(double(Y1) + t0 * dy);
        const std::int64_t nx2 = std::llround(double(X1) + t1 * dx);
        const std::int64_t ny2 = std::llround(double(Y1) + t1 * dy);
        if (t1 < 1) IncludeEnd = true; // the true end lies outside anyway
        X1 = nx1;
        Y1 = ny1;
        X2 = nx2;
        Y2 = ny2;
        return true;
    }
};

// Pixel centres inside the ellipse inscribed in [L, R) x [T, B).
struct TEllipse {
    double Cx, Cy, A, B;
    bool Valid;
    TEllipse(std::int64_t L, std::int64_t T, std::int64_t R, std::int64_t Bt)
        : Cx((L + R) / 2.0), Cy((T + Bt) / 2.0), A((R - L) / 2.0), B((Bt - T) / 2.0),
          Valid(R > L && Bt > T) {}
    // The span [X1, X2) of row Y; false when the row misses.
    bool Row(std::int64_t Y, std::int64_t& X1, std::int64_t& X2) const {
        if (!Valid) return false;
        const double v = (Y + 0.5 - Cy) / B;
        const double k = 1 - v * v;
        if (k < 0) return false;
        const double h = A * std::sqrt(k);
        // x + 0.5 in [Cx - h, Cx + h]
        X1 = std::int64_t(std::ceil(Cx - h - 0.5));
        X2 = std::int64_t(std::floor(Cx + h - 0.5)) + 1;
        return X2 > X1;
    }
};

} // namespace

class TCanvas::TSurfaceTarget : public TCanvasTarget {
public:
    explicit TSurfaceTarget(const TPixelSurface& S) : Surface(S) {}
    bool BeginDraw(TPixelSurface& S) override {
        S = Surface;
        return Surface.Valid();
    }
    void EndDraw(bool) override {}
    TPixelSurface Surface;
};

TCanvas::TCanvas(TCanvasTarget* Target) : FTarget(Target) {}

TCanvas::TCanvas(const TPixelSurface& Surface)
    : FOwnSurface(std::make_unique<TSurfaceTarget>(Surface)) {
    FTarget = FOwnSurface.get();
}

TCanvas::~TCanvas() = default;

void TCanvas::SetTarget(TCanvasTarget* Target) {
    FOwnSurface.reset();
    FTarget = Target;
}

void TCanvas::SetSurface(const TPixelSurface& Surface) {
    if (FOwnSurface) {
        FOwnSurface->Surface = Surface;
    } else {
        FOwnSurface = std::make_unique<TSurfaceTarget>(Surface);
        FTarget = FOwnSurface.get();
    }
}

bool TCanvas::AcquireSurface(TPixelSurface& Surface) {
    if (FAcquireCount > 0) {
        ++FAcquireCount;
        Surface = FSurface;
        return true;
    }
    if (FTarget == nullptr) return false;
    TPixelSurface S;
    if (!FTarget->BeginDraw(S)) return false;
    if (!S.Valid()) {
        FTarget->EndDraw(false);
        return false;
    }
    FSurface = S;
    FAcquireCount = 1;
    FAcquireChanged = false;
    Surface = S;
    return true;
}

void TCanvas::ReleaseSurface(bool Changed) {
    if (FAcquireCount <= 0) return;
    FAcquireChanged = FAcquireChanged || Changed;
    if (--FAcquireCount == 0) {
        FSurface = TPixelSurface{};
        FTarget->EndDraw(FAcquireChanged);
    }
}

TRect TCanvas::ClipRect() {
    TPixelSurface S;
    if (!AcquireSurface(S)) return {};
    TRect r = S.BoundsRect();
    ReleaseSurface(false);
    return r;
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::Lock() {
    FMutex.lock();
    ++FLockCount;
}

void TCanvas::Unlock() {
    --FLockCount;
    FMutex.unlock();
}

bool TCanvas::TryLock() {
    if (!FMutex.try_lock()) return false;
    ++FLockCount;
    return true;
}

namespace {

// Runs one drawing operation between OnChanging and OnChange, with the
// surface acquired when there is one.
template <class F> void DrawOperation(TCanvas& C, F&& Body) {
    C.Changing();
    TPixelSurface S;
    if (C.AcquireSurface(S)) {
        try {
            Body(S);
        } catch (...) {
            C.ReleaseSurface(true);
            throw;
        }
        C.ReleaseSurface(true);
    }
    C.Changed();
}

} // namespace

void TCanvas::DrawWithPen(TPixelSurface& S, const TPixelMask& Mask) {
    if (Mask.Empty() || FPen.Mode() == pmNop) return;
    const std::uint32_t Ink = ColorToPixel(FPen.Color());
    const std::uint32_t GapColor = ColorToPixel(FBrush.Color());
    const TRect& B = Mask.Bounds();
    for (int y = B.Top; y < B.Bottom; ++y) {
        for (int x = B.Left; x < B.Right; ++x) {
            const Byte m = Mask.Get(x, y);
            if (m == TPixelMask::None) continue;
            Byte* p = PixelAt(S, x, y);
            const std::uint32_t P = m == TPixelMask::Ink ? Ink : GapColor;
            StorePixel(p, Rop2(FPen.Mode(), P, LoadPixel(p)));
        }
    }
}

void TCanvas::FillWithBrush(TPixelSurface& S, const TRect& Rect) {
    if (FBrush.Style() == bsClear) return;
    const TRect R = Clipped(Rect, S.BoundsRect());
    if (R.IsEmpty()) return;
    const std::uint32_t Color = ColorToPixel(FBrush.Color());
    const TBrushStyle Style = FBrush.Style();
    for (int y = R.Top; y < R.Bottom; ++y) {
        Byte* p = PixelAt(S, R.Left, y);
        for (int x = R.Left; x < R.Right; ++x, p += 4)
            if (Style == bsSolid || HatchHit(Style, x, y)) StorePixel(p, Color);
    }
}

void TCanvas::FillMaskWithBrush(TPixelSurface& S, const TPixelMask& Mask) {
    if (Mask.Empty() || FBrush.Style() == bsClear || FPen.Mode() == pmNop) return;
    const std::uint32_t Color = ColorToPixel(FBrush.Color());
    const TBrushStyle Style = FBrush.Style();
    const TRect& B = Mask.Bounds();
    for (int y = B.Top; y < B.Bottom; ++y) {
        for (int x = B.Left; x < B.Right; ++x) {
            if (Mask.Get(x, y) == TPixelMask::None || !HatchHit(Style, x, y)) continue;
            Byte* p = PixelAt(S, x, y);
            // Filled shapes combine their brush with the pen's mix mode too.
            StorePixel(p, Rop2(FPen.Mode(), Color, LoadPixel(p)));
        }
    }
}

void TCanvas::FillRect(const TRect& Rect) {
    DrawOperation(*this, [&](TPixelSurface& S) { FillWithBrush(S, Rect); });
}

void TCanvas::FrameRect(const TRect& Rect) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (Rect.IsEmpty()) return;
        const std::int64_t L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
        FillWithBrush(S, Rect64(L, T, R, T + 1));
        if (B - T > 1) FillWithBrush(S, Rect64(L, B - 1, R, B));
        if (B - T > 2) {
            FillWithBrush(S, Rect64(L, T + 1, L + 1, B - 1));
            if (R - L > 1) FillWithBrush(S, Rect64(R - 1, T + 1, R, B - 1));
        }
    });
}

void TCanvas::DrawFocusRect(const TRect& Rect) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (Rect.IsEmpty()) return;
        const int L = std::max(Rect.Left, 0), T = std::max(Rect.Top, 0);
        const int R = std::min(Rect.Right, S.Width), B = std::min(Rect.Bottom, S.Height);
        auto Invert = [&](int X, int Y) {
            if (Y >= 0 && Y < S.Height && X >= 0 && X < S.Width && ((X + Y) & 1) == 0)
                S.Row(Y)[X] ^= 0x00FFFFFFu;
        };
        for (int X = L; X < R; ++X) {
            Invert(X, Rect.Top);
            if (Rect.Bottom - 1 > Rect.Top) Invert(X, Rect.Bottom - 1);
        }
        for (int Y = std::max(T, Rect.Top + 1); Y < std::min(B, Rect.Bottom - 1); ++Y) {
            Invert(Rect.Left, Y);
            if (Rect.Right - 1 > Rect.Left) Invert(Rect.Right - 1, Y);
        }
    });
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        const TRect R = Normalized(X1, Y1, X2, Y2);
        const TRect Surface = S.BoundsRect();
        const bool NoPen = FPen.Style() == psClear;
        if (NoPen) {
            TPixelMask Fill(Clipped(
                Rect64(R.Left, R.Top, std::int64_t(R.Right) - 1, std::int64_t(R.Bottom) - 1),
                Surface));
            const TRect& B = Fill.Bounds();
            for (int y = B.Top; y < B.Bottom; ++y)
                Fill.Span(B.Left, B.Right, y, TPixelMask::Ink);
            FillMaskWithBrush(S, Fill);
            return;
        }
        const int W = std::max(1, FPen.Width());
        const int o = FPen.Style() == psInsideFrame ? 0 : (W - 1) / 2;
        const std::int64_t OL = std::int64_t(R.Left) - o, OT = std::int64_t(R.Top) - o;
        const std::int64_t OR =
            std::int64_t(R.Right) + (FPen.Style() == psInsideFrame ? 0 : W - 1 - o);
        const std::int64_t OB =
            std::int64_t(R.Bottom) + (FPen.Style() == psInsideFrame ? 0 : W - 1 - o);
        if (OL >= OR || OT >= OB) return;
        auto Clamp = [](std::int64_t v) {
            return int(std::clamp<std::int64_t>(v, -0x7FFFFFFF, 0x7FFFFFFF));
        };
        const TRect Outer = Clipped({Clamp(OL), Clamp(OT), Clamp(OR), Clamp(OB)}, Surface);
        // Interior first, then the outline over it.
        TPixelMask Fill(
            Clipped({Clamp(OL + W), Clamp(OT + W), Clamp(OR - W), Clamp(OB - W)}, Surface));
        for (int y = Fill.Bounds().Top; y < Fill.Bounds().Bottom; ++y)
            Fill.Span(Fill.Bounds().Left, Fill.Bounds().Right, y, TPixelMask::Ink);
        FillMaskWithBrush(S, Fill);

        TPixelMask Line(Outer);
        if (W == 1 && FPen.Style() != psSolid && FPen.Style() != psInsideFrame) {
            TStroke Stroke(FPen, FBrush.Style() == bsSolid);
            const std::int64_t r = OR - 1, b = OB - 1;
            Stroke.Line(Line, OL, OT, r, OT, false);
            Stroke.Line(Line, r, OT, r, b, false);
            Stroke.Line(Line, r, b, OL, b, false);
            Stroke.Line(Line, OL, b, OL, OT, false);
        } else {
            const TRect& B = Line.Bounds();
            for (int y = B.Top; y < B.Bottom; ++y) {
                if (y < OT + W || y >= OB - W) {
                    Line.Span(B.Left, B.Right, y, TPixelMask::Ink);
                } else {
                    Line.Span(OL, OL + W, y, TPixelMask::Ink);
                    Line.Span(OR - W, OR, y, TPixelMask::Ink);
                }
            }
        }
        DrawWithPen(S, Line);
    });
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        const TRect R = Normalized(X1, Y1, X2, Y2);
        const TRect Surface = S.BoundsRect();
        const bool NoPen = FPen.Style() == psClear;
        const int W = NoPen ? 0 : std::max(1, FPen.Width());
        std::int64_t OL = R.Left, OT = R.Top, OR = R.Right, OB = R.Bottom;
        if (NoPen) {
            --OR;
            --OB;
        } else if (FPen.Style() != psInsideFrame) {
            const int o = (W - 1) / 2;
            OL -= o;
            OT -= o;
            OR += W - 1 - o;
            OB += W - 1 - o;
        }
        const TEllipse Outer(OL, OT, OR, OB);
        const TEllipse Inner(OL + W, OT + W, OR - W, OB - W);
        if (!Outer.Valid) return;
        auto Clamp = [](std::int64_t v) {
            return int(std::clamp<std::int64_t>(v, -0x7FFFFFFF, 0x7FFFFFFF));
        };
        const TRect Box = Clipped({Clamp(OL), Clamp(OT), Clamp(OR), Clamp(OB)}, Surface);
        TPixelMask Fill(Box), Line(Box);
        for (int y = Box.Top; y < Box.Bottom; ++y) {
            std::int64_t a1, a2, b1, b2;
            if (!Outer.Row(y, a1, a2)) continue;
            if (Inner.Row(y, b1, b2)) {
                Fill.Span(b1, b2, y, TPixelMask::Ink);
                Line.Span(a1, b1, y, TPixelMask::Ink);
                Line.Span(b2, a2, y, TPixelMask::Ink);
            } else {
                Line.Span(a1, a2, y, TPixelMask::Ink);
            }
        }
        if (NoPen) {
            // Without a pen the whole ellipse is interior.
            for (int y = Box.Top; y < Box.Bottom; ++y)
                for (int x = Box.Left; x < Box.Right; ++x)
                    if (Line.Get(x, y) != TPixelMask::None) Fill.Set(x, y, TPixelMask::Ink);
            FillMaskWithBrush(S, Fill);
            return;
        }
        FillMaskWithBrush(S, Fill);
        DrawWithPen(S, Line);
    });
}

void TCanvas::Polygon(std::span<const TPoint> Points) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (Points.empty()) return;
        const TRect Surface = S.BoundsRect();
        const TRect Box = StrokeBounds(Points, std::max(1, FPen.Width()), Surface);
        if (Box.IsEmpty()) return;
        // Interior by the alternate rule, sampling each pixel at its integer
        // coordinates (the points the outline's walk visits), half-open on
        // the right and at the bottom.
        TPixelMask Fill(Box);
        if (FBrush.Style() != bsClear && Points.size() >= 3) {
            std::vector<double> Xs;
            for (int y = Box.Top; y < Box.Bottom; ++y) {
                Xs.clear();
                for (std::size_t i = 0; i < Points.size(); ++i) {
                    const TPoint& a = Points[i];
                    const TPoint& b = Points[(i + 1) % Points.size()];
                    if ((a.Y <= y) == (b.Y <= y)) continue;
                    Xs.push_back(a.X + double(std::int64_t(y) - a.Y) *
                                           double(std::int64_t(b.X) - a.X) /
                                           double(std::int64_t(b.Y) - a.Y));
                }
                std::sort(Xs.begin(), Xs.end());
                for (std::size_t i = 0; i + 1 < Xs.size(); i += 2) {
                    const double From = std::max(Xs[i], double(Box.Left) - 1);
                    const double To = std::min(Xs[i + 1], double(Box.Right) + 1);
                    Fill.Span(std::int64_t(std::ceil(From)), std::int64_t(std::ceil(To)), y,
                              TPixelMask::Ink);
                }
            }
        }
        FillMaskWithBrush(S, Fill);
        if (FPen.Style() == psClear) return;
        TPixelMask Line(Box);
        TStroke Stroke(FPen, FBrush.Style() == bsSolid);
        for (std::size_t i = 0; i < Points.size(); ++i) {
            const TPoint& a = Points[i];
            const TPoint& b = Points[(i + 1) % Points.size()];
            Stroke.Line(Line, a.X, a.Y, b.X, b.Y, Points.size() == 1);
        }
        DrawWithPen(S, Line);
    });
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (Points.size() < 2 || FPen.Style() == psClear) return;
        const TRect Box = StrokeBounds(Points, std::max(1, FPen.Width()), S.BoundsRect());
        if (Box.IsEmpty()) return;
        TPixelMask Line(Box);
        TStroke Stroke(FPen, FBrush.Style() == bsSolid);
        for (std::size_t i = 0; i + 1 < Points.size(); ++i)
            Stroke.Line(Line, Points[i].X, Points[i].Y, Points[i + 1].X, Points[i + 1].Y,
                        Stroke.Width > 1);
        DrawWithPen(S, Line);
    });
}

void TCanvas::MoveTo(int X, int Y) {
    FPenPos = {X, Y};
}

void TCanvas::LineTo(int X, int Y) {
    const TPoint From = FPenPos;
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (FPen.Style() == psClear) return;
        const TPoint Pts[2] = {From, {X, Y}};
        const TRect Box = StrokeBounds(Pts, std::max(1, FPen.Width()), S.BoundsRect());
        if (Box.IsEmpty()) return;
        TPixelMask Line(Box);
        TStroke Stroke(FPen, FBrush.Style() == bsSolid);
        // Wide pens have round caps, which cover the end point too.
        Stroke.Line(Line, From.X, From.Y, X, Y, Stroke.Width > 1);
        DrawWithPen(S, Line);
    });
    FPenPos = {X, Y};
}

TSize TCanvas::TextExtent(std::string_view Text) {
    return MeasureText(FFont.LogFont(), Text);
}

void TCanvas::DrawTextCore(int X, int Y, std::string_view Text, const TRect* Clip, bool Opaque,
                           const TRect* OpaqueRect) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        const TLogFont Log = FFont.LogFont();
        if (Opaque) {
            TRect Cell;
            if (OpaqueRect != nullptr) {
                Cell = *OpaqueRect;
            } else {
                const TSize e = MeasureText(Log, Text);
                Cell = {X, Y, int(std::min<std::int64_t>(std::int64_t(X) + e.cx, 0x7FFFFFFF)),
                        int(std::min<std::int64_t>(std::int64_t(Y) + e.cy, 0x7FFFFFFF))};
            }
            const std::uint32_t Color = ColorToPixel(FBrush.Color());
            const TRect R = Clipped(Cell, S.BoundsRect());
            for (int y = R.Top; y < R.Bottom; ++y) {
                Byte* p = PixelAt(S, R.Left, y);
                for (int x = R.Left; x < R.Right; ++x, p += 4)
                    StorePixel(p, Color);
            }
        }
        DrawText(S, X, Y, Text, Log, FFont.Color(), Clip);
    });
}

void TCanvas::TextOut(int X, int Y, std::string_view Text) {
    DrawTextCore(X, Y, Text, nullptr, FBrush.Style() == bsSolid, nullptr);
    FPenPos = {
        int(std::clamp<std::int64_t>(std::int64_t(X) + TextWidth(Text), INT32_MIN, INT32_MAX)), Y};
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, std::string_view Text) {
    DrawTextCore(X, Y, Text, &Rect, FBrush.Style() != bsClear, &Rect);
}

TColor TCanvas::Pixels(int X, int Y) {
    TPixelSurface S;
    if (!AcquireSurface(S)) return CLR_INVALID;
    TColor Result = CLR_INVALID;
    if (X >= 0 && Y >= 0 && X < S.Width && Y < S.Height)
        Result = PixelToColor(LoadPixel(PixelAt(S, X, Y)));
    ReleaseSurface(false);
    return Result;
}

void TCanvas::SetPixels(int X, int Y, TColor Color) {
    DrawOperation(*this, [&](TPixelSurface& S) {
        if (X >= 0 && Y >= 0 && X < S.Width && Y < S.Height)
            StorePixel(PixelAt(S, X, Y), ColorToPixel(Color));
    });
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
    if (Canvas == nullptr) return;
    DrawOperation(*this, [&](TPixelSurface& D) {
        TPixelSurface Src;
        if (!Canvas->AcquireSurface(Src)) return;
        struct TRelease {
            TCanvas* C;
            ~TRelease() { C->ReleaseSurface(false); }
        } Release{Canvas};

        const std::int64_t Dw = std::int64_t(Dest.Right) - Dest.Left;
        const std::int64_t Dh = std::int64_t(Dest.Bottom) - Dest.Top;
        const std::int64_t Sw = std::int64_t(Source.Right) - Source.Left;
        const std::int64_t Sh = std::int64_t(Source.Bottom) - Source.Top;
        if (Dw == 0 || Dh == 0 || Sw == 0 || Sh == 0) return;
        const bool FlipX = (Dw < 0) != (Sw < 0), FlipY = (Dh < 0) != (Sh < 0);
        const std::int64_t ADw = std::llabs(Dw), ADh = std::llabs(Dh);
        const std::int64_t ASw = std::llabs(Sw), ASh = std::llabs(Sh);
        const std::int64_t DL = std::min<std::int64_t>(Dest.Left, Dest.Right);
        const std::int64_t DT = std::min<std::int64_t>(Dest.Top, Dest.Bottom);
        const std::int64_t SL = std::min<std::int64_t>(Source.Left, Source.Right);
        const std::int64_t ST = std::min<std::int64_t>(Source.Top, Source.Bottom);

        const std::int64_t X0 = std::max<std::int64_t>(DL, 0),
                           X1 = std::min<std::int64_t>(DL + ADw, D.Width);
        const std::int64_t Y0 = std::max<std::int64_t>(DT, 0),
                           Y1 = std::min<std::int64_t>(DT + ADh, D.Height);
        if (X0 >= X1 || Y0 >= Y1) return;

        // Source column and row of each destination pixel (nearest centre);
        // -1 where the source pixel lies outside its surface.
        auto Map = [](std::int64_t i, std::int64_t ADst, std::int64_t ASrc, bool Flip,
                      std::int64_t Origin, int Limit) -> std::int64_t {
            // Both factors reach 2^33: the product needs more than 64 bits.
            std::int64_t k = std::int64_t((__int128(2 * i + 1) * ASrc) / (__int128(2) * ADst));
            if (Flip) k = ASrc - 1 - k;
            const std::int64_t s = Origin + k;
            return s >= 0 && s < Limit ? s : -1;
        };
        std::vector<std::int64_t> Cols(std::size_t(X1 - X0));
        for (std::int64_t x = X0; x < X1; ++x)
            Cols[std::size_t(x - X0)] = Map(x - DL, ADw, ASw, FlipX, SL, Src.Width);

        // Read every source row needed before writing, so that copying within
        // one surface is correct whatever the overlap.
        const std::int64_t Rows = Y1 - Y0, Width = X1 - X0;
        std::vector<std::uint32_t> Buf(std::size_t(Rows * Width));
        std::vector<char> RowValid(static_cast<std::size_t>(Rows), 0);
        for (std::int64_t y = Y0; y < Y1; ++y) {
            const std::int64_t sy = Map(y - DT, ADh, ASh, FlipY, ST, Src.Height);
            RowValid[std::size_t(y - Y0)] = sy >= 0;
            if (sy < 0) continue;
            std::uint32_t* Out = &Buf[std::size_t((y - Y0) * Width)];
            for (std::int64_t i = 0; i < Width; ++i)
                if (Cols[std::size_t(i)] >= 0)
                    Out[i] = LoadPixel(PixelAt(Src, int(Cols[std::size_t(i)]), int(sy)));
        }
        const std::uint32_t Pattern = ColorToPixel(FBrush.Color());
        const std::uint32_t Code = std::uint32_t(FCopyMode);
        for (std::int64_t y = Y0; y < Y1; ++y) {
            if (!RowValid[std::size_t(y - Y0)]) continue;
            const std::uint32_t* In = &Buf[std::size_t((y - Y0) * Width)];
            Byte* p = PixelAt(D, int(X0), int(y));
            for (std::int64_t i = 0; i < Width; ++i, p += 4)
                if (Cols[std::size_t(i)] >= 0)
                    StorePixel(p, Rop3(Code, Pattern, In[i], LoadPixel(p)));
        }
    });
}
