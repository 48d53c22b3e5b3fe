// Guidance balloons: each points at one control on its first few occasions.
// The counters are the Tags of the timers and controls named below, which
// the form storage keeps between runs, so the guidance fades out over a
// user's first runs.
#include "editor/UMain.h"

#include "banner/DocumentCommands.h"
#include "editor/MainBuild.h"
#include "platform/forms/Application.h"

using namespace mainform;

namespace {

constexpr const char* SampleHintText = "Pour un bon début, créez une bannière à partir d'un "
                                       "exemple\ren cliquant sur cette commande.";
constexpr const char* TextsHintText = "Modifiez les textes de la bannière.";
constexpr const char* FormatHintText =
    "Choisissez le format de la nouvelle bannière dans cette case.\r"
    "Par exemple pour un grand format, choisissez \"Grande bannière\".\r"
    "Choisissez \"Personnalisé\" si vous voulez spécifier les dimensions.";
constexpr const char* ClosePreviewHintText =
    "Pour revenir à la conception, cliquez sur le bouton Fermer.";
constexpr const char* ItemsPanelHintText =
    "Pour réafficher le panneau des éléments, cliquez sur cette flèche.";
constexpr const char* ExportHintText =
    "Pour pouvoir utiliser votre bannière sur une page web, utilisez l'exportation Gif.";
// The export hint shows on the first saves ever, counted with Timer2's ticks.
constexpr int ExportHintMaxCount = 3;

} // namespace

void TMainform::BuildBalloons() {
    bh = Make<TUiBalloonHint>(this, nullptr, "bh");
    bh->SetCustomAnimationTime(300);
    bh->SetDefaultHeader("Info");
    bh->SetDefaultIcon(ikCustom);
    bh->SetDefaultImageIndex(0);
    bh->SetOptions(TUiBalloonOptions{boUseDefaultHeader, boUseDefaultIcon, boUseDefaultImageIndex,
                                     boShowCloseBtn, boCustomAnimation});

    SampleTimer->SetInterval(1000);
    SampleTimer->OnTimer = [this](TObject* S) { SampleTimerTimer(S); };
    Timer1->SetInterval(7000);
    Timer1->OnTimer = [this](TObject*) {
        Timer1->SetEnabled(false);
        if (CountOccasion(Timer1, 2) && Txt->Showing()) Guide(Txt, TextsHintText, 4000);
    };
    Timer2->SetInterval(36000);
    Timer2->OnTimer = [this](TObject*) {
        // Each tick uses up one of the export hints without showing it.
        Timer2->SetEnabled(false);
        CountOccasion(Timer2, ExportHintMaxCount);
    };
    tim->SetInterval(1500);
    tim->OnTimer = [this](TObject*) {
        tim->SetEnabled(false);
        if (CountOccasion(tim, 2) && FormatHintAnchor->Showing())
            Guide(FormatHintAnchor, FormatHintText, 11000);
    };
    // Every save counts, whichever command or prompt asked for it; the
    // counter is Timer2's Tag, so that it is stored with the other counters.
    Commands.OnSaved = [this] {
        if (CountOccasion(Timer2, ExportHintMaxCount)) Guide(ExportBtn, ExportHintText, 11000);
    };
}

bool TMainform::CountOccasion(TComponent* Counter, int Limit) {
    if (Counter->Tag() < INT_MAX) Counter->SetTag(Counter->Tag() + 1);
    return Counter->Tag() <= Limit;
}

void TMainform::Guide(TControl* Anchor, const std::string& Text, int VisibleTime) {
    // A hint whose timer runs out while a dialog is open (one of ours or a
    // system one) would point at a control under the dialog, which the user
    // cannot reach, and take the place of the dialog's own hint. A modal
    // form's own hints count it as theirs.
    const TCustomForm* Own = GetParentForm(Anchor);
    const int OwnLevel = Own != nullptr && Own->FormState().Contains(fsModal) ? 1 : 0;
    if (Application->ModalLevel() > OwnLevel) return;
    bh->ShowBalloon(Anchor, Text, VisibleTime, "");
}

void TMainform::HideBalloon() {
    bh->HideBalloon();
}

void TMainform::StartEditingHints() {
    HideBalloon();
    Timer1->SetEnabled(false);
    Timer1->SetEnabled(true);
    Timer2->SetEnabled(false);
    Timer2->SetEnabled(true);
}

void TMainform::ArmFormatHint() {
    HideBalloon();
    tim->SetEnabled(true);
}

void TMainform::SampleTimerTimer(TObject*) {
    SampleTimer->SetEnabled(false);
    if (CountOccasion(SampleTimer, 1) && StartPageVisible() && lnkexample->Showing() && CanFocus())
        Guide(lnkexample, SampleHintText, 9000);
}

void TMainform::ClosePreviewHint() {
    if (CountOccasion(closeprvbtn, 2)) Guide(closeprvbtn, ClosePreviewHintText, 5000);
}

void TMainform::ItemsPanelHint() {
    if (CountOccasion(Image3, 2)) Guide(Image3, ItemsPanelHintText, 5000);
}
