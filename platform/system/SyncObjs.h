#pragma once
// Synchronisation objects shared between threads: a recursive critical
// section, events with manual or automatic reset, and the interlocked
// integer helpers. None of them is named or shared across processes.
#include "platform/base/Object.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A time-out meaning "wait for ever".
inline constexpr unsigned INFINITE = 0xFFFFFFFFu;

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TSynchroObject : public TObject {
public:
    QM_CLASSNAME(TSynchroObject)
    virtual void Acquire() {}
    virtual void Release() {}
};

// Recursive: the owning thread may enter again and must leave as often as
// it entered. Leaving a section the caller does not hold raises EThread
// instead of corrupting the lock. Also usable with std::lock_guard.
class TCriticalSection : public TSynchroObject {
public:
    QM_CLASSNAME(TCriticalSection)
    TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Acquire() override;
    void Release() override;
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    bool TryEnter();

    void lock() { Acquire(); }
    void unlock() { Release(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex FLock;
    std::atomic<std::thread::id> FOwner{};
    int FDepth = 0; // touched only by the owner
};

// A signal threads wait for. A manual-reset event stays signalled until
// ResetEvent and releases every waiter, including those that had not yet
// woken when it was reset again; an automatic-reset event releases exactly
// one waiter per SetEvent and is unsignalled again by that release.
// Only wrSignaled and wrTimeout are ever returned: there is no owner to
// abandon it, and destroying an event while a thread waits on it is an
// error of the caller.
class TEvent : public TSynchroObject {
public:
    QM_CLASSNAME(TEvent)
    // Manual reset, not signalled.
    TEvent() : TEvent(true, false) {}
    TEvent(bool ManualReset, bool InitialState);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(unsigned TimeoutMs = INFINITE);

    void Acquire() override { WaitFor(INFINITE); }
    void Release() override { SetEvent(); }
    bool ManualReset() const { return FManualReset; }

private:
    const bool FManualReset;
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FSignaled;
    // Counts SetEvent calls so that waiters released by a manual-reset
    // event still leave when it is reset before they run.
    std::uint64_t FGeneration = 0;
};

// A manual-reset event that starts unsignalled.
class TSimpleEvent : public TEvent {
public:
    QM_CLASSNAME(TSimpleEvent)
    TSimpleEvent() : TEvent(true, false) {}
};

// Atomic operations on a 32-bit integer that other threads also change
// through these helpers. Overflow wraps around. Increment and Decrement
// return the new value; Exchange, CompareExchange and ExchangeAdd return the
// value held before the call. CompareExchange stores Exchange only when the
// target equals Comparand.
std::int32_t InterlockedIncrement(std::int32_t* Target);
std::int32_t InterlockedDecrement(std::int32_t* Target);
std::int32_t InterlockedExchange(std::int32_t* Target, std::int32_t Value);
std::int32_t InterlockedCompareExchange(std::int32_t* Target, std::int32_t Exchange,
                                        std::int32_t Comparand);
std::int32_t InterlockedExchangeAdd(std::int32_t* Target, std::int32_t Value);
