#include "editor/Program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include <sys/stat.h>

#include "banner/BannerLimits.h"
#include "banner/DocumentConverters.h"
#include "banner/DocumentFile.h"
#include "controls/FormStorage.h"
#include "editor/ShellLinks.h"
#include "editor/UAbout.h"
#include "editor/ULoadImage.h"
#include "editor/UMain.h"
#include "editor/UNewBanner.h"
#include "editor/UResize.h"
#include "platform/base/FileNames.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/forms/Application.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/Dialogs.h"
#include "platform/graphics/Graphic.h"
#include "platform/system/Registry.h"

namespace fs = std::filesystem;

namespace {

std::vector<bool> Flags;

struct TSeen {
    bool Design = false, Start = false, Head = false, Sample = false, Windows = false;
};

TSeen StartProgram(const std::vector<std::string>& Args) {
    TSeen Seen;
    TProgramOptions Options;
    Options.Args = Args;
    Options.OnRunning = [&Seen](TMainform& Main) {
        Seen.Design = Main.DesignPageVisible();
        Seen.Start = Main.StartPageVisible();
        Seen.Head = Main.HeadPanel->Visible();
        Seen.Sample = Main.SampleTimer->Enabled();
        Seen.Windows = resizeform && AboutBox && Loadform && bbform && Examplesform && NewForm &&
                       Main.OnAskNewBanner && Main.OnResizeBanner;
    };
    EXPECT_EQ(ProgramMain(Options), 0);
    return Seen;
}

TEST(Startup, FirstRunFlagIsPassedOnceAndTheCommandLineOpens) {
    StartingObserver = [](bool Flag) { Flags.push_back(Flag); };
    {
        TRegistry Reg;
        Reg.SetRootKey(HKEY_LOCAL_MACHINE);
        Reg.DeleteKey("\\Software\\QuillomarkFree");
    }
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);

    TSeen First = StartProgram({});
    EXPECT_TRUE(First.Start && First.Head && First.Sample && First.Windows);
    EXPECT_EQ(NewForm, nullptr); // freed with the application
    EXPECT_FALSE(First.Design);
    {
        TRegIniFile Reg("");
        Reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(Reg.OpenKey("\\Software\\QuillomarkFree", false));
        EXPECT_EQ(Reg.ReadString("v503", "FI", "?"), "0");
    }

    const fs::path Missing = fs::path(::testing::TempDir()) / "qm_absent.qmkf";
    fs::remove(Missing);
    TSeen Absent = StartProgram({Missing.string()});
    EXPECT_TRUE(Absent.Start);
    EXPECT_FALSE(Absent.Sample);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text, "Le fichier n'existe pas.");

    const fs::path Present = fs::path(::testing::TempDir()) / "qm_present.qmkf";
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    SaveBannerDocument(Doc, Present.string());
    TSeen Opened = StartProgram({Present.string()});
    EXPECT_TRUE(Opened.Design);
    EXPECT_FALSE(Opened.Sample);

    // A damaged document named on the command line is reported before the
    // message loop runs, and the program goes on with its start page.
    const fs::path Damaged = fs::path(::testing::TempDir()) / "qm_damaged.qmkf";
    fs::copy_file(Present, Damaged, fs::copy_options::overwrite_existing);
    fs::resize_file(Damaged, 3000);
    TSeen Cut = StartProgram({Damaged.string()});
    EXPECT_TRUE(Cut.Start);
    EXPECT_FALSE(Cut.Design);
    ASSERT_EQ(Dialogs.Calls.size(), 2u);
    EXPECT_EQ(Dialogs.Calls[1].Kind, "MessageBox");

    EXPECT_EQ(Flags, (std::vector<bool>{true, false, false, false}));
    StartingObserver = nullptr;
}

// A document named relative to the folder the program was started in is
// remembered under its full name: the recent-files list opens it from a
// program started anywhere else.
TEST(Startup, ARelativeCommandLineNameOpensAgainFromTheRecentFiles) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    const fs::path Folder = fs::path(::testing::TempDir()) / "qm_relative";
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    SaveBannerDocument(Doc, (Folder / "bannière à l'essai.qmkf").string());
    const fs::path Started = fs::current_path();
    fs::current_path(Folder);
    EXPECT_TRUE(StartProgram({"bannière à l'essai.qmkf"}).Design);
    fs::current_path(Started);

    TProgramOptions Options;
    bool Opened = false;
    Options.OnRunning = [&](TMainform& Main) {
        Main.OpenRecentCmd(Main.MI[0]);
        Opened = Main.DesignPageVisible();
    };
    EXPECT_EQ(ProgramMain(Options), 0);
    EXPECT_TRUE(Opened);
    EXPECT_TRUE(Dialogs.Calls.empty()) << Dialogs.Calls.front().Text;
}

// An empty document (what a failed copy leaves) is told damaged, not sent to
// look for a newer version of the program; a huge one is told too large.
TEST(Startup, AnEmptyOrHugeDocumentIsToldWhy) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    const fs::path Empty = fs::path(::testing::TempDir()) / "qm_vide.qmkf";
    SaveFileAtomic(Empty.string(), "");
    EXPECT_TRUE(StartProgram({Empty.string()}).Start);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text,
              std::string("Le fichier \"qm_vide.qmkf\" est endommagé : ") + EmptyDocumentReason);

    // So is an old document cut after its version: nothing to convert, and
    // the file is left as it is.
    const fs::path Cut = fs::path(::testing::TempDir()) / "qm_coupee.qmkf";
    const std::int32_t Ten = 10;
    SaveFileAtomic(Cut.string(), std::string(reinterpret_cast<const char*>(&Ten), 4));
    Dialogs.Calls.clear();
    EXPECT_TRUE(StartProgram({Cut.string()}).Start);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text,
              std::string("Le fichier \"qm_coupee.qmkf\" est endommagé : ") + EmptyDocumentReason);
    EXPECT_EQ(fs::file_size(Cut), 4u);

    // A document too large to read says so (shown in French, as every
    // platform error).
    const fs::path Huge = fs::path(::testing::TempDir()) / "qm_enorme.qmkf";
    fs::remove(Huge);
    SaveFileAtomic(Huge.string(), "");
    fs::resize_file(Huge, MaxBannerFileSize + 1); // sparse: no disk used
    EXPECT_TRUE(StartProgram({Huge.string()}).Start);
    fs::remove(Huge);
    ASSERT_EQ(Dialogs.Calls.size(), 2u);
    EXPECT_EQ(Dialogs.Calls[1].Text, "Cannot open file \"" + Huge.string() + "\". File too large.");
}

// An old document whose text lines cannot be drawn (a colour line left
// empty) is refused as damaged before the user is asked to convert it: its
// file stays as it was, and the open banner stays whole on screen and under
// its own name, so saving it cannot write the damaged one over it.
TEST(Startup, ADamagedOldDocumentLeavesTheOpenBannerAsItWas) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    const fs::path Good = fs::path(::testing::TempDir()) / "qm_bonne.qmkf";
    const fs::path Old = fs::path(::testing::TempDir()) / "qm_ancienne.qmkf";
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"bonne", 0, 728, 90, 3});
    SaveBannerDocument(Doc, Good.string());
    TBannerFileRecord R = MakeBannerFileRecord(Doc);
    R.Text0Color.Set("");
    std::string Bytes(4 + BannerRecordSizeV40, '\0');
    const std::int32_t Version = 40, Height = 60, Width = 468;
    std::memcpy(Bytes.data(), &Version, 4);
    std::memcpy(Bytes.data() + 4, &R, BannerRecordSharedSize);
    std::memcpy(Bytes.data() + 4 + 4696, &Height, 4);
    std::memcpy(Bytes.data() + 4 + 4700, &Width, 4);
    std::memcpy(Bytes.data() + 4 + 4417, &R.TemplateKeyColor, sizeof(TShortString));
    SaveFileAtomic(Old.string(), Bytes);

    TProgramOptions Options;
    Options.Args = {Good.string()};
    Options.OnRunning = [&](TMainform& Main) {
        ASSERT_TRUE(Main.DesignPageVisible());
        Dialogs.FileAnswers.push_back({true, {Old.string()}, 1});
        EXPECT_THROW(Main.OpenCmd(nullptr), EConvertError);
        std::string After;
        ASSERT_TRUE(LoadFileBytes(Old.string(), After, 1 << 20));
        EXPECT_EQ(After, Bytes);
        EXPECT_EQ(Main.Caption(), "Quillomark Free 5.0 - qm_bonne.qmkf");
        EXPECT_EQ(Main.Doc.tlv, Doc.tlv);
        EXPECT_EQ(Main.Doc.BackgroundKind, Doc.BackgroundKind);
        EXPECT_EQ(Main.img32->Bitmap()->Width(), 728);
        EXPECT_FALSE(Main.Tbsave->Enabled());
    };
    EXPECT_EQ(ProgramMain(Options), 0);
}

// Runs Step at the next idle moment of a modal window, once.
void WhenIdle(std::function<void()> Step) {
    Application->OnIdle = [Step = std::move(Step)](TObject*, bool&) {
        const std::function<void()> Run = Step; // clearing OnIdle frees this closure
        Application->OnIdle = nullptr;
        Run();
    };
}

// What a user depends on, seen through the program's own start-up: the
// pictures the readers open, the templates, the dialogs' size checks, the
// help guide and the system components.
TEST(Startup, TheRunningProgramHasEveryModuleStarted) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    TRecordingShellService Shell;
    TShellServiceScope ShellScope(&Shell);
    TProgramOptions Options;
    bool Ran = false;
    Options.OnRunning = [&](TMainform& Main) {
        Ran = true;
        std::set<std::string> Extensions;
        for (const TFileFormat& F : TPicture::FileFormats())
            Extensions.insert(F.Extension);
        for (const char* E : {"png", "gif", "jpg", "jpeg", "bmp", "ico", "tif", "tiff",
                              "tga", "pcx", "psd", "psp",  "ppm", "pgm", "pbm", "sgi",
                              "rgb", "pcd", "cut", "rla",  "pic", "eps", "emf", "wmf"}) {
            EXPECT_TRUE(Extensions.count(E)) << E;
            EXPECT_NE(Loadform->opd->Filter.find(std::string("*.") + E), std::string::npos) << E;
        }
        EXPECT_EQ(Extensions.size(), 40u); // the readers' 39 and GIF

        // A PNG and a GIF load into the picture of an image element.
        for (const char* File : {"png/rgb8.png", "gif/still.gif"}) {
            Dialogs.FileAnswers.push_back({true, {std::string(QM_TEST_DATA_DIR "/") + File}, 1});
            Loadform->Im->Bitmap()->Delete();
            Loadform->Button1Click(nullptr);
            EXPECT_FALSE(Loadform->Im->Bitmap()->Empty()) << File;
        }
        EXPECT_TRUE(Dialogs.Calls.size() == 2u) << Dialogs.Calls.back().Text;

        // The new-banner dialog refuses a size the renderer cannot draw and
        // a size field left blank (no one-pixel banner nobody saw), then
        // makes a standard banner on its background template.
        const std::size_t BeforeNew = Dialogs.Calls.size();
        WhenIdle([&] {
            NewForm->formatcombo->SetItemIndex(CustomFormatRow);
            NewForm->formatcomboChange(nullptr);
            NewForm->bannerwidth->SetValue(99999999);
            NewForm->Okbtn->Click();
            WhenIdle([&] {
                NewForm->bannerwidth->SetValue(300);
                NewForm->bannerheight->SetText(" ");
                NewForm->Okbtn->Click();
                WhenIdle([&] {
                    EXPECT_TRUE(NewForm->Visible());
                    NewForm->formatcombo->SetItemIndex(0);
                    NewForm->formatcomboChange(nullptr);
                    NewForm->Okbtn->Click();
                });
            });
        });
        Main.NewCmd(nullptr);
        ASSERT_TRUE(Main.DesignPageVisible());
        ASSERT_EQ(Dialogs.Calls.size(), BeforeNew + 2);
        EXPECT_EQ(Dialogs.Calls.back().Text, BannerSizeRefusedText);
        EXPECT_EQ(Main.Doc.BannerHeight, 60);
        EXPECT_EQ(Main.Doc.BannerWidth, 468);
        EXPECT_EQ(Main.Doc.FileName, "sans_nom"); // what the save dialog proposes
        EXPECT_FALSE(Main.Doc.Tex.Empty());
        const TColor32 Corner = Main.img32->Bitmap()->ReadPixel(2, 2);
        EXPECT_NE(Corner & 0xFFFFFF, 0xFFFFFFu) << "a white background: no template";

        // The size dialog never previews nor keeps a size it cannot draw,
        // nor a text that is no number (which the field reads as 1).
        const std::size_t Before = Dialogs.Calls.size();
        WhenIdle([&] {
            resizeform->bannerwidth->SetText("99999999999999999999");
            resizeform->bannerheight->SetText("-");
            resizeform->Okbtn->Click();
            WhenIdle([&] {
                resizeform->bannerwidth->SetText("99999999");
                EXPECT_EQ(Main.Doc.BannerWidth, 468);
                resizeform->Cancelbtn->Click();
            });
        });
        Main.OnResizeBanner();
        ASSERT_EQ(Dialogs.Calls.size(), Before + 1);
        EXPECT_EQ(Dialogs.Calls.back().Text, BannerSizeRefusedText);
        EXPECT_EQ(Main.Doc.BannerWidth, 468);
        EXPECT_EQ(Main.Doc.BannerHeight, 60);
        EXPECT_EQ(Main.img32->Bitmap()->Width(), 468);

        // The help guide ships beside the program and opens with the desktop.
        Word F1 = VK_F1;
        Main.FormKeyDown(&Main, F1, {});
        EXPECT_EQ(Shell.Opened, std::vector<std::string>{HelpFilePath()});
        EXPECT_TRUE(fs::is_regular_file(HelpFilePath()));

        EXPECT_NE(GetClass("TSysColorPicker"), nullptr);
        ASSERT_NE(Main.cop, nullptr); // the main window's screen colour picker ticks
        EXPECT_TRUE(Main.cop->Enabled() && Main.cop->OnTimer() && Main.cop->Interval() == 100);
        Dialogs.Answers.push_back(mrNo); // the resized banner is not kept
    };
    EXPECT_EQ(ProgramMain(Options), 0);
    EXPECT_TRUE(Ran);
    // Shut down: the readers' registrations are gone with the modules.
    EXPECT_TRUE(TPicture::FileFormats().empty());
}

// A settings folder that cannot be made costs the user only the stored
// settings: the program starts with its defaults and, when it closes, says
// once and in French that they were not kept.
TEST(Startup, AnUnwritableSettingsFolderIsToldOnceInFrench) {
    const fs::path Blocker = fs::path(::testing::TempDir()) / "qm_settings_blocker";
    fs::remove_all(Blocker);
    SaveFileAtomic(Blocker.string(), "un fichier, pas un dossier");
    const char* Was = std::getenv("QUILLOMARK_CONFIG_DIR");
    const std::string Saved = Was ? Was : "";
    setenv("QUILLOMARK_CONFIG_DIR", (Blocker / "reglages").c_str(), 1);
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    EXPECT_TRUE(StartProgram({}).Start);
    setenv("QUILLOMARK_CONFIG_DIR", Saved.c_str(), 1);
    ASSERT_EQ(Dialogs.Calls.size(), 1u) << Dialogs.Calls.back().Text;
    EXPECT_EQ(Dialogs.Calls[0].Text, SettingsNotSavedMessage((Blocker / "reglages").string()));
}

// A settings file that is a pipe is passed over like a damaged one: the
// program starts with its defaults instead of waiting for a writer.
TEST(Startup, ASettingsFileThatIsAPipeIsPassedOver) {
    const fs::path Folder = fs::path(::testing::TempDir()) / "qm_settings_pipe";
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    ASSERT_EQ(mkfifo((Folder / "HKEY_CURRENT_USER.qmreg").c_str(), 0600), 0);
    const char* Was = std::getenv("QUILLOMARK_CONFIG_DIR");
    const std::string Saved = Was ? Was : "";
    setenv("QUILLOMARK_CONFIG_DIR", Folder.c_str(), 1);
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    EXPECT_TRUE(StartProgram({}).Start);
    setenv("QUILLOMARK_CONFIG_DIR", Saved.c_str(), 1);
}

// The settings a user changes come back at the next start, from the
// stored properties of the main window (not from a second placement).
TEST(Startup, StoredSettingsComeBackAtTheNextStart) {
    const fs::path Folder = fs::path(::testing::TempDir()) / "qm_settings_restart";
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    setenv("QUILLOMARK_CONFIG_DIR", Folder.c_str(), 1);
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);

    TProgramOptions First;
    First.OnRunning = [](TMainform& Main) {
        for (TPanel* P : {Main.panelback, Main.pnlbord, Main.Pnlhelp})
            Main.SetPanelExpanded(P, false);
        Main.Statusbar->SetVisible(false);
        Main.Image3->SetTag(2);
        Main.od->InitialDir = "/srv/bannieres";
    };
    EXPECT_EQ(ProgramMain(First), 0);

    TRegIniFile Reg("Software\\" + ChangeFileExt(ExtractFileName(ApplicationExeName()), ""));
    const std::string Section = "Software\\Quillomark\\Mainform Settings";
    EXPECT_EQ(Reg.ReadString(Section, "Statusbar_Visible", "?"), "False");
    EXPECT_EQ(Reg.ReadString(Section, "panelback_Height", "?"), "16");
    EXPECT_EQ(Reg.ReadString(Section, "NormPos", "none"), "none"); // fp keeps the placement

    TProgramOptions Second;
    bool Ran = false;
    Second.OnRunning = [&Ran](TMainform& Main) {
        Ran = true;
        EXPECT_EQ(Main.panelback->Height(), PanelBackCollapsed);
        EXPECT_EQ(Main.pnlbord->Height(), PanelBordCollapsed);
        EXPECT_EQ(Main.Pnlhelp->Height(), PanelHelpCollapsed);
        EXPECT_TRUE(Main.O1->Visible() && Main.O2->Visible() && Main.O3->Visible());
        EXPECT_FALSE(Main.C1->Visible() || Main.C2->Visible() || Main.cC3->Visible());
        EXPECT_FALSE(Main.Statusbar->Visible());
        EXPECT_EQ(Main.Image3->Tag(), 2);
        EXPECT_EQ(Main.od->InitialDir, "/srv/bannieres");
    };
    EXPECT_EQ(ProgramMain(Second), 0);
    EXPECT_TRUE(Ran);
}

} // namespace

// The desktop session ends while the about box is open over unsaved
// changes: the main window asks while the session can still be cancelled.
// "Annuler" keeps everything as it was; "Non" lets the session end the
// program, which then closes without asking a second time.
TEST(Startup, TheSessionEndAsksOnceAboutUnsavedChangesUnderADialog) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    const fs::path File = fs::path(::testing::TempDir()) / "qm_session_end.qmkf";
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    SaveBannerDocument(Doc, File.string());

    TProgramOptions Options;
    Options.Args = {File.string()};
    bool Asked = false;
    Options.OnRunning = [&](TMainform& Main) {
        Main.Txt->SetText("Soldes");
        ASSERT_TRUE(Main.Tbsave->Enabled());
        // The third answer only lets a wrong second question end the test.
        Dialogs.Answers = {mrCancel, mrNo, mrNo};
        Application->OnIdle = [&](TObject*, bool&) {
            Application->OnIdle = nullptr;
            Asked = true;
            EXPECT_FALSE(Application->QueryEndSession());
            EXPECT_TRUE(AboutBox->Visible());
            EXPECT_TRUE(Main.Tbsave->Enabled());
            EXPECT_TRUE(Application->QueryEndSession());
            Application->EndSession();
        };
        Main.About1->Click();
        EXPECT_TRUE(Application->Terminated());
    };
    EXPECT_EQ(ProgramMain(Options), 0);
    EXPECT_TRUE(Asked);
    ASSERT_EQ(Dialogs.Calls.size(), 2u);
    for (const auto& Call : Dialogs.Calls)
        EXPECT_EQ(Call.Text, AskSaveChangesQuestion);
}
