#include "syscomp/StartButton.h"

#include "syscomp/SystemBackend.h"

TSysStartButtonProperties::TSysStartButtonProperties(TComponent* AOwner) : TSysComponent(AOwner) {
    ReadPlacement();
}

void TSysStartButtonProperties::ReadPlacement() {
    TRect r;
    FFound = SysBackend()->StartButtonRect(r);
    if (!FFound) return;
    FLeft = r.Left;
    FTop = r.Top;
    FWidth = r.Right - r.Left;
    FHeight = r.Bottom - r.Top;
}

void TSysStartButtonProperties::Place(int Left, int Top, int Width, int Height) {
    if (Left == FLeft && Top == FTop && Width == FWidth && Height == FHeight) return;
    if (SysBackend()->SetStartButtonRect(TRect{Left, Top, Left + Width, Top + Height})) {
        FLeft = Left;
        FTop = Top;
        FWidth = Width;
        FHeight = Height;
    }
}

int TSysStartButtonProperties::ButtonLeft() {
    ReadPlacement();
    return FLeft;
}

int TSysStartButtonProperties::ButtonTop() {
    ReadPlacement();
    return FTop;
}

int TSysStartButtonProperties::ButtonWidth() {
    ReadPlacement();
    return FWidth;
}

int TSysStartButtonProperties::ButtonHeight() {
    ReadPlacement();
    return FHeight;
}

void TSysStartButtonProperties::SetButtonLeft(int Value) {
    ReadPlacement();
    Place(Value, FTop, FWidth, FHeight);
}

void TSysStartButtonProperties::SetButtonTop(int Value) {
    ReadPlacement();
    Place(FLeft, Value, FWidth, FHeight);
}

void TSysStartButtonProperties::SetButtonWidth(int Value) {
    ReadPlacement();
    Place(FLeft, FTop, Value, FHeight);
}

void TSysStartButtonProperties::SetButtonHeight(int Value) {
    ReadPlacement();
    Place(FLeft, FTop, FWidth, Value);
}

bool TSysStartButtonProperties::Enabled() {
    return SysBackend()->StartButtonEnabled();
}

void TSysStartButtonProperties::SetEnabled(bool Value) {
    SysBackend()->SetStartButtonEnabled(Value);
}

bool TSysStartButtonProperties::Visible() {
    return SysBackend()->StartButtonVisible();
}

void TSysStartButtonProperties::SetVisible(bool Value) {
    SysBackend()->SetStartButtonVisible(Value);
}
