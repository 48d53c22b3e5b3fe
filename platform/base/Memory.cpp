#include "platform/base/Memory.h"

#include <cstdlib> // defines __GLIBC__ with the C library's version

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // The heap grows by 64 MiB more than asked (address space only: pages
    // are made when first written) and keeps that much when it shrinks, so
    // a freed frame's pages serve the next frame as they are.
    mallopt(M_TOP_PAD, 64 << 20);
#endif
}
