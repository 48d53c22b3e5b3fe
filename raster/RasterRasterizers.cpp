#include "raster/RasterRasterizers.h"

#include "raster/RasterTransforms.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
TRasterizer* NewRegularRasterizer() {
    return new TRegularRasterizer();
}
TRasterizerFactory GDefaultRasterizer = &NewRegularRasterizer;
} // namespace

void SetDefaultRasterizerClass(TRasterizerFactory Factory) {
    GDefaultRasterizer = Factory ? Factory : &NewRegularRasterizer;
}

std::unique_ptr<TRasterizer> CreateDefaultRasterizer() {
    return std::unique_ptr<TRasterizer>(GDefaultRasterizer());
}

void TRasterizer::SetSampler(TCustomSampler* Value) {
    if (FSampler == Value) return;
    FSampler = Value;
    Changed();
}

void TRasterizer::AssignRow(TColor32* Pixels, const TColor32* Colors, int Count) const {
    if (Count <= 0) return;
    switch (FAssignMode) {
    case dmOpaque:
        std::memcpy(Pixels, Colors, std::size_t(Count) * sizeof(TColor32));
        break;
    case dmBlend:
        for (int i = 0; i < Count; ++i)
            FBlendMemEx(Colors[i], Pixels[i], FSrcAlpha);
        break;
    case dmTransparent:
        for (int i = 0; i < Count; ++i)
            if (Colors[i] != FTransparentColor) Pixels[i] = Colors[i];
        break;
    case dmCustom:
        for (int i = 0; i < Count; ++i)
            FCombineCallBack(Colors[i], Pixels[i], FSrcAlpha);
        break;
    }
}

void TRasterizer::Rasterize(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src) {
    if (!FSampler || !Dst) return;
    FSrcAlpha = Src ? Src->EffectiveMasterAlpha() : 255;
    FAssignMode = Src ? Src->DrawMode() : dmOpaque;
    FBlendMemEx = BLEND_MEM_EX[Src ? Src->CombineMode() : cmBlend];
    FCombineCallBack = Src ? Src->OnPixelCombine : nullptr;
    FTransparentColor = Src ? Src->OuterColor() : 0;
    if (FAssignMode == dmCustom && !FCombineCallBack) FAssignMode = dmOpaque;

    const int updateCount = Dst->UpdateCount();
    FSampler->BeginSampling();
    struct TClose {
        TBitmap32* Dst;
        TCustomSampler* Sampler;
        int Count;
        ~TClose() {
            while (Dst->UpdateCount() > Count)
                Dst->EndUpdate();
            Sampler->EndSampling();
        }
    } close{Dst, FSampler, updateCount};

    TRect r = DstRect;
    TRect limit = Dst->BoundsRect();
    if (FSampler->HasBounds()) limit = MakeRect(FSampler->GetSampleBounds(), rrClosest);
    // Never outside the destination's pixels, whatever the sampler reports.
    IntersectRectangles(limit, limit, Dst->BoundsRect());
    if (!IntersectRectangles(r, r, limit)) return;
    DoRasterize(Dst, r);
}

void TRegularRasterizer::DoRasterize(TBitmap32* Dst, const TRect& DstRect) {
    const int w = DstRect.Width();
    auto* transformer = dynamic_cast<TTransformer*>(FSampler);
    std::vector<TColor32> row(transformer && FAssignMode != dmOpaque ? std::size_t(w) : 0);
    int reportedTop = DstRect.Top;
    for (int y = DstRect.Top; y < DstRect.Bottom; ++y) {
        TColor32* d = Dst->PixelPtr(DstRect.Left, y);
        if (transformer) {
            // Opaque rows are sampled straight into the destination.
            if (FAssignMode == dmOpaque) {
                transformer->SampleRowInt(DstRect.Left, y, w, d);
            } else {
                transformer->SampleRowInt(DstRect.Left, y, w, row.data());
                AssignRow(d, row.data(), w);
            }
        } else {
            for (int x = 0; x < w; ++x)
                AssignColor(d[x], FSampler->GetSampleInt(DstRect.Left + x, y));
        }
        if (FUpdateRowCount > 0 && (y + 1 - reportedTop >= FUpdateRowCount)) {
            Dst->AreaChanged({DstRect.Left, reportedTop, DstRect.Right, y + 1}, AREAINFO_RECT);
            reportedTop = y + 1;
        }
    }
    if (FUpdateRowCount > 0 && reportedTop < DstRect.Bottom)
        Dst->AreaChanged({DstRect.Left, reportedTop, DstRect.Right, DstRect.Bottom}, AREAINFO_RECT);
}
