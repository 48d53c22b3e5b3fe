#pragma once
// Pixel formats of device-independent bitmaps and the row arithmetic they
// share. Rows are 4-byte aligned, as device-independent bitmaps keep them.
#include <cstdint>

enum TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

// Bits per pixel of a stored format; pfDevice is kept as 32 bits, pfCustom
// has no storage (0).
inline int BitsPerPixel(TPixelFormat f) {
    switch (f) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
    case pf16bit:
        return 16;
    case pf24bit:
        return 24;
    case pfDevice:
    case pf32bit:
        return 32;
    default:
        return 0;
    }
}

inline bool IsPalettised(TPixelFormat f) {
    return f == pf1bit || f == pf4bit || f == pf8bit;
}

// Bytes of one row of width pixels at bits bits per pixel, padded to 4 bytes.
inline std::int64_t BytesPerScanline(std::int64_t width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

// The one picture-size limit of the program, shared by every picture reader,
// TBitmap and the 32-bit bitmap: each side at most MaxBitmapSide pixels and
// the pixels, counted at 32 bits each (every picture ends up in a 32-bit
// bitmap), at most MaxBitmapBytes. Fuzzing builds define
// QM_SMALL_PICTURE_LIMIT so that no input spends its time filling a huge
// picture.
#ifdef QM_SMALL_PICTURE_LIMIT
constexpr std::int64_t MaxBitmapSide = 4096;
constexpr std::int64_t MaxBitmapBytes = std::int64_t{1} << 20;
#else
constexpr std::int64_t MaxBitmapSide = 32768;
constexpr std::int64_t MaxBitmapBytes = std::int64_t{1} << 30;
#endif

// The refusal of a picture beyond the limit: the picture's size, then the
// largest side and the largest count of pixels (in millions).
inline constexpr const char* SPictureTooLarge =
    "Image trop grande (%d x %d pixels). La taille maximale acceptée est de %d pixels de côté "
    "et de %d millions de pixels.";

// True when a Width x Height picture stays within the limit (sides >= 0).
inline bool PictureSizeAllowed(std::int64_t Width, std::int64_t Height) {
    return Width >= 0 && Height >= 0 && Width <= MaxBitmapSide && Height <= MaxBitmapSide &&
           Width * Height * 4 <= MaxBitmapBytes;
}

// Raises EInvalidGraphic SPictureTooLarge unless PictureSizeAllowed.
void CheckPictureSize(std::int64_t Width, std::int64_t Height);
