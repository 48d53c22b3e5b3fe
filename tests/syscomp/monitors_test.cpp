#include "syscomp/ChangeMonitors.h"

#include "SysTestSupport.h"

#include <atomic>
#include <unistd.h>

namespace {

using MonitorsTest = SysTempTest;

TEST_F(MonitorsTest, FilterNumbers) {
    EXPECT_EQ(SysFolderFilterBits(0x3F), 0x11Fu);
    EXPECT_EQ(SysFolderFilterBits(SysFilterBit(fmfSecurityChange)), 0x100u);
    EXPECT_EQ(SysRegistryFilterBits(SysFilterBit(rmfValueChange)), 4u);
    EXPECT_EQ(SysRootKeyHandle(rrkCurrentConfig), HKEY_CURRENT_CONFIG);
}

TEST_F(MonitorsTest, FolderMonitorSeesFilesInTheTree) {
    std::filesystem::create_directories(Dir / "w" / "sub");
    TSysFolderMonitor m(nullptr);
    std::atomic<int> changes{0};
    m.SetFolder(P("w"));
    m.SetActive(true);
    EXPECT_FALSE(m.Monitoring()); // no OnChange: no thread
    m.SetOnChange([&] { ++changes; });
    EXPECT_TRUE(m.Monitoring());
    ASSERT_TRUE(m.WaitUntilWatching(5000));

    Put("w/new.txt", "x");
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }));
    changes = 0;
    Put("w/sub/deep.txt", "x");
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }));

    // A folder created after the start is watched too.
    changes = 0;
    std::filesystem::create_directories(Dir / "w" / "later");
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }));
    changes = 0; // its watch was added before the change was reported
    Put("w/later/f.txt", "x");
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }));

    m.SetActive(false);
    EXPECT_FALSE(m.Monitoring());
    changes = 0;
    Put("w/after.txt", "x");
    Serve(150);
    EXPECT_EQ(changes.load(), 0);
}

TEST_F(MonitorsTest, FolderMonitorHonoursItsFilters) {
    Put("w/existing.txt", "x");
    TSysFolderMonitor m(nullptr);
    std::atomic<int> changes{0};
    m.SetFolder(P("w"));
    m.SetWatchSubTree(false);
    m.SetNotifyFilters(SysFilterBit(fmfDirNameChange));
    m.SetOnChange([&] { ++changes; });
    m.SetActive(true);
    ASSERT_TRUE(m.WaitUntilWatching(5000));
    Put("w/file.txt", "x"); // a file name: not watched
    Serve(150);
    EXPECT_EQ(changes.load(), 0);
    m.SetNotifyFilters(SysFilterBit(fmfWriteChange));
    ASSERT_TRUE(m.WaitUntilWatching(5000));
    Put("w/existing.txt", "more");
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }));
}

TEST_F(MonitorsTest, EmptyFolderWatchesTheCurrentDirectory) {
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(Dir.c_str()), 0);
    std::atomic<int> changes{0};
    {
        TSysFolderMonitor m(nullptr);
        m.SetFolder("");
        m.SetWatchSubTree(false);
        m.SetOnChange([&] { ++changes; });
        m.SetActive(true);
        ASSERT_TRUE(m.WaitUntilWatching(5000));
        Put("here.txt", "x");
        EXPECT_TRUE(WaitUntil([&] { return changes > 0; }));
    }
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(MonitorsTest, RegistryMonitorFollowsTheKey) {
    TSysRegistryMonitor m(nullptr);
    std::atomic<int> changes{0};
    m.SetRootKey(rrkCurrentUser);
    m.SetRegistryKey("Software\\Watched");
    m.SetOnChange([&] { ++changes; });
    m.SetActive(true);
    ASSERT_TRUE(m.WaitUntilWatching(5000));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Watched", true)); // created: a change
    reg.CloseKey();
    ASSERT_TRUE(WaitUntil([&] { return changes == 1; }));

    ASSERT_TRUE(reg.OpenKey("\\Software\\Other", true)); // elsewhere: no change
    reg.WriteString("v", "1");
    reg.CloseKey();
    Serve(150);
    EXPECT_EQ(changes.load(), 1);

    ASSERT_TRUE(reg.OpenKey("\\Software\\Watched\\Deep", true));
    reg.WriteInteger("n", 5);
    reg.CloseKey();
    ASSERT_TRUE(WaitUntil([&] { return changes >= 2; }));
    Serve(100);
    const int beforeDelete = changes.load();

    ASSERT_TRUE(reg.DeleteKey("\\Software\\Watched"));
    ASSERT_TRUE(WaitUntil([&] { return changes == beforeDelete + 1; }));
    Serve(150);
    EXPECT_EQ(changes.load(), beforeDelete + 1); // once

    ASSERT_TRUE(reg.OpenKey("\\Software\\Watched", true));
    reg.WriteString("again", "1");
    reg.CloseKey();
    ASSERT_TRUE(WaitUntil([&] { return changes >= beforeDelete + 2; }));
}

// The whole settings folder goes (a user clearing the program's settings):
// the key is gone, a change; the key written again, in the folder the
// store makes anew, is another.
TEST_F(MonitorsTest, RegistryMonitorOutlivesItsSettingsFolder) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Watched", true));
    reg.CloseKey();
    TSysRegistryMonitor m(nullptr);
    std::atomic<int> changes{0};
    m.SetRegistryKey("Software\\Watched");
    m.SetOnChange([&] { ++changes; });
    m.SetActive(true);
    ASSERT_TRUE(m.WaitUntilWatching(5000));

    std::filesystem::remove_all(Dir / "config");
    ASSERT_TRUE(WaitUntil([&] { return changes == 1; }));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Watched", true));
    reg.WriteString("v", "1");
    reg.CloseKey();
    ASSERT_TRUE(WaitUntil([&] { return changes == 2; }));
}

TEST_F(MonitorsTest, RegistryMonitorWithoutSubTreeIgnoresDeepChanges) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\W\\Deep", true));
    reg.CloseKey();
    TSysRegistryMonitor m(nullptr);
    std::atomic<int> changes{0};
    m.SetRegistryKey("Software\\W");
    m.SetWatchSubTree(false);
    m.SetOnChange([&] { ++changes; });
    m.SetActive(true);
    ASSERT_TRUE(m.WaitUntilWatching(5000));
    ASSERT_TRUE(reg.OpenKey("\\Software\\W\\Deep", false));
    reg.WriteString("x", "1");
    reg.CloseKey();
    Serve(150);
    EXPECT_EQ(changes.load(), 0);
    ASSERT_TRUE(reg.OpenKey("\\Software\\W", false));
    reg.WriteString("x", "1");
    reg.CloseKey();
    ASSERT_TRUE(WaitUntil([&] { return changes == 1; }));
}

} // namespace
