#include "platform/forms/Messages.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Hooks.h"
#include "platform/system/Clock.h"
#include "platform/system/Thread.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct TWindowEntry {
    TWinControl* Control = nullptr; // null for a bare window
    TWndMethod Proc;                // a bare window's procedure
};

struct TTimerEntry {
    HWND Wnd;
    UINT_PTR ID;
    UINT Interval;
    std::uint64_t Due;
};

// Lives for the whole process (never destroyed) so that late callers during
// static destruction still find a valid, if empty, table.
struct TMessageState {
    std::mutex Lock; // guards Windows, Queue, Timers and WakeHook
    std::unordered_map<std::uintptr_t, TWindowEntry> Windows;
    std::uintptr_t NextHandle = 0x10000;
    std::deque<TMsg> Queue;
    std::vector<TTimerEntry> Timers;
    std::function<void()> WakeHook;
};

TMessageState& State() {
    static TMessageState* S = new TMessageState;
    return *S;
}

std::uintptr_t Key(HWND Wnd) {
    return reinterpret_cast<std::uintptr_t>(Wnd);
}

HWND NewHandle(TMessageState& S, TWindowEntry Entry) {
    std::lock_guard<std::mutex> Guard(S.Lock);
    const std::uintptr_t H = S.NextHandle;
    S.NextHandle += 4;
    S.Windows.emplace(H, std::move(Entry));
    return reinterpret_cast<HWND>(H);
}

void ForgetHandle(HWND Wnd) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    S.Windows.erase(Key(Wnd));
    std::erase_if(S.Queue, [&](const TMsg& M) { return M.hwnd == Wnd; });
    std::erase_if(S.Timers, [&](const TTimerEntry& T) { return T.Wnd == Wnd; });
}

bool Matches(const TMsg& M, HWND Wnd, UINT MsgMin, UINT MsgMax) {
    if (Wnd != nullptr && M.hwnd != Wnd) return false;
    if (MsgMin == 0 && MsgMax == 0) return true;
    return M.message >= MsgMin && M.message <= MsgMax;
}

} // namespace

HWND AllocateHWnd(TWndMethod Method) {
    TWindowEntry E;
    E.Proc = std::move(Method);
    return NewHandle(State(), std::move(E));
}

void DeallocateHWnd(HWND Wnd) {
    if (Wnd == nullptr) return;
    if (TWndMethod* Proc = BareWindowProc(Wnd)) WindowProcTargetDestroyed(Proc);
    ForgetHandle(Wnd);
}

TWndMethod* BareWindowProc(HWND Wnd) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    auto It = S.Windows.find(Key(Wnd));
    if (It == S.Windows.end() || It->second.Control != nullptr) return nullptr;
    return &It->second.Proc;
}

bool IsWindow(HWND Wnd) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    return S.Windows.count(Key(Wnd)) != 0;
}

TWinControl* FindControl(HWND Wnd) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    auto It = S.Windows.find(Key(Wnd));
    return It == S.Windows.end() ? nullptr : It->second.Control;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> Result;
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    for (const auto& [H, E] : S.Windows)
        if (E.Control != nullptr && E.Control->Parent() == nullptr)
            Result.push_back(reinterpret_cast<HWND>(H));
    std::sort(Result.begin(), Result.end());
    return Result;
}

HWND AllocateControlHandle(TWinControl* Control) {
    TWindowEntry E;
    E.Control = Control;
    return NewHandle(State(), std::move(E));
}

void ReleaseControlHandle(HWND Wnd) {
    if (Wnd != nullptr) ForgetHandle(Wnd);
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (MainThreadID() != 0 && GetCurrentThreadId() != MainThreadID()) {
        LRESULT R = 0;
        TThread::Synchronize(nullptr, [&] { R = SendMessage(Wnd, Msg, WParam, LParam); });
        return R;
    }
    TWinControl* Control = nullptr;
    TWndMethod Proc;
    {
        TMessageState& S = State();
        std::lock_guard<std::mutex> Guard(S.Lock);
        auto It = S.Windows.find(Key(Wnd));
        if (It == S.Windows.end()) return 0;
        Control = It->second.Control;
        if (Control == nullptr) Proc = It->second.Proc; // a copy: the window may die inside
    }
    if (Control != nullptr) return Control->Perform(Msg, WParam, LParam);
    TMessage M{Msg, WParam, LParam, 0};
    if (Proc) Proc(M);
    return M.Result;
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessageState& S = State();
    std::function<void()> Wake;
    {
        std::lock_guard<std::mutex> Guard(S.Lock);
        if (Wnd != nullptr && S.Windows.count(Key(Wnd)) == 0) return false;
        S.Queue.push_back(TMsg{Wnd, Msg, WParam, LParam});
        Wake = S.WakeHook;
    }
    if (Wake) Wake();
    return true;
}

void PostQuitMessage(int ExitCode) {
    PostMessage(nullptr, WM_QUIT, WPARAM(ExitCode), 0);
}

bool PeekMessage(TMsg& Msg, HWND Wnd, UINT MsgMin, UINT MsgMax, UINT RemoveMsg) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    for (auto It = S.Queue.begin(); It != S.Queue.end(); ++It) {
        if (!Matches(*It, Wnd, MsgMin, MsgMax)) continue;
        Msg = *It;
        if (RemoveMsg & PM_REMOVE) S.Queue.erase(It);
        return true;
    }
    const std::uint64_t Now = GetTickCount64();
    for (TTimerEntry& T : S.Timers) {
        if (T.Due > Now) continue;
        TMsg M{T.Wnd, WM_TIMER, T.ID, 0};
        if (!Matches(M, Wnd, MsgMin, MsgMax)) continue;
        Msg = M;
        if (RemoveMsg & PM_REMOVE) T.Due = Now + T.Interval;
        return true;
    }
    return false;
}

LRESULT DispatchMessage(const TMsg& Msg) {
    if (Msg.hwnd == nullptr) return 0;
    return SendMessage(Msg.hwnd, Msg.message, Msg.wParam, Msg.lParam);
}

int QueuedMessageCount() {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    return int(S.Queue.size());
}

UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    if (S.Windows.count(Key(Wnd)) == 0) return 0;
    // The system's lower bound: shorter periods would only spin the loop.
    const UINT Interval = std::max<UINT>(Elapse, 10);
    const std::uint64_t Due = GetTickCount64() + Interval;
    for (TTimerEntry& T : S.Timers) {
        if (T.Wnd == Wnd && T.ID == IDEvent) {
            T.Interval = Interval;
            T.Due = Due;
            return IDEvent;
        }
    }
    S.Timers.push_back(TTimerEntry{Wnd, IDEvent, Interval, Due});
    return IDEvent;
}

bool KillTimer(HWND Wnd, UINT_PTR IDEvent) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    return std::erase_if(S.Timers, [&](const TTimerEntry& T) {
               return T.Wnd == Wnd && T.ID == IDEvent;
           }) != 0;
}

int NextTimerDue() {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    if (S.Timers.empty()) return -1;
    const std::uint64_t Now = GetTickCount64();
    std::uint64_t Best = UINT64_MAX;
    for (const TTimerEntry& T : S.Timers)
        Best = std::min(Best, T.Due <= Now ? 0 : T.Due - Now);
    return int(std::min<std::uint64_t>(Best, 0x7FFFFFFF));
}

void SetMessageQueueWakeHook(std::function<void()> Hook) {
    TMessageState& S = State();
    std::lock_guard<std::mutex> Guard(S.Lock);
    S.WakeHook = std::move(Hook);
}
