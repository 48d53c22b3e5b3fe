// Feeds arbitrary bytes to the JPEG decoder: it must raise EInvalidGraphic or
// give a picture whose rows are all present, never end the process.
#include <cstdint>
#include <cstdlib>

#include "platform/graphics/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TJpegDecodeOptions options;
        options.Scale = size > 0 && (data[size - 1] & 1) ? jsHalf : jsFullSize;
        const TDibImage img = DecodeJpeg(data, size, options);
        if (img.Bits.size() != static_cast<std::size_t>(img.Stride()) * img.Height) std::abort();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
