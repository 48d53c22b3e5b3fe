#include "raster/RasterCore.h"

#include "platform/classes/Filer.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/Metafile.h"
#include "raster/RasterResamplers.h"
#include "raster/RasterTransfer.h"

#include <bit>
#include <cstring>
#include <new>
#include <typeinfo>

// ---------------------------------------------------------------------------
// Bases

void TNotifiablePersistent::EndUpdate() {
    if (FUpdateCount <= 0) throw EAssertionFailed(SUnpairedEndUpdate);
    --FUpdateCount;
}

bool TCustomMap::SetDimensions(int NewWidth, int NewHeight) {
    if (NewWidth < 0) NewWidth = 0;
    if (NewHeight < 0) NewHeight = 0;
    if (NewWidth == FWidth && NewHeight == FHeight) return false;
    ChangeSize(NewWidth, NewHeight);
    Changed();
    Resized();
    return true;
}

namespace {
// Pixel count of a W x H map, or -1 when its 32-bit cells would pass the cap.
std::int64_t CellCount(int W, int H) {
    const std::int64_t n = std::int64_t(W) * std::int64_t(H);
    if (n > MaxBitmap32Bytes / 4) return -1;
    return n;
}
} // namespace

void TIntegerMap::ChangeSize(int NewWidth, int NewHeight) {
    FBits.clear();
    FBits.shrink_to_fit();
    FWidth = FHeight = 0;
    if (NewWidth > 0 && NewHeight > 0) {
        const std::int64_t n = CellCount(NewWidth, NewHeight);
        if (n < 0) throw EOutOfMemory(SCantAllocateDIBHandle);
        try {
            FBits.assign(std::size_t(n), 0);
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(SCantAllocateDIBHandle);
        }
    }
    TCustomMap::ChangeSize(NewWidth, NewHeight);
}

void TIntegerMap::Clear(Integer FillValue) {
    std::fill(FBits.begin(), FBits.end(), FillValue);
    Changed();
}

// ---------------------------------------------------------------------------
// TBitmap32: life and storage

TBitmap32::TBitmap32() {
    FFont.OnChange = [this](TObject* Sender) { FontChanged(Sender); };
    // Installs itself as this bitmap's resampler.
    new TNearestResampler(this);
}

TBitmap32::~TBitmap32() {
    StartUpdate();
    Lock();
    // No notification leaves a bitmap that is going away.
    OnChange = nullptr;
    OnResize = nullptr;
    OnAreaChanged = nullptr;
    OnHandleChanged = nullptr;
    FFont.OnChange = nullptr;
    DeleteCanvas();
    ClearStorage();
    FResampler.reset();
    Unlock();
}

void TBitmap32::ClearStorage() {
    FSelectedFont.reset();
    FBits.reset();
    FWidth = FHeight = 0;
}

void TBitmap32::ChangeSize(int NewWidth, int NewHeight) {
    ClearStorage();
    try {
        if (NewWidth > 0 && NewHeight > 0) {
            const std::int64_t n = CellCount(NewWidth, NewHeight);
            if (n < 0) throw EOutOfMemory(SCantAllocateDIBHandle);
            // Value-initialised: fresh storage is all zeros.
            FBits.reset(new (std::nothrow) TColor32[std::size_t(n)]());
            if (!FBits) throw EOutOfMemory(SCantAllocateDIBHandle);
        }
        FWidth = NewWidth;
        FHeight = NewHeight;
    } catch (...) {
        ResetClipRectangle();
        HandleChanged();
        throw;
    }
    ResetClipRectangle();
    HandleChanged();
}

void TBitmap32::HandleChanged() {
    // The canvas stays: it reaches the pixels afresh at each drawing.
    if (OnHandleChanged) OnHandleChanged(this);
}

void TBitmap32::FontChanged(TObject*) {
    FSelectedFont.reset();
}

void TBitmap32::SetClipRectangle(const TRect& Value) {
    IntersectRect(FClipRect, Value, BoundsRect());
    auto shl = [](int v, int n) { return int(std::uint32_t(v) << n); };
    FFixedClipRect = {shl(FClipRect.Left, 16), shl(FClipRect.Top, 16), shl(FClipRect.Right, 16),
                      shl(FClipRect.Bottom, 16)};
    F256ClipRect = {shl(FClipRect.Left, 8), shl(FClipRect.Top, 8), shl(FClipRect.Right, 8),
                    shl(FClipRect.Bottom, 8)};
    FClipping = !(FClipRect == BoundsRect());
}

// ---------------------------------------------------------------------------
// Pixel reads

TColor32 TBitmap32::ReadPixelClipped(int X, int Y) const {
    if (X >= FClipRect.Left && X < FClipRect.Right && Y >= FClipRect.Top && Y < FClipRect.Bottom)
        return ReadPixel(X, Y);
    return FOuterColor;
}

TColor32 TBitmap32::ReadPixelWrapped(int X, int Y) const {
    if (FClipRect.IsEmpty()) return FOuterColor;
    const TWrapProc wrap = GetWrapProc(FWrapMode);
    return ReadPixel(wrap(X, FClipRect.Left, FClipRect.Right - 1),
                     wrap(Y, FClipRect.Top, FClipRect.Bottom - 1));
}

TColor32 TBitmap32::ReadPixelT256(int X, int Y) const {
    const TColor32* p = PixelPtr(X >> 8, Y >> 8);
    const Cardinal wx = GammaTable[255 - (X & 255)];
    const Cardinal wy = GammaTable[255 - (Y & 255)];
    const TColor32 top = CombineReg(p[0], p[1], wx);
    const TColor32 bottom = CombineReg(p[FWidth], p[FWidth + 1], wx);
    return CombineReg(top, bottom, wy);
}

TColor32 TBitmap32::ReadPixelT256Safe(int X, int Y) const {
    if (Empty() || X < 0 || Y < 0) return FOuterColor;
    const std::int64_t lastX = std::int64_t(FWidth - 1) << 8;
    const std::int64_t lastY = std::int64_t(FHeight - 1) << 8;
    if (X < lastX && Y < lastY) return ReadPixelT256(X, Y);
    if (X == lastX && Y <= lastY) return ReadPixel(FWidth - 1, Y >> 8);
    if (Y == lastY && X <= lastX) return ReadPixel(X >> 8, FHeight - 1);
    return FOuterColor;
}

TColor32 TBitmap32::ReadPixelFixedWrapped(TFixed X, TFixed Y) const {
    if (FClipRect.IsEmpty()) return FOuterColor;
    const TWrapProc wrap = GetWrapProc(FWrapMode);
    const int x = X >> 16, y = Y >> 16;
    const int l = FClipRect.Left, r = FClipRect.Right - 1;
    const int t = FClipRect.Top, b = FClipRect.Bottom - 1;
    const int x1 = wrap(x, l, r), x2 = wrap(x + 1, l, r);
    const int y1 = wrap(y, t, b), y2 = wrap(y + 1, t, b);
    // Weights of the left column and the top row in 0..256, so that a whole
    // position returns its pixel exactly.
    const Cardinal wx = 256 - ((Cardinal(X) & 0xFFFF) >> 8);
    const Cardinal wy = 256 - ((Cardinal(Y) & 0xFFFF) >> 8);
    const TColor32 top = BlendDetail::Mix(ReadPixel(x1, y1), ReadPixel(x2, y1), wx);
    const TColor32 bottom = BlendDetail::Mix(ReadPixel(x1, y2), ReadPixel(x2, y2), wx);
    return BlendDetail::Mix(top, bottom, wy);
}

void TBitmap32::ResetAlpha(int Alpha) {
    if (!FMeasuringMode && !Empty()) {
        const TColor32 a = TColor32(Alpha < 0 ? 0 : (Alpha > 255 ? 255 : Alpha)) << 24;
        TColor32* p = FBits.get();
        const std::size_t n = std::size_t(FWidth) * FHeight;
        for (std::size_t i = 0; i < n; ++i)
            p[i] = (p[i] & 0x00FFFFFFu) | a;
    }
    Changed();
}

// ---------------------------------------------------------------------------
// Fills and lines

void TBitmap32::ClearToColor(TColor32 Color) {
    if (Empty()) return;
    if (!FMeasuringMode) {
        if (FClipping)
            FillRectangle(FClipRect.Left, FClipRect.Top, FClipRect.Right, FClipRect.Bottom, Color);
        else
            FillWords(FBits.get(), FWidth * FHeight, Color);
    }
    Changed();
}

void TBitmap32::FillRectangle(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    if (!FMeasuringMode)
        for (int y = Y1; y < Y2; ++y)
            FillWords(PixelPtr(X1, y), X2 - X1, Value);
    AreaChanged({X1, Y1, X2, Y2}, AREAINFO_RECT);
}

void TBitmap32::FillRectangleClipped(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    TRect r{X1, Y1, X2, Y2};
    if (X1 < X2 && Y1 < Y2 && X1 < FClipRect.Right && X2 > FClipRect.Left &&
        Y1 < FClipRect.Bottom && Y2 > FClipRect.Top) {
        r = {std::max(X1, FClipRect.Left), std::max(Y1, FClipRect.Top),
             std::min(X2, FClipRect.Right), std::min(Y2, FClipRect.Bottom)};
        if (!FMeasuringMode)
            for (int y = r.Top; y < r.Bottom; ++y)
                FillWords(PixelPtr(r.Left, y), r.Right - r.Left, Value);
    }
    AreaChanged(r, AREAINFO_RECT);
}

void TBitmap32::HorzLine(int X1, int Y, int X2, TColor32 Value) {
    FillWords(PixelPtr(X1, Y), X2 - X1 + 1, Value);
}

void TBitmap32::VertLine(int X, int Y1, int Y2, TColor32 Value) {
    if (Y2 < Y1) return;
    TColor32* p = PixelPtr(X, Y1);
    for (int y = Y1; y <= Y2; ++y, p += FWidth)
        *p = Value;
}

void TBitmap32::DrawLine(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L) {
    DrawLinePixels(X1, Y1, X2, Y2, Value, L);
    AreaChanged({X1, Y1, X2, Y2}, AREAINFO_LINE | 2);
}

void TBitmap32::DrawLinePixels(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L) {
    const int dx = X2 - X1, dy = Y2 - Y1;
    if (dx == 0) {
        if (dy > 0)
            VertLine(X1, Y1, Y2 - 1, Value);
        else if (dy < 0)
            VertLine(X1, Y2 + 1, Y1, Value);
        if (L) WritePixel(X2, Y2, Value);
        return;
    }
    if (dy == 0) {
        if (X1 < X2)
            HorzLine(X1, Y1, X2 - 1, Value);
        else
            HorzLine(X2 + 1, Y1, X1, Value);
        if (L) WritePixel(X2, Y2, Value);
        return;
    }
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    const int ax = dx > 0 ? dx : -dx, ay = dy > 0 ? dy : -dy;
    int x = X1, y = Y1;
    if (ay < ax) {
        int e = ax / 2;
        for (int i = 0; i < ax; ++i) {
            WritePixel(x, y, Value);
            e += ay;
            x += sx;
            if (e >= ax) {
                y += sy;
                e -= ax;
            }
        }
    } else {
        int e = ay / 2;
        for (int i = 0; i < ay; ++i) {
            WritePixel(x, y, Value);
            e += ax;
            y += sy;
            if (e >= ay) {
                x += sx;
                e -= ay;
            }
        }
    }
    if (L) WritePixel(x, y, Value);
}

// ---------------------------------------------------------------------------
// Composition

void TBitmap32::DrawBitmapAt(int X, int Y, TBitmap32* Src) {
    if (Src) Src->DrawOnto(this, X, Y);
}

void TBitmap32::DrawOnto(TBitmap32* Dst, int X, int Y) {
    TransferBlock(Dst, X, Y, Dst ? Dst->ClipRect() : TRect{}, this, BoundsRect(), FDrawMode,
                  OnPixelCombine);
}

void TBitmap32::DrawOntoRect(TBitmap32* Dst, const TRect& DstRect) {
    TransferStretched(Dst, DstRect, Dst ? Dst->ClipRect() : TRect{}, this, BoundsRect(),
                      FResampler.get(), FDrawMode, OnPixelCombine);
}

void TBitmap32::DrawToDC(TCanvas* Canvas, int X, int Y) {
    if (Empty() || !Canvas) return;
    TPixelSurface s;
    if (!Canvas->AcquireSurface(s)) return;
    TRect r;
    if (IntersectRect(r, Bounds(X, Y, FWidth, FHeight), s.BoundsRect())) {
        for (int y = r.Top; y < r.Bottom; ++y)
            std::memmove(s.Row(y) + r.Left, PixelPtr(r.Left - X, y - Y),
                         std::size_t(r.Width()) * sizeof(TColor32));
    }
    Canvas->ReleaseSurface(true);
}

// ---------------------------------------------------------------------------
// Assignment

void TBitmap32::CopyMapTo(TBitmap32& Dst) const {
    Dst.SetDimensions(FWidth, FHeight);
    if (!Empty() && !Dst.Empty())
        std::memcpy(Dst.FBits.get(), FBits.get(), std::size_t(FWidth) * FHeight * sizeof(TColor32));
}

void TBitmap32::CopyPropertiesTo(TBitmap32& Dst) const {
    Dst.SetDrawMode(FDrawMode);
    Dst.SetCombineMode(FCombineMode);
    Dst.SetWrapMode(FWrapMode);
    Dst.SetMasterAlpha(FMasterAlpha);
    Dst.SetOuterColor(FOuterColor);
    Dst.SetResamplerClassName(ResamplerClassName());
    if (Dst.FResampler && FResampler) Dst.FResampler->Assign(FResampler.get());
    Dst.AssignFont(FFont);
}

void TBitmap32::AssignFromBitmap(const TBitmap& Source) {
    SetDimensions(Source.Width(), Source.Height());
    if (Empty()) return;
    CopyBGRARows(Source.Image());
    if (Source.PixelFormat() != pf32bit) ResetAlpha(255);
    if (Source.Transparent()) {
        const TColor32 key = ToColor32(Source.TransparentColor()) & 0x00FFFFFFu;
        TColor32* p = FBits.get();
        for (std::size_t i = 0, n = std::size_t(FWidth) * FHeight; i < n; ++i)
            if ((p[i] & 0x00FFFFFFu) == key) p[i] = key;
    }
    FFont.Assign(*const_cast<TBitmap&>(Source).Canvas()->Font());
}

// Row by row from the source's pixels, so that a large picture is never held
// a third time as an intermediate 32-bit copy.
void TBitmap32::CopyBGRARows(const TDibImage& Image) {
    for (int y = 0; y < FHeight; ++y) {
        TColor32* row = FBits.get() + std::size_t(y) * FWidth;
        DibRowToBGRA(Image, y, reinterpret_cast<Byte*>(row));
        if constexpr (std::endian::native == std::endian::big) {
            for (int x = 0; x < FWidth; ++x)
                row[x] = __builtin_bswap32(row[x]);
        }
    }
}

// An icon keeps its own alpha, half-transparent pixels included; fully clear
// pixels come out white as the two drawings of a masked picture give them.
void TBitmap32::AssignFromIcon(const TIcon& Icon) {
    SetDimensions(Icon.Width(), Icon.Height());
    if (Empty()) return;
    CopyBGRARows(Icon.Image());
    TColor32* p = FBits.get();
    for (std::size_t i = 0, n = std::size_t(FWidth) * FHeight; i < n; ++i)
        if ((p[i] >> 24) == 0) p[i] = 0x00FFFFFFu;
}

void TBitmap32::AssignFromGraphicDrawing(TGraphic* Graphic) {
    if (!Graphic) {
        SetDimensions(0, 0);
        return;
    }
    SetDimensions(Graphic->Width(), Graphic->Height());
    if (Empty()) return;
    // What the graphic leaves undrawn (the clear pixels of a GIF) comes out
    // white, as on a page, rather than black: white is what the banner lays
    // under its background picture and the key colour its image elements
    // start with, so a clear GIF backdrop stays clear there.
    ClearToColor(0xFFFFFFFFu);
    TCanvas canvas(this);
    canvas.StretchDraw(BoundsRect(), Graphic);
    ResetAlpha(255);
}

void TBitmap32::AssignFromMaskedGraphic(TGraphic* Graphic) {
    // The picture drawn once on white and once on blue: a pixel that comes
    // out the same on both is the picture's own (opaque), the others show
    // the background through (transparent).
    SetDimensions(Graphic->Width(), Graphic->Height());
    if (Empty()) return;
    ClearToColor(0xFFFFFFFFu);
    {
        TCanvas canvas(this);
        canvas.StretchDraw(BoundsRect(), Graphic);
    }
    TBitmap32 probe;
    probe.SetDimensions(FWidth, FHeight);
    probe.ClearToColor(0xFFFF0000u);
    {
        TCanvas canvas(&probe);
        canvas.StretchDraw(probe.BoundsRect(), Graphic);
    }
    TColor32* p = FBits.get();
    const TColor32* q = probe.Bits();
    for (std::size_t i = 0, n = std::size_t(FWidth) * FHeight; i < n; ++i) {
        const TColor32 rgb = p[i] & 0x00FFFFFFu;
        p[i] = rgb == (q[i] & 0x00FFFFFFu) ? rgb | 0xFF000000u : rgb;
    }
}

void TBitmap32::Assign(const TPersistent* Source) {
    if (Source == this) return;
    const bool known = Source == nullptr || dynamic_cast<const TBitmap32*>(Source) ||
                       dynamic_cast<const TGraphic*>(Source) ||
                       dynamic_cast<const TPicture*>(Source) ||
                       dynamic_cast<const TClipboard*>(Source);
    if (!known) {
        TPersistent::Assign(Source);
        return;
    }
    StartUpdate();
    try {
        if (Source == nullptr) {
            SetDimensions(0, 0);
        } else if (auto* b32 = dynamic_cast<const TBitmap32*>(Source)) {
            b32->CopyMapTo(*this);
            b32->CopyPropertiesTo(*this);
        } else if (auto* bmp = dynamic_cast<const TBitmap*>(Source)) {
            AssignFromBitmap(*bmp);
        } else if (auto* pic = dynamic_cast<const TPicture*>(Source)) {
            TGraphic* g = pic->Graphic();
            if (auto* pb = dynamic_cast<TBitmap*>(g))
                AssignFromBitmap(*pb);
            else if (auto* icon = dynamic_cast<TIcon*>(g))
                AssignFromIcon(*icon);
            else if (g && dynamic_cast<TMetafile*>(g))
                AssignFromMaskedGraphic(g);
            else
                AssignFromGraphicDrawing(g);
        } else if (auto* g = dynamic_cast<const TGraphic*>(Source)) {
            AssignFromGraphicDrawing(const_cast<TGraphic*>(g));
        } else {
            // The clipboard hands its picture over through a TPicture.
            TPicture picture;
            picture.Assign(Source);
            AssignFromGraphicDrawing(picture.Graphic());
        }
    } catch (...) {
        EndUpdate();
        Changed();
        throw;
    }
    EndUpdate();
    Changed();
}

void TBitmap32::AssignTo(TPersistent* Dest) const {
    if (auto* bmp = dynamic_cast<TBitmap*>(Dest)) {
        bmp->SetHandleType(bmDIB);
        bmp->SetPixelFormat(pf32bit);
        bmp->Canvas()->Font()->Assign(FFont);
        bmp->SetSize(FWidth, FHeight);
        if (!Empty())
            for (int y = 0; y < FHeight; ++y) {
                Byte* row = bmp->ScanLine(y);
                if constexpr (std::endian::native == std::endian::little) {
                    std::memcpy(row, ScanLine(y), std::size_t(FWidth) * sizeof(TColor32));
                } else {
                    const TColor32* s = ScanLine(y);
                    for (int x = 0; x < FWidth; ++x) {
                        row[4 * x] = Byte(s[x]);
                        row[4 * x + 1] = Byte(s[x] >> 8);
                        row[4 * x + 2] = Byte(s[x] >> 16);
                        row[4 * x + 3] = Byte(s[x] >> 24);
                    }
                }
            }
        return;
    }
    if (auto* pic = dynamic_cast<TPicture*>(Dest)) {
        AssignTo(pic->Bitmap());
        return;
    }
    if (auto* clip = dynamic_cast<TClipboard*>(Dest)) {
        TBitmap tmp;
        AssignTo(&tmp);
        clip->Assign(&tmp);
        return;
    }
    TPersistent::AssignTo(Dest);
}

void TBitmap32::LoadFromPictureFile(const std::string& FileName) {
    TPicture picture;
    picture.LoadFromFile(FileName);
    Assign(&picture);
}

void TBitmap32::SaveToBmpStream(TStream& Stream) const {
    TBitmap tmp;
    AssignTo(&tmp);
    tmp.SaveToStream(Stream);
}

bool TBitmap32::Equals(const TPersistent* Other) const {
    auto* o = dynamic_cast<const TBitmap32*>(Other);
    if (!o) return false;
    if (Empty() || o->Empty()) return Empty() && o->Empty();
    if (typeid(*o) != typeid(*this)) return false;
    if (o->FWidth != FWidth || o->FHeight != FHeight) return false;
    return std::memcmp(FBits.get(), o->FBits.get(),
                       std::size_t(FWidth) * FHeight * sizeof(TColor32)) == 0;
}

// ---------------------------------------------------------------------------
// The Data property

void TBitmap32::WriteDataTo(TStream& Stream) const {
    Stream.WriteInt32(FWidth);
    Stream.WriteInt32(FHeight);
    if (Empty()) return;
    const std::size_t n = std::size_t(FWidth) * FHeight;
    if constexpr (std::endian::native == std::endian::little) {
        Stream.WriteBuffer(FBits.get(), std::int64_t(n * sizeof(TColor32)));
    } else {
        for (std::size_t i = 0; i < n; ++i)
            Stream.WriteUInt32(FBits[i]);
    }
}

void TBitmap32::ReadDataFrom(TStream& Stream) {
    bool ok = false;
    try {
        const std::int64_t remaining = Stream.Size() - Stream.Position();
        if (remaining >= 8) {
            const std::int32_t w = Stream.ReadInt32();
            const std::int32_t h = Stream.ReadInt32();
            const std::int64_t n = (w >= 0 && h >= 0) ? CellCount(w, h) : -1;
            // The property holds the two sizes and exactly Width x Height
            // pixels: nothing more, nothing less.
            if (n >= 0 && remaining - 8 == n * 4) {
                SetDimensions(w, h);
                if (n > 0 && !Empty()) {
                    Stream.ReadBuffer(FBits.get(), n * 4);
                    if constexpr (std::endian::native == std::endian::big)
                        for (std::int64_t i = 0; i < n; ++i)
                            FBits[i] = __builtin_bswap32(FBits[i]);
                }
                ok = true;
            }
        }
    } catch (const Exception&) {
        ok = false;
    }
    if (!ok) {
        try {
            SetDimensions(0, 0);
        } catch (...) {
        }
        Changed();
        throw EReadError(SInvalidBitmapData);
    }
    Changed();
}

void TBitmap32::DefineProperties(TFiler* Filer) {
    TCustomMap::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Data", [this](TStream& S) { ReadDataFrom(S); }, [this](TStream& S) { WriteDataTo(S); },
        !Empty());
}

// ---------------------------------------------------------------------------
// Canvas

TCanvas* TBitmap32::Canvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>(this);
        FCanvas->OnChange = [this](TObject*) { Changed(); };
    }
    return FCanvas.get();
}

void TBitmap32::DeleteCanvas() {
    FCanvas.reset();
}

bool TBitmap32::BeginDraw(TPixelSurface& Surface) {
    if (Empty()) return false;
    Surface.Bits = reinterpret_cast<Byte*>(FBits.get());
    Surface.Width = FWidth;
    Surface.Height = FHeight;
    Surface.Stride = FWidth * 4;
    return true;
}

// ---------------------------------------------------------------------------
// Settings

void TBitmap32::SetDrawMode(TDrawMode Value) {
    if (Value == FDrawMode) return;
    FDrawMode = Value;
    Changed();
}

void TBitmap32::SetCombineMode(TCombineMode Value) {
    if (Value == FCombineMode) return;
    FCombineMode = Value;
    Changed();
}

void TBitmap32::SetWrapMode(TWrapMode Value) {
    if (Value == FWrapMode) return;
    FWrapMode = Value;
    Changed();
}

void TBitmap32::SetMasterAlpha(Integer Value) {
    if (Value == FMasterAlpha) return;
    FMasterAlpha = Value;
    Changed();
}

void TBitmap32::SetResampler(TCustomResampler* Value) {
    if (!Value || Value == FResampler.get()) return;
    FResampler.reset(Value);
    Changed();
}

std::string TBitmap32::ResamplerClassName() const {
    return FResampler ? FResampler->ClassName() : std::string();
}

void TBitmap32::SetResamplerClassName(const std::string& Value) {
    if (Value.empty() || Value == ResamplerClassName()) return;
    if (const TResamplerClass* cls = FindResamplerClass(Value)) {
        TCustomResampler* r = cls->Create(this);
        // A resampler bound to this bitmap has installed itself already.
        if (r != FResampler.get()) SetResampler(r);
    }
}

// ---------------------------------------------------------------------------
// Notification and measuring

void TBitmap32::Changed() {
    if ((FUpdateCount == 0 || FMeasuringMode) && OnAreaChanged)
        OnAreaChanged(this, BoundsRect(), AREAINFO_RECT);
    if (!FMeasuringMode) NotifyChange();
}

void TBitmap32::AreaChanged(const TRect& Area, Cardinal Info) {
    if ((FUpdateCount == 0 || FMeasuringMode) && OnAreaChanged) OnAreaChanged(this, Area, Info);
    if (!FMeasuringMode) NotifyChange();
}

void TBitmap32::BeginMeasuring(const TAreaChangedEvent& Callback) {
    FMeasuringMode = true;
    FOldOnAreaChanged = OnAreaChanged;
    OnAreaChanged = Callback;
}

void TBitmap32::EndMeasuring() {
    FMeasuringMode = false;
    OnAreaChanged = FOldOnAreaChanged;
    FOldOnAreaChanged = nullptr;
}

// ---------------------------------------------------------------------------
// Module

namespace {
TBitmap* GMeasuringBitmap = nullptr;
TLogFont* GStockFont = nullptr;
} // namespace

void InitRasterCore() {
    if (!GStockFont) {
        GStockFont = new TLogFont;
        GStockFont->FaceName = "System";
        GStockFont->Height = 16;
        GStockFont->Weight = FW_BOLD;
    }
    if (!GMeasuringBitmap) GMeasuringBitmap = new TBitmap(8, 8, pf32bit);
    RegisterBitmap32Properties();
}

void DoneRasterCore() {
    delete GMeasuringBitmap;
    GMeasuringBitmap = nullptr;
    delete GStockFont;
    GStockFont = nullptr;
}

TBitmap* StockMeasuringBitmap() {
    // Bitmaps made before the module start (or after its end) still measure.
    if (!GMeasuringBitmap) GMeasuringBitmap = new TBitmap(8, 8, pf32bit);
    return GMeasuringBitmap;
}

const TLogFont& StockSystemFont() {
    if (!GStockFont) InitRasterCore();
    return *GStockFont;
}

void RegisterBitmap32Properties() {
    TPublishedProperties<TBitmap32>("TBitmap32", "TPersistent")
        .Enumeration("DrawMode", &TBitmap32::DrawMode, &TBitmap32::SetDrawMode,
                     {"dmOpaque", "dmBlend", "dmCustom", "dmTransparent"})
        .Default(dmOpaque)
        .Enumeration("CombineMode", &TBitmap32::CombineMode, &TBitmap32::SetCombineMode,
                     {"cmBlend", "cmMerge"})
        .Default(cmBlend)
        .Enumeration("WrapMode", &TBitmap32::WrapMode, &TBitmap32::SetWrapMode,
                     {"wmClamp", "wmRepeat", "wmMirror"})
        .Default(wmClamp)
        .Integer("MasterAlpha", &TBitmap32::MasterAlpha, &TBitmap32::SetMasterAlpha)
        .Default(255)
        // A TColor32 is streamed as the signed 32-bit integer of its bits.
        .Integer(
            "OuterColor", [](TBitmap32& B) { return std::int64_t(std::int32_t(B.OuterColor())); },
            [](TBitmap32& B, std::int64_t V) { B.SetOuterColor(TColor32(std::uint32_t(V))); })
        .Default(0)
        .String("ResamplerClassName", &TBitmap32::ResamplerClassName,
                &TBitmap32::SetResamplerClassName)
        .Class("Resampler", &TBitmap32::Resampler)
        .Register();
}
