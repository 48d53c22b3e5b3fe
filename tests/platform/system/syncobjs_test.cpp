// Critical sections, events and the interlocked helpers.
#include "platform/base/Exception.h"
#include "platform/system/SyncObjs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>
#include <vector>

namespace {

bool TryEnterFromOtherThread(TCriticalSection& Section) {
    bool Got = false;
    std::thread([&] {
        Got = Section.TryEnter();
        if (Got) Section.Leave();
    }).join();
    return Got;
}

// Polls until Condition holds; a generous bound keeps a broken build from
// hanging the suite.
template <class F> bool Eventually(F Condition) {
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > Limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(CriticalSection, IsRecursiveAndHeldUntilTheLastLeave) {
    TCriticalSection Section;
    Section.Enter();
    EXPECT_TRUE(Section.TryEnter());
    Section.Acquire();
    EXPECT_FALSE(TryEnterFromOtherThread(Section));
    Section.Leave();
    Section.Release();
    EXPECT_FALSE(TryEnterFromOtherThread(Section));
    Section.Leave();
    EXPECT_TRUE(TryEnterFromOtherThread(Section));
}

TEST(CriticalSection, ReleaseByANonOwnerIsRefused) {
    TCriticalSection Section;
    EXPECT_THROW(Section.Leave(), EThread);
    Section.Enter();
    bool Refused = false;
    std::thread([&] {
        try {
            Section.Leave();
        } catch (const EThread&) {
            Refused = true;
        }
    }).join();
    EXPECT_TRUE(Refused);
    Section.Leave();
    EXPECT_TRUE(TryEnterFromOtherThread(Section));
}

TEST(Event, ResetModesWithoutWaiting) {
    TEvent Auto(false, true);
    EXPECT_EQ(Auto.WaitFor(0), wrSignaled);
    EXPECT_EQ(Auto.WaitFor(0), wrTimeout);
    Auto.SetEvent();
    Auto.SetEvent(); // setting a signalled event adds nothing
    EXPECT_EQ(Auto.WaitFor(0), wrSignaled);
    EXPECT_EQ(Auto.WaitFor(0), wrTimeout);

    TEvent Manual(true, true);
    EXPECT_EQ(Manual.WaitFor(0), wrSignaled);
    EXPECT_EQ(Manual.WaitFor(0), wrSignaled);
    Manual.ResetEvent();
    EXPECT_EQ(Manual.WaitFor(0), wrTimeout);

    TSimpleEvent Simple;
    EXPECT_TRUE(Simple.ManualReset());
    EXPECT_EQ(Simple.WaitFor(0), wrTimeout);
    Simple.SetEvent();
    EXPECT_EQ(Simple.WaitFor(0), wrSignaled);
    EXPECT_EQ(Simple.WaitFor(0), wrSignaled);
}

TEST(Event, TimeOutWaitsAtLeastTheTimeGiven) {
    TEvent Never(true, false);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(Never.WaitFor(40), wrTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(40));
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    TEvent Event(false, false);
    std::atomic<int> Released{0};
    std::vector<std::thread> Waiters;
    for (int I = 0; I < 4; ++I)
        Waiters.emplace_back([&] {
            if (Event.WaitFor(INFINITE) == wrSignaled) ++Released;
        });
    for (int Set = 1; Set <= 4; ++Set) {
        Event.SetEvent();
        ASSERT_TRUE(Eventually([&] { return Released.load() >= Set; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(Released.load(), Set);
    }
    for (auto& W : Waiters)
        W.join();
    EXPECT_EQ(Event.WaitFor(0), wrTimeout);
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    TEvent Event(true, false);
    std::atomic<int> Waiting{0}, Released{0};
    std::vector<std::thread> Waiters;
    for (int I = 0; I < 4; ++I)
        Waiters.emplace_back([&] {
            ++Waiting;
            if (Event.WaitFor(60000) == wrSignaled) ++Released;
        });
    ASSERT_TRUE(Eventually([&] { return Waiting.load() == 4; }));
    Event.SetEvent();
    for (auto& W : Waiters)
        W.join();
    EXPECT_EQ(Released.load(), 4);
    EXPECT_EQ(Event.WaitFor(0), wrSignaled);
}

TEST(Interlocked, ReturnValuesAndWrapAround) {
    std::int32_t V = 5;
    EXPECT_EQ(InterlockedIncrement(&V), 6);
    EXPECT_EQ(InterlockedDecrement(&V), 5);
    EXPECT_EQ(InterlockedExchange(&V, 9), 5);
    EXPECT_EQ(V, 9);
    EXPECT_EQ(InterlockedExchangeAdd(&V, -4), 9);
    EXPECT_EQ(V, 5);
    EXPECT_EQ(InterlockedCompareExchange(&V, 1, 4), 5); // no match: unchanged
    EXPECT_EQ(V, 5);
    EXPECT_EQ(InterlockedCompareExchange(&V, 1, 5), 5);
    EXPECT_EQ(V, 1);

    V = INT32_MAX;
    EXPECT_EQ(InterlockedIncrement(&V), INT32_MIN);
    EXPECT_EQ(InterlockedDecrement(&V), INT32_MAX);
    EXPECT_EQ(InterlockedExchangeAdd(&V, 2), INT32_MAX);
    EXPECT_EQ(V, INT32_MIN + 1);
}

} // namespace
