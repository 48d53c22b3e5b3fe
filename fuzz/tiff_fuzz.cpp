// Feeds arbitrary bytes to the TIFF reader, and the same bytes as the
// preview of a binary EPS file to the EPS reader. Refusals must be the
// readers' own exceptions; anything else is a fault.
#include <cstdint>

#include "imageio/EpsReader.h"
#include "imageio/TiffReader.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Dialogs.h"

namespace {
// JPEG warnings would open a box; here they are only counted.
struct TQuietDialogs : TScriptedDialogService {
    int MessageBox(const std::string&, const std::string&, int) override { return IDOK; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TQuietDialogs quiet;
    SetDialogService(&quiet);
    {
        TBytesStream stream(std::vector<Byte>(data, data + size));
        TTIFFGraphic tiff;
        tiff.AcceptsStream(stream);
        try {
            tiff.LoadFromStream(stream);
        } catch (const Exception&) {
        }
    }
    std::vector<Byte> eps = {0xC5, 0xD0, 0xD3, 0xC6, 30, 0,  0, 0, 0, 0, 0, 0, 0, 0,    0,
                             0,    0,    0,    0,    0,  30, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const std::uint32_t n = std::uint32_t(size);
    for (int i = 0; i < 4; ++i)
        eps[24 + i] = Byte(n >> (8 * i));
    eps.insert(eps.end(), data, data + size);
    TBytesStream stream(eps);
    TEPSGraphic graphic;
    graphic.AcceptsStream(stream);
    try {
        graphic.LoadFromStream(stream);
    } catch (const Exception&) {
    }
    return 0;
}
