#include "controls/FontComboBox.h"

#include <algorithm>

#include "platform/base/Text.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/TextRender.h"

namespace {

TFontFamilySource GSource = nullptr;

constexpr TColor MarkKey = clOlive; // the marks' transparent colour

bool Contains(const std::string& Name, std::string_view Part) {
    return LowerCase(Name).find(Part) != std::string::npos;
}

// A small "TT" mark and a printer-like device mark, 14 x 12 on MarkKey.
std::unique_ptr<TBitmap> MakeMark(bool TrueType) {
    auto B = std::make_unique<TBitmap>();
    B->SetSize(14, 12);
    TCanvas* C = B->Canvas();
    C->Brush()->SetColor(MarkKey);
    C->FillRect({0, 0, 14, 12});
    if (TrueType) {
        C->Brush()->SetColor(clGray);
        C->FillRect({0, 0, 7, 2});
        C->FillRect({2, 2, 4, 9});
        C->Brush()->SetColor(clBlack);
        C->FillRect({5, 3, 12, 5});
        C->FillRect({7, 5, 9, 12});
    } else {
        C->Brush()->SetColor(clBlack);
        C->FillRect({3, 1, 11, 4});
        C->FillRect({1, 4, 13, 9});
        C->Brush()->SetColor(clWhite);
        C->FillRect({3, 8, 11, 11});
    }
    return B;
}

} // namespace

void SetFontFamilySource(TFontFamilySource Source) {
    GSource = Source;
}

std::vector<TFontFamilyInfo> DefaultFontFamilies(bool Printer) {
    std::vector<TFontFamilyInfo> Result;
    if (Printer || Screen == nullptr) return Result;
    TStrings* Names = Screen->Fonts();
    for (int I = 0; I < Names->Count(); ++I) {
        TFontFamilyInfo F;
        F.Name = Names->Strings(I);
        const bool Symbol = Contains(F.Name, "symbol") || Contains(F.Name, "dingbat");
        F.CharSet = Symbol ? SYMBOL_CHARSET : ANSI_CHARSET;
        F.PitchAndFamily = Contains(F.Name, "mono") ? FIXED_PITCH : VARIABLE_PITCH;
        F.FontType = TRUETYPE_FONTTYPE;
        Result.push_back(std::move(F));
    }
    return Result;
}

bool FontFamilyAccepted(TFontListOptions Options, std::uint8_t CharSet, std::uint8_t PitchAndFamily,
                        int FontType) {
    bool Ok = !(Options.Contains(foAnsiOnly) && CharSet != ANSI_CHARSET);
    if (Options.Contains(foTrueTypeOnly) && (FontType & TRUETYPE_FONTTYPE) == 0) Ok = false;
    if (Options.Contains(foFixedPitchOnly) && (PitchAndFamily & FIXED_PITCH) == 0) Ok = false;
    if (Options.Contains(foOEMFontsOnly) && CharSet != OEM_CHARSET_VALUE) Ok = false;
    if (Options.Contains(foNoOEMFonts) && CharSet >= OEM_CHARSET_VALUE) Ok = false;
    if (Options.Contains(foNoSymbolFonts) && CharSet == SYMBOL_CHARSET) Ok = false;
    if (Options.Contains(foScalableOnly) && (FontType & RASTER_FONTTYPE) != 0) Ok = false;
    return Ok;
}

// ---------------------------------------------------------------------------
// TOwnerDrawComboBox

TOwnerDrawComboBox::TOwnerDrawComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    TCustomComboBox::SetStyle(csOwnerDrawFixed);
}

void TOwnerDrawComboBox::SetStyle(TComboBoxStyle Value) {
    if (Value != csDropDown && Value != csSimple) Value = csDropDownList;
    if (Value == FComboStyle) return;
    FComboStyle = Value;
    if (HandleAllocated()) RecreateNative();
}

int TOwnerDrawComboBox::GetItemHeight() {
    return std::max(GetTextMetric(Font()->LogFont()).Height + 1, 9);
}

void TOwnerDrawComboBox::ResetItemHeight() {
    SetItemHeight(GetItemHeight());
}

void TOwnerDrawComboBox::Dispatch(TMessage& Message) {
    TCustomComboBox::Dispatch(Message);
    if (Message.Msg == CM_FONTCHANGED) ResetItemHeight();
}

// ---------------------------------------------------------------------------
// TFontComboBox

TFontComboBox::TFontComboBox(TComponent* AOwner)
    : TOwnerDrawComboBox(AOwner), FTrueTypeBmp(MakeMark(true)), FDeviceBmp(MakeMark(false)) {
    FTrueTypeBmp->SetTransparent(true);
    FDeviceBmp->SetTransparent(true);
    SetSorted(true);
    ResetItemHeight();
}

TFontComboBox::~TFontComboBox() = default;

int TFontComboBox::GetItemHeight() {
    return std::max(TOwnerDrawComboBox::GetItemHeight(), FTrueTypeBmp->Height() - 1);
}

int TFontComboBox::ItemFontType(int Index) const {
    if (Index < 0 || Index >= Items()->Count()) return 0;
    return int(reinterpret_cast<std::intptr_t>(Items()->Objects(Index)));
}

void TFontComboBox::FillFontList() {
    if (!HandleAllocated()) return;
    const TFontFamilySource Source = GSource != nullptr ? GSource : DefaultFontFamilies;
    std::vector<TFontFamilyInfo> Families;
    if (FDevice == fdScreen || FDevice == fdBoth) Families = Source(false);
    if (FDevice == fdPrinter || FDevice == fdBoth) {
        try {
            std::vector<TFontFamilyInfo> P = Source(true);
            Families.insert(Families.end(), P.begin(), P.end());
        } catch (const std::exception&) {
            // No printer: the screen's families stand alone.
        }
    }
    ++FUpdate;
    TStrings* L = Items();
    L->BeginUpdate();
    try {
        L->Clear();
        for (const TFontFamilyInfo& F : Families) {
            if (L->IndexOf(F.Name) >= 0 ||
                !FontFamilyAccepted(FOptions, F.CharSet, F.PitchAndFamily, F.FontType))
                continue;
            const std::intptr_t Bits =
                F.FontType | (F.CharSet != SYMBOL_CHARSET ? FONT_NOT_SYMBOL : 0);
            L->AddObject(F.Name, reinterpret_cast<TObject*>(Bits));
        }
    } catch (...) {
        L->EndUpdate();
        --FUpdate;
        throw;
    }
    L->EndUpdate();
    --FUpdate;
}

std::string TFontComboBox::FontName() const {
    return Text().empty() && !FPendingName.empty() ? FPendingName : Text();
}

void TFontComboBox::Loaded() {
    TOwnerDrawComboBox::Loaded();
    Reset(false);
}

void TFontComboBox::Reset(bool ClearText) {
    if (!HandleAllocated()) return;
    const std::string Old = FontName();
    FPendingName.clear();
    ++FUpdate;
    try {
        FillFontList();
        if (ClearText) {
            SetItemIndex(-1);
            SetText("");
        }
        SetFontName(Old);
    } catch (...) {
        --FUpdate;
        throw;
    }
    --FUpdate;
    if (FontName() != Old) Change();
}

void TFontComboBox::NativeWidgetCreated() {
    TOwnerDrawComboBox::NativeWidgetCreated();
    ResetItemHeight();
    Reset(true);
}

void TFontComboBox::SetFontName(const std::string& Value) {
    // Equal names change nothing; a list rebuilt under an unchanged text
    // must still find its item, so that case is checked against the item.
    if (Value == FontName() && (ItemIndex() >= 0 || Items()->Count() == 0 || HasEdit())) return;
    if (ComponentState().Contains(csLoading)) {
        FPendingName = Value;
        SetText(Value);
        return;
    }
    FPendingName.clear();
    int Found = -1;
    for (int I = 0; I < Items()->Count(); ++I)
        if (SameText(Items()->Strings(I), Value)) {
            Found = I;
            break;
        }
    if (Found >= 0)
        SetItemIndex(Found);
    else if (Style() == csDropDownList)
        SetItemIndex(-1);
    else {
        SetItemIndex(-1);
        SetText(Value);
    }
    Change();
}

void TFontComboBox::SetOptions(TFontListOptions Value) {
    if (Value == FOptions) return;
    FOptions = Value;
    Reset(false);
}

void TFontComboBox::SetTrueTypeOnly(bool Value) {
    TFontListOptions O = FOptions;
    Value ? O.Include(foTrueTypeOnly) : O.Exclude(foTrueTypeOnly);
    SetOptions(O);
}

void TFontComboBox::SetDevice(TFontDevice Value) {
    if (Value == FDevice) return;
    FDevice = Value;
    Reset(false);
}

void TFontComboBox::SetUseFonts(bool Value) {
    if (Value == FUseFonts) return;
    FUseFonts = Value;
    Invalidate();
}

void TFontComboBox::Change() {
    if (FUpdate > 0 || ComponentState().Contains(csReading) || ComponentState().Contains(csLoading))
        return;
    // Typing a family's exact name selects it.
    if (Style() != csDropDownList) {
        const int I = Items()->IndexOf(Text());
        if (I >= 0 && Items()->Strings(I) == Text() && I != ItemIndex()) SetItemIndex(I);
    }
    TOwnerDrawComboBox::Change();
}

void TFontComboBox::Dispatch(TMessage& Message) {
    TOwnerDrawComboBox::Dispatch(Message);
    if (Message.Msg == WM_FONTCHANGE) Reset(false);
}

void TFontComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    TCanvas* C = Canvas();
    C->FillRect(Rect);
    if (Index < 0 || Index >= Items()->Count()) return;
    const int Bits = ItemFontType(Index);
    TBitmap* Mark = (Bits & TRUETYPE_FONTTYPE) != 0 ? FTrueTypeBmp.get()
                    : (Bits & DEVICE_FONTTYPE) != 0 ? FDeviceBmp.get()
                                                    : nullptr;
    if (Mark != nullptr)
        C->Draw(Rect.Left + 2, Rect.Top + (Rect.Height() - Mark->Height()) / 2, Mark);
    const int X = Rect.Left + (Mark != nullptr ? Mark->Width() : 20) + 6;
    const std::string& Name = Items()->Strings(Index);
    if (FUseFonts && (Bits & FONT_NOT_SYMBOL) != 0) C->Font()->SetName(Name);
    const int Y = Rect.Top + (Rect.Height() - C->TextHeight(Name)) / 2;
    // Only the text itself: the fill above already painted the rest.
    const TBrushStyle Old = C->Brush()->Style();
    C->Brush()->SetStyle(bsClear);
    C->TextRect(Rect, X, Y, Name);
    C->Brush()->SetStyle(Old);
}

void RegisterFontComboClasses() {
    if (ClassPropertiesRegistered("TFontComboBox")) return;
    using B = TFontComboBox;
    TPublishedProperties<TOwnerDrawComboBox>("TOwnerDrawComboBox", "TComponent")
        .Enumeration("Style", &TOwnerDrawComboBox::Style, &TOwnerDrawComboBox::SetStyle,
                     {"csDropDown", "csSimple", "csDropDownList"})
        .Default(csDropDownList)
        .Register();
    TPublishedProperties<B>("TFontComboBox", "TOwnerDrawComboBox")
        .Enumeration("Device", &B::Device, &B::SetDevice, {"fdScreen", "fdPrinter", "fdBoth"})
        .Default(fdScreen)
        .String("FontName", &B::FontName, &B::SetFontName)
        .Set(
            "Options", [](B& C) { return C.Options().Bits(); },
            [](B& C, std::uint32_t V) {
                TFontListOptions O;
                for (unsigned I = 0; I <= unsigned(foNoSymbolFonts); ++I)
                    if ((V & (1u << I)) != 0) O.Include(TFontListOption(I));
                C.SetOptions(O);
            },
            {"foAnsiOnly", "foTrueTypeOnly", "foFixedPitchOnly", "foNoOEMFonts", "foOEMFontsOnly",
             "foScalableOnly", "foNoSymbolFonts"})
        .Default(0)
        .Boolean("UseFonts", &B::UseFonts, &B::SetUseFonts)
        .Default(0)
        .Register();
}
