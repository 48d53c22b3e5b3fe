#include "banner/DocumentFile.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "BannerTestSupport.h"
#include "banner/BannerDocument.h"
#include "banner/BannerLimits.h"
#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"

namespace {

constexpr std::size_t Rec = 4; // file offset of the record

std::int32_t Int32At(const std::string& B, std::size_t Offset) {
    std::int32_t V;
    std::memcpy(&V, B.data() + Rec + Offset, 4);
    return V;
}

std::uint8_t ByteAt(const std::string& B, std::size_t Offset) {
    return std::uint8_t(B[Rec + Offset]);
}

// The counted string at a record offset; its unused bytes must be zero.
std::string ShortAt(const std::string& B, std::size_t Offset) {
    const std::size_t L = ByteAt(B, Offset);
    for (std::size_t k = L + 1; k < 256; ++k)
        EXPECT_EQ(ByteAt(B, Offset + k), 0) << "offset " << Offset << " byte " << k;
    return B.substr(Rec + Offset + 1, L);
}

bool ZeroRange(const std::string& B, std::size_t Offset, std::size_t Count) {
    for (std::size_t k = 0; k < Count; ++k)
        if (ByteAt(B, Offset + k) != 0) return false;
    return true;
}

int Occurrences(const std::string& Hay, const std::string& Needle) {
    int N = 0;
    for (std::size_t P = Hay.find(Needle); P != std::string::npos; P = Hay.find(Needle, P + 1))
        ++N;
    return N;
}

void Fill(TBitmap32& B, int W, int H, std::uint32_t Seed) {
    B.SetDimensions(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            B.WritePixel(x, y, Seed + std::uint32_t(y * 977 + x * 131) * 0x01030507u);
}

std::string TempFile(const std::string& Name) {
    return (std::filesystem::path(::testing::TempDir()) / Name).string();
}

void WriteBytes(const std::string& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
}

void MakeOneText(TBannerDocument& D) {
    D.Composition = ckOneText;
    D.tlv = {
        TTextElement{"Soldes\rPromo", "clRed\rclBlue", "Arial\rArial", "1\r0", "16\r14", "0\r1"}};
    D.ilv.clear();
    D.BackgroundKind = bgGradient;
    D.TemplateNumber = 7; // not stored: the background is not a template
}

// Every stored field away from its default.
void MakeTwoTextsImage(TBannerDocument& D) {
    D.Composition = ckTwoTextsImage;
    D.BannerFormat = bfLargeBanner;
    D.BannerWidth = 728;
    D.BannerHeight = 90;
    D.tlv = {TTextElement{"Premier", "clNavy", "Verdana", "2", "12", "0"},
             TTextElement{"a\rb\rc", "clRed\rclLime\r$00123456", "Arial\rTahoma\rArial", "0\r1\r3",
                          "10\r11\r12", "1\r0\r1"}};
    D.ilv = {TImageElement{"1", "clWhite", "10", "-5", "3"},
             TImageElement{"0", "$00ABCDEF", "200", "7", "0"}};
    D.TextPositions = {1, -2, 300, 4, -5, 6};
    D.Value3Position = {70, -80};
    D.AutoPositions = {0, 1, 0, 1};
    D.ValueEffects = {teZoomIn, teSweep, teFadeIn};
    D.FirstTextEffect = teScroll;
    D.BackgroundKind = bgTemplate;
    D.TemplateNumber = 12;
    D.Cl = 0x00102030;
    D.cg1 = clYellow;
    D.cg2 = 0x00010203;
    D.dxH = false;
    D.cc1 = clAqua;
    D.cc2 = 0x00FFEEDD;
    D.cp1 = 0x00C0C0C1;
    D.BrLeft = true;
    D.BrBottom = true;
    D.clbord = clMaroon;
    D.forever = false;
    D.loops = 5;
    D.effectcombo = trVerticalSplit;
    D.Slider = 3;
    D.three = true;
    Fill(D.Image1, 3, 2, 0x11);
    Fill(D.Extimage1, 1, 7, 0x22);
    Fill(D.extimage2, 7, 1, 0x33);
    Fill(D.extimage, 5, 4, 0x44);
    D.Image1.WritePixel(0, 0, 0x00FFFFFFu); // transparent pixel kept as it stands
}

using TInts = std::vector<std::pair<std::size_t, std::int32_t>>;
using TTexts = std::vector<std::pair<std::size_t, std::string>>;

// Int32 fields (Width 4) or byte fields (Width 1) at record offsets.
void ExpectFields(const std::string& B, const TInts& Fields, int Width) {
    for (const auto& [Offset, Value] : Fields)
        EXPECT_EQ(Width == 4 ? Int32At(B, Offset) : ByteAt(B, Offset), Value) << "at " << Offset;
}

void ExpectTexts(const std::string& B, const TTexts& Texts) {
    for (const auto& [Offset, Text] : Texts)
        EXPECT_EQ(ShortAt(B, Offset), Text) << "at " << Offset;
}

} // namespace

TEST(DocumentFile, CompositionOneRecordBytes) {
    TBannerDocument D;
    MakeOneText(D);
    const std::string B = BannerDocumentBytes(D);
    EXPECT_EQ(B.substr(0, 4), std::string("\x32\0\0\0", 4));
    // clang-format off
    ExpectTexts(B, {{1, "Soldes\rPromo"}, {513, "clRed\rclBlue"}, {769, "Arial\rArial"},
                    {1025, "1\r0"}, {1281, "16\r14"}, {4444, "0\r1"}, {2572, "$00C4FFC4"},
                    {2828, "clWhite"}, {3596, "$00FFDDBB"}, {3856, "clBlack"}});
    // Text 1, the image count and strings, and the padding stay zero; the
    // template number is stored only for a template background.
    for (auto [Offset, Count] : std::vector<std::pair<std::size_t, std::size_t>>{
             {257, 256}, {1537, 1024}, {4700, 256 + 4 + 3072}, {2561, 3 + 4}, {4139, 1},
             {4406, 2}, {4437, 3}, {8041, 3}})
        EXPECT_TRUE(ZeroRange(B, Offset, Count)) << Offset;
    ExpectFields(B, {{0, 1}, {4148, 1}, {4405, 1}, {8040, 1}}, 1);
    ExpectFields(B, {{2568, bgGradient}, {4408, 1}, {4416, 8}, {4428, 60}, {4432, 468}}, 4);
    // clang-format on
    EXPECT_EQ(B.substr(4 + 8044, 4), "TPF0");
}

TEST(DocumentFile, CompositionTwoRecordBytes) {
    TBannerDocument D;
    MakeTwoTextsImage(D);
    const std::string B = BannerDocumentBytes(D);
    // clang-format off
    ExpectTexts(B, {{1, "Premier"}, {257, "a\rb\rc"}, {1537, "clRed\rclLime\r$00123456"},
                    {2305, "10\r11\r12"}, {4700, "1\r0\r1"}, {2572, "$00102030"},
                    {3084, "$00010203"}, {4149, "$00C0C0C1"}, {2828, "clYellow"}, {3340, "clAqua"},
                    {3596, "$00FFEEDD"}, {3856, "clMaroon"}, {1793, "Arial\rTahoma\rArial"},
                    {2049, "0\r1\r3"},
                    {4960, "1"}, {4960 + 256, "clWhite"}, {4960 + 512, "10"}, {4960 + 768, "-5"},
                    {4960 + 1024, "0"}, {4960 + 1280, "$00ABCDEF"}, {4960 + 1536, "200"},
                    {4960 + 1792, "7"}});
    ExpectFields(B, {{0, 2}, {3852, 1}, {3853, 0}, {3854, 0}, {3855, 1}, {4136, 0}, {4137, 1},
                     {4138, 0}, {4148, 2}, {4405, 0}, {4436, 1}, {8040, 1}, {8041, 3},
                     {8042, 0}, {8043, 0}}, 1);
    ExpectFields(B, {{2564, 12}, {2568, bgTemplate}, {4112, 1}, {4132, 6}, {4140, teZoomIn},
                     {4144, teSweep}, {4408, 5}, {4412, trVerticalSplit}, {4416, 3},
                     {4420, teScroll}, {4424, 3}, {4440, teFadeIn}, {4956, 2}, {8032, 70},
                     {8036, -80}}, 4);
    // clang-format on
    EXPECT_TRUE(ZeroRange(B, 4960 + 2048, 1024)); // no third image
    // The four streams in their order, each with its picture.
    const std::size_t P1 = B.find("\x06Image1"),
                      P2 = B.find("\x08"
                                  "extimage"),
                      P3 = B.find("Extimage1"), P4 = B.find("extimage2");
    EXPECT_TRUE(P1 < P2 && P2 < P3 && P3 < P4 && P4 != std::string::npos);
    EXPECT_EQ(Occurrences(B, "Bitmap.Data"), 4);
    EXPECT_EQ(Occurrences(B, "dmBlend"), 3);
    EXPECT_EQ(Occurrences(B, std::string("\x07\x09") + "clBtnFace"), 3);
    EXPECT_EQ(Occurrences(B, "AutoSize\x09"), 3);
}

TEST(DocumentFile, ShortStringsConvertThenCut) {
    TBannerDocument D;
    MakeOneText(D);
    std::string Long;
    for (int k = 0; k < 300; ++k)
        Long += "é";
    D.tlv[0].Caption = Long;
    D.tlv[0].FontName = "A\xE2\x82\xAC"
                        "B\xE4\xB8\xAD"; // euro sign, then a CJK character
    const std::string B = BannerDocumentBytes(D);
    EXPECT_EQ(ByteAt(B, 1), 255);
    EXPECT_EQ(B.substr(Rec + 2, 255), std::string(255, '\xE9'));
    EXPECT_EQ(ShortAt(B, 769), "A\x80"
                               "B?");

    TBannerDocument R;
    ReadBannerDocument(R, B);
    EXPECT_EQ(R.tlv[0].Caption, Long.substr(0, 255 * 2));
}

TEST(DocumentFile, RoundTripOfEveryFieldAndPicture) {
    TBannerDocument D;
    MakeTwoTextsImage(D);
    const std::string Path = TempFile("round.qmkf");
    SaveBannerDocument(D, Path);

    TBannerDocument R;
    R.Modified = true;
    R.ExtImageFileName = "/tmp/old.png";
    int Changes = 0;
    R.OnChange = [&](TObject*) { ++Changes; };
    EXPECT_EQ(LoadBannerDocument(R, Path), 50);
    EXPECT_EQ(Changes, 1);
    // Every stored field came back iff the records are the same (the layout
    // itself is checked above).
    const TBannerFileRecord A = MakeBannerFileRecord(D), B = MakeBannerFileRecord(R);
    EXPECT_EQ(std::memcmp(&A, &B, sizeof(A)), 0);
    EXPECT_EQ(R.tlv, D.tlv);
    EXPECT_EQ(R.ilv, D.ilv);
    EXPECT_EQ(R.ImageEffectCombo, ieSlideFromLeft); // image 1's effect plays again
    EXPECT_EQ((std::vector<TColor>{R.Cl, R.cp1, R.clbord}),
              (std::vector<TColor>{D.Cl, D.cp1, D.clbord}));
    EXPECT_TRUE(SamePixels(R.Image1, D.Image1));
    EXPECT_TRUE(SamePixels(R.extimage, D.extimage));
    EXPECT_TRUE(SamePixels(R.Extimage1, D.Extimage1));
    EXPECT_TRUE(SamePixels(R.extimage2, D.extimage2));
    EXPECT_FALSE(R.Modified);
    EXPECT_TRUE(R.SavedBefore);
    EXPECT_TRUE(R.ExtImageFileName.empty());
}

TEST(DocumentFile, EmptyPictureHasNoDataAndReadsEmpty) {
    TBannerDocument D;
    MakeOneText(D);
    D.Image1.Delete();
    D.Extimage1.Delete();
    D.extimage2.Delete();
    Fill(D.extimage, 2, 2, 0x55);
    D.BannerWidth = 4096; // no picture control buffer of that size
    D.BannerHeight = 1024;
    const std::string B = BannerDocumentBytes(D);
    EXPECT_EQ(Occurrences(B, "Bitmap.Data"), 1);

    // Nothing of the banner that was open is carried into the one read.
    TBannerDocument R;
    Fill(R.Extimage1, 4, 4, 0x66);
    ReadBannerDocument(R, B);
    EXPECT_TRUE(R.Extimage1.Empty());
    EXPECT_TRUE(SamePixels(R.extimage, D.extimage));
    EXPECT_EQ(R.BannerWidth, 4096);
}

TEST(DocumentFile, DamagedPictureEmptiesOnlyThatPicture) {
    TBannerDocument D;
    MakeTwoTextsImage(D);
    const std::string Good = BannerDocumentBytes(D);
    const std::size_t Image1 = Good.find("Image1");
    // In the first stream: Data's length beyond the file, Data's width, one
    // value's tag ("Left" = 99), the class name's length.
    const std::size_t Data = Good.find("Bitmap.Data", Image1) + 11;
    const std::size_t Left = Good.find("Left", Image1) + 4;
    const std::vector<std::pair<std::size_t, char>> Damages = {
        {Data + 4, char(0x7F)}, {Data + 1 + 4, 9}, {Left, 99}, {Image1 - 10, 40}};
    for (const auto& [At, Byte] : Damages) {
        std::string B = Good;
        B[At] = Byte;
        TBannerDocument R;
        Fill(R.Image1, 4, 4, 0x66);
        ReadBannerDocument(R, B);
        EXPECT_TRUE(R.Image1.Empty()) << At;
        EXPECT_TRUE(SamePixels(R.extimage, D.extimage)) << At;
        EXPECT_TRUE(SamePixels(R.Extimage1, D.Extimage1)) << At;
        EXPECT_TRUE(SamePixels(R.extimage2, D.extimage2)) << At;
    }

    // Properties the control does not know (a cursor, an event and a bitmap
    // setting another program stored) cost nothing.
    std::string Extra = Good;
    const std::string Props = std::string("\x06") + "Cursor\x07\x0b" + "crHandPoint" + "\x07" +
                              "OnClick\x07\x0b" + "Image1Click" + "\x14" +
                              "Bitmap.StretchFilter\x07\x09" + "sfNearest";
    Extra.insert(Good.find("\x04Left", Image1), Props);
    TBannerDocument E;
    ReadBannerDocument(E, Extra);
    EXPECT_TRUE(SamePixels(E.Image1, D.Image1));
    EXPECT_TRUE(SamePixels(E.extimage, D.extimage));

    // Streams cut short: the record is still applied, the lost pictures emptied.
    TBannerDocument T;
    ReadBannerDocument(T, Good.substr(0, Good.find("Extimage1")));
    EXPECT_EQ(T.tlv, D.tlv);
    EXPECT_TRUE(SamePixels(T.extimage, D.extimage));
    EXPECT_TRUE(T.Extimage1.Empty() && T.extimage2.Empty());
}

// Colours a component registered are written as numbers; positions far off
// the banner are brought back where sums with a size cannot overflow.
TEST(DocumentFile, WrittenColoursAreBaseAndReadPositionsBounded) {
    static constexpr TIdentMapEntry Extra[] = {{0x0080FF, "clOrange"}};
    RegisterColorIdents(Extra);
    TBannerDocument D;
    MakeTwoTextsImage(D);
    D.Cl = 0x0080FF;
    D.tlv[1].Color = "clOrange\rclgray\r$00123456";
    D.ilv[0].TransparentColor = "clOrange";
    D.TextPositions = {INT_MAX, INT_MIN, 5, 6, 7, 8};
    D.Value3Position = {INT_MIN, INT_MAX};
    D.ilv[1].X = "2147483647";
    const std::string B = BannerDocumentBytes(D);
    UnregisterColorIdents(Extra);
    EXPECT_EQ(Occurrences(B, "clOrange"), 0);
    EXPECT_EQ(ShortAt(B, 2572), "$000080FF");
    EXPECT_EQ(ShortAt(B, 1537), "$000080FF\rclgray\r$00123456");
    EXPECT_EQ(ShortAt(B, 4960 + 256), "$000080FF");

    TBannerDocument R;
    ReadBannerDocument(R, B);
    EXPECT_EQ(R.Cl, 0x0080FF);
    EXPECT_EQ(R.TextPositions,
              (std::array<int, 6>{MaxElementOffset, -MaxElementOffset, 5, 6, 7, 8}));
    EXPECT_EQ(R.Value3Position, (std::array<int, 2>{-MaxElementOffset, MaxElementOffset}));
    EXPECT_EQ(R.ilv[1].X, IntToStr(MaxElementOffset));
    EXPECT_EQ(R.ilv[0].X, "10");
}

TEST(DocumentFile, RefusedFilesLeaveTheDocumentAsItWas) {
    TBannerDocument D;
    MakeOneText(D);
    const std::string Good = BannerDocumentBytes(D);
    TBannerDocument R;
    MakeTwoTextsImage(R);
    const auto Unchanged = [&] {
        EXPECT_EQ(R.Composition, ckTwoTextsImage);
        EXPECT_EQ(R.tlv.size(), 2u);
        EXPECT_EQ(R.Image1.Width(), 3);
    };

    // A short file: the missing colour texts are empty, which is no colour.
    EXPECT_THROW(ReadBannerDocument(R, Good.substr(0, 600)), EConvertError);
    Unchanged();

    std::string Bad = Good;
    Bad[Rec + 2828 + 1] = 'x'; // "xlWhite"
    EXPECT_THROW(ReadBannerDocument(R, Bad), EConvertError);
    Unchanged();

    // A size the renderer cannot draw.
    for (const auto& [W, H] : {std::pair{2000000000, -5}, {0, 60}, {4097, 60}, {4096, 1025}}) {
        Bad = Good;
        std::memcpy(Bad.data() + Rec + 4432, &W, 4);
        std::memcpy(Bad.data() + Rec + 4428, &H, 4);
        try {
            ReadBannerDocument(R, Bad);
            ADD_FAILURE() << W << " x " << H;
        } catch (const EBannerFileError& E) {
            EXPECT_EQ(E.Message(), BannerSizeRefusedText);
        }
        Unchanged();
    }

    Bad = Good;
    Bad[Rec] = 0; // no composition
    EXPECT_THROW(ReadBannerDocument(R, Bad), EBannerFileError);
    Unchanged();

    for (std::int32_t V : {0, 20, 51, -50}) {
        std::memcpy(Bad.data(), &V, 4);
        EXPECT_THROW(ReadBannerDocument(R, Bad), EBannerFileError) << V;
    }
    EXPECT_THROW(ReadBannerDocument(R, "\x32\x00"), EBannerFileError);
    Unchanged();
    EXPECT_THROW(LoadBannerDocument(R, TempFile("missing.qmkf")), EFOpenError);
}

TEST(DocumentFile, OldVersionsAskThenConvertStepByStep) {
    TBannerDocument D;
    MakeOneText(D);
    const std::string Current = BannerDocumentBytes(D);
    const std::string Path = TempFile("old.qmkf");
    const auto WithVersion = [&](std::int32_t V) {
        std::string B = Current;
        std::memcpy(B.data(), &V, 4);
        WriteBytes(Path, B);
    };
    // A fake converter: only moves the version number on.
    std::vector<int> Steps;
    const TBannerFileConverter Convert = [&](const std::string& F, int From) {
        Steps.push_back(From);
        WithVersion(From == 10 ? 30 : From == 30 ? 40 : 50);
        EXPECT_EQ(F, Path);
    };
    std::vector<std::string> Questions;
    int OkAnswers = 0;
    const TBannerConvertQuestion Ask = [&](const std::string& Q) {
        Questions.push_back(Q);
        return OkAnswers-- > 0;
    };

    TBannerDocument R;
    WithVersion(30);
    OkAnswers = 1;
    EXPECT_EQ(LoadBannerDocument(R, Path, Ask, Convert), 50);
    EXPECT_EQ(Steps, (std::vector<int>{30, 40}));
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0].substr(0, 46), "Ce fichier possède un format ancien. Pour l'o");
    EXPECT_NE(Questions[0].find("convertir ?\r\rAttention"), std::string::npos);
    EXPECT_EQ(R.Composition, ckOneText);

    // Version 10: OK, then Cancel when it comes back as version 40.
    TBannerDocument S;
    Steps.clear();
    Questions.clear();
    WithVersion(10);
    OkAnswers = 1;
    EXPECT_EQ(LoadBannerDocument(S, Path, Ask, Convert), 40);
    EXPECT_EQ(Steps, (std::vector<int>{10, 30}));
    EXPECT_EQ(Questions.size(), 2u);
    EXPECT_EQ(S.Composition, ckNone);

    // No question to ask: the old file is reported, nothing else happens.
    EXPECT_EQ(LoadBannerDocument(S, Path), 40);

    // A converter that does not move the version on is refused, not looped.
    const TBannerFileConverter Stuck = [](const std::string&, int) {};
    OkAnswers = 100;
    EXPECT_THROW(LoadBannerDocument(S, Path, Ask, Stuck), EBannerFileError);
}

// Writes the fuzzer's seeds into $QM_SEED_DIR; run by hand with
// --gtest_also_run_disabled_tests when the format changes.
TEST(DocumentFile, DISABLED_WriteFuzzSeeds) {
    const char* Dir = std::getenv("QM_SEED_DIR");
    ASSERT_NE(Dir, nullptr);
    TBannerDocument One;
    MakeOneText(One);
    One.Image1.Delete();
    WriteBytes(std::string(Dir) + "/one_text", BannerDocumentBytes(One));
    TBannerDocument Two;
    MakeTwoTextsImage(Two);
    WriteBytes(std::string(Dir) + "/two_texts_image", BannerDocumentBytes(Two));
    Two.Composition = ckTwoTexts;
    Two.Extimage1.Delete();
    Two.extimage2.Delete();
    WriteBytes(std::string(Dir) + "/two_texts", BannerDocumentBytes(Two));
}
