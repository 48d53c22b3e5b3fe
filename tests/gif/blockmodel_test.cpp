// The block tree: frames made from bitmaps and from other frames, the
// logical screen, versions, the header's packed byte and list ownership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "platform/classes/Stream.h"
#include "support/TestSupport.h"
#include "platform/graphics/Bitmap.h"

namespace {

TColor Rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

void Put24(TBitmap& B, int X, int Y, TColor C) {
    Byte* p = B.ScanLine(Y) + X * 3;
    p[0] = Byte(C >> 16);
    p[1] = Byte(C >> 8);
    p[2] = Byte(C);
}

struct TWarned {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    TWarned() {
        Image.OnWarning = [this](TObject*, TGIFSeverity, const std::string& m) {
            Warnings.push_back(m);
        };
    }
};

TGIFSubImage* NewFrame(TGIFImage& Image, int L, int T, int W, int H) {
    auto F = std::make_unique<TGIFSubImage>(&Image);
    TGIFSubImage* Raw = F.get();
    Image.AppendFrame(std::move(F));
    Raw->SetBounds(L, T, W, H);
    return Raw;
}

} // namespace

TEST(GifBlockModel, DefaultsOfANewImage) {
    auto Image = TGIFImage::CreateEmpty();
    EXPECT_TRUE(Image->Empty());
    EXPECT_EQ(Image->PaintFlags(), 0x060F);
    EXPECT_EQ(Image->ReductionMethod(), rdmWebCube);
    EXPECT_EQ(Image->ReductionColorBits(), 8);
    EXPECT_EQ(Image->DitherKernel(), dkNearestColor);
    EXPECT_EQ(Image->PixelCoding(), gpcLZW);
    EXPECT_EQ(Image->SpeedPercent(), 100);
    EXPECT_EQ(Image->StillFrameIndex(), -1);
    EXPECT_EQ(Image->BackdropColor(), clNone);
    EXPECT_EQ(Image->Version(), gvUnknown);
    EXPECT_EQ(Image->Width(), 0);
}

TEST(GifBlockModel, TrueColourBitmapWithTheDefaultReduction) {
    TWarned W;
    TBitmap B(4, 1, pf24bit);
    Put24(B, 0, 0, Rgb(0, 0, 0));
    Put24(B, 1, 0, Rgb(255, 255, 255));
    Put24(B, 2, 0, Rgb(48, 0, 0)); // rounds up to 51
    Put24(B, 3, 0, Rgb(47, 0, 0)); // rounds down to 0
    const int Index = W.Image.AppendFrame(&B);
    EXPECT_EQ(Index, 0);
    // The first frame sets the logical screen without a warning.
    EXPECT_EQ(W.Image.Width(), 4);
    EXPECT_EQ(W.Image.Height(), 1);
    EXPECT_TRUE(W.Warnings.empty());
    TGIFSubImage* F = W.Image.Images().FrameAt(0);
    const TGIFColorMap& Map = F->ColorMap();
    // The reduced bitmap's palette: the whole web cube.
    EXPECT_EQ(Map.Count(), 216);
    EXPECT_EQ(Map.Colors(215), Rgb(255, 255, 255));
    EXPECT_EQ(Map.Colors(F->Pixels(0, 0)), Rgb(0, 0, 0));
    EXPECT_EQ(Map.Colors(F->Pixels(1, 0)), Rgb(255, 255, 255));
    EXPECT_EQ(Map.Colors(F->Pixels(2, 0)), Rgb(51, 0, 0));
    EXPECT_EQ(F->Pixels(3, 0), F->Pixels(0, 0));
}

TEST(GifBlockModel, KeepingTrueColourOverflowsPast256Colours) {
    TGIFImage Image;
    Image.SetReductionMethod(rdmKeep24Bit);
    TBitmap B(300, 1, pf24bit);
    for (int x = 0; x < 300; ++x)
        Put24(B, x, 0, Rgb(x % 256, x / 256, 7));
    EXPECT_EQ(MessageOf<Exception>([&] { Image.AppendFrame(&B); }), sGIFColorTableOverflow);
    EXPECT_TRUE(Image.Empty());

    // 256 distinct colours fit; the colour ring must not confuse repeats.
    TBitmap C(512, 2, pf24bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 512; ++x)
            Put24(C, x, y, Rgb((x * 7 + y) % 256, 0, 0));
    Image.AppendFrame(&C);
    TGIFSubImage* F = Image.Images().FrameAt(0);
    EXPECT_EQ(F->ColorMap().Count(), 256);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(F->ColorMap().Colors(F->Pixels(x, y)), Rgb((x * 7 + y) % 256, 0, 0));
}

TEST(GifBlockModel, PalettedBitmapsKeepTheirIndicesAndPalette) {
    const std::vector<TPaletteEntry> Entries = {
        {10, 0, 0, 0}, {0, 20, 0, 0}, {0, 0, 30, 0}, {40, 40, 40, 0}};
    for (TPixelFormat Format : {pf1bit, pf4bit, pf8bit}) {
        TBitmap B(9, 2, Format);
        const int Colors = Format == pf1bit ? 2 : 4;
        B.SetPalette(
            TPalette(std::vector<TPaletteEntry>(Entries.begin(), Entries.begin() + Colors)));
        for (int y = 0; y < 2; ++y) {
            Byte* Row = B.ScanLine(y);
            for (int x = 0; x < 9; ++x) {
                const int v = (x + y) % Colors;
                if (Format == pf1bit)
                    Row[x / 8] = Byte(Row[x / 8] | (v << (7 - x % 8)));
                else if (Format == pf4bit)
                    Row[x / 2] = Byte(Row[x / 2] | (x % 2 ? v : v << 4));
                else
                    Row[x] = Byte(v);
            }
        }
        TGIFImage Image;
        Image.AppendFrame(&B);
        TGIFSubImage* F = Image.Images().FrameAt(0);
        ASSERT_GE(F->ColorMap().Count(), Colors) << Format;
        EXPECT_EQ(F->ColorMap().Colors(1), Rgb(0, 20, 0));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(F->Pixels(x, y), (x + y) % Colors) << Format;
        EXPECT_TRUE(F->HasBitmap());
    }
}

TEST(GifBlockModel, OnlyPicturesAndFramesBecomeFrames) {
    TGIFImage Image;
    TGIFColorMap NotAPicture;
    EXPECT_EQ(MessageOf<Exception>([&] { Image.AppendFrame(&NotAPicture); }), sGIFUnsupportedClass);
    EXPECT_TRUE(Image.Empty());
    // A reduction that cannot run (the caller's palette without a palette).
    Image.SetReductionMethod(rdmCallerPalette);
    TBitmap B(2, 2, pf24bit);
    EXPECT_EQ(MessageOf<Exception>([&] { Image.AppendFrame(&B); }), sGIFInvalidReduction);
    EXPECT_TRUE(Image.Empty());
}

TEST(GifBlockModel, FramesGrowTheScreenWithWarnings) {
    TWarned W;
    NewFrame(W.Image, 0, 0, 10, 5);
    EXPECT_TRUE(W.Warnings.empty());
    NewFrame(W.Image, 4, 0, 8, 5); // right edge 12 > 10
    EXPECT_EQ(W.Image.Width(), 12);
    EXPECT_EQ(W.Warnings, (std::vector<std::string>{sGIFWidthTooSmall, sGIFScreenBadSize}));
    W.Warnings.clear();
    NewFrame(W.Image, 0, 3, 1, 5); // bottom 8 > 5
    EXPECT_EQ(W.Image.Height(), 8);
    EXPECT_EQ(W.Warnings, (std::vector<std::string>{sGIFHeightTooSmall, sGIFScreenBadSize}));

    EXPECT_EQ(MessageOf<Exception>([&] { W.Image.SetWidth(11); }), sGIFWidthTooSmall);
    EXPECT_EQ(MessageOf<Exception>([&] { W.Image.SetHeight(7); }), sGIFHeightTooSmall);
    int Changes = 0;
    W.Image.OnChange = [&](TObject*) { ++Changes; };
    W.Image.SetWidth(20);
    EXPECT_EQ(W.Image.Width(), 20);
    EXPECT_EQ(Changes, 1);

    // The descriptor holds 16-bit values.
    TGIFSubImage* F = W.Image.Images().FrameAt(0);
    EXPECT_EQ(MessageOf<Exception>([&] { F->SetBounds(65000, 0, 1000, 1); }),
              sGIFInvalidDimensions);
}

TEST(GifBlockModel, PixelAccess) {
    TGIFImage Image;
    TGIFSubImage* F = NewFrame(Image, 0, 0, 3, 2);
    F->SetPixels(2, 1, 7);
    EXPECT_EQ(F->Pixels(2, 1), 7);
    EXPECT_EQ(F->ScanLine(1)[2], 7);
    EXPECT_EQ(MessageOf<Exception>([&] { F->Pixels(3, 0); }), sGIFBadPixelCoordinates);
    EXPECT_EQ(MessageOf<Exception>([&] { F->Pixels(0, -1); }), sGIFBadPixelCoordinates);
    // A new size remakes a zero-filled buffer.
    F->SetBounds(0, 0, 4, 2);
    EXPECT_EQ(F->Pixels(2, 1), 0);
    EXPECT_EQ(F->DataSize(), 8);
    F->FreeImage();
    EXPECT_EQ(F->Pixels(1, 1), 0); // made again on demand
    TGIFSubImage* Empty = NewFrame(Image, 0, 0, 0, 3);
    EXPECT_EQ(MessageOf<Exception>([&] { Empty->ScanLine(0); }), sGIFImageEmpty);
}

TEST(GifBlockModel, VersionsAndTheHeaderPackedByte) {
    TGIFImage Image;
    Image.GlobalColorMap().Add(0);
    Image.GlobalColorMap().Add(0xFFFFFF);
    TGIFSubImage* F = NewFrame(Image, 0, 0, 1, 1);
    for (int i = 0; i < 5; ++i)
        F->ColorMap().Add(Rgb(i, i, i));
    EXPECT_EQ(Image.Version(), gv87a);
    EXPECT_EQ(Image.BitsPerPixel(), 3);
    Image.Header().Prepare();
    // Global table present, resolution 3-1 = 2, size field 3-1 = 2.
    EXPECT_EQ(Image.Header().Descriptor().PackedFields, 0x80 | 0x20 | 0x02);
    Image.GlobalColorMap().SetSorted(true);
    Image.Header().Prepare();
    EXPECT_EQ(Image.Header().Descriptor().PackedFields, 0x80 | 0x08 | 0x20 | 0x02);
    EXPECT_EQ(Image.Version(), gv89a);
    Image.GlobalColorMap().SetSorted(false);
    F->ColorMap().SetSorted(true);
    EXPECT_EQ(F->Version(), gv89a);
    EXPECT_EQ(Image.Version(), gv89a);
    F->ColorMap().SetSorted(false);
    Image.Header().SetAspectRatio(49);
    EXPECT_EQ(Image.Version(), gv89a);
}

TEST(GifBlockModel, ActiveColourMapAndPalettes) {
    TGIFImage Image;
    TGIFSubImage* F = NewFrame(Image, 0, 0, 1, 1);
    EXPECT_EQ(&F->ActiveColorMap(), &F->ColorMap());
    // Neither table: the image's palette asks the frame, which asks the
    // image again.
    EXPECT_EQ(MessageOf<Exception>([&] { Image.Palette(); }), sGIFNoColorTable);
    Image.GlobalColorMap().Add(Rgb(1, 2, 3));
    Image.FreePalette();
    EXPECT_EQ(&F->ActiveColorMap(), &Image.GlobalColorMap());
    EXPECT_EQ(F->Palette().Count(), 1);
    F->ColorMap().Add(Rgb(9, 9, 9));
    F->ColorMap().Add(Rgb(8, 8, 8));
    EXPECT_EQ(&F->ActiveColorMap(), &F->ColorMap());
    EXPECT_EQ(F->Palette().Count(), 2);
    // A changed table drops the kept palette.
    F->ColorMap().Add(Rgb(7, 7, 7));
    F->ColorMap().Changed();
    EXPECT_EQ(F->Palette().Count(), 3);
}

TEST(GifBlockModel, FrameCopiesAreDeep) {
    TGIFImage Source;
    Source.GlobalColorMap().Add(0);
    Source.SetBackdropColor(Rgb(1, 2, 3));
    Source.SetPaintFlags(0x0123);
    Source.SetPixelCoding(gpcRunLength);
    TGIFSubImage* F = NewFrame(Source, 1, 2, 3, 2);
    F->ColorMap().Add(Rgb(5, 5, 5));
    F->ColorMap().Add(Rgb(6, 6, 6));
    F->SetPixels(1, 1, 1);
    F->SetInterlaceFlag(true);
    auto Gce = TGIFGraphicControlExtension::CreateForFrame(F);
    Gce->SetTransparentColorIndex(1);
    Gce->SetTransparent(true);
    Gce->SetDelayTicks(33);
    F->Extensions().AppendItem(std::move(Gce));
    auto Comment = std::make_unique<TGIFCommentExtension>(F);
    Comment->Comment = {"hi"};
    F->Extensions().AppendItem(std::move(Comment));

    TGIFImage Copy;
    Copy.Assign(&Source);
    EXPECT_EQ(Copy.BackdropColor(), Rgb(1, 2, 3));
    EXPECT_EQ(Copy.PaintFlags(), 0x0123);
    EXPECT_EQ(Copy.PixelCoding(), gpcLZW); // not copied
    ASSERT_EQ(Copy.Images().ItemCount(), 1);
    TGIFSubImage* C = Copy.Images().FrameAt(0);
    EXPECT_EQ(C->BoundsRect(), Bounds(1, 2, 3, 2));
    EXPECT_TRUE(C->Interlaced());
    EXPECT_TRUE(C->Transparent());
    EXPECT_EQ(C->Pixels(1, 1), 1);
    EXPECT_EQ(C->ColorMap().Count(), 2);
    ASSERT_EQ(C->Extensions().ItemCount(), 2);
    ASSERT_NE(C->GraphicControlExtension(), nullptr);
    EXPECT_NE(C->GraphicControlExtension(), F->GraphicControlExtension());
    EXPECT_EQ(C->GraphicControlExtension()->Delay(), 33);
    EXPECT_EQ(C->GraphicControlExtension()->SubImage(), C);
    EXPECT_EQ(C->Extensions().ExtensionAt(0)->Image(), &Copy);
    // Changing the copy leaves the source alone.
    C->SetPixels(1, 1, 0);
    C->GraphicControlExtension()->SetDelayTicks(1);
    EXPECT_EQ(F->Pixels(1, 1), 1);
    EXPECT_EQ(F->GraphicControlExtension()->Delay(), 33);
}

TEST(GifBlockModel, ListsOwnAndMoveTheirItems) {
    TGIFImage Image;
    TGIFSubImage* A = NewFrame(Image, 0, 0, 1, 1);
    TGIFSubImage* B = NewFrame(Image, 0, 0, 2, 1);
    TGIFSubImage* C = NewFrame(Image, 0, 0, 3, 1);
    Image.Images().MoveItem(2, 0);
    EXPECT_EQ(Image.Images().FrameAt(0), C);
    EXPECT_EQ(Image.Images().FrameAt(1), A);
    EXPECT_EQ(A->Index(), 1);
    Image.Images().MoveItem(0, 2);
    EXPECT_EQ(Image.Images().FrameAt(2), C);
    EXPECT_THROW(Image.Images().MoveItem(0, 3), EListError);
    EXPECT_THROW(Image.Images().FrameAt(3), EListError);
    // A frame freed directly leaves the list.
    delete B;
    EXPECT_EQ(Image.Images().ItemCount(), 2);
    EXPECT_EQ(Image.Images().FrameAt(1), C);
    Image.Clear();
    EXPECT_TRUE(Image.Empty());
    EXPECT_EQ(Image.Width(), 0);
}

TEST(GifBlockModel, InterlaceFlagIsOneBit) {
    TGIFImage Image;
    TGIFSubImage* F = NewFrame(Image, 0, 0, 1, 1);
    F->Descriptor().PackedFields = 0x87;
    F->SetInterlaceFlag(true);
    EXPECT_EQ(F->Descriptor().PackedFields, 0xC7);
    F->SetInterlaceFlag(false);
    EXPECT_EQ(F->Descriptor().PackedFields, 0x87);
}
