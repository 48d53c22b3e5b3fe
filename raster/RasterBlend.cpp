#include "raster/RasterBlend.h"

#include "platform/base/Rounding.h"
#include "raster/RasterSystem.h"

#include <cstring>

alignas(64) Byte MulDiv255Table[256 * 256];
alignas(64) Byte DivTable[256 * 256];

namespace {

bool PortableAvailable() {
    return true;
}

// Indexed by TBlendForm.
const TBlendLineForm* const Forms[] = {&BlendPortableForm, &BlendSse2Form, &BlendAvx2Form,
                                       &BlendAvx512Form};

// Constant-initialised to the portable form, so the routines are correct
// even before the engine starts.
const TBlendLineForm* GLines = &BlendPortableForm;
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

const TBlendLineForm BlendPortableForm = {PortableAvailable,        BlendPortable::CombineLine,
                                          BlendPortable::BlendLine, BlendPortable::BlendLineEx,
                                          BlendPortable::MergeLine, BlendPortable::MergeLineEx};

void CombineLine(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    GLines->CombineLine(Src, Dst, Count, W);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    GLines->BlendLine(Src, Dst, Count);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    GLines->BlendLineEx(Src, Dst, Count, M);
}

void MergeLine(const TColor32* Src, TColor32* Dst, int Count) {
    GLines->MergeLine(Src, Dst, Count);
}

void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    GLines->MergeLineEx(Src, Dst, Count, M);
}

void SelectBlendRoutines() {
    for (TBlendForm form : {bfAvx512, bfAvx2, bfSse2, bfPortable})
        if (SelectBlendRoutines(form)) return;
}

bool SelectBlendRoutines(TBlendForm Form) {
    if (Form < bfPortable || Form > bfAvx512 || !Forms[Form]->Available()) return false;
    GLines = Forms[Form];
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
