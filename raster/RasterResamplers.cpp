#include "raster/RasterResamplers.h"

#include "platform/base/Rounding.h"
#include "platform/classes/PropertyRegistry.h"
#include "raster/RasterTransfer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------------------
// Samplers

TColor32 TCustomSampler::GetSampleInt(int X, int Y) {
    return GetSampleFixed(TFixed(std::uint32_t(X) << 16), TFixed(std::uint32_t(Y) << 16));
}

TColor32 TCustomSampler::GetSampleFixed(TFixed X, TFixed Y) {
    return GetSampleFloat(TFloat(X * (1.0 / 65536)), TFloat(Y * (1.0 / 65536)));
}

TColor32 TCustomSampler::GetSampleFloat(TFloat X, TFloat Y) {
    return GetSampleFixed(Fixed(X), Fixed(Y));
}

TFloatRect TCustomSampler::GetSampleBounds() const {
    return {TFloat(INT_MIN), TFloat(INT_MIN), TFloat(INT_MAX), TFloat(INT_MAX)};
}

void TCustomResampler::Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                const TPixelCombineEvent& CombineCallBack) {
    StretchNearest(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
}

TBitmap32Resampler::TBitmap32Resampler(TBitmap32* Bitmap) : FBitmap(Bitmap) {
    if (Bitmap) {
        FClipRect = Bitmap->ClipRect();
        Bitmap->SetResampler(this);
    }
}

void TBitmap32Resampler::SetPixelAccessMode(TPixelAccessMode Value) {
    if (Value == FPixelAccessMode) return;
    FPixelAccessMode = Value;
    Changed();
}

void TBitmap32Resampler::Changed() {
    if (FBitmap)
        FBitmap->Changed();
    else
        NotifyChange();
}

void TBitmap32Resampler::BeginSampling() {
    if (FBitmap) FClipRect = FBitmap->ClipRect();
}

TFloatRect TBitmap32Resampler::GetSampleBounds() const {
    return FloatRect(FClipRect);
}

void TBitmap32Resampler::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (dynamic_cast<const TCustomResampler*>(Source)) {
        CopyPublishedProperties(Source, this);
        return;
    }
    TCustomResampler::Assign(Source);
}

void TNearestResampler::BeginSampling() {
    TBitmap32Resampler::BeginSampling();
    switch (FPixelAccessMode) {
    case pamUnsafe:
        FGetPixel = &TBitmap32::ReadPixel;
        break;
    case pamWrap:
        FGetPixel = &TBitmap32::ReadPixelWrapped;
        break;
    case pamSafe:
    default:
        FGetPixel = &TBitmap32::ReadPixelClipped;
        break;
    }
}

TColor32 TNearestResampler::GetSampleInt(int X, int Y) {
    return FBitmap ? (FBitmap->*FGetPixel)(X, Y) : 0;
}

TColor32 TNearestResampler::GetSampleFixed(TFixed X, TFixed Y) {
    return GetSampleInt(FixedRound(X), FixedRound(Y));
}

TColor32 TNearestResampler::GetSampleFloat(TFloat X, TFloat Y) {
    return GetSampleInt(Round(X), Round(Y));
}

void TNearestResampler::Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                 TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                 const TPixelCombineEvent& CombineCallBack) {
    StretchNearest(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
}

namespace {

// Destination positions Lo..Hi-1 onto source positions of SrcLo..SrcHi-1
// for a destination rectangle starting at DstLo, DstW wide.
std::vector<int> NearestMap(int Lo, int Hi, int DstLo, std::int64_t DstW, int SrcLo, int SrcHi) {
    std::vector<int> map(std::size_t(Hi - Lo));
    if (DstW < 2) {
        std::fill(map.begin(), map.end(), int((std::int64_t(SrcLo) + SrcHi - 1) / 2));
        return map;
    }
    const double scale = double(std::int64_t(SrcHi) - SrcLo) / double(DstW);
    for (int i = Lo; i < Hi; ++i) {
        const std::int64_t v = Trunc(double(std::int64_t(i) - DstLo) * scale + SrcLo);
        map[std::size_t(i - Lo)] = int(std::clamp<std::int64_t>(v, SrcLo, SrcHi - 1));
    }
    return map;
}

} // namespace

void StretchNearest(TBitmap32* Dst, TRect DstRect, TRect DstClip, TBitmap32* Src, TRect SrcRect,
                    TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    TRect r;
    if (!IntersectRect(r, Dst->BoundsRect(), DstClip)) return;
    if (!IntersectRect(r, r, DstRect)) return;
    if (SrcRect.Left < 0 || SrcRect.Top < 0 || SrcRect.Right > Src->Width() ||
        SrcRect.Bottom > Src->Height() || SrcRect.IsEmpty())
        throw Exception(SInvalidSrcRect);
    if (CombineOp == dmCustom && !CombineCallBack) CombineOp = dmOpaque;

    const std::int64_t dstW = std::int64_t(DstRect.Right) - DstRect.Left;
    const std::int64_t dstH = std::int64_t(DstRect.Bottom) - DstRect.Top;
    if (SrcRect.Width() == dstW && SrcRect.Height() == dstH) {
        CombineBlock(Dst, r, Src, SrcRect.Left + (r.Left - DstRect.Left),
                     SrcRect.Top + (r.Top - DstRect.Top), CombineOp, CombineCallBack);
        return;
    }

    const std::vector<int> cols =
        NearestMap(r.Left, r.Right, DstRect.Left, dstW, SrcRect.Left, SrcRect.Right);
    const std::vector<int> rows =
        NearestMap(r.Top, r.Bottom, DstRect.Top, dstH, SrcRect.Top, SrcRect.Bottom);

    // Drawing a bitmap onto itself reads from a copy of its pixels.
    std::vector<TColor32> selfCopy;
    const TColor32* srcBits = Src->Bits();
    if (Src == Dst) {
        selfCopy.assign(Src->Bits(), Src->Bits() + std::size_t(Src->Width()) * Src->Height());
        srcBits = selfCopy.data();
    }
    const int w = r.Width();
    std::vector<TColor32> buffer(static_cast<std::size_t>(w));
    int lastRow = -1;
    for (int y = r.Top; y < r.Bottom; ++y) {
        const int sy = rows[std::size_t(y - r.Top)];
        if (sy != lastRow) {
            const TColor32* srow = srcBits + std::size_t(sy) * Src->Width();
            for (int i = 0; i < w; ++i)
                buffer[std::size_t(i)] = srow[cols[std::size_t(i)]];
            lastRow = sy;
        }
        CombineRow(buffer.data(), Dst->PixelPtr(r.Left, y), w, Src, CombineOp, CombineCallBack);
    }
}

// ---------------------------------------------------------------------------
// Nested sampler

TCustomSampler& TNestedSampler::Nested() const {
    if (!FSampler) throw ENestedException(SNestedSamplerNil);
    return *FSampler;
}

void TNestedSampler::BeginSampling() {
    Nested().BeginSampling();
}

void TNestedSampler::EndSampling() {
    Nested().EndSampling();
}

bool TNestedSampler::HasBounds() const {
    return Nested().HasBounds();
}

TFloatRect TNestedSampler::GetSampleBounds() const {
    return Nested().GetSampleBounds();
}

void TNestedSampler::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (dynamic_cast<const TNestedSampler*>(Source)) {
        CopyPublishedProperties(Source, this);
        return;
    }
    TCustomSampler::Assign(Source);
}

// ---------------------------------------------------------------------------
// Property copy

void CopyPublishedProperties(const TPersistent* Source, TPersistent* Dest) {
    if (!Source || !Dest) return;
    auto* src = const_cast<TPersistent*>(Source);
    for (const TPropInfoPtr& p : GetPropList(src)) {
        const TPropInfoPtr d = FindPropInfo(Dest, p->Name);
        if (!d || d->Kind != p->Kind) continue;
        switch (p->Kind) {
        case pkInteger:
        case pkBoolean:
        case pkEnumeration:
        case pkSet:
        case pkColor:
            if (p->GetOrd && d->SetOrd) d->SetOrd(Dest, p->GetOrd(src));
            break;
        case pkFloat:
            if (p->GetFloat && d->SetFloat) d->SetFloat(Dest, p->GetFloat(src));
            break;
        case pkString:
            if (p->GetStr && d->SetStr) d->SetStr(Dest, p->GetStr(src));
            break;
        case pkClass:
            if (p->GetObject && d->GetObject) {
                TPersistent* from = p->GetObject(src);
                TPersistent* to = d->GetObject(Dest);
                if (from && to && from != to) to->Assign(from);
            }
            break;
        case pkCollection:
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Registries

namespace {
TClassList* GResamplerList = nullptr;
TClassList* GKernelList = nullptr;
} // namespace

void RegisterResampler(const TResamplerClass* Class) {
    if (!GResamplerList) GResamplerList = new TClassList;
    GResamplerList->Add(Class);
}

void RegisterKernel(const TKernelClass* Class) {
    if (!GKernelList) GKernelList = new TClassList;
    GKernelList->Add(Class);
}

TClassList* ResamplerList() {
    return GResamplerList;
}

TClassList* KernelList() {
    return GKernelList;
}

const TResamplerClass* FindResamplerClass(std::string_view Name) {
    return GResamplerList ? GResamplerList->FindAs<TResamplerClass>(Name) : nullptr;
}

const TKernelClass* FindKernelClass(std::string_view Name) {
    return GKernelList ? GKernelList->FindAs<TKernelClass>(Name) : nullptr;
}

void InitRasterResamplers() {
    if (!FindResamplerClass("TNearestResampler"))
        RegisterResampler(ResamplerClassOf<TNearestResampler>("TNearestResampler"));
    TPublishedProperties<TBitmap32Resampler>("TBitmap32Resampler", "TCustomResampler")
        .Enumeration("PixelAccessMode", &TBitmap32Resampler::PixelAccessMode,
                     &TBitmap32Resampler::SetPixelAccessMode, {"pamUnsafe", "pamSafe", "pamWrap"})
        .Default(pamSafe)
        .Register();
    TPublishedProperties<TNearestResampler>("TNearestResampler", "TBitmap32Resampler").Register();
}

void DoneRasterResamplers() {
    delete GResamplerList;
    GResamplerList = nullptr;
    delete GKernelList;
    GKernelList = nullptr;
}
