#include "banner/RecentFiles.h"

#include <gtest/gtest.h>

#include "platform/system/Registry.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(RecentFiles, MovesToFrontKeepsFourComparesWithCase) {
    TRegistry().DeleteKey(RecentFilesKey);
    for (const char* N : {"/d/a", "/d/b", "/d/c", "/d/d", "/d/e"})
        ASSERT_TRUE(AddRecentFile(N));
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{"/d/e", "/d/d", "/d/c", "/d/b"}));
    AddRecentFile("/d/c"); // slot 3: F4 stays
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{"/d/c", "/d/e", "/d/d", "/d/b"}));
    AddRecentFile("/d/b"); // slot 4
    AddRecentFile("/d/b"); // already F1
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{"/d/b", "/d/c", "/d/e", "/d/d"}));
    AddRecentFile("/d/B");
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{"/d/B", "/d/b", "/d/c", "/d/e"}));

    // A damaged slot reads as empty instead of stopping the menu.
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(RecentFilesKey, false));
    Reg.WriteInteger("F2", 5);
    EXPECT_EQ(ReadRecentFiles(), (TRecentFileNames{"/d/B", "", "/d/c", "/d/e"}));
}

// Two programs adding a file at once: the list is read and written as one
// change, so both names are in it.
TEST(RecentFiles, TwoProcessesAddingAtOnceKeepBothNames) {
    for (int Trial = 0; Trial < 10; ++Trial) {
        TRegistry().DeleteKey(RecentFilesKey);
        AddRecentFile("/d/old");
        pid_t Children[2];
        for (int C = 0; C < 2; ++C) {
            Children[C] = fork();
            ASSERT_GE(Children[C], 0);
            if (Children[C] == 0) _exit(AddRecentFile("/d/" + std::to_string(C)) ? 0 : 1);
        }
        for (pid_t Child : Children) {
            int Status = 0;
            ASSERT_EQ(waitpid(Child, &Status, 0), Child);
            EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
        }
        const TRecentFileNames N = ReadRecentFiles();
        EXPECT_TRUE((N == TRecentFileNames{"/d/0", "/d/1", "/d/old", ""}) ||
                    (N == TRecentFileNames{"/d/1", "/d/0", "/d/old", ""}))
            << N[0] << " " << N[1] << " " << N[2];
    }
}

TEST(RecentFiles, CaptionsLabelsAndHiddenSlots) {
    const TRecentFileNames N{"/home/u/Bannière été.qmkf", "", "C:\\Mes documents\\", "C:\\b\\x&y"};
    const auto Items = RecentFileMenuItems(N);
    EXPECT_EQ(Items[0].Caption, "&1 Bannière été.qmkf");
    EXPECT_EQ(Items[3].Caption, "&4 x&&y"); // shows "x&y", no hot key
    EXPECT_TRUE(Items[0].Visible && Items[3].Visible);
    EXPECT_FALSE(Items[1].Visible || Items[2].Visible); // empty; a folder only

    const TRecentFileWelcome W = RecentFileWelcomeLabels(N);
    EXPECT_EQ(W.Labels[0].Caption, "Bannière été.qmkf");
    EXPECT_EQ(W.Labels[3].Caption, "x&&y");
    EXPECT_FALSE(W.Labels[2].Visible);
    EXPECT_TRUE(W.HeadingVisible);
    EXPECT_FALSE(RecentFileWelcomeLabels(TRecentFileNames{"", "/d/"}).HeadingVisible);
}

} // namespace
