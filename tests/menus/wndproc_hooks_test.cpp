#include "menus/WndProcHooks.h"
#include "platform/forms/Application.h"
#include "support/ProbeControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_PROBE = WM_USER + 11;
using Strings = std::vector<std::string>;

// A hook owner whose method logs its name and may act on the message.
struct TWatcher {
    Strings* Log = nullptr;
    std::string Name;
    bool Handles = false;
    std::function<void()> Action;
    bool Hook(TMessage& M) {
        if (M.Msg != WM_PROBE) return false;
        Log->push_back(Name);
        if (Action) Action();
        return Handles;
    }
    TUiHookMethod Method() { return UiHookMethod<&TWatcher::Hook>(this); }
};

class WndProcHooks : public TProbeTest<WM_PROBE, 7> {
protected:
    void TearDown() override {
        delete Probe;
        FinalizeWndProcHooks();
    }
    TWatcher Watcher(std::string Name, bool Handles = false) {
        return TWatcher{&Log, std::move(Name), Handles, {}};
    }
};

TEST_F(WndProcHooks, BeforeAndAfterHandlersAndAHandledBeforeHidesTheRest) {
    TWatcher B = Watcher("before"), A = Watcher("after");
    ASSERT_TRUE(InstallWndProcHook(Probe, hoBeforeMsg, B.Method()));
    ASSERT_TRUE(InstallWndProcHook(Probe, hoAfterMsg, A.Method()));
    EXPECT_EQ(Probe->Perform(WM_PROBE), 7);
    EXPECT_EQ(Log, (Strings{"before", "own", "after"}));

    Log.clear();
    B.Handles = true;
    EXPECT_EQ(Probe->Perform(WM_PROBE), 0);
    EXPECT_EQ(Log, (Strings{"before"}));
}

TEST_F(WndProcHooks, SamePairTwiceMakesTwoNodesAndRemovalTakesOneAtATime) {
    TWatcher W = Watcher("w"), Other = Watcher("other");
    ASSERT_TRUE(InstallWndProcHook(Probe, hoBeforeMsg, W.Method()));
    ASSERT_TRUE(InstallWndProcHook(Probe, hoBeforeMsg, W.Method()));
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"w", "w", "own"}));

    // A pair that is not in the chain: the target still has hooks.
    EXPECT_TRUE(RemoveWndProcHook(Probe, hoBeforeMsg, Other.Method()));
    EXPECT_TRUE(RemoveWndProcHook(Probe, hoAfterMsg, W.Method()));
    EXPECT_TRUE(RemoveWndProcHook(Probe, hoBeforeMsg, W.Method()));
    EXPECT_EQ(WindowProcHookCount(Probe, hoBeforeMsg), 1);
    EXPECT_TRUE(RemoveWndProcHook(Probe, hoBeforeMsg, W.Method()));
    EXPECT_EQ(UiWndProcHook()->RecordCount(), 0);
    EXPECT_FALSE(RemoveWndProcHook(Probe, hoBeforeMsg, W.Method()));

    EXPECT_FALSE(InstallWndProcHook(Probe, hoBeforeMsg, TUiHookMethod{}));
    EXPECT_FALSE(InstallWndProcHook(static_cast<TControl*>(nullptr), hoBeforeMsg, W.Method()));
}

TEST_F(WndProcHooks, HandlerRemovingItselfAndTheNextKeepsTheWalkGoing) {
    TWatcher First = Watcher("first"), Second = Watcher("second"), Last = Watcher("last");
    First.Action = [&] {
        RemoveWndProcHook(Probe, hoBeforeMsg, First.Method());
        RemoveWndProcHook(Probe, hoBeforeMsg, Second.Method());
    };
    InstallWndProcHook(Probe, hoBeforeMsg, First.Method());
    InstallWndProcHook(Probe, hoBeforeMsg, Second.Method());
    InstallWndProcHook(Probe, hoBeforeMsg, Last.Method());
    Probe->Perform(WM_PROBE);
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"first", "last", "own", "last", "own"}));
}

TEST_F(WndProcHooks, ControlFreedInItsOwnMessageEndsTheChainAndDropsTheRecord) {
    TWatcher Killer = Watcher("killer"), After = Watcher("after");
    Killer.Action = [&] {
        delete Probe;
        Probe = nullptr;
    };
    TProbe* Target = Probe;
    InstallWndProcHook(Target, hoBeforeMsg, Killer.Method());
    InstallWndProcHook(Target, hoAfterMsg, After.Method());
    Target->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"killer"}));
    EXPECT_EQ(UiWndProcHook()->RecordCount(), 0);
}

TEST_F(WndProcHooks, BareWindowsAreHookedUntilTheyDie) {
    int Own = 0;
    HWND Wnd = AllocateHWnd([&](TMessage& M) {
        if (M.Msg == WM_PROBE) ++Own;
    });
    TWatcher W = Watcher("w");
    ASSERT_TRUE(InstallWndProcHook(Wnd, hoAfterMsg, W.Method()));
    SendMessage(Wnd, WM_PROBE);
    EXPECT_EQ(Log, (Strings{"w"}));
    EXPECT_EQ(Own, 1);
    DeallocateHWnd(Wnd);
    EXPECT_FALSE(RemoveWndProcHook(Wnd, hoAfterMsg, W.Method()));
    EXPECT_FALSE(InstallWndProcHook(Wnd, hoAfterMsg, W.Method()));
}

struct TCounted : TObject {
    explicit TCounted(int& Alive) : FAlive(Alive) { ++FAlive; }
    ~TCounted() override { --FAlive; }
    int& FAlive;
};

TEST_F(WndProcHooks, ReleaserFreesOnceAfterTheMessageAndAtItsEnd) {
    int Alive = 0;
    auto* A = new TCounted(Alive);
    UiReleaser()->Release(A);
    UiReleaser()->Release(A); // listed once
    EXPECT_EQ(UiReleaser()->PendingCount(), 1);
    EXPECT_EQ(Alive, 1);
    Application->ProcessMessages();
    EXPECT_EQ(Alive, 0);

    UiReleaser()->Release(new TCounted(Alive));
    EXPECT_EQ(Alive, 1);
    FinalizeWndProcHooks(); // still listed: freed with the releaser
    EXPECT_EQ(Alive, 0);
    Application->ProcessMessages(); // the stale release message is dropped
}

} // namespace
