#pragma once
// Timing shared by the benchmarks whose counters compare a case with a plain
// reference (a copy, a fill) measured in the same run, so that the figures
// hold from one machine to another.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace benchtiming {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point T0) {
    return std::chrono::duration<double>(Clock::now() - T0).count();
}

// Runs Body under the benchmark's own loop.
template <class TBody> void RunLoop(benchmark::State& State, TBody& Body) {
    for (auto _ : State) {
        Body();
        benchmark::ClobberMemory();
    }
}

// The time of one call of Op.
template <class TOp> double CallTime(TOp& Op) {
    const auto t0 = Clock::now();
    Op();
    benchmark::ClobberMemory();
    return Seconds(t0);
}

// The best time of Runs single calls of Op.
template <class TOp> double BestTime(TOp Op, int Runs) {
    double best = 1e9;
    for (int r = 0; r < Runs; ++r)
        best = std::min(best, CallTime(Op));
    return best;
}

// The time of one call of Op over a batch of Calls calls, after a first
// call (so that the caches settle as in a loop of its own).
template <class TOp> double BatchTime(TOp& Op, int Calls = 5) {
    Op();
    const auto t0 = Clock::now();
    for (int c = 0; c < Calls; ++c) {
        Op();
        benchmark::ClobberMemory();
    }
    return Seconds(t0) / Calls;
}

// The ratio of an operation's best time to its reference's: TimeRef and
// TimeOp each give one measure and alternate, the reference first, so that
// a busy machine slows both alike.
template <class TTimeOp, class TTimeRef>
double BestRatio(int Rounds, TTimeOp TimeOp, TTimeRef TimeRef) {
    double bestOp = 1e9, bestRef = 1e9;
    for (int r = 0; r < Rounds; ++r) {
        bestRef = std::min(bestRef, TimeRef());
        bestOp = std::min(bestOp, TimeOp());
    }
    return bestOp / bestRef;
}

// BestRatio of batches (see BatchTime): OpCalls calls of Op against RefCalls
// calls of Ref.
template <class TOp, class TRef>
double BatchRatio(TOp Op, TRef Ref, int Rounds, int OpCalls = 5, int RefCalls = 5) {
    return BestRatio(
        Rounds, [&] { return BatchTime(Op, OpCalls); }, [&] { return BatchTime(Ref, RefCalls); });
}

} // namespace benchtiming
