#include "raster/RasterTransforms.h"

#include "platform/base/Format.h"
#include "platform/base/Rounding.h"
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterRasterizers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

// ---- Matrices.

TFloat Determinant(const TFloatMatrix& M) {
    return M[0][0] * (M[1][1] * M[2][2] - M[2][1] * M[1][2]) -
           M[1][0] * (M[0][1] * M[2][2] - M[2][1] * M[0][2]) +
           M[2][0] * (M[0][1] * M[1][2] - M[1][1] * M[0][2]);
}

void Adjoint(TFloatMatrix& M) {
    const TFloatMatrix a = M;
    M[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    M[0][1] = -(a[0][1] * a[2][2] - a[0][2] * a[2][1]);
    M[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    M[1][0] = -(a[1][0] * a[2][2] - a[1][2] * a[2][0]);
    M[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    M[1][2] = -(a[0][0] * a[1][2] - a[0][2] * a[1][0]);
    M[2][0] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    M[2][1] = -(a[0][0] * a[2][1] - a[0][1] * a[2][0]);
    M[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
}

void Scale(TFloatMatrix& M, TFloat Factor) {
    for (TVector3f& v : M)
        for (TFloat& e : v)
            e *= Factor;
}

void Invert(TFloatMatrix& M) {
    const TFloat det = Determinant(M);
    // A (nearly) singular mapping has no usable inverse; the identity keeps
    // the samples inside the source instead of failing.
    if (!(std::fabs(det) >= 1e-5f)) {
        M = IdentityMatrix;
        return;
    }
    Adjoint(M);
    Scale(M, 1 / det);
}

TFloatMatrix Mult(const TFloatMatrix& A, const TFloatMatrix& B) {
    TFloatMatrix r{};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            r[i][k] = A[0][k] * B[i][0] + A[1][k] * B[i][1] + A[2][k] * B[i][2];
    return r;
}

TVector3f VectorTransform(const TFloatMatrix& M, const TVector3f& V) {
    TVector3f r{};
    for (int k = 0; k < 3; ++k)
        r[k] = V[0] * M[0][k] + V[1] * M[1][k] + V[2] * M[2][k];
    return r;
}

// ---- TTransformation.

namespace {

TFixed ShiftFixed(int V) {
    return TFixed(std::uint32_t(V) << 16);
}
TFloat FromFixed(TFixed V) {
    return TFloat(V) * (1.0f / 65536.0f);
}
// The sum of fixed terms wraps as 32-bit integers do.
TFixed AddWrap(TFixed A, TFixed B, TFixed C) {
    return TFixed(std::uint32_t(A) + std::uint32_t(B) + std::uint32_t(C));
}

// (X, Y) through an affine matrix.
void MapFixed(const TFixedMatrix& M, TFixed X, TFixed Y, TFixed& OX, TFixed& OY) {
    OX = AddWrap(FixedMul(X, M[0][0]), FixedMul(Y, M[1][0]), M[2][0]);
    OY = AddWrap(FixedMul(X, M[0][1]), FixedMul(Y, M[1][1]), M[2][1]);
}
void MapFloat(const TFloatMatrix& M, TFloat X, TFloat Y, TFloat& OX, TFloat& OY) {
    OX = X * M[0][0] + Y * M[1][0] + M[2][0];
    OY = X * M[0][1] + Y * M[1][1] + M[2][1];
}

// The base class's coarser forms: an integer position goes through the
// fixed form (as X shl 16, Y shl 16) and is rounded back, a fixed one
// through the float form.
template <class TFine, class TCoarse, class TWiden, class TNarrow>
void ThroughFiner(TTransformation& T, void (TTransformation::*Map)(TFine, TFine, TFine&, TFine&),
                  TWiden Widen, TNarrow Narrow, TCoarse X, TCoarse Y, TCoarse& OX, TCoarse& OY) {
    TFine x, y;
    (T.*Map)(Widen(X), Widen(Y), x, y);
    OX = Narrow(x);
    OY = Narrow(y);
}

// A walk along a destination row from (X, Y) through an affine inverse
// fixed matrix: the first source position and the steps per column. With
// X shl 16 exact, the product for X + 1 is the product for X plus the
// matrix element, so the positions step by addition (wrapping as the 32-bit
// sums do).
struct TFixedRowWalk {
    std::uint32_t U, V, DU, DV;
};
TFixedRowWalk StartRowWalk(const TFixedMatrix& M, int X, int Y) {
    TFixed u, v;
    MapFixed(M, ShiftFixed(X), ShiftFixed(Y), u, v);
    return {std::uint32_t(u), std::uint32_t(v), std::uint32_t(M[0][0]), std::uint32_t(M[0][1])};
}

} // namespace

void TTransformation::Changed() {
    FTransformValid = false;
    TNotifiablePersistent::Changed();
}

void TTransformation::SetSourceRect(const TFloatRect& Value) {
    FSrcRect = Value;
    Changed();
}

TRect TTransformation::GetTransformedBounds(const TFloatRect& ASrcRect) {
    return {Round(ASrcRect.Left), Round(ASrcRect.Top), Round(ASrcRect.Right),
            Round(ASrcRect.Bottom)};
}

// The public transforms: prepare a stale mapping, then map through one of
// the protected forms.
template <class TP, class TV>
TP TTransformation::MapPoint(const TP& P, void (TTransformation::*Map)(TV, TV, TV&, TV&)) {
    PrepareIfInvalid();
    TP r;
    (this->*Map)(P.X, P.Y, r.X, r.Y);
    return r;
}

TPoint TTransformation::ReverseTransform(const TPoint& P) {
    return MapPoint(P, &TTransformation::ReverseTransformInt);
}
TFixedPoint TTransformation::ReverseTransform(const TFixedPoint& P) {
    return MapPoint(P, &TTransformation::ReverseTransformFixed);
}
TFloatPoint TTransformation::ReverseTransform(const TFloatPoint& P) {
    return MapPoint(P, &TTransformation::ReverseTransformFloat);
}
TPoint TTransformation::Transform(const TPoint& P) {
    return MapPoint(P, &TTransformation::TransformInt);
}
TFixedPoint TTransformation::Transform(const TFixedPoint& P) {
    return MapPoint(P, &TTransformation::TransformFixed);
}
TFloatPoint TTransformation::Transform(const TFloatPoint& P) {
    return MapPoint(P, &TTransformation::TransformFloat);
}

void TTransformation::ReverseTransformInt(int DstX, int DstY, int& SrcX, int& SrcY) {
    ThroughFiner(*this, &TTransformation::ReverseTransformFixed, ShiftFixed, FixedRound, DstX, DstY,
                 SrcX, SrcY);
}

void TTransformation::ReverseTransformFixed(TFixed DstX, TFixed DstY, TFixed& SrcX, TFixed& SrcY) {
    ThroughFiner(*this, &TTransformation::ReverseTransformFloat, FromFixed, Fixed, DstX, DstY, SrcX,
                 SrcY);
}

void TTransformation::ReverseTransformFloat(TFloat, TFloat, TFloat&, TFloat&) {
    throw ETransformNotImplemented(Format(SReverseTransformNotImplemented, {ClassName()}));
}

void TTransformation::TransformInt(int SrcX, int SrcY, int& DstX, int& DstY) {
    ThroughFiner(*this, &TTransformation::TransformFixed, ShiftFixed, FixedRound, SrcX, SrcY, DstX,
                 DstY);
}

void TTransformation::TransformFixed(TFixed SrcX, TFixed SrcY, TFixed& DstX, TFixed& DstY) {
    ThroughFiner(*this, &TTransformation::TransformFloat, FromFixed, Fixed, SrcX, SrcY, DstX, DstY);
}

void TTransformation::TransformFloat(TFloat, TFloat, TFloat&, TFloat&) {
    throw ETransformNotImplemented(Format(SForwardTransformNotImplemented, {ClassName()}));
}

// ---- TAffineTransformation.

TAffineTransformation::TAffineTransformation() {
    ResetToIdentity();
}

void TAffineTransformation::SetMatrix(const TFloatMatrix& Value) {
    FMatrix = Value;
    Changed();
}

void TAffineTransformation::ResetToIdentity() {
    FMatrix = IdentityMatrix;
    Changed();
}

void TAffineTransformation::AppendScale(TFloat Sx, TFloat Sy) {
    TFloatMatrix s = IdentityMatrix;
    s[0][0] = Sx;
    s[1][1] = Sy;
    FMatrix = Mult(s, FMatrix);
    Changed();
}

void TAffineTransformation::PrepareTransform() {
    FInverseMatrix = FMatrix;
    Invert(FInverseMatrix);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            FFixedMatrix[i][j] = Fixed(FMatrix[i][j]);
            FInverseFixedMatrix[i][j] = Fixed(FInverseMatrix[i][j]);
        }
    FTransformValid = true;
}

void TAffineTransformation::ReverseTransformFixed(TFixed DstX, TFixed DstY, TFixed& SrcX,
                                                  TFixed& SrcY) {
    MapFixed(FInverseFixedMatrix, DstX, DstY, SrcX, SrcY);
}

void TAffineTransformation::ReverseTransformFloat(TFloat DstX, TFloat DstY, TFloat& SrcX,
                                                  TFloat& SrcY) {
    MapFloat(FInverseMatrix, DstX, DstY, SrcX, SrcY);
}

void TAffineTransformation::TransformFixed(TFixed SrcX, TFixed SrcY, TFixed& DstX, TFixed& DstY) {
    MapFixed(FFixedMatrix, SrcX, SrcY, DstX, DstY);
}

void TAffineTransformation::TransformFloat(TFloat SrcX, TFloat SrcY, TFloat& DstX, TFloat& DstY) {
    MapFloat(FMatrix, SrcX, SrcY, DstX, DstY);
}

TRect TAffineTransformation::GetTransformedBounds(const TFloatRect& ASrcRect) {
    const TFloat xs[4] = {ASrcRect.Left, ASrcRect.Right, ASrcRect.Left, ASrcRect.Right};
    const TFloat ys[4] = {ASrcRect.Top, ASrcRect.Top, ASrcRect.Bottom, ASrcRect.Bottom};
    TFloat minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int k = 0; k < 4; ++k) {
        TFloat x, y;
        TransformFloat(xs[k], ys[k], x, y);
        if (k == 0 || x < minX) minX = x;
        if (k == 0 || x > maxX) maxX = x;
        if (k == 0 || y < minY) minY = y;
        if (k == 0 || y > maxY) maxY = y;
    }
    return {Round(double(minX) - 0.5), Round(double(minY) - 0.5), Round(double(maxX) + 0.5),
            Round(double(maxY) + 0.5)};
}

// ---- TTransformer.

TTransformer::TTransformer(TCustomSampler* ASampler, TTransformation* ATransformation)
    : TNestedSampler(ASampler) {
    SetTransformation(ATransformation);
}

void TTransformer::SetTransformation(TTransformation* Value) {
    FTransformation = Value;
}

TColor32 TTransformer::GetSampleInt(int X, int Y) {
    TFixed u, v;
    FTransformation->ReverseTransformFixed(ShiftFixed(X), ShiftFixed(Y), u, v);
    return Nested().GetSampleFixed(u, v);
}

TColor32 TTransformer::GetSampleFixed(TFixed X, TFixed Y) {
    TFixed u, v;
    FTransformation->ReverseTransformFixed(X, Y, u, v);
    return Nested().GetSampleFixed(u, v);
}

TColor32 TTransformer::GetSampleFloat(TFloat X, TFloat Y) {
    TFloat u, v;
    FTransformation->ReverseTransformFloat(X, Y, u, v);
    return Nested().GetSampleFloat(u, v);
}

void TTransformer::BeginSampling() {
    TNestedSampler::BeginSampling();
    if (FTransformation) FTransformation->PrepareIfInvalid();
}

bool TTransformer::HasBounds() const {
    return FTransformation && FTransformation->HasTransformedBounds() &&
           TNestedSampler::HasBounds();
}

TFloatRect TTransformer::GetSampleBounds() const {
    return FloatRect(FTransformation->GetTransformedBounds(TNestedSampler::GetSampleBounds()));
}

TAffineTransformation* TTransformer::PlainAffine() const {
    if (!FTransformation ||
        std::string_view(FTransformation->ClassName()) != "TAffineTransformation")
        return nullptr;
    return static_cast<TAffineTransformation*>(FTransformation);
}

namespace {
// Destination coordinates whose shl 16 fits in 32 bits, where stepping by
// the matrix elements gives exactly what the per-pixel fixed products give.
bool FitsFixedStep(int X, int Y, int Count) {
    return X >= -32768 && std::int64_t(X) + Count <= 32768 && Y >= -32768 && Y < 32768;
}
} // namespace

void TTransformer::SampleRowInt(int X, int Y, int Count, TColor32* Buffer) {
    TAffineTransformation* affine = PlainAffine();
    if (!affine || !FitsFixedStep(X, Y, Count)) {
        for (int i = 0; i < Count; ++i)
            Buffer[i] = GetSampleInt(X + i, Y);
        return;
    }
    TCustomSampler& nested = Nested();
    auto [u, v, du, dv] = StartRowWalk(affine->InverseFixedMatrix(), X, Y);
    // The linear and draft resamplers sample through a bitmap read bound at
    // BeginSampling: call it directly rather than through the virtual.
    const std::string_view name = nested.ClassName();
    if (name == "TLinearResampler" || name == "TDraftResampler") {
        const auto& linear = static_cast<const TLinearResampler&>(nested);
        for (int i = 0; i < Count; ++i, u += du, v += dv)
            Buffer[i] = linear.SampleFixed(TFixed(u), TFixed(v));
        return;
    }
    for (int i = 0; i < Count; ++i, u += du, v += dv)
        Buffer[i] = nested.GetSampleFixed(TFixed(u), TFixed(v));
}

// ---- TNearestTransformer.

TColor32 TNearestTransformer::GetSampleInt(int X, int Y) {
    int u, v;
    FTransformation->ReverseTransformInt(X, Y, u, v);
    return Nested().GetSampleInt(u, v);
}

TColor32 TNearestTransformer::GetSampleFixed(TFixed X, TFixed Y) {
    TFixed u, v;
    FTransformation->ReverseTransformFixed(X, Y, u, v);
    return Nested().GetSampleInt(u >> 16, v >> 16);
}

TColor32 TNearestTransformer::GetSampleFloat(TFloat X, TFloat Y) {
    TFloat u, v;
    FTransformation->ReverseTransformFloat(X, Y, u, v);
    return Nested().GetSampleInt(Round(u), Round(v));
}

void TNearestTransformer::SampleRowInt(int X, int Y, int Count, TColor32* Buffer) {
    TAffineTransformation* affine = PlainAffine();
    auto* nearest = dynamic_cast<TNearestResampler*>(FSampler);
    if (!affine || !nearest || std::string_view(nearest->ClassName()) != "TNearestResampler" ||
        nearest->PixelAccessMode() != pamSafe || !nearest->Bitmap() ||
        !FitsFixedStep(X, Y, Count)) {
        for (int i = 0; i < Count; ++i)
            Buffer[i] = GetSampleInt(X + i, Y);
        return;
    }
    // The base integer reverse transform: (X shl 16, Y shl 16) through the
    // fixed matrix, then FixedRound, walked along the row.
    const TBitmap32* bmp = nearest->Bitmap();
    const TRect clip = bmp->ClipRect();
    const TColor32 outer = bmp->OuterColor();
    const TColor32* bits = bmp->Bits();
    const std::ptrdiff_t stride = bmp->Width();
    auto [u, v, du, dv] = StartRowWalk(affine->InverseFixedMatrix(), X, Y);

    if (dv == 0) {
        // No shear or rotation: one source row for the whole destination row.
        const int sy = FixedRound(TFixed(v));
        if (sy < clip.Top || sy >= clip.Bottom) {
            std::fill(Buffer, Buffer + Count, outer);
            return;
        }
        const TColor32* row = bits + std::ptrdiff_t(sy) * stride;
        for (int i = 0; i < Count; ++i, u += du) {
            const int sx = FixedRound(TFixed(u));
            Buffer[i] = (sx >= clip.Left && sx < clip.Right) ? row[sx] : outer;
        }
        return;
    }
    for (int i = 0; i < Count; ++i, u += du, v += dv) {
        const int sx = FixedRound(TFixed(u));
        const int sy = FixedRound(TFixed(v));
        Buffer[i] = (sx >= clip.Left && sx < clip.Right && sy >= clip.Top && sy < clip.Bottom)
                        ? bits[sx + std::ptrdiff_t(sy) * stride]
                        : outer;
    }
}

// ---- The transform run.

void Transform(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation,
               const TRect& DstClip, TRasterizer* Rasterizer) {
    const TRect bounds = Transformation->GetTransformedBounds();
    const TRect dclip = Dst->ClipRect();
    TRect r{std::max({bounds.Left, dclip.Left, DstClip.Left}),
            std::max({bounds.Top, dclip.Top, DstClip.Top}),
            std::min({bounds.Right, dclip.Right, DstClip.Right}),
            std::min({bounds.Bottom, dclip.Bottom, DstClip.Bottom})};
    if (r.Right < r.Left || r.Bottom < r.Top) return;

    if (!Dst->MeasuringMode()) {
        TCustomResampler* resampler = Src->Resampler();
        const auto* bound = dynamic_cast<const TBitmap32Resampler*>(resampler);
        std::unique_ptr<TTransformer> transformer;
        if (bound && std::string_view(bound->TransformerClassName()) == "TNearestTransformer")
            transformer = std::make_unique<TNearestTransformer>(resampler, Transformation);
        else
            transformer = std::make_unique<TTransformer>(resampler, Transformation);
        struct TDetach {
            TRasterizer* R;
            ~TDetach() { R->SetSampler(nullptr); }
        } detach{Rasterizer};
        Rasterizer->SetSampler(transformer.get());
        Rasterizer->Rasterize(Dst, r, Src);
    }
    Dst->AreaChanged(r, AREAINFO_RECT);
}

void TransformBitmap(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation) {
    std::unique_ptr<TRasterizer> rasterizer = CreateDefaultRasterizer();
    Transform(Dst, Src, Transformation, Dst->BoundsRect(), rasterizer.get());
}
