#include "imageio/DecoderRle.h"

#include <algorithm>
#include <cstring>

namespace {

// A cursor over the coded input and the output that never passes either end.
struct TRunCursor {
    const Byte* In;
    std::int64_t InLeft;
    Byte* Out;
    std::int64_t OutLeft;
    std::int64_t Consumed = 0;
    std::int64_t Produced = 0;

    bool Done() const { return InLeft <= 0 || OutLeft <= 0; }
    bool HaveInput(std::int64_t n) const { return InLeft >= n; }
    Byte Next() {
        --InLeft;
        ++Consumed;
        return *In++;
    }
    void Skip(std::int64_t n) {
        n = std::min(n, InLeft);
        In += n;
        InLeft -= n;
        Consumed += n;
    }
    // Copies count units of unit bytes (cut at either end, whole units only
    // where possible; a last partial unit is copied as far as it goes).
    void Copy(std::int64_t units, int unit) {
        std::int64_t n = std::min({units * unit, InLeft, OutLeft});
        std::memcpy(Out, In, static_cast<std::size_t>(n));
        In += n;
        InLeft -= n;
        Consumed += n;
        Out += n;
        OutLeft -= n;
        Produced += n;
    }
    // Repeats the next unit count times; nothing when the unit is not all
    // there.
    void Repeat(std::int64_t units, int unit) {
        if (!HaveInput(unit)) {
            Skip(InLeft);
            return;
        }
        const Byte* value = In;
        Skip(unit);
        if (unit == 1) {
            std::int64_t n = std::min(units, OutLeft);
            std::memset(Out, *value, static_cast<std::size_t>(n));
            Out += n;
            OutLeft -= n;
            Produced += n;
            return;
        }
        for (std::int64_t i = 0; i < units && OutLeft > 0; ++i) {
            std::int64_t n = std::min<std::int64_t>(unit, OutLeft);
            std::memcpy(Out, value, static_cast<std::size_t>(n));
            Out += n;
            OutLeft -= n;
            Produced += n;
        }
    }
};

} // namespace

TRunLengthResult DecodeRunLength(TRunLengthVariant Variant, int UnitBytes, const Byte* Source,
                                 std::int64_t SourceSize, Byte* Dest, std::int64_t DestSize) {
    TRunCursor c{Source, std::max<std::int64_t>(SourceSize, 0), Dest,
                 std::max<std::int64_t>(DestSize, 0)};
    const int unit = std::clamp(UnitBytes, 1, 4);
    switch (Variant) {
    case TRunLengthVariant::Targa:
        while (!c.Done()) {
            Byte header = c.Next();
            std::int64_t count = (header & 0x7F) + 1;
            if (header & 0x80)
                c.Repeat(count, unit);
            else
                c.Copy(count, unit);
        }
        break;
    case TRunLengthVariant::PackBits:
        while (!c.Done()) {
            auto n = static_cast<std::int8_t>(c.Next());
            if (n >= 0)
                c.Copy(n + 1, 1);
            else if (n != -128)
                c.Repeat(1 - n, 1);
        }
        break;
    case TRunLengthVariant::PCX:
        while (!c.Done()) {
            Byte b = c.Next();
            if (b >= 192)
                c.Repeat(b & 0x3F, 1);
            else {
                *c.Out++ = b;
                --c.OutLeft;
                ++c.Produced;
            }
        }
        break;
    case TRunLengthVariant::SGI: {
        const int size = unit >= 2 ? 2 : 1;
        while (!c.Done()) {
            if (!c.HaveInput(size)) {
                c.Skip(c.InLeft);
                break;
            }
            unsigned header = c.Next();
            if (size == 2) header = (header << 8) | c.Next();
            std::int64_t count = header & 0x7F;
            if (count == 0) break;
            if (header & 0x80)
                c.Copy(count, size);
            else
                c.Repeat(count, size);
        }
        break;
    }
    case TRunLengthVariant::CUT:
        c.Skip(2);
        while (!c.Done()) {
            Byte header = c.Next();
            std::int64_t count = header & 0x7F;
            if (header == 0) break;
            if (header & 0x80)
                c.Repeat(count, 1);
            else
                c.Copy(count, 1);
        }
        break;
    case TRunLengthVariant::PSP:
        while (!c.Done()) {
            Byte a = c.Next();
            if (a > 128)
                c.Repeat(a - 128, 1);
            else
                c.Copy(a, 1);
        }
        break;
    case TRunLengthVariant::RLA:
        while (!c.Done()) {
            auto a = static_cast<std::int8_t>(c.Next());
            if (a < 0)
                c.Copy(-static_cast<int>(a), 1);
            else
                c.Repeat(a + 1, 1);
        }
        break;
    }
    return {c.Consumed, c.Produced};
}

void TRunLengthDecoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                               std::int64_t UnpackedSize) {
    TRunLengthResult r =
        DecodeRunLength(FVariant, FUnitBytes, Source, PackedSize, Dest, UnpackedSize);
    Source += r.Consumed;
    Dest += r.Produced;
}

namespace {
int TargaPixelBytes(int depth) {
    switch (depth) {
    case 8:
        return 1;
    case 15:
    case 16:
        return 2;
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        throw EDecoderError("Targa colour depth must be 8, 15, 16, 24 or 32 bits");
    }
}
int SGISampleBytes(int size) {
    if (size != 8 && size != 16) throw EDecoderError("SGI sample size must be 8 or 16 bits");
    return size / 8;
}
} // namespace

TTargaRLEDecoder::TTargaRLEDecoder(int ColorDepth)
    : TRunLengthDecoder(TRunLengthVariant::Targa, TargaPixelBytes(ColorDepth)),
      FBytesPerPixel(TargaPixelBytes(ColorDepth)) {}

TSGIRLEDecoder::TSGIRLEDecoder(int SampleSize)
    : TRunLengthDecoder(TRunLengthVariant::SGI, SGISampleBytes(SampleSize)) {}

void TTargaRLEDecoder::Encode(const Byte* Source, Byte* Dest, std::int64_t Count,
                              std::int64_t& BytesStored) {
    const int bpp = FBytesPerPixel;
    auto same = [&](std::int64_t a, std::int64_t b) {
        return std::memcmp(Source + a * bpp, Source + b * bpp, static_cast<std::size_t>(bpp)) == 0;
    };
    std::int64_t p = 0;
    while (p < Count) {
        if (p + 1 < Count && same(p, p + 1)) {
            // A run packet: one pixel stands for up to 128 equal ones.
            std::int64_t run = 2;
            while (p + run < Count && run < 128 && same(p, p + run))
                ++run;
            *Dest++ = static_cast<Byte>((run - 1) | 0x80);
            std::memcpy(Dest, Source + p * bpp, static_cast<std::size_t>(bpp));
            Dest += bpp;
            BytesStored += bpp + 1;
            p += run;
        } else {
            // A raw packet up to the next pair of equal neighbours.
            std::int64_t count = 1;
            while (p + count < Count && count < 128 &&
                   !(p + count + 1 < Count && same(p + count, p + count + 1)))
                ++count;
            *Dest++ = static_cast<Byte>(count - 1);
            std::memcpy(Dest, Source + p * bpp, static_cast<std::size_t>(count * bpp));
            Dest += count * bpp;
            BytesStored += count * bpp + 1;
            p += count;
        }
    }
}
