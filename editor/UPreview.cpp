#include "editor/UPreview.h"

#include <algorithm>

#include "editor/MainBuild.h"
#include "gif/GifImage.h"
#include "gif/GifItems.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"

using namespace mainform;

TPreview::TPreview(TComponent* AOwner) : TForm(AOwner) {
    SetName("Preview");
    SetCaption("Aperçu");
    SetClientWidth(760);
    SetClientHeight(330);

    Gif = Make<TImage32>(this, this, "Gif");
    Gif->SetBounds(8, 8, 744, 250);
    Image = Make<TImage32>(this, this, "Image");
    Image->SetBounds(8, 8, 744, 250);
    Image->SetVisible(false);

    Panel1 = MakePanel(this, this, "Panel1", alBottom, 64);
    slider = Make<TTrackBar>(this, Panel1, "slider");
    slider->SetBounds(8, 4, 500, 26);
    slider->SetMax(0);
    slider->OnChange = [this](TObject*) {
        if (Image->Visible()) ShowStill(slider->Position());
    };
    FrameNo = new TLabel(this);
    FrameNo->SetName("FrameNo");
    FrameNo->SetParent(Panel1);
    FrameNo->SetCaption("0");
    FrameNo->SetBounds(516, 8, 40, 14);
    playbtn = MakeButton(this, Panel1, "playbtn", "Jouer", 8, 34, 75);
    playbtn->OnClick = [this](TObject*) { Play(); };
    stopbtn = MakeButton(this, Panel1, "stopbtn", "Arrêter", 88, 34, 75);
    stopbtn->OnClick = [this](TObject*) { Stop(); };
    rewindbtn = MakeButton(this, Panel1, "rewindbtn", "|<", 180, 34, 32);
    rewindbtn->OnClick = [this](TObject*) { ShowStill(0); };
    backbtn = MakeButton(this, Panel1, "backbtn", "<", 214, 34, 32);
    backbtn->OnClick = [this](TObject*) { ShowStill(Animation.StepFrame(actived(), -1)); };
    nextbtn = MakeButton(this, Panel1, "nextbtn", ">", 248, 34, 32);
    nextbtn->OnClick = [this](TObject*) { ShowStill(Animation.StepFrame(actived(), 1)); };
    forwardbtn = MakeButton(this, Panel1, "forwardbtn", ">|", 282, 34, 32);
    forwardbtn->OnClick = [this](TObject*) { ShowStill(GifImage().Images().ItemCount() - 1); };
    prog = Make<TProgressBar>(this, Panel1, "prog");
    prog->SetBounds(580, 8, 170, 14);
    prog->SetMax(AnimationProgressMax);

    Animation.OnProgress = [this](int Position) {
        prog->SetPosition(Position);
        if (OnProgress) OnProgress(Position);
    };
    Animation.OnStatus = [this](const std::string& Text) {
        if (OnStatus) OnStatus(Text);
    };
    OnShow = [this](TObject* S) { FormShow(S); };
}

TPreview::~TPreview() {
    StopPlayers();
}

void TPreview::StopPlayers() {
    FPlayer.Stop();
    GifImage().StopPainters();
}

void TPreview::BuildAnimation(const TBannerDocument& Document) {
    StopPlayers();
    const TCursor Old = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    try {
        Animation.BuildAnimation(Document);
    } catch (...) {
        Screen->SetCursor(Old);
        if (OnStatus) OnStatus(sAnimationReady);
        throw;
    }
    Screen->SetCursor(Old);
}

void TPreview::OptimizeAnimation() {
    Animation.OptimizeAnimation();
}

void TPreview::FormShow(TObject*) {
    EnableButtons();
    GifImage().OnAfterPaint = [this](TObject* S) { After(S); };
    slider->SetMax(std::max(0, GifImage().Images().ItemCount() - 1));
    Play();
}

void TPreview::EnableButtons() {
    playbtn->SetEnabled(Image->Visible());
    stopbtn->SetEnabled(!Image->Visible());
}

int TPreview::actived() {
    if (!Gif->Visible()) return std::clamp(slider->Position(), 0, slider->Max());
    int Frame = 0;
    TList* List = GifImage().PainterList().LockList();
    if (List->Count() > 0)
        Frame = std::max(0, static_cast<TGIFPainter*>(List->Items(0))->ShownFrame());
    GifImage().PainterList().UnlockList();
    return Frame;
}

void TPreview::After(TObject*) {
    const int Frame = actived();
    FrameNo->SetCaption(std::to_string(Frame + 1));
    slider->SetPosition(Frame);
}

void TPreview::Play() {
    Image->SetVisible(false);
    Gif->SetVisible(true);
    GifImage().OnAfterPaint = [this](TObject* S) { After(S); };
    FPlayer.Play(GifImage(), Gif);
    EnableButtons();
}

void TPreview::Stop() {
    FPlayer.Stop();
    Gif->SetVisible(false);
    Image->SetVisible(true);
    ShowStill(0);
    EnableButtons();
}

void TPreview::ShowStill(int Index) {
    TGIFImage& G = GifImage();
    const int Count = G.Images().ItemCount();
    TBitmap32* B = Image->Bitmap();
    if (Count == 0) {
        B->Delete();
        Image->Changed();
        return;
    }
    Index = std::clamp(Index, 0, Count - 1);
    B->SetDimensions(G.Width(), G.Height());
    B->ClearToColor(0xFFFFFFFFu);
    G.Images()[Index]->Draw(B->Canvas(), G.Images()[Index]->BoundsRect(), true, false);
    Image->Changed();
    FrameNo->SetCaption(std::to_string(Index + 1));
    slider->SetPosition(Index);
}
