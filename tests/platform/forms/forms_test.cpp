#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "support/FormsTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TLoggedForm : public TForm {
public:
    explicit TLoggedForm(TComponent* AOwner) : TForm(AOwner) {
        OnCreate = [this](TObject*) { Log.push_back("create"); };
        OnShow = [this](TObject*) { Log.push_back("show"); };
        OnHide = [this](TObject*) { Log.push_back("hide"); };
        OnActivate = [this](TObject*) { Log.push_back("activate"); };
        OnDeactivate = [this](TObject*) { Log.push_back("deactivate"); };
    }
    std::vector<std::string> Log;
};

using Strings = std::vector<std::string>;

class Forms : public TFormsTest {};

TEST_F(Forms, CreateFormFiresOnCreateAndTheFirstBecomesMain) {
    TLoggedForm* A = nullptr;
    TLoggedForm* B = nullptr;
    Application->CreateForm(A);
    Application->CreateForm(B);
    EXPECT_EQ(Application->MainForm(), A);
    EXPECT_EQ(A->Log, Strings{"create"});
    EXPECT_FALSE(A->Visible());
    EXPECT_EQ(Screen->FormCount(), 2);
}

TEST_F(Forms, ShowAndHideFireTheirEventsAndActivation) {
    TLoggedForm* F = nullptr;
    TLoggedForm* G = nullptr;
    Application->CreateForm(F);
    Application->CreateForm(G);
    F->Show();
    EXPECT_TRUE(F->Showing());
    EXPECT_TRUE(F->HandleAllocated());
    EXPECT_EQ(Screen->ActiveForm(), F);
    G->Show();
    EXPECT_EQ(Screen->ActiveForm(), G);
    F->Hide();
    EXPECT_EQ(F->Log, (Strings{"create", "show", "activate", "deactivate", "hide"}));
    G->Hide();
    EXPECT_EQ(Screen->ActiveForm(), nullptr);
}

TEST_F(Forms, ShowModalRunsUntilModalResultIsSet) {
    TLoggedForm* F = nullptr;
    Application->CreateForm(F);
    int Idles = 0;
    // Done = false asks for another idle call instead of a wait.
    Application->OnIdle = [&](TObject*, bool& Done) {
        if (++Idles == 3)
            F->SetModalResult(mrOk);
        else
            Done = false;
    };
    EXPECT_EQ(F->ShowModal(), mrOk);
    EXPECT_EQ(Idles, 3);
    EXPECT_FALSE(F->Visible());
    EXPECT_EQ(F->Log, (Strings{"create", "show", "activate", "deactivate", "hide"}));
}

TEST_F(Forms, CloseQueryRefusalKeepsAModalFormOpen) {
    TForm* F = nullptr;
    Application->CreateForm(F);
    int Queries = 0;
    F->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++Queries >= 2; };
    TCloseAction Seen = caNone;
    F->OnClose = [&](TObject*, TCloseAction& Action) { Seen = Action; };
    Application->OnIdle = [&](TObject*, bool&) { F->Close(); }; // mrCancel each time
    EXPECT_EQ(F->ShowModal(), mrCancel);
    EXPECT_EQ(Queries, 2);
    EXPECT_EQ(Seen, caHide);
    Application->OnIdle = nullptr;
    F->Show();
    EXPECT_THROW(F->ShowModal(), EInvalidOperation);
}

TEST_F(Forms, CloseActionsOfAModelessForm) {
    TForm* Main = nullptr;
    TForm* F = nullptr;
    Application->CreateForm(Main);
    Application->CreateForm(F);
    F->Show();
    bool Refuse = true;
    F->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = !Refuse; };
    F->Close();
    EXPECT_TRUE(F->Visible());
    Refuse = false;
    F->Close();
    EXPECT_FALSE(F->Visible());

    F->Show();
    bool Destroyed = false;
    F->OnDestroy = [&](TObject*) { Destroyed = true; };
    F->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
    F->Close(); // released after the message being handled
    EXPECT_FALSE(Destroyed);
    Application->ProcessMessages();
    EXPECT_TRUE(Destroyed);
    EXPECT_EQ(Screen->FormCount(), 1);

    Main->Show();
    Main->Close(); // the main form ends the program
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(Forms, WindowStyleBitsFollowTheFormsProperties) {
    TForm* F = nullptr;
    Application->CreateForm(F);
    auto* Child = new TForm(F);
    TCreateParams P = F->GetCreateParams();
    EXPECT_EQ(P.Style & WS_CHILD, 0u);
    EXPECT_EQ(P.ExStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), 0u);
    EXPECT_NE(P.Style & WS_THICKFRAME, 0u);
    F->SetFormStyle(fsStayOnTop);
    F->SetBorderStyle(bsToolWindow);
    P = F->GetCreateParams();
    EXPECT_NE(P.ExStyle & WS_EX_TOPMOST, 0u);
    EXPECT_NE(P.ExStyle & WS_EX_TOOLWINDOW, 0u);
    EXPECT_EQ(P.Style & WS_THICKFRAME, 0u);
    auto* Panel = new TCustomControl(F);
    Panel->SetParent(F);
    P = Panel->GetCreateParams();
    EXPECT_NE(P.Style & WS_CHILD, 0u);
    EXPECT_NE(P.Style & WS_CLIPCHILDREN, 0u);
    delete Child;
}

TEST_F(Forms, ScreenCenteredPositionAndPaintEvent) {
    TForm* F = nullptr;
    Application->CreateForm(F);
    F->SetBounds(0, 0, 100, 60);
    F->SetPosition(poScreenCenter);
    const TRect Area = Screen->WorkAreaRect();
    int Painted = 0;
    F->OnPaint = [&](TObject*) {
        ++Painted;
        F->Canvas()->SetPixels(0, 0, clRed);
    };
    F->Show();
    EXPECT_EQ(F->Left(), Area.Left + (Area.Width() - 100) / 2);
    EXPECT_EQ(F->Top(), Area.Top + (Area.Height() - 60) / 2);
    F->Repaint();
    EXPECT_GE(Painted, 1);
    EXPECT_EQ(F->Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(F->Canvas()->Pixels(1, 0), ColorToRGB(clBtnFace));
    F->Hide();
    // A form larger than the screen keeps its title bar on it.
    TForm* Large = nullptr;
    Application->CreateForm(Large);
    Large->SetBounds(0, 0, Area.Width() + 200, Area.Height() + 100);
    Large->SetPosition(poScreenCenter);
    Large->Show();
    EXPECT_EQ(Large->Left(), Area.Left);
    EXPECT_EQ(Large->Top(), Area.Top);
    Large->Hide();
}

TEST_F(Forms, ActiveControlBelongsToTheFormAndIsForgottenWhenFreed) {
    TForm* F = nullptr;
    TForm* G = nullptr;
    Application->CreateForm(F);
    Application->CreateForm(G);
    auto* Mine = new TCustomControl(Application); // owned elsewhere, parented here
    Mine->SetParent(F);
    auto* Foreign = new TCustomControl(G);
    Foreign->SetParent(G);
    F->Show();
    F->SetActiveControl(Mine);
    EXPECT_TRUE(Mine->Focused());
    EXPECT_THROW(F->SetActiveControl(Foreign), EInvalidOperation);
    const int Owned = Application->ComponentCount();
    delete Mine;
    EXPECT_EQ(F->ActiveControl(), nullptr);
    EXPECT_EQ(Application->ComponentCount(), Owned - 1);
    EXPECT_THROW(Screen->Forms(2), EListError);
    F->Hide();
}

TEST_F(Forms, ParentFreesItsChildrenWhoeverOwnsThem) {
    TForm* F = nullptr;
    Application->CreateForm(F);
    auto* Panel = new TCustomControl(F);
    Panel->SetParent(F);
    auto* Child = new TCustomControl(Application);
    Child->SetName("Child");
    Child->SetParent(Panel);
    EXPECT_EQ(Application->FindComponent("Child"), Child);
    delete Panel;
    EXPECT_EQ(Application->FindComponent("Child"), nullptr);
    EXPECT_EQ(F->ControlCount(), 0);
}

} // namespace
