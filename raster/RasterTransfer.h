#pragma once
// Putting a rectangle of one TBitmap32 onto another: at the same size
// (TransferBlock, CombineBlock) or into a rectangle of another size through a
// resampler (TransferStretched). The draw mode decides how a source pixel
// meets the destination: dmOpaque copies, dmBlend blends by alpha (scaled by
// the source's MasterAlpha, under its CombineMode), dmTransparent copies
// every pixel that is not exactly the source's OuterColor, dmCustom calls the
// callback (without one it counts as dmOpaque).
#include "platform/base/Types.h"
#include "raster/RasterCore.h"

constexpr const char* SDstNil = "Destination bitmap is nil";
constexpr const char* SSrcNil = "Source bitmap is nil";
constexpr const char* SSrcInvalid = "Source rectangle is invalid";

// Copies SrcRect of Src to (DstX, DstY) of Dst inside DstClip (and Dst's
// bounds). Raises EBitmapException for a nil bitmap. Returns without any
// notice when either bitmap is empty or dmBlend meets a master alpha of 0;
// else reports (DstX, DstY) plus SrcRect's size as passed to Dst, also when
// nothing was inside the clip or Dst is measuring.
void TransferBlock(TBitmap32* Dst, int DstX, int DstY, const TRect& DstClip, TBitmap32* Src,
                   TRect SrcRect, TDrawMode CombineOp,
                   const TPixelCombineEvent& CombineCallBack = nullptr);

// The rows of an already clipped same-size block: DstRect of Dst gets the
// pixels of Src from (SrcX, SrcY). Overlapping blocks of one bitmap are
// handled as if the source were copied first.
void CombineBlock(TBitmap32* Dst, const TRect& DstRect, TBitmap32* Src, int SrcX, int SrcY,
                  TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack = nullptr);

// Draws SrcRect of Src into DstRect of Dst inside DstClip: CombineBlock when
// the sizes agree, else Resampler's Resample. Raises EBitmapException for a
// nil bitmap and ESrcInvalidException SSrcInvalid when SrcRect is not inside
// Src. Reports DstRect to Dst unless it returned early (empty bitmaps or
// rectangles, dmBlend with master alpha 0, nothing inside the clip).
void TransferStretched(TBitmap32* Dst, TRect DstRect, TRect DstClip, TBitmap32* Src, TRect SrcRect,
                       TCustomResampler* Resampler, TDrawMode CombineOp,
                       const TPixelCombineEvent& CombineCallBack = nullptr);

// One row of Count source pixels laid on Count destination pixels by the
// mode, with Src's master alpha, combine mode and outer colour; shared by the
// block transfers and the stretching resamplers.
void CombineRow(const TColor32* SrcRow, TColor32* DstRow, int Count, TBitmap32* Src,
                TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);
