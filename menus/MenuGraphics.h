#pragma once
// Drawing helpers shared by the styled menu and the balloon hint: keyed
// (transparent) bitmap copies, disabled-look drawing, glyph cutting, a
// banded gradient fill, an application message box, hidden utility
// windows, stock-cursor copies, component-reference helpers, small
// rectangle helpers and a set of 32-bit blend routines.
//
// Colours are TColor values; system colours are resolved with ColorToRGB.
// As a transparent-colour argument clNone means "no transparency" and
// clDefault (0x20000000) "the colour of the bitmap's bottom-left pixel".
// Every routine here draws through TCanvas, so it clips to the surface and
// never writes outside it.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/base/Types.h"
#include "platform/classes/Component.h"
#include "platform/forms/Messages.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Colors.h"
#include "raster/Color32.h"

// --- Keyed copies ----------------------------------------------------------

// StretchBitmapKeyed at the bitmap's own size.
void PaintBitmapKeyed(TCanvas* Canvas, int X, int Y, TColor TransparentColor, TBitmap* Bitmap);

// Copies (SrcX, SrcY, SrcW, SrcH) of Bitmap stretched onto (DstX, DstY,
// DstW, DstH) of Canvas. A destination width or height below 1 takes the
// bitmap's; a source width or height below 1 takes the whole bitmap.
// clNone copies with the canvas's CopyMode; any other colour is made
// transparent (a monochrome bitmap always keys on white). Stretching takes
// the nearest pixel, as colour-on-colour stretching does. The bitmap's
// canvas is locked and its OnChange held back meanwhile.
void StretchBitmapKeyed(TCanvas* Canvas, TBitmap* Bitmap, TColor TransparentColor, int DstX,
                        int DstY, int DstW, int DstH, int SrcX, int SrcY, int SrcW, int SrcH);

// The keyed stretch copy itself: each destination pixel takes its nearest
// source pixel unless that pixel's R, G, B equal TransparentColor (resolved,
// the palette-relative flag ignored); keyed pixels and source pixels lying
// outside the source surface leave the destination untouched. Source pixels
// are copied with all four bytes, like a plain copy. A source area above
// 8M pixels raises EOutOfResources "Out of system resources".
void StretchBltKeyed(TCanvas* Dest, int X, int Y, int Width, int Height, TCanvas* Source, int SrcX,
                     int SrcY, int SrcW, int SrcH, TColor TransparentColor);

// --- Disabled drawing --------------------------------------------------------

// A new bitmap of Bitmap's size filled with Background; the pixels of
// Bitmap whose colour is MaskColor are painted with Face, and (with
// WantShadow) with Highlight one pixel right and down underneath. In a
// monochrome bitmap the black pixels are painted (all of them, and the white
// ones too when MaskColor is white). The caller owns the result.
std::unique_ptr<TBitmap> MakeDisabledBitmap(TBitmap* Bitmap, TColor MaskColor, TColor Background,
                                            bool WantShadow, TColor Face, TColor Highlight);

// The disabled look of an image given as its mask (dark where the image is
// opaque, white elsewhere, as an image list draws an image "as its mask"
// on white): the opaque pixels are painted on Canvas at (X, Y) with Face,
// after Highlight at (X + 1, Y + 1) when WantShadow. The brush colour of
// Canvas is kept.
void DrawDisabledMask(TCanvas* Canvas, int X, int Y, TBitmap* Mask, bool WantShadow, TColor Face,
                      TColor Highlight);

// --- Glyphs and fills --------------------------------------------------------

// Cuts piece Index of Source, a strip of Count columns and Rows rows, into
// Target (Count and Rows below 1 count as 1, a negative Index as 0). The
// piece is (Source width div Count) x (Source height div Rows); it lies in
// column Index mod Count, row Index div Count. A bitmap source passes on its
// transparent colour; another graphic is drawn on a clSilver fill. Target
// takes Source's Transparent flag.
void CutGlyph(TGraphic* Source, TBitmap* Target, int Count, int Index, int Rows);

enum TGradientDirection {
    gdTopToBottom = 0,
    gdBottomToTop = 1,
    gdLeftToRight = 2,
    gdRightToLeft = 3,
};

// Fills Rect with ColorCount bands from StartColor to EndColor (n =
// max(2, min(ColorCount, extent)) bands of extent div n pixels, band k
// having start + MulDiv(k, end - start, n - 1) per channel, the rest of
// the extent in EndColor). Fewer than 2 colours, or equal colours: one
// solid fill. Nothing for an empty rectangle or when both colours are
// clNone (one clNone alone is taken by its low 24 bits, white). The
// canvas's brush is kept.
void GradientFill(TCanvas* Canvas, const TRect& Rect, TColor StartColor, int ColorCount,
                  TGradientDirection Direction, TColor EndColor);

// --- Application services ---------------------------------------------------

// The application's message box; an empty caption gives the application
// title. 0 when there is no application object.
int ApplicationMessageBox(const std::string& Text, const std::string& Caption, int Flags);

// A hidden utility window whose messages go to Method (each starts with
// Result 0); without a method every message is answered 0, as the default
// window procedure does for a window nobody draws. ClassName names the
// kind of window for the caller; this platform keeps no window classes, so
// reusing a name with another method simply gives a window with the new
// method. Free it with DeallocateUtilityWindow.
HWND AllocateUtilityWindow(const std::string& ClassName, TWndMethod Method = {});
void DeallocateUtilityWindow(HWND Wnd);

// Screen cursor indices that hold copies of the stock drag cursors.
inline constexpr int crStockMultiDrag = 112;
inline constexpr int crStockDrag = 113;
inline constexpr int crStockMultiDrag2 = 114;
inline constexpr int crStockMultiDrag3 = 115;
// Copies the stock drag cursors into the screen's table under the indices
// above; nothing without a screen object.
void CopyStockCursors();

// --- Component references ----------------------------------------------------

// Stores NewReference in Variable and moves Owner's free notification from
// the old component to the new one. False (nothing done) when they are the
// same or Owner is null.
template <class T>
bool ReplaceComponentReference(TComponent* Owner, T* NewReference, T*& Variable) {
    if (Variable == NewReference || Owner == nullptr) return false;
    if (Variable != nullptr) Variable->RemoveFreeNotification(Owner);
    Variable = NewReference;
    if (Variable != nullptr) Variable->FreeNotification(Owner);
    return true;
}

// As ReplaceComponentReference for an image list, moving ChangeLink from the
// old list to the new one (any list type with RegisterChanges and
// UnRegisterChanges).
template <class TList, class TLink>
bool ReplaceImageListReference(TComponent* Owner, TList* NewReference, TList*& Variable,
                               TLink* ChangeLink) {
    if (Variable == NewReference || Owner == nullptr) return false;
    if (Variable != nullptr) {
        if (ChangeLink != nullptr) Variable->UnRegisterChanges(ChangeLink);
        Variable->RemoveFreeNotification(Owner);
    }
    Variable = NewReference;
    if (Variable != nullptr) {
        if (ChangeLink != nullptr) Variable->RegisterChanges(ChangeLink);
        Variable->FreeNotification(Owner);
    }
    return true;
}

// --- Small helpers -------------------------------------------------------------

// Bit Bit of a 256-bit set laid out as 32 bytes, lowest bit first.
inline bool BitInSet(std::span<const Byte, 32> Set, Byte Bit) {
    return (Set[Bit >> 3] >> (Bit & 7)) & 1;
}
inline int RectWidth(const TRect& R) {
    return R.Right >= R.Left ? R.Right - R.Left : R.Left - R.Right;
}
inline int RectHeight(const TRect& R) {
    return R.Bottom >= R.Top ? R.Bottom - R.Top : R.Top - R.Bottom;
}
// Inner lies within Outer, edges included.
inline bool RectInRect(const TRect& Inner, const TRect& Outer) {
    return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right &&
           Inner.Bottom <= Outer.Bottom;
}
// Copies (SrcX, SrcY, Width, Height) of Source to (X, Y) of Dest with the
// raster operation Rop; Dest's CopyMode is kept.
void BitBlockCopy(TCanvas* Dest, int X, int Y, int Width, int Height, TCanvas* Source, int SrcX,
                  int SrcY, TCopyMode Rop);
// Marks the windowed control of Wnd for repainting; false for a handle
// that is not a control's.
bool InvalidateWindow(HWND Wnd);

// --- Blend routines ------------------------------------------------------------

// Pixels are 0xAARRGGBB. Combine: weight 255 gives F, 0 gives B, else each
// channel (alpha too) is (W * F + (255 - W) * B) div 255. Blend: F over B
// weighted by F's alpha a: a = 0 leaves B, a = 255 gives F, else each
// channel is (a * F + (256 - a) * B + 0x80) shr 8. The master-alpha forms
// weigh by M * a div 256 instead. Weights and master alphas above 255
// count as 255.
struct TGraphBlendRoutines {
    TColor32 (*CombineReg)(TColor32 F, TColor32 B, Cardinal W);
    void (*CombineMem)(TColor32 F, TColor32& B, Cardinal W);
    TColor32 (*BlendReg)(TColor32 F, TColor32 B);
    void (*BlendMem)(TColor32 F, TColor32& B);
    TColor32 (*BlendRegEx)(TColor32 F, TColor32 B, Cardinal M);
    void (*BlendMemEx)(TColor32 F, TColor32& B, Cardinal M);
    void (*BlendLine)(const TColor32* Src, TColor32* Dst, int Count);
    void (*BlendLineEx)(const TColor32* Src, TColor32* Dst, int Count, Cardinal M);
};

// The portable set (one form serves every processor: it gives the same
// results as a vector form would have to).
const TGraphBlendRoutines& PlainGraphBlendRoutines();
// The set chosen at start-up (the portable one until then).
const TGraphBlendRoutines& GraphBlendRoutines();

// Module start-up and exit of the helpers: chooses the blend routines and
// copies the stock cursors (when a screen exists).
void InitMenuGraphics();
void DoneMenuGraphics();
