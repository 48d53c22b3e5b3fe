// The background template is scaled the way the banner code does it: an
// affine scale of the template's rectangle, drawn by TransformBitmap while a
// TDraftResampler of the destination is sampling. The template keeps its
// TNearestResampler, so the pixels come from a TNearestTransformer.
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"
#include "raster/RasterRasterizers.h"
#include "raster/RasterTransforms.h"

#include <gtest/gtest.h>

#include <random>

namespace {

class TemplateScale : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }

    void SetUp() override {
        Template.SetDimensions(468, 60);
        std::mt19937 rng(1234);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 468; ++x)
                Template.WritePixel(x, y, TColor32(rng()));
    }

    void Scale(TBitmap32& Dst) {
        auto* draft = new TDraftResampler(&Dst);
        TAffineTransformation t;
        t.SetSourceRect(MakeSingleRect(0, 0, TFloat(Template.Width()), TFloat(Template.Height())));
        t.AppendScale(TFloat(Dst.Width()) / TFloat(Template.Width()),
                      TFloat(Dst.Height()) / TFloat(Template.Height()));
        draft->BeginSampling();
        TransformBitmap(&Dst, &Template, &t);
        draft->EndSampling();
    }

    TBitmap32 Template;
};

// Reads through a transformer pixel by pixel, as a rasterizer does without
// the row path.
class TPerPixel : public TNestedSampler {
public:
    QM_CLASSNAME(TPerPixel)
    using TNestedSampler::TNestedSampler;
    TColor32 GetSampleInt(int X, int Y) override { return Nested().GetSampleInt(X, Y); }
};

} // namespace

TEST_F(TemplateScale, StandardToLargeBannerFollowsTheNearestMap) {
    TBitmap32 dst;
    dst.SetDimensions(728, 90);
    dst.ClearToColor(0);
    Scale(dst);
    ASSERT_STREQ(Template.Resampler()->ClassName(), "TNearestResampler");
    // Destination column X reads source column X * 468 / 728 = 9X / 14 and
    // row Y reads 2Y / 3, each rounded to nearest with halves rounding down
    // (the 16.16 inverse scale lies just below 9/14, and FixedRound rounds a
    // half down).
    for (int y = 0; y < 90; ++y) {
        const int sy = (4 * y + 3) / 6;
        for (int x = 0; x < 728; ++x) {
            const int sx = (18 * x + 13) / 28;
            ASSERT_EQ(dst.ReadPixel(x, y), Template.ReadPixel(sx, sy)) << x << "," << y;
        }
    }
}

TEST_F(TemplateScale, RowPathEqualsTheGenericPath) {
    for (auto [w, h] : {std::pair{728, 90}, {234, 60}, {300, 250}, {468, 60}, {1000, 37}}) {
        TBitmap32 fast, slow;
        fast.SetDimensions(w, h);
        slow.SetDimensions(w, h);
        fast.ClearToColor(0);
        slow.ClearToColor(0);
        Scale(fast);

        TAffineTransformation t;
        t.SetSourceRect(MakeSingleRect(0, 0, 468, 60));
        t.AppendScale(TFloat(w) / 468, TFloat(h) / 60);
        TNearestTransformer transformer(Template.Resampler(), &t);
        TPerPixel perPixel(&transformer);
        TRegularRasterizer rasterizer;
        rasterizer.SetSampler(&perPixel);
        rasterizer.Rasterize(&slow, t.GetTransformedBounds(), &Template);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(fast.ReadPixel(x, y), slow.ReadPixel(x, y))
                    << w << "x" << h << " " << x << "," << y;
    }
}

TEST_F(TemplateScale, DestinationClipAndSourceClipAreHonoured) {
    TBitmap32 dst;
    dst.SetDimensions(728, 90);
    dst.ClearToColor(0xFF123456u);
    dst.SetClipRectangle({100, 10, 600, 50});
    Template.SetClipRectangle({0, 0, 234, 60});
    Template.SetOuterColor(0xFFABCDEFu);
    Scale(dst);
    // The transformer's bounds are the template's clip scaled: columns up to
    // Round(234 * 728 / 468 + 0.5) = Round(364.5) = 364.
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 728; ++x) {
            const TColor32 c = dst.ReadPixel(x, y);
            if (x < 100 || x >= 364 || y < 10 || y >= 50) {
                ASSERT_EQ(c, 0xFF123456u) << x << "," << y;
                continue;
            }
            const int sx = (18 * x + 13) / 28, sy = (4 * y + 3) / 6;
            ASSERT_EQ(c, Template.ReadPixel(sx, sy)) << x << "," << y;
        }
}
