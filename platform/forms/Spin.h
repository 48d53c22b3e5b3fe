#pragma once
// The up-down control: a pair of arrow buttons that steps an integer
// Position between Min and Max.
//
// A press on an arrow (mouse, or Up/Down/Left/Right keys with ArrowKeys)
// asks OnChanging, moves Position by Increment (clamped, or wrapped with
// Wrap), writes it into the Associate's text, sends the parent a scroll
// notification (WM_VSCROLL for a vertical control, WM_HSCROLL otherwise;
// WParam SB_THUMBPOSITION with the new position in its high word, then
// SB_ENDSCROLL; LParam the up-down control), then fires OnClick. Setting
// Position from code fires nothing.
#include <functional>

#include "platform/forms/Controls.h"

enum TUDOrientation { udHorizontal, udVertical };
enum TUDAlignButton { udLeft, udRight };
enum TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TCustomUpDown : public TCustomControl {
public:
    QM_CLASSNAME(TCustomUpDown)
    explicit TCustomUpDown(TComponent* AOwner);

    // The range holds 16-bit values; Min may exceed Max (the arrows then
    // count down).
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const { return FPosition; }
    // Clamped into the range.
    void SetPosition(int Value);
    // At least 1.
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value < 1 ? 1 : Value; }
    TUDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TUDOrientation Value);
    bool Wrap() const { return FWrap; }
    void SetWrap(bool Value) { FWrap = Value; }
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool Value) { FArrowKeys = Value; }
    bool Thousands() const { return FThousands; }
    void SetThousands(bool Value) { FThousands = Value; }
    TWinControl* Associate() const { return FAssociate; }
    void SetAssociate(TWinControl* Value);
    TUDAlignButton AlignButton() const { return FAlignButton; }
    void SetAlignButton(TUDAlignButton Value) { FAlignButton = Value; }

    // Presses an arrow as the user does.
    void Press(TUDBtnType Button);
    // The arrow held down by the mouse (for painting), or -1.
    int PressedButton() const { return FPressed; }

    TUDClickEvent OnClick;
    TUDChangingEvent OnChanging;

protected:
    virtual bool CanChange();
    virtual void Click(TUDBtnType Button);
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void UpdateAssociate();
    TUDBtnType ButtonAt(int X, int Y) const;

    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FIncrement = 1;
    TUDOrientation FOrientation = udVertical;
    bool FWrap = false;
    bool FArrowKeys = true;
    bool FThousands = true;
    TWinControl* FAssociate = nullptr;
    TUDAlignButton FAlignButton = udRight;
    int FPressed = -1;
};

class TUpDown : public TCustomUpDown {
public:
    QM_CLASSNAME(TUpDown)
    using TCustomUpDown::TCustomUpDown;
};
