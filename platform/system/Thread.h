#pragma once
// Worker threads and their synchronisation with the main (user-interface)
// thread.
//
// The main thread is the one that called InitThreads() or, when nobody did,
// the first thread other than a TThread worker that used the call queue
// (CheckSynchronize, Synchronize, Queue, TThread::WaitFor) or built a
// TThread. Workers hand calls to it through one process-wide FIFO queue:
// Synchronize waits for its call to run, Queue does not. The main thread
// runs the calls whenever it calls CheckSynchronize; the forms layer does so
// from its message loop after the WakeMainThread hook has posted it an
// event, and every wait of the main thread on a worker keeps serving the
// queue so that a worker waiting in Synchronize cannot deadlock it.
#include "platform/base/Object.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

using TThreadID = std::uint32_t;

// A small number naming the calling thread for the life of the process
// (never 0; a TThread's worker reports its ThreadID).
TThreadID GetCurrentThreadId();

// Makes the calling thread the main thread.
void InitThreads();
// The main thread's id, or 0 while no thread has become the main thread.
TThreadID MainThreadID();

// Runs, on the main thread, every queued call that is waiting, after
// waiting up to TimeoutMs for one to arrive when none is (a negative time-out
// waits for ever). Returns whether any call ran. An exception raised by a
// Queue call propagates to the caller (the calls behind it stay queued); one
// raised by a Synchronize call is handed to the worker. Raises EThread on
// any thread but the main thread.
bool CheckSynchronize(int TimeoutMs = 0);

// Called (on the queuing thread) every time a call is queued, so that the
// main thread's message loop can wake up and call CheckSynchronize. Pass an
// empty function to remove it.
void SetWakeMainThread(std::function<void()> Hook);

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// One worker thread running Execute once.
//
// Created suspended, the worker starts on Start (or Resume). Created
// running, it starts as soon as the object is fully built: a C++ base
// constructor cannot start a virtual Execute safely, so build such threads
// with TThread::Create<T>(...) or call AfterConstruction() at the end of the
// most-derived constructor.
//
// When Execute returns (an escaping exception is kept as FatalException),
// OnTerminate runs on the main thread through the queue, then the thread is
// finished; a FreeOnTerminate thread then deletes itself on its worker, and
// nobody else may delete it or wait for it. A thread never started never
// runs anything, not even OnTerminate.
//
// The destructor of a running thread terminates it and waits for it, serving
// the queue on the main thread. A C++ base destructor runs after the derived
// parts are gone, and the worker still calls Execute and DoTerminate through
// them: a derived class whose worker may still be running when it is
// destroyed calls TerminateAndWait() in its own destructor.
class TThread : public TObject {
public:
    QM_CLASSNAME(TThread)
    explicit TThread(bool CreateSuspended);
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    template <class T, class... Args> static T* Create(Args&&... args) {
        T* Thread = new T(std::forward<Args>(args)...);
        Thread->AfterConstruction();
        return Thread;
    }
    // Starts a thread created running; does nothing for one created suspended.
    void AfterConstruction();

    // Starts the worker. Raises EThread when it was already started.
    void Start();
    // Starts the worker when it has not been started; otherwise nothing.
    void Resume();
    // True until the worker has been started.
    bool Suspended() const { return !FStarted.load(); }
    void SetSuspended(bool Value);

    // Asks Execute to end; it must check Terminated() and leave.
    void Terminate();
    bool IsTerminated() const { return FTerminated.load(); }
    bool Finished() const { return FFinished.load(); }

    // Waits until the thread has finished and returns ReturnValue (at once for
    // a thread never started). On the main thread it keeps running queued
    // calls while it waits, and an exception of a Queue call leaves WaitFor.
    // Raises EThread for a FreeOnTerminate thread and from the thread itself
    // while it runs.
    int WaitFor();
    // Terminate, then wait as the destructor does: never raises (exceptions of
    // queued calls run meanwhile are dropped). For destructors of derived
    // classes; does nothing on the worker itself.
    void TerminateAndWait() noexcept;

    int ReturnValue() const { return FReturnValue.load(); }
    void SetReturnValue(int Value) { FReturnValue.store(Value); }
    bool FreeOnTerminate() const { return FFreeOnTerminate.load(); }
    void SetFreeOnTerminate(bool Value) { FFreeOnTerminate.store(Value); }
    // A hint only: the worker keeps the system's default priority.
    TThreadPriority Priority() const { return FPriority.load(); }
    void SetPriority(TThreadPriority Value) { FPriority.store(Value); }
    TThreadID ThreadID() const { return FThreadID; }
    // What escaped Execute (or OnTerminate), or null.
    std::exception_ptr FatalException() const;

    TNotifyEvent OnTerminate;

    // Runs Method on the main thread and waits until it has run; on the main
    // thread it runs at once. An exception from Method is raised again in the
    // caller. AThread (may be null) names the calling thread.
    static void Synchronize(TThread* AThread, std::function<void()> Method);
    // Hands Method to the main thread without waiting; on the main thread it
    // runs at once.
    static void Queue(TThread* AThread, std::function<void()> Method);
    // Drops the calls queued by AThread that have not run yet.
    static void RemoveQueuedEvents(TThread* AThread);
    // The TThread whose worker is calling, or null.
    static TThread* CurrentThread();
    // Whether the calling worker's thread was asked to end; raises EThread
    // when the caller is not a TThread worker.
    static bool CheckTerminated();

protected:
    virtual void Execute() = 0;
    // Runs OnTerminate; called on the worker after Execute.
    virtual void DoTerminate();
    // Called by Terminate after the flag is set (a worker waiting on an event
    // sets it here). Not called from ~TThread.
    virtual void TerminatedSet() {}

    bool Terminated() const { return FTerminated.load(); }
    void Synchronize(std::function<void()> Method) { Synchronize(this, std::move(Method)); }
    void Queue(std::function<void()> Method) { Queue(this, std::move(Method)); }

private:
    static void ThreadProc(TThread* Self);
    void WaitUntilFinished(bool Rethrow);
    void Join();

    const TThreadID FThreadID;
    bool FCreateSuspended;
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<int> FReturnValue{0};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::exception_ptr FFatalException; // written by the worker before FFinished

    std::mutex FLock; // guards FWorker and the finished signal
    std::condition_variable FFinishedSignal;
    std::thread FWorker;
};
