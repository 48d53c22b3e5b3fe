#include "platform/graphics/TextRender.h"
#include "raster/RasterCore.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Tests pin one installed family so that glyph shapes do not depend on
// what fontconfig would pick.
constexpr const char* PinnedFamily = "DejaVu Sans";

class Text : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    void SetUp() override {
        Target.SetDimensions(200, 60);
        Target.ClearToColor(0);
        Target.Font()->SetName(PinnedFamily);
        Target.Font()->SetSize(24);
        Target.OnAreaChanged = [this](TObject*, const TRect& R, Cardinal) { Areas.push_back(R); };
    }
    std::set<int> Alphas() const {
        std::set<int> s;
        for (int y = 0; y < Target.Height(); ++y)
            for (int x = 0; x < Target.Width(); ++x)
                s.insert(int(Target.ReadPixel(x, y) >> 24));
        return s;
    }
    std::vector<TColor32> Pixels(const TBitmap32& B) const {
        return {B.Bits(), B.Bits() + std::size_t(B.Width()) * B.Height()};
    }
    TBitmap32 Target;
    std::vector<TRect> Areas;
};

TEST_F(Text, LevelOneGivesFiveCoverageLevels) {
    // Merging onto fully transparent pixels hands the text's alpha through
    // unchanged, so the target shows the coverage the engine computed.
    Target.SetCombineMode(cmMerge);
    Target.RenderAntialiasedText(2, 2, "Quillomark", 1, 0xFF204060u);
    const std::set<int> alphas = Alphas();
    for (int a : alphas)
        EXPECT_TRUE(a == 0 || a == 63 || a == 127 || a == 191 || a == 255) << a;
    // Averaging 2 x 2 blocks of on/off glyph pixels gives partial levels too.
    EXPECT_TRUE(alphas.count(255));
    EXPECT_TRUE(alphas.count(127) || alphas.count(63) || alphas.count(191));
    // Where the text covers, the colour is the one asked for.
    bool found = false;
    for (int y = 0; y < Target.Height() && !found; ++y)
        for (int x = 0; x < Target.Width() && !found; ++x)
            if (Target.ReadPixel(x, y) >> 24 == 255) {
                EXPECT_EQ(Target.ReadPixel(x, y), 0xFF204060u);
                found = true;
            }
    EXPECT_EQ(Target.Font()->Quality(), fqDefault);
}

TEST_F(Text, WorkBitmapSizeRule) {
    Target.Font()->SetHeight(-10);
    const std::string text = "Banner";
    // Level 1: measured at twice the size, then one pixel more than half.
    TFont scaled;
    scaled.Assign(*Target.Font());
    scaled.SetSize(Target.Font()->Size() * 2);
    const TSize big = MeasureText(BuildLogFont(scaled, fqNonAntialiased), text + " ");
    Target.RenderAntialiasedText(3, 4, text, 1, 0xFFFFFFFFu);
    ASSERT_FALSE(Areas.empty());
    EXPECT_EQ(Areas.back(), (TRect{3, 4, 3 + (big.cx >> 1) + 1, 4 + (big.cy >> 1) + 1}));

    // Level 0: the padded text's own extent.
    Areas.clear();
    const TSize plain = MeasureText(BuildLogFont(*Target.Font(), fqNonAntialiased), text + " ");
    Target.RenderAntialiasedText(3, 4, text, 0, 0xFFFFFFFFu);
    ASSERT_FALSE(Areas.empty());
    EXPECT_EQ(Areas.back(), (TRect{3, 4, 3 + plain.cx, 4 + plain.cy}));

    // An empty text still measures its blank: a non-empty work bitmap that
    // draws nothing.
    Target.ClearToColor(0);
    Areas.clear();
    Target.RenderAntialiasedText(0, 0, "", 2, 0xFFFFFFFFu);
    ASSERT_FALSE(Areas.empty());
    EXPECT_FALSE(Areas.back().IsEmpty());
    EXPECT_EQ(Alphas(), (std::set<int>{0}));
}

TEST_F(Text, AlphaZeroDrawsNothing) {
    Target.ClearToColor(0xFF102030u);
    Areas.clear();
    Target.RenderAntialiasedText(0, 0, "Invisible", 1, 0x00FFFFFFu);
    EXPECT_TRUE(Areas.empty());
    for (TColor32 p : Pixels(Target))
        ASSERT_EQ(p, 0xFF102030u);
}

TEST_F(Text, LevelsAreClampedAndPlaced) {
    TBitmap32 a, b;
    for (TBitmap32* t : {&a, &b}) {
        t->SetDimensions(120, 50);
        t->ClearToColor(0xFF000000u);
        t->Font()->SetName(PinnedFamily);
        t->Font()->SetSize(14);
    }
    a.RenderAntialiasedText(1, 1, "Wq", 4, 0xFFFFFFFFu);
    b.RenderAntialiasedText(1, 1, "Wq", 9, 0xFFFFFFFFu);
    EXPECT_EQ(Pixels(a), Pixels(b));

    a.ClearToColor(0xFF000000u);
    b.ClearToColor(0xFF000000u);
    a.RenderAntialiasedText(1, 1, "Wq", -1, 0xFFFFFFFFu);
    b.RenderAntialiasedText(1, 1, "Wq", -7, 0xFFFFFFFFu);
    EXPECT_EQ(Pixels(a), Pixels(b));
    // Negative levels let the rasteriser antialias: grey levels appear.
    std::set<int> greys;
    for (TColor32 p : Pixels(a))
        greys.insert(int(p & 0xFF));
    EXPECT_GT(greys.size(), 5u);

    // The text's top-left lands at (X, Y) at every level.
    for (int level : {0, 1, 2}) {
        a.ClearToColor(0xFF000000u);
        b.ClearToColor(0xFF000000u);
        a.RenderAntialiasedText(0, 0, "Wq", level, 0xFFFFFFFFu);
        b.RenderAntialiasedText(5, 3, "Wq", level, 0xFFFFFFFFu);
        for (int y = 0; y + 3 < 50; ++y)
            for (int x = 0; x + 5 < 120; ++x)
                ASSERT_EQ(a.ReadPixel(x, y), b.ReadPixel(x + 5, y + 3)) << level;
    }
}

TEST_F(Text, DefaultFaceIsMsSansSerif) {
    TFont f;
    f.SetName("dEfAuLt");
    SetFontQuality(f, fqNonAntialiased);
    EXPECT_EQ(f.Name(), "MS Sans Serif");
    EXPECT_EQ(f.Quality(), fqNonAntialiased);

    TBitmap32 a, b;
    for (TBitmap32* t : {&a, &b}) {
        t->SetDimensions(100, 30);
        t->ClearToColor(0xFF000000u);
    }
    a.Font()->SetName("DEFAULT");
    b.Font()->SetName("MS Sans Serif");
    a.RenderAntialiasedText(0, 0, "Same", 1, 0xFFFFFFFFu);
    b.RenderAntialiasedText(0, 0, "Same", 1, 0xFFFFFFFFu);
    EXPECT_EQ(Pixels(a), Pixels(b));
}

TEST_F(Text, DrawTextAtAndMeasuring) {
    const TSize size = Target.MeasureText("Hello");
    EXPECT_GT(size.cx, 0);
    EXPECT_EQ(Target.MeasureTextWidth("Hello"), size.cx);
    EXPECT_EQ(Target.MeasureTextHeight("Hello"), size.cy);
    // A bitmap without pixels measures through the shared measuring bitmap.
    TBitmap32 none;
    none.Font()->Assign(*Target.Font());
    EXPECT_EQ(none.MeasureText("Hello"), size);

    Target.Font()->SetColor(clWhite);
    Target.SetClipRectangle({0, 0, 10, 60});
    Areas.clear();
    Target.DrawTextAt(2, 3, "Hello");
    ASSERT_EQ(Areas.size(), 1u);
    EXPECT_EQ(Areas[0], (TRect{2, 3, 2 + size.cx + 1, 3 + size.cy + 1}));
    bool inside = false;
    for (int y = 0; y < Target.Height(); ++y)
        for (int x = 0; x < Target.Width(); ++x)
            if (Target.ReadPixel(x, y) != 0) {
                ASSERT_LT(x, 10);
                inside = true;
            }
    EXPECT_TRUE(inside);
    // Glyph pixels take the font colour with alpha 0.
    EXPECT_TRUE(Alphas() == std::set<int>{0});
}

} // namespace
