#pragma once
// A drop-down colour button and its popup grid.
//
// TColorPickerButton shows SelectionColor in an indicator beside an arrow;
// pressing the arrow part opens TColorPopup, a borderless window with the
// 40 named colours, optionally the 25 system colours, a default cell
// (DefaultText) and a custom cell (CustomText) that unfolds a hexagonal
// colour comb. Choosing a cell sets SelectionColor (OnChange) or, for the
// default cell, fires OnDefaultSelect; Escape, a click outside or the loss
// of the focus close the popup without a choice. Main thread only.
#include "controls/ButtonGlyphs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Timer.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TIndicatorBorder { ibNone, ibFlat, ibSunken, ibRaised };

using THintEvent = std::function<void(TObject* Sender, int Cell, std::string& Hint)>;
using TDropChangingEvent = std::function<void(TObject* Sender, bool& Allowed)>;

// Cell indexes of the popup.
constexpr int NoCell = -1;
constexpr int CustomCell = -2;
constexpr int DefaultCell = -3;
constexpr int DefaultColorCount = 40;
constexpr int SysColorCount = 25;

struct TColorEntry {
    const char* Name;
    TColor Color;
};
// The named colours (index 0-39) and the system colours (40-64).
extern const std::array<TColorEntry, DefaultColorCount> DefaultColors;
extern const std::array<TColorEntry, SysColorCount> SysColors;

struct TCombEntry {
    TPoint Position; // centre, relative to the comb's centre (grey: to the row)
    TColor Color;
};

class TColorPickerButton;
class THintWindow;

class TColorPopup : public TCustomControl {
public:
    QM_CLASSNAME(TColorPopup)
    explicit TColorPopup(TColorPickerButton* AOwner);

    int SelectedIndex() const { return FSelectedIndex; }
    int HotIndex() const { return FHotIndex; }
    // The cell showing Color (see the cell index values), and selects it.
    void SelectColor(TColor Color);
    int FindColorIndex(TColor Color);
    // The colour of a grid cell, or of the comb cell last matched for -2.
    TColor CellColor(int Index) const;

    const std::string& DefaultText() const { return FDefaultText; }
    void SetDefaultText(const std::string& Value);
    const std::string& CustomText() const { return FCustomText; }
    void SetCustomText(const std::string& Value);
    bool ShowSystemColors() const { return FShowSysColors; }
    void SetShowSystemColors(bool Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);

    // Layout (recomputed on every change of texts or options).
    void AdjustWindow();
    int NormalHeight() const { return FNormalHeight; }
    TRect DefaultTextRect() const { return FDefaultTextRect; }
    TRect CustomTextRect() const { return FCustomTextRect; }
    TRect CombRect() const { return FColorCombRect; }
    TRect BWCombRect() const { return FBWCombRect; }
    TRect SliderRect() const { return FSliderRect; }

    int ItemFromPoint(TPoint P) const;
    int GetIndex(int Row, int Column) const;
    int GetRow(int Index) const;
    int GetColumn(int Index) const;

    // Places the popup below the button (above it when it would leave the
    // screen) and shows it.
    void ShowPopupAligned();
    // Closes the drop-down; unless Cancelled, applies the selected cell.
    void EndSelection(bool Cancelled);

    // Input of the open drop-down (popup coordinates).
    void PopupMouseDown(TMouseButton Button, TPoint P);
    void PopupMouseMove(TShiftState Shift, TPoint P);
    void PopupMouseUp(TMouseButton Button, TPoint P);
    // True when the key was used.
    bool PopupKeyDown(Word Key, TShiftState Shift);
    // The hint shown for the cell (the button's OnHint may change it).
    std::string HintForCell(int Cell);
    // "Intensity: n%" over the intensity bar (shown for 5 seconds).
    std::string IntensityHint() const;
    static constexpr int IntensityHintPause = 5000;
    // The window that shows the hint of the cell under the pointer, after
    // the application's hint pause and for its hide pause (none yet before
    // the first hint).
    THintWindow* HintWindow() const { return FHintWindow; }
    // Hides the hint and forgets what it was for (the popup closes).
    void CancelHint();

    const std::vector<TCombEntry>& CombCells() const { return FCombCells; }
    const std::vector<TCombEntry>& GreyCells() const { return FBWCombCells; }
    void BuildCombs();
    double Intensity() const { return FCenterIntensity; }

    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void ChangeSelection(int Index);
    void ChangeHot(int Index);
    void DrawCell(int Index);
    void DrawComb();
    TRect CellRect(int Index) const;
    bool HandleSlider(TPoint P, bool LeftDown);
    bool HandleBWArea(TPoint P, bool LeftDown);
    bool HandleColorComb(TPoint P, bool LeftDown);
    TColorPickerButton* Button() const;
    // Subject: a cell index, HintComb + the hot comb index, or
    // HintIntensity; At: where the hint's top-left goes (screen).
    void SetHintSubject(int Subject, TPoint At);
    void ShowHintText(const std::string& Text, unsigned Duration);
    void HintTimerFired();
    static constexpr int HintComb = 1000;
    static constexpr int HintIntensity = 2000;

    std::string FDefaultText;
    std::string FCustomText;
    bool FShowSysColors = false;
    int FSpacing = 8;
    int FMargin = 2;
    int FCellSize = 18;
    int FColumnCount = 8;
    int FRowCount = 5;
    int FSysRowCount = 0;
    int FSelectedIndex = NoCell;
    int FHotIndex = NoCell;
    int FNormalHeight = 0;
    TSize FTextSize;
    TRect FDefaultTextRect;
    TRect FCustomTextRect;
    TRect FCustomColorRect;
    TRect FColorCombRect;
    TRect FBWCombRect;
    TRect FSliderRect;
    int FLevels = 7;
    int FRadius = 63;
    int FCombSize = 11;
    double FCenterIntensity = 1.0;
    std::vector<TCombEntry> FCombCells;
    std::vector<TCombEntry> FBWCombCells;
    int FCombIndex = 0; // 0 none; k > 0 comb cell k - 1; -k grey cell k - 1
    int FCustomIndex = 0;
    int FDragArea = 0; // 0 none, 1 comb, 2 grey row, 3 intensity bar
    bool FLeftDown = false;
    THintWindow* FHintWindow = nullptr; // owned as a component
    std::unique_ptr<TTimer> FHintTimer;
    int FHintSubject = NoCell;
    TPoint FHintAt;
    bool FHintWaiting = false; // the timer runs the pause before showing
};

class TColorPickerButton : public TGraphicControl {
public:
    QM_CLASSNAME(TColorPickerButton)
    explicit TColorPickerButton(TComponent* AOwner);
    ~TColorPickerButton() override;

    TColor SelectionColor() const { return FSelectionColor; }
    void SetSelectionColor(TColor Value);
    bool DroppedDown() const { return FDroppedDown; }
    void SetDropOpen(bool Value);

    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    TColor DropDownArrowColor() const { return FDropDownArrowColor; }
    void SetDropDownArrowColor(TColor Value);
    int DropDownWidth() const { return FDropDownWidth; }
    void SetDropDownWidth(int Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    TBitmap* Glyph() const { return FGlyph->Glyph(); }
    void SetGlyph(TBitmap* Value);
    int NumGlyphs() const { return FGlyph->NumGlyphs(); }
    void SetNumGlyphs(int Value);
    TIndicatorBorder IndicatorBorder() const { return FIndicatorBorder; }
    void SetIndicatorBorder(TIndicatorBorder Value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    const std::string& DefaultText() const { return FPopup->DefaultText(); }
    void SetDefaultText(const std::string& Value);
    const std::string& CustomText() const { return FPopup->CustomText(); }
    void SetCustomText(const std::string& Value);
    bool ShowSystemColors() const { return FPopup->ShowSystemColors(); }
    void SetShowSystemColors(bool Value);
    int PopupSpacing() const { return FPopup->Spacing(); }
    void SetPopupSpacing(int Value);
    TColorPopup* Popup() const { return FPopup; }
    TButtonState State() const { return FState; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnDefaultSelect;
    TNotifyEvent OnDropChanged;
    TDropChangingEvent OnDropChanging;
    THintEvent OnHint;

    void Click() override;
    virtual void DoDefaultEvent();
    // The indicator's rectangle of the last paint.
    TRect IndicatorRect() const { return FIndicatorRect; }
    // Paints the button on Canvas (the parent's paint calls Paint).
    void PaintTo(TCanvas* Canvas);

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    friend class TColorPopup;
    void UpdateExclusive();
    void PopupChanged();

    std::unique_ptr<TButtonGlyph> FGlyph;
    TColorPopup* FPopup = nullptr;
    TColor FSelectionColor = 0;
    TColor FDropDownArrowColor = 0;
    int FDropDownWidth = 15;
    bool FAllowAllUp = false;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FFlat = false;
    bool FTransparent = true;
    TIndicatorBorder FIndicatorBorder = ibFlat;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    TButtonState FState = bsUp;
    bool FMouseInside = false;
    bool FDragging = false;
    bool FDroppedDown = false;
    TRect FIndicatorRect;
    std::string FHint;
};
