#include "platform/base/Exception.h"
#include "platform/base/Format.h"
#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Spin.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class StdControls : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 300, 200);
    }
    void TearDown() override { delete Form; }
    template <class T> T* Make() {
        auto* C = new T(Form);
        C->SetParent(Form);
        return C;
    }
    TForm* Form = nullptr;
};

TEST_F(StdControls, EditChangeSelectionAndLimits) {
    auto* E = Make<TEdit>();
    int Changes = 0;
    E->OnChange = [&](TObject*) { ++Changes; };
    E->SetText("héllo");
    E->SetText("héllo");
    EXPECT_EQ(Changes, 1); // only a real change notifies
    EXPECT_FALSE(E->Modified());

    // Selection counts characters, not bytes.
    E->SetSelStart(1);
    E->SetSelLength(3);
    EXPECT_EQ(E->SelText(), "éll");
    E->SetSelText("ÿ");
    EXPECT_EQ(E->Text(), "hÿo");
    EXPECT_EQ(E->SelStart(), 2);
    EXPECT_EQ(E->SelLength(), 0);
    EXPECT_EQ(Changes, 2);

    E->SetMaxLength(2);
    EXPECT_EQ(E->Text(), "hÿ");
    E->SetSelStart(99);
    E->SetSelText("abc"); // no room left
    EXPECT_EQ(E->Text(), "hÿ");
    E->SetCharCase(ecUpperCase);
    EXPECT_EQ(E->Text(), "HŸ");
}

TEST_F(StdControls, EditMirrorsNativeAndTakesUserTyping) {
    auto* E = Make<TEdit>();
    E->SetText("ab");
    E->HandleNeeded();
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(E, S));
    EXPECT_EQ(S.Text, "ab");

    E->SetText("xyz");
    E->SetSelStart(1);
    E->SetSelLength(1);
    ASSERT_TRUE(ReadNativeState(E, S));
    EXPECT_EQ(S.Text, "xyz");
    EXPECT_EQ(S.ItemIndex, 1); // selection start
    EXPECT_EQ(S.ItemCount, 1); // selection length

    std::string Seen;
    E->OnChange = [&](TObject*) { Seen = E->Text(); };
    SendNativeKey(E, true, 'Q', "q"); // replaces the selected "y"
    EXPECT_EQ(E->Text(), "xqz");
    EXPECT_EQ(Seen, "xqz");
    EXPECT_TRUE(E->Modified());
    EXPECT_EQ(E->SelStart(), 2);
    SendNativeKey(E, true, 'R', "r"); // the caret stayed after the typed "q"
    EXPECT_EQ(E->Text(), "xqrz");
    ASSERT_TRUE(ReadNativeState(E, S));
    EXPECT_EQ(S.Text, "xqrz");
}

TEST_F(StdControls, CheckBoxStateFiresClick) {
    auto* C = Make<TCheckBox>();
    std::vector<TCheckBoxState> Clicks;
    C->OnClick = [&](TObject*) { Clicks.push_back(C->State()); };
    C->SetChecked(true);
    C->SetChecked(true);
    C->SetChecked(false);
    EXPECT_EQ(Clicks, (std::vector<TCheckBoxState>{cbChecked, cbUnchecked}));

    C->HandleNeeded();
    C->SetChecked(true);
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(C, S));
    EXPECT_TRUE(S.Checked);
    Clicks.clear();
    NativeUserClick(C);
    EXPECT_FALSE(C->Checked());
    C->SetAllowGrayed(true);
    NativeUserClick(C); // unchecked -> grayed -> checked
    NativeUserClick(C);
    EXPECT_EQ(Clicks, (std::vector<TCheckBoxState>{cbUnchecked, cbGrayed, cbChecked}));
    ASSERT_TRUE(ReadNativeState(C, S));
    EXPECT_TRUE(S.Checked);
}

TEST_F(StdControls, RadioButtonsExcludeSiblingsOnly) {
    auto* A = Make<TRadioButton>();
    auto* B = Make<TRadioButton>();
    auto* Box = Make<TGroupBox>();
    auto* Other = new TRadioButton(Form);
    Other->SetParent(Box);
    Other->SetChecked(true);
    int AClicks = 0, BClicks = 0;
    A->OnClick = [&](TObject*) { ++AClicks; };
    B->OnClick = [&](TObject*) { ++BClicks; };

    A->SetChecked(true);
    B->SetChecked(true);
    EXPECT_FALSE(A->Checked());
    EXPECT_TRUE(B->Checked());
    EXPECT_TRUE(Other->Checked()); // another parent, another group
    EXPECT_EQ(AClicks, 1);         // unchecking fires nothing
    EXPECT_EQ(BClicks, 1);

    B->HandleNeeded();
    NativeUserClick(B); // clicking the checked button keeps it checked
    EXPECT_TRUE(B->Checked());
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(B, S));
    EXPECT_TRUE(S.Checked);
    EXPECT_EQ(BClicks, 1);
    A->HandleNeeded();
    NativeUserClick(A);
    EXPECT_TRUE(A->Checked());
    EXPECT_FALSE(B->Checked());
    ASSERT_TRUE(ReadNativeState(B, S));
    EXPECT_FALSE(S.Checked);

    // Tab stops at the checked button of a group; the arrows move through
    // the group, round its end, checking the button they reach.
    EXPECT_TRUE(A->TabStop());
    EXPECT_FALSE(B->TabStop());
    Form->Show();
    A->SetFocus();
    A->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(B->Focused() && B->Checked() && B->TabStop());
    EXPECT_EQ(BClicks, 2);
    B->Perform(WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_TRUE(A->Focused() && A->Checked());
    EXPECT_TRUE(Other->Checked());
    Form->Hide();
}

TEST_F(StdControls, ButtonModalResultAndDialogKeys) {
    auto* Ok = Make<TButton>();
    auto* Cancel = Make<TButton>();
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    int Clicks = 0;
    Ok->OnClick = [&](TObject*) { ++Clicks; };
    Ok->Click();
    EXPECT_EQ(Form->ModalResult(), mrOk);
    EXPECT_EQ(Clicks, 1);

    Form->Show();
    EXPECT_EQ(Cancel->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
    EXPECT_EQ(Form->ModalResult(), mrCancel);
    EXPECT_EQ(Cancel->Perform(CM_DIALOGKEY, VK_RETURN, 0), 0); // not the default button
    EXPECT_EQ(Ok->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
    EXPECT_EQ(Clicks, 2);
    NativeUserClick(Ok);
    EXPECT_EQ(Clicks, 3);
    Form->Hide();
}

TEST_F(StdControls, ComboItemIndexFollowsItemsWithoutEvents) {
    auto* C = Make<TComboBox>();
    int Changes = 0;
    C->OnChange = [&](TObject*) { ++Changes; };
    C->Items()->SetText("a\nb\nc");
    C->SetItemIndex(1);
    EXPECT_EQ(C->Text(), "b");
    C->Items()->Insert(0, "z");
    EXPECT_EQ(C->ItemIndex(), 2);
    C->Items()->Delete(0);
    EXPECT_EQ(C->ItemIndex(), 1);
    C->Items()->Delete(1); // the selected item goes
    EXPECT_EQ(C->ItemIndex(), -1);
    C->SetItemIndex(7); // out of range selects nothing, the edit keeps its text
    EXPECT_EQ(C->ItemIndex(), -1);
    EXPECT_EQ(C->Text(), "b");
    C->SetStyle(csDropDownList);
    C->SetItemIndex(-1);
    EXPECT_EQ(C->Text(), "");
    C->SetText("C"); // a list-only box shows the item a text names
    EXPECT_EQ(C->ItemIndex(), 1);
    EXPECT_EQ(C->Text(), "c");
    C->SetText("nothing");
    EXPECT_EQ(C->ItemIndex(), -1);
    EXPECT_EQ(C->Text(), "");
    EXPECT_EQ(Changes, 0);
}

TEST_F(StdControls, ComboUserChoiceFiresClickThenSelectOrChange) {
    auto* C = Make<TComboBox>();
    C->SetStyle(csDropDownList);
    C->Items()->SetText("Aucun\nZoom avant\nFondu");
    std::vector<std::string> Events;
    C->OnClick = [&](TObject*) { Events.push_back("click " + C->Text()); };
    C->OnChange = [&](TObject*) { Events.push_back("change " + C->Text()); };
    C->HandleNeeded();
    C->SetItemIndex(0);
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(C, S));
    EXPECT_EQ(S.ItemTexts, (std::vector<std::string>{"Aucun", "Zoom avant", "Fondu"}));
    EXPECT_EQ(S.ItemIndex, 0);

    NativeUserSelect(C, 2);
    EXPECT_EQ(C->ItemIndex(), 2);
    EXPECT_EQ(Events, (std::vector<std::string>{"click Fondu", "change Fondu"}));
    C->OnSelect = [&](TObject*) { Events.push_back("select"); };
    NativeUserSelect(C, 1);
    EXPECT_EQ(Events.back(), "select");
    EXPECT_EQ(Events.size(), 4u);

    C->Items()->Add("Balayage");
    ASSERT_TRUE(ReadNativeState(C, S));
    EXPECT_EQ(S.ItemCount, 4);
    EXPECT_EQ(S.ItemIndex, 1);
}

TEST_F(StdControls, ComboTypingFiresChangeAndSelectsNothing) {
    auto* C = Make<TComboBox>();
    C->Items()->SetText("ab\nabc");
    C->SetItemIndex(1);
    C->SetText("");
    C->HandleNeeded();
    int Changes = 0;
    C->OnChange = [&](TObject*) { ++Changes; };
    SendNativeKey(C, true, 'A', "a");
    SendNativeKey(C, true, 'B', "b");
    EXPECT_EQ(C->Text(), "ab");
    EXPECT_EQ(C->ItemIndex(), -1); // typing chooses no item
    EXPECT_EQ(Changes, 2);
}

TEST_F(StdControls, OwnerDrawnComboPaintsThroughOnDrawItem) {
    auto* C = Make<TComboBox>();
    C->SetStyle(csOwnerDrawFixed);
    C->Items()->SetText("red\nblue");
    std::vector<std::pair<int, bool>> Calls;
    C->OnDrawItem = [&](TWinControl*, int Index, TRect R, TOwnerDrawState State) {
        Calls.emplace_back(Index, State.Contains(odComboBoxEdit));
        C->Canvas()->Brush()->SetColor(Index == 0 ? clRed : clBlue);
        C->Canvas()->FillRect(R);
    };
    std::vector<std::uint32_t> Buf(40, 0);
    C->Canvas()->SetSurface({reinterpret_cast<Byte*>(Buf.data()), 10, 4, 40});
    C->PaintItem(1, Rect(0, 0, 10, 4), {odSelected});
    EXPECT_EQ(C->Canvas()->Pixels(9, 3), clBlue);
    C->SetStyle(csDropDownList); // not owner-drawn: highlight for the selection
    C->PaintItem(1, Rect(0, 0, 10, 4), {odSelected});
    EXPECT_EQ(C->Canvas()->Pixels(9, 3), ColorToRGB(clHighlight));
    // The focused item is framed with dots, whoever drew it.
    C->PaintItem(1, Rect(0, 0, 10, 4), {odSelected, odFocused});
    EXPECT_EQ(C->Canvas()->Pixels(0, 0), ColorToRGB(clHighlight) ^ 0xFFFFFF);
    EXPECT_EQ(C->Canvas()->Pixels(1, 0), ColorToRGB(clHighlight));
    EXPECT_EQ(C->Canvas()->Pixels(9, 3), ColorToRGB(clHighlight) ^ 0xFFFFFF);
    EXPECT_EQ(C->Canvas()->Pixels(4, 2), ColorToRGB(clHighlight));
    C->Canvas()->SetSurface({});
    ASSERT_EQ(Calls.size(), 1u);
    Calls.clear();
    C->SetStyle(csOwnerDrawFixed);

    C->SetItemIndex(0);
    Form->Show();
    std::vector<std::uint32_t> Px;
    int W = 0, H = 0;
    ASSERT_TRUE(GrabNativeWindow(C, Px, W, H));
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back(), std::make_pair(0, true));
    EXPECT_EQ(Px[std::size_t(H / 2) * W + 6] & 0xFFFFFF, 0xFF0000u); // red face
    Form->Hide();
}

TEST_F(StdControls, ListBoxSelectionFlagsAndIndices) {
    auto* L = Make<TListBox>();
    L->Items()->SetText("a\nb\nc\nd");
    L->SetItemIndex(2);
    EXPECT_TRUE(L->Selected(2));
    EXPECT_EQ(L->SelCount(), -1);
    EXPECT_THROW(L->Selected(4), EListError);
    L->Items()->Delete(0);
    EXPECT_EQ(L->ItemIndex(), 1);
    EXPECT_TRUE(L->Selected(1));

    L->SetMultiSelect(true);
    L->SetSelected(0, true);
    EXPECT_EQ(L->SelCount(), 2);
    L->Items()->Insert(0, "z"); // flags move with their items
    EXPECT_FALSE(L->Selected(0));
    EXPECT_TRUE(L->Selected(1));
    EXPECT_TRUE(L->Selected(2));

    L->HandleNeeded();
    int Clicks = 0;
    L->OnClick = [&](TObject*) { ++Clicks; };
    NativeUserSelect(L, 3);
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(L->ItemIndex(), 3);
    EXPECT_EQ(L->SelCount(), 1); // a plain click selects that item only
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(L, S));
    EXPECT_EQ(S.ItemTexts, (std::vector<std::string>{"z", "b", "c", "d"}));
    EXPECT_EQ(S.ItemIndex, 3);
    L->Clear();
    EXPECT_EQ(L->ItemIndex(), -1);
    EXPECT_EQ(L->SelCount(), 0);
}

TEST_F(StdControls, ListBoxArrowKeysChooseLikeAClick) {
    auto* L = Make<TListBox>();
    L->Items()->SetText("a\nb\nc");
    L->HandleNeeded();
    int Clicks = 0;
    L->OnClick = [&](TObject*) { ++Clicks; };
    NativeUserSelect(L, 0);
    SendNativeKey(L, true, VK_DOWN, "");
    EXPECT_EQ(L->ItemIndex(), 1);
    EXPECT_EQ(Clicks, 2);
    L->SetItemIndex(2); // from code: no click
    EXPECT_EQ(Clicks, 2);
}

TEST_F(StdControls, ListBoxClickBelowTheRowsKeepsTheChosenRowShown) {
    auto* L = Make<TListBox>();
    L->SetBounds(10, 10, 120, 90);
    L->Items()->SetText("a\nb");
    L->SetItemIndex(0);
    int Clicks = 0;
    L->OnClick = [&](TObject*) { ++Clicks; };
    Form->Show();
    // The row in the list's first pixel row of each item: chosen or not.
    auto Shown = [&](int Row) {
        std::vector<std::uint32_t> Px;
        int W = 0, H = 0;
        EXPECT_TRUE(GrabNativeWindow(L, Px, W, H));
        const TRect R = L->ItemRect(Row);
        return Px.empty() ? 0u : Px[std::size_t(R.Top + R.Height() / 2) * W + 4] & 0xFFFFFF;
    };
    const std::uint32_t Plain = Shown(1);
    ASSERT_NE(Shown(0), Plain);
    SendWindowMouse(L, WM_LBUTTONDOWN, {40, 85}, MK_LBUTTON);
    SendWindowMouse(L, WM_LBUTTONUP, {40, 85}, 0);
    EXPECT_EQ(L->ItemIndex(), 0);
    EXPECT_EQ(Clicks, 0);
    EXPECT_NE(Shown(0), Plain) << "the list shows no row chosen while it holds row 0";
    Form->Hide();
}

TEST_F(StdControls, LabelAutoSizeAndAccelerator) {
    auto* L = Make<TLabel>();
    L->SetCaption("&Fichier && co");
    EXPECT_EQ(L->DisplayText(), "Fichier & co");
    TBitmap B(1, 1, pf32bit);
    B.Canvas()->SetFont(*L->Font());
    EXPECT_EQ(L->Width(), B.Canvas()->TextWidth("Fichier & co"));
    EXPECT_EQ(L->Height(), B.Canvas()->TextHeight("Fichier & co"));

    L->SetAutoSize(false);
    L->SetBounds(10, 0, 100, 20);
    L->SetAlignment(taRightJustify);
    L->SetAutoSize(true); // a right-aligned label keeps its right edge
    EXPECT_EQ(L->Left() + L->Width(), 110);

    // Alt with the hot key puts the keyboard on the control it names.
    auto* Other = Make<TEdit>();
    auto* Named = Make<TEdit>();
    L->SetFocusControl(Named);
    Form->Show();
    Other->SetFocus();
    Other->Perform(WM_SYSKEYDOWN, 'C', 0);
    EXPECT_TRUE(Other->Focused());
    Other->Perform(WM_SYSKEYDOWN, 'F', 0);
    EXPECT_TRUE(Named->Focused());
    delete Named;
    Other->SetFocus();
    Other->Perform(WM_SYSKEYDOWN, 'F', 0); // the named control is gone
    EXPECT_TRUE(Other->Focused());
    Form->Hide();
}

TEST_F(StdControls, UpDownStepsNotifiesParentAndClicks) {
    auto* Host = Make<TPanel>();
    auto* U = new TUpDown(Form);
    U->SetParent(Host);
    U->SetMin(-1);
    U->SetMax(1);
    std::vector<std::pair<WPARAM, LPARAM>> Scrolls;
    TWndMethod Old = Host->WindowProc;
    Host->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_VSCROLL) Scrolls.emplace_back(M.WParam, M.LParam);
        Old(M);
    };
    std::vector<TUDBtnType> Clicks;
    U->OnClick = [&](TObject*, TUDBtnType B) { Clicks.push_back(B); };

    U->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 2)); // top half: next
    U->Perform(WM_LBUTTONUP, 0, MakeLParam(3, 2));
    EXPECT_EQ(U->Position(), 1);
    ASSERT_EQ(Scrolls.size(), 2u);
    EXPECT_EQ(Scrolls[0].first, SB_THUMBPOSITION | (1u << 16));
    EXPECT_EQ(Scrolls[0].second, reinterpret_cast<LPARAM>(U));
    EXPECT_EQ(Scrolls[1].first, SB_ENDSCROLL);
    U->SetPosition(0); // the owner resets it, as a spin edit does
    U->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 20));
    EXPECT_EQ(U->Position(), -1);
    EXPECT_EQ(Scrolls[2].first >> 16, 0xFFFFu); // the signed 16-bit position
    EXPECT_EQ(Clicks, (std::vector<TUDBtnType>{btNext, btPrev}));

    U->Press(btPrev); // clamped at Min, still notifies
    EXPECT_EQ(U->Position(), -1);
    U->SetWrap(true);
    U->Press(btPrev);
    EXPECT_EQ(U->Position(), 1);
    U->OnChanging = [](TObject*, bool& Allow) { Allow = false; };
    U->Press(btPrev);
    EXPECT_EQ(U->Position(), 1);

    auto* E = Make<TEdit>();
    U->OnChanging = nullptr;
    U->SetMax(5000);
    U->SetAssociate(E);
    U->SetPosition(1234);
    EXPECT_EQ(E->Text(), std::string("1") + FormatSettings().ThousandSeparator + "234");
    U->SetThousands(false);
    U->Press(btNext);
    EXPECT_EQ(E->Text(), "1235");
    delete E; // the link goes with it
    EXPECT_EQ(U->Associate(), nullptr);
}

TEST_F(StdControls, LabelPaintsOnItsParentUnlessTransparent) {
    auto* Host = Make<TPanel>();
    Host->SetBevelOuter(bvNone);
    Host->SetColor(clWhite);
    auto* L = new TLabel(Form);
    L->SetParent(Host);
    L->SetColor(clYellow);
    L->SetCaption("WW");
    L->SetAutoSize(false);
    L->SetBounds(0, 0, 40, 20);
    Host->Repaint();
    TCanvas* C = Host->Canvas();
    EXPECT_EQ(C->Pixels(39, 19), clYellow);
    EXPECT_EQ(C->Pixels(41, 0), clWhite);
    int Ink = 0;
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 40; ++X)
            Ink += C->Pixels(X, Y) != clYellow;
    EXPECT_GT(Ink, 0); // the caption was drawn
    L->SetTransparent(true);
    Host->Repaint();
    EXPECT_EQ(C->Pixels(39, 19), clWhite);
}

TEST_F(StdControls, GroupBoxKeepsChildrenBelowItsCaption) {
    auto* G = Make<TGroupBox>();
    G->SetBounds(0, 0, 100, 80);
    auto* Inner = new TPanel(Form);
    Inner->SetParent(G);
    Inner->SetAlign(alClient);
    EXPECT_EQ(Inner->Left(), 1);
    EXPECT_GT(Inner->Top(), 1);
    EXPECT_EQ(Inner->Left() + Inner->Width(), 99);
    EXPECT_EQ(Inner->Top() + Inner->Height(), 79);
}

TEST_F(StdControls, ComboMeasuresVariableItemsOnly) {
    auto* C = Make<TComboBox>();
    C->Items()->SetText("a\nb");
    C->SetItemHeight(0);
    EXPECT_EQ(C->ItemHeight(), 1);
    C->SetItemHeight(18);
    C->OnMeasureItem = [](TWinControl*, int Index, int& H) { H = 10 + Index; };
    EXPECT_EQ(C->ItemHeightOf(1), 18);
    C->SetStyle(csOwnerDrawVariable);
    EXPECT_EQ(C->ItemHeightOf(1), 11);
    // A change of style makes a new native widget of the new kind.
    C->HandleNeeded();
    C->SetStyle(csDropDownList);
    C->HandleNeeded();
    TNativeState S;
    ASSERT_TRUE(ReadNativeState(C, S));
    EXPECT_EQ(S.ItemCount, 2);
}

TEST_F(StdControls, UpDownHorizontalAndArrowKeys) {
    auto* U = Make<TUpDown>();
    U->SetOrientation(udHorizontal);
    U->SetBounds(0, 0, 30, 15);
    int HScrolls = 0;
    TWndMethod Old = Form->WindowProc;
    Form->WindowProc = [&](TMessage& M) {
        HScrolls += M.Msg == WM_HSCROLL;
        Old(M);
    };
    U->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(2, 5)); // left half: previous
    EXPECT_EQ(U->Position(), 0);                              // already at Min
    U->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(25, 5));
    EXPECT_EQ(U->Position(), 1);
    EXPECT_EQ(HScrolls, 4);
    U->SetIncrement(10);
    U->Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(U->Position(), 11);
    U->SetArrowKeys(false);
    U->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(U->Position(), 11);
    Form->WindowProc = Old;
}

} // namespace
