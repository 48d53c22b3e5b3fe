#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include <jpeglib.h>
#include <zlib.h>

#include "ImageTestSupport.h"
#include "imageio/EpsReader.h"
#include "imageio/TiffReader.h"
#include "platform/base/Format.h"
#include "support/JpegStrip.h"

using namespace imagetest;

namespace {

std::vector<Byte> Fixture(const std::string& name) {
    return ReadFile(DataPath("tiff", name));
}
std::string Msg(const char* fmt, const char* label = "TIF/TIFF") {
    return Format(fmt, {label});
}

// A TIFF built by hand: pixel data right after the 8-byte header, then one
// directory, then the values that do not fit in an entry.
struct TTiffBuilder {
    bool Big = false;
    struct TEntry {
        Word Tag, Type;
        std::uint32_t Count;
        std::vector<Byte> Data; // already in file order
    };
    std::map<Word, TEntry> Entries;
    std::vector<Byte> Pixels;

    void Put16(std::vector<Byte>& o, unsigned v) const {
        if (Big) {
            o.push_back(Byte(v >> 8));
            o.push_back(Byte(v));
        } else {
            o.push_back(Byte(v));
            o.push_back(Byte(v >> 8));
        }
    }
    void Put32(std::vector<Byte>& o, std::uint32_t v) const {
        if (Big) {
            Put16(o, v >> 16);
            Put16(o, v & 0xFFFF);
        } else {
            Put16(o, v & 0xFFFF);
            Put16(o, v >> 16);
        }
    }
    void Short(Word tag, std::vector<unsigned> values) {
        TEntry e{tag, 3, std::uint32_t(values.size()), {}};
        for (unsigned v : values)
            Put16(e.Data, v);
        Entries[tag] = e;
    }
    void Long(Word tag, std::vector<std::uint32_t> values) {
        TEntry e{tag, 4, std::uint32_t(values.size()), {}};
        for (std::uint32_t v : values)
            Put32(e.Data, v);
        Entries[tag] = e;
    }
    void Rational(Word tag, std::uint32_t num, std::uint32_t den) {
        TEntry e{tag, 5, 1, {}};
        Put32(e.Data, num);
        Put32(e.Data, den);
        Entries[tag] = e;
    }
    // A one-strip picture of Width x Height.
    void Basic(int width, int height, int bits, int samples, int photometric) {
        Long(256, {std::uint32_t(width)});
        Long(257, {std::uint32_t(height)});
        Short(258, std::vector<unsigned>(samples, unsigned(bits)));
        Short(259, {1});
        Short(262, {unsigned(photometric)});
        Short(277, {unsigned(samples)});
    }
    std::vector<Byte> Build() {
        std::vector<Byte> o;
        o.push_back(Big ? 'M' : 'I');
        o.push_back(Big ? 'M' : 'I');
        Put16(o, 42);
        const std::uint32_t ifd = 8 + std::uint32_t(Pixels.size()) + (Pixels.size() & 1);
        Put32(o, ifd);
        if (!Entries.count(273)) Long(273, {8});
        if (!Entries.count(279)) Long(279, {std::uint32_t(Pixels.size())});
        o.insert(o.end(), Pixels.begin(), Pixels.end());
        if (Pixels.size() & 1) o.push_back(0);
        Put16(o, unsigned(Entries.size()));
        std::uint32_t extra = ifd + 2 + 12 * std::uint32_t(Entries.size()) + 4;
        std::vector<Byte> tail;
        for (auto& [tag, e] : Entries) {
            Put16(o, e.Tag);
            Put16(o, e.Type);
            Put32(o, e.Count);
            if (e.Data.size() <= 4) {
                std::vector<Byte> v = e.Data;
                v.resize(4);
                o.insert(o.end(), v.begin(), v.end());
            } else {
                Put32(o, extra + std::uint32_t(tail.size()));
                tail.insert(tail.end(), e.Data.begin(), e.Data.end());
            }
        }
        Put32(o, 0);
        o.insert(o.end(), tail.begin(), tail.end());
        return o;
    }
};

} // namespace

TEST(TiffReader, ConformanceSetMatchesTheToolsOwnDecode) {
    auto rows = ReadCsv(DataPath("tiff", "conformance.csv"));
    ASSERT_GE(rows.size(), 24u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        TTIFFGraphic g;
        std::string message = LoadMessage(g, Fixture(row[0]));
        if (row.size() == 2) {
            EXPECT_EQ(message, row[1]);
            continue;
        }
        ASSERT_EQ(message, "");
        EXPECT_EQ(g.Width(), std::stoi(row[1]));
        EXPECT_EQ(g.Height(), std::stoi(row[2]));
        EXPECT_EQ(BitsPerPixel(g.PixelFormat()), std::stoi(row[3]));
        EXPECT_LE(MaxDifference(g, ReadPNM(Fixture(row[4]))), std::stoi(row[5]));
    }
}

TEST(TiffReader, TiledFilesAreRefusedWithAMessage) {
    TTIFFGraphic g;
    EXPECT_EQ(LoadMessage(g, Fixture("rgb_tiled.tif")),
              "Ne peux pas charger l'image. Le stockage en tuiles n'est pas supporté par les "
              "fichiers TIF/TIFF.");
    EXPECT_TRUE(g.ImageProperties().Options & ioTiled);
}

TEST(TiffReader, HeaderFieldsAndDefaults) {
    TTiffBuilder b;
    b.Basic(3, 2, 8, 1, 1);
    b.Rational(282, 100, 1);
    b.Rational(283, 50, 1);
    b.Short(296, {3}); // centimetres
    b.Pixels = {1, 2, 3, 4, 5, 6};
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    const TImageProperties& p = g.ImageProperties();
    EXPECT_FLOAT_EQ(p.XResolution, 254.0f);
    EXPECT_FLOAT_EQ(p.YResolution, 127.0f);
    // Without tag 278 the picture is one strip of Height rows.
    EXPECT_EQ(p.RowsPerStrip, (TCardinalArray{2}));
    EXPECT_EQ(p.Version, 42u);
    EXPECT_EQ(p.FirstIFD, 14u);
    EXPECT_EQ(g.ScanLine(1)[2], 6);
}

TEST(TiffReader, MinimumIsWhiteReversesTheGreyPalette) {
    TTiffBuilder b;
    b.Basic(2, 1, 8, 1, 0);
    b.Pixels = {0, 255};
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    EXPECT_EQ(g.Palette().Color(0), TColor(0xFFFFFF));
    EXPECT_EQ(g.Palette().Color(255), TColor(0));
    EXPECT_EQ(Pixel(g, 0, 0)[0], 255);
    EXPECT_EQ(Pixel(g, 1, 0)[0], 0);
}

// Grey levels and indices with alpha come out as a 32-bit picture with that
// alpha, in either sample order, byte order and alpha kind.
TEST(TiffReader, GreyAndIndicesWithAlphaKeepTheirAlpha) {
    TTiffBuilder b; // minimum is white, unassociated alpha, interleaved
    b.Basic(3, 1, 8, 2, 0);
    b.Short(338, {2});
    b.Pixels = {0, 0, 255, 255, 100, 128};
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    ASSERT_EQ(g.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(g, 0, 0), (std::array<int, 4>{255, 255, 255, 0}));
    EXPECT_EQ(Pixel(g, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(Pixel(g, 2, 0), (std::array<int, 4>{155, 155, 155, 128}));

    TTiffBuilder w; // 16-bit big-endian planes, associated alpha
    w.Big = true;
    w.Basic(2, 1, 16, 2, 1);
    w.Short(338, {1});
    w.Short(284, {2});
    w.Long(273, {8, 12});
    w.Long(279, {4, 4});
    w.Pixels = {0x80, 0x00, 0x00, 0x00, 0x80, 0x00, 0xFF, 0xFF};
    TTIFFGraphic h;
    ASSERT_EQ(LoadMessage(h, w.Build()), "");
    ASSERT_EQ(h.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(h, 0, 0), (std::array<int, 4>{255, 255, 255, 127}));
    EXPECT_EQ(Pixel(h, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));

    TTiffBuilder c; // a colour map of red and blue
    c.Basic(2, 1, 8, 2, 3);
    c.Short(338, {2});
    c.Short(320, {0xFFFF, 0, 0, 0, 0, 0xFFFF});
    c.Pixels = {0, 0, 1, 200};
    TTIFFGraphic m;
    ASSERT_EQ(LoadMessage(m, c.Build()), "");
    ASSERT_EQ(m.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(m, 0, 0), (std::array<int, 4>{0, 0, 255, 0}));
    EXPECT_EQ(Pixel(m, 1, 0), (std::array<int, 4>{255, 0, 0, 200}));
}

TEST(TiffReader, ColourMapOf768ValuesGives256Colours) {
    TTiffBuilder b;
    b.Big = true;
    b.Basic(2, 1, 8, 1, 3);
    std::vector<unsigned> map(768);
    for (unsigned i = 0; i < 256; ++i) {
        map[i] = i * 257;              // red
        map[256 + i] = 0xFFFF;         // green
        map[512 + i] = (255 - i) << 8; // blue: high byte only
    }
    b.Short(320, map);
    b.Pixels = {0, 200};
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    ASSERT_EQ(g.Palette().Count(), 256);
    EXPECT_EQ(Pixel(g, 1, 0), (std::array<int, 4>{55 * 0xFF00 / 65535, 255, 200, 255}));
}

TEST(TiffReader, ThunderScanStrips) {
    TTiffBuilder b;
    b.Basic(4, 2, 4, 1, 1);
    b.Short(259, {32809});
    b.Pixels = {0xC3, 0x03, 0xCF, 0x4C}; // row 0: 3 3 3 3; row 1: 15 15 14 13... cut at 4
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    EXPECT_EQ(g.ScanLine(0)[0], 0x33);
    EXPECT_EQ(g.ScanLine(0)[1], 0x33);
}

TEST(TiffReader, MalformedFilesFailWithTheReadersMessages) {
    TTIFFGraphic g;
    {
        TTiffBuilder b;
        b.Basic(0, 2, 8, 1, 1);
        EXPECT_EQ(LoadMessage(g, b.Build()), Msg(SInvalidImage));
    }
    {
        TTiffBuilder b; // wider than any bitmap may be
        b.Basic(40000, 2, 8, 1, 1);
        EXPECT_EQ(LoadMessage(g, b.Build()).rfind("Image trop grande (", 0), 0u);
    }
    {
        TTiffBuilder b; // five samples a pixel
        b.Basic(2, 2, 8, 5, 2);
        EXPECT_EQ(LoadMessage(g, b.Build()), Msg(SInvalidImage));
    }
    {
        TTiffBuilder b; // separated (CMYK) with only three samples
        b.Basic(2, 2, 8, 3, 5);
        EXPECT_EQ(LoadMessage(g, b.Build()), Msg(SInvalidColorFormat));
    }
    {
        TTiffBuilder b; // strips far beyond the file and huge counts: a cut file
        b.Basic(2, 2, 8, 1, 1);
        b.Short(259, {32773});
        b.Long(273, {0x7FFFFFF0});
        b.Long(279, {0xFFFFFFF0});
        EXPECT_EQ(LoadMessage(g, b.Build()), Msg(SStreamReadError));
    }
    {
        TTiffBuilder b; // a colour map whose offset lies outside the file
        b.Basic(2, 1, 8, 1, 3);
        b.Entries[320] = {320, 3, 768, std::vector<Byte>{0xFF, 0xFF, 0xFF, 0x7F}};
        b.Pixels = {0, 1};
        EXPECT_EQ(LoadMessage(g, b.Build()), "");
    }
    std::vector<Byte> notTiff = {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0};
    EXPECT_EQ(LoadMessage(g, notTiff), Msg(SInvalidImage));
}

TEST(TiffReader, EveryTruncationFailsCleanlyOrLoads) {
    for (const char* name : {"rgb_zip_planar.tif", "bw_g3.tif", "rgb_jpeg.tif", "pal_none.tif"}) {
        const std::vector<Byte> file = Fixture(name);
        for (std::size_t n = 0; n < file.size(); n += 3) {
            std::vector<Byte> cut(file.begin(), file.begin() + n);
            TTIFFGraphic g;
            LoadMessage(g, cut);
        }
    }
}

TEST(TiffReader, AcceptsStreamChecksOrderVersionAndOffset) {
    TTIFFGraphic g;
    TBytesStream le(Fixture("rgb_none.tif"));
    EXPECT_TRUE(g.AcceptsStream(le));
    EXPECT_EQ(le.Position(), 0);
    TBytesStream be(Fixture("rgb_none_be.tif"));
    EXPECT_TRUE(g.AcceptsStream(be));
    TBytesStream far(std::vector<Byte>{'M', 'M', 0, 42, 0, 0, 1, 0, 0});
    EXPECT_FALSE(g.AcceptsStream(far)); // first directory beyond the end
}

namespace {
// A binary EPS header (30 bytes, little-endian) with a TIFF preview after
// some PostScript text.
std::vector<Byte> MakeEps(const std::vector<Byte>& tiff) {
    std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 21 11\n";
    std::vector<Byte> out = {0xC5, 0xD0, 0xD3, 0xC6};
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(Byte(v >> (8 * i)));
    };
    put32(30);                       // PostScript offset
    put32(std::uint32_t(ps.size())); // and length
    put32(0);                        // no metafile
    put32(0);
    put32(30 + std::uint32_t(ps.size())); // TIFF offset
    put32(std::uint32_t(tiff.size()));    // and length
    out.push_back(0xFF);                  // checksum: none
    out.push_back(0xFF);
    out.insert(out.end(), ps.begin(), ps.end());
    out.insert(out.end(), tiff.begin(), tiff.end());
    return out;
}
} // namespace

TEST(EpsReader, ReadsTheTiffPreview) {
    std::vector<Byte> eps = MakeEps(Fixture("rgb_zip.tif"));
    TEPSGraphic g;
    TBytesStream s(eps);
    EXPECT_TRUE(g.AcceptsStream(s));
    ASSERT_EQ(LoadMessage(g, eps), "");
    EXPECT_EQ(MaxDifference(g, ReadPNM(Fixture("rgb_none.pnm"))), 0);

    // Behind other data: offsets count from the start of the EPS header.
    std::vector<Byte> shifted(5, 0);
    shifted.insert(shifted.end(), eps.begin(), eps.end());
    TBytesStream t(shifted);
    t.SetPosition(5);
    g.LoadFromStream(t);
    EXPECT_EQ(g.Width(), 21);

    std::vector<Byte> bad = eps;
    bad[0] = 0;
    EXPECT_EQ(LoadMessage(g, bad), Msg(SInvalidImage, "EPS"));
    TBytesStream b(bad);
    EXPECT_FALSE(g.AcceptsStream(b));
    std::vector<Byte> noPreview = eps;
    std::memset(&noPreview[20], 0, 8);
    EXPECT_EQ(LoadMessage(g, noPreview), Msg(SInvalidImage, "EPS"));
}

TEST(TiffReader, FilesThatOnceMisbehavedFailCleanly) {
    const std::filesystem::path dir = DataPath("tiff", "malformed");
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        TTIFFGraphic g;
        std::string message = LoadMessage(g, ReadFile(entry.path().string()));
        EXPECT_TRUE(message.empty() || message.rfind("Ne peux pas charger", 0) == 0 ||
                    message.rfind("Format de couleur", 0) == 0 ||
                    message.rfind("Erreur de lecture", 0) == 0)
            << message;
        ++seen;
    }
    EXPECT_GE(seen, 1);
}

TEST(TiffReader, OddSizedIndicesKeepTheirColourMapEntries) {
    // 2-bit indices 0..3 against a colour map of four entries.
    TTiffBuilder b;
    b.Basic(4, 1, 2, 1, 3);
    std::vector<unsigned> map = {0,
                                 0xFFFF,
                                 0,
                                 0,
                                 /* green */ 0,
                                 0,
                                 0xFFFF,
                                 0,
                                 /* blue */ 0,
                                 0,
                                 0,
                                 0xFFFF};
    b.Short(320, map);
    b.Pixels = {0x1B}; // 0 1 2 3
    TTIFFGraphic g;
    ASSERT_EQ(LoadMessage(g, b.Build()), "");
    ASSERT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(Pixel(g, 0, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(Pixel(g, 1, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(g, 2, 0), (std::array<int, 4>{0, 255, 0, 255}));
    EXPECT_EQ(Pixel(g, 3, 0), (std::array<int, 4>{255, 0, 0, 255}));

    // 12-bit grey is rescaled into an 8-bit bitmap.
    TTiffBuilder grey;
    grey.Basic(2, 1, 12, 1, 1);
    grey.Pixels = {0xFF, 0xF8, 0x00};
    ASSERT_EQ(LoadMessage(g, grey.Build()), "");
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.ScanLine(0)[0], 255);
    EXPECT_EQ(g.ScanLine(0)[1], 0x800 * 255 / 4095);
}

namespace {

// Every scan line of a loaded picture, as bytes.
std::vector<Byte> Lines(const TTIFFGraphic& g) {
    std::vector<Byte> out;
    const std::size_t n = (std::size_t(g.Width()) * BitsPerPixel(g.PixelFormat()) + 7) / 8;
    for (int y = 0; y < g.Height(); ++y)
        out.insert(out.end(), g.ScanLine(y), g.ScanLine(y) + n);
    return out;
}

std::vector<Byte> PackBitsRow(const Byte* p, int n) {
    std::vector<Byte> o;
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 128 && p[i + run] == p[i])
            ++run;
        if (run >= 2) {
            o.push_back(Byte(257 - run));
            o.push_back(p[i]);
            i += run;
            continue;
        }
        int lit = 1;
        while (i + lit < n && lit < 128 && !(i + lit + 1 < n && p[i + lit] == p[i + lit + 1]))
            ++lit;
        o.push_back(Byte(lit - 1));
        o.insert(o.end(), p + i, p + i + lit);
        i += lit;
    }
    return o;
}

// The library's own decoding of a strip, one row at a time, blue first.
std::vector<Byte> JpegRows(const std::vector<Byte>& strip, int samples) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, strip.data(), static_cast<unsigned long>(strip.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = samples == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_start_decompress(&d);
    std::vector<Byte> out(std::size_t(d.output_width) * d.output_height * samples);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.data() + std::size_t(d.output_scanline) * d.output_width * samples;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

} // namespace

// Compressed strips give the picture the stored strips give: PackBits and
// deflate with and without the horizontal predictor, 8 and 16 bits, colour,
// alpha, grey and palette, odd widths, strips of 5 rows over 13 and one
// strip; JPEG strips give the library's own rows.
TEST(TiffReader, CompressedStripsMatchTheStoredPicture) {
    std::mt19937 rng(2026);
    struct TLayout {
        int Bits, Samples, Photometric;
    };
    const TLayout layouts[] = {{8, 3, 2}, {8, 4, 2}, {8, 1, 1}, {8, 1, 3}, {16, 3, 2}, {16, 1, 1}};
    for (const TLayout& l : layouts)
        for (int width : {1, 7, 33})
            for (int rowsPerStrip : {5, 13}) {
                SCOPED_TRACE(::testing::Message() << l.Bits << " bits x " << l.Samples << ", width "
                                                  << width << ", strips of " << rowsPerStrip);
                const int height = 13;
                const int rowBytes = width * l.Samples * l.Bits / 8;
                std::vector<Byte> pixels(std::size_t(rowBytes) * height);
                // Runs as well as noise, so that PackBits uses both packets.
                for (std::size_t i = 0; i < pixels.size(); ++i)
                    pixels[i] = (rng() % 3 == 0 && i > 0) ? pixels[i - 1] : Byte(rng());
                // Cut: the second strip holds only its first two bytes.
                auto build = [&](unsigned compression, bool predictor, bool cut = false) {
                    TTiffBuilder b;
                    b.Basic(width, height, l.Bits, l.Samples, l.Photometric);
                    b.Short(259, {compression});
                    b.Long(278, {std::uint32_t(rowsPerStrip)});
                    if (l.Samples == 4) b.Short(338, {2});
                    if (l.Photometric == 3) {
                        std::vector<unsigned> map(768);
                        for (unsigned& v : map)
                            v = rng() & 0xFFFF;
                        b.Short(320, map);
                    }
                    if (predictor) b.Short(317, {2});
                    std::vector<std::uint32_t> offsets, counts;
                    for (int y0 = 0; y0 < height; y0 += rowsPerStrip) {
                        const int rows = std::min(rowsPerStrip, height - y0);
                        std::vector<Byte> strip(pixels.begin() + std::ptrdiff_t(y0) * rowBytes,
                                                pixels.begin() +
                                                    std::ptrdiff_t(y0 + rows) * rowBytes);
                        std::vector<Byte> coded;
                        if (compression == 32773) {
                            for (int r = 0; r < rows; ++r) {
                                auto c = PackBitsRow(strip.data() + r * rowBytes, rowBytes);
                                coded.insert(coded.end(), c.begin(), c.end());
                            }
                        } else if (compression == 8) {
                            if (predictor)
                                for (int r = 0; r < rows; ++r) {
                                    Byte* p = strip.data() + r * rowBytes;
                                    if (l.Bits == 8) {
                                        for (int i = rowBytes - 1; i >= l.Samples; --i)
                                            p[i] = Byte(p[i] - p[i - l.Samples]);
                                    } else {
                                        for (int i = rowBytes / 2 - 1; i >= l.Samples; --i) {
                                            const int j = i - l.Samples;
                                            const unsigned v =
                                                unsigned(p[2 * i] | p[2 * i + 1] << 8) -
                                                unsigned(p[2 * j] | p[2 * j + 1] << 8);
                                            p[2 * i] = Byte(v);
                                            p[2 * i + 1] = Byte(v >> 8);
                                        }
                                    }
                                }
                            uLongf size = compressBound(uLong(strip.size()));
                            coded.resize(size);
                            compress2(coded.data(), &size, strip.data(), uLong(strip.size()), 6);
                            coded.resize(size);
                        } else {
                            coded = strip;
                        }
                        offsets.push_back(8 + std::uint32_t(b.Pixels.size()));
                        counts.push_back(cut && y0 == rowsPerStrip ? 2u
                                                                   : std::uint32_t(coded.size()));
                        b.Pixels.insert(b.Pixels.end(), coded.begin(), coded.end());
                    }
                    b.Long(273, offsets);
                    b.Long(279, counts);
                    return b.Build();
                };
                TTIFFGraphic stored, packed;
                ASSERT_EQ(LoadMessage(stored, build(1, false)), "");
                const std::vector<Byte> expected = Lines(stored);
                for (auto [compression, predictor] :
                     {std::pair{32773u, false}, std::pair{8u, false}, std::pair{8u, true}}) {
                    ASSERT_EQ(LoadMessage(packed, build(compression, predictor)), "");
                    EXPECT_EQ(Lines(packed), expected) << compression << " " << predictor;
                }
                // The rows a cut strip does not reach stay blank.
                if (rowsPerStrip < height) {
                    std::vector<Byte> blanked = expected;
                    const std::size_t line = blanked.size() / height;
                    std::fill_n(blanked.begin() + std::ptrdiff_t(line * rowsPerStrip),
                                line * rowsPerStrip, Byte(0));
                    ASSERT_EQ(LoadMessage(packed, build(8, false, true)), "");
                    EXPECT_EQ(Lines(packed), blanked);
                }
            }

    for (int samples : {3, 1}) {
        const int width = 37, height = 21, rowsPerStrip = 16;
        std::vector<Byte> pixels(std::size_t(width) * height * samples);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = Byte((i * 7 / samples) ^ (rng() & 15));
        TTiffBuilder b;
        b.Basic(width, height, 8, samples, samples == 3 ? 6 : 1);
        b.Short(259, {7});
        b.Long(278, {rowsPerStrip});
        std::vector<std::uint32_t> offsets, counts;
        std::vector<Byte> expected;
        for (int y0 = 0; y0 < height; y0 += rowsPerStrip) {
            const int rows = std::min(rowsPerStrip, height - y0);
            const auto strip =
                JpegStrip(pixels.data() + std::size_t(y0) * width * samples, width, rows, samples);
            const auto decoded = JpegRows(strip, samples);
            expected.insert(expected.end(), decoded.begin(), decoded.end());
            offsets.push_back(8 + std::uint32_t(b.Pixels.size()));
            counts.push_back(std::uint32_t(strip.size()));
            b.Pixels.insert(b.Pixels.end(), strip.begin(), strip.end());
        }
        b.Long(273, offsets);
        b.Long(279, counts);
        TTIFFGraphic g;
        ASSERT_EQ(LoadMessage(g, b.Build()), "");
        EXPECT_EQ(Lines(g), expected) << samples << " samples";
    }
}
