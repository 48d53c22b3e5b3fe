#include "raster/RasterKernels.h"

#include "platform/classes/PropertyRegistry.h"
#include "raster/RasterCore.h"
#include "raster/RasterResamplers.h"

#include <cmath>

namespace {

constexpr TFloat Pi = 3.14159265358979f;

bool AcceptableWidth(TFloat Value) {
    return std::isfinite(Value) && Value > 0 && Value <= MaxKernelWidth;
}

} // namespace

void TCustomKernel::Assign(const TPersistent* Source) {
    if (dynamic_cast<const TCustomKernel*>(Source)) {
        CopyPublishedProperties(Source, this);
        return;
    }
    TPersistent::Assign(Source);
}

void TCustomKernel::Changed() {
    if (FObserver) FObserver->Changed();
}

TFloat TBoxKernel::Filter(TFloat Value) const {
    return (Value >= -0.5f && Value <= 0.5f) ? 1.0f : 0.0f;
}

TFloat TLinearKernel::Filter(TFloat Value) const {
    const TFloat t = std::fabs(Value);
    return t < 1 ? 1 - t : 0;
}

TFloat TCosineKernel::Filter(TFloat Value) const {
    if (std::fabs(Value) < 1) return (std::cos(Pi * Value) + 1) * 0.5f;
    return 0;
}

TFloat TSplineKernel::Filter(TFloat Value) const {
    const TFloat t = std::fabs(Value);
    if (t < 1) return t * t * t * 0.5f - t * t + 2.0f / 3.0f;
    if (t < 2) {
        const TFloat u = 2 - t;
        return u * u * u / 6.0f;
    }
    return 0;
}

TFloat TMitchellKernel::Filter(TFloat Value) const {
    const TFloat t = std::fabs(Value);
    const TFloat t2 = t * t;
    const TFloat t3 = t2 * t;
    if (t < 1) return (7 * t3 - 12 * t2 + 16.0f / 3.0f) / 6.0f;
    if (t < 2) return (-7.0f / 3.0f * t3 + 12 * t2 - 20 * t + 32.0f / 3.0f) / 6.0f;
    return 0;
}

TFloat TCubicKernel::Filter(TFloat Value) const {
    const TFloat a = FCoeff;
    const TFloat t = std::fabs(Value);
    const TFloat t2 = t * t;
    const TFloat t3 = t2 * t;
    if (t < 1) return (a + 2) * t3 - (a + 3) * t2 + 1;
    if (t < 2) return a * (t3 - 5 * t2 + 8 * t - 4);
    return 0;
}

void TCubicKernel::SetCoeff(TFloat Value) {
    if (FCoeff == Value) return;
    FCoeff = Value;
    Changed();
}

TFloat THermiteKernel::Filter(TFloat Value) const {
    const TFloat fi = std::floor(Value);
    const TFloat t = std::fabs(fi - Value);
    const TFloat t2 = t * t;
    const TFloat t3 = t2 * t;
    const TFloat e = -2 * t3 + 3 * t2;
    const TFloat q = (1 - FTension) * 0.5f;
    const TFloat g = q * (1 - FBias);
    const TFloat h = q * (1 + FBias);
    const TFloat p = t + t3 - 2 * t2;
    const TFloat r = t3 - t2;
    // Values far outside the window would overflow an int conversion.
    if (!(fi >= -2 && fi <= 1)) return 0;
    switch (int(fi)) {
    case 0:
        return p * (h - g) + (1 - e) - r * h;
    case 1:
        return -p * h;
    case -2:
        return g * r;
    case -1:
        return e + g * p + r * (h - g);
    default:
        return 0;
    }
}

void THermiteKernel::SetBias(TFloat Value) {
    if (FBias == Value) return;
    FBias = Value;
    Changed();
}

void THermiteKernel::SetTension(TFloat Value) {
    if (FTension == Value) return;
    FTension = Value;
    Changed();
}

TFloat SinC(TFloat Value) {
    if (Value == 0) return 1;
    const TFloat x = Pi * Value;
    return std::sin(x) / x;
}

TFloat TWindowedSincKernel::Filter(TFloat Value) const {
    const TFloat t = std::fabs(Value);
    if (!(t < FWidth)) return 0;
    return SinC(t) * Window(t);
}

void TWindowedSincKernel::SetWidth(TFloat Value) {
    if (FWidth == Value || !AcceptableWidth(Value)) return;
    FWidth = Value;
    Changed();
}

TFloat TLanczosKernel::Window(TFloat Value) const {
    return SinC(Value / FWidth);
}

TFloat TGaussianKernel::Window(TFloat Value) const {
    return std::exp2(-Value * Value / FSigma);
}

void TGaussianKernel::SetSigma(TFloat Value) {
    if (FSigma == Value || Value == 0 || !std::isfinite(Value)) return;
    FSigma = Value;
    Changed();
}

TFloat TBlackmanKernel::Window(TFloat Value) const {
    const TFloat x = Pi * Value / FWidth;
    return 0.42f + 0.5f * std::cos(x) + 0.08f * std::cos(2 * x);
}

TFloat THannKernel::Window(TFloat Value) const {
    return 0.5f + 0.5f * std::cos(Pi * Value / FWidth);
}

TFloat THammingKernel::Window(TFloat Value) const {
    return 0.54f + 0.46f * std::cos(Pi * Value / FWidth);
}

TFloat TSinshKernel::Filter(TFloat Value) const {
    if (Value == 0) return 1;
    const TFloat s = std::sinh(Pi * Value * FCoeff);
    // sinh overflows to infinity far out, where the filter is 0.
    if (!std::isfinite(s)) return 0;
    return std::sin(Pi * Value) * FCoeff / s;
}

void TSinshKernel::SetWidth(TFloat Value) {
    if (FWidth == Value || !AcceptableWidth(Value)) return;
    FWidth = Value;
    Changed();
}

void TSinshKernel::SetCoeff(TFloat Value) {
    if (FCoeff == Value || Value == 0 || !std::isfinite(Value)) return;
    FCoeff = Value;
    Changed();
}

void RegisterKernels() {
    if (!FindKernelClass("TBoxKernel")) {
        RegisterKernel(KernelClassOf<TBoxKernel>("TBoxKernel"));
        RegisterKernel(KernelClassOf<TLinearKernel>("TLinearKernel"));
        RegisterKernel(KernelClassOf<TCosineKernel>("TCosineKernel"));
        RegisterKernel(KernelClassOf<TSplineKernel>("TSplineKernel"));
        RegisterKernel(KernelClassOf<TCubicKernel>("TCubicKernel"));
        RegisterKernel(KernelClassOf<TMitchellKernel>("TMitchellKernel"));
        RegisterKernel(KernelClassOf<TLanczosKernel>("TLanczosKernel"));
        RegisterKernel(KernelClassOf<TGaussianKernel>("TGaussianKernel"));
        RegisterKernel(KernelClassOf<TBlackmanKernel>("TBlackmanKernel"));
        RegisterKernel(KernelClassOf<THannKernel>("THannKernel"));
        RegisterKernel(KernelClassOf<THammingKernel>("THammingKernel"));
        RegisterKernel(KernelClassOf<TSinshKernel>("TSinshKernel"));
        RegisterKernel(KernelClassOf<THermiteKernel>("THermiteKernel"));
    }

    TPublishedProperties<TCustomKernel>("TCustomKernel", "TPersistent").Register();
    for (const char* Name :
         {"TBoxKernel", "TLinearKernel", "TCosineKernel", "TSplineKernel", "TMitchellKernel"})
        TPublishedProperties<TCustomKernel>(Name, "TCustomKernel").Register();
    TPublishedProperties<TCubicKernel>("TCubicKernel", "TCustomKernel")
        .Float("Coeff", &TCubicKernel::Coeff, &TCubicKernel::SetCoeff)
        .Default(-0.5)
        .Register();
    TPublishedProperties<THermiteKernel>("THermiteKernel", "TCustomKernel")
        .Float("Bias", &THermiteKernel::Bias, &THermiteKernel::SetBias)
        .Float("Tension", &THermiteKernel::Tension, &THermiteKernel::SetTension)
        .Register();
    TPublishedProperties<TWindowedSincKernel>("TWindowedSincKernel", "TCustomKernel")
        .Float("Width", &TWindowedSincKernel::GetWidth, &TWindowedSincKernel::SetWidth)
        .Default(3)
        .Register();
    for (const char* Name : {"TLanczosKernel", "TBlackmanKernel", "THannKernel", "THammingKernel"})
        TPublishedProperties<TWindowedSincKernel>(Name, "TWindowedSincKernel").Register();
    TPublishedProperties<TGaussianKernel>("TGaussianKernel", "TWindowedSincKernel")
        .Float("Sigma", &TGaussianKernel::Sigma, &TGaussianKernel::SetSigma)
        .Default(double(1.33f))
        .Register();
    TPublishedProperties<TSinshKernel>("TSinshKernel", "TCustomKernel")
        .Float("Width", &TSinshKernel::GetWidth, &TSinshKernel::SetWidth)
        .Default(3)
        .Float("Coeff", &TSinshKernel::Coeff, &TSinshKernel::SetCoeff)
        .Default(0.5)
        .Register();
}
