#include "editor/UResize.h"

#include <algorithm>
#include <cstdint>

#include "banner/BannerLimits.h"
#include "editor/MainBuild.h"
#include "editor/UNewBanner.h"
#include "platform/base/Text.h"

using namespace mainform;

Tresizeform::Tresizeform(TComponent* AOwner) : TForm(AOwner) {
    SetName("resizeform");
    SetCaption("Dimensions de bannière");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetClientWidth(257);
    SetClientHeight(161);

    WidthLabel = Place<TLabel>(this, "Label1", 16, 19, 50, 13);
    WidthLabel->SetCaption("Largeur :");
    bannerwidth = Place<TCtlSpinEdit>(this, "bannerwidth", 80, 16, 89, 21);
    HeightLabel = Place<TLabel>(this, "Label2", 16, 51, 50, 13);
    HeightLabel->SetCaption("Hauteur :");
    bannerheight = Place<TCtlSpinEdit>(this, "bannerheight", 80, 48, 89, 21);
    for (TCtlSpinEdit* Edit : {bannerwidth, bannerheight}) {
        Edit->SetMinValue(MinTypedSide);
        Edit->SetMaxValue(MaxTypedSide);
        Edit->SetValue(MinTypedSide);
    }
    UnitLabel = Place<TLabel>(this, "Label3", 180, 35, 40, 13);
    UnitLabel->SetCaption("(Pixels)");

    CheckBox1 = Place<TCheckBox>(this, "CheckBox1", 16, 80, 130, 17);
    CheckBox1->SetCaption("Préserver l'aspect");
    CheckBox1->SetChecked(true);
    prevcheck = Place<TCheckBox>(this, "prevcheck", 16, 100, 130, 17);
    prevcheck->SetCaption("Aperçu");
    prevcheck->SetChecked(true);

    Okbtn = MakeCloseButton(this, "Okbtn", mrOk, 88, 128, 75);
    Cancelbtn = MakeCloseButton(this, "Cancelbtn", mrCancel, 170, 128, 75);

    bannerwidth->OnChange = [this](TObject* Sender) { SizeChange(Sender); };
    bannerheight->OnChange = [this](TObject* Sender) { SizeChange(Sender); };
    prevcheck->OnClick = [this](TObject* Sender) { prevcheckClick(Sender); };
    // The dialog opens ready for a new width: its field has the focus, its
    // text selected.
    OnShow = [this](TObject*) {
        if (bannerwidth->CanFocus()) bannerwidth->SetFocus();
        bannerwidth->SelectAll();
    };
    OnCloseQuery = [this](TObject*, bool& CanClose) {
        if (ModalResult() == mrOk) CanClose = AcceptTypedBannerSize(bannerwidth, bannerheight);
    };
}

void Tresizeform::SetDocumentSize(std::int64_t Width, std::int64_t Height) {
    // A size the renderer cannot draw never reaches the document: the
    // banner keeps the size it had when the dialog opened.
    if (!IsDrawableBannerSize(Width, Height)) {
        Width = OrigWidth;
        Height = OrigHeight;
    }
    FDocument->BannerWidth = int(Width);
    FDocument->BannerHeight = int(Height);
}

void Tresizeform::Redraw(bool KeepSaveDisabled) {
    if (RedrawBanner)
        RedrawBanner(KeepSaveDisabled);
    else if (FDocument)
        FDocument->RedrawDone(KeepSaveDisabled);
}

void Tresizeform::Prepare(TBannerDocument& Document) {
    // Loading the fields fires their change events: nothing is previewed
    // while the dialog is hidden.
    FDocument = nullptr;
    OrigWidth = Document.BannerWidth;
    OrigHeight = Document.BannerHeight;
    FWasModified = Document.Modified;
    bannerwidth->SetValue(OrigWidth);
    bannerheight->SetValue(OrigHeight);
    FDocument = &Document;
}

void Tresizeform::Finish(TModalResult Result) {
    if (!FDocument) return;
    if (Result == mrOk)
        SetDocumentSize(TypedBannerSide(bannerwidth), TypedBannerSide(bannerheight));
    else
        SetDocumentSize(OrigWidth, OrigHeight);
    // The previews marked the banner modified; a dialog cancelled, or left
    // at the size the banner had, changed nothing and leaves the mark as it
    // was.
    const bool Unchanged =
        FDocument->BannerWidth == OrigWidth && FDocument->BannerHeight == OrigHeight;
    Redraw(Unchanged && !FWasModified);
    FDocument = nullptr;
}

TModalResult Tresizeform::Execute(TBannerDocument& Document) {
    Prepare(Document);
    TModalResult Result = mrCancel;
    try {
        Result = ShowModal();
    } catch (...) {
        // A failed preview must not leave the banner at a size nobody chose.
        Finish(mrCancel);
        throw;
    }
    Finish(Result);
    return Result;
}

void Tresizeform::SizeChange(TObject*) {
    if (!FDocument || !Visible()) return;
    if (prevcheck->Checked()) {
        if (!prevcheck->Enabled()) return;
        SetDocumentSize(TypedBannerSide(bannerwidth), TypedBannerSide(bannerheight));
    } else {
        SetDocumentSize(OrigWidth, OrigHeight);
    }
    Redraw();
}

void Tresizeform::prevcheckClick(TObject* Sender) {
    SizeChange(Sender);
}
