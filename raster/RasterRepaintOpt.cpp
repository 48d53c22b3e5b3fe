#include "raster/RasterRepaintOpt.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TCustomRepaintOptimizer

TCustomRepaintOptimizer::TCustomRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects)
    : FBuffer(Buffer), FInvalidRects(InvalidRects) {}

TCustomRepaintOptimizer::~TCustomRepaintOptimizer() {
    BindCollections(false);
}

void TCustomRepaintOptimizer::SetEnabled(bool Value) {
    FEnabled = Value;
    BindCollections(Value);
}

void TCustomRepaintOptimizer::BindCollections(bool Bind) {
    for (TLayerCollection* c : FLayerCollections) {
        if (Bind)
            c->SetListener(this);
        else if (c->Listener() == this)
            c->SetListener(nullptr);
    }
}

void TCustomRepaintOptimizer::AttachLayerCollection(TLayerCollection* Collection) {
    if (!Collection) return;
    if (std::find(FLayerCollections.begin(), FLayerCollections.end(), Collection) ==
        FLayerCollections.end())
        FLayerCollections.push_back(Collection);
    if (FEnabled) Collection->SetListener(this);
}

void TCustomRepaintOptimizer::DetachLayerCollection(TLayerCollection* Collection) {
    if (!Collection) return;
    if (Collection->Listener() == this) Collection->SetListener(nullptr);
    std::erase(FLayerCollections, Collection);
}

void TCustomRepaintOptimizer::LayerCollectionDestroying(TLayerCollection* Sender) {
    std::erase(FLayerCollections, Sender);
}

// ---------------------------------------------------------------------------
// TMicroTilesMap

TMicroTiles* TMicroTilesMap::Find(TCustomLayer* Layer) const {
    if (!FMap.Contains(Layer)) return nullptr;
    return static_cast<TMicroTiles*>(FMap.Data(Layer));
}

TMicroTiles* TMicroTilesMap::Add(TCustomLayer* Layer, bool& IsNew) {
    void** slot = FMap.Add(Layer, IsNew);
    if (IsNew) *slot = new TMicroTiles();
    return static_cast<TMicroTiles*>(*slot);
}

void TMicroTilesMap::Remove(TCustomLayer* Layer) {
    delete static_cast<TMicroTiles*>(FMap.Remove(Layer));
}

void TMicroTilesMap::Clear() {
    TPointerMapIterator it(FMap);
    while (it.Next())
        delete static_cast<TMicroTiles*>(it.Data());
    FMap.Clear();
}

// ---------------------------------------------------------------------------
// TMicroTilesRepaintOptimizer

TMicroTilesRepaintOptimizer::TMicroTilesRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects)
    : TCustomRepaintOptimizer(Buffer, InvalidRects) {}

TMicroTilesRepaintOptimizer::~TMicroTilesRepaintOptimizer() {
    SetEnabled(false);
}

Cardinal TMicroTilesRepaintOptimizer::Now() const {
    return TickSource ? TickSource() : GetTickCountValue();
}

void TMicroTilesRepaintOptimizer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    TCustomRepaintOptimizer::SetEnabled(Value);
    if (Value) {
        FOldInvalidTilesValid = true;
        if (FBuffer) BufferResized(FBuffer->Width(), FBuffer->Height());
        // Layers painted before we watched them have no old tiles yet: have
        // them measured at the next paint so that their area is known.
        for (TLayerCollection* c : FLayerCollections)
            for (int i = 0; i < c->Count(); ++i)
                LayerUpdated(c, c->Items(i));
    } else {
        for (TCustomLayer* layer : FInvalidLayers)
            layer->SetInvalid(false);
        FInvalidLayers.clear();
        FOldInvalidTilesMap.Clear();
        FOldInvalidTilesValid = false;
        FWorkingTiles = TMicroTiles();
        FForcedInvalidTiles = TMicroTiles();
        FInvalidTiles = TMicroTiles();
        FWorkingTilesValid = false;
        FUseInvalidTiles = false;
    }
}

void TMicroTilesRepaintOptimizer::SetAdaptiveMode(bool Value) {
    if (FAdaptiveMode == Value) return;
    FAdaptiveMode = Value;
    FPerformanceLevel = PL_MICROTILES;
    FTimeDelta = 1000;
    FAdaptionFailed = false;
}

void TMicroTilesRepaintOptimizer::SetPerformanceLevel(int Value) {
    FPerformanceLevel = std::clamp(Value, PL_MICROTILES, PL_FULLSCENE);
}

void TMicroTilesRepaintOptimizer::ValidateWorkingTiles() {
    if (FWorkingTilesValid) return;
    MicroTilesSetSize(FWorkingTiles, FBufferBounds);
    MicroTilesSetSize(FForcedInvalidTiles, FBufferBounds);
    MicroTilesSetSize(FInvalidTiles, FBufferBounds);
    FWorkingTilesValid = true;
}

void TMicroTilesRepaintOptimizer::InvalidateWorkingTiles() {
    FWorkingTilesValid = false;
}

void TMicroTilesRepaintOptimizer::BufferResized(int NewWidth, int NewHeight) {
    FBufferBounds = {0, 0, std::max(NewWidth, 0), std::max(NewHeight, 0)};
    InvalidateWorkingTiles();
    Reset();
}

void TMicroTilesRepaintOptimizer::Reset() {
    FTimeDelta = 1000;
    FAdaptionFailed = false;
    FPerformanceLevel = PL_MICROTILES;
    // A disabled optimiser keeps no grids.
    if (!FEnabled) return;
    ValidateWorkingTiles();
    MicroTilesClear(FInvalidTiles, MICROTILE_FULL);
    FUseInvalidTiles = true;
}

bool TMicroTilesRepaintOptimizer::UpgradeAvailable() const {
    return FEnabled && (FUseInvalidTiles || !FInvalidLayers.empty());
}

void TMicroTilesRepaintOptimizer::AreaUpdated(const TRect& Area, Cardinal Info) {
    if (!FEnabled) return;
    ValidateWorkingTiles();
    MicroTilesAddArea(FInvalidTiles, Area, Info, RoundToWholeTiles());
    FUseInvalidTiles = true;
}

void TMicroTilesRepaintOptimizer::LayerUpdated(TLayerCollection* Sender, TCustomLayer* Layer) {
    if (!FOldInvalidTilesValid || !Layer || Layer->Invalid()) return;
    bool isNew = false;
    TMicroTiles* old = FOldInvalidTilesMap.Add(Layer, isNew);
    if (isNew) MicroTilesSetSize(*old, FBufferBounds);
    FInvalidLayers.push_back(Layer);
    Layer->SetInvalid(true);
    // A changed layer alone must make the next paint look at the tiles.
    ValidateWorkingTiles();
    FUseInvalidTiles = true;
}

void TMicroTilesRepaintOptimizer::AddLayerOldTiles(TCustomLayer* Layer) {
    const TMicroTiles* old = FOldInvalidTilesMap.Find(Layer);
    if (!old) return;
    ValidateWorkingTiles();
    MicroTilesUnion(FForcedInvalidTiles, *old, RoundToWholeTiles());
    FUseInvalidTiles = true;
}

void TMicroTilesRepaintOptimizer::LayerListNotify(TLayerCollection* Sender,
                                                  TLayerListNotification Action,
                                                  TCustomLayer* Layer, int Index) {
    switch (Action) {
    case lnLayerAdded:
    case lnLayerInserted:
        if (FOldInvalidTilesValid && Layer) {
            bool isNew = false;
            MicroTilesSetSize(*FOldInvalidTilesMap.Add(Layer, isNew), FBufferBounds);
            // Its first paint must be measured, or its area would be unknown
            // when it next moves.
            LayerUpdated(Sender, Layer);
        }
        break;
    case lnLayerDeleted:
        if (FOldInvalidTilesValid && Layer) {
            AddLayerOldTiles(Layer);
            FOldInvalidTilesMap.Remove(Layer);
            std::erase(FInvalidLayers, Layer);
            Layer->SetInvalid(false);
        }
        break;
    case lnLayerCleared:
        if (FOldInvalidTilesValid) {
            FOldInvalidTilesMap.ForEach([this](TCustomLayer*, TMicroTiles* Tiles) {
                ValidateWorkingTiles();
                MicroTilesUnion(FForcedInvalidTiles, *Tiles, RoundToWholeTiles());
                FUseInvalidTiles = true;
            });
            FOldInvalidTilesMap.Clear();
            for (TCustomLayer* layer : FInvalidLayers)
                layer->SetInvalid(false);
            FInvalidLayers.clear();
        }
        FTimeDelta = 1000;
        FAdaptionFailed = false;
        FPerformanceLevel = PL_MICROTILES;
        break;
    }
}

void TMicroTilesRepaintOptimizer::DrawLayerToMicroTiles(TMicroTiles& Tiles, TCustomLayer* Layer) {
    MicroTilesClear(Tiles);
    // A hidden layer covers nothing, so only its old area is repainted.
    if (!FBuffer || !Layer->Visible()) return;
    const bool round = RoundToWholeTiles();
    FBuffer->BeginMeasuring([&Tiles, round](TObject*, const TRect& Area, Cardinal Info) {
        MicroTilesAddArea(Tiles, Area, Info, round);
    });
    try {
        Layer->DoPaint(FBuffer);
    } catch (...) {
        FBuffer->EndMeasuring();
        throw;
    }
    FBuffer->EndMeasuring();
}

void TMicroTilesRepaintOptimizer::PerformOptimization() {
    if (!FEnabled || !FUseInvalidTiles) return;
    ValidateWorkingTiles();
    const bool round = RoundToWholeTiles();
    // Take the list first: a layer that changes while it is measured must
    // not modify the list under our feet.
    std::vector<TCustomLayer*> layers;
    layers.swap(FInvalidLayers);
    for (TCustomLayer* layer : layers) {
        layer->SetInvalid(false);
        DrawLayerToMicroTiles(FWorkingTiles, layer);
        MicroTilesUnion(FForcedInvalidTiles, FWorkingTiles, round);
        bool isNew = false;
        TMicroTiles* old = FOldInvalidTilesMap.Add(layer, isNew);
        MicroTilesUnion(FForcedInvalidTiles, *old, round);
        MicroTilesCopy(*old, FWorkingTiles);
    }
    MicroTilesCalcRects(FForcedInvalidTiles, *FInvalidRects);
    MicroTilesCalcRects(FInvalidTiles, *FInvalidRects);
    BeginAdaption();
    MicroTilesClear(FForcedInvalidTiles);
    MicroTilesClear(FInvalidTiles);
    FUseInvalidTiles = false;
}

void TMicroTilesRepaintOptimizer::BeginPaintBuffer() {
    if (FAdaptiveMode) FPerfTimer.Start();
}

void TMicroTilesRepaintOptimizer::EndPaintBuffer() {
    if (FAdaptiveMode) EndAdaption();
}

void TMicroTilesRepaintOptimizer::ChangeTimeDelta(int Value) {
    FTimeDelta = std::clamp(Value, 1000, 5000);
    FNextCheck = Now() + Cardinal(FTimeDelta);
}

void TMicroTilesRepaintOptimizer::BeginAdaption() {
    if (!FAdaptiveMode || FPerformanceLevel <= PL_MICROTILES) return;
    // The tick count wraps; compare by signed distance.
    if (std::int32_t(Now() - FNextCheck) > 0) {
        SetPerformanceLevel(FPerformanceLevel - 1);
        FTimedCheck = true;
    } else if (!FAdaptionFailed && FInvalidRects->Count() < FOldInvalidRectsCount - 10) {
        SetPerformanceLevel(FPerformanceLevel - 1);
    } else if (FPerformanceLevel == PL_FULLSCENE) {
        FInvalidRects->Clear();
    }
}

void TMicroTilesRepaintOptimizer::EndAdaption() {
    const std::int64_t elapsed = ElapsedSource ? ElapsedSource() : FPerfTimer.ReadValue();
    FElapsedTimeForLastRepaint = elapsed;
    if (FInvalidRects->Count() == 0) {
        FElapsedTimeForFullSceneRepaint = elapsed;
    } else if (elapsed > FElapsedTimeForFullSceneRepaint) {
        SetPerformanceLevel(FPerformanceLevel + 1);
        FOldInvalidRectsCount = FInvalidRects->Count();
        if (FTimedCheck) {
            ChangeTimeDelta(FTimeDelta + 250);
            FElapsedTimeAtLastPenalty = elapsed;
        }
        FAdaptionFailed = true;
    } else if (elapsed < FElapsedTimeForFullSceneRepaint) {
        if (FTimedCheck)
            ChangeTimeDelta(1000);
        else if (FTimeDelta > 1000)
            ChangeTimeDelta(FTimeDelta - 1000);
        FAdaptionFailed = false;
    } else if (FTimedCheck && elapsed < FElapsedTimeAtLastPenalty) {
        ChangeTimeDelta(FTimeDelta - 250);
    }
    FTimedCheck = false;
}
