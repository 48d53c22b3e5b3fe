#pragma once
// TPSPGraphic: Paint Shop Pro images (file versions 3 and later). The first
// layer of the layer bank is shown: its image channels (red, green, blue or
// one composite channel) and, for true-colour layers, its transparency mask
// as alpha. Channels are raw, run-length or deflate coded; JPEG-coded files
// are refused with the compression message.
#include "imageio/PictureReaders.h"

class TPSPGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPSPGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

private:
    Word FMajorVersion = 0;
    std::int64_t FFirstBlockEnd = 0; // absolute position after the attributes block
};
