#pragma once
// TIcon: a picture read from an icon file (.ico). Of the images the file
// holds, the largest (then the deepest) is shown; it is kept as 32-bit
// B,G,R,A pixels whose alpha comes from the image's alpha channel or its AND
// mask. PNG-compressed entries go to the PNG decoder the picture readers
// install (SetIconPngDecoder); without one they are passed over for the best
// other entry. Saving writes the file as it was read. Icons are always
// transparent and cannot be resized.
#include <vector>

#include "platform/graphics/BmpFormat.h"
#include "platform/graphics/Graphic.h"

constexpr const char* SInvalidIcon = "Icon image is not valid";
constexpr const char* SPngIconNotSupported = "PNG-compressed icon images are not supported";
constexpr const char* SChangeIconSize = "Cannot change the size of an icon";

class TIcon : public TGraphic {
public:
    QM_CLASSNAME(TIcon)
    TIcon();

    bool Empty() const override { return FImage.Width == 0; }
    int Width() const override { return FImage.Width; }
    int Height() const override { return FImage.Height; }
    // EInvalidGraphicOperation SChangeIconSize for any other size.
    void SetWidth(int Value) override;
    void SetHeight(int Value) override;

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override;
    void Assign(const TPersistent* Source) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

    // The shown image: pf32bit, alpha 0 where the icon is transparent.
    const TDibImage& Image() const { return FImage; }

protected:
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;
    // A TBitmap receives the pf32bit image with its alpha.
    void AssignTo(TPersistent* Dest) const override;

private:
    std::vector<Byte> FData;
    TDibImage FImage;
};

// Decodes a PNG-compressed icon entry into pf32bit B,G,R,A rows, or raises
// EInvalidGraphic.
using TIconPngDecoder = TDibImage (*)(const Byte* Data, size_t Size);
// Installs the decoder (nullptr removes it).
void SetIconPngDecoder(TIconPngDecoder Decoder);

// Decodes the icon file image at data[0..size): the chosen entry's pixels.
// consumed receives the bytes the file occupies.
TDibImage ReadIcon(const Byte* data, size_t size, size_t* consumed = nullptr);
