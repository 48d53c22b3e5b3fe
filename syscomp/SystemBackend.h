#pragma once
// The system actions behind the components that could harm or change the
// user's desktop: shutting the machine down, telling the desktop that file
// associations changed, extracting icons, activating another instance and
// ending the application.
//
// The default backend is safe: it refuses what it cannot do soundly on this
// system and says so through its results (shutdown returns false, there is
// no icon to extract). Tests install a recording backend with
// SetSysBackend or TSysBackendScope.
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/forms/Messages.h"
#include "platform/system/DesktopAssociations.h"
#include "platform/system/Sound.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

class TIcon;
class TNativeTrayIcon;

// The notification-area icon record the tray icon component sends.
constexpr UINT NIF_MESSAGE = 1;
constexpr UINT NIF_ICON = 2;
constexpr UINT NIF_TIP = 4;
constexpr UINT NIF_INFO = 16;
struct TSysNotifyIconData {
    std::uint32_t Size = 0; // 488 for the large record, 88 for the small one
    HWND Wnd = nullptr;
    UINT ID = 0;
    UINT Flags = 0;
    UINT CallbackMessage = 0;
    const TIcon* Icon = nullptr;
    std::string Tip;
    std::string Info;
    UINT Timeout = 0;
    std::string InfoTitle;
    UINT InfoFlags = 0;
};
enum TSysTrayCommand { stcAdd, stcModify, stcDelete };
// Shell notifications passed as the callback message's LParam besides the
// mouse messages.
constexpr LPARAM NIN_BALLOONSHOW = WM_USER + 2;
constexpr LPARAM NIN_BALLOONTIMEOUT = WM_USER + 4;
constexpr LPARAM NIN_BALLOONUSERCLICK = WM_USER + 5;

enum TSysPowerAction { spaPowerOff, spaShutdown, spaReboot, spaLogOff, spaSuspend, spaHibernate };

class TSysBackend {
public:
    TSysBackend();
    virtual ~TSysBackend();
    // Returns whether the action was started.
    virtual bool ExitSystem(TSysPowerAction Action, bool Force);
    // The association of an extension enters or leaves the desktop's
    // database (platform/system/DesktopAssociations.h) under DataFolder();
    // false when it could not be written or removed.
    virtual bool RegisterAssociation(const TDesktopAssociation& Association);
    virtual bool RemoveAssociation(const std::string& Extension);
    // The desktop is told that file associations changed: its caches are
    // rebuilt.
    virtual void AssociationsChanged();
    // The desktop data folder associations go to (DesktopDataFolder()
    // unless set).
    std::string DataFolder() const;
    void SetDataFolder(const std::string& Value) { FDataFolder = Value; }

    // Fills the icons (32 and 16 pixels) from the Index-th icon of FileName,
    // an icon file or a program with icon resources (an empty name: the
    // desktop's stock icons, 0 and 1 a document, 2 a program, 3 and 4 a
    // folder); false when none.
    virtual bool ExtractIcons(const std::string& FileName, int Index, TIcon* Large, TIcon* Small);
    // The desktop's icons for files with Extension; false when it has none.
    virtual bool FileTypeIcons(const std::string& Extension, TIcon* Large, TIcon* Small);
    // Asks the instance that holds the guard InstanceName to come to the
    // foreground (through its local socket); false when it cannot be reached.
    virtual bool ActivatePrevInstance(const std::string& InstanceName);
    // Ends the application's message loop (the application object's
    // Terminate when there is one).
    virtual void TerminateApplication();
    // The show-main-form flag of the application object (true without one).
    virtual bool ShowMainForm();
    virtual void SetShowMainForm(bool Value);

    // Adds, modifies or deletes an icon of the notification area; false
    // when the desktop has none or refuses. The default uses the desktop's
    // own notification area when there is one; its clicks come back as
    // the record's callback message.
    virtual bool ShellNotifyIcon(TSysTrayCommand Command, const TSysNotifyIconData& Data);
    // Plays a sound; false when it was not played (the default plays it
    // through the desktop's sound library, see platform/system/Sound.h).
    virtual bool PlaySound(const TSysSound& Sound);
    // Stops any sound this program plays.
    virtual void StopSound();

    // The task bar's start button: false when there is none (the default).
    virtual bool StartButtonRect(TRect& Rect);
    virtual bool SetStartButtonRect(const TRect& Rect);
    virtual bool StartButtonEnabled() { return false; }
    virtual void SetStartButtonEnabled(bool) {}
    virtual bool StartButtonVisible() { return false; }
    virtual void SetStartButtonVisible(bool) {}

private:
    std::map<std::pair<HWND, UINT>, std::unique_ptr<TNativeTrayIcon>> FTrayIcons;
    std::string FDataFolder;
};

// The installed backend (the safe default unless another was installed).
TSysBackend* SysBackend();
// Installs a backend the caller keeps alive; null puts the default back.
void SetSysBackend(TSysBackend* Backend);

class TSysBackendScope {
public:
    explicit TSysBackendScope(TSysBackend* Backend);
    ~TSysBackendScope();
    TSysBackendScope(const TSysBackendScope&) = delete;
    TSysBackendScope& operator=(const TSysBackendScope&) = delete;

private:
    TSysBackend* FPrevious;
};
