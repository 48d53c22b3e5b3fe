// The canvas: hover frames over the banner's elements, dragging of images,
// the size handles around the banner and the colour picks of the "x"
// buttons. Positions are canvas pixels; the hit rectangles come from the
// last redraw.
#include "editor/UMain.h"

#include <algorithm>

#include "banner/BannerLimits.h"
#include "editor/MainBuild.h"
#include "platform/base/Convert.h"
#include "platform/base/Rounding.h"
#include "raster/Color32.h"

using namespace mainform;

namespace {

TShape* MakeFrame(TComponent* Owner, TWinControl* Parent, const std::string& Name) {
    TShape* S = Make<TShape>(Owner, Parent, Name);
    S->Pen()->SetColor(clRed);
    S->Pen()->SetStyle(psDot);
    S->Brush()->SetStyle(bsClear);
    S->SetVisible(false);
    return S;
}

// Places Picture, W x H pixels, in Box: along each bar, centred (Centre of
// the room left) while it fits; else where the user scrolled it, since the
// box's children lie at minus the scroll position, with Margin pixels of
// the box on either side of it. The box scrolls exactly that far.
void PlaceInScrollBox(TScrollBox* Box, TControl* Picture, int W, int H, int Margin,
                      int (*Centre)(int Room)) {
    TControlScrollBar* Bars[2] = {Box->HorzScrollBar(), Box->VertScrollBar()};
    const int Size[2] = {W, H};
    auto Client = [Box](int K) { return K == 0 ? Box->ClientWidth() : Box->ClientHeight(); };
    // A bar that comes or goes changes the room along the other: twice.
    // Set only when it changes: setting repaints the whole box, and this runs
    // on every redraw of the canvas.
    for (int Pass = 0; Pass < 2; ++Pass)
        for (int K = 0; K < 2; ++K)
            if (const int Range = Size[K] > Client(K) ? Size[K] + 2 * Margin : 0;
                Range != Bars[K]->Range())
                Bars[K]->SetRange(Range);
    int At[2];
    for (int K = 0; K < 2; ++K)
        At[K] = Size[K] > Client(K) ? Margin - Bars[K]->Position() : Centre(Client(K) - Size[K]);
    Picture->SetBounds(At[0], At[1], W, H);
}

// Room round a canvas larger than its box for the size frame and the
// handles outside its edges: without it they lay beyond the scrolled area,
// out of reach.
constexpr int HandleMargin = 8;

// The strict test: a point on the rectangle's edge is outside.
bool Inside(const THitRect& R, int X, int Y) {
    return R.Left < X && X < R.Left + R.Width && R.Top < Y && Y < R.Top + R.Height;
}

void ShowFrameOn(TShape* Frame, const THitRect& R) {
    Frame->SetBounds(R.Left, R.Top, R.Width, R.Height);
    Frame->SetVisible(true);
}

// The outline around the canvas and the four handles in the middle of its
// sides.
void PlaceSizeHandles(const TControl* Canvas, TShape* Outline, TShape* Left, TShape* Right,
                      TShape* Top, TShape* Bottom) {
    Outline->SetBounds(Canvas->Left() - 2, Canvas->Top() - 2, Canvas->Width() + 4,
                       Canvas->Height() + 4);
    const int MidY = Outline->Top() + Outline->Height() / 2 - 4;
    const int MidX = Outline->Left() + Outline->Width() / 2 - 4;
    Left->SetBounds(Outline->Left() - 4, MidY, 8, 8);
    Right->SetBounds(Outline->Left() + Outline->Width() - 4, MidY, 8, 8);
    Top->SetBounds(MidX, Outline->Top() - 4, 8, 8);
    Bottom->SetBounds(MidX, Outline->Top() + Outline->Height() - 4, 8, 8);
}

} // namespace

void TMainform::BuildCanvas() {
    img32->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y, TCustomLayer*) {
        img32MouseMove(S, Sh, X, Y);
    };
    img32->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y,
                              TCustomLayer*) { img32MouseUp(S, B, Sh, X, Y); };
    // A pointer that leaves the canvas in one step (onto a side panel, a
    // menu, another window) sends no move over box: the frames it left
    // shown would outline elements nobody points at.
    // The same holds for the size frame and its handles when the pointer
    // leaves box.
    img32->OnMouseLeave = [this](TObject*) {
        if (FDragImage < 0) HideElementFrames();
    };
    box->OnMouseLeave = [this](TObject*) {
        if (FSizing) return;
        for (TShape* S : {shap, Shape1, Shape2, Shape3, Shape4})
            S->SetVisible(false);
    };
    box->OnMouseMove = [this](TObject* S, TShiftState Sh, int X, int Y) {
        boxMouseMove(S, Sh, X, Y);
    };
    box->OnResize = [this](TObject*) { CenterCanvas(); };

    // The frames lie on the canvas so that they show over the banner.
    cadre = MakeFrame(this, img32, "cadre");
    cadre2 = MakeFrame(this, img32, "cadre2");
    for (TShape* F : {cadre, cadre2}) {
        F->SetCursor(crHandPoint);
        F->OnMouseUp = [this, F](TObject*, TMouseButton, TShiftState, int, int) {
            TextFrameMouseUp(F);
        };
    }
    TShape* ImageFrames[] = {cadre3 = MakeFrame(this, img32, "cadre3"),
                             cadre4 = MakeFrame(this, img32, "cadre4"),
                             cadre5 = MakeFrame(this, img32, "cadre5")};
    for (int N = 0; N < 3; ++N) {
        TShape* F = ImageFrames[N];
        F->SetCursor(crSizeAll);
        F->OnMouseDown = [this, N](TObject*, TMouseButton B, TShiftState, int X, int Y) {
            if (B == mbLeft) ImageFrameMouseDown(N, X, Y);
        };
        F->OnMouseMove = [this, N](TObject*, TShiftState, int X, int Y) {
            ImageFrameMouseMove(N, X, Y);
        };
        F->OnMouseUp = [this, N](TObject*, TMouseButton, TShiftState, int, int) {
            ImageFrameMouseUp(N);
        };
    }

    shap = Make<TShape>(this, box, "shap");
    shap->Pen()->SetWidth(2);
    shap->Brush()->SetStyle(bsClear);
    shap->SetVisible(false);
    const std::pair<TShape**, const char*> Handles[] = {
        {&Shape1, "Shape1"}, {&Shape2, "Shape2"}, {&Shape3, "Shape3"}, {&Shape4, "Shape4"}};
    for (const auto& [Slot, Name] : Handles) {
        TShape* H = Make<TShape>(this, box, Name);
        H->SetBounds(0, 0, 8, 8);
        H->Brush()->SetColor(clBlack);
        H->SetVisible(false);
        H->OnMouseDown = [this, H](TObject*, TMouseButton B, TShiftState, int X, int Y) {
            if (B == mbLeft) HandleMouseDown(H, X, Y);
        };
        H->OnMouseMove = [this, H](TObject*, TShiftState, int X, int Y) {
            HandleMouseMove(H, X, Y);
        };
        H->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { HandleMouseUp(); };
        *Slot = H;
    }
    Shape1->SetCursor(crSizeWE);
    Shape2->SetCursor(crSizeWE);
    Shape3->SetCursor(crSizeNS);
    Shape4->SetCursor(crSizeNS);
}

void TMainform::CenterCanvas() {
    if (box == nullptr || img32 == nullptr) return;
    // A canvas that does not fit stays where the user scrolled it: put
    // back at 0 on every redraw, it would jump under the pointer and drag
    // an image by the scrolled distance.
    PlaceInScrollBox(box, img32, std::max(0, Doc.BannerWidth), std::max(0, Doc.BannerHeight),
                     HandleMargin, [](int Room) { return Room / 2; });
}

void TMainform::CenterPreview() {
    if (Previewpanel == nullptr || prvpan == nullptr || prv == nullptr) return;
    prvpan->SetBounds(10, 50, std::max(0, Previewpanel->ClientWidth() - 20),
                      std::max(0, Previewpanel->ClientHeight() - 60));
    PlaceInScrollBox(prvpan, prv, prv->Width(), prv->Height(), 0,
                     [](int Room) { return Round(Room / 2.0); });
}

void TMainform::img32MouseMove(TObject*, TShiftState, int X, int Y) {
    if (Help != nullptr) Help->SetCaption(img32->Hint());
    if (img32->Cursor() == crCross) return;
    img32->SetCursor(crDefault);
    auto Test = [this, X, Y](TShape* Frame, const THitRect& R, bool Allowed) {
        Frame->SetVisible(false);
        if (!Allowed || !Inside(R, X, Y)) return;
        img32->SetCursor(crHandPoint);
        ShowFrameOn(Frame, R);
    };
    Test(cadre, Doc.HitRectText1, true);
    const bool TwoTexts = Doc.Composition == ckTwoTextsImage || Doc.Composition == ckTwoTexts;
    const THitRect* Value = Doc.HitRectValue(std::clamp(Doc.SelectedValue, 0, 2) + 1);
    Test(cadre2, Value ? *Value : THitRect{}, TwoTexts && Value != nullptr);
    const bool HasImages = Doc.Composition == ckTwoTextsImage;
    const int Count = HasImages ? Images->Count() : 0;
    Test(cadre3, Doc.HitRectImage1, HasImages);
    Test(cadre4, Doc.HitRectImage2, HasImages && Count > 1);
    Test(cadre5, Doc.HitRectImage3, HasImages && Count > 2);

    const bool Edge = !(X >= 3 && X <= img32->Width() - 4 && Y >= 3 && Y <= img32->Height() - 4);
    for (TShape* S : {shap, Shape1, Shape2, Shape3, Shape4})
        S->SetVisible(Edge);
    if (!Edge) return;
    PlaceSizeHandles(img32, shap, Shape1, Shape2, Shape3, Shape4);
}

void TMainform::RefreshElementFrames() {
    // A frame left shown by the last hover follows its element as the
    // element is edited (a text typed longer, resized, moved), instead of
    // outlining where the element was.
    auto Follow = [](TShape* Frame, const THitRect* R) {
        if (!Frame->Visible()) return;
        if (R != nullptr && R->Width > 0 && R->Height > 0)
            ShowFrameOn(Frame, *R);
        else
            Frame->SetVisible(false);
    };
    Follow(cadre, &Doc.HitRectText1);
    Follow(cadre2, Doc.HitRectValue(std::clamp(Doc.SelectedValue, 0, 2) + 1));
    // An image's frame follows the image as it is moved, scaled or loaded,
    // and goes with an image that was removed.
    TShape* ImageFrames[] = {cadre3, cadre4, cadre5};
    const bool HasImages = Doc.Composition == ckTwoTextsImage;
    for (int I = 0; I < TBannerDocument::MaxImages; ++I)
        Follow(ImageFrames[I],
               HasImages && I < int(Doc.ilv.size()) ? Doc.HitRectImage(I) : nullptr);
}

void TMainform::HideElementFrames() {
    for (TShape* F : {cadre, cadre2, cadre3, cadre4, cadre5})
        F->SetVisible(false);
}

void TMainform::boxMouseMove(TObject*, TShiftState, int X, int Y) {
    cadre->SetVisible(false);
    cadre2->SetVisible(false);
    const int L = img32->Left(), T = img32->Top();
    if (X < L - 8 || X > L + img32->Width() + 8 || Y < T - 8 || Y > T + img32->Height() + 8) {
        for (TShape* S : {shap, Shape1, Shape2, Shape3, Shape4})
            S->SetVisible(false);
    }
}

void TMainform::TextFrameMouseUp(TShape* Frame) {
    // The click asks to edit the text: a hidden items panel comes back, or
    // the click would leave nothing to type in.
    if (!panelitems->Visible()) ShowItemsPanel(true);
    Pages->SetActivePage(tsTexts);
    const int Want = Frame == cadre ? 0 : 1;
    if (Doc.Composition != ckOneText && Texts->ItemIndex() != Want && Want < Texts->Count()) {
        Texts->SetItemIndex(Want);
        TextsClick(Texts);
    }
    if (Txt->CanFocus()) Txt->SetFocus();
    Txt->SetSelStart(Txt->TextLength());
    Txt->SetSelLength(0);
}

void TMainform::ImageFrameMouseDown(int N, int X, int Y) {
    if (N >= int(Doc.ilv.size())) return;
    SelectImage(N);
    FDragImage = N;
    FDragStart = TPoint{X, Y};
    const TImageElement& E = Doc.ilv[std::size_t(N)];
    FDragImageStart = TPoint{StrToIntDef(E.X, 0), StrToIntDef(E.Y, 0)};
}

void TMainform::ImageFrameMouseMove(int N, int X, int Y) {
    if (FDragImage != N) return;
    // The frame is hidden before the image moves: X and Y are measured from
    // the frame, and a frame still shown would follow the image on the
    // redraw, so the next move would be measured from elsewhere and the
    // image would lag behind the pointer.
    TShape* Frames[] = {cadre3, cadre4, cadre5};
    Frames[N]->SetVisible(false);
    // The spin edits store the position and redraw.
    imgx->SetValue(X + FDragImageStart.X - FDragStart.X);
    imgy->SetValue(Y + FDragImageStart.Y - FDragStart.Y);
}

void TMainform::ImageFrameMouseUp(int N) {
    Pages->SetActivePage(tsImages);
    FDragImage = -1;
    SelectImage(N);
}

void TMainform::HandleMouseDown(TShape*, int X, int Y) {
    FSizing = true;
    FSizeStart = TPoint{X, Y};
    FSizeW0 = img32->Width();
    FSizeH0 = img32->Height();
}

void TMainform::HandleMouseMove(TShape* Handle, int X, int Y) {
    if (!FSizing || Doc.Composition == ckNone) return;
    int W = Doc.BannerWidth, H = Doc.BannerHeight;
    if (Handle == Shape2) W = X + FSizeW0 - FSizeStart.X;
    if (Handle == Shape1) W = FSizeW0 + FSizeStart.X - X;
    if (Handle == Shape4) H = Y + FSizeH0 - FSizeStart.Y;
    if (Handle == Shape3) H = FSizeH0 + FSizeStart.Y - Y;
    // The banner keeps a size the editor can draw and export; hovering a
    // handle without moving the size is no edit.
    W = std::clamp(W, 1, MaxBannerSide);
    H = std::clamp(H, 1, MaxBannerSide);
    if (!IsDrawableBannerSize(W, H) || (W == Doc.BannerWidth && H == Doc.BannerHeight)) return;
    Doc.BannerWidth = W;
    Doc.BannerHeight = H;
    RedrawBanner(false);
    UpdateStatusBar();
}

void TMainform::HandleMouseUp() {
    // The handle stays put while it is dragged (the sizes are measured from
    // it); released, the outline and the handles move to the new edges
    // instead of staying behind, half covered by the canvas.
    if (FSizing) PlaceSizeHandles(img32, shap, Shape1, Shape2, Shape3, Shape4);
    FSizing = false;
}

void TMainform::ArmColorPick(TPickMode Mode) {
    FPickMode = Mode;
    // A frame left from an earlier hover would take the pick's click (and
    // start a drag) instead of the canvas.
    HideElementFrames();
    img32->SetCursor(crCross);
}

void TMainform::img32MouseUp(TObject*, TMouseButton, TShiftState, int X, int Y) {
    if (FPickMode == PickNone) return;
    const int Bx = X - (img32->Width() - Doc.BannerWidth) / 2;
    const int By = Y - (img32->Height() - Doc.BannerHeight) / 2;
    const TBitmap32& B = *img32->Bitmap();
    // Outside the banner the pick stays armed.
    if (Bx < 0 || By < 0 || Bx >= Doc.BannerWidth || By >= Doc.BannerHeight || Bx >= B.Width() ||
        By >= B.Height())
        return;
    const TColor Color = ToWinColor(B.ReadPixel(Bx, By));
    TColorPickerButton* Target = FPickMode == PickBackground    ? Cl
                                 : FPickMode == PickTransparent ? transclimg
                                 : FPickMode == PickText        ? ct
                                                                : clbord;
    FPickMode = PickNone;
    img32->SetCursor(crDefault);
    Target->SetSelectionColor(Color);
}
