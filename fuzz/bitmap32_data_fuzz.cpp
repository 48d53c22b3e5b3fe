// Arbitrary bytes read as a bitmap's Data property. EReadError is the clean
// refusal; after it the bitmap must be empty. Anything else (a crash, an
// out-of-bounds read or write, a huge allocation) is a fault.
#include "platform/classes/Stream.h"
#include "raster/RasterCore.h"
#include "raster/RasterModule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const bool started = (InitRasterModules(), true);
    (void)started;
    TBytesStream s(std::vector<std::uint8_t>(Data, Data + Size));
    TBitmap32 b;
    b.SetDimensions(2, 2);
    try {
        b.ReadDataFrom(s);
    } catch (const EReadError&) {
        if (!b.Empty()) std::abort();
        return 0;
    }
    // Accepted: the payload was exactly the pixels, and they round-trip.
    TMemoryStream out;
    b.WriteDataTo(out);
    if (out.Size() != std::int64_t(Size)) std::abort();
    return 0;
}
