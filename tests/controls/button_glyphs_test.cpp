#include "controls/ButtonGlyphs.h"
#include "platform/forms/Application.h"
#include "platform/graphics/Colors.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr TColor Olive = 0x008080;

std::unique_ptr<TBitmap> MakeGlyph(int W, int H) {
    auto B = std::make_unique<TBitmap>(W, H, pf24bit);
    B->Canvas()->Brush()->SetColor(Olive);
    B->Canvas()->FillRect(TRect(0, 0, W, H));
    return B;
}

// 0xAARRGGBB of the image list's pixel.
std::uint32_t ListPixel(TGlyphList* L, int Slot, int X, int Y) {
    return L->ImagePixels(Slot)[std::size_t(Y) * std::size_t(L->Width()) + std::size_t(X)];
}

std::uint32_t Argb(TColor C) {
    const std::int32_t Rgb = ColorToRGB(C);
    return 0xFF000000u | (std::uint32_t(Rgb & 0xFF) << 16) | (std::uint32_t(Rgb) & 0xFF00u) |
           (std::uint32_t(Rgb >> 16) & 0xFFu);
}

class ButtonGlyphs : public ::testing::Test {
protected:
    void SetUp() override { InitForms(); }
};

TEST_F(ButtonGlyphs, GlyphCountFollowsTheStripShape) {
    TButtonGlyph G;
    int Changes = 0;
    G.OnChange = [&](TObject*) { ++Changes; };
    G.AssignGlyph(MakeGlyph(64, 16).get());
    EXPECT_EQ(G.NumGlyphs(), 4);
    EXPECT_GT(Changes, 0);
    G.AssignGlyph(MakeGlyph(50, 16).get()); // not a multiple: count kept
    EXPECT_EQ(G.NumGlyphs(), 4);
    G.AssignGlyph(MakeGlyph(80, 16).get()); // five images is no strip
    EXPECT_EQ(G.NumGlyphs(), 1);
    EXPECT_EQ(G.ImageForState(bsUp), 0);
    EXPECT_EQ(G.GlyphList()->Width(), 80);
    G.AssignGlyph(nullptr);
    EXPECT_EQ(G.ImageForState(bsUp), -1);
}

TEST_F(ButtonGlyphs, ListsAreSharedReusedAndFreedWithTheLastGlyph) {
    {
        TButtonGlyph A, B, C;
        A.AssignGlyph(MakeGlyph(16, 16).get());
        B.AssignGlyph(MakeGlyph(16, 16).get());
        C.AssignGlyph(MakeGlyph(8, 8).get());
        EXPECT_EQ(A.ImageForState(bsUp), 0);
        EXPECT_EQ(B.ImageForState(bsUp), 1);
        EXPECT_EQ(A.ImageForState(bsDown), 0); // two images or fewer: down is up
        C.ImageForState(bsUp);
        EXPECT_EQ(A.GlyphList(), B.GlyphList());
        EXPECT_NE(A.GlyphList(), C.GlyphList());
        EXPECT_EQ(GlyphCacheInstance()->ListCount(), 2);
        TGlyphList* L = A.GlyphList();
        A.DropImages();
        EXPECT_EQ(L->Count(), 1);
        A.ImageForState(bsDisabled);
        EXPECT_EQ(A.ImageForState(bsDisabled), 0); // the released slot reused
        EXPECT_EQ(L->TImageList::Count(), 2);
        C.DropImages(); // its size's last image: the list goes
        EXPECT_EQ(GlyphCacheInstance()->ListCount(), 1);
    }
    EXPECT_EQ(GlyphCacheInstance(), nullptr);
}

TEST_F(ButtonGlyphs, StateImagesAreMaskedAndEmbossed) {
    auto Strip = MakeGlyph(4, 4);
    Strip->Canvas()->SetPixels(1, 1, 0x000000);
    TButtonGlyph G;
    G.AssignGlyph(Strip.get());
    const int Up = G.ImageForState(bsUp);
    TGlyphList* L = G.GlyphList();
    EXPECT_EQ(ListPixel(L, Up, 1, 1), 0xFF000000u);
    EXPECT_EQ(ListPixel(L, Up, 0, 0) >> 24, 0u); // the olive background is masked out
    const int Disabled = G.ImageForState(bsDisabled);
    EXPECT_EQ(ListPixel(L, Disabled, 1, 1), Argb(clBtnShadow));
    EXPECT_EQ(ListPixel(L, Disabled, 2, 2), Argb(clBtnHighlight));
    EXPECT_EQ(ListPixel(L, Disabled, 3, 3) >> 24, 0u);

    // A strip with its own disabled image: white becomes highlight, grey
    // becomes shadow.
    auto Two = MakeGlyph(8, 4);
    Two->Canvas()->SetPixels(5, 1, 0xFFFFFF);
    Two->Canvas()->SetPixels(6, 1, 0x808080);
    TButtonGlyph H;
    H.AssignGlyph(Two.get());
    ASSERT_EQ(H.NumGlyphs(), 2);
    const int D = H.ImageForState(bsDisabled);
    EXPECT_EQ(ListPixel(H.GlyphList(), D, 1, 1), Argb(clBtnHighlight));
    EXPECT_EQ(ListPixel(H.GlyphList(), D, 2, 1), Argb(clBtnShadow));
}

TEST_F(ButtonGlyphs, LayoutPlacesGlyphByMarginAndSides) {
    TBitmap Face(100, 40, pf32bit);
    TButtonGlyph G;
    G.AssignGlyph(MakeGlyph(16, 16).get());
    const TRect Client(0, 0, 60, 30);
    TGlyphLayout L =
        G.CalcGlyphLayout(Face.Canvas(), Client, 0, 0, -1, 4, blGlyphLeft, "", TPoint(1, 1));
    EXPECT_EQ(L.GlyphPos, TPoint(23, 8)); // centred: (60 - 16 + 1) div 2, then pressed
    L = G.CalcGlyphLayout(Face.Canvas(), Client, DT_RIGHT, 0, 3, 4, blGlyphLeft, "", TPoint());
    EXPECT_EQ(L.GlyphPos, TPoint(41, 7)); // right-to-left turns left into right
    L = G.CalcGlyphLayout(Face.Canvas(), Client, 0, 10, 2, 4, blGlyphBottom, "", TPoint());
    EXPECT_EQ(L.GlyphPos, TPoint(17, 12));

    // Indicator beside a glyph on the left.
    const TRect R = G.DrawGlyphAndCaption(Face.Canvas(), Client, 0, 15, true, bsUp, 3, 4,
                                          blGlyphLeft, "", TPoint());
    EXPECT_EQ(R, TRect(3 + 16 + 4, 7, 41, 7 + 16));
}

TEST_F(ButtonGlyphs, IndicatorWithoutGlyphOrWithCaption) {
    TBitmap Face(100, 40, pf32bit);
    TButtonGlyph G;
    // The editor's colour buttons: no glyph, no caption.
    EXPECT_EQ(G.DrawGlyphAndCaption(Face.Canvas(), TRect(0, 0, 45, 22), 0, 15, true, bsUp, -1, 4,
                                    blGlyphLeft, "", TPoint()),
              TRect(2, 2, 45 - 15 - 4, 20));
    EXPECT_EQ(G.DrawGlyphAndCaption(Face.Canvas(), TRect(5, 3, 50, 25), 0, 15, true, bsDown, -1, 4,
                                    blGlyphLeft, "", TPoint(1, 1)),
              TRect(7, 5, 50 - 15 - 4, 23));

    const TSize Text = Face.Canvas()->TextExtent("Ab");
    const TRect Tall(0, 0, 80, Text.cy + 20);
    TGlyphLayout L =
        G.CalcGlyphLayout(Face.Canvas(), Tall, 0, 15, -1, 4, blGlyphLeft, "Ab", TPoint());
    TRect R = G.DrawGlyphAndCaption(Face.Canvas(), Tall, 0, 15, true, bsUp, -1, 4, blGlyphLeft,
                                    "Ab", TPoint());
    EXPECT_EQ(R, TRect(L.TextBounds.Left, L.TextBounds.Bottom, L.TextBounds.Right,
                       L.TextBounds.Bottom + 6));
    EXPECT_EQ(L.TextBounds.Width(), Text.cx);
    EXPECT_EQ(L.TextBounds.Left, (65 - Text.cx + 1) / 2);

    const TRect Low(0, 0, 80, Text.cy + 4); // too low for the bar: cut above the bottom
    R = G.DrawGlyphAndCaption(Face.Canvas(), Low, 0, 15, true, bsUp, -1, 4, blGlyphLeft, "Ab",
                              TPoint());
    EXPECT_EQ(R.Bottom, Low.Bottom - 2);
}

TEST_F(ButtonGlyphs, CaptionBelowGlyphSharesTheFreeSpace) {
    TBitmap Face(100, 100, pf32bit);
    TButtonGlyph G;
    G.AssignGlyph(MakeGlyph(16, 16).get());
    const TSize Text = Face.Canvas()->TextExtent("Ab");
    const TRect Client(0, 0, 60, 80);
    const TGlyphLayout L =
        G.CalcGlyphLayout(Face.Canvas(), Client, 0, 0, -1, -1, blGlyphTop, "Ab", TPoint(2, 3));
    // Margin and spacing both free: a third each of what is left.
    const int Free = (80 - 16 - Text.cy) / 3;
    EXPECT_EQ(L.GlyphPos, TPoint((60 - 16 + 1) / 2 + 2, Free + 3));
    // The press moves the text by its X amount on both axes.
    EXPECT_EQ(L.TextBounds.Top, Free + 16 + Free + 2);
    EXPECT_EQ(L.TextBounds.Left, (60 - Text.cx + 1) / 2 + 2);
    EXPECT_EQ(L.TextBounds.Height(), Text.cy);
}

} // namespace
