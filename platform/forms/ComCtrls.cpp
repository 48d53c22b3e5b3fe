#include "platform/forms/ComCtrls.h"

#include <QAbstractSlider>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVariant>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Menus.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"

namespace {

constexpr const char* ControlProperty = "qmComCtrlsControl";

[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void Bind(QObject* W, TControl* Control) {
    W->setProperty(ControlProperty, QVariant::fromValue(static_cast<void*>(Control)));
}
void Unbind(QObject* W) {
    if (W != nullptr) W->setProperty(ControlProperty, QVariant());
}
template <class T> T* Bound(QObject* W) {
    const QVariant V = W->property(ControlProperty);
    return V.isValid() ? static_cast<T*>(static_cast<TControl*>(V.value<void*>())) : nullptr;
}

// Runs an event that came from the widget: an exception must not cross the
// toolkit's frames, so it goes to the application as the bridge's do.
template <class F> void Guarded(TObject* Sender, F&& Fn) {
    try {
        Fn();
    } catch (...) {
        if (Application != nullptr) Application->HandleException(Sender);
    }
}

QString Q(const std::string& S) {
    return QString::fromStdString(S);
}

// Points Self's Field at Value and moves the free notification that clears
// the field when the component goes; false when Field already held Value.
template <class T> bool ReferTo(TComponent* Self, T*& Field, T* Value) {
    if (Value == Field) return false;
    if (Field != nullptr) Field->RemoveFreeNotification(Self);
    Field = Value;
    if (Value != nullptr) Value->FreeNotification(Self);
    return true;
}

// TColor (0x00BBGGRR, system colours resolved) as 0xAARRGGBB.
std::uint32_t ToPixel(TColor C, std::uint32_t Alpha = 255) {
    const auto V = std::uint32_t(ColorToRGB(C));
    return (Alpha << 24) | ((V & 0xFF) << 16) | (V & 0xFF00) | ((V >> 16) & 0xFF);
}

std::uint32_t Mix(std::uint32_t A, std::uint32_t B, int WeightB) {
    std::uint32_t R = A & 0xFF000000u;
    for (int Shift = 0; Shift < 24; Shift += 8) {
        const int X = int((A >> Shift) & 0xFF), Y = int((B >> Shift) & 0xFF);
        R |= std::uint32_t((X * (256 - WeightB) + Y * WeightB + 128) >> 8) << Shift;
    }
    return R;
}

// Source-over of a straight-alpha pixel.
void BlendPixel(std::uint32_t& Dst, std::uint32_t Src) {
    const std::uint32_t A = Src >> 24;
    if (A == 0) return;
    if (A == 255) {
        Dst = Src;
        return;
    }
    std::uint32_t R = 0;
    for (int Shift = 0; Shift < 24; Shift += 8) {
        const std::uint32_t S = (Src >> Shift) & 0xFF, D = (Dst >> Shift) & 0xFF;
        R |= ((S * A + D * (255 - A) + 127) / 255) << Shift;
    }
    const std::uint32_t DA = Dst >> 24;
    R |= (A + (DA * (255 - A) + 127) / 255) << 24;
    Dst = R;
}

// Item views take the mouse on their viewport, which the bridge does not
// watch: clicks there become the control's clicks.
class TViewportClicks : public QObject {
public:
    TViewportClicks(QObject* Parent, QObject* Owner) : QObject(Parent), FOwner(Owner) {}
    bool eventFilter(QObject* Watched, QEvent* E) override {
        if (E->type() == QEvent::MouseButtonRelease || E->type() == QEvent::MouseButtonDblClick) {
            auto* M = static_cast<QMouseEvent*>(E);
            if (M->button() == Qt::LeftButton)
                if (auto* C = Bound<TControl>(FOwner))
                    Guarded(C, [C, E] {
                        if (E->type() == QEvent::MouseButtonRelease)
                            C->Click();
                        else
                            C->DblClick();
                    });
        }
        return QObject::eventFilter(Watched, E);
    }

private:
    QObject* FOwner;
};

void WatchViewportClicks(QAbstractItemView* View) {
    View->viewport()->installEventFilter(new TViewportClicks(View->viewport(), View));
}

} // namespace

// ============================================================== image list

TChangeLink::~TChangeLink() {
    if (FSender != nullptr) FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
    if (OnChange) OnChange(FSender);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner) {
    FWidth = std::max(AWidth, 1);
    FHeight = std::max(AHeight, 1);
}

TCustomImageList::~TCustomImageList() {
    for (TChangeLink* L : FLinks)
        L->SetSender(nullptr);
}

void TCustomImageList::SetSize(int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 1);
    AHeight = std::max(AHeight, 1);
    if (AWidth == FWidth && AHeight == FHeight) return;
    FWidth = AWidth;
    FHeight = AHeight;
    FImages.clear();
    Change();
}

void TCustomImageList::SetBkColor(TColor Value) {
    if (Value == FBkColor) return;
    FBkColor = Value;
    Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
    if (Value == FDrawingStyle) return;
    FDrawingStyle = Value;
    Change();
}

std::vector<TCustomImageList::TImage>
TCustomImageList::Slice(TBitmap* Image, TBitmap* Mask, bool UseColor, TColor MaskColor) const {
    std::vector<TImage> R;
    if (Image == nullptr || Image->Width() < FWidth || Image->Height() <= 0) return R;
    const int N = Image->Width() / FWidth;
    const int Rows = std::min(Image->Height(), FHeight);
    bool KeepAlpha = false;
    if (Mask == nullptr && !UseColor && Image->PixelFormat() == pf32bit) {
        for (int Y = 0; Y < Image->Height() && !KeepAlpha; ++Y) {
            const Byte* Row = Image->ScanLine(Y);
            for (int X = 0; X < Image->Width(); ++X)
                if (Row[X * 4 + 3] != 0) {
                    KeepAlpha = true;
                    break;
                }
        }
    }
    std::uint32_t Hidden = 0;
    bool HideColor = UseColor && MaskColor != clNone;
    if (HideColor) {
        const TColor C = MaskColor == clDefault ? Image->PixelColor(0, Image->Height() - 1)
                                                : ColorToRGB(MaskColor);
        Hidden = ToPixel(C) & 0xFFFFFFu;
    }
    R.resize(std::size_t(N));
    for (int I = 0; I < N; ++I) {
        std::vector<std::uint32_t>& P = R[std::size_t(I)].Pixels;
        P.assign(std::size_t(FWidth) * std::size_t(FHeight), 0u);
        for (int Y = 0; Y < Rows; ++Y) {
            const Byte* Row32 = KeepAlpha ? Image->ScanLine(Y) : nullptr;
            for (int X = 0; X < FWidth; ++X) {
                const int SX = I * FWidth + X;
                std::uint32_t Px = ToPixel(Image->PixelColor(SX, Y)) & 0xFFFFFFu;
                std::uint32_t A = 255;
                if (KeepAlpha) A = Row32[SX * 4 + 3];
                if (HideColor && Px == Hidden) A = 0;
                if (Mask != nullptr && SX < Mask->Width() && Y < Mask->Height() &&
                    (ColorToRGB(Mask->PixelColor(SX, Y)) & 0xFFFFFF) != 0)
                    A = 0;
                P[std::size_t(Y) * std::size_t(FWidth) + std::size_t(X)] =
                    A == 0 ? 0u : (A << 24) | Px;
            }
        }
    }
    return R;
}

int TCustomImageList::InsertImages(int Index, std::vector<TImage> New) {
    if (Index < 0 || Index > Count()) IndexError(Index);
    if (New.empty()) return -1;
    FImages.insert(FImages.begin() + Index, std::make_move_iterator(New.begin()),
                   std::make_move_iterator(New.end()));
    Change();
    return Index;
}

void TCustomImageList::ReplaceImage(int Index, std::vector<TImage> New) {
    if (!ValidIndex(Index)) IndexError(Index);
    if (New.empty()) return;
    FImages[std::size_t(Index)] = std::move(New.front());
    Change();
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    return InsertImages(Count(), Slice(Image, Mask, false, clNone));
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    return InsertImages(Count(), Slice(Image, nullptr, true, MaskColor));
}

void TCustomImageList::Insert(int Index, TBitmap* Image, TBitmap* Mask) {
    InsertImages(Index, Slice(Image, Mask, false, clNone));
}

void TCustomImageList::InsertMasked(int Index, TBitmap* Image, TColor MaskColor) {
    InsertImages(Index, Slice(Image, nullptr, true, MaskColor));
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    ReplaceImage(Index, Slice(Image, Mask, false, clNone));
}

void TCustomImageList::ReplaceMasked(int Index, TBitmap* Image, TColor MaskColor) {
    ReplaceImage(Index, Slice(Image, nullptr, true, MaskColor));
}

void TCustomImageList::Delete(int Index) {
    if (Index == -1) {
        FImages.clear();
    } else {
        if (!ValidIndex(Index)) IndexError(Index);
        FImages.erase(FImages.begin() + Index);
    }
    Change();
}

void TCustomImageList::Move(int CurIndex, int NewIndex) {
    if (!ValidIndex(CurIndex)) IndexError(CurIndex);
    if (!ValidIndex(NewIndex)) IndexError(NewIndex);
    if (CurIndex == NewIndex) return;
    TImage I = std::move(FImages[std::size_t(CurIndex)]);
    FImages.erase(FImages.begin() + CurIndex);
    FImages.insert(FImages.begin() + NewIndex, std::move(I));
    Change();
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
    Draw(Canvas, X, Y, Index, FDrawingStyle, itImage, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
    if (Canvas == nullptr || !ValidIndex(Index)) return;
    TPixelSurface S;
    if (!Canvas->AcquireSurface(S)) return;
    const std::vector<std::uint32_t>& P = FImages[std::size_t(Index)].Pixels;
    // Blends Pixel(image pixel) over the canvas for every pixel of the
    // image, offset by (DX, DY); a result of 0 leaves the canvas alone.
    auto Stamp = [&](int DX, int DY, auto Pixel) {
        for (int J = 0; J < FHeight; ++J) {
            const int TY = Y + DY + J;
            if (TY < 0 || TY >= S.Height) continue;
            std::uint32_t* Row = S.Row(TY);
            for (int I = 0; I < FWidth; ++I) {
                const int TX = X + DX + I;
                if (TX < 0 || TX >= S.Width) continue;
                const std::uint32_t Px = P[std::size_t(J) * std::size_t(FWidth) + std::size_t(I)];
                const std::uint32_t Out = Pixel(Px);
                if (Out != 0) BlendPixel(Row[TX], Out);
            }
        }
    };
    if (AImageType == itMask) {
        Stamp(0, 0, [](std::uint32_t Px) { return (Px >> 24) >= 128 ? 0xFF000000u : 0xFFFFFFFFu; });
    } else if (!Enabled) {
        // The embossed look of a disabled button face.
        const std::uint32_t Hi = ToPixel(clBtnHighlight), Sh = ToPixel(clBtnShadow);
        Stamp(1, 1, [Hi](std::uint32_t Px) { return (Px >> 24) >= 128 ? Hi : 0u; });
        Stamp(0, 0, [Sh](std::uint32_t Px) { return (Px >> 24) >= 128 ? Sh : 0u; });
    } else {
        if (ADrawingStyle == dsNormal && FBkColor != clNone) {
            const std::uint32_t Bk = ToPixel(FBkColor);
            Stamp(0, 0, [Bk](std::uint32_t) { return Bk; });
        }
        const int Weight = ADrawingStyle == dsSelected ? 128 : ADrawingStyle == dsFocus ? 64 : 0;
        const std::uint32_t Blend = ToPixel(FBlendColor);
        Stamp(0, 0, [Weight, Blend](std::uint32_t Px) {
            return Weight == 0 || (Px >> 24) == 0 ? Px : Mix(Px, Blend, Weight);
        });
    }
    Canvas->ReleaseSurface(true);
}

std::vector<std::uint32_t> TCustomImageList::ImagePixels(int Index) const {
    if (!ValidIndex(Index)) return {};
    return FImages[std::size_t(Index)].Pixels;
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Bitmap) const {
    if (Bitmap == nullptr || !ValidIndex(Index)) return false;
    Bitmap->SetPixelFormat(pf32bit);
    Bitmap->SetSize(FWidth, FHeight);
    const std::vector<std::uint32_t>& P = FImages[std::size_t(Index)].Pixels;
    for (int Y = 0; Y < FHeight; ++Y)
        std::memcpy(Bitmap->ScanLine(Y), P.data() + std::size_t(Y) * std::size_t(FWidth),
                    std::size_t(FWidth) * 4);
    return true;
}

bool TCustomImageList::GetIcon(int Index, TIcon* Icon) const {
    // An icon file holds at most 256 x 256 pixels.
    if (Icon == nullptr || !ValidIndex(Index) || FWidth > 256 || FHeight > 256) return false;
    const std::vector<std::uint32_t>& P = FImages[std::size_t(Index)].Pixels;
    const std::uint32_t MaskStride = ((std::uint32_t(FWidth) + 31) / 32) * 4;
    const std::uint32_t PixelBytes = std::uint32_t(FWidth) * std::uint32_t(FHeight) * 4;
    const std::uint32_t ImageSize = 40 + PixelBytes + MaskStride * std::uint32_t(FHeight);
    std::vector<Byte> F;
    auto Put16 = [&F](std::uint32_t V) {
        F.push_back(Byte(V));
        F.push_back(Byte(V >> 8));
    };
    auto Put32 = [&](std::uint32_t V) {
        Put16(V & 0xFFFF);
        Put16(V >> 16);
    };
    // Icon directory: reserved, type 1 (icon), one entry.
    Put16(0);
    Put16(1);
    Put16(1);
    // Directory entry: width, height (0 means 256), no palette, planes,
    // bits, size and offset of the image.
    F.push_back(Byte(FWidth == 256 ? 0 : FWidth));
    F.push_back(Byte(FHeight == 256 ? 0 : FHeight));
    F.push_back(0);
    F.push_back(0);
    Put16(1);
    Put16(32);
    Put32(ImageSize);
    Put32(22);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    Put32(40);
    Put32(std::uint32_t(FWidth));
    Put32(std::uint32_t(FHeight) * 2);
    Put16(1);
    Put16(32);
    Put32(0);
    Put32(PixelBytes);
    Put32(0);
    Put32(0);
    Put32(0);
    Put32(0);
    for (int Y = FHeight - 1; Y >= 0; --Y)
        for (int X = 0; X < FWidth; ++X)
            Put32(P[std::size_t(Y) * std::size_t(FWidth) + std::size_t(X)]);
    for (int Y = FHeight - 1; Y >= 0; --Y) {
        std::vector<Byte> Row(MaskStride, 0);
        for (int X = 0; X < FWidth; ++X)
            if ((P[std::size_t(Y) * std::size_t(FWidth) + std::size_t(X)] >> 24) == 0)
                Row[std::size_t(X / 8)] |= Byte(0x80 >> (X % 8));
        F.insert(F.end(), Row.begin(), Row.end());
    }
    TMemoryStream S;
    S.Write(F.data(), std::int64_t(F.size()));
    S.Seek(0, soBeginning);
    Icon->LoadFromStream(S);
    return true;
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
    if (Value == nullptr) return;
    if (Value->Sender() != nullptr && Value->Sender() != this)
        Value->Sender()->UnRegisterChanges(Value);
    Value->SetSender(this);
    if (std::find(FLinks.begin(), FLinks.end(), Value) == FLinks.end()) FLinks.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
    auto It = std::find(FLinks.begin(), FLinks.end(), Value);
    if (It == FLinks.end()) return;
    FLinks.erase(It);
    Value->SetSender(nullptr);
}

void TCustomImageList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
        FChangedWhileUpdating = false;
        Change();
    }
}

void TCustomImageList::Change() {
    if (FUpdateCount > 0) {
        FChangedWhileUpdating = true;
        return;
    }
    // A link may unregister itself from its handler.
    const std::vector<TChangeLink*> Links = FLinks;
    for (TChangeLink* L : Links)
        if (std::find(FLinks.begin(), FLinks.end(), L) != FLinks.end()) L->Change();
    if (OnChange) OnChange(this);
}

// ============================================================== owned items

template <class TList, class TItem, class TOwner>
TItem* TOwnedItems<TList, TItem, TOwner>::InsertItem(int Index) {
    if (Index < 0 || Index > Count()) IndexError(Index);
    auto It = FItems.insert(FItems.begin() + Index, std::unique_ptr<TItem>(new TItem(FOwner)));
    static_cast<TList*>(this)->Changed();
    return It->get();
}

template <class TList, class TItem, class TOwner>
TItem* TOwnedItems<TList, TItem, TOwner>::ItemAt(int Index) const {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    return FItems[std::size_t(Index)].get();
}

template <class TList, class TItem, class TOwner>
int TOwnedItems<TList, TItem, TOwner>::IndexOf(const TItem* Value) const {
    for (std::size_t I = 0; I < FItems.size(); ++I)
        if (FItems[I].get() == Value) return int(I);
    return -1;
}

template <class TList, class TItem, class TOwner>
void TOwnedItems<TList, TItem, TOwner>::Delete(int Index) {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    FItems.erase(FItems.begin() + Index);
    static_cast<TList*>(this)->Changed();
}

template <class TList, class TItem, class TOwner> void TOwnedItems<TList, TItem, TOwner>::Clear() {
    FItems.clear();
    static_cast<TList*>(this)->Changed();
}

template class TOwnedItems<TListColumns, TListColumn, TListView>;
template class TOwnedItems<TListItems, TListItem, TListView>;
template class TOwnedItems<TStatusPanels, TStatusPanel, TStatusBar>;

// ============================================================== list view

void TListColumn::SetCaption(const std::string& Value) {
    FCaption = Value;
    FOwner->ItemsChanged();
}
void TListColumn::SetWidth(int Value) {
    FWidth = Value;
    FOwner->ItemsChanged();
}
void TListColumn::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    FOwner->ItemsChanged();
}
int TListColumn::Index() const {
    return FOwner->FColumns.IndexOf(this);
}

void TListColumns::Changed() {
    FOwner->ItemsChanged();
}

TListItem::TListItem(TListView* AOwner) : FOwner(AOwner) {
    FSubItems.OnChange = [this](TObject*) { FOwner->ItemsChanged(); };
}
TListItem::~TListItem() {
    FSubItems.OnChange = nullptr;
}
void TListItem::SetCaption(const std::string& Value) {
    if (Value == FCaption) return;
    FCaption = Value;
    FOwner->ItemsChanged();
}
void TListItem::SetImageIndex(int Value) {
    if (Value == FImageIndex) return;
    FImageIndex = Value;
    FOwner->ItemsChanged();
}
void TListItem::SetSelected(bool Value) {
    FOwner->ItemSelecting(this, Value);
}
int TListItem::Index() const {
    return FOwner->FItems.IndexOf(this);
}
void TListItem::Delete() {
    FOwner->FItems.Delete(Index());
}

void TListItems::Changed() {
    FOwner->ItemsChanged();
}
void TListItems::BeginUpdate() {
    ++FOwner->FUpdateCount;
}
void TListItems::EndUpdate() {
    if (FOwner->FUpdateCount > 0 && --FOwner->FUpdateCount == 0) FOwner->ItemsChanged();
}

class TListViewBridge {
public:
    static void Connect(QTreeWidget* T) {
        QObject::connect(T, &QTreeWidget::itemSelectionChanged, T, [T] {
            if (auto* C = Bound<TListView>(T)) Guarded(C, [C] { C->NativeSelectionChanged(); });
        });
    }
};

TListView::TListView(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 250, 150);
    SetColor(clWindow);
    SetParentColor(false);
    FTabStop = true;
}

TListView::~TListView() {
    FDestroying = true;
    // Unbinds the widget while this object is still a list view.
    DestroyHandle();
}

void TListView::SetViewStyle(TViewStyle Value) {
    if (Value == FViewStyle) return;
    FViewStyle = Value;
    ItemsChanged();
}

void TListView::SetMultiSelect(bool Value) {
    if (Value == FMultiSelect) return;
    FMultiSelect = Value;
    if (!Value) {
        bool First = true;
        for (auto& I : FItems.FItems) {
            if (I->FSelected && !First) I->FSelected = false;
            if (I->FSelected) First = false;
        }
    }
    ItemsChanged();
}

void TListView::SetRowSelect(bool Value) {
    if (Value == FRowSelect) return;
    FRowSelect = Value;
    ItemsChanged();
}

void TListView::SetShowColumnHeaders(bool Value) {
    if (Value == FShowColumnHeaders) return;
    FShowColumnHeaders = Value;
    ItemsChanged();
}

void TListView::SetSmallImages(TCustomImageList* Value) {
    ReferTo(this, FSmallImages, Value);
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSmallImages) FSmallImages = nullptr;
}

TListItem* TListView::Selected() const {
    for (const auto& I : FItems.FItems)
        if (I->FSelected) return I.get();
    return nullptr;
}

void TListView::SetSelected(TListItem* Value) {
    if (Value != nullptr && Value->FOwner != this) return;
    for (const auto& I : FItems.FItems)
        if (I.get() != Value && I->FSelected) ItemSelecting(I.get(), false);
    if (Value != nullptr) ItemSelecting(Value, true);
}

int TListView::ItemIndex() const {
    const TListItem* S = Selected();
    return S != nullptr ? S->Index() : -1;
}

void TListView::SetItemIndex(int Value) {
    SetSelected(Value >= 0 && Value < FItems.Count() ? FItems.Item(Value) : nullptr);
}

int TListView::SelCount() const {
    return int(std::count_if(FItems.FItems.begin(), FItems.FItems.end(),
                             [](const auto& I) { return I->FSelected; }));
}

void TListView::ItemSelecting(TListItem* Item, bool Value) {
    if (Item == nullptr || Item->FSelected == Value) return;
    if (Value && !FMultiSelect) {
        // The old row is deselected, with its event, before the new one is
        // selected.
        for (const auto& I : FItems.FItems)
            if (I.get() != Item && I->FSelected) {
                I->FSelected = false;
                if (OnSelectItem) OnSelectItem(this, I.get(), false);
            }
    }
    Item->FSelected = Value;
    SyncNativeSelection();
    if (OnSelectItem) OnSelectItem(this, Item, Value);
}

void TListView::ItemsChanged() {
    if (FUpdateCount == 0 && !FDestroying) SyncNative();
}

QWidget* TListView::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* T = new QTreeWidget(ParentWidget);
    T->setRootIsDecorated(false);
    T->setUniformRowHeights(true);
    T->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return T;
}

void TListView::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TListView::NativeWidgetCreated() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    Bind(T, this);
    TListViewBridge::Connect(T);
    WatchViewportClicks(T);
    SyncNative();
}

void TListView::SyncNative() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    if (T == nullptr) return;
    FSyncing = true;
    T->clear();
    const bool Report = FViewStyle == vsReport;
    const int Cols = Report ? std::max(1, FColumns.Count()) : 1;
    T->setColumnCount(Cols);
    T->setHeaderHidden(!Report || !FShowColumnHeaders);
    T->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection
                                     : QAbstractItemView::SingleSelection);
    T->setSelectionBehavior(FRowSelect ? QAbstractItemView::SelectRows
                                       : QAbstractItemView::SelectItems);
    if (Report) {
        QStringList Labels;
        for (int C = 0; C < FColumns.Count(); ++C) {
            Labels << Q(FColumns.Items(C)->Caption());
            T->setColumnWidth(C, FColumns.Items(C)->Width());
        }
        if (!Labels.isEmpty()) T->setHeaderLabels(Labels);
    }
    for (const auto& I : FItems.FItems) {
        auto* W = new QTreeWidgetItem(T);
        W->setText(0, Q(I->FCaption));
        for (int C = 1; C < Cols && C - 1 < I->FSubItems.Count(); ++C)
            W->setText(C, Q(I->FSubItems.Get(C - 1)));
        if (Report)
            for (int C = 0; C < FColumns.Count(); ++C) {
                const TAlignment A = FColumns.Items(C)->Alignment();
                W->setTextAlignment(C, A == taRightJustify ? Qt::AlignRight | Qt::AlignVCenter
                                       : A == taCenter     ? Qt::AlignHCenter | Qt::AlignVCenter
                                                           : Qt::AlignLeft | Qt::AlignVCenter);
            }
    }
    FSyncing = false;
    SyncNativeSelection();
}

void TListView::SyncNativeSelection() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    if (T == nullptr || FUpdateCount > 0) return;
    const bool Was = FSyncing;
    FSyncing = true;
    QTreeWidgetItem* Current = nullptr;
    for (int I = 0; I < T->topLevelItemCount() && I < FItems.Count(); ++I) {
        QTreeWidgetItem* W = T->topLevelItem(I);
        const bool S = FItems.FItems[std::size_t(I)]->FSelected;
        if (S && Current == nullptr) Current = W;
        if (W->isSelected() != S) W->setSelected(S);
    }
    if (Current != nullptr) T->setCurrentItem(Current, 0, QItemSelectionModel::NoUpdate);
    FSyncing = Was;
}

void TListView::NativeSelectionChanged() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    if (T == nullptr || FSyncing) return;
    std::vector<TListItem*> On, Off;
    for (int I = 0; I < T->topLevelItemCount() && I < FItems.Count(); ++I) {
        TListItem* Item = FItems.FItems[std::size_t(I)].get();
        const bool S = T->topLevelItem(I)->isSelected();
        if (S != Item->FSelected) (S ? On : Off).push_back(Item);
    }
    FSyncing = true;
    for (TListItem* I : Off) {
        I->FSelected = false;
        if (OnSelectItem) OnSelectItem(this, I, false);
    }
    for (TListItem* I : On) {
        I->FSelected = true;
        if (OnSelectItem) OnSelectItem(this, I, true);
    }
    FSyncing = false;
}

// ============================================================== tree view

TTreeNode::~TTreeNode() = default;

void TTreeNode::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    FOwner->FOwner->NodesChanged();
}

void TTreeNode::SetImageIndex(int Value) {
    FImageIndex = Value;
}

bool TTreeNode::Selected() const {
    return FOwner->FOwner->FSelected == this;
}

void TTreeNode::SetSelected(bool Value) {
    TTreeView* V = FOwner->FOwner;
    if (Value)
        V->SetSelected(this);
    else if (V->FSelected == this)
        V->SetSelected(nullptr);
}

void TTreeNode::SetExpanded(bool Value) {
    if (Value == FExpanded) return;
    FExpanded = Value;
    FOwner->FOwner->NodeExpandedChanged(this);
}

void TTreeNode::Expand(bool Recurse) {
    SetExpanded(true);
    if (Recurse)
        for (auto& C : FChildren)
            C->Expand(true);
}

void TTreeNode::Collapse(bool Recurse) {
    SetExpanded(false);
    if (Recurse)
        for (auto& C : FChildren)
            C->Collapse(true);
}

TTreeNode* TTreeNode::Item(int Index) const {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    return FChildren[std::size_t(Index)].get();
}

std::vector<std::unique_ptr<TTreeNode>>& TTreeNode::Siblings() const {
    return FOwner->ListOf(FParent);
}

int TTreeNode::Index() const {
    const auto& S = Siblings();
    for (std::size_t I = 0; I < S.size(); ++I)
        if (S[I].get() == this) return int(I);
    return -1;
}

int TTreeNode::AbsoluteIndex() const {
    int N = 0;
    for (TTreeNode* P = FOwner->GetFirstNode(); P != nullptr; P = P->GetNext(), ++N)
        if (P == this) return N;
    return -1;
}

int TTreeNode::Level() const {
    int L = 0;
    for (TTreeNode* P = FParent; P != nullptr; P = P->FParent)
        ++L;
    return L;
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& S = Siblings();
    const int I = Index();
    return I + 1 < int(S.size()) ? S[std::size_t(I + 1)].get() : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    const int I = Index();
    return I > 0 ? Siblings()[std::size_t(I - 1)].get() : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!FChildren.empty()) return FChildren.front().get();
    for (const TTreeNode* N = this; N != nullptr; N = N->FParent)
        if (TTreeNode* S = N->GetNextSibling()) return S;
    return nullptr;
}

TTreeView* TTreeNode::TreeView() const {
    return FOwner->FOwner;
}

void TTreeNode::Delete() {
    TTreeView* V = FOwner->FOwner;
    V->NodeRemoving(this);
    auto& S = Siblings();
    const int I = Index();
    std::unique_ptr<TTreeNode> Self = std::move(S[std::size_t(I)]);
    S.erase(S.begin() + I);
    Self.reset();
    V->NodesChanged();
}

void TTreeNode::DeleteChildren() {
    TTreeView* V = FOwner->FOwner;
    for (auto& C : FChildren)
        V->NodeRemoving(C.get());
    FChildren.clear();
    V->NodesChanged();
}

std::vector<std::unique_ptr<TTreeNode>>& TTreeNodes::ListOf(TTreeNode* Parent) {
    // A node of another tree counts as none: this tree's top level.
    return Parent != nullptr && Parent->FOwner == this ? Parent->FChildren : FRoots;
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* Parent, std::size_t Pos, const std::string& S,
                                void* Ptr) {
    if (Parent != nullptr && Parent->FOwner != this) Parent = nullptr;
    auto& L = ListOf(Parent);
    std::unique_ptr<TTreeNode> N(new TTreeNode(this, Parent));
    N->FText = S;
    N->FData = Ptr;
    TTreeNode* R = N.get();
    L.insert(L.begin() + std::ptrdiff_t(std::min(Pos, L.size())), std::move(N));
    FOwner->NodesChanged();
    return R;
}

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const std::string& S) {
    return AddObject(Sibling, S, nullptr);
}
TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const std::string& S, void* Ptr) {
    TTreeNode* Parent = Sibling != nullptr ? Sibling->FParent : nullptr;
    return InsertAt(Parent, ListOf(Parent).size(), S, Ptr);
}
TTreeNode* TTreeNodes::AddFirst(TTreeNode* Sibling, const std::string& S) {
    return InsertAt(Sibling != nullptr ? Sibling->FParent : nullptr, 0, S, nullptr);
}
TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::string& S) {
    return AddChildObject(Parent, S, nullptr);
}
TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr) {
    return InsertAt(Parent, ListOf(Parent).size(), S, Ptr);
}
TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const std::string& S) {
    return InsertAt(Parent, 0, S, nullptr);
}
TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const std::string& S) {
    if (Sibling == nullptr || Sibling->FOwner != this)
        return InsertAt(nullptr, FRoots.size(), S, nullptr);
    return InsertAt(Sibling->FParent, std::size_t(Sibling->Index()), S, nullptr);
}

int TTreeNodes::Count() const {
    int N = 0;
    for (TTreeNode* P = GetFirstNode(); P != nullptr; P = P->GetNext())
        ++N;
    return N;
}

TTreeNode* TTreeNodes::Item(int Index) const {
    if (Index >= 0) {
        int N = 0;
        for (TTreeNode* P = GetFirstNode(); P != nullptr; P = P->GetNext(), ++N)
            if (N == Index) return P;
    }
    IndexError(Index);
}

void TTreeNodes::Delete(TTreeNode* Node) {
    if (Node != nullptr && Node->FOwner == this) Node->Delete();
}

void TTreeNodes::Clear() {
    FOwner->FSelected = nullptr;
    FOwner->FTopItem = nullptr;
    FRoots.clear();
    FOwner->NodesChanged();
}

void TTreeNodes::BeginUpdate() {
    ++FOwner->FUpdateCount;
}

void TTreeNodes::EndUpdate() {
    if (FOwner->FUpdateCount > 0 && --FOwner->FUpdateCount == 0) FOwner->NodesChanged();
}

class TTreeViewBridge {
public:
    static TTreeNode* NodeOf(QTreeWidgetItem* I) {
        return I != nullptr ? static_cast<TTreeNode*>(I->data(0, Qt::UserRole).value<void*>())
                            : nullptr;
    }
    static QTreeWidgetItem* ItemOf(QTreeWidget* T, const TTreeNode* N) {
        if (N == nullptr) return nullptr;
        for (QTreeWidgetItemIterator It(T); *It != nullptr; ++It)
            if (NodeOf(*It) == N) return *It;
        return nullptr;
    }
    static void Connect(QTreeWidget* T) {
        QObject::connect(T, &QTreeWidget::currentItemChanged, T,
                         [T](QTreeWidgetItem* Current, QTreeWidgetItem*) {
                             if (auto* C = Bound<TTreeView>(T))
                                 Guarded(
                                     C, [C, Current] { C->NativeCurrentChanged(NodeOf(Current)); });
                         });
        auto Expansion = [T](QTreeWidgetItem* I, bool Expanded) {
            auto* C = Bound<TTreeView>(T);
            if (C == nullptr || C->FSyncing) return;
            if (TTreeNode* N = NodeOf(I)) Guarded(C, [N, Expanded] { N->SetExpanded(Expanded); });
        };
        QObject::connect(T, &QTreeWidget::itemExpanded, T,
                         [Expansion](QTreeWidgetItem* I) { Expansion(I, true); });
        QObject::connect(T, &QTreeWidget::itemCollapsed, T,
                         [Expansion](QTreeWidgetItem* I) { Expansion(I, false); });
    }
    static void Fill(QTreeWidget* T, QTreeWidgetItem* Parent, const TTreeNode* N) {
        auto* I = Parent != nullptr ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(T);
        I->setText(0, Q(N->Text()));
        I->setData(0, Qt::UserRole,
                   QVariant::fromValue(static_cast<void*>(const_cast<TTreeNode*>(N))));
        for (int C = 0; C < N->Count(); ++C)
            Fill(T, I, N->Item(C));
        I->setExpanded(N->Expanded());
    }
};

TTreeView::TTreeView(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 121, 97);
    SetColor(clWindow);
    SetParentColor(false);
    FTabStop = true;
}

TTreeView::~TTreeView() {
    FDestroying = true;
    DestroyHandle();
    FSelected = nullptr;
    FTopItem = nullptr;
}

void TTreeView::SetSelected(TTreeNode* Value) {
    if (Value == FSelected || (Value != nullptr && Value->FOwner != &FNodes)) return;
    bool Allow = true;
    if (OnChanging) OnChanging(this, Value, Allow);
    if (!Allow) {
        SyncNativeSelection();
        return;
    }
    FSelected = Value;
    // The selected node is made visible.
    if (Value != nullptr)
        for (TTreeNode* P = Value->FParent; P != nullptr; P = P->FParent)
            P->SetExpanded(true);
    SyncNativeSelection();
    if (OnChange) OnChange(this, Value);
}

TTreeNode* TTreeView::TopItem() const {
    if (auto* T = static_cast<QTreeWidget*>(NativeWidget()); T != nullptr && T->isVisible()) {
        if (TTreeNode* N = TTreeViewBridge::NodeOf(T->itemAt(QPoint(1, 1)))) return N;
    }
    return FTopItem != nullptr ? FTopItem : FNodes.GetFirstNode();
}

void TTreeView::SetTopItem(TTreeNode* Value) {
    FTopItem = Value;
    if (auto* T = static_cast<QTreeWidget*>(NativeWidget()); T != nullptr && Value != nullptr)
        if (QTreeWidgetItem* I = TTreeViewBridge::ItemOf(T, Value))
            T->scrollToItem(I, QAbstractItemView::PositionAtTop);
}

void TTreeView::SetShowRoot(bool Value) {
    if (Value == FShowRoot) return;
    FShowRoot = Value;
    if (auto* T = static_cast<QTreeWidget*>(NativeWidget())) T->setRootIsDecorated(Value);
}

void TTreeView::FullExpand() {
    for (TTreeNode* N = FNodes.GetFirstNode(); N != nullptr; N = N->GetNextSibling())
        N->Expand(true);
}

void TTreeView::FullCollapse() {
    for (TTreeNode* N = FNodes.GetFirstNode(); N != nullptr; N = N->GetNextSibling())
        N->Collapse(true);
}

void TTreeView::NodeRemoving(TTreeNode* Node) {
    auto Inside = [Node](const TTreeNode* N) {
        for (; N != nullptr; N = N->FParent)
            if (N == Node) return true;
        return false;
    };
    if (Inside(FSelected)) FSelected = nullptr;
    if (Inside(FTopItem)) FTopItem = nullptr;
}

void TTreeView::NodesChanged() {
    if (FUpdateCount == 0 && !FDestroying) SyncNative();
}

void TTreeView::NodeExpandedChanged(TTreeNode* Node) {
    if (!FSyncing && FUpdateCount == 0)
        if (auto* T = static_cast<QTreeWidget*>(NativeWidget()))
            if (QTreeWidgetItem* I = TTreeViewBridge::ItemOf(T, Node)) {
                FSyncing = true;
                I->setExpanded(Node->FExpanded);
                FSyncing = false;
            }
    if (Node->FExpanded ? bool(OnExpanded) : bool(OnCollapsed))
        (Node->FExpanded ? OnExpanded : OnCollapsed)(this, Node);
}

QWidget* TTreeView::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* T = new QTreeWidget(ParentWidget);
    T->setHeaderHidden(true);
    T->setColumnCount(1);
    // The one column is as wide as its longest text, so that the horizontal
    // scroll bar shows only when a text is wider than the box (a hidden
    // header keeps its default section width, wider than a small tree).
    T->header()->setStretchLastSection(false);
    T->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    T->setSelectionMode(QAbstractItemView::SingleSelection);
    T->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return T;
}

void TTreeView::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TTreeView::NativeWidgetCreated() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    Bind(T, this);
    TTreeViewBridge::Connect(T);
    WatchViewportClicks(T);
    SyncNative();
}

void TTreeView::SyncNative() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    if (T == nullptr) return;
    FSyncing = true;
    T->clear();
    T->setRootIsDecorated(FShowRoot);
    for (TTreeNode* N = FNodes.GetFirstNode(); N != nullptr; N = N->GetNextSibling())
        TTreeViewBridge::Fill(T, nullptr, N);
    FSyncing = false;
    SyncNativeSelection();
    if (FTopItem != nullptr) SetTopItem(FTopItem);
}

void TTreeView::SyncNativeSelection() {
    auto* T = static_cast<QTreeWidget*>(NativeWidget());
    if (T == nullptr || FUpdateCount > 0) return;
    const bool Was = FSyncing;
    FSyncing = true;
    QTreeWidgetItem* I = TTreeViewBridge::ItemOf(T, FSelected);
    T->setCurrentItem(I);
    if (I == nullptr) T->clearSelection();
    FSyncing = Was;
}

void TTreeView::NativeCurrentChanged(TTreeNode* Node) {
    if (FSyncing || Node == FSelected) return;
    SetSelected(Node);
}

// ============================================================== page control

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
    SetVisible(false);
    SetAlign(alClient);
    SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() {
    if (FPageControl != nullptr) FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    SetParent(Value);
}

void TTabSheet::SetParent(TWinControl* AParent) {
    if (AParent == Parent()) return;
    if (FPageControl != nullptr) {
        FPageControl->RemovePage(this);
        FPageControl = nullptr;
    }
    TCustomControl::SetParent(AParent);
    if (auto* PC = dynamic_cast<TPageControl*>(AParent)) PC->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (FPageControl == nullptr) return -1;
    const auto& P = FPageControl->FPages;
    return int(std::find(P.begin(), P.end(), this) - P.begin());
}

void TTabSheet::SetPageIndex(int Value) {
    if (FPageControl == nullptr) return;
    auto& P = FPageControl->FPages;
    Value = std::clamp(Value, 0, int(P.size()) - 1);
    P.erase(P.begin() + PageIndex());
    P.insert(P.begin() + Value, this);
    FPageControl->TabsChanged();
}

int TTabSheet::TabIndex() const {
    if (FPageControl == nullptr || !FTabVisible) return -1;
    const auto V = FPageControl->VisibleTabs();
    return int(std::find(V.begin(), V.end(), this) - V.begin());
}

void TTabSheet::SetTabVisible(bool Value) {
    if (Value == FTabVisible) return;
    FTabVisible = Value;
    if (FPageControl != nullptr) FPageControl->TabsChanged();
}

void TTabSheet::Changed() {
    if (FPageControl != nullptr) FPageControl->Invalidate();
}

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 289, 193);
    SetColor(clBtnFace);
    FTabStop = true;
    FControlStyle.Include(csAcceptsControls);
}

TPageControl::~TPageControl() {
    // The sheets are freed by the windowed control's destructor after this
    // one: they must not call back.
    for (TTabSheet* P : FPages)
        P->FPageControl = nullptr;
    FPages.clear();
    FActivePage = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
    if (Index < 0 || Index >= PageCount()) IndexError(Index);
    return FPages[std::size_t(Index)];
}

void TPageControl::SetActivePage(TTabSheet* Page) {
    if (Page != nullptr && Page->FPageControl != this) return;
    if (Page == FActivePage) return;
    TTabSheet* Old = FActivePage;
    FActivePage = Page;
    if (Page != nullptr) {
        Page->SetVisible(true);
        Page->BringToFront();
    }
    if (Old != nullptr) Old->SetVisible(false);
    Invalidate();
}

int TPageControl::ActivePageIndex() const {
    return FActivePage != nullptr ? FActivePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int Value) {
    SetActivePage(Value >= 0 && Value < PageCount() ? FPages[std::size_t(Value)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* CurPage, bool GoForward,
                                      bool CheckTabVisible) const {
    const int N = PageCount();
    if (N == 0) return nullptr;
    auto It = std::find(FPages.begin(), FPages.end(), CurPage);
    int Start = It == FPages.end() ? (GoForward ? N - 1 : 0) : int(It - FPages.begin());
    int I = Start;
    for (int K = 0; K < N; ++K) {
        I = GoForward ? (I + 1) % N : (I + N - 1) % N;
        TTabSheet* P = FPages[std::size_t(I)];
        if (!CheckTabVisible || P->FTabVisible) return P;
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool GoForward, bool CheckTabVisible) {
    TTabSheet* P = FindNextPage(FActivePage, GoForward, CheckTabVisible);
    if (P == nullptr || P == FActivePage) return;
    bool Allow = true;
    if (OnChanging) OnChanging(this, Allow);
    if (!Allow) return;
    SetActivePage(P);
    if (OnChange) OnChange(this);
}

std::vector<TTabSheet*> TPageControl::VisibleTabs() const {
    std::vector<TTabSheet*> R;
    for (TTabSheet* P : FPages)
        if (P->FTabVisible) R.push_back(P);
    return R;
}

int TPageControl::TabHeight() const {
    return VisibleTabs().empty() ? 0 : 20;
}

std::vector<int> TPageControl::TabWidths() const {
    std::vector<int> R;
    TCanvas C;
    C.SetFont(*const_cast<TPageControl*>(this)->Font());
    for (TTabSheet* P : VisibleTabs())
        R.push_back(C.TextWidth(StripHotkey(P->Caption())) + 16);
    return R;
}

TRect TPageControl::TabRect(int TabIndex) const {
    const std::vector<int> W = TabWidths();
    if (TabIndex < 0 || TabIndex >= int(W.size())) return {};
    int X = 2;
    for (int I = 0; I < TabIndex; ++I)
        X += W[std::size_t(I)];
    return {X, 0, X + W[std::size_t(TabIndex)], TabHeight()};
}

int TPageControl::IndexOfTabAt(int X, int Y) const {
    const int N = int(VisibleTabs().size());
    for (int I = 0; I < N; ++I)
        if (PtInRect(TabRect(I), TPoint{X, Y})) return I;
    return -1;
}

void TPageControl::SetImages(TCustomImageList* Value) {
    if (ReferTo(this, FImages, Value)) Invalidate();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void TPageControl::ShowControl(TControl* AControl) {
    if (auto* P = dynamic_cast<TTabSheet*>(AControl); P != nullptr && P->FPageControl == this)
        SetActivePage(P);
    TCustomControl::ShowControl(AControl);
}

void TPageControl::InsertPage(TTabSheet* Page) {
    FPages.push_back(Page);
    Page->FPageControl = this;
    Page->SetVisible(false);
    // A page control always shows a page while it has one.
    if (FActivePage == nullptr) SetActivePage(Page);
    TabsChanged();
}

void TPageControl::RemovePage(TTabSheet* Page) {
    if (Page == FActivePage) {
        TTabSheet* Next = FindNextPage(Page, true, false);
        SetActivePage(Next != Page ? Next : nullptr);
    }
    FPages.erase(std::remove(FPages.begin(), FPages.end(), Page), FPages.end());
    Page->FPageControl = nullptr;
    TabsChanged();
}

void TPageControl::TabsChanged() {
    Realign();
    Invalidate();
}

void TPageControl::AdjustClientRect(TRect& Rect) const {
    if (VisibleTabs().empty()) return;
    Rect.Top += TabHeight();
    InflateRect(Rect, -2, -2);
}

// Every page fills the display area, shown or not, so that what lies on a
// hidden page is laid out (and can be measured) before the page shows.
void TPageControl::AlignControls(TControl* AControl, TRect& Rect) {
    TCustomControl::AlignControls(AControl, Rect);
    for (TTabSheet* P : FPages)
        if (!P->Visible()) P->SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        const int I = IndexOfTabAt(X, Y);
        if (I >= 0) {
            // A click on a tab, not on a page, takes the focus.
            if (TabStop() && CanFocus() && !Focused()) SetFocus();
            TTabSheet* P = VisibleTabs()[std::size_t(I)];
            if (P != FActivePage) {
                bool Allow = true;
                if (OnChanging) OnChanging(this, Allow);
                if (Allow) {
                    SetActivePage(P);
                    if (OnChange) OnChange(this);
                }
            }
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPageControl::Paint() {
    TCanvas* C = Canvas();
    const TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
    const std::vector<TTabSheet*> Tabs = VisibleTabs();
    if (Tabs.empty()) return;
    TRect Body{R.Left, R.Top + TabHeight(), R.Right, R.Bottom};
    Frame3D(C, Body, clBtnHighlight, clBtnShadow, 1);
    C->SetFont(*Font());
    C->Brush()->SetStyle(bsClear);
    for (int I = 0; I < int(Tabs.size()); ++I) {
        TRect T = TabRect(I);
        const bool Active = Tabs[std::size_t(I)] == FActivePage;
        if (!Active) T.Top += 2;
        T.Bottom += Active ? 1 : 0;
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(Color());
        C->FillRect(T);
        TRect F = T;
        Frame3D(C, F, clBtnHighlight, clBtnShadow, 1);
        if (Active) {
            // The active tab opens into its page.
            C->Pen()->SetColor(Color());
            C->MoveTo(T.Left + 1, T.Bottom - 1);
            C->LineTo(T.Right - 1, T.Bottom - 1);
        }
        C->Brush()->SetStyle(bsClear);
        const std::string S = StripHotkey(Tabs[std::size_t(I)]->Caption());
        const TSize E = C->TextExtent(S);
        C->TextRect(T, T.Left + (T.Width() - E.cx) / 2, T.Top + (T.Height() - E.cy) / 2, S);
    }
}

// ============================================================== tool bar

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() {
    if (FBar != nullptr) FBar->RemoveButton(this);
}

TToolBar* TToolButton::ToolBar() const {
    return FBar;
}

void TToolButton::SetParent(TWinControl* AParent) {
    if (AParent == Parent()) return;
    if (FBar != nullptr) FBar->RemoveButton(this);
    FBar = nullptr;
    TGraphicControl::SetParent(AParent);
    if (auto* B = dynamic_cast<TToolBar*>(AParent)) B->InsertButton(this);
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (FBar != nullptr) FBar->UpdateButtons();
    Invalidate();
}

void TToolButton::SetDropdownMenu(TComponent* Value) {
    ReferTo(this, FDropdownMenu, Value);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDropdownMenu) FDropdownMenu = nullptr;
}

void TToolButton::SetImageIndex(int Value) {
    if (Value == FImageIndex) return;
    FImageIndex = Value;
    Invalidate();
}

std::vector<TToolButton*> TToolButton::GroupMembers() {
    std::vector<TToolButton*> R;
    if (FBar == nullptr || !FGrouped || FStyle != tbsCheck) return R;
    const auto& B = FBar->FButtons;
    const auto Me = std::find(B.begin(), B.end(), this);
    if (Me == B.end()) return R;
    // A group is the run of grouped check buttons around this one.
    auto First = Me;
    while (First != B.begin() && (*(First - 1))->FGrouped && (*(First - 1))->FStyle == tbsCheck)
        --First;
    for (auto It = First; It != B.end() && (*It)->FGrouped && (*It)->FStyle == tbsCheck; ++It)
        R.push_back(*It);
    return R;
}

void TToolButton::SetDown(bool Value) {
    if (Value == FDown) return;
    FDown = Value;
    if (Value)
        for (TToolButton* B : GroupMembers())
            if (B != this && B->FDown) {
                B->FDown = false;
                B->Invalidate();
            }
    Invalidate();
}

void TToolButton::Click() {
    if (FStyle == tbsCheck) {
        if (!FDown)
            SetDown(true);
        else if (!FGrouped || FAllowAllUp)
            SetDown(false);
    }
    TGraphicControl::Click();
}

void TToolButton::Dispatch(TMessage& Message) {
    if (!ClickOnHotKey(this, Message)) TGraphicControl::Dispatch(Message);
}

void TToolButton::Changed() {
    if (FBar != nullptr) FBar->UpdateButtons();
    Invalidate();
}

void TToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && FStyle != tbsSeparator && FStyle != tbsDivider) {
        if (FStyle == tbsDropDown && X >= Width() - 14) {
            // The arrow part opens the menu instead of clicking.
            FControlState.Exclude(csClicked);
            if (OnDropDown) OnDropDown(this);
            if (auto* M = dynamic_cast<TPopupMenu*>(FDropdownMenu)) {
                M->SetPopupComponent(this);
                const TPoint P = ClientToScreen({0, Height()});
                M->Popup(P.X, P.Y);
            }
        } else {
            FPressed = true;
            Invalidate();
        }
    }
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FPressed) {
        FPressed = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TToolButton::MouseEnter() {
    TGraphicControl::MouseEnter();
    if (FBar != nullptr && FBar->FFlat) Invalidate();
}

void TToolButton::MouseLeave() {
    TGraphicControl::MouseLeave();
    if (FBar != nullptr && FBar->FFlat) Invalidate();
}

void TToolButton::Paint() {
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    if (FStyle == tbsSeparator) return;
    if (FStyle == tbsDivider) {
        const int X = R.Width() / 2 - 1;
        C->Pen()->SetColor(clBtnShadow);
        C->MoveTo(X, 1);
        C->LineTo(X, R.Bottom - 1);
        C->Pen()->SetColor(clBtnHighlight);
        C->MoveTo(X + 1, 1);
        C->LineTo(X + 1, R.Bottom - 1);
        return;
    }
    const bool Sunken = FDown || (FPressed && MouseInControl());
    const bool Flat = FBar != nullptr && FBar->FFlat;
    if (Sunken)
        Frame3D(C, R, clBtnShadow, clBtnHighlight, 1);
    else if (!Flat || (MouseInControl() && Enabled()))
        Frame3D(C, R, clBtnHighlight, clBtnShadow, 1);
    int Right = R.Right;
    if (FStyle == tbsDropDown) {
        Right -= 14;
        const int AX = Right + 4, AY = R.Top + R.Height() / 2 - 1;
        C->Pen()->SetColor(Enabled() ? clBtnText : clGrayText);
        for (int I = 0; I < 3; ++I) {
            C->MoveTo(AX + I, AY + I);
            C->LineTo(AX + 5 - I, AY + I);
        }
    }
    const int Shift = Sunken ? 1 : 0;
    TCustomImageList* Images = nullptr;
    bool DrawEnabled = Enabled();
    if (FBar != nullptr) {
        Images = FBar->FImages;
        if (!Enabled() && FBar->FDisabledImages != nullptr) {
            Images = FBar->FDisabledImages;
            DrawEnabled = true;
        }
    }
    const bool Captions = FBar != nullptr && FBar->FShowCaptions;
    int TextTop = R.Top + 2;
    if (Images != nullptr && FImageIndex >= 0 && FImageIndex < Images->Count()) {
        const int IX = R.Left + (Right - R.Left - Images->Width()) / 2 + Shift;
        const int IY =
            Captions ? R.Top + 3 + Shift : R.Top + (R.Height() - Images->Height()) / 2 + Shift;
        Images->Draw(C, IX, IY, FImageIndex, DrawEnabled);
        TextTop = IY + Images->Height() + 1;
    }
    if (Captions) {
        const std::string S = StripHotkey(Caption());
        C->SetFont(*Font());
        C->Brush()->SetStyle(bsClear);
        const TSize E = C->TextExtent(S);
        const int TX = R.Left + (Right - R.Left - E.cx) / 2 + Shift;
        if (!Enabled()) {
            C->Font()->SetColor(clBtnHighlight);
            C->TextOut(TX + 1, TextTop + 1 + Shift, S);
            C->Font()->SetColor(clBtnShadow);
        }
        C->TextOut(TX, TextTop + Shift, S);
    }
}

TToolBar::TToolBar(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 150, 29);
    SetAlign(alTop);
    SetColor(clBtnFace);
    FControlStyle.Include(csAcceptsControls);
    FImageLink.OnChange = [this](TObject*) { UpdateButtons(); };
}

TToolBar::~TToolBar() {
    for (TToolButton* B : FButtons)
        B->FBar = nullptr;
    FButtons.clear();
}

TToolButton* TToolBar::Buttons(int Index) const {
    if (Index < 0 || Index >= ButtonCount()) IndexError(Index);
    return FButtons[std::size_t(Index)];
}

void TToolBar::SetImages(TCustomImageList* Value) {
    if (Value == FImages) return;
    if (FImages != nullptr) {
        FImages->UnRegisterChanges(&FImageLink);
        FImages->RemoveFreeNotification(this);
    }
    FImages = Value;
    if (Value != nullptr) {
        Value->RegisterChanges(&FImageLink);
        Value->FreeNotification(this);
    }
    UpdateButtons();
}

void TToolBar::SetDisabledImages(TCustomImageList* Value) {
    if (ReferTo(this, FDisabledImages, Value)) Invalidate();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) {
        FImages = nullptr;
        UpdateButtons();
    }
    if (AComponent == FDisabledImages) FDisabledImages = nullptr;
}

void TToolBar::SetButtonWidth(int Value) {
    if (Value == FButtonWidth) return;
    FButtonWidth = std::max(Value, 0);
    UpdateButtons();
}

void TToolBar::SetButtonHeight(int Value) {
    if (Value == FButtonHeight) return;
    FButtonHeight = std::max(Value, 0);
    UpdateButtons();
}

void TToolBar::SetShowCaptions(bool Value) {
    if (Value == FShowCaptions) return;
    FShowCaptions = Value;
    UpdateButtons();
}

void TToolBar::SetFlat(bool Value) {
    if (Value == FFlat) return;
    FFlat = Value;
    Invalidate();
}

void TToolBar::InsertButton(TToolButton* Button) {
    FButtons.push_back(Button);
    Button->FBar = this;
    UpdateButtons();
}

void TToolBar::RemoveButton(TToolButton* Button) {
    FButtons.erase(std::remove(FButtons.begin(), FButtons.end(), Button), FButtons.end());
    Button->FBar = nullptr;
    UpdateButtons();
}

TSize TToolBar::ButtonSize() {
    TSize S{FButtonWidth, FButtonHeight};
    const int IW = FImages != nullptr ? FImages->Width() : 0;
    const int IH = FImages != nullptr ? FImages->Height() : 0;
    if (FShowCaptions) {
        TCanvas C;
        C.SetFont(*Font());
        int TW = 0;
        for (TToolButton* B : FButtons)
            TW = std::max(TW, C.TextWidth(StripHotkey(B->Caption())));
        S.cx = std::max(S.cx, std::max(TW, IW) + 8);
        S.cy = std::max(S.cy, IH + C.TextHeight("W") + 8);
    } else if (FImages != nullptr) {
        S.cx = std::max(S.cx, IW + 7);
        S.cy = std::max(S.cy, IH + 6);
    }
    return S;
}

void TToolBar::UpdateButtons() {
    Realign();
    Invalidate();
}

void TToolBar::AlignControls(TControl* AControl, TRect& Rect) {
    TCustomControl::AlignControls(AControl, Rect);
    if (FLayingOut) return;
    FLayingOut = true;
    const TSize S = ButtonSize();
    int X = Rect.Left;
    for (TToolButton* B : FButtons) {
        if (!B->Visible()) continue;
        int W = S.cx;
        if (B->FStyle == tbsSeparator || B->FStyle == tbsDivider)
            W = 8;
        else if (B->FStyle == tbsDropDown)
            W += 14;
        B->SetBounds(X, Rect.Top, W, S.cy);
        X += W;
    }
    FLayingOut = false;
}

// ============================================================== status bar

void TStatusPanel::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    FOwner->Invalidate();
}
void TStatusPanel::SetWidth(int Value) {
    if (Value == FWidth) return;
    FWidth = std::max(Value, 0);
    FOwner->Invalidate();
}
void TStatusPanel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    FOwner->Invalidate();
}
void TStatusPanel::SetBevel(TBevelCut Value) {
    if (Value == FBevel) return;
    FBevel = Value;
    FOwner->Invalidate();
}
int TStatusPanel::Index() const {
    return FOwner->FPanels.IndexOf(this);
}

void TStatusPanels::Changed() {
    FOwner->Invalidate();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
    SetColor(clBtnFace);
}

void TStatusBar::SetSimplePanel(bool Value) {
    if (Value == FSimplePanel) return;
    FSimplePanel = Value;
    Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& Value) {
    if (Value == FSimpleText) return;
    FSimpleText = Value;
    Invalidate();
}

TRect TStatusBar::PanelRect(int Index) const {
    const int N = FPanels.Count();
    if (Index < 0 || Index >= N) return {};
    int X = 0;
    for (int I = 0; I < Index; ++I)
        X += FPanels.FItems[std::size_t(I)]->FWidth;
    // The last panel takes what is left of the bar.
    const int Own = X + FPanels.FItems[std::size_t(Index)]->FWidth;
    const int Right = Index == N - 1 ? std::max(ClientWidth(), Own) : Own;
    return {X, 0, Right, ClientHeight()};
}

void TStatusBar::Paint() {
    TCanvas* C = Canvas();
    const TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
    C->SetFont(*Font());
    C->Brush()->SetStyle(bsClear);
    auto Text = [C](TRect Box, const std::string& S, TAlignment A) {
        InflateRect(Box, -2, -1);
        const TSize E = C->TextExtent(S);
        int X = Box.Left + 1;
        if (A == taRightJustify)
            X = Box.Right - 1 - E.cx;
        else if (A == taCenter)
            X = Box.Left + (Box.Width() - E.cx) / 2;
        C->TextRect(Box, X, Box.Top + (Box.Height() - E.cy) / 2, S);
    };
    if (FSimplePanel) {
        Text(R, FSimpleText, taLeftJustify);
        return;
    }
    for (int I = 0; I < FPanels.Count(); ++I) {
        const TStatusPanel* P = FPanels.FItems[std::size_t(I)].get();
        TRect Box = PanelRect(I);
        Box.Right -= 2; // the gap between panels
        TRect Frame = Box;
        if (P->FBevel == bvLowered)
            Frame3D(C, Frame, clBtnShadow, clBtnHighlight, 1);
        else if (P->FBevel == bvRaised)
            Frame3D(C, Frame, clBtnHighlight, clBtnShadow, 1);
        C->Brush()->SetStyle(bsClear);
        Text(Box, P->FText, P->FAlignment);
    }
}

// ============================================================== progress bar

TProgressBar::TProgressBar(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 150, 16);
    SetColor(clBtnFace);
}

void TProgressBar::SetMin(int Value) {
    FMin = Value;
    FMax = std::max(FMax, FMin);
    FPosition = std::clamp(FPosition, FMin, FMax);
    Invalidate();
}

void TProgressBar::SetMax(int Value) {
    FMax = Value;
    FMin = std::min(FMin, FMax);
    FPosition = std::clamp(FPosition, FMin, FMax);
    Invalidate();
}

void TProgressBar::SetPosition(int Value) {
    Value = std::clamp(Value, FMin, FMax);
    if (Value == FPosition) return;
    FPosition = Value;
    Invalidate();
}

void TProgressBar::StepIt() {
    const std::int64_t Next = std::int64_t(FPosition) + FStep;
    SetPosition(Next > FMax || Next < FMin ? FMin : int(Next));
}

void TProgressBar::SetOrientation(TProgressBarOrientation Value) {
    if (Value == FOrientation) return;
    FOrientation = Value;
    Invalidate();
}

TRect TProgressBar::BarRect() const {
    TRect R = ClientRect();
    InflateRect(R, -1, -1);
    const std::int64_t Span = std::int64_t(FMax) - FMin;
    const std::int64_t Done = std::int64_t(FPosition) - FMin;
    if (Span <= 0) return {R.Left, R.Top, R.Left, R.Bottom};
    if (FOrientation == pbHorizontal) {
        R.Right = R.Left + int(std::int64_t(R.Width()) * Done / Span);
    } else {
        R.Top = R.Bottom - int(std::int64_t(R.Height()) * Done / Span);
    }
    return R;
}

void TProgressBar::Paint() {
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    Frame3D(C, R, clBtnShadow, clBtnHighlight, 1);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
    C->Brush()->SetColor(clHighlight);
    C->FillRect(BarRect());
}

// ============================================================== track bar

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 150, 45);
    SetColor(clBtnFace);
    FTabStop = true;
}

void TTrackBar::SetParams(int APosition, int AMin, int AMax) {
    if (AMax < AMin) {
        if (!ComponentState().Contains(csLoading))
            throw EInvalidOperation("TTrackBar property out of range");
        // While loading Max may come before Min: keep both, fixed in Loaded.
        FMin = AMin;
        FMax = AMax;
        return;
    }
    APosition = std::clamp(APosition, AMin, AMax);
    FMin = AMin;
    FMax = AMax;
    const bool Moved = APosition != FPosition;
    FPosition = APosition;
    SyncNative();
    if (Moved) DoChange();
}

void TTrackBar::Loaded() {
    TWinControl::Loaded();
    if (FMax < FMin) FMax = FMin;
    FPosition = std::clamp(FPosition, FMin, FMax);
    SyncNative();
}

void TTrackBar::DoChange() {
    if (OnChange) OnChange(this);
}

void TTrackBar::SetFrequency(int Value) {
    FFrequency = Value;
    SyncNative();
}

void TTrackBar::SetLineSize(int Value) {
    FLineSize = Value;
    SyncNative();
}

void TTrackBar::SetPageSize(int Value) {
    FPageSize = Value;
    SyncNative();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
    if (Value == FOrientation) return;
    FOrientation = Value;
    SetBounds(Left(), Top(), Height(), Width());
    SyncNative();
}

void TTrackBar::SetTickStyle(TTickStyle Value) {
    FTickStyle = Value;
    SyncNative();
}

QWidget* TTrackBar::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    return new QSlider(ParentWidget);
}

void TTrackBar::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TTrackBar::NativeWidgetCreated() {
    auto* S = static_cast<QSlider*>(NativeWidget());
    Bind(S, this);
    QObject::connect(S, &QAbstractSlider::valueChanged, S, [S](int V) {
        auto* C = Bound<TTrackBar>(S);
        if (C != nullptr && !C->FSyncing) Guarded(C, [C, V] { C->SetPosition(V); });
    });
    SyncNative();
}

void TTrackBar::SyncNative() {
    auto* S = static_cast<QSlider*>(NativeWidget());
    if (S == nullptr || FMax < FMin) return;
    FSyncing = true;
    S->setOrientation(FOrientation == trHorizontal ? Qt::Horizontal : Qt::Vertical);
    // A vertical track bar has its minimum at the top.
    S->setInvertedAppearance(FOrientation == trVertical);
    S->setRange(FMin, FMax);
    S->setValue(FPosition);
    S->setSingleStep(FLineSize);
    S->setPageStep(FPageSize);
    S->setTickInterval(std::max(FFrequency, 1));
    S->setTickPosition(FTickStyle == tsNone ? QSlider::NoTicks : QSlider::TicksBelow);
    FSyncing = false;
}

// ============================================================== scroll box

int TControlScrollBar::MaxPosition() const {
    const TRect C = FControl->ClientRect();
    return std::max(0, FRange - (FVertical ? C.Height() : C.Width()));
}

bool TControlScrollBar::IsScrollBarVisible() const {
    if (!FVisible) return false;
    const int Along = FVertical ? FControl->Height() : FControl->Width();
    const int Across = FVertical ? FControl->Width() : FControl->Height();
    const TControlScrollBar& Other =
        FVertical ? FControl->FHorzScrollBar : FControl->FVertScrollBar;
    // The other bar, when needed, takes room from this direction too.
    return FRange > Along || (FRange > Along - TScrollingWinControl::ScrollBarSize &&
                              Other.FVisible && Other.FRange > Across);
}

void TControlScrollBar::SetPosition(int Value) {
    Value = std::clamp(Value, 0, MaxPosition());
    if (Value == FPosition) return;
    const int Old = FPosition;
    FPosition = Value;
    FControl->ScrollBarChanged(this, Old);
}

void TControlScrollBar::SetRange(int Value) {
    FRangeFixed = true;
    FRange = std::max(Value, 0);
    SetPosition(FPosition);
    FControl->UpdateNativeBars();
    FControl->Invalidate();
}

void TControlScrollBar::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    SetPosition(FPosition);
    FControl->Realign();
    FControl->Invalidate();
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner) : TCustomControl(AOwner) {
    FControlStyle.Include(csAcceptsControls);
}

TScrollingWinControl::~TScrollingWinControl() {
    DestroyHandle();
}

class TScrollBarBridge {
public:
    static QScrollBar* Make(TScrollingWinControl* Owner, QWidget* Parent, bool Vertical) {
        auto* B = new QScrollBar(Vertical ? Qt::Vertical : Qt::Horizontal, Parent);
        Bind(B, Owner);
        QObject::connect(B, &QAbstractSlider::valueChanged, B, [B, Vertical](int V) {
            auto* C = Bound<TScrollingWinControl>(B);
            if (C == nullptr || C->FSyncingBars) return;
            Guarded(C, [C, Vertical, V] {
                (Vertical ? C->FVertScrollBar : C->FHorzScrollBar).SetPosition(V);
            });
        });
        return B;
    }
    static void Sync(QWidget* W, const TControlScrollBar& Bar, const TRect& Geometry, int Page) {
        auto* B = static_cast<QScrollBar*>(W);
        const bool Show = Bar.IsScrollBarVisible();
        B->setGeometry(Geometry.Left, Geometry.Top, Geometry.Width(), Geometry.Height());
        B->setRange(0, Bar.MaxPosition());
        B->setPageStep(std::max(Page, 1));
        B->setSingleStep(Bar.Increment());
        B->setValue(Bar.Position());
        B->setVisible(Show);
        if (Show) B->raise();
    }
};

void TScrollingWinControl::NativeWidgetCreated() {
    FNativeHorz = TScrollBarBridge::Make(this, NativeWidget(), false);
    FNativeVert = TScrollBarBridge::Make(this, NativeWidget(), true);
    // Without it the children would show through where the bars meet.
    FNativeCorner = new QWidget(NativeWidget());
    FNativeCorner->setAutoFillBackground(true);
    FNativeCorner->hide();
    UpdateNativeBars();
}

void TScrollingWinControl::NativeWidgetDestroying() {
    // The bars go with the window.
    Unbind(FNativeHorz);
    Unbind(FNativeVert);
    FNativeHorz = nullptr;
    FNativeVert = nullptr;
    FNativeCorner = nullptr;
}

void TScrollingWinControl::UpdateShowing() {
    TCustomControl::UpdateShowing();
    // Children's windows made just now lie above the bars.
    UpdateNativeBars();
}

void TScrollingWinControl::UpdateNativeBars() {
    if (FNativeHorz == nullptr || FNativeVert == nullptr) return;
    FSyncingBars = true;
    const TRect C = ClientRect();
    TScrollBarBridge::Sync(FNativeHorz, FHorzScrollBar,
                           {0, C.Bottom, C.Right, C.Bottom + ScrollBarSize}, C.Width());
    TScrollBarBridge::Sync(FNativeVert, FVertScrollBar,
                           {C.Right, 0, C.Right + ScrollBarSize, C.Bottom}, C.Height());
    if (FNativeCorner != nullptr) {
        FNativeCorner->setGeometry(C.Right, C.Bottom, ScrollBarSize, ScrollBarSize);
        const bool Both =
            FHorzScrollBar.IsScrollBarVisible() && FVertScrollBar.IsScrollBarVisible();
        FNativeCorner->setVisible(Both);
        if (Both) FNativeCorner->raise();
    }
    FSyncingBars = false;
}

TRect TScrollingWinControl::ClientRect() const {
    TRect R = TCustomControl::ClientRect();
    if (FVertScrollBar.IsScrollBarVisible()) R.Right = std::max(R.Left, R.Right - ScrollBarSize);
    if (FHorzScrollBar.IsScrollBarVisible()) R.Bottom = std::max(R.Top, R.Bottom - ScrollBarSize);
    return R;
}

void TScrollingWinControl::SetAutoScroll(bool Value) {
    if (Value == FAutoScroll) return;
    FAutoScroll = Value;
    if (Value) {
        FHorzScrollBar.FRangeFixed = false;
        FVertScrollBar.FRangeFixed = false;
    }
    Realign();
}

void TScrollingWinControl::CalcAutoRange() {
    if (FUpdatingRange) return;
    FUpdatingRange = true;
    if (FAutoScroll) {
        // Extents in unscrolled coordinates of the children that keep their
        // own place (aligned ones follow the client area).
        int Right = 0, Bottom = 0;
        for (int I = 0; I < ControlCount(); ++I) {
            TControl* C = Controls(I);
            if (!C->Visible()) continue;
            const TAlign A = C->Align();
            if (A == alNone || A == alLeft || A == alTop || A == alCustom)
                Right = std::max(Right, C->Left() + C->Width() + FHorzScrollBar.FPosition);
            if (A == alNone || A == alTop || A == alLeft || A == alCustom)
                Bottom = std::max(Bottom, C->Top() + C->Height() + FVertScrollBar.FPosition);
        }
        if (!FHorzScrollBar.FRangeFixed) FHorzScrollBar.FRange = Right;
        if (!FVertScrollBar.FRangeFixed) FVertScrollBar.FRange = Bottom;
    }
    FHorzScrollBar.SetPosition(FHorzScrollBar.FPosition);
    FVertScrollBar.SetPosition(FVertScrollBar.FPosition);
    FUpdatingRange = false;
    UpdateNativeBars();
    Invalidate();
}

void TScrollingWinControl::ScrollBarChanged(TControlScrollBar* Bar, int OldPosition) {
    const int Delta = OldPosition - Bar->FPosition;
    if (Bar->FVertical)
        ScrollBy(0, Delta);
    else
        ScrollBy(Delta, 0);
}

void TScrollingWinControl::ScrollBy(int DeltaX, int DeltaY) {
    if (DeltaX == 0 && DeltaY == 0) return;
    const bool Was = FUpdatingRange;
    FUpdatingRange = true;
    DisableAlign();
    for (int I = 0; I < ControlCount(); ++I) {
        TControl* C = Controls(I);
        C->SetBounds(C->Left() + DeltaX, C->Top() + DeltaY, C->Width(), C->Height());
    }
    FUpdatingRange = Was;
    EnableAlign();
    UpdateNativeBars();
    Invalidate();
}

void TScrollingWinControl::ScrollInView(TControl* AControl) {
    if (AControl == nullptr || !ContainsControl(AControl)) return;
    TRect R = AControl->BoundsRect();
    for (TWinControl* P = AControl->Parent(); P != nullptr && P != this; P = P->Parent()) {
        OffsetRect(R, P->Left(), P->Top());
    }
    const TRect C = ClientRect();
    auto Fit = [](TControlScrollBar& Bar, int Lo, int Hi, int Size) {
        if (Lo < 0)
            Bar.SetPosition(Bar.Position() + Lo);
        else if (Hi > Size)
            Bar.SetPosition(Bar.Position() + std::min(Hi - Size, Lo));
    };
    Fit(FHorzScrollBar, R.Left, R.Right, C.Width());
    Fit(FVertScrollBar, R.Top, R.Bottom, C.Height());
}

void TScrollingWinControl::AlignControls(TControl* AControl, TRect& Rect) {
    TCustomControl::AlignControls(AControl, Rect);
    CalcAutoRange();
}

void TScrollingWinControl::Resize() {
    CalcAutoRange();
    TCustomControl::Resize();
}

void TScrollingWinControl::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_MOUSEWHEEL) {
        const int Delta = std::int16_t(Word(Message.WParam >> 16));
        TControlScrollBar& Bar =
            (Message.WParam & MK_SHIFT) != 0 || !FVertScrollBar.IsScrollBarVisible()
                ? FHorzScrollBar
                : FVertScrollBar;
        if (Bar.IsScrollBarVisible()) {
            Bar.SetPosition(Bar.Position() - Delta * 3 * Bar.Increment() / 120);
            Message.Result = 1;
            return;
        }
    }
    TCustomControl::Dispatch(Message);
}

namespace {

// Track and thumb of a painted scroll bar along Length pixels.
void ThumbSpan(const TControlScrollBar& Bar, int Length, int Page, int& Start, int& Size) {
    const int Range = std::max(Bar.Range(), 1);
    Size = std::max(8, int(std::int64_t(Length) * Page / Range));
    Size = std::min(Size, Length);
    const int MaxPos = std::max(Bar.MaxPosition(), 1);
    Start = int(std::int64_t(Length - Size) * Bar.Position() / MaxPos);
}

} // namespace

void TScrollingWinControl::Paint() {
    TCanvas* C = Canvas();
    const TRect Client = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(TCustomControl::ClientRect());
    auto Bar = [C](const TRect& Track, bool Vertical, int Start, int Size) {
        C->Brush()->SetColor(clScrollBar);
        C->FillRect(Track);
        TRect T =
            Vertical
                ? TRect{Track.Left, Track.Top + Start, Track.Right, Track.Top + Start + Size}
                : TRect{Track.Left + Start, Track.Top, Track.Left + Start + Size, Track.Bottom};
        C->Brush()->SetColor(clBtnFace);
        C->FillRect(T);
        Frame3D(C, T, clBtnHighlight, clBtnShadow, 1);
    };
    int Start = 0, Size = 0;
    if (FVertScrollBar.IsScrollBarVisible()) {
        ThumbSpan(FVertScrollBar, Client.Height(), Client.Height(), Start, Size);
        Bar({Client.Right, 0, Client.Right + ScrollBarSize, Client.Bottom}, true, Start, Size);
    }
    if (FHorzScrollBar.IsScrollBarVisible()) {
        ThumbSpan(FHorzScrollBar, Client.Width(), Client.Width(), Start, Size);
        Bar({0, Client.Bottom, Client.Right, Client.Bottom + ScrollBarSize}, false, Start, Size);
    }
}

void TScrollingWinControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const TRect Client = ClientRect();
    if (Button == mbLeft) {
        // A press on a track pages towards the press.
        int Start = 0, Size = 0;
        if (FVertScrollBar.IsScrollBarVisible() && X >= Client.Right && Y < Client.Bottom) {
            ThumbSpan(FVertScrollBar, Client.Height(), Client.Height(), Start, Size);
            if (Y < Start)
                FVertScrollBar.SetPosition(FVertScrollBar.Position() - Client.Height());
            else if (Y >= Start + Size)
                FVertScrollBar.SetPosition(FVertScrollBar.Position() + Client.Height());
        } else if (FHorzScrollBar.IsScrollBarVisible() && Y >= Client.Bottom && X < Client.Right) {
            ThumbSpan(FHorzScrollBar, Client.Width(), Client.Width(), Start, Size);
            if (X < Start)
                FHorzScrollBar.SetPosition(FHorzScrollBar.Position() - Client.Width());
            else if (X >= Start + Size)
                FHorzScrollBar.SetPosition(FHorzScrollBar.Position() + Client.Width());
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

// ============================================================== hint window

std::vector<std::string> WrapTextLines(TCanvas* Canvas, const std::string& Text, int MaxWidth) {
    std::vector<std::string> Lines;
    if (Text.empty()) return Lines;
    std::vector<std::string> Paragraphs(1);
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '\r' || Text[I] == '\n') {
            if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
            Paragraphs.emplace_back();
        } else {
            Paragraphs.back() += Text[I];
        }
    }
    for (const std::string& P : Paragraphs) {
        std::string Line;
        std::size_t Pos = 0;
        bool Any = false;
        while (Pos <= P.size()) {
            std::size_t End = P.find(' ', Pos);
            if (End == std::string::npos) End = P.size();
            const std::string Word = P.substr(Pos, End - Pos);
            const std::string Tried = Any ? Line + " " + Word : Word;
            if (Any && Canvas->TextWidth(Tried) > MaxWidth) {
                Lines.push_back(Line);
                Line = Word;
            } else {
                Line = Tried;
            }
            Any = true;
            Pos = End + 1;
        }
        Lines.push_back(Line);
    }
    return Lines;
}

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    SetVisible(false);
    FTopLevel = true;
    SetColor(clInfoBk);
    SetParentColor(false);
    Font()->SetColor(clInfoText);
    SetParentFont(false);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_CLIPSIBLINGS;
    Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
}

void THintWindow::ActivateHint(const TRect& Rect, const std::string& AHint) {
    ActivateHintData(Rect, AHint, nullptr);
}

void THintWindow::ActivateHintData(const TRect& Rect, const std::string& AHint, void*) {
    SetCaption(AHint);
    TRect R = Rect;
    if (Screen != nullptr) {
        // Kept on the desktop, the top-left corner winning over the rest.
        const TRect D = Screen->DesktopRect();
        if (R.Right > D.Right) OffsetRect(R, D.Right - R.Right, 0);
        if (R.Bottom > D.Bottom) OffsetRect(R, 0, D.Bottom - R.Bottom);
        if (R.Left < D.Left) OffsetRect(R, D.Left - R.Left, 0);
        if (R.Top < D.Top) OffsetRect(R, 0, D.Top - R.Top);
    }
    SetBounds(R.Left, R.Top, R.Width(), R.Height());
    Invalidate();
    SetVisible(true);
    BringToFront();
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void*) {
    TCanvas C;
    C.SetFont(*Font());
    int W = 0;
    const std::vector<std::string> Lines = WrapTextLines(&C, AHint, MaxWidth);
    for (const std::string& L : Lines)
        W = std::max(W, C.TextWidth(L));
    const int H = int(Lines.size()) * C.TextHeight("Wg");
    // One pixel of frame on each side and two of margin left and right.
    return {0, 0, W + 6, H + 2};
}

void THintWindow::ReleaseHandle() {
    SetVisible(false);
    DestroyHandle();
}

bool THintWindow::IsHintMsg(const TMessage& Msg) const {
    const UINT M = Msg.Msg;
    return (M >= WM_KEYDOWN && M <= WM_SYSKEYUP) || M == CM_ACTIVATE || M == CM_DEACTIVATE ||
           M == WM_COMMAND || (M > WM_MOUSEMOVE && M <= WM_MOUSELAST);
}

void THintWindow::Paint() {
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clWindowFrame);
    C->FrameRect(R);
    InflateRect(R, -1, -1);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
    C->SetFont(*Font());
    C->Brush()->SetStyle(bsClear);
    const int LineHeight = C->TextHeight("Wg");
    int Y = R.Top;
    for (const std::string& L : WrapTextLines(C, Caption(), R.Width() - 4)) {
        C->TextRect(R, R.Left + 2, Y, L);
        Y += LineHeight;
    }
}
