// Drives the colour manager with arbitrary settings and samples. Rows are
// sized exactly as the manager's own byte counts say, so any converter that
// reads or writes past them shows up under the address sanitizer; colour
// tables are handed over at exactly their stored length.
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "imageio/PictureColors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 14) return 0;
    const std::uint8_t* settings = data;
    data += 14;
    size -= 14;

    TColorManager cm;
    try {
        cm.SetSourceColorScheme(static_cast<TColorScheme>(settings[0] % 13));
        cm.SetTargetColorScheme(static_cast<TColorScheme>(settings[1] % 13));
        cm.SetSourceBitsPerSample(static_cast<Byte>(settings[2] % 17));
        cm.SetTargetBitsPerSample(static_cast<Byte>(settings[3] % 17));
        cm.SetSourceSamplesPerPixel(static_cast<Byte>(settings[4] % 5));
        cm.SetTargetSamplesPerPixel(static_cast<Byte>(settings[5] % 5));
        cm.SetSourceOptions(settings[6]);
        cm.SetTargetOptions(settings[7]);
        if (settings[10] & 1) cm.SetGamma(settings[10] / 64.0f, settings[11] / 64.0f);
    } catch (const EColorConversionError&) {
        return 0;
    }
    const Byte mask = settings[8];
    const bool planar = (settings[9] & 1) != 0;
    const int count = settings[9] >> 1; // 0..127 pixels

    std::vector<std::vector<Byte>> planes;
    if (planar) {
        for (int k = 0; k < cm.SourceSamplesPerPixel(); ++k)
            planes.emplace_back(static_cast<std::size_t>(cm.SourcePlaneBytes(count)));
    } else {
        planes.emplace_back(static_cast<std::size_t>(cm.SourceRowBytes(count)));
    }
    std::size_t used = 0;
    for (auto& plane : planes) {
        const std::size_t n = std::min(plane.size(), size - used);
        if (n > 0) std::memcpy(plane.data(), data + used, n);
        used += n;
    }
    std::vector<const Byte*> sources;
    for (auto& plane : planes)
        sources.push_back(plane.data());
    std::vector<Byte> target(static_cast<std::size_t>(cm.TargetRowBytes(count)));
    try {
        cm.ConvertPixels(sources, target.data(), count, mask);
    } catch (const EColorConversionError&) {
    }

    // The rest of the input as a colour table.
    const std::vector<Byte> table(data + used, data + size);
    const std::span<const Byte> whole(table);
    const std::span<const Byte> thirds[3] = {whole.subspan(0, table.size() / 3),
                                             whole.subspan(table.size() / 3, table.size() / 3),
                                             whole.subspan(2 * (table.size() / 3))};
    try {
        if (settings[12] & 0x80)
            cm.CreateColorPalette(thirds, static_cast<TRawPaletteFormat>(settings[12] % 8),
                                  settings[13], (settings[12] & 0x40) != 0);
        else
            cm.CreateColorPalette(std::span<const std::span<const Byte>>(&whole, 1),
                                  static_cast<TRawPaletteFormat>(settings[12] % 8), settings[13],
                                  (settings[12] & 0x40) != 0);
    } catch (const EColorConversionError&) {
    }
    cm.CreateGrayscalePalette((settings[12] & 1) != 0);
    return 0;
}
