#include "gif/GifColorMap.h"

#include <algorithm>
#include <cstring>

#include "gif/GifImage.h"
#include "gif/GifItems.h"
#include "platform/classes/Stream.h"

namespace {

Byte RedOf(TColor c) {
    return Byte(c & 0xFF);
}
Byte GreenOf(TColor c) {
    return Byte((c >> 8) & 0xFF);
}
Byte BlueOf(TColor c) {
    return Byte((c >> 16) & 0xFF);
}
TColor MakeColor(Byte r, Byte g, Byte b) {
    return TColor(r | (g << 8) | (b << 16));
}

} // namespace

void TGIFColorMap::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FCount = 0;
    FCapacity = 0;
    FSorted = false;
}

void TGIFColorMap::EnsureCapacity(int Needed) {
    if (Needed <= FCapacity) return;
    // Table sizes of the format are powers of two; 16 and steps of 32 keep
    // reallocations few for the usual 2..256 colour tables.
    int NewCapacity = Needed <= 16 ? 16 : ((Needed + 31) / 32) * 32;
    NewCapacity = std::min(NewCapacity, GIFMaxColors);
    FData.resize(std::size_t(NewCapacity) * 3, 0);
    FCapacity = NewCapacity;
}

int TGIFColorMap::IndexOf(TColor Color) const {
    const Byte r = RedOf(Color), g = GreenOf(Color), b = BlueOf(Color);
    if (FSorted) {
        // A sorted map lists the most used colours first.
        for (int i = 0; i < FCount; ++i) {
            const Byte* p = &FData[std::size_t(i) * 3];
            if (p[0] == r && p[1] == g && p[2] == b) return i;
        }
    } else {
        for (int i = FCount - 1; i >= 0; --i) {
            const Byte* p = &FData[std::size_t(i) * 3];
            if (p[0] == r && p[1] == g && p[2] == b) return i;
        }
    }
    return -1;
}

int TGIFColorMap::Add(TColor Color) {
    if (FCount >= GIFMaxColors) RaiseGIFError(sGIFColorTableOverflow);
    EnsureCapacity(FCount + 1);
    Byte* p = &FData[std::size_t(FCount) * 3];
    p[0] = RedOf(Color);
    p[1] = GreenOf(Color);
    p[2] = BlueOf(Color);
    FSorted = false;
    return FCount++;
}

int TGIFColorMap::AddUnique(TColor Color) {
    const int Index = IndexOf(Color);
    return Index >= 0 ? Index : Add(Color);
}

void TGIFColorMap::Delete(int Index) {
    if (Index < 0 || Index >= FCount) RaiseGIFError(sGIFInvalidColor);
    std::memmove(&FData[std::size_t(Index) * 3], &FData[std::size_t(Index + 1) * 3],
                 std::size_t(FCount - Index - 1) * 3);
    --FCount;
    FSorted = false;
}

TColor TGIFColorMap::Colors(int Index) const {
    if (FCount == 0) RaiseGIFError(sGIFEmptyColorMap);
    if (Index < 0 || Index >= FCount) {
        Warning(gsWarning, sGIFInvalidColor);
        Index = 0;
    }
    const Byte* p = &FData[std::size_t(Index) * 3];
    return MakeColor(p[0], p[1], p[2]);
}

void TGIFColorMap::SetColors(int Index, TColor Color) {
    if (Index < 0 || Index >= FCount) RaiseGIFError(sGIFInvalidColor);
    Byte* p = &FData[std::size_t(Index) * 3];
    p[0] = RedOf(Color);
    p[1] = GreenOf(Color);
    p[2] = BlueOf(Color);
}

void TGIFColorMap::ImportPalette(const TPalette& Palette) {
    Clear();
    const int n = std::min(Palette.Count(), GIFMaxColors);
    EnsureCapacity(n);
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = Palette.Entry(i);
        Byte* p = &FData[std::size_t(i) * 3];
        p[0] = e.peRed;
        p[1] = e.peGreen;
        p[2] = e.peBlue;
    }
    FCount = n;
}

void TGIFColorMap::ImportDIBColors(const Byte* Quads, int Count) {
    Clear();
    const int n = std::clamp(Count, 0, GIFMaxColors);
    EnsureCapacity(n);
    for (int i = 0; i < n; ++i) {
        Byte* p = &FData[std::size_t(i) * 3];
        p[0] = Quads[i * 4 + 2];
        p[1] = Quads[i * 4 + 1];
        p[2] = Quads[i * 4 + 0];
    }
    FCount = n;
}

TPalette TGIFColorMap::ExportPalette() const {
    if (FCount == 0) return {};
    std::vector<TPaletteEntry> Entries(FCount);
    for (int i = 0; i < FCount; ++i) {
        const Byte* p = &FData[std::size_t(i) * 3];
        Entries[i] = {p[0], p[1], p[2], PC_NOCOLLAPSE};
    }
    return TPalette(std::move(Entries));
}

int TGIFColorMap::BitsPerPixel() const {
    if (FCount == 0) return 0;
    int Bits = 1;
    while ((1 << Bits) < FCount)
        ++Bits;
    return Bits;
}

void TGIFColorMap::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* Map = dynamic_cast<const TGIFColorMap*>(Source)) {
        FData = Map->FData;
        FCount = Map->FCount;
        FCapacity = Map->FCapacity;
        FSorted = Map->FSorted;
        return;
    }
    TPersistent::Assign(Source);
}

void TGIFColorMap::AssignTo(TPersistent* Dest) const {
    TPersistent::AssignTo(Dest);
}

void TGIFColorMap::LoadFromStream(TStream& Stream, int Count) {
    Clear();
    const int n = std::clamp(Count, 0, GIFMaxColors);
    if (n == 0) return;
    EnsureCapacity(n);
    if (Stream.Read(FData.data(), std::int64_t(n) * 3) != std::int64_t(n) * 3) {
        Clear();
        RaiseGIFError(sGIFPrematureEOF);
    }
    FCount = n;
}

void TGIFColorMap::SaveToStream(TStream& Stream) const {
    if (FCount == 0) return;
    const int Entries = 1 << BitsPerPixel();
    std::vector<Byte> Out(std::size_t(Entries) * 3, 0);
    std::memcpy(Out.data(), FData.data(), std::size_t(FCount) * 3);
    Stream.WriteBuffer(Out.data(), std::int64_t(Out.size()));
}

void TGIFColorMap::Warning(TGIFSeverity Severity, const std::string& Message) const {}

void TGIFColorMap::Changed() {}

// ---------------------------------------------------------------- subclasses

void TGIFGlobalColorMap::Warning(TGIFSeverity Severity, const std::string& Message) const {
    if (FHeader) FHeader->Warning(Severity, Message);
}

void TGIFGlobalColorMap::Changed() {
    if (FHeader && FHeader->Image()) FHeader->Image()->FreePalette();
}

void TGIFLocalColorMap::Warning(TGIFSeverity Severity, const std::string& Message) const {
    if (FSubImage) FSubImage->Warning(Severity, Message);
}

void TGIFLocalColorMap::Changed() {
    if (FSubImage) FSubImage->FreePalette();
}
