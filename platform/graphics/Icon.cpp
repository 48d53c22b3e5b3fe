#include "platform/graphics/Icon.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"

namespace {

[[noreturn]] void Invalid() {
    throw EInvalidGraphic(SInvalidIcon);
}

std::uint16_t U16(const Byte* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const Byte* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr size_t DirSize = 6;
constexpr size_t EntrySize = 16;
constexpr int MaxEntries = 256;
constexpr Byte PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

TIconPngDecoder PngDecoder = nullptr;

} // namespace

void SetIconPngDecoder(TIconPngDecoder Decoder) {
    PngDecoder = Decoder;
}

TDibImage ReadIcon(const Byte* data, size_t size, size_t* consumed) {
    // ICONDIR: reserved 0, type 1 (icon), count.
    if (size < DirSize || U16(data) != 0 || U16(data + 2) != 1) Invalid();
    const int count = U16(data + 4);
    if (count == 0 || count > MaxEntries) Invalid();
    if (size - DirSize < static_cast<size_t>(count) * EntrySize) Invalid();
    int best = -1;
    std::int64_t bestArea = -1;
    int bestBits = -1;
    bool sawPng = false;
    size_t end = DirSize + static_cast<size_t>(count) * EntrySize;
    for (int i = 0; i < count; ++i) {
        const Byte* e = data + DirSize + static_cast<size_t>(i) * EntrySize;
        const std::uint64_t bytes = U32(e + 8);
        const std::uint64_t offset = U32(e + 12);
        if (offset + bytes > size || bytes == 0) continue; // entries that do not fit are skipped
        end = std::max<size_t>(end, static_cast<size_t>(offset + bytes));
        // PNG-compressed entries count only when there is a decoder for them.
        if (bytes >= 8 && std::memcmp(data + offset, PngSignature, 8) == 0) {
            sawPng = true;
            if (PngDecoder == nullptr) continue;
        }
        // A width or height byte of 0 means 256.
        const std::int64_t w = e[0] ? e[0] : 256;
        const std::int64_t h = e[1] ? e[1] : 256;
        const int bits = U16(e + 6);
        if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
            best = i;
            bestArea = w * h;
            bestBits = bits;
        }
    }
    if (best < 0) {
        if (sawPng) throw EInvalidGraphic(SPngIconNotSupported);
        Invalid();
    }
    const Byte* e = data + DirSize + static_cast<size_t>(best) * EntrySize;
    const Byte* image = data + U32(e + 12);
    const size_t bytes = U32(e + 8);
    if (bytes >= 8 && std::memcmp(image, PngSignature, 8) == 0) {
        TDibImage png = PngDecoder(image, bytes);
        if (png.PixelFormat != pf32bit) png = ConvertDibImage(png, pf32bit);
        if (consumed) *consumed = end;
        return png;
    }
    std::vector<Byte> mask;
    TDibImage dib;
    try {
        dib = ReadIconDib(image, bytes, mask);
    } catch (const EInvalidGraphic&) {
        Invalid();
    }
    const bool had32 = dib.PixelFormat == pf32bit;
    TDibImage out = ConvertDibImage(dib, pf32bit);
    // A 32-bit image whose alpha channel is all zero relies on its mask.
    bool useAlpha = false;
    if (had32)
        for (int y = 0; y < out.Height && !useAlpha; ++y)
            for (int x = 0; x < out.Width; ++x)
                if (out.Row(y)[4 * x + 3] != 0) {
                    useAlpha = true;
                    break;
                }
    for (int y = 0; y < out.Height; ++y) {
        Byte* row = out.Row(y);
        for (int x = 0; x < out.Width; ++x) {
            if (useAlpha) continue;
            const bool transparent = mask[static_cast<size_t>(y) * out.Width + x] != 0;
            row[4 * x + 3] = transparent ? 0 : 255;
            // Masked pixels with a colour would invert the screen; shown as clear.
            if (transparent) row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0;
        }
    }
    if (consumed) *consumed = end;
    return out;
}

TIcon::TIcon() {
    SetTransparent(true);
}

void TIcon::SetWidth(int Value) {
    if (Value != FImage.Width) throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::SetHeight(int Value) {
    if (Value != FImage.Height) throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::LoadFromStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    const std::int64_t remaining = std::max<std::int64_t>(Stream.Size() - start, 0);
    const std::int64_t take = std::min<std::int64_t>(remaining, MaxBitmapBytes);
    std::vector<Byte> data(static_cast<size_t>(take));
    Stream.ReadBuffer(data.data(), take);
    size_t consumed = 0;
    TDibImage img = ReadIcon(data.data(), data.size(), &consumed);
    data.resize(consumed);
    Stream.SetPosition(start + static_cast<std::int64_t>(consumed));
    FData = std::move(data);
    FImage = std::move(img);
    Changed(this);
}

void TIcon::SaveToStream(TStream& Stream) const {
    Stream.WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TIcon::Assign(const TPersistent* Source) {
    if (Source == this) return;
    if (auto* i = dynamic_cast<const TIcon*>(Source)) {
        FData = i->FData;
        FImage = i->FImage;
        Changed(this);
        return;
    }
    if (Source == nullptr) {
        FData.clear();
        FImage = TDibImage{};
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TIcon::AssignTo(TPersistent* Dest) const {
    if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
        TDibImage copy = FImage;
        copy.PixelFormat = pf32bit;
        b->SetImage(std::move(copy));
        return;
    }
    TGraphic::AssignTo(Dest);
}

std::unique_ptr<TGraphic> TIcon::NewOfSameClass() const {
    if (typeid(*this) == typeid(TIcon)) return std::make_unique<TIcon>();
    return TGraphic::NewOfSameClass();
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
    if (Empty() || ACanvas == nullptr) return;
    TRect r = Rect;
    if (r.Right < r.Left) std::swap(r.Left, r.Right);
    if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
    const std::int64_t dw = r.Width();
    const std::int64_t dh = r.Height();
    if (dw == 0 || dh == 0) return;
    TPixelSurface s;
    if (!ACanvas->AcquireSurface(s)) return;
    bool changed = false;
    const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, s.Height);
    const int x0 = std::max(r.Left, 0), x1 = std::min(r.Right, s.Width);
    for (int y = y0; y < y1; ++y) {
        const Byte* srow = FImage.Row(static_cast<int>((y - r.Top) * FImage.Height / dh));
        Byte* drow = s.Bits + static_cast<std::int64_t>(y) * s.Stride;
        for (int x = x0; x < x1; ++x) {
            const Byte* p = srow + ((x - r.Left) * FImage.Width / dw) * 4;
            const int a = p[3];
            if (a == 0) continue;
            Byte* d = drow + static_cast<std::int64_t>(x) * 4;
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<Byte>((p[c] * a + d[c] * (255 - a) + 127) / 255);
            d[3] = 0;
            changed = true;
        }
    }
    ACanvas->ReleaseSurface(changed);
}
