#include "raster/Color32.h"

#include "platform/base/Rounding.h"

#include <cmath>

Byte GammaTable[256];

TColor32 ToColor32(TColor Color) {
    if (Color < 0) Color = ColorToRGB(Color);
    const std::uint32_t c = static_cast<std::uint32_t>(Color);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

void BuildGammaTable(double Gamma) {
    for (int i = 0; i < 256; ++i) {
        const int v = Round(255.0 * std::pow(i / 255.0, Gamma));
        GammaTable[i] = Byte(std::clamp(v, 0, 255));
    }
}
