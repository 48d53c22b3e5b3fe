#pragma once
// The run-length pixel coder and the entry that codes one frame's pixel
// data with the coder an image asks for.
#include <cstdint>
#include <span>

#include "gif/GifTypes.h"
#include "gif/LzwEncoder.h"

// Emits only literal pixels and codes for runs of one pixel value that any
// standard LZW decoder builds on its own (each run code repeats the previous
// run one pixel longer), so it keeps no string table. The output is a valid
// GIF LZW stream, larger than LZW's for most pictures but cheap to make.
class TRLEEncoder : public TGIFEncoder {
protected:
    void Compress() override;

private:
    void Clear();
    void OutputPlain(int Code);
    void ResetOutClear();
    void FlushRun();
    void FlushFromClear(std::int64_t Count);
    void FlushClearOrRepeat(std::int64_t Count);
    void FlushWithTable(std::int64_t Count);
    std::int64_t TriangleCount(std::int64_t Count) const;

    int FOutBumpInit = 0;
    int FOutClearInit = 0;
    int FOutBump = 0;
    int FOutClear = 0;
    int FOutCount = 0;
    int FMaxRunCodes = 0;
    int FRunTableMax = 0;
    int FRunTablePixel = 0;
    int FRunPixel = 0;
    std::int64_t FRunCount = 0;
};

// Writes the pixel data of one frame (minimum code size byte, sub-blocks, 0
// block) with TRLEEncoder for gpcRunLength and TLZWEncoder otherwise.
void WriteGIFPixelData(TStream& Stream, TGIFPixelCoding Coding, std::span<const Byte> Pixels,
                       int Width, int Height, bool Interlaced, int BitsPerPixel, int ColorCount,
                       const TGIFWarning& OnWarning = {});
