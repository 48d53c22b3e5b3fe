#include "imageio/PngReader.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

#include "imageio/DecoderDeflate.h"
#include "imageio/ReaderFactories.h"

namespace {

constexpr const char* Label = "PNG";
constexpr Byte Signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// A chunk's length is at most 2^31 - 1 bytes.
constexpr std::uint32_t MaxChunkLength = 0x7FFFFFFF;

std::uint32_t BE32(const Byte* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
unsigned BE16(const Byte* p) {
    return unsigned(p[0]) << 8 | p[1];
}

TColor RGBColor(unsigned r, unsigned g, unsigned b) {
    return TColor(r & 0xFF) | TColor(g & 0xFF) << 8 | TColor(b & 0xFF) << 16;
}

// A grey or colour sample of the file as an 8-bit value.
// The depth has been validated (ValidDepth) before any chunk uses it.
unsigned SampleTo8(unsigned v, int depth) {
    if (depth == 16) return v * 255 / 65535;
    if (depth == 8) return v & 0xFF;
    unsigned max = (1u << depth) - 1;
    return std::min(v, max) * 255 / max;
}

// The bit depths each colour type allows: grey 1, 2, 4, 8, 16; palette
// 1, 2, 4, 8; RGB, grey with alpha and RGBA 8 and 16.
bool ValidDepth(int ColorType, int Depth) {
    switch (ColorType) {
    case 0:
        return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8 || Depth == 16;
    case 3:
        return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8;
    case 2:
    case 4:
    case 6:
        return Depth == 8 || Depth == 16;
    default:
        return false;
    }
}

// Fuzzing builds let mutated chunks through to the code behind the check.
bool SameCRC(std::uint32_t Computed, std::uint32_t Stored) {
#ifdef QM_SKIP_CHECKSUMS
    (void)Computed;
    (void)Stored;
    return true;
#else
    return Computed == Stored;
#endif
}

void ReadExact(TStream& Stream, void* Buffer, std::int64_t Count) {
    if (Stream.Read(Buffer, Count) != Count)
        TReaderGraphic::RaiseReaderError(SStreamReadError, {Label});
}

bool SameType(const char* a, const char* b) {
    for (int i = 0; i < 4; ++i)
        if ((a[i] & ~0x20) != (b[i] & ~0x20)) return false;
    return true;
}

// Adam7 passes.
struct TPass {
    int FirstRow, FirstColumn, RowStep, ColumnStep;
};
constexpr TPass Passes[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                             {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};

int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

// Undoes the filter named by Row[0] over the Count bytes after it.
void Unfilter(Byte* Row, const Byte* Previous, std::int64_t Count, int Distance) {
    Byte* x = Row + 1;
    const Byte* up = Previous + 1;
    switch (Row[0]) {
    case 1:
        for (std::int64_t i = Distance; i < Count; ++i)
            x[i] = Byte(x[i] + x[i - Distance]);
        break;
    case 2:
        for (std::int64_t i = 0; i < Count; ++i)
            x[i] = Byte(x[i] + up[i]);
        break;
    case 3:
        for (std::int64_t i = 0; i < Count; ++i) {
            int left = i >= Distance ? x[i - Distance] : 0;
            x[i] = Byte(x[i] + ((left + up[i]) >> 1));
        }
        break;
    case 4:
        for (std::int64_t i = 0; i < Count; ++i) {
            int left = i >= Distance ? x[i - Distance] : 0;
            int upperLeft = i >= Distance ? up[i - Distance] : 0;
            x[i] = Byte(x[i] + Paeth(left, up[i], upperLeft));
        }
        break;
    default:
        break;
    }
}

// Copies pixel Index of a packed row of Bits per pixel to pixel At of Dest.
void CopyPixel(const Byte* Source, std::int64_t Index, Byte* Dest, std::int64_t At, int Bits) {
    if (Bits >= 8) {
        int bytes = Bits / 8;
        std::memcpy(Dest + At * bytes, Source + Index * bytes, std::size_t(bytes));
        return;
    }
    std::int64_t sBit = Index * Bits, dBit = At * Bits;
    unsigned mask = (1u << Bits) - 1;
    unsigned v = (Source[sBit / 8] >> (8 - Bits - sBit % 8)) & mask;
    int shift = int(8 - Bits - dBit % 8);
    Byte& d = Dest[dBit / 8];
    d = Byte((d & ~(mask << shift)) | (v << shift));
}

} // namespace

std::unique_ptr<TGraphic> CreatePNGGraphic() {
    return std::make_unique<TPNGGraphic>();
}

TPNGGraphic::TPNGGraphic() = default;
TPNGGraphic::~TPNGGraphic() = default;

std::unique_ptr<TGraphic> TPNGGraphic::NewOfSameClass() const {
    return std::make_unique<TPNGGraphic>();
}

bool TPNGGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    if (Stream.Size() - start > 8) {
        Byte sig[8];
        ok = Stream.Read(sig, 8) == 8 && std::memcmp(sig, Signature, 8) == 0;
    }
    Stream.SetPosition(start);
    return ok;
}

bool TPNGGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    TImageProperties& p = FImageProperties;
    Byte buf[13];
    if (Stream.Read(buf, 8) != 8 || std::memcmp(buf, Signature, 8) != 0) return false;
    if (Stream.Read(buf, 8) != 8) return false;
    const std::uint32_t length = BE32(buf);
    if (!SameType(reinterpret_cast<const char*>(buf + 4), "IHDR") || length != 13) return false;
    Byte data[17];
    std::memcpy(data, buf + 4, 4);
    if (Stream.Read(data + 4, 13) != 13 || Stream.Read(buf, 4) != 4) return false;
    if (!SameCRC(std::uint32_t(crc32(0, data, 17)), BE32(buf)))
        RaiseReaderError(SInvalidCRC, {Label});
    const Byte* ihdr = data + 4;
    const std::uint32_t width = BE32(ihdr), height = BE32(ihdr + 4);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    p.Options = ioBigEndian;
    p.Width = std::int32_t(width);
    p.Height = std::int32_t(height);
    p.BitsPerSample = ihdr[8];
    FColorType = ihdr[9];
    p.Compression = ihdr[10] == 0 ? ctLZ77 : ctUnknown;
    p.FilterMode = ihdr[11];
    p.Interlaced = ihdr[12] != 0;
    switch (ihdr[9]) {
    case 0:
        p.ColorScheme = csG;
        p.SamplesPerPixel = 1;
        break;
    case 2:
        p.ColorScheme = csRGB;
        p.SamplesPerPixel = 3;
        break;
    case 3:
        p.ColorScheme = csIndexed;
        p.SamplesPerPixel = 1;
        break;
    case 4:
        p.ColorScheme = csGA;
        p.SamplesPerPixel = 1;
        break;
    case 6:
        p.ColorScheme = csRGBA;
        p.SamplesPerPixel = 4;
        break;
    default:
        p.ColorScheme = csUnknown;
        p.SamplesPerPixel = 1;
        break;
    }
    p.BitsPerPixel = Byte(p.SamplesPerPixel * p.BitsPerSample);
    p.HasAlpha = p.ColorScheme == csGA || p.ColorScheme == csRGBA;

    // Look ahead for the file gamma, without checking CRCs.
    const std::int64_t size = Stream.Size();
    for (;;) {
        if (Stream.Read(buf, 8) != 8) break;
        const std::uint32_t len = BE32(buf);
        const char* type = reinterpret_cast<const char*>(buf + 4);
        if (SameType(type, "IEND")) break;
        if (SameType(type, "gAMA") && len == 4) {
            if (Stream.Read(buf, 4) == 4) p.FileGamma = float(BE32(buf)) / 100000.0f;
            break;
        }
        const std::int64_t next = Stream.Position() + std::int64_t(len) + 4;
        if (len > MaxChunkLength || next > size) break;
        Stream.SetPosition(next);
    }
    return true;
}

bool TPNGGraphic::TryReadChunkHeader() {
    Byte buf[8];
    if (FStream->Read(buf, 8) != 8) return false;
    FHeader.Length = BE32(buf);
    std::memcpy(FHeader.Type, buf + 4, 4);
    if (FHeader.Length > MaxChunkLength) RaiseReaderError(SInvalidImage, {Label});
    FCRC = crc32(0, buf + 4, 4);
    return true;
}

void TPNGGraphic::ReadChunkHeader() {
    if (!TryReadChunkHeader()) RaiseReaderError(SStreamReadError, {Label});
}

void TPNGGraphic::ReadChunkData() {
    // The announced length must be there before anything is allocated.
    if (FStream->Size() - FStream->Position() < std::int64_t(FHeader.Length) + 4)
        RaiseReaderError(SStreamReadError, {Label});
    FRaw.resize(FHeader.Length);
    if (FHeader.Length > 0) ReadExact(*FStream, FRaw.data(), FHeader.Length);
    Byte stored[4];
    ReadExact(*FStream, stored, 4);
    std::uint32_t crc = FCRC;
    std::int64_t left = FHeader.Length;
    const Byte* p = FRaw.data();
    while (left > 0) {
        uInt n = uInt(std::min<std::int64_t>(left, 1 << 30));
        crc = std::uint32_t(crc32(crc, p, n));
        p += n;
        left -= n;
    }
    if (!SameCRC(crc, BE32(stored))) RaiseReaderError(SInvalidCRC, {Label});
}

void TPNGGraphic::SkipChunk() {
    FStream->Seek(std::int64_t(FHeader.Length) + 4, soCurrent);
}

bool TPNGGraphic::IsChunk(const char* Type) const {
    return SameType(FHeader.Type, Type);
}

int TPNGGraphic::SetupColorManager() {
    const TImageProperties& p = FImageProperties;
    const int depth = p.BitsPerSample;
    TColorManager& cm = FColorManager;
    auto fail = [] { RaiseReaderError(SInvalidColorFormat, {Label}); };
    TPixelFormat format = pfCustom;
    int bytesPerPixel = 1;
    bool greyPalette = false;
    switch (p.ColorScheme) {
    case csG:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) fail();
        cm.SetSourceColorScheme(csG);
        cm.SetTargetColorScheme(csG);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(Byte(depth));
        cm.SetTargetBitsPerSample(Byte(depth == 2 ? 4 : depth == 16 ? 8 : depth));
        format = cm.TargetPixelFormat();
        greyPalette = true;
        bytesPerPixel = (depth + 7) / 8;
        break;
    case csRGB:
        if (depth != 8 && depth != 16) fail();
        cm.SetSourceColorScheme(csRGB);
        cm.SetTargetColorScheme(csBGR);
        cm.SetSourceSamplesPerPixel(3);
        cm.SetTargetSamplesPerPixel(3);
        cm.SetSourceBitsPerSample(Byte(depth));
        cm.SetTargetBitsPerSample(8);
        format = pf24bit;
        bytesPerPixel = depth * 3 / 8;
        break;
    case csIndexed:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8) fail();
        // Two-bit indices are widened to 4-bit pixels by the reader itself,
        // keeping their values so that they still name their palette entries.
        cm.SetSourceColorScheme(csIndexed);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(Byte(depth == 2 ? 4 : depth));
        cm.SetTargetBitsPerSample(Byte(depth == 2 ? 4 : depth));
        format = cm.TargetPixelFormat();
        bytesPerPixel = 1;
        break;
    case csGA:
        if (depth != 8 && depth != 16) fail();
        cm.SetSourceColorScheme(csGA);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetSourceSamplesPerPixel(2);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(Byte(depth));
        cm.SetTargetBitsPerSample(8);
        // Widened to 32 bits in ConvertRow, so that the alpha is kept: its
        // clear pixels must not show the grey they store.
        format = pf32bit;
        bytesPerPixel = depth * 2 / 8;
        break;
    case csRGBA:
        if (depth != 8 && depth != 16) fail();
        cm.SetSourceColorScheme(csRGBA);
        cm.SetTargetColorScheme(csBGRA);
        cm.SetSourceSamplesPerPixel(4);
        cm.SetTargetSamplesPerPixel(4);
        cm.SetSourceBitsPerSample(Byte(depth));
        cm.SetTargetBitsPerSample(8);
        format = pf32bit;
        bytesPerPixel = depth * 4 / 8;
        break;
    default:
        fail();
    }
    if (format == pfCustom) fail();
    if (FKeyAlpha) {
        format = pf32bit;
        greyPalette = false;
    }
    CheckImageSize(p.Width, p.Height, ::BitsPerPixel(format), Label);
    SetPixelFormat(format);
    if (greyPalette) FPalette = cm.CreateGrayscalePalette(false);
    FSetupDone = true;
    return bytesPerPixel;
}

void TPNGGraphic::ApplyBackground(const std::vector<Byte>& Data) {
    const TImageProperties& p = FImageProperties;
    switch (p.ColorScheme) {
    case csRGB:
    case csRGBA:
        if (Data.size() >= 6)
            FBackgroundColor = RGBColor(SampleTo8(BE16(&Data[0]), p.BitsPerSample),
                                        SampleTo8(BE16(&Data[2]), p.BitsPerSample),
                                        SampleTo8(BE16(&Data[4]), p.BitsPerSample));
        break;
    case csG:
    case csGA:
        if (Data.size() >= 2) {
            unsigned v = SampleTo8(BE16(&Data[0]), p.BitsPerSample);
            FBackgroundColor = RGBColor(v, v, v);
        }
        break;
    case csIndexed:
        if (!Data.empty() && Data[0] < FPalette.Count()) FBackgroundColor = FPalette.Color(Data[0]);
        break;
    default:
        break;
    }
}

void TPNGGraphic::ApplyTransparency(const std::vector<Byte>& Data) {
    const TImageProperties& p = FImageProperties;
    const bool grey = p.ColorScheme == csG, rgb = p.ColorScheme == csRGB;
    if (p.BitsPerSample == 16 && !FSetupDone &&
        ((grey && Data.size() >= 2) || (rgb && Data.size() >= 6))) {
        FKeyAlpha = true;
        for (int i = 0; i < (grey ? 1 : 3); ++i)
            FKey16[i] = std::uint16_t(BE16(&Data[2 * i]));
        return;
    }
    if (p.ColorScheme == csG && Data.size() >= 2) {
        unsigned v = SampleTo8(BE16(&Data[0]), p.BitsPerSample);
        FTransparentColor = RGBColor(v, v, v);
    } else if (p.ColorScheme == csRGB && Data.size() >= 6) {
        FTransparentColor = RGBColor(SampleTo8(BE16(&Data[0]), p.BitsPerSample),
                                     SampleTo8(BE16(&Data[2]), p.BitsPerSample),
                                     SampleTo8(BE16(&Data[4]), p.BitsPerSample));
    } else if (p.ColorScheme == csIndexed) {
        // One alpha per palette entry, the entries after the table opaque.
        // Kept per entry rather than as a colour key: the clear entry often
        // holds black, which opaque entries use too.
        FEntryAlpha.fill(255);
        const std::size_t n = std::min(Data.size(), FEntryAlpha.size());
        std::copy_n(Data.begin(), n, FEntryAlpha.begin());
        FIndexAlpha = std::any_of(Data.begin(), Data.begin() + std::ptrdiff_t(n),
                                  [](Byte a) { return a != 255; });
    }
}

void TPNGGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    FPalette = TPalette();
    FBackgroundColor = 0xFFFFFF;
    FTransparentColor = NoTransparentColor;
    FSetupDone = false;
    FInIDAT = false;
    FInput = nullptr;
    FInputLeft = 0;
    struct TCleanup {
        TPNGGraphic* Self;
        ~TCleanup() {
            if (Self->FDecoder) {
                try {
                    Self->FDecoder->DecodeEnd();
                } catch (...) {
                }
            }
            Self->FDecoder.reset();
            Self->FRaw = {};
            Self->FPassRow = {};
            Self->FStream = nullptr;
        }
    } cleanup{this};

    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    // Colour type and bit depth are checked before any chunk uses them.
    if (!ValidDepth(FColorType, FImageProperties.BitsPerSample))
        RaiseReaderError(SInvalidColorFormat, {Label});
    FKeyAlpha = false;
    FIndexAlpha = false;
    ProgressStart(SPreparing);
    Stream.SetPosition(FBasePosition + 8);
    FColorManager.SetSourceOptions(coNeedByteSwap);
    FColorManager.SetTargetOptions(0);
    FColorManager.SetGamma(1.0f, 2.2f);

    ReadChunkHeader();
    ReadChunkData(); // IHDR, again with its CRC
    if (FImageProperties.Compression != ctLZ77)
        RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, Label});
    FDecoder = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, false);
    FDecoder->DecodeInit();

    bool imageDone = false;
    for (;;) {
        if (!TryReadChunkHeader()) {
            // A file cut after its image data still shows that image.
            if (imageDone) break;
            RaiseReaderError(SStreamReadError, {Label});
        }
        if (IsChunk("IDAT") && !imageDone) {
            ProgressEnd();
            ReadImage();
            imageDone = true;
            // A file cut right after its image data still shows that image.
            if (!FHavePending) break;
            // The chunk after the image data is only skipped.
            if (IsChunk("IEND")) break;
            if (IsCritical()) RaiseReaderError(SUnknownCriticalChunk);
            SkipChunk();
        } else if (IsChunk("PLTE")) {
            if (FHeader.Length % 3 != 0 || FHeader.Length > 3 * 256)
                RaiseReaderError(SInvalidPalette, {Label});
            ReadChunkData();
            if (FImageProperties.ColorScheme == csIndexed && !imageDone) {
                if (!FSetupDone) FSourceBPP = SetupColorManager();
                const std::span<const Byte> planes[1] = {FRaw};
                FPalette = FColorManager.CreateColorPalette(planes, pfInterlaced8Triple,
                                                            int(FRaw.size() / 3));
            }
        } else if (IsChunk("gAMA")) {
            ReadChunkData();
            if (FRaw.size() == 4) {
                FColorManager.SetGamma(float(BE32(FRaw.data())) / 100000.0f, 2.2f);
                FColorManager.SetTargetOptions(FColorManager.TargetOptions() | coApplyGamma);
                FImageProperties.Options |= ioUseGamma;
            }
        } else if (IsChunk("bKGD")) {
            ReadChunkData();
            ApplyBackground(FRaw);
        } else if (IsChunk("tRNS")) {
            ReadChunkData();
            ApplyTransparency(FRaw);
        } else {
            if (IsChunk("IEND")) break;
            // Image data after the image was read is dropped like ancillary data.
            if (IsCritical() && !IsChunk("IDAT")) RaiseReaderError(SUnknownCriticalChunk);
            SkipChunk();
        }
    }
    FDecoder->DecodeEnd();
    FDecoder.reset();
    ProgressEnd();
}

void TPNGGraphic::ReadRow(Byte* Row, std::int64_t Count) {
    Byte* out = Row;
    std::int64_t missing = Count;
    while (missing > 0) {
        if (FInputLeft == 0) {
            if (!FInIDAT) break;
            // The image data goes on in the next chunk, if that is an IDAT.
            if (!TryReadChunkHeader()) {
                FInIDAT = false;
                FHavePending = false;
                break;
            }
            if (!IsChunk("IDAT")) {
                FInIDAT = false;
                FHavePending = true;
                break;
            }
            ReadChunkData();
            FInput = FRaw.data();
            FInputLeft = std::int64_t(FRaw.size());
            continue;
        }
        const Byte* src = FInput;
        Byte* dst = out;
        FDecoder->Decode(src, dst, FInputLeft, missing);
        const std::int64_t consumed = src - FInput, produced = dst - out;
        FInput = src;
        FInputLeft -= consumed;
        out = dst;
        missing -= produced;
        const int result = FDecoder->ZLibResult();
        if (result == Z_STREAM_END) {
            if (missing > 0 || FInputLeft > 0) RaiseReaderError(SExtraCompressedData, {Label});
            break;
        }
        if ((result < 0 && result != Z_BUF_ERROR) || (consumed == 0 && produced == 0))
            RaiseReaderError(SCompressionError, {Label});
    }
    // Rows the file does not hold stay blank.
    if (missing > 0) std::memset(out, 0, std::size_t(missing));
}

void TPNGGraphic::ConvertRow(const Byte* Source, int Row, int FirstColumn, int ColumnStep,
                             int Count) {
    const TImageProperties& p = FImageProperties;
    const int bits = ::BitsPerPixel(PixelFormat());
    const bool whole = FirstColumn == 0 && ColumnStep == 1;
    Byte* target = whole ? ScanLine(Row) : FPassRow.data();
    if (FKeyAlpha || p.ColorScheme == csGA) {
        // The colours come through the colour manager; the alpha is the
        // file's own sample (grey with alpha), or clear for pixels equal to
        // the 16-bit transparent colour in every sample and opaque else.
        const int samples = p.ColorScheme == csRGB ? 3 : 1;
        const int sampleBytes = p.BitsPerSample / 8;
        const int pixelBytes = sampleBytes * (p.ColorScheme == csGA ? 2 : samples);
        FKeyRow.resize(std::size_t(Count) * samples);
        FColorManager.ConvertRow(Source, FKeyRow.data(), Count, 0xFF);
        for (int i = 0; i < Count; ++i) {
            const Byte* s = Source + std::size_t(i) * pixelBytes;
            const Byte* c = FKeyRow.data() + std::size_t(i) * samples;
            Byte alpha = 255;
            if (p.ColorScheme == csGA) {
                alpha = s[sampleBytes]; // the high byte of a 16-bit sample
            } else {
                bool key = true;
                for (int k = 0; k < samples; ++k)
                    key = key && BE16(s + 2 * k) == FKey16[k];
                if (key) alpha = 0;
            }
            Byte* d = target + std::size_t(i) * 4;
            d[0] = c[0];
            d[1] = samples == 1 ? c[0] : c[1];
            d[2] = samples == 1 ? c[0] : c[2];
            d[3] = alpha;
        }
    } else if (FIndexAlpha) {
        const int depth = p.BitsPerSample;
        for (int i = 0; i < Count; ++i) {
            const std::size_t bit = std::size_t(i) * depth;
            const unsigned index =
                (Source[bit >> 3] >> (8 - depth - (bit & 7))) & ((1u << depth) - 1);
            const std::uint32_t c = FIndexBGRA[index];
            Byte* d = target + std::size_t(i) * 4;
            d[0] = Byte(c);
            d[1] = Byte(c >> 8);
            d[2] = Byte(c >> 16);
            d[3] = Byte(c >> 24);
        }
    } else if (p.ColorScheme == csIndexed && p.BitsPerSample == 2) {
        for (int i = 0; i < Count; ++i) {
            unsigned v = (Source[i >> 2] >> (6 - 2 * (i & 3))) & 3;
            Byte& d = target[i >> 1];
            d = (i & 1) ? Byte((d & 0xF0) | v) : Byte((d & 0x0F) | (v << 4));
        }
    } else {
        FColorManager.ConvertRow(Source, target, Count, 0xFF);
    }
    if (whole) return;
    // Only the pass's own columns of the scan line are written.
    Byte* line = ScanLine(Row);
    for (int i = 0; i < Count; ++i)
        CopyPixel(target, i, line, FirstColumn + std::int64_t(i) * ColumnStep, bits);
}

void TPNGGraphic::ReadImage() {
    const TImageProperties& p = FImageProperties;
    ProgressStart(STransfering);
    if (!FSetupDone) FSourceBPP = SetupColorManager();
    const int width = p.Width, height = p.Height;
    {
        // The rest of the file, inflated at deflate's largest ratio, must be
        // able to hold the filtered rows before the picture is allocated.
        const std::int64_t rowBytes = (std::int64_t(width) * p.BitsPerPixel + 7) / 8 + 1;
        CheckDataHolds(FStream->Size() - FStream->Position(), FDecoder->MaxExpansion(),
                       rowBytes * height, Label);
    }
    if (FIndexAlpha) {
        CheckImageSize(width, height, 32, Label);
        SetPixelFormat(pf32bit);
        for (int i = 0; i < 256; ++i) {
            const TColor c = i < FPalette.Count() ? FPalette.Color(i) : TColor(0);
            FIndexBGRA[std::size_t(i)] = std::uint32_t(c >> 16 & 0xFF) | std::uint32_t(c & 0xFF00) |
                                         std::uint32_t(c & 0xFF) << 16 |
                                         std::uint32_t(FEntryAlpha[std::size_t(i)]) << 24;
        }
    }
    SetSize(width, height);
    if (!FPalette.Empty() && !FIndexAlpha) SetPalette(FPalette);

    // Background first: what the image data does not reach keeps it.
    {
        const int bits = ::BitsPerPixel(PixelFormat());
        const Byte r = Byte(FBackgroundColor), g = Byte(FBackgroundColor >> 8),
                   b = Byte(FBackgroundColor >> 16);
        std::vector<Byte> fill(static_cast<std::size_t>(RowStride()));
        if (bits >= 24) {
            for (std::size_t i = 0; i + bits / 8 <= fill.size(); i += bits / 8) {
                fill[i] = b;
                fill[i + 1] = g;
                fill[i + 2] = r;
                if (bits == 32) fill[i + 3] = 0xFF;
            }
        } else {
            int index = FPalette.Empty()
                            ? 0
                            : std::max(0, FPalette.GetNearestPaletteIndex(FBackgroundColor));
            Byte pattern = bits == 8   ? Byte(index)
                           : bits == 4 ? Byte((index & 15) * 0x11)
                                       : Byte((index & 1) ? 0xFF : 0);
            std::fill(fill.begin(), fill.end(), pattern);
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(ScanLine(y), fill.data(), fill.size());
    }
    if (FTransparentColor != NoTransparentColor) {
        // The pixels reach the bitmap through the gamma table: so does their
        // key, or it would match other pixels, or none.
        TColor key = FTransparentColor;
        if (FColorManager.TargetOptions() & coApplyGamma) {
            const auto& gamma = FColorManager.GammaTable();
            key = RGBColor(gamma[key & 0xFF], gamma[key >> 8 & 0xFF], gamma[key >> 16 & 0xFF]);
        }
        SetTransparentColor(key);
        SetTransparent(true);
    }

    // The first IDAT's data starts the inflated stream.
    ReadChunkData();
    FInput = FRaw.data();
    FInputLeft = std::int64_t(FRaw.size());
    FInIDAT = true;
    FHavePending = false;

    const int depth = p.BitsPerSample;
    const int s = depth == 16 ? FSourceBPP / 2 : FSourceBPP;
    auto rowLength = [&](std::int64_t pixels) { return (pixels * depth + 7) / 8 * s + 1; };
    std::vector<Byte> current, previous;
    if (!p.Interlaced) {
        const std::int64_t length = rowLength(width);
        current.assign(std::size_t(length), 0);
        previous.assign(std::size_t(length), 0);
        for (int y = 0; y < height; ++y) {
            ReadRow(current.data(), length);
            Unfilter(current.data(), previous.data(), length - 1, FSourceBPP);
            ConvertRow(current.data() + 1, y, 0, 1, width);
            ProgressRow(y);
            std::swap(current, previous);
        }
    } else {
        FPassRow.assign(std::size_t(RowStride()) + 4, 0);
        for (int pass = 0; pass < 7; ++pass) {
            const TPass& ps = Passes[pass];
            if (ps.FirstColumn >= width) continue;
            const int pixels = (width + ps.ColumnStep - ps.FirstColumn - 1) / ps.ColumnStep;
            const std::int64_t length = rowLength(pixels);
            current.assign(std::size_t(length), 0);
            previous.assign(std::size_t(length), 0);
            for (int y = ps.FirstRow; y < height; y += ps.RowStep) {
                ReadRow(current.data(), length);
                Unfilter(current.data(), previous.data(), length - 1, FSourceBPP);
                ConvertRow(current.data() + 1, y, ps.FirstColumn, ps.ColumnStep, pixels);
                if (pass == 6) ProgressRow(y);
                std::swap(current, previous);
            }
        }
    }

    // The rest of the image data is checked and dropped.
    while (FInIDAT) {
        if (!TryReadChunkHeader()) {
            FInIDAT = false;
            FHavePending = false;
        } else if (IsChunk("IDAT")) {
            ReadChunkData();
        } else {
            FInIDAT = false;
            FHavePending = true;
        }
    }
    FInput = nullptr;
    FInputLeft = 0;
}
