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

namespace {

// The classic decoder, kept as the measure of the fast one: bytes read one
// at a time across sub-blocks, each string unwound onto a stack and copied
// pixel by pixel through the interlace walk.
TDecodeResult ReferenceDecode(const std::vector<Byte>& Data, int W, int H, bool Interlaced,
                              Byte Fill) {
    TDecodeResult R;
    R.Pixels.assign(std::size_t(W) * H, Fill);
    auto Warn = [&](const char* m) { R.Warnings.push_back(m); };
    std::size_t Pos = 0;
    auto Finish = [&](std::size_t At) { R.EndPosition = std::int64_t(std::min(At, Data.size())); };
    if (Data.empty()) throw GIFException(sGIFPrematureEOF);
    const int Size = Data[Pos++];
    // Sub-blocks: a short last block warns and keeps what is there; skipping
    // the rest never warns.
    std::vector<Byte> Block;
    std::size_t BlockPos = 0;
    bool Ended = false;
    auto ReadByte = [&]() -> int {
        while (BlockPos >= Block.size()) {
            if (Ended || Pos >= Data.size() || Data[Pos] == 0) {
                if (!Ended && Pos < Data.size()) ++Pos;
                Ended = true;
                return -1;
            }
            const std::size_t n = Data[Pos++];
            const std::size_t Got = std::min(n, Data.size() - Pos);
            if (Got < n) Warn(sGIFPrematureEOF);
            if (Got == 0) {
                Ended = true;
                return -1;
            }
            Block.assign(Data.begin() + Pos, Data.begin() + Pos + Got);
            Pos += Got;
            BlockPos = 0;
        }
        return Block[BlockPos++];
    };
    auto SkipRest = [&] {
        while (!Ended && Pos < Data.size() && Data[Pos] != 0)
            Pos += 1 + Data[Pos];
        if (!Ended && Pos < Data.size()) ++Pos;
        Finish(Pos);
    };
    if (Size > 11) {
        SkipRest();
        throw GIFException(sGIFInvalidData);
    }
    // Stream-order row list.
    std::vector<int> RowOrder;
    if (Interlaced) {
        for (auto [Start, Step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = Start; y < H; y += Step)
                RowOrder.push_back(y);
    } else {
        for (int y = 0; y < H; ++y)
            RowOrder.push_back(y);
    }
    std::size_t Written = 0;
    const std::size_t Total = std::size_t(W) * H;
    auto Put = [&](Byte v) {
        if (Written < Total) R.Pixels[std::size_t(RowOrder[Written / W]) * W + Written % W] = v;
        ++Written;
    };

    const int Clear = 1 << Size;
    std::vector<int> Prefix(4096), Suffix(4096);
    int CodeSize = 0, Limit = 0, Next = 0, Old = -1, FirstChar = 0;
    auto Reset = [&] {
        for (int i = 0; i < 4096; ++i) {
            Prefix[i] = 0;
            Suffix[i] = i < Clear ? i : 0;
        }
        CodeSize = Size + 1;
        Limit = 2 * Clear;
        Next = Clear + 2;
        Old = -1;
    };
    Reset();
    std::uint32_t Bits = 0;
    int Count = 0;
    while (Written < Total) {
        while (Count < CodeSize) {
            const int b = ReadByte();
            if (b < 0) break;
            Bits |= std::uint32_t(b) << Count;
            Count += 8;
        }
        if (Count < CodeSize) {
            Warn(sGIFDecodeUnderrun);
            break;
        }
        const int Code = int(Bits & ((1u << CodeSize) - 1));
        Bits >>= CodeSize;
        Count -= CodeSize;
        if (Code == Clear) {
            Reset();
            continue;
        }
        if (Code == Clear + 1) break;
        if (Old < 0) {
            if (Code >= Clear) {
                Warn(sGIFInvalidData);
                break;
            }
            FirstChar = Code;
            Put(Byte(Code));
            Old = Code;
            continue;
        }
        if (Code > Next || (Code == Next && Next >= 4096)) {
            Warn(sGIFInvalidData);
            break;
        }
        std::vector<int> Stack;
        int c = Code;
        if (Code == Next) {
            Stack.push_back(FirstChar);
            c = Old;
        }
        while (c >= Clear) {
            Stack.push_back(Suffix[c]);
            c = Prefix[c];
        }
        FirstChar = Suffix[c];
        Stack.push_back(FirstChar);
        if (Next < 4096) {
            Prefix[Next] = Old;
            Suffix[Next] = FirstChar;
            if (++Next >= Limit && Limit < 4096) {
                Limit *= 2;
                ++CodeSize;
            }
        }
        Old = Code;
        for (auto It = Stack.rbegin(); It != Stack.rend(); ++It)
            Put(Byte(*It));
    }
    BlockPos = Block.size();
    SkipRest();
    return R;
}

// Codes as a decoder would take them, mostly valid: existing entries, the
// entry being made, clears now and then, and a rare code beyond the table.
std::vector<Byte> RandomCodeStream(int CodeSize, int Codes, bool LeadingClear, std::mt19937& Rng) {
    TReferenceEncoder E;
    E.CodeSize = CodeSize;
    E.Width = CodeSize + 1;
    E.DecoderNext = (1 << CodeSize) + 2;
    const int Clear = 1 << CodeSize;
    if (LeadingClear) E.Emit(Clear, true);
    for (int i = 0; i < Codes; ++i) {
        const unsigned Roll = Rng() % 1000;
        int Code;
        if (E.FirstAfterClear || Roll < 300)
            Code = int(Rng() % unsigned(Clear));
        else if (Roll < 302)
            Code = Clear;
        else if (Roll == 302)
            Code = int(Rng() % 4096) & ((1 << E.Width) - 1);
        else
            Code = Clear + 2 + int(Rng() % unsigned(E.DecoderNext - Clear - 1));
        E.Emit(std::min(Code, (1 << E.Width) - 1), Code == Clear);
    }
    if (E.BucketBits > 0) E.Codes.push_back(Byte(E.Bucket));
    std::vector<Byte> Out{Byte(CodeSize)};
    for (std::size_t i = 0; i < E.Codes.size();) {
        const std::size_t n = std::min<std::size_t>(1 + Rng() % 255, E.Codes.size() - i);
        Out.push_back(Byte(n));
        Out.insert(Out.end(), E.Codes.begin() + i, E.Codes.begin() + i + n);
        i += n;
    }
    Out.push_back(0);
    return Out;
}

} // namespace

TEST(LzwDecoder, MatchesTheClassicDecoderOnRandomAndDamagedStreams) {
    std::mt19937 Rng(2024);
    int Compared = 0;
    for (int Round = 0; Round < 600; ++Round) {
        const int W = 1 + int(Rng() % (Round % 3 == 0 ? 7 : 300));
        const int H = 1 + int(Rng() % 60);
        const bool Interlaced = Rng() % 3 == 0;
        const Byte Fill = Byte(Rng());
        std::vector<Byte> Data;
        if (Round % 2 == 0) {
            // Encoded pictures, from flat to noisy.
            TReferenceEncoder E;
            E.CodeSize = 2 + int(Rng() % 7);
            E.BlockSize = 1 + int(Rng() % 255);
            E.ClearWhenFull = Rng() % 4 != 0;
            const int Colors = 1 << (1 + Rng() % E.CodeSize);
            const int Count = W * H + int(Rng() % 50) - 25;
            Data = E.Encode(RandomPixels(std::max(Count, 1), Colors, Rng()), Rng() % 8 != 0);
        } else {
            const int CodeSize = Round % 10 == 1 ? int(Rng() % 12) : 2 + int(Rng() % 7);
            Data = RandomCodeStream(CodeSize, 1 + int(Rng() % 20000), Rng() % 5 != 0, Rng);
        }
        // Damage: cut short, a few bytes changed, or both.
        const unsigned Damage = Rng() % 4;
        if (Damage & 1) Data.resize(1 + Rng() % Data.size());
        if (Damage & 2)
            for (int k = 0; k < 3; ++k)
                Data[Rng() % Data.size()] = Byte(Rng());
        Data.push_back(0x3B);

        auto Guarded = [](auto DecodeOnce) {
            try {
                return DecodeOnce();
            } catch (const GIFException& e) {
                return TDecodeResult{{}, {std::string("raised ") + e.what()}, -1};
            }
        };
        const auto Fast = Guarded([&] { return Decode(Data, W, H, Interlaced, Fill); });
        const auto Plain = Guarded([&] { return ReferenceDecode(Data, W, H, Interlaced, Fill); });
        ASSERT_EQ(Fast.Pixels, Plain.Pixels) << "round " << Round;
        ASSERT_EQ(Fast.Warnings, Plain.Warnings) << "round " << Round;
        ASSERT_EQ(Fast.EndPosition, Plain.EndPosition) << "round " << Round;
        ++Compared;
    }
    EXPECT_EQ(Compared, 600);
}
