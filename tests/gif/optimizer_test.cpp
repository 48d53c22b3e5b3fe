#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "AnimationFixtures.h"
#include "gif/GifOptimizer.h"

namespace {

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, White = 0xFFFFFF;

std::unique_ptr<TGIFImage> NewImage(int Width, int Height) {
    auto image = TGIFImage::CreateEmpty();
    image->Header().SetWidth(Width);
    image->Header().SetHeight(Height);
    return image;
}

std::vector<TColor> MapColors(const TGIFColorMap& Map) {
    std::vector<TColor> colors;
    for (int i = 0; i < Map.Count(); ++i)
        colors.push_back(Map.Colors(i));
    return colors;
}

} // namespace

// ---------------------------------------------------------------- helpers

TEST(OptimizerHelpers, FindOpaqueBounds) {
    const Byte T = 9;
    // 4 x 3, opaque pixels at (1,0) and (2,2).
    const std::vector<Byte> p{T, 1, T, T, T, T, T, T, T, T, 3, T};
    EXPECT_EQ(FindOpaqueBounds(p.data(), 4, 3, T), (TRect{1, 0, 3, 3}));
    const std::vector<Byte> none(12, T);
    EXPECT_TRUE(FindOpaqueBounds(none.data(), 4, 3, T).IsEmpty());
    const std::vector<Byte> one{T, T, T, T, 0, T};
    EXPECT_EQ(FindOpaqueBounds(one.data(), 3, 2, T), (TRect{1, 1, 2, 2}));
}

// ------------------------------------------------------------ colour maps

TEST(OptimizerColorMaps, LocalMapSortedByUseAndTrimmed) {
    auto image = NewImage(4, 1);
    // Entry 2 (Blue) used 3 times, entry 0 (Red) once, entries 1 and 3 never.
    TGIFSubImage* f =
        AddFrame(*image, {0, 0, 4, 1, {2, 0, 2, 2}, {Red, Green, Blue, White}, 0, 0, 0});
    image->OptimizeFrames(osPackColorMaps, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(MapColors(f->ColorMap()), (std::vector<TColor>{Blue, Red}));
    EXPECT_TRUE(f->ColorMap().Sorted());
    EXPECT_EQ(FramePixels(*f), (std::vector<Byte>{0, 1, 0, 0}));
    // The transparent index follows its colour.
    EXPECT_EQ(f->GraphicControlExtension()->TransparentColorIndex(), 1);
}

TEST(OptimizerColorMaps, MapInOrderOfUseIsMarkedSortedAndKeepsUnusedEntries) {
    auto image = NewImage(3, 1);
    TGIFSubImage* f = AddFrame(*image, {0, 0, 3, 1, {0, 0, 1}, {Red, Green, Blue}});
    EXPECT_EQ(f->Version(), gv87a);
    EXPECT_TRUE(f->ColorMap().Optimize());
    EXPECT_EQ(MapColors(f->ColorMap()), (std::vector<TColor>{Red, Green, Blue}));
    EXPECT_TRUE(f->ColorMap().Sorted());
    EXPECT_EQ(f->Version(), gv89a);

    TGIFSubImage* g = AddFrame(*image, {0, 0, 1, 1, {0}, {Red}});
    EXPECT_FALSE(g->ColorMap().Optimize());
    EXPECT_FALSE(g->ColorMap().Sorted());
}

TEST(OptimizerColorMaps, GlobalMapCountsEveryFrameWithoutLocalMapAndKeepsBackground) {
    auto image = NewImage(2, 1);
    for (TColor c : {Red, Green, Blue, White})
        image->GlobalColorMap().Add(c);
    image->Header().SetBackgroundColorIndex(3); // White, used by no pixel
    TGIFSubImage* a = AddFrame(*image, {0, 0, 2, 1, {2, 2}, {}});
    TGIFSubImage* b = AddFrame(*image, {0, 0, 2, 1, {1, 2}, {}});
    AddFrame(*image, {0, 0, 2, 1, {1, 2}, {}});
    TGIFSubImage* local = AddFrame(*image, {0, 0, 2, 1, {0, 0}, {Red}});
    image->OptimizeFrames(osPackColorMaps, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(MapColors(image->GlobalColorMap()), (std::vector<TColor>{Blue, Green, White}));
    EXPECT_EQ(FramePixels(*a), (std::vector<Byte>{0, 0}));
    EXPECT_EQ(FramePixels(*b), (std::vector<Byte>{1, 0}));
    EXPECT_EQ(FramePixels(*local), (std::vector<Byte>{0, 0}));
    EXPECT_EQ(image->Header().BackgroundColorIndex(), 2);
    EXPECT_EQ(image->BackgroundColor(), White);
}

// --------------------------------------------------- redundant disposal

TEST(OptimizerRedundant, UnusedTransparencyIsDropped) {
    auto image = NewImage(2, 1);
    TGIFSubImage* used = AddFrame(*image, {0, 0, 2, 1, {0, 1}, {Red, Green}, 1, 1, 5});
    TGIFSubImage* unused = AddFrame(*image, {0, 0, 2, 1, {0, 0}, {Red, Green}, 1, 1, 5});
    image->OptimizeFrames(osRemoveRedundant, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_TRUE(used->Transparent());
    EXPECT_FALSE(unused->Transparent());
    EXPECT_FALSE(unused->GraphicControlExtension()->Transparent());
}

TEST(OptimizerRedundant, DisposalDroppedOnlyWhenNextOpaqueFrameCoversTheFrame) {
    auto image = NewImage(4, 4);
    // Covered: frame 0 (2x2) lies inside the opaque 4x4 frame 1.
    TGIFSubImage* covered = AddFrame(*image, {1, 1, 2, 2, {0, 0, 0, 0}, {Red}, -1, 2, 5});
    AddFrame(*image, {0, 0, 4, 4, std::vector<Byte>(16, 0), {Green}, -1, 2, 5});
    // Not covered: the next frame lies inside this one; clearing the rest
    // of its area is still needed.
    TGIFSubImage* larger =
        AddFrame(*image, {0, 0, 4, 4, std::vector<Byte>(16, 0), {Red}, -1, 2, 5});
    TGIFSubImage* restorePrevious = AddFrame(*image, {1, 1, 2, 2, {0, 0, 0, 0}, {Blue}, -1, 3, 5});
    AddFrame(*image, {0, 0, 4, 4, std::vector<Byte>(16, 0), {Green}, -1, 3, 5});
    AddFrame(*image, {0, 0, 1, 1, {0}, {Green}, -1, 0, 5});
    const auto before = RenderTimeline(*image, White);
    image->OptimizeFrames(osRemoveRedundant, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(covered->GraphicControlExtension()->Disposal(), gdNotSpecified);
    EXPECT_EQ(larger->GraphicControlExtension()->Disposal(), gdRestoreBackground);
    // The next frame goes back to what this disposal leaves: it must stay.
    EXPECT_EQ(restorePrevious->GraphicControlExtension()->Disposal(), gdRestorePrevious);
    EXPECT_EQ(RenderTimeline(*image, White), before);
}

// ------------------------------------------------------------ merging

TEST(OptimizerMerge, IdenticalOpaqueFramesBecomeTransparentAndAreTrimmed) {
    auto image = NewImage(2, 2);
    TGIFSubImage* first = AddFrame(*image, {0, 0, 2, 2, {0, 1, 1, 0}, {Red, Green}, -1, 0, 10});
    TGIFSubImage* second = AddFrame(*image, {0, 0, 2, 2, {0, 1, 1, 0}, {Red, Green}, -1, 0, 20});
    image->OptimizeFrames(osCombineFrames, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_TRUE(second->Transparent());
    EXPECT_EQ(MapColors(second->ColorMap()), (std::vector<TColor>{Red, Green, clBlack}));
    EXPECT_EQ(second->GraphicControlExtension()->TransparentColorIndex(), 2);
    EXPECT_EQ(FramePixels(*second), (std::vector<Byte>(4, 2)));

    image->OptimizeFrames(osTrimFrames, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_EQ(image->Images().ItemCount(), 1);
    EXPECT_EQ(image->Images().FrameAt(0), first);
    // The first frame now holds the picture for both delays.
    EXPECT_EQ(first->GraphicControlExtension()->Delay(), 30);
}

TEST(OptimizerMerge, OnlyPixelsShowingTheSameColourBecomeTransparent) {
    auto image = NewImage(3, 1);
    AddFrame(*image, {0, 0, 3, 1, {0, 1, 2}, {Red, Green, Blue}});
    // Different map, same colours at x=0 (Red) and x=2 (Blue).
    TGIFSubImage* f = AddFrame(*image, {1, 0, 2, 1, {1, 0}, {Red, White}});
    TGIFSubImage* g = AddFrame(*image, {0, 0, 3, 1, {1, 1, 2}, {Red, Green, Blue}});
    image->OptimizeFrames(osCombineFrames, rdmKeep24Bit, 8, dkNearestColor);
    // f over frame 0: (1: White vs Green) stays, (2: Red vs Blue) stays.
    EXPECT_FALSE(f->Transparent());
    EXPECT_EQ(FramePixels(*f), (std::vector<Byte>{1, 0}));
    // g over f: x=1 Green vs White stays; x=2 Blue vs Red stays; x=0 is
    // outside f.
    EXPECT_FALSE(g->Transparent());
}

TEST(OptimizerMerge, SharedGlobalTransparentIndexNotReusedWhenFrameShowsIt) {
    auto image = NewImage(2, 1);
    for (TColor c : {Red, Green, Blue})
        image->GlobalColorMap().Add(c);
    AddFrame(*image, {0, 0, 2, 1, {0, 1}, {}, 2, 0, 0}); // index 2 transparent there
    TGIFSubImage* f = AddFrame(*image, {0, 0, 2, 1, {0, 2}, {}});
    image->OptimizeFrames(osCombineFrames, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_TRUE(f->Transparent());
    // Index 2 is a visible Blue in f: a new black entry is used instead.
    EXPECT_EQ(image->GlobalColorMap().Count(), 4);
    EXPECT_EQ(f->GraphicControlExtension()->TransparentColorIndex(), 3);
    EXPECT_EQ(FramePixels(*f), (std::vector<Byte>{3, 2}));
}

TEST(OptimizerMerge, FullMapOrRestoringPreviousFrameIsLeftAlone) {
    auto image = NewImage(1, 1);
    std::vector<TColor> full;
    for (int i = 0; i < 256; ++i)
        full.push_back(TColor(i));
    AddFrame(*image, {0, 0, 1, 1, {0}, full});
    TGIFSubImage* f = AddFrame(*image, {0, 0, 1, 1, {0}, full});
    TGIFSubImage* restoring = AddFrame(*image, {0, 0, 1, 1, {0}, {Red}, -1, 2, 0});
    TGIFSubImage* h = AddFrame(*image, {0, 0, 1, 1, {0}, {Red}});
    image->OptimizeFrames(osCombineFrames, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_FALSE(f->Transparent());
    EXPECT_FALSE(restoring->Transparent());
    EXPECT_FALSE(h->Transparent());
}

// ------------------------------------------------------------- trimming

TEST(OptimizerTrim, TransparentFrameCroppedToItsOpaquePixels) {
    auto image = NewImage(5, 4);
    AddFrame(*image, {0, 0, 5, 4, std::vector<Byte>(20, 0), {Red}});
    const Byte T = 3;
    // 4 x 3 frame at (1, 1); opaque pixels at (1,1) and (2,2) of the frame.
    TGIFSubImage* f = AddFrame(
        *image,
        {1, 1, 4, 3, {T, T, T, T, T, 1, T, T, T, T, 2, T}, {Red, Green, Blue, White}, T, 1, 7});
    image->OptimizeFrames(osTrimFrames, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(f->BoundsRect(), (TRect{2, 2, 4, 4}));
    EXPECT_EQ(FramePixels(*f), (std::vector<Byte>{1, T, T, 2}));
    EXPECT_EQ(f->GraphicControlExtension()->Delay(), 7);
}

TEST(OptimizerTrim, RestoreToBackgroundFrameKeepsItsArea) {
    auto image = NewImage(3, 1);
    AddFrame(*image, {0, 0, 3, 1, {0, 0, 0}, {Red}});
    TGIFSubImage* f = AddFrame(*image, {0, 0, 3, 1, {1, 0, 1}, {Green, Blue}, 1, 2, 5});
    AddFrame(*image, {0, 0, 3, 1, {0, 1, 1}, {Red, Green}, 1, 1, 5});
    const auto before = RenderTimeline(*image, White);
    image->OptimizeFrames(osTrimFrames, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(f->BoundsRect(), (TRect{0, 0, 3, 1}));
    EXPECT_EQ(RenderTimeline(*image, White), before);
}

TEST(OptimizerTrim, EmptiedFramePassesItsDelayToAnOpaquePreviousFrame) {
    auto image = NewImage(2, 1);
    TGIFSubImage* first = AddFrame(*image, {0, 0, 2, 1, {0, 0}, {Red}});
    AddFrame(*image, {0, 0, 2, 1, {1, 1}, {Red, Green}, 1, 0, 25});
    image->OptimizeFrames(osTrimFrames, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_EQ(image->Images().ItemCount(), 1);
    ASSERT_NE(first->GraphicControlExtension(), nullptr);
    EXPECT_EQ(first->GraphicControlExtension()->Delay(), 25);
}

TEST(OptimizerTrim, FirstFrameKeptEvenWhenFullyTransparent) {
    auto image = NewImage(2, 1);
    TGIFSubImage* first = AddFrame(*image, {0, 0, 2, 1, {1, 1}, {Red, Green}, 1, 0, 25});
    first->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(first));
    AddFrame(*image, {0, 0, 2, 1, {0, 0}, {Red}, -1, 0, 5});
    image->OptimizeFrames(osTrimFrames, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_EQ(image->Images().ItemCount(), 2);
    EXPECT_EQ(first->Width(), 2);
    EXPECT_EQ(first->Extensions().ItemCount(), 2);
}

// -------------------------------------------------- extension clean-up

TEST(OptimizerCleanup, LoopKeptOnlyOnFirstFrameOfAnAnimation) {
    auto image = NewImage(1, 1);
    TGIFSubImage* a = AddFrame(*image, {0, 0, 1, 1, {0}, {Red}, -1, 0, 10});
    TGIFSubImage* b = AddFrame(*image, {0, 0, 1, 1, {0}, {Green}, -1, 0, 0});
    a->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(a));
    a->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(a));
    b->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(b));
    auto comment = std::make_unique<TGIFCommentExtension>(b);
    comment->Comment = {"made by hand"};
    b->Extensions().AppendItem(std::move(comment));
    image->OptimizeFrames(osRemoveRedundant, rdmKeep24Bit, 8, dkNearestColor);
    // Frame 0: one loop and its control extension (delay 10).
    ASSERT_EQ(a->Extensions().ItemCount(), 2);
    EXPECT_NE(dynamic_cast<TGIFGraphicControlExtension*>(a->Extensions().ExtensionAt(0)), nullptr);
    EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(a->Extensions().ExtensionAt(1)), nullptr);
    // Frame 1: delay 0, opaque, disposal 0: nothing is needed.
    EXPECT_EQ(b->Extensions().ItemCount(), 0);
    EXPECT_EQ(b->GraphicControlExtension(), nullptr);
}

TEST(OptimizerCleanup, SingleFrameLosesLoopAndControlUnlessTransparentOrUserInput) {
    auto image = NewImage(1, 1);
    TGIFSubImage* a = AddFrame(*image, {0, 0, 1, 1, {0}, {Red}, -1, 2, 50});
    a->Extensions().AppendItem(TGIFAppExtNSLoop::CreateForFrame(a));
    image->OptimizeFrames(osRemoveRedundant, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_EQ(a->Extensions().ItemCount(), 0);

    auto second = NewImage(1, 1);
    TGIFSubImage* b = AddFrame(*second, {0, 0, 1, 1, {0}, {Red}, -1, 0, 50});
    b->GraphicControlExtension()->SetUserInput(true);
    second->OptimizeFrames(osRemoveRedundant, rdmKeep24Bit, 8, dkNearestColor);
    EXPECT_NE(b->GraphicControlExtension(), nullptr);
}

TEST(OptimizerCleanup, ReductionMethodCheckedOnlyWithoutCleanup) {
    auto image = NewImage(1, 1);
    AddFrame(*image, {0, 0, 1, 1, {0}, {Red}});
    try {
        image->OptimizeFrames(osValidateReduction, rdmCallerPalette, 8, dkNearestColor);
        FAIL() << "expected GIFException";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Invalid reduction method");
    }
    EXPECT_NO_THROW(image->OptimizeFrames(osValidateReduction | osRemoveRedundant, rdmCallerPalette,
                                          8, dkNearestColor));
    EXPECT_NO_THROW(image->OptimizeFrames(osValidateReduction, rdmOctree, 8, dkNearestColor));
}

TEST(OptimizerProgress, ReportsOptimizingFromZeroToHundred) {
    auto image = NewImage(1, 1);
    AddFrame(*image, {0, 0, 1, 1, {0}, {Red}});
    AddFrame(*image, {0, 0, 1, 1, {0}, {Green}});
    std::vector<int> percents;
    image->OnProgress = [&](TObject*, TProgressStage, Byte Percent, bool, const TRect&,
                            const std::string& Msg) {
        EXPECT_EQ(Msg, "Optimizing...");
        percents.push_back(Percent);
    };
    image->OptimizeFrames(0x0F, rdmKeep24Bit, 8, dkNearestColor);
    ASSERT_GE(percents.size(), 2u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
}

// -------------------------------------------------------- round trips

namespace {

// A random animation over a 9 x 7 screen with few colours, so that frames
// repeat each other's pixels; local and global maps, transparency and every
// disposal method.
std::unique_ptr<TGIFImage> RandomAnimation(std::mt19937& Rng) {
    const TColor palette[] = {Red, Green, Blue, White};
    auto image = NewImage(9, 7);
    for (TColor c : {Green, Red, White, Blue})
        image->GlobalColorMap().Add(c);
    image->Header().SetBackgroundColorIndex(Byte(Rng() % 4));
    const int frames = 2 + int(Rng() % 6);
    for (int i = 0; i < frames; ++i) {
        TFramePlan s;
        const bool full = i == 0 || Rng() % 3 == 0;
        s.Left = full ? 0 : int(Rng() % 6);
        s.Top = full ? 0 : int(Rng() % 5);
        s.Width = full ? 9 : 1 + int(Rng() % (9 - s.Left));
        s.Height = full ? 7 : 1 + int(Rng() % (7 - s.Top));
        if (Rng() % 2) {
            const int n = 2 + int(Rng() % 3);
            for (int k = 0; k < n; ++k)
                s.Local.push_back(palette[Rng() % 4]);
        }
        const int colors = s.Local.empty() ? 4 : int(s.Local.size());
        for (int k = 0; k < s.Width * s.Height; ++k)
            s.Pixels.push_back(Byte(Rng() % 5 == 0 ? 0 : Rng() % colors));
        if (Rng() % 2) s.Transparent = int(Rng() % colors);
        if (Rng() % 4) s.Disposal = int(Rng() % 4);
        s.Delay = int(Rng() % 3) * 5;
        AddFrame(*image, s);
        // Repeat frames now and then: the merge then empties whole frames.
        if (Rng() % 4 == 0) AddFrame(*image, s);
    }
    return image;
}

std::string Describe(TGIFImage& Image) {
    std::string s;
    for (int i = 0; i < Image.Images().ItemCount(); ++i) {
        const TGIFSubImage* f = Image.Images().FrameAt(i);
        const TGIFFrameView v = ViewOf(*f);
        const TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        s += "frame " + std::to_string(i) + " at " + std::to_string(v.Left) + "," +
             std::to_string(v.Top) + " " + std::to_string(v.Width) + "x" +
             std::to_string(v.Height) + " local " + std::to_string(f->ColorMap().Count()) + " T " +
             std::to_string(v.TransparentIndex) + " disp " + std::to_string(v.Disposal) +
             " delay " + std::to_string(gce ? gce->Delay() : -1) + " colours";
        for (int k = 0; k < v.ColorCount; ++k)
            s += " " + std::to_string(f->ActiveColorMap().Colors(k));
        s += " px";
        for (int k = 0; k < v.Width * v.Height; ++k)
            s += " " + std::to_string(v.Pixels[k]);
        s += "\n";
    }
    return s;
}

} // namespace

// Besides the rendering, the optimiser's choices (every frame's place, map,
// transparency and pixels) are held to those it made before its passes were
// made faster, through a hash of every optimised animation.
TEST(OptimizerRoundTrip, EveryStepKeepsTheRenderedAnimation) {
    std::mt19937 rng(2024);
    int merged = 0, deleted = 0;
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (int round = 0; round < 400; ++round) {
        for (TGIFOptimizeSteps steps :
             {TGIFOptimizeSteps(0x0F), TGIFOptimizeSteps(0x1F), osTrimFrames, osCombineFrames,
              osRemoveRedundant, osPackColorMaps}) {
            std::mt19937 copy = rng;
            auto image = RandomAnimation(copy);
            const int before = image->Images().ItemCount();
            const std::string original = Describe(*image);
            const auto expected = RenderTimeline(*image, White);
            image->OptimizeFrames(steps, rdmKeep24Bit, 8, dkNearestColor);
            ASSERT_EQ(RenderTimeline(*image, White), expected)
                << "round " << round << " steps " << int(steps) << "\n"
                << original << "after:\n"
                << Describe(*image);
            deleted += before - image->Images().ItemCount();
            for (int i = 0; i < image->Images().ItemCount(); ++i)
                merged += image->Images().FrameAt(i)->Transparent();
            for (char c : Describe(*image))
                hash = (hash ^ std::uint8_t(c)) * 0x100000001B3u;
        }
        RandomAnimation(rng);
    }
    EXPECT_EQ(hash, 0x67BD7BA9AE943DB5u) << std::hex << hash;
    // The rounds did exercise merging and deleting.
    EXPECT_GT(merged, 100);
    EXPECT_GT(deleted, 10);
}
