#pragma once
// The process-wide window-procedure hook service of the menus and hints.
//
// Several objects watch the messages of one control (or bare window)
// without owning it: each registers a method to run before or after the
// control's own procedure. Everything runs on the one ordered subclass
// chain of platform/forms/Hooks.h, so these hooks line up with every other
// hook of the program and share its guarantees: handlers may be added or
// removed during a message, re-entrant messages keep their place, and a
// control freed inside its own message ends the walk safely.
//
// A handler is a method (code and object) so that the same pair can be
// removed later without keeping an id; registering a pair twice adds two
// nodes, removing it takes the first one away.
//
// TUiReleaser frees objects after the message being handled has unwound.
// Both services are made on first use and freed by FinalizeWndProcHooks.
// Main thread only.
#include <vector>

#include "platform/classes/Component.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Hooks.h"

// Returns true when it has handled the message (the rest is skipped).
using TUiHookProc = bool (*)(void* Object, TMessage& Message);

struct TUiHookMethod {
    TUiHookProc Code = nullptr;
    void* Object = nullptr;
    bool operator==(const TUiHookMethod&) const = default;
};

// The hook method of a member function: UiHookMethod<&TFoo::Handler>(Foo).
template <auto Method, class T> TUiHookMethod UiHookMethod(T* Object) {
    return {[](void* O, TMessage& M) -> bool { return (static_cast<T*>(O)->*Method)(M); }, Object};
}

// False when Control is missing or being destroyed, or Handler has no code.
bool InstallWndProcHook(TControl* Control, THookOrder Order, TUiHookMethod Handler);
// A bare window (a control's handle hooks that control).
bool InstallWndProcHook(HWND Wnd, THookOrder Order, TUiHookMethod Handler);
// Removes the first node of chain Order with the same code and object; true
// when the target has hooks (whether or not the pair was found).
bool RemoveWndProcHook(TControl* Control, THookOrder Order, TUiHookMethod Handler);
bool RemoveWndProcHook(HWND Wnd, THookOrder Order, TUiHookMethod Handler);

class TUiWndProcHook : public TComponent {
public:
    QM_CLASSNAME(TUiWndProcHook)
    explicit TUiWndProcHook(TComponent* AOwner);
    ~TUiWndProcHook() override;

    bool Install(TControl* Control, HWND Wnd, THookOrder Order, TUiHookMethod Handler);
    bool Remove(TControl* Control, HWND Wnd, THookOrder Order, TUiHookMethod Handler);
    // Number of targets with hooks (for tests).
    int RecordCount() const { return int(FRecords.size()); }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    struct TNode {
        THookOrder Order;
        TUiHookMethod Method;
        THookId Id;
    };
    // One per hooked target; the chain's nodes in the order they were added.
    struct TUiHookInfos {
        TControl* Control = nullptr;
        HWND Wnd = nullptr;
        std::vector<TNode> Nodes;
    };
    TUiHookInfos* Find(TControl* Control, HWND Wnd);
    void Drop(TUiHookInfos* Infos);
    std::vector<TUiHookInfos*> FRecords;
};

// The one manager (made on first use).
TUiWndProcHook* UiWndProcHook();

class TUiReleaser : public TObject {
public:
    QM_CLASSNAME(TUiReleaser)
    TUiReleaser();
    ~TUiReleaser() override;
    // Takes AObject (once) and frees it when the posted release message
    // arrives, that is after the current message has unwound.
    void Release(TObject* AObject);
    int PendingCount() const { return int(FObjects.size()); }

private:
    void WndProc(TMessage& Message);
    std::vector<TObject*> FObjects;
    HWND FWnd = nullptr;
};

// The one releaser (made on first use).
TUiReleaser* UiReleaser();

// Frees the manager (its hooks are removed) and the releaser (with what it
// still holds). Call at program end, before the forms are gone.
void FinalizeWndProcHooks();
