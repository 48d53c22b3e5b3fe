// The bitmap's fills on a 728 x 90 banner and its antialiased text, each
// with a ratio against a reference measured in the same run: the fills
// against a plain std::fill of the same pixels ("x_stdfill"), the level-1
// text against drawing the same string once at level 0 ("x_level0").
// "fonts_built" counts fonts the text services built during the timed loop:
// a repeated call must reuse its cached fonts (0).
#include "bench/BenchTiming.h"
#include "platform/graphics/TextRender.h"
#include "raster/RasterCore.h"
#include "raster/RasterModule.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using namespace benchtiming;

// Best of alternate runs, so that a busy machine slows both alike.
template <class TOp, class TRef> double SingleCallRatio(TOp Op, TRef Ref, int Runs = 21) {
    return BestRatio(
        Runs, [&] { return CallTime(Op); }, [&] { return CallTime(Ref); });
}

struct TBanner {
    TBitmap32 Bitmap;
    std::vector<TColor32> Plain;
    TBanner() : Plain(728 * 90) {
        InitRasterModules();
        Bitmap.SetDimensions(728, 90);
        Bitmap.Font()->SetName("Liberation Sans");
        Bitmap.Font()->SetSize(24);
    }
};

// A fill of the whole banner with a new colour at every call.
template <class TFill> void RunFill(benchmark::State& State, TFill Fill) {
    TBanner b;
    TColor32 c = 0xFF000000u;
    auto op = [&] { Fill(b.Bitmap, ++c); };
    auto ref = [&] { std::fill(b.Plain.begin(), b.Plain.end(), ++c); };
    RunLoop(State, op);
    State.counters["x_stdfill"] = SingleCallRatio(op, ref);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * 728 * 90 * 4);
}

void BM_ClearToColor(benchmark::State& State) {
    RunFill(State, [](TBitmap32& B, TColor32 C) { B.ClearToColor(C); });
}
BENCHMARK(BM_ClearToColor);

void BM_FillRectangle(benchmark::State& State) {
    RunFill(State, [](TBitmap32& B, TColor32 C) { B.FillRectangle(0, 0, 728, 90, C); });
}
BENCHMARK(BM_FillRectangle);

// A 20-character string at 24 points, level 1 (every banner text).
void BM_RenderAntialiasedText(benchmark::State& State) {
    TBanner b;
    const char* text = "Grande banniere 2026";
    auto op = [&] { b.Bitmap.RenderAntialiasedText(4, 4, text, 1, 0xFFFFFFFFu); };
    auto ref = [&] { b.Bitmap.RenderAntialiasedText(4, 4, text, 0, 0xFFFFFFFFu); };
    op(); // warms the font cache
    const int built = FontCacheBuildCount();
    RunLoop(State, op);
    State.counters["fonts_built"] = FontCacheBuildCount() - built;
    State.counters["x_level0"] = SingleCallRatio(op, ref, 7);
}
BENCHMARK(BM_RenderAntialiasedText)->Unit(benchmark::kMicrosecond);

void BM_MeasureText(benchmark::State& State) {
    TBanner b;
    const char* text = "Grande banniere 2026";
    b.Bitmap.MeasureText(text);
    const int built = FontCacheBuildCount();
    for (auto _ : State)
        benchmark::DoNotOptimize(b.Bitmap.MeasureText(text));
    State.counters["fonts_built"] = FontCacheBuildCount() - built;
}
BENCHMARK(BM_MeasureText)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
