#include "banner/TemplateArt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "banner/Templates.h"
#include "platform/base/FileNames.h"
#include "platform/base/Rounding.h"
#include "platform/graphics/BmpFormat.h"

namespace {

std::uint32_t Hash(std::uint32_t X) {
    X ^= X >> 16;
    X *= 0x7FEB352Du;
    X ^= X >> 15;
    X *= 0x846CA68Bu;
    X ^= X >> 16;
    return X;
}

// 0..1 noise for a pixel, fixed by the seed.
double Noise(int X, int Y, std::uint32_t Seed) {
    return Hash(std::uint32_t(X) * 73856093u ^ std::uint32_t(Y) * 19349663u ^ Hash(Seed)) /
           4294967295.0;
}

TColor32 FromHue(double Hue, double Sat, double Val) {
    Hue = std::fmod(Hue, 360.0);
    if (Hue < 0) Hue += 360.0;
    const double C = Val * Sat;
    const double H = Hue / 60.0;
    const double X = C * (1 - std::fabs(std::fmod(H, 2.0) - 1));
    double R = 0, G = 0, B = 0;
    switch (int(H)) {
    case 0:
        R = C, G = X;
        break;
    case 1:
        R = X, G = C;
        break;
    case 2:
        G = C, B = X;
        break;
    case 3:
        G = X, B = C;
        break;
    case 4:
        R = X, B = C;
        break;
    default:
        R = C, B = X;
        break;
    }
    const double M = Val - C;
    auto Byte8 = [M](double V) { return std::clamp(Round((V + M) * 255.0), 0, 255); };
    return MakeColor32(Byte8(R), Byte8(G), Byte8(B));
}

TColor32 Mix(TColor32 A, TColor32 B, double T) {
    T = std::clamp(T, 0.0, 1.0);
    auto Ch = [T](int P, int Q) { return Round(P + (Q - P) * T); };
    return MakeColor32(Ch(RedComponent(A), RedComponent(B)),
                       Ch(GreenComponent(A), GreenComponent(B)),
                       Ch(BlueComponent(A), BlueComponent(B)));
}

// A pattern pixel never takes the key colour by accident: the key set must
// be exactly the background.
TColor32 AvoidKey(TColor32 C, TColor32 Key) {
    return C == Key ? (C ^ 0x00000001u) : C;
}

constexpr double Pi = std::numbers::pi;

// Foreground of a customisable template at (X, Y), or false for background.
// The pattern fades towards Fade, never towards the key colour: the user
// recolours the key pixels only, and shades of the old key would stay
// behind as a ghost of the former background.
bool PatternPixel(int Kind, int X, int Y, int W, int H, int N, TColor32 Fg, TColor32 Fade,
                  TColor32& Out) {
    const int S = std::max(4, H / 6);
    const double Fy = double(Y) / std::max(1, H - 1);
    const double Fx = double(X) / std::max(1, W - 1);
    switch (Kind) {
    case 0: { // diagonal stripes, shaded from top to bottom
        if (((X + Y) / S) % 3 != 0) return false;
        Out = Mix(Fg, Fade, 0.15 + 0.5 * Fy);
        return true;
    }
    case 1: { // checks fading towards the right
        if (((X / S) + (Y / S)) % 2 != 0) return false;
        if (Noise(X / S, Y / S, N) > 1.0 - Fx) return false;
        Out = Mix(Fg, Fade, 0.35 * Fx);
        return true;
    }
    case 2: { // two waves crossing the banner
        for (int K = 0; K < 2; ++K) {
            const double Centre = H * (0.35 + 0.3 * K) +
                                  H * 0.18 * std::sin(2 * Pi * (X / double(S * 8)) + K * 1.7 + N);
            const double D = std::fabs(Y - Centre);
            if (D < S * 0.6) {
                Out = Mix(Fg, Fade, D / (S * 0.9) + 0.2 * K);
                return true;
            }
        }
        return false;
    }
    case 3: { // dots on a grid, larger towards the left
        const int G = S * 2;
        const double Cx = (X / G) * G + G / 2.0, Cy = (Y / G) * G + G / 2.0;
        const double R = G * (0.15 + 0.3 * (1.0 - Fx));
        const double D = std::hypot(X - Cx, Y - Cy);
        if (D > R) return false;
        Out = Mix(Fg, Fade, D / (R + 1) * 0.5);
        return true;
    }
    case 4: { // soft bars along the top and bottom edges
        const int Bar = std::max(2, H / 8);
        if (Y >= Bar && Y < H - Bar - 1) return false;
        const double T = Y < Bar ? double(Y) / Bar : double(H - 1 - Y) / Bar;
        Out = Mix(Fg, Fade, T * 0.7);
        return true;
    }
    case 5: { // rings from a point on the left
        const double D = std::hypot(X - W * 0.1, Y - H * 0.5);
        if (int(D / S) % 2 != 0) return false;
        Out = Mix(Fg, Fade, std::min(0.85, D / (W * 1.1)));
        return true;
    }
    case 6: { // speckles
        const double P = Noise(X, Y, N);
        if (P > 0.22) return false;
        Out = Mix(Fg, Fade, P * 3.0);
        return true;
    }
    default: { // zigzag band
        const int Period = S * 4;
        const int Phase = X % Period;
        const double Tri = Phase < Period / 2 ? Phase : Period - Phase;
        const double Centre = H * 0.5 + (Tri / (Period / 2.0) - 0.5) * H * 0.5;
        const double D = std::fabs(Y - Centre);
        if (D >= S * 0.75) return false;
        Out = Mix(Fg, Fade, D / S);
        return true;
    }
    }
}

} // namespace

TColor32 TemplateArtKeyColor(int N) {
    // Spread hues by the golden angle; light pastel backgrounds.
    return FromHue(N * 137.508, 0.25 + 0.04 * (N % 5), 0.96 - 0.03 * (N % 3));
}

void DrawTemplateArt(TBitmap32& Bitmap, int BannerFormat, int N) {
    const TTemplateFamily* F = TemplateFamily(BannerFormat);
    if (!F || N < 1) {
        Bitmap.Delete();
        return;
    }
    const int W = F->Width, H = F->Height;
    Bitmap.SetDimensions(W, H);
    const TColor32 Key = TemplateArtKeyColor(N);
    const double Hue = N * 137.508;

    if (!TemplateCustomizable(BannerFormat, N)) {
        // A free gradient across two hues with a slow wave and fine grain.
        const TColor32 A = FromHue(Hue + 20, 0.55, 0.95), B = FromHue(Hue + 160, 0.6, 0.7);
        for (int Y = 0; Y < H; ++Y) {
            TColor32* Row = Bitmap.ScanLine(Y);
            for (int X = 0; X < W; ++X) {
                const double T =
                    double(X) / W + 0.15 * std::sin(2 * Pi * (Y / double(H) + X / 90.0));
                const TColor32 C = Mix(A, B, T + 0.06 * (Noise(X, Y, N) - 0.5));
                Row[X] = C;
            }
        }
        Bitmap.Changed();
        return;
    }

    const TColor32 Fg = FromHue(Hue + 150 + 30 * (N % 4), 0.65, 0.55 + 0.05 * (N % 5));
    const TColor32 Fade = MakeColor32(255, 255, 255);
    const int Kind = (N - 1) % 8;
    for (int Y = 0; Y < H; ++Y) {
        TColor32* Row = Bitmap.ScanLine(Y);
        for (int X = 0; X < W; ++X) {
            TColor32 C;
            Row[X] = PatternPixel(Kind, X, Y, W, H, N, Fg, Fade, C) ? AvoidKey(C, Key) : Key;
        }
    }
    // The key pixel always carries the key colour, whatever the pattern.
    Bitmap.WritePixel(F->KeyX, F->KeyY, Key);
    Bitmap.Changed();
}

void SaveBitmap24(const TBitmap32& Bitmap, const std::string& FileName) {
    TDibImage Dib;
    Dib.Width = Bitmap.Width();
    Dib.Height = Bitmap.Height();
    Dib.PixelFormat = pf24bit;
    Dib.Bits.assign(std::size_t(Dib.Stride()) * std::size_t(Dib.Height), 0);
    for (int Y = 0; Y < Dib.Height; ++Y) {
        const TColor32* Src = Bitmap.ScanLine(Y);
        Byte* Dst = Dib.Row(Y);
        for (int X = 0; X < Dib.Width; ++X) {
            Dst[3 * X] = BlueComponent(Src[X]);
            Dst[3 * X + 1] = GreenComponent(Src[X]);
            Dst[3 * X + 2] = RedComponent(Src[X]);
        }
    }
    const std::vector<Byte> Bytes = WriteBmp(Dib);
    SaveFileAtomic(FileName,
                   std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

void WriteTemplateFile(const std::string& Folder, int BannerFormat, int N) {
    const TTemplateFamily* F = TemplateFamily(BannerFormat);
    if (!F) return;
    TBitmap32 B;
    DrawTemplateArt(B, BannerFormat, N);
    SaveBitmap24(B, IncludeTrailingPathDelimiter(Folder) + TemplateFileName(*F, N));
}

int WriteAllTemplateFiles(const std::string& Folder) {
    int Written = 0;
    for (int Format = 0; Format <= 3; ++Format) {
        for (int N = 1; N <= TemplateFamily(Format)->Count; ++N) {
            WriteTemplateFile(Folder, Format, N);
            ++Written;
        }
    }
    return Written;
}
