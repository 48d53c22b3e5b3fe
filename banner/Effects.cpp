#include "banner/Effects.h"

#include "banner/BannerRenderer.h"
#include "platform/base/Rounding.h"

#include <algorithm>

int TextLength(std::string_view Text) {
    int n = 0;
    for (unsigned char c : Text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

namespace {

// The first Count characters of a UTF-8 text.
std::string_view TextPrefix(std::string_view Text, int Count) {
    if (Count <= 0) return {};
    int seen = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80) {
            if (seen == Count) return Text.substr(0, i);
            ++seen;
        }
    }
    return Text;
}

std::vector<int> Range(int From, int To) {
    std::vector<int> r;
    if (From <= To)
        for (int k = From; k <= To; ++k)
            r.push_back(k);
    else
        for (int k = From; k >= To; --k)
            r.push_back(k);
    return r;
}

constexpr int SweepFrames = 7;

} // namespace

std::vector<int> TextEffectSteps(int Effect, int Length) {
    switch (Effect) {
    case teNone:
        return {0};
    case teZoomIn:
    case teZoomOut:
        return Range(6, 1);
    case teLetterByLetter:
        return Range(0, std::max(0, Length));
    case teFadeIn:
    case teFadeOut:
    case teFadeZoom:
        return Range(0, 7);
    case teFadeDouble:
        return Range(0, 8);
    case teScroll:
    case teSweep:
        return Range(1, 7);
    default:
        return {};
    }
}

int ImageEffectFrameCount(int Effect, int X, int Y, int PicW, int PicH, int W, int H) {
    std::int64_t d = 0;
    switch (Effect) {
    case ieSlideFromTop:
        d = RoundQuotient(std::int64_t(Y) + PicH, 11);
        break;
    case ieSlideFromBottom:
        d = RoundQuotient(std::int64_t(H) - Y, 11);
        break;
    case ieSlideFromLeft:
        d = RoundQuotient(std::int64_t(X) + PicW, 11);
        break;
    case ieSlideFromRight:
        d = RoundQuotient(std::int64_t(W) - X, 11);
        break;
    case ieFadeIn:
        return 8;
    default:
        return 0;
    }
    // A picture placed far outside the banner must not ask for millions of
    // frames; 255 frames cross the largest banner the editor offers.
    return int(std::clamp<std::int64_t>(d, 0, 255));
}

int ZoomInSize(int S, int k) {
    return S + Round((2 - S) / 7.0) * (k - 1);
}

int ZoomOutSize(int S, int k) {
    return S + Round((56 - S) / 7.0) * (k - 1);
}

int FadeAlpha(int k, bool Out) {
    const int a = int(RoundQuotient(std::int64_t(k) * 255, 7));
    return Out ? 255 - a : a;
}

int FadeDoubleAlpha(int k) {
    const int m = k <= 4 ? k : 8 - k;
    return int(RoundQuotient(std::int64_t(m) * 255, 4)); // m * 63.75
}

int FadeZoomSize(int S, int k) {
    return S - Round((56 - S) / 7.0) * (k - 7);
}

int ScrollTop(int k, int Th, int Y0) {
    const double e = (double(Th) + Y0) / 6;
    return Round(k * e - Th - e);
}

int ImageFadeAlpha(int k, int N) {
    if (N <= 0) return 255;
    return Round(255.0 / N * k);
}

int ImageSlideOffset(int Kind, int k, int N, int X, int Y, int PicW, int PicH, int W, int H) {
    const bool vertical = Kind == ieSlideFromTop || Kind == ieSlideFromBottom;
    // One frame has no path to travel: it shows the picture where it rests
    // (the path formula would leave it outside the banner).
    if (N <= 1) return vertical ? Y : X;
    const double steps = N - 1;
    double start = 0, g = 0;
    switch (Kind) {
    case ieSlideFromTop:
        g = (double(Y) + PicH) / steps;
        start = -PicH;
        break;
    case ieSlideFromBottom:
        g = (double(Y) - H) / steps;
        start = H;
        break;
    case ieSlideFromLeft:
        g = (double(X) + PicW) / steps;
        start = -PicW;
        break;
    case ieSlideFromRight:
        g = (double(X) - W) / steps;
        start = W;
        break;
    default:
        return vertical ? Y : X;
    }
    return Round(start - g + k * g);
}

struct TEffectRenderer::TFrameStep {
    TTextEffect Effect = teNone;
    int k = 0;
    int N = SweepFrames;
    bool Out = false;
};

TFramePtr TEffectRenderer::RenderTextFrame(int V, const TFrameStep& Step) const {
    const TBannerDocument& doc = FDocument;
    auto frame = std::make_unique<TBitmap32>();
    DrawBannerBackground(doc, *frame);
    if (frame->Empty()) return frame;
    const bool twoTexts = doc.Composition == ckTwoTextsImage || doc.Composition == ckTwoTexts;
    if (doc.Composition == ckTwoTextsImage) DrawBannerImages(doc, *frame, nullptr);
    if (V > 0 && twoTexts) DrawBannerFirstText(doc, *frame, nullptr);

    const TTextElement* element = nullptr;
    int line = 0;
    if (V > 0) {
        element = doc.MainText();
        line = V - 1;
    } else if (!doc.tlv.empty()) {
        element = &doc.tlv[0];
    }
    if (element != nullptr) {
        const TTextLook look = TextLookOf(*element, line);
        const int S = look.Size;
        int size = S, alpha = 255;
        std::string_view text = look.Text;
        switch (Step.Effect) {
        case teZoomIn:
            size = ZoomInSize(S, Step.k);
            break;
        case teZoomOut:
            size = ZoomOutSize(S, Step.k);
            break;
        case teLetterByLetter:
            text = TextPrefix(look.Text, Step.k);
            break;
        case teFadeIn:
        case teFadeOut:
            alpha = FadeAlpha(Step.k, Step.Effect == teFadeOut);
            break;
        case teFadeDouble:
            alpha = FadeDoubleAlpha(Step.k);
            break;
        case teFadeZoom:
            size = FadeZoomSize(S, Step.k);
            alpha = FadeAlpha(Step.k, false);
            break;
        default:
            break;
        }
        ApplyTextFont(*frame, look, size);
        // The anchor is measured on the whole value at the frame's size.
        const TSize ext = MeasureLookText(*frame, look.Text);
        TPoint at =
            V > 0 ? MainTextAnchor(doc, V, ext.cx, ext.cy, false) : FirstTextAnchor(doc, ext.cx);
        if (Step.Effect == teScroll) at.Y = ScrollTop(Step.k, ext.cy, at.Y);

        if (Step.Effect != teSweep) {
            if (!text.empty()) DrawLookText(*frame, look, text, at.X, at.Y, alpha);
        } else {
            // The text appears row by row: the patch holds the frame under
            // the text with the whole text drawn in, and everything from
            // row R down is put back as it was.
            const int W = frame->Width(), H = frame->Height();
            const std::int64_t pw =
                std::min<std::int64_t>(std::int64_t(ext.cx) + 10, std::int64_t(W) - at.X + 1);
            const std::int64_t ph =
                std::min<std::int64_t>(std::int64_t(ext.cy) + 10, std::int64_t(H) - at.Y + 1);
            if (pw > 0 && ph > 0) {
                TBitmap32 patch;
                patch.SetDimensions(int(pw), int(ph));
                auto copyRows = [&](int FromRow) {
                    for (int py = FromRow; py < patch.Height(); ++py) {
                        const std::int64_t fy = std::int64_t(at.Y) + py;
                        if (fy < 0 || fy >= H) continue;
                        for (int px = 0; px < patch.Width(); ++px) {
                            const std::int64_t fx = std::int64_t(at.X) + px;
                            if (fx < 0 || fx >= W) continue;
                            patch.WritePixel(px, py, frame->ReadPixel(int(fx), int(fy)));
                        }
                    }
                };
                copyRows(0);
                ApplyTextFont(patch, look, size);
                DrawLookText(patch, look, text, 0, 0, 255);
                const int n = Step.N > 0 ? Step.N : SweepFrames;
                copyRows(std::max(0, Round(double(ph) / n * Step.k)));
                frame->DrawBitmapAt(at.X, at.Y, &patch);
            }
        }
    }
    DrawBannerBorder(doc, *frame);
    return frame;
}

TFramePtr TEffectRenderer::RenderStaticFrame(int V) const {
    return RenderTextFrame(V, {teNone, 0});
}
TFramePtr TEffectRenderer::RenderZoomInFrame(int k, int V) const {
    return RenderTextFrame(V, {teZoomIn, k});
}
TFramePtr TEffectRenderer::RenderZoomOutFrame(int k, int V) const {
    return RenderTextFrame(V, {teZoomOut, k});
}
TFramePtr TEffectRenderer::RenderLetterFrame(int k, int V) const {
    return RenderTextFrame(V, {teLetterByLetter, k});
}
TFramePtr TEffectRenderer::RenderFadeFrame(int k, bool Out, int V) const {
    return RenderTextFrame(V, {Out ? teFadeOut : teFadeIn, k, SweepFrames, Out});
}
TFramePtr TEffectRenderer::RenderFadeDoubleFrame(int k, int V) const {
    return RenderTextFrame(V, {teFadeDouble, k});
}
TFramePtr TEffectRenderer::RenderFadeZoomFrame(int k, int V) const {
    return RenderTextFrame(V, {teFadeZoom, k});
}
TFramePtr TEffectRenderer::RenderScrollFrame(int k, int V) const {
    return RenderTextFrame(V, {teScroll, k});
}
TFramePtr TEffectRenderer::RenderSweepFrame(int k, int N, int V) const {
    return RenderTextFrame(V, {teSweep, k, N});
}

TFramePtr TEffectRenderer::RenderFirstTextZoomInFrame(int k) const {
    return RenderZoomInFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextZoomOutFrame(int k) const {
    return RenderZoomOutFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextLetterFrame(int k) const {
    return RenderLetterFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextFadeFrame(int k, bool Out) const {
    return RenderFadeFrame(k, Out, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextFadeDoubleFrame(int k) const {
    return RenderFadeDoubleFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextFadeZoomFrame(int k) const {
    return RenderFadeZoomFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextScrollFrame(int k) const {
    return RenderScrollFrame(k, 0);
}
TFramePtr TEffectRenderer::RenderFirstTextSweepFrame(int k, int N) const {
    return RenderSweepFrame(k, N, 0);
}

TFramePtr TEffectRenderer::RenderTextEffectFrame(int Effect, int k, int V) const {
    if (Effect < teNone || Effect > teSweep) return nullptr;
    return RenderTextFrame(V, {TTextEffect(Effect), k, SweepFrames, Effect == teFadeOut});
}

std::vector<TFramePtr> TEffectRenderer::RenderTextEffect(int Effect, int V) const {
    int length = 0;
    if (Effect == teLetterByLetter) {
        const TTextElement* e =
            V > 0 ? FDocument.MainText() : (FDocument.tlv.empty() ? nullptr : &FDocument.tlv[0]);
        if (e != nullptr)
            length = V > 0 ? TextLength(TBannerDocument::GetValueLine(e->Caption, V - 1))
                           : TextLength(e->Caption);
    }
    std::vector<TFramePtr> frames;
    for (int k : TextEffectSteps(Effect, length))
        frames.push_back(RenderTextEffectFrame(Effect, k, V));
    return frames;
}

TFramePtr TEffectRenderer::RenderImageFrame(int X, int Y, int Alpha) const {
    auto frame = std::make_unique<TBitmap32>();
    DrawBannerBackground(FDocument, *frame);
    if (frame->Empty()) return frame;
    // The master alpha lives on a private copy: the document's picture is
    // left fully opaque after a fade.
    DrawImagePicture(FDocument, 0, *frame, X, Y, Alpha);
    DrawBannerBorder(FDocument, *frame);
    return frame;
}

TFramePtr TEffectRenderer::RenderImageSlideFrame(int k, int N, int Kind) const {
    int x = 0, y = 0;
    if (!FDocument.ilv.empty()) {
        x = FDocument.ilv[0].PosX();
        y = FDocument.ilv[0].PosY();
    }
    const int off =
        ImageSlideOffset(Kind, k, N, x, y, FDocument.Image1.Width(), FDocument.Image1.Height(),
                         FDocument.BannerWidth, FDocument.BannerHeight);
    if (Kind == ieSlideFromTop || Kind == ieSlideFromBottom)
        y = off;
    else
        x = off;
    return RenderImageFrame(x, y, 255);
}

TFramePtr TEffectRenderer::RenderImageFadeFrame(int k, int N) const {
    int x = 0, y = 0;
    if (!FDocument.ilv.empty()) {
        x = FDocument.ilv[0].PosX();
        y = FDocument.ilv[0].PosY();
    }
    return RenderImageFrame(x, y, ImageFadeAlpha(k, N));
}
