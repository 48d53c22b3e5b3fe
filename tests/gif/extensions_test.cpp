// Extension blocks: their exact bytes, reading them back, their checks and
// their ties to the frame that holds them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifImage.h"
#include "platform/classes/Stream.h"
#include "support/TestSupport.h"

namespace {

TColor Rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

std::vector<Byte> BytesOf(TGIFExtension& E) {
    TBytesStream S;
    E.SaveToStream(S);
    return S.Bytes();
}

struct TFrameFixture : ::testing::Test {
    TGIFImage Image;
    TGIFSubImage* Frame = nullptr;
    std::vector<std::string> Warnings;
    void SetUp() override {
        Image.OnWarning = [this](TObject*, TGIFSeverity, const std::string& m) {
            Warnings.push_back(m);
        };
        Frame = Image.Images().FrameAt(Image.AppendFrame(std::make_unique<TGIFSubImage>(&Image)));
        Frame->SetBounds(0, 0, 2, 2);
    }
    template <class T> T* Append(std::unique_ptr<T> E) {
        T* Raw = E.get();
        Frame->Extensions().AppendItem(std::move(E));
        return Raw;
    }
};

} // namespace

using GifExtensionBytes = TFrameFixture;

TEST_F(GifExtensionBytes, GraphicControl) {
    auto* G = Append(TGIFGraphicControlExtension::CreateForFrame(Frame));
    EXPECT_EQ(BytesOf(*G), (std::vector<Byte>{0x21, 0xF9, 4, 0, 0, 0, 0, 0}));
    G->SetDisposalMethod(2);
    EXPECT_EQ(G->PackedFields(), 0x08);
    G->SetDelayTicks(0x1234);
    G->SetUserInput(true);
    Frame->ColorMap().Add(Rgb(0, 0, 0));
    Frame->ColorMap().Add(Rgb(1, 1, 1));
    G->SetTransparentColorIndex(1);
    G->SetTransparent(true);
    EXPECT_EQ(BytesOf(*G), (std::vector<Byte>{0x21, 0xF9, 4, 0x0B, 0x34, 0x12, 1, 0}));
    // Disposal keeps the other bits; only 0..7 fit.
    G->SetDisposalMethod(7);
    EXPECT_EQ(G->PackedFields(), 0x1F);
    G->SetDisposalMethod(3);
    EXPECT_EQ(G->Disposal(), gdRestorePrevious);
    EXPECT_EQ(G->PackedFields(), 0x0F);
}

TEST_F(GifExtensionBytes, PlainTextLinesAsSubBlocks) {
    auto* T = Append(std::make_unique<TGIFTextExtension>(Frame));
    T->GridLeft = 0x0102;
    T->GridTop = 3;
    T->GridWidth = 0x0405;
    T->GridHeight = 6;
    T->CellWidth = 7;
    T->CellHeight = 8;
    T->TextForegroundColorIndex = 9;
    T->TextBackgroundColorIndex = 10;
    T->Text = {"ab", "", "c"};
    EXPECT_EQ(BytesOf(*T), (std::vector<Byte>{0x21, 0x01, 12, 2,  1, 3,   0,   5, 4,   6, 0,
                                              7,    8,    9,  10, 2, 'a', 'b', 1, 'c', 0}));
}

TEST_F(GifExtensionBytes, CommentsLongerThanOneSubBlock) {
    auto* C = Append(std::make_unique<TGIFCommentExtension>(Frame));
    C->Comment = {std::string(300, 'x'), "yz"};
    const auto B = BytesOf(*C);
    ASSERT_EQ(B.size(), 2u + 1 + 255 + 1 + 45 + 1 + 2 + 1);
    EXPECT_EQ(B[2], 255);
    EXPECT_EQ(B[2 + 256], 45);
    EXPECT_EQ(B[2 + 256 + 46], 2);
    EXPECT_EQ(B.back(), 0);
    // Reading makes one line per sub-block.
    TBytesStream S(B);
    TGIFCommentExtension Back(Frame);
    Back.LoadFromStream(S);
    EXPECT_EQ(Back.Comment,
              (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x'), "yz"}));
}

TEST_F(GifExtensionBytes, LoopingExtension) {
    auto* L = Append(TGIFAppExtNSLoop::CreateForFrame(Frame));
    const std::vector<Byte> Head = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S',
                                    'C',  'A',  'P', 'E', '2', '.', '0'};
    std::vector<Byte> Expected = Head;
    Expected.insert(Expected.end(), {3, 1, 0, 0, 0});
    EXPECT_EQ(BytesOf(*L), Expected);
    L->RepeatCount = 0x0203;
    L->BufferSize = 0x04050607;
    Expected = Head;
    Expected.insert(Expected.end(), {3, 1, 3, 2, 5, 2, 7, 6, 5, 4, 0});
    EXPECT_EQ(BytesOf(*L), Expected);

    TBytesStream S(Expected);
    TGIFAppExtNSLoop Back(Frame);
    Back.LoadFromStream(S);
    EXPECT_EQ(Back.RepeatCount, 0x0203);
    EXPECT_EQ(Back.BufferSize, 0x04050607u);
    EXPECT_EQ(S.Position(), S.Size());
}

TEST_F(GifExtensionBytes, GraphicControlReadBack) {
    const std::vector<Byte> In = {0x21, 0xF9, 4, 0x0D, 0x10, 0x00, 3, 0};
    TBytesStream S(In);
    Frame->ColorMap().Add(0);
    TGIFGraphicControlExtension G(Frame);
    G.LoadFromStream(S);
    EXPECT_TRUE(G.Transparent());
    EXPECT_TRUE(Frame->Transparent());
    EXPECT_EQ(G.Disposal(), gdRestorePrevious);
    EXPECT_EQ(G.Delay(), 16);
    EXPECT_EQ(G.TransparentColorIndex(), 3);
    EXPECT_EQ(S.Position(), 8);
}

TEST_F(GifExtensionBytes, GraphicControlWithAnOddBlockSizeStaysInStep) {
    // Block size 5 and an extra sub-block before the terminator; the stream
    // must end up after the terminator, and the block is written back with
    // the standard size 4.
    const std::vector<Byte> In = {0x21, 0xF9, 5, 0x01, 0x02, 0x00, 1, 0xEE, 2, 0xAA, 0xBB, 0, 0x3B};
    TBytesStream S(In);
    TGIFGraphicControlExtension G(Frame);
    G.LoadFromStream(S);
    EXPECT_EQ(S.Position(), 12);
    EXPECT_EQ(G.Delay(), 2);
    EXPECT_EQ(BytesOf(G), (std::vector<Byte>{0x21, 0xF9, 4, 0x01, 0x02, 0x00, 1, 0}));
}

TEST_F(GifExtensionBytes, LabelChecks) {
    {
        TBytesStream S(std::vector<Byte>{0x2C, 0xFE, 0});
        TGIFCommentExtension C(Frame);
        EXPECT_EQ(MessageOf<GIFException>([&] { C.LoadFromStream(S); }), sGIFBadExtensionLabel);
    }
    {
        TBytesStream S(std::vector<Byte>{0x21, 0xF9, 0});
        TGIFCommentExtension C(Frame);
        EXPECT_EQ(MessageOf<GIFException>([&] { C.LoadFromStream(S); }), sGIFBadExtensionInstance);
    }
    {
        TBytesStream S(std::vector<Byte>{0x21, 0xFF, 7, 1, 2, 3, 4, 5, 6, 7, 0});
        TGIFApplicationExtension A(Frame);
        EXPECT_EQ(MessageOf<GIFException>([&] { A.LoadFromStream(S); }),
                  sGIFUnsupportedAppBlockSize);
    }
    {
        // Identifier block of 13 bytes: the surplus is skipped.
        TBytesStream S(std::vector<Byte>{0x21, 0xFF, 13,  'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                         '2',  '.',  '0', 'x', 'y', 3,   1,   9,   0,   0});
        TGIFAppExtNSLoop L(Frame);
        L.LoadFromStream(S);
        EXPECT_EQ(L.RepeatCount, 9);
        EXPECT_EQ(S.Position(), S.Size());
    }
    {
        // Sub-block id 2 needs 5 bytes.
        TBytesStream S(std::vector<Byte>{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                         '2', '.', '0', 3, 2, 0, 0, 0});
        TGIFAppExtNSLoop L(Frame);
        EXPECT_EQ(MessageOf<GIFException>([&] { L.LoadFromStream(S); }), sGIFInvalidData);
    }
}

TEST_F(GifExtensionBytes, TransparentColourRules) {
    auto* G = Append(TGIFGraphicControlExtension::CreateForFrame(Frame));
    Frame->ColorMap().Add(Rgb(1, 1, 1));
    Frame->ColorMap().Add(Rgb(2, 2, 2));
    // A present colour: its index, transparency bit unchanged.
    G->SetTransparentByColor(Rgb(2, 2, 2));
    EXPECT_EQ(G->TransparentColorIndex(), 1);
    EXPECT_FALSE(G->Transparent());
    // An absent colour is added.
    G->SetTransparentByColor(Rgb(3, 3, 3));
    EXPECT_EQ(G->TransparentColorIndex(), 2);
    EXPECT_EQ(Frame->ColorMap().Count(), 3);
    EXPECT_EQ(G->TransparentColor(), Rgb(3, 3, 3));
    // An index beyond the table warns and stores 0.
    G->SetTransparentColorIndex(3);
    EXPECT_EQ(G->TransparentColorIndex(), 0);
    EXPECT_EQ(Warnings, std::vector<std::string>{sGIFInvalidColor});
    // A full table refuses a new colour.
    for (int i = 3; i < 256; ++i)
        Frame->ColorMap().Add(Rgb(i, 0, 9));
    EXPECT_EQ(MessageOf<GIFException>([&] { G->SetTransparentByColor(Rgb(0, 0, 1)); }),
              sGIFColorTableOverflow);
}

TEST_F(GifExtensionBytes, ControlExtensionLinkAndLifetime) {
    auto* First = Append(TGIFGraphicControlExtension::CreateForFrame(Frame));
    auto* Second = Append(TGIFGraphicControlExtension::CreateForFrame(Frame));
    EXPECT_EQ(Frame->GraphicControlExtension(), First);
    First->SetTransparent(true);
    EXPECT_TRUE(Frame->Transparent());
    // Freeing the linked one through the list unlinks it and clears the flag.
    Frame->Extensions().Delete(0);
    EXPECT_EQ(Frame->GraphicControlExtension(), nullptr);
    EXPECT_FALSE(Frame->Transparent());
    EXPECT_EQ(Frame->Extensions().ItemCount(), 1);
    // Freeing an extension directly takes it out of its list.
    delete Second;
    EXPECT_EQ(Frame->Extensions().ItemCount(), 0);
}

TEST_F(GifExtensionBytes, EveryExtensionMakesTheFrame89a) {
    EXPECT_EQ(Frame->Version(), gv87a);
    EXPECT_EQ(Image.Version(), gv87a);
    Append(std::make_unique<TGIFCommentExtension>(Frame));
    EXPECT_EQ(Frame->Version(), gv89a);
    EXPECT_EQ(Image.Version(), gv89a);
}

TEST(GifExtensionRegistry, LaterRegistrationsWinAndFreeingRestoresTheStandard) {
    struct TMyLoop : TGIFAppExtNSLoop {
        using TGIFAppExtNSLoop::TGIFAppExtNSLoop;
    };
    EXPECT_TRUE(FindExtension(0xF9));
    EXPECT_FALSE(FindExtension(0x42));
    EXPECT_FALSE(FindAppExtension("NOBODY  1.0"));
    RegisterAppExtension("NETSCAPE2.0", [](TGIFSubImage* F) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TMyLoop>(F);
    });
    auto Made = FindAppExtension("NETSCAPE2.0")(nullptr);
    EXPECT_NE(dynamic_cast<TMyLoop*>(Made.get()), nullptr);
    FreeExtensionRegistries();
    Made = FindAppExtension("NETSCAPE2.0")(nullptr);
    EXPECT_EQ(dynamic_cast<TMyLoop*>(Made.get()), nullptr);
    EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(Made.get()), nullptr);
}
