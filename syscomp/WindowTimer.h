#pragma once
// TSysCustomTimer: a component timer with a hidden message window of its
// own (timer 1 of that window). It runs only while Enabled, Interval is not
// 0 and OnTimer is assigned; each change of those re-arms it. An exception
// from OnTimer goes to the application's exception handler and the timer
// keeps running.
#include "platform/forms/Messages.h"
#include "syscomp/SysComponent.h"

class TSysCustomTimer : public TSysComponent {
public:
    QM_CLASSNAME(TSysCustomTimer)
    explicit TSysCustomTimer(TComponent* AOwner);
    ~TSysCustomTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t Value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

    // The hidden window whose timer 1 drives this component.
    HWND Handle() const { return FWindow; }

protected:
    // Sends WM_TIMER to Timer and answers every other message with 0.
    virtual void WndProc(TMessage& Message);
    virtual void Timer();
    void UpdateTimer();

private:
    bool FEnabled = true;
    std::uint32_t FInterval = 1000;
    TNotifyEvent FOnTimer;
    HWND FWindow = nullptr;
};
