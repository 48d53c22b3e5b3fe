#pragma once
// The run-length codings of the picture formats, one decoding routine with a
// parameter for the variant, and a thin decoder class per format so that a
// reader names the coding it reads.
//
// Every variant stops at the end of the input or of the output, whichever
// comes first; a run that would cross either end is cut there.
#include <cstdint>

#include "imageio/Decoder.h"

enum class TRunLengthVariant {
    // Header byte: count = low 7 bits + 1; bit 7 set: one unit repeated,
    // clear: count units copied. A unit is one pixel of 1..4 bytes.
    Targa,
    // Signed byte n: 0..127 copy n + 1 bytes; -1..-127 repeat the next byte
    // 1 - n times; -128 does nothing.
    PackBits,
    // Byte 192..255: repeat the next byte (low 6 bits) times; below 192 the
    // byte stands for itself.
    PCX,
    // Header (a byte, or a big-endian word for 16-bit units): count = low 7
    // bits, 0 ends the row; bit 7 set: copy count units, clear: repeat the
    // next unit.
    SGI,
    // A 16-bit byte count opens the row and is skipped; header byte 0 ends
    // the row; count = low 7 bits; bit 7 set: repeat the next byte, clear:
    // copy count bytes.
    CUT,
    // Byte a: above 128 repeat the next byte a - 128 times, else copy a bytes.
    PSP,
    // Signed byte a: negative copy -a bytes, else repeat the next byte a + 1
    // times.
    RLA
};

struct TRunLengthResult {
    std::int64_t Consumed = 0; // input bytes read
    std::int64_t Produced = 0; // output bytes written
};

// Decodes from Source (SourceSize bytes) into Dest (DestSize bytes).
// UnitBytes is the size of one repeated unit: the Targa pixel size (1..4) or
// the SGI sample size (1 or 2); the other variants ignore it.
TRunLengthResult DecodeRunLength(TRunLengthVariant Variant, int UnitBytes, const Byte* Source,
                                 std::int64_t SourceSize, Byte* Dest, std::int64_t DestSize);

// The one decoder class of the family: PackedSize is the input available,
// UnpackedSize the room at Dest.
class TRunLengthDecoder : public TDecoder {
public:
    QM_CLASSNAME(TRunLengthDecoder)
    TRunLengthDecoder(TRunLengthVariant Variant, int UnitBytes)
        : FVariant(Variant), FUnitBytes(UnitBytes) {}
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
    TRunLengthVariant Variant() const { return FVariant; }
    // Every variant stores a run of at most 128 units in at least one header
    // byte and one unit.
    std::int64_t MaxExpansion() const override { return 128; }

private:
    TRunLengthVariant FVariant;
    int FUnitBytes;
};

// Targa: colour depth 8, 15, 16, 24 or 32 (other values raise EDecoderError).
// Also encodes rows for the Targa writer.
class TTargaRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TTargaRLEDecoder)
    explicit TTargaRLEDecoder(int ColorDepth);
    int BytesPerPixel() const { return FBytesPerPixel; }
    // Encodes Count pixels from Source; Dest must hold MaxEncodedSize(Count)
    // bytes. BytesStored grows by the bytes written.
    void Encode(const Byte* Source, Byte* Dest, std::int64_t Count,
                std::int64_t& BytesStored) override;
    // At most one packet header per pixel.
    std::int64_t MaxEncodedSize(std::int64_t Count) const { return Count * (FBytesPerPixel + 1); }

private:
    int FBytesPerPixel;
};

class TPackbitsRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TPackbitsRLEDecoder)
    TPackbitsRLEDecoder() : TRunLengthDecoder(TRunLengthVariant::PackBits, 1) {}
};

class TPCXRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TPCXRLEDecoder)
    TPCXRLEDecoder() : TRunLengthDecoder(TRunLengthVariant::PCX, 1) {}
};

// Sample size 8 or 16 bits (other values raise EDecoderError).
class TSGIRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TSGIRLEDecoder)
    explicit TSGIRLEDecoder(int SampleSize);
};

class TCUTRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TCUTRLEDecoder)
    TCUTRLEDecoder() : TRunLengthDecoder(TRunLengthVariant::CUT, 1) {}
};

class TPSPRLEDecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TPSPRLEDecoder)
    TPSPRLEDecoder() : TRunLengthDecoder(TRunLengthVariant::PSP, 1) {}
};

class TRLADecoder : public TRunLengthDecoder {
public:
    QM_CLASSNAME(TRLADecoder)
    TRLADecoder() : TRunLengthDecoder(TRunLengthVariant::RLA, 1) {}
};
