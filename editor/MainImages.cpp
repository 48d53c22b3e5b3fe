// The "Images" page (composition 2 only): up to three image elements, their
// pictures, transparency, position, scale and entry effect.
#include "editor/UMain.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "banner/BannerLimits.h"
#include "banner/BannerTypes.h"
#include "editor/MainBuild.h"
#include "platform/base/Convert.h"
#include "platform/base/Exception.h"
#include "platform/base/Text.h"
#include "platform/graphics/PixelFormat.h"

using namespace mainform;

void TMainform::BuildImagesPage() {
    Images = Make<TListBox>(this, panimage, "Images");
    Images->SetBounds(8, 8, 100, 60);
    Images->OnClick = [this](TObject* S) { ImagesClick(S); };
    addimagebtn = MakeButton(this, panimage, "addimagebtn", "Ajouter", 8, 76, 100);
    addimagebtn->OnClick = [this](TObject*) { AddImage(); };
    supimagebtn = MakeButton(this, panimage, "supimagebtn", "Enlever", 8, 106, 100);
    supimagebtn->OnClick = [this](TObject*) { RemoveImage(); };

    LoadImageBtn =
        MakeButton(this, panimage, "LoadImageBtn", "Charger à partir d'un fichier", 120, 8, 190);
    LoadImageBtn->OnClick = [this](TObject*) { LoadImageFromFile(); };
    ClipArtBtn = MakeButton(this, panimage, "ClipArtBtn", "Charger une forme", 120, 38, 190);
    ClipArtBtn->OnClick = [this](TObject*) { LoadClipArt(); };
    MakeLabel(this, panimage, "Effet :", 120, 74, 40, 14);
    ImageEffectCombo = Make<TComboBox>(this, panimage, "ImageEffectCombo");
    ImageEffectCombo->SetStyle(csDropDownList);
    ImageEffectCombo->SetBounds(160, 70, 150, 22);
    for (int E = 0; E < ImageEffectCount; ++E)
        ImageEffectCombo->Items()->Add(ImageEffectName(E));
    ImageEffectCombo->OnChange = [this](TObject*) {
        if (Loading() || Doc.SelectedImage != 0 || Doc.ilv.empty()) return;
        const int Effect = std::max(0, ImageEffectCombo->ItemIndex());
        Doc.ilv[0].Effect = std::to_string(Effect);
        Doc.ImageEffectCombo = Effect;
        RedrawBanner(false);
    };

    Imgtrans = Make<TCheckBox>(this, panimage, "Imgtrans");
    Imgtrans->SetCaption("Transparent");
    Imgtrans->SetBounds(330, 8, 110, 17);
    Imgtrans->OnClick = [this](TObject*) { StoreImageProperties(); };
    transclimg = MakeColorButton(panimage, "transclimg", 330, 30, clWhite,
                                 [this](TObject*) { StoreImageProperties(); });
    TransDotsBtn = MakeButton(this, panimage, "TransDotsBtn", "...", 396, 30, 24);
    TransDotsBtn->OnClick = [this](TObject*) { ChooseColor(transclimg); };
    Button17 = MakeButton(this, panimage, "Button17", "x", 422, 30, 24);
    Button17->OnClick = [this](TObject*) { ArmColorPick(PickTransparent); };

    auto Spin = [this](const std::string& Name, const std::string& Caption, int Left, int Top) {
        MakeLabel(this, panimage, Caption, Left, Top + 4, 70, 14);
        TCtlSpinEdit* E = Make<TCtlSpinEdit>(this, panimage, Name);
        E->SetBounds(Left + 72, Top, 60, 22);
        return E;
    };
    imgx = Spin("imgx", "X :", 330, 62);
    imgy = Spin("imgy", "Y :", 330, 90);
    for (TCtlSpinEdit* E : {imgx, imgy}) {
        // Positions are kept to the range the document file reads back.
        E->SetMinValue(-MaxElementOffset);
        E->SetMaxValue(MaxElementOffset);
        E->OnChange = [this](TObject*) { StoreImageProperties(); };
        // Left, the box shows the position kept.
        E->OnExit = [this, E](TObject*) {
            if (Doc.SelectedImage < 0 || Doc.SelectedImage >= int(Doc.ilv.size())) return;
            const TImageElement& I = Doc.ilv[std::size_t(Doc.SelectedImage)];
            ++FLoading;
            E->SetValue(StrToIntDef(E == imgx ? I.X : I.Y, 0));
            --FLoading;
        };
    }
    scal = Spin("scal", "Échelle (%) :", 330, 118);
    scal->SetMinValue(10);
    scal->SetMaxValue(400);
    scal->SetIncrement(10);
    scal->SetValue(100);
    scal->OnChange = [this](TObject*) {
        // The picture is scaled from the one the slot held when it was
        // chosen, so that going back to 100 % gives it back unchanged.
        int Percent = 0;
        TBitmap32* Slot = Doc.ImagePicture(Doc.SelectedImage);
        if (Loading() || Slot == nullptr || FScaleSource.Empty() ||
            !TryStrToInt(Trim(scal->Text()), Percent))
            return;
        Percent = std::clamp(Percent, 10, 400);
        const std::int64_t W =
            std::max<std::int64_t>(1, std::int64_t(FScaleSource.Width()) * Percent / 100);
        const std::int64_t H =
            std::max<std::int64_t>(1, std::int64_t(FScaleSource.Height()) * Percent / 100);
        if (!PictureSizeAllowed(W, H)) {
            // Refused before the slot is touched: resizing it would have
            // emptied it, and the image would be lost. The box shows the
            // scale the picture keeps.
            ++FLoading;
            scal->SetValue(FScalePercent);
            --FLoading;
            CheckPictureSize(W, H);
        }
        Slot->SetDimensions(int(W), int(H));
        FScaleSource.DrawOntoRect(Slot, TRect{0, 0, int(W), int(H)});
        FScalePercent = Percent;
        RedrawBanner(false);
    };
}

void TMainform::LoadImageEditors() {
    ++FLoading;
    tsImages->SetTabVisible(Doc.Composition == ckTwoTextsImage);
    Images->Items()->Clear();
    const int Count = int(Doc.ilv.size());
    for (int I = 0; I < Count; ++I)
        Images->Items()->Add(TBannerDocument::ImageElementName(I));
    Doc.SelectedImage = std::clamp(Doc.SelectedImage, 0, std::max(0, Count - 1));
    Images->SetItemIndex(Count > 0 ? Doc.SelectedImage : -1);
    addimagebtn->SetEnabled(Count < TBannerDocument::MaxImages);
    // Only the last image can be removed, and never the first.
    supimagebtn->SetEnabled(Count > 1 && Doc.SelectedImage == Count - 1);
    if (Count > 0) {
        const TImageElement& E = Doc.ilv[std::size_t(Doc.SelectedImage)];
        Imgtrans->SetChecked(E.IsTransparent());
        try {
            transclimg->SetSelectionColor(TBannerDocument::ColorFromText(E.TransparentColor));
        } catch (const EConvertError&) {
        }
        imgx->SetValue(StrToIntDef(E.X, 0));
        imgy->SetValue(StrToIntDef(E.Y, 0));
        // The animation plays the entry effect of the first image only: the
        // other images offer no effect rather than one that never plays.
        const bool First = Doc.SelectedImage == 0;
        ImageEffectCombo->SetItemIndex(
            First ? std::clamp(StrToIntDef(E.Effect, 0), 0, ImageEffectCount - 1) : ieNone);
        ImageEffectCombo->SetEnabled(First);
    }
    if (const TBitmap32* P = Doc.ImagePicture(Doc.SelectedImage))
        FScaleSource.Assign(P);
    else
        FScaleSource.Delete();
    scal->SetValue(100);
    FScalePercent = 100;
    --FLoading;
}

void TMainform::ImagesClick(TObject*) {
    if (Loading() || Images->ItemIndex() < 0) return;
    SelectImage(Images->ItemIndex());
}

void TMainform::SelectImage(int N) {
    if (N < 0 || N >= int(Doc.ilv.size())) return;
    // Loading the editors again would take the scaled picture as the
    // scale's new source: the picture as it was loaded would be lost to
    // a click on the image.
    if (N == Doc.SelectedImage && Images->ItemIndex() == N) return;
    Doc.SelectedImage = N;
    LoadImageEditors();
}

void TMainform::StoreImageProperties() {
    if (Loading() || Doc.SelectedImage < 0 || Doc.SelectedImage >= int(Doc.ilv.size())) return;
    TImageElement& E = Doc.ilv[std::size_t(Doc.SelectedImage)];
    E.Transparent = Imgtrans->Checked() ? "1" : "0";
    E.TransparentColor = TBannerDocument::ColorText(transclimg->SelectionColor());
    // A position box holding no number keeps the stored position.
    int V = 0;
    for (auto [Box, Position] : {std::pair{imgx, &E.X}, std::pair{imgy, &E.Y}})
        if (TryStrToInt(Trim(Box->Text()), V))
            *Position = std::to_string(std::clamp(V, -MaxElementOffset, MaxElementOffset));
    RedrawBanner(false);
}

void TMainform::AddImage() {
    const int Count = int(Doc.ilv.size());
    if (Doc.Composition != ckTwoTextsImage || Count < 1 || Count >= TBannerDocument::MaxImages)
        return;
    TImageElement E;
    E.Transparent = "1";
    E.TransparentColor = "clWhite";
    E.X = Count == 1 ? "200" : "5";
    E.Y = Count == 1 ? "20" : "5";
    Doc.ilv.push_back(E);
    Doc.ImagePicture(Count)->Assign(&Doc.Image2);
    Doc.SelectedImage = Count;
    LoadImageEditors();
    RedrawBanner(false);
}

void TMainform::RemoveImage() {
    const int Count = int(Doc.ilv.size());
    const int Row = Doc.SelectedImage;
    if (Row <= 0 || Row != Count - 1) return;
    Doc.ilv.pop_back();
    Doc.SelectedImage = Row - 1;
    LoadImageEditors();
    RedrawBanner(false);
}

void TMainform::LoadImageFromFile() {
    TBitmap32* Slot = Doc.ImagePicture(Doc.SelectedImage);
    if (Slot == nullptr || Doc.SelectedImage >= int(Doc.ilv.size()) || !OnLoadImage) return;
    if (!OnLoadImage(Doc.SelectedImage, *Slot)) return;
    LoadImageEditors();
    RedrawBanner(false);
}

void TMainform::LoadClipArt() {
    TBitmap32* Slot = Doc.ImagePicture(Doc.SelectedImage);
    if (Slot == nullptr || Doc.SelectedImage >= int(Doc.ilv.size()) || !OnClipArt) return;
    if (!OnClipArt(*Slot)) return;
    LoadImageEditors();
    RedrawBanner(false);
}
