// Files that once crashed a reader, exhausted memory, loaded as an empty or
// partial picture without a word, or came out in the wrong colours
// (tests/data/regress, made by tests/data/make_regressions.py). Each test
// goes through the picture registry and the 32-bit bitmap, as the editor
// loads pictures.
#include <gtest/gtest.h>

#include <filesystem>

#include "ImageTestSupport.h"
#include "imageio/PcxReader.h"
#include "imageio/PictureReaders.h"
#include "imageio/TargaReader.h"
#include "imageio/TiffReader.h"
#include "platform/forms/Dialogs.h"
#include "raster/RasterCore.h"

using namespace imagetest;

namespace {

std::string Regress(const std::string& name) {
    return DataPath("regress", name);
}

// Loads a file as the editor does; "" when it loads, else the message.
std::string LoadBitmap32(TBitmap32& Bitmap, const std::string& File) {
    try {
        Bitmap.LoadFromPictureFile(File);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

struct TReaders {
    TReaders() { InitPictureReaders(); }
    ~TReaders() { DonePictureReaders(); }
};

// Answers every dialog with OK and records it.
struct TQuietDialogs {
    TScriptedDialogService Service;
    TDialogServiceScope Scope{&Service};
};

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

TEST(ReaderRegressions, PngBitDepthIsCheckedBeforeBackgroundAndTransparency) {
    TReaders readers;
    for (const char* file : {"png_depth0_bkgd.png", "png_depth32_trns.png"}) {
        TBitmap32 b;
        EXPECT_EQ(LoadBitmap32(b, Regress(file)), "Format de couleur invalide dans le fichier PNG.")
            << file;
    }
}

TEST(ReaderRegressions, TinyFilesClaimingHugePicturesAreRefusedBeforeAllocating) {
    TReaders readers;
    struct Case {
        const char* File;
        const char* Message;
    };
    for (const Case& c :
         {Case{"tga_rle_bomb.tga", "Erreur de lecture de flux dans le fichier Targa."},
          Case{"pcx_rle_bomb.pcx", "Erreur de lecture de flux dans le fichier PCX."},
          Case{"tiff_packbits_bomb.tif", "Erreur de lecture de flux dans le fichier TIF/TIFF."},
          Case{"png_bomb.png", "Erreur de lecture de flux dans le fichier PNG."},
          Case{"ppm_bomb.ppm", "Erreur de lecture de flux dans le fichier PPM."},
          Case{"psd_bomb.psd", "Erreur de lecture de flux dans le fichier PSD or PDD."},
          Case{"bmp_rle8_bomb.bmp", "Bitmap image is not valid"}}) {
        TBitmap32 b;
        b.SetDimensions(3, 2);
        EXPECT_EQ(LoadBitmap32(b, Regress(c.File)), c.Message) << c.File;
        EXPECT_EQ(b.Width(), 3) << "the bitmap keeps its picture";
    }
    // One limit for every reader and for bitmaps themselves, refused in French.
    TBitmap32 b;
    EXPECT_TRUE(StartsWith(LoadBitmap32(b, Regress("png_32768x32767.png")),
                           "Image trop grande (32768 x 32767 pixels)."));
    TBitmap bitmap;
    try {
        bitmap.SetSize(40000, 10);
        ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_TRUE(StartsWith(e.Message(), "Image trop grande (40000 x 10 pixels)."))
            << e.Message();
    }
}

TEST(ReaderRegressions, TruncatedFilesAndTiledTiffAreRefusedNotShownInPart) {
    auto cut = [](std::vector<Byte> bytes, std::size_t keep) {
        bytes.resize(keep);
        return bytes;
    };
    const auto tga = ReadFile(DataPath("tga", "rgb24_rle.tga"));
    const auto pcx = ReadFile(DataPath("pcx", "rgb24.pcx"));
    const auto tif = ReadFile(Regress("tiff_lab.tif"));
    for (std::size_t keep : {tga.size() * 2 / 3, tga.size() - 1}) {
        TTargaGraphic g;
        EXPECT_EQ(LoadMessage(g, cut(tga, keep)),
                  "Erreur de lecture de flux dans le fichier Targa.");
    }
    {
        TPCXGraphic g;
        EXPECT_EQ(LoadMessage(g, cut(pcx, pcx.size() - 40)),
                  "Erreur de lecture de flux dans le fichier PCX.");
    }
    {
        TTIFFGraphic g;
        // The directory of this file comes first; its strip ends the file.
        EXPECT_EQ(LoadMessage(g, cut(tif, tif.size() - 2)),
                  "Erreur de lecture de flux dans le fichier TIF/TIFF.");
        EXPECT_EQ(LoadMessage(g, ReadFile(DataPath("tiff", "rgb_tiled.tif"))),
                  "Ne peux pas charger l'image. Le stockage en tuiles n'est pas supporté par les "
                  "fichiers TIF/TIFF.");
    }
}

TEST(ReaderRegressions, ColoursComeOutRight) {
    TReaders readers;
    TBitmap32 b;
    // 16-bit transparent colours match in all sixteen bits: one pixel of
    // eight is clear, not seven.
    ASSERT_EQ(LoadBitmap32(b, Regress("png_rgb16_trns.png")), "");
    int clear = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            clear += (b.ReadPixel(x, y) >> 24) == 0;
    EXPECT_EQ(clear, 1);
    EXPECT_EQ(b.ReadPixel(0, 0) >> 24, 0u);
    ASSERT_EQ(LoadBitmap32(b, Regress("png_grey16_trns.png")), "");
    EXPECT_EQ(b.ReadPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(b.ReadPixel(1, 0), 0xFF424242u);
    // CIE L*a*b*: L 50 is the sRGB grey 119.
    ASSERT_EQ(LoadBitmap32(b, Regress("tiff_lab.tif")), "");
    EXPECT_EQ(b.ReadPixel(0, 0), 0xFF777777u);
    EXPECT_EQ(b.ReadPixel(1, 0), 0xFFFFFFFFu);
    // Associated alpha made straight.
    ASSERT_EQ(LoadBitmap32(b, Regress("tiff_rgba_associated.tif")), "");
    EXPECT_EQ(b.ReadPixel(0, 0), 0x80804000u);
    EXPECT_EQ(b.ReadPixel(1, 0), 0xFF0A141Eu);
    // FillOrder 2: the first pixel is in the lowest bit.
    ASSERT_EQ(LoadBitmap32(b, Regress("tiff_bw_fillorder2.tif")), "");
    EXPECT_EQ(b.ReadPixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(b.ReadPixel(7, 0) & 0xFFFFFF, 0u);
    // A 32-bit icon keeps its half-transparent pixel.
    ASSERT_EQ(LoadBitmap32(b, Regress("ico_partial_alpha.ico")), "");
    EXPECT_EQ(b.ReadPixel(0, 0), 0x803264C8u);
    EXPECT_EQ(b.ReadPixel(1, 0), 0xFF1E140Au);
    // The largest entry, PNG-compressed, is read by the PNG reader.
    ASSERT_EQ(LoadBitmap32(b, Regress("ico_png_largest.ico")), "");
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.ReadPixel(3, 3), 0xFFFF0000u);
}

TEST(ReaderRegressions, JpegWarningsInTiffAreShownOnceAndDecodingGoesOn) {
    TQuietDialogs dialogs;
    TTIFFGraphic g;
    EXPECT_EQ(LoadMessage(g, ReadFile(Regress("tiff_jpeg_cut.tif"))), "");
    EXPECT_EQ(g.Width(), 24);
    ASSERT_EQ(dialogs.Service.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Service.Calls[0].Caption, "Attention");
    EXPECT_EQ(dialogs.Service.Calls[0].Text,
              "Erreur de décompression JPEG. Fin inattendue des entrées.");
}

TEST(ReaderRegressions, OddSampleLayoutsGetTheReadersColourMessage) {
    TTIFFGraphic g;
    EXPECT_EQ(LoadMessage(g, ReadFile(Regress("tiff_rgb4.tif"))),
              "Format de couleur invalide dans le fichier TIF/TIFF.");
}
