#pragma once
// Controls: the visual components of windows.
//
// TControl is any visual component with bounds inside its Parent;
// TGraphicControl has no window of its own and is painted by its parent;
// TWinControl has a native window (a Qt widget, made only when the control
// must be shown, or when someone asks for its Handle) and can hold other
// controls; TCustomControl is a windowed control that paints itself on a
// Canvas over a 32-bit backing buffer.
//
// Every message reaches a control through its replaceable WindowProc (by
// default WndProc, which calls Dispatch, whose unknown messages end in
// DefaultHandler). Events of the native window arrive as translated
// messages (WM_PAINT, WM_SIZE, mouse and key messages, ...), so a replaced
// WindowProc or a hook (Hooks.h) sees exactly what the control sees.
// Setting a property from code fires the same events and messages as the
// class library does (SetBounds sends WM_SIZE, so OnResize fires; Visible
// and Enabled send their CM_ notifications).
//
// Adding a standard control (edit, combo box, button, ...):
//  1. Derive from TWinControl (or TCustomControl when it draws itself) and
//     give it QM_CLASSNAME and the class library's properties and events.
//  2. Override CreateNativeWidget (in the .cpp, which may include Qt and
//     platform/forms/QtBridge.h) to build the Qt widget under the given
//     parent widget; call the base version for a plain painted window.
//     The bridge then installs its event filter: mouse, key, focus and size
//     events become messages, and an event whose message reaches
//     DefaultHandler is also handed to the native widget. Such a widget
//     paints itself: WM_PAINT and the backing buffer are for plain windows.
//  3. Keep the control's own state in the control (text, checked, item
//     index...) and push it to the widget in a virtual override of
//     NativeWidgetCreated; connect the widget's signals there and turn
//     them into the control's events (OnChange, OnClick...). A control
//     never relies on its widget existing: tests run without showing it.
//     Controls drawn entirely by this program need no widget: derive from
//     TCustomControl or TGraphicControl and override Paint (ExtCtrls.h).
//  4. Fire events from property setters as the class library does: setting
//     a check box's Checked fires OnClick (through Click()), setting a combo
//     box's ItemIndex does not.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/classes/Component.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Font.h"
#include "platform/forms/Messages.h"

class QWidget; // only platform/forms .cpp files see its definition

// A small set over an enumeration (at most 32 members).
template <class E> class TFlagSet {
public:
    constexpr TFlagSet() = default;
    constexpr TFlagSet(std::initializer_list<E> Flags) {
        for (E F : Flags)
            FBits |= Bit(F);
    }
    constexpr bool Contains(E F) const { return (FBits & Bit(F)) != 0; }
    constexpr void Include(E F) { FBits |= Bit(F); }
    constexpr void Exclude(E F) { FBits &= ~Bit(F); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint32_t Bits() const { return FBits; }
    friend constexpr bool operator==(TFlagSet, TFlagSet) = default;

private:
    static constexpr std::uint32_t Bit(E F) { return 1u << unsigned(F); }
    std::uint32_t FBits = 0;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TFlagSet<TAnchorKind>;
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TFlagSet<TShiftStateFlag>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TControlStyleFlag {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents
};
using TControlStyle = TFlagSet<TControlStyleFlag>;

enum TControlStateFlag {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking
};
using TControlState = TFlagSet<TControlStateFlag>;

// Cursor indices of the screen's cursor table.
using TCursor = std::int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// Window style bits of TCreateParams (the system's values).
constexpr std::uint32_t WS_OVERLAPPED = 0x00000000;
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_DLGFRAME = 0x00400000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t WS_EX_LAYERED = 0x00080000;
constexpr std::uint32_t WS_EX_NOACTIVATE = 0x08000000;

class TWinControl;
class TCustomForm;

// What a windowed control asks of its native window.
struct TCreateParams {
    std::string Caption;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    TWinControl* WndParent = nullptr; // the parent control (null: top level)
    std::uint32_t ClassStyle = 0;     // CS_DROPSHADOW, CS_DROPDOWN
};

// A top-level window of this class style casts a shadow on what lies
// below its right and bottom edges, following its shape.
constexpr std::uint32_t CS_DROPSHADOW = 0x00020000;
// A top-level window of this class style drops down from a control: while
// it shows, every key and every mouse press of the program reach it (a
// press outside it with its own, outside, coordinates), the window it drops
// from stays active and keeps its focused control, and it has no frame.
constexpr std::uint32_t CS_DROPDOWN = 0x40000000;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
// Key is a Unicode code point; setting it to 0 swallows the character.
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;

// The shift state of a mouse message's key flags.
TShiftState KeysToShiftState(WPARAM Keys);
// The shift state of the keyboard now (as last reported by input events).
TShiftState KeyboardStateToShiftState();

class TControl : public TComponent {
public:
    QM_CLASSNAME(TControl)
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    // Moves the control into AParent's list (null: out of any). Raises
    // EInvalidOperation when AParent is the control itself or one of its
    // children.
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int V) { SetBounds(V, FTop, FWidth, FHeight); }
    void SetTop(int V) { SetBounds(FLeft, V, FWidth, FHeight); }
    void SetWidth(int V) { SetBounds(FLeft, FTop, V, FHeight); }
    void SetHeight(int V) { SetBounds(FLeft, FTop, FWidth, V); }
    // Negative sizes become 0.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    virtual TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int V);
    void SetClientHeight(int V);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value);

    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show();
    void Hide();
    // Visible here and in every parent; a control without parent is shown
    // when it is visible and a top-level window (a form, a pop-up).
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& Value) { SetText(Value); }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TFont* Font() { return &FFont; }
    void SetFont(const TFont& Value) { FFont.Assign(Value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);

    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The pop-up menu shown on a right click (a menu component; the menus
    // area gives it its type).
    TComponent* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TComponent* Value) { FPopupMenu = Value; }

    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState Value) { FControlState = Value; }

    // The replaceable window procedure; WndProc is its default.
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // The message handlers of the class; unknown messages end in
    // DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);
    // Sends a message through WindowProc and returns its result.
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);

    // Marks the control for repainting; Update paints what is marked now;
    // Repaint does both.
    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }

    TPoint ClientOrigin() const;
    TPoint ClientToScreen(const TPoint& P) const;
    TPoint ScreenToClient(const TPoint& P) const;
    // From this control's client coordinates to Parent's.
    TPoint ClientToParent(const TPoint& P, TWinControl* AParent = nullptr) const;

    void BringToFront();
    void SendToBack();

    virtual void Click();
    virtual void DblClick();

    // Whether the mouse is over the control (set by CM_MOUSEENTER/LEAVE).
    bool MouseInControl() const { return FMouseInControl; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;

    bool HasParent() const override { return FParent != nullptr; }
    TComponent* GetParentComponent() const override;

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void Resize();
    // Called when Enabled, Visible, Text, Color or Font changed.
    virtual void Changed() {}
    // Asks the parent to lay its aligned children out again.
    void RequestAlign();
    void SetZOrder(bool TopMost);
    // Stores bounds that came from the native window (no geometry push).
    void UpdateBoundsFromNative(int ALeft, int ATop, int AWidth, int AHeight);

    TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState FControlState;

private:
    friend class TWinControl;
    void DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Extra);
    void DoMouseUp(TMessage& Message, TMouseButton Button);
    void FontChanged();
    void ParentColorChanged();
    void ParentFontChanged();

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    // Distances kept for anchoring: right and bottom gaps to the parent's
    // client edges when the anchors were last fixed.
    int FAnchorRight = 0;
    int FAnchorBottom = 0;
    bool FAnchorsValid = false;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FText;
    TColor FColor = clWindow;
    bool FParentColor = true;
    TFont FFont;
    bool FParentFont = true;
    bool FSettingParentFont = false;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = crDefault;
    TComponent* FPopupMenu = nullptr;
    bool FMouseInControl = false;
};

// A windowed control frees the controls it holds (whoever owns them) when
// it is destroyed, so children are always made with new.
// The handler every windowed control's Dispatch runs for WM_PRINTCLIENT
// (paint the client area on the canvas passed in WParam); by default the
// control's DefaultHandler. It is replaceable process-wide, so that a
// start-up step can wrap it for all windowed controls at once.
using TWinControlMessageHandler = void (*)(TWinControl* Control, TMessage& Message);
TWinControlMessageHandler PrintClientHandler();
void SetPrintClientHandler(TWinControlMessageHandler Handler);

class TWinControl : public TControl {
public:
    QM_CLASSNAME(TWinControl)
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // Children in the class library's order: controls without a window
    // first, then windowed ones; each group bottom to top.
    int ControlCount() const { return int(FControls.size() + FWinControls.size()); }
    TControl* Controls(int Index) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    // The visible, enabled child control under a client point (windowed
    // children only when AllowWinControls), the topmost one; or null.
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled = false,
                           bool AllowWinControls = false) const;
    bool ContainsControl(const TControl* Control) const;

    // The native window's handle, creating the window when needed.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    // Destroys the native window (and those of the children); a later
    // Handle call makes a new one with a new handle.
    void DestroyHandle();
    // The control's native widget, or null while no window exists.
    QWidget* NativeWidget() const { return FWidget; }
    TCreateParams GetCreateParams();
    // Asks the control for its size limits (WM_GETMINMAXINFO) and applies
    // them to its top-level window; call after the limits changed.
    void UpdateMinMaxInfo();

    int TabOrder() const;
    void SetTabOrder(int Value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value) { FTabStop = Value; }
    bool Focused() const;
    virtual bool CanFocus() const;
    // Raises EInvalidOperation "Cannot focus a disabled or invisible window"
    // when the control cannot take the focus.
    virtual void SetFocus();
    // The next (or previous) tab stop after CurControl among this control's
    // descendants, wrapping around; null when none.
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                 bool CheckParent) const;
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    void GetTabOrderList(std::vector<TWinControl*>& List) const;

    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }

    // Called by a child's Show: containers that show one child at a time
    // (pages) bring AControl forward; the base only passes it up.
    virtual void ShowControl(TControl* AControl);

    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();
    void Realign();
    bool Showing() const override;

    void Invalidate() override;
    void Update() override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetEnabled(bool Value) override;

    // Paints now when the control is marked invalid: WM_ERASEBKGND, then
    // WM_PAINT, then the children without a window, into the backing
    // buffer. The native window's paint event calls it before it shows the
    // buffer.
    void PaintPending();
    // The backing buffer (empty before the first paint).
    const TPixelSurface& BufferSurface() const { return FSurface; }
    // Internal: the native window moved or was resized by the window
    // system; sends WM_MOVE / WM_SIZE as needed.
    void NativeBoundsChanged(int ALeft, int ATop, int AWidth, int AHeight);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    // The style bits of the native window; overrides add their own.
    virtual void CreateParams(TCreateParams& Params);
    // Builds the native widget under ParentWidget (null for a top level);
    // the base makes a plain window that shows the backing buffer.
    virtual QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget);
    // Called once the widget exists and has its handle, geometry and flags.
    virtual void NativeWidgetCreated() {}
    // Called just before the widget is deleted.
    virtual void NativeWidgetDestroying() {}
    // Shows or hides the native window to match Showing(), creating it when
    // it must be shown; then the same for the children.
    virtual void UpdateShowing();
    // A control going out of sight hands the focus it (or a child) holds
    // to its form.
    void RemoveFocus();
    // The client area left to aligned children; panels with borders shrink
    // it.
    virtual void AdjustClientRect(TRect& Rect) const {}
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    // Erases with Color (skipped for csOpaque controls).
    virtual void EraseBackground();
    // Paints this control's own face into the buffer; TCustomControl calls
    // Paint.
    virtual void PaintWindow() {}
    // Canvas on the backing buffer, made on first use.
    TCanvas* ControlCanvas();

    // A control without parent shows its own top-level window only when
    // this is set (forms set it; pop-up windows such as hints do too).
    bool FTopLevel = false;

    // True for a dialog key (Tab, Return, Escape) the control handles
    // itself instead of the form (its default and cancel buttons, focus
    // moves).
    virtual bool WantsDialogKey(Word) const { return false; }
    virtual bool DoKeyDown(TMessage& Message);
    virtual bool DoKeyUp(TMessage& Message);
    virtual bool DoKeyPress(TMessage& Message);
    virtual void KeyDown(Word& Key, TShiftState Shift);
    virtual void KeyUp(Word& Key, TShiftState Shift);
    virtual void KeyPress(char32_t& Key);
    virtual void DoEnter();
    virtual void DoExit();

    bool FTabStop = false;

private:
    friend class TControl;
    friend class TWinControlAccess;
    void AlignControl(TControl* AControl);
    void DoAlign(TControl* AControl, TAlign AAlign, TRect& Rect);
    void PaintControls();
    void EnsureBuffer();
    void MouseRouting(TMessage& Message, bool& Routed);

    std::vector<TControl*> FControls; // without a window
    std::vector<TWinControl*> FWinControls;
    std::vector<TWinControl*> FTabList;
    HWND FHandle = nullptr;
    QWidget* FWidget = nullptr;
    int FAlignLevel = 0;
    bool FDoubleBuffered = false;
    bool FInvalid = true;
    bool FPainting = false;
    bool FShowing = false; // as last told by CM_SHOWINGCHANGED
    std::vector<std::uint32_t> FBuffer;
    TPixelSurface FSurface;
    std::unique_ptr<TCanvas> FCanvas;
    TControl* FCaptureControl = nullptr; // child without a window holding the mouse
    TControl* FMouseControl = nullptr;   // child without a window under the mouse
};

// A control without a window: painted on its parent's buffer by Paint.
class TGraphicControl : public TControl {
public:
    QM_CLASSNAME(TGraphicControl)
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    // Draws on the parent's pixels while the control paints; outside a
    // paint it draws nothing.
    TCanvas* Canvas() { return &FCanvas; }
    void Dispatch(TMessage& Message) override;

protected:
    virtual void Paint() {}

private:
    TCanvas FCanvas;
};

class TCustomControl : public TWinControl {
public:
    QM_CLASSNAME(TCustomControl)
    explicit TCustomControl(TComponent* AOwner);
    // Draws on the backing buffer; drawing outside Paint shows on the next
    // refresh of the native window.
    TCanvas* Canvas() { return ControlCanvas(); }

protected:
    virtual void Paint() {}
    void PaintWindow() override { Paint(); }
};

// The form that holds Control, or null.
TCustomForm* GetParentForm(const TControl* Control);
// The control that holds the keyboard focus, or null.
TWinControl* FindFocusedControl();
// The control holding the mouse capture (set on a button press for
// csCaptureMouse controls), or null.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);

// Gives a control's window the shape of a mask (Width x Height bytes, rows
// top-down, non-zero inside); an empty mask restores the full rectangle.
// False when the mask's size does not match or the control has no window.
bool SetWindowMask(TWinControl* Control, int Width, int Height,
                   const std::vector<std::uint8_t>& Inside);

// Checks of the native side for tests: the pixels the native window shows
// now (drawn offscreen; false without a window), and input events handed
// to the native window as the window system would hand them (Msg is a
// mouse message; Text is what a key press types).
bool GrabNativeWindow(TWinControl* Control, std::vector<std::uint32_t>& Pixels, int& Width,
                      int& Height);
void SendNativeMouse(TWinControl* Control, UINT Msg, const TPoint& P, WPARAM Keys);
void SendNativeKey(TWinControl* Control, bool Down, Word VK, const std::string& Text);
// The same handed to the top-level window of Control (P in its client
// coordinates), which passes them on as the user's would go: to the control
// under the pointer or with the focus, or to an open drop-down.
void SendWindowMouse(TWinControl* Control, UINT Msg, const TPoint& P, WPARAM Keys);
void SendWindowKey(TWinControl* Control, bool Down, Word VK, const std::string& Text,
                   TShiftState Shift = {});
void SendNativeClose(TWinControl* Control);

// Used by the native bridge: the modifier keys of the last input event, and
// focus changes that come from the window system.
void SetKeyboardShiftState(TShiftState State);
void NotifyNativeFocus(TWinControl* Control, bool FocusIn);
