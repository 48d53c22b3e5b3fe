#pragma once
// TSysColorPicker: a timer (100 ms) that can read the colour of the screen
// pixel under the mouse pointer. Each tick calls OnTimer and then applies
// the picker's cursor to the screen when one is chosen (not 0).
#include "platform/graphics/Colors.h"
#include "syscomp/WindowTimer.h"

class TSysColorPicker : public TSysCustomTimer {
public:
    QM_CLASSNAME(TSysColorPicker)
    explicit TSysColorPicker(TComponent* AOwner);

    // The colour of the pixel under the pointer now; clNone when the screen
    // cannot be read (no desktop, or a pointer off every screen).
    TColor Color() const;

    std::int16_t Cursor() const { return FCursor; }
    void SetCursor(std::int16_t Value) { FCursor = Value; }

protected:
    void Timer() override;

private:
    std::int16_t FCursor = 0;
};
