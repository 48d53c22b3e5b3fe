#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using TEntries = std::vector<TMapEntry>;

TEntries ListOf(const TMappingTable& T, int I) {
    auto s = T[I];
    return TEntries(s.begin(), s.end());
}

// A kernel that gives no weight anywhere: every list falls back.
class TNullKernel : public TCustomKernel {
public:
    TFloat Filter(TFloat) const override { return 0; }
    TFloat GetWidth() const override { return 1; }
};

class MappingTable : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

} // namespace

TEST_F(MappingTable, DegenerateSpans) {
    TLinearKernel lin;
    EXPECT_TRUE(BuildMappingTable(0, 10, 0, 10, 5, 5, lin).Empty());     // no source
    EXPECT_TRUE(BuildMappingTable(0, 10, 4, 4, 0, 5, lin).Empty());      // no clip
    const TMappingTable one = BuildMappingTable(0, 10, 2, 7, 5, 6, lin); // one source column
    ASSERT_EQ(one.Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ListOf(one, i), (TEntries{{5, 256}}));
}

TEST_F(MappingTable, EnlargingTwoColumnsIntoFourWithTheLinearKernel) {
    TLinearKernel lin;
    const TMappingTable t = BuildMappingTable(0, 4, 0, 4, 0, 2, lin);
    ASSERT_EQ(t.Count(), 4);
    // Centres -0.25, 0.25, 0.75, 1.25; positions outside 0..1 are clamped.
    EXPECT_EQ(ListOf(t, 0), (TEntries{{0, 64}, {0, 192}}));
    EXPECT_EQ(ListOf(t, 1), (TEntries{{0, 192}, {1, 64}}));
    EXPECT_EQ(ListOf(t, 2), (TEntries{{0, 64}, {1, 192}}));
    EXPECT_EQ(ListOf(t, 3), (TEntries{{1, 192}, {1, 64}}));

    // A clip inside the destination gives the same lists for its columns.
    const TMappingTable c = BuildMappingTable(0, 4, 2, 4, 0, 2, lin);
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(ListOf(c, 0), ListOf(t, 2));
    EXPECT_EQ(ListOf(c, 1), ListOf(t, 3));
}

TEST_F(MappingTable, ShrinkingCorrectsTheMiddleEntryTo256) {
    TLinearKernel lin;
    // 3 -> 2: the first list rounds to 28 + 142 + 85 = 255, so its middle
    // entry (index (3 - 1) div 2 = 1) takes the missing 1.
    const TMappingTable t = BuildMappingTable(0, 2, 0, 2, 0, 3, lin);
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(ListOf(t, 0), (TEntries{{0, 28}, {0, 143}, {1, 85}}));

    // 4 -> 2: four taps of 32, 96, 96, 32.
    const TMappingTable h = BuildMappingTable(0, 2, 0, 2, 0, 4, lin);
    EXPECT_EQ(ListOf(h, 0), (TEntries{{0, 32}, {0, 96}, {1, 96}, {2, 32}}));
    EXPECT_EQ(ListOf(h, 1), (TEntries{{1, 32}, {2, 96}, {3, 96}, {3, 32}}));
}

TEST_F(MappingTable, EveryListSumsTo256WithPositionsInsideTheSource) {
    for (int i = 0; i < KernelList()->Count(); ++i) {
        std::unique_ptr<TCustomKernel> k(
            static_cast<const TKernelClass*>(KernelList()->Get(i))->Create());
        for (auto [src, dst] :
             {std::pair{7, 3}, {3, 7}, {10, 10}, {468, 728}, {60, 90}, {13, 5}, {2, 9}, {100, 1}}) {
            const int srcLo = 3, dstLo = -2;
            const TMappingTable t =
                BuildMappingTable(dstLo, dstLo + dst, dstLo, dstLo + dst, srcLo, srcLo + src, *k);
            ASSERT_EQ(t.Count(), dst);
            for (int c = 0; c < t.Count(); ++c) {
                int sum = 0;
                ASSERT_FALSE(t[c].empty());
                for (const TMapEntry& e : t[c]) {
                    sum += e.Weight;
                    EXPECT_GE(e.Pos, srcLo);
                    EXPECT_LT(e.Pos, srcLo + src);
                }
                EXPECT_EQ(sum, 256) << k->ClassName() << " " << src << "->" << dst << " list " << c;
            }
        }
    }
}

TEST_F(MappingTable, ListsTheKernelLeavesEmptyTakeTheNearestPixel) {
    TNullKernel none;
    const TMappingTable up = BuildMappingTable(0, 8, 0, 8, 0, 4, none);
    ASSERT_EQ(up.Count(), 8);
    // Centre -0.5 + (I + 0.5) / 2: floor -1 (clamped to 0), 0, 0, 1, 1, 2, 2, 3.
    const int expected[8] = {0, 0, 0, 1, 1, 2, 2, 3};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ListOf(up, i), (TEntries{{expected[i], 256}})) << i;
    const TMappingTable down = BuildMappingTable(0, 2, 0, 2, 0, 8, none);
    EXPECT_EQ(ListOf(down, 0), (TEntries{{1, 256}}));
    EXPECT_EQ(ListOf(down, 1), (TEntries{{5, 256}}));
}

TEST_F(MappingTable, ExtremePositionsOfAllLists) {
    // With a Lanczos kernel a list whose centre falls on a pixel holds that
    // pixel alone, while its neighbour reaches further left: the first
    // list does not bound the others.
    TLanczosKernel lanczos;
    const TMappingTable t = BuildMappingTable(0, 30, 4, 30, 0, 10, lanczos);
    EXPECT_EQ(ListOf(t, 0), (TEntries{{1, 256}}));
    EXPECT_LT(t[1][0].Pos, 1);
    EXPECT_EQ(t.MinPos(), 0);
    EXPECT_EQ(t.MaxPos(), 9);
}
