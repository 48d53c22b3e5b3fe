#include "platform/system/SyncObjs.h"

#include "platform/base/Exception.h"

#include <chrono>

void TCriticalSection::Acquire() {
    FLock.lock();
    FOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++FDepth;
}

bool TCriticalSection::TryEnter() {
    if (!FLock.try_lock()) return false;
    FOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++FDepth;
    return true;
}

void TCriticalSection::Release() {
    // Only the owner can see its own id here, so the check is race-free.
    if (FOwner.load(std::memory_order_relaxed) != std::this_thread::get_id())
        throw EThread("Critical section released by a thread that does not own it");
    if (--FDepth == 0) FOwner.store(std::thread::id(), std::memory_order_relaxed);
    FLock.unlock();
}

TEvent::TEvent(bool ManualReset, bool InitialState)
    : FManualReset(ManualReset), FSignaled(InitialState) {}

void TEvent::SetEvent() {
    // Notified under the lock: a waiter that wakes may destroy the event at
    // once, and must not do so while this call still uses it.
    std::lock_guard<std::mutex> Guard(FLock);
    FSignaled = true;
    ++FGeneration;
    if (FManualReset)
        FChanged.notify_all();
    else
        FChanged.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> Guard(FLock);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(unsigned TimeoutMs) {
    std::unique_lock<std::mutex> Guard(FLock);
    const std::uint64_t Start = FGeneration;
    auto Released = [&] { return FSignaled || (FManualReset && FGeneration != Start); };
    bool Got;
    if (TimeoutMs == INFINITE) {
        FChanged.wait(Guard, Released);
        Got = true;
    } else {
        Got = FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), Released);
    }
    if (!Got) return wrTimeout;
    if (!FManualReset) FSignaled = false;
    return wrSignaled;
}

namespace {
// Wrapping addition without signed overflow.
std::int32_t WrapAdd(std::int32_t A, std::int32_t B) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(A) + static_cast<std::uint32_t>(B));
}
} // namespace

std::int32_t InterlockedIncrement(std::int32_t* Target) {
    return WrapAdd(std::atomic_ref<std::int32_t>(*Target).fetch_add(1), 1);
}

std::int32_t InterlockedDecrement(std::int32_t* Target) {
    return WrapAdd(std::atomic_ref<std::int32_t>(*Target).fetch_sub(1), -1);
}

std::int32_t InterlockedExchange(std::int32_t* Target, std::int32_t Value) {
    return std::atomic_ref<std::int32_t>(*Target).exchange(Value);
}

std::int32_t InterlockedCompareExchange(std::int32_t* Target, std::int32_t Exchange,
                                        std::int32_t Comparand) {
    std::atomic_ref<std::int32_t>(*Target).compare_exchange_strong(Comparand, Exchange);
    return Comparand; // the value found, whether or not it was replaced
}

std::int32_t InterlockedExchangeAdd(std::int32_t* Target, std::int32_t Value) {
    return std::atomic_ref<std::int32_t>(*Target).fetch_add(Value);
}
