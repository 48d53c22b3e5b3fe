#include "raster/RasterLayers.h"

#include "platform/base/Exception.h"

#include <algorithm>

namespace {
constexpr const char* SUnpairedCollectionEndUpdate = "Unpaired EndUpdate";

unsigned ButtonBit(TMouseButton Button) {
    return 1u << unsigned(Button);
}
} // namespace

// ---------------------------------------------------------------------------
// TLayerCollection

TLayerCollection::TLayerCollection(TPersistent* AOwner) : FOwner(AOwner) {}

TLayerCollection::~TLayerCollection() {
    FUpdateCount = 1; // no change event while going away
    Clear();
    if (FListener) FListener->LayerCollectionDestroying(this);
}

TCustomLayer* TLayerCollection::Add(TLayerClass ItemClass) {
    TCustomLayer* layer = ItemClass(this);
    layer->SetIndex(Count() - 1);
    Notify(lnLayerAdded, layer, layer->Index());
    return layer;
}

void TLayerCollection::Insert(TCustomLayer* Item) {
    if (!Item || IndexOf(Item) >= 0) return;
    // A layer lives in one list only.
    if (Item->FLayerCollection) Item->FLayerCollection->Remove(Item);
    BeginUpdate();
    try {
        FItems.push_back(Item);
        Item->FLayerCollection = this;
        Notify(lnLayerInserted, Item, Count() - 1);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::Remove(TCustomLayer* Item) {
    const int index = IndexOf(Item);
    if (index < 0) return;
    BeginUpdate();
    try {
        if (FMouseListener == Item) SetMouseListener(nullptr);
        FItems.erase(FItems.begin() + index);
        Item->FLayerCollection = nullptr;
        Notify(lnLayerDeleted, Item, index);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::Clear() {
    BeginUpdate();
    try {
        while (!FItems.empty()) {
            TCustomLayer* last = FItems.back();
            delete last; // leaves the list on its way out
        }
        Notify(lnLayerCleared, nullptr, 0);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCustomLayer* TLayerCollection::Items(int Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return FItems[std::size_t(Index)];
}

int TLayerCollection::IndexOf(const TCustomLayer* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TLayerCollection::Assign(const TPersistent* Source) {
    const auto* src = dynamic_cast<const TLayerCollection*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
        return;
    }
    if (src == this) return;
    BeginUpdate();
    try {
        Clear();
        for (TCustomLayer* layer : src->FItems)
            Add(layer->LayerClass())->Assign(layer);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TLayerCollection::BeginUpdate() {
    if (FUpdateCount == 0 && OnChanging) OnChanging(this);
    ++FUpdateCount;
}

void TLayerCollection::EndUpdate() {
    if (FUpdateCount <= 0) throw EAssertionFailed(SUnpairedCollectionEndUpdate);
    --FUpdateCount;
    if (FUpdateCount == 0) Changed();
}

TCustomLayer* TLayerCollection::FindLayerAtPos(int X, int Y, Cardinal OptionsMask) const {
    for (int i = Count() - 1; i >= 0; --i) {
        TCustomLayer* layer = FItems[std::size_t(i)];
        if ((layer->LayerOptions() & OptionsMask) != 0 && layer->HitTest(X, Y)) return layer;
    }
    return nullptr;
}

TCustomLayer* TLayerCollection::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FMouseListener ? FMouseListener : FindLayerAtPos(X, Y, LOB_MOUSE_EVENTS);
    if (layer && layer != FMouseListener && (layer->LayerOptions() & LOB_NO_CAPTURE) == 0)
        SetMouseListener(layer);
    // A layer that may not capture still hears its click; it just does not
    // hold the mouse afterwards.
    if (layer) {
        layer->FClicked |= ButtonBit(Button);
        layer->MouseDown(Button, Shift, X, Y);
    }
    return layer;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FMouseListener ? FMouseListener : FindLayerAtPos(X, Y, LOB_MOUSE_EVENTS);
    if (layer)
        layer->MouseMove(Shift, X, Y);
    else
        SetScreenCursor(OwnerCursor());
    return layer;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FMouseListener ? FMouseListener : FindLayerAtPos(X, Y, LOB_MOUSE_EVENTS);
    if (layer) {
        layer->FClicked &= ~ButtonBit(Button);
        layer->MouseUp(Button, Shift, X, Y);
        // The handler may have freed or moved the listener.
        if (FMouseListener && FMouseListener->FClicked == 0) SetMouseListener(nullptr);
    }
    return layer;
}

void TLayerCollection::SetMouseEvents(bool Value) {
    FMouseEvents = Value;
    SetMouseListener(nullptr);
}

void TLayerCollection::SetMouseListener(TCustomLayer* Value) {
    if (Value == FMouseListener) return;
    if (FMouseListener) FMouseListener->FClicked = 0;
    FMouseListener = Value;
}

void TLayerCollection::GetViewportScale(float& ScaleX, float& ScaleY) const {
    ScaleX = 1;
    ScaleY = 1;
    if (OnGetViewportScale) OnGetViewportScale(const_cast<TLayerCollection*>(this), ScaleX, ScaleY);
}

void TLayerCollection::GetViewportShift(float& ShiftX, float& ShiftY) const {
    ShiftX = 0;
    ShiftY = 0;
    if (OnGetViewportShift) OnGetViewportShift(const_cast<TLayerCollection*>(this), ShiftX, ShiftY);
}

void TLayerCollection::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TLayerCollection::RepaintRequest() {
    if (FUpdateCount == 0 && OnRepaintRequest) OnRepaintRequest(this);
}

void TLayerCollection::LayerUpdated(TCustomLayer* Layer) {
    if (FListener) FListener->LayerUpdated(this, Layer);
    if (OnLayerUpdated) OnLayerUpdated(this, Layer);
}

void TLayerCollection::AreaChanged(const TRect& Area, Cardinal Info) {
    if (FListener) FListener->LayerAreaChanged(this, Area, Info);
}

void TLayerCollection::SetScreenCursor(TCursor Cursor) {
    if (OnSetScreenCursor) OnSetScreenCursor(Cursor);
}

TCursor TLayerCollection::OwnerCursor() const {
    return OnGetOwnerCursor ? OnGetOwnerCursor() : crDefault;
}

void TLayerCollection::Notify(TLayerListNotification Action, TCustomLayer* Layer, int Index) {
    if (FListener) FListener->LayerListNotify(this, Action, Layer, Index);
    if (OnListNotify) OnListNotify(this, Action, Layer, Index);
}

void TLayerCollection::MoveItem(TCustomLayer* Item, int NewIndex) {
    const int old = IndexOf(Item);
    if (old < 0 || old == NewIndex) return;
    FItems.erase(FItems.begin() + old);
    FItems.insert(FItems.begin() + NewIndex, Item);
}

// ---------------------------------------------------------------------------
// TCustomLayer

TCustomLayer::TCustomLayer(TLayerCollection* ALayerCollection) {
    SetLayerCollection(ALayerCollection);
}

TCustomLayer::~TCustomLayer() {
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
        }
    }
    while (!FFreeNotifies.empty()) {
        TCustomLayer* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        std::erase(other->FNotifySources, this);
        other->Notification(this);
    }
    for (TCustomLayer* source : FNotifySources)
        std::erase(source->FFreeNotifies, this);
    FNotifySources.clear();
    try {
        SetLayerCollection(nullptr);
    } catch (...) {
    }
}

void TCustomLayer::Assign(const TPersistent* Source) {
    const auto* src = dynamic_cast<const TCustomLayer*>(Source);
    if (!src) {
        TNotifiablePersistent::Assign(Source);
        return;
    }
    FCursor = src->FCursor;
    SetLayerOptions(src->FLayerOptions & ~LOB_INVALID);
}

void TCustomLayer::SetLayerCollection(TLayerCollection* Value) {
    if (Value == FLayerCollection) return;
    if (FLayerCollection) FLayerCollection->Remove(this);
    if (Value) Value->Insert(this);
}

int TCustomLayer::Index() const {
    return FLayerCollection ? FLayerCollection->IndexOf(this) : -1;
}

void TCustomLayer::SetIndex(int Value) {
    if (!FLayerCollection) return;
    const int last = FLayerCollection->Count() - 1;
    Value = std::clamp(Value, 0, std::max(last, 0));
    if (Value == Index()) return;
    if (Visible()) {
        FLayerCollection->BeginUpdate();
        FLayerCollection->MoveItem(this, Value);
        FLayerCollection->EndUpdate();
    } else {
        FLayerCollection->MoveItem(this, Value);
    }
}

void TCustomLayer::SetLayerOptions(Cardinal Value) {
    const bool wasVisible = Visible();
    Changing();
    FLayerOptions = Value;
    Changed();
    // A layer that was just hidden still shows on screen until repainted.
    if (wasVisible && !Visible() && FLayerCollection && FUpdateCount == 0 &&
        (FLayerOptions & LOB_NO_UPDATE) == 0)
        FLayerCollection->Changed();
}

void TCustomLayer::SetVisible(bool Value) {
    SetLayerOptions(Value ? FLayerOptions | LOB_VISIBLE : FLayerOptions & ~LOB_VISIBLE);
}

void TCustomLayer::SetInvalid(bool Value) {
    if (Value)
        FLayerOptions |= LOB_INVALID;
    else
        FLayerOptions &= ~LOB_INVALID;
}

void TCustomLayer::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    if (FLayerCollection && FLayerCollection->MouseListener() == this)
        FLayerCollection->SetScreenCursor(Value);
}

void TCustomLayer::Changing() {
    if (FUpdateCount > 0 || !FLayerCollection || (FLayerOptions & LOB_NO_UPDATE) != 0) return;
    FLayerCollection->LayerUpdated(this);
}

void TCustomLayer::Changed() {
    if (FUpdateCount > 0 || !FLayerCollection || (FLayerOptions & LOB_NO_UPDATE) != 0) return;
    FLayerCollection->LayerUpdated(this);
    if (Visible())
        FLayerCollection->Changed();
    else if (FLayerOptions & LOB_FORCE_UPDATE)
        FLayerCollection->RepaintRequest();
    NotifyChange();
}

bool TCustomLayer::HitTest(int X, int Y) {
    bool passed = DoHitTest(X, Y);
    if (OnHitTest) OnHitTest(this, X, Y, passed);
    return passed;
}

void TCustomLayer::DoPaint(TBitmap32* Buffer) {
    Paint(Buffer);
    if (OnPaint) OnPaint(this, Buffer);
}

void TCustomLayer::AddNotification(TCustomLayer* Layer) {
    if (!Layer || Layer == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Layer) != FFreeNotifies.end()) return;
    FFreeNotifies.push_back(Layer);
    Layer->FNotifySources.push_back(this);
}

void TCustomLayer::RemoveNotification(TCustomLayer* Layer) {
    if (std::erase(FFreeNotifies, Layer) > 0) std::erase(Layer->FNotifySources, this);
}

void TCustomLayer::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomLayer::MouseMove(TShiftState Shift, int X, int Y) {
    if (FLayerCollection) FLayerCollection->SetScreenCursor(FCursor);
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TCustomLayer::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FLayerCollection) FLayerCollection->SetScreenCursor(crDefault);
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
