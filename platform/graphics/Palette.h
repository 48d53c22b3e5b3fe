#pragma once
// TPalette: a logical colour palette as bitmaps and pictures carry it, held
// by value (a bitmap owns its own copy; handing one over copies the entries).
#include <cstdint>
#include <vector>

#include "platform/base/Types.h"
#include "platform/graphics/Colors.h"

struct TPaletteEntry {
    Byte peRed = 0;
    Byte peGreen = 0;
    Byte peBlue = 0;
    Byte peFlags = 0;
    friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Entry flag that asks the system not to merge the entry with another.
constexpr Byte PC_NOCOLLAPSE = 0x04;
// The largest palette a bitmap or a picture file may hold.
constexpr int MaxPaletteEntries = 256;

class TPalette {
public:
    TPalette() = default;
    explicit TPalette(std::vector<TPaletteEntry> entries);

    int Count() const { return static_cast<int>(FEntries.size()); }
    bool Empty() const { return FEntries.empty(); }
    // Grows with black entries or shrinks; never beyond MaxPaletteEntries.
    void SetCount(int count);

    const TPaletteEntry& Entry(int index) const { return FEntries.at(index); }
    void SetEntry(int index, const TPaletteEntry& e) { FEntries.at(index) = e; }
    const std::vector<TPaletteEntry>& Entries() const { return FEntries; }
    // Copies up to count entries from start; returns how many were copied
    // (the system's get/set palette entries).
    int GetEntries(int start, int count, TPaletteEntry* out) const;
    int SetEntries(int start, int count, const TPaletteEntry* in);

    // The entry as a colour value 0x00BBGGRR.
    TColor Color(int index) const;
    // The index whose colour is nearest to color by squared RGB distance;
    // on a tie the lowest index wins. -1 for an empty palette. System colour
    // values are resolved first.
    int GetNearestPaletteIndex(TColor color) const;

    friend bool operator==(const TPalette&, const TPalette&) = default;

private:
    std::vector<TPaletteEntry> FEntries;
};

// Frequently used palettes: black then white; 16 colours of the standard
// system order; a ramp of 256 greys.
TPalette MonochromePalette();
TPalette SystemPalette16();
TPalette GrayPalette256();

// Remembers colour -> nearest index for one palette; equal to
// TPalette::GetNearestPaletteIndex for every colour.
class TNearestIndexCache {
public:
    explicit TNearestIndexCache(const TPalette& palette);
    int Lookup(Byte r, Byte g, Byte b);

private:
    const TPalette& FPalette;
    static constexpr int Slots = 4096;
    std::vector<std::uint32_t> FKeys; // 0 = empty, else (rgb | 0x1000000)
    std::vector<std::int16_t> FValues;
};
