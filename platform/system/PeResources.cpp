#include "platform/system/PeResources.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <utility>

namespace {

bool Fits(const TByteVector& B, std::size_t Offset, std::size_t Count) {
    return Offset <= B.size() && Count <= B.size() - Offset;
}

std::uint32_t U16(const TByteVector& B, std::size_t At) {
    return Fits(B, At, 2) ? std::uint32_t(B[At] | (B[At + 1] << 8)) : 0;
}

std::uint32_t U32(const TByteVector& B, std::size_t At) {
    return Fits(B, At, 4) ? std::uint32_t(B[At]) | (std::uint32_t(B[At + 1]) << 8) |
                                (std::uint32_t(B[At + 2]) << 16) | (std::uint32_t(B[At + 3]) << 24)
                          : 0;
}

void Put16(TByteVector& B, std::uint32_t V) {
    B.push_back(std::uint8_t(V));
    B.push_back(std::uint8_t(V >> 8));
}

void Put32(TByteVector& B, std::uint32_t V) {
    Put16(B, V & 0xFFFF);
    Put16(B, V >> 16);
}

// One image of an icon directory: the 12 bytes the file and resource forms
// share (width, height, colours, reserved, planes, bit count, byte count)
// and where its bytes are.
struct TIconEntry {
    std::uint8_t Head[12];
    std::uint32_t Bytes;
    std::uint32_t Where; // file offset (.ico) or resource identifier (program)
};

bool PngPacked(const TByteVector& Image) {
    return Image.size() >= 8 && Image[0] == 0x89 && Image[1] == 'P' && Image[2] == 'N' &&
           Image[3] == 'G';
}

int EntrySize(const TIconEntry& E) {
    return E.Head[0] == 0 ? 256 : E.Head[0]; // a width of 0 means 256
}

// The image closest in size to Size, the deeper one between equals.
template <class GetImage>
bool PickImage(const std::vector<TIconEntry>& Entries, int Size, GetImage Get, TByteVector& Icon) {
    int best = -1;
    int bestDistance = 0;
    int bestBits = 0;
    TByteVector bestImage;
    for (std::size_t i = 0; i < Entries.size(); ++i) {
        TByteVector image;
        if (!Get(Entries[i], image) || PngPacked(image)) continue;
        const int d = std::abs(EntrySize(Entries[i]) - Size);
        const int bits = int(Entries[i].Head[6] | (Entries[i].Head[7] << 8));
        if (best < 0 || d < bestDistance || (d == bestDistance && bits > bestBits)) {
            best = int(i);
            bestDistance = d;
            bestBits = bits;
            bestImage = std::move(image);
        }
    }
    if (best < 0) return false;
    // ICONDIR (reserved 0, type 1 = icon, one entry), then ICONDIRENTRY.
    Icon.clear();
    Put16(Icon, 0);
    Put16(Icon, 1);
    Put16(Icon, 1);
    Icon.insert(Icon.end(), Entries[best].Head, Entries[best].Head + 8);
    Put32(Icon, std::uint32_t(bestImage.size()));
    Put32(Icon, 6 + 16);
    Icon.insert(Icon.end(), bestImage.begin(), bestImage.end());
    return true;
}

bool IsIconFile(const TByteVector& B) {
    return B.size() >= 6 && U16(B, 0) == 0 && U16(B, 2) == 1 && U16(B, 4) > 0;
}

// The entries of an icon directory. In an icon file they are 16 bytes and
// end with the image's file offset; in a program's icon group they are 14
// bytes and end with the icon resource's identifier.
bool ReadIconEntries(const TByteVector& Dir, bool InFile, std::vector<TIconEntry>& Entries) {
    const std::size_t size = InFile ? 16 : 14;
    const std::uint32_t n = U16(Dir, 4);
    if (!Fits(Dir, 6, std::size_t(n) * size)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::size_t at = 6 + i * size;
        TIconEntry e{};
        std::copy_n(Dir.begin() + at, 12, e.Head);
        e.Bytes = U32(Dir, at + 8);
        e.Where = InFile ? U32(Dir, at + 12) : U16(Dir, at + 12);
        Entries.push_back(e);
    }
    return true;
}

} // namespace

TPeResources::TPeResources(TByteVector File) : FFile(std::move(File)) {
    const TByteVector& b = FFile;
    if (!Fits(b, 0, 64) || b[0] != 'M' || b[1] != 'Z') return;
    const std::size_t pe = U32(b, 0x3C);
    if (!Fits(b, pe, 24) || U32(b, pe) != 0x00004550) return; // "PE\0\0"
    const std::uint32_t sections = U16(b, pe + 6);
    const std::uint32_t optionalSize = U16(b, pe + 20);
    const std::size_t opt = pe + 24;
    if (!Fits(b, opt, optionalSize)) return;
    const std::uint32_t magic = U16(b, opt);
    // The data directories follow the fixed fields: 96 bytes in the 32-bit
    // optional header, 112 in the 64-bit one; the resource table is the third.
    std::size_t dirs = 0;
    if (magic == 0x10B)
        dirs = 96;
    else if (magic == 0x20B)
        dirs = 112;
    else
        return;
    const std::uint32_t dirCount = U32(b, opt + dirs - 4);
    if (dirCount < 3 || dirs + 3 * 8 > optionalSize) return;
    const std::uint32_t rva = U32(b, opt + dirs + 16);
    const std::uint32_t size = U32(b, opt + dirs + 20);
    const std::size_t table = opt + optionalSize;
    if (sections > 96 || !Fits(b, table, std::size_t(sections) * 40)) return;
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::size_t s = table + i * 40;
        FSections.push_back({U32(b, s + 12), U32(b, s + 8), U32(b, s + 20), U32(b, s + 16)});
    }
    std::size_t start = 0;
    if (rva == 0 || size < 16 || !RvaToOffset(rva, 16, start)) return;
    FResourceStart = start;
    FResourceRva = rva;
    FResourceSize = size;
}

bool TPeResources::RvaToOffset(std::uint32_t Rva, std::uint32_t Size, std::size_t& Offset) const {
    for (const TSection& s : FSections) {
        const std::uint64_t span = std::max(s.Size, s.RawSize);
        if (Rva < s.Rva || std::uint64_t(Rva) + Size > std::uint64_t(s.Rva) + span) continue;
        const std::uint64_t delta = Rva - s.Rva;
        // Bytes past the section's raw data are not in the file.
        if (delta + Size > s.RawSize) return false;
        Offset = std::size_t(s.Raw + delta);
        return Fits(FFile, Offset, Size);
    }
    return false;
}

std::vector<TPeResources::TEntry> TPeResources::Entries(std::uint32_t DirOffset) const {
    std::vector<TEntry> r;
    const std::size_t at = FResourceStart + DirOffset;
    if (DirOffset > FResourceSize || !Fits(FFile, at, 16)) return r;
    const std::uint32_t n = U16(FFile, at + 12) + U16(FFile, at + 14);
    if (!Fits(FFile, at + 16, std::size_t(n) * 8)) return r;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t name = U32(FFile, at + 16 + i * 8);
        const std::uint32_t data = U32(FFile, at + 20 + i * 8);
        r.push_back({name & 0x7FFFFFFF, (name & 0x80000000) != 0, data & 0x7FFFFFFF,
                     (data & 0x80000000) != 0});
    }
    return r;
}

bool TPeResources::TypeEntries(std::uint32_t Type, std::vector<TEntry>& Names) const {
    if (!Valid()) return false;
    for (const TEntry& t : Entries(0))
        if (!t.Named && t.Id == Type && t.Directory) {
            Names = Entries(t.Offset);
            return true;
        }
    return false;
}

bool TPeResources::Leaf(const TEntry& Name, TByteVector& Data) const {
    TEntry e = Name;
    // Name, then language: the first language is taken. The depth is fixed,
    // so a directory that points back at itself cannot loop.
    for (int depth = 0; depth < 2 && e.Directory; ++depth) {
        const std::vector<TEntry> inner = Entries(e.Offset);
        if (inner.empty()) return false;
        e = inner[0];
    }
    if (e.Directory) return false;
    const std::size_t at = FResourceStart + e.Offset;
    if (!Fits(FFile, at, 16)) return false;
    const std::uint32_t rva = U32(FFile, at);
    const std::uint32_t size = U32(FFile, at + 4);
    std::size_t offset = 0;
    if (!RvaToOffset(rva, size, offset)) return false;
    Data.assign(FFile.begin() + std::ptrdiff_t(offset),
                FFile.begin() + std::ptrdiff_t(offset + size));
    return true;
}

int TPeResources::Count(std::uint32_t Type) const {
    std::vector<TEntry> names;
    return TypeEntries(Type, names) ? int(names.size()) : 0;
}

bool TPeResources::ByIndex(std::uint32_t Type, int Index, TByteVector& Data) const {
    std::vector<TEntry> names;
    if (!TypeEntries(Type, names) || Index < 0 || Index >= int(names.size())) return false;
    return Leaf(names[std::size_t(Index)], Data);
}

bool TPeResources::ById(std::uint32_t Type, std::uint32_t Id, TByteVector& Data) const {
    std::vector<TEntry> names;
    if (!TypeEntries(Type, names)) return false;
    for (const TEntry& n : names)
        if (!n.Named && n.Id == Id) return Leaf(n, Data);
    return false;
}

bool ReadWholeFile(const std::string& FileName, TByteVector& Data, std::uint64_t MaxSize) {
    std::ifstream f(FileName, std::ios::binary | std::ios::ate);
    if (!f) return false;
    const std::streamoff size = f.tellg();
    if (size < 0 || std::uint64_t(size) > MaxSize) return false;
    Data.resize(std::size_t(size));
    f.seekg(0);
    return size == 0 || bool(f.read(reinterpret_cast<char*>(Data.data()), size));
}

TByteVector MakeIconFile(int Width, int Height, const std::uint8_t* Pixels) {
    TByteVector b;
    if (Width <= 0 || Height <= 0 || Width > 256 || Height > 256) return b;
    const std::uint32_t maskRow = std::uint32_t((Width + 31) / 32 * 4);
    const std::uint32_t image = 40 + std::uint32_t(Width * Height * 4) + maskRow * Height;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, 1);
    b.push_back(std::uint8_t(Width == 256 ? 0 : Width));
    b.push_back(std::uint8_t(Height == 256 ? 0 : Height));
    b.push_back(0);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, image);
    Put32(b, 22);
    // The bitmap header counts the colour rows and the mask rows together.
    Put32(b, 40);
    Put32(b, std::uint32_t(Width));
    Put32(b, std::uint32_t(Height * 2));
    Put16(b, 1);
    Put16(b, 32);
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (int y = Height - 1; y >= 0; --y) // rows bottom-up
        b.insert(b.end(), Pixels + std::size_t(y) * Width * 4,
                 Pixels + std::size_t(y + 1) * Width * 4);
    // The mask is set where the pixel is fully transparent.
    for (int y = Height - 1; y >= 0; --y) {
        TByteVector row(maskRow, 0);
        for (int x = 0; x < Width; ++x)
            if (Pixels[(std::size_t(y) * Width + x) * 4 + 3] == 0)
                row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

bool ExtractIconFile(const std::string& FileName, int Index, int Size, TByteVector& Icon) {
    TByteVector file;
    if (!ReadWholeFile(FileName, file)) return false;
    if (IsIconFile(file)) {
        if (Index != 0) return false; // an icon file holds one icon
        std::vector<TIconEntry> entries;
        if (!ReadIconEntries(file, true, entries)) return false;
        return PickImage(
            entries, Size,
            [&](const TIconEntry& e, TByteVector& image) {
                if (!Fits(file, e.Where, e.Bytes)) return false;
                image.assign(file.begin() + e.Where, file.begin() + e.Where + e.Bytes);
                return true;
            },
            Icon);
    }
    const TPeResources res(std::move(file));
    TByteVector group;
    const bool found = Index >= 0
                           ? res.ByIndex(RT_GROUP_ICON, Index, group)
                           : res.ById(RT_GROUP_ICON, std::uint32_t(-std::int64_t(Index)), group);
    if (!found || !IsIconFile(group)) return false;
    std::vector<TIconEntry> entries;
    if (!ReadIconEntries(group, false, entries)) return false;
    return PickImage(
        entries, Size,
        [&](const TIconEntry& e, TByteVector& image) { return res.ById(RT_ICON, e.Where, image); },
        Icon);
}

int IconFileCount(const std::string& FileName) {
    TByteVector file;
    if (!ReadWholeFile(FileName, file)) return 0;
    if (IsIconFile(file)) return 1;
    return TPeResources(std::move(file)).Count(RT_GROUP_ICON);
}
