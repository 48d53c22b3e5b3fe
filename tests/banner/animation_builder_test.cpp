#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "banner/AnimationBuilder.h"

namespace {

using TCall = std::tuple<char, int, int, int>;

// Flat frames whose colour is the number of the call that made them.
class TRecordingFrames : public TAnimationFrameSource {
public:
    TFramePtr TextFrame(int Effect, int k, int V) override { return Make({'t', Effect, k, V}); }
    TFramePtr ImageSlideFrame(int k, int N, int Kind) override { return Make({'s', Kind, k, N}); }
    TFramePtr ImageFadeFrame(int k, int N) override { return Make({'f', 0, k, N}); }
    std::vector<TCall> Calls;

private:
    TFramePtr Make(TCall Call) {
        const TColor32 i = TColor32(Calls.size());
        Calls.push_back(Call);
        auto B = std::make_unique<TBitmap32>();
        B->SetDimensions(4, 3);
        B->ClearToColor(0xFF000040u | (i & 0xFF) << 16 | (i >> 8) << 8);
        return B;
    }
};

int CallOf(TGIFImage& Gif, int Frame) {
    TGIFSubImage* F = Gif.Images().FrameAt(Frame);
    const TColor C = F->ActiveColorMap().Colors(F->Pixels(0, 0));
    return int(C & 0xFF) | int((C >> 8) & 0xFF) << 8;
}

// The delay of every frame, checking that each has exactly one control
// extension; Repeat gets the loop count, which only frame 0 may carry.
std::vector<int> Delays(TGIFImage& Gif, int* Repeat = nullptr) {
    std::vector<int> Out;
    for (int f = 0; f < Gif.Images().ItemCount(); ++f) {
        TGIFExtensionList& L = Gif.Images().FrameAt(f)->Extensions();
        int Controls = 0;
        for (int i = 0; i < L.ItemCount(); ++i) {
            if (auto* G = dynamic_cast<TGIFGraphicControlExtension*>(L.ExtensionAt(i))) {
                Out.push_back(G->Delay());
                ++Controls;
            } else if (auto* Loop = dynamic_cast<TGIFAppExtNSLoop*>(L.ExtensionAt(i))) {
                EXPECT_EQ(f, 0);
                if (Repeat) *Repeat = Loop->RepeatCount;
            }
        }
        EXPECT_EQ(Controls, 1) << "frame " << f;
        EXPECT_TRUE(Gif.Images().FrameAt(f)->Interlaced());
    }
    return Out;
}

void OneText(TBannerDocument& D, const std::string& Values) {
    D.Composition = ckOneText;
    D.tlv.assign(1, TTextElement{});
    D.tlv[0].Caption = Values;
}

std::unique_ptr<TGIFImage> Build(const TBannerDocument& D, TRecordingFrames& Frames,
                                 TAnimationLayout* Layout = nullptr) {
    TAnimationBuilder Builder(D, Frames);
    auto Gif = Builder.Build();
    if (Layout) *Layout = Builder.Layout();
    return Gif;
}

} // namespace

TEST(AnimationBuilder, TwoStaticValuesLoopsAndPauses) {
    EXPECT_EQ(AnimationPauseDelay(1), 210);
    EXPECT_EQ(AnimationPauseDelay(99), 0);
    TBannerDocument D;
    OneText(D, "un\rdeux");
    D.ImageEffectCombo = ieFadeIn; // composition 1 has no image frames
    TRecordingFrames Frames;
    int Repeat = -1;
    auto Gif = Build(D, Frames);
    EXPECT_EQ(Delays(*Gif, &Repeat), (std::vector<int>{105, 105}));
    EXPECT_EQ(Repeat, 0);
    EXPECT_EQ(Frames.Calls, (std::vector<TCall>{{'t', teNone, 0, 1}, {'t', teNone, 0, 2}}));

    D.Slider = TBannerDocument::SliderMax;
    D.forever = false;
    D.loops = 3;
    TRecordingFrames Again;
    EXPECT_EQ(Delays(*Build(D, Again), &Repeat), (std::vector<int>{0, 0}));
    EXPECT_EQ(Repeat, 3);
}

TEST(AnimationBuilder, FrameOrderAndPausesOfEveryPart) {
    TBannerDocument D;
    D.Composition = ckTwoTextsImage;
    D.tlv.assign(2, TTextElement{});
    D.tlv[0].Caption = "Hé"; // two characters: three letter frames
    D.tlv[1].Caption = "abc\rxy\rz";
    D.ilv.assign(1, TImageElement{});
    D.ImageEffectCombo = ieFadeIn;
    D.FirstTextEffect = teLetterByLetter;
    D.ValueEffects = {teZoomIn, 77, teScroll}; // 77 shows the value still
    D.three = true;
    D.Slider = 13;
    TRecordingFrames Frames;
    TAnimationLayout L;
    auto Gif = Build(D, Frames, &L);
    ASSERT_EQ(Gif->Images().ItemCount(), 8 + 3 + 6 + 1 + 7);
    EXPECT_EQ(std::make_tuple(L.D, L.Q, L.R, L.S, L.U), std::make_tuple(8, 10, 16, 17, 24));
    for (int f = 0; f < 25; ++f)
        EXPECT_EQ(CallOf(*Gif, f), f);
    EXPECT_EQ(Frames.Calls[7], TCall('f', 0, 7, 8));
    EXPECT_EQ(Frames.Calls[10], TCall('t', teLetterByLetter, 2, 0));
    EXPECT_EQ(Frames.Calls[11], TCall('t', teZoomIn, 6, 1));
    EXPECT_EQ(Frames.Calls[17], TCall('t', teNone, 0, 2));
    EXPECT_EQ(Frames.Calls[18], TCall('t', teScroll, 1, 3));
    std::vector<int> Expected(25, 0);
    for (int Hold : {10, 16, 17, 24})
        Expected[Hold] = 30;
    EXPECT_EQ(Delays(*Gif), Expected);
}

TEST(AnimationBuilder, HoldFramePastIndex255KeepsOneControlExtension) {
    TBannerDocument D;
    OneText(D, std::string(300, 'x') + "\rfin");
    D.ValueEffects = {teLetterByLetter, teNone, teNone};
    TRecordingFrames Frames;
    const std::vector<int> Delay = Delays(*Build(D, Frames));
    ASSERT_EQ(Delay.size(), 302u);
    EXPECT_EQ(std::make_tuple(Delay[299], Delay[300], Delay[301]), std::make_tuple(0, 105, 105));
}

TEST(AnimationBuilder, ExportWritesAGifTheReaderGivesBack) {
    namespace fs = std::filesystem;
    const fs::path Dir = fs::temp_directory_path() / ("qm_export_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    TBannerDocument D;
    OneText(D, "a\rb");
    D.effectcombo = trFade;
    D.forever = false;
    D.loops = 2;
    D.FileName = "/tmp/x.y/banner.qmkf";
    D.SavedBefore = true;
    EXPECT_EQ(TAnimationPreview::ExportFileName(D), "/tmp/x.y/banner");

    TAnimationPreview Preview;
    std::vector<std::string> Status;
    Preview.OnStatus = [&](const std::string& S) { Status.push_back(S); };
    TRecordingFrames Frames;
    Preview.BuildAnimation(D, Frames);
    EXPECT_EQ(Status, (std::vector<std::string>{sAnimationPreparing, sAnimationReady}));
    EXPECT_EQ(Preview.StepFrame(16, 1), 16);
    Preview.ExportAnimation((Dir / "b.gif").string());

    TGIFImage Back;
    Back.LoadFromFile((Dir / "b.gif").string());
    int Repeat = -1;
    std::vector<int> Expected(17, 0);
    Expected.front() = Expected.back() = 105;
    EXPECT_EQ(Delays(Back, &Repeat), Expected);
    EXPECT_EQ(Repeat, 2);
    EXPECT_EQ(CallOf(Back, 16), 1);
    // Nothing but the picture is left beside it; a missing folder writes nothing.
    EXPECT_THROW(Preview.ExportAnimation((Dir / "no" / "b.gif").string()), Exception);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
    fs::remove_all(Dir);
}

TEST(AnimationBuilder, RealRenderersBuildAndOptimise) {
    TBannerDocument D;
    OneText(D, "A\rB");
    TTextElement& T = D.tlv[0];
    T.Color = "clBlack\rclBlack";
    T.FontName = "DejaVu Sans\rDejaVu Sans";
    T.StyleIndex = T.Shadow = "0\r0";
    T.Size = "10\r10";
    D.effectcombo = trVerticalSplit;
    TAnimationPreview Preview;
    Preview.BuildAnimation(D);
    EXPECT_EQ(Preview.Gif().Images().ItemCount(), 2 + 14);
    Preview.OptimizeAnimation();
    EXPECT_EQ(Preview.Gif().Width(), D.BannerWidth);
}
