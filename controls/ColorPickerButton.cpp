#include "controls/ColorPickerButton.h"

#include "platform/base/Format.h"
#include "platform/base/Rounding.h"
#include "platform/base/Text.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Colors.h"

#include <algorithm>
#include <cmath>

const std::array<TColorEntry, DefaultColorCount> DefaultColors = {{
    {"Black", 0x000000},
    {"Brown", 0x003399},
    {"Olive Green", 0x003333},
    {"Dark Green", 0x003300},
    {"Dark Teal", 0x663300},
    {"Dark blue", 0x800000},
    {"Indigo", 0x993333},
    {"Gray-80%", 0x333333},
    {"Dark Red", 0x000080},
    {"Orange", 0x0066FF},
    {"Dark Yellow", 0x008080},
    {"Green", 0x008000},
    {"Teal", 0x808000},
    {"Blue", 0xFF0000},
    {"Blue-Gray", 0x996666},
    {"Gray-50%", 0x808080},
    {"Red", 0x0000FF},
    {"Light Orange", 0x0099FF},
    {"Lime", 0x00CC99},
    {"Sea Green", 0x669933},
    {"Aqua", 0xCCCC33},
    {"Light Blue", 0xFF6633},
    {"Violet", 0x800080},
    {"Grey-40%", 0x969696},
    {"Pink", 0xFF00FF},
    {"Gold", 0x00CCFF},
    {"Yellow", 0x00FFFF},
    {"Bright Green", 0x00FF00},
    {"Turquoise", 0xFFFF00},
    {"Sky Blue", 0xFFCC00},
    {"Plum", 0x663399},
    {"Gray-25%", 0xC0C0C0},
    {"Rose", 0xCC99FF},
    {"Tan", 0x99CCFF},
    {"Light Yellow", 0x99FFFF},
    {"Light Green", 0xCCFFCC},
    {"Light Turquoise", 0xFFFFCC},
    {"Pale Blue", 0xFFCC99},
    {"Lavender", 0xFF99CC},
    {"White", 0xFFFFFF},
}};

// The system colours are this program's TColor system values (high bit set,
// the colour index in the low byte).
#define QM_SYS(n, name)                                                                            \
    { "system color: " name, TColor(0x80000000u | (n)) }
const std::array<TColorEntry, SysColorCount> SysColors = {{
    QM_SYS(0, "scroll bar"),
    QM_SYS(1, "background"),
    QM_SYS(2, "active caption"),
    QM_SYS(3, "inactive caption"),
    QM_SYS(4, "menu"),
    QM_SYS(5, "window"),
    QM_SYS(6, "window frame"),
    QM_SYS(7, "menu text"),
    QM_SYS(8, "window text"),
    QM_SYS(9, "caption text"),
    QM_SYS(10, "active border"),
    QM_SYS(11, "inactive border"),
    QM_SYS(12, "application workspace"),
    QM_SYS(13, "highlight"),
    QM_SYS(14, "highlight text"),
    QM_SYS(15, "button face"),
    QM_SYS(16, "button shadow"),
    QM_SYS(17, "gray text"),
    QM_SYS(18, "button text"),
    QM_SYS(19, "inactive caption text"),
    QM_SYS(20, "button highlight"),
    QM_SYS(21, "3D dark shadow"),
    QM_SYS(22, "3D light"),
    QM_SYS(23, "info text"),
    QM_SYS(24, "info background"),
}};
#undef QM_SYS

namespace {

// Sets Field to Value; true when that changes it.
template <class T> bool Replace(T& Field, const T& Value) {
    if (Value == Field) return false;
    Field = Value;
    return true;
}

constexpr int GreyCellCount = 9;

TColor RgbOf(double R, double G, double B) {
    auto C = [](double V) { return int(RoundHalfEven(std::clamp(V, 0.0, 1.0) * 255.0)); };
    return TColor(C(R) | (C(G) << 8) | (C(B) << 16));
}

std::int32_t PlainRgb(TColor C) {
    return ColorToRGB(C) & 0xFFFFFF;
}

char Accelerator(const std::string& Text) {
    for (std::size_t I = 0; I + 1 < Text.size(); ++I)
        if (Text[I] == '&') {
            if (Text[I + 1] != '&')
                return char(std::toupper(static_cast<unsigned char>(Text[I + 1])));
            ++I;
        }
    return 0;
}

std::string StripAccelerator(const std::string& Text) {
    std::string S;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '&' && I + 1 < Text.size()) ++I;
        S += Text[I];
    }
    return S;
}

void FillCell(TCanvas* C, const TRect& R, TColor Fill) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Fill);
    C->FillRect(R);
}

void Edge(TCanvas* C, TRect R, bool Raised) {
    Frame3D(C, R, Raised ? clBtnHighlight : clBtnShadow, Raised ? clBtnShadow : clBtnHighlight, 1);
}

} // namespace

// ---- TColorPopup ----

TColorPopup::TColorPopup(TColorPickerButton* AOwner) : TCustomControl(AOwner) {
    FTopLevel = true;
    SetVisible(false);
    SetBounds(-1000, 0, 10, 10);
    AdjustWindow();
    FHintTimer = std::make_unique<TTimer>(nullptr);
    FHintTimer->SetEnabled(false);
    FHintTimer->OnTimer = [this](TObject*) { HintTimerFired(); };
}

void TColorPopup::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    // Open, it takes the arrow keys and the press outside that closes it.
    Params.ClassStyle |= CS_DROPDOWN;
}

TColorPickerButton* TColorPopup::Button() const {
    return static_cast<TColorPickerButton*>(Owner());
}

void TColorPopup::SetDefaultText(const std::string& Value) {
    if (Value == FDefaultText) return;
    FDefaultText = Value;
    if (FDefaultText.empty() && FSelectedIndex == DefaultCell) FSelectedIndex = NoCell;
    AdjustWindow();
}

void TColorPopup::SetCustomText(const std::string& Value) {
    if (Value == FCustomText) return;
    FCustomText = Value;
    if (FCustomText.empty() && FSelectedIndex == CustomCell) FSelectedIndex = NoCell;
    AdjustWindow();
}

void TColorPopup::SetShowSystemColors(bool Value) {
    if (Value == FShowSysColors) return;
    FShowSysColors = Value;
    if (!Value && FSelectedIndex >= DefaultColorCount) FSelectedIndex = NoCell;
    AdjustWindow();
}

void TColorPopup::SetSpacing(int Value) {
    Value = std::max(Value, 0);
    if (Value == FSpacing) return;
    FSpacing = Value;
    AdjustWindow();
    Invalidate();
}

void TColorPopup::AdjustWindow() {
    const int M = FMargin, C = FCellSize, S = FSpacing;
    TBitmap Measure(1, 1, pf32bit);
    TSize T{0, 0};
    for (const std::string* Text : {&FDefaultText, &FCustomText})
        if (!Text->empty()) {
            const TSize E = Measure.Canvas()->TextExtent(StripAccelerator(*Text));
            T.cx = std::max(T.cx, E.cx);
            T.cy = std::max(T.cy, E.cy);
        }
    FTextSize = TSize{T.cx + 2 * M, T.cy + 4 * M + 2};
    FRowCount = DefaultColorCount / FColumnCount;
    int W = FColumnCount * C + 2 * M + 2 * S;
    int H = FRowCount * C + 4 * M;
    FRadius = int(RoundHalfEven(8.0 * C * FLevels / 16.0));
    FCombSize = int(RoundHalfEven(FRadius / 6.0 + 0.5));
    if (!FDefaultText.empty()) {
        W = std::max(W, FTextSize.cx + 2 * M + 2 * S);
        FDefaultTextRect = TRect(M + S, 2 * M, W - M - S, 2 * M + FTextSize.cy);
        H += FTextSize.cy + 2 * M;
    } else {
        FDefaultTextRect = TRect();
    }
    FSysRowCount = FShowSysColors ? (SysColorCount + FColumnCount - 1) / FColumnCount : 0;
    H += FSysRowCount > 0 ? FSysRowCount * C + 2 * M : 0;
    if (!FCustomText.empty()) {
        W = std::max(W, FTextSize.cx + C + 2 * M + 2 * S);
        FCustomTextRect = TRect(M + S, H, W - M - S, H + FTextSize.cy);
        const int Top = H + (FTextSize.cy - C) / 2;
        FCustomColorRect = TRect(FCustomTextRect.Right - C, Top, FCustomTextRect.Right, Top + C);
        InflateRect(FCustomColorRect, -(M + 1), -(M + 1));
        H += FTextSize.cy + 2 * M;
    } else {
        FCustomTextRect = FCustomColorRect = TRect();
    }
    FNormalHeight = H;
    FColorCombRect = TRect(M + S, H, M + S + 2 * FRadius, H + 2 * FRadius);
    FBWCombRect = TRect(FColorCombRect.Left, FColorCombRect.Bottom - 4, FColorCombRect.Right,
                        FColorCombRect.Bottom - 4 + 2 * FCombSize + 4);
    FSliderRect = TRect(FColorCombRect.Right, FColorCombRect.Top + FCombSize,
                        FColorCombRect.Right + 20, FColorCombRect.Bottom - FCombSize);
    const int Shown = FSelectedIndex == CustomCell ? FBWCombRect.Bottom + 2 * M : FNormalHeight;
    SetBounds(Left(), Top(), W, Shown);
}

int TColorPopup::GetRow(int Index) const {
    if (Index == CustomCell || Index == DefaultCell) return Index;
    return Index < 0 ? NoCell : Index / FColumnCount;
}

int TColorPopup::GetColumn(int Index) const {
    if (Index == CustomCell || Index == DefaultCell) return Index;
    return Index < 0 ? NoCell : Index % FColumnCount;
}

int TColorPopup::GetIndex(int Row, int Column) const {
    if ((Row == CustomCell || Column == CustomCell) && !FCustomText.empty()) return CustomCell;
    if ((Row == DefaultCell || Column == DefaultCell) && !FDefaultText.empty()) return DefaultCell;
    if (Column < 0 || Column >= FColumnCount || Row < 0) return NoCell;
    if (Row < FRowCount) {
        const int I = Row * FColumnCount + Column;
        return I < DefaultColorCount ? I : NoCell;
    }
    if (FShowSysColors) {
        const int I = (Row - FRowCount) * FColumnCount + Column;
        if (I < SysColorCount) return DefaultColorCount + I;
    }
    return NoCell;
}

TRect TColorPopup::CellRect(int Index) const {
    if (Index == DefaultCell) return FDefaultTextRect;
    if (Index == CustomCell) return FCustomTextRect;
    if (Index < 0 || Index >= DefaultColorCount + SysColorCount) return TRect();
    const int M = FMargin, C = FCellSize;
    int Top = (FDefaultText.empty() ? 0 : FDefaultTextRect.Bottom) + 5 * M / 2;
    int I = Index;
    if (Index >= DefaultColorCount) {
        Top += FRowCount * C + 3 * M;
        I -= DefaultColorCount;
    }
    const int Row = I / FColumnCount, Col = I % FColumnCount;
    return Bounds(FSpacing + Col * C, Top + Row * C, C, C);
}

int TColorPopup::ItemFromPoint(TPoint P) const {
    if (!FCustomText.empty() && PtInRect(FCustomTextRect, P)) return CustomCell;
    if (!FDefaultText.empty() && PtInRect(FDefaultTextRect, P)) return DefaultCell;
    const int M = FMargin, C = FCellSize;
    int Y = P.Y - (FDefaultText.empty() ? 0 : FDefaultTextRect.Bottom) - 5 * M / 2;
    const int X = P.X - FSpacing;
    if (X < 0 || Y < 0) return NoCell;
    const int Col = X / C;
    if (Col >= FColumnCount) return NoCell;
    if (Y < FRowCount * C) return GetIndex(Y / C, Col);
    if (!FShowSysColors) return NoCell;
    Y -= FRowCount * C + 3 * M;
    if (Y < 0) return NoCell;
    return GetIndex(FRowCount + Y / C, Col);
}

TColor TColorPopup::CellColor(int Index) const {
    if (Index >= 0 && Index < DefaultColorCount) return DefaultColors[std::size_t(Index)].Color;
    if (Index >= DefaultColorCount && Index < DefaultColorCount + SysColorCount)
        return SysColors[std::size_t(Index - DefaultColorCount)].Color;
    if (Index == CustomCell) {
        if (FCustomIndex > 0 && FCustomIndex <= int(FCombCells.size()))
            return FCombCells[std::size_t(FCustomIndex - 1)].Color;
        if (FCustomIndex < 0 && -FCustomIndex <= int(FBWCombCells.size()))
            return FBWCombCells[std::size_t(-FCustomIndex - 1)].Color;
    }
    return clNone;
}

int TColorPopup::FindColorIndex(TColor Color) {
    if (Color == clNone) return NoCell;
    if (Color == clDefault) return DefaultCell;
    if (FShowSysColors && Color < 0 && (Color & 0xFFFFFF) < SysColorCount)
        return DefaultColorCount + (Color & 0xFF);
    const std::int32_t Rgb = PlainRgb(Color);
    for (int I = 0; I < DefaultColorCount; ++I)
        if (PlainRgb(DefaultColors[std::size_t(I)].Color) == Rgb) return I;
    if (FShowSysColors)
        for (int I = 0; I < SysColorCount; ++I)
            if (PlainRgb(SysColors[std::size_t(I)].Color) == Rgb) return DefaultColorCount + I;
    // Only a popup that can show the comb may select one of its cells.
    if (FCustomText.empty()) return NoCell;
    BuildCombs();
    for (std::size_t I = 0; I < FBWCombCells.size(); ++I)
        if (PlainRgb(FBWCombCells[I].Color) == Rgb) {
            FCustomIndex = -int(I + 1);
            return CustomCell;
        }
    for (std::size_t I = 0; I < FCombCells.size(); ++I)
        if (PlainRgb(FCombCells[I].Color) == Rgb) {
            FCustomIndex = int(I + 1);
            return CustomCell;
        }
    return NoCell;
}

void TColorPopup::SelectColor(TColor Color) {
    ChangeSelection(FindColorIndex(Color));
}

void TColorPopup::BuildCombs() {
    if (FCombCells.empty()) {
        static const double Corners[6][3] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0},
                                             {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};
        const double Centre = FCenterIntensity;
        const double Step = FCombSize * std::sqrt(3.0) / 2.0;
        auto Dir = [](int I) {
            const double A = (90.0 - I * 60.0) * M_PI / 180.0;
            return std::pair<double, double>(std::cos(A), -std::sin(A));
        };
        FCombCells.push_back({TPoint(0, 0), RgbOf(Centre, Centre, Centre)});
        for (int K = 1; K < FLevels; ++K) {
            const double F = double(K) / (FLevels - 1);
            for (int I = 0; I < 6; ++I) {
                const int J = (I + 1) % 6;
                const auto [AX, AY] = Dir(I);
                const auto [BX, BY] = Dir(J);
                for (int Sub = 0; Sub < K; ++Sub) {
                    const double T = double(Sub) / K;
                    const double X = K * Step * (AX + (BX - AX) * T);
                    const double Y = K * Step * (AY + (BY - AY) * T);
                    double Rgb[3];
                    for (int Ch = 0; Ch < 3; ++Ch) {
                        const double CA = Centre + (Corners[I][Ch] - Centre) * F;
                        const double CB = Centre + (Corners[J][Ch] - Centre) * F;
                        Rgb[Ch] = CA + (CB - CA) * T;
                    }
                    FCombCells.push_back({TPoint(int(RoundHalfEven(X)), int(RoundHalfEven(Y))),
                                          RgbOf(Rgb[0], Rgb[1], Rgb[2])});
                }
            }
        }
    }
    if (FBWCombCells.empty()) {
        // Black and white at both ends in double-size cells, greys between.
        const int Width = FBWCombRect.Width();
        int X = FCombSize;
        for (int I = 0; I < GreyCellCount; ++I) {
            const double V = double(I) / (GreyCellCount - 1);
            const int Half = (I == 0 || I == GreyCellCount - 1) ? FCombSize : FCombSize / 2;
            if (I > 0) X += Half;
            FBWCombCells.push_back(
                {TPoint(std::min(X, Width), FBWCombRect.Height() / 2), RgbOf(V, V, V)});
            X += Half;
        }
    }
}

void TColorPopup::ChangeSelection(int Index) {
    if (Replace(FSelectedIndex, Index)) Invalidate();
}

void TColorPopup::ChangeHot(int Index) {
    if (Replace(FHotIndex, Index)) Invalidate();
}

void TColorPopup::ShowPopupAligned() {
    TColorPickerButton* B = Button();
    const TPoint Origin =
        B->Parent() != nullptr ? B->ClientToScreen(TPoint(0, 0)) : TPoint(B->Left(), B->Top());
    const int H = FSelectedIndex == CustomCell ? FBWCombRect.Bottom + 2 * FMargin : FNormalHeight;
    const int ScreenW = Screen != nullptr ? Screen->Width() : 1 << 15;
    const int ScreenH = Screen != nullptr ? Screen->Height() : 1 << 15;
    int X = Origin.X - 1;
    int Y = Origin.Y + B->Height();
    if (Y + H > ScreenH) Y = Origin.Y - H;
    if (X + Width() > ScreenW) X = ScreenW - Width();
    X = std::max(X, 0);
    SetBounds(X, Y, Width(), H);
    SetVisible(true);
    Invalidate();
}

void TColorPopup::EndSelection(bool Cancelled) {
    TColorPickerButton* B = Button();
    if (!Cancelled) {
        if (FSelectedIndex >= 0 && FSelectedIndex < DefaultColorCount + SysColorCount)
            B->SetSelectionColor(CellColor(FSelectedIndex));
        else if (FSelectedIndex == DefaultCell)
            B->DoDefaultEvent();
        else if (FSelectedIndex == CustomCell && FCustomIndex != 0)
            B->SetSelectionColor(CellColor(CustomCell));
    }
    B->SetDropOpen(false);
}

bool TColorPopup::HandleSlider(TPoint P, bool LeftDown) {
    const bool Inside = PtInRect(FSliderRect, P);
    const bool Dragging = FDragArea == 3 && P.X >= FSliderRect.Left && P.X < FSliderRect.Right;
    if (!((Inside && FDragArea == 0) || Dragging)) return false;
    if (LeftDown) {
        FDragArea = 3;
        const double Span = std::max(1, FSliderRect.Bottom - FSliderRect.Top);
        FCenterIntensity = std::clamp(1.0 - (P.Y - FSliderRect.Top) / Span, 0.0, 1.0);
        FCombCells.clear();
        BuildCombs();
        Invalidate();
    }
    return true;
}

bool TColorPopup::HandleBWArea(TPoint P, bool LeftDown) {
    if (!PtInRect(FBWCombRect, P) || (FDragArea != 0 && FDragArea != 2)) return false;
    if (!LeftDown) return true;
    FDragArea = 2;
    BuildCombs();
    for (std::size_t I = 0; I < FBWCombCells.size(); ++I) {
        const bool Wide = I == 0 || I + 1 == FBWCombCells.size();
        const int R = Wide ? FCombSize : FCombSize / 2;
        const int DX = P.X - (FBWCombRect.Left + FBWCombCells[I].Position.X);
        const int DY = P.Y - (FBWCombRect.Top + FBWCombCells[I].Position.Y);
        if (DX * DX + DY * DY <= R * R) {
            FCombIndex = -int(I + 1);
            FCustomIndex = FCombIndex;
            Invalidate();
            return true;
        }
    }
    return false;
}

bool TColorPopup::HandleColorComb(TPoint P, bool LeftDown) {
    if (!PtInRect(FColorCombRect, P) || (FDragArea != 0 && FDragArea != 1)) return false;
    if (!LeftDown) return true;
    FDragArea = 1;
    BuildCombs();
    const int CX = FColorCombRect.Left + FRadius, CY = FColorCombRect.Top + FRadius;
    const int R = FCombSize / 2;
    for (std::size_t I = 0; I < FCombCells.size(); ++I) {
        const int DX = P.X - (CX + FCombCells[I].Position.X);
        const int DY = P.Y - (CY + FCombCells[I].Position.Y);
        if (DX * DX + DY * DY <= R * R) {
            FCombIndex = int(I + 1);
            FCustomIndex = FCombIndex;
            Invalidate();
            return true;
        }
    }
    return false;
}

void TColorPopup::PopupMouseDown(TMouseButton Btn, TPoint P) {
    if (!PtInRect(ClientRect(), P)) {
        EndSelection(true);
        return;
    }
    if (Btn == mbLeft) {
        FLeftDown = true;
        FDragArea = 0;
        PopupMouseMove({ssLeft}, P);
    }
}

void TColorPopup::PopupMouseMove(TShiftState Shift, TPoint P) {
    const int Item = ItemFromPoint(P);
    if (Item == NoCell && FSelectedIndex == CustomCell) {
        const bool Left = Shift.Contains(ssLeft);
        if (HandleSlider(P, Left)) {
            // Shown at once beside the bar, and again for each new intensity.
            if (FHintSubject != HintIntensity || Left) {
                const int Y =
                    FSliderRect.Top +
                    int(RoundHalfEven((1.0 - FCenterIntensity) * (FSliderRect.Height() - 1)));
                FHintSubject = HintIntensity;
                FHintAt = ClientToScreen(TPoint(FSliderRect.Right + 2, Y));
                ShowHintText(IntensityHint(), IntensityHintPause);
            }
            return;
        }
        if (!HandleBWArea(P, Left) && !HandleColorComb(P, Left)) {
            if (FCombIndex != 0) Invalidate();
            FCombIndex = 0;
        }
        SetHintSubject(FCombIndex != 0 ? HintComb + FCombIndex : NoCell,
                       ClientToScreen(TPoint(P.X, P.Y + 20)));
        return;
    }
    int Hot = Item;
    if (Hot >= DefaultColorCount && (!FShowSysColors || Hot >= DefaultColorCount + SysColorCount))
        Hot = NoCell;
    ChangeHot(Hot);
    // The hint goes just below the cell, where it hides none of it.
    const TRect R = CellRect(Hot);
    SetHintSubject(Hot, Hot == NoCell ? TPoint() : ClientToScreen(TPoint(R.Left, R.Bottom + 2)));
}

void TColorPopup::PopupMouseUp(TMouseButton Btn, TPoint P) {
    if (Btn != mbLeft) return;
    FLeftDown = false;
    const int Area = FDragArea;
    FDragArea = 0;
    const int Item = ItemFromPoint(P);
    if (Item == CustomCell) {
        ChangeSelection(CustomCell);
        BuildCombs();
        ShowPopupAligned();
        return;
    }
    if (Item != NoCell) {
        ChangeSelection(Item);
        EndSelection(false);
        return;
    }
    if (FSelectedIndex == CustomCell && (Area == 1 || Area == 2) && FCombIndex != 0)
        EndSelection(false);
}

bool TColorPopup::PopupKeyDown(Word Key, TShiftState Shift) {
    if (Shift.Contains(ssAlt)) {
        const char D = Accelerator(FDefaultText);
        const char C = Accelerator(FCustomText);
        if (D != 0 && Key == Word(D)) {
            ChangeSelection(DefaultCell);
            EndSelection(false);
            return true;
        }
        if (C != 0 && Key == Word(C) && FSelectedIndex != CustomCell) {
            ChangeSelection(CustomCell);
            BuildCombs();
            ShowPopupAligned();
            return true;
        }
        return false;
    }
    const int Sel = FSelectedIndex;
    int Row = GetRow(Sel), Col = GetColumn(Sel);
    int Next = Sel;
    switch (Key) {
    case VK_ESCAPE:
        EndSelection(true);
        return true;
    case VK_RETURN:
    case VK_SPACE:
        EndSelection(false);
        return true;
    case VK_LEFT:
        if (Sel > 0) Next = Sel - 1;
        break;
    case VK_RIGHT:
        if (Sel == NoCell)
            Next = 0;
        else if (Sel >= 0 && GetIndex(GetRow(Sel + 1), GetColumn(Sel + 1)) != NoCell)
            Next = Sel + 1;
        break;
    case VK_UP:
        if (Sel == NoCell || Sel == CustomCell) {
            // From below the grid: the last row's first cell.
            Next = FShowSysColors ? DefaultColorCount + (FSysRowCount - 1) * FColumnCount
                                  : DefaultColorCount - FColumnCount;
        } else if (Sel >= 0) {
            Next = GetIndex(Row - 1, Col);
            if (Next == NoCell) Next = FDefaultText.empty() ? Sel : DefaultCell;
        }
        break;
    case VK_DOWN:
        if (Sel == NoCell || Sel == DefaultCell) {
            Next = 0;
        } else if (Sel >= 0) {
            Next = GetIndex(Row + 1, Col);
            if (Next == NoCell) Next = FCustomText.empty() ? Sel : CustomCell;
        }
        break;
    default:
        return false;
    }
    ChangeSelection(Next);
    return true;
}

std::string TColorPopup::HintForCell(int Cell) {
    std::string Hint;
    if (Cell == CustomCell || Cell == DefaultCell) {
        Hint = StripAccelerator(Cell == CustomCell ? FCustomText : FDefaultText);
        if (Hint.empty()) Hint = Button()->Hint();
    } else if (Cell >= 0 && Cell < DefaultColorCount) {
        Hint = DefaultColors[std::size_t(Cell)].Name;
    } else if (Cell >= DefaultColorCount && Cell < DefaultColorCount + SysColorCount) {
        Hint = SysColors[std::size_t(Cell - DefaultColorCount)].Name;
    }
    if (FCombIndex != 0 && Cell == NoCell) {
        const std::int32_t Rgb =
            PlainRgb(FCombIndex > 0 ? FCombCells[std::size_t(FCombIndex - 1)].Color
                                    : FBWCombCells[std::size_t(-FCombIndex - 1)].Color);
        Hint = Format("red: %d, green: %d, blue: %d",
                      {int(Rgb & 0xFF), int((Rgb >> 8) & 0xFF), int((Rgb >> 16) & 0xFF)});
    }
    if (Button()->OnHint) Button()->OnHint(Button(), Cell, Hint);
    return Hint;
}

void TColorPopup::SetHintSubject(int Subject, TPoint At) {
    if (Subject == FHintSubject) return;
    FHintSubject = Subject;
    FHintAt = At;
    FHintTimer->SetEnabled(false);
    if (FHintWindow != nullptr) FHintWindow->SetVisible(false);
    FHintWaiting = Subject != NoCell;
    if (!FHintWaiting) return;
    FHintTimer->SetInterval(unsigned(Application != nullptr ? Application->HintPause() : 500));
    FHintTimer->SetEnabled(true);
}

void TColorPopup::ShowHintText(const std::string& Text, unsigned Duration) {
    FHintTimer->SetEnabled(false);
    FHintWaiting = false;
    if (Text.empty()) {
        if (FHintWindow != nullptr) FHintWindow->SetVisible(false);
        return;
    }
    if (FHintWindow == nullptr) FHintWindow = new THintWindow(this);
    TRect R =
        FHintWindow->CalcHintRect(Screen != nullptr ? Screen->Width() : 1 << 15, Text, nullptr);
    OffsetRect(R, FHintAt.X, FHintAt.Y);
    FHintWindow->ActivateHint(R, Text);
    FHintTimer->SetInterval(Duration);
    FHintTimer->SetEnabled(true);
}

void TColorPopup::HintTimerFired() {
    if (FHintWaiting) {
        const int Cell = FHintSubject >= HintComb ? NoCell : FHintSubject;
        ShowHintText(HintForCell(Cell),
                     unsigned(Application != nullptr ? Application->HintHidePause() : 2500));
        return;
    }
    // Shown long enough: it stays hidden until the pointer moves on.
    FHintTimer->SetEnabled(false);
    if (FHintWindow != nullptr) FHintWindow->SetVisible(false);
}

void TColorPopup::CancelHint() {
    SetHintSubject(NoCell, TPoint());
}

std::string TColorPopup::IntensityHint() const {
    return Format("Intensity: %d%%", {int(RoundHalfEven(FCenterIntensity * 100.0))});
}

void TColorPopup::MouseDown(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Btn, Shift, X, Y);
    PopupMouseDown(Btn, TPoint(X, Y));
}

void TColorPopup::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    PopupMouseMove(Shift, TPoint(X, Y));
}

void TColorPopup::MouseUp(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Btn, Shift, X, Y);
    PopupMouseUp(Btn, TPoint(X, Y));
}

void TColorPopup::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_KILLFOCUS:
        if (Button()->DroppedDown()) EndSelection(true);
        break;
    case WM_ACTIVATEAPP:
        if (Message.WParam == 0 && Button()->DroppedDown()) EndSelection(true);
        break;
    case WM_KEYDOWN:
        if (PopupKeyDown(Word(Message.WParam), KeyboardStateToShiftState())) return;
        break;
    default:
        break;
    }
    TCustomControl::Dispatch(Message);
}

void TColorPopup::DrawCell(int Index) {
    TCanvas* C = Canvas();
    const TRect R = CellRect(Index);
    if (R.Width() <= 0) return;
    const bool Selected = Index == FSelectedIndex;
    const bool Hot = Index == FHotIndex;
    auto CellFrame = [&](const TRect& F) {
        FillCell(C, F, Selected && !Hot ? clBtnHighlight : clBtnFace);
        if (Selected || (Hot && FLeftDown))
            Edge(C, F, false);
        else if (Hot)
            Edge(C, F, true);
    };
    if (Index >= 0) {
        CellFrame(R);
        TRect In = R;
        InflateRect(In, -(FMargin + 1), -(FMargin + 1));
        C->Pen()->SetColor(0x808080);
        C->Brush()->SetColor(CellColor(Index));
        C->Rectangle(In);
        return;
    }
    FillCell(C, R, clBtnFace);
    TRect F = R;
    if (Index == DefaultCell) {
        // Framed like a button, so that it reads as one.
        InflateRect(F, -1, -1);
        CellFrame(F);
        TRect Line = F;
        InflateRect(Line, -(FMargin + 1), -(FMargin + 1));
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(Line);
    } else {
        const int Y = R.Top - 2 * FMargin;
        C->Pen()->SetColor(clBtnShadow);
        C->MoveTo(R.Left, Y);
        C->LineTo(R.Right, Y);
        C->Pen()->SetColor(clBtnHighlight);
        C->MoveTo(R.Left, Y + 1);
        C->LineTo(R.Right, Y + 1);
        InflateRect(F, -1, 0);
        CellFrame(F);
    }
    const std::string Text = StripAccelerator(Index == DefaultCell ? FDefaultText : FCustomText);
    TRect T = F;
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetColor(clBtnText);
    DrawButtonText(C, Text, T, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    C->Brush()->SetStyle(bsSolid);
    if (Index == CustomCell) {
        const TColor Sample = FCombIndex != 0 ? CellColor(CustomCell) : clBtnFace;
        C->Pen()->SetColor(FCombIndex != 0 ? TColor(0x808080) : clBtnShadow);
        C->Brush()->SetColor(Sample);
        C->Rectangle(FCustomColorRect);
    }
}

void TColorPopup::DrawComb() {
    BuildCombs();
    TCanvas* C = Canvas();
    const int CX = FColorCombRect.Left + FRadius, CY = FColorCombRect.Top + FRadius;
    auto Hexagon = [&](TPoint Centre, int Size, TColor Fill) {
        TPoint P[6];
        for (int I = 0; I < 6; ++I) {
            const double A = (30.0 + I * 60.0) * M_PI / 180.0;
            P[I] = TPoint(Centre.X + int(RoundHalfEven(std::cos(A) * Size / 2.0)),
                          Centre.Y + int(RoundHalfEven(std::sin(A) * Size / 2.0)));
        }
        C->Pen()->SetStyle(psClear);
        C->Brush()->SetColor(Fill);
        C->Polygon(P);
        C->Pen()->SetStyle(psSolid);
    };
    for (const TCombEntry& E : FCombCells)
        Hexagon(TPoint(CX + E.Position.X, CY + E.Position.Y), FCombSize, E.Color);
    for (std::size_t I = 0; I < FBWCombCells.size(); ++I) {
        const bool Wide = I == 0 || I + 1 == FBWCombCells.size();
        const TCombEntry& E = FBWCombCells[I];
        Hexagon(TPoint(FBWCombRect.Left + E.Position.X, FBWCombRect.Top + E.Position.Y),
                Wide ? 2 * FCombSize : FCombSize, E.Color);
    }
    const int H = FSliderRect.Height() - 1;
    for (int I = 0; I <= H && H > 0; ++I) {
        const int V = int(RoundHalfEven((H - I) * 255.0 / H));
        C->Pen()->SetColor(TColor(V | (V << 8) | (V << 16)));
        C->MoveTo(FSliderRect.Left, FSliderRect.Top + I);
        C->LineTo(FSliderRect.Left + 10, FSliderRect.Top + I);
    }
    const int X = FSliderRect.Left + 11;
    const int Y = FSliderRect.Top + int(RoundHalfEven((1.0 - FCenterIntensity) * H));
    const TPoint Marker[3] = {TPoint(X, Y), TPoint(X + 5, Y - 3), TPoint(X + 5, Y + 3)};
    C->Pen()->SetColor(0);
    C->Brush()->SetColor(0);
    C->Polygon(Marker);
}

void TColorPopup::Paint() {
    TCanvas* C = Canvas();
    FillCell(C, ClientRect(), clBtnFace);
    if (!FDefaultText.empty()) DrawCell(DefaultCell);
    for (int I = 0; I < DefaultColorCount; ++I)
        DrawCell(I);
    if (FShowSysColors) {
        const int Y =
            FMargin + 5 * FCellSize + (FDefaultText.empty() ? 0 : FDefaultTextRect.Bottom);
        C->Pen()->SetColor(clBtnShadow);
        C->MoveTo(FMargin + FSpacing, Y);
        C->LineTo(Width() - FMargin - FSpacing, Y);
        C->Pen()->SetColor(clBtnHighlight);
        C->MoveTo(FMargin + FSpacing, Y + 1);
        C->LineTo(Width() - FMargin - FSpacing, Y + 1);
        for (int I = 0; I < SysColorCount; ++I)
            DrawCell(DefaultColorCount + I);
    }
    if (!FCustomText.empty()) DrawCell(CustomCell);
    if (FSelectedIndex == CustomCell) DrawComb();
    Edge(C, ClientRect(), true);
}

// ---- TColorPickerButton ----

TColorPickerButton::TColorPickerButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TButtonGlyph>()) {
    SetBounds(0, 0, 45, 22);
    // Clicks are decided here: a release on the arrow part is none.
    TControlStyle Style = ControlStyle();
    Style.Exclude(csClickEvents);
    SetControlStyle(Style);
    FGlyph->OnChange = [this](TObject*) { Invalidate(); };
    FPopup = new TColorPopup(this);
    FPopup->SetDefaultText("");
}

TColorPickerButton::~TColorPickerButton() = default;

void TColorPickerButton::SetSelectionColor(TColor Value) {
    if (Value == FSelectionColor) return;
    FSelectionColor = Value;
    Invalidate();
    if (FDroppedDown) FPopup->SelectColor(Value);
    if (OnChange) OnChange(this);
}

void TColorPickerButton::SetDropOpen(bool Value) {
    if (Value == FDroppedDown) return;
    bool Allowed = true;
    if (OnDropChanging) OnDropChanging(this, Allowed);
    if (!Allowed) return;
    FDroppedDown = Value;
    if (Value) {
        FState = bsDown;
        FPopup->SelectColor(FSelectionColor);
        FPopup->ShowPopupAligned();
        SetCaptureControl(FPopup);
        if (FPopup->CanFocus()) FPopup->SetFocus();
    } else {
        FState = FDown ? bsExclusive : bsUp;
        SetCaptureControl(nullptr);
        FPopup->CancelHint();
        FPopup->Hide();
    }
    if (OnDropChanged) OnDropChanged(this);
    Invalidate();
}

void TColorPickerButton::DoDefaultEvent() {
    if (OnDefaultSelect) OnDefaultSelect(this);
}

void TColorPickerButton::Click() {
    TGraphicControl::Click();
}

void TColorPickerButton::SetAllowAllUp(bool Value) {
    if (Replace(FAllowAllUp, Value)) UpdateExclusive();
}

void TColorPickerButton::SetGroupIndex(int Value) {
    if (Replace(FGroupIndex, Value)) UpdateExclusive();
}

void TColorPickerButton::SetDown(bool Value) {
    if (FGroupIndex == 0) Value = false;
    if (Value == FDown) return;
    if (FDown && !Value && !FAllowAllUp) return;
    FDown = Value;
    if (Value) {
        if (FState == bsUp) Invalidate();
        FState = bsExclusive;
    } else {
        FState = bsUp;
        Repaint();
    }
    if (Value) UpdateExclusive();
}

void TColorPickerButton::UpdateExclusive() {
    if (FGroupIndex == 0 || Parent() == nullptr) return;
    for (int I = 0; I < Parent()->ControlCount(); ++I) {
        auto* B = dynamic_cast<TColorPickerButton*>(Parent()->Controls(I));
        if (B == nullptr || B == this || B->FGroupIndex != FGroupIndex) continue;
        if (FDown && B->FDown) {
            B->FDown = false;
            B->FState = bsUp;
            B->Invalidate();
        }
        B->FAllowAllUp = FAllowAllUp;
    }
}

void TColorPickerButton::SetDropDownArrowColor(TColor Value) {
    FDropDownArrowColor = Value;
    Invalidate();
}

void TColorPickerButton::SetDropDownWidth(int Value) {
    FDropDownWidth = Value;
    Invalidate();
}

void TColorPickerButton::SetIndicatorBorder(TIndicatorBorder Value) {
    FIndicatorBorder = Value;
    Invalidate();
}

void TColorPickerButton::SetFlat(bool Value) {
    if (Replace(FFlat, Value)) Invalidate();
}

void TColorPickerButton::SetTransparent(bool Value) {
    if (Replace(FTransparent, Value)) Invalidate();
}

void TColorPickerButton::SetGlyph(TBitmap* Value) {
    FGlyph->AssignGlyph(Value);
    Invalidate();
}

void TColorPickerButton::SetNumGlyphs(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (Value == FGlyph->NumGlyphs()) return;
    FGlyph->SetGlyphCount(Value);
    Invalidate();
}

void TColorPickerButton::SetLayout(TButtonLayout Value) {
    if (Replace(FLayout, Value)) Invalidate();
}

void TColorPickerButton::SetMargin(int Value) {
    if (Value >= -1 && Replace(FMargin, Value)) Invalidate();
}

void TColorPickerButton::SetSpacing(int Value) {
    if (Replace(FSpacing, Value)) Invalidate();
}

void TColorPickerButton::PopupChanged() {
    if (FDroppedDown) FPopup->ShowPopupAligned();
}

void TColorPickerButton::SetDefaultText(const std::string& Value) {
    FPopup->SetDefaultText(Value);
    PopupChanged();
}

void TColorPickerButton::SetCustomText(const std::string& Value) {
    FPopup->SetCustomText(Value);
    PopupChanged();
}

void TColorPickerButton::SetShowSystemColors(bool Value) {
    FPopup->SetShowSystemColors(Value);
    PopupChanged();
}

void TColorPickerButton::SetPopupSpacing(int Value) {
    FPopup->SetSpacing(Value);
}

void TColorPickerButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled()) return;
    if (Shift.Contains(ssDouble)) {
        if (FDown) DblClick();
        return;
    }
    if (X > Width() - FDropDownWidth) {
        if (!FDroppedDown) SetDropOpen(true);
        return;
    }
    if (!FDown) {
        FState = bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TColorPickerButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging) return;
    const bool Inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
    const TButtonState S = FDown ? bsExclusive : Inside ? bsDown : bsUp;
    if (S != FState) {
        FState = S;
        Invalidate();
    }
}

void TColorPickerButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging) return;
    FDragging = false;
    const bool Inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
    if (FGroupIndex == 0) {
        FState = bsUp;
        FMouseInside = false;
        if (Inside) Invalidate();
    } else if (Inside) {
        SetDown(!FDown);
        if (FDown) Repaint();
    } else {
        if (FDown) FState = bsExclusive;
        Repaint();
    }
    if (Inside) Click();
}

void TColorPickerButton::MouseEnter() {
    TGraphicControl::MouseEnter();
    if (FFlat && Enabled() && !FMouseInside) {
        FMouseInside = true;
        Repaint();
    }
}

void TColorPickerButton::MouseLeave() {
    TGraphicControl::MouseLeave();
    if (FFlat && Enabled() && FMouseInside && !FDragging) {
        FMouseInside = false;
        Invalidate();
    }
}

void TColorPickerButton::Dispatch(TMessage& Message) {
    if (ClickOnHotKey(this, Message)) return;
    if (Message.Msg == CM_ENABLEDCHANGED) {
        FState = Enabled() ? (FDown ? bsExclusive : bsUp) : bsDisabled;
        FGlyph->ImageForState(FState);
        Invalidate();
    }
    TGraphicControl::Dispatch(Message);
}

void TColorPickerButton::Paint() {
    PaintTo(Canvas());
}

void TColorPickerButton::PaintTo(TCanvas* C) {
    if (!Enabled()) {
        FState = bsDisabled;
        FDragging = false;
    } else if (FState == bsDisabled) {
        FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
    }
    TRect R = ClientRect();
    const bool Pushed = FState == bsDown || FState == bsExclusive;
    if (!FFlat) {
        FillCell(C, R, clBtnFace);
        TRect Face = R;
        Edge(C, Face, !Pushed);
        if (FDroppedDown) {
            TRect Drop(R.Right - FDropDownWidth, R.Top, R.Right, R.Bottom);
            Edge(C, Drop, !Pushed);
        } else {
            // The divider between face and arrow.
            const int X = R.Right - FDropDownWidth;
            C->Pen()->SetColor(clBtnHighlight);
            C->MoveTo(X, 1);
            C->LineTo(X, R.Bottom - 1);
            C->Pen()->SetColor(clBtnShadow);
            C->MoveTo(X - 1, 1);
            C->LineTo(X - 1, R.Bottom - 1);
        }
    } else {
        if (!FTransparent) FillCell(C, R, Color());
        if (FMouseInside || Pushed) Edge(C, R, !Pushed);
    }
    InflateRect(R, -1, -1);
    const TPoint Offset = Pushed ? TPoint(1, 1) : TPoint(0, 0);
    FIndicatorRect = FGlyph->DrawGlyphAndCaption(C, R, 0, FDropDownWidth, FTransparent, FState,
                                                 FMargin, FSpacing, FLayout, Caption(), Offset);
    TRect Ind = FIndicatorRect;
    if (Ind.Width() > 0 && Ind.Height() > 0) {
        switch (FIndicatorBorder) {
        case ibNone:
            FillCell(C, Ind, FSelectionColor);
            break;
        case ibFlat:
            C->Pen()->SetColor(clBtnShadow);
            C->Brush()->SetStyle(bsSolid);
            C->Brush()->SetColor(FSelectionColor);
            C->Rectangle(Ind);
            break;
        case ibSunken:
        case ibRaised: {
            TRect E = Ind;
            Edge(C, E, FIndicatorBorder == ibRaised);
            InflateRect(Ind, -1, -1);
            FillCell(C, Ind, FSelectionColor);
            break;
        }
        }
    }
    // The arrow: a 5-pixel triangle centred in the drop-down part.
    const int W = 6; // 5 rounded up to even
    int AX = Width() - FDropDownWidth + (FDropDownWidth - W) / 2;
    int AY = Height() / 2 - W / 4;
    if (FDroppedDown || Pushed) {
        ++AX;
        ++AY;
    }
    const TColor Arrow = Enabled() ? FDropDownArrowColor : clBtnShadow;
    const TPoint Tri[3] = {TPoint(AX, AY), TPoint(AX + W, AY), TPoint(AX + W / 2, AY + W / 2)};
    C->Pen()->SetColor(Arrow);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Arrow);
    C->Polygon(Tri);
}
