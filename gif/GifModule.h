#pragma once
// Start-up and shutdown of the GIF subsystem. InitGifModule registers the
// GIF picture class for the ".gif" extension ("GIF Image") with the picture
// registry and the "GIF Image" clipboard format, and sets the module-wide
// display switches; DoneGifModule undoes the registration and frees the
// extension registries. Both are called once, in the program's fixed
// start-up and shutdown order; calling either again does nothing.
#include "platform/base/Types.h"

// ScreenBitsPerPixel: the display's bits per pixel times its planes; at 8
// or fewer, frames are dithered to the web cube and palettes are realised.
void InitGifModule(int ScreenBitsPerPixel = 24);
void DoneGifModule();

// The clipboard format registered under "GIF Image" (0 before start-up).
Word GIFClipboardFormatID();
