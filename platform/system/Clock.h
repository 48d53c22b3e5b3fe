#pragma once
// The system clocks the program reads: a monotonic millisecond tick (the
// 32-bit form wraps after about 49.7 days, callers subtract ticks with
// unsigned arithmetic), a high-resolution counter and a plain sleep.
//
// All ticks come from one monotonic source that tests may replace, so that
// code timing its own waits (the GIF painter's frame delays) can be checked
// without real waiting. Sleep and the waits of threads and events always use
// real time; only the values these functions report are replaced.
#include <cstdint>
#include <functional>

// Milliseconds of the monotonic clock (since the system started).
std::uint64_t GetTickCount64();
// The low 32 bits of GetTickCount64.
std::uint32_t GetTickCount();
// The multimedia timer: the same source and the same wrap as GetTickCount.
std::uint32_t timeGetTime();

// Blocks the calling thread for at least ms milliseconds; 0 only gives up
// the rest of the time slice.
void Sleep(unsigned ms);

// High-resolution counter in ticks of QueryPerformanceFrequency (always
// available here, so both return true; a null pointer returns false).
bool QueryPerformanceCounter(std::int64_t* Count);
bool QueryPerformanceFrequency(std::int64_t* Frequency);

// Replaces the millisecond source of every function above except Sleep
// (the performance counter then advances by Frequency / 1000 per ms).
// Thread-safe; nullptr restores the real clock.
void SetClockSourceForTesting(std::function<std::uint64_t()> msSource);
