// The "Animation" page: timing and order of the banner's effects.
#include "editor/UMain.h"

#include "editor/MainBuild.h"

using namespace mainform;

void TMainform::BuildAnimationPage() {}
