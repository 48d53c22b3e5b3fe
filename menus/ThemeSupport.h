#pragma once
// The theme services of the control library, and the guard that keeps a
// control's WM_PRINTCLIENT handling from changing the caller's canvas.
//
// WM_PRINTCLIENT asks a windowed control to paint its client area on the
// canvas passed in WParam (a TCanvas*). The windowed controls' handler may
// leave that canvas with another pen, brush, font, pen position or copy
// mode; while the fix is installed (PatchPrintClientHandler ..
// RestorePrintClientHandler, counted so that nested start-up and shut-down
// pairs work) that handler is wrapped, for every windowed control, in a
// save and restore of all of them, also when it raises.
#include <cstdint>

#include "platform/forms/Controls.h"
#include "platform/graphics/Canvas.h"

struct HTHEME__;
using HTHEME = HTHEME__*;

class TThemeServices {
public:
    // Themes are enabled when the desktop's own style draws the controls
    // (platform/forms/DesktopServices.h), as the raster engine's link says.
    bool ThemesEnabled() const;
    bool ThemesAvailable() const { return ThemesEnabled(); }
    // The open theme of a window class ("TOOLTIP", ...); null when themes
    // are off. Its identity is all a caller may use.
    HTHEME GetTheme(const char* ClassName) const;
};

// The one theme-services object.
TThemeServices& ThemeServices();

// Start-up and shut-down steps; only the first install and the last removal
// act.
void PatchPrintClientHandler();
void RestorePrintClientHandler();
bool PrintClientHandlerPatched();

// Sends WM_PRINTCLIENT (Flags in LParam) to Control with Canvas as its
// device context; returns the message result.
LRESULT PerformPrintClient(TWinControl* Control, TCanvas* Canvas, LPARAM Flags);

// A copy of the drawing state of a canvas, put back by Restore.
class TCanvasState {
public:
    explicit TCanvasState(TCanvas* Canvas);
    void Restore();

private:
    TCanvas* FCanvas;
    TFont FFont;
    TPen FPen;
    TBrush FBrush;
    TPoint FPenPos;
    TCopyMode FCopyMode;
};
