#pragma once
// Transitions between the values of the main text. They work on the frames
// of a built animation: they read the pictures of existing frames and insert
// new frames in front of the incoming value's first frame. Every inserted
// frame is reduced to 8 bits, interlaced, shown for 0 hundredths and
// restored to the background afterwards.
#include <memory>

#include "banner/BannerTypes.h"
#include "gif/GifImage.h"
#include "platform/graphics/Bitmap.h"
#include "raster/RasterCore.h"

// A frame's picture reduced as every frame of the animation is: octree
// palette of 256 colours, nearest colour, 8 bits per pixel. Empty when the
// picture is.
std::unique_ptr<TBitmap> ReduceFrameColors(const TBitmap32& Picture);

// Frames one seam of Kind adds (0 for trNone and unknown kinds).
int TransitionFrameCount(int Kind);

// Adds Picture as a new frame with a control extension (delay Delay,
// disposal restore-to-background, transparent index of the picture's
// transparent colour, transparency left off), interlaced, and moves it to
// Position. Returns False, leaving the GIF's frames as they were, when the
// frame cannot be made; the builder then goes on without it.
bool InsertTransitionFrame(TGIFImage& Gif, const TBitmap& Picture, int Delay, int Position);

// One routine per kind. R is the outgoing (last) frame of value 1, P1 the
// first frame of value 2 and P2 the first frame of value 3; the second seam
// is built only when Three. Each returns the number of frames it inserted.
int WipeTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three);
int FadeTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three);
int VerticalSplitTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three);
int HorizontalSplitTransition(TGIFImage& Gif, int R, int P1, int P2, bool Three);

// R and S are the last frames of values 1 and 2. Kind trNone, any unknown
// kind, or indices that name no frame leave the GIF unchanged.
TGIFImage& ApplyTransition(TGIFImage& Gif, int Kind, int R, int S, bool Three);
