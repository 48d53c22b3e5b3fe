// Feeds arbitrary bytes to the PNG reader. Refusals must be the reader's
// own exceptions; anything else (a crash, an overrun, another exception)
// is a fault.
#include <cstdint>

#include "imageio/PngReader.h"
#include "platform/classes/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TBytesStream stream(std::vector<Byte>(data, data + size));
    TPNGGraphic png;
    png.AcceptsStream(stream);
    try {
        png.LoadFromStream(stream);
    } catch (const Exception&) {
    }
    return 0;
}
