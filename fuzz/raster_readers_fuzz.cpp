// Feeds arbitrary bytes to the Targa, PCX, SGI, Autodesk, Photo-CD, portable
// map, CUT, RLA, Photoshop and Paint Shop Pro readers; the first byte picks
// the reader. A Targa that reads must write and read back to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imageio/AutodeskReader.h"
#include "imageio/CutReader.h"
#include "imageio/PcxReader.h"
#include "imageio/PhotoCDReader.h"
#include "imageio/PortableMapReader.h"
#include "imageio/PsdReader.h"
#include "imageio/PspReader.h"
#include "imageio/RlaReader.h"
#include "imageio/SgiReader.h"
#include "imageio/TargaReader.h"

namespace {
std::unique_ptr<TReaderGraphic> Reader(std::uint8_t selector) {
    switch (selector % 10) {
    case 0:
        return std::make_unique<TTargaGraphic>();
    case 1:
        return std::make_unique<TPCXGraphic>();
    case 2:
        return std::make_unique<TSGIGraphic>();
    case 3:
        return std::make_unique<TAutodeskGraphic>();
    case 4:
        return std::make_unique<TPCDGraphic>();
    case 5:
        return std::make_unique<TPPMGraphic>();
    case 6:
        return std::make_unique<TCUTGraphic>();
    case 7:
        return std::make_unique<TRLAGraphic>();
    case 8:
        return std::make_unique<TPSDGraphic>();
    default:
        return std::make_unique<TPSPGraphic>();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::vector<std::uint8_t> file(data + 1, data + size);
    auto reader = Reader(data[0]);
    {
        TBytesStream s(file);
        reader->AcceptsStream(s);
    }
    try {
        TBytesStream s(file);
        reader->LoadFromStream(s);
    } catch (const Exception&) {
        return 0;
    }
    if (data[0] % 10 == 0 && !reader->Empty()) {
        TMemoryStream out;
        reader->SaveToStream(out);
        out.SetPosition(0);
        TTargaGraphic back;
        back.LoadFromStream(out);
        const TDibImage& a = reader->Image();
        if (back.Image().Bits != a.Bits || back.PixelFormat() != a.PixelFormat) std::abort();
    }
    return 0;
}
