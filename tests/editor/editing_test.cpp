// The editors of the main window, driven through the running program: each
// group's controls change the open banner, mark it modified, and what they
// wrote is read back from the saved file.
#include "ProgramOnFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <unistd.h>

#include "banner/DocumentFile.h"
#include "banner/TemplateArt.h"
#include "editor/UClipArt.h"
#include "editor/UExamples.h"
#include "editor/ULoadImage.h"
#include "controls/ColorPickerButton.h"
#include "editor/UMain.h"
#include "editor/UPreview.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/TextRender.h"
#include "editor/UTexform.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Menus.h"

namespace fs = std::filesystem;

namespace {

class Editing : public ProgramOnFile {
protected:
    Editing() : ProgramOnFile("editing") {}
    // Runs Steps on the main window of the program started on Doc and saves
    // with Ctrl+S before the program closes; Saved holds what was saved.
    void Run(TBannerDocument& Doc, const std::function<void(TMainform&)>& Steps) {
        RunOn(Doc, [&](TMainform& Main) {
            EXPECT_FALSE(Main.Tbsave->Enabled());
            Steps(Main);
            EXPECT_TRUE(Main.Tbsave->Enabled());
            Word Key = 'S';
            Main.FormKeyDown(&Main, Key, TShiftState{ssCtrl});
            EXPECT_FALSE(Main.Tbsave->Enabled());
        });
        if (HasFatalFailure()) return;
        ASSERT_EQ(LoadBannerDocument(Saved, File.string()), BannerFileVersion);
    }

    TBannerDocument Saved;
};

TEST_F(Editing, TextsPageWritesTheSelectedValueLine) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"t", 1, 468, 60, 0}); // composition 3
    Doc.ValueEffects[1] = 12; // from a later version's file: played as none
    Run(Doc, [this](TMainform& M) {
        EXPECT_FALSE(M.tsImages->TabVisible());
        M.Texts->UserSelect(1); // the main text
        EXPECT_TRUE(M.three->Visible());
        ASSERT_EQ(M.Values->Items()->Count(), 3);
        M.Values->SetSelected(M.Values->Items()->Item(1));
        EXPECT_FALSE(M.Tbsave->Enabled()); // choosing a value is no edit
        EXPECT_EQ(M.TextEffectCombo->ItemIndex(), teNone);
        EXPECT_EQ(M.Txt->Text(), "Texte 2-2");
        // "Segoe UI" is not installed: the box shows the family the text is
        // drawn with, and the stored name stays.
        EXPECT_EQ(M.fontbox->FontName(), ResolveFontFamily("Segoe UI"));

        // What the file cannot hold shows as the "?" a reopening would give.
        M.Txt->SetText("Łódź €");
        EXPECT_EQ(M.Txt->Text(), "?ód? €");
        M.Txt->SetText("Soldes");
        EXPECT_EQ(M.Values->Selected()->Text(), "Soldes");
        EXPECT_TRUE(M.Tbsave->Enabled());
        // The colour from the picker's "Autres couleurs..." cell, which
        // opens the colour dialog.
        M.ct->SetDropOpen(true);
        const TRect More = M.ct->Popup()->DefaultTextRect();
        Dialogs.ColorAnswers.push_back(clRed);
        M.ct->Popup()->PopupMouseUp(mbLeft,
                                    {(More.Left + More.Right) / 2, (More.Top + More.Bottom) / 2});
        EXPECT_FALSE(M.ct->DroppedDown());
        M.Stylecombo->UserSelect(3);
        EXPECT_TRUE(M.bold->Down() && M.italic->Down());
        M.italic->Click(); // bold alone
        EXPECT_EQ(M.Stylecombo->ItemIndex(), 1);
        M.fsize->SetFocus();
        M.fsize->SetText("100"); // drawn at the largest size
        M.shadowbox->SetFocus();
        EXPECT_EQ(M.fsize->Text(), "72"); // left, the box shows it
        M.fsize->SetText("abc");          // no number: the size stays
        M.fsize->SetText("20");
        M.shadowbox->SetChecked(true);
        EXPECT_FALSE(M.textposx->Enabled());
        M.custom->SetChecked(true);
        EXPECT_TRUE(M.textposx->Enabled());
        M.textposx->SetFocus();
        M.textposx->SetText("100000"); // kept where the file can read it back
        M.TextEffectCombo->SetFocus();
        EXPECT_EQ(M.textposx->Text(), "8192");
        M.textposy->SetValue(35);
        M.TextEffectCombo->UserSelect(4);

        M.Texts->UserSelect(0); // the first text: its own effect and position
        EXPECT_FALSE(M.three->Visible());
        M.TextEffectCombo->UserSelect(2);
        M.Texts->UserSelect(1);
        M.three->SetChecked(false);
        EXPECT_EQ(M.Values->Items()->Count(), 2);
    });
    const TTextElement& Main = Saved.tlv[1];
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.Caption, 1), "Soldes");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.Color, 1), "clRed");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.StyleIndex, 1), "1");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.Size, 1), "20");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.Shadow, 1), "1");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.FontName, 1), "Segoe UI");
    EXPECT_EQ(TBannerDocument::GetValueLine(Main.Caption, 0), "Texte 2-1");
    EXPECT_EQ(Saved.AutoPositions[1], 0);
    EXPECT_EQ(Saved.TextPositions[2], 8192);
    EXPECT_EQ(Saved.TextPositions[3], 35);
    EXPECT_EQ(Saved.ValueEffects[1], 4);
    EXPECT_EQ(Saved.FirstTextEffect, 2);
    EXPECT_FALSE(Saved.three);
}

TEST_F(Editing, AnOpenColourDropDownTakesTheKeysAndTheClickThatClosesIt) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Run(Doc, [](TMainform& M) {
        // The user types in the text box, then picks a colour; everything
        // goes to the main window as the window system hands it on.
        M.Txt->SetFocus();
        const std::string Typed = M.Txt->Text();
        TColorPickerButton* B = M.ct;
        auto At = [&M](TControl* C, TPoint P) { return M.ScreenToClient(C->ClientToScreen(P)); };
        auto Click = [&M](TPoint P) {
            SendWindowMouse(&M, WM_LBUTTONDOWN, P, MK_LBUTTON);
            SendWindowMouse(&M, WM_LBUTTONUP, P, 0);
        };
        auto Key = [&M](Word K) {
            SendWindowKey(&M, true, K, "");
            SendWindowKey(&M, false, K, "");
        };
        const TPoint Arrow = At(B, {B->Width() - 4, B->Height() / 2});
        Click(Arrow);
        ASSERT_TRUE(B->DroppedDown());
        const int Cell = B->Popup()->SelectedIndex();
        ASSERT_GE(Cell, 0);
        Key(VK_DOWN);
        Key(VK_RETURN);
        EXPECT_FALSE(B->DroppedDown());
        EXPECT_EQ(B->SelectionColor(), DefaultColors[std::size_t(Cell + 8)].Color);
        const TColor Chosen = B->SelectionColor();

        Click(Arrow);
        Key(VK_UP);
        Key(VK_ESCAPE);
        EXPECT_FALSE(B->DroppedDown());
        Click(Arrow);
        Key(VK_LEFT);
        Click(At(M.Txt, {2, 2})); // outside the drop-down: it closes, nothing else
        EXPECT_FALSE(B->DroppedDown());
        EXPECT_EQ(B->SelectionColor(), Chosen);
        EXPECT_TRUE(M.Txt->Focused());
        EXPECT_EQ(M.Txt->Text(), Typed);
    });
}

TEST_F(Editing, TheColourUnderThePointerNamesItselfInAHint) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    RunOn(Doc, [](TMainform& M) {
        TColorPickerButton* B = M.ct;
        B->SetDropOpen(true);
        TColorPopup* P = B->Popup();
        constexpr int Red = 16;
        TPoint Over{-1, -1};
        for (int Y = 0; Y < P->Height() && Over.X < 0; ++Y)
            for (int X = 0; X < P->Width() && Over.X < 0; ++X)
                if (P->ItemFromPoint({X, Y}) == Red) Over = {X + 4, Y + 4};
        SendWindowMouse(P, WM_MOUSEMOVE, Over, 0);
        ASSERT_EQ(P->HotIndex(), Red);
        auto Shown = [P] { return P->HintWindow() != nullptr && P->HintWindow()->Visible(); };
        // The hint waits for the application's hint pause, on the real clock.
        const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Shown() && std::chrono::steady_clock::now() < Until) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(Shown());
        EXPECT_EQ(P->HintWindow()->Caption(), "Red");
        EXPECT_TRUE(B->DroppedDown()); // the hint takes nothing from the drop-down
        B->SetDropOpen(false);
        EXPECT_FALSE(Shown());
    });
}

TEST_F(Editing, ThePasteOfTheContextMenuIsCheckedByTheSizeBox) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Run(Doc, [](TMainform& M) {
        Clipboard()->SetAsText("abc");
        auto PasteFromMenu = [&M](TControl* C) {
            const TPoint At = M.ScreenToClient(C->ClientToScreen({4, 4}));
            SendWindowMouse(&M, WM_RBUTTONDOWN, At, MK_RBUTTON);
            SendWindowMouse(&M, WM_RBUTTONUP, At, 0);
            return ClickOpenMenuEntry(5); // "Co&ller"
        };
        M.fsize->SetFocus();
        const std::string Size = M.fsize->Text();
        ASSERT_TRUE(PasteFromMenu(M.fsize));
        EXPECT_EQ(M.fsize->Text(), Size); // no number: the paste is undone
        M.Txt->SetFocus();                // all of it selected
        ASSERT_TRUE(PasteFromMenu(M.Txt));
        EXPECT_EQ(M.Txt->Text(), "abc"); // a plain edit takes it as it is
    });
}

TEST_F(Editing, AltWithAMenuLetterOpensTheMenuBeforeAButtonOfThePage) {
    // "&Affichage" of the menu bar and "&Aperçu" of the design page share
    // their letter: the bar, first in the window, takes it.
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    RunOn(Doc, [](TMainform& M) {
        M.Txt->SetFocus();
        const bool Shown = M.ToolBar1->Visible();
        for (bool Expected : {!Shown, Shown}) { // shown as it was at the end
            SendWindowKey(&M, true, 'A', "a", {ssAlt});
            SendWindowKey(&M, false, 'A', "a", {ssAlt});
            EXPECT_TRUE(M.DesignPageVisible());
            ASSERT_TRUE(ClickOpenMenuEntry(0)); // "Barre d'&outils"
            EXPECT_EQ(M.ToolBar1->Visible(), Expected);
        }
    });
}

TEST_F(Editing, ALongValueLeavesTheOtherValuesWhole) {
    // The values of a text share one string of 255 characters in the file.
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.three = false;
    for (std::string* F : {&Doc.tlv[0].Caption, &Doc.tlv[0].Color, &Doc.tlv[0].FontName,
                           &Doc.tlv[0].StyleIndex, &Doc.tlv[0].Size, &Doc.tlv[0].Shadow})
        *F = TBannerDocument::SetValueLine(TBannerDocument::GetValueLine(*F, 0), 1,
                                           TBannerDocument::GetValueLine(*F, 1));
    Run(Doc, [](TMainform& M) {
        ASSERT_EQ(M.Values->Items()->Count(), 2);
        M.Txt->SetText(std::string(400, 'e') + "\xc3\xa9"); // pasted
        M.three->SetChecked(true);
    });
    const std::string& Values = Saved.tlv[0].Caption;
    EXPECT_EQ(TBannerDocument::GetValueLine(Values, 0), std::string(235, 'e'));
    EXPECT_EQ(TBannerDocument::GetValueLine(Values, 1), "Texte 1-2");
    EXPECT_EQ(TBannerDocument::GetValueLine(Values, 2), "Texte 1-3");
}

TEST_F(Editing, ImagesPageAddsMovesAndRemovesImages) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.Composition = ckTwoTextsImage;
    Doc.SetUpComposition2();
    Run(Doc, [](TMainform& M) {
        EXPECT_TRUE(M.tsImages->TabVisible());
        EXPECT_FALSE(M.supimagebtn->Enabled());
        M.addimagebtn->Click();
        EXPECT_EQ(M.Images->ItemIndex(), 1);
        EXPECT_EQ(M.imgx->Text(), "200");
        M.Imgtrans->SetChecked(false);
        M.imgx->SetText("x"); // no number: the position stays
        M.imgy->SetValue(33);
        M.transclimg->SetSelectionColor(clBlue);
        M.addimagebtn->Click();
        EXPECT_FALSE(M.addimagebtn->Enabled());
        M.Images->UserSelect(1);
        EXPECT_FALSE(M.supimagebtn->Enabled()); // only the last one goes
        M.Images->UserSelect(2);
        M.img32->Perform(WM_MOUSEMOVE, 0, PointToLParam(TPoint{10, 10})); // on image 3
        ASSERT_TRUE(M.cadre5->Visible());
        M.supimagebtn->Click();
        EXPECT_EQ(M.Images->Count(), 2);
        EXPECT_FALSE(M.cadre5->Visible()); // no frame round the removed image
        EXPECT_TRUE(M.addimagebtn->Enabled());

        // The quick-help panel tells what the control under the pointer does.
        M.ClipArtBtn->Perform(CM_MOUSEENTER, 0, 0);
        EXPECT_EQ(M.Help->Caption(), "Remplace l'image choisie par une forme de la bibliothèque.");

        // A clip art lands on white, which image 1's transparent colour
        // hides: the banner's own colour shows around the shape.
        M.rbColor->SetChecked(true);
        M.Images->UserSelect(0);
        // Picks the first clip art in the window the button opens.
        const auto PickFirstClipArt = [&M] {
            Application->OnIdle = [](TObject*, bool&) {
                Application->OnIdle = nullptr;
                bbform->list->UserSelect(0);
                bbform->okbtn->Click();
            };
            M.ClipArtBtn->Click();
        };
        PickFirstClipArt();
        EXPECT_EQ(M.img32->Bitmap()->ReadPixel(55, 7), ToColor32(M.Cl->SelectionColor()));

        // "Charger une forme" puts the chosen clip art into image 2.
        M.Images->UserSelect(1);
        PickFirstClipArt();
        EXPECT_EQ(M.Doc.Extimage1.Width(), 48);
        M.ImageEffectCombo->UserSelect(3);

        // Dragging image 1's frame on the canvas moves the image with the
        // pointer, move after move.
        M.Pages->SetActivePage(M.tsTexts);
        M.Images->UserSelect(1);
        auto Mouse = [&M](UINT Msg, WPARAM Keys, int X, int Y) {
            M.img32->Perform(Msg, Keys, PointToLParam(TPoint{X, Y}));
        };
        Mouse(WM_MOUSEMOVE, 0, 60, 12);
        ASSERT_TRUE(M.cadre3->Visible());
        Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 60, 12);
        Mouse(WM_MOUSEMOVE, MK_LBUTTON, 65, 14);
        Mouse(WM_MOUSEMOVE, MK_LBUTTON, 70, 16);
        Mouse(WM_LBUTTONUP, 0, 70, 16);
        EXPECT_EQ(M.Pages->ActivePage(), M.tsImages);
        EXPECT_EQ(M.Images->ItemIndex(), 0);
        EXPECT_EQ(M.imgx->Text(), "65"); // 55, 7 in a standard banner

        // Scaled, then clicked on the canvas, the image keeps the picture
        // its scale is taken from.
        M.scal->SetValue(50);
        ASSERT_EQ(M.Doc.Image1.Width(), 24);
        Mouse(WM_MOUSEMOVE, 0, 70, 18);
        ASSERT_TRUE(M.cadre3->Visible());
        Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 70, 18);
        Mouse(WM_LBUTTONUP, 0, 70, 18);
        M.scal->SetValue(100);
        EXPECT_EQ(M.Doc.Image1.Width(), 48);
    });
    ASSERT_EQ(Saved.ilv.size(), 2u);
    EXPECT_EQ(Saved.ilv[0].X, "65");
    EXPECT_EQ(Saved.ilv[0].Y, "11");
    EXPECT_EQ(Saved.ilv[1].Transparent, "0");
    EXPECT_EQ(Saved.ilv[1].X, "200");
    EXPECT_EQ(Saved.ilv[1].Y, "33");
    EXPECT_EQ(Saved.ilv[1].TransparentColor, "clBlue");
    EXPECT_EQ(Saved.Extimage1.Width(), 48);
}

// The animation plays the entry effect of image 1 only: the effect box is
// offered for image 1 alone, and what it shows is what the preview plays.
TEST_F(Editing, OnlyTheFirstImageOffersAnEntryEffect) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.Composition = ckTwoTextsImage;
    Doc.SetUpComposition2();
    Run(Doc, [](TMainform& M) {
        M.Pages->SetActivePage(M.tsImages);
        M.addimagebtn->Click(); // image 2 is selected
        EXPECT_FALSE(M.ImageEffectCombo->Enabled());
        M.ImageEffectCombo->UserSelect(ieFadeIn);
        M.Images->UserSelect(0);
        EXPECT_TRUE(M.ImageEffectCombo->Enabled());
        EXPECT_EQ(M.ImageEffectCombo->ItemIndex(), ieNone);
        M.Images->UserSelect(1);
        EXPECT_EQ(M.ImageEffectCombo->ItemIndex(), ieNone);
        M.Images->UserSelect(0);
        M.ImageEffectCombo->UserSelect(ieFadeIn);
        M.Images->UserSelect(1);
        EXPECT_EQ(M.ImageEffectCombo->ItemIndex(), ieNone);
        M.PreviewCmd(nullptr);
        EXPECT_EQ(M.Preview->Animation.Layout().D, 8); // image 1 fades in
        M.CloseprvbtnClick(nullptr);
    });
    // The effect comes back with the banner.
    EXPECT_EQ(Saved.ImageEffectCombo, ieFadeIn);
    EXPECT_EQ(Saved.ilv[0].Effect, "5");
}

TEST_F(Editing, TheSmallWindowsHandTheFocusToTheBackgroundKind) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.Composition = ckTwoTextsImage;
    Doc.SetUpComposition2(); // a template background
    RunOn(Doc, [](TMainform& M) {
        M.Pages->SetActivePage(M.tsImages);
        M.SetPanelExpanded(M.panelback, true); // whatever the last run stored
        const auto CancelWhenShown = [](TButton* Cancel) {
            Application->OnIdle = [Cancel](TObject*, bool&) {
                TButton* B = Cancel; // clearing OnIdle destroys this closure
                Application->OnIdle = nullptr;
                B->Click();
            };
        };
        for (TButton* Opener : {M.LoadImageBtn, M.ClipArtBtn}) {
            Opener->SetFocus();
            CancelWhenShown(Opener == M.LoadImageBtn ? Loadform->cancelbtn : bbform->cancelbtn);
            Opener->Click();
            EXPECT_EQ(M.ActiveControl(), M.rbTexture) << Opener->Name();
        }
        // So does the examples window, opened from the menu.
        M.LoadImageBtn->SetFocus();
        CancelWhenShown(Examplesform->CancelBtn);
        M.NewFromExample1->Click();
        EXPECT_EQ(M.ActiveControl(), M.rbTexture) << "examples";
        // Not into a collapsed panel, where arrow keys would change the
        // background out of sight.
        M.BackPanelItem->Click();
        M.LoadImageBtn->SetFocus();
        CancelWhenShown(Loadform->cancelbtn);
        M.LoadImageBtn->Click();
        EXPECT_EQ(M.ActiveControl(), M.LoadImageBtn);
        M.SetPanelExpanded(M.panelback, true);
    });
}

TEST_F(Editing, AScaleThePictureCannotTakeKeepsThePicture) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.Composition = ckTwoTextsImage;
    Doc.SetUpComposition2();
    Doc.Image1.SetDimensions(8200, 2); // 400 % is wider than a picture may be
    Doc.Image1.ClearToColor(0xFF0000FFu);
    Run(Doc, [](TMainform& M) {
        M.scal->SetText("200");
        EXPECT_THROW(M.scal->SetText("400"), EInvalidGraphic);
        EXPECT_EQ(M.scal->Text(), "200");
        EXPECT_EQ(M.Doc.Image1.Width(), 16400);
    });
    EXPECT_EQ(Saved.Image1.Width(), 16400);
    EXPECT_EQ(Saved.Image1.ReadPixel(16399, 1), 0xFF0000FFu);
}

TEST_F(Editing, TemplateWindowOpensOnTheBannersKeyColour) {
    const fs::path Back = fs::path(::testing::TempDir()) / ("qm_back" + std::to_string(getpid()));
    fs::create_directories(Back);
    WriteTemplateFile(Back.string() + "/", bfStandard, 1);
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Doc.BackgroundKind = bgTemplate;
    Doc.TemplateNumber = 0;
    Doc.cp1 = clRed; // not the template's own colour
    Run(Doc, [&](TMainform& M) {
        Texform->Model->BackFolder = Back.string();
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {File.string()}, 1});
        M.OpenCmd(nullptr);
        ASSERT_EQ(M.Doc.cp1, clRed);
        // OK without a change keeps the banner's colour.
        Application->OnIdle = [](TObject*, bool&) {
            Application->OnIdle = nullptr;
            Texform->OKBtn->Click();
        };
        M.Button3->Click();
        EXPECT_EQ(Texform->cp1->SelectionColor(), clRed);

        // A key colour that meets a colour of the pattern on its way leaves
        // the pattern alone: the banner reopens as it was saved.
        Application->OnIdle = [](TObject*, bool&) {
            Application->OnIdle = nullptr;
            const TColor32 Pattern = Texform->Model->tx.ReadPixel(0, 0);
            ASSERT_NE(Pattern, TBannerDocument::ColorToColor32(clRed));
            Texform->cp1->SetSelectionColor(ToWinColor(Pattern));
            Texform->cp1->SetSelectionColor(clBlue);
            Texform->OKBtn->Click();
        };
        M.Button3->Click();
        TBitmap32 Shown;
        Shown.Assign(&M.Doc.Tex);
        Word Key = 'S';
        M.FormKeyDown(&M, Key, TShiftState{ssCtrl});
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {File.string()}, 1});
        M.OpenCmd(nullptr);
        EXPECT_TRUE(M.Doc.Tex.Equals(&Shown));
        M.RedrawBanner(); // Run saves once more
    });
    fs::remove_all(Back);
    EXPECT_EQ(Saved.cp1, clBlue);
}

TEST_F(Editing, BackgroundBorderAndAnimationDrawAndAreSaved) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    const fs::path NoPicture =
        fs::path(::testing::TempDir()) / ("qm_nopicture" + std::to_string(getpid()) + ".png");
    std::ofstream(NoPicture) << "not a picture";
    // A 4 x 2 32-bit bitmap file, bottom row first; that row holds a clear
    // black pixel at x 1, half-clear blue at x 2 and opaque red at x 3.
    const fs::path Translucent =
        fs::path(::testing::TempDir()) / ("qm_translucent" + std::to_string(getpid()) + ".bmp");
    {
        auto U16 = [](std::string& S, unsigned V) { S += char(V & 0xFF), S += char(V >> 8); };
        auto U32 = [&](std::string& S, unsigned V) { U16(S, V & 0xFFFF), U16(S, V >> 16); };
        std::string Bmp = "BM";
        U32(Bmp, 54 + 32), U32(Bmp, 0), U32(Bmp, 54), U32(Bmp, 40), U32(Bmp, 4), U32(Bmp, 2);
        U16(Bmp, 1), U16(Bmp, 32), U32(Bmp, 0), U32(Bmp, 32);
        U32(Bmp, 0), U32(Bmp, 0), U32(Bmp, 0), U32(Bmp, 0);
        for (unsigned Pixel : {0xFF00FF00u, 0x00000000u, 0x800000FFu, 0xFFFF0000u, // BGRA words
                               0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u})
            U32(Bmp, Pixel);
        std::ofstream(Translucent, std::ios::binary) << Bmp;
    }
    // A 3 x 1 GIF: black (the clear index), black, red.
    const fs::path ClearGif =
        fs::path(::testing::TempDir()) / ("qm_clear" + std::to_string(getpid()) + ".gif");
    {
        static constexpr unsigned char Gif[] = {'G',  'I',  'F',  '8',  '9', 'a', 3,   0, 1, 0,
                                                0x80, 0,    0,    0,    0,   0,   255, 0, 0, // map
                                                0x21, 0xF9, 4,    1,    0,   0,   0,   0, // clear 0
                                                0x2C, 0,    0,    0,    0,   3,   0,   1, 0, 0,
                                                2,    2,    0x04, 0x52, 0,   0x3B};
        std::ofstream(ClearGif, std::ios::binary)
            .write(reinterpret_cast<const char*>(Gif), sizeof Gif);
    }
    Run(Doc, [&](TMainform& M) {
        TBitmap32& Canvas = *M.img32->Bitmap();
        M.rbColor->SetChecked(true);
        EXPECT_FALSE(M.Button3->Enabled());
        Dialogs.ColorAnswers.push_back(clRed);
        M.Cl->DoDefaultEvent(); // the pickers' shared colour dialog
        EXPECT_EQ(M.Cl->SelectionColor(), clRed);
        EXPECT_EQ(Canvas.ReadPixel(2, 2), 0xFFFF0000u);
        M.BrLeft->SetChecked(true);
        M.clbord->SetSelectionColor(clBlue);
        EXPECT_EQ(Canvas.ReadPixel(0, 30), 0xFF0000FFu);

        // A file no reader takes: a message, and the background is kept.
        M.rbImage->SetChecked(true);
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {NoPicture.string()}, 1});
        const std::size_t Before = Dialogs.Calls.size();
        M.LoadBgBtn->Click();
        EXPECT_GT(Dialogs.Calls.size(), Before + 1);
        EXPECT_TRUE(M.Doc.extimage.Empty());

        // A picture with clear and half-clear parts shows the white fill
        // through them, not the black its clear pixels store.
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {Translucent.string()}, 1});
        M.LoadBgBtn->Click();
        EXPECT_EQ(Canvas.ReadPixel(1, 1), 0xFFFFFFFFu);
        const TColor32 Half = Canvas.ReadPixel(2, 1);
        EXPECT_EQ(Half & 0xFF0000FFu, 0xFF0000FFu);
        EXPECT_NEAR(int((Half >> 16) & 0xFF), 127, 1);
        EXPECT_NEAR(int((Half >> 8) & 0xFF), 127, 1);
        EXPECT_EQ(Canvas.ReadPixel(3, 1), 0xFFFF0000u);
        // A GIF whose first two pixels are clear: white there too.
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{true, {ClearGif.string()}, 1});
        M.LoadBgBtn->Click();
        EXPECT_EQ(Canvas.ReadPixel(1, 0), 0xFFFFFFFFu);
        EXPECT_EQ(Canvas.ReadPixel(2, 0), 0xFFFF0000u);

        M.rbgrad->SetChecked(true);
        EXPECT_FALSE(M.LoadBgBtn->Enabled());
        EXPECT_TRUE(M.cg1->Enabled() && M.dxH->Enabled());
        M.dxH->SetChecked(true);
        EXPECT_FALSE(M.dxV->Checked());
        M.cg1->SetSelectionColor(clWhite);
        M.cg2->SetSelectionColor(clBlack);
        EXPECT_NE(Canvas.ReadPixel(2, 30), Canvas.ReadPixel(460, 30)); // a horizontal sweep

        // The template window: a cancel puts everything back, OK applies.
        Application->OnIdle = [](TObject*, bool&) {
            Application->OnIdle = nullptr;
            Texform->list->UserSelect(4);
            Texform->CancelBtn->Click();
        };
        M.rbTexture->SetChecked(true);
        M.Button3->Click();
        EXPECT_EQ(Texform->Model->ItemIndex, M.Doc.TemplateNumber);
        Application->OnIdle = [](TObject*, bool&) {
            Application->OnIdle = nullptr;
            Texform->list->UserSelect(4);
            Texform->OKBtn->Click();
        };
        M.Button3->Click();
        EXPECT_EQ(M.Doc.TemplateNumber, 4);
        EXPECT_TRUE(M.rbTexture->Checked());

        M.Pages->SetActivePage(M.tsAnim);
        M.loops->SetFocus();
        M.loops->SetText("beaucoup");
        EXPECT_TRUE(M.forever->Checked());
        M.effectcombo->SetFocus();
        EXPECT_EQ(M.loops->Text(), "1"); // left, the box shows the count kept
        M.loops->SetValue(4);
        EXPECT_TRUE(M.noforever->Checked());
        M.effectcombo->UserSelect(2);
        M.Slider->SetPosition(3);
    });
    EXPECT_EQ(Saved.BackgroundKind, bgTemplate);
    EXPECT_EQ(Saved.TemplateNumber, 4);
    EXPECT_EQ(Saved.Cl, clRed);
    EXPECT_TRUE(Saved.dxH);
    EXPECT_EQ(Saved.cg2, clBlack);
    EXPECT_TRUE(Saved.BrLeft);
    EXPECT_EQ(Saved.clbord, clBlue);
    EXPECT_FALSE(Saved.forever);
    EXPECT_EQ(Saved.loops, 4);
    EXPECT_EQ(Saved.effectcombo, 2);
    EXPECT_EQ(Saved.Slider, 3);
}

} // namespace
