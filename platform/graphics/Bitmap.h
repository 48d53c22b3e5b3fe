#pragma once
// TBitmap: the class library's device-independent bitmap. It owns its pixels
// (rows top-down, each 4-byte aligned) in one of the pixel formats, a colour
// palette for 1/4/8 bits, and a canvas created on first use. Assign copies
// (value semantics). Streams and files hold the BMP format.
//
// Drawing through the canvas works on 32-bit pixels: a pf32bit (or pfDevice)
// bitmap lends its own rows; other formats are converted to 32 bits for the
// drawing and back afterwards, palettised ones through the nearest palette
// index.
#include <memory>
#include <vector>

#include "platform/graphics/BmpFormat.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/Palette.h"
#include "platform/graphics/PixelFormat.h"

enum TTransparentMode { tmAuto, tmFixed };
enum TBitmapHandleType { bmDIB, bmDDB };

class TBitmap : public TGraphic, public TCanvasTarget {
public:
    QM_CLASSNAME(TBitmap)
    TBitmap();
    TBitmap(int AWidth, int AHeight, TPixelFormat Format = pfDevice);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    bool Empty() const override { return FImage.Width == 0 || FImage.Height == 0; }
    int Width() const override { return FImage.Width; }
    int Height() const override { return FImage.Height; }
    // Keeps the pixels of the common area; new pixels are zero. Negative
    // values become 0; EInvalidGraphic "Bitmap image is not valid" beyond the
    // size limits.
    void SetWidth(int Value) override { SetSize(Value, FImage.Height); }
    void SetHeight(int Value) override { SetSize(FImage.Width, Value); }
    void SetSize(int AWidth, int AHeight);

    TPixelFormat PixelFormat() const { return FImage.PixelFormat; }
    // Converts the pixels. To a palettised format the present palette is kept
    // when it fits, else a default one is made (black and white; the 16
    // system colours; the 6x6x6 cube and a grey ramp), and each pixel takes
    // the nearest palette index. pfCustom raises EInvalidGraphic.
    void SetPixelFormat(TPixelFormat Value);
    TBitmapHandleType HandleType() const { return FHandleType; }
    void SetHandleType(TBitmapHandleType Value) { FHandleType = Value; }

    // Row Row counted from the top; EInvalidGraphic "Scan line index out of
    // range" outside 0..Height-1.
    Byte* ScanLine(int Row);
    const Byte* ScanLine(int Row) const;
    int RowStride() const { return FImage.Stride(); }

    // The colour table of a palettised bitmap (kept as a hint by the others).
    TPalette Palette() const override { return FImage.Palette; }
    // Replaces the colour table; pixel indices are kept. Entries beyond what
    // the format can index are dropped.
    void SetPalette(const TPalette& Value) override;

    // pf1bit with a black and white palette.
    bool Monochrome() const;
    void SetMonochrome(bool Value);

    // The bottom-left pixel's colour, unless TransparentMode is tmFixed.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Value);

    // The colour 0x00BBGGRR of a pixel (0 outside the bitmap).
    TColor PixelColor(int X, int Y) const;

    TCanvas* Canvas();

    void Assign(const TPersistent* Source) override;
    void LoadFromStream(TStream& Stream) override;
    // An empty bitmap writes nothing.
    void SaveToStream(TStream& Stream) const override;
    // Component-stream form: int32 size, then the BMP file image.
    void ReadData(TStream& Stream) override;
    void WriteData(TStream& Stream) const override;

    // The pixels as a BMP-ready image, and replacing them at once.
    const TDibImage& Image() const { return FImage; }
    void SetImage(TDibImage Image);

    // Pixels as 32-bit B,G,R,A rows top-down (stride Width*4); non-32-bit
    // formats give alpha 255.
    std::vector<Byte> ToBGRA() const;

    std::unique_ptr<TGraphic> NewOfSameClass() const override;

    bool BeginDraw(TPixelSurface& Surface) override;
    void EndDraw(bool Changed) override;

protected:
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;
    void AssignTo(TPersistent* Dest) const override;

private:
    void CopyFrom(const TBitmap& Source);
    TDibImage FImage;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
    TBitmapHandleType FHandleType = bmDIB;
    std::unique_ptr<TCanvas> FCanvas;
    std::vector<Byte> FDrawBuffer; // 32-bit copy while the canvas draws
};

// Converts image to another pixel format (the conversions of SetPixelFormat).
TDibImage ConvertDibImage(const TDibImage& Source, TPixelFormat Format);
// The default palette of a palettised format.
TPalette DefaultPalette(TPixelFormat Format);
// Converts row Y of Image to Width B, G, R, A pixels at Out (alpha 255 for
// formats without alpha).
void DibRowToBGRA(const TDibImage& Image, int Y, Byte* Out);
// Reads pixel (X, Y) as B, G, R, A bytes into out[4] (zeros outside).
void ReadDibPixel(const TDibImage& Image, int X, int Y, Byte out[4]);
