#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>

#include "ImageTestSupport.h"
#include "imageio/PngReader.h"
#include "imageio/TiffReader.h"
#include "platform/base/Format.h"

using namespace imagetest;

namespace {

struct TChunk {
    std::string Type;
    std::vector<Byte> Data;
};

std::uint32_t BE32(const Byte* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
void PutBE32(std::vector<Byte>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(Byte(v >> s));
}

std::vector<TChunk> SplitChunks(const std::vector<Byte>& file) {
    std::vector<TChunk> chunks;
    for (std::size_t pos = 8; pos + 12 <= file.size();) {
        std::uint32_t len = BE32(&file[pos]);
        TChunk c{std::string(file.begin() + pos + 4, file.begin() + pos + 8),
                 std::vector<Byte>(file.begin() + pos + 8, file.begin() + pos + 8 + len)};
        chunks.push_back(c);
        pos += 12 + len;
    }
    return chunks;
}

// Writes chunks with correct CRCs; BadCRC names one chunk whose CRC is off
// by one bit.
std::vector<Byte> JoinChunks(const std::vector<TChunk>& chunks, int BadCRC = -1) {
    std::vector<Byte> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const TChunk& c = chunks[i];
        PutBE32(out, std::uint32_t(c.Data.size()));
        std::vector<Byte> typed(c.Type.begin(), c.Type.end());
        typed.insert(typed.end(), c.Data.begin(), c.Data.end());
        out.insert(out.end(), typed.begin(), typed.end());
        std::uint32_t crc = std::uint32_t(crc32(0, typed.data(), uInt(typed.size())));
        if (int(i) == BadCRC) crc ^= 1;
        PutBE32(out, crc);
    }
    return out;
}

int IndexOf(const std::vector<TChunk>& chunks, const std::string& type) {
    for (std::size_t i = 0; i < chunks.size(); ++i)
        if (chunks[i].Type == type) return int(i);
    return -1;
}

std::vector<Byte> Fixture(const std::string& name) {
    return ReadFile(DataPath("png", name));
}

std::string Msg(const char* fmt) {
    return Format(fmt, {"PNG"});
}

} // namespace

TEST(PngReader, ConformanceSetMatchesTheToolsOwnDecode) {
    auto rows = ReadCsv(DataPath("png", "conformance.csv"));
    ASSERT_GE(rows.size(), 19u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        TPNGGraphic g;
        ASSERT_EQ(LoadMessage(g, Fixture(row[0])), "");
        EXPECT_EQ(g.Width(), std::stoi(row[1]));
        EXPECT_EQ(g.Height(), std::stoi(row[2]));
        EXPECT_EQ(BitsPerPixel(g.PixelFormat()), std::stoi(row[3]));
        TReference ref = ReadPNM(Fixture(row[4]));
        EXPECT_EQ(MaxDifference(g, ref), 0);
    }
}

TEST(PngReader, AlphaChannelIsKept) {
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, Fixture("rgba8.png")), "");
    TReference ref = ReadPNM(Fixture("rgba8_alpha.pam"));
    ASSERT_EQ(ref.Depth, 4);
    for (int y = 0; y < ref.Height; ++y)
        for (int x = 0; x < ref.Width; ++x)
            ASSERT_EQ(Pixel(g, x, y)[3], ref.At(x, y, 3)) << x << "," << y;
}

TEST(PngReader, SixteenBitSamplesAreTruncatedTo8Bits) {
    // 0x80FF x 255 / 65535 = 128.99.. truncates to 128 (rounding would give 129).
    auto chunks = SplitChunks(Fixture("rgb16.png"));
    std::vector<Byte> raw = {0, 0x80, 0xFF, 0x00, 0xFF, 0xFF, 0xFF};
    std::vector<Byte> packed(64);
    uLongf size = packed.size();
    compress(packed.data(), &size, raw.data(), raw.size());
    packed.resize(size);
    chunks[0].Data = {0, 0, 0, 1, 0, 0, 0, 1, 16, 2, 0, 0, 0};
    chunks = {chunks[0], {"IDAT", packed}, {"IEND", {}}};
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, JoinChunks(chunks)), "");
    auto p = Pixel(g, 0, 0);
    EXPECT_EQ(p[2], 128);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[0], 255);
}

TEST(PngReader, EveryCheckedChunkFailsOnABadCRC) {
    struct TCase {
        const char* File;
        const char* Chunk;
    } cases[] = {{"pal4.png", "IHDR"},
                 {"pal4.png", "PLTE"},
                 {"pal4.png", "IDAT"},
                 {"pal2_trns.png", "tRNS"},
                 {"rgb8_gamma1.png", "gAMA"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.File) + " " + c.Chunk);
        auto chunks = SplitChunks(Fixture(c.File));
        int i = IndexOf(chunks, c.Chunk);
        ASSERT_GE(i, 0);
        TPNGGraphic g;
        EXPECT_EQ(LoadMessage(g, JoinChunks(chunks, i)), Msg(SInvalidCRC));
    }
    auto withBackground = SplitChunks(Fixture("rgb8.png"));
    withBackground.insert(withBackground.begin() + 1, {"bKGD", {0, 1, 0, 2, 0, 3}});
    TPNGGraphic g;
    EXPECT_EQ(LoadMessage(g, JoinChunks(withBackground, 1)), Msg(SInvalidCRC));
    EXPECT_EQ(LoadMessage(g, JoinChunks(withBackground)), "");
    EXPECT_EQ(g.BackgroundColor(), TColor(0x030201));
}

TEST(PngReader, UnknownChunksAncillarySkippedCriticalRefused) {
    auto chunks = SplitChunks(Fixture("rgb8.png"));
    auto withAncillary = chunks;
    withAncillary.insert(withAncillary.begin() + 1, {"abCd", {1, 2, 3}});
    withAncillary.insert(withAncillary.end() - 1, {"zzZz", {}});
    // A skipped chunk's CRC is never looked at.
    std::vector<Byte> bytes = JoinChunks(withAncillary, 1);
    TPNGGraphic g;
    EXPECT_EQ(LoadMessage(g, bytes), "");
    EXPECT_EQ(MaxDifference(g, ReadPNM(Fixture("rgb8.pnm"))), 0);

    auto withCritical = chunks;
    withCritical.insert(withCritical.begin() + 1, {"ABCD", {1}});
    EXPECT_EQ(LoadMessage(g, JoinChunks(withCritical)), SUnknownCriticalChunk);
}

TEST(PngReader, ImageDataSplitOverManyChunksDecodesTheSame) {
    auto chunks = SplitChunks(Fixture("rgb8_interlaced.png"));
    int i = IndexOf(chunks, "IDAT");
    std::vector<Byte> data = chunks[i].Data;
    std::vector<TChunk> split(chunks.begin(), chunks.begin() + i);
    for (std::size_t at = 0; at < data.size(); at += 3) {
        split.push_back({"IDAT", {}});
        split.push_back({"IDAT", std::vector<Byte>(data.begin() + at,
                                                   data.begin() + std::min(at + 3, data.size()))});
    }
    split.insert(split.end(), chunks.begin() + i + 1, chunks.end());
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, JoinChunks(split)), "");
    EXPECT_EQ(MaxDifference(g, ReadPNM(Fixture("rgb8.pnm"))), 0);
}

TEST(PngReader, FileGammaGoesThroughTheGammaTable) {
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, Fixture("rgb8_gamma1.png")), "");
    EXPECT_TRUE(g.ImageProperties().Options & ioUseGamma);
    EXPECT_FLOAT_EQ(g.ImageProperties().FileGamma, 1.0f);
    TReference ref = ReadPNM(Fixture("rgb8.pnm"));
    for (int y = 0; y < ref.Height; ++y)
        for (int x = 0; x < ref.Width; ++x) {
            int v = ref.At(x, y, 0);
            int want = int(std::nearbyint(std::pow(v / 255.0, 1 / 2.2) * 255));
            ASSERT_NEAR(Pixel(g, x, y)[2], want, 1) << v;
        }
}

TEST(PngReader, GreyTransparencyAndBackground) {
    auto chunks = SplitChunks(Fixture("grey8.png"));
    chunks.insert(chunks.begin() + 1, {"tRNS", {0, 77}});
    chunks.insert(chunks.begin() + 1, {"bKGD", {0, 200}});
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, JoinChunks(chunks)), "");
    EXPECT_TRUE(g.Transparent());
    EXPECT_EQ(g.TransparentColor(), TColor(0x4D4D4D));
    EXPECT_EQ(g.BackgroundColor(), TColor(0xC8C8C8));

    // With a file gamma the key goes through the gamma table as the pixels
    // do: a mid grey pixel's own grey still names it.
    int x = 0;
    while (x < g.Width() - 1 && (Pixel(g, x, 0)[0] < 40 || Pixel(g, x, 0)[0] > 215))
        ++x;
    chunks = SplitChunks(Fixture("grey8.png"));
    chunks.insert(chunks.begin() + 1, {"tRNS", {0, Byte(Pixel(g, x, 0)[0])}});
    chunks.insert(chunks.begin() + 1, {"gAMA", {0, 0, 0xEA, 0x60}});
    TPNGGraphic h;
    ASSERT_EQ(LoadMessage(h, JoinChunks(chunks)), "");
    EXPECT_EQ(h.PixelColor(x, 0), h.TransparentColor());
    EXPECT_NE(h.TransparentColor(), g.PixelColor(x, 0));
}

// A palette's transparency table gives each entry its alpha in a 32-bit
// picture: the clear entry's black does not hide the opaque black entry, a
// partly clear entry keeps its alpha, entries after the table are opaque.
TEST(PngReader, PaletteTransparencyIsKeptPerEntry) {
    Byte header[13] = {0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 0, 0, 0}; // 4 x 1, 2-bit indices
    const Byte row[] = {0, 0x1B};                              // filter none; indices 0, 1, 2, 3
    std::vector<Byte> packed(compressBound(sizeof row));
    uLongf size = uLongf(packed.size());
    ASSERT_EQ(compress(packed.data(), &size, row, sizeof row), Z_OK);
    packed.resize(size);
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, JoinChunks({{"IHDR", {header, header + 13}},
                                         {"PLTE", {0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255}},
                                         {"tRNS", {0, 255, 128}},
                                         {"IDAT", packed},
                                         {"IEND", {}}})),
              "");
    ASSERT_EQ(g.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(g, 0, 0), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(Pixel(g, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(Pixel(g, 2, 0), (std::array<int, 4>{0, 0, 255, 128}));
    EXPECT_EQ(Pixel(g, 3, 0), (std::array<int, 4>{255, 0, 0, 255}));
}

TEST(PngReader, TwoBitPicturesWidenToFourBits) {
    TPNGGraphic g;
    ASSERT_EQ(LoadMessage(g, Fixture("grey2.png")), "");
    ASSERT_EQ(g.PixelFormat(), pf4bit);
    // Levels 0..3 become 0, 5, 10, 15 of a 16-grey palette.
    std::vector<int> seen(16);
    for (int y = 0; y < g.Height(); ++y)
        for (int x = 0; x < g.Width(); ++x) {
            int nibble = (g.ScanLine(y)[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            seen[nibble] = 1;
        }
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));

    // Indices keep their values so that they name their palette entries.
    TPNGGraphic p;
    ASSERT_EQ(LoadMessage(p, Fixture("pal2.png")), "");
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            ASSERT_LT((p.ScanLine(y)[x / 2] >> (x % 2 ? 0 : 4)) & 15, 4);
}

TEST(PngReader, MalformedFilesFailWithTheReadersMessages) {
    auto chunks = SplitChunks(Fixture("rgb8.png"));
    TPNGGraphic g;

    auto badDepth = chunks;
    badDepth[0].Data[8] = 4; // RGB of 4 bits does not exist
    EXPECT_EQ(LoadMessage(g, JoinChunks(badDepth)), Msg(SInvalidColorFormat));

    auto badMethod = chunks;
    badMethod[0].Data[10] = 1; // compression method 1
    EXPECT_EQ(LoadMessage(g, JoinChunks(badMethod)),
              Format(SUnsupportedFeature, {SCompressionFeature, "PNG"}));

    auto zeroWidth = chunks;
    zeroWidth[0].Data[3] = 0; // width 0
    zeroWidth[0].Data[2] = 0;
    EXPECT_EQ(LoadMessage(g, JoinChunks(zeroWidth)), Msg(SInvalidImage));

    auto huge = chunks;
    huge[0].Data[0] = 0x7F; // width beyond what a bitmap may hold
    EXPECT_EQ(LoadMessage(g, JoinChunks(huge)).rfind("Image trop grande (", 0), 0u);

    auto pal = SplitChunks(Fixture("pal4.png"));
    pal[IndexOf(pal, "PLTE")].Data.pop_back();
    EXPECT_EQ(LoadMessage(g, JoinChunks(pal)), Msg(SInvalidPalette));

    auto corrupt = chunks;
    corrupt[IndexOf(corrupt, "IDAT")].Data[0] = 0xFF; // not a zlib header
    EXPECT_EQ(LoadMessage(g, JoinChunks(corrupt)), Msg(SCompressionError));

    auto surplus = chunks;
    auto& idat = surplus[IndexOf(surplus, "IDAT")].Data;
    idat.insert(idat.end(), {1, 2, 3});
    EXPECT_EQ(LoadMessage(g, JoinChunks(surplus)), Msg(SExtraCompressedData));

    // A TIFF whose name says PNG is refused with the PNG label.
    std::vector<Byte> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
    EXPECT_EQ(LoadMessage(g, tiff), Msg(SInvalidImage));
    TTIFFGraphic t;
    EXPECT_EQ(LoadMessage(t, Fixture("rgb8.png")), Format(SInvalidImage, {"TIF/TIFF"}));
}

TEST(PngReader, EveryTruncationFailsCleanlyOrLoads) {
    const std::vector<Byte> file = Fixture("pal4_interlaced.png");
    for (std::size_t n = 0; n < file.size(); ++n) {
        std::vector<Byte> cut(file.begin(), file.begin() + n);
        TPNGGraphic g;
        std::string m = LoadMessage(g, cut);
        if (n < 33) { // signature and header
            EXPECT_EQ(m, Msg(SInvalidImage)) << n;
        }
    }
}

TEST(PngReader, AcceptsStreamTestsTheSignatureAndKeepsThePosition) {
    TPNGGraphic g;
    TBytesStream png(Fixture("grey1.png"));
    EXPECT_TRUE(g.AcceptsStream(png));
    EXPECT_EQ(png.Position(), 0);
    TBytesStream other(std::vector<Byte>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    EXPECT_FALSE(g.AcceptsStream(other)); // nothing after the signature
}
