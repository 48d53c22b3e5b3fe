#pragma once
// TTimer: fires OnTimer every Interval milliseconds while Enabled, from the
// application's message loop (WM_TIMER of a hidden window). Intervals are
// measured on the clock of platform/system/Clock.h, so tests can move time
// with SetClockSourceForTesting and let ProcessMessages fire the timer, or
// call Tick. An exception raised by OnTimer goes to the application's
// exception handler and the timer keeps running.
#include "platform/classes/Component.h"
#include "platform/forms/Messages.h"

class TTimer : public TComponent {
public:
    QM_CLASSNAME(TTimer)
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    // Milliseconds; 0 stops the timer.
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned Value);

    // Runs what one expiry runs (for tests and for callers that need an
    // immediate tick).
    void Tick() { Timer(); }

    TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    bool FEnabled = true;
    unsigned FInterval = 1000;
    HWND FWindow = nullptr;
};
