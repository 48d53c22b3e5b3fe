#include "raster/RasterKernelResamplers.h"

#include "platform/base/Rounding.h"
#include "platform/classes/PropertyRegistry.h"
#include "raster/RasterBlend.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// ---- Mapping tables.

int TMappingTable::MinPos() const {
    int r = std::numeric_limits<int>::max();
    for (const TMapEntry& e : FEntries)
        r = std::min(r, e.Pos);
    return r;
}

int TMappingTable::MaxPos() const {
    int r = std::numeric_limits<int>::min();
    for (const TMapEntry& e : FEntries)
        r = std::max(r, e.Pos);
    return r;
}

void TMappingTable::Clear() {
    FEntries.clear();
    FStarts.clear();
}

void TMappingTable::BeginList() {
    if (FStarts.empty()) FStarts.push_back(0);
    FStarts.push_back(int(FEntries.size()));
}

namespace {

// Closes the list that starts at entry First: an empty list takes the
// nearest source pixel whole, else the middle entry absorbs the rounding so
// that the weights sum to 256.
void FinishList(std::vector<TMapEntry>& Entries, std::size_t First, int Fallback) {
    const std::size_t n = Entries.size() - First;
    if (n == 0) {
        Entries.push_back({Fallback, 256});
        return;
    }
    std::int64_t sum = 0;
    for (std::size_t k = First; k < Entries.size(); ++k)
        sum += Entries[k].Weight;
    if (sum != 256) {
        TMapEntry& mid = Entries[First + (n - 1) / 2];
        mid.Weight = int(std::clamp<std::int64_t>(mid.Weight - (sum - 256), INT32_MIN, INT32_MAX));
    }
}

int FloorToInt(TFloat V) {
    return int(std::clamp<double>(std::floor(double(V)), -1e9, 1e9));
}
int CeilToInt(TFloat V) {
    return int(std::clamp<double>(std::ceil(double(V)), -1e9, 1e9));
}

} // namespace

TMappingTable BuildMappingTable(int DstLo, int DstHi, int ClipLo, int ClipHi, int SrcLo, int SrcHi,
                                const TCustomKernel& Kernel) {
    TMappingTable table;
    const std::int64_t SrcW = std::int64_t(SrcHi) - SrcLo;
    const std::int64_t DstW = std::int64_t(DstHi) - DstLo;
    const std::int64_t ClipW = std::int64_t(ClipHi) - ClipLo;
    if (SrcW <= 0 || ClipW <= 0) return table;
    if (SrcW == 1) {
        for (std::int64_t i = 0; i < ClipW; ++i) {
            table.BeginList();
            table.Append(SrcLo, 256);
            table.EndList();
        }
        return table;
    }
    if (DstW <= 0) return table;

    const TFloat Scale = TFloat(DstW) / TFloat(SrcW);
    const TFloat s = 1 / Scale;
    TFloat FW = Kernel.GetWidth();
    if (!(FW > 0) || !std::isfinite(FW)) FW = 0;
    const bool Enlarging = Scale >= 1;
    if (!Enlarging) FW *= s;

    // The lists are written straight into a local vector and handed over
    // list by list, so the weight correction can reach the open list.
    std::vector<TMapEntry> entries;
    for (std::int64_t I = 0; I < ClipW; ++I) {
        const TFloat Center = TFloat(SrcLo) - 0.5f + (TFloat(I + ClipLo - DstLo) + 0.5f) * s;
        const int JLo = FloorToInt(Center - FW);
        const int JHi = CeilToInt(Center + FW);
        entries.clear();
        for (int J = JLo; J <= JHi; ++J) {
            const int w =
                Enlarging
                    ? Round(double(Kernel.Filter(Center - TFloat(J)) * 256.0f))
                    : Round(double(Scale * Kernel.Filter((Center - TFloat(J)) * Scale) * 256.0f));
            if (w != 0) entries.push_back({std::clamp(J, SrcLo, SrcHi - 1), w});
        }
        FinishList(entries, 0, std::clamp(FloorToInt(Center), SrcLo, SrcHi - 1));
        table.BeginList();
        for (const TMapEntry& e : entries)
            table.Append(e.Pos, e.Weight);
        table.EndList();
    }
    return table;
}

// ---- Pixel arithmetic.

namespace {

inline TColor32 PackedMix(TColor32 A, TColor32 B, Cardinal W) {
    // Two channels per multiply: each 16-bit lane holds at most 255 * 256.
    const Cardinal iw = 256 - W;
    const Cardinal rb = (((A & 0x00FF00FF) * W + (B & 0x00FF00FF) * iw) >> 8) & 0x00FF00FF;
    const Cardinal ag = (((A >> 8) & 0x00FF00FF) * W + ((B >> 8) & 0x00FF00FF) * iw) & 0xFF00FF00;
    return rb | ag;
}

struct TPackedForm {
    static TColor32 Interpolate(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2) {
        const Cardinal wx = std::min<Cardinal>(WX & 0xFFFF, 256);
        const Cardinal wy = std::min<Cardinal>(WY & 0xFFFF, 256);
        return PackedMix(PackedMix(P1[0], P1[1], wx), PackedMix(P2[0], P2[1], wx), wy);
    }
};

struct TPortableForm {
    static TColor32 Interpolate(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2) {
        const Cardinal wx = std::min<Cardinal>(WX >> 16, 255);
        const Cardinal wy = std::min<Cardinal>(WY >> 16, 255);
        const TColor32 bottom = CombineReg(P2[0], P2[1], wx);
        const TColor32 top = CombineReg(P1[0], P1[1], wx);
        return CombineReg(top, bottom, wy);
    }
};

} // namespace

TColor32 InterpolatePacked(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2) {
    return TPackedForm::Interpolate(WX, WY, P1, P2);
}

TColor32 InterpolatePortable(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2) {
    return TPortableForm::Interpolate(WX, WY, P1, P2);
}

TColor32 BlockAverage(int Dx, int Dy, const TColor32* First, int RowLength) {
    if (Dx <= 0 || Dy <= 0) return 0;
    std::uint64_t b = 0, g = 0, r = 0, a = 0;
    for (int y = 0; y < Dy; ++y) {
        const TColor32* p = First + std::ptrdiff_t(y) * RowLength;
        for (int x = 0; x < Dx; ++x) {
            const TColor32 c = p[x];
            b += c & 0xFF;
            g += (c >> 8) & 0xFF;
            r += (c >> 16) & 0xFF;
            a += c >> 24;
        }
    }
    const std::uint64_t e = 0x1000000u / (std::uint64_t(Dx) * std::uint64_t(Dy));
    return TColor32(((a * e) >> 24) << 24 | ((r * e) >> 24) << 16 | ((g * e) >> 24) << 8 |
                    ((b * e) >> 24));
}

namespace {
TInterpolatorForm GInterpolator = ifPacked;

// How one computed colour meets its destination pixel, by draw mode; the
// mode is decided once per run and the switch predicts perfectly.
struct TPixelStore {
    TDrawMode Mode = dmOpaque;
    TBlendMemEx Blend = BlendMemEx;
    Cardinal MasterAlpha = 255;
    TColor32 OuterColor = 0;
    const TPixelCombineEvent* CallBack = nullptr;

    TPixelStore(TBitmap32* Src, TDrawMode CombineOp, const TPixelCombineEvent& CB)
        : Mode(CombineOp), Blend(BLEND_MEM_EX[Src->CombineMode()]),
          MasterAlpha(Src->EffectiveMasterAlpha()), OuterColor(Src->OuterColor()), CallBack(&CB) {
        if (Mode == dmCustom && !CB) Mode = dmOpaque;
    }

    void operator()(TColor32 C, TColor32& D) const {
        switch (Mode) {
        case dmOpaque:
            D = C;
            break;
        case dmBlend:
            Blend(C, D, MasterAlpha);
            break;
        case dmTransparent:
            if (C != OuterColor) D = C;
            break;
        case dmCustom:
            (*CallBack)(C, D, MasterAlpha);
            break;
        }
    }
};

struct TLinearMapEntry {
    int Pos;
    Cardinal Weight;
};

// One axis of the linear stretch: ClipW entries of (Pos, packed weight of
// Pos), none reaching the last source position, whose pixel is then taken
// as the right (or lower) neighbour at full weight.
std::vector<TLinearMapEntry> BuildLinearMap(int SrcLo, int SrcHi, int SrcLimit, int DstLo,
                                            int DstHi, int ClipLo, int ClipHi) {
    const int SrcW = SrcHi - SrcLo, DstW = DstHi - DstLo, ClipW = ClipHi - ClipLo;
    std::vector<TLinearMapEntry> map(std::size_t(std::max(ClipW, 0)));
    const TFloat Scale = TFloat(SrcW) / TFloat(DstW);
    for (int I = 0; I < ClipW; ++I) {
        TFloat t = TFloat(SrcLo) - 0.5f + (TFloat(I + ClipLo - DstLo) + 0.5f) * Scale;
        if (t < 0) t = 0;
        if (t > TFloat(SrcLimit - 1)) t = TFloat(SrcLimit - 1);
        const TFloat fl = std::floor(t);
        const int w = 256 - Round(double((t - fl) * 256.0f));
        map[I] = {int(fl), Cardinal(w) | (Cardinal(w) << 16)};
    }
    for (int I = ClipW - 1; I >= 0 && map[I].Pos == SrcHi - 1; --I)
        map[I] = {SrcHi - 2, 0};
    // The map rises with I, so the pass above caught every such entry; this
    // keeps the two-pixel reads inside the source should rounding disagree.
    for (TLinearMapEntry& e : map)
        if (e.Pos > SrcHi - 2) e = {SrcHi - 2, 0};
    return map;
}

template <class TForm>
void StretchLinearRows(TBitmap32* Dst, const TRect& DstClip, TBitmap32* Src,
                       const std::vector<TLinearMapEntry>& MapX,
                       const std::vector<TLinearMapEntry>& MapY, const TPixelStore& Store) {
    const int w = Src->Width();
    const int ClipW = DstClip.Width();
    const bool opaque = Store.Mode == dmOpaque;
    for (int J = 0; J < DstClip.Height(); ++J) {
        const TColor32* top = Src->ScanLine(MapY[J].Pos);
        const TColor32* bottom = top + w;
        const Cardinal wy = MapY[J].Weight;
        TColor32* d = Dst->PixelPtr(DstClip.Left, DstClip.Top + J);
        if (opaque) {
            for (int I = 0; I < ClipW; ++I) {
                const int p = MapX[I].Pos;
                d[I] = TForm::Interpolate(MapX[I].Weight, wy, top + p, bottom + p);
            }
            continue;
        }
        for (int I = 0; I < ClipW; ++I) {
            const int p = MapX[I].Pos;
            Store(TForm::Interpolate(MapX[I].Weight, wy, top + p, bottom + p), d[I]);
        }
    }
}

} // namespace

void SelectInterpolator() {
    GInterpolator = CpuSupports(ciMMX) ? ifPacked : ifPortable;
}
void SelectInterpolator(TInterpolatorForm Form) {
    GInterpolator = Form;
}
TInterpolatorForm ActiveInterpolator() {
    return GInterpolator;
}

// ---- Drawing routines.

namespace {
// The drawing routines are public, so they check what TransferStretched
// already guarantees: the source rectangle lies inside Src, and the clip is
// narrowed to Dst and DstRect. False when nothing is left to draw.
bool CheckRects(TBitmap32* Dst, const TRect& DstRect, TRect& DstClip, TBitmap32* Src,
                const TRect& SrcRect) {
    if (SrcRect.Left < 0 || SrcRect.Top < 0 || SrcRect.Right > Src->Width() ||
        SrcRect.Bottom > Src->Height())
        throw EBitmapException(SInvalidSrcRect);
    if (SrcRect.IsEmpty() || DstRect.IsEmpty() || Src->Empty() || Dst->Empty()) return false;
    return IntersectRectangles(DstClip, DstClip, DstRect) &&
           IntersectRectangles(DstClip, DstClip, Dst->BoundsRect());
}
} // namespace

void StretchLinear(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                   const TRect& SrcRect, TDrawMode CombineOp,
                   const TPixelCombineEvent& CombineCallBack) {
    if (!CheckRects(Dst, DstRect, DstClip, Src, SrcRect)) return;
    if (SrcRect.Width() < 2 || SrcRect.Height() < 2) return;
    const TPixelStore store(Src, CombineOp, CombineCallBack);
    const auto MapX = BuildLinearMap(SrcRect.Left, SrcRect.Right, Src->Width(), DstRect.Left,
                                     DstRect.Right, DstClip.Left, DstClip.Right);
    const auto MapY = BuildLinearMap(SrcRect.Top, SrcRect.Bottom, Src->Height(), DstRect.Top,
                                     DstRect.Bottom, DstClip.Top, DstClip.Bottom);
    if (GInterpolator == ifPacked)
        StretchLinearRows<TPackedForm>(Dst, DstClip, Src, MapX, MapY, store);
    else
        StretchLinearRows<TPortableForm>(Dst, DstClip, Src, MapX, MapY, store);
}

void ResampleKernel(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                    const TRect& SrcRect, const TCustomKernel& Kernel, TDrawMode CombineOp,
                    const TPixelCombineEvent& CombineCallBack) {
    if (!CheckRects(Dst, DstRect, DstClip, Src, SrcRect)) return;
    if (CombineOp == dmBlend && Src->EffectiveMasterAlpha() == 0) return;
    const TPixelStore store(Src, CombineOp, CombineCallBack);
    const TMappingTable MapX =
        BuildMappingTable(DstRect.Left, DstRect.Right, DstClip.Left, DstClip.Right, SrcRect.Left,
                          SrcRect.Right, Kernel);
    const TMappingTable MapY =
        BuildMappingTable(DstRect.Top, DstRect.Bottom, DstClip.Top, DstClip.Bottom, SrcRect.Top,
                          SrcRect.Bottom, Kernel);
    if (MapX.Empty() || MapY.Empty()) return;

    // Every list's positions lie between these (a kernel with zero
    // crossings can leave the first list starting right of a later one).
    const int XLo = MapX.MinPos();
    const int XHi = MapX.MaxPos();
    const int Span = XHi - XLo + 1;
    std::vector<std::int64_t> buffer(std::size_t(Span) * 4);
    const bool RangeCheck = Kernel.RangeCheck();

    const auto Pack = [RangeCheck](std::int64_t V) -> Cardinal {
        if (RangeCheck) V = std::clamp<std::int64_t>(V, 0, 0xFF0000);
        return Cardinal(V) & 0xFF0000u;
    };

    for (int J = 0; J < MapY.Count(); ++J) {
        std::fill(buffer.begin(), buffer.end(), 0);
        for (const TMapEntry& e : MapY[J]) {
            const TColor32* row = Src->PixelPtr(XLo, e.Pos);
            const std::int64_t w = e.Weight;
            std::int64_t* b = buffer.data();
            for (int x = 0; x < Span; ++x, b += 4) {
                const TColor32 c = row[x];
                b[0] += w * std::int64_t(c & 0xFF);
                b[1] += w * std::int64_t((c >> 8) & 0xFF);
                b[2] += w * std::int64_t((c >> 16) & 0xFF);
                b[3] += w * std::int64_t(c >> 24);
            }
        }
        TColor32* d = Dst->PixelPtr(DstClip.Left, DstClip.Top + J);
        for (int I = 0; I < MapX.Count(); ++I) {
            std::int64_t sb = 0, sg = 0, sr = 0, sa = 0;
            for (const TMapEntry& e : MapX[I]) {
                const std::int64_t* b = &buffer[std::size_t(e.Pos - XLo) * 4];
                sb += e.Weight * b[0];
                sg += e.Weight * b[1];
                sr += e.Weight * b[2];
                sa += e.Weight * b[3];
            }
            const TColor32 c = (Pack(sa) << 8) | Pack(sr) | (Pack(sg) >> 8) | (Pack(sb) >> 16);
            store(c, d[I]);
        }
    }
}

void ResampleDraft(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                   const TRect& SrcRect, const TCustomKernel& LinearKernel, TDrawMode CombineOp,
                   const TPixelCombineEvent& CombineCallBack) {
    if (!CheckRects(Dst, DstRect, DstClip, Src, SrcRect)) return;
    const int SrcW = SrcRect.Width(), SrcH = SrcRect.Height();
    const int DstW = DstRect.Width(), DstH = DstRect.Height();
    if (DstW > SrcW || DstH > SrcH) {
        if (SrcW < 2 || SrcH < 2)
            ResampleKernel(Dst, DstRect, DstClip, Src, SrcRect, LinearKernel, CombineOp,
                           CombineCallBack);
        else
            StretchLinear(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
        return;
    }
    if (DstClip.IsEmpty() || DstW <= 0 || DstH <= 0 || SrcW <= 0 || SrcH <= 0) return;
    const TPixelStore store(Src, CombineOp, CombineCallBack);

    const TFloat sx = TFloat(SrcW) / TFloat(DstW);
    const TFloat sy = TFloat(SrcH) / TFloat(DstH);
    const int cx = int(Trunc(double(TFloat(DstClip.Left - DstRect.Left) * sx)));
    const int cy = int(Trunc(double(TFloat(DstClip.Top - DstRect.Top) * sy)));
    const std::int64_t stepX = Trunc(double(sx * 65536.0f));
    const std::int64_t stepY = Trunc(double(sy * 65536.0f));
    const int OriginX = SrcRect.Left + cx;
    const int OriginY = SrcRect.Top + cy;

    // The block of each clip column, from the origin; products in 64 bits
    // so that wide sources do not wrap. Blocks are kept inside SrcRect.
    const auto Block = [](std::int64_t k, std::int64_t step, int Origin, int Limit, int& Start,
                          int& Size) {
        std::int64_t a = Origin + ((k * step) >> 16);
        std::int64_t b = Origin + (((k + 1) * step) >> 16);
        b = std::min<std::int64_t>(b, Limit);
        a = std::min<std::int64_t>(a, b - 1);
        Start = int(a);
        Size = int(b - a);
    };
    const int ClipW = DstClip.Width();
    std::vector<int> colStart(ClipW), colSize(ClipW);
    for (int i = 0; i < ClipW; ++i)
        Block(i, stepX, OriginX, SrcRect.Right, colStart[i], colSize[i]);

    const int RowLength = Src->Width();
    for (int k = 0; k < DstClip.Height(); ++k) {
        int y0, dy;
        Block(k, stepY, OriginY, SrcRect.Bottom, y0, dy);
        TColor32* d = Dst->PixelPtr(DstClip.Left, DstClip.Top + k);
        const TColor32* row = Src->ScanLine(y0);
        for (int i = 0; i < ClipW; ++i)
            store(BlockAverage(colSize[i], dy, row + colStart[i], RowLength), d[i]);
    }
}

// ---- TLinearResampler / TDraftResampler.

TLinearResampler::TLinearResampler(TBitmap32* Bitmap)
    : TBitmap32Resampler(Bitmap), FLinearKernel(std::make_unique<TLinearKernel>()) {}

void TLinearResampler::BeginSampling() {
    TBitmap32Resampler::BeginSampling();
    switch (FPixelAccessMode) {
    case pamUnsafe:
        FGetSampler = &TBitmap32::ReadPixelFixed;
        break;
    case pamSafe:
        FGetSampler = &TBitmap32::ReadPixelFixedSafe;
        break;
    case pamWrap:
        FGetSampler = &TBitmap32::ReadPixelFixedWrapped;
        break;
    }
}

TColor32 TLinearResampler::GetSampleFixed(TFixed X, TFixed Y) {
    return (FBitmap->*FGetSampler)(X, Y);
}

TColor32 TLinearResampler::GetSampleFloat(TFloat X, TFloat Y) {
    return GetSampleFixed(Fixed(X), Fixed(Y));
}

void TLinearResampler::Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                const TPixelCombineEvent& CombineCallBack) {
    if (DstRect.Width() > SrcRect.Width() && DstRect.Height() > SrcRect.Height() &&
        SrcRect.Width() > 1 && SrcRect.Height() > 1)
        StretchLinear(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
    else
        ResampleKernel(Dst, DstRect, DstClip, Src, SrcRect, *FLinearKernel, CombineOp,
                       CombineCallBack);
}

void TDraftResampler::Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                               TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                               const TPixelCombineEvent& CombineCallBack) {
    ResampleDraft(Dst, DstRect, DstClip, Src, SrcRect, *FLinearKernel, CombineOp, CombineCallBack);
}

// ---- TKernelResampler.

TKernelResampler::TKernelResampler(TBitmap32* Bitmap)
    : TBitmap32Resampler(Bitmap), FKernel(std::make_unique<TBoxKernel>()) {
    FKernel->SetObserver(this);
}

TKernelResampler::~TKernelResampler() = default;

TFloat TKernelResampler::GetWidth() const {
    return FKernel->GetWidth();
}

void TKernelResampler::SetKernel(TCustomKernel* Value) {
    if (!Value || Value == FKernel.get()) return;
    FKernel.reset(Value);
    FKernel->SetObserver(this);
    Changed();
}

void TKernelResampler::SetKernelClassName(const std::string& Value) {
    if (Value.empty() || Value == KernelClassName()) return;
    if (const TKernelClass* c = FindKernelClass(Value)) SetKernel(c->Create());
}

void TKernelResampler::SetKernelMode(TKernelMode Value) {
    if (FKernelMode == Value) return;
    FKernelMode = Value;
    Changed();
}

void TKernelResampler::SetTableSize(int Value) {
    // Rows are indexed by i / (TableSize - 1): fewer than 2 would divide by 0.
    if (FTableSize == Value || Value < 2 || Value > MaxKernelTableSize) return;
    FTableSize = Value;
    Changed();
}

namespace {
int KernelRadius(const TCustomKernel& Kernel) {
    const TFloat w = Kernel.GetWidth();
    if (!(w > 0) || !std::isfinite(w)) return 0;
    return int(std::ceil(std::min(w, MaxKernelWidth)));
}
} // namespace

void BuildKernelWeightTable(const TCustomKernel& Kernel, int TableSize, TIntegerMap& Table) {
    TableSize = std::max(TableSize, 2);
    const int W = KernelRadius(Kernel);
    Table.SetDimensions(2 * W + 1, TableSize + 1);
    for (int i = 0; i <= TableSize; ++i) {
        const TFloat f = TFloat(i) / TFloat(TableSize - 1);
        int sum = 0;
        for (int j = -W; j <= W; ++j) {
            const int v = Round(double(Kernel.Filter(TFloat(j) + f) * 256.0f));
            Table.SetValue(j + W, i, v);
            sum += v;
        }
        *Table.ValPtr(W, i) -= sum - 256;
    }
}

void TKernelResampler::BeginSampling() {
    TBitmap32Resampler::BeginSampling();
    FOuterColor = FBitmap ? FBitmap->OuterColor() : 0;
    const int W = KernelRadius(*FKernel);
    if (FPixelAccessMode == pamWrap) {
        FMappingX.assign(std::size_t(2 * W + 1), 0);
        FMappingY.assign(std::size_t(2 * W + 1), 0);
    }
    if (FKernelMode == kmTableNearest || FKernelMode == kmTableLinear) {
        FWeightTable = std::make_unique<TIntegerMap>();
        BuildKernelWeightTable(*FKernel, FTableSize, *FWeightTable);
    }
    FHorzWeights.assign(std::size_t(2 * W + 1), 0);
    FVertWeights.assign(std::size_t(2 * W + 1), 0);
}

void TKernelResampler::EndSampling() {
    FWeightTable.reset();
    FHorzWeights.clear();
    FVertWeights.clear();
    FMappingX.clear();
    FMappingY.clear();
    TBitmap32Resampler::EndSampling();
}

void TKernelResampler::FillWeights(TFloat Fraction, std::vector<int>& Weights, int W) const {
    Weights.resize(std::size_t(2 * W + 1));
    const TIntegerMap* table = FWeightTable.get();
    const bool tableFits = table && !table->Empty() && table->Width() == 2 * W + 1;
    const int last = FTableSize - 1;
    if (FKernelMode == kmTableNearest && tableFits) {
        const int row = std::clamp(Round(double(Fraction) * last), 0, table->Height() - 1);
        for (int i = 0; i <= 2 * W; ++i)
            Weights[i] = table->Value(i, row);
    } else if (FKernelMode == kmTableLinear && tableFits) {
        const std::int64_t t = Fixed(Fraction * TFloat(last));
        const int row = std::clamp(int(t >> 16), 0, table->Height() - 2);
        const std::int64_t fr = t - (std::int64_t(row) << 16);
        for (int i = 0; i <= 2 * W; ++i) {
            const std::int64_t a = table->Value(i, row), b = table->Value(i, row + 1);
            Weights[i] = int((a * (65536 - fr) + b * fr + 0x7FFF) >> 16);
        }
    } else {
        for (int i = -W; i <= W; ++i)
            Weights[i + W] = Round(double(FKernel->Filter(TFloat(i) + Fraction) * 256.0f));
    }
    std::int64_t sum = 0;
    for (int v : Weights)
        sum += v;
    Weights[W] -= int(sum - 256);
}

TColor32 TKernelResampler::GetSampleFloat(TFloat X, TFloat Y) {
    // Positions far outside any bitmap would overflow the integer window.
    X = std::clamp(X, -1e8f, 1e8f);
    Y = std::clamp(Y, -1e8f, 1e8f);
    // The clip rectangle as it was when sampling began (kept inside the
    // pixels should the bitmap have shrunk since).
    TRect clip;
    if (!FBitmap || FBitmap->Empty() || !IntersectRect(clip, FClipRect, FBitmap->BoundsRect()))
        return FOuterColor;
    const int W = KernelRadius(*FKernel);
    const int cx = int(std::ceil(X));
    const int cy = int(std::ceil(Y));

    int x0 = cx - W, x1 = cx + W, y0 = cy - W, y1 = cy + W;
    if (FPixelAccessMode == pamSafe) {
        if (cx < clip.Left || cx >= clip.Right || cy < clip.Top || cy >= clip.Bottom)
            return FOuterColor;
        x0 = std::max(x0, clip.Left);
        x1 = std::min(x1, clip.Right - 1);
        y0 = std::max(y0, clip.Top);
        y1 = std::min(y1, clip.Bottom - 1);
    } else if (FPixelAccessMode == pamUnsafe) {
        // Unchecked reads, but never outside the pixel memory itself.
        x0 = std::max(x0, 0);
        x1 = std::min(x1, FBitmap->Width() - 1);
        y0 = std::max(y0, 0);
        y1 = std::min(y1, FBitmap->Height() - 1);
    }

    FillWeights(TFloat(cx) - X, FHorzWeights, W);
    FillWeights(TFloat(cy) - Y, FVertWeights, W);

    const bool wrap = FPixelAccessMode == pamWrap;
    if (wrap) {
        const TWrapProc proc = GetWrapProc(FBitmap->WrapMode());
        FMappingX.resize(std::size_t(2 * W + 1));
        FMappingY.resize(std::size_t(2 * W + 1));
        for (int i = 0; i <= 2 * W; ++i) {
            FMappingX[i] = proc(cx - W + i, clip.Left, clip.Right - 1);
            FMappingY[i] = proc(cy - W + i, clip.Top, clip.Bottom - 1);
        }
    }

    std::int64_t sb = 0, sg = 0, sr = 0, sa = 0;
    for (int y = y0; y <= y1; ++y) {
        const int wy = FVertWeights[y - (cy - W)];
        if (wy == 0) continue;
        const int row = wrap ? FMappingY[y - (cy - W)] : y;
        std::int64_t hb = 0, hg = 0, hr = 0, ha = 0;
        for (int x = x0; x <= x1; ++x) {
            const int wx = FHorzWeights[x - (cx - W)];
            const int col = wrap ? FMappingX[x - (cx - W)] : x;
            const TColor32 c = FBitmap->ReadPixel(col, row);
            hb += std::int64_t(wx) * (c & 0xFF);
            hg += std::int64_t(wx) * ((c >> 8) & 0xFF);
            hr += std::int64_t(wx) * ((c >> 16) & 0xFF);
            ha += std::int64_t(wx) * (c >> 24);
        }
        sb += wy * hb;
        sg += wy * hg;
        sr += wy * hr;
        sa += wy * ha;
    }
    const bool RangeCheck = FKernel->RangeCheck();
    const auto Channel = [RangeCheck](std::int64_t V) -> Cardinal {
        V >>= 16;
        if (RangeCheck) V = std::clamp<std::int64_t>(V, 0, 255);
        return Cardinal(V) & 0xFF;
    };
    return (Channel(sa) << 24) | (Channel(sr) << 16) | (Channel(sg) << 8) | Channel(sb);
}

void TKernelResampler::Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                const TPixelCombineEvent& CombineCallBack) {
    ResampleKernel(Dst, DstRect, DstClip, Src, SrcRect, *FKernel, CombineOp, CombineCallBack);
}

void RegisterKernelResamplers() {
    SelectInterpolator();
    if (!FindResamplerClass("TLinearResampler")) {
        RegisterResampler(ResamplerClassOf<TLinearResampler>("TLinearResampler"));
        RegisterResampler(ResamplerClassOf<TDraftResampler>("TDraftResampler"));
        RegisterResampler(ResamplerClassOf<TKernelResampler>("TKernelResampler"));
    }

    TPublishedProperties<TLinearResampler>("TLinearResampler", "TBitmap32Resampler").Register();
    TPublishedProperties<TDraftResampler>("TDraftResampler", "TLinearResampler").Register();
    TPublishedProperties<TKernelResampler>("TKernelResampler", "TBitmap32Resampler")
        .String("KernelClassName", &TKernelResampler::KernelClassName,
                &TKernelResampler::SetKernelClassName)
        .Class("Kernel", &TKernelResampler::Kernel)
        .Enumeration("KernelMode", &TKernelResampler::KernelMode, &TKernelResampler::SetKernelMode,
                     {"kmDynamic", "kmTableNearest", "kmTableLinear"})
        .Default(kmDynamic)
        .Integer("TableSize", &TKernelResampler::TableSize, &TKernelResampler::SetTableSize)
        .Default(32)
        .Register();
}
