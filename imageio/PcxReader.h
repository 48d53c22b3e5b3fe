#pragma once
// TPCXGraphic: ZSoft Paintbrush pictures (and Word screen captures) of 1, 2,
// 4 or 8 bits in one plane, 4 planes of 1 bit, or 3 planes of 8 bits, raw or
// run-length.
#include "imageio/PictureReaders.h"

class TPCXGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPCXGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

private:
    Byte FHeader[128] = {};
};
