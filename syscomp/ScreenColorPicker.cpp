#include "syscomp/ScreenColorPicker.h"

#include "platform/forms/Application.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/Screen.h"

TSysColorPicker::TSysColorPicker(TComponent* AOwner) : TSysCustomTimer(AOwner) {
    SetInterval(100);
}

TColor TSysColorPicker::Color() const {
    const TPoint p = GetCursorPos();
    TColor c = clNone;
    if (!GrabScreenPixel(p.X, p.Y, c)) return clNone;
    return c;
}

void TSysColorPicker::Timer() {
    TSysCustomTimer::Timer();
    if (FCursor != 0 && Screen != nullptr) Screen->SetCursor(FCursor);
}
