#pragma once
// TPPMGraphic: the portable bitmap, grey map and pixel map formats, text
// (P1-P3) and binary (P4-P6). Samples are scaled from the file's maximum
// value to 0..255; binary files with a maximum above 255 hold two bytes per
// sample, most significant first.
#include <array>

#include "imageio/PictureReaders.h"

class TPPMGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPPMGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

private:
    // The buffered reader of the text parts.
    Byte NextByte();
    bool AtEnd();
    // Count bytes of the binary kinds; SStreamReadError when the stream
    // ends first.
    void ReadBytes(Byte* Dest, std::size_t Count);
    // Skips to the next decimal number (a "#" starts a comment that runs to
    // the end of the line) and reads it; the character after it is consumed.
    std::int64_t ReadNumber();
    // One character '0' or '1' of a text bitmap (whitespace and comments
    // skipped): plain bitmaps may write their pixels without separators.
    int ReadBit();
    std::int64_t FillBuffer();

    std::array<Byte, 4096> FBuffer{};
    std::size_t FBufferPos = 0;
    std::size_t FBufferCount = 0;
};
