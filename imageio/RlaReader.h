#pragma once
// TRLAGraphic: Wavefront RLA / RPF pictures with three 8-bit colour channels
// and an optional matte, run-length coded per channel. A header that cannot
// be read leaves the picture empty without a message.
#include "imageio/PictureReaders.h"

class TRLAGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TRLAGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

private:
    int FChannels = 0; // colour channels stored
    int FMattes = 0;   // matte channels stored
    int FMatteBits = 0;
};
