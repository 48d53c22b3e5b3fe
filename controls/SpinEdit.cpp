#include "controls/SpinEdit.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/base/Convert.h"
#include "platform/base/FloatText.h"
#include "platform/base/Format.h"
#include "platform/base/Rounding.h"
#include "platform/base/Text.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/TextRender.h"

namespace {

TSpinBeepProc GBeep = nullptr;

void MessageBeep() {
    if (GBeep != nullptr) GBeep();
}

// SM_CXVSCROLL and SM_CYBORDER of the fixed system metrics.
constexpr int CXVScroll = 17;
constexpr int CYBorder = 1;

const char* const SRangeError = "La valeur doit être comprise entre %g et %g";

} // namespace

void SetSpinBeepProc(TSpinBeepProc Proc) {
    GBeep = Proc;
}

std::string SpinFormatFloat(const std::string& Fmt, double Value) {
    bool Thousands = false, SeenPoint = false;
    int MinInt = 0, MinDec = 0, MaxDec = 0;
    for (char C : Fmt) {
        if (C == '.')
            SeenPoint = true;
        else if (C == ',' && !SeenPoint)
            Thousands = true;
        else if (C == '0')
            SeenPoint ? (++MinDec, ++MaxDec) : ++MinInt;
        else if (C == '#' && SeenPoint)
            ++MaxDec;
    }
    if (!std::isfinite(Value)) return FloatToStr(Value);
    const TFormatSettings& FS = FormatSettings();
    // Round once at the requested decimals, then drop optional zeros.
    std::string S =
        FloatToTextFixed(Value, MaxDec, FS.DecimalSeparator, Thousands ? FS.ThousandSeparator : 0);
    if (MaxDec > MinDec) {
        const std::size_t Point = S.find(FS.DecimalSeparator);
        if (Point != std::string::npos) {
            std::size_t Keep = Point + 1 + std::size_t(MinDec);
            std::size_t End = S.size();
            while (End > Keep && S[End - 1] == '0')
                --End;
            if (End == Point + 1) End = Point;
            S.erase(End);
        }
    }
    const bool Neg = !S.empty() && S[0] == '-';
    std::string Body = Neg ? S.substr(1) : S;
    if (MinInt == 0 && Body.size() > 1 && Body[0] == '0' && Body[1] == FS.DecimalSeparator)
        Body.erase(0, 1);
    // "-0" only when a digit other than zero is shown.
    const bool AllZero = Body.find_first_of("123456789") == std::string::npos;
    return (Neg && !AllZero ? "-" : "") + Body;
}

// ---------------------------------------------------------------------------
// TCtlSpinButton

TCtlSpinButton::TCtlSpinButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FUpGlyph(std::make_unique<TBitmap>()),
      FDownGlyph(std::make_unique<TBitmap>()), FRepeatTimer(std::make_unique<TTimer>(nullptr)) {
    SetBounds(0, 0, 20, 20);
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->OnTimer = [this](TObject* S) { TimerTick(S); };
}

TCtlSpinButton::~TCtlSpinButton() = default;

void TCtlSpinButton::SetButtonStyle(TrSpinButtonStyle Value) {
    if (FButtonStyle == Value) return;
    FButtonStyle = Value;
    for (auto& F : FFaces)
        F.reset();
    Invalidate();
}

TCtlSpinButton::TSpinHalf TCtlSpinButton::HalfAt(int X, int Y) const {
    if (FButtonStyle == sbsClassic) return Y >= Height() / 2 ? shBottom : shTop;
    // Below the line from the bottom-left to the top-right corner:
    // Y > H - X * H / W, kept in integers.
    const std::int64_t W = std::max(Width(), 1), H = Height();
    return std::int64_t(Y) * W > H * (W - X) ? shBottom : shTop;
}

void TCtlSpinButton::FireHalf(TSpinHalf Half) {
    if (Half == shTop && OnTopClick) OnTopClick(this);
    if (Half == shBottom && OnBottomClick) OnBottomClick(this);
}

void TCtlSpinButton::SetDown(TSpinHalf Value) {
    if (FDown == Value) return;
    FDown = Value;
    Invalidate();
}

void TCtlSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled()) return;
    if (FFocusControl != nullptr && FFocusControl->TabStop() && FFocusControl->CanFocus() &&
        !FFocusControl->Focused())
        FFocusControl->SetFocus();
    const TSpinHalf Half = HalfAt(X, Y);
    FDragDown = Half;
    FireHalf(Half);
    SetDown(Half);
    FRepeatTimer->SetInterval(400);
    FRepeatTimer->SetEnabled(true);
}

void TCtlSpinButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (FDragDown == shNone) return;
    const bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    SetDown(Inside && HalfAt(X, Y) == FDragDown ? FDragDown : shNone);
}

void TCtlSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    FRepeatTimer->SetEnabled(false);
    FDragDown = shNone;
    SetDown(shNone);
}

void TCtlSpinButton::TimerTick(TObject*) {
    FRepeatTimer->SetInterval(100);
    if (FDown == shNone || GetCaptureControl() != this) return;
    try {
        FireHalf(FDown);
    } catch (...) {
        FRepeatTimer->SetEnabled(false);
        throw;
    }
}

TBitmap* TCtlSpinButton::Face(TSpinHalf Half) {
    auto& F = FFaces[Half];
    if (!F || F->Width() != Width() || F->Height() != Height()) {
        F = std::make_unique<TBitmap>();
        F->SetSize(Width(), Height());
        DrawFace(F.get(), Half);
    }
    return F.get();
}

void TCtlSpinButton::DrawFace(TBitmap* Bmp, TSpinHalf Half) {
    TCanvas* C = Bmp->Canvas();
    const int W = Width(), H = Height();
    C->Brush()->SetColor(clBtnFace);
    C->FillRect({0, 0, W, H});
    auto Edge = [C](const std::vector<TPoint>& Lit, const std::vector<TPoint>& Dark, bool Sunken) {
        C->Pen()->SetColor(Sunken ? clBtnShadow : clBtnHighlight);
        C->Polyline(Lit);
        C->Pen()->SetColor(Sunken ? clBtnHighlight : clBtnShadow);
        C->Polyline(Dark);
    };
    auto Arrow = [C](int Cx, int Cy, bool Up) {
        C->Brush()->SetColor(clBtnText);
        C->Pen()->SetColor(clBtnText);
        const int D = Up ? -1 : 1;
        const std::array<TPoint, 3> P{TPoint{Cx - 3, Cy - D}, TPoint{Cx + 3, Cy - D},
                                      TPoint{Cx, Cy + 2 * D}};
        C->Polygon(P);
    };
    auto Glyph = [C, &Arrow](TBitmap* G, int Cx, int Cy, bool Up) {
        if (G->Empty()) {
            Arrow(Cx, Cy, Up);
            return;
        }
        G->SetTransparent(true);
        C->Draw(Cx - G->Width() / 2, Cy - G->Height() / 2, G);
    };
    if (FButtonStyle == sbsDefault) {
        const bool TopDown = Half == shTop, BottomDown = Half == shBottom;
        Edge({{0, H - 1}, {0, 0}, {W - 1, 0}}, {{W - 1, 0}, {0, H - 1}}, TopDown);
        Edge({{W - 1, 0}, {0, H - 1}}, {{0, H - 1}, {W - 1, H - 1}, {W - 1, 0}}, BottomDown);
        const int ShiftT = TopDown ? 1 : 0, ShiftB = BottomDown ? 1 : 0;
        Glyph(FUpGlyph.get(), W / 4 + ShiftT, H / 4 + ShiftT, true);
        Glyph(FDownGlyph.get(), 3 * W / 4 + ShiftB, 3 * H / 4 + ShiftB, false);
    } else {
        const int Mid = H / 2;
        Edge({{0, Mid - 1}, {0, 0}, {W - 1, 0}}, {{W - 1, 0}, {W - 1, Mid - 1}, {0, Mid - 1}},
             Half == shTop);
        Edge({{0, H - 1}, {0, Mid}, {W - 1, Mid}}, {{W - 1, Mid}, {W - 1, H - 1}, {0, H - 1}},
             Half == shBottom);
        Glyph(FUpGlyph.get(), W / 2, Mid / 2 + (Half == shTop ? 1 : 0), true);
        Glyph(FDownGlyph.get(), W / 2, Mid + (H - Mid) / 2 + (Half == shBottom ? 1 : 0), false);
    }
}

void TCtlSpinButton::Paint() {
    Canvas()->Draw(0, 0, Face(FDown));
}

// ---------------------------------------------------------------------------
// TCtlUpDown

TCtlUpDown::TCtlUpDown(TComponent* AOwner) : TCustomUpDown(AOwner) {
    SetOrientation(udVertical);
    SetMin(-1);
    SetMax(1);
    SetPosition(0);
    SetWidth(std::min(CXVScroll, 15));
}

// ---------------------------------------------------------------------------
// TCtlCustomSpinEdit

namespace {
// The parent window of the painted buttons.
class TSpinButtonHost : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
};
} // namespace

TCtlCustomSpinEdit::TCtlCustomSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
    SetText("0");
    RecreateButtons();
}

TCtlCustomSpinEdit::~TCtlCustomSpinEdit() = default;

double TCtlCustomSpinEdit::CheckValue(double X) const {
    if (FCheckMinValue && X < FMinValue) X = FMinValue;
    if (FCheckMaxValue && X > FMaxValue) X = FMaxValue;
    return X;
}

void TCtlCustomSpinEdit::BoundChanged(double Old, double New) {
    if ((Old == 0) != (New == 0)) {
        const bool Any = FMinValue != 0 || FMaxValue != 0;
        if (FAutoMin) FCheckMinValue = Any;
        if (FAutoMax) FCheckMaxValue = Any;
    }
    SetValue(GetValue());
}

void TCtlCustomSpinEdit::SetMinValue(double Value) {
    if (Value == FMinValue) return;
    const double Old = FMinValue;
    FMinValue = Value;
    BoundChanged(Old, Value);
}

void TCtlCustomSpinEdit::SetMaxValue(double Value) {
    if (Value == FMaxValue) return;
    const double Old = FMaxValue;
    FMaxValue = Value;
    BoundChanged(Old, Value);
}

void TCtlCustomSpinEdit::SetCheckMinValue(bool Value) {
    if (ComponentState().Contains(csLoading)) FAutoMin = false;
    FCheckMinValue = FMinValue != 0 ? true : Value;
    SetValue(GetValue());
}

void TCtlCustomSpinEdit::SetCheckMaxValue(bool Value) {
    if (ComponentState().Contains(csLoading)) FAutoMax = false;
    FCheckMaxValue = FMaxValue != 0 ? true : Value;
    SetValue(GetValue());
}

bool TCtlCustomSpinEdit::IsCheckMinValueStored() const {
    return FMinValue == 0 && FCheckMinValue != (FMaxValue != 0);
}

bool TCtlCustomSpinEdit::IsCheckMaxValueStored() const {
    return FMaxValue == 0 && FCheckMaxValue != (FMinValue != 0);
}

void TCtlCustomSpinEdit::Loaded() {
    TCustomEdit::Loaded();
    FAutoMin = FAutoMax = true;
}

void TCtlCustomSpinEdit::SetDecimal(std::uint8_t Value) {
    if (Value == FDecimal) return;
    const double V = GetValue();
    FDecimal = Value;
    SetValue(V);
}

void TCtlCustomSpinEdit::SetDisplayFormat(const std::string& Value) {
    if (Value == FDisplayFormat) return;
    FDisplayFormat = Value;
    Invalidate();
}

void TCtlCustomSpinEdit::SetValueTypeImpl(TValueType Value) {
    if (Value == FValueType) return;
    const double V = GetValue();
    FValueType = Value;
    SetValue(V);
    if (FValueType == vtInteger || FValueType == vtHex) {
        FIncrement = double(RoundHalfEven(FIncrement));
        if (FIncrement == 0) FIncrement = 1;
    }
}

void TCtlCustomSpinEdit::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    if (HandleAllocated()) RecreateButtons();
}

void TCtlCustomSpinEdit::SetButtonKind(TSpinButtonKind Value) {
    if (Value == FButtonKind) return;
    FButtonKind = Value;
    RecreateButtons();
}

void TCtlCustomSpinEdit::RecreateButtons() {
    delete FUpDown;
    FUpDown = nullptr;
    delete FButtonHost; // frees FButton, its child
    FButtonHost = nullptr;
    FButton = nullptr;
    if (FButtonKind == bkStandard) {
        FUpDown = new TCtlUpDown(nullptr);
        FUpDown->SetParent(this);
        // A click takes the focus to the edit first.
        FUpDown->OnClick = [this](TObject*, TUDBtnType) {
            if (TabStop() && CanFocus() && !Focused()) SetFocus();
        };
    } else {
        FButtonHost = new TSpinButtonHost(nullptr);
        FButtonHost->SetParent(this);
        FButton = new TCtlSpinButton(nullptr);
        FButton->SetParent(FButtonHost);
        FButton->SetFocusControl(this);
        FButton->SetButtonStyle(FButtonKind == bkClassic ? sbsClassic : sbsDefault);
        FButton->OnTopClick = [this](TObject* S) { UpClick(S); };
        FButton->OnBottomClick = [this](TObject* S) { DownClick(S); };
    }
    LayoutButtons();
}

void TCtlCustomSpinEdit::LayoutButtons() {
    if (FUpDown != nullptr) {
        const int W = std::min(CXVScroll, 15);
        const int X = Width() - W;
        FUpDown->SetBounds(X, 0, W, Height());
        FUpDown->SetEnabled(Enabled());
    }
    if (FButtonHost != nullptr) {
        const int S = std::max(Height() - 3, 0);
        FButtonHost->SetBounds(std::max(Width() - S - 3, 0), 0, S, S);
        FButton->SetBounds(1, 1, std::max(S - 2, 0), std::max(S - 2, 0));
        FButtonHost->SetEnabled(Enabled());
        FButton->SetEnabled(Enabled());
    }
}

void TCtlCustomSpinEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int MinHeight = GetTextMetric(Font()->LogFont()).Height + 4 * CYBorder + 1;
    TCustomEdit::SetBounds(ALeft, ATop, AWidth, std::max(AHeight, MinHeight));
    LayoutButtons();
}

void TCtlCustomSpinEdit::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
}

void TCtlCustomSpinEdit::Change() {
    if (!FChanging) TCustomEdit::Change();
}

void TCtlCustomSpinEdit::Step(double Delta, const TNotifyEvent& After) {
    if (ReadOnly()) {
        MessageBeep();
        return;
    }
    const std::string Old = Text();
    FChanging = true;
    try {
        SetValue(GetValue() + Delta);
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
    if (!SameText(Old, Text())) {
        SetModified(true);
        Change();
    }
    if (After) After(this);
}

void TCtlCustomSpinEdit::UpClick(TObject*) {
    Step(FIncrement, OnTopClick);
}

void TCtlCustomSpinEdit::DownClick(TObject*) {
    Step(-FIncrement, OnBottomClick);
}

bool TCtlCustomSpinEdit::IsValidChar(char32_t Key) {
    const char Dec = FormatSettings().DecimalSeparator;
    bool Ok = Key == '+' || Key == '-' || (Key >= '0' && Key <= '9') || Key < 32;
    if (!Ok && FValueType == vtFloat) {
        if ((Key == '.' || Key == char32_t(Dec)) && Text().find(Dec) == std::string::npos)
            Ok = true;
        else if ((Key == 'E' || Key == 'e') && UpperCase(Text()).find('E') == std::string::npos)
            Ok = true;
    }
    if (!Ok && FValueType == vtHex) Ok = (Key >= 'A' && Key <= 'F') || (Key >= 'a' && Key <= 'f');
    if (Ok && !FEditorEnabled && (Key == 8 || (Key >= 32 && Key <= 255))) Ok = false;
    return Ok;
}

void TCtlCustomSpinEdit::KeyDown(Word& Key, TShiftState Shift) {
    if (FArrowKeys && (Key == VK_UP || Key == VK_DOWN)) {
        if (Key == VK_UP)
            UpClick(this);
        else
            DownClick(this);
        Key = 0;
        return;
    }
    // The clipboard keys go through the checks instead of the native edit.
    const bool Ctrl = Shift.Contains(ssCtrl), Sh = Shift.Contains(ssShift);
    if ((Ctrl && Key == 'V') || (Sh && Key == VK_INSERT)) {
        PasteFromClipboard();
        Key = 0;
        return;
    }
    if ((Ctrl && Key == 'X') || (Sh && Key == VK_DELETE)) {
        CutToClipboard();
        Key = 0;
        return;
    }
    TCustomEdit::KeyDown(Key, Shift);
}

void TCtlCustomSpinEdit::KeyPress(char32_t& Key) {
    if (!IsValidChar(Key)) {
        Key = 0;
        MessageBeep();
    }
    if (Key == '.') Key = char32_t(FormatSettings().DecimalSeparator);
    if (Key != 0) TCustomEdit::KeyPress(Key);
    if (Key == '\r' || Key == 27) {
        if (TCustomForm* Form = GetParentForm(this)) {
            const Word VK = Key == '\r' ? VK_RETURN : VK_ESCAPE;
            Form->Perform(CM_DIALOGKEY, VK, 0);
            if (Key == '\r') Key = 0;
        }
    }
}

void TCtlCustomSpinEdit::PasteText(const std::string& Value) {
    if (!FEditorEnabled || ReadOnly()) return;
    const double Old = GetValue();
    SetSelText(Value);
    double Parsed;
    if (!TryStrToFloat(Trim(Text()), Parsed)) SetValue(Old);
}

void TCtlCustomSpinEdit::PasteFromClipboard() {
    if (!FEditorEnabled || ReadOnly()) return;
    PasteText(Clipboard()->AsText());
}

void TCtlCustomSpinEdit::CutToClipboard() {
    if (!FEditorEnabled || ReadOnly() || SelLength() == 0) return;
    Clipboard()->SetAsText(SelText());
    ClearSelection();
}

void TCtlCustomSpinEdit::DoEnter() {
    FFocused = true;
    ReshowFocusedText();
    TCustomEdit::DoEnter();
}

void TCtlCustomSpinEdit::DoExit() {
    FFocused = false;
    ReshowFocusedText();
    try {
        if (FCheckOnExit && !ComponentState().Contains(csDesigning)) {
            const double V = GetValue();
            if (CheckValue(V) != V) throw ERangeError(Format(SRangeError, {FMinValue, FMaxValue}));
            SetValue(V);
        }
    } catch (...) {
        FFocused = true;
        SelectAll();
        if (CanFocus()) SetFocus();
        throw;
    }
    TCustomEdit::DoExit();
}

void TCtlCustomSpinEdit::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_VSCROLL:
        if (FUpDown != nullptr && Message.LParam == reinterpret_cast<LPARAM>(FUpDown)) {
            if ((Message.WParam & 0xFFFF) == SB_THUMBPOSITION && !FInScroll) {
                const int Pos = std::int16_t(std::uint16_t(Message.WParam >> 16));
                FInScroll = true;
                try {
                    if (Pos > 0) UpClick(this);
                    if (Pos < 0) DownClick(this);
                } catch (...) {
                    FInScroll = false;
                    FUpDown->SetPosition(0);
                    throw;
                }
                FInScroll = false;
                FUpDown->SetPosition(0);
            }
            return;
        }
        break;
    case WM_PASTE: // from the context menu: the same checks as the keys
        PasteFromClipboard();
        return;
    case WM_CUT:
        CutToClipboard();
        return;
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
        TCustomEdit::Dispatch(Message);
        SetBounds(Left(), Top(), Width(), Height());
        return;
    default:
        break;
    }
    TCustomEdit::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TCtlSpinEdit

TCtlSpinEdit::TCtlSpinEdit(TComponent* AOwner) : TCtlCustomSpinEdit(AOwner) {}

void TCtlSpinEdit::SetValueImpl(double X) {
    X = CheckValue(X);
    switch (FValueType) {
    case vtFloat:
        if (!FDisplayFormat.empty())
            SetText(SpinFormatFloat(FDisplayFormat, X));
        else
            SetText(FloatToTextFixed(X, FDecimal, FormatSettings().DecimalSeparator, 0));
        break;
    case vtHex:
        SetText(IntToHex(RoundHalfEven(X), 1));
        break;
    case vtInteger:
        SetText(IntToStr(RoundHalfEven(X)));
        break;
    }
    ReshowFocusedText();
}

void TCtlSpinEdit::ReshowFocusedText() {
    if (FValueType != vtFloat || !FFocused || FDisplayFormat.empty()) return;
    const std::string Editing = FDecimal == 0 ? "0" : "0." + std::string(FDecimal, '#');
    const double V = GetValue();
    SetText(SpinFormatFloat(Editing, V));
}

double TCtlSpinEdit::GetValue() {
    const TFormatSettings& FS = FormatSettings();
    const char Dec = FS.DecimalSeparator, Thou = FS.ThousandSeparator;
    double V = 0;
    switch (FValueType) {
    case vtFloat: {
        std::string S = Trim(Text());
        if (!FDisplayFormat.empty()) {
            if (Thou != Dec) S.erase(std::remove(S.begin(), S.end(), Thou), S.end());
            for (char& C : S)
                if ((C == '.' || C == ',') && C != Thou) C = Dec;
            if (S.empty()) S = "0";
            if (S == "-") S = "-0";
        }
        return TryStrToFloat(S, V) ? V : FMinValue;
    }
    case vtHex: {
        std::int64_t N;
        return TryStrToInt64("$" + Text(), N) ? double(N) : double(RoundHalfEven(FMinValue));
    }
    case vtInteger: {
        std::int64_t N;
        return TryStrToInt64(Text(), N) ? double(N) : double(RoundHalfEven(FMinValue));
    }
    }
    return FMinValue;
}

void RegisterSpinEditClasses() {
    if (ClassPropertiesRegistered("TCtlSpinEdit")) return;
    using E = TCtlCustomSpinEdit;
    TPublishedProperties<E>("TCtlCustomSpinEdit", "TComponent").Register();
    TPublishedProperties<TCtlSpinEdit>("TCtlSpinEdit", "TCtlCustomSpinEdit")
        .Boolean("CheckOnExit", &E::CheckOnExit, &E::SetCheckOnExit)
        .Default(0)
        .Boolean("CheckMinValue", &E::CheckMinValue, &E::SetCheckMinValue)
        .Stored(&E::IsCheckMinValueStored)
        .Boolean("CheckMaxValue", &E::CheckMaxValue, &E::SetCheckMaxValue)
        .Stored(&E::IsCheckMaxValueStored)
        .Enumeration("Alignment", &E::Alignment, &E::SetAlignment,
                     {"taLeftJustify", "taRightJustify", "taCenter"})
        .Default(taLeftJustify)
        .Boolean("ArrowKeys", &E::ArrowKeys, &E::SetArrowKeys)
        .Default(1)
        .String("DisplayFormat", &E::DisplayFormat, &E::SetDisplayFormat)
        .Stored(&E::IsDisplayFormatStored)
        .Enumeration("ButtonKind", &E::ButtonKind, &E::SetButtonKind,
                     {"bkStandard", "bkDiagonal", "bkClassic"})
        .Default(bkDiagonal)
        .Integer("Decimal", &E::Decimal, &E::SetDecimal)
        .Default(2)
        .Boolean("EditorEnabled", &E::EditorEnabled, &E::SetEditorEnabled)
        .Default(1)
        .Float("Increment", &E::Increment, &E::SetIncrement)
        .Default(1.0)
        .Float("MaxValue", &E::MaxValue, &E::SetMaxValue)
        .Float("MinValue", &E::MinValue, &E::SetMinValue)
        .Enumeration("ValueType", &E::ValueType, &E::SetValueType,
                     {"vtInteger", "vtFloat", "vtHex"})
        .Default(E::vtInteger)
        .Float(
            "Value", [](E& S) { return S.Value(); }, [](E& S, double V) { S.SetValue(V); })
        .Register();
}
