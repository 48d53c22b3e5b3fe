#pragma once
// The spin edit: a numeric edit box with up/down buttons.
//
// TCtlSpinEdit keeps a floating-point Value, shown as text in the edit in
// the form its ValueType asks for, stepped by Increment (arrow buttons or
// Up/Down keys) and kept inside MinValue/MaxValue while the matching check
// is on. Text that does not read as a number reads as MinValue. Typed
// characters are filtered by value type; a refused key beeps. Leaving the
// edit with CheckOnExit raises ERangeError when the value is out of bounds.
#include <functional>
#include <memory>
#include <string>

#include "platform/base/Rounding.h"
#include "platform/forms/Spin.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timer.h"
#include "platform/graphics/Bitmap.h"

enum TSpinButtonKind { bkStandard, bkDiagonal, bkClassic };
enum TrSpinButtonStyle { sbsDefault, sbsClassic };

// The beep of a refused key or of a step on a read-only edit. The default
// is silent; the program (or a test) installs its own.
using TSpinBeepProc = void (*)();
void SetSpinBeepProc(TSpinBeepProc Proc);

// The class library's FormatFloat for one section made of "#", "0", "."
// and "," (thousands separators when "," stands before the point).
// Decimals are rounded half to even.
std::string SpinFormatFloat(const std::string& Fmt, double Value);

// A painted pair of arrow buttons (sbsDefault: split by the diagonal from
// bottom-left to top-right; sbsClassic: stacked halves). A press fires the
// half's click and repeats it from a timer while the mouse holds it.
class TCtlSpinButton : public TGraphicControl {
public:
    QM_CLASSNAME(TCtlSpinButton)
    enum TSpinHalf { shNone, shTop, shBottom };

    explicit TCtlSpinButton(TComponent* AOwner);
    ~TCtlSpinButton() override;

    TrSpinButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TrSpinButtonStyle Value);
    // Glyphs of the halves; an empty bitmap draws the built-in arrow.
    TBitmap* UpGlyph() { return FUpGlyph.get(); }
    TBitmap* DownGlyph() { return FDownGlyph.get(); }
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value) { FFocusControl = Value; }
    // The half a client point falls in.
    TSpinHalf HalfAt(int X, int Y) const;
    TSpinHalf Pressed() const { return FDown; }
    // The repeat timer (exposed so tests can tick it).
    TTimer* RepeatTimer() const { return FRepeatTimer.get(); }

    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void FireHalf(TSpinHalf Half);
    void TimerTick(TObject* Sender);
    void SetDown(TSpinHalf Value);
    TBitmap* Face(TSpinHalf Half);
    void DrawFace(TBitmap* Bmp, TSpinHalf Half);

    TrSpinButtonStyle FButtonStyle = sbsDefault;
    std::unique_ptr<TBitmap> FUpGlyph;
    std::unique_ptr<TBitmap> FDownGlyph;
    TWinControl* FFocusControl = nullptr;
    TSpinHalf FDown = shNone;
    TSpinHalf FDragDown = shNone;
    std::unique_ptr<TTimer> FRepeatTimer;
    std::unique_ptr<TBitmap> FFaces[3];
};

// The system up-down pair of the standard kind: vertical, range -1..1,
// resting at 0, so every press reports its direction by the sign.
class TCtlUpDown : public TCustomUpDown {
public:
    QM_CLASSNAME(TCtlUpDown)
    explicit TCtlUpDown(TComponent* AOwner);
};

class TCtlCustomSpinEdit : public TCustomEdit {
public:
    QM_CLASSNAME(TCtlCustomSpinEdit)
    // Nested: the component stream has a TValueType of its own.
    enum TValueType { vtInteger, vtFloat, vtHex };

    explicit TCtlCustomSpinEdit(TComponent* AOwner);
    ~TCtlCustomSpinEdit() override;

    double Value() { return GetValue(); }
    void SetValue(double X) { SetValueImpl(X); }
    std::int64_t GetIntegerValue() { return Trunc(GetValue()); }
    void SetIntegerValue(std::int64_t N) { SetValue(double(N)); }

    double Increment() const { return FIncrement; }
    void SetIncrement(double Value) { FIncrement = Value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);
    bool CheckMinValue() const { return FCheckMinValue; }
    void SetCheckMinValue(bool Value);
    bool CheckMaxValue() const { return FCheckMaxValue; }
    void SetCheckMaxValue(bool Value);
    // Whether the stream would hold the checks (they differ from what the
    // bounds alone would set).
    bool IsCheckMinValueStored() const;
    bool IsCheckMaxValueStored() const;
    std::uint8_t Decimal() const { return FDecimal; }
    void SetDecimal(std::uint8_t Value);
    const std::string& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& Value);
    bool IsDisplayFormatStored() const { return FDisplayFormat != DefaultDisplayFormat(); }
    TValueType ValueType() const { return FValueType; }
    void SetValueType(TValueType Value) { SetValueTypeImpl(Value); }
    TSpinButtonKind ButtonKind() const { return FButtonKind; }
    void SetButtonKind(TSpinButtonKind Value);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool Value) { FArrowKeys = Value; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool Value) { FEditorEnabled = Value; }
    bool CheckOnExit() const { return FCheckOnExit; }
    void SetCheckOnExit(bool Value) { FCheckOnExit = Value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

    // The buttons of the current kind (one of them is null).
    TCtlUpDown* UpDown() const { return FUpDown; }
    TCtlSpinButton* SpinButton() const { return FButton; }

    // Pastes text as the user does: refused without EditorEnabled or when
    // read-only; a result that is not a number restores the old value.
    void PasteText(const std::string& Value);
    // The clipboard commands (Ctrl+V / Shift+Insert, Ctrl+X / Shift+Delete),
    // with the same limits.
    void PasteFromClipboard();
    void CutToClipboard();
    // The value clamped by the checks that are on.
    double CheckValue(double X) const;

    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;

    void Dispatch(TMessage& Message) override;
    void Loaded() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    virtual void SetValueImpl(double X) = 0;
    virtual double GetValue() = 0;
    virtual void SetValueTypeImpl(TValueType Value);
    virtual void ReshowFocusedText() {}
    virtual std::string DefaultDisplayFormat() const { return ",0.##"; }
    virtual bool IsValidChar(char32_t Key);
    virtual void UpClick(TObject* Sender);
    virtual void DownClick(TObject* Sender);

    void Change() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(char32_t& Key) override;
    void DoEnter() override;
    void DoExit() override;
    void CreateParams(TCreateParams& Params) override;

    bool FFocused = false;
    double FIncrement = 1.0;
    double FMinValue = 0.0;
    double FMaxValue = 0.0;
    std::uint8_t FDecimal = 2;
    std::string FDisplayFormat;
    TValueType FValueType = vtInteger;

private:
    void Step(double Delta, const TNotifyEvent& After);
    void BoundChanged(double Old, double New);
    void RecreateButtons();
    void LayoutButtons();

    bool FChanging = false;
    bool FInScroll = false;
    bool FAutoMin = true; // the bounds may switch CheckMinValue on
    bool FAutoMax = true;
    bool FCheckMinValue = false;
    bool FCheckMaxValue = false;
    TSpinButtonKind FButtonKind = bkDiagonal;
    bool FArrowKeys = true;
    bool FEditorEnabled = true;
    bool FCheckOnExit = false;
    TAlignment FAlignment = taLeftJustify;
    TCtlUpDown* FUpDown = nullptr;     // a child control, freed with the edit
    TCtlSpinButton* FButton = nullptr; // held by FButtonHost
    TCustomControl* FButtonHost = nullptr;
};

// Registers the stream properties of the spin edit (once).
void RegisterSpinEditClasses();

class TCtlSpinEdit : public TCtlCustomSpinEdit {
public:
    QM_CLASSNAME(TCtlSpinEdit)
    explicit TCtlSpinEdit(TComponent* AOwner);

protected:
    void SetValueImpl(double X) override;
    double GetValue() override;
    void ReshowFocusedText() override;
};
