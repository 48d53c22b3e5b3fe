#pragma once
// The animation builder turns a banner document into one animated GIF:
// [image effect] [first-text effect] [value 1] [transition] [value 2]
// [transition, with three] [value 3], looping back to frame 0. Each frame is
// reduced to 8 bits as it is added, so only one full-colour picture exists
// at a time. The pause sits on the last frame of every value (and of the
// first-text effect); every other frame shows for 0 hundredths.
//
// TAnimationPreview is the engine behind the preview form: the last built
// GIF, its optimisation and its export. The form (player buttons, slider,
// progress bar) and the save dialog belong to the editor, which owns one of
// these and reads the GIF and the progress and status reports.
#include <functional>
#include <memory>
#include <string>

#include "banner/BannerDocument.h"
#include "banner/Effects.h"
#include "gif/GifImage.h"

// Where the frames of one build come from. The builder owns every bitmap it
// is handed and frees it once added.
class TAnimationFrameSource {
public:
    virtual ~TAnimationFrameSource() = default;
    // Frame k of text effect Effect for value V (1..3), or for the first
    // text when V is 0.
    virtual TFramePtr TextFrame(int Effect, int k, int V) = 0;
    virtual TFramePtr ImageSlideFrame(int k, int N, int Kind) = 0;
    virtual TFramePtr ImageFadeFrame(int k, int N) = 0;
};

// The frame renderers of the effects on a document.
class TEffectFrameSource : public TAnimationFrameSource {
public:
    explicit TEffectFrameSource(const TBannerDocument& Document) : FRenderer(Document) {}
    TFramePtr TextFrame(int Effect, int k, int V) override {
        return FRenderer.RenderTextEffectFrame(Effect, k, V);
    }
    TFramePtr ImageSlideFrame(int k, int N, int Kind) override {
        return FRenderer.RenderImageSlideFrame(k, N, Kind);
    }
    TFramePtr ImageFadeFrame(int k, int N) override { return FRenderer.RenderImageFadeFrame(k, N); }

private:
    TEffectRenderer FRenderer;
};

inline constexpr const char* sAnimationPreparing = "Préparation...";
inline constexpr const char* sAnimationReady = "Pour obtenir de l'aide, Appuyez sur F1";
// The progress bar's range.
constexpr int AnimationProgressMax = 60;

// The frame bookkeeping of one build, after the shift by D: D image-effect
// frames, Q the last first-text frame (-1 without a first-text effect), R,
// S, U the last frames of values 1, 2, 3 (U -1 with two values).
struct TAnimationLayout {
    int D = 0;
    int Q = -1;
    int R = -1;
    int S = -1;
    int U = -1;
    // Frames before the transitions were inserted.
    int FrameCount = 0;
};

// The pause on a hold frame in hundredths of a second for a speed slider
// position (kept within the slider's range): 15 x (Max - Position).
int AnimationPauseDelay(int SliderPosition);

class TAnimationBuilder {
public:
    // Neither is owned; both must outlive the builder.
    TAnimationBuilder(const TBannerDocument& Document, TAnimationFrameSource& Frames)
        : FDocument(Document), FFrames(Frames) {}

    // Builds a new GIF. Errors of the renderers and of the GIF propagate.
    std::unique_ptr<TGIFImage> Build();
    // The bookkeeping of the last Build.
    const TAnimationLayout& Layout() const { return FLayout; }

    // Progress 0..AnimationProgressMax and status bar texts.
    std::function<void(int Position)> OnProgress;
    std::function<void(const std::string& Text)> OnStatus;

private:
    // Reduces one rendered frame and appends it; False when the renderer
    // gave nothing.
    bool AddFrame(TGIFImage& Gif, TFramePtr Frame);
    int AddTextEffect(TGIFImage& Gif, int Effect, int V, int Length, bool ProgressAtLast);
    int AddImageEffect(TGIFImage& Gif);
    void Progress(int Position);

    const TBannerDocument& FDocument;
    TAnimationFrameSource& FFrames;
    TAnimationLayout FLayout;
};

class TAnimationPreview {
public:
    // The preview GIF: empty until the first build.
    TGIFImage& Gif() { return *FGif; }
    const TGIFImage& Gif() const { return *FGif; }

    // Clears the preview GIF, then builds the document's animation into it.
    // The second form takes the frames from the document's effect renderers.
    void BuildAnimation(const TBannerDocument& Document, TAnimationFrameSource& Frames);
    void BuildAnimation(const TBannerDocument& Document);
    // Crop, merge, clean-up and colour-map packing; no reduction, 8 bits,
    // nearest-colour dithering.
    void OptimizeAnimation();
    const TAnimationLayout& Layout() const { return FLayout; }

    // The export dialog's proposed name: the document's file name without
    // its extension, or the name a banner never saved was given.
    static std::string ExportFileName(const TBannerDocument& Document);
    // Saves the preview GIF to FileName, replacing it atomically. A cancelled
    // dialog does not call this.
    void ExportAnimation(const std::string& FileName) const;

    // The frame the player's Back (Delta -1) or Next (+1) shows from frame
    // Current, kept within the GIF's frames (0 when it has none).
    int StepFrame(int Current, int Delta) const;

    std::function<void(int Position)> OnProgress;
    std::function<void(const std::string& Text)> OnStatus;

private:
    std::unique_ptr<TGIFImage> FGif = std::make_unique<TGIFImage>();
    TAnimationLayout FLayout;
};
