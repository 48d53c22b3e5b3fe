#pragma once
// A picture coded as JPEG in memory by the system's JPEG library, for the
// tests and benchmarks of what reads JPEG data inside other files.
#include "platform/base/Types.h"

#include <jpeglib.h>

#include <cstddef>
#include <cstdlib>
#include <vector>

// Rows of width pixels, samples bytes each (3: R, G, B, coded as YCbCr with
// chroma halved both ways; 1: grey), at the given quality.
inline std::vector<Byte> JpegStrip(const Byte* pixels, int width, int rows, int samples,
                                   int quality = 75) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(rows);
    c.input_components = samples;
    c.in_color_space = samples == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < rows; ++y) {
        JSAMPROW row = const_cast<Byte*>(pixels + std::size_t(y) * width * samples);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<Byte> o(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return o;
}
