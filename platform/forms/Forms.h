#pragma once
// Forms: the program's top-level windows.
//
// A form is hidden when made. Show makes it visible (OnShow fires before
// its window appears, OnHide before it disappears); ShowModal shows it and
// runs the application's message loop until ModalResult is set, then asks
// the form whether it may close (CloseQuery, then OnClose with the
// TCloseAction caHide) and hides it; Close does the same for a modeless form
// and ends the application when the form is the main form. Release frees
// the form after the message being handled (posted CM_RELEASE).
//
// OnCreate fires from AfterConstruction (TApplication::CreateForm and
// TCustomForm::Create call it), so a derived form builds its controls and
// binds its events in its constructor first. OnDestroy fires once, from
// BeforeDestruction (an owner calls it) or else from ~TCustomForm; a derived
// form whose handler needs the derived members calls BeforeDestruction()
// at the start of its own destructor.
#include "platform/forms/Controls.h"

#include <utility>

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TFlagSet<TFormStateFlag>;
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TFlagSet<TBorderIcon>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
public:
    QM_CLASSNAME(TCustomForm)
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // new T(args...) followed by AfterConstruction.
    template <class T, class... Args> static T* Create(Args&&... args) {
        T* Form = new T(std::forward<Args>(args)...);
        Form->AfterConstruction();
        return Form;
    }
    // Fires OnCreate (once).
    void AfterConstruction();
    void BeforeDestruction() override;

    void Show();
    void Hide() { SetVisible(false); }
    // Raises EInvalidOperation "Cannot make a visible window modal" for a
    // visible, disabled or already modal form.
    TModalResult ShowModal();
    void Close();
    virtual bool CloseQuery();
    void Release();

    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value);
    TFormState FormState() const { return FFormState; }

    TCanvas* Canvas() { return ControlCanvas(); }

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value);
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }
    // The control that has (or gets, when the form is active) the focus.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);
    // Records the focused control without moving the focus.
    void SetFocusedControl(TWinControl* Control);
    // The main menu of the form (a menu component; the menus area gives it
    // its type).
    TComponent* Menu() const { return FMenu; }
    void SetMenu(TComponent* Value) { FMenu = Value; }
    bool Active() const { return FActive; }
    // Makes the form the active one (OnDeactivate of the previous one, then
    // OnActivate) or inactive.
    void SetActive(bool Value);

    void Dispatch(TMessage& Message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void CreateParams(TCreateParams& Params) override;
    void PaintWindow() override { Paint(); }
    virtual void Paint();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void Activate();
    virtual void Deactivate();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void CloseModal();
    void ApplyPosition();
    void RecreateWindow();

    TModalResult FModalResult = mrNone;
    TFormState FFormState;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TPosition FPosition = poDesigned;
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    bool FKeyPreview = false;
    TWinControl* FActiveControl = nullptr;
    TComponent* FMenu = nullptr;
    bool FActive = false;
    bool FCreated = false;
    bool FDestroyFired = false;
};

class TForm : public TCustomForm {
public:
    QM_CLASSNAME(TForm)
    using TCustomForm::TCustomForm;
};
