#include "platform/forms/Controls.h"

#include <atomic>

#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Hooks.h"
#include "platform/forms/QtBridge.h"
#include "platform/graphics/QtSupport.h"

#include <algorithm>
#include <cstring>

namespace {

TWinControl* GFocused = nullptr;
TControl* GCapture = nullptr;
TShiftState GKeyboardShift;

// Backing buffers (and the temporary buffers of children painted on their
// parent) are limited to this many pixels: more would only come from absurd
// bounds.
constexpr std::int64_t MaxBufferPixels = std::int64_t(8192) * 8192;

void ChangeFocus(TWinControl* New) {
    TWinControl* Old = GFocused;
    if (Old == New) return;
    GFocused = New;
    if (Old != nullptr) Old->Perform(WM_KILLFOCUS, 0, 0);
    if (New != nullptr && GFocused == New) New->Perform(WM_SETFOCUS, 0, 0);
}

bool InsertBefore(const TControl* C1, const TControl* C2, TAlign AAlign) {
    switch (AAlign) {
    case alTop:
        return C1->Top() < C2->Top();
    case alBottom:
        return C1->Top() + C1->Height() >= C2->Top() + C2->Height();
    case alLeft:
        return C1->Left() < C2->Left();
    case alRight:
        return C1->Left() + C1->Width() >= C2->Left() + C2->Width();
    default:
        return false;
    }
}

} // namespace

TShiftState KeysToShiftState(WPARAM Keys) {
    TShiftState S;
    if (Keys & MK_SHIFT) S.Include(ssShift);
    if (Keys & MK_CONTROL) S.Include(ssCtrl);
    if (Keys & MK_LBUTTON) S.Include(ssLeft);
    if (Keys & MK_RBUTTON) S.Include(ssRight);
    if (Keys & MK_MBUTTON) S.Include(ssMiddle);
    if (GKeyboardShift.Contains(ssAlt)) S.Include(ssAlt);
    return S;
}

TShiftState KeyboardStateToShiftState() {
    return GKeyboardShift;
}
void SetKeyboardShiftState(TShiftState State) {
    GKeyboardShift = State;
}

TWinControl* FindFocusedControl() {
    return GFocused;
}
TControl* GetCaptureControl() {
    return GCapture;
}
void SetCaptureControl(TControl* Control) {
    GCapture = Control;
}

void NotifyNativeFocus(TWinControl* Control, bool FocusIn) {
    if (FocusIn) {
        if (GFocused != Control) ChangeFocus(Control);
    } else if (GFocused == Control) {
        ChangeFocus(nullptr);
    }
}

TCustomForm* GetParentForm(const TControl* Control) {
    if (Control == nullptr) return nullptr;
    const TControl* Top = Control;
    while (Top->Parent() != nullptr)
        Top = Top->Parent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(Top));
}

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    WindowProc = [this](TMessage& M) { WndProc(M); };
    FFont.OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
    Destroying();
    WindowProcTargetDestroyed(&WindowProc);
    if (GCapture == this) GCapture = nullptr;
    if (FParent != nullptr) FParent->RemoveControl(this);
}

TComponent* TControl::GetParentComponent() const {
    return FParent;
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (static_cast<TControl*>(AParent) == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (auto* Self = dynamic_cast<TWinControl*>(this);
        Self != nullptr && AParent != nullptr && Self->ContainsControl(AParent))
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent != nullptr) FParent->RemoveControl(this);
    if (AParent != nullptr) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    const bool Sized = AWidth != FWidth || AHeight != FHeight;
    if (FParent != nullptr) FParent->Invalidate();
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    FAnchorsValid = false;
    Invalidate();
    Perform(WM_WINDOWPOSCHANGED, 0, 0);
    RequestAlign();
    if (Sized) Resize();
}

void TControl::UpdateBoundsFromNative(int ALeft, int ATop, int AWidth, int AHeight) {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = std::max(AWidth, 0);
    FHeight = std::max(AHeight, 0);
    FAnchorsValid = false;
}

void TControl::SetClientWidth(int V) {
    SetWidth(FWidth - ClientWidth() + V);
}
void TControl::SetClientHeight(int V) {
    SetHeight(FHeight - ClientHeight() + V);
}

void TControl::SetAlign(TAlign Value) {
    if (Value == FAlign) return;
    FAlign = Value;
    RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
    FAnchors = Value;
    FAnchorsValid = false;
}

void TControl::RequestAlign() {
    if (FParent != nullptr) FParent->AlignControl(this);
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, WPARAM(Value), 0);
    RequestAlign();
    if (FParent != nullptr) FParent->Invalidate();
}

void TControl::Show() {
    if (FParent != nullptr) FParent->ShowControl(this);
    SetVisible(true);
}

void TWinControl::ShowControl(TControl* AControl) {
    if (Parent() != nullptr) Parent()->ShowControl(this);
}

void TControl::Hide() {
    SetVisible(false);
}

bool TControl::Showing() const {
    return FVisible && FParent != nullptr && FParent->Showing();
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
    if (Value == FColor) {
        FParentColor = false;
        return;
    }
    FColor = Value;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value) {
    if (Value == FParentColor) return;
    FParentColor = Value;
    if (Value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || FParent == nullptr) return;
    if (FColor != FParent->FColor) {
        FColor = FParent->FColor;
        Perform(CM_COLORCHANGED, 0, 0);
    }
    FParentColor = true;
}

void TControl::FontChanged() {
    if (!FSettingParentFont) FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool Value) {
    if (Value == FParentFont) return;
    FParentFont = Value;
    if (Value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont || FParent == nullptr) return;
    FSettingParentFont = true;
    FFont.Assign(FParent->FFont);
    FSettingParentFont = false;
}

void TControl::SetShowHint(bool Value) {
    FShowHint = Value;
    FParentShowHint = false;
}

void TControl::SetParentShowHint(bool Value) {
    FParentShowHint = Value;
    if (Value && FParent != nullptr) FShowHint = FParent->FShowHint;
}

void TControl::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::WndProc(TMessage& Message) {
    Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    // Mouse messages go on to the default handling afterwards, so that a
    // native control (an edit, a combo box, a slider) sees the pointer too.
    case WM_LBUTTONDOWN:
        if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
        DoMouseDown(Message, mbLeft, {});
        break;
    case WM_LBUTTONDBLCLK:
        if (FControlStyle.Contains(csClickEvents)) DblClick();
        DoMouseDown(Message, mbLeft, {ssDouble});
        break;
    case WM_RBUTTONDOWN:
        DoMouseDown(Message, mbRight, {});
        break;
    case WM_RBUTTONDBLCLK:
        DoMouseDown(Message, mbRight, {ssDouble});
        break;
    case WM_MBUTTONDOWN:
        DoMouseDown(Message, mbMiddle, {});
        break;
    case WM_MBUTTONDBLCLK:
        DoMouseDown(Message, mbMiddle, {ssDouble});
        break;
    case WM_LBUTTONUP: {
        if (FControlState.Contains(csClicked)) {
            FControlState.Exclude(csClicked);
            // The click belongs to a release inside the control only.
            if (PtInRect(ClientRect(), PointFromLParam(Message.LParam))) Click();
        }
        DoMouseUp(Message, mbLeft);
        break;
    }
    case WM_RBUTTONUP:
        DoMouseUp(Message, mbRight);
        break;
    case WM_MBUTTONUP:
        DoMouseUp(Message, mbMiddle);
        break;
    case WM_MOUSEMOVE: {
        if (!FControlStyle.Contains(csNoStdEvents)) {
            const TPoint P = PointFromLParam(Message.LParam);
            MouseMove(KeysToShiftState(Message.WParam), P.X, P.Y);
        }
        break;
    }
    case CM_MOUSEENTER:
        MouseEnter();
        return;
    case CM_MOUSELEAVE:
        MouseLeave();
        return;
    case CM_HITTEST:
        Message.Result = HTCLIENT;
        return;
    case CM_PARENTCOLORCHANGED:
        ParentColorChanged();
        return;
    case CM_PARENTFONTCHANGED:
        ParentFontChanged();
        return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        Changed();
        Invalidate();
        return;
    default:
        break;
    }
    DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage& Message) {
    if (Message.Msg == WM_NCHITTEST) Message.Result = HTCLIENT;
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage M{Msg, WParam, LParam, 0};
    if (WindowProc)
        WindowProc(M);
    else
        Dispatch(M);
    return M.Result;
}

void TControl::DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Extra) {
    if (FControlStyle.Contains(csCaptureMouse)) SetCaptureControl(this);
    if (FControlStyle.Contains(csNoStdEvents)) return;
    const TPoint P = PointFromLParam(Message.LParam);
    TShiftState S = KeysToShiftState(Message.WParam);
    if (Extra.Contains(ssDouble)) S.Include(ssDouble);
    MouseDown(Button, S, P.X, P.Y);
}

void TControl::DoMouseUp(TMessage& Message, TMouseButton Button) {
    if (GCapture == this && (Message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0)
        SetCaptureControl(nullptr);
    if (FControlStyle.Contains(csNoStdEvents)) return;
    const TPoint P = PointFromLParam(Message.LParam);
    MouseUp(Button, KeysToShiftState(Message.WParam), P.X, P.Y);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseEnter() {
    FMouseInControl = true;
    if (OnMouseEnter) OnMouseEnter(this);
}
void TControl::MouseLeave() {
    FMouseInControl = false;
    if (OnMouseLeave) OnMouseLeave(this);
}
void TControl::Resize() {
    if (OnResize) OnResize(this);
}
void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::Invalidate() {
    if (FParent != nullptr && FVisible) FParent->Invalidate();
}
void TControl::Update() {
    if (FParent != nullptr) FParent->Update();
}
void TControl::Repaint() {
    Invalidate();
    Update();
}

TPoint TControl::ClientOrigin() const {
    if (FParent == nullptr) return {FLeft, FTop};
    const TPoint O = FParent->ClientOrigin();
    return {O.X + FLeft, O.Y + FTop};
}

TPoint TControl::ClientToScreen(const TPoint& P) const {
    const TPoint O = ClientOrigin();
    return {P.X + O.X, P.Y + O.Y};
}

TPoint TControl::ScreenToClient(const TPoint& P) const {
    const TPoint O = ClientOrigin();
    return {P.X - O.X, P.Y - O.Y};
}

TPoint TControl::ClientToParent(const TPoint& P, TWinControl* AParent) const {
    if (AParent == nullptr) AParent = FParent;
    if (AParent == nullptr) throw EInvalidOperation("Control has no parent window");
    TPoint R = P;
    const TControl* C = this;
    while (C != AParent) {
        if (C->FParent == nullptr) throw EInvalidOperation("Control has no parent window");
        R.X += C->FLeft;
        R.Y += C->FTop;
        C = C->FParent;
    }
    return R;
}

void TControl::BringToFront() {
    SetZOrder(true);
}
void TControl::SendToBack() {
    SetZOrder(false);
}

void TControl::SetZOrder(bool TopMost) {
    if (FParent != nullptr) {
        auto Move = [&](auto& List, auto* Item) {
            auto It = std::find(List.begin(), List.end(), Item);
            if (It == List.end()) return;
            List.erase(It);
            if (TopMost)
                List.push_back(Item);
            else
                List.insert(List.begin(), Item);
        };
        if (auto* W = dynamic_cast<TWinControl*>(this)) {
            Move(FParent->FWinControls, W);
            if (W->FWidget != nullptr) BridgeRaise(W->FWidget, TopMost);
        } else {
            Move(FParent->FControls, this);
        }
        FParent->Invalidate();
        FParent->RequestAlign();
    } else if (auto* W = dynamic_cast<TWinControl*>(this); W != nullptr && W->FWidget != nullptr) {
        BridgeRaise(W->FWidget, TopMost);
    }
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
    InitForms();
    FControlStyle.Include(csAcceptsControls);
}

TWinControl::~TWinControl() {
    Destroying();
    WindowProcTargetDestroyed(&WindowProc);
    // A windowed control frees the controls it holds, whoever owns them.
    while (ControlCount() > 0) {
        TControl* C = Controls(ControlCount() - 1);
        RemoveControl(C);
        C->BeforeDestruction();
        delete C;
    }
    if (GFocused == this) GFocused = nullptr;
    DestroyHandle();
    if (Parent() != nullptr) Parent()->RemoveControl(this);
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= ControlCount()) throw EListError("Control index out of bounds");
    if (std::size_t(Index) < FControls.size()) return FControls[std::size_t(Index)];
    return FWinControls[std::size_t(Index) - FControls.size()];
}

void TWinControl::InsertControl(TControl* AControl) {
    AControl->FParent = this;
    if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
        FWinControls.push_back(W);
        FTabList.push_back(W);
    } else {
        FControls.push_back(AControl);
    }
    AControl->FAnchorsValid = false;
    AControl->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    AControl->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (AControl->FParentShowHint) AControl->FShowHint = ShowHint();
    AlignControl(AControl);
    if (auto* W = dynamic_cast<TWinControl*>(AControl)) W->UpdateShowing();
    Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
    if (AControl == nullptr || AControl->FParent != this) return;
    if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
        if (GFocused != nullptr && W->ContainsControl(GFocused)) ChangeFocus(nullptr);
        if (W->FWidget != nullptr) W->DestroyHandle();
        std::erase(FWinControls, W);
        std::erase(FTabList, W);
    } else {
        std::erase(FControls, AControl);
        // dynamic_cast fails on a control in its base destructor
        std::erase_if(FWinControls, [&](TWinControl* C) { return C == AControl; });
        std::erase_if(FTabList, [&](TWinControl* C) { return C == AControl; });
    }
    if (FCaptureControl == AControl) FCaptureControl = nullptr;
    if (FMouseControl == AControl) FMouseControl = nullptr;
    AControl->FParent = nullptr;
    if (!ComponentState().Contains(csDestroying)) {
        Realign();
        Invalidate();
    }
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    for (const TControl* C = Control; C != nullptr; C = C->Parent())
        if (C == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled,
                                    bool AllowWinControls) const {
    auto Hit = [&](TControl* C) {
        return C->FVisible && (AllowDisabled || C->FEnabled) && PtInRect(C->BoundsRect(), Pos) &&
               C->Perform(CM_HITTEST, 0, PointToLParam({Pos.X - C->FLeft, Pos.Y - C->FTop})) != 0;
    };
    if (AllowWinControls)
        for (auto It = FWinControls.rbegin(); It != FWinControls.rend(); ++It)
            if (Hit(*It)) return *It;
    for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
        if (Hit(*It)) return *It;
    return nullptr;
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle != nullptr) return;
    if (ComponentState().Contains(csDestroying))
        throw EInvalidOperation("Cannot create a window for a control being destroyed");
    QWidget* ParentWidget = nullptr;
    if (Parent() != nullptr) {
        Parent()->HandleNeeded();
        ParentWidget = Parent()->FWidget;
    }
    EnsureGuiApplication();
    TCreateParams P = GetCreateParams();
    FWidget = CreateNativeWidget(P, ParentWidget);
    FHandle = AllocateControlHandle(this);
    BridgeAttach(FWidget, this, P);
    FInvalid = true;
    NativeWidgetCreated();
    Perform(WM_CREATE, 0, 0);
    if (Parent() == nullptr) UpdateMinMaxInfo();
}

void TWinControl::UpdateMinMaxInfo() {
    if (FWidget == nullptr) return;
    TMinMaxInfo Info;
    const TRect Screen = BridgeScreenRect(false);
    Info.ptMaxSize = {Screen.Width(), Screen.Height()};
    Info.ptMaxPosition = {0, 0};
    Info.ptMinTrackSize = {0, 0};
    Info.ptMaxTrackSize = {BridgeMaxWindowSize, BridgeMaxWindowSize};
    Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Info));
    BridgeSetSizeLimits(FWidget, Info.ptMinTrackSize.X, Info.ptMinTrackSize.Y,
                        Info.ptMaxTrackSize.X, Info.ptMaxTrackSize.Y);
}

void TWinControl::DestroyHandle() {
    if (FHandle == nullptr) return;
    for (TWinControl* C : FWinControls)
        C->DestroyHandle();
    FControlState.Include(csDestroyingHandle);
    Perform(WM_DESTROY, 0, 0);
    NativeWidgetDestroying();
    QWidget* W = FWidget;
    FWidget = nullptr;
    BridgeDeleteWidget(W);
    ReleaseControlHandle(FHandle);
    FHandle = nullptr;
    FControlState.Exclude(csDestroyingHandle);
}

TCreateParams TWinControl::GetCreateParams() {
    TCreateParams P;
    CreateParams(P);
    return P;
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params.Caption = Text();
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (Parent() != nullptr) Params.Style |= WS_CHILD;
    if (!Enabled()) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    Params.WndParent = Parent();
}

QWidget* TWinControl::CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) {
    return BridgeCreatePlainWindow(this, Params, ParentWidget);
}

bool TWinControl::Showing() const {
    if (!Visible()) return false;
    if (Parent() == nullptr) return FTopLevel;
    return Parent()->Showing();
}

void TWinControl::UpdateShowing() {
    if (ComponentState().Contains(csDestroying)) return;
    const bool Show = Showing();
    if (Show) HandleNeeded();
    if (FWidget != nullptr) BridgeSetVisible(FWidget, Show);
    // Told once the window is up (or down), so that what a control does on
    // showing (a shaped window setting its shape) finds its window.
    if (Show != FShowing) {
        FShowing = Show;
        Perform(CM_SHOWINGCHANGED, 0, 0);
    }
    for (TWinControl* C : std::vector<TWinControl*>(FWinControls))
        C->UpdateShowing();
}

int TWinControl::TabOrder() const {
    if (Parent() == nullptr) return -1;
    const auto& L = Parent()->FTabList;
    auto It = std::find(L.begin(), L.end(), this);
    return It == L.end() ? -1 : int(It - L.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (Parent() == nullptr) return;
    auto& L = Parent()->FTabList;
    auto It = std::find(L.begin(), L.end(), this);
    if (It == L.end()) return;
    L.erase(It);
    Value = std::clamp(Value, 0, int(L.size()));
    L.insert(L.begin() + Value, this);
}

bool TWinControl::Focused() const {
    return GFocused == this;
}

bool TWinControl::CanFocus() const {
    TCustomForm* Form = GetParentForm(this);
    if (Form == nullptr) return false;
    for (const TControl* C = this; C != Form; C = C->Parent())
        if (!C->Visible() || !C->Enabled()) return false;
    return Form->Enabled();
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (TCustomForm* Form = GetParentForm(this); Form != nullptr && Form != this)
        Form->SetFocusedControl(this);
    ChangeFocus(this);
    if (FWidget != nullptr) BridgeSetFocus(FWidget);
}

void TWinControl::RemoveFocus() {
    TCustomForm* Form = GetParentForm(this);
    if (Form == nullptr || Form == this) return;
    const bool Holds = GFocused != nullptr && ContainsControl(GFocused);
    if (!Holds && !ContainsControl(Form->ActiveControl())) return;
    // The form keeps the keyboard: a hidden control that kept it would
    // take keys the user cannot see going anywhere (Space clicking a
    // button of a page that is gone).
    Form->SetFocusedControl(nullptr);
    if (Holds) ChangeFocus(Form);
    if (Form->NativeWidget() != nullptr) BridgeSetFocus(Form->NativeWidget());
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* C : FTabList) {
        List.push_back(C);
        C->GetTabOrderList(List);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward,
                                          bool CheckTabStop, bool CheckParent) const {
    std::vector<TWinControl*> List;
    GetTabOrderList(List);
    if (List.empty()) return nullptr;
    const int N = int(List.size());
    int Start = int(std::find(List.begin(), List.end(), CurControl) - List.begin());
    if (Start == N) Start = GoForward ? N - 1 : 0;
    int I = Start;
    for (int Step = 0; Step < N; ++Step) {
        I = GoForward ? (I + 1) % N : (I + N - 1) % N;
        TWinControl* C = List[std::size_t(I)];
        if ((!CheckTabStop || C->FTabStop) && (!CheckParent || C->Parent() == this) &&
            C->CanFocus())
            return C;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* C = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop))
        C->SetFocus();
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0 && --FAlignLevel == 0 && FControlState.Contains(csAlignmentNeeded))
        Realign();
}

void TWinControl::Realign() {
    AlignControl(nullptr);
}

void TWinControl::AlignControl(TControl* AControl) {
    if (FAlignLevel != 0 || ComponentState().Contains(csLoading)) {
        FControlState.Include(csAlignmentNeeded);
        return;
    }
    DisableAlign();
    FControlState.Exclude(csAlignmentNeeded);
    TRect R = ClientRect();
    AlignControls(AControl, R);
    FControlState.Exclude(csAlignmentNeeded);
    --FAlignLevel;
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
    AdjustClientRect(Rect);
    const int CW = ClientWidth();
    const int CH = ClientHeight();
    // Anchored controls keep their distances to the right and bottom edges.
    for (int I = 0; I < ControlCount(); ++I) {
        TControl* C = Controls(I);
        if (C->FAlign != alNone) continue;
        if (!C->FAnchorsValid || C == AControl) {
            C->FAnchorRight = CW - (C->FLeft + C->FWidth);
            C->FAnchorBottom = CH - (C->FTop + C->FHeight);
            C->FAnchorsValid = true;
            continue;
        }
        int L = C->FLeft, T = C->FTop, W = C->FWidth, H = C->FHeight;
        if (C->FAnchors.Contains(akRight)) {
            if (C->FAnchors.Contains(akLeft))
                W = CW - C->FAnchorRight - L;
            else
                L = CW - C->FAnchorRight - W;
        }
        if (C->FAnchors.Contains(akBottom)) {
            if (C->FAnchors.Contains(akTop))
                H = CH - C->FAnchorBottom - T;
            else
                T = CH - C->FAnchorBottom - H;
        }
        if (L != C->FLeft || T != C->FTop || W != C->FWidth || H != C->FHeight) {
            C->SetBounds(L, T, W, H);
            C->FAnchorsValid = true;
        }
    }
    DoAlign(AControl, alTop, Rect);
    DoAlign(AControl, alBottom, Rect);
    DoAlign(AControl, alLeft, Rect);
    DoAlign(AControl, alRight, Rect);
    DoAlign(AControl, alClient, Rect);
}

void TWinControl::DoAlign(TControl* AControl, TAlign AAlign, TRect& Rect) {
    std::vector<TControl*> List;
    if (AControl != nullptr && AControl->FParent == this && AControl->FAlign == AAlign &&
        AControl->FVisible)
        List.push_back(AControl);
    for (int I = 0; I < ControlCount(); ++I) {
        TControl* C = Controls(I);
        if (C->FAlign != AAlign || !C->FVisible || C == AControl) continue;
        std::size_t J = 0;
        while (J < List.size() && !InsertBefore(C, List[J], AAlign))
            ++J;
        List.insert(List.begin() + std::ptrdiff_t(J), C);
    }
    for (TControl* C : List) {
        int L = Rect.Left, T = Rect.Top, W = Rect.Width(), H = Rect.Height();
        switch (AAlign) {
        case alTop:
            H = C->FHeight;
            Rect.Top += H;
            break;
        case alBottom:
            H = C->FHeight;
            Rect.Bottom -= H;
            T = Rect.Bottom;
            break;
        case alLeft:
            W = C->FWidth;
            Rect.Left += W;
            break;
        case alRight:
            W = C->FWidth;
            Rect.Right -= W;
            L = Rect.Right;
            break;
        default:
            break;
        }
        C->SetBounds(L, T, std::max(W, 0), std::max(H, 0));
    }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height()) return;
    const bool Moved = ALeft != Left() || ATop != Top();
    const bool Sized = AWidth != Width() || AHeight != Height();
    if (Parent() != nullptr) Parent()->Invalidate();
    UpdateBoundsFromNative(ALeft, ATop, AWidth, AHeight);
    if (FWidget != nullptr) BridgeSetGeometry(FWidget, this);
    Perform(WM_WINDOWPOSCHANGED, 0, 0);
    if (Moved) Perform(WM_MOVE, 0, MakeLParam(ALeft, ATop));
    if (Sized) Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
    RequestAlign();
}

void TWinControl::NativeBoundsChanged(int ALeft, int ATop, int AWidth, int AHeight) {
    const bool Moved = ALeft != Left() || ATop != Top();
    const bool Sized = AWidth != Width() || AHeight != Height();
    if (!Moved && !Sized) return;
    UpdateBoundsFromNative(ALeft, ATop, AWidth, AHeight);
    Perform(WM_WINDOWPOSCHANGED, 0, 0);
    if (Moved) Perform(WM_MOVE, 0, MakeLParam(ALeft, ATop));
    if (Sized) Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
    RequestAlign();
}

void TWinControl::SetEnabled(bool Value) {
    if (Value == Enabled()) return;
    TControl::SetEnabled(Value);
    if (FWidget != nullptr) BridgeSetEnabled(FWidget, Value);
    if (!Value && GFocused != nullptr && ContainsControl(GFocused)) ChangeFocus(nullptr);
}

void TWinControl::Invalidate() {
    FInvalid = true;
    if (FWidget != nullptr) BridgeUpdate(FWidget);
}

void TWinControl::Update() {
    PaintPending();
    if (FWidget != nullptr) BridgeRepaintNow(FWidget);
}

TCanvas* TWinControl::ControlCanvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>(FSurface);
        FCanvas->OnChange = [this](TObject*) {
            if (!FPainting && FWidget != nullptr) BridgeUpdate(FWidget);
        };
    }
    EnsureBuffer();
    return FCanvas.get();
}

void TWinControl::EnsureBuffer() {
    const int W = std::max(ClientWidth(), 0);
    const int H = std::max(ClientHeight(), 0);
    if (W != FSurface.Width || H != FSurface.Height || (W > 0 && H > 0 && FBuffer.empty())) {
        if (std::int64_t(W) * H > MaxBufferPixels)
            throw EOutOfResources("Control too large to paint");
        FBuffer.assign(std::size_t(W) * std::size_t(H), 0);
        FSurface = TPixelSurface{};
        if (W > 0 && H > 0) {
            FSurface.Bits = reinterpret_cast<Byte*>(FBuffer.data());
            FSurface.Width = W;
            FSurface.Height = H;
            FSurface.Stride = W * 4;
        }
        if (FCanvas) FCanvas->SetSurface(FSurface);
    }
}

void TWinControl::PaintPending() {
    if (!FInvalid || FPainting) return;
    EnsureBuffer();
    FPainting = true;
    FInvalid = false;
    try {
        Perform(WM_ERASEBKGND, 0, 0);
        Perform(WM_PAINT, 0, 0);
    } catch (...) {
        FPainting = false;
        throw;
    }
    FPainting = false;
}

void TWinControl::EraseBackground() {
    if (FControlStyle.Contains(csOpaque) || !FSurface.Valid()) return;
    TCanvas* C = ControlCanvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(FSurface.BoundsRect());
}

void TWinControl::PaintControls() {
    if (!FSurface.Valid()) return;
    for (TControl* C : std::vector<TControl*>(FControls)) {
        auto* G = dynamic_cast<TGraphicControl*>(C);
        if (G == nullptr || !C->Visible() || C->Width() <= 0 || C->Height() <= 0) continue;
        TRect Clip;
        if (!IntersectRect(Clip, C->BoundsRect(), FSurface.BoundsRect())) continue;
        if (std::int64_t(C->Width()) * C->Height() > MaxBufferPixels) continue;
        // The control paints on a copy of the pixels under it, so that what
        // it leaves alone shows the parent, and its own origin is (0, 0).
        std::vector<std::uint32_t> Pixels(std::size_t(C->Width()) * std::size_t(C->Height()));
        TPixelSurface S{reinterpret_cast<Byte*>(Pixels.data()), C->Width(), C->Height(),
                        C->Width() * 4};
        for (int Y = Clip.Top; Y < Clip.Bottom; ++Y)
            std::memcpy(S.Row(Y - C->Top()) + (Clip.Left - C->Left()), FSurface.Row(Y) + Clip.Left,
                        std::size_t(Clip.Width()) * 4);
        G->Canvas()->SetSurface(S);
        G->Canvas()->SetFont(*G->Font());
        G->Canvas()->Brush()->SetColor(G->Color());
        try {
            G->Perform(WM_PAINT, 0, 0);
        } catch (...) {
            G->Canvas()->SetSurface(TPixelSurface{});
            throw;
        }
        G->Canvas()->SetSurface(TPixelSurface{});
        for (int Y = Clip.Top; Y < Clip.Bottom; ++Y)
            std::memcpy(FSurface.Row(Y) + Clip.Left, S.Row(Y - C->Top()) + (Clip.Left - C->Left()),
                        std::size_t(Clip.Width()) * 4);
    }
}

void TWinControl::MouseRouting(TMessage& Message, bool& Routed) {
    Routed = false;
    const TPoint P = PointFromLParam(Message.LParam);
    TControl* Target = nullptr;
    if (FCaptureControl != nullptr && GCapture == FCaptureControl) {
        Target = FCaptureControl;
    } else {
        FCaptureControl = nullptr;
        Target = ControlAtPos(P, false, false);
    }
    if (Message.Msg == WM_MOUSEMOVE && Target != FMouseControl && FCaptureControl == nullptr) {
        TControl* Old = FMouseControl;
        FMouseControl = Target;
        if (Old != nullptr) Old->Perform(CM_MOUSELEAVE, 0, 0);
        if (Target != nullptr) Target->Perform(CM_MOUSEENTER, 0, 0);
        if (FWidget != nullptr) BridgeSetCursor(FWidget, Target ? Target->Cursor() : Cursor());
    }
    if (Target == nullptr || Message.Msg == WM_MOUSEWHEEL) return;
    TMessage M = Message;
    M.LParam = PointToLParam({P.X - Target->Left(), P.Y - Target->Top()});
    const bool Down = Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN ||
                      Message.Msg == WM_MBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK;
    Target->WindowProc(M);
    if (Down && GCapture == Target) FCaptureControl = Target;
    if (GCapture != Target) FCaptureControl = nullptr;
    Message.Result = M.Result;
    Routed = true;
}

namespace {

void DefaultPrintClient(TWinControl* Control, TMessage& Message) {
    Control->DefaultHandler(Message);
}

std::atomic<TWinControlMessageHandler> GPrintClientHandler{DefaultPrintClient};
} // namespace

TWinControlMessageHandler PrintClientHandler() {
    return GPrintClientHandler.load();
}

void SetPrintClientHandler(TWinControlMessageHandler Handler) {
    GPrintClientHandler.store(Handler ? Handler : DefaultPrintClient);
}

void TWinControl::Dispatch(TMessage& Message) {
    const UINT Msg = Message.Msg;
    if (Msg >= WM_MOUSEFIRST && Msg <= WM_MOUSELAST) {
        bool Routed = false;
        MouseRouting(Message, Routed);
        if (Routed) return;
    }
    switch (Msg) {
    case WM_PAINT:
        if (FCanvas) {
            FCanvas->SetFont(*Font());
            FCanvas->Brush()->SetStyle(bsSolid);
            FCanvas->Brush()->SetColor(Color());
        }
        PaintWindow();
        PaintControls();
        return;
    case WM_PRINTCLIENT:
        PrintClientHandler()(this, Message);
        return;
    case WM_ERASEBKGND:
        EraseBackground();
        Message.Result = 1;
        return;
    case WM_SIZE:
        Realign();
        Invalidate();
        Resize();
        return;
    case WM_SETFOCUS: {
        if (TCustomForm* Form = GetParentForm(this); Form != nullptr && Form != this)
            Form->SetFocusedControl(this);
        DoEnter();
        DefaultHandler(Message);
        return;
    }
    case WM_KILLFOCUS:
        DoExit();
        DefaultHandler(Message);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        if (DoKeyDown(Message)) return;
        // Dialog keys (Tab, Return, Escape) go to the form before the
        // control's default, unless the control keeps them for itself.
        TCustomForm* Form = GetParentForm(this);
        const WPARAM K = Message.WParam;
        if (Msg == WM_KEYDOWN && (K == VK_TAB || K == VK_RETURN || K == VK_ESCAPE) &&
            !WantsDialogKey(Word(K)) && Form != nullptr && Form->Perform(CM_DIALOGKEY, K, 0) != 0)
            return;
        // Alt with a letter or digit: the control whose caption marks it
        // as its hot key, anywhere on the form, takes it.
        if (Msg == WM_SYSKEYDOWN && ((K >= 'A' && K <= 'Z') || (K >= '0' && K <= '9')) &&
            Form != nullptr && Form->Perform(CM_DIALOGCHAR, K, 0) != 0)
            return;
        DefaultHandler(Message);
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (!DoKeyUp(Message)) DefaultHandler(Message);
        return;
    case WM_CHAR:
        if (!DoKeyPress(Message)) DefaultHandler(Message);
        return;
    case CM_MOUSELEAVE:
        if (FMouseControl != nullptr) {
            TControl* Old = FMouseControl;
            FMouseControl = nullptr;
            Old->Perform(CM_MOUSELEAVE, 0, 0);
        }
        break;
    case CM_VISIBLECHANGED:
        UpdateShowing();
        if (!Visible()) RemoveFocus();
        break;
    case CM_CURSORCHANGED:
        if (FWidget != nullptr) BridgeSetCursor(FWidget, Cursor());
        return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED: {
        const UINT Notify = Msg == CM_COLORCHANGED ? CM_PARENTCOLORCHANGED : CM_PARENTFONTCHANGED;
        for (int I = 0; I < ControlCount(); ++I)
            Controls(I)->Perform(Notify, 0, 0);
        break;
    }
    case CM_PARENTCOLORCHANGED:
    case CM_PARENTFONTCHANGED:
        // The change of this control's own colour or font passes it on.
        break;
    default:
        break;
    }
    TControl::Dispatch(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
    TControl::DefaultHandler(Message);
    BridgeDefaultHandler(this, Message);
}

bool TWinControl::DoKeyDown(TMessage& Message) {
    TCustomForm* Form = GetParentForm(this);
    if (Form != nullptr && Form != this && Form->KeyPreview() &&
        static_cast<TWinControl*>(Form)->DoKeyDown(Message))
        return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word Key = Word(Message.WParam);
    KeyDown(Key, KeyboardStateToShiftState());
    if (Key == 0) return true;
    Message.WParam = Key;
    return false;
}

bool TWinControl::DoKeyUp(TMessage& Message) {
    TCustomForm* Form = GetParentForm(this);
    if (Form != nullptr && Form != this && Form->KeyPreview() &&
        static_cast<TWinControl*>(Form)->DoKeyUp(Message))
        return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word Key = Word(Message.WParam);
    KeyUp(Key, KeyboardStateToShiftState());
    if (Key == 0) return true;
    Message.WParam = Key;
    return false;
}

bool TWinControl::DoKeyPress(TMessage& Message) {
    TCustomForm* Form = GetParentForm(this);
    if (Form != nullptr && Form != this && Form->KeyPreview() &&
        static_cast<TWinControl*>(Form)->DoKeyPress(Message))
        return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    char32_t Key = char32_t(Message.WParam);
    KeyPress(Key);
    if (Key == 0) return true;
    Message.WParam = WPARAM(Key);
    return false;
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(char32_t& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}
void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
TGraphicControl::~TGraphicControl() {
    Destroying();
    WindowProcTargetDestroyed(&WindowProc);
}

void TGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_PAINT) {
        Paint();
        return;
    }
    TControl::Dispatch(Message);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}
