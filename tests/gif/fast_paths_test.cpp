// The export's fast paths against the plain forms they replace, on random
// pictures: the octree palette and the reduced indices (memo of leaves, runs
// added at once, pictures of few colours kept without a tree, nearest colour
// by cells or by exact match) against a tree walked for every pixel and a
// search over every entry; the LZW coder (direct string table)
// against the coder that asks its hash table for every pixel.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "gif/ColorReduction.h"
#include "gif/GifPixelEncoders.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

namespace {

// The octree as first written: one walk from the root per pixel, a fold
// after every addition that leaves too many leaves.
struct TPlainOctree {
    struct TNode {
        bool Leaf = false;
        std::int64_t Count = 0, R = 0, G = 0, B = 0;
        std::array<std::unique_ptr<TNode>, 8> Child;
        TNode* Next = nullptr;
    };
    std::unique_ptr<TNode> Root;
    std::array<TNode*, 8> Reducible{};
    int Leaves = 0, Max;
    explicit TPlainOctree(int MaxColors) : Max(MaxColors) {}

    std::unique_ptr<TNode> Make(int Level) {
        auto n = std::make_unique<TNode>();
        if (Level == 8) {
            n->Leaf = true;
            ++Leaves;
        } else {
            n->Next = Reducible[Level];
            Reducible[Level] = n.get();
        }
        return n;
    }
    void Add(int r, int g, int b) {
        if (!Root) Root = Make(0);
        TNode* n = Root.get();
        for (int level = 0; !n->Leaf; ++level) {
            const int s = 7 - level;
            const int i = (((r >> s) & 1) << 2) | (((g >> s) & 1) << 1) | ((b >> s) & 1);
            if (!n->Child[i]) n->Child[i] = Make(level + 1);
            n = n->Child[i].get();
        }
        ++n->Count;
        n->R += r;
        n->G += g;
        n->B += b;
        while (Leaves > Max) {
            int level = 7;
            while (level > 0 && !Reducible[level])
                --level;
            TNode* f = Reducible[level];
            if (!f) break;
            Reducible[level] = f->Next;
            int children = 0;
            for (auto& c : f->Child) {
                if (!c) continue;
                f->Count += c->Count;
                f->R += c->R;
                f->G += c->G;
                f->B += c->B;
                c.reset();
                ++children;
            }
            f->Leaf = true;
            Leaves += 1 - children;
        }
    }
    void Collect(const TNode* n, std::vector<TPaletteEntry>& Out) const {
        if (n->Leaf) {
            TPaletteEntry e{0, 0, 0, 0};
            if (n->Count)
                e = {Byte(n->R / n->Count), Byte(n->G / n->Count), Byte(n->B / n->Count), 0};
            Out.push_back(e);
            return;
        }
        for (const auto& c : n->Child)
            if (c) Collect(c.get(), Out);
    }
};

// Random banner-like pictures: flat runs, a few colours repeated, noise;
// kind 3 scatters Few colours, black among them.
std::unique_ptr<TBitmap> RandomPicture(std::mt19937& Rng, int W, int H, int Kind, int Few = 12) {
    auto bmp = std::make_unique<TBitmap>(W, H, pf32bit);
    std::vector<std::array<Byte, 3>> few(std::size_t(std::max(Few, 1)));
    for (auto& c : few)
        c = {Byte(Rng()), Byte(Rng()), Byte(Rng())};
    few[0] = {0, 0, 0};
    std::array<Byte, 3> c = few[0];
    for (int y = 0; y < H; ++y) {
        Byte* p = bmp->ScanLine(y);
        for (int x = 0; x < W; ++x, p += 4) {
            const unsigned roll = Rng() % 16;
            if (Kind == 0 && roll == 0) c = few[Rng() % few.size()];
            if (Kind == 1 && roll < 6) c = {Byte(Rng()), Byte(Rng()), Byte(Rng())};
            if (Kind == 2) c = {Byte(x * 255 / W), Byte(y * 255 / H), Byte((Rng() % 4) * 60)};
            if (Kind == 3) c = few[(y * W + x) < Few ? (y * W + x) : Rng() % few.size()];
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
            p[3] = 255;
        }
    }
    return bmp;
}

// The LZW coder as first written: a hash-table look-up for every pixel.
std::vector<Byte> PlainLzw(const std::vector<Byte>& Pixels, int W, int H, bool Interlaced,
                           int Bits) {
    std::vector<Byte> out{Byte(Bits)}, block;
    std::uint32_t bucket = 0;
    int inBucket = 0, width = Bits + 1, maxCode = (1 << width) - 1;
    const int clear = 1 << Bits;
    int next = clear + 2;
    bool clearFlag = false;
    std::vector<std::uint32_t> slots(8009);
    auto put = [&](Byte b) {
        block.push_back(b);
        if (block.size() == 255) {
            out.push_back(255);
            out.insert(out.end(), block.begin(), block.end());
            block.clear();
        }
    };
    auto send = [&](int code) {
        bucket |= std::uint32_t(code) << inBucket;
        inBucket += width;
        for (; inBucket >= 8; inBucket -= 8, bucket >>= 8)
            put(Byte(bucket));
        if (next > maxCode || clearFlag) {
            if (clearFlag) {
                width = Bits + 1;
                clearFlag = false;
            } else {
                ++width;
            }
            maxCode = width == 12 ? 4096 : (1 << width) - 1;
        }
    };
    auto clearTable = [&] {
        clearFlag = true;
        std::fill(slots.begin(), slots.end(), 0xFFFFFFFFu);
        next = clear + 2;
        send(clear);
    };
    std::vector<int> rows;
    if (Interlaced) {
        for (int pass = 0; pass < 4; ++pass)
            for (int y = (int[]){0, 4, 2, 1}[pass]; y < H; y += (int[]){8, 8, 4, 2}[pass])
                rows.push_back(y);
    } else {
        for (int y = 0; y < H; ++y)
            rows.push_back(y);
    }
    clearTable();
    int prefix = -1;
    for (int y : rows)
        for (int x = 0; x < W; ++x) {
            const int pixel = Pixels[std::size_t(y) * W + x];
            if (prefix < 0) {
                prefix = pixel;
                continue;
            }
            const std::uint32_t key = (std::uint32_t(prefix) << 8) | std::uint32_t(pixel);
            int h = int((key ^ (key >> 4)) % 8009), slot = -1, found = -1;
            for (int probe = 0; probe < 8009; ++probe) {
                if (slots[h] == 0xFFFFFFFFu) {
                    slot = h;
                    break;
                }
                if ((slots[h] >> 12) == key) {
                    found = int(slots[h] & 0xFFF);
                    break;
                }
                h = h == 0 ? 8008 : h - (8009 - h);
                if (h < 0) h += 8009;
            }
            if (found >= 0) {
                prefix = found;
                continue;
            }
            send(prefix);
            prefix = pixel;
            if (next > 4094 || slot < 0) {
                clearTable();
            } else {
                slots[slot] = (key << 12) | std::uint32_t(next++);
            }
        }
    send(prefix);
    send(clear + 1);
    for (; inBucket > 0; inBucket -= std::min(inBucket, 8), bucket >>= 8)
        put(Byte(bucket));
    if (!block.empty()) {
        out.push_back(Byte(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    out.push_back(0);
    return out;
}

} // namespace

TEST(GifFastPaths, OctreePaletteAndIndicesMatchThePlainForms) {
    // Kind 3 has one colour fewer than the palette holds, as many, or one
    // more: up to the palette's size every colour is kept as it is.
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        const int w = 40 + int(rng() % 200), h = 8 + int(rng() % 60), bits = round % 3 ? 8 : 4;
        const auto pic = RandomPicture(rng, w, h, round % 4, (1 << bits) + round % 3 - 1);
        const auto reduced = ReduceBitmapColors(*pic, rdmOctree, dkNearestColor, bits, nullptr);

        TPlainOctree plain(1 << bits);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Byte* p = pic->ScanLine(y) + x * 4;
                plain.Add(p[2], p[1], p[0]);
            }
        std::vector<TPaletteEntry> colors;
        plain.Collect(plain.Root.get(), colors);
        const TPalette& pal = reduced->Image().Palette;
        ASSERT_EQ(pal.Count(), 1 << bits);
        for (int i = 0; i < pal.Count(); ++i) {
            const TPaletteEntry want = i < int(colors.size()) ? colors[i] : TPaletteEntry{};
            ASSERT_EQ(pal.Entry(i).peRed, want.peRed) << round << " entry " << i;
            ASSERT_EQ(pal.Entry(i).peGreen, want.peGreen);
            ASSERT_EQ(pal.Entry(i).peBlue, want.peBlue);
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Byte* p = pic->ScanLine(y) + x * 4;
                int best = 0, bestD = 1 << 30;
                for (int i = 0; i < pal.Count(); ++i) {
                    const int dr = pal.Entry(i).peRed - p[2], dg = pal.Entry(i).peGreen - p[1],
                              db = pal.Entry(i).peBlue - p[0];
                    if (dr * dr + dg * dg + db * db < bestD) {
                        bestD = dr * dr + dg * dg + db * db;
                        best = i;
                    }
                }
                ASSERT_EQ(reduced->ScanLine(y)[x], best) << round << " " << x << "," << y;
            }
    }
}

TEST(GifFastPaths, LzwCodesMatchTheHashTableCoder) {
    std::mt19937 rng(11);
    for (int round = 0; round < 12; ++round) {
        const int colors = (int[]){2, 4, 16, 256}[round % 4];
        int bits = 2;
        while ((1 << bits) < colors)
            ++bits;
        const int w = 1 + int(rng() % 400), h = 1 + int(rng() % 300);
        std::vector<Byte> pixels(std::size_t(w) * h);
        Byte run = 0;
        for (Byte& p : pixels) {
            if (round % 3 == 0 || rng() % 8 == 0) run = Byte(rng() % colors);
            p = run;
        }
        const bool interlaced = round % 5 == 1;
        TMemoryStream out;
        WriteGIFPixelData(out, gpcLZW, pixels, w, h, interlaced, bits, colors);
        const auto* data = static_cast<const Byte*>(out.Memory());
        ASSERT_EQ(std::vector<Byte>(data, data + out.Size()),
                  PlainLzw(pixels, w, h, interlaced, bits))
            << round << ": " << w << "x" << h << " of " << colors;
    }
}
