#pragma once
// TTargaGraphic: Truevision Targa pictures (colour-mapped, true colour and
// grey, raw or run-length) and the Targa writer (always run-length). A header
// that cannot be read leaves the picture empty without a message.
#include "imageio/PictureReaders.h"

#pragma pack(push, 1)
struct TTargaHeader {
    Byte IDLength;
    Byte ColorMapType;      // 0 none, 1 present
    Byte ImageType;         // 1 colour-mapped, 2 true colour, 3 grey; +8 run-length
    Word ColorMapStart;     // first index of the colour map
    Word ColorMapLength;    // entries
    Byte ColorMapEntrySize; // bits per entry: 15, 16, 24 or 32
    Word XOrigin;
    Word YOrigin;
    Word Width;
    Word Height;
    Byte PixelSize;       // 8, 15, 16, 24 or 32
    Byte ImageDescriptor; // bit 5 top-down, low 4 bits alpha bits
};
#pragma pack(pop)
static_assert(sizeof(TTargaHeader) == 18);

class TTargaGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TTargaGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    // Run-length Targa of the bitmap: 8-bit bitmaps with their palette,
    // 1- and 4-bit ones widened to 8 bits first. An empty bitmap writes
    // nothing.
    void SaveToStream(TStream& Stream) const override;

private:
    TTargaHeader FHeader{};
};
