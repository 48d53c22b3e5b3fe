#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/QtBridge.h"
#include "platform/forms/Timer.h"
#include "platform/system/Clock.h"
#include "platform/system/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class App : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Application->SetTitle("Quillomark Free");
        SetDialogService(&Dialogs);
    }
    void TearDown() override {
        SetDialogService(nullptr);
        SetClockSourceForTesting(nullptr);
        DoneForms();
    }
    TScriptedDialogService Dialogs;
};

TEST_F(App, UnhandledExceptionIsShownInABoxTitledWithTheTitle) {
    try {
        throw EInvalidGraphic("Bitmap image is not valid");
    } catch (...) {
        Application->HandleException(Application);
    }
    try {
        throw Exception("Done!");
    } catch (...) {
        Application->HandleException(Application);
    }
    try {
        Abort();
    } catch (...) {
        Application->HandleException(Application); // silent
    }
    ASSERT_EQ(Dialogs.Calls.size(), 2u);
    EXPECT_EQ(Dialogs.Calls[0].Kind, "MessageBox");
    EXPECT_EQ(Dialogs.Calls[0].Text, "Bitmap image is not valid.");
    EXPECT_EQ(Dialogs.Calls[0].Caption, "Quillomark Free");
    EXPECT_EQ(Dialogs.Calls[0].Flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(Dialogs.Calls[1].Text, "Done!"); // no period after "!"

    std::string Seen;
    Application->OnException = [&](TObject*, const Exception& E) { Seen = E.Message(); };
    try {
        throw std::runtime_error("plain");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    EXPECT_EQ(Seen, "plain");
    EXPECT_EQ(Dialogs.Calls.size(), 2u);
}

TEST_F(App, MessageDialogsGoThroughTheService) {
    Dialogs.Answers = {mrNo, IDRETRY};
    EXPECT_EQ(MessageDlg("Enregistrer ?", mtConfirmation, mbYesNoCancel, 0), mrNo);
    EXPECT_EQ(Application->MessageBox("Encore ?", "", MB_RETRYCANCEL), IDRETRY);
    ShowMessage("Bonjour");
    ASSERT_EQ(Dialogs.Calls.size(), 3u);
    EXPECT_EQ(Dialogs.Calls[0].Caption, "Confirmation");
    EXPECT_EQ(Dialogs.Calls[0].Buttons, mbYesNoCancel);
    EXPECT_EQ(Dialogs.Calls[1].Caption, "Quillomark Free");
    EXPECT_EQ(Dialogs.Calls[2].Caption, "Quillomark Free");
    EXPECT_EQ(Dialogs.Calls[2].Buttons, TMsgDlgButtons{mbOK});
    // A question nobody scripted is a test failure, not a silent answer.
    EXPECT_THROW(MessageDlg("?", mtWarning, mbOKCancel, 0), EInvalidOperation);

    // The user reads what failed and why in French; names stay as they are.
    EXPECT_EQ(UserMessageText("Cannot create file \"/ro/a.qmkf\". Permission denied."),
              "Impossible de créer le fichier \"/ro/a.qmkf\". Permission refusée.");
    EXPECT_EQ(UserMessageText("'x' is not a valid integer value"),
              "'x' n'est pas une valeur entière correcte");
    EXPECT_EQ(UserMessageText("Permission denied here"), "Permission denied here");
    EXPECT_EQ(UserMessageText("Échec.\nCannot create file \"a\". No space left on device"),
              "Échec.\nImpossible de créer le fichier \"a\". Plus de place sur le disque");
}

TEST_F(App, FileDialogAddsTheDefaultExtensionAndReportsTheFilter) {
    TSaveDialog Dialog(nullptr);
    Dialog.Filter = "GIF (*.gif)|*.gif|Tous (*.*)|*.*";
    Dialog.DefaultExt = "gif";
    Dialog.FileName = "banniere";
    Dialog.Title = "Exporter";
    Dialogs.FileAnswers.push_back({true, {"/tmp/out"}, 2});
    Dialogs.FileAnswers.push_back({false, {}, 1});
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(Dialog.FileName, "/tmp/out.gif");
    EXPECT_EQ(Dialog.FilterIndex, 2);
    EXPECT_TRUE(Dialogs.Calls[0].File.Save);
    EXPECT_EQ(Dialogs.Calls[0].File.FileName, "banniere");
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(Dialog.FileName, "/tmp/out.gif");
}

TEST_F(App, TimerFiresByTheClockAndKeepsRunningAfterAnException) {
    std::atomic<std::uint64_t> Now{1000};
    SetClockSourceForTesting([&] { return Now.load(); });
    TTimer Timer(nullptr);
    Timer.SetInterval(100);
    int Fired = 0;
    Timer.OnTimer = [&](TObject*) {
        if (++Fired == 2) throw Exception("tick failed");
    };
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 0);
    Now = 1099;
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 0);
    Now = 1100;
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 1);
    Now = 1450; // several periods late: one WM_TIMER, as the system coalesces them
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 2);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text, "tick failed.");
    Now = 1550;
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 3);
    Timer.SetEnabled(false);
    Now = 5000;
    Application->ProcessMessages();
    EXPECT_EQ(Fired, 3);
    Timer.Tick();
    EXPECT_EQ(Fired, 4);
}

TEST_F(App, ActivationOfTheProgramReachesEveryTopLevelWindow) {
    TForm* Main = nullptr;
    Application->CreateForm(Main);
    Main->Show();
    std::vector<WPARAM> Seen;
    TWndMethod Old = Main->WindowProc;
    Main->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_ACTIVATEAPP) Seen.push_back(M.WParam);
        Old(M);
    };
    int Deactivated = 0;
    Application->OnDeactivate = [&](TObject*) { ++Deactivated; };
    Application->SetApplicationActive(false);
    Application->SetApplicationActive(false); // no change, no news
    Application->SetApplicationActive(true);
    EXPECT_EQ(Deactivated, 1);
    EXPECT_EQ(Seen, (std::vector<WPARAM>{0, 1}));
    Main->WindowProc = Old; // the locals die before the form
    Main->Hide();
}

TEST_F(App, RunServesSynchronizeAndPostedMessagesFromWorkers) {
    TForm* Main = nullptr;
    Application->CreateForm(Main);
    Application->SetShowMainForm(false);
    std::atomic<bool> RanOnMain{false};
    std::atomic<int> Posted{0};
    HWND Target = AllocateHWnd([&](TMessage& M) {
        if (M.Msg == WM_USER) Posted += int(M.WParam);
    });
    std::thread Worker([&] {
        PostMessage(Target, WM_USER, 5);
        TThread::Synchronize(nullptr, [&] {
            RanOnMain = GetCurrentThreadId() == MainThreadID();
            Application->Terminate();
        });
    });
    Application->Run(); // returns once the synchronised call ended the loop
    Worker.join();
    EXPECT_TRUE(RanOnMain);
    EXPECT_TRUE(Application->Terminated());
    Application->ProcessMessages();
    EXPECT_EQ(Posted, 5);
    DeallocateHWnd(Target);
}

TEST_F(App, WorkersAreServedWhileOnlyTheToolkitsOwnModalLoopRuns) {
    // A message box or a file dialog runs the toolkit's loop, never ours; a
    // painter waiting to draw its frame must not wait for the dialog to close.
    std::atomic<bool> Ran{false};
    std::thread Worker([&] { TThread::Synchronize(nullptr, [&] { Ran = true; }); });
    for (int I = 0; I < 300 && !Ran; ++I)
        BridgeWait(10);
    const bool RanInToolkitLoop = Ran;
    while (!Ran)
        CheckSynchronize(10);
    Worker.join();
    EXPECT_TRUE(RanInToolkitLoop);
}

} // namespace
