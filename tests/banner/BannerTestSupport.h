#pragma once
// Helpers shared by the banner tests.
#include "raster/RasterCore.h"

// The same size and the same pixels.
inline bool SamePixels(const TBitmap32& A, const TBitmap32& B) {
    if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (A.ReadPixel(x, y) != B.ReadPixel(x, y)) return false;
    return true;
}
