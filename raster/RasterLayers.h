#pragma once
// Layers drawn above an image control's bitmap, and the ordered collection
// that owns them, hit-tests them for the mouse and lets one of them hold the
// mouse.
//
// The collection knows nothing of the control that owns it: the owner binds
// the owner events (change, repaint request, viewport scale and shift, its
// cursor and the screen cursor) and forwards mouse events with plain
// coordinates. A repaint optimiser watches a collection through one
// TLayerCollectionListener, which leaves the public events to their users.
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/forms/Controls.h"
#include "raster/RasterCore.h"

#include <functional>
#include <vector>

class TCanvas;
class TCustomLayer;
class TLayerCollection;

// Bits of TCustomLayer::LayerOptions.
constexpr Cardinal LOB_VISIBLE = 0x80000000u;
// Painted on the control's canvas after the buffer is copied.
constexpr Cardinal LOB_GDI_OVERLAY = 0x40000000u;
constexpr Cardinal LOB_MOUSE_EVENTS = 0x20000000u;
// Changes are not reported.
constexpr Cardinal LOB_NO_UPDATE = 0x10000000u;
constexpr Cardinal LOB_NO_CAPTURE = 0x08000000u;
// Set by the repaint optimiser while the layer waits to be measured.
constexpr Cardinal LOB_INVALID = 0x04000000u;
// Invisible layers with this bit still ask for a repaint when changed.
constexpr Cardinal LOB_FORCE_UPDATE = 0x02000000u;

enum TLayerListNotification {
    lnLayerAdded = 0,
    lnLayerInserted = 1,
    lnLayerDeleted = 2,
    lnLayerCleared = 3,
};

using TLayerClass = TCustomLayer* (*)(TLayerCollection* Collection);
template <class T> TCustomLayer* CreateLayerOf(TLayerCollection* Collection) {
    return new T(Collection);
}
// Declares a layer class's name and the factory that collection Assign uses
// to make a layer of the same class.
#define QM_LAYERCLASS(Name)                                                                        \
    QM_CLASSNAME(Name)                                                                             \
    TLayerClass LayerClass() const override {                                                      \
        return &CreateLayerOf<Name>;                                                               \
    }

using TLayerListNotifyEvent = std::function<void(
    TLayerCollection* Sender, TLayerListNotification Action, TCustomLayer* Layer, int Index)>;
using TLayerUpdateEvent = std::function<void(TObject* Sender, TCustomLayer* Layer)>;
using TGetScaleEvent = std::function<void(TObject* Sender, float& ScaleX, float& ScaleY)>;
using TGetShiftEvent = std::function<void(TObject* Sender, float& ShiftX, float& ShiftY)>;
using THitTestEvent = std::function<void(TObject* Sender, int X, int Y, bool& Passed)>;
using TPaintLayerEvent = std::function<void(TObject* Sender, TBitmap32* Buffer)>;

// What a repaint optimiser hears from a collection it watches.
class TLayerCollectionListener {
public:
    virtual ~TLayerCollectionListener() = default;
    virtual void LayerListNotify(TLayerCollection* Sender, TLayerListNotification Action,
                                 TCustomLayer* Layer, int Index) = 0;
    virtual void LayerUpdated(TLayerCollection* Sender, TCustomLayer* Layer) = 0;
    virtual void LayerAreaChanged(TLayerCollection* Sender, const TRect& Area, Cardinal Info) = 0;
    // The collection is going away; forget it.
    virtual void LayerCollectionDestroying(TLayerCollection* Sender) = 0;
};

// Owns its layers (freed when cleared or destroyed); index 0 is drawn first,
// the last layer is on top.
class TLayerCollection : public TPersistent {
public:
    QM_CLASSNAME(TLayerCollection)

    explicit TLayerCollection(TPersistent* AOwner);
    ~TLayerCollection() override;
    TLayerCollection(const TLayerCollection&) = delete;
    TLayerCollection& operator=(const TLayerCollection&) = delete;

    TPersistent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    // A new layer of ItemClass, last in the list.
    TCustomLayer* Add(TLayerClass ItemClass);
    template <class T> T* Add() { return static_cast<T*>(Add(&CreateLayerOf<T>)); }
    // Takes Item over (taking it out of its old collection first).
    void Insert(TCustomLayer* Item);
    // Gives Item back to the caller, who then owns it.
    void Remove(TCustomLayer* Item);
    void Clear();
    int Count() const { return int(FItems.size()); }
    // nullptr out of range.
    TCustomLayer* Items(int Index) const;
    int IndexOf(const TCustomLayer* Item) const;
    // Replaces the layers with one layer of the same class per source layer,
    // assigned from it. Other sources go to the base class.
    void Assign(const TPersistent* Source) override;

    void BeginUpdate();
    // Raises EAssertionFailed "Unpaired EndUpdate" when no update runs.
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // The topmost layer whose options share a bit with OptionsMask and
    // whose hit test passes at (X, Y); nullptr when none.
    TCustomLayer* FindLayerAtPos(int X, int Y, Cardinal OptionsMask) const;
    // The layer that took the event (nullptr when none).
    TCustomLayer* MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    TCustomLayer* MouseMove(TShiftState Shift, int X, int Y);
    TCustomLayer* MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    bool MouseEvents() const { return FMouseEvents; }
    void SetMouseEvents(bool Value);
    TCustomLayer* MouseListener() const { return FMouseListener; }
    // The old listener forgets its pressed buttons.
    void SetMouseListener(TCustomLayer* Value);

    virtual void GetViewportScale(float& ScaleX, float& ScaleY) const;
    virtual void GetViewportShift(float& ShiftX, float& ShiftY) const;

    // Requests of the layers: a change (the owner repaints), a repaint
    // without change, an updated layer, a changed area in control pixels.
    void Changed();
    void RepaintRequest();
    void LayerUpdated(TCustomLayer* Layer);
    void AreaChanged(const TRect& Area, Cardinal Info);
    void SetScreenCursor(TCursor Cursor);
    TCursor OwnerCursor() const;

    TLayerCollectionListener* Listener() const { return FListener; }
    void SetListener(TLayerCollectionListener* Value) { FListener = Value; }

    // Bound by the owner.
    TNotifyEvent OnChange;
    TNotifyEvent OnRepaintRequest;
    TGetScaleEvent OnGetViewportScale;
    TGetShiftEvent OnGetViewportShift;
    std::function<TCursor()> OnGetOwnerCursor;
    std::function<void(TCursor Cursor)> OnSetScreenCursor;
    // Public.
    TNotifyEvent OnChanging;
    TLayerListNotifyEvent OnListNotify;
    TLayerUpdateEvent OnLayerUpdated;

private:
    friend class TCustomLayer;
    void Notify(TLayerListNotification Action, TCustomLayer* Layer, int Index);
    void MoveItem(TCustomLayer* Item, int NewIndex);

    TPersistent* FOwner;
    std::vector<TCustomLayer*> FItems;
    int FUpdateCount = 0;
    bool FMouseEvents = true;
    TCustomLayer* FMouseListener = nullptr;
    TLayerCollectionListener* FListener = nullptr;
};

// The base of every layer. A layer lives in at most one collection, which
// owns it; without a collection its creator owns it.
class TCustomLayer : public TNotifiablePersistent {
public:
    QM_CLASSNAME(TCustomLayer)
    virtual TLayerClass LayerClass() const { return &CreateLayerOf<TCustomLayer>; }

    explicit TCustomLayer(TLayerCollection* ALayerCollection);
    // Fires OnDestroy, tells every registered layer (last first), then
    // leaves the collection.
    ~TCustomLayer() override;
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;

    // Copies the options and the cursor of another layer.
    void Assign(const TPersistent* Source) override;
    TPersistent* GetOwner() const override { return FLayerCollection; }

    TLayerCollection* LayerCollection() const { return FLayerCollection; }
    virtual void SetLayerCollection(TLayerCollection* Value);
    // -1 outside a collection.
    int Index() const;
    // Clamped to 0 .. Count - 1; nothing outside a collection.
    virtual void SetIndex(int Value);

    Cardinal LayerOptions() const { return FLayerOptions; }
    virtual void SetLayerOptions(Cardinal Value);
    bool Visible() const { return (FLayerOptions & LOB_VISIBLE) != 0; }
    void SetVisible(bool Value);
    bool Invalid() const { return (FLayerOptions & LOB_INVALID) != 0; }
    // Only the flag: no change is reported.
    void SetInvalid(bool Value);
    TCursor Cursor() const { return FCursor; }
    virtual void SetCursor(TCursor Value);
    // Bits 0..2: mbLeft, mbRight, mbMiddle held down over this layer.
    unsigned Clicked() const { return FClicked; }

    void Changed() override;
    virtual void BeginUpdate() { StartUpdate(); }

    // The hit test, then OnHitTest, which may change the answer.
    bool HitTest(int X, int Y);
    // Paint, then OnPaint.
    void DoPaint(TBitmap32* Buffer);
    virtual void PaintGDI(TCanvas* Canvas) {}

    // Layers to tell when this one is destroyed.
    void AddNotification(TCustomLayer* Layer);
    void RemoveNotification(TCustomLayer* Layer);

    TNotifyEvent OnDestroy;
    THitTestEvent OnHitTest;
    TPaintLayerEvent OnPaint;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    friend class TLayerCollection;
    // The base answers true.
    virtual bool DoHitTest(int X, int Y) { return true; }
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    // A layer this one registered with is being destroyed.
    virtual void Notification(TCustomLayer* Layer) {}
    virtual void Paint(TBitmap32* Buffer) {}
    // Reports that the layer is about to change (before its old area goes).
    void Changing();

private:
    TLayerCollection* FLayerCollection = nullptr;
    Cardinal FLayerOptions = LOB_VISIBLE;
    TCursor FCursor = crDefault;
    unsigned FClicked = 0;
    std::vector<TCustomLayer*> FFreeNotifies;
    // The layers whose lists hold this one, so that it can leave them.
    std::vector<TCustomLayer*> FNotifySources;
};
