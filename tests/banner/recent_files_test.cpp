#include "banner/RecentFiles.h"

#include <gtest/gtest.h>

#include "platform/system/Registry.h"

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

TEST(RecentFiles, CaptionsLabelsAndHiddenSlots) {
    const TRecentFileNames N{"/home/u/Bannière été.qmkf", "", "C:\\Mes documents\\", "C:\\b\\x"};
    const auto Items = RecentFileMenuItems(N);
    EXPECT_EQ(Items[0].Caption, "&1 Bannière été.qmkf");
    EXPECT_EQ(Items[3].Caption, "&4 x");
    EXPECT_TRUE(Items[0].Visible && Items[3].Visible);
    EXPECT_FALSE(Items[1].Visible || Items[2].Visible); // empty; a folder only

    const TRecentFileWelcome W = RecentFileWelcomeLabels(N);
    EXPECT_EQ(W.Labels[0].Caption, "Bannière été.qmkf");
    EXPECT_EQ(W.Labels[3].Caption, "x");
    EXPECT_FALSE(W.Labels[2].Visible);
    EXPECT_TRUE(W.HeadingVisible);
    EXPECT_FALSE(RecentFileWelcomeLabels(TRecentFileNames{"", "/d/"}).HeadingVisible);
}

} // namespace
