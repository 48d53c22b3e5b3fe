// Feeds arbitrary bytes to the BMP reader (and to the icon reader, which
// shares its bitmap decoding). A picture that reads must write and read back
// to the same pixels.
#include <cstdint>
#include <cstdlib>

#include "platform/graphics/BmpFormat.h"
#include "platform/graphics/Icon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const TDibImage img = ReadBmp(data, size);
        const std::vector<Byte> file = WriteBmp(img);
        const TDibImage back = ReadBmp(file.data(), file.size());
        if (back.Bits != img.Bits || back.Width != img.Width || back.Height != img.Height ||
            back.PixelFormat != img.PixelFormat)
            std::abort();
    } catch (const EInvalidGraphic&) {
    }
    try {
        ReadIcon(data, size);
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
