// JPEG decoding against reference decodes of files made by an independent
// tool, decode options, and clean failures on bad data.
#include <gtest/gtest.h>

#include "picture_fixtures.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/JpegImage.h"

namespace {
void ExpectRefused(const std::vector<std::uint8_t>& bytes, const std::string& what) {
    try {
        DecodeJpeg(bytes.data(), bytes.size());
        ADD_FAILURE() << what << ": accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_TRUE(e.Message().rfind("JPEG image is not valid", 0) == 0 ||
                    e.Message().rfind("Image trop grande (", 0) == 0)
            << e.Message();
    }
}
} // namespace

TEST(Jpeg, DecodesLikeTheReferenceDecoder) {
    struct Case {
        const char* File;
        const char* Reference;
        int Tolerance; // the reference converts CMYK with its own rounding
    };
    for (const Case& c :
         {Case{"jpeg/baseline.jpg", "jpeg/baseline.ppm", 0},
          Case{"jpeg/progressive.jpg", "jpeg/progressive.ppm", 0},
          Case{"jpeg/grey.jpg", "jpeg/grey.ppm", 0}, Case{"jpeg/cmyk.jpg", "jpeg/cmyk.ppm", 2}}) {
        SCOPED_TRACE(c.File);
        TJPEGImage j;
        j.LoadFromFile(FixturePath(c.File));
        const TPpm ref = ReadPpm(c.Reference);
        ASSERT_EQ(j.Width(), ref.Width);
        ASSERT_EQ(j.Height(), ref.Height);
        EXPECT_EQ(j.Bitmap().PixelFormat(), pf24bit);
        EXPECT_LE(MaxDifference(j.Bitmap().ToBGRA(), ref), c.Tolerance);
    }
}

TEST(Jpeg, ScaleAndGrayscaleChangeTheDecodedPixels) {
    TJPEGImage j;
    j.LoadFromFile(FixturePath("jpeg/baseline.jpg"));
    j.SetScale(jsHalf);
    EXPECT_EQ(j.Width(), 12);
    EXPECT_EQ(j.Height(), 8);
    j.SetScale(jsEighth);
    EXPECT_EQ(j.Width(), 3);
    j.SetScale(jsFullSize);
    for (const char* file : {"jpeg/baseline.jpg", "jpeg/cmyk.jpg"}) {
        TJPEGImage g;
        g.SetGrayscale(true);
        g.LoadFromFile(FixturePath(file));
        const std::vector<std::uint8_t> px = g.Bitmap().ToBGRA();
        ASSERT_EQ(px.size(), 24u * 16 * 4) << file;
        for (size_t i = 0; i < px.size(); i += 4) {
            ASSERT_EQ(px[i], px[i + 1]) << file;
            ASSERT_EQ(px[i], px[i + 2]) << file;
        }
    }
}

TEST(Jpeg, SavingWritesTheFileBytesBackAndCopiesAreIndependent) {
    const std::vector<std::uint8_t> file = ReadFixture("jpeg/progressive.jpg");
    TJPEGImage j;
    j.LoadFromFile(FixturePath("jpeg/progressive.jpg"));
    TBytesStream out;
    j.SaveToStream(out);
    EXPECT_EQ(out.Bytes(), file);

    TBytesStream data;
    j.WriteData(data);
    data.SetPosition(0);
    TJPEGImage back;
    back.ReadData(data);
    EXPECT_TRUE(back.Equals(&j));

    TJPEGImage copy;
    copy.Assign(&j);
    j.SetScale(jsQuarter);
    EXPECT_EQ(copy.Width(), 24);
}

TEST(Jpeg, BadDataRaisesInsteadOfEndingTheProgram) {
    const std::vector<std::uint8_t> file = ReadFixture("jpeg/baseline.jpg");
    ExpectRefused({}, "empty");
    ExpectRefused({0xFF, 0xD8}, "start of image only");
    ExpectRefused(std::vector<std::uint8_t>(file.begin(), file.begin() + file.size() / 2),
                  "half a file");
    ExpectRefused(std::vector<std::uint8_t>(file.begin(), file.end() - 40),
                  "missing the last scan bytes");
    std::vector<std::uint8_t> garbage(file.size(), 0x5A);
    ExpectRefused(garbage, "not a JPEG");

    // A frame header announcing 60000 x 60000 pixels is refused before any
    // pixel memory is taken.
    std::vector<std::uint8_t> huge = file;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
            huge[i + 5] = 0xEA; // height 0xEA60
            huge[i + 6] = 0x60;
            huge[i + 7] = 0xEA; // width 0xEA60
            huge[i + 8] = 0x60;
            break;
        }
    ExpectRefused(huge, "too large");

    TJPEGImage j;
    TBytesStream s(std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_THROW(j.LoadFromStream(s), EInvalidGraphic);
    EXPECT_TRUE(j.Empty());
}
