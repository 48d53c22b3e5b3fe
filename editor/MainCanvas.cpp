// The canvas: placement of the drawn banner in its scroll box.
#include "editor/UMain.h"

#include <algorithm>

void TMainform::CenterCanvas() {
    // TODO: the canvas placement rules come with the canvas mouse work; until
    // then the canvas sits at the scroll box's centre.
    if (box == nullptr || img32 == nullptr) return;
    img32->SetBounds(std::max(0, (box->Width() - Doc.BannerWidth) / 2),
                     std::max(0, (box->Height() - Doc.BannerHeight) / 2), Doc.BannerWidth,
                     Doc.BannerHeight);
}
