#pragma once
// Processor features, the performance timer and the theme link of the raster
// engine. Nothing here allocates or starts threads.
#include "platform/base/Types.h"

#include <cstdint>

// The instruction sets whose forms the engine may choose between; the value
// is the index into the feature-mask table. ciAVX2 is our addition for the
// wider blend forms.
enum TCpuInstruction { ciMMX, ciEMMX, ciSSE, ciSSE2, ci3DNow, ci3DNowExt, ciAVX2 };

// True when the processor has the instruction set, read with the processor
// identification instruction (for AVX2 also whether the system saves the
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

// The link to the system's visual-theme library. This program draws its own
// controls and has no such library: the link loads nothing and reports that
// themes are not in use, so callers take their unthemed paths.
class TThemeLink {
public:
    TThemeLink();
    ~TThemeLink() = default;
    TThemeLink(const TThemeLink&) = delete;
    TThemeLink& operator=(const TThemeLink&) = delete;

    // Tries to load the theme library; False when it is not there.
    bool Load();
    void Unload();
    bool Loaded() const { return FLoaded; }
    // The library is loaded and both the application and the system use themes.
    bool CanUseXPThemes() const;
    // The themes-in-use flag, set at creation and on a theme change.
    bool UseXPThemes() const { return FUseXPThemes; }
    // The system's theme-changed message: reloads and re-reads the flag.
    void ThemeChanged();

private:
    bool FLoaded = false;
    bool FUseXPThemes = false;
};

// The engine's theme link; nullptr outside InitRasterModules/DoneRasterModules.
TThemeLink* ThemeLink();

// Module start and end, called in order by InitRasterModules/DoneRasterModules.
void InitRasterSystem();
void DoneRasterSystem();
