#include "menus/SysInfo.h"

#include "platform/base/Text.h"

#include <cstring>
#include <mutex>
#include <unistd.h>

TOSVersionDescription PlatformVersionDescription() {
    TOSVersionDescription d;
    d.PlatformId = VER_PLATFORM_WIN32_NT;
    d.MajorVersion = 6;
    d.MinorVersion = 1;
    d.BuildNumber = 7601;
    d.ProductType = VER_NT_WORKSTATION;
    d.NativeX86 = false;
    return d;
}

TWindowsVersion ClassifyWindowsVersion(const TOSVersionDescription& d) {
    const std::string service = Trim(d.ServicePack);
    if (d.PlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (d.MinorVersion == 90 || (d.KernelMajor == 4 && d.KernelMinor == 90)) return wvWinME;
        if (d.MinorVersion < 10) return service == "B" || service == "C" ? wvWin95OSR2 : wvWin95;
        if (d.MinorVersion < 90) return service == "A" || service == "B" ? wvWin98SE : wvWin98;
        return wvUnknown;
    }
    if (d.PlatformId != VER_PLATFORM_WIN32_NT) return wvUnknown;
    const bool workstation = d.ProductType == VER_NT_WORKSTATION;
    switch (d.MajorVersion) {
    case 3:
        if (d.MinorVersion == 1) return wvWinNT31;
        if (d.MinorVersion == 5) return wvWinNT35;
        if (d.MinorVersion == 51) return wvWinNT351;
        return wvUnknown;
    case 4:
        return wvWinNT4;
    case 5:
        if (d.MinorVersion == 0) return wvWin2000;
        if (d.MinorVersion == 1) return wvWinXP;
        if (d.MinorVersion == 2) {
            if (!d.NativeX86 && workstation) return wvWinXP64;
            if (d.ServerR2) return wvWin2003R2;
            return wvWin2003;
        }
        return wvUnknown;
    case 6:
        if (d.MinorVersion == 0) return workstation ? wvWinVista : wvWinServer2008;
        if (d.MinorVersion == 1) return workstation ? wvWin7 : wvWinServer2008R2;
        return wvUnknown;
    default:
        return wvUnknown;
    }
}

namespace {

TSystemFacts GFacts;
TWindowsVersion GVersion = wvUnknown;
std::once_flag GFactsOnce;

void FillFacts() {
    const TOSVersionDescription d = PlatformVersionDescription();
    TSystemFacts f;
    const long page = sysconf(_SC_PAGESIZE);
    f.PageSize = page > 0 ? std::uint32_t(page) : 4096;
    f.AllocationGranularity = f.PageSize;
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    f.ProcessorCount = cpus > 0 ? std::uint32_t(cpus) : 1;
    f.IsWinNT = d.PlatformId == VER_PLATFORM_WIN32_NT;
    // The kernel library's own version is only consulted on the 9x family.
    f.KernelProductVersion = f.IsWinNT ? 0 : (d.KernelMajor << 16 | d.KernelMinor);
    GVersion = ClassifyWindowsVersion(d);
    f.IsVersion[GVersion] = true;
    f.IsWinNT3 = GVersion == wvWinNT31 || GVersion == wvWinNT35 || GVersion == wvWinNT351;
    f.IsWinNT35 = GVersion == wvWinNT351;
    GFacts = f;
}

} // namespace

void InitSysInfo() {
    std::call_once(GFactsOnce, FillFacts);
}

const TSystemFacts& SystemFacts() {
    InitSysInfo();
    return GFacts;
}

TWindowsVersion ClassifyWindowsVersion() {
    InitSysInfo();
    return GVersion;
}

// ---------------------------------------------------------------------------
// Processor identification

namespace {

constexpr std::uint32_t ExtBase = 0x80000000u;
constexpr std::uint32_t CentaurBase = 0xC0000000u;

// Cache kinds of the leaf-2 descriptors.
enum TCacheKind : std::uint8_t { ckL1Code = 2, ckL1Data = 3, ckL2 = 4, ckL3 = 6 };

struct TCacheDescriptor {
    std::uint8_t Code;
    std::uint8_t Kind;
    std::uint16_t SizeKB;
    std::uint8_t Ways;
    std::uint8_t LineSize;
    std::uint8_t LinesPerSector;
};

// The cache rows of the processor maker's leaf-2 descriptor table; the TLB
// and prefetch rows are left out because nothing here reports them.
constexpr TCacheDescriptor CacheDescriptors[] = {
    {0x06, ckL1Code, 8, 4, 32, 0},  {0x08, ckL1Code, 16, 4, 32, 0}, {0x09, ckL1Code, 32, 4, 64, 0},
    {0x0A, ckL1Data, 8, 2, 32, 0},  {0x0C, ckL1Data, 16, 4, 32, 0}, {0x0D, ckL1Data, 16, 4, 64, 0},
    {0x0E, ckL1Data, 24, 6, 64, 0}, {0x1D, ckL2, 128, 2, 64, 0},    {0x21, ckL2, 256, 8, 64, 0},
    {0x22, ckL3, 512, 4, 64, 2},    {0x23, ckL3, 1024, 8, 64, 2},   {0x24, ckL2, 1024, 16, 64, 0},
    {0x25, ckL3, 2048, 8, 64, 2},   {0x29, ckL3, 4096, 8, 64, 2},   {0x2C, ckL1Data, 32, 8, 64, 0},
    {0x30, ckL1Code, 32, 8, 64, 0}, {0x39, ckL2, 128, 4, 64, 2},    {0x3A, ckL2, 192, 6, 64, 2},
    {0x3B, ckL2, 128, 2, 64, 2},    {0x3C, ckL2, 256, 4, 64, 2},    {0x3D, ckL2, 384, 6, 64, 2},
    {0x3E, ckL2, 512, 4, 64, 2},    {0x41, ckL2, 128, 4, 32, 0},    {0x42, ckL2, 256, 4, 32, 0},
    {0x43, ckL2, 512, 4, 32, 0},    {0x44, ckL2, 1024, 4, 32, 0},   {0x45, ckL2, 2048, 4, 32, 0},
    {0x46, ckL3, 4096, 4, 64, 0},   {0x47, ckL3, 8192, 8, 64, 0},   {0x48, ckL2, 3072, 12, 64, 0},
    {0x49, ckL3, 4096, 16, 64, 0},  {0x4A, ckL3, 6144, 12, 64, 0},  {0x4B, ckL3, 8192, 16, 64, 0},
    {0x4C, ckL3, 12288, 12, 64, 0}, {0x4D, ckL3, 16384, 16, 64, 0}, {0x4E, ckL2, 6144, 24, 64, 0},
    {0x60, ckL1Data, 16, 8, 64, 0}, {0x66, ckL1Data, 8, 4, 64, 0},  {0x67, ckL1Data, 16, 4, 64, 0},
    {0x68, ckL1Data, 32, 4, 64, 0}, {0x78, ckL2, 1024, 4, 64, 0},   {0x79, ckL2, 128, 8, 64, 2},
    {0x7A, ckL2, 256, 8, 64, 2},    {0x7B, ckL2, 512, 8, 64, 2},    {0x7C, ckL2, 1024, 8, 64, 2},
    {0x7D, ckL2, 2048, 8, 64, 0},   {0x7F, ckL2, 512, 2, 64, 0},    {0x80, ckL2, 512, 8, 64, 0},
    {0x82, ckL2, 256, 8, 32, 0},    {0x83, ckL2, 512, 8, 32, 0},    {0x84, ckL2, 1024, 8, 32, 0},
    {0x85, ckL2, 2048, 8, 32, 0},   {0x86, ckL2, 512, 4, 64, 0},    {0x87, ckL2, 1024, 8, 64, 0},
    {0xD0, ckL3, 512, 4, 64, 0},    {0xD1, ckL3, 1024, 4, 64, 0},   {0xD2, ckL3, 2048, 4, 64, 0},
    {0xD6, ckL3, 1024, 8, 64, 0},   {0xD7, ckL3, 2048, 8, 64, 0},   {0xD8, ckL3, 4096, 8, 64, 0},
    {0xDC, ckL3, 1536, 12, 64, 0},  {0xDD, ckL3, 3072, 12, 64, 0},  {0xDE, ckL3, 6144, 12, 64, 0},
    {0xE2, ckL3, 2048, 16, 64, 0},  {0xE3, ckL3, 4096, 16, 64, 0},  {0xE4, ckL3, 8192, 16, 64, 0},
    {0xEA, ckL3, 12288, 24, 64, 0}, {0xEB, ckL3, 18432, 24, 64, 0}, {0xEC, ckL3, 24576, 24, 64, 0},
};

// Descriptor 0xFF: the sizes are in the deterministic cache leaf 4 instead.
constexpr std::uint8_t DescriptorUseLeaf4 = 0xFF;

struct TVendorRow {
    const char* Id;
    TCpuVendor Vendor;
    const char* Name;
};

constexpr TVendorRow Vendors[] = {
    {"GenuineIntel", cvIntel, "Intel"},         {"AuthenticAMD", cvAMD, "AMD"},
    {"CyrixInstead", cvCyrix, "Cyrix"},         {"CentaurHauls", cvVia, "Via"},
    {"GenuineTMx86", cvTransmeta, "Transmeta"},
};

std::string RegisterText(std::uint32_t r) {
    char text[4];
    std::memcpy(text, &r, 4);
    return std::string(text, 4);
}

// The associativity field of the extended cache leaves.
std::uint32_t DecodeL2Associativity(std::uint32_t field) {
    static constexpr std::uint8_t Ways[16] = {0,  1, 2,  0,  4,  0,  8,   0,
                                              16, 0, 32, 48, 64, 96, 128, 0xFF};
    return Ways[field & 15];
}

class TIdentifier {
public:
    TIdentifier(const TCpuidFunction& cpuid, TCpuInfo& info) : FCpuid(cpuid), FInfo(info) {}

    void Run() {
        const TCpuidRegs leaf0 = FCpuid(0, 0);
        FMaxLeaf = leaf0.EAX;
        FInfo.VendorIdString =
            RegisterText(leaf0.EBX) + RegisterText(leaf0.EDX) + RegisterText(leaf0.ECX);
        FInfo.VendorName = "Unknown";
        for (const TVendorRow& row : Vendors)
            if (FInfo.VendorIdString == row.Id) {
                FInfo.Vendor = row.Vendor;
                FInfo.VendorName = row.Name;
            }
        const TCpuidRegs ext = FCpuid(ExtBase, 0);
        FMaxExtLeaf = ext.EAX >= ExtBase && ext.EAX < ExtBase + 0x100 ? ext.EAX : 0;
        DecodeLeaf1();
        DecodeExtended();
        switch (FInfo.Vendor) {
        case cvIntel:
            IntelCaches();
            break;
        case cvAMD:
            AmdCaches();
            break;
        case cvVia:
            CentaurLeaves();
            break;
        default:
            break;
        }
        if (FInfo.CpuName.empty()) FInfo.CpuName = NameByModel();
    }

private:
    bool HasLeaf(std::uint32_t leaf) const { return leaf <= FMaxLeaf; }
    bool HasExtLeaf(std::uint32_t leaf) const { return FMaxExtLeaf != 0 && leaf <= FMaxExtLeaf; }

    void DecodeSignature(std::uint32_t eax) {
        FInfo.Stepping = eax & 15;
        FInfo.Model = (eax >> 4) & 15;
        FInfo.Family = (eax >> 8) & 15;
        FInfo.Type = (eax >> 12) & 3;
        FInfo.ExtendedModel = (eax >> 16) & 15;
        FInfo.ExtendedFamily = (eax >> 20) & 0xFF;
    }

    void DecodeLeaf1() {
        if (!HasLeaf(1)) return;
        const TCpuidRegs r = FCpuid(1, 0);
        DecodeSignature(r.EAX);
        FInfo.Features = r.EDX;
        FInfo.ExFeatures = r.ECX;
        if (FInfo.Vendor == cvIntel || FInfo.Vendor == cvAMD) {
            FInfo.BrandIndex = r.EBX & 0xFF;
            FInfo.ClflushLineSize = (r.EBX >> 8) & 0xFF;
            FInfo.ApicId = r.EBX >> 24;
            if (r.EDX & CPUID_FEATURE_HTT) {
                const std::uint32_t logical = (r.EBX >> 16) & 0xFF;
                FInfo.LogicalCore = logical ? logical : 1;
            }
        }
        if (FInfo.Vendor == cvIntel && HasLeaf(4))
            FInfo.PhysicalCore = (FCpuid(4, 0).EAX >> 26) + 1;
    }

    void DecodeExtended() {
        if (HasExtLeaf(ExtBase + 1)) {
            const TCpuidRegs r = FCpuid(ExtBase + 1, 0);
            FInfo.ExtFeatures = r.EDX;
            FInfo.ExtFeaturesEcx = r.ECX;
            // These makers give the signature of their own family here.
            if ((FInfo.Vendor == cvAMD || FInfo.Vendor == cvCyrix) && r.EAX != 0)
                DecodeSignature(r.EAX);
        }
        if (HasExtLeaf(ExtBase + 4)) {
            std::string brand;
            for (std::uint32_t leaf = ExtBase + 2; leaf <= ExtBase + 4; ++leaf) {
                const TCpuidRegs r = FCpuid(leaf, 0);
                brand += RegisterText(r.EAX) + RegisterText(r.EBX) + RegisterText(r.ECX) +
                         RegisterText(r.EDX);
            }
            brand.resize(std::strlen(brand.c_str())); // the text ends at its first zero
            FInfo.CpuName = Trim(brand);
        }
        if (HasExtLeaf(ExtBase + 6)) {
            const std::uint32_t ecx = FCpuid(ExtBase + 6, 0).ECX;
            if (ecx >> 16)
                FInfo.L2Cache = {ecx >> 16, DecodeL2Associativity((ecx >> 12) & 15), ecx & 0xFF};
        }
        if (HasExtLeaf(ExtBase + 8)) {
            const std::uint32_t eax = FCpuid(ExtBase + 8, 0).EAX;
            FInfo.PhysicalAddressBits = eax & 0xFF;
            FInfo.VirtualAddressBits = (eax >> 8) & 0xFF;
        }
    }

    void IntelCaches() {
        const bool l2FromExtended = FInfo.L2Cache.SizeKB != 0;
        TCacheInfo l2;
        bool useLeaf4 = false;
        if (HasLeaf(2)) {
            const TCpuidRegs r = FCpuid(2, 0);
            const std::uint32_t regs[4] = {r.EAX, r.EBX, r.ECX, r.EDX};
            for (int i = 0; i < 4; ++i) {
                // A register with its top bit set holds no descriptors.
                const std::uint32_t v = regs[i] & 0x80000000u ? 0 : regs[i];
                for (int b = 0; b < 4; ++b)
                    FInfo.CacheDescriptors[i * 4 + b] = std::uint8_t(v >> (8 * b));
            }
            FInfo.CacheDescriptors[0] = 0; // the low byte of EAX is the repeat count
            for (std::uint8_t code : FInfo.CacheDescriptors) {
                if (code == DescriptorUseLeaf4) useLeaf4 = true;
                for (const TCacheDescriptor& d : CacheDescriptors) {
                    if (d.Code != code || code == 0) continue;
                    TCacheInfo* target = d.Kind == ckL1Code   ? &FInfo.L1CodeCache
                                         : d.Kind == ckL1Data ? &FInfo.L1DataCache
                                         : d.Kind == ckL2     ? &l2
                                                              : &FInfo.L3Cache;
                    target->SizeKB += d.SizeKB;
                    target->Associativity = d.Ways;
                    target->LineSize = d.LineSize;
                    if (d.Kind == ckL3) FInfo.L3LinesPerSector = d.LinesPerSector;
                }
            }
        }
        if (useLeaf4 && HasLeaf(4)) DeterministicCaches(l2);
        if (!l2FromExtended) FInfo.L2Cache = l2;
    }

    void DeterministicCaches(TCacheInfo& l2) {
        for (std::uint32_t sub = 0; sub < 16; ++sub) {
            const TCpuidRegs r = FCpuid(4, sub);
            const std::uint32_t type = r.EAX & 31; // 0 ends the list
            if (type == 0) break;
            const std::uint32_t level = (r.EAX >> 5) & 7;
            const std::uint64_t ways = (r.EBX >> 22) + 1, partitions = ((r.EBX >> 12) & 0x3FF) + 1;
            const std::uint64_t line = (r.EBX & 0xFFF) + 1, sets = std::uint64_t(r.ECX) + 1;
            const TCacheInfo cache{std::uint32_t(ways * partitions * line * sets / 1024),
                                   std::uint32_t(ways), std::uint32_t(line)};
            if (level == 1 && type == 1) FInfo.L1DataCache = cache;
            if (level == 1 && type == 2) FInfo.L1CodeCache = cache;
            if (level == 2) l2 = cache;
            if (level == 3) FInfo.L3Cache = cache;
        }
    }

    void AmdCaches() {
        if (HasExtLeaf(ExtBase + 5)) {
            const TCpuidRegs r = FCpuid(ExtBase + 5, 0);
            FInfo.L1DataCache = {r.ECX >> 24, (r.ECX >> 16) & 0xFF, r.ECX & 0xFF};
            FInfo.L1CodeCache = {r.EDX >> 24, (r.EDX >> 16) & 0xFF, r.EDX & 0xFF};
        }
        if (HasExtLeaf(ExtBase + 6)) {
            const std::uint32_t edx = FCpuid(ExtBase + 6, 0).EDX;
            if (edx >> 18)
                FInfo.L3Cache = {(edx >> 18) * 512, DecodeL2Associativity((edx >> 12) & 15),
                                 edx & 0xFF};
        }
    }

    void CentaurLeaves() {
        const std::uint32_t max = FCpuid(CentaurBase, 0).EAX;
        if (max >= CentaurBase + 1 && max < CentaurBase + 0x100)
            FInfo.CentaurFeatures = FCpuid(CentaurBase + 1, 0).EDX;
    }

    std::string NameByModel() const {
        const std::uint32_t f = FInfo.Family, m = FInfo.Model;
        switch (FInfo.Vendor) {
        case cvIntel:
            if (f == 4) {
                switch (m) {
                case 0:
                case 1:
                    return "Intel 486DX Processor";
                case 2:
                    return "Intel 486SX Processor";
                case 3:
                    return "Intel DX2 Processor";
                case 5:
                    return "Intel SX2 Processor";
                case 7:
                    return "Write-Back Enhanced Intel DX2 Processor";
                case 8:
                    return "Intel DX4 Processor";
                default:
                    return "Intel 486 Processor";
                }
            }
            if (f == 5) return m == 4 || m == 8 ? "Pentium MMX" : "Pentium";
            if (f == 6) {
                if (m == 1) return "Pentium Pro";
                if (m == 3 || m == 5) return "Pentium II";
                if (m == 6) return "Celeron";
                if (m >= 7 && m <= 11) return "Pentium III";
                return "Intel P6 family";
            }
            if (f == 15) return "Pentium 4";
            return "Intel";
        case cvAMD:
            if (f == 5 && m <= 3) return "AMD-K5 (Model " + std::to_string(m) + ")";
            if (f == 5 && (m == 6 || m == 7)) return "AMD-K6 (Model " + std::to_string(m) + ")";
            if (f == 5 && m == 8) return "AMD-K6-2 (Model 8)";
            if (f == 5 && m == 9) return "AMD-K6-III (Model 9)";
            if (f == 6) return "AMD Athlon";
            if (f == 15) return "AMD Athlon 64";
            return "AMD";
        case cvCyrix:
            if (f == 4 && m == 4) return "Cyrix MediaGX";
            if (f == 5 && m == 2) return "Cyrix 6x86";
            if (f == 5 && m == 4) return "Cyrix GXm";
            if (f == 6) return "6x86MX";
            return "Cyrix";
        case cvVia:
            if (f == 5 && m == 4) return "WinChip C6";
            if (f == 5 && m == 8) return "WinChip 2";
            if (f == 5 && m == 9) return "WinChip 3";
            if (f == 6) return "C3";
            return "Via";
        case cvTransmeta:
            return "Crusoe";
        default:
            return "Unknown";
        }
    }

    const TCpuidFunction& FCpuid;
    TCpuInfo& FInfo;
    std::uint32_t FMaxLeaf = 0;
    std::uint32_t FMaxExtLeaf = 0;
};

} // namespace

TCpuInfo IdentifyProcessor(bool CpuidPresent, const TCpuidFunction& Cpuid) {
    TCpuInfo info;
    info.HasCpuid = CpuidPresent;
    if (!CpuidPresent) {
        info.Family = 4;
        return info;
    }
    TIdentifier(Cpuid, info).Run();
    return info;
}

TCpuInfo IdentifyProcessor() {
    return IdentifyProcessor(
        CpuidAvailable(), [](std::uint32_t leaf, std::uint32_t sub) { return Cpuid(leaf, sub); });
}
