#include "raster/RasterTransfer.h"

#include "raster/RasterResamplers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

inline int Saturate(std::int64_t V) {
    return int(std::clamp<std::int64_t>(V, INT_MIN, INT_MAX));
}

inline int CombineIndex(TCombineMode Mode) {
    return Mode == cmMerge ? 1 : 0;
}

} // namespace

void CombineRow(const TColor32* SrcRow, TColor32* DstRow, int Count, TBitmap32* Src,
                TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    if (Count <= 0) return;
    switch (CombineOp) {
    case dmBlend: {
        const Cardinal m = Src->EffectiveMasterAlpha();
        const int mode = CombineIndex(Src->CombineMode());
        if (m < 255)
            BLEND_LINE_EX[mode](SrcRow, DstRow, Count, m);
        else
            BLEND_LINE[mode](SrcRow, DstRow, Count);
        break;
    }
    case dmTransparent: {
        const TColor32 outer = Src->OuterColor();
        for (int i = 0; i < Count; ++i)
            if (SrcRow[i] != outer) DstRow[i] = SrcRow[i];
        break;
    }
    case dmCustom:
        if (CombineCallBack) {
            const TColor32 m = Src->EffectiveMasterAlpha();
            for (int i = 0; i < Count; ++i)
                CombineCallBack(SrcRow[i], DstRow[i], m);
            break;
        }
        [[fallthrough]];
    case dmOpaque:
    default:
        MoveWords(SrcRow, DstRow, Count);
        break;
    }
}

void CombineBlock(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, int SrcX, int SrcY,
                  TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    const int w = DstRect.Width();
    const int h = DstRect.Height();
    if (w <= 0 || h <= 0) return;
    if (Src == Dst) {
        const TRect from = Bounds(SrcX, SrcY, w, h);
        TRect overlap;
        if (IntersectRect(overlap, from, DstRect)) {
            // The block reads pixels it also writes: take a copy first so
            // that every source pixel is read before it is overwritten.
            std::vector<TColor32> copy(std::size_t(w) * h);
            for (int y = 0; y < h; ++y)
                std::memcpy(&copy[std::size_t(y) * w], Src->PixelPtr(SrcX, SrcY + y),
                            std::size_t(w) * sizeof(TColor32));
            for (int y = 0; y < h; ++y)
                CombineRow(&copy[std::size_t(y) * w], Dst->PixelPtr(DstRect.Left, DstRect.Top + y),
                           w, Src, CombineOp, CombineCallBack);
            return;
        }
    }
    for (int y = 0; y < h; ++y)
        CombineRow(Src->PixelPtr(SrcX, SrcY + y), Dst->PixelPtr(DstRect.Left, DstRect.Top + y), w,
                   Src, CombineOp, CombineCallBack);
}

void TransferBlock(TBitmap32* Dst, int DstX, int DstY, const TRect& DstClip, TBitmap32* Src,
                   TRect SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    if (!Dst) throw EBitmapException(SDstNil);
    if (!Src) throw EBitmapException(SSrcNil);
    if (Dst->Empty() || Src->Empty()) return;
    if (CombineOp == dmBlend && Src->EffectiveMasterAlpha() == 0) return;

    const std::int64_t keptW = std::int64_t(SrcRect.Right) - SrcRect.Left;
    const std::int64_t keptH = std::int64_t(SrcRect.Bottom) - SrcRect.Top;

    if (!Dst->MeasuringMode()) {
        if (CombineOp == dmCustom && !CombineCallBack) CombineOp = dmOpaque;
        TRect clip;
        IntersectRect(clip, DstClip, Dst->BoundsRect());
        TRect src;
        if (IntersectRect(src, SrcRect, Src->BoundsRect()) && !clip.IsEmpty()) {
            // Source to destination coordinates, in 64 bits so that far-off
            // positions cannot wrap into the bitmap.
            const std::int64_t dx = std::int64_t(DstX) - SrcRect.Left;
            const std::int64_t dy = std::int64_t(DstY) - SrcRect.Top;
            const std::int64_t l = std::max<std::int64_t>(src.Left + dx, clip.Left);
            const std::int64_t t = std::max<std::int64_t>(src.Top + dy, clip.Top);
            const std::int64_t r = std::min<std::int64_t>(src.Right + dx, clip.Right);
            const std::int64_t b = std::min<std::int64_t>(src.Bottom + dy, clip.Bottom);
            if (l < r && t < b) {
                const TRect dstRect{int(l), int(t), int(r), int(b)};
                CombineBlock(Dst, dstRect, Src, int(l - dx), int(t - dy), CombineOp,
                             CombineCallBack);
            }
        }
    }
    Dst->AreaChanged({DstX, DstY, Saturate(DstX + keptW), Saturate(DstY + keptH)}, AREAINFO_RECT);
}

void TransferStretched(TBitmap32* Dst, TRect DstRect, TRect DstClip, TBitmap32* Src, TRect SrcRect,
                       TCustomResampler* Resampler, TDrawMode CombineOp,
                       const TPixelCombineEvent& CombineCallBack) {
    if (!Dst) throw EBitmapException(SDstNil);
    if (!Src) throw EBitmapException(SSrcNil);
    if (Src->Empty()) return;
    if (Dst->Empty() || (CombineOp == dmBlend && Src->EffectiveMasterAlpha() == 0)) return;
    if (SrcRect.IsEmpty()) return;
    if (SrcRect.Left < 0 || SrcRect.Top < 0 || SrcRect.Right > Src->Width() ||
        SrcRect.Bottom > Src->Height())
        throw ESrcInvalidException(SSrcInvalid);

    if (!Dst->MeasuringMode()) {
        TRect clip;
        if (!IntersectRect(clip, DstClip, Dst->BoundsRect())) return;
        if (!IntersectRect(clip, clip, DstRect)) return;
        if (CombineOp == dmCustom && !CombineCallBack) CombineOp = dmOpaque;
        if (SrcRect.Width() == DstRect.Width() && SrcRect.Height() == DstRect.Height()) {
            CombineBlock(Dst, clip, Src, SrcRect.Left + (clip.Left - DstRect.Left),
                         SrcRect.Top + (clip.Top - DstRect.Top), CombineOp, CombineCallBack);
        } else {
            if (!Resampler) Resampler = Src->Resampler();
            if (Resampler)
                Resampler->Resample(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack);
        }
    }
    Dst->AreaChanged(DstRect, AREAINFO_RECT);
}
