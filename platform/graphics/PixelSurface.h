#pragma once
// A view of 32-bit pixels owned by someone else: rows top-down, each pixel
// the bytes B, G, R, A, Stride bytes from one row to the next (at least
// Width * 4). The drawing routines never write outside Width x Height.
#include <cstdint>

#include "platform/base/Types.h"

struct TPixelSurface {
    Byte* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    int Stride = 0;

    bool Valid() const {
        return Bits != nullptr && Width > 0 && Height > 0 &&
               std::int64_t(Stride) >= std::int64_t(Width) * 4;
    }
    TRect BoundsRect() const { return {0, 0, Width, Height}; }
    std::uint32_t* Row(int Y) const {
        return reinterpret_cast<std::uint32_t*>(Bits + std::int64_t(Y) * Stride);
    }
};
