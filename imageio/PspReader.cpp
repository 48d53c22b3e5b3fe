#include "imageio/PspReader.h"

#include <cstring>
#include <vector>

#include "imageio/DecoderDeflate.h"
#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "PSP";
constexpr int FileHeaderSize = 36; // 32-byte signature, major and minor version
constexpr const char Signature[] = "Paint Shop Pro Image File";
constexpr int SignatureLength = 25;
constexpr Byte BlockMarker[4] = {'~', 'B', 'K', 0};

// Block ids.
enum : Word {
    idImageAttributes = 0,
    idColorPalette = 2,
    idLayerBank = 3,
    idLayer = 4,
    idChannel = 5
};

// Bitmap and channel types of a channel block.
constexpr Word btImage = 0;
constexpr Word btTransparencyMask = 1;
constexpr Word ctComposite = 0, ctRed = 1, ctGreen = 2, ctBlue = 3;

struct TBlock {
    Word Id = 0;
    std::int64_t InitialLength = 0; // version 3 only
    std::int64_t DataStart = 0;     // absolute
    std::int64_t End = 0;           // absolute, after the block's data
};

// Reads a block header at the stream's position if one fits before Limit.
bool ReadBlock(TStream& Stream, Word Major, std::int64_t Limit, TBlock& Block) {
    const int headerSize = Major == 3 ? 14 : 10;
    const std::int64_t at = Stream.Position();
    if (at + headerSize > Limit) return false;
    Byte b[14];
    if (Stream.Read(b, headerSize) != headerSize) return false;
    if (std::memcmp(b, BlockMarker, 4) != 0) return false;
    Block.Id = LE16(b + 4);
    Block.InitialLength = Major == 3 ? LE32(b + 6) : 0;
    const std::int64_t total = LE32(b + (Major == 3 ? 10 : 6));
    Block.DataStart = at + headerSize;
    Block.End = std::min(Block.DataStart + total, Limit);
    return true;
}

bool SameLetters(const Byte* a, const char* b, int n) {
    for (int i = 0; i < n; ++i) {
        const auto up = [](int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
        if (up(a[i]) != up(static_cast<Byte>(b[i]))) return false;
    }
    return true;
}
} // namespace

bool TPSPGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    Byte h[FileHeaderSize];
    const bool ok = Stream.Read(h, FileHeaderSize) == FileHeaderSize &&
                    SameLetters(h, Signature, SignatureLength) && LE16(h + 32) >= 3;
    Stream.SetPosition(start);
    return ok;
}

bool TPSPGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    Byte h[FileHeaderSize];
    if (Stream.Read(h, FileHeaderSize) != FileHeaderSize) return false;
    if (!SameLetters(h, Signature, SignatureLength)) return false;
    FMajorVersion = LE16(h + 32);
    if (FMajorVersion < 3) return false;
    TImageProperties& p = FImageProperties;
    p.Version = FMajorVersion;

    TBlock block;
    if (!ReadBlock(Stream, FMajorVersion, Stream.Size(), block) || block.Id != idImageAttributes)
        return false;
    FFirstBlockEnd = block.End;
    if (FMajorVersion > 3) {
        Byte c[4];
        if (Stream.Read(c, 4) != 4) return false; // chunk size
    }
    // General image attributes (little-endian): width, height, resolution
    // (double), resolution metric, compression, bit depth, plane count,
    // colour count, grey flag, ...
    Byte a[38];
    if (Stream.Read(a, 38) != 38) return false;
    const std::int32_t width = static_cast<std::int32_t>(LE32(a));
    const std::int32_t height = static_cast<std::int32_t>(LE32(a + 4));
    double resolution = 0;
    std::memcpy(&resolution, a + 8, 8);
    const Byte metric = a[16];
    const Word compression = LE16(a + 17);
    const Word depth = LE16(a + 19);
    const bool grey = a[27] != 0;
    if (width <= 0 || height <= 0) return false;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return false;
    p.Width = width;
    p.Height = height;
    if (resolution > 0 && resolution < 1e6) {
        const double dpi = metric == 2 ? resolution * 2.54 : resolution;
        p.XResolution = p.YResolution = static_cast<float>(dpi);
    }
    if (depth == 24) {
        p.ColorScheme = csRGB;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 3;
    } else {
        p.ColorScheme = grey ? csG : csIndexed;
        p.BitsPerSample = static_cast<Byte>(depth);
        p.SamplesPerPixel = 1;
    }
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    switch (compression) {
    case 0:
        p.Compression = ctNone;
        break;
    case 1:
        p.Compression = ctRLE;
        break;
    case 2:
        p.Compression = ctLZ77;
        break;
    case 3:
        p.Compression = ctJPEG;
        break;
    default:
        p.Compression = ctUnknown;
        break;
    }
    return true;
}

void TPSPGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    TImageProperties& p = FImageProperties;
    if (p.Compression != ctNone && p.Compression != ctRLE && p.Compression != ctLZ77)
        RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, Label});
    const int width = p.Width;
    const int height = p.Height;
    CheckImageSize(width, height, p.BitsPerPixel == 24 ? 32 : p.BitsPerPixel, Label);

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(0);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(static_cast<TColorScheme>(p.ColorScheme));
    cm.SetTargetColorScheme(p.ColorScheme == csRGB ? csBGR
                                                   : static_cast<TColorScheme>(p.ColorScheme));

    const std::int64_t rowBytes = (static_cast<std::int64_t>(width) * p.BitsPerSample + 7) / 8;
    const std::int64_t planeBytes = rowBytes * height;
    // Red, green, blue and alpha for true colour; one composite otherwise.
    std::vector<std::vector<Byte>> channels(p.ColorScheme == csRGB ? 4 : 1);
    bool haveAlpha = false;
    bool layerRead = false;
    TPalette palette;
    const std::int64_t size = Stream.Size();
    const Word major = FMajorVersion;

    auto readChannel = [&](const TBlock& block) {
        if (major > 3) SeekTo(Stream, Stream.Position() + 4, Label); // chunk size
        Byte c[12];
        ReadExact(Stream, c, 12, Label);
        const std::int64_t packedSize = LE32(c);
        const Word bitmapType = LE16(c + 8);
        const Word channelType = LE16(c + 10);
        int slot = -1;
        if (bitmapType == btImage) {
            if (channels.size() == 1 && channelType == ctComposite) slot = 0;
            if (channels.size() == 4 && channelType >= ctRed && channelType <= ctBlue)
                slot = channelType - ctRed;
        } else if (bitmapType == btTransparencyMask && channels.size() == 4 &&
                   channelType == ctComposite) {
            slot = 3;
        }
        if (slot < 0) return;
        // A channel cut short by its block or by the end of the file is
        // refused rather than shown in part.
        const std::int64_t available = std::max<std::int64_t>(0, block.End - Stream.Position());
        if (packedSize > std::min(available, Remaining(Stream)))
            RaiseReaderError(SStreamReadError, {Label});
        TPSPRLEDecoder rle;
        TLZ77Decoder deflate(4, false); // Z_FINISH: the channel is one stream
        CheckDataHolds(packedSize,
                       p.Compression == ctRLE    ? rle.MaxExpansion()
                       : p.Compression == ctLZ77 ? deflate.MaxExpansion()
                                                 : 1,
                       planeBytes, Label);
        std::vector<Byte> packed = ReadUpTo(Stream, packedSize);
        std::vector<Byte>& out = channels[slot];
        out.assign(static_cast<std::size_t>(planeBytes), slot == 3 ? 255 : 0);
        const Byte* src = packed.data();
        Byte* dst = out.data();
        const auto n = static_cast<std::int64_t>(packed.size());
        switch (p.Compression) {
        case ctRLE: {
            rle.Decode(src, dst, n, planeBytes);
            if (dst - out.data() < planeBytes) RaiseReaderError(SStreamReadError, {Label});
            break;
        }
        case ctLZ77: {
            TLZ77Decoder& decoder = deflate;
            decoder.DecodeInit();
            decoder.Decode(src, dst, n, planeBytes);
            decoder.DecodeEnd();
            if (decoder.ZLibResult() < 0 && decoder.ZLibResult() != -5)
                RaiseReaderError(SCompressionError, {Label});
            if (dst - out.data() < planeBytes) RaiseReaderError(SStreamReadError, {Label});
            break;
        }
        default:
            std::memcpy(dst, src, static_cast<std::size_t>(std::min(n, planeBytes)));
            break;
        }
        if (slot == 3) haveAlpha = true;
    };

    auto readLayer = [&](const TBlock& layer) {
        // Skip the layer information (name and attributes) and the bitmap
        // and channel counts: each channel block says what it holds.
        if (major == 3) {
            SeekTo(Stream, layer.DataStart + layer.InitialLength, Label);
        } else {
            for (int chunk = 0; chunk < 2; ++chunk) {
                const std::int64_t chunkStart = Stream.Position();
                Byte c[4];
                ReadExact(Stream, c, 4, Label);
                SeekTo(Stream, chunkStart + LE32(c), Label);
            }
        }
        TBlock channel;
        while (ReadBlock(Stream, major, layer.End, channel)) {
            if (channel.Id == idChannel) readChannel(channel);
            SeekTo(Stream, channel.End, Label);
        }
    };

    SeekTo(Stream, FFirstBlockEnd, Label);
    TBlock block;
    while (ReadBlock(Stream, major, size, block)) {
        if (block.Id == idColorPalette) {
            if (major > 3) SeekTo(Stream, Stream.Position() + 4, Label); // chunk size
            Byte c[4];
            ReadExact(Stream, c, 4, Label);
            const std::int64_t count = std::min<std::int64_t>(LE32(c), MaxPaletteEntries);
            std::vector<Byte> entries(static_cast<std::size_t>(count * 4));
            ReadExact(Stream, entries.data(), count * 4, Label);
            const std::span<const Byte> table(entries);
            palette = cm.CreateColorPalette({&table, 1}, pfInterlaced8Quad, static_cast<int>(count),
                                            true);
        } else if (block.Id == idLayerBank && !layerRead) {
            TBlock layer;
            while (!layerRead && ReadBlock(Stream, major, block.End, layer)) {
                if (layer.Id == idLayer) {
                    readLayer(layer);
                    layerRead = true;
                }
                SeekTo(Stream, layer.End, Label);
            }
        }
        SeekTo(Stream, block.End, Label);
    }

    if (haveAlpha) {
        // The transparency mask becomes the alpha channel.
        p.HasAlpha = true;
        cm.SetSourceColorScheme(csRGBA);
        cm.SetTargetColorScheme(csBGRA);
        cm.SetSourceSamplesPerPixel(4);
        cm.SetTargetSamplesPerPixel(4);
    }
    SetPixelFormat(cm.TargetPixelFormat());
    if (p.ColorScheme == csG) palette = cm.CreateGrayscalePalette(false);
    if (!palette.Empty()) SetPalette(palette);
    // A file cut before its image channels has no picture to show.
    const int samples = haveAlpha ? 4 : (channels.size() == 4 ? 3 : 1);
    for (int k = 0; k < samples; ++k)
        if (channels[k].empty()) RaiseReaderError(SStreamReadError, {Label});
    SetSize(width, height);

    ProgressStart(STransfering);
    std::vector<const Byte*> sources(samples);
    for (int y = 0; y < height; ++y) {
        for (int k = 0; k < samples; ++k)
            sources[k] = channels[k].data() + y * rowBytes;
        if (samples == 1)
            cm.ConvertRow(sources[0], ScanLine(y), width);
        else
            cm.ConvertPixels(sources, ScanLine(y), width);
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreatePSPGraphic() {
    return std::make_unique<TPSPGraphic>();
}
