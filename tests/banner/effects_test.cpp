#include "banner/BannerRenderer.h"
#include "banner/Effects.h"

#include "BannerTestSupport.h"
#include "RasterEnvironment.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor32 White = 0xFFFFFFFFu;

void MakeBanner(TBannerDocument& D, TCompositionKind Kind) {
    D.Composition = Kind;
    D.BannerWidth = 200;
    D.BannerHeight = 60;
    D.BackgroundKind = bgColor;
    D.Cl = clWhite;
    D.tlv.clear();
    if (Kind != ckOneText) D.tlv.push_back({"First", "clBlack", "DejaVu Sans", "0", "12", "1"});
    D.tlv.push_back({"Ab\r\rÉté", "clBlack\rclBlack\rclBlue",
                     "DejaVu Sans\rDejaVu Sans\rDejaVu Sans", "0\r0\r1", "14\r14\r14", "0\r0\r1"});
}

int InkRows(const TBitmap32& B, int& FirstRow) {
    int rows = 0;
    FirstRow = -1;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            if (B.ReadPixel(x, y) != White) {
                if (FirstRow < 0) FirstRow = y;
                ++rows;
                break;
            }
    return rows;
}

TEST(EffectSteps, FrameParametersOfEveryEffect) {
    EXPECT_EQ(TextEffectSteps(teNone, 5), std::vector<int>{0});
    EXPECT_EQ(TextEffectSteps(teZoomOut, 5), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(TextEffectSteps(teLetterByLetter, 3), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(TextEffectSteps(teLetterByLetter, 0), std::vector<int>{0});
    const std::size_t counts[] = {1, 6, 6, 10, 8, 8, 9, 8, 7, 7};
    for (int e = teNone; e <= teSweep; ++e)
        EXPECT_EQ(TextEffectSteps(e, 9).size(), counts[e]) << e;
    EXPECT_EQ(TextEffectSteps(teScroll, 9).front(), 1);
    EXPECT_TRUE(TextEffectSteps(10, 9).empty());
    EXPECT_EQ(TextLength("Été"), 3);
}

TEST(EffectSteps, PerFrameValues) {
    // round(-8 / 7) = -1: 5, 6, 7, 8, 9, 10 points as k goes 6 down to 1.
    std::vector<int> sizes;
    for (int k : TextEffectSteps(teZoomIn, 0))
        sizes.push_back(ZoomInSize(10, k));
    EXPECT_EQ(sizes, (std::vector<int>{5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(ZoomOutSize(10, 6), 10 + 7 * 5);
    EXPECT_EQ(ZoomOutSize(10, 1), 10);
    EXPECT_EQ(FadeZoomSize(14, 7), 14);
    EXPECT_EQ(FadeZoomSize(14, 0), 56);
    std::vector<int> fade, dbl;
    for (int k = 0; k <= 7; ++k)
        fade.push_back(FadeAlpha(k, false));
    for (int k = 0; k <= 8; ++k)
        dbl.push_back(FadeDoubleAlpha(k));
    EXPECT_EQ(fade, (std::vector<int>{0, 36, 73, 109, 146, 182, 219, 255}));
    EXPECT_EQ(FadeAlpha(7, true), 0);
    EXPECT_EQ(dbl, (std::vector<int>{0, 64, 128, 191, 255, 191, 128, 64, 0}));
    EXPECT_EQ(ScrollTop(1, 17, 35), -17);
    EXPECT_EQ(ScrollTop(7, 17, 35), 35);
    std::vector<int> imageFade;
    for (int k = 0; k <= 7; ++k)
        imageFade.push_back(ImageFadeAlpha(k, 8));
    EXPECT_EQ(imageFade, (std::vector<int>{0, 32, 64, 96, 128, 159, 191, 223}));
}

TEST(EffectSteps, ImageSlidePaths) {
    // 60 x 40 picture at (55, 7) on 468 x 60.
    const int d = ImageEffectFrameCount(ieSlideFromTop, 55, 7, 60, 40, 468, 60);
    EXPECT_EQ(d, 4); // round(47 / 11)
    EXPECT_EQ(ImageSlideOffset(ieSlideFromTop, 1, d, 55, 7, 60, 40, 468, 60), -40);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromTop, d, d, 55, 7, 60, 40, 468, 60), 7);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromBottom, 1, 5, 55, 7, 60, 40, 468, 60), 60);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromBottom, 5, 5, 55, 7, 60, 40, 468, 60), 7);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromLeft, 1, 3, 55, 7, 60, 40, 468, 60), -60);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromRight, 1, 3, 55, 7, 60, 40, 468, 60), 468);
    EXPECT_EQ(ImageSlideOffset(ieSlideFromRight, 3, 3, 55, 7, 60, 40, 468, 60), 55);
    // One frame shows the picture where it rests.
    EXPECT_EQ(ImageSlideOffset(ieSlideFromLeft, 1, 1, 55, 7, 60, 40, 468, 60), 55);
    EXPECT_EQ(ImageEffectFrameCount(ieSlideFromRight, 55, 7, 60, 40, 468, 60), 38);
    EXPECT_EQ(ImageEffectFrameCount(ieSlideFromBottom, 55, 99, 60, 40, 468, 60), 0);
    EXPECT_EQ(ImageEffectFrameCount(ieSlideFromLeft, 2000000000, 0, 60, 40, 468, 60), 255);
    EXPECT_EQ(ImageEffectFrameCount(ieFadeIn, 0, 0, 1, 1, 1, 1), 8);
    EXPECT_EQ(ImageEffectFrameCount(ieNone, 0, 0, 1, 1, 1, 1), 0);
}

TEST(EffectFrames, EndsOfEachTextEffectMatchTheTextAtRest) {
    for (TCompositionKind kind : {ckOneText, ckTwoTexts}) {
        TBannerDocument d;
        MakeBanner(d, kind);
        TEffectRenderer r(d);
        for (int v : {0, 1, 3}) {
            if (v == 0 && kind == ckOneText) continue;
            SCOPED_TRACE(testing::Message() << "composition " << kind << " value " << v);
            const TFramePtr rest =
                v == 0 ? r.RenderFirstTextFadeFrame(7, false) : r.RenderStaticFrame(v);
            ASSERT_EQ(rest->Width(), 200);
            ASSERT_EQ(rest->Height(), 60);
            for (int effect = teZoomIn; effect <= teSweep; ++effect) {
                const std::vector<TFramePtr> frames = r.RenderTextEffect(effect, v);
                SCOPED_TRACE(testing::Message() << "effect " << effect);
                const bool restLast = effect != teFadeOut && effect != teFadeDouble;
                EXPECT_EQ(SamePixels(*frames.back(), *rest), restLast);
                if (effect == teFadeOut) {
                    EXPECT_TRUE(SamePixels(*frames.front(), *rest));
                }
            }
        }
    }
}

TEST(EffectFrames, FirstFramesShowLittleOrNothing) {
    TBannerDocument d;
    MakeBanner(d, ckOneText);
    TEffectRenderer r(d);
    TBannerDocument blank;
    MakeBanner(blank, ckOneText);
    blank.tlv[0].Caption.clear();
    const TFramePtr background = TEffectRenderer(blank).RenderStaticFrame(1);
    int first = 0;
    EXPECT_EQ(InkRows(*background, first), 0);
    EXPECT_TRUE(SamePixels(*r.RenderLetterFrame(0, 1), *background));
    EXPECT_TRUE(SamePixels(*r.RenderFadeFrame(0, false, 1), *background));
    EXPECT_TRUE(SamePixels(*r.RenderFadeDoubleFrame(8, 1), *background));
    // Value 2 is empty: one letter frame, no text.
    EXPECT_EQ(r.RenderTextEffect(teLetterByLetter, 2).size(), 1u);
    EXPECT_EQ(r.RenderTextEffect(teLetterByLetter, 3).size(), 4u);

    // The sweep shows only the top rows of the text in its first frame.
    int restTop = 0, sweepTop = 0;
    const int restRows = InkRows(*r.RenderStaticFrame(1), restTop);
    const int sweepRows = InkRows(*r.RenderSweepFrame(1, 7, 1), sweepTop);
    EXPECT_GT(sweepRows, 0);
    EXPECT_LT(sweepRows, restRows);
    EXPECT_EQ(sweepTop, restTop);
    // The scroll starts with the text just above the banner.
    EXPECT_EQ(InkRows(*r.RenderScrollFrame(1, 1), first), 0);
    // A zoom-in starts smaller, a zoom-out larger.
    EXPECT_LT(InkRows(*r.RenderZoomInFrame(6, 1), first), restRows);
    EXPECT_GT(InkRows(*r.RenderZoomOutFrame(6, 1), first), restRows);
}

TEST(EffectFrames, StoredPositionsFarOutsideAreClipped) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTexts);
    d.AutoPositions = {0, 0, 0, 0};
    d.TextPositions = {-100000, -5, 195, 55, 2000000000, -2000000000};
    TEffectRenderer r(d);
    for (int effect = teNone; effect <= teSweep; ++effect)
        for (int v = 0; v <= 2; ++v)
            EXPECT_EQ(r.RenderTextEffect(effect, v).back()->Width(), 200);
    TBitmap32 canvas;
    TBannerRenderer(d).RedrawBanner(canvas, false);
    EXPECT_EQ(d.HitRectText1.Left, 2000000000);
}

TEST(EffectFrames, ImageFramesUsePrivateCopies) {
    TBannerDocument d;
    MakeBanner(d, ckTwoTextsImage);
    d.Image1.SetDimensions(10, 8);
    d.Image1.ClearToColor(0xFF0000FFu);
    d.ilv = {TImageElement{"1", "clWhite", "20", "30", "0"}};
    TEffectRenderer r(d);
    const TFramePtr rest = r.RenderImageSlideFrame(1, 1, ieSlideFromTop);
    EXPECT_EQ(rest->ReadPixel(20, 30), 0xFF0000FFu);
    EXPECT_EQ(rest->ReadPixel(19, 30), White);
    const TFramePtr start = r.RenderImageSlideFrame(1, 4, ieSlideFromLeft);
    int top = 0;
    EXPECT_EQ(InkRows(*start, top), 0); // just outside the left edge
    const TFramePtr faded = r.RenderImageFadeFrame(0, 8);
    EXPECT_EQ(faded->ReadPixel(25, 33), White);
    const TFramePtr last = r.RenderImageFadeFrame(7, 8);
    EXPECT_NE(last->ReadPixel(25, 33), 0xFF0000FFu); // 223 of 255: not fully opaque
    EXPECT_EQ(BlueComponent(last->ReadPixel(25, 33)), 255);
    EXPECT_EQ(d.Image1.MasterAlpha(), 255);
    EXPECT_EQ(d.Image1.DrawMode(), dmOpaque);
}

TEST(EffectFrames, APictureLargerThanTheBannerShowsTheRightPart) {
    // Only the part of the picture that lands on the banner is prepared; it
    // must be the part the whole picture would have shown there.
    TBannerDocument d;
    MakeBanner(d, ckTwoTextsImage);
    d.Cl = clBlack;
    d.Image1.SetDimensions(700, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 700; ++x)
            d.Image1.WritePixel(x, y, MakeColor32(x % 256, y, x / 256));
    d.Image1.WritePixel(9, 5, 0xFFFFFFFFu); // the transparent colour
    d.ilv = {TImageElement{"1", "clWhite", "-7", "-3", "0"}};
    TEffectRenderer r(d);
    const TFramePtr rest = r.RenderImageFadeFrame(8, 8);
    EXPECT_EQ(rest->ReadPixel(0, 0), MakeColor32(7, 3, 0));
    EXPECT_EQ(rest->ReadPixel(199, 59), MakeColor32(206, 62, 0));
    EXPECT_EQ(rest->ReadPixel(2, 2), 0xFF000000u);
    const TFramePtr slid = r.RenderImageSlideFrame(2, 3, ieSlideFromRight); // at x 96
    EXPECT_EQ(slid->ReadPixel(95, 0), 0xFF000000u);
    EXPECT_EQ(slid->ReadPixel(96, 0), MakeColor32(0, 3, 0));
    EXPECT_EQ(slid->ReadPixel(199, 59), MakeColor32(103, 62, 0));
    EXPECT_EQ(d.Image1.ReadPixel(9, 5), 0xFFFFFFFFu);
    // Positions typed in the editor may be any integer.
    for (const char* Far : {"-2147483648", "2147483647"}) {
        d.ilv[0].X = Far;
        EXPECT_EQ(r.RenderImageFadeFrame(8, 8)->ReadPixel(0, 0), 0xFF000000u) << Far;
    }
}

} // namespace
