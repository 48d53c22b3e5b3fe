#pragma once
// TJPEGImage: a JPEG picture. It keeps the file's bytes (saving writes them
// back unchanged) and the decoded pixels as a pf24bit bitmap. Decoding
// handles baseline and progressive files, grey, colour (YCbCr/RGB) and
// CMYK/YCCK ones (Adobe's inverted form included); any decoder failure
// raises EInvalidGraphic with the decoder's own text appended. Scale,
// Grayscale and Performance change how the pixels are decoded.
#include <memory>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };

constexpr const char* SInvalidJpeg = "JPEG image is not valid";
// Why a file was refused, after SInvalidJpeg and ": ".
constexpr const char* SJpegNotJpeg = "not a JPEG file";
constexpr const char* SJpegTruncated = "the file ends before the picture";
constexpr const char* SJpegDamaged = "damaged or unsupported picture data";

struct TJpegDecodeOptions {
    TJPEGScale Scale = jsFullSize;
    bool Grayscale = false;
    TJPEGPerformance Performance = jpBestQuality;
};

// Decodes a JPEG file image into pf24bit pixels.
TDibImage DecodeJpeg(const Byte* data, size_t size, const TJpegDecodeOptions& options = {});

class TJPEGImage : public TGraphic {
public:
    QM_CLASSNAME(TJPEGImage)
    TJPEGImage();
    ~TJPEGImage() override;
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    bool Empty() const override { return FData.empty(); }
    int Width() const override { return FBitmap->Width(); }
    int Height() const override { return FBitmap->Height(); }
    // The size comes from the file; setting it does nothing.
    void SetWidth(int) override {}
    void SetHeight(int) override {}

    TJPEGScale Scale() const { return FOptions.Scale; }
    void SetScale(TJPEGScale Value);
    bool Grayscale() const { return FOptions.Grayscale; }
    void SetGrayscale(bool Value);
    TJPEGPerformance Performance() const { return FOptions.Performance; }
    void SetPerformance(TJPEGPerformance Value);

    // The decoded pixels (empty bitmap when there is no picture).
    const TBitmap& Bitmap() const { return *FBitmap; }

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) const override;
    // Component-stream form: int32 size, then the file bytes.
    void ReadData(TStream& Stream) override;
    void WriteData(TStream& Stream) const override;
    void Assign(const TPersistent* Source) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

protected:
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;
    // A TBitmap receives the decoded pixels.
    void AssignTo(TPersistent* Dest) const override;

private:
    void SetData(std::vector<Byte> Data);
    void Redecode();
    std::vector<Byte> FData;
    TJpegDecodeOptions FOptions;
    std::unique_ptr<TBitmap> FBitmap;
};
