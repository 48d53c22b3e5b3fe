#pragma once
// The running system's version class, a few system facts read at start-up,
// and the processor record read with the identification instruction.
//
// This platform describes itself to the classification as a fixed record
// (PlatformVersionDescription): the NT family, version 6.1, a 64-bit
// workstation. That is the newest system the classification knows, and the
// one whose behaviour matches ours: wide-character system services, named
// objects checked by the system rather than by the caller, no copy-on-write
// restriction on shared memory. The program only ever asks for the version
// class; nothing displays it.
#include "platform/system/Cpu.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

enum TWindowsVersion : std::uint8_t {
    wvUnknown,
    wvWin95,
    wvWin95OSR2,
    wvWin98,
    wvWin98SE,
    wvWinME,
    wvWinNT31,
    wvWinNT35,
    wvWinNT351,
    wvWinNT4,
    wvWin2000,
    wvWinXP,
    wvWin2003,
    wvWinXP64,
    wvWin2003R2,
    wvWinVista,
    wvWinServer2008,
    wvWin7,
    wvWinServer2008R2,
};
inline constexpr int WindowsVersionCount = wvWinServer2008R2 + 1;

inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1; // the 9x family
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;
inline constexpr std::uint8_t VER_NT_WORKSTATION = 1;

// What the classification looks at.
struct TOSVersionDescription {
    std::uint32_t PlatformId = 0;
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::string ServicePack; // the service text as the system gives it
    std::uint8_t ProductType = 0;
    bool NativeX86 = true;         // native processor architecture is 32-bit x86
    bool ServerR2 = false;         // the "server R2" system metric is set
    std::uint32_t KernelMajor = 0; // product version of the kernel library (9x only)
    std::uint32_t KernelMinor = 0;
};

// The fixed description of this platform (see the top of this file).
TOSVersionDescription PlatformVersionDescription();

TWindowsVersion ClassifyWindowsVersion(const TOSVersionDescription& Description);
// The class of this platform, as of the start-up facts.
TWindowsVersion ClassifyWindowsVersion();

// Process facts filled once by InitSysInfo (and on first use).
struct TSystemFacts {
    std::uint32_t AllocationGranularity = 0; // the page size: mappings align to pages here
    std::uint32_t PageSize = 0;
    std::uint32_t ProcessorCount = 1;
    bool IsWinNT = false;
    std::uint32_t KernelProductVersion = 0; // major << 16 | minor; 0 on NT
    std::array<bool, WindowsVersionCount> IsVersion{};
    bool IsWinNT3 = false;  // any NT 3.x
    bool IsWinNT35 = false; // NT 3.51
};

const TSystemFacts& SystemFacts();
void InitSysInfo();

enum TCpuVendor : std::uint8_t { cvUnknown, cvIntel, cvCyrix, cvAMD, cvTransmeta, cvVia };

struct TCacheInfo {
    std::uint32_t SizeKB = 0;
    std::uint32_t Associativity = 0; // ways; 0xFF fully associative
    std::uint32_t LineSize = 0;
    friend bool operator==(const TCacheInfo&, const TCacheInfo&) = default;
};

// Leaf-1 EDX feature bits the program asks about.
inline constexpr std::uint32_t CPUID_FEATURE_MMX = 1u << 23;
inline constexpr std::uint32_t CPUID_FEATURE_SSE = 1u << 25;
inline constexpr std::uint32_t CPUID_FEATURE_SSE2 = 1u << 26;
inline constexpr std::uint32_t CPUID_FEATURE_HTT = 1u << 28;

struct TCpuInfo {
    bool HasCpuid = false;
    std::string VendorIdString; // the 12 characters of leaf 0
    TCpuVendor Vendor = cvUnknown;
    std::string VendorName; // "Intel", "Cyrix", "AMD", "Transmeta", "Via" or "Unknown"
    std::uint32_t Family = 0, Model = 0, Stepping = 0, Type = 0;
    std::uint32_t ExtendedFamily = 0, ExtendedModel = 0;
    std::uint32_t BrandIndex = 0, ClflushLineSize = 0, ApicId = 0;
    std::uint32_t Features = 0;        // leaf 1 EDX
    std::uint32_t ExFeatures = 0;      // leaf 1 ECX
    std::uint32_t ExtFeatures = 0;     // leaf 0x80000001 EDX
    std::uint32_t ExtFeaturesEcx = 0;  // leaf 0x80000001 ECX
    std::uint32_t CentaurFeatures = 0; // leaf 0xC0000001 EDX
    std::string CpuName;               // the brand text, else a name by family and model
    std::uint32_t LogicalCore = 1;
    std::uint32_t PhysicalCore = 1;
    TCacheInfo L1CodeCache, L1DataCache, L2Cache, L3Cache;
    std::uint32_t L3LinesPerSector = 0;
    std::uint32_t PhysicalAddressBits = 0, VirtualAddressBits = 0;
    std::array<std::uint8_t, 16> CacheDescriptors{}; // leaf 2, Intel

    bool HasMMX() const { return (Features & CPUID_FEATURE_MMX) != 0; }
    bool HasSSE() const { return (Features & CPUID_FEATURE_SSE) != 0; }
    bool HasSSE2() const { return (Features & CPUID_FEATURE_SSE2) != 0; }
};

using TCpuidFunction = std::function<TCpuidRegs(std::uint32_t Leaf, std::uint32_t SubLeaf)>;

// Identifies this processor.
TCpuInfo IdentifyProcessor();
// Identifies the processor whose leaves Cpuid answers; a leaf beyond the
// highest the answers announce is never asked for.
TCpuInfo IdentifyProcessor(bool CpuidPresent, const TCpuidFunction& Cpuid);
