#pragma once
// Hand-built animations for the optimiser and painter tests, and the
// reference rendering every optimised animation must still give.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GifComposer.h"
#include "gif/GifImage.h"

struct TFramePlan {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<Byte> Pixels;
    std::vector<TColor> Local; // empty: the frame uses the global map
    int Transparent = -1;      // -1: opaque
    int Disposal = -1;         // -1 with Transparent -1 and Delay 0: no control extension
    int Delay = 0;
};

inline TGIFSubImage* AddFrame(TGIFImage& Image, const TFramePlan& Plan) {
    auto frame = std::make_unique<TGIFSubImage>(&Image);
    TGIFSubImage* f = frame.get();
    Image.AppendFrame(std::move(frame));
    f->SetBounds(Plan.Left, Plan.Top, Plan.Width, Plan.Height);
    for (TColor c : Plan.Local)
        f->ColorMap().Add(c);
    std::copy(Plan.Pixels.begin(), Plan.Pixels.end(), f->Data());
    if (Plan.Transparent >= 0 || Plan.Disposal >= 0 || Plan.Delay > 0) {
        f->Extensions().AppendItem(TGIFGraphicControlExtension::CreateForFrame(f));
        TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        gce->SetDisposalMethod(Plan.Disposal < 0 ? 0 : Plan.Disposal);
        gce->SetDelay(Word(Plan.Delay));
        if (Plan.Transparent >= 0) {
            gce->SetTransparentColorIndex(Plan.Transparent);
            gce->SetTransparent(true);
        }
    }
    return f;
}

inline std::vector<Byte> FramePixels(const TGIFSubImage& Frame) {
    return {Frame.Data(), Frame.Data() + Frame.DataSize()};
}

inline int DisposalOfFrame(const TGIFSubImage& Frame) {
    int disposal = 1;
    for (int i = 0; i < Frame.Extensions().ItemCount(); ++i)
        if (auto* g =
                dynamic_cast<const TGIFGraphicControlExtension*>(Frame.Extensions().ExtensionAt(i)))
            disposal = g->Disposal();
    return disposal;
}

inline TGIFFrameView ViewOf(const TGIFSubImage& Frame) {
    TGIFFrameView v;
    v.Left = Frame.Left();
    v.Top = Frame.Top();
    v.Width = Frame.Width();
    v.Height = Frame.Height();
    v.Pixels = Frame.Empty() ? nullptr : Frame.Data();
    v.ColorTable = Frame.ActiveColorMap().Data();
    v.ColorCount = Frame.ActiveColorMap().Count();
    const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    v.TransparentIndex = Frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
    v.Disposal = DisposalOfFrame(Frame);
    return v;
}

// What one pass shows: each picture with how long it stays (the delays of
// the frames that showed it in a row).
struct TShot {
    std::vector<std::uint32_t> Pixels;
    int Delay = 0;
    friend bool operator==(const TShot&, const TShot&) = default;
};

inline std::vector<TShot> RenderTimeline(TGIFImage& Image, TColor Background) {
    std::vector<TShot> shots;
    TGIFComposer composer(Image.Width(), Image.Height(), Image.Width(), Image.Height(), Background,
                          true, false);
    for (int i = 0; i < Image.Images().ItemCount(); ++i) {
        TGIFSubImage* frame = Image.Images().FrameAt(i);
        const TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        const int delay = gce ? gce->Delay() : 0;
        const TGIFPixelBuffer& shown = composer.Compose(ViewOf(*frame));
        if (!shots.empty() && shots.back().Pixels == shown.Pixels())
            shots.back().Delay += delay;
        else
            shots.push_back({shown.Pixels(), delay});
    }
    // One picture is a still image: how long it stays does not matter.
    if (shots.size() == 1) shots[0].Delay = 0;
    return shots;
}
