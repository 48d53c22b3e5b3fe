#include "platform/forms/Spin.h"

#include <algorithm>
#include <array>

#include "platform/base/Convert.h"
#include "platform/base/Format.h"
#include "platform/forms/ExtCtrls.h"

namespace {

int Clamp16(int V) {
    return std::clamp(V, -32768, 32767);
}

std::string WithThousands(int V) {
    std::string Digits = IntToStr(V < 0 ? -std::int64_t(V) : V);
    std::string R;
    for (std::size_t I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0) R += FormatSettings().ThousandSeparator;
        R += Digits[I];
    }
    return V < 0 ? "-" + R : R;
}

} // namespace

TCustomUpDown::TCustomUpDown(TComponent* AOwner) : TCustomControl(AOwner) {
    FControlStyle.Include(csOpaque);
    SetBounds(0, 0, 15, 24);
    SetColor(clBtnFace);
    FTabStop = false;
}

void TCustomUpDown::SetMin(int Value) {
    FMin = Clamp16(Value);
    SetPosition(FPosition);
}

void TCustomUpDown::SetMax(int Value) {
    FMax = Clamp16(Value);
    SetPosition(FPosition);
}

void TCustomUpDown::SetPosition(int Value) {
    FPosition = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
    UpdateAssociate();
}

void TCustomUpDown::SetOrientation(TUDOrientation Value) {
    if (Value == FOrientation) return;
    FOrientation = Value;
    Invalidate();
}

void TCustomUpDown::SetAssociate(TWinControl* Value) {
    if (Value == this) Value = nullptr;
    if (FAssociate != nullptr) FAssociate->RemoveFreeNotification(this);
    FAssociate = Value;
    if (Value == nullptr) return;
    Value->FreeNotification(this);
    // The buddy takes the arrows beside it, inside the same parent.
    if (Value->Parent() != nullptr && Value->Parent() == Parent()) {
        if (FAlignButton == udRight)
            SetBounds(Value->Left() + Value->Width(), Value->Top(), Width(), Value->Height());
        else
            SetBounds(Value->Left() - Width(), Value->Top(), Width(), Value->Height());
    }
    UpdateAssociate();
}

void TCustomUpDown::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAssociate) FAssociate = nullptr;
}

void TCustomUpDown::UpdateAssociate() {
    if (FAssociate == nullptr) return;
    FAssociate->SetText(FThousands ? WithThousands(FPosition) : IntToStr(FPosition));
}

bool TCustomUpDown::CanChange() {
    bool Allow = true;
    if (OnChanging) OnChanging(this, Allow);
    return Allow;
}

void TCustomUpDown::Click(TUDBtnType Button) {
    if (OnClick) OnClick(this, Button);
}

void TCustomUpDown::Press(TUDBtnType Button) {
    if (!Enabled()) return;
    // With Min above Max the arrows count the other way.
    const int Dir = (Button == btNext) == (FMin <= FMax) ? 1 : -1;
    const int Lo = std::min(FMin, FMax), Hi = std::max(FMin, FMax);
    int New = FPosition + Dir * FIncrement;
    if (New > Hi)
        New = FWrap ? Lo : Hi;
    else if (New < Lo)
        New = FWrap ? Hi : Lo;
    if (New != FPosition) {
        if (!CanChange()) return;
        FPosition = New;
        UpdateAssociate();
    }
    if (TWinControl* P = Parent()) {
        const UINT Msg = FOrientation == udVertical ? WM_VSCROLL : WM_HSCROLL;
        const WPARAM Pos = WPARAM(std::uint16_t(std::int16_t(FPosition)));
        P->Perform(Msg, SB_THUMBPOSITION | (Pos << 16), reinterpret_cast<LPARAM>(this));
        P->Perform(Msg, SB_ENDSCROLL, reinterpret_cast<LPARAM>(this));
    }
    Click(Button);
}

TUDBtnType TCustomUpDown::ButtonAt(int X, int Y) const {
    if (FOrientation == udVertical) return Y < Height() / 2 ? btNext : btPrev;
    return X >= Width() / 2 ? btNext : btPrev;
}

void TCustomUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    const TUDBtnType B = ButtonAt(X, Y);
    FPressed = int(B);
    Invalidate();
    Press(B);
}

void TCustomUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (FPressed < 0) return;
    FPressed = -1;
    Invalidate();
}

void TCustomUpDown::KeyDown(Word& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (!FArrowKeys) return;
    if (Key == VK_UP || Key == VK_RIGHT) {
        Press(btNext);
        Key = 0;
    } else if (Key == VK_DOWN || Key == VK_LEFT) {
        Press(btPrev);
        Key = 0;
    }
}

void TCustomUpDown::Paint() {
    TCanvas* C = Canvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(ClientRect());
    const bool Vertical = FOrientation == udVertical;
    const int W = Width(), H = Height();
    const std::array<TRect, 2> Halves =
        Vertical ? std::array<TRect, 2>{Rect(0, 0, W, H / 2), Rect(0, H / 2, W, H)}
                 : std::array<TRect, 2>{Rect(W / 2, 0, W, H), Rect(0, 0, W / 2, H)};
    for (int B = 0; B < 2; ++B) {
        TRect R = Halves[std::size_t(B)];
        const bool Down = FPressed == B;
        Frame3D(C, R, Down ? clBtnShadow : clBtnHighlight, Down ? clBtnHighlight : clBtnShadow, 1);
        const int CX = (R.Left + R.Right) / 2, CY = (R.Top + R.Bottom) / 2;
        const int S = std::max(1, std::min(R.Width(), R.Height()) / 4);
        std::array<TPoint, 3> Arrow;
        if (Vertical)
            Arrow =
                B == int(btNext)
                    ? std::array<TPoint, 3>{TPoint{CX - S, CY + S / 2}, TPoint{CX + S, CY + S / 2},
                                            TPoint{CX, CY - S / 2 - 1}}
                    : std::array<TPoint, 3>{TPoint{CX - S, CY - S / 2}, TPoint{CX + S, CY - S / 2},
                                            TPoint{CX, CY + S / 2 + 1}};
        else
            Arrow =
                B == int(btNext)
                    ? std::array<TPoint, 3>{TPoint{CX - S / 2, CY - S}, TPoint{CX - S / 2, CY + S},
                                            TPoint{CX + S / 2 + 1, CY}}
                    : std::array<TPoint, 3>{TPoint{CX + S / 2, CY - S}, TPoint{CX + S / 2, CY + S},
                                            TPoint{CX - S / 2 - 1, CY}};
        const TColor Ink = Enabled() ? clBtnText : clGrayText;
        C->Pen()->SetColor(Ink);
        C->Brush()->SetColor(Ink);
        C->Polygon(Arrow);
        C->Brush()->SetColor(Color());
    }
}
