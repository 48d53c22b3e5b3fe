#pragma once
// TPSDGraphic: the merged image of Photoshop files (bitmap, grey, duotone,
// indexed, RGB, CMYK, multichannel and CIE L*a*b* modes; 1, 8 or 16 bits;
// raw or PackBits). Layers are skipped.
#include "imageio/PictureReaders.h"

class TPSDGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPSDGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

private:
    int FFileChannels = 0; // channels stored, extra ones included
};
