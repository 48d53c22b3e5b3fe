#include <gtest/gtest.h>

#include "banner/Transitions.h"
#include "raster/RasterCore.h"

namespace {

constexpr TColor Red = 0x0000FF, Blue = 0xFF0000, Green = 0x00FF00;

std::unique_ptr<TGIFImage> SolidGif(int W, int H, int Frames) {
    auto Gif = std::make_unique<TGIFImage>();
    Gif->SetReductionMethod(rdmOctree);
    for (TColor32 C : {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u}) {
        if (Frames-- == 0) break;
        TBitmap32 B;
        B.SetDimensions(W, H);
        B.ClearToColor(C);
        TBitmap Full;
        Full.Assign(&B);
        Gif->AppendFrame(&Full);
    }
    return Gif;
}

TColor At(TGIFImage& Gif, int Frame, int X, int Y) {
    TGIFSubImage* F = Gif.Images().FrameAt(Frame);
    return F->ActiveColorMap().Colors(F->Pixels(X, Y));
}

void ExpectTransitionFrame(TGIFImage& Gif, int Index) {
    TGIFSubImage* F = Gif.Images().FrameAt(Index);
    const TGIFGraphicControlExtension* Gce = F->GraphicControlExtension();
    ASSERT_NE(Gce, nullptr) << Index;
    EXPECT_EQ(std::make_tuple(Gce->Delay(), Gce->Disposal(), Gce->Transparent(), F->Interlaced()),
              std::make_tuple(Word(0), gdRestoreBackground, false, true))
        << Index;
    // The transparent index names the bottom-left pixel's colour.
    EXPECT_EQ(F->ActiveColorMap().Colors(Gce->TransparentColorIndex()),
              At(Gif, Index, 0, F->Height() - 1));
}

} // namespace

TEST(Transitions, NothingHappensWithoutAKindOrAFrame) {
    EXPECT_EQ(TransitionFrameCount(trFade), 15);
    EXPECT_EQ(TransitionFrameCount(5), 0);
    auto Gif = SolidGif(8, 8, 2);
    for (int Kind : {int(trNone), 5, -3})
        ApplyTransition(*Gif, Kind, 0, 1, false);
    ApplyTransition(*Gif, trWipe, 7, 8, false);          // no outgoing frame
    ApplyTransition(*Gif, trVerticalSplit, 1, 2, false); // nothing to insert before
    TBitmap Empty;
    EXPECT_FALSE(InsertTransitionFrame(*Gif, Empty, 0, 1));
    EXPECT_EQ(Gif->Images().ItemCount(), 2);
}

TEST(Transitions, WipeOnSixtyRowsUncoversFourRowsAtATime) {
    auto Gif = SolidGif(10, 60, 2);
    EXPECT_EQ(WipeTransition(*Gif, 0, 1, 2, false), 15);
    ASSERT_EQ(Gif->Images().ItemCount(), 17);
    for (int j = 0; j < 15; ++j) {
        const int Rows = 60 - 4 * (14 - j); // incoming rows at the top
        EXPECT_EQ(At(*Gif, 1 + j, 9, Rows - 1), Blue) << j;
        if (Rows < 60) {
            EXPECT_EQ(At(*Gif, 1 + j, 0, Rows), Red) << j;
        }
        ExpectTransitionFrame(*Gif, 1 + j);
    }
}

TEST(Transitions, FadeEndsOnThePureIncomingPicture) {
    auto Gif = SolidGif(6, 6, 2);
    ApplyTransition(*Gif, trFade, 0, 1, false);
    ASSERT_EQ(Gif->Images().ItemCount(), 17);
    EXPECT_GT(At(*Gif, 1, 3, 3) & 0xFF, 200);
    for (int j = 2; j <= 15; ++j)
        EXPECT_LE(At(*Gif, j, 3, 3) & 0xFF, At(*Gif, j - 1, 3, 3) & 0xFF);
    EXPECT_EQ(At(*Gif, 15, 3, 3), Blue);
    ExpectTransitionFrame(*Gif, 8);
}

TEST(Transitions, SplitsWithThreeValuesBuildBothSeams) {
    // 28 pixels across the split: the halves are 14 wide and move n apart.
    for (bool Vertical : {true, false}) {
        auto Gif = Vertical ? SolidGif(3, 28, 3) : SolidGif(28, 3, 3);
        ApplyTransition(*Gif, Vertical ? trVerticalSplit : trHorizontalSplit, 0, 1, true);
        ASSERT_EQ(Gif->Images().ItemCount(), 3 + 28);
        auto Px = [&](int F, int P) { return Vertical ? At(*Gif, F, 1, P) : At(*Gif, F, P, 1); };
        EXPECT_EQ(std::make_tuple(Px(15, 0), Px(30, 0)), std::make_tuple(Blue, Green));
        for (int Seam = 0; Seam < 2; ++Seam) {
            const TColor Out = Seam == 0 ? Red : Blue, In = Seam == 0 ? Blue : Green;
            for (int n = 1; n <= 14; ++n) {
                const int F = Seam * 15 + n;
                SCOPED_TRACE(F);
                EXPECT_EQ(std::make_tuple(Px(F, 14 - n), Px(F, 13 + n)), std::make_tuple(In, In));
                if (n < 14) {
                    EXPECT_EQ(std::make_tuple(Px(F, 13 - n), Px(F, 14 + n)),
                              std::make_tuple(Out, Out));
                }
                ExpectTransitionFrame(*Gif, F);
            }
        }
    }
}
