#pragma once
// The GIF variant of LZW decoding: codes of 3 to 12 bits, least significant
// bit first, carried in data sub-blocks (a size byte, then that many bytes,
// ended by a block of size 0). The decoder keeps flat 4096-entry tables
// (prefix, suffix, length and first byte of each string), writes each string
// backwards straight into the picture, validates every code before it makes
// an entry (so no chain can loop) and never writes outside the pixel buffer
// it is given. A damaged stream ends decoding with a warning; only an
// impossible or missing code size raises.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/base/Types.h"

class TStream;

// Receives the non-fatal problems met while decoding.
using TLZWWarning = std::function<void(const std::string& Message)>;

// Reads consecutive data sub-blocks from a stream, one block at a time.
class TGIFSubBlockReader {
public:
    TGIFSubBlockReader(TStream& Stream, const TLZWWarning& Warn);
    // Reads the next non-empty block into Data(); false once the 0 block (or
    // the end of the stream) is met. A block cut short by the end of the
    // stream warns and keeps what was there.
    bool NextBlock();
    const Byte* Data() const { return FBuffer; }
    int Size() const { return FSize; }
    bool Finished() const { return FFinished; }
    // Consumes the remaining sub-blocks up to and including the 0 block.
    void SkipRest();

private:
    TStream& FStream;
    const TLZWWarning& FWarn;
    Byte FBuffer[255];
    int FSize = 0;
    bool FFinished = false;
};

struct TLZWTarget {
    Byte* Pixels = nullptr; // Width*Height bytes, rows top to bottom
    int Width = 0;
    int Height = 0;
    bool Interlaced = false;
};

// Reads the minimum code size byte and the data sub-blocks at the stream's
// position and stores the pixels into Target (rows in the four interlace
// passes when Target.Interlaced). Pixels not reached keep their value. The
// sub-blocks are consumed up to the 0 block whatever happens. Raises
// GIFException "Invalid GIF data" for a code size above 11 and "Premature end
// of data" when the code size byte is missing.
void DecodeLZW(TStream& Stream, const TLZWTarget& Target, const TLZWWarning& Warn);
