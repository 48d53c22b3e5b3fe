#include "editor/GifImageTarget.h"

#include "gif/GifImage.h"
#include "raster/Color32.h"
#include "raster/RasterImage.h"

TCanvas* TGIFImageTarget::Canvas() {
    return FImage ? FImage->Bitmap()->Canvas() : nullptr;
}

void TGIFImageTarget::Painted(const TRect&) {
    if (FImage) FImage->Changed();
}

TRect TGIFImageTarget::Prepare(const TGIFImage& Gif) {
    if (!FImage) return {};
    TBitmap32* Bitmap = FImage->Bitmap();
    if (Gif.Empty() || Gif.Width() <= 0 || Gif.Height() <= 0) {
        Bitmap->Delete();
        FImage->Changed();
        return {};
    }
    Bitmap->SetDimensions(Gif.Width(), Gif.Height());
    // The painter composes over the GIF's own background; starting from the
    // same colour avoids a flash of black before the first frame.
    const TColor Backdrop = Gif.BackdropColor() != clNone       ? Gif.BackdropColor()
                            : Gif.GlobalColorMap().Count() == 0 ? clBtnFace
                                                                : Gif.BackgroundColor();
    Bitmap->ClearToColor(ToColor32(Backdrop));
    FImage->Changed();
    return Bitmap->BoundsRect();
}

void TGIFPlayer::Play(TGIFImage& Gif, TImage32* Image) {
    Stop();
    FGif = &Gif;
    FTarget = std::make_shared<TGIFImageTarget>(Image);
    const TRect Rect = FTarget->Prepare(Gif);
    TGIFPainter* Painter = TGIFPainter::InternalPaint(
        &Gif, &FPainter, FTarget,
        Gif.PaintFlags() | gpfThreaded | gpfStepFrames | gpfValidateTarget, Rect);
    if (Painter) Painter->Start();
}

void TGIFPlayer::Stop() {
    // A painter clears FPainter when it ends: once it is null, FGif may
    // already be gone.
    if (FPainter != nullptr && FGif != nullptr) FGif->StopPainters();
    if (FTarget) FTarget->Detach();
    FTarget.reset();
    FGif = nullptr;
}
