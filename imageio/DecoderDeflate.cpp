#include "imageio/DecoderDeflate.h"

#include <algorithm>
#include <zlib.h>

struct TLZ77Decoder::TState {
    z_stream Stream{};
};

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset, bool VerifyChecksum)
    : FState(std::make_unique<TState>()), FFlushMode(FlushMode), FAutoReset(AutoReset),
      FVerifyChecksum(VerifyChecksum) {}

TLZ77Decoder::~TLZ77Decoder() {
    if (FInitialised) inflateEnd(&FState->Stream);
}

void TLZ77Decoder::DecodeInit() {
    if (FInitialised) inflateEnd(&FState->Stream);
    FState->Stream = z_stream{};
    FInitialised = false;
    if (inflateInit(&FState->Stream) != Z_OK) throw EDecoderError(SLZ77DecompressionError);
#ifdef QM_SKIP_CHECKSUMS
    // Fuzzing builds: mutated data must reach the pixel code, not stop at
    // the Adler-32 check.
    inflateValidate(&FState->Stream, 0);
#else
    if (!FVerifyChecksum) inflateValidate(&FState->Stream, 0);
#endif
    FInitialised = true;
    FZLibResult = Z_OK;
}

void TLZ77Decoder::DecodeEnd() {
    if (!FInitialised) return;
    FInitialised = false;
    if (inflateEnd(&FState->Stream) < 0) throw EDecoderError(SLZ77DecompressionError);
}

void TLZ77Decoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                          std::int64_t UnpackedSize) {
    if (!FInitialised) DecodeInit();
    z_stream& z = FState->Stream;
    if (FAutoReset) {
        FZLibResult = inflateReset(&z);
        if (FZLibResult != Z_OK) return;
    }
    // zlib counts in 32 bits; larger spans are fed in slices.
    std::int64_t inLeft = std::max<std::int64_t>(PackedSize, 0);
    std::int64_t outLeft = std::max<std::int64_t>(UnpackedSize, 0);
    constexpr std::int64_t slice = 1 << 30;
    for (;;) {
        uInt in = static_cast<uInt>(std::min(inLeft, slice));
        uInt out = static_cast<uInt>(std::min(outLeft, slice));
        z.next_in = const_cast<Bytef*>(Source);
        z.avail_in = in;
        z.next_out = Dest;
        z.avail_out = out;
        FZLibResult = inflate(&z, FFlushMode);
        std::int64_t usedIn = in - z.avail_in;
        std::int64_t usedOut = out - z.avail_out;
        Source += usedIn;
        Dest += usedOut;
        inLeft -= usedIn;
        outLeft -= usedOut;
        bool moreSlices = (z.avail_in == 0 && inLeft > 0) || (z.avail_out == 0 && outLeft > 0);
        if (FZLibResult != Z_OK || !moreSlices || (usedIn == 0 && usedOut == 0)) break;
    }
    FInputLeft = inLeft;
    FOutputLeft = outLeft;
}

bool TLZ77Decoder::StreamEnded() const {
    return FZLibResult == Z_STREAM_END;
}
std::int64_t TLZ77Decoder::AvailableInput() const {
    return FInputLeft;
}
std::int64_t TLZ77Decoder::AvailableOutput() const {
    return FOutputLeft;
}
