#include "gif/LzwDecoder.h"

#include <algorithm>
#include <cstring>

#include "gif/GifTypes.h"
#include "platform/classes/Stream.h"

// ------------------------------------------------------------ sub-blocks

TGIFSubBlockReader::TGIFSubBlockReader(TStream& Stream, const TLZWWarning& Warn)
    : FStream(Stream), FWarn(Warn) {}

bool TGIFSubBlockReader::NextBlock() {
    if (FFinished) return false;
    Byte Size = 0;
    if (FStream.Read(&Size, 1) != 1 || Size == 0) {
        // The end of the stream counts as the 0 block.
        FFinished = true;
        return false;
    }
    const std::int64_t Got = FStream.Read(FBuffer, Size);
    if (Got < Size) {
        if (FWarn) FWarn(sGIFPrematureEOF);
        if (Got <= 0) {
            FFinished = true;
            return false;
        }
    }
    FSize = int(Got);
    FPos = 0;
    return true;
}

int TGIFSubBlockReader::ReadByte() {
    while (FPos >= FSize)
        if (!NextBlock()) return -1;
    return FBuffer[FPos++];
}

void TGIFSubBlockReader::SkipRest() {
    FPos = FSize;
    while (!FFinished) {
        Byte Size = 0;
        if (FStream.Read(&Size, 1) != 1 || Size == 0) {
            FFinished = true;
            break;
        }
        // Skipping never moves past the end, so a cut file ends quietly.
        const std::int64_t Left = FStream.Size() - FStream.Position();
        if (Size > Left) {
            FStream.Seek(0, soEnd);
            FFinished = true;
            break;
        }
        FStream.Seek(Size, soCurrent);
    }
}

// ------------------------------------------------------------ pixel sink

namespace {

// Stores decoded pixels row by row, following the interlace passes; ignores
// whatever comes after the last pixel.
class TPixelSink {
public:
    explicit TPixelSink(const TLZWTarget& Target)
        : FPixels(Target.Pixels), FWidth(Target.Width), FHeight(Target.Height),
          FInterlaced(Target.Interlaced) {
        FDone = FPixels == nullptr || FWidth <= 0 || FHeight <= 0;
        FRowPtr = FDone ? nullptr : FPixels;
    }

    bool Done() const { return FDone; }

    // Writes up to Count bytes from Source; returns false once the picture is
    // full.
    bool Put(const Byte* Source, int Count) {
        // Most strings are a few bytes long and fit the row: a plain loop
        // costs less than a call to memcpy.
        if (Count <= 8 && Count < FWidth - FX && !FDone) {
            Byte* d = FRowPtr + FX;
            for (int i = 0; i < Count; ++i)
                d[i] = Source[i];
            FX += Count;
            return true;
        }
        while (Count > 0 && !FDone) {
            const int n = std::min(Count, FWidth - FX);
            std::memcpy(FRowPtr + FX, Source, std::size_t(n));
            Source += n;
            Count -= n;
            FX += n;
            if (FX == FWidth) NextRow();
        }
        return !FDone;
    }

private:
    void NextRow() {
        FX = 0;
        if (!FInterlaced) {
            ++FY;
        } else {
            // "Pass 1: every 8th row from row 0; pass 2: every 8th row from
            // row 4; pass 3: every 4th row from row 2; pass 4: every 2nd row
            // from row 1." A pass without a row inside the height is skipped.
            static constexpr int Start[4] = {0, 4, 2, 1};
            static constexpr int Step[4] = {8, 8, 4, 2};
            FY += Step[FPass];
            while (FY >= FHeight && FPass < 3) {
                ++FPass;
                FY = Start[FPass];
            }
        }
        if (FY >= FHeight) {
            FDone = true;
            return;
        }
        FRowPtr = FPixels + std::size_t(FY) * std::size_t(FWidth);
    }

    Byte* FPixels;
    int FWidth, FHeight;
    bool FInterlaced;
    int FX = 0, FY = 0, FPass = 0;
    Byte* FRowPtr;
    bool FDone;
};

} // namespace

// ----------------------------------------------------------------- decoder

void DecodeLZW(TStream& Stream, const TLZWTarget& Target, const TLZWWarning& Warn) {
    Byte CodeSizeByte = 0;
    if (Stream.Read(&CodeSizeByte, 1) != 1) RaiseGIFError(sGIFPrematureEOF);
    const int InitialSize = CodeSizeByte;
    TGIFSubBlockReader Blocks(Stream, Warn);
    // A minimum code size above 11 leaves no room for a single table entry
    // in 12-bit codes: the stream cannot be meant as GIF data.
    if (InitialSize > GIFMaxCodeBits - 1) {
        Blocks.SkipRest();
        RaiseGIFError(sGIFInvalidData);
    }

    const int ClearCode = 1 << InitialSize;
    const int EndCode = ClearCode + 1;

    // Flat tables: Prefix[c] is the code of the string without its last
    // byte, Suffix[c] that last byte.
    std::uint16_t Prefix[GIFMaxCodes];
    Byte Suffix[GIFMaxCodes];
    Byte Stack[GIFMaxCodes + 1];

    int CodeSize = InitialSize + 1;
    int Limit = ClearCode * 2;
    int NextFree = ClearCode + 2;
    int OldCode = -1;
    Byte FirstChar = 0;

    auto ResetTable = [&] {
        for (int i = 0; i < ClearCode; ++i) {
            Prefix[i] = 0;
            Suffix[i] = Byte(i);
        }
        std::memset(Prefix + ClearCode, 0,
                    sizeof(Prefix[0]) * std::size_t(GIFMaxCodes - ClearCode));
        std::memset(Suffix + ClearCode, 0, std::size_t(GIFMaxCodes - ClearCode));
        CodeSize = InitialSize + 1;
        Limit = ClearCode * 2;
        NextFree = ClearCode + 2;
        OldCode = -1;
    };
    ResetTable();

    TPixelSink Sink(Target);
    std::uint32_t Bits = 0;
    int BitCount = 0;

    // Returns -1 when the data runs out before a whole code.
    auto ReadCode = [&]() -> int {
        while (BitCount < CodeSize) {
            const int b = Blocks.ReadByte();
            if (b < 0) {
                if (Warn) Warn(sGIFDecodeUnderrun);
                return -1;
            }
            Bits |= std::uint32_t(b) << BitCount;
            BitCount += 8;
        }
        const int Code = int(Bits & ((1u << CodeSize) - 1));
        Bits >>= CodeSize;
        BitCount -= CodeSize;
        return Code;
    };

    while (!Sink.Done()) {
        const int Code = ReadCode();
        if (Code < 0) break;
        if (Code == ClearCode) {
            ResetTable();
            continue;
        }
        if (Code == EndCode) break;

        if (OldCode < 0) {
            // The first code after a clear must be a literal.
            if (Code >= ClearCode) {
                if (Warn) Warn(sGIFInvalidData);
                break;
            }
            FirstChar = Byte(Code);
            Sink.Put(&FirstChar, 1);
            OldCode = Code;
            continue;
        }

        // A code may name an existing entry or the one about to be made
        // (the KwKwK case); anything beyond is corrupt data.
        if (Code > NextFree || (Code == NextFree && NextFree >= GIFMaxCodes)) {
            if (Warn) Warn(sGIFInvalidData);
            break;
        }

        int Top = GIFMaxCodes + 1;
        int Current = Code;
        if (Code == NextFree) {
            Stack[--Top] = FirstChar;
            Current = OldCode;
        }
        // Unwind the chain from the last byte to the first; a table built from
        // valid codes never chains further than the table is long.
        while (Current >= ClearCode) {
            if (Top == 0 || Prefix[Current] == Current) RaiseGIFError(sGIFDecodeCircular);
            Stack[--Top] = Suffix[Current];
            Current = Prefix[Current];
        }
        if (Top == 0) RaiseGIFError(sGIFDecodeCircular);
        FirstChar = Suffix[Current];
        Stack[--Top] = FirstChar;

        if (NextFree < GIFMaxCodes) {
            Prefix[NextFree] = std::uint16_t(OldCode);
            Suffix[NextFree] = FirstChar;
            ++NextFree;
            if (NextFree >= Limit && Limit < GIFMaxCodes) {
                Limit *= 2;
                ++CodeSize;
            }
        }
        OldCode = Code;
        Sink.Put(Stack + Top, GIFMaxCodes + 1 - Top);
    }
    Blocks.SkipRest();
}
