#include "banner/BannerDocument.h"
#include "editor/UNewBanner.h"
#include "editor/UResize.h"
#include "platform/forms/Application.h"
#include "support/FormsTest.h"

#include <gtest/gtest.h>

namespace {

class NewBanner : public TFormsTest {};

TEST_F(NewBanner, NewFormStartsOnTheFirstRowsWithFixedSizes) {
    TNewForm* F = nullptr;
    Application->CreateForm(F);
    EXPECT_EQ(F->Caption(), "Nouvelle bannière");
    EXPECT_EQ(F->Bnedit->Text(), "sans_nom");
    ASSERT_EQ(F->Models->Count(), 2);
    EXPECT_EQ(F->Models->Items()->Strings(0), "Composition 1:       1 Texte");
    EXPECT_EQ(F->Models->Items()->Strings(1), "Composition 3:       2 Textes ");
    EXPECT_EQ(F->Models->ItemIndex(), 0);
    ASSERT_EQ(F->formatcombo->Items()->Count(), 5);
    EXPECT_EQ(F->formatcombo->Items()->Strings(1), "Demi-bannière (234 x 60)");
    EXPECT_EQ(F->formatcombo->Items()->Strings(4), "Personnalisé");
    EXPECT_EQ(F->formatcombo->ItemIndex(), 0);
    EXPECT_FALSE(F->bannerwidth->Enabled());
    EXPECT_FALSE(F->bannerheight->Enabled());
    EXPECT_EQ(F->bannerwidth->GetIntegerValue(), 468);
    EXPECT_EQ(F->bannerheight->GetIntegerValue(), 60);
    EXPECT_EQ(F->Okbtn->Caption(), "&OK");
    EXPECT_TRUE(F->Okbtn->Default());
    EXPECT_EQ(F->Cancelbtn->Caption(), "&Annuler");
    EXPECT_TRUE(F->Cancelbtn->Cancel());
}

TEST_F(NewBanner, FormatRowsSetTheSizeAndCustomKeepsTheLastOne) {
    TNewForm* F = nullptr;
    Application->CreateForm(F);
    const int Sizes[4][2] = {{468, 60}, {234, 60}, {300, 250}, {728, 90}};
    for (int Row = 3; Row >= 0; --Row) {
        F->formatcombo->UserSelect(Row);
        EXPECT_EQ(F->bannerwidth->GetIntegerValue(), Sizes[Row][0]) << Row;
        EXPECT_EQ(F->bannerheight->GetIntegerValue(), Sizes[Row][1]) << Row;
        EXPECT_FALSE(F->bannerwidth->Enabled());
    }
    F->formatcombo->UserSelect(2);
    F->formatcombo->UserSelect(CustomFormatRow);
    EXPECT_TRUE(F->bannerwidth->Enabled());
    EXPECT_TRUE(F->bannerheight->Enabled());
    EXPECT_EQ(F->bannerwidth->GetIntegerValue(), 300);
    EXPECT_EQ(F->bannerheight->GetIntegerValue(), 250);
    F->bannerwidth->SetText("120");
    F->bannerheight->SetText("0"); // below the minimum side
    F->Bnedit->SetText("promo");
    F->Models->UserSelect(1);

    const TNewBannerOptions O = F->Options();
    EXPECT_EQ(O.Name, "promo");
    EXPECT_EQ(O.ModelIndex, 1);
    EXPECT_EQ(O.FormatIndex, CustomFormatRow);
    EXPECT_EQ(O.Width, 120);
    EXPECT_EQ(O.Height, 1);

    TBannerDocument Doc;
    Doc.NewBanner(O);
    EXPECT_EQ(Doc.Composition, ckTwoTexts);
    EXPECT_EQ(Doc.BannerWidth, 120);
    EXPECT_EQ(Doc.BannerHeight, 1);
    EXPECT_EQ(Doc.FileName, "promo");
}

TEST_F(NewBanner, NewFormModalPaths) {
    TNewForm* F = nullptr;
    Application->CreateForm(F);
    int Prepared = 0;
    F->PrepareMainWindow = [&] { ++Prepared; };
    Application->OnIdle = [&](TObject*, bool&) { F->Models->DblClick(); };
    EXPECT_EQ(F->ShowModal(), mrOk);
    Application->OnIdle = [&](TObject*, bool&) { F->Cancelbtn->Click(); };
    EXPECT_EQ(F->ShowModal(), mrCancel);
    EXPECT_EQ(Prepared, 2);
    // Return in the name field presses OK; Escape presses Annuler; Return on
    // the focused Annuler presses that one.
    auto Key = [&](TWinControl* Target, Word VK) {
        Application->OnIdle = [&, Target, VK](TObject*, bool&) {
            Target->SetFocus();
            SendNativeKey(Target, true, VK, VK == VK_RETURN ? "\r" : "\x1b");
        };
        return F->ShowModal();
    };
    EXPECT_EQ(Key(F->Bnedit, VK_RETURN), mrOk);
    EXPECT_EQ(Key(F->Bnedit, VK_ESCAPE), mrCancel);
    EXPECT_EQ(Key(F->Cancelbtn, VK_RETURN), mrCancel);
}

class ResizeDialog : public NewBanner {
protected:
    void SetUp() override {
        NewBanner::SetUp();
        Application->CreateForm(R);
        R->RedrawBanner = [this](bool Keep) {
            Redraws.push_back({Doc.BannerWidth, Doc.BannerHeight});
            Doc.RedrawDone(Keep);
        };
        Doc.NewBanner(TNewBannerOptions{});
    }
    Tresizeform* R = nullptr;
    TBannerDocument Doc;
    std::vector<std::pair<int, int>> Redraws;
};

TEST_F(ResizeDialog, PreviewFollowsTheFieldsAndCancelRestores) {
    R->Prepare(Doc);
    EXPECT_TRUE(Redraws.empty()); // loading the fields of a hidden dialog previews nothing
    EXPECT_EQ(R->bannerwidth->GetIntegerValue(), 468);
    R->Show();
    R->bannerwidth->SetText("500");
    EXPECT_EQ(Doc.BannerWidth, 500);
    R->bannerheight->SetText("  ");
    EXPECT_EQ(Doc.BannerHeight, 1);
    R->prevcheck->SetChecked(false);
    EXPECT_EQ(Doc.BannerWidth, 468);
    EXPECT_EQ(Doc.BannerHeight, 60);
    R->prevcheck->SetChecked(true);
    EXPECT_EQ(Doc.BannerWidth, 500);
    R->prevcheck->SetEnabled(false);
    R->bannerwidth->SetText("510");
    EXPECT_EQ(Doc.BannerWidth, 500); // a disabled preview keeps what is shown
    R->Hide();
    R->Finish(mrCancel);
    EXPECT_EQ(Doc.BannerWidth, 468);
    EXPECT_EQ(Doc.BannerHeight, 60);
    EXPECT_EQ(Redraws, (std::vector<std::pair<int, int>>{
                           {500, 60}, {500, 1}, {468, 60}, {500, 1}, {468, 60}}));
    // Cancelled, the dialog changed nothing: no save is asked for.
    EXPECT_FALSE(Doc.Modified);
}

TEST_F(ResizeDialog, ExecuteAppliesTheFieldsOnOk) {
    R->prevcheck->SetChecked(false);
    Application->OnIdle = [&](TObject*, bool&) {
        R->bannerwidth->SetText("640");
        R->bannerheight->SetText("48");
        R->Okbtn->Click();
    };
    EXPECT_EQ(R->Execute(Doc), mrOk);
    EXPECT_EQ(Doc.BannerWidth, 640);
    EXPECT_EQ(Doc.BannerHeight, 48);
    ASSERT_FALSE(Redraws.empty());
    EXPECT_EQ(Redraws.back(), (std::pair<int, int>{640, 48}));
    EXPECT_EQ(R->OrigWidth, 468);
    EXPECT_EQ(R->OrigHeight, 60);

    Application->OnIdle = [&](TObject*, bool&) {
        R->bannerwidth->SetText("90");
        R->Cancelbtn->Click();
    };
    EXPECT_EQ(R->Execute(Doc), mrCancel);
    EXPECT_EQ(Doc.BannerWidth, 640);
}

} // namespace
