#include "platform/system/Cpu.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define QM_HAVE_CPUID 1
#else
#define QM_HAVE_CPUID 0
#endif

bool CpuidAvailable() {
#if QM_HAVE_CPUID
    // __get_cpuid_max performs the flags-register test on processors that
    // may lack the instruction and answers 0 there.
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return false;
#endif
}

TCpuidRegs Cpuid(std::uint32_t Leaf, std::uint32_t SubLeaf) {
    TCpuidRegs r;
#if QM_HAVE_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(Leaf, SubLeaf, a, b, c, d);
    r.EAX = a;
    r.EBX = b;
    r.ECX = c;
    r.EDX = d;
#else
    (void)Leaf;
    (void)SubLeaf;
#endif
    return r;
}

std::uint32_t CpuidMaxLeaf(std::uint32_t Base) {
#if QM_HAVE_CPUID
    if (!CpuidAvailable()) return 0;
    return __get_cpuid_max(Base, nullptr);
#else
    (void)Base;
    return 0;
#endif
}

namespace {
// The register states the system saves (the low word of the extended
// control register), or 0 when it does not manage them (no OSXSAVE).
std::uint32_t SavedStates() {
#if QM_HAVE_CPUID
    if (CpuidMaxLeaf(0) < 1) return 0;
    const std::uint32_t osxsave = 1u << 27, avx = 1u << 28;
    if ((Cpuid(1).ECX & (osxsave | avx)) != (osxsave | avx)) return 0;
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    return xcr0Low;
#else
    return 0;
#endif
}
} // namespace

bool OsSavesAvxState() {
    return (SavedStates() & 6) == 6;
}

bool OsSavesAvx512State() {
    // SSE and AVX state, plus the mask registers and both halves of the
    // 512-bit registers.
    return (SavedStates() & 0xE6) == 0xE6;
}
