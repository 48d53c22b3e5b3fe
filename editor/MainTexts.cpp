// The "Textes" page: the texts of the banner and their effects.
#include "editor/UMain.h"

#include "editor/MainBuild.h"

using namespace mainform;

void TMainform::BuildTextsPage() {
    TextEffectCombo = Make<TComboBox>(this, pantext, "TextEffectCombo");
    TextEffectCombo->Items()->Add("Aucun");
}
