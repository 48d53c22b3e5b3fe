#pragma once
// TCanvas draws into 32-bit pixels (top-down B, G, R, A) with the drawing
// rules of the system's device contexts:
// - a pixel a drawing operation writes takes the colour's R, G, B and alpha
//   0; a pixel it does not write keeps all four bytes;
// - FillRect fills [Left, Right) x [Top, Bottom); Rectangle and Ellipse
//   draw their outline inside the rectangle with the pen and fill the
//   inside with the brush (with a clear pen the fill stops one pixel short
//   of Right and Bottom, as the system does);
// - LineTo and Polyline do not draw their end point (pens wider than 1
//   have round ends, which cover it);
// - the pen's mode combines both the outline and the brush fill of
//   Rectangle, Ellipse and Polygon; FillRect, FrameRect and text just copy;
// - a pen wider than 1 is solid and centred on the outline (psInsideFrame
//   keeps it inside); the gaps of a styled pen take the brush colour when
//   the brush is solid and stay untouched otherwise;
// - shapes are never antialiased; every operation is clipped to the
//   surface and writes nothing outside it.
// The pixels come from a TCanvasTarget (a bitmap converts its own format in
// BeginDraw/EndDraw) or from a caller-owned TPixelSurface. OnChanging fires
// before and OnChange after each drawing operation.
#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GraphicsObjects.h"
#include "platform/graphics/PixelSurface.h"

class TGraphic;
class TPixelMask;

// What a canvas draws on. BeginDraw fills Surface and returns true when
// there are pixels (false: the canvas draws nothing); EndDraw follows every
// successful BeginDraw, Changed telling whether pixels were written.
class TCanvasTarget {
public:
    virtual ~TCanvasTarget() = default;
    virtual bool BeginDraw(TPixelSurface& Surface) = 0;
    virtual void EndDraw(bool Changed) = 0;
};

// Raster operations of CopyRect (ternary codes: pattern = brush colour).
using TCopyMode = std::int32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

class TCanvas : public TPersistent {
public:
    QM_CLASSNAME(TCanvas)

    // Draws through Target (may be null: nothing is drawn until SetTarget).
    explicit TCanvas(TCanvasTarget* Target = nullptr);
    // Draws on caller-owned pixels; SetSurface replaces them (after a
    // resize).
    explicit TCanvas(const TPixelSurface& Surface);
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    void SetTarget(TCanvasTarget* Target);
    void SetSurface(const TPixelSurface& Surface);

    TFont* Font() { return &FFont; }
    void SetFont(const TFont& Value) { FFont.Assign(Value); }
    TPen* Pen() { return &FPen; }
    void SetPen(const TPen& Value) { FPen.Assign(Value); }
    TBrush* Brush() { return &FBrush; }
    void SetBrush(const TBrush& Value) { FBrush.Assign(Value); }
    TPoint PenPos() const { return FPenPos; }
    void SetPenPos(const TPoint& Value) { FPenPos = Value; }
    TCopyMode CopyMode() const { return FCopyMode; }
    void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
    // The surface's bounds (empty when there are no pixels).
    TRect ClipRect();

    void FillRect(const TRect& Rect);
    void FrameRect(const TRect& Rect);
    // The dotted frame that marks the focused item: every other pixel of
    // the rectangle's edge inverted, so that drawing it twice removes it.
    void DrawFocusRect(const TRect& Rect);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void Ellipse(const TRect& Rect) { Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
    // Filled with the brush (alternate rule), outlined with the pen, closed.
    void Polygon(std::span<const TPoint> Points);
    // Open; the last point is not drawn; PenPos is not changed.
    void Polyline(std::span<const TPoint> Points);
    void MoveTo(int X, int Y);
    // From PenPos to (X, Y) without (X, Y); PenPos becomes (X, Y).
    void LineTo(int X, int Y);

    // The text's cell top-left at (X, Y) in the font colour; a solid brush
    // first fills the cell. PenPos moves to (X + width, Y).
    void TextOut(int X, int Y, std::string_view Text);
    // As TextOut, clipped to Rect; a solid brush fills Rect first.
    void TextRect(const TRect& Rect, int X, int Y, std::string_view Text);
    TSize TextExtent(std::string_view Text);
    int TextWidth(std::string_view Text) { return TextExtent(Text).cx; }
    int TextHeight(std::string_view Text) { return TextExtent(Text).cy; }

    // Defined with TGraphic.
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& Rect, TGraphic* Graphic);

    // Copies Source of Canvas into Dest with CopyMode, nearest-pixel scaling
    // when the sizes differ and mirroring when a width or height is
    // negative. cmSrcCopy copies all four bytes. Parts of either rectangle
    // outside its surface are skipped.
    void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);

    // The pixel's 0x00BBGGRR, or CLR_INVALID (-1) outside the surface.
    TColor Pixels(int X, int Y);
    void SetPixels(int X, int Y, TColor Color);

    // Direct access to the pixels, for Draw/CopyRect and graphic classes.
    // Nested acquisitions share one BeginDraw/EndDraw of the target.
    bool AcquireSurface(TPixelSurface& Surface);
    void ReleaseSurface(bool Changed);

    // A recursive lock for callers sharing the canvas across threads.
    void Lock();
    void Unlock();
    bool TryLock();
    int LockCount() const { return FLockCount.load(); }

    void Changing();
    void Changed();
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

private:
    class TSurfaceTarget;

    // Writes the pixels whose mask byte is set, combining with the pen.
    void DrawWithPen(TPixelSurface& S, const TPixelMask& Mask);
    void FillWithBrush(TPixelSurface& S, const TRect& Rect);
    void FillMaskWithBrush(TPixelSurface& S, const TPixelMask& Mask);
    void DrawTextCore(int X, int Y, std::string_view Text, const TRect* Clip, bool Opaque,
                      const TRect* OpaqueRect);

    TFont FFont;
    TPen FPen;
    TBrush FBrush;
    TPoint FPenPos;
    TCopyMode FCopyMode = cmSrcCopy;
    TCanvasTarget* FTarget = nullptr;
    std::unique_ptr<TSurfaceTarget> FOwnSurface;
    TPixelSurface FSurface;
    int FAcquireCount = 0;
    bool FAcquireChanged = false;
    std::recursive_mutex FMutex;
    std::atomic<int> FLockCount{0};
};
