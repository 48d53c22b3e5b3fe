#include "imageio/TargaReader.h"

#include <cstring>

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {

constexpr const char* TargaLabel = "Targa";

// The header's little-endian words, read field by field so that the host's
// byte order does not matter.
bool ReadTargaHeader(TStream& Stream, TTargaHeader& H) {
    Byte b[18];
    if (Stream.Read(b, 18) != 18) return false;
    H.IDLength = b[0];
    H.ColorMapType = b[1];
    H.ImageType = b[2];
    H.ColorMapStart = LE16(b + 3);
    H.ColorMapLength = LE16(b + 5);
    H.ColorMapEntrySize = b[7];
    H.XOrigin = LE16(b + 8);
    H.YOrigin = LE16(b + 10);
    H.Width = LE16(b + 12);
    H.Height = LE16(b + 14);
    H.PixelSize = b[16];
    H.ImageDescriptor = b[17];
    return true;
}

bool ValidImageType(Byte t) {
    return (t >= 1 && t <= 3) || (t >= 9 && t <= 11);
}
bool ValidDepth(Byte d) {
    return d == 8 || d == 15 || d == 16 || d == 24 || d == 32;
}

} // namespace

bool TTargaGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    TTargaHeader h{};
    if (Remaining(Stream) > 18 && ReadTargaHeader(Stream, h)) {
        // A file without a colour map usually stores 0 as the entry size.
        const bool mapSizeOk = h.ColorMapEntrySize == 15 || h.ColorMapEntrySize == 16 ||
                               h.ColorMapEntrySize == 24 || h.ColorMapEntrySize == 32 ||
                               (h.ColorMapType == 0 && h.ColorMapEntrySize == 0);
        ok = ValidImageType(h.ImageType) && h.ColorMapType <= 1 && mapSizeOk &&
             ValidDepth(h.PixelSize);
    }
    Stream.SetPosition(start);
    return ok;
}

bool TTargaGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    if (!ReadTargaHeader(Stream, FHeader)) return false;
    // Depths and image types outside the format give no picture rather than
    // a conversion the colour manager cannot make.
    if (!ValidImageType(FHeader.ImageType) || !ValidDepth(FHeader.PixelSize)) return false;
    if (FHeader.Width == 0 || FHeader.Height == 0) return false;
    TImageProperties& p = FImageProperties;
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    switch (FHeader.PixelSize) {
    case 8:
        p.ColorScheme = (FHeader.ImageType == 3 || FHeader.ImageType == 11) ? csG : csIndexed;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 1;
        break;
    case 15:
    case 16:
        p.ColorScheme = csRGB;
        p.BitsPerSample = 5;
        p.SamplesPerPixel = 3;
        break;
    case 24:
        p.ColorScheme = csRGB;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 3;
        break;
    default:
        p.ColorScheme = csRGBA;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 4;
        p.HasAlpha = true;
        break;
    }
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = FHeader.ImageType >= 9 ? ctRLE : ctNone;
    return true;
}

void TTargaGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    // A header that cannot be read is refused, so that whoever asked for the
    // picture keeps what it had.
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {TargaLabel});
    const TImageProperties& p = FImageProperties;
    const int pixelBytes = (FHeader.PixelSize + 7) / 8; // 15-bit pixels take two bytes
    CheckImageSize(p.Width, p.Height, pixelBytes * 8, TargaLabel);

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(0);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(static_cast<TColorScheme>(p.ColorScheme));
    cm.SetTargetColorScheme(p.ColorScheme == csG || p.ColorScheme == csIndexed
                                ? static_cast<TColorScheme>(p.ColorScheme)
                                : csBGR);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample);
    const TPixelFormat format = cm.TargetPixelFormat();

    // The image id sits between the header and the colour map.
    SeekTo(Stream, FBasePosition + 18 + FHeader.IDLength, TargaLabel);

    TPalette palette;
    if (FHeader.ColorMapType == 1) {
        const int entryBytes = (FHeader.ColorMapEntrySize + 7) / 8;
        if (entryBytes < 2 || entryBytes > 4) RaiseReaderError(SInvalidPalette, {TargaLabel});
        std::vector<Byte> map(static_cast<std::size_t>(entryBytes) * FHeader.ColorMapLength);
        ReadExact(Stream, map.data(), static_cast<std::int64_t>(map.size()), TargaLabel);
        std::vector<TPaletteEntry> entries;
        for (int i = 0; i < FHeader.ColorMapLength; ++i) {
            const int index = FHeader.ColorMapStart + i;
            if (index >= MaxPaletteEntries) break;
            if (static_cast<int>(entries.size()) <= index) entries.resize(index + 1);
            const Byte* e = map.data() + static_cast<std::size_t>(i) * entryBytes;
            TPaletteEntry& pe = entries[index];
            if (entryBytes == 2) {
                const Word w = LE16(e);
                pe.peRed = static_cast<Byte>(((w >> 10) & 0x1F) << 3);
                pe.peGreen = static_cast<Byte>(((w >> 5) & 0x1F) << 3);
                pe.peBlue = static_cast<Byte>((w & 0x1F) << 3);
            } else {
                pe.peBlue = e[0];
                pe.peGreen = e[1];
                pe.peRed = e[2];
            }
        }
        palette = TPalette(std::move(entries));
    }
    if (p.ColorScheme == csG) palette = cm.CreateGrayscalePalette(false);

    const std::int64_t rowBytes = static_cast<std::int64_t>(p.Width) * pixelBytes;
    // Raw pixels must all be there before the bitmap is made.
    TTargaRLEDecoder decoder(FHeader.PixelSize);
    CheckDataHolds(Remaining(Stream), p.Compression == ctRLE ? decoder.MaxExpansion() : 1,
                   rowBytes * p.Height, TargaLabel);
    SetPixelFormat(format);
    if (!palette.Empty()) SetPalette(palette);
    SetSize(p.Width, p.Height);

    const bool topDown = (FHeader.ImageDescriptor & 0x20) != 0;
    auto scanLineOf = [&](int row) { return topDown ? row : p.Height - 1 - row; };

    ProgressStart(STransfering);
    if (p.Compression == ctRLE) {
        // Packets may run across rows, so the whole picture is decoded in one
        // go; a packet never stores more than twice the bytes it stands for.
        const std::int64_t imageBytes = rowBytes * p.Height;
        const std::int64_t dataStart = Stream.Position();
        const TPictureBytes packed = ReadUpTo<TPictureBytes>(Stream, 2 * imageBytes);
        TPictureBytes pixels(static_cast<std::size_t>(imageBytes));
        const Byte* src = packed.data();
        Byte* dst = pixels.data();
        decoder.Decode(src, dst, static_cast<std::int64_t>(packed.size()), imageBytes);
        if (dst - pixels.data() < imageBytes) RaiseReaderError(SStreamReadError, {TargaLabel});
        Stream.SetPosition(dataStart + (src - packed.data()));
        for (int row = 0; row < p.Height; ++row) {
            std::memcpy(ScanLine(scanLineOf(row)), pixels.data() + row * rowBytes,
                        static_cast<std::size_t>(rowBytes));
            ProgressRow(row);
        }
    } else {
        for (int row = 0; row < p.Height; ++row) {
            ReadExact(Stream, ScanLine(scanLineOf(row)), rowBytes, TargaLabel);
            ProgressRow(row);
        }
    }
    ProgressEnd();
}

void TTargaGraphic::SaveToStream(TStream& Stream) const {
    if (Empty()) return;
    TDibImage image = Image();
    switch (image.PixelFormat) {
    case pf1bit:
    case pf4bit:
        image = ConvertDibImage(image, pf8bit);
        break;
    case pf16bit:
        // Targa's 16-bit pixels are 5-5-5; our 16-bit rows are 5-6-5.
        image = ConvertDibImage(image, pf15bit);
        break;
    case pfDevice:
        image = ConvertDibImage(image, pf32bit);
        break;
    case pfCustom:
        return;
    default:
        break;
    }
    int bytes = 0;
    switch (image.PixelFormat) {
    case pf8bit:
        bytes = 1;
        break;
    case pf15bit:
        bytes = 2;
        break;
    case pf24bit:
        bytes = 3;
        break;
    default:
        bytes = 4;
        break;
    }
    Byte h[18] = {};
    h[1] = bytes == 1 ? 1 : 0;
    h[2] = bytes == 1 ? 9 : 10;
    h[5] = 0; // map length 256, entry size 24, also when no map is present
    h[6] = 1;
    h[7] = 24;
    h[12] = static_cast<Byte>(image.Width & 0xFF);
    h[13] = static_cast<Byte>(image.Width >> 8);
    h[14] = static_cast<Byte>(image.Height & 0xFF);
    h[15] = static_cast<Byte>(image.Height >> 8);
    h[16] = static_cast<Byte>(bytes * 8);
    h[17] = 0x20; // our rows are stored top-down
    Stream.WriteBuffer(h, 18);
    if (bytes == 1) {
        Byte map[256 * 3] = {};
        for (int i = 0; i < std::min(image.Palette.Count(), 256); ++i) {
            const TPaletteEntry& e = image.Palette.Entry(i);
            map[i * 3] = e.peBlue;
            map[i * 3 + 1] = e.peGreen;
            map[i * 3 + 2] = e.peRed;
        }
        Stream.WriteBuffer(map, sizeof(map));
    }
    TTargaRLEDecoder encoder(bytes * 8);
    std::vector<Byte> packed(static_cast<std::size_t>(encoder.MaxEncodedSize(image.Width)));
    for (int y = 0; y < image.Height; ++y) {
        std::int64_t stored = 0;
        encoder.Encode(image.Row(y), packed.data(), image.Width, stored);
        Stream.WriteBuffer(packed.data(), stored);
    }
}

std::unique_ptr<TGraphic> CreateTargaGraphic() {
    return std::make_unique<TTargaGraphic>();
}
