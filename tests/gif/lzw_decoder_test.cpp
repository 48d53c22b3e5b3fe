// The LZW decoder against a small independent encoder written here, and
// against damaged code streams.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "gif/GifTypes.h"
#include "gif/LzwDecoder.h"
#include "platform/classes/Stream.h"

namespace {

// A plain GIF LZW encoder: a std::map dictionary, codes packed least
// significant bit first, widths following what a decoder builds.
struct TReferenceEncoder {
    int CodeSize = 8;
    bool ClearWhenFull = true;
    int BlockSize = 255;

    std::vector<Byte> Codes; // packed code bytes
    std::uint32_t Bucket = 0;
    int BucketBits = 0;
    int Width = 0;
    int DecoderNext = 0;
    bool FirstAfterClear = true;

    void Emit(int Code, bool IsClear) {
        Bucket |= std::uint32_t(Code) << BucketBits;
        BucketBits += Width;
        while (BucketBits >= 8) {
            Codes.push_back(Byte(Bucket & 0xFF));
            Bucket >>= 8;
            BucketBits -= 8;
        }
        if (IsClear) {
            Width = CodeSize + 1;
            DecoderNext = (1 << CodeSize) + 2;
            FirstAfterClear = true;
            return;
        }
        if (FirstAfterClear) {
            FirstAfterClear = false;
            return;
        }
        // Mirror of the decoder: one new entry per code after the first.
        if (DecoderNext < 4096) {
            ++DecoderNext;
            if (DecoderNext == (1 << Width) && Width < 12) ++Width;
        }
    }

    // The whole image data: code size byte, sub-blocks, 0 block.
    std::vector<Byte> Encode(const std::vector<Byte>& Pixels, bool WithEnd = true) {
        const int Clear = 1 << CodeSize;
        Width = CodeSize + 1;
        std::map<std::pair<int, int>, int> Dict;
        int Next = Clear + 2;
        Emit(Clear, true);
        if (!Pixels.empty()) {
            int Prefix = Pixels[0];
            for (std::size_t i = 1; i < Pixels.size(); ++i) {
                const int p = Pixels[i];
                auto It = Dict.find({Prefix, p});
                if (It != Dict.end()) {
                    Prefix = It->second;
                    continue;
                }
                Emit(Prefix, false);
                if (Next < 4096) {
                    Dict[{Prefix, p}] = Next++;
                } else if (ClearWhenFull) {
                    Emit(Clear, true);
                    Dict.clear();
                    Next = Clear + 2;
                }
                Prefix = p;
            }
            Emit(Prefix, false);
        }
        if (WithEnd) Emit(Clear + 1, false);
        if (BucketBits > 0) Codes.push_back(Byte(Bucket & 0xFF));
        std::vector<Byte> Out{Byte(CodeSize)};
        for (std::size_t i = 0; i < Codes.size(); i += BlockSize) {
            const std::size_t n = std::min<std::size_t>(BlockSize, Codes.size() - i);
            Out.push_back(Byte(n));
            Out.insert(Out.end(), Codes.begin() + i, Codes.begin() + i + n);
        }
        Out.push_back(0);
        return Out;
    }
};

struct TDecodeResult {
    std::vector<Byte> Pixels;
    std::vector<std::string> Warnings;
    std::int64_t EndPosition = 0;
};

TDecodeResult Decode(const std::vector<Byte>& Data, int W, int H, bool Interlaced = false,
                     Byte Fill = 0) {
    TDecodeResult R;
    R.Pixels.assign(std::size_t(W) * H, Fill);
    TBytesStream Stream(Data);
    TLZWTarget Target{R.Pixels.data(), W, H, Interlaced};
    DecodeLZW(Stream, Target, [&](const std::string& m) { R.Warnings.push_back(m); });
    R.EndPosition = Stream.Position();
    return R;
}

std::vector<Byte> RandomPixels(int Count, int Colors, unsigned Seed) {
    std::mt19937 Rng(Seed);
    std::vector<Byte> P(Count);
    for (auto& v : P)
        v = Byte(Rng() % Colors);
    return P;
}

} // namespace

TEST(LzwDecoder, RoundTripsAwkwardSizesAndBlockSplits) {
    struct Case {
        int W, H, CodeSize, BlockSize;
    } Cases[] = {{1, 1, 2, 255}, {1, 7, 2, 255}, {7, 1, 3, 1},   {301, 301, 8, 255},
                 {64, 9, 4, 1},  {33, 3, 5, 7},  {255, 1, 8, 2}, {2, 2, 2, 254}};
    unsigned Seed = 7;
    for (const Case& c : Cases) {
        const auto Pixels = RandomPixels(c.W * c.H, 1 << c.CodeSize, Seed++);
        TReferenceEncoder E;
        E.CodeSize = c.CodeSize;
        E.BlockSize = c.BlockSize;
        const auto Data = E.Encode(Pixels);
        const auto R = Decode(Data, c.W, c.H);
        EXPECT_EQ(R.Pixels, Pixels) << c.W << "x" << c.H << " block " << c.BlockSize;
        EXPECT_TRUE(R.Warnings.empty());
        EXPECT_EQ(R.EndPosition, std::int64_t(Data.size()));
    }
}

TEST(LzwDecoder, RunsNeedTheStringBeingDefined) {
    // A long run makes the encoder send codes that name the entry the
    // decoder is about to make.
    std::vector<Byte> Pixels(5000, 3);
    Pixels[2500] = 1;
    TReferenceEncoder E;
    E.CodeSize = 2;
    const auto R = Decode(E.Encode(Pixels), 100, 50);
    EXPECT_EQ(R.Pixels, Pixels);
    EXPECT_TRUE(R.Warnings.empty());
}

TEST(LzwDecoder, FullTableWithAndWithoutClear) {
    // Enough random 4-bit pixels to fill the 4096-entry table several times.
    const auto Pixels = RandomPixels(200 * 200, 16, 99);
    for (bool ClearWhenFull : {true, false}) {
        TReferenceEncoder E;
        E.CodeSize = 4;
        E.ClearWhenFull = ClearWhenFull;
        const auto R = Decode(E.Encode(Pixels), 200, 200);
        EXPECT_EQ(R.Pixels, Pixels) << "clear when full: " << ClearWhenFull;
        EXPECT_TRUE(R.Warnings.empty());
    }
}

TEST(LzwDecoder, InterlacedRowsFollowTheFourPasses) {
    // Row k of the stream carries the value k; the picture must show the
    // stream rows in pass order.
    auto Check = [](int H, std::vector<int> Order) {
        const int W = 3;
        std::vector<Byte> Stream;
        for (int k = 0; k < H; ++k)
            Stream.insert(Stream.end(), W, Byte(k));
        TReferenceEncoder E;
        E.CodeSize = 4;
        const auto R = Decode(E.Encode(Stream), W, H, true);
        for (int k = 0; k < H; ++k)
            EXPECT_EQ(R.Pixels[std::size_t(Order[k]) * W], k)
                << "height " << H << " stream row " << k;
    };
    Check(3, {0, 2, 1});
    Check(5, {0, 4, 2, 1, 3});
    Check(1, {0});
    Check(10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9});
}

TEST(LzwDecoder, MissingDataKeepsTheFillValue) {
    const std::vector<Byte> Pixels = {1, 2, 3, 1, 2, 3};
    const std::vector<Byte> Expected = {1, 2, 3, 1, 2, 3, 9, 9, 9, 9, 9, 9};
    {
        // The end code comes after six pixels of a 4x3 picture.
        TReferenceEncoder E;
        E.CodeSize = 2;
        const auto R = Decode(E.Encode(Pixels), 4, 3, false, 9);
        EXPECT_EQ(R.Pixels, Expected);
        EXPECT_TRUE(R.Warnings.empty());
    }
    {
        // No end code: the codes run out (the padding bits of the last byte
        // may still make one code).
        TReferenceEncoder E;
        E.CodeSize = 2;
        const auto R = Decode(E.Encode(Pixels, /*WithEnd=*/false), 4, 3, false, 9);
        EXPECT_EQ(std::vector<Byte>(R.Pixels.begin(), R.Pixels.begin() + 6), Pixels);
        EXPECT_EQ(std::vector<Byte>(R.Pixels.begin() + 7, R.Pixels.end()), std::vector<Byte>(5, 9));
        ASSERT_FALSE(R.Warnings.empty());
        EXPECT_EQ(R.Warnings.back(), sGIFDecodeUnderrun);
    }
}

TEST(LzwDecoder, CodeBeyondTheTableEndsDecodingAndConsumesTheBlocks) {
    // Code size 2, 3-bit codes: clear (4), literal 1, then 7, which names no
    // entry (the next free one is 6); then a further sub-block.
    // Bits: 100 | 001 | 111 -> 0b111001100 = 0x1CC.
    const std::vector<Byte> Data = {2, 2, 0xCC, 0x01, 3, 0xAA, 0xBB, 0xCC, 0, 0x3B};
    const auto R = Decode(Data, 2, 2, false, 5);
    EXPECT_EQ(R.Pixels, (std::vector<Byte>{1, 5, 5, 5}));
    ASSERT_EQ(R.Warnings.size(), 1u);
    EXPECT_EQ(R.Warnings[0], sGIFInvalidData);
    // Everything up to the 0 block is consumed, the trailer is not.
    EXPECT_EQ(R.EndPosition, 9);
}

TEST(LzwDecoder, FirstCodeAfterClearMustBeALiteral) {
    // Clear (4) then 6: no string exists yet.  Bits 100 | 110 = 0b110100.
    const std::vector<Byte> Data = {2, 1, 0x34, 0};
    const auto R = Decode(Data, 2, 1);
    ASSERT_EQ(R.Warnings.size(), 1u);
    EXPECT_EQ(R.Warnings[0], sGIFInvalidData);
    EXPECT_EQ(R.Pixels, (std::vector<Byte>{0, 0}));
}

TEST(LzwDecoder, ExtraPixelsAreDroppedAndTheRestSkipped) {
    const auto Pixels = RandomPixels(50, 4, 3);
    TReferenceEncoder E;
    E.CodeSize = 2;
    E.BlockSize = 3;
    auto Data = E.Encode(Pixels);
    Data.push_back(0x3B);
    const auto R = Decode(Data, 5, 2);
    EXPECT_EQ(R.Pixels, std::vector<Byte>(Pixels.begin(), Pixels.begin() + 10));
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(R.EndPosition, std::int64_t(Data.size()) - 1);
}

TEST(LzwDecoder, SubBlockLongerThanTheFileWarns) {
    // The block says 200 bytes; only 2 are there (clear 4, pixel 1, pixel
    // 1...). The decoder uses what it has.
    const std::vector<Byte> Data = {2, 200, 0x4C, 0x02};
    const auto R = Decode(Data, 2, 1, false, 7);
    ASSERT_GE(R.Warnings.size(), 1u);
    EXPECT_EQ(R.Warnings[0], sGIFPrematureEOF);
    EXPECT_EQ(R.Pixels[0], 1);
}

TEST(LzwDecoder, RefusesImpossibleCodeSizesAndMissingCodeSize) {
    {
        const std::vector<Byte> Data = {12, 1, 0xFF, 0};
        std::vector<Byte> P(4);
        TBytesStream Stream(Data);
        try {
            DecodeLZW(Stream, TLZWTarget{P.data(), 2, 2, false}, {});
            FAIL() << "accepted code size 12";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), sGIFInvalidData);
        }
    }
    {
        TBytesStream Stream(std::vector<Byte>{});
        std::vector<Byte> P(1);
        try {
            DecodeLZW(Stream, TLZWTarget{P.data(), 1, 1, false}, {});
            FAIL() << "accepted an empty stream";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), sGIFPrematureEOF);
        }
    }
}

TEST(LzwDecoder, ElevenBitCodeSizeStaysInsideTheTable) {
    // Code size 11 leaves room for 2046 entries; random 11-bit "pixels" are
    // stored as their low byte.
    std::mt19937 Rng(5);
    std::vector<int> Values(3000);
    for (auto& v : Values)
        v = int(Rng() % 2048);
    // Hand-rolled: clear then literals only, with width growing as entries
    // are made.
    std::vector<Byte> Codes;
    std::uint32_t Bucket = 0;
    int Bits = 0, Width = 12, Next = 2050;
    auto Emit = [&](int c) {
        Bucket |= std::uint32_t(c) << Bits;
        Bits += Width;
        while (Bits >= 8) {
            Codes.push_back(Byte(Bucket));
            Bucket >>= 8;
            Bits -= 8;
        }
    };
    Emit(2048);
    bool First = true;
    for (int v : Values) {
        Emit(v);
        if (!First && Next < 4096) ++Next;
        First = false;
    }
    Emit(2049);
    if (Bits) Codes.push_back(Byte(Bucket));
    std::vector<Byte> Data{11};
    for (std::size_t i = 0; i < Codes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, Codes.size() - i);
        Data.push_back(Byte(n));
        Data.insert(Data.end(), Codes.begin() + i, Codes.begin() + i + n);
    }
    Data.push_back(0);
    const auto R = Decode(Data, 100, 30);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(R.Pixels[i], Byte(Values[i])) << i;
}
