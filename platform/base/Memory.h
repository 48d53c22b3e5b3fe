#pragma once
#include <cstddef>
#include <vector>

#include "platform/base/Types.h"

// How the process keeps the memory it frees. An export builds and frees
// hundreds of picture buffers of a few hundred KiB; by default the allocator
// hands the top of its heap back to the system as soon as it is free, and
// the next buffers then cost one page fault per 4 KiB on first touch. On a
// busy virtual machine those faults outweighed the export's own work (about
// two thousand per export of a 728 x 90 banner, two thirds of its build
// time), so the program keeps some freed memory for the next buffers.

// Keeps up to 64 MiB of freed heap for reuse instead of returning it to the
// system. Called once at start-up, before pictures are made; harmless
// elsewhere and where the allocator has no such setting.
void KeepFreedMemory();

// Picture-sized buffers (a bitmap's pixels, a picture file read whole) are
// made once and touched once, so kept memory does not help them: a block of
// 2 MiB or more starts on a 2 MiB boundary and asks the system for large
// pages, a few dozen faults for a 4000 x 3000 picture instead of thousands.
// Smaller blocks are ordinary allocations.
void* AllocatePictureMemory(std::size_t Bytes);
void FreePictureMemory(void* P, std::size_t Bytes) noexcept;

template <class T> struct TPictureAllocator {
    using value_type = T;
    TPictureAllocator() noexcept = default;
    template <class U> TPictureAllocator(const TPictureAllocator<U>&) noexcept {}
    T* allocate(std::size_t N) { return static_cast<T*>(AllocatePictureMemory(N * sizeof(T))); }
    void deallocate(T* P, std::size_t N) noexcept { FreePictureMemory(P, N * sizeof(T)); }
    template <class U> bool operator==(const TPictureAllocator<U>&) const noexcept { return true; }
};

// Bytes of a picture.
using TPictureBytes = std::vector<Byte, TPictureAllocator<Byte>>;
