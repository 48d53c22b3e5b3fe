#include "editor/Program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "banner/DocumentFile.h"
#include "editor/UMain.h"
#include "platform/forms/Dialogs.h"
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

    EXPECT_EQ(Flags, (std::vector<bool>{true, false, false}));
    StartingObserver = nullptr;
}

} // namespace
