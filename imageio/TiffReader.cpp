#include "imageio/TiffReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <zlib.h>

#include "imageio/DecoderDeflate.h"
#include "imageio/DecoderFax.h"
#include "imageio/DecoderJpeg.h"
#include "imageio/DecoderRle.h"
#include "imageio/DecoderThunder.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"
#include "platform/forms/Dialogs.h"

namespace {

// Tags the reader uses.
enum : Word {
    tagImageWidth = 256,
    tagImageLength = 257,
    tagBitsPerSample = 258,
    tagCompression = 259,
    tagPhotometric = 262,
    tagFillOrder = 266,
    tagStripOffsets = 273,
    tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278,
    tagStripByteCounts = 279,
    tagXResolution = 282,
    tagYResolution = 283,
    tagPlanarConfig = 284,
    tagT4Options = 292,
    tagResolutionUnit = 296,
    tagPredictor = 317,
    tagColorMap = 320,
    tagTileWidth = 322,
    tagTileLength = 323,
    tagExtraSamples = 338,
    tagJPEGTables = 347,
    tagYCbCrCoefficients = 529,
    tagYCbCrSubSampling = 530,
    tagYCbCrPositioning = 531,
};

// Tiled pictures are recognised but not read.
inline constexpr const char* STilesFeature = "Le stockage en tuiles n'est";

// Bit order reversed within every byte (FillOrder 2).
void ReverseBits(Byte* P, std::size_t Count) {
    static const auto table = [] {
        std::array<Byte, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                r |= ((i >> b) & 1) << (7 - b);
            t[std::size_t(i)] = Byte(r);
        }
        return t;
    }();
    for (std::size_t i = 0; i < Count; ++i)
        P[i] = table[P[i]];
}

// Associated (premultiplied) alpha made straight again, in place over Count
// B, G, R, A pixels.
void UnpremultiplyRow(Byte* P, int Count) {
    for (int i = 0; i < Count; ++i, P += 4) {
        const unsigned a = P[3];
        if (a == 0 || a == 255) continue;
        for (int c = 0; c < 3; ++c)
            P[c] = Byte(std::min(255u, (P[c] * 255u + a / 2) / a));
    }
}

// Horizontal differencing undone over one row of Count pixels of Distance
// byte samples: each sample adds the same sample of the pixel before. The
// running sums stay in registers rather than being read back from the row.
template <int Distance> void UndoByteDifferencesOf(Byte* P, std::int64_t Count) {
    Byte sum[Distance];
    for (int k = 0; k < Distance; ++k)
        sum[k] = P[k];
    for (std::int64_t i = 1; i < Count; ++i) {
        P += Distance;
        for (int k = 0; k < Distance; ++k)
            P[k] = sum[k] = Byte(P[k] + sum[k]);
    }
}

void UndoByteDifferences(Byte* P, std::int64_t Count, int Distance) {
    switch (Distance) {
    case 1:
        return UndoByteDifferencesOf<1>(P, Count);
    case 2:
        return UndoByteDifferencesOf<2>(P, Count);
    case 3:
        return UndoByteDifferencesOf<3>(P, Count);
    case 4:
        return UndoByteDifferencesOf<4>(P, Count);
    default:
        for (std::int64_t i = Distance; i < Count * Distance; ++i)
            P[i] = Byte(P[i] + P[i - Distance]);
    }
}

// Sizes of the data types BYTE .. SLONG; types 10-12 are not handled.
constexpr int TypeSize[10] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4};
int SizeOf(Word Type) {
    return Type < 10 ? TypeSize[Type] : 0;
}

// Bounds on what a directory may ask for.
constexpr std::uint32_t MaxEntries = 4096;
constexpr std::uint64_t MaxListValues = 1u << 24;

TCompressionType CompressionOf(std::uint32_t tag) {
    switch (tag) {
    case 1:
        return ctNone;
    case 2:
        return ctFaxRLE;
    case 3:
        return ctFax3;
    case 4:
        return ctFax4;
    case 5:
        return ctLZW;
    case 6:
        return ctOJPEG;
    case 7:
        return ctJPEG;
    case 8:
    case 32946:
        return ctLZ77;
    case 32766:
        return ctNext;
    case 32771:
        return ctFaxRLEW;
    case 32773:
        return ctPackedBits;
    case 32809:
        return ctThunderscan;
    case 32895:
        return ctIT8CTPAD;
    case 32896:
        return ctIT8LW;
    case 32897:
        return ctIT8MP;
    case 32898:
        return ctIT8BL;
    case 32908:
        return ctPixarFilm;
    case 32909:
        return ctPixarLog;
    case 32947:
        return ctDCS;
    case 34661:
        return ctJBIG;
    default:
        return ctUnknown;
    }
}

} // namespace

std::unique_ptr<TGraphic> CreateTIFFGraphic() {
    return std::make_unique<TTIFFGraphic>();
}

TTIFFGraphic::TTIFFGraphic() = default;
TTIFFGraphic::~TTIFFGraphic() = default;

std::unique_ptr<TGraphic> TTIFFGraphic::NewOfSameClass() const {
    return std::make_unique<TTIFFGraphic>();
}

std::uint16_t TTIFFGraphic::U16(const Byte* P) const {
    return FBigEndian ? std::uint16_t(P[0] << 8 | P[1]) : std::uint16_t(P[1] << 8 | P[0]);
}

std::uint32_t TTIFFGraphic::U32(const Byte* P) const {
    return FBigEndian ? std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 |
                            std::uint32_t(P[2]) << 8 | P[3]
                      : std::uint32_t(P[3]) << 24 | std::uint32_t(P[2]) << 16 |
                            std::uint32_t(P[1]) << 8 | P[0];
}

bool TTIFFGraphic::ReadAt(std::uint64_t Offset, void* Buffer, std::int64_t Count) const {
    TStream& s = *FHeaderStream;
    const std::int64_t at = FHeaderBase + std::int64_t(Offset);
    if (Count < 0 || at < 0 || at > s.Size() - Count) return false;
    s.SetPosition(at);
    return s.Read(Buffer, Count) == Count;
}

bool TTIFFGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    const std::int64_t left = Stream.Size() - start;
    bool ok = false;
    Byte h[8];
    if (left > 8 && Stream.Read(h, 8) == 8) {
        bool big = h[0] == 'M' && h[1] == 'M';
        bool little = h[0] == 'I' && h[1] == 'I';
        if (big || little) {
            const bool keep = FBigEndian;
            FBigEndian = big;
            ok = U16(h + 2) == 42 && U32(h + 4) < left;
            FBigEndian = keep;
        }
    }
    Stream.SetPosition(start);
    return ok;
}

bool TTIFFGraphic::ReadDirectory(std::uint32_t Offset) {
    FEntries.clear();
    Byte buf[12];
    if (!ReadAt(Offset, buf, 2)) return false;
    const std::uint32_t count = U16(buf);
    if (count == 0 || count > MaxEntries) return false;
    FEntries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!ReadAt(std::uint64_t(Offset) + 2 + 12 * i, buf, 12)) return false;
        TIFDEntry e;
        e.Tag = U16(buf);
        e.DataType = U16(buf + 2);
        e.DataLength = U32(buf + 4);
        std::memcpy(e.Value, buf + 8, 4);
        FEntries.push_back(e);
    }
    std::stable_sort(FEntries.begin(), FEntries.end(),
                     [](const TIFDEntry& a, const TIFDEntry& b) { return a.Tag < b.Tag; });
    return true;
}

const TTIFFGraphic::TIFDEntry* TTIFFGraphic::FindTag(Word Tag) const {
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), Tag,
                               [](const TIFDEntry& e, Word t) { return e.Tag < t; });
    return it != FEntries.end() && it->Tag == Tag ? &*it : nullptr;
}

std::uint32_t TTIFFGraphic::GetValue(Word Tag, std::uint32_t Default) const {
    const TIFDEntry* e = FindTag(Tag);
    if (!e) return Default;
    if (e->DataLength != 1) return U32(e->Value);
    switch (e->DataType) {
    case 1:
    case 6:
        return e->Value[0];
    case 3:
    case 8:
        return U16(e->Value);
    case 4:
    case 9:
        return U32(e->Value);
    default:
        return Default;
    }
}

// The value bytes of an entry, inline or from its offset.
bool TTIFFGraphic::ReadRaw(const TIFDEntry& Entry, std::vector<Byte>& Data) const {
    const int size = SizeOf(Entry.DataType);
    const std::uint64_t bytes = std::uint64_t(Entry.DataLength) * std::uint64_t(size);
    if (size == 0 || Entry.DataLength > MaxListValues) return false;
    if (bytes <= 4) {
        Data.assign(Entry.Value, Entry.Value + bytes);
        return true;
    }
    // The values must lie in the file before anything is allocated for them.
    const std::int64_t at = FHeaderBase + std::int64_t(U32(Entry.Value));
    if (at + std::int64_t(bytes) > FHeaderStream->Size()) return false;
    Data.resize(std::size_t(bytes));
    return ReadAt(U32(Entry.Value), Data.data(), std::int64_t(bytes));
}

bool TTIFFGraphic::GetValueList(Word Tag, std::vector<std::uint32_t>& Values) const {
    Values.clear();
    const TIFDEntry* e = FindTag(Tag);
    std::vector<Byte> raw;
    if (!e || !ReadRaw(*e, raw)) return false;
    const int size = SizeOf(e->DataType);
    Values.reserve(e->DataLength);
    for (std::uint32_t i = 0; i < e->DataLength; ++i) {
        const Byte* p = raw.data() + std::size_t(i) * size;
        switch (e->DataType) {
        case 3:
        case 8:
            Values.push_back(U16(p));
            break;
        case 4:
        case 9:
            Values.push_back(U32(p));
            break;
        case 5: {
            std::uint32_t d = U32(p + 4);
            Values.push_back(d ? U32(p) / d : 0);
            break;
        }
        default:
            Values.push_back(*p);
            break;
        }
    }
    return true;
}

bool TTIFFGraphic::GetByteList(Word Tag, std::vector<Byte>& Values) const {
    std::vector<std::uint32_t> list;
    Values.clear();
    if (!GetValueList(Tag, list)) return false;
    for (std::uint32_t v : list)
        Values.push_back(Byte(v));
    return true;
}

bool TTIFFGraphic::GetFloatList(Word Tag, std::vector<float>& Values) const {
    Values.clear();
    const TIFDEntry* e = FindTag(Tag);
    std::vector<Byte> raw;
    if (!e || !ReadRaw(*e, raw)) return false;
    if (e->DataType != 5) {
        std::vector<std::uint32_t> list;
        GetValueList(Tag, list);
        for (std::uint32_t v : list)
            Values.push_back(float(v));
        return true;
    }
    for (std::uint32_t i = 0; i < e->DataLength; ++i) {
        const Byte* p = raw.data() + std::size_t(i) * 8;
        const std::uint32_t d = U32(p + 4);
        Values.push_back(d ? float(double(U32(p)) / d) : 0.0f);
    }
    return true;
}

float TTIFFGraphic::GetFloat(Word Tag, float Default) const {
    std::vector<float> list;
    if (!GetFloatList(Tag, list) || list.empty()) return Default;
    return list[0];
}

bool TTIFFGraphic::ReadHeader(TStream& Stream, int ImageIndex) {
    TReaderGraphic::ReadHeader(Stream);
    TImageProperties& p = FImageProperties;
    FHeaderStream = &Stream;
    FHeaderBase = Stream.Position();
    FEntries.clear();
    Byte h[8];
    if (Stream.Read(h, 8) != 8) return false;
    if (h[0] == 'M' && h[1] == 'M')
        FBigEndian = true;
    else if (h[0] == 'I' && h[1] == 'I')
        FBigEndian = false;
    else
        return false;
    if (FBigEndian) p.Options |= ioBigEndian;
    p.Version = U16(h + 2);
    p.FirstIFD = U32(h + 4);
    if (p.Version != 42) return false;
    std::uint32_t offset = p.FirstIFD;
    // Walk the directory chain to the image wanted; a loop ends at the bound.
    for (int guard = 0; guard < 1024; ++guard) {
        if (!ReadDirectory(offset)) return false;
        if (ImageIndex <= 0) break;
        Byte link[4];
        if (!ReadAt(std::uint64_t(offset) + 2 + 12 * FEntries.size(), link, 4) || U32(link) == 0)
            break;
        offset = U32(link);
        --ImageIndex;
    }

    const std::uint32_t width = GetValue(tagImageWidth, 0), height = GetValue(tagImageLength, 0);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    p.Width = std::int32_t(width);
    p.Height = std::int32_t(height);
    GetValueList(tagRowsPerStrip, p.RowsPerStrip);
    if (p.RowsPerStrip.empty() || p.RowsPerStrip[0] == 0xFFFFFFFF) p.RowsPerStrip = {height};
    const std::uint32_t samples = GetValue(tagSamplesPerPixel, 1);
    std::vector<std::uint32_t> bits;
    GetValueList(tagBitsPerSample, bits);
    const std::uint32_t bitsPerSample = bits.empty() ? 1 : bits[0];
    // The colour manager handles 1 to 4 samples of 1 to 16 bits.
    if (samples < 1 || samples > 4 || bitsPerSample < 1 || bitsPerSample > 16) return false;
    p.SamplesPerPixel = Byte(samples);
    p.BitsPerSample = Byte(bitsPerSample);
    p.TileWidth = GetValue(tagTileWidth, 0);
    p.TileLength = GetValue(tagTileLength, 0);
    if (p.TileWidth != 0 && p.TileLength != 0) p.Options |= ioTiled;
    {
        std::vector<std::uint32_t> extra;
        p.HasAlpha =
            GetValueList(tagExtraSamples, extra) &&
            std::all_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v <= 2; });
        FAssociatedAlpha = p.HasAlpha && !extra.empty() && extra[0] == 1;
    }
    p.BitsPerPixel = Byte(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = CompressionOf(GetValue(tagCompression, 1));
    switch (GetValue(tagPhotometric, 0xFFFF)) {
    case 0:
        p.ColorScheme = csG;
        p.Options |= ioMinIsWhite;
        break;
    case 1:
        p.ColorScheme = csG;
        break;
    case 2:
        p.ColorScheme = samples >= 4 ? csRGBA : csRGB;
        break;
    case 3:
        p.ColorScheme = csIndexed;
        break;
    case 5:
        p.ColorScheme = csCMYK;
        break;
    case 6:
        p.ColorScheme = csYCbCr;
        break;
    case 8:
        p.ColorScheme = csCIELab;
        break;
    default:
        p.ColorScheme = csUnknown;
        break;
    }
    if (p.ColorScheme == csYCbCr) {
        if (!GetByteList(tagYCbCrSubSampling, p.YCbCrSubSampling) || p.YCbCrSubSampling.size() < 2)
            p.YCbCrSubSampling = {2, 2};
    }
    // The JPEG colour and tables modes are pseudo tags that no file holds.
    p.JPEGColorMode = 0;
    p.JPEGTablesMode = 3;
    p.PlanarConfig = GetValue(tagPlanarConfig, 0);
    p.XResolution = GetFloat(tagXResolution, 0.0f);
    p.YResolution = GetFloat(tagYResolution, 0.0f);
    if (GetValue(tagResolutionUnit, 2) == 3) {
        p.XResolution *= 2.54f;
        p.YResolution *= 2.54f;
    }
    p.Predictor = GetValue(tagPredictor, 0);
    if (GetValue(tagFillOrder, 1) == 2) p.Options |= ioReversed;
    return true;
}

void TTIFFGraphic::SetupColorManager(TPixelFormat& Format) {
    const TImageProperties& p = FImageProperties;
    TColorManager& cm = FColorManager;
    const char* label = ErrorLabel();
    const bool jpeg = p.Compression == ctJPEG || p.Compression == ctOJPEG;
    TColorScheme source = TColorScheme(p.ColorScheme);
    FGreyAlpha = false;
    FIndexColors.clear();
    // The JPEG decoder already delivers blue, green, red.
    if (jpeg && p.SamplesPerPixel == 3) source = csBGR;
    Byte sourceSamples = p.SamplesPerPixel, targetSamples = p.SamplesPerPixel;
    TColorScheme target = source;
    switch (source) {
    case csIndexed:
    case csG:
        if (p.HasAlpha && p.SamplesPerPixel == 2) {
            source = csGA;
            targetSamples = 1;
            // Grey levels and indices keep their alpha in a 32-bit picture,
            // so that a clear backdrop does not show the colour it stores.
            FGreyAlpha = true;
        } else if (p.SamplesPerPixel != 1) {
            RaiseReaderError(SInvalidColorFormat, {label});
        }
        break;
    case csRGB:
    case csBGR:
        target = csBGR;
        if (sourceSamples < 3) RaiseReaderError(SInvalidColorFormat, {label});
        targetSamples = 3;
        break;
    case csRGBA:
        target = csBGRA;
        break;
    case csCMYK:
        if (sourceSamples < 4) RaiseReaderError(SInvalidColorFormat, {label});
        target = csBGR;
        targetSamples = 3;
        break;
    case csCMY:
    case csCIELab:
    case csYCbCr:
        target = csBGR;
        if (sourceSamples != 3) RaiseReaderError(SInvalidColorFormat, {label});
        break;
    default:
        RaiseReaderError(SInvalidColorFormat, {label});
    }
    cm.SetSourceOptions(FBigEndian ? coNeedByteSwap : 0);
    cm.SetTargetOptions(0);
    // A bitmap holds 1, 4 or 8 bits of grey or index. Grey levels are rescaled
    // to that; indices of other sizes are widened to bytes by the reader
    // itself, since rescaling would move them off their colour map entries.
    const Byte bits = p.BitsPerSample;
    FWidenIndices = source == csIndexed && bits != 1 && bits != 4 && bits != 8;
    Byte targetBits = 8;
    if (source == csG || source == csIndexed) targetBits = bits == 1 ? 1 : bits <= 4 ? 4 : 8;
    if (FWidenIndices) targetBits = 8;
    cm.SetSourceBitsPerSample(FWidenIndices ? 8 : bits);
    cm.SetTargetBitsPerSample(targetBits);
    cm.SetSourceColorScheme(source);
    cm.SetTargetColorScheme(target);
    cm.SetSourceSamplesPerPixel(sourceSamples);
    cm.SetTargetSamplesPerPixel(targetSamples);
    if (source == csCIELab) cm.SetSourceOptions(cm.SourceOptions() | coLabByteRange);
    Format = FGreyAlpha ? pf32bit : source == csGA ? pf8bit : cm.TargetPixelFormat();
    if (Format == pfCustom || Format == pfDevice) RaiseReaderError(SInvalidColorFormat, {label});
}

// One row of grey or indices with alpha (interleaved, or a plane of each) as
// B, G, R, A: greys through the colour manager, indices through the colour
// map, the alpha sample scaled to 8 bits as 16-bit samples are.
void TTIFFGraphic::GreyAlphaRow(std::span<const Byte* const> Sources, Byte* Greys, Byte* Target) {
    const TImageProperties& p = FImageProperties;
    FColorManager.ConvertPixels(Sources, Greys, p.Width, 0xFF);
    const bool planar = Sources.size() > 1;
    const int sampleBytes = p.BitsPerSample / 8;
    const Byte* alpha = planar ? Sources[1] : Sources[0] + sampleBytes;
    const std::size_t step = std::size_t(sampleBytes) * (planar ? 1 : 2);
    const Byte invert = (p.Options & ioMinIsWhite) ? 0xFF : 0;
    const bool indexed = p.ColorScheme == csIndexed;
    for (int x = 0; x < p.Width; ++x, alpha += step, Target += 4) {
        if (indexed) {
            const TColor c = FIndexColors.empty() ? TColor(0) : FIndexColors[Greys[x]];
            Target[0] = Byte(c >> 16);
            Target[1] = Byte(c >> 8);
            Target[2] = Byte(c);
        } else {
            Target[0] = Target[1] = Target[2] = Byte(Greys[x] ^ invert);
        }
        Target[3] = sampleBytes == 2 ? Byte(U16(alpha) * 255u / 65535u) : *alpha;
    }
}

void TTIFFGraphic::ReadPalette() {
    const TImageProperties& p = FImageProperties;
    TColorManager& cm = FColorManager;
    if (cm.TargetColorScheme() == csIndexed && p.ColorScheme == csIndexed) {
        std::vector<std::uint32_t> map;
        if (!GetValueList(tagColorMap, map) || map.size() < 3) return;
        // Three planes of 16-bit values: red, green, blue.
        const std::size_t n = std::min<std::size_t>(map.size() / 3, MaxPaletteEntries);
        std::vector<Byte> planes[3];
        for (int k = 0; k < 3; ++k)
            for (std::size_t i = 0; i < n; ++i)
                planes[k].push_back(Byte(map[k * (map.size() / 3) + i] * 255 / 65535));
        const std::span<const Byte> data[3] = {planes[0], planes[1], planes[2]};
        const TPalette palette = cm.CreateColorPalette(data, pfPlane8Triple, int(n));
        if (FGreyAlpha) {
            // Indices with alpha are looked up row by row (GreyAlphaRow).
            FIndexColors.assign(256, TColor(0));
            for (int i = 0; i < std::min(palette.Count(), 256); ++i)
                FIndexColors[std::size_t(i)] = palette.Color(i);
        } else {
            SetPalette(palette);
        }
    } else if (IsPalettised(PixelFormat())) {
        SetPalette(cm.CreateGrayscalePalette((p.Options & ioMinIsWhite) != 0));
    }
}

void TTIFFGraphic::LoadFromStream(TStream& Stream) {
    // Sample layouts the colour manager cannot convert are the file's fault:
    // the user reads the reader's message, not the converter's.
    try {
        LoadStrips(Stream);
    } catch (const EColorConversionError&) {
        RaiseReaderError(SInvalidColorFormat, {ErrorLabel()});
    }
}

void TTIFFGraphic::LoadStrips(TStream& Stream) {
    BeginLoad(Stream);
    const char* label = ErrorLabel();
    std::unique_ptr<TDecoder> decoder;
    struct TCleanup {
        TTIFFGraphic* Self;
        std::unique_ptr<TDecoder>& Decoder;
        ~TCleanup() {
            if (Decoder) {
                try {
                    Decoder->DecodeEnd();
                } catch (...) {
                }
            }
            Self->FStream = nullptr;
        }
    } cleanup{this, decoder};

    if (!ReadHeader(Stream, 0)) RaiseReaderError(SInvalidImage, {label});
    const TImageProperties& p = FImageProperties;
    ProgressStart(SPreparing);
    // Tiled pictures are refused rather than shown empty.
    if (p.Options & ioTiled) RaiseReaderError(SUnsupportedFeature, {STilesFeature, label});
    std::vector<std::uint32_t> offsets, byteCounts;
    if (!GetValueList(tagStripOffsets, offsets) || offsets.empty())
        RaiseReaderError(SInvalidImage, {label});
    GetValueList(tagStripByteCounts, byteCounts);

    TPixelFormat format = pfCustom;
    SetupColorManager(format);
    const bool planar = p.PlanarConfig == 2 && p.SamplesPerPixel > 1 &&
                        (FColorManager.SourceColorScheme() != csGA || FGreyAlpha);
    CheckImageSize(p.Width, p.Height, ::BitsPerPixel(format), label);
    if (p.ColorScheme == csYCbCr) {
        std::vector<float> coefficients;
        GetFloatList(tagYCbCrCoefficients, coefficients);
        if (coefficients.size() > 3) coefficients.resize(3);
        const Byte h = p.YCbCrSubSampling[0], v = p.YCbCrSubSampling[1];
        // Subsampled samples stand in blocks that only the JPEG decoder undoes.
        if (p.Compression != ctJPEG && (h != 1 || v != 1))
            RaiseReaderError(SInvalidColorFormat, {label});
        FColorManager.SetYCbCrParameters(coefficients, p.Compression == ctJPEG ? 1 : h,
                                         p.Compression == ctJPEG ? 1 : v);
    }

    // One plane of one sample in planar files, all samples otherwise.
    const int planes = planar ? p.SamplesPerPixel : 1;
    const std::int64_t lineBits =
        std::int64_t(p.Width) * p.BitsPerSample * (planar ? 1 : p.SamplesPerPixel);
    const std::int64_t bytesPerLine = (lineBits + 7) / 8;

    const bool faxCoding =
        p.Compression == ctFax3 || p.Compression == ctFaxRLE || p.Compression == ctFaxRLEW;
    if (faxCoding && p.BitsPerPixel != 1) RaiseReaderError(SInvalidColorFormat, {label});
    const std::uint32_t t4Options = GetValue(tagT4Options, 0);
    const bool reversed = (p.Options & ioReversed) != 0;
    switch (p.Compression) {
    case ctNone:
        break;
    case ctFax3:
        // Two-dimensional rows need the reference line coding, which this
        // decoder does not have.
        if (t4Options & T4Option2DCoding)
            RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, label});
        decoder = std::make_unique<TCCITTFax3Decoder>(t4Options, p.Width, false, reversed);
        break;
    case ctFaxRLE:
    case ctFaxRLEW:
        decoder = std::make_unique<TCCITTMHDecoder>(t4Options, p.Width, p.Compression == ctFaxRLEW,
                                                    reversed);
        break;
    case ctLZ77:
        // A strip keeps what was inflated whatever zlib's verdict, so the
        // checksum would be computed for nothing.
        decoder = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, true, false);
        break;
    case ctPackedBits:
        decoder = std::make_unique<TPackbitsRLEDecoder>();
        break;
    case ctThunderscan:
        if (p.BitsPerPixel != 4) RaiseReaderError(SInvalidColorFormat, {label});
        decoder = std::make_unique<TThunderDecoder>(p.Width);
        break;
    case ctJPEG: {
        if (planar) RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, label});
        std::vector<Byte> tables;
        if (const TIFDEntry* e = FindTag(tagJPEGTables); e && e->DataType != 0) ReadRaw(*e, tables);
        auto jpeg = std::make_unique<TTIFFJPEGDecoder>(p, std::move(tables));
        // The decoder's warnings go to the user once per picture; decoding
        // goes on.
        jpeg->OnWarning = [warned = false](const std::string& Caption,
                                           const std::string& Text) mutable {
            if (warned) return;
            warned = true;
            DialogService()->MessageBox(Text, Caption, MB_OK | MB_ICONWARNING);
        };
        decoder = std::move(jpeg);
        break;
    }
    default:
        RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, label});
    }
    if (decoder) decoder->DecodeInit();

    const bool predictor = p.Compression != ctNone && p.Predictor == 2;
    const int distance = planar ? 1 : p.SamplesPerPixel;
    auto undoPredictor = [&](Byte* row) {
        if (p.BitsPerSample == 8) {
            UndoByteDifferences(row, p.Width, distance);
        } else if (p.BitsPerSample == 16) {
            const std::int64_t n = std::int64_t(p.Width) * distance;
            for (std::int64_t i = distance; i < n; ++i) {
                const std::uint16_t v =
                    std::uint16_t(U16(row + 2 * i) + U16(row + 2 * (i - distance)));
                row[2 * i] = Byte(FBigEndian ? v >> 8 : v);
                row[2 * i + 1] = Byte(FBigEndian ? v : v >> 8);
            }
        }
    };

    const std::int64_t rowsPerStrip0 = p.RowsPerStrip.empty() ? p.Height : p.RowsPerStrip[0];
    const std::int64_t stripsPerPlane =
        rowsPerStrip0 > 0 ? (std::int64_t(p.Height) + rowsPerStrip0 - 1) / rowsPerStrip0 : 1;
    // Rows of strip Strip (the last entry of tag 278 stands for the rest).
    auto rowsOf = [&](std::int64_t Strip, std::int64_t FirstRow) {
        const std::int64_t entry =
            std::min<std::int64_t>(Strip, std::int64_t(p.RowsPerStrip.size()) - 1);
        return std::clamp<std::int64_t>(p.RowsPerStrip.empty() ? p.Height
                                                               : p.RowsPerStrip[std::size_t(entry)],
                                        1, p.Height - FirstRow);
    };
    // The coded bytes of strip Index: its byte count, or the rest of the file.
    auto codedBytesOf = [&](std::int64_t Index) -> std::int64_t {
        const std::int64_t at = FBasePosition + std::int64_t(offsets[std::size_t(Index)]);
        const std::int64_t available = Stream.Size() - at;
        if (!decoder) return available;
        return Index < std::int64_t(byteCounts.size())
                   ? std::int64_t(byteCounts[std::size_t(Index)])
                   : available;
    };
    {
        // Before the picture is allocated, every strip the rows need must be
        // listed and lie in the file, able to hold its rows.
        std::int64_t coded = 0, unpackedTotal = 0;
        std::int64_t first = 0;
        for (std::int64_t strip = 0; first < p.Height; ++strip) {
            const std::int64_t rows = rowsOf(strip, first);
            for (int plane = 0; plane < planes; ++plane) {
                const std::int64_t index = planar ? plane * stripsPerPlane + strip : strip;
                if (index >= std::int64_t(offsets.size()))
                    RaiseReaderError(SStreamReadError, {label});
                const std::int64_t at = FBasePosition + std::int64_t(offsets[std::size_t(index)]);
                const std::int64_t bytes = codedBytesOf(index);
                if (at >= Stream.Size() || bytes > Stream.Size() - at)
                    RaiseReaderError(SStreamReadError, {label});
                if (!decoder) CheckDataHolds(bytes, 1, rows * bytesPerLine, label);
                coded += bytes;
                unpackedTotal += rows * bytesPerLine;
            }
            first += rows;
        }
        if (decoder) CheckDataHolds(coded, decoder->MaxExpansion(), unpackedTotal, label);
    }
    SetPixelFormat(format);
    SetSize(p.Width, p.Height);
    ReadPalette();
    // Fax decoders read the bit order themselves; other data is turned
    // around before it is decoded.
    const bool reverseBits = reversed && !faxCoding && p.Compression != ctJPEG;
    const bool unpremultiply = FAssociatedAlpha && PixelFormat() == pf32bit;

    ProgressStart(STransfering);
    // JPEG strips whose rows already have the bitmap's layout (blue, green,
    // red or grey bytes, nothing to undo or convert on the way) are decoded
    // straight into the scan lines.
    const TColorManager& cm = FColorManager;
    const bool sameLayout = p.BitsPerSample == 8 && cm.SourceBitsPerSample() == 8 &&
                            cm.TargetBitsPerSample() == 8 &&
                            (cm.TargetOptions() & coApplyGamma) == 0 &&
                            ((cm.SourceColorScheme() == csBGR && cm.TargetColorScheme() == csBGR &&
                              p.SamplesPerPixel == 3 && PixelFormat() == pf24bit) ||
                             (cm.SourceColorScheme() == csG && cm.TargetColorScheme() == csG &&
                              p.SamplesPerPixel == 1 && PixelFormat() == pf8bit));
    auto* jpeg = dynamic_cast<TTIFFJPEGDecoder*>(decoder.get());
    const bool direct = jpeg && sameLayout && !planar && !predictor && !FWidenIndices &&
                        !unpremultiply && !reverseBits;
    std::vector<Byte*> rowPointers;
    std::vector<std::vector<Byte>> buffers(static_cast<std::size_t>(planes));
    std::vector<Byte> packed;
    std::vector<Byte> widened(FWidenIndices ? std::size_t(p.Width) : 0);
    std::vector<Byte> greys(FGreyAlpha ? std::size_t(p.Width) : 0);
    int row = 0;
    for (std::int64_t strip = 0; row < p.Height; ++strip) {
        // Every plane's part of this strip; a strip the file does not list
        // or hold stays blank.
        const std::int64_t stripRows = rowsOf(strip, row);
        const std::int64_t unpacked = stripRows * bytesPerLine;
        if (direct) {
            const std::int64_t index = strip;
            const std::int64_t count = codedBytesOf(index);
            Stream.SetPosition(FBasePosition + std::int64_t(offsets[std::size_t(index)]));
            packed.resize(std::size_t(count));
            readerbytes::ReadExact(Stream, packed.data(), count, label);
            rowPointers.resize(std::size_t(stripRows));
            for (std::int64_t r = 0; r < stripRows; ++r)
                rowPointers[std::size_t(r)] = ScanLine(int(row + r));
            jpeg->DecodeRows(packed.data(), count, unpacked, rowPointers);
            for (std::int64_t r = 0; r < stripRows; ++r, ++row)
                ProgressRow(row);
            continue;
        }
        for (int plane = 0; plane < planes; ++plane) {
            std::vector<Byte>& buffer = buffers[std::size_t(plane)];
            buffer.resize(std::size_t(unpacked));
            const std::int64_t index = planar ? plane * stripsPerPlane + strip : strip;
            const std::int64_t at = FBasePosition + std::int64_t(offsets[std::size_t(index)]);
            Stream.SetPosition(at);
            if (decoder) {
                const std::int64_t count = codedBytesOf(index);
                packed.resize(std::size_t(count));
                readerbytes::ReadExact(Stream, packed.data(), count, label);
                if (reverseBits) ReverseBits(packed.data(), packed.size());
                const Byte* src = packed.data();
                Byte* dst = buffer.data();
                decoder->Decode(src, dst, count, unpacked);
                // What the strip's data did not cover stays blank.
                std::fill(dst, buffer.data() + buffer.size(), Byte(0));
            } else {
                readerbytes::ReadExact(Stream, buffer.data(), unpacked, label);
                if (reverseBits) ReverseBits(buffer.data(), buffer.size());
            }
        }
        for (std::int64_t r = 0; r < stripRows && row < p.Height; ++r, ++row) {
            const Byte* sources[4] = {};
            for (int plane = 0; plane < planes; ++plane) {
                Byte* line = buffers[std::size_t(plane)].data() + r * bytesPerLine;
                if (predictor) undoPredictor(line);
                sources[plane] = line;
            }
            if (FWidenIndices) {
                // Samples most significant bits first; wider indices keep
                // their low byte.
                const int b = p.BitsPerSample;
                for (std::int64_t x = 0; x < p.Width; ++x) {
                    unsigned v = 0;
                    for (int k = 0; k < b; ++k) {
                        const std::int64_t at = x * b + k;
                        v = (v << 1) | ((sources[0][at >> 3] >> (7 - (at & 7))) & 1u);
                    }
                    widened[std::size_t(x)] = Byte(v);
                }
                sources[0] = widened.data();
            }
            const std::span<const Byte* const> rowSources(sources, std::size_t(planes));
            if (FGreyAlpha)
                GreyAlphaRow(rowSources, greys.data(), ScanLine(row));
            else
                FColorManager.ConvertPixels(rowSources, ScanLine(row), p.Width, 0xFF);
            if (unpremultiply) UnpremultiplyRow(ScanLine(row), p.Width);
            ProgressRow(row);
        }
    }
    if (decoder) {
        decoder->DecodeEnd();
        decoder.reset();
    }
    ProgressEnd();
}
