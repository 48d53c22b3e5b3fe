#pragma once
// The common controls: image list, list view, tree view, page control, tool
// bar, status bar, progress bar, track bar, scroll box and hint window.
//
// Every control keeps its whole state (items, nodes, selection, position)
// itself and works without a native window, so hidden controls serve as data
// holders (the editor keeps its elements in hidden list views). List view,
// tree view and track bar mirror their state into a Qt widget once one
// exists and turn the user's actions on it back into the same events that
// setting the properties from code fires. The others paint themselves (the
// scroll box adds native scroll bars).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/Strings.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"

class TBitmap;
class TIcon;
class TCustomImageList;

// ---------------------------------------------------------------- image list

// Tells its owner when the image list it is registered with changes. A
// link unregisters itself when destroyed; Sender becomes null when the list
// goes first.
class TChangeLink : public TObject {
public:
    QM_CLASSNAME(TChangeLink)
    TChangeLink() = default;
    ~TChangeLink() override;
    TChangeLink(const TChangeLink&) = delete;
    TChangeLink& operator=(const TChangeLink&) = delete;

    TCustomImageList* Sender() const { return FSender; }
    void SetSender(TCustomImageList* Value) { FSender = Value; }
    void Change();
    TNotifyEvent OnChange;

private:
    TCustomImageList* FSender = nullptr;
};

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

// Images of one size (Width x Height), each kept as 32-bit pixels with
// alpha: masked-out pixels are transparent. Changing the size empties the
// list. A bad index is ignored by Draw, refused (false, empty) by the
// copying calls and raises EListError in the editing ones.
class TCustomImageList : public TComponent {
public:
    QM_CLASSNAME(TCustomImageList)
    explicit TCustomImageList(TComponent* AOwner);
    TCustomImageList(TComponent* AOwner, int AWidth, int AHeight);
    ~TCustomImageList() override;

    int Width() const { return FWidth; }
    void SetWidth(int Value) { SetSize(Value, FHeight); }
    int Height() const { return FHeight; }
    void SetHeight(int Value) { SetSize(FWidth, Value); }
    // At least 1 x 1; a new size clears the images.
    void SetSize(int AWidth, int AHeight);
    int Count() const { return int(FImages.size()); }
    // The native list always exists here; painters ask before drawing.
    bool HandleAllocated() const { return true; }

    // Background filled under a dsNormal image (clNone: none).
    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor Value);
    // Mixed into dsSelected (half) and dsFocus (a quarter) images.
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor Value) { FBlendColor = Value; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle Value);

    // Adds one image per Width columns of Image (rows beyond Height are
    // cut, missing rows are transparent) and returns the first new index,
    // or -1 when Image is missing or narrower than one image. Mask pixels
    // that are not black hide the image's pixels; without a mask a 32-bit
    // bitmap with any alpha keeps its alpha, anything else is opaque.
    int Add(TBitmap* Image, TBitmap* Mask);
    // As Add, hiding the pixels of MaskColor: clDefault takes the colour of
    // the bitmap's bottom-left pixel, clNone hides nothing.
    int AddMasked(TBitmap* Image, TColor MaskColor);
    void Insert(int Index, TBitmap* Image, TBitmap* Mask);
    void InsertMasked(int Index, TBitmap* Image, TColor MaskColor);
    void Replace(int Index, TBitmap* Image, TBitmap* Mask);
    void ReplaceMasked(int Index, TBitmap* Image, TColor MaskColor);
    // Index -1 deletes every image.
    void Delete(int Index);
    void Clear() { Delete(-1); }
    void Move(int CurIndex, int NewIndex);

    // Enabled images are blended onto the canvas with their alpha; a
    // disabled image is embossed: its shape in button highlight shifted by
    // one pixel, then in button shadow in place.
    void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
    void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
              TImageType AImageType, bool Enabled = true);
    // Bitmap becomes a Width x Height pf32bit copy of the image (alpha 0
    // where masked). False for a bad index or a missing bitmap.
    bool GetBitmap(int Index, TBitmap* Bitmap) const;
    // Icon becomes a 32-bit icon of the image.
    bool GetIcon(int Index, TIcon* Icon) const;
    // The image's pixels as 0xAARRGGBB, rows top-down; empty for a
    // bad index.
    std::vector<std::uint32_t> ImagePixels(int Index) const;

    void RegisterChanges(TChangeLink* Value);
    void UnRegisterChanges(TChangeLink* Value);
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    TNotifyEvent OnChange;

protected:
    virtual void Change();

private:
    struct TImage {
        std::vector<std::uint32_t> Pixels; // FWidth x FHeight, 0xAARRGGBB
    };
    std::vector<TImage> Slice(TBitmap* Image, TBitmap* Mask, bool UseColor, TColor MaskColor) const;
    bool ValidIndex(int Index) const { return Index >= 0 && Index < Count(); }
    // Put New (the slices of one picture) at Index / in place of image
    // Index; nothing changes when New is empty. InsertImages gives the
    // index of the first new image, or -1.
    int InsertImages(int Index, std::vector<TImage> New);
    void ReplaceImage(int Index, std::vector<TImage> New);

    int FWidth = 16;
    int FHeight = 16;
    TColor FBkColor = clNone;
    TColor FBlendColor = clHighlight;
    TDrawingStyle FDrawingStyle = dsNormal;
    std::vector<TImage> FImages;
    std::vector<TChangeLink*> FLinks;
    int FUpdateCount = 0;
    bool FChangedWhileUpdating = false;
};

class TImageList : public TCustomImageList {
public:
    QM_CLASSNAME(TImageList)
    using TCustomImageList::TCustomImageList;
};

// ---------------------------------------------------------------- list view

// The items a control owns and keeps in order (list view columns and items,
// status bar panels): TList, the collection itself, tells the owner of
// every change through its Changed(). An index out of range raises
// EListError.
template <class TList, class TItem, class TOwner> class TOwnedItems {
public:
    int Count() const { return int(FItems.size()); }
    TItem* Add() { return InsertItem(Count()); }
    void Delete(int Index);
    void Clear();

protected:
    explicit TOwnedItems(TOwner* AOwner) : FOwner(AOwner) {}
    TItem* InsertItem(int Index);
    TItem* ItemAt(int Index) const;
    int IndexOf(const TItem* Value) const;

    TOwner* FOwner;
    std::vector<std::unique_ptr<TItem>> FItems;
};

class TListView;
class TListColumns;
class TListItems;

class TListColumn {
public:
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int Index() const;

private:
    friend class TOwnedItems<TListColumns, TListColumn, TListView>;
    explicit TListColumn(TListView* AOwner) : FOwner(AOwner) {}
    TListView* FOwner;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
};

class TListColumns : public TOwnedItems<TListColumns, TListColumn, TListView> {
public:
    TListColumn* Items(int Index) const { return ItemAt(Index); }

private:
    friend class TOwnedItems<TListColumns, TListColumn, TListView>;
    friend class TListView;
    friend class TListColumn;
    using TOwnedItems::TOwnedItems;
    void Changed();
};

// One row: Caption in the first column, SubItems in the next ones.
class TListItem {
public:
    ~TListItem();
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // Changing the strings updates the view.
    TStrings* SubItems() { return &FSubItems; }
    const TStrings* SubItems() const { return &FSubItems; }
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    // Selecting fires the view's OnSelectItem; in a single-selection view
    // the previously selected item is first deselected (with its own
    // event).
    bool Selected() const { return FSelected; }
    void SetSelected(bool Value);
    int Index() const;
    TListView* ListView() const { return FOwner; }
    // Removes the item from its list and destroys it.
    void Delete();

private:
    friend class TOwnedItems<TListItems, TListItem, TListView>;
    friend class TListView;
    explicit TListItem(TListView* AOwner);
    TListView* FOwner;
    std::string FCaption;
    TStringList FSubItems;
    void* FData = nullptr;
    int FImageIndex = -1;
    bool FSelected = false;
};

class TListItems : public TOwnedItems<TListItems, TListItem, TListView> {
public:
    TListItem* Insert(int Index) { return InsertItem(Index); }
    TListItem* Item(int Index) const { return ItemAt(Index); }
    TListItem* operator[](int Index) const { return Item(Index); }
    using TOwnedItems::IndexOf;
    // The native view is rebuilt once at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TOwnedItems<TListItems, TListItem, TListView>;
    friend class TListView;
    friend class TListItem;
    using TOwnedItems::TOwnedItems;
    void Changed();
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;

// Rows of items under column headers (report style). Deleting or clearing
// items fires no selection event.
class TListView : public TWinControl {
public:
    QM_CLASSNAME(TListView)
    explicit TListView(TComponent* AOwner);
    ~TListView() override;

    TListColumns* Columns() { return &FColumns; }
    TListItems* Items() { return &FItems; }
    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    bool RowSelect() const { return FRowSelect; }
    void SetRowSelect(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool ShowColumnHeaders() const { return FShowColumnHeaders; }
    void SetShowColumnHeaders(bool Value);
    TCustomImageList* SmallImages() const { return FSmallImages; }
    void SetSmallImages(TCustomImageList* Value);

    // The first selected item, or null; setting selects only that item
    // (null clears the selection).
    TListItem* Selected() const;
    void SetSelected(TListItem* Value);
    int ItemIndex() const;
    void SetItemIndex(int Value);
    int SelCount() const;
    void ClearSelection() { SetSelected(nullptr); }

    TLVSelectItemEvent OnSelectItem;

protected:
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    friend class TListViewBridge;
    void ItemSelecting(TListItem* Item, bool Value);
    void ItemsChanged();
    void SyncNative();
    void SyncNativeSelection();
    void NativeSelectionChanged();

    TListColumns FColumns{this};
    TListItems FItems{this};
    TViewStyle FViewStyle = vsIcon;
    bool FMultiSelect = false;
    bool FRowSelect = false;
    bool FReadOnly = false;
    bool FShowColumnHeaders = true;
    TCustomImageList* FSmallImages = nullptr;
    int FUpdateCount = 0;
    bool FSyncing = false;
    bool FDestroying = false;
};

// ---------------------------------------------------------------- tree view

class TTreeView;
class TTreeNodes;

class TTreeNode {
public:
    ~TTreeNode();
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    // Selecting runs the view's selection change (OnChanging, OnChange).
    bool Selected() const;
    void SetSelected(bool Value);
    bool Expanded() const { return FExpanded; }
    void SetExpanded(bool Value);
    void Expand(bool Recurse);
    void Collapse(bool Recurse);

    TTreeNode* Parent() const { return FParent; }
    int Count() const { return int(FChildren.size()); }
    bool HasChildren() const { return !FChildren.empty(); }
    // Raises EListError out of range.
    TTreeNode* Item(int Index) const;
    // Position among its siblings.
    int Index() const;
    // Position in the whole tree, parents before their children.
    int AbsoluteIndex() const;
    int Level() const;
    TTreeNode* GetFirstChild() const {
        return FChildren.empty() ? nullptr : FChildren.front().get();
    }
    TTreeNode* GetLastChild() const { return FChildren.empty() ? nullptr : FChildren.back().get(); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next node of the whole tree (first child, else next sibling of
    // this node or of the nearest parent that has one).
    TTreeNode* GetNext() const;
    TTreeView* TreeView() const;
    TTreeNodes* Owner() const { return FOwner; }
    void Delete();
    void DeleteChildren();

private:
    friend class TTreeNodes;
    friend class TTreeView;
    TTreeNode(TTreeNodes* AOwner, TTreeNode* AParent) : FOwner(AOwner), FParent(AParent) {}
    std::vector<std::unique_ptr<TTreeNode>>& Siblings() const;

    TTreeNodes* FOwner;
    TTreeNode* FParent;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
    std::string FText;
    void* FData = nullptr;
    int FImageIndex = -1;
    bool FExpanded = false;
};

class TTreeNodes {
public:
    // Adds a last sibling of Sibling (a top-level node when Sibling is null).
    TTreeNode* Add(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddObject(TTreeNode* Sibling, const std::string& S, void* Ptr);
    TTreeNode* AddFirst(TTreeNode* Sibling, const std::string& S);
    // Adds a last child of Parent (a top-level node when Parent is null).
    TTreeNode* AddChild(TTreeNode* Parent, const std::string& S);
    TTreeNode* AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr);
    TTreeNode* AddChildFirst(TTreeNode* Parent, const std::string& S);
    // Inserts before Sibling (appends a top-level node when null).
    TTreeNode* Insert(TTreeNode* Sibling, const std::string& S);
    // Every node of the tree.
    int Count() const;
    // The node at an absolute index; raises EListError out of range.
    TTreeNode* Item(int Index) const;
    TTreeNode* operator[](int Index) const { return Item(Index); }
    TTreeNode* GetFirstNode() const { return FRoots.empty() ? nullptr : FRoots.front().get(); }
    void Delete(TTreeNode* Node);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    TTreeView* Owner() const { return FOwner; }

private:
    friend class TTreeNode;
    friend class TTreeView;
    explicit TTreeNodes(TTreeView* AOwner) : FOwner(AOwner) {}
    TTreeNode* InsertAt(TTreeNode* Parent, std::size_t Pos, const std::string& S, void* Ptr);
    std::vector<std::unique_ptr<TTreeNode>>& ListOf(TTreeNode* Parent);

    TTreeView* FOwner;
    std::vector<std::unique_ptr<TTreeNode>> FRoots;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

// A tree of text nodes with one selected node. Changing the selection, from
// code or by the user, asks OnChanging (which may refuse) and then fires
// OnChange. A deleted selected node leaves no selection and fires nothing.
class TTreeView : public TWinControl {
public:
    QM_CLASSNAME(TTreeView)
    explicit TTreeView(TComponent* AOwner);
    ~TTreeView() override;

    TTreeNodes* Items() { return &FNodes; }
    TTreeNode* Selected() const { return FSelected; }
    void SetSelected(TTreeNode* Value);
    // The first node shown at the top; without a window the first node
    // unless set.
    TTreeNode* TopItem() const;
    void SetTopItem(TTreeNode* Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value) { FHideSelection = Value; }
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool Value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool Value) { FShowLines = Value; }
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool Value) { FShowButtons = Value; }
    void FullExpand();
    void FullCollapse();

    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVExpandedEvent OnExpanded;
    TTVExpandedEvent OnCollapsed;

protected:
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    friend class TTreeViewBridge;
    void NodeRemoving(TTreeNode* Node);
    void NodesChanged();
    void SyncNative();
    void SyncNativeSelection();
    void NativeCurrentChanged(TTreeNode* Node);
    void NodeExpandedChanged(TTreeNode* Node);

    TTreeNodes FNodes{this};
    TTreeNode* FSelected = nullptr;
    TTreeNode* FTopItem = nullptr;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FShowRoot = true;
    bool FShowLines = true;
    bool FShowButtons = true;
    int FUpdateCount = 0;
    bool FSyncing = false;
    bool FDestroying = false;
};

// ---------------------------------------------------------------- pages

class TPageControl;

// One page of a page control. Its parent is the page control; it fills the
// area below the tabs and is visible only while it is the active page.
class TTabSheet : public TCustomControl {
public:
    QM_CLASSNAME(TTabSheet)
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* Value);
    void SetParent(TWinControl* AParent) override;
    // Position among the page control's pages.
    int PageIndex() const;
    void SetPageIndex(int Value);
    // Position among the visible tabs, or -1 when its tab is hidden.
    int TabIndex() const;
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value) { FImageIndex = Value; }

protected:
    void Changed() override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
    int FImageIndex = -1;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// Pages with a strip of tabs (no strip when no tab is visible). Setting
// ActivePage from code fires nothing; a click on a tab asks OnChanging and
// then fires OnChange. A page added while none is active becomes active;
// removing the active page activates the next one.
class TPageControl : public TCustomControl {
public:
    QM_CLASSNAME(TPageControl)
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const { return int(FPages.size()); }
    // Raises EListError out of range.
    TTabSheet* Pages(int Index) const;
    TTabSheet* ActivePage() const { return FActivePage; }
    // A page of another control is ignored.
    void SetActivePage(TTabSheet* Page);
    int ActivePageIndex() const;
    // Out of range: no active page.
    void SetActivePageIndex(int Value);
    // The next page after CurPage (wrapping), whose tab is visible when
    // CheckTabVisible.
    TTabSheet* FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const;
    void SelectNextPage(bool GoForward, bool CheckTabVisible = true);
    // The tab under a client point, as a visible-tab index, or -1.
    int IndexOfTabAt(int X, int Y) const;
    int TabHeight() const;
    TRect TabRect(int TabIndex) const;
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);

    void ShowControl(TControl* AControl) override;

    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void Paint() override;
    void AdjustClientRect(TRect& Rect) const override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void TabsChanged();
    std::vector<TTabSheet*> VisibleTabs() const;
    std::vector<int> TabWidths() const;

    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    TCustomImageList* FImages = nullptr;
};

// ---------------------------------------------------------------- tool bar

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// A button of a tool bar, laid out by the bar. A check button toggles Down
// when clicked (in a group, pressing one raises the others; AllowAllUp lets
// the last one rise). Setting Down from code fires nothing.
class TToolButton : public TGraphicControl {
public:
    QM_CLASSNAME(TToolButton)
    explicit TToolButton(TComponent* AOwner);
    ~TToolButton() override;

    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    bool Grouped() const { return FGrouped; }
    void SetGrouped(bool Value) { FGrouped = Value; }
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
    // The menu of a drop-down button: a press on the arrow part fires
    // OnDropDown instead of OnClick, then pops a TPopupMenu up below the
    // button.
    TComponent* DropdownMenu() const { return FDropdownMenu; }
    void SetDropdownMenu(TComponent* Value);
    TToolBar* ToolBar() const;
    void SetParent(TWinControl* AParent) override;
    void Click() override;

    TNotifyEvent OnDropDown;

protected:
    // Alt with the hot key of the caption clicks the button.
    void Dispatch(TMessage& Message) override;
    void Paint() override;
    void Changed() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TToolBar;
    std::vector<TToolButton*> GroupMembers();

    TToolButtonStyle FStyle = tbsButton;
    int FImageIndex = -1;
    bool FDown = false;
    bool FGrouped = false;
    bool FAllowAllUp = false;
    bool FPressed = false;
    TComponent* FDropdownMenu = nullptr;
    TToolBar* FBar = nullptr;
};

// Lays its buttons out left to right in the order they were added.
class TToolBar : public TCustomControl {
public:
    QM_CLASSNAME(TToolBar)
    explicit TToolBar(TComponent* AOwner);
    ~TToolBar() override;

    int ButtonCount() const { return int(FButtons.size()); }
    // Raises EListError out of range.
    TToolButton* Buttons(int Index) const;
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TCustomImageList* DisabledImages() const { return FDisabledImages; }
    void SetDisabledImages(TCustomImageList* Value);
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int Value);
    int ButtonHeight() const { return FButtonHeight; }
    void SetButtonHeight(int Value);
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    // Lays the buttons out again (after captions or images changed).
    void UpdateButtons();

protected:
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TToolButton;
    void InsertButton(TToolButton* Button);
    void RemoveButton(TToolButton* Button);
    TSize ButtonSize();

    std::vector<TToolButton*> FButtons;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FDisabledImages = nullptr;
    TChangeLink FImageLink;
    int FButtonWidth = 23;
    int FButtonHeight = 22;
    bool FShowCaptions = false;
    bool FFlat = false;
    bool FLayingOut = false;
};

// ---------------------------------------------------------------- status bar

class TStatusBar;
class TStatusPanels;

class TStatusPanel {
public:
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TBevelCut Bevel() const { return FBevel; }
    void SetBevel(TBevelCut Value);
    int Index() const;

private:
    friend class TOwnedItems<TStatusPanels, TStatusPanel, TStatusBar>;
    friend class TStatusBar;
    explicit TStatusPanel(TStatusBar* AOwner) : FOwner(AOwner) {}
    TStatusBar* FOwner;
    std::string FText;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    TBevelCut FBevel = bvLowered;
};

class TStatusPanels : public TOwnedItems<TStatusPanels, TStatusPanel, TStatusBar> {
public:
    TStatusPanel* Items(int Index) const { return ItemAt(Index); }
    TStatusPanel* operator[](int Index) const { return Items(Index); }

private:
    friend class TOwnedItems<TStatusPanels, TStatusPanel, TStatusBar>;
    friend class TStatusBar;
    friend class TStatusPanel;
    using TOwnedItems::TOwnedItems;
    void Changed();
};

// A bar of text panels at the bottom of its parent. The last panel takes
// the rest of the width. With SimplePanel it shows SimpleText alone.
class TStatusBar : public TCustomControl {
public:
    QM_CLASSNAME(TStatusBar)
    explicit TStatusBar(TComponent* AOwner);
    TStatusPanels* Panels() { return &FPanels; }
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool Value);
    const std::string& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& Value);
    // The rectangle of panel Index in client coordinates.
    TRect PanelRect(int Index) const;

protected:
    void Paint() override;

private:
    friend class TStatusPanel;
    TStatusPanels FPanels{this};
    bool FSimplePanel = false;
    std::string FSimpleText;
};

// ---------------------------------------------------------------- progress

enum TProgressBarOrientation { pbHorizontal, pbVertical };

// Position stays within Min..Max.
class TProgressBar : public TCustomControl {
public:
    QM_CLASSNAME(TProgressBar)
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Step() const { return FStep; }
    void SetStep(int Value) { FStep = Value; }
    // Adds Step; past Max it starts again from Min.
    void StepIt();
    void StepBy(int Delta) { SetPosition(FPosition + Delta); }
    TProgressBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TProgressBarOrientation Value);
    // The filled part in client coordinates.
    TRect BarRect() const;

protected:
    void Paint() override;

private:
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FStep = 10;
    TProgressBarOrientation FOrientation = pbHorizontal;
};

// ---------------------------------------------------------------- track bar

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TTickStyle { tsNone, tsAuto, tsManual };

// A slider. Position stays within Min..Max; every change of Position, from
// code or by the user, fires OnChange. A Max below Min is refused with
// EInvalidOperation "TTrackBar property out of range" (not while loading).
class TTrackBar : public TWinControl {
public:
    QM_CLASSNAME(TTrackBar)
    explicit TTrackBar(TComponent* AOwner);
    int Min() const { return FMin; }
    void SetMin(int Value) { SetParams(FPosition, Value, FMax); }
    int Max() const { return FMax; }
    void SetMax(int Value) { SetParams(FPosition, FMin, Value); }
    int Position() const { return FPosition; }
    void SetPosition(int Value) { SetParams(Value, FMin, FMax); }
    void SetParams(int APosition, int AMin, int AMax);
    int Frequency() const { return FFrequency; }
    void SetFrequency(int Value);
    int LineSize() const { return FLineSize; }
    void SetLineSize(int Value);
    int PageSize() const { return FPageSize; }
    void SetPageSize(int Value);
    TTrackBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TTrackBarOrientation Value);
    TTickStyle TickStyle() const { return FTickStyle; }
    void SetTickStyle(TTickStyle Value);

    TNotifyEvent OnChange;

    void Loaded() override;

protected:
    // Fires OnChange after Position moved.
    virtual void DoChange();
    QWidget* CreateNativeWidget(const TCreateParams& Params, QWidget* ParentWidget) override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;

private:
    void SyncNative();
    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
    int FFrequency = 1;
    int FLineSize = 1;
    int FPageSize = 2;
    TTrackBarOrientation FOrientation = trHorizontal;
    TTickStyle FTickStyle = tsAuto;
    bool FSyncing = false;
};

// ---------------------------------------------------------------- scroll box

class TScrollingWinControl;

// One scroll bar of a scrolling control: Range is the extent of the
// scrolled content, Position the scrolled distance (0..Range - client
// size).
class TControlScrollBar {
public:
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Range() const { return FRange; }
    void SetRange(int Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value < 1 ? 1 : Value; }
    // Whether the bar is needed now (visible and the range exceeds the
    // client size).
    bool IsScrollBarVisible() const;
    int ScrollPos() const { return IsScrollBarVisible() ? FPosition : 0; }
    int MaxPosition() const;

private:
    friend class TScrollingWinControl;
    TControlScrollBar(TScrollingWinControl* AControl, bool AVertical)
        : FControl(AControl), FVertical(AVertical) {}
    TScrollingWinControl* FControl;
    bool FVertical;
    int FPosition = 0;
    int FRange = 0;
    bool FVisible = true;
    int FIncrement = 8;
    bool FRangeFixed = false;
};

// A container whose children scroll. With AutoScroll the ranges follow the
// children's extent. Scrolling moves the children (their Left/Top change),
// as the window system scrolls child windows. The bars are painted (and
// page on a press) without a native window; with one they are native
// scroll bars kept above the children.
class TScrollingWinControl : public TCustomControl {
public:
    QM_CLASSNAME(TScrollingWinControl)
    explicit TScrollingWinControl(TComponent* AOwner);
    ~TScrollingWinControl() override;
    TControlScrollBar* HorzScrollBar() { return &FHorzScrollBar; }
    TControlScrollBar* VertScrollBar() { return &FVertScrollBar; }
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool Value);
    // Scrolls so that AControl (a descendant) lies inside the client area.
    void ScrollInView(TControl* AControl);
    void ScrollBy(int DeltaX, int DeltaY);
    // Thickness of a scroll bar.
    static constexpr int ScrollBarSize = 16;
    TRect ClientRect() const override;

protected:
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void Dispatch(TMessage& Message) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Resize() override;
    void NativeWidgetCreated() override;
    void NativeWidgetDestroying() override;
    void UpdateShowing() override;

private:
    friend class TControlScrollBar;
    friend class TScrollBarBridge;
    void CalcAutoRange();
    void ScrollBarChanged(TControlScrollBar* Bar, int OldPosition);
    void UpdateNativeBars();
    bool FAutoScroll = true;
    bool FUpdatingRange = false;
    bool FSyncingBars = false;
    TControlScrollBar FHorzScrollBar{this, false};
    TControlScrollBar FVertScrollBar{this, true};
    QWidget* FNativeHorz = nullptr;
    QWidget* FNativeVert = nullptr;
    QWidget* FNativeCorner = nullptr; // the square between the two bars
};

class TScrollBox : public TScrollingWinControl {
public:
    QM_CLASSNAME(TScrollBox)
    explicit TScrollBox(TComponent* AOwner);
};

// ---------------------------------------------------------------- hints

// A pop-up window that shows a hint text near the pointer. It has no parent
// and never takes the focus.
class THintWindow : public TCustomControl {
public:
    QM_CLASSNAME(THintWindow)
    explicit THintWindow(TComponent* AOwner);
    // Shows AHint in Rect (screen coordinates), kept on the screen.
    virtual void ActivateHint(const TRect& Rect, const std::string& AHint);
    virtual void ActivateHintData(const TRect& Rect, const std::string& AHint, void* AData);
    // The window rectangle, at the origin, for AHint wrapped at words to
    // MaxWidth (lines also break at CR, LF and CR LF).
    virtual TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData);
    // Hides the window and destroys its native window.
    void ReleaseHandle();
    bool IsHintMsg(const TMessage& Msg) const;

protected:
    void Paint() override;
    void CreateParams(TCreateParams& Params) override;
};

// Lines of Text wrapped at spaces to MaxWidth with the canvas's font (a
// word longer than MaxWidth keeps its own line); CR, LF and CR LF break.
std::vector<std::string> WrapTextLines(TCanvas* Canvas, const std::string& Text, int MaxWidth);
