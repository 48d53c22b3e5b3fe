#include "platform/graphics/BmpFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/base/Exception.h"

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

constexpr size_t FileHeaderSize = 14;
constexpr size_t CoreHeaderSize = 12;
constexpr size_t InfoHeaderSize = 40;

[[noreturn]] void Invalid() {
    throw EInvalidGraphic(SInvalidBitmap);
}

// Bounds-checked little-endian reads from the file image.
class TReader {
public:
    TReader(const Byte* data, size_t size) : FData(data), FSize(size) {}
    size_t Size() const { return FSize; }
    const Byte* At(size_t pos, size_t count) const {
        if (pos > FSize || count > FSize - pos) Invalid();
        return FData + pos;
    }
    std::uint16_t U16(size_t pos) const {
        const Byte* p = At(pos, 2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t U32(size_t pos) const {
        const Byte* p = At(pos, 4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::int32_t I32(size_t pos) const { return static_cast<std::int32_t>(U32(pos)); }

private:
    const Byte* FData;
    size_t FSize;
};

struct THeader {
    std::int64_t Width = 0;
    std::int64_t Height = 0; // rows stored; negative = top-down
    int BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t SizeImage = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t Masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    bool Core = false;
    size_t Size = 0;       // header bytes
    size_t ExtraMasks = 0; // mask bytes that follow a 40-byte header
};

THeader ReadInfoHeader(const TReader& r, size_t pos) {
    THeader h;
    h.Size = r.U32(pos);
    if (h.Size == CoreHeaderSize) {
        h.Core = true;
        h.Width = r.U16(pos + 4);
        h.Height = r.U16(pos + 6);
        h.BitCount = r.U16(pos + 10);
        return h;
    }
    // Info (40), the two undocumented bit-field variants (52, 56), OS/2 2.x
    // (64), V4 (108) and V5 (124).
    if (h.Size != 40 && h.Size != 52 && h.Size != 56 && h.Size != 64 && h.Size != 108 &&
        h.Size != 124)
        Invalid();
    r.At(pos, h.Size);
    h.Width = r.I32(pos + 4);
    h.Height = r.I32(pos + 8);
    h.BitCount = r.U16(pos + 14);
    h.Compression = r.U32(pos + 16);
    h.SizeImage = r.U32(pos + 20);
    h.ClrUsed = r.U32(pos + 32);
    // OS/2 2.x reuses compression numbers 3 and 4 for its own schemes.
    if (h.Size == 64 && h.Compression > BI_RLE4) Invalid();
    if (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS) {
        const int count = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
        size_t maskPos;
        if (h.Size >= 52) {
            maskPos = pos + 40;
        } else {
            maskPos = pos + h.Size;
            h.ExtraMasks = static_cast<size_t>(count) * 4;
        }
        for (int i = 0; i < count; ++i)
            h.Masks[i] = r.U32(maskPos + 4 * i);
        if (h.Size >= 56) h.Masks[3] = r.U32(pos + 52);
    }
    return h;
}

void ValidateHeader(const THeader& h, bool allowTopDown) {
    if (h.Width <= 0 || h.Height == 0) Invalid();
    if (h.Height < 0 && !allowTopDown) Invalid();
    switch (h.BitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        Invalid();
    }
    switch (h.Compression) {
    case BI_RGB:
        break;
    case BI_RLE8:
        if (h.BitCount != 8 || h.Height < 0) Invalid();
        break;
    case BI_RLE4:
        if (h.BitCount != 4 || h.Height < 0) Invalid();
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32) Invalid();
        break;
    default:
        Invalid();
    }
    CheckPictureSize(h.Width, h.Height < 0 ? -std::int64_t{h.Height} : h.Height);
}

// A channel mask: a run of contiguous bits within the pixel.
struct TMask {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0;
    Byte Scale(std::uint32_t pixel) const {
        if (Max == 0) return 0;
        const std::uint32_t v = (pixel & Mask) >> Shift;
        return static_cast<Byte>((v * 255u + Max / 2) / Max);
    }
};

TMask MakeMask(std::uint32_t mask, int bitCount) {
    TMask m;
    if (mask == 0) return m;
    if (bitCount < 32 && (mask >> bitCount) != 0) Invalid();
    m.Mask = mask;
    while (((mask >> m.Shift) & 1u) == 0)
        ++m.Shift;
    const std::uint32_t v = mask >> m.Shift;
    if ((v & (v + 1)) != 0) Invalid(); // bits of a mask must be contiguous
    // More than 8 bits per channel keep their top 8.
    if (v > 0xFF) {
        int extra = 0;
        while ((v >> extra) > 0xFF)
            ++extra;
        m.Shift += extra;
        m.Mask = (v >> extra) << m.Shift;
        m.Max = v >> extra;
    } else {
        m.Max = v;
    }
    return m;
}

// Reads the colour table of a palettised bitmap: entryCount entries of
// entrySize bytes from pos, never past limit.
TPalette ReadColorTable(const TReader& r, size_t pos, size_t limit, std::int64_t count,
                        size_t entrySize) {
    if (limit < pos) Invalid();
    const std::int64_t fits = static_cast<std::int64_t>((limit - pos) / entrySize);
    // Some writers announce a full table and store fewer entries before the
    // pixels; take what lies before the pixel data.
    count = std::min(count, fits);
    if (count <= 0) Invalid();
    const Byte* p = r.At(pos, static_cast<size_t>(count) * entrySize);
    std::vector<TPaletteEntry> entries(static_cast<size_t>(count));
    for (std::int64_t i = 0; i < count; ++i, p += entrySize)
        entries[i] = {p[2], p[1], p[0], 0};
    return TPalette(std::move(entries));
}

// Decodes RLE8 or RLE4 data into index rows (top-down output, bottom-up
// file order). Runs past the right edge are clipped; a delta or a row past
// the top ends the picture.
void DecodeRle(const Byte* src, size_t size, bool rle4, TDibImage& img) {
    const int width = img.Width;
    const int height = img.Height;
    size_t pos = 0;
    int x = 0;
    int y = 0; // counted from the bottom
    auto put = [&](int index) {
        if (x >= width) return;
        if (y < height) {
            Byte* row = img.Row(height - 1 - y);
            if (rle4) {
                Byte& b = row[x >> 1];
                if (x & 1)
                    b = static_cast<Byte>((b & 0xF0) | (index & 0x0F));
                else
                    b = static_cast<Byte>((b & 0x0F) | (index << 4));
            } else {
                row[x] = static_cast<Byte>(index);
            }
        }
        ++x;
    };
    // The picture ends with the end-of-bitmap escape or, for writers that
    // omit it, once the last row is complete; data that stops before is
    // truncated.
    for (;;) {
        if (size - pos < 2) Invalid();
        const int count = src[pos];
        const int value = src[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: { // delta
            if (size - pos < 2) Invalid();
            x = std::min(x + src[pos], width);
            y += src[pos + 1];
            pos += 2;
            if (y >= height) return;
            break;
        }
        default: { // absolute run, padded to a 16-bit boundary
            const size_t bytes = rle4 ? (static_cast<size_t>(value) + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (size - pos < padded) Invalid();
            for (int i = 0; i < value; ++i) {
                const Byte b = src[pos + (rle4 ? i / 2 : i)];
                put(rle4 ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            pos += padded;
            break;
        }
        }
        if (y >= height) return;
    }
}

// Decodes the pixels of an uncompressed bitmap of h.BitCount bits. Formats
// kept as they are stored are copied row by row; bit-field masks other than
// 5-5-5, 5-6-5 and 8-8-8(-8) are expanded to 32 bits.
void DecodeUncompressed(const TReader& r, size_t pos, const THeader& h, TDibImage& img) {
    const std::int64_t rows = h.Height < 0 ? -h.Height : h.Height;
    const bool topDown = h.Height < 0;
    const std::int64_t srcStride = BytesPerScanline(h.Width, h.BitCount);
    // The last row need not carry its padding.
    const std::int64_t need = srcStride * (rows - 1) + (h.Width * h.BitCount + 7) / 8;
    const Byte* src = r.At(pos, static_cast<size_t>(need));
    const int width = img.Width;
    const bool sameLayout = img.PixelFormat != pf32bit || h.BitCount == 32;
    const bool convertMasks =
        (h.BitCount == 16 && img.PixelFormat == pf32bit) ||
        (h.BitCount == 32 &&
         (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS) &&
         !(h.Masks[0] == 0xFF0000 && h.Masks[1] == 0xFF00 && h.Masks[2] == 0xFF));
    TMask masks[4];
    if (convertMasks)
        for (int i = 0; i < 4; ++i)
            masks[i] = MakeMask(h.Masks[i], h.BitCount);
    const size_t rowBytes = static_cast<size_t>((h.Width * h.BitCount + 7) / 8);
    for (std::int64_t fileRow = 0; fileRow < rows; ++fileRow) {
        const Byte* s = src + fileRow * srcStride;
        Byte* d = img.Row(static_cast<int>(topDown ? fileRow : rows - 1 - fileRow));
        if (!convertMasks && sameLayout) {
            std::memcpy(d, s, rowBytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const std::uint32_t px =
                h.BitCount == 16
                    ? static_cast<std::uint32_t>(s[2 * x] | (s[2 * x + 1] << 8))
                    : static_cast<std::uint32_t>(s[4 * x] | (s[4 * x + 1] << 8) |
                                                 (s[4 * x + 2] << 16) |
                                                 (static_cast<std::uint32_t>(s[4 * x + 3]) << 24));
            d[4 * x] = masks[2].Scale(px);
            d[4 * x + 1] = masks[1].Scale(px);
            d[4 * x + 2] = masks[0].Scale(px);
            d[4 * x + 3] = masks[3].Mask ? masks[3].Scale(px) : 255;
        }
    }
}

TPixelFormat FormatFor(const THeader& h) {
    switch (h.BitCount) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 24:
        return pf24bit;
    case 16:
        if (h.Compression == BI_RGB) return pf15bit;
        if (h.Masks[0] == 0x7C00 && h.Masks[1] == 0x03E0 && h.Masks[2] == 0x001F && h.Masks[3] == 0)
            return pf15bit;
        if (h.Masks[0] == 0xF800 && h.Masks[1] == 0x07E0 && h.Masks[2] == 0x001F && h.Masks[3] == 0)
            return pf16bit;
        return pf32bit;
    default:
        return pf32bit;
    }
}

// Decodes a bitmap whose info header starts at headerPos. pixelPos is the
// file header's pixel offset, or none when the pixels follow the colour table
// (icons). Returns the end of the pixel data.
size_t DecodeDib(const TReader& r, size_t headerPos, std::optional<size_t> pixelPos, bool icon,
                 TDibImage& img) {
    THeader h = ReadInfoHeader(r, headerPos);
    if (icon) {
        // The height counts the colour rows and the mask rows.
        if (h.Height < 0 || (h.Height & 1) != 0) Invalid();
        h.Height /= 2;
        if (h.Compression != BI_RGB) Invalid();
    }
    ValidateHeader(h, !icon);
    const size_t tablePos = headerPos + h.Size + h.ExtraMasks;
    if (pixelPos && *pixelPos < tablePos) Invalid();
    img.Width = static_cast<int>(h.Width);
    img.Height = static_cast<int>(h.Height < 0 ? -h.Height : h.Height);
    img.PixelFormat = FormatFor(h);
    size_t dataPos = pixelPos ? *pixelPos : tablePos;
    if (h.BitCount <= 8) {
        const std::int64_t full = std::int64_t{1} << h.BitCount;
        std::int64_t count =
            (h.Core || h.ClrUsed == 0) ? full : std::min<std::int64_t>(h.ClrUsed, full);
        const size_t entrySize = h.Core ? 3 : 4;
        const size_t limit = pixelPos ? *pixelPos : r.Size();
        img.Palette = ReadColorTable(r, tablePos, limit, count, entrySize);
        if (!pixelPos) dataPos = tablePos + static_cast<size_t>(img.Palette.Count()) * entrySize;
    }
    if (dataPos >= r.Size()) Invalid();
    const std::int64_t stride = img.Stride();
    const std::int64_t srcStride = BytesPerScanline(h.Width, h.BitCount);
    const bool rle = h.Compression == BI_RLE8 || h.Compression == BI_RLE4;
    size_t avail = r.Size() - dataPos;
    if (rle && h.SizeImage != 0 && h.SizeImage < avail) avail = h.SizeImage;
    // The data must be able to hold the picture before it is allocated: every
    // byte of it when stored, and for run-length data at most 255 pixels per
    // two-byte run.
    const std::int64_t holds = rle ? std::int64_t(avail) * 255 / 2 : std::int64_t(avail);
    const std::int64_t needs =
        rle ? std::int64_t(img.Width) * img.Height
            : srcStride * (img.Height - 1) + (std::int64_t(h.Width) * h.BitCount + 7) / 8;
    if (holds < needs) Invalid();
    img.Bits.assign(static_cast<size_t>(stride * img.Height), 0);
    if (rle) {
        DecodeRle(r.At(dataPos, avail), avail, h.Compression == BI_RLE4, img);
        return dataPos + avail;
    }
    DecodeUncompressed(r, dataPos, h, img);
    return static_cast<size_t>(std::min<std::int64_t>(dataPos + srcStride * img.Height,
                                                      static_cast<std::int64_t>(r.Size())));
}

void Put16(std::vector<Byte>& out, std::uint32_t v) {
    out.push_back(static_cast<Byte>(v));
    out.push_back(static_cast<Byte>(v >> 8));
}
void Put32(std::vector<Byte>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

TDibImage ReadBmp(const Byte* data, size_t size, size_t* consumed) {
    TReader r(data, size);
    r.At(0, FileHeaderSize + 4);
    if (data[0] != 'B' || data[1] != 'M') Invalid();
    const std::uint32_t offBits = r.U32(10);
    TDibImage img;
    const size_t end = DecodeDib(r, FileHeaderSize, offBits, false, img);
    if (consumed) *consumed = end;
    return img;
}

TDibImage ReadIconDib(const Byte* data, size_t size, std::vector<Byte>& mask) {
    TReader r(data, size);
    TDibImage img;
    const size_t end = DecodeDib(r, 0, std::nullopt, true, img);
    // The AND mask: 1 bit per pixel, rows bottom-up, 4-byte aligned. Some
    // 32-bit icons omit it and rely on their alpha channel alone.
    const std::int64_t stride = BytesPerScanline(img.Width, 1);
    mask.assign(static_cast<size_t>(img.Width) * img.Height, 0);
    if (end < size && static_cast<std::uint64_t>(stride) * img.Height <= size - end) {
        const Byte* m = data + end;
        for (int y = 0; y < img.Height; ++y) {
            const Byte* row = m + (img.Height - 1 - y) * stride;
            for (int x = 0; x < img.Width; ++x)
                mask[static_cast<size_t>(y) * img.Width + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
    } else if (img.PixelFormat != pf32bit) {
        Invalid();
    }
    return img;
}

std::vector<Byte> WriteBmp(const TDibImage& image) {
    TPixelFormat format = image.PixelFormat == pfDevice ? pf32bit : image.PixelFormat;
    const int bits = BitsPerPixel(format);
    if (bits == 0 || image.Width <= 0 || image.Height <= 0) throw EInvalidGraphic(SInvalidBitmap);
    const std::uint32_t colors =
        IsPalettised(format) ? static_cast<std::uint32_t>(image.Palette.Count()) : 0;
    const std::uint32_t maskBytes = format == pf16bit ? 12 : 0;
    const std::uint32_t offBits =
        static_cast<std::uint32_t>(FileHeaderSize + InfoHeaderSize) + maskBytes + colors * 4;
    const std::uint32_t stride = static_cast<std::uint32_t>(image.Stride());
    const std::uint32_t sizeImage = stride * static_cast<std::uint32_t>(image.Height);
    std::vector<Byte> out;
    out.reserve(offBits + sizeImage);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + sizeImage);
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, InfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(image.Width));
    Put32(out, static_cast<std::uint32_t>(image.Height)); // positive: bottom-up
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, format == pf16bit ? BI_BITFIELDS : BI_RGB);
    Put32(out, sizeImage);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, colors);
    Put32(out, 0);
    if (format == pf16bit) {
        Put32(out, 0xF800);
        Put32(out, 0x07E0);
        Put32(out, 0x001F);
    }
    for (std::uint32_t i = 0; i < colors; ++i) {
        const TPaletteEntry& e = image.Palette.Entry(static_cast<int>(i));
        out.push_back(e.peBlue);
        out.push_back(e.peGreen);
        out.push_back(e.peRed);
        out.push_back(0);
    }
    for (int y = image.Height - 1; y >= 0; --y) {
        const Byte* row = image.Row(y);
        out.insert(out.end(), row, row + stride);
    }
    return out;
}
