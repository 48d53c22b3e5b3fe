#pragma once
// A test that starts the running program on a banner document it saved
// first, and drives its main window.
#include "editor/Program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

#include "banner/DocumentFile.h"
#include "editor/UMain.h"
#include "platform/forms/Dialogs.h"

class ProgramOnFile : public ::testing::Test {
protected:
    // Per process: other checkouts may run the same test at the same time.
    explicit ProgramOnFile(const std::string& Name)
        : File(std::filesystem::path(::testing::TempDir()) /
               ("qm_" + Name + std::to_string(getpid()) + ".qmkf")) {}

    // Saves Doc to File, starts the program on it and runs Steps on the main
    // window, which shows the design page of the opened banner.
    void RunOn(TBannerDocument& Doc, const std::function<void(TMainform&)>& Steps) {
        Doc.FileName = File.string();
        SaveBannerDocument(Doc, File.string());
        TProgramOptions Options;
        Options.Args = {File.string()};
        Options.OnRunning = [&](TMainform& Main) {
            ASSERT_TRUE(Main.DesignPageVisible());
            Steps(Main);
        };
        ASSERT_EQ(ProgramMain(Options), 0);
    }

    std::filesystem::path File;
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope{&Dialogs};
};
