#include "platform/forms/Forms.h"

#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/QtBridge.h"
#include "platform/forms/Screen.h"

#include <algorithm>

namespace {

void BroadcastDialogKey(TWinControl* Parent, TMessage& Message) {
    for (int I = 0; I < Parent->ControlCount() && Message.Result == 0; ++I) {
        auto* W = dynamic_cast<TWinControl*>(Parent->Controls(I));
        if (W == nullptr || !W->Visible() || !W->Enabled()) continue;
        W->WindowProc(Message);
        if (Message.Result == 0) BroadcastDialogKey(W, Message);
    }
}

// A hot key to every visible, enabled control until one takes it.
void BroadcastDialogChar(TWinControl* Parent, TMessage& Message) {
    for (int I = 0; I < Parent->ControlCount() && Message.Result == 0; ++I) {
        TControl* C = Parent->Controls(I);
        if (!C->Visible() || !C->Enabled()) continue;
        C->WindowProc(Message);
        if (auto* W = dynamic_cast<TWinControl*>(C); W != nullptr && Message.Result == 0)
            BroadcastDialogChar(W, Message);
    }
}

} // namespace

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    FTopLevel = true;
    SetVisible(false);
    SetColor(clBtnFace);
    FControlStyle.Exclude(csCaptureMouse);
    SetBounds(0, 0, 320, 240);
    if (Screen != nullptr) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    BeforeDestruction();
    if (Screen != nullptr) Screen->RemoveForm(this);
    if (Application != nullptr) Application->FormDestroyed(this);
}

void TCustomForm::AfterConstruction() {
    if (FCreated) return;
    FCreated = true;
    if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
    if (!FDestroyFired) {
        FDestroyFired = true;
        if (FActive) SetActive(false);
        if (OnDestroy) {
            try {
                OnDestroy(this);
            } catch (...) {
                if (Application != nullptr) Application->HandleException(this);
            }
        }
    }
    TWinControl::BeforeDestruction();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMenu) FMenu = nullptr;
    if (static_cast<TComponent*>(FActiveControl) == AComponent) FActiveControl = nullptr;
}

void TCustomForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TCustomForm::ApplyPosition() {
    int L = Left(), T = Top();
    TRect Area = Screen != nullptr ? Screen->WorkAreaRect() : TRect{0, 0, 1024, 768};
    TControl* Center = nullptr;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
        break;
    case poMainFormCenter:
        if (Application != nullptr && Application->MainForm() != this)
            Center = Application->MainForm();
        break;
    case poOwnerFormCenter:
        Center = dynamic_cast<TCustomForm*>(Owner());
        break;
    default:
        return;
    }
    const TRect Work = Area;
    if (Center != nullptr) Area = Center->BoundsRect();
    L = Area.Left + (Area.Width() - Width()) / 2;
    T = Area.Top + (Area.Height() - Height()) / 2;
    // Centred on a screen smaller than the window, or on a window near an
    // edge, it would hang off the screen with its title bar out of reach:
    // it stays on the work area, its top-left corner first.
    L = std::max(Work.Left, std::min(L, Work.Right - Width()));
    T = std::max(Work.Top, std::min(T, Work.Bottom - Height()));
    SetBounds(L, T, Width(), Height());
}

void TCustomForm::SetModalResult(TModalResult Value) {
    FModalResult = Value;
    // Wakes the modal loop so that it sees the result without waiting for
    // another message.
    if (Value != mrNone && FFormState.Contains(fsModal)) PostMessage(nullptr, WM_NULL);
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || !Enabled() || FFormState.Contains(fsModal))
        throw EInvalidOperation("Cannot make a visible window modal");
    SetCaptureControl(nullptr);
    FFormState.Include(fsModal);
    FModalResult = mrNone;
    TCustomForm* Previous = Screen != nullptr ? Screen->ActiveForm() : nullptr;
    const TModalScope Counted;
    try {
        Show();
        do {
            Application->HandleMessage();
            if (Application->Terminated())
                FModalResult = mrCancel;
            else if (FModalResult != mrNone)
                CloseModal();
        } while (FModalResult == mrNone);
    } catch (...) {
        FFormState.Exclude(fsModal);
        if (NativeWidget() != nullptr) BridgeSetModal(NativeWidget(), false);
        Hide();
        throw;
    }
    const TModalResult Result = FModalResult;
    FFormState.Exclude(fsModal);
    if (NativeWidget() != nullptr) BridgeSetModal(NativeWidget(), false);
    Hide();
    if (Previous != nullptr && Previous != this && Previous->Visible()) {
        Previous->SetActive(true);
        // The window the dialog came from takes the keyboard back, as it
        // does where the system hands the activation back to the owner;
        // without it, mnemonics and shortcuts of that window stay dead
        // until it is clicked.
        if (Previous->NativeWidget() != nullptr) {
            BridgeRaise(Previous->NativeWidget(), true);
            // Its focused control, unless the dialog's work hid it (the
            // start page giving way to a new banner): then the window
            // itself, so that Tab starts from its first control.
            TWinControl* Focus = Previous->ActiveControl();
            if (Focus != nullptr && Focus->CanFocus())
                Focus->SetFocus();
            else
                BridgeSetFocus(Previous->NativeWidget());
        }
    }
    return Result;
}

void TCustomForm::CloseModal() {
    TCloseAction Action = caNone;
    if (CloseQuery()) {
        Action = caHide;
        DoClose(Action);
    }
    switch (Action) {
    case caNone:
        FModalResult = mrNone;
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TCustomForm::Close() {
    if (FFormState.Contains(fsModal)) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction Action = caHide;
    DoClose(Action);
    if (Action == caNone) return;
    if (Application != nullptr && Application->MainForm() == this)
        Application->Terminate();
    else if (Action == caHide)
        Hide();
    else if (Action == caMinimize)
        SetWindowState(wsMinimized);
    else
        Release();
}

bool TCustomForm::CloseQuery() {
    bool CanClose = true;
    if (OnCloseQuery) OnCloseQuery(this, CanClose);
    return CanClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::Release() {
    PostMessage(Handle(), CM_RELEASE);
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}
void TCustomForm::Paint() {
    if (OnPaint) OnPaint(this);
}
void TCustomForm::Activate() {
    if (OnActivate) OnActivate(this);
}
void TCustomForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::SetActive(bool Value) {
    if (Value == FActive) return;
    if (Value) {
        TCustomForm* Old = Screen != nullptr ? Screen->ActiveForm() : nullptr;
        if (Old != nullptr && Old != this) Old->SetActive(false);
        FActive = true;
        if (Screen != nullptr) Screen->SetActiveForm(this);
        Activate();
    } else {
        FActive = false;
        if (Screen != nullptr && Screen->ActiveForm() == this) Screen->SetActiveForm(nullptr);
        Deactivate();
    }
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control == FActiveControl) return;
    if (Control != nullptr &&
        (Control == this || GetParentForm(Control) != this || !Control->CanFocus()))
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    FActiveControl = Control;
    if (Control != nullptr) Control->FreeNotification(this);
    if (FActive && Control != nullptr) Control->SetFocus();
}

void TCustomForm::SetFocusedControl(TWinControl* Control) {
    FActiveControl = Control;
    if (Control != nullptr) Control->FreeNotification(this);
}

void TCustomForm::RecreateWindow() {
    if (!HandleAllocated()) return;
    DestroyHandle();
    UpdateShowing();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWindow();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    if (Value == FBorderIcons) return;
    FBorderIcons = Value;
    RecreateWindow();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
    if (Value == FFormStyle) return;
    FFormStyle = Value;
    RecreateWindow();
}

void TCustomForm::SetWindowState(TWindowState Value) {
    if (Value == FWindowState) return;
    FWindowState = Value;
    if (NativeWidget() != nullptr) BridgeSetWindowState(NativeWidget(), int(Value));
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style &= ~WS_CHILD;
    switch (FBorderStyle) {
    case bsNone:
        Params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        Params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        Params.Style |= WS_POPUP | WS_CAPTION;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) Params.Style |= WS_SYSMENU;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
        if (FBorderIcons.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
        if (FBorderIcons.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin)
        Params.ExStyle |= WS_EX_TOOLWINDOW;
    if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_VISIBLECHANGED: {
        if (Visible()) {
            if (!FFormState.Contains(fsVisible)) {
                FFormState.Include(fsVisible);
                ApplyPosition();
            }
            DoShow();
            if (!Visible()) return; // OnShow hid the form again
            HandleNeeded();
            BridgeSetModal(NativeWidget(), FFormState.Contains(fsModal));
            BridgeSetWindowState(NativeWidget(), int(FWindowState));
            TWinControl::Dispatch(Message);
            FFormState.Include(fsShowing);
            SetActive(true);
            // The window opens with the keyboard on its active control, or
            // else on its first control in tab order.
            if (FActiveControl == nullptr || !FActiveControl->CanFocus())
                FActiveControl = FindNextControl(nullptr, true, true, false);
            if (FActiveControl != nullptr) FActiveControl->SetFocus();
        } else {
            if (FFormState.Contains(fsShowing)) {
                FFormState.Exclude(fsShowing);
                DoHide();
            }
            TWinControl::Dispatch(Message);
            SetActive(false);
        }
        return;
    }
    case CM_TEXTCHANGED:
        if (NativeWidget() != nullptr) BridgeSetTitle(NativeWidget(), Text());
        break;
    case WM_CLOSE:
        Close();
        return;
    case WM_QUERYENDSESSION:
        // A window lets the session end only when it could close now.
        Message.Result = CloseQuery() ? 1 : 0;
        return;
    case CM_DIALOGKEY:
        if (Message.WParam == VK_TAB) {
            if (NativeWidget() != nullptr) BridgeShowFocusCues(NativeWidget());
            SelectNext(FActiveControl, !KeyboardStateToShiftState().Contains(ssShift), true);
            Message.Result = 1;
            return;
        }
        // Return and Escape: the first control that answers takes the key
        // (the default or the cancel button).
        BroadcastDialogKey(this, Message);
        if (Message.Result != 0) return;
        break;
    case CM_DIALOGCHAR:
        if (NativeWidget() != nullptr) BridgeShowFocusCues(NativeWidget());
        BroadcastDialogChar(this, Message);
        if (Message.Result != 0) return;
        break;
    case WM_ACTIVATE:
        SetActive(LoWord(Message.WParam) != WA_INACTIVE);
        return;
    case CM_RELEASE:
        delete this;
        return;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}
