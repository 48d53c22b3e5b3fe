#pragma once
// The one ordered subclass chain of a window procedure.
//
// Several services watch the messages of a control (or of a bare window)
// without owning it. The first hook of a target saves the target's current
// WindowProc and puts a dispatcher in its place; the dispatcher runs the
// before-handlers in the order they were added, then the saved procedure,
// then the after-handlers. A handler returning true has handled the
// message: the rest of the chain is skipped (for a before-handler, the
// saved procedure too). When the last handler of a target is removed, the
// saved procedure is put back (unless someone has replaced the dispatcher
// since; it then stays as a plain pass-through).
//
// Handlers may be added and removed at any time, in any order, also while a
// message of the target is being dispatched (re-entrant dispatches
// included): a handler added during a message still runs for it when its
// chain has not been walked to the end, and removing the handler that runs
// next skips it. A target destroyed while one of its messages runs ends the
// chain walk; the bookkeeping outlives the message and is freed after it.
//
// Main thread only, like every window procedure.
#include <cstdint>
#include <functional>

#include "platform/forms/Messages.h"

class TControl;

enum THookOrder { hoBeforeMsg = 0, hoAfterMsg = 1 };

// Returns true when it has handled the message.
using TWndProcHookHandler = std::function<bool(TMessage& Message)>;
using THookId = std::uint64_t;

// Adds Handler to the chain Order of Control; returns its id, or 0 when
// Control is null or being destroyed, or the handler is empty.
THookId InstallWindowProcHook(TControl* Control, THookOrder Order, TWndProcHookHandler Handler);
// The same for a window handle: a control's handle hooks that control, any
// other live handle hooks the bare window.
THookId InstallWindowProcHook(HWND Wnd, THookOrder Order, TWndProcHookHandler Handler);
// Removes one handler; false when the id is unknown (already removed, or
// its target is gone).
bool RemoveWindowProcHook(THookId Id);
// Number of handlers in one chain of a target (for diagnostics and tests).
int WindowProcHookCount(TControl* Control, THookOrder Order);

// Told by TControl and DeallocateHWnd when a target's procedure slot dies.
void WindowProcTargetDestroyed(TWndMethod* Slot);
