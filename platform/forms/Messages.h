#pragma once
// Window messages, window handles and the main thread's message queue.
//
// Every windowed control gets an HWND when its native window is created;
// bare windows (timer and utility windows) get one from AllocateHWnd. A
// handle names its window until the window is destroyed and is never given
// to another window while the program runs, so a message posted to a dead
// window is simply dropped.
//
// Messages are either sent (SendMessage: the target's window procedure runs
// at once) or posted (PostMessage: queued in the one process-wide queue and
// dispatched later by the application's message loop). PostMessage may be
// called from any thread; everything else here belongs to the main thread.
// Timers set with SetTimer produce WM_TIMER when the queue is otherwise
// empty, at most one pending per timer, timed by the replaceable clock of
// platform/system/Clock.h.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/base/Types.h"

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

struct HWND__;
// An opaque window handle; nullptr is no window.
using HWND = HWND__*;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// A queued message as PeekMessage returns it.
struct TMsg {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

using TWndMethod = std::function<void(TMessage& Message)>;

// WM_GETMINMAXINFO: LParam points at this record; the window system fills
// it with its defaults and the window may change the limits.
struct TMinMaxInfo {
    TPoint ptReserved;
    TPoint ptMaxSize;
    TPoint ptMaxPosition;
    TPoint ptMinTrackSize;
    TPoint ptMaxTrackSize;
};

class TCanvas;

// Owner-drawn items (WM_MEASUREITEM / WM_DRAWITEM, LParam points at the
// record). CtlType ODT_MENU for menu items; itemState holds ODS_ bits.
constexpr UINT ODT_MENU = 1;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;
constexpr UINT ODS_DEFAULT = 0x0020;
constexpr UINT ODS_HOTLIGHT = 0x0040;
constexpr UINT ODS_INACTIVE = 0x0080;

struct TMeasureItemStruct {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    std::uintptr_t itemData = 0;
};

// The canvas stands where the system passes a device context.
struct TDrawItemStruct {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    TCanvas* Canvas = nullptr;
    TRect rcItem;
    std::uintptr_t itemData = 0;
};

// Window messages (the system's numbers).
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
// The desktop session is about to end: Result 1 lets it, 0 refuses.
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_FONTCHANGE = 0x001D;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr WPARAM SB_THUMBPOSITION = 4;
constexpr WPARAM SB_ENDSCROLL = 8;
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSEFIRST = WM_MOUSEMOVE;
constexpr UINT WM_MOUSELAST = WM_MOUSEWHEEL;
constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
constexpr UINT WM_EXITSIZEMOVE = 0x0232;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
// Sent to an edit by its context menu's entries: the edit does the cut,
// paste or delete unless its control handles the message itself.
constexpr UINT WM_CUT = 0x0300;
constexpr UINT WM_PASTE = 0x0302;
constexpr UINT WM_CLEAR = 0x0303;
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// Messages of the class library's controls. CM_RELEASE keeps the number the
// program's own code posts (0xB021).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 22;
constexpr UINT CM_ENTER = CM_BASE + 23;
constexpr UINT CM_EXIT = CM_BASE + 24;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 31;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;

// WM_SIZE kinds.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
// WM_ACTIVATE states.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;
// Mouse message key flags (WParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
// WM_NCHITTEST results.
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;
constexpr LRESULT HTLEFT = 10;
constexpr LRESULT HTBOTTOMRIGHT = 17;
// WM_SYSCOMMAND commands.
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;
// PeekMessage removal flags.
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

// Virtual key codes (WM_KEYDOWN/WM_KEYUP WParam). Letters and digits are
// their upper-case ASCII codes.
constexpr Word VK_LBUTTON = 0x01;
constexpr Word VK_RBUTTON = 0x02;
constexpr Word VK_BACK = 0x08;
constexpr Word VK_TAB = 0x09;
constexpr Word VK_RETURN = 0x0D;
constexpr Word VK_SHIFT = 0x10;
constexpr Word VK_CONTROL = 0x11;
constexpr Word VK_MENU = 0x12;
constexpr Word VK_PAUSE = 0x13;
constexpr Word VK_ESCAPE = 0x1B;
constexpr Word VK_SPACE = 0x20;
constexpr Word VK_PRIOR = 0x21;
constexpr Word VK_NEXT = 0x22;
constexpr Word VK_END = 0x23;
constexpr Word VK_HOME = 0x24;
constexpr Word VK_LEFT = 0x25;
constexpr Word VK_UP = 0x26;
constexpr Word VK_RIGHT = 0x27;
constexpr Word VK_DOWN = 0x28;
constexpr Word VK_INSERT = 0x2D;
constexpr Word VK_DELETE = 0x2E;
constexpr Word VK_MULTIPLY = 0x6A;
constexpr Word VK_ADD = 0x6B;
constexpr Word VK_SUBTRACT = 0x6D;
constexpr Word VK_DECIMAL = 0x6E;
constexpr Word VK_DIVIDE = 0x6F;
constexpr Word VK_F1 = 0x70;
constexpr Word VK_F12 = 0x7B;

inline Word LoWord(std::uintptr_t V) {
    return Word(V & 0xFFFF);
}
inline Word HiWord(std::uintptr_t V) {
    return Word((V >> 16) & 0xFFFF);
}
inline LPARAM MakeLParam(int Lo, int Hi) {
    return LPARAM(std::uint32_t(Word(Lo)) | (std::uint32_t(Word(Hi)) << 16));
}
// The signed client coordinates of a mouse message.
inline TPoint PointFromLParam(LPARAM L) {
    return {int(std::int16_t(LoWord(std::uintptr_t(L)))),
            int(std::int16_t(HiWord(std::uintptr_t(L))))};
}
inline LPARAM PointToLParam(const TPoint& P) {
    return MakeLParam(P.X, P.Y);
}

class TWinControl;

// A bare window: its messages go to Method. Returns the new handle.
HWND AllocateHWnd(TWndMethod Method);
// Destroys a bare window (its timers and queued messages go with it).
void DeallocateHWnd(HWND Wnd);
// The replaceable procedure of a bare window, or null for any other handle.
TWndMethod* BareWindowProc(HWND Wnd);
// True while the handle names a live window.
bool IsWindow(HWND Wnd);
// The windowed control whose native window has this handle, or null.
TWinControl* FindControl(HWND Wnd);

// Runs the target's window procedure now and returns the message result
// (0 for a dead handle). From another thread the call runs on the main
// thread through TThread::Synchronize.
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Queues the message for the main thread's loop; false for a dead handle.
// A null handle queues a thread message (seen by the loop and its
// OnMessage, dispatched to nobody).
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Queues WM_QUIT: the message loop ends its run.
void PostQuitMessage(int ExitCode);
// Takes (PM_REMOVE) or looks at the first queued message for Wnd (null:
// any) whose number lies in [MsgMin, MsgMax] (both 0: any); due timers
// are seen as WM_TIMER when nothing else matches. False when none.
bool PeekMessage(TMsg& Msg, HWND Wnd, UINT MsgMin, UINT MsgMax, UINT RemoveMsg);
// Delivers a message taken from the queue to its window's procedure.
LRESULT DispatchMessage(const TMsg& Msg);
// Number of messages waiting in the queue (timers excluded).
int QueuedMessageCount();

// Starts (or restarts) timer IDEvent of Wnd: WM_TIMER with WParam = IDEvent
// every Elapse ms (at least 10). Returns IDEvent, or 0 for a dead handle.
UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse);
bool KillTimer(HWND Wnd, UINT_PTR IDEvent);
// Milliseconds until the next timer is due (0 when one is due already), or
// -1 when no timer runs.
int NextTimerDue();

// The handles of the live windowed controls without a parent (top-level
// windows).
std::vector<HWND> TopLevelWindows();

// Used by TWinControl when its native window is created and destroyed.
HWND AllocateControlHandle(TWinControl* Control);
void ReleaseControlHandle(HWND Wnd);

// Called by PostMessage (on the posting thread) so that a waiting message
// loop wakes up; set by the application.
void SetMessageQueueWakeHook(std::function<void()> Hook);
