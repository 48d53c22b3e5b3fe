#include "platform/system/Thread.h"

#include "platform/base/Exception.h"

#include <chrono>
#include <deque>
#include <memory>
#include <system_error>

namespace {

struct TSyncRequest {
    std::function<void()> Method;
    TThread* Thread = nullptr;
    bool Synchronous = false;
    std::uint64_t Sequence = 0;
    bool Done = false; // Synchronous only, guarded by the queue lock
    std::exception_ptr Error;
};

struct TSyncQueue {
    std::mutex Lock;
    // Signalled when a call is queued and when a worker finishes, the two
    // things a waiting main thread wakes up for.
    std::condition_variable Arrived;
    // Signalled when a synchronous call has run.
    std::condition_variable Completed;
    std::deque<std::shared_ptr<TSyncRequest>> Calls;
    std::uint64_t NextSequence = 1;

    std::mutex HookLock;
    std::function<void()> WakeHook;
};

// Built on first use and never destroyed: workers may still queue calls
// while the process shuts down.
TSyncQueue& SyncQueue() {
    static TSyncQueue* Queue = new TSyncQueue;
    return *Queue;
}

std::atomic<TThreadID> MainThread{0};
std::atomic<TThreadID> LastThreadID{0};
thread_local TThreadID CurrentID = 0;
thread_local TThread* CurrentWorker = nullptr;

TThreadID NewThreadID() {
    return LastThreadID.fetch_add(1) + 1;
}

// The caller becomes the main thread when there is none yet and it is not
// a worker. Returns whether the caller is the main thread.
bool ClaimMainThread() {
    const TThreadID Self = GetCurrentThreadId();
    TThreadID Current = MainThread.load();
    if (Current == 0 && CurrentWorker == nullptr) {
        MainThread.compare_exchange_strong(Current, Self);
        Current = MainThread.load();
    }
    return Current == Self;
}

void WakeMainThread() {
    TSyncQueue& Q = SyncQueue();
    std::function<void()> Hook;
    {
        std::lock_guard<std::mutex> Guard(Q.HookLock);
        Hook = Q.WakeHook;
    }
    if (Hook) Hook();
}

std::shared_ptr<TSyncRequest> Enqueue(TThread* AThread, std::function<void()> Method,
                                      bool Synchronous) {
    auto Request = std::make_shared<TSyncRequest>();
    Request->Method = std::move(Method);
    Request->Thread = AThread;
    Request->Synchronous = Synchronous;
    TSyncQueue& Q = SyncQueue();
    {
        std::lock_guard<std::mutex> Guard(Q.Lock);
        Request->Sequence = Q.NextSequence++;
        Q.Calls.push_back(Request);
    }
    Q.Arrived.notify_all();
    WakeMainThread();
    return Request;
}

// Runs, one at a time and in order, the calls queued up to Last. Calls are
// taken off the shared queue one by one so that a call which itself serves
// the queue (a nested wait) keeps the order, and calls queued meanwhile wait
// for the next round instead of keeping this one going for ever.
bool RunQueuedCalls(std::uint64_t Last, bool Rethrow) {
    TSyncQueue& Q = SyncQueue();
    bool Ran = false;
    for (;;) {
        std::shared_ptr<TSyncRequest> Request;
        {
            std::lock_guard<std::mutex> Guard(Q.Lock);
            if (Q.Calls.empty() || Q.Calls.front()->Sequence > Last) break;
            Request = std::move(Q.Calls.front());
            Q.Calls.pop_front();
        }
        Ran = true;
        if (Request->Synchronous) {
            try {
                Request->Method();
            } catch (...) {
                Request->Error = std::current_exception();
            }
            {
                // Our reference goes before the worker may look: the worker
                // is then the one that releases the request and its exception.
                std::lock_guard<std::mutex> Guard(Q.Lock);
                Request->Done = true;
                Request.reset();
            }
            Q.Completed.notify_all();
        } else if (Rethrow) {
            Request->Method();
        } else {
            try {
                Request->Method();
            } catch (...) {
                // Nobody to report to while a thread object is being destroyed.
            }
        }
    }
    return Ran;
}

std::uint64_t LastQueuedLocked(const TSyncQueue& Q) {
    return Q.Calls.empty() ? 0 : Q.Calls.back()->Sequence;
}

} // namespace

TThreadID GetCurrentThreadId() {
    if (CurrentID == 0) CurrentID = NewThreadID();
    return CurrentID;
}

void InitThreads() {
    MainThread.store(GetCurrentThreadId());
}

TThreadID MainThreadID() {
    return MainThread.load();
}

bool CheckSynchronize(int TimeoutMs) {
    if (!ClaimMainThread())
        throw EThread("CheckSynchronize called from a thread that is not the main thread");
    TSyncQueue& Q = SyncQueue();
    std::uint64_t Last;
    {
        std::unique_lock<std::mutex> Guard(Q.Lock);
        auto HasCalls = [&] { return !Q.Calls.empty(); };
        if (TimeoutMs < 0)
            Q.Arrived.wait(Guard, HasCalls);
        else if (TimeoutMs > 0)
            Q.Arrived.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), HasCalls);
        if (Q.Calls.empty()) return false;
        Last = LastQueuedLocked(Q);
    }
    return RunQueuedCalls(Last, true);
}

void SetWakeMainThread(std::function<void()> Hook) {
    TSyncQueue& Q = SyncQueue();
    std::lock_guard<std::mutex> Guard(Q.HookLock);
    Q.WakeHook = std::move(Hook);
}

// ---------------------------------------------------------------------------

TThread::TThread(bool CreateSuspended)
    : FThreadID(NewThreadID()), FCreateSuspended(CreateSuspended) {
    ClaimMainThread();
}

TThread::~TThread() {
    const bool OnOwnWorker = CurrentWorker == this;
    if (FStarted.load() && !OnOwnWorker) {
        FTerminated.store(true);
        WaitUntilFinished(false);
    }
    {
        std::lock_guard<std::mutex> Guard(FLock);
        if (OnOwnWorker && FWorker.joinable()) FWorker.detach();
    }
    RemoveQueuedEvents(this);
}

void TThread::AfterConstruction() {
    if (!FCreateSuspended && !FStarted.load()) Start();
}

void TThread::Start() {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FStarted.exchange(true)) throw EThread("Cannot start a thread that was already started");
    try {
        FWorker = std::thread(&TThread::ThreadProc, this);
    } catch (const std::system_error& E) {
        FStarted.store(false);
        throw EThread(std::string("Cannot create a thread: ") + E.what());
    }
}

void TThread::Resume() {
    if (!FStarted.load()) {
        try {
            Start();
        } catch (const EThread&) {
            // Started meanwhile by another thread: nothing left to do.
        }
    }
}

void TThread::SetSuspended(bool Value) {
    if (!Value)
        Resume();
    else if (FStarted.load())
        throw EThread("Cannot suspend a thread that was started");
}

void TThread::Terminate() {
    FTerminated.store(true);
    TerminatedSet();
}

std::exception_ptr TThread::FatalException() const {
    return FFinished.load() ? FFatalException : nullptr;
}

int TThread::WaitFor() {
    if (CurrentWorker == this) {
        // The destructor of a thread that frees itself runs on its worker.
        if (FFinished.load()) return FReturnValue.load();
        throw EThread("A thread cannot wait for itself");
    }
    // A thread that frees itself may be gone before the wait ends.
    if (FFreeOnTerminate.load()) throw EThread("Cannot wait for a thread that frees itself");
    if (FStarted.load()) WaitUntilFinished(true);
    return FReturnValue.load();
}

void TThread::TerminateAndWait() noexcept {
    if (!FStarted.load() || CurrentWorker == this) return;
    Terminate();
    WaitUntilFinished(false);
}

void TThread::WaitUntilFinished(bool Rethrow) {
    if (ClaimMainThread()) {
        TSyncQueue& Q = SyncQueue();
        for (;;) {
            std::uint64_t Last;
            {
                std::unique_lock<std::mutex> Guard(Q.Lock);
                Q.Arrived.wait(Guard, [&] { return FFinished.load() || !Q.Calls.empty(); });
                if (FFinished.load()) break;
                Last = LastQueuedLocked(Q);
            }
            RunQueuedCalls(Last, Rethrow);
        }
    } else {
        std::unique_lock<std::mutex> Guard(FLock);
        FFinishedSignal.wait(Guard, [&] { return FFinished.load(); });
    }
    Join();
}

void TThread::Join() {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FWorker.joinable()) FWorker.join();
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::ThreadProc(TThread* Self) {
    CurrentID = Self->FThreadID;
    CurrentWorker = Self;
    try {
        if (!Self->FTerminated.load()) Self->Execute();
    } catch (...) {
        Self->FFatalException = std::current_exception();
    }
    try {
        Self->DoTerminate();
    } catch (...) {
        if (!Self->FFatalException) Self->FFatalException = std::current_exception();
    }
    if (Self->FFreeOnTerminate.load()) {
        Self->FFinished.store(true);
        delete Self;
        CurrentWorker = nullptr;
        return;
    }
    {
        std::lock_guard<std::mutex> Guard(Self->FLock);
        Self->FFinished.store(true);
    }
    Self->FFinishedSignal.notify_all();
    // Wakes a main thread waiting for this worker; from here on the object
    // may be destroyed by the thread that joins us, so Self is not touched.
    TSyncQueue& Q = SyncQueue();
    { std::lock_guard<std::mutex> Guard(Q.Lock); }
    Q.Arrived.notify_all();
}

void TThread::Synchronize(TThread* AThread, std::function<void()> Method) {
    if (!Method) return;
    if (CurrentWorker == nullptr && ClaimMainThread()) {
        Method();
        return;
    }
    auto Request = Enqueue(AThread, std::move(Method), true);
    TSyncQueue& Q = SyncQueue();
    {
        std::unique_lock<std::mutex> Guard(Q.Lock);
        Q.Completed.wait(Guard, [&] { return Request->Done; });
    }
    if (Request->Error) std::rethrow_exception(Request->Error);
}

void TThread::Queue(TThread* AThread, std::function<void()> Method) {
    if (!Method) return;
    if (CurrentWorker == nullptr && ClaimMainThread()) {
        Method();
        return;
    }
    Enqueue(AThread, std::move(Method), false);
}

void TThread::RemoveQueuedEvents(TThread* AThread) {
    TSyncQueue& Q = SyncQueue();
    std::lock_guard<std::mutex> Guard(Q.Lock);
    std::erase_if(Q.Calls, [&](const std::shared_ptr<TSyncRequest>& Request) {
        return !Request->Synchronous && Request->Thread == AThread;
    });
}

TThread* TThread::CurrentThread() {
    return CurrentWorker;
}

bool TThread::CheckTerminated() {
    if (!CurrentWorker) throw EThread("The calling thread is not a TThread");
    return CurrentWorker->Terminated();
}
