#include "menus/BalloonHint.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/system/Clock.h"
#include "platform/system/Registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<std::uint64_t> GNow{100000};

// The balloon of the editor: header "Info", custom icon 0 without a list
// (drawn as the information icon), close button.
void EditorSettings(TUiBalloonHint* B) {
    B->SetCustomAnimationTime(300);
    B->SetDefaultImageIndex(0);
    B->SetDefaultHeader("Info");
    B->SetDefaultIcon(ikCustom);
    B->SetOptions({boUseDefaultHeader, boUseDefaultIcon, boUseDefaultImageIndex, boShowCloseBtn,
                   boCustomAnimation});
}

std::uint32_t Rgb(TColor C) {
    const std::uint32_t V = std::uint32_t(ColorToRGB(C));
    return ((V & 0xFF) << 16) | (V & 0xFF00) | ((V >> 16) & 0xFF);
}

class BalloonHint : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Screen->HintFont()->SetName("DejaVu Sans");
        SetClockSourceForTesting([] { return GNow.load(); });
        Form = TCustomForm::Create<TForm>(nullptr);
        Form->SetBounds(300, 300, 500, 400);
        Button = new TButton(Form);
        Button->SetParent(Form);
        Button->SetBounds(100, 80, 80, 24);
        Form->Show();
        Hint = new TUiBalloonHint(nullptr);
        EditorSettings(Hint);
        Hint->OnClose = [this](TObject*) { ++Closes; };
    }
    void TearDown() override {
        delete Hint;
        delete Form;
        FinalizeBalloonHints();
        FinalizeWndProcHooks();
        SetClockSourceForTesting(nullptr);
    }
    TUiBalloonWindowEx* Window() { return Hint->BalloonWindow(); }
    void Mouse(UINT Msg, const TPoint& P) {
        Window()->Perform(Msg, Msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, PointToLParam(P));
    }
    // Lays out Text with the editor's settings at Anchor (screen) and
    // places it on Work.
    TRect Place(const std::string& Text, TPoint Anchor, const TRect& Work, int Switch = 24) {
        TUiBalloonData D;
        D.Text = Text;
        D.Header = "Info";
        D.IconKind = ikCustom;
        D.ShowCloseBtn = true;
        D.SwitchHeight = Switch;
        TRect R;
        Window()->CalcBalloonRect(1000, Text, R, &D);
        OffsetRect(R, Anchor.X, Anchor.Y);
        Window()->CheckPosition(R, Work);
        return R;
    }
    TForm* Form = nullptr;
    TButton* Button = nullptr;
    TUiBalloonHint* Hint = nullptr;
    int Closes = 0;
};

TEST(BalloonText, MultiLineNeedsACharacterAfterTheBreak) {
    EXPECT_FALSE(BalloonTextIsMultiLine(u"text"));
    EXPECT_FALSE(BalloonTextIsMultiLine(u"text\r\n"));
    EXPECT_FALSE(BalloonTextIsMultiLine(u"text\n"));
    EXPECT_FALSE(BalloonTextIsMultiLine(std::u16string(u"a\0\nb", 4)));
    EXPECT_TRUE(BalloonTextIsMultiLine(u"text\r\nx"));
    EXPECT_TRUE(BalloonTextIsMultiLine(u"a\rb"));
    EXPECT_TRUE(BalloonTextIsMultiLine(u"a\u2028b"));
    EXPECT_EQ(BalloonAnimationFlags(atBlend), 0x80000u);
    EXPECT_EQ(BalloonAnimationFlags(atSlideVerPos), 0x40004u);
}

TEST_F(BalloonHint, LayoutSizesAndStem) {
    const TRect Work{0, 0, 2000, 1000};
    TRect R = Place("Modifiez les textes.", {1200, 700}, Work);
    TUiBalloonWindowEx* W = Window();
    EXPECT_EQ(W->StemHeight(), 19);
    EXPECT_EQ(W->IconSize(), (TSize{16, 16}));
    int Tw, Th, Hw, Hh;
    W->MeasureText(1000, Tw, Th);
    W->MeasureHeader(1000, Hw, Hh);
    ASSERT_GT(Tw, 0);
    ASSERT_GT(Hw, 0);
    // Lower right quarter: below, extending right; the stem tip on the anchor.
    EXPECT_EQ(W->Position(), bpRightDown);
    EXPECT_EQ(W->StemPointOf(R), (TPoint{1200, 700}));
    EXPECT_EQ(R.Left, 1200 - 16);
    // Header beside the icon, text below it; both widened by the close button.
    const int Down = 19 - 1;
    EXPECT_EQ(W->HeaderRect(),
              (TRect{12 + 16 + 8, 10 + Down, 12 + 16 + 8 + Hw + 16, 10 + Down + Hh}));
    const int TextTop = std::max(9 + 16 + 5, 10 + Hh + 4);
    EXPECT_EQ(W->TextRect(), (TRect{12, TextTop + Down, 12 + Tw + 16, TextTop + Down + Th}));
    const int BodyW = std::max(12 + Tw + 16 + 14, 36 + Hw + 16 + 14);
    const int BodyH = std::max(TextTop + Th, 10 + Hh) + 11;
    EXPECT_EQ(W->BodyRect(), (TRect{0, Down, BodyW, Down + BodyH}));
    EXPECT_EQ(W->StemRect(), (TRect{16, 0, 16 + 19, 19}));
    EXPECT_EQ(W->CloseRect(), (TRect{BodyW - 22, 6 + 19, BodyW - 6, 22 + 19}));
    EXPECT_EQ(R.Width(), BodyW);
    EXPECT_EQ(R.Height(), BodyH + 18);

    Place("Ligne un\rligne deux", {1200, 700}, Work);
    EXPECT_EQ(W->StemHeight(), 21);
    Hint->SetDefaultHeader("");
    TUiBalloonData D;
    D.Text = "x";
    TRect R2;
    W->CalcBalloonRect(1000, "x", R2, &D);
    EXPECT_EQ(W->StemHeight(), 12);
    EXPECT_FALSE(W->ShowIcon());
}

TEST_F(BalloonHint, PlacementOnTheWorkArea) {
    const TRect Work{0, 0, 2000, 1000};
    TUiBalloonWindowEx* W = Window();
    // Upper left quarter: above, extending left; the stem at the bottom with
    // its right edge 16 pixels from the body's right.
    TRect R = Place("Texte", {400, 300}, Work, 24);
    EXPECT_EQ(W->Position(), bpLeftUp);
    EXPECT_EQ(W->StemPointOf(R), (TPoint{400, 300 - 24}));
    EXPECT_EQ(R.Bottom, 300 - 24);
    EXPECT_EQ(W->BodyRect().Top, 0);
    EXPECT_EQ(W->StemRect().Right, W->BodyRect().Right - 16);
    EXPECT_EQ(W->StemRect().Top, W->BodyRect().Bottom - 1);
    // The top would leave the work area: below the control instead.
    R = Place("Texte", {400, 20}, Work, 24);
    EXPECT_EQ(W->Position(), bpLeftDown);
    EXPECT_EQ(R.Top, 20);
    EXPECT_EQ(W->StemPointOf(R), (TPoint{400, 20}));
    // Lower left, too close to the left edge: extends right.
    R = Place("Texte", {10, 700}, Work);
    EXPECT_EQ(W->Position(), bpRightDown);
    EXPECT_EQ(R.Left, 10 - 16);
    // Lower right, too close to the bottom: above.
    R = Place("Texte", {1500, 990}, Work, 24);
    EXPECT_EQ(W->Position(), bpRightUp);
    EXPECT_EQ(R.Bottom, 990 - 24);
    // A preferred placement is kept when it fits.
    Hint->SetDefaultBalloonPosition(bpRightDown);
    Place("Texte", {400, 300}, Work);
    EXPECT_EQ(W->Position(), bpRightDown);
}

TEST_F(BalloonHint, PaintsBodyAndStemWithABlackFrame) {
    Hint->SetDefaultBalloonPosition(bpRightDown);
    Hint->ShowBalloon(Button, "Modifiez les textes de la bannière.", 0, "");
    ASSERT_TRUE(Hint->Shown());
    TUiBalloonWindowEx* W = Window();
    ASSERT_EQ(W->Position(), bpRightDown);
    EXPECT_EQ(W->Header(), u"Info");
    W->Invalidate();
    W->PaintPending();
    const TPixelSurface& S = W->BufferSurface();
    ASSERT_TRUE(S.Valid());
    ASSERT_EQ(S.Width, W->Width());
    const auto Px = [&](int X, int Y) { return S.Row(Y)[X] & 0xFFFFFF; };
    const auto In = [&](int X, int Y) {
        return W->RegionMask()[std::size_t(Y) * S.Width + X] != 0;
    };
    const std::uint32_t Back = Rgb(Application->HintColor());
    const TRect B = W->BodyRect(), St = W->StemRect();
    const int Mid = (B.Left + B.Right) / 2;
    // Body: the top edge row is framed, the row under it is the hint colour;
    // the rounded corner pixel lies outside the shape.
    EXPECT_EQ(Px(Mid, B.Top), 0u);
    EXPECT_EQ(Px(Mid, B.Top + 1), Back);
    EXPECT_EQ(Px(B.Left, B.Bottom - 5 - 3), 0u);
    EXPECT_EQ(Px(B.Left + 1, B.Bottom - 5 - 3), Back);
    EXPECT_EQ(Px(B.Right - 1, B.Top + 8), 0u);
    EXPECT_FALSE(In(B.Left, B.Top));
    EXPECT_FALSE(In(B.Right - 1, B.Bottom - 1));
    // Stem of a lower right balloon: its vertical edge on the left, the tip
    // at the top-left, open towards the body (no frame where they meet).
    EXPECT_EQ(St.Top, 0);
    EXPECT_EQ(Px(St.Left, St.Bottom / 2), 0u);
    EXPECT_EQ(Px(St.Left + 2, St.Bottom - 3), Back);
    EXPECT_FALSE(In(St.Right - 2, 1));
    EXPECT_TRUE(In(St.Left, 1));
    EXPECT_EQ(Px(St.Left + 3, B.Top), Back);
    // The balloon hangs from the middle of the button's bottom edge.
    EXPECT_EQ(Hint->BalloonData().StemPoint, Button->ClientToParent({40, 24}, Form));
    // The desktop's information icon sits at the icon origin.
    const TPoint I = W->IconOrigin();
    int Drawn = 0;
    for (int Y = I.Y; Y < I.Y + 16; ++Y)
        for (int X = I.X; X < I.X + 16; ++X)
            Drawn += Px(X, Y) != Back;
    EXPECT_GT(Drawn, 40);
}

TEST_F(BalloonHint, FormHookMovesAndHides) {
    Hint->ShowBalloon(Button, "Texte", 0, "");
    ASSERT_TRUE(Window()->Visible());
    const TPoint Before = Window()->BoundsRect().TopLeft();
    Form->SetBounds(Form->Left() + 30, Form->Top() + 10, Form->Width(), Form->Height());
    Form->Perform(WM_MOVE, 0, 0);
    EXPECT_EQ(Window()->BoundsRect().TopLeft(), (TPoint{Before.X + 30, Before.Y + 10}));
    // Minimising the form hides the window, restoring brings it back.
    Form->SetWindowState(wsMinimized);
    EXPECT_FALSE(Window()->Visible());
    EXPECT_TRUE(Hint->Shown());
    Form->SetWindowState(wsNormal);
    EXPECT_TRUE(Window()->Visible());
    // Growing keeps it; shrinking past the stem point hides it.
    Form->SetBounds(Form->Left(), Form->Top(), 600, 500);
    EXPECT_TRUE(Hint->Shown());
    Form->SetBounds(Form->Left(), Form->Top(), 120, 60);
    EXPECT_FALSE(Hint->Shown());
    EXPECT_EQ(Closes, 1);
    // Closing the form hides it; no hook is left behind.
    Form->SetBounds(Form->Left(), Form->Top(), 500, 400);
    Hint->ShowBalloon(Button, "Texte", 0, "");
    Form->Perform(WM_CLOSE, 0, 0);
    EXPECT_FALSE(Hint->Shown());
    EXPECT_FALSE(Window()->Visible());
    EXPECT_EQ(Closes, 2);
    EXPECT_EQ(WindowProcHookCount(Form, hoBeforeMsg), 0);
    // A freed form takes its balloon with it.
    Hint->ShowBalloon(Button, "Texte", 0, "");
    delete Form;
    Form = nullptr;
    EXPECT_FALSE(Hint->Shown());
    EXPECT_EQ(Hint->BalloonData().AnchorForm, nullptr);
}

TEST_F(BalloonHint, VisibleTimeAndOneBalloonAtATime) {
    Hint->ShowBalloon(Button, "Un", 4000, "");
    EXPECT_TRUE(Hint->TimerRunning());
    GNow += 3990;
    Application->ProcessMessages();
    EXPECT_TRUE(Hint->Shown());
    // A second balloon replaces the first and restarts the time.
    Hint->ShowBalloon(Form, "Deux", 4000, "");
    EXPECT_EQ(Closes, 1);
    EXPECT_EQ(WindowProcHookCount(Form, hoBeforeMsg), 1);
    GNow += 3990;
    Application->ProcessMessages();
    EXPECT_TRUE(Hint->Shown());
    GNow += 20;
    Application->ProcessMessages();
    EXPECT_FALSE(Hint->Shown());
    EXPECT_FALSE(Hint->TimerRunning());
    EXPECT_EQ(Closes, 2);
    Hint->HideBalloon();
    EXPECT_EQ(Closes, 2);
    // Time 0 stays; a missing control leaves the shown balloon alone.
    Hint->ShowBalloon(Button, "Trois", 0, "");
    Hint->ShowBalloon(nullptr, "x", 100, "");
    GNow += 100000;
    Application->ProcessMessages();
    EXPECT_TRUE(Hint->Shown());
    EXPECT_EQ(Hint->BalloonData().Text, "Trois");
}

TEST_F(BalloonHint, CloseButton) {
    int Clicks = 0;
    bool Answer = false;
    Hint->OnBalloonClick = [&](TObject* S) {
        EXPECT_EQ(S, Hint);
        ++Clicks;
    };
    Hint->OnCloseBtnClick = [&](TObject*, bool& CanClose) { CanClose = Answer; };
    Hint->ShowBalloon(Button, "Texte", 0, "");
    const TRect C = Window()->CloseRect();
    const TPoint Inside{(C.Left + C.Right) / 2, (C.Top + C.Bottom) / 2};
    // Pressed on the button, released elsewhere in the balloon: a click of
    // the balloon, which stays.
    Mouse(WM_LBUTTONDOWN, Inside);
    EXPECT_EQ(Window()->CloseBtnState() & UI_CLOSE_PUSHED, UI_CLOSE_PUSHED);
    Mouse(WM_MOUSEMOVE, {C.Left - 20, C.Bottom + 5});
    EXPECT_EQ(Window()->CloseBtnState(), UI_CLOSE_FLAT);
    Mouse(WM_LBUTTONUP, {C.Left - 20, C.Bottom + 5});
    EXPECT_TRUE(Hint->Shown());
    EXPECT_EQ(Clicks, 1);
    // The close handler refuses.
    Mouse(WM_LBUTTONDOWN, Inside);
    Mouse(WM_LBUTTONUP, Inside);
    EXPECT_TRUE(Hint->Shown());
    // The mouse leaves the balloon straight from the button: it does not
    // stay lit as if the mouse were still on it.
    Mouse(WM_MOUSEMOVE, Inside);
    EXPECT_EQ(Window()->CloseBtnState(), 0x5000u);
    Window()->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Window()->CloseBtnState(), UI_CLOSE_FLAT);
    Answer = true;
    Mouse(WM_LBUTTONDOWN, Inside);
    Mouse(WM_MOUSEMOVE, Inside);
    EXPECT_EQ(Window()->CloseBtnState(), 0x5200u);
    Mouse(WM_LBUTTONUP, Inside);
    EXPECT_FALSE(Hint->Shown());
    EXPECT_EQ(Clicks, 1);
}

TEST_F(BalloonHint, SoundSchemeGoesToThePlayer) {
    FinalizeBalloonHints();
    setenv("QM_BALLOON_SOUNDS", "/snd", 1);
    {
        TRegistry Reg;
        ASSERT_TRUE(
            Reg.OpenKey("\\AppEvents\\Schemes\\Apps\\.Default\\SystemAsterisk\\.Current", true));
        Reg.WriteString("", "%QM_BALLOON_SOUNDS%/ding.wav");
    }
    std::vector<std::string> Played;
    SetBalloonSoundPlayer([&](const std::string& F) { Played.push_back(F); });
    EXPECT_EQ(GlobalCtrl()->SoundFile(ikInformation), "/snd/ding.wav");
    EXPECT_EQ(GlobalCtrl()->SoundFile(ikError), "");
    Hint->SetDefaultIcon(ikInformation);
    TUiBalloonOptions O = Hint->Options();
    O.Include(boPlaySound);
    Hint->SetOptions(O);
    Hint->ShowBalloon(Button, "x", 0, "");
    Hint->SetDefaultIcon(ikError);
    Hint->ShowBalloon(Button, "x", 0, "");
    SetBalloonSoundPlayer(nullptr);
    EXPECT_EQ(Played, (std::vector<std::string>{"/snd/ding.wav"}));
}

TEST_F(BalloonHint, FreedImageListFallsBackToTheInformationIcon) {
    auto* List = new TCustomImageList(nullptr, 24, 24);
    Hint->SetImages(List);
    EXPECT_EQ(GlobalCtrl()->IconSize(ikCustom, 0, List), (TSize{16, 16})); // index past the list
    delete List;
    EXPECT_EQ(Hint->Images(), nullptr);
    Hint->ShowBalloon(Button, "x", 0, "");
    EXPECT_TRUE(Window()->ShowIcon());
    EXPECT_EQ(Window()->IconSize(), (TSize{16, 16}));
}

} // namespace
