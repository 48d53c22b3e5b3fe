// The "Images" page: the banner's image and its effect.
#include "editor/UMain.h"

#include "editor/MainBuild.h"

using namespace mainform;

void TMainform::BuildImagesPage() {
    ImageEffectCombo = Make<TComboBox>(this, panimage, "ImageEffectCombo");
    ImageEffectCombo->Items()->Add("Aucun");
}
