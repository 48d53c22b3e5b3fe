#pragma once
// Samplers read a bitmap (or another sampler) at integer, 16.16 fixed or
// float positions; resamplers also draw a rectangle of their bitmap into a
// rectangle of another size (the resample-rectangle operation that
// TransferStretched calls). TNearestResampler is defined here; the linear,
// draft and kernel resamplers and the kernels live in their own files and
// join the class registries below.
//
// A TBitmap32Resampler belongs to the bitmap it serves: constructing one for
// a bitmap installs it as that bitmap's Resampler, which then owns it.
#include "platform/base/Exception.h"
#include "raster/RasterContainers.h"
#include "raster/RasterCore.h"
#include "raster/RasterMath.h"
#include "raster/RasterRects.h"

#include <string_view>

QM_DECLARE_EXCEPTION(ENestedException, Exception);
constexpr const char* SNestedSamplerNil = "Nested sampler is nil";
constexpr const char* SInvalidSrcRect = "Invalid SrcRect";

// The sampling interface. Each default passes to another form (integer ->
// fixed -> float -> fixed), so a sampler overrides at least the integer or
// the fixed form and, when it has one, the float form.
class TCustomSampler : public TNotifiablePersistent {
public:
    QM_CLASSNAME(TCustomSampler)

    // Default: the fixed sample at (X shl 16, Y shl 16).
    virtual TColor32 GetSampleInt(int X, int Y);
    // Default: the float sample at (X / 65536, Y / 65536).
    virtual TColor32 GetSampleFixed(TFixed X, TFixed Y);
    // Default: the fixed sample at (Round(X * 65536), Round(Y * 65536)).
    virtual TColor32 GetSampleFloat(TFloat X, TFloat Y);
    virtual void BeginSampling() {}
    virtual void EndSampling() {}
    virtual bool HasBounds() const { return false; }
    // Default: the whole 32-bit integer range.
    virtual TFloatRect GetSampleBounds() const;
};

class TCustomResampler : public TCustomSampler {
public:
    QM_CLASSNAME(TCustomResampler)

    // How many source pixels around a position a sample reads (the image
    // control widens repaint areas by it).
    //
    // Not pure: a resampler installs itself on its bitmap from its base
    // constructor, and the bitmap's change listeners may ask for the width
    // before the derived part exists.
    virtual TFloat GetWidth() const { return 1; }
    // Draws SrcRect of Src into DstRect of Dst. DstClip is already inside
    // Dst and DstRect and not empty; SrcRect is inside Src and not empty;
    // dmCustom without a callback has become dmOpaque. Pixels go by mode as
    // CombineRow lays them. The base draws nearest pixels.
    virtual void Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                          TBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                          const TPixelCombineEvent& CombineCallBack);
};

enum TPixelAccessMode { pamUnsafe, pamSafe, pamWrap };

// A resampler bound to one bitmap. Its change notice goes to the bitmap;
// sampling bounds are the bitmap's clip rectangle copied at BeginSampling.
class TBitmap32Resampler : public TCustomResampler {
public:
    QM_CLASSNAME(TBitmap32Resampler)

    // Installs itself as Bitmap's resampler when Bitmap is not null.
    explicit TBitmap32Resampler(TBitmap32* Bitmap);

    TBitmap32* Bitmap() const { return FBitmap; }
    TPixelAccessMode PixelAccessMode() const { return FPixelAccessMode; }
    void SetPixelAccessMode(TPixelAccessMode Value);

    void Changed() override;
    void BeginSampling() override;
    bool HasBounds() const override { return true; }
    TFloatRect GetSampleBounds() const override;
    // Copies the published properties between resamplers.
    void Assign(const TPersistent* Source) override;
    // The class of the transformer that samples through this resampler.
    virtual const char* TransformerClassName() const { return "TTransformer"; }

protected:
    TBitmap32* FBitmap;
    TRect FClipRect;
    TPixelAccessMode FPixelAccessMode = pamSafe;
};

// Reads the nearest pixel; draws stretched by repeating or dropping pixels.
class TNearestResampler : public TBitmap32Resampler {
public:
    QM_CLASSNAME(TNearestResampler)
    explicit TNearestResampler(TBitmap32* Bitmap) : TBitmap32Resampler(Bitmap) {}

    TFloat GetWidth() const override { return 1; }
    // Binds the pixel read of PixelAccessMode: unchecked, clipped
    // (OuterColor outside the clip rectangle) or wrapped.
    void BeginSampling() override;
    TColor32 GetSampleInt(int X, int Y) override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(TFloat X, TFloat Y) override;
    void Resample(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) override;
    const char* TransformerClassName() const override { return "TNearestTransformer"; }

private:
    using TGetPixel = TColor32 (TBitmap32::*)(int X, int Y) const;
    TGetPixel FGetPixel = &TBitmap32::ReadPixelClipped;
};

// Draws SrcRect of Src into DstRect of Dst (inside Dst and DstClip) by
// nearest-pixel mapping. Raises Exception SInvalidSrcRect when SrcRect is
// not inside Src.
void StretchNearest(TBitmap32* Dst, TRect DstRect, TRect DstClip, TBitmap32* Src, TRect SrcRect,
                    TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);

// A sampler that reads through another one (not owned). Bounds and the
// begin/end of sampling are passed on; without a nested sampler they raise
// ENestedException SNestedSamplerNil. A nil sampler is accepted.
class TNestedSampler : public TCustomSampler {
public:
    QM_CLASSNAME(TNestedSampler)
    explicit TNestedSampler(TCustomSampler* ASampler = nullptr) { SetSampler(ASampler); }

    TCustomSampler* Sampler() const { return FSampler; }
    void SetSampler(TCustomSampler* Value) { FSampler = Value; }

    void BeginSampling() override;
    void EndSampling() override;
    bool HasBounds() const override;
    TFloatRect GetSampleBounds() const override;
    void Assign(const TPersistent* Source) override;

protected:
    TCustomSampler& Nested() const;
    TCustomSampler* FSampler = nullptr;
};

// Copies every published property that Source's class and Dest's class both
// register (objects through Assign, values through their accessors).
void CopyPublishedProperties(const TPersistent* Source, TPersistent* Dest);

// ---- Class registries (exact, case-sensitive names; first match wins).

class TCustomKernel;

struct TResamplerClass : TClassRef {
    TCustomResampler* (*Create)(TBitmap32* Bitmap);
};
struct TKernelClass : TClassRef {
    TCustomKernel* (*Create)();
};

// The descriptor of a resampler class T (constructible from TBitmap32*).
template <class T> const TResamplerClass* ResamplerClassOf(const char* Name) {
    static const TResamplerClass C{{Name},
                                   [](TBitmap32* B) -> TCustomResampler* { return new T(B); }};
    return &C;
}
template <class T> const TKernelClass* KernelClassOf(const char* Name) {
    static const TKernelClass C{{Name}, []() -> TCustomKernel* { return new T(); }};
    return &C;
}

// The lists are created on first registration and freed by
// DoneRasterResamplers; nullptr before.
void RegisterResampler(const TResamplerClass* Class);
void RegisterKernel(const TKernelClass* Class);
TClassList* ResamplerList();
TClassList* KernelList();
const TResamplerClass* FindResamplerClass(std::string_view Name);
const TKernelClass* FindKernelClass(std::string_view Name);

// Registers TNearestResampler and its stream properties. The linear, draft
// and kernel resamplers and the kernels register right after it, from the
// module start, in that order.
void InitRasterResamplers();
void DoneRasterResamplers();
