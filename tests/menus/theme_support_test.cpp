#include "menus/ThemeSupport.h"
#include "platform/forms/Application.h"
#include "platform/graphics/Bitmap.h"

#include <gtest/gtest.h>

namespace {

// A windowed controls' print-client handler that paints on the canvas it
// is given and leaves its drawing state changed.
bool GRaise = false;
void CarelessPrintClient(TWinControl*, TMessage& M) {
    auto* C = reinterpret_cast<TCanvas*>(M.WParam);
    C->Pen()->SetColor(clRed);
    C->Brush()->SetColor(clBlue);
    C->Font()->SetSize(31);
    C->MoveTo(9, 9);
    C->SetCopyMode(cmSrcInvert);
    M.Result = 5;
    if (GRaise) throw EInvalidOperation("boom");
}

TEST(ThemeSupport, NeverThemed) {
    EXPECT_FALSE(ThemeServices().ThemesEnabled());
    EXPECT_EQ(ThemeServices().GetTheme("TOOLTIP"), nullptr);
}

TEST(ThemeSupport, PrintClientLeavesTheCallersCanvasAsItWasWhilePatched) {
    InitForms();
    const TWinControlMessageHandler Original = PrintClientHandler();
    SetPrintClientHandler(CarelessPrintClient);
    TCustomControl Control(nullptr);
    TBitmap Bitmap(4, 4);
    TCanvas* C = Bitmap.Canvas();
    C->Pen()->SetColor(clLime);
    C->Brush()->SetColor(clYellow);
    C->Font()->SetSize(8);
    C->MoveTo(1, 2);
    auto Unchanged = [&] {
        return C->Pen()->Color() == clLime && C->Brush()->Color() == clYellow &&
               C->Font()->Size() == 8 && C->PenPos() == TPoint{1, 2} && C->CopyMode() == cmSrcCopy;
    };

    PatchPrintClientHandler();
    PatchPrintClientHandler();
    RestorePrintClientHandler(); // only the last removal counts
    ASSERT_TRUE(PrintClientHandlerPatched());
    EXPECT_EQ(PerformPrintClient(&Control, C, 0), 5);
    EXPECT_TRUE(Unchanged());
    GRaise = true;
    EXPECT_THROW(PerformPrintClient(&Control, C, 0), EInvalidOperation);
    EXPECT_TRUE(Unchanged());

    RestorePrintClientHandler();
    ASSERT_FALSE(PrintClientHandlerPatched());
    GRaise = false;
    EXPECT_EQ(PrintClientHandler(), CarelessPrintClient); // the previous handler is back
    PerformPrintClient(&Control, C, 0);
    EXPECT_FALSE(Unchanged());
    SetPrintClientHandler(Original);
}

} // namespace
