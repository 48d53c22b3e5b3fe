#pragma once
// TMetafile: the vector picture formats (.wmf, .emf) are registered so that
// their files are recognised, but this program does not play them: loading
// one raises EInvalidGraphic with SMetafileNotSupported and the picture stays
// empty.
#include "platform/graphics/Graphic.h"

constexpr const char* SMetafileNotSupported =
    "Metafile pictures (.wmf, .emf) are not supported by this program";

class TMetafile : public TGraphic {
public:
    QM_CLASSNAME(TMetafile)

    bool Empty() const override { return true; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int Value) override { FWidth = Value < 0 ? 0 : Value; }
    void SetHeight(int Value) override { FHeight = Value < 0 ? 0 : Value; }
    bool Enhanced() const { return FEnhanced; }
    void SetEnhanced(bool Value) { FEnhanced = Value; }

    void LoadFromStream(TStream& Stream) override;
    // An empty metafile writes nothing.
    void SaveToStream(TStream& Stream) const override {}
    void Assign(const TPersistent* Source) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

protected:
    void Draw(TCanvas* ACanvas, const TRect& Rect) override {}

private:
    int FWidth = 0;
    int FHeight = 0;
    bool FEnhanced = true;
};
