// GIF export costs on one banner frame of 728 x 90: coding an 8-bit frame
// (LZW and run-length) and reducing a 32-bit frame to 8 bits (octree and web
// cube). Each reports the ratio of its time to a plain copy (memcpy) of the
// 32-bit frame measured in the same run: counter "x_memcpy".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "gif/ColorReduction.h"
#include "gif/GifPixelEncoders.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

namespace {

constexpr int Width = 728;
constexpr int Height = 90;
constexpr std::size_t FrameBytes = std::size_t(Width) * Height * 4;

using Clock = std::chrono::steady_clock;

// A banner-like picture: a two-colour gradient with blocks of flat colour
// and a band of noise standing for antialiased text.
std::unique_ptr<TBitmap> MakeFrame() {
    auto bmp = std::make_unique<TBitmap>(Width, Height, pf32bit);
    std::mt19937 rng(42);
    for (int y = 0; y < Height; ++y) {
        Byte* p = bmp->ScanLine(y);
        for (int x = 0; x < Width; ++x, p += 4) {
            int r = 30 + x * 200 / Width, g = 60 + y, b = 200 - x * 150 / Width;
            if ((x / 90) % 3 == 1 && y > 20 && y < 70) r = g = b = 250;
            if (y > 35 && y < 55 && x > 100 && x < 600 && rng() % 3 == 0) {
                r = int(rng() % 256);
                g = b = r / 2;
            }
            p[0] = Byte(b);
            p[1] = Byte(g);
            p[2] = Byte(r);
            p[3] = 255;
        }
    }
    return bmp;
}

struct TData {
    std::unique_ptr<TBitmap> Frame32 = MakeFrame();
    std::vector<Byte> Indices;
    std::vector<Byte> Copy = std::vector<Byte>(FrameBytes);
    TData() {
        auto reduced = ReduceBitmapColors(*Frame32, rdmOctree, dkNearestColor, 8, nullptr);
        Indices.resize(std::size_t(Width) * Height);
        for (int y = 0; y < Height; ++y)
            std::memcpy(Indices.data() + std::size_t(y) * Width, reduced->ScanLine(y), Width);
    }
};

TData& Data() {
    static TData* data = new TData; // lives until exit; nothing to destroy
    return *data;
}

double Seconds(Clock::time_point T0) {
    return std::chrono::duration<double>(Clock::now() - T0).count();
}

template <class TOp> double BatchTime(TOp& Op, int Calls = 5) {
    Op();
    const auto t0 = Clock::now();
    for (int c = 0; c < Calls; ++c) {
        Op();
        benchmark::ClobberMemory();
    }
    return Seconds(t0) / Calls;
}

// Batches of the operation and of the copy alternate so that a busy machine
// slows both alike; the best batch of each counts.
template <class TBody> void RunWithRatio(benchmark::State& State, TBody Body) {
    for (auto _ : State) {
        Body();
        benchmark::ClobberMemory();
    }
    TData& d = Data();
    auto ref = [&d] { std::memcpy(d.Copy.data(), d.Frame32->ScanLine(0), FrameBytes); };
    double bestOp = 1e9, bestRef = 1e9;
    for (int r = 0; r < 7; ++r) {
        bestRef = std::min(bestRef, BatchTime(ref, 50));
        bestOp = std::min(bestOp, BatchTime(Body));
    }
    State.counters["x_memcpy"] = bestOp / bestRef;
    State.SetItemsProcessed(std::int64_t(State.iterations()) * Width * Height);
}

void BM_Memcpy(benchmark::State& State) {
    TData& d = Data();
    RunWithRatio(State, [&] { std::memcpy(d.Copy.data(), d.Frame32->ScanLine(0), FrameBytes); });
}

void BM_EncodeFrame(benchmark::State& State) {
    TData& d = Data();
    const TGIFPixelCoding coding = TGIFPixelCoding(State.range(0));
    TMemoryStream out;
    out.SetCapacity(std::int64_t(FrameBytes));
    RunWithRatio(State, [&] {
        out.SetPosition(0);
        WriteGIFPixelData(out, coding, d.Indices, Width, Height, false, 8, 256);
    });
    State.counters["bytes_out"] = double(out.Position());
}

void BM_ReduceFrame(benchmark::State& State) {
    TData& d = Data();
    const TGIFReductionMethod method = TGIFReductionMethod(State.range(0));
    RunWithRatio(State, [&] {
        auto reduced = ReduceBitmapColors(*d.Frame32, method, dkNearestColor, 8, nullptr);
        benchmark::DoNotOptimize(reduced.get());
    });
}

} // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_EncodeFrame)->Arg(gpcLZW)->Arg(gpcRunLength)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReduceFrame)->Arg(rdmOctree)->Arg(rdmWebCube)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
