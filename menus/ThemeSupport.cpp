#include "menus/ThemeSupport.h"

namespace {

int GPrintClientInits = 0;

} // namespace

TThemeServices& ThemeServices() {
    static TThemeServices Services; // stateless: nothing to order at exit
    return Services;
}

void PatchPrintClientHandler() {
    ++GPrintClientInits;
}

void RestorePrintClientHandler() {
    if (GPrintClientInits > 0) --GPrintClientInits;
}

bool PrintClientHandlerPatched() {
    return GPrintClientInits > 0;
}

TCanvasState::TCanvasState(TCanvas* Canvas)
    : FCanvas(Canvas), FPenPos(Canvas->PenPos()), FCopyMode(Canvas->CopyMode()) {
    FFont.Assign(*Canvas->Font());
    FPen.Assign(*Canvas->Pen());
    FBrush.Assign(*Canvas->Brush());
}

void TCanvasState::Restore() {
    FCanvas->Font()->Assign(FFont);
    FCanvas->Pen()->Assign(FPen);
    FCanvas->Brush()->Assign(FBrush);
    FCanvas->SetPenPos(FPenPos);
    FCanvas->SetCopyMode(FCopyMode);
}

LRESULT PerformPrintClient(TWinControl* Control, TCanvas* Canvas, LPARAM Flags) {
    if (Control == nullptr) return 0;
    const WPARAM DC = reinterpret_cast<WPARAM>(Canvas);
    if (Canvas == nullptr || !PrintClientHandlerPatched())
        return Control->Perform(WM_PRINTCLIENT, DC, Flags);
    TCanvasState Saved(Canvas);
    LRESULT Result = 0;
    try {
        Result = Control->Perform(WM_PRINTCLIENT, DC, Flags);
    } catch (...) {
        Saved.Restore();
        throw;
    }
    Saved.Restore();
    return Result;
}
