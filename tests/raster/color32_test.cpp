#include "raster/Color32.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Color32, Conversions) {
    EXPECT_EQ(MakeColor32(0x12, 0x34, 0x56, 0x78), 0x78123456u);
    EXPECT_EQ(MakeColor32(0x112, -1, 0x256), 0xFF12FF56u); // each cut to 8 bits
    EXPECT_EQ(ToColor32(TColor(0x00563412)), 0xFF123456u);
    EXPECT_EQ(ToWinColor(0x80123456u), TColor(0x00563412));
    EXPECT_EQ(WithAlpha(0x80123456u, -5), 0x00123456u);
    EXPECT_EQ(WithAlpha(0x80123456u, 300), 0xFF123456u);
    EXPECT_EQ(WithAlpha(0x80123456u, 0x41), 0x41123456u);
}

TEST(Color32, SystemColourBecomesOpaque) {
    const TColor rgb = ColorToRGB(clBtnFace);
    const TColor32 c = ToColor32(clBtnFace);
    EXPECT_EQ(AlphaComponent(c), 255);
    EXPECT_EQ(RedComponent(c), GetRValue(rgb));
    EXPECT_EQ(GreenComponent(c), GetGValue(rgb));
    EXPECT_EQ(BlueComponent(c), GetBValue(rgb));
    EXPECT_EQ(ToWinColor(c), rgb);
}

TEST(Color32, GammaTable) {
    InitRasterModules();
    // Values of Round(255 * (i / 255) ^ 0.7) computed independently.
    EXPECT_EQ(GammaTable[0], 0);
    EXPECT_EQ(GammaTable[1], 5);
    EXPECT_EQ(GammaTable[2], 9);
    EXPECT_EQ(GammaTable[64], 97);
    EXPECT_EQ(GammaTable[128], 157);
    EXPECT_EQ(GammaTable[200], 215);
    EXPECT_EQ(GammaTable[254], 254);
    EXPECT_EQ(GammaTable[255], 255);
    for (int i = 1; i < 256; ++i)
        EXPECT_GE(GammaTable[i], GammaTable[i - 1]);
    // A gamma of 1 is the identity (every value lands exactly on an integer).
    BuildGammaTable(1.0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(GammaTable[i], i);
    BuildGammaTable(0.5);
    EXPECT_EQ(GammaTable[64], 128); // 255 * sqrt(64/255) = 127.75
    BuildGammaTable();
    EXPECT_EQ(GammaTable[128], 157);
}

TEST(ColorOperators, KnownValuesPerChannel) {
    // Channels chosen so that each byte shows a different rule.
    EXPECT_EQ(ColorAdd(0x80FF0102u, 0x80020304u), 0xFFFF0406u);
    EXPECT_EQ(ColorSub(0x10FF0102u, 0x20020304u), 0x00FD0000u);
    // c1 = 0 gives 255; 255 * 256 div 2 saturates; 128 * 256 div 255 = 128.
    EXPECT_EQ(ColorDiv(0x0002FF40u, 0x12FF8020u), 0xFFFF8080u);
    EXPECT_EQ(ColorModulate(0xFFFF8010u, 0xFF80FF10u), 0xFE7F7F01u);
    EXPECT_EQ(ColorMax(0x01FF1020u, 0x02EE3010u), 0x02FF3020u);
    EXPECT_EQ(ColorMin(0x01FF1020u, 0x02EE3010u), 0x01EE1010u);
    EXPECT_EQ(ColorDifference(0x01FF1020u, 0x02EE3010u), 0x01112010u);
    // 255,255 -> 2; 128,128 -> 128; 255,1 -> 255; 0,0 -> 0.
    EXPECT_EQ(ColorExclusion(0xFF80FF00u, 0xFF800100u), 0x0280FF00u);
    // A half rounds up.
    EXPECT_EQ(ColorAverage(0x01FF0003u, 0x02FE0004u), 0x02FF0004u);
    EXPECT_EQ(ColorScale(0xFF804001u, 256), 0xFF804001u);
    EXPECT_EQ(ColorScale(0xFF804001u, 128), 0x7F402000u);
    EXPECT_EQ(ColorScale(0xFF804001u, 600), 0xFFFF9602u); // c * W >= 65536 gives 255
    EXPECT_EQ(ColorScale(0x01010101u, 0xFFFFFFFFu), 0xFFFFFFFFu);
}
