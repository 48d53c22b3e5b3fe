#pragma once
// Shared vocabulary of the GIF subsystem: the enumerations with their fixed
// values, the paint-flag and optimise-step bits, the block constants of the
// GIF format, the exception and every message text the subsystem shows.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/graphics/PixelFormat.h"

// ---------------------------------------------------------------- enumerations

enum TGIFReductionMethod : Byte {
    rdmKeep24Bit = 0,
    rdmStockPalette = 1,
    rdmHalftonePalette = 2,
    rdmFourGrays = 3,
    rdmBlackWhite = 4,
    rdmGrayRamp = 5,
    rdmWebCube = 6,
    rdmOctree = 7,
    rdmOctreeStatic = 8,
    rdmCallerPalette = 9
};

enum TGIFDitherKernel : Byte {
    dkNearestColor = 0,
    dkFloydSteinberg = 1,
    dkStucki = 2,
    dkSierra = 3,
    dkJarvisJudiceNinke = 4,
    dkStevensonArce = 5,
    dkBurkes = 6
};

enum TGIFDisposal : Byte {
    gdNotSpecified = 0,
    gdLeaveInPlace = 1,
    gdRestoreBackground = 2,
    gdRestorePrevious = 3
};

enum TGIFPixelCoding : Byte { gpcLZW = 0, gpcRunLength = 1 };

// Version of a block or of a whole image: 0 when unknown (an image without
// frames), 1 "87a", 2 "89a".
enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

enum TGIFSeverity : int { gsInfo, gsWarning, gsError };

// Bit set of 16 bits controlling how an image is painted.
using TGIFPaintFlags = Word;
constexpr TGIFPaintFlags gpfThreaded = 0x001;
constexpr TGIFPaintFlags gpfMaskTransparent = 0x002;
constexpr TGIFPaintFlags gpfStepFrames = 0x004;
constexpr TGIFPaintFlags gpfHonourRepeats = 0x008;
constexpr TGIFPaintFlags gpfRepeatForever = 0x010;
constexpr TGIFPaintFlags gpfValidateTarget = 0x020;
constexpr TGIFPaintFlags gpfDirectToCanvas = 0x040;
constexpr TGIFPaintFlags gpfClearEachPass = 0x080;
constexpr TGIFPaintFlags gpfTileTarget = 0x100;
constexpr TGIFPaintFlags gpfDitherFrames = 0x200;
constexpr TGIFPaintFlags gpfDitherLowColor = 0x400;

// Bit set of the optimiser's steps.
using TGIFOptimizeSteps = Byte;
constexpr TGIFOptimizeSteps osTrimFrames = 0x01;
constexpr TGIFOptimizeSteps osCombineFrames = 0x02;
constexpr TGIFOptimizeSteps osRemoveRedundant = 0x04;
constexpr TGIFOptimizeSteps osPackColorMaps = 0x08;
constexpr TGIFOptimizeSteps osValidateReduction = 0x10;
constexpr TGIFOptimizeSteps osAllSteps = 0x1F;

// (sender, severity, message)
using TGIFWarning =
    std::function<void(TObject* Sender, TGIFSeverity Severity, const std::string& Message)>;

// ------------------------------------------------------------ format constants

// Block introducers of the GIF stream.
constexpr Byte bsExtensionIntroducer = 0x21; // '!'
constexpr Byte bsImageSeparator = 0x2C;      // ','
constexpr Byte bsTrailer = 0x3B;             // ';'

// Extension labels.
constexpr Byte bsPlainTextExtension = 0x01;
constexpr Byte bsGraphicControlExtension = 0xF9;
constexpr Byte bsCommentExtension = 0xFE;
constexpr Byte bsApplicationExtension = 0xFF;

// Logical Screen Descriptor packed fields.
constexpr Byte lsdGlobalColorTable = 0x80;
constexpr Byte lsdColorResolution = 0x70;
constexpr Byte lsdColorTableSorted = 0x08;
constexpr Byte lsdColorTableSize = 0x07;

// Image Descriptor packed fields.
constexpr Byte idLocalColorTable = 0x80;
constexpr Byte idInterlaced = 0x40;
constexpr Byte idColorTableSorted = 0x20;
constexpr Byte idReserved = 0x18;
constexpr Byte idColorTableSize = 0x07;

// Graphic Control Extension packed fields.
constexpr Byte gcTransparent = 0x01;
constexpr Byte gcUserInput = 0x02;
constexpr Byte gcDisposalMask = 0x1C;
constexpr int gcDisposalShift = 2;

// "at most 256 palette entries"; codes are at most 12 bits.
constexpr int GIFMaxColors = 256;
constexpr int GIFMaxCodeBits = 12;
constexpr int GIFMaxCodes = 1 << GIFMaxCodeBits; // 4096

// A frame larger than this many pixels is refused as corrupt before any
// buffer is allocated: every frame must be drawable as a 32-bit picture
// within the shared picture-size limit (the format allows 65535 x 65535).
constexpr std::int64_t GIFMaxFramePixels = MaxBitmapBytes / 4;

// ------------------------------------------------------------------ messages

inline constexpr const char* sGIFImageEmpty = "Image is empty";
inline constexpr const char* sGIFInvalidReduction = "Invalid reduction method";
inline constexpr const char* sGIFImageDescription = "GIF Image";
inline constexpr const char* sGIFLoading = "Loading...";
inline constexpr const char* sGIFSaving = "Saving...";
inline constexpr const char* sGIFConverting = "Converting...";
inline constexpr const char* sGIFRendering = "Rendering...";
inline constexpr const char* sGIFCopying = "Copying...";
inline constexpr const char* sGIFOptimizing = "Optimizing...";
inline constexpr const char* sGIFWarning = "Warning";
inline constexpr const char* sGIFError = "Error";
inline constexpr const char* sGIFUnsupportedAppBlockSize =
    "Unsupported Application Extension block size";
inline constexpr const char* sGIFUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* sGIFUnsupportedClass = "Object type not supported for operation";
inline constexpr const char* sGIFInvalidData = "Invalid GIF data";
inline constexpr const char* sGIFHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* sGIFWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* sGIFFailedClipboard = "Failed to store GIF on clipboard";
inline constexpr const char* sGIFScreenBadSize = "Image exceeds Logical Screen size";
inline constexpr const char* sGIFNoColorTable = "No global or local color table defined";
inline constexpr const char* sGIFBadPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* sGIFUnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* sGIFInvalidDimensions = "Invalid image dimensions";
inline constexpr const char* sGIFNoDIB = "Image has no DIB";
inline constexpr const char* sGIFInvalidStream = "Invalid stream operation";
inline constexpr const char* sGIFColorNotFound = "Color not in color table";
inline constexpr const char* sGIFEmptyColorMap = "Color table is empty";
inline constexpr const char* sGIFPrematureEOF = "Premature end of data";
inline constexpr const char* sGIFColorTableOverflow = "Color table overflow";
inline constexpr const char* sGIFInvalidColor = "Invalid color index";
inline constexpr const char* sGIFBadVersion = "Unsupported GIF version";
inline constexpr const char* sGIFBadSignature = "Invalid GIF signature";
inline constexpr const char* sGIFBadScreenColors =
    "Invalid number of colors specified in Screen Descriptor";
inline constexpr const char* sGIFBadImageColors =
    "Invalid number of colors specified in Image Descriptor";
inline constexpr const char* sGIFUnknownExtension = "Unknown extension type";
inline constexpr const char* sGIFBadExtensionLabel = "Invalid extension introducer";
inline constexpr const char* sGIFOutOfMemoryDIB = "Failed to allocate memory for GIF DIB";
inline constexpr const char* sGIFDecodeUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* sGIFDecodeCircular = "Circular decoder table entry";
inline constexpr const char* sGIFBadTrailer = "Invalid Image trailer";
inline constexpr const char* sGIFBadExtensionInstance =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sGIFUnsupportedClipboardFormat =
    "Format de Presse-papiers non supporté";

// ------------------------------------------------------------------ exception

QM_DECLARE_EXCEPTION(GIFException, EInvalidGraphic);

[[noreturn]] void RaiseGIFError(const std::string& Message);

// ------------------------------------------------------- module-wide defaults
// Read by TGIFImage's constructor; plain values so that they need no
// start-up or shutdown order.
struct TGIFModuleSettings {
    TGIFPaintFlags PaintFlags = 0x060F;
    TGIFReductionMethod ReductionMethod = rdmWebCube;
    int ReductionColorBits = 8;
    TGIFDitherKernel DitherKernel = dkNearestColor;
    TGIFPixelCoding PixelCoding = gpcLZW;
    // Optimise (all steps) before the component-stream write of an image.
    bool OptimizeOnStream = false;
    // Set at start-up on displays of 8 bits or fewer.
    bool AutoDither = false;
    bool PaletteDevice = false;
};

// The single settings record of the module.
TGIFModuleSettings& GIFSettings();
