#pragma once
// Worker threads of the system components and the components over them.
//
// TSysThread adds a finish event (run on the main thread) to the class
// library's thread; TSysEventThread runs a callback once, on itself or
// synchronised with the main thread; TSysTimerThread runs it every Interval
// milliseconds until terminated, and can be paused and resumed any number of
// times (a started thread of the class library cannot be suspended again).
//
// TSysThreadComponent runs OnExecute on its thread; Start runs it again on a
// fresh thread. A thread cannot be killed on this system: a thread replaced
// by Start is told to terminate and no longer calls the component's handlers
// once its current run is over; the component waits for every thread it
// started before it is destroyed, so a long OnExecute must check
// Terminated().
#include "platform/base/Exception.h"
#include "platform/system/SyncObjs.h"
#include "platform/system/Thread.h"
#include "syscomp/SysComponent.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TSysThread : public TThread {
public:
    QM_CLASSNAME(TSysThread)
    explicit TSysThread(bool CreateSuspended) : TThread(CreateSuspended) {}
    ~TSysThread() override;

    // Set when the worker has ended (before OnFinish runs).
    bool IsFinished() const { return FSysFinished.load(); }
    // Set before the thread starts; runs synchronised with the main thread.
    TNotifyEvent OnFinish;

    using TThread::Terminated;

protected:
    void Execute() override {}
    void DoTerminate() override;

private:
    std::atomic<bool> FSysFinished{false};
};

class TSysEventThread;
using TSysThreadExecuteEvent = std::function<void(TSysEventThread* Thread)>;

class TSysEventThread : public TSysThread {
public:
    QM_CLASSNAME(TSysEventThread)
    explicit TSysEventThread(bool CreateSuspended) : TSysThread(CreateSuspended) {}
    ~TSysEventThread() override;

    // Safe to change while the thread runs.
    void SetOnExecute(TSysThreadExecuteEvent Value);
    bool Synchronized() const { return FSynchronized.load(); }
    void SetSynchronized(bool Value) { FSynchronized.store(Value); }

protected:
    void Execute() override { RunCallback(); }
    // Runs the callback once unless terminated.
    void RunCallback();

private:
    std::mutex FLock;
    TSysThreadExecuteEvent FOnExecute;
    std::atomic<bool> FSynchronized{false};
};

class TSysTimerThread : public TSysEventThread {
public:
    QM_CLASSNAME(TSysTimerThread)
    explicit TSysTimerThread(bool CreateSuspended) : TSysEventThread(CreateSuspended) {}
    ~TSysTimerThread() override;

    unsigned Interval() const { return FInterval.load(); }
    // Restarts the current wait with the new interval.
    void SetInterval(unsigned Value);
    bool Paused() const { return FPaused.load(); }
    void SetPaused(bool Value);

protected:
    void Execute() override;
    void TerminatedSet() override { FWake.SetEvent(); }

private:
    std::atomic<unsigned> FInterval{1000};
    std::atomic<bool> FPaused{false};
    TEvent FWake{false, false};
};

using TSysThreadExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TSysCustomThreadComponent : public TSysComponent {
public:
    QM_CLASSNAME(TSysCustomThreadComponent)
    explicit TSysCustomThreadComponent(TComponent* AOwner);
    ~TSysCustomThreadComponent() override;

    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority Value);
    int ReturnValue() const;
    void SetReturnValue(int Value);
    // True until the current thread was started.
    bool Suspended() const;
    // false starts the current thread; true is only stored while loading or
    // designing (a started thread cannot be suspended).
    void SetSuspended(bool Value);
    bool Synchronized() const { return FSynchronized; }
    void SetSynchronized(bool Value);

    // A fresh suspended thread replaces the current one.
    void Restart();
    // Restart, then run it.
    void Start();
    // The current thread (null at design time).
    TSysEventThread* Thread() const { return FThread.get(); }
    // Whether the thread running OnExecute was asked to end (called from
    // elsewhere: the current thread).
    bool Terminated() const;

    // Runs Method on the main thread and waits for it.
    void Synchronize(const std::function<void()>& Method);
    // The same with one integer argument; raises EThread when called again
    // while one such call is in flight.
    void Synchronize(const std::function<void(int)>& Method, int Argument);

    void Loaded() override;

    TNotifyEvent OnExecute;
    TSysThreadExceptionEvent OnException;
    // Sender is the thread; both run on the main thread.
    TNotifyEvent OnTerminate;
    TNotifyEvent OnFinish;

protected:
    virtual std::unique_ptr<TSysEventThread> NewThread();
    // Runs on the thread: OnExecute, exceptions to HandleException.
    virtual void DoExecute(TSysEventThread* Thread);
    virtual void HandleException(const std::exception& E);
    // Builds the first thread; called by the constructors of the classes
    // that make threads.
    void CreateThread();
    void ConfigureThread(TSysEventThread* Thread);

    std::unique_ptr<TSysEventThread> FThread;
    std::vector<std::unique_ptr<TSysEventThread>> FRetired;
    TThreadPriority FPriority = tpNormal;
    bool FSuspended = true;
    bool FSynchronized = false;
    std::atomic<bool> FSyncInFlight{false};

private:
    void RetireThreads();
};

class TSysThreadComponent : public TSysCustomThreadComponent {
public:
    QM_CLASSNAME(TSysThreadComponent)
    explicit TSysThreadComponent(TComponent* AOwner);
};

class TSysCustomThreadTimer : public TSysCustomThreadComponent {
public:
    QM_CLASSNAME(TSysCustomThreadTimer)
    explicit TSysCustomThreadTimer(TComponent* AOwner);
    ~TSysCustomThreadTimer() override;

    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned Value);
    // The thread runs (the inverse of its suspended state).
    bool Enabled() const;
    void SetEnabled(bool Value);

    void Loaded() override;

    // The timer's event (OnExecute by another name).
    TNotifyEvent& OnTimer() { return OnExecute; }

protected:
    std::unique_ptr<TSysEventThread> NewThread() override;
    TSysTimerThread* Timer() const { return static_cast<TSysTimerThread*>(FThread.get()); }

    unsigned FInterval = 1000;
    bool FEnabled = false;
};

class TSysThreadTimer : public TSysCustomThreadTimer {
public:
    QM_CLASSNAME(TSysThreadTimer)
    using TSysCustomThreadTimer::TSysCustomThreadTimer;
};

// The text of the box shown for an exception nobody handled on a thread.
std::string SysThreadExceptionText(const std::string& ComponentName, const std::exception& E);
