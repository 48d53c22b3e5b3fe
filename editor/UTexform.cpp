#include "editor/UTexform.h"

#include "editor/MainBuild.h"
#include "platform/forms/Dialogs.h"

using namespace mainform;

TTexform::TTexform(TComponent* AOwner) : TForm(AOwner) {
    SetName("Texform");
    SetCaption(TTemplateModel::DialogCaption);
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetClientWidth(582);
    SetClientHeight(250);

    list = Make<TListBox>(this, this, "list");
    list->SetBounds(8, 8, 90, 234);
    list->OnClick = [this](TObject* S) { listClick(S); };
    shown = Make<TImage32>(this, this, "shown");
    // As wide as the standard banner's templates, the widest ones shown.
    shown->SetBounds(106, 8, 468, 120);

    // The text shows where the panel is hidden (fixed templates).
    FixedLabel = new TLabel(this);
    FixedLabel->SetName("FixedLabel");
    FixedLabel->SetParent(this);
    FixedLabel->SetCaption(TTemplateModel::NotCustomizableText);
    FixedLabel->SetBounds(114, 146, 300, 14);
    Pan = MakePanel(this, this, "Pan", alNone);
    Pan->SetBounds(106, 136, 468, 36);
    cp1Label = new TLabel(this);
    cp1Label->SetParent(Pan);
    cp1Label->SetCaption("Couleur arrière :");
    cp1Label->SetBounds(8, 10, 100, 14);
    cp1 = Make<TColorPickerButton>(this, Pan, "cp1");
    cp1->SetBounds(110, 6, 60, 22);
    cp1->OnChange = [this](TObject* S) { cp1Change(S); };
    cp1->SetDefaultText("Autres couleurs...");
    cp1->OnDefaultSelect = [this](TObject* S) { Button9Click(S); };
    Button9 = MakeButton(this, Pan, "Button9", "...", 172, 6, 24);
    Button9->OnClick = [this](TObject* S) { Button9Click(S); };
    dxButton1 = MakeButton(this, Pan, "dxButton1", "&Rétablir", 204, 6, 80);
    dxButton1->OnClick = [this](TObject* S) { dxButton1Click(S); };

    cp2Label = new TLabel(this);
    cp2Label->SetParent(this);
    cp2Label->SetCaption("Couleur avant :");
    cp2Label->SetBounds(114, 186, 100, 14);
    cp2 = Make<TColorPickerButton>(this, this, "cp2");
    cp2->SetBounds(216, 182, 60, 22);
    cp2->SetSelectionColor(clBlack);
    cp2->OnChange = [this](TObject* S) { cp1Change(S); };
    cp2->SetDefaultText("Sélecteur de couleurs");
    cp2->OnDefaultSelect = [this](TObject* S) { dxButton2Click(S); };
    dxButton2 = MakeButton(this, this, "dxButton2", "...", 278, 182, 24);
    dxButton2->OnClick = [this](TObject* S) { dxButton2Click(S); };

    OKBtn = MakeCloseButton(this, "OKBtn", mrOk, 414, 218, 75);
    CancelBtn = MakeCloseButton(this, "CancelBtn", mrCancel, 498, 218, 75);

    OnShow = [this](TObject* S) { FormShow(S); };
    Model->FillTemplateList(0);
    Model->FormCreate();
    Refresh();
}

void TTexform::Refresh() {
    FRefreshing = true;
    list->Items()->Clear();
    for (const std::string& Name : Model->list)
        list->Items()->Add(Name);
    list->SetItemIndex(Model->ItemIndex < int(Model->list.size()) ? Model->ItemIndex : -1);
    shown->Bitmap()->Assign(&Model->shown);
    shown->Invalidate();
    cp1->SetSelectionColor(Model->cp1);
    cp2->SetSelectionColor(Model->cp2);
    Pan->SetVisible(Model->PanVisible);
    FRefreshing = false;
}

void TTexform::FormShow(TObject*) {
    if (OnFocusBackgroundKind) OnFocusBackgroundKind();
    Refresh();
}

bool TTexform::Edit(TBannerDocument& Document) {
    // An opened banner keeps its own key colour, which only its picture
    // took: the window starts from the template and colour the banner
    // shows, so that OK without a change leaves the banner as it is.
    if (Model->ItemIndex != Document.TemplateNumber) {
        Model->ItemIndex = Document.TemplateNumber;
        Model->listClick();
    }
    if (Model->cp1 != Document.cp1) {
        Model->cp1 = Document.cp1;
        Model->cp1Change();
    }
    Model->BeginEdit();
    if (ShowModal() == mrOk) {
        Model->AcceptEdit(Document);
        return true;
    }
    Model->CancelEdit();
    Refresh();
    return false;
}

void TTexform::listClick(TObject*) {
    if (FRefreshing || list->ItemIndex() < 0) return;
    Model->ItemIndex = list->ItemIndex();
    Model->listClick();
    Refresh();
}

void TTexform::cp1Change(TObject*) {
    if (FRefreshing) return;
    Model->cp1 = cp1->SelectionColor();
    Model->cp2 = cp2->SelectionColor();
    Model->cp1Change();
    shown->Bitmap()->Assign(&Model->shown);
    shown->Invalidate();
}

void TTexform::Button9Click(TObject*) {
    ChooseColor(cp1);
}

void TTexform::dxButton2Click(TObject*) {
    ChooseColor(cp2);
}

void TTexform::dxButton1Click(TObject* Sender) {
    listClick(Sender);
}
