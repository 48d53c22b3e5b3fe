#pragma once
// The styled main menu: every item of the bar and its drop-downs is
// owner-drawn, and measuring and painting go to an item painter.
//
// TUiMainMenu hooks its host window after the window's own procedure and
// answers WM_MEASUREITEM / WM_DRAWITEM (ODT_MENU) for its own items through
// the active painter: the ItemPainter with Style msItemPainter, else the
// style painter it owns. Painters keep the item, state and glyph of the
// last item measured or painted; each message starts afresh.
//
// The XP painter also draws the frame of every drop-down window it paints,
// through the menu's drop-down frame hook, on each paint of the window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"

// Menu metrics at 96 DPI (there is no system metrics service to ask).
constexpr int SM_CYMENU = 15;
constexpr int SM_CXMENUCHECK = 71;
constexpr int SM_CYMENUCHECK = 72;
int UiMenuMetric(int Index);

enum TUiMenuStyle {
    msStandard,
    msOwnerDraw,
    msBtnLowered,
    msBtnRaised,
    msOffice,
    msXP,
    msItemPainter
};
enum TUiVerticalAlignment { vaTop, vaMiddle, vaBottom };

// Bit for bit the low byte of the draw message's item state.
enum TMenuOwnerDrawStateFlag {
    mdSelected,
    mdGrayed,
    mdDisabled,
    mdChecked,
    mdFocused,
    mdDefault,
    mdHotlight,
    mdInactive
};
using TMenuOwnerDrawState = TFlagSet<TMenuOwnerDrawStateFlag>;
TMenuOwnerDrawState MenuOwnerDrawState(UINT ItemState);

class TUiMainMenu;

using TDrawMenuItemEvent = std::function<void(TMenu* Sender, TMenuItem* Item, const TRect& Rect,
                                              TMenuOwnerDrawState State)>;
using TMeasureMenuItemEvent =
    std::function<void(TMenu* Sender, TMenuItem* Item, int& Width, int& Height)>;
using TItemParamsEvent =
    std::function<void(TMenu* Sender, TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont,
                       TColor& Color, TGraphic*& Graphic, int& NumGlyphs)>;
using TItemImageEvent =
    std::function<void(TMenu* Sender, TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex)>;
using TUiDrawLeftMarginEvent = std::function<void(TMenu* Sender, const TRect& Rect)>;

// Space around the image cell; a changed field fires OnChange.
class TUiImageMargin : public TPersistent {
public:
    QM_CLASSNAME(TUiImageMargin)
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Right() const { return FRight; }
    int Bottom() const { return FBottom; }
    void SetLeft(int Value) { Set(FLeft, Value); }
    void SetTop(int Value) { Set(FTop, Value); }
    void SetRight(int Value) { Set(FRight, Value); }
    void SetBottom(int Value) { Set(FBottom, Value); }
    void Assign(const TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void Set(int& Field, int Value);
    int FLeft = 0, FTop = 0, FRight = 0, FBottom = 0;
};

class TUiMenuImageSize : public TPersistent {
public:
    QM_CLASSNAME(TUiMenuImageSize)
    int Height() const { return FHeight; }
    int Width() const { return FWidth; }
    void SetHeight(int Value) { Set(FHeight, Value); }
    void SetWidth(int Value) { Set(FWidth, Value); }
    void Assign(const TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void Set(int& Field, int Value);
    int FHeight = 0, FWidth = 0;
};

// Told of every change of the menu it is registered with.
class TUiMenuChangeLink : public TObject {
public:
    QM_CLASSNAME(TUiMenuChangeLink)
    TMenuChangeEvent OnChange;
};

// The painter family. A painter is attached to one menu while it works;
// its ImageMargin and ImageSize are its own copies of the menu's, adjusted
// by each painter.
class TUiCustomMenuItemPainter : public TComponent {
public:
    QM_CLASSNAME(TUiCustomMenuItemPainter)
    explicit TUiCustomMenuItemPainter(TComponent* AOwner);
    ~TUiCustomMenuItemPainter() override;

    virtual int CheckMarkCellHeight();
    virtual int CheckMarkCellWidth();
    virtual bool NeedsGrayedShadow();
    virtual TColor GrayedTextColor();
    virtual int GlyphCellHeight();
    virtual int GlyphCellWidth();
    virtual int TextIndent();
    virtual void CopyMenuSettings();
    virtual void PaintPushedFrame(TRect ARect);
    virtual void BeginItemPaint(TMenuItem* Item, const TRect& ARect, bool Measuring,
                                TMenuOwnerDrawState State);
    virtual void PaintItemBackground(const TRect& ARect) {}
    virtual void PaintCheckCellBackground(const TRect& ARect) {}
    virtual void PaintGlyphCellBackground(const TRect& ARect) {}
    virtual void PaintTextCellBackground(const TRect& ARect) {}
    virtual void PaintSelectionFrame(const TRect& ARect) {}
    virtual void PaintDisabledBitmap(int X, int Y, TBitmap* Bitmap);
    virtual void PaintItemBitmap(int X, int Y, TBitmap* Bitmap);
    virtual void PaintDisabledImage(int X, int Y);
    virtual void PaintEnabledImage(int X, int Y);
    virtual void PaintCheckMark(const TRect& ARect);
    virtual void PaintCheckedGlyphBack(const TRect& ARect) {}
    virtual void PaintUncheckedGlyphBack(const TRect& ARect) {}
    virtual void PaintSeparator(const TRect& ARect);
    virtual void PaintItemText(TRect ARect, const std::string& Text, bool IsShortCut);
    virtual void PaintLeftMargin(const TRect& ARect);
    virtual void MeasureItem(TMenuItem* Item, int& Width, int& Height);
    virtual void PaintItem(TMenuItem* Item, const TRect& ItemRect, TMenuOwnerDrawState State);

    TUiMainMenu* Menu() const { return FMenu; }
    // Attaches the painter to a menu (null: detached).
    void SetMenu(TUiMainMenu* Value);
    TCanvas* Canvas() const;

    int LeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(int Value);
    TColor ImageBackgroundColor() const { return FImageBackgroundColor; }
    void SetImageBackgroundColor(TColor Value) { FImageBackgroundColor = Value; }
    TUiImageMargin* ImageMargin() { return &FImageMargin; }
    TUiMenuImageSize* ImageSize() { return &FImageSize; }
    TBitmap* Glyph() { return FGlyph.get(); }
    int NumGlyphs() const { return FNumGlyphs; }
    int MenuHeight() const { return FMenuHeight; }
    TUiDrawLeftMarginEvent OnDrawLeftMargin;

    // The lists the painter sees for the current item.
    TCustomImageList* ActiveImageList() const;
    static bool HasImage(TCustomImageList* List, int Index);
    bool IsBarItem() const;
    bool IsRightToLeft() const;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    bool ShowCheckMarks() const;

    TUiMainMenu* FMenu = nullptr;
    TMenuItem* FItem = nullptr;
    TMenuOwnerDrawState FState;
    int FImageIndex = -1;
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
    TUiImageMargin FImageMargin;
    TUiMenuImageSize FImageSize;
    TColor FImageBackgroundColor = clBtnFace;
    TMenuItem* FParentMenu = nullptr;
    int FMenuHeight = 0;
    bool FChecked = false;
    // The drop-down FMenuHeight and FChecked were counted for.
    TMenuItem* FMeasuredDropDown = nullptr;
    int FLeftMargin = 0;
    TDrawMenuItemEvent FOnDrawItem;

private:
    int ItemTextWidth(TMenuItem* Item);
};

class TUiStandardMenuItemPainter : public TUiCustomMenuItemPainter {
public:
    QM_CLASSNAME(TUiStandardMenuItemPainter)
    using TUiCustomMenuItemPainter::TUiCustomMenuItemPainter;
    int TextIndent() override;
    int GlyphCellWidth() override;
};

class TUiOwnerDrawMenuItemPainter : public TUiCustomMenuItemPainter {
public:
    QM_CLASSNAME(TUiOwnerDrawMenuItemPainter)
    using TUiCustomMenuItemPainter::TUiCustomMenuItemPainter;
    void MeasureItem(TMenuItem* Item, int& Width, int& Height) override;
    void PaintItem(TMenuItem* Item, const TRect& ItemRect, TMenuOwnerDrawState State) override;
};

class TUiBtnMenuItemPainter : public TUiCustomMenuItemPainter {
public:
    QM_CLASSNAME(TUiBtnMenuItemPainter)
    using TUiCustomMenuItemPainter::TUiCustomMenuItemPainter;
    bool Lowered() const { return FLowered; }
    void SetLowered(bool Value) { FLowered = Value; }
    void PaintSelectionFrame(const TRect& ARect) override;
    bool NeedsGrayedShadow() override { return true; }
    TColor GrayedTextColor() override { return clBtnShadow; }
    void CopyMenuSettings() override;

private:
    bool FLowered = true;
};

class TUiOfficeMenuItemPainter : public TUiCustomMenuItemPainter {
public:
    QM_CLASSNAME(TUiOfficeMenuItemPainter)
    using TUiCustomMenuItemPainter::TUiCustomMenuItemPainter;
    int TextIndent() override;
    void CopyMenuSettings() override;
    void PaintSelectionFrame(const TRect& ARect) override;
    void PaintItemBackground(const TRect& ARect) override;
    void PaintCheckedGlyphBack(const TRect& ARect) override;
    void PaintUncheckedGlyphBack(const TRect& ARect) override;
    bool NeedsGrayedShadow() override;
    void PaintCheckMark(const TRect& ARect) override;
    void PaintItemText(TRect ARect, const std::string& Text, bool IsShortCut) override;

private:
    void ImageBack(const TRect& ARect);
    void RaisedBack(const TRect& ARect);
};

class TUiXPMenuItemPainter : public TUiCustomMenuItemPainter {
public:
    QM_CLASSNAME(TUiXPMenuItemPainter)
    explicit TUiXPMenuItemPainter(TComponent* AOwner);
    TBrush* SelectionFrameBrush() { return &FSelectionFrameBrush; }
    TPen* SelectionFramePen() { return &FSelectionFramePen; }
    TColor SeparatorColor() const { return FSeparatorColor; }
    void SetSeparatorColor(TColor Value) { FSeparatorColor = Value; }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor Value) { FShadowColor = Value; }
    TColor CheckedImageBackColor() const { return FCheckedImageBackColor; }
    void SetCheckedImageBackColor(TColor Value) { FCheckedImageBackColor = Value; }
    TColor CheckedImageBackColorSelected() const { return FCheckedImageBackColorSelected; }
    void SetCheckedImageBackColorSelected(TColor Value) { FCheckedImageBackColorSelected = Value; }

    int TextIndent() override;
    void CopyMenuSettings() override;
    void MeasureItem(TMenuItem* Item, int& Width, int& Height) override;
    void BeginItemPaint(TMenuItem* Item, const TRect& ARect, bool Measuring,
                        TMenuOwnerDrawState State) override;
    void PaintItemBackground(const TRect& ARect) override;
    void PaintSelectionFrame(const TRect& ARect) override;
    void PaintGlyphCellBackground(const TRect& ARect) override;
    void PaintCheckCellBackground(const TRect& ARect) override;
    void PaintCheckedGlyphBack(const TRect& ARect) override;
    void PaintSeparator(const TRect& ARect) override;
    void PaintEnabledImage(int X, int Y) override;
    void PaintDisabledImage(int X, int Y) override;
    void PaintItemBitmap(int X, int Y, TBitmap* Bitmap) override;
    void PaintCheckMark(const TRect& ARect) override;
    void PaintItemText(TRect ARect, const std::string& Text, bool IsShortCut) override;
    // The frame of a drop-down window (R, the whole window): a grey
    // outline, white double lines inside, the image column's colour on the
    // image side, open at the top where it joins its bar item.
    void PaintDropDownFrame(TMenuItem* DropDown, TCanvas* C, const TRect& R);

private:
    TBrush FSelectionFrameBrush;
    TPen FSelectionFramePen;
    TColor FSeparatorColor = RGB(166, 166, 166);
    TColor FShadowColor = RGB(136, 141, 157);
    TColor FCheckedImageBackColor = RGB(212, 213, 216);
    TColor FCheckedImageBackColorSelected = RGB(133, 146, 181);
    bool FInImage = false;
};

class TUiMainMenu : public TMainMenu {
public:
    QM_CLASSNAME(TUiMainMenu)
    explicit TUiMainMenu(TComponent* AOwner);
    ~TUiMainMenu() override;

    TUiMenuStyle Style() const { return FStyle; }
    void SetStyle(TUiMenuStyle Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    // The cursor the last menu-select chose (crDefault: none of ours).
    TCursor MenuCursor() const { return FMenuCursor; }
    TCustomImageList* Images() const { return FUiImages; }
    void SetImages(TCustomImageList* Value);
    TCustomImageList* DisabledImages() const { return FDisabledImages; }
    void SetDisabledImages(TCustomImageList* Value);
    TCustomImageList* HotImages() const { return FHotImages; }
    void SetHotImages(TCustomImageList* Value);
    TUiImageMargin* ImageMargin() { return &FImageMargin; }
    TUiMenuImageSize* ImageSize() { return &FImageSize; }
    TUiCustomMenuItemPainter* ItemPainter() const { return FItemPainter; }
    void SetItemPainter(TUiCustomMenuItemPainter* Value);
    bool ShowCheckMarks() const { return FShowCheckMarks; }
    void SetShowCheckMarks(bool Value) { FShowCheckMarks = Value; }
    int TextMargin() const { return FTextMargin; }
    void SetTextMargin(int Value) { FTextMargin = Value; }
    TUiVerticalAlignment TextVAlignment() const { return FTextVAlignment; }
    void SetTextVAlignment(TUiVerticalAlignment Value) { FTextVAlignment = Value; }
    // Right-to-left menus mirror the cells of their items.
    bool RightToLeft() const { return FRightToLeft; }
    void SetRightToLeft(bool Value) { FRightToLeft = Value; }

    TItemImageEvent OnGetImageIndex;
    TItemImageEvent OnGetDisabledImageIndex;
    TItemImageEvent OnGetHotImageIndex;
    TDrawMenuItemEvent OnDrawItem;
    TItemParamsEvent OnGetItemParams;
    TMeasureMenuItemEvent OnMeasureItem;

    TUiCustomMenuItemPainter* StylePainter() const { return FStylePainter; }
    TUiCustomMenuItemPainter* ActivePainter() const;
    // The canvas of the draw or measure message being handled, else null.
    TCanvas* Canvas() const { return FCanvas; }
    TWinControl* HookedControl() const { return FHooked; }

    virtual void PaintMenuItem(TMenuItem* Item, const TRect& Rect, TMenuOwnerDrawState State);
    // The XP painter draws the frame of each drop-down window it paints.
    bool DrawDropDownFrame(TMenuItem* DropDown, TCanvas* C, const TRect& R) override;
    // The canvas painters draw on while a message (or a frame) is handled.
    void SetPaintCanvas(TCanvas* Value) { FCanvas = Value; }
    virtual void RefreshOwnerDraw();
    void MenuChanged(TMenuItem* Source, bool Rebuild) override;
    void Loaded() override;

    void RegisterChanges(TUiMenuChangeLink* Value);
    void UnRegisterChanges(TUiMenuChangeLink* Value);

    // Hooks the painters call.
    virtual void GetItemParams(TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont,
                               TColor& Color, TGraphic*& Graphic, int& NumGlyphs);
    virtual void GetImageIndex(TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex);
    virtual void DoMeasureItem(TMenuItem* Item, int& Width, int& Height);

    // The font menus are drawn with.
    static void GetMenuFont(TFont* Font);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool HookProc(TMessage& Message);
    void DrawItemHandler(TDrawItemStruct& DIS);
    void MeasureItemHandler(TMeasureItemStruct& MIS);
    void MenuSelectHandler(TMessage& Message);
    void ForceRebuild();
    void ImageListChange(TObject* Sender);
    TUiCustomMenuItemPainter* CreateStylePainter(TUiMenuStyle AStyle);

    TUiMenuStyle FStyle = msStandard;
    TCursor FCursor = crDefault;
    TCursor FMenuCursor = crDefault;
    TCustomImageList* FUiImages = nullptr;
    TCustomImageList* FDisabledImages = nullptr;
    TCustomImageList* FHotImages = nullptr;
    TUiImageMargin FImageMargin;
    TUiMenuImageSize FImageSize;
    TUiCustomMenuItemPainter* FItemPainter = nullptr;
    TUiCustomMenuItemPainter* FStylePainter = nullptr; // owned
    bool FShowCheckMarks = false;
    int FTextMargin = 0;
    TUiVerticalAlignment FTextVAlignment = vaMiddle;
    bool FRightToLeft = false;
    std::unique_ptr<TChangeLink> FImageChangeLink, FDisabledImageChangeLink, FHotImageChangeLink;
    std::vector<TUiMenuChangeLink*> FChangeLinks;
    TCanvas* FCanvas = nullptr;
    TWinControl* FHooked = nullptr;
};

// Registers the classes and stream properties of the menu, its settings and
// the painters (idempotent). Component references (image lists, the
// external painter) are wired by their owner after loading.
void RegisterStyledMenuClasses();
