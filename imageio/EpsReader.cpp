#include "imageio/EpsReader.h"

#include <cstring>

#include "imageio/ReaderFactories.h"

namespace {

constexpr Byte Magic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
constexpr int HeaderSize = 30;

std::uint32_t LE32(const Byte* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

std::unique_ptr<TGraphic> CreateEPSGraphic() {
    return std::make_unique<TEPSGraphic>();
}

std::unique_ptr<TGraphic> TEPSGraphic::NewOfSameClass() const {
    return std::make_unique<TEPSGraphic>();
}

bool TEPSGraphic::AcceptsStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    bool ok = false;
    Byte header[HeaderSize];
    if (Stream.Size() - start > HeaderSize && Stream.Read(header, HeaderSize) == HeaderSize)
        ok = std::memcmp(header, Magic, 4) == 0 && LE32(header + 20) >= HeaderSize &&
             LE32(header + 24) != 0;
    Stream.SetPosition(start);
    return ok;
}

void TEPSGraphic::LoadFromStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    SetSize(0, 0);
    Byte header[HeaderSize];
    if (Stream.Read(header, HeaderSize) != HeaderSize || std::memcmp(header, Magic, 4) != 0)
        RaiseReaderError(SInvalidImage, {"EPS"});
    const std::uint32_t offset = LE32(header + 20), length = LE32(header + 24);
    // Without a preview there is nothing this reader can show.
    if (offset < HeaderSize || length == 0 || start + std::int64_t(offset) >= Stream.Size())
        RaiseReaderError(SInvalidImage, {"EPS"});
    Stream.SetPosition(start + offset);
    TTIFFGraphic::LoadFromStream(Stream);
}
