#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ShortCuts, TextsAndCodes) {
    EXPECT_EQ(ShortCut('N', {ssCtrl}), 0x404E);
    EXPECT_EQ(ShortCutToText(0x404E), "Ctrl+N");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F1, {ssShift, ssCtrl})), "Shift+Ctrl+F1");
    EXPECT_EQ(ShortCutToText(ShortCut(0x2E, {ssAlt})), "Alt+Del");
    EXPECT_EQ(ShortCutToText(scCtrl | 0xFF), ""); // no name, no text
    EXPECT_EQ(TextToShortCut("ctrl+q"), ShortCut('Q', {ssCtrl}));
    EXPECT_EQ(TextToShortCut("Shift+Ctrl+F12"), ShortCut(VK_F1 + 11, {ssShift, ssCtrl}));
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut("Hyper+A"), 0);
    for (TShortCut SC : {0x404E, 0x2070, 0x8000 | 0x20, 0x6000 | '5', 0x0D})
        EXPECT_EQ(TextToShortCut(ShortCutToText(SC)), SC) << SC;
    Word Key;
    TShiftState Shift;
    const std::pair<Word, const char*> Names[] = {
        {0x08, "BkSp"}, {0x09, "Tab"},   {0x1B, "Esc"},  {0x0D, "Enter"}, {0x20, "Space"},
        {0x21, "PgUp"}, {0x22, "PgDn"},  {0x23, "End"},  {0x24, "Home"},  {0x25, "Left"},
        {0x26, "Up"},   {0x27, "Right"}, {0x28, "Down"}, {0x2D, "Ins"},   {0x2E, "Del"},
        {0x87, "F24"},  {'7', "7"}};
    for (auto [K, Name] : Names)
        EXPECT_EQ(ShortCutToText(K), Name);
    ShortCutToKey(0xA041, Key, Shift);
    EXPECT_EQ(Key, 'A');
    EXPECT_EQ(Shift, (TShiftState{ssShift, ssAlt}));
}

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Menu = new TMainMenu(Form);
        File = Item("&Fichier");
        Menu->Items()->Add(File);
        New = Item("&Nouveau...", ShortCut('N', {ssCtrl}));
        Save = Item("&Enregister", ShortCut('S', {ssCtrl}));
        File->Add(New);
        File->Add(Item("-"));
        File->Add(Save);
    }
    void TearDown() override { delete Form; }
    TMenuItem* Item(const std::string& Caption, TShortCut SC = 0) {
        auto* I = new TMenuItem(Form);
        I->SetCaption(Caption);
        I->SetShortCut(SC);
        return I;
    }
    TForm* Form = nullptr;
    TMainMenu* Menu = nullptr;
    TMenuItem *File = nullptr, *New = nullptr, *Save = nullptr;
};

TEST_F(Menus, TreeEditingAndLookup) {
    EXPECT_EQ(File->Count(), 3);
    EXPECT_EQ(Save->MenuIndex(), 2);
    EXPECT_EQ(Save->GetParentMenu(), Menu);
    EXPECT_THROW(File->Add(New), EMenuError);
    EXPECT_THROW(New->Add(File), EMenuError); // an ancestor
    EXPECT_THROW(File->Items(3), EMenuError);
    Save->SetMenuIndex(0);
    EXPECT_EQ(File->IndexOf(Save), 0);
    EXPECT_EQ(File->Find("enregister"), Save);

    EXPECT_NE(New->Command(), Save->Command());
    EXPECT_EQ(Menu->FindItem(Save->Command(), fkCommand), Save);
    EXPECT_EQ(Menu->FindItem(ShortCut('N', {ssCtrl}), fkShortCut), New);
    EXPECT_EQ(Menu->FindItem(reinterpret_cast<std::uintptr_t>(File->Handle()), fkHandle), File);

    const Word Gone = New->Command();
    delete New; // leaves its parent and its command id
    EXPECT_EQ(File->Count(), 2);
    EXPECT_EQ(Menu->FindItem(Gone, fkCommand), nullptr);
    File->Clear();
    EXPECT_EQ(File->Count(), 0);
}

TEST_F(Menus, RadioGroupsAutoCheckAndDisabledClicks) {
    auto* A = Item("A");
    auto* B = Item("B");
    auto* C = Item("C");
    for (TMenuItem* I : {A, B, C}) {
        I->SetRadioItem(true);
        File->Add(I);
    }
    C->SetGroupIndex(1);
    C->SetChecked(true);
    A->SetChecked(true);
    B->SetChecked(true);
    EXPECT_FALSE(A->Checked());
    EXPECT_TRUE(B->Checked());
    EXPECT_TRUE(C->Checked()); // another group

    auto* Tips = Item("Infobulles");
    Tips->SetAutoCheck(true);
    int Clicks = 0;
    Tips->OnClick = [&](TObject*) { ++Clicks; };
    Tips->Click();
    EXPECT_TRUE(Tips->Checked());
    Tips->Click();
    EXPECT_FALSE(Tips->Checked());
    Tips->SetEnabled(false);
    Tips->Click();
    EXPECT_EQ(Clicks, 2);
    delete Tips;
}

TEST_F(Menus, OpeningADropDownRefreshesItFirst) {
    std::vector<UINT> HostMessages;
    TMessage Selected;
    TWndMethod Old = Form->WindowProc;
    Form->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_INITMENUPOPUP) HostMessages.push_back(M.Msg);
        if (M.Msg == WM_MENUSELECT) Selected = M;
        Old(M);
    };
    bool Modified = false;
    File->OnClick = [&](TObject*) { Save->SetEnabled(Modified); };

    std::vector<TNativeMenuEntry> E = ReadNativeMenu(File);
    ASSERT_EQ(E.size(), 3u);
    EXPECT_EQ(E[0].Text, "&Nouveau...\tCtrl+N");
    EXPECT_TRUE(E[1].Separator);
    EXPECT_FALSE(E[2].Enabled); // disabled by the refresh
    EXPECT_EQ(HostMessages.size(), 1u);

    Modified = true;
    E = ReadNativeMenu(File);
    EXPECT_TRUE(E[2].Enabled);
    EXPECT_TRUE(E[2].Visible);
    Save->SetVisible(false);
    E = ReadNativeMenu(File);
    EXPECT_FALSE(E[2].Visible);

    int Saves = 0;
    Save->OnClick = [&](TObject*) { ++Saves; };
    Save->SetVisible(true);
    NativeMenuChoose(File, 2);
    EXPECT_EQ(Saves, 1);
    EXPECT_EQ(Selected.WParam, ((MF_HILITE | MF_MOUSESELECT) << 16) | Save->Command());
    EXPECT_EQ(Selected.LParam, reinterpret_cast<LPARAM>(File->Handle()));

    // A shortcut opens the drop-down on its way (refresh included).
    Modified = false;
    EXPECT_FALSE(Menu->IsShortCut('S', {ssCtrl}));
    Modified = true;
    EXPECT_TRUE(Menu->IsShortCut('S', {ssCtrl}));
    EXPECT_EQ(Saves, 2);
    EXPECT_FALSE(Menu->IsShortCut('S', {ssShift}));
    Form->WindowProc = Old;
}

TEST_F(Menus, OwnerDrawnItemsMeasureAndDrawThroughEventsThenHost) {
    Menu->SetOwnerDraw(true);
    New->OnMeasureItem = [](TObject*, TCanvas*, int& W, int& H) {
        W = 40;
        H = 12;
    };
    std::vector<TDrawItemStruct> Draws;
    TWndMethod Old = Form->WindowProc;
    Form->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_MEASUREITEM) {
            auto* MIS = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            if (MIS->itemID == Save->Command()) MIS->itemHeight = 30;
        } else if (M.Msg == WM_DRAWITEM) {
            auto* DIS = reinterpret_cast<TDrawItemStruct*>(M.LParam);
            Draws.push_back(*DIS);
            if (DIS->itemID == Save->Command()) {
                DIS->Canvas->Brush()->SetColor(clLime);
                DIS->Canvas->FillRect(Rect(0, 0, 2, 2));
            }
        }
        Old(M);
    };
    const std::vector<TNativeMenuEntry> E = ReadNativeMenu(File);
    ASSERT_EQ(E.size(), 3u);
    EXPECT_TRUE(E[0].OwnerDrawn);
    EXPECT_EQ(E[0].Width, 40);
    EXPECT_EQ(E[0].Height, 12);
    EXPECT_EQ(E[2].Height, 30); // the host's word is the last

    TOwnerDrawState Seen;
    New->OnAdvancedDrawItem = [&](TObject*, TCanvas* C, TRect R, TOwnerDrawState S) {
        Seen = S;
        C->Brush()->SetColor(clRed);
        C->FillRect(R);
    };
    New->SetChecked(true);
    std::vector<std::uint32_t> Px;
    int W = 0, H = 0;
    ASSERT_TRUE(GrabNativeMenuEntry(File, 0, true, Px, W, H));
    EXPECT_EQ(W, 40);
    EXPECT_EQ(Px[5 * 40 + 20] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Seen, (TOwnerDrawState{odSelected, odChecked}));
    ASSERT_FALSE(Draws.empty());
    EXPECT_EQ(Draws.back().CtlType, ODT_MENU);
    EXPECT_EQ(Draws.back().itemState, UINT(ODS_SELECTED | ODS_CHECKED));
    EXPECT_EQ(Draws.back().itemData, reinterpret_cast<std::uintptr_t>(New));

    ASSERT_TRUE(GrabNativeMenuEntry(File, 2, false, Px, W, H));
    EXPECT_EQ(Px[0] & 0xFFFFFF, 0x00FF00u); // painted by the host after the item
    Form->WindowProc = Old;
}

TEST_F(Menus, NestedDropDownsAreBuiltWithTheirEntries) {
    auto* Recent = Item("Ouvrir les &fichiers récents");
    File->Add(Recent);
    Recent->Add(Item("1 a.qmkf"));
    const std::vector<TNativeMenuEntry> E = ReadNativeMenu(Menu->Items());
    ASSERT_EQ(E.size(), 1u);
    EXPECT_EQ(E[0].Text, "&Fichier");
    EXPECT_TRUE(E[0].HasSubMenu);
    const std::vector<TNativeMenuEntry> Sub = ReadNativeMenu(File);
    ASSERT_EQ(Sub.size(), 4u);
    EXPECT_TRUE(Sub[3].HasSubMenu);
}

TEST_F(Menus, PopupFiresOnPopupBeforeShowing) {
    auto* P = new TPopupMenu(Form);
    auto* Recent = Item("1 banner.qmkf");
    P->Items()->Add(Recent);
    P->OnPopup = [&](TObject*) { Recent->SetCaption("2 other.qmkf"); };
    P->Popup(10, 10);
    CloseNativeMenus();
    EXPECT_EQ(Recent->Caption(), "2 other.qmkf");
    EXPECT_EQ(Recent->GetParentMenu(), P);
}

// A command chosen in an open drop-down may run a modal window, rebuild the
// menu or close its form: the drop-down is still handling the click then.
TEST_F(Menus, ACommandChosenWithTheMouseMayRunAModalWindowAndRebuildTheMenu) {
    auto* Dialog = new TForm(Application);
    Dialog->OnShow = [Dialog](TObject*) { Dialog->SetModalResult(mrOk); };
    int Modal = 0;
    New->OnClick = [&](TObject*) {
        Modal += Dialog->ShowModal() == mrOk;
        File->Remove(New); // a rebuilt menu: the chosen item is gone
    };
    for (bool OwnerDraw : {false, true}) {
        Menu->SetOwnerDraw(OwnerDraw);
        if (New->Parent() == nullptr) File->Insert(0, New);
        PopupMenuItems(File, 10, 10);
        ASSERT_TRUE(ClickOpenMenuEntry(0)) << OwnerDraw;
        EXPECT_EQ(Modal, OwnerDraw ? 2 : 1);
        EXPECT_EQ(New->Parent(), nullptr);
        EXPECT_FALSE(ClickOpenMenuEntry(0)); // the drop-down closed
        for (int I = 0; I < 5; ++I)
            Application->ProcessMessages();
    }
}

// A drop-down of a menu bar made of tool buttons: Left and Right close it
// and hand over to the bar, which opens the neighbour's menu.
TEST_F(Menus, ArrowsStepFromADropDownToItsNeighbour) {
    std::vector<bool> Steps;
    PopupMenuItems(File, 10, 10, paLeft, [&](bool Next) { Steps.push_back(Next); });
    ASSERT_TRUE(PressOpenMenuArrow(true));
    for (int I = 0; I < 3; ++I)
        Application->ProcessMessages();
    EXPECT_EQ(Steps, std::vector<bool>{true});
    EXPECT_FALSE(ClickOpenMenuEntry(0)); // the drop-down closed
    PopupMenuItems(File, 10, 10, paLeft, [&](bool Next) { Steps.push_back(Next); });
    ASSERT_TRUE(PressOpenMenuArrow(false));
    for (int I = 0; I < 3; ++I)
        Application->ProcessMessages();
    EXPECT_EQ(Steps, (std::vector<bool>{true, false}));
}

TEST_F(Menus, ChangesOwnershipAndDefaults) {
    std::vector<std::pair<TMenuItem*, bool>> Changes;
    Menu->OnChange = [&](TObject*, TMenuItem* Source, bool Rebuild) {
        Changes.emplace_back(Source, Rebuild);
    };
    Save->SetChecked(true);
    Save->SetCaption("&Enregistrer");
    ASSERT_EQ(Changes.size(), 2u);
    EXPECT_EQ(Changes[0], std::make_pair(Save, false)); // a state change needs no rebuild
    EXPECT_EQ(Changes[1], std::make_pair(Save, true));

    New->SetDefault(true);
    Save->SetDefault(true); // one default per drop-down
    EXPECT_FALSE(New->Default());

    File->Remove(Save); // handed back, still alive
    EXPECT_EQ(Save->Parent(), nullptr);
    EXPECT_EQ(Save->GetParentMenu(), nullptr);
    auto* P = new TPopupMenu(Form);
    P->Items()->Add(Save);
    EXPECT_EQ(Save->GetParentMenu(), P);

    // A menu frees its items (and its items leave their owner's list).
    const int Before = Form->ComponentCount();
    delete Menu;
    EXPECT_EQ(Form->ComponentCount(), Before - 4); // menu, File, New, separator
    EXPECT_EQ(Save->GetParentMenu(), P);
}

} // namespace
