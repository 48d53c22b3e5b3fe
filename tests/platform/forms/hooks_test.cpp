#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Hooks.h"
#include "support/ProbeControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_PROBE = WM_USER + 7;

class Hooks : public TProbeTest<WM_PROBE, 42> {
protected:
    void TearDown() override {
        delete Probe;
        for (THookId Id : Ids)
            RemoveWindowProcHook(Id);
    }
    THookId Add(THookOrder Order, std::string Name, bool Handled = false) {
        THookId Id = InstallWindowProcHook(Probe, Order, [this, Name, Handled](TMessage& M) {
            if (M.Msg == WM_PROBE) Log.push_back(Name);
            return Handled && M.Msg == WM_PROBE;
        });
        Ids.push_back(Id);
        return Id;
    }
    std::vector<THookId> Ids;
};

using Strings = std::vector<std::string>;

TEST_F(Hooks, ReplacedWindowProcSeesMessagesAndCanChainToTheSavedOne) {
    TWndMethod Old = Probe->WindowProc;
    Probe->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_PROBE) Log.push_back("sub");
        Old(M);
    };
    EXPECT_EQ(Probe->Perform(WM_PROBE), 42);
    EXPECT_EQ(Log, (Strings{"sub", "own"}));
    Probe->WindowProc = Old;
}

TEST_F(Hooks, BeforeAndAfterChainsRunInOrderAroundTheControl) {
    Add(hoAfterMsg, "a1");
    Add(hoBeforeMsg, "b1");
    Add(hoBeforeMsg, "b2");
    Add(hoAfterMsg, "a2");
    EXPECT_EQ(Probe->Perform(WM_PROBE), 42);
    EXPECT_EQ(Log, (Strings{"b1", "b2", "own", "a1", "a2"}));
}

TEST_F(Hooks, HandledBeforeHookHidesTheMessageFromTheRest) {
    Add(hoBeforeMsg, "b1", true);
    Add(hoBeforeMsg, "b2");
    Add(hoAfterMsg, "a1");
    EXPECT_EQ(Probe->Perform(WM_PROBE), 0);
    EXPECT_EQ(Log, (Strings{"b1"}));
}

TEST_F(Hooks, RemovingTheLastHookRestoresTheOriginalProcedure) {
    TWndMethod Mine = [&](TMessage& M) {
        if (M.Msg == WM_PROBE) Log.push_back("mine");
    };
    Probe->WindowProc = Mine;
    const THookId A = Add(hoBeforeMsg, "b");
    const THookId B = Add(hoAfterMsg, "a");
    EXPECT_TRUE(RemoveWindowProcHook(A));
    EXPECT_FALSE(RemoveWindowProcHook(A));
    EXPECT_TRUE(RemoveWindowProcHook(B));
    EXPECT_EQ(WindowProcHookCount(Probe, hoBeforeMsg), 0);
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"mine"}));
}

TEST_F(Hooks, RemovalDuringDispatchSkipsTheRemovedHandler) {
    THookId Second = 0;
    Ids.push_back(InstallWindowProcHook(Probe, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg != WM_PROBE) return false;
        Log.push_back("first");
        RemoveWindowProcHook(Second); // the next one
        return false;
    }));
    Second = Add(hoBeforeMsg, "second");
    THookId Self = 0;
    Self = InstallWindowProcHook(Probe, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg != WM_PROBE) return false;
        Log.push_back("self");
        RemoveWindowProcHook(Self); // itself, while running
        return false;
    });
    Add(hoBeforeMsg, "last");
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"first", "self", "last", "own"}));
    Log.clear();
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"first", "last", "own"}));
}

TEST_F(Hooks, HandlerAddedDuringDispatchRunsForTheSameMessage) {
    bool Added = false;
    Ids.push_back(InstallWindowProcHook(Probe, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg == WM_PROBE && !Added) {
            Added = true;
            Add(hoBeforeMsg, "late");
        }
        return false;
    }));
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"late", "own"}));
}

TEST_F(Hooks, ReentrantDispatchKeepsEachLevelsPlace) {
    int Depth = 0;
    Ids.push_back(InstallWindowProcHook(Probe, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg != WM_PROBE) return false;
        Log.push_back("outer" + std::to_string(Depth));
        if (Depth++ == 0) Probe->Perform(WM_PROBE);
        return false;
    }));
    Add(hoAfterMsg, "after");
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"outer0", "outer1", "own", "after", "own", "after"}));
}

TEST_F(Hooks, ControlDestroyedInsideItsMessageEndsTheChain) {
    Ids.push_back(InstallWindowProcHook(Probe, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg != WM_PROBE) return false;
        Log.push_back("killer");
        delete Probe;
        Probe = nullptr;
        return false;
    }));
    const THookId After = Add(hoAfterMsg, "after");
    TProbe* Target = Probe;
    Target->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"killer"}));
    EXPECT_FALSE(RemoveWindowProcHook(After)); // went with its control
}

TEST_F(Hooks, SameHandlerTwiceGivesTwoNodesAndBareWindowsCanBeHooked) {
    int Own = 0;
    int Seen = 0;
    HWND Wnd = AllocateHWnd([&](TMessage& M) {
        if (M.Msg == WM_PROBE) ++Own;
    });
    auto Handler = [&](TMessage& M) {
        if (M.Msg == WM_PROBE) ++Seen;
        return false;
    };
    const THookId A = InstallWindowProcHook(Wnd, hoBeforeMsg, Handler);
    const THookId B = InstallWindowProcHook(Wnd, hoBeforeMsg, Handler);
    SendMessage(Wnd, WM_PROBE);
    EXPECT_EQ(Seen, 2);
    RemoveWindowProcHook(A);
    SendMessage(Wnd, WM_PROBE);
    EXPECT_EQ(Seen, 3);
    EXPECT_EQ(Own, 2);
    DeallocateHWnd(Wnd);
    EXPECT_FALSE(RemoveWindowProcHook(B));
    EXPECT_EQ(InstallWindowProcHook(Wnd, hoBeforeMsg, Handler), 0u);
}

} // namespace
