#pragma once
// TSysCustomWndProcHook / TSysWndProcHook: watch the messages of a window
// (WinControl, else the owner when it is a window control, or an explicit
// window handle) through the window's one subclass chain. Several hook
// components on one window nest: the one activated last sees a message
// first (OnMessageBefore) and last (OnMessageAfter). A handled message skips
// the hooks inside and the window itself; the hooks outside still get their
// OnMessageAfter. A hooked window whose native window is destroyed is hooked
// again 25 ms later (OnChangeHandle then fires).
#include "platform/forms/Hooks.h"
#include "syscomp/WindowTimer.h"

#include <functional>
#include <memory>
#include <vector>

class TControl;
class TWinControl;

using TSysHookMessageEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

// The system command that moves a window by dragging it.
constexpr WPARAM SC_DRAGMOVE = 0xF012;

class TSysCustomWndProcHook;

// The one-shot timer that hooks a re-created window again.
class TSysWndProcHookTimer : public TSysCustomTimer {
public:
    QM_CLASSNAME(TSysWndProcHookTimer)
    explicit TSysWndProcHookTimer(TSysCustomWndProcHook* Hook);

protected:
    void Timer() override;

private:
    TSysCustomWndProcHook* FHook;
};

class TSysCustomWndProcHook : public TSysComponent {
public:
    QM_CLASSNAME(TSysCustomWndProcHook)
    explicit TSysCustomWndProcHook(TComponent* AOwner);
    ~TSysCustomWndProcHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool AutoDrag() const { return FAutoDrag; }
    void SetAutoDrag(bool Value) { FAutoDrag = Value; }
    // The control set, else the owner when it is a window control.
    TWinControl* WinControl() const;
    void SetWinControl(TWinControl* Value);
    // An explicit window to hook in place of the control (null: none).
    HWND WindowHandle() const { return FHandle; }
    void SetWindowHandle(HWND Value);
    // True while this hook sits in a window's chain.
    bool Hooked() const { return FBeforeId != 0; }

    void Loaded() override;

    TNotifyEvent OnChangeHandle;
    TNotifyEvent OnChangeWinControl;
    TSysHookMessageEvent OnMessageBefore;
    TSysHookMessageEvent OnMessageAfter;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TSysWndProcHookTimer;
    friend struct TSysWndProcHookList;
    struct TTarget {
        TControl* Control = nullptr;
        HWND Wnd = nullptr;
        const void* Key() const {
            return Control != nullptr ? static_cast<const void*>(Control)
                                      : static_cast<const void*>(Wnd);
        }
    };
    TTarget Target() const;
    void Activate();
    void Deactivate();
    bool Before(TMessage& Message);
    void After(TMessage& Message);
    void CallAfter(TMessage& Message);

    bool FActive = false;
    bool FAutoDrag = false;
    TWinControl* FWinControl = nullptr;
    HWND FHandle = nullptr;
    // The window this hook is chained into while active.
    const void* FKey = nullptr;
    TTarget FHooked;
    THookId FBeforeId = 0;
    THookId FAfterId = 0;
    bool FRehookPending = false;
    std::unique_ptr<TSysWndProcHookTimer> FRehookTimer;
};

class TSysWndProcHook : public TSysCustomWndProcHook {
public:
    QM_CLASSNAME(TSysWndProcHook)
    using TSysCustomWndProcHook::TSysCustomWndProcHook;
};

// Number of hook components alive (the process-wide list; 0 when it has
// been freed).
int SysWndProcHookCount();
// Module end: frees the hook list (the hooks themselves stay with their
// owners).
void SysFreeWndProcHookList();
