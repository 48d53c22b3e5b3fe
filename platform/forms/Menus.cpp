#include "platform/forms/Menus.h"

#include <algorithm>
#include <unordered_map>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "platform/base/Text.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"

// ---- Shortcuts -------------------------------------------------------------

namespace {

struct TKeyName {
    Word Key;
    const char* Name;
};

constexpr TKeyName KeyNames[] = {
    {VK_BACK, "BkSp"}, {0x09, "Tab"},   {VK_ESCAPE, "Esc"}, {VK_RETURN, "Enter"}, {0x20, "Space"},
    {0x21, "PgUp"},    {0x22, "PgDn"},  {0x23, "End"},      {0x24, "Home"},       {0x25, "Left"},
    {0x26, "Up"},      {0x27, "Right"}, {0x28, "Down"},     {0x2D, "Ins"},        {0x2E, "Del"},
};

std::string KeyName(Word Key) {
    if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return std::string(1, char(Key));
    if (Key >= VK_F1 && Key <= VK_F1 + 23) return "F" + std::to_string(Key - VK_F1 + 1);
    for (const TKeyName& K : KeyNames)
        if (K.Key == Key) return K.Name;
    return "";
}

} // namespace

TShortCut ShortCut(Word Key, TShiftState Shift) {
    if (Key & 0xFF00) return 0;
    TShortCut R = Key;
    if (Shift.Contains(ssShift)) R |= scShift;
    if (Shift.Contains(ssCtrl)) R |= scCtrl;
    if (Shift.Contains(ssAlt)) R |= scAlt;
    return R;
}

void ShortCutToKey(TShortCut SC, Word& Key, TShiftState& Shift) {
    Key = SC & 0xFF;
    Shift = {};
    if (SC & scShift) Shift.Include(ssShift);
    if (SC & scCtrl) Shift.Include(ssCtrl);
    if (SC & scAlt) Shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut SC) {
    const std::string Name = KeyName(SC & 0xFF);
    if (Name.empty()) return "";
    std::string R;
    if (SC & scShift) R += "Shift+";
    if (SC & scCtrl) R += "Ctrl+";
    if (SC & scAlt) R += "Alt+";
    return R + Name;
}

TShortCut TextToShortCut(const std::string& Text) {
    std::string_view Rest = Text;
    TShortCut Mods = 0;
    for (bool Found = true; Found;) {
        Found = false;
        for (auto [Prefix, Bit] :
             {std::pair{"Shift+", scShift}, std::pair{"Ctrl+", scCtrl}, std::pair{"Alt+", scAlt}}) {
            const std::size_t N = std::char_traits<char>::length(Prefix);
            if (Rest.size() > N && SameText(Rest.substr(0, N), Prefix)) {
                Mods |= Bit;
                Rest.remove_prefix(N);
                Found = true;
            }
        }
    }
    // Only the 256 key codes are candidates: a linear search is enough.
    for (int Key = 1; Key < 256; ++Key) {
        const std::string Name = KeyName(Word(Key));
        if (!Name.empty() && SameText(Name, Rest)) return TShortCut(Key | Mods);
    }
    return 0;
}

// ---- Command ids -----------------------------------------------------------

namespace {

// Leaked on purpose: items may outlive any order of static destruction.
std::unordered_map<Word, TMenuItem*>& Commands() {
    static auto* Map = new std::unordered_map<Word, TMenuItem*>;
    return *Map;
}

Word AllocateCommand(TMenuItem* Item) {
    static Word Next = 0;
    auto& Map = Commands();
    for (int Tries = 0; Tries < 0x10000; ++Tries) {
        Next = Word(Next + 1);
        if (Next != 0 && Map.find(Next) == Map.end()) {
            Map[Next] = Item;
            return Next;
        }
    }
    throw EMenuError("Out of menu command ids");
}

TMenuItem* ItemOfCommand(Word Command) {
    auto It = Commands().find(Command);
    return It == Commands().end() ? nullptr : It->second;
}

} // namespace

// ---- TMenuItem -------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {
    FCommand = AllocateCommand(this);
}

TMenuItem::~TMenuItem() {
    Commands().erase(FCommand);
    if (FParent != nullptr) FParent->Remove(this);
    // Sub-items die with their parent whoever owns them.
    while (!FItems.empty()) {
        TMenuItem* Last = FItems.back();
        FItems.pop_back();
        Last->FParent = nullptr;
        delete Last;
    }
}

TComponent* TMenuItem::GetParentComponent() const {
    if (FParent != nullptr && FParent->FMenu != nullptr) return FParent->FMenu;
    return FParent;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* I = this;
    while (I->FParent != nullptr)
        I = I->FParent;
    return I->FMenu;
}

void TMenuItem::MenuChanged(bool Rebuild) {
    if (TMenu* M = GetParentMenu()) M->MenuChanged(this, Rebuild);
}

void TMenuItem::SetCaption(const std::string& Value) {
    if (Value == FCaption) return;
    FCaption = Value;
    MenuChanged(true);
}

void TMenuItem::SetShortCut(TShortCut Value) {
    if (Value == FShortCut) return;
    FShortCut = Value;
    MenuChanged(true);
}

void TMenuItem::TurnSiblingsOff() {
    if (FParent == nullptr) return;
    for (TMenuItem* S : FParent->FItems)
        if (S != this && S->FRadioItem && S->FGroupIndex == FGroupIndex && S->FChecked) {
            S->FChecked = false;
            S->MenuChanged(false);
        }
}

void TMenuItem::SetChecked(bool Value) {
    if (Value == FChecked) return;
    FChecked = Value;
    if (Value && FRadioItem) TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    MenuChanged(false);
}

void TMenuItem::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool Value) {
    if (Value == FRadioItem) return;
    FRadioItem = Value;
    if (FChecked && Value) TurnSiblingsOff();
    MenuChanged(true);
}

void TMenuItem::SetGroupIndex(Byte Value) {
    if (Value == FGroupIndex) return;
    FGroupIndex = Value;
    if (FChecked && FRadioItem) TurnSiblingsOff();
    MenuChanged(true);
}

void TMenuItem::SetDefault(bool Value) {
    if (Value == FDefault) return;
    if (Value && FParent != nullptr)
        for (TMenuItem* S : FParent->FItems)
            S->FDefault = false;
    FDefault = Value;
    MenuChanged(true);
}

void TMenuItem::SetImageIndex(int Value) {
    if (Value == FImageIndex) return;
    FImageIndex = Value;
    MenuChanged(true);
}

void TMenuItem::SetSubMenuImages(TComponent* Value) {
    if (FSubMenuImages != nullptr) FSubMenuImages->RemoveFreeNotification(this);
    FSubMenuImages = Value;
    if (Value != nullptr) Value->FreeNotification(this);
    MenuChanged(true);
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
    return FItems[std::size_t(Index)];
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto It = std::find(FItems.begin(), FItems.end(), Item);
    return It == FItems.end() ? -1 : int(It - FItems.begin());
}

int TMenuItem::MenuIndex() const {
    return FParent != nullptr ? FParent->IndexOf(this) : -1;
}

void TMenuItem::SetMenuIndex(int Value) {
    if (FParent == nullptr) return;
    TMenuItem* P = FParent;
    Value = std::clamp(Value, 0, P->Count() - 1);
    const int Cur = MenuIndex();
    if (Cur == Value) return;
    P->FItems.erase(P->FItems.begin() + Cur);
    P->FItems.insert(P->FItems.begin() + Value, this);
    MenuChanged(true);
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (Item == nullptr) return;
    for (const TMenuItem* A = this; A != nullptr; A = A->FParent)
        if (A == Item) throw EMenuError("Menu inserted twice");
    if (Item->FParent != nullptr || Item->FMenu != nullptr) throw EMenuError("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw EMenuError("Menu index out of range");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    if (Item->FChecked && Item->FRadioItem) Item->TurnSiblingsOff();
    MenuChanged(true);
}

void TMenuItem::Delete(int Index) {
    TMenuItem* Item = Items(Index);
    FItems.erase(FItems.begin() + Index);
    Item->FParent = nullptr;
    MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* Item) {
    const int I = IndexOf(Item);
    if (I < 0) throw EMenuError("Menu item not found");
    Delete(I);
}

void TMenuItem::Clear() {
    while (!FItems.empty())
        delete FItems.back(); // the destructor takes it out of the list
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
    const std::string Wanted = StripHotkey(ACaption);
    for (TMenuItem* I : FItems)
        if (SameText(StripHotkey(I->FCaption), Wanted)) return I;
    return nullptr;
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    if (FAutoCheck && !(FRadioItem && FChecked)) SetChecked(!FChecked);
    if (OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int& Width, int& Height) {
    if (IsLine()) {
        Width = 0;
        Height = std::max(ACanvas->TextHeight("-") / 2, 9);
    } else {
        std::string Text = StripHotkey(FCaption);
        if (FShortCut != 0) Text += "        " + ShortCutToText(FShortCut);
        const TSize Ext = ACanvas->TextExtent(Text.empty() ? std::string(" ") : Text);
        Width = Ext.cx + 2 * 16;
        Height = std::max(Ext.cy + 4, 19);
    }
    if (OnMeasureItem) OnMeasureItem(this, ACanvas, Width, Height);
}

void TMenuItem::AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State,
                                 bool TopLevel) {
    if (OnAdvancedDrawItem) {
        OnAdvancedDrawItem(this, ACanvas, ARect, State);
        return;
    }
    if (OnDrawItem) {
        OnDrawItem(this, ACanvas, ARect, State.Contains(odSelected));
        return;
    }
    ACanvas->FillRect(ARect);
    if (IsLine()) {
        const int Y = (ARect.Top + ARect.Bottom) / 2;
        ACanvas->Pen()->SetColor(clBtnShadow);
        ACanvas->MoveTo(ARect.Left + 1, Y - 1);
        ACanvas->LineTo(ARect.Right - 1, Y - 1);
        ACanvas->Pen()->SetColor(clBtnHighlight);
        ACanvas->MoveTo(ARect.Left + 1, Y);
        ACanvas->LineTo(ARect.Right - 1, Y);
        return;
    }
    ACanvas->Brush()->SetStyle(bsClear);
    if (State.Contains(odDisabled)) ACanvas->Font()->SetColor(clGrayText);
    const std::string Text = StripHotkey(FCaption);
    const int H = ACanvas->TextHeight(Text.empty() ? std::string(" ") : Text);
    const int Y = ARect.Top + (ARect.Height() - H) / 2;
    const int X = ARect.Left + (TopLevel ? 6 : 16);
    if (FChecked && !TopLevel)
        ACanvas->TextOut(ARect.Left + 4, Y, FRadioItem ? "\xE2\x80\xA2" : "\xE2\x9C\x93");
    ACanvas->TextOut(X, Y, Text);
    if (FShortCut != 0 && !TopLevel) {
        const std::string SC = ShortCutToText(FShortCut);
        ACanvas->TextOut(ARect.Right - 16 - ACanvas->TextWidth(SC), Y, SC);
    }
    ACanvas->Brush()->SetStyle(bsSolid);
}

// ---- TMenu -----------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner) {
    FItems = new TMenuItem(nullptr);
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    TMenuItem* Root = FItems;
    FItems = nullptr;
    Root->FMenu = nullptr;
    delete Root;
}

void TMenu::SetImages(TComponent* Value) {
    if (FImages != nullptr) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value != nullptr) Value->FreeNotification(this);
    MenuChanged(nullptr, true);
}

void TMenu::SetOwnerDraw(bool Value) {
    if (Value == FOwnerDraw) return;
    FOwnerDraw = Value;
    MenuChanged(nullptr, true);
}

TWinControl* TMenu::WindowHandle() const {
    if (FWindowHandle != nullptr) return FWindowHandle;
    return dynamic_cast<TWinControl*>(Owner());
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) FImages = nullptr;
    if (AComponent == FWindowHandle) FWindowHandle = nullptr;
}

void TMenu::MenuChanged(TMenuItem* Source, bool Rebuild) {
    if (FItems == nullptr || ComponentState().Contains(csLoading) ||
        ComponentState().Contains(csDestroying))
        return;
    if (Rebuild) ++FRebuildCount;
    if (OnChange) OnChange(this, Source, Rebuild);
}

TMenuItem* TMenu::FindItem(std::uintptr_t Value, TFindItemKind Kind) const {
    if (FItems == nullptr) return nullptr;
    std::vector<TMenuItem*> Stack{FItems};
    while (!Stack.empty()) {
        TMenuItem* I = Stack.back();
        Stack.pop_back();
        switch (Kind) {
        case fkCommand:
            if (I != FItems && I->Command() == Value) return I;
            break;
        case fkHandle:
            if (reinterpret_cast<std::uintptr_t>(I->Handle()) == Value) return I;
            break;
        case fkShortCut:
            if (I != FItems && I->ShortCut() != 0 && I->ShortCut() == Value) return I;
            break;
        }
        for (int K = I->Count() - 1; K >= 0; --K)
            Stack.push_back(I->Items(K));
    }
    return nullptr;
}

bool TMenu::DispatchCommand(Word ACommand) {
    TMenuItem* I = FindItem(ACommand, fkCommand);
    if (I == nullptr) return false;
    I->Click();
    return true;
}

bool TMenu::DispatchPopup(HMENU AMenu) {
    TMenuItem* I = FindItem(reinterpret_cast<std::uintptr_t>(AMenu), fkHandle);
    if (I == nullptr) return false;
    if (TWinControl* Host = WindowHandle())
        Host->Perform(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(AMenu),
                      I->Parent() != nullptr ? I->MenuIndex() : 0);
    I->Click();
    return true;
}

bool TMenu::IsShortCut(Word Key, TShiftState Shift) {
    const TShortCut SC = ::ShortCut(Key, Shift);
    if (SC == 0) return false;
    TMenuItem* I = FindItem(SC, fkShortCut);
    if (I == nullptr) return false;
    // The drop-downs on the way open first, so their refresh runs; a hidden
    // or disabled item (or ancestor) does not answer.
    std::vector<TMenuItem*> Path;
    for (TMenuItem* P = I->Parent(); P != nullptr && P != FItems; P = P->Parent())
        Path.insert(Path.begin(), P);
    for (TMenuItem* P : Path) {
        if (!P->Enabled() || !P->Visible()) return false;
        DispatchPopup(P->Handle());
    }
    if (!I->Enabled() || !I->Visible()) return false;
    I->Click();
    return true;
}

// ---- TPopupMenu ------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TPopupMenu::Popup(int X, int Y) {
    if (OnPopup) OnPopup(this);
    PopupMenuItems(Items(), X, Y, FAlignment);
}

// ---- Native menus ----------------------------------------------------------

void OpaqueImage(QImage& Img); // StdCtrls.cpp

namespace {

QPointer<QMenu>& OpenMenu() {
    static auto* P = new QPointer<QMenu>;
    return *P;
}

// A pop-up is freed once it is closed, but never while it handles an event:
// the toolkit hides the pop-up before it runs the chosen command, the
// command may open a modal window whose loop frees what was marked for
// deletion, and the pop-up's own mouse or key handler is still on the stack
// under the command. The count of events in progress and the pending
// release live on the top-level pop-up (sub-menus are its children and go
// with it).
TCanvas* MenuCanvas() {
    static auto* B = new TBitmap(1, 1, pf32bit);
    return B->Canvas();
}

void MeasureEntry(TMenuItem* Item, int& Width, int& Height) {
    TCanvas* C = MenuCanvas();
    C->Font()->SetColor(clMenuText);
    C->Font()->SetStyle(Item->Default() ? TFontStyles{fsBold} : TFontStyles{});
    Item->MeasureItem(C, Width, Height);
    TMenu* M = Item->GetParentMenu();
    if (TWinControl* Host = M != nullptr ? M->WindowHandle() : nullptr) {
        TMeasureItemStruct MIS;
        MIS.CtlType = ODT_MENU;
        MIS.itemID = Item->Command();
        MIS.itemWidth = UINT(std::max(Width, 0));
        MIS.itemHeight = UINT(std::max(Height, 0));
        MIS.itemData = reinterpret_cast<std::uintptr_t>(Item);
        Host->Perform(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MIS));
        Width = int(std::min<UINT>(MIS.itemWidth, 4096));
        Height = int(std::min<UINT>(MIS.itemHeight, 4096));
    }
    Width = std::max(Width, 1);
    Height = std::max(Height, 1);
}

TOwnerDrawState EntryState(const TMenuItem* Item, bool Selected) {
    TOwnerDrawState State;
    if (Selected) State.Include(odSelected);
    if (!Item->Enabled()) {
        State.Include(odDisabled);
        State.Include(odGrayed);
    }
    if (Item->Checked()) State.Include(odChecked);
    if (Item->Default()) State.Include(odDefault);
    return State;
}

// Draws one owner-drawn entry on C at R, as a native owner-drawn menu does:
// the item first, then WM_DRAWITEM to the host.
void DrawEntry(TMenuItem* Item, TCanvas& C, const TRect& R, bool Selected) {
    const TOwnerDrawState State = EntryState(Item, Selected);
    C.Brush()->SetStyle(bsSolid);
    C.Brush()->SetColor(Selected ? clHighlight : clMenu);
    C.Font()->SetColor(Selected ? clHighlightText : clMenuText);
    C.Font()->SetStyle(Item->Default() ? TFontStyles{fsBold} : TFontStyles{});
    Item->AdvancedDrawItem(&C, R, State, false);
    TMenu* M = Item->GetParentMenu();
    if (TWinControl* Host = M != nullptr ? M->WindowHandle() : nullptr) {
        TDrawItemStruct DIS;
        DIS.CtlType = ODT_MENU;
        DIS.itemID = Item->Command();
        DIS.itemState = UINT(State.Bits() & 0xFF);
        DIS.Canvas = &C;
        DIS.rcItem = R;
        DIS.itemData = reinterpret_cast<std::uintptr_t>(Item);
        Host->Perform(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DIS));
    }
}

QImage DrawEntry(TMenuItem* Item, int Width, int Height, bool Selected) {
    QImage Img(Width, Height, QImage::Format_RGB32);
    TPixelSurface S{Img.bits(), Width, Height, int(Img.bytesPerLine())};
    TCanvas C(S);
    DrawEntry(Item, C, Rect(0, 0, Width, Height), Selected);
    OpaqueImage(Img);
    return Img;
}

// Room at the right of every owner-drawn entry for a sub-menu's arrow.
constexpr int ArrowRoom = 12;

class TNativeMenu;

// Gives owner-drawn entries the size their item measured and the drop-down
// a frame of DropDownFrameWidth pixels without inner margins.
class TMenuStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                           const QWidget* Widget) const override;
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option,
                    const QWidget* Widget) const override {
        switch (Metric) {
        case PM_MenuPanelWidth:
            return DropDownFrameWidth;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuDesktopFrameWidth:
            return 0;
        default:
            return QProxyStyle::pixelMetric(Metric, Option, Widget);
        }
    }
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        // The keyboard highlight also rests on disabled entries, as in
        // native menus; the painter shows them greyed.
        if (Hint == SH_Menu_AllowActiveAndDisabled) return 1;
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

QStyle* MenuStyle() {
    static auto* S = new TMenuStyle; // leaked: menus may outlive static destruction
    return S;
}

// A drop-down whose entries are all drawn by the program: each entry is an
// ordinary action (so the keyboard, mnemonics and sub-menus work as the
// toolkit does them) painted from its item, with rectangles counted from
// the top of the drop-down so that a painter's left margin runs on from one
// entry to the next.
class TNativeMenu : public QMenu {
public:
    TNativeMenu(Word Command, bool OwnerDraw, QWidget* Parent)
        : QMenu(Parent), FCommand(Command), FOwnerDraw(OwnerDraw) {
        if (OwnerDraw) setStyle(MenuStyle());
    }
    Word Command() const { return FCommand; }
    bool OwnerDraw() const { return FOwnerDraw; }
    const QAction* Measuring() const { return FMeasuring; }
    void ReleaseWhenIdle() {
        if (Busy > 0)
            FReleasePending = true;
        else
            deleteLater();
    }
    void Leave() {
        if (--Busy == 0 && FReleasePending) {
            FReleasePending = false;
            deleteLater();
        }
    }
    int Busy = 0;
    // Left or Right on a drop-down where no sub-menu opens: the menu bar the
    // drop-down belongs to moves to its neighbour.
    std::function<void(bool Next)> SideStep;

protected:
    bool event(QEvent* E) override;
    void initStyleOption(QStyleOptionMenuItem* Option, const QAction* Action) const override {
        QMenu::initStyleOption(Option, Action);
        FMeasuring = Action;
    }
    void paintEvent(QPaintEvent* E) override {
        TMenuItem* Parent = ItemOfCommand(FCommand);
        if (!FOwnerDraw || Parent == nullptr) {
            QMenu::paintEvent(E);
            return;
        }
        QImage Img(width(), height(), QImage::Format_RGB32);
        {
            TPixelSurface All{Img.bits(), Img.width(), Img.height(), int(Img.bytesPerLine())};
            TCanvas C(All);
            C.Brush()->SetColor(clMenu);
            C.FillRect(Rect(0, 0, Img.width(), Img.height()));
            TMenu* M = Parent->GetParentMenu();
            const TRect R = Rect(0, 0, Img.width(), Img.height());
            if (M == nullptr || !M->DrawDropDownFrame(Parent, &C, R)) {
                // The raised frame of a classic drop-down.
                auto Frame = [&C](int I, TColor TopLeft, TColor BottomRight) {
                    const int W = C.ClipRect().Right - 1 - I, H = C.ClipRect().Bottom - 1 - I;
                    C.Pen()->SetColor(TopLeft);
                    C.MoveTo(I, H);
                    C.LineTo(I, I);
                    C.LineTo(W, I);
                    C.Pen()->SetColor(BottomRight);
                    C.LineTo(W, H);
                    C.LineTo(I - 1, H);
                };
                Frame(0, clBtnFace, cl3DDkShadow);
                Frame(1, clBtnHighlight, clBtnShadow);
            }
        }
        const int Fw = DropDownFrameWidth;
        for (QAction* A : actions()) {
            TMenuItem* Item = ItemOfCommand(Word(A->data().toInt()));
            const QRect G = actionGeometry(A);
            if (Item == nullptr || !A->isVisible() || G.isEmpty()) continue;
            // The entry's canvas starts at the drop-down's first entry and
            // ends with the entry, so nothing is drawn below it.
            const int Rows = std::min(G.bottom() + 1, Img.height() - Fw) - Fw;
            if (Rows <= 0) continue;
            TPixelSurface S{Img.scanLine(Fw) + 4 * Fw, Img.width() - 2 * Fw, Rows,
                            int(Img.bytesPerLine())};
            TCanvas C(S);
            const TRect R =
                Rect(G.left() - Fw, G.top() - Fw, G.right() + 1 - Fw, G.bottom() + 1 - Fw);
            const bool Selected = A == activeAction();
            DrawEntry(Item, C, R, Selected);
            if (Item->Count() > 0) SubMenuArrow(C, R, Selected && Item->Enabled());
        }
        OpaqueImage(Img);
        QPainter P(this);
        P.drawImage(0, 0, Img);
    }

private:
    static void SubMenuArrow(TCanvas& C, const TRect& R, bool Selected) {
        const int Cx = R.Right - 8, Cy = (R.Top + R.Bottom) / 2;
        C.Pen()->SetColor(Selected ? clHighlightText : clMenuText);
        for (int I = 0; I < 4; ++I) {
            C.MoveTo(Cx - 3 + I, Cy - 3 + I);
            C.LineTo(Cx - 3 + I, Cy + 4 - I);
        }
    }

    Word FCommand;
    bool FOwnerDraw;
    mutable const QAction* FMeasuring = nullptr;
    bool FReleasePending = false;
};

// A pop-up is freed once it is closed, but never while it handles an event:
// the toolkit hides the pop-up before it runs the chosen command, the
// command may open a modal window whose loop frees what was marked for
// deletion, and the pop-up's own mouse or key handler is still on the stack
// under the command. The count of events in progress and the pending
// release live on the top-level pop-up (sub-menus are its children and go
// with it).
TNativeMenu* TopMenuOf(QObject* O) {
    TNativeMenu* Top = nullptr;
    for (; O != nullptr; O = O->parent())
        if (auto* M = dynamic_cast<TNativeMenu*>(O)) Top = M;
    return Top;
}

class TMenuEventScope {
public:
    explicit TMenuEventScope(QObject* Target) : FMenu(TopMenuOf(Target)) {
        if (FMenu) ++FMenu->Busy;
    }
    ~TMenuEventScope() {
        if (FMenu) FMenu->Leave();
    }
    TMenuEventScope(const TMenuEventScope&) = delete;
    TMenuEventScope& operator=(const TMenuEventScope&) = delete;

private:
    QPointer<TNativeMenu> FMenu;
};

bool TNativeMenu::event(QEvent* E) {
    const TMenuEventScope Scope(this);
    if (E->type() == QEvent::KeyPress && SideStep) {
        const int Key = static_cast<QKeyEvent*>(E)->key();
        const QAction* A = activeAction();
        if (Key == Qt::Key_Left ||
            (Key == Qt::Key_Right && (A == nullptr || A->menu() == nullptr))) {
            // Run once this drop-down is closed and its key handled.
            QMetaObject::invokeMethod(
                qApp, [Step = SideStep, Next = Key == Qt::Key_Right] { Step(Next); },
                Qt::QueuedConnection);
            close();
            return true;
        }
    }
    return QMenu::event(E);
}

QSize TMenuStyle::sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                                   const QWidget* Widget) const {
    if (Type == CT_MenuItem) {
        if (const auto* M = dynamic_cast<const TNativeMenu*>(Widget);
            M != nullptr && M->Measuring() != nullptr &&
            M->Measuring()->property("qmOwnerDrawn").toBool()) {
            const QAction* A = M->Measuring();
            return QSize(A->property("qmWidth").toInt() + ArrowRoom,
                         A->property("qmHeight").toInt());
        }
    }
    return QProxyStyle::sizeFromContents(Type, Option, Size, Widget);
}

TWinControl* HostOf(const TMenuItem* Item) {
    TMenu* M = Item != nullptr ? Item->GetParentMenu() : nullptr;
    return M != nullptr ? M->WindowHandle() : nullptr;
}

// Tells the host which entry the pointer is on.
void ConnectHover(QMenu* Menu) {
    QObject::connect(Menu, &QMenu::hovered, Menu, [](QAction* A) {
        TMenuItem* I = ItemOfCommand(Word(A->data().toInt()));
        TWinControl* Host = HostOf(I);
        if (Host == nullptr || I->Parent() == nullptr) return;
        WPARAM Flags = MF_HILITE | MF_MOUSESELECT;
        WPARAM Id = I->Command();
        if (I->Count() > 0) {
            Flags |= MF_POPUP;
            Id = WPARAM(I->MenuIndex());
        }
        Host->Perform(WM_MENUSELECT, (Flags << 16) | Id,
                      reinterpret_cast<LPARAM>(I->Parent()->Handle()));
    });
}

void CloseAll() {
    if (QMenu* M = OpenMenu().data()) M->close();
}

void FillMenu(QMenu* Menu, TMenuItem* Item);

QAction* MakeEntry(QMenu* Menu, TMenuItem* Sub, bool OwnerDraw) {
    const Word Command = Sub->Command();
    QAction* A = nullptr;
    if (Sub->IsLine()) {
        A = Menu->addSeparator();
    } else {
        // An owner-drawn entry keeps its caption as the action's text for
        // the mnemonic; the painter draws the shortcut itself.
        std::string Text = Sub->Caption();
        if (Sub->ShortCut() != 0 && !OwnerDraw) Text += "\t" + ShortCutToText(Sub->ShortCut());
        A = Menu->addAction(QString::fromStdString(Text));
        A->setCheckable(Sub->Checked() || Sub->RadioItem() || Sub->AutoCheck());
        A->setChecked(Sub->Checked());
    }
    if (OwnerDraw) {
        int W = 0, H = 0;
        MeasureEntry(Sub, W, H);
        A->setProperty("qmOwnerDrawn", true);
        A->setProperty("qmWidth", W);
        A->setProperty("qmHeight", H);
    }
    A->setEnabled(Sub->Enabled());
    A->setVisible(Sub->Visible());
    A->setData(int(Command));
    if (Sub->Count() > 0) {
        auto* SubMenu = new TNativeMenu(Command, OwnerDraw, Menu);
        ConnectHover(SubMenu);
        A->setMenu(SubMenu);
        // Filled now so that the toolkit sees a drop-down with entries; it is
        // filled again after its refresh when it opens.
        FillMenu(SubMenu, Sub);
        QObject::connect(SubMenu, &QMenu::aboutToShow, SubMenu, [SubMenu, Command] {
            TMenuItem* I = ItemOfCommand(Command);
            if (I == nullptr) return;
            if (TMenu* M = I->GetParentMenu()) M->DispatchPopup(I->Handle());
            if ((I = ItemOfCommand(Command)) != nullptr) FillMenu(SubMenu, I);
        });
    } else {
        QObject::connect(A, &QAction::triggered, A, [Command] {
            CloseAll();
            TMenuItem* I = ItemOfCommand(Command);
            if (I == nullptr) return;
            if (TMenu* M = I->GetParentMenu())
                M->DispatchCommand(Command);
            else
                I->Click();
        });
    }
    return A;
}

void FillMenu(QMenu* Menu, TMenuItem* Item) {
    Menu->clear();
    TMenu* M = Item->GetParentMenu();
    const bool OwnerDraw = M != nullptr && M->OwnerDraw();
    for (int I = 0; I < Item->Count(); ++I)
        MakeEntry(Menu, Item->Items(I), OwnerDraw);
}

// Builds the native menu of Item's sub-items as a pop-up shows it (the
// drop-down's own refresh included).
TNativeMenu* BuildPopup(TMenuItem* Item) {
    const Word Command = Item->Command();
    if (TMenu* M = Item->GetParentMenu()) M->DispatchPopup(Item->Handle());
    Item = ItemOfCommand(Command);
    if (Item == nullptr) return nullptr;
    TMenu* Owner = Item->GetParentMenu();
    auto* Menu = new TNativeMenu(Command, Owner != nullptr && Owner->OwnerDraw(), nullptr);
    ConnectHover(Menu);
    FillMenu(Menu, Item);
    return Menu;
}

} // namespace

void PopupMenuItems(TMenuItem* Item, int X, int Y, TPopupAlignment Alignment,
                    std::function<void(bool Next)> SideStep) {
    if (Item == nullptr) return;
    CloseAll();
    TNativeMenu* Menu = BuildPopup(Item);
    if (Menu == nullptr) return;
    // The pop-up takes the mouse: a control that opened it on a button press
    // (a drop-down arrow) never sees that button's release nor the pointer
    // leaving it. It lets the mouse go, or the next click anywhere would be
    // sent to it, and it is left, or it would keep its hover look.
    if (TControl* Held = GetCaptureControl()) {
        SetCaptureControl(nullptr);
        TWinControl* Host = dynamic_cast<TWinControl*>(Held);
        if (Host == nullptr) Host = Held->Parent();
        if (Host != nullptr) Host->Perform(CM_MOUSELEAVE, 0, 0);
    }
    Menu->SideStep = std::move(SideStep);
    OpenMenu() = Menu;
    const Word Root = Item->Command();
    QObject::connect(Menu, &QMenu::aboutToHide, Menu, [Menu, Root] {
        if (TWinControl* Host = HostOf(ItemOfCommand(Root)))
            Host->Perform(WM_MENUSELECT, WPARAM(0xFFFF) << 16, 0);
        Menu->ReleaseWhenIdle();
    });
    const int W = Menu->sizeHint().width();
    if (Alignment == paRight)
        X -= W;
    else if (Alignment == paCenter)
        X -= W / 2;
    Menu->popup(QPoint(X, Y));
}

void CloseNativeMenus() {
    CloseAll();
}

// A control's own context menu (StdCtrls.cpp), open as the other pop-ups are.
void ShowContextMenu(QMenu* Menu, const QPoint& At) {
    CloseAll();
    OpenMenu() = Menu;
    Menu->popup(At);
}

bool ClickOpenMenuEntry(int Index) {
    QMenu* Menu = OpenMenu().data();
    if (Menu == nullptr || !Menu->isVisible()) return false;
    const QList<QAction*> Actions = Menu->actions();
    if (Index < 0 || Index >= Actions.size()) return false;
    QWidget* Target = Menu;
    QPoint At = Menu->actionGeometry(Actions[Index]).center();
    const QPointF Global = Target->mapToGlobal(QPointF(At));
    QMouseEvent Press(QEvent::MouseButtonPress, QPointF(At), Global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(Target, &Press);
    // The release may free neither the pop-up nor the entry: both are still
    // in use when the command it runs returns.
    QMouseEvent Release(QEvent::MouseButtonRelease, QPointF(At), Global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Target, &Release);
    return true;
}

bool PressOpenMenuArrow(bool Right) {
    QMenu* Menu = OpenMenu().data();
    if (Menu == nullptr || !Menu->isVisible()) return false;
    QKeyEvent Press(QEvent::KeyPress, Right ? Qt::Key_Right : Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(Menu, &Press);
    return true;
}

std::vector<TNativeMenuEntry> ReadNativeMenu(TMenuItem* Item) {
    std::vector<TNativeMenuEntry> R;
    if (Item == nullptr) return R;
    QMenu* Menu = BuildPopup(Item);
    if (Menu == nullptr) return R;
    for (QAction* A : Menu->actions()) {
        TNativeMenuEntry E;
        E.Text = A->text().toStdString();
        E.Separator = A->isSeparator();
        E.Enabled = A->isEnabled();
        E.Checked = A->isChecked();
        E.Visible = A->isVisible();
        E.HasSubMenu = A->menu() != nullptr;
        if (A->property("qmOwnerDrawn").toBool()) {
            E.OwnerDrawn = true;
            E.Width = A->property("qmWidth").toInt();
            E.Height = A->property("qmHeight").toInt();
        }
        R.push_back(E);
    }
    delete Menu;
    return R;
}

void NativeMenuChoose(TMenuItem* Item, int Index) {
    if (Item == nullptr) return;
    QMenu* Menu = BuildPopup(Item);
    if (Menu == nullptr) return;
    const QList<QAction*> Actions = Menu->actions();
    if (Index >= 0 && Index < Actions.size()) {
        emit Menu->hovered(Actions[Index]); // the pointer reaches the entry first
        if (Actions[Index]->isEnabled()) Actions[Index]->trigger();
    }
    delete Menu;
}

bool GrabNativeMenuEntry(TMenuItem* Item, int Index, bool Selected,
                         std::vector<std::uint32_t>& Pixels, int& Width, int& Height) {
    if (Item == nullptr || Index < 0 || Index >= Item->Count()) return false;
    TMenuItem* Sub = Item->Items(Index);
    MeasureEntry(Sub, Width, Height);
    const QImage Img = DrawEntry(Sub, Width, Height, Selected);
    Pixels.resize(std::size_t(Width) * std::size_t(Height));
    for (int Y = 0; Y < Height; ++Y) {
        const auto* Row = reinterpret_cast<const std::uint32_t*>(Img.constScanLine(Y));
        std::copy(Row, Row + Width, Pixels.begin() + std::ptrdiff_t(Y) * Width);
    }
    return true;
}
