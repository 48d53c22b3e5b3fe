#pragma once
// Controls drawn entirely by this program (no native widget of their own):
// the panel, the paint box, the shape, the bevel and the image. They paint through their Canvas
// with the class library's drawing rules, so their pixels can be checked
// in tests.
#include "platform/forms/Controls.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/GraphicsObjects.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Draws Width nested frames just inside Rect: the top and left edges in
// TopColor, the right and bottom edges (with both corners they touch) in
// BottomColor; Rect shrinks by Width on every side.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width);

// A container with an outer and an inner bevel, a border between them and a
// caption centred vertically. Aligned children are laid out inside the
// bevels and the border.
class TCustomPanel : public TCustomControl {
public:
    QM_CLASSNAME(TCustomPanel)
    explicit TCustomPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    // At least 1.
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    // At least 0.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

protected:
    void Paint() override;
    void AdjustClientRect(TRect& Rect) const override;

private:
    void BevelChanged();

    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TAlignment FAlignment = taCenter;
};

class TPanel : public TCustomPanel {
public:
    QM_CLASSNAME(TPanel)
    using TCustomPanel::TCustomPanel;
};

// A control whose whole drawing is its OnPaint handler.
class TPaintBox : public TGraphicControl {
public:
    QM_CLASSNAME(TPaintBox)
    explicit TPaintBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A rectangle, square or ellipse outlined with Pen and filled with Brush.
class TShape : public TGraphicControl {
public:
    QM_CLASSNAME(TShape)
    explicit TShape(TComponent* AOwner);

    TShapeType Shape() const { return FShape; }
    void SetShape(TShapeType Value);
    // Changing the pen or brush repaints the shape.
    TPen* Pen() { return &FPen; }
    TBrush* Brush() { return &FBrush; }

protected:
    void Paint() override;

private:
    TShapeType FShape = stRectangle;
    TPen FPen;
    TBrush FBrush;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// A 3-D box, frame or line in the button-highlight and button-shadow colours.
class TBevel : public TGraphicControl {
public:
    QM_CLASSNAME(TBevel)
    explicit TBevel(TComponent* AOwner);

    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    void Paint() override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

// Shows its Picture at natural size, stretched (optionally keeping the
// proportions) and/or centred. With AutoSize the control takes the
// picture's size whenever the picture changes.
class TImage : public TGraphicControl {
public:
    QM_CLASSNAME(TImage)
    explicit TImage(TComponent* AOwner);

    TPicture* Picture() { return &FPicture; }
    bool Center() const { return FCenter; }
    void SetCenter(bool Value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);
    bool Proportional() const { return FProportional; }
    void SetProportional(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    // Where the picture is drawn, in client coordinates.
    TRect DestRect() const;

protected:
    void Paint() override;

private:
    void PictureChanged();

    TPicture FPicture;
    bool FCenter = false;
    bool FStretch = false;
    bool FProportional = false;
    bool FTransparent = false;
    bool FAutoSize = false;
};
