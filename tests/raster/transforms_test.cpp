#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"
#include "raster/RasterRasterizers.h"
#include "raster/RasterTransforms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Transforms : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

// Each pixel holds its column in blue and its row in green.
void Number(TBitmap32& B) {
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.WritePixel(x, y, MakeColor32(0, y, x, 255));
}

// A transformation without a float form of its own.
class TBareTransformation : public TTransformation {
public:
    QM_CLASSNAME(TBareTransformation)
};

// An affine subclass: the generic path must be used for it, since it could
// change the mapping.
class TShiftedAffine : public TAffineTransformation {
public:
    QM_CLASSNAME(TShiftedAffine)
};

// Hides the transformer behind a plain sampler, so the rasterizer samples
// pixel by pixel: the generic path.
class TPlainSampler : public TNestedSampler {
public:
    QM_CLASSNAME(TPlainSampler)
    using TNestedSampler::TNestedSampler;
    TColor32 GetSampleInt(int X, int Y) override { return Nested().GetSampleInt(X, Y); }
};

TFloatMatrix MatrixOf(TFloat A, TFloat B, TFloat C, TFloat D, TFloat E, TFloat F) {
    // X' = A X + C Y + E, Y' = B X + D Y + F.
    return {{{A, B, 0}, {C, D, 0}, {E, F, 1}}};
}

} // namespace

TEST_F(Transforms, MatrixArithmetic) {
    const TFloatMatrix m = MatrixOf(2, 1, -1, 3, 5, -4);
    EXPECT_FLOAT_EQ(Determinant(m), 7);
    TFloatMatrix inv = m;
    Invert(inv);
    const TFloatMatrix id = Mult(m, inv);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(id[i][k], i == k ? 1 : 0, 1e-6) << i << k;
    // Mult(A, B) maps by B first, then by A.
    const TFloatMatrix scale = MatrixOf(10, 0, 0, 10, 0, 0);
    const TVector3f p = VectorTransform(Mult(scale, m), {1, 1, 1});
    EXPECT_FLOAT_EQ(p[0], (2 - 1 + 5) * 10);
    EXPECT_FLOAT_EQ(p[1], (1 + 3 - 4) * 10);

    TFloatMatrix singular = MatrixOf(1, 2, 2, 4, 3, 3);
    Invert(singular);
    EXPECT_EQ(singular, IdentityMatrix);
}

TEST_F(Transforms, AffineMappingsAndBounds) {
    TAffineTransformation t;
    t.SetSourceRect(MakeSingleRect(0, 0, 10, 10));
    t.AppendScale(2, 2);
    // Corners 0 and 20: Round(-0.5) = 0 and Round(20.5) = 20, half to even.
    EXPECT_EQ(t.GetTransformedBounds(), (TRect{0, 0, 20, 20}));
    t.AppendScale(1.5f, 0.5f);
    EXPECT_EQ(t.GetTransformedBounds(), (TRect{0, 0, 30, 10}));
    EXPECT_FALSE(t.TransformValid());
    EXPECT_EQ(t.Transform(TPoint{3, 4}), (TPoint{9, 4}));
    EXPECT_TRUE(t.TransformValid());
    EXPECT_EQ(t.ReverseTransform(TPoint{9, 4}), (TPoint{3, 4}));
    const TFloatPoint f = t.ReverseTransform(TFloatPoint{9, 4});
    EXPECT_FLOAT_EQ(f.X, 3);
    EXPECT_FLOAT_EQ(f.Y, 4);
    const TFixedPoint x = t.ReverseTransform(TFixedPoint{9 << 16, 4 << 16});
    EXPECT_NEAR(x.X, 3 << 16, 4); // 9 * Round(65536 / 3)
    EXPECT_EQ(x.Y, 4 << 16);

    // Changes notify and make the mapping stale.
    int changes = 0;
    t.OnChange = [&](TObject*) { ++changes; };
    t.ResetToIdentity();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(t.TransformValid());
    EXPECT_EQ(t.ReverseTransform(TPoint{9, 4}), (TPoint{9, 4}));

    // A translation by half a pixel rounds the bounds half to even.
    t.SetMatrix(MatrixOf(1, 0, 0, 1, 0.5f, 1.5f));
    EXPECT_EQ(t.GetTransformedBounds(MakeSingleRect(0, 0, 3, 3)), (TRect{0, 1, 4, 5}));
}

TEST_F(Transforms, BaseTransformationHasNoFloatForm) {
    TBareTransformation t;
    try {
        t.ReverseTransform(TPoint{1, 2});
        FAIL() << "no exception";
    } catch (const ETransformNotImplemented& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Reverse transformation is not implemented in TBareTransformation.");
    }
    try {
        t.Transform(TFloatPoint{1, 2});
        FAIL() << "no exception";
    } catch (const ETransformNotImplemented& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Forward transformation is not implemented in TBareTransformation.");
    }
    t.SetSourceRect(MakeSingleRect(0.5f, 1.5f, 2.5f, 3.6f));
    EXPECT_EQ(t.GetTransformedBounds(), (TRect{0, 2, 2, 4}));
}

TEST_F(Transforms, RowSamplingEqualsPerPixelSampling) {
    TBitmap32 src;
    src.SetDimensions(23, 17);
    Number(src);
    src.SetClipRectangle({2, 1, 20, 15});
    src.SetOuterColor(0x12345678u);
    const TFloatMatrix matrices[] = {
        MatrixOf(1.5556f, 0, 0, 1.5f, 0, 0),         MatrixOf(0.4f, 0, 0, 0.7f, -3.25f, 2.5f),
        MatrixOf(1, 0.3f, -0.2f, 1, 4, -2),          MatrixOf(-1, 0, 0, -1, 22, 16),
        MatrixOf(0.866f, 0.5f, -0.5f, 0.866f, 5, 0), MatrixOf(3, 0, 0, 3, 0.5f, 0.5f)};
    for (const TFloatMatrix& m : matrices) {
        for (bool subclass : {false, true}) {
            TAffineTransformation plain;
            TShiftedAffine shifted;
            TAffineTransformation& t = subclass ? shifted : plain;
            t.SetMatrix(m);
            for (const char* resampler :
                 {"TNearestResampler", "TLinearResampler", "TDraftResampler", "TKernelResampler"}) {
                src.SetResamplerClassName(resampler);
                std::unique_ptr<TTransformer> tr;
                if (std::string(resampler) == "TNearestResampler")
                    tr = std::make_unique<TNearestTransformer>(src.Resampler(), &t);
                else
                    tr = std::make_unique<TTransformer>(src.Resampler(), &t);
                tr->BeginSampling();
                std::vector<TColor32> row(40);
                for (int y = -3; y < 30; y += 4)
                    for (int x0 : {-5, 0, 3}) {
                        tr->SampleRowInt(x0, y, 40, row.data());
                        for (int i = 0; i < 40; ++i)
                            ASSERT_EQ(row[i], tr->GetSampleInt(x0 + i, y))
                                << resampler << " x " << x0 + i << " y " << y;
                    }
                tr->EndSampling();
            }
        }
    }
}

TEST_F(Transforms, TransformRunDrawsInsideTheBoundsAndReportsThem) {
    TBitmap32 src, dst;
    src.SetDimensions(4, 3);
    Number(src);
    src.SetClipRectangle({0, 0, 3, 3}); // the sampler's bounds end at column 6
    src.SetOuterColor(0xFF00FF00u);
    dst.SetDimensions(12, 8);
    dst.ClearToColor(0xFFFFFFFFu);
    std::vector<TRect> areas;
    dst.OnAreaChanged = [&](TObject*, const TRect& R, Cardinal) { areas.push_back(R); };

    TAffineTransformation t;
    t.SetSourceRect(MakeSingleRect(0, 0, 4, 3));
    t.AppendScale(2, 2);
    TRegularRasterizer rasterizer;
    rasterizer.SetUpdateRowCount(4);
    Transform(&dst, &src, &t, dst.BoundsRect(), &rasterizer);
    EXPECT_EQ(rasterizer.Sampler(), nullptr);
    // Rows reported by fours inside the sampler's bounds, then the whole
    // transformed rectangle.
    ASSERT_EQ(areas.size(), 3u);
    EXPECT_EQ(areas[0], (TRect{0, 0, 6, 4}));
    EXPECT_EQ(areas[1], (TRect{0, 4, 6, 6}));
    EXPECT_EQ(areas[2], (TRect{0, 0, 8, 6}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const TColor32 c = dst.ReadPixel(x, y);
            if (x >= 6 || y >= 6) {
                EXPECT_EQ(c, 0xFFFFFFFFu) << x << "," << y;
                continue;
            }
            // Reverse integer: FixedRound(x / 2) (a half rounds down).
            EXPECT_EQ(c, MakeColor32(0, y / 2, x / 2, 255)) << x << "," << y;
        }

    // A clip that misses the bounds draws nothing and reports nothing.
    dst.ClearToColor(0xFFFFFFFFu);
    areas.clear();
    Transform(&dst, &src, &t, {9, 0, 12, 8}, &rasterizer);
    EXPECT_TRUE(areas.empty());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(dst.ReadPixel(x, y), 0xFFFFFFFFu);
}

TEST_F(Transforms, DrawModesOfTheSourceApply) {
    TBitmap32 src, dst;
    src.SetDimensions(2, 2);
    src.ClearToColor(0x80FFFFFFu);
    src.WritePixel(1, 1, 0xFF00FF00u);
    dst.SetDimensions(2, 2);
    TAffineTransformation t;
    t.SetSourceRect(MakeSingleRect(0, 0, 2, 2));

    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(200);
    dst.ClearToColor(0xFF000000u);
    TransformBitmap(&dst, &src, &t);
    TColor32 expected = 0xFF000000u;
    BlendMemEx(0x80FFFFFFu, expected, 200);
    EXPECT_EQ(dst.ReadPixel(0, 0), expected);

    src.SetDrawMode(dmTransparent);
    src.SetOuterColor(0x80FFFFFFu);
    dst.ClearToColor(0xFF000000u);
    TransformBitmap(&dst, &src, &t);
    EXPECT_EQ(dst.ReadPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(dst.ReadPixel(1, 1), 0xFF00FF00u);

    src.SetDrawMode(dmCustom);
    src.OnPixelCombine = [](TColor32 F, TColor32& B, TColor32 M) { B = F + M; };
    TransformBitmap(&dst, &src, &t);
    EXPECT_EQ(dst.ReadPixel(0, 0), 0x80FFFFFFu + 200);

    // Measuring reports the area without drawing.
    src.SetDrawMode(dmOpaque);
    dst.ClearToColor(0);
    std::vector<TRect> areas;
    dst.BeginMeasuring([&](TObject*, const TRect& R, Cardinal) { areas.push_back(R); });
    TransformBitmap(&dst, &src, &t);
    dst.EndMeasuring();
    EXPECT_EQ(dst.ReadPixel(1, 1), 0u);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0], (TRect{0, 0, 2, 2}));
}

TEST_F(Transforms, GenericAndRowPathsDrawTheSamePixels) {
    TBitmap32 src, fast, slow;
    src.SetDimensions(31, 9);
    Number(src);
    src.SetOuterColor(0xFF0000FFu);
    fast.SetDimensions(50, 20);
    slow.SetDimensions(50, 20);
    TAffineTransformation t;
    t.SetSourceRect(MakeSingleRect(0, 0, 31, 9));
    t.SetMatrix(MatrixOf(1.3f, 0.2f, -0.4f, 1.7f, 3.5f, -1.25f));
    for (const char* resampler : {"TNearestResampler", "TLinearResampler", "TKernelResampler"}) {
        src.SetResamplerClassName(resampler);
        fast.ClearToColor(0);
        slow.ClearToColor(0);
        TransformBitmap(&fast, &src, &t);

        const bool nearest = std::string(resampler) == "TNearestResampler";
        std::unique_ptr<TTransformer> tr;
        if (nearest)
            tr = std::make_unique<TNearestTransformer>(src.Resampler(), &t);
        else
            tr = std::make_unique<TTransformer>(src.Resampler(), &t);
        TPlainSampler plain(tr.get());
        TRegularRasterizer rasterizer;
        rasterizer.SetSampler(&plain);
        rasterizer.Rasterize(&slow, t.GetTransformedBounds(), &src);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_EQ(fast.ReadPixel(x, y), slow.ReadPixel(x, y))
                    << resampler << " " << x << "," << y;
    }
}
