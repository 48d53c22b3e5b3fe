#include "platform/forms/Application.h"
#include "platform/forms/PublishedProperties.h"

#include "platform/base/FileNames.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/QtBridge.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/QtSupport.h"
#include "platform/system/Thread.h"

#include <csignal>
#include <filesystem>
#include <system_error>
#include <vector>

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

void InitForms() {
    if (Application != nullptr) return;
    // A write past the user's file-size limit would end the program, and the
    // open banner with it; ignored, the write fails as on a full disk and the
    // save reports it.
    std::signal(SIGXFSZ, SIG_IGN);
    if (MainThreadID() == 0) InitThreads();
    RegisterFormsProperties();
    EnsureGuiApplication();
    Screen = new TScreen(nullptr);
    Application = new TApplication(nullptr);
    SetMessageQueueWakeHook([] { BridgeWake(); });
    // The toolkit's own modal loops (message boxes, file dialogs) never pass
    // through our message loop: the wake-up serves the workers' calls itself,
    // so that an animation playing behind such a dialog goes on painting
    // instead of standing blank until the dialog closes.
    SetWakeMainThread([] {
        BridgeWake([] {
            if (Application == nullptr || GetCurrentThreadId() != MainThreadID()) return;
            try {
                CheckSynchronize(0);
            } catch (...) {
                Application->HandleException(Application);
            }
        });
    });
    BridgeInstallApplicationHooks();
}

void DoneForms() {
    SetWakeMainThread(nullptr);
    SetMessageQueueWakeHook(nullptr);
    delete Application;
    Application = nullptr;
    delete Screen;
    Screen = nullptr;
    // Nothing posted for this application may reach the next one.
    TMsg M;
    while (PeekMessage(M, nullptr, 0, 0, PM_REMOVE) && M.message != WM_TIMER) {
    }
}

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() {
    Destroying();
    DestroyComponents();
    if (FHandle != nullptr) DeallocateHWnd(FHandle);
}

std::string TApplication::ExeName() const {
    std::error_code Ec;
    const auto P = std::filesystem::read_symlink("/proc/self/exe", Ec);
    return Ec ? std::string() : P.string();
}

std::string TApplication::Title() const {
    if (!FTitle.empty()) return FTitle;
    return std::filesystem::path(ExeName()).stem().string();
}

HWND TApplication::Handle() {
    if (FHandle == nullptr) FHandle = AllocateHWnd([this](TMessage& M) { WndProc(M); });
    return FHandle;
}

void TApplication::WndProc(TMessage& Message) {
    if (Message.Msg == WM_ACTIVATEAPP) {
        const bool Value = Message.WParam != 0;
        if (Value == FActive) return;
        FActive = Value;
        if (Value && OnActivate) OnActivate(this);
        if (!Value && OnDeactivate) OnDeactivate(this);
        // Every top-level window hears of it, as the system tells them all.
        for (HWND Wnd : TopLevelWindows())
            SendMessage(Wnd, WM_ACTIVATEAPP, Message.WParam, 0);
    }
}

void TApplication::SetApplicationActive(bool Value) {
    SendMessage(Handle(), WM_ACTIVATEAPP, Value ? 1 : 0, 0);
}

void TApplication::FormDestroyed(TCustomForm* Form) {
    if (FMainForm == Form) FMainForm = nullptr;
}

bool TApplication::ServeSynchronize(int TimeoutMs) {
    if (GetCurrentThreadId() != MainThreadID()) return false;
    return CheckSynchronize(TimeoutMs);
}

bool TApplication::ProcessMessage(TMsg& Msg) {
    if (!PeekMessage(Msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (Msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    bool Handled = false;
    if (OnMessage) OnMessage(Msg, Handled);
    if (!Handled) DispatchMessage(Msg);
    return true;
}

void TApplication::ProcessMessages() {
    BridgeProcessEvents();
    ServeSynchronize(0);
    TMsg Msg;
    while (ProcessMessage(Msg)) {
    }
}

void TApplication::HandleMessage() {
    BridgeProcessEvents();
    TMsg Msg;
    if (!ProcessMessage(Msg)) Idle();
}

void TApplication::Idle() {
    bool Done = true;
    if (OnIdle) OnIdle(this, Done);
    if (ServeSynchronize(0)) Done = false;
    if (!Done || FTerminated) return;
    if (QueuedMessageCount() > 0) return;
    const int Due = NextTimerDue();
    if (Due == 0) return;
    BridgeWait(Due);
}

void TApplication::Run() {
    if (FMainForm == nullptr) return;
    if (FShowMainForm) FMainForm->Show();
    while (!FTerminated) {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    }
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

bool TApplication::QueryEndSession() {
    FEndSessionAgreed = false;
    // The main form first, since it holds the user's work, then the windows
    // on the screen; hidden dialogs hold nothing to lose.
    std::vector<TCustomForm*> Forms;
    if (FMainForm != nullptr) Forms.push_back(FMainForm);
    for (int I = 0; Screen != nullptr && I < Screen->FormCount(); ++I)
        if (Screen->Forms(I) != FMainForm && Screen->Forms(I)->Visible())
            Forms.push_back(Screen->Forms(I));
    for (TCustomForm* Form : Forms)
        if (Form->Perform(WM_QUERYENDSESSION, 0, 0) == 0) return false;
    FEndSessionAgreed = true;
    return true;
}

bool TApplication::EndSession() {
    const bool Agreed = FEndSessionAgreed || QueryEndSession();
    FEndSessionAgreed = false;
    if (Agreed) Terminate();
    return Agreed;
}

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr P = std::current_exception();
    if (!P) return;
    try {
        std::rethrow_exception(P);
    } catch (const EAbort&) {
    } catch (const Exception& E) {
        if (OnException)
            OnException(Sender, E);
        else
            ShowException(E);
    } catch (const std::exception& E) {
        Exception Wrapped(E.what());
        if (OnException)
            OnException(Sender, Wrapped);
        else
            ShowException(Wrapped);
    } catch (...) {
        Exception Wrapped("Unknown exception");
        if (OnException)
            OnException(Sender, Wrapped);
        else
            ShowException(Wrapped);
    }
}

void TApplication::ShowException(const Exception& E) {
    std::string Msg = E.Message();
    if (!Msg.empty() && static_cast<unsigned char>(Msg.back()) > '.') Msg += '.';
    MessageBox(Msg, Title(), MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, int Flags) {
    return DialogService()->MessageBox(Text, Caption.empty() ? Title() : Caption, Flags);
}

void TApplication::SetHint(const std::string& Value) {
    if (Value == FHint) return;
    FHint = Value;
    if (OnHint) OnHint(this);
}

void TApplication::BringToFront() {
    if (FMainForm != nullptr) FMainForm->BringToFront();
}

void TApplication::Minimize() {
    if (FMainForm != nullptr) FMainForm->SetWindowState(wsMinimized);
    if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
    if (FMainForm != nullptr) FMainForm->SetWindowState(wsNormal);
    if (OnRestore) OnRestore(this);
}
