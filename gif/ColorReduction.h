#pragma once
// Colour reduction: turns a bitmap of any depth into an 8-bit paletted
// bitmap a GIF frame can hold. ReduceBitmapColors picks a palette by
// reduction method (fixed palettes, an octree palette of the picture, or the
// caller's), a colour lookup for it and a dither engine, and writes the
// result row by row. The source is never changed; the caller owns the result.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GifTypes.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Palette.h"

// ------------------------------------------------------------- row access

// Rows of a bitmap as B, G, R pixels (PixelBytes() apart: 3, or 4 for a
// 32-bit source read in place). Other formats are converted once.
class TDIBReader {
public:
    explicit TDIBReader(const TBitmap& Bitmap);
    // Rows of 32-bit pixels (blue, green, red, a fourth byte not read) held
    // elsewhere, Stride bytes apart, the top row first; they must outlive
    // the reader. Lets a 32-bit picture be reduced without a copy.
    TDIBReader(const Byte* Bits, int Width, int Height, int Stride);
    TDIBReader(const TDIBReader&) = delete;
    TDIBReader& operator=(const TDIBReader&) = delete;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int PixelBytes() const { return FPixelBytes; }
    // Row counted from the top.
    const Byte* Row(int Y) const { return FBits + std::size_t(Y) * FStride; }

private:
    TDibImage FConverted;
    const Byte* FBits = nullptr;
    std::size_t FStride = 0;
    int FWidth = 0;
    int FHeight = 0;
    int FPixelBytes = 3;
};

// Builds the pixels of an 8-bit (with Palette) or 24-bit bitmap and hands
// them to Target on Finish. Other depths raise "Unsupported PixelFormat", a
// width or height of 0 "Invalid image dimensions", a picture beyond the
// bitmap limits "Failed to allocate memory for GIF DIB" (EOutOfMemory).
class TDIBWriter {
public:
    TDIBWriter(TBitmap& Target, TPixelFormat Format, int Width, int Height,
               const TPalette& Palette);
    Byte* Row(int Y) { return FImage.Row(Y); }
    void Finish();

private:
    TBitmap& FTarget;
    TDibImage FImage;
};

// ---------------------------------------------------------- colour lookups

// Maps a colour to a palette index and reports the colour that index shows.
class TColorLookup {
public:
    explicit TColorLookup(int Colors) : FColors(Colors) {}
    virtual ~TColorLookup() = default;
    int Colors() const { return FColors; }
    virtual int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) = 0;
    // The index of each of Width pixels (blue, green, red at Step bytes
    // apart) into Indices: what Lookup gives, pixel by pixel. A run of one
    // colour is looked up once.
    virtual void LookupRow(const Byte* Pixels, int Step, int Width, Byte* Indices);

protected:
    int FColors;
};

// Black (0) below luminance 77*R + 150*G + 29*B = 32513, else white (1).
class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override;
};

// 256 greys: index (29*B + 150*G + 77*R) shr 8.
class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override;
};

// The 6x6x6 web cube: each channel to (c + 3) div 51.
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override;
};

// Nearest entry of any palette by squared RGB distance (lowest index on a
// tie), remembered per colour: equal to TPalette::GetNearestPaletteIndex.
class TSlowColorLookup : public TColorLookup {
public:
    explicit TSlowColorLookup(const TPalette& Palette);
    int Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override;

    const TPalette& Palette() const { return FPalette; }
    // The search itself, without the memo (same result).
    int Nearest(int Red, int Green, int Blue) const;

private:
    TPalette FPalette;
    static int Distance(const TPaletteEntry& E, int Red, int Green, int Blue);
    void BuildCell(int Cell);
    // A colour of the palette is its own nearest entry (distance 0; the
    // lowest of equal entries): the entries' colours -> their lowest index,
    // so that a picture whose colours are all in the palette (a reduction
    // that kept every colour) needs no search at all.
    static constexpr int ExactSlots = 1024;
    std::vector<std::uint32_t> FExactKeys; // RGB value + 1 (0 = empty)
    std::vector<Byte> FExactIndices;
    static std::uint32_t ExactSlot(std::uint32_t Rgb) { return (Rgb * 2654435761u) >> 22; }
    int Exact(std::uint32_t Rgb) const;
    // The colour cube in cells of 16 x 16 x 16; each cell lists, once a
    // colour of it is searched, the entries that can be nearest to any of
    // its colours.
    static constexpr int CellCount = 16 * 16 * 16;
    std::vector<int> FCellStart; // -1: not listed yet; empty until needed
    std::vector<int> FCellCount;
    struct TCandidate {
        int Least; // least distance to any colour of the cell
        int Index;
        int R, G, B;
    };
    std::vector<TCandidate> FCandidates;
    // Direct-mapped memo of the searched colours: key is the RGB value + 1
    // (0 = empty); empty until a colour needs a search.
    static constexpr int MemoSlots = 1 << 14;
    std::vector<std::uint32_t> FKeys;
    std::vector<Byte> FIndices;
};

// ----------------------------------------------------------- fixed palettes

// Each entry flagged no-collapse.
TPalette WebPalette();       // 216: r outermost, b innermost, channels 51*q
TPalette GrayScalePalette(); // 256 greys
TPalette FourGrayPalette();  // 0x00, 0x80, 0xC0, 0xFF
TPalette BlackWhitePalette();
// The system's 20 static colours (10 at the start, 10 at the end of a
// 256-entry system palette).
TPalette StockPalette();
// A fixed 256-colour palette for halftoning: the 20 static colours, the web
// cube and 20 more greys.
TPalette HalftonePalette();

// ---------------------------------------------------------------- reduction

// Returns a new bitmap: for rdmKeep24Bit a 24-bit copy; otherwise an 8-bit
// bitmap whose palette holds the chosen palette's entries. Bits is the
// colour depth of rdmOctree (2^Bits colours, 0..8), Palette the caller's
// palette of rdmCallerPalette. An unknown method or kernel, or a palette
// without entries, gives an empty bitmap.
std::unique_ptr<TBitmap> ReduceBitmapColors(const TBitmap& Bitmap, TGIFReductionMethod Method,
                                            TGIFDitherKernel Dither, int Bits,
                                            const TPalette* Palette);
// The same reduction of the pixels Reader gives (for every method but
// rdmKeep24Bit, which copies a bitmap and gives an empty one here).
std::unique_ptr<TBitmap> ReduceBitmapColors(const TDIBReader& Reader, TGIFReductionMethod Method,
                                            TGIFDitherKernel Dither, int Bits,
                                            const TPalette* Palette);
