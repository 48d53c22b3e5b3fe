#pragma once
// TGIFImageTarget lets a GIF painter play into an image control: the painter
// draws on the control's bitmap and the control repaints the area it
// changed. The target does not own the control; whoever owns it stops the
// painters (TGIFImage::StopPainters) before freeing it, or calls Detach so
// that a painter started with gpfValidateTarget ends instead of drawing.
#include <memory>

#include "gif/GifPainter.h"

class TImage32;
class TGIFImage;

class TGIFImageTarget : public TGIFPaintTarget {
public:
    explicit TGIFImageTarget(TImage32* AImage) : FImage(AImage) {}

    TCanvas* Canvas() override;
    bool Valid() override { return FImage != nullptr; }
    void Painted(const TRect& Rect) override;

    TImage32* Image() const { return FImage; }
    void Detach() { FImage = nullptr; }

    // Sizes the control's bitmap to the GIF's logical screen, cleared to the
    // GIF's background, so that the painter's rectangle is the whole bitmap.
    // Returns that rectangle (empty for an empty GIF or no control).
    TRect Prepare(const TGIFImage& Gif);

private:
    TImage32* FImage;
};

// Plays a GIF in an image control on a painter thread of its own. Stop (or
// the GIF's StopPainters) ends it; stopping a player stops every painter of
// its GIF, so a GIF about to be rebuilt or freed is stopped first.
class TGIFPlayer {
public:
    TGIFPlayer() = default;
    TGIFPlayer(const TGIFPlayer&) = delete;
    TGIFPlayer& operator=(const TGIFPlayer&) = delete;
    ~TGIFPlayer() { Stop(); }

    // Shows frame 0 at once; an animation then plays until stopped.
    void Play(TGIFImage& Gif, TImage32* Image);
    void Stop();
    // The running painter, or null (stopped, or a one-frame GIF).
    TGIFPainter* Painter() const { return FPainter; }

private:
    TGIFImage* FGif = nullptr;
    std::shared_ptr<TGIFImageTarget> FTarget;
    TGIFPainter* FPainter = nullptr;
};
