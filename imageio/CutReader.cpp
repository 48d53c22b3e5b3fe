#include "imageio/CutReader.h"

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"
#include "platform/base/FileNames.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "CUT";
constexpr int HeaderSize = 6; // width, height, reserved
constexpr int PaletteBlock = 512;
constexpr int PaletteEntriesStart = 40;
constexpr int PaletteBlockLimit = 506; // an entry starting beyond it goes to the next block
} // namespace

bool TCUTGraphic::AcceptsStream(TStream& /*Stream*/) {
    return false;
}

bool TCUTGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    Byte h[HeaderSize];
    if (Stream.Read(h, HeaderSize) != HeaderSize) return false;
    TImageProperties& p = FImageProperties;
    p.Width = LE16(h);
    p.Height = LE16(h + 2);
    p.ColorScheme = csIndexed;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctRLE;
    return p.Width > 0 && p.Height > 0;
}

void TCUTGraphic::LoadFromFile(const std::string& FileName) {
    FPaletteFile = ChangeFileExt(FileName, ".pal");
    TReaderGraphic::LoadFromFile(FileName);
}

TPalette TCUTGraphic::ParsePaletteFile(const std::vector<Byte>& Data) {
    if (Data.size() < PaletteEntriesStart) return {};
    const int count = std::min<int>(LE16(Data.data() + 12) + 1, MaxPaletteEntries);
    std::vector<TPaletteEntry> entries;
    std::size_t block = 0;
    std::size_t pos = PaletteEntriesStart;
    for (int i = 0; i < count; ++i) {
        if (pos > PaletteBlockLimit) {
            block += PaletteBlock;
            pos = 0;
        }
        const std::size_t at = block + pos;
        if (at + 6 > Data.size()) break;
        TPaletteEntry e;
        e.peRed = Data[at];
        e.peGreen = Data[at + 2];
        e.peBlue = Data[at + 4];
        entries.push_back(e);
        pos += 6;
    }
    return TPalette(std::move(entries));
}

void TCUTGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    // A header that cannot be read is refused, so that whoever asked for the
    // picture keeps what it had.
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    const TImageProperties& p = FImageProperties;
    TCUTRLEDecoder decoder;
    // The data is checked before the size: any six bytes make a header, so a
    // damaged or foreign file often announces a huge picture, and is a file
    // cut short rather than a picture too large. Every row takes at least
    // its two-byte count.
    CheckDataHolds(Remaining(Stream), decoder.MaxExpansion(), std::int64_t(p.Width) * p.Height,
                   Label);
    CheckDataHolds(Remaining(Stream), 1, 2 * std::int64_t(p.Height), Label);
    CheckImageSize(p.Width, p.Height, 8, Label);

    TPalette palette;
    if (!FPaletteFile.empty() && FileExists(FPaletteFile)) {
        try {
            TFileStream pal(FPaletteFile, fmOpenRead | fmShareDenyNone);
            palette = ParsePaletteFile(ReadUpTo(pal, 256 * 1024));
        } catch (const EStreamError&) {
            palette = TPalette();
        }
    }
    if (palette.Empty()) palette = GrayPalette256();

    SetPixelFormat(pf8bit);
    SetPalette(palette);
    SetSize(p.Width, p.Height);
    std::vector<Byte> data = ReadUpTo(Stream, Remaining(Stream));
    ProgressStart(STransfering);
    std::size_t at = 0;
    for (int y = 0; y < p.Height; ++y) {
        // Each row opens with its byte count, which also finds the next row
        // whatever the runs inside say. A file cut short is refused.
        if (at + 2 > data.size() || at + 2 + LE16(data.data() + at) > data.size())
            RaiseReaderError(SStreamReadError, {Label});
        const std::size_t rowEnd = at + 2 + LE16(data.data() + at);
        const Byte* src = data.data() + at;
        Byte* dst = ScanLine(y);
        decoder.Decode(src, dst, static_cast<std::int64_t>(rowEnd - at), p.Width);
        at = rowEnd;
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreateCUTGraphic() {
    return std::make_unique<TCUTGraphic>();
}
