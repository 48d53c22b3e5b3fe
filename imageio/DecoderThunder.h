#pragma once
// TThunderDecoder: the 4-bit ThunderScan coding of TIFF (compression 32809).
// Rows of Width samples, two per byte, high nibble first; each row starts on
// a byte of its own and with a last value of 0.
#include "imageio/Decoder.h"

class TThunderDecoder : public TDecoder {
public:
    QM_CLASSNAME(TThunderDecoder)
    explicit TThunderDecoder(int Width) : FWidth(Width > 0 ? Width : 0) {}
    // Decodes rows until the input or the output runs out.
    void Decode(const Byte*& Source, Byte*& Dest, std::int64_t PackedSize,
                std::int64_t UnpackedSize) override;
    // One run byte repeats the last pixel up to 63 times (4 bits each).
    std::int64_t MaxExpansion() const override { return 32; }

private:
    int FWidth;
};
