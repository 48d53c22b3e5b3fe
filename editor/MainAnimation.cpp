// The "Animation" page: repetition, transition between values and speed.
#include "editor/UMain.h"

#include <algorithm>

#include "banner/BannerTypes.h"
#include "editor/MainBuild.h"
#include "platform/base/Convert.h"
#include "platform/base/Text.h"

using namespace mainform;

void TMainform::BuildAnimationPage() {
    forever = Make<TRadioButton>(this, Pananim, "forever");
    forever->SetCaption("Répéter l'animation indéfiniment");
    forever->SetBounds(8, 8, 260, 17);
    noforever = Make<TRadioButton>(this, Pananim, "noforever");
    noforever->SetCaption("Arrêter après ce nombre d'itérations :");
    noforever->SetBounds(8, 34, 260, 17);
    for (TRadioButton* R : {forever, noforever}) {
        R->OnClick = [this, R](TObject*) {
            if (Loading() || !R->Checked()) return;
            Doc.forever = R == forever;
            RedrawBanner(false);
        };
    }
    loops = Make<TCtlSpinEdit>(this, Pananim, "loops");
    loops->SetBounds(272, 32, 60, 22);
    loops->SetMinValue(1);
    loops->SetMaxValue(65535); // the GIF loop count is 16 bits
    loops->SetValue(1);
    loops->OnChange = [this](TObject*) {
        int Count = 0;
        if (Loading() || !TryStrToInt(Trim(loops->Text()), Count)) return;
        Doc.loops = std::clamp(Count, 1, 65535);
        Doc.forever = false;
        ++FLoading;
        noforever->SetChecked(true);
        --FLoading;
        RedrawBanner(false);
    };
    // Left, the box shows the count the banner keeps, not a text that was
    // no count or lay out of bounds.
    loops->OnExit = [this](TObject*) {
        ++FLoading;
        loops->SetValue(Doc.loops);
        --FLoading;
    };

    MakeLabel(this, Pananim, "Transition :", 8, 70, 80, 14);
    effectcombo = Make<TComboBox>(this, Pananim, "effectcombo");
    effectcombo->SetStyle(csDropDownList);
    effectcombo->SetBounds(90, 66, 180, 22);
    for (int K = 0; K < TransitionKindCount; ++K)
        effectcombo->Items()->Add(TransitionKindName(K));
    effectcombo->OnChange = [this](TObject*) {
        if (Loading()) return;
        Doc.effectcombo = std::max(0, effectcombo->ItemIndex());
        RedrawBanner(false);
    };

    MakeLabel(this, Pananim, "Vitesse", 8, 106, 80, 14);
    Slider = Make<TTrackBar>(this, Pananim, "Slider");
    Slider->SetBounds(90, 100, 180, 30);
    Slider->SetParams(Doc.Slider, TBannerDocument::SliderMin, TBannerDocument::SliderMax);
    Slider->OnChange = [this](TObject*) {
        if (Loading()) return;
        Doc.Slider = Slider->Position();
        RedrawBanner(false);
    };
}

void TMainform::LoadAnimationEditors() {
    ++FLoading;
    (Doc.forever ? forever : noforever)->SetChecked(true);
    loops->SetValue(Doc.loops);
    effectcombo->SetItemIndex(std::clamp(Doc.effectcombo, 0, TransitionKindCount - 1));
    Slider->SetPosition(Doc.Slider);
    --FLoading;
}
