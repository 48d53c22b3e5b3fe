#include "raster/RasterCore.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace {

using TPixelSet = std::set<std::pair<int, int>>;

class DrawLine : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
    void SetUp() override {
        B.SetDimensions(21, 21);
        B.ClearToColor(0);
        B.OnAreaChanged = [this](TObject*, const TRect& R, Cardinal I) {
            Areas.push_back(R);
            Infos.push_back(I);
        };
    }
    TPixelSet Written() const {
        TPixelSet s;
        for (int y = 0; y < B.Height(); ++y)
            for (int x = 0; x < B.Width(); ++x)
                if (B.ReadPixel(x, y) != 0) s.insert({x, y});
        return s;
    }
    TBitmap32 B;
    std::vector<TRect> Areas;
    std::vector<Cardinal> Infos;
};

constexpr TColor32 Ink = 0xFFABCDEFu;

TEST_F(DrawLine, HorizontalAndVerticalEndPointRule) {
    B.DrawLine(0, 0, 3, 0, Ink, false);
    EXPECT_EQ(Written(), (TPixelSet{{0, 0}, {1, 0}, {2, 0}}));
    B.ClearToColor(0);
    B.DrawLine(0, 0, 3, 0, Ink, true);
    EXPECT_EQ(Written().size(), 4u);
    B.ClearToColor(0);
    B.DrawLine(5, 2, 2, 2, Ink, false); // right to left: the start pixel is kept
    EXPECT_EQ(Written(), (TPixelSet{{3, 2}, {4, 2}, {5, 2}}));
    B.ClearToColor(0);
    B.DrawLine(1, 1, 1, 4, Ink, false);
    EXPECT_EQ(Written(), (TPixelSet{{1, 1}, {1, 2}, {1, 3}}));
    B.ClearToColor(0);
    B.DrawLine(1, 4, 1, 1, Ink, true);
    EXPECT_EQ(Written(), (TPixelSet{{1, 1}, {1, 2}, {1, 3}, {1, 4}}));
}

TEST_F(DrawLine, EqualEndPointsStillReportTheArea) {
    Areas.clear();
    B.DrawLine(4, 4, 4, 4, Ink, false);
    EXPECT_TRUE(Written().empty());
    B.DrawLine(4, 4, 4, 4, Ink, true);
    EXPECT_EQ(Written(), (TPixelSet{{4, 4}}));
    ASSERT_EQ(Areas.size(), 2u);
    EXPECT_EQ(Areas[0], (TRect{4, 4, 4, 4}));
    EXPECT_EQ(Infos[0], 0x40000002u);
}

TEST_F(DrawLine, KnownShallowAndSteepLines) {
    // Error starts at |Dx| div 2 and steps the minor axis when it reaches |Dx|.
    B.DrawLine(0, 0, 4, 2, Ink, false);
    EXPECT_EQ(Written(), (TPixelSet{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));
    B.ClearToColor(0);
    B.DrawLine(0, 0, 2, 4, Ink, true);
    EXPECT_EQ(Written(), (TPixelSet{{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}));
    B.ClearToColor(0);
    B.DrawLine(0, 0, 3, 3, Ink, false);
    EXPECT_EQ(Written(), (TPixelSet{{0, 0}, {1, 1}, {2, 2}}));
}

// Every octant from the centre: the line has one pixel per step of the major
// axis, starts at the start point, moves at most one pixel per axis between
// steps, ends next to the end point, and covers the end point with L.
TEST_F(DrawLine, AllOctants) {
    const std::vector<std::pair<int, int>> ends = {{17, 13}, {13, 17}, {3, 17}, {7, 13},
                                                   {3, 7},   {7, 3},   {13, 3}, {17, 7},
                                                   {20, 11}, {0, 9},   {11, 0}, {9, 20}};
    for (auto [x2, y2] : ends) {
        for (bool l : {false, true}) {
            B.ClearToColor(0);
            Areas.clear();
            B.DrawLine(10, 10, x2, y2, Ink, l);
            const int ax = std::abs(x2 - 10), ay = std::abs(y2 - 10);
            const int major = std::max(ax, ay);
            const TPixelSet px = Written();
            EXPECT_EQ(int(px.size()), major + (l ? 1 : 0)) << x2 << "," << y2;
            EXPECT_TRUE(px.count({10, 10}));
            EXPECT_EQ(px.count({x2, y2}), l ? 1u : 0u) << x2 << "," << y2;
            // Walk along the major axis: each pixel is one step on from the last.
            std::vector<std::pair<int, int>> ordered(px.begin(), px.end());
            std::sort(ordered.begin(), ordered.end(), [&](auto a, auto b) {
                return ax > ay ? std::abs(a.first - 10) < std::abs(b.first - 10)
                               : std::abs(a.second - 10) < std::abs(b.second - 10);
            });
            for (std::size_t i = 1; i < ordered.size(); ++i) {
                EXPECT_LE(std::abs(ordered[i].first - ordered[i - 1].first), 1);
                EXPECT_LE(std::abs(ordered[i].second - ordered[i - 1].second), 1);
            }
            const auto last = ordered.back();
            EXPECT_LE(std::abs(last.first - x2), 1);
            EXPECT_LE(std::abs(last.second - y2), 1);
            ASSERT_EQ(Areas.size(), 1u);
            EXPECT_EQ(Areas[0], (TRect{10, 10, x2, y2}));
        }
    }
}

} // namespace
