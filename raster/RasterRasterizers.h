#pragma once
// Rasterizers walk a destination rectangle, take each pixel's colour from a
// sampler and store it with the source bitmap's draw settings (dmOpaque
// stores, dmBlend blends with the master alpha under the combine mode,
// dmTransparent skips the outer colour, dmCustom calls the pixel-combine
// callback; without a callback it counts as dmOpaque). The sampler is not
// owned.
#include "raster/RasterCore.h"
#include "raster/RasterResamplers.h"

#include <memory>

class TRasterizer : public TThreadPersistent {
public:
    QM_CLASSNAME(TRasterizer)

    TCustomSampler* Sampler() const { return FSampler; }
    // Notifies when the sampler differs from the present one.
    void SetSampler(TCustomSampler* Value);

    // Takes the draw settings from Src, begins sampling, runs the pass over
    // DstRect (inside the sampler's bounds when it has any, else inside
    // Dst), closes any update the pass left open on Dst and ends sampling,
    // also when the pass fails.
    void Rasterize(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src);

protected:
    virtual void DoRasterize(TBitmap32* Dst, const TRect& DstRect) = 0;

    // Stores Color into the pixel by the run's draw mode.
    void AssignColor(TColor32& Pixel, TColor32 Color) const {
        switch (FAssignMode) {
        case dmOpaque:
            Pixel = Color;
            break;
        case dmBlend:
            FBlendMemEx(Color, Pixel, FSrcAlpha);
            break;
        case dmTransparent:
            if (Color != FTransparentColor) Pixel = Color;
            break;
        case dmCustom:
            FCombineCallBack(Color, Pixel, FSrcAlpha);
            break;
        }
    }
    // A whole row of colours by the run's draw mode.
    void AssignRow(TColor32* Pixels, const TColor32* Colors, int Count) const;

    TCustomSampler* FSampler = nullptr;
    TDrawMode FAssignMode = dmOpaque;
    Cardinal FSrcAlpha = 255;
    TBlendMemEx FBlendMemEx = BlendMemEx;
    TPixelCombineEvent FCombineCallBack;
    TColor32 FTransparentColor = 0;
};

// Row by row, left to right. With UpdateRowCount > 0 the rows drawn are
// reported to Dst (AreaChanged) after every UpdateRowCount rows and after
// the last row; with 0 the pass reports nothing itself.
class TRegularRasterizer : public TRasterizer {
public:
    QM_CLASSNAME(TRegularRasterizer)

    Integer UpdateRowCount() const { return FUpdateRowCount; }
    void SetUpdateRowCount(Integer Value) { FUpdateRowCount = Value; }

protected:
    void DoRasterize(TBitmap32* Dst, const TRect& DstRect) override;

private:
    Integer FUpdateRowCount = 0;
};

using TRasterizerFactory = TRasterizer* (*)();
// The class TransformBitmap uses (TRegularRasterizer unless replaced).
void SetDefaultRasterizerClass(TRasterizerFactory Factory);
std::unique_ptr<TRasterizer> CreateDefaultRasterizer();
