#include "gif/LzwEncoder.h"

#include <cstdint>

void TGIFEncoder::Encode(TStream& Stream, std::span<const Byte> Pixels, int Width, int Height,
                         bool Interlaced, int BitsPerPixel, int ColorCount) {
    // A minimum code size of 1 is legal in the format but some decoders
    // refuse it; 2 costs nothing.
    if (BitsPerPixel < 2) BitsPerPixel = 2;
    if (BitsPerPixel > 8) RaiseGIFError(sGIFBadImageColors);
    FBitsPerPixel = BitsPerPixel;
    FColorCount = ColorCount;
    FWidth = Width;
    FHeight = Height;
    FInterlaced = Interlaced;
    FInitBitsPerCode = BitsPerPixel + 1;
    FBitsPerCode = FInitBitsPerCode;
    FMaxCode = MaxCode(FBitsPerCode);
    FClearCode = 1 << BitsPerPixel;
    FEOFCode = FClearCode + 1;
    FBaseCode = FClearCode + 2;
    FClearFlag = false;
    FBitBucket = 0;
    FBitsInBucket = 0;

    Stream.WriteByte(Byte(BitsPerPixel));
    TGIFWriter writer(Stream);
    FWriter = &writer;
    const std::int64_t count = std::int64_t(Width) * Height;
    if (!Pixels.empty() && Width > 0 && Height > 0) {
        if (std::int64_t(Pixels.size()) < count) RaiseGIFError(sGIFInvalidDimensions);
        FPixels = Pixels.data();
        FPixel = FPixels;
        FRow = 0;
        FPass = 0;
        FPixelsLeft = Interlaced ? Width : count;
        Compress();
    }
    Output(FEOFCode);
    FlushBits();
    writer.Flush();
    FWriter = nullptr;
    Stream.WriteByte(0);
}

bool TGIFEncoder::NextRow() {
    if (!FInterlaced) return false;
    // The four passes of an interlaced image: every 8th row from 0, every
    // 8th from 4, every 4th from 2, every 2nd from 1.
    static constexpr int passStart[4] = {0, 4, 2, 1};
    static constexpr int passStep[4] = {8, 8, 4, 2};
    FRow += passStep[FPass];
    while (FRow >= FHeight) {
        if (++FPass >= 4) return false;
        FRow = passStart[FPass];
    }
    FPixel = FPixels + std::int64_t(FRow) * FWidth;
    FPixelsLeft = FWidth;
    return true;
}

void TGIFEncoder::FlushBits() {
    while (FBitsInBucket > 0) {
        FWriter->Put(Byte(FBitBucket & 0xFF));
        FBitBucket >>= 8;
        FBitsInBucket = FBitsInBucket > 8 ? FBitsInBucket - 8 : 0;
    }
}

int THashTable::Lookup(std::uint32_t Key, int& Slot) const {
    int h = int((Key ^ (Key >> 4)) % Size);
    // The probe h -> 2h mod Size only visits the orbit of h (4004 slots for
    // 8009), which a crafted picture can fill; bound it and let the caller
    // clear the table instead of searching forever.
    for (int probe = 0; probe < Size; ++probe) {
        const std::uint32_t v = FSlots[h];
        if (v == Empty) {
            Slot = h;
            return -1;
        }
        if ((v >> 12) == Key) return int(v & 0xFFF);
        h = h == 0 ? Size - 1 : h - (Size - h);
        if (h < 0) h += Size;
    }
    Slot = -1;
    return -1;
}

void TLZWEncoder::SendCode(int Code) {
    Output(Code);
    if (FNextFree > FMaxCode || FClearFlag) {
        if (FClearFlag) {
            FBitsPerCode = FInitBitsPerCode;
            FMaxCode = MaxCode(FBitsPerCode);
            FClearFlag = false;
        } else {
            ++FBitsPerCode;
            // At 12 bits the table stops growing: no further widening.
            FMaxCode = FBitsPerCode == GIFMaxCodeBits ? GIFMaxCodes : MaxCode(FBitsPerCode);
        }
    }
}

void TLZWEncoder::ClearTable() {
    // The flag is raised before the clear code goes out so that the width
    // drops right after it, where every decoder drops it.
    FClearFlag = true;
    FHashTable.Clear();
    for (std::uint32_t i : FUsed)
        (*FStrings)[i] = 0;
    FUsed.clear();
    FNextFree = FClearCode + 2;
    SendCode(FClearCode);
}

void TLZWEncoder::Compress() {
    // One 2 MB array per thread, left all zero after every frame.
    thread_local std::vector<std::uint16_t> strings(std::size_t(GIFMaxCodes) * 256);
    FStrings = &strings;
    FUsed.reserve(GIFMaxCodes);
    struct TReset {
        TLZWEncoder& E;
        ~TReset() {
            for (std::uint32_t i : E.FUsed)
                (*E.FStrings)[i] = 0;
            E.FUsed.clear();
        }
    } reset{*this};

    ClearTable();
    const Byte* p;
    std::int64_t n;
    if (!NextPixels(p, n)) return;
    if (*p >= FColorCount) RaiseGIFError(sGIFColorNotFound);
    int prefix = *p++;
    --n;
    std::uint16_t* table = strings.data();
    do {
        for (const Byte* end = p + n; p != end; ++p) {
            const int pixel = *p;
            if (pixel >= FColorCount) RaiseGIFError(sGIFColorNotFound);
            const std::uint32_t index = (std::uint32_t(prefix) << 8) | std::uint32_t(pixel);
            if (const int code = table[index]) {
                prefix = code;
                continue;
            }
            int slot;
            FHashTable.Lookup(index, slot);
            SendCode(prefix);
            prefix = pixel;
            if (FNextFree > GIFMaxCodes - 2 || slot < 0) {
                ClearTable();
            } else {
                FHashTable.Insert(slot, index, FNextFree);
                table[index] = std::uint16_t(FNextFree);
                FUsed.push_back(index);
                ++FNextFree;
            }
        }
    } while (NextPixels(p, n));
    SendCode(prefix);
}
