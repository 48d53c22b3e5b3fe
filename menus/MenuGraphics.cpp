#include "menus/MenuGraphics.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/base/Rounding.h"
#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Screen.h"
#include "raster/RasterBlend.h"

namespace {

// Paints where the monochrome source is 1 and keeps the destination where it
// is 0: (S and P) or (not S and D).
constexpr TCopyMode ropPaintThroughMask = 0x00E20746;

// The work images of a keyed copy, like any bitmap the system makes, have a
// size limit (8M pixels each).
constexpr std::int64_t MaxWorkPixels = std::int64_t(1) << 23;

constexpr std::uint32_t MaskWhite = 0xFFFFFFFFu;

// 0x00BBGGRR (system colours resolved, flag bits dropped) -> the R, G, B of a
// B, G, R, A pixel read as a little-endian dword.
std::uint32_t ColorToPixelRGB(TColor Color) {
    const std::uint32_t c = std::uint32_t(ColorToRGB(Color));
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::uint32_t LoadPixel(const TPixelSurface& S, int X, int Y) {
    std::uint32_t v;
    std::memcpy(&v, S.Bits + std::int64_t(Y) * S.Stride + std::int64_t(X) * 4, 4);
    return v;
}

class TSavedCopyMode {
public:
    TSavedCopyMode(TCanvas* Canvas, TCopyMode Mode) : FCanvas(Canvas), FSaved(Canvas->CopyMode()) {
        Canvas->SetCopyMode(Mode);
    }
    ~TSavedCopyMode() { FCanvas->SetCopyMode(FSaved); }
    TSavedCopyMode(const TSavedCopyMode&) = delete;
    TSavedCopyMode& operator=(const TSavedCopyMode&) = delete;

private:
    TCanvas* FCanvas;
    TCopyMode FSaved;
};

class TSavedBrush {
public:
    explicit TSavedBrush(TCanvas* Canvas) : FCanvas(Canvas) { FSaved.Assign(*Canvas->Brush()); }
    ~TSavedBrush() { FCanvas->Brush()->Assign(FSaved); }
    TSavedBrush(const TSavedBrush&) = delete;
    TSavedBrush& operator=(const TSavedBrush&) = delete;

private:
    TCanvas* FCanvas;
    TBrush FSaved;
};

class TCanvasLock {
public:
    explicit TCanvasLock(TCanvas* Canvas) : FCanvas(Canvas) { Canvas->Lock(); }
    ~TCanvasLock() { FCanvas->Unlock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;

private:
    TCanvas* FCanvas;
};

// A caller-owned 32-bit image with a canvas over it.
struct TWorkImage {
    std::vector<std::uint32_t> Pixels;
    TPixelSurface Surface;
    std::unique_ptr<TCanvas> Canvas;

    TWorkImage(int Width, int Height, std::uint32_t Fill)
        : Pixels(std::size_t(Width) * std::size_t(Height), Fill) {
        Surface.Bits = reinterpret_cast<Byte*>(Pixels.data());
        Surface.Width = Width;
        Surface.Height = Height;
        Surface.Stride = Width * 4;
        Canvas = std::make_unique<TCanvas>(Surface);
    }
    std::uint32_t& At(int X, int Y) { return Pixels[std::size_t(Y) * Surface.Width + X]; }
};

// Lays Pattern through a monochrome mask onto Canvas at (X, Y): the mask is
// given as 1 (paint) or 0 (keep) per pixel and turned into colour with
// "1 = white, 0 = black", which the raster operation reads bit by bit.
void PaintThroughMask(TCanvas* Canvas, int X, int Y, TWorkImage& Mask, TColor Pattern) {
    TSavedCopyMode Mode(Canvas, ropPaintThroughMask);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(Pattern);
    const TRect Source{0, 0, Mask.Surface.Width, Mask.Surface.Height};
    Canvas->CopyRect(Bounds(X, Y, Mask.Surface.Width, Mask.Surface.Height), Mask.Canvas.get(),
                     Source);
}

} // namespace

// ---------------------------------------------------------------------------
// Keyed copies

void PaintBitmapKeyed(TCanvas* Canvas, int X, int Y, TColor TransparentColor, TBitmap* Bitmap) {
    if (Bitmap == nullptr) return;
    StretchBitmapKeyed(Canvas, Bitmap, TransparentColor, X, Y, Bitmap->Width(), Bitmap->Height(), 0,
                       0, Bitmap->Width(), Bitmap->Height());
}

void StretchBitmapKeyed(TCanvas* Canvas, TBitmap* Bitmap, TColor TransparentColor, int DstX,
                        int DstY, int DstW, int DstH, int SrcX, int SrcY, int SrcW, int SrcH) {
    if (Canvas == nullptr || Bitmap == nullptr || Bitmap->Empty()) return;
    if (DstW < 1) DstW = Bitmap->Width();
    if (DstH < 1) DstH = Bitmap->Height();
    if (SrcW < 1 || SrcH < 1) {
        SrcX = 0;
        SrcY = 0;
        SrcW = Bitmap->Width();
        SrcH = Bitmap->Height();
    }
    TCanvas* Source = Bitmap->Canvas();
    TCanvasLock Lock(Source);
    // Reading the bitmap is no change of it.
    TNotifyEvent SavedOnChange = std::exchange(Source->OnChange, nullptr);
    struct TRestore {
        TCanvas* C;
        TNotifyEvent& Saved;
        ~TRestore() { C->OnChange = std::move(Saved); }
    } Restore{Source, SavedOnChange};

    if (TransparentColor == clNone) {
        Canvas->CopyRect(Bounds(DstX, DstY, DstW, DstH), Source, Bounds(SrcX, SrcY, SrcW, SrcH));
        return;
    }
    TColor Key;
    if (Bitmap->Monochrome())
        Key = clWhite;
    else if (TransparentColor == clDefault)
        Key = Bitmap->PixelColor(0, Bitmap->Height() - 1);
    else
        Key = TransparentColor;
    StretchBltKeyed(Canvas, DstX, DstY, DstW, DstH, Source, SrcX, SrcY, SrcW, SrcH, Key);
}

void StretchBltKeyed(TCanvas* Dest, int X, int Y, int Width, int Height, TCanvas* Source, int SrcX,
                     int SrcY, int SrcW, int SrcH, TColor TransparentColor) {
    if (Dest == nullptr || Source == nullptr) return;
    if (Width < 1 || Height < 1 || SrcW < 1 || SrcH < 1) return;
    if (std::int64_t(SrcW) * SrcH > MaxWorkPixels) throw EOutOfResources("Out of system resources");

    const std::uint32_t Key = ColorToPixelRGB(TransparentColor);
    // The source is read once, before the destination changes (they may be
    // one canvas). The mask is white where the destination stays (keyed
    // pixels, and pixels outside the source) and is ANDed in; then the
    // source, black at those pixels, is ORed in.
    TWorkImage Mask(SrcW, SrcH, MaskWhite);
    TWorkImage Work(SrcW, SrcH, 0);
    TPixelSurface S;
    if (!Source->AcquireSurface(S)) return;
    for (int y = 0; y < SrcH; ++y) {
        const std::int64_t sy = std::int64_t(SrcY) + y;
        if (sy < 0 || sy >= S.Height) continue;
        for (int x = 0; x < SrcW; ++x) {
            const std::int64_t sx = std::int64_t(SrcX) + x;
            if (sx < 0 || sx >= S.Width) continue;
            const std::uint32_t p = LoadPixel(S, int(sx), int(sy));
            if ((p & 0x00FFFFFF) == Key) continue;
            Mask.At(x, y) = 0;
            Work.At(x, y) = p;
        }
    }
    Source->ReleaseSurface(false);

    const TRect DestRect = Bounds(X, Y, Width, Height);
    const TRect WorkRect{0, 0, SrcW, SrcH};
    {
        TSavedCopyMode Mode(Dest, cmSrcAnd);
        Dest->CopyRect(DestRect, Mask.Canvas.get(), WorkRect);
    }
    TSavedCopyMode Mode(Dest, cmSrcPaint);
    Dest->CopyRect(DestRect, Work.Canvas.get(), WorkRect);
}

// ---------------------------------------------------------------------------
// Disabled drawing

std::unique_ptr<TBitmap> MakeDisabledBitmap(TBitmap* Bitmap, TColor MaskColor, TColor Background,
                                            bool WantShadow, TColor Face, TColor Highlight) {
    if (Bitmap == nullptr) return std::make_unique<TBitmap>();
    const int W = Bitmap->Width(), H = Bitmap->Height();
    auto Result = std::make_unique<TBitmap>(W, H, pfDevice);
    if (W == 0 || H == 0) return Result;

    // A monochrome source turns to colour with its black pixels white and
    // its white ones in the mask colour; the mask then picks the white.
    const bool Mono = Bitmap->Monochrome();
    const std::uint32_t MaskRGB = ColorToPixelRGB(MaskColor);
    const std::uint32_t Picked = Mono ? 0x00FFFFFFu : MaskRGB;
    TWorkImage Mask(W, H, 0);
    const std::vector<Byte> Pixels = Bitmap->ToBGRA();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const Byte* p = &Pixels[(std::size_t(y) * W + x) * 4];
            std::uint32_t rgb = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
            if (Mono) rgb = rgb == 0 ? 0x00FFFFFFu : MaskRGB;
            if (rgb == Picked) Mask.At(x, y) = MaskWhite;
        }

    TCanvas* C = Result->Canvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Background);
    C->FillRect({0, 0, W, H});
    if (WantShadow) PaintThroughMask(C, 1, 1, Mask, Highlight);
    PaintThroughMask(C, 0, 0, Mask, Face);
    return Result;
}

void DrawDisabledMask(TCanvas* Canvas, int X, int Y, TBitmap* Mask, bool WantShadow, TColor Face,
                      TColor Highlight) {
    if (Canvas == nullptr || Mask == nullptr || Mask->Empty()) return;
    // The mask becomes monochrome the way any bitmap does; its black pixels
    // are the image.
    TBitmap Mono;
    Mono.Assign(Mask);
    Mono.SetMonochrome(true);
    const int W = Mono.Width(), H = Mono.Height();
    TWorkImage Bits(W, H, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (Mono.PixelColor(x, y) == clBlack) Bits.At(x, y) = MaskWhite;

    TSavedBrush Brush(Canvas);
    if (WantShadow) PaintThroughMask(Canvas, X + 1, Y + 1, Bits, Highlight);
    PaintThroughMask(Canvas, X, Y, Bits, Face);
}

// ---------------------------------------------------------------------------
// Glyphs and fills

void CutGlyph(TGraphic* Source, TBitmap* Target, int Count, int Index, int Rows) {
    if (Source == nullptr || Target == nullptr) return;
    Count = std::max(Count, 1);
    Rows = std::max(Rows, 1);
    Index = std::max(Index, 0);
    const int W = Source->Width() / Count;
    const int H = Source->Height() / Rows;
    const int Left = (Index % Count) * W;
    const int Top = (Index / Count) * H;
    // A fresh target: a piece beyond the source leaves black, not old pixels.
    Target->SetSize(0, 0);
    Target->SetSize(W, H);
    if (W > 0 && H > 0) {
        if (auto* Bitmap = dynamic_cast<TBitmap*>(Source)) {
            TSavedCopyMode Mode(Target->Canvas(), cmSrcCopy);
            Target->Canvas()->CopyRect({0, 0, W, H}, Bitmap->Canvas(), Bounds(Left, Top, W, H));
            Target->SetTransparentColor(Bitmap->TransparentColor());
        } else {
            TCanvas* C = Target->Canvas();
            C->Brush()->SetStyle(bsSolid);
            C->Brush()->SetColor(clSilver);
            C->FillRect({0, 0, W, H});
            C->Draw(-Left, -Top, Source);
        }
    }
    Target->SetTransparent(Source->Transparent());
}

void GradientFill(TCanvas* Canvas, const TRect& Rect, TColor StartColor, int ColorCount,
                  TGradientDirection Direction, TColor EndColor) {
    if (Canvas == nullptr) return;
    TCanvasLock Lock(Canvas);
    if (StartColor == clNone && EndColor == clNone) return;
    if (Rect.IsEmpty()) return;
    if (Direction == gdBottomToTop || Direction == gdRightToLeft) std::swap(StartColor, EndColor);
    const bool Vertical = Direction == gdTopToBottom || Direction == gdBottomToTop;

    TSavedBrush Brush(Canvas);
    Canvas->Brush()->SetStyle(bsSolid);
    const std::int32_t Start = ColorToRGB(StartColor) & 0x00FFFFFF;
    const std::int32_t End = ColorToRGB(EndColor) & 0x00FFFFFF;
    if (ColorCount < 2 || Start == End) {
        Canvas->Brush()->SetColor(Start);
        Canvas->FillRect(Rect);
        return;
    }

    const int Extent = Vertical ? Rect.Height() : Rect.Width();
    const int n = std::max(2, std::min(ColorCount, Extent));
    const int Band = Extent / n;
    const int R0 = Start & 0xFF, G0 = (Start >> 8) & 0xFF, B0 = (Start >> 16) & 0xFF;
    const int DR = (End & 0xFF) - R0, DG = ((End >> 8) & 0xFF) - G0, DB = ((End >> 16) & 0xFF) - B0;
    auto Part = [&](int From, int To) {
        return Vertical ? TRect{Rect.Left, Rect.Top + From, Rect.Right, Rect.Top + To}
                        : TRect{Rect.Left + From, Rect.Top, Rect.Left + To, Rect.Bottom};
    };
    if (Band > 0) {
        for (int k = 0; k < n; ++k) {
            const int r = R0 + MulDiv(k, DR, n - 1);
            const int g = G0 + MulDiv(k, DG, n - 1);
            const int b = B0 + MulDiv(k, DB, n - 1);
            Canvas->Brush()->SetColor(TColor(r | (g << 8) | (b << 16)));
            Canvas->FillRect(Part(k * Band, (k + 1) * Band));
        }
    }
    if (n * Band < Extent) {
        Canvas->Brush()->SetColor(End);
        Canvas->FillRect(Part(n * Band, Extent));
    }
}

// ---------------------------------------------------------------------------
// Application services

int ApplicationMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
    if (Application == nullptr) return 0;
    return Application->MessageBox(Text, Caption.empty() ? Application->Title() : Caption, Flags);
}

HWND AllocateUtilityWindow(const std::string& ClassName, TWndMethod Method) {
    if (!Method) return AllocateHWnd([](TMessage& Message) { Message.Result = 0; });
    return AllocateHWnd([Method = std::move(Method)](TMessage& Message) {
        Message.Result = 0;
        Method(Message);
    });
}

void DeallocateUtilityWindow(HWND Wnd) {
    if (Wnd != nullptr) DeallocateHWnd(Wnd);
}

void CopyStockCursors() {
    if (Screen == nullptr) return;
    try {
        Screen->SetCursors(crStockMultiDrag, SystemCursor(crMultiDrag));
        Screen->SetCursors(crStockDrag, SystemCursor(crDrag));
        Screen->SetCursors(crStockMultiDrag2, SystemCursor(crMultiDrag));
        Screen->SetCursors(crStockMultiDrag3, SystemCursor(crMultiDrag));
    } catch (...) {
        // Missing drag cursors only cost the feedback shape.
    }
}

// ---------------------------------------------------------------------------
// Small helpers

void BitBlockCopy(TCanvas* Dest, int X, int Y, int Width, int Height, TCanvas* Source, int SrcX,
                  int SrcY, TCopyMode Rop) {
    if (Dest == nullptr || Source == nullptr) return;
    TSavedCopyMode Mode(Dest, Rop);
    Dest->CopyRect(Bounds(X, Y, Width, Height), Source, Bounds(SrcX, SrcY, Width, Height));
}

bool InvalidateWindow(HWND Wnd) {
    TWinControl* Control = FindControl(Wnd);
    if (Control == nullptr) return false;
    Control->Invalidate();
    return true;
}

// ---------------------------------------------------------------------------
// Blend routines

namespace {

Cardinal Limit255(Cardinal V) {
    return V > 255 ? 255 : V;
}

TColor32 PlainCombineReg(TColor32 F, TColor32 B, Cardinal W) {
    W = Limit255(W);
    if (W == 255) return F;
    if (W == 0) return B;
    TColor32 Result = 0;
    for (int Shift = 0; Shift < 32; Shift += 8) {
        const Cardinal f = (F >> Shift) & 0xFF, b = (B >> Shift) & 0xFF;
        Result |= ((W * f + (255 - W) * b) / 255) << Shift;
    }
    return Result;
}
void PlainCombineMem(TColor32 F, TColor32& B, Cardinal W) {
    B = PlainCombineReg(F, B, W);
}

// The blend arithmetic is the raster engine's own: mix with 256 - a and
// round at 0x80. Its BlendMem has the same early exits for a = 0 and 255.
TColor32 PlainBlendReg(TColor32 F, TColor32 B) {
    ::BlendMem(F, B);
    return B;
}
void PlainBlendMem(TColor32 F, TColor32& B) {
    ::BlendMem(F, B);
}
// F's alpha scaled by the master alpha; the weight never reaches 255.
TColor32 PlainBlendRegEx(TColor32 F, TColor32 B, Cardinal M) {
    const Cardinal w = (Limit255(M) * (F >> 24)) >> 8;
    return w == 0 ? B : ::CombineReg(F, B, w);
}
void PlainBlendMemEx(TColor32 F, TColor32& B, Cardinal M) {
    B = PlainBlendRegEx(F, B, M);
}
void PlainBlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    ::BlendLine(Src, Dst, Count);
}
void PlainBlendLineEx(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    for (int i = 0; i < Count; ++i)
        Dst[i] = PlainBlendRegEx(Src[i], Dst[i], M);
}

constexpr TGraphBlendRoutines PlainSet{PlainCombineReg, PlainCombineMem, PlainBlendReg,
                                       PlainBlendMem,   PlainBlendRegEx, PlainBlendMemEx,
                                       PlainBlendLine,  PlainBlendLineEx};

const TGraphBlendRoutines* GChosen = &PlainSet;

} // namespace

const TGraphBlendRoutines& PlainGraphBlendRoutines() {
    return PlainSet;
}

const TGraphBlendRoutines& GraphBlendRoutines() {
    return *GChosen;
}

void InitMenuGraphics() {
    // A vector form of these routines would have to give the portable
    // results, so every processor gets the portable set.
    GChosen = &PlainSet;
    CopyStockCursors();
}

void DoneMenuGraphics() {
    GChosen = &PlainSet;
}
