// Line blending and word fills over one megapixel, each reported with its
// time as a ratio against a plain byte copy (memcpy) or fill (memset) of the
// same bytes measured in the same run: counter "x_memcpy" / "x_memset".
#include "bench/BenchTiming.h"
#include "raster/RasterBlend.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterModule.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int Pixels = 1024 * 1024;
constexpr std::size_t Bytes = std::size_t(Pixels) * sizeof(TColor32);

using namespace benchtiming;

struct TBuffers {
    std::vector<TColor32> Src, Dst, Work;
    explicit TBuffers(int OpaquePercent) : Src(Pixels), Dst(Pixels), Work(Pixels) {
        InitRasterModules();
        std::mt19937 rng(42);
        for (int i = 0; i < Pixels; ++i) {
            TColor32 c = rng();
            if (int(rng() % 100) < OpaquePercent) c |= 0xFF000000;
            Src[i] = c;
            Dst[i] = rng() | 0xFF000000;
        }
    }
};

// Ratios are of batches of the case and of the reference alternating (see
// BatchRatio), over this many rounds.
constexpr int Rounds = 9;

// Runs Body under the benchmark loop, then sets the counter to the ratio of
// its time to the reference's over the same bytes.
template <class TBody, class TRef>
void RunWithRatio(benchmark::State& State, const char* Counter, TRef Ref, TBody Body) {
    RunLoop(State, Body);
    State.counters[Counter] = BatchRatio(Body, Ref, Rounds);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(Bytes));
}

auto Memcpy(TBuffers& B) {
    return [&B] { std::memcpy(B.Work.data(), B.Src.data(), Bytes); };
}

void BM_Memcpy(benchmark::State& State) {
    TBuffers b(50);
    RunWithRatio(State, "x_memcpy", Memcpy(b),
                 [&] { std::memcpy(b.Work.data(), b.Src.data(), Bytes); });
}

template <TBlendForm Form> void BM_BlendLine(benchmark::State& State) {
    TBuffers b(int(State.range(0)));
    if (!SelectBlendRoutines(Form)) {
        State.SkipWithError("form unavailable");
        return;
    }
    RunWithRatio(State, "x_memcpy", Memcpy(b),
                 [&] { BlendLine(b.Src.data(), b.Dst.data(), Pixels); });
    SelectBlendRoutines();
}

template <TBlendForm Form> void BM_BlendLineEx(benchmark::State& State) {
    TBuffers b(int(State.range(0)));
    if (!SelectBlendRoutines(Form)) {
        State.SkipWithError("form unavailable");
        return;
    }
    RunWithRatio(State, "x_memcpy", Memcpy(b),
                 [&] { BlendLineEx(b.Src.data(), b.Dst.data(), Pixels, 180); });
    SelectBlendRoutines();
}

template <TBlendForm Form> void BM_CombineLine(benchmark::State& State) {
    TBuffers b(50);
    if (!SelectBlendRoutines(Form)) {
        State.SkipWithError("form unavailable");
        return;
    }
    RunWithRatio(State, "x_memcpy", Memcpy(b),
                 [&] { CombineLine(b.Src.data(), b.Dst.data(), Pixels, 100); });
    SelectBlendRoutines();
}

// Translucent backgrounds (alpha below 128), so the composition runs in
// full; half the sources opaque, the rest of random alpha. BM_MergeLine runs
// the form the engine chose; the others name theirs. The merge works in
// place, so the destination is restored with a copy before each call; the
// ratio times the merge alone (a call lasts far longer than the clock's
// step), against batches of the copy as for the other rows.
void MergeBench(benchmark::State& State, bool Master) {
    TBuffers b(50);
    for (TColor32& c : b.Dst)
        c &= 0x7FFFFFFF;
    const std::vector<TColor32> dst = b.Dst;
    const auto restore = [&] { std::memcpy(b.Dst.data(), dst.data(), Bytes); };
    const auto merge = [&] {
        if (Master)
            MergeLineEx(b.Src.data(), b.Dst.data(), Pixels, 180);
        else
            MergeLine(b.Src.data(), b.Dst.data(), Pixels);
    };
    const auto body = [&] {
        restore();
        merge();
    };
    RunLoop(State, body);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(Bytes));
    constexpr int Calls = 5;
    const auto mergeTime = [&] {
        restore();
        merge();
        double sum = 0;
        for (int c = 0; c < Calls; ++c) {
            restore();
            sum += CallTime(merge);
        }
        return sum / Calls;
    };
    const auto memcpyRef = Memcpy(b);
    State.counters["x_memcpy"] =
        BestRatio(Rounds, mergeTime, [&] { return BatchTime(memcpyRef, Calls); });
}

void BM_MergeLine(benchmark::State& State) {
    MergeBench(State, false);
}

template <TBlendForm Form> void BM_MergeLineForm(benchmark::State& State) {
    if (!SelectBlendRoutines(Form)) {
        State.SkipWithError("form unavailable");
        return;
    }
    MergeBench(State, State.range(0) != 0);
    SelectBlendRoutines();
}

template <bool Sse2> void BM_FillWords(benchmark::State& State) {
    TBuffers b(50);
    if (!SelectFillRoutine(Sse2)) {
        State.SkipWithError("form unavailable");
        return;
    }
    RunWithRatio(
        State, "x_memset", [&] { std::memset(b.Work.data(), 0x5A, Bytes); },
        [&] { FillWords(b.Work.data(), Pixels, 0xFF336699u); });
    SelectFillRoutine();
}

} // namespace

BENCHMARK(BM_Memcpy);
// Argument: the percentage of opaque source pixels (the rest have random alpha).
BENCHMARK(BM_BlendLine<bfAvx512>)->Arg(0)->Arg(50)->Arg(100);
BENCHMARK(BM_BlendLine<bfAvx2>)->Arg(0)->Arg(50)->Arg(100);
BENCHMARK(BM_BlendLine<bfSse2>)->Arg(0)->Arg(50)->Arg(100);
BENCHMARK(BM_BlendLine<bfPortable>)->Arg(0)->Arg(50)->Arg(100);
BENCHMARK(BM_BlendLineEx<bfAvx512>)->Arg(0)->Arg(50);
BENCHMARK(BM_BlendLineEx<bfAvx2>)->Arg(0)->Arg(50);
BENCHMARK(BM_BlendLineEx<bfSse2>)->Arg(0)->Arg(50);
BENCHMARK(BM_BlendLineEx<bfPortable>)->Arg(0)->Arg(50);
BENCHMARK(BM_CombineLine<bfAvx512>);
BENCHMARK(BM_CombineLine<bfAvx2>);
BENCHMARK(BM_CombineLine<bfSse2>);
BENCHMARK(BM_CombineLine<bfPortable>);
BENCHMARK(BM_MergeLine);
// Argument: 1 for MergeLineEx (master alpha 180), 0 for MergeLine.
BENCHMARK(BM_MergeLineForm<bfAvx512>)->Arg(0)->Arg(1);
BENCHMARK(BM_MergeLineForm<bfAvx2>)->Arg(0)->Arg(1);
BENCHMARK(BM_MergeLineForm<bfSse2>)->Arg(0)->Arg(1);
BENCHMARK(BM_MergeLineForm<bfPortable>)->Arg(0)->Arg(1);
BENCHMARK(BM_FillWords<true>);
BENCHMARK(BM_FillWords<false>);

BENCHMARK_MAIN();
