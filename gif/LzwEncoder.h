#pragma once
// Pixel coders of GIF image data. TGIFEncoder is the common part: it walks
// the frame's pixels (row by row, or in the four interlace passes), checks
// each index against the colour count, packs variable-width codes least
// significant bit first and hands the bytes to a TGIFWriter. TLZWEncoder is
// the standard LZW coder over a fixed open-addressing hash table; the
// run-length coder lives in GifPixelEncoders.h.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "gif/GifTypes.h"
#include "gif/GifWriter.h"

class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;

    // Writes the minimum code size byte, the coded pixels as data sub-blocks
    // and the 0 block that ends them. Pixels holds Width*Height indices, rows
    // top to bottom; an empty span or a zero size writes only the end code.
    // BitsPerPixel (the minimum code size) is raised to 2; it may not exceed
    // 8. A pixel not below ColorCount raises "Color not in color table".
    void Encode(TStream& Stream, std::span<const Byte> Pixels, int Width, int Height,
                bool Interlaced, int BitsPerPixel, int ColorCount);

    TGIFWarning OnWarning;

protected:
    // Codes every pixel (the end code is sent by Encode).
    virtual void Compress() = 0;

    // Packs one code of the current width.
    void Output(int Code) {
        FBitBucket &= (std::uint32_t(1) << FBitsInBucket) - 1;
        FBitBucket |= std::uint32_t(Code) << FBitsInBucket;
        FBitsInBucket += FBitsPerCode;
        while (FBitsInBucket >= 8) {
            FWriter->Put(Byte(FBitBucket & 0xFF));
            FBitBucket >>= 8;
            FBitsInBucket -= 8;
        }
    }
    // The next pixel in walk order; false after the last one.
    bool NextPixel(int& Pixel) {
        if (FPixelsLeft == 0 && !NextRow()) return false;
        --FPixelsLeft;
        Pixel = *FPixel++;
        if (Pixel >= FColorCount) RaiseGIFError(sGIFColorNotFound);
        return true;
    }
    // The rest of the current row in walk order (at least one pixel), not
    // yet checked against the colour count; false after the last row.
    bool NextPixels(const Byte*& First, std::int64_t& Count) {
        if (FPixelsLeft == 0 && !NextRow()) return false;
        First = FPixel;
        Count = FPixelsLeft;
        FPixel += Count;
        FPixelsLeft = 0;
        return true;
    }
    static constexpr int MaxCode(int Bits) { return (1 << Bits) - 1; }

    int FColorCount = 0;
    int FBitsPerPixel = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FInterlaced = false;
    int FInitBitsPerCode = 0;
    int FBitsPerCode = 0;
    int FMaxCode = 0;
    int FClearCode = 0;
    int FEOFCode = 0;
    int FBaseCode = 0;
    bool FClearFlag = false;

private:
    bool NextRow();
    void FlushBits();

    const Byte* FPixels = nullptr;
    const Byte* FPixel = nullptr;
    std::uint32_t FBitBucket = 0;
    int FBitsInBucket = 0;
    std::int64_t FPixelsLeft = 0;
    int FRow = 0;
    int FPass = 0;
    TGIFWriter* FWriter = nullptr;
};

// Open-addressing table of 8009 slots (a prime): each slot holds
// (prefix << 8 | pixel) << 12 | code, all bits set when empty.
class THashTable {
public:
    static constexpr int Size = 8009;
    static constexpr std::uint32_t Empty = 0xFFFFFFFF;
    void Clear() { FSlots.fill(Empty); }
    // The code stored for Key, or -1 with Slot set to the empty slot where
    // it may go (-1 when the probe sequence holds no empty slot).
    int Lookup(std::uint32_t Key, int& Slot) const;
    void Insert(int Slot, std::uint32_t Key, int Code) {
        FSlots[Slot] = (Key << 12) | std::uint32_t(Code);
    }

private:
    std::array<std::uint32_t, Size> FSlots;
};

class TLZWEncoder : public TGIFEncoder {
protected:
    void Compress() override;

private:
    void SendCode(int Code);
    void ClearTable();

    // The hash table decides where a string goes and when a crowded probe
    // forces an early clear, so it is kept exactly; FStrings answers the
    // far more frequent question "is prefix + pixel known?" directly:
    // entry prefix * 256 + pixel holds the string's code, 0 when unknown
    // (no string has code 0). FUsed lists the entries set since the last
    // clear so that clearing costs what was stored, not the whole array.
    THashTable FHashTable;
    std::vector<std::uint16_t>* FStrings = nullptr;
    std::vector<std::uint32_t> FUsed;
    int FNextFree = 0;
};
