#pragma once
// TGIFPainter plays a TGIFImage on a drawing target: it walks the frames,
// waits each frame's delay (scaled by the image's SpeedPercent), honours the
// disposal methods and the looping extension, and fires the image's five
// paint events. A threaded painter runs on a worker of its own and paints
// through Synchronize on the main thread; an inline one runs at once on the
// caller's thread. Every painter is listed in its image's PainterList while
// it lives and takes itself out (and clears the reference it was given) when
// it ends.
//
// The target is reached through TGIFPaintTarget, so that an image control can
// plug in without the painter knowing it: a canvas or a bitmap is enough.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "gif/GifComposer.h"
#include "gif/GifTypes.h"
#include "platform/base/Types.h"
#include "platform/system/SyncObjs.h"
#include "platform/system/Thread.h"

class TBitmap;
class TCanvas;
class TGIFImage;
class TGIFSubImage;

// What a painter draws on. Canvas() is called on the main thread only.
class TGIFPaintTarget {
public:
    virtual ~TGIFPaintTarget() = default;
    virtual TCanvas* Canvas() = 0;
    // False once the target can no longer be drawn on; a painter with
    // gpfValidateTarget then ends instead of drawing.
    virtual bool Valid() { return true; }
    // Called after the painter changed Rect of the canvas (a control
    // repaints itself there).
    virtual void Painted(const TRect& Rect) {}
};

// A canvas owned by someone else.
class TGIFCanvasTarget : public TGIFPaintTarget {
public:
    explicit TGIFCanvasTarget(TCanvas* ACanvas) : FCanvas(ACanvas) {}
    TCanvas* Canvas() override { return FCanvas; }

private:
    TCanvas* FCanvas;
};

// A bitmap owned by someone else, drawn through its canvas.
class TGIFBitmapTarget : public TGIFPaintTarget {
public:
    explicit TGIFBitmapTarget(TBitmap* ABitmap) : FBitmap(ABitmap) {}
    TCanvas* Canvas() override;

private:
    TBitmap* FBitmap;
};

// Frame timing: a delay tick lasts 12 ms (not 10); a frame without a delay
// waits 10 ticks, any other at least 3, and an inline painter at most 1000.
constexpr int GIFDelayExp = 12;
constexpr int GIFDefaultDelay = 10;
constexpr int GIFMinimumDelay = 3;
constexpr int GIFMaximumDelay = 1000;

// The ticks to wait after a frame whose control extension has Delay
// (HasControl false: none).
int GIFFrameTicks(bool HasControl, int Delay, bool Threaded);
// The milliseconds to wait before the next frame: Ticks at Speed percent,
// less half of Overrun (how late the previous wait ended). INFINITE for a
// threaded painter at speed 0; 0 (no wait) for a negative speed.
unsigned GIFFrameWait(int Ticks, int Speed, bool Threaded, std::int64_t Overrun);

class TGIFPainter : public TThread {
public:
    QM_CLASSNAME(TGIFPainter)
    // Made suspended; captures the target area into its buffers when the
    // frames' disposal methods need them. Use InternalPaint to make one.
    TGIFPainter(TGIFImage* Image, std::shared_ptr<TGIFPaintTarget> Target, const TRect& Rect,
                TGIFPaintFlags Flags, TGIFPainter** Reference);
    ~TGIFPainter() override;

    // Nothing (and *Reference cleared) for an image without frames or an
    // empty rectangle. A one-frame image is painted once, inline. The painter
    // is listed in the image's PainterList and takes its events. Threaded:
    // returned suspended, to be started. Inline: run here and freed; nullptr
    // is returned (an exception of the run is raised again here).
    static TGIFPainter* InternalPaint(TGIFImage* Image, TGIFPainter** Reference,
                                      std::shared_ptr<TGIFPaintTarget> Target, TGIFPaintFlags Flags,
                                      const TRect& Rect);
    // The same without running an inline painter: the caller runs it with
    // RunInline and frees it (tests use this to replace the waiting).
    static TGIFPainter* MakePainter(TGIFImage* Image, TGIFPainter** Reference,
                                    std::shared_ptr<TGIFPaintTarget> Target, TGIFPaintFlags Flags,
                                    const TRect& Rect);

    // Resumes a threaded painter.
    void Start();
    // Asks the painter to end; a waiting threaded painter wakes at once.
    void Stop();
    // Runs the animation on the calling thread, then ends.
    void RunInline();
    // Asks for a new pass from frame 0.
    void Restart();

    // The frame being shown; -1 when idle. An OnAfterPaint handler may set it
    // to jump to another frame.
    int ShownFrame() const { return FShownFrame.load(); }
    void SetShownFrame(int Value) { FShownFrame.store(Value); }
    bool Started() const { return FStarted.load(); }
    TGIFImage* Image() const { return FImage; }
    TCanvas* Canvas() const { return FCanvas; }
    const TRect& Rect() const { return FRect; }
    TGIFPaintFlags Flags() const { return FFlags; }
    bool Threaded() const { return (FFlags & gpfThreaded) != 0; }
    // The last wait computed before a frame, in ms (INFINITE for ever).
    unsigned LastWait() const { return FLastComputedWait.load(); }
    // Takes the painter away from its image (the image is going away).
    void Detach() { FImage = nullptr; }

    // Replaces the real waiting between frames (tests): receives the wait in
    // ms (INFINITE for ever) and returns true when woken early, as Stop does.
    // Set it before the painter starts.
    std::function<bool(unsigned Ms)> WaitOverride;

    TNotifyEvent OnStartPaint;
    TNotifyEvent OnPaint;
    TNotifyEvent OnAfterPaint;
    TNotifyEvent OnLoop;
    TNotifyEvent OnEndPaint;

protected:
    void Execute() override;
    void TerminatedSet() override;

private:
    void RunAnimation();
    // Sleeps Ms; true when woken early (stop or restart).
    bool WaitFrame(unsigned Ms);
    void Fire(TNotifyEvent& Event);
    void OnMain(const std::function<void()>& Method);
    void PaintFrame(TGIFSubImage* Frame, int Disposal);
    void Ending();

    TGIFImage* FImage;
    std::shared_ptr<TGIFPaintTarget> FTarget;
    TCanvas* FCanvas;
    TRect FRect;
    TGIFPaintFlags FFlags;
    TGIFPainter** FReference;
    int FSpeed;
    int FScreenWidth;
    int FScreenHeight;
    std::atomic<int> FShownFrame{-1};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FRestart{false};
    std::atomic<unsigned> FLastComputedWait{0};
    std::unique_ptr<TGIFComposer> FComposer; // the backup, frame and background buffers
    std::unique_ptr<TEvent> FWaitEvent;
    std::exception_ptr FException;
    bool FEnded = false;
};
