#pragma once
// Text services on a pixel buffer. Glyphs are rasterised by the toolkit from
// a TLogFont and composited here with the system's rules for 32-bit
// buffers: a pixel a glyph covers takes the colour's R, G, B (blended by
// coverage for antialiased qualities) and alpha 0; a pixel no glyph covers
// keeps all four bytes.
//
// Qualities 0 (default), 1, 2 and 3 give pure on/off coverage, 4, 5 and 6
// grey levels.
//
// Face names the program uses that are not installed resolve onto installed
// families (fontconfig), first available wins:
//   "MS Sans Serif", "Arial"       -> "Liberation Sans", "DejaVu Sans"
//   "Times New Roman"              -> "Liberation Serif", "DejaVu Serif"
//   "Courier New"                  -> "Liberation Mono", "DejaVu Sans Mono"
//   "Segoe UI", "Tahoma", "Verdana" -> "DejaVu Sans", "Liberation Sans"
// "Default" (any case) is "MS Sans Serif"; an empty or unknown name falls
// back to "DejaVu Sans" and then to what fontconfig offers.
//
// Escapement and orientation are ignored: text is always horizontal.
//
// Fonts are cached by description (a small LRU), so repeated measuring and
// drawing do not rebuild them. Every function is thread-safe once the
// toolkit's application object exists; the first call creates it when
// needed and must then come from the main thread.
#include <string>
#include <string_view>

#include "platform/base/Types.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/PixelSurface.h"

struct TTextMetric {
    int Ascent = 0;
    int Descent = 0;
    int Height = 0; // Ascent + Descent
    int InternalLeading = 0;
    int ExternalLeading = 0;
    int AveCharWidth = 0;
    int MaxCharWidth = 0;
};

// The installed family a face name resolves to.
std::string ResolveFontFamily(std::string_view FaceName);

TTextMetric GetTextMetric(const TLogFont& Font);
// cx = the advance of Text, cy = ascent + descent (also for an empty Text,
// whose cx is 0).
TSize MeasureText(const TLogFont& Font, std::string_view Text);

// Draws Text (UTF-8) with its cell's top-left at (X, Y), in Color (system
// colours resolved), clipped to Clip when given and always to the surface.
// Returns the measured extent.
TSize DrawText(const TPixelSurface& Surface, int X, int Y, std::string_view Text,
               const TLogFont& Font, TColor Color, const TRect* Clip = nullptr);

// Number of fonts the cache has built since start (tests check reuse).
int FontCacheBuildCount();
