#include "imageio/PortableMapReader.h"

#include <cstring>
#include <vector>

#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* HeaderLabel = "PBM, PGM or PPM";
constexpr const char* ReadLabel = "PPM";
// Numbers beyond this are not sizes or sample values of any sane file.
constexpr std::int64_t MaxNumber = 0x7FFFFFFF;

bool IsDigit(Byte b) {
    return b >= '0' && b <= '9';
}
} // namespace

bool TPPMGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    Byte magic[2] = {};
    const bool ok =
        Stream.Read(magic, 2) == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
    Stream.SetPosition(start);
    return ok;
}

std::int64_t TPPMGraphic::FillBuffer() {
    FBufferPos = 0;
    FBufferCount = static_cast<std::size_t>(FStream->Read(FBuffer.data(), FBuffer.size()));
    return static_cast<std::int64_t>(FBufferCount);
}

void TPPMGraphic::ReadBytes(Byte* Dest, std::size_t Count) {
    const std::size_t buffered = std::min(Count, FBufferCount - FBufferPos);
    std::memcpy(Dest, FBuffer.data() + FBufferPos, buffered);
    FBufferPos += buffered;
    Dest += buffered;
    Count -= buffered;
    if (Count == 0) return;
    // Rows of the size of the buffer or more go straight to their place.
    if (Count >= FBuffer.size()) {
        if (FStream->Read(Dest, static_cast<std::int64_t>(Count)) !=
            static_cast<std::int64_t>(Count))
            RaiseReaderError(SStreamReadError, {ReadLabel});
        return;
    }
    if (static_cast<std::size_t>(FillBuffer()) < Count)
        RaiseReaderError(SStreamReadError, {ReadLabel});
    std::memcpy(Dest, FBuffer.data(), Count);
    FBufferPos = Count;
}

bool TPPMGraphic::AtEnd() {
    return FBufferPos >= FBufferCount && FillBuffer() == 0;
}

Byte TPPMGraphic::NextByte() {
    if (AtEnd()) RaiseReaderError(SStreamReadError, {ReadLabel});
    return FBuffer[FBufferPos++];
}

std::int64_t TPPMGraphic::ReadNumber() {
    Byte b = NextByte();
    while (!IsDigit(b)) {
        if (b == '#') {
            while (b != '\r' && b != '\n')
                b = NextByte();
            // CR LF ends a comment as one line end.
            if (b == '\r' && !AtEnd() && FBuffer[FBufferPos] == '\n') ++FBufferPos;
        }
        b = NextByte();
    }
    std::int64_t value = 0;
    while (IsDigit(b)) {
        value = std::min(value * 10 + (b - '0'), MaxNumber + 1);
        if (AtEnd()) return value;
        b = NextByte();
    }
    return value;
}

int TPPMGraphic::ReadBit() {
    Byte b = NextByte();
    while (b != '0' && b != '1') {
        if (b == '#')
            while (b != '\r' && b != '\n')
                b = NextByte();
        b = NextByte();
    }
    return b - '0';
}

bool TPPMGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    FStream = &Stream;
    FBufferPos = FBufferCount = 0;
    if (AtEnd() || NextByte() != 'P' || AtEnd()) return false;
    const Byte kind = NextByte();
    if (kind < '1' || kind > '6') return false;
    TImageProperties& p = FImageProperties;
    p.Width = static_cast<std::int32_t>(std::min(ReadNumber(), MaxNumber));
    p.Height = static_cast<std::int32_t>(std::min(ReadNumber(), MaxNumber));
    if (p.Width <= 0 || p.Height <= 0) return false;
    switch (kind) {
    case '1':
    case '4':
        p.ColorScheme = csIndexed;
        p.BitsPerSample = 1;
        p.SamplesPerPixel = 1;
        break;
    case '2':
    case '5':
        p.ColorScheme = csG;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 1;
        break;
    default:
        p.ColorScheme = csRGB;
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 3;
        break;
    }
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = ctNone;
    p.Version = static_cast<std::uint32_t>(kind - '0');
    return true;
}

void TPPMGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    bool valid = false;
    try {
        valid = ReadHeader(Stream);
    } catch (const EInvalidGraphic&) {
        valid = false; // a header cut short is a bad header
    }
    if (!valid) RaiseReaderError(SInvalidImage, {HeaderLabel});
    const TImageProperties& p = FImageProperties;
    CheckImageSize(p.Width, p.Height, p.BitsPerPixel, HeaderLabel);

    Stream.SetPosition(FBasePosition);
    FBufferPos = FBufferCount = 0;
    NextByte();
    const int kind = NextByte() - '0';
    const int width = static_cast<int>(ReadNumber());
    const int height = static_cast<int>(ReadNumber());
    std::int64_t maxValue = 1;
    if (kind != 1 && kind != 4) {
        maxValue = ReadNumber();
        if (maxValue < 1 || maxValue > 65535) RaiseReaderError(SInvalidImage, {HeaderLabel});
    }
    const bool wide = maxValue > 255; // two bytes per binary sample
    auto scale = [maxValue](std::int64_t v) -> Byte {
        if (v > maxValue) v = maxValue;
        if (maxValue == 255) return static_cast<Byte>(v);
        return static_cast<Byte>((v * 255 + maxValue / 2) / maxValue);
    };
    // Binary samples go through a table of every value a sample can hold.
    std::vector<Byte> sampleOf;
    if (kind >= 5 && maxValue != 255) {
        sampleOf.resize(wide ? 65536 : 256);
        for (std::size_t v = 0; v < sampleOf.size(); ++v)
            sampleOf[v] = scale(static_cast<std::int64_t>(v));
    }
    auto scaleRow = [&sampleOf](Byte* Row, std::size_t Count) {
        if (sampleOf.empty()) return;
        for (std::size_t i = 0; i < Count; ++i)
            Row[i] = sampleOf[Row[i]];
    };
    auto scaleWideRow = [&sampleOf](const Byte* Source, Byte* Row, std::size_t Count) {
        for (std::size_t i = 0; i < Count; ++i)
            Row[i] = sampleOf[BE16(Source + 2 * i)];
    };

    switch (kind) {
    case 1:
    case 4:
        SetPixelFormat(pf1bit);
        FColorManager.SetTargetBitsPerSample(1);
        FColorManager.SetTargetSamplesPerPixel(1);
        SetPalette(FColorManager.CreateGrayscalePalette(true));
        break;
    case 2:
    case 5:
        SetPixelFormat(pf8bit);
        FColorManager.SetTargetBitsPerSample(8);
        FColorManager.SetTargetSamplesPerPixel(1);
        SetPalette(FColorManager.CreateGrayscalePalette(false));
        break;
    default:
        SetPixelFormat(pf24bit);
        break;
    }
    // The file must hold the samples before the picture is made: their bytes
    // in the binary kinds, at least a digit each in the text kinds.
    {
        const std::int64_t pixels = std::int64_t(width) * height;
        const std::int64_t samples = kind == 3 || kind == 6 ? 3 * pixels : pixels;
        const std::int64_t needed = kind == 4   ? (std::int64_t(width) + 7) / 8 * height
                                    : kind >= 5 ? samples * (wide ? 2 : 1)
                                                : samples;
        CheckDataHolds(readerbytes::Remaining(Stream) + std::int64_t(FBufferCount - FBufferPos), 1,
                       needed, ReadLabel);
    }
    SetSize(width, height);
    // One row of two-byte samples.
    std::vector<Byte> wideRow(wide && kind >= 5 ? std::size_t(width) * (kind == 6 ? 6 : 2) : 0);
    ProgressStart(STransfering);
    for (int y = 0; y < height; ++y) {
        Byte* line = ScanLine(y);
        switch (kind) {
        case 1: {
            Byte bits = 0;
            for (int x = 0; x < width; ++x) {
                bits = static_cast<Byte>((bits << 1) | ReadBit());
                if ((x & 7) == 7) {
                    line[x >> 3] = bits;
                    bits = 0;
                }
            }
            if (width % 8 != 0) line[width >> 3] = static_cast<Byte>(bits << (8 - width % 8));
            break;
        }
        case 2:
            for (int x = 0; x < width; ++x)
                line[x] = scale(ReadNumber());
            break;
        case 3:
            for (int x = 0; x < width; ++x) {
                const Byte r = scale(ReadNumber());
                const Byte g = scale(ReadNumber());
                const Byte b = scale(ReadNumber());
                line[x * 3] = b;
                line[x * 3 + 1] = g;
                line[x * 3 + 2] = r;
            }
            break;
        case 4:
            ReadBytes(line, (std::size_t(width) + 7) / 8);
            break;
        case 5:
            if (wide) {
                ReadBytes(wideRow.data(), wideRow.size());
                scaleWideRow(wideRow.data(), line, std::size_t(width));
            } else {
                ReadBytes(line, std::size_t(width));
                scaleRow(line, std::size_t(width));
            }
            break;
        default:
            if (wide) {
                ReadBytes(wideRow.data(), wideRow.size());
                scaleWideRow(wideRow.data(), line, 3 * std::size_t(width));
            } else {
                ReadBytes(line, 3 * std::size_t(width));
                scaleRow(line, 3 * std::size_t(width));
            }
            SwapRedBlue24(line, line, std::size_t(width));
            break;
        }
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreatePPMGraphic() {
    return std::make_unique<TPPMGraphic>();
}
