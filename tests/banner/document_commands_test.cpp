#include "banner/DocumentCommands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "banner/BannerDocument.h"
#include "banner/BannerLimits.h"
#include "banner/RecentFiles.h"
#include "platform/base/FileNames.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/system/Registry.h"

namespace fs = std::filesystem;

namespace {

class DocumentCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TRegistry().DeleteKey(RecentFilesKey);
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Doc.NewBanner(TNewBannerOptions{});
        Doc.Modified = true;
    }
    std::string File(const std::string& Name) const { return (Dir / Name).string(); }
    void Choose(const std::string& Name) {
        Dialogs.FileAnswers.push_back(Name.empty() ? TFileDialogAnswer{}
                                                   : TFileDialogAnswer{true, {File(Name)}, 1});
    }
    // A banner of width W saved by another document.
    std::string MakeBanner(const std::string& Name, int W) {
        TBannerDocument Other;
        Other.NewBanner(TNewBannerOptions{"x", 0, W, 60, 4});
        SaveBannerDocument(Other, File(Name));
        return File(Name);
    }
    std::string Text(std::size_t K) const { return Dialogs.Calls.at(K).Text; }

    fs::path Dir = fs::path(::testing::TempDir()) / "qm_saveopen";
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope{&Dialogs};
    TBannerDocument Doc;
    TDocumentCommands Cmd{Doc};
};

TEST_F(DocumentCommandsTest, SaveAsksNameOnceSaveAsAlwaysEachSaveTold) {
    int Saves = 0;
    Cmd.OnSaved = [&] { ++Saves; };
    Choose("premier");
    ASSERT_TRUE(Cmd.Save());
    EXPECT_EQ(Dialogs.Calls[0].File.Filter, "Fichier Quillomark (*.qmkf)|*.qmkf");
    EXPECT_TRUE(FileExists(File("premier.qmkf")));
    EXPECT_TRUE(Doc.SavedBefore && !Doc.Modified);
    EXPECT_EQ(Doc.Caption(), "Quillomark Free 5.0 - premier.qmkf");
    ASSERT_TRUE(Cmd.Save()); // no dialog now
    EXPECT_EQ(Dialogs.Calls.size(), 1u);
    Choose("second.qmkf");
    ASSERT_TRUE(Cmd.SaveAs());
    EXPECT_EQ(Dialogs.Calls[1].File.FileName, File("premier.qmkf"));
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{File("second.qmkf"), File("premier.qmkf")}));
    EXPECT_EQ(Saves, 3);
}

TEST_F(DocumentCommandsTest, CancelledOrFailedSaveChangesNothing) {
    Choose("");
    EXPECT_FALSE(Cmd.Save());
    Choose("absent/x.qmkf");
    EXPECT_THROW(Cmd.Save(), Exception);
    EXPECT_TRUE(Doc.Modified && !Doc.SavedBefore);
    EXPECT_EQ(Doc.FileName, "sans_nom");
    EXPECT_EQ(ReadRecentFiles()[0], "");
}

TEST_F(DocumentCommandsTest, AskSaveChangesAnswers) {
    bool Abort = false;
    Dialogs.Answers = {mrNo, mrCancel, mrYes};
    Cmd.AskSaveChanges(Abort);
    EXPECT_FALSE(Abort);
    EXPECT_EQ(Text(0), "La bannière n'a pas été enregistrée. Voulez-vous l'enregistrer ?");
    EXPECT_EQ(Dialogs.Calls[0].DlgType, mtWarning);
    EXPECT_EQ(Dialogs.Calls[0].Buttons, mbYesNoCancel);
    Cmd.AskSaveChanges(Abort);
    EXPECT_TRUE(Abort);
    // Yes, then the save dialog cancelled: the changes are kept, the asking
    // command stops.
    Choose("");
    Cmd.AskSaveChanges(Abort);
    EXPECT_TRUE(Abort && Doc.Modified);
    Dialogs.Answers = {mrYes};
    Choose("oui.qmkf");
    Cmd.AskSaveChanges(Abort);
    EXPECT_FALSE(Abort || Doc.Modified);
    Cmd.AskSaveChanges(Abort); // not modified: no prompt
    EXPECT_EQ(Dialogs.Calls.size(), 6u);
}

TEST_F(DocumentCommandsTest, OpenRecentSlotAndMissingFile) {
    const std::string A = MakeBanner("a.qmkf", 300);
    for (const std::string N : {"/x/4", A.c_str(), "/x/2", "/x/1"})
        AddRecentFile(N);
    Dialogs.Answers = {mrNo};
    EXPECT_EQ(Cmd.OpenRecent(2), TOpenResult::Opened);
    EXPECT_EQ(Doc.BannerWidth, 300);
    EXPECT_EQ(Doc.FileName, A);
    EXPECT_TRUE(Doc.SavedBefore && !Doc.Modified);
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{A, "/x/1", "/x/2", "/x/4"}));

    EXPECT_EQ(Cmd.OpenRecent(3), TOpenResult::Missing);
    EXPECT_EQ(Text(1), "Le fichier n'existe pas.");
    EXPECT_EQ(Dialogs.Calls[1].DlgType, mtInformation);
    EXPECT_EQ(Doc.FileName, A);
    EXPECT_EQ(ReadRecentFiles()[3], "/x/4");
}

TEST_F(DocumentCommandsTest, OldOrUnknownVersionKeepsBannerUnlessConverted) {
    auto WriteVersion = [&](const std::string& Name, std::int32_t V) {
        SaveFileAtomic(File(Name), std::string(reinterpret_cast<const char*>(&V), 4) + '\1');
    };
    const std::string Converted = MakeBanner("c.qmkf", 250);
    Cmd.Converter = [&](const std::string& Name, int) {
        fs::copy_file(Converted, Name, fs::copy_options::overwrite_existing);
    };
    Doc.Modified = false;
    Doc.Image1.SetDimensions(5, 4);
    WriteVersion("v40.qmkf", 40);
    WriteVersion("v60.qmkf", 60);
    Dialogs.Answers = {mrCancel};
    Choose("v40.qmkf");
    EXPECT_EQ(Cmd.OpenWithDialog(), TOpenResult::NotOpened);
    EXPECT_EQ(Dialogs.Calls[0].File.Title, "Ouvrir");
    EXPECT_EQ(Text(1), OldBannerFormatQuestion);
    EXPECT_EQ(Dialogs.Calls[1].Buttons, mbOKCancel);
    EXPECT_EQ(Cmd.OpenCommandLine(File("v60.qmkf")), TOpenResult::NotOpened);
    EXPECT_EQ(Text(2), "Format de fichier non supporté par cette version (utilisez une version "
                       "plus récente de Quillomark Free).");
    EXPECT_EQ(Doc.FileName, "sans_nom");
    EXPECT_EQ(Doc.Image1.Width(), 5);
    EXPECT_EQ(ReadRecentFiles()[0], "");

    // A cut file: its reading error says which file is damaged, and how.
    std::string Cut;
    ASSERT_TRUE(LoadFileBytes(Converted, Cut, 1 << 20));
    SaveFileAtomic(File("cut.qmkf"), Cut.substr(0, 3000));
    try {
        Cmd.OpenCommandLine(File("cut.qmkf"));
        ADD_FAILURE() << "a cut file opened";
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(),
                  std::string("Le fichier \"cut.qmkf\" est endommagé : ") + CutDocumentReason);
    }
    EXPECT_EQ(Doc.FileName, "sans_nom");

    Dialogs.Answers = {mrOk};
    EXPECT_EQ(Cmd.OpenCommandLine(File("v40.qmkf")), TOpenResult::Opened);
    EXPECT_EQ(Doc.BannerWidth, 250);
    EXPECT_EQ(ReadRecentFiles()[0], File("v40.qmkf"));
}

TEST_F(DocumentCommandsTest, CloseAsksUnlessToldNotTo) {
    Doc.ExtImageFileName = "/x/fond.png";
    Doc.extimage.SetDimensions(4, 4);
    Dialogs.Answers = {mrCancel, mrNo};
    EXPECT_FALSE(Cmd.Close());
    EXPECT_NE(Doc.Composition, ckNone);
    EXPECT_TRUE(Cmd.Close());
    EXPECT_EQ(Doc.Composition, ckNone);
    EXPECT_TRUE(Doc.ExtImageFileName.empty() && Doc.extimage.Empty() && !Doc.Modified);
    Doc.NewBanner(TNewBannerOptions{});
    Doc.Modified = true;
    EXPECT_TRUE(Cmd.Close(false));
    EXPECT_EQ(Dialogs.Calls.size(), 2u);
}

} // namespace

namespace {

std::string FileBytes(const std::string& Path) {
    std::string B;
    EXPECT_TRUE(LoadFileBytes(Path, B, 1 << 30));
    return B;
}

void Fill4(TBannerDocument& D) {
    for (TBitmap32* B : {&D.Image1, &D.extimage, &D.Extimage1, &D.extimage2}) {
        B->SetDimensions(3, 2);
        B->ClearToColor(0xFF102030u);
    }
}

} // namespace

// What the user keeps when a file is protected, linked or holds a size the
// editor cannot draw, and what opening one banner after another carries over.
TEST_F(DocumentCommandsTest, ProtectedLinkedAndUndrawableFilesLoseNothing) {
    // A read-only document is refused with a French message, left intact.
    const std::string Locked = MakeBanner("locked.qmkf", 300);
    const std::string Before = FileBytes(Locked);
    fs::permissions(Locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Choose("locked.qmkf");
    Dialogs.Answers.push_back(mrYes); // replace it
    EXPECT_FALSE(Cmd.SaveAs());
    EXPECT_EQ(Text(2), "Le fichier \"locked.qmkf\" est en lecture seule : la bannière n'a pas été "
                       "enregistrée. Enregistrez-la sous un autre nom.");
    EXPECT_EQ(Dialogs.Calls[2].DlgType, mtWarning);
    EXPECT_EQ(FileBytes(Locked), Before);
    EXPECT_TRUE(Doc.Modified);
    EXPECT_EQ(ReadRecentFiles()[0], "");

    // Saving through a link writes the file it names; the link stays a link.
    const std::string Real = MakeBanner("real.qmkf", 300);
    fs::create_directories(Dir / "links");
    fs::create_symlink("../real.qmkf", Dir / "links" / "link.qmkf");
    Choose("links/link.qmkf");
    Dialogs.Answers.push_back(mrYes);
    ASSERT_TRUE(Cmd.SaveAs());
    EXPECT_TRUE(fs::is_symlink(Dir / "links" / "link.qmkf"));
    EXPECT_EQ(FileBytes(Real), BannerDocumentBytes(Doc));

    // Opening B after A: B's pictures only, an absent one is empty. A banner
    // size the renderer cannot draw is refused before anything changes.
    Fill4(Doc);
    Doc.Modified = false;
    const std::string Plain = MakeBanner("plain.qmkf", 200); // no pictures in its slots
    TBannerDocument Huge;
    Huge.NewBanner(TNewBannerOptions{"x", 0, 300, 60, 4});
    Huge.BannerWidth = 2000000000;
    Huge.BannerHeight = -5;
    SaveBannerDocument(Huge, File("huge.qmkf"));
    const std::size_t Calls = Dialogs.Calls.size();
    EXPECT_EQ(Cmd.OpenCommandLine(File("huge.qmkf")), TOpenResult::NotOpened);
    EXPECT_EQ(Text(Calls), BannerSizeRefusedText);
    EXPECT_EQ(Doc.FileName, File("links/link.qmkf"));
    EXPECT_EQ(Doc.BannerWidth, 468);
    EXPECT_FALSE(Doc.extimage.Empty() || Doc.Image1.Empty());
    EXPECT_EQ(ReadRecentFiles()[0], File("links/link.qmkf"));

    EXPECT_EQ(Cmd.OpenCommandLine(Plain), TOpenResult::Opened);
    EXPECT_EQ(Doc.BannerWidth, 200);
    EXPECT_TRUE(Doc.extimage.Empty() && Doc.Image1.Empty());
    Doc.Modified = true;
    Choose("plain-again.qmkf");
    ASSERT_TRUE(Cmd.SaveAs());
    EXPECT_EQ(FileBytes(File("plain-again.qmkf")), FileBytes(Plain));
}
