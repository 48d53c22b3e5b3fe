#include "banner/AnimationBuilder.h"

#include <algorithm>
#include <set>

#include "banner/StringWorks.h"
#include "banner/Transitions.h"
#include "gif/ColorReduction.h"
#include "gif/GifExtensions.h"
#include "platform/base/Rounding.h"
#include "platform/graphics/Bitmap.h"

int AnimationPauseDelay(int SliderPosition) {
    const int Position =
        std::clamp(SliderPosition, TBannerDocument::SliderMin, TBannerDocument::SliderMax);
    return Round((TBannerDocument::SliderMax - Position) / 8.0 * 120.0);
}

void TAnimationBuilder::Progress(int Position) {
    if (OnProgress) OnProgress(Position);
}

bool TAnimationBuilder::AddFrame(TGIFImage& Gif, TFramePtr Frame) {
    if (!Frame || Frame->Empty()) return false;
    std::unique_ptr<TBitmap> Reduced = ReduceFrameColors(*Frame);
    Frame.reset();
    if (!Reduced || Reduced->Empty()) RaiseGIFError(sGIFInvalidReduction);
    Gif.AppendFrame(Reduced.get());
    return true;
}

// Returns the frames added. An effect the renderers do not know shows the
// value as it stands, so that every value keeps a frame to pause on.
int TAnimationBuilder::AddTextEffect(TGIFImage& Gif, int Effect, int V, int Length,
                                     bool ProgressAtLast) {
    std::vector<int> Steps = TextEffectSteps(Effect, Length);
    if (Steps.empty()) {
        Effect = teNone;
        Steps = TextEffectSteps(teNone, Length);
    }
    int Added = 0;
    for (std::size_t i = 0; i < Steps.size(); ++i) {
        if (AddFrame(Gif, FFrames.TextFrame(Effect, Steps[i], V))) ++Added;
        if (ProgressAtLast && i + 1 == Steps.size()) Progress(60);
    }
    return Added;
}

int TAnimationBuilder::AddImageEffect(TGIFImage& Gif) {
    if (FDocument.Composition != ckTwoTextsImage) return 0;
    const int Effect = FDocument.ImageEffectCombo;
    int X = 0, Y = 0;
    if (!FDocument.ilv.empty()) {
        X = FDocument.ilv[0].PosX();
        Y = FDocument.ilv[0].PosY();
    }
    const int D =
        ImageEffectFrameCount(Effect, X, Y, FDocument.Image1.Width(), FDocument.Image1.Height(),
                              FDocument.BannerWidth, FDocument.BannerHeight);
    int Added = 0;
    if (Effect == ieFadeIn) {
        for (int k = 0; k < D; ++k)
            if (AddFrame(Gif, FFrames.ImageFadeFrame(k, D))) ++Added;
    } else {
        for (int k = 1; k <= D; ++k)
            if (AddFrame(Gif, FFrames.ImageSlideFrame(k, D, Effect))) ++Added;
    }
    return Added;
}

std::unique_ptr<TGIFImage> TAnimationBuilder::Build() {
    if (OnStatus) OnStatus(sAnimationPreparing);
    Progress(0);
    FLayout = TAnimationLayout();
    auto Gif = std::make_unique<TGIFImage>();
    Gif->SetReductionMethod(rdmOctree);
    Progress(5);

    // The indices below come from the frames really added, so that the
    // pauses land on the frames they belong to.
    const int D = AddImageEffect(*Gif);

    int F = 0;
    const TTextElement* First = FDocument.FirstText();
    if (First && FDocument.FirstTextEffect != teNone) {
        const int Length = TextLength(TBannerDocument::GetValueLine(First->Caption, 0));
        std::vector<int> Steps = TextEffectSteps(FDocument.FirstTextEffect, Length);
        for (int k : Steps)
            if (AddFrame(*Gif, FFrames.TextFrame(FDocument.FirstTextEffect, k, 0))) ++F;
    }

    const TTextElement* Main = FDocument.MainText();
    const int Values = FDocument.ActiveValueCount();
    int Last[3] = {-1, -1, -1};
    int Position = D + F - 1;
    for (int V = 1; V <= Values; ++V) {
        if (V == 2) Progress(25);
        const std::string Line =
            Main ? TBannerDocument::GetValueLine(Main->Caption, V - 1) : std::string();
        Position += AddTextEffect(*Gif, FDocument.ValueEffects[V - 1], V, TextLength(Line), V == 2);
        Last[V - 1] = Position;
    }
    FLayout.D = D;
    FLayout.Q = F > 0 ? D + F - 1 : -1;
    FLayout.R = Last[0];
    FLayout.S = Last[1];
    FLayout.U = Values == 3 ? Last[2] : -1;
    FLayout.FrameCount = Gif->Images().ItemCount();
    Progress(60);

    TGIFImageList& Frames = Gif->Images();
    if (Frames.ItemCount() > 0) {
        TGIFSubImage* Frame0 = Frames.FrameAt(0);
        auto Loop = TGIFAppExtNSLoop::CreateForFrame(Frame0);
        Loop->RepeatCount = FDocument.forever ? 0 : Word(std::clamp(FDocument.loops, 1, 65535));
        Frame0->Extensions().AppendItem(std::move(Loop));
    }

    // Every frame gets exactly one control extension: two would leave the
    // delay to the player's choice.
    std::set<int> Hold;
    for (int Index : {FLayout.R, FLayout.S, FLayout.U, FLayout.Q})
        if (Index >= 0 && Index < Frames.ItemCount()) Hold.insert(Index);
    const int Pause = AnimationPauseDelay(FDocument.Slider);
    for (int i = 0; i < Frames.ItemCount(); ++i) {
        TGIFSubImage* Frame = Frames.FrameAt(i);
        auto Control = TGIFGraphicControlExtension::CreateForFrame(Frame);
        Control->SetDelay(Word(Hold.count(i) ? Pause : 0));
        Frame->Extensions().AppendItem(std::move(Control));
    }
    Progress(60);

    if (FLayout.R >= 0 && FLayout.S >= 0)
        ApplyTransition(*Gif, FDocument.effectcombo, FLayout.R, FLayout.S, Values == 3);
    Progress(60);

    for (int i = 0; i < Frames.ItemCount(); ++i)
        Frames.FrameAt(i)->SetInterlaced(true);
    if (OnStatus) OnStatus(sAnimationReady);
    return Gif;
}

void TAnimationPreview::BuildAnimation(const TBannerDocument& Document,
                                       TAnimationFrameSource& Frames) {
    FGif->Clear();
    FLayout = TAnimationLayout();
    TAnimationBuilder Builder(Document, Frames);
    Builder.OnProgress = OnProgress;
    Builder.OnStatus = OnStatus;
    FGif = Builder.Build();
    FLayout = Builder.Layout();
}

void TAnimationPreview::BuildAnimation(const TBannerDocument& Document) {
    TEffectFrameSource Frames(Document);
    BuildAnimation(Document, Frames);
}

void TAnimationPreview::OptimizeAnimation() {
    if (FGif->Empty()) return;
    FGif->OptimizeFrames(osTrimFrames | osCombineFrames | osRemoveRedundant | osPackColorMaps,
                         rdmKeep24Bit, 8, dkNearestColor);
}

std::string TAnimationPreview::ExportFileName(const TBannerDocument& Document) {
    // A banner never saved carries the name it was given ("sans_nom",
    // "Soldes.2027"), which has no document extension to take off.
    return Document.SavedBefore ? StripExtension(Document.FileName) : Document.FileName;
}

void TAnimationPreview::ExportAnimation(const std::string& FileName) const {
    FGif->SaveToFile(FileName);
}

int TAnimationPreview::StepFrame(int Current, int Delta) const {
    const int Count = FGif->Images().ItemCount();
    if (Count == 0) return 0;
    return std::clamp(Current + Delta, 0, Count - 1);
}
