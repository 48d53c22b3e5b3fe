#pragma once
// The picture-reader framework: TReaderGraphic, the bitmap base of every
// reader, with its image properties, its colour manager and the load frame
// the readers share; TFileFormatList, the list of extensions the readers are
// registered under, which passes every registration on to TPicture's
// registry. InitPictureReaders registers the 39 extensions once;
// DonePictureReaders removes them again.
//
// A class is chosen by the file's extension alone (TPicture does it); the
// magic tests (AcceptsStream) are there for callers that want to sniff.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "imageio/PictureColors.h"
#include "platform/base/Format.h"
#include "platform/base/Types.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"

using TCardinalArray = std::vector<std::uint32_t>;
using TByteArray = std::vector<Byte>;

// Option bits of TImageProperties::Options.
using TImageOptions = Byte;
constexpr TImageOptions ioTiled = 0x01;      // TIFF tile tags present
constexpr TImageOptions ioBigEndian = 0x02;  // TIFF "MM", every PNG
constexpr TImageOptions ioMinIsWhite = 0x04; // TIFF photometric 0
constexpr TImageOptions ioReversed = 0x08;   // TIFF fill order 2
constexpr TImageOptions ioUseGamma = 0x10;   // PNG gAMA given

// Internal compression numbers (TIFF tag 259 maps onto them; the other
// formats use the few that apply).
enum TCompressionType : Byte {
    ctUnknown = 0,
    ctNone = 1,
    ctRLE = 2,
    ctPackedBits = 3,
    ctLZW = 4,
    ctFax3 = 5,
    ctFaxRLE = 6,
    ctFax4 = 7,
    ctFaxRLEW = 8,
    ctLZ77 = 9, // deflate
    ctJPEG = 10,
    ctOJPEG = 11,
    ctThunderscan = 12,
    ctNext = 13,
    ctIT8CTPAD = 14,
    ctIT8LW = 15,
    ctIT8MP = 16,
    ctIT8BL = 17,
    ctPixarFilm = 18,
    ctPixarLog = 19,
    ctDCS = 20,
    ctJBIG = 21,
    ctPCDHuffmann = 22
};

// What a reader learns from a file's header (ReadHeader fills it).
struct TImageProperties {
    std::uint32_t Version = 0;
    TImageOptions Options = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    TColorScheme ColorScheme = csUnknown;
    Byte BitsPerSample = 0;
    Byte SamplesPerPixel = 0;
    Byte BitsPerPixel = 0;
    TCompressionType Compression = ctUnknown;
    float FileGamma = 1.0f;
    float XResolution = 0.0f; // dots per inch
    float YResolution = 0.0f;
    bool Interlaced = false;
    bool HasAlpha = false;
    std::uint32_t FirstIFD = 0;
    std::uint32_t PlanarConfig = 0;
    std::uint32_t TileWidth = 0;
    std::uint32_t TileLength = 0;
    TCardinalArray RowsPerStrip;
    TByteArray YCbCrSubSampling;
    std::uint32_t JPEGColorMode = 0;
    std::uint32_t JPEGTablesMode = 0;
    std::uint32_t Predictor = 0;
    bool Overview = false;
    Byte Rotation = 0;
    bool BottomUp = false;
    Byte PSDMode = 0;
    Byte FilterMode = 0;
};

// Messages of the readers (French, as the user reads them). The %s is the
// reader's label ("PNG", "TIF/TIFF", ...).
inline constexpr const char* SInvalidImage =
    "Ne peux pas charger l'image. Format de fichier %s invalide ou inattendue.";
inline constexpr const char* SInvalidColorFormat = "Format de couleur invalide dans le fichier %s.";
inline constexpr const char* SStreamReadError = "Erreur de lecture de flux dans le fichier %s.";
// First argument SCompressionFeature (or another feature), second the label.
inline constexpr const char* SUnsupportedFeature =
    "Ne peux pas charger l'image. %s pas supporté par les fichiers %s.";
inline constexpr const char* SCompressionFeature = "Le procédé de compression n'est";
inline constexpr const char* SInvalidCRC =
    "Ne peux pas charger l'image. Erreur de CRC dans le fichier %s.";
inline constexpr const char* SCompressionError =
    "Ne peux pas charger l'image. Erreur de compression dans le fichier %s.";
inline constexpr const char* SExtraCompressedData =
    "Ne peux pas charger l'image. Surplus de données compressé trouvé dans le fichier %s.";
inline constexpr const char* SInvalidPalette =
    "Ne peux pas charger l'image. La palette du fichier %s est invalide.";
inline constexpr const char* SUnknownCriticalChunk =
    "Ne peux pas charger l'image PNG. Morceau inattendue, mais critique détecté.";
inline constexpr const char* SRegistration = "Tentative de re-enregistrement des fichiers %s.";

// Progress texts.
inline constexpr const char* SPreparing = "Préparation...";
inline constexpr const char* SLoadingData = "Chargement des données...";
inline constexpr const char* SUpsampling = "Upsampling...";
inline constexpr const char* STransfering = "Transfert...";

// Base of the picture readers: a bitmap that loads itself from another file
// format. It owns one colour manager for its whole life and the image
// properties of the last header read.
class TReaderGraphic : public TBitmap {
public:
    QM_CLASSNAME(TReaderGraphic)
    TReaderGraphic();
    ~TReaderGraphic() override;

    // Opens the file read-only and answers AcceptsStream for it (false when
    // it cannot be opened).
    virtual bool AcceptsFile(const std::string& FileName);
    // Magic test from the stream's position, which is restored. The base
    // answers false. Does not depend on the object's state.
    virtual bool AcceptsStream(TStream& Stream);
    // Fills the image properties from the header without reading pixels;
    // true when the header is valid. The base clears the properties (FileGamma
    // 1.0) and answers false; every reader calls it first.
    virtual bool ReadHeader(TStream& Stream);

    // Copies the image properties when Source is a reader, then the pixels.
    void Assign(const TPersistent* Source) override;

    const TImageProperties& ImageProperties() const { return FImageProperties; }
    TColorManager& ColorManager() { return FColorManager; }

    // Raise EInvalidGraphic with Message, or with Fmt formatted with Args.
    [[noreturn]] static void RaiseReaderError(const std::string& Message);
    [[noreturn]] static void RaiseReaderError(const std::string& Fmt,
                                              std::initializer_list<TVarRec> Args);

    // Byte order: swap Count 16-bit or 32-bit words in place, or one value.
    static void SwapShort(Word* P, std::size_t Count);
    static void SwapLong(std::uint32_t* P, std::size_t Count);
    static std::uint32_t SwapLong(std::uint32_t Value);

    // Undo horizontal differencing over a row of 8-bit samples with 1, 3 or 4
    // samples per pixel: P is the row's first pixel and the Count pixels
    // after it are restored (the row holds Count + 1 pixels), left to right,
    // modulo 256.
    static void Depredict1(Byte* P, std::size_t Count);
    static void Depredict3(Byte* P, std::size_t Count);
    static void Depredict4(Byte* P, std::size_t Count);

protected:
    // The load frame the readers share. BeginLoad empties the bitmap and
    // remembers the stream and its position.
    void BeginLoad(TStream& Stream);
    // Raises SInvalidImage with Label unless both sides are > 0 and
    // BitsPerPixel is sane, and SPictureTooLarge beyond the picture-size
    // limit every reader shares (PixelFormat.h).
    void CheckImageSize(std::int64_t Width, std::int64_t Height, int BitsPerPixel,
                        const std::string& Label) const;
    // Before a picture is allocated: raises SStreamReadError with Label when
    // CodedBytes of data, each standing for at most MaxExpansion bytes
    // (1 when stored), cannot hold the DecodedBytes the header announces.
    static void CheckDataHolds(std::int64_t CodedBytes, std::int64_t MaxExpansion,
                               std::int64_t DecodedBytes, const std::string& Label);
    // ProgressRect = (0, 0, Width, 1) (the header's width while the bitmap is
    // still empty); stage starting, 0 %, with Message.
    void ProgressStart(const std::string& Message);
    // Stage running, Row x 100 / Height, redraw; ProgressRect moves down a row.
    void ProgressRow(int Row);
    void ProgressEnd();

    TColorManager FColorManager;
    TImageProperties FImageProperties;
    std::int64_t FBasePosition = 0; // file offsets are relative to it
    TStream* FStream = nullptr;     // the stream being read (during a load)
    TRect FProgressRect;
};

// Format-type bits of a registered extension.
using TFormatTypes = Byte;
constexpr TFormatTypes ftLayered = 2;
constexpr TFormatTypes ftMultiImage = 4;
constexpr TFormatTypes ftRaster = 8;
constexpr TFormatTypes ftVector = 16;

struct TClassEntry {
    TGraphicClass GraphicClass;
    std::string Description; // common description of the class
    int Count = 0;           // extension entries that point here
};

struct TExtensionEntry {
    std::string Extension;   // without the point, as registered
    std::string Description; // own description ("" to use the class's)
    TFormatTypes FormatTypes = 0;
    TClassEntry* ClassReference = nullptr;
};

// The extensions the readers are registered under. Owns its entries; each
// registration is passed on to TPicture::RegisterFileFormat and removals
// unregister the class there once its last extension goes.
class TFileFormatList : public TObject {
public:
    QM_CLASSNAME(TFileFormatList)
    TFileFormatList();
    // Removes and unregisters everything that remains.
    ~TFileFormatList() override;
    TFileFormatList(const TFileFormatList&) = delete;
    TFileFormatList& operator=(const TFileFormatList&) = delete;

    // An empty extension does nothing; a listed one (any case) raises
    // SRegistration unless Replace, which re-points it to GraphicClass.
    // RegisterDefault is carried but not used.
    void AddFileFormat(const std::string& Extension, const std::string& CommonDescription,
                       const std::string& OwnDescription, TFormatTypes FormatTypes,
                       bool RegisterDefault, bool Replace, const TGraphicClass& GraphicClass);
    // With an extension: that entry only (the class is unregistered with its
    // last extension). With an empty one: every extension of the class.
    void RemoveFileFormat(const std::string& Extension, const TGraphicClass& GraphicClass);
    void RemoveAll();
    // Case-insensitive; -1 when absent or empty.
    int IndexOfExtension(const std::string& Extension) const;
    // By class name; -1 when absent.
    int IndexOfClass(const TGraphicClass& GraphicClass) const;
    int IndexOfClass(const std::string& ClassName) const;

    int ExtensionCount() const { return static_cast<int>(FExtensionList.size()); }
    const TExtensionEntry& Extension(int Index) const { return *FExtensionList.at(Index); }
    int ClassCount() const { return static_cast<int>(FClassList.size()); }
    const TClassEntry& Class(int Index) const { return *FClassList.at(Index); }
    // The description the class library shows for an entry (its own, else
    // its class's).
    std::string DescriptionOf(int ExtensionIndex) const;

private:
    TClassEntry* FindOrAddClass(const TGraphicClass& GraphicClass);
    void ReleaseClass(TClassEntry* Entry);
    std::vector<std::unique_ptr<TClassEntry>> FClassList;
    std::vector<std::unique_ptr<TExtensionEntry>> FExtensionList;
};

// Creates the global list and registers the 39 extensions (once; further
// calls do nothing).
void InitPictureReaders();
// Removes the readers' registrations and frees the list (once).
void DonePictureReaders();
// The global list (nullptr outside Init/Done).
TFileFormatList* FileFormatList();
