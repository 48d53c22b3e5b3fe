// Colour tables: growth, search order, limits, conversions and their bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/GifColorMap.h"
#include "gif/GifImage.h"
#include "platform/classes/Stream.h"
#include "support/TestSupport.h"

namespace {
TColor Rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

} // namespace

TEST(GifColorMap, CapacityGrowsIn16ThenStepsOf32UpTo256) {
    TGIFColorMap Map;
    std::vector<std::pair<int, int>> Seen; // count -> capacity
    for (int i = 0; i < 256; ++i) {
        Map.Add(Rgb(i, 0, 0));
        Seen.emplace_back(Map.Count(), Map.Capacity());
    }
    EXPECT_EQ(Seen[0].second, 16);
    EXPECT_EQ(Seen[15].second, 16);
    EXPECT_EQ(Seen[16].second, 32); // 17 entries
    EXPECT_EQ(Seen[32].second, 64); // 33 entries
    EXPECT_EQ(Seen[240].second, 256);
    EXPECT_EQ(Seen[255].second, 256);
    EXPECT_EQ(MessageOf<GIFException>([&] { Map.Add(Rgb(1, 2, 3)); }), sGIFColorTableOverflow);
    EXPECT_EQ(Map.Count(), 256);
    // AddUnique of a present colour still works on a full table.
    EXPECT_EQ(Map.AddUnique(Rgb(7, 0, 0)), 7);
}

TEST(GifColorMap, IndexOfDependsOnTheSortFlag) {
    TGIFColorMap Map;
    Map.Add(Rgb(1, 1, 1));
    Map.Add(Rgb(9, 8, 7));
    Map.Add(Rgb(1, 1, 1));
    Map.Add(Rgb(2, 2, 2));
    EXPECT_EQ(Map.IndexOf(Rgb(1, 1, 1)), 2); // unsorted: last match
    Map.SetSorted(true);
    EXPECT_EQ(Map.IndexOf(Rgb(1, 1, 1)), 0); // sorted: first match
    EXPECT_EQ(Map.IndexOf(Rgb(3, 3, 3)), -1);
    // Changing the table clears the flag.
    Map.Add(Rgb(4, 4, 4));
    EXPECT_FALSE(Map.Sorted());
    Map.SetSorted(true);
    Map.Delete(4);
    EXPECT_FALSE(Map.Sorted());
    EXPECT_EQ(Map.AddUnique(Rgb(9, 8, 7)), 1);
    EXPECT_EQ(Map.AddUnique(Rgb(5, 5, 5)), 4);
}

TEST(GifColorMap, TripleOrderAndColourValues) {
    TGIFColorMap Map;
    Map.Add(TColor(0x00332211)); // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(Map.Data()[0], 0x11);
    EXPECT_EQ(Map.Data()[1], 0x22);
    EXPECT_EQ(Map.Data()[2], 0x33);
    EXPECT_EQ(Map.Colors(0), TColor(0x00332211));
}

TEST(GifColorMap, BadIndicesAndEmptyTable) {
    TGIFColorMap Map;
    EXPECT_EQ(MessageOf<GIFException>([&] { Map.Colors(0); }), sGIFEmptyColorMap);
    EXPECT_EQ(MessageOf<GIFException>([&] { Map.Delete(0); }), sGIFInvalidColor);
    Map.Add(Rgb(10, 20, 30));
    Map.Add(Rgb(40, 50, 60));
    EXPECT_EQ(MessageOf<GIFException>([&] { Map.Delete(2); }), sGIFInvalidColor);
    EXPECT_EQ(MessageOf<GIFException>([&] { Map.Delete(-1); }), sGIFInvalidColor);
    Map.Delete(0);
    EXPECT_EQ(Map.Count(), 1);
    EXPECT_EQ(Map.Colors(0), Rgb(40, 50, 60));
}

TEST(GifColorMap, OutOfRangeColourWarnsThroughTheImageAndGivesEntryZero) {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    Image.OnWarning = [&](TObject*, TGIFSeverity, const std::string& m) { Warnings.push_back(m); };
    Image.GlobalColorMap().Add(Rgb(5, 6, 7));
    Image.GlobalColorMap().Add(Rgb(8, 9, 10));
    EXPECT_EQ(Image.GlobalColorMap().Colors(5), Rgb(5, 6, 7));
    EXPECT_EQ(Warnings, std::vector<std::string>{sGIFInvalidColor});
}

TEST(GifColorMap, BitsPerPixel) {
    TGIFColorMap Map;
    EXPECT_EQ(Map.BitsPerPixel(), 0);
    const std::pair<int, int> Cases[] = {{1, 1},  {2, 1},  {3, 2},   {4, 2},   {5, 3},
                                         {16, 4}, {17, 5}, {128, 7}, {129, 8}, {256, 8}};
    for (auto [Count, Bits] : Cases) {
        Map.Clear();
        for (int i = 0; i < Count; ++i)
            Map.Add(Rgb(i, 0, 0));
        EXPECT_EQ(Map.BitsPerPixel(), Bits) << Count;
    }
}

TEST(GifColorMap, PaletteAndDibImportExport) {
    TGIFColorMap Map;
    EXPECT_TRUE(Map.ExportPalette().Empty());
    Map.Add(Rgb(1, 2, 3));
    Map.Add(Rgb(250, 251, 252));
    TPalette P = Map.ExportPalette();
    ASSERT_EQ(P.Count(), 2);
    EXPECT_EQ(P.Entry(1), (TPaletteEntry{250, 251, 252, PC_NOCOLLAPSE}));

    TGIFColorMap Back;
    Back.ImportPalette(P);
    EXPECT_EQ(Back.Count(), 2);
    EXPECT_EQ(Back.Colors(1), Rgb(250, 251, 252));

    // DIB colour tables hold blue, green, red, reserved.
    const Byte Quads[] = {30, 20, 10, 0, 3, 2, 1, 99};
    Back.ImportDIBColors(Quads, 2);
    EXPECT_EQ(Back.Colors(0), Rgb(10, 20, 30));
    EXPECT_EQ(Back.Colors(1), Rgb(1, 2, 3));

    // A palette of more than 256 entries is cut to 256.
    std::vector<TPaletteEntry> Big(300);
    TGIFColorMap Capped;
    Capped.ImportPalette(TPalette(Big));
    EXPECT_EQ(Capped.Count(), 256);
}

TEST(GifColorMap, AssignCopiesEverything) {
    TGIFColorMap A, B;
    for (int i = 0; i < 20; ++i)
        A.Add(Rgb(i, i, i));
    A.SetSorted(true);
    B.Assign(&A);
    EXPECT_EQ(B.Count(), 20);
    EXPECT_EQ(B.Capacity(), 32);
    EXPECT_TRUE(B.Sorted());
    EXPECT_EQ(B.Colors(19), Rgb(19, 19, 19));
}

TEST(GifColorMap, StreamBytesArePaddedToAPowerOfTwo) {
    TGIFColorMap Map;
    Map.Add(Rgb(1, 2, 3));
    Map.Add(Rgb(4, 5, 6));
    Map.Add(Rgb(7, 8, 9));
    TBytesStream Out;
    Map.SaveToStream(Out);
    EXPECT_EQ(Out.Bytes(), (std::vector<Byte>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));

    Out.SetPosition(0);
    TGIFColorMap In;
    In.LoadFromStream(Out, 4);
    EXPECT_EQ(In.Count(), 4);
    EXPECT_EQ(In.Colors(2), Rgb(7, 8, 9));

    TBytesStream Short(std::vector<Byte>{1, 2, 3, 4});
    EXPECT_EQ(MessageOf<GIFException>([&] { In.LoadFromStream(Short, 2); }), sGIFPrematureEOF);
    EXPECT_EQ(In.Count(), 0);
}
