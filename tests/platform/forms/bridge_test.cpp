#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Hooks.h"
#include "platform/forms/StdCtrls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TSquare : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(clRed);
        Canvas()->FillRect(Rect(2, 2, 4, 4));
    }
};

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Form->SetBounds(10, 10, 40, 30);
        Square = new TSquare(Form);
        Square->SetBounds(5, 5, 10, 10);
        Square->SetColor(clWhite);
        Square->SetParent(Form);
        Form->Show();
    }
    void TearDown() override { DoneForms(); }
    TForm* Form = nullptr;
    TSquare* Square = nullptr;
};

TEST_F(Bridge, NativeWindowShowsTheBackingBuffer) {
    std::vector<std::uint32_t> Pixels;
    int W = 0, H = 0;
    ASSERT_TRUE(GrabNativeWindow(Square, Pixels, W, H));
    ASSERT_EQ(W, 10);
    ASSERT_EQ(H, 10);
    EXPECT_EQ(Pixels[0], 0xFFFFFFu);
    EXPECT_EQ(Pixels[2 * 10 + 2], 0xFF0000u); // red as 0xRRGGBB
    EXPECT_EQ(Pixels[4 * 10 + 4], 0xFFFFFFu);
}

TEST_F(Bridge, NativeMouseEventsBecomeMessagesAndClicks) {
    std::vector<std::string> Log;
    InstallWindowProcHook(Square, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg == WM_LBUTTONDOWN) {
            const TPoint P = PointFromLParam(M.LParam);
            Log.push_back("msg " + std::to_string(P.X) + "," + std::to_string(P.Y));
        }
        return false;
    });
    Square->OnClick = [&](TObject*) { Log.push_back("click"); };
    SendNativeMouse(Square, WM_LBUTTONDOWN, {3, 4}, MK_LBUTTON);
    SendNativeMouse(Square, WM_LBUTTONUP, {3, 4}, 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"msg 3,4", "click"}));
}

TEST_F(Bridge, AModalDialogBlocksOtherWindowsButNotThoseItOpens) {
    // A window of its own (as a drop-down is) opened from the dialog.
    auto* Dialog = new TForm(Application);
    Dialog->SetBounds(60, 60, 50, 40);
    auto* Popup = new THintWindow(Dialog);
    std::vector<std::string> Log;
    for (TWinControl* C : {static_cast<TWinControl*>(Square), static_cast<TWinControl*>(Popup)})
        InstallWindowProcHook(C, hoBeforeMsg, [&Log, C](TMessage& M) {
            if (M.Msg == WM_LBUTTONDOWN) Log.push_back(C->ClassName());
            return false;
        });
    Application->OnIdle = [&](TObject*, bool&) {
        if (Dialog->ModalResult() != mrNone) return;
        Popup->ActivateHint(Rect(70, 70, 90, 80), "x");
        SendNativeMouse(Square, WM_LBUTTONDOWN, {3, 4}, MK_LBUTTON);
        SendNativeMouse(Popup, WM_LBUTTONDOWN, {3, 4}, MK_LBUTTON);
        Dialog->SetModalResult(mrOk);
    };
    EXPECT_EQ(Dialog->ShowModal(), mrOk);
    Application->OnIdle = nullptr;
    EXPECT_EQ(Log, (std::vector<std::string>{"THintWindow"}));
}

TEST_F(Bridge, ExceptionOfAHandlerGoesToTheApplication) {
    std::string Shown;
    Application->OnException = [&](TObject*, const Exception& E) { Shown = E.Message(); };
    Square->OnClick = [](TObject*) { throw EInvalidOperation("Impossible"); };
    SendNativeMouse(Square, WM_LBUTTONDOWN, {1, 1}, MK_LBUTTON);
    SendNativeMouse(Square, WM_LBUTTONUP, {1, 1}, 0);
    EXPECT_EQ(Shown, "Impossible");
    Application->OnException = nullptr;
}

TEST_F(Bridge, NativeKeysReachTheControlAndCanBeSwallowed) {
    Square->SetTabStop(true);
    Square->SetFocus();
    std::u32string Typed;
    std::vector<Word> Keys;
    Square->OnKeyDown = [&](TObject*, Word& Key, TShiftState) { Keys.push_back(Key); };
    Square->OnKeyPress = [&](TObject*, char32_t& Ch) { Typed += Ch; };
    SendNativeKey(Square, true, 'A', "a");
    SendNativeKey(Square, true, 'E', "\xC3\xA9"); // é
    SendNativeKey(Square, true, VK_LEFT, "");
    EXPECT_EQ(Keys, (std::vector<Word>{'A', 'E', VK_LEFT}));
    EXPECT_EQ(Typed, U"a\u00e9");
}

TEST_F(Bridge, AKeyNobodyTakesReachesAPreviewingFormOnce) {
    // An edit in a panel: the native edit ignores F1, and the toolkit offers
    // the key to the panel and the form in turn.
    auto* Panel = new TPanel(Form);
    Panel->SetBounds(0, 0, 40, 30);
    Panel->SetParent(Form);
    auto* Edit = new TEdit(Form);
    Edit->SetBounds(2, 2, 30, 20);
    Edit->SetParent(Panel);
    Form->SetKeyPreview(true);
    int Seen = 0;
    Form->OnKeyDown = [&](TObject*, Word& Key, TShiftState) { Seen += Key == VK_F1; };
    Edit->SetFocus();
    SendNativeKey(Edit, true, VK_F1, "");
    EXPECT_EQ(Seen, 1);
    SendNativeKey(Edit, true, 'A', "a");
    EXPECT_EQ(Edit->Text(), "a");
}

TEST_F(Bridge, TabMovesTheFocusThroughTheForm) {
    auto* Other = new TSquare(Form);
    Other->SetBounds(20, 5, 10, 10);
    Other->SetParent(Form);
    Square->SetTabStop(true);
    Other->SetTabStop(true);
    Square->SetFocus();
    SendNativeKey(Square, true, VK_TAB, "\t");
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(Form->ActiveControl(), Other);
}

TEST_F(Bridge, WindowMaskMustMatchTheGivenSize) {
    std::vector<std::uint8_t> Mask(10 * 10, 1);
    EXPECT_TRUE(SetWindowMask(Square, 10, 10, Mask));
    EXPECT_FALSE(SetWindowMask(Square, 10, 11, Mask));
    EXPECT_FALSE(SetWindowMask(Square, -10, -10, Mask));
    EXPECT_TRUE(SetWindowMask(Square, 0, 0, {}));
    auto* Hidden = new TSquare(nullptr);
    EXPECT_FALSE(SetWindowMask(Hidden, 10, 10, Mask)); // no window yet
    delete Hidden;
}

TEST_F(Bridge, ShowingChangeIsToldOnceTheWindowIsUp) {
    // A shaped window (a balloon) sets its shape when told it shows; the
    // first showing must find its window made.
    struct TPop : TSquare {
        TPop() : TSquare(nullptr) { FTopLevel = true; }
    };
    auto* Pop = new TPop;
    Pop->SetBounds(0, 0, 10, 10);
    Pop->SetVisible(false);
    std::vector<std::string> Log;
    InstallWindowProcHook(Pop, hoBeforeMsg, [&](TMessage& M) {
        if (M.Msg == CM_SHOWINGCHANGED)
            Log.push_back(std::string(Pop->Showing() ? "shown" : "hidden") +
                          (Pop->HandleAllocated() ? " with window" : ""));
        return false;
    });
    Pop->SetVisible(true);
    Pop->SetVisible(true);
    Pop->SetVisible(false);
    EXPECT_EQ(Log, (std::vector<std::string>{"shown with window", "hidden with window"}));
    delete Pop;
}

TEST_F(Bridge, WindowSystemCloseAsksTheForm) {
    bool Allow = false;
    int Asked = 0;
    Form->OnCloseQuery = [&](TObject*, bool& CanClose) {
        ++Asked;
        CanClose = Allow;
    };
    SendNativeClose(Form);
    EXPECT_EQ(Asked, 1);
    EXPECT_TRUE(Form->Visible());
    Allow = true;
    SendNativeClose(Form);
    EXPECT_FALSE(Form->Visible());
}

} // namespace
