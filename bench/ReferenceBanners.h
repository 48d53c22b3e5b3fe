#pragma once
// The three reference banners of the export benchmark, also exported by the
// test that holds the export's bytes fixed:
//   0: 468 x 60, letter-by-letter on each value, wipe transitions;
//   1: 728 x 90, zoom and fade effects, vertical split transitions, template
//      background;
//   2: 300 x 250, composition 2 (two texts and an image) with the image
//      sliding in, fade transitions.
#include <memory>
#include <string>
#include <vector>

#include "banner/BannerDocument.h"
#include "banner/TemplateArt.h"
#include "raster/RasterModule.h"

namespace reference_banners {

inline TTextElement Text(const std::vector<std::string>& Values, const char* Color,
                         const char* Size) {
    TTextElement E;
    auto repeat = [&](const std::string& v) {
        std::string s;
        for (std::size_t i = 0; i < Values.size(); ++i)
            s += (i ? "\r" : "") + v;
        return s;
    };
    for (std::size_t i = 0; i < Values.size(); ++i)
        E.Caption += (i ? "\r" : "") + Values[i];
    E.Color = repeat(Color);
    E.FontName = repeat("DejaVu Sans");
    E.StyleIndex = repeat("1");
    E.Size = repeat(Size);
    E.Shadow = repeat("1");
    return E;
}

} // namespace reference_banners

constexpr int ReferenceBannerCount = 3;

inline const char* ReferenceBannerName(int Kind) {
    static const char* names[ReferenceBannerCount] = {"468x60", "728x90", "300x250"};
    return names[Kind];
}

inline std::unique_ptr<TBannerDocument> MakeReferenceBanner(int Kind) {
    using reference_banners::Text;
    InitRasterModules();
    auto d = std::make_unique<TBannerDocument>();
    d->three = true;
    d->forever = true;
    d->Slider = 8;
    d->BrLeft = d->BrTop = d->BrRight = d->BrBottom = true;
    if (Kind == 0) {
        d->Composition = ckOneText;
        d->BannerFormat = bfStandard;
        d->BannerWidth = 468;
        d->BannerHeight = 60;
        d->BackgroundKind = bgGradient;
        d->cg1 = clWhite;
        d->cg2 = TColor(0x0099CCFF);
        d->tlv = {Text({"Soldes d'hiver", "Jusqu'à -50 %", "Venez vite"}, "clNavy", "16")};
        d->ValueEffects = {teLetterByLetter, teLetterByLetter, teLetterByLetter};
        d->effectcombo = trWipe;
    } else if (Kind == 1) {
        d->Composition = ckTwoTexts;
        d->BannerFormat = bfLargeBanner;
        d->BannerWidth = 728;
        d->BannerHeight = 90;
        d->BackgroundKind = bgTemplate;
        DrawTemplateArt(d->Tex, bfLargeBanner, 1);
        d->tlv = {Text({"Quillomark"}, "clBlack", "18"),
                  Text({"Des bannières en un clin d'oeil", "Effets, transitions, modèles",
                        "Exportation GIF optimisée"},
                       "clMaroon", "15")};
        d->FirstTextEffect = teZoomIn;
        d->ValueEffects = {teFadeIn, teZoomOut, teFadeDouble};
        d->effectcombo = trVerticalSplit;
    } else {
        d->Composition = ckTwoTextsImage;
        d->BannerFormat = bfLargeRectangle;
        d->BannerWidth = 300;
        d->BannerHeight = 250;
        d->BackgroundKind = bgGradient;
        d->cg1 = TColor(0x00FFEEDD);
        d->cg2 = clWhite;
        d->dxH = false;
        d->tlv = {Text({"Nouveau"}, "clBlack", "17"),
                  Text({"Printemps", "Été", "Automne"}, "clGreen", "14")};
        d->Image1.SetDimensions(120, 80);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x)
                d->Image1.WritePixel(x, y,
                                     (x - 60) * (x - 60) + (y - 40) * (y - 40) > 1500
                                         ? 0xFFFFFFFFu
                                         : MakeColor32(200 - x, 80 + y, 40 + x));
        TImageElement img;
        img.X = "90";
        img.Y = "150";
        d->ilv = {img};
        d->ImageEffectCombo = ieSlideFromLeft;
        d->ValueEffects = {teZoomIn, teFadeIn, teScroll};
        d->effectcombo = trFade;
    }
    return d;
}
