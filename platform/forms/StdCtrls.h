#pragma once
// Standard controls: label, edit, button, check box, radio button, group
// box, combo box and list box.
//
// Each control keeps its whole state (text, checked state, items, item
// index, selection) itself and works without a native widget; when the
// widget exists it mirrors that state, and what the user does in it comes
// back as the class library's events. Setters fire what the class library
// fires: setting an edit's Text fires OnChange, setting Checked fires
// OnClick, setting a combo or list box's ItemIndex fires nothing.
#include <memory>
#include <string>

#include "platform/classes/Strings.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"

// A caption as drawn: "&" marks the hot key and is not drawn, "&&" draws
// one "&" (a lone "&" at the end is dropped).
std::string StripHotkey(const std::string& Text);
// Whether Key (a letter or digit key) is the hot key "&" marks in Caption,
// whatever its case.
bool IsAccel(Word Key, const std::string& Caption);
// A CM_DIALOGCHAR that is the hot key of the control's caption clicks the
// control, when it is enabled and on screen, and is taken (true).
bool ClickOnHotKey(TControl* Control, TMessage& Message);

enum TTextLayout { tlTop, tlCenter, tlBottom };
// epEndEllipsis: a line wider than the label ends in "…" where it would be
// cut, so that a long text (a file name) shows it goes on.
enum TEllipsisPosition { epNone, epEndEllipsis };

// A caption drawn on the parent. With AutoSize (the default) the label
// takes the size of its text after every change of caption or font; "&"
// marks the accelerator unless ShowAccelChar is off.
class TCustomLabel : public TGraphicControl {
public:
    QM_CLASSNAME(TCustomLabel)
    explicit TCustomLabel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    TEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
    void SetEllipsisPosition(TEllipsisPosition Value);
    TWinControl* FocusControl() const { return FFocusControl; }
    // Alt with the caption's hot key focuses this control.
    void SetFocusControl(TWinControl* Value);
    // The text as drawn (without accelerator marks).
    std::string DisplayText() const;

    void Dispatch(TMessage& Message) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Paint() override;
    void AdjustBounds();

private:
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FTransparent = false;
    bool FShowAccelChar = true;
    TEllipsisPosition FEllipsisPosition = epNone;
    TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
    QM_CLASSNAME(TLabel)
    using TCustomLabel::TCustomLabel;
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// A one-line text box. Selection positions count characters (code points),
// not bytes. OnChange fires whenever the text changes, from code or from
// the user; Modified is set only by the user's edits.
class TCustomEdit : public TWinControl {
public:
    QM_CLASSNAME(TCustomEdit)
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    // 0: no limit. A shorter limit cuts the text.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    char32_t PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char32_t Value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool Value) { FAutoSelect = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    int SelStart() const { return FSelStart; }
    // Clamped to the text; empties the selection.
    void SetSelStart(int Value);
    int SelLength() const { return FSelLength; }
    void SetSelLength(int Value);
    std::string SelText() const;
    // Replaces the selection (an insertion at SelStart when it is empty)
    // and puts the caret after the new text.
    void SetSelText(const std::string& Value);
    void SelectAll();
    void ClearSelection() { SetSelText(""); }
    void Clear() { SetText(""); }
    // Character count of Text.
    int TextLength() const;

    TNotifyEvent OnChange;

    void Dispatch(TMessage& Message) override;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;
    void DoEnter() override;

private:
    friend class TEditBridge;
    // The text after MaxLength and CharCase.
    std::string Normalized(const std::string& Value) const;
    void PushToNative();
    void UserEdited(const std::string& Value, int Cursor);

    int FMaxLength = 0;
    bool FReadOnly = false;
    char32_t FPasswordChar = 0;
    TEditCharCase FCharCase = ecNormal;
    bool FAutoSelect = true;
    bool FModified = false;
    int FSelStart = 0;
    int FSelLength = 0;
    bool FPushing = false;
};

class TEdit : public TCustomEdit {
public:
    QM_CLASSNAME(TEdit)
    using TCustomEdit::TCustomEdit;
};

// Base of buttons, check boxes and radio buttons.
class TButtonControl : public TWinControl {
public:
    QM_CLASSNAME(TButtonControl)
    explicit TButtonControl(TComponent* AOwner);

    void Dispatch(TMessage& Message) override;

protected:
    // The native widget was clicked by the user.
    virtual void NativeClicked() { Click(); }
    // Alt with the caption's hot key: a click that also brings the focus.
    virtual void HotKeyPressed();
    void NativeWidgetCreated() override;
};

// A push button. Click sets the parent form's ModalResult to the button's
// own when that is not mrNone, then fires OnClick. Default buttons answer
// Enter and Cancel buttons Escape through CM_DIALOGKEY.
class TButton : public TButtonControl {
public:
    QM_CLASSNAME(TButton)
    explicit TButton(TComponent* AOwner);

    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }

    void Click() override;
    void Dispatch(TMessage& Message) override;

protected:
    // A push button's hot key clicks it and leaves the focus where it is.
    void HotKeyPressed() override { Click(); }
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;

private:
    bool FDefault = false;
    bool FCancel = false;
    TModalResult FModalResult = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// Changing State (or Checked) fires OnClick; a user's click moves to the
// next state (through cbGrayed only with AllowGrayed).
class TCustomCheckBox : public TButtonControl {
public:
    QM_CLASSNAME(TCustomCheckBox)
    explicit TCustomCheckBox(TComponent* AOwner);

    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState Value);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }

protected:
    void Toggle();
    void NativeClicked() override { Toggle(); }
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;

private:
    void PushState();

    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
public:
    QM_CLASSNAME(TCheckBox)
    using TCustomCheckBox::TCustomCheckBox;
};

// Checking a radio button unchecks the other radio buttons of its parent and
// fires OnClick; unchecking fires nothing. A user's click only checks.
class TRadioButton : public TButtonControl {
public:
    QM_CLASSNAME(TRadioButton)
    explicit TRadioButton(TComponent* AOwner);

    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }

protected:
    void NativeClicked() override {
        SetChecked(true);
        PushChecked(); // a click on a checked button must not clear it
    }
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    // Up and Left, Down and Right move to the previous or next radio button
    // of the group and check it.
    void KeyDown(Word& Key, TShiftState Shift) override;

private:
    void PushChecked();

    bool FChecked = false;
    TAlignment FAlignment = taRightJustify;
};

// A framed container with a caption on its top edge.
class TCustomGroupBox : public TCustomControl {
public:
    QM_CLASSNAME(TCustomGroupBox)
    explicit TCustomGroupBox(TComponent* AOwner);

protected:
    void AdjustClientRect(TRect& Rect) const override;
    void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
public:
    QM_CLASSNAME(TGroupBox)
    using TCustomGroupBox::TCustomGroupBox;
};

// States of an owner-drawn item.
enum TOwnerDrawStateFlag {
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused,
    odDefault,
    odHotLight,
    odInactive,
    odNoAccel,
    odNoFocusRect,
    odReserved1,
    odReserved2,
    odComboBoxEdit
};
using TOwnerDrawState = TFlagSet<TOwnerDrawStateFlag>;

class TWinControl;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// The items of a combo or list box: a string list that tells its control
// about every change, so the item index follows insertions and deletions.
class TControlItems : public TStringList {
public:
    QM_CLASSNAME(TControlItems)
    explicit TControlItems(std::function<void(int Index, int Delta)> Notify)
        : FNotify(std::move(Notify)) {}
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    void Move(int CurIndex, int NewIndex) override;
    void Sort() override;

protected:
    void InsertItem(int Index, const std::string& S, TObject* AObject) override;
    void Changed() override;

private:
    // Index >= 0, Delta +1: inserted at Index; Delta -1: deleted at Index;
    // Index -1: anything else (clear, reorder, text change).
    std::function<void(int Index, int Delta)> FNotify;
    bool FReordering = false;
    int FBusy = 0; // inside an insertion or deletion, which notifies itself
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// A combo box. Items and ItemIndex live in the control. Setting ItemIndex
// (or Text) from code fires nothing; the user's choice of an item sets
// Text, then fires OnClick, then OnSelect (or OnChange when OnSelect is not
// set); the user's typing in the edit part fires OnChange. In the
// owner-drawn styles OnDrawItem paints each item on Canvas (the list's
// rows and, with odComboBoxEdit, the closed box's face).
class TCustomComboBox : public TWinControl {
public:
    QM_CLASSNAME(TCustomComboBox)
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TStrings* Items() { return FItems.get(); }
    const TStrings* Items() const { return FItems.get(); }
    void SetItems(const TStrings* Value) { FItems->Assign(Value); }
    int ItemIndex() const { return FItemIndex; }
    // -1 or an index outside the items selects nothing; in the styles with
    // an edit the text is kept then, otherwise it becomes empty.
    void SetItemIndex(int Value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    bool Sorted() const { return FItems->Sorted(); }
    void SetSorted(bool Value) { FItems->SetSorted(Value); }
    // Height of each item in the owner-drawn styles (at least 1).
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int Value);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value < 0 ? 0 : Value; }
    bool DroppedDown() const { return FDroppedDown; }
    void SetDroppedDown(bool Value);
    void Clear();
    void AddItem(const std::string& Item, TObject* AObject) { FItems->AddObject(Item, AObject); }
    void SelectAll() {}

    // The canvas items are painted on; whoever paints points it at the
    // target pixels first.
    TCanvas* Canvas() { return FCanvas.get(); }
    // Sets Canvas's font and brush for State (highlight colours when
    // selected), then paints item Index within Rect through DrawItem.
    void PaintItem(int Index, const TRect& Rect, TOwnerDrawState State);
    // The height of item Index (MeasureItem in csOwnerDrawVariable).
    int ItemHeightOf(int Index);

    // What the user does in the native box (also used by tests).
    void UserSelect(int Index);
    void UserType(const std::string& Value);

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& Message) override;

protected:
    // OnDrawItem in the owner-drawn styles, else the item's text.
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    // Whether the box has an edit part, and whether OnDrawItem paints its
    // items; combos of their own style (owner-drawn yet editable) override
    // them.
    virtual bool HasEdit() const { return FStyle == csDropDown || FStyle == csSimple; }
    virtual bool IsOwnerDrawn() const {
        return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable;
    }
    // Builds the native widget again (after a change of style).
    void RecreateNative();
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;

private:
    friend class TComboBridge;
    void ItemsChanged(int Index, int Delta);
    void PushItems();
    void PushSelection();

    std::unique_ptr<TControlItems> FItems;
    std::unique_ptr<TCanvas> FCanvas;
    int FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    int FItemHeight = 16;
    int FDropDownCount = 8;
    int FMaxLength = 0;
    bool FDroppedDown = false;
    bool FPushing = false;
};

class TComboBox : public TCustomComboBox {
public:
    QM_CLASSNAME(TComboBox)
    using TCustomComboBox::TCustomComboBox;
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// A list box. Setting ItemIndex from code fires nothing; the user's choice
// fires OnClick. With MultiSelect each item has its own Selected flag and
// ItemIndex is the focused item.
class TCustomListBox : public TWinControl {
public:
    QM_CLASSNAME(TCustomListBox)
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    TStrings* Items() { return FItems.get(); }
    const TStrings* Items() const { return FItems.get(); }
    void SetItems(const TStrings* Value) { FItems->Assign(Value); }
    int Count() const { return FItems->Count(); }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    // Raises EListError "List index out of bounds (%d)" outside the items.
    bool Selected(int Index) const;
    void SetSelected(int Index, bool Value);
    int SelCount() const;
    void ClearSelection();
    void SelectAll();
    bool Sorted() const { return FItems->Sorted(); }
    void SetSorted(bool Value) { FItems->SetSorted(Value); }
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int Value);
    void Clear() { FItems->Clear(); }
    // The item under a client point, or -1 (with Existing false: the index
    // past the last item for a point below it).
    int ItemAtPos(const TPoint& Pos, bool Existing) const;
    TRect ItemRect(int Index) const;

    TCanvas* Canvas() { return FCanvas.get(); }
    // As the combo box's.
    void PaintItem(int Index, const TRect& Rect, TOwnerDrawState State);
    int ItemHeightOf(int Index);

    // The user's click on item Index (also used by tests).
    void UserSelect(int Index);

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    // OnDrawItem in the owner-drawn styles, else the item's text.
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;

private:
    friend class TListBridge;
    void ItemsChanged(int Index, int Delta);
    void PushItems();
    void PushSelection();

    std::unique_ptr<TControlItems> FItems;
    std::unique_ptr<TCanvas> FCanvas;
    std::vector<bool> FSelected;
    int FItemIndex = -1;
    bool FMultiSelect = false;
    TListBoxStyle FStyle = lbStandard;
    int FItemHeight = 16;
    int FTopIndex = 0;
    bool FPushing = false;
};

class TListBox : public TCustomListBox {
public:
    QM_CLASSNAME(TListBox)
    using TCustomListBox::TCustomListBox;
};

// Checks of the native side for tests: what the native widget of a standard
// control shows now (its text, its checked state, its current item and item
// count). False when the control has no native widget of a standard kind.
struct TNativeState {
    std::string Text;
    bool Checked = false;
    bool Enabled = false;
    int ItemIndex = -1;
    int ItemCount = 0;
    std::vector<std::string> ItemTexts;
};
bool ReadNativeState(TWinControl* Control, TNativeState& State);
// The user's click on a button, check box or radio button, through its
// native widget.
void NativeUserClick(TWinControl* Control);
// The user's choice of item Index in a combo or list box's native widget.
void NativeUserSelect(TWinControl* Control, int Index);
