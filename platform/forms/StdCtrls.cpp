#include "platform/forms/StdCtrls.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVariant>

#include "platform/base/Exception.h"
#include "platform/base/Format.h"
#include "platform/base/Text.h"
#include "platform/forms/QtBridge.h"
#include "platform/graphics/Bitmap.h"

namespace {

constexpr const char* ControlProperty = "qmStdControl";

// Signals of a widget reach its control only while the two are attached:
// the property is cleared when the control lets its widget go.
void Bind(QWidget* W, TWinControl* Control) {
    W->setProperty(ControlProperty, QVariant::fromValue(static_cast<void*>(Control)));
}
void Unbind(QWidget* W) {
    if (W != nullptr) W->setProperty(ControlProperty, QVariant());
}
template <class T> T* Bound(QObject* W) {
    const QVariant V = W->property(ControlProperty);
    return V.isValid() ? static_cast<T*>(V.value<void*>()) : nullptr;
}

QString Q(const std::string& S) {
    return QString::fromStdString(S);
}

std::u32string ToU32(const std::string& S) {
    std::u32string R;
    std::size_t Pos = 0;
    char32_t C;
    while (Pos < S.size())
        R += NextUtf8Char(S, Pos, C) ? C : char32_t(0xFFFD);
    return R;
}

std::string FromU32(std::u32string_view S) {
    std::string R;
    for (char32_t C : S)
        AppendUtf8(R, C);
    return R;
}

// Qt counts UTF-16 units; the controls count code points.
int Utf16ToCodePoints(const QString& S, int Units) {
    Units = std::clamp(Units, 0, int(S.size()));
    return int(S.left(Units).toUcs4().size());
}
int CodePointsToUtf16(const QString& S, int Points) {
    const std::u32string U = S.toStdU32String();
    Points = std::clamp(Points, 0, int(U.size()));
    return int(QString::fromStdU32String(U.substr(0, std::size_t(Points))).size());
}

TOwnerDrawState StateOf(const QStyleOptionViewItem& Option, bool Enabled) {
    TOwnerDrawState S;
    if (Option.state & QStyle::State_Selected) S.Include(odSelected);
    if (Option.state & QStyle::State_HasFocus) S.Include(odFocused);
    if (!Enabled) S.Include(odDisabled);
    return S;
}

} // namespace

// The canvas leaves alpha alone; a 0 alpha would make the picture vanish
// when painted on a surface that has an alpha channel.
void OpaqueImage(QImage& Img) {
    for (int Y = 0; Y < Img.height(); ++Y) {
        auto* Row = reinterpret_cast<std::uint32_t*>(Img.scanLine(Y));
        for (int X = 0; X < Img.width(); ++X)
            Row[X] |= 0xFF000000u;
    }
}

namespace {

// Paints a row through Draw on a canvas over a QImage, then shows the image.
template <class F> void PaintThroughCanvas(QPainter* P, const QRect& R, TCanvas* Canvas, F Draw) {
    if (R.width() <= 0 || R.height() <= 0) return;
    QImage Img(R.width(), R.height(), QImage::Format_RGB32);
    Img.fill(Qt::white);
    TPixelSurface S{Img.bits(), Img.width(), Img.height(), int(Img.bytesPerLine())};
    Canvas->SetSurface(S);
    Draw(Rect(0, 0, R.width(), R.height()));
    Canvas->SetSurface(TPixelSurface{});
    OpaqueImage(Img);
    P->drawImage(R.topLeft(), Img);
}

// Paints the rows of a combo or list box's native list through the box's
// PaintItem, at the heights its ItemHeightOf gives.
template <class TBox> class TItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* P, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        TBox* Box = Bound<TBox>(parent());
        if (Box == nullptr) return;
        const TOwnerDrawState State = StateOf(Option, Box->Enabled());
        PaintThroughCanvas(P, Option.rect, Box->Canvas(),
                           [&](const TRect& R) { Box->PaintItem(Index.row(), R, State); });
    }
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        TBox* Box = Bound<TBox>(parent());
        if (Box == nullptr) return QStyledItemDelegate::sizeHint(Option, Index);
        return QSize(Box->Width(), Box->ItemHeightOf(Index.row()));
    }
};

// The canvas of a combo or list box before an item is drawn: the box's font
// and colour, or the highlight colours for a selected item.
void PrepareItemCanvas(TCanvas* C, const TFont& Font, TColor Color, TOwnerDrawState State) {
    C->SetFont(Font);
    C->Brush()->SetStyle(bsSolid);
    if (State.Contains(odSelected)) {
        C->Brush()->SetColor(clHighlight);
        C->Font()->SetColor(clHighlightText);
    } else {
        C->Brush()->SetColor(Color);
    }
}

// The focused item is framed after it is drawn, whoever drew it.
void DrawItemFocus(TCanvas* C, const TRect& Rect, TOwnerDrawState State) {
    if (State.Contains(odFocused) && !State.Contains(odNoFocusRect)) C->DrawFocusRect(Rect);
}

// An item as drawn when no OnDrawItem paints it: its text on the brush.
void DrawItemText(TCanvas* C, const TRect& Rect, const TStrings* Items, int Index) {
    C->FillRect(Rect);
    if (Index < 0 || Index >= Items->Count()) return;
    // Centred in height: the closed box is higher than an item of its list.
    const std::string Text = Items->Get(Index);
    const int Top = Rect.Top + std::max(0, (Rect.Bottom - Rect.Top - C->TextHeight(Text)) / 2);
    C->TextOut(Rect.Left + 2, Top, Text);
}

// Refills the native list of a combo or list box; Pushing is set meanwhile so
// that what the widget signals is not taken for the user's doing.
template <class TWidget> void PushItemsTo(TWidget* W, const TStrings* Items, bool& Pushing) {
    Pushing = true;
    W->clear();
    for (int I = 0; I < Items->Count(); ++I)
        W->addItem(Q(Items->Get(I)));
    Pushing = false;
}

} // namespace

std::string StripHotkey(const std::string& Text) {
    std::string R;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '&') {
            if (I + 1 >= Text.size()) break;
            ++I;
        }
        R += Text[I];
    }
    return R;
}

bool IsAccel(Word Key, const std::string& Caption) {
    for (std::size_t I = 0; I + 1 < Caption.size(); ++I) {
        if (Caption[I] != '&') continue;
        const char C = Caption[++I];
        if (C == '&') continue;
        return (C >= 'a' && C <= 'z' ? C - 'a' + 'A' : C) == Key;
    }
    return false;
}

bool ClickOnHotKey(TControl* Control, TMessage& Message) {
    if (Message.Msg != CM_DIALOGCHAR || !Control->Enabled() || !Control->Showing() ||
        !IsAccel(Word(Message.WParam), Control->Caption()))
        return false;
    Control->Click();
    Message.Result = 1;
    return true;
}

// ---- TCustomLabel ----------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FControlStyle.Include(csOpaque);
    SetBounds(0, 0, 65, 17);
    SetColor(clBtnFace);
    SetParentColor(true);
}

std::string TCustomLabel::DisplayText() const {
    return FShowAccelChar ? StripHotkey(Caption()) : Caption();
}

void TCustomLabel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
    if (Value == FLayout) return;
    FLayout = Value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool Value) {
    if (Value == FWordWrap) return;
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    if (Value)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
    if (Value == FShowAccelChar) return;
    FShowAccelChar = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetEllipsisPosition(TEllipsisPosition Value) {
    if (Value == FEllipsisPosition) return;
    FEllipsisPosition = Value;
    Invalidate();
}

namespace {

// Line cut, whole characters at a time, until it fits Width with "…" after it.
std::string EndEllipsis(TCanvas* C, std::string Line, int Width) {
    if (C->TextWidth(Line) <= Width) return Line;
    const std::string Dots = "\xE2\x80\xA6";
    while (!Line.empty() && C->TextWidth(Line + Dots) > Width) {
        std::size_t Cut = Line.size() - 1;
        while (Cut > 0 && (static_cast<unsigned char>(Line[Cut]) & 0xC0) == 0x80)
            --Cut;
        Line.erase(Cut);
    }
    return Line + Dots;
}

// The lines a label shows: its text cut at each line break (CR LF, CR or
// LF) and, with word wrap, between words wherever a line would pass Width.
std::vector<std::string> LabelLines(TCanvas* C, const std::string& Text, bool Wrap, int Width) {
    std::vector<std::string> Lines;
    std::size_t Start = 0;
    while (true) {
        const std::size_t Break = Text.find_first_of("\r\n", Start);
        std::string Line = Text.substr(Start, Break == std::string::npos ? Break : Break - Start);
        if (Wrap && Width > 0) {
            while (C->TextWidth(Line) > Width) {
                std::size_t Cut = Line.rfind(' ');
                while (Cut != std::string::npos && Cut > 0 &&
                       C->TextWidth(Line.substr(0, Cut)) > Width)
                    Cut = Line.rfind(' ', Cut - 1);
                if (Cut == std::string::npos || Cut == 0) break;
                Lines.push_back(Line.substr(0, Cut));
                Line = Line.substr(Cut + 1);
            }
        }
        Lines.push_back(Line);
        if (Break == std::string::npos) break;
        Start = Break + (Text.compare(Break, 2, "\r\n") == 0 ? 2 : 1);
    }
    return Lines;
}

TSize LinesExtent(TCanvas* C, const std::vector<std::string>& Lines) {
    TSize Ext{0, 0};
    for (const std::string& L : Lines)
        Ext.cx = std::max(Ext.cx, C->TextWidth(L));
    Ext.cy = C->TextHeight(" ") * int(Lines.size());
    return Ext;
}

} // namespace

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize || ComponentState().Contains(csLoading)) return;
    TBitmap Measure(1, 1, pf32bit);
    TCanvas* C = Measure.Canvas();
    C->SetFont(*Font());
    const std::string Text = DisplayText();
    const TSize Ext = LinesExtent(C, LabelLines(C, Text, FWordWrap, Width()));
    const int W = Text.empty() ? 0 : Ext.cx;
    int X = Left();
    // A right-aligned label grows to the left, a centred one both ways.
    if (FAlignment == taRightJustify)
        X += Width() - W;
    else if (FAlignment == taCenter)
        X += (Width() - W) / 2;
    if (FWordWrap) {
        SetBounds(Left(), Top(), Width(), Ext.cy);
        return;
    }
    SetBounds(X, Top(), W, Ext.cy);
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
    FFocusControl = Value;
    if (Value != nullptr) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::Dispatch(TMessage& Message) {
    // Alt with the hot key of the caption puts the keyboard on the control
    // the label names.
    if (Message.Msg == CM_DIALOGCHAR && FFocusControl != nullptr && FShowAccelChar && Enabled() &&
        IsAccel(Word(Message.WParam), Caption()) && FFocusControl->CanFocus()) {
        FFocusControl->SetFocus();
        Message.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(Message);
    if (Message.Msg == CM_TEXTCHANGED || Message.Msg == CM_FONTCHANGED ||
        Message.Msg == CM_PARENTFONTCHANGED)
        AdjustBounds();
}

void TCustomLabel::Paint() {
    TCanvas* C = Canvas();
    const TRect R = ClientRect();
    if (!FTransparent) {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(Color());
        C->FillRect(R);
    }
    const std::string Text = DisplayText();
    if (Text.empty()) return;
    C->Brush()->SetStyle(bsClear);
    C->SetFont(*Font());
    if (!Enabled()) C->Font()->SetColor(clGrayText);
    const std::vector<std::string> Lines = LabelLines(C, Text, FWordWrap, R.Width());
    const TSize Ext = LinesExtent(C, Lines);
    int Y = 0;
    if (FLayout == tlBottom)
        Y = R.Height() - Ext.cy;
    else if (FLayout == tlCenter)
        Y = (R.Height() - Ext.cy) / 2;
    const int LineHeight = C->TextHeight(" ");
    for (std::string Line : Lines) {
        if (FEllipsisPosition == epEndEllipsis) Line = EndEllipsis(C, Line, R.Width());
        const int W = C->TextWidth(Line);
        int X = 0;
        if (FAlignment == taRightJustify)
            X = R.Width() - W;
        else if (FAlignment == taCenter)
            X = (R.Width() - W) / 2;
        C->TextRect(R, X, Y, Line);
        Y += LineHeight;
    }
}

// ---- TCustomEdit -----------------------------------------------------------

void ShowContextMenu(QMenu* Menu, const QPoint& At); // Menus.cpp

namespace {

// The native edit's context menu hands its cut, paste and delete to the
// control as messages, as the keys do: a control that checks what is
// pasted into it (a numeric edit) must see those entries too.
class TNativeLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void contextMenuEvent(QContextMenuEvent* Event) override {
        delete FMenu.data();
        FMenu = createStandardContextMenu();
        // The entries are known by the toolkit's own (translated) captions,
        // the shortcut text after the tab left aside.
        const std::pair<const char*, UINT> Routed[] = {
            {"Cu&t", WM_CUT}, {"&Paste", WM_PASTE}, {"Delete", WM_CLEAR}};
        for (QAction* A : FMenu->actions()) {
            const QString Caption = A->text().section(QLatin1Char('\t'), 0, 0);
            for (const auto& [Source, Msg] : Routed) {
                if (Caption != QCoreApplication::translate("QLineEdit", Source)) continue;
                QObject::disconnect(A, &QAction::triggered, nullptr, nullptr);
                const UINT M = Msg;
                QObject::connect(A, &QAction::triggered, this, [this, M] {
                    if (auto* C = Bound<TCustomEdit>(this)) C->Perform(M, 0, 0);
                });
            }
        }
        ShowContextMenu(FMenu, Event->globalPos());
        Event->accept();
    }

private:
    QPointer<QMenu> FMenu; // a child of the edit, kept until the next menu
};

} // namespace

class TEditBridge {
public:
    static void Connect(QLineEdit* E) {
        QObject::connect(E, &QLineEdit::textEdited, E, [E](const QString& T) {
            if (auto* C = Bound<TCustomEdit>(E))
                C->UserEdited(T.toStdString(), E->cursorPosition());
        });
        QObject::connect(E, &QLineEdit::selectionChanged, E, [E] {
            auto* C = Bound<TCustomEdit>(E);
            if (C == nullptr || C->FPushing) return;
            const QString T = E->text();
            if (E->hasSelectedText()) {
                C->FSelStart = Utf16ToCodePoints(T, E->selectionStart());
                C->FSelLength = Utf16ToCodePoints(T, E->selectionEnd()) - C->FSelStart;
            } else {
                C->FSelStart = Utf16ToCodePoints(T, E->cursorPosition());
                C->FSelLength = 0;
            }
        });
        QObject::connect(E, &QLineEdit::cursorPositionChanged, E, [E](int, int New) {
            auto* C = Bound<TCustomEdit>(E);
            if (C == nullptr || C->FPushing || E->hasSelectedText()) return;
            C->FSelStart = Utf16ToCodePoints(E->text(), New);
            C->FSelLength = 0;
        });
    }
};

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 121, 21);
    SetColor(clWindow);
    FTabStop = true;
}

TCustomEdit::~TCustomEdit() {
    Unbind(NativeWidget());
}

int TCustomEdit::TextLength() const {
    return int(Utf8Length(Text()));
}

std::string TCustomEdit::Normalized(const std::string& Value) const {
    std::string R = Value;
    if (FCharCase == ecUpperCase)
        R = AnsiUpperCase(R);
    else if (FCharCase == ecLowerCase)
        R = AnsiLowerCase(R);
    if (FMaxLength > 0) {
        const std::u32string U = ToU32(R);
        if (int(U.size()) > FMaxLength) R = FromU32(std::u32string_view(U).substr(0, FMaxLength));
    }
    return R;
}

void TCustomEdit::SetMaxLength(int Value) {
    Value = std::max(Value, 0);
    if (Value == FMaxLength) return;
    FMaxLength = Value;
    SetText(Normalized(Text()));
    PushToNative();
}

void TCustomEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    PushToNative();
}

void TCustomEdit::SetPasswordChar(char32_t Value) {
    FPasswordChar = Value;
    PushToNative();
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
    if (Value == FCharCase) return;
    FCharCase = Value;
    SetText(Normalized(Text()));
}

void TCustomEdit::SetSelStart(int Value) {
    FSelStart = std::clamp(Value, 0, TextLength());
    FSelLength = 0;
    PushToNative();
}

void TCustomEdit::SetSelLength(int Value) {
    FSelLength = std::clamp(Value, 0, TextLength() - FSelStart);
    PushToNative();
}

std::string TCustomEdit::SelText() const {
    const std::u32string U = ToU32(Text());
    const int Start = std::min(FSelStart, int(U.size()));
    return FromU32(std::u32string_view(U).substr(Start, FSelLength));
}

void TCustomEdit::SetSelText(const std::string& Value) {
    std::u32string U = ToU32(Text());
    const int Start = std::min(FSelStart, int(U.size()));
    const int Len = std::min(FSelLength, int(U.size()) - Start);
    std::u32string Insert = ToU32(Value);
    if (FMaxLength > 0) {
        const int Room = std::max(0, FMaxLength - (int(U.size()) - Len));
        if (int(Insert.size()) > Room) Insert.resize(std::size_t(Room));
    }
    U.replace(std::size_t(Start), std::size_t(Len), Insert);
    const int Caret = Start + int(Insert.size());
    SetText(FromU32(U));
    FSelStart = Caret;
    FSelLength = 0;
    PushToNative();
}

void TCustomEdit::SelectAll() {
    FSelStart = 0;
    FSelLength = TextLength();
    PushToNative();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_CUT || Message.Msg == WM_PASTE || Message.Msg == WM_CLEAR) {
        if (auto* E = qobject_cast<QLineEdit*>(NativeWidget())) {
            if (Message.Msg == WM_CUT)
                E->cut();
            else if (Message.Msg == WM_PASTE)
                E->paste();
            else
                E->del();
        }
        return;
    }
    if (Message.Msg == CM_TEXTCHANGED) {
        const std::string N = Normalized(Text());
        if (N != Text()) {
            SetText(N); // sends CM_TEXTCHANGED again with the final text
            return;
        }
        TWinControl::Dispatch(Message);
        FSelStart = std::min(FSelStart, TextLength());
        FSelLength = std::min(FSelLength, TextLength() - FSelStart);
        PushToNative();
        Change();
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomEdit::UserEdited(const std::string& Value, int Cursor) {
    FModified = true;
    // The caret first: pushing the new text back must leave it where the
    // user put it.
    FSelStart = Utf16ToCodePoints(QString::fromStdString(Value), Cursor);
    FSelLength = 0;
    SetText(Value);
}

void TCustomEdit::DoEnter() {
    if (FAutoSelect && !KeyboardStateToShiftState().Contains(ssLeft)) SelectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

QWidget* TCustomEdit::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* E = new TNativeLineEdit(ParentWidget);
    Bind(E, this);
    TEditBridge::Connect(E);
    return E;
}

void TCustomEdit::NativeWidgetCreated() {
    PushToNative();
}

void TCustomEdit::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TCustomEdit::PushToNative() {
    auto* E = qobject_cast<QLineEdit*>(NativeWidget());
    if (E == nullptr || FPushing) return;
    FPushing = true;
    const QString T = Q(Text());
    if (E->text() != T) E->setText(T);
    E->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
    E->setReadOnly(FReadOnly);
    E->setEchoMode(FPasswordChar != 0 ? QLineEdit::Password : QLineEdit::Normal);
    const int Start = CodePointsToUtf16(T, FSelStart);
    if (FSelLength > 0)
        E->setSelection(Start, CodePointsToUtf16(T, FSelStart + FSelLength) - Start);
    else
        E->setCursorPosition(Start);
    FPushing = false;
}

// ---- Buttons ---------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
    FTabStop = true;
    // The native button reports its own clicks.
    FControlStyle.Exclude(csClickEvents);
}

namespace {

// The native button underlines its caption's hot key but leaves the key to
// the form, which offers it to its controls in their order (a menu button
// of the bar before a button of the page).
void ShowButtonCaption(QAbstractButton* B, const std::string& Caption) {
    B->setText(Q(Caption));
    B->setShortcut(QKeySequence());
}

} // namespace

void TButtonControl::NativeWidgetCreated() {
    auto* B = qobject_cast<QAbstractButton*>(NativeWidget());
    if (B == nullptr) return;
    Bind(B, this);
    ShowButtonCaption(B, Caption());
    QObject::connect(B, &QAbstractButton::clicked, B, [B] {
        if (auto* C = Bound<TButtonControl>(B)) C->NativeClicked();
    });
}

void TButtonControl::HotKeyPressed() {
    SetFocus();
    NativeClicked();
}

void TButtonControl::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR && IsAccel(Word(Message.WParam), Caption()) && CanFocus()) {
        HotKeyPressed();
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
    if (Message.Msg == CM_TEXTCHANGED)
        if (auto* B = qobject_cast<QAbstractButton*>(NativeWidget()))
            ShowButtonCaption(B, Caption());
    if (Message.Msg == WM_DESTROY) Unbind(NativeWidget());
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    if (auto* B = qobject_cast<QPushButton*>(NativeWidget())) B->setDefault(Value);
}

void TButton::Click() {
    if (FModalResult != mrNone)
        if (TCustomForm* Form = GetParentForm(this)) Form->SetModalResult(FModalResult);
    TButtonControl::Click();
}

void TButton::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGKEY) {
        // A focused button takes Return for itself, as the default would.
        const TCustomForm* Form = GetParentForm(this);
        const auto* FocusedButton =
            Form != nullptr ? dynamic_cast<const TButton*>(Form->ActiveControl()) : nullptr;
        const bool Enter = Message.WParam == VK_RETURN &&
                           (FocusedButton == this ||
                            (FDefault && (FocusedButton == nullptr || !FocusedButton->Focused())));
        const bool Escape = Message.WParam == VK_ESCAPE && FCancel;
        if ((Enter || Escape) && Enabled() && Showing()) {
            Click();
            Message.Result = 1;
            return;
        }
    }
    TButtonControl::Dispatch(Message);
}

QWidget* TButton::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    return new QPushButton(ParentWidget);
}

void TButton::NativeWidgetCreated() {
    TButtonControl::NativeWidgetCreated();
    if (auto* B = qobject_cast<QPushButton*>(NativeWidget())) B->setDefault(FDefault);
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
    SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
    if (Value == FState) return;
    FState = Value;
    PushState();
    Click();
}

void TCustomCheckBox::Toggle() {
    switch (FState) {
    case cbUnchecked:
        SetState(FAllowGrayed ? cbGrayed : cbChecked);
        break;
    case cbChecked:
        SetState(cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbChecked);
        break;
    }
    // The widget moved on its own; the state decides.
    PushState();
}

void TCustomCheckBox::PushState() {
    auto* B = qobject_cast<QCheckBox*>(NativeWidget());
    if (B == nullptr) return;
    B->setTristate(FAllowGrayed || FState == cbGrayed);
    B->setCheckState(FState == cbChecked  ? Qt::Checked
                     : FState == cbGrayed ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
}

QWidget* TCustomCheckBox::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    return new QCheckBox(ParentWidget);
}

void TCustomCheckBox::NativeWidgetCreated() {
    TButtonControl::NativeWidgetCreated();
    if (FAlignment == taLeftJustify) NativeWidget()->setLayoutDirection(Qt::RightToLeft);
    PushState();
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
    SetBounds(0, 0, 113, 17);
    // Tab enters a group of radio buttons at its checked one only.
    FTabStop = false;
}

void TRadioButton::SetChecked(bool Value) {
    if (Value == FChecked) return;
    FChecked = Value;
    FTabStop = Value;
    PushChecked();
    if (!Value) return;
    if (TWinControl* P = Parent())
        for (int I = 0; I < P->ControlCount(); ++I)
            if (auto* Other = dynamic_cast<TRadioButton*>(P->Controls(I)); Other && Other != this)
                Other->SetChecked(false);
    Click();
}

void TRadioButton::KeyDown(Word& Key, TShiftState Shift) {
    TButtonControl::KeyDown(Key, Shift);
    const bool Back = Key == VK_UP || Key == VK_LEFT;
    if ((!Back && Key != VK_DOWN && Key != VK_RIGHT) || Parent() == nullptr) return;
    // The arrows move to the group's next radio button (its parent's, in
    // tab order, round the end) and check it.
    std::vector<TRadioButton*> Group;
    for (int I = 0; I < Parent()->ControlCount(); ++I)
        if (auto* R = dynamic_cast<TRadioButton*>(Parent()->Controls(I))) Group.push_back(R);
    std::ranges::sort(Group, {}, &TRadioButton::TabOrder);
    const auto N = std::ptrdiff_t(Group.size());
    const std::ptrdiff_t At = std::ranges::find(Group, this) - Group.begin();
    for (std::ptrdiff_t Step = 1; Step < N; ++Step) {
        TRadioButton* Next = Group[std::size_t(((Back ? At - Step : At + Step) % N + N) % N)];
        if (!Next->CanFocus()) continue;
        Next->SetFocus();
        Next->SetChecked(true);
        break;
    }
    Key = 0;
}

void TRadioButton::PushChecked() {
    if (auto* B = qobject_cast<QRadioButton*>(NativeWidget())) B->setChecked(FChecked);
}

QWidget* TRadioButton::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* B = new QRadioButton(ParentWidget);
    // Exclusivity is the control's business (it spans the parent's radio
    // buttons, whatever widgets lie between them).
    B->setAutoExclusive(false);
    return B;
}

void TRadioButton::NativeWidgetCreated() {
    TButtonControl::NativeWidgetCreated();
    if (FAlignment == taLeftJustify) NativeWidget()->setLayoutDirection(Qt::RightToLeft);
    PushChecked();
}

// ---- TCustomGroupBox -------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    FControlStyle.Include(csAcceptsControls);
    FControlStyle.Include(csOpaque);
    SetBounds(0, 0, 185, 105);
    SetColor(clBtnFace);
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect) const {
    TBitmap Measure(1, 1, pf32bit);
    Measure.Canvas()->SetFont(*const_cast<TCustomGroupBox*>(this)->Font());
    const int H = Measure.Canvas()->TextHeight("0");
    Rect.Top += H;
    InflateRect(Rect, -1, -1);
}

void TCustomGroupBox::Paint() {
    TCanvas* C = Canvas();
    C->SetFont(*Font());
    const int H = C->TextHeight("0");
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(ClientRect());
    TRect R = ClientRect();
    R.Top += H / 2;
    C->Brush()->SetStyle(bsClear);
    Frame3D(C, R, clBtnShadow, clBtnHighlight, 1);
    Frame3D(C, R, clBtnHighlight, clBtnShadow, 1);
    const std::string Text = StripHotkey(Caption());
    if (Text.empty()) return;
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    const TSize Ext = C->TextExtent(Text);
    C->TextRect(Rect(8, 0, 8 + Ext.cx, Ext.cy), 8, 0, Text);
}

// ---- TControlItems ---------------------------------------------------------

void TControlItems::InsertItem(int Index, const std::string& S, TObject* AObject) {
    ++FBusy;
    TStringList::InsertItem(Index, S, AObject);
    --FBusy;
    if (!FReordering && FNotify) FNotify(Index, +1);
}

void TControlItems::Delete(int Index) {
    ++FBusy;
    TStringList::Delete(Index);
    --FBusy;
    if (!FReordering && FNotify) FNotify(Index, -1);
}

void TControlItems::Clear() {
    FReordering = true;
    TStringList::Clear();
    FReordering = false;
    if (FNotify) FNotify(-1, 0);
}

void TControlItems::Exchange(int Index1, int Index2) {
    FReordering = true;
    TStringList::Exchange(Index1, Index2);
    FReordering = false;
    if (FNotify) FNotify(-1, 0);
}

void TControlItems::Move(int CurIndex, int NewIndex) {
    FReordering = true;
    TStringList::Move(CurIndex, NewIndex);
    FReordering = false;
    if (FNotify) FNotify(-1, 0);
}

void TControlItems::Sort() {
    FReordering = true;
    TStringList::Sort();
    FReordering = false;
    if (FNotify) FNotify(-1, 0);
}

void TControlItems::Changed() {
    TStringList::Changed();
    if (!FReordering && FBusy == 0 && FNotify) FNotify(-1, 0);
}

// Keeps a selected index on the same item across one insertion or deletion;
// a deleted selection selects nothing.
static int FollowIndex(int Selected, int Index, int Delta) {
    if (Selected < 0 || Index < 0) return Selected;
    if (Delta > 0) return Index <= Selected ? Selected + 1 : Selected;
    if (Index == Selected) return -1;
    return Index < Selected ? Selected - 1 : Selected;
}

// ---- TCustomComboBox -------------------------------------------------------

namespace {

// The closed owner-drawn box shows its selected item through OnDrawItem.
class TOwnerDrawCombo : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent* E) override {
        TCustomComboBox* Box = Bound<TCustomComboBox>(this);
        if (Box == nullptr || isEditable()) {
            QComboBox::paintEvent(E);
            return;
        }
        QComboBox::paintEvent(E);
        if (Box->ItemIndex() < 0) return;
        QPainter P(this);
        const QRect R = rect().adjusted(2, 2, -height(), -2);
        TOwnerDrawState State{odComboBoxEdit};
        // The closed box shows its item highlighted while it has the focus.
        if (hasFocus()) {
            State.Include(odFocused);
            State.Include(odSelected);
        }
        if (!Box->Enabled()) State.Include(odDisabled);
        PaintThroughCanvas(&P, R, Box->Canvas(),
                           [&](const TRect& Rc) { Box->PaintItem(Box->ItemIndex(), Rc, State); });
    }
};

} // namespace

class TComboBridge {
public:
    static void Connect(QComboBox* B) {
        QObject::connect(B, qOverload<int>(&QComboBox::activated), B, [B](int I) {
            if (auto* C = Bound<TCustomComboBox>(B); C && !C->FPushing) C->UserSelect(I);
        });
        if (QLineEdit* E = B->lineEdit())
            QObject::connect(E, &QLineEdit::textEdited, B, [B](const QString& T) {
                if (auto* C = Bound<TCustomComboBox>(B); C && !C->FPushing)
                    C->UserType(T.toStdString());
            });
    }
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner),
      FItems(std::make_unique<TControlItems>([this](int I, int D) { ItemsChanged(I, D); })),
      FCanvas(std::make_unique<TCanvas>()) {
    SetBounds(0, 0, 145, 21);
    SetColor(clWindow);
    FTabStop = true;
}

TCustomComboBox::~TCustomComboBox() {
    Unbind(NativeWidget());
    // The items go first: their change notice must not reach a half-gone box.
    FItems.reset();
}

void TCustomComboBox::ItemsChanged(int Index, int Delta) {
    if (!FItems) return;
    if (Index >= 0) {
        FItemIndex = FollowIndex(FItemIndex, Index, Delta);
    } else if (FItems->Count() == 0) {
        FItemIndex = -1;
    } else if (FItemIndex >= FItems->Count()) {
        FItemIndex = -1;
    }
    if (FItemIndex < 0 && !HasEdit() && FItems->Count() == 0 && !Text().empty()) SetText("");
    PushItems();
}

void TCustomComboBox::SetItemIndex(int Value) {
    if (Value < 0 || Value >= FItems->Count()) Value = -1;
    FItemIndex = Value;
    if (Value >= 0)
        SetText(FItems->Get(Value));
    else if (!HasEdit())
        SetText("");
    PushSelection();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (!HasEdit()) SetItemIndex(FItemIndex);
    RecreateNative();
}

void TCustomComboBox::SetItemHeight(int Value) {
    FItemHeight = std::max(Value, 1);
    if (NativeWidget() != nullptr) NativeWidget()->update();
}

void TCustomComboBox::SetDropDownCount(int Value) {
    FDropDownCount = std::max(Value, 1);
    if (auto* B = qobject_cast<QComboBox*>(NativeWidget())) B->setMaxVisibleItems(FDropDownCount);
}

void TCustomComboBox::SetDroppedDown(bool Value) {
    if (Value == FDroppedDown) return;
    FDroppedDown = Value;
    if (Value)
        DropDown();
    else
        CloseUp();
    if (auto* B = qobject_cast<QComboBox*>(NativeWidget()); B && B->isVisible()) {
        if (Value)
            B->showPopup();
        else
            B->hidePopup();
    }
}

void TCustomComboBox::Clear() {
    FItems->Clear();
    SetText("");
    FItemIndex = -1;
    PushSelection();
}

void TCustomComboBox::PaintItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    PrepareItemCanvas(FCanvas.get(), *Font(), Color(), State);
    DrawItem(Index, Rect, State);
    DrawItemFocus(FCanvas.get(), Rect, State);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (IsOwnerDrawn() && OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    DrawItemText(FCanvas.get(), Rect, FItems.get(), Index);
}

int TCustomComboBox::ItemHeightOf(int Index) {
    int H = FItemHeight;
    if (FStyle == csOwnerDrawVariable) MeasureItem(Index, H);
    return std::max(H, 1);
}

void TCustomComboBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomComboBox::UserSelect(int Index) {
    if (Index < 0 || Index >= FItems->Count()) return;
    FItemIndex = Index;
    SetText(FItems->Get(Index));
    PushSelection();
    Click();
    Select();
}

void TCustomComboBox::UserType(const std::string& Value) {
    if (!HasEdit()) return;
    // Typed text stands for no item until one is chosen.
    FItemIndex = -1;
    SetText(Value);
    Change();
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
    if (OnSelect)
        OnSelect(this);
    else
        Change();
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::Dispatch(TMessage& Message) {
    TWinControl::Dispatch(Message);
    if (Message.Msg != CM_TEXTCHANGED) return;
    // A box without an edit part can only show one of its items: a text
    // set from code chooses the item it names (without regard to case), or
    // none.
    if (!HasEdit() && FItems && (FItemIndex < 0 || FItems->Get(FItemIndex) != Text())) {
        FItemIndex = Text().empty() ? -1 : FItems->IndexOf(Text());
        const std::string Shown = FItemIndex >= 0 ? FItems->Get(FItemIndex) : std::string();
        if (Shown != Text()) {
            SetText(Shown); // comes back here with the text settled
            return;
        }
    }
    PushSelection();
}

QWidget* TCustomComboBox::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* B = new TOwnerDrawCombo(ParentWidget);
    Bind(B, this);
    B->setEditable(HasEdit());
    B->setInsertPolicy(QComboBox::NoInsert);
    if (IsOwnerDrawn()) B->setItemDelegate(new TItemDelegate<TCustomComboBox>(B));
    TComboBridge::Connect(B);
    return B;
}

void TCustomComboBox::NativeWidgetCreated() {
    if (auto* B = qobject_cast<QComboBox*>(NativeWidget())) B->setMaxVisibleItems(FDropDownCount);
    PushItems();
}

void TCustomComboBox::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TCustomComboBox::RecreateNative() {
    if (NativeWidget() == nullptr) return;
    const bool WasShowing = Showing();
    DestroyHandle();
    if (WasShowing) UpdateShowing();
}

void TCustomComboBox::PushItems() {
    auto* B = qobject_cast<QComboBox*>(NativeWidget());
    if (B == nullptr || !FItems) return;
    PushItemsTo(B, FItems.get(), FPushing);
    PushSelection();
}

void TCustomComboBox::PushSelection() {
    auto* B = qobject_cast<QComboBox*>(NativeWidget());
    if (B == nullptr || FPushing) return;
    FPushing = true;
    B->setCurrentIndex(FItemIndex);
    if (B->isEditable() && B->currentText() != Q(Text())) B->setEditText(Q(Text()));
    FPushing = false;
}

// ---- TCustomListBox --------------------------------------------------------

class TListBridge {
public:
    static void Connect(QListWidget* L) {
        QObject::connect(L, &QListWidget::itemPressed, L, [L](QListWidgetItem* Item) {
            if (auto* C = Bound<TCustomListBox>(L); C && !C->FPushing) C->UserSelect(L->row(Item));
        });
        // The arrow keys move the selection too, and a choice made with them
        // is a choice like a click (a press reports itself above). The
        // selection, not the current row: taking the focus makes a row
        // current without choosing it.
        QObject::connect(L, &QListWidget::itemSelectionChanged, L, [L] {
            auto* C = Bound<TCustomListBox>(L);
            const QList<QListWidgetItem*> Chosen = L->selectedItems();
            if (C == nullptr || C->FPushing || C->FMultiSelect) return;
            // A click below the last row (or Ctrl with a click on the chosen
            // one) empties the native selection, but no row was unchosen: the
            // list keeps showing the row it still holds.
            if (Chosen.empty() && C->FItemIndex >= 0) {
                C->PushSelection();
                return;
            }
            if (Chosen.size() != 1 || QGuiApplication::mouseButtons() != Qt::NoButton) return;
            if (const int Row = L->row(Chosen.front()); Row != C->FItemIndex) C->UserSelect(Row);
        });
        QObject::connect(L, &QListWidget::itemDoubleClicked, L, [L](QListWidgetItem*) {
            if (auto* C = Bound<TCustomListBox>(L); C && !C->FPushing) C->DblClick();
        });
    }
};

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner),
      FItems(std::make_unique<TControlItems>([this](int I, int D) { ItemsChanged(I, D); })),
      FCanvas(std::make_unique<TCanvas>()) {
    SetBounds(0, 0, 121, 97);
    SetColor(clWindow);
    FTabStop = true;
}

TCustomListBox::~TCustomListBox() {
    Unbind(NativeWidget());
    FItems.reset();
}

void TCustomListBox::ItemsChanged(int Index, int Delta) {
    if (!FItems) return;
    if (Index >= 0) {
        FItemIndex = FollowIndex(FItemIndex, Index, Delta);
        if (Delta > 0)
            FSelected.insert(FSelected.begin() + std::min<std::size_t>(Index, FSelected.size()),
                             false);
        else if (std::size_t(Index) < FSelected.size())
            FSelected.erase(FSelected.begin() + Index);
    } else {
        // Reordered or cleared: selections cannot follow their items.
        FSelected.assign(std::size_t(FItems->Count()), false);
        if (FItemIndex >= FItems->Count() || FItems->Count() == 0) FItemIndex = -1;
        if (!FMultiSelect && FItemIndex >= 0) FSelected[std::size_t(FItemIndex)] = true;
    }
    FSelected.resize(std::size_t(FItems->Count()), false);
    FTopIndex = std::clamp(FTopIndex, 0, std::max(0, FItems->Count() - 1));
    PushItems();
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value < 0 || Value >= FItems->Count()) Value = -1;
    FItemIndex = Value;
    if (!FMultiSelect) {
        std::fill(FSelected.begin(), FSelected.end(), false);
        if (Value >= 0) FSelected[std::size_t(Value)] = true;
    }
    PushSelection();
}

void TCustomListBox::SetMultiSelect(bool Value) {
    if (Value == FMultiSelect) return;
    FMultiSelect = Value;
    SetItemIndex(FItemIndex);
    if (auto* L = qobject_cast<QListWidget*>(NativeWidget()))
        L->setSelectionMode(Value ? QAbstractItemView::ExtendedSelection
                                  : QAbstractItemView::SingleSelection);
}

bool TCustomListBox::Selected(int Index) const {
    if (Index < 0 || Index >= FItems->Count())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FSelected[std::size_t(Index)];
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (Index < 0 || Index >= FItems->Count())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    if (!FMultiSelect) {
        SetItemIndex(Value ? Index : (FItemIndex == Index ? -1 : FItemIndex));
        return;
    }
    FSelected[std::size_t(Index)] = Value;
    PushSelection();
}

int TCustomListBox::SelCount() const {
    if (!FMultiSelect) return -1;
    return int(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::ClearSelection() {
    if (FMultiSelect) {
        std::fill(FSelected.begin(), FSelected.end(), false);
        PushSelection();
    } else {
        SetItemIndex(-1);
    }
}

void TCustomListBox::SelectAll() {
    if (!FMultiSelect) return;
    std::fill(FSelected.begin(), FSelected.end(), true);
    PushSelection();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (NativeWidget() != nullptr) {
        const bool WasShowing = Showing();
        DestroyHandle();
        if (WasShowing) UpdateShowing();
    }
}

void TCustomListBox::SetItemHeight(int Value) {
    FItemHeight = std::max(Value, 1);
    if (NativeWidget() != nullptr) NativeWidget()->update();
}

void TCustomListBox::SetTopIndex(int Value) {
    FTopIndex = std::clamp(Value, 0, std::max(0, FItems->Count() - 1));
    if (auto* L = qobject_cast<QListWidget*>(NativeWidget()); L && FTopIndex < L->count())
        L->scrollToItem(L->item(FTopIndex), QAbstractItemView::PositionAtTop);
}

TRect TCustomListBox::ItemRect(int Index) const {
    const int Y = (Index - FTopIndex) * FItemHeight;
    return Rect(0, Y, ClientWidth(), Y + FItemHeight);
}

int TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) const {
    if (Pos.X < 0 || Pos.X >= ClientWidth() || Pos.Y < 0) return -1;
    const int Index = FTopIndex + Pos.Y / FItemHeight;
    if (Index < FItems->Count()) return Index;
    return Existing ? -1 : FItems->Count();
}

void TCustomListBox::PaintItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    PrepareItemCanvas(FCanvas.get(), *Font(), Color(), State);
    DrawItem(Index, Rect, State);
    DrawItemFocus(FCanvas.get(), Rect, State);
}

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (FStyle != lbStandard && OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    DrawItemText(FCanvas.get(), Rect, FItems.get(), Index);
}

int TCustomListBox::ItemHeightOf(int Index) {
    int H = FItemHeight;
    if (FStyle == lbOwnerDrawVariable) MeasureItem(Index, H);
    return std::max(H, 1);
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomListBox::UserSelect(int Index) {
    if (Index < 0 || Index >= FItems->Count()) return;
    if (FMultiSelect) {
        // A plain click selects one item; with Ctrl it toggles that one.
        const bool Toggle = KeyboardStateToShiftState().Contains(ssCtrl);
        if (!Toggle) std::fill(FSelected.begin(), FSelected.end(), false);
        FItemIndex = Index;
        FSelected[std::size_t(Index)] = Toggle ? !FSelected[std::size_t(Index)] : true;
        PushSelection();
    } else {
        SetItemIndex(Index);
    }
    Click();
}

QWidget* TCustomListBox::CreateNativeWidget(const TCreateParams&, QWidget* ParentWidget) {
    auto* L = new QListWidget(ParentWidget);
    Bind(L, this);
    L->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection
                                     : QAbstractItemView::SingleSelection);
    if (FStyle != lbStandard) L->setItemDelegate(new TItemDelegate<TCustomListBox>(L));
    TListBridge::Connect(L);
    return L;
}

void TCustomListBox::NativeWidgetCreated() {
    PushItems();
}

void TCustomListBox::NativeWidgetDestroying() {
    Unbind(NativeWidget());
}

void TCustomListBox::PushItems() {
    auto* L = qobject_cast<QListWidget*>(NativeWidget());
    if (L == nullptr || !FItems) return;
    PushItemsTo(L, FItems.get(), FPushing);
    PushSelection();
}

void TCustomListBox::PushSelection() {
    auto* L = qobject_cast<QListWidget*>(NativeWidget());
    if (L == nullptr || FPushing) return;
    FPushing = true;
    for (int I = 0; I < L->count() && I < int(FSelected.size()); ++I)
        L->item(I)->setSelected(FSelected[std::size_t(I)]);
    if (FItemIndex >= 0 && FItemIndex < L->count())
        L->setCurrentRow(FItemIndex, QItemSelectionModel::NoUpdate);
    FPushing = false;
}

// ---- Native checks ---------------------------------------------------------

bool ReadNativeState(TWinControl* Control, TNativeState& State) {
    QWidget* W = Control != nullptr ? Control->NativeWidget() : nullptr;
    if (W == nullptr) return false;
    State = TNativeState{};
    State.Enabled = W->isEnabled();
    if (auto* E = qobject_cast<QLineEdit*>(W)) {
        State.Text = E->text().toStdString();
        if (E->hasSelectedText()) {
            State.ItemIndex = E->selectionStart();
            State.ItemCount = E->selectedText().size();
        } else {
            State.ItemIndex = E->cursorPosition();
        }
        return true;
    }
    if (auto* B = qobject_cast<QAbstractButton*>(W)) {
        State.Text = B->text().toStdString();
        State.Checked = B->isChecked();
        return true;
    }
    if (auto* B = qobject_cast<QComboBox*>(W)) {
        State.Text = B->currentText().toStdString();
        State.ItemIndex = B->currentIndex();
        State.ItemCount = B->count();
        for (int I = 0; I < B->count(); ++I)
            State.ItemTexts.push_back(B->itemText(I).toStdString());
        return true;
    }
    if (auto* L = qobject_cast<QListWidget*>(W)) {
        State.ItemIndex = L->currentRow();
        State.ItemCount = L->count();
        for (int I = 0; I < L->count(); ++I) {
            State.ItemTexts.push_back(L->item(I)->text().toStdString());
            if (L->item(I)->isSelected()) State.Checked = true;
        }
        return true;
    }
    return false;
}

void NativeUserClick(TWinControl* Control) {
    if (Control == nullptr) return;
    if (auto* B = qobject_cast<QAbstractButton*>(Control->NativeWidget())) B->click();
}

void NativeUserSelect(TWinControl* Control, int Index) {
    if (Control == nullptr) return;
    if (auto* B = qobject_cast<QComboBox*>(Control->NativeWidget())) {
        B->setCurrentIndex(Index);
        emit B->activated(Index);
    } else if (auto* L = qobject_cast<QListWidget*>(Control->NativeWidget())) {
        if (QListWidgetItem* Item = L->item(Index)) emit L->itemPressed(Item);
    }
}
