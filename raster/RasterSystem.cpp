#include "raster/RasterSystem.h"

#include "platform/forms/DesktopServices.h"
#include "platform/system/Cpu.h"

#include <cctype>
#include <string>

#include <ctime>

namespace {

struct TFeatureMask {
    bool Extended; // tested against leaf 0x80000001 rather than leaf 1
    std::uint32_t Mask;
};

// Indexed by TCpuInstruction. Extended MMX is special-cased below: SSE
// implies it, otherwise the extended word decides.
constexpr TFeatureMask FeatureMasks[6] = {
    {false, 0x00800000}, {true, 0x00400000},  {false, 0x02000000},
    {false, 0x04000000}, {true, 0x80000000u}, {true, 0x40000000},
};

// Owned by the module: made by InitRasterSystem, freed by DoneRasterSystem,
// so no destructor runs at exit in an order of its own.
TThemeLink* GThemeLink = nullptr;

std::int64_t MonotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

// AVX2 needs the processor's bit (leaf 7) and the system's consent to save
// the 256-bit registers.
static bool HasAvx2() {
    if (CpuidMaxLeaf(0) < 7 || !OsSavesAvxState()) return false;
    return (Cpuid(7, 0).EBX & (1u << 5)) != 0;
}

static bool HasAvx512() {
    if (CpuidMaxLeaf(0) < 7 || !OsSavesAvx512State()) return false;
    // Foundation (16), double/quad words (17), bytes/words (30), 128/256-bit
    // lanes (31); fused multiply-add is bit 12 of leaf 1.
    const std::uint32_t wanted = (1u << 16) | (1u << 17) | (1u << 30) | (1u << 31);
    return (Cpuid(7, 0).EBX & wanted) == wanted && (Cpuid(1).ECX & (1u << 12)) != 0;
}

bool CpuSupports(TCpuInstruction Instruction) {
    if (Instruction == ciAVX2) return HasAvx2();
    if (Instruction == ciAVX512) return HasAvx512();
    if (Instruction < ciMMX || Instruction > ci3DNowExt) return false;
    if (CpuidMaxLeaf(0) < 1) return false;
    const TCpuidRegs leaf1 = Cpuid(1);
    if (((leaf1.EAX >> 8) & 15) <= 4) return false;
    const std::uint32_t standard = leaf1.EDX;
    const TFeatureMask& m = FeatureMasks[Instruction];
    if (Instruction == ciEMMX && (standard & FeatureMasks[ciSSE].Mask)) return true;
    if (!m.Extended) return (standard & m.Mask) != 0;
    if (CpuidMaxLeaf(0x80000000) <= 0x80000000u) return false;
    return (Cpuid(0x80000001).EDX & m.Mask) != 0;
}

TPerfTimer GlobalPerfTimer;

void TPerfTimer::Start() {
    FStart = MonotonicNanoseconds();
}

std::int64_t TPerfTimer::ReadValue() {
    FStop = MonotonicNanoseconds();
    FFrequency = 1000000000;
    // (stop - start) * 10^6 / frequency, half to even, without 64-bit overflow.
    const __int128 p = static_cast<__int128>(FStop - FStart) * 1000000;
    const __int128 q = FFrequency;
    __int128 d = p / q;
    __int128 r = p % q;
    if (r < 0) r = -r;
    const __int128 twice = 2 * r - q;
    if (twice > 0 || (twice == 0 && (d % 2) != 0)) d += p < 0 ? -1 : 1;
    return static_cast<std::int64_t>(d);
}

Cardinal GetTickCountValue() {
    return static_cast<Cardinal>(static_cast<std::uint64_t>(MonotonicNanoseconds() / 1000000));
}

namespace {
// The handles stand for the two classes; their addresses are never read.
const char ScrollbarThemeTag = 0;
const char GlobalsThemeTag = 0;
} // namespace

TThemeLink::TThemeLink() {
    Load();
    FUseXPThemes = CanUseXPThemes();
    if (FUseXPThemes) OpenThemes();
    FListener = AddDesktopThemeListener([this] { ThemeChanged(); });
}

TThemeLink::~TThemeLink() {
    RemoveDesktopThemeListener(FListener);
    CloseThemes();
    Unload();
}

bool TThemeLink::Load() {
    FLoaded = DesktopStyleThemed();
    return FLoaded;
}

void TThemeLink::Unload() {
    FLoaded = false;
}

bool TThemeLink::CanUseXPThemes() const {
    return FLoaded && DesktopStyleThemed();
}

void TThemeLink::OpenThemes() {
    FScrollbarTheme = &ScrollbarThemeTag;
    FGlobalsTheme = &GlobalsThemeTag;
}

void TThemeLink::CloseThemes() {
    FScrollbarTheme = nullptr;
    FGlobalsTheme = nullptr;
}

const void* TThemeLink::Theme(const char* ClassName) const {
    if (ClassName == nullptr) return nullptr;
    std::string name(ClassName);
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (name == "SCROLLBAR") return FScrollbarTheme;
    if (name == "GLOBALS") return FGlobalsTheme;
    return nullptr;
}

void TThemeLink::ThemeChanged() {
    CloseThemes();
    Unload();
    Load();
    FUseXPThemes = CanUseXPThemes();
    if (FUseXPThemes) OpenThemes();
}

TThemeLink* ThemeLink() {
    return GThemeLink;
}

void InitRasterSystem() {
    if (!GThemeLink) GThemeLink = new TThemeLink();
    GlobalPerfTimer = TPerfTimer();
    GlobalPerfTimer.Start();
}

void DoneRasterSystem() {
    delete GThemeLink;
    GThemeLink = nullptr;
}
