#include "menus/SysInfo.h"
#include "raster/RasterSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>

namespace {

TOSVersionDescription NineX(std::uint32_t minor, const char* service) {
    TOSVersionDescription d;
    d.PlatformId = VER_PLATFORM_WIN32_WINDOWS;
    d.MajorVersion = 4;
    d.MinorVersion = minor;
    d.ServicePack = service;
    return d;
}

TOSVersionDescription NT(std::uint32_t major, std::uint32_t minor,
                         std::uint8_t product = VER_NT_WORKSTATION, bool x86 = true,
                         bool r2 = false) {
    TOSVersionDescription d;
    d.PlatformId = VER_PLATFORM_WIN32_NT;
    d.MajorVersion = major;
    d.MinorVersion = minor;
    d.ProductType = product;
    d.NativeX86 = x86;
    d.ServerR2 = r2;
    return d;
}

std::uint32_t Text4(const char* s) {
    std::uint32_t v = 0;
    std::memcpy(&v, s, 4);
    return v;
}

// A processor made of fixed leaf answers; unlisted leaves answer zeros.
struct TFakeCpu {
    std::map<std::pair<std::uint32_t, std::uint32_t>, TCpuidRegs> Leaves;
    void Vendor(const char* id, std::uint32_t maxLeaf) {
        Leaves[{0, 0}] = {maxLeaf, Text4(id), Text4(id + 8), Text4(id + 4)};
    }
    void Brand(const char* text48) {
        Leaves[{0x80000000u, 0}].EAX = 0x80000004u;
        for (std::uint32_t i = 0; i < 3; ++i) {
            const char* p = text48 + 16 * i;
            Leaves[{0x80000002u + i, 0}] = {Text4(p), Text4(p + 4), Text4(p + 8), Text4(p + 12)};
        }
    }
    TCpuInfo Identify() const {
        return IdentifyProcessor(true, [this](std::uint32_t leaf, std::uint32_t sub) {
            auto it = Leaves.find({leaf, sub});
            return it == Leaves.end() ? TCpuidRegs{} : it->second;
        });
    }
};

} // namespace

TEST(SysInfo, ClassifiesEveryVersionOfTheTable) {
    EXPECT_EQ(ClassifyWindowsVersion(NineX(0, "")), wvWin95);
    EXPECT_EQ(ClassifyWindowsVersion(NineX(0, " B ")), wvWin95OSR2);
    EXPECT_EQ(ClassifyWindowsVersion(NineX(3, "C")), wvWin95OSR2);
    EXPECT_EQ(ClassifyWindowsVersion(NineX(10, "")), wvWin98);
    EXPECT_EQ(ClassifyWindowsVersion(NineX(10, " A ")), wvWin98SE);
    EXPECT_EQ(ClassifyWindowsVersion(NineX(90, "")), wvWinME);
    TOSVersionDescription me = NineX(10, "");
    me.KernelMajor = 4;
    me.KernelMinor = 90;
    EXPECT_EQ(ClassifyWindowsVersion(me), wvWinME);
    EXPECT_EQ(ClassifyWindowsVersion(NT(3, 1)), wvWinNT31);
    EXPECT_EQ(ClassifyWindowsVersion(NT(3, 5)), wvWinNT35);
    EXPECT_EQ(ClassifyWindowsVersion(NT(3, 51)), wvWinNT351);
    EXPECT_EQ(ClassifyWindowsVersion(NT(3, 2)), wvUnknown);
    EXPECT_EQ(ClassifyWindowsVersion(NT(4, 0)), wvWinNT4);
    EXPECT_EQ(ClassifyWindowsVersion(NT(5, 0)), wvWin2000);
    EXPECT_EQ(ClassifyWindowsVersion(NT(5, 1)), wvWinXP);
    EXPECT_EQ(ClassifyWindowsVersion(NT(5, 2, 3)), wvWin2003);
    EXPECT_EQ(ClassifyWindowsVersion(NT(5, 2, VER_NT_WORKSTATION, false)), wvWinXP64);
    EXPECT_EQ(ClassifyWindowsVersion(NT(5, 2, 3, true, true)), wvWin2003R2);
    EXPECT_EQ(ClassifyWindowsVersion(NT(6, 0)), wvWinVista);
    EXPECT_EQ(ClassifyWindowsVersion(NT(6, 0, 3)), wvWinServer2008);
    EXPECT_EQ(ClassifyWindowsVersion(NT(6, 1)), wvWin7);
    EXPECT_EQ(ClassifyWindowsVersion(NT(6, 1, 2)), wvWinServer2008R2);
    EXPECT_EQ(ClassifyWindowsVersion(NT(6, 2)), wvUnknown);
    EXPECT_EQ(ClassifyWindowsVersion(TOSVersionDescription{}), wvUnknown);
}

TEST(SysInfo, PlatformFacts) {
    const TSystemFacts& f = SystemFacts();
    EXPECT_EQ(ClassifyWindowsVersion(), wvWin7);
    EXPECT_TRUE(f.IsWinNT);
    EXPECT_EQ(f.KernelProductVersion, 0u);
    for (int v = 0; v < WindowsVersionCount; ++v)
        EXPECT_EQ(f.IsVersion[std::size_t(v)], v == wvWin7) << v;
    EXPECT_GE(f.PageSize, 4096u);
    EXPECT_EQ(f.PageSize & (f.PageSize - 1), 0u);
    EXPECT_GE(f.ProcessorCount, 1u);
}

TEST(SysInfo, RealProcessorAgreesWithTheRasterFeatureTest) {
    const TCpuInfo info = IdentifyProcessor();
    EXPECT_EQ(info.HasCpuid, CpuidAvailable());
    EXPECT_GE(info.LogicalCore, 1u);
    EXPECT_GE(info.PhysicalCore, 1u);
    EXPECT_FALSE(info.CpuName.empty());
    if (!info.HasCpuid) return;
    EXPECT_EQ(info.VendorIdString.size(), 12u);
    EXPECT_EQ(info.HasMMX(), CpuSupports(ciMMX));
    EXPECT_EQ(info.HasSSE(), CpuSupports(ciSSE));
    EXPECT_EQ(info.HasSSE2(), CpuSupports(ciSSE2));
    EXPECT_EQ((info.ExtFeatures & 0x80000000u) != 0, CpuSupports(ci3DNow));
}

TEST(SysInfo, OldIntelNamedByFamilyAndModel) {
    TFakeCpu cpu;
    cpu.Vendor("GenuineIntel", 1);
    cpu.Leaves[{1, 0}] = {0x00000433, 0, 0, 0x1}; // family 4, model 3, stepping 3
    const TCpuInfo info = cpu.Identify();
    EXPECT_EQ(info.Vendor, cvIntel);
    EXPECT_EQ(info.VendorName, "Intel");
    EXPECT_EQ(info.Family, 4u);
    EXPECT_EQ(info.Model, 3u);
    EXPECT_EQ(info.Stepping, 3u);
    EXPECT_EQ(info.CpuName, "Intel DX2 Processor");
    EXPECT_EQ(info.LogicalCore, 1u);
}

TEST(SysInfo, IntelCacheDescriptorsAndBrand) {
    TFakeCpu cpu;
    cpu.Vendor("GenuineIntel", 2);
    // Hyper-threading with 2 logical processors.
    cpu.Leaves[{1, 0}] = {0x00000F29, 0x00020800, 0, CPUID_FEATURE_HTT | CPUID_FEATURE_MMX};
    // Descriptors 0x66 (L1 data 8 KB), 0x5B (TLB), 0x50 (TLB), 0x7A (L2 256 KB),
    // 0x70 (trace cache), 0x40 (no L3); ECX has its top bit set and is ignored.
    cpu.Leaves[{2, 0}] = {0x665B5001, 0, 0x8000002C, 0x007A7040};
    cpu.Brand("      Fake Processor 2.40GHz\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0");
    const TCpuInfo info = cpu.Identify();
    EXPECT_EQ(info.L1DataCache, (TCacheInfo{8, 4, 64}));
    EXPECT_EQ(info.L2Cache, (TCacheInfo{256, 8, 64}));
    EXPECT_EQ(info.L1CodeCache, TCacheInfo{}); // 0x2C came in the refused register
    EXPECT_EQ(info.CpuName, "Fake Processor 2.40GHz");
    EXPECT_EQ(info.LogicalCore, 2u);
    EXPECT_EQ(info.Family, 15u);
    EXPECT_TRUE(info.HasMMX());
}

TEST(SysInfo, IntelDeterministicCacheLeaf) {
    TFakeCpu cpu;
    cpu.Vendor("GenuineIntel", 4);
    cpu.Leaves[{1, 0}] = {0x000906EA, 0, 0, 0};
    cpu.Leaves[{2, 0}] = {0x00FEFF01, 0, 0, 0};
    // L1 data 48 KB: 12 ways x 64-byte lines x 64 sets; six cores.
    cpu.Leaves[{4, 0}] = {0x14000121, (11u << 22) | 63u, 63, 0};
    // L3 12 MB: 16 ways x 64 x 12288 sets.
    cpu.Leaves[{4, 1}] = {0x14000163, (15u << 22) | 63u, 12287, 0};
    const TCpuInfo info = cpu.Identify();
    EXPECT_EQ(info.L1DataCache, (TCacheInfo{48, 12, 64}));
    EXPECT_EQ(info.L3Cache, (TCacheInfo{12288, 16, 64}));
    EXPECT_EQ(info.PhysicalCore, 6u);
}

TEST(SysInfo, AmdAndUnknownVendors) {
    TFakeCpu amd;
    amd.Vendor("AuthenticAMD", 1);
    amd.Leaves[{1, 0}] = {0x00000580, 0, 0, CPUID_FEATURE_MMX};
    amd.Leaves[{0x80000000u, 0}] = {0x80000005u, 0, 0, 0};
    amd.Leaves[{0x80000001u, 0}] = {0x00000580, 0, 0, 0x80000000u};
    amd.Leaves[{0x80000005u, 0}] = {0, 0, (32u << 24) | (2u << 16) | 32u,
                                    (32u << 24) | (2u << 16) | 32u};
    const TCpuInfo a = amd.Identify();
    EXPECT_EQ(a.Vendor, cvAMD);
    EXPECT_EQ(a.CpuName, "AMD-K6-2 (Model 8)");
    EXPECT_EQ(a.L1DataCache, (TCacheInfo{32, 2, 32}));
    EXPECT_EQ(a.ExtFeatures, 0x80000000u);

    TFakeCpu other;
    other.Vendor("SomeoneElse!", 1);
    const TCpuInfo o = other.Identify();
    EXPECT_EQ(o.Vendor, cvUnknown);
    EXPECT_EQ(o.VendorName, "Unknown");
    EXPECT_EQ(o.CpuName, "Unknown");

    const TCpuInfo none = IdentifyProcessor(false, nullptr);
    EXPECT_FALSE(none.HasCpuid);
    EXPECT_EQ(none.Family, 4u);
}
