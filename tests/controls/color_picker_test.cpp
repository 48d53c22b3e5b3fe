#include "controls/ColorPickerButton.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/Colors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TPoint CentreOf(const TRect& R) {
    return TPoint((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
}

class ColorPicker : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        B = new TColorPickerButton(nullptr);
        B->SetBounds(100, 100, 45, 22);
        B->OnChange = [this](TObject*) { Log += "change;"; };
        B->OnDefaultSelect = [this](TObject*) { Log += "default;"; };
        B->OnDropChanged = [this](TObject*) { Log += B->DroppedDown() ? "open;" : "closed;"; };
    }
    void TearDown() override { delete B; }
    TColorPickerButton* B = nullptr;
    std::string Log;
};

TEST_F(ColorPicker, LayoutAndCellArithmetic) {
    TColorPopup* P = B->Popup();
    EXPECT_EQ(P->Width(), 8 * 18 + 2 * 2 + 2 * 8);
    EXPECT_EQ(P->NormalHeight(), 5 * 18 + 4 * 2);
    EXPECT_EQ(P->GetIndex(4, 7), 39);
    EXPECT_EQ(P->GetIndex(5, 0), NoCell);
    EXPECT_EQ(P->GetIndex(0, 8), NoCell);
    EXPECT_EQ(P->GetIndex(DefaultCell, 0), NoCell); // no default text
    B->SetShowSystemColors(true);
    B->SetDefaultText("Autres couleurs...");
    EXPECT_EQ(P->GetIndex(5, 0), 40);
    EXPECT_EQ(P->GetIndex(8, 0), 64);
    EXPECT_EQ(P->GetIndex(8, 1), NoCell);
    EXPECT_EQ(P->GetIndex(0, DefaultCell), DefaultCell);
    EXPECT_EQ(P->GetRow(17), 2);
    EXPECT_EQ(P->GetColumn(17), 1);
    EXPECT_GT(P->NormalHeight(), 98 + 4 * 18);

    // Hit test: the default band, a named cell and a system cell.
    EXPECT_EQ(P->ItemFromPoint(CentreOf(P->DefaultTextRect())), DefaultCell);
    const int Top = P->DefaultTextRect().Bottom + 5;
    EXPECT_EQ(P->ItemFromPoint(TPoint(8 + 2 * 18 + 9, Top + 1 * 18 + 9)), 10);
    EXPECT_EQ(P->ItemFromPoint(TPoint(8 + 9, Top + 5 * 18 + 6 + 9)), 40);
    EXPECT_EQ(P->ItemFromPoint(TPoint(3, Top + 9)), NoCell);
}

TEST_F(ColorPicker, SelectionByColour) {
    TColorPopup* P = B->Popup();
    B->SetDefaultText("Autres couleurs...");
    P->SelectColor(0x0000FF);
    EXPECT_EQ(P->SelectedIndex(), 16);
    P->SelectColor(clNone);
    EXPECT_EQ(P->SelectedIndex(), NoCell);
    P->SelectColor(clDefault);
    EXPECT_EQ(P->SelectedIndex(), DefaultCell);
    P->SelectColor(0x123456); // nothing shows it, and no comb to look in
    EXPECT_EQ(P->SelectedIndex(), NoCell);
    P->SelectColor(clBtnFace); // system colours hidden: by RGB only
    EXPECT_EQ(P->SelectedIndex(), ColorToRGB(clBtnFace) == 0xC0C0C0 ? 31 : NoCell);
    B->SetShowSystemColors(true);
    P->SelectColor(clBtnFace);
    EXPECT_EQ(P->SelectedIndex(), 55);

    B->SetCustomText("Custom");
    P->BuildCombs();
    ASSERT_EQ(P->CombCells().size(), 127u);
    EXPECT_EQ(P->CombCells()[0].Color, TColor(0xFFFFFF));
    // Ring 6 starts at the first corner: magenta.
    EXPECT_EQ(P->CombCells()[1 + 6 * (1 + 2 + 3 + 4 + 5)].Color, TColor(0xFF00FF));
    const TColor Comb = P->CombCells()[5].Color;
    P->SelectColor(Comb);
    EXPECT_EQ(P->SelectedIndex(), CustomCell);
    EXPECT_EQ(P->CellColor(CustomCell), Comb);
}

TEST_F(ColorPicker, MouseChoosesCellsAndDefault) {
    TColorPopup* P = B->Popup();
    B->SetDefaultText("Autres couleurs...");
    B->SetDropOpen(true);
    EXPECT_TRUE(P->Visible());
    EXPECT_EQ(P->SelectedIndex(), 0); // black
    const int Top = P->DefaultTextRect().Bottom + 5;
    P->PopupMouseUp(mbLeft, TPoint(8 + 9, Top + 2 * 18 + 9)); // red
    EXPECT_EQ(B->SelectionColor(), TColor(0x0000FF));
    EXPECT_FALSE(B->DroppedDown());
    EXPECT_FALSE(P->Visible());

    B->SetDropOpen(true);
    P->PopupMouseUp(mbLeft, CentreOf(P->DefaultTextRect()));
    EXPECT_EQ(B->SelectionColor(), TColor(0x0000FF));

    B->SetDropOpen(true);
    P->PopupMouseDown(mbLeft, TPoint(-5, -5)); // outside: nothing chosen
    EXPECT_EQ(Log, "open;change;closed;open;default;closed;open;closed;");
}

TEST_F(ColorPicker, KeyboardMovesAndCloses) {
    TColorPopup* P = B->Popup();
    B->SetSelectionColor(0x0000FF);
    Log.clear();
    B->SetDropOpen(true);
    EXPECT_EQ(P->SelectedIndex(), 16);
    P->PopupKeyDown(VK_RIGHT, {});
    EXPECT_EQ(P->SelectedIndex(), 17);
    P->PopupKeyDown(VK_UP, {});
    EXPECT_EQ(P->SelectedIndex(), 9);
    P->PopupKeyDown(VK_ESCAPE, {});
    EXPECT_EQ(B->SelectionColor(), TColor(0x0000FF));
    B->SetDropOpen(true);
    P->PopupKeyDown(VK_DOWN, {});
    P->PopupKeyDown(VK_RETURN, {});
    EXPECT_EQ(B->SelectionColor(), DefaultColors[24].Color);
    EXPECT_EQ(Log, "open;closed;open;change;closed;");

    B->SetDefaultText("&Autres couleurs...");
    B->SetDropOpen(true);
    P->PopupKeyDown('A', {ssAlt});
    EXPECT_FALSE(B->DroppedDown());
    EXPECT_EQ(Log, "open;closed;open;change;closed;open;default;closed;");
}

TEST_F(ColorPicker, VetoPlacementHintsAndButtonPress) {
    B->OnDropChanging = [](TObject*, bool& Allowed) { Allowed = false; };
    B->SetDropOpen(true);
    EXPECT_FALSE(B->DroppedDown());
    B->OnDropChanging = nullptr;

    TColorPopup* P = B->Popup();
    B->SetTop(Screen->Height() - 10);
    B->SetDropOpen(true);
    EXPECT_EQ(P->Top(), B->Top() - P->Height()); // no room below: opens above
    EXPECT_EQ(P->Left(), 99);
    B->SetDropOpen(false);

    EXPECT_EQ(P->HintForCell(16), "Red");
    B->OnHint = [](TObject*, int Cell, std::string& Hint) { Hint += "#" + std::to_string(Cell); };
    EXPECT_EQ(P->HintForCell(45), "system color: window#45");

    int Clicks = 0;
    B->OnClick = [&](TObject*) { ++Clicks; };
    B->Perform(WM_LBUTTONDOWN, MK_LBUTTON, LPARAM((5 << 16) | 5));
    EXPECT_EQ(B->State(), bsDown);
    B->Perform(WM_LBUTTONUP, 0, LPARAM((5 << 16) | 5));
    EXPECT_EQ(B->State(), bsUp);
    EXPECT_EQ(Clicks, 1);
    B->Perform(WM_LBUTTONDOWN, MK_LBUTTON, LPARAM((5 << 16) | 40)); // the arrow part
    EXPECT_TRUE(B->DroppedDown());
    EXPECT_EQ(Clicks, 1);
}

TEST_F(ColorPicker, PaintsIndicatorAndComb) {
    B->SetSelectionColor(0x00FF00);
    TBitmap Face(45, 22, pf32bit);
    B->PaintTo(Face.Canvas());
    // No glyph, no caption: 2 pixels inside the face (itself inset by 1).
    EXPECT_EQ(B->IndicatorRect(), TRect(3, 3, 44 - 15 - 4, 19));
    EXPECT_EQ(Face.Canvas()->Pixels(14, 11), TColor(0x00FF00));
    EXPECT_EQ(Face.Canvas()->Pixels(3, 3), ColorToRGB(clBtnShadow));

    TColorPopup* P = B->Popup();
    B->SetCustomText("Custom");
    B->SetDropOpen(true);
    P->PopupMouseUp(mbLeft, CentreOf(P->CustomTextRect())); // unfolds the comb
    EXPECT_EQ(P->SelectedIndex(), CustomCell);
    EXPECT_EQ(P->Height(), P->BWCombRect().Bottom + 4);
    P->Repaint();
    const TRect Comb = P->CombRect();
    const TPoint Centre((Comb.Left + Comb.Right) / 2, (Comb.Top + Comb.Bottom) / 2);
    EXPECT_EQ(P->Canvas()->Pixels(Centre.X, Centre.Y), TColor(0xFFFFFF));
    // A press and release on the comb's centre chooses white.
    P->PopupMouseDown(mbLeft, Centre);
    P->PopupMouseUp(mbLeft, Centre);
    EXPECT_EQ(B->SelectionColor(), TColor(0xFFFFFF));
    EXPECT_FALSE(B->DroppedDown());
}

TEST_F(ColorPicker, IntensityBarRebuildsTheComb) {
    TColorPopup* P = B->Popup();
    B->SetCustomText("Custom");
    B->SetDropOpen(true);
    P->PopupMouseUp(mbLeft, CentreOf(P->CustomTextRect()));
    const TRect Bar = P->SliderRect();
    P->PopupMouseDown(mbLeft, TPoint(Bar.Left + 2, Bar.Top + Bar.Height() / 2));
    EXPECT_DOUBLE_EQ(P->Intensity(), 0.5);
    EXPECT_EQ(P->IntensityHint(), "Intensity: 50%");
    EXPECT_EQ(P->CombCells()[0].Color, TColor(0x808080)); // 127.5 rounds to even
    P->PopupMouseUp(mbLeft, TPoint(Bar.Left + 2, Bar.Top + Bar.Height() / 2));
    EXPECT_TRUE(B->DroppedDown()); // the bar chooses nothing

    const TRect Comb = P->CombRect();
    const TPoint Centre((Comb.Left + Comb.Right) / 2, (Comb.Top + Comb.Bottom) / 2);
    P->PopupMouseDown(mbLeft, Centre);
    EXPECT_EQ(P->HintForCell(NoCell), "red: 128, green: 128, blue: 128");
}

TEST_F(ColorPicker, GroupedButtonsStayExclusive) {
    TCustomControl Panel(nullptr);
    auto* A = new TColorPickerButton(nullptr);
    auto* C = new TColorPickerButton(nullptr);
    A->SetParent(&Panel);
    C->SetParent(&Panel);
    A->SetDown(true); // no group: never down
    EXPECT_FALSE(A->Down());
    A->SetGroupIndex(1);
    C->SetGroupIndex(1);
    A->SetDown(true);
    EXPECT_EQ(A->State(), bsExclusive);
    C->SetDown(true);
    EXPECT_FALSE(A->Down());
    EXPECT_EQ(A->State(), bsUp);
    C->SetDown(false); // the last one down cannot go up
    EXPECT_TRUE(C->Down());
    C->SetAllowAllUp(true);
    EXPECT_TRUE(A->AllowAllUp());
    C->SetDown(false);
    EXPECT_FALSE(C->Down());
    delete A;
    delete C;
}

} // namespace
