#pragma once
// The image control: a window that shows a TBitmap32.
//
// TCustomPaintBox32 owns a back buffer (a TBitmap32 a little larger than the
// control, so that small resizes do not reallocate it), the list of invalid
// rectangles and a repaint optimiser over both; it copies the buffer, or only
// its invalid rectangles, to the control's canvas when it paints.
// TCustomImage32 fills that buffer from an ordered list of paint stages: the
// background, its Bitmap placed by BitmapAlign and scaled by ScaleMode, its
// layers and design-time frames. Its mouse events name the layer under the
// mouse (nullptr when none). TImage32 is the class that the forms and the
// banner document stream.
//
// Geometry is cached in 16.16 fixed point: BitmapToControl and
// ControlToBitmap map single points with it; GetBitmapRect is where the
// bitmap lands in the control.
#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/forms/Controls.h"
#include "raster/RasterContainers.h"
#include "raster/RasterCore.h"
#include "raster/RasterLayers.h"
#include "raster/RasterRepaintOpt.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum TRepaintMode { rmFull, rmDirect, rmOptimizer };
enum TBitmapAlign { baTopLeft, baCenter, baTile, baCustom };
enum TScaleMode { smNormal, smStretch, smScale, smResize, smOptimal, smOptimalScaled };

// Bits of TCustomPaintBox32::Options.
constexpr Cardinal pboNoEraseHandling = 0x1; // leave WM_ERASEBKGND to the class library
constexpr Cardinal pboAutoFocus = 0x2;       // take the focus on a mouse press

// Kinds of paint stages; 0 is a stage that draws nothing.
enum TPaintStageKind : Cardinal {
    pskNone = 0,
    pskCustom = 1,
    pskClearBuffer = 2,
    pskClearBackground = 3,
    pskDrawBitmap = 4,
    pskDrawLayers = 5,
    pskControlFrame = 6,
    pskBitmapFrame = 7,
};

struct TPaintStage {
    bool DsgnTime = false;
    bool RunTime = true;
    TPaintStageKind Stage = pskNone;
    Cardinal Parameter = 0;
};

// The ordered stages of an image; Add and Insert give stages that run at run
// time only and draw nothing until their kind is set.
class TPaintStages {
public:
    int Count() const { return int(FItems.size()); }
    // nullptr out of range.
    TPaintStage* Items(int Index);
    TPaintStage* Add();
    // Index is clamped to 0 .. Count.
    TPaintStage* Insert(int Index);
    // An index out of range does nothing.
    void Delete(int Index);
    void Clear() { FItems.clear(); }

private:
    std::vector<TPaintStage> FItems;
};

class TCustomImage32;

using TPaintStageEvent = std::function<void(TObject* Sender, TBitmap32* Buffer, Cardinal StageNum)>;
using TImgMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                          int X, int Y, TCustomLayer* Layer)>;
using TImgMouseMoveEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int X, int Y, TCustomLayer* Layer)>;

class TCustomPaintBox32 : public TCustomControl {
public:
    QM_CLASSNAME(TCustomPaintBox32)
    explicit TCustomPaintBox32(TComponent* AOwner);
    ~TCustomPaintBox32() override;

    TBitmap32* Buffer() const { return FBuffer.get(); }
    int BufferOversize() const { return FBufferOversize; }
    void SetBufferOversize(int Value) { FBufferOversize = Value < 0 ? 0 : Value; }
    bool BufferValid() const { return FBufferValid; }
    bool ForceFullRepaint() const { return FForceFullRepaint; }
    TRectList* InvalidRects() const { return FInvalidRects.get(); }
    TCustomRepaintOptimizer* RepaintOptimizer() const { return FRepaintOptimizer.get(); }
    TRepaintMode RepaintMode() const { return FRepaintMode; }
    // Enables the optimiser only for rmOptimizer, then invalidates.
    virtual void SetRepaintMode(TRepaintMode Value);
    Cardinal Options() const { return FOptions; }
    void SetOptions(Cardinal Value) { FOptions = Value; }

    // The client rectangle the buffer serves.
    virtual TRect GetViewportRect() const;
    // Marks the whole buffer for repainting (the optimiser starts afresh).
    virtual void ForceFullInvalidate();
    // Invalidating marks the buffer invalid and the next paint full.
    void Invalidate() override;

    TNotifyEvent OnGDIOverlay;

protected:
    void Dispatch(TMessage& Message) override;
    void Paint() override;
    void Resize() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseEnter() override;
    void MouseLeave() override;

    // Whether something waits to be repainted.
    virtual bool CustomRepaint();
    virtual bool InvalidRectsAvailable() { return true; }
    // Lets the optimiser turn what changed into invalid rectangles.
    virtual void DoPrepareInvalidRects();
    virtual void DoPaintBuffer();
    virtual void DoPaintGDIOverlay();
    virtual void DoBufferResized(int OldWidth, int OldHeight);
    // Marks the buffer invalid without forcing a full repaint (the invalid
    // rectangles say what to paint).
    void InvalidateBuffer();
    void ResizeBuffer();

    std::unique_ptr<TBitmap32> FBuffer;
    std::unique_ptr<TRectList> FInvalidRects;
    std::unique_ptr<TCustomRepaintOptimizer> FRepaintOptimizer;
    int FBufferOversize = 40;
    bool FBufferValid = false;
    bool FForceFullRepaint = true;
    TRepaintMode FRepaintMode = rmFull;
    Cardinal FOptions = 0;
};

class TCustomImage32 : public TCustomPaintBox32 {
public:
    QM_CLASSNAME(TCustomImage32)
    explicit TCustomImage32(TComponent* AOwner);
    ~TCustomImage32() override;

    TBitmap32* Bitmap() const { return FBitmap.get(); }
    // Copies Value into the owned bitmap.
    void SetBitmap(const TBitmap32* Value);
    TBitmapAlign BitmapAlign() const { return FBitmapAlign; }
    void SetBitmapAlign(TBitmapAlign Value);
    float OffsetHorz() const { return FOffsetHorz; }
    void SetOffsetHorz(float Value);
    float OffsetVert() const { return FOffsetVert; }
    void SetOffsetVert(float Value);
    float Scale() const { return FScaleX; }
    // Values below 0.001 become 0.001; sets ScaleX and ScaleY.
    void SetScale(float Value);
    float ScaleX() const { return FScaleX; }
    float ScaleY() const { return FScaleY; }
    TScaleMode ScaleMode() const { return FScaleMode; }
    virtual void SetScaleMode(TScaleMode Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    TLayerCollection* Layers() const { return FLayers.get(); }
    TPaintStages* PaintStages() const { return FPaintStages.get(); }

    // Where the bitmap lands in the control (empty for an empty bitmap).
    TRect GetBitmapRect();
    // The displayed size of the bitmap under ScaleMode.
    virtual TSize GetBitmapSize();
    TPoint BitmapToControl(const TPoint& P);
    TPoint ControlToBitmap(const TPoint& P);

    virtual void BeginUpdate();
    // Raises EAssertionFailed "Unpaired EndUpdate call" when no update runs.
    virtual void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Outside an update: invalidate and fire OnChange.
    void Changed() override;

    // Resizes the bitmap to the viewport, optionally cleared to Color.
    virtual void SetupBitmap(bool DoClear = false, TColor32 ClearColor = 0xFF000000u);
    // Runs the run-time stages into Dest, the bitmap mapped onto DestRect.
    virtual void RenderStagesInto(TBitmap32* Dest, const TRect& DestRect);

    void SetRepaintMode(TRepaintMode Value) override;
    void Invalidate() override;
    void Loaded() override;

    TNotifyEvent OnBitmapResize;
    TNotifyEvent OnChange;
    TNotifyEvent OnInitStages;
    // These hide TControl's events of the same names: they name the layer.
    TImgMouseEvent OnMouseDown;
    TImgMouseMoveEvent OnMouseMove;
    TImgMouseEvent OnMouseUp;
    TPaintStageEvent OnPaintStage;
    TNotifyEvent OnScaleChange;

protected:
    using TCustomPaintBox32::MouseDown;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;

    virtual void BitmapResized();
    virtual void BitmapChanged(const TRect& Area);
    virtual void InitDefaultStages();
    virtual void DoInitStages();
    virtual void DoScaleChange();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                           TCustomLayer* Layer);
    virtual void MouseMove(TShiftState Shift, int X, int Y, TCustomLayer* Layer);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y, TCustomLayer* Layer);

    virtual void ExecBitmapFrame(TBitmap32* Dest, int StageNum);
    virtual void ExecClearBuffer(TBitmap32* Dest, int StageNum);
    virtual void ExecClearBackground(TBitmap32* Dest, int StageNum);
    virtual void ExecControlFrame(TBitmap32* Dest, int StageNum);
    virtual void ExecCustom(TBitmap32* Dest, int StageNum);
    virtual void ExecDrawBitmap(TBitmap32* Dest, int StageNum);
    virtual void ExecDrawLayers(TBitmap32* Dest, int StageNum);

    void DoPaintBuffer() override;
    void DoPaintGDIOverlay() override;
    void DoBufferResized(int OldWidth, int OldHeight) override;

    // Fills the geometry cache from the control's size.
    void UpdateCache();
    void InvalidateCache() { FCacheValid = false; }

private:
    using TStageHandler = void (TCustomImage32::*)(TBitmap32*, int);
    void CollectStages(bool DesignTime, std::vector<std::pair<TStageHandler, int>>& Out);
    void FillCache(const TRect& BitmapRect);
    TRect ComputeBitmapRect(int ControlWidth, int ControlHeight);
    void BitmapAreaChanged(const TRect& Area, Cardinal Info);
    void BindBitmapEvents();

    std::unique_ptr<TBitmap32> FBitmap;
    std::unique_ptr<TLayerCollection> FLayers;
    std::unique_ptr<TPaintStages> FPaintStages;
    TBitmapAlign FBitmapAlign = baTopLeft;
    float FOffsetHorz = 0;
    float FOffsetVert = 0;
    float FScaleX = 1.0f;
    float FScaleY = 1.0f;
    TScaleMode FScaleMode = smNormal;
    bool FAutoSize = false;
    int FUpdateCount = 0;
    bool FPaintToMode = false;

    // Geometry cache; scales are 16.16 (control pixels per bitmap pixel and
    // back), kept in 64 bits so that large controls cannot overflow them.
    TRect FCachedBitmapRect;
    std::int64_t FCachedScaleX = 0x10000;
    std::int64_t FCachedScaleY = 0x10000;
    std::int64_t FCachedRecScaleX = 0x10000;
    std::int64_t FCachedRecScaleY = 0x10000;
    int FCachedShiftX = 0;
    int FCachedShiftY = 0;
    bool FCacheValid = false;
};

class TImage32 : public TCustomImage32 {
public:
    QM_CLASSNAME(TImage32)
    explicit TImage32(TComponent* AOwner) : TCustomImage32(AOwner) {}
};

// Registers TImage32 with the class registry and its published properties in
// the order the forms and the banner document stream them. Idempotent; the
// control's constructor calls it too.
void RegisterImage32Classes();
