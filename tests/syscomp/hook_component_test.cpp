#include "syscomp/HookComponent.h"

#include "VisTestSupport.h"
#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT WM_PROBE = WM_USER + 7;

// A window control that logs what reaches its own procedure.
class TProbe : public TWinControl {
public:
    using TWinControl::TWinControl;
    std::vector<std::string>* Log = nullptr;

protected:
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_PROBE && Log) Log->push_back("own");
        TWinControl::WndProc(M);
    }
};

void Watch(TSysCustomWndProcHook& H, const std::string& Name, std::vector<std::string>& Log,
           bool HandleBefore = false) {
    H.OnMessageBefore = [&Log, Name, HandleBefore](TObject*, TMessage& M, bool& Handled) {
        if (M.Msg != WM_PROBE) return;
        Log.push_back(Name + ".before");
        Handled = HandleBefore;
    };
    H.OnMessageAfter = [&Log, Name](TObject*, TMessage& M, bool&) {
        if (M.Msg == WM_PROBE) Log.push_back(Name + ".after");
    };
}

TEST(SysWndProcHook, HooksNestAroundTheWindowAndOtherHooks) {
    InitForms();
    std::vector<std::string> log;
    TProbe win(nullptr);
    win.Log = &log;
    // Another service's hook on the same chain keeps working throughout.
    const THookId foreign = InstallWindowProcHook(&win, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg == WM_PROBE) log.push_back("foreign");
        return false;
    });
    {
        TSysWndProcHook a(&win), b(&win);
        EXPECT_EQ(SysWndProcHookCount(), 2);
        Watch(a, "a", log);
        Watch(b, "b", log);
        a.SetActive(true);
        b.SetActive(true);
        win.Perform(WM_PROBE);
        EXPECT_EQ(log, (std::vector<std::string>{"foreign", "b.before", "a.before", "own",
                                                 "a.after", "b.after"}));
        // Handled by the outer hook: the inner one and the window are
        // skipped, the outer one still finishes.
        log.clear();
        Watch(b, "b", log, true);
        win.Perform(WM_PROBE);
        EXPECT_EQ(log, (std::vector<std::string>{"foreign", "b.before", "b.after"}));
        Watch(b, "b", log);
        // Deactivating the later hook makes the earlier one outermost.
        log.clear();
        b.SetActive(false);
        win.Perform(WM_PROBE);
        EXPECT_EQ(log, (std::vector<std::string>{"foreign", "a.before", "own", "a.after"}));
        // Re-activated, it takes its place by creation order again.
        log.clear();
        b.SetActive(true);
        a.SetActive(false);
        a.SetActive(true);
        win.Perform(WM_PROBE);
        EXPECT_EQ(log, (std::vector<std::string>{"foreign", "b.before", "a.before", "own",
                                                 "a.after", "b.after"}));
        EXPECT_EQ(WindowProcHookCount(&win, hoBeforeMsg), 3);
    }
    // Both gone: only the foreign hook stays, the list is freed.
    EXPECT_EQ(WindowProcHookCount(&win, hoBeforeMsg), 1);
    EXPECT_EQ(WindowProcHookCount(&win, hoAfterMsg), 0);
    EXPECT_EQ(SysWndProcHookCount(), 0);
    log.clear();
    win.Perform(WM_PROBE);
    EXPECT_EQ(log, (std::vector<std::string>{"foreign", "own"}));
    RemoveWindowProcHook(foreign);
}

TEST(SysWndProcHook, RecreatedWindowIsHookedAgainAfter25ms) {
    InitForms();
    TManualClock clock;
    TProbe win(nullptr);
    TSysWndProcHook hook(nullptr);
    hook.SetWinControl(&win);
    int changes = 0, seen = 0;
    hook.OnChangeHandle = [&](TObject*) { ++changes; };
    hook.OnMessageBefore = [&](TObject*, TMessage& M, bool&) {
        if (M.Msg == WM_PROBE) ++seen;
    };
    hook.SetActive(true);
    win.HandleNeeded();
    win.DestroyHandle(); // WM_DESTROY passes the hook, which lets go
    EXPECT_FALSE(hook.Hooked());
    win.Perform(WM_PROBE);
    EXPECT_EQ(seen, 0);
    clock.Advance(24);
    EXPECT_EQ(changes, 0);
    clock.Advance(1);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(hook.Hooked());
    win.Perform(WM_PROBE);
    EXPECT_EQ(seen, 1);
    clock.Advance(100); // one shot
    EXPECT_EQ(changes, 1);
}

TEST(SysWndProcHook, BareWindowHandleAndControlRemoval) {
    std::vector<std::string> log;
    HWND bare = AllocateHWnd([&](TMessage& M) {
        if (M.Msg == WM_PROBE) log.push_back("own");
    });
    TSysWndProcHook hook(nullptr);
    Watch(hook, "h", log);
    hook.SetActive(true);
    EXPECT_FALSE(hook.Hooked()); // nothing to hook yet
    hook.SetWindowHandle(bare);
    EXPECT_TRUE(hook.Hooked());
    SendMessage(bare, WM_PROBE);
    EXPECT_EQ(log, (std::vector<std::string>{"h.before", "own", "h.after"}));
    hook.SetWindowHandle(nullptr);
    EXPECT_FALSE(hook.Hooked());
    DeallocateHWnd(bare);
    {
        TProbe win(nullptr);
        hook.SetWinControl(&win);
        EXPECT_TRUE(hook.Hooked());
    }
    EXPECT_EQ(hook.WinControl(), nullptr);
    EXPECT_FALSE(hook.Hooked());
}

} // namespace
