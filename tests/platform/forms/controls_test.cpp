#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TPanelLike : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
};

// Paints a red 2 x 2 square at (1, 1) of its own area.
class TDot : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(clRed);
        Canvas()->FillRect(Rect(1, 1, 3, 3));
    }
};

class TDiagonal : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Paints = 0;

protected:
    void Paint() override {
        ++Paints;
        for (int I = 0; I < Width() && I < Height(); ++I)
            Canvas()->SetPixels(I, I, clBlue);
    }
};

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 200, 100);
    }
    void TearDown() override { delete Form; }
    template <class T = TPanelLike> T* Child(TAlign Align, int L, int T_, int W, int H) {
        auto* C = new T(Form);
        C->SetBounds(L, T_, W, H);
        C->SetAlign(Align);
        C->SetParent(Form);
        return C;
    }
    TForm* Form = nullptr;
};

TEST_F(Controls, AlignmentFollowsTopBottomLeftRightClientOrder) {
    auto* Client = Child(alClient, 0, 0, 5, 5);
    auto* Right = Child(alRight, 0, 0, 30, 5);
    auto* Top2 = Child(alTop, 0, 50, 10, 20); // below Top1 by position
    auto* Top1 = Child(alTop, 0, 0, 10, 10);
    auto* Bottom = Child(alBottom, 0, 0, 10, 15);
    auto* Left = Child(alLeft, 0, 0, 40, 5);
    EXPECT_EQ(Top1->BoundsRect(), Rect(0, 0, 200, 10));
    EXPECT_EQ(Top2->BoundsRect(), Rect(0, 10, 200, 30));
    EXPECT_EQ(Bottom->BoundsRect(), Rect(0, 85, 200, 100));
    EXPECT_EQ(Left->BoundsRect(), Rect(0, 30, 40, 85));
    EXPECT_EQ(Right->BoundsRect(), Rect(170, 30, 200, 85));
    EXPECT_EQ(Client->BoundsRect(), Rect(40, 30, 170, 85));

    Form->SetBounds(0, 0, 300, 200); // resizing realigns and fires OnResize
    EXPECT_EQ(Client->BoundsRect(), Rect(40, 30, 270, 185));
    Top1->SetVisible(false);
    EXPECT_EQ(Top2->BoundsRect(), Rect(0, 0, 300, 20));
    Top1->SetVisible(true);
    Top1->SetTop(500); // the moved control goes after the other top one
    EXPECT_EQ(Top2->Top(), 0);
    EXPECT_EQ(Top1->Top(), 20);
}

TEST_F(Controls, AnchorsKeepDistancesToRightAndBottom) {
    auto* Stretch = Child(alNone, 10, 10, 100, 20);
    Stretch->SetAnchors({akLeft, akTop, akRight});
    auto* Corner = Child(alNone, 150, 70, 40, 20);
    Corner->SetAnchors({akRight, akBottom});
    Form->Realign();
    Form->SetBounds(0, 0, 300, 150);
    EXPECT_EQ(Stretch->BoundsRect(), Rect(10, 10, 210, 30));
    EXPECT_EQ(Corner->BoundsRect(), Rect(250, 120, 290, 140));
}

TEST_F(Controls, ResizeFiresOnResizeOnce) {
    int Count = 0;
    auto* C = Child(alNone, 0, 0, 10, 10);
    C->OnResize = [&](TObject*) { ++Count; };
    C->SetBounds(5, 5, 10, 10); // a move only
    EXPECT_EQ(Count, 0);
    C->SetWidth(20);
    EXPECT_EQ(Count, 1);
}

TEST_F(Controls, NativeWindowExistsOnlyOnceShownAndHandlesAreNeverReused) {
    auto* C = Child(alNone, 0, 0, 10, 10);
    int Created = 0, Destroyed = 0;
    TWndMethod Old = C->WindowProc;
    C->WindowProc = [&](TMessage& M) {
        Created += M.Msg == WM_CREATE;
        Destroyed += M.Msg == WM_DESTROY;
        Old(M);
    };
    EXPECT_FALSE(C->HandleAllocated());
    EXPECT_FALSE(C->Showing());
    Form->Show();
    EXPECT_EQ(Created, 1);
    EXPECT_TRUE(C->Showing());
    ASSERT_TRUE(C->HandleAllocated());
    const HWND First = C->Handle();
    EXPECT_EQ(FindControl(First), C);
    C->DestroyHandle();
    EXPECT_EQ(Destroyed, 1);
    EXPECT_EQ(FindControl(First), nullptr);
    EXPECT_FALSE(PostMessage(First, WM_USER));
    const HWND Second = C->Handle();
    EXPECT_NE(First, Second);
    EXPECT_EQ(SendMessage(Second, CM_HITTEST), HTCLIENT);
    C->Hide();
    EXPECT_FALSE(C->Showing());
    Form->Hide();
    C->WindowProc = Old; // the locals die before the form
}

TEST_F(Controls, ClickFiresOnReleaseInsideOnly) {
    auto* C = Child(alNone, 10, 10, 50, 50);
    std::vector<std::string> Log;
    C->OnClick = [&](TObject*) { Log.push_back("click"); };
    C->OnMouseDown = [&](TObject*, TMouseButton, TShiftState S, int X, int Y) {
        Log.push_back("down " + std::to_string(X) + "," + std::to_string(Y) +
                      (S.Contains(ssShift) ? " shift" : ""));
    };
    C->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("up"); };
    C->OnDblClick = [&](TObject*) { Log.push_back("dbl"); };
    C->Perform(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MakeLParam(3, 4));
    C->Perform(WM_LBUTTONUP, 0, MakeLParam(3, 4));
    C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 4));
    C->Perform(WM_LBUTTONUP, 0, MakeLParam(-1, 4)); // released outside
    C->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(1, 1));
    C->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(1, 1));
    C->Perform(WM_RBUTTONUP, 0, MakeLParam(1, 1));
    EXPECT_EQ(Log, (std::vector<std::string>{"down 3,4 shift", "click", "up", "down 3,4", "up",
                                             "dbl", "down 1,1", "down 1,1", "up"}));
}

TEST_F(Controls, MouseOverAGraphicChildGoesToTheChild) {
    auto* Dot = new TDot(Form);
    Dot->SetBounds(20, 30, 10, 10);
    Dot->SetParent(Form);
    int Clicks = 0;
    TPoint Down;
    Dot->OnClick = [&](TObject*) { ++Clicks; };
    Dot->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int X, int Y) { Down = {X, Y}; };
    int Entered = 0;
    Dot->OnMouseEnter = [&](TObject*) { ++Entered; };
    Form->Perform(WM_MOUSEMOVE, 0, MakeLParam(25, 35));
    EXPECT_EQ(Entered, 1);
    EXPECT_TRUE(Dot->MouseInControl());
    Form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(25, 35));
    // Captured: the release reaches the child even outside it (no click).
    Form->Perform(WM_LBUTTONUP, 0, MakeLParam(100, 90));
    EXPECT_EQ(Down, Point(5, 5));
    EXPECT_EQ(Clicks, 0);
    Form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(21, 31));
    Form->Perform(WM_LBUTTONUP, 0, MakeLParam(21, 31));
    EXPECT_EQ(Clicks, 1);
    Form->Perform(WM_MOUSEMOVE, 0, MakeLParam(100, 90));
    EXPECT_FALSE(Dot->MouseInControl());
}

TEST_F(Controls, CustomControlPaintsIntoItsBufferWithGraphicChildren) {
    auto* D = Child<TDiagonal>(alNone, 0, 0, 6, 5);
    D->SetColor(clWhite);
    auto* Dot = new TDot(Form);
    Dot->SetBounds(2, 0, 4, 4);
    Dot->SetParent(D);
    D->Repaint();
    EXPECT_EQ(D->Paints, 1);
    TCanvas* C = D->Canvas();
    EXPECT_EQ(C->Pixels(0, 0), clBlue);
    EXPECT_EQ(C->Pixels(1, 1), clBlue);
    EXPECT_EQ(C->Pixels(1, 0), clWhite); // erased with Color
    EXPECT_EQ(C->Pixels(3, 1), clRed);   // the child's (1, 1)
    EXPECT_EQ(C->Pixels(4, 2), clRed);   // the child's (2, 2)
    EXPECT_EQ(C->Pixels(2, 2), clBlue);  // left to the parent by the child
    EXPECT_EQ(C->Pixels(5, 4), clWhite);
    D->Update(); // nothing invalid: no paint
    EXPECT_EQ(D->Paints, 1);
    D->Invalidate();
    D->Update();
    EXPECT_EQ(D->Paints, 2);
    D->SetBounds(0, 0, 100000, 100000); // no buffer for absurd sizes
    EXPECT_THROW(D->Repaint(), EOutOfResources);
}

TEST_F(Controls, EraseBackgroundMessageCanBeAnsweredWithoutErasing) {
    auto* D = Child<TDiagonal>(alNone, 0, 0, 3, 3);
    D->SetColor(clWhite);
    D->Repaint();
    D->Canvas()->SetPixels(2, 0, clLime);
    TWndMethod Old = D->WindowProc;
    D->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_ERASEBKGND)
            M.Result = 1;
        else
            Old(M);
    };
    D->Repaint();
    EXPECT_EQ(D->Canvas()->Pixels(2, 0), clLime);
    D->WindowProc = Old;
}

TEST_F(Controls, PostedMessagesAreDispatchedByTheLoopAndDroppedForDeadWindows) {
    auto* C = Child(alNone, 0, 0, 5, 5);
    std::vector<WPARAM> Seen;
    TWndMethod Old = C->WindowProc;
    C->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_USER + 1) Seen.push_back(M.WParam);
        Old(M);
    };
    const HWND H = C->Handle();
    EXPECT_TRUE(PostMessage(H, WM_USER + 1, 7));
    EXPECT_TRUE(PostMessage(H, WM_USER + 1, 8));
    TMsg Peeked;
    ASSERT_TRUE(PeekMessage(Peeked, H, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(Peeked.wParam, 7u);
    EXPECT_TRUE(Seen.empty());
    Application->ProcessMessages();
    EXPECT_EQ(Seen, (std::vector<WPARAM>{7, 8}));
    EXPECT_TRUE(PostMessage(H, WM_USER + 1, 9));
    C->DestroyHandle();
    Application->ProcessMessages();
    EXPECT_EQ(Seen.size(), 2u);
    C->WindowProc = Old;
}

TEST_F(Controls, FocusAndKeysWithKeyPreview) {
    auto* A = Child(alNone, 0, 0, 5, 5);
    auto* B = Child(alNone, 0, 0, 5, 5);
    A->SetTabStop(true);
    B->SetTabStop(true);
    std::vector<std::string> Log;
    A->OnEnter = [&](TObject*) { Log.push_back("enter A"); };
    A->OnExit = [&](TObject*) { Log.push_back("exit A"); };
    B->OnEnter = [&](TObject*) { Log.push_back("enter B"); };
    A->SetFocus();
    EXPECT_TRUE(A->Focused());
    EXPECT_EQ(Form->ActiveControl(), A);
    Form->SelectNext(A, true, true);
    EXPECT_TRUE(B->Focused());
    EXPECT_EQ(Log, (std::vector<std::string>{"enter A", "exit A", "enter B"}));
    B->SetTabOrder(0);
    EXPECT_EQ(Form->FindNextControl(nullptr, true, true, false), B);

    Form->SetKeyPreview(true);
    Form->OnKeyDown = [&](TObject*, Word& Key, TShiftState) {
        if (Key == VK_ESCAPE) Key = 0;
    };
    std::vector<Word> Keys;
    B->OnKeyDown = [&](TObject*, Word& Key, TShiftState) { Keys.push_back(Key); };
    B->OnKeyPress = [&](TObject*, char32_t& Ch) {
        if (Ch == U'é') Ch = 0;
    };
    B->Perform(WM_KEYDOWN, VK_ESCAPE);
    B->Perform(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(Keys, (std::vector<Word>{VK_RETURN}));
    B->SetEnabled(false);
    EXPECT_FALSE(B->Focused());
    EXPECT_THROW(B->SetFocus(), EInvalidOperation);
}

TEST_F(Controls, ParentColorAndFontFollowTheParent) {
    auto* C = Child(alNone, 0, 0, 5, 5);
    EXPECT_EQ(C->Color(), Form->Color());
    Form->SetColor(clYellow);
    EXPECT_EQ(C->Color(), clYellow);
    C->SetColor(clRed);
    Form->SetColor(clGreen);
    EXPECT_EQ(C->Color(), clRed);
    EXPECT_FALSE(C->ParentColor());
    Form->Font()->SetName("Arial");
    EXPECT_EQ(C->Font()->Name(), "Arial");
    C->Font()->SetSize(20);
    Form->Font()->SetName("Courier New");
    EXPECT_EQ(C->Font()->Name(), "Arial");
}

TEST_F(Controls, ControlsListsWindowlessChildrenFirstAndZOrderMoves) {
    auto* W1 = Child(alNone, 0, 0, 5, 5);
    auto* G = new TDot(Form);
    G->SetParent(Form);
    auto* W2 = Child(alNone, 0, 0, 5, 5);
    ASSERT_EQ(Form->ControlCount(), 3);
    EXPECT_EQ(Form->Controls(0), G);
    EXPECT_EQ(Form->Controls(1), W1);
    EXPECT_EQ(Form->Controls(2), W2);
    W1->BringToFront();
    EXPECT_EQ(Form->Controls(2), W1);
    W1->SendToBack();
    EXPECT_EQ(Form->Controls(1), W1);
    EXPECT_THROW(Form->SetParent(W1), EInvalidOperation);
    delete W2; // leaves its parent's list
    EXPECT_EQ(Form->ControlCount(), 2);
    EXPECT_EQ(W1->ClientToScreen(Point(1, 2)), Point(Form->Left() + 1, Form->Top() + 2));
}

} // namespace
