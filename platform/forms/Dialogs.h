#pragma once
// Message boxes, message dialogs and the common dialogs.
//
// Every dialog goes through the installed TDialogService: the default one
// shows Qt dialogs; tests install a TScriptedDialogService, which records
// each call and answers from queues, so commands run without a display and
// without blocking.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/Component.h"
#include "platform/forms/Controls.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/Font.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
using TMsgDlgButtons = TFlagSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline const TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

// Message box flags and results (the system's values).
constexpr int MB_OK = 0x0;
constexpr int MB_OKCANCEL = 0x1;
constexpr int MB_ABORTRETRYIGNORE = 0x2;
constexpr int MB_YESNOCANCEL = 0x3;
constexpr int MB_YESNO = 0x4;
constexpr int MB_RETRYCANCEL = 0x5;
constexpr int MB_ICONHAND = 0x10;
constexpr int MB_ICONSTOP = MB_ICONHAND;
constexpr int MB_ICONERROR = MB_ICONHAND;
constexpr int MB_ICONQUESTION = 0x20;
constexpr int MB_ICONEXCLAMATION = 0x30;
constexpr int MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr int MB_ICONASTERISK = 0x40;
constexpr int MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr int MB_DEFBUTTON2 = 0x100;
constexpr int MB_SETFOREGROUND = 0x10000;
constexpr int MB_TOPMOST = 0x40000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
    ofDontAddToRecent,
    ofForceShowHidden
};
using TOpenOptions = TFlagSet<TOpenOption>;

// What a file dialog is asked. Filter is "Description|*.a;*.b|...";
// FilterIndex counts from 1.
struct TFileDialogRequest {
    bool Save = false;
    std::string Title;
    std::string Filter;
    int FilterIndex = 1;
    std::string FileName;
    std::string InitialDir;
    std::string DefaultExt;
    TOpenOptions Options;
};

struct TFileDialogAnswer {
    bool Accepted = false;
    std::vector<std::string> Files; // the chosen files (one unless multi-select)
    int FilterIndex = 1;
};

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // Returns the modal result of the pressed button (mrYes, mrCancel...).
    virtual int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           int HelpCtx) = 0;
    // Returns IDOK, IDCANCEL, ...
    virtual int MessageBox(const std::string& Text, const std::string& Caption, int Flags) = 0;
    virtual TFileDialogAnswer FileDialog(const TFileDialogRequest& Request) = 0;
    // Color in, chosen colour out; false when cancelled.
    virtual bool ColorDialog(TColor& Color) = 0;
    virtual bool FontDialog(TFont& Font) = 0;
};

// The installed service (the Qt one unless another was installed).
TDialogService* DialogService();
// Installs a service the caller keeps alive; null puts the Qt one back.
void SetDialogService(TDialogService* Service);

// A modal message dialog; its caption is the type's name ("Avertissement",
// "Erreur", "Information", "Confirmation") or, for mtCustom, the
// application's title.
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
// A message with an OK button, captioned with the application's title.
void ShowMessage(const std::string& Msg);
// The caption MessageDlg gives a dialog of that type.
std::string MessageDlgCaption(TMsgDlgType DlgType);
// The text a user reads for a message: the platform's own English messages
// (memory, pictures, files, streams, conversions) in French; any other text
// as it stands.
std::string UserMessageText(const std::string& Msg);

// Records every call and answers from queues. An empty queue answers a
// dialog that offers only OK (or a MB_OK box) with OK; any other call
// without an answer raises EInvalidOperation, so that a test notices an
// unexpected dialog.
class TScriptedDialogService : public TDialogService {
public:
    struct TCall {
        std::string Kind; // "MessageDlg", "MessageBox", "FileDialog", "ColorDialog", "FontDialog"
        std::string Text;
        std::string Caption;
        int Flags = 0;
        TMsgDlgType DlgType = mtCustom;
        TMsgDlgButtons Buttons;
        TFileDialogRequest File;
    };

    std::vector<TCall> Calls;
    std::deque<int> Answers;                   // MessageDlg and MessageBox results
    std::deque<TFileDialogAnswer> FileAnswers; // file dialogs
    std::deque<TColor> ColorAnswers;           // clNone cancels
    std::deque<std::string> FontAnswers;       // a font name; empty cancels
    // Runs with each call while its dialog counts as open, as the program
    // goes on (timers, ...) under a real one.
    std::function<void(const TCall&)> WhileOpen;

    int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                   int HelpCtx) override;
    int MessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
    TFileDialogAnswer FileDialog(const TFileDialogRequest& Request) override;
    bool ColorDialog(TColor& Color) override;
    bool FontDialog(TFont& Font) override;

private:
    void Record(const TCall& C);
};

// Installs a service for the life of a scope and puts the previous one back.
class TDialogServiceScope {
public:
    explicit TDialogServiceScope(TDialogService* Service);
    ~TDialogServiceScope();
    TDialogServiceScope(const TDialogServiceScope&) = delete;
    TDialogServiceScope& operator=(const TDialogServiceScope&) = delete;

private:
    TDialogService* FPrevious;
};

class TOpenDialog : public TComponent {
public:
    QM_CLASSNAME(TOpenDialog)
    explicit TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

    // Shows the dialog; true when a file was chosen (FileName, Files and
    // FilterIndex then hold the choice). When DefaultExt is set, "." +
    // DefaultExt goes on a chosen name without extension and, in a save
    // dialog, on a name whose extension the chosen filter entry does not
    // list ("soldes.2027" becomes "soldes.2027.qmkf"). Without InitialDir
    // and without a folder in FileName the dialog opens in the folder of the
    // file last chosen in a file dialog whose options lack ofNoChangeDir.
    virtual bool Execute();

    std::string Filter;
    int FilterIndex = 1;
    std::string FileName;
    std::vector<std::string> Files;
    std::string InitialDir;
    std::string DefaultExt;
    std::string Title;
    TOpenOptions Options{ofHideReadOnly, ofEnableSizing};

protected:
    virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
    QM_CLASSNAME(TSaveDialog)
    using TOpenDialog::TOpenDialog;

protected:
    bool IsSave() const override { return true; }
};

// Picture dialogs: their filter starts as the picture registry's filter.
class TOpenPictureDialog : public TOpenDialog {
public:
    QM_CLASSNAME(TOpenPictureDialog)
    explicit TOpenPictureDialog(TComponent* AOwner);
};

class TSavePictureDialog : public TSaveDialog {
public:
    QM_CLASSNAME(TSavePictureDialog)
    explicit TSavePictureDialog(TComponent* AOwner);
};

class TColorDialog : public TComponent {
public:
    QM_CLASSNAME(TColorDialog)
    explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
    bool Execute() { return DialogService()->ColorDialog(Color); }
    TColor Color = clBlack;
};

class TFontDialog : public TComponent {
public:
    QM_CLASSNAME(TFontDialog)
    explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
    bool Execute() { return DialogService()->FontDialog(Font); }
    TFont Font;
};
