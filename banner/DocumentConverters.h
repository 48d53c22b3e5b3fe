#pragma once
// Converters of old banner files (versions 10, 30 and 40). Each one reads the
// whole file, builds the next version's record and pictures and replaces the
// file atomically with them, so the file is always in one layout or the
// other. The old records share their first 4112 bytes with the current
// record; what follows differs per version.
//
// Old pictures are read into empty bitmaps: a picture the old file lacks
// comes out empty, never borrowed from whatever banner is open. A picture
// stream that cannot be read is carried into the new file byte for byte, so
// a conversion never turns a damaged picture into a lost one; the other
// pictures are converted as usual.
#include <cstdint>
#include <string>

#include "banner/DocumentFile.h"

class TBitmap32;

// Byte size of the old records (offsets from the start of the record).
constexpr std::size_t BannerRecordSizeV10 = 4380;
constexpr std::size_t BannerRecordSizeV30 = 4688;
constexpr std::size_t BannerRecordSizeV40 = 4704;
// The part every version shares: composition, texts, background, border.
constexpr std::size_t BannerRecordSharedSize = 4112;

// Key colour of a version-10 banner whose template picture is missing.
constexpr std::int32_t DefaultTemplateKeyColor = 10079487; // $0099CCFF

// Each raises EFOpenError when the file cannot be read, EBannerFileError
// when it is not of the version the converter takes, and the file error of
// the atomic save when it cannot be written.
//
// TemplateFolder is the folder of the standard templates ("b-<n>.bmp"), whose
// pixel (467, 59) gives the key colour.
void ConvertV10ToV30(const std::string& FileName, const std::string& TemplateFolder);
void ConvertV30ToV40(const std::string& FileName);
// Images 2 and 3, which version 40 did not have, get copies of DefaultImage.
void ConvertV40ToV50(const std::string& FileName, const TBitmap32& DefaultImage);

// The key colour version 10 leaves out: pixel (467, 59) of template
// TemplateNumber, or DefaultTemplateKeyColor when that picture is missing,
// unreadable or too small.
std::int32_t TemplateKeyColor(const std::string& TemplateFolder, std::int32_t TemplateNumber);
// The folder "Back" beside the executable.
std::string StandardTemplateFolder();

// Converts a scratch copy of the old document FileName with Convert, step by
// step up to the current version, and reads it into a scratch banner, raising
// what that reading raises (EBannerFileError, EConvertError): a damaged old
// document is told before the user is asked to convert it and before its own
// file is rewritten in a form that still could not be opened. A copy that
// cannot be made or converted is passed over: converting the file itself
// reports that.
void CheckOldDocument(const std::string& FileName, const TBannerFileConverter& Convert);

// The converter LoadBannerDocument calls, one step per call. DefaultImage is
// copied.
TBannerFileConverter MakeBannerFileConverter(const std::string& TemplateFolder,
                                             const TBitmap32& DefaultImage);
