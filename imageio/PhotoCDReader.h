#pragma once
// TPCDGraphic: the base image (768 x 512) of a Photo-CD image pack, or the
// 192 x 128 picture of an overview pack, in PhotoYCC with half-resolution
// chroma. Rotated packs are turned upright. A header that cannot be read
// leaves the picture empty without a message.
#include "imageio/PictureReaders.h"

class TPCDGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPCDGraphic)
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    // Resolution index read by ReadHeader (capped at 5); 2 is the base image.
    int Resolution() const { return FResolution; }

    // Doubles a chroma plane of Width x Height (both even) from its
    // Width/2 x Height/2 samples held at the start of Plane: rounded means
    // of the two (or four diagonal) neighbours, the last column and row
    // repeating the ones before.
    static void UpsamplePlane(Byte* Plane, int Width, int Height);

private:
    int FResolution = 2;
    int FScale = 2; // resolution read: 0 overview .. 2 base
};
