#pragma once
// The pictures the small windows carry: the clip-art library, the splash
// and about pictures. They are drawn by code at start-up, so the program
// ships no picture files for them.
class TBitmap32;

// Number of clip-art pictures in the library.
constexpr int ClipArtCount = 14;

// Draws clip-art picture Index (0-based, 0..ClipArtCount-1) into Dest,
// resizing it; the background is fully transparent and the shape edges
// antialiased. An index out of range leaves Dest empty.
void DrawClipArt(int Index, TBitmap32& Dest);

// The banner makes every pixel of an image element opaque and hides only its
// transparent colour, white for a new image: a picture with a clear backdrop
// (a clip art, a PNG) is laid on white so that it lands without a black box
// around it. A picture whose alpha bytes are all 0 holds no alpha (many
// 32-bit files leave the byte unused) and only becomes opaque.
void LayOnWhite(TBitmap32& Picture);

// The start-up picture (SplashWidth x SplashHeight), opaque.
constexpr int SplashWidth = 360;
constexpr int SplashHeight = 200;
void DrawSplashPicture(TBitmap32& Dest);

// The program's icons, all in one style: flat shapes with a soft vertical
// gradient and a darker edge, antialiased, on a transparent ground. They
// serve the tool bar, the menu, the start page and the side panels.
enum TProgramIcon {
    piNew,
    piOpen,
    piSave,
    piHelp,
    piExample,
    piClose,
    piQuit,
    piResize,
    piPreview,
    piExport,
    piAbout,
    piWeb,
    piMail,
    piExpand,   // a chevron pointing down: the panel opens
    piCollapse, // a chevron pointing up: the panel closes
    piIconCount
};
// Draws Icon at Size x Size pixels into Dest (resizing it), on a
// transparent ground.
void DrawProgramIcon(TProgramIcon Icon, int Size, TBitmap32& Dest);
// Draws Icon over what Dest holds, at the size of its shorter side.
void PaintProgramIcon(TProgramIcon Icon, TBitmap32& Dest);
