#pragma once
// TPNGGraphic: reads Portable Network Graphics files into a 1-, 4-, 8-, 24-
// or 32-bit bitmap. Every chunk it uses is checked against its CRC-32 (not in
// fuzzing builds, which define QM_SKIP_CHECKSUMS); image
// data is inflated, unfiltered, de-interlaced (Adam7) and converted through
// the colour manager. It does not write PNG.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imageio/PictureReaders.h"

class TLZ77Decoder;

class TPNGGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TPNGGraphic)
    TPNGGraphic();
    ~TPNGGraphic() override;

    bool AcceptsStream(TStream& Stream) override;
    bool ReadHeader(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

    TColor BackgroundColor() const { return FBackgroundColor; }
    // 0x1FFFFFFF ("none") unless a tRNS chunk names one.
    TColor PNGTransparentColor() const { return FTransparentColor; }
    static constexpr TColor NoTransparentColor = 0x1FFFFFFF;

private:
    struct TChunkHeader {
        std::uint32_t Length = 0;
        char Type[4] = {};
    };
    void ReadChunkHeader();
    bool TryReadChunkHeader();
    void ReadChunkData();
    void SkipChunk();
    bool IsChunk(const char* Type) const;
    bool IsCritical() const { return (FHeader.Type[0] & 0x20) == 0; }

    int SetupColorManager();
    void ApplyBackground(const std::vector<Byte>& Data);
    void ApplyTransparency(const std::vector<Byte>& Data);
    void ReadImage();
    void ReadRow(Byte* Row, std::int64_t Count);
    void ConvertRow(const Byte* Source, int Row, int FirstColumn, int ColumnStep, int Count);

    TChunkHeader FHeader;
    std::vector<Byte> FRaw; // the current chunk's data
    std::uint32_t FCRC = 0;
    std::unique_ptr<TLZ77Decoder> FDecoder;
    const Byte* FInput = nullptr; // unread IDAT bytes in FRaw
    std::int64_t FInputLeft = 0;
    bool FInIDAT = false;      // FHeader is an IDAT whose data is in FRaw
    bool FHavePending = false; // FHeader follows the image data, unread
    bool FSetupDone = false;
    int FSourceBPP = 1; // filter distance
    int FColorType = 0; // IHDR colour type
    TPalette FPalette;
    TColor FBackgroundColor = 0xFFFFFF;
    TColor FTransparentColor = NoTransparentColor;
    // A 16-bit grey or RGB transparent colour is matched at full depth, so
    // such pictures get an alpha channel (pf32bit) instead of a colour key.
    bool FKeyAlpha = false;
    std::uint16_t FKey16[3] = {};
    std::vector<Byte> FKeyRow; // the colour manager's output before the alpha
    // A palette picture whose transparency table has a clear or partly
    // clear entry becomes 32-bit: each index gives its entry's colour and
    // alpha (FIndexBGRA, made when the image data starts).
    bool FIndexAlpha = false;
    std::array<Byte, 256> FEntryAlpha{};
    std::array<std::uint32_t, 256> FIndexBGRA{};
    std::vector<Byte> FPassRow; // a converted interlace pass row
};
