#pragma once
// Per-pixel arithmetic with which one TColor32 is laid over another.
//
// One arithmetic serves every form: per channel, alpha included,
//   mix(x, y, w) = (w * x + (256 - w) * y + 128) shr 8,
// with w the weight of x (so an opaque F over black gives 254 in a 255
// channel when weighted by 255). Combine weighs by a given W, Blend by the
// foreground's alpha, Merge composes two translucent colours through the
// merge tables. The Mem forms update B in place; the Line forms run over
// Count pixels (nothing for Count <= 0; Src and Dst are either the same
// pointer or do not overlap). Weights and master alphas above 255 count as
// 255.
//
// The line forms exist in a portable, an SSE2, an AVX2 and an AVX-512 form with
// identical results (the merge forms too: the vector forms compute the
// merge tables' values exactly); SelectBlendRoutines picks one when the
// engine starts.
#include "raster/Color32.h"

#include <cstdint>

enum TCombineMode { cmBlend, cmMerge };

// MulDiv255Table[j * 256 + i] = Round(i * j / 255);
// DivTable[j * 256 + i] = 0 for j = 0, else the low 8 bits of Round(i * 255 / j).
// Both half to even; built by BuildMergeTables when the engine starts.
extern Byte MulDiv255Table[256 * 256];
extern Byte DivTable[256 * 256];
void BuildMergeTables();

namespace BlendDetail {
// mix(X, Y, W) on all four channels, W in 0..256; two channels per 32-bit
// multiply (each 16-bit lane stays below 65536, so no lane spills).
inline TColor32 Mix(TColor32 X, TColor32 Y, Cardinal W) {
    const Cardinal iw = 256 - W;
    const Cardinal rb =
        ((((X & 0x00FF00FF) * W + (Y & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF);
    const Cardinal ag =
        ((((X >> 8) & 0x00FF00FF) * W + ((Y >> 8) & 0x00FF00FF) * iw + 0x00800080) & 0xFF00FF00);
    return rb | ag;
}
inline Cardinal Limit255(Cardinal W) {
    return W > 255 ? 255 : W;
}
} // namespace BlendDetail

// W weighs X, 256 - W weighs Y.
inline TColor32 CombineReg(TColor32 X, TColor32 Y, Cardinal W) {
    return BlendDetail::Mix(X, Y, BlendDetail::Limit255(W));
}
// W = 0: B unchanged; W = 255: B = F; else B = CombineReg(F, B, W).
inline void CombineMem(TColor32 F, TColor32& B, Cardinal W) {
    W = BlendDetail::Limit255(W);
    if (W == 0) return;
    if (W == 255) {
        B = F;
        return;
    }
    B = BlendDetail::Mix(F, B, W);
}

// F over B weighted by F's alpha, no early exits.
inline TColor32 BlendReg(TColor32 F, TColor32 B) {
    return BlendDetail::Mix(F, B, F >> 24);
}
// F's alpha 0: B unchanged; 255: B = F; else BlendReg.
inline void BlendMem(TColor32 F, TColor32& B) {
    const Cardinal a = F >> 24;
    if (a == 0) return;
    if (a == 255) {
        B = F;
        return;
    }
    B = BlendDetail::Mix(F, B, a);
}
// Weight ((M + 1) * Fa) shr 8; a zero weight returns B.
inline TColor32 BlendRegEx(TColor32 F, TColor32 B, Cardinal M) {
    const Cardinal w = ((BlendDetail::Limit255(M) + 1) * (F >> 24)) >> 8;
    return w == 0 ? B : BlendDetail::Mix(F, B, w);
}
inline void BlendMemEx(TColor32 F, TColor32& B, Cardinal M) {
    B = BlendRegEx(F, B, M);
}

// F over a translucent B: the composed alpha and colour through the tables.
inline TColor32 MergeReg(TColor32 F, TColor32 B) {
    const Cardinal fa = F >> 24;
    if (fa == 0) return B;
    const Cardinal ba = B >> 24;
    if (ba == 255) return BlendReg(F, B) | 0xFF000000u;
    if (fa == 255 || ba == 0) return F;
    const Cardinal ra = (fa + ba - MulDiv255Table[ba * 256 + fa]) & 255;
    const Byte* weighB = &MulDiv255Table[ba * 256];
    const Byte* weighF = &MulDiv255Table[fa * 256];
    const Byte* divide = &DivTable[ra * 256];
    TColor32 r = ra << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const int bp = weighB[(B >> shift) & 0xFF];
        const int d = int((F >> shift) & 0xFF) - bp;
        // The composed premultiplied value never exceeds Ra, so the
        // division table is read where its entries do not wrap.
        const int v = d >= 0 ? bp + weighF[d] : bp - weighF[-d];
        r |= TColor32(divide[v]) << shift;
    }
    return r;
}
inline void MergeMem(TColor32 F, TColor32& B) {
    B = MergeReg(F, B);
}
// MergeReg of F with its alpha scaled by M.
inline TColor32 MergeRegEx(TColor32 F, TColor32 B, Cardinal M) {
    const Cardinal a = MulDiv255Table[BlendDetail::Limit255(M) * 256 + (F >> 24)];
    return MergeReg((F & 0x00FFFFFF) | (a << 24), B);
}
inline void MergeMemEx(TColor32 F, TColor32& B, Cardinal M) {
    B = MergeRegEx(F, B, M);
}

// W = 0: nothing; W = 255: the source copied; else Dst = CombineReg(Src, Dst, W).
void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W);
// BlendMem per pixel.
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
// Per pixel: weight ((Fa + 1) * M) shr 8 (note: Fa + 1 here, M + 1 in
// BlendRegEx); a zero weight leaves the pixel.
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);
void MergeLine(const TColor32* Src, TColor32* Dst, int Count);
void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);

using TCombineReg = TColor32 (*)(TColor32 X, TColor32 Y, Cardinal W);
using TCombineMem = void (*)(TColor32 F, TColor32& B, Cardinal W);
using TCombineLine = void (*)(const TColor32* Src, TColor32* Dst, int Count, Cardinal W);
using TBlendReg = TColor32 (*)(TColor32 F, TColor32 B);
using TBlendMem = void (*)(TColor32 F, TColor32& B);
using TBlendRegEx = TColor32 (*)(TColor32 F, TColor32 B, Cardinal M);
using TBlendMemEx = void (*)(TColor32 F, TColor32& B, Cardinal M);
using TBlendLine = void (*)(const TColor32* Src, TColor32* Dst, int Count);
using TBlendLineEx = void (*)(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);

// The routine of each combine mode.
inline constexpr TBlendReg BLEND_REG[2] = {BlendReg, MergeReg};
inline constexpr TBlendMem BLEND_MEM[2] = {BlendMem, MergeMem};
inline constexpr TBlendRegEx BLEND_REG_EX[2] = {BlendRegEx, MergeRegEx};
inline constexpr TBlendMemEx BLEND_MEM_EX[2] = {BlendMemEx, MergeMemEx};
inline constexpr TBlendLine BLEND_LINE[2] = {BlendLine, MergeLine};
inline constexpr TBlendLineEx BLEND_LINE_EX[2] = {BlendLineEx, MergeLineEx};

// The forms of the line routines, exposed for the tests and benchmarks.
namespace BlendPortable {
void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W);
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);
void MergeLine(const TColor32* Src, TColor32* Dst, int Count);
void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);
} // namespace BlendPortable

// The line routines of one form. Available says whether this build has the
// form and the processor runs it; only then may its routines be called.
struct TBlendLineForm {
    bool (*Available)();
    TCombineLine CombineLine;
    TBlendLine BlendLine;
    TBlendLineEx BlendLineEx;
    TBlendLine MergeLine;
    TBlendLineEx MergeLineEx;
};
inline bool BlendFormAbsent() {
    return false;
}
// What a form this build lacks stands as: never available.
inline constexpr TBlendLineForm BlendFormMissing = {
    BlendFormAbsent,          BlendPortable::CombineLine,
    BlendPortable::BlendLine, BlendPortable::BlendLineEx,
    BlendPortable::MergeLine, BlendPortable::MergeLineEx};
extern const TBlendLineForm BlendPortableForm;
extern const TBlendLineForm BlendSse2Form;
extern const TBlendLineForm BlendAvx2Form;
extern const TBlendLineForm BlendAvx512Form;

enum TBlendForm { bfPortable, bfSse2, bfAvx2, bfAvx512 };
// Picks the widest form the processor runs.
void SelectBlendRoutines();
// Forces one form; False (and nothing changed) when it is unavailable.
bool SelectBlendRoutines(TBlendForm Form);
TBlendForm ActiveBlendForm();

void InitRasterBlend();
void DoneRasterBlend();
