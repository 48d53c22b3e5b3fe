// Damaged or unsupported PCX, SGI, Photoshop and portable map files fail
// with their reader's own message; text headers with comments still read.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imageio/PcxReader.h"
#include "imageio/PortableMapReader.h"
#include "imageio/PsdReader.h"
#include "imageio/SgiReader.h"

using namespace imagetest;

namespace {
std::vector<Byte> Bytes(const std::string& s) {
    return std::vector<Byte>(s.begin(), s.end());
}
std::vector<Byte> Fixture(const char* topic, const char* name) {
    return ReadFile(DataPath(topic, name));
}
} // namespace

TEST(PcxFailures, HeaderAndColourFormatMessages) {
    TPCXGraphic g;
    auto file = Fixture("pcx", "pal8.pcx");
    file[0] = 11;
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Format de fichier PCX or SCR invalide ou inattendue.");
    file = Fixture("pcx", "mono.pcx");
    file[65] = 2; // two planes of one bit
    EXPECT_EQ(LoadMessage(g, file), "Format de couleur invalide dans le fichier PCX.");
    file = Fixture("pcx", "rgb24.pcx");
    file[66] = 5; // bytes per line too small for 13 pixels
    file[67] = 0;
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Format de fichier PCX or SCR invalide ou inattendue.");
}

TEST(PcxFailures, ScreenCaptureMarkerAndShortRawData) {
    TPCXGraphic g;
    auto file = Fixture("pcx", "rgb24.pcx");
    file[0] = 205;
    EXPECT_EQ(LoadMessage(g, file), "");
    EXPECT_EQ(g.Width(), 13);
    file[2] = 0; // raw: 273 bytes wanted, 100 there
    file.resize(128 + 100);
    EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier PCX.");
}

TEST(PcxFailures, Version3UsesTheSystemPalette) {
    TPCXGraphic g;
    auto file = Fixture("pcx", "pal16_packed.pcx");
    file[1] = 3;
    ASSERT_EQ(LoadMessage(g, file), "");
    EXPECT_EQ(g.Palette(), SystemPalette16());
}

TEST(SgiFailures, BadMagicAndMissingRows) {
    TSGIGraphic g;
    auto file = Fixture("sgi", "rgb_raw.sgi");
    file[1] = 0xDB;
    EXPECT_EQ(
        LoadMessage(g, file),
        "Ne peux pas charger l'image. Format de fichier sgi, bw or rgb(a) invalide ou inattendue.");
    file = Fixture("sgi", "rgb_raw.sgi");
    file.resize(file.size() - 10);
    EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier sgi, bw or rgb(a).");
    file = Fixture("sgi", "rgb_rle.sgi");
    file.resize(600); // the row tables are cut
    EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier sgi, bw or rgb(a).");
}

TEST(PsdFailures, SignatureVersionAndCompression) {
    TPSDGraphic g;
    auto file = Fixture("psd", "rgb_raw.psd");
    file[5] = 2; // version 2
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Format de fichier PSD or PDD invalide ou inattendue.");
    file = Fixture("psd", "rgb_raw.psd");
    file[25] = 5; // colour mode 5 does not exist
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Format de fichier PSD or PDD invalide ou inattendue.");
    file = Fixture("psd", "rgb_raw.psd");
    file.resize(file.size() - 1);
    EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier PSD or PDD.");
}

TEST(PsdFailures, ZipCompressionIsRefused) {
    // The smallest file: 1 x 1 grey, empty sections, compression 2 (ZIP).
    std::vector<Byte> file = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, // signature, version
                              0,   1,                                     // channels
                              0,   0,   0,   1,   0, 0, 0, 1,             // height, width
                              0,   8,   0,   1,                           // depth, grey mode
                              0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, // empty sections
                              0,   2,   0x78};                            // compression, data
    TPSDGraphic g;
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Le procédé de compression n'est pas supporté par les "
              "fichiers PSD or PDD.");
    file[39] = 0; // raw
    ASSERT_EQ(LoadMessage(g, file), "");
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0x787878));
}

TEST(PortableMapFailures, CommentsLineEndsAndMessages) {
    TPPMGraphic g;
    ASSERT_EQ(LoadMessage(g, Bytes("P2\r\n# made by hand\r\n2 # width\r\n1\n# max\n255\n0 255\n")),
              "");
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0));
    EXPECT_EQ(g.PixelColor(1, 0), TColor(0xFFFFFF));
    ASSERT_EQ(LoadMessage(g, Bytes("P1 3 1 1 0\n1")), "");
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0));
    EXPECT_EQ(g.PixelColor(1, 0), TColor(0xFFFFFF));
    EXPECT_EQ(g.PixelColor(2, 0), TColor(0));

    const std::string header =
        "Ne peux pas charger l'image. Format de fichier PBM, PGM or PPM invalide ou inattendue.";
    EXPECT_EQ(LoadMessage(g, Bytes("P7 1 1 255\n")), header);
    EXPECT_EQ(LoadMessage(g, Bytes("P6 3")), header);
    EXPECT_EQ(LoadMessage(g, Bytes("P6 0 3 255\n")), header);
    EXPECT_EQ(LoadMessage(g, Bytes("P5 1 1 0\n\x01")), header);
    EXPECT_EQ(LoadMessage(g, Bytes("P3 2 1 255\n1 2 3 4 5")),
              "Erreur de lecture de flux dans le fichier PPM.");
    EXPECT_EQ(LoadMessage(g, Bytes("P6 2 1 255\n\x01\x02\x03")),
              "Erreur de lecture de flux dans le fichier PPM.");
}

TEST(PortableMapFailures, MagicTest) {
    TPPMGraphic g;
    for (const char* ok : {"P1", "P4 1 1", "P6\n"}) {
        TBytesStream s(Bytes(ok));
        EXPECT_TRUE(g.AcceptsStream(s)) << ok;
    }
    for (const char* bad : {"P0", "P7", "p6", "P"}) {
        TBytesStream s(Bytes(bad));
        EXPECT_FALSE(g.AcceptsStream(s)) << bad;
    }
}
