#pragma once
// TPreview ("Aperçu"): the window that holds the animation of the last build.
// It is made once at start-up and is not shown by the editor: the main
// window's preview page and preview tab play its GIF, and the export command
// saves it. Shown, it is a small player: play, stop, and a still frame to
// step through.
#include <functional>
#include <string>

#include "banner/AnimationBuilder.h"
#include "editor/GifImageTarget.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "raster/RasterImage.h"

class TPreview : public TForm {
public:
    QM_CLASSNAME(TPreview)
    explicit TPreview(TComponent* AOwner);
    ~TPreview() override;

    // The engine: builds, optimises and exports the preview GIF.
    TAnimationPreview Animation;
    TGIFImage& GifImage() { return Animation.Gif(); }

    TImage32* Gif = nullptr;   // plays the animation
    TImage32* Image = nullptr; // a still frame
    TPanel* Panel1 = nullptr;
    TTrackBar* slider = nullptr;
    TLabel* FrameNo = nullptr;
    TButton *playbtn = nullptr, *stopbtn = nullptr;
    TButton *backbtn = nullptr, *nextbtn = nullptr, *rewindbtn = nullptr, *forwardbtn = nullptr;
    TProgressBar* prog = nullptr;

    // Status texts of a build ("Préparation...", then the help text) for the
    // main window's status bar.
    std::function<void(const std::string& Text)> OnStatus;
    // The build's progress (0..AnimationProgressMax) after prog took it.
    std::function<void(int Position)> OnProgress;

    // Stops every player of the GIF, then builds Document's animation.
    // Errors of the renderers and of the GIF reach the caller; the cursor
    // and the status text are put back.
    void BuildAnimation(const TBannerDocument& Document);
    void OptimizeAnimation();
    // Stops every player of the preview GIF (before it is rebuilt).
    void StopPlayers();

    // The player.
    void EnableButtons();
    // The frame the first painter shows (0 when none or when Gif is hidden).
    int actived();
    // After each painted frame: FrameNo and slider follow it.
    void After(TObject* Sender);
    void Play();
    void Stop();
    // Shows frame Index (kept within the frames) as the still frame.
    void ShowStill(int Index);

private:
    void FormShow(TObject* Sender);
    TGIFPlayer FPlayer;
};
