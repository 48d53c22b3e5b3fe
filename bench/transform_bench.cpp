// Scaling the 468 x 60 background template to 728 x 90 the way the banner
// code does (affine scale, TransformBitmap between the begin and end of a
// destination TDraftResampler's sampling). Each case reports its best time
// as a ratio against a memcpy of the destination's bytes measured in the
// same run (counter "x_memcpy"); the target is well under a millisecond.
#include "bench/BenchTiming.h"
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"
#include "raster/RasterRasterizers.h"
#include "raster/RasterTransforms.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace benchtiming;

constexpr int Runs = 25;

struct TScene {
    TBitmap32 Template, Dst;
    TAffineTransformation Transformation;
    std::vector<TColor32> Copy;

    TScene(const char* TemplateResampler) {
        InitRasterModules();
        Template.SetDimensions(468, 60);
        std::mt19937 rng(7);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 468; ++x)
                Template.WritePixel(x, y, TColor32(rng()) | 0xFF000000u);
        Template.SetResamplerClassName(TemplateResampler);
        Dst.SetDimensions(728, 90);
        Copy.resize(std::size_t(728) * 90);
        Transformation.SetSourceRect(MakeSingleRect(0, 0, 468, 60));
        Transformation.AppendScale(728.0f / 468.0f, 90.0f / 60.0f);
    }

    void Scale() {
        auto* draft = new TDraftResampler(&Dst);
        draft->BeginSampling();
        TransformBitmap(&Dst, &Template, &Transformation);
        draft->EndSampling();
    }

    double MemcpyTime() {
        return BestTime(
            [&] { std::memcpy(Copy.data(), Dst.Bits(), Copy.size() * sizeof(TColor32)); }, Runs);
    }
};

template <class TBody> void Report(benchmark::State& State, double Reference, TBody Body) {
    RunLoop(State, Body);
    const double best = BestTime(Body, Runs);
    State.counters["x_memcpy"] = best / Reference;
    State.counters["best_us"] = best * 1e6;
}

void BM_MemcpyDestination(benchmark::State& State) {
    TScene s("TNearestResampler");
    const double ref = s.MemcpyTime();
    Report(State, ref,
           [&] { std::memcpy(s.Copy.data(), s.Dst.Bits(), s.Copy.size() * sizeof(TColor32)); });
}

// The editor's case: the template keeps its TNearestResampler.
void BM_TemplateScaleNearest(benchmark::State& State) {
    TScene s("TNearestResampler");
    const double ref = s.MemcpyTime();
    Report(State, ref, [&] { s.Scale(); });
}

// The same scale sampled bilinearly (a template that names the linear or
// draft resampler in its stream).
void BM_TemplateScaleLinear(benchmark::State& State) {
    TScene s("TDraftResampler");
    const double ref = s.MemcpyTime();
    Report(State, ref, [&] { s.Scale(); });
}

// The stretched draw of the image control for the same sizes.
void BM_DraftStretch(benchmark::State& State) {
    TScene s("TDraftResampler");
    const double ref = s.MemcpyTime();
    Report(State, ref, [&] {
        StretchLinear(&s.Dst, s.Dst.BoundsRect(), s.Dst.BoundsRect(), &s.Template,
                      s.Template.BoundsRect(), dmOpaque, nullptr);
    });
}

} // namespace

BENCHMARK(BM_MemcpyDestination);
BENCHMARK(BM_TemplateScaleNearest);
BENCHMARK(BM_TemplateScaleLinear);
BENCHMARK(BM_DraftStretch);
BENCHMARK_MAIN();
