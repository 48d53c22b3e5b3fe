#include "imageio/RlaReader.h"

#include <cstring>
#include <string>
#include <vector>

#include "imageio/DecoderRle.h"
#include "imageio/ReaderBytes.h"
#include "imageio/ReaderFactories.h"
#include "platform/base/Text.h"

using namespace readerbytes;

namespace {
constexpr const char* Label = "RLA";
constexpr int HeaderSize = 740;

// Header fields, big-endian numbers; everything else is text.
constexpr int hActiveLeft = 8, hActiveRight = 10, hActiveBottom = 12, hActiveTop = 14;
constexpr int hNumChan = 20, hNumMatte = 22, hRevision = 26;
constexpr int hGamma = 28;    // 16 characters
constexpr int hChannel = 580; // 32 characters: "rgb", "xyz", ...
constexpr int hChanBits = 658, hMatteBits = 662;

std::string FieldText(const Byte* p, std::size_t n) {
    std::size_t len = 0;
    while (len < n && p[len] != 0)
        ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}

// The gamma text as a number; false when it is not one.
bool ParseGamma(const std::string& text, float& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::size_t end = text.size();
    while (end > i && text[end - 1] == ' ')
        --end;
    if (i == end) return false;
    double v = 0;
    double scale = 0;
    bool digits = false;
    for (std::size_t k = i; k < end; ++k) {
        const char c = text[k];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (scale == 0) {
                v = v * 10 + (c - '0');
            } else {
                v += (c - '0') * scale;
                scale /= 10;
            }
        } else if (c == '.' && scale == 0) {
            scale = 0.1;
        } else {
            return false;
        }
        if (v > 1e6) return false;
    }
    if (!digits) return false;
    value = static_cast<float>(v);
    return true;
}
} // namespace

bool TRLAGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    std::vector<Byte> h(HeaderSize);
    if (Remaining(Stream) > HeaderSize && Stream.Read(h.data(), HeaderSize) == HeaderSize) {
        const std::string channel = LowerCase(FieldText(h.data() + hChannel, 32));
        ok = BE16(h.data() + hRevision) == 0xFEFF && (channel == "rgb" || channel == "xyz");
    }
    Stream.SetPosition(start);
    return ok;
}

bool TRLAGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::ReadHeader(Stream);
    std::vector<Byte> h(HeaderSize);
    if (Stream.Read(h.data(), HeaderSize) != HeaderSize) return false;
    const Byte* b = h.data();
    auto s16 = [b](int at) { return static_cast<std::int16_t>(BE16(b + at)); };
    TImageProperties& p = FImageProperties;
    p.Options = ioBigEndian;
    FChannels = s16(hNumChan);
    FMattes = s16(hNumMatte);
    FMatteBits = s16(hMatteBits);
    p.SamplesPerPixel = static_cast<Byte>(std::clamp(FChannels + (FMattes > 0 ? 1 : 0), 0, 255));
    p.BitsPerSample = static_cast<Byte>(std::clamp<int>(s16(hChanBits), 0, 255));
    p.BitsPerPixel = static_cast<Byte>(p.BitsPerSample * p.SamplesPerPixel);
    float gamma = 1.0f;
    if (ParseGamma(FieldText(b + hGamma, 16), gamma) && gamma > 0) p.FileGamma = gamma;
    // The data covers the active window.
    const int left = s16(hActiveLeft), right = s16(hActiveRight);
    const int bottom = s16(hActiveBottom), top = s16(hActiveTop);
    p.Width = right - left + 1;
    p.Height = std::abs(top - bottom) + 1;
    p.BottomUp = bottom < top;
    p.ColorScheme = FMattes > 0 ? csRGBA : csRGB;
    p.HasAlpha = FMattes > 0;
    p.Compression = ctRLE;
    p.Version = BE16(b + hRevision);
    return p.Width > 0 && p.Height > 0;
}

void TRLAGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    // A header that cannot be read is refused, so that whoever asked for the
    // picture keeps what it had.
    if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {Label});
    TImageProperties& p = FImageProperties;
    // Each channel is coded in bytes: three (or four) 8-bit channels only.
    if (FChannels != 3 || p.BitsPerSample != 8 || (FMattes > 0 && FMatteBits != 8))
        RaiseReaderError(SInvalidColorFormat, {Label});
    const int samples = p.SamplesPerPixel;
    CheckImageSize(p.Width, p.Height, samples * 8, Label);

    TColorManager& cm = FColorManager;
    cm.SetSourceOptions(0);
    cm.SetSourceSamplesPerPixel(static_cast<Byte>(samples));
    cm.SetTargetSamplesPerPixel(static_cast<Byte>(samples));
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(8);
    cm.SetSourceColorScheme(static_cast<TColorScheme>(p.ColorScheme));
    cm.SetTargetColorScheme(p.ColorScheme == csRGBA ? csBGRA : csBGR);
    if (p.FileGamma != 1.0f) {
        // The header names the display gamma the samples were corrected for
        // (2.2 for most files): only the rest is left for the table.
        cm.SetGamma(1.0f / p.FileGamma, 2.2f);
        cm.SetTargetOptions(static_cast<TConvertOptions>(cm.TargetOptions() | coApplyGamma));
        p.Options |= ioUseGamma;
    }
    const int width = p.Width;
    const int height = p.Height;
    // The row table, then for every row and channel a length word and runs.
    TRLADecoder decoder;
    const std::int64_t tableBytes = static_cast<std::int64_t>(height) * 4;
    CheckDataHolds(Remaining(Stream), 1, tableBytes * (1 + samples / 2), Label);
    CheckDataHolds(Remaining(Stream), decoder.MaxExpansion(),
                   std::int64_t(width) * height * samples, Label);
    SetPixelFormat(cm.TargetPixelFormat());
    SetSize(p.Width, p.Height);

    std::vector<Byte> table(static_cast<std::size_t>(tableBytes));
    ReadExact(Stream, table.data(), tableBytes, Label);

    std::vector<std::vector<Byte>> planes(samples, std::vector<Byte>(width));
    std::vector<const Byte*> sources(samples);
    for (int k = 0; k < samples; ++k)
        sources[k] = planes[k].data();
    ProgressStart(STransfering);
    for (int i = 0; i < height; ++i) {
        SeekTo(Stream, FBasePosition + BE32(table.data() + i * 4), Label);
        for (int k = 0; k < samples; ++k) {
            Byte lb[2];
            ReadExact(Stream, lb, 2, Label);
            const Word length = BE16(lb);
            std::vector<Byte> packed(length);
            ReadExact(Stream, packed.data(), length, Label);
            std::fill(planes[k].begin(), planes[k].end(), 0);
            const Byte* src = packed.data();
            Byte* dst = planes[k].data();
            decoder.Decode(src, dst, length, width);
        }
        cm.ConvertPixels(sources, ScanLine(p.BottomUp ? height - 1 - i : i), width);
        ProgressRow(i);
    }
    ProgressEnd();
}

std::unique_ptr<TGraphic> CreateRLAGraphic() {
    return std::make_unique<TRLAGraphic>();
}
