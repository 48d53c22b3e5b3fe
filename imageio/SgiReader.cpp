#include "imageio/SgiReader.h"

#include <vector>

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "sgi, bw or rgb(a)";
constexpr int HeaderSize = 512;

// Header fields (big-endian).
constexpr int hMagic = 0;   // 474
constexpr int hStorage = 2; // 1 run-length
constexpr int hBytesPerChannel = 3;
constexpr int hDimension = 4;
constexpr int hXSize = 6, hYSize = 8, hZSize = 10;
} // namespace

bool TSGIGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    Byte h[12];
    if (Remaining(Stream) > HeaderSize && Stream.Read(h, 12) == 12) {
        const Word dim = BE16(h + hDimension);
        ok = BE16(h + hMagic) == 474 && (h[hBytesPerChannel] == 1 || h[hBytesPerChannel] == 2) &&
             dim >= 1 && dim <= 3;
    }
    Stream.SetPosition(start);
    return ok;
}

bool TSGIGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    Byte h[HeaderSize];
    if (Stream.Read(h, HeaderSize) != HeaderSize) return false;
    if (BE16(h + hMagic) != 474) return false;
    const int bpc = h[hBytesPerChannel];
    if (bpc != 1 && bpc != 2) return false;
    const Word dim = BE16(h + hDimension);
    if (dim < 1 || dim > 3) return false;
    TImageProperties& p = FImageProperties;
    p.Options = ioBigEndian;
    p.BitsPerSample = static_cast<Byte>(bpc * 8);
    p.Width = BE16(h + hXSize);
    // Fewer dimensions leave the unused sizes at one, whatever is stored.
    p.Height = dim >= 2 ? BE16(h + hYSize) : 1;
    const Word z = dim == 3 ? BE16(h + hZSize) : 1;
    if (z < 1 || z > 4) return false;
    p.SamplesPerPixel = static_cast<Byte>(z);
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    p.ColorScheme = z == 3 ? csRGB : z == 4 ? csRGBA : csIndexed;
    p.HasAlpha = z == 4;
    p.Compression = h[hStorage] == 1 ? ctRLE : ctNone;
    return p.Width > 0 && p.Height > 0;
}

void TSGIGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    const TImageProperties& p = FImageProperties;
    const int width = p.Width;
    const int height = p.Height;
    const int fileChannels = p.SamplesPerPixel;
    const bool colour = p.ColorScheme != csIndexed;
    const int channels = colour ? fileChannels : 1;
    const int sampleBytes = p.BitsPerSample / 8;
    CheckImageSize(width, height, colour ? channels * 8 : 8, Label);

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(coNeedByteSwap);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(8);
    cm.SetSourceSamplesPerPixel(static_cast<Byte>(channels));
    cm.SetTargetSamplesPerPixel(static_cast<Byte>(channels));
    cm.SetSourceColorScheme(colour ? static_cast<TColorScheme>(p.ColorScheme) : csIndexed);
    cm.SetTargetColorScheme(p.ColorScheme == csRGB    ? csBGR
                            : p.ColorScheme == csRGBA ? csBGRA
                                                      : csIndexed);
    const std::int64_t rawBytes =
        static_cast<std::int64_t>(width) * height * fileChannels * sampleBytes;
    if (p.Compression != ctRLE && HeaderSize + rawBytes > Stream.Size() - FBasePosition)
        RaiseReaderError(SStreamReadError, {Label});
    // Run-length files hold two tables of one entry per row and channel.
    if (p.Compression == ctRLE)
        CheckDataHolds(Remaining(Stream), 1, std::int64_t(height) * fileChannels * 8, Label);
    SetPixelFormat(cm.TargetPixelFormat());
    if (!colour) SetPalette(cm.CreateGrayscalePalette(false));
    SetSize(width, height);

    const std::int64_t rowBytes = static_cast<std::int64_t>(width) * sampleBytes;
    std::vector<std::uint32_t> starts, sizes;
    if (p.Compression == ctRLE) {
        // A table of row starts, then one of row sizes, channel by channel.
        const std::int64_t entries = static_cast<std::int64_t>(height) * fileChannels;
        if (entries * 8 > Remaining(Stream)) RaiseReaderError(SStreamReadError, {Label});
        std::vector<Byte> tables(static_cast<std::size_t>(entries * 8));
        ReadExact(Stream, tables.data(), entries * 8, Label);
        starts.resize(static_cast<std::size_t>(entries));
        sizes.resize(static_cast<std::size_t>(entries));
        for (std::int64_t i = 0; i < entries; ++i) {
            starts[i] = BE32(tables.data() + i * 4);
            sizes[i] = BE32(tables.data() + (entries + i) * 4);
        }
    }

    std::vector<std::vector<Byte>> rows(channels, std::vector<Byte>(rowBytes));
    std::vector<Byte> packed;
    TSGIRLEDecoder decoder(p.BitsPerSample);
    auto readRow = [&](int channel, int row, Byte* out) {
        const std::int64_t index = static_cast<std::int64_t>(channel) * height + row;
        if (p.Compression != ctRLE) {
            SeekTo(Stream, FBasePosition + HeaderSize + index * rowBytes, Label);
            ReadExact(Stream, out, rowBytes, Label);
            return;
        }
        SeekTo(Stream, FBasePosition + starts[index], Label);
        // The table gives the row's size in bytes; a sane row never codes
        // to more than twice its samples.
        packed = ReadUpTo(Stream, std::min<std::int64_t>(sizes[index], 2 * rowBytes + 4));
        std::fill(out, out + rowBytes, 0);
        const Byte* src = packed.data();
        Byte* dst = out;
        decoder.Decode(src, dst, static_cast<std::int64_t>(packed.size()), rowBytes);
    };

    ProgressStart(STransfering);
    std::vector<const Byte*> sources(channels);
    for (int k = 0; k < channels; ++k)
        sources[k] = rows[k].data();
    for (int r = 0; r < height; ++r) {
        for (int k = 0; k < channels; ++k)
            readRow(k, r, rows[k].data());
        // Rows are stored from the bottom up.
        Byte* line = ScanLine(height - 1 - r);
        if (channels == 1)
            cm.ConvertRow(rows[0].data(), line, width);
        else
            cm.ConvertPixels(sources, line, width);
        ProgressRow(r);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreateSGIGraphic() {
    return std::make_unique<TSGIGraphic>();
}
