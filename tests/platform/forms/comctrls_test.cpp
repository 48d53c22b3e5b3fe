#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ComControls : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 300, 200);
    }
    void TearDown() override { DoneForms(); }
    TForm* Form = nullptr;
};

// 2 images of 2 x 2: red/olive and blue/olive, olive in the bottom-left.
std::unique_ptr<TBitmap> Strip() {
    auto B = std::make_unique<TBitmap>(4, 2, pf24bit);
    const TColor Px[2][4] = {{clRed, clGreen, clBlue, clOlive}, {clOlive, clRed, clOlive, clBlue}};
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 4; ++X)
            B->Canvas()->SetPixels(X, Y, Px[Y][X]);
    return B;
}

TEST_F(ComControls, ImageListSlicesAndMasks) {
    TImageList L(nullptr, 2, 2);
    auto B = Strip();
    EXPECT_EQ(L.AddMasked(B.get(), clDefault), 0); // bottom-left olive is hidden
    EXPECT_EQ(L.Count(), 2);
    EXPECT_EQ(L.ImagePixels(0),
              (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF008000u, 0u, 0xFFFF0000u}));
    EXPECT_EQ(L.ImagePixels(1), (std::vector<std::uint32_t>{0xFF0000FFu, 0u, 0u, 0xFF0000FFu}));
    EXPECT_EQ(L.Add(B.get(), nullptr), 2); // no mask: all opaque
    EXPECT_EQ(L.ImagePixels(3)[1] >> 24, 255u);
    TBitmap Narrow(1, 2, pf24bit);
    EXPECT_EQ(L.AddMasked(&Narrow, clNone), -1);
    EXPECT_EQ(L.AddMasked(nullptr, clNone), -1);
    EXPECT_TRUE(L.ImagePixels(9).empty());
    L.Move(1, 0);
    EXPECT_EQ(L.ImagePixels(0)[0], 0xFF0000FFu);
    L.Delete(0);
    EXPECT_EQ(L.Count(), 3);
    EXPECT_THROW(L.Delete(7), EListError);
    L.SetSize(4, 4); // a new size empties the list
    EXPECT_EQ(L.Count(), 0);
}

TEST_F(ComControls, ImageListDrawsEnabledDisabledAndCopies) {
    TImageList L(nullptr, 2, 2);
    auto B = Strip();
    L.AddMasked(B.get(), clOlive);
    TBitmap Dst(5, 5, pf24bit);
    TCanvas* C = Dst.Canvas();
    C->Brush()->SetColor(clWhite);
    C->FillRect(Rect(0, 0, 5, 5));
    L.Draw(C, 1, 1, 0);
    EXPECT_EQ(C->Pixels(1, 1), clRed);
    EXPECT_EQ(C->Pixels(2, 1), clGreen);
    EXPECT_EQ(C->Pixels(1, 2), clWhite); // masked pixel leaves the background
    L.Draw(C, 1, 1, 5);                  // bad index draws nothing
    L.Draw(C, 4, 4, 1);                  // clipped at the edge
    EXPECT_EQ(C->Pixels(4, 4), clBlue);

    C->FillRect(Rect(0, 0, 5, 5));
    L.Draw(C, 0, 0, 1, false); // blue at (0,0) and (1,1): embossed
    const TColor Hi = ColorToRGB(clBtnHighlight), Sh = ColorToRGB(clBtnShadow);
    EXPECT_EQ(C->Pixels(0, 0), Sh);
    EXPECT_EQ(C->Pixels(1, 1), Sh);
    EXPECT_EQ(C->Pixels(2, 2), Hi);
    EXPECT_EQ(C->Pixels(1, 0), clWhite);

    TBitmap Copy;
    ASSERT_TRUE(L.GetBitmap(0, &Copy));
    EXPECT_EQ(Copy.PixelFormat(), pf32bit);
    EXPECT_EQ(Copy.ScanLine(1)[3], 0); // masked: alpha 0
    EXPECT_EQ(Copy.ScanLine(0)[2], 255);
    TIcon Icon;
    ASSERT_TRUE(L.GetIcon(0, &Icon));
    ASSERT_EQ(Icon.Width(), 2);
    ASSERT_EQ(Icon.Height(), 2);
    const Byte* P = Icon.Image().Row(0);
    EXPECT_EQ(P[2], 255); // red, opaque
    EXPECT_EQ(P[3], 255);
    EXPECT_EQ(Icon.Image().Row(1)[3], 0);
    EXPECT_FALSE(L.GetIcon(3, &Icon));
}

TEST_F(ComControls, ImageListDrawingStyles) {
    TImageList L(nullptr, 2, 1);
    TBitmap B(2, 1, pf24bit);
    B.Canvas()->SetPixels(0, 0, clBlack);
    B.Canvas()->SetPixels(1, 0, clWhite);
    L.AddMasked(&B, clWhite);
    TBitmap Dst(2, 1, pf24bit);
    TCanvas* C = Dst.Canvas();
    L.SetBkColor(clYellow);
    L.Draw(C, 0, 0, 0, dsNormal, itImage); // the background fills the masked pixel
    EXPECT_EQ(C->Pixels(1, 0), clYellow);
    C->SetPixels(1, 0, clBlue);
    L.Draw(C, 0, 0, 0, dsTransparent, itImage);
    EXPECT_EQ(C->Pixels(1, 0), clBlue);
    L.SetBlendColor(clWhite);
    L.Draw(C, 0, 0, 0, dsSelected, itImage); // half way to the blend colour
    EXPECT_EQ(C->Pixels(0, 0), TColor(0x00808080));
    L.Draw(C, 0, 0, 0, dsNormal, itMask);
    EXPECT_EQ(C->Pixels(0, 0), clBlack);
    EXPECT_EQ(C->Pixels(1, 0), clWhite);
}

TEST_F(ComControls, ImageListChangeLinks) {
    auto L = std::make_unique<TImageList>(nullptr);
    int Changes = 0, ListChanges = 0;
    L->OnChange = [&](TObject*) { ++ListChanges; };
    auto Link = std::make_unique<TChangeLink>();
    Link->OnChange = [&](TObject* S) {
        EXPECT_EQ(S, L.get());
        ++Changes;
    };
    L->RegisterChanges(Link.get());
    EXPECT_EQ(Link->Sender(), L.get());
    TBitmap B(32, 16, pf24bit);
    L->AddMasked(&B, clNone);
    EXPECT_EQ(Changes, 1);
    L->BeginUpdate();
    L->Clear();
    L->AddMasked(&B, clNone);
    EXPECT_EQ(Changes, 1);
    L->EndUpdate(); // one change for the batch
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(ListChanges, 2);
    Link.reset(); // a freed link unregisters itself
    L->Clear();
    EXPECT_EQ(Changes, 2);
    TChangeLink Other;
    L->RegisterChanges(&Other);
    L.reset();
    EXPECT_EQ(Other.Sender(), nullptr);
}

TEST_F(ComControls, HiddenListViewHoldsRowsAndSelection) {
    auto* V = new TListView(Form); // never shown: a data holder
    V->SetViewStyle(vsReport);
    V->Columns()->Add()->SetCaption("Values");
    V->Columns()->Add()->SetCaption("color");
    TListItem* A = V->Items()->Add();
    A->SetCaption("Texte 1-1\rTexte 1-2");
    A->SubItems()->Add("clgray");
    TListItem* B = V->Items()->Add();
    B->SubItems()->Add("1");
    EXPECT_EQ(V->Items()->Count(), 2);
    EXPECT_EQ(V->Items()->Item(0)->SubItems()->Get(0), "clgray");
    EXPECT_EQ(B->Index(), 1);
    EXPECT_THROW(V->Items()->Item(2), EListError);

    std::vector<std::string> Log;
    V->OnSelectItem = [&](TObject*, TListItem* I, bool S) {
        Log.push_back(std::to_string(I->Index()) + (S ? "+" : "-"));
    };
    A->SetSelected(true);
    B->SetSelected(true); // single selection: A goes first
    EXPECT_EQ(Log, (std::vector<std::string>{"0+", "0-", "1+"}));
    EXPECT_EQ(V->Selected(), B);
    EXPECT_EQ(V->ItemIndex(), 1);
    V->SetItemIndex(-1);
    EXPECT_EQ(V->Selected(), nullptr);
    V->SetMultiSelect(true);
    A->SetSelected(true);
    B->SetSelected(true);
    EXPECT_EQ(V->SelCount(), 2);
    Log.clear();
    B->Delete(); // deleting fires nothing
    V->Items()->Clear();
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(V->Selected(), nullptr);
}

TEST_F(ComControls, ListViewNativeSelectionComesBack) {
    auto* V = new TListView(Form);
    V->SetParent(Form);
    V->SetViewStyle(vsReport);
    V->Columns()->Add()->SetCaption("A");
    for (const char* S : {"x", "y", "z"})
        V->Items()->Add()->SetCaption(S);
    Form->Show();
    ASSERT_TRUE(V->HandleAllocated());
    std::vector<std::string> Log;
    V->OnSelectItem = [&](TObject*, TListItem* I, bool S) {
        Log.push_back(I->Caption() + (S ? "+" : "-"));
    };
    V->Items()->Item(0)->SetSelected(true);
    SendNativeKey(V, true, VK_DOWN, "");
    SendNativeKey(V, false, VK_DOWN, "");
    EXPECT_EQ(V->ItemIndex(), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"x+", "x-", "y+"}));
    V->Items()->Item(1)->SetCaption("y2"); // a rebuild keeps the selection
    SendNativeKey(V, true, VK_DOWN, "");
    EXPECT_EQ(V->ItemIndex(), 2);
}

TEST_F(ComControls, TreeNodesStructure) {
    auto* T = new TTreeView(Form);
    TTreeNodes* N = T->Items();
    TTreeNode* A = N->Add(nullptr, "A");
    TTreeNode* C = N->Add(A, "C");
    TTreeNode* A1 = N->AddChild(A, "A1");
    TTreeNode* A0 = N->AddChildFirst(A, "A0");
    TTreeNode* B = N->Insert(C, "B");
    int Tag = 7;
    TTreeNode* A2 = N->AddChildObject(A, "A2", &Tag);
    EXPECT_EQ(N->Count(), 6);
    std::string Order;
    for (int I = 0; I < N->Count(); ++I)
        Order += N->Item(I)->Text() + " ";
    EXPECT_EQ(Order, "A A0 A1 A2 B C ");
    EXPECT_EQ(A->Count(), 3);
    EXPECT_EQ(A->Item(1), A1);
    EXPECT_EQ(A2->Data(), &Tag);
    EXPECT_EQ(A2->Level(), 1);
    EXPECT_EQ(B->Index(), 1);
    EXPECT_EQ(C->AbsoluteIndex(), 5);
    EXPECT_EQ(A2->GetNext(), B);
    EXPECT_EQ(A0->GetPrevSibling(), nullptr);
    EXPECT_EQ(N->GetFirstNode(), A);
    EXPECT_THROW(N->Item(6), EListError);
    A->Delete();
    EXPECT_EQ(N->Count(), 2);
    EXPECT_EQ(N->GetFirstNode(), B);
}

TEST_F(ComControls, TreeSelectionEvents) {
    auto* T = new TTreeView(Form);
    TTreeNode* A = T->Items()->Add(nullptr, "A");
    TTreeNode* B = T->Items()->Add(nullptr, "B");
    TTreeNode* B1 = T->Items()->AddChild(B, "B1");
    std::vector<std::string> Log;
    bool Refuse = false;
    T->OnChanging = [&](TObject*, TTreeNode* Node, bool& Allow) {
        Log.push_back("changing " + (Node ? Node->Text() : std::string("-")));
        Allow = !Refuse;
    };
    T->OnChange = [&](TObject*, TTreeNode* Node) {
        Log.push_back("change " + (Node ? Node->Text() : std::string("-")));
    };
    A->SetSelected(true);
    A->SetSelected(true); // no change, no event
    EXPECT_EQ(Log, (std::vector<std::string>{"changing A", "change A"}));
    Refuse = true;
    T->SetSelected(B);
    EXPECT_EQ(T->Selected(), A);
    Refuse = false;
    B1->SetSelected(true);
    EXPECT_TRUE(B->Expanded()); // a selected node is made visible
    EXPECT_TRUE(B1->Selected());
    Log.clear();
    B->Delete(); // the selection goes with it, silently
    EXPECT_EQ(T->Selected(), nullptr);
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(T->TopItem(), A);
    T->Items()->Clear();
    EXPECT_EQ(T->TopItem(), nullptr);
    EXPECT_TRUE(Log.empty());
}

TEST_F(ComControls, TreeNativeKeysSelectAndMirror) {
    auto* T = new TTreeView(Form);
    T->SetParent(Form);
    T->SetBounds(0, 0, 100, 40);
    for (int I = 0; I < 20; ++I)
        T->Items()->Add(nullptr, "V" + std::to_string(I));
    Form->Show();
    T->Items()->Item(0)->SetSelected(true);
    std::vector<std::string> Log;
    T->OnChange = [&](TObject*, TTreeNode* Node) { Log.push_back(Node->Text()); };
    SendNativeKey(T, true, VK_DOWN, "");
    EXPECT_EQ(Log, (std::vector<std::string>{"V1"}));
    EXPECT_EQ(T->Selected()->Text(), "V1");
    T->OnChanging = [](TObject*, TTreeNode*, bool& Allow) { Allow = false; };
    SendNativeKey(T, true, VK_DOWN, ""); // refused: the widget goes back
    EXPECT_EQ(T->Selected()->Text(), "V1");
    T->OnChanging = nullptr;
    SendNativeKey(T, true, VK_DOWN, "");
    EXPECT_EQ(T->Selected()->Text(), "V2");
    T->SetTopItem(T->Items()->Item(10));
    EXPECT_EQ(T->TopItem()->Text(), "V10");

    TTreeNode* V2 = T->Selected();
    T->Items()->AddChild(V2, "child");
    std::vector<std::string> Expanded;
    T->OnExpanded = [&](TObject*, TTreeNode* N) { Expanded.push_back(N->Text()); };
    SendNativeKey(T, true, VK_RIGHT, ""); // the user opens the node
    EXPECT_TRUE(V2->Expanded());
    EXPECT_EQ(Expanded, (std::vector<std::string>{"V2"}));
    V2->SetExpanded(false); // from code: the widget follows
    SendNativeKey(T, true, VK_DOWN, "");
    EXPECT_EQ(T->Selected()->Text(), "V3");

    std::string Shown; // a handler's exception goes to the application
    Application->OnException = [&](TObject*, const Exception& E) { Shown = E.Message(); };
    T->OnChange = [](TObject*, TTreeNode*) { throw EInvalidOperation("Impossible"); };
    SendNativeKey(T, true, VK_DOWN, "");
    EXPECT_EQ(Shown, "Impossible");
    Application->OnException = nullptr;
}

TEST_F(ComControls, PageControlActivePageAndTabs) {
    auto* P = new TPageControl(Form);
    P->SetParent(Form);
    P->SetBounds(0, 0, 200, 100);
    auto* S1 = new TTabSheet(Form);
    S1->SetCaption("Conception");
    S1->SetPageControl(P);
    auto* S2 = new TTabSheet(Form);
    S2->SetCaption("Aperçu");
    S2->SetPageControl(P);
    EXPECT_EQ(P->PageCount(), 2);
    EXPECT_EQ(P->ActivePage(), S1);
    EXPECT_TRUE(S1->Visible());
    EXPECT_FALSE(S2->Visible());
    EXPECT_EQ(S1->BoundsRect(), Rect(2, 22, 198, 98));

    std::vector<std::string> Log;
    P->OnChanging = [&](TObject*, bool&) { Log.push_back("changing"); };
    P->OnChange = [&](TObject*) { Log.push_back("change"); };
    P->SetActivePageIndex(1); // from code: no events
    EXPECT_EQ(P->ActivePage(), S2);
    EXPECT_FALSE(S1->Visible());
    EXPECT_TRUE(Log.empty());
    const TRect Tab0 = P->TabRect(0);
    P->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(Tab0.Left + 3, 5));
    P->Perform(WM_LBUTTONUP, 0, MakeLParam(Tab0.Left + 3, 5));
    EXPECT_EQ(P->ActivePageIndex(), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"changing", "change"}));
    S2->Show(); // showing a page activates it
    EXPECT_EQ(P->ActivePage(), S2);
    P->OnChanging = [&](TObject*, bool& Allow) { Allow = false; };
    P->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(Tab0.Left + 3, 5));
    EXPECT_EQ(P->ActivePage(), S2);
    P->OnChanging = nullptr;
    auto* S3 = new TTabSheet(Form);
    S3->SetPageControl(P);
    S3->SetTabVisible(false);
    EXPECT_EQ(P->FindNextPage(S2, true, true), S1); // wraps, skipping hidden tabs
    EXPECT_EQ(P->FindNextPage(S2, true, false), S3);
    S3->SetPageIndex(0);
    EXPECT_EQ(P->Pages(0), S3);
    EXPECT_EQ(S1->TabIndex(), 0);
    delete S3;

    // A page control without visible tabs gives its pages the whole area.
    S1->SetTabVisible(false);
    S2->SetTabVisible(false);
    EXPECT_EQ(P->TabHeight(), 0);
    EXPECT_EQ(S2->BoundsRect(), Rect(0, 0, 200, 100));
    EXPECT_EQ(S2->TabIndex(), -1);
    delete S2; // the next page takes over
    EXPECT_EQ(P->ActivePage(), S1);
    EXPECT_EQ(P->PageCount(), 1);
}

TEST_F(ComControls, ToolBarLayoutAndButtons) {
    auto* Bar = new TToolBar(Form);
    Bar->SetParent(Form);
    auto Add = [&](TToolButtonStyle S) {
        auto* B = new TToolButton(Form);
        B->SetStyle(S);
        B->SetParent(Bar);
        return B;
    };
    TToolButton* New = Add(tbsButton);
    TToolButton* Sep = Add(tbsSeparator);
    TToolButton* C1 = Add(tbsCheck);
    TToolButton* C2 = Add(tbsCheck);
    ASSERT_EQ(Bar->ButtonCount(), 4);
    EXPECT_EQ(New->BoundsRect(), Rect(0, 0, 23, 22));
    EXPECT_EQ(Sep->BoundsRect(), Rect(23, 0, 31, 22));
    EXPECT_EQ(C1->Left(), 31);
    TImageList Images(nullptr, 24, 24);
    Bar->SetImages(&Images);
    EXPECT_EQ(New->Width(), 31); // room for the images
    EXPECT_EQ(New->Height(), 30);

    int Clicks = 0;
    New->OnClick = [&](TObject*) { ++Clicks; };
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
    Bar->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 5));
    EXPECT_EQ(Clicks, 1);
    New->SetEnabled(false); // a disabled button is not clicked
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
    Bar->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 5));
    EXPECT_EQ(Clicks, 1);

    C1->Click();
    EXPECT_TRUE(C1->Down());
    C1->Click();
    EXPECT_FALSE(C1->Down());
    C1->SetGrouped(true);
    C2->SetGrouped(true);
    C1->Click();
    C2->Click(); // pressing one raises the other
    EXPECT_FALSE(C1->Down());
    EXPECT_TRUE(C2->Down());
    C2->Click(); // the last one of a group stays down
    EXPECT_TRUE(C2->Down());
    int C1Clicks = 0;
    C1->OnClick = [&](TObject*) { ++C1Clicks; };
    C1->SetDown(true); // from code: no click
    EXPECT_EQ(C1Clicks, 0);
    EXPECT_FALSE(C2->Down());
    TToolButton* Drop = Add(tbsDropDown);
    EXPECT_EQ(Drop->Width(), 31 + 14);
    int DropDowns = 0, DropClicks = 0;
    Drop->OnDropDown = [&](TObject*) { ++DropDowns; };
    Drop->OnClick = [&](TObject*) { ++DropClicks; };
    const int AX = Drop->Left() + Drop->Width() - 3; // on the arrow
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(AX, 5));
    Bar->Perform(WM_LBUTTONUP, 0, MakeLParam(AX, 5));
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(Drop->Left() + 3, 5));
    Bar->Perform(WM_LBUTTONUP, 0, MakeLParam(Drop->Left() + 3, 5));
    EXPECT_EQ(DropDowns, 1);
    EXPECT_EQ(DropClicks, 1);
    struct TRecordingMenu : TPopupMenu {
        using TPopupMenu::TPopupMenu;
        void Popup(int X, int Y) override { At = {X, Y}; }
        TPoint At{-1, -1};
    };
    auto* Menu = new TRecordingMenu(Form);
    Drop->SetDropdownMenu(Menu);
    Bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(AX, 5));
    EXPECT_EQ(Menu->At, Drop->ClientToScreen({0, Drop->Height()})); // below the button
    EXPECT_EQ(Menu->PopupComponent(), Drop);
    Bar->Perform(WM_LBUTTONUP, 0, MakeLParam(AX, 5));
    delete Menu;
    EXPECT_EQ(Drop->DropdownMenu(), nullptr);
    Bar->SetImages(nullptr);
    delete C1;
    EXPECT_EQ(Bar->ButtonCount(), 4);
    EXPECT_EQ(C2->Left(), 31);
}

// Alt with a hot key reaches the tool button whose caption marks it, from
// whichever control has the focus; a disabled button or an escaped "&&"
// does not answer.
TEST_F(ComControls, AltWithAHotKeyClicksItsToolButton) {
    auto* Edit = new TEdit(Form);
    Edit->SetParent(Form);
    auto* Bar = new TToolBar(Form);
    Bar->SetParent(Form);
    std::string Log;
    for (const char* Caption : {"&Dis", "&&File", "Ai&de", "&Fichier"}) {
        auto* B = new TToolButton(Form);
        B->SetParent(Bar);
        B->SetCaption(Caption);
        B->SetEnabled(Caption[1] != 'D');
        B->OnClick = [&Log, Caption](TObject*) { Log += std::string(Caption) + ";"; };
    }
    Form->Show();
    Edit->SetFocus();
    Edit->Perform(WM_SYSKEYDOWN, 'D', 0);
    Edit->Perform(WM_SYSKEYDOWN, 'F', 0);
    Edit->Perform(WM_SYSKEYDOWN, 'X', 0);
    EXPECT_EQ(Log, "Ai&de;&Fichier;");
}

TEST_F(ComControls, ToolButtonPaintsItsImage) {
    auto* Bar = new TToolBar(Form);
    Bar->SetParent(Form);
    Bar->SetColor(clWhite);
    TImageList Images(nullptr, 4, 4);
    TBitmap Red(4, 4, pf24bit);
    Red.Canvas()->Brush()->SetColor(clRed);
    Red.Canvas()->FillRect(Rect(0, 0, 4, 4));
    Images.AddMasked(&Red, clNone);
    Bar->SetImages(&Images);
    auto* B = new TToolButton(Form);
    B->SetParent(Bar);
    B->SetImageIndex(0);
    Bar->Repaint();
    TCanvas* C = Bar->Canvas();
    EXPECT_EQ(C->Pixels(9, 9), clRed); // centred in 23 x 22
    EXPECT_EQ(C->Pixels(12, 12), clRed);
    EXPECT_EQ(C->Pixels(8, 9), clWhite); // the bar shows through the face
    B->SetEnabled(false);
    Bar->Repaint();
    EXPECT_EQ(C->Pixels(9, 9), ColorToRGB(clBtnShadow));
    EXPECT_EQ(C->Pixels(13, 13), ColorToRGB(clBtnHighlight));
    TImageList Grey(nullptr, 4, 4);
    Grey.AddMasked(&Red, clNone);
    Bar->SetDisabledImages(&Grey); // its own disabled images are drawn as they are
    Bar->Repaint();
    EXPECT_EQ(C->Pixels(9, 9), clRed);
    Bar->SetImages(nullptr);
    Bar->SetDisabledImages(nullptr);
}

TEST_F(ComControls, StatusProgressAndTrackBars) {
    auto* S = new TStatusBar(Form);
    S->SetParent(Form);
    S->Panels()->Add()->SetWidth(500);
    S->Panels()->Add()->SetWidth(50);
    EXPECT_EQ(S->BoundsRect(), Rect(0, 181, 300, 200));
    EXPECT_EQ(S->PanelRect(0), Rect(0, 0, 500, 19));
    EXPECT_EQ(S->PanelRect(1), Rect(500, 0, 550, 19)); // past the bar's width
    S->Panels()->Items(0)->SetWidth(100);
    EXPECT_EQ(S->PanelRect(1), Rect(100, 0, 300, 19)); // the last takes the rest
    EXPECT_THROW(S->Panels()->Items(2), EListError);

    TProgressBar P(nullptr);
    P.SetBounds(0, 0, 102, 10);
    P.SetPosition(150);
    EXPECT_EQ(P.Position(), 100);
    P.SetPosition(25);
    EXPECT_EQ(P.BarRect(), Rect(1, 1, 26, 9));
    P.SetPosition(95);
    P.StepIt(); // past Max: back to Min
    EXPECT_EQ(P.Position(), 0);
    P.SetMax(-5);
    EXPECT_EQ(P.Min(), -5);
    EXPECT_EQ(P.BarRect().Width(), 0);

    auto* T = new TTrackBar(Form);
    int Changes = 0;
    T->OnChange = [&](TObject*) { ++Changes; };
    T->SetMin(1);
    EXPECT_EQ(T->Position(), 1); // dragged along by Min: a change
    T->SetMax(15);
    T->SetPosition(8);
    T->SetPosition(8);
    T->SetPosition(99);
    EXPECT_EQ(T->Position(), 15);
    EXPECT_EQ(Changes, 3);
    EXPECT_THROW(T->SetMax(0), EInvalidOperation);
    EXPECT_EQ(T->Max(), 15);
    T->SetParent(Form);
    Form->Show();
    SendNativeKey(T, true, VK_LEFT, ""); // the user's move comes back
    EXPECT_EQ(T->Position(), 14);
    EXPECT_EQ(Changes, 4);
}

class TLoadingTrackBar : public TTrackBar {
public:
    using TTrackBar::TTrackBar;
    void StartLoading() { IncludeState(csLoading); }
};

TEST_F(ComControls, TrackBarLoadsMaxBeforeMin) {
    TLoadingTrackBar T(nullptr);
    T.StartLoading();
    T.SetMax(-3); // the stream may give Max before Min
    T.SetMin(-8);
    T.SetPosition(-5);
    T.Loaded();
    EXPECT_EQ(T.Min(), -8);
    EXPECT_EQ(T.Max(), -3);
    EXPECT_EQ(T.Position(), -5);
}

TEST_F(ComControls, ScrollBoxScrollsItsChildren) {
    auto* Box = new TScrollBox(Form);
    Box->SetParent(Form);
    Box->SetBounds(0, 0, 100, 80);
    auto* Child = new TPanel(Form);
    Child->SetParent(Box);
    Child->SetBounds(10, 10, 300, 50);
    EXPECT_EQ(Box->HorzScrollBar()->Range(), 310);
    EXPECT_EQ(Box->VertScrollBar()->Range(), 60);
    EXPECT_TRUE(Box->HorzScrollBar()->IsScrollBarVisible());
    EXPECT_FALSE(Box->VertScrollBar()->IsScrollBarVisible());
    EXPECT_EQ(Box->ClientRect(), Rect(0, 0, 100, 64));
    Box->HorzScrollBar()->SetPosition(1000);
    EXPECT_EQ(Box->HorzScrollBar()->Position(), 210);
    EXPECT_EQ(Child->Left(), -200);
    EXPECT_EQ(Box->HorzScrollBar()->Range(), 310);     // unchanged by scrolling
    Box->Perform(WM_MOUSEWHEEL, WPARAM(120) << 16, 0); // horizontal: no vertical bar
    EXPECT_EQ(Box->HorzScrollBar()->Position(), 186);
    Child->SetBounds(Child->Left(), Child->Top(), 50, 50); // content shrinks
    EXPECT_EQ(Box->HorzScrollBar()->Position(), 0);
    EXPECT_EQ(Child->Left(), 10);
    Box->ScrollInView(Child);
    auto* Far = new TPanel(Form);
    Far->SetParent(Box);
    Far->SetBounds(250, 0, 20, 20);
    Box->ScrollInView(Far);
    EXPECT_EQ(Far->BoundsRect(), Rect(80, 0, 100, 20));
    EXPECT_EQ(Box->HorzScrollBar()->Position(), 170);
    delete Far;
    Form->Show(); // the same with native bars
    Child->SetBounds(10, 10, 50, 500);
    Box->VertScrollBar()->SetPosition(30);
    EXPECT_EQ(Child->Top(), -20);
    EXPECT_EQ(Box->ClientRect(), Rect(0, 0, 84, 80));
}

TEST_F(ComControls, HintWindowWrapsAndShows) {
    auto* H = new THintWindow(Form);
    TCanvas C;
    C.SetFont(*H->Font());
    const int Word = C.TextWidth("mot");
    const int Line = C.TextHeight("Wg");
    EXPECT_EQ(H->CalcHintRect(1000, "mot mot", nullptr),
              Rect(0, 0, C.TextWidth("mot mot") + 6, Line + 2));
    EXPECT_EQ(H->CalcHintRect(Word + 1, "mot mot\r\nmot", nullptr),
              Rect(0, 0, Word + 6, 3 * Line + 2));
    EXPECT_EQ(H->CalcHintRect(100, "", nullptr), Rect(0, 0, 6, 2));
    EXPECT_FALSE(H->Visible());
    H->ActivateHint(Rect(10, 10, 60, 30), "Info");
    EXPECT_TRUE(H->Visible());
    EXPECT_TRUE(H->HandleAllocated());
    EXPECT_EQ(H->Caption(), "Info");
    EXPECT_EQ(H->BoundsRect(), Rect(10, 10, 60, 30));
    H->Repaint();
    EXPECT_EQ(H->Canvas()->Pixels(0, 0), ColorToRGB(clWindowFrame));
    EXPECT_EQ(H->Canvas()->Pixels(1, 1), ColorToRGB(clInfoBk));
    H->ReleaseHandle();
    EXPECT_FALSE(H->HandleAllocated());
    EXPECT_FALSE(H->Visible());
}

} // namespace
