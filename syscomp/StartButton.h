#pragma once
// TSysStartButtonProperties: the placement, enabled and visible states of
// the task bar's start button, read and written through the system
// backend. Without such a button (the default backend) the placement reads
// as the last one known (zero at first) and writes do nothing.
#include "platform/base/Types.h"
#include "syscomp/SysComponent.h"

class TSysStartButtonProperties : public TSysComponent {
public:
    QM_CLASSNAME(TSysStartButtonProperties)
    explicit TSysStartButtonProperties(TComponent* AOwner);

    // True when the desktop has a start button.
    bool Found() const { return FFound; }

    int ButtonLeft();
    void SetButtonLeft(int Value);
    int ButtonTop();
    void SetButtonTop(int Value);
    int ButtonWidth();
    void SetButtonWidth(int Value);
    int ButtonHeight();
    void SetButtonHeight(int Value);
    bool Enabled();
    void SetEnabled(bool Value);
    bool Visible();
    void SetVisible(bool Value);

private:
    void ReadPlacement();
    void Place(int Left, int Top, int Width, int Height);

    bool FFound = false;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
};
