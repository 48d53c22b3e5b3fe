#include "banner/DocumentConverters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "BannerTestSupport.h"
#include "banner/BannerDocument.h"
#include "platform/base/FileNames.h"
#include "platform/classes/Stream.h"
#include "raster/RasterCore.h"

namespace {

namespace fs = std::filesystem;

std::string TempPath(const std::string& Name) {
    return (fs::path(::testing::TempDir()) / Name).string();
}

std::string ReadAll(const std::string& Path) {
    std::string B;
    EXPECT_TRUE(LoadFileBytes(Path, B, 1 << 20));
    return B;
}

std::int32_t Int32At(const std::string& File, std::size_t RecordOffset) {
    std::int32_t V;
    std::memcpy(&V, File.data() + 4 + RecordOffset, 4);
    return V;
}

std::string ShortAt(const std::string& File, std::size_t RecordOffset) {
    return File.substr(4 + RecordOffset + 1, std::uint8_t(File[4 + RecordOffset]));
}

void PutInt32(std::string& Record, std::size_t Offset, std::int32_t V) {
    std::memcpy(Record.data() + Offset, &V, 4);
}

void PutShort(std::string& Record, std::size_t Offset, const std::string& Text) {
    Record[Offset] = char(Text.size());
    std::memcpy(Record.data() + Offset + 1, Text.data(), Text.size());
}

// A version-10 file: the shared part of a composition-2 banner, one image at
// (12, -3) transparent on clFuchsia, and Image1's stream.
std::string MakeV10(const TBitmap32& Image1, std::int32_t Template) {
    TBannerDocument D;
    D.Composition = ckTwoTextsImage;
    D.tlv = {TTextElement{"Premier", "clNavy", "Arial", "0", "12", ""},
             TTextElement{"a\rb", "clRed\rclRed", "Arial\rArial", "0\r1", "10\r11", ""}};
    D.BackgroundKind = bgTemplate;
    D.TemplateNumber = Template;
    const TBannerFileRecord R = MakeBannerFileRecord(D);
    std::string Record(reinterpret_cast<const char*>(&R), BannerRecordSharedSize);
    Record.resize(BannerRecordSizeV10, '\0');
    Record[4112] = 1;
    PutShort(Record, 4113, "clFuchsia");
    PutInt32(Record, 4372, 12);
    PutInt32(Record, 4376, -3);
    TMemoryStream S;
    const std::int32_t Version = 10;
    S.WriteBuffer(&Version, 4);
    S.WriteBuffer(Record.data(), std::int64_t(Record.size()));
    WriteBannerPicture(S, 0, Image1, 468, 60);
    return std::string(S.View());
}

void Fill(TBitmap32& B, int W, int H, std::uint32_t Seed) {
    B.SetDimensions(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            B.WritePixel(x, y, Seed * 0x01010101u + std::uint32_t(x * 7 + y * 13));
}

} // namespace

TEST(DocumentConverters, TemplateKeyColourComesFromTheTemplateOrTheDefault) {
    const std::string Folder = TempPath("Back");
    fs::create_directories(Folder);
    TBitmap32 T;
    T.SetDimensions(468, 60);
    T.ClearToBlack();
    T.WritePixel(467, 59, 0xFF112233u);
    TMemoryStream Bmp;
    T.SaveToBmpStream(Bmp);
    SaveFileAtomic(Folder + "/b-5.bmp", Bmp.View());
    T.SetDimensions(100, 60);
    TMemoryStream Small;
    T.SaveToBmpStream(Small);
    SaveFileAtomic(Folder + "/b-6.bmp", Small.View());

    EXPECT_EQ(TemplateKeyColor(Folder, 4), 0x00332211);
    EXPECT_EQ(TemplateKeyColor(Folder, 5), DefaultTemplateKeyColor); // too small
    EXPECT_EQ(TemplateKeyColor(Folder, 9), DefaultTemplateKeyColor); // missing

    TBitmap32 Image1;
    Fill(Image1, 2, 3, 0x40);
    const std::string Path = TempPath("key.qmkf");
    SaveFileAtomic(Path, MakeV10(Image1, 4));
    ConvertV10ToV30(Path, Folder);
    EXPECT_EQ(ShortAt(ReadAll(Path), 4417), "$00332211");
    SaveFileAtomic(Path, MakeV10(Image1, 20));
    ConvertV10ToV30(Path, Folder);
    EXPECT_EQ(ShortAt(ReadAll(Path), 4417), "$0099CCFF");
}

TEST(DocumentConverters, EachStepWritesTheNextLayout) {
    TBitmap32 Image1;
    Fill(Image1, 2, 3, 0x40);
    const std::string V10 = MakeV10(Image1, 0);
    const std::string Path = TempPath("steps.qmkf");
    SaveFileAtomic(Path, V10);

    ConvertV10ToV30(Path, TempPath("NoBack"));
    std::string F = ReadAll(Path);
    std::int32_t Version;
    std::memcpy(&Version, F.data(), 4);
    EXPECT_EQ(Version, 30);
    EXPECT_EQ(F.substr(4, 4380), V10.substr(4, 4380)); // shared part and image fields kept
    EXPECT_EQ(Int32At(F, 4380), 0);
    EXPECT_EQ((std::vector<int>{F[4 + 4404], F[4 + 4405], F[4 + 4406], F[4 + 4407]}),
              (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(F[4 + 4416], 1);
    EXPECT_EQ(F[4 + 4673], 1);
    EXPECT_EQ(Int32At(F, 4676), 1);
    EXPECT_EQ(Int32At(F, 4680), 0);
    EXPECT_EQ(Int32At(F, 4684), 8);
    EXPECT_EQ(F.substr(4 + 4688, 4), "TPF0");

    ConvertV30ToV40(Path);
    const std::string G = ReadAll(Path);
    EXPECT_EQ(G.substr(4, 4688), F.substr(4, 4688));
    EXPECT_EQ(
        (std::vector<int>{Int32At(G, 4688), Int32At(G, 4692), Int32At(G, 4696), Int32At(G, 4700)}),
        (std::vector<int>{0, 0, 60, 468}));
    const std::size_t External = G.find("\x08"
                                        "extimage");
    ASSERT_NE(External, std::string::npos);
    EXPECT_EQ(G.find("Bitmap.Data", External), std::string::npos); // empty background picture

    EXPECT_THROW(ConvertV30ToV40(Path), EBannerFileError); // already version 40

    TBitmap32 Default;
    Fill(Default, 60, 40, 0x10);
    ConvertV40ToV50(Path, Default);
    const std::string H = ReadAll(Path);
    EXPECT_EQ(H.substr(4, 4112), V10.substr(4, 4112));
    EXPECT_EQ(ShortAt(H, 4444), "0");
    EXPECT_EQ(ShortAt(H, 4700), "0\r0");
    EXPECT_EQ(ShortAt(H, 4149), "$0099CCFF");
    EXPECT_EQ(Int32At(H, 4432), 468);
    EXPECT_EQ(Int32At(H, 4956), 1);
    EXPECT_EQ(ShortAt(H, 4960), "1");
    EXPECT_EQ(ShortAt(H, 4960 + 256), "clFuchsia");
    EXPECT_EQ(ShortAt(H, 4960 + 512), "12");
    EXPECT_EQ(ShortAt(H, 4960 + 768), "-3");
    EXPECT_EQ(H[4 + 8040], 1);
}

TEST(DocumentConverters, OpeningAVersion10FileConvertsItToTheCurrentOne) {
    TBitmap32 Image1;
    Fill(Image1, 3, 1, 0x70);
    const std::string Path = TempPath("open10.qmkf");
    SaveFileAtomic(Path, MakeV10(Image1, 3));

    TBannerDocument D;
    const TBannerFileConverter Convert = MakeBannerFileConverter(TempPath("NoBack"), D.Image2);
    int Asked = 0;
    EXPECT_EQ(LoadBannerDocument(
                  D, Path, [&](const std::string&) { return ++Asked > 0; }, Convert),
              50);
    EXPECT_EQ(Asked, 2);
    EXPECT_EQ(D.Composition, ckTwoTextsImage);
    EXPECT_EQ(D.tlv[0].Shadow, "0");
    EXPECT_EQ(D.tlv[1].Shadow, "0\r0");
    ASSERT_EQ(D.ilv.size(), 1u);
    EXPECT_EQ(D.ilv[0], (TImageElement{"1", "clFuchsia", "12", "-3", "0"}));
    EXPECT_EQ(D.TemplateNumber, 3);
    EXPECT_EQ(D.cp1, DefaultTemplateKeyColor);
    EXPECT_EQ(D.BannerWidth, 468);
    EXPECT_EQ(D.Slider, 8);
    EXPECT_TRUE(D.forever);
    EXPECT_TRUE(SamePixels(D.Image1, Image1));
    EXPECT_TRUE(D.extimage.Empty());
    EXPECT_TRUE(SamePixels(D.Extimage1, D.Image2));
    EXPECT_TRUE(SamePixels(D.extimage2, D.Image2));
    EXPECT_FALSE(D.Image2.Empty());
}

// A damaged picture costs only itself, through the conversion and the reading
// after it; its bytes are carried into the new file, never replaced by the
// empty picture its failed reading left.
TEST(DocumentConverters, DamagedPictureIsCarriedOverAndTheOthersConverted) {
    TBitmap32 Image1, External;
    Fill(Image1, 2, 2, 0x50);
    Fill(External, 468, 60, 0x60);
    const std::string Path = TempPath("damaged40.qmkf");
    SaveFileAtomic(Path, MakeV10(Image1, 0));
    ConvertV10ToV30(Path, TempPath("NoBack"));
    ConvertV30ToV40(Path);
    TMemoryStream Streams;
    WriteBannerPicture(Streams, 0, Image1, 468, 60);
    std::string Damaged(Streams.View());
    Damaged[Damaged.find("Bitmap.Data") + 11 + 4] = char(0x7F); // length past the end
    TMemoryStream Rest;
    WriteBannerPicture(Rest, 1, External, 468, 60);
    SaveFileAtomic(Path, ReadAll(Path).substr(0, 4 + BannerRecordSizeV40) + Damaged +
                             std::string(Rest.View()));

    TBannerDocument D;
    Fill(D.Image1, 5, 5, 0x70);
    EXPECT_EQ(LoadBannerDocument(
                  D, Path, [](const std::string&) { return true; },
                  MakeBannerFileConverter(TempPath("NoBack"), D.Image2)),
              50);
    EXPECT_TRUE(D.Image1.Empty());
    EXPECT_TRUE(SamePixels(D.extimage, External));
    EXPECT_TRUE(SamePixels(D.Extimage1, D.Image2));
    EXPECT_TRUE(SamePixels(D.extimage2, D.Image2));
    const std::string F = ReadAll(Path);
    EXPECT_EQ(F.substr(4 + sizeof(TBannerFileRecord), Damaged.size()), Damaged);

    // A stream cut short: what there is travels on, the missing pictures are
    // empty.
    SaveFileAtomic(Path, MakeV10(Image1, 0).substr(0, 4 + BannerRecordSizeV10 + 30));
    ConvertV10ToV30(Path, TempPath("NoBack"));
    ConvertV30ToV40(Path);
    ConvertV40ToV50(Path, TBitmap32());
    TBannerDocument E;
    ReadBannerDocument(E, ReadAll(Path));
    EXPECT_TRUE(E.Image1.Empty() && E.extimage.Empty());
}
