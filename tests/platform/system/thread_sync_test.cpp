// Calls handed from workers to the main thread: Synchronize, Queue and the
// loops that serve them.
#include "platform/base/Exception.h"
#include "platform/system/Clock.h"
#include "platform/system/SyncObjs.h"
#include "platform/system/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// A thread running a given body; it waits for its worker before its own
// members go away.
class TBodyThread : public TThread {
public:
    TBodyThread(std::function<void(TBodyThread&)> Body) : TThread(true), FBody(std::move(Body)) {}
    ~TBodyThread() override { TerminateAndWait(); }
    using TThread::Queue;
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TBodyThread&)> FBody;
};

// Serves the queue the way a wait loop of the main thread does.
void ServeUntilFinished(TThread& Thread) {
    while (!Thread.Finished())
        CheckSynchronize(10);
}

class ThreadSync : public ::testing::Test {
protected:
    void SetUp() override {
        InitThreads();
        while (CheckSynchronize()) {
        }
    }
};

TEST_F(ThreadSync, SynchronizeRunsOnMainThreadWhileItServesTheQueue) {
    const TThreadID Main = GetCurrentThreadId();
    std::vector<std::string> Log; // touched by one thread at a time
    TThreadID RanOn = 0;
    TBodyThread Worker([&](TBodyThread& Self) {
        Log.push_back("before");
        int Value = 0;
        Self.Synchronize([&] {
            RanOn = GetCurrentThreadId();
            Log.push_back("main");
            Value = 42;
        });
        Log.push_back("after " + std::to_string(Value));
        Self.SetReturnValue(Value + 1);
    });
    Worker.Start();
    ServeUntilFinished(Worker);
    EXPECT_EQ(Worker.WaitFor(), 43);
    EXPECT_EQ(RanOn, Main);
    EXPECT_NE(Worker.ThreadID(), Main);
    EXPECT_EQ(Log, (std::vector<std::string>{"before", "main", "after 42"}));
}

TEST_F(ThreadSync, ExceptionOfASynchronizedCallIsRaisedInTheWorker) {
    std::string Caught;
    TBodyThread Worker([&](TBodyThread& Self) {
        try {
            Self.Synchronize([] { throw EConvertError("'x' is not a valid integer value"); });
        } catch (const EConvertError& E) {
            Caught = std::string(E.ClassName()) + ": " + E.Message();
        }
    });
    Worker.Start();
    EXPECT_NO_THROW(ServeUntilFinished(Worker));
    Worker.WaitFor();
    EXPECT_EQ(Caught, "EConvertError: 'x' is not a valid integer value");
    EXPECT_EQ(Worker.FatalException(), nullptr);
}

TEST_F(ThreadSync, WaitForOnTheMainThreadServesSynchronizingWorkers) {
    int Calls = 0; // main thread only
    std::vector<std::unique_ptr<TBodyThread>> Workers;
    for (int I = 0; I < 4; ++I) {
        Workers.push_back(std::make_unique<TBodyThread>([&](TBodyThread& Self) {
            for (int K = 0; K < 50; ++K)
                Self.Synchronize([&] { ++Calls; });
            Self.SetReturnValue(7);
        }));
        Workers.back()->Start();
    }
    for (auto& W : Workers)
        EXPECT_EQ(W->WaitFor(), 7);
    EXPECT_EQ(Calls, 200);
}

TEST_F(ThreadSync, QueuedCallsRunInOrderAndDoNotBlockTheWorker) {
    std::vector<int> Order;
    TEvent AllQueued(true, false);
    TBodyThread Worker([&](TBodyThread& Self) {
        for (int I = 0; I < 100; ++I)
            Self.Queue([&Order, I] { Order.push_back(I); });
        AllQueued.SetEvent();
        Self.Synchronize([&] { Order.push_back(-1); });
    });
    Worker.Start();
    // Nothing serves the queue yet, so the worker got here without waiting.
    ASSERT_EQ(AllQueued.WaitFor(30000), wrSignaled);
    EXPECT_TRUE(Order.empty());
    Worker.WaitFor();
    ASSERT_EQ(Order.size(), 101u);
    for (int I = 0; I < 100; ++I)
        EXPECT_EQ(Order[I], I);
    EXPECT_EQ(Order.back(), -1);
}

TEST_F(ThreadSync, ExceptionOfAQueuedCallReachesTheServingLoop) {
    std::vector<std::string> Ran;
    TEvent Queued(true, false);
    TBodyThread Worker([&](TBodyThread& Self) {
        Self.Queue([&] {
            Ran.push_back("a");
            throw EReadError("Stream read error");
        });
        Self.Queue([&] { Ran.push_back("b"); });
        Queued.SetEvent();
    });
    Worker.Start();
    ASSERT_EQ(Queued.WaitFor(30000), wrSignaled);
    EXPECT_THROW(CheckSynchronize(), EReadError);
    EXPECT_EQ(Ran, std::vector<std::string>{"a"});
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_EQ(Ran, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(CheckSynchronize());
}

TEST_F(ThreadSync, DestroyingAThreadDropsItsPendingQueuedCalls) {
    bool OwnRan = false, AnonymousRan = false;
    {
        TBodyThread Worker([&](TBodyThread& Self) {
            Self.Queue([&] { OwnRan = true; });
            TThread::Queue(nullptr, [&] { AnonymousRan = true; });
        });
        Worker.Start();
        while (!Worker.Finished())
            Sleep(1);
    }
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_FALSE(OwnRan);
    EXPECT_TRUE(AnonymousRan);
}

TEST_F(ThreadSync, CallsQueuedDuringARoundWaitForTheNextOne) {
    // Otherwise a worker queuing steadily would keep the main thread inside
    // CheckSynchronize for ever.
    TEvent FirstRunning(true, false), SecondQueued(true, false);
    bool SecondRan = false;
    TBodyThread Worker([&](TBodyThread& Self) {
        Self.Queue([&] {
            FirstRunning.SetEvent();
            SecondQueued.WaitFor(60000);
        });
        FirstRunning.WaitFor(60000);
        Self.Queue([&] { SecondRan = true; });
        SecondQueued.SetEvent();
    });
    Worker.Start();
    EXPECT_TRUE(CheckSynchronize(60000));
    EXPECT_FALSE(SecondRan);
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_TRUE(SecondRan);
}

TEST_F(ThreadSync, OnTheMainThreadCallsRunAtOnce) {
    int Value = 0;
    TThread::Synchronize(nullptr, [&] { Value = 1; });
    EXPECT_EQ(Value, 1);
    TThread::Queue(nullptr, [&] { Value = 2; });
    EXPECT_EQ(Value, 2);
    EXPECT_THROW(TThread::Synchronize(nullptr, [] { throw EAbort("x"); }), EAbort);
    EXPECT_FALSE(CheckSynchronize());
}

TEST_F(ThreadSync, OnlyTheMainThreadMayServeTheQueue) {
    bool Raised = false;
    std::thread Other([&] {
        try {
            CheckSynchronize();
        } catch (const EThread&) {
            Raised = true;
        }
    });
    Other.join();
    EXPECT_TRUE(Raised);
    EXPECT_EQ(MainThreadID(), GetCurrentThreadId());
}

TEST_F(ThreadSync, CheckSynchronizeWaitsForACallAndWakesTheMainThread) {
    std::atomic<int> Wakes{0};
    SetWakeMainThread([&] { ++Wakes; });
    EXPECT_FALSE(CheckSynchronize(20));
    bool Ran = false;
    TBodyThread Worker([&](TBodyThread& Self) {
        Sleep(20);
        Self.Queue([&] { Ran = true; });
        Self.Queue([] {});
    });
    Worker.Start();
    EXPECT_TRUE(CheckSynchronize(60000));
    EXPECT_TRUE(Ran);
    Worker.WaitFor();
    SetWakeMainThread(nullptr);
    EXPECT_EQ(Wakes.load(), 2);
}

TEST_F(ThreadSync, CallsServedFromInsideACallRunOnce) {
    std::vector<std::string> Log;
    TEvent Queued(true, false);
    TBodyThread Worker([&](TBodyThread& Self) {
        Self.Queue([&] {
            Log.push_back("outer");
            CheckSynchronize();
            Log.push_back("outer end");
        });
        Self.Queue([&] { Log.push_back("second"); });
        Queued.SetEvent();
    });
    Worker.Start();
    ASSERT_EQ(Queued.WaitFor(30000), wrSignaled);
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_FALSE(CheckSynchronize());
    EXPECT_EQ(Log, (std::vector<std::string>{"outer", "second", "outer end"}));
}

} // namespace
