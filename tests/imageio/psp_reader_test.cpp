// Paint Shop Pro files built block by block (no common tool writes them).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "ImageTestSupport.h"
#include "imageio/PspReader.h"

using namespace imagetest;

namespace {

void Put16(std::vector<Byte>& v, unsigned x) {
    v.insert(v.end(), {Byte(x), Byte(x >> 8)});
}
void Put32(std::vector<Byte>& v, std::uint32_t x) {
    v.insert(v.end(), {Byte(x), Byte(x >> 8), Byte(x >> 16), Byte(x >> 24)});
}
void Append(std::vector<Byte>& v, const std::vector<Byte>& w) {
    v.insert(v.end(), w.begin(), w.end());
}

struct TPspBuilder {
    int Major = 5;
    std::vector<Byte> File;

    explicit TPspBuilder(int major, const char* signature = "Paint Shop Pro Image File\n\x1a")
        : Major(major) {
        File.assign(32, 0);
        std::memcpy(File.data(), signature, std::strlen(signature));
        Put16(File, major); // major version
        Put16(File, 0);     // minor version
    }

    // "~BK\0", id, (version 3: initial data length), total length, data.
    std::vector<Byte> Block(Word id, const std::vector<Byte>& data,
                            std::uint32_t initial = 0) const {
        std::vector<Byte> b = {'~', 'B', 'K', 0};
        Put16(b, id);
        if (Major == 3) Put32(b, initial);
        Put32(b, std::uint32_t(data.size()));
        Append(b, data);
        return b;
    }

    // A chunk: its size (the size field included) then the data.
    static std::vector<Byte> Chunk(const std::vector<Byte>& data) {
        std::vector<Byte> c;
        Put32(c, std::uint32_t(data.size() + 4));
        Append(c, data);
        return c;
    }

    void Attributes(int width, int height, int compression, int depth, bool grey) {
        std::vector<Byte> a;
        Put32(a, width);
        Put32(a, height);
        const double resolution = 100.0;
        Byte r[8];
        std::memcpy(r, &resolution, 8);
        a.insert(a.end(), r, r + 8);
        a.push_back(2);                          // metric: centimetres
        Put16(a, compression);                   // 0 none, 1 run-length, 2 deflate, 3 JPEG
        Put16(a, depth);                         // bit depth
        Put16(a, 1);                             // plane count
        Put32(a, depth == 24 ? 0 : 1u << depth); // colour count
        a.push_back(grey ? 1 : 0);
        Put32(a, 0);                // total image size
        Put32(a, 0);                // active layer
        Put16(a, 1);                // layer count
        if (Major > 3) Put32(a, 0); // graphic contents
        Append(File, Block(0, Major > 3 ? Chunk(a) : a, std::uint32_t(a.size())));
    }

    void Palette(const std::vector<TPaletteEntry>& entries) {
        std::vector<Byte> p;
        Put32(p, std::uint32_t(entries.size()));
        std::vector<Byte> data = Major > 3 ? Chunk(p) : p;
        for (const auto& e : entries)
            data.insert(data.end(), {e.peBlue, e.peGreen, e.peRed, 0});
        Append(File, Block(2, data));
    }

    // One channel block: lengths, bitmap type, channel type, coded data.
    std::vector<Byte> Channel(Word bitmapType, Word channelType, const std::vector<Byte>& coded,
                              std::uint32_t unpacked) const {
        std::vector<Byte> info;
        Put32(info, std::uint32_t(coded.size()));
        Put32(info, unpacked);
        Put16(info, bitmapType);
        Put16(info, channelType);
        std::vector<Byte> data = Major > 3 ? Chunk(info) : info;
        Append(data, coded);
        return Block(5, data, std::uint32_t(info.size()));
    }

    // A layer bank holding one layer with the given channel blocks.
    void Layer(const std::vector<std::vector<Byte>>& channels) {
        std::vector<Byte> layer;
        std::vector<Byte> name = {4, 0, 'F', 'o', 'n', 'd'};
        std::uint32_t initial = 0;
        if (Major > 3) {
            Append(layer, Chunk(name)); // layer information (not read)
            std::vector<Byte> counts;
            Put16(counts, 1);
            Put16(counts, Word(channels.size()));
            Append(layer, Chunk(counts));
        } else {
            std::vector<Byte> info(375, 0); // name and attributes
            info[374 - 3] = 1;              // bitmap count
            info[374 - 1] = Byte(channels.size());
            Append(layer, info);
            initial = std::uint32_t(info.size());
        }
        for (const auto& c : channels)
            Append(layer, c);
        Append(File, Block(3, Block(4, layer, initial)));
    }
};

std::vector<Byte> Deflate(const std::vector<Byte>& raw) {
    uLongf size = compressBound(raw.size());
    std::vector<Byte> out(size);
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}

} // namespace

TEST(PspReader, TrueColourChannelsRawRunLengthAndDeflate) {
    // 3 x 2: red = 10..60, green constant 7, blue constant 200.
    const std::vector<Byte> red = {10, 20, 30, 40, 50, 60};
    for (int compression : {0, 1, 2}) {
        for (int major : {3, 5}) {
            SCOPED_TRACE(std::to_string(compression) + "/" + std::to_string(major));
            TPspBuilder b(major);
            b.Attributes(3, 2, compression, 24, false);
            auto code = [&](const std::vector<Byte>& raw, Byte value) -> std::vector<Byte> {
                if (compression == 0) return raw;
                if (compression == 2) return Deflate(raw);
                if (value == 0) return {6, 10, 20, 30, 40, 50, 60}; // copy six
                return {128 + 6, value};                            // repeat six
            };
            b.Layer({b.Channel(0, 1, code(red, 0), 6),
                     b.Channel(0, 2, code(std::vector<Byte>(6, 7), 7), 6),
                     b.Channel(0, 3, code(std::vector<Byte>(6, 200), 200), 6)});
            TPSPGraphic g;
            ASSERT_EQ(LoadMessage(g, b.File), "");
            ASSERT_EQ(g.PixelFormat(), pf24bit);
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(g.PixelColor(i % 3, i / 3), TColor(red[i] | 7 << 8 | 200 << 16)) << i;
            EXPECT_FLOAT_EQ(g.ImageProperties().XResolution, 254.0f);
        }
    }
}

TEST(PspReader, TransparencyMaskBecomesAlpha) {
    TPspBuilder b(5);
    b.Attributes(2, 1, 0, 24, false);
    b.Layer({b.Channel(0, 1, {1, 2}, 2), b.Channel(0, 2, {3, 4}, 2), b.Channel(0, 3, {5, 6}, 2),
             b.Channel(1, 0, {0, 128}, 2)});
    TPSPGraphic g;
    ASSERT_EQ(LoadMessage(g, b.File), "");
    ASSERT_EQ(g.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(g, 0, 0), (std::array<int, 4>{5, 3, 1, 0}));
    EXPECT_EQ(Pixel(g, 1, 0), (std::array<int, 4>{6, 4, 2, 128}));
}

TEST(PspReader, PalettedAndGreyImagesUseTheCompositeChannel) {
    TPspBuilder b(5);
    b.Attributes(4, 1, 0, 8, false);
    b.Palette({{1, 2, 3, 0}, {200, 100, 50, 0}});
    b.Layer({b.Channel(0, 0, {1, 0, 1, 1}, 4)});
    TPSPGraphic g;
    ASSERT_EQ(LoadMessage(g, b.File), "");
    ASSERT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.PixelColor(0, 0), TColor(200 | 100 << 8 | 50 << 16));
    EXPECT_EQ(g.PixelColor(1, 0), TColor(1 | 2 << 8 | 3 << 16));

    TPspBuilder grey(5);
    grey.Attributes(2, 1, 0, 8, true);
    grey.Layer({grey.Channel(0, 0, {0, 77}, 2)});
    TPSPGraphic gg;
    ASSERT_EQ(LoadMessage(gg, grey.File), "");
    EXPECT_EQ(gg.PixelColor(1, 0), TColor(77 | 77 << 8 | 77 << 16));
}

TEST(PspReader, RefusalsNameTheFormat) {
    TPSPGraphic g;
    TPspBuilder jpeg(5);
    jpeg.Attributes(2, 1, 3, 24, false);
    EXPECT_EQ(LoadMessage(g, jpeg.File),
              "Ne peux pas charger l'image. Le procédé de compression n'est pas supporté par les "
              "fichiers PSP.");
    TPspBuilder old(2);
    old.Attributes(2, 1, 0, 24, false);
    EXPECT_EQ(LoadMessage(g, old.File),
              "Ne peux pas charger l'image. Format de fichier PSP invalide ou inattendue.");
    TPspBuilder other(5, "Paint Shop Pro Picture File\n");
    other.Attributes(2, 1, 0, 24, false);
    EXPECT_EQ(LoadMessage(g, other.File),
              "Ne peux pas charger l'image. Format de fichier PSP invalide ou inattendue.");
    TPspBuilder depth(5);
    depth.Attributes(2, 1, 0, 16, false);
    EXPECT_EQ(LoadMessage(g, depth.File),
              "Ne peux pas charger l'image. Format de fichier PSP invalide ou inattendue.");
    // A file cut inside its channels, or before them, is refused, not shown in part.
    TPspBuilder cut(5);
    cut.Attributes(2, 1, 0, 24, false);
    cut.Layer(
        {cut.Channel(0, 1, {1, 2}, 2), cut.Channel(0, 2, {3, 4}, 2), cut.Channel(0, 3, {5, 6}, 2)});
    ASSERT_EQ(LoadMessage(g, cut.File), "");
    for (std::size_t drop : {1u, 40u}) {
        auto file = cut.File;
        file.resize(file.size() - drop);
        EXPECT_EQ(LoadMessage(g, file), "Erreur de lecture de flux dans le fichier PSP.") << drop;
    }
}

TEST(PspReader, MagicTestIgnoresLetterCase) {
    TPspBuilder b(4, "PAINT SHOP PRO IMAGE FILE\n\x1a");
    b.Attributes(1, 1, 0, 24, false);
    TPSPGraphic g;
    TBytesStream s(b.File);
    EXPECT_TRUE(g.AcceptsStream(s));
    EXPECT_EQ(s.Position(), 0);
    TPspBuilder v2(2);
    v2.Attributes(1, 1, 0, 24, false);
    TBytesStream s2(v2.File);
    EXPECT_FALSE(g.AcceptsStream(s2));
}
