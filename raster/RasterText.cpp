// Text on bitmaps: the font of a TBitmap32, measuring, plain drawing, and
// antialiased translucent text made from white-on-black coverage.
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/TextRender.h"
#include "raster/RasterCore.h"

#include <algorithm>
#include <climits>
#include <string>

void SetFontQuality(TFont& Font, TFontQuality Quality) {
    Font.SetLogFont(BuildLogFont(Font, Quality));
}

void TBitmap32::AssignFont(const TFont& Font) {
    FFont.Assign(Font);
}

void TBitmap32::ApplyFontToDC() {
    // Only a bitmap with pixels has a device context to select a font into.
    if (!FSelectedFont && !Empty()) FSelectedFont = FFont.LogFont();
}

TSize TBitmap32::MeasureText(std::string_view Text) {
    ApplyFontToDC();
    if (FSelectedFont) return ::MeasureText(*FSelectedFont, Text);
    return ::MeasureText(FFont.LogFont(), Text);
}

void TBitmap32::DrawTextAt(int X, int Y, std::string_view Text) {
    ApplyFontToDC();
    if (!FMeasuringMode && FSelectedFont) {
        TPixelSurface surface;
        if (BeginDraw(surface)) {
            ::DrawText(surface, X, Y, Text, *FSelectedFont, FFont.Color(),
                       FClipping ? &FClipRect : nullptr);
            EndDraw(true);
        }
    }
    const TSize size = MeasureText(Text);
    AreaChanged({X, Y, X + size.cx + 1, Y + size.cy + 1}, AREAINFO_RECT);
}

namespace {

int SaturateSize(std::int64_t V) {
    return int(std::clamp<std::int64_t>(V, 0, INT_MAX));
}

// Each pixel of W becomes Color with the average blue of its 2^n x 2^n block
// of S as alpha.
void DownsampleTextCoverage(TBitmap32& W, const TBitmap32& S, TColor32 Color, int n) {
    const int block = 1 << n;
    for (int y = 0; y < W.Height(); ++y) {
        TColor32* out = W.ScanLine(y);
        for (int x = 0; x < W.Width(); ++x) {
            Cardinal sum = 0;
            for (int j = 0; j < block; ++j) {
                const TColor32* in = S.PixelPtr(x << n, (y << n) + j);
                for (int i = 0; i < block; ++i)
                    sum += in[i] & 0xFF;
            }
            out[x] = ((sum >> n >> n) << 24) | Color;
        }
    }
}

// Every non-zero pixel becomes Color with the pixel's blue byte as alpha.
void BlueToAlpha(TBitmap32& W, TColor32 Color) {
    TColor32* p = W.Bits();
    if (!p) return;
    for (std::size_t i = 0, n = std::size_t(W.Width()) * W.Height(); i < n; ++i)
        if (p[i] != 0) p[i] = ((p[i] & 0xFF) << 24) | Color;
}

} // namespace

void TBitmap32::RenderAntialiasedText(int X, int Y, std::string_view Text, int AALevel,
                                      TColor32 Color) {
    if (Empty()) return;
    const Cardinal alpha = Color >> 24;
    AALevel = std::clamp(AALevel, -1, 4);
    const std::string padded = std::string(Text) + " ";

    struct TRestoreQuality {
        TFont& Font;
        ~TRestoreQuality() { SetFontQuality(Font, fqDefault); }
    } restore{FFont};
    // Negative levels let the rasteriser antialias (and do not scale); the
    // others draw on/off glyphs that the engine averages itself.
    SetFontQuality(FFont, AALevel < 0 ? fqAntialiased : fqNonAntialiased);

    const TColor32 rgb = Color & 0x00FFFFFFu;
    TBitmap32 work;
    if (AALevel != 0) {
        const int n = AALevel < 0 ? 0 : AALevel;
        TCanvas* canvas = StockMeasuringBitmap()->Canvas();
        canvas->Lock();
        struct TUnlock {
            TCanvas* C;
            ~TUnlock() { C->Unlock(); }
        } unlock{canvas};
        canvas->Font()->Assign(FFont);
        // Through points only when scaling: a height given in pixels would
        // not survive the round trip unchanged.
        if (n > 0) canvas->Font()->SetSize(FFont.Size() * (1 << n));
        const TSize extent = canvas->TextExtent(padded);
        const int width = SaturateSize((std::int64_t(extent.cx >> n) + 1) << n);
        const int height = SaturateSize((std::int64_t(extent.cy >> n) + 1) << n);

        TBitmap32 scaled;
        scaled.SetDimensions(width, height);
        scaled.ClearToColor(0);
        scaled.AssignFont(*canvas->Font());
        scaled.Font()->SetColor(clWhite);
        scaled.DrawTextAt(0, 0, Text);

        work.SetDimensions(width >> n, height >> n);
        if (!work.Empty()) DownsampleTextCoverage(work, scaled, rgb, n);
    } else {
        const TSize extent = MeasureText(padded);
        work.SetDimensions(extent.cx, extent.cy);
        work.AssignFont(FFont);
        work.ClearToColor(0);
        work.Font()->SetColor(clWhite);
        work.DrawTextAt(0, 0, Text);
        BlueToAlpha(work, rgb);
    }
    work.SetDrawMode(dmBlend);
    work.SetMasterAlpha(Integer(alpha));
    work.SetCombineMode(FCombineMode);
    work.DrawOnto(this, X, Y);
}
