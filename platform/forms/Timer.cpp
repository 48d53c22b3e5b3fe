#include "platform/forms/Timer.h"

#include "platform/forms/Application.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    InitForms();
    FWindow = AllocateHWnd([this](TMessage& M) { WndProc(M); });
    UpdateTimer();
}

TTimer::~TTimer() {
    Destroying();
    DeallocateHWnd(FWindow);
}

void TTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    KillTimer(FWindow, 1);
    if (FInterval != 0 && FEnabled) SetTimer(FWindow, 1, FInterval);
}

void TTimer::WndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) return;
    try {
        Timer();
    } catch (...) {
        if (Application != nullptr) Application->HandleException(this);
    }
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}
