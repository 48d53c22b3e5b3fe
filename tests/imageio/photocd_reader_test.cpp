// Photo-CD image packs built in memory: the header sectors, then the base
// image (or the overview picture) as two luminance rows and one row of each
// chroma per pair of rows.
#include <gtest/gtest.h>

#include <cstring>

#include "ImageTestSupport.h"
#include "imageio/PhotoCDReader.h"

using namespace imagetest;

namespace {

constexpr int Sector = 2048;

// Y = luma everywhere except Marker at stored pixel (0, 0); the chroma at
// the PhotoYCC neutral points (156 for C1, 137 for C2) so that every pixel
// is a grey.
std::vector<Byte> PhotoCD(bool overview, Byte rotation, Byte luma = 100, Byte marker = 200) {
    const int width = overview ? 192 : 768;
    const int height = overview ? 128 : 512;
    const int start = overview ? 5 : 96;
    std::vector<Byte> f(std::size_t(start) * Sector, 0);
    if (overview)
        std::memcpy(f.data(), "PCD_OPA", 7);
    else
        std::memcpy(f.data() + Sector, "PCD_IPI", 7);
    f[0x0E02] = rotation;
    for (int pair = 0; pair < height / 2; ++pair) {
        std::vector<Byte> rows(std::size_t(width) * 3, luma);
        std::memset(rows.data() + 2 * width, 156, width / 2);
        std::memset(rows.data() + 2 * width + width / 2, 137, width / 2);
        if (pair == 0) rows[0] = marker;
        f.insert(f.end(), rows.begin(), rows.end());
    }
    return f;
}

int Grey(const TBitmap& b, int x, int y) {
    return Pixel(b, x, y)[1];
}

} // namespace

TEST(PhotoCDReader, BaseImageIs768By512Greys) {
    TPCDGraphic g;
    ASSERT_EQ(LoadMessage(g, PhotoCD(false, 0)), "");
    ASSERT_EQ(g.Width(), 768);
    ASSERT_EQ(g.Height(), 512);
    ASSERT_EQ(g.PixelFormat(), pf24bit);
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0xC8C8C8));
    EXPECT_EQ(g.PixelColor(1, 0), TColor(0x646464));
    EXPECT_EQ(g.PixelColor(767, 511), TColor(0x646464));
    TBytesStream s(PhotoCD(false, 0));
    EXPECT_TRUE(g.AcceptsStream(s));
}

TEST(PhotoCDReader, RotatedPacksAreTurnedUpright) {
    struct TCase {
        Byte Rotation;
        int Width, Height, MarkerX, MarkerY;
    };
    for (const TCase c :
         {TCase{1, 512, 768, 0, 767}, TCase{2, 768, 512, 767, 511}, TCase{3, 512, 768, 511, 0}}) {
        SCOPED_TRACE(int(c.Rotation));
        TPCDGraphic g;
        ASSERT_EQ(LoadMessage(g, PhotoCD(false, c.Rotation)), "");
        ASSERT_EQ(g.Width(), c.Width);
        ASSERT_EQ(g.Height(), c.Height);
        EXPECT_EQ(Grey(g, c.MarkerX, c.MarkerY), 200);
        EXPECT_EQ(Grey(g, 1, 1), 100);
    }
}

TEST(PhotoCDReader, OverviewPackGivesTheSmallPicture) {
    TPCDGraphic g;
    ASSERT_EQ(LoadMessage(g, PhotoCD(true, 0, 30, 40)), "");
    EXPECT_TRUE(g.ImageProperties().Overview);
    ASSERT_EQ(g.Width(), 192);
    ASSERT_EQ(g.Height(), 128);
    EXPECT_EQ(Grey(g, 0, 0), 40);
    EXPECT_EQ(Grey(g, 191, 127), 30);
}

TEST(PhotoCDReader, BadHeadersAndShortDataAreRefused) {
    TPCDGraphic g;
    auto noMagic = PhotoCD(false, 0);
    noMagic[Sector] = 'X';
    const std::string bad =
        "Ne peux pas charger l'image. Format de fichier PCD invalide ou inattendue.";
    EXPECT_EQ(LoadMessage(g, noMagic), bad);
    EXPECT_EQ(LoadMessage(g, std::vector<Byte>(3000, 0)), bad);
    auto cut = PhotoCD(false, 0);
    cut.resize(cut.size() - 100);
    EXPECT_EQ(LoadMessage(g, cut), "Erreur de lecture de flux dans le fichier PCD.");
}

TEST(PhotoCDReader, ChromaUpsamplingAveragesNeighbours) {
    // 2 x 2 samples enlarged to 4 x 4.
    Byte plane[16] = {10, 20, 30, 50};
    TPCDGraphic::UpsamplePlane(plane, 4, 4);
    const Byte want[16] = {10, 15, 20, 20, //
                           20, 28, 35, 35, //
                           30, 40, 50, 50, //
                           30, 40, 50, 50};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(plane[i], want[i]) << i;
}
