#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "imageio/PictureColors.h"

namespace {

using Bytes = std::vector<Byte>;

// Converts one interleaved row and returns the target bytes; the target
// starts filled with 0xEE so untouched bytes show.
Bytes Convert(TColorManager& cm, const Bytes& source, int count, std::size_t targetBytes,
              Byte mask = 0xFF) {
    Bytes target(targetBytes, 0xEE);
    cm.ConvertRow(source.data(), target.data(), count, mask);
    return target;
}

void Configure(TColorManager& cm, TColorScheme from, TColorScheme to, Byte bits, Byte samples,
               Byte targetBits, Byte targetSamples) {
    cm.SetSourceColorScheme(from);
    cm.SetTargetColorScheme(to);
    cm.SetSourceBitsPerSample(bits);
    cm.SetSourceSamplesPerPixel(samples);
    cm.SetTargetBitsPerSample(targetBits);
    cm.SetTargetSamplesPerPixel(targetSamples);
}

std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EColorConversionError& e) {
        return e.Message();
    }
    return "no error";
}

Bytes Words(std::initializer_list<unsigned> values) {
    Bytes out;
    for (unsigned v : values) {
        const Word w = static_cast<Word>(v);
        Byte b[2];
        std::memcpy(b, &w, 2);
        out.insert(out.end(), b, b + 2);
    }
    return out;
}

} // namespace

TEST(ColorManagerSettings, Limits) {
    TColorManager cm;
    const std::string depth = "Profondeur des couleurs invalide. Elle doit être de 1, 2, 4, 8, or "
                              "16 bits par échantillon.";
    EXPECT_EQ(MessageOf([&] { cm.SetSourceBitsPerSample(0); }), depth);
    EXPECT_EQ(MessageOf([&] { cm.SetTargetBitsPerSample(17); }), depth);
    EXPECT_EQ(MessageOf([&] { cm.SetSourceBitsPerSample(3); }), "no error");
    const std::string pixel =
        "La profondeur des pixels de l'échantillon ne correspond pas au format des couleurs.";
    EXPECT_EQ(MessageOf([&] { cm.SetSourceSamplesPerPixel(0); }), pixel);
    EXPECT_EQ(MessageOf([&] { cm.SetTargetSamplesPerPixel(5); }), pixel);

    const float one[] = {0.5f};
    EXPECT_EQ(MessageOf([&] { cm.SetYCbCrParameters(one, 3, 1); }),
              "Valeur du sous échantillon est invalide. Les valeurs correctes sont 1, 2 et 4.");
    EXPECT_EQ(MessageOf([&] { cm.SetYCbCrParameters(one, 2, 4); }),
              "La valeur du sous échantillon vertical doit être <= à la valeur du sous "
              "échantillon horizontal.");
    cm.SetYCbCrParameters(one, 4, 2);
    // Only the weights given change.
    EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[0], 0.5f);
    EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[1], 0.587f);
    EXPECT_EQ(cm.HorizontalSubsampling(), 4);
    EXPECT_EQ(cm.VerticalSubsampling(), 2);
}

TEST(ColorManagerSettings, PixelFormatsPerSide) {
    struct Row {
        Byte samples, bits;
        TPixelFormat format;
    } rows[] = {{1, 1, pf1bit},   {1, 2, pf4bit},  {1, 4, pf4bit},   {1, 5, pfCustom},
                {1, 8, pf8bit},   {1, 16, pf8bit}, {2, 8, pfCustom}, {3, 1, pf15bit},
                {3, 5, pf15bit},  {3, 8, pf24bit}, {3, 16, pf24bit}, {4, 8, pf32bit},
                {4, 16, pf32bit}, {4, 4, pfCustom}};
    TColorManager cm;
    for (const Row& r : rows) {
        cm.SetTargetSamplesPerPixel(r.samples);
        cm.SetTargetBitsPerSample(r.bits);
        cm.SetSourceSamplesPerPixel(r.samples);
        cm.SetSourceBitsPerSample(r.bits);
        EXPECT_EQ(cm.TargetPixelFormat(), r.format) << int(r.samples) << "x" << int(r.bits);
        EXPECT_EQ(cm.SourcePixelFormat(), r.format) << int(r.samples) << "x" << int(r.bits);
    }
}

TEST(ColorManagerSelection, UnsupportedPairsFailAtFirstRow) {
    const std::string indexed =
        "La conversion entre les formats de pixels indexé et non-indexé n'est pas supportée.";
    const std::string none = "la conversion des couleurs a échoué. Méthode approprié non trouvé.";
    struct Row {
        TColorScheme from, to;
        std::string message;
    } rows[] = {
        {csG, csRGB, indexed},    {csRGB, csIndexed, indexed}, {csIndexed, csBGR, indexed},
        {csGA, csBGRA, indexed},  {csCMY, csBGR, none},        {csCMY, csRGB, none},
        {csRGB, csCMYK, none},    {csRGB, csYCbCr, none},      {csBGR, csCIELab, none},
        {csUnknown, csBGR, none}, {csYCbCr, csPhotoYCC, none},
    };
    for (const Row& r : rows) {
        TColorManager cm;
        cm.SetSourceColorScheme(r.from);
        cm.SetTargetColorScheme(r.to);
        if (r.to == csIndexed) cm.SetTargetSamplesPerPixel(1);
        Bytes source(16, 0), target(16, 0);
        EXPECT_EQ(MessageOf([&] { cm.ConvertRow(source.data(), target.data(), 1); }), r.message)
            << int(r.from) << " -> " << int(r.to);
    }
    // Grey with alpha needs 8 or 16 bits on both sides.
    TColorManager cm;
    Configure(cm, csGA, csG, 4, 2, 8, 1);
    Bytes source(4, 0), target(4, 0);
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(source.data(), target.data(), 1); }), none);
}

TEST(ColorManagerSelection, SchemesNeedTheirSamples) {
    // An RGBA source with three samples would be read past its row.
    TColorManager cm;
    Configure(cm, csRGBA, csBGRA, 8, 3, 8, 4);
    Bytes source(12, 0), target(16, 0);
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(source.data(), target.data(), 4); }),
              "La profondeur des pixels de l'échantillon ne correspond pas au format des "
              "couleurs.");
    Configure(cm, csCMYK, csBGR, 8, 3, 8, 3);
    EXPECT_NE(MessageOf([&] { cm.ConvertRow(source.data(), target.data(), 4); }), "no error");
    // Planar rows need a plane per sample.
    Configure(cm, csRGB, csBGR, 8, 3, 8, 3);
    const Byte* planes[2] = {source.data(), source.data()};
    EXPECT_NE(MessageOf([&] { cm.ConvertPixels(planes, target.data(), 1); }), "no error");
}

TEST(ColorManagerCopy, RgbAndBgrOrders) {
    TColorManager cm; // RGB -> BGR by default, no gamma
    EXPECT_EQ(Convert(cm, {1, 2, 3, 250, 251, 252}, 2, 6), (Bytes{3, 2, 1, 252, 251, 250}));
    Configure(cm, csBGR, csBGR, 8, 3, 8, 3);
    EXPECT_EQ(Convert(cm, {1, 2, 3}, 1, 3), (Bytes{1, 2, 3}));
    Configure(cm, csBGR, csRGB, 8, 3, 8, 3);
    EXPECT_EQ(Convert(cm, {1, 2, 3}, 1, 3), (Bytes{3, 2, 1}));
    // Alpha copied, dropped, or made opaque.
    Configure(cm, csRGBA, csBGRA, 8, 4, 8, 4);
    EXPECT_EQ(Convert(cm, {1, 2, 3, 4}, 1, 4), (Bytes{3, 2, 1, 4}));
    Configure(cm, csRGBA, csBGR, 8, 4, 8, 3);
    EXPECT_EQ(Convert(cm, {1, 2, 3, 4, 5, 6, 7, 8}, 2, 6), (Bytes{3, 2, 1, 7, 6, 5}));
    Configure(cm, csRGB, csRGBA, 8, 3, 8, 4);
    EXPECT_EQ(Convert(cm, {1, 2, 3}, 1, 4), (Bytes{1, 2, 3, 255}));
}

TEST(ColorManagerCopy, SixteenBitSamples) {
    TColorManager cm;
    Configure(cm, csRGB, csBGR, 16, 3, 8, 3);
    cm.SetSourceOptions(coNeedByteSwap);
    // Big-endian 0xFFFF, 0x8000, 0x0100: value x 255 / 65535, truncated.
    EXPECT_EQ(Convert(cm, {0xFF, 0xFF, 0x80, 0x00, 0x01, 0x00}, 1, 3), (Bytes{0, 127, 255}));
    cm.SetSourceOptions(0);
    EXPECT_EQ(Convert(cm, Words({0xFFFF, 0x8000, 0x0100}), 1, 3), (Bytes{0, 127, 255}));
    // 8-bit values widened to 16 bits as value x 65535 / 255.
    Configure(cm, csRGB, csRGB, 8, 3, 16, 3);
    EXPECT_EQ(Convert(cm, {0, 1, 255}, 1, 6), Words({0, 257, 65535}));
    Configure(cm, csRGBA, csRGBA, 16, 4, 16, 4);
    EXPECT_EQ(Convert(cm, Words({0x1234, 65535, 0, 0x8000}), 1, 8),
              Words({18 * 257, 65535, 0, 127 * 257}));
}

TEST(ColorManagerCopy, PlanarSources) {
    TColorManager cm;
    const Bytes red{10, 11}, green{20, 21}, blue{30, 31};
    const Byte* planes[3] = {red.data(), green.data(), blue.data()};
    Bytes target(6, 0);
    cm.ConvertPixels(planes, target.data(), 2);
    EXPECT_EQ(target, (Bytes{30, 20, 10, 31, 21, 11}));
    // Four planes into BGRA, alpha from the fourth.
    Configure(cm, csRGBA, csBGRA, 8, 4, 8, 4);
    const Bytes alpha{40, 41};
    const Byte* four[4] = {red.data(), green.data(), blue.data(), alpha.data()};
    Bytes target4(8, 0);
    cm.ConvertPixels(four, target4.data(), 2);
    EXPECT_EQ(target4, (Bytes{30, 20, 10, 40, 31, 21, 11, 41}));
}

TEST(ColorManagerCopy, MaskSkipsPixels) {
    TColorManager cm;
    Configure(cm, csRGB, csRGB, 8, 3, 8, 3);
    Bytes source(8 * 3);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = Byte(i);
    Bytes out = Convert(cm, source, 8, 24, 0x80);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{0, 1, 2}));
    EXPECT_EQ(Bytes(out.begin() + 3, out.end()), Bytes(21, 0xEE));
    // The pattern repeats every eight pixels: 0x41 writes pixels 1, 7, 9.
    Bytes source10(10 * 3, 7);
    out = Convert(cm, source10, 10, 30, 0x41);
    for (int p = 0; p < 10; ++p)
        EXPECT_EQ(out[p * 3], (p == 1 || p == 7 || p == 9) ? 7 : 0xEE) << p;
}

// Whole interleaved rows of bytes take a shorter road than masked ones; the
// two halves of a row converted through masks must give the whole row.
TEST(ColorManagerCopy, WholeRowsMatchPixelByPixel) {
    std::mt19937 rng(3);
    struct TCase {
        TColorScheme From, To;
        Byte Samples, TargetSamples;
    };
    for (const TCase& c :
         {TCase{csRGB, csBGR, 3, 3}, TCase{csBGR, csBGR, 3, 3}, TCase{csRGBA, csBGRA, 4, 4},
          TCase{csRGBA, csBGR, 4, 3}, TCase{csRGB, csBGRA, 3, 4}, TCase{csBGRA, csRGBA, 4, 4},
          TCase{csRGB, csBGR, 4, 4}}) {
        TColorManager cm;
        Configure(cm, c.From, c.To, 8, c.Samples, 8, c.TargetSamples);
        const int count = 37;
        Bytes source(std::size_t(count) * c.Samples);
        for (Byte& b : source)
            b = Byte(rng());
        const std::size_t targetBytes = std::size_t(count) * c.TargetSamples;
        Bytes halves(targetBytes, 0xEE);
        cm.ConvertRow(source.data(), halves.data(), count, 0xAA);
        cm.ConvertRow(source.data(), halves.data(), count, 0x55);
        EXPECT_EQ(Convert(cm, source, count, targetBytes), halves)
            << int(c.From) << " " << int(c.To) << " " << int(c.Samples);
    }
}

TEST(ColorManagerGamma, TableAndUse) {
    TColorManager cm;
    // The default 1.0 x 2.2: round((i / 255) ^ (1 / 2.2) x 255).
    const auto& t = cm.GammaTable();
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 21);
    EXPECT_EQ(t[10], 59);
    EXPECT_EQ(t[64], 136);
    EXPECT_EQ(t[128], 186);
    EXPECT_EQ(t[200], 228);
    EXPECT_EQ(t[255], 255);
    // Not applied unless the target asks for it.
    Configure(cm, csRGB, csRGB, 8, 3, 8, 3);
    EXPECT_EQ(Convert(cm, {1, 128, 200}, 1, 3), (Bytes{1, 128, 200}));
    cm.SetTargetOptions(coApplyGamma);
    EXPECT_EQ(Convert(cm, {1, 128, 200}, 1, 3), (Bytes{21, 186, 228}));
    // Alpha is not gamma corrected.
    Configure(cm, csRGBA, csRGBA, 8, 4, 8, 4);
    EXPECT_EQ(Convert(cm, {10, 64, 255, 128}, 1, 4), (Bytes{59, 136, 255, 128}));

    // Values of 0 or less fall back to 1.0 and 2.2; a PNG gamma of 1/2.2
    // gives an almost straight table.
    cm.SetGamma(0.0f, -1.0f);
    EXPECT_FLOAT_EQ(cm.MainGamma(), 1.0f);
    EXPECT_FLOAT_EQ(cm.DisplayGamma(), 2.2f);
    cm.SetGamma(0.45455f, 2.2f);
    EXPECT_EQ(cm.GammaTable()[1], 1);
    EXPECT_EQ(cm.GammaTable()[10], 10);
    EXPECT_EQ(cm.GammaTable()[128], 128);
    cm.SetGamma(1.0f, 1.0f);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(cm.GammaTable()[i], i);
}

TEST(ColorManagerIndexed, RepackingBetweenDepths) {
    TColorManager cm;
    // 2-bit indices widened to 4 bits: value x 15 / 3.
    Configure(cm, csIndexed, csIndexed, 2, 1, 4, 1);
    EXPECT_EQ(Convert(cm, {0b00011011}, 4, 2), (Bytes{0x05, 0xAF}));
    // 1 bit to 8 bits, and 4 bits to 8 bits (x 17).
    Configure(cm, csIndexed, csIndexed, 1, 1, 8, 1);
    EXPECT_EQ(Convert(cm, {0b10100000}, 3, 3), (Bytes{255, 0, 255}));
    Configure(cm, csG, csG, 4, 1, 8, 1);
    EXPECT_EQ(Convert(cm, {0x0F, 0x71}, 4, 4), (Bytes{0, 255, 119, 17}));
    // 8 bits to 1 bit truncates: only 255 stays set.
    Configure(cm, csG, csG, 8, 1, 1, 1);
    EXPECT_EQ(Convert(cm, {255, 254, 0, 255, 255, 255, 255, 255, 255}, 9, 2),
              (Bytes{0b10011111, 0b1'1101110}));
    // 3-bit samples straddle bytes.
    Configure(cm, csG, csG, 3, 1, 8, 1);
    EXPECT_EQ(Convert(cm, {0b11100111, 0b00000000}, 3, 3), (Bytes{255, 36, 218}));
    // Same depth, full mask: copied as is.
    Configure(cm, csIndexed, csIndexed, 4, 1, 4, 1);
    EXPECT_EQ(Convert(cm, {0x12, 0x34}, 3, 2), (Bytes{0x12, 0x34}));
    // 16-bit indices scaled to 8 bits, byte-swapped first.
    Configure(cm, csIndexed, csIndexed, 16, 1, 8, 1);
    cm.SetSourceOptions(coNeedByteSwap);
    EXPECT_EQ(Convert(cm, {0x12, 0x34, 0xFF, 0xFF}, 2, 2), (Bytes{18, 255}));
    // 8 bits to 16 bits.
    Configure(cm, csIndexed, csIndexed, 8, 1, 16, 1);
    EXPECT_EQ(Convert(cm, {2, 255}, 2, 4), Words({514, 65535}));
}

TEST(ColorManagerIndexed, PlanarSamples) {
    // Two planes of 2-bit samples, each holding only its own sample of every
    // pixel (once read as if interleaved, past the plane's end).
    TColorManager cm;
    Configure(cm, csIndexed, csIndexed, 2, 2, 4, 2);
    const Bytes first{0b00011011}, second{0b11100100};
    const Byte* planes[2] = {first.data(), second.data()};
    Bytes target(4, 0);
    cm.ConvertPixels(planes, target.data(), 4);
    EXPECT_EQ(target, (Bytes{0x0F, 0x5A, 0xA5, 0xF0}));
}

TEST(ColorManagerIndexed, MaskKeepsOtherBits) {
    TColorManager cm;
    Configure(cm, csIndexed, csIndexed, 1, 1, 1, 1);
    Bytes target{0b01010101};
    const Bytes source{0xFF};
    cm.ConvertRow(source.data(), target.data(), 8, 0x80);
    EXPECT_EQ(target[0], 0b11010101);
    Configure(cm, csIndexed, csIndexed, 4, 1, 4, 1);
    Bytes target4{0x00, 0x00};
    const Bytes source4{0x9A, 0xBC};
    cm.ConvertRow(source4.data(), target4.data(), 4, 0x50); // pixels 1 and 3
    EXPECT_EQ(target4, (Bytes{0x0A, 0x0C}));
}

TEST(ColorManagerGray, GreyConverter) {
    TColorManager cm;
    // 16-bit grey to 8 bits, with gamma.
    Configure(cm, csG, csG, 16, 1, 8, 1);
    cm.SetSourceOptions(coNeedByteSwap);
    EXPECT_EQ(Convert(cm, {0x80, 0x00, 0xFF, 0xFF}, 2, 2), (Bytes{127, 255}));
    cm.SetTargetOptions(coApplyGamma);
    EXPECT_EQ(Convert(cm, {0x01, 0x01}, 1, 1), (Bytes{21}));
    // Grey with alpha into grey drops the alpha.
    Configure(cm, csGA, csG, 8, 2, 8, 1);
    cm.SetSourceOptions(0);
    cm.SetTargetOptions(0);
    EXPECT_EQ(Convert(cm, {10, 200, 20, 100}, 2, 2), (Bytes{10, 20}));
    Configure(cm, csGA, csIndexed, 8, 2, 16, 1);
    EXPECT_EQ(Convert(cm, {10, 200}, 1, 2), Words({2570}));
}

TEST(ColorManagerCMYK, EightAndSixteenBits) {
    TColorManager cm;
    Configure(cm, csCMYK, csRGB, 8, 4, 8, 3);
    // R = C x K / 255 - C - K + 255 with cyan -> red, magenta -> green.
    EXPECT_EQ(Convert(cm, {128, 0, 255, 128, 0, 0, 0, 0, 255, 255, 255, 255}, 3, 9),
              (Bytes{63, 127, 0, 255, 255, 255, 0, 0, 0}));
    Configure(cm, csCMYK, csBGRA, 8, 4, 8, 4);
    EXPECT_EQ(Convert(cm, {128, 0, 255, 128}, 1, 4), (Bytes{0, 127, 63, 255}));
    Configure(cm, csCMYK, csBGR, 16, 4, 8, 3);
    EXPECT_EQ(Convert(cm, Words({65535, 32768, 0, 32768}), 1, 3), (Bytes{128, 64, 0}));
    EXPECT_EQ(Convert(cm, Words({0, 0, 0, 0}), 1, 3), (Bytes{255, 255, 255}));
}

TEST(ColorManagerLab, KnownColours) {
    TColorManager cm;
    Configure(cm, csCIELab, csRGB, 8, 3, 8, 3);
    // L raw 0..100, a and b signed bytes; the results are sRGB levels (L 50
    // is the grey 119 of every colour table, not the linear 47).
    EXPECT_EQ(Convert(cm, {100, 0, 0}, 1, 3), (Bytes{255, 255, 255}));
    EXPECT_EQ(Convert(cm, {50, 0, 0}, 1, 3), (Bytes{119, 119, 119}));
    EXPECT_EQ(Convert(cm, {5, 0, 0}, 1, 3), (Bytes{17, 17, 17})); // the linear branch
    EXPECT_EQ(Convert(cm, {60, 40, Byte(-30)}, 1, 3), (Bytes{187, 119, 197}));
    EXPECT_EQ(Convert(cm, {50, Byte(-20), 20}, 1, 3), (Bytes{97, 127, 85}));
    EXPECT_EQ(Convert(cm, {0, 0, 0}, 1, 3), (Bytes{0, 0, 0}));
    // L stored 0..255 (divided by 2.55), a and b offset by 128; BGR target.
    Configure(cm, csCIELab, csBGR, 8, 3, 8, 3);
    cm.SetSourceOptions(coLabByteRange | coLabChromaOffset);
    EXPECT_EQ(Convert(cm, {200, 128, 128}, 1, 3), (Bytes{194, 194, 194}));
    EXPECT_EQ(Convert(cm, {153, 168, 98}, 1, 3), (Bytes{197, 119, 187}));
}

TEST(ColorManagerYCbCr, TablesAndConversion) {
    TColorManager cm;
    Configure(cm, csYCbCr, csRGB, 8, 3, 8, 3);
    EXPECT_EQ(Convert(cm, {100, 128, 128}, 1, 3), (Bytes{100, 100, 100}));
    EXPECT_EQ(Convert(cm, {128, 128, 255}, 1, 3), (Bytes{255, 37, 128}));
    EXPECT_EQ(Convert(cm, {100, 90, 170}, 1, 3), (Bytes{159, 83, 33}));
    EXPECT_EQ(Convert(cm, {50, 200, 60}, 1, 3), (Bytes{0, 74, 178}));
    // 16-bit sources are brought to 8 bits first; 16-bit targets widened.
    Configure(cm, csYCbCr, csBGR, 16, 3, 16, 3);
    EXPECT_EQ(Convert(cm, Words({100 * 257, 90 * 257, 170 * 257}), 1, 6),
              Words({33 * 257, 83 * 257, 159 * 257}));
}

TEST(ColorManagerYCbCr, PhotoYCC) {
    TColorManager cm;
    const float weights[] = {0.2125f, 0.7154f, 0.0721f};
    cm.SetYCbCrParameters(weights, 2, 2);
    Configure(cm, csPhotoYCC, csBGR, 8, 3, 8, 3);
    // Neutral chroma: 156 for C1 (blue difference), 137 for C2 (red
    // difference), as Photo-CD files store greys.
    EXPECT_EQ(Convert(cm, {100, 156, 137}, 1, 3), (Bytes{100, 100, 100}));
    EXPECT_EQ(Convert(cm, {120, 100, 200}, 1, 3), (Bytes{16, 101, 219}));
    // 16 bits on both sides: the direct formula.
    Configure(cm, csPhotoYCC, csRGB, 16, 3, 16, 3);
    EXPECT_EQ(Convert(cm, Words({10000, 40092, 35209}), 1, 6), Words({13584, 13584, 13584}));
    EXPECT_EQ(Convert(cm, Words({20000, 30000, 45000}), 1, 6), Words({45002, 22433, 4785}));
    EXPECT_EQ(Convert(cm, Words({50000, 40092, 35209}), 1, 6), Words({65535, 65535, 65535}));
}

TEST(ColorManagerPalettes, GreyPalettes) {
    TColorManager cm;
    cm.SetTargetSamplesPerPixel(1);
    cm.SetTargetBitsPerSample(1);
    TPalette p = cm.CreateGrayscalePalette(false);
    ASSERT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Entry(0).peRed, 0);
    EXPECT_EQ(p.Entry(1).peBlue, 255);
    cm.SetTargetBitsPerSample(2);
    p = cm.CreateGrayscalePalette(true);
    ASSERT_EQ(p.Count(), 4);
    const Byte reversed[] = {255, 170, 85, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(p.Entry(i).peGreen, reversed[i]);
    cm.SetTargetBitsPerSample(3);
    p = cm.CreateGrayscalePalette(false);
    ASSERT_EQ(p.Count(), 8);
    EXPECT_EQ(p.Entry(7).peRed, 252); // step 255 div 7 = 36
    cm.SetTargetBitsPerSample(16);
    p = cm.CreateGrayscalePalette(false);
    ASSERT_EQ(p.Count(), 256);
    EXPECT_EQ(p.Entry(77).peRed, 77);
    // Through the gamma table when the target applies gamma.
    cm.SetTargetBitsPerSample(1);
    cm.SetTargetOptions(coApplyGamma);
    cm.SetGamma(1.0f, 2.2f);
    p = cm.CreateGrayscalePalette(false);
    EXPECT_EQ(p.Entry(1).peRed, 255);
    cm.SetTargetBitsPerSample(8);
    p = cm.CreateGrayscalePalette(false);
    EXPECT_EQ(p.Entry(128).peRed, 186);
}

TEST(ColorManagerPalettes, ColourTablesInEveryLayout) {
    TColorManager cm;
    auto colours = [](const TPalette& p) {
        std::vector<std::array<int, 3>> out;
        for (int i = 0; i < p.Count(); ++i)
            out.push_back({p.Entry(i).peRed, p.Entry(i).peGreen, p.Entry(i).peBlue});
        return out;
    };
    using C = std::vector<std::array<int, 3>>;
    const Bytes triples{1, 2, 3, 4, 5, 6};
    std::span<const Byte> one[] = {triples};
    EXPECT_EQ(colours(cm.CreateColorPalette(one, pfInterlaced8Triple, 2)),
              (C{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(colours(cm.CreateColorPalette(one, pfInterlaced8Triple, 2, true)),
              (C{{3, 2, 1}, {6, 5, 4}}));
    const Bytes quads{1, 2, 3, 99, 4, 5, 6, 99};
    std::span<const Byte> q[] = {quads};
    EXPECT_EQ(colours(cm.CreateColorPalette(q, pfInterlaced8Quad, 2)), (C{{1, 2, 3}, {4, 5, 6}}));
    // Planes: one span per component, or one span holding them in turn.
    const Bytes r{1, 4}, g{2, 5}, b{3, 6};
    std::span<const Byte> planes[] = {r, g, b};
    EXPECT_EQ(colours(cm.CreateColorPalette(planes, pfPlane8Triple, 2)), (C{{1, 2, 3}, {4, 5, 6}}));
    const Bytes joined{1, 4, 2, 5, 3, 6};
    std::span<const Byte> j[] = {joined};
    EXPECT_EQ(colours(cm.CreateColorPalette(j, pfPlane8Triple, 2)), (C{{1, 2, 3}, {4, 5, 6}}));
    // 16-bit planes (a colour map of 257-multiples), big-endian.
    cm.SetSourceOptions(coNeedByteSwap);
    const Bytes map16{0x00, 0x00, 0xFF, 0xFF, 0x01, 0x01, 0x80, 0x80, 0x12, 0x12, 0x00, 0xFF};
    std::span<const Byte> m[] = {map16};
    EXPECT_EQ(colours(cm.CreateColorPalette(m, pfPlane16Triple, 2)),
              (C{{0, 1, 18}, {255, 128, 0}}));
    // Palettes are gamma corrected like the samples of the other schemes.
    cm.SetTargetOptions(coApplyGamma);
    const Bytes dark{1, 128, 200};
    std::span<const Byte> d[] = {dark};
    EXPECT_EQ(colours(cm.CreateColorPalette(d, pfInterlaced8Triple, 1)), (C{{21, 186, 228}}));
    // A table shorter than its count is refused.
    EXPECT_THROW(cm.CreateColorPalette(one, pfInterlaced8Triple, 3), EColorConversionError);
    EXPECT_THROW(cm.CreateColorPalette(planes, pfPlane8Triple, 3), EColorConversionError);
    EXPECT_TRUE(cm.CreateColorPalette(one, pfInterlaced8Triple, 0).Empty());
}
