#pragma once
// TLZ77Decoder: deflate (zlib) decompression for PNG image data, deflate
// TIFF strips and Paint Shop Pro channels. The reader drives the stream: it
// feeds input and asks for output, then reads where zlib stopped.
#include <cstdint>
#include <memory>

#include "imageio/Decoder.h"

class TLZ77Decoder : public TDecoder {
public:
    QM_CLASSNAME(TLZ77Decoder)
    // FlushMode is zlib's flush argument of inflate; AutoReset resets the
    // stream before every Decode (one zlib stream per TIFF strip). Without
    // VerifyChecksum the stream's Adler-32 is not computed: for readers that
    // keep what was inflated whatever zlib's result, it only costs time.
    TLZ77Decoder(int FlushMode, bool AutoReset, bool VerifyChecksum = true);
    ~TLZ77Decoder() override;

    // Inflates from Source (PackedSize bytes) into Dest (UnpackedSize bytes)
    // and advances both to where zlib stopped. zlib's own errors are left in
    // ZLibResult for the reader to judge.
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
    // inflateInit / inflateEnd; a failure raises SLZ77DecompressionError.
    void DecodeInit() override;
    void DecodeEnd() override;
    // Deflate's longest match (258 bytes) costs at least two bits.
    std::int64_t MaxExpansion() const override { return 1032; }

    int ZLibResult() const { return FZLibResult; }
    bool StreamEnded() const;
    // Input not consumed and output room left by the last Decode.
    std::int64_t AvailableInput() const;
    std::int64_t AvailableOutput() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
    int FFlushMode;
    bool FAutoReset;
    bool FVerifyChecksum;
    bool FInitialised = false;
    int FZLibResult = 0;
    std::int64_t FInputLeft = 0;
    std::int64_t FOutputLeft = 0;
};
