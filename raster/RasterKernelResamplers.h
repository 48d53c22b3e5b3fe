#pragma once
// The filtering resamplers: TLinearResampler (bilinear samples; enlarges by
// the linear stretch), TDraftResampler (the same samples; shrinks by block
// averages) and TKernelResampler (any kernel, through mapping tables when
// drawing and a weighted window when sampling). Each is bound to the bitmap
// it reads and owned by it (see TBitmap32Resampler).
//
// The drawing routines behind them are free functions so that the tests and
// the transfers can reach them directly. Each narrows the clip to Dst and
// DstRect, raises EBitmapException SInvalidSrcRect for a source rectangle
// that is not inside Src, and reads no pixel outside Src (the linear
// stretch may read the neighbour just left of or above SrcRect).
#include "raster/RasterCore.h"
#include "raster/RasterKernels.h"
#include "raster/RasterResamplers.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

// ---- Mapping tables.

// One source pixel's share of a destination pixel; Weight in 1/256.
struct TMapEntry {
    int Pos = 0;
    int Weight = 0;
    friend bool operator==(const TMapEntry&, const TMapEntry&) = default;
};

// For each destination column (or row) of a clip, the list of source
// positions and weights that make it. The lists live in one flat array.
class TMappingTable {
public:
    int Count() const { return FStarts.empty() ? 0 : int(FStarts.size()) - 1; }
    bool Empty() const { return Count() == 0; }
    std::span<const TMapEntry> operator[](int Index) const {
        return {FEntries.data() + FStarts[Index], std::size_t(FStarts[Index + 1] - FStarts[Index])};
    }
    // The smallest and the largest position of all lists (the table must
    // not be empty).
    int MinPos() const;
    int MaxPos() const;

    void Clear();
    // Starts a new (empty) list; entries are appended to the last one.
    void BeginList();
    void Append(int Pos, int Weight) { FEntries.push_back({Pos, Weight}); }
    void EndList() { FStarts.back() = int(FEntries.size()); }

private:
    std::vector<TMapEntry> FEntries;
    std::vector<int> FStarts; // Count() + 1 offsets into FEntries
};

// The lists for the clip ClipLo..ClipHi of a destination span DstLo..DstHi
// drawn from the source span SrcLo..SrcHi through Kernel. Every list's
// weights sum to 256 and every position lies in SrcLo..SrcHi - 1. A list
// the kernel leaves empty gets the single entry (nearest source pixel, 256).
TMappingTable BuildMappingTable(int DstLo, int DstHi, int ClipLo, int ClipHi, int SrcLo, int SrcHi,
                                const TCustomKernel& Kernel);

// ---- Pixel arithmetic shared by the resamplers.

// Bilinear mix of the 2x2 block whose top row starts at P1 and bottom row at
// P2; WX and WY are the weights (0..256) of the left column and the top row,
// repeated in both 16-bit halves. The packed form mixes exactly (floor of
// the weighted mean, weight 256 returns the pixel unchanged); the portable
// form goes through CombineReg (weights capped at 255, rounded).
TColor32 InterpolatePacked(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2);
TColor32 InterpolatePortable(Cardinal WX, Cardinal WY, const TColor32* P1, const TColor32* P2);

// The mean of a Dx x Dy block (all four channels), each channel
// (sum * (0x1000000 div (Dx * Dy))) shr 24. RowLength is the source's width.
TColor32 BlockAverage(int Dx, int Dy, const TColor32* First, int RowLength);

enum TInterpolatorForm { ifPortable, ifPacked };
// Picks the interpolator by the processor (packed when it has MMX).
void SelectInterpolator();
void SelectInterpolator(TInterpolatorForm Form);
TInterpolatorForm ActiveInterpolator();

// ---- Drawing routines (see the file comment for their preconditions).

void StretchLinear(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                   const TRect& SrcRect, TDrawMode CombineOp,
                   const TPixelCombineEvent& CombineCallBack);
void ResampleKernel(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                    const TRect& SrcRect, const TCustomKernel& Kernel, TDrawMode CombineOp,
                    const TPixelCombineEvent& CombineCallBack);
void ResampleDraft(TBitmap32* Dst, const TRect& DstRect, TRect DstClip, TBitmap32* Src,
                   const TRect& SrcRect, const TCustomKernel& LinearKernel, TDrawMode CombineOp,
                   const TPixelCombineEvent& CombineCallBack);

// ---- Resamplers.

// Bilinear sampling through the bitmap's fixed-point reads (safe, unchecked
// or wrapped by PixelAccessMode).
class TLinearResampler : public TBitmap32Resampler {
public:
    QM_CLASSNAME(TLinearResampler)
    explicit TLinearResampler(TBitmap32* Bitmap);

    TFloat GetWidth() const override { return 1; }
    void BeginSampling() override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(TFloat X, TFloat Y) override;
    // GetSampleFixed without the virtual call, for row loops.
    TColor32 SampleFixed(TFixed X, TFixed Y) const { return (FBitmap->*FGetSampler)(X, Y); }
    // Enlarging a source of at least 2 x 2 in both directions: the linear
    // stretch; otherwise the kernel resample with the linear kernel.
    void Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) override;

protected:
    using TGetSampleFixed = TColor32 (TBitmap32::*)(TFixed X, TFixed Y) const;
    TGetSampleFixed FGetSampler = &TBitmap32::ReadPixelFixedSafe;
    std::unique_ptr<TLinearKernel> FLinearKernel;
};

// Linear sampling; draws shrunk images by averaging whole source blocks.
class TDraftResampler : public TLinearResampler {
public:
    QM_CLASSNAME(TDraftResampler)
    explicit TDraftResampler(TBitmap32* Bitmap) : TLinearResampler(Bitmap) {}

    void Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) override;
};

enum TKernelMode { kmDynamic, kmTableNearest, kmTableLinear };

// Samples and draws through a kernel (owned; a TBoxKernel at first). In the
// table modes the weights come from a table of TableSize + 1 fractions
// built when sampling begins. TableSize is at least 2 (smaller values are
// refused) and at most MaxKernelTableSize.
class TKernelResampler : public TBitmap32Resampler {
public:
    QM_CLASSNAME(TKernelResampler)
    static constexpr int MaxKernelTableSize = 4096;

    explicit TKernelResampler(TBitmap32* Bitmap);
    ~TKernelResampler() override;

    TFloat GetWidth() const override;
    void BeginSampling() override;
    void EndSampling() override;
    TColor32 GetSampleFloat(TFloat X, TFloat Y) override;
    void Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) override;

    TCustomKernel* Kernel() const { return FKernel.get(); }
    // Takes ownership of Value; nullptr or the present kernel does nothing.
    void SetKernel(TCustomKernel* Value);
    std::string KernelClassName() const { return FKernel->ClassName(); }
    // An empty, present or unregistered name does nothing.
    void SetKernelClassName(const std::string& Value);
    TKernelMode KernelMode() const { return FKernelMode; }
    void SetKernelMode(TKernelMode Value);
    int TableSize() const { return FTableSize; }
    void SetTableSize(int Value);
    TColor32 OuterColor() const { return FOuterColor; }

    // The weight table of the table modes while sampling (else nullptr).
    const TIntegerMap* WeightTable() const { return FWeightTable.get(); }

private:
    void FillWeights(TFloat Fraction, std::vector<int>& Weights, int W) const;

    std::unique_ptr<TCustomKernel> FKernel;
    TKernelMode FKernelMode = kmDynamic;
    int FTableSize = 32;
    std::unique_ptr<TIntegerMap> FWeightTable;
    std::vector<int> FHorzWeights;
    std::vector<int> FVertWeights;
    std::vector<int> FMappingX;
    std::vector<int> FMappingY;
    TColor32 FOuterColor = 0;
};

// Builds the table of Kernel for TableSize (at least 2) into Table: row i
// holds Round(Filter(j + i / (TableSize - 1)) * 256) for j = -W..W in
// columns 0..2W (W = Ceil(width)), each row corrected to sum to 256.
void BuildKernelWeightTable(const TCustomKernel& Kernel, int TableSize, TIntegerMap& Table);

// Registers the linear, draft and kernel resamplers (in that order) and
// their published properties.
void RegisterKernelResamplers();
