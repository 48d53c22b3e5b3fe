#pragma once
// Memory of picture-sized buffers (pixels of a bitmap, a picture file read
// whole). A block of 2 MB or more starts on a 2 MB boundary and asks the
// system for large pages: the first touch of each ordinary 4 KB page costs a
// page fault, and for a 4000 x 3000 picture those thousands of faults took
// longer than reading and converting the pixels. Smaller blocks are ordinary
// allocations.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#include "platform/base/Types.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace picturememory {

inline constexpr std::size_t LargePage = std::size_t{2} << 20;

inline void* Allocate(std::size_t Bytes) {
    if (Bytes < LargePage) return ::operator new(Bytes);
    void* p = nullptr;
    if (posix_memalign(&p, LargePage, Bytes) != 0) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    // Only a hint: without large pages the block works as any other.
    madvise(p, Bytes, MADV_HUGEPAGE);
#endif
    return p;
}

inline void Free(void* P, std::size_t Bytes) noexcept {
    if (Bytes < LargePage)
        ::operator delete(P);
    else
        std::free(P);
}

} // namespace picturememory

template <class T> struct TPictureAllocator {
    using value_type = T;
    TPictureAllocator() noexcept = default;
    template <class U> TPictureAllocator(const TPictureAllocator<U>&) noexcept {}
    T* allocate(std::size_t N) { return static_cast<T*>(picturememory::Allocate(N * sizeof(T))); }
    void deallocate(T* P, std::size_t N) noexcept { picturememory::Free(P, N * sizeof(T)); }
    template <class U> bool operator==(const TPictureAllocator<U>&) const noexcept { return true; }
};

// Bytes of a picture.
using TPictureBytes = std::vector<Byte, TPictureAllocator<Byte>>;
