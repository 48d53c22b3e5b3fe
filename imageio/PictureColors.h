#pragma once
// TColorManager: converts rows of decoded samples from a picture file's
// colour scheme, sample size and layout into the layout of a bitmap's scan
// line. A reader sets the source side from the file, the target side from the
// bitmap, then calls ConvertPixels once per row. The converter is chosen once
// per settings change; unsupported pairs raise EColorConversionError.
//
// The manager never sees the buffers' sizes: a caller hands it rows that hold
// Count pixels of the source layout (SourceRowBytes / SourcePlaneBytes) and
// a target that holds TargetRowBytes(Count) bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/graphics/Palette.h"
#include "platform/graphics/PixelFormat.h"

QM_DECLARE_EXCEPTION(EColorConversionError, Exception);

// Colour schemes, numbered as the readers store them in their properties.
enum TColorScheme : Byte {
    csUnknown = 0,
    csIndexed = 1,
    csG = 2,  // grey
    csGA = 3, // grey with alpha
    csRGB = 4,
    csRGBA = 5,
    csBGR = 6,
    csBGRA = 7,
    csCMY = 8,
    csCMYK = 9,
    csCIELab = 10,
    csYCbCr = 11,
    csPhotoYCC = 12
};

// Option bits of a side (a set held in one byte).
using TConvertOptions = Byte;
constexpr TConvertOptions coAlpha = 0x01;           // alpha present (kept by the manager)
constexpr TConvertOptions coApplyGamma = 0x02;      // target: pass samples through the gamma table
constexpr TConvertOptions coNeedByteSwap = 0x04;    // source: swap the bytes of 16-bit samples
constexpr TConvertOptions coLabByteRange = 0x08;    // source: CIE L stored 0..255
constexpr TConvertOptions coLabChromaOffset = 0x10; // source: CIE a, b stored with offset 128

// Layouts of a colour table in a file: interleaved entries or one plane per
// component, three or four components (the fourth skipped), 8 or 16 bits.
enum TRawPaletteFormat {
    pfInterlaced8Triple,
    pfInterlaced8Quad,
    pfPlane8Triple,
    pfPlane8Quad,
    pfInterlaced16Triple,
    pfInterlaced16Quad,
    pfPlane16Triple,
    pfPlane16Quad
};

// Messages of the colour manager.
inline constexpr const char* SIndexedNotSupported =
    "La conversion entre les formats de pixels indexé et non-indexé n'est pas supportée.";
inline constexpr const char* SConversionUnsupported =
    "la conversion des couleurs a échoué. Méthode approprié non trouvé.";
inline constexpr const char* SInvalidSampleDepth =
    "Profondeur des couleurs invalide. Elle doit être de 1, 2, 4, 8, or 16 bits par échantillon.";
inline constexpr const char* SInvalidPixelDepth =
    "La profondeur des pixels de l'échantillon ne correspond pas au format des couleurs.";
inline constexpr const char* SInvalidSubSampling =
    "Valeur du sous échantillon est invalide. Les valeurs correctes sont 1, 2 et 4.";
inline constexpr const char* SVerticalSubSamplingError =
    "La valeur du sous échantillon vertical doit être <= à la valeur du sous échantillon "
    "horizontal.";

// Count pixels of three bytes with the first and the third exchanged
// (red, green, blue <-> blue, green, red). Target may be Source itself.
inline void SwapRedBlue24(const Byte* Source, Byte* Target, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i, Source += 3, Target += 3) {
        const Byte first = Source[0], second = Source[1], third = Source[2];
        Target[0] = third;
        Target[1] = second;
        Target[2] = first;
    }
}

class TColorManager : public TObject {
public:
    QM_CLASSNAME(TColorManager)
    TColorManager();

    Byte SourceBitsPerSample() const { return FSourceBPS; }
    Byte TargetBitsPerSample() const { return FTargetBPS; }
    Byte SourceSamplesPerPixel() const { return FSourceSPP; }
    Byte TargetSamplesPerPixel() const { return FTargetSPP; }
    TColorScheme SourceColorScheme() const { return FSourceScheme; }
    TColorScheme TargetColorScheme() const { return FTargetScheme; }
    TConvertOptions SourceOptions() const { return FSourceOptions; }
    TConvertOptions TargetOptions() const { return FTargetOptions; }

    // 1..16 (EColorConversionError SInvalidSampleDepth otherwise).
    void SetSourceBitsPerSample(Byte Value);
    void SetTargetBitsPerSample(Byte Value);
    // 1..4 (EColorConversionError SInvalidPixelDepth otherwise).
    void SetSourceSamplesPerPixel(Byte Value);
    void SetTargetSamplesPerPixel(Byte Value);
    void SetSourceColorScheme(TColorScheme Value);
    void SetTargetColorScheme(TColorScheme Value);
    void SetSourceOptions(TConvertOptions Value);
    void SetTargetOptions(TConvertOptions Value);

    float MainGamma() const { return FMainGamma; }
    float DisplayGamma() const { return FDisplayGamma; }
    // A value of 0 or less becomes 1.0 (main) or 2.2 (display); the gamma
    // table is rebuilt at once.
    void SetGamma(float MainGamma, float DisplayGamma = 2.2f);
    const std::array<Byte, 256>& GammaTable() const { return FGammaTable; }

    const std::array<float, 3>& YCbCrCoefficients() const { return FYCbCrCoefficients; }
    Byte HorizontalSubsampling() const { return FHSubsampling; }
    Byte VerticalSubsampling() const { return FVSubsampling; }
    // Takes one to three luma weights (red, green, blue; the others stay).
    // Each subsampling must be 1, 2 or 4 and the vertical one must not exceed
    // the horizontal one.
    void SetYCbCrParameters(std::span<const float> Coefficients, Byte HorizontalSubsampling,
                            Byte VerticalSubsampling);

    // Converts Count pixels into Target. One source is an interleaved row;
    // several are one plane per sample. Mask starts at its top bit and
    // rotates right once per target pixel; a pixel is written only where its
    // bit is set (0xFF converts all).
    void ConvertPixels(std::span<const Byte* const> Sources, Byte* Target, int Count,
                       Byte Mask = 0xFF);
    // The interleaved form of ConvertPixels.
    void ConvertRow(const Byte* Source, Byte* Target, int Count, Byte Mask = 0xFF);

    // Byte counts of Count pixels: an interleaved source row, one source
    // plane, a target row (packed, no padding).
    std::int64_t SourceRowBytes(std::int64_t Count) const;
    std::int64_t SourcePlaneBytes(std::int64_t Count) const;
    std::int64_t TargetRowBytes(std::int64_t Count) const;

    // The bitmap format that holds a side's pixels (pfCustom when none).
    TPixelFormat SourcePixelFormat() const;
    TPixelFormat TargetPixelFormat() const;

    // A palette from a file's colour table. Data holds one plane per
    // component for the planar layouts, else one span; BGR says the
    // components are stored blue first. 16-bit entries follow the source
    // byte-swap option and are scaled to 8 bits; the gamma table applies when
    // the target asks for it. At most 256 entries; a table shorter than Count
    // entries raises SInvalidPixelDepth.
    TPalette CreateColorPalette(std::span<const std::span<const Byte>> Data,
                                TRawPaletteFormat Layout, int Count, bool BGR = false) const;
    // 2^min(target bits x target samples, 8) evenly spaced greys (through
    // the gamma table when the target applies gamma); reversed when
    // MinimumIsWhite.
    TPalette CreateGrayscalePalette(bool MinimumIsWhite) const;

private:
    using TConverter = void (TColorManager::*)(std::span<const Byte* const> Sources, Byte* Target,
                                               int Count, Byte Mask);
    // Sets Field to Value; a change makes the next conversion prepare again.
    template <class T> void SetParameter(T& Field, T Value) {
        if (Value != Field) {
            Field = Value;
            FChanged = true;
        }
    }
    void PrepareConversion();
    void MakeGammaTable();
    void MakeYCbCrTables(int CrOffset, int CbOffset);

    void RowConvertIndexed(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertGray(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertRGB2RGB(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertRGB2BGR(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertCMYK2RGB(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertCMYK2BGR(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertCIELab2RGB(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertCIELab2BGR(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertYCbCr2RGB(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertYCbCr2BGR(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertPhotoYCC2RGB(std::span<const Byte* const>, Byte*, int, Byte);
    void RowConvertPhotoYCC2BGR(std::span<const Byte* const>, Byte*, int, Byte);

    template <class PixelFn>
    void ConvertEachPixel(std::span<const Byte* const> Sources, Byte* Target, int Count, Byte Mask,
                          bool TargetBGR, bool ApplyGamma, PixelFn&& Fn);
    void ConvertCopy(std::span<const Byte* const>, Byte*, int, Byte, bool Swap);
    void ConvertCMYK(std::span<const Byte* const>, Byte*, int, Byte, bool BGR);
    void ConvertCIELab(std::span<const Byte* const>, Byte*, int, Byte, bool BGR);
    void ConvertYCbCr(std::span<const Byte* const>, Byte*, int, Byte, bool BGR);
    void ConvertPhotoYCC(std::span<const Byte* const>, Byte*, int, Byte, bool BGR);

    Byte FSourceBPS = 8;
    Byte FTargetBPS = 8;
    Byte FSourceSPP = 3;
    Byte FTargetSPP = 3;
    TColorScheme FSourceScheme = csRGB;
    TColorScheme FTargetScheme = csBGR;
    TConvertOptions FSourceOptions = 0;
    TConvertOptions FTargetOptions = 0;

    float FMainGamma = 1.0f;
    float FDisplayGamma = 2.2f;
    std::array<Byte, 256> FGammaTable{};

    std::array<float, 3> FYCbCrCoefficients{0.299f, 0.587f, 0.114f};
    Byte FHSubsampling = 1;
    Byte FVSubsampling = 1;
    std::array<int, 256> FCrToRed{};
    std::array<int, 256> FCbToBlue{};
    std::array<int, 256> FCrToGreen{};
    std::array<int, 256> FCbToGreen{};

    bool FChanged = true;
    TConverter FRowConversion = nullptr;
};
