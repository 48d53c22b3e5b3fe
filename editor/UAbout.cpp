#include "editor/UAbout.h"

#include "editor/BuiltinPictures.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "raster/Color32.h"
#include "raster/RasterCore.h"

namespace {

TLabel* MakeLabel(TAboutBox* Form, const char* Name, const std::string& Caption, int Left,
                  int Top) {
    auto* L = new TLabel(Form);
    L->SetName(Name);
    L->SetParent(Form);
    L->SetLeft(Left);
    L->SetTop(Top);
    L->SetCaption(Caption);
    return L;
}

TLabel* MakeLink(TAboutBox* Form, const char* Name, const std::string& Caption, int Left, int Top) {
    TLabel* L = MakeLabel(Form, Name, Caption, Left, Top);
    L->Font()->SetColor(clBlue);
    L->Font()->SetStyle(L->Font()->Style() + TFontStyles{fsUnderline});
    L->SetCursor(crHandPoint);
    return L;
}

} // namespace

TAboutBox::TAboutBox(TComponent* AOwner) : TForm(AOwner) {
    SetName("AboutBox");
    SetCaption("À propos de Quillomark Free");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(360);
    SetClientHeight(220);

    ProgramIcon = new TImage(this);
    ProgramIcon->SetName("ProgramIcon");
    ProgramIcon->SetParent(this);
    ProgramIcon->SetBounds(16, 16, 48, 48);
    {
        // The star is the program's emblem. A picture control shows its
        // picture opaque, so the star is laid on the window's own face
        // rather than on the black of its transparent ground.
        TBitmap32 Star;
        DrawClipArt(4, Star);
        Star.SetDrawMode(dmBlend);
        TBitmap32 Picture;
        Picture.SetDimensions(Star.Width(), Star.Height());
        Picture.ClearToColor(ToColor32(clBtnFace));
        Star.DrawOnto(&Picture, 0, 0);
        ProgramIcon->Picture()->Assign(&Picture);
    }

    ProductName = MakeLabel(this, "ProductName", "Quillomark Free", 80, 16);
    ProductName->Font()->SetSize(14);
    ProductName->Font()->SetStyle(TFontStyles{fsBold});
    Version = MakeLabel(this, "Version", "Version 5.0.3", 80, 48);
    Copyright = MakeLabel(this, "Copyright", "Editeur de bannières animées", 80, 68);
    SiteCaption = MakeLabel(this, "SiteCaption", "Site web :", 16, 112);
    SiteLabel = MakeLink(this, "SiteLabel", QuillomarkSiteUrl, 80, 112);
    MailCaption = MakeLabel(this, "MailCaption", "Email :", 16, 136);
    MailLabel = MakeLink(this, "MailLabel", QuillomarkMailAddress, 80, 136);
    SiteLabel->OnClick = [this](TObject* S) { SiteLabelClick(S); };
    MailLabel->OnClick = [this](TObject* S) { MailLabelClick(S); };

    OKButton = new TButton(this);
    OKButton->SetName("OKButton");
    OKButton->SetParent(this);
    OKButton->SetBounds(264, 184, 84, 25);
    OKButton->SetCaption("&Fermer");
    OKButton->SetModalResult(mrOk);
    OKButton->SetDefault(true);
    OKButton->SetCancel(true);
}

void TAboutBox::SiteLabelClick(TObject*) {
    OpenShellTarget(QuillomarkSiteUrl);
}

void TAboutBox::MailLabelClick(TObject*) {
    OpenShellTarget(std::string("mailto:") + QuillomarkMailAddress);
}
