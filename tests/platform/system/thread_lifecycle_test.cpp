// The life of a TThread: start, termination, OnTerminate, FreeOnTerminate,
// captured exceptions and destruction.
#include "platform/base/Exception.h"
#include "platform/system/SyncObjs.h"
#include "platform/system/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

class TBodyThread : public TThread {
public:
    TBodyThread(bool CreateSuspended, std::function<void(TBodyThread&)> Body)
        : TThread(CreateSuspended), FBody(std::move(Body)) {}
    ~TBodyThread() override { TerminateAndWait(); }
    using TThread::Terminated;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TBodyThread&)> FBody;
};

std::string MessageOf(std::exception_ptr E) {
    try {
        std::rethrow_exception(E);
    } catch (const Exception& X) {
        return std::string(X.ClassName()) + ": " + X.Message();
    } catch (...) {
        return "?";
    }
}

class ThreadLifecycle : public ::testing::Test {
protected:
    void SetUp() override { InitThreads(); }
};

TEST_F(ThreadLifecycle, CreatedSuspendedRunsOnlyAfterStart) {
    TEvent Ran(true, false);
    TThreadID SeenID = 0;
    TBodyThread Worker(true, [&](TBodyThread&) {
        SeenID = GetCurrentThreadId();
        Ran.SetEvent();
    });
    EXPECT_TRUE(Worker.Suspended());
    Worker.SetPriority(tpIdle);
    EXPECT_EQ(Worker.Priority(), tpIdle);
    EXPECT_EQ(Ran.WaitFor(50), wrTimeout);
    Worker.SetReturnValue(9);
    EXPECT_EQ(Worker.WaitFor(), 9); // nothing to wait for
    Worker.Start();
    EXPECT_FALSE(Worker.Suspended());
    EXPECT_THROW(Worker.Start(), EThread);
    EXPECT_NO_THROW(Worker.Resume());
    Worker.WaitFor();
    EXPECT_EQ(Ran.WaitFor(0), wrSignaled);
    EXPECT_NE(Worker.ThreadID(), 0u);
    EXPECT_EQ(SeenID, Worker.ThreadID());
    EXPECT_NE(SeenID, MainThreadID());
    EXPECT_THROW(Worker.SetSuspended(true), EThread);
}

TEST_F(ThreadLifecycle, CreatedRunningStartsOnceBuilt) {
    TEvent Ran(true, false);
    std::unique_ptr<TBodyThread> Worker(TThread::Create<TBodyThread>(false, [&](TBodyThread& Self) {
        Self.SetReturnValue(5);
        Ran.SetEvent();
    }));
    EXPECT_EQ(Worker->WaitFor(), 5);
    EXPECT_EQ(Ran.WaitFor(0), wrSignaled);
}

TEST_F(ThreadLifecycle, OnTerminateRunsOnTheMainThreadBeforeWaitForReturns) {
    std::string Log;
    TObject* Sender = nullptr;
    TThreadID RanOn = 0;
    TBodyThread Worker(true, [&](TBodyThread&) { Log += "execute;"; });
    Worker.OnTerminate = [&](TObject* S) {
        Sender = S;
        RanOn = GetCurrentThreadId();
        Log += "terminate;";
    };
    Worker.Start();
    Worker.WaitFor();
    EXPECT_EQ(Log, "execute;terminate;");
    EXPECT_EQ(Sender, &Worker);
    EXPECT_EQ(RanOn, MainThreadID());
}

TEST_F(ThreadLifecycle, ExceptionsLeavingExecuteOrOnTerminateAreKept) {
    TBodyThread Failing(true, [](TBodyThread& Self) {
        Self.SetReturnValue(3);
        throw EReadError("Stream read error");
    });
    Failing.Start();
    EXPECT_EQ(Failing.WaitFor(), 3);
    ASSERT_NE(Failing.FatalException(), nullptr);
    EXPECT_EQ(MessageOf(Failing.FatalException()), "EReadError: Stream read error");

    TBodyThread Handler(true, [](TBodyThread&) {});
    Handler.OnTerminate = [](TObject*) { throw EInvalidOperation("late"); };
    Handler.Start();
    Handler.WaitFor();
    EXPECT_EQ(MessageOf(Handler.FatalException()), "EInvalidOperation: late");
}

TEST_F(ThreadLifecycle, TerminateEndsAWaitingWorker) {
    class TWaiter : public TThread {
    public:
        TWaiter() : TThread(true) {}
        ~TWaiter() override { TerminateAndWait(); }
        TEvent Wake{false, false};

    protected:
        void Execute() override {
            while (!Terminated())
                Wake.WaitFor(INFINITE);
        }
        void TerminatedSet() override { Wake.SetEvent(); }
    };
    TWaiter Worker;
    Worker.Start();
    Worker.Terminate();
    EXPECT_TRUE(Worker.IsTerminated());
    Worker.WaitFor();
    EXPECT_TRUE(Worker.Finished());
    // Destroyed while waiting: the destructor must wake it to end it.
    auto Dropped = std::make_unique<TWaiter>();
    Dropped->Start();
    Dropped.reset();
}

class TQuickThread : public TThread {
public:
    TQuickThread() : TThread(true) {}

protected:
    void Execute() override {}
};

TEST_F(ThreadLifecycle, DestroyingAThreadServesItsPendingOnTerminate) {
    TEvent Queued(true, false);
    SetWakeMainThread([&] { Queued.SetEvent(); });
    bool Ran = false;
    auto Worker = std::make_unique<TQuickThread>();
    Worker->OnTerminate = [&](TObject*) { Ran = true; };
    Worker->Start();
    // The worker now waits in Synchronize for its OnTerminate; the
    // destructor must run it rather than wait for ever.
    ASSERT_EQ(Queued.WaitFor(60000), wrSignaled);
    SetWakeMainThread(nullptr);
    Worker.reset();
    EXPECT_TRUE(Ran);
}

TEST_F(ThreadLifecycle, WaitingForItselfIsRefused) {
    std::string Result;
    TBodyThread Worker(true, [&](TBodyThread& Self) {
        try {
            Self.WaitFor();
        } catch (const EThread&) {
            Result = "refused";
        }
        EXPECT_EQ(TThread::CurrentThread(), &Self);
        EXPECT_FALSE(TThread::CheckTerminated());
    });
    Worker.Start();
    Worker.WaitFor();
    EXPECT_EQ(Result, "refused");
    EXPECT_EQ(TThread::CurrentThread(), nullptr);
    EXPECT_THROW(TThread::CheckTerminated(), EThread);
}

std::atomic<int> FreedThreads{0};

class TSelfFreeing : public TThread {
public:
    explicit TSelfFreeing(TEvent& Gone) : TThread(true), FGone(Gone) { SetFreeOnTerminate(true); }
    ~TSelfFreeing() override {
        ++FreedThreads;
        FGone.SetEvent();
    }

protected:
    void Execute() override { Payload.assign(1000, 'x'); }

private:
    TEvent& FGone;
    std::string Payload; // a leak or a double free shows under the sanitizer
};

TEST_F(ThreadLifecycle, FreeOnTerminateDeletesTheThreadAfterOnTerminate) {
    FreedThreads = 0;
    TEvent Gone(true, false);
    bool Terminated = false;
    auto* Worker = new TSelfFreeing(Gone);
    Worker->OnTerminate = [&](TObject*) {
        EXPECT_EQ(FreedThreads.load(), 0);
        Terminated = true;
    };
    try {
        Worker->WaitFor();
        ADD_FAILURE() << "WaitFor accepted a thread that frees itself";
    } catch (const EThread& E) {
        EXPECT_EQ(E.Message(), "Cannot wait for a thread that frees itself");
    }
    Worker->Start();
    while (Gone.WaitFor(0) != wrSignaled)
        CheckSynchronize(10);
    EXPECT_TRUE(Terminated);
    EXPECT_EQ(FreedThreads.load(), 1);
}

} // namespace
