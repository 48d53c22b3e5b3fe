#include "syscomp/WorkerThread.h"

#include "SysTestSupport.h"
#include "platform/forms/Dialogs.h"

#include <atomic>

namespace {

using ThreadsTest = SysTempTest;

TEST_F(ThreadsTest, ComponentRunsOnExecuteThenTerminateAndFinishOnMainThread) {
    TSysThreadComponent c(nullptr);
    std::atomic<TThreadID> ranOn{0};
    std::vector<std::string> order;
    TThreadID terminateOn = 0;
    c.OnExecute = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &c);
        ranOn = GetCurrentThreadId();
    };
    c.OnFinish = [&](TObject*) { order.push_back("finish"); };
    c.OnTerminate = [&](TObject* Sender) {
        EXPECT_EQ(Sender, c.Thread());
        terminateOn = GetCurrentThreadId();
        order.push_back("terminate");
    };
    EXPECT_TRUE(c.Suspended());
    c.SetSuspended(false);
    ASSERT_TRUE(WaitUntil([&] { return order.size() == 2; }));
    EXPECT_NE(ranOn.load(), GetCurrentThreadId());
    EXPECT_EQ(terminateOn, GetCurrentThreadId());
    EXPECT_EQ(order, (std::vector<std::string>{"finish", "terminate"}));

    // Start runs the event again on a fresh thread.
    TSysEventThread* first = c.Thread();
    c.Start();
    EXPECT_NE(c.Thread(), first);
    ASSERT_TRUE(WaitUntil([&] { return order.size() == 4; }));
}

TEST_F(ThreadsTest, SynchronizedComponentRunsOnMainThread) {
    TSysThreadComponent c(nullptr);
    std::atomic<TThreadID> ranOn{0};
    c.OnExecute = [&](TObject*) { ranOn = GetCurrentThreadId(); };
    c.SetSynchronized(true);
    c.Start();
    ASSERT_TRUE(WaitUntil([&] { return ranOn != 0; }));
    EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
}

TEST_F(ThreadsTest, ExceptionsGoToOnExceptionOrAMessageBox) {
    TSysThreadComponent c(nullptr);
    c.SetName("Worker");
    c.OnExecute = [](TObject*) { throw EConvertError("bad value"); };
    std::atomic<int> seen{0};
    std::string text;
    c.OnException = [&](TObject* Sender, const std::exception& E) {
        text = E.what();
        seen = 1;
    };
    c.Start();
    ASSERT_TRUE(WaitUntil([&] { return seen == 1; }));
    EXPECT_EQ(text, "bad value");

    TScriptedDialogService dialogs;
    TDialogServiceScope scope(&dialogs);
    c.OnException = nullptr;
    c.Start();
    ASSERT_TRUE(WaitUntil([&] { return dialogs.Calls.size() == 1; }));
    EXPECT_EQ(dialogs.Calls[0].Text,
              "Thread Worker raised exception class EConvertError with message \"bad value\".");
    EXPECT_EQ(dialogs.Calls[0].Caption, SysApplicationTitle());
}

TEST_F(ThreadsTest, RestartEndsTheFormerRunAndDestructionTheLast) {
    std::atomic<int> started{0}, ended{0};
    {
        TSysThreadComponent c(nullptr);
        c.OnExecute = [&](TObject*) {
            ++started;
            while (!c.Terminated())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++ended;
        };
        c.Start();
        ASSERT_TRUE(WaitUntil([&] { return started == 1; }));
        c.Start(); // the first run sees its own thread end
        ASSERT_TRUE(WaitUntil([&] { return started == 2 && ended == 1; }));
    } // must not hang
    EXPECT_EQ(ended.load(), 2);
}

TEST_F(ThreadsTest, TimerTicksPausesAndResumes) {
    TSysThreadTimer t(nullptr);
    std::atomic<int> ticks{0};
    t.OnTimer() = [&](TObject*) { ++ticks; };
    t.SetInterval(10);
    EXPECT_FALSE(t.Enabled());
    Serve(60);
    EXPECT_EQ(ticks.load(), 0);
    t.SetEnabled(true);
    EXPECT_TRUE(t.Enabled());
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));
    t.SetEnabled(false);
    Serve(30); // a tick already under way may still land
    const int stopped = ticks.load();
    Serve(80);
    EXPECT_EQ(ticks.load(), stopped);
    t.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= stopped + 2; }));
}

TEST_F(ThreadsTest, TimerThreadIntervalChangeWakesTheWait) {
    TSysTimerThread t(true);
    std::atomic<int> ticks{0};
    t.SetOnExecute([&](TSysEventThread*) { ++ticks; });
    t.SetInterval(60000);
    t.Start();
    Serve(30);
    EXPECT_EQ(ticks.load(), 0);
    t.SetInterval(5);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 2; }, 2000));
}

TEST_F(ThreadsTest, IntegerSynchronizeRefusesNesting) {
    TSysThreadComponent c(nullptr);
    int got = 0;
    std::string nested;
    c.Synchronize(
        [&](int v) {
            got = v;
            try {
                c.Synchronize([](int) {}, 2);
            } catch (const EThread& e) {
                nested = e.Message();
            }
        },
        41);
    EXPECT_EQ(got, 41);
    EXPECT_FALSE(nested.empty());
    c.Synchronize([&](int v) { got = v; }, 7); // usable again afterwards
    EXPECT_EQ(got, 7);
}

} // namespace
