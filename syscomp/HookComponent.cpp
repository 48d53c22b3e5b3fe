#include "syscomp/HookComponent.h"

#include "platform/forms/Controls.h"

#include <algorithm>

struct TSysWndProcHookList {
    std::vector<TSysCustomWndProcHook*> Items;
};

namespace {

TSysWndProcHookList* HookList = nullptr;

bool Dying(const TComponent* C) {
    return C != nullptr && C->ComponentState().Contains(csDestroying);
}

} // namespace

int SysWndProcHookCount() {
    return HookList != nullptr ? int(HookList->Items.size()) : 0;
}

void SysFreeWndProcHookList() {
    delete HookList;
    HookList = nullptr;
}

TSysWndProcHookTimer::TSysWndProcHookTimer(TSysCustomWndProcHook* Hook)
    : TSysCustomTimer(nullptr), FHook(Hook) {
    SetEnabled(false);
    SetInterval(25);
    SetOnTimer([](TObject*) {});
}

void TSysWndProcHookTimer::Timer() {
    // One shot: the timer stays with its hook for the next re-creation.
    SetEnabled(false);
    FHook->Activate();
    if (FHook->OnChangeHandle) FHook->OnChangeHandle(FHook);
}

TSysCustomWndProcHook::TSysCustomWndProcHook(TComponent* AOwner) : TSysComponent(AOwner) {
    if (HookList == nullptr) HookList = new TSysWndProcHookList;
    HookList->Items.push_back(this);
}

TSysCustomWndProcHook::~TSysCustomWndProcHook() {
    FRehookTimer.reset();
    Deactivate();
    if (HookList != nullptr) {
        auto& v = HookList->Items;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        if (v.empty()) SysFreeWndProcHookList();
    }
}

TWinControl* TSysCustomWndProcHook::WinControl() const {
    if (FWinControl != nullptr) return FWinControl;
    return dynamic_cast<TWinControl*>(Owner());
}

TSysCustomWndProcHook::TTarget TSysCustomWndProcHook::Target() const {
    TTarget t;
    if (FHandle != nullptr && IsWindow(FHandle)) {
        if (TWinControl* c = FindControl(FHandle))
            t.Control = c;
        else
            t.Wnd = FHandle;
        return t;
    }
    TWinControl* c = WinControl();
    if (c == nullptr || Dying(c)) return t;
    const auto& s = c->ComponentState();
    if (!c->HandleAllocated() && (s.Contains(csLoading) || s.Contains(csReading))) return t;
    t.Control = c;
    return t;
}

// Rebuilds the chain of this hook's window from its active hooks, in list
// order: the last one is outermost, so its before-handler goes in first and
// its after-handler last.
void TSysCustomWndProcHook::Activate() {
    FActive = true;
    if (IsDesigning()) return;
    Deactivate();
    FActive = true;
    const TTarget t = Target();
    if (t.Key() == nullptr) return;
    FKey = t.Key();
    FHooked = t;
    std::vector<TSysCustomWndProcHook*> chain;
    // After module end the list is gone: a hook then chains alone.
    if (HookList == nullptr)
        chain.push_back(this);
    else
        for (TSysCustomWndProcHook* h : HookList->Items)
            if (h->FActive && h->FKey == FKey) chain.push_back(h);
    for (TSysCustomWndProcHook* h : chain) {
        if (h->FBeforeId != 0) RemoveWindowProcHook(h->FBeforeId);
        if (h->FAfterId != 0) RemoveWindowProcHook(h->FAfterId);
        h->FBeforeId = h->FAfterId = 0;
    }
    auto install = [&](THookOrder order, TWndProcHookHandler handler) -> THookId {
        return t.Control != nullptr ? InstallWindowProcHook(t.Control, order, std::move(handler))
                                    : InstallWindowProcHook(t.Wnd, order, std::move(handler));
    };
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        TSysCustomWndProcHook* h = *it;
        h->FBeforeId = install(hoBeforeMsg, [h](TMessage& m) { return h->Before(m); });
    }
    for (TSysCustomWndProcHook* h : chain)
        h->FAfterId = install(hoAfterMsg, [h](TMessage& m) {
            h->After(m);
            return false;
        });
}

void TSysCustomWndProcHook::Deactivate() {
    FActive = false;
    if (IsDesigning()) return;
    if (FBeforeId != 0) RemoveWindowProcHook(FBeforeId);
    if (FAfterId != 0) RemoveWindowProcHook(FAfterId);
    FBeforeId = FAfterId = 0;
    FKey = nullptr;
    // The rest of the chain keeps its order: removing one hook does not
    // move the others. When none is left the window's own procedure is back.
}

bool TSysCustomWndProcHook::Before(TMessage& Message) {
    bool handled = false;
    if (OnMessageBefore) OnMessageBefore(this, Message, handled);
    if (!handled && Message.Msg == WM_LBUTTONDOWN && FAutoDrag) {
        HWND w = FHooked.Wnd;
        if (auto* c = dynamic_cast<TWinControl*>(FHooked.Control); c != nullptr)
            w = c->HandleAllocated() ? c->Handle() : nullptr;
        if (w != nullptr && IsWindow(w)) {
            SetCaptureControl(nullptr);
            SendMessage(w, WM_SYSCOMMAND, SC_DRAGMOVE, 0);
            handled = true;
        }
    }
    if (!handled) {
        // The window must see its own destruction: the hook lets go once
        // the message has passed (After).
        if (Message.Msg == WM_DESTROY && FActive) FRehookPending = true;
        return false;
    }
    // Handled: the hooks inside and the window are skipped; this hook and
    // every hook outside it still finish with OnMessageAfter.
    std::vector<TSysCustomWndProcHook*> outer;
    if (HookList == nullptr) {
        outer.push_back(this);
    } else {
        bool found = false;
        for (TSysCustomWndProcHook* h : HookList->Items) {
            if (h == this) found = true;
            if (found && h->FActive && h->FKey == FKey) outer.push_back(h);
        }
    }
    for (TSysCustomWndProcHook* h : outer)
        h->CallAfter(Message);
    return true;
}

void TSysCustomWndProcHook::CallAfter(TMessage& Message) {
    bool handled = false;
    if (OnMessageAfter) OnMessageAfter(this, Message, handled);
}

void TSysCustomWndProcHook::After(TMessage& Message) {
    CallAfter(Message);
    if (!FRehookPending) return;
    FRehookPending = false;
    const bool controlDying = Dying(FHooked.Control);
    Deactivate();
    if (controlDying) return;
    if (!FRehookTimer) FRehookTimer = std::make_unique<TSysWndProcHookTimer>(this);
    FRehookTimer->SetEnabled(true);
}

void TSysCustomWndProcHook::SetActive(bool Value) {
    if (IsLoading()) {
        FActive = Value;
        return;
    }
    if (FRehookTimer) FRehookTimer->SetEnabled(false);
    if (Value)
        Activate();
    else
        Deactivate();
}

void TSysCustomWndProcHook::SetWindowHandle(HWND Value) {
    if (Value == FHandle) return;
    const bool was = FActive;
    Deactivate();
    FHandle = Value;
    if (was) Activate();
    if (OnChangeHandle) OnChangeHandle(this);
}

void TSysCustomWndProcHook::SetWinControl(TWinControl* Value) {
    if (Value == FWinControl) return;
    const bool was = FActive;
    Deactivate();
    if (FWinControl != nullptr && FWinControl != Owner()) FWinControl->RemoveFreeNotification(this);
    FWinControl = Value;
    if (FWinControl != nullptr && FWinControl != Owner()) FWinControl->FreeNotification(this);
    if (was) Activate();
    if (OnChangeWinControl) OnChangeWinControl(this);
}

void TSysCustomWndProcHook::Notification(TComponent* AComponent, TOperation Operation) {
    TSysComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == this)
        Deactivate();
    else if (AComponent == FWinControl)
        SetWinControl(nullptr);
}

void TSysCustomWndProcHook::Loaded() {
    TSysComponent::Loaded();
    if (FActive) Activate();
}
