#pragma once
// Octree colour quantisation. TColorQuantizer keeps the tree within its
// maximum colour count while colours are added (the deepest node made last
// is folded first), so memory stays bounded whatever the picture's size.
#include <cstdint>
#include <vector>

#include "platform/base/Types.h"
#include "platform/graphics/Palette.h"

class TDIBReader;

struct TOctreeNode {
    bool Leaf = false;
    // The colours under this node: their top Level bits per channel, packed
    // 0x00RRGGBB; a freed node holds NoKey, which no colour matches.
    std::uint32_t Key = 0;
    int Level = 0;
    std::int64_t PixelCount = 0;
    std::int64_t RedSum = 0;
    std::int64_t GreenSum = 0;
    std::int64_t BlueSum = 0;
    int NextReducible = -1; // next node of the same level's list
    int Children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

class TColorQuantizer {
public:
    // MaxColors is kept within 1..256, ColorBits (the tree depth) within 1..8.
    TColorQuantizer(int MaxColors, int ColorBits);
    ~TColorQuantizer();
    TColorQuantizer(const TColorQuantizer&) = delete;
    TColorQuantizer& operator=(const TColorQuantizer&) = delete;

    // Adds one colour, then folds nodes while there are too many leaves.
    void AddColor(Byte Red, Byte Green, Byte Blue);
    // Count pixels of one colour in a row: the same tree as Count calls of
    // AddColor.
    void AddColors(Byte Red, Byte Green, Byte Blue, int Count);
    void AddRows(const TDIBReader& Reader);
    int LeafCount() const { return FLeafCount; }
    int MaxColors() const { return FMaxColors; }
    // The leaves depth first (children in order 0..7): the average colour of
    // each, black for a leaf without pixels; flags 0.
    std::vector<TPaletteEntry> ColorTable() const;

private:
    static constexpr std::uint32_t NoKey = 0xFFFFFFFF;
    static constexpr int MemoSlots = 4096;
    int NewNode(int Level, std::uint32_t Key);
    void FreeNode(int Node);
    bool Reduce();
    void Collect(int Node, std::vector<TPaletteEntry>& Out) const;

    // Colour -> the leaf that last took it. A leaf is only ever folded into
    // its parent or freed, so a remembered leaf that is still a live leaf on
    // the colour's path is exactly where the walk from the root would end:
    // the memo spares the walk without changing what the tree holds.
    // The storage of one tree. A picture is reduced frame after frame; the
    // storage of the last tree is kept for the next one (per thread), so
    // that each frame does not touch fresh memory again.
    struct TStore {
        std::vector<std::uint32_t> MemoColors;
        std::vector<int> MemoNodes;
        std::vector<TOctreeNode> Nodes;
        std::vector<int> FreeNodes;
    };
    static TStore& Spare();
    TStore FStore;
    std::vector<std::uint32_t>& FMemoColors = FStore.MemoColors;
    std::vector<int>& FMemoNodes = FStore.MemoNodes;
    std::vector<TOctreeNode>& FNodes = FStore.Nodes;
    std::vector<int>& FFreeNodes = FStore.FreeNodes;
    int FRoot = -1;
    int FLeafCount = 0;
    int FReducible[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int FMaxColors;
    int FColorBits;
};

// A palette of MaxColors entries (256 when keeping the static colours, which
// take entries 0-9 and 246-255 and leave 236 for the picture): the octree
// colours of every pixel of Reader from the first entry free, the rest black
// and flagged no-collapse.
TPalette BuildOctreePalette(const TDIBReader& Reader, int MaxColors, int ColorBits,
                            bool KeepStaticColors);
