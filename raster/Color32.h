#pragma once
// TColor32: the engine's colour, 0xAARRGGBB, not premultiplied; in memory the
// bytes run blue, green, red, alpha. Plus the conversions from and to the
// class library's TColor, the gamma table and the per-channel colour
// operators (each works on all four channels, results kept in 0..255).
#include "platform/base/Types.h"
#include "platform/graphics/Colors.h"

#include <algorithm>
#include <cstdint>

using TColor32 = std::uint32_t;
using PColor32 = TColor32*;

inline constexpr Byte AlphaComponent(TColor32 C) {
    return Byte(C >> 24);
}
inline constexpr Byte RedComponent(TColor32 C) {
    return Byte(C >> 16);
}
inline constexpr Byte GreenComponent(TColor32 C) {
    return Byte(C >> 8);
}
inline constexpr Byte BlueComponent(TColor32 C) {
    return Byte(C);
}

// A shl 24 or R shl 16 or G shl 8 or B, each cut to its low 8 bits.
inline constexpr TColor32 MakeColor32(int R, int G, int B, int A = 255) {
    return (TColor32(A & 0xFF) << 24) | (TColor32(R & 0xFF) << 16) | (TColor32(G & 0xFF) << 8) |
           TColor32(B & 0xFF);
}

// A TColor (0x00BBGGRR, or a system colour when negative) as an opaque
// TColor32.
TColor32 ToColor32(TColor Color);
// 0x00BBGGRR; the alpha is dropped.
inline constexpr TColor ToWinColor(TColor32 Color) {
    return TColor(((Color & 0xFF) << 16) | (Color & 0xFF00) | ((Color >> 16) & 0xFF));
}
// Color with its alpha replaced by A limited to 0..255.
inline constexpr TColor32 WithAlpha(TColor32 Color, int A) {
    A = A < 0 ? 0 : (A > 255 ? 255 : A);
    return (Color & 0x00FFFFFF) | (TColor32(A) << 24);
}

// GammaTable[i] = Round(255 * (i / 255) ^ Gamma), half to even; built for
// 0.7 when the engine starts.
extern Byte GammaTable[256];
void BuildGammaTable(double Gamma = 0.7);

namespace Color32Detail {
// Applies Op to the four channels of C1 and C2; Op returns the channel
// already limited to 0..255.
template <class TOp> inline TColor32 PerChannel(TColor32 C1, TColor32 C2, TOp Op) {
    TColor32 r = 0;
    for (int shift = 0; shift < 32; shift += 8)
        r |= TColor32(Op(int((C1 >> shift) & 0xFF), int((C2 >> shift) & 0xFF))) << shift;
    return r;
}
} // namespace Color32Detail

inline TColor32 ColorAdd(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return std::min(255, a + b); });
}
inline TColor32 ColorSub(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return std::max(0, a - b); });
}
// c1 = 0 gives 255; else min(255, c2 * 256 div c1).
inline TColor32 ColorDiv(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(
        C1, C2, [](int a, int b) { return a == 0 ? 255 : std::min(255, b * 256 / a); });
}
inline TColor32 ColorModulate(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return (a * b) >> 8; });
}
inline TColor32 ColorMax(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return std::max(a, b); });
}
inline TColor32 ColorMin(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return std::min(a, b); });
}
inline TColor32 ColorDifference(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return a > b ? a - b : b - a; });
}
// c1 + c2 - (c1 * c2) div 128, limited to 0..255.
inline TColor32 ColorExclusion(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(
        C1, C2, [](int a, int b) { return std::clamp(a + b - (a * b) / 128, 0, 255); });
}
// (c1 + c2 + 1) shr 1: a half rounds up.
inline TColor32 ColorAverage(TColor32 C1, TColor32 C2) {
    return Color32Detail::PerChannel(C1, C2, [](int a, int b) { return (a + b + 1) >> 1; });
}
// c * W shr 8 while c * W < 65536, else 255.
inline TColor32 ColorScale(TColor32 C, Cardinal W) {
    TColor32 r = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint64_t p = std::uint64_t((C >> shift) & 0xFF) * W;
        r |= TColor32(p < 65536 ? p >> 8 : 255) << shift;
    }
    return r;
}
