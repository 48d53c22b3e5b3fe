#include "menus/WndProcHooks.h"

#include <algorithm>

#include "platform/forms/Application.h"

namespace {

TUiWndProcHook* GManager = nullptr;
TUiReleaser* GReleaser = nullptr;

} // namespace

// ---------------------------------------------------------------------------
// TUiWndProcHook

TUiWndProcHook::TUiWndProcHook(TComponent* AOwner) : TComponent(AOwner) {}

TUiWndProcHook::~TUiWndProcHook() {
    Destroying();
    while (!FRecords.empty())
        Drop(FRecords.back());
}

TUiWndProcHook::TUiHookInfos* TUiWndProcHook::Find(TControl* Control, HWND Wnd) {
    for (TUiHookInfos* R : FRecords)
        if (Control != nullptr ? R->Control == Control : (R->Control == nullptr && R->Wnd == Wnd))
            return R;
    return nullptr;
}

void TUiWndProcHook::Drop(TUiHookInfos* Infos) {
    // The chain of a live target loses our nodes (and, with its last node,
    // gives the target its own procedure back); a dead target's chain is
    // already gone, so the removals are no-ops.
    for (const TNode& N : Infos->Nodes)
        RemoveWindowProcHook(N.Id);
    if (Infos->Control != nullptr) Infos->Control->RemoveFreeNotification(this);
    std::erase(FRecords, Infos);
    delete Infos;
}

bool TUiWndProcHook::Install(TControl* Control, HWND Wnd, THookOrder Order, TUiHookMethod Handler) {
    if (Handler.Code == nullptr) return false;
    if (Control == nullptr) {
        if (Wnd == nullptr || !IsWindow(Wnd)) return false;
        if (TWinControl* C = FindControl(Wnd)) Control = C;
    }
    if (Control != nullptr && Control->ComponentState().Contains(csDestroying)) return false;
    // Bare windows that died since took their chains with them.
    for (std::size_t I = FRecords.size(); I-- > 0;)
        if (FRecords[I]->Control == nullptr && !IsWindow(FRecords[I]->Wnd)) Drop(FRecords[I]);
    TUiHookInfos* R = Find(Control, Wnd);
    const auto Call = [Handler](TMessage& M) { return Handler.Code(Handler.Object, M); };
    const THookId Id = Control != nullptr ? InstallWindowProcHook(Control, Order, Call)
                                          : InstallWindowProcHook(Wnd, Order, Call);
    if (Id == 0) return false;
    if (R == nullptr) {
        R = new TUiHookInfos;
        R->Control = Control;
        R->Wnd = Control != nullptr ? nullptr : Wnd;
        FRecords.push_back(R);
        if (Control != nullptr) Control->FreeNotification(this);
    }
    R->Nodes.push_back({Order, Handler, Id});
    return true;
}

bool TUiWndProcHook::Remove(TControl* Control, HWND Wnd, THookOrder Order, TUiHookMethod Handler) {
    if (Handler.Code == nullptr) return false;
    if (Control == nullptr && Wnd != nullptr)
        if (TWinControl* C = FindControl(Wnd)) Control = C;
    if (Control == nullptr && Wnd == nullptr) return false;
    TUiHookInfos* R = Find(Control, Wnd);
    if (R == nullptr) return false;
    // A bare window that has died took its chain with it: the record is
    // stale, not a target with hooks.
    if (R->Control == nullptr && !IsWindow(R->Wnd)) {
        Drop(R);
        return false;
    }
    auto It = std::find_if(R->Nodes.begin(), R->Nodes.end(),
                           [&](const TNode& N) { return N.Order == Order && N.Method == Handler; });
    if (It != R->Nodes.end()) {
        const THookId Id = It->Id;
        R->Nodes.erase(It);
        RemoveWindowProcHook(Id);
    }
    if (R->Nodes.empty()) Drop(R);
    return true;
}

void TUiWndProcHook::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent->ComponentState().Contains(csDestroying)) return;
    for (TUiHookInfos* R : FRecords)
        if (R->Control == AComponent) {
            // The chain went with the control; only our bookkeeping is left.
            R->Nodes.clear();
            Drop(R);
            return;
        }
}

TUiWndProcHook* UiWndProcHook() {
    if (GManager == nullptr) GManager = new TUiWndProcHook(nullptr);
    return GManager;
}

bool InstallWndProcHook(TControl* Control, THookOrder Order, TUiHookMethod Handler) {
    if (Control == nullptr) return false;
    return UiWndProcHook()->Install(Control, nullptr, Order, Handler);
}

bool InstallWndProcHook(HWND Wnd, THookOrder Order, TUiHookMethod Handler) {
    if (Wnd == nullptr) return false;
    return UiWndProcHook()->Install(nullptr, Wnd, Order, Handler);
}

bool RemoveWndProcHook(TControl* Control, THookOrder Order, TUiHookMethod Handler) {
    if (Control == nullptr || GManager == nullptr) return false;
    return GManager->Remove(Control, nullptr, Order, Handler);
}

bool RemoveWndProcHook(HWND Wnd, THookOrder Order, TUiHookMethod Handler) {
    if (Wnd == nullptr || GManager == nullptr) return false;
    return GManager->Remove(nullptr, Wnd, Order, Handler);
}

// ---------------------------------------------------------------------------
// TUiReleaser

TUiReleaser::TUiReleaser() = default;

TUiReleaser::~TUiReleaser() {
    if (FWnd != nullptr) DeallocateHWnd(FWnd);
    std::vector<TObject*> Left;
    Left.swap(FObjects);
    for (TObject* O : Left)
        delete O;
}

void TUiReleaser::Release(TObject* AObject) {
    if (AObject == nullptr) return;
    if (std::find(FObjects.begin(), FObjects.end(), AObject) != FObjects.end()) return;
    if (FWnd == nullptr) FWnd = AllocateHWnd([this](TMessage& M) { WndProc(M); });
    FObjects.push_back(AObject);
    PostMessage(FWnd, CM_RELEASE, WPARAM(AObject));
}

void TUiReleaser::WndProc(TMessage& Message) {
    if (Message.Msg != CM_RELEASE) return;
    try {
        auto* O = reinterpret_cast<TObject*>(Message.WParam);
        // Only what is still listed: a pointer in a message is never trusted
        // on its own.
        auto It = std::find(FObjects.begin(), FObjects.end(), O);
        if (It == FObjects.end()) return;
        FObjects.erase(It);
        delete O;
    } catch (...) {
        if (Application != nullptr) Application->HandleException(this);
    }
}

TUiReleaser* UiReleaser() {
    if (GReleaser == nullptr) GReleaser = new TUiReleaser;
    return GReleaser;
}

void FinalizeWndProcHooks() {
    delete GManager;
    GManager = nullptr;
    delete GReleaser;
    GReleaser = nullptr;
}
