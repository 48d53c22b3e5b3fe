#pragma once
// Balloon hints: a speech-balloon window that points with a triangular stem
// at a control, with a bold header, an icon, a word-wrapped message and a
// close button, drawn entirely by this program.
//
// TUiBalloonHint (a non-visual component) owns one TUiBalloonWindowEx and
// shows at most one balloon at a time. While a balloon is shown the
// component hooks the anchor form before its own procedure (menus/
// WndProcHooks.h): the balloon follows the form's moves and hides when the
// form closes or shrinks past the stem point. A visible time above 0 hides
// it through a window timer (measured on platform/system/Clock.h).
//
// TGlobalCtrl is the one controller of the process: registration list,
// the icons (the desktop's 16 x 16 pictures) and the sound file names of the
// user's sound scheme. PlaySound hands the file name to the desktop's sound
// player (platform/system/Sound.h); tests put a recorder in its place with
// SetBalloonSoundPlayer (null puts the desktop's back).
//
// Layout follows the classic unthemed metrics. The window casts a drop
// shadow and fades in over the animation time (every style but atNone
// blends, as on the systems whose metrics these are).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "menus/WndProcHooks.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Icon.h"

enum TUiBalloonPosition { bpAuto, bpLeftDown, bpRightDown, bpLeftUp, bpRightUp };
enum TUiIconKind { ikCustom, ikNone, ikApplication, ikError, ikInformation, ikQuestion, ikWarning };
enum TUiAnimationStyle {
    atNone,
    atSlide,
    atRoll,
    atRollHorNeg,
    atRollHorPos,
    atRollVerNeg,
    atRollVerPos,
    atSlideHorNeg,
    atSlideHorPos,
    atSlideVerNeg,
    atSlideVerPos,
    atCenter,
    atBlend
};
enum TUiBalloonOption {
    boUseDefaultHeader,
    boUseDefaultIcon,
    boUseDefaultImageIndex,
    boShowCloseBtn,
    boCustomAnimation,
    boPlaySound
};
using TUiBalloonOptions = TFlagSet<TUiBalloonOption>;
enum TUiApplicationHintOption { ahShowHeaderInHint, ahShowIconInHint, ahPlaySound };
using TUiApplicationHintOptions = TFlagSet<TUiApplicationHintOption>;

// Close-button state bits.
constexpr unsigned UI_CLOSE_FLAT = 0x4000;
constexpr unsigned UI_CLOSE_HOT = 0x1000;
constexpr unsigned UI_CLOSE_PUSHED = 0x200;

// The animation flags of a style (the window-animation call's values).
std::uint32_t BalloonAnimationFlags(TUiAnimationStyle Style);
// Whether a message breaks into several lines: a line break (LF, VT, FF,
// CR, U+2028, U+2029; CR LF counts as one) followed by one more character;
// a NUL ends the text.
bool BalloonTextIsMultiLine(std::u16string_view Text);

class TUiBalloonHint;

// What one balloon shows. Points are in the anchor form's client
// coordinates.
struct TUiBalloonData {
    TCustomForm* AnchorForm = nullptr;
    TPoint AnchorPoint;
    TPoint StemPoint;
    std::string Header; // UTF-8
    std::string Text;   // UTF-8
    TUiIconKind IconKind = ikNone;
    int ImageIndex = 0;
    int VisibleTime = 0;
    bool ShowCloseBtn = false;
    TUiAnimationStyle AnimationStyle = atNone;
    unsigned AnimationTime = 100;
    int SwitchHeight = 0;
};

// The balloon window: lays the balloon out (body, stem, icon, header, text,
// close button), chooses its placement on the work area, shapes its window
// and paints it.
class TUiBalloonWindow : public THintWindow {
public:
    QM_CLASSNAME(TUiBalloonWindow)
    explicit TUiBalloonWindow(TComponent* AOwner);

    virtual void MeasureHeader(int MaxWidth, int& Width, int& Height);
    virtual void MeasureText(int MaxWidth, int& Width, int& Height);
    virtual void TakeSettings(const TUiBalloonData* Data);
    virtual void CalcBalloonRect(int MaxWidth, const std::string& Text, TRect& Rect,
                                 const TUiBalloonData* Data);
    virtual void CalcBalloonRectW(int MaxWidth, const std::u16string& Text, TRect& Rect,
                                  const TUiBalloonData* Data);

    TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData) override;
    void ActivateHintData(const TRect& Rect, const std::string& AHint, void* AData) override;

    // Placement: the offset that puts the stem tip of a rectangle whose
    // top-left is the anchor on the anchor, the stem tip of a placed
    // rectangle, a change of placement, and the check against the work
    // area (Rect in screen coordinates).
    TPoint PositionOffset(TUiBalloonPosition Pos, const TRect& Rect) const;
    TPoint StemPointOf(const TRect& Rect) const;
    void ChangePosition(TRect& Rect, TUiBalloonPosition NewPos);
    void CheckPosition(TRect& Rect, const TRect& WorkArea);
    // Builds the window's shape from the layout (stem triangle joined with
    // the body's rounded rectangle) and hands it to the window.
    void UpdateRegion();

    TUiBalloonPosition Position() const { return FPosition; }
    void SetPosition(TUiBalloonPosition Value) { FPosition = Value; }
    int SwitchHeight() const { return FSwitchHeight; }
    int StemHeight() const { return FStemHeight; }
    int StemWidth() const { return FStemWidth; }
    int StemOffset() const { return FStemOffset; }
    TPoint IconOrigin() const { return FIconOrigin; }
    TSize IconSize() const { return {FIconWidth, FIconHeight}; }
    TRect BodyRect() const { return FBodyRect; }
    TRect StemRect() const { return FStemRect; }
    TRect TextRect() const { return FTextRect; }
    TRect HeaderRect() const { return FHeaderRect; }
    TRect CloseRect() const { return FCloseRect; }
    bool ShowIcon() const { return FShowIcon; }
    bool ShowHeader() const { return FShowHeader; }
    bool ShowCloseBtn() const { return FShowCloseBtn; }
    bool MultiLine() const { return FMultiLine; }
    bool LayoutValid() const { return FLayoutValid; }
    const std::u16string& Message() const { return FMessage; }
    const std::u16string& Header() const { return FHeader; }
    // The current shape (Width() x Height() bytes, non-zero inside); empty
    // before the first region update.
    const std::vector<std::uint8_t>& RegionMask() const { return FRegion; }
    // The three corners of the stem triangle in client coordinates.
    void StemTriangle(TPoint (&Corners)[3]) const;

    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void EraseBackground() override;
    // The icon to paint (kind, image index and the list of custom icons).
    virtual void IconToDraw(TUiIconKind& Kind, int& ImageIndex, TCustomImageList*& Images) const;
    void MessageFont(TFont& Font) const;
    void HeaderFont(TFont& Font) const;

    TUiBalloonPosition FPosition = bpAuto;
    int FSwitchHeight = 0;
    bool FShowIcon = false;
    bool FShowHeader = false;
    std::u16string FMessage;
    std::u16string FHeader;
    int FStemHeight = 0;
    int FStemWidth = 0;
    int FStemOffset = 0;
    int FIconWidth = 0;
    int FIconHeight = 0;
    TPoint FIconOrigin;
    TRect FBodyRect;
    TRect FStemRect;
    TRect FTextRect;
    TRect FHeaderRect;
    TRect FCloseRect;
    bool FShowCloseBtn = false;
    bool FMultiLine = false;
    bool FLayoutValid = false;
    std::vector<std::uint8_t> FRegion;

private:
    void MeasureWide(const TFont& Font, const std::u16string& Text, int MaxWidth, int& Width,
                     int& Height);
    void DrawWide(TCanvas* Canvas, const TFont& Font, const std::u16string& Text,
                  const TRect& Rect);
};

// The window of a TUiBalloonHint: adds the close button's states and the
// icon of the balloon being shown.
class TUiBalloonWindowEx : public TUiBalloonWindow {
public:
    QM_CLASSNAME(TUiBalloonWindowEx)
    explicit TUiBalloonWindowEx(TUiBalloonHint* ABalloonHint);

    void TakeSettings(const TUiBalloonData* Data) override;
    // Shows the window at Rect (screen coordinates): placement check, kept
    // inside the virtual screen, shaped, shown unless the anchor form is
    // hidden or minimised.
    void ShowBalloonAt(TRect Rect);
    // Kept above all windows while its form holds the focus; else just
    // below the window over the form.
    void UpdateZOrder();
    void PlaceBelowActive();
    // Whether the window may show: its form on screen and not minimised,
    // and the program in the foreground.
    bool AnchorOnScreen() const;
    unsigned CloseBtnState() const { return FCloseBtnState; }
    TUiIconKind IconKind() const { return FIconKind; }
    int ImageIndex() const { return FImageIndex; }
    TUiAnimationStyle AnimationStyle() const { return FAnimationStyle; }
    unsigned AnimationTime() const { return FAnimationTime; }
    bool HasAnchor() const { return FHasAnchor; }

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void IconToDraw(TUiIconKind& Kind, int& ImageIndex, TCustomImageList*& Images) const override;

private:
    void SetCloseState(unsigned Value);

    TUiBalloonHint* FBalloonHint;
    unsigned FCloseBtnState = UI_CLOSE_FLAT;
    int FImageIndex = 0;
    TUiIconKind FIconKind = ikNone;
    unsigned FAnimationTime = 100;
    TUiAnimationStyle FAnimationStyle = atNone;
    bool FHasAnchor = false;
    bool FCloseClicked = false;
};

class TUiBalloonHint : public TComponent {
public:
    QM_CLASSNAME(TUiBalloonHint)
    explicit TUiBalloonHint(TComponent* AOwner);
    ~TUiBalloonHint() override;

    // Shows Text (UTF-8) pointing at Control for VisibleTime ms (0: until
    // hidden). Hides the balloon shown before. Nothing for a missing
    // control.
    void ShowBalloon(TControl* Control, const std::string& Text, int VisibleTime,
                     const std::string& Header);
    void HideBalloon();
    bool Shown() const { return FShown; }
    bool TimerRunning() const { return FTimerRunning; }
    TUiBalloonWindowEx* BalloonWindow() const { return FWindow; }
    const TUiBalloonData& BalloonData() const { return FData; }

    TUiAnimationStyle CustomAnimationStyle() const { return FCustomAnimationStyle; }
    void SetCustomAnimationStyle(TUiAnimationStyle V) { FCustomAnimationStyle = V; }
    unsigned CustomAnimationTime() const { return FCustomAnimationTime; }
    void SetCustomAnimationTime(unsigned V) { FCustomAnimationTime = V; }
    TUiBalloonPosition DefaultBalloonPosition() const { return FDefaultBalloonPosition; }
    void SetDefaultBalloonPosition(TUiBalloonPosition V) { FDefaultBalloonPosition = V; }
    int DefaultImageIndex() const { return FDefaultImageIndex; }
    void SetDefaultImageIndex(int V) { FDefaultImageIndex = V; }
    const std::string& DefaultHeader() const { return FDefaultHeader; }
    void SetDefaultHeader(const std::string& V) { FDefaultHeader = V; }
    TUiIconKind DefaultIcon() const { return FDefaultIcon; }
    void SetDefaultIcon(TUiIconKind V) { FDefaultIcon = V; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TUiBalloonOptions Options() const { return FOptions; }
    void SetOptions(TUiBalloonOptions V) { FOptions = V; }
    TUiApplicationHintOptions ApplicationHintOptions() const { return FApplicationHintOptions; }
    void SetApplicationHintOptions(TUiApplicationHintOptions V) { FApplicationHintOptions = V; }
    bool UseBalloonAsApplicationHint() const;
    void SetUseBalloonAsApplicationHint(bool Value);
    // Wrap width of the texts; 0 = the screen width.
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int V) { FMaxWidth = V; }

    TNotifyEvent OnBalloonClick;
    TNotifyEvent OnClose;
    TNotifyEvent OnDblClick;
    TCloseQueryEvent OnCloseBtnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TUiBalloonWindowEx;
    bool FormHook(TMessage& Message);
    void StartTimer();
    void StopTimer();
    void TimerWndProc(TMessage& Message);
    TUiHookMethod HookMethod() { return UiHookMethod<&TUiBalloonHint::FormHook>(this); }
    bool AnchorHook(TMessage& Message);
    TUiHookMethod AnchorHookMethod() { return UiHookMethod<&TUiBalloonHint::AnchorHook>(this); }
    void ReleaseAnchor();

    bool FShown = false;
    TUiBalloonWindowEx* FWindow = nullptr;
    HWND FTimerWnd = nullptr;
    bool FTimerRunning = false;
    TUiBalloonData FData;
    bool FHooked = false;
    // The window the balloon points into (the control, or the parent of a
    // control without a window of its own), when it is not the form: once
    // it leaves the screen (its page or panel hidden), the balloon would
    // point at nothing and cover what took its place.
    TWinControl* FAnchorWindow = nullptr;
    bool FAnchorHooked = false;

    TUiAnimationStyle FCustomAnimationStyle = atBlend;
    unsigned FCustomAnimationTime = 100;
    TUiBalloonPosition FDefaultBalloonPosition = bpAuto;
    int FDefaultImageIndex = -1;
    std::string FDefaultHeader;
    TUiIconKind FDefaultIcon = ikInformation;
    TCustomImageList* FImages = nullptr;
    TUiBalloonOptions FOptions{boShowCloseBtn};
    TUiApplicationHintOptions FApplicationHintOptions{ahShowHeaderInHint, ahShowIconInHint};
    int FMaxWidth = 0;
};

// Plays a sound file of the user's scheme; the default is the desktop's
// sound player.
using TUiSoundPlayer = std::function<void(const std::string& FileName)>;
void SetBalloonSoundPlayer(TUiSoundPlayer Player);

class TGlobalCtrl : public TComponent {
public:
    QM_CLASSNAME(TGlobalCtrl)
    explicit TGlobalCtrl(TComponent* AOwner);
    ~TGlobalCtrl() override;

    void RegisterBalloon(TUiBalloonHint* Hint);
    void UnregisterBalloon(TUiBalloonHint* Hint);
    const std::vector<TUiBalloonHint*>& Balloons() const { return FList; }
    // The first registered component, or a default one owned here.
    TUiBalloonHint* MainComponent();
    TSize IconSize(TUiIconKind Kind, int ImageIndex, TCustomImageList* Images) const;
    void DrawIcon(TCanvas* Canvas, int X, int Y, TColor Background, int ImageIndex,
                  TUiIconKind Kind, TCustomImageList* Images);
    // The file name of a kind's sound ("" plays nothing).
    const std::string& SoundFile(TUiIconKind Kind) const { return FSounds[Kind]; }
    void PlaySound(TUiIconKind Kind);
    bool ApplicationHintMode() const { return FApplicationHint; }
    void SetApplicationHintMode(bool Value);
    bool Designing() const { return FDesigning; }

private:
    void LoadSounds();

    std::vector<TUiBalloonHint*> FList;
    TUiBalloonHint* FDefault = nullptr;
    std::string FSounds[7];
    // The desktop's pictures of the application, error, information,
    // question and warning icons, read on first use.
    std::unique_ptr<TIcon> FIcons[5];
    bool FApplicationHint = false;
    bool FDesigning = false;
};

// The one controller (made on first use); FinalizeBalloonHints frees it at
// program end.
TGlobalCtrl* GlobalCtrl();
void FinalizeBalloonHints();
