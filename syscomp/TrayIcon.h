#pragma once
// TSysTrayIcon: an icon in the desktop's notification area, shown while
// Visible. The clicks the desktop reports for it (the callback message
// WM_SYSTRAYICON to the timer's hidden window) become component events; the
// timer cycles the icon through ImageList; balloons and a popup menu are
// offered; MinimizeToTray hides the application in the notification area
// when it is minimised. All desktop calls go through the system backend,
// which reports honestly when there is no notification area.
#include "platform/base/Exception.h"
#include "platform/forms/Controls.h"
#include "syscomp/SystemBackend.h"
#include "syscomp/WindowTimer.h"

#include <memory>
#include <string>

class TIcon;
class TCustomImageList;
class TChangeLink;
class TPopupMenu;

QM_DECLARE_EXCEPTION(ESysTrayIcon, Exception);

enum TSysTrayIconInfoType { tiiNone, tiiInfo, tiiWarning, tiiError };

// The callback message of the icon (the first user message plus 211).
constexpr UINT WM_SYSTRAYICON = WM_USER + 211;

// The tray icon's picture as the component stream carries it: the nested
// binary property "Icon.Data" holding the icon file's bytes.
class TSysTrayIcon;
class TSysIconData : public TPersistent {
public:
    QM_CLASSNAME(TSysIconData)
    explicit TSysIconData(TSysTrayIcon& Tray) : FTray(Tray) {}
    void DefineProperties(TFiler* Filer) override;

private:
    TSysTrayIcon& FTray;
};

class TSysTrayIcon : public TSysCustomTimer {
public:
    QM_CLASSNAME(TSysTrayIcon)
    explicit TSysTrayIcon(TComponent* AOwner);
    ~TSysTrayIcon() override;

    bool CycleIcons() const { return TSysCustomTimer::Enabled(); }
    void SetCycleIcons(bool Value) { TSysCustomTimer::SetEnabled(Value); }
    std::uint32_t CycleInterval() const { return TSysCustomTimer::Interval(); }
    void SetCycleInterval(std::uint32_t Value) { TSysCustomTimer::SetInterval(Value); }
    // When false the desktop's messages about the icon are ignored.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    TIcon* Icon() const { return FIcon.get(); }
    void SetIcon(const TIcon* Value);
    // The stream's view of Icon.
    TSysIconData* IconStream() { return &FIconStream; }
    TCustomImageList* ImageList() const { return FImageList; }
    void SetImageList(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    int IconID() const { return FIconID; }
    void SetIconID(int Value);
    bool MinimizeToTray() const { return FMinimizeToTray; }
    void SetMinimizeToTray(bool Value) { FMinimizeToTray = Value; }
    bool MinimizeOnStart() const { return FMinimizeOnStart; }
    void SetMinimizeOnStart(bool Value) { FMinimizeOnStart = Value; }
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);
    bool PopupByLeft() const { return FPopupByLeft; }
    void SetPopupByLeft(bool Value) { FPopupByLeft = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool VisibleOnDesigning() const { return FVisibleOnDesigning; }
    void SetVisibleOnDesigning(bool Value);
    const std::string& InfoText() const { return FInfoText; }
    void SetInfoText(const std::string& Value) { FInfoText = Value; }
    const std::string& InfoTitle() const { return FInfoTitle; }
    void SetInfoTitle(const std::string& Value) { FInfoTitle = Value; }
    int InfoTimeout() const { return FInfoTimeout; }
    void SetInfoTimeout(int Value) { FInfoTimeout = Value; }
    TSysTrayIconInfoType InfoType() const { return FInfoType; }
    void SetInfoType(TSysTrayIconInfoType Value) { FInfoType = Value; }

    // The record last filled for the desktop.
    const TSysNotifyIconData& IconData() const { return FData; }

    virtual void FillData();
    virtual void UpdateIcon();
    virtual void ShowIcon();
    virtual void HideIcon();
    virtual void PopupAtCursor();
    virtual void ShowApplication();
    virtual void HideApplication();
    virtual void ShowBalloon();
    void ShowBalloonHint() { ShowBalloon(); }

    void Loaded() override;

    TNotifyEvent OnMinimize;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnPopupMenu;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnCycleIcons;
    TNotifyEvent OnBalloonShow;
    TNotifyEvent OnBalloonTimeout;
    TNotifyEvent OnBalloonClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    // Cycling: the next image of ImageList, then OnCycleIcons.
    void Timer() override;
    // The application window's messages pass here first.
    virtual void ApplicationWndProc(TMessage& Message);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();
    virtual void Minimize();

private:
    void ReloadIcon();
    void OwnerToForeground();
    void SendCommand(TSysTrayCommand Command, const char* Failure);

    bool FEnabled = true;
    std::string FHint;
    std::unique_ptr<TIcon> FIcon;
    TSysIconData FIconStream{*this};
    TCustomImageList* FImageList = nullptr;
    int FImageIndex = 0;
    int FIconID = 0;
    bool FMinimizeToTray = false;
    bool FMinimizeOnStart = false;
    TPopupMenu* FPopupMenu = nullptr;
    bool FPopupByLeft = false;
    bool FShowHint = true;
    bool FVisible = false;
    bool FVisibleOnDesigning = false;
    std::string FInfoText;
    std::string FInfoTitle;
    int FInfoTimeout = 10000;
    TSysTrayIconInfoType FInfoType = tiiNone;

    TSysNotifyIconData FData;
    UINT FFlags = NIF_MESSAGE | NIF_TIP;
    bool FClicked = false;
    std::unique_ptr<TChangeLink> FChangeLink;
    std::uint64_t FAppHook = 0;
};

// The first N characters (code points) of a UTF-8 text.
std::string SysCutText(const std::string& S, size_t N);
