// GIF export costs on one banner frame of 728 x 90: coding an 8-bit frame
// (LZW and run-length) and reducing a 32-bit frame to 8 bits (octree and web
// cube). Each reports the ratio of its time to a plain copy (memcpy) of the
// 32-bit frame measured in the same run: counter "x_memcpy".
// Then the codec on block-heavy and large inputs: LZW decoding in Mpx/s (a
// banner frame and noise), loading from a file against loading the same
// bytes from memory (a 783-frame animation, 200,000 comment blocks), and the
// optimiser on 100,000 one-pixel frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "bench/BenchTiming.h"
#include "gif/ColorReduction.h"
#include "gif/GifImage.h"
#include "gif/GifItems.h"
#include "gif/GifReader.h"
#include "gif/GifPixelEncoders.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

namespace {

constexpr int Width = 728;
constexpr int Height = 90;
constexpr std::size_t FrameBytes = std::size_t(Width) * Height * 4;

using namespace benchtiming;

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

// Batches of the operation and of the copy alternate so that a busy machine
// slows both alike; the best batch of each counts.
template <class TBody> void RunWithRatio(benchmark::State& State, TBody Body) {
    RunLoop(State, Body);
    TData& d = Data();
    auto ref = [&d] { std::memcpy(d.Copy.data(), d.Frame32->ScanLine(0), FrameBytes); };
    State.counters["x_memcpy"] = BatchRatio(Body, ref, 7, 5, 50);
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

// One frame of 8-bit pixels as a GIF file's bytes.
std::vector<Byte> GifBytes(const std::vector<Byte>& Pixels, int W, int H, int Frames = 1) {
    auto image = TGIFImage::CreateEmpty();
    for (int i = 0; i < 256; ++i)
        image->GlobalColorMap().Add(TColor(i * 0x010101));
    for (int f = 0; f < Frames; ++f) {
        auto frame = std::make_unique<TGIFSubImage>(image.get());
        frame->SetBounds(0, 0, W, H);
        for (std::size_t i = 0; i < Pixels.size(); ++i)
            frame->Data()[i] = Byte(Pixels[i] + f);
        image->AppendFrame(std::move(frame));
    }
    TMemoryStream out;
    image->SaveToStream(out);
    const auto* p = static_cast<const Byte*>(out.Memory());
    return {p, p + out.Size()};
}

void BM_DecodeFrame(benchmark::State& State) {
    TData& d = Data();
    std::vector<Byte> pixels = d.Indices;
    if (State.range(0) == 1) {
        std::mt19937 rng(5);
        for (Byte& p : pixels)
            p = Byte(rng());
    }
    const std::vector<Byte> bytes = GifBytes(pixels, Width, Height);
    for (auto _ : State)
        benchmark::DoNotOptimize(LoadGIFFromBytes(bytes.data(), bytes.size()));
    State.SetLabel(State.range(0) == 1 ? "noise" : "banner");
    State.counters["Mpx_per_s"] = benchmark::Counter(double(Width) * Height * 1e-6,
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

// Loading from a file against loading the same bytes from memory, best of
// alternating runs.
void LoadFileAgainstMemory(benchmark::State& State, const std::vector<Byte>& Bytes,
                           const char* Label) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("qm_gif_bench_" + std::string(Label) + ".gif"))
            .string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
    auto fromFile = [&] {
        TGIFImage image;
        image.LoadFromFile(file);
    };
    TMemoryStream memory;
    memory.WriteBuffer(Bytes.data(), std::int64_t(Bytes.size()));
    auto fromMemory = [&] {
        memory.SetPosition(0);
        TGIFImage image;
        image.LoadFromStream(memory);
    };
    for (auto _ : State)
        fromFile();
    double bestFile = 1e9, bestMemory = 1e9;
    for (int r = 0; r < 9; ++r) {
        bestFile = std::min(bestFile, BatchTime(fromFile, 3));
        bestMemory = std::min(bestMemory, BatchTime(fromMemory, 3));
    }
    std::filesystem::remove(file);
    State.SetLabel(Label);
    State.counters["ms_file"] = bestFile * 1e3;
    State.counters["x_memory"] = bestFile / bestMemory;
}

void BM_LoadManyFrames(benchmark::State& State) {
    std::vector<Byte> pixels(64 * 48);
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = Byte(i % 64 < 32 ? 7 : rng() % 16);
    static const std::vector<Byte> bytes = GifBytes(pixels, 64, 48, 783);
    LoadFileAgainstMemory(State, bytes, "783_frames");
}

// A header, 200,000 one-byte comments and a 1 x 1 frame: about 1 MB.
std::vector<Byte> CommentBlocks() {
    std::vector<Byte> b = {'G',  'I', 'F', '8', '9', 'a', 1,   0,   1,  0,
                           0x80, 0,   0,   0,   0,   0,   255, 255, 255};
    for (int i = 0; i < 200000; ++i)
        b.insert(b.end(), {0x21, 0xFE, 1, 'x', 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
    return b;
}

void BM_LoadCommentBlocks(benchmark::State& State) {
    static const std::vector<Byte> bytes = CommentBlocks();
    LoadFileAgainstMemory(State, bytes, "200000_comments");
}

// The banner's optimiser steps on an animation whose frames are all alike:
// 100,000 one-pixel frames, or 200,000 comment blocks before one frame.
void BM_OptimizeBlockHeavy(benchmark::State& State) {
    const bool comments = State.range(0) == 1;
    static const std::vector<Byte> commentBytes = CommentBlocks();
    double best = 1e9;
    for (auto _ : State) {
        State.PauseTiming();
        std::unique_ptr<TGIFImage> image;
        if (comments) {
            image = LoadGIFFromBytes(commentBytes.data(), commentBytes.size());
        } else {
            image = TGIFImage::CreateEmpty();
            image->GlobalColorMap().Add(clBlack);
            image->GlobalColorMap().Add(clWhite);
            for (int f = 0; f < 100000; ++f) {
                auto frame = std::make_unique<TGIFSubImage>(image.get());
                frame->SetBounds(0, 0, 1, 1);
                frame->Data()[0] = 1;
                image->AppendFrame(std::move(frame));
            }
        }
        State.ResumeTiming();
        const auto t0 = Clock::now();
        image->OptimizeFrames(osTrimFrames | osCombineFrames | osRemoveRedundant | osPackColorMaps,
                              rdmKeep24Bit, 8, dkNearestColor);
        best = std::min(best, Seconds(t0));
        State.PauseTiming();
        image.reset();
        State.ResumeTiming();
    }
    State.SetLabel(comments ? "200000_comments" : "100000_frames");
    State.counters["ms"] = best * 1e3;
}

} // namespace

BENCHMARK(BM_DecodeFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadManyFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCommentBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeBlockHeavy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Memcpy);
BENCHMARK(BM_EncodeFrame)->Arg(gpcLZW)->Arg(gpcRunLength)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReduceFrame)->Arg(rdmOctree)->Arg(rdmWebCube)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
