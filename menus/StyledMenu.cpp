#include "menus/StyledMenu.h"

#include <algorithm>

#include "menus/MenuGraphics.h"
#include "menus/ThemeSupport.h"
#include "menus/WndProcHooks.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Screen.h"

int UiMenuMetric(int Index) {
    switch (Index) {
    case SM_CYMENU:
        return 19;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
        return 13;
    default:
        return 0;
    }
}

TMenuOwnerDrawState MenuOwnerDrawState(UINT ItemState) {
    TMenuOwnerDrawState S;
    for (int B = 0; B < 8; ++B)
        if (ItemState & (1u << B)) S.Include(TMenuOwnerDrawStateFlag(B));
    return S;
}

namespace {

std::string StripAmpersands(const std::string& S) {
    // UTF-8 never has "&" inside a multi-byte sequence.
    std::string R;
    for (char C : S)
        if (C != '&') R += C;
    return R;
}

// The caption as drawn: "&&" gives "&", "&x" underlines x. Tabs open a gap.
std::string PrefixText(const std::string& S, int& Underlined) {
    std::string R;
    Underlined = -1;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] == '&' && I + 1 < S.size()) {
            ++I;
            if (S[I] != '&' && Underlined < 0) Underlined = int(R.size());
        }
        if (S[I] == '\t')
            R += "    ";
        else
            R += S[I];
    }
    return R;
}

std::string ExpandTabs(const std::string& S) {
    std::string R;
    for (char C : S) {
        if (C == '\t')
            R += "    ";
        else
            R += C;
    }
    return R;
}

// Extent of a caption as drawn (prefix characters processed, tabs expanded).
int TextExtentX(TCanvas* C, const std::string& S) {
    int Underlined = -1;
    return C->TextWidth(PrefixText(S, Underlined));
}

void Frame3D(TCanvas* C, TRect& R, TColor TopColor, TColor BottomColor) {
    TPen* P = C->Pen();
    P->SetWidth(1);
    const int L = R.Left, T = R.Top, Rt = R.Right - 1, B = R.Bottom - 1;
    P->SetColor(TopColor);
    C->MoveTo(L, B);
    C->LineTo(L, T);
    C->LineTo(Rt, T);
    P->SetColor(BottomColor);
    C->LineTo(Rt, B);
    C->LineTo(L - 1, B);
    R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
}

void FillRectColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FillRect(R);
}

void Line(TCanvas* C, TColor Color, int X1, int Y1, int X2, int Y2) {
    C->Pen()->SetWidth(1);
    C->Pen()->SetColor(Color);
    C->MoveTo(X1, Y1);
    C->LineTo(X2, Y2);
}

// Dark pixels of a monochrome bitmap in Color; light ones leave the canvas.
void PaintMonochrome(TCanvas* C, int X, int Y, TBitmap* B, TColor Color) {
    const TColor Rgb = ColorToRGB(Color);
    for (int Row = 0; Row < B->Height(); ++Row)
        for (int Col = 0; Col < B->Width(); ++Col)
            if ((B->PixelColor(Col, Row) & 0xFFFFFF) == 0) C->SetPixels(X + Col, Y + Row, Rgb);
}

std::unique_ptr<TBitmap> MakeCheckGlyph(bool Radio) {
    const int W = UiMenuMetric(SM_CXMENUCHECK), H = UiMenuMetric(SM_CYMENUCHECK);
    auto B = std::make_unique<TBitmap>(W, H, pf24bit);
    TCanvas* C = B->Canvas();
    FillRectColor(C, Rect(0, 0, W, H), clWhite);
    if (Radio) {
        C->Brush()->SetColor(clBlack);
        C->Pen()->SetColor(clBlack);
        C->Ellipse(W / 2 - 3, H / 2 - 3, W / 2 + 3, H / 2 + 3);
    } else {
        // A tick three pixels thick.
        for (int D = 0; D < 3; ++D) {
            Line(C, clBlack, 3, 5 + D, 5, 7 + D);
            Line(C, clBlack, 5, 7 + D, 10, 2 + D);
        }
    }
    B->SetMonochrome(true);
    return B;
}

// A white bitmap dark where the image is opaque.
std::unique_ptr<TBitmap> MaskOf(TCustomImageList* List, int Index) {
    const std::vector<std::uint32_t> Px = List->ImagePixels(Index);
    const int W = List->Width(), H = List->Height();
    if (Px.size() != size_t(W) * size_t(H)) return nullptr;
    auto M = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            M->Canvas()->SetPixels(X, Y, (Px[size_t(Y) * W + X] >> 24) != 0 ? clBlack : clWhite);
    return M;
}

bool FlatMenus() {
    return false;
}

} // namespace

// ---- Margins and sizes -------------------------------------------------------

void TUiImageMargin::Set(int& Field, int Value) {
    if (Field == Value) return;
    Field = Value;
    if (OnChange) OnChange(this);
}

void TUiImageMargin::Assign(const TPersistent* Source) {
    if (auto* S = dynamic_cast<const TUiImageMargin*>(Source)) {
        SetLeft(S->FLeft);
        SetTop(S->FTop);
        SetRight(S->FRight);
        SetBottom(S->FBottom);
        return;
    }
    TPersistent::Assign(Source);
}

void TUiMenuImageSize::Set(int& Field, int Value) {
    if (Field == Value) return;
    Field = Value;
    if (OnChange) OnChange(this);
}

void TUiMenuImageSize::Assign(const TPersistent* Source) {
    if (auto* S = dynamic_cast<const TUiMenuImageSize*>(Source)) {
        SetHeight(S->FHeight);
        SetWidth(S->FWidth);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- The base painter ----------------------------------------------------------

TUiCustomMenuItemPainter::TUiCustomMenuItemPainter(TComponent* AOwner)
    : TComponent(AOwner), FGlyph(std::make_unique<TBitmap>()) {}

TUiCustomMenuItemPainter::~TUiCustomMenuItemPainter() {
    if (FMenu != nullptr) FMenu->RemoveFreeNotification(this);
}

void TUiCustomMenuItemPainter::SetMenu(TUiMainMenu* Value) {
    ReplaceComponentReference<TUiMainMenu>(this, Value, FMenu);
}

void TUiCustomMenuItemPainter::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMenu) FMenu = nullptr;
}

TCanvas* TUiCustomMenuItemPainter::Canvas() const {
    return FMenu != nullptr ? FMenu->Canvas() : nullptr;
}

void TUiCustomMenuItemPainter::SetLeftMargin(int Value) {
    if (FLeftMargin == Value) return;
    FLeftMargin = Value;
    if (FMenu != nullptr) FMenu->MenuChanged(nullptr, true);
}

bool TUiCustomMenuItemPainter::ShowCheckMarks() const {
    return FMenu != nullptr && FMenu->ShowCheckMarks();
}

int TUiCustomMenuItemPainter::CheckMarkCellHeight() {
    return ShowCheckMarks() ? UiMenuMetric(SM_CYMENUCHECK) : 0;
}

int TUiCustomMenuItemPainter::CheckMarkCellWidth() {
    return ShowCheckMarks() ? UiMenuMetric(SM_CXMENUCHECK) : 0;
}

bool TUiCustomMenuItemPainter::NeedsGrayedShadow() {
    if (!FState.Contains(mdSelected)) return true;
    return ColorToRGB(clGrayText) == ColorToRGB(clHighlight);
}

TColor TUiCustomMenuItemPainter::GrayedTextColor() {
    return FState.Contains(mdSelected) ? clGrayText : clBtnShadow;
}

TCustomImageList* TUiCustomMenuItemPainter::ActiveImageList() const {
    for (TMenuItem* P = FItem != nullptr ? FItem->Parent() : nullptr; P != nullptr; P = P->Parent())
        if (auto* L = dynamic_cast<TCustomImageList*>(P->SubMenuImages())) return L;
    return FMenu != nullptr ? FMenu->Images() : nullptr;
}

bool TUiCustomMenuItemPainter::HasImage(TCustomImageList* List, int Index) {
    return List != nullptr && Index >= 0 && Index < List->Count() && List->HandleAllocated();
}

bool TUiCustomMenuItemPainter::IsBarItem() const {
    return FItem != nullptr && FMenu != nullptr && FItem->Parent() == FMenu->Items();
}

bool TUiCustomMenuItemPainter::IsRightToLeft() const {
    return FMenu != nullptr && FMenu->RightToLeft();
}

int TUiCustomMenuItemPainter::GlyphCellHeight() {
    if (TCustomImageList* L = ActiveImageList()) return L->Height();
    if (FImageSize.Height() != 0) return FImageSize.Height();
    if (!FGlyph->Empty()) return 16;
    if (FChecked) return UiMenuMetric(SM_CYMENUCHECK);
    return 0;
}

int TUiCustomMenuItemPainter::GlyphCellWidth() {
    if (TCustomImageList* L = ActiveImageList()) return L->Width();
    if (FImageSize.Width() != 0) return FImageSize.Width();
    if (!FGlyph->Empty()) return 16;
    if (FChecked) return UiMenuMetric(SM_CXMENUCHECK);
    return 0;
}

int TUiCustomMenuItemPainter::TextIndent() {
    return FMenu != nullptr ? FMenu->TextMargin() : 0;
}

void TUiCustomMenuItemPainter::CopyMenuSettings() {
    if (FMenu == nullptr) return;
    FOnDrawItem = FMenu->OnDrawItem;
    FImageMargin.Assign(FMenu->ImageMargin());
    FImageSize.Assign(FMenu->ImageSize());
}

void TUiCustomMenuItemPainter::PaintPushedFrame(TRect R) {
    TCanvas* C = Canvas();
    R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
    if (FState.Contains(mdSelected)) {
        FillRectColor(C, R, clMenu);
    } else {
        const TColor A = ColorToRGB(clMenu), B = ColorToRGB(clBtnHighlight);
        for (int Y = R.Top; Y < R.Bottom; ++Y)
            for (int X = R.Left; X < R.Right; ++X)
                C->SetPixels(X, Y, ((X + Y) & 1) ? B : A);
    }
    Frame3D(C, R, GrayedTextColor(), clBtnHighlight);
}

void TUiCustomMenuItemPainter::BeginItemPaint(TMenuItem* Item, const TRect& ARect, bool Measuring,
                                              TMenuOwnerDrawState State) {
    CopyMenuSettings();
    FItem = Item;
    FParentMenu = Item->Parent();
    FState = State;
    FImageIndex = Item->ImageIndex();
    TCanvas* C = Canvas();
    // Menu items carry no bitmap of their own here: the glyph starts empty.
    FGlyph = std::make_unique<TBitmap>();
    TColor Color = C->Brush()->Color();
    FNumGlyphs = 1;
    TGraphic* Graphic = nullptr;
    FMenu->GetItemParams(Item, State, C->Font(), Color, Graphic, FNumGlyphs);
    if (Graphic != nullptr && !Graphic->Empty()) {
        if (auto* B = dynamic_cast<TBitmap*>(Graphic)) {
            FGlyph->Assign(B);
        } else {
            FGlyph->SetSize(Graphic->Width(), Graphic->Height());
            FillRectColor(FGlyph->Canvas(), Rect(0, 0, Graphic->Width(), Graphic->Height()),
                          clSilver);
            FGlyph->Canvas()->Draw(0, 0, Graphic);
        }
    }
    if (!FGlyph->Empty()) {
        const int W = GlyphCellWidth() * std::max(FNumGlyphs, 1), H = GlyphCellHeight();
        if (W > 0 && H > 0 && W <= 4096 && H <= 4096 &&
            (FGlyph->Width() != W || FGlyph->Height() != H)) {
            auto S = std::make_unique<TBitmap>(W, H, pf24bit);
            StretchBitmapKeyed(S->Canvas(), FGlyph.get(), clNone, 0, 0, W, H, 0, 0, 0, 0);
            S->SetTransparentMode(FGlyph->TransparentMode());
            if (FGlyph->TransparentMode() == tmFixed)
                S->SetTransparentColor(FGlyph->TransparentColor());
            FGlyph = std::move(S);
        }
    }
    if (!Measuring && Color != clNone) {
        C->Brush()->SetColor(Color);
        C->FillRect(ARect);
    }
    FMenu->GetImageIndex(Item, State, FImageIndex);
}

void TUiCustomMenuItemPainter::PaintDisabledBitmap(int X, int Y, TBitmap* Bitmap) {
    TCanvas* C = Canvas();
    if (Bitmap->Monochrome()) {
        DrawDisabledMask(C, X, Y, Bitmap, NeedsGrayedShadow(), GrayedTextColor(), clBtnHighlight);
        return;
    }
    std::unique_ptr<TBitmap> D = MakeDisabledBitmap(Bitmap, clBlack, clMenu, NeedsGrayedShadow(),
                                                    GrayedTextColor(), clBtnHighlight);
    PaintBitmapKeyed(C, X, Y, clMenu, D.get());
}

void TUiCustomMenuItemPainter::PaintItemBitmap(int X, int Y, TBitmap* Bitmap) {
    TCanvas* C = Canvas();
    if (FState.Contains(mdDisabled) && FNumGlyphs < 2) {
        PaintDisabledBitmap(X, Y, Bitmap);
    } else if (Bitmap->Monochrome()) {
        // Copied or keyed alike: the dark pixels take the text colour and the
        // light ones the background already painted under them.
        PaintMonochrome(C, X, Y, Bitmap, C->Font()->Color());
    } else {
        PaintBitmapKeyed(C, X, Y, Bitmap->TransparentColor() & ~0x02000000, Bitmap);
    }
}

void TUiCustomMenuItemPainter::PaintDisabledImage(int X, int Y) {
    TCanvas* C = Canvas();
    if (FMenu == nullptr) return;
    if (HasImage(FMenu->DisabledImages(), FImageIndex)) {
        FMenu->DisabledImages()->Draw(C, X, Y, FImageIndex);
        return;
    }
    TCustomImageList* L = ActiveImageList();
    if (!HasImage(L, FImageIndex)) return;
    if (std::unique_ptr<TBitmap> M = MaskOf(L, FImageIndex))
        DrawDisabledMask(C, X, Y, M.get(), NeedsGrayedShadow(), GrayedTextColor(), clBtnHighlight);
}

void TUiCustomMenuItemPainter::PaintEnabledImage(int X, int Y) {
    if (FMenu == nullptr) return;
    TCanvas* C = Canvas();
    if (FState.Contains(mdSelected) && HasImage(FMenu->HotImages(), FImageIndex))
        FMenu->HotImages()->Draw(C, X, Y, FImageIndex);
    else if (TCustomImageList* L = ActiveImageList(); HasImage(L, FImageIndex))
        L->Draw(C, X, Y, FImageIndex);
}

static int AlignTop(TUiMainMenu* Menu, const TRect& R, int ContentHeight) {
    switch (Menu != nullptr ? Menu->TextVAlignment() : vaMiddle) {
    case vaMiddle:
        return R.Top + (R.Bottom - R.Top - ContentHeight + 1) / 2;
    case vaBottom:
        return R.Bottom - ContentHeight;
    default:
        return R.Top;
    }
}

void TUiCustomMenuItemPainter::PaintCheckMark(const TRect& ARect) {
    const bool Radio = FItem != nullptr && FItem->RadioItem();
    std::unique_ptr<TBitmap> B = MakeCheckGlyph(Radio);
    TRect R = ARect;
    if (Radio) ++R.Top;
    const int Y = AlignTop(FMenu, R, B->Height());
    const int X = R.Left + (R.Right - R.Left - B->Width() + 1) / 2;
    PaintItemBitmap(X, Y, B.get());
}

void TUiCustomMenuItemPainter::PaintSeparator(const TRect& ARect) {
    TCanvas* C = Canvas();
    const int Y = (ARect.Top + ARect.Bottom) / 2;
    Line(C, clBtnShadow, ARect.Left - 1, Y - 1, ARect.Right, Y - 1);
    Line(C, clBtnHighlight, ARect.Left, Y, ARect.Right, Y);
}

void TUiCustomMenuItemPainter::PaintItemText(TRect ARect, const std::string& Text,
                                             bool IsShortCut) {
    if (Text.empty()) return;
    TCanvas* C = Canvas();
    int Under = -1;
    const std::string Shown = IsShortCut ? Text : PrefixText(Text, Under);
    const TSize Ext = C->TextExtent(IsShortCut ? Text : ExpandTabs(StripAmpersands(Text)));
    const TUiVerticalAlignment VA = FMenu != nullptr ? FMenu->TextVAlignment() : vaMiddle;
    if (VA == vaMiddle)
        ARect.Top += (ARect.Bottom - ARect.Top - Ext.cy + 1) / 2;
    else if (VA == vaBottom)
        ARect.Top = ARect.Bottom - Ext.cy;
    if (IsBarItem()) ARect.Left += (ARect.Right - ARect.Left - Ext.cx) / 2;
    const int ShownWidth = C->TextWidth(Shown);
    int X = ARect.Left;
    if (IsRightToLeft() && !IsBarItem()) X = ARect.Right - ShownWidth;
    C->Brush()->SetStyle(bsClear);
    auto Draw = [&](int Dx, int Dy) {
        C->TextRect(Rect(ARect.Left + Dx, ARect.Top + Dy, ARect.Right + Dx, ARect.Bottom + Dy),
                    X + Dx, ARect.Top + Dy, Shown);
        if (Under >= 0) {
            const int U0 = X + Dx + C->TextWidth(Shown.substr(0, size_t(Under)));
            size_t Len = 1;
            while (size_t(Under) + Len < Shown.size() &&
                   (Byte(Shown[size_t(Under) + Len]) & 0xC0) == 0x80)
                ++Len;
            const int U1 = U0 + C->TextWidth(Shown.substr(size_t(Under), Len));
            const int UY = ARect.Top + Dy + Ext.cy - 2;
            Line(C, C->Font()->Color(), U0, UY, U1, UY);
        }
    };
    if (FState.Contains(mdDisabled)) {
        if (NeedsGrayedShadow()) {
            const TColor Keep = C->Font()->Color();
            C->Font()->SetColor(clBtnHighlight);
            Draw(1, 1);
            C->Font()->SetColor(Keep);
        }
        C->Font()->SetColor(GrayedTextColor());
    }
    Draw(0, 0);
}

void TUiCustomMenuItemPainter::PaintLeftMargin(const TRect& ARect) {
    if (OnDrawLeftMargin) {
        OnDrawLeftMargin(FMenu, ARect);
        return;
    }
    TCanvas* C = Canvas();
    const TColor Start = RGB(0, 0, 255);
    const TColor End = RGB(0, 0, 255 / 4);
    GradientFill(C, Rect(ARect.Left, ARect.Top, ARect.Right - 3, ARect.Bottom), Start, 32,
                 gdTopToBottom, End);
    const TColor Cols[3] = {clBtnFace, clBtnShadow, clBtnHighlight};
    for (int I = 0; I < 3; ++I) {
        const int X = ARect.Right - 3 + I;
        Line(C, Cols[I], X, ARect.Top, X, ARect.Bottom);
    }
}

int TUiCustomMenuItemPainter::ItemTextWidth(TMenuItem* Item) {
    TCanvas* C = Canvas();
    int Widest = 0, WidestShortCut = 0;
    bool AnySub = false, AnyShortCut = false;
    const int Own = TextExtentX(C, Item->Caption());
    if (TMenuItem* P = Item->Parent()) {
        for (int I = 0; I < P->Count(); ++I) {
            TMenuItem* S = P->Items(I);
            Widest = std::max(Widest, TextExtentX(C, S->Caption()));
            if (S->Count() > 0) AnySub = true;
            if (S->ShortCut() != scNone) {
                AnyShortCut = true;
                WidestShortCut =
                    std::max(WidestShortCut, C->TextWidth(ShortCutToText(S->ShortCut())));
            }
        }
    }
    Widest = std::max(Widest, Own);
    if (AnyShortCut) return Widest + WidestShortCut + C->TextWidth("        ");
    if (AnySub) return Widest + C->TextWidth("  ");
    return Widest;
}

void TUiCustomMenuItemPainter::MeasureItem(TMenuItem* Item, int& Width, int& Height) {
    TCanvas* C = Canvas();
    BeginItemPaint(Item, TRect{}, true, FState);
    if (IsBarItem()) {
        const std::string T = StripAmpersands(Item->Caption());
        Width = TextIndent() + C->TextWidth(T);
        Height = std::max(UiMenuMetric(SM_CYMENU), C->TextHeight(T));
        return;
    }
    const bool KeepChecked = FChecked;
    FChecked = Item->Checked();
    if (Item->IsLine()) {
        Width = ItemTextWidth(Item);
        Height = std::max(C->TextHeight("-") / 2, 9);
    } else {
        Width = CheckMarkCellWidth() + FImageMargin.Left() + GlyphCellWidth() +
                FImageMargin.Right() + TextIndent() + ItemTextWidth(Item) + FLeftMargin;
        Height = std::max({UiMenuMetric(SM_CYMENU), C->TextHeight(StripAmpersands(Item->Caption())),
                           CheckMarkCellHeight(),
                           GlyphCellHeight() + FImageMargin.Top() + FImageMargin.Bottom()});
    }
    FChecked = KeepChecked;
}

void TUiCustomMenuItemPainter::PaintItem(TMenuItem* Item, const TRect& ItemRect,
                                         TMenuOwnerDrawState State) {
    if (Item == nullptr) {
        ApplicationMessageBox("!!! asked to draw nil item !!!", "error in menu painter",
                              MB_ICONERROR);
        return;
    }
    TCanvas* C = Canvas();
    Item->OnAdvancedDrawItem = [](TObject*, TCanvas*, TRect, TOwnerDrawState) {};
    const TRect R = ItemRect;
    const int LM = FLeftMargin;
    TRect CheckCell, GlyphCell, TextCell, Selection, Margin, ImageRect, TextRect;
    FItem = Item;
    const bool Bar = IsBarItem();
    if (!Bar) {
        TMenuItem* P = Item->Parent();
        // The drop-down's height and checked flag belong to the drop-down
        // being painted: counted again at its first item, and whenever an
        // item of another drop-down (a sub-menu) was painted in between.
        if (P != nullptr && P->Count() > 0 && (P->Items(0) == Item || P != FMeasuredDropDown)) {
            FMeasuredDropDown = P;
            FMenuHeight = 0;
            FChecked = false;
            for (int I = 0; I < P->Count(); ++I) {
                TMenuItem* S = P->Items(I);
                if (!S->Visible()) continue;
                int W = 0, H = 0;
                TCanvasState Keep(C);
                MeasureItem(S, W, H);
                Keep.Restore();
                FMenuHeight += H;
                if (S->Checked()) FChecked = true;
            }
        }
        BeginItemPaint(Item, R, false, State);
        const int CW = CheckMarkCellWidth();
        const int GW = GlyphCellWidth() + FImageMargin.Left() + FImageMargin.Right();
        if (!IsRightToLeft()) {
            CheckCell = Rect(R.Left, R.Top, R.Left + CW, R.Bottom);
            GlyphCell = Rect(CheckCell.Right, R.Top, CheckCell.Right + GW, R.Bottom);
            TextCell = Rect(GlyphCell.Right, R.Top, R.Right, R.Bottom);
            Selection = Rect(R.Left + LM, R.Top, R.Right, R.Bottom);
            for (TRect* Cell : {&CheckCell, &GlyphCell, &TextCell}) {
                Cell->Left += LM;
                Cell->Right += LM;
            }
            Margin = Rect(R.Left, 0, R.Left + LM, FMenuHeight);
        } else {
            CheckCell = Rect(R.Right - CW, R.Top, R.Right, R.Bottom);
            GlyphCell = Rect(CheckCell.Left - GW, R.Top, CheckCell.Left, R.Bottom);
            TextCell = Rect(R.Left, R.Top, GlyphCell.Left, R.Bottom);
            Selection = Rect(R.Left, R.Top, R.Right - LM, R.Bottom);
            for (TRect* Cell : {&CheckCell, &GlyphCell, &TextCell}) {
                Cell->Left -= LM;
                Cell->Right -= LM;
            }
            Margin = Rect(R.Right - LM, 0, R.Right, FMenuHeight);
        }
        ImageRect =
            Rect(GlyphCell.Left + FImageMargin.Left(), GlyphCell.Top + FImageMargin.Top(),
                 GlyphCell.Right - FImageMargin.Right(), GlyphCell.Bottom - FImageMargin.Bottom());
        TextRect = TextCell;
        if (!IsRightToLeft())
            TextRect.Left += TextIndent();
        else
            TextRect.Right -= TextIndent();
    } else {
        BeginItemPaint(Item, R, false, State);
        TextCell = Selection = TextRect = R;
    }
    const bool Checked = State.Contains(mdChecked) || Item->Checked();
    const bool Marks = ShowCheckMarks();

    PaintItemBackground(R);
    if (LM != 0 && !Bar) PaintLeftMargin(Margin);
    if (!Bar) {
        if (Marks) PaintCheckCellBackground(CheckCell);
        PaintGlyphCellBackground(GlyphCell);
    }
    PaintTextCellBackground(TextCell);
    if (State.Contains(mdSelected)) PaintSelectionFrame(Selection);
    if (!Bar && Checked && Marks) PaintCheckMark(CheckCell);

    if (!Bar) {
        auto GlyphBack = [&] {
            if (!Checked || Marks)
                PaintUncheckedGlyphBack(GlyphCell);
            else
                PaintCheckedGlyphBack(GlyphCell);
        };
        const bool HasImg = HasImage(ActiveImageList(), FImageIndex);
        if (HasImg && !Item->IsLine()) {
            GlyphBack();
            if (State.Contains(mdDisabled))
                PaintDisabledImage(ImageRect.Left, ImageRect.Top);
            else
                PaintEnabledImage(ImageRect.Left, ImageRect.Top);
        } else if (FGlyph->Empty() || Item->IsLine()) {
            if (Checked && !Marks) {
                PaintCheckedGlyphBack(GlyphCell);
                PaintCheckMark(ImageRect);
            }
        } else {
            GlyphBack();
            if (FNumGlyphs < 2 || FNumGlyphs > 5) {
                PaintItemBitmap(ImageRect.Left, ImageRect.Top, FGlyph.get());
            } else {
                int K = 0;
                if (State.Contains(mdDisabled))
                    K = 1;
                else if (Checked)
                    K = 3;
                else if (State.Contains(mdSelected))
                    K = 2;
                if (K > FNumGlyphs - 1) K = 0;
                TBitmap Piece;
                CutGlyph(FGlyph.get(), &Piece, FNumGlyphs, K, 1);
                PaintItemBitmap(ImageRect.Left, ImageRect.Top, &Piece);
            }
        }
    }

    if (!Item->IsLine()) {
        TRect ShortCutRect = TextRect;
        ShortCutRect.Left = TextRect.Left + TextExtentX(C, Item->Caption());
        if (TMenuItem* P = Item->Parent(); P != nullptr && Item->ShortCut() != scNone) {
            for (int I = 0; I < P->Count(); ++I)
                ShortCutRect.Left =
                    std::max(ShortCutRect.Left,
                             TextRect.Left + TextExtentX(C, P->Items(I)->Caption() + "        "));
        }
        C->Brush()->SetStyle(bsClear);
        const TColor FontColor = C->Font()->Color();
        PaintItemText(TextRect, Item->Caption(), false);
        C->Font()->SetColor(FontColor);
        if (Item->ShortCut() != scNone && Item->Count() == 0 && !Bar)
            PaintItemText(ShortCutRect, ShortCutToText(Item->ShortCut()), true);
    } else {
        PaintSeparator(Selection);
    }
}

// ---- Standard ---------------------------------------------------------------------

int TUiStandardMenuItemPainter::TextIndent() {
    return TUiCustomMenuItemPainter::TextIndent() + 2;
}

int TUiStandardMenuItemPainter::GlyphCellWidth() {
    const int W = TUiCustomMenuItemPainter::GlyphCellWidth();
    return FChecked ? std::max(W, UiMenuMetric(SM_CXMENUCHECK)) : W;
}

// ---- Owner-draw -------------------------------------------------------------------

void TUiOwnerDrawMenuItemPainter::MeasureItem(TMenuItem* Item, int& Width, int& Height) {
    if (FMenu != nullptr) FMenu->DoMeasureItem(Item, Width, Height);
}

void TUiOwnerDrawMenuItemPainter::PaintItem(TMenuItem* Item, const TRect& ItemRect,
                                            TMenuOwnerDrawState State) {
    if (FMenu != nullptr && FMenu->OnDrawItem) FMenu->OnDrawItem(FMenu, Item, ItemRect, State);
}

// ---- Button -------------------------------------------------------------------------

void TUiBtnMenuItemPainter::PaintSelectionFrame(const TRect& ARect) {
    TRect R = ARect;
    if (FLowered)
        Frame3D(Canvas(), R, clBtnShadow, clBtnHighlight);
    else
        Frame3D(Canvas(), R, clBtnHighlight, clBtnShadow);
}

void TUiBtnMenuItemPainter::CopyMenuSettings() {
    TUiCustomMenuItemPainter::CopyMenuSettings();
    FImageMargin.SetTop(FImageMargin.Top() + 1);
    FImageMargin.SetBottom(FImageMargin.Bottom() + 1);
}

// ---- Office ---------------------------------------------------------------------------

int TUiOfficeMenuItemPainter::TextIndent() {
    return TUiCustomMenuItemPainter::TextIndent() + 3;
}

void TUiOfficeMenuItemPainter::CopyMenuSettings() {
    TUiCustomMenuItemPainter::CopyMenuSettings();
    FImageMargin.SetLeft(FImageMargin.Left() + 2);
    FImageMargin.SetTop(FImageMargin.Top() + 2);
    FImageMargin.SetRight(FImageMargin.Right() + 3);
    FImageMargin.SetBottom(FImageMargin.Bottom() + 2);
}

void TUiOfficeMenuItemPainter::ImageBack(const TRect& ARect) {
    FillRectColor(Canvas(), Rect(ARect.Left - 1, ARect.Top, ARect.Right + 1, ARect.Bottom),
                  FImageBackgroundColor);
}

void TUiOfficeMenuItemPainter::RaisedBack(const TRect& ARect) {
    ImageBack(ARect);
    TRect R = Rect(ARect.Left - 1, ARect.Top, ARect.Right + 1, ARect.Bottom);
    Frame3D(Canvas(), R, clBtnHighlight, clBtnShadow);
}

void TUiOfficeMenuItemPainter::PaintSelectionFrame(const TRect& ARect) {
    if (!IsBarItem()) return;
    ImageBack(ARect);
    TRect R = Rect(ARect.Left - 1, ARect.Top, ARect.Right + 1, ARect.Bottom);
    Frame3D(Canvas(), R, clBtnShadow, clBtnHighlight);
}

void TUiOfficeMenuItemPainter::PaintItemBackground(const TRect& ARect) {
    if (IsBarItem() && FState.Contains(mdHotlight)) RaisedBack(ARect);
}

void TUiOfficeMenuItemPainter::PaintCheckedGlyphBack(const TRect& ARect) {
    ImageBack(ARect);
    PaintPushedFrame(ARect);
}

void TUiOfficeMenuItemPainter::PaintUncheckedGlyphBack(const TRect& ARect) {
    if (!IsBarItem() && FState.Contains(mdSelected)) RaisedBack(ARect);
}

bool TUiOfficeMenuItemPainter::NeedsGrayedShadow() {
    return IsBarItem() || TUiCustomMenuItemPainter::NeedsGrayedShadow();
}

void TUiOfficeMenuItemPainter::PaintCheckMark(const TRect& ARect) {
    TUiCustomMenuItemPainter::PaintCheckMark(
        Rect(ARect.Left + 2, ARect.Top, ARect.Right, ARect.Bottom - 1));
}

void TUiOfficeMenuItemPainter::PaintItemText(TRect ARect, const std::string& Text,
                                             bool IsShortCut) {
    if (IsBarItem()) {
        TCanvas* C = Canvas();
        C->Font()->SetColor(clMenuText);
        if (!FState.Contains(mdSelected) && !FState.Contains(mdFocused) &&
            !FState.Contains(mdHotlight))
            FillRectColor(C, ARect, FlatMenus() ? clMenuBar : clBtnFace);
    }
    ARect.Bottom -= 1;
    TUiCustomMenuItemPainter::PaintItemText(ARect, Text, IsShortCut);
}

// ---- XP ---------------------------------------------------------------------------------

TUiXPMenuItemPainter::TUiXPMenuItemPainter(TComponent* AOwner) : TUiCustomMenuItemPainter(AOwner) {
    FImageBackgroundColor = RGB(216, 216, 209);
    FSelectionFrameBrush.SetColor(RGB(182, 189, 210));
    FSelectionFrameBrush.SetStyle(bsSolid);
    FSelectionFramePen.SetColor(RGB(10, 36, 106));
}

int TUiXPMenuItemPainter::TextIndent() {
    return TUiCustomMenuItemPainter::TextIndent() + 2;
}

void TUiXPMenuItemPainter::CopyMenuSettings() {
    TUiCustomMenuItemPainter::CopyMenuSettings();
    FImageMargin.SetLeft(FImageMargin.Left() + 6);
    FImageMargin.SetTop(FImageMargin.Top() + 4);
    FImageMargin.SetRight(FImageMargin.Right() + 4);
    FImageMargin.SetBottom(FImageMargin.Bottom() + 4);
}

void TUiXPMenuItemPainter::MeasureItem(TMenuItem* Item, int& Width, int& Height) {
    TUiCustomMenuItemPainter::MeasureItem(Item, Width, Height);
    if (Item->IsLine())
        Height = 3;
    else
        Height += 2;
}

void TUiXPMenuItemPainter::BeginItemPaint(TMenuItem* Item, const TRect& ARect, bool Measuring,
                                          TMenuOwnerDrawState State) {
    Canvas()->Brush()->SetColor(clNone);
    TUiCustomMenuItemPainter::BeginItemPaint(Item, ARect, Measuring, State);
}

void TUiXPMenuItemPainter::PaintItemBackground(const TRect& ARect) {
    TCanvas* C = Canvas();
    if (!IsBarItem()) {
        FillRectColor(C, ARect, clWhite);
    } else if (FState.Contains(mdHotlight)) {
        C->SetBrush(FSelectionFrameBrush);
        C->SetPen(FSelectionFramePen);
        C->Rectangle(ARect);
    } else {
        FillRectColor(C, ARect, FlatMenus() ? clMenuBar : clBtnFace);
    }
}

void TUiXPMenuItemPainter::PaintSelectionFrame(const TRect& ARect) {
    TCanvas* C = Canvas();
    if (!IsBarItem()) {
        C->SetBrush(FSelectionFrameBrush);
        C->FillRect(Rect(0, ARect.Top, ARect.Right + 4, ARect.Bottom));
        C->SetPen(FSelectionFramePen);
        C->MoveTo(0, ARect.Top);
        C->LineTo(ARect.Right + 4, ARect.Top);
        C->MoveTo(0, ARect.Bottom - 2);
        C->LineTo(ARect.Right + 4, ARect.Bottom - 2);
    } else {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(RGB(192, 192, 192));
        C->Pen()->SetWidth(1);
        C->Pen()->SetColor(RGB(128, 128, 128));
        C->Rectangle(ARect);
    }
}

void TUiXPMenuItemPainter::PaintGlyphCellBackground(const TRect& ARect) {
    FillRectColor(Canvas(), ARect, FImageBackgroundColor);
}

void TUiXPMenuItemPainter::PaintCheckCellBackground(const TRect& ARect) {
    FillRectColor(Canvas(), ARect, FImageBackgroundColor);
}

void TUiXPMenuItemPainter::PaintCheckedGlyphBack(const TRect& ARect) {
    TCanvas* C = Canvas();
    C->SetPen(FSelectionFramePen);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(FState.Contains(mdSelected) ? FCheckedImageBackColorSelected
                                                     : FCheckedImageBackColor);
    C->Rectangle(ARect);
}

void TUiXPMenuItemPainter::PaintSeparator(const TRect& ARect) {
    const int Skip = CheckMarkCellWidth() + GlyphCellWidth() + FImageMargin.Left() +
                     FImageMargin.Right() + TextIndent();
    const int Y = (ARect.Top + ARect.Bottom) / 2 + 1;
    if (!IsRightToLeft())
        Line(Canvas(), FSeparatorColor, ARect.Left + Skip, Y, ARect.Right, Y);
    else
        Line(Canvas(), FSeparatorColor, ARect.Left, Y, ARect.Right - Skip, Y);
}

void TUiXPMenuItemPainter::PaintEnabledImage(int X, int Y) {
    X += IsRightToLeft() ? 3 : -3;
    if (!FState.Contains(mdSelected) || FMenu == nullptr) {
        TUiCustomMenuItemPainter::PaintEnabledImage(X, Y);
        return;
    }
    TCustomImageList* L =
        HasImage(FMenu->HotImages(), FImageIndex) ? FMenu->HotImages() : ActiveImageList();
    if (!HasImage(L, FImageIndex)) return;
    // The drop shadow: what differs from the bottom-left pixel.
    const std::vector<std::uint32_t> Px = L->ImagePixels(FImageIndex);
    const int W = L->Width(), H = L->Height();
    if (Px.size() == size_t(W) * size_t(H) && H > 0) {
        const std::uint32_t Key = Px[size_t(H - 1) * W];
        const TColor Shadow = ColorToRGB(FShadowColor);
        for (int Yy = 0; Yy < H; ++Yy)
            for (int Xx = 0; Xx < W; ++Xx)
                if (Px[size_t(Yy) * W + Xx] != Key)
                    Canvas()->SetPixels(X + Xx + 1, Y + Yy + 1, Shadow);
    }
    L->Draw(Canvas(), X - 1, Y - 1, FImageIndex);
}

void TUiXPMenuItemPainter::PaintDisabledImage(int X, int Y) {
    TUiCustomMenuItemPainter::PaintDisabledImage(X + (IsRightToLeft() ? 3 : -3), Y);
}

void TUiXPMenuItemPainter::PaintItemBitmap(int X, int Y, TBitmap* Bitmap) {
    if (FInImage) {
        TUiCustomMenuItemPainter::PaintItemBitmap(X, Y, Bitmap);
        return;
    }
    TUiCustomMenuItemPainter::PaintItemBitmap(X + (IsRightToLeft() ? 3 : -3), Y, Bitmap);
}

void TUiXPMenuItemPainter::PaintCheckMark(const TRect& ARect) {
    // The check glyph moves by itself; the glyph shift must not add to it.
    FInImage = true;
    TUiCustomMenuItemPainter::PaintCheckMark(
        Rect(ARect.Left - 2, ARect.Top, ARect.Right - 2, ARect.Bottom - 1));
    FInImage = false;
}

void TUiXPMenuItemPainter::PaintItemText(TRect ARect, const std::string& Text, bool IsShortCut) {
    ARect.Bottom -= 1;
    TUiCustomMenuItemPainter::PaintItemText(ARect, Text, IsShortCut);
}

void TUiXPMenuItemPainter::PaintDropDownFrame(TMenuItem* DropDown, TCanvas* C, const TRect& R) {
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    if (W < 6 || H < 6) return;
    const TColor Back = ImageBackgroundColor();
    const bool Rtl = FMenu != nullptr && FMenu->RightToLeft();
    // Outline, then two lines inside: white at the top, bottom and on the
    // text side, the image column's colour on the image side.
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetWidth(1);
    C->Pen()->SetColor(RGB(102, 102, 102));
    C->Rectangle(R);
    for (int I = 1; I <= 2; ++I) {
        Line(C, clWhite, R.Left + I, R.Top + I, R.Right - I, R.Top + I);
        Line(C, clWhite, R.Left + I, R.Bottom - 1 - I, R.Right - I, R.Bottom - 1 - I);
        Line(C, Rtl ? Back : clWhite, R.Right - 1 - I, R.Top + I, R.Right - 1 - I, R.Bottom - I);
        Line(C, Rtl ? clWhite : Back, R.Left + I, R.Top + I, R.Left + I, R.Bottom - I);
    }
    // The join with the bar item it drops from: its top edge stays open
    // over the item's width, in the open bar item's colour.
    if (FMenu != nullptr && DropDown != nullptr && DropDown->Parent() == FMenu->Items()) {
        int BW = 0, BH = 0;
        TCanvas* Keep = FMenu->Canvas();
        FMenu->SetPaintCanvas(C);
        TCanvasState Saved(C);
        TUiMainMenu::GetMenuFont(C->Font());
        MeasureItem(DropDown, BW, BH);
        Saved.Restore();
        FMenu->SetPaintCanvas(Keep);
        BW = std::min(BW, W - 2);
        if (BW > 2) {
            if (!Rtl)
                Line(C, RGB(192, 192, 192), R.Left + 1, R.Top, R.Left + BW - 1, R.Top);
            else
                Line(C, RGB(192, 192, 192), R.Right - BW + 1, R.Top, R.Right - 1, R.Top);
        }
    }
    C->Brush()->SetStyle(bsSolid);
}

// ---- The menu ----------------------------------------------------------------------------

TUiMainMenu::TUiMainMenu(TComponent* AOwner) : TMainMenu(AOwner) {
    SetOwnerDraw(true);
    FHooked = WindowHandle();
    if (FHooked != nullptr)
        InstallWndProcHook(FHooked, hoAfterMsg, UiHookMethod<&TUiMainMenu::HookProc>(this));
    FStylePainter = CreateStylePainter(msStandard);
    auto OnSize = [this](TObject*) { ForceRebuild(); };
    FImageMargin.OnChange = OnSize;
    FImageSize.OnChange = OnSize;
    for (auto* L : {&FImageChangeLink, &FDisabledImageChangeLink, &FHotImageChangeLink}) {
        *L = std::make_unique<TChangeLink>();
        (*L)->OnChange = [this](TObject* S) { ImageListChange(S); };
    }
}

TUiMainMenu::~TUiMainMenu() {
    if (FItemPainter != nullptr) {
        FItemPainter->RemoveFreeNotification(this);
        FItemPainter->SetMenu(nullptr);
    }
    SetImages(nullptr);
    SetDisabledImages(nullptr);
    SetHotImages(nullptr);
    delete FStylePainter;
    if (FHooked != nullptr)
        RemoveWndProcHook(FHooked, hoAfterMsg, UiHookMethod<&TUiMainMenu::HookProc>(this));
}

TUiCustomMenuItemPainter* TUiMainMenu::CreateStylePainter(TUiMenuStyle AStyle) {
    TUiCustomMenuItemPainter* P = nullptr;
    switch (AStyle) {
    case msOwnerDraw:
        P = new TUiOwnerDrawMenuItemPainter(nullptr);
        break;
    case msBtnLowered:
    case msBtnRaised: {
        auto* B = new TUiBtnMenuItemPainter(nullptr);
        B->SetLowered(AStyle == msBtnLowered);
        P = B;
        break;
    }
    case msOffice:
        P = new TUiOfficeMenuItemPainter(nullptr);
        break;
    case msXP:
        P = new TUiXPMenuItemPainter(nullptr);
        break;
    default:
        P = new TUiStandardMenuItemPainter(nullptr);
        break;
    }
    P->SetMenu(this);
    return P;
}

void TUiMainMenu::SetStyle(TUiMenuStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    if (!(Value == msItemPainter && FItemPainter != nullptr)) {
        if (FItemPainter != nullptr) {
            FItemPainter->RemoveFreeNotification(this);
            FItemPainter = nullptr;
        }
        delete FStylePainter;
        FStylePainter = CreateStylePainter(Value);
    }
    RefreshOwnerDraw();
}

void TUiMainMenu::SetItemPainter(TUiCustomMenuItemPainter* Value) {
    if (FItemPainter == Value) return;
    if (FItemPainter != nullptr) FItemPainter->RemoveFreeNotification(this);
    FItemPainter = Value;
    if (Value != nullptr) {
        SetStyle(msItemPainter);
        Value->FreeNotification(this);
        Value->SetMenu(this);
    } else {
        SetStyle(msStandard);
    }
    RefreshOwnerDraw();
}

TUiCustomMenuItemPainter* TUiMainMenu::ActivePainter() const {
    if (FStyle == msItemPainter && FItemPainter != nullptr) return FItemPainter;
    return FStylePainter;
}

void TUiMainMenu::SetImages(TCustomImageList* Value) {
    if (ReplaceImageListReference(this, Value, FUiImages, FImageChangeLink.get())) {
        TMenu::SetImages(Value);
        RefreshOwnerDraw();
    }
}

void TUiMainMenu::SetDisabledImages(TCustomImageList* Value) {
    if (ReplaceImageListReference(this, Value, FDisabledImages, FDisabledImageChangeLink.get()))
        RefreshOwnerDraw();
}

void TUiMainMenu::SetHotImages(TCustomImageList* Value) {
    if (ReplaceImageListReference(this, Value, FHotImages, FHotImageChangeLink.get()))
        RefreshOwnerDraw();
}

void TUiMainMenu::ImageListChange(TObject*) {
    RefreshOwnerDraw();
}

void TUiMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMainMenu::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FUiImages) FUiImages = nullptr;
    if (AComponent == FDisabledImages) FDisabledImages = nullptr;
    if (AComponent == FHotImages) FHotImages = nullptr;
    if (AComponent == FItemPainter) {
        FItemPainter = nullptr;
    }
}

void TUiMainMenu::RefreshOwnerDraw() {
    if (!ComponentState().Contains(csDesigning)) SetOwnerDraw(true);
}

void TUiMainMenu::Loaded() {
    TMainMenu::Loaded();
    RefreshOwnerDraw();
}

void TUiMainMenu::MenuChanged(TMenuItem* Source, bool Rebuild) {
    if (ComponentState().Contains(csLoading)) return;
    const std::vector<TUiMenuChangeLink*> Links = FChangeLinks;
    for (TUiMenuChangeLink* L : Links)
        if (L->OnChange) L->OnChange(this, Source, Rebuild);
    TMainMenu::MenuChanged(Source, Rebuild);
}

void TUiMainMenu::RegisterChanges(TUiMenuChangeLink* Value) {
    if (Value != nullptr) FChangeLinks.push_back(Value);
}

void TUiMainMenu::UnRegisterChanges(TUiMenuChangeLink* Value) {
    std::erase(FChangeLinks, Value);
}

void TUiMainMenu::ForceRebuild() {
    if (ComponentState().Contains(csLoading)) return;
    auto* Temp = new TMenuItem(nullptr);
    Items()->Add(Temp);
    Items()->Remove(Temp);
    delete Temp;
}

void TUiMainMenu::GetItemParams(TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont,
                                TColor& Color, TGraphic*& Graphic, int& NumGlyphs) {
    if (OnGetItemParams) OnGetItemParams(this, Item, State, AFont, Color, Graphic, NumGlyphs);
    if (Item->IsLine()) Graphic = nullptr;
}

void TUiMainMenu::GetImageIndex(TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex) {
    if (FUiImages != nullptr && !Item->IsLine() && OnGetImageIndex)
        OnGetImageIndex(this, Item, State, ImageIndex);
}

void TUiMainMenu::DoMeasureItem(TMenuItem* Item, int& Width, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Item, Width, Height);
}

void TUiMainMenu::GetMenuFont(TFont* Font) {
    if (Screen != nullptr) {
        Font->Assign(*Screen->MenuFont());
    } else {
        // No screen to ask: a plain 8-point sans face.
        Font->SetName("Liberation Sans");
        Font->SetSize(8);
        Font->SetStyle(TFontStyles{});
    }
    Font->SetColor(clMenuText);
}

void TUiMainMenu::PaintMenuItem(TMenuItem* Item, const TRect& Rect, TMenuOwnerDrawState State) {
    if (FCanvas == nullptr) return;
    TUiCustomMenuItemPainter* P = ActivePainter();
    P->SetMenu(this);
    P->PaintItem(Item, Rect, State);
}

bool TUiMainMenu::HookProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_DRAWITEM: {
        auto* DIS = reinterpret_cast<TDrawItemStruct*>(Message.LParam);
        if (DIS == nullptr || DIS->CtlType != ODT_MENU) break;
        if (TMenuItem* Item = FindItem(DIS->itemID, fkCommand)) {
            DIS->itemData = reinterpret_cast<std::uintptr_t>(Item);
            DrawItemHandler(*DIS);
            Message.Result = 1;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* MIS = reinterpret_cast<TMeasureItemStruct*>(Message.LParam);
        if (MIS == nullptr || MIS->CtlType != ODT_MENU) break;
        if (TMenuItem* Item = FindItem(MIS->itemID, fkCommand)) {
            MIS->itemData = reinterpret_cast<std::uintptr_t>(Item);
            MeasureItemHandler(*MIS);
            Message.Result = 1;
        }
        break;
    }
    case WM_MENUSELECT:
        MenuSelectHandler(Message);
        break;
    default:
        break;
    }
    return false;
}

void TUiMainMenu::DrawItemHandler(TDrawItemStruct& DIS) {
    TMenuItem* Item = FindItem(DIS.itemID, fkCommand);
    if (Item == nullptr || reinterpret_cast<TMenuItem*>(DIS.itemData) != Item ||
        DIS.Canvas == nullptr)
        return;
    TCanvas* C = DIS.Canvas;
    TCanvasState Keep(C);
    GetMenuFont(C->Font());
    C->Font()->SetColor(clMenuText);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clMenu);
    if (DIS.itemState & ODS_DEFAULT) C->Font()->SetStyle(TFontStyles{fsBold});
    if ((DIS.itemState & ODS_SELECTED) && FStyle != msBtnLowered && FStyle != msBtnRaised) {
        C->Brush()->SetColor(clHighlight);
        C->Font()->SetColor(clHighlightText);
    }
    FCanvas = C;
    try {
        PaintMenuItem(Item, DIS.rcItem, MenuOwnerDrawState(DIS.itemState));
    } catch (...) {
        FCanvas = nullptr;
        Keep.Restore();
        throw;
    }
    FCanvas = nullptr;
    Keep.Restore();
}

void TUiMainMenu::MeasureItemHandler(TMeasureItemStruct& MIS) {
    TMenuItem* Item = FindItem(MIS.itemID, fkCommand);
    if (Item == nullptr) return;
    TBitmap Screen1(1, 1, pf24bit);
    TCanvas* C = Screen1.Canvas();
    GetMenuFont(C->Font());
    if (Item->Default()) C->Font()->SetStyle(TFontStyles{fsBold});
    C->Brush()->SetColor(clMenu);
    FCanvas = C;
    TUiCustomMenuItemPainter* P = ActivePainter();
    P->SetMenu(this);
    int W = int(std::min<UINT>(MIS.itemWidth, 4096)), H = int(std::min<UINT>(MIS.itemHeight, 4096));
    try {
        P->MeasureItem(Item, W, H);
    } catch (...) {
        FCanvas = nullptr;
        throw;
    }
    FCanvas = nullptr;
    MIS.itemWidth = UINT(std::max(W, 0));
    MIS.itemHeight = UINT(std::max(H, 0));
}

bool TUiMainMenu::DrawDropDownFrame(TMenuItem* DropDown, TCanvas* C, const TRect& R) {
    auto* XP = dynamic_cast<TUiXPMenuItemPainter*>(ActivePainter());
    if (XP == nullptr || ComponentState().Contains(csDesigning)) return false;
    XP->SetMenu(this);
    XP->PaintDropDownFrame(DropDown, C, R);
    return true;
}

void TUiMainMenu::MenuSelectHandler(TMessage& Message) {
    if (FCursor == crDefault) return;
    const UINT Flags = UINT(Message.WParam >> 16) & 0xFFFF;
    const UINT Id = UINT(Message.WParam) & 0xFFFF;
    TMenuItem* Item = nullptr;
    if (Flags != 0xFFFF) {
        if (Flags & MF_POPUP) {
            // The low word is the index of the item in the parent's drop-down.
            if (auto* Parent = FindItem(std::uintptr_t(Message.LParam), fkHandle);
                Parent != nullptr && int(Id) < Parent->Count())
                Item = Parent->Items(int(Id));
        } else {
            Item = FindItem(Id, fkCommand);
        }
    }
    const bool BarWithSubs = Item != nullptr && Item->Parent() == Items() && Item->Count() > 0;
    const TCursor Wanted =
        (Item != nullptr && !BarWithSubs && (Flags & MF_MOUSESELECT)) ? FCursor : crDefault;
    // The cursor shows over the drop-down while the pointer is on an item.
    if (Screen != nullptr && Wanted != FMenuCursor &&
        (Wanted != crDefault || Screen->Cursor() == FMenuCursor))
        Screen->SetCursor(Wanted);
    FMenuCursor = Wanted;
}

// ---- Stream properties ------------------------------------------------------------------

void RegisterStyledMenuClasses() {
    if (ClassPropertiesRegistered("TUiMainMenu")) return;
    TPublishedProperties<TUiImageMargin>("TUiImageMargin", "")
        .Integer("Left", &TUiImageMargin::Left, &TUiImageMargin::SetLeft)
        .Integer("Top", &TUiImageMargin::Top, &TUiImageMargin::SetTop)
        .Integer("Right", &TUiImageMargin::Right, &TUiImageMargin::SetRight)
        .Integer("Bottom", &TUiImageMargin::Bottom, &TUiImageMargin::SetBottom)
        .Register();
    TPublishedProperties<TUiMenuImageSize>("TUiMenuImageSize", "")
        .Integer("Height", &TUiMenuImageSize::Height, &TUiMenuImageSize::SetHeight)
        .Integer("Width", &TUiMenuImageSize::Width, &TUiMenuImageSize::SetWidth)
        .Register();
    TPublishedProperties<TUiMainMenu>("TUiMainMenu", "TComponent")
        .Enumeration("Style", &TUiMainMenu::Style, &TUiMainMenu::SetStyle,
                     {"msStandard", "msOwnerDraw", "msBtnLowered", "msBtnRaised", "msOffice",
                      "msXP", "msItemPainter"})
        .Default(msStandard)
        .Integer(
            "Cursor", [](TUiMainMenu& M) { return int(M.Cursor()); },
            [](TUiMainMenu& M, int V) { M.SetCursor(TCursor(V)); })
        .Default(0)
        .Class("ImageMargin", &TUiMainMenu::ImageMargin)
        .Class("ImageSize", &TUiMainMenu::ImageSize)
        .Boolean("ShowCheckMarks", &TUiMainMenu::ShowCheckMarks, &TUiMainMenu::SetShowCheckMarks)
        .Default(0)
        .Integer("TextMargin", &TUiMainMenu::TextMargin, &TUiMainMenu::SetTextMargin)
        .Default(0)
        .Enumeration("TextVAlignment", &TUiMainMenu::TextVAlignment,
                     &TUiMainMenu::SetTextVAlignment, {"vaTop", "vaMiddle", "vaBottom"})
        .Default(vaMiddle)
        .Register();
    TPublishedProperties<TUiCustomMenuItemPainter>("TUiCustomMenuItemPainter", "TComponent")
        .Register();
    for (const char* Name : {"TUiStandardMenuItemPainter", "TUiOfficeMenuItemPainter"})
        TPublishedProperties<TUiCustomMenuItemPainter>(Name, "TUiCustomMenuItemPainter")
            .Integer("LeftMargin", &TUiCustomMenuItemPainter::LeftMargin,
                     &TUiCustomMenuItemPainter::SetLeftMargin)
            .Default(0)
            .Register();
    TPublishedProperties<TUiOwnerDrawMenuItemPainter>("TUiOwnerDrawMenuItemPainter",
                                                      "TUiCustomMenuItemPainter")
        .Register();
    TPublishedProperties<TUiBtnMenuItemPainter>("TUiBtnMenuItemPainter", "TUiCustomMenuItemPainter")
        .Integer("LeftMargin", &TUiBtnMenuItemPainter::LeftMargin,
                 &TUiBtnMenuItemPainter::SetLeftMargin)
        .Default(0)
        .Boolean("Lowered", &TUiBtnMenuItemPainter::Lowered, &TUiBtnMenuItemPainter::SetLowered)
        .Default(1)
        .Register();
    TPublishedProperties<TUiXPMenuItemPainter>("TUiXPMenuItemPainter", "TUiCustomMenuItemPainter")
        .Color("ImageBackgroundColor", &TUiXPMenuItemPainter::ImageBackgroundColor,
               &TUiXPMenuItemPainter::SetImageBackgroundColor)
        .Default(RGB(216, 216, 209))
        .Color("SeparatorColor", &TUiXPMenuItemPainter::SeparatorColor,
               &TUiXPMenuItemPainter::SetSeparatorColor)
        .Default(RGB(166, 166, 166))
        .Color("ShadowColor", &TUiXPMenuItemPainter::ShadowColor,
               &TUiXPMenuItemPainter::SetShadowColor)
        .Default(RGB(136, 141, 157))
        .Color("CheckedImageBackColor", &TUiXPMenuItemPainter::CheckedImageBackColor,
               &TUiXPMenuItemPainter::SetCheckedImageBackColor)
        .Default(RGB(212, 213, 216))
        .Color("CheckedImageBackColorSelected",
               &TUiXPMenuItemPainter::CheckedImageBackColorSelected,
               &TUiXPMenuItemPainter::SetCheckedImageBackColorSelected)
        .Default(RGB(133, 146, 181))
        .Register();
    RegisterClass<TUiMainMenu>("TUiMainMenu");
    RegisterClass<TUiStandardMenuItemPainter>("TUiStandardMenuItemPainter");
    RegisterClass<TUiOwnerDrawMenuItemPainter>("TUiOwnerDrawMenuItemPainter");
    RegisterClass<TUiBtnMenuItemPainter>("TUiBtnMenuItemPainter");
    RegisterClass<TUiOfficeMenuItemPainter>("TUiOfficeMenuItemPainter");
    RegisterClass<TUiXPMenuItemPainter>("TUiXPMenuItemPainter");
}
