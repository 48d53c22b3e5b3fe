#include "menus/ThemeSupport.h"

#include "platform/forms/DesktopServices.h"

namespace {

int GPrintClientInits = 0;
TWinControlMessageHandler GPreviousPrintClient = nullptr;

// Whatever the handler does to the canvas it is lent, the caller gets it
// back as it was, also when the handler raises.
void KeepCanvasPrintClient(TWinControl* Control, TMessage& Message) {
    auto* Canvas = reinterpret_cast<TCanvas*>(Message.WParam);
    if (Canvas == nullptr) {
        GPreviousPrintClient(Control, Message);
        return;
    }
    TCanvasState Saved(Canvas);
    try {
        GPreviousPrintClient(Control, Message);
    } catch (...) {
        Saved.Restore();
        throw;
    }
    Saved.Restore();
}

} // namespace

bool TThemeServices::ThemesEnabled() const {
    return DesktopStyleThemed();
}

HTHEME TThemeServices::GetTheme(const char* ClassName) const {
    static char Tag = 0; // one open theme stands for every class
    return ThemesEnabled() && ClassName != nullptr ? reinterpret_cast<HTHEME>(&Tag) : nullptr;
}

TThemeServices& ThemeServices() {
    static TThemeServices Services; // stateless: nothing to order at exit
    return Services;
}

void PatchPrintClientHandler() {
    if (GPrintClientInits++ > 0) return;
    GPreviousPrintClient = PrintClientHandler();
    SetPrintClientHandler(KeepCanvasPrintClient);
}

void RestorePrintClientHandler() {
    if (GPrintClientInits == 0 || --GPrintClientInits > 0) return;
    SetPrintClientHandler(GPreviousPrintClient);
    GPreviousPrintClient = nullptr;
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
    return Control->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Canvas), Flags);
}
