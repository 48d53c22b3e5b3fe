#include "gif/OctreePalette.h"

#include <algorithm>

#include "gif/ColorReduction.h"

TColorQuantizer::TColorQuantizer(int MaxColors, int ColorBits)
    : FMaxColors(std::clamp(MaxColors, 1, MaxPaletteEntries)),
      FColorBits(std::clamp(ColorBits, 1, 8)) {
    FNodes.reserve(std::size_t(FMaxColors) * 4 + 64);
}

int TColorQuantizer::NewNode(int Level) {
    int node;
    if (!FFreeNodes.empty()) {
        node = FFreeNodes.back();
        FFreeNodes.pop_back();
        FNodes[node] = TOctreeNode();
    } else {
        node = int(FNodes.size());
        FNodes.emplace_back();
    }
    if (Level == FColorBits) {
        FNodes[node].Leaf = true;
        ++FLeafCount;
    } else {
        FNodes[node].NextReducible = FReducible[Level];
        FReducible[Level] = node;
    }
    return node;
}

void TColorQuantizer::FreeNode(int Node) {
    FFreeNodes.push_back(Node);
}

void TColorQuantizer::AddColor(Byte Red, Byte Green, Byte Blue) {
    if (FRoot < 0) FRoot = NewNode(0);
    int node = FRoot;
    for (int level = 0;; ++level) {
        TOctreeNode& n = FNodes[node];
        if (n.Leaf) {
            ++n.PixelCount;
            n.RedSum += Red;
            n.GreenSum += Green;
            n.BlueSum += Blue;
            break;
        }
        const int shift = 7 - level;
        const int index =
            (((Red >> shift) & 1) << 2) | (((Green >> shift) & 1) << 1) | ((Blue >> shift) & 1);
        int child = n.Children[index];
        if (child < 0) {
            child = NewNode(level + 1); // may move FNodes
            FNodes[node].Children[index] = child;
        }
        node = child;
    }
    while (FLeafCount > FMaxColors)
        if (!Reduce()) break;
}

void TColorQuantizer::AddRows(const TDIBReader& Reader) {
    const int step = Reader.PixelBytes();
    for (int y = 0; y < Reader.Height(); ++y) {
        const Byte* p = Reader.Row(y);
        for (int x = 0; x < Reader.Width(); ++x, p += step)
            AddColor(p[2], p[1], p[0]);
    }
}

bool TColorQuantizer::Reduce() {
    int level = FColorBits - 1;
    while (level > 0 && FReducible[level] < 0)
        --level;
    const int node = FReducible[level];
    if (node < 0) return false;
    FReducible[level] = FNodes[node].NextReducible;
    TOctreeNode& n = FNodes[node];
    n.PixelCount = n.RedSum = n.GreenSum = n.BlueSum = 0;
    int children = 0;
    for (int& c : n.Children) {
        if (c < 0) continue;
        const TOctreeNode& child = FNodes[c];
        n.PixelCount += child.PixelCount;
        n.RedSum += child.RedSum;
        n.GreenSum += child.GreenSum;
        n.BlueSum += child.BlueSum;
        FreeNode(c);
        c = -1;
        ++children;
    }
    n.Leaf = true;
    FLeafCount += 1 - children;
    return true;
}

void TColorQuantizer::Collect(int Node, std::vector<TPaletteEntry>& Out) const {
    const TOctreeNode& n = FNodes[Node];
    if (n.Leaf) {
        TPaletteEntry e;
        if (n.PixelCount > 0) {
            e.peRed = Byte(n.RedSum / n.PixelCount);
            e.peGreen = Byte(n.GreenSum / n.PixelCount);
            e.peBlue = Byte(n.BlueSum / n.PixelCount);
        }
        Out.push_back(e);
        return;
    }
    for (int c : n.Children)
        if (c >= 0) Collect(c, Out);
}

std::vector<TPaletteEntry> TColorQuantizer::ColorTable() const {
    std::vector<TPaletteEntry> out;
    out.reserve(std::size_t(FLeafCount));
    if (FRoot >= 0) Collect(FRoot, out);
    return out;
}

TPalette BuildOctreePalette(const TDIBReader& Reader, int MaxColors, int ColorBits,
                            bool KeepStaticColors) {
    // A larger count could not be held by a GIF colour table.
    MaxColors = std::clamp(MaxColors, 1, MaxPaletteEntries);
    std::vector<TPaletteEntry> entries(MaxPaletteEntries, TPaletteEntry{0, 0, 0, PC_NOCOLLAPSE});
    int start = 0;
    int count = MaxColors;
    if (KeepStaticColors) {
        const TPalette stock = StockPalette();
        for (int i = 0; i < 10; ++i) {
            entries[i] = stock.Entry(i);
            entries[i].peFlags = 0;
            entries[246 + i] = stock.Entry(10 + i);
            entries[246 + i].peFlags = 0;
        }
        MaxColors = 236;
        start = 10;
        count = MaxPaletteEntries;
    }
    TColorQuantizer quantizer(MaxColors, ColorBits);
    quantizer.AddRows(Reader);
    const std::vector<TPaletteEntry> colors = quantizer.ColorTable();
    for (std::size_t i = 0; i < colors.size() && start + int(i) < count; ++i)
        entries[start + i] = colors[i];
    entries.resize(std::size_t(count));
    return TPalette(std::move(entries));
}
