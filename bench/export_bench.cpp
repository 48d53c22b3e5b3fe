// The export path of the three reference banners (ReferenceBanners.h),
// frames in memory to optimised GIF file: the animation builder (octree
// reduction of each frame, append, transitions), the optimiser and the
// writer, the way the export command runs them.
// The frames are rendered once and handed to the builder again on each run,
// so the figures measure the export and not the text renderer.
// Counters: ms per banner and per frame for the whole export, and the octree
// reduction alone over the same frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "banner/AnimationBuilder.h"
#include "bench/ReferenceBanners.h"
#include "gif/ColorReduction.h"
#include "platform/base/Memory.h"

namespace {

using Clock = std::chrono::steady_clock;

// Renders every frame of a build once, then serves copies of them in the
// same order: the builder asks for the same frames each time.
class TReplaySource : public TAnimationFrameSource {
public:
    explicit TReplaySource(const TBannerDocument& Doc) : FLive(Doc) {}
    TFramePtr TextFrame(int Effect, int k, int V) override {
        return Serve([&] { return FLive.TextFrame(Effect, k, V); });
    }
    TFramePtr ImageSlideFrame(int k, int N, int Kind) override {
        return Serve([&] { return FLive.ImageSlideFrame(k, N, Kind); });
    }
    TFramePtr ImageFadeFrame(int k, int N) override {
        return Serve([&] { return FLive.ImageFadeFrame(k, N); });
    }
    void Rewind() {
        FRecording = false;
        FNext = 0;
    }
    const std::vector<TFramePtr>& Frames() const { return FFrames; }

private:
    template <class TRender> TFramePtr Serve(TRender Render) {
        if (FRecording) {
            TFramePtr f = Render();
            FFrames.push_back(f ? std::make_unique<TBitmap32>() : nullptr);
            if (f) FFrames.back()->Assign(f.get());
            return f;
        }
        const TFramePtr& kept = FFrames.at(FNext++);
        if (!kept) return nullptr;
        auto copy = std::make_unique<TBitmap32>();
        copy->Assign(kept.get());
        return copy;
    }
    TEffectFrameSource FLive;
    std::vector<TFramePtr> FFrames;
    std::size_t FNext = 0;
    bool FRecording = true;
};

struct TBanner {
    std::unique_ptr<TBannerDocument> Doc;
    std::unique_ptr<TReplaySource> Source;
    int Frames = 0;
};

TBanner& Banner(int Kind) {
    // As the program's start-up does before any picture is made.
    static const bool memory = (KeepFreedMemory(), true);
    (void)memory;
    static TBanner* banners = new TBanner[ReferenceBannerCount]; // lives until exit
    TBanner& b = banners[Kind];
    if (!b.Doc) {
        b.Doc = MakeReferenceBanner(Kind);
        b.Source = std::make_unique<TReplaySource>(*b.Doc);
        TAnimationPreview preview;
        preview.BuildAnimation(*b.Doc, *b.Source);
        b.Frames = preview.Gif().Images().ItemCount();
        b.Source->Rewind();
    }
    return b;
}

void BM_Export(benchmark::State& State) {
    const int kind = int(State.range(0));
    TBanner& b = Banner(kind);
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("qm_export_bench_" + std::to_string(kind) + ".gif"))
                                 .string();
    double best = 1e9, build = 0, optimise = 0, save = 0;
    std::uintmax_t bytes = 0;
    auto since = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    };
    for (auto _ : State) {
        const auto t0 = Clock::now();
        TAnimationPreview preview;
        b.Source->Rewind();
        preview.BuildAnimation(*b.Doc, *b.Source);
        const auto t1 = Clock::now();
        preview.OptimizeAnimation();
        const auto t2 = Clock::now();
        preview.ExportAnimation(file);
        const double total = since(t0);
        if (total < best) {
            best = total;
            build = std::chrono::duration<double>(t1 - t0).count();
            optimise = std::chrono::duration<double>(t2 - t1).count();
            save = since(t2);
        }
    }
    bytes = std::filesystem::file_size(file);
    std::filesystem::remove(file);
    State.SetLabel(ReferenceBannerName(kind));
    State.counters["frames"] = b.Frames;
    State.counters["ms_per_banner"] = best * 1e3;
    State.counters["ms_per_frame"] = best * 1e3 / std::max(1, b.Frames);
    State.counters["bytes"] = double(bytes);
    State.counters["ms_build"] = build * 1e3;
    State.counters["ms_optimise"] = optimise * 1e3;
    State.counters["ms_save"] = save * 1e3;
}

void BM_OctreeReduction(benchmark::State& State) {
    const int kind = int(State.range(0));
    TBanner& b = Banner(kind);
    std::vector<std::unique_ptr<TBitmap>> frames;
    for (const TFramePtr& f : b.Source->Frames()) {
        if (!f) continue;
        frames.push_back(std::make_unique<TBitmap>());
        frames.back()->Assign(f.get());
    }
    double best = 1e9;
    for (auto _ : State) {
        const auto t0 = Clock::now();
        for (const auto& f : frames)
            benchmark::DoNotOptimize(ReduceBitmapColors(*f, rdmOctree, dkNearestColor, 8, nullptr));
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    State.SetLabel(ReferenceBannerName(kind));
    State.counters["ms_per_banner"] = best * 1e3;
}

} // namespace

BENCHMARK(BM_Export)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_OctreeReduction)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
