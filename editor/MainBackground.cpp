// The background and border side panels. The five background radio buttons
// choose the document's background kind; each enables only its own
// controls.
#include "editor/UMain.h"

#include "editor/BuiltinPictures.h"
#include "editor/MainBuild.h"
#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/forms/Application.h"

using namespace mainform;

namespace {

TCheckBox* MakeCheck(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                     const std::string& Caption, int Left, int Top) {
    TCheckBox* C = Make<TCheckBox>(Owner, Parent, Name);
    C->SetCaption(Caption);
    C->SetBounds(Left, Top, 80, 17);
    return C;
}

} // namespace

void TMainform::BuildBackgroundPanel() {
    auto Radio = [this](const std::string& Name, const std::string& Caption, int Top) {
        TRadioButton* R = Make<TRadioButton>(this, panelback, Name);
        R->SetCaption(Caption);
        R->SetBounds(8, Top, 120, 17);
        R->OnClick = [this](TObject* S) { BackgroundKindClick(S); };
        return R;
    };
    // A picker that writes one colour field of the document.
    auto Picker = [this](const std::string& Name, int Left, int Top, TColor TBannerDocument::*Field,
                         TButton*& Dots) {
        TColorPickerButton* P = nullptr;
        P = MakeColorButton(panelback, Name, Left, Top, Doc.*Field, [this, Field](TObject* S) {
            if (Loading()) return;
            Doc.*Field = static_cast<TColorPickerButton*>(S)->SelectionColor();
            RedrawBanner(false);
        });
        Dots = MakeButton(this, panelback, Name + "DotsBtn", "...", Left + 62, Top, 24);
        Dots->OnClick = [this, P](TObject*) { ChooseColor(P); };
        return P;
    };

    rbColor = Radio("rbColor", "Couleur unie", 22);
    Cl = Picker("Cl", 130, 20, &TBannerDocument::Cl, ClDotsBtn);
    Button16 = MakeButton(this, panelback, "Button16", "x", 218, 20, 18);
    Button16->OnClick = [this](TObject*) { ArmColorPick(PickBackground); };

    rbTexture = Radio("rbTexture", "Modèle spécial", 50);
    Button3 = MakeButton(this, panelback, "Button3", "Modifier", 130, 46, 86);
    Button3->OnClick = [this](TObject* S) { EditTemplateClick(S); };

    rbgrad = Radio("rbgrad", "Dégradé", 78);
    dxH = MakeCheck(this, panelback, "dxH", "Horiz", 24, 100);
    dxV = MakeCheck(this, panelback, "dxV", "Vert", 110, 100);
    // Exactly one direction is checked: each box sets the other to its
    // opposite.
    for (TCheckBox* Box : {dxH, dxV}) {
        Box->OnClick = [this, Box](TObject*) {
            if (Loading()) return;
            Doc.dxH = Box == dxH ? dxH->Checked() : !dxV->Checked();
            ++FLoading;
            (Box == dxH ? dxV : dxH)->SetChecked(!Box->Checked());
            --FLoading;
            RedrawBanner(false);
        };
    }
    cg1 = Picker("cg1", 24, 122, &TBannerDocument::cg1, cg1DotsBtn);
    cg2 = Picker("cg2", 130, 122, &TBannerDocument::cg2, cg2DotsBtn);

    // Kind 4 comes only from documents: its button and pickers stay hidden.
    rbcomposed = Radio("rbcomposed", "Composition de couleurs", 150);
    cc1 = Picker("cc1", 24, 172, &TBannerDocument::cc1, cc1DotsBtn);
    cc2 = Picker("cc2", 130, 172, &TBannerDocument::cc2, cc2DotsBtn);
    for (TControl* C :
         std::initializer_list<TControl*>{rbcomposed, cc1, cc2, cc1DotsBtn, cc2DotsBtn})
        C->SetVisible(false);

    rbImage = Radio("rbImage", "Image externe", 152);
    LoadBgBtn = MakeButton(this, panelback, "LoadBgBtn", "...", 130, 148, 30);
    LoadBgBtn->OnClick = [this](TObject* S) { LoadBgBtnClick(S); };
}

void TMainform::BuildBorderPanel() {
    BrLeft = MakeCheck(this, pnlbord, "BrLeft", "Gauche", 8, 22);
    BrRight = MakeCheck(this, pnlbord, "BrRight", "Droite", 100, 22);
    BrTop = MakeCheck(this, pnlbord, "BrTop", "Haut", 8, 44);
    BrBottom = MakeCheck(this, pnlbord, "BrBottom", "Bas", 100, 44);
    const std::pair<TCheckBox*, bool TBannerDocument::*> Sides[] = {
        {BrLeft, &TBannerDocument::BrLeft},
        {BrRight, &TBannerDocument::BrRight},
        {BrTop, &TBannerDocument::BrTop},
        {BrBottom, &TBannerDocument::BrBottom}};
    for (const auto& Side : Sides) {
        TCheckBox* Box = Side.first;
        bool TBannerDocument::*Field = Side.second;
        Box->OnClick = [this, Box, Field](TObject*) {
            if (Loading()) return;
            Doc.*Field = Box->Checked();
            RedrawBanner(false);
        };
    }
    clbord = MakeColorButton(pnlbord, "clbord", 8, 70, Doc.clbord, [this](TObject*) {
        if (Loading()) return;
        Doc.clbord = clbord->SelectionColor();
        RedrawBanner(false);
    });
    clbordDotsBtn = MakeButton(this, pnlbord, "clbordDotsBtn", "...", 70, 70, 24);
    clbordDotsBtn->OnClick = [this](TObject*) { ChooseColor(clbord); };
    Button2 = MakeButton(this, pnlbord, "Button2", "x", 96, 70, 18);
    Button2->OnClick = [this](TObject*) { ArmColorPick(PickBorder); };
}

void TMainform::LoadBackgroundEditors() {
    ++FLoading;
    const std::pair<TColorPickerButton*, TColor> Colors[] = {{Cl, Doc.Cl},   {cg1, Doc.cg1},
                                                             {cg2, Doc.cg2}, {cc1, Doc.cc1},
                                                             {cc2, Doc.cc2}, {clbord, Doc.clbord}};
    for (const auto& [Button, Color] : Colors)
        Button->SetSelectionColor(Color);
    dxH->SetChecked(Doc.dxH);
    dxV->SetChecked(!Doc.dxH);
    BrLeft->SetChecked(Doc.BrLeft);
    BrRight->SetChecked(Doc.BrRight);
    BrTop->SetChecked(Doc.BrTop);
    BrBottom->SetChecked(Doc.BrBottom);
    TRadioButton* Kinds[] = {rbColor, rbTexture, rbgrad, rbcomposed, rbImage};
    const int Kind = Doc.BackgroundKind >= bgColor && Doc.BackgroundKind <= bgImage
                         ? int(Doc.BackgroundKind)
                         : int(bgColor);
    Kinds[Kind - 1]->SetChecked(true);
    if (Doc.extimage.Empty())
        extimage->Picture()->SetGraphic(nullptr);
    else
        Doc.extimage.AssignTo(extimage->Picture());
    ApplyBackgroundKind();
    --FLoading;
}

void TMainform::ApplyBackgroundKind() {
    TRadioButton* Checked = rbImage;
    for (TRadioButton* R : {rbColor, rbTexture, rbgrad, rbcomposed}) {
        if (R->Checked()) {
            Checked = R;
            break;
        }
    }
    BackgroundKindClick(Checked);
}

void TMainform::BackgroundKindClick(TObject* Sender) {
    auto* R = static_cast<TRadioButton*>(Sender);
    if (!R->Checked()) return;
    const TBackgroundKind Kind = R == rbColor      ? bgColor
                                 : R == rbTexture  ? bgTemplate
                                 : R == rbgrad     ? bgGradient
                                 : R == rbcomposed ? bgComposed
                                                   : bgImage;
    if (!Loading() && Doc.Composition != ckNone) {
        Doc.BackgroundKind = Kind;
        RedrawBanner(false);
    }
    const std::pair<TControl*, TBackgroundKind> Owned[] = {{Cl, bgColor},
                                                           {ClDotsBtn, bgColor},
                                                           {Button16, bgColor},
                                                           {Button3, bgTemplate},
                                                           {dxH, bgGradient},
                                                           {dxV, bgGradient},
                                                           {cg1, bgGradient},
                                                           {cg2, bgGradient},
                                                           {cg1DotsBtn, bgGradient},
                                                           {cg2DotsBtn, bgGradient},
                                                           {cc1, bgComposed},
                                                           {cc2, bgComposed},
                                                           {cc1DotsBtn, bgComposed},
                                                           {cc2DotsBtn, bgComposed},
                                                           {LoadBgBtn, bgImage}};
    for (const auto& [Control, Of] : Owned)
        Control->SetEnabled(Of == Kind);
}

void TMainform::LoadBgBtnClick(TObject*) {
    FocusBackgroundKind();
    if (!obg->Execute() || !FileExists(obg->FileName)) return;
    // The picture is read aside: a file no reader takes leaves the
    // background as it was.
    TBitmap32 Picture;
    try {
        Picture.LoadFromPictureFile(obg->FileName);
        // Laid on the white the banner fills under it: a clear backdrop
        // shows white, not the black its clear pixels store.
        LayOnWhite(Picture);
    } catch (const Exception&) {
        Application->HandleException(this);
        return;
    }
    Doc.extimage.Assign(&Picture);
    Doc.ExtImageFileName = obg->FileName;
    Doc.extimage.AssignTo(extimage->Picture());
    ++FLoading;
    rbImage->SetChecked(true);
    --FLoading;
    Doc.BackgroundKind = bgImage;
    RedrawBanner(false);
}

void TMainform::EditTemplateClick(TObject*) {
    // OK puts the template into the document, whose change event redraws
    // and shows it in the panel.
    if (OnEditTemplate && OnEditTemplate()) RedrawBanner(false);
}

void TMainform::FocusBackgroundKind() {
    // In a collapsed panel the radio buttons are out of sight: focused there,
    // an arrow key would change the banner's background unseen.
    if (!DesignPageVisible() || !PanelExpanded(panelback)) return;
    for (TRadioButton* R : {rbColor, rbTexture, rbgrad}) {
        if (R->Checked()) {
            if (R->Parent() != nullptr && R->Visible()) R->SetFocus();
            return;
        }
    }
}
