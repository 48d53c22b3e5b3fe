#include "banner/DocumentConverters.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "banner/BannerDocument.h"
#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Graphic.h"
#include "raster/Color32.h"
#include "raster/RasterCore.h"

namespace {

// Offsets of the old records past the shared part.
constexpr std::size_t V10ImageTransparent = 4112;
constexpr std::size_t V10ImageColor = 4113;
constexpr std::size_t V10ImageX = 4372;
constexpr std::size_t V10ImageY = 4376;
constexpr std::size_t V30TextPositions = 4380;
constexpr std::size_t V30AutoPositions = 4404;
constexpr std::size_t V30ValueEffects = 4408;
constexpr std::size_t V30GradientDirection = 4416;
constexpr std::size_t V30TemplateKeyColor = 4417;
constexpr std::size_t V30Forever = 4673;
constexpr std::size_t V30Loops = 4676;
constexpr std::size_t V30Transition = 4680;
constexpr std::size_t V30Speed = 4684;
constexpr std::size_t V40FirstTextEffect = 4688;
constexpr std::size_t V40BannerFormat = 4692;
constexpr std::size_t V40BannerHeight = 4696;
constexpr std::size_t V40BannerWidth = 4700;

constexpr int V10BannerWidth = 468;
constexpr int V10BannerHeight = 60;

// An old file taken apart: its record (zero where the file is short) and
// its pictures as read.
struct TOldFile {
    std::string Bytes;
    std::vector<std::uint8_t> Record;
    std::string_view Streams;
    std::vector<TBannerPictureStream> Read;

    std::int32_t Int32(std::size_t Offset) const {
        std::int32_t V;
        std::memcpy(&V, Record.data() + Offset, 4);
        return V;
    }
    void SetInt32(std::size_t Offset, std::int32_t V) {
        std::memcpy(Record.data() + Offset, &V, 4);
    }
    // The old short string at Offset, its unused bytes zeroed.
    TShortString Short(std::size_t Offset) const {
        TShortString S;
        std::memset(&S, 0, sizeof(S));
        S.Length = Record[Offset];
        std::memcpy(S.Chars, Record.data() + Offset + 1, S.Length);
        return S;
    }
    // The old pictures, read into empty bitmaps.
    void ReadPictures(std::span<TBitmap32> Pictures) {
        Read = ReadBannerPictures(Streams, Pictures);
    }
    // Writes picture Index of the new file: a picture that could not be read
    // is carried over as the old file holds it, never replaced by the empty
    // picture its failed reading left.
    void WritePicture(TStream& Out, int Index, const TBitmap32& Picture, int Width,
                      int Height) const {
        const std::size_t I = std::size_t(Index);
        if (I < Read.size() && !Read[I].Read && !Read[I].Raw.empty())
            Out.WriteBuffer(Read[I].Raw.data(), std::int64_t(Read[I].Raw.size()));
        else
            WriteBannerPicture(Out, Index, Picture, Width, Height);
    }
};

void ReadOldFile(const std::string& FileName, std::int32_t Version, std::size_t RecordSize,
                 TOldFile& Old) {
    LoadFileBytesOrRaise(FileName, Old.Bytes, MaxBannerFileSize);
    std::int32_t Found = 0;
    if (Old.Bytes.size() >= 4) std::memcpy(&Found, Old.Bytes.data(), 4);
    if (Found != Version) throw EBannerFileError(UnsupportedBannerFormatMessage);
    const std::string_view Body = std::string_view(Old.Bytes).substr(4);
    Old.Record.assign(RecordSize, 0);
    std::memcpy(Old.Record.data(), Body.data(), std::min(Body.size(), RecordSize));
    Old.Streams = Body.substr(std::min(Body.size(), RecordSize));
    InitGraphicsModule(); // picture streams name their colours
}

void WriteHeader(TMemoryStream& Out, std::int32_t Version, const void* Record, std::size_t Size) {
    Out.WriteBuffer(&Version, 4);
    Out.WriteBuffer(Record, std::int64_t(Size));
}

void PutShort(std::vector<std::uint8_t>& Record, std::size_t Offset, std::string_view Utf8) {
    TShortString S;
    S.Set(Utf8);
    std::memcpy(Record.data() + Offset, &S, sizeof(S));
}

} // namespace

std::string StandardTemplateFolder() {
    return ApplicationFolder() + "Back";
}

std::int32_t TemplateKeyColor(const std::string& TemplateFolder, std::int32_t TemplateNumber) {
    const std::string Path = IncludeTrailingPathDelimiter(TemplateFolder) + "b-" +
                             IntToStr(std::int64_t(TemplateNumber) + 1) + ".bmp";
    if (!FileExists(Path)) return DefaultTemplateKeyColor;
    InitGraphicsModule(); // the picture registry reads the bitmap
    TBitmap32 Template;
    try {
        Template.LoadFromPictureFile(Path);
    } catch (const Exception&) {
        return DefaultTemplateKeyColor;
    }
    if (Template.Width() <= 467 || Template.Height() <= 59) return DefaultTemplateKeyColor;
    return ToWinColor(Template.ReadPixel(467, 59));
}

void ConvertV10ToV30(const std::string& FileName, const std::string& TemplateFolder) {
    TOldFile Old;
    ReadOldFile(FileName, 10, BannerRecordSizeV10, Old);
    TBitmap32 Pictures[1];
    Old.ReadPictures(Pictures);

    Old.Record.resize(BannerRecordSizeV30, 0);
    for (std::size_t k = 0; k < 6; ++k)
        Old.SetInt32(V30TextPositions + 4 * k, 0);
    std::fill_n(Old.Record.begin() + V30AutoPositions, 3, 1);
    Old.SetInt32(V30ValueEffects, 0);
    Old.SetInt32(V30ValueEffects + 4, 0);
    Old.Record[V30GradientDirection] = 1;
    const std::int32_t Template = Old.Int32(offsetof(TBannerFileRecord, TemplateNumber));
    PutShort(Old.Record, V30TemplateKeyColor,
             TBannerDocument::ColorText(TemplateKeyColor(TemplateFolder, Template)));
    Old.Record[V30Forever] = 1;
    Old.SetInt32(V30Loops, 1);
    Old.SetInt32(V30Transition, 0);
    Old.SetInt32(V30Speed, 8);

    TMemoryStream Out;
    WriteHeader(Out, 30, Old.Record.data(), Old.Record.size());
    Old.WritePicture(Out, 0, Pictures[0], V10BannerWidth, V10BannerHeight);
    SaveFileAtomic(FileName, Out.View());
}

void ConvertV30ToV40(const std::string& FileName) {
    TOldFile Old;
    ReadOldFile(FileName, 30, BannerRecordSizeV30, Old);
    TBitmap32 Pictures[1];
    Old.ReadPictures(Pictures);

    Old.Record.resize(BannerRecordSizeV40, 0);
    Old.SetInt32(V40FirstTextEffect, 0);
    Old.SetInt32(V40BannerFormat, 0);
    Old.SetInt32(V40BannerHeight, V10BannerHeight);
    Old.SetInt32(V40BannerWidth, V10BannerWidth);

    TMemoryStream Out;
    WriteHeader(Out, 40, Old.Record.data(), Old.Record.size());
    Old.WritePicture(Out, 0, Pictures[0], V10BannerWidth, V10BannerHeight);
    WriteBannerPicture(Out, 1, TBitmap32(), V10BannerWidth, V10BannerHeight);
    SaveFileAtomic(FileName, Out.View());
}

void ConvertV40ToV50(const std::string& FileName, const TBitmap32& DefaultImage) {
    TOldFile Old;
    ReadOldFile(FileName, 40, BannerRecordSizeV40, Old);
    TBitmap32 Pictures[2]; // Image1, extimage
    Old.ReadPictures(Pictures);

    TBannerFileRecord R;
    std::memset(&R, 0, sizeof(R));
    std::memcpy(&R, Old.Record.data(), BannerRecordSharedSize);
    R.Text0Shadow.Set("0");
    R.Text1Shadow.Set("0\r0");
    for (int k = 0; k < 6; ++k)
        R.TextPositions[k] = Old.Int32(V30TextPositions + 4 * std::size_t(k));
    for (int k = 0; k < 3; ++k)
        R.AutoPositions[k] = Old.Record[V30AutoPositions + std::size_t(k)];
    R.ValueEffects[0] = Old.Int32(V30ValueEffects);
    R.ValueEffects[1] = Old.Int32(V30ValueEffects + 4);
    R.GradientDirection = Old.Record[V30GradientDirection];
    R.TemplateKeyColor = Old.Short(V30TemplateKeyColor);
    R.Forever = Old.Record[V30Forever];
    R.Loops = Old.Int32(V30Loops);
    R.Transition = Old.Int32(V30Transition);
    R.Speed = Old.Int32(V30Speed);
    R.FirstTextEffect = Old.Int32(V40FirstTextEffect);
    R.BannerFormat = Old.Int32(V40BannerFormat);
    R.BannerHeight = Old.Int32(V40BannerHeight);
    R.BannerWidth = Old.Int32(V40BannerWidth);
    R.ThreeValues = 0;
    R.Value3Effect = 0;
    R.ImageCount = 1;
    R.Images[0][0].Set(Old.Record[V10ImageTransparent] != 0 ? "1" : "0");
    R.Images[0][1] = Old.Short(V10ImageColor);
    R.Images[0][2].Set(IntToStr(Old.Int32(V10ImageX)));
    R.Images[0][3].Set(IntToStr(Old.Int32(V10ImageY)));
    R.Value3Position[0] = 0;
    R.Value3Position[1] = 0;
    R.Value3AutoPosition = 1;

    TMemoryStream Out;
    WriteHeader(Out, 50, &R, sizeof(R));
    Old.WritePicture(Out, 0, Pictures[0], R.BannerWidth, R.BannerHeight);
    Old.WritePicture(Out, 1, Pictures[1], R.BannerWidth, R.BannerHeight);
    WriteBannerPicture(Out, 2, DefaultImage, R.BannerWidth, R.BannerHeight);
    WriteBannerPicture(Out, 3, DefaultImage, R.BannerWidth, R.BannerHeight);
    SaveFileAtomic(FileName, Out.View());
}

void CheckOldDocument(const std::string& FileName, const TBannerFileConverter& Convert) {
    const std::string Scratch =
        TempFolder() + "quillomark-" + IntToStr(::getpid()) + "-conversion.qmkf";
    struct TRemove {
        const std::string& Name;
        ~TRemove() { DeleteFile(Name); }
    } Remove{Scratch};
    std::string Bytes;
    const auto Version = [&] {
        std::int32_t V = 0;
        if (Bytes.size() >= 4) std::memcpy(&V, Bytes.data(), 4);
        return V;
    };
    try {
        LoadFileBytesOrRaise(FileName, Bytes, MaxBannerFileSize);
        SaveFileAtomic(Scratch, Bytes);
        for (std::int32_t From = Version(); From != BannerFileVersion; From = Version()) {
            if (!IsOldBannerFileVersion(From)) return;
            Convert(Scratch, From);
            LoadFileBytesOrRaise(Scratch, Bytes, MaxBannerFileSize);
            if (Version() <= From) return;
        }
    } catch (const Exception&) {
        return;
    }
    TBannerDocument Banner;
    ReadBannerDocument(Banner, Bytes);
}

TBannerFileConverter MakeBannerFileConverter(const std::string& TemplateFolder,
                                             const TBitmap32& DefaultImage) {
    auto Default = std::make_shared<TBitmap32>();
    Default->Assign(&DefaultImage);
    return [TemplateFolder, Default](const std::string& FileName, int From) {
        switch (From) {
        case 10:
            ConvertV10ToV30(FileName, TemplateFolder);
            break;
        case 30:
            ConvertV30ToV40(FileName);
            break;
        case 40:
            ConvertV40ToV50(FileName, *Default);
            break;
        default:
            throw EBannerFileError(UnsupportedBannerFormatMessage);
        }
    };
}
