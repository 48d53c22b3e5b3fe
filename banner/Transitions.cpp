#include "banner/Transitions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "gif/ColorReduction.h"
#include "gif/GifExtensions.h"
#include "platform/base/Exception.h"
#include "platform/base/Rounding.h"
#include "raster/RasterCore.h"

namespace {

constexpr int WipeSteps = 15;
constexpr int FadeSteps = 15;
constexpr int SplitSteps = 14;

bool ValidFrame(const TGIFImage& Gif, int Index) {
    return Index >= 0 && Index < Gif.Images().ItemCount();
}

// The picture a frame shows, as a 32-bit bitmap with opaque pixels.
bool FramePicture(TGIFImage& Gif, int Index, TBitmap32& Out) {
    if (!ValidFrame(Gif, Index)) return false;
    TBitmap* Rendered = Gif.Images().FrameAt(Index)->RenderedBitmap();
    if (Rendered == nullptr || Rendered->Empty()) return false;
    Out.Assign(Rendered);
    Out.ResetAlpha(255);
    return !Out.Empty();
}

// Opaque copy of the W x H block at (SX, SY) of Src to (DX, DY) of Dst,
// clipped to both bitmaps.
void CopyBlock(TBitmap32& Dst, int DX, int DY, const TBitmap32& Src, int SX, int SY, int W, int H) {
    if (SX < 0) {
        DX -= SX;
        W += SX;
        SX = 0;
    }
    if (SY < 0) {
        DY -= SY;
        H += SY;
        SY = 0;
    }
    if (DX < 0) {
        SX -= DX;
        W += DX;
        DX = 0;
    }
    if (DY < 0) {
        SY -= DY;
        H += DY;
        DY = 0;
    }
    W = std::min({W, Src.Width() - SX, Dst.Width() - DX});
    H = std::min({H, Src.Height() - SY, Dst.Height() - DY});
    if (W <= 0 || H <= 0) return;
    for (int y = 0; y < H; ++y)
        std::memcpy(Dst.PixelPtr(DX, DY + y), Src.PixelPtr(SX, SY + y),
                    std::size_t(W) * sizeof(TColor32));
}

void CopyPicture(TBitmap32& Dst, const TBitmap32& Src) {
    Dst.SetDimensions(Src.Width(), Src.Height());
    CopyBlock(Dst, 0, 0, Src, 0, 0, Src.Width(), Src.Height());
}

// Reduces a transition picture to 8 bits and inserts it.
bool InsertReduced(TGIFImage& Gif, const TBitmap32& Picture, int Position) {
    try {
        std::unique_ptr<TBitmap> Reduced = ReduceFrameColors(Picture);
        if (!Reduced || Reduced->Empty()) return false;
        return InsertTransitionFrame(Gif, *Reduced, 0, Position);
    } catch (const Exception&) {
        return false;
    }
}

// One step's picture, made from the outgoing picture and the frame now at
// the insertion position.
using TStepPainter = void (*)(int Step, const TBitmap32& Outgoing, const TBitmap32& Current,
                              TBitmap32& Out);

void WipeStep(int Step, const TBitmap32& Outgoing, const TBitmap32& Current, TBitmap32& Out) {
    const int W = Outgoing.Width(), H = Outgoing.Height();
    const int Rows = H - (H / 14) * Step;
    CopyPicture(Out, Outgoing);
    CopyBlock(Out, 0, 0, Current, 0, 0, W, Rows);
}

void VerticalSplitStep(int N, const TBitmap32& Outgoing, const TBitmap32& Current, TBitmap32& Out) {
    const int W = Outgoing.Width(), H = Outgoing.Height();
    const int C = Round(H / 2.0);
    const int D = Round(H / 28.0 * N);
    Out.SetDimensions(W, H);
    Out.ClearToBlack();
    CopyBlock(Out, 0, 0, Current, 0, 0, W, H);
    CopyBlock(Out, 0, -D, Outgoing, 0, 0, W, C);
    CopyBlock(Out, 0, C + D, Outgoing, 0, C, W, H - C);
}

void HorizontalSplitStep(int N, const TBitmap32& Outgoing, const TBitmap32& Current,
                         TBitmap32& Out) {
    const int W = Outgoing.Width(), H = Outgoing.Height();
    const int C = Round(W / 2.0);
    const int D = Round(W / 28.0 * N);
    Out.SetDimensions(W, H);
    Out.ClearToBlack();
    CopyBlock(Out, 0, 0, Current, 0, 0, W, H);
    CopyBlock(Out, -D, 0, Outgoing, 0, 0, C, H);
    CopyBlock(Out, C + D, 0, Outgoing, C, 0, W - C, H);
}

// Steps that read the frame at the insertion position afresh each time
// (that frame is the one made by the step before). Returns the frames
// inserted.
int PaintedSeam(TGIFImage& Gif, int Outgoing, int Position, TStepPainter Paint, int First,
                int Last) {
    TBitmap32 OutPicture;
    if (!FramePicture(Gif, Outgoing, OutPicture) || !ValidFrame(Gif, Position)) return 0;
    int Inserted = 0;
    const int Dir = First <= Last ? 1 : -1;
    // Made once for the seam: every step paints each of their pixels anew.
    TBitmap32 Current, Picture;
    for (int Step = First;; Step += Dir) {
        if (FramePicture(Gif, Position, Current)) {
            Paint(Step, OutPicture, Current, Picture);
            if (InsertReduced(Gif, Picture, Position)) ++Inserted;
        }
        if (Step == Last) break;
    }
    return Inserted;
}

int FadeSeam(TGIFImage& Gif, int Outgoing, int Position) {
    TBitmap32 O, B;
    if (!FramePicture(Gif, Outgoing, O) || !FramePicture(Gif, Position, B)) return 0;
    O.SetDrawMode(dmBlend);
    B.SetDrawMode(dmBlend);
    int Inserted = 0;
    for (int i = 0; i < FadeSteps; ++i) {
        O.SetMasterAlpha(Round(i * 255.0 / 15.0));
        O.DrawOnto(&B, 0, 0);
        if (InsertReduced(Gif, B, Position)) ++Inserted;
    }
    return Inserted;
}

// The second seam's indices move by the frames the first seam really
// inserted, so that a failed step cannot shift it onto the wrong frames.
template <typename TSeam>
int BothSeams(TGIFImage& Gif, int R, int P1, int P2, bool Three, TSeam Seam) {
    const int First = Seam(R, P1);
    if (!Three) return First;
    return First + Seam(P2 - 1 + First, P2 + First);
}

} // namespace

std::unique_ptr<TBitmap> ReduceFrameColors(const TBitmap32& Picture) {
    if constexpr (std::endian::native == std::endian::little) {
        // The pixels are read where they are: blue, green, red, alpha bytes.
        const TDIBReader Reader(reinterpret_cast<const Byte*>(Picture.Bits()), Picture.Width(),
                                Picture.Height(), Picture.Width() * int(sizeof(TColor32)));
        return ReduceBitmapColors(Reader, rdmOctree, dkNearestColor, 8, nullptr);
    } else {
        TBitmap Full;
        Full.Assign(&Picture);
        return ReduceBitmapColors(Full, rdmOctree, dkNearestColor, 8, nullptr);
    }
}

int TransitionFrameCount(int Kind) {
    switch (Kind) {
    case trWipe:
        return WipeSteps;
    case trFade:
        return FadeSteps;
    case trVerticalSplit:
    case trHorizontalSplit:
        return SplitSteps;
    default:
        return 0;
    }
}

bool InsertTransitionFrame(TGIFImage& Gif, const TBitmap& Picture, int Delay, int Position) {
    TGIFImageList& Frames = Gif.Images();
    const int Before = Frames.ItemCount();
    if (Picture.Empty()) return false;
    try {
        const int Index = Gif.AppendFrame(&Picture);
        TGIFSubImage* Frame = Frames.FrameAt(Index);
        Frame->SetInterlaced(true);
        auto Control = TGIFGraphicControlExtension::CreateForFrame(Frame);
        TGIFGraphicControlExtension* Gce = Control.get();
        Frame->Extensions().AppendItem(std::move(Control));
        Gce->SetTransparentColor(Picture.TransparentColor());
        Gce->SetDelay(Word(std::clamp(Delay, 0, 65535)));
        Gce->SetDisposal(gdRestoreBackground);
        Frames.MoveItem(Index, std::clamp(Position, 0, Index));
        return true;
    } catch (const Exception&) {
        // A half-made frame would be shown in the middle of the animation;
        // it goes, and the frames stay as they were.
        while (Frames.ItemCount() > Before)
            Frames.Delete(Frames.ItemCount() - 1);
        return false;
    }
}

int WipeTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three) {
    return BothSeams(Gif, R, P1, P2, Three, [&](int O, int P) {
        return PaintedSeam(Gif, O, P, WipeStep, 0, WipeSteps - 1);
    });
}

int FadeTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three) {
    return BothSeams(Gif, R, P1, P2, Three, [&](int O, int P) { return FadeSeam(Gif, O, P); });
}

int VerticalSplitTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three) {
    return BothSeams(Gif, R, P1, P2, Three, [&](int O, int P) {
        return PaintedSeam(Gif, O, P, VerticalSplitStep, SplitSteps, 1);
    });
}

int HorizontalSplitTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three) {
    return BothSeams(Gif, R, P1, P2, Three, [&](int O, int P) {
        return PaintedSeam(Gif, O, P, HorizontalSplitStep, SplitSteps, 1);
    });
}

TGIFImage& ApplyTransition(TGIFImage& Gif, int Kind, int R, int S, bool Three) {
    const int P1 = R + 1, P2 = S + 1;
    switch (Kind) {
    case trWipe:
        WipeTransition(Gif, R, P1, P2, Three);
        break;
    case trFade:
        FadeTransition(Gif, R, P1, P2, Three);
        break;
    case trVerticalSplit:
        VerticalSplitTransition(Gif, R, P1, P2, Three);
        break;
    case trHorizontalSplit:
        HorizontalSplitTransition(Gif, R, P1, P2, Three);
        break;
    default:
        break;
    }
    return Gif;
}
