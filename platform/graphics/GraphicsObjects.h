#pragma once
// The drawing tools of a canvas: TPen (lines and outlines) and TBrush
// (fills). Plain attribute holders with change notification; the canvas
// reads them at each drawing operation.
#include "platform/base/Object.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Colors.h"

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// The sixteen binary raster operations of a pen (P = pen, D = destination).
enum TPenMode {
    pmBlack,       // 0
    pmWhite,       // 1
    pmNop,         // D
    pmNot,         // not D
    pmCopy,        // P
    pmNotCopy,     // not P
    pmMergePenNot, // P or not D
    pmMaskPenNot,  // P and not D
    pmMergeNotPen, // not P or D
    pmMaskNotPen,  // not P and D
    pmMerge,       // P or D
    pmNotMerge,    // not (P or D)
    pmMask,        // P and D
    pmNotMask,     // not (P and D)
    pmXor,         // P xor D
    pmNotXor       // not (P xor D)
};

enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class TGraphicsObject : public TPersistent {
public:
    QM_CLASSNAME(TGraphicsObject)
    TNotifyEvent OnChange;

protected:
    virtual void Changed();
};

// Defaults: clBlack, width 1, psSolid, pmCopy. A width below 1 draws as 1.
class TPen : public TGraphicsObject {
public:
    QM_CLASSNAME(TPen)

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle Value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode Value);

    void Assign(const TPersistent* Source) override;
    void Assign(const TPen& Source);

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
};

// Defaults: clWhite, bsSolid. Hatch styles paint the hatch lines in the
// brush colour and leave the pixels between them untouched.
class TBrush : public TGraphicsObject {
public:
    QM_CLASSNAME(TBrush)

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle Value);

    void Assign(const TPersistent* Source) override;
    void Assign(const TBrush& Source);

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};
