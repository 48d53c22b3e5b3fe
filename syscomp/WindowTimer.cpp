#include "syscomp/WindowTimer.h"

#include "platform/base/Exception.h"
#include "platform/forms/Application.h"

TSysCustomTimer::TSysCustomTimer(TComponent* AOwner) : TSysComponent(AOwner) {
    FWindow = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
}

TSysCustomTimer::~TSysCustomTimer() {
    FEnabled = false;
    if (FWindow != nullptr) {
        KillTimer(FWindow, 1);
        DeallocateHWnd(FWindow);
    }
}

void TSysCustomTimer::UpdateTimer() {
    KillTimer(FWindow, 1);
    if (FInterval != 0 && FEnabled && FOnTimer) {
        if (SetTimer(FWindow, 1, FInterval) == 0)
            throw EOutOfResources("Pas assez de timers disponibles");
    }
}

void TSysCustomTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TSysCustomTimer::SetInterval(std::uint32_t Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TSysCustomTimer::SetOnTimer(TNotifyEvent Value) {
    // Handlers cannot be compared: every assignment counts as a change.
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TSysCustomTimer::WndProc(TMessage& Message) {
    if (Message.Msg == WM_TIMER) {
        try {
            Timer();
        } catch (...) {
            if (Application != nullptr) Application->HandleException(this);
        }
        return;
    }
    Message.Result = 0;
}

void TSysCustomTimer::Timer() {
    if (FOnTimer) FOnTimer(this);
}
