#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "platform/classes/Stream.h"

#include "platform/base/Format.h"

void CheckPictureSize(std::int64_t Width, std::int64_t Height) {
    if (PictureSizeAllowed(Width, Height)) return;
    throw EInvalidGraphic(
        Format(SPictureTooLarge, {Width, Height, MaxBitmapSide, MaxBitmapBytes / 4 / 1000000}));
}

namespace {

constexpr const char* SScanLine = "Scan line index out of range";

int IndexAt(const Byte* row, int x, int bits) {
    switch (bits) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
        return row[x];
    }
}

void SetIndexAt(Byte* row, int x, int bits, int index) {
    switch (bits) {
    case 1: {
        const Byte bit = static_cast<Byte>(0x80 >> (x & 7));
        if (index & 1)
            row[x >> 3] |= bit;
        else
            row[x >> 3] &= static_cast<Byte>(~bit);
        break;
    }
    case 4: {
        Byte& b = row[x >> 1];
        b = (x & 1) ? static_cast<Byte>((b & 0xF0) | (index & 0x0F))
                    : static_cast<Byte>((b & 0x0F) | (index << 4));
        break;
    }
    default:
        row[x] = static_cast<Byte>(index);
    }
}

// Channel levels scaled to 0..255 rounded to nearest, as bit-field masks are.
Byte Expand5(int v) {
    return static_cast<Byte>((v * 255 + 15) / 31);
}
Byte Expand6(int v) {
    return static_cast<Byte>((v * 255 + 31) / 63);
}

// Converts row y of img to B,G,R,A.
void ReadRow(const TDibImage& img, int y, Byte* out) {
    const Byte* row = img.Row(y);
    const int w = img.Width;
    switch (img.PixelFormat) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        const int bits = BitsPerPixel(img.PixelFormat);
        const auto& pal = img.Palette.Entries();
        for (int x = 0; x < w; ++x, out += 4) {
            const size_t i = static_cast<size_t>(IndexAt(row, x, bits));
            // An index past the colour table shows black.
            const TPaletteEntry e = i < pal.size() ? pal[i] : TPaletteEntry{};
            out[0] = e.peBlue;
            out[1] = e.peGreen;
            out[2] = e.peRed;
            out[3] = 255;
        }
        break;
    }
    case pf15bit:
    case pf16bit:
        for (int x = 0; x < w; ++x, out += 4) {
            const int v = row[2 * x] | (row[2 * x + 1] << 8);
            if (img.PixelFormat == pf15bit) {
                out[0] = Expand5(v & 31);
                out[1] = Expand5((v >> 5) & 31);
                out[2] = Expand5((v >> 10) & 31);
            } else {
                out[0] = Expand5(v & 31);
                out[1] = Expand6((v >> 5) & 63);
                out[2] = Expand5((v >> 11) & 31);
            }
            out[3] = 255;
        }
        break;
    case pf24bit:
        for (int x = 0; x < w; ++x, out += 4) {
            out[0] = row[3 * x];
            out[1] = row[3 * x + 1];
            out[2] = row[3 * x + 2];
            out[3] = 255;
        }
        break;
    default:
        std::memcpy(out, row, static_cast<size_t>(w) * 4);
        break;
    }
}

// Stores B,G,R,A pixels into row y of img; palettised formats take the
// nearest palette index.
void WriteRow(TDibImage& img, int y, const Byte* in, TNearestIndexCache* cache) {
    Byte* row = img.Row(y);
    const int w = img.Width;
    switch (img.PixelFormat) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        const int bits = BitsPerPixel(img.PixelFormat);
        for (int x = 0; x < w; ++x, in += 4)
            SetIndexAt(row, x, bits, std::max(0, cache->Lookup(in[2], in[1], in[0])));
        break;
    }
    case pf15bit:
    case pf16bit:
        for (int x = 0; x < w; ++x, in += 4) {
            int v;
            if (img.PixelFormat == pf15bit)
                v = ((in[2] >> 3) << 10) | ((in[1] >> 3) << 5) | (in[0] >> 3);
            else
                v = ((in[2] >> 3) << 11) | ((in[1] >> 2) << 5) | (in[0] >> 3);
            row[2 * x] = static_cast<Byte>(v);
            row[2 * x + 1] = static_cast<Byte>(v >> 8);
        }
        break;
    case pf24bit:
        for (int x = 0; x < w; ++x, in += 4) {
            row[3 * x] = in[0];
            row[3 * x + 1] = in[1];
            row[3 * x + 2] = in[2];
        }
        break;
    default:
        std::memcpy(row, in, static_cast<size_t>(w) * 4);
        break;
    }
}

bool IsBlackWhite(const TPalette& p) {
    return p.Count() == 2 && p.Color(0) == clBlack && p.Color(1) == clWhite;
}

} // namespace

TPalette DefaultPalette(TPixelFormat Format) {
    switch (Format) {
    case pf1bit:
        return MonochromePalette();
    case pf4bit:
        return SystemPalette16();
    case pf8bit: {
        std::vector<TPaletteEntry> e;
        e.reserve(256);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    e.push_back({static_cast<Byte>(51 * r), static_cast<Byte>(51 * g),
                                 static_cast<Byte>(51 * b), 0});
        // 40 greys between the cube's levels.
        for (int i = 0; e.size() < 256; ++i) {
            const Byte v = static_cast<Byte>(6 + i * 249 / 39);
            e.push_back({v, v, v, 0});
        }
        return TPalette(std::move(e));
    }
    default:
        return {};
    }
}

void ReadDibPixel(const TDibImage& Image, int X, int Y, Byte out[4]) {
    if (X < 0 || Y < 0 || X >= Image.Width || Y >= Image.Height) {
        std::fill_n(out, 4, Byte{0});
        return;
    }
    // One pixel of a row: convert a one-pixel view of the row.
    TDibImage one;
    one.Width = 1;
    one.Height = 1;
    one.PixelFormat = Image.PixelFormat;
    one.Palette = Image.Palette;
    const int bits = BitsPerPixel(Image.PixelFormat);
    one.Bits.assign(4, 0);
    const Byte* row = Image.Row(Y);
    if (IsPalettised(Image.PixelFormat))
        SetIndexAt(one.Bits.data(), 0, bits, IndexAt(row, X, bits));
    else
        std::memcpy(one.Bits.data(), row + static_cast<size_t>(X) * (bits / 8), bits / 8);
    ReadRow(one, 0, out);
}

TDibImage ConvertDibImage(const TDibImage& Source, TPixelFormat Format) {
    TDibImage dst;
    dst.Width = Source.Width;
    dst.Height = Source.Height;
    dst.PixelFormat = Format;
    const int bits = BitsPerPixel(Format);
    if (IsPalettised(Format)) {
        const bool fits = !Source.Palette.Empty() && Source.Palette.Count() <= (1 << bits);
        dst.Palette = fits ? Source.Palette : DefaultPalette(Format);
    }
    dst.Bits.assign(static_cast<size_t>(dst.Stride()) * dst.Height, 0);
    if (dst.Width == 0 || dst.Height == 0) return dst;
    // Between palettised formats sharing the colour table the indices are
    // kept (a table may hold the same colour twice).
    if (IsPalettised(Source.PixelFormat) && IsPalettised(Format) && dst.Palette == Source.Palette) {
        const int srcBits = BitsPerPixel(Source.PixelFormat);
        for (int y = 0; y < dst.Height; ++y)
            for (int x = 0; x < dst.Width; ++x)
                SetIndexAt(dst.Row(y), x, bits, IndexAt(Source.Row(y), x, srcBits));
        return dst;
    }
    std::vector<Byte> line(static_cast<size_t>(dst.Width) * 4);
    TNearestIndexCache cache(dst.Palette);
    for (int y = 0; y < dst.Height; ++y) {
        ReadRow(Source, y, line.data());
        WriteRow(dst, y, line.data(), &cache);
    }
    return dst;
}

TBitmap::TBitmap() {
    FImage.PixelFormat = pfDevice;
}

TBitmap::TBitmap(int AWidth, int AHeight, TPixelFormat Format) : TBitmap() {
    SetPixelFormat(Format);
    SetSize(AWidth, AHeight);
}

TBitmap::~TBitmap() = default;

std::unique_ptr<TGraphic> TBitmap::NewOfSameClass() const {
    if (typeid(*this) == typeid(TBitmap)) return std::make_unique<TBitmap>();
    return TGraphic::NewOfSameClass();
}

void TBitmap::SetSize(int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == FImage.Width && AHeight == FImage.Height) return;
    CheckPictureSize(AWidth, AHeight);
    TDibImage img;
    img.Width = AWidth;
    img.Height = AHeight;
    img.PixelFormat = FImage.PixelFormat;
    img.Palette = FImage.Palette;
    if (IsPalettised(img.PixelFormat) && img.Palette.Empty())
        img.Palette = DefaultPalette(img.PixelFormat);
    img.Bits.assign(static_cast<size_t>(img.Stride()) * AHeight, 0);
    const int rows = std::min(AHeight, FImage.Height);
    const int bits = BitsPerPixel(img.PixelFormat);
    const size_t bytes = static_cast<size_t>(std::min(AWidth, FImage.Width)) * bits / 8;
    for (int y = 0; y < rows; ++y) {
        if (bytes > 0) std::memcpy(img.Row(y), FImage.Row(y), bytes);
        if (bits < 8)
            for (int x = static_cast<int>(bytes * 8 / bits); x < std::min(AWidth, FImage.Width);
                 ++x)
                SetIndexAt(img.Row(y), x, bits, IndexAt(FImage.Row(y), x, bits));
    }
    FImage = std::move(img);
    Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
    if (Value == pfCustom) throw EInvalidGraphic("Invalid pixel format");
    if (Value == FImage.PixelFormat) return;
    if (Empty()) {
        FImage.PixelFormat = Value;
        FImage.Palette = IsPalettised(Value) ? DefaultPalette(Value) : TPalette{};
        FImage.Bits.assign(static_cast<size_t>(FImage.Stride()) * FImage.Height, 0);
        return;
    }
    CheckPictureSize(FImage.Width, FImage.Height);
    FImage = ConvertDibImage(FImage, Value);
    Changed(this);
}

Byte* TBitmap::ScanLine(int Row) {
    if (Row < 0 || Row >= FImage.Height) throw EInvalidGraphic(SScanLine);
    return FImage.Row(Row);
}

const Byte* TBitmap::ScanLine(int Row) const {
    if (Row < 0 || Row >= FImage.Height) throw EInvalidGraphic(SScanLine);
    return FImage.Row(Row);
}

void TBitmap::SetPalette(const TPalette& Value) {
    TPalette p = Value;
    if (IsPalettised(FImage.PixelFormat)) {
        const int max = 1 << BitsPerPixel(FImage.PixelFormat);
        if (p.Count() > max) p.SetCount(max);
    }
    if (p == FImage.Palette) return;
    FImage.Palette = std::move(p);
    Changed(this);
}

bool TBitmap::Monochrome() const {
    return FImage.PixelFormat == pf1bit && IsBlackWhite(FImage.Palette);
}

void TBitmap::SetMonochrome(bool Value) {
    if (Value == Monochrome()) return;
    if (Value) {
        // Through 32 bits so that the old colour table does not take part;
        // the black and white table then decides each pixel.
        TDibImage src =
            IsPalettised(FImage.PixelFormat) ? ConvertDibImage(FImage, pf32bit) : FImage;
        src.Palette = MonochromePalette();
        FImage = ConvertDibImage(src, pf1bit);
    } else {
        FImage = ConvertDibImage(FImage, pfDevice);
    }
    Changed(this);
}

TColor TBitmap::PixelColor(int X, int Y) const {
    Byte p[4];
    ReadDibPixel(FImage, X, Y, p);
    return RGB(p[2], p[1], p[0]);
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (Empty()) return clDefault;
    return PixelColor(0, FImage.Height - 1);
}

void TBitmap::SetTransparentColor(TColor Value) {
    if (Value == FTransparentColor && (Value == clDefault) == (FTransparentMode == tmAuto)) return;
    FTransparentColor = Value;
    FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
    if (Value == FTransparentMode) return;
    if (Value == tmAuto) {
        FTransparentColor = clDefault;
        FTransparentMode = tmAuto;
    } else {
        FTransparentColor = TransparentColor();
        FTransparentMode = tmFixed;
    }
    Changed(this);
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>(static_cast<TCanvasTarget*>(this));
    return FCanvas.get();
}

void TBitmap::CopyFrom(const TBitmap& Source) {
    FImage = Source.FImage;
    FTransparentColor = Source.FTransparentColor;
    FTransparentMode = Source.FTransparentMode;
    FHandleType = Source.FHandleType;
    SetTransparent(Source.Transparent());
}

void TBitmap::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (Source == nullptr) {
        SetImage(TDibImage{0, 0, FImage.PixelFormat, {}, {}});
        return;
    }
    if (auto* b = dynamic_cast<const TBitmap*>(Source)) {
        CopyFrom(*b);
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TBitmap::AssignTo(TPersistent* Dest) const {
    TGraphic::AssignTo(Dest);
}

void TBitmap::SetImage(TDibImage Image) {
    if (IsPalettised(Image.PixelFormat) && Image.Palette.Empty())
        Image.Palette = DefaultPalette(Image.PixelFormat);
    if (Image.Bits.size() != static_cast<size_t>(Image.Stride()) * Image.Height)
        throw EInvalidGraphic(SInvalidBitmap);
    FImage = std::move(Image);
    Changed(this);
}

void DibRowToBGRA(const TDibImage& Image, int Y, Byte* Out) {
    ReadRow(Image, Y, Out);
}

std::vector<Byte> TBitmap::ToBGRA() const {
    std::vector<Byte> out(static_cast<size_t>(FImage.Width) * FImage.Height * 4);
    for (int y = 0; y < FImage.Height; ++y)
        ReadRow(FImage, y, out.data() + static_cast<size_t>(y) * FImage.Width * 4);
    return out;
}

void TBitmap::LoadFromStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    const std::int64_t remaining = std::max<std::int64_t>(Stream.Size() - start, 0);
    // No valid file needs more than the largest pixel data and its headers.
    const std::int64_t take = std::min<std::int64_t>(remaining, MaxBitmapBytes + (1 << 20));
    TPictureBytes data(static_cast<size_t>(take));
    Stream.ReadBuffer(data.data(), take);
    size_t consumed = 0;
    TDibImage img = ReadBmp(data.data(), data.size(), &consumed);
    Stream.SetPosition(start + static_cast<std::int64_t>(consumed));
    FImage = std::move(img);
    Changed(this);
}

void TBitmap::SaveToStream(TStream& Stream) const {
    if (Empty()) return;
    const std::vector<Byte> bytes = WriteBmp(FImage);
    Stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TBitmap::ReadData(TStream& Stream) {
    const std::int32_t size = Stream.ReadInt32();
    if (size < 0 || size > Stream.Size() - Stream.Position()) throw EInvalidGraphic(SInvalidBitmap);
    if (size == 0) {
        Assign(nullptr);
        return;
    }
    std::vector<Byte> data(static_cast<size_t>(size));
    Stream.ReadBuffer(data.data(), size);
    FImage = ReadBmp(data.data(), data.size());
    Changed(this);
}

void TBitmap::WriteData(TStream& Stream) const {
    const std::vector<Byte> bytes = Empty() ? std::vector<Byte>{} : WriteBmp(FImage);
    Stream.WriteInt32(static_cast<std::int32_t>(bytes.size()));
    Stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

bool TBitmap::BeginDraw(TPixelSurface& Surface) {
    if (Empty()) return false;
    if (FImage.PixelFormat == pf32bit || FImage.PixelFormat == pfDevice) {
        Surface = {FImage.Bits.data(), FImage.Width, FImage.Height, FImage.Stride()};
        return true;
    }
    FDrawBuffer.resize(static_cast<size_t>(FImage.Width) * FImage.Height * 4);
    for (int y = 0; y < FImage.Height; ++y)
        ReadRow(FImage, y, FDrawBuffer.data() + static_cast<size_t>(y) * FImage.Width * 4);
    Surface = {FDrawBuffer.data(), FImage.Width, FImage.Height, FImage.Width * 4};
    return true;
}

void TBitmap::EndDraw(bool WasChanged) {
    if (!FDrawBuffer.empty()) {
        if (WasChanged) {
            TNearestIndexCache cache(FImage.Palette);
            for (int y = 0; y < FImage.Height; ++y)
                WriteRow(FImage, y, FDrawBuffer.data() + static_cast<size_t>(y) * FImage.Width * 4,
                         &cache);
        }
        FDrawBuffer.clear();
        FDrawBuffer.shrink_to_fit();
    }
    if (WasChanged) Changed(this);
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
    if (Empty() || ACanvas == nullptr) return;
    // A private copy: the canvas may be this bitmap's own.
    const std::vector<Byte> src = ToBGRA();
    const bool keepAlpha = FImage.PixelFormat == pf32bit || FImage.PixelFormat == pfDevice;
    const TColor keyColor = TransparentColor();
    const bool transparent = Transparent() && keyColor != clNone && keyColor != clDefault;
    const std::uint32_t key = static_cast<std::uint32_t>(ColorToRGB(keyColor));
    TRect r = Rect;
    const bool flipX = r.Right < r.Left;
    const bool flipY = r.Bottom < r.Top;
    if (flipX) std::swap(r.Left, r.Right);
    if (flipY) std::swap(r.Top, r.Bottom);
    const std::int64_t dw = r.Width();
    const std::int64_t dh = r.Height();
    if (dw == 0 || dh == 0) return;
    TPixelSurface s;
    if (!ACanvas->AcquireSurface(s)) return;
    bool changed = false;
    const int y0 = std::max(r.Top, 0);
    const int y1 = std::min(r.Bottom, s.Height);
    const int x0 = std::max(r.Left, 0);
    const int x1 = std::min(r.Right, s.Width);
    const int w = FImage.Width;
    const int h = FImage.Height;
    for (int y = y0; y < y1; ++y) {
        std::int64_t sy = (y - r.Top) * h / dh;
        if (flipY) sy = h - 1 - sy;
        const Byte* srow = src.data() + static_cast<size_t>(sy) * w * 4;
        Byte* drow = s.Bits + static_cast<std::int64_t>(y) * s.Stride;
        for (int x = x0; x < x1; ++x) {
            std::int64_t sx = (x - r.Left) * w / dw;
            if (flipX) sx = w - 1 - sx;
            const Byte* p = srow + sx * 4;
            if (transparent &&
                static_cast<std::uint32_t>(RGB(p[2], p[1], p[0])) == (key & 0xFFFFFF))
                continue;
            Byte* d = drow + static_cast<std::int64_t>(x) * 4;
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
            d[3] = keepAlpha ? p[3] : 0;
            changed = true;
        }
    }
    ACanvas->ReleaseSurface(changed);
}
