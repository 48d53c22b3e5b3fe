#include "imageio/PictureColors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/base/Rounding.h"

namespace {

bool HasAlphaScheme(TColorScheme Scheme) {
    return Scheme == csGA || Scheme == csRGBA || Scheme == csBGRA;
}

bool IsRGBTarget(TColorScheme Scheme) {
    return Scheme == csRGB || Scheme == csRGBA;
}
bool IsBGRTarget(TColorScheme Scheme) {
    return Scheme == csBGR || Scheme == csBGRA;
}
bool IsByteOrWord(Byte Bits) {
    return Bits == 8 || Bits == 16;
}

unsigned Read16(const Byte* P, bool Swap) {
    Word w;
    std::memcpy(&w, P, 2);
    if (Swap) w = static_cast<Word>((w >> 8) | (w << 8));
    return w;
}

void Write16(Byte* P, unsigned Value) {
    const Word w = static_cast<Word>(Value);
    std::memcpy(P, &w, 2);
}

// The 16-bit truncating multiply-divide used for every change of range.
unsigned Rescale(unsigned Value, unsigned Multiplier, unsigned Divisor) {
    return static_cast<unsigned>(std::uint64_t{Value} * Multiplier / Divisor);
}

unsigned Scale16To8(unsigned Value) {
    return Rescale(Value, 255, 65535);
}
unsigned Widen8To16(unsigned Value) {
    return Rescale(Value, 65535, 255);
}

Byte Clamp8(int Value) {
    return static_cast<Byte>(std::clamp(Value, 0, 255));
}
Byte ClampRound8(double Value) {
    return static_cast<Byte>(std::clamp<std::int64_t>(RoundHalfEven(Value), 0, 255));
}

// Reads the samples of the source side, interleaved (one source) or planar
// (one source per sample), each as an 8-bit value.
struct TSampleReader {
    std::span<const Byte* const> Sources;
    int Bytes;   // 1 or 2 per sample
    int Samples; // per pixel
    bool Swap;

    unsigned Raw(int Pixel, int Sample) const {
        const Byte* p = Sources.size() > 1
                            ? Sources[Sample] + std::size_t(Pixel) * Bytes
                            : Sources[0] + (std::size_t(Pixel) * Samples + Sample) * Bytes;
        return Bytes == 2 ? Read16(p, Swap) : *p;
    }
    unsigned Get8(int Pixel, int Sample) const {
        const unsigned v = Raw(Pixel, Sample);
        return Bytes == 2 ? Scale16To8(v) : v;
    }
};

// The pixel at position i is written when the mask bit for it is set: the
// mask's top bit for the first pixel, then each lower bit, cyclically.
bool MaskBit(Byte Mask, int Pixel) {
    return (Mask & (0x80u >> (Pixel & 7))) != 0;
}

// Count pixels of bytes: Source holds SourceSamples a pixel, red, green,
// blue (blue, green, red with Swap) and alpha when SourceAlpha; Target takes
// TargetSamples a pixel, three colour bytes and, with TargetAlpha, the
// source's alpha or 255. Target bytes beyond those are left as they are.
void CopyRow8(const Byte* Source, int SourceSamples, Byte* Target, int TargetSamples,
              bool TargetAlpha, bool SourceAlpha, bool Swap, int Count) {
    const int first = Swap ? 2 : 0, last = 2 - first;
    if (SourceSamples == 3 && TargetSamples == 3 && !TargetAlpha) {
        if (Swap)
            SwapRedBlue24(Source, Target, std::size_t(Count));
        else
            std::memmove(Target, Source, std::size_t(Count) * 3);
        return;
    }
    for (int i = 0; i < Count; ++i, Source += SourceSamples, Target += TargetSamples) {
        const Byte a = Source[first], b = Source[1], c = Source[last];
        const Byte alpha = SourceAlpha ? Source[3] : Byte(255);
        Target[0] = a;
        Target[1] = b;
        Target[2] = c;
        if (TargetAlpha) Target[3] = alpha;
    }
}

} // namespace

TColorManager::TColorManager() {
    MakeGammaTable();
}

void TColorManager::SetSourceBitsPerSample(Byte Value) {
    if (Value < 1 || Value > 16) throw EColorConversionError(SInvalidSampleDepth);
    SetParameter(FSourceBPS, Value);
}

void TColorManager::SetTargetBitsPerSample(Byte Value) {
    if (Value < 1 || Value > 16) throw EColorConversionError(SInvalidSampleDepth);
    SetParameter(FTargetBPS, Value);
}

void TColorManager::SetSourceSamplesPerPixel(Byte Value) {
    if (Value < 1 || Value > 4) throw EColorConversionError(SInvalidPixelDepth);
    SetParameter(FSourceSPP, Value);
}

void TColorManager::SetTargetSamplesPerPixel(Byte Value) {
    if (Value < 1 || Value > 4) throw EColorConversionError(SInvalidPixelDepth);
    SetParameter(FTargetSPP, Value);
}

void TColorManager::SetSourceColorScheme(TColorScheme Value) {
    SetParameter(FSourceScheme, Value);
}

void TColorManager::SetTargetColorScheme(TColorScheme Value) {
    SetParameter(FTargetScheme, Value);
}

void TColorManager::SetSourceOptions(TConvertOptions Value) {
    SetParameter(FSourceOptions, Value);
}

void TColorManager::SetTargetOptions(TConvertOptions Value) {
    SetParameter(FTargetOptions, Value);
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
    const float main = MainGamma <= 0.0f ? 1.0f : MainGamma;
    const float display = DisplayGamma <= 0.0f ? 2.2f : DisplayGamma;
    if (main != FMainGamma || display != FDisplayGamma) FChanged = true;
    FMainGamma = main;
    FDisplayGamma = display;
    MakeGammaTable();
}

// Every user of the table indexes it with an 8-bit value (8-bit samples,
// 16-bit samples scaled to 8 bits, the grey palette's levels) and wants an
// 8-bit colour back, so it always maps 0..255 onto 0..255; narrower bounds
// would leave entries the palettes read unset.
void TColorManager::MakeGammaTable() {
    const double exponent = 1.0 / (double(FMainGamma) * double(FDisplayGamma));
    for (int i = 0; i < 256; ++i) {
        const double v = std::pow(i / 255.0, exponent) * 255.0;
        FGammaTable[i] = static_cast<Byte>(std::clamp<std::int64_t>(RoundHalfEven(v), 0, 255));
    }
}

void TColorManager::SetYCbCrParameters(std::span<const float> Coefficients,
                                       Byte HorizontalSubsampling, Byte VerticalSubsampling) {
    auto valid = [](Byte v) { return v == 1 || v == 2 || v == 4; };
    if (!valid(HorizontalSubsampling) || !valid(VerticalSubsampling))
        throw EColorConversionError(SInvalidSubSampling);
    if (VerticalSubsampling > HorizontalSubsampling)
        throw EColorConversionError(SVerticalSubSamplingError);
    for (std::size_t i = 0; i < Coefficients.size() && i < 3; ++i)
        FYCbCrCoefficients[i] = Coefficients[i];
    FHSubsampling = HorizontalSubsampling;
    FVSubsampling = VerticalSubsampling;
    FChanged = true;
}

void TColorManager::MakeYCbCrTables(int CrOffset, int CbOffset) {
    const double kr = FYCbCrCoefficients[0];
    const double kg = FYCbCrCoefficients[1];
    const double kb = FYCbCrCoefficients[2];
    const double fr = 2.0 - 2.0 * kr;
    const double fb = 2.0 - 2.0 * kb;
    for (int i = 0; i < 256; ++i) {
        const int cr = i - CrOffset;
        const int cb = i - CbOffset;
        FCrToRed[i] = static_cast<int>(RoundHalfEven(fr * cr));
        FCbToBlue[i] = static_cast<int>(RoundHalfEven(fb * cb));
        FCrToGreen[i] = -static_cast<int>(RoundHalfEven(kr * fr / kg * cr));
        FCbToGreen[i] = -static_cast<int>(RoundHalfEven(kb * fb / kg * cb));
    }
}

// ---------------------------------------------------------------------------
// Choice of the row converter

void TColorManager::PrepareConversion() {
    const bool sourceIndexed =
        FSourceScheme == csIndexed || FSourceScheme == csG || FSourceScheme == csGA;
    const bool targetIndexed = FTargetScheme == csIndexed || FTargetScheme == csG;
    if (sourceIndexed != targetIndexed) throw EColorConversionError(SIndexedNotSupported);

    FSourceOptions = HasAlphaScheme(FSourceScheme) ? Byte(FSourceOptions | coAlpha)
                                                   : Byte(FSourceOptions & ~coAlpha);
    FTargetOptions = HasAlphaScheme(FTargetScheme) ? Byte(FTargetOptions | coAlpha)
                                                   : Byte(FTargetOptions & ~coAlpha);

    // A scheme needs its samples: reading a fourth sample from a
    // three-sample row would run past the caller's buffer.
    auto needSamples = [](Byte Have, int Want) {
        if (Have < Want) throw EColorConversionError(SInvalidPixelDepth);
    };
    if (HasAlphaScheme(FTargetScheme)) needSamples(FTargetSPP, FTargetScheme == csGA ? 2 : 4);
    if (HasAlphaScheme(FSourceScheme)) needSamples(FSourceSPP, FSourceScheme == csGA ? 2 : 4);

    const bool wide = IsByteOrWord(FSourceBPS) && IsByteOrWord(FTargetBPS);
    const bool toRGB = IsRGBTarget(FTargetScheme);
    const bool toBGR = IsBGRTarget(FTargetScheme);
    TConverter converter = nullptr;
    switch (FSourceScheme) {
    case csIndexed:
        if (FSourceSPP != FTargetSPP) throw EColorConversionError(SInvalidPixelDepth);
        converter = &TColorManager::RowConvertIndexed;
        break;
    case csG:
        if (FSourceBPS < 16 && FTargetBPS < 16) {
            if (FSourceSPP != FTargetSPP) throw EColorConversionError(SInvalidPixelDepth);
            converter = &TColorManager::RowConvertIndexed;
        } else if (wide) {
            converter = &TColorManager::RowConvertGray;
        } else {
            if (FSourceSPP != FTargetSPP) throw EColorConversionError(SInvalidPixelDepth);
            converter = &TColorManager::RowConvertIndexed;
        }
        break;
    case csGA:
        if (wide) converter = &TColorManager::RowConvertGray;
        break;
    case csRGB:
    case csRGBA:
        if (wide && toRGB) converter = &TColorManager::RowConvertRGB2RGB;
        if (wide && toBGR) converter = &TColorManager::RowConvertRGB2BGR;
        break;
    case csBGR:
    case csBGRA:
        if (wide && toRGB) converter = &TColorManager::RowConvertRGB2BGR;
        if (wide && toBGR) converter = &TColorManager::RowConvertRGB2RGB;
        break;
    case csCMYK:
        if (wide && (toRGB || toBGR)) needSamples(FSourceSPP, 4);
        if (wide && toRGB) converter = &TColorManager::RowConvertCMYK2RGB;
        if (wide && toBGR) converter = &TColorManager::RowConvertCMYK2BGR;
        break;
    case csCIELab:
        if (wide && toRGB) converter = &TColorManager::RowConvertCIELab2RGB;
        if (wide && toBGR) converter = &TColorManager::RowConvertCIELab2BGR;
        break;
    case csYCbCr:
        MakeYCbCrTables(128, 128);
        if (wide && toRGB) converter = &TColorManager::RowConvertYCbCr2RGB;
        if (wide && toBGR) converter = &TColorManager::RowConvertYCbCr2BGR;
        break;
    case csPhotoYCC:
        // The second sample is the blue difference (neutral at 156), the
        // third the red difference (neutral at 137).
        MakeYCbCrTables(137, 156);
        if (wide && toRGB) converter = &TColorManager::RowConvertPhotoYCC2RGB;
        if (wide && toBGR) converter = &TColorManager::RowConvertPhotoYCC2BGR;
        break;
    default:
        break;
    }
    if (converter != nullptr && !sourceIndexed) {
        needSamples(FSourceSPP, 3);
        needSamples(FTargetSPP, 3);
    }
    FRowConversion = converter;
    FChanged = false;
}

void TColorManager::ConvertPixels(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                  Byte Mask) {
    if (FChanged) PrepareConversion();
    if (FRowConversion == nullptr) throw EColorConversionError(SConversionUnsupported);
    if (Count <= 0 || Sources.empty() || Target == nullptr) return;
    // Planar rows bring one plane per sample.
    if (Sources.size() > 1 && Sources.size() < FSourceSPP)
        throw EColorConversionError(SInvalidPixelDepth);
    (this->*FRowConversion)(Sources, Target, Count, Mask);
}

void TColorManager::ConvertRow(const Byte* Source, Byte* Target, int Count, Byte Mask) {
    const Byte* sources[1] = {Source};
    ConvertPixels(sources, Target, Count, Mask);
}

// ---------------------------------------------------------------------------
// Indexed and grey repacking

void TColorManager::RowConvertIndexed(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                      Byte Mask) {
    const unsigned sBits = FSourceBPS;
    const unsigned tBits = FTargetBPS;
    const int samples = FSourceSPP;
    const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
    const bool planar = Sources.size() > 1;
    if (!planar && sBits == tBits && Mask == 0xFF && !(sBits == 16 && swap)) {
        const std::size_t bytes = (std::size_t(Count) * sBits * samples + 7) / 8;
        std::memcpy(Target, Sources[0], bytes);
        return;
    }
    const unsigned sMax = (1u << sBits) - 1;
    const unsigned tMax = (1u << tBits) - 1;
    std::size_t tBit = 0; // bit position of the next target sample
    for (int pixel = 0; pixel < Count; ++pixel) {
        const bool write = MaskBit(Mask, pixel);
        for (int s = 0; s < samples; ++s, tBit += tBits) {
            if (!write) continue;
            // Planar rows hold sample s of every pixel in plane s.
            const Byte* source = planar ? Sources[s] : Sources[0];
            const std::size_t sBit =
                (planar ? std::size_t(pixel) : std::size_t(pixel) * samples + s) * sBits;
            unsigned v;
            if (sBits == 16) {
                v = Read16(source + sBit / 8, swap);
            } else if (sBits == 8) {
                v = source[sBit / 8];
            } else {
                // Most significant bits first; a sample may straddle bytes.
                v = 0;
                for (unsigned b = 0; b < sBits; ++b) {
                    const std::size_t at = sBit + b;
                    v = (v << 1) | ((source[at / 8] >> (7 - at % 8)) & 1u);
                }
            }
            if (sBits != tBits) v = Rescale(v, tMax, sMax);
            if (tBits == 16) {
                Write16(Target + tBit / 8, v);
            } else if (tBits == 8) {
                Target[tBit / 8] = static_cast<Byte>(v);
            } else {
                for (unsigned b = 0; b < tBits; ++b) {
                    const std::size_t at = tBit + b;
                    const Byte bit = static_cast<Byte>(0x80u >> (at % 8));
                    if ((v >> (tBits - 1 - b)) & 1u)
                        Target[at / 8] |= bit;
                    else
                        Target[at / 8] &= static_cast<Byte>(~bit);
                }
            }
        }
    }
}

void TColorManager::RowConvertGray(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                   Byte Mask) {
    const TSampleReader in{Sources, FSourceBPS / 8, FSourceSPP,
                           (FSourceOptions & coNeedByteSwap) != 0};
    const bool gamma = (FTargetOptions & coApplyGamma) != 0;
    const int tBytes = FTargetBPS / 8;
    const std::size_t stride = std::size_t(FTargetSPP) * tBytes;
    for (int pixel = 0; pixel < Count; ++pixel) {
        if (!MaskBit(Mask, pixel)) continue;
        unsigned v = in.Get8(pixel, 0);
        if (gamma) v = FGammaTable[v];
        Byte* out = Target + pixel * stride;
        if (tBytes == 2)
            Write16(out, Widen8To16(v));
        else
            *out = static_cast<Byte>(v);
    }
}

// ---------------------------------------------------------------------------
// Colour converters

// Runs Fn for every masked-in pixel; Fn gives red, green, blue and alpha as
// 8-bit values, which are stored in the target's order and sample size.
template <class PixelFn>
void TColorManager::ConvertEachPixel(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                     Byte Mask, bool TargetBGR, bool ApplyGamma, PixelFn&& Fn) {
    const TSampleReader in{Sources, FSourceBPS / 8, FSourceSPP,
                           (FSourceOptions & coNeedByteSwap) != 0};
    const bool gamma = ApplyGamma && (FTargetOptions & coApplyGamma) != 0;
    const bool targetAlpha = (FTargetOptions & coAlpha) != 0;
    const int tBytes = FTargetBPS / 8;
    const std::size_t stride = std::size_t(FTargetSPP) * tBytes;
    for (int pixel = 0; pixel < Count; ++pixel) {
        if (!MaskBit(Mask, pixel)) continue;
        unsigned rgba[4] = {0, 0, 0, 255};
        Fn(in, pixel, rgba);
        if (gamma)
            for (int k = 0; k < 3; ++k)
                rgba[k] = FGammaTable[rgba[k]];
        if (TargetBGR) std::swap(rgba[0], rgba[2]);
        const int samples = targetAlpha ? 4 : 3;
        Byte* out = Target + pixel * stride;
        for (int k = 0; k < samples; ++k) {
            if (tBytes == 2)
                Write16(out + 2 * k, Widen8To16(rgba[k]));
            else
                out[k] = static_cast<Byte>(rgba[k]);
        }
    }
}

// Same order on both sides (Swap false) or red and blue exchanged.
void TColorManager::ConvertCopy(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                Byte Mask, bool Swap) {
    const bool sourceAlpha = (FSourceOptions & coAlpha) != 0;
    // Interleaved rows of bytes with every pixel written, the rows of most
    // true-colour files, are moved without going sample by sample.
    if (Sources.size() == 1 && FSourceBPS == 8 && FTargetBPS == 8 && Mask == 0xFF &&
        (FTargetOptions & coApplyGamma) == 0) {
        CopyRow8(Sources[0], FSourceSPP, Target, FTargetSPP, (FTargetOptions & coAlpha) != 0,
                 sourceAlpha, Swap, Count);
        return;
    }
    ConvertEachPixel(Sources, Target, Count, Mask, Swap, true,
                     [sourceAlpha](const TSampleReader& in, int pixel, unsigned* rgba) {
                         for (int k = 0; k < 3; ++k)
                             rgba[k] = in.Get8(pixel, k);
                         if (sourceAlpha) rgba[3] = in.Get8(pixel, 3);
                     });
}

void TColorManager::RowConvertRGB2RGB(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                      Byte Mask) {
    ConvertCopy(Sources, Target, Count, Mask, false);
}

void TColorManager::RowConvertRGB2BGR(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                      Byte Mask) {
    ConvertCopy(Sources, Target, Count, Mask, true);
}

void TColorManager::ConvertCMYK(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                Byte Mask, bool BGR) {
    if (FSourceBPS == 16) {
        ConvertEachPixel(Sources, Target, Count, Mask, BGR, false,
                         [](const TSampleReader& in, int pixel, unsigned* rgba) {
                             const int k = static_cast<int>(in.Raw(pixel, 3));
                             for (int s = 0; s < 3; ++s) {
                                 const int c = static_cast<int>(in.Raw(pixel, s));
                                 const int ink = c + k - static_cast<int>(Rescale(c, k, 65535));
                                 rgba[s] = Clamp8(
                                     255 - static_cast<int>(Rescale(std::max(ink, 0), 255, 65535)));
                             }
                         });
        return;
    }
    ConvertEachPixel(Sources, Target, Count, Mask, BGR, false,
                     [](const TSampleReader& in, int pixel, unsigned* rgba) {
                         const int k = static_cast<int>(in.Raw(pixel, 3));
                         for (int s = 0; s < 3; ++s) {
                             const int c = static_cast<int>(in.Raw(pixel, s));
                             rgba[s] = Clamp8(static_cast<int>(Rescale(c, k, 255)) - c - k + 255);
                         }
                     });
}

void TColorManager::RowConvertCMYK2RGB(std::span<const Byte* const> Sources, Byte* Target,
                                       int Count, Byte Mask) {
    ConvertCMYK(Sources, Target, Count, Mask, false);
}

void TColorManager::RowConvertCMYK2BGR(std::span<const Byte* const> Sources, Byte* Target,
                                       int Count, Byte Mask) {
    ConvertCMYK(Sources, Target, Count, Mask, true);
}

namespace {
// The sRGB transfer curve: linear light 0..1 to a level 0..255.
double EncodeSRGB(double Linear) {
    if (Linear <= 0.0) return 0.0;
    if (Linear >= 1.0) return 255.0;
    const double v =
        Linear <= 0.0031308 ? 12.92 * Linear : 1.055 * std::pow(Linear, 1.0 / 2.4) - 0.055;
    return v * 255.0;
}
} // namespace

// 16-bit samples are first brought to 8 bits, then read as the 8-bit layout.
void TColorManager::ConvertCIELab(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                  Byte Mask, bool BGR) {
    const bool lByteRange = (FSourceOptions & coLabByteRange) != 0;
    const bool chromaOffset = (FSourceOptions & coLabChromaOffset) != 0;
    ConvertEachPixel(Sources, Target, Count, Mask, BGR, false,
                     [=](const TSampleReader& in, int pixel, unsigned* rgba) {
                         const unsigned l8 = in.Get8(pixel, 0);
                         const unsigned a8 = in.Get8(pixel, 1);
                         const unsigned b8 = in.Get8(pixel, 2);
                         const double L = lByteRange ? l8 / 2.55 : double(l8);
                         const double a = chromaOffset ? int(a8) - 128 : double(std::int8_t(a8));
                         const double b = chromaOffset ? int(b8) - 128 : double(std::int8_t(b8));
                         double X, Y, Z;
                         if (L < 7.9996) {
                             Y = L / 903.3;
                             X = Y + a / 3893.5;
                             Z = Y - b / 1557.4;
                         } else {
                             const double f = (L + 16.0) / 116.0;
                             Y = f * f * f;
                             const double fx = f + a / 500.0;
                             const double fz = f - b / 200.0;
                             X = fx * fx * fx;
                             Z = fz * fz * fz;
                         }
                         // The matrix gives linear light; the bitmap holds
                         // sRGB-encoded levels.
                         rgba[0] = ClampRound8(EncodeSRGB(2.998 * X - 1.458 * Y - 0.541 * Z));
                         rgba[1] = ClampRound8(EncodeSRGB(-0.952 * X + 1.893 * Y + 0.059 * Z));
                         rgba[2] = ClampRound8(EncodeSRGB(0.099 * X - 0.198 * Y + 1.099 * Z));
                     });
}

void TColorManager::RowConvertCIELab2RGB(std::span<const Byte* const> Sources, Byte* Target,
                                         int Count, Byte Mask) {
    ConvertCIELab(Sources, Target, Count, Mask, false);
}

void TColorManager::RowConvertCIELab2BGR(std::span<const Byte* const> Sources, Byte* Target,
                                         int Count, Byte Mask) {
    ConvertCIELab(Sources, Target, Count, Mask, true);
}

// Table-driven for both YCbCr and (8-bit) PhotoYCC; the tables carry the
// scheme's chroma offsets.
void TColorManager::ConvertYCbCr(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                 Byte Mask, bool BGR) {
    ConvertEachPixel(Sources, Target, Count, Mask, BGR, false,
                     [this](const TSampleReader& in, int pixel, unsigned* rgba) {
                         const int y = static_cast<int>(in.Get8(pixel, 0));
                         const unsigned cb = in.Get8(pixel, 1);
                         const unsigned cr = in.Get8(pixel, 2);
                         rgba[0] = Clamp8(y + FCrToRed[cr]);
                         rgba[1] = Clamp8(y + FCbToGreen[cb] + FCrToGreen[cr]);
                         rgba[2] = Clamp8(y + FCbToBlue[cb]);
                     });
}

void TColorManager::RowConvertYCbCr2RGB(std::span<const Byte* const> Sources, Byte* Target,
                                        int Count, Byte Mask) {
    ConvertYCbCr(Sources, Target, Count, Mask, false);
}

void TColorManager::RowConvertYCbCr2BGR(std::span<const Byte* const> Sources, Byte* Target,
                                        int Count, Byte Mask) {
    ConvertYCbCr(Sources, Target, Count, Mask, true);
}

void TColorManager::ConvertPhotoYCC(std::span<const Byte* const> Sources, Byte* Target, int Count,
                                    Byte Mask, bool BGR) {
    if (FSourceBPS != 16 || FTargetBPS != 16) {
        ConvertYCbCr(Sources, Target, Count, Mask, BGR);
        return;
    }
    // 16 bits on both sides keep their precision through the direct formula.
    const TSampleReader in{Sources, 2, FSourceSPP, (FSourceOptions & coNeedByteSwap) != 0};
    const bool targetAlpha = (FTargetOptions & coAlpha) != 0;
    const std::size_t stride = std::size_t(FTargetSPP) * 2;
    auto clamp16 = [](double v) {
        return static_cast<unsigned>(std::clamp<std::int64_t>(RoundHalfEven(v), 0, 65535));
    };
    for (int pixel = 0; pixel < Count; ++pixel) {
        if (!MaskBit(Mask, pixel)) continue;
        const double y = 1.3584 * in.Raw(pixel, 0);
        const double c1 = double(in.Raw(pixel, 1)) - 40092.0; // blue difference
        const double c2 = double(in.Raw(pixel, 2)) - 35209.0; // red difference
        unsigned rgba[4] = {clamp16(y + 1.8215 * c2), clamp16(y - 0.4302726 * c1 - 0.9271435 * c2),
                            clamp16(y + 2.2179 * c1), 65535};
        if (BGR) std::swap(rgba[0], rgba[2]);
        Byte* out = Target + pixel * stride;
        for (int k = 0; k < (targetAlpha ? 4 : 3); ++k)
            Write16(out + 2 * k, rgba[k]);
    }
}

void TColorManager::RowConvertPhotoYCC2RGB(std::span<const Byte* const> Sources, Byte* Target,
                                           int Count, Byte Mask) {
    ConvertPhotoYCC(Sources, Target, Count, Mask, false);
}

void TColorManager::RowConvertPhotoYCC2BGR(std::span<const Byte* const> Sources, Byte* Target,
                                           int Count, Byte Mask) {
    ConvertPhotoYCC(Sources, Target, Count, Mask, true);
}

// ---------------------------------------------------------------------------
// Sizes, pixel formats, palettes

std::int64_t TColorManager::SourceRowBytes(std::int64_t Count) const {
    return (Count * FSourceBPS * FSourceSPP + 7) / 8;
}

std::int64_t TColorManager::SourcePlaneBytes(std::int64_t Count) const {
    return (Count * FSourceBPS + 7) / 8;
}

std::int64_t TColorManager::TargetRowBytes(std::int64_t Count) const {
    return (Count * FTargetBPS * FTargetSPP + 7) / 8;
}

namespace {
TPixelFormat PixelFormatOf(int Samples, int Bits) {
    switch (Samples) {
    case 1:
        if (Bits == 1) return pf1bit;
        if (Bits >= 2 && Bits <= 4) return pf4bit;
        if (Bits >= 8 && Bits <= 16) return pf8bit;
        return pfCustom;
    case 3:
        return Bits <= 5 ? pf15bit : pf24bit;
    case 4:
        return Bits >= 8 ? pf32bit : pfCustom;
    default:
        return pfCustom;
    }
}
} // namespace

TPixelFormat TColorManager::SourcePixelFormat() const {
    return PixelFormatOf(FSourceSPP, FSourceBPS);
}

TPixelFormat TColorManager::TargetPixelFormat() const {
    return PixelFormatOf(FTargetSPP, FTargetBPS);
}

TPalette TColorManager::CreateColorPalette(std::span<const std::span<const Byte>> Data,
                                           TRawPaletteFormat Layout, int Count, bool BGR) const {
    Count = std::min(Count, MaxPaletteEntries);
    if (Count <= 0) return {};
    const bool planar = Layout == pfPlane8Triple || Layout == pfPlane8Quad ||
                        Layout == pfPlane16Triple || Layout == pfPlane16Quad;
    const bool quad = Layout == pfInterlaced8Quad || Layout == pfPlane8Quad ||
                      Layout == pfInterlaced16Quad || Layout == pfPlane16Quad;
    const std::size_t bytes = Layout >= pfInterlaced16Triple ? 2 : 1;
    const std::size_t components = 3;
    const std::size_t step = quad ? 4 : 3;
    const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
    const bool gamma = (FTargetOptions & coApplyGamma) != 0;

    // Where component k of every entry starts, and the distance between
    // entries. One span may hold all the planes one after another.
    const Byte* starts[3];
    std::size_t entryStride;
    const std::size_t need = std::size_t(Count) * bytes;
    if (planar) {
        entryStride = bytes;
        for (std::size_t k = 0; k < components; ++k) {
            if (Data.size() > 1) {
                if (k >= Data.size() || Data[k].size() < need)
                    throw EColorConversionError(SInvalidPixelDepth);
                starts[k] = Data[k].data();
            } else {
                if (Data.empty() || Data[0].size() < need * components)
                    throw EColorConversionError(SInvalidPixelDepth);
                starts[k] = Data[0].data() + k * need;
            }
        }
    } else {
        entryStride = step * bytes;
        if (Data.empty() || Data[0].size() < std::size_t(Count) * entryStride - (step - 3) * bytes)
            throw EColorConversionError(SInvalidPixelDepth);
        for (std::size_t k = 0; k < components; ++k)
            starts[k] = Data[0].data() + k * bytes;
    }

    std::vector<TPaletteEntry> entries(Count);
    for (int i = 0; i < Count; ++i) {
        unsigned c[3];
        for (std::size_t k = 0; k < components; ++k) {
            const Byte* p = starts[k] + std::size_t(i) * entryStride;
            c[k] = bytes == 2 ? Scale16To8(Read16(p, swap)) : *p;
            if (gamma) c[k] = FGammaTable[c[k]];
        }
        if (BGR) std::swap(c[0], c[2]);
        entries[i].peRed = static_cast<Byte>(c[0]);
        entries[i].peGreen = static_cast<Byte>(c[1]);
        entries[i].peBlue = static_cast<Byte>(c[2]);
    }
    return TPalette(std::move(entries));
}

TPalette TColorManager::CreateGrayscalePalette(bool MinimumIsWhite) const {
    const int bits = std::min(int(FTargetBPS) * int(FTargetSPP), 8);
    const int count = 1 << bits;
    const int step = 255 / (count - 1);
    const bool gamma = (FTargetOptions & coApplyGamma) != 0;
    std::vector<TPaletteEntry> entries(count);
    for (int i = 0; i < count; ++i) {
        const Byte level = gamma ? FGammaTable[i * step] : static_cast<Byte>(i * step);
        TPaletteEntry& e = entries[MinimumIsWhite ? count - 1 - i : i];
        e.peRed = e.peGreen = e.peBlue = level;
    }
    return TPalette(std::move(entries));
}
