// BMP reading against files written by independent tools, hand-made edge
// cases, rejection of malformed files, and writing.
#include <gtest/gtest.h>

#include <random>

#include "picture_fixtures.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BmpFormat.h"

namespace {

// Builds a BMP file: file header, 40-byte info header, colour table, data.
struct TBmpBuilder {
    std::int32_t Width = 1;
    std::int32_t Height = 1;
    std::uint16_t Bits = 8;
    std::uint32_t Compression = 0;
    std::uint32_t ClrUsed = 0;
    int PaletteEntries = 0;
    std::vector<std::uint8_t> Data;
    std::int64_t OffBitsOverride = -1;

    std::vector<std::uint8_t> Build() const {
        std::vector<std::uint8_t> out;
        auto u16 = [&](std::uint32_t v) {
            out.push_back(std::uint8_t(v));
            out.push_back(std::uint8_t(v >> 8));
        };
        auto u32 = [&](std::uint32_t v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        const std::uint32_t off = OffBitsOverride >= 0
                                      ? std::uint32_t(OffBitsOverride)
                                      : 14 + 40 + 4 * std::uint32_t(PaletteEntries);
        out.push_back('B');
        out.push_back('M');
        u32(off + std::uint32_t(Data.size())); // bfSize
        u32(0);                                // reserved
        u32(off);                              // bfOffBits
        u32(40);                               // biSize
        u32(std::uint32_t(Width));
        u32(std::uint32_t(Height));
        u16(1); // planes
        u16(Bits);
        u32(Compression);
        u32(std::uint32_t(Data.size())); // biSizeImage
        u32(0);
        u32(0);
        u32(ClrUsed);
        u32(0);
        for (int i = 0; i < PaletteEntries; ++i) { // entry i: red = 10 * i
            out.push_back(0);
            out.push_back(0);
            out.push_back(std::uint8_t(10 * i));
            out.push_back(0);
        }
        out.insert(out.end(), Data.begin(), Data.end());
        return out;
    }
};

TDibImage Read(const std::vector<std::uint8_t>& bytes) {
    return ReadBmp(bytes.data(), bytes.size());
}

int IndexAt(const TDibImage& img, int x, int y) {
    const std::uint8_t* row = img.Row(y);
    if (img.PixelFormat == pf4bit) return (x & 1) ? (row[x / 2] & 15) : (row[x / 2] >> 4);
    return row[x];
}

std::vector<int> Indices(const TDibImage& img) {
    std::vector<int> v;
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x)
            v.push_back(IndexAt(img, x, y));
    return v;
}

void ExpectInvalid(const std::vector<std::uint8_t>& bytes, const std::string& what) {
    try {
        Read(bytes);
        ADD_FAILURE() << what << ": accepted";
    } catch (const EInvalidGraphic& e) {
        // Sizes beyond the picture-size limit get the program's own refusal.
        const bool tooLarge = e.Message().rfind("Image trop grande (", 0) == 0;
        EXPECT_TRUE(e.Message() == "Bitmap image is not valid" || tooLarge) << what;
    }
}

} // namespace

TEST(BmpRead, FilesOfIndependentToolsGiveTheReferencePixels) {
    // Reduced depths are compared as channel levels: the reference tool
    // widens a level by shifting, this program by scaling.
    struct Case {
        const char* File;
        const char* Reference;
        TPixelFormat Format;
        int RedBits = 8, GreenBits = 8, BlueBits = 8;
    };
    const Case cases[] = {
        {"bmp/win1.bmp", "bmp/mono.ppm", pf1bit},
        {"bmp/win4.bmp", "bmp/pal16.ppm", pf4bit},
        {"bmp/win8.bmp", "bmp/pal256.ppm", pf8bit},
        {"bmp/os2_4.bmp", "bmp/pal16.ppm", pf4bit},
        {"bmp/os2_24.bmp", "bmp/rgb.ppm", pf24bit},
        {"bmp/win24.bmp", "bmp/rgb.ppm", pf24bit},
        {"bmp/rle8.bmp", "bmp/pal256.ppm", pf8bit},
        {"bmp/rgb555.bmp", "bmp/rgb555.ppm", pf15bit, 5, 5, 5},
        {"bmp/rgb565.bmp", "bmp/rgb565.ppm", pf16bit, 5, 6, 5},
        {"bmp/argb4444.bmp", "bmp/argb4444.ppm", pf32bit, 4, 4, 4},
        {"bmp/v5_32.bmp", "bmp/rgb.ppm", pf32bit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        TBitmap bmp;
        bmp.LoadFromFile(FixturePath(c.File));
        const TPpm ref = ReadPpm(c.Reference);
        ASSERT_EQ(bmp.Width(), ref.Width);
        ASSERT_EQ(bmp.Height(), ref.Height);
        EXPECT_EQ(bmp.PixelFormat(), c.Format);
        std::vector<std::uint8_t> got = bmp.ToBGRA();
        TPpm want = ref;
        const int bits[3] = {c.RedBits, c.GreenBits, c.BlueBits};
        for (size_t i = 0; i < size_t(ref.Width) * ref.Height; ++i)
            for (int ch = 0; ch < 3; ++ch) {
                const int max = (1 << bits[ch]) - 1;
                std::uint8_t& g = got[4 * i + 2 - ch];
                std::uint8_t& w = want.Rgb[3 * i + ch];
                g = std::uint8_t((g * max + 127) / 255);
                w = std::uint8_t(w >> (8 - bits[ch]));
            }
        EXPECT_EQ(MaxDifference(got, want), 0);
        if (c.Format == pf32bit) {
            EXPECT_EQ(bmp.ToBGRA()[3], 255); // opaque alpha kept
        }
    }
}

TEST(BmpRead, TopDownRowsEqualBottomUpRows) {
    std::vector<std::uint8_t> file = ReadFixture("bmp/win24.bmp");
    const TDibImage up = Read(file);
    // Negate biHeight and store the rows in the other order.
    const std::int32_t h = up.Height;
    const std::uint32_t neg = std::uint32_t(-h);
    for (int i = 0; i < 4; ++i)
        file[22 + i] = std::uint8_t(neg >> (8 * i));
    const std::uint32_t off = file[10] | (file[11] << 8);
    const size_t stride = up.Stride();
    std::vector<std::uint8_t> flipped(file.begin(), file.begin() + off);
    for (int r = h - 1; r >= 0; --r)
        flipped.insert(flipped.end(), file.begin() + off + r * stride,
                       file.begin() + off + (r + 1) * stride);
    const TDibImage down = Read(flipped);
    EXPECT_EQ(down.Height, h);
    EXPECT_EQ(down.Bits, up.Bits);
}

TEST(BmpRead, Rle4RunsAbsoluteRunsDeltaAndClipping) {
    TBmpBuilder b;
    b.Width = 6;
    b.Height = 3;
    b.Bits = 4;
    b.Compression = 2;
    b.PaletteEntries = 16;
    b.Data = {
        0x04, 0x12,                         // bottom row: 4 pixels alternating 1, 2
        0x00, 0x03, 0xAB, 0xC0,             // absolute A, B, C (C falls past the right edge)
        0x00, 0x00,                         // end of line
        0x00, 0x02, 0x02, 0x01,             // delta: 2 right, 1 up (middle row stays 0)
        0x00, 0x05, 0xDE, 0xF1, 0x20, 0x00, // absolute D E F 1 2, padded to a word
        0x00, 0x01,                         // end of bitmap
    };
    const TDibImage img = Read(b.Build());
    EXPECT_EQ(img.PixelFormat, pf4bit);
    const std::vector<int> expected = {0, 0, 0xD, 0xE, 0xF, 1, //
                                       0, 0, 0,   0,   0,   0, //
                                       1, 2, 1,   2,   0xA, 0xB};
    EXPECT_EQ(Indices(img), expected);
    EXPECT_EQ(img.Palette.Count(), 16);
    EXPECT_EQ(img.Palette.Entry(15).peRed, 150);
}

TEST(BmpRead, Rle8WithPaddedAbsoluteRunAndOptionalEndOfBitmap) {
    TBmpBuilder b;
    b.Width = 4;
    b.Height = 2;
    b.Bits = 8;
    b.Compression = 1;
    b.PaletteEntries = 8;
    b.ClrUsed = 8;
    b.Data = {0x03, 0x07,                // bottom row: 7 7 7
              0x00, 0x00,                // end of line
              0x00, 0x03, 1, 2, 3, 0x00, // absolute 1 2 3, padded
              0x00, 0x00};               // end of line after the last row, no end of bitmap
    const TDibImage img = Read(b.Build());
    EXPECT_EQ(Indices(img), (std::vector<int>{1, 2, 3, 0, 7, 7, 7, 0}));
    EXPECT_EQ(img.Palette.Count(), 8);

    // The same data cut inside the absolute run is truncated.
    b.Data.resize(7);
    ExpectInvalid(b.Build(), "cut absolute run");
    // Cut after the first row's end of line: rows are missing.
    b.Data.resize(4);
    ExpectInvalid(b.Build(), "missing rows");
}

TEST(BmpRead, EveryTruncationIsRefused) {
    for (const char* name : {"bmp/win8.bmp", "bmp/rle8.bmp", "bmp/os2_4.bmp", "bmp/rgb565.bmp"}) {
        const std::vector<std::uint8_t> file = ReadFixture(name);
        // The last row's padding and the final end-of-bitmap may be missing.
        for (size_t n = 0; n + 4 < file.size(); ++n)
            ExpectInvalid(std::vector<std::uint8_t>(file.begin(), file.begin() + n),
                          std::string(name) + " cut at " + std::to_string(n));
    }
}

TEST(BmpRead, InconsistentHeadersAreRefused) {
    TBmpBuilder good;
    good.Width = 2;
    good.Height = 2;
    good.Bits = 8;
    good.PaletteEntries = 4;
    good.ClrUsed = 4;
    good.Data.assign(8, 1);
    ASSERT_NO_THROW(Read(good.Build()));

    auto with = [&](auto change) {
        TBmpBuilder b = good;
        change(b);
        return b.Build();
    };
    ExpectInvalid(with([](TBmpBuilder& b) { b.Bits = 7; }), "7 bits");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Bits = 0; }), "0 bits");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Width = 0; }), "width 0");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Width = -2; }), "negative width");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Height = 0; }), "height 0");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Width = 40000; }), "too wide");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Height = -40000; }), "too tall");
    ExpectInvalid(with([](TBmpBuilder& b) {
                      b.Width = 30000;
                      b.Height = 30000;
                  }),
                  "too many pixels");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Compression = 2; }), "RLE4 on 8 bits");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Compression = 3; }), "bit fields on 8 bits");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Compression = 4; }), "embedded JPEG");
    ExpectInvalid(with([](TBmpBuilder& b) {
                      b.Compression = 1;
                      b.Height = -2;
                  }),
                  "top-down RLE");
    ExpectInvalid(with([](TBmpBuilder& b) { b.OffBitsOverride = 20; }), "pixels inside the header");
    ExpectInvalid(with([](TBmpBuilder& b) { b.OffBitsOverride = 5000; }), "pixels past the end");
    ExpectInvalid(with([](TBmpBuilder& b) { b.Data.resize(5); }), "short pixel data");
    ExpectInvalid(with([](TBmpBuilder& b) {
                      b.PaletteEntries = 0;
                      b.ClrUsed = 0;
                  }),
                  "no colour table");

    std::vector<std::uint8_t> bytes = good.Build();
    bytes[0] = 'M';
    ExpectInvalid(bytes, "signature");
    bytes = good.Build();
    bytes[14] = 20; // biSize of no known header
    ExpectInvalid(bytes, "header size");

    // Bit-field masks (after the 40-byte header) must be contiguous runs
    // inside the pixel.
    auto masked = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        TBmpBuilder bf;
        bf.Width = 1;
        bf.Height = 1;
        bf.Bits = 16;
        bf.Compression = 3;
        bf.OffBitsOverride = 14 + 40 + 12;
        for (std::uint32_t v : {r, g, b})
            for (int i = 0; i < 4; ++i)
                bf.Data.push_back(std::uint8_t(v >> (8 * i)));
        bf.Data.insert(bf.Data.end(), {0, 0, 0, 0}); // the one pixel, padded
        return bf.Build();
    };
    EXPECT_NO_THROW(Read(masked(0xF800, 0x07E0, 0x001F)));
    ExpectInvalid(masked(0xF0F0, 0x0700, 0x000F), "split mask");
    ExpectInvalid(masked(0x1F0000, 0x07E0, 0x001F), "mask outside 16 bits");
}

TEST(BmpRead, ColourTableIsTakenFromClrUsedAndBoundedByThePixelOffset) {
    TBmpBuilder b;
    b.Width = 2;
    b.Height = 1;
    b.Bits = 8;
    b.PaletteEntries = 3;
    b.ClrUsed = 3;
    b.Data = {2, 0, 0, 0};
    EXPECT_EQ(Read(b.Build()).Palette.Count(), 3);
    // clrUsed above what the depth can index: at most 2^bits entries.
    b.Bits = 1;
    b.ClrUsed = 300;
    b.Data = {0x80, 0, 0, 0};
    EXPECT_EQ(Read(b.Build()).Palette.Count(), 2);
    // An index past the table shows black.
    b.Bits = 8;
    b.ClrUsed = 2;
    b.PaletteEntries = 2;
    b.Data = {1, 5, 0, 0};
    TBitmap bmp;
    bmp.SetImage(Read(b.Build()));
    EXPECT_EQ(bmp.PixelColor(0, 0), RGB(10, 0, 0));
    EXPECT_EQ(bmp.PixelColor(1, 0), 0);
}

TEST(BmpWrite, ExactHeaderOfA24BitFile) {
    TBitmap bmp(2, 1, pf24bit);
    std::uint8_t* row = bmp.ScanLine(0);
    for (int i = 0; i < 6; ++i)
        row[i] = std::uint8_t(i + 1);
    TBytesStream s;
    bmp.SaveToStream(s);
    const std::vector<std::uint8_t> expected = {
        'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,        // size 62, pixels at 54
        40,  0,   0,  0, 2, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0, // 2 x 1 bottom-up, 24 bits
        0,   0,   0,  0, 8, 0, 0, 0,                           // BI_RGB, 8 bytes of pixels
        0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, // resolution, no colour table
        1,   2,   3,  4, 5, 6, 0, 0};                          // the row, padded
    EXPECT_EQ(s.Bytes(), expected);
}

TEST(BmpWrite, EveryFormatRoundTripsAtAwkwardSizes) {
    std::mt19937 rng(1234);
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit})
        for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {13, 5}}) {
            SCOPED_TRACE(testing::Message() << "format " << f << " " << w << "x" << h);
            TBitmap a(w, h, f);
            if (f == pf8bit) a.SetPalette(GrayPalette256());
            for (int y = 0; y < h; ++y) {
                std::uint8_t* row = a.ScanLine(y);
                const int bytes = int(BytesPerScanline(w, BitsPerPixel(f)));
                for (int i = 0; i < bytes; ++i)
                    row[i] = std::uint8_t(rng());
                // The bits past the last pixel are padding, not picture.
                const int used = (w * BitsPerPixel(f) + 7) / 8;
                for (int i = used; i < bytes; ++i)
                    row[i] = 0;
                if ((w * BitsPerPixel(f)) % 8)
                    row[used - 1] &= std::uint8_t(0xFF << (8 - (w * BitsPerPixel(f)) % 8));
            }
            TMemoryStream s;
            a.SaveToStream(s);
            s.SetPosition(0);
            TBitmap b;
            b.LoadFromStream(s);
            EXPECT_EQ(b.PixelFormat(), f);
            EXPECT_EQ(b.Image().Bits, a.Image().Bits);
            EXPECT_EQ(b.Palette(), a.Palette());
        }
}

TEST(BmpStream, LoadStopsAtTheEndOfTheFileAndDataIsSizePrefixed) {
    const std::vector<std::uint8_t> file = ReadFixture("bmp/win4.bmp");
    std::vector<std::uint8_t> bytes = file;
    bytes.insert(bytes.end(), {0xAA, 0xBB});
    TBytesStream s(bytes);
    TBitmap bmp;
    bmp.LoadFromStream(s);
    EXPECT_EQ(s.Position(), std::int64_t(file.size()));

    TBytesStream data;
    bmp.WriteData(data);
    const std::vector<std::uint8_t> d = data.Bytes();
    ASSERT_GE(d.size(), 4u);
    EXPECT_EQ(std::uint32_t(d[0] | d[1] << 8 | d[2] << 16 | d[3] << 24), d.size() - 4);
    data.SetPosition(0);
    TBitmap back;
    back.ReadData(data);
    EXPECT_EQ(back.Image().Bits, bmp.Image().Bits);

    // A size prefix larger than the stream is refused before reading.
    TBytesStream bad(std::vector<std::uint8_t>{0xFF, 0xFF, 0, 0, 'B', 'M'});
    EXPECT_THROW(back.ReadData(bad), EInvalidGraphic);
}
