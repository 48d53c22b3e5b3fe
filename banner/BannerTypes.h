#pragma once
// The enumerations of a banner. They are plain enumerations with a fixed
// 32-bit base because documents store them as integers and a value read from
// a file may lie outside the named range; readers check before they trust one.
#include <cstdint>
#include <string>

// What the open banner is made of (0: no banner open).
enum TCompositionKind : std::int32_t {
    ckNone = 0,
    ckOneText = 1,
    ckTwoTextsImage = 2,
    ckTwoTexts = 3,
};

// The standard formats; a custom size is stored as bfStandard.
enum TBannerFormat : std::uint8_t {
    bfStandard = 0,
    bfHalfBanner = 1,
    bfLargeRectangle = 2,
    bfLargeBanner = 3,
    bfCustom = 4, // only an entry of the new-banner dialog, never stored
};

enum TBackgroundKind : std::int32_t {
    bgColor = 1,
    bgTemplate = 2,
    bgGradient = 3,
    bgComposed = 4,
    bgImage = 5,
};

enum TTextEffect : std::int32_t {
    teNone = 0,
    teZoomIn = 1,
    teZoomOut = 2,
    teLetterByLetter = 3,
    teFadeIn = 4,
    teFadeOut = 5,
    teFadeDouble = 6,
    teFadeZoom = 7,
    teScroll = 8,
    teSweep = 9,
};

enum TImageEffect : std::int32_t {
    ieNone = 0,
    ieSlideFromTop = 1,
    ieSlideFromBottom = 2,
    ieSlideFromLeft = 3,
    ieSlideFromRight = 4,
    ieFadeIn = 5,
};

enum TTransitionKind : std::int32_t {
    trNone = 0,
    trWipe = 1,
    trFade = 2,
    trVerticalSplit = 3,
    trHorizontalSplit = 4,
};

constexpr int TextEffectCount = 10;
constexpr int ImageEffectCount = 6;
constexpr int TransitionKindCount = 5;

// Standard pixel size of a format; false for any other value.
bool BannerFormatSize(int Format, int& Width, int& Height);

// The French names the editor shows (combo entries, status bar). An index
// outside the range gives the empty string.
std::string CompositionName(int Kind);    // "Composition 1:  (1 Texte)"...
std::string BackgroundKindName(int Kind); // "Couleur unie"...
std::string TextEffectName(int Effect);   // "Aucun", "Zoom avant"...
std::string ImageEffectName(int Effect);  // "Aucun", "Défilement de haut"...
std::string TransitionKindName(int Kind); // "Aucune", "Essuyage"...
