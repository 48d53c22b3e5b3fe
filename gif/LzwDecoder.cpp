#include "gif/LzwDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "gif/GifTypes.h"
#include "platform/classes/Stream.h"

// ------------------------------------------------------------ sub-blocks

TGIFSubBlockReader::TGIFSubBlockReader(TStream& Stream, const TLZWWarning& Warn)
    : FStream(Stream), FWarn(Warn) {}

bool TGIFSubBlockReader::NextBlock() {
    FSize = 0;
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
    return true;
}

void TGIFSubBlockReader::SkipRest() {
    FSize = 0;
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

// ------------------------------------------------------------ pixel rows

namespace {

// Hands out the rows of the picture in stream order (the four interlace
// passes when the frame is interlaced). A frame without interlacing is one
// long row, so only its end interrupts a string.
class TPixelRows {
public:
    explicit TPixelRows(const TLZWTarget& Target)
        : FPixels(Target.Pixels), FWidth(Target.Width), FHeight(Target.Height),
          FInterlaced(Target.Interlaced) {}

    // The first row in [Next, End); Next is nullptr for an empty picture.
    void First(Byte*& Next, Byte*& End) const {
        Next = End = nullptr;
        if (FPixels == nullptr || FWidth <= 0 || FHeight <= 0) return;
        Next = FPixels;
        End = FPixels + (FInterlaced ? std::size_t(FWidth) : std::size_t(FWidth) * FHeight);
    }

    // The row after a full one; Next becomes nullptr after the last row.
    void Advance(Byte*& Next, Byte*& End) {
        Next = End = nullptr;
        if (!FInterlaced) return;
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
        if (FY >= FHeight) return;
        Next = FPixels + std::size_t(FY) * std::size_t(FWidth);
        End = Next + FWidth;
    }

private:
    Byte* FPixels;
    int FWidth, FHeight;
    bool FInterlaced;
    int FY = 0, FPass = 0;
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

    const unsigned ClearCode = 1u << InitialSize;
    const unsigned EndCode = ClearCode + 1;

    // Entry c is the string of entry Prefix[c] followed by Suffix[c];
    // Length and First give its length and first byte, so that a string is
    // written backwards straight into its place in the picture. Entries are
    // made only from codes already checked, so every prefix chain ends at a
    // literal within Length steps. The spare last entry takes the writes
    // made while the table is full.
    std::uint16_t Prefix[GIFMaxCodes + 1];
    std::uint16_t Length[GIFMaxCodes + 1];
    Byte Suffix[GIFMaxCodes + 1];
    Byte First[GIFMaxCodes + 1];
    for (unsigned i = 0; i < ClearCode; ++i) {
        Prefix[i] = 0;
        Length[i] = 1;
        Suffix[i] = First[i] = Byte(i);
    }
    Byte Stack[GIFMaxCodes + 1]; // a string that crosses the end of a row

    TPixelRows Rows(Target);
    Byte* Out;
    Byte* OutEnd;
    Rows.First(Out, OutEnd);

    // Codes come least significant bit first. Bits holds the unread bits
    // below a marker bit, so that "enough bits for a code" is Bits > Mask and
    // no bit count is carried from code to code.
    std::uint64_t Bits = 1;
    const Byte* In = nullptr;
    const Byte* InEnd = nullptr;
    int CodeSize = 0;
    unsigned Mask = 0, NextFree = 0;

    auto Reset = [&] {
        CodeSize = InitialSize + 1;
        Mask = (1u << CodeSize) - 1;
        NextFree = ClearCode + 2;
    };
    // Brings at least CodeSize bits below the marker. Sub-blocks are fetched
    // only when the bytes of the current one are used up, so a damaged
    // stream warns exactly where byte-by-byte reading would. False (with a
    // warning) when the data ends first.
    auto Refill = [&]() -> bool {
        int Count = 63 - std::countl_zero(Bits);
        Bits ^= std::uint64_t(1) << Count;
        if (InEnd - In >= 8) {
            std::uint64_t Word = 0;
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(&Word, In, 8);
            } else {
                for (int i = 7; i >= 0; --i)
                    Word = (Word << 8) | In[i];
            }
            Bits |= Word << Count;
            const int Taken = (63 - Count) >> 3;
            In += Taken;
            Count += Taken * 8;
            Bits = (Bits & ((std::uint64_t(1) << Count) - 1)) | (std::uint64_t(1) << Count);
            return true;
        }
        while (Count < CodeSize) {
            while (In == InEnd) {
                if (!Blocks.NextBlock()) {
                    if (Warn) Warn(sGIFDecodeUnderrun);
                    return false;
                }
                In = Blocks.Data();
                InEnd = In + Blocks.Size();
            }
            Bits |= std::uint64_t(*In++) << Count;
            Count += 8;
        }
        Bits |= std::uint64_t(1) << Count;
        return true;
    };
    auto ReadCode = [&](unsigned& Code) -> bool {
        if (Bits <= Mask && !Refill()) return false;
        Code = unsigned(Bits) & Mask;
        Bits >>= CodeSize;
        return true;
    };
    // After a full row: false once the picture is full.
    auto RowDone = [&]() -> bool {
        Rows.Advance(Out, OutEnd);
        return Out != nullptr;
    };

    auto Run = [&] {
        if (Out == nullptr) return;
        Reset();
        for (;;) {
            // The first code, and the first after each clear, must be a
            // literal.
            unsigned Code;
            do {
                if (!ReadCode(Code)) return;
                if (Code == ClearCode) Reset();
            } while (Code == ClearCode);
            if (Code == EndCode) return;
            if (Code >= ClearCode) {
                if (Warn) Warn(sGIFInvalidData);
                return;
            }
            *Out++ = Byte(Code);
            if (Out == OutEnd && !RowDone()) return;
            unsigned Old = Code;

            for (;;) {
                if (!ReadCode(Code)) return;
                if (Code >= ClearCode) {
                    if (Code == ClearCode) {
                        Reset();
                        break;
                    }
                    if (Code == EndCode) return;
                    // A code may name an existing entry or the one about to
                    // be made (the KwKwK case); anything beyond is corrupt.
                    if (Code > NextFree || (Code == NextFree && NextFree >= GIFMaxCodes)) {
                        if (Warn) Warn(sGIFInvalidData);
                        return;
                    }
                }
                // The new entry is the previous string and the first byte of
                // this one; a code naming that very entry starts like the
                // previous string, which First[NextFree] answers beforehand.
                First[NextFree] = First[Old];
                const Byte Lead = First[Code];
                Prefix[NextFree] = std::uint16_t(Old);
                Suffix[NextFree] = Lead;
                Length[NextFree] = std::uint16_t(Length[Old] + 1);
                // Codes widen when the next free entry reaches 2^CodeSize,
                // up to 12 bits.
                if (NextFree < Mask) {
                    ++NextFree;
                } else if (NextFree < GIFMaxCodes) {
                    ++NextFree;
                    if (NextFree > Mask && CodeSize < GIFMaxCodeBits) {
                        ++CodeSize;
                        Mask = Mask * 2 + 1;
                    }
                }
                Old = Code;

                // Backwards from the last byte; a string that does not fit
                // the row goes through the stack.
                const unsigned Len = Length[Code];
                const bool Fits = Len <= std::size_t(OutEnd - Out);
                Byte* Dest = Fits ? Out : Stack;
                unsigned c = Code;
                for (unsigned k = Len - 1; k > 0; --k) {
                    Dest[k] = Suffix[c];
                    c = Prefix[c];
                }
                Dest[0] = Lead;
                if (Fits) {
                    Out += Len;
                    if (Out == OutEnd && !RowDone()) return;
                    continue;
                }
                // Across row ends; what passes the last pixel is dropped.
                const Byte* Source = Stack;
                std::size_t Count = Len;
                while (Count > 0) {
                    const std::size_t n = std::min(Count, std::size_t(OutEnd - Out));
                    std::memcpy(Out, Source, n);
                    Source += n;
                    Count -= n;
                    Out += n;
                    if (Out == OutEnd && !RowDone()) return;
                }
            }
        }
    };
    Run();
    Blocks.SkipRest();
}
