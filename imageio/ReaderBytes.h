#pragma once
// Byte-level helpers the raster readers share: whole reads that fail with the
// reader's own message, and fixed-endian field access inside a buffer whose
// size the caller has already checked.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "imageio/PictureReaders.h"

namespace readerbytes {

inline std::uint16_t BE16(const Byte* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t BE32(const Byte* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
inline std::uint16_t LE16(const Byte* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LE32(const Byte* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// Bytes from the position to the end (0 when the position lies beyond it).
inline std::int64_t Remaining(TStream& Stream) {
    return std::max<std::int64_t>(0, Stream.Size() - Stream.Position());
}

// Reads exactly Count bytes or raises SStreamReadError with Label.
inline void ReadExact(TStream& Stream, void* Buffer, std::int64_t Count, const std::string& Label) {
    if (Count <= 0) return;
    if (Stream.Read(Buffer, Count) != Count)
        TReaderGraphic::RaiseReaderError(SStreamReadError, {Label});
}

// Reads up to Count bytes (fewer at the end of the stream) into a new buffer
// (TPictureBytes for picture-sized reads).
template <class TBytes = std::vector<Byte>> TBytes ReadUpTo(TStream& Stream, std::int64_t Count) {
    Count = std::clamp<std::int64_t>(Count, 0, Remaining(Stream));
    TBytes data(static_cast<std::size_t>(Count));
    if (Count > 0) data.resize(static_cast<std::size_t>(Stream.Read(data.data(), Count)));
    return data;
}

// Seeks to an absolute position; a position beyond the end or before the
// start raises SStreamReadError with Label.
inline void SeekTo(TStream& Stream, std::int64_t Position, const std::string& Label) {
    if (Position < 0 || Position > Stream.Size())
        TReaderGraphic::RaiseReaderError(SStreamReadError, {Label});
    Stream.SetPosition(Position);
}

} // namespace readerbytes
