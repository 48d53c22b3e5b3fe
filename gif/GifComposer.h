#pragma once
// Frame composition of an animated GIF, on plain 32-bit pixel buffers.
//
// The painter and the tests build every picture of an animation here: a
// frame's colour indices go through its colour table into B, G, R, A pixels
// (alpha 0, as the class library's drawing writes them), scaled into a
// rectangle or tiled, with its transparent index left out when masking. The
// composer keeps the buffers that the disposal methods need (the picture
// before the frame, the frame buffer and the background) and knows nothing
// about threads, timing or the block model.
#include <cstdint>
#include <vector>

#include "platform/base/Types.h"
#include "platform/graphics/Colors.h"
#include "platform/graphics/PixelSurface.h"

// One frame as the composer needs it. Pixels holds Width*Height indices, rows
// top-down; ColorTable holds ColorCount RGB triples. An index at or above
// ColorCount is drawn black.
struct TGIFFrameView {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    const Byte* Pixels = nullptr;
    const Byte* ColorTable = nullptr;
    int ColorCount = 0;
    int TransparentIndex = -1; // -1: opaque
    int Disposal = 0;

    bool Empty() const { return Pixels == nullptr || Width <= 0 || Height <= 0; }
};

// B, G, R and alpha 0 of a colour value (system colours resolved).
std::uint32_t GIFPixelOfColor(TColor Color);
// The colour value 0x00BBGGRR of a composed pixel.
TColor GIFColorOfPixel(std::uint32_t Pixel);

// A picture owned by the composer: Width x Height pixels, rows top-down.
class TGIFPixelBuffer {
public:
    TGIFPixelBuffer() = default;
    TGIFPixelBuffer(int AWidth, int AHeight, std::uint32_t Fill = 0);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
    std::uint32_t* Row(int Y) { return FPixels.data() + std::size_t(Y) * FWidth; }
    const std::uint32_t* Row(int Y) const { return FPixels.data() + std::size_t(Y) * FWidth; }
    std::uint32_t Pixel(int X, int Y) const { return Row(Y)[X]; }
    const std::vector<std::uint32_t>& Pixels() const { return FPixels; }
    TPixelSurface Surface();

    void Fill(std::uint32_t Value);
    void FillRect(const TRect& Rect, std::uint32_t Value);
    // Copies Rect of Source to the same place here (both of one size).
    void CopyRectFrom(const TGIFPixelBuffer& Source, const TRect& Rect);

    friend bool operator==(const TGIFPixelBuffer&, const TGIFPixelBuffer&) = default;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

// Copies a surface's pixels (clipped to both) between a surface and a buffer
// placed at Origin of the surface.
void CopySurfaceToBuffer(const TPixelSurface& Source, const TPoint& Origin, TGIFPixelBuffer& Dest);
void CopyBufferToSurface(const TGIFPixelBuffer& Source, const TPixelSurface& Dest,
                         const TPoint& Origin);

// The rectangle a frame covers when the logical screen (ScreenWidth x
// ScreenHeight) is stretched over Rect: each edge through MulDiv.
TRect ScaleFrameRect(const TRect& Rect, int ScreenWidth, int ScreenHeight,
                     const TGIFFrameView& Frame);

// Draws Frame into Target. Without tiling the frame's pixels are stretched
// (nearest pixel) over ScaleFrameRect(Rect, ...); with tiling it is drawn at
// its own size at (Rect.Left + Left, Rect.Top + Top) and again every
// ScreenWidth across and ScreenHeight down while inside Rect. Masked drawing
// leaves the target alone under the transparent index. Everything is clipped
// to the target.
void DrawGIFFrame(const TPixelSurface& Target, const TRect& Rect, int ScreenWidth, int ScreenHeight,
                  const TGIFFrameView& Frame, bool Masked, bool Tiled);

// The picture sequence of one animation pass on buffers of the target
// rectangle's size. Backup holds the picture that the next frame is drawn
// over; a frame to be restored to its previous picture is drawn on a copy
// (the frame buffer); restoring to the background copies the frame's area
// from Background when masking, else fills it with the background colour.
class TGIFComposer {
public:
    // Width x Height: the target rectangle's size; the screen size scales the
    // frames into it. Background is the colour of restored areas.
    TGIFComposer(int Width, int Height, int ScreenWidth, int ScreenHeight, TColor Background,
                 bool Masked, bool Tiled);
    TGIFComposer(const TGIFComposer&) = delete;
    TGIFComposer& operator=(const TGIFComposer&) = delete;

    int Width() const { return FBackup.Width(); }
    int Height() const { return FBackup.Height(); }
    // The picture the first frame is drawn over (the background colour
    // until set; usually a copy of the target area).
    void SetPicture(const TGIFPixelBuffer& Picture);
    // What restored areas show when masking (the background colour until
    // set).
    void SetBackground(const TGIFPixelBuffer& Picture);
    // Starts a new pass: the whole picture is restored as a frame's area is.
    void Clear();

    // Composes Frame over the current picture and returns the picture to
    // show. The frame's own disposal decides what stays for the next frame;
    // a disposal above 3 draws nothing and returns the picture as it stood.
    const TGIFPixelBuffer& Compose(const TGIFFrameView& Frame);
    // The picture shown by the last Compose.
    const TGIFPixelBuffer& Shown() const { return *FShown; }

private:
    void RestoreArea(const TGIFFrameView& Frame);

    int FScreenWidth;
    int FScreenHeight;
    std::uint32_t FBackgroundPixel;
    bool FMasked;
    bool FTiled;
    TGIFPixelBuffer FBackup;
    TGIFPixelBuffer FFrameBuffer;
    TGIFPixelBuffer FBackground;
    const TGIFPixelBuffer* FShown;
};
