#pragma once
// TAutodeskGraphic: Autodesk animator cel and picture files (8 bits per pixel
// with a 6-bit-per-component palette of 256 entries, uncompressed).
#include "imageio/PictureReaders.h"

class TAutodeskGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TAutodeskGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
};
