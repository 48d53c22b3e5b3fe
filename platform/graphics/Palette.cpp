#include "platform/graphics/Palette.h"

#include <algorithm>

TPalette::TPalette(std::vector<TPaletteEntry> entries) : FEntries(std::move(entries)) {
    if (FEntries.size() > MaxPaletteEntries) FEntries.resize(MaxPaletteEntries);
}

void TPalette::SetCount(int count) {
    FEntries.resize(static_cast<size_t>(std::clamp(count, 0, MaxPaletteEntries)));
}

int TPalette::GetEntries(int start, int count, TPaletteEntry* out) const {
    if (start < 0 || count <= 0 || start >= Count()) return 0;
    const int n = std::min(count, Count() - start);
    std::copy_n(FEntries.begin() + start, n, out);
    return n;
}

int TPalette::SetEntries(int start, int count, const TPaletteEntry* in) {
    if (start < 0 || count <= 0 || start >= Count()) return 0;
    const int n = std::min(count, Count() - start);
    std::copy_n(in, n, FEntries.begin() + start);
    return n;
}

TColor TPalette::Color(int index) const {
    const TPaletteEntry& e = FEntries.at(index);
    return static_cast<TColor>(e.peRed | (e.peGreen << 8) | (e.peBlue << 16));
}

namespace {
TColor ResolveColorForPalette(TColor c) {
    return ColorToRGB(c);
}

int Nearest(const std::vector<TPaletteEntry>& entries, int r, int g, int b) {
    int best = -1;
    int bestDistance = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int dr = entries[i].peRed - r;
        const int dg = entries[i].peGreen - g;
        const int db = entries[i].peBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        // Strictly smaller: the lowest index keeps a tie.
        if (best < 0 || d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
            if (d == 0) break;
        }
    }
    return best;
}
} // namespace

int TPalette::GetNearestPaletteIndex(TColor color) const {
    const std::uint32_t rgb = static_cast<std::uint32_t>(ResolveColorForPalette(color));
    return Nearest(FEntries, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TPalette MonochromePalette() {
    return TPalette({{0, 0, 0, 0}, {255, 255, 255, 0}});
}

TPalette SystemPalette16() {
    // Black, the dark colours, light grey, dark grey, the bright colours, white.
    static constexpr Byte rgb[16][3] = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    std::vector<TPaletteEntry> e(16);
    for (int i = 0; i < 16; ++i)
        e[i] = {rgb[i][0], rgb[i][1], rgb[i][2], 0};
    return TPalette(std::move(e));
}

TPalette GrayPalette256() {
    std::vector<TPaletteEntry> e(256);
    for (int i = 0; i < 256; ++i) {
        const Byte v = static_cast<Byte>(i);
        e[i] = {v, v, v, 0};
    }
    return TPalette(std::move(e));
}

TNearestIndexCache::TNearestIndexCache(const TPalette& palette)
    : FPalette(palette), FKeys(Slots, 0), FValues(Slots, 0) {}

int TNearestIndexCache::Lookup(Byte r, Byte g, Byte b) {
    const std::uint32_t rgb = r | (g << 8) | (b << 16);
    const std::uint32_t key = rgb | 0x1000000u;
    const std::uint32_t slot = ((rgb * 2654435761u) >> 20) & (Slots - 1);
    if (FKeys[slot] == key) return FValues[slot];
    const int index = Nearest(FPalette.Entries(), r, g, b);
    FKeys[slot] = key;
    FValues[slot] = static_cast<std::int16_t>(index);
    return index;
}
