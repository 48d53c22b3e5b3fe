#include "imageio/AutodeskReader.h"

#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "Autodesk";
constexpr Word Magic = 0x9119;
constexpr int HeaderSize = 32; // the magic and 30 header bytes

// Header, little-endian: magic, width, height, x and y origin, then the
// depth byte (8) and a compression byte (0) read together as one word.
constexpr int hWidth = 2, hHeight = 4, hDepth = 10;
} // namespace

bool TAutodeskGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    Byte h[HeaderSize];
    const bool ok = Remaining(Stream) > HeaderSize && Stream.Read(h, HeaderSize) == HeaderSize &&
                    LE16(h) == Magic && LE16(h + hDepth) == 8;
    Stream.SetPosition(start);
    return ok;
}

bool TAutodeskGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    Byte h[HeaderSize];
    if (Stream.Read(h, HeaderSize) != HeaderSize) return false;
    if (LE16(h) != Magic || LE16(h + hDepth) != 8) return false;
    TImageProperties& p = FImageProperties;
    p.Width = LE16(h + hWidth);
    p.Height = LE16(h + hHeight);
    p.ColorScheme = csIndexed;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctNone;
    return p.Width > 0 && p.Height > 0;
}

void TAutodeskGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    const TImageProperties& p = FImageProperties;
    CheckImageSize(p.Width, p.Height, 8, Label);
    Byte map[768];
    ReadExact(Stream, map, sizeof(map), Label);
    std::vector<TPaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i) {
        // 6-bit components.
        entries[i].peRed = static_cast<Byte>(map[i * 3] << 2);
        entries[i].peGreen = static_cast<Byte>(map[i * 3 + 1] << 2);
        entries[i].peBlue = static_cast<Byte>(map[i * 3 + 2] << 2);
    }
    if (static_cast<std::int64_t>(p.Width) * p.Height > Remaining(Stream))
        RaiseReaderError(SStreamReadError, {Label});
    SetPixelFormat(pf8bit);
    SetPalette(TPalette(std::move(entries)));
    SetSize(p.Width, p.Height);
    ProgressStart(STransfering);
    for (int y = 0; y < p.Height; ++y) {
        ReadExact(Stream, ScanLine(y), p.Width, Label);
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreateAutodeskGraphic() {
    return std::make_unique<TAutodeskGraphic>();
}
