#include "gif/GifPainter.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "gif/ColorReduction.h"
#include "gif/Dither.h"
#include "gif/GifImage.h"
#include "platform/base/Rounding.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/system/Clock.h"

TCanvas* TGIFBitmapTarget::Canvas() {
    return FBitmap ? FBitmap->Canvas() : nullptr;
}

// ------------------------------------------------------------------ timing

int GIFFrameTicks(bool HasControl, int Delay, bool Threaded) {
    if (!HasControl || Delay == 0) return GIFDefaultDelay;
    int ticks = std::max(Delay, GIFMinimumDelay);
    if (!Threaded) ticks = std::min(ticks, GIFMaximumDelay);
    return ticks;
}

unsigned GIFFrameWait(int Ticks, int Speed, bool Threaded, std::int64_t Overrun) {
    if (Speed < 0) return 0;
    if (Speed == 0) return Threaded ? INFINITE : unsigned(GIFMaximumDelay * GIFDelayExp);
    const std::int64_t value = std::int64_t(Ticks) * GIFDelayExp - Overrun / 2;
    // value * 100 / Speed, rounded half away from zero as the system's
    // multiply-divide does.
    const std::int64_t product = value * 100;
    const std::int64_t wait = (product >= 0 ? product + Speed / 2 : product - Speed / 2) / Speed;
    if (wait > std::numeric_limits<std::int32_t>::max() ||
        wait < std::numeric_limits<std::int32_t>::min())
        return unsigned(GIFMaximumDelay * GIFDelayExp);
    return wait <= 0 ? 0 : unsigned(wait);
}

// --------------------------------------------------------------- frame view

namespace {

int FrameDisposal(const TGIFSubImage& Frame) {
    // Every control extension of the frame sets it; the last one wins.
    int disposal = gdLeaveInPlace;
    const TGIFExtensionList& list = Frame.Extensions();
    for (int i = 0; i < list.ItemCount(); ++i)
        if (auto* gce = dynamic_cast<const TGIFGraphicControlExtension*>(list.ExtensionAt(i)))
            disposal = gce->Disposal();
    return disposal;
}

// A frame's pixels as the composer sees them. When the image dithers, the
// indices are those of the rendered (web-cube) bitmap and the transparent
// pixels are marked with an index the cube does not use.
struct TFrameSource {
    TGIFFrameView View;
    std::vector<Byte> Indices;
    std::vector<Byte> Table;

    TFrameSource(TGIFSubImage& Frame, int Disposal) {
        View.Left = Frame.Left();
        View.Top = Frame.Top();
        View.Width = Frame.Width();
        View.Height = Frame.Height();
        View.Disposal = Disposal;
        const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
        const int transparent = Frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
        TGIFImage* image = Frame.Image();
        if (image && image->DoDither() && !Frame.Empty()) {
            TBitmap* rendered = Frame.RenderedBitmap();
            if (rendered && rendered->PixelFormat() == pf8bit && rendered->Width() == View.Width &&
                rendered->Height() == View.Height) {
                constexpr int marker = 255;
                Indices.resize(std::size_t(View.Width) * std::size_t(View.Height));
                for (int y = 0; y < View.Height; ++y) {
                    const Byte* src = rendered->ScanLine(y);
                    const Byte* original = Frame.Data() + std::size_t(y) * std::size_t(View.Width);
                    Byte* dst = Indices.data() + std::size_t(y) * std::size_t(View.Width);
                    for (int x = 0; x < View.Width; ++x)
                        dst[x] = original[x] == transparent ? Byte(marker) : src[x];
                }
                const TPalette palette = rendered->Palette();
                Table.resize(std::size_t(palette.Count()) * 3);
                for (int i = 0; i < palette.Count(); ++i) {
                    Table[std::size_t(i) * 3] = palette.Entry(i).peRed;
                    Table[std::size_t(i) * 3 + 1] = palette.Entry(i).peGreen;
                    Table[std::size_t(i) * 3 + 2] = palette.Entry(i).peBlue;
                }
                View.Pixels = Indices.data();
                View.ColorTable = Table.data();
                View.ColorCount = std::min(palette.Count(), marker);
                View.TransparentIndex = transparent >= 0 ? marker : -1;
                return;
            }
        }
        View.Pixels = Frame.Empty() ? nullptr : Frame.Data();
        const TGIFColorMap& map = Frame.ActiveColorMap();
        View.ColorTable = map.Data();
        View.ColorCount = map.Count();
        View.TransparentIndex = transparent;
    }
};

TColor PainterBackground(const TGIFImage& Image) {
    if (Image.BackdropColor() != clNone) return Image.BackdropColor();
    if (Image.GlobalColorMap().Count() == 0) return clBtnFace;
    return Image.BackgroundColor();
}

bool OnMainThread() {
    const TThreadID main = MainThreadID();
    return main == 0 || main == GetCurrentThreadId();
}

// Runs the calls queued for the main thread, when this is the main thread.
void ServeMainQueue() {
    if (OnMainThread())
        while (CheckSynchronize(0)) {
        }
}

// Buffers larger than this are not made: the frames are then drawn straight
// onto the target.
constexpr std::int64_t MaxBufferPixels = std::int64_t(1) << 26;

} // namespace

// ----------------------------------------------------------------- painter

TGIFPainter::TGIFPainter(TGIFImage* Image, std::shared_ptr<TGIFPaintTarget> Target,
                         const TRect& Rect, TGIFPaintFlags Flags, TGIFPainter** Reference)
    : TThread(true), FImage(Image), FTarget(std::move(Target)),
      FCanvas(FTarget ? FTarget->Canvas() : nullptr), FRect(Rect), FFlags(Flags),
      FReference(Reference), FSpeed(Image ? Image->SpeedPercent() : 100),
      FScreenWidth(Image ? Image->Width() : 0), FScreenHeight(Image ? Image->Height() : 0) {
    if (Reference) *Reference = this;
    if (Threaded()) {
        SetFreeOnTerminate(true);
        OnTerminate = [this](TObject*) { Ending(); };
        if ((FFlags & gpfStepFrames) && FSpeed >= 0 && Image && Image->Images().ItemCount() > 1)
            FWaitEvent = std::make_unique<TEvent>(false, false);
    }
    if (Image == nullptr) return;

    bool restores = false, backs = (FFlags & gpfClearEachPass) != 0;
    const TGIFImageList& frames = Image->Images();
    for (int i = 0; i < frames.ItemCount(); ++i) {
        const int disposal = FrameDisposal(*frames.FrameAt(i));
        restores = restores || disposal == gdRestoreBackground;
        backs = backs || disposal == gdRestoreBackground || disposal == gdRestorePrevious;
    }
    const int w = Rect.Width(), h = Rect.Height();
    if (!backs || w <= 0 || h <= 0 || std::int64_t(w) * h > MaxBufferPixels) return;

    const bool masked = (FFlags & gpfMaskTransparent) != 0;
    const TColor background = PainterBackground(*Image);
    FComposer = std::make_unique<TGIFComposer>(w, h, FScreenWidth, FScreenHeight, background,
                                               masked, (FFlags & gpfTileTarget) != 0);
    TGIFPixelBuffer picture(w, h, GIFPixelOfColor(background));
    TPixelSurface surface;
    if (FCanvas && FCanvas->AcquireSurface(surface)) {
        CopySurfaceToBuffer(surface, Rect.TopLeft(), picture);
        FCanvas->ReleaseSurface(false);
    }
    FComposer->SetPicture(picture);
    if ((restores || (FFlags & gpfClearEachPass)) && masked) FComposer->SetBackground(picture);
}

TGIFPainter::~TGIFPainter() {
    TerminateAndWait();
    if (!FEnded) Ending();
}

TGIFPainter* TGIFPainter::MakePainter(TGIFImage* Image, TGIFPainter** Reference,
                                      std::shared_ptr<TGIFPaintTarget> Target, TGIFPaintFlags Flags,
                                      const TRect& Rect) {
    if (Image == nullptr || Image->Empty() || Rect.IsEmpty() || !Target) {
        if (Reference) *Reference = nullptr;
        return nullptr;
    }
    if (Image->Images().ItemCount() == 1) Flags &= TGIFPaintFlags(~(gpfThreaded | gpfStepFrames));
    auto* painter = new TGIFPainter(Image, std::move(Target), Rect, Flags, Reference);
    Image->PainterList().Add(painter);
    painter->OnStartPaint = Image->OnStartPaint;
    painter->OnPaint = Image->OnPaint;
    painter->OnAfterPaint = Image->OnAfterPaint;
    painter->OnLoop = Image->OnLoop;
    painter->OnEndPaint = Image->OnEndPaint;
    if (painter->Threaded()) painter->SetPriority(Image->PainterPriority());
    return painter;
}

TGIFPainter* TGIFPainter::InternalPaint(TGIFImage* Image, TGIFPainter** Reference,
                                        std::shared_ptr<TGIFPaintTarget> Target,
                                        TGIFPaintFlags Flags, const TRect& Rect) {
    TGIFPainter* painter = MakePainter(Image, Reference, std::move(Target), Flags, Rect);
    if (painter == nullptr || painter->Threaded()) return painter;
    std::unique_ptr<TGIFPainter> owned(painter);
    owned->RunInline();
    std::exception_ptr failure = owned->FException;
    owned.reset();
    if (failure) std::rethrow_exception(failure);
    return nullptr;
}

void TGIFPainter::Start() {
    if (Threaded()) Resume();
}

void TGIFPainter::Stop() {
    Terminate();
    if (Threaded()) {
        if (FWaitEvent) FWaitEvent->SetEvent();
        SetPriority(tpNormal);
        Resume();
    }
}

void TGIFPainter::Restart() {
    FRestart.store(true);
    if (FWaitEvent) FWaitEvent->SetEvent();
}

void TGIFPainter::TerminatedSet() {
    if (FWaitEvent) FWaitEvent->SetEvent();
}

void TGIFPainter::Execute() {
    RunAnimation();
}

void TGIFPainter::RunInline() {
    RunAnimation();
    if (!FEnded) Ending();
}

void TGIFPainter::OnMain(const std::function<void()>& Method) {
    if (Threaded() && TThread::CurrentThread() == this)
        Synchronize(Method);
    else
        Method();
}

void TGIFPainter::Fire(TNotifyEvent& Event) {
    if (!Event || Terminated()) return;
    OnMain([&] {
        if (Event) Event(this);
    });
}

bool TGIFPainter::WaitFrame(unsigned Ms) {
    if (WaitOverride) return WaitOverride(Ms);
    if (Threaded()) {
        if (!FWaitEvent) return false;
        return FWaitEvent->WaitFor(Ms) == wrSignaled;
    }
    // Inline: short steps, so that a stop or a restart asked from an event
    // handler (run while the main thread's queue is served) ends the wait.
    std::int64_t remaining = std::max<unsigned>(Ms, 1);
    std::uint32_t last = timeGetTime();
    while (remaining > 0 && !Terminated() && !FRestart.load()) {
        const unsigned step = unsigned(std::min<std::int64_t>(remaining, 100));
        Sleep(step);
        ServeMainQueue();
        const std::uint32_t now = timeGetTime();
        remaining -= std::max<std::int64_t>(step, std::int64_t(now - last));
        last = now;
    }
    return Terminated() || FRestart.load();
}

void TGIFPainter::RunAnimation() {
    try {
        FRestart.store(true);
        while (FRestart.load() && !Terminated() && FImage != nullptr) {
            FShownFrame.store(0);
            Fire(OnStartPaint);
            FStarted.store(false);
            FRestart.store(false);
            int passesLeft = 1; // -1: for ever
            int loopStart = 0;
            bool loopSeen = false;
            int nextWait = Threaded() ? 0 : 1;
            std::uint32_t lastTime = timeGetTime();
            std::int64_t lastWait = 0;
            const bool forever = (FFlags & gpfRepeatForever) != 0;
            while ((passesLeft != 0 || forever) && !Terminated() && !FRestart.load() && FImage) {
                FShownFrame.store(loopStart);
                if (FStarted.load()) Fire(OnLoop);
                for (;;) {
                    const int shown = FShownFrame.load();
                    if (FImage == nullptr || Terminated() || FRestart.load()) break;
                    TGIFImageList& frames = FImage->Images();
                    if (shown < 0 || shown >= frames.ItemCount()) break;
                    TGIFSubImage* frame = frames.FrameAt(shown);
                    if (frame->Empty()) break;

                    if (nextWait < 1) {
                        Sleep(0);
                    } else {
                        const std::uint32_t now = timeGetTime();
                        const std::int64_t overrun =
                            std::int32_t(now - lastTime - std::uint32_t(lastWait));
                        const unsigned wait = GIFFrameWait(nextWait, FSpeed, Threaded(), overrun);
                        FLastComputedWait.store(wait);
                        lastWait = wait == INFINITE ? 0 : wait;
                        lastTime = now;
                        const bool mustWait = Threaded() ? (wait > 0 || FSpeed == 0) : FSpeed >= 0;
                        if (mustWait && WaitFrame(wait)) {
                            lastWait = 0;
                            lastTime = timeGetTime();
                        }
                        if (Terminated() || FRestart.load() || FImage == nullptr) break;
                    }

                    Fire(OnPaint);
                    int disposal = gdLeaveInPlace;
                    const TGIFExtensionList& list = frame->Extensions();
                    for (int e = 0; e < list.ItemCount(); ++e) {
                        const TGIFExtension* extension = list.ExtensionAt(e);
                        if (auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension)) {
                            if (!loopSeen) {
                                loopSeen = true;
                                loopStart = shown;
                                passesLeft = loop->RepeatCount;
                                if (Threaded() && (passesLeft == 0 || forever)) passesLeft = -1;
                            }
                        } else if (auto* gce = dynamic_cast<const TGIFGraphicControlExtension*>(
                                       extension)) {
                            disposal = gce->Disposal();
                        }
                    }
                    OnMain([&] { PaintFrame(frame, disposal); });

                    const TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
                    nextWait = GIFFrameTicks(gce != nullptr, gce ? gce->Delay() : 0, Threaded());
                    Fire(OnAfterPaint);
                    // Without stepping only the first frame of the pass is shown.
                    if (!(FFlags & gpfStepFrames)) break;
                    int expected = shown;
                    FShownFrame.compare_exchange_strong(expected, shown + 1);
                }
                if (passesLeft > 0) --passesLeft;
                if (!((FFlags & gpfStepFrames) && (FFlags & gpfHonourRepeats))) break;
            }
        }
    } catch (const Exception&) {
        FException = std::current_exception();
        Terminate();
    }
    FShownFrame.store(-1);
    Fire(OnEndPaint);
}

void TGIFPainter::PaintFrame(TGIFSubImage* Frame, int Disposal) {
    if (FImage == nullptr || Terminated()) return;
    if ((FFlags & gpfValidateTarget) && !FTarget->Valid()) {
        Terminate();
        return;
    }
    TCanvas* canvas = FTarget->Canvas();
    if (canvas == nullptr) return;
    const TFrameSource source(*Frame, Disposal);
    TPixelSurface surface;
    if (!canvas->AcquireSurface(surface)) return;
    try {
        if (FComposer) {
            if ((FFlags & gpfClearEachPass) && FShownFrame.load() == 0) FComposer->Clear();
            CopyBufferToSurface(FComposer->Compose(source.View), surface, FRect.TopLeft());
        } else if (Disposal <= gdRestorePrevious) {
            DrawGIFFrame(surface, FRect, FScreenWidth, FScreenHeight, source.View,
                         (FFlags & gpfMaskTransparent) != 0, (FFlags & gpfTileTarget) != 0);
        }
    } catch (...) {
        canvas->ReleaseSurface(true);
        throw;
    }
    canvas->ReleaseSurface(true);
    FTarget->Painted(FRect);
    FStarted.store(true);
}

void TGIFPainter::Ending() {
    FEnded = true;
    TGIFImage* image = FImage;
    if (image != nullptr) {
        TList* list = image->PainterList().LockList();
        if (FReference && *FReference == this) *FReference = nullptr;
        list->Remove(this);
        image->PainterList().UnlockList();
        // A failure of a threaded painter has nobody to raise it to: the
        // image's warning handler hears of it.
        if (FException && Threaded()) {
            try {
                std::rethrow_exception(FException);
            } catch (const Exception& e) {
                image->Warning(this, gsError, e.Message());
            }
        }
    } else if (FReference && *FReference == this) {
        *FReference = nullptr;
    }
    FImage = nullptr;
    FComposer.reset();
}

// ------------------------------------------------------- image: painters

void TGIFImage::StartPainters() {
    TList* list = FPainters.LockList();
    for (int i = 0; i < list->Count(); ++i)
        static_cast<TGIFPainter*>(list->Items(i))->Start();
    FPainters.UnlockList();
}

void TGIFImage::StopPainters() {
    for (;;) {
        bool threadedLeft = false;
        TList* list = FPainters.LockList();
        for (int i = list->Count() - 1; i >= 0; --i) {
            auto* painter = static_cast<TGIFPainter*>(list->Items(i));
            painter->Stop();
            threadedLeft = threadedLeft || painter->Threaded();
        }
        FPainters.UnlockList();
        if (!threadedLeft) break;
        // An ending painter may be waiting for a call on the main thread.
        ServeMainQueue();
        Sleep(0);
    }
    FreeBitmap();
}

void TGIFImage::DetachPainters() {
    TList* list = FPainters.LockList();
    for (int i = 0; i < list->Count(); ++i) {
        auto* painter = static_cast<TGIFPainter*>(list->Items(i));
        painter->Terminate();
        painter->Detach();
    }
    list->Clear();
    FDrawPainter = nullptr;
    FPainters.UnlockList();
}

TGIFPainter* TGIFImage::Paint(TCanvas* ACanvas, const TRect& Rect, TGIFPaintFlags Options) {
    TGIFPainter* painter = TGIFPainter::InternalPaint(
        this, nullptr, std::make_shared<TGIFCanvasTarget>(ACanvas), Options, Rect);
    if (painter) painter->Start();
    return painter;
}

bool TGIFImage::DoDither() const {
    if (!(FPaintFlags & gpfDitherFrames)) return false;
    return !((FPaintFlags & gpfDitherLowColor) && !GIFSettings().AutoDither);
}

TBitmap* TGIFImage::Bitmap() {
    if (FBitmap) return FBitmap.get();
    if (Empty() || Width() <= 0 || Height() <= 0) return nullptr;
    // The picture after the still frame (frame 0 when none is chosen), at the
    // logical screen size over the painters' background.
    const int count = FImages->ItemCount();
    const int last = FStillFrameIndex >= 0 && FStillFrameIndex < count ? FStillFrameIndex : 0;
    TGIFComposer composer(Width(), Height(), Width(), Height(), PainterBackground(*this),
                          (FPaintFlags & gpfMaskTransparent) != 0, false);
    for (int i = 0; i <= last; ++i) {
        TGIFSubImage* frame = FImages->FrameAt(i);
        if (frame->Empty()) continue;
        composer.Compose(TFrameSource(*frame, FrameDisposal(*frame)).View);
    }
    auto bitmap = std::make_unique<TBitmap>(Width(), Height(), pf32bit);
    const TGIFPixelBuffer& shown = composer.Shown();
    for (int y = 0; y < Height(); ++y)
        std::memcpy(bitmap->ScanLine(y), shown.Row(y), std::size_t(Width()) * 4);
    FBitmap = std::move(bitmap);
    return FBitmap.get();
}

namespace {

// The image's cached picture, looked up at each painting: the image may drop
// it (a frame added, the palette changed) while its painter still runs.
class TCachedBitmapTarget : public TGIFPaintTarget {
public:
    explicit TCachedBitmapTarget(TGIFImage* Image) : FImage(Image) {}
    TCanvas* Canvas() override {
        TBitmap* bitmap = FImage->CachedBitmap();
        return bitmap ? bitmap->Canvas() : nullptr;
    }
    bool Valid() override { return FImage->CachedBitmap() != nullptr; }

private:
    TGIFImage* FImage;
};

void StopOnePainter(TGIFImage& Image, TGIFPainter* Painter) {
    for (;;) {
        TList* list = Image.PainterList().LockList();
        const bool listed = list->IndexOf(Painter) >= 0;
        if (listed) Painter->Stop();
        const bool wait = listed && Painter->Threaded();
        Image.PainterList().UnlockList();
        if (!wait) return;
        ServeMainQueue();
        Sleep(0);
    }
}

void DrawCachedBitmap(TCanvas* ACanvas, const TRect& Rect, TBitmap* Bitmap, bool Tile) {
    if (!Tile) {
        ACanvas->StretchDraw(Rect, Bitmap);
        return;
    }
    const int w = std::max(Bitmap->Width(), 1), h = std::max(Bitmap->Height(), 1);
    for (int x = Rect.Left; x < Rect.Right; x += w)
        for (int y = Rect.Top; y < Rect.Bottom; y += h)
            ACanvas->Draw(x, y, Bitmap);
}

} // namespace

void TGIFImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
    if (FDrawing || Empty() || ACanvas == nullptr) return;
    FDrawing = true;
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{FDrawing};

    const int count = FImages->ItemCount();
    if (count == 1 || !(FPaintFlags & gpfStepFrames)) {
        const int index = FStillFrameIndex >= 0 && FStillFrameIndex < count ? FStillFrameIndex : 0;
        FImages->FrameAt(index)->Draw(ACanvas, Rect, (FPaintFlags & gpfMaskTransparent) != 0,
                                      (FPaintFlags & gpfTileTarget) != 0);
        return;
    }
    const bool direct = (FPaintFlags & gpfDirectToCanvas) != 0;
    if (!FBitmap || direct) {
        FPainters.LockList();
        TGIFPainter* current = FDrawPainter;
        const bool renew = current == nullptr || !direct || current->Canvas() != ACanvas ||
                           !(current->Rect() == Rect);
        FPainters.UnlockList();
        if (renew) {
            if (current) StopOnePainter(*this, current);
            TGIFPainter* painter = nullptr;
            if (direct) {
                painter = TGIFPainter::InternalPaint(this, &FDrawPainter,
                                                     std::make_shared<TGIFCanvasTarget>(ACanvas),
                                                     FPaintFlags, Rect);
            } else {
                auto bitmap = std::make_unique<TBitmap>(Width(), Height(), pf32bit);
                bitmap->Canvas()->CopyRect({0, 0, Width(), Height()}, ACanvas, Rect);
                FBitmap = std::move(bitmap);
                painter = TGIFPainter::InternalPaint(this, &FDrawPainter,
                                                     std::make_shared<TCachedBitmapTarget>(this),
                                                     FPaintFlags, {0, 0, Width(), Height()});
            }
            if (painter) painter->Start();
        }
        if (direct) return;
        // The first frame must be there before the cached picture is shown.
        for (;;) {
            TList* list = FPainters.LockList();
            TGIFPainter* painter = FDrawPainter;
            const bool ready =
                painter == nullptr || list->IndexOf(painter) < 0 || painter->Started();
            FPainters.UnlockList();
            if (ready) break;
            if (OnMainThread() && CheckSynchronize(1)) continue;
            Sleep(0);
        }
    }
    if (FBitmap) DrawCachedBitmap(ACanvas, Rect, FBitmap.get(), (FPaintFlags & gpfTileTarget) != 0);
}

// --------------------------------------------------------- frame rendering

TBitmap* TGIFSubImage::RenderedBitmap() {
    if (FBitmap) return FBitmap.get();
    if (Empty()) return nullptr;
    if (FImage) FImage->ReportProgress(psStarting, 0, sGIFRendering);
    try {
        const int w = Width(), h = Height();
        auto bitmap = std::make_unique<TBitmap>(w, h, pf8bit);
        const bool dither = FImage && FImage->DoDither();
        bitmap->SetPalette(Palette());
        const TGIFColorMap& map = ActiveColorMap();
        if (dither) {
            TNetscapeColorLookup lookup;
            TFloydSteinbergDitherer engine(lookup, w);
            for (int y = 0; y < h; ++y) {
                const Byte* src = Data() + std::size_t(y) * std::size_t(w);
                Byte* dst = bitmap->ScanLine(y);
                for (int n = 0; n < w; ++n) {
                    const int x = engine.Column();
                    int red = 0, green = 0, blue = 0;
                    if (src[x] < map.Count()) {
                        const Byte* t = map.Data() + src[x] * 3;
                        red = t[0];
                        green = t[1];
                        blue = t[2];
                    }
                    int r, g, b;
                    dst[x] = Byte(engine.Dither(red, green, blue, r, g, b));
                }
                engine.NextLine();
            }
        } else {
            for (int y = 0; y < h; ++y)
                std::memcpy(bitmap->ScanLine(y), Data() + std::size_t(y) * std::size_t(w),
                            std::size_t(w));
        }
        if (FTransparent && FGCE && FNeedMask) {
            // 1 marks a transparent pixel (the target shows through).
            auto mask = std::make_unique<TBitmap>(w, h, pf1bit);
            mask->SetPalette(MonochromePalette());
            const Byte t = FGCE->TransparentColorIndex();
            for (int y = 0; y < h; ++y) {
                Byte* row = mask->ScanLine(y);
                std::memset(row, 0, std::size_t((w + 7) / 8));
                const Byte* src = Data() + std::size_t(y) * std::size_t(w);
                for (int x = 0; x < w; ++x)
                    if (src[x] == t) row[x >> 3] |= Byte(0x80 >> (x & 7));
            }
            SetMask(std::move(mask));
        }
        FBitmap = std::move(bitmap);
    } catch (const EAbort&) {
        if (FImage) FImage->ReportProgress(psEnding, 0, sGIFRendering);
        return nullptr;
    } catch (...) {
        if (FImage) FImage->ReportProgress(psEnding, 0, sGIFRendering);
        throw;
    }
    if (FImage) FImage->ReportProgress(psEnding, 100, sGIFRendering);
    return FBitmap.get();
}

void TGIFSubImage::Draw(TCanvas* ACanvas, const TRect& Rect, bool DoTransparent, bool DoTile) {
    if (ACanvas == nullptr || Empty()) return;
    const bool masked = DoTransparent && FTransparent && FGCE != nullptr;
    const TFrameSource source(*this, FrameDisposal(*this));
    TPixelSurface surface;
    if (!ACanvas->AcquireSurface(surface)) return;
    const int sw = FImage ? FImage->Width() : Width();
    const int sh = FImage ? FImage->Height() : Height();
    try {
        DrawGIFFrame(surface, Rect, sw, sh, source.View, masked, DoTile);
    } catch (...) {
        ACanvas->ReleaseSurface(true);
        throw;
    }
    ACanvas->ReleaseSurface(true);
}
