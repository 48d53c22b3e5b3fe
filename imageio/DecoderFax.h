#pragma once
// The one-dimensional CCITT codings of fax pictures (ITU-T T.4): Group 3 with
// end-of-line codes, and modified Huffman rows without them. White runs
// leave 0 bits and black runs set 1 bits, eight pixels a byte, most
// significant first; every row starts on a byte of its own.
#include <cstdint>
#include <vector>

#include "imageio/Decoder.h"

// T4 options (TIFF tag 292).
constexpr std::uint32_t T4Option2DCoding = 0x01;
constexpr std::uint32_t T4OptionUncompressed = 0x02;
constexpr std::uint32_t T4OptionFillBits = 0x04;

// Builds the white and black code trees from the T.4 terminating and
// make-up codes; the end-of-line code 000000000001 carries -1.
class TCCITTDecoder : public TDecoder {
public:
    QM_CLASSNAME(TCCITTDecoder)
    TCCITTDecoder(std::uint32_t Options, int Width, bool WordAligned, bool ReversedBitOrder);

    // A row of one colour is a make-up code of 2560 pixels per 12 bits or a
    // terminating code of a whole row (at least 9 bits for the usual widths).
    std::int64_t MaxExpansion() const override { return 512; }

    static constexpr int RunEOL = -1;
    static constexpr int RunInvalid = -2;

protected:
    struct TNode {
        int Child[2] = {0, 0}; // 0: none (the root is never a child)
        int Value = RunInvalid;
    };
    // Reads bits most significant first, each byte bit-reversed when the
    // fill order says so; never past the end.
    struct TBitReader {
        const Byte* Data = nullptr;
        std::int64_t Size = 0;
        std::int64_t BitPos = 0;
        bool Reversed = false;
        bool AtEnd() const { return BitPos >= Size * 8; }
        int Bit();
        std::int64_t BytePos() const { return (BitPos + 7) / 8; }
        void AlignToByte() { BitPos = (BitPos + 7) & ~std::int64_t{7}; }
    };
    // The length of the next run of one colour (make-up codes add up until a
    // terminating code); RunEOL or RunInvalid for those codes. At the end of
    // the input, the run read so far.
    int ReadRun(TBitReader& Bits, bool Black) const;
    // Fills Count pixels from Pos with black (white pixels stay 0).
    static void FillRun(Byte* Row, int Pos, int Count);
    // Clears UnpackedSize bytes of Dest and decodes rows of runs into them
    // until the input or the output ends: StartRow(bits) before each row
    // (false ends the picture), EndRow(bits, ended at an end-of-line code)
    // after it. Source and Dest move past what was read and written.
    template <class TStartRow, class TEndRow>
    void DecodeRows(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                    std::int64_t UnpackedSize, TStartRow StartRow, TEndRow EndRow);

    std::uint32_t FOptions;
    int FWidth;
    bool FWordAligned;
    bool FReversed;

private:
    void AddCode(std::vector<TNode>& Tree, const char* Bits, int Value);
    std::vector<TNode> FWhite;
    std::vector<TNode> FBlack;
};

// Group 3 one-dimensional: each row follows an end-of-line code.
class TCCITTFax3Decoder : public TCCITTDecoder {
public:
    QM_CLASSNAME(TCCITTFax3Decoder)
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
};

// Modified Huffman: rows of runs without end-of-line codes, each starting on
// an input byte (on an even byte with word alignment).
class TCCITTMHDecoder : public TCCITTDecoder {
public:
    QM_CLASSNAME(TCCITTMHDecoder)
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
};
