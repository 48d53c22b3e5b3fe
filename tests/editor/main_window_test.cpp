#include "editor/UMain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

#include "banner/RecentFiles.h"
#include "platform/base/FileNames.h"
#include "platform/forms/Application.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/Menus.h"
#include "platform/system/Registry.h"

namespace fs = std::filesystem;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        TRegistry().DeleteKey(RecentFilesKey);
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        InitForms();
        Main = TCustomForm::Create<TMainform>(Application);
    }
    void TearDown() override { DoneForms(); }

    std::string File(const std::string& Name) const { return (Dir / Name).string(); }
    void Choose(const std::string& Name) {
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {File(Name)}, 1});
    }
    void Key(Word K, TShiftState Shift) { Main->FormKeyDown(Main, K, Shift); }
    std::string Status(int I) { return Main->Statusbar->Panels()->Items(I)->Text(); }
    void NewBanner() {
        Main->NewCmd(nullptr);
        ASSERT_TRUE(Main->DesignPageVisible());
    }

    fs::path Dir = fs::path(::testing::TempDir()) / "qm_mainwindow";
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope{&Dialogs};
    TMainform* Main = nullptr;
    TRecordingShellService Shell;
    TShellServiceScope ShellScope{&Shell};
};

TEST_F(MainWindow, StartsOnTheStartPageWithDocumentCommandsOff) {
    EXPECT_EQ(Main->Caption(), "Quillomark Free 5.0");
    EXPECT_TRUE(Main->StartPageVisible());
    EXPECT_FALSE(Main->DesignPageVisible() || Main->PreviewPageVisible());
    EXPECT_FALSE(Main->Tbsave->Enabled());
    EXPECT_FALSE(Main->ExportBtn->Enabled() || Main->Previewanimbtn->Enabled());
    EXPECT_EQ(Status(0), "Pour obtenir de l'aide, appuyez sur 'F1'.");
    EXPECT_EQ(Status(1), "");
    EXPECT_EQ(Main->Doc.BannerWidth, 468);
    EXPECT_EQ(Main->Doc.BannerHeight, 60);
    EXPECT_EQ(Main->TextEffectCombo->ItemIndex(), 0);
    EXPECT_EQ(Main->opd->InitialDir, ApplicationFolder() + "Library");
    Main->ToolsMenuPopup();
    EXPECT_FALSE(Main->Resize1->Enabled());
    EXPECT_FALSE(Main->PreviewItem->Enabled() || Main->ExportItem->Enabled());
    EXPECT_EQ(Main->ExportItem->ShortCut(), scCtrl | 'E');
    EXPECT_FALSE(Main->RecentLab->Visible());
}

TEST_F(MainWindow, NewSaveCloseOpenAndExportRunOnTheDocument) {
    NewBanner();
    EXPECT_EQ(Status(0), "Composition 1:  (1 Texte)");
    EXPECT_EQ(Status(1), "( 468 x 60 )");
    EXPECT_EQ(Main->img32->Bitmap()->Width(), 468);
    EXPECT_FALSE(Main->Tbsave->Enabled()); // a fresh banner is not modified
    Main->ToolsMenuPopup();
    EXPECT_TRUE(Main->Resize1->Enabled() && Main->PreviewItem->Enabled());

    Main->RedrawBanner(); // what every edit runs
    EXPECT_TRUE(Main->Tbsave->Enabled());
    AddRecentFile("/ailleurs/autre.qmkf"); // saved by another copy of the program
    Main->FileMenuPopup();
    EXPECT_TRUE(Main->Sv->Enabled());
    EXPECT_TRUE(Main->MI[0]->Visible());
    EXPECT_EQ(Main->MI[0]->Caption(), "&1 autre.qmkf");

    Choose("banniere");
    Main->SaveCmd(nullptr);
    ASSERT_TRUE(fs::exists(File("banniere.qmkf")));
    EXPECT_FALSE(Main->Tbsave->Enabled());
    EXPECT_EQ(Main->Caption(), "Quillomark Free 5.0 - banniere.qmkf");

    Main->CloseCmd(nullptr);
    EXPECT_TRUE(Main->StartPageVisible());
    EXPECT_EQ(Main->Caption(), "Quillomark Free 5.0");
    EXPECT_TRUE(Main->fl1->Visible());
    EXPECT_EQ(Main->fl1->Caption(), "banniere.qmkf");
    EXPECT_EQ(Main->MIP[0]->Caption(), "&1 banniere.qmkf");

    Choose("banniere.qmkf");
    Main->OpenCmd(nullptr);
    ASSERT_TRUE(Main->DesignPageVisible());
    EXPECT_FALSE(Main->Tbsave->Enabled()); // opening is not an edit

    Choose("anim");
    Main->ExportCmd(nullptr);
    EXPECT_EQ(Dialogs.Calls.back().File.Title, "Exportation GIF");
    EXPECT_EQ(Dialogs.Calls.back().File.FileName, File("banniere"));
    std::ifstream Gif(File("anim.gif"), std::ios::binary);
    char Head[6] = {};
    Gif.read(Head, 6);
    EXPECT_EQ(std::string(Head, 6), "GIF89a");
}

TEST_F(MainWindow, SaveAsAsksBeforeReplacingAnotherBanner) {
    NewBanner();
    Choose("autre");
    Main->SaveAsCmd(nullptr);
    const std::string Other = File("autre.qmkf");
    std::ifstream In(Other, std::ios::binary);
    const std::string Saved((std::istreambuf_iterator<char>(In)), {});
    Main->CloseCmd(nullptr);

    NewBanner();
    Main->BrTop->SetChecked(true); // a banner of its own, modified
    Choose("autre");
    Dialogs.Answers.push_back(mrNo); // back to the dialog, then cancelled
    Dialogs.FileAnswers.push_back({});
    Main->SaveAsCmd(nullptr);
    EXPECT_EQ(Dialogs.Calls.at(Dialogs.Calls.size() - 2).Text,
              Other + " existe déjà.\nVoulez-vous le remplacer ?");
    std::ifstream Again(Other, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(Again)), {}), Saved);
    EXPECT_TRUE(Main->Tbsave->Enabled());
    EXPECT_EQ(Main->Caption(), "Quillomark Free 5.0 - sans_nom");
}

// A save that meets the file-size limit fails like one on a full disk: the
// program lives on, the earlier file stays whole and the banner modified.
TEST_F(MainWindow, ASaveOverTheFileSizeLimitFailsAndKeepsTheBanner) {
    auto ReadFileBytes = [](const std::string& Name) {
        std::string Bytes;
        EXPECT_TRUE(LoadFileBytes(Name, Bytes, 1 << 20));
        return Bytes;
    };
    NewBanner();
    Choose("limite");
    Main->SaveAsCmd(nullptr);
    const std::string Saved = ReadFileBytes(File("limite.qmkf"));
    ASSERT_GT(Saved.size(), 4096u);
    Main->BrTop->SetChecked(true);

    rlimit Was{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Was), 0);
    rlimit Small = Was;
    Small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
    EXPECT_THROW(Main->SaveCmd(nullptr), EFCreateError);
    setrlimit(RLIMIT_FSIZE, &Was);

    EXPECT_EQ(ReadFileBytes(File("limite.qmkf")), Saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), {}), 1); // no temporary left
    EXPECT_TRUE(Main->Tbsave->Enabled());
}

TEST_F(MainWindow, ADottedNameStillGetsTheDocumentAndGifExtensions) {
    Main->OnAskNewBanner = [](TNewBannerOptions& O) {
        O.Name = "Soldes.2027";
        return true;
    };
    NewBanner();
    // Before the first save the export proposes the banner's name whole.
    Dialogs.FileAnswers.push_back(TFileDialogAnswer{}); // cancelled
    Main->ExportCmd(nullptr);
    EXPECT_EQ(Dialogs.Calls.back().File.FileName, "Soldes.2027");
    Choose("Soldes.2027"); // the name the save dialog proposes
    Main->SaveCmd(nullptr);
    EXPECT_TRUE(fs::exists(File("Soldes.2027.qmkf"))); // listed by the open dialog
    EXPECT_EQ(Main->Caption(), "Quillomark Free 5.0 - Soldes.2027.qmkf");
    Choose("Soldes.2027"); // the export's own proposal
    Main->ExportCmd(nullptr);
    EXPECT_EQ(Dialogs.Calls.back().File.FileName, File("Soldes.2027"));
    EXPECT_TRUE(fs::exists(File("Soldes.2027.gif")));
}

// A banner never saved has no folder: its next export opens where the last
// file went, as the system's dialogs do, not in the program's folder.
TEST_F(MainWindow, ExportingAgainOpensTheDialogWhereTheLastFileWent) {
    NewBanner();
    Choose("premier");
    Main->ExportCmd(nullptr);
    ASSERT_TRUE(fs::exists(File("premier.gif")));
    Dialogs.FileAnswers.push_back(TFileDialogAnswer{}); // cancelled
    Main->ExportCmd(nullptr);
    EXPECT_EQ(Dialogs.Calls.back().File.FileName, "sans_nom");
    EXPECT_EQ(Dialogs.Calls.back().File.InitialDir, Dir.string());
}

// The recent files' drop-down opens on the press of the arrow, and the
// pop-up takes the release: the next click on the bar still reaches the
// button it is on, and the arrow's button loses its hover look.
TEST_F(MainWindow, ClosingTheRecentFilesDropDownLeavesTheToolBarAsItWas) {
    int Asked = 0;
    Main->OnAskNewBanner = [&](TNewBannerOptions&) {
        ++Asked;
        return false;
    };
    auto At = [](const TControl* C, int X) {
        return PointToLParam(TPoint{C->Left() + X, C->Top() + C->Height() / 2});
    };
    TToolBar* Bar = Main->ToolBar1;
    Bar->Perform(WM_MOUSEMOVE, 0, At(Main->Tbopen, Main->Tbopen->Width() - 5));
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(Main->Tbopen, Main->Tbopen->Width() - 5));
    CloseNativeMenus(); // Escape
    EXPECT_FALSE(Main->Tbopen->MouseInControl());
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(Main->Tbnew, 5));
    Bar->Perform(WM_LBUTTONUP, 0, At(Main->Tbnew, 5));
    EXPECT_EQ(Asked, 1);
}

// The pages other than the first are hidden when the window lays itself
// out: their controls must still come out centred on the page, not off it.
TEST_F(MainWindow, EveryPageCentresItsControls) {
    NewBanner();
    for (auto [Outer, Inner] :
         {std::pair{Main->pnltexts, Main->pantext}, std::pair{Main->pbanim, Main->Pananim},
          std::pair{Main->pnlimages, Main->panimage}}) {
        SCOPED_TRACE(Inner->Name());
        EXPECT_EQ(Outer->Width(), Main->pnltexts->Width());
        EXPECT_EQ(Outer->Height(), Main->pnltexts->Height());
        EXPECT_GE(Inner->Left(), 0);
        EXPECT_GE(Inner->Top(), 0);
    }
}

TEST_F(MainWindow, CancelledQuestionsKeepTheBannerAndTheWindow) {
    NewBanner();
    Main->RedrawBanner();
    Dialogs.Answers.push_back(mrCancel);
    Main->CloseCmd(nullptr);
    EXPECT_TRUE(Main->DesignPageVisible());
    EXPECT_EQ(Dialogs.Calls.back().Text, AskSaveChangesQuestion);

    bool CanClose = true;
    Dialogs.Answers.push_back(mrCancel);
    Main->FormCloseQuery(Main, CanClose);
    EXPECT_FALSE(CanClose);

    Dialogs.Answers.push_back(mrNo);
    Main->NewCmd(nullptr); // the new banner replaces the unsaved one
    EXPECT_FALSE(Main->Tbsave->Enabled());

    Main->OnAskNewBanner = [](TNewBannerOptions&) { return false; };
    Main->RedrawBanner();
    const std::size_t Asked = Dialogs.Calls.size();
    Main->NewCmd(nullptr);
    EXPECT_TRUE(Main->Tbsave->Enabled());   // the dialog was cancelled
    EXPECT_EQ(Dialogs.Calls.size(), Asked); // and nothing was asked
}

TEST_F(MainWindow, ShortcutsNeedExactlyCtrlAndFunctionKeysIgnoreModifiers) {
    // No help guide beside this test program: the user is told so.
    Key(VK_F1, {ssShift});
    EXPECT_TRUE(Shell.Opened.empty());
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_NE(Dialogs.Calls[0].Text.find("Le fichier d'aide est introuvable"), std::string::npos);
    Dialogs.Calls.clear();

    Key('N', {ssCtrl, ssShift});
    Key('N', {ssAlt});
    EXPECT_TRUE(Main->StartPageVisible());
    Key('N', {ssCtrl});
    ASSERT_TRUE(Main->DesignPageVisible());

    Main->RedrawBanner();
    Key('S', {ssCtrl, ssShift});
    EXPECT_TRUE(Dialogs.Calls.empty());
    Choose("raccourci");
    Key('S', {ssCtrl});
    EXPECT_TRUE(fs::exists(File("raccourci.qmkf")));

    Key(VK_F1 + 6, {ssCtrl}); // F7
    EXPECT_TRUE(Main->PreviewPageVisible());
    Main->ToolsMenuPopup();
    EXPECT_FALSE(Main->Resize1->Enabled() || Main->PreviewItem->Enabled());
    Main->CloseprvbtnClick(nullptr);
    EXPECT_TRUE(Main->DesignPageVisible());
    EXPECT_TRUE(Main->Timer1->Enabled() && Main->Timer2->Enabled());
    EXPECT_EQ(Status(1), "( 468 x 60 )");
}

// A control that goes out of sight does not keep the keyboard (on the
// preview page Space would click the design page's hidden "Modifier"), and
// Tab then starts from the top of the page shown.
TEST_F(MainWindow, KeyboardLeavesHiddenControlsAndTabFollowsThePage) {
    NewBanner();
    Main->Button3->SetFocus();
    Main->PreviewCmd(nullptr);
    ASSERT_TRUE(Main->PreviewPageVisible());
    EXPECT_EQ(FindFocusedControl(), Main);
    EXPECT_EQ(Main->ActiveControl(), nullptr);
    Main->Perform(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(FindFocusedControl(), Main->prvexportbtn);
    Main->CloseprvbtnClick(nullptr);
    Main->Perform(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(FindFocusedControl(), Main->ExportBtn);
}

TEST_F(MainWindow, SidePanelsCollapseAndTheViewMenuFollows) {
    Main->TogglePanel(Main->Headbacklab);
    Main->TogglePanel(Main->O3 /* any part of the help heading */);
    EXPECT_EQ(Main->panelback->Height(), 16);
    EXPECT_TRUE(Main->O1->Visible() && !Main->C1->Visible());
    EXPECT_EQ(Main->Pnlhelp->Height(), 19);
    EXPECT_EQ(Main->pnlbord->Height(), 109);
    Main->ViewMenuPopup();
    EXPECT_FALSE(Main->BackPanelItem->Checked());
    EXPECT_TRUE(Main->BordPanelItem->Checked());
    Main->BackPanelItem->Click();
    EXPECT_EQ(Main->panelback->Height(), 227);

    Main->ItemsPanelArrowClick(Main->Image3);
    Main->ItemsPanelArrowClick(Main->Image5);
    Main->ItemsPanelArrowClick(Main->Image3);
    EXPECT_EQ(Main->Image3->Tag(), 2);
    EXPECT_FALSE(Main->panelitems->Visible());
}

TEST(MainWindowGradient, HeadingRowsRunFromTheLightColourToTheTarget) {
    // 20 rows: 19 rows towards white, then one row back from the target.
    EXPECT_EQ(TMainform::HeaderGradientRow(0, 20, clWhite), MakeColor32(185, 255, 220));
    EXPECT_EQ(TMainform::HeaderGradientRow(10, 20, clWhite), MakeColor32(222, 255, 238));
    EXPECT_EQ(TMainform::HeaderGradientRow(19, 20, clWhite), MakeColor32(255, 255, 255));
    // Short bitmaps have no tail rows to divide by zero over.
    for (int H = 1; H <= 12; ++H)
        for (int D = 0; D < H; ++D)
            EXPECT_EQ(TMainform::HeaderGradientRow(D, H, clBlack) >> 24, 255u);
}

} // namespace
