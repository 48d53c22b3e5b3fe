#pragma once
// TSGIGraphic: SGI image files of 1 to 4 channels with 8- or 16-bit
// samples, raw or run-length. One- and two-channel files show their first
// channel in grey; three and four channels are RGB and RGBA.
#include "imageio/PictureReaders.h"

class TSGIGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TSGIGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
};
