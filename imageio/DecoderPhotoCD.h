#pragma once
// TPCDDecoder: the Huffman-coded residuals of the high Photo-CD resolutions.
// It reads its tables and rows from a stream and adds each residual to the
// samples already there (the base image enlarged to this resolution).
//
// Planes are laid out one after another in Dest: luminance of Width x
// Height, then chroma 1 and chroma 2 of (Width / 2) x (Height / 2).
#include <cstdint>
#include <vector>

#include "imageio/Decoder.h"

class TStream;

class TPCDDecoder : public TDecoder {
public:
    QM_CLASSNAME(TPCDDecoder)
    TPCDDecoder(TStream& Stream, int Width, int Height);

    // Source is not used: the coded data comes from the stream, from its
    // position. UnpackedSize must cover the three planes (PlanesSize);
    // decoding stops at the end row, at the end of the stream, or at a
    // table entry longer than 16 bits (the base image then stays as it is).
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
    // Residuals only refine planes that are already allocated.
    std::int64_t MaxExpansion() const override { return 64; }
    std::int64_t PlanesSize() const;

private:
    struct TCode {
        std::uint16_t Code = 0; // left-aligned
        std::uint16_t Mask = 0;
        int Length = 0;
        int Value = 0;
    };
    bool Fill();
    void Skip(int Bits);
    bool ReadTables();

    TStream& FStream;
    int FWidth, FHeight;
    std::vector<Byte> FBuffer;
    std::size_t FBufferPos = 0;
    std::size_t FBufferLength = 0;
    bool FStreamEnded = false;
    std::uint32_t FSum = 0; // bits left-aligned
    int FBits = 0;
    std::vector<TCode> FTables[3];
};
