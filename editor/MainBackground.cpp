// The background and border side panels.
#include "editor/UMain.h"

#include "editor/MainBuild.h"

using namespace mainform;

void TMainform::BuildBackgroundPanel() {
    rbColor = Make<TRadioButton>(this, nullptr, "rbColor");
    rbTemplate = Make<TRadioButton>(this, nullptr, "rbTemplate");
    rbGradient = Make<TRadioButton>(this, nullptr, "rbGradient");
    rbImage = Make<TRadioButton>(this, nullptr, "rbImage");
}

void TMainform::BuildBorderPanel() {}

void TMainform::FocusBackgroundKind() {
    if (!DesignPageVisible()) return;
    for (TRadioButton* R : {rbColor, rbTemplate, rbGradient}) {
        if (R->Checked()) {
            if (R->Parent() != nullptr && R->Visible()) R->SetFocus();
            return;
        }
    }
}
