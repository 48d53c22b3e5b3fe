#include "gif/ColorReduction.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include "gif/Dither.h"
#include "gif/OctreePalette.h"

// ------------------------------------------------------------- row access

TDIBReader::TDIBReader(const TBitmap& Bitmap) {
    const TDibImage* image = &Bitmap.Image();
    if (image->PixelFormat == pf32bit || image->PixelFormat == pfDevice) {
        FPixelBytes = 4;
    } else if (image->PixelFormat != pf24bit) {
        FConverted = ConvertDibImage(*image, pf24bit);
        image = &FConverted;
    }
    FBits = image->Bits.data();
    FStride = std::size_t(image->Stride());
    FWidth = image->Width;
    FHeight = image->Height;
}

TDIBReader::TDIBReader(const Byte* Bits, int Width, int Height, int Stride)
    : FBits(Bits), FStride(std::size_t(std::max(Stride, 0))), FWidth(std::max(Width, 0)),
      FHeight(std::max(Height, 0)), FPixelBytes(4) {}

TDIBWriter::TDIBWriter(TBitmap& Target, TPixelFormat Format, int Width, int Height,
                       const TPalette& Palette)
    : FTarget(Target) {
    if (Format != pf8bit && Format != pf24bit) RaiseGIFError(sGIFUnsupportedPixelFormat);
    if (Width <= 0 || Height <= 0) RaiseGIFError(sGIFInvalidDimensions);
    const std::int64_t stride = BytesPerScanline(Width, BitsPerPixel(Format));
    if (Width > MaxBitmapSide || Height > MaxBitmapSide || stride * Height > MaxBitmapBytes)
        throw EOutOfMemory(sGIFOutOfMemoryDIB);
    FImage.Width = Width;
    FImage.Height = Height;
    FImage.PixelFormat = Format;
    if (Format == pf8bit) {
        // A bitmap's colour table carries no palette flags.
        std::vector<TPaletteEntry> entries = Palette.Entries();
        for (TPaletteEntry& e : entries)
            e.peFlags = 0;
        FImage.Palette = TPalette(std::move(entries));
    }
    FImage.Bits.assign(std::size_t(stride * Height), 0);
}

void TDIBWriter::Finish() {
    FTarget.SetImage(std::move(FImage));
}

// ---------------------------------------------------------- colour lookups

void TColorLookup::LookupRow(const Byte* Pixels, int Step, int Width, Byte* Indices) {
    std::uint32_t last = 0xFFFFFFFF;
    Byte index = 0;
    for (int x = 0; x < Width; ++x, Pixels += Step) {
        const std::uint32_t rgb = std::uint32_t(Pixels[0]) | (std::uint32_t(Pixels[1]) << 8) |
                                  (std::uint32_t(Pixels[2]) << 16);
        if (rgb != last) {
            int r, g, b;
            index = Byte(Lookup(Pixels[2], Pixels[1], Pixels[0], r, g, b));
            last = rgb;
        }
        Indices[x] = index;
    }
}

int TMonochromeLookup::Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) {
    if (77 * Red + 150 * Green + 29 * Blue < 32513) {
        R = G = B = 0;
        return 0;
    }
    R = G = B = 255;
    return 1;
}

int TGrayScaleLookup::Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) {
    const int index = (29 * Blue + 150 * Green + 77 * Red) >> 8;
    R = G = B = index;
    return index;
}

int TNetscapeColorLookup::Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) {
    const int qr = (Red + 3) / 51;
    const int qg = (Green + 3) / 51;
    const int qb = (Blue + 3) / 51;
    R = qr * 51;
    G = qg * 51;
    B = qb * 51;
    return 36 * qr + 6 * qg + qb;
}

TSlowColorLookup::TSlowColorLookup(const TPalette& Palette)
    : TColorLookup(Palette.Count()), FPalette(Palette) {
    if (FPalette.Count() > MaxPaletteEntries) return;
    FExactKeys.assign(ExactSlots, 0);
    FExactIndices.assign(ExactSlots, 0);
    for (int i = 0; i < FPalette.Count(); ++i) {
        const TPaletteEntry& e = FPalette.Entry(i);
        const std::uint32_t rgb = std::uint32_t(e.peRed) | (std::uint32_t(e.peGreen) << 8) |
                                  (std::uint32_t(e.peBlue) << 16);
        // Open addressing; an equal colour already there keeps its lower index.
        for (std::uint32_t slot = ExactSlot(rgb);; slot = (slot + 1) & (ExactSlots - 1)) {
            if (FExactKeys[slot] == rgb + 1) break;
            if (FExactKeys[slot] == 0) {
                FExactKeys[slot] = rgb + 1;
                FExactIndices[slot] = Byte(i);
                break;
            }
        }
    }
}

int TSlowColorLookup::Exact(std::uint32_t Rgb) const {
    if (FExactKeys.empty()) return -1;
    for (std::uint32_t slot = ExactSlot(Rgb);; slot = (slot + 1) & (ExactSlots - 1)) {
        if (FExactKeys[slot] == Rgb + 1) return FExactIndices[slot];
        if (FExactKeys[slot] == 0) return -1;
    }
}

int TSlowColorLookup::Distance(const TPaletteEntry& E, int Red, int Green, int Blue) {
    const int dr = E.peRed - Red, dg = E.peGreen - Green, db = E.peBlue - Blue;
    return dr * dr + dg * dg + db * db;
}

void TSlowColorLookup::BuildCell(int Cell) {
    // Cell: 16 levels of each channel. An entry can be nearest to some colour
    // of the cell only when its least distance to the cell is within the
    // smallest greatest distance of any entry to it; those entries, in index
    // order, are the cell's candidates.
    const int lo[3] = {(Cell >> 8) * 16, ((Cell >> 4) & 15) * 16, (Cell & 15) * 16};
    const int n = FPalette.Count();
    int least[MaxPaletteEntries];
    int bound = INT_MAX;
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = FPalette.Entry(i);
        const int c[3] = {e.peRed, e.peGreen, e.peBlue};
        int l = 0, m = 0;
        for (int k = 0; k < 3; ++k) {
            const int below = lo[k] - c[k], above = c[k] - (lo[k] + 15);
            const int near = std::max(0, std::max(below, above));
            const int far = std::max(-below, -above);
            l += near * near;
            m += far * far;
        }
        least[i] = l;
        bound = std::min(bound, m);
    }
    // Nearest first, so that a search can stop at the first candidate whose
    // least distance passes the best match found.
    const std::size_t start = FCandidates.size();
    for (int i = 0; i < n; ++i)
        if (least[i] <= bound) {
            const TPaletteEntry& e = FPalette.Entry(i);
            FCandidates.push_back({least[i], i, e.peRed, e.peGreen, e.peBlue});
        }
    std::sort(FCandidates.begin() + std::ptrdiff_t(start), FCandidates.end(),
              [](const TCandidate& a, const TCandidate& b) {
                  return a.Least != b.Least ? a.Least < b.Least : a.Index < b.Index;
              });
    FCellStart[Cell] = int(start);
    FCellCount[Cell] = int(FCandidates.size() - start);
}

int TSlowColorLookup::Nearest(int Red, int Green, int Blue) const {
    // Squared RGB distance, lowest index on a tie, as the palette's own
    // search, over the candidates of the colour's cell.
    if (FPalette.Count() == 0) return -1;
    if (FPalette.Count() > MaxPaletteEntries) {
        int best = 0;
        for (int i = 1; i < FPalette.Count(); ++i)
            if (Distance(FPalette.Entry(i), Red, Green, Blue) <
                Distance(FPalette.Entry(best), Red, Green, Blue))
                best = i;
        return best;
    }
    const int exact =
        Exact(std::uint32_t(Red) | (std::uint32_t(Green) << 8) | (std::uint32_t(Blue) << 16));
    if (exact >= 0) return exact;
    const int cell = ((Red >> 4) << 8) | ((Green >> 4) << 4) | (Blue >> 4);
    auto& self = const_cast<TSlowColorLookup&>(*this);
    if (FCellStart.empty()) {
        // Made on the first colour that is not in the palette: a picture
        // whose colours all are never needs them.
        self.FCellStart.assign(CellCount, -1);
        self.FCellCount.assign(CellCount, 0);
    }
    if (FCellStart[cell] < 0) self.BuildCell(cell);
    const TCandidate* c = FCandidates.data() + FCellStart[cell];
    const TCandidate* end = c + FCellCount[cell];
    int best = -1;
    int bestDistance = INT_MAX;
    for (; c != end && c->Least <= bestDistance; ++c) {
        const int dr = c->R - Red, dg = c->G - Green, db = c->B - Blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance || (d == bestDistance && c->Index < best)) {
            best = c->Index;
            bestDistance = d;
        }
    }
    return best;
}

int TSlowColorLookup::Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) {
    const std::uint32_t rgb =
        std::uint32_t(Red) | (std::uint32_t(Green) << 8) | (std::uint32_t(Blue) << 16);
    int index = Exact(rgb);
    if (index < 0) {
        if (FKeys.empty()) {
            FKeys.assign(MemoSlots, 0);
            FIndices.assign(MemoSlots, 0);
        }
        const std::uint32_t slot = ((rgb * 2654435761u) >> 18) & (MemoSlots - 1);
        if (FKeys[slot] == rgb + 1) {
            index = FIndices[slot];
        } else {
            index = Nearest(Red, Green, Blue);
            if (index < 0) index = 0;
            FKeys[slot] = rgb + 1;
            FIndices[slot] = Byte(index);
        }
    }
    const TPaletteEntry& e = FPalette.Entry(index);
    R = e.peRed;
    G = e.peGreen;
    B = e.peBlue;
    return index;
}

// ----------------------------------------------------------- fixed palettes

namespace {

TPalette FlaggedPalette(std::vector<TPaletteEntry> entries) {
    for (TPaletteEntry& e : entries)
        e.peFlags = PC_NOCOLLAPSE;
    return TPalette(std::move(entries));
}

void AppendGray(std::vector<TPaletteEntry>& entries, int level) {
    entries.push_back({Byte(level), Byte(level), Byte(level), 0});
}

// The static colours of a 256-entry system palette: 10 at its start, 10 at
// its end.
constexpr TPaletteEntry StaticColors[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

} // namespace

TPalette WebPalette() {
    std::vector<TPaletteEntry> entries;
    entries.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries.push_back({Byte(51 * r), Byte(51 * g), Byte(51 * b), 0});
    return FlaggedPalette(std::move(entries));
}

TPalette GrayScalePalette() {
    std::vector<TPaletteEntry> entries;
    for (int i = 0; i < 256; ++i)
        AppendGray(entries, i);
    return FlaggedPalette(std::move(entries));
}

TPalette FourGrayPalette() {
    std::vector<TPaletteEntry> entries;
    for (int level : {0x00, 0x80, 0xC0, 0xFF})
        AppendGray(entries, level);
    return FlaggedPalette(std::move(entries));
}

TPalette BlackWhitePalette() {
    std::vector<TPaletteEntry> entries;
    AppendGray(entries, 0);
    AppendGray(entries, 255);
    return FlaggedPalette(std::move(entries));
}

TPalette StockPalette() {
    return FlaggedPalette(
        std::vector<TPaletteEntry>(std::begin(StaticColors), std::end(StaticColors)));
}

TPalette HalftonePalette() {
    // Static colours first and last, as a system palette keeps them; the
    // cube in between, then greys between the cube's grey steps.
    std::vector<TPaletteEntry> entries(StaticColors, StaticColors + 10);
    const TPalette cube = WebPalette();
    for (const TPaletteEntry& e : cube.Entries())
        entries.push_back(e);
    for (int i = 0; i < 20; ++i) {
        // Four levels inside each of the five gaps between multiples of 51.
        const int gap = i / 4;
        const int step = i % 4 + 1;
        AppendGray(entries, gap * 51 + step * 51 / 5);
    }
    entries.insert(entries.end(), StaticColors + 10, StaticColors + 20);
    return FlaggedPalette(std::move(entries));
}

// ---------------------------------------------------------------- reduction

std::unique_ptr<TBitmap> ReduceBitmapColors(const TBitmap& Bitmap, TGIFReductionMethod Method,
                                            TGIFDitherKernel Dither, int Bits,
                                            const TPalette* Palette) {
    if (Method == rdmKeep24Bit) {
        auto result = std::make_unique<TBitmap>();
        result->Assign(&Bitmap);
        result->SetPixelFormat(pf24bit);
        return result;
    }
    return ReduceBitmapColors(TDIBReader(Bitmap), Method, Dither, Bits, Palette);
}

std::unique_ptr<TBitmap> ReduceBitmapColors(const TDIBReader& reader, TGIFReductionMethod Method,
                                            TGIFDitherKernel Dither, int Bits,
                                            const TPalette* Palette) {
    auto result = std::make_unique<TBitmap>();
    if (Method == rdmKeep24Bit || Method > rdmCallerPalette) return result;

    TPalette palette;
    switch (Method) {
    case rdmStockPalette:
        palette = StockPalette();
        break;
    case rdmHalftonePalette:
        palette = HalftonePalette();
        break;
    case rdmFourGrays:
        palette = FourGrayPalette();
        break;
    case rdmBlackWhite:
        palette = BlackWhitePalette();
        break;
    case rdmGrayRamp:
        palette = GrayScalePalette();
        break;
    case rdmWebCube:
        palette = WebPalette();
        break;
    case rdmOctree:
        // 2^Bits colours; a GIF table holds at most 256.
        palette = BuildOctreePalette(reader, 1 << std::clamp(Bits, 0, 8), 8, false);
        break;
    case rdmOctreeStatic:
        palette = BuildOctreePalette(reader, 256, 8, true);
        break;
    case rdmCallerPalette:
        if (Palette) palette = *Palette;
        break;
    default:
        break;
    }

    std::unique_ptr<TColorLookup> owned;
    TColorLookup* lookup = nullptr;
    switch (Method) {
    case rdmBlackWhite:
        owned = std::make_unique<TMonochromeLookup>();
        break;
    case rdmGrayRamp:
        owned = std::make_unique<TGrayScaleLookup>();
        break;
    case rdmWebCube:
        owned = std::make_unique<TNetscapeColorLookup>();
        break;
    default:
        owned = std::make_unique<TSlowColorLookup>(palette);
        break;
    }
    if (owned) lookup = owned.get();
    if (lookup->Colors() == 0) return result;

    const int width = reader.Width();
    const int height = reader.Height();
    std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(Dither, *lookup, width);
    if (!engine) return result;

    TDIBWriter writer(*result, pf8bit, width, height, palette);
    const int step = reader.PixelBytes();
    if (Dither == dkNearestColor) {
        // Without error diffusion the walking direction changes nothing.
        for (int y = 0; y < height; ++y)
            lookup->LookupRow(reader.Row(y), step, width, writer.Row(y));
        writer.Finish();
        return result;
    }
    for (int y = 0; y < height; ++y) {
        const Byte* src = reader.Row(y);
        Byte* dst = writer.Row(y);
        for (int i = 0; i < width; ++i) {
            const int x = engine->Column();
            const Byte* p = src + std::size_t(x) * step;
            int r, g, b;
            dst[x] = Byte(engine->Dither(p[2], p[1], p[0], r, g, b));
        }
        engine->NextLine();
    }
    writer.Finish();
    return result;
}
