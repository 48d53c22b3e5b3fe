#include "raster/RasterBlend.h"

#include "platform/base/Rounding.h"
#include "raster/RasterSystem.h"

#include <cstring>

alignas(64) Byte MulDiv255Table[256 * 256];
alignas(64) Byte DivTable[256 * 256];

namespace {

struct TLineRoutines {
    TCombineLine Combine;
    TBlendLine Blend;
    TBlendLineEx BlendEx;
    TBlendLine Merge;
    TBlendLineEx MergeEx;
};

constexpr TLineRoutines PortableRoutines = {BlendPortable::CombineLine, BlendPortable::BlendLine,
                                            BlendPortable::BlendLineEx, BlendPortable::MergeLine,
                                            BlendPortable::MergeLineEx};
constexpr TLineRoutines Sse2Routines = {BlendSse2::CombineLine, BlendSse2::BlendLine,
                                        BlendSse2::BlendLineEx, BlendSse2::MergeLine,
                                        BlendSse2::MergeLineEx};
constexpr TLineRoutines Avx2Routines = {BlendAvx2::CombineLine, BlendAvx2::BlendLine,
                                        BlendAvx2::BlendLineEx, BlendAvx2::MergeLine,
                                        BlendAvx2::MergeLineEx};
constexpr TLineRoutines Avx512Routines = {BlendAvx512::CombineLine, BlendAvx512::BlendLine,
                                          BlendAvx512::BlendLineEx, BlendAvx512::MergeLine,
                                          BlendAvx512::MergeLineEx};

// Constant-initialised to the portable forms, so the routines are correct
// even before the engine starts.
TLineRoutines GLines = PortableRoutines;
TBlendForm GForm = bfPortable;

} // namespace

void BuildMergeTables() {
    for (int j = 0; j < 256; ++j)
        for (int i = 0; i < 256; ++i) {
            MulDiv255Table[j * 256 + i] = Byte(RoundQuotient(i * j, 255));
            DivTable[j * 256 + i] = j == 0 ? 0 : Byte(RoundQuotient(i * 255, j) & 0xFF);
        }
}

namespace BlendPortable {

void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    if (Count <= 0) return;
    W = BlendDetail::Limit255(W);
    if (W == 0) return;
    if (W == 255) {
        if (Src != Dst) std::memmove(Dst, Src, std::size_t(Count) * sizeof(TColor32));
        return;
    }
    for (int i = 0; i < Count; ++i)
        Dst[i] = BlendDetail::Mix(Src[i], Dst[i], W);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i)
        BlendMem(Src[i], Dst[i]);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    M = BlendDetail::Limit255(M);
    for (int i = 0; i < Count; ++i) {
        const Cardinal w = (((Src[i] >> 24) + 1) * M) >> 8;
        if (w != 0) Dst[i] = BlendDetail::Mix(Src[i], Dst[i], w);
    }
}

void MergeLine(const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i)
        MergeMem(Src[i], Dst[i]);
}

void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    for (int i = 0; i < Count; ++i)
        MergeMemEx(Src[i], Dst[i], M);
}

} // namespace BlendPortable

void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    GLines.Combine(Src, Dst, Count, W);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    GLines.Blend(Src, Dst, Count);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    GLines.BlendEx(Src, Dst, Count, M);
}

void MergeLine(const TColor32* Src, TColor32* Dst, int Count) {
    GLines.Merge(Src, Dst, Count);
}

void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    GLines.MergeEx(Src, Dst, Count, M);
}

void SelectBlendRoutines() {
    for (TBlendForm form : {bfAvx512, bfAvx2, bfSse2, bfPortable})
        if (SelectBlendRoutines(form)) return;
}

bool SelectBlendRoutines(TBlendForm Form) {
    switch (Form) {
    case bfPortable:
        GLines = PortableRoutines;
        break;
    case bfSse2:
        if (!BlendSse2::Available()) return false;
        GLines = Sse2Routines;
        break;
    case bfAvx2:
        if (!BlendAvx2::Available()) return false;
        GLines = Avx2Routines;
        break;
    case bfAvx512:
        if (!BlendAvx512::Available()) return false;
        GLines = Avx512Routines;
        break;
    default:
        return false;
    }
    GForm = Form;
    return true;
}

TBlendForm ActiveBlendForm() {
    return GForm;
}

void InitRasterBlend() {
    BuildMergeTables();
    SelectBlendRoutines();
}

void DoneRasterBlend() {}
