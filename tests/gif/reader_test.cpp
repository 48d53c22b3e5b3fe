// Reading GIF files made by independent tools (tests/data/gif, see
// make_fixtures.sh), small hand-made streams, and damaged files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "gif/GifReader.h"
#include "platform/classes/Stream.h"

namespace {

std::string DataPath(const std::string& Name) {
    return std::string(QM_TEST_DATA_DIR) + "/gif/" + Name;
}

TColor Rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

struct TLoaded {
    std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
    std::vector<std::string> Warnings;
    TLoaded() {
        Image->OnWarning = [this](TObject*, TGIFSeverity, const std::string& m) {
            Warnings.push_back(m);
        };
    }
};

std::unique_ptr<TLoaded> LoadFile(const std::string& Name) {
    auto L = std::make_unique<TLoaded>();
    L->Image->LoadFromFile(DataPath(Name));
    return L;
}

std::unique_ptr<TLoaded> LoadBytes(const std::vector<Byte>& Bytes) {
    auto L = std::make_unique<TLoaded>();
    TBytesStream Stream(Bytes);
    L->Image->LoadFromStream(Stream);
    return L;
}

TColor PixelColor(TGIFSubImage* Frame, int X, int Y) {
    return Frame->ActiveColorMap().Colors(Frame->Pixels(X, Y));
}

// The colour bands of still.gif and interlaced.gif.
TColor BandColor(int X, int Y) {
    const int i = (X + Y) % 4;
    return Rgb((i * 80) % 256, (255 - i * 60) % 256, (i * 37) % 256);
}

template <class T> T* FindExtension(TGIFSubImage* Frame) {
    for (int i = 0; i < Frame->Extensions().ItemCount(); ++i)
        if (auto* e = dynamic_cast<T*>(Frame->Extensions().ExtensionAt(i))) return e;
    return nullptr;
}

// A minimal valid stream: "GIF89a", a 2x2 screen with a 2-colour global
// table, optional blocks, one 2x2 frame of pixels 0 1 / 1 0, and the trailer.
std::vector<Byte> MinimalGif(const std::vector<Byte>& BeforeImage = {},
                             const std::vector<Byte>& Trailer = {0x3B}) {
    std::vector<Byte> b = {'G', 'I', 'F', '8',  '9', 'a', 2,
                           0,   2,   0,   0x80, 0,   0,    // screen 2x2, global table of 2
                           0,   0,   0,   255,  255, 255}; // black, white
    b.insert(b.end(), BeforeImage.begin(), BeforeImage.end());
    const std::vector<Byte> Image = {0x2C, 0, 0,    0,    0,    2, 0, 2, 0, 0, // Image Descriptor
                                     2,    3, 0x44, 0x02, 0x05, 0}; // codes 4,0,1,1 | 0,5
    b.insert(b.end(), Image.begin(), Image.end());
    b.insert(b.end(), Trailer.begin(), Trailer.end());
    return b;
}

} // namespace

TEST(GifReaderFiles, StillAndInterlacedGiveTheSourcePixels) {
    for (const char* Name : {"still.gif", "interlaced.gif"}) {
        auto L = LoadFile(Name);
        TGIFImage& G = *L->Image;
        ASSERT_EQ(G.Images().ItemCount(), 1) << Name;
        EXPECT_EQ(G.Width(), 13);
        EXPECT_EQ(G.Height(), 7);
        EXPECT_EQ(G.GlobalColorMap().Count(), 4);
        TGIFSubImage* F = G.Images().FrameAt(0);
        EXPECT_EQ(F->Interlaced(), std::string(Name) == "interlaced.gif");
        EXPECT_EQ(F->ColorMap().Count(), 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(PixelColor(F, x, y), BandColor(x, y)) << Name << " " << x << "," << y;
        EXPECT_TRUE(L->Warnings.empty());
    }
}

TEST(GifReaderFiles, TwoHundredColours) {
    auto L = LoadFile("colors200.gif");
    TGIFSubImage* F = L->Image->Images().FrameAt(0);
    EXPECT_EQ(L->Image->GlobalColorMap().Count(), 256);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const int i = (x + y * 20) % 200;
            ASSERT_EQ(PixelColor(F, x, y), Rgb(i, 255 - i, (i * 7) % 256)) << x << "," << y;
        }
}

TEST(GifReaderFiles, AnimationWithExtensions) {
    auto L = LoadFile("anim.gif");
    TGIFImage& G = *L->Image;
    ASSERT_EQ(G.Images().ItemCount(), 4);
    EXPECT_EQ(G.Version(), gv89a);
    EXPECT_EQ(G.Header().BackgroundColorIndex(), 2);

    TGIFSubImage* F0 = G.Images().FrameAt(0);
    auto* Loop = FindExtension<TGIFAppExtNSLoop>(F0);
    ASSERT_NE(Loop, nullptr);
    EXPECT_EQ(Loop->RepeatCount, 3);
    auto* Comment = FindExtension<TGIFCommentExtension>(F0);
    ASSERT_NE(Comment, nullptr);
    EXPECT_EQ(Comment->Comment, std::vector<std::string>{"made by gifsicle"});

    const int Delays[4] = {10, 20, 30, 40};
    for (int f = 0; f < 4; ++f) {
        TGIFSubImage* F = G.Images().FrameAt(f);
        EXPECT_EQ(F->Width(), 6);
        EXPECT_EQ(F->Height(), 4);
        TGIFGraphicControlExtension* Gce = F->GraphicControlExtension();
        ASSERT_NE(Gce, nullptr) << f;
        EXPECT_EQ(Gce->Delay(), Delays[f]);
        EXPECT_EQ(F->Transparent(), f == 1 || f == 2) << f;
        EXPECT_EQ(Gce->Disposal(), f == 3 ? gdRestoreBackground : gdNotSpecified) << f;
        if (F->Transparent()) EXPECT_EQ(PixelColor(F, 0, 3), Rgb(0, 0, 128));
        if (f < 3) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 6; ++x) {
                    const bool White = x == 2 * f && y == f;
                    ASSERT_EQ(PixelColor(F, x, y), White ? Rgb(255, 255, 255) : Rgb(0, 0, 128));
                }
        } else {
            EXPECT_EQ(PixelColor(F, 0, 0), Rgb(0, 255, 0));
            EXPECT_EQ(PixelColor(F, 1, 0), Rgb(255, 0, 0));
        }
    }
    EXPECT_TRUE(L->Warnings.empty());
}

TEST(GifReaderFiles, LocalColourTableAndEndlessLoop) {
    auto L = LoadFile("local.gif");
    TGIFImage& G = *L->Image;
    ASSERT_EQ(G.Images().ItemCount(), 2);
    TGIFSubImage* F0 = G.Images().FrameAt(0);
    TGIFSubImage* F1 = G.Images().FrameAt(1);
    EXPECT_EQ(F0->ColorMap().Count(), 0);
    EXPECT_EQ(&F0->ActiveColorMap(), &G.GlobalColorMap());
    ASSERT_EQ(F1->ColorMap().Count(), 2);
    EXPECT_EQ(&F1->ActiveColorMap(), &F1->ColorMap());
    EXPECT_EQ(PixelColor(F1, 0, 0), Rgb(0, 255, 0));
    EXPECT_EQ(PixelColor(F1, 0, 1), Rgb(255, 0, 0));
    EXPECT_EQ(PixelColor(F0, 0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(PixelColor(F0, 1, 0), Rgb(0, 0, 128));
    auto* Loop = FindExtension<TGIFAppExtNSLoop>(F0);
    ASSERT_NE(Loop, nullptr);
    EXPECT_EQ(Loop->RepeatCount, 0);
    EXPECT_EQ(F1->GraphicControlExtension()->Delay(), 7);

    auto Forever = LoadFile("forever.gif");
    auto* Loop2 = FindExtension<TGIFAppExtNSLoop>(Forever->Image->Images().FrameAt(0));
    ASSERT_NE(Loop2, nullptr);
    EXPECT_EQ(Loop2->RepeatCount, 0);
}

TEST(GifReaderFiles, FrameOffsetOnTheScreen) {
    auto L = LoadFile("offset.gif");
    TGIFSubImage* F = L->Image->Images().FrameAt(0);
    EXPECT_EQ(L->Image->Width(), 6);
    EXPECT_EQ(L->Image->Height(), 4);
    EXPECT_EQ(F->BoundsRect(), Bounds(2, 1, 3, 2));
    EXPECT_EQ(F->GetDescriptorField(1), 2);
    EXPECT_EQ(F->GetDescriptorField(2), 1);
    EXPECT_EQ(F->GetDescriptorField(5), 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelColor(F, x, y), Rgb(255, 128, 0));
}

TEST(GifReaderStreams, MinimalStreamAndItsVariants) {
    auto Plain = LoadBytes(MinimalGif());
    TGIFSubImage* F = Plain->Image->Images().FrameAt(0);
    EXPECT_EQ(std::vector<Byte>(F->Data(), F->Data() + 4), (std::vector<Byte>{0, 1, 1, 0}));
    EXPECT_TRUE(Plain->Warnings.empty());
    EXPECT_EQ(Plain->Image->Version(), gv87a);

    // Four bytes of a container before the signature.
    auto Prefixed = MinimalGif();
    Prefixed.insert(Prefixed.begin(), {0x11, 0x22, 0x33, 0x44});
    EXPECT_EQ(LoadBytes(Prefixed)->Image->Images().ItemCount(), 1);

    // Lower-case signature.
    auto Lower = MinimalGif();
    Lower[0] = 'g';
    Lower[1] = 'i';
    EXPECT_EQ(LoadBytes(Lower)->Image->Images().ItemCount(), 1);

    // No trailer: accepted silently.
    auto NoTrailer = LoadBytes(MinimalGif({}, {}));
    EXPECT_EQ(NoTrailer->Image->Images().ItemCount(), 1);
    EXPECT_TRUE(NoTrailer->Warnings.empty());

    // Zero bytes between blocks are skipped.
    EXPECT_TRUE(LoadBytes(MinimalGif({}, {0, 0, 0x3B}))->Warnings.empty());
}

TEST(GifReaderStreams, WarningsThatLetReadingContinue) {
    // A byte that starts no block ends the frame list.
    auto Junk = LoadBytes(MinimalGif({}, {0x99, 0x3B}));
    EXPECT_EQ(Junk->Image->Images().ItemCount(), 1);
    EXPECT_EQ(Junk->Warnings, (std::vector<std::string>{sGIFUnknownBlockType, sGIFBadTrailer}));

    // Width 0 in the descriptor: the screen's size is used.
    auto Bytes = MinimalGif();
    Bytes[19 + 5] = 0; // Image Descriptor width
    auto ZeroWidth = LoadBytes(Bytes);
    EXPECT_EQ(ZeroWidth->Image->Images().FrameAt(0)->Width(), 2);
    EXPECT_EQ(ZeroWidth->Warnings, std::vector<std::string>{sGIFScreenBadSize});

    // A Graphic Control Extension cut short at the end of the file.
    const std::vector<Byte> Cut = {'G', 'I', 'F', '8', '9',  'a',  1, 0, 1,
                                   0,   0,   0,   0,   0x21, 0xF9, 4, 1};
    auto Short = LoadBytes(Cut);
    EXPECT_EQ(Short->Warnings, std::vector<std::string>{sGIFPrematureEOF});
}

TEST(GifReaderStreams, TransparentFillOfMissingPixels) {
    // Graphic Control Extension: transparent index 1. The data stops after
    // the clear code and one pixel 0: the other pixels keep index 1.
    std::vector<Byte> b = {
        'G',  'I', 'F', '8', '9',  'a',  2, 0,    2, 0, 0x80, 0, 0,    0, 0,
        0,    255, 255, 255, 0x21, 0xF9, 4, 0x01, 0, 0, 1,    0,                 // GCE
        0x2C, 0,   0,   0,   0,    2,    0, 2,    0, 0, 2,    1, 0x04, 0, 0x3B}; // codes 4, 0 then
                                                                                 // nothing
    auto L = LoadBytes(b);
    TGIFSubImage* F = L->Image->Images().FrameAt(0);
    EXPECT_TRUE(F->Transparent());
    EXPECT_EQ(std::vector<Byte>(F->Data(), F->Data() + 4), (std::vector<Byte>{0, 1, 1, 1}));
}

TEST(GifReaderStreams, ApplicationExtensionClasses) {
    const std::vector<Byte> Anim = {0x21, 0xFF, 11,  'A', 'N', 'I', 'M', 'E', 'X', 'T',
                                    'S',  '1',  '.', '0', 3,   1,   5,   0,   0};
    auto L1 = LoadBytes(MinimalGif(Anim));
    auto* Loop = FindExtension<TGIFAppExtNSLoop>(L1->Image->Images().FrameAt(0));
    ASSERT_NE(Loop, nullptr);
    EXPECT_EQ(Loop->RepeatCount, 5);

    // Unknown identifier: the blocks are kept and written back as read. A
    // second sub-block of the looping extension (id 2) carries the buffer
    // size; unknown ids are skipped.
    const std::vector<Byte> Other = {0x21, 0xFF, 11,  'X', 'M', 'P', ' ', 'D', 'a', 't',
                                     'a',  'X',  'M', 'P', 2,   'h', 'i', 1,   '!', 0};
    const std::vector<Byte> Buffered = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                        'E',  '2',  '.', '0', 3,   1,   0,   0,   5,   2,
                                        0x10, 0,    0,   0,   2,   9,   9,   0};
    std::vector<Byte> Both = Other;
    Both.insert(Both.end(), Buffered.begin(), Buffered.end());
    auto L2 = LoadBytes(MinimalGif(Both));
    TGIFSubImage* F = L2->Image->Images().FrameAt(0);
    auto* Unknown = FindExtension<TGIFUnknownAppExtension>(F);
    ASSERT_NE(Unknown, nullptr);
    EXPECT_EQ(Unknown->IdentifierText(), "XMP DataXMP");
    ASSERT_EQ(Unknown->Blocks.size(), 2u);
    EXPECT_EQ(Unknown->Blocks[1]->Data(), std::vector<Byte>{'!'});
    TBytesStream Out;
    Unknown->SaveToStream(Out);
    EXPECT_EQ(Out.Bytes(), Other);
    auto* Loop2 = FindExtension<TGIFAppExtNSLoop>(F);
    ASSERT_NE(Loop2, nullptr);
    EXPECT_EQ(Loop2->BufferSize, 0x10u);

    // A 10-byte identifier block (8 + 2) is kept as an unknown extension.
    const std::vector<Byte> Ten = {0x21, 0xFF, 10,  'A', 'B', 'C', 'D',
                                   'E',  'F',  'G', 'H', '1', '2', 0};
    auto L3 = LoadBytes(MinimalGif(Ten));
    EXPECT_NE(FindExtension<TGIFUnknownAppExtension>(L3->Image->Images().FrameAt(0)), nullptr);
}

TEST(GifReaderStreams, ExtensionsAfterTheLastImageMakeAnEmptyFrame) {
    // A comment between the image and the trailer.
    const std::vector<Byte> Tail = {0x21, 0xFE, 3, 'e', 'n', 'd', 0, 0x3B};
    auto L = LoadBytes(MinimalGif({}, Tail));
    ASSERT_EQ(L->Image->Images().ItemCount(), 2);
    TGIFSubImage* Last = L->Image->Images().FrameAt(1);
    EXPECT_TRUE(Last->Empty());
    EXPECT_EQ(Last->Extensions().ItemCount(), 1);
    EXPECT_TRUE(L->Warnings.empty());
}

TEST(GifReaderMalformed, EachFileFailsWithItsMessage) {
    std::ifstream Csv(DataPath("malformed/expected.csv"));
    ASSERT_TRUE(Csv.good());
    std::string Line;
    std::getline(Csv, Line); // header
    int Checked = 0;
    while (std::getline(Csv, Line)) {
        if (Line.empty()) continue;
        const auto Comma = Line.find(',');
        const std::string File = Line.substr(0, Comma), Message = Line.substr(Comma + 1);
        TMemoryStream Stream;
        Stream.LoadFromFile(DataPath("malformed/" + File));
        // Start reading in the middle of a stream: the position must come back.
        TMemoryStream Shifted;
        Shifted.WriteString("xyz");
        Shifted.CopyFrom(&Stream, 0);
        Shifted.SetPosition(3);
        TGIFImage Image;
        try {
            Image.LoadFromStream(Shifted);
            ADD_FAILURE() << File << " was accepted";
        } catch (const GIFException& e) {
            EXPECT_EQ(e.Message(), Message) << File;
        }
        EXPECT_EQ(Shifted.Position(), 3) << File;
        ++Checked;
    }
    EXPECT_GE(Checked, 10);
}

TEST(GifReaderStreams, ProgressReportsStartAndEnd) {
    TGIFImage Image;
    std::vector<int> Percents;
    Image.OnProgress = [&](TObject*, TProgressStage, Byte Percent, bool, const TRect&,
                           const std::string& Msg) {
        EXPECT_EQ(Msg, sGIFLoading);
        Percents.push_back(Percent);
    };
    TBytesStream Stream(MinimalGif());
    Image.LoadFromStream(Stream);
    ASSERT_GE(Percents.size(), 2u);
    EXPECT_EQ(Percents.front(), 0);
    EXPECT_EQ(Percents.back(), 100);

    std::vector<Byte> Bad = {'G', 'I', 'F'};
    TBytesStream BadStream(Bad);
    Percents.clear();
    EXPECT_THROW(Image.LoadFromStream(BadStream), GIFException);
    EXPECT_EQ(Percents.back(), 0);
}

TEST(GifReaderFiles, SavedAndReadBackUnchanged) {
    for (const char* Name :
         {"anim.gif", "local.gif", "interlaced.gif", "offset.gif", "colors200.gif"}) {
        auto L = LoadFile(Name);
        TBytesStream Saved;
        L->Image->SaveToStream(Saved);
        Saved.SetPosition(0);
        TGIFImage Back;
        Back.LoadFromStream(Saved);
        const TGIFImageList& A = L->Image->Images();
        const TGIFImageList& B = Back.Images();
        ASSERT_EQ(A.ItemCount(), B.ItemCount()) << Name;
        EXPECT_EQ(Back.Width(), L->Image->Width());
        for (int f = 0; f < A.ItemCount(); ++f) {
            TGIFSubImage* Fa = A.FrameAt(f);
            TGIFSubImage* Fb = B.FrameAt(f);
            ASSERT_EQ(Fa->BoundsRect(), Fb->BoundsRect()) << Name << " " << f;
            EXPECT_EQ(Fa->Interlaced(), Fb->Interlaced());
            EXPECT_EQ(Fa->Transparent(), Fb->Transparent());
            ASSERT_EQ(Fa->Extensions().ItemCount(), Fb->Extensions().ItemCount());
            for (int e = 0; e < Fa->Extensions().ItemCount(); ++e) {
                TBytesStream Ea, Eb;
                Fa->Extensions().ExtensionAt(e)->SaveToStream(Ea);
                Fb->Extensions().ExtensionAt(e)->SaveToStream(Eb);
                EXPECT_EQ(Ea.Bytes(), Eb.Bytes()) << Name << " " << f << " ext " << e;
            }
            for (int y = 0; y < Fa->Height(); ++y)
                for (int x = 0; x < Fa->Width(); ++x)
                    ASSERT_EQ(PixelColor(Fa, x, y), PixelColor(Fb, x, y))
                        << Name << " " << x << "," << y;
        }
    }
}

// Well-formed files the reader must take (see make_fixtures.sh): an
// extension of an unknown label is passed over, fifteen 3000 x 3000 frames
// load (each frame is bounded, not the file), and pixels that index past the
// colour table are kept and written back as they were read.
TEST(GifReaderFiles, WellFormedFilesOnceRefused) {
    auto Unknown = LoadFile("unknown_label.gif");
    ASSERT_EQ(Unknown->Image->Images().ItemCount(), 1);
    EXPECT_EQ(Unknown->Image->Images().FrameAt(0)->Pixels(1, 0), 1);
    EXPECT_LE(Unknown->Warnings.size(), 1u);

    auto Big = LoadFile("big_animation.gif");
    ASSERT_EQ(Big->Image->Images().ItemCount(), 15);
    for (int k = 0; k < 15; ++k) {
        TGIFSubImage* F = Big->Image->Images().FrameAt(k);
        ASSERT_EQ(F->Width(), 3000);
        EXPECT_EQ(F->Pixels(0, 0), k % 4);
        EXPECT_EQ(F->Pixels(2999, 2999), k % 4) << k;
    }
    EXPECT_TRUE(Big->Warnings.empty());
    Big.reset();

    auto Past = LoadFile("index_past_table.gif");
    TBytesStream Saved;
    Past->Image->SaveToStream(Saved);
    Saved.SetPosition(0);
    TGIFImage Back;
    Back.LoadFromStream(Saved);
    for (TGIFImage* G : {Past->Image.get(), &Back}) {
        TGIFSubImage* F = G->Images().FrameAt(0);
        EXPECT_EQ(F->ActiveColorMap().Count(), 2);
        EXPECT_EQ(
            std::vector<int>({F->Pixels(0, 0), F->Pixels(1, 0), F->Pixels(0, 1), F->Pixels(1, 1)}),
            std::vector<int>({0, 3, 2, 1}));
    }
}
