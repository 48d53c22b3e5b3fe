#pragma once
// The 32-bit bitmap of the engine and its bases.
//
// TNotifiablePersistent counts nested updates and fires OnChange;
// TThreadPersistent adds a lock for callers that share an object between
// threads; TCustomMap holds a width and a height; TBitmap32 owns Width x
// Height TColor32 pixels (row 0 at the top, pixel (X, Y) at X + Y * Width)
// with a font, a clip rectangle, its draw settings and a resampler.
//
// Storage exists only while both sides are positive. Fresh storage is zeroed
// (every pixel 0x00000000), so a new bitmap never shows stale memory. Pixel
// pointers do not survive a resize. Unchecked pixel access, lines and fills
// trust their coordinates; the Clipped, Safe and Wrapped forms do not.
#include "platform/base/Exception.h"
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/PixelFormat.h"
#include "platform/graphics/PixelSurface.h"
#include "raster/Color32.h"
#include "raster/RasterBlend.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterMath.h"
#include "raster/RasterRects.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TStream;
class TFiler;
class TGraphic;
class TBitmap;
class TIcon;
struct TDibImage;
class TCustomResampler;

// Raised by the block transfers for a nil bitmap.
QM_DECLARE_EXCEPTION(EBitmapException, Exception);
// Raised by TransferStretched for a source rectangle outside the source.
QM_DECLARE_EXCEPTION(ESrcInvalidException, Exception);
// A broken internal pairing (EndUpdate without StartUpdate, ...).
QM_DECLARE_EXCEPTION(EAssertionFailed, Exception);

constexpr const char* SCantAllocateDIBHandle = "Can't allocate the DIB handle";
constexpr const char* SUnpairedEndUpdate = "Unpaired TThreadPersistent.EndUpdate";
// What a malformed Data property raises (EReadError).
constexpr const char* SInvalidBitmapData = "Bitmap data is not valid";

enum TDrawMode { dmOpaque, dmBlend, dmCustom, dmTransparent };

// Info codes of OnAreaChanged: a rectangle was changed, or a line (the low
// bits carry the line's thickness).
constexpr Cardinal AREAINFO_RECT = 0x80000000u;
constexpr Cardinal AREAINFO_LINE = 0x40000000u;

// F is the source colour, B the destination pixel it is laid on, M the
// source's master alpha.
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;
using TAreaChangedEvent = std::function<void(TObject* Sender, const TRect& Area, Cardinal Info)>;

// The largest pixel payload a bitmap or a Data property may hold: the
// program's one picture-size limit.
constexpr std::int64_t MaxBitmap32Bytes = MaxBitmapBytes;

// Counts nested updates and fires OnChange when a change happens outside
// them. StartUpdate and EndUpdate fire nothing themselves.
class TNotifiablePersistent : public TPersistent {
public:
    QM_CLASSNAME(TNotifiablePersistent)

    // The change notification; the base fires OnChange when no update runs.
    virtual void Changed() { NotifyChange(); }
    virtual void StartUpdate() { ++FUpdateCount; }
    // Raises EAssertionFailed SUnpairedEndUpdate (count unchanged) when no
    // update runs.
    virtual void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    TNotifyEvent OnChange;

protected:
    void NotifyChange() {
        if (FUpdateCount == 0 && OnChange) OnChange(this);
    }
    int FUpdateCount = 0;
};

// A notifiable object with a recursive lock for callers that share it.
class TThreadPersistent : public TNotifiablePersistent {
public:
    QM_CLASSNAME(TThreadPersistent)

    void Lock() {
        FLockCount.fetch_add(1);
        FLock.lock();
    }
    void Unlock() {
        FLock.unlock();
        FLockCount.fetch_sub(1);
    }
    int LockCount() const { return FLockCount.load(); }
    // The lock itself, for helpers that must share it (the bitmap's font).
    std::recursive_mutex& CriticalSection() { return FLock; }

private:
    std::recursive_mutex FLock;
    std::atomic<int> FLockCount{0};
};

// A width and a height (never negative) and the resize protocol:
// SetDimensions replaces the storage (ChangeSize), notifies the change and
// fires OnResize.
class TCustomMap : public TThreadPersistent {
public:
    QM_CLASSNAME(TCustomMap)

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // Negative values count as 0. The present size gives False and fires
    // nothing; else the storage is replaced, Changed and Resized run, True.
    virtual bool SetDimensions(int NewWidth, int NewHeight);
    void ChangeWidth(int NewWidth) { SetDimensions(NewWidth, FHeight); }
    void ChangeHeight(int NewHeight) { SetDimensions(FWidth, NewHeight); }
    void Delete() { SetDimensions(0, 0); }
    virtual bool Empty() const { return FWidth == 0 || FHeight == 0; }

    TNotifyEvent OnResize;

protected:
    // Replaces the storage and writes the new width and height.
    virtual void ChangeSize(int NewWidth, int NewHeight) {
        FWidth = NewWidth;
        FHeight = NewHeight;
    }
    virtual void Resized() {
        if (OnResize) OnResize(this);
    }

    int FWidth = 0;
    int FHeight = 0;
};

// Width x Height signed 32-bit integers, row-major (the kernel weight tables).
class TIntegerMap : public TCustomMap {
public:
    QM_CLASSNAME(TIntegerMap)

    bool Empty() const override { return FBits.empty(); }
    Integer* ValPtr(int X, int Y) { return &FBits[std::size_t(X) + std::size_t(Y) * FWidth]; }
    Integer Value(int X, int Y) const { return FBits[std::size_t(X) + std::size_t(Y) * FWidth]; }
    void SetValue(int X, int Y, Integer V) { FBits[std::size_t(X) + std::size_t(Y) * FWidth] = V; }
    Integer* Bits() { return FBits.data(); }
    void Clear(Integer FillValue = 0);

protected:
    // Raises EOutOfMemory SCantAllocateDIBHandle (and stays empty) beyond
    // MaxBitmap32Bytes.
    void ChangeSize(int NewWidth, int NewHeight) override;

private:
    std::vector<Integer> FBits;
};

// The 32-bit bitmap. It is its own canvas target: Canvas() draws on the
// bitmap's pixels, and text is rasterised there (RasterText.cpp).
class TBitmap32 : public TCustomMap, public TCanvasTarget {
public:
    QM_CLASSNAME(TBitmap32)

    // Empty, with a TNearestResampler and the default settings.
    TBitmap32();
    ~TBitmap32() override;
    TBitmap32(const TBitmap32&) = delete;
    TBitmap32& operator=(const TBitmap32&) = delete;

    // True also when there is no storage.
    bool Empty() const override { return FBits == nullptr || FWidth == 0 || FHeight == 0; }
    TRect BoundsRect() const { return {0, 0, FWidth, FHeight}; }

    // Clip rectangle: Rect intersected with the bounds ((0,0,0,0) when they
    // do not meet); the 16.16 and 24.8 copies follow it.
    void SetClipRectangle(const TRect& Value);
    void ResetClipRectangle() { SetClipRectangle(BoundsRect()); }
    const TRect& ClipRect() const { return FClipRect; }
    const TFixedRect& FixedClipRect() const { return FFixedClipRect; }
    const TRect& ClipRect256() const { return F256ClipRect; }
    // True when the clip rectangle is not the whole bitmap.
    bool Clipping() const { return FClipping; }

    // ---- Pixels (unchecked, no notification).
    TColor32* Bits() { return FBits.get(); }
    const TColor32* Bits() const { return FBits.get(); }
    TColor32* PixelPtr(int X, int Y) {
        return FBits.get() + (std::size_t(X) + std::size_t(Y) * FWidth);
    }
    const TColor32* PixelPtr(int X, int Y) const {
        return FBits.get() + (std::size_t(X) + std::size_t(Y) * FWidth);
    }
    TColor32* ScanLine(int Y) { return PixelPtr(0, Y); }
    const TColor32* ScanLine(int Y) const { return PixelPtr(0, Y); }
    TColor32 ReadPixel(int X, int Y) const { return *PixelPtr(X, Y); }
    void WritePixel(int X, int Y, TColor32 Value) { *PixelPtr(X, Y) = Value; }

    // OuterColor outside the clip rectangle.
    TColor32 ReadPixelClipped(int X, int Y) const;
    // X and Y mapped into the clip rectangle by WrapMode's function first.
    TColor32 ReadPixelWrapped(int X, int Y) const;
    // 24.8 fixed point: the 2x2 block at (X shr 8, Y shr 8) interpolated.
    TColor32 ReadPixelT256(int X, int Y) const;
    TColor32 ReadPixelT256Safe(int X, int Y) const;
    // 16.16 fixed point, through the 24.8 reads.
    TColor32 ReadPixelFixed(TFixed X, TFixed Y) const {
        return ReadPixelT256(int((std::int64_t(X) + 127) >> 8), int((std::int64_t(Y) + 127) >> 8));
    }
    TColor32 ReadPixelFixedSafe(TFixed X, TFixed Y) const {
        return ReadPixelT256Safe(int((std::int64_t(X) + 127) >> 8),
                                 int((std::int64_t(Y) + 127) >> 8));
    }
    TColor32 ReadPixelFixedWrapped(TFixed X, TFixed Y) const;

    // Unless measuring, every alpha byte becomes Alpha; then Changed.
    void ResetAlpha(int Alpha = 255);

    // ---- Fills and lines.
    void ClearToColor(TColor32 Color);
    void ClearToBlack() { ClearToColor(0xFF000000u); }
    // Unchecked; then AreaChanged(rect, AREAINFO_RECT).
    void FillRectangle(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void FillRectangleClipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
    // Pixels X1..X2 of row Y / rows Y1..Y2 of column X (inclusive), unchecked.
    void HorzLine(int X1, int Y, int X2, TColor32 Value);
    void VertLine(int X, int Y1, int Y2, TColor32 Value);
    // Unchecked line; the end point only when L. Reports the area always.
    void DrawLine(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L = false);

    // ---- Composition.
    void DrawBitmapAt(int X, int Y, TBitmap32* Src);
    // TransferBlock of the whole bitmap onto Dst at (X, Y), inside Dst's clip
    // rectangle, with this bitmap's draw settings.
    void DrawOnto(TBitmap32* Dst, int X, int Y);
    // TransferStretched of the whole bitmap into DstRect of Dst.
    void DrawOntoRect(TBitmap32* Dst, const TRect& DstRect);
    // Copies the pixels (all four bytes) to (X, Y) of Canvas's surface.
    void DrawToDC(TCanvas* Canvas, int X, int Y);

    // ---- Assignment and files.
    // Accepts nullptr, TBitmap32, TBitmap, TPicture, other TGraphic classes
    // and the clipboard; anything else raises the conversion error.
    void Assign(const TPersistent* Source) override;
    void AssignFrom(const TPersistent* Source) { Assign(Source); }
    // TBitmap (pf32bit), TPicture (its bitmap) and the clipboard.
    void AssignTo(TPersistent* Dest) const override;
    // Reads the file through the picture registry, then AssignFrom.
    void LoadFromPictureFile(const std::string& FileName);
    void SaveToBmpStream(TStream& Stream) const;
    // Both empty, or both of the same class with the same size and pixels
    // (what comparing their BMP outputs would say). nullptr gives False.
    bool Equals(const TPersistent* Other) const;

    // The Data property: int32 Width, int32 Height, then the pixels top-down
    // as B, G, R, A. Reading requires exactly 8 + 4 * Width * Height bytes
    // with both sizes non-negative; otherwise the bitmap is left empty and
    // EReadError SInvalidBitmapData is raised (after Changed).
    void WriteDataTo(TStream& Stream) const;
    void ReadDataFrom(TStream& Stream);
    void DefineProperties(TFiler* Filer) override;

    // ---- Canvas.
    // Created on first use; its change event runs Changed. It outlives
    // resizes (it reaches the pixels afresh at each drawing).
    TCanvas* Canvas();
    TCanvas* GetCanvas() { return Canvas(); }
    void DeleteCanvas();
    bool HasCanvas() const { return FCanvas != nullptr; }
    bool BeginDraw(TPixelSurface& Surface) override;
    void EndDraw(bool Changed) override {}

    // ---- Settings (setters notify only when the value differs).
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value);
    TCombineMode CombineMode() const { return FCombineMode; }
    void SetCombineMode(TCombineMode Value);
    TWrapMode WrapMode() const { return FWrapMode; }
    void SetWrapMode(TWrapMode Value);
    // Stored as given (so a stream round trip keeps it); users take
    // EffectiveMasterAlpha, the value limited to 0..255.
    Integer MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(Integer Value);
    Cardinal EffectiveMasterAlpha() const {
        return FMasterAlpha < 0 ? 0u : (FMasterAlpha > 255 ? 255u : Cardinal(FMasterAlpha));
    }
    TColor32 OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor32 Value) { FOuterColor = Value; }
    TColor32 PenColor() const { return FPenColor; }
    void SetPenColor(TColor32 Value) { FPenColor = Value; }
    float StippleStep() const { return FStippleStep; }
    void SetStippleStep(float Value) { FStippleStep = Value; }
    float StippleCounter() const { return FStippleCounter; }
    void SetStippleCounter(float Value) { FStippleCounter = Value; }
    const std::vector<TColor32>& StipplePattern() const { return FStipplePattern; }
    void SetStipplePattern(std::vector<TColor32> Value) {
        FStipplePattern = std::move(Value);
        FStippleCounter = 0;
    }

    // The owned resampler (never null). Setting nullptr or the present one
    // does nothing; else the old one is freed and Value taken over.
    TCustomResampler* Resampler() const { return FResampler.get(); }
    void SetResampler(TCustomResampler* Value);
    std::string ResamplerClassName() const;
    // An empty, present or unregistered name does nothing (case-sensitive).
    void SetResamplerClassName(const std::string& Value);

    // ---- Notification and measuring.
    void Changed() override;
    void AreaChanged(const TRect& Area, Cardinal Info);
    // While measuring, clears, fills, alpha resets, text and transfers change
    // no pixel but report their areas to Callback.
    void BeginMeasuring(const TAreaChangedEvent& Callback);
    void EndMeasuring();
    bool MeasuringMode() const { return FMeasuringMode; }

    // ---- Text (RasterText.cpp).
    TFont* Font() { return &FFont; }
    void SetFont(const TFont& Value) { AssignFont(Value); }
    void AssignFont(const TFont& Font);
    // Selects the font (cached) and sets the text colour.
    void ApplyFontToDC();
    TSize MeasureText(std::string_view Text);
    int MeasureTextWidth(std::string_view Text) { return MeasureText(Text).cx; }
    int MeasureTextHeight(std::string_view Text) { return MeasureText(Text).cy; }
    // The text's cell top-left at (X, Y) in the font colour (alpha 0 where
    // glyphs cover), clipped when clipping is on.
    void DrawTextAt(int X, int Y, std::string_view Text);
    // Antialiased translucent text: level 1..4 supersamples 2^n x 2^n, 0
    // uses plain on/off glyphs, negative levels the rasteriser's own
    // antialiasing. Color's alpha scales the whole text.
    void RenderAntialiasedText(int X, int Y, std::string_view Text, int AALevel, TColor32 Color);
    // The description the device context holds (nullopt when none).
    const std::optional<TLogFont>& SelectedFont() const { return FSelectedFont; }

    std::function<void(TObject* Sender)> OnHandleChanged;
    TPixelCombineEvent OnPixelCombine;
    TAreaChangedEvent OnAreaChanged;

protected:
    void ChangeSize(int NewWidth, int NewHeight) override;
    void HandleChanged();
    void FontChanged(TObject* Sender);
    void CopyMapTo(TBitmap32& Dst) const;
    void CopyPropertiesTo(TBitmap32& Dst) const;

private:
    void AssignFromBitmap(const TBitmap& Source);
    void AssignFromGraphicDrawing(TGraphic* Graphic);
    void AssignFromMaskedGraphic(TGraphic* Graphic);
    void AssignFromIcon(const TIcon& Icon);
    void CopyBGRARows(const TDibImage& Image);
    void ClearStorage();
    void DrawLinePixels(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L);

    std::unique_ptr<TColor32[]> FBits;
    std::unique_ptr<TCanvas> FCanvas;
    TRect FClipRect;
    TFixedRect FFixedClipRect;
    TRect F256ClipRect;
    bool FClipping = false;
    TCombineMode FCombineMode = cmBlend;
    TDrawMode FDrawMode = dmOpaque;
    TWrapMode FWrapMode = wmClamp;
    TFont FFont;
    std::optional<TLogFont> FSelectedFont;
    Integer FMasterAlpha = 255;
    TColor32 FOuterColor = 0;
    TColor32 FPenColor = 0xFFFFFFFFu;
    float FStippleStep = 1.0f;
    float FStippleCounter = 0;
    std::vector<TColor32> FStipplePattern;
    std::unique_ptr<TCustomResampler> FResampler;
    bool FMeasuringMode = false;
    TAreaChangedEvent FOldOnAreaChanged;
};

// Builds the description of Font with Quality ("Default" as "MS Sans Serif")
// and gives it to Font, as selecting a created font handle into it does.
void SetFontQuality(TFont& Font, TFontQuality Quality);

// Start and end of the core module: the stock font and the shared 8 x 8
// measuring bitmap (its canvas measures text for bitmaps without storage and
// for the scaled fonts of antialiased text; lock it around each use).
void InitRasterCore();
void DoneRasterCore();
TBitmap* StockMeasuringBitmap();
// What a device context holds when the bitmap's font is deselected.
const TLogFont& StockSystemFont();

// Registers the stream properties of TBitmap32 (called by InitRasterCore).
void RegisterBitmap32Properties();
