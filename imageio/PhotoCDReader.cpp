#include "imageio/PhotoCDReader.h"

#include <cstring>
#include <vector>

#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "PCD";
constexpr int SectorSize = 2048;
constexpr int HeaderSize = 3 * SectorSize;
constexpr int RotationByte = 0x0E02;
} // namespace

bool TPCDGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    Byte h[7] = {};
    if (Stream.Read(h, 7) == 7 && std::memcmp(h, "PCD_OPA", 7) == 0) {
        ok = true;
    } else if (Stream.Size() - start >= SectorSize + 3) {
        Stream.SetPosition(start + SectorSize);
        ok = Stream.Read(h, 3) == 3 && std::memcmp(h, "PCD", 3) == 0;
    }
    Stream.SetPosition(start);
    return ok;
}

bool TPCDGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    std::vector<Byte> h(HeaderSize);
    if (Stream.Read(h.data(), HeaderSize) != HeaderSize) return false;
    TImageProperties& p = FImageProperties;
    p.Overview = std::memcmp(h.data(), "PCD_OPA", 7) == 0;
    if (!p.Overview && std::memcmp(h.data() + SectorSize, "PCD", 3) != 0) return false;
    p.Rotation = h[RotationByte] & 3;
    const int d = p.Overview ? 0 : std::min(FResolution, 5);
    p.Width = 192 << d;
    p.Height = 128 << d;
    if (p.Rotation == 1 || p.Rotation == 3) std::swap(p.Width, p.Height);
    p.ColorScheme = csPhotoYCC;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
    p.BitsPerPixel = 24;
    p.Compression = d < 3 ? ctNone : ctPCDHuffmann;
    FScale = d;
    return true;
}

void TPCDGraphic::UpsamplePlane(Byte* Plane, int Width, int Height) {
    const int hw = Width / 2;
    const int hh = Height / 2;
    std::vector<Byte> src(Plane, Plane + static_cast<std::size_t>(hw) * hh);
    auto s = [&](int x, int y) -> int {
        return src[static_cast<std::size_t>(std::min(y, hh - 1)) * hw + std::min(x, hw - 1)];
    };
    for (int y = 0; y < Height; ++y) {
        Byte* row = Plane + static_cast<std::size_t>(y) * Width;
        const int sy = y / 2;
        const bool lastRow = y == Height - 1 && (y & 1);
        for (int x = 0; x < Width; ++x) {
            const int sx = x / 2;
            int v;
            if (lastRow) {
                v = Plane[static_cast<std::size_t>(y - 1) * Width + x];
            } else if (!(y & 1)) {
                v = (x & 1) ? (s(sx, sy) + s(sx + 1, sy) + 1) / 2 : s(sx, sy);
            } else if (!(x & 1)) {
                v = (s(sx, sy) + s(sx, sy + 1) + 1) / 2;
            } else {
                v = (s(sx, sy) + s(sx + 1, sy) + s(sx, sy + 1) + s(sx + 1, sy + 1) + 2) / 4;
            }
            row[x] = static_cast<Byte>(v);
        }
    }
}

void TPCDGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    FResolution = 2;
    // A header that cannot be read is refused, so that whoever asked for the
    // picture keeps what it had.
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    const TImageProperties& p = FImageProperties;
    const int d = FScale;
    const int sector = p.Overview ? 5 : d == 0 ? 4 : d == 1 ? 23 : 96;
    const int width = 192 << std::min(2, d); // as stored, before rotation
    const int height = 128 << std::min(2, d);

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(0);
    cm.SetSourceColorScheme(csPhotoYCC);
    cm.SetTargetColorScheme(csBGR);
    cm.SetSourceSamplesPerPixel(3);
    cm.SetTargetSamplesPerPixel(3);
    cm.SetSourceBitsPerSample(8);
    cm.SetTargetBitsPerSample(8);
    const float coefficients[3] = {0.2125f, 0.7154f, 0.0721f};
    cm.SetYCbCrParameters(coefficients, 2, 2);
    SeekTo(Stream, FBasePosition + static_cast<std::int64_t>(sector) * SectorSize, Label);
    if (static_cast<std::int64_t>(width) * height * 3 / 2 > Remaining(Stream))
        RaiseReaderError(SStreamReadError, {Label});
    SetPixelFormat(pf24bit);
    SetSize(p.Width, p.Height);

    const std::size_t full = static_cast<std::size_t>(width) * height;
    std::vector<Byte> luma(full), chroma1(full), chroma2(full);
    ProgressStart(SLoadingData);
    // Two luminance rows, then one row of each chroma at half width.
    const int half = width / 2;
    for (int pair = 0; pair < height / 2; ++pair) {
        ReadExact(Stream, luma.data() + static_cast<std::size_t>(pair) * 2 * width, 2 * width,
                  Label);
        ReadExact(Stream, chroma1.data() + static_cast<std::size_t>(pair) * half, half, Label);
        ReadExact(Stream, chroma2.data() + static_cast<std::size_t>(pair) * half, half, Label);
    }
    ProgressEnd();

    ProgressStart(SUpsampling);
    UpsamplePlane(chroma1.data(), width, height);
    UpsamplePlane(chroma2.data(), width, height);
    ProgressEnd();

    ProgressStart(STransfering);
    std::vector<Byte> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * width;
        const Byte* sources[3] = {luma.data() + at, chroma1.data() + at, chroma2.data() + at};
        if (p.Rotation == 0) {
            cm.ConvertPixels(sources, ScanLine(y), width);
        } else {
            cm.ConvertPixels(sources, row.data(), width);
            // Rotation 1 is turned a quarter counter-clockwise, 3 clockwise.
            for (int x = 0; x < width; ++x) {
                int tx, ty;
                switch (p.Rotation) {
                case 1:
                    tx = y;
                    ty = width - 1 - x;
                    break;
                case 2:
                    tx = width - 1 - x;
                    ty = height - 1 - y;
                    break;
                default:
                    tx = height - 1 - y;
                    ty = x;
                    break;
                }
                std::memcpy(ScanLine(ty) + tx * 3, row.data() + x * 3, 3);
            }
        }
        ProgressRow(y);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreatePCDGraphic() {
    return std::make_unique<TPCDGraphic>();
}
