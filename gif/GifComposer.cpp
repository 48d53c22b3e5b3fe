#include "gif/GifComposer.h"

#include <algorithm>
#include <cstring>

#include "platform/base/Rounding.h"

std::uint32_t GIFPixelOfColor(TColor Color) {
    const std::uint32_t c = std::uint32_t(ColorToRGB(Color));
    const std::uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

TColor GIFColorOfPixel(std::uint32_t Pixel) {
    const std::uint32_t b = Pixel & 0xFF, g = (Pixel >> 8) & 0xFF, r = (Pixel >> 16) & 0xFF;
    return TColor(r | (g << 8) | (b << 16));
}

TGIFPixelBuffer::TGIFPixelBuffer(int AWidth, int AHeight, std::uint32_t Fill)
    : FWidth(std::max(AWidth, 0)), FHeight(std::max(AHeight, 0)),
      FPixels(std::size_t(FWidth) * std::size_t(FHeight), Fill) {
    if (FWidth == 0 || FHeight == 0) FWidth = FHeight = 0;
}

TPixelSurface TGIFPixelBuffer::Surface() {
    TPixelSurface s;
    if (Empty()) return s;
    s.Bits = reinterpret_cast<Byte*>(FPixels.data());
    s.Width = FWidth;
    s.Height = FHeight;
    s.Stride = FWidth * 4;
    return s;
}

void TGIFPixelBuffer::Fill(std::uint32_t Value) {
    std::fill(FPixels.begin(), FPixels.end(), Value);
}

void TGIFPixelBuffer::FillRect(const TRect& Rect, std::uint32_t Value) {
    TRect r;
    if (!IntersectRect(r, Rect, {0, 0, FWidth, FHeight})) return;
    for (int y = r.Top; y < r.Bottom; ++y)
        std::fill(Row(y) + r.Left, Row(y) + r.Right, Value);
}

void TGIFPixelBuffer::CopyRectFrom(const TGIFPixelBuffer& Source, const TRect& Rect) {
    TRect r;
    const TRect bounds{0, 0, std::min(FWidth, Source.FWidth), std::min(FHeight, Source.FHeight)};
    if (!IntersectRect(r, Rect, bounds)) return;
    for (int y = r.Top; y < r.Bottom; ++y)
        std::memcpy(Row(y) + r.Left, Source.Row(y) + r.Left, std::size_t(r.Width()) * 4);
}

namespace {
// Calls Copy(surface pixels, buffer pixels, bytes) for each row of the part
// of Surface that a buffer placed at Origin covers.
template <class TBuffer, class TCopy>
void ForSharedRows(const TPixelSurface& Surface, const TPoint& Origin, TBuffer& Buffer,
                   TCopy Copy) {
    if (!Surface.Valid() || Buffer.Empty()) return;
    TRect r;
    if (!IntersectRect(r, Surface.BoundsRect(),
                       Bounds(Origin.X, Origin.Y, Buffer.Width(), Buffer.Height())))
        return;
    for (int y = r.Top; y < r.Bottom; ++y)
        Copy(Surface.Row(y) + r.Left, Buffer.Row(y - Origin.Y) + (r.Left - Origin.X),
             std::size_t(r.Width()) * 4);
}
} // namespace

void CopySurfaceToBuffer(const TPixelSurface& Source, const TPoint& Origin, TGIFPixelBuffer& Dest) {
    ForSharedRows(
        Source, Origin, Dest,
        [](const std::uint32_t* s, std::uint32_t* b, std::size_t n) { std::memcpy(b, s, n); });
}

void CopyBufferToSurface(const TGIFPixelBuffer& Source, const TPixelSurface& Dest,
                         const TPoint& Origin) {
    ForSharedRows(
        Dest, Origin, Source,
        [](std::uint32_t* s, const std::uint32_t* b, std::size_t n) { std::memcpy(s, b, n); });
}

TRect ScaleFrameRect(const TRect& Rect, int ScreenWidth, int ScreenHeight,
                     const TGIFFrameView& Frame) {
    // A screen of size 0 cannot scale anything: the frame keeps its own size.
    if (ScreenWidth <= 0 || ScreenHeight <= 0)
        return Bounds(Rect.Left + Frame.Left, Rect.Top + Frame.Top, Frame.Width, Frame.Height);
    const int w = Rect.Width(), h = Rect.Height();
    return {Rect.Left + MulDiv(Frame.Left, w, ScreenWidth),
            Rect.Top + MulDiv(Frame.Top, h, ScreenHeight),
            Rect.Left + MulDiv(Frame.Left + Frame.Width, w, ScreenWidth),
            Rect.Top + MulDiv(Frame.Top + Frame.Height, h, ScreenHeight)};
}

namespace {

// One frame's colour table as ready-made pixels.
struct TPixelTable {
    std::uint32_t Color[256];
    explicit TPixelTable(const TGIFFrameView& Frame) {
        const int n = Frame.ColorTable ? std::clamp(Frame.ColorCount, 0, 256) : 0;
        for (int i = 0; i < 256; ++i) {
            if (i < n) {
                const Byte* t = Frame.ColorTable + i * 3;
                Color[i] = (std::uint32_t(t[0]) << 16) | (std::uint32_t(t[1]) << 8) | t[2];
            } else {
                Color[i] = 0;
            }
        }
    }
};

// Stretches the frame over Dest (nearest pixel), clipped to the target.
void StretchFrame(const TPixelSurface& Target, const TRect& Dest, const TGIFFrameView& Frame,
                  const TPixelTable& Table, int Transparent) {
    TRect clip;
    if (Dest.IsEmpty() || !IntersectRect(clip, Dest, Target.BoundsRect())) return;
    const std::int64_t dw = Dest.Width(), dh = Dest.Height();
    std::vector<int> columns(std::size_t(clip.Width()));
    for (int x = clip.Left; x < clip.Right; ++x)
        columns[std::size_t(x - clip.Left)] = int((std::int64_t(x - Dest.Left) * Frame.Width) / dw);
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const int sy = int((std::int64_t(y - Dest.Top) * Frame.Height) / dh);
        const Byte* src = Frame.Pixels + std::size_t(sy) * std::size_t(Frame.Width);
        std::uint32_t* dst = Target.Row(y) + clip.Left;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Byte index = src[columns[i]];
            if (index != Transparent) dst[i] = Table.Color[index];
        }
    }
}

// Calls Visit with every tile rectangle of the frame inside Rect.
template <class F>
void ForEachTile(const TRect& Rect, int ScreenWidth, int ScreenHeight, const TGIFFrameView& Frame,
                 F Visit) {
    // A step of 0 would never leave the rectangle.
    const int stepX = std::max(ScreenWidth, 1), stepY = std::max(ScreenHeight, 1);
    for (std::int64_t x = std::int64_t(Rect.Left) + Frame.Left; x < Rect.Right; x += stepX)
        for (std::int64_t y = std::int64_t(Rect.Top) + Frame.Top; y < Rect.Bottom; y += stepY)
            Visit(Bounds(int(x), int(y), Frame.Width, Frame.Height));
}

} // namespace

void DrawGIFFrame(const TPixelSurface& Target, const TRect& Rect, int ScreenWidth, int ScreenHeight,
                  const TGIFFrameView& Frame, bool Masked, bool Tiled) {
    if (!Target.Valid() || Frame.Empty()) return;
    const TPixelTable table(Frame);
    const int transparent = Masked && Frame.TransparentIndex >= 0 && Frame.TransparentIndex < 256
                                ? Frame.TransparentIndex
                                : -1;
    if (Tiled)
        ForEachTile(Rect, ScreenWidth, ScreenHeight, Frame, [&](const TRect& tile) {
            StretchFrame(Target, tile, Frame, table, transparent);
        });
    else
        StretchFrame(Target, ScaleFrameRect(Rect, ScreenWidth, ScreenHeight, Frame), Frame, table,
                     transparent);
}

TGIFComposer::TGIFComposer(int Width, int Height, int ScreenWidth, int ScreenHeight,
                           TColor Background, bool Masked, bool Tiled)
    : FScreenWidth(ScreenWidth), FScreenHeight(ScreenHeight),
      FBackgroundPixel(GIFPixelOfColor(Background)), FMasked(Masked), FTiled(Tiled),
      FBackup(Width, Height, FBackgroundPixel), FFrameBuffer(Width, Height, FBackgroundPixel),
      FBackground(Width, Height, FBackgroundPixel), FShown(&FBackup) {}

void TGIFComposer::SetPicture(const TGIFPixelBuffer& Picture) {
    FBackup.CopyRectFrom(Picture, {0, 0, Width(), Height()});
    FShown = &FBackup;
}

void TGIFComposer::SetBackground(const TGIFPixelBuffer& Picture) {
    FBackground.CopyRectFrom(Picture, {0, 0, Width(), Height()});
}

void TGIFComposer::Clear() {
    if (FMasked)
        FBackup = FBackground;
    else
        FBackup.Fill(FBackgroundPixel);
    FShown = &FBackup;
}

void TGIFComposer::RestoreArea(const TGIFFrameView& Frame) {
    const TRect whole{0, 0, Width(), Height()};
    auto restore = [&](const TRect& r) {
        if (FMasked)
            FBackup.CopyRectFrom(FBackground, r);
        else
            FBackup.FillRect(r, FBackgroundPixel);
    };
    if (FTiled)
        ForEachTile(whole, FScreenWidth, FScreenHeight, Frame, restore);
    else
        restore(ScaleFrameRect(whole, FScreenWidth, FScreenHeight, Frame));
}

const TGIFPixelBuffer& TGIFComposer::Compose(const TGIFFrameView& Frame) {
    const TRect whole{0, 0, Width(), Height()};
    const int disposal = Frame.Disposal;
    if (disposal < 0 || disposal > 3) return *FShown;
    if (disposal == 3) {
        // Restore to previous: the frame is drawn over a copy, so the next
        // frame finds the picture as it was before this one.
        FFrameBuffer = FBackup;
        DrawGIFFrame(FFrameBuffer.Surface(), whole, FScreenWidth, FScreenHeight, Frame, FMasked,
                     FTiled);
        FShown = &FFrameBuffer;
        return *FShown;
    }
    DrawGIFFrame(FBackup.Surface(), whole, FScreenWidth, FScreenHeight, Frame, FMasked, FTiled);
    if (disposal == 2) {
        // The picture is shown with the frame; what stays for the next frame
        // has the frame's area restored.
        FFrameBuffer = FBackup;
        RestoreArea(Frame);
        FShown = &FFrameBuffer;
    } else {
        FShown = &FBackup;
    }
    return *FShown;
}
