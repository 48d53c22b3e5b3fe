// The "Textes" page: the text elements, their values and every property of
// the selected value. The element and value chosen here are the document's
// selection (SelectedText, SelectedValue), which the canvas draws.
#include "editor/UMain.h"

#include <algorithm>

#include "banner/BannerLimits.h"
#include "banner/BannerTypes.h"
#include "banner/DocumentFile.h"
#include "editor/MainBuild.h"
#include "platform/base/Convert.h"
#include "platform/base/Exception.h"
#include "platform/base/Text.h"
#include "platform/graphics/TextRender.h"

using namespace mainform;

namespace {

// The size box's value for a value's size line: the size the text is drawn
// with.
int ShownSize(const TTextValue& V) {
    return std::clamp(StrToIntDef(V.Size, 16), 8, 72);
}

} // namespace

void TMainform::BuildTextsPage() {
    Texts = Make<TListBox>(this, pantext, "Texts");
    Texts->SetBounds(8, 8, 150, 48);
    Texts->OnClick = [this](TObject* S) { TextsClick(S); };
    // Wide enough to read a value of a few words, as the examples hold.
    Values = Make<TTreeView>(this, pantext, "Values");
    Values->SetBounds(8, 62, 150, 78);
    Values->SetReadOnly(true);
    Values->SetHideSelection(false);
    Values->SetShowRoot(false);
    Values->OnChange = [this](TObject* S, TTreeNode* N) { ValuesChange(S, N); };

    TxtLabel = MakeLabel(this, pantext, "Tapez le texte ici", 170, 8);
    Txt = Make<TEdit>(this, pantext, "Txt");
    Txt->SetBounds(170, 24, 250, 21);
    Txt->OnChange = [this](TObject*) {
        if (Loading()) return;
        // The document file holds 8-bit text: a character it cannot hold
        // turns into the "?" it would come back as, here where the user sees
        // it, instead of at the next opening of the saved banner.
        const std::string Kept = AnsiToUtf8(Utf8ToAnsi(Txt->Text()));
        if (Kept != Txt->Text()) {
            const int At = Txt->SelStart();
            ++FLoading;
            Txt->SetText(Kept);
            Txt->SetSelStart(At);
            --FLoading;
        }
        if (TTreeNode* N = Values->Selected()) N->SetText(Txt->Text());
        WriteValueLine(-1, Txt->Text());
    };

    ct = MakeColorButton(pantext, "ct", 170, 54, clGray, [this](TObject*) {
        WriteValueLine(0, TBannerDocument::ColorText(ct->SelectionColor()));
    });
    Button13 = MakeButton(this, pantext, "Button13", "...", 236, 54, 24);
    Button13->OnClick = [this](TObject*) { ChooseColor(ct); };
    dxButton2 = MakeButton(this, pantext, "dxButton2", "x", 262, 54, 24);
    dxButton2->OnClick = [this](TObject*) { ArmColorPick(PickText); };

    fontbox = Make<TFontComboBox>(this, pantext, "fontbox");
    fontbox->SetOptions(TFontListOptions{foNoSymbolFonts});
    fontbox->SetBounds(294, 54, 160, 22);
    // The list fills when the box gets its window; made now, before any
    // banner is loaded, so that filling never writes a font line.
    ++FLoading;
    fontbox->HandleNeeded();
    --FLoading;
    fontbox->OnChange = [this](TObject*) { WriteValueLine(1, fontbox->FontName()); };

    Stylecombo = Make<TComboBox>(this, pantext, "Stylecombo");
    Stylecombo->SetStyle(csDropDownList);
    Stylecombo->SetBounds(170, 86, 110, 22);
    for (const char* S : {"Régulier", "Gras", "Italique", "Gras Italique"})
        Stylecombo->Items()->Add(S);
    Stylecombo->OnChange = [this](TObject*) {
        const int Style = std::max(0, Stylecombo->ItemIndex());
        bold->SetDown(Style == 1 || Style == 3);
        italic->SetDown(Style == 2 || Style == 3);
        WriteValueLine(2, std::to_string(Style));
    };
    StyleBar = Make<TToolBar>(this, pantext, "StyleBar");
    StyleBar->SetAlign(alNone);
    StyleBar->SetBounds(284, 84, 56, 24);
    StyleBar->SetShowCaptions(true);
    // Raised buttons whose letters wear their own style, so that they read
    // as the bold and italic switches and not as two stray letters.
    StyleBar->SetButtonWidth(24);
    StyleBar->SetButtonHeight(22);
    bold = Make<TToolButton>(this, StyleBar, "bold");
    bold->SetCaption("G");
    bold->Font()->SetStyle(TFontStyles{fsBold});
    italic = Make<TToolButton>(this, StyleBar, "italic");
    italic->SetCaption("I");
    italic->Font()->SetStyle(TFontStyles{fsItalic});
    for (TToolButton* B : {bold, italic}) {
        B->SetStyle(tbsCheck);
        B->OnClick = [this](TObject*) {
            const int Style = (bold->Down() ? 1 : 0) + (italic->Down() ? 2 : 0);
            ++FLoading;
            Stylecombo->SetItemIndex(Style);
            --FLoading;
            WriteValueLine(2, std::to_string(Style));
        };
    }

    MakeLabel(this, pantext, "Taille :", 346, 90);
    fsize = Make<TCtlSpinEdit>(this, pantext, "fsize");
    fsize->SetBounds(390, 86, 56, 22);
    fsize->SetMinValue(8);
    fsize->SetMaxValue(72);
    fsize->SetValue(16);
    fsize->OnChange = [this](TObject*) {
        // Text that is no number (a cleared box, a typo) leaves the stored
        // size as it is; the renderer never sees anything but a number.
        int Size = 0;
        if (!TryStrToInt(Trim(fsize->Text()), Size)) return;
        WriteValueLine(3, std::to_string(std::clamp(Size, 8, 72)));
    };
    // Left, the box shows the size the text is drawn with, not what was
    // typed past the bounds or instead of a number.
    fsize->OnExit = [this](TObject*) {
        if (Doc.SelectedText < 0 || Doc.SelectedText >= int(Doc.tlv.size())) return;
        const TTextValue V = Doc.tlv[std::size_t(Doc.SelectedText)].Value(Doc.SelectedValue);
        ++FLoading;
        fsize->SetValue(ShownSize(V));
        --FLoading;
    };
    shadowbox = Make<TCheckBox>(this, pantext, "shadowbox");
    shadowbox->SetCaption("Ombre");
    shadowbox->SetBounds(170, 118, 100, 17);
    shadowbox->OnClick = [this](TObject*) { WriteValueLine(4, shadowbox->Checked() ? "1" : "0"); };
    three = Make<TCheckBox>(this, pantext, "three");
    three->SetCaption("alterner trois fois");
    three->SetBounds(170, 142, 160, 17);
    three->OnClick = [this](TObject*) {
        if (Loading() || Doc.Composition == ckNone) return;
        Doc.three = three->Checked();
        if (Doc.three)
            AddThirdValue();
        else
            Doc.SelectedValue = 0;
        LoadTextEditors();
        RedrawBanner(false);
    };

    TGroupBox* PosBox = Make<TGroupBox>(this, pantext, "PosBox");
    PosBox->SetCaption("Position");
    PosBox->SetBounds(470, 4, 200, 76);
    autoPos = Make<TRadioButton>(this, PosBox, "auto");
    autoPos->SetCaption("Auto");
    autoPos->SetBounds(8, 16, 60, 17);
    custom = Make<TRadioButton>(this, PosBox, "custom");
    custom->SetCaption("Personnalisée");
    custom->SetBounds(76, 16, 110, 17);
    autoPos->OnClick = [this](TObject* S) { autoClick(S); };
    custom->OnClick = [this](TObject* S) { autoClick(S); };
    MakeLabel(this, PosBox, "X :", 8, 46);
    textposx = Make<TCtlSpinEdit>(this, PosBox, "textposx");
    textposx->SetBounds(28, 42, 60, 22);
    MakeLabel(this, PosBox, "Y :", 100, 46);
    textposy = Make<TCtlSpinEdit>(this, PosBox, "textposy");
    textposy->SetBounds(120, 42, 60, 22);
    for (TCtlSpinEdit* E : {textposx, textposy}) {
        E->SetIncrement(5);
        E->SetEnabled(false);
        // Positions are kept to the range the document file reads back.
        E->SetMinValue(-MaxElementOffset);
        E->SetMaxValue(MaxElementOffset);
        E->OnChange = [this, E](TObject*) {
            int V = 0;
            if (Loading() || Doc.Composition == ckNone || !TryStrToInt(Trim(E->Text()), V)) return;
            const int P = SelectedPositionIndex();
            std::int32_t* Slot = P == 0   ? &Doc.TextPositions[4]
                                 : P == 3 ? &Doc.Value3Position[0]
                                          : &Doc.TextPositions[std::size_t(2 * (P - 1))];
            Slot[E == textposy ? 1 : 0] = std::clamp(V, -MaxElementOffset, MaxElementOffset);
            RedrawBanner(false);
        };
        // Left, the box shows the position kept.
        E->OnExit = [this](TObject*) { ShowElementPosition(); };
    }

    MakeLabel(this, pantext, "Effet :", 470, 90);
    TextEffectCombo = Make<TComboBox>(this, pantext, "TextEffectCombo");
    TextEffectCombo->SetStyle(csDropDownList);
    TextEffectCombo->SetBounds(510, 86, 160, 22);
    for (int E = 0; E < TextEffectCount; ++E)
        TextEffectCombo->Items()->Add(TextEffectName(E));
    TextEffectCombo->OnChange = [this](TObject*) {
        if (Loading() || Doc.Composition == ckNone) return;
        const int Effect = std::max(0, TextEffectCombo->ItemIndex());
        if (SelectedPositionIndex() == 0)
            Doc.FirstTextEffect = Effect;
        else
            Doc.ValueEffects[std::size_t(std::clamp(Doc.SelectedValue, 0, 2))] = Effect;
        Doc.TextEffectCombo = Effect;
        RedrawBanner(false);
    };
}

// ---------------------------------------------------------------- loading

int TMainform::SelectedPositionIndex() const {
    if (Doc.Composition != ckOneText && Doc.SelectedText == 0) return 0;
    return std::clamp(Doc.SelectedValue, 0, 2) + 1;
}

void TMainform::FillValuesTree(const std::string& Caption) {
    ++FLoading;
    Values->Items()->Clear();
    const auto Lines = TBannerDocument::SplitValueLines(Caption);
    for (int I = 0; I < int(Lines.size()) && I < 3; ++I) {
        if (I == 2 && !three->Checked()) break;
        Values->Items()->Add(nullptr, Lines[std::size_t(I)]);
    }
    --FLoading;
}

void TMainform::LoadTextEditors() {
    ++FLoading;
    Texts->Items()->Clear();
    for (int I = 0; I < int(Doc.tlv.size()); ++I)
        Texts->Items()->Add(TBannerDocument::TextElementName(I));
    Doc.SelectedText = std::clamp(Doc.SelectedText, 0, std::max(0, int(Doc.tlv.size()) - 1));
    Texts->SetItemIndex(Doc.tlv.empty() ? -1 : Doc.SelectedText);
    three->SetChecked(Doc.three);
    if (Doc.tlv.empty()) {
        Values->Items()->Clear();
    } else {
        FillValuesTree(Doc.tlv[std::size_t(Doc.SelectedText)].Caption);
        const int Count = Values->Items()->Count();
        Doc.SelectedValue = std::clamp(Doc.SelectedValue, 0, std::max(0, Count - 1));
        if (Count > 0) Values->SetSelected(Values->Items()->Item(Doc.SelectedValue));
    }
    LoadElementEditors();
    ShowElementPosition();
    UpdateThreeValuesOption();
    EnableTextEffectCombo();
    --FLoading;
}

void TMainform::LoadElementEditors() {
    ++FLoading;
    if (Doc.SelectedText >= 0 && Doc.SelectedText < int(Doc.tlv.size())) {
        const TTextElement& E = Doc.tlv[std::size_t(Doc.SelectedText)];
        const TTextValue V = E.Value(Doc.SelectedValue);
        // The values of a text are saved together, one per line, in one
        // counted string of the document file (a character each): the box
        // takes no more than the room the other values leave, and keeps room
        // for the third value a main text of two values gains with "three",
        // so that nothing typed is cut when the banner is saved.
        int Room = ShortStringChars -
                   int(Utf8Length(TBannerDocument::SetValueLine(E.Caption, Doc.SelectedValue, "")));
        if (&E == Doc.MainText() && TBannerDocument::ValueCount(E.Caption) == 2)
            Room -= int(Utf8Length("\rTexte 1-3"));
        Txt->SetMaxLength(std::max({Room, int(Utf8Length(V.Text)), 1}));
        Txt->SetText(V.Text);
        try {
            ct->SetSelectionColor(TBannerDocument::ColorFromText(V.Color));
        } catch (const EConvertError&) {
            // A colour text that names nothing: the picker keeps its colour.
        }
        // A font that is not installed shows the installed family its text is
        // drawn with, or the first font when that is not listed either; the
        // stored name stays until the user picks a font.
        int Row = fontbox->Items()->IndexOf(V.FontName);
        if (Row < 0) Row = fontbox->Items()->IndexOf(ResolveFontFamily(V.FontName));
        fontbox->SetItemIndex(Row >= 0 ? Row : (fontbox->Items()->Count() > 0 ? 0 : -1));
        const int Style = std::clamp(StrToIntDef(V.StyleIndex, 0), 0, 3);
        Stylecombo->SetItemIndex(Style);
        bold->SetDown(Style == 1 || Style == 3);
        italic->SetDown(Style == 2 || Style == 3);
        fsize->SetValue(ShownSize(V));
        shadowbox->SetChecked(V.Shadow == "1");
    }
    --FLoading;
}

void TMainform::ShowElementPosition() {
    ++FLoading;
    const int P = SelectedPositionIndex();
    const bool Auto = AutoPosition(Doc, P);
    autoPos->SetChecked(Auto);
    custom->SetChecked(!Auto);
    textposx->SetEnabled(!Auto);
    textposy->SetEnabled(!Auto);
    const TPoint At = StoredPosition(Doc, P);
    textposx->SetValue(At.X);
    textposy->SetValue(At.Y);
    Doc.custom = Doc.Composition == ckOneText && !Auto;
    const int Effect = P == 0 ? Doc.FirstTextEffect
                              : Doc.ValueEffects[std::size_t(std::clamp(Doc.SelectedValue, 0, 2))];
    // An effect this version does not know plays as none: the box says so.
    TextEffectCombo->SetItemIndex(Effect >= 0 && Effect < TextEffectCount ? Effect : teNone);
    --FLoading;
}

void TMainform::UpdateThreeValuesOption() {
    if (Doc.Composition == ckNone) return;
    three->SetVisible(Doc.SelectedText == Doc.MainTextIndex());
}

void TMainform::EnableTextEffectCombo() {
    TextEffectCombo->SetEnabled(Doc.Composition != ckNone);
}

void TMainform::AddThirdValue() {
    TTextElement* Main = Doc.MainText();
    if (Main == nullptr || TBannerDocument::ValueCount(Main->Caption) != 2) return;
    const std::string Name = Doc.Composition == ckOneText ? "Texte 1-3" : "Texte 2-3";
    Main->Caption = TBannerDocument::SetValueLine(Main->Caption, 2, Name);
    for (int K = 0; K < 5; ++K) {
        std::string* F = Main->SubItem(K);
        *F = TBannerDocument::SetValueLine(*F, 2, TBannerDocument::GetValueLine(*F, 0));
    }
}

// ---------------------------------------------------------------- editing

void TMainform::TextsClick(TObject*) {
    if (Loading() || Doc.Composition == ckNone || Texts->ItemIndex() < 0) return;
    Doc.SelectedText = Texts->ItemIndex();
    Doc.SelectedValue = 0;
    LoadTextEditors();
    // Choosing what to edit is no edit of the banner.
    RedrawBanner(!Doc.Modified);
}

void TMainform::ValuesChange(TObject*, TTreeNode* Node) {
    if (Loading() || Doc.Composition == ckNone || Node == nullptr) return;
    Doc.SelectedValue = Node->Index();
    LoadElementEditors();
    ShowElementPosition();
    RedrawBanner(!Doc.Modified);
}

void TMainform::autoClick(TObject* Sender) {
    if (Loading() || Doc.Composition == ckNone) return;
    if (!static_cast<TRadioButton*>(Sender)->Checked()) return;
    const bool Auto = Sender == autoPos;
    const int P = SelectedPositionIndex();
    Doc.AutoPositions[std::size_t(P == 0 ? 2 : P == 3 ? 3 : P - 1)] = Auto ? 1 : 0;
    textposx->SetEnabled(!Auto);
    textposy->SetEnabled(!Auto);
    Doc.custom = Doc.Composition == ckOneText && !Auto;
    RedrawBanner(false);
}

void TMainform::WriteValueLine(int Field, const std::string& Text) {
    if (Loading() || Doc.Composition == ckNone) return;
    // A line break would split the value into two lines.
    std::string Line = Text;
    std::replace(Line.begin(), Line.end(), '\r', ' ');
    std::replace(Line.begin(), Line.end(), '\n', ' ');
    if (Doc.SelectedText >= 0 && Doc.SelectedText < int(Doc.tlv.size())) {
        TTextElement& E = Doc.tlv[std::size_t(Doc.SelectedText)];
        std::string* F = Field < 0 ? &E.Caption : E.SubItem(Field);
        *F = TBannerDocument::SetValueLine(*F, Doc.SelectedValue, Line);
    }
    RedrawBanner(false);
}
