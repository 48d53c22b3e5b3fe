#pragma once
// TApplication: the program's message loop, its main form and its
// exception display. One instance (Application) and one TScreen (Screen)
// exist between InitForms() and DoneForms(); the first windowed control
// calls InitForms() itself.
//
// The loop serves three sources on the main thread: the toolkit's events
// (turned into window messages by the native bridge), the queue of posted
// messages and timers (Messages.h), and the calls that worker threads hand
// over with TThread::Synchronize/Queue.
#include <string>

#include "platform/base/Exception.h"
#include "platform/classes/Component.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Messages.h"
#include "platform/graphics/Colors.h"

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;

class TApplication : public TComponent {
public:
    QM_CLASSNAME(TApplication)
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // The executable's base name until set.
    std::string Title() const;
    void SetTitle(const std::string& Value) { FTitle = Value; }
    TCustomForm* MainForm() const { return FMainForm; }
    bool ShowMainForm() const { return FShowMainForm; }
    void SetShowMainForm(bool Value) { FShowMainForm = Value; }
    bool Terminated() const { return FTerminated; }
    bool Active() const { return FActive; }
    // The hidden window of the application (WM_ACTIVATEAPP, ...).
    HWND Handle();
    // The full path of the running executable.
    std::string ExeName() const;

    void Initialize() {}
    // Makes a form owned by the application: constructs it, stores it in
    // Reference, fires its OnCreate; the first one becomes the main form.
    template <class T> void CreateForm(T*& Reference) {
        T* Form = new T(this);
        Reference = Form;
        Form->AfterConstruction();
        if (FMainForm == nullptr) FMainForm = Form;
    }
    // Shows the main form (when ShowMainForm) and runs the loop until
    // Terminate; returns at once without a main form.
    void Run();
    // Handles every pending event, message and synchronised call, then
    // returns.
    void ProcessMessages();
    // Handles one message, or idles (OnIdle, then a wait for the next
    // event, message, timer or synchronised call).
    void HandleMessage();
    // Ends the loop (a WM_QUIT is posted; Terminated turns true when the
    // loop takes it).
    void Terminate();

    // The desktop session is about to end, while it can still be cancelled:
    // every form is asked (WM_QUERYENDSESSION, which a form answers with its
    // CloseQuery, so a window with unsaved work asks about it), a modal
    // dialog on the screen or not. False when one refuses: the session then
    // does not end.
    bool QueryEndSession();
    // The session ends. When the forms agreed to the last query the loop
    // ends without asking again; otherwise they are asked now, and the loop
    // ends only when they agree. True when the loop is ending.
    bool EndSession();
    // The user went on working after the forms agreed (the desktop does not
    // tell when another program called the session's end off): the next
    // end asks again.
    void ForgetEndSessionQuery() { FEndSessionAgreed = false; }

    // Handles the exception being caught: EAbort is silent; OnException
    // gets the others when set, else ShowException. Call from a catch
    // block.
    void HandleException(TObject* Sender);
    // The exception's message (a period added when its last character sorts
    // after "."), in a message box with the error icon titled with Title.
    void ShowException(const Exception& E);
    // A message box through the dialog service; an empty caption gives the
    // title. Returns IDOK, IDCANCEL, ...
    int MessageBox(const std::string& Text, const std::string& Caption, int Flags);

    const std::string& Hint() const { return FHint; }
    // Fires OnHint when the text changes.
    void SetHint(const std::string& Value);
    TColor HintColor() const { return FHintColor; }
    void SetHintColor(TColor Value) { FHintColor = Value; }
    int HintPause() const { return FHintPause; }
    void SetHintPause(int Value) { FHintPause = Value; }
    int HintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(int Value) { FHintHidePause = Value; }
    int HintShortPause() const { return FHintShortPause; }
    void SetHintShortPause(int Value) { FHintShortPause = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }
    void CancelHint() {}

    // Modal windows open in the program: forms shown modal and the system's
    // own dialogs (messages, files, colours) count alike, nested ones once
    // each.
    int ModalLevel() const { return FModalLevel; }
    void ModalStarted() { ++FModalLevel; }
    void ModalFinished() {
        if (FModalLevel > 0) --FModalLevel;
    }

    void BringToFront();
    void Minimize();
    void Restore();

    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    TMessageEvent OnMessage;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnHint;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;

    // Internal: called by a form being destroyed, and by the native bridge
    // when the program becomes active or inactive.
    void FormDestroyed(TCustomForm* Form);
    void SetApplicationActive(bool Value);

private:
    bool ProcessMessage(TMsg& Msg);
    void Idle();
    void WndProc(TMessage& Message);
    bool ServeSynchronize(int TimeoutMs);

    std::string FTitle;
    TCustomForm* FMainForm = nullptr;
    bool FShowMainForm = true;
    bool FTerminated = false;
    bool FEndSessionAgreed = false;
    bool FActive = true;
    int FModalLevel = 0;
    HWND FHandle = nullptr;
    std::string FHint;
    TColor FHintColor = clInfoBk;
    int FHintPause = 500;
    int FHintHidePause = 2500;
    int FHintShortPause = 50;
    bool FShowHint = true;
};

class TScreen;
extern TApplication* Application;
extern TScreen* Screen;

// Counts a modal window (Application->ModalLevel) for its own lifetime.
class TModalScope {
public:
    TModalScope() {
        if (Application != nullptr) Application->ModalStarted();
    }
    ~TModalScope() {
        if (Application != nullptr) Application->ModalFinished();
    }
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;
};

// Creates Application and Screen (once), makes the calling thread the main
// thread and connects the loop to the thread call queue.
void InitForms();
// Frees Application (and with it the forms it owns) and Screen.
void DoneForms();
