#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/BuiltinPictures.h"
#include "editor/UAbout.h"
#include "editor/USplash.h"
#include "platform/forms/Application.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Graphic.h"
#include "support/FormsTest.h"

namespace {

class AboutSplash : public TFormsTest {};

TEST_F(AboutSplash, AboutBoxTextsAndLinks) {
    TAboutBox* About = nullptr;
    Application->CreateForm(About);
    EXPECT_EQ(About->Caption(), "À propos de Quillomark Free");
    EXPECT_EQ(About->Version->Caption(), "Version 5.0.3");
    EXPECT_EQ(About->SiteCaption->Caption(), "Site web :");
    EXPECT_EQ(About->MailCaption->Caption(), "Email :");
    EXPECT_EQ(About->OKButton->Caption(), "&Fermer");

    TRecordingShellService Shell;
    TShellServiceScope ShellScope(&Shell);
    About->SiteLabel->Click();
    About->MailLabel->Click();
    EXPECT_EQ(Shell.Opened,
              (std::vector<std::string>{QuillomarkSiteUrl,
                                        std::string("mailto:") + QuillomarkMailAddress}));

    Application->OnIdle = [About](TObject*, bool&) {
        TButton* B = About->OKButton; // clearing OnIdle destroys this closure
        Application->OnIdle = nullptr;
        B->Click();
    };
    EXPECT_EQ(About->ShowModal(), mrOk);
}

TEST_F(AboutSplash, SplashShowsItsPictureAndEdition) {
    TSplashForm* Splash = nullptr;
    Application->CreateForm(Splash);
    EXPECT_EQ(Splash->Label1->Caption(), "Edition Gratuite");
    const TGraphic* G = Splash->Image1->Picture()->Graphic();
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->Width(), SplashWidth);
    EXPECT_EQ(G->Height(), SplashHeight);
}

} // namespace
