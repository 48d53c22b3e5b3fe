// Pixel coders: exact bytes of small images, sub-block splitting, the code
// width switch points and clear codes, interlaced walk order, refusal of
// bad indices, and round trips through an independent decoder written here
// from the format's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "gif/GifPixelEncoders.h"
#include "gif/GifWriter.h"
#include "gif/LzwEncoder.h"
#include "platform/classes/Stream.h"

namespace {

std::vector<Byte> Bytes(TMemoryStream& s) {
    const Byte* p = static_cast<const Byte*>(s.Memory());
    return std::vector<Byte>(p, p + s.Size());
}

std::vector<Byte> Encode(TGIFPixelCoding coding, const std::vector<Byte>& pixels, int w, int h,
                         int bits, int colors, bool interlaced = false) {
    TMemoryStream s;
    WriteGIFPixelData(s, coding, pixels, w, h, interlaced, bits, colors);
    return Bytes(s);
}

// What the reference decoder saw.
struct TDecoded {
    std::vector<Byte> Pixels; // in stream order
    int Clears = 0;
    std::vector<int> NextFreeAtClear; // table size when each later clear came
    int MaxWidth = 0;
    bool SawEnd = false;
};

// A plain GIF LZW decoder: sub-blocks, LSB-first codes, width growing when
// the table reaches 2^width (up to 12 bits), KwKwK.
TDecoded Decode(const std::vector<Byte>& data) {
    TDecoded out;
    size_t pos = 0;
    const int minSize = data.at(pos++);
    std::vector<Byte> bytes;
    for (;;) {
        const int n = data.at(pos++);
        if (n == 0) break;
        for (int i = 0; i < n; ++i)
            bytes.push_back(data.at(pos++));
    }
    EXPECT_EQ(pos, data.size()) << "bytes after the 0 block";
    const int clear = 1 << minSize;
    const int end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<Byte> suffix(4096, 0);
    for (int i = 0; i < clear; ++i)
        suffix[i] = Byte(i);
    int width = minSize + 1;
    int next = clear + 2;
    int prev = -1;
    size_t bit = 0;
    auto expand = [&](int code, std::vector<Byte>& str) {
        str.clear();
        while (code >= 0) {
            str.push_back(suffix[code]);
            code = prefix[code];
        }
        std::reverse(str.begin(), str.end());
    };
    std::vector<Byte> str;
    while (bit + width <= bytes.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
        out.MaxWidth = std::max(out.MaxWidth, width);
        if (code == clear) {
            if (out.Clears > 0) out.NextFreeAtClear.push_back(next);
            ++out.Clears;
            width = minSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end) {
            out.SawEnd = true;
            // Only padding bits may follow.
            EXPECT_LT(bytes.size() * 8 - bit, 8u);
            break;
        }
        if (prev < 0) {
            EXPECT_LT(code, clear);
            out.Pixels.push_back(Byte(code));
            prev = code;
            continue;
        }
        EXPECT_LE(code, next) << "code beyond the table";
        if (code > next) break;
        Byte first;
        if (code == next) {
            expand(prev, str);
            str.push_back(str[0]);
        } else {
            expand(code, str);
        }
        first = str[0];
        out.Pixels.insert(out.Pixels.end(), str.begin(), str.end());
        if (next < 4096) {
            prefix[next] = prev;
            suffix[next] = first;
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        prev = code;
    }
    return out;
}

std::vector<Byte> RandomPixels(std::mt19937& rng, size_t n, int colors) {
    std::uniform_int_distribution<int> d(0, colors - 1);
    std::vector<Byte> p(n);
    for (auto& b : p)
        b = Byte(d(rng));
    return p;
}

// Runs of random length, so that the run-length coder uses its run codes.
std::vector<Byte> RunPixels(std::mt19937& rng, size_t n, int colors, int maxRun) {
    std::uniform_int_distribution<int> c(0, colors - 1), len(1, maxRun);
    std::vector<Byte> p;
    while (p.size() < n) {
        const Byte v = Byte(c(rng));
        for (int k = len(rng); k > 0 && p.size() < n; --k)
            p.push_back(v);
    }
    return p;
}

} // namespace

TEST(GifPixelEncoder, OnePixelTwoColoursExactBytes) {
    // Code size 2; clear 4, pixel, end 5 as 3-bit codes: 4 | p<<3 | 5<<6.
    EXPECT_EQ(Encode(gpcLZW, {0}, 1, 1, 1, 2), (std::vector<Byte>{2, 2, 0x44, 0x01, 0}));
    EXPECT_EQ(Encode(gpcLZW, {1}, 1, 1, 1, 2), (std::vector<Byte>{2, 2, 0x4C, 0x01, 0}));
    EXPECT_EQ(Encode(gpcRunLength, {1}, 1, 1, 1, 2), (std::vector<Byte>{2, 2, 0x4C, 0x01, 0}));
}

TEST(GifPixelEncoder, FourEqualPixelsExactBytes) {
    // LZW: clear, 0, 6 ("00"), 0, then the width grows to 4 before end 5.
    // The run-length coder spells the run as 1 + 2 + 1 pixels: the same codes.
    const std::vector<Byte> expected{2, 2, 0x84, 0x51, 0};
    EXPECT_EQ(Encode(gpcLZW, {0, 0, 0, 0}, 4, 1, 2, 4), expected);
    EXPECT_EQ(Encode(gpcRunLength, {0, 0, 0, 0}, 2, 2, 2, 4), expected);
}

TEST(GifPixelEncoder, EmptyFrameWritesOnlyTheEndCode) {
    // Code size 8: end code 257 as 9 bits.
    EXPECT_EQ(Encode(gpcLZW, {}, 0, 0, 8, 256), (std::vector<Byte>{8, 2, 0x01, 0x01, 0}));
    EXPECT_EQ(Encode(gpcRunLength, {}, 5, 0, 8, 256), (std::vector<Byte>{8, 2, 0x01, 0x01, 0}));
}

TEST(GifPixelEncoder, PixelNotInColourTableRaises) {
    for (TGIFPixelCoding coding : {gpcLZW, gpcRunLength}) {
        TMemoryStream s;
        try {
            WriteGIFPixelData(s, coding, std::vector<Byte>{0, 1, 2, 3}, 2, 2, false, 2, 3);
            FAIL() << "no exception";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Color not in color table");
        }
        // The very first pixel is checked too.
        EXPECT_THROW(WriteGIFPixelData(s, coding, std::vector<Byte>{5}, 1, 1, false, 2, 4),
                     GIFException);
    }
}

TEST(GifPixelEncoder, SubBlocksOf255) {
    for (int n : {1, 254, 255, 256, 510, 511}) {
        TMemoryStream s;
        TGIFWriter w(s);
        for (int i = 0; i < n; ++i)
            w.Put(Byte(i));
        EXPECT_EQ(w.Position(), n);
        w.Flush();
        const std::vector<Byte> b = Bytes(s);
        std::vector<Byte> expected;
        for (int done = 0; done < n;) {
            const int len = std::min(255, n - done);
            expected.push_back(Byte(len));
            for (int i = 0; i < len; ++i)
                expected.push_back(Byte(done + i));
            done += len;
        }
        EXPECT_EQ(b, expected) << n;
    }
    // Nothing written: nothing flushed.
    TMemoryStream s;
    TGIFWriter w(s);
    w.Flush();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_THROW(w.ReadByte(), GIFException);
}

TEST(GifPixelEncoder, InterlacedWalkOrder) {
    // One pixel per row holding the row number: the stream order is the
    // pass order.
    const std::vector<std::pair<int, std::vector<Byte>>> cases{
        {1, {0}},
        {2, {0, 1}},
        {3, {0, 2, 1}},
        {5, {0, 4, 2, 1, 3}},
        {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
        {12, {0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9, 11}}};
    for (const auto& [h, order] : cases) {
        std::vector<Byte> rows(static_cast<size_t>(h));
        for (int i = 0; i < h; ++i)
            rows[size_t(i)] = Byte(i);
        for (TGIFPixelCoding coding : {gpcLZW, gpcRunLength}) {
            const TDecoded d = Decode(Encode(coding, rows, 1, h, 4, 16, true));
            EXPECT_EQ(d.Pixels, order) << "height " << h;
        }
    }
    // Whole rows move together.
    const std::vector<Byte> pix{1, 1, 2, 2, 3, 3};
    EXPECT_EQ(Decode(Encode(gpcLZW, pix, 2, 3, 2, 4, true)).Pixels,
              (std::vector<Byte>{1, 1, 3, 3, 2, 2}));
}

TEST(GifPixelEncoder, WidthGrowsToTwelveBitsThenClears) {
    // Noise fills the table fast: the LZW coder must clear when its next
    // entry would pass 4094, and widen exactly when a decoder does (else
    // the round trip fails).
    std::mt19937 rng(7);
    const auto pixels = RandomPixels(rng, 200000, 256);
    const TDecoded d = Decode(Encode(gpcLZW, pixels, 500, 400, 8, 256));
    EXPECT_TRUE(d.SawEnd);
    EXPECT_EQ(d.Pixels, pixels);
    EXPECT_EQ(d.MaxWidth, 12);
    ASSERT_GE(d.Clears, 3);
    for (int next : d.NextFreeAtClear)
        EXPECT_EQ(next, 4095);
}

TEST(GifPixelEncoder, RoundTripAwkwardSizes) {
    std::mt19937 rng(1234);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {301, 301}, {13, 17}};
    for (auto [w, h] : sizes) {
        for (int bits = 1; bits <= 8; ++bits) {
            const int colors = 1 << bits;
            const auto noise = RandomPixels(rng, size_t(w) * h, colors);
            const auto runs = RunPixels(rng, size_t(w) * h, colors, 40);
            for (bool interlaced : {false, true}) {
                for (TGIFPixelCoding coding : {gpcLZW, gpcRunLength}) {
                    for (const auto* pix : {&noise, &runs}) {
                        const TDecoded d =
                            Decode(Encode(coding, *pix, w, h, bits, colors, interlaced));
                        ASSERT_TRUE(d.SawEnd);
                        // Put the rows back where they belong.
                        std::vector<Byte> back(pix->size());
                        std::vector<int> order;
                        if (interlaced) {
                            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
                            for (int p = 0; p < 4; ++p)
                                for (int y = start[p]; y < h; y += step[p])
                                    order.push_back(y);
                        } else {
                            for (int y = 0; y < h; ++y)
                                order.push_back(y);
                        }
                        ASSERT_EQ(d.Pixels.size(), pix->size());
                        for (size_t i = 0; i < order.size(); ++i)
                            std::copy_n(d.Pixels.begin() + i * w, w,
                                        back.begin() + size_t(order[i]) * w);
                        ASSERT_EQ(back, *pix) << w << "x" << h << " bits " << bits << " coding "
                                              << int(coding) << " interlaced " << interlaced;
                    }
                }
            }
        }
    }
}

TEST(GifPixelEncoder, RunLengthLongRunsAndTableLimits) {
    // Very long runs of one colour and runs that alternate between two
    // colours drive the coder through its run table, its clears and its
    // out-of-codes path.
    std::mt19937 rng(99);
    for (int bits : {1, 2, 3, 4, 8}) {
        const int colors = 1 << bits;
        std::vector<Byte> p;
        for (int run : {100000, 1, 2, 3, 7000, 5, 4096, 4097, 9000}) {
            const Byte v = Byte(rng() % colors);
            p.insert(p.end(), size_t(run), v);
        }
        const auto more = RunPixels(rng, 50000, colors, 3000);
        p.insert(p.end(), more.begin(), more.end());
        p.resize(p.size() / 100 * 100);
        const TDecoded d = Decode(Encode(gpcRunLength, p, 100, int(p.size() / 100), bits, colors));
        EXPECT_TRUE(d.SawEnd);
        EXPECT_EQ(d.Pixels, p) << "bits " << bits;
        EXPECT_LE(d.MaxWidth, 12);
        // LZW on the same picture stays far smaller than one code a pixel.
        EXPECT_EQ(Decode(Encode(gpcLZW, p, 100, int(p.size() / 100), bits, colors)).Pixels, p);
    }
}

TEST(GifPixelEncoder, HashProbeNeverLoopsForever) {
    // Every slot of a full probe orbit: the lookup gives up and reports no
    // free slot instead of searching forever.
    THashTable t;
    t.Clear();
    int slot = 0;
    EXPECT_EQ(t.Lookup(0x12345, slot), -1);
    EXPECT_GE(slot, 0);
    const int first = slot;
    t.Insert(first, 0x12345, 300);
    EXPECT_EQ(t.Lookup(0x12345, slot), 300);
    // Fill the orbit of the start slot (h -> 2h mod 8009) with other keys.
    for (int h = first, n = 0; n < THashTable::Size; ++n) {
        if (h != first) t.Insert(h, 0xABCDE, 1);
        h = int((std::int64_t(h) * 2) % THashTable::Size);
    }
    t.Insert(first, 0xABCDE, 1);
    EXPECT_EQ(t.Lookup(0x12345, slot), -1);
    EXPECT_EQ(slot, -1);
}
