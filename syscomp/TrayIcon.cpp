#include "syscomp/TrayIcon.h"

#include "platform/base/Format.h"
#include "platform/classes/Filer.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/Hooks.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Icon.h"
#include "syscomp/SysUtilities.h"

std::string SysCutText(const std::string& S, size_t N) {
    size_t i = 0;
    for (size_t count = 0; i < S.size(); ++count) {
        if (count == N) break;
        ++i;
        while (i < S.size() && (static_cast<unsigned char>(S[i]) & 0xC0) == 0x80)
            ++i;
    }
    return S.substr(0, i);
}

void TSysIconData::DefineProperties(TFiler* Filer) {
    Filer->DefineBinaryProperty(
        "Data",
        [this](TStream& Stream) {
            TIcon icon;
            icon.LoadFromStream(Stream);
            FTray.SetIcon(&icon);
        },
        [this](TStream& Stream) { FTray.Icon()->SaveToStream(Stream); }, !FTray.Icon()->Empty());
}

TSysTrayIcon::TSysTrayIcon(TComponent* AOwner)
    : TSysCustomTimer(AOwner), FIcon(std::make_unique<TIcon>()),
      FChangeLink(std::make_unique<TChangeLink>()) {
    FChangeLink->OnChange = [this](TObject*) { ReloadIcon(); };
    // The cycling clock runs only with a handler; cycling itself is Timer.
    SetOnTimer([](TObject*) {});
    SetCycleIcons(false);
    SetCycleInterval(200);
    if (Application != nullptr && !IsDesigning()) {
        FAppHook = InstallWindowProcHook(Application->Handle(), hoBeforeMsg, [this](TMessage& m) {
            ApplicationWndProc(m);
            return false;
        });
    }
}

TSysTrayIcon::~TSysTrayIcon() {
    try {
        SetVisible(false);
    } catch (const Exception&) {
        // The icon goes with the component; a failed delete changes nothing.
    }
    if (FAppHook != 0) RemoveWindowProcHook(FAppHook);
    if (FImageList != nullptr) FImageList->UnRegisterChanges(FChangeLink.get());
}

void TSysTrayIcon::FillData() {
    const bool large = SysIsWin2000OrLater();
    FData = TSysNotifyIconData();
    FData.Size = large ? 488 : 88;
    FData.Wnd = Handle();
    FData.ID = UINT(FIconID);
    FData.Flags = FFlags;
    FData.CallbackMessage = WM_SYSTRAYICON;
    FData.Icon = FIcon.get();
    // The tip field holds 128 (64) bytes with their terminating zero.
    if (FShowHint) FData.Tip = SysCutText(FHint, large ? 127 : 63);
}

void TSysTrayIcon::SendCommand(TSysTrayCommand Command, const char* Failure) {
    try {
        FillData();
        // A refusal by the desktop is not an error: the icon may come later.
        SysBackend()->ShellNotifyIcon(Command, FData);
    } catch (const std::exception&) {
        throw ESysTrayIcon(Format(Failure, {Name()}));
    }
}

void TSysTrayIcon::UpdateIcon() {
    // Nothing is in the notification area before Loaded shows the icon.
    if (IsLoading()) return;
    FillData();
    SysBackend()->ShellNotifyIcon(stcModify, FData);
}

void TSysTrayIcon::ShowIcon() {
    FFlags |= NIF_ICON;
    SendCommand(stcAdd, "%s.InsertToTray failed");
    if (IsDesigning())
        FVisibleOnDesigning = true;
    else
        FVisible = true;
    if (OnShow) OnShow(this);
}

void TSysTrayIcon::HideIcon() {
    FFlags &= ~NIF_ICON;
    SendCommand(stcDelete, "%s.DeleteFromTray failed");
    if (IsDesigning())
        FVisibleOnDesigning = false;
    else
        FVisible = false;
    if (OnHide) OnHide(this);
    if (FMinimizeToTray) ShowApplication();
    if (auto* w = dynamic_cast<TWinControl*>(Owner()); w != nullptr && !w->Visible())
        w->SetVisible(true);
}

void TSysTrayIcon::ShowBalloon() {
    if (!SysIsWin2000OrLater()) return;
    FillData();
    FData.Flags = NIF_INFO;
    FData.Timeout = UINT(FInfoTimeout);
    FData.Info = SysCutText(FInfoText, 255);
    FData.InfoTitle = SysCutText(FInfoTitle, 63);
    FData.InfoFlags = UINT(FInfoType);
    SysBackend()->ShellNotifyIcon(stcModify, FData);
}

void TSysTrayIcon::ShowApplication() {
    SysShowApplication();
}

void TSysTrayIcon::HideApplication() {
    SysHideApplication();
}

void TSysTrayIcon::OwnerToForeground() {
    if (auto* w = dynamic_cast<TWinControl*>(Owner())) w->BringToFront();
}

void TSysTrayIcon::PopupAtCursor() {
    if (FPopupMenu == nullptr || !FPopupMenu->AutoPopup()) return;
    const TPoint p = GetCursorPos();
    if (Application != nullptr) Application->ProcessMessages();
    OwnerToForeground();
    // Processing messages may have removed the menu.
    if (FPopupMenu == nullptr) return;
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(p.X, p.Y);
    if (auto* w = dynamic_cast<TWinControl*>(Owner()); w != nullptr && w->HandleAllocated())
        PostMessage(w->Handle(), WM_NULL);
    if (OnPopupMenu) OnPopupMenu(this);
}

void TSysTrayIcon::SetHint(const std::string& Value) {
    if (Value == FHint) return;
    FHint = Value;
    UpdateIcon();
}

void TSysTrayIcon::SetShowHint(bool Value) {
    if (Value == FShowHint) return;
    FShowHint = Value;
    UpdateIcon();
}

void TSysTrayIcon::SetIcon(const TIcon* Value) {
    if (Value == nullptr)
        FIcon = std::make_unique<TIcon>();
    else
        FIcon->Assign(Value);
    UpdateIcon();
}

void TSysTrayIcon::SetIconID(int Value) {
    if (Value == FIconID) return;
    const bool was = FVisible;
    SetVisible(false);
    FIconID = Value;
    SetVisible(was);
}

void TSysTrayIcon::SetImageList(TCustomImageList* Value) {
    if (Value == FImageList) return;
    if (FImageList != nullptr) {
        FImageList->UnRegisterChanges(FChangeLink.get());
        FImageList->RemoveFreeNotification(this);
    }
    FImageList = Value;
    if (FImageList != nullptr) {
        FImageList->RegisterChanges(FChangeLink.get());
        FImageList->FreeNotification(this);
    }
    ReloadIcon();
}

void TSysTrayIcon::SetImageIndex(int Value) {
    FImageIndex = Value;
    ReloadIcon();
}

void TSysTrayIcon::ReloadIcon() {
    if (FImageList == nullptr) return;
    FIcon = std::make_unique<TIcon>();
    FImageList->GetIcon(FImageIndex, FIcon.get());
    UpdateIcon();
}

void TSysTrayIcon::SetPopupMenu(TPopupMenu* Value) {
    if (Value == FPopupMenu) return;
    if (FPopupMenu != nullptr) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (FPopupMenu != nullptr) FPopupMenu->FreeNotification(this);
}

void TSysTrayIcon::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    // While loading, Loaded shows the icon once every property is read.
    if (IsDesigning() || IsLoading()) return;
    if (Value)
        ShowIcon();
    else
        HideIcon();
}

void TSysTrayIcon::SetVisibleOnDesigning(bool Value) {
    if (Value == FVisibleOnDesigning) return;
    FVisibleOnDesigning = Value;
    if (!IsDesigning() || IsLoading()) return;
    if (Value)
        ShowIcon();
    else
        HideIcon();
}

void TSysTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
    TSysCustomTimer::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FPopupMenu) FPopupMenu = nullptr;
    // A list being removed has let go of its links already.
    if (AComponent == FImageList) FImageList = nullptr;
}

void TSysTrayIcon::Loaded() {
    TSysCustomTimer::Loaded();
    if (FMinimizeOnStart && !IsDesigning()) {
        SysBackend()->SetShowMainForm(false);
        Minimize();
    }
    if (IsDesigning() ? FVisibleOnDesigning : FVisible) ShowIcon();
}

void TSysTrayIcon::Timer() {
    if (FImageList != nullptr)
        SetImageIndex(FImageIndex < FImageList->Count() - 1 ? FImageIndex + 1 : 0);
    if (OnCycleIcons) OnCycleIcons(this);
}

void TSysTrayIcon::WndProc(TMessage& Message) {
    if (Message.Msg == WM_SYSTRAYICON) {
        if (IsDesigning() || !FEnabled) return;
        const TPoint p = GetCursorPos();
        const TShiftState keys = KeyboardStateToShiftState();
        auto with = [&](TShiftStateFlag f) {
            TShiftState s = keys;
            s.Include(f);
            return s;
        };
        switch (Message.LParam) {
        case WM_MOUSEMOVE:
            MouseMove(keys, p.X, p.Y);
            break;
        case WM_LBUTTONDOWN:
            MouseDown(mbLeft, with(ssLeft), p.X, p.Y);
            FClicked = true;
            break;
        case WM_LBUTTONUP:
            MouseUp(mbLeft, with(ssLeft), p.X, p.Y);
            if (FClicked) Click();
            if (FPopupByLeft) PopupAtCursor();
            FClicked = false;
            break;
        case WM_LBUTTONDBLCLK:
            DblClick();
            break;
        case WM_RBUTTONDOWN:
            MouseDown(mbRight, with(ssRight), p.X, p.Y);
            break;
        case WM_RBUTTONUP:
            MouseUp(mbRight, with(ssRight), p.X, p.Y);
            PopupAtCursor();
            break;
        case WM_MBUTTONDOWN:
            MouseDown(mbMiddle, with(ssMiddle), p.X, p.Y);
            break;
        case WM_MBUTTONUP:
            MouseUp(mbMiddle, with(ssMiddle), p.X, p.Y);
            break;
        case NIN_BALLOONSHOW:
            if (OnBalloonShow) OnBalloonShow(this);
            break;
        case NIN_BALLOONTIMEOUT:
            if (OnBalloonTimeout) OnBalloonTimeout(this);
            break;
        case NIN_BALLOONUSERCLICK:
            if (OnBalloonClick) OnBalloonClick(this);
            break;
        default:
            TSysCustomTimer::WndProc(Message);
        }
        return;
    }
    if (Message.Msg == WM_QUERYENDSESSION) {
        Message.Result = 1;
        return;
    }
    if (Message.Msg == SysRegisterWindowMessage("TaskbarCreated") && FVisible) {
        // The task bar was re-created: put the icon back.
        HideIcon();
        ShowIcon();
    }
    TSysCustomTimer::WndProc(Message);
}

void TSysTrayIcon::ApplicationWndProc(TMessage& Message) {
    if (Message.Msg == WM_SIZE && Message.WParam == SIZE_MINIMIZED && FMinimizeToTray) Minimize();
}

void TSysTrayIcon::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TSysTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TSysTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    OwnerToForeground();
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TSysTrayIcon::Click() {
    if (OnClick) OnClick(this);
}

void TSysTrayIcon::DblClick() {
    if (FPopupMenu != nullptr && FPopupMenu->AutoPopup() && !FPopupByLeft) {
        TMenuItem* items = FPopupMenu->Items();
        for (int i = 0; items != nullptr && i < items->Count(); ++i)
            if (items->Items(i)->Default()) {
                items->Items(i)->Click();
                break;
            }
        if (OnDblClick) OnDblClick(this);
        OwnerToForeground();
        return;
    }
    if (!IsDesigning() && FMinimizeToTray) {
        if (auto* w = dynamic_cast<TWinControl*>(Owner())) {
            if (w->Visible())
                HideApplication();
            else
                ShowApplication();
        }
    }
    if (OnDblClick) OnDblClick(this);
}

void TSysTrayIcon::Minimize() {
    if (IsDesigning()) return;
    HideApplication();
    SetVisible(true);
    if (OnMinimize) OnMinimize(this);
}
