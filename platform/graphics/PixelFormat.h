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

// The largest bitmap the program accepts from anywhere: each side at most
// 32768 pixels and at most 1 GiB of pixel rows.
constexpr std::int64_t MaxBitmapSide = 32768;
constexpr std::int64_t MaxBitmapBytes = std::int64_t{1} << 30;
