#pragma once
// Resources of a program file in the portable executable format (.exe,
// .dll): icons and version records of programs made for the other family
// of systems, read without running anything.
//
// Every offset and count comes from the file and is checked against the
// file's size before use; a damaged file simply has no resources.
#include <cstdint>
#include <string>
#include <vector>

using TByteVector = std::vector<std::uint8_t>;

// Resource types.
constexpr std::uint32_t RT_ICON = 3;
constexpr std::uint32_t RT_GROUP_ICON = 14;
constexpr std::uint32_t RT_VERSION = 16;

class TPeResources {
public:
    // An empty set when the bytes are not a program file with resources.
    explicit TPeResources(TByteVector File);

    bool Valid() const { return FResourceSize != 0; }
    // The number of resources of Type, in directory order.
    int Count(std::uint32_t Type) const;
    // The Index-th resource of Type (first language); false when absent.
    bool ByIndex(std::uint32_t Type, int Index, TByteVector& Data) const;
    // The resource of Type with the numeric identifier Id.
    bool ById(std::uint32_t Type, std::uint32_t Id, TByteVector& Data) const;

private:
    struct TEntry {
        std::uint32_t Id;
        bool Named;
        std::uint32_t Offset;
        bool Directory;
    };
    std::vector<TEntry> Entries(std::uint32_t DirOffset) const;
    bool TypeEntries(std::uint32_t Type, std::vector<TEntry>& Names) const;
    bool Leaf(const TEntry& Name, TByteVector& Data) const;
    bool RvaToOffset(std::uint32_t Rva, std::uint32_t Size, std::size_t& Offset) const;

    TByteVector FFile;
    std::size_t FResourceStart = 0; // file offset of the resource section's root
    std::uint32_t FResourceRva = 0;
    std::uint32_t FResourceSize = 0;
    struct TSection {
        std::uint32_t Rva, Size, Raw, RawSize;
    };
    std::vector<TSection> FSections;
};

// Reads a whole file of at most MaxSize bytes; false when it cannot.
bool ReadWholeFile(const std::string& FileName, TByteVector& Data,
                   std::uint64_t MaxSize = 256u << 20);

// An icon file (.ico) of one 32-bit image; Pixels are Width x Height
// B,G,R,A quadruplets, top row first.
TByteVector MakeIconFile(int Width, int Height, const std::uint8_t* Pixels);
// The icon file of the icon at Index of an icon file (index 0) or a
// program's icon groups (Index below 0: the group whose identifier is
// -Index), holding the one image whose size is closest to Size (PNG-packed
// images are passed over). False when there is no such icon.
bool ExtractIconFile(const std::string& FileName, int Index, int Size, TByteVector& Icon);
// The number of icons ExtractIconFile can give from the file.
int IconFileCount(const std::string& FileName);
