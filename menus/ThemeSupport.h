#pragma once
// The theme services of the control library, and the guard that keeps a
// control's WM_PRINTCLIENT handling from changing the caller's canvas.
//
// There is no visual-theme library on this platform (the raster engine's
// theme link reports the same), so ThemeServices always answers "not
// themed" and has no theme handles; callers take their classic drawing.
//
// WM_PRINTCLIENT asks a control to paint its client area on the canvas
// passed in WParam (a TCanvas*). A control's handler may leave that canvas
// with another pen, brush, font, pen position or copy mode; while the fix
// is installed (PatchPrintClientHandler .. RestorePrintClientHandler,
// counted so that nested start-up and shut-down pairs work) PerformPrintClient
// restores all of them afterwards, also when the handler raises.
#include <cstdint>

#include "platform/forms/Controls.h"
#include "platform/graphics/Canvas.h"

struct HTHEME__;
using HTHEME = HTHEME__*;

class TThemeServices {
public:
    bool ThemesEnabled() const { return false; }
    bool ThemesAvailable() const { return false; }
    // The open theme of a window class ("TOOLTIP", ...); null when themes
    // are off, which they always are here.
    HTHEME GetTheme(const char* ClassName) const { return nullptr; }
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
