#include "imageio/PsdReader.h"

#include <cstring>
#include <numeric>
#include <vector>

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "PSD or PDD";
constexpr int HeaderSize = 26;

// Colour modes of the header.
enum : Byte {
    modeBitmap = 0,
    modeGrayscale = 1,
    modeIndexed = 2,
    modeRGB = 3,
    modeCMYK = 4,
    modeMultichannel = 7,
    modeDuotone = 8,
    modeLab = 9
};

// Reads a big-endian 32-bit section length and skips the section.
void SkipSection(TStream& Stream) {
    Byte b[4];
    ReadExact(Stream, b, 4, Label);
    const std::int64_t length = BE32(b);
    SeekTo(Stream, Stream.Position() + length, Label);
}
} // namespace

bool TPSDGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    Byte h[6] = {};
    const bool ok = Stream.Read(h, 6) == 6 && std::memcmp(h, "8BPS", 4) == 0 && BE16(h + 4) == 1;
    Stream.SetPosition(start);
    return ok;
}

bool TPSDGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    Byte h[HeaderSize];
    if (Stream.Read(h, HeaderSize) != HeaderSize) return false;
    if (std::memcmp(h, "8BPS", 4) != 0 || BE16(h + 4) != 1) return false;
    TImageProperties& p = FImageProperties;
    p.Version = 1;
    p.Options = ioBigEndian;
    FFileChannels = BE16(h + 12);
    const std::uint32_t height = BE32(h + 14);
    const std::uint32_t width = BE32(h + 18);
    const Word depth = BE16(h + 22);
    p.PSDMode = static_cast<Byte>(BE16(h + 24));
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    if (FFileChannels < 1 || FFileChannels > 56) return false;
    if (depth != 1 && depth != 8 && depth != 16) return false;
    p.Width = static_cast<std::int32_t>(width);
    p.Height = static_cast<std::int32_t>(height);
    p.BitsPerSample = static_cast<Byte>(depth);
    switch (p.PSDMode) {
    case modeBitmap:
        p.Options |= ioMinIsWhite;
        [[fallthrough]];
    case modeGrayscale:
    case modeDuotone:
        p.ColorScheme = csG;
        p.SamplesPerPixel = 1; // extra channels are masks
        break;
    case modeIndexed:
        p.ColorScheme = csIndexed;
        p.SamplesPerPixel = 1;
        break;
    case modeRGB:
    case modeMultichannel:
        if (FFileChannels < 3) return false;
        p.ColorScheme = FFileChannels == 3 ? csRGB : csRGBA;
        p.SamplesPerPixel = FFileChannels == 3 ? 3 : 4;
        p.HasAlpha = FFileChannels > 3;
        break;
    case modeCMYK:
        if (FFileChannels < 4) return false;
        p.ColorScheme = csCMYK;
        p.SamplesPerPixel = 4;
        break;
    case modeLab:
        if (FFileChannels < 3) return false;
        p.ColorScheme = csCIELab;
        p.SamplesPerPixel = 3;
        break;
    default:
        return false;
    }
    // Only bitmap mode stores single bits; 1-bit samples elsewhere have no
    // meaning.
    if ((depth == 1) != (p.PSDMode == modeBitmap)) return false;
    if (p.PSDMode == modeIndexed && depth != 8) return false;
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    // The sections between the header and the image data.
    try {
        SkipSection(Stream); // colour-mode data
        SkipSection(Stream); // image resources
        SkipSection(Stream); // layer and mask information
        Byte c[2];
        ReadExact(Stream, c, 2, Label);
        p.Compression = BE16(c) == 1 ? ctPackedBits : BE16(c) == 0 ? ctNone : ctUnknown;
    } catch (const Exception&) {
        return false;
    }
    return true;
}

void TPSDGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    const TImageProperties& p = FImageProperties;
    if (p.Compression == ctUnknown)
        RaiseReaderError(SUnsupportedFeature, {SCompressionFeature, Label});
    const int width = p.Width;
    const int height = p.Height;
    const int samples = p.SamplesPerPixel;
    const bool single = p.ColorScheme == csG || p.ColorScheme == csIndexed;

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(coNeedByteSwap);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample == 16 ? 8 : p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(static_cast<Byte>(samples));
    cm.SetTargetSamplesPerPixel(static_cast<Byte>(samples));
    cm.SetSourceColorScheme(static_cast<TColorScheme>(p.ColorScheme));
    switch (p.ColorScheme) {
    case csRGB:
        cm.SetTargetColorScheme(csBGR);
        break;
    case csRGBA:
        cm.SetTargetColorScheme(csBGRA);
        break;
    case csCMYK:
        cm.SetTargetColorScheme(csBGR);
        cm.SetTargetSamplesPerPixel(3);
        break;
    case csCIELab:
        cm.SetTargetColorScheme(csBGR);
        cm.SetSourceOptions(coNeedByteSwap | coLabByteRange | coLabChromaOffset);
        break;
    default:
        cm.SetTargetColorScheme(static_cast<TColorScheme>(p.ColorScheme));
        break;
    }
    const TPixelFormat format = cm.TargetPixelFormat();
    const std::int64_t rowBytes = (static_cast<std::int64_t>(width) * p.BitsPerSample + 7) / 8;
    CheckImageSize(width, height, BitsPerPixel(format), Label);

    // Colour-mode data: the indexed palette as three planes.
    SeekTo(Stream, FBasePosition + HeaderSize, Label);
    Byte lb[4];
    ReadExact(Stream, lb, 4, Label);
    const std::int64_t modeLength = BE32(lb);
    TPalette palette;
    if (p.ColorScheme == csIndexed) {
        if (modeLength < 3 || modeLength > 768) RaiseReaderError(SInvalidPalette, {Label});
        std::vector<Byte> table(static_cast<std::size_t>(modeLength));
        ReadExact(Stream, table.data(), modeLength, Label);
        const std::size_t n = static_cast<std::size_t>(modeLength / 3);
        const std::span<const Byte> planes[3] = {
            {table.data(), n}, {table.data() + n, n}, {table.data() + 2 * n, n}};
        palette = cm.CreateColorPalette(planes, pfPlane8Triple, static_cast<int>(n));
    } else {
        SeekTo(Stream, Stream.Position() + modeLength, Label);
        if (p.ColorScheme == csG)
            palette = cm.CreateGrayscalePalette((p.Options & ioMinIsWhite) != 0);
    }
    SkipSection(Stream);                          // image resources
    SkipSection(Stream);                          // layer and mask information
    SeekTo(Stream, Stream.Position() + 2, Label); // compression, read by the header

    // PackBits: one byte count per row of every stored channel.
    const std::int64_t tableRows = static_cast<std::int64_t>(height) * FFileChannels;
    std::vector<Word> counts;
    if (p.Compression == ctPackedBits) {
        if (tableRows * 2 > Remaining(Stream)) RaiseReaderError(SStreamReadError, {Label});
        std::vector<Byte> t(static_cast<std::size_t>(tableRows * 2));
        ReadExact(Stream, t.data(), tableRows * 2, Label);
        counts.resize(static_cast<std::size_t>(tableRows));
        for (std::int64_t i = 0; i < tableRows; ++i)
            counts[i] = BE16(t.data() + i * 2);
    }
    TPackbitsRLEDecoder decoder;
    CheckDataHolds(Remaining(Stream), p.Compression == ctPackedBits ? decoder.MaxExpansion() : 1,
                   rowBytes * height * (single ? 1 : samples), Label);
    SetPixelFormat(format);
    if (!palette.Empty()) SetPalette(palette);
    SetSize(width, height);

    // Reads the next Rows rows of a channel into Out (rowBytes each).
    std::int64_t nextCount = 0;
    auto readRows = [&](Byte* out, int rows) {
        if (p.Compression != ctPackedBits) {
            ReadExact(Stream, out, rowBytes * rows, Label);
            return;
        }
        const std::int64_t total = std::accumulate(
            counts.begin() + nextCount, counts.begin() + nextCount + rows, std::int64_t{0});
        if (total > Remaining(Stream)) RaiseReaderError(SStreamReadError, {Label});
        std::vector<Byte> packed(static_cast<std::size_t>(total));
        ReadExact(Stream, packed.data(), total, Label);
        const Byte* src = packed.data();
        for (int r = 0; r < rows; ++r) {
            const Word n = counts[nextCount++];
            Byte* dst = out + r * rowBytes;
            const Byte* rowStart = src;
            decoder.Decode(src, dst, n, rowBytes);
            src = rowStart + n;
        }
    };

    if (single) {
        ProgressStart(STransfering);
        std::vector<Byte> row(static_cast<std::size_t>(rowBytes));
        for (int y = 0; y < height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            readRows(row.data(), 1);
            cm.ConvertRow(row.data(), ScanLine(y), width);
            ProgressRow(y);
        }
        ProgressEnd();
        return;
    }

    ProgressStart(SLoadingData);
    const std::int64_t planeBytes = rowBytes * height;
    std::vector<std::vector<Byte>> planes(samples, std::vector<Byte>(planeBytes));
    for (int k = 0; k < samples; ++k)
        readRows(planes[k].data(), height);
    if (p.ColorScheme == csCMYK) {
        // Photoshop stores ink amounts inverted: 0 is full ink.
        for (auto& plane : planes)
            for (Byte& b : plane)
                b = static_cast<Byte>(~b);
    }
    std::vector<const Byte*> sources(samples);
    for (int y = 0; y < height; ++y) {
        for (int k = 0; k < samples; ++k)
            sources[k] = planes[k].data() + y * rowBytes;
        cm.ConvertPixels(sources, ScanLine(y), width);
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreatePSDGraphic() {
    return std::make_unique<TPSDGraphic>();
}
