#include "editor/Program.h"

#include <memory>

#include "editor/ProgramModules.h"
#include "editor/UAbout.h"
#include "editor/UClipArt.h"
#include "editor/UExamples.h"
#include "editor/ULoadImage.h"
#include "editor/UMain.h"
#include "editor/UNewBanner.h"
#include "editor/UPreview.h"
#include "editor/UResize.h"
#include "editor/UTexform.h"
#include "editor/USplash.h"
#include "platform/forms/Application.h"
#include "platform/forms/Timer.h"

void starting(bool Flag) {
    if (StartingObserver != nullptr) StartingObserver(Flag);
}

Tresizeform* resizeform = nullptr;
TTexform* Texform = nullptr;
TPreview* Preview = nullptr;
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
        Main.FormatHintAnchor = NewForm->formatcombo;
        Main.ArmFormatHint();
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
        Examplesform->OnHideBalloon = [&Main] { Main.HideBalloon(); };
        Examplesform->OnFocusBackgroundKind = [&Main] { Main.FocusBackgroundKind(); };
        if (Examplesform->Execute(Main.Doc, Main.Commands) != mrOk) return;
        Main.ShowDesignPage();
        Main.RedrawBanner(true);
        Main.StartEditingHints();
    };
    Main.OnAbout = [] { AboutBox->ShowModal(); };
    Main.Preview = Preview;
    // The document loads its templates through the template window's model,
    // so the window always shows the open banner's template.
    Main.Doc.TemplateLoader = MakeTemplateLoader(Texform->Model);
    Texform->OnFocusBackgroundKind = [&Main] { Main.FocusBackgroundKind(); };
    Main.OnEditTemplate = [&Main] { return Texform->Edit(Main.Doc); };
    Main.OnLoadImage = [&Main](int Slot, TBitmap32& Picture) {
        Loadform->OnSlotPicture = [&Main](int S) -> const TBitmap32* {
            return Main.Doc.ImagePicture(S);
        };
        const TBitmap32* Chosen = Loadform->PickImage(&Picture, Slot);
        if (Chosen == &Picture) return false;
        Picture.Assign(Chosen);
        return true;
    };
    Main.OnClipArt = [](TBitmap32& Picture) { return bbform->PickClipArt(Picture); };
    // Like the other dialogs, these small windows hand the main window's
    // focus to its background kind as they show, so that closing them does
    // not leave it on the button that opened them.
    for (TForm* Small : std::initializer_list<TForm*>{Loadform, bbform, AboutBox})
        Small->OnShow = [&Main](TObject*) { Main.FocusBackgroundKind(); };
}

} // namespace

int ProgramMain(const TProgramOptions& Options) {
    InitForms();
    StartProgramModules();
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

    Application->CreateForm(resizeform);
    Application->CreateForm(Texform);
    Application->CreateForm(AboutBox);
    Application->CreateForm(Loadform);
    Application->CreateForm(Preview);
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
        // The message loop does not run yet: a file that cannot be read is
        // reported as the loop would report it, and the start page stays.
        try {
            Mainform->OpenCmd(Mainform);
        } catch (...) {
            Application->HandleException(Mainform);
        }
    }

    // Owned by the application, so freed with it.
    TTimer* Quit = nullptr;
    if (Options.OnRunning || Options.QuitAfterMs > 0) {
        Quit = new TTimer(Application);
        Quit->SetInterval(unsigned(Options.QuitAfterMs > 0 ? Options.QuitAfterMs : 1));
        Quit->OnTimer = [&Options, Quit](TObject*) {
            Quit->SetEnabled(false);
            if (Options.OnRunning) Options.OnRunning(*Mainform);
            // A program the steps already ended (the session ended under
            // them) has nothing left to close.
            if (!Application->Terminated()) Mainform->Close();
        };
        Quit->SetEnabled(true);
    }

    Application->Run();
    // The windows go before the modules they use; the application object
    // and the screen go last.
    Application->DestroyComponents();
    StopProgramModules();
    DoneForms();
    // The application freed the windows.
    Mainform = nullptr;
    resizeform = nullptr;
    Texform = nullptr;
    Preview = nullptr;
    AboutBox = nullptr;
    Loadform = nullptr;
    bbform = nullptr;
    Examplesform = nullptr;
    NewForm = nullptr;
    return 0;
}
