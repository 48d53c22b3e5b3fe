#pragma once
// TEPSGraphic: the TIFF preview of a binary Encapsulated PostScript file
// (the 30-byte binary header names where the preview lies). The PostScript
// itself is not drawn.
#include "imageio/TiffReader.h"

class TEPSGraphic : public TTIFFGraphic {
public:
    QM_CLASSNAME(TEPSGraphic)
    bool AcceptsStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;
};
