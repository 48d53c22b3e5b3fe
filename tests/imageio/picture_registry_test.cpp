#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "imageio/PictureReaders.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"

namespace {

struct TExpected {
    const char* Extension;
    const char* ClassName;
    const char* Description; // what the dialogs show
    TFormatTypes Types;
};

// The 39 registrations in their order.
const TExpected Expected[] = {
    {"bmp", "TBitmap", "Bitmaps Windows", 8},
    {"ico", "TIcon", "Icone Windows", 8},
    {"wmf", "TMetafile", "Metafiles Windows", 16},
    {"emf", "TMetafile", "Metafiles Windows améliorés", 16},
    {"jfif", "TJPEGImage", "Images JFIF images", 8},
    {"jpg", "TJPEGImage", "Images JPG", 8},
    {"jpe", "TJPEGImage", "Images JPE images", 8},
    {"jpeg", "TJPEGImage", "Images JPEG", 8},
    {"rle", "TBitmap", "Bitmaps Windows (Run length encoded)", 8},
    {"dib", "TBitmap", "Bitmaps Windows (Device independant)", 8},
    {"win", "TTargaGraphic", "Images Truevision", 8},
    {"vst", "TTargaGraphic", "Images Truevision", 8},
    {"vda", "TTargaGraphic", "Images Truevision", 8},
    {"tga", "TTargaGraphic", "Images Truevision", 8},
    {"icb", "TTargaGraphic", "Images Truevision", 8},
    {"tiff", "TTIFFGraphic", "Images TIFF Macintosh", 12},
    {"tif", "TTIFFGraphic", "Images PC TIF", 12},
    {"fax", "TTIFFGraphic", "Images GFI fax", 12},
    {"eps", "TEPSGraphic", "Images Postscript Encapsulées", 8},
    {"pcx", "TPCXGraphic", "Images ZSoft Paintbrush", 8},
    {"pcc", "TPCXGraphic", "Images ZSoft Paintbrush", 8},
    {"scr", "TPCXGraphic", "Capture d'ecrant Word 5.x", 8},
    {"rpf", "TRLAGraphic", "Images Alias/Wavefront", 8},
    {"rla", "TRLAGraphic", "Images Alias/Wavefront", 8},
    {"sgi", "TSGIGraphic", "Images SGI true color", 8},
    {"rgba", "TSGIGraphic", "Images SGI true color avec canal alpha", 8},
    {"rgb", "TSGIGraphic", "Images SGI true color", 8},
    {"bw", "TSGIGraphic", "Images SGI noir/blanc", 8},
    {"psd", "TPSDGraphic", "Images Photoshop", 10},
    {"pdd", "TPSDGraphic", "Images Photoshop", 10},
    {"ppm", "TPPMGraphic", "Images Portable pixel map", 8},
    {"pgm", "TPPMGraphic", "Images Portable gray map", 8},
    {"pbm", "TPPMGraphic", "Images Portable bitmap", 8},
    {"cel", "TAutodeskGraphic", "Images Autodesk", 8},
    {"pic", "TAutodeskGraphic", "Images Autodesk", 8},
    {"pcd", "TPCDGraphic", "Images Kodak Photo-CD", 8},
    {"cut", "TCUTGraphic", "Images Dr. Halo", 8},
    {"psp", "TPSPGraphic", "Images Paintshop Pro", 24},
    {"png", "TPNGGraphic", "Images Portable network graphic", 8},
};

// Each test starts from an empty picture registry with the readers
// registered, and leaves nothing behind.
class PictureRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        DonePictureReaders();
        DoneGraphicsModule();
        InitPictureReaders();
    }
    void TearDown() override { DonePictureReaders(); }
};

std::string TempPath(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qm_registry_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void WriteFile(const std::string& path, const std::vector<Byte>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string LoadError(const std::string& path) {
    TPicture picture;
    try {
        picture.LoadFromFile(path);
    } catch (const EInvalidGraphic& e) {
        return e.Message();
    }
    return "loaded as " + std::string(picture.Graphic() ? picture.Graphic()->ClassName() : "none");
}

// A graphic class for the list tests.
template <int N> class TFake : public TReaderGraphic {
public:
    const char* ClassName() const override { return Names[N]; }
    static constexpr const char* Names[] = {"TFakeA", "TFakeB"};
};

TGraphicClass FakeClass(int n) {
    if (n == 0) return {"TFakeA", [] { return std::unique_ptr<TGraphic>(new TFake<0>()); }};
    return {"TFakeB", [] { return std::unique_ptr<TGraphic>(new TFake<1>()); }};
}

} // namespace

TEST_F(PictureRegistry, ThirtyNineExtensionsInOrder) {
    TFileFormatList* list = FileFormatList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->ExtensionCount(), 39);
    const std::vector<TFileFormat> formats = TPicture::FileFormats();
    ASSERT_EQ(formats.size(), 39u);
    for (int i = 0; i < 39; ++i) {
        const TExpected& e = Expected[i];
        const TExtensionEntry& entry = list->Extension(i);
        EXPECT_EQ(entry.Extension, e.Extension);
        EXPECT_EQ(entry.FormatTypes, e.Types) << e.Extension;
        EXPECT_EQ(entry.ClassReference->GraphicClass.Name, e.ClassName) << e.Extension;
        EXPECT_EQ(list->DescriptionOf(i), e.Description) << e.Extension;
        EXPECT_EQ(formats[i].Extension, e.Extension);
        EXPECT_EQ(formats[i].Description, e.Description) << e.Extension;
        EXPECT_EQ(formats[i].GraphicClass.Name, e.ClassName) << e.Extension;
    }
    // One class entry per class, counting its extensions; the common
    // description is the one given with the class's first row.
    EXPECT_EQ(list->ClassCount(), 17);
    auto cls = [&](const char* name) -> const TClassEntry& {
        const int index = list->IndexOfClass(std::string(name));
        EXPECT_GE(index, 0) << name;
        return list->Class(index);
    };
    EXPECT_EQ(cls("TBitmap").Count, 3);
    EXPECT_EQ(cls("TJPEGImage").Count, 4);
    EXPECT_EQ(cls("TJPEGImage").Description, "Images JPG");
    EXPECT_EQ(cls("TTargaGraphic").Count, 5);
    EXPECT_EQ(cls("TSGIGraphic").Count, 4);
    EXPECT_EQ(cls("TSGIGraphic").Description, "Images SGI");
    EXPECT_EQ(cls("TTIFFGraphic").Description, "Images Tagged image file format");
    EXPECT_EQ(cls("TPPMGraphic").Description, "Images Portable map");
    EXPECT_EQ(cls("TPNGGraphic").Count, 1);
}

TEST_F(PictureRegistry, FilterTextOfTheDialogs) {
    std::string all, each;
    for (const TExpected& e : Expected) {
        const std::string mask = std::string("*.") + e.Extension;
        all += (all.empty() ? "" : ";") + mask;
        each += "|" + std::string(e.Description) + " (" + mask + ")|" + mask;
    }
    EXPECT_EQ(GraphicFilter(), "Toutes les images (" + all + ")|" + all + each);
    EXPECT_EQ(GraphicFileMask("TTargaGraphic"), "*.win;*.vst;*.vda;*.tga;*.icb");
}

TEST_F(PictureRegistry, LookupByExtensionAndClassName) {
    TFileFormatList* list = FileFormatList();
    const int tga = list->IndexOfExtension("tga");
    EXPECT_EQ(tga, 13);
    EXPECT_EQ(list->IndexOfExtension("TGA"), tga);
    EXPECT_EQ(list->IndexOfExtension("Tga"), tga);
    EXPECT_EQ(list->IndexOfExtension(""), -1);
    EXPECT_EQ(list->IndexOfExtension("gif"), -1);
    EXPECT_EQ(list->IndexOfClass(std::string("TGIFImage")), -1);
    for (const char* ext : {"PNG", "Tif", "fAx", "PSP", "pcd"}) {
        const TGraphicClass* c = TPicture::FindExtension(ext);
        ASSERT_NE(c, nullptr) << ext;
        EXPECT_EQ(c->Name,
                  list->Extension(list->IndexOfExtension(ext)).ClassReference->GraphicClass.Name);
    }
    // The dialogs' built-in pictures name their class; every registered
    // reader is found by that name and creates an object of the same name.
    for (const TExpected& e : Expected) {
        const TGraphicClass* c = TPicture::FindGraphicClass(e.ClassName);
        ASSERT_NE(c, nullptr) << e.ClassName;
        std::unique_ptr<TGraphic> g = c->Create();
        EXPECT_STREQ(g->ClassName(), e.ClassName);
        EXPECT_STREQ(g->NewOfSameClass()->ClassName(), e.ClassName);
    }
}

TEST_F(PictureRegistry, LoadingChoosesTheClassByExtensionOnly) {
    TBitmap bitmap(3, 2, pf24bit);
    const std::string dib = TempPath("picture.DIB");
    const std::string rle = TempPath("picture.Rle");
    bitmap.SaveToFile(dib);
    bitmap.SaveToFile(rle);
    for (const std::string& path : {dib, rle}) {
        TPicture picture;
        picture.LoadFromFile(path);
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
        EXPECT_EQ(picture.Width(), 3);
    }
    // The content is never consulted: a bitmap named .tif goes to the TIFF
    // reader and one named .png to the PNG reader, each failing with its
    // own label.
    std::vector<Byte> bmpBytes;
    {
        std::ifstream f(dib, std::ios::binary);
        bmpBytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    WriteFile(TempPath("picture.Tif"), bmpBytes);
    WriteFile(TempPath("picture.PNG"), bmpBytes);
    EXPECT_EQ(LoadError(TempPath("picture.Tif")),
              "Ne peux pas charger l'image. Format de fichier TIF/TIFF invalide ou inattendue.");
    EXPECT_EQ(LoadError(TempPath("picture.PNG")),
              "Ne peux pas charger l'image. Format de fichier PNG invalide ou inattendue.");
    std::filesystem::remove_all(std::filesystem::path(dib).parent_path());
}

// At program start the class library registers its own formats first; the
// readers' registration gives them the French descriptions in place.
TEST_F(PictureRegistry, ClassLibraryFormatsRegisteredFirst) {
    DonePictureReaders();
    DoneGraphicsModule();
    InitGraphicsModule();
    InitPictureReaders();
    const std::vector<TFileFormat> formats = TPicture::FileFormats();
    EXPECT_EQ(formats.size(), 39u);
    auto description = [&](const std::string& ext) {
        for (const TFileFormat& f : formats)
            if (f.Extension == ext) return f.Description;
        return std::string("missing");
    };
    EXPECT_EQ(description("bmp"), "Bitmaps Windows");
    EXPECT_EQ(description("jpg"), "Images JPG");
    EXPECT_EQ(description("wmf"), "Metafiles Windows");
    EXPECT_EQ(description("emf"), "Metafiles Windows améliorés");
    EXPECT_EQ(TPicture::FindExtension("JPEG")->Name, "TJPEGImage");
}

TEST_F(PictureRegistry, ShutdownRemovesEverything) {
    DonePictureReaders();
    EXPECT_EQ(FileFormatList(), nullptr);
    EXPECT_TRUE(TPicture::FileFormats().empty());
    DonePictureReaders(); // a second call does nothing
    InitPictureReaders();
    InitPictureReaders(); // nor does a second start-up
    EXPECT_EQ(FileFormatList()->ExtensionCount(), 39);
    EXPECT_EQ(TPicture::FileFormats().size(), 39u);
}

// TFileFormatList on its own (its registrations go to the picture registry
// too, which SetUp empties).
TEST_F(PictureRegistry, ListRegistrationRules) {
    DonePictureReaders();
    DoneGraphicsModule();
    TFileFormatList list;
    list.AddFileFormat("", "Nothing", "", ftRaster, false, false, FakeClass(0));
    EXPECT_EQ(list.ExtensionCount(), 0);

    list.AddFileFormat("aaa", "Common A", "", ftRaster, false, false, FakeClass(0));
    list.AddFileFormat("aab", "", "Own AB", ftRaster | ftLayered, false, false, FakeClass(0));
    ASSERT_EQ(list.ClassCount(), 1);
    EXPECT_EQ(list.Class(0).Count, 2);
    EXPECT_EQ(list.Class(0).Description, "Common A");
    // The picture registry gets the own description, else the common one.
    ASSERT_EQ(TPicture::FileFormats().size(), 2u);
    EXPECT_EQ(TPicture::FileFormats()[0].Description, "Common A");
    EXPECT_EQ(TPicture::FileFormats()[1].Description, "Own AB");

    // Registering a listed extension in any case is refused; nothing added.
    try {
        list.AddFileFormat("AAA", "X", "", ftRaster, false, false, FakeClass(1));
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Tentative de re-enregistrement des fichiers AAA.");
    }
    EXPECT_EQ(list.ExtensionCount(), 2);
    EXPECT_EQ(list.ClassCount(), 1);

    // A later non-empty common description replaces the class's.
    list.AddFileFormat("aac", "Common A2", "", ftRaster, false, false, FakeClass(0));
    EXPECT_EQ(list.Class(0).Description, "Common A2");
    EXPECT_EQ(list.Class(0).Count, 3);

    // Replace re-points the entry: counts move, description and types stay.
    list.AddFileFormat("AAB", "Common B", "ignored", ftVector, false, true, FakeClass(1));
    const int ab = list.IndexOfExtension("aab");
    EXPECT_EQ(list.Extension(ab).ClassReference->GraphicClass.Name, "TFakeB");
    EXPECT_EQ(list.Extension(ab).Description, "Own AB");
    EXPECT_EQ(list.Extension(ab).FormatTypes, ftRaster | ftLayered);
    EXPECT_EQ(list.Class(list.IndexOfClass(FakeClass(0))).Count, 2);
    EXPECT_EQ(list.Class(list.IndexOfClass(FakeClass(1))).Count, 1);
    EXPECT_EQ(TPicture::FindExtension("aab")->Name, "TFakeB");

    // Removing extensions one by one keeps the class until the last goes.
    list.RemoveFileFormat("aaa", FakeClass(0));
    EXPECT_NE(TPicture::FindGraphicClass("TFakeA"), nullptr);
    EXPECT_EQ(list.Class(list.IndexOfClass(FakeClass(0))).Count, 1);
    list.RemoveFileFormat("AAC", FakeClass(0));
    EXPECT_EQ(TPicture::FindGraphicClass("TFakeA"), nullptr);
    EXPECT_EQ(list.IndexOfClass(FakeClass(0)), -1);
    EXPECT_EQ(list.ExtensionCount(), 1);

    // Replacing the last extension of a class drops that class's entry.
    list.AddFileFormat("aab", "", "", ftRaster, false, true, FakeClass(0));
    EXPECT_EQ(list.IndexOfClass(FakeClass(1)), -1);
    EXPECT_EQ(list.ClassCount(), 1);
}

TEST_F(PictureRegistry, ListRemovalOfAWholeClass) {
    DonePictureReaders();
    DoneGraphicsModule();
    TFileFormatList list;
    list.AddFileFormat("x1", "X", "", ftRaster, true, false, FakeClass(0));
    list.AddFileFormat("y1", "Y", "", ftRaster, true, false, FakeClass(1));
    list.AddFileFormat("x2", "", "", ftRaster, true, false, FakeClass(0));
    list.RemoveFileFormat("", FakeClass(0));
    EXPECT_EQ(list.ExtensionCount(), 1);
    EXPECT_EQ(list.Extension(0).Extension, "y1");
    EXPECT_EQ(list.ClassCount(), 1);
    EXPECT_EQ(TPicture::FindGraphicClass("TFakeA"), nullptr);
    EXPECT_NE(TPicture::FindGraphicClass("TFakeB"), nullptr);
    list.RemoveAll();
    EXPECT_EQ(list.ExtensionCount(), 0);
    EXPECT_TRUE(TPicture::FileFormats().empty());
}
