#include "syscomp/SysRegistration.h"

#include "platform/classes/ClassRegistry.h"
#include "platform/classes/PropertyRegistry.h"
#include "syscomp/HookComponent.h"
#include "syscomp/ScreenColorPicker.h"
#include "syscomp/StartButton.h"
#include "syscomp/SysComponent.h"
#include "syscomp/SysUtilities.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Menus.h"
#include "syscomp/TrayIcon.h"
#include "syscomp/WavePlayer.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<UINT> TaskbarCreated{0};
std::atomic<bool> Started{false};

void RegisterTimer() {
    TPublishedProperties<TSysCustomTimer>("TSysCustomTimer", "TSysComponent").Register();
    RegisterClass<TSysCustomTimer>("TSysCustomTimer");
}

void RegisterWndProcHooks(bool Published) {
    if (!Published) {
        TPublishedProperties<TSysCustomWndProcHook>("TSysCustomWndProcHook", "TSysComponent")
            .Register();
        RegisterClass<TSysCustomWndProcHook>("TSysCustomWndProcHook");
        return;
    }
    using H = TSysWndProcHook;
    TPublishedProperties<H>("TSysWndProcHook", "TSysCustomWndProcHook")
        .Boolean("Active", &H::Active, &H::SetActive)
        .Default(false)
        .Boolean("AutoDrag", &H::AutoDrag, &H::SetAutoDrag)
        .Default(false)
        .Register();
    RegisterClass<H>("TSysWndProcHook");
}

void RegisterTrayIcon() {
    TPublishedProperties<TSysIconData>("TSysIconData", "").Register();
    using T = TSysTrayIcon;
    TPublishedProperties<T>("TSysTrayIcon", "TSysCustomTimer")
        .Boolean("CycleIcons", &T::CycleIcons, &T::SetCycleIcons)
        .Default(false)
        .Integer(
            "CycleInterval", [](T& t) { return int(t.CycleInterval()); },
            [](T& t, int v) { t.SetCycleInterval(std::uint32_t(v)); })
        .Default(200)
        .Boolean("Enabled", &T::Enabled, &T::SetEnabled)
        .Default(true)
        .String("Hint", &T::Hint, &T::SetHint)
        .Class("Icon", &T::IconStream)
        .Stored([](T& t) { return t.ImageList() == nullptr; })
        .Component("ImageList", &T::ImageList, &T::SetImageList)
        .Integer("ImageIndex", &T::ImageIndex, &T::SetImageIndex)
        .Default(0)
        .Integer("IconID", &T::IconID, &T::SetIconID)
        .Default(0)
        .Boolean("MinimizeToTray", &T::MinimizeToTray, &T::SetMinimizeToTray)
        .Default(false)
        .Boolean("MinimizeOnStart", &T::MinimizeOnStart, &T::SetMinimizeOnStart)
        .Default(false)
        .Component("PopupMenu", &T::PopupMenu, &T::SetPopupMenu)
        .Boolean("PopupByLeft", &T::PopupByLeft, &T::SetPopupByLeft)
        .Default(false)
        .Boolean("ShowHint", &T::ShowHint, &T::SetShowHint)
        .Default(true)
        .Boolean("Visible", &T::Visible, &T::SetVisible)
        .Default(false)
        .Boolean("VisibleOnDesigning", &T::VisibleOnDesigning, &T::SetVisibleOnDesigning)
        .Default(false)
        .String("InfoText", &T::InfoText, &T::SetInfoText)
        .String("InfoTitle", &T::InfoTitle, &T::SetInfoTitle)
        .Integer("InfoTimeout", &T::InfoTimeout, &T::SetInfoTimeout)
        .Default(10000)
        .Enumeration("InfoType", &T::InfoType, &T::SetInfoType,
                     {"tiiNone", "tiiInfo", "tiiWarning", "tiiError"})
        .Default(tiiNone)
        .Register();
    RegisterClass<T>("TSysTrayIcon");
}

void RegisterWav() {
    using W = TSysWav;
    TPublishedProperties<W>("TSysWav", "TSysCustomFileStorage")
        .Boolean("AsyncPlay", &W::AsyncPlay, &W::SetAsyncPlay)
        .Default(true)
        .String("EventAlias", &W::EventAlias, &W::SetEventAlias)
        .Default(".Default")
        .String("FileName", &W::FileName, [](W& w, const std::string& v) { w.SetFileName(v); })
        .Boolean("Looped", &W::Looped, &W::SetLooped)
        .Default(false)
        .Boolean("NoDefaultSound", &W::NoDefaultSound, &W::SetNoDefaultSound)
        .Default(true)
        .Boolean("NoStopSound", &W::NoStopSound, &W::SetNoStopSound)
        .Default(false)
        .Boolean("NoWaitIfBusy", &W::NoWaitIfBusy, &W::SetNoWaitIfBusy)
        .Default(true)
        .Enumeration("PlayFrom", &W::PlayFrom, &W::SetPlayFrom,
                     {"pfFile", "pfResource", "pfDFM", "pfSystemEvent"})
        .Default(pfFile)
        .String("ResourceName", &W::ResourceName, &W::SetResourceName)
        .Default("WAVE1")
        .Register();
    RegisterClass<W>("TSysWav");
}

void RegisterStartButton() {
    using S = TSysStartButtonProperties;
    TPublishedProperties<S>("TSysStartButtonProperties", "TSysComponent")
        .Integer("ButtonLeft", &S::ButtonLeft, &S::SetButtonLeft)
        .Integer("ButtonTop", &S::ButtonTop, &S::SetButtonTop)
        .Integer("ButtonWidth", &S::ButtonWidth, &S::SetButtonWidth)
        .Integer("ButtonHeight", &S::ButtonHeight, &S::SetButtonHeight)
        .Boolean("Enabled", &S::Enabled, &S::SetEnabled)
        .Default(true)
        .Boolean("Visible", &S::Visible, &S::SetVisible)
        .Default(true)
        .Register();
    RegisterClass<S>("TSysStartButtonProperties");
}

void RegisterColorPicker() {
    using C = TSysColorPicker;
    TPublishedProperties<C>("TSysColorPicker", "TSysCustomTimer")
        .Boolean(
            "Enabled", [](C& c) { return c.Enabled(); }, [](C& c, bool v) { c.SetEnabled(v); })
        .Default(true)
        .Integer(
            "Interval", [](C& c) { return int(c.Interval()); },
            [](C& c, int v) { c.SetInterval(std::uint32_t(v)); })
        .Default(100)
        .Register();
    RegisterClass<C>("TSysColorPicker");
}

// The classes this library adds to the family; the others are registered
// by RegisterSysComponentClass.
void RegisterOwn(const std::string& Name) {
    if (Name == "TSysCustomTimer")
        RegisterTimer();
    else if (Name == "TSysCustomWndProcHook")
        RegisterWndProcHooks(false);
    else if (Name == "TSysWndProcHook")
        RegisterWndProcHooks(true);
    else if (Name == "TSysTrayIcon")
        RegisterTrayIcon();
    else if (Name == "TSysWav")
        RegisterWav();
    else if (Name == "TSysStartButtonProperties")
        RegisterStartButton();
    else if (Name == "TSysColorPicker")
        RegisterColorPicker();
}

} // namespace

const std::vector<std::string>& SysComponentClassNames() {
    static const auto* names = new std::vector<std::string>{"TSysComponent",
                                                            "TSysCustomThreadComponent",
                                                            "TSysCustomTimer",
                                                            "TSysCustomThreadTimer",
                                                            "TSysCustomWndProcHook",
                                                            "TSysCustomFileStorage",
                                                            "TSysAutoRun",
                                                            "TSysOneInstance",
                                                            "TSysShutdown",
                                                            "TSysTrayIcon",
                                                            "TSysWndProcHook",
                                                            "TSysFileStorage",
                                                            "TSysWav",
                                                            "TSysThreadComponent",
                                                            "TSysThreadTimer",
                                                            "TSysFileOperation",
                                                            "TSysFileAssociation",
                                                            "TSysCustomFolderMonitor",
                                                            "TSysFolderMonitor",
                                                            "TSysCustomRegistryMonitor",
                                                            "TSysRegistryMonitor",
                                                            "TSysStartButtonProperties",
                                                            "TSysColorPicker"};
    return *names;
}

void InitSysComponents() {
    if (Started.exchange(true)) return;
    TaskbarCreated = SysRegisterWindowMessage("TaskbarCreated");
    RegisterSysColorIdents();
    for (const std::string& name : SysComponentClassNames()) {
        // A class registered already (by another start-up) stays as it is.
        if (GetClass(name) != nullptr) continue;
        try {
            if (!RegisterSysComponentClass(name)) RegisterOwn(name);
        } catch (const std::exception&) {
            // A class the registry refuses stays unavailable to streams.
        }
    }
}

void DoneSysComponents() {
    if (!Started.exchange(false)) return;
    SysFreeWndProcHookList();
    DoneSysComponentsNonVisual();
    UnregisterSysColorIdents();
}

UINT SysTaskbarCreatedMessage() {
    return TaskbarCreated.load();
}
