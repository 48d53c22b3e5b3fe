#include "banner/Templates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "banner/TemplateArt.h"
#include "platform/base/FileNames.h"

namespace fs = std::filesystem;

namespace {

int Count(const TBitmap32& B, TColor32 C) {
    int N = 0;
    for (int I = 0; I < B.Width() * B.Height(); ++I)
        N += B.Bits()[I] == C;
    return N;
}

class TemplateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = TempFolder() + "qm-templates-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        fs::remove_all(Folder);
        ASSERT_TRUE(ForceDirectories(Folder));
    }
    void TearDown() override { fs::remove_all(Folder); }

    // Opens template Index of Format in M, from the test folder.
    TTemplateModel& Open(int Format, int Index) {
        M.BackFolder = Folder;
        M.FillTemplateList(Format);
        M.ItemIndex = Index;
        M.listClick();
        return M;
    }

    std::string Folder;
    TTemplateModel M;
};

} // namespace

TEST(TemplateList, NamesPerFormat) {
    const auto B = TemplateNames(0);
    ASSERT_EQ(B.size(), 46u);
    EXPECT_EQ(B.front() + B.back(), "B1B46");
    EXPECT_EQ(TemplateNames(1).back() + TemplateNames(2).front(), "DB10GR1");
    EXPECT_EQ(TemplateNames(3).size(), 10u);
    EXPECT_TRUE(TemplateNames(4).empty());
    EXPECT_TRUE(TemplateNames(-1).empty());
    EXPECT_EQ(TemplateFileName(*TemplateFamily(1), 7), "hb-7.bmp");

    // The composition defaults 40 and 38 are customisable, 43 is not.
    EXPECT_TRUE(TemplateCustomizable(0, 40));
    EXPECT_TRUE(TemplateCustomizable(0, 38));
    EXPECT_FALSE(TemplateCustomizable(0, 43));
    EXPECT_TRUE(TemplateCustomizable(0, 5));
    EXPECT_FALSE(TemplateCustomizable(2, 5));
    EXPECT_FALSE(TemplateCustomizable(3, 6));
}

TEST(TemplateArt, StandardSizeAndKeyPixel) {
    for (int Format = 0; Format <= 3; ++Format) {
        const TTemplateFamily& F = *TemplateFamily(Format);
        for (int N = 1; N <= F.Count; ++N) {
            TBitmap32 B;
            DrawTemplateArt(B, Format, N);
            ASSERT_EQ(B.Width(), F.Width);
            ASSERT_EQ(B.Height(), F.Height);
            EXPECT_EQ(F.KeyX, F.Width - 1);
            EXPECT_EQ(F.KeyY, F.Height - 1);
            if (TemplateCustomizable(Format, N)) {
                // The key colour is a real background, not a lone pixel.
                EXPECT_EQ(B.ReadPixel(F.KeyX, F.KeyY), TemplateArtKeyColor(N));
                EXPECT_GT(Count(B, TemplateArtKeyColor(N)), F.Width * F.Height / 5);
                // Only the key pixels take the user's colour: a pattern
                // shaded towards the key would leave a ghost of the old
                // background once recoloured.
                int Ghosts = 0;
                const TColor32 Key = TemplateArtKeyColor(N);
                for (int I = 0; I < B.Width() * B.Height(); ++I) {
                    const TColor32 C = B.Bits()[I];
                    Ghosts += C != Key && std::abs(RedComponent(C) - RedComponent(Key)) < 24 &&
                              std::abs(GreenComponent(C) - GreenComponent(Key)) < 24 &&
                              std::abs(BlueComponent(C) - BlueComponent(Key)) < 24;
                }
                EXPECT_EQ(Ghosts, 0) << Format << " " << N;
            }
        }
    }
}

TEST_F(TemplateFolder, LoadsOwnFileAndHalfBannerPreview) {
    WriteTemplateFile(Folder, 1, 4);
    WriteTemplateFile(Folder, 2, 4);
    Open(2, 3);
    TBitmap32 Gr, Hb;
    DrawTemplateArt(Gr, 2, 4);
    DrawTemplateArt(Hb, 1, 4);
    ASSERT_EQ(M.tx.Width(), 300);
    ASSERT_EQ(M.shown.Width(), 234);
    EXPECT_TRUE(M.tx.Equals(&Gr)); // the BMP round trip keeps every pixel
    EXPECT_TRUE(M.shown.Equals(&Hb));
    EXPECT_EQ(M.cp1, ToWinColor(TemplateArtKeyColor(4)));
    EXPECT_TRUE(M.PanVisible);

    WriteTemplateFile(Folder, 1, 5);
    WriteTemplateFile(Folder, 2, 5);
    EXPECT_FALSE(Open(2, 4).PanVisible);
}

TEST_F(TemplateFolder, RecoloursExactlyTheKeyPixels) {
    WriteTemplateFile(Folder, 1, 2);
    WriteTemplateFile(Folder, 3, 2);
    Open(3, 1);
    TBitmap32 Before, ShownBefore;
    Before.Assign(&M.tx);
    ShownBefore.Assign(&M.shown);
    const TColor32 Key = TemplateArtKeyColor(2);
    ASSERT_EQ(Before.Width(), 728);
    ASSERT_GT(Count(ShownBefore, Key), 0);

    M.cp1 = clRed;
    M.cp1Change();
    const TColor32 Red = MakeColor32(255, 0, 0);
    for (int I = 0; I < Before.Width() * Before.Height(); ++I)
        ASSERT_EQ(M.tx.Bits()[I], Before.Bits()[I] == Key ? Red : Before.Bits()[I]) << I;
    for (int I = 0; I < ShownBefore.Width() * ShownBefore.Height(); ++I)
        ASSERT_EQ(M.shown.Bits()[I], ShownBefore.Bits()[I] == Key ? Red : ShownBefore.Bits()[I]);

    // The next change starts from the new colour and moves the same set.
    M.cp1 = clBlue;
    M.cp2Change();
    EXPECT_EQ(Count(M.tx, MakeColor32(0, 0, 255)), Count(Before, Key));
    EXPECT_EQ(Count(M.tx, Red), 0);

    // A colour already in the picture never takes its pixels along: the
    // picture is what the template and the key colour give when the banner
    // is opened again.
    const TColor32 Other = M.tx.ReadPixel(0, 0);
    ASSERT_NE(Other, MakeColor32(0, 0, 255));
    const int Others = Count(M.tx, Other);
    M.cp1 = ToWinColor(Other);
    M.cp1Change();
    M.cp1 = clLime;
    M.cp1Change();
    EXPECT_EQ(Count(M.tx, MakeColor32(0, 255, 0)), Count(Before, Key));
    EXPECT_EQ(Count(M.tx, Other), Others);

    // Restoring reloads the template's own colours.
    M.dxButton1Click();
    EXPECT_TRUE(M.tx.Equals(&Before));
}

TEST_F(TemplateFolder, MissingFilesLeaveThePictureEmpty) {
    // No preview file: nothing loads, shown and cp1 stay as they were.
    WriteTemplateFile(Folder, 2, 1);
    Open(2, 1);
    M.shown.SetDimensions(3, 3);
    M.cp1 = clYellow;
    M.ItemIndex = 0;
    M.listClick();
    EXPECT_TRUE(M.tx.Empty());
    EXPECT_EQ(M.shown.Width(), 3);
    EXPECT_EQ(M.cp1, clYellow);

    // Preview present, own file missing: shown loads, tx stays empty.
    WriteTemplateFile(Folder, 1, 3);
    M.ItemIndex = 2;
    M.listClick();
    EXPECT_EQ(M.shown.Width(), 234);
    EXPECT_TRUE(M.tx.Empty());
    EXPECT_EQ(M.cp1, clYellow);
    M.cp1Change(); // nothing to recolour, and no crash

    // An index outside the list, or no format, counts as missing.
    WriteTemplateFile(Folder, 0, 1);
    EXPECT_TRUE(Open(0, 46).tx.Empty());
    EXPECT_TRUE(Open(0, -1).tx.Empty());
    EXPECT_TRUE(Open(4, 0).tx.Empty());
}

TEST_F(TemplateFolder, DamagedOrSmallPicturesAreHarmless) {
    // A picture smaller than the format has no key pixel to read.
    TBitmap32 Small;
    Small.SetDimensions(10, 10);
    Small.ClearToColor(MakeColor32(1, 2, 3));
    SaveBitmap24(Small, Folder + "b-2.bmp");
    Open(0, 1);
    M.cp1 = clNavy;
    M.listClick();
    EXPECT_EQ(M.tx.Width(), 10);
    EXPECT_EQ(M.cp1, clNavy);
    M.cp1 = clRed;
    M.cp1Change();
    EXPECT_EQ(M.tx.ReadPixel(0, 0), MakeColor32(1, 2, 3));

    SaveFileAtomic(Folder + "b-3.bmp", "BM not a bitmap");
    EXPECT_TRUE(Open(0, 2).tx.Empty());
}

TEST_F(TemplateFolder, DocumentLoaderFillsTex) {
    WriteTemplateFile(Folder, 0, 40);
    auto Model = std::make_shared<TTemplateModel>();
    Model->BackFolder = Folder;
    TBannerDocument Doc;
    Doc.TemplateLoader = MakeTemplateLoader(Model);
    Doc.BannerFormat = bfStandard;
    Doc.SetUpComposition1(); // template 40
    ASSERT_EQ(Doc.Tex.Width(), 468);
    EXPECT_EQ(Doc.cp1, ToWinColor(TemplateArtKeyColor(40)));
    EXPECT_EQ(Model->list.size(), 46u);

    // Opening a document puts its stored key colour back on the picture.
    const int Keys = Count(Doc.Tex, TemplateArtKeyColor(40));
    Doc.cp1 = clRed;
    RecolorDocumentTemplate(Doc);
    EXPECT_EQ(Count(Doc.Tex, MakeColor32(255, 0, 0)), Keys);

    Doc.TemplateNumber = 5; // its file is missing
    Doc.LoadTemplate();
    EXPECT_TRUE(Doc.Tex.Empty());
}

TEST_F(TemplateFolder, ModifyCommandAcceptsOrRestores) {
    WriteTemplateFile(Folder, 0, 1);
    WriteTemplateFile(Folder, 0, 2);
    Open(0, 0);
    M.cp1 = clAqua;
    M.cp1Change();
    TBitmap32 Kept;
    Kept.Assign(&M.tx);

    M.BeginEdit();
    M.ItemIndex = 1;
    M.listClick();
    M.cp1 = clRed;
    M.cp1Change();
    M.CancelEdit();
    EXPECT_EQ(M.ItemIndex, 0);
    EXPECT_EQ(M.cp1, clAqua);
    EXPECT_TRUE(M.tx.Equals(&Kept));

    TBannerDocument Doc;
    Doc.Composition = ckOneText;
    M.BeginEdit();
    M.ItemIndex = 1;
    M.listClick();
    M.AcceptEdit(Doc);
    EXPECT_TRUE(Doc.Tex.Equals(&M.tx));
    EXPECT_EQ(Doc.TemplateNumber, 1);
    EXPECT_EQ(Doc.cp1, ToWinColor(TemplateArtKeyColor(2)));
    EXPECT_EQ(Doc.BackgroundKind, bgTemplate);
    EXPECT_TRUE(Doc.Modified);
}
