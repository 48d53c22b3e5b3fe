#include "menus/BalloonHint.h"

#include <algorithm>
#include <cstdlib>

#include "menus/MenuGraphics.h"
#include "menus/SysUnicode.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/DesktopServices.h"
#include "platform/graphics/Icon.h"
#include "platform/forms/Screen.h"
#include "platform/system/Registry.h"
#include "platform/system/Sound.h"

namespace {

TGlobalCtrl* GCtrl = nullptr;

// The system's own call: asynchronous, yielding to a sound already playing.
void PlayThroughDesktop(const std::string& FileName) {
    SysPlaySound(TSysSound{FileName, nullptr, 0, SND_ASYNC | SND_NOSTOP});
}

TUiSoundPlayer& SoundPlayer() {
    // Never freed: no order to keep.
    static TUiSoundPlayer* Player = new TUiSoundPlayer(PlayThroughDesktop);
    return *Player;
}

constexpr int SmallIconSize = 16;
// Classic metrics of the unthemed balloon.
constexpr int IconLeft = 12;
constexpr int IconTop = 9;
constexpr int HeaderLeft = 12;
constexpr int HeaderTop = 10;
constexpr int TextLeft = 12;
constexpr int IconGap = 8;
constexpr int Margin = 11;
constexpr int CornerEllipse = 11;
constexpr int CloseMargin = 6;

bool IsDown(TUiBalloonPosition P) {
    return P == bpLeftDown || P == bpRightDown || P == bpAuto;
}
bool IsLeft(TUiBalloonPosition P) {
    return P == bpLeftDown || P == bpLeftUp || P == bpAuto;
}

bool RectIsEmpty(const TRect& R) {
    return R.Right <= R.Left || R.Bottom <= R.Top;
}

bool IsBreak(char16_t C) {
    return C == u'\n' || C == u'\v' || C == u'\f' || C == u'\r' || C == u'\u2028' || C == u'\u2029';
}

// The text up to its NUL, with every kind of line break turned into LF
// (CR LF as one), as UTF-8 for measuring and drawing.
std::string DrawableText(const std::u16string& Text) {
    std::u16string T;
    for (std::size_t I = 0; I < Text.size() && Text[I] != 0; ++I) {
        if (Text[I] == u'\r' && I + 1 < Text.size() && Text[I + 1] == u'\n') continue;
        T.push_back(IsBreak(Text[I]) ? u'\n' : Text[I]);
    }
    // A final break opens no line of its own.
    if (!T.empty() && T.back() == u'\n') T.pop_back();
    return WideToUtf8Text(T);
}

// The user's environment variables in a sound file name (%NAME%); the
// result is capped like the system's expansion buffer.
std::string ExpandEnvironment(const std::string& S) {
    constexpr std::size_t Cap = 4096;
    std::string R;
    std::size_t I = 0;
    while (I < S.size()) {
        const std::size_t B = S.find('%', I);
        const std::size_t E = B == std::string::npos ? B : S.find('%', B + 1);
        if (E == std::string::npos) {
            R += S.substr(I);
            break;
        }
        R += S.substr(I, B - I);
        const std::string Name = S.substr(B + 1, E - B - 1);
        const char* V = Name.empty() ? nullptr : std::getenv(Name.c_str());
        R += V != nullptr ? std::string(V) : S.substr(B, E - B + 1);
        I = E + 1;
    }
    if (R.size() >= Cap) R.resize(Cap - 1);
    return R;
}

bool InRoundRect(const TRect& R, int X, int Y) {
    if (X < R.Left || X >= R.Right || Y < R.Top || Y >= R.Bottom) return false;
    const double Rad = CornerEllipse / 2.0;
    const double Px = X + 0.5, Py = Y + 0.5;
    double Cx = 0, Cy = 0;
    if (Px < R.Left + Rad)
        Cx = R.Left + Rad;
    else if (Px > R.Right - Rad)
        Cx = R.Right - Rad;
    else
        return true;
    if (Py < R.Top + Rad)
        Cy = R.Top + Rad;
    else if (Py > R.Bottom - Rad)
        Cy = R.Bottom - Rad;
    else
        return true;
    return (Px - Cx) * (Px - Cx) + (Py - Cy) * (Py - Cy) <= Rad * Rad;
}

bool InTriangle(const TPoint (&T)[3], int X, int Y) {
    const double Px = X + 0.5, Py = Y + 0.5;
    auto Side = [&](const TPoint& A, const TPoint& B) {
        return (B.X - A.X) * (Py - A.Y) - (B.Y - A.Y) * (Px - A.X);
    };
    const double D1 = Side(T[0], T[1]), D2 = Side(T[1], T[2]), D3 = Side(T[2], T[0]);
    const bool Neg = D1 < 0 || D2 < 0 || D3 < 0;
    const bool Pos = D1 > 0 || D2 > 0 || D3 > 0;
    return !(Neg && Pos);
}

} // namespace

std::uint32_t BalloonAnimationFlags(TUiAnimationStyle Style) {
    static constexpr std::uint32_t Flags[] = {0,       0x40000, 0,       0x2,     0x1,  0x8,    0x4,
                                              0x40002, 0x40001, 0x40008, 0x40004, 0x10, 0x80000};
    const unsigned I = unsigned(Style);
    return I < std::size(Flags) ? Flags[I] : 0;
}

bool BalloonTextIsMultiLine(std::u16string_view Text) {
    for (std::size_t I = 0; I < Text.size() && Text[I] != 0; ++I) {
        if (!IsBreak(Text[I])) continue;
        if (Text[I] == u'\r' && I + 1 < Text.size() && Text[I + 1] == u'\n') ++I;
        return I + 1 < Text.size() && Text[I + 1] != 0;
    }
    return false;
}

// ---------------------------------------------------------------------------
// TUiBalloonWindow

TUiBalloonWindow::TUiBalloonWindow(TComponent* AOwner) : THintWindow(AOwner) {
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
}

void TUiBalloonWindow::CreateParams(TCreateParams& Params) {
    THintWindow::CreateParams(Params);
    Params.Style &= ~WS_BORDER;
    // TODO: CS_DROPSHADOW once the forms layer's shadow window follows the
    // window's shape under every desktop (on a plain X server it shows as
    // an unshaped black block).
}

void TUiBalloonWindow::MessageFont(TFont& F) const {
    if (Screen != nullptr) F.Assign(*Screen->HintFont());
    F.SetStyle(F.Style() - TFontStyles{fsBold});
}

void TUiBalloonWindow::HeaderFont(TFont& F) const {
    if (Screen != nullptr) F.Assign(*Screen->HintFont());
    F.SetStyle(F.Style() + TFontStyles{fsBold});
}

void TUiBalloonWindow::MeasureWide(const TFont& Font, const std::u16string& Text, int MaxWidth,
                                   int& Width, int& Height) {
    Width = Height = 0;
    const std::string T = DrawableText(Text);
    if (T.empty()) return;
    TCanvas C;
    C.SetFont(Font);
    const std::vector<std::string> Lines = WrapTextLines(&C, T, std::max(1, MaxWidth));
    for (const std::string& L : Lines)
        Width = std::max(Width, C.TextWidth(L));
    Height = int(Lines.size()) * C.TextHeight("Wg");
}

void TUiBalloonWindow::DrawWide(TCanvas* Canvas, const TFont& Font, const std::u16string& Text,
                                const TRect& Rect) {
    const std::string T = DrawableText(Text);
    if (T.empty() || Rect.Width() <= 0) return;
    Canvas->SetFont(Font);
    Canvas->Font()->SetColor(clInfoText);
    Canvas->Brush()->SetStyle(bsClear);
    const int LineHeight = Canvas->TextHeight("Wg");
    int Y = Rect.Top;
    for (const std::string& L : WrapTextLines(Canvas, T, Rect.Width())) {
        Canvas->TextRect(Rect, Rect.Left, Y, L);
        Y += LineHeight;
    }
}

void TUiBalloonWindow::MeasureHeader(int MaxWidth, int& Width, int& Height) {
    TFont F;
    HeaderFont(F);
    MeasureWide(F, FHeader, MaxWidth, Width, Height);
}

void TUiBalloonWindow::MeasureText(int MaxWidth, int& Width, int& Height) {
    TFont F;
    MessageFont(F);
    MeasureWide(F, FMessage, MaxWidth, Width, Height);
}

void TUiBalloonWindow::TakeSettings(const TUiBalloonData*) {
    // Application-hint mode: the main component's defaults.
    TUiBalloonHint* Main = GlobalCtrl()->MainComponent();
    const TUiIconKind Kind = Main->DefaultIcon();
    FShowIcon = Main->ApplicationHintOptions().Contains(ahShowIconInHint) && Kind != ikNone &&
                !(Kind == ikCustom && Main->DefaultImageIndex() < 0);
    FShowHeader = Main->ApplicationHintOptions().Contains(ahShowHeaderInHint) &&
                  !Main->DefaultHeader().empty();
    FHeader = Utf8TextToWide(Main->DefaultHeader());
    FPosition = Main->DefaultBalloonPosition();
    const TSize S = GlobalCtrl()->IconSize(Kind, Main->DefaultImageIndex(), Main->Images());
    FIconWidth = S.cx;
    FIconHeight = S.cy;
    FSwitchHeight = 32; // the system's cursor height
    FShowCloseBtn = false;
    if (Screen != nullptr) Canvas()->SetFont(*Screen->HintFont());
    if (Application != nullptr) SetColor(Application->HintColor());
}

void TUiBalloonWindow::CalcBalloonRect(int MaxWidth, const std::string& Text, TRect& Rect,
                                       const TUiBalloonData* Data) {
    CalcBalloonRectW(MaxWidth, Utf8TextToWide(Text), Rect, Data);
}

void TUiBalloonWindow::CalcBalloonRectW(int MaxWidth, const std::u16string& Text, TRect& Rect,
                                        const TUiBalloonData* Data) {
    FLayoutValid = false;
    TakeSettings(Data);
    if (!FShowHeader) FHeader.clear();
    FMessage = Text;
    FMultiLine = BalloonTextIsMultiLine(FMessage);
    if (!FShowIcon) FIconWidth = FIconHeight = 0;

    FIconOrigin = FShowIcon ? TPoint{IconLeft, IconTop} : TPoint{0, 0};
    int W = 0, H = 0;
    MeasureHeader(MaxWidth, W, H);
    FHeaderRect = {0, 0, W, H};
    if (!RectIsEmpty(FHeaderRect)) OffsetRect(FHeaderRect, HeaderLeft, HeaderTop);
    MeasureText(MaxWidth, W, H);
    FTextRect = {0, 0, W, H};
    if (!RectIsEmpty(FTextRect)) {
        const int Below = FShowIcon ? FIconOrigin.Y + FIconHeight + 5 : 9;
        OffsetRect(FTextRect, TextLeft, std::max(Below, FHeaderRect.Bottom + 4));
    }
    if (FShowIcon) OffsetRect(FHeaderRect, FIconWidth + IconGap, 0);

    if (!FShowHeader)
        FStemHeight = FStemWidth = 12;
    else
        FStemHeight = FStemWidth = FMultiLine ? 21 : 19;
    FStemOffset = 16;
    FStemRect = {0, 0, FStemWidth, FStemHeight};

    FCloseRect = {0, 0, SmallIconSize, SmallIconSize};
    FHeaderRect.Right += SmallIconSize;
    FTextRect.Right += SmallIconSize;

    FBodyRect = {0, 0, std::max(FTextRect.Right + Margin + 3, FHeaderRect.Right + Margin + 3),
                 std::max(FTextRect.Bottom + Margin, FHeaderRect.Bottom + Margin)};
    OffsetRect(FStemRect, FStemOffset, FBodyRect.Bottom - 1);
    UnionRect(Rect, FBodyRect, FStemRect);
    const TPoint D = PositionOffset(FPosition, Rect);
    OffsetRect(Rect, D.X, D.Y);
    FCloseRect = {FBodyRect.Right - SmallIconSize - CloseMargin, CloseMargin,
                  FBodyRect.Right - CloseMargin, CloseMargin + SmallIconSize};
    FLayoutValid = true;
}

TPoint TUiBalloonWindow::PositionOffset(TUiBalloonPosition Pos, const TRect& Rect) const {
    const int Dx = IsLeft(Pos) ? FStemOffset - Rect.Width() : -FStemOffset;
    const int Dy = IsDown(Pos) ? 0 : -Rect.Height() - FSwitchHeight;
    return {Dx, Dy};
}

TPoint TUiBalloonWindow::StemPointOf(const TRect& Rect) const {
    const int X = IsLeft(FPosition) ? Rect.Right - FStemOffset : Rect.Left + FStemOffset;
    return {X, IsDown(FPosition) ? Rect.Top : Rect.Bottom};
}

void TUiBalloonWindow::ChangePosition(TRect& Rect, TUiBalloonPosition NewPos) {
    const TPoint Old = PositionOffset(FPosition, Rect);
    OffsetRect(Rect, -Old.X, -Old.Y);
    FPosition = NewPos;
    const TPoint New = PositionOffset(FPosition, Rect);
    OffsetRect(Rect, New.X, New.Y);
}

void TUiBalloonWindow::CheckPosition(TRect& Rect, const TRect& Work) {
    if (FPosition == bpAuto) {
        FPosition = bpLeftDown;
        const TPoint S = StemPointOf(Rect);
        const bool LeftHalf = S.X * 2 < Work.Left + Work.Right;
        TUiBalloonPosition P;
        if (S.Y * 2 < Work.Top + Work.Bottom)
            P = LeftHalf ? bpLeftUp : bpRightUp;
        else
            P = LeftHalf ? bpLeftDown : bpRightDown;
        if (P != FPosition) ChangePosition(Rect, P);
    }
    const TRect R0 = Rect;
    TUiBalloonPosition P = FPosition;
    if (R0.Bottom > Work.Bottom && IsDown(P)) P = P == bpLeftDown ? bpLeftUp : bpRightUp;
    if (R0.Right > Work.Right && !IsLeft(P)) P = P == bpRightDown ? bpLeftDown : bpLeftUp;
    if (R0.Left < Work.Left && IsLeft(P)) P = P == bpLeftDown ? bpRightDown : bpRightUp;
    if (R0.Top < Work.Top && !IsDown(P)) P = P == bpLeftUp ? bpLeftDown : bpRightDown;
    if (P != FPosition) ChangePosition(Rect, P);
    if (Rect.Left < Work.Left && IsLeft(FPosition))
        ChangePosition(Rect, FPosition == bpLeftDown ? bpRightDown : bpRightUp);
    if (Rect.Top < Work.Top && !IsDown(FPosition))
        ChangePosition(Rect, FPosition == bpLeftUp ? bpLeftDown : bpRightDown);

    // The layout was made with the stem below the body; a lower balloon
    // carries its stem on top instead.
    if (IsDown(FPosition)) {
        const int Dy = FStemHeight - 1;
        OffsetRect(FBodyRect, 0, Dy);
        OffsetRect(FTextRect, 0, Dy);
        OffsetRect(FHeaderRect, 0, Dy);
        OffsetRect(FStemRect, 0, -FStemRect.Top);
        FIconOrigin.Y += FStemHeight;
        OffsetRect(FCloseRect, 0, FStemHeight);
    }
    if (IsLeft(FPosition))
        OffsetRect(FStemRect, FBodyRect.Width() - 2 * FStemOffset - FStemWidth, 0);
}

void TUiBalloonWindow::StemTriangle(TPoint (&C)[3]) const {
    const TRect& S = FStemRect;
    switch (FPosition) {
    case bpRightDown:
        C[0] = {S.Left, S.Top}, C[1] = {S.Left, S.Bottom}, C[2] = {S.Right, S.Bottom};
        break;
    case bpLeftUp:
        C[0] = {S.Right, S.Bottom}, C[1] = {S.Right, S.Top}, C[2] = {S.Left, S.Top};
        break;
    case bpRightUp:
        C[0] = {S.Left, S.Bottom}, C[1] = {S.Left, S.Top}, C[2] = {S.Right, S.Top};
        break;
    default:
        C[0] = {S.Right, S.Top}, C[1] = {S.Right, S.Bottom}, C[2] = {S.Left, S.Bottom};
        break;
    }
}

void TUiBalloonWindow::UpdateRegion() {
    if (!FLayoutValid || FPosition == bpAuto) return;
    const int W = std::max(FBodyRect.Right, FStemRect.Right);
    const int H = std::max(FBodyRect.Bottom, FStemRect.Bottom);
    // A balloon is at most a screen of text; anything larger keeps its shape.
    if (W <= 0 || H <= 0 || std::int64_t(W) * H > (std::int64_t(1) << 26)) return;
    TPoint T[3];
    StemTriangle(T);
    std::vector<std::uint8_t> Mask(std::size_t(W) * std::size_t(H));
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            Mask[std::size_t(Y) * W + X] = InRoundRect(FBodyRect, X, Y) ||
                                           (PtInRect(FStemRect, {X, Y}) && InTriangle(T, X, Y));
    FRegion = std::move(Mask);
    if (HandleAllocated()) SetWindowMask(this, W, H, FRegion);
    if (Visible()) Invalidate();
}

void TUiBalloonWindow::EraseBackground() {
    const TPixelSurface& S = BufferSurface();
    if (!S.Valid()) return;
    TCanvas* C = ControlCanvas();
    C->Brush()->SetStyle(bsSolid);
    const int W = std::max(FBodyRect.Right, FStemRect.Right);
    const int H = std::max(FBodyRect.Bottom, FStemRect.Bottom);
    if (FRegion.size() != std::size_t(W) * std::size_t(H) || FRegion.empty()) {
        C->Brush()->SetColor(Color());
        C->FillRect(S.BoundsRect());
        C->Brush()->SetColor(clBlack);
        C->FrameRect(S.BoundsRect());
        return;
    }
    auto Inside = [&](int X, int Y) {
        return X >= 0 && Y >= 0 && X < W && Y < H && FRegion[std::size_t(Y) * W + X] != 0;
    };
    C->Brush()->SetColor(Color());
    for (int Y = 0; Y < H; ++Y) {
        int X = 0;
        while (X < W) {
            while (X < W && !Inside(X, Y))
                ++X;
            const int Start = X;
            while (X < W && Inside(X, Y))
                ++X;
            if (X > Start) C->FillRect({Start, Y, X, Y + 1});
        }
    }
    // The frame: every inside pixel that touches the outside.
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            if (Inside(X, Y) &&
                (!Inside(X - 1, Y) || !Inside(X + 1, Y) || !Inside(X, Y - 1) || !Inside(X, Y + 1)))
                C->SetPixels(X, Y, clBlack);
}

void TUiBalloonWindow::IconToDraw(TUiIconKind& Kind, int& ImageIndex,
                                  TCustomImageList*& Images) const {
    TUiBalloonHint* Main = GlobalCtrl()->MainComponent();
    Kind = Main->DefaultIcon();
    ImageIndex = Main->DefaultImageIndex();
    Images = Main->Images();
}

void TUiBalloonWindow::Paint() {
    TCanvas* C = Canvas();
    if (FShowIcon) {
        TUiIconKind Kind = ikNone;
        int Index = -1;
        TCustomImageList* Images = nullptr;
        IconToDraw(Kind, Index, Images);
        GlobalCtrl()->DrawIcon(C, FIconOrigin.X, FIconOrigin.Y, Color(), Index, Kind, Images);
    }
    TFont F;
    MessageFont(F);
    DrawWide(C, F, FMessage, FTextRect);
    HeaderFont(F);
    DrawWide(C, F, FHeader, FHeaderRect);
}

void TUiBalloonWindow::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCPAINT:
    case CM_TEXTCHANGED:
        return;
    case CM_SHOWINGCHANGED:
        THintWindow::Dispatch(Message);
        if (Showing()) UpdateRegion();
        return;
    default:
        THintWindow::Dispatch(Message);
    }
}

TRect TUiBalloonWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void*) {
    TRect R;
    CalcBalloonRect(MaxWidth, AHint, R, nullptr);
    return R;
}

void TUiBalloonWindow::ActivateHintData(const TRect& Rect, const std::string& AHint, void*) {
    if (Visible()) SetVisible(false);
    TRect R = Rect;
    if (Screen != nullptr) CheckPosition(R, Screen->WorkAreaRect());
    UpdateRegion();
    SetCaption(AHint);
    TUiBalloonHint* Main = GlobalCtrl()->MainComponent();
    if (Main->ApplicationHintOptions().Contains(ahPlaySound))
        GlobalCtrl()->PlaySound(Main->DefaultIcon());
    SetBounds(R.Left, R.Top, R.Width(), R.Height() + 4);
    Invalidate();
    SetVisible(true);
    BringToFront();
}

// ---------------------------------------------------------------------------
// TUiBalloonWindowEx

TUiBalloonWindowEx::TUiBalloonWindowEx(TUiBalloonHint* ABalloonHint)
    : TUiBalloonWindow(ABalloonHint), FBalloonHint(ABalloonHint) {
    TUiBalloonHint* H = ABalloonHint;
    OnMouseDown = [H](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        if (H->OnMouseDown) H->OnMouseDown(H, B, S, X, Y);
    };
    OnMouseUp = [H](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        if (H->OnMouseUp) H->OnMouseUp(H, B, S, X, Y);
    };
    OnMouseMove = [H](TObject*, TShiftState S, int X, int Y) {
        if (H->OnMouseMove) H->OnMouseMove(H, S, X, Y);
    };
    OnClick = [H](TObject*) {
        if (H->OnBalloonClick) H->OnBalloonClick(H);
    };
    OnDblClick = [H](TObject*) {
        if (H->OnDblClick) H->OnDblClick(H);
    };
}

void TUiBalloonWindowEx::TakeSettings(const TUiBalloonData* Data) {
    if (Screen != nullptr) Canvas()->SetFont(*Screen->HintFont());
    if (Application != nullptr) SetColor(Application->HintColor());
    FImageIndex = Data->ImageIndex;
    FIconKind = Data->IconKind;
    FHeader = Utf8TextToWide(Data->Header);
    FShowHeader = !FHeader.empty();
    FShowIcon = !(FIconKind == ikNone || (FIconKind == ikCustom && FImageIndex == -1));
    FShowCloseBtn = Data->ShowCloseBtn;
    FAnimationTime = Data->AnimationTime;
    FAnimationStyle = Data->AnimationStyle;
    FSwitchHeight = Data->SwitchHeight;
    FHasAnchor = Data->AnchorForm != nullptr;
    const TSize S = GlobalCtrl()->IconSize(FIconKind, FImageIndex, FBalloonHint->Images());
    FIconWidth = S.cx;
    FIconHeight = S.cy;
    FPosition = FBalloonHint->DefaultBalloonPosition();
}

void TUiBalloonWindowEx::IconToDraw(TUiIconKind& Kind, int& ImageIndex,
                                    TCustomImageList*& Images) const {
    Kind = FIconKind;
    ImageIndex = FImageIndex;
    Images = FBalloonHint->Images();
}

void TUiBalloonWindowEx::ShowBalloonAt(TRect Rect) {
    FCloseBtnState = UI_CLOSE_FLAT;
    if (Screen != nullptr) CheckPosition(Rect, Screen->WorkAreaRect());
    if (Visible()) SetVisible(false);
    if (Screen != nullptr) {
        // Kept inside the virtual screen; the right and bottom edges win.
        const TRect D = Screen->DesktopRect();
        if (Rect.Left < D.Left) OffsetRect(Rect, D.Left - Rect.Left, 0);
        if (Rect.Top < D.Top) OffsetRect(Rect, 0, D.Top - Rect.Top);
        if (Rect.Right > D.Right) OffsetRect(Rect, D.Right - Rect.Right, 0);
        if (Rect.Bottom > D.Bottom) OffsetRect(Rect, 0, D.Bottom - Rect.Bottom);
    }
    SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
    UpdateRegion();
    if (FHasAnchor && !AnchorOnScreen()) {
        // Shown once the form or the program comes back; the program's
        // return reaches only windows that have a handle.
        HandleNeeded();
        return;
    }
    if (FHasAnchor)
        UpdateZOrder();
    else
        SetWindowTopmost(this, true);
    // Where windows animate, every style but none blends in. The window is
    // made transparent before it maps, so that it never flashes in full.
    if (FAnimationStyle != atNone) {
        HandleNeeded();
        FadeInWindow(this, int(FAnimationTime));
    }
    SetVisible(true);
    Invalidate();
}

bool TUiBalloonWindowEx::AnchorOnScreen() const {
    TCustomForm* Form = FBalloonHint->FData.AnchorForm;
    if (Form != nullptr && (!Form->Showing() || Form->WindowState() == wsMinimized)) return false;
    // While the program is in the background the form lies under the window
    // the user turned to, and so does the balloon: mapped now, it would float
    // over that other program's window instead.
    return Application == nullptr || Application->Active();
}

void TUiBalloonWindowEx::PlaceBelowActive() {
    // Just below the window that now lies above the form; when that one is
    // kept above all others (or belongs to another program), the balloon
    // only stops being kept above.
    if (!PlaceBelowActiveWindow(this)) SetWindowTopmost(this, false);
}

void TUiBalloonWindowEx::UpdateZOrder() {
    TCustomForm* Form = FBalloonHint->FData.AnchorForm;
    TWinControl* Focused = Screen != nullptr ? Screen->ActiveControl() : nullptr;
    if (Focused == nullptr && Screen != nullptr) Focused = Screen->ActiveForm();
    for (TWinControl* C = Focused; C != nullptr; C = C->Parent())
        if (C == Form) {
            SetWindowTopmost(this, true);
            return;
        }
    PlaceBelowActive();
}

void TUiBalloonWindowEx::SetCloseState(unsigned Value) {
    if (Value == FCloseBtnState) return;
    FCloseBtnState = Value;
    Invalidate();
}

void TUiBalloonWindowEx::Paint() {
    TUiBalloonWindow::Paint();
    if (!FShowCloseBtn) return;
    TCanvas* C = Canvas();
    const TRect R = FCloseRect;
    const bool Pushed = (FCloseBtnState & UI_CLOSE_PUSHED) != 0;
    const bool Hot = (FCloseBtnState & UI_CLOSE_HOT) != 0;
    C->Brush()->SetStyle(bsSolid);
    if (Pushed && Hot) {
        C->Brush()->SetColor(clBtnShadow);
        C->FillRect(R);
    } else if (Hot) {
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(R);
    }
    // The cross, two pixels thick, pressed one pixel down and right.
    const int Shift = Pushed && Hot ? 1 : 0;
    C->Pen()->SetColor(clBlack);
    C->Pen()->SetWidth(1);
    const int L = R.Left + 4 + Shift, T = R.Top + 4 + Shift;
    const int Rt = R.Right - 4 + Shift, B = R.Bottom - 4 + Shift;
    for (int D = 0; D < 2; ++D) {
        C->MoveTo(L + D, T);
        C->LineTo(Rt + D - 1, B);
        C->MoveTo(Rt - 1 + D - 1, T);
        C->LineTo(L + D - 2, B);
    }
}

void TUiBalloonWindowEx::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCHITTEST:
        Message.Result = HTCLIENT;
        return;
    case WM_LBUTTONDOWN: {
        TUiBalloonWindow::Dispatch(Message);
        const TPoint P = PointFromLParam(Message.LParam);
        if (FShowCloseBtn && PtInRect(FCloseRect, P))
            SetCloseState(FCloseBtnState | UI_CLOSE_PUSHED);
        return;
    }
    case WM_MOUSEMOVE: {
        TUiBalloonWindow::Dispatch(Message);
        if (!FShowCloseBtn) return;
        const TPoint P = PointFromLParam(Message.LParam);
        if (!PtInRect(FCloseRect, P) || GlobalCtrl()->Designing())
            SetCloseState(UI_CLOSE_FLAT);
        else
            SetCloseState((FCloseBtnState & UI_CLOSE_PUSHED) ? 0x5200 : 0x5000);
        return;
    }
    case WM_LBUTTONUP: {
        if (FShowCloseBtn && (FCloseBtnState & UI_CLOSE_PUSHED)) {
            SetCloseState(FCloseBtnState & ~UI_CLOSE_PUSHED);
            if (PtInRect(FCloseRect, PointFromLParam(Message.LParam))) {
                // A press and release on the close button is no click of the
                // balloon.
                TControlState S = ControlState();
                S.Exclude(csClicked);
                SetControlState(S);
                bool CanClose = true;
                if (FBalloonHint->OnCloseBtnClick)
                    FBalloonHint->OnCloseBtnClick(FBalloonHint, CanClose);
                if (CanClose) FBalloonHint->HideBalloon();
            }
        }
        TUiBalloonWindow::Dispatch(Message);
        return;
    }
    case CM_MOUSELEAVE:
        // Leaving the balloon straight from the button is leaving the button
        // too: no move outside it may ever come.
        TUiBalloonWindow::Dispatch(Message);
        if (FShowCloseBtn) SetCloseState(UI_CLOSE_FLAT);
        return;
    case WM_ACTIVATEAPP:
        TUiBalloonWindow::Dispatch(Message);
        if (Message.WParam == 0 || !FHasAnchor || !FBalloonHint->Shown()) return;
        if (!Visible()) {
            if (!AnchorOnScreen()) return;
            SetVisible(true); // held back while the program was away
        }
        UpdateZOrder();
        return;
    default:
        TUiBalloonWindow::Dispatch(Message);
    }
}

// ---------------------------------------------------------------------------
// TUiBalloonHint

TUiBalloonHint::TUiBalloonHint(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = new TUiBalloonWindowEx(this);
    GlobalCtrl()->RegisterBalloon(this);
}

TUiBalloonHint::~TUiBalloonHint() {
    Destroying();
    HideBalloon();
    StopTimer();
    if (FTimerWnd != nullptr) DeallocateHWnd(FTimerWnd);
    FTimerWnd = nullptr;
    if (FImages != nullptr) FImages->RemoveFreeNotification(this);
    if (GCtrl != nullptr) GCtrl->UnregisterBalloon(this);
}

void TUiBalloonHint::SetImages(TCustomImageList* Value) {
    ReplaceComponentReference(this, Value, FImages);
}

bool TUiBalloonHint::UseBalloonAsApplicationHint() const {
    return GlobalCtrl()->ApplicationHintMode();
}

void TUiBalloonHint::SetUseBalloonAsApplicationHint(bool Value) {
    GlobalCtrl()->SetApplicationHintMode(Value);
}

void TUiBalloonHint::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) FImages = nullptr;
    if (AComponent == FData.AnchorForm) {
        // The form goes away under the balloon: nothing may point at it. Its
        // hook chain went with it, and the hook service forgets it on its own.
        FHooked = false;
        HideBalloon();
        FData.AnchorForm = nullptr;
    }
    if (AComponent == FAnchorWindow) {
        FAnchorHooked = false;
        HideBalloon();
        FAnchorWindow = nullptr;
    }
}

void TUiBalloonHint::ReleaseAnchor() {
    if (FHooked && FData.AnchorForm != nullptr)
        RemoveWndProcHook(FData.AnchorForm, hoBeforeMsg, HookMethod());
    FHooked = false;
    if (FAnchorHooked && FAnchorWindow != nullptr)
        RemoveWndProcHook(FAnchorWindow, hoBeforeMsg, AnchorHookMethod());
    FAnchorHooked = false;
}

bool TUiBalloonHint::AnchorHook(TMessage& Message) {
    if (Message.Msg == CM_SHOWINGCHANGED && FShown && FAnchorWindow != nullptr &&
        !FAnchorWindow->Showing())
        HideBalloon();
    return false;
}

void TUiBalloonHint::ShowBalloon(TControl* Control, const std::string& Text, int VisibleTime,
                                 const std::string& Header) {
    if (Control == nullptr) return;
    HideBalloon();
    if (FData.AnchorForm != nullptr) FData.AnchorForm->RemoveFreeNotification(this);
    FData.Text = Text;
    FData.Header = Header;
    FData.VisibleTime = VisibleTime;
    FData.IconKind = ikNone;

    // Anchor: the middle of the control's bottom edge, in its form's client
    // coordinates.
    TCustomForm* Form = dynamic_cast<TCustomForm*>(Control);
    if (Form == nullptr) Form = GetParentForm(Control);
    FData.AnchorForm = Form;
    TPoint ScreenAnchor;
    if (Form == Control) {
        FData.AnchorPoint = {Form->Width() / 2, Form->ClientHeight()};
        ScreenAnchor = Form->ClientToScreen(FData.AnchorPoint);
    } else {
        const TPoint P{Control->Width() / 2, Control->Height()};
        FData.AnchorPoint = Form != nullptr ? Control->ClientToParent(P, Form) : P;
        ScreenAnchor = Control->ClientToScreen(P);
    }
    FData.SwitchHeight = Control->Height();
    if (Form != nullptr) Form->FreeNotification(this);
    TWinControl* Window = dynamic_cast<TWinControl*>(Control);
    if (Window == nullptr) Window = Control->Parent();
    if (Window == Form) Window = nullptr; // the form's own hook watches it
    if (Window != FAnchorWindow) {
        if (FAnchorWindow != nullptr) FAnchorWindow->RemoveFreeNotification(this);
        FAnchorWindow = Window;
        if (Window != nullptr) Window->FreeNotification(this);
    }

    if (FOptions.Contains(boUseDefaultHeader)) FData.Header = FDefaultHeader;
    if (FOptions.Contains(boUseDefaultIcon)) FData.IconKind = FDefaultIcon;
    if (FOptions.Contains(boUseDefaultImageIndex)) FData.ImageIndex = FDefaultImageIndex;
    FData.ShowCloseBtn = FOptions.Contains(boShowCloseBtn);
    if (FOptions.Contains(boCustomAnimation)) {
        FData.AnimationStyle = FCustomAnimationStyle;
        FData.AnimationTime = FCustomAnimationTime;
    } else {
        // No system tooltip-animation setting here: it counts as off.
        FData.AnimationStyle = atNone;
        FData.AnimationTime = 100;
    }

    FShown = true;
    if (Form != nullptr) FHooked = InstallWndProcHook(Form, hoBeforeMsg, HookMethod());
    if (FAnchorWindow != nullptr)
        FAnchorHooked = InstallWndProcHook(FAnchorWindow, hoBeforeMsg, AnchorHookMethod());

    int Max = FMaxWidth;
    if (Max == 0) Max = Screen != nullptr ? Screen->Width() : 1024;
    TRect R;
    FWindow->CalcBalloonRect(Max, FData.Text, R, &FData);
    OffsetRect(R, ScreenAnchor.X, ScreenAnchor.Y);
    if (FOptions.Contains(boPlaySound)) GlobalCtrl()->PlaySound(FData.IconKind);
    FWindow->ShowBalloonAt(R);

    const TRect B = FWindow->BoundsRect();
    const TPoint Stem = FWindow->StemPointOf(B);
    if (Form != nullptr) {
        FData.AnchorPoint = Form->ScreenToClient({B.Left, B.Top});
        FData.StemPoint = Form->ScreenToClient(Stem);
    } else {
        FData.AnchorPoint = {B.Left, B.Top};
        FData.StemPoint = Stem;
    }
    if (FData.VisibleTime > 0) StartTimer();
}

void TUiBalloonHint::HideBalloon() {
    if (!FShown) return;
    FShown = false;
    StopTimer();
    ReleaseAnchor();
    if (GetCaptureControl() == FWindow) SetCaptureControl(nullptr);
    FWindow->SetVisible(false);
    if (OnClose) OnClose(this);
}

void TUiBalloonHint::StartTimer() {
    StopTimer();
    if (FTimerWnd == nullptr) FTimerWnd = AllocateHWnd([this](TMessage& M) { TimerWndProc(M); });
    FTimerRunning = SetTimer(FTimerWnd, 1, UINT(FData.VisibleTime)) != 0;
    if (!FTimerRunning) HideBalloon();
}

void TUiBalloonHint::StopTimer() {
    if (FTimerRunning && FTimerWnd != nullptr) KillTimer(FTimerWnd, 1);
    FTimerRunning = false;
}

void TUiBalloonHint::TimerWndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) return;
    try {
        HideBalloon();
    } catch (...) {
        if (Application != nullptr) Application->HandleException(this);
    }
}

bool TUiBalloonHint::FormHook(TMessage& Message) {
    TCustomForm* Form = FData.AnchorForm;
    if (!FShown || Form == nullptr) return false;
    switch (Message.Msg) {
    case WM_MOVE: {
        const TPoint P = Form->ClientToScreen(FData.AnchorPoint);
        FWindow->SetBounds(P.X, P.Y, FWindow->Width(), FWindow->Height());
        break;
    }
    case WM_SIZE: {
        // Minimising hides the window only; restoring brings it back.
        const bool Minimized = Message.WParam == 1 || Form->WindowState() == wsMinimized;
        if (Minimized) {
            FWindow->SetVisible(false);
            break;
        }
        // The stem may sit on the client area's bottom edge (a balloon under
        // the form itself): edges count as inside.
        const TRect C = Form->ClientRect();
        const TPoint& S = FData.StemPoint;
        if (S.X < C.Left || S.X > C.Right || S.Y < C.Top || S.Y > C.Bottom) {
            HideBalloon();
            break;
        }
        if (!FWindow->Visible() && FWindow->AnchorOnScreen()) FWindow->SetVisible(true);
        break;
    }
    case WM_CLOSE:
        HideBalloon();
        break;
    case WM_ACTIVATE:
        if (Message.WParam == 0)
            FWindow->PlaceBelowActive();
        else
            SetWindowTopmost(FWindow, true);
        break;
    case WM_NCACTIVATE:
    case WM_EXITSIZEMOVE:
        SetWindowTopmost(FWindow, true);
        break;
    case WM_WINDOWPOSCHANGED:
        if (Form->WindowState() == wsMinimized)
            FWindow->SetVisible(false);
        else if (!FWindow->Visible() && FWindow->AnchorOnScreen())
            FWindow->SetVisible(true);
        break;
    default:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------
// TGlobalCtrl

void SetBalloonSoundPlayer(TUiSoundPlayer Player) {
    SoundPlayer() = Player ? std::move(Player) : TUiSoundPlayer(PlayThroughDesktop);
}

TGlobalCtrl::TGlobalCtrl(TComponent* AOwner) : TComponent(AOwner) {
    LoadSounds();
}

TGlobalCtrl::~TGlobalCtrl() {
    Destroying();
    if (GCtrl == this) GCtrl = nullptr;
}

void TGlobalCtrl::LoadSounds() {
    static constexpr const char* Events[7] = {
        "SystemNotification", "SystemNotification", "SystemNotification", "SystemHand",
        "SystemAsterisk",     "SystemQuestion",     "SystemExclamation"};
    for (int K = 0; K < 7; ++K) {
        TRegistry Reg(KEY_READ);
        Reg.SetRootKey(HKEY_CURRENT_USER);
        const std::string Key =
            std::string("\\AppEvents\\Schemes\\Apps\\.Default\\") + Events[K] + "\\.Current";
        try {
            if (Reg.OpenKeyReadOnly(Key)) FSounds[K] = ExpandEnvironment(Reg.ReadString(""));
        } catch (const Exception&) {
            FSounds[K].clear(); // a value of another type plays nothing
        }
    }
}

void TGlobalCtrl::RegisterBalloon(TUiBalloonHint* Hint) {
    FList.push_back(Hint);
    FDesigning = Hint->ComponentState().Contains(csDesigning);
}

void TGlobalCtrl::UnregisterBalloon(TUiBalloonHint* Hint) {
    const auto It = std::find(FList.begin(), FList.end(), Hint);
    if (It == FList.end()) return;
    FList.erase(It);
    if (Hint == FDefault) FDefault = nullptr;
    if (FList.empty()) SetApplicationHintMode(false);
}

TUiBalloonHint* TGlobalCtrl::MainComponent() {
    if (!FList.empty()) return FList.front();
    if (FDefault == nullptr) FDefault = new TUiBalloonHint(this);
    return FDefault;
}

TSize TGlobalCtrl::IconSize(TUiIconKind Kind, int ImageIndex, TCustomImageList* Images) const {
    if (Kind == ikCustom && Images != nullptr && ImageIndex >= 0 && ImageIndex < Images->Count())
        return {Images->Width(), Images->Height()};
    if (Kind == ikNone) return {0, 0};
    return {SmallIconSize, SmallIconSize};
}

void TGlobalCtrl::DrawIcon(TCanvas* Canvas, int X, int Y, TColor, int ImageIndex, TUiIconKind Kind,
                           TCustomImageList* Images) {
    if (Kind == ikNone) return;
    if (Kind == ikCustom) {
        if (Images != nullptr && ImageIndex >= 0 && ImageIndex < Images->Count()) {
            Images->Draw(Canvas, X, Y, ImageIndex, true);
            return;
        }
        Kind = ikInformation;
    }
    // The desktop's own pictures of the five system icons, read once.
    static const TDesktopIcon Kinds[] = {diApplication, diError, diInformation, diQuestion,
                                         diWarning};
    const int Slot = Kind == ikApplication ? 0
                     : Kind == ikError     ? 1
                     : Kind == ikQuestion  ? 3
                     : Kind == ikWarning   ? 4
                                           : 2;
    if (!FIcons[Slot]) {
        FIcons[Slot] = std::make_unique<TIcon>();
        std::vector<std::uint8_t> Bytes;
        if (DesktopIcon(Kinds[Slot], SmallIconSize, Bytes)) {
            TMemoryStream M;
            M.WriteBuffer(Bytes.data(), std::int64_t(Bytes.size()));
            M.SetPosition(0);
            FIcons[Slot]->LoadFromStream(M);
        }
    }
    if (!FIcons[Slot]->Empty()) Canvas->Draw(X, Y, FIcons[Slot].get());
}

void TGlobalCtrl::PlaySound(TUiIconKind Kind) {
    const std::string& F = FSounds[Kind];
    if (!F.empty() && SoundPlayer()) SoundPlayer()(F);
}

void TGlobalCtrl::SetApplicationHintMode(bool Value) {
    // The application's hint system keeps its own window here; the flag is
    // what the components share.
    if (FDesigning || Value == FApplicationHint) {
        FApplicationHint = Value;
        return;
    }
    FApplicationHint = Value;
    if (Application != nullptr) Application->CancelHint();
}

TGlobalCtrl* GlobalCtrl() {
    if (GCtrl == nullptr) GCtrl = new TGlobalCtrl(nullptr);
    return GCtrl;
}

void FinalizeBalloonHints() {
    delete GCtrl;
    GCtrl = nullptr;
}
