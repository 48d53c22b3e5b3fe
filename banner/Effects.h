#pragma once
// The frame renderers of the text and image effects. Each returns a new
// bitmap of the banner's size (the caller owns it) holding one frame:
// background, the parts that stay still, the animated element, border. The
// document is only read: frames never move the editor's hit rectangles nor
// touch the pictures the document owns.
//
// V is the value 1..3 of the main text (line V - 1 of its properties); the
// first-text renderers animate line 0 of text item 0. k is the frame
// parameter exactly as TextEffectSteps / the image effect ranges give it.
#include "banner/BannerDocument.h"
#include "raster/RasterCore.h"

#include <memory>
#include <string_view>
#include <vector>

using TFramePtr = std::unique_ptr<TBitmap32>;

// Characters (not bytes) of a UTF-8 text: the steps of the letter effect.
int TextLength(std::string_view Text);
// The k of every frame of a text effect, in playing order, for a value of
// Length characters: teZoomIn/teZoomOut 6..1, teLetterByLetter 0..Length,
// fades 0..7 (teFadeDouble 0..8), teScroll and teSweep 1..7, teNone one
// frame (k 0). An effect outside 0..9 gives no frame.
std::vector<int> TextEffectSteps(int Effect, int Length);
// The frame count D of an image effect for picture size PicW x PicH at
// (X, Y) on a W x H banner (ieFadeIn 8; a slide round(distance / 11), never
// below 0; anything else 0).
int ImageEffectFrameCount(int Effect, int X, int Y, int PicW, int PicH, int W, int H);

// The per-frame values of the text effects.
int ZoomInSize(int S, int k);
int ZoomOutSize(int S, int k);
int FadeAlpha(int k, bool Out);
int FadeDoubleAlpha(int k);
int FadeZoomSize(int S, int k);
int ScrollTop(int k, int Th, int Y0);
// Image fade: round(255 / N * k).
int ImageFadeAlpha(int k, int N);
// Top (slides from the top or bottom) or left (from the left or right) of
// frame k of N; the resting place when N is 1 or less.
int ImageSlideOffset(int Kind, int k, int N, int X, int Y, int PicW, int PicH, int W, int H);

class TEffectRenderer {
public:
    // The document is not owned and must outlive the renderer.
    explicit TEffectRenderer(const TBannerDocument& Document) : FDocument(Document) {}

    // Main text.
    TFramePtr RenderStaticFrame(int V) const;
    TFramePtr RenderZoomInFrame(int k, int V) const;
    TFramePtr RenderZoomOutFrame(int k, int V) const;
    TFramePtr RenderLetterFrame(int k, int V) const;
    TFramePtr RenderFadeFrame(int k, bool Out, int V) const;
    TFramePtr RenderFadeDoubleFrame(int k, int V) const;
    TFramePtr RenderFadeZoomFrame(int k, int V) const;
    TFramePtr RenderScrollFrame(int k, int V) const;
    TFramePtr RenderSweepFrame(int k, int N, int V) const;

    // First text.
    TFramePtr RenderFirstTextZoomInFrame(int k) const;
    TFramePtr RenderFirstTextZoomOutFrame(int k) const;
    TFramePtr RenderFirstTextLetterFrame(int k) const;
    TFramePtr RenderFirstTextFadeFrame(int k, bool Out) const;
    TFramePtr RenderFirstTextFadeDoubleFrame(int k) const;
    TFramePtr RenderFirstTextFadeZoomFrame(int k) const;
    TFramePtr RenderFirstTextScrollFrame(int k) const;
    TFramePtr RenderFirstTextSweepFrame(int k, int N) const;

    // Image 1 (composition 2).
    TFramePtr RenderImageSlideFrame(int k, int N, int Kind) const;
    TFramePtr RenderImageFadeFrame(int k, int N) const;

    // Frame k of Effect for value V (1..3), or for the first text when V is
    // 0; teSweep uses N = 7. nullptr for an effect outside 0..9.
    TFramePtr RenderTextEffectFrame(int Effect, int k, int V) const;
    // Every frame of Effect for value V (0: the first text), in order.
    std::vector<TFramePtr> RenderTextEffect(int Effect, int V) const;

private:
    struct TFrameStep;
    TFramePtr RenderTextFrame(int V, const TFrameStep& Step) const;
    TFramePtr RenderImageFrame(int X, int Y, int Alpha) const;

    const TBannerDocument& FDocument;
};
