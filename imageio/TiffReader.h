#pragma once
// TTIFFGraphic: reads the first image of a Tagged Image File Format file,
// strip by strip, through the decoder its compression tag names; tiled
// files load as an empty picture. Saving does nothing.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "imageio/PictureReaders.h"

class TTIFFGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TTIFFGraphic)
    TTIFFGraphic();
    ~TTIFFGraphic() override;

    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override { return ReadHeader(Stream, 0); }
    // Reads the header of image ImageIndex (the loader asks for image 0).
    bool ReadHeader(TStream& Stream, int ImageIndex);
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override {}
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

    // One directory entry, its value field kept as the 4 bytes of the file.
    struct TIFDEntry {
        Word Tag = 0;
        Word DataType = 0;
        std::uint32_t DataLength = 0; // count of values
        Byte Value[4] = {};
    };

protected:
    // The error label of this reader's messages.
    virtual const char* ErrorLabel() const { return "TIF/TIFF"; }

private:
    bool ReadDirectory(std::uint32_t Offset);
    const TIFDEntry* FindTag(Word Tag) const;
    std::uint32_t GetValue(Word Tag, std::uint32_t Default) const;
    bool GetValueList(Word Tag, std::vector<std::uint32_t>& Values) const;
    bool GetByteList(Word Tag, std::vector<Byte>& Values) const;
    bool GetFloatList(Word Tag, std::vector<float>& Values) const;
    float GetFloat(Word Tag, float Default) const;
    bool ReadRaw(const TIFDEntry& Entry, std::vector<Byte>& Data) const;
    std::uint16_t U16(const Byte* P) const;
    std::uint32_t U32(const Byte* P) const;
    bool ReadAt(std::uint64_t Offset, void* Buffer, std::int64_t Count) const;

    void LoadStrips(TStream& Stream);
    void SetupColorManager(TPixelFormat& Format);
    void ReadPalette();
    void GreyAlphaRow(std::span<const Byte* const> Sources, Byte* Greys, Byte* Target);

    std::vector<TIFDEntry> FEntries; // sorted by tag
    bool FBigEndian = false;
    bool FAssociatedAlpha = false;    // extra sample 1: colours premultiplied
    bool FWidenIndices = false;       // indices of 2-7 or 9-16 bits read as bytes
    bool FGreyAlpha = false;          // grey or indices with alpha read into 32 bits
    std::vector<TColor> FIndexColors; // the colour map of indices with alpha
    TStream* FHeaderStream = nullptr;
    std::int64_t FHeaderBase = 0;
};
