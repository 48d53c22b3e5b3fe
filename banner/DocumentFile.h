#pragma once
// The banner document file (extension qmkf), version 50: an int32 version,
// one fixed settings record of 8044 bytes, then the four pictures as
// TImage32 component streams ("Image1", "extimage", "Extimage1",
// "extimage2").
//
// SaveBannerDocument writes the whole file to memory and replaces the file
// atomically. LoadBannerDocument reads a version-50 file into a document; it
// decodes and checks everything first and changes the document only when the
// whole record is sound, so a failed open leaves the open banner as it was.
// Older versions (10, 30, 40) go through the caller's question and converter;
// any other version is refused with EBannerFileError carrying the message the
// editor shows.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/graphics/Colors.h"

class TBannerDocument;
struct TImageElement;
struct TTextElement;
class TBitmap32;
class TStream;

QM_DECLARE_EXCEPTION(EBannerFileError, Exception);

static_assert(std::endian::native == std::endian::little,
              "the file record is read and written in the host's byte order");

constexpr std::int32_t BannerFileVersion = 50;
// The older versions the converters take to the current one.
constexpr bool IsOldBannerFileVersion(std::int32_t Version) {
    return Version == 10 || Version == 30 || Version == 40;
}
constexpr const char* BannerFileExtension = "qmkf";
constexpr const char* BannerFileFilter = "Fichier Quillomark (*.qmkf)|*.qmkf";

// Asked (warning, OK and Cancel) before an old file is converted in place.
constexpr const char* OldBannerFormatQuestion =
    "Ce fichier possède un format ancien. Pour l'ouvrir vous devez le convertir au format "
    "actuel. Voulez-vous le convertir ?\r\rAttention, vous ne pourrez plus ouvrir le fichier "
    "avec l'ancienne version de Quillomark Free avec laquelle il a été créé.";
// Raised for any version other than 10, 30, 40 and 50.
constexpr const char* UnsupportedBannerFormatMessage =
    "Format de fichier non supporté par cette version (utilisez une version plus récente de "
    "Quillomark Free).";
// Leads the reason a document cannot be read (a cut or damaged file): the
// conversion error of its settings, EmptyDocumentReason or CutDocumentReason.
std::string DamagedDocumentMessage(const std::string& FileName);
constexpr const char* EmptyDocumentReason = "il ne contient aucune bannière.";
constexpr const char* CutDocumentReason = "il s'arrête avant la fin de la bannière.";

// The characters a counted string of the record holds.
constexpr int ShortStringChars = 255;

// A counted 8-bit string of the record: length byte, characters in
// Windows-1252, zeros up to 256 bytes.
struct TShortString {
    std::uint8_t Length;
    char Chars[ShortStringChars];

    // Converts to Windows-1252 ("?" for what it cannot hold), then keeps at
    // most 255 characters; the rest of the 256 bytes becomes zero.
    void Set(std::string_view Utf8);
    std::string Get() const;
};
static_assert(sizeof(TShortString) == 256);

// The settings record, laid out byte for byte as the file holds it.
struct TBannerFileRecord {
    std::uint8_t Composition;
    TShortString Text0Values;
    TShortString Text1Values;
    TShortString Text0Color;
    TShortString Text0Font;
    TShortString Text0Style;
    TShortString Text0Size;
    TShortString Text1Color;
    TShortString Text1Font;
    TShortString Text1Style;
    TShortString Text1Size;
    std::uint8_t Reserved1[3];
    std::int32_t TemplateNumber;
    std::int32_t BackgroundKind;
    TShortString ClColor;
    TShortString Cg1Color;
    TShortString Cg2Color;
    TShortString Cc1Color;
    TShortString Cc2Color;
    std::uint8_t BorderLeft;
    std::uint8_t BorderRight;
    std::uint8_t BorderTop;
    std::uint8_t BorderBottom;
    TShortString BorderColor;
    std::int32_t TextPositions[6];
    std::uint8_t AutoPositions[3];
    std::uint8_t Reserved2;
    std::int32_t ValueEffects[2];
    std::uint8_t GradientDirection;
    TShortString TemplateKeyColor;
    std::uint8_t Forever;
    std::uint8_t Reserved3[2];
    std::int32_t Loops;
    std::int32_t Transition;
    std::int32_t Speed;
    std::int32_t FirstTextEffect;
    std::int32_t BannerFormat;
    std::int32_t BannerHeight;
    std::int32_t BannerWidth;
    std::uint8_t ThreeValues;
    std::uint8_t Reserved4[3];
    std::int32_t Value3Effect;
    TShortString Text0Shadow;
    TShortString Text1Shadow;
    std::int32_t ImageCount;
    TShortString Images[3][4]; // transparent flag, transparent colour, x, y
    std::int32_t Value3Position[2];
    std::uint8_t Value3AutoPosition;
    // The entry effect (TImageEffect) of images 1, 2, 3 (composition 2). A
    // user's effect must come back from the file; these bytes were padding,
    // so a file that predates them reads as no effect, and a reader that
    // does not know them loses only the effect.
    std::uint8_t ImageEffects[3];
};
static_assert(sizeof(TBannerFileRecord) == 8044);
static_assert(offsetof(TBannerFileRecord, Text0Values) == 1);
static_assert(offsetof(TBannerFileRecord, Text1Size) == 2305);
static_assert(offsetof(TBannerFileRecord, TemplateNumber) == 2564);
static_assert(offsetof(TBannerFileRecord, ClColor) == 2572);
static_assert(offsetof(TBannerFileRecord, BorderLeft) == 3852);
static_assert(offsetof(TBannerFileRecord, BorderColor) == 3856);
static_assert(offsetof(TBannerFileRecord, TextPositions) == 4112);
static_assert(offsetof(TBannerFileRecord, ValueEffects) == 4140);
static_assert(offsetof(TBannerFileRecord, GradientDirection) == 4148);
static_assert(offsetof(TBannerFileRecord, TemplateKeyColor) == 4149);
static_assert(offsetof(TBannerFileRecord, Forever) == 4405);
static_assert(offsetof(TBannerFileRecord, Loops) == 4408);
static_assert(offsetof(TBannerFileRecord, BannerWidth) == 4432);
static_assert(offsetof(TBannerFileRecord, ThreeValues) == 4436);
static_assert(offsetof(TBannerFileRecord, Value3Effect) == 4440);
static_assert(offsetof(TBannerFileRecord, Text0Shadow) == 4444);
static_assert(offsetof(TBannerFileRecord, ImageCount) == 4956);
static_assert(offsetof(TBannerFileRecord, Images) == 4960);
static_assert(offsetof(TBannerFileRecord, Value3Position) == 8032);
static_assert(offsetof(TBannerFileRecord, Value3AutoPosition) == 8040);
static_assert(offsetof(TBannerFileRecord, ImageEffects) == 8041);

// One picture stream of the file, Index 0..3 in file order (Image1,
// extimage, Extimage1, extimage2); the external background (1) is placed at
// the banner's size.
void WriteBannerPicture(TStream& S, int Index, const TBitmap32& Picture, int BannerWidth,
                        int BannerHeight);
// Reads one picture stream into Picture: a stream without "Bitmap.Data"
// gives an empty picture, one that cannot be read empties it and returns
// false (never raises for that).
bool ReadBannerPicture(TStream& S, TBitmap32& Picture);

// One picture stream of a file as read: whether it was read, and its bytes
// as the file holds them (what a converter carries over when it was not).
struct TBannerPictureStream {
    bool Read = false;
    std::string_view Raw;
};
// Reads the picture streams that follow a record into Pictures (Image1,
// extimage, Extimage1, extimage2, as many as given). A stream that cannot be
// read empties its picture only: reading goes on at the next stream, found
// by its header. A picture the bytes do not hold is empty and not read.
std::vector<TBannerPictureStream> ReadBannerPictures(std::string_view Streams,
                                                     std::span<TBitmap32> Pictures);

// The colours of a record, converted before anything changes: a colour text
// that is not a colour raises the conversion error.
struct TBannerRecordColors {
    TColor Cl, cg1, cg2, cc1, cc2, clbord, cp1;
};
TBannerRecordColors ReadRecordColors(const TBannerFileRecord& Record);

// The text elements of a record's composition, and its image elements
// (composition 2; positions brought within the drawable range, an effect
// this version does not know read as none).
std::vector<TTextElement> RecordTexts(const TBannerFileRecord& Record);
std::vector<TImageElement> RecordImages(const TBannerFileRecord& Record);

// What the document reader and the create-from-example command take from a
// record alike: the text and image elements of the record's composition,
// "three", the template number, the colours (except the key colour), the
// borders, the first six text positions, the value effects, the gradient
// direction and the animation settings (kept within the controls' ranges).
// Each caller adds what it takes differently.
void ApplyBannerRecord(TBannerDocument& Document, const TBannerFileRecord& Record,
                       const TBannerRecordColors& Colors);

// The record of a document, zero where the document has nothing to store.
TBannerFileRecord MakeBannerFileRecord(const TBannerDocument& Document);

// The whole file as bytes: version 50, the record, the four picture streams.
std::string BannerDocumentBytes(const TBannerDocument& Document);
// Writes the file atomically; the document is not changed (the caller marks
// it saved).
void SaveBannerDocument(const TBannerDocument& Document, const std::string& FileName);

// Answers the old-format question: true for OK.
using TBannerConvertQuestion = std::function<bool(const std::string& Question)>;
// Converts FileName in place from version From to the next version (10 to
// 30, 30 to 40, 40 to 50); raises on failure.
using TBannerFileConverter = std::function<void(const std::string& FileName, int From)>;

// Reads the version-50 file in Bytes into Document (which fires OnChange
// once). Raises EBannerFileError for a version other than 50 or a
// composition outside 1..3, EConvertError for a colour text that is not a
// colour; the document is then unchanged. A picture stream that cannot be
// read empties that picture only; a stream without "Bitmap.Data" leaves it.
void ReadBannerDocument(TBannerDocument& Document, std::string_view Bytes);

// The open command's reading. Returns the version the file has when reading
// ends: 50 when the document was loaded; 10, 30 or 40 when the question was
// not answered OK (or no converter is given), the document then unchanged.
// An OK answer converts step by step and reads again, so a version-10 file is
// asked about twice (the second time as version 40). A file that cannot be
// read raises EFOpenError; bad contents raise as ReadBannerDocument.
int LoadBannerDocument(TBannerDocument& Document, const std::string& FileName,
                       const TBannerConvertQuestion& Ask = nullptr,
                       const TBannerFileConverter& Convert = nullptr);

// Largest file the reader accepts (four pictures of the largest size a
// bitmap stream may hold fit well inside).
constexpr std::uint64_t MaxBannerFileSize = std::uint64_t(1) << 30;
