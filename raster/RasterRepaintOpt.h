#pragma once
// Repaint optimisers of the image control. The control owns its back buffer
// and its list of invalid rectangles; the optimiser, given both, collects
// what changed (areas of the bitmap, layers that changed) and, just before
// the buffer is painted, fills the list with the rectangles that need it. An
// empty list after optimisation means "repaint everything".
#include "platform/base/Types.h"
#include "raster/RasterContainers.h"
#include "raster/RasterCore.h"
#include "raster/RasterLayers.h"
#include "raster/RasterMicroTiles.h"
#include "raster/RasterSystem.h"

#include <cstdint>
#include <vector>

class TCustomRepaintOptimizer : public TObject, public TLayerCollectionListener {
public:
    QM_CLASSNAME(TCustomRepaintOptimizer)

    TCustomRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects);
    // Lets go of every watched collection.
    ~TCustomRepaintOptimizer() override;
    TCustomRepaintOptimizer(const TCustomRepaintOptimizer&) = delete;
    TCustomRepaintOptimizer& operator=(const TCustomRepaintOptimizer&) = delete;

    virtual bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    // Watches Collection; while enabled the optimiser is its listener.
    virtual void AttachLayerCollection(TLayerCollection* Collection);
    virtual void DetachLayerCollection(TLayerCollection* Collection);
    const std::vector<TLayerCollection*>& LayerCollections() const { return FLayerCollections; }

    virtual void BeginPaint() {}
    virtual void EndPaint() {}
    virtual void BeginPaintBuffer() {}
    virtual void EndPaintBuffer() {}
    virtual void Reset() = 0;
    // Whether optimising now would narrow the next repaint.
    virtual bool UpgradeAvailable() const = 0;
    virtual void PerformOptimization() = 0;
    // A changed area of the buffer (the control maps the bitmap's areas).
    virtual void AreaUpdated(const TRect& Area, Cardinal Info) = 0;
    virtual void BufferResized(int NewWidth, int NewHeight) = 0;

    TBitmap32* Buffer() const { return FBuffer; }
    TRectList* InvalidRects() const { return FInvalidRects; }

    // TLayerCollectionListener.
    void LayerAreaChanged(TLayerCollection* Sender, const TRect& Area, Cardinal Info) override {
        AreaUpdated(Area, Info);
    }
    void LayerCollectionDestroying(TLayerCollection* Sender) override;

protected:
    void BindCollections(bool Bind);

    bool FEnabled = false;
    std::vector<TLayerCollection*> FLayerCollections;
    TBitmap32* FBuffer;
    TRectList* FInvalidRects;
};

// The old tiles of each layer, owned by the map.
class TMicroTilesMap {
public:
    TMicroTilesMap() = default;
    ~TMicroTilesMap() { Clear(); }
    TMicroTilesMap(const TMicroTilesMap&) = delete;
    TMicroTilesMap& operator=(const TMicroTilesMap&) = delete;

    // nullptr when Layer has none.
    TMicroTiles* Find(TCustomLayer* Layer) const;
    // Layer's tiles, created empty when missing.
    TMicroTiles* Add(TCustomLayer* Layer, bool& IsNew);
    void Remove(TCustomLayer* Layer);
    void Clear();
    int Count() const { return FMap.Count(); }
    template <class F> void ForEach(F&& Fn) const {
        TPointerMapIterator it(FMap);
        while (it.Next())
            Fn(static_cast<TCustomLayer*>(it.Key()), static_cast<TMicroTiles*>(it.Data()));
    }

private:
    TPointerMap FMap;
};

// Performance levels: exact sub-rectangles, whole cells, whole repaint.
constexpr int PL_MICROTILES = 0;
constexpr int PL_MINIMIZEDTILES = 1;
constexpr int PL_FULLSCENE = 2;

class TMicroTilesRepaintOptimizer : public TCustomRepaintOptimizer {
public:
    QM_CLASSNAME(TMicroTilesRepaintOptimizer)

    TMicroTilesRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects);
    ~TMicroTilesRepaintOptimizer() override;

    void SetEnabled(bool Value) override;
    void BeginPaintBuffer() override;
    void EndPaintBuffer() override;
    // The whole buffer becomes invalid; the adaptive state starts afresh.
    void Reset() override;
    bool UpgradeAvailable() const override;
    void PerformOptimization() override;
    void AreaUpdated(const TRect& Area, Cardinal Info) override;
    void BufferResized(int NewWidth, int NewHeight) override;

    void LayerListNotify(TLayerCollection* Sender, TLayerListNotification Action,
                         TCustomLayer* Layer, int Index) override;
    void LayerUpdated(TLayerCollection* Sender, TCustomLayer* Layer) override;

    bool AdaptiveMode() const { return FAdaptiveMode; }
    void SetAdaptiveMode(bool Value);
    int PerformanceLevel() const { return FPerformanceLevel; }
    // Clamped to PL_MICROTILES .. PL_FULLSCENE.
    void SetPerformanceLevel(int Value);
    int TimeDelta() const { return FTimeDelta; }
    Cardinal NextCheck() const { return FNextCheck; }
    bool TimedCheck() const { return FTimedCheck; }
    bool AdaptionFailed() const { return FAdaptionFailed; }
    const TRect& BufferBounds() const { return FBufferBounds; }
    const TMicroTiles& InvalidTiles() const { return FInvalidTiles; }
    const TMicroTiles& ForcedInvalidTiles() const { return FForcedInvalidTiles; }
    const std::vector<TCustomLayer*>& InvalidLayers() const { return FInvalidLayers; }
    // nullptr when the layer has no old tiles.
    const TMicroTiles* OldInvalidTiles(TCustomLayer* Layer) const {
        return FOldInvalidTilesMap.Find(Layer);
    }

    // The clock of the adaptive check, in milliseconds (replaceable for
    // tests); the stopwatch of the repaints is measured separately.
    std::function<Cardinal()> TickSource;
    // Microseconds the last buffer paint took (replaceable for tests).
    std::function<std::int64_t()> ElapsedSource;

protected:
    // Decides, after the rectangles are known, whether to paint them.
    void BeginAdaption();
    // Weighs the paint that just ended against a whole repaint.
    void EndAdaption();

private:
    Cardinal Now() const;
    void ValidateWorkingTiles();
    void InvalidateWorkingTiles();
    void DrawLayerToMicroTiles(TMicroTiles& Tiles, TCustomLayer* Layer);
    void AddLayerOldTiles(TCustomLayer* Layer);
    void ChangeTimeDelta(int Value);
    bool RoundToWholeTiles() const { return FPerformanceLevel > PL_MICROTILES; }

    TRect FBufferBounds;
    TMicroTiles FWorkingTiles;
    TMicroTiles FForcedInvalidTiles;
    TMicroTiles FInvalidTiles;
    TMicroTilesMap FOldInvalidTilesMap;
    std::vector<TCustomLayer*> FInvalidLayers;
    bool FWorkingTilesValid = false;
    bool FOldInvalidTilesValid = false;
    bool FUseInvalidTiles = false;

    bool FAdaptiveMode = true;
    int FPerformanceLevel = PL_MICROTILES;
    TPerfTimer FPerfTimer;
    int FTimeDelta = 1000;
    Cardinal FNextCheck = 0;
    bool FTimedCheck = false;
    bool FAdaptionFailed = false;
    int FOldInvalidRectsCount = 0;
    std::int64_t FElapsedTimeForLastRepaint = 0;
    std::int64_t FElapsedTimeForFullSceneRepaint = 0;
    std::int64_t FElapsedTimeAtLastPenalty = 0;
};
