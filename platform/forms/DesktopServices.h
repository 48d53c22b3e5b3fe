#pragma once
// Desktop services: the pointer position, one pixel of the screen, an icon
// in the desktop's notification area, and opening a document or an address
// with the application the desktop chooses for it.
//
// Each reports honestly when the desktop cannot give it: without a
// notification area (the offscreen platform, or no tray host running)
// TNativeTrayIcon::Available() is false and Show() fails; a screen that
// cannot be grabbed makes GrabScreenPixel fail.
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <cstdint>

#include "platform/base/Types.h"
#include "platform/graphics/Colors.h"

class TIcon;
class TWinControl;

// Top-level windows of the program. The window appears over Milliseconds,
// its opacity rising from clear to full (at once where the desktop cannot
// blend windows); a later call restarts it.
void FadeInWindow(TWinControl* Window, int Milliseconds);
// Keeps the window above every other window, or no longer, without
// activating it.
void SetWindowTopmost(TWinControl* Window, bool Topmost);
// Puts the window just below the active window when that is another window
// of this program not kept above all others (true); false otherwise.
bool PlaceBelowActiveWindow(TWinControl* Window);

// The pointer's position in screen coordinates ({0, 0} without a screen).
TPoint GetCursorPos();
// Reads the screen pixel at (X, Y) as 0x00BBGGRR; false when the screen
// cannot be read there.
bool GrabScreenPixel(int X, int Y, TColor& Color);

// Whether the toolkit's style draws the desktop's own theme (a style the
// desktop provides) rather than the toolkit's built-in look.
bool DesktopStyleThemed();
// Called on the main thread after the desktop's theme or style changed.
int AddDesktopThemeListener(std::function<void()> Listener);
void RemoveDesktopThemeListener(int Id);

// Pictures of the desktop, as icon files (.ico) of one image of Size x
// Size pixels; false when the desktop has none.
enum TDesktopIcon {
    diDocument,
    diProgram,
    diFolder,
    diApplication,
    diInformation,
    diWarning,
    diError,
    diQuestion
};
bool DesktopIcon(TDesktopIcon Kind, int Size, std::vector<std::uint8_t>& Icon);
// The desktop's icon for files with Extension (".txt"), from its file
// type; false when the desktop shows such files with no icon of their own.
bool DesktopFileTypeIcon(const std::string& Extension, int Size, std::vector<std::uint8_t>& Icon);

enum TNativeTrayEvent {
    nteClick,
    nteDoubleClick,
    nteContext,
    nteMiddleClick,
    nteMouseMove, // only where the desktop draws the icon in a window of ours
    nteBalloonShown,
    nteBalloonClick,
    nteBalloonTimeout, // the balloon's time passed without a click
};

// One icon in the notification area. Main thread only.
class TNativeTrayIcon {
public:
    TNativeTrayIcon();
    ~TNativeTrayIcon();
    TNativeTrayIcon(const TNativeTrayIcon&) = delete;
    TNativeTrayIcon& operator=(const TNativeTrayIcon&) = delete;

    static bool Available();
    // Shows or updates the icon; false when no notification area exists.
    bool Show(const TIcon* Icon, const std::string& Tip);
    void Hide();
    // Kind: 0 none, 1 information, 2 warning, 3 error.
    bool ShowBalloon(const std::string& Title, const std::string& Text, int Kind, int TimeoutMs);

    std::function<void(TNativeTrayEvent Event)> OnEvent;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

// Opens files and addresses (help pages, web pages, mail links) with the
// desktop's own application. The editor reaches it through ShellOpen, so
// that tests put a recording service in place and nothing starts a browser.
class TShellService {
public:
    virtual ~TShellService() = default;
    // A local file path or an address with its scheme ("https:", "mailto:").
    // False when the desktop has no application for it or cannot start one.
    virtual bool Open(const std::string& Target) = 0;
};

// The service in force: the desktop's unless one was set. Under the
// offscreen platform the desktop's service opens nothing and says so.
TShellService* ShellService();
// Null puts the desktop's service back.
void SetShellService(TShellService* Service);
bool ShellOpen(const std::string& Target);

// Records what would have been opened; answers Result.
class TRecordingShellService : public TShellService {
public:
    bool Open(const std::string& Target) override {
        Opened.push_back(Target);
        return Result;
    }
    std::vector<std::string> Opened;
    bool Result = true;
};

// Puts a service in force for the scope's life.
class TShellServiceScope {
public:
    explicit TShellServiceScope(TShellService* Service) : FPrevious(ShellService()) {
        SetShellService(Service);
    }
    ~TShellServiceScope() { SetShellService(FPrevious); }
    TShellServiceScope(const TShellServiceScope&) = delete;
    TShellServiceScope& operator=(const TShellServiceScope&) = delete;

private:
    TShellService* FPrevious;
};
