#pragma once
// Raw access to the processor identification instruction. Every caller that
// decodes leaves (the raster engine's feature choice, the system library's
// processor record) reads them through here. Off x86 the instruction is
// absent: CpuidAvailable is false and every read returns zeros.
#include <cstdint>

struct TCpuidRegs {
    std::uint32_t EAX = 0;
    std::uint32_t EBX = 0;
    std::uint32_t ECX = 0;
    std::uint32_t EDX = 0;
};

// True when the processor has the identification instruction (the ID bit of
// the flags register can be toggled).
bool CpuidAvailable();

// The registers of one leaf and sub-leaf, read as they are. Callers check
// the highest leaf first: a leaf beyond it returns unrelated data.
TCpuidRegs Cpuid(std::uint32_t Leaf, std::uint32_t SubLeaf = 0);

// The highest leaf of the range that starts at Base (0 for the standard
// leaves, 0x80000000 for the extended ones); 0 without the instruction.
std::uint32_t CpuidMaxLeaf(std::uint32_t Base);

// The system saves the SSE and AVX register state (OSXSAVE is set and the
// extended control register enables both), the condition for using AVX.
bool OsSavesAvxState();

// The same for the mask registers and the 512-bit registers, the condition
// for using AVX-512.
bool OsSavesAvx512State();
