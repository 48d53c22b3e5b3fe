#include "gif/OctreePalette.h"

#include <algorithm>
#include <array>

#include "gif/ColorReduction.h"

TColorQuantizer::TColorQuantizer(int MaxColors, int ColorBits)
    : FStore(std::move(Spare())), FMaxColors(std::clamp(MaxColors, 1, MaxPaletteEntries)),
      FColorBits(std::clamp(ColorBits, 1, 8)) {
    Spare() = TStore();
    FNodes.clear();
    FFreeNodes.clear();
    FNodes.reserve(std::size_t(FMaxColors) * 4 + 64);
    FMemoColors.assign(MemoSlots, NoKey);
    FMemoNodes.assign(MemoSlots, -1);
}

TColorQuantizer::~TColorQuantizer() {
    TStore& spare = Spare();
    if (FNodes.capacity() > spare.Nodes.capacity()) spare = std::move(FStore);
}

TColorQuantizer::TStore& TColorQuantizer::Spare() {
    thread_local TStore store;
    return store;
}

namespace {

// The top Level bits of each channel of a packed 0x00RRGGBB colour.
std::uint32_t LevelMask(int Level) {
    const std::uint32_t m = (0xFF00u >> Level) & 0xFF;
    return m * 0x010101u;
}

} // namespace

int TColorQuantizer::NewNode(int Level, std::uint32_t Key) {
    int node;
    if (!FFreeNodes.empty()) {
        node = FFreeNodes.back();
        FFreeNodes.pop_back();
    } else {
        node = int(FNodes.size());
        FNodes.emplace_back();
    }
    // Field by field: nodes are made and folded by the thousand on a
    // picture of many colours, and a whole-record reset costs more than
    // the rest of the walk.
    TOctreeNode& n = FNodes[node];
    n.Key = Key;
    n.Level = Level;
    n.PixelCount = n.RedSum = n.GreenSum = n.BlueSum = 0;
    n.NextReducible = -1;
    std::fill(std::begin(n.Children), std::end(n.Children), -1);
    n.Leaf = Level == FColorBits;
    if (n.Leaf) {
        ++FLeafCount;
    } else {
        n.NextReducible = FReducible[Level];
        FReducible[Level] = node;
    }
    return node;
}

void TColorQuantizer::FreeNode(int Node) {
    FNodes[Node].Leaf = false;
    FNodes[Node].Key = NoKey;
    FFreeNodes.push_back(Node);
}

void TColorQuantizer::AddColor(Byte Red, Byte Green, Byte Blue) {
    AddColors(Red, Green, Blue, 1);
}

void TColorQuantizer::AddColors(Byte Red, Byte Green, Byte Blue, int Count) {
    // Count pixels at once: the sums only add up, and a fold after the first
    // pixel would take the others along with it, so the tree ends as it would
    // after Count single additions.
    const std::uint32_t rgb = (std::uint32_t(Red) << 16) | (std::uint32_t(Green) << 8) | Blue;
    const std::uint32_t slot = ((rgb * 2654435761u) >> 20) & (MemoSlots - 1);
    int node = -1;
    if (FMemoColors[slot] == rgb) {
        const TOctreeNode& n = FNodes[FMemoNodes[slot]];
        if (n.Leaf && (rgb & LevelMask(n.Level)) == n.Key) node = FMemoNodes[slot];
    }
    const bool made = node < 0;
    if (made) {
        if (FRoot < 0) FRoot = NewNode(0, 0);
        node = FRoot;
        for (int level = 0; !FNodes[node].Leaf; ++level) {
            const int shift = 7 - level;
            const int index =
                (((Red >> shift) & 1) << 2) | (((Green >> shift) & 1) << 1) | ((Blue >> shift) & 1);
            int child = FNodes[node].Children[index];
            if (child < 0) {
                child = NewNode(level + 1, rgb & LevelMask(level + 1)); // may move FNodes
                FNodes[node].Children[index] = child;
            }
            node = child;
        }
        FMemoColors[slot] = rgb;
        FMemoNodes[slot] = node;
    }
    TOctreeNode& n = FNodes[node];
    n.PixelCount += Count;
    n.RedSum += std::int64_t(Red) * Count;
    n.GreenSum += std::int64_t(Green) * Count;
    n.BlueSum += std::int64_t(Blue) * Count;
    // A remembered leaf means nothing was made, so nothing needs folding.
    if (made)
        while (FLeafCount > FMaxColors)
            if (!Reduce()) break;
}

void TColorQuantizer::AddRows(const TDIBReader& Reader) {
    const int step = Reader.PixelBytes();
    const int width = Reader.Width();
    for (int y = 0; y < Reader.Height(); ++y) {
        const Byte* p = Reader.Row(y);
        for (int x = 0; x < width;) {
            const Byte* first = p;
            int n = 1;
            for (p += step, ++x;
                 x < width && p[0] == first[0] && p[1] == first[1] && p[2] == first[2];
                 p += step, ++x)
                ++n;
            AddColors(first[2], first[1], first[0], n);
        }
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

namespace {

// The eight bits of a channel spread to every third bit, so that the
// interleaved bits of a colour (red, green, blue at each level, the top
// level first) order colours as the tree's depth-first walk meets them.
constexpr std::array<std::uint32_t, 256> SpreadBits = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t v = 0; v < 256; ++v)
        for (int b = 0; b < 8; ++b)
            t[v] |= ((v >> b) & 1u) << (3 * b);
    return t;
}();

std::uint32_t WalkOrder(const TPaletteEntry& E) {
    return (SpreadBits[E.peRed] << 2) | (SpreadBits[E.peGreen] << 1) | SpreadBits[E.peBlue];
}

// The distinct colours of Reader's pixels in the tree's walk order, when
// there are at most MaxColors of them; false otherwise.
bool FewColors(const TDIBReader& Reader, int MaxColors, std::vector<TPaletteEntry>& Colors) {
    // Open addressing, at most a quarter full: RGB + 1, 0 for an empty slot.
    constexpr int Slots = 4 * MaxPaletteEntries;
    std::array<std::uint32_t, Slots> keys{};
    Colors.clear();
    const int step = Reader.PixelBytes();
    const int width = Reader.Width();
    std::uint32_t last = 0;
    for (int y = 0; y < Reader.Height(); ++y) {
        const Byte* p = Reader.Row(y);
        for (int x = 0; x < width; ++x, p += step) {
            const std::uint32_t rgb =
                (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
            if (rgb + 1 == last) continue;
            last = rgb + 1;
            std::uint32_t slot = (rgb * 2654435761u) >> 22;
            while (keys[slot] != 0 && keys[slot] != rgb + 1)
                slot = (slot + 1) & (Slots - 1);
            if (keys[slot] != 0) continue;
            if (int(Colors.size()) == MaxColors) return false;
            keys[slot] = rgb + 1;
            Colors.push_back({p[2], p[1], p[0], 0});
        }
    }
    std::sort(Colors.begin(), Colors.end(), [](const TPaletteEntry& a, const TPaletteEntry& b) {
        return WalkOrder(a) < WalkOrder(b);
    });
    return true;
}

} // namespace

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
    std::vector<TPaletteEntry> colors;
    if (ColorBits < 8 || !FewColors(Reader, MaxColors, colors)) {
        // Past MaxColors the tree folds, and what it keeps depends on the
        // order the pixels come in. Up to it the tree never folds: its
        // leaves are the picture's colours, each its own average, which is
        // what FewColors gives without building it.
        TColorQuantizer quantizer(MaxColors, ColorBits);
        quantizer.AddRows(Reader);
        colors = quantizer.ColorTable();
    }
    for (std::size_t i = 0; i < colors.size() && start + int(i) < count; ++i)
        entries[start + i] = colors[i];
    entries.resize(std::size_t(count));
    return TPalette(std::move(entries));
}
