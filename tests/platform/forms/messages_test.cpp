#include "platform/forms/Application.h"
#include "platform/forms/Messages.h"
#include "platform/forms/Screen.h"
#include "platform/system/Clock.h"
#include "platform/system/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        A = AllocateHWnd([this](TMessage& M) { Seen.push_back(M.Msg); });
        B = AllocateHWnd([](TMessage&) {});
    }
    void TearDown() override {
        DeallocateHWnd(A);
        DeallocateHWnd(B);
        SetClockSourceForTesting(nullptr);
        DoneForms();
    }
    HWND A = nullptr;
    HWND B = nullptr;
    std::vector<UINT> Seen;
};

TEST_F(Queue, PeekFiltersByWindowAndRangeAndKeepsOrder) {
    PostMessage(B, WM_USER + 1);
    PostMessage(A, WM_USER + 5);
    PostMessage(A, WM_USER + 2);
    TMsg M;
    ASSERT_TRUE(PeekMessage(M, A, WM_USER + 2, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(M.message, WM_USER + 2);
    EXPECT_FALSE(PeekMessage(M, A, WM_USER + 2, WM_USER + 3, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(M, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(M.hwnd, B);
    EXPECT_EQ(DispatchMessage(TMsg{A, WM_USER + 9, 0, 0}), 0);
    EXPECT_EQ(Seen, std::vector<UINT>{WM_USER + 9});
    EXPECT_EQ(QueuedMessageCount(), 1);
    DeallocateHWnd(B); // its queued messages and timers go with it
    EXPECT_FALSE(IsWindow(B));
    EXPECT_FALSE(PostMessage(B, WM_USER));
    B = nullptr;
}

TEST_F(Queue, MessagesPostedFromWorkersArriveInOrder) {
    std::thread Worker([&] {
        for (int I = 0; I < 100; ++I)
            PostMessage(A, WM_USER + UINT(I % 3));
    });
    Worker.join();
    Application->ProcessMessages();
    ASSERT_EQ(Seen.size(), 100u);
    for (std::size_t I = 0; I < Seen.size(); ++I)
        EXPECT_EQ(Seen[I], WM_USER + UINT(I % 3));
}

TEST_F(Queue, TimersHaveAFloorAndStopWhenKilled) {
    std::atomic<std::uint64_t> Now{0};
    SetClockSourceForTesting([&] { return Now.load(); });
    EXPECT_EQ(SetTimer(A, 3, 1), 3u);
    EXPECT_EQ(NextTimerDue(), 10);
    EXPECT_EQ(SetTimer(nullptr, 4, 100), 0u);
    Now = 9;
    Application->ProcessMessages();
    EXPECT_TRUE(Seen.empty());
    Now = 10;
    Application->ProcessMessages();
    EXPECT_EQ(Seen, std::vector<UINT>{WM_TIMER});
    EXPECT_TRUE(KillTimer(A, 3));
    EXPECT_FALSE(KillTimer(A, 3));
    EXPECT_EQ(NextTimerDue(), -1);
}

TEST_F(Queue, SendMessageFromAWorkerRunsOnTheMainThread) {
    TThreadID Ran = 0;
    HWND C = AllocateHWnd([&](TMessage& M) {
        Ran = GetCurrentThreadId();
        M.Result = 77;
    });
    std::atomic<LRESULT> Result{0};
    std::thread Worker([&] { Result = SendMessage(C, WM_USER); });
    while (Result == 0)
        Application->ProcessMessages();
    Worker.join();
    EXPECT_EQ(Result, 77);
    EXPECT_EQ(Ran, MainThreadID());
    DeallocateHWnd(C);
}

TEST(ScreenCursors, TableHoldsPredefinedAndAddedCursors) {
    InitForms();
    std::vector<std::uint32_t> Pixels(16 * 16, 0xFF000000u);
    EXPECT_EQ(CreateCursorFromPixels(0, 16, Pixels.data(), 0, 0), nullptr);
    EXPECT_EQ(CreateCursorFromPixels(300, 1, Pixels.data(), 0, 0), nullptr);
    HCURSOR Hand = CreateCursorFromPixels(16, 16, Pixels.data(), 40, 3);
    ASSERT_NE(Hand, nullptr);
    Screen->SetCursors(14000, Hand);
    EXPECT_EQ(Screen->Cursors(14000), Hand);
    TCursorImage Image;
    ASSERT_TRUE(GetCursorImage(Hand, Image));
    EXPECT_EQ(Image.HotX, 15); // kept inside the picture
    EXPECT_EQ(Image.HotY, 3);
    ASSERT_TRUE(GetCursorImage(Screen->Cursors(crHandPoint), Image));
    EXPECT_TRUE(Image.Pixels.empty());
    EXPECT_EQ(Image.Shape, crHandPoint);
    ASSERT_TRUE(GetCursorImage(Screen->Cursors(12345), Image));
    EXPECT_EQ(Image.Shape, crArrow);
    TStrings* Fonts = Screen->Fonts();
    ASSERT_GT(Fonts->Count(), 0);
    EXPECT_GE(Fonts->IndexOf("DejaVu Sans"), 0);
    EXPECT_EQ(Screen->PixelsPerInch(), 96);
    DoneForms();
}

} // namespace
