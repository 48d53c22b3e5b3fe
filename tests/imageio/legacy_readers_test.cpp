// Autodesk, Dr. Halo CUT and Wavefront RLA pictures built byte by byte (no
// common tool writes them).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>

#include "ImageTestSupport.h"
#include "imageio/AutodeskReader.h"
#include "imageio/CutReader.h"
#include "imageio/PictureReaders.h"
#include "imageio/RlaReader.h"

using namespace imagetest;

namespace {

void Put16LE(std::vector<Byte>& v, unsigned x) {
    v.insert(v.end(), {Byte(x), Byte(x >> 8)});
}
void Put16BE(std::vector<Byte>& v, unsigned x) {
    v.insert(v.end(), {Byte(x >> 8), Byte(x)});
}
void Put32BE(std::vector<Byte>& v, std::uint32_t x) {
    v.insert(v.end(), {Byte(x >> 24), Byte(x >> 16), Byte(x >> 8), Byte(x)});
}
void SetBE16(std::vector<Byte>& v, std::size_t at, unsigned x) {
    v[at] = Byte(x >> 8);
    v[at + 1] = Byte(x);
}

std::vector<Byte> AutodeskFile(Word width, Word height) {
    std::vector<Byte> f;
    Put16LE(f, 0x9119); // magic
    Put16LE(f, width);
    Put16LE(f, height);
    Put16LE(f, 0);                // x origin
    Put16LE(f, 0);                // y origin
    f.push_back(8);               // bits per pixel
    f.push_back(0);               // compression
    f.insert(f.end(), 4 + 16, 0); // data size and reserved bytes
    std::vector<Byte> map(768, 0);
    map[3] = 63; // entry 1: (63, 0, 32) in 6 bits
    map[5] = 32;
    map[6] = 1; // entry 2: (1, 2, 3)
    map[7] = 2;
    map[8] = 3;
    f.insert(f.end(), map.begin(), map.end());
    return f;
}

struct TTempDir {
    std::filesystem::path Path;
    TTempDir() {
        Path = std::filesystem::temp_directory_path() /
               ("qm-legacy-" + std::to_string(::getpid()) + "-" + std::to_string(rand()));
        std::filesystem::create_directories(Path);
    }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    std::string File(const std::string& name, const std::vector<Byte>& bytes) const {
        const std::string p = (Path / name).string();
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return p;
    }
};

// A 3 x 2 CUT picture: row 0 is a run of three 9s, row 1 copies 1, 2, 3.
// Each row opens with its byte count; row 0 carries a stray byte after its
// end marker that the count steps over.
std::vector<Byte> CutFile() {
    std::vector<Byte> f;
    Put16LE(f, 3); // width
    Put16LE(f, 2); // height
    Put16LE(f, 0); // reserved
    Put16LE(f, 4);
    f.insert(f.end(), {0x83, 9, 0, 0xEE}); // run of 3, end, stray
    Put16LE(f, 5);
    f.insert(f.end(), {0x03, 1, 2, 3, 0}); // copy 3, end
    return f;
}

// A Dr. Halo palette file of Count entries; entry i has red i, green 2i,
// blue 255 - i (16-bit components, low byte first).
std::vector<Byte> HaloPalette(int count) {
    std::vector<Byte> f(40, 0);
    f[0] = 'A';
    f[1] = 'H';
    f[12] = Byte(count - 1); // highest index
    std::size_t pos = 40;
    for (int i = 0; i < count; ++i) {
        if (pos % 512 > 506) {
            // Entries do not straddle the 512-byte blocks.
            f.resize((f.size() + 511) / 512 * 512, 0);
            pos = f.size();
        }
        f.resize(pos + 6, 0);
        f[pos] = Byte(i);
        f[pos + 2] = Byte(2 * i);
        f[pos + 4] = Byte(255 - i);
        pos += 6;
    }
    return f;
}

constexpr int RlaHeader = 740;

// A 3 x 2 RLA file, rows stored bottom-up; every channel of file row r is
// a run of (r + 1) x 40 except green, which copies (1, 2, 3).
std::vector<Byte> RlaFile(int mattes = 0, const char* gamma = "", int bits = 8) {
    std::vector<Byte> f(RlaHeader, 0);
    SetBE16(f, 8, 0);       // active window left
    SetBE16(f, 10, 2);      // right
    SetBE16(f, 12, 0);      // bottom
    SetBE16(f, 14, 1);      // top
    SetBE16(f, 20, 3);      // colour channels
    SetBE16(f, 22, mattes); // matte channels
    SetBE16(f, 26, 0xFEFF); // revision
    std::snprintf(reinterpret_cast<char*>(&f[28]), 16, "%s", gamma);
    std::memcpy(&f[580], "rgb", 3); // channel name
    SetBE16(f, 658, bits);          // bits per channel
    SetBE16(f, 662, 8);             // matte bits
    const int channels = 3 + (mattes > 0 ? 1 : 0);
    std::vector<std::vector<Byte>> rows(2);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < channels; ++k) {
            std::vector<Byte> coded;
            if (k == 1)
                coded = {Byte(-3), 1, 2, 3}; // copy three
            else
                coded = {2, Byte((r + 1) * 40 + k)}; // repeat three times
            Put16BE(rows[r], unsigned(coded.size()));
            rows[r].insert(rows[r].end(), coded.begin(), coded.end());
        }
    const std::uint32_t first = RlaHeader + 8;
    Put32BE(f, first);
    Put32BE(f, first + std::uint32_t(rows[0].size()));
    f.insert(f.end(), rows[0].begin(), rows[0].end());
    f.insert(f.end(), rows[1].begin(), rows[1].end());
    return f;
}

} // namespace

TEST(AutodeskReader, ReadsPaletteOfSixBitComponentsAndRowsFromTheTop) {
    auto file = AutodeskFile(3, 2);
    file.insert(file.end(), {1, 2, 0, 0, 0, 1});
    TAutodeskGraphic g;
    ASSERT_EQ(LoadMessage(g, file), "");
    ASSERT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.PixelColor(0, 0), TColor(0x8000FC));
    EXPECT_EQ(g.PixelColor(1, 0), TColor(0x0C0804));
    EXPECT_EQ(g.PixelColor(2, 1), TColor(0x8000FC));
    EXPECT_EQ(g.PixelColor(0, 1), TColor(0));
    TBytesStream s(file);
    EXPECT_TRUE(g.AcceptsStream(s));
}

TEST(AutodeskReader, BadMagicAndShortDataRaiseItsMessages) {
    auto file = AutodeskFile(3, 2);
    file[10] = 16; // not 8 bits per pixel
    TAutodeskGraphic g;
    EXPECT_EQ(LoadMessage(g, file),
              "Ne peux pas charger l'image. Format de fichier Autodesk invalide ou inattendue.");
    TBytesStream s(file);
    EXPECT_FALSE(g.AcceptsStream(s));
    auto shortFile = AutodeskFile(3, 2);
    shortFile.push_back(1);
    EXPECT_EQ(LoadMessage(g, shortFile), "Erreur de lecture de flux dans le fichier Autodesk.");
}

TEST(CutReader, RowsFollowTheirByteCountsAndShowInGreyWithoutPalette) {
    TCUTGraphic g;
    ASSERT_EQ(LoadMessage(g, CutFile()), "");
    ASSERT_EQ(g.PixelFormat(), pf8bit);
    const Byte want[2][3] = {{9, 9, 9}, {1, 2, 3}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(g.ScanLine(y)[x], want[y][x]);
            const Byte v = want[y][x];
            EXPECT_EQ(g.PixelColor(x, y), TColor(v | v << 8 | v << 16));
        }
    TBytesStream s(CutFile());
    EXPECT_FALSE(g.AcceptsStream(s)); // the format has no magic
}

TEST(CutReader, PaletteFileBesideThePictureIsUsedAcrossBlocks) {
    TTempDir dir;
    auto cut = CutFile();
    cut[16] = 78; // row 1 copies 1, 78 (the first entry of block two), 77
    cut[17] = 77;
    const std::string picture = dir.File("Pic.cut", cut);
    dir.File("Pic.pal", HaloPalette(100));
    TCUTGraphic g;
    g.LoadFromFile(picture);
    EXPECT_EQ(g.PaletteFile(), (dir.Path / "Pic.pal").string());
    ASSERT_EQ(g.Palette().Count(), 100);
    EXPECT_EQ(g.PixelColor(0, 0), TColor(9 | 18 << 8 | 246 << 16));
    EXPECT_EQ(g.PixelColor(1, 1), TColor(78 | 156 << 8 | 177 << 16));
    EXPECT_EQ(g.PixelColor(2, 1), TColor(77 | 154 << 8 | 178 << 16));
}

TEST(CutReader, ShortHeaderOrDataIsRefused) {
    TCUTGraphic g;
    const std::string bad =
        "Ne peux pas charger l'image. Format de fichier CUT invalide ou inattendue.";
    EXPECT_EQ(LoadMessage(g, {3, 0, 2}), bad);
    EXPECT_EQ(LoadMessage(g, {0, 0, 2, 0, 0, 0}), bad); // no width
    // A few bytes of another file read as a 24935 x 25202 picture: cut
    // short, not too large.
    const std::string text = "garbage";
    EXPECT_EQ(LoadMessage(g, std::vector<Byte>(text.begin(), text.end())),
              "Erreur de lecture de flux dans le fichier CUT.");
}

TEST(CutReader, PaletteParserFollowsTheBlockRule) {
    const TPalette p = TCUTGraphic::ParsePaletteFile(HaloPalette(256));
    ASSERT_EQ(p.Count(), 256);
    for (int i : {0, 77, 78, 162, 163, 255}) {
        EXPECT_EQ(p.Entry(i).peRed, Byte(i)) << i;
        EXPECT_EQ(p.Entry(i).peBlue, Byte(255 - i)) << i;
    }
    EXPECT_TRUE(TCUTGraphic::ParsePaletteFile({1, 2, 3}).Empty());
}

TEST(RlaReader, BottomUpRowsOfThreeChannels) {
    TRLAGraphic g;
    ASSERT_EQ(LoadMessage(g, RlaFile()), "");
    ASSERT_EQ(g.PixelFormat(), pf24bit);
    EXPECT_TRUE(g.ImageProperties().BottomUp);
    // File row 0 is the bottom scan line.
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(g.PixelColor(x, 1), TColor(40 | (x + 1) << 8 | 42 << 16)) << x;
        EXPECT_EQ(g.PixelColor(x, 0), TColor(80 | (x + 1) << 8 | 82 << 16)) << x;
    }
    TBytesStream s(RlaFile());
    EXPECT_TRUE(g.AcceptsStream(s));
}

TEST(RlaReader, MatteBecomesAlpha) {
    TRLAGraphic g;
    ASSERT_EQ(LoadMessage(g, RlaFile(1)), "");
    ASSERT_EQ(g.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(g, 0, 1)[3], 43);
    EXPECT_EQ(Pixel(g, 2, 0)[3], 83);
}

// The gamma text is the display gamma the samples were made for: 2.2
// shows them as stored, 1.8 brightens them for a 2.2 display.
TEST(RlaReader, GammaTextAppliesTheGammaTable) {
    TRLAGraphic g;
    ASSERT_EQ(LoadMessage(g, RlaFile(0, " 2.2")), "");
    EXPECT_FLOAT_EQ(g.ImageProperties().FileGamma, 2.2f);
    EXPECT_TRUE(g.ImageProperties().Options & ioUseGamma);
    EXPECT_EQ(Pixel(g, 0, 1)[2], 40);
    TRLAGraphic mac;
    ASSERT_EQ(LoadMessage(mac, RlaFile(0, "1.8")), "");
    const auto& table = mac.ColorManager().GammaTable();
    EXPECT_GT(table[40], 40);
    EXPECT_LT(table[40], 60);
    EXPECT_EQ(Pixel(mac, 0, 1)[2], table[40]);
    TRLAGraphic plain;
    ASSERT_EQ(LoadMessage(plain, RlaFile(0, "linear")), "");
    EXPECT_FLOAT_EQ(plain.ImageProperties().FileGamma, 1.0f);
}

TEST(RlaReader, BadFilesAreRefused) {
    TRLAGraphic g;
    auto shortFile = RlaFile();
    shortFile.resize(500);
    EXPECT_EQ(LoadMessage(g, shortFile),
              "Ne peux pas charger l'image. Format de fichier RLA invalide ou inattendue.");
    EXPECT_EQ(LoadMessage(g, RlaFile(0, "", 16)),
              "Format de couleur invalide dans le fichier RLA.");
    auto cut = RlaFile();
    cut.resize(cut.size() - 3);
    EXPECT_EQ(LoadMessage(g, cut), "Erreur de lecture de flux dans le fichier RLA.");
    auto wrongName = RlaFile();
    wrongName[580] = 'x';
    wrongName[582] = 'a';
    TBytesStream s(wrongName);
    EXPECT_FALSE(g.AcceptsStream(s));
}

// Through the picture registry, as the editor loads files: the class comes
// from the extension, a CUT finds its palette, a Targa with a bad header
// is refused and leaves the picture as it was, a bad Autodesk file gets its
// message.
TEST(ReaderDispatch, PicturesLoadByExtension) {
    InitPictureReaders();
    TTempDir dir;
    const std::string cut = dir.File("scan.CUT", CutFile());
    dir.File("scan.pal", HaloPalette(16));
    const std::string tga = dir.File("bad.tga", {0, 0, 2, 0, 0, 0});
    auto autodesk = AutodeskFile(2, 2);
    autodesk[0] = 0;
    const std::string cel = dir.File("bad.cel", autodesk);

    TPicture picture;
    picture.LoadFromFile(cut);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TCUTGraphic");
    EXPECT_EQ(picture.Bitmap()->PixelColor(0, 0), TColor(9 | 18 << 8 | 246 << 16));

    // A refused file leaves the picture as it was.
    EXPECT_THROW(picture.LoadFromFile(tga), EInvalidGraphic);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TCUTGraphic");

    try {
        picture.LoadFromFile(cel);
        ADD_FAILURE() << "no message";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(
            e.Message(),
            "Ne peux pas charger l'image. Format de fichier Autodesk invalide ou inattendue.");
    }
    DonePictureReaders();
}
