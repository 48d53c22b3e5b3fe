#include "editor/UNewBanner.h"

#include <algorithm>
#include <cstdint>

#include "banner/BannerLimits.h"
#include "editor/MainBuild.h"
#include "platform/base/Convert.h"
#include "platform/base/Text.h"
#include "platform/forms/Dialogs.h"

using namespace mainform;

namespace {

TLabel* AddLabel(TWinControl* Parent, const std::string& Name, int Left, int Top,
                 const std::string& Caption) {
    TLabel* Label = Place<TLabel>(Parent, Name, Left, Top, 10, 13);
    Label->SetCaption(Caption);
    return Label;
}

TLabel* WrappedLabel(TWinControl* Parent, const std::string& Name, int Left, int Top, int Width,
                     const std::string& Caption) {
    TLabel* Label = AddLabel(Parent, Name, Left, Top, "");
    Label->SetWidth(Width);
    Label->SetWordWrap(true);
    Label->SetCaption(Caption);
    return Label;
}

TCtlSpinEdit* AddSizeEdit(TWinControl* Parent, const std::string& Name, int Left, int Top,
                          int Value) {
    TCtlSpinEdit* Edit = Place<TCtlSpinEdit>(Parent, Name, Left, Top, 73, 21);
    Edit->SetMinValue(MinTypedSide);
    Edit->SetMaxValue(MaxTypedSide);
    Edit->SetValue(Value);
    return Edit;
}

// The dialog refuses to close on a size outside the bound, so the clamp
// only keeps a careless caller from handing the renderer a size it
// cannot draw.
int SideOf(TCtlSpinEdit* Edit) {
    return int(std::clamp<std::int64_t>(Edit->GetIntegerValue(), 1, MaxBannerSide));
}

} // namespace

bool AcceptTypedBannerSize(TCtlSpinEdit* Width, TCtlSpinEdit* Height) {
    // A field left blank would otherwise give a banner one pixel wide (or
    // high) that the user never saw nor chose.
    const auto Side = [](TCtlSpinEdit* Edit) -> std::int64_t {
        return Trim(Edit->Text()).empty() ? 0 : TypedBannerSide(Edit);
    };
    if (IsDrawableBannerSize(Side(Width), Side(Height))) return true;
    MessageDlg(BannerSizeRefusedText, mtWarning, {mbOK}, 0);
    return false;
}

std::int64_t TypedBannerSide(TCtlSpinEdit* Edit) {
    // The field itself reads such a text as its minimum, 1: a mistyped size
    // would quietly become a banner one pixel wide.
    const std::string Text = Trim(Edit->Text());
    std::int64_t Side = 0;
    if (Text.empty()) return 1;
    return TryStrToInt64(Text, Side) ? Side : 0;
}

TNewForm::TNewForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("NewForm");
    SetCaption("Nouvelle bannière");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetClientWidth(521);
    SetClientHeight(389);

    NameLabel = AddLabel(this, "Label1", 16, 12, "Nom de la bannière :");
    Bnedit = Place<TEdit>(this, "Bnedit", 16, 28, 257, 21);
    Bnedit->SetText("sans_nom");

    ModelsLabel = AddLabel(this, "Label2", 16, 60, "Composition :");
    Models = Place<TListBox>(this, "Models", 16, 76, 257, 41);
    // Rows as stored, blanks included: row 0 is composition 1, row 1 is
    // composition 3 (composition 2 is only reached through a document).
    Models->Items()->Add("Composition 1:       1 Texte");
    Models->Items()->Add("Composition 3:       2 Textes ");
    // The two notes wrap within their columns, so that no font runs them
    // under the model picture or past the dialog's edge; the first column
    // holds the first note's first line whole.
    WrappedLabel(
        this, "Label3", 16, 122, 340,
        "(c'est un modèle de base, vous pourrez ensuite personnaliser votre \r\nbannière)");
    WrappedLabel(this, "Label4", 370, 180, 135, "(Contenu en textes et en \r\nimages)");
    ModelPicture = Place<TPaintBox>(this, "ModelPicture", 370, 76, 135, 97);

    FormatLabel = AddLabel(this, "Label5", 16, 170, "Format de la bannière :");
    formatcombo = Place<TComboBox>(this, "formatcombo", 16, 186, 257, 21);
    formatcombo->SetStyle(csDropDownList);
    for (const TBannerFormatRow& Row : BannerFormatRows)
        formatcombo->Items()->Add(Row.Caption);
    AddLabel(this, "Label6", 16, 212,
             "C'est un format de base, vous pourrez ensuite redimensionner.");

    WidthLabel = AddLabel(this, "Label7", 16, 244, "Largeur :");
    bannerwidth = AddSizeEdit(this, "bannerwidth", 16, 260, 468);
    HeightLabel = AddLabel(this, "Label8", 112, 244, "Hauteur :");
    bannerheight = AddSizeEdit(this, "bannerheight", 112, 260, 60);
    AddLabel(this, "Label9", 16, 290, "(Vous pourrez ensuite modifier la taille de la bannière)");

    Okbtn = MakeCloseButton(this, "Okbtn", mrOk, 342, 350, 75);
    Cancelbtn = MakeCloseButton(this, "Cancelbtn", mrCancel, 430, 350, 75);

    formatcombo->OnChange = [this](TObject* Sender) { formatcomboChange(Sender); };
    Models->OnDblClick = [this](TObject* Sender) { ModelsDblClick(Sender); };
    Models->OnClick = [this](TObject* Sender) { ModelsClick(Sender); };
    ModelPicture->OnPaint = [this](TObject* Sender) { ModelPicturePaint(Sender); };
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
    OnCloseQuery = [this](TObject*, bool& CanClose) {
        if (ModalResult() == mrOk) CanClose = AcceptTypedBannerSize(bannerwidth, bannerheight);
    };

    Models->SetItemIndex(0);
    formatcombo->SetItemIndex(0);
    formatcomboChange(formatcombo);
}

void TNewForm::formatcomboChange(TObject*) {
    const int Row = formatcombo->ItemIndex();
    const bool Custom = Row == CustomFormatRow;
    bannerwidth->SetEnabled(Custom);
    bannerheight->SetEnabled(Custom);
    // The custom row keeps what the fields hold, so the last size stays.
    if (Row >= 0 && Row < CustomFormatRow) {
        bannerwidth->SetValue(BannerFormatRows[std::size_t(Row)].Width);
        bannerheight->SetValue(BannerFormatRows[std::size_t(Row)].Height);
    }
}

void TNewForm::ModelsDblClick(TObject*) {
    SetModalResult(mrOk);
}

void TNewForm::ModelsClick(TObject*) {
    ModelPicture->Invalidate();
}

void TNewForm::FormShow(TObject*) {
    if (PrepareMainWindow) PrepareMainWindow();
}

TNewBannerOptions TNewForm::Options() {
    TNewBannerOptions Result;
    Result.Name = Bnedit->Text();
    Result.ModelIndex = Models->ItemIndex();
    Result.FormatIndex = formatcombo->ItemIndex();
    Result.Width = SideOf(bannerwidth);
    Result.Height = SideOf(bannerheight);
    return Result;
}

// A sketch of the chosen composition: the banner with its text boxes (and
// the image box of the composition with two texts).
void TNewForm::ModelPicturePaint(TObject*) {
    TCanvas* C = ModelPicture->Canvas();
    const int W = ModelPicture->Width();
    const int H = ModelPicture->Height();
    C->Brush()->SetColor(clWhite);
    C->Pen()->SetColor(clGray);
    C->Rectangle(0, 0, W, H);
    C->Brush()->SetColor(clSilver);
    if (Models->ItemIndex() == 1) {
        C->Rectangle(8, 8, W / 2, H / 2 - 4);
        C->Rectangle(8, H / 2 + 4, W - 8, H - 8);
        C->Brush()->SetColor(clNavy);
        C->Rectangle(W / 2 + 8, 8, W - 8, H / 2 - 4);
    } else {
        C->Rectangle(8, H / 3, W - 8, 2 * H / 3);
    }
}
