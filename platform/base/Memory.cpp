#include "platform/base/Memory.h"

#include <cstdlib> // defines __GLIBC__ with the C library's version
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
constexpr std::size_t LargePage = std::size_t{2} << 20;
}

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // The heap grows by 64 MiB more than asked (address space only: pages
    // are made when first written) and keeps that much when it shrinks, so
    // a freed frame's pages serve the next frame as they are.
    mallopt(M_TOP_PAD, 64 << 20);
#endif
}

void* AllocatePictureMemory(std::size_t Bytes) {
    if (Bytes < LargePage) return ::operator new(Bytes);
    void* p = nullptr;
    if (posix_memalign(&p, LargePage, Bytes) != 0) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    // Only a hint: without large pages the block works as any other.
    madvise(p, Bytes, MADV_HUGEPAGE);
#endif
    return p;
}

void FreePictureMemory(void* P, std::size_t Bytes) noexcept {
    if (Bytes < LargePage)
        ::operator delete(P);
    else
        std::free(P);
}
