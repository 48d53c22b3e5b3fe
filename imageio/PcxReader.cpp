#include "imageio/PcxReader.h"

#include <cstring>
#include <vector>

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* HeaderLabel = "PCX or SCR";
constexpr const char* Label = "PCX";

// Header fields (128 bytes, little-endian words).
constexpr int hManufacturer = 0; // 10 (205 for screen captures)
constexpr int hVersion = 1;
constexpr int hEncoding = 2; // 1 run-length
constexpr int hBitsPerPixel = 3;
constexpr int hXMin = 4, hYMin = 6, hXMax = 8, hYMax = 10;
constexpr int hHRes = 12, hVRes = 14;
constexpr int hColorMap = 16; // 16 RGB triples
constexpr int hPlanes = 65;
constexpr int hBytesPerLine = 66;
constexpr int hPaletteType = 68; // 2 grey
} // namespace

bool TPCXGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    Byte h[128];
    if (Remaining(Stream) > 128 && Stream.Read(h, 128) == 128) {
        const Byte v = h[hVersion];
        ok = (h[hManufacturer] == 10 || h[hManufacturer] == 12) &&
             (v == 0 || v == 2 || v == 3 || v == 5) && h[hEncoding] <= 1;
    }
    Stream.SetPosition(start);
    return ok;
}

bool TPCXGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    if (Stream.Read(FHeader, 128) != 128) return false;
    if (FHeader[hManufacturer] != 10 && FHeader[hManufacturer] != 205) return false;
    TImageProperties& p = FImageProperties;
    p.Width = LE16(FHeader + hXMax) - LE16(FHeader + hXMin) + 1;
    p.Height = LE16(FHeader + hYMax) - LE16(FHeader + hYMin) + 1;
    p.SamplesPerPixel = FHeader[hPlanes];
    p.BitsPerSample = FHeader[hBitsPerPixel];
    p.BitsPerPixel = static_cast<Byte>(p.SamplesPerPixel * p.BitsPerSample);
    p.XResolution = LE16(FHeader + hHRes);
    p.YResolution = LE16(FHeader + hVRes);
    p.ColorScheme = p.SamplesPerPixel * p.BitsPerSample > 8 ? csRGB : csIndexed;
    p.Compression = FHeader[hEncoding] == 1 ? ctRLE : ctNone;
    p.Version = FHeader[hVersion];
    return p.Width > 0 && p.Height > 0;
}

void TPCXGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {HeaderLabel});
    const TImageProperties& p = FImageProperties;
    const int planes = p.SamplesPerPixel;
    const int bits = p.BitsPerSample;
    // The layouts the format defines; anything else has no bitmap to go to.
    const bool onePlane = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
    const bool fourPlanes = planes == 4 && bits == 1;
    const bool truecolor = planes == 3 && bits == 8;
    if (!onePlane && !fourPlanes && !truecolor) RaiseReaderError(SInvalidColorFormat, {Label});

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(0);
    cm.SetSourceColorScheme(static_cast<TColorScheme>(p.ColorScheme));
    cm.SetTargetColorScheme(p.ColorScheme == csIndexed ? csIndexed : csBGR);
    cm.SetSourceBitsPerSample(static_cast<Byte>(bits));
    cm.SetTargetBitsPerSample(static_cast<Byte>(p.BitsPerPixel == 2 ? 4 : bits));
    cm.SetSourceSamplesPerPixel(static_cast<Byte>(planes));
    cm.SetTargetSamplesPerPixel(static_cast<Byte>(planes));
    const TPixelFormat format = fourPlanes ? pf4bit : cm.TargetPixelFormat();
    CheckImageSize(p.Width, p.Height, BitsPerPixel(format), HeaderLabel);

    const std::int64_t bytesPerLine = LE16(FHeader + hBytesPerLine);
    if (bytesPerLine * 8 < static_cast<std::int64_t>(p.Width) * bits)
        RaiseReaderError(SInvalidImage, {HeaderLabel});
    const std::int64_t rowBytes = planes * bytesPerLine;
    const std::int64_t imageBytes = rowBytes * p.Height;

    // Palette.
    TPalette palette;
    std::int64_t dataEnd = Stream.Size();
    const Word paletteType = LE16(FHeader + hPaletteType);
    if (FHeader[hVersion] == 3 && BitsPerPixel(format) > 1) {
        palette = SystemPalette16();
    } else if (format == pf1bit) {
        // A two-colour picture keeps the two colours its header lists.
        // Black-and-white files mostly leave those entries alike (zeros), and
        // files of the versions without palette hold nothing there: black
        // and white for them.
        const Byte* colors = FHeader + hColorMap;
        const Byte version = FHeader[hVersion];
        if (version != 0 && version != 3 && paletteType != 2 &&
            std::memcmp(colors, colors + 3, 3) != 0) {
            const std::span<const Byte> table(colors, 6);
            palette = cm.CreateColorPalette({&table, 1}, pfInterlaced8Triple, 2);
        } else {
            palette = cm.CreateGrayscalePalette(false);
        }
    } else if (format == pf4bit) {
        if (paletteType == 2) {
            palette = cm.CreateGrayscalePalette(false);
        } else {
            const std::span<const Byte> table(FHeader + hColorMap, 48);
            palette = cm.CreateColorPalette({&table, 1}, pfInterlaced8Triple, 16);
        }
    } else if (format == pf8bit) {
        const std::int64_t here = Stream.Position();
        if (Stream.Size() - FBasePosition >= 128 + 769) {
            Stream.SetPosition(Stream.Size() - 769);
            Byte marker = 0;
            Byte table[768];
            if (Stream.Read(&marker, 1) == 1 && marker == 12 && Stream.Read(table, 768) == 768) {
                const std::span<const Byte> t(table, 768);
                palette = cm.CreateColorPalette({&t, 1}, pfInterlaced8Triple, 256);
                dataEnd = Stream.Size() - 769;
            } else if (paletteType == 2) {
                palette = cm.CreateGrayscalePalette(false);
            }
        } else if (paletteType == 2) {
            palette = cm.CreateGrayscalePalette(false);
        }
        Stream.SetPosition(here);
    }

    TPCXRLEDecoder decoder;
    CheckDataHolds(dataEnd - Stream.Position(), p.Compression == ctRLE ? decoder.MaxExpansion() : 1,
                   imageBytes, Label);
    SetPixelFormat(format);
    if (!palette.Empty()) SetPalette(palette);
    SetSize(p.Width, p.Height);

    std::vector<Byte> data;
    if (p.Compression == ctRLE) {
        std::vector<Byte> packed = ReadUpTo(Stream, dataEnd - Stream.Position());
        data.assign(static_cast<std::size_t>(imageBytes), 0);
        const Byte* src = packed.data();
        Byte* dst = data.data();
        decoder.Decode(src, dst, static_cast<std::int64_t>(packed.size()), imageBytes);
        // A file cut short is refused rather than shown in part.
        if (dst - data.data() < imageBytes) RaiseReaderError(SStreamReadError, {Label});
    } else {
        data.resize(static_cast<std::size_t>(imageBytes));
        ReadExact(Stream, data.data(), imageBytes, Label);
    }

    ProgressStart(STransfering);
    const int width = p.Width;
    for (int y = 0; y < p.Height; ++y) {
        const Byte* row = data.data() + y * rowBytes;
        Byte* line = ScanLine(y);
        if (fourPlanes) {
            // Plane k gives bit k of each 4-bit pixel.
            for (int x = 0; x < width; ++x) {
                const int byte = x >> 3;
                const int shift = 7 - (x & 7);
                Byte v = 0;
                for (int k = 0; k < 4; ++k)
                    v |= static_cast<Byte>(((row[k * bytesPerLine + byte] >> shift) & 1) << k);
                if (x & 1)
                    line[x >> 1] = static_cast<Byte>((line[x >> 1] & 0xF0) | v);
                else
                    line[x >> 1] = static_cast<Byte>((line[x >> 1] & 0x0F) | (v << 4));
            }
        } else if (bits == 2) {
            // Indices are widened to 4 bits unchanged: they point into the
            // same palette entries.
            for (int x = 0; x < width; ++x) {
                const Byte v = static_cast<Byte>((row[x >> 2] >> (6 - 2 * (x & 3))) & 3);
                if (x & 1)
                    line[x >> 1] = static_cast<Byte>((line[x >> 1] & 0xF0) | v);
                else
                    line[x >> 1] = static_cast<Byte>((line[x >> 1] & 0x0F) | (v << 4));
            }
        } else if (truecolor) {
            const Byte* sources[3] = {row, row + bytesPerLine, row + 2 * bytesPerLine};
            cm.ConvertPixels(sources, line, width);
        } else {
            cm.ConvertRow(row, line, width);
        }
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreatePCXGraphic() {
    return std::make_unique<TPCXGraphic>();
}
