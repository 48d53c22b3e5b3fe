#include "editor/BuiltinPictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "platform/base/Types.h"
#include "raster/RasterCore.h"

namespace {

struct TPt {
    float X, Y;
};

// Inside test in unit coordinates (0..1 across the picture).
using TShape = std::function<bool(float X, float Y)>;

bool InPolygon(const std::vector<TPt>& P, float X, float Y) {
    bool In = false;
    for (std::size_t i = 0, j = P.size() - 1; i < P.size(); j = i++) {
        if ((P[i].Y > Y) != (P[j].Y > Y) &&
            X < (P[j].X - P[i].X) * (Y - P[i].Y) / (P[j].Y - P[i].Y) + P[i].X)
            In = !In;
    }
    return In;
}

bool InCircle(float Cx, float Cy, float R, float X, float Y) {
    return (X - Cx) * (X - Cx) + (Y - Cy) * (Y - Cy) <= R * R;
}

std::vector<TPt> RegularPolygon(int Corners, float Outer, float Inner, float Turn) {
    std::vector<TPt> P;
    const int n = Inner > 0 ? Corners * 2 : Corners;
    for (int i = 0; i < n; ++i) {
        const float r = (Inner > 0 && (i % 2) == 1) ? Inner : Outer;
        const float a = Turn + float(i) * 2 * std::numbers::pi_v<float> / float(n);
        P.push_back({0.5f + r * std::cos(a), 0.5f + r * std::sin(a)});
    }
    return P;
}

TShape Polygon(std::vector<TPt> P) {
    return [P = std::move(P)](float X, float Y) { return InPolygon(P, X, Y); };
}

constexpr float Up = -std::numbers::pi_v<float> / 2;

struct TClipArtDef {
    int Width, Height;
    TColor32 Light, Dark; // top and bottom of the fill's gradient
    TShape Shape;
};

TClipArtDef Definition(int Index) {
    switch (Index) {
    case 0: // disc
        return {48, 48, 0xFFFF8A80, 0xFFC62828,
                [](float X, float Y) { return InCircle(0.5f, 0.5f, 0.45f, X, Y); }};
    case 1: // rounded square
        return {48, 48, 0xFF82B1FF, 0xFF1565C0, [](float X, float Y) {
                    const float dx = std::max(std::abs(X - 0.5f) - 0.3f, 0.0f);
                    const float dy = std::max(std::abs(Y - 0.5f) - 0.3f, 0.0f);
                    return dx * dx + dy * dy <= 0.15f * 0.15f;
                }};
    case 2: // triangle
        return {48, 48, 0xFFB9F6CA, 0xFF2E7D32, Polygon(RegularPolygon(3, 0.48f, 0, Up))};
    case 3: // diamond
        return {48, 48, 0xFFFFE57F, 0xFFF9A825, Polygon(RegularPolygon(4, 0.47f, 0, Up))};
    case 4: // five-pointed star
        return {48, 48, 0xFFFFF59D, 0xFFFF8F00, Polygon(RegularPolygon(5, 0.48f, 0.2f, Up))};
    case 5: // heart
        return {48, 48, 0xFFFF80AB, 0xFFAD1457, [](float X, float Y) {
                    const float x = (X - 0.5f) * 2.6f, y = (0.42f - Y) * 2.6f;
                    const float a = x * x + y * y - 1;
                    return a * a * a - x * x * y * y * y <= 0;
                }};
    case 6: // ring
        return {48, 48, 0xFFEA80FC, 0xFF6A1B9A, [](float X, float Y) {
                    return InCircle(0.5f, 0.5f, 0.46f, X, Y) && !InCircle(0.5f, 0.5f, 0.28f, X, Y);
                }};
    case 7: // arrow pointing right
        return {48, 48, 0xFF84FFFF, 0xFF00838F,
                Polygon({{0.05f, 0.35f},
                         {0.55f, 0.35f},
                         {0.55f, 0.12f},
                         {0.95f, 0.5f},
                         {0.55f, 0.88f},
                         {0.55f, 0.65f},
                         {0.05f, 0.65f}})};
    case 8: // plus sign
        return {48, 48, 0xFFCCFF90, 0xFF558B2F, [](float X, float Y) {
                    const bool h = std::abs(Y - 0.5f) <= 0.14f && std::abs(X - 0.5f) <= 0.44f;
                    const bool v = std::abs(X - 0.5f) <= 0.14f && std::abs(Y - 0.5f) <= 0.44f;
                    return h || v;
                }};
    case 9: // hexagon
        return {48, 48, 0xFFFFD180, 0xFFE65100, Polygon(RegularPolygon(6, 0.47f, 0, 0))};
    case 10: // crescent
        return {48, 48, 0xFFFFFDE7, 0xFFFBC02D, [](float X, float Y) {
                    return InCircle(0.5f, 0.5f, 0.42f, X, Y) &&
                           !InCircle(0.66f, 0.38f, 0.34f, X, Y);
                }};
    case 11: // lightning bolt
        return {48, 48, 0xFFFFFF8D, 0xFFFFAB00,
                Polygon({{0.58f, 0.03f},
                         {0.18f, 0.56f},
                         {0.46f, 0.56f},
                         {0.36f, 0.97f},
                         {0.82f, 0.40f},
                         {0.53f, 0.40f}})};
    case 12: // speech bubble, a smaller picture
        return {32, 32, 0xFFFFFFFF, 0xFF90A4AE, [](float X, float Y) {
                    const float dx = (X - 0.5f) / 0.46f, dy = (Y - 0.42f) / 0.34f;
                    return dx * dx + dy * dy <= 1 ||
                           InPolygon({{0.25f, 0.6f}, {0.15f, 0.97f}, {0.5f, 0.7f}}, X, Y);
                }};
    case 13: // ribbon banner, wider than tall
        return {64, 32, 0xFFFF8A65, 0xFFBF360C,
                Polygon({{0.0f, 0.2f},
                         {1.0f, 0.2f},
                         {0.9f, 0.5f},
                         {1.0f, 0.8f},
                         {0.0f, 0.8f},
                         {0.1f, 0.5f}})};
    default:
        return {0, 0, 0, 0, nullptr};
    }
}

Byte Mix(Byte A, Byte B, float T) {
    return Byte(float(A) + (float(B) - float(A)) * T + 0.5f);
}

TColor32 Gradient(TColor32 Light, TColor32 Dark, float T) {
    return 0xFF000000u | Cardinal(Mix(Byte(Light >> 16), Byte(Dark >> 16), T)) << 16 |
           Cardinal(Mix(Byte(Light >> 8), Byte(Dark >> 8), T)) << 8 |
           Cardinal(Mix(Byte(Light), Byte(Dark), T));
}

} // namespace

void LayOnWhite(TBitmap32& Picture) {
    if (Picture.Empty()) return;
    const std::size_t Count = std::size_t(Picture.Width()) * std::size_t(Picture.Height());
    TColor32* Pixels = Picture.ScanLine(0);
    const bool NoAlpha =
        std::all_of(Pixels, Pixels + Count, [](TColor32 C) { return C >> 24 == 0; });
    if (NoAlpha ||
        std::all_of(Pixels, Pixels + Count, [](TColor32 C) { return C >> 24 == 0xFF; })) {
        for (std::size_t I = 0; I < Count; ++I)
            Pixels[I] |= 0xFF000000u;
        Picture.Changed();
        return;
    }
    TBitmap32 Ground;
    Ground.SetDimensions(Picture.Width(), Picture.Height());
    Ground.ClearToColor(0xFFFFFFFFu);
    const TDrawMode Mode = Picture.DrawMode();
    Picture.SetDrawMode(dmBlend);
    Picture.DrawOnto(&Ground, 0, 0);
    Picture.SetDrawMode(Mode);
    // The pixels only, made opaque (blending leaves the ground's alpha
    // short of 255): the picture keeps its own drawing properties.
    const TColor32* Laid = Ground.ScanLine(0);
    for (std::size_t I = 0; I < Count; ++I)
        Pixels[I] = Laid[I] | 0xFF000000u;
    Picture.Changed();
}

void DrawClipArt(int Index, TBitmap32& Dest) {
    const TClipArtDef Def = Definition(Index);
    Dest.SetDimensions(Def.Width, Def.Height);
    if (Def.Width == 0) return;
    constexpr int Samples = 4; // 4 x 4 samples per pixel for the edge coverage
    for (int y = 0; y < Def.Height; ++y) {
        TColor32* Row = Dest.ScanLine(y);
        const TColor32 Fill = Gradient(Def.Light, Def.Dark, float(y) / float(Def.Height - 1));
        for (int x = 0; x < Def.Width; ++x) {
            int Hits = 0;
            for (int sy = 0; sy < Samples; ++sy)
                for (int sx = 0; sx < Samples; ++sx)
                    if (Def.Shape((float(x) + (float(sx) + 0.5f) / Samples) / float(Def.Width),
                                  (float(y) + (float(sy) + 0.5f) / Samples) / float(Def.Height)))
                        ++Hits;
            const Cardinal Alpha = Cardinal(Hits * 255 / (Samples * Samples));
            Row[x] = Alpha == 0 ? 0u : ((Fill & 0x00FFFFFFu) | Alpha << 24);
        }
    }
    Dest.Changed();
}

void DrawSplashPicture(TBitmap32& Dest) {
    Dest.SetDimensions(SplashWidth, SplashHeight);
    // A deep blue diagonal gradient with a few translucent discs, a quiet
    // ground for the labels the window puts over it.
    struct TDisc {
        float X, Y, R;
        TColor32 Color;
    };
    constexpr std::array<TDisc, 4> Discs{{{300, 40, 90, 0x40FFC107},
                                          {60, 170, 70, 0x3000E5FF},
                                          {200, 210, 60, 0x30FF4081},
                                          {330, 170, 30, 0x50FFFFFF}}};
    for (int y = 0; y < SplashHeight; ++y) {
        TColor32* Row = Dest.ScanLine(y);
        for (int x = 0; x < SplashWidth; ++x) {
            const float t = float(x + y) / float(SplashWidth + SplashHeight - 2);
            float r = 0x0D + (0x3A - 0x0D) * t, g = 0x1B + (0x5F - 0x1B) * t,
                  b = 0x4A + (0xC8 - 0x4A) * t;
            for (const TDisc& d : Discs) {
                const float dx = float(x) - d.X, dy = float(y) - d.Y;
                if (dx * dx + dy * dy > d.R * d.R) continue;
                const float a = float(d.Color >> 24) / 255.0f;
                r += (float((d.Color >> 16) & 0xFF) - r) * a;
                g += (float((d.Color >> 8) & 0xFF) - g) * a;
                b += (float(d.Color & 0xFF) - b) * a;
            }
            Row[x] = 0xFF000000u | Cardinal(r) << 16 | Cardinal(g) << 8 | Cardinal(b);
        }
    }
    Dest.Changed();
}

namespace {

// One layer of an icon: a shape filled with a gradient from Light (top) to
// Dark (bottom) and edged in a darker tone of Dark.
struct TLayer {
    TShape Shape;
    TColor32 Light, Dark;
};

TShape Rect01(float L, float T, float R, float B) {
    return [=](float X, float Y) { return X >= L && X <= R && Y >= T && Y <= B; };
}
TShape Disc(float Cx, float Cy, float R) {
    return [=](float X, float Y) { return InCircle(Cx, Cy, R, X, Y); };
}
TShape Union(TShape A, TShape B) {
    return [=](float X, float Y) { return A(X, Y) || B(X, Y); };
}
TShape Minus(TShape A, TShape B) {
    return [=](float X, float Y) { return A(X, Y) && !B(X, Y); };
}
// A bar of half-width W from (X1, Y1) to (X2, Y2).
TShape Bar(float X1, float Y1, float X2, float Y2, float W) {
    return [=](float X, float Y) {
        const float Dx = X2 - X1, Dy = Y2 - Y1;
        const float T =
            std::clamp(((X - X1) * Dx + (Y - Y1) * Dy) / (Dx * Dx + Dy * Dy), 0.0f, 1.0f);
        const float Px = X1 + T * Dx - X, Py = Y1 + T * Dy - Y;
        return Px * Px + Py * Py <= W * W;
    };
}

constexpr TColor32 White = 0xFFFFFFFF, Paper = 0xFFE8EEF4;
constexpr TColor32 Blue1 = 0xFF8CC8FF, Blue2 = 0xFF1E64C8;
constexpr TColor32 Green1 = 0xFFA6F0B4, Green2 = 0xFF1E8C46;
constexpr TColor32 Gold1 = 0xFFFFE890, Gold2 = 0xFFE0A020;
constexpr TColor32 Red1 = 0xFFFF9A8C, Red2 = 0xFFC83228;

std::vector<TLayer> IconLayers(TProgramIcon Icon) {
    switch (Icon) {
    case piNew: {
        TShape Page =
            Polygon({{0.2f, 0.06f}, {0.6f, 0.06f}, {0.82f, 0.28f}, {0.82f, 0.94f}, {0.2f, 0.94f}});
        return {{Page, White, Paper},
                {Polygon({{0.6f, 0.06f}, {0.82f, 0.28f}, {0.6f, 0.28f}}), Blue1, Blue2}};
    }
    case piOpen:
        return {{Union(Rect01(0.06f, 0.2f, 0.42f, 0.34f), Rect01(0.06f, 0.3f, 0.9f, 0.86f)), Gold1,
                 Gold2},
                {Polygon({{0.2f, 0.46f}, {0.98f, 0.46f}, {0.86f, 0.86f}, {0.06f, 0.86f}}),
                 0xFFFFF4C0, Gold1}};
    case piSave:
        return {{Rect01(0.1f, 0.1f, 0.9f, 0.9f), Blue1, Blue2},
                {Rect01(0.26f, 0.1f, 0.74f, 0.42f), White, Paper},
                {Rect01(0.3f, 0.6f, 0.7f, 0.9f), Paper, 0xFFB4C8DC}};
    case piHelp:
        return {{Disc(0.5f, 0.5f, 0.44f), Blue1, Blue2},
                {Union(Minus(Minus(Disc(0.5f, 0.38f, 0.2f), Disc(0.5f, 0.38f, 0.09f)),
                             Rect01(0.2f, 0.38f, 0.5f, 0.7f)),
                       Union(Rect01(0.45f, 0.5f, 0.56f, 0.64f), Disc(0.505f, 0.76f, 0.07f))),
                 White, White}};
    case piExample:
        return {{Rect01(0.08f, 0.16f, 0.92f, 0.84f), Paper, 0xFFB4C8DC},
                {Polygon(RegularPolygon(5, 0.3f, 0.13f, Up)), Gold1, Gold2}};
    case piClose:
        return {
            {Union(Bar(0.22f, 0.22f, 0.78f, 0.78f, 0.11f), Bar(0.78f, 0.22f, 0.22f, 0.78f, 0.11f)),
             Red1, Red2}};
    case piQuit:
        return {{Minus(Disc(0.5f, 0.54f, 0.4f),
                       Union(Disc(0.5f, 0.54f, 0.26f), Rect01(0.36f, 0.0f, 0.64f, 0.45f))),
                 Red1, Red2},
                {Rect01(0.43f, 0.06f, 0.57f, 0.5f), Red1, Red2}};
    case piResize:
        return {{Union(Union(Bar(0.2f, 0.8f, 0.8f, 0.2f, 0.07f),
                             Polygon({{0.5f, 0.12f}, {0.88f, 0.12f}, {0.88f, 0.5f}})),
                       Polygon({{0.12f, 0.5f}, {0.12f, 0.88f}, {0.5f, 0.88f}})),
                 Green1, Green2}};
    case piPreview:
        return {{Disc(0.5f, 0.5f, 0.44f), Green1, Green2},
                {Polygon({{0.38f, 0.28f}, {0.74f, 0.5f}, {0.38f, 0.72f}}), White, White}};
    case piExport:
        return {
            {Rect01(0.06f, 0.14f, 0.94f, 0.86f), 0xFFBEE6FF, 0xFF78B4E6},
            {Polygon(
                 {{0.06f, 0.86f}, {0.38f, 0.44f}, {0.6f, 0.7f}, {0.72f, 0.56f}, {0.94f, 0.86f}}),
             Green1, Green2},
            {Disc(0.72f, 0.32f, 0.09f), Gold1, Gold2}};
    case piAbout:
        return {
            {Disc(0.5f, 0.5f, 0.44f), Blue1, Blue2},
            {Union(Rect01(0.43f, 0.42f, 0.57f, 0.78f), Disc(0.5f, 0.27f, 0.08f)), White, White}};
    case piWeb:
        return {
            {Disc(0.5f, 0.5f, 0.44f), Blue1, Blue2},
            {Union(Union(Rect01(0.08f, 0.46f, 0.92f, 0.54f), Rect01(0.46f, 0.08f, 0.54f, 0.92f)),
                   Minus(Disc(0.5f, 0.5f, 0.3f), Disc(0.5f, 0.5f, 0.23f))),
             White, Paper}};
    case piMail:
        return {{Rect01(0.06f, 0.2f, 0.94f, 0.8f), White, Paper},
                {Union(Bar(0.1f, 0.26f, 0.5f, 0.56f, 0.05f), Bar(0.9f, 0.26f, 0.5f, 0.56f, 0.05f)),
                 Blue1, Blue2}};
    case piExpand:
        return {{Union(Bar(0.2f, 0.36f, 0.5f, 0.66f, 0.12f), Bar(0.8f, 0.36f, 0.5f, 0.66f, 0.12f)),
                 Green1, Green2}};
    case piCollapse:
        return {{Union(Bar(0.2f, 0.64f, 0.5f, 0.34f, 0.12f), Bar(0.8f, 0.64f, 0.5f, 0.34f, 0.12f)),
                 Green1, Green2}};
    default:
        return {};
    }
}

TColor32 Darker(TColor32 C) {
    return 0xFF000000u | Cardinal(Byte(C >> 16) * 3 / 5) << 16 |
           Cardinal(Byte(C >> 8) * 3 / 5) << 8 | Cardinal(Byte(C) * 3 / 5);
}

// Source-over of a colour with coverage Alpha (0..255) onto a pixel.
TColor32 Over(TColor32 Dst, TColor32 Src, Cardinal Alpha) {
    const Cardinal Da = Dst >> 24;
    const Cardinal Oa = Alpha + Da * (255 - Alpha) / 255;
    if (Oa == 0) return 0;
    auto Ch = [&](int Shift) {
        const Cardinal S = (Src >> Shift) & 0xFF, D = (Dst >> Shift) & 0xFF;
        return ((S * Alpha + D * Da * (255 - Alpha) / 255) / Oa) << Shift;
    };
    return Oa << 24 | Ch(16) | Ch(8) | Ch(0);
}

} // namespace

void DrawProgramIcon(TProgramIcon Icon, int Size, TBitmap32& Dest) {
    Dest.SetDimensions(Size, Size);
    Dest.ClearToColor(0);
    PaintProgramIcon(Icon, Dest);
}

void PaintProgramIcon(TProgramIcon Icon, TBitmap32& Dest) {
    const int Size = std::min(Dest.Width(), Dest.Height());
    if (Size <= 0) return;
    constexpr int Samples = 4;
    // The edge: a sample inside the shape whose neighbour one pixel away
    // is outside.
    const float Edge = 1.0f / float(Size);
    for (const TLayer& L : IconLayers(Icon)) {
        for (int y = 0; y < Size; ++y) {
            TColor32* Row = Dest.ScanLine(y);
            const TColor32 Fill =
                Gradient(L.Light, L.Dark, float(y) / float(std::max(1, Size - 1)));
            const TColor32 Rim = Darker(L.Dark);
            for (int x = 0; x < Size; ++x) {
                int In = 0, OnEdge = 0;
                for (int sy = 0; sy < Samples; ++sy)
                    for (int sx = 0; sx < Samples; ++sx) {
                        const float X = (float(x) + (float(sx) + 0.5f) / Samples) / float(Size);
                        const float Y = (float(y) + (float(sy) + 0.5f) / Samples) / float(Size);
                        if (!L.Shape(X, Y)) continue;
                        ++In;
                        if (!L.Shape(X - Edge, Y) || !L.Shape(X + Edge, Y) ||
                            !L.Shape(X, Y - Edge) || !L.Shape(X, Y + Edge))
                            ++OnEdge;
                    }
                if (In == 0) continue;
                const Cardinal A = Cardinal(In * 255 / (Samples * Samples));
                TColor32 C = Fill;
                if (OnEdge > 0) C = Gradient(Fill, Rim, float(OnEdge) / float(In));
                Row[x] = Over(Row[x], C, A);
            }
        }
    }
    Dest.Changed();
}
