#include "editor/Program.h"

#include <memory>

#include "editor/UAbout.h"
#include "editor/UClipArt.h"
#include "editor/UExamples.h"
#include "editor/ULoadImage.h"
#include "editor/UMain.h"
#include "editor/UNewBanner.h"
#include "editor/UResize.h"
#include "editor/USplash.h"
#include "platform/forms/Application.h"
#include "platform/forms/Timer.h"

void starting(bool Flag) {
    if (StartingObserver != nullptr) StartingObserver(Flag);
}

Tresizeform* resizeform = nullptr;
TAboutBox* AboutBox = nullptr;
TLoadform* Loadform = nullptr;
Tbbform* bbform = nullptr;
TExamplesform* Examplesform = nullptr;
TNewForm* NewForm = nullptr;

namespace {

// The main window reaches the dialogs through its hooks, so that it can be
// built and tested without them.
void ConnectDialogs(TMainform& Main) {
    Main.OnAskNewBanner = [&Main](TNewBannerOptions& Options) {
        NewForm->PrepareMainWindow = [&Main] { Main.FocusBackgroundKind(); };
        if (NewForm->ShowModal() != mrOk) return false;
        Options = NewForm->Options();
        return true;
    };
    Main.OnResizeBanner = [&Main] {
        resizeform->RedrawBanner = [&Main](bool Keep) { Main.RedrawBanner(Keep); };
        resizeform->Execute(Main.Doc);
        Main.CenterCanvas();
        Main.UpdateStatusBar();
    };
    Main.OnNewFromExample = [&Main] {
        if (Examplesform->Execute(Main.Doc, Main.Commands) != mrOk) return;
        Main.ShowDesignPage();
        Main.RedrawBanner(true);
    };
    Main.OnAbout = [] { AboutBox->ShowModal(); };
}

} // namespace

int ProgramMain(const TProgramOptions& Options) {
    InitForms();
    Application->Initialize();

    auto Splash = std::unique_ptr<TSplashForm>(TCustomForm::Create<TSplashForm>(nullptr));
    Splash->Show();
    Splash->Update();

    Application->SetTitle(ApplicationTitle);
    Application->CreateForm(Mainform);
    starting(TMainform::IsFirstRun());

    Splash->Update();
    Splash->Update();
    Mainform->Show();
    Mainform->Update();
    Splash->Update();

    // TODO: Texform (template dialog) and Preview (hidden animation window)
    // take their places in this order once they exist; the main window keeps
    // the animation itself meanwhile.
    Application->CreateForm(resizeform);
    Application->CreateForm(AboutBox);
    Application->CreateForm(Loadform);
    Application->CreateForm(bbform);
    Application->CreateForm(Examplesform);
    Application->CreateForm(NewForm);
    ConnectDialogs(*Mainform);
    Splash.reset();

    Mainform->HeadPanel->SetVisible(true);
    if (Options.Args.empty()) {
        Mainform->SampleTimer->SetEnabled(true);
    } else {
        Mainform->CommandLineFile = Options.Args.front();
        Mainform->OpenCmd(Mainform);
    }

    // Owned by the application, so freed with it.
    TTimer* Quit = nullptr;
    if (Options.OnRunning || Options.QuitAfterMs > 0) {
        Quit = new TTimer(Application);
        Quit->SetInterval(unsigned(Options.QuitAfterMs > 0 ? Options.QuitAfterMs : 1));
        Quit->OnTimer = [&Options, Quit](TObject*) {
            Quit->SetEnabled(false);
            if (Options.OnRunning) Options.OnRunning(*Mainform);
            Mainform->Close();
        };
        Quit->SetEnabled(true);
    }

    Application->Run();
    DoneForms();
    // The application freed the windows.
    Mainform = nullptr;
    resizeform = nullptr;
    AboutBox = nullptr;
    Loadform = nullptr;
    bbform = nullptr;
    Examplesform = nullptr;
    NewForm = nullptr;
    return 0;
}
