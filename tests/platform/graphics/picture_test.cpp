// TPicture and the picture-format registry: class choice by extension,
// filters, class lookup by name, the component-stream form, and the
// metafile refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "picture_fixtures.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/JpegImage.h"
#include "platform/graphics/Metafile.h"

namespace {

class PictureTest : public testing::Test {
protected:
    void SetUp() override {
        DoneGraphicsModule();
        TPicture::RegisterFileFormat("bmp", "Bitmaps", GraphicClassOf<TBitmap>());
        TPicture::RegisterFileFormat("jpg", "JPEG Image File", GraphicClassOf<TJPEGImage>());
        TPicture::RegisterFileFormat("ico", "Icons", GraphicClassOf<TIcon>());
        TPicture::RegisterFileFormat("wmf", "Metafiles", GraphicClassOf<TMetafile>());
    }
    void TearDown() override { DoneGraphicsModule(); }

    std::string TempCopy(const std::string& fixture, const std::string& name) {
        const std::string path = testing::TempDir() + name;
        std::filesystem::copy_file(FixturePath(fixture), path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }
};

} // namespace

TEST_F(PictureTest, FilterListsAllPicturesFirstInRegistrationOrder) {
    EXPECT_EQ(
        GraphicFilter(),
        "Toutes les images (*.bmp;*.jpg;*.ico;*.wmf)|*.bmp;*.jpg;*.ico;*.wmf|Bitmaps (*.bmp)|*.bmp|"
        "JPEG Image File (*.jpg)|*.jpg|Icons (*.ico)|*.ico|Metafiles (*.wmf)|*.wmf");
    EXPECT_EQ(GraphicFilter("TIcon"), "Toutes les images (*.ico)|*.ico|Icons (*.ico)|*.ico");
    EXPECT_EQ(GraphicFilter("TNothing"), "");
    TPicture::RegisterFileFormat(".JPEG", "JPEG Image File", GraphicClassOf<TJPEGImage>());
    EXPECT_EQ(GraphicFileMask("TJPEGImage"), "*.jpg;*.jpeg");
    EXPECT_EQ(GraphicExtension("TJPEGImage"), "jpg");
    EXPECT_EQ(GraphicExtension("TNothing"), "");
}

TEST_F(PictureTest, ReRegisteringAnExtensionReplacesItInPlace) {
    TPicture::RegisterFileFormat("BMP", "Bitmaps Windows", GraphicClassOf<TIcon>());
    const std::vector<TFileFormat> f = TPicture::FileFormats();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].Extension, "bmp");
    EXPECT_EQ(f[0].Description, "Bitmaps Windows");
    EXPECT_EQ(f[0].GraphicClass.Name, "TIcon");

    TPicture::UnregisterGraphicClass("TIcon");
    EXPECT_EQ(TPicture::FileFormats().size(), 2u);
    EXPECT_EQ(TPicture::FindExtension("ico"), nullptr);
    EXPECT_EQ(TPicture::FindGraphicClass("TIcon"), nullptr);
}

TEST_F(PictureTest, LoadFromFileChoosesTheClassByExtensionInAnyCase) {
    TPicture p;
    int changes = 0;
    p.OnChange = [&](TObject*) { ++changes; };
    p.LoadFromFile(TempCopy("bmp/win24.bmp", "upper.BMP"));
    ASSERT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
    EXPECT_EQ(p.Width(), 11);
    EXPECT_EQ(p.Height(), 5);
    EXPECT_EQ(changes, 1);

    p.LoadFromFile(TempCopy("jpeg/baseline.jpg", "photo.Jpg"));
    EXPECT_STREQ(p.Graphic()->ClassName(), "TJPEGImage");

    // The content does not choose: a bitmap named .jpg fails as a JPEG and
    // the picture keeps what it had.
    EXPECT_THROW(p.LoadFromFile(TempCopy("bmp/win24.bmp", "fake.jpg")), EInvalidGraphic);
    EXPECT_STREQ(p.Graphic()->ClassName(), "TJPEGImage");

    try {
        p.LoadFromFile(TempCopy("bmp/win24.bmp", "picture.xyz"));
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
    }
    try {
        p.LoadFromFile(TempCopy("bmp/win24.bmp", "noextension"));
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unknown picture file extension (.)");
    }
}

TEST_F(PictureTest, MetafilesAreRegisteredButRefusedWithAClearMessage) {
    const std::string path = testing::TempDir() + "drawing.wmf";
    {
        TFileStream f(path, fmCreate);
        f.WriteUInt32(0x9AC6CDD7);
    }
    TPicture p;
    try {
        p.LoadFromFile(path);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), SMetafileNotSupported);
    }
    EXPECT_EQ(p.Graphic(), nullptr);
}

TEST_F(PictureTest, BitmapReplacesAnotherGraphicAndAssignCopies) {
    TPicture p;
    p.LoadFromFile(TempCopy("jpeg/baseline.jpg", "a.jpg"));
    TBitmap* b = p.Bitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->Empty());
    EXPECT_EQ(p.Bitmap(), b);

    b->SetSize(3, 2);
    TPicture q;
    q.Assign(&p);
    ASSERT_NE(q.Graphic(), p.Graphic());
    EXPECT_EQ(q.Width(), 3);
    b->SetSize(1, 1);
    EXPECT_EQ(q.Width(), 3);

    // A bitmap takes a picture's graphic through Assign.
    TBitmap copy;
    copy.Assign(&q);
    EXPECT_EQ(copy.Width(), 3);
    // And a JPEG picture converts into a bitmap.
    TPicture j;
    j.LoadFromFile(TempCopy("jpeg/baseline.jpg", "b.jpg"));
    copy.Assign(j.Graphic());
    EXPECT_EQ(copy.Width(), 24);
    EXPECT_EQ(copy.PixelFormat(), pf24bit);
}

TEST_F(PictureTest, ComponentStreamFormIsClassNameThenData) {
    TPicture p;
    p.LoadFromFile(TempCopy("bmp/win4.bmp", "c.bmp"));
    TBytesStream s;
    p.WriteData(s);
    const std::vector<std::uint8_t> bytes = s.Bytes();
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("\x07TBitmap"));
    const std::uint32_t size = bytes[8] | bytes[9] << 8 | bytes[10] << 16 | bytes[11] << 24;
    EXPECT_EQ(size, bytes.size() - 12);
    EXPECT_EQ(bytes[12], 'B');

    s.SetPosition(0);
    TPicture back;
    back.ReadData(s);
    ASSERT_NE(dynamic_cast<TBitmap*>(back.Graphic()), nullptr);
    EXPECT_TRUE(back.Graphic()->Equals(p.Graphic()));

    // A class that is not registered (names compare exactly) leaves the picture empty.
    std::vector<std::uint8_t> other = {7, 't', 'b', 'i', 't', 'm', 'a', 'p', 1, 2, 3};
    TBytesStream u(other);
    back.ReadData(u);
    EXPECT_EQ(back.Graphic(), nullptr);
    EXPECT_EQ(u.Position(), std::int64_t(other.size()));

    TBytesStream empty;
    back.WriteData(empty);
    EXPECT_EQ(empty.Bytes(), std::vector<std::uint8_t>{0});
}

TEST_F(PictureTest, InitRegistersTheBuiltInClassesOnce) {
    DoneGraphicsModule();
    InitGraphicsModule();
    for (const char* ext : {"bmp", "ico", "jpg", "jpeg", "emf", "wmf"})
        EXPECT_NE(TPicture::FindExtension(ext), nullptr) << ext;
    EXPECT_EQ(TPicture::FindGraphicClass("TJPEGImage")->Create()->ClassName(),
              std::string("TJPEGImage"));
}

TEST_F(PictureTest, SaveToFileReplacesTheFileAndLeavesNoTemporary) {
    TBitmap b(2, 2, pf8bit);
    const std::string dir = testing::TempDir() + "save_dir/";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "out.bmp";
    {
        TFileStream f(path, fmCreate);
        f.WriteString("old contents");
    }
    b.SaveToFile(path);
    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.PixelFormat(), pf8bit);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
}
