#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "AnimationFixtures.h"
#include "gif/GifPainter.h"
#include "platform/graphics/Bitmap.h"
#include "platform/system/Clock.h"

namespace {

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, White = 0xFFFFFF;
const std::uint32_t R = GIFPixelOfColor(Red), G = GIFPixelOfColor(Green), B = GIFPixelOfColor(Blue),
                    W = GIFPixelOfColor(White);

std::unique_ptr<TGIFImage> NewImage(int Width, int Height) {
    auto image = TGIFImage::CreateEmpty();
    image->Header().SetWidth(Width);
    image->Header().SetHeight(Height);
    return image;
}

std::vector<std::uint32_t> BitmapPixels(TBitmap& Bitmap) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < Bitmap.Height(); ++y)
        for (int x = 0; x < Bitmap.Width(); ++x)
            out.push_back(GIFPixelOfColor(Bitmap.PixelColor(x, y)));
    return out;
}

// A clock that only moves when a painter "waits": waits cost no real time
// and the overrun of every wait is exactly what the test says.
class TFakeClock {
public:
    TFakeClock() {
        SetClockSourceForTesting([this] { return FNow.load(); });
    }
    ~TFakeClock() { SetClockSourceForTesting(nullptr); }
    void Advance(std::uint64_t Ms) { FNow += Ms; }

private:
    std::atomic<std::uint64_t> FNow{1000000};
};

// Three frames of a 3 x 1 screen with delays 0, 1 and 5000.
std::unique_ptr<TGIFImage> ThreeFrames() {
    auto image = NewImage(3, 1);
    AddFrame(*image, {0, 0, 3, 1, {0, 0, 0}, {Red}, -1, 0, 0});
    AddFrame(*image, {1, 0, 1, 1, {0}, {Green}, -1, 0, 1});
    AddFrame(*image, {2, 0, 1, 1, {0}, {Blue}, -1, 0, 5000});
    return image;
}

struct TRun {
    std::vector<unsigned> Waits;
    std::vector<int> Shown;
    std::vector<std::string> Events;
};

// Runs an inline painter on Target with the waiting replaced.
TRun RunInline(TGIFImage& Image, TGIFPaintFlags Flags, TBitmap& Target, TFakeClock& Clock,
               unsigned Overrun = 0) {
    TRun run;
    Image.OnStartPaint = [&](TObject*) { run.Events.push_back("start"); };
    Image.OnLoop = [&](TObject*) { run.Events.push_back("loop"); };
    Image.OnEndPaint = [&](TObject* Sender) {
        run.Events.push_back("end");
        EXPECT_EQ(static_cast<TGIFPainter*>(Sender)->ShownFrame(), -1);
    };
    Image.OnAfterPaint = [&](TObject* Sender) {
        run.Shown.push_back(static_cast<TGIFPainter*>(Sender)->ShownFrame());
    };
    TGIFPainter* painter =
        TGIFPainter::MakePainter(&Image, nullptr, std::make_shared<TGIFBitmapTarget>(&Target),
                                 Flags, {0, 0, Target.Width(), Target.Height()});
    EXPECT_NE(painter, nullptr);
    if (!painter) return run;
    painter->WaitOverride = [&](unsigned Ms) {
        run.Waits.push_back(Ms);
        Clock.Advance(Ms + Overrun);
        return false;
    };
    EXPECT_EQ(Image.PainterList().LockList()->Count(), 1);
    Image.PainterList().UnlockList();
    painter->RunInline();
    delete painter;
    EXPECT_EQ(Image.PainterList().LockList()->Count(), 0);
    Image.PainterList().UnlockList();
    return run;
}

} // namespace

// ------------------------------------------------------------------ timing

TEST(PainterTiming, FrameTicks) {
    EXPECT_EQ(GIFFrameTicks(false, 0, true), 10);
    EXPECT_EQ(GIFFrameTicks(true, 0, false), 10);
    EXPECT_EQ(GIFFrameTicks(true, 1, true), 3);
    EXPECT_EQ(GIFFrameTicks(true, 7, false), 7);
    EXPECT_EQ(GIFFrameTicks(true, 5000, true), 5000);
    EXPECT_EQ(GIFFrameTicks(true, 5000, false), 1000);
}

TEST(PainterTiming, WaitFromTicksSpeedAndOverrun) {
    EXPECT_EQ(GIFFrameWait(10, 100, true, 0), 120u);
    EXPECT_EQ(GIFFrameWait(3, 100, true, 0), 36u);
    EXPECT_EQ(GIFFrameWait(5000, 100, true, 0), 60000u);
    EXPECT_EQ(GIFFrameWait(1000, 100, false, 0), 12000u);
    EXPECT_EQ(GIFFrameWait(10, 200, true, 0), 60u);
    EXPECT_EQ(GIFFrameWait(3, 200, true, 0), 18u);
    // Half the overrun (toward zero) is taken off: 120 - 7 = 113.
    EXPECT_EQ(GIFFrameWait(10, 100, true, 15), 113u);
    EXPECT_EQ(GIFFrameWait(10, 100, true, -15), 127u);
    EXPECT_EQ(GIFFrameWait(1, 100, true, 1000), 0u);
    // 36 * 100 / 300 = 12; 36 * 100 / 800 = 4.5 -> 5 (half away from zero).
    EXPECT_EQ(GIFFrameWait(3, 300, true, 0), 12u);
    EXPECT_EQ(GIFFrameWait(3, 800, true, 0), 5u);
    EXPECT_EQ(GIFFrameWait(10, 0, true, 0), INFINITE);
    EXPECT_EQ(GIFFrameWait(10, 0, false, 0), 12000u);
    EXPECT_EQ(GIFFrameWait(10, -5, true, 0), 0u);
    EXPECT_EQ(GIFFrameWait(10, -5, false, 0), 0u);
}

// ------------------------------------------------------------- composition

TEST(PainterComposition, DisposalMethodsComposeExactly) {
    const Byte table[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}; // R, G, B, W
    const Byte red[] = {0, 0, 0}, green = 1, blue = 2, white = 3;
    TGIFComposer c(3, 1, 3, 1, clBlack, true, false);
    auto view = [&](int Left, int Width, const Byte* Pixels, int Disposal) {
        TGIFFrameView v;
        v.Left = Left;
        v.Width = Width;
        v.Height = 1;
        v.Pixels = Pixels;
        v.ColorTable = table;
        v.ColorCount = 4;
        v.Disposal = Disposal;
        return v;
    };
    const std::uint32_t K = GIFPixelOfColor(clBlack);
    using P = std::vector<std::uint32_t>;
    EXPECT_EQ(c.Compose(view(0, 3, red, 1)).Pixels(), (P{R, R, R}));
    // Restore to background: shown with the frame, then its area cleared.
    EXPECT_EQ(c.Compose(view(1, 1, &green, 2)).Pixels(), (P{R, G, R}));
    // Restore to previous: the next frame finds the picture before it.
    EXPECT_EQ(c.Compose(view(2, 1, &blue, 3)).Pixels(), (P{R, K, B}));
    EXPECT_EQ(c.Compose(view(0, 1, &white, 0)).Pixels(), (P{W, K, R}));
    // Disposal values above 3 draw nothing.
    EXPECT_EQ(c.Compose(view(1, 1, &green, 5)).Pixels(), (P{W, K, R}));
    c.Clear();
    EXPECT_EQ(c.Shown().Pixels(), (P{K, K, K}));
}

TEST(PainterComposition, RestoringCopiesTheBackgroundPictureWhenMasking) {
    const Byte table[] = {255, 0, 0, 0, 255, 0};
    const Byte pixels[] = {0, 1};
    TGIFFrameView v;
    v.Width = 2;
    v.Height = 1;
    v.Pixels = pixels;
    v.ColorTable = table;
    v.ColorCount = 2;
    v.TransparentIndex = 1;
    v.Disposal = 2;
    TGIFPixelBuffer behind(2, 1, W);
    behind.Row(0)[1] = B;
    for (bool masked : {true, false}) {
        TGIFComposer c(2, 1, 2, 1, Green, masked, false);
        c.SetPicture(behind);
        c.SetBackground(behind);
        // Unmasked, the transparent index is drawn in its own colour.
        EXPECT_EQ(c.Compose(v).Pixels(), (std::vector<std::uint32_t>{R, masked ? B : G}));
        v.Disposal = 1;
        EXPECT_EQ(c.Compose(v).Pixels(), (std::vector<std::uint32_t>{R, masked ? B : G}))
            << "restored from " << (masked ? "the picture" : "the colour");
        v.Disposal = 2;
    }
}

TEST(PainterComposition, ScaledAndTiledDrawing) {
    const Byte table[] = {255, 0, 0, 0, 255, 0};
    const Byte pixels[] = {0, 1};
    TGIFFrameView v;
    v.Left = 1;
    v.Width = 2;
    v.Height = 1;
    v.Pixels = pixels;
    v.ColorTable = table;
    v.ColorCount = 2;
    // Screen 3 x 1 stretched over 6 x 2 at (1, 1) of an 8 x 4 target.
    TGIFPixelBuffer target(8, 4, W);
    DrawGIFFrame(target.Surface(), {1, 1, 7, 3}, 3, 1, v, true, false);
    for (int y = 0; y < 4; ++y) {
        const bool inside = y == 1 || y == 2;
        const std::vector<std::uint32_t> row(target.Row(y), target.Row(y) + 8);
        EXPECT_EQ(row, inside ? (std::vector<std::uint32_t>{W, W, W, R, R, G, G, W})
                              : std::vector<std::uint32_t>(8, W))
            << "row " << y;
    }
    EXPECT_EQ(ScaleFrameRect({1, 1, 7, 3}, 3, 1, v), (TRect{3, 1, 7, 3}));
    // Tiled: the frame at its own size, again every screen width across and
    // every screen height down.
    TGIFPixelBuffer tiled(7, 2, W);
    DrawGIFFrame(tiled.Surface(), {0, 0, 7, 2}, 3, 1, v, true, true);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::vector<std::uint32_t>(tiled.Row(y), tiled.Row(y) + 7),
                  (std::vector<std::uint32_t>{W, R, G, W, R, G, W}));
}

// ------------------------------------------------------------ inline painter

TEST(PainterInline, WaitsEachFrameDelayAtTheImageSpeed) {
    TFakeClock clock;
    auto image = ThreeFrames();
    TBitmap target(3, 1, pf32bit);
    TRun run = RunInline(*image, gpfStepFrames, target, clock);
    // One tick before the first frame, then 10 ticks (delay 0) and 3 (delay 1).
    EXPECT_EQ(run.Waits, (std::vector<unsigned>{12, 120, 36}));
    EXPECT_EQ(run.Shown, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(run.Events, (std::vector<std::string>{"start", "end"}));
    EXPECT_EQ(BitmapPixels(target), (std::vector<std::uint32_t>{R, G, B}));

    image->SetSpeedPercent(200);
    EXPECT_EQ(RunInline(*image, gpfStepFrames, target, clock).Waits,
              (std::vector<unsigned>{6, 60, 18}));
    // A late wake-up shortens the next wait by half the delay.
    image->SetSpeedPercent(100);
    EXPECT_EQ(RunInline(*image, gpfStepFrames, target, clock, 20).Waits,
              (std::vector<unsigned>{12, 110, 26}));
}

TEST(PainterInline, LongDelayCappedAndNegativeSpeedNeverWaits) {
    TFakeClock clock;
    auto image = ThreeFrames();
    image->Images().MoveItem(2, 0); // the 5000-tick frame first
    TBitmap target(3, 1, pf32bit);
    EXPECT_EQ(RunInline(*image, gpfStepFrames, target, clock).Waits,
              (std::vector<unsigned>{12, 12000, 120}));
    image->SetSpeedPercent(-1);
    EXPECT_TRUE(RunInline(*image, gpfStepFrames, target, clock).Waits.empty());
}

TEST(PainterInline, LoopCountHonouredOnlyWithStepAndHonourFlags) {
    TFakeClock clock;
    auto image = ThreeFrames();
    TGIFSubImage* first = image->Images().FrameAt(0);
    first->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(first));
    auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(first->Extensions().ExtensionAt(1));
    ASSERT_NE(loop, nullptr);
    TBitmap target(3, 1, pf32bit);

    loop->RepeatCount = 3;
    TRun three = RunInline(*image, gpfStepFrames | gpfHonourRepeats, target, clock);
    EXPECT_EQ(three.Shown, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(three.Events, (std::vector<std::string>{"start", "loop", "loop", "end"}));
    EXPECT_EQ(RunInline(*image, gpfStepFrames, target, clock).Shown, (std::vector<int>{0, 1, 2}));
    // "Forever" plays once inline.
    loop->RepeatCount = 0;
    EXPECT_EQ(RunInline(*image, gpfStepFrames | gpfHonourRepeats, target, clock).Shown,
              (std::vector<int>{0, 1, 2}));
    // Without stepping only the first frame is shown.
    EXPECT_EQ(RunInline(*image, gpfHonourRepeats, target, clock).Shown, (std::vector<int>{0}));
}

TEST(PainterInline, DisposalAndBackdropOnTheTarget) {
    TFakeClock clock;
    auto image = NewImage(3, 1);
    image->SetBackdropColor(Blue);
    AddFrame(*image, {0, 0, 3, 1, {0, 1, 0}, {Red, Green}, 1, 2, 0});
    AddFrame(*image, {2, 0, 1, 1, {0}, {White}, -1, 1, 0});
    TBitmap target(4, 1, pf32bit);
    target.Canvas()->Brush()->SetColor(clBlack);
    target.Canvas()->FillRect({0, 0, 4, 1});
    std::vector<std::vector<std::uint32_t>> pictures;
    image->OnAfterPaint = [&](TObject*) { pictures.push_back(BitmapPixels(target)); };
    TGIFPainter* painter =
        TGIFPainter::MakePainter(image.get(), nullptr, std::make_shared<TGIFBitmapTarget>(&target),
                                 gpfStepFrames | gpfMaskTransparent, {1, 0, 4, 1});
    ASSERT_NE(painter, nullptr);
    painter->WaitOverride = [&](unsigned) { return false; };
    painter->RunInline();
    delete painter;
    const std::uint32_t K = GIFPixelOfColor(clBlack);
    ASSERT_EQ(pictures.size(), 2u);
    // The transparent pixel shows what the target held; outside the
    // rectangle nothing changes.
    EXPECT_EQ(pictures[0], (std::vector<std::uint32_t>{K, R, K, R}));
    // The first frame's area is restored from the captured target area.
    EXPECT_EQ(pictures[1], (std::vector<std::uint32_t>{K, K, K, W}));
}

TEST(PainterInline, StopFromAnEventEndsThePainting) {
    TFakeClock clock;
    auto image = ThreeFrames();
    TBitmap target(3, 1, pf32bit);
    int frames = 0;
    image->OnAfterPaint = [&](TObject* Sender) {
        if (++frames == 2) static_cast<TGIFPainter*>(Sender)->Stop();
    };
    bool ended = false;
    image->OnEndPaint = [&](TObject*) { ended = true; };
    TGIFPainter* painter =
        TGIFPainter::MakePainter(image.get(), nullptr, std::make_shared<TGIFBitmapTarget>(&target),
                                 gpfStepFrames, {0, 0, 3, 1});
    painter->WaitOverride = [](unsigned) { return false; };
    painter->RunInline();
    delete painter;
    EXPECT_EQ(frames, 2);
    // No event once the painter is asked to end.
    EXPECT_FALSE(ended);
}

TEST(PainterInline, InvalidTargetEndsWithoutDrawing) {
    struct TGoneTarget : TGIFBitmapTarget {
        using TGIFBitmapTarget::TGIFBitmapTarget;
        bool Valid() override { return false; }
    };
    TFakeClock clock;
    auto image = ThreeFrames();
    TBitmap target(3, 1, pf32bit);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect({0, 0, 3, 1});
    TGIFPainter::InternalPaint(image.get(), nullptr, std::make_shared<TGoneTarget>(&target),
                               gpfStepFrames | gpfValidateTarget, {0, 0, 3, 1});
    EXPECT_EQ(BitmapPixels(target), (std::vector<std::uint32_t>{W, W, W}));
}

// ------------------------------------------------------------ threaded painter

namespace {

// Serves the main thread's queue until Done() or about two seconds passed.
template <class F> bool PumpUntil(F Done) {
    for (int i = 0; i < 400 && !Done(); ++i)
        CheckSynchronize(5);
    return Done();
}

int PainterCount(TGIFImage& Image) {
    const int n = Image.PainterList().LockList()->Count();
    Image.PainterList().UnlockList();
    return n;
}

} // namespace

TEST(PainterThreaded, LoopCountZeroRepeatsUntilStopped) {
    InitThreads();
    auto image = ThreeFrames();
    TGIFSubImage* first = image->Images().FrameAt(0);
    first->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(first));
    TBitmap target(3, 1, pf32bit);
    std::vector<int> shown;
    std::atomic<bool> ended{false};
    image->OnAfterPaint = [&](TObject* Sender) {
        // Painting and events run on the main thread.
        EXPECT_EQ(GetCurrentThreadId(), MainThreadID());
        shown.push_back(static_cast<TGIFPainter*>(Sender)->ShownFrame());
    };
    image->OnEndPaint = [&](TObject*) { ended = true; };
    TGIFPainter* painter = TGIFPainter::InternalPaint(
        image.get(), nullptr, std::make_shared<TGIFBitmapTarget>(&target),
        gpfThreaded | gpfStepFrames | gpfHonourRepeats, {0, 0, 3, 1});
    ASSERT_NE(painter, nullptr);
    std::atomic<int> waits{0};
    painter->WaitOverride = [&](unsigned) {
        ++waits;
        return false;
    };
    painter->Start();
    EXPECT_TRUE(PumpUntil([&] { return shown.size() >= 10; }));
    image->StopPainters();
    EXPECT_EQ(PainterCount(*image), 0);
    ASSERT_GE(shown.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(shown[i], int(i % 3));
    // The first frame of a threaded painter is shown without waiting.
    EXPECT_GE(waits.load(), 9);
    EXPECT_FALSE(ended.load()); // stopped: no more events
}

TEST(PainterThreaded, SpeedZeroWaitsUntilStopped) {
    InitThreads();
    auto image = ThreeFrames();
    image->SetSpeedPercent(0);
    TBitmap target(3, 1, pf32bit);
    std::atomic<int> painted{0};
    image->OnAfterPaint = [&](TObject*) { ++painted; };
    TGIFPainter* reference = nullptr;
    TGIFPainter* painter = TGIFPainter::InternalPaint(image.get(), &reference,
                                                      std::make_shared<TGIFBitmapTarget>(&target),
                                                      gpfThreaded | gpfStepFrames, {0, 0, 3, 1});
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(reference, painter);
    painter->Start();
    EXPECT_TRUE(PumpUntil([&] { return painted.load() == 1; }));
    for (int i = 0; i < 6; ++i)
        CheckSynchronize(5);
    EXPECT_EQ(painted.load(), 1);
    EXPECT_EQ(painter->LastWait(), INFINITE);
    EXPECT_EQ(painter->ShownFrame(), 1);
    image->StopPainters();
    EXPECT_EQ(PainterCount(*image), 0);
    EXPECT_EQ(reference, nullptr);
}

TEST(PainterThreaded, DestroyingTheImageStopsItsPainters) {
    InitThreads();
    auto image = ThreeFrames();
    TBitmap target(3, 1, pf32bit);
    std::atomic<int> painted{0};
    image->OnAfterPaint = [&](TObject*) { ++painted; };
    TGIFPainter* painter =
        image->Paint(target.Canvas(), {0, 0, 3, 1}, gpfThreaded | gpfStepFrames | gpfRepeatForever);
    ASSERT_NE(painter, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return painted.load() >= 1; }));
    image.reset();
    for (int i = 0; i < 4; ++i)
        CheckSynchronize(2);
    SUCCEED();
}

// ------------------------------------------------------------ image drawing

TEST(PainterDraw, OneFrameIsDrawnAsAStillPictureWithoutAPainter) {
    auto image = NewImage(2, 1);
    AddFrame(*image, {0, 0, 2, 1, {0, 1}, {Red, Green}});
    TBitmap target(4, 2, pf32bit);
    target.Canvas()->StretchDraw({0, 0, 4, 2}, image.get());
    EXPECT_EQ(BitmapPixels(target), (std::vector<std::uint32_t>{R, R, G, G, R, R, G, G}));
    EXPECT_EQ(PainterCount(*image), 0);
}

TEST(PainterDraw, InlineAnimationLeavesTheLastPictureInTheCache) {
    auto image = ThreeFrames();
    image->SetPaintFlags(gpfStepFrames | gpfMaskTransparent);
    image->SetSpeedPercent(1000000); // waits of a millisecond at most
    TBitmap target(3, 1, pf32bit);
    target.Canvas()->Draw(0, 0, image.get());
    EXPECT_EQ(BitmapPixels(target), (std::vector<std::uint32_t>{R, G, B}));
    ASSERT_NE(image->CachedBitmap(), nullptr);
    EXPECT_EQ(PainterCount(*image), 0);
}

TEST(PainterDraw, ThreadedDrawShowsTheFirstFrameAtOnce) {
    InitThreads();
    auto image = ThreeFrames();
    ASSERT_TRUE(image->PaintFlags() & gpfThreaded);
    TBitmap target(3, 1, pf32bit);
    target.Canvas()->Draw(0, 0, image.get());
    EXPECT_EQ(BitmapPixels(target), (std::vector<std::uint32_t>{R, R, R}));
    ASSERT_NE(image->DrawPainter(), nullptr);
    EXPECT_EQ(PainterCount(*image), 1);
    image->StopPainters();
    EXPECT_EQ(image->DrawPainter(), nullptr);
    EXPECT_EQ(PainterCount(*image), 0);
}

TEST(PainterRender, RenderedBitmapAndMask) {
    auto image = NewImage(3, 2);
    TGIFSubImage* f =
        AddFrame(*image, {0, 0, 3, 2, {0, 1, 2, 2, 1, 0}, {Red, Green, Blue}, 2, 1, 0});
    TBitmap* bitmap = f->RenderedBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->PixelFormat(), pf8bit);
    EXPECT_EQ(bitmap->ScanLine(0)[2], 2);
    EXPECT_EQ(bitmap->ScanLine(1)[0], 2);
    EXPECT_EQ(bitmap->PixelColor(1, 0), Green);
    EXPECT_EQ(f->RenderedBitmap(), bitmap);
    ASSERT_TRUE(f->HasMask());
    TBitmap* mask = f->MaskBitmap();
    EXPECT_EQ(mask->PixelFormat(), pf1bit);
    EXPECT_EQ(mask->ScanLine(0)[0] & 0xE0, 0x20);
    EXPECT_EQ(mask->ScanLine(1)[0] & 0xE0, 0x80);
}
