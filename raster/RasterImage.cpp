#include "raster/RasterImage.h"

#include "platform/base/Exception.h"
#include "platform/base/Rounding.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "raster/Color32.h"
#include "raster/RasterResamplers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// (A * B) / C rounded half away from zero, in 64 bits; 0 for a zero divisor.
std::int64_t MulDiv64(std::int64_t A, std::int64_t B, std::int64_t C) {
    if (C == 0) return 0;
    const std::int64_t P = A * B;
    const bool Negative = (P < 0) != (C < 0);
    const std::int64_t AP = P < 0 ? -P : P;
    const std::int64_t AC = C < 0 ? -C : C;
    const std::int64_t Q = (AP + AC / 2) / AC;
    return Negative ? -Q : Q;
}

int ClampToInt(std::int64_t V) {
    return int(std::clamp<std::int64_t>(V, INT32_MIN, INT32_MAX));
}

// A dotted frame whose pixels are inverted, so that it shows on any colour
// and a second drawing takes it away.
void DrawFocusRect(TBitmap32* Dest, const TRect& R) {
    if (Dest->Empty() || R.IsEmpty()) return;
    const TRect& Clip = Dest->ClipRect();
    auto Invert = [&](int X, int Y) {
        if (((X + Y) & 1) != 0) return;
        if (X < Clip.Left || X >= Clip.Right || Y < Clip.Top || Y >= Clip.Bottom) return;
        TColor32* P = Dest->PixelPtr(X, Y);
        *P ^= 0x00FFFFFFu;
    };
    for (int X = R.Left; X < R.Right; ++X) {
        Invert(X, R.Top);
        if (R.Bottom - 1 > R.Top) Invert(X, R.Bottom - 1);
    }
    for (int Y = R.Top + 1; Y < R.Bottom - 1; ++Y) {
        Invert(R.Left, Y);
        if (R.Right - 1 > R.Left) Invert(R.Right - 1, Y);
    }
    Dest->AreaChanged(R, AREAINFO_RECT);
}

} // namespace

// ---------------------------------------------------------------- stages

TPaintStage* TPaintStages::Items(int Index) {
    if (Index < 0 || Index >= Count()) return nullptr;
    return &FItems[std::size_t(Index)];
}

TPaintStage* TPaintStages::Add() {
    FItems.emplace_back();
    return &FItems.back();
}

TPaintStage* TPaintStages::Insert(int Index) {
    Index = std::clamp(Index, 0, Count());
    return &*FItems.insert(FItems.begin() + Index, TPaintStage{});
}

void TPaintStages::Delete(int Index) {
    if (Index < 0 || Index >= Count()) return;
    FItems.erase(FItems.begin() + Index);
}

// ---------------------------------------------------------------- paint box

TCustomPaintBox32::TCustomPaintBox32(TComponent* AOwner) : TCustomControl(AOwner) {
    FBuffer = std::make_unique<TBitmap32>();
    FInvalidRects = std::make_unique<TRectList>();
    FRepaintOptimizer =
        std::make_unique<TMicroTilesRepaintOptimizer>(FBuffer.get(), FInvalidRects.get());
    SetBounds(Left(), Top(), 192, 192);
}

TCustomPaintBox32::~TCustomPaintBox32() {
    FRepaintOptimizer.reset();
    FInvalidRects.reset();
    FBuffer.reset();
}

void TCustomPaintBox32::SetRepaintMode(TRepaintMode Value) {
    FRepaintOptimizer->SetEnabled(Value == rmOptimizer);
    FRepaintMode = Value;
    Invalidate();
}

TRect TCustomPaintBox32::GetViewportRect() const {
    return {0, 0, std::max(ClientWidth(), 0), std::max(ClientHeight(), 0)};
}

void TCustomPaintBox32::ForceFullInvalidate() {
    if (FRepaintOptimizer && FRepaintOptimizer->Enabled()) FRepaintOptimizer->Reset();
    Invalidate();
}

void TCustomPaintBox32::Invalidate() {
    FBufferValid = false;
    FForceFullRepaint = true;
    TCustomControl::Invalidate();
}

void TCustomPaintBox32::InvalidateBuffer() {
    FBufferValid = false;
    TCustomControl::Invalidate();
}

bool TCustomPaintBox32::CustomRepaint() {
    return FForceFullRepaint || !FBufferValid || FInvalidRects->Count() > 0 ||
           (FRepaintOptimizer->Enabled() && FRepaintOptimizer->UpgradeAvailable());
}

void TCustomPaintBox32::DoPrepareInvalidRects() {
    // The optimiser always runs when enabled, so that what it collected is
    // consumed even by a full repaint.
    if (FRepaintOptimizer->Enabled()) FRepaintOptimizer->PerformOptimization();
    if (FForceFullRepaint) FInvalidRects->Clear();
}

void TCustomPaintBox32::DoPaintBuffer() {
    FBufferValid = true;
}

void TCustomPaintBox32::DoPaintGDIOverlay() {
    if (OnGDIOverlay) OnGDIOverlay(this);
}

void TCustomPaintBox32::DoBufferResized(int OldWidth, int OldHeight) {
    FRepaintOptimizer->BufferResized(FBuffer->Width(), FBuffer->Height());
    ForceFullInvalidate();
}

void TCustomPaintBox32::ResizeBuffer() {
    const TRect V = GetViewportRect();
    const int NeedW = std::max(V.Width(), 1);
    const int NeedH = std::max(V.Height(), 1);
    auto Fit = [this](int Need, int Have) {
        if (Need > Have) return Need + FBufferOversize;
        if (Have - Need <= FBufferOversize) return Have;
        return Need;
    };
    const int OldW = FBuffer->Width();
    const int OldH = FBuffer->Height();
    const int W = Fit(NeedW, OldW);
    const int H = Fit(NeedH, OldH);
    if (W == OldW && H == OldH) return;
    FBuffer->Lock();
    try {
        FBuffer->SetDimensions(W, H);
    } catch (...) {
        FBuffer->Unlock();
        throw;
    }
    FBuffer->Unlock();
    DoBufferResized(OldW, OldH);
}

void TCustomPaintBox32::Resize() {
    ResizeBuffer();
    TCustomControl::Resize();
}

void TCustomPaintBox32::Paint() {
    const bool Optimizing = FRepaintOptimizer->Enabled();
    if (Optimizing) FRepaintOptimizer->BeginPaint();
    if (!FBufferValid) {
        DoPrepareInvalidRects();
        DoPaintBuffer();
    }

    TPixelSurface S;
    TCanvas* C = Canvas();
    if (C->AcquireSurface(S)) {
        FBuffer->Lock();
        auto CopyRect = [&](const TRect& R) {
            TRect D;
            if (!IntersectRect(D, R, S.BoundsRect())) return;
            if (!IntersectRect(D, D, FBuffer->BoundsRect())) return;
            for (int Y = D.Top; Y < D.Bottom; ++Y)
                std::memcpy(S.Row(Y) + D.Left, FBuffer->PixelPtr(D.Left, Y),
                            std::size_t(D.Width()) * sizeof(TColor32));
        };
        if (FInvalidRects->Count() == 0) {
            CopyRect(GetViewportRect());
        } else {
            for (int I = 0; I < FInvalidRects->Count(); ++I)
                CopyRect(*FInvalidRects->Items(I));
        }
        FBuffer->Unlock();
        C->ReleaseSurface(true);
    }

    DoPaintGDIOverlay();
    if (Optimizing) FRepaintOptimizer->EndPaint();
    FInvalidRects->Clear();
    FForceFullRepaint = false;
}

void TCustomPaintBox32::Dispatch(TMessage& Message) {
    // The buffer covers the whole client area, so erasing would only flicker.
    if (Message.Msg == WM_ERASEBKGND && (FOptions & pboNoEraseHandling) == 0) {
        Message.Result = 1;
        return;
    }
    TCustomControl::Dispatch(Message);
}

void TCustomPaintBox32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if ((FOptions & pboAutoFocus) != 0 && CanFocus()) SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomPaintBox32::MouseEnter() {
    TCustomControl::MouseEnter();
}

void TCustomPaintBox32::MouseLeave() {
    TCustomControl::MouseLeave();
}

// ---------------------------------------------------------------- image

TCustomImage32::TCustomImage32(TComponent* AOwner) : TCustomPaintBox32(AOwner) {
    RegisterImage32Classes();
    SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque,
                     csReplicatable});

    FBitmap = std::make_unique<TBitmap32>();
    FBitmap->OnResize = [this](TObject*) { BitmapResized(); };

    FLayers = std::make_unique<TLayerCollection>(this);
    FLayers->OnChange = [this](TObject*) { Changed(); };
    FLayers->OnRepaintRequest = [this](TObject*) {
        if (FUpdateCount == 0) Invalidate();
    };
    FLayers->OnGetViewportScale = [this](TObject*, float& SX, float& SY) {
        UpdateCache();
        SX = float(double(FCachedScaleX) / 65536.0);
        SY = float(double(FCachedScaleY) / 65536.0);
    };
    FLayers->OnGetViewportShift = [this](TObject*, float& SX, float& SY) {
        UpdateCache();
        SX = float(FCachedShiftX);
        SY = float(FCachedShiftY);
    };
    FLayers->OnGetOwnerCursor = [this]() { return Cursor(); };
    FLayers->OnSetScreenCursor = [](TCursor C) {
        if (Screen != nullptr) Screen->SetCursor(C);
    };
    FRepaintOptimizer->AttachLayerCollection(FLayers.get());

    FPaintStages = std::make_unique<TPaintStages>();
    FRepaintMode = rmFull;
    BindBitmapEvents();
    InitDefaultStages();
}

TCustomImage32::~TCustomImage32() {
    BeginUpdate();
    FPaintStages.reset();
    FRepaintOptimizer->DetachLayerCollection(FLayers.get());
    FLayers->OnChange = nullptr;
    FLayers->OnRepaintRequest = nullptr;
    FLayers.reset();
    // The bitmap reports its own teardown; nobody is left to hear it.
    FBitmap->OnResize = nullptr;
    FBitmap->OnChange = nullptr;
    FBitmap->OnAreaChanged = nullptr;
    FBitmap.reset();
}

void TCustomImage32::BindBitmapEvents() {
    if (FRepaintMode == rmFull) {
        FBitmap->OnAreaChanged = nullptr;
        FBitmap->OnChange = [this](TObject*) { BitmapChanged(FBitmap->BoundsRect()); };
    } else {
        FBitmap->OnChange = nullptr;
        FBitmap->OnAreaChanged = [this](TObject*, const TRect& Area, Cardinal Info) {
            BitmapAreaChanged(Area, Info);
        };
    }
}

void TCustomImage32::SetRepaintMode(TRepaintMode Value) {
    TCustomPaintBox32::SetRepaintMode(Value);
    BindBitmapEvents();
}

void TCustomImage32::SetBitmap(const TBitmap32* Value) {
    InvalidateCache();
    FBitmap->Assign(Value);
}

void TCustomImage32::SetBitmapAlign(TBitmapAlign Value) {
    InvalidateCache();
    FBitmapAlign = Value;
    Changed();
}

void TCustomImage32::SetOffsetHorz(float Value) {
    if (Value == FOffsetHorz) return;
    InvalidateCache();
    FOffsetHorz = Value;
    Changed();
}

void TCustomImage32::SetOffsetVert(float Value) {
    if (Value == FOffsetVert) return;
    InvalidateCache();
    FOffsetVert = Value;
    Changed();
}

void TCustomImage32::SetScale(float Value) {
    if (!(Value >= 0.001f)) Value = 0.001f; // also catches NaN
    if (Value == FScaleX && Value == FScaleY) return;
    InvalidateCache();
    FScaleX = Value;
    FScaleY = Value;
    DoScaleChange();
    Changed();
}

void TCustomImage32::SetScaleMode(TScaleMode Value) {
    if (Value == FScaleMode) return;
    InvalidateCache();
    FScaleMode = Value;
    Changed();
}

void TCustomImage32::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    if (Value) BitmapResized();
}

void TCustomImage32::BeginUpdate() {
    ++FUpdateCount;
}

void TCustomImage32::EndUpdate() {
    if (FUpdateCount <= 0) throw EAssertionFailed("Unpaired EndUpdate call");
    --FUpdateCount;
}

void TCustomImage32::Changed() {
    if (FUpdateCount != 0) return;
    Invalidate();
    if (OnChange) OnChange(this);
}

void TCustomImage32::Invalidate() {
    FCacheValid = false;
    TCustomPaintBox32::Invalidate();
}

void TCustomImage32::Loaded() {
    TCustomPaintBox32::Loaded();
    FBufferValid = false;
    DoInitStages();
}

void TCustomImage32::DoInitStages() {
    if (OnInitStages) OnInitStages(this);
}

void TCustomImage32::DoScaleChange() {
    if (OnScaleChange) OnScaleChange(this);
}

void TCustomImage32::InitDefaultStages() {
    auto AddStage = [this](bool Dsgn, bool Run, TPaintStageKind Kind, Cardinal Param = 0) {
        TPaintStage* S = FPaintStages->Add();
        S->DsgnTime = Dsgn;
        S->RunTime = Run;
        S->Stage = Kind;
        S->Parameter = Param;
    };
    AddStage(true, true, pskClearBackground);
    AddStage(true, false, pskControlFrame);
    AddStage(true, true, pskDrawBitmap);
    AddStage(true, false, pskBitmapFrame);
    AddStage(true, true, pskDrawLayers, LOB_VISIBLE);
}

void TCustomImage32::SetupBitmap(bool DoClear, TColor32 ClearColor) {
    const TRect V = GetViewportRect();
    FBitmap->StartUpdate();
    try {
        FBitmap->SetDimensions(V.Width(), V.Height());
        if (DoClear) FBitmap->ClearToColor(ClearColor);
    } catch (...) {
        FBitmap->EndUpdate();
        throw;
    }
    FBitmap->EndUpdate();
    InvalidateCache();
    Changed();
}

// ---------------------------------------------------------------- geometry

TSize TCustomImage32::GetBitmapSize() {
    const TRect V = GetViewportRect();
    const int Vw = V.Width();
    const int Vh = V.Height();
    const int Bw = FBitmap->Width();
    const int Bh = FBitmap->Height();
    if (FBitmap->Empty() || Vw <= 0 || Vh <= 0) return {0, 0};

    TScaleMode Mode = FScaleMode;
    if (Mode == smOptimal) Mode = (Vw < Bw || Vh < Bh) ? smResize : smNormal;
    if (Mode == smOptimalScaled)
        Mode = (Vw < Round(double(Bw) * FScaleX) || Vh < Round(double(Bh) * FScaleY)) ? smResize
                                                                                      : smScale;
    TSize R;
    switch (Mode) {
    case smStretch:
        R = {Vw, Vh};
        break;
    case smResize: {
        const float Sx = float(Vw) / float(Bw);
        const float Sy = float(Vh) / float(Bh);
        if (Sx >= Sy)
            R = {Round(double(Sy) * Bw), Vh};
        else
            R = {Vw, Round(double(Sx) * Bh)};
        break;
    }
    case smScale:
        R = {Round(double(Bw) * FScaleX), Round(double(Bh) * FScaleY)};
        break;
    default:
        R = {Bw, Bh};
        break;
    }
    if (R.cx < 1) R.cx = 0;
    if (R.cy < 1) R.cy = 0;
    return R;
}

TRect TCustomImage32::ComputeBitmapRect(int ControlWidth, int ControlHeight) {
    const TSize S = GetBitmapSize();
    TRect R{0, 0, S.cx, S.cy};
    switch (FBitmapAlign) {
    case baCenter:
        OffsetRect(R, (ControlWidth - S.cx) / 2, (ControlHeight - S.cy) / 2);
        break;
    case baCustom:
        OffsetRect(R, Round(FOffsetHorz), Round(FOffsetVert));
        break;
    default:
        break;
    }
    return R;
}

void TCustomImage32::FillCache(const TRect& BitmapRect) {
    FCachedBitmapRect = BitmapRect;
    if (FBitmap->Empty() || BitmapRect.IsEmpty()) {
        FCachedScaleX = FCachedScaleY = 0x10000;
        FCachedRecScaleX = FCachedRecScaleY = 0x10000;
        FCachedShiftX = FCachedShiftY = 0;
        return;
    }
    const std::int64_t Rw = std::int64_t(BitmapRect.Right) - BitmapRect.Left;
    const std::int64_t Rh = std::int64_t(BitmapRect.Bottom) - BitmapRect.Top;
    FCachedScaleX = MulDiv64(Rw, 0x10000, FBitmap->Width());
    FCachedScaleY = MulDiv64(Rh, 0x10000, FBitmap->Height());
    FCachedRecScaleX = MulDiv64(FBitmap->Width(), 0x10000, Rw);
    FCachedRecScaleY = MulDiv64(FBitmap->Height(), 0x10000, Rh);
    FCachedShiftX = BitmapRect.Left;
    FCachedShiftY = BitmapRect.Top;
}

void TCustomImage32::UpdateCache() {
    if (FCacheValid) return;
    FillCache(ComputeBitmapRect(ClientWidth(), ClientHeight()));
    FCacheValid = true;
}

TRect TCustomImage32::GetBitmapRect() {
    UpdateCache();
    return FCachedBitmapRect;
}

TPoint TCustomImage32::BitmapToControl(const TPoint& P) {
    UpdateCache();
    // Truncated toward zero, as the cache's scale is applied everywhere.
    return {ClampToInt(std::int64_t(P.X) * FCachedScaleX / 0x10000 + FCachedShiftX),
            ClampToInt(std::int64_t(P.Y) * FCachedScaleY / 0x10000 + FCachedShiftY)};
}

TPoint TCustomImage32::ControlToBitmap(const TPoint& P) {
    UpdateCache();
    if (FBitmap->Empty() || FCachedBitmapRect.IsEmpty())
        return {P.X - FCachedShiftX, P.Y - FCachedShiftY};
    // Exact and floored (the 16.16 inverse may land one pixel short), so that
    // a point just left of or above the bitmap maps outside it.
    auto Map = [](int V, int Shift, std::int64_t Size, std::int64_t Extent) {
        const std::int64_t D = (std::int64_t(V) - Shift) * Size;
        return ClampToInt(D >= 0 ? D / Extent : -((-D + Extent - 1) / Extent));
    };
    return {Map(P.X, FCachedShiftX, FBitmap->Width(), FCachedBitmapRect.Width()),
            Map(P.Y, FCachedShiftY, FBitmap->Height(), FCachedBitmapRect.Height())};
}

// ---------------------------------------------------------------- bitmap events

void TCustomImage32::BitmapResized() {
    if (FAutoSize && FBitmap->Width() > 0 && FBitmap->Height() > 0) {
        int W = FBitmap->Width();
        int H = FBitmap->Height();
        if (FScaleMode == smScale) {
            W = Round(double(W) * FScaleX);
            H = Round(double(H) * FScaleY);
        }
        SetBounds(Left(), Top(), W, H);
    }
    // Fired outside update brackets: a control being updated or destroyed
    // does not report the intermediate sizes.
    if (FUpdateCount == 0 && OnBitmapResize) OnBitmapResize(this);
    InvalidateCache();
    ForceFullInvalidate();
}

void TCustomImage32::BitmapChanged(const TRect& Area) {
    if (FRepaintOptimizer->Enabled()) FRepaintOptimizer->Reset();
    Changed();
}

void TCustomImage32::BitmapAreaChanged(const TRect& Area, Cardinal Info) {
    if (Area.IsEmpty() && (Info & AREAINFO_LINE) == 0) return;
    UpdateCache();
    if (FCachedBitmapRect.IsEmpty()) return;
    // A resampled pixel reaches its neighbours; a line reaches its thickness.
    int Margin = 1;
    if (TCustomResampler* Rs = FBitmap->Resampler())
        Margin = int(std::ceil(std::clamp<double>(Rs->GetWidth(), 0.0, 1024.0))) + 1;
    if ((Info & AREAINFO_LINE) != 0 && FRepaintMode == rmDirect)
        Margin += int(std::min<Cardinal>(Info & 0x00FFFFFFu, 1024));

    auto Mapped = [&](int DX, int DY) {
        const TPoint A =
            BitmapToControl({std::min(Area.Left, Area.Right), std::min(Area.Top, Area.Bottom)});
        const TPoint B =
            BitmapToControl({std::max(Area.Left, Area.Right), std::max(Area.Top, Area.Bottom)});
        return TRect{A.X - Margin + DX, A.Y - Margin + DY, B.X + Margin + DX, B.Y + Margin + DY};
    };
    std::vector<TRect> Rects;
    if (FBitmapAlign == baTile) {
        const int Tw = FCachedBitmapRect.Width();
        const int Th = FCachedBitmapRect.Height();
        const int Cols = FBuffer->Width() / Tw + 1;
        const int Rows = FBuffer->Height() / Th + 1;
        // Many small tiles: one full repaint is cheaper than their rectangles.
        if (std::int64_t(Cols) * Rows > 256) {
            ForceFullInvalidate();
            return;
        }
        for (int Y = 0; Y < Rows; ++Y)
            for (int X = 0; X < Cols; ++X)
                Rects.push_back(Mapped(X * Tw, Y * Th));
    } else {
        Rects.push_back(Mapped(0, 0));
    }

    const TRect View = GetViewportRect();
    for (const TRect& R : Rects) {
        TRect C;
        if (!IntersectRect(C, R, View)) continue;
        if (FRepaintMode == rmOptimizer)
            FRepaintOptimizer->AreaUpdated(C, Info);
        else
            FInvalidRects->Add(C);
    }
    InvalidateBuffer();
    if (FRepaintMode == rmDirect && FUpdateCount == 0) Update();
}

// ---------------------------------------------------------------- painting

void TCustomImage32::CollectStages(bool DesignTime,
                                   std::vector<std::pair<TStageHandler, int>>& Out) {
    Out.clear();
    for (int I = 0; I < FPaintStages->Count(); ++I) {
        const TPaintStage& S = *FPaintStages->Items(I);
        if (DesignTime ? !S.DsgnTime : !S.RunTime) continue;
        TStageHandler H = nullptr;
        switch (S.Stage) {
        case pskCustom:
            H = &TCustomImage32::ExecCustom;
            break;
        case pskClearBuffer:
            H = &TCustomImage32::ExecClearBuffer;
            break;
        case pskClearBackground:
            H = &TCustomImage32::ExecClearBackground;
            break;
        case pskDrawBitmap:
            H = &TCustomImage32::ExecDrawBitmap;
            break;
        case pskDrawLayers:
            H = &TCustomImage32::ExecDrawLayers;
            break;
        case pskControlFrame:
            H = &TCustomImage32::ExecControlFrame;
            break;
        case pskBitmapFrame:
            H = &TCustomImage32::ExecBitmapFrame;
            break;
        default:
            break;
        }
        if (H != nullptr) Out.emplace_back(H, I);
    }
}

void TCustomImage32::DoPaintBuffer() {
    const bool Optimizing = FRepaintOptimizer->Enabled();
    if (Optimizing) FRepaintOptimizer->BeginPaintBuffer();
    UpdateCache();

    std::vector<std::pair<TStageHandler, int>> Stages;
    CollectStages(ComponentState().Contains(csDesigning), Stages);

    const TRect View = GetViewportRect();
    FBuffer->StartUpdate();
    try {
        if (FInvalidRects->Count() > 0) {
            for (int I = 0; I < FInvalidRects->Count(); ++I) {
                FBuffer->SetClipRectangle(*FInvalidRects->Items(I));
                for (auto& [H, N] : Stages)
                    (this->*H)(FBuffer.get(), N);
            }
        } else {
            FBuffer->SetClipRectangle(View);
            for (auto& [H, N] : Stages)
                (this->*H)(FBuffer.get(), N);
        }
    } catch (...) {
        FBuffer->SetClipRectangle(View);
        FBuffer->EndUpdate();
        if (Optimizing) FRepaintOptimizer->EndPaintBuffer();
        throw;
    }
    FBuffer->SetClipRectangle(View);
    FBuffer->EndUpdate();
    if (Optimizing) FRepaintOptimizer->EndPaintBuffer();
    FBufferValid = true;
}

void TCustomImage32::DoPaintGDIOverlay() {
    for (int I = 0; I < FLayers->Count(); ++I) {
        TCustomLayer* L = FLayers->Items(I);
        if ((L->LayerOptions() & LOB_GDI_OVERLAY) != 0) L->PaintGDI(Canvas());
    }
    TCustomPaintBox32::DoPaintGDIOverlay();
}

void TCustomImage32::DoBufferResized(int OldWidth, int OldHeight) {
    InvalidateCache();
    TCustomPaintBox32::DoBufferResized(OldWidth, OldHeight);
}

void TCustomImage32::ExecClearBuffer(TBitmap32* Dest, int) {
    Dest->ClearToColor(ToColor32(Color()));
}

void TCustomImage32::ExecClearBackground(TBitmap32* Dest, int) {
    const TColor32 C = ToColor32(Color());
    if (!FPaintToMode && FInvalidRects->Count() > 0) {
        for (int I = 0; I < FInvalidRects->Count(); ++I) {
            const TRect& R = *FInvalidRects->Items(I);
            Dest->FillRectangleClipped(R.Left, R.Top, R.Right, R.Bottom, C);
        }
        return;
    }
    if (FBitmap->Empty() || FBitmap->DrawMode() != dmOpaque) {
        Dest->ClearToColor(C);
        return;
    }
    const TRect& B = FCachedBitmapRect;
    const int W = FPaintToMode ? Dest->Width() : ClientWidth();
    const int H = FPaintToMode ? Dest->Height() : ClientHeight();
    const bool Covers = B.Left <= 0 && B.Top <= 0 && B.Right >= W && B.Bottom >= H;
    const bool Tiled = FBitmapAlign == baTile && B.Left <= 0 && B.Top <= 0 && !B.IsEmpty();
    if (Covers || Tiled) return;
    // The bands reach the buffer's edges, beyond the control's own size.
    const int DW = Dest->Width();
    const int DH = Dest->Height();
    if (B.IsEmpty()) {
        Dest->FillRectangleClipped(0, 0, DW, DH, C);
        return;
    }
    Dest->FillRectangleClipped(0, 0, DW, B.Top, C);
    Dest->FillRectangleClipped(0, B.Bottom, DW, DH, C);
    Dest->FillRectangleClipped(0, B.Top, B.Left, B.Bottom, C);
    Dest->FillRectangleClipped(B.Right, B.Top, DW, B.Bottom, C);
}

void TCustomImage32::ExecDrawBitmap(TBitmap32* Dest, int) {
    if (FBitmap->Empty() || FCachedBitmapRect.IsEmpty()) return;
    FBitmap->Lock();
    try {
        if (FBitmapAlign == baTile) {
            const TRect& R = FCachedBitmapRect;
            const int Tw = R.Width();
            const int Th = R.Height();
            const int Cols = Dest->Width() / R.Right + 1;
            const int Rows = Dest->Height() / R.Bottom + 1;
            const TRect& Clip = Dest->ClipRect();
            for (int Y = 0; Y < Rows; ++Y)
                for (int X = 0; X < Cols; ++X) {
                    TRect T = R;
                    OffsetRect(T, X * Tw, Y * Th);
                    TRect Dummy;
                    if (IntersectRect(Dummy, T, Clip)) FBitmap->DrawOntoRect(Dest, T);
                }
        } else {
            FBitmap->DrawOntoRect(Dest, FCachedBitmapRect);
        }
    } catch (...) {
        FBitmap->Unlock();
        throw;
    }
    FBitmap->Unlock();
}

void TCustomImage32::ExecDrawLayers(TBitmap32* Dest, int StageNum) {
    const TPaintStage* S = FPaintStages->Items(StageNum);
    const Cardinal Mask = S ? S->Parameter : LOB_VISIBLE;
    for (int I = 0; I < FLayers->Count(); ++I) {
        TCustomLayer* L = FLayers->Items(I);
        if ((L->LayerOptions() & Mask) != 0) L->DoPaint(Dest);
    }
}

void TCustomImage32::ExecControlFrame(TBitmap32* Dest, int) {
    DrawFocusRect(Dest, {0, 0, ClientWidth(), ClientHeight()});
}

void TCustomImage32::ExecBitmapFrame(TBitmap32* Dest, int) {
    DrawFocusRect(Dest, FCachedBitmapRect);
}

void TCustomImage32::ExecCustom(TBitmap32* Dest, int StageNum) {
    if (OnPaintStage) OnPaintStage(this, Dest, Cardinal(StageNum));
}

void TCustomImage32::RenderStagesInto(TBitmap32* Dest, const TRect& DestRect) {
    if (Dest == nullptr) return;
    const TRepaintMode OldMode = FRepaintMode;
    if (OldMode != rmFull) SetRepaintMode(rmFull);
    std::vector<std::pair<TStageHandler, int>> Stages;
    CollectStages(false, Stages);
    FillCache(DestRect);
    FCacheValid = true;
    FPaintToMode = true;
    try {
        for (auto& [H, N] : Stages)
            (this->*H)(Dest, N);
    } catch (...) {
        FPaintToMode = false;
        FCacheValid = false;
        if (OldMode != rmFull) SetRepaintMode(OldMode);
        throw;
    }
    FPaintToMode = false;
    FCacheValid = false;
    if (OldMode != rmFull) SetRepaintMode(OldMode);
}

// ---------------------------------------------------------------- mouse

void TCustomImage32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if ((FOptions & pboAutoFocus) != 0 && CanFocus())
        SetFocus();
    else if (TabStop() && CanFocus())
        SetFocus();
    TCustomLayer* Layer =
        FLayers->MouseEvents() ? FLayers->MouseDown(Button, Shift, X, Y) : nullptr;
    if (Button == mbLeft || FLayers->MouseListener() != nullptr) SetCaptureControl(this);
    MouseDown(Button, Shift, X, Y, Layer);
}

void TCustomImage32::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomLayer* Layer = FLayers->MouseEvents() ? FLayers->MouseMove(Shift, X, Y) : nullptr;
    MouseMove(Shift, X, Y, Layer);
}

void TCustomImage32::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* Layer = FLayers->MouseEvents() ? FLayers->MouseUp(Button, Shift, X, Y) : nullptr;
    if (Button == mbLeft && FLayers->MouseListener() == nullptr && GetCaptureControl() == this)
        SetCaptureControl(nullptr);
    MouseUp(Button, Shift, X, Y, Layer);
}

void TCustomImage32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                               TCustomLayer* Layer) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y, Layer);
}

void TCustomImage32::MouseMove(TShiftState Shift, int X, int Y, TCustomLayer* Layer) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y, Layer);
}

void TCustomImage32::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y,
                             TCustomLayer* Layer) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y, Layer);
}

void TCustomImage32::MouseLeave() {
    if (FLayers->MouseEvents() && FLayers->MouseListener() == nullptr && Screen != nullptr)
        Screen->SetCursor(crDefault);
    TCustomPaintBox32::MouseLeave();
}

// ---------------------------------------------------------------- streaming

void RegisterImage32Classes() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        RegisterClass<TImage32>("TImage32");
        TPublishedProperties<TImage32>("TImage32", "TComponent")
            .Integer("Left", &TImage32::Left, &TImage32::SetLeft)
            .Integer("Top", &TImage32::Top, &TImage32::SetTop)
            .Integer("Width", &TImage32::Width, &TImage32::SetWidth)
            .Integer("Height", &TImage32::Height, &TImage32::SetHeight)
            .Boolean("AutoSize", &TImage32::AutoSize, &TImage32::SetAutoSize)
            .Default(false)
            .Class("Bitmap", &TImage32::Bitmap)
            .Enumeration("BitmapAlign", &TImage32::BitmapAlign, &TImage32::SetBitmapAlign,
                         {"baTopLeft", "baCenter", "baTile", "baCustom"})
            .NoDefault()
            .Color("Color", &TImage32::Color, &TImage32::SetColor)
            .Default(std::int32_t(clWindow))
            .Stored([](TImage32& I) { return !I.ParentColor(); })
            .Boolean("ParentColor", &TImage32::ParentColor, &TImage32::SetParentColor)
            .Default(true)
            .Float("Scale", &TImage32::Scale, &TImage32::SetScale)
            .NoDefault()
            .Enumeration(
                "ScaleMode", &TImage32::ScaleMode, &TImage32::SetScaleMode,
                {"smNormal", "smStretch", "smScale", "smResize", "smOptimal", "smOptimalScaled"})
            .NoDefault()
            .Integer("TabOrder", &TImage32::TabOrder, &TImage32::SetTabOrder)
            .Default(-1)
            .Boolean("Visible", &TImage32::Visible, &TImage32::SetVisible)
            .Default(true)
            .Register();
    });
}
