#include <gtest/gtest.h>

#include "gif/GifImage.h"
#include "gif/GifModule.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Graphic.h"

TEST(GifModule, RegistersThePictureFormatAndTheClipboardFormat) {
    InitGifModule();
    const TGraphicClass* byExtension = TPicture::FindExtension("gif");
    ASSERT_NE(byExtension, nullptr);
    EXPECT_EQ(byExtension->Name, "TGIFImage");
    EXPECT_NE(TPicture::FindExtension("GIF"), nullptr);
    ASSERT_NE(TPicture::FindGraphicClass("TGIFImage"), nullptr);
    std::unique_ptr<TGraphic> made = byExtension->Create();
    EXPECT_NE(dynamic_cast<TGIFImage*>(made.get()), nullptr);

    EXPECT_NE(GraphicFilter().find("GIF Image (*.gif)|*.gif"), std::string::npos);
    EXPECT_EQ(GraphicFilter("TGIFImage"),
              "Toutes les images (*.gif)|*.gif|GIF Image (*.gif)|*.gif");
    EXPECT_EQ(GraphicExtension("TGIFImage"), "gif");

    EXPECT_GE(GIFClipboardFormatID(), 0xC000);
    EXPECT_EQ(GIFClipboardFormatID(), RegisterClipboardFormat("GIF Image"));
    EXPECT_EQ(GetClipboardFormatName(GIFClipboardFormatID()), "GIF Image");

    // A second start-up changes nothing.
    InitGifModule();
    EXPECT_EQ(GraphicFilter("TGIFImage"),
              "Toutes les images (*.gif)|*.gif|GIF Image (*.gif)|*.gif");

    DoneGifModule();
    EXPECT_EQ(TPicture::FindExtension("gif"), nullptr);
    EXPECT_EQ(GraphicFilter("TGIFImage").find("gif"), std::string::npos);
}

TEST(GifModule, LowColourDisplaySwitchesDitheringOn) {
    const TGIFModuleSettings saved = GIFSettings();
    GIFSettings().AutoDither = false;
    GIFSettings().PaletteDevice = false;
    InitGifModule(24);
    EXPECT_FALSE(GIFSettings().AutoDither);
    DoneGifModule();
    InitGifModule(8);
    EXPECT_TRUE(GIFSettings().AutoDither);
    EXPECT_TRUE(GIFSettings().PaletteDevice);
    // With the default flags (dither frames, only on low-colour displays) the
    // image now dithers.
    TGIFImage image;
    EXPECT_TRUE(image.DoDither());
    image.SetPaintFlags(image.PaintFlags() & ~gpfDitherFrames);
    EXPECT_FALSE(image.DoDither());
    DoneGifModule();
    GIFSettings() = saved;
    TGIFImage plain;
    EXPECT_FALSE(plain.DoDither());
}
