#include "gif/GifPixelEncoders.h"

#include <cmath>
#include <memory>

void TRLEEncoder::Clear() {
    // The clear code goes out at the width in use; the decoder narrows after it.
    Output(FClearCode);
    FBitsPerCode = FInitBitsPerCode;
    FOutBump = FOutBumpInit;
    FOutClear = FOutClearInit;
    FOutCount = 0;
    FRunTableMax = 0;
    FClearFlag = true;
}

void TRLEEncoder::OutputPlain(int Code) {
    FClearFlag = false;
    Output(Code);
    ++FOutCount;
    // Follows the decoder: its table reaches 2^width after this many codes.
    if (FOutCount >= FOutBump) {
        FOutBump += 1 << FBitsPerCode;
        ++FBitsPerCode;
    }
    if (FOutCount >= FOutClear) Clear();
}

void TRLEEncoder::ResetOutClear() {
    FOutClear = FOutClearInit;
    if (FOutCount >= FOutClear) Clear();
}

std::int64_t TRLEEncoder::TriangleCount(std::int64_t Count) const {
    // Codes needed to spell Count pixels afresh with at most k run codes
    // before each clear: runs of 1, 2, ..., k pixels.
    const std::int64_t k = FMaxRunCodes;
    const std::int64_t perClear = k * (k + 1) / 2;
    std::int64_t cost = 0;
    if (perClear > 0) {
        cost += (Count / perClear) * k;
        Count %= perClear;
    }
    if (Count > 0) {
        std::int64_t n = std::int64_t(std::sqrt(double(Count)));
        while (n > 0 && n * (n + 1) >= 2 * Count)
            --n;
        while (n * (n + 1) < 2 * Count)
            ++n;
        cost += n;
    }
    return cost;
}

void TRLEEncoder::FlushFromClear(std::int64_t Count) {
    FOutClear = FMaxRunCodes;
    FRunTablePixel = FRunPixel;
    int n = 1;
    while (Count > 0) {
        if (n == 1) {
            FRunTableMax = 1;
            OutputPlain(FRunPixel);
            --Count;
        } else if (Count >= n) {
            FRunTableMax = n;
            OutputPlain(FBaseCode + n - 2);
            Count -= n;
        } else if (Count == 1) {
            ++FRunTableMax;
            OutputPlain(FRunPixel);
            Count = 0;
        } else {
            ++FRunTableMax;
            OutputPlain(FBaseCode + int(Count) - 2);
            Count = 0;
        }
        n = FOutCount == 0 ? 1 : n + 1;
    }
    ResetOutClear();
}

void TRLEEncoder::FlushClearOrRepeat(std::int64_t Count) {
    if (TriangleCount(Count) + 1 < Count) {
        Clear();
        FlushFromClear(Count);
    } else {
        for (; Count > 0; --Count)
            OutputPlain(FRunPixel);
    }
}

void TRLEEncoder::FlushWithTable(std::int64_t Count) {
    const std::int64_t m = FRunTableMax;
    std::int64_t whole = Count / m;
    std::int64_t rest = Count % m;
    std::int64_t extra = rest > 0 ? 1 : 0;
    if (FMaxRunCodes < whole + FOutCount + extra) {
        whole = FMaxRunCodes - FOutCount;
        rest = Count - m * whole;
        extra = TriangleCount(rest) + 1;
    }
    if (TriangleCount(Count) + 1 < whole + extra) {
        Clear();
        FlushFromClear(Count);
        return;
    }
    FOutClear = FMaxRunCodes;
    for (; whole > 0; --whole)
        OutputPlain(FBaseCode + int(m) - 2);
    if (rest > 0) {
        if (FClearFlag)
            FlushFromClear(rest);
        else if (rest == 1)
            OutputPlain(FRunPixel);
        else
            OutputPlain(FBaseCode + int(rest) - 2);
    }
    ResetOutClear();
}

void TRLEEncoder::FlushRun() {
    if (FRunCount == 1)
        OutputPlain(FRunPixel);
    else if (FClearFlag)
        FlushFromClear(FRunCount);
    else if (FRunTableMax < 2 || FRunTablePixel != FRunPixel)
        FlushClearOrRepeat(FRunCount);
    else
        FlushWithTable(FRunCount);
    FRunCount = 0;
}

void TRLEEncoder::Compress() {
    FOutBumpInit = FClearCode - 1;
    FOutClearInit = FBitsPerPixel > 3 ? FClearCode - 2 : 9;
    FMaxRunCodes = GIFMaxCodes - 1 - FBaseCode;
    FRunCount = 0;
    Clear();
    int pixel;
    while (NextPixel(pixel)) {
        if (FRunCount > 0 && pixel == FRunPixel) {
            ++FRunCount;
            continue;
        }
        if (FRunCount > 0) FlushRun();
        FRunPixel = pixel;
        FRunCount = 1;
    }
    if (FRunCount > 0) FlushRun();
}

void WriteGIFPixelData(TStream& Stream, TGIFPixelCoding Coding, std::span<const Byte> Pixels,
                       int Width, int Height, bool Interlaced, int BitsPerPixel, int ColorCount,
                       const TGIFWarning& OnWarning) {
    // The LZW coder carries a 32 KB table: keep it off the stack.
    std::unique_ptr<TGIFEncoder> encoder;
    if (Coding == gpcRunLength)
        encoder = std::make_unique<TRLEEncoder>();
    else
        encoder = std::make_unique<TLZWEncoder>();
    encoder->OnWarning = OnWarning;
    encoder->Encode(Stream, Pixels, Width, Height, Interlaced, BitsPerPixel, ColorCount);
}
