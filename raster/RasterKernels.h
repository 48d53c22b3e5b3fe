#pragma once
// The reconstruction kernels of the kernel resampler: each is a filter f(x)
// over a half-width (Width), in single precision, and says whether the sums
// it weighs can leave 0..255 (RangeCheck: kernels with negative lobes).
//
// A kernel is owned by one resampler at a time, which observes it: changing
// a parameter notifies that resampler. Setters ignore values that would make
// the filter meaningless (a zero Sigma or sinsh Coeff, a Width that is not
// in (0, MaxKernelWidth]).
#include "platform/base/Object.h"
#include "platform/classes/Persistent.h"
#include "raster/RasterRects.h"

class TNotifiablePersistent;

// Widths beyond this would make every sample read a window of millions of
// pixels; a streamed value that large is refused.
inline constexpr TFloat MaxKernelWidth = 256.0f;

class TCustomKernel : public TPersistent {
public:
    QM_CLASSNAME(TCustomKernel)

    virtual TFloat Filter(TFloat Value) const = 0;
    virtual TFloat GetWidth() const = 0;
    // True when the filter has negative lobes, so weighted sums are clamped.
    virtual bool RangeCheck() const { return false; }

    // The resampler told about parameter changes (not owned; may be null).
    TNotifiablePersistent* Observer() const { return FObserver; }
    void SetObserver(TNotifiablePersistent* Value) { FObserver = Value; }

    // Copies the published parameters of another kernel.
    void Assign(const TPersistent* Source) override;

protected:
    void Changed();

private:
    TNotifiablePersistent* FObserver = nullptr;
};

class TBoxKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TBoxKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 1; }
};

class TLinearKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TLinearKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 1; }
};

class TCosineKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TCosineKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 1; }
};

class TSplineKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TSplineKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 2; }
    bool RangeCheck() const override { return true; }
};

class TMitchellKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TMitchellKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 2; }
    bool RangeCheck() const override { return true; }
};

class TCubicKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TCubicKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 2; }
    bool RangeCheck() const override { return true; }

    TFloat Coeff() const { return FCoeff; }
    void SetCoeff(TFloat Value);

private:
    TFloat FCoeff = -0.5f;
};

class THermiteKernel : public TCustomKernel {
public:
    QM_CLASSNAME(THermiteKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return 2; }
    bool RangeCheck() const override { return true; }

    TFloat Bias() const { return FBias; }
    void SetBias(TFloat Value);
    TFloat Tension() const { return FTension; }
    void SetTension(TFloat Value);

private:
    TFloat FBias = 0;
    TFloat FTension = 0;
};

// sin(pi x) / (pi x), 1 at 0.
TFloat SinC(TFloat Value);

// SinC(x) times a window that the subclasses define, zero from Width on.
class TWindowedSincKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TWindowedSincKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return FWidth; }
    bool RangeCheck() const override { return true; }

    // Ignored unless in (0, MaxKernelWidth].
    void SetWidth(TFloat Value);

protected:
    virtual TFloat Window(TFloat Value) const = 0;
    TFloat FWidth = 3;
};

class TLanczosKernel : public TWindowedSincKernel {
public:
    QM_CLASSNAME(TLanczosKernel)
protected:
    TFloat Window(TFloat Value) const override;
};

class TGaussianKernel : public TWindowedSincKernel {
public:
    QM_CLASSNAME(TGaussianKernel)
    TFloat Sigma() const { return FSigma; }
    // A Sigma of 0 (or not finite) is refused: the window divides by it.
    void SetSigma(TFloat Value);

protected:
    TFloat Window(TFloat Value) const override;

private:
    TFloat FSigma = 1.33f;
};

class TBlackmanKernel : public TWindowedSincKernel {
public:
    QM_CLASSNAME(TBlackmanKernel)
protected:
    TFloat Window(TFloat Value) const override;
};

class THannKernel : public TWindowedSincKernel {
public:
    QM_CLASSNAME(THannKernel)
protected:
    TFloat Window(TFloat Value) const override;
};

class THammingKernel : public TWindowedSincKernel {
public:
    QM_CLASSNAME(THammingKernel)
protected:
    TFloat Window(TFloat Value) const override;
};

class TSinshKernel : public TCustomKernel {
public:
    QM_CLASSNAME(TSinshKernel)
    TFloat Filter(TFloat Value) const override;
    TFloat GetWidth() const override { return FWidth; }
    bool RangeCheck() const override { return true; }

    // Ignored unless in (0, MaxKernelWidth].
    void SetWidth(TFloat Value);
    TFloat Coeff() const { return FCoeff; }
    // A Coeff of 0 (or not finite) is refused: the filter divides by it.
    void SetCoeff(TFloat Value);

private:
    TFloat FWidth = 3;
    TFloat FCoeff = 0.5f;
};

// Registers the thirteen kernels (box first, Hermite last) with the kernel
// class list, and the published parameters of every kernel class.
void RegisterKernels();
