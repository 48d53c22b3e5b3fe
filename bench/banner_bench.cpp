// Drawing banners: one 728 x 90 editor redraw (gradient, first text, main
// text, an image with a transparent colour, border), one full effect
// sequence (the seven sweep frames of the main text) and a very large
// picture sliding in. The reference case
// fills the same bitmap with one colour, so the counter "x_fill" of each
// case is its time as a ratio against a plain fill measured in the same run.
#include "banner/BannerRenderer.h"
#include "bench/BenchTiming.h"
#include "banner/Effects.h"
#include "raster/RasterModule.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace benchtiming;

std::unique_ptr<TBannerDocument> MakeDocument() {
    InitRasterModules();
    auto d = std::make_unique<TBannerDocument>();
    d->Composition = ckTwoTextsImage;
    d->BannerFormat = bfLargeBanner;
    d->BannerWidth = 728;
    d->BannerHeight = 90;
    d->BackgroundKind = bgGradient;
    d->cg1 = clWhite;
    d->cg2 = 0x006FFFFF;
    d->BrLeft = d->BrTop = d->BrRight = d->BrBottom = true;
    d->tlv = {{"Soldes d'hiver", "clBlack", "DejaVu Sans", "1", "18", "1"},
              {"Jusqu'à -50 %\rLivraison offerte\rVenez vite", "clgray\rclgray\rclgray",
               "DejaVu Sans\rDejaVu Sans\rDejaVu Sans", "0\r0\r0", "15\r15\r15", "1\r1\r1"}};
    d->Image1.SetDimensions(60, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            d->Image1.WritePixel(x, y,
                                 (x + y) % 7 == 0 ? 0xFFFFFFFFu : MakeColor32(x * 4, y * 6, 128));
    d->ilv = {TImageElement{"1", "clWhite", "100", "11", "0"}};
    return d;
}

double FillReference() {
    TBitmap32 b;
    b.SetDimensions(728, 90);
    return BestTime([&] { b.ClearToColor(0xFF102030u); }, 200);
}

void BM_RedrawBanner728x90(benchmark::State& State) {
    auto doc = MakeDocument();
    TBannerRenderer renderer(*doc);
    TBitmap32 canvas;
    for (auto _ : State) {
        renderer.RedrawBanner(canvas, false);
        benchmark::DoNotOptimize(canvas.Bits());
    }
    const double ratio =
        BestTime([&] { renderer.RedrawBanner(canvas, false); }, 20) / FillReference();
    State.counters["x_fill"] = ratio;
}
BENCHMARK(BM_RedrawBanner728x90)->Unit(benchmark::kMillisecond);

void BM_SweepSequence728x90(benchmark::State& State) {
    auto doc = MakeDocument();
    TEffectRenderer effects(*doc);
    for (auto _ : State) {
        auto frames = effects.RenderTextEffect(teSweep, 1);
        benchmark::DoNotOptimize(frames.data());
    }
    const double ratio =
        BestTime([&] { benchmark::DoNotOptimize(effects.RenderTextEffect(teSweep, 1)); }, 5) /
        FillReference();
    State.counters["x_fill"] = ratio;
}
BENCHMARK(BM_SweepSequence728x90)->Unit(benchmark::kMillisecond);

// A picture of 4000 x 4000 pixels sliding in over 16 frames: each frame
// prepares only the part of the picture that lands on the banner, so this
// costs about as much as 16 redraws of the banner itself.
void BM_LargePictureSlide728x90(benchmark::State& State) {
    auto doc = MakeDocument();
    doc->Image1.SetDimensions(4000, 4000);
    doc->Image1.ClearToColor(0xFF336699u);
    TEffectRenderer effects(*doc);
    const auto slide = [&] {
        for (int k = 1; k <= 16; ++k)
            benchmark::DoNotOptimize(effects.RenderImageSlideFrame(k, 16, ieSlideFromLeft));
    };
    for (auto _ : State)
        slide();
    State.counters["x_fill"] = BestTime(slide, 3) / FillReference();
}
BENCHMARK(BM_LargePictureSlide728x90)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
