// Guidance balloons shown while the user learns the window.
#include "editor/UMain.h"

void TMainform::SampleTimerTimer(TObject*) {
    // TODO: the start hint balloon comes with the guidance balloons.
    SampleTimer->SetEnabled(false);
}
