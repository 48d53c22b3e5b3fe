// The Targa reader on hand-built headers and the Targa writer's round trips.
#include <gtest/gtest.h>

#include <random>

#include "ImageTestSupport.h"
#include "imageio/TargaReader.h"

using namespace imagetest;

namespace {

// An 18-byte Targa header.
std::vector<Byte> Header(Byte mapType, Byte imageType, Word mapStart, Word mapLength,
                         Byte mapEntryBits, Word width, Word height, Byte depth, Byte descriptor) {
    return {0,         // id length
            mapType,   // colour map type
            imageType, // image type
            Byte(mapStart),
            Byte(mapStart >> 8), // first map index
            Byte(mapLength),
            Byte(mapLength >> 8), // map length
            mapEntryBits,         // map entry size
            0,
            0,
            0,
            0, // x and y origin
            Byte(width),
            Byte(width >> 8), // width
            Byte(height),
            Byte(height >> 8), // height
            depth,             // pixel depth
            descriptor};       // bit 5: top-down
}

std::vector<Byte> Save(const TTargaGraphic& g) {
    TMemoryStream s;
    g.SaveToStream(s);
    const Byte* p = static_cast<const Byte*>(s.Memory());
    return std::vector<Byte>(p, p + s.Size());
}

// A bitmap of noise with runs, so that both packet kinds are written.
void Fill(TBitmap& b, unsigned seed) {
    std::mt19937 rng(seed);
    const int bytes = BitsPerPixel(b.PixelFormat()) / 8;
    for (int y = 0; y < b.Height(); ++y) {
        Byte* line = b.ScanLine(y);
        for (int x = 0; x < b.Width(); ++x) {
            const bool run = (x / 9) % 2 == 0;
            for (int k = 0; k < bytes; ++k)
                line[x * bytes + k] = run ? Byte(y * 7 + k) : Byte(rng());
        }
    }
}

} // namespace

TEST(TargaReader, TopDownAndBottomUpRowsLandUpright) {
    for (Byte descriptor : {Byte(0x20), Byte(0x00)}) {
        auto file = Header(0, 2, 0, 0, 0, 2, 2, 24, descriptor);
        // First stored row: blue, green; second: red, white (B, G, R bytes).
        const std::vector<Byte> rows = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
        file.insert(file.end(), rows.begin(), rows.end());
        TTargaGraphic g;
        ASSERT_EQ(LoadMessage(g, file), "");
        const int first = descriptor ? 0 : 1;
        EXPECT_EQ(g.PixelColor(0, first), TColor(0xFF0000));
        EXPECT_EQ(g.PixelColor(1, first), TColor(0x00FF00));
        EXPECT_EQ(g.PixelColor(0, 1 - first), TColor(0x0000FF));
        EXPECT_EQ(g.PixelColor(1, 1 - first), TColor(0xFFFFFF));
    }
}

TEST(TargaReader, FifteenBitColourMapIsFollowedByThePixels) {
    // Three 16-bit map entries starting at index 1: red, green, blue in
    // 5-5-5; then 3 x 1 pixels, top-down, an id of 2 bytes before the map.
    auto file = Header(1, 1, 1, 3, 16, 3, 1, 8, 0x20);
    file[0] = 2;
    file.insert(file.end(), {'i', 'd'});
    file.insert(file.end(), {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00});
    file.insert(file.end(), {3, 1, 2});
    TTargaGraphic g;
    ASSERT_EQ(LoadMessage(g, file), "");
    ASSERT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0xF80000)); // blue
    EXPECT_EQ(g.PixelColor(1, 0), TColor(0x0000F8)); // red
    EXPECT_EQ(g.PixelColor(2, 0), TColor(0x00F800)); // green
}

TEST(TargaReader, FifteenBitPixelsGiveAFifteenBitBitmap) {
    auto file = Header(0, 10, 0, 0, 0, 4, 1, 16, 0x20);
    file.insert(file.end(), {0x83, 0x00, 0x7C}); // run of 4 red pixels
    TTargaGraphic g;
    ASSERT_EQ(LoadMessage(g, file), "");
    ASSERT_EQ(g.PixelFormat(), pf15bit);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(g.PixelColor(x, 0), TColor(0x0000FF)) << x;
}

TEST(TargaReader, RunsMayCrossRowEnds) {
    // 3 x 2 grey picture: one run packet of 4 pixels, then a raw packet of 2.
    auto file = Header(0, 11, 0, 0, 0, 3, 2, 8, 0x20);
    file.insert(file.end(), {0x83, 50, 0x01, 60, 70});
    TTargaGraphic g;
    ASSERT_EQ(LoadMessage(g, file), "");
    const Byte want[2][3] = {{50, 50, 50}, {50, 60, 70}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(g.ScanLine(y)[x], want[y][x]);
    EXPECT_EQ(g.Palette().Count(), 256);
}

TEST(TargaReader, UnreadableHeadersAreRefusedWithTheFormatMessage) {
    const std::vector<std::vector<Byte>> files = {
        {0, 0, 2, 0, 0},                     // cut short
        Header(0, 7, 0, 0, 0, 2, 2, 24, 0),  // unknown image type
        Header(0, 2, 0, 0, 0, 2, 2, 12, 0),  // unknown depth
        Header(0, 2, 0, 0, 0, 0, 2, 24, 0)}; // no width
    for (const auto& file : files) {
        TTargaGraphic g;
        EXPECT_EQ(LoadMessage(g, file),
                  "Ne peux pas charger l'image. Format de fichier Targa invalide ou inattendue.");
    }
}

TEST(TargaReader, MissingPixelsRaiseTheStreamMessage) {
    auto file = Header(0, 2, 0, 0, 0, 4, 4, 24, 0);
    file.resize(file.size() + 20);
    TTargaGraphic g;
    EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier Targa.");
}

TEST(TargaReader, MagicTestWantsAKnownTypeDepthAndMap) {
    auto good = Header(0, 2, 0, 0, 0, 1, 1, 24, 0);
    good.insert(good.end(), {1, 2, 3});
    auto badDepth = good;
    badDepth[16] = 12;
    auto badMap = good;
    badMap[1] = 1;
    badMap[7] = 8;
    TTargaGraphic g;
    TBytesStream a(good), b(badDepth), c(badMap);
    EXPECT_TRUE(g.AcceptsStream(a));
    EXPECT_FALSE(g.AcceptsStream(b));
    EXPECT_FALSE(g.AcceptsStream(c));
    good.resize(18); // nothing after the header
    TBytesStream d(good);
    EXPECT_FALSE(g.AcceptsStream(d));
}

TEST(TargaWriter, TrueColourRoundTripAndHeader) {
    for (TPixelFormat format : {pf24bit, pf32bit, pf15bit}) {
        SCOPED_TRACE(int(format));
        TTargaGraphic g;
        g.SetPixelFormat(format);
        g.SetSize(301, 5);
        Fill(g, 11);
        if (format == pf15bit)
            for (int y = 0; y < g.Height(); ++y)
                for (int x = 0; x < g.Width(); ++x)
                    g.ScanLine(y)[x * 2 + 1] &= 0x7F;
        const auto file = Save(g);
        const int depth = BitsPerPixel(format);
        const std::vector<Byte> want = {
            0, 0, 10, 0, 0, 0, 1, 24, 0, 0, 0, 0, Byte(301 & 0xFF), 1, 5, 0, Byte(depth), 0x20};
        ASSERT_GE(file.size(), 18u);
        EXPECT_EQ(std::vector<Byte>(file.begin(), file.begin() + 18), want);
        TTargaGraphic back;
        ASSERT_EQ(LoadMessage(back, file), "");
        ASSERT_EQ(back.PixelFormat(), format);
        EXPECT_EQ(back.Image().Bits, g.Image().Bits);
    }
}

TEST(TargaWriter, PalettedBitmapsKeepIndicesAndPalette) {
    TTargaGraphic g;
    g.SetPixelFormat(pf8bit);
    std::vector<TPaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i)
        entries[i] = {Byte(i), Byte(255 - i), Byte(i * 3), 0};
    g.SetPalette(TPalette(entries));
    g.SetSize(130, 3);
    Fill(g, 5);
    const auto file = Save(g);
    ASSERT_GE(file.size(), 18u + 768u);
    EXPECT_EQ(file[1], 1);
    EXPECT_EQ(file[2], 9);
    EXPECT_EQ(file[16], 8);
    // Entry 1 written blue, green, red.
    EXPECT_EQ(file[18 + 3], 3);
    EXPECT_EQ(file[18 + 4], 254);
    EXPECT_EQ(file[18 + 5], 1);
    TTargaGraphic back;
    ASSERT_EQ(LoadMessage(back, file), "");
    EXPECT_EQ(back.Image().Bits, g.Image().Bits);
    EXPECT_EQ(back.Palette().Entries(), g.Palette().Entries());
}

TEST(TargaWriter, OneBitBitmapsAreWidenedAndEmptyOnesWriteNothing) {
    TTargaGraphic g;
    g.SetPixelFormat(pf1bit);
    g.SetPalette(MonochromePalette());
    g.SetSize(9, 2);
    g.ScanLine(0)[0] = 0xA0; // pixels 0 and 2 white
    const auto file = Save(g);
    TTargaGraphic back;
    ASSERT_EQ(LoadMessage(back, file), "");
    ASSERT_EQ(back.PixelFormat(), pf8bit);
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(back.PixelColor(x, 0), g.PixelColor(x, 0)) << x;
    TTargaGraphic empty;
    EXPECT_TRUE(Save(empty).empty());
}
