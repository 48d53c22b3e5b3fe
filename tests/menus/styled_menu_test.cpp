#include "menus/StyledMenu.h"

#include <gtest/gtest.h>

#include "menus/WndProcHooks.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"

namespace {

class StyledMenu : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Screen->MenuFont()->SetName("DejaVu Sans");
        Form = new TForm(Application);
        Menu = new TUiMainMenu(Form);
        File = Item("&Fichier");
        Menu->Items()->Add(File);
        New = Item("&Nouveau", ShortCut('N', {ssCtrl}));
        Line = Item("-");
        Quit = Item("&Quitter l'application", ShortCut('Q', {ssCtrl, ssShift}));
        File->Add(New);
        File->Add(Line);
        File->Add(Quit);
    }
    void TearDown() override {
        delete Form;
        FinalizeWndProcHooks();
    }
    TMenuItem* Item(const std::string& Caption, TShortCut SC = 0) {
        auto* I = new TMenuItem(Form);
        I->SetCaption(Caption);
        I->SetShortCut(SC);
        return I;
    }
    TSize Measure(TMenuItem* I) {
        TMeasureItemStruct MIS;
        MIS.CtlType = ODT_MENU;
        MIS.itemID = I->Command();
        EXPECT_EQ(Form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MIS)), 1);
        return {int(MIS.itemWidth), int(MIS.itemHeight)};
    }
    // Paints the item as the native menu would ask for it, on a white bitmap.
    std::unique_ptr<TBitmap> Paint(TMenuItem* I, UINT State, int W = 160, int H = 0) {
        if (H == 0) H = Measure(I).cy;
        auto B = std::make_unique<TBitmap>(W, H, pf24bit);
        B->Canvas()->Brush()->SetColor(clWhite);
        B->Canvas()->FillRect(Rect(0, 0, W, H));
        TDrawItemStruct DIS;
        DIS.CtlType = ODT_MENU;
        DIS.itemID = I->Command();
        DIS.itemState = State;
        DIS.Canvas = B->Canvas();
        DIS.rcItem = Rect(0, 0, W, H);
        EXPECT_EQ(Form->Perform(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DIS)), 1);
        return B;
    }
    // A canvas with the font the menu measures with.
    TCanvas* MenuCanvas() {
        TUiMainMenu::GetMenuFont(Probe.Canvas()->Font());
        return Probe.Canvas();
    }
    static int Count(TBitmap* B, TColor Color, TRect R) {
        int N = 0;
        for (int Y = R.Top; Y < R.Bottom; ++Y)
            for (int X = R.Left; X < R.Right; ++X)
                N += B->PixelColor(X, Y) == ColorToRGB(Color);
        return N;
    }
    TForm* Form = nullptr;
    TUiMainMenu* Menu = nullptr;
    TMenuItem *File = nullptr, *New = nullptr, *Line = nullptr, *Quit = nullptr;
    TBitmap Probe{1, 1, pf24bit};
};

TEST_F(StyledMenu, HookRunsAfterTheWindowProcedureAndLeavesWithTheMenu) {
    EXPECT_EQ(Menu->HookedControl(), Form);
    EXPECT_EQ(WindowProcHookCount(Form, hoAfterMsg), 1);
    EXPECT_EQ(WindowProcHookCount(Form, hoBeforeMsg), 0);
    // Messages for items of other menus are left alone.
    TMeasureItemStruct Other;
    Other.CtlType = ODT_MENU;
    Other.itemID = 0xFFF0;
    EXPECT_EQ(Form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&Other)), 0);
    delete Menu;
    EXPECT_EQ(WindowProcHookCount(Form, hoAfterMsg), 0);
    TMeasureItemStruct MIS;
    MIS.CtlType = ODT_MENU;
    MIS.itemID = 1;
    EXPECT_EQ(Form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MIS)), 0);
}

TEST_F(StyledMenu, TheNativeMenuTakesOurSizesAndPixels) {
    const std::vector<TNativeMenuEntry> E = ReadNativeMenu(File);
    ASSERT_EQ(E.size(), 3u);
    EXPECT_TRUE(E[0].OwnerDrawn);
    EXPECT_EQ(E[0].Width, Measure(New).cx);
    EXPECT_EQ(E[1].Height, Measure(Line).cy);
    std::vector<std::uint32_t> Px;
    int W = 0, H = 0;
    ASSERT_TRUE(GrabNativeMenuEntry(File, 0, true, Px, W, H));
    ASSERT_EQ(Px.size(), size_t(W) * size_t(H));
    const TColor Hi = ColorToRGB(clHighlight); // 0x00BBGGRR
    const std::uint32_t Argb =
        0xFF000000u | ((Hi & 0xFF) << 16) | (Hi & 0xFF00) | ((Hi >> 16) & 0xFF);
    EXPECT_EQ(Px[0], Argb);
}

TEST_F(StyledMenu, MeasuredSizesOfBarItemsCaptionsShortcutsAndSeparators) {
    TCanvas* C = MenuCanvas();
    const TSize Bar = Measure(File);
    EXPECT_EQ(Bar.cx, 2 + C->TextWidth("Fichier"));
    EXPECT_EQ(Bar.cy, std::max(19, C->TextHeight("Fichier")));

    // Shortcuts line up after the widest caption and 8 blanks.
    const int Widest = C->TextWidth("Quitter l'application");
    const int ShortCuts = std::max(C->TextWidth(ShortCutToText(New->ShortCut())),
                                   C->TextWidth(ShortCutToText(Quit->ShortCut())));
    const int Text = Widest + ShortCuts + C->TextWidth("        ");
    EXPECT_EQ(Measure(New).cx, 2 + Text);
    EXPECT_EQ(Measure(Quit).cx, 2 + Text);
    EXPECT_EQ(Measure(New).cy, std::max(19, C->TextHeight("Nouveau")));
    EXPECT_EQ(Measure(Line).cy, std::max(C->TextHeight("-") / 2, 9));

    // A checked item gets a check-sized glyph cell; TextMargin adds to all.
    New->SetChecked(true);
    Menu->SetTextMargin(5);
    EXPECT_EQ(Measure(New).cx, 13 + 7 + Text);
    EXPECT_EQ(Measure(Quit).cx, 7 + Text);
}

TEST_F(StyledMenu, ImageListAndMarginsApplyToEveryDropDownItem) {
    TCustomImageList Images(Form, 20, 24);
    TBitmap Red(20, 24, pf24bit);
    Red.Canvas()->Brush()->SetColor(clRed);
    Red.Canvas()->FillRect(Rect(0, 0, 20, 24));
    Images.Add(&Red, nullptr);
    Menu->SetImages(&Images);
    Quit->SetImageIndex(0);
    const int Rebuilds = Menu->RebuildCount();
    Menu->ImageMargin()->SetTop(3);
    Menu->ImageMargin()->SetLeft(4);
    EXPECT_GT(Menu->RebuildCount(), Rebuilds);
    EXPECT_EQ(Menu->Items()->Count(), 1); // the forced rebuild leaves no item behind
    // Items without an image also get the list's cell.
    const TSize N = Measure(New), Q = Measure(Quit);
    EXPECT_EQ(N.cx, Q.cx);
    EXPECT_EQ(N.cy, 24 + 3);
    EXPECT_EQ(Q.cy, 24 + 3);

    auto B = Paint(Quit, 0, 200);
    // The image sits at the glyph cell shrunk by the margin.
    EXPECT_EQ(B->PixelColor(4, 3), ColorToRGB(clRed));
    EXPECT_EQ(B->PixelColor(23, 26), ColorToRGB(clRed));
    EXPECT_NE(B->PixelColor(3, 3), ColorToRGB(clRed));
    EXPECT_NE(B->PixelColor(24, 3), ColorToRGB(clRed));

    // A disabled item with an image shows its embossed shape, not the colour.
    Quit->SetEnabled(false);
    B = Paint(Quit, ODS_DISABLED | ODS_GRAYED, 200);
    EXPECT_EQ(Count(B.get(), clRed, Rect(0, 0, 200, B->Height())), 0);
    EXPECT_GT(Count(B.get(), clBtnShadow, Rect(4, 3, 24, 27)), 300);
}

TEST_F(StyledMenu, PaintedSelectedDisabledCheckedAndSeparatorItems) {
    auto B = Paint(New, ODS_SELECTED);
    const TRect All = Rect(0, 0, 160, B->Height());
    EXPECT_EQ(B->PixelColor(0, 0), ColorToRGB(clHighlight));
    EXPECT_GT(Count(B.get(), clHighlightText, All), 10);

    B = Paint(New, 0);
    EXPECT_EQ(B->PixelColor(0, 0), ColorToRGB(clMenu));
    EXPECT_GT(Count(B.get(), clMenuText, All), 10);
    EXPECT_EQ(Count(B.get(), clMenuText, Rect(0, 0, 2, B->Height())), 0);

    // Disabled: highlight shadow under grey text, nothing in the text colour.
    B = Paint(New, ODS_DISABLED | ODS_GRAYED);
    EXPECT_EQ(Count(B.get(), clMenuText, All), 0);
    EXPECT_GT(Count(B.get(), clBtnShadow, All), 10);
    EXPECT_GT(Count(B.get(), clBtnHighlight, All), 10);

    // Checked without check-mark column: the check glyph in the glyph cell.
    New->SetChecked(true);
    B = Paint(New, ODS_CHECKED);
    EXPECT_GT(Count(B.get(), clMenuText, Rect(0, 0, 13, B->Height())), 8);
    New->SetChecked(false);
    B = Paint(New, 0);
    EXPECT_EQ(Count(B.get(), clMenuText, Rect(0, 0, 2, B->Height())), 0);

    // Separator: shadow line above the middle, highlight line on it.
    B = Paint(Line, 0);
    const int Mid = B->Height() / 2;
    EXPECT_EQ(B->PixelColor(50, Mid - 1), ColorToRGB(clBtnShadow));
    EXPECT_EQ(B->PixelColor(50, Mid), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(B->PixelColor(50, Mid + 1), ColorToRGB(clMenu));
}

TEST_F(StyledMenu, ButtonStylesKeepMenuColoursAndFrameTheSelection) {
    Menu->SetStyle(msBtnLowered);
    ASSERT_NE(dynamic_cast<TUiBtnMenuItemPainter*>(Menu->ActivePainter()), nullptr);
    auto B = Paint(New, ODS_SELECTED);
    const int H = B->Height();
    EXPECT_EQ(B->PixelColor(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(B->PixelColor(159, H - 1), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(B->PixelColor(5, H / 2), ColorToRGB(clMenu));
    EXPECT_EQ(Count(B.get(), clHighlight, Rect(0, 0, 160, H)), 0);
    Menu->SetStyle(msBtnRaised);
    B = Paint(New, ODS_SELECTED);
    EXPECT_EQ(B->PixelColor(0, 0), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(B->PixelColor(159, H - 1), ColorToRGB(clBtnShadow));
}

TEST_F(StyledMenu, ItemParamsGlyphColumnsFollowTheState) {
    // Four 16-pixel columns in four colours.
    TBitmap Strip(64, 16, pf24bit);
    const TColor Cols[4] = {clRed, clLime, clBlue, clYellow};
    for (int K = 0; K < 4; ++K) {
        Strip.Canvas()->Brush()->SetColor(Cols[K]);
        Strip.Canvas()->FillRect(Rect(16 * K, 0, 16 * K + 16, 16));
    }
    Strip.SetTransparentMode(tmFixed);
    Strip.SetTransparentColor(clFuchsia);
    int Calls = 0;
    Menu->OnGetItemParams = [&](TMenu*, TMenuItem* I, TMenuOwnerDrawState, TFont*, TColor& Color,
                                TGraphic*& Graphic, int& NumGlyphs) {
        ++Calls;
        if (I != New) return;
        Graphic = &Strip;
        NumGlyphs = 4;
        Color = clAqua;
    };
    EXPECT_EQ(Measure(New).cy, std::max(19, MenuCanvas()->TextHeight("Nouveau")));
    auto At = [&](UINT State) { return Paint(New, State)->PixelColor(8, 8); };
    EXPECT_EQ(At(0), ColorToRGB(clRed));
    EXPECT_EQ(At(ODS_DISABLED), ColorToRGB(clLime));
    EXPECT_EQ(At(ODS_SELECTED), ColorToRGB(clBlue));
    New->SetChecked(true);
    EXPECT_EQ(At(ODS_CHECKED | ODS_SELECTED), ColorToRGB(clYellow));
    // The colour given fills the row.
    EXPECT_EQ(Paint(New, 0)->PixelColor(150, 1), ColorToRGB(clAqua));
    EXPECT_GT(Calls, 4);
}

TEST_F(StyledMenu, StylesPaintersAndNotifications) {
    const std::pair<TUiMenuStyle, const char*> Kinds[] = {
        {msOwnerDraw, "TUiOwnerDrawMenuItemPainter"},
        {msOffice, "TUiOfficeMenuItemPainter"},
        {msXP, "TUiXPMenuItemPainter"},
        {msStandard, "TUiStandardMenuItemPainter"},
        {msItemPainter, "TUiStandardMenuItemPainter"}};
    for (auto [Style, Name] : Kinds) {
        Menu->SetStyle(Style);
        EXPECT_STREQ(Menu->ActivePainter()->ClassName(), Name);
        Paint(New, ODS_SELECTED); // every painter paints without fault
        Paint(Line, 0);
    }
    auto* Own = new TUiXPMenuItemPainter(Form);
    Menu->SetItemPainter(Own);
    EXPECT_EQ(Menu->Style(), msItemPainter);
    EXPECT_EQ(Menu->ActivePainter(), Own);
    EXPECT_EQ(Measure(Line).cy, 3);
    delete Own;
    EXPECT_EQ(Menu->ItemPainter(), nullptr);
    EXPECT_NE(Menu->ActivePainter(), nullptr);
    Menu->SetStyle(msStandard);

    // The owner-draw painter hands everything to the menu's events.
    Menu->SetStyle(msOwnerDraw);
    Menu->OnMeasureItem = [](TMenu*, TMenuItem*, int& W, int& H) { W = 77, H = 33; };
    TMenuItem* Drawn = nullptr;
    Menu->OnDrawItem = [&](TMenu*, TMenuItem* I, const TRect&, TMenuOwnerDrawState S) {
        Drawn = I;
        EXPECT_TRUE(S.Contains(mdSelected) && S.Contains(mdDefault));
    };
    EXPECT_EQ(Measure(Quit).cx, 77);
    Paint(Quit, ODS_SELECTED | ODS_DEFAULT, 50, 20);
    EXPECT_EQ(Drawn, Quit);

    // A painter asked to draw no item says so and draws nothing.
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    Menu->SetStyle(msStandard);
    Menu->StylePainter()->PaintItem(nullptr, Rect(0, 0, 1, 1), {});
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Caption, "error in menu painter");
    EXPECT_EQ(Dialogs.Calls[0].Text.rfind("!!! asked to draw nil item !!!", 0), 0u);
}

TEST_F(StyledMenu, XPRowsCellsSelectionAndSeparator) {
    Menu->SetStyle(msXP);
    auto B = Paint(New, 0);
    // Glyph cell: no image, so only the 6 + 4 margin columns.
    EXPECT_EQ(B->PixelColor(2, 5), RGB(216, 216, 209));
    EXPECT_EQ(B->PixelColor(9, 5), RGB(216, 216, 209));
    EXPECT_EQ(B->PixelColor(150, 5), ColorToRGB(clWhite));
    B = Paint(New, ODS_SELECTED);
    EXPECT_EQ(B->PixelColor(150, 0), RGB(10, 36, 106));
    EXPECT_EQ(B->PixelColor(150, B->Height() - 2), RGB(10, 36, 106));
    EXPECT_EQ(B->PixelColor(150, 3), RGB(182, 189, 210));
    EXPECT_EQ(B->PixelColor(150, B->Height() - 1), RGB(182, 189, 210));
    B = Paint(Line, 0);
    ASSERT_EQ(B->Height(), 3);
    // The line starts after the glyph cell and the indent (10 + 2).
    EXPECT_EQ(B->PixelColor(9, 2), RGB(216, 216, 209));
    EXPECT_EQ(B->PixelColor(11, 2), ColorToRGB(clWhite));
    EXPECT_EQ(B->PixelColor(12, 2), RGB(166, 166, 166));
    EXPECT_EQ(B->PixelColor(12, 1), ColorToRGB(clWhite));
}

TEST_F(StyledMenu, OfficeBarFillAndPushedCheckedGlyphBack) {
    Menu->SetStyle(msOffice);
    EXPECT_EQ(Paint(File, 0, 60)->PixelColor(1, 1), ColorToRGB(clBtnFace));
    New->SetChecked(true);
    auto B = Paint(New, ODS_CHECKED);
    // Glyph cell 2 + 13 + 3 wide, widened by 1 for the image back; the pushed
    // frame one pixel inside, filled with a menu / highlight dither.
    EXPECT_EQ(B->PixelColor(0, 0), ColorToRGB(clBtnFace));
    EXPECT_EQ(B->PixelColor(18, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(B->PixelColor(1, 1), ColorToRGB(clBtnShadow));
    EXPECT_EQ(B->PixelColor(16, B->Height() - 2), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(B->PixelColor(2, 2), ColorToRGB(clMenu));
    EXPECT_EQ(B->PixelColor(3, 2), ColorToRGB(clBtnHighlight));
}

TEST_F(StyledMenu, LeftMarginAndRightToLeftCells) {
    Menu->StylePainter()->SetLeftMargin(10);
    auto B = Paint(New, 0);
    EXPECT_EQ(B->PixelColor(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(B->PixelColor(7, 3), ColorToRGB(clBtnFace));
    EXPECT_EQ(B->PixelColor(8, 3), ColorToRGB(clBtnShadow));
    EXPECT_EQ(B->PixelColor(9, 3), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(Count(B.get(), clMenuText, Rect(0, 0, 12, B->Height())), 0);
    Menu->StylePainter()->SetLeftMargin(0);

    Menu->SetRightToLeft(true);
    New->SetChecked(true);
    B = Paint(New, ODS_CHECKED);
    EXPECT_GT(Count(B.get(), clMenuText, Rect(147, 0, 160, B->Height())), 8);
    EXPECT_EQ(Count(B.get(), clMenuText, Rect(0, 0, 13, B->Height())), 0);
}

TEST_F(StyledMenu, SettingsSurviveTheStreamAndTheMenuSelectCursor) {
    RegisterStyledMenuClasses();
    Menu->SetStyle(msXP);
    Menu->SetTextMargin(4);
    Menu->SetTextVAlignment(vaBottom);
    Menu->ImageMargin()->SetLeft(3);
    Menu->ImageSize()->SetWidth(18);
    Menu->SetCursor(crHandPoint);
    TMemoryStream S;
    WriteComponentToStream(S, Menu);
    S.SetPosition(0);
    auto* Copy = new TUiMainMenu(Form);
    Copy->SetOwnerDraw(false);
    ReadComponentFromStream(S, Copy);
    EXPECT_EQ(Copy->Style(), msXP);
    EXPECT_STREQ(Copy->ActivePainter()->ClassName(), "TUiXPMenuItemPainter");
    EXPECT_EQ(Copy->TextMargin(), 4);
    EXPECT_EQ(Copy->TextVAlignment(), vaBottom);
    EXPECT_EQ(Copy->ImageMargin()->Left(), 3);
    EXPECT_EQ(Copy->ImageSize()->Width(), 18);
    EXPECT_EQ(Copy->Cursor(), crHandPoint);
    EXPECT_TRUE(Copy->OwnerDraw());
    delete Copy;

    auto Select = [&](UINT Flags, UINT Id, TMenuItem* Parent) {
        Form->Perform(WM_MENUSELECT, (WPARAM(Flags) << 16) | Id,
                      LPARAM(reinterpret_cast<std::uintptr_t>(Parent->Handle())));
        return Menu->MenuCursor();
    };
    EXPECT_EQ(Select(MF_MOUSESELECT | MF_HILITE, New->Command(), File), crHandPoint);
    EXPECT_EQ(Select(MF_HILITE, New->Command(), File), crDefault); // keyboard
    // A bar item that opens a drop-down keeps the default cursor.
    EXPECT_EQ(Select(MF_MOUSESELECT | MF_POPUP, 0, Menu->Items()), crDefault);
    EXPECT_EQ(Select(0xFFFF, 0, Menu->Items()), crDefault);
}

} // namespace
