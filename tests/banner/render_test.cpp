#include "banner/BannerRenderer.h"

#include "RasterEnvironment.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr TColor32 White = 0xFFFFFFFFu;

TTextElement Lines(const std::string& Captions, const std::string& Size,
                   const std::string& Shadow) {
    auto times3 = [](const std::string& s) { return s + "\r" + s + "\r" + s; };
    return {Captions,    times3("clBlack"), times3("DejaVu Sans"),
            times3("0"), times3(Size),      times3(Shadow)};
}

// A white banner of kind Kind with a first text "Hello" and a main text.
void MakeBanner(TBannerDocument& D, TCompositionKind Kind, int W = 468, int H = 60) {
    D.Composition = Kind;
    D.BannerWidth = W;
    D.BannerHeight = H;
    D.BackgroundKind = bgColor;
    D.Cl = clWhite;
    D.tlv.clear();
    if (Kind != ckOneText) D.tlv.push_back({"Hello", "clBlack", "DejaVu Sans", "0", "12", "0"});
    D.tlv.push_back(Lines("Alpha\rBeta\rGamma", "14", "0"));
}

// The smallest rectangle holding every pixel that differs from Background.
TRect InkBox(const TBitmap32& B, TColor32 Background = White) {
    TRect r{B.Width(), B.Height(), -1, -1};
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            if (B.ReadPixel(x, y) != Background) {
                r.Left = std::min(r.Left, x);
                r.Top = std::min(r.Top, y);
                r.Right = std::max(r.Right, x);
                r.Bottom = std::max(r.Bottom, y);
            }
    return r;
}

TEST(BannerBackground, NothingOpenDrawsNothingAndKeepsTheFlag) {
    TBannerDocument d;
    TBitmap32 canvas;
    canvas.SetDimensions(3, 3);
    canvas.ClearToColor(0xFF123456u);
    TBannerRenderer r(d);
    EXPECT_FALSE(r.RedrawBanner(canvas, false));
    EXPECT_FALSE(d.Modified);
    EXPECT_EQ(canvas.ReadPixel(1, 1), 0xFF123456u);

    MakeBanner(d, ckTwoTexts);
    EXPECT_TRUE(r.RedrawBanner(canvas, false));
    EXPECT_TRUE(d.Modified);
    EXPECT_EQ(canvas.Width(), 468);
    EXPECT_EQ(canvas.Height(), 60);
    EXPECT_TRUE(r.RedrawBanner(canvas, true));
    EXPECT_FALSE(d.Modified);
}

TEST(BannerBackground, PlainColourAndComposedHalves) {
    TBannerDocument d;
    MakeBanner(d, ckOneText, 5, 61);
    d.Cl = 0x00C4FFC4;
    TBitmap32 b;
    DrawBannerBackground(d, b);
    EXPECT_EQ(b.ReadPixel(4, 60), 0xFFC4FFC4u);

    d.BackgroundKind = bgComposed;
    d.cc1 = 0x000000FF; // red
    d.cc2 = 0x00FF0000; // blue
    DrawBannerBackground(d, b);
    // round(61 / 2) = round(30.5) = 30 rows of the first colour.
    EXPECT_EQ(b.ReadPixel(2, 29), 0xFFFF0000u);
    EXPECT_EQ(b.ReadPixel(2, 30), 0xFF0000FFu);
    EXPECT_EQ(b.ReadPixel(2, 60), 0xFF0000FFu);
}

TEST(BannerBackground, GradientEndsOneStepShort) {
    TBannerDocument d;
    MakeBanner(d, ckOneText, 468, 4);
    d.BackgroundKind = bgGradient;
    d.cg1 = clBlack;
    d.cg2 = clWhite;
    d.dxH = true;
    TBitmap32 b;
    DrawBannerBackground(d, b);
    EXPECT_EQ(b.ReadPixel(0, 3), 0xFF000000u);
    EXPECT_EQ(b.ReadPixel(467, 0), 0xFFFEFEFEu); // 254, not 255
    // (c2 - c1) / L is taken first: 255 / 468 * 234 lands just below 127.5.
    EXPECT_EQ(b.ReadPixel(234, 2), 0xFF7F7F7Fu);

    // Falling channels and the vertical direction: 255 + round(-255 / 4 * 3) = 64.
    d.cg1 = 0x000000FF;
    d.cg2 = 0x00FF0000;
    d.dxH = false;
    DrawBannerBackground(d, b);
    EXPECT_EQ(b.ReadPixel(100, 0), 0xFFFF0000u);
    EXPECT_EQ(b.ReadPixel(5, 3), MakeColor32(64, 0, 191));
    EXPECT_EQ(b.ReadPixel(400, 3), MakeColor32(64, 0, 191));
}

TEST(BannerBackground, TemplateIsScaledAndLeftUntouched) {
    TBannerDocument d;
    MakeBanner(d, ckOneText, 100, 50);
    d.BackgroundKind = bgTemplate;
    d.Tex.SetDimensions(10, 10);
    d.Tex.ClearToColor(0xFF00FF00u);
    d.Tex.WritePixel(9, 9, 0xFFFF0000u);
    TBitmap32 b;
    DrawBannerBackground(d, b);
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(b.ReadPixel(50, 25), 0xFF00FF00u);
    EXPECT_GT(RedComponent(b.ReadPixel(99, 49)), 100); // sampled between pixels
    EXPECT_EQ(d.Tex.Width(), 10);
    EXPECT_EQ(d.Tex.ResamplerClassName(), TBitmap32().ResamplerClassName());

    d.BackgroundKind = bgImage;
    d.extimage.SetDimensions(3, 2);
    d.extimage.ClearToColor(0xFF0000FFu);
    DrawBannerBackground(d, b);
    EXPECT_EQ(b.ReadPixel(2, 1), 0xFF0000FFu);
    EXPECT_EQ(b.ReadPixel(3, 1), White);
    EXPECT_EQ(b.ReadPixel(2, 2), White);
}

TEST(BannerBorder, FourSidesCloseTheFrame) {
    TBannerDocument d;
    MakeBanner(d, ckOneText, 6, 4);
    d.clbord = 0x000000FF;
    TBitmap32 b;
    DrawBannerBackground(d, b);
    d.BrLeft = true;
    DrawBannerBorder(d, b);
    // The left line stops short of its end point.
    EXPECT_EQ(b.ReadPixel(0, 2), 0xFFFF0000u);
    EXPECT_EQ(b.ReadPixel(0, 3), White);
    d.BrTop = d.BrRight = d.BrBottom = true;
    DrawBannerBorder(d, b);
    // Every edge pixel is red, every inner pixel is not.
    EXPECT_EQ(InkBox(b, 0xFFFF0000u), (TRect{1, 1, 4, 2}));
    EXPECT_EQ(b.ReadPixel(0, 3), 0xFFFF0000u);
    EXPECT_EQ(b.ReadPixel(5, 3), 0xFFFF0000u);
    EXPECT_EQ(b.ReadPixel(1, 1), White);
}

TEST(BannerImages, TransparentColourShowsTheBackground) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTextsImage, 40, 30);
    d.tlv.clear();
    d.Cl = clBlack;
    d.Image1.SetDimensions(4, 3);
    d.Image1.ClearToColor(0x00FFFFFFu); // white with alpha 0: alpha must not matter
    d.Image1.WritePixel(1, 1, 0xFF0000FFu);
    d.ilv = {TImageElement{"1", "clWhite", "5", "7", "0"}};
    TBitmap32 canvas;
    TBannerRenderer r(d);
    r.RedrawBanner(canvas, false);
    EXPECT_EQ(canvas.ReadPixel(6, 8), 0xFF0000FFu);
    EXPECT_EQ(canvas.ReadPixel(5, 7), 0xFF000000u);
    EXPECT_EQ(d.HitRectImage1, (THitRect{5, 7, 4, 3}));
    EXPECT_EQ(d.Image1.ReadPixel(0, 0), 0x00FFFFFFu); // the document's picture is untouched

    d.ilv[0].Transparent = "0";
    r.RedrawBanner(canvas, false);
    EXPECT_EQ(canvas.ReadPixel(5, 7), White);

    TBitmap32 prepared;
    d.ilv[0].Transparent = "1";
    PrepareImagePicture(d, 0, prepared);
    EXPECT_EQ(AlphaComponent(prepared.ReadPixel(0, 0)), 0);
    EXPECT_EQ(prepared.ReadPixel(1, 1), 0xFF0000FFu);
    PrepareImagePicture(d, 1, prepared); // no second element
    EXPECT_TRUE(prepared.Empty());
}

TEST(BannerText, AnchorsOfTheCompositions) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTextsImage);
    EXPECT_EQ(FirstTextAnchor(d, 77), (TPoint{150, 4}));
    EXPECT_EQ(MainTextAnchor(d, 2, 77, 10, true), (TPoint{150, 35}));
    d.Composition = ckTwoTexts;
    EXPECT_EQ(FirstTextAnchor(d, 457), (TPoint{6, 4})); // round(5.5) = 6
    EXPECT_EQ(MainTextAnchor(d, 1, 455, 10, false), (TPoint{6, 35}));
    // Composition 1: the canvas divides, the frames round half to even.
    d.Composition = ckOneText;
    EXPECT_EQ(MainTextAnchor(d, 1, 457, 11, true), (TPoint{5, 24}));
    EXPECT_EQ(MainTextAnchor(d, 1, 457, 11, false), (TPoint{6, 24}));
    EXPECT_EQ(MainTextAnchor(d, 1, 455, 13, false), (TPoint{6, 24}));
    // Stored positions replace the anchor of their own element only.
    d.AutoPositions = {1, 0, 0, 0};
    d.TextPositions = {1, 2, 3, 4, 5, 6};
    d.Value3Position = {7, 8};
    EXPECT_EQ(MainTextAnchor(d, 1, 457, 11, true), (TPoint{5, 24}));
    EXPECT_EQ(MainTextAnchor(d, 2, 457, 11, true), (TPoint{3, 4}));
    EXPECT_EQ(MainTextAnchor(d, 3, 457, 11, true), (TPoint{7, 8}));
    EXPECT_EQ(FirstTextAnchor(d, 0), (TPoint{5, 6}));
}

TEST(BannerText, HitRectanglesAndShadow) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTexts, 300, 80);
    TBannerRenderer r(d);
    TBitmap32 canvas;
    d.tlv.pop_back(); // first text only
    r.RedrawBanner(canvas, false);
    const THitRect hit = d.HitRectText1;
    EXPECT_GT(hit.Width, 20);
    EXPECT_GT(hit.Height, 8);
    EXPECT_EQ(hit.Left, int(RoundQuotient(300 - hit.Width, 2)));
    EXPECT_EQ(hit.Top, 5); // round(79 / 14.75)
    const TRect ink = InkBox(canvas);
    ASSERT_GE(ink.Right, ink.Left);
    EXPECT_GE(ink.Left, hit.Left);
    EXPECT_GE(ink.Top, hit.Top);
    EXPECT_LT(ink.Right, hit.Left + hit.Width + 3); // glyphs may overhang their advance
    EXPECT_LT(ink.Bottom, hit.Top + hit.Height);

    d.tlv[0].Shadow = "1";
    r.RedrawBanner(canvas, false);
    const TRect shadowed = InkBox(canvas);
    EXPECT_EQ(shadowed.Left, ink.Left);
    EXPECT_EQ(shadowed.Top, ink.Top);
    EXPECT_EQ(shadowed.Right, ink.Right + 1);
    EXPECT_EQ(shadowed.Bottom, ink.Bottom + 1);
    // The grey of the shadow shows below the right end of the text.
    bool grey = false;
    for (int y = ink.Top; y <= shadowed.Bottom; ++y)
        grey = grey || canvas.ReadPixel(shadowed.Right, y) == 0xFF808080u;
    EXPECT_TRUE(grey);
}

TEST(BannerText, MainTextHitRectanglesMeasureLinesZeroAndOne) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTexts);
    d.tlv[1].Caption = "W\rWWWW\rWW";
    d.SelectedValue = 2;
    TBannerRenderer r(d);
    TBitmap32 canvas;
    r.RedrawBanner(canvas, false);
    EXPECT_EQ(d.HitRectValue1.Left, d.HitRectValue2.Left);
    EXPECT_EQ(d.HitRectValue1.Top, 35);
    EXPECT_GT(d.HitRectValue2.Width, 3 * d.HitRectValue1.Width);
    // Centred on the selected value "WW" (half the width of "WWWW").
    EXPECT_NEAR(d.HitRectValue1.Left, (468 - d.HitRectValue2.Width / 2) / 2, 2);
}

TEST(BannerText, BadLinesRaiseAndSizesAreBounded) {
    TBannerDocument d;
    MakeBanner(d, ckOneText);
    d.tlv[0].Size = "";
    TBitmap32 canvas;
    TBannerRenderer r(d);
    EXPECT_THROW(r.RedrawBanner(canvas, false), EConvertError);
    d.tlv[0] = Lines("A\rB\rC", "-5", "0");
    d.tlv[0].Color = "nocolour";
    EXPECT_THROW(r.RedrawBanner(canvas, false), EConvertError);
    d.tlv[0].Color = "clRed";
    EXPECT_NO_THROW(r.RedrawBanner(canvas, false));
    d.tlv[0].Size = "2000000000";
    TBitmap32 small;
    small.SetDimensions(1, 1);
    ApplyTextFont(small, TextLookOf(d.tlv[0], 0), 2000000000);
    EXPECT_EQ(small.Font()->Size(), MaxTextSize);
}

} // namespace

namespace {

// Only what can reach the bitmap is rendered: a long text past the right edge
// gives the same pixels as the whole text, one wholly outside draws nothing
// (and a position at the integer limits does not overflow).
TEST(BannerText, TextBeyondTheEdgesIsCutWithoutChangingPixels) {
    TTextLook look;
    look.Text = "Soldes d'été " + std::string(300, 'W');
    look.FontName = "DejaVu Sans";
    look.Size = 20;
    look.Shadow = true;
    auto Blank = [](TBitmap32& B) {
        B.SetDimensions(150, 40);
        B.ClearToColor(White);
    };
    TBitmap32 cut, whole;
    Blank(cut);
    Blank(whole);
    ApplyTextFont(cut, look, look.Size);
    ApplyTextFont(whole, look, look.Size);
    DrawLookText(cut, look, look.Text, 5, 3);
    whole.RenderAntialiasedText(6, 4, look.Text, 1, ToColor32(TextShadowColor));
    whole.RenderAntialiasedText(5, 3, look.Text, 1, ToColor32(look.Color));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 150; ++x)
            ASSERT_EQ(cut.ReadPixel(x, y), whole.ReadPixel(x, y)) << x << "," << y;
    EXPECT_NE(InkBox(cut).Right, -1);

    for (const auto& [X, Y] : {std::pair{INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, 3}, {-100000, 3}}) {
        TBitmap32 far;
        Blank(far);
        ApplyTextFont(far, look, look.Size);
        DrawLookText(far, look, look.Text, X, Y);
        EXPECT_EQ(InkBox(far).Right, -1) << X << "," << Y;
    }
}

} // namespace
