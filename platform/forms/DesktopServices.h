#pragma once
// Desktop services of the system components: the pointer position, one
// pixel of the screen, and an icon in the desktop's notification area.
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

// The pointer's position in screen coordinates ({0, 0} without a screen).
TPoint GetCursorPos();
// Reads the screen pixel at (X, Y) as 0x00BBGGRR; false when the screen
// cannot be read there.
bool GrabScreenPixel(int X, int Y, TColor& Color);

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
