#include "platform/forms/ExtCtrls.h"

#include <algorithm>
#include <array>

namespace {

// "&" marks the next character as the hot key and is not drawn; "&&" draws
// one "&". (The underline itself is not drawn.)
std::string WithoutHotkeyPrefix(const std::string& Text) {
    std::string R;
    R.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '&' && I + 1 < Text.size())
            ++I;
        else if (Text[I] == '&')
            continue;
        R += Text[I];
    }
    return R;
}

void BevelColors(TBevelCut Bevel, TColor& Top, TColor& Bottom) {
    // A spaced bevel draws as a raised one, as the class library does.
    Top = Bevel == bvLowered ? clBtnShadow : clBtnHighlight;
    Bottom = Bevel == bvLowered ? clBtnHighlight : clBtnShadow;
}

} // namespace

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
    Canvas->Pen()->SetWidth(1);
    Canvas->Pen()->SetStyle(psSolid);
    --Rect.Bottom;
    --Rect.Right;
    while (Width-- > 0) {
        // Polylines leave out their last point: the top-right and
        // bottom-left corners belong to the bottom colour.
        const std::array<TPoint, 3> TopLeft{TPoint{Rect.Left, Rect.Bottom},
                                            TPoint{Rect.Left, Rect.Top},
                                            TPoint{Rect.Right, Rect.Top}};
        const std::array<TPoint, 3> BottomRight{TPoint{Rect.Right, Rect.Top},
                                                TPoint{Rect.Right, Rect.Bottom},
                                                TPoint{Rect.Left - 1, Rect.Bottom}};
        Canvas->Pen()->SetColor(TopColor);
        Canvas->Polyline(TopLeft);
        Canvas->Pen()->SetColor(BottomColor);
        Canvas->Polyline(BottomRight);
        InflateRect(Rect, -1, -1);
    }
    ++Rect.Bottom;
    ++Rect.Right;
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    FControlStyle.Include(csOpaque);
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TCustomPanel::BevelChanged() {
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
    if (Value == FBevelOuter) return;
    FBevelOuter = Value;
    BevelChanged();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
    if (Value == FBevelInner) return;
    FBevelInner = Value;
    BevelChanged();
}

void TCustomPanel::SetBevelWidth(int Value) {
    Value = std::max(Value, 1);
    if (Value == FBevelWidth) return;
    FBevelWidth = Value;
    BevelChanged();
}

void TCustomPanel::SetBorderWidth(int Value) {
    Value = std::max(Value, 0);
    if (Value == FBorderWidth) return;
    FBorderWidth = Value;
    BevelChanged();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& Rect) const {
    int Size = FBorderWidth;
    if (FBevelOuter != bvNone) Size += FBevelWidth;
    if (FBevelInner != bvNone) Size += FBevelWidth;
    InflateRect(Rect, -Size, -Size);
}

void TCustomPanel::Paint() {
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    TColor Top, Bottom;
    if (FBevelOuter != bvNone) {
        BevelColors(FBevelOuter, Top, Bottom);
        Frame3D(C, R, Top, Bottom, FBevelWidth);
    }
    Frame3D(C, R, Color(), Color(), FBorderWidth);
    if (FBevelInner != bvNone) {
        BevelColors(FBevelInner, Top, Bottom);
        Frame3D(C, R, Top, Bottom, FBevelWidth);
    }
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
    const std::string Text = WithoutHotkeyPrefix(Caption());
    if (Text.empty()) return;
    C->Brush()->SetStyle(bsClear);
    C->SetFont(*Font());
    const int TextHeight = C->TextHeight("W");
    const int TextWidth = C->TextWidth(Text);
    const int Y = (R.Bottom + R.Top - TextHeight) / 2;
    int X = R.Left;
    if (FAlignment == taRightJustify)
        X = R.Right - TextWidth;
    else if (FAlignment == taCenter)
        X = R.Left + (R.Width() - TextWidth) / 2;
    C->TextRect(R, X, Y, Text);
}

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    Canvas()->SetFont(*Font());
    Canvas()->Brush()->SetColor(Color());
    if (OnPaint) OnPaint(this);
}

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 65, 65);
    FPen.OnChange = [this](TObject*) { Invalidate(); };
    FBrush.OnChange = [this](TObject*) { Invalidate(); };
}

void TShape::SetShape(TShapeType Value) {
    if (Value == FShape) return;
    FShape = Value;
    Invalidate();
}

void TShape::Paint() {
    TCanvas* C = Canvas();
    C->SetPen(FPen);
    C->SetBrush(FBrush);
    int X = FPen.Width() / 2;
    int Y = X;
    int W = Width() - FPen.Width() + 1;
    int H = Height() - FPen.Width() + 1;
    if (FPen.Width() == 0) {
        --W;
        --H;
    }
    const int S = std::min(W, H);
    if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
        X += (W - S) / 2;
        Y += (H - S) / 2;
        W = S;
        H = S;
    }
    switch (FShape) {
    case stEllipse:
    case stCircle:
        C->Ellipse(X, Y, X + W, Y + H);
        break;
    default:
        // TODO: rounded corners (corner size S div 4) once the canvas draws
        // rounded rectangles; the program only uses plain ones.
        C->Rectangle(X, Y, X + W, Y + H);
        break;
    }
}

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape Value) {
    if (Value == FShape) return;
    FShape = Value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas* C = Canvas();
    C->Pen()->SetWidth(1);
    C->Pen()->SetStyle(psSolid);
    TColor Color1 = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor Color2 = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
    auto BevelRect = [&](const TRect& R) {
        const std::array<TPoint, 3> TopLeft{TPoint{R.Left, R.Bottom}, TPoint{R.Left, R.Top},
                                            TPoint{R.Right, R.Top}};
        const std::array<TPoint, 3> BottomRight{TPoint{R.Right, R.Top}, TPoint{R.Right, R.Bottom},
                                                TPoint{R.Left, R.Bottom}};
        C->Pen()->SetColor(Color1);
        C->Polyline(TopLeft);
        C->Pen()->SetColor(Color2);
        C->Polyline(BottomRight);
    };
    auto BevelLine = [&](TColor Color, int X1, int Y1, int X2, int Y2) {
        C->Pen()->SetColor(Color);
        C->MoveTo(X1, Y1);
        C->LineTo(X2, Y2);
    };
    const int W = Width(), H = Height();
    switch (FShape) {
    case bsBox:
        BevelRect(Rect(0, 0, W - 1, H - 1));
        break;
    case bsFrame: {
        // The inner rectangle all in the second colour, the outer one all in
        // the first: an engraved (or embossed) double line.
        const TColor Temp = Color1;
        Color1 = Color2;
        BevelRect(Rect(1, 1, W - 1, H - 1));
        Color2 = Temp;
        Color1 = Temp;
        BevelRect(Rect(0, 0, W - 2, H - 2));
        break;
    }
    case bsTopLine:
        BevelLine(Color1, 0, 0, W, 0);
        BevelLine(Color2, 0, 1, W, 1);
        break;
    case bsBottomLine:
        BevelLine(Color1, 0, H - 2, W, H - 2);
        BevelLine(Color2, 0, H - 1, W, H - 1);
        break;
    case bsLeftLine:
        BevelLine(Color1, 0, 0, 0, H);
        BevelLine(Color2, 1, 0, 1, H);
        break;
    case bsRightLine:
        BevelLine(Color1, W - 2, 0, W - 2, H);
        BevelLine(Color2, W - 1, 0, W - 1, H);
        break;
    case bsSpacer:
        break;
    }
}

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 105, 105);
    FPicture.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::PictureChanged() {
    const int W = FPicture.Width(), H = FPicture.Height();
    if (FAutoSize && W > 0 && H > 0) SetBounds(Left(), Top(), W, H);
    if (TGraphic* G = FPicture.Graphic()) G->SetTransparent(FTransparent);
    Invalidate();
}

void TImage::SetCenter(bool Value) {
    if (Value == FCenter) return;
    FCenter = Value;
    Invalidate();
}

void TImage::SetStretch(bool Value) {
    if (Value == FStretch) return;
    FStretch = Value;
    Invalidate();
}

void TImage::SetProportional(bool Value) {
    if (Value == FProportional) return;
    FProportional = Value;
    Invalidate();
}

void TImage::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    PictureChanged();
}

void TImage::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    if (Value) PictureChanged();
}

TRect TImage::DestRect() const {
    int W = FPicture.Width(), H = FPicture.Height();
    const int CW = ClientWidth(), CH = ClientHeight();
    if (FStretch || (FProportional && (W > CW || H > CH))) {
        if (FProportional && W > 0 && H > 0) {
            const double Aspect = double(W) / H;
            if (W > H) {
                W = CW;
                H = int(CW / Aspect);
                if (H > CH) {
                    H = CH;
                    W = int(CH * Aspect);
                }
            } else {
                H = CH;
                W = int(CH * Aspect);
                if (W > CW) {
                    W = CW;
                    H = int(CW / Aspect);
                }
            }
        } else {
            W = CW;
            H = CH;
        }
    }
    TRect R{0, 0, W, H};
    if (FCenter) OffsetRect(R, (CW - W) / 2, (CH - H) / 2);
    return R;
}

void TImage::Paint() {
    if (TGraphic* G = FPicture.Graphic(); G != nullptr && !G->Empty())
        Canvas()->StretchDraw(DestRect(), G);
}
