#include "raster/RasterRepaintOpt.h"

#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A layer that fills its box (what the optimiser measures).
class TFillLayer : public TCustomLayer {
public:
    QM_LAYERCLASS(TFillLayer)
    explicit TFillLayer(TLayerCollection* C) : TCustomLayer(C) {}
    TRect Box{10, 10, 20, 20};
    void MoveTo(const TRect& R) {
        Changing();
        Box = R;
        Changed();
    }

protected:
    void Paint(TBitmap32* Buffer) override {
        Buffer->FillRectangleClipped(Box.Left, Box.Top, Box.Right, Box.Bottom, 0xFFFF0000u);
    }
};

class RepaintOptimizer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    void SetUp() override {
        Buffer.SetDimensions(200, 100);
        Opt.AttachLayerCollection(&Layers);
    }
    // What the next paint would cover, as the control runs it.
    std::vector<TRect> Paint() {
        Rects.Clear();
        Opt.BeginPaintBuffer();
        Opt.PerformOptimization();
        std::vector<TRect> out;
        for (int i = 0; i < Rects.Count(); ++i)
            out.push_back(*Rects.Items(i));
        Opt.EndPaintBuffer();
        return out;
    }
    TBitmap32 Buffer;
    TRectList Rects;
    TLayerCollection Layers{nullptr};
    TMicroTilesRepaintOptimizer Opt{&Buffer, &Rects};
};

using RectVec = std::vector<TRect>;

} // namespace

TEST_F(RepaintOptimizer, EnablingRepaintsAllThenOnlyChangedAreas) {
    EXPECT_FALSE(Opt.Enabled());
    EXPECT_EQ(Layers.Listener(), nullptr);
    Opt.SetAdaptiveMode(false);
    Opt.SetEnabled(true);
    EXPECT_EQ(Layers.Listener(), &Opt);
    EXPECT_EQ(Paint(), (RectVec{{0, 0, 200, 100}}));
    EXPECT_FALSE(Opt.UpgradeAvailable());
    EXPECT_TRUE(Paint().empty());
    Opt.AreaUpdated({10, 10, 20, 20}, AREAINFO_RECT);
    Opt.AreaUpdated({150, 90, 250, 150}, AREAINFO_RECT);
    EXPECT_TRUE(Opt.UpgradeAvailable());
    EXPECT_EQ(Paint(), (RectVec{{10, 10, 20, 20}, {150, 90, 200, 100}}));

    Buffer.SetDimensions(64, 32);
    Opt.BufferResized(64, 32);
    EXPECT_EQ(Paint(), (RectVec{{0, 0, 64, 32}}));

    Opt.SetEnabled(false);
    EXPECT_EQ(Layers.Listener(), nullptr);
    Opt.AreaUpdated({10, 10, 20, 20}, AREAINFO_RECT);
    EXPECT_TRUE(Paint().empty());
}

TEST_F(RepaintOptimizer, MovedAndRemovedLayersRepaintOldAndNewAreas) {
    Opt.SetAdaptiveMode(false);
    auto* layer = Layers.Add<TFillLayer>();
    Opt.SetEnabled(true);
    EXPECT_EQ(Paint(), (RectVec{{10, 10, 20, 20}, {0, 0, 200, 100}}));
    EXPECT_FALSE(layer->Invalid());
    EXPECT_TRUE(Buffer.ReadPixel(15, 15) == 0); // measured, not drawn

    layer->MoveTo({50, 50, 60, 60});
    EXPECT_TRUE(layer->Invalid());
    EXPECT_EQ(Paint(), (RectVec{{10, 10, 20, 20}, {50, 50, 60, 60}}));

    layer->SetVisible(false);
    EXPECT_EQ(Paint(), (RectVec{{50, 50, 60, 60}}));
    layer->SetVisible(true);
    Paint();

    delete layer;
    EXPECT_EQ(Paint(), (RectVec{{50, 50, 60, 60}}));

    // A layer added later is measured at once, so its first move is clean.
    auto* second = Layers.Add<TFillLayer>();
    EXPECT_EQ(Paint(), (RectVec{{10, 10, 20, 20}}));
    second->MoveTo({100, 10, 110, 20});
    EXPECT_EQ(Paint(), (RectVec{{10, 10, 20, 20}, {100, 10, 110, 20}}));

    Layers.Clear();
    EXPECT_EQ(Paint(), (RectVec{{100, 10, 110, 20}}));
}

TEST_F(RepaintOptimizer, PerformanceLevels) {
    Opt.SetAdaptiveMode(false);
    Opt.SetEnabled(true);
    Paint();
    Opt.SetPerformanceLevel(PL_MINIMIZEDTILES);
    Opt.AreaUpdated({10, 10, 20, 20}, AREAINFO_RECT);
    Opt.AreaUpdated({40, 0, 41, 1}, AREAINFO_RECT);
    EXPECT_EQ(Paint(), (RectVec{{0, 0, 64, 32}}));
    Opt.SetPerformanceLevel(7);
    EXPECT_EQ(Opt.PerformanceLevel(), PL_FULLSCENE);
}

TEST_F(RepaintOptimizer, AdaptiveLevelFollowsPaintTimes) {
    Cardinal now = 0;
    std::int64_t elapsed = 0;
    Opt.TickSource = [&] { return now; };
    Opt.ElapsedSource = [&] { return elapsed; };
    Opt.SetEnabled(true);
    // A whole repaint (empty list) sets the reference time.
    Rects.Clear();
    Opt.BeginPaintBuffer();
    elapsed = 1000;
    Opt.EndPaintBuffer();

    // Slower than a whole repaint: one level up, marked failed.
    Opt.AreaUpdated({0, 0, 5, 5}, AREAINFO_RECT);
    elapsed = 2000;
    Paint();
    EXPECT_EQ(Opt.PerformanceLevel(), PL_MINIMIZEDTILES);
    EXPECT_TRUE(Opt.AdaptionFailed());
    Opt.AreaUpdated({0, 0, 5, 5}, AREAINFO_RECT);
    Paint();
    EXPECT_EQ(Opt.PerformanceLevel(), PL_FULLSCENE);
    // At the top level the list is emptied: the whole buffer repaints.
    Opt.AreaUpdated({0, 0, 5, 5}, AREAINFO_RECT);
    EXPECT_TRUE(Paint().empty());
    EXPECT_EQ(Opt.PerformanceLevel(), PL_FULLSCENE);

    // Past the next check: one level down and a timed check; a failure
    // during it is penalised.
    now = 10;
    Opt.AreaUpdated({0, 0, 5, 5}, AREAINFO_RECT);
    elapsed = 3000;
    Paint();
    EXPECT_EQ(Opt.PerformanceLevel(), PL_FULLSCENE);
    EXPECT_EQ(Opt.TimeDelta(), 1250);
    EXPECT_EQ(Opt.NextCheck(), 1260u);
    EXPECT_FALSE(Opt.TimedCheck());

    // Faster during a timed check: the delay goes back to 1000.
    now = 1300;
    Opt.AreaUpdated({0, 0, 5, 5}, AREAINFO_RECT);
    elapsed = 100;
    Paint();
    EXPECT_EQ(Opt.PerformanceLevel(), PL_MINIMIZEDTILES);
    EXPECT_EQ(Opt.TimeDelta(), 1000);
    EXPECT_EQ(Opt.NextCheck(), 2300u);
    EXPECT_FALSE(Opt.AdaptionFailed());

    Opt.Reset();
    EXPECT_EQ(Opt.PerformanceLevel(), PL_MICROTILES);
    EXPECT_EQ(Paint(), (RectVec{{0, 0, 200, 100}}));
}

TEST(RepaintOptimizerLifetime, CollectionMayDieFirst) {
    TBitmap32 buffer;
    buffer.SetDimensions(50, 50);
    TRectList rects;
    TMicroTilesRepaintOptimizer opt(&buffer, &rects);
    {
        TLayerCollection layers(nullptr);
        opt.AttachLayerCollection(&layers);
        opt.SetEnabled(true);
        layers.Add<TCustomLayer>()->Changed();
        EXPECT_EQ(opt.InvalidLayers().size(), 1u);
    }
    EXPECT_TRUE(opt.LayerCollections().empty());
    EXPECT_TRUE(opt.InvalidLayers().empty());
    opt.PerformOptimization();
    EXPECT_EQ(rects.Count(), 1);
}
