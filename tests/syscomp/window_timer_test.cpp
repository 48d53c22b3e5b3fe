#include "syscomp/ScreenColorPicker.h"
#include "syscomp/SysRegistration.h"
#include "syscomp/SysUtilities.h"
#include "syscomp/WindowTimer.h"

#include "VisTestSupport.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Strings.h"
#include "platform/forms/Application.h"

#include <gtest/gtest.h>

namespace {

TEST(SysWindowTimer, RunsOnlyWithHandlerIntervalAndEnabled) {
    TManualClock clock;
    TSysCustomTimer t(nullptr);
    int ticks = 0;
    clock.Advance(5000);
    EXPECT_EQ(NextTimerDue(), -1); // no handler: not armed
    t.SetOnTimer([&](TObject* s) {
        EXPECT_EQ(s, &t);
        ++ticks;
    });
    clock.Advance(999);
    EXPECT_EQ(ticks, 0);
    clock.Advance(1);
    EXPECT_EQ(ticks, 1);
    t.SetInterval(250); // re-armed from now
    clock.Advance(250);
    EXPECT_EQ(ticks, 2);
    t.SetEnabled(false);
    clock.Advance(1000);
    EXPECT_EQ(ticks, 2);
    t.SetEnabled(true);
    t.SetInterval(0);
    clock.Advance(1000);
    EXPECT_EQ(ticks, 2);
}

TEST(SysWindowTimer, HandlerExceptionKeepsTheTimerRunning) {
    TManualClock clock;
    InitForms();
    std::vector<std::string> shown;
    Application->OnException = [&](TObject*, const Exception& e) { shown.push_back(e.Message()); };
    TSysColorPicker picker(nullptr);
    EXPECT_EQ(picker.Interval(), 100u);
    int ticks = 0;
    picker.SetOnTimer([&](TObject*) {
        ++ticks;
        throw Exception("boom");
    });
    clock.Advance(100);
    clock.Advance(100);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(shown, (std::vector<std::string>{"boom", "boom"}));
    // The offscreen desktop cannot be read: no colour rather than a made-up one.
    EXPECT_EQ(picker.Color(), clNone);
    Application->OnException = nullptr;
}

TEST(SysRegistration, FamilyOrderColoursAndTaskbarMessage) {
    InitSysComponents();
    std::vector<std::string> got;
    for (const std::string& n : RegisteredClassNames())
        if (n.rfind("TSys", 0) == 0) got.push_back(n);
    EXPECT_EQ(got, SysComponentClassNames());
    ASSERT_EQ(got.size(), 23u);
    EXPECT_EQ(got[2], "TSysCustomTimer");
    EXPECT_EQ(got[22], "TSysColorPicker");
    std::unique_ptr<TPersistent> tray(FindClass("TSysTrayIcon").Create(nullptr));
    EXPECT_STREQ(tray->ClassName(), "TSysTrayIcon");

    EXPECT_GE(SysTaskbarCreatedMessage(), 0xC000u);
    EXPECT_EQ(SysRegisterWindowMessage("TaskbarCreated"), SysTaskbarCreatedMessage());
    EXPECT_NE(SysRegisterWindowMessage("Other"), SysTaskbarCreatedMessage());

    // Extra colour names come first, the library's own names still work.
    EXPECT_EQ(StringToColor("clMetal"), 0x909090);
    EXPECT_EQ(StringToColor("cllavender"), 0xFF98C0);
    EXPECT_EQ(StringToColor("clRed"), 0x0000FF);
    EXPECT_EQ(ColorToString(0x0068FF), "clOrange");
    EXPECT_EQ(SysColorIdents().size(), 21u);
    DoneSysComponents();
    EXPECT_EQ(ColorToString(0x0068FF), "$000068FF");
}

TEST(SysUtilities, VersionCodesAndFlags) {
    EXPECT_EQ(SysVersionCode(true, 3, 51, ""), 1);
    EXPECT_EQ(SysVersionCode(false, 4, 0, ""), 2);
    EXPECT_EQ(SysVersionCode(false, 4, 0, "B"), 3);
    EXPECT_EQ(SysVersionCode(true, 4, 0, ""), 4);
    EXPECT_EQ(SysVersionCode(false, 4, 10, ""), 5);
    EXPECT_EQ(SysVersionCode(false, 4, 10, "A"), 6);
    EXPECT_EQ(SysVersionCode(false, 4, 90, ""), 7);
    EXPECT_EQ(SysVersionCode(true, 5, 0, ""), 8);
    EXPECT_EQ(SysVersionCode(true, 5, 1, ""), 9);
    EXPECT_EQ(SysVersionCode(true, 5, 2, ""), 10);
    EXPECT_EQ(SysVersionCode(true, 6, 0, ""), 0);
    EXPECT_EQ(SysOSVersion(), 0);
    EXPECT_TRUE(SysIsWin98OrLater() && SysIsWin2000OrLater() && SysIsWinXPOrLater());
    SetSysOSVersionForTesting(9);
    EXPECT_TRUE(SysIsNTPlatform() && SysIsWinXPOrLater() && SysIsWin2000OrLater());
    SetSysOSVersionForTesting(5);
    EXPECT_TRUE(Sys9xPlatform() && SysIsWin98OrLater());
    EXPECT_FALSE(SysIsWin2000OrLater());
    SetSysOSVersionForTesting(-1);
}

TEST(SysUtilities, StringAndPathRoutines) {
    EXPECT_EQ(SysPosFrom("ab", "xxabxab", 1), 3);
    EXPECT_EQ(SysPosFrom("ab", "xxabxab", 4), 6);
    EXPECT_EQ(SysPosFrom("ab", "xxabxab", 99), 0);
    EXPECT_EQ(SysLastPos("ab", "xxabxab", 5), 3);
    EXPECT_EQ(SysLastPos("ab", "xxabxab", 7), 6);
    // Scanning goes on after the inserted text: no endless growth.
    EXPECT_EQ(SysReplaceAll("aXa", "a", "aa"), "aaXaa");
    EXPECT_EQ(SysReplaceAll("abc", "", "z"), "abc");
    TStringList l;
    l.Add("first");
    SysSplit("a;;b", ";", &l);
    EXPECT_EQ(l.Text(), "first\r\na\r\n\r\nb\r\n");
    EXPECT_EQ(SysFileNamePart("C:\\dir/x.y\\name.txt"), "name.txt");
    EXPECT_EQ(SysFileNamePart("C:name"), "name");
    EXPECT_EQ(SysFolderPart("C:\\dir\\name.txt"), "C:\\dir\\");
    EXPECT_EQ(SysNameWithoutExt("/a.b/name"), "/a.b/name");
    EXPECT_EQ(SysNameWithoutExt("/a/name.tar.gz"), "/a/name.tar");
    EXPECT_EQ(SysSingleBackslashes("a\\\\b\\c"), "a\\b\\c");
    EXPECT_EQ(SysAddPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(SysAddPathDelimiter("/tmp/"), "/tmp/");
}

} // namespace
