#include "platform/system/Clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using TSource = std::function<std::uint64_t()>;

constexpr std::int64_t CounterFrequency = 1'000'000'000; // nanoseconds

// The replacement lives on the heap and is never destroyed at exit, so a
// thread still reading the clock during shutdown never sees a dead object.
std::atomic<bool> SourceReplaced{false};
std::mutex& SourceLock() {
    static std::mutex* Lock = new std::mutex;
    return *Lock;
}
TSource*& SourceSlot() {
    static TSource* Slot = nullptr;
    return Slot;
}

std::uint64_t ReplacedMilliseconds() {
    TSource Source;
    {
        std::lock_guard<std::mutex> Guard(SourceLock());
        if (SourceSlot()) Source = *SourceSlot();
    }
    // Called outside the lock: a source may itself read the clock.
    return Source ? Source() : 0;
}

std::chrono::steady_clock::duration SinceEpoch() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

} // namespace

std::uint64_t GetTickCount64() {
    if (SourceReplaced.load(std::memory_order_acquire)) return ReplacedMilliseconds();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SinceEpoch()).count());
}

std::uint32_t GetTickCount() {
    return static_cast<std::uint32_t>(GetTickCount64());
}

std::uint32_t timeGetTime() {
    return static_cast<std::uint32_t>(GetTickCount64());
}

void Sleep(unsigned ms) {
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool QueryPerformanceCounter(std::int64_t* Count) {
    if (!Count) return false;
    if (SourceReplaced.load(std::memory_order_acquire))
        *Count = static_cast<std::int64_t>(ReplacedMilliseconds() *
                                           static_cast<std::uint64_t>(CounterFrequency / 1000));
    else
        *Count = static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(SinceEpoch()).count());
    return true;
}

bool QueryPerformanceFrequency(std::int64_t* Frequency) {
    if (!Frequency) return false;
    *Frequency = CounterFrequency;
    return true;
}

void SetClockSourceForTesting(std::function<std::uint64_t()> msSource) {
    std::lock_guard<std::mutex> Guard(SourceLock());
    delete SourceSlot();
    SourceSlot() = msSource ? new TSource(std::move(msSource)) : nullptr;
    SourceReplaced.store(SourceSlot() != nullptr, std::memory_order_release);
}
