#include "imageio/DecoderPhotoCD.h"

#include <algorithm>

#include "platform/classes/Stream.h"

namespace {
constexpr std::size_t BufferSize = 2048;
} // namespace

TPCDDecoder::TPCDDecoder(TStream& Stream, int Width, int Height)
    : FStream(Stream), FWidth(std::max(Width, 0)), FHeight(std::max(Height, 0)),
      FBuffer(BufferSize) {}

std::int64_t TPCDDecoder::PlanesSize() const {
    return std::int64_t(FWidth) * FHeight + 2 * std::int64_t(FWidth / 2) * (FHeight / 2);
}

// Tops the accumulator up to at least 25 bits; false when no bit is left.
bool TPCDDecoder::Fill() {
    while (FBits <= 24) {
        if (FBufferPos == FBufferLength) {
            if (FStreamEnded) break;
            FBufferLength = std::size_t(FStream.Read(FBuffer.data(), BufferSize));
            FBufferPos = 0;
            if (FBufferLength == 0) {
                FStreamEnded = true;
                break;
            }
        }
        FSum |= std::uint32_t(FBuffer[FBufferPos++]) << (24 - FBits);
        FBits += 8;
    }
    return FBits > 0;
}

void TPCDDecoder::Skip(int Bits) {
    Bits = std::min(Bits, FBits);
    FSum = Bits >= 32 ? 0 : FSum << Bits;
    FBits -= Bits;
}

bool TPCDDecoder::ReadTables() {
    const int tables = FWidth <= 1536 ? 1 : 3;
    for (int t = 0; t < tables; ++t) {
        FTables[t].clear();
        if (!Fill() || FBits < 8) return false;
        const int count = int(FSum >> 24) + 1;
        Skip(8);
        for (int i = 0; i < count; ++i) {
            if (!Fill() || FBits < 32) return false;
            TCode c;
            c.Length = int(FSum >> 24) + 1;
            // Codes are at most 16 bits; a longer one means tables we cannot use.
            if (c.Length > 16) return false;
            c.Code = std::uint16_t(FSum >> 8);
            c.Mask = std::uint16_t(0xFFFF0000u >> c.Length);
            c.Code &= c.Mask;
            Skip(24);
            Fill();
            c.Value = int(std::int8_t(FSum >> 24));
            Skip(8);
            FTables[t].push_back(c);
        }
    }
    if (tables == 1) FTables[1] = FTables[2] = FTables[0];
    return true;
}

void TPCDDecoder::Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                         std::int64_t UnpackedSize) {
    if (UnpackedSize < PlanesSize() || FWidth == 0 || FHeight == 0 || !ReadTables()) return;
    Byte* planes[3] = {Dest, Dest + std::int64_t(FWidth) * FHeight,
                       Dest + std::int64_t(FWidth) * FHeight +
                           std::int64_t(FWidth / 2) * (FHeight / 2)};
    for (;;) {
        // Synchronise on the row marker: twelve ones, then 23 ones and a 0.
        while (Fill() && (FSum & 0x00FFF000) != 0x00FFF000)
            Skip(8);
        while (Fill() && FBits >= 24 && (FSum & 0xFFFFFF00) != 0xFFFFFE00)
            Skip(1);
        if (!Fill() || FBits < 24) return;
        Skip(24);
        if (!Fill() || FBits < 16) return;
        // Row header: row number (13 bits), plane (2 bits), one spare bit.
        const int row = int(FSum >> 19);
        const int planeCode = int(FSum >> 17) & 3;
        Skip(16);
        if (row >= FHeight) return;
        int plane, width, y;
        if (planeCode == 0) {
            plane = 0;
            width = FWidth;
            y = row;
        } else if (planeCode >= 2) {
            plane = planeCode - 1;
            width = FWidth / 2;
            y = row / 2;
            if (y >= FHeight / 2) continue;
        } else {
            continue;
        }
        const std::vector<TCode>& table = FTables[plane];
        Byte* line = planes[plane] + std::int64_t(y) * width;
        for (int x = 0; x < width; ++x) {
            if (!Fill()) return;
            const std::uint16_t top = std::uint16_t(FSum >> 16);
            const TCode* hit = nullptr;
            for (const TCode& c : table)
                if ((top & c.Mask) == c.Code) {
                    hit = &c;
                    break;
                }
            if (!hit) break; // resynchronise on the next marker
            Skip(hit->Length);
            line[x] = Byte(std::clamp(int(line[x]) + hit->Value, 0, 255));
        }
    }
}
