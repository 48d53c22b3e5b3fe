#pragma once
// TCUTGraphic: Dr. Halo CUT pictures, 8-bit run-length rows whose palette
// lives in a ".pal" file beside the picture (a grey ramp without one). A
// header that cannot be read leaves the picture empty without a message.
#include <string>

#include "imageio/PictureReaders.h"

class TCUTGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TCUTGraphic)
    // Never: the format has no magic number.
    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    // Remembers the palette file's name (the picture's with ".pal").
    void LoadFromFile(const std::string& FileName) override;
    // The palette file of the last LoadFromFile ("" after a stream load).
    const std::string& PaletteFile() const { return FPaletteFile; }
    void SetPaletteFile(const std::string& Value) { FPaletteFile = Value; }

    // A palette from the bytes of a Dr. Halo palette file (512-byte blocks,
    // entries of three 16-bit components from byte 40 on); an empty palette
    // when the data is too short to hold one.
    static TPalette ParsePaletteFile(const std::vector<Byte>& Data);

private:
    std::string FPaletteFile;
};
