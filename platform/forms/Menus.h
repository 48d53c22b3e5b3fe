#pragma once
// Menus: menu items, the main menu and pop-up menus, and shortcut texts.
//
// A TMenu owns a tree of TMenuItem (its Items root). Items hold their
// state (caption, shortcut, checked, enabled, visible, ...) and each has a
// unique Command id; a native menu is built from the tree only when a menu
// is shown. Opening a drop-down sends WM_INITMENUPOPUP to the menu's host
// control (hooks see it) and then clicks the item that owns the drop-down,
// so OnClick of such an item may refresh its sub-items before they show.
// With OwnerDraw, each item is measured and drawn by the program: the item
// itself first (OnMeasureItem / OnAdvancedDrawItem / OnDrawItem, else a
// plain caption), then WM_MEASUREITEM / WM_DRAWITEM (ODT_MENU, itemID the
// Command, itemData the item) go to the host so a hook may paint it. Every
// entry of an owner-drawn drop-down is drawn so, those that open a sub-menu
// and separators included (the platform adds the sub-menu arrow), with
// rectangles counted from the drop-down's first entry; the keyboard
// highlight is the selected state and captions keep their mnemonics.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/classes/Component.h"
#include "platform/forms/Controls.h"
#include "platform/forms/StdCtrls.h"

using TShortCut = Word;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);
// "Ctrl+N", "Shift+Ctrl+F1", "Alt+Del": modifiers in the order Shift, Ctrl,
// Alt; an unknown key gives "".
std::string ShortCutToText(TShortCut ShortCut);
// The inverse of ShortCutToText, without regard to case; 0 for a text that
// names no key.
TShortCut TextToShortCut(const std::string& Text);

// Flags of WM_MENUSELECT (high word of WParam; the low word is the item's
// Command, or its index in its parent for an item with a drop-down; LParam
// the parent's drop-down handle). A closed menu sends flags 0xFFFF, LParam 0.
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_MOUSESELECT = 0x8000;

// The width of a drop-down window's frame on each side.
constexpr int DropDownFrameWidth = 3;

// A menu item's opaque sub-menu handle.
struct HMENU__;
using HMENU = HMENU__*;

class TMenu;
class TMenuItem;

using TMenuMeasureItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;

enum TFindItemKind { fkCommand, fkHandle, fkShortCut };
using TMenuChangeEvent = std::function<void(TObject* Sender, TMenuItem* Source, bool Rebuild)>;

QM_DECLARE_EXCEPTION(EMenuError, Exception);

// An item of a menu. Items it holds are owned by it (Add takes ownership;
// Remove gives it back). Setting Checked on a RadioItem unchecks the other
// radio items of the same GroupIndex among its siblings. Click toggles
// Checked with AutoCheck, then fires OnClick.
class TMenuItem : public TComponent {
public:
    QM_CLASSNAME(TMenuItem)
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // A separator is an item whose caption is "-".
    bool IsLine() const { return FCaption == "-"; }
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value);
    Byte GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(Byte Value);
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool Value) { FAutoCheck = Value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }
    // Images for the sub-items (an image list component), or null.
    TComponent* SubMenuImages() const { return FSubMenuImages; }
    void SetSubMenuImages(TComponent* Value);

    int Count() const { return int(FItems.size()); }
    // Raises EMenuError "Menu index out of range" outside 0..Count-1.
    TMenuItem* Items(int Index) const;
    TMenuItem* Parent() const { return FParent; }
    int MenuIndex() const;
    void SetMenuIndex(int Value);
    int IndexOf(const TMenuItem* Item) const;
    // Raises EMenuError "Menu inserted twice" for an item that already has
    // a parent (or is this item or one of its ancestors).
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    void Delete(int Index);
    void Remove(TMenuItem* Item);
    // Frees the sub-items.
    void Clear();
    TMenuItem* Find(const std::string& ACaption) const;

    // Command id (unique in the process while the item lives).
    Word Command() const { return FCommand; }
    // The handle of this item's drop-down (unique per item).
    HMENU Handle() const { return reinterpret_cast<HMENU>(const_cast<TMenuItem*>(this)); }
    // The menu whose tree holds this item, or null.
    TMenu* GetParentMenu() const;

    virtual void Click();
    // Measures and draws the item as a native owner-drawn menu does.
    virtual void MeasureItem(TCanvas* ACanvas, int& Width, int& Height);
    virtual void AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State,
                                  bool TopLevel);

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

    bool HasParent() const override { return FParent != nullptr; }
    TComponent* GetParentComponent() const override;

protected:
    // Tells the menu that this item (and with Rebuild its native menu)
    // changed.
    void MenuChanged(bool Rebuild);

private:
    friend class TMenu;
    void TurnSiblingsOff();

    std::string FCaption;
    TShortCut FShortCut = 0;
    bool FChecked = false;
    bool FEnabled = true;
    bool FVisible = true;
    bool FRadioItem = false;
    Byte FGroupIndex = 0;
    bool FAutoCheck = false;
    bool FDefault = false;
    int FImageIndex = -1;
    std::string FHint;
    TComponent* FSubMenuImages = nullptr;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on the root item only
    Word FCommand = 0;
};

// A menu: the root of an item tree, owned by the menu.
class TMenu : public TComponent {
public:
    QM_CLASSNAME(TMenu)
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;

    TMenuItem* Items() const { return FItems; }
    // An image list component, or null.
    TComponent* Images() const { return FImages; }
    void SetImages(TComponent* Value);
    bool OwnerDraw() const { return FOwnerDraw; }
    void SetOwnerDraw(bool Value);
    // The control whose window receives the menu's messages: the one set
    // here, else the owner when it is a windowed control.
    TWinControl* WindowHandle() const;
    void SetWindowHandle(TWinControl* Value) { FWindowHandle = Value; }

    // The item with this command id, drop-down handle or shortcut, or null.
    TMenuItem* FindItem(std::uintptr_t Value, TFindItemKind Kind) const;
    // Clicks the item of a command id; false when none.
    bool DispatchCommand(Word ACommand);
    // The drop-down of AMenu opens: WM_INITMENUPOPUP to the host, then the
    // owning item's Click. False when no item has that handle.
    bool DispatchPopup(HMENU AMenu);
    // A key press: clicks the enabled, visible item with this shortcut (its
    // parents' drop-downs are dispatched first, as opening them would).
    bool IsShortCut(Word Key, TShiftState Shift);

    // Paints the frame of Parent's drop-down window (R is the whole window,
    // its frame DropDownFrameWidth pixels wide) on each paint of an owner-drawn
    // drop-down; false leaves the platform's own raised frame.
    virtual bool DrawDropDownFrame(TMenuItem*, TCanvas*, const TRect&) { return false; }

    // Called for every change of an item (null: the menu itself).
    virtual void MenuChanged(TMenuItem* Source, bool Rebuild);
    // Counts the changes that asked for a rebuild of the native menu.
    int RebuildCount() const { return FRebuildCount; }

    TMenuChangeEvent OnChange;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TMenuItem* FItems = nullptr;
    TComponent* FImages = nullptr;
    TWinControl* FWindowHandle = nullptr;
    bool FOwnerDraw = false;
    int FRebuildCount = 0;
};

class TMainMenu : public TMenu {
public:
    QM_CLASSNAME(TMainMenu)
    using TMenu::TMenu;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

// Popup fires OnPopup (which may change the items), then shows the items at
// a screen point (left edge, right edge or centre there by Alignment); the native menu stays open
// while the message loop runs and a chosen item is clicked.
class TPopupMenu : public TMenu {
public:
    QM_CLASSNAME(TPopupMenu)
    explicit TPopupMenu(TComponent* AOwner);

    virtual void Popup(int X, int Y);
    TPopupAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool Value) { FAutoPopup = Value; }
    // The control that was right-clicked (set by the caller of Popup).
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }

    TNotifyEvent OnPopup;

private:
    TPopupAlignment FAlignment = paLeft;
    bool FAutoPopup = true;
    TComponent* FPopupComponent = nullptr;
};

// Shows the sub-items of Item as a native pop-up menu at a screen point (a
// tool button's drop-down uses it). Does nothing for an item without menu.
// With SideStep (a menu bar made of tool buttons), Left, or Right where no
// sub-menu opens, closes the drop-down and then calls SideStep with whether
// the key was Right, so that the bar opens its neighbour's menu.
void PopupMenuItems(TMenuItem* Item, int X, int Y, TPopupAlignment Alignment = paLeft,
                    std::function<void(bool Next)> SideStep = nullptr);
// Closes the native pop-up menus that are open.
void CloseNativeMenus();
// Clicks entry Index of the open pop-up with the mouse, as a user does
// (press and release on the entry); false when no pop-up is open or it has
// no such entry.
bool ClickOpenMenuEntry(int Index);
// Presses Right (or Left) on the open pop-up, as a user does; false when
// no pop-up is open.
bool PressOpenMenuArrow(bool Right);

// Checks of the native side for tests: builds the native menu of Item's
// sub-items as a pop-up would and reads back each entry, then chooses entry
// Index as the user would.
struct TNativeMenuEntry {
    std::string Text; // caption, then a tab and the shortcut text when set
    bool Separator = false;
    bool Enabled = false;
    bool Checked = false;
    bool Visible = false;
    bool HasSubMenu = false;
    bool OwnerDrawn = false;
    int Width = 0; // owner-drawn entries: the measured size
    int Height = 0;
};
std::vector<TNativeMenuEntry> ReadNativeMenu(TMenuItem* Item);
void NativeMenuChoose(TMenuItem* Item, int Index);
// Pixels of an owner-drawn entry as the native menu paints it.
bool GrabNativeMenuEntry(TMenuItem* Item, int Index, bool Selected,
                         std::vector<std::uint32_t>& Pixels, int& Width, int& Height);
