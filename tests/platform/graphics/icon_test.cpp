// Icon reading: colours and AND mask of a file made by an independent tool,
// refusal of PNG entries and malformed directories.
#include <gtest/gtest.h>

#include "picture_fixtures.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"

namespace {
std::vector<std::uint8_t> IconWithEntry(const std::vector<std::uint8_t>& image, std::uint8_t w = 1,
                                        std::uint8_t h = 1) {
    std::vector<std::uint8_t> f = {0, 0, 1, 0, 1, 0,         // reserved, type 1 (icon), one entry
                                   w, h, 0, 0, 1, 0, 32, 0}; // size, colours, planes, bits
    const std::uint32_t size = std::uint32_t(image.size()), off = 22;
    for (int i = 0; i < 4; ++i)
        f.push_back(std::uint8_t(size >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        f.push_back(std::uint8_t(off >> (8 * i)));
    f.insert(f.end(), image.begin(), image.end());
    return f;
}

void ExpectMessage(const std::vector<std::uint8_t>& bytes, const std::string& message) {
    try {
        ReadIcon(bytes.data(), bytes.size());
        ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), message);
    }
}
} // namespace

TEST(Icon, ColoursAndMaskOfAnIndependentFile) {
    TIcon icon;
    icon.LoadFromFile(FixturePath("bmp/icon16.ico"));
    const TPpm ref = ReadPpm("bmp/icon16.ppm");
    ASSERT_EQ(icon.Width(), 16);
    ASSERT_EQ(icon.Height(), 16);
    EXPECT_TRUE(icon.Transparent());
    const TDibImage& img = icon.Image();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* p = img.Row(y) + 4 * x;
            const std::uint8_t* r = ref.Rgb.data() + 3 * (y * 16 + x);
            if (x < 4 && y < 4) {
                EXPECT_EQ(p[3], 0) << x << "," << y;
            } else {
                EXPECT_EQ(p[3], 255) << x << "," << y;
                EXPECT_EQ((std::vector<int>{p[2], p[1], p[0]}),
                          (std::vector<int>{r[0], r[1], r[2]}));
            }
        }
    EXPECT_THROW(icon.SetWidth(32), EInvalidGraphicOperation);

    TBitmap b;
    b.Assign(&icon);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.ScanLine(0)[3], 0);

    // Saving gives back the file.
    TBytesStream s;
    icon.SaveToStream(s);
    EXPECT_EQ(s.Bytes(), ReadFixture("bmp/icon16.ico"));
}

TEST(Icon, PngEntriesAndMalformedDirectoriesAreRefused) {
    ExpectMessage(IconWithEntry({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}),
                  SPngIconNotSupported);
    ExpectMessage({0, 0, 2, 0, 1, 0}, SInvalidIcon);           // a cursor directory
    ExpectMessage({0, 0, 1, 0, 0, 0}, SInvalidIcon);           // no entry
    ExpectMessage({0, 0, 1, 0, 3, 0, 1, 1}, SInvalidIcon);     // entries cut off
    ExpectMessage(IconWithEntry({40, 0, 0, 0}), SInvalidIcon); // header cut off
    std::vector<std::uint8_t> file = ReadFixture("bmp/icon16.ico");
    for (size_t n = 0; n < file.size(); n += 7)
        ExpectMessage(std::vector<std::uint8_t>(file.begin(), file.begin() + n), SInvalidIcon);
    // An odd height cannot hold colour and mask rows.
    file[22 + 8] = 31;
    ExpectMessage(file, SInvalidIcon);
}

TEST(Icon, ThirtyTwoBitImagesUseTheirAlpha) {
    // One pixel BGRA (1,2,3,128), then a mask row saying opaque.
    std::vector<std::uint8_t> dib = {40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0};
    dib.resize(40, 0);
    dib.insert(dib.end(), {1, 2, 3, 128, 0, 0, 0, 0});
    const std::vector<std::uint8_t> file = IconWithEntry(dib);
    const TDibImage img = ReadIcon(file.data(), file.size());
    EXPECT_EQ((std::vector<int>(img.Row(0), img.Row(0) + 4)), (std::vector<int>{1, 2, 3, 128}));
}
