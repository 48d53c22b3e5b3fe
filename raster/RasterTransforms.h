#pragma once
// Geometric resampling of one TBitmap32 into another. A TTransformation maps
// destination positions back into the source (and forward for bounds); a
// TTransformer samples the source's resampler at the mapped position; a
// rasterizer (RasterRasterizers.h) walks the destination and stores each
// sample with the source's draw settings.
//
// Matrices are 3 x 3 singles stored as three vectors M[0], M[1], M[2] of
// (x, y, z): a point (X, Y) maps to
//   X' = M[0].x * X + M[1].x * Y + M[2].x,  Y' = M[0].y * X + M[1].y * Y + M[2].y.
#include "platform/base/Exception.h"
#include "raster/RasterCore.h"
#include "raster/RasterMath.h"
#include "raster/RasterRects.h"
#include "raster/RasterResamplers.h"

#include <array>

QM_DECLARE_EXCEPTION(ETransformNotImplemented, Exception);
constexpr const char* SReverseTransformNotImplemented =
    "Reverse transformation is not implemented in %s.";
constexpr const char* SForwardTransformNotImplemented =
    "Forward transformation is not implemented in %s.";

struct TFixedPoint {
    TFixed X = 0;
    TFixed Y = 0;
    friend bool operator==(const TFixedPoint&, const TFixedPoint&) = default;
};
struct TFloatPoint {
    TFloat X = 0;
    TFloat Y = 0;
    friend bool operator==(const TFloatPoint&, const TFloatPoint&) = default;
};

using TVector3f = std::array<TFloat, 3>;
using TFloatMatrix = std::array<TVector3f, 3>;
using TFixedMatrix = std::array<std::array<TFixed, 3>, 3>;

inline constexpr TFloatMatrix IdentityMatrix = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
static_assert(sizeof(TFloatMatrix) == 36, "three vectors of three singles");

TFloat Determinant(const TFloatMatrix& M);
// The classical adjoint (transposed cofactors).
void Adjoint(TFloatMatrix& M);
void Scale(TFloatMatrix& M, TFloat Factor);
// |determinant| below 1e-5 gives the identity (no error).
void Invert(TFloatMatrix& M);
// Result[i][k] = A[0][k] * B[i].x + A[1][k] * B[i].y + A[2][k] * B[i].z:
// the mapping of B followed by the mapping of A.
TFloatMatrix Mult(const TFloatMatrix& A, const TFloatMatrix& B);
// V as a row vector times M.
TVector3f VectorTransform(const TFloatMatrix& M, const TVector3f& V);

class TTransformer;

// A mapping between destination and source positions, with the source
// rectangle it applies to. The public transforms prepare the mapping first
// when a change made it stale. The base class has no float form: its float
// transforms raise ETransformNotImplemented naming the class.
class TTransformation : public TNotifiablePersistent {
public:
    QM_CLASSNAME(TTransformation)

    // Marks the mapping stale, then notifies.
    void Changed() override;

    const TFloatRect& SrcRect() const { return FSrcRect; }
    void SetSourceRect(const TFloatRect& Value);
    bool TransformValid() const { return FTransformValid; }

    virtual bool HasTransformedBounds() const { return true; }
    // The integer destination rectangle that ASrcRect covers (base: each
    // side rounded).
    virtual TRect GetTransformedBounds(const TFloatRect& ASrcRect);
    TRect GetTransformedBounds() { return GetTransformedBounds(FSrcRect); }

    TPoint ReverseTransform(const TPoint& P);
    TFixedPoint ReverseTransform(const TFixedPoint& P);
    TFloatPoint ReverseTransform(const TFloatPoint& P);
    TPoint Transform(const TPoint& P);
    TFixedPoint Transform(const TFixedPoint& P);
    TFloatPoint Transform(const TFloatPoint& P);

    void PrepareIfInvalid() {
        if (!FTransformValid) PrepareTransform();
    }

protected:
    friend class TTransformer;
    friend class TNearestTransformer;

    virtual void PrepareTransform() { FTransformValid = true; }
    // Integer forms pass (X shl 16, Y shl 16) through the fixed form and
    // round the result; fixed forms pass through the float form.
    virtual void ReverseTransformInt(int DstX, int DstY, int& SrcX, int& SrcY);
    virtual void ReverseTransformFixed(TFixed DstX, TFixed DstY, TFixed& SrcX, TFixed& SrcY);
    virtual void ReverseTransformFloat(TFloat DstX, TFloat DstY, TFloat& SrcX, TFloat& SrcY);
    virtual void TransformInt(int SrcX, int SrcY, int& DstX, int& DstY);
    virtual void TransformFixed(TFixed SrcX, TFixed SrcY, TFixed& DstX, TFixed& DstY);
    virtual void TransformFloat(TFloat SrcX, TFloat SrcY, TFloat& DstX, TFloat& DstY);

    TFloatRect FSrcRect;
    bool FTransformValid = false;

private:
    template <class TP, class TV>
    TP MapPoint(const TP& P, void (TTransformation::*Map)(TV, TV, TV&, TV&));
};

// A linear mapping plus translation; starts as the identity.
class TAffineTransformation : public TTransformation {
public:
    QM_CLASSNAME(TAffineTransformation)
    TAffineTransformation();

    const TFloatMatrix& Matrix() const { return FMatrix; }
    void SetMatrix(const TFloatMatrix& Value);
    // Valid after preparation.
    const TFloatMatrix& InverseMatrix() const { return FInverseMatrix; }
    const TFixedMatrix& FixedMatrix() const { return FFixedMatrix; }
    const TFixedMatrix& InverseFixedMatrix() const { return FInverseFixedMatrix; }

    // Notifies.
    void ResetToIdentity();
    // Scales every mapped X by Sx and Y by Sy after the present mapping.
    void AppendScale(TFloat Sx, TFloat Sy);

    // The four corners mapped; Left = Round(min X' - 0.5), Right =
    // Round(max X' + 0.5), the same for Top and Bottom (half to even).
    TRect GetTransformedBounds(const TFloatRect& ASrcRect) override;
    using TTransformation::GetTransformedBounds;

protected:
    void PrepareTransform() override;
    void ReverseTransformFixed(TFixed DstX, TFixed DstY, TFixed& SrcX, TFixed& SrcY) override;
    void ReverseTransformFloat(TFloat DstX, TFloat DstY, TFloat& SrcX, TFloat& SrcY) override;
    void TransformFixed(TFixed SrcX, TFixed SrcY, TFixed& DstX, TFixed& DstY) override;
    void TransformFloat(TFloat SrcX, TFloat SrcY, TFloat& DstX, TFloat& DstY) override;

private:
    TFloatMatrix FMatrix = IdentityMatrix;
    TFloatMatrix FInverseMatrix = IdentityMatrix;
    TFixedMatrix FFixedMatrix{};
    TFixedMatrix FInverseFixedMatrix{};
};

// Samples its nested sampler (the source's resampler) at the reverse
// transform of each position. Neither the sampler nor the transformation is
// owned; the transformation is prepared when sampling begins.
class TTransformer : public TNestedSampler {
public:
    QM_CLASSNAME(TTransformer)
    TTransformer(TCustomSampler* ASampler, TTransformation* ATransformation);

    TTransformation* Transformation() const { return FTransformation; }
    void SetTransformation(TTransformation* Value);

    TColor32 GetSampleInt(int X, int Y) override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(TFloat X, TFloat Y) override;
    void BeginSampling() override;
    bool HasBounds() const override;
    TFloatRect GetSampleBounds() const override;

    // Count integer samples of row Y from column X on into Buffer: the same
    // colours as GetSampleInt, without a virtual call per pixel where the
    // transformation is a plain affine one.
    virtual void SampleRowInt(int X, int Y, int Count, TColor32* Buffer);

protected:
    // The affine transformation when it is exactly that class (so its
    // fixed matrix says everything about the mapping), else nullptr.
    TAffineTransformation* PlainAffine() const;

    TTransformation* FTransformation = nullptr;
};

// Rounds the mapped position to whole source pixels and reads them with the
// nested sampler's integer sample.
class TNearestTransformer : public TTransformer {
public:
    QM_CLASSNAME(TNearestTransformer)
    using TTransformer::TTransformer;

    TColor32 GetSampleInt(int X, int Y) override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(TFloat X, TFloat Y) override;
    // Over a TNearestResampler with safe access and a plain affine mapping,
    // the positions step in 16.16 fixed point along the row and the pixels
    // are read straight from the bitmap.
    void SampleRowInt(int X, int Y, int Count, TColor32* Buffer) override;
};

class TRasterizer;

// The transform run: the transformed bounds of the source rectangle, inside
// Dst's clip rectangle and DstClip, sampled from Src's resampler through a
// transformer and drawn by Rasterizer; then the area is reported. Nothing
// happens (and nothing is reported) when that rectangle is inverted.
void Transform(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation,
               const TRect& DstClip, TRasterizer* Rasterizer);
// The transform run with a rasterizer of the default class and Dst's
// bounds as the clip.
void TransformBitmap(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation);
