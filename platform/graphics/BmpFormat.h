#pragma once
// The BMP file format (device-independent bitmaps) read from and written to
// bytes in memory. Reading accepts the core (OS/2 1.x), info, V4 and V5
// headers, 1/4/8/16/24/32 bits, RLE4, RLE8 and bit-field masks, rows stored
// bottom-up or top-down; every size and offset is checked against the bytes
// present and anything malformed raises EInvalidGraphic "Bitmap image is not
// valid". Writing produces an uncompressed file of the image's own format.
#include <cstddef>
#include <vector>

#include "platform/base/Memory.h"
#include "platform/base/Types.h"
#include "platform/graphics/Palette.h"
#include "platform/graphics/PixelFormat.h"

// Pixels of a device-independent bitmap, rows top-down, each row padded to 4
// bytes. pf15bit is 5-5-5 and pf16bit 5-6-5 (both little-endian words);
// pf24bit is B,G,R and pf32bit B,G,R,A.
struct TDibImage {
    int Width = 0;
    int Height = 0;
    TPixelFormat PixelFormat = pf24bit;
    TPalette Palette;
    TPictureBytes Bits;

    int Stride() const {
        return static_cast<int>(BytesPerScanline(Width, BitsPerPixel(PixelFormat)));
    }
    Byte* Row(int y) { return Bits.data() + static_cast<size_t>(y) * Stride(); }
    const Byte* Row(int y) const { return Bits.data() + static_cast<size_t>(y) * Stride(); }
};

constexpr const char* SInvalidBitmap = "Bitmap image is not valid";

// Reads the BMP file image at data[0..size). consumed (if given) receives the
// number of bytes the file occupies (headers, colour table and pixels).
TDibImage ReadBmp(const Byte* data, size_t size, size_t* consumed = nullptr);

// Reads a device-independent bitmap without file header as icon files hold
// them: the header's height counts the colour rows and the AND mask rows,
// which follow the colour rows. mask receives one byte per pixel (1 =
// transparent), top-down; colour and mask are both Width x Height/2.
TDibImage ReadIconDib(const Byte* data, size_t size, std::vector<Byte>& mask);

// Writes an uncompressed BMP file of the image (pf16bit with 5-6-5 masks,
// pfDevice as 32 bits).
std::vector<Byte> WriteBmp(const TDibImage& image);
