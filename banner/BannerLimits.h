#pragma once
// The largest banner the editor draws and exports. Every frame of an export is
// a full 32-bit bitmap and is kept as an 8-bit frame until the GIF is written,
// so the bound is on the area: 4 Mpx is 16 MB per rendered frame and 4 MB per
// kept frame, which keeps an animation of a few hundred frames in memory.
// Sizes from dialogs and from documents are checked against it before the
// open document changes.
#include <cstdint>

constexpr int MaxBannerSide = 4096;
constexpr std::int64_t MaxBannerPixels = std::int64_t{4} << 20;

inline bool IsDrawableBannerSize(std::int64_t Width, std::int64_t Height) {
    return Width >= 1 && Height >= 1 && Width <= MaxBannerSide && Height <= MaxBannerSide &&
           Width * Height <= MaxBannerPixels;
}

// Told to the user when a dialog or a document asks for a size outside the bound.
inline constexpr const char* BannerSizeRefusedText =
    "Les dimensions de la bannière doivent être comprises entre 1 et 4096 pixels, "
    "pour une surface d'au plus 4 194 304 pixels.";

// Element positions from a document are kept within this many pixels of the
// banner's origin: anything further is off the largest banner, and sums of a
// position and a size stay far from overflow.
constexpr int MaxElementOffset = 2 * MaxBannerSide;
