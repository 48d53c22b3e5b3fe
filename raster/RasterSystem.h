#pragma once
// Processor features, the performance timer and the theme link of the raster
// engine. Nothing here allocates or starts threads.
#include "platform/base/Types.h"

#include <cstdint>

// The instruction sets whose forms the engine may choose between; the value
// is the index into the feature-mask table. ciAVX2 and ciAVX512 are our
// additions for the wider blend forms (ciAVX512: the foundation with the
// byte/word, double/quad word and 128/256-bit extensions, and fused
// multiply-add).
enum TCpuInstruction { ciMMX, ciEMMX, ciSSE, ciSSE2, ci3DNow, ci3DNowExt, ciAVX2, ciAVX512 };

// True when the processor has the instruction set, read with the processor
// identification instruction (for AVX2 and AVX-512 also whether the system saves the
// wide registers). Always False off x86.
bool CpuSupports(TCpuInstruction Instruction);

// A microsecond stopwatch over the monotonic clock.
class TPerfTimer {
public:
    void Start();
    // Microseconds since Start, rounded half to even.
    std::int64_t ReadValue();

private:
    std::int64_t FStart = 0;
    std::int64_t FStop = 0;
    std::int64_t FFrequency = 1;
};

// The engine's shared timer; valid from InitRasterModules on.
extern TPerfTimer GlobalPerfTimer;

// Milliseconds of the monotonic clock, wrapping at 2^32 as the system tick
// count does.
Cardinal GetTickCountValue();

// The link to the desktop's visual themes. Themes are in use when the
// toolkit's style is one the desktop provides (it then draws the desktop's
// own theme); with the toolkit's built-in look they are not, and callers
// take their unthemed paths. While themes are in use the link holds open
// theme handles for "SCROLLBAR" and "GLOBALS"; a change of the desktop's
// theme or style reloads it.
class TThemeLink {
public:
    TThemeLink();
    ~TThemeLink();
    TThemeLink(const TThemeLink&) = delete;
    TThemeLink& operator=(const TThemeLink&) = delete;

    // Connects to the desktop's theme; False when there is none to use.
    bool Load();
    void Unload();
    bool Loaded() const { return FLoaded; }
    // Loaded, and the desktop draws its own theme.
    bool CanUseXPThemes() const;
    // The themes-in-use flag, set at creation and on a theme change.
    bool UseXPThemes() const { return FUseXPThemes; }
    // The open theme of "SCROLLBAR" or "GLOBALS" (any case); null when
    // themes are not in use or the class is another.
    const void* Theme(const char* ClassName) const;
    // The desktop's theme changed: reloads and re-reads the flag.
    void ThemeChanged();

private:
    void OpenThemes();
    void CloseThemes();

    bool FLoaded = false;
    bool FUseXPThemes = false;
    int FListener = 0;
    // The two open themes; their identity is all callers use.
    const void* FScrollbarTheme = nullptr;
    const void* FGlobalsTheme = nullptr;
};

// The engine's theme link; nullptr outside InitRasterModules/DoneRasterModules.
TThemeLink* ThemeLink();

// Module start and end, called in order by InitRasterModules/DoneRasterModules.
void InitRasterSystem();
void DoneRasterSystem();
