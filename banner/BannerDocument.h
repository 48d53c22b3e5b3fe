#pragma once
// TBannerDocument: the one banner the editor holds. It owns every field a
// banner has (texts, images and their pictures, background, border,
// animation settings, status) and is the only place that changes them; after
// a change the caller runs Changed(), which fires OnChange so that every view
// updates. It owns no user interface: where the editor shows a field in a
// control, the field carries that control's name (tlv, ilv, Cl, Slider...).
//
// Per-value properties of a text element are lists of lines joined by CR
// (character 13), one line per value, exactly as documents store them.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "banner/BannerTypes.h"
#include "platform/base/Object.h"
#include "platform/graphics/Colors.h"
#include "raster/Color32.h"
#include "raster/RasterCore.h"

constexpr char ValueLineSeparator = '\r';

// One value of a text element: line k of the caption and of each sub-item.
struct TTextValue {
    std::string Text;
    std::string Color; // colour text
    std::string FontName;
    std::string StyleIndex; // "0" regular, "1" bold, "2" italic, "3" bold italic
    std::string Size;       // points
    std::string Shadow;     // "1" shadow, anything else none
};

// A text element (an item of tlv): the caption and sub-items 0..4, each a
// CR-joined list with one line per value.
struct TTextElement {
    std::string Caption;    // the values
    std::string Color;      // sub-item 0
    std::string FontName;   // sub-item 1
    std::string StyleIndex; // sub-item 2
    std::string Size;       // sub-item 3
    std::string Shadow;     // sub-item 4

    // Line K of every property (missing lines read as empty).
    TTextValue Value(int K) const;
    // Writes line K of every property, adding empty lines where needed.
    void SetValue(int K, const TTextValue& V);
    // Number of values (lines of the caption).
    int ValueCount() const;
    // Sub-item Index 0..4 (the columns "color", "fontname", "styleindex",
    // "fsize" and the shadow flag); nullptr outside the range.
    std::string* SubItem(int Index);
    const std::string* SubItem(int Index) const;

    bool operator==(const TTextElement&) const = default;
};

// An image element (an item of ilv): sub-items 0..4 as texts.
struct TImageElement {
    std::string Transparent = "1";            // sub-item 0: "1"/"0"
    std::string TransparentColor = "clWhite"; // sub-item 1: colour text
    std::string X = "0";                      // sub-item 2: decimal, banner pixels
    std::string Y = "0";                      // sub-item 3
    std::string Effect = "0";                 // sub-item 4: TImageEffect, never stored in a file

    bool IsTransparent() const { return Transparent == "1"; }
    // StrToInt of X / Y / Effect (EConvertError on a bad text).
    int PosX() const;
    int PosY() const;
    int EffectIndex() const;
    std::string* SubItem(int Index);
    const std::string* SubItem(int Index) const;

    bool operator==(const TImageElement&) const = default;
};

// Left, top, width, height of an element as last drawn (hover frames).
struct THitRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const THitRect&) const = default;
};

// The model side of the new-banner dialog's answers.
struct TNewBannerOptions {
    std::string Name = "sans_nom"; // Bnedit
    int ModelIndex = 0;            // Models: 0 "Composition 1", 1 "Composition 3"
    int Width = 468;               // bannerwidth
    int Height = 60;               // bannerheight
    int FormatIndex = 0;           // formatcombo: TBannerFormat, 4 custom
};

class TBannerDocument : public TObject {
public:
    QM_CLASSNAME(TBannerDocument)

    static constexpr int MaxImages = 3;
    static constexpr int SliderMin = 1;
    static constexpr int SliderMax = 15;
    static constexpr int DefaultImageWidth = 60;
    static constexpr int DefaultImageHeight = 40;
    static constexpr const char* ProgramTitle = "Quillomark Free 5.0";

    // The state of a freshly created main window: no banner open, the
    // start values of every control, the default image in Image2. Starts
    // the raster engine if it is not running yet.
    TBannerDocument();
    ~TBannerDocument() override;
    TBannerDocument(const TBannerDocument&) = delete;
    TBannerDocument& operator=(const TBannerDocument&) = delete;

    // ---- Kind of banner and size.
    TCompositionKind Composition = ckNone; // the main window's Tag
    std::uint8_t BannerFormat = bfStandard;
    std::int32_t BannerWidth = 468;
    std::int32_t BannerHeight = 60;

    // ---- Text elements. Composition 1: item 0 is the main text.
    // Compositions 2 and 3: item 0 the first text, item 1 the main text.
    std::vector<TTextElement> tlv;

    // ---- Positions and effects.
    std::array<std::int32_t, 6> TextPositions{}; // x, y of value 1, value 2, first text
    std::array<std::int32_t, 2> Value3Position{};
    std::array<std::uint8_t, 4> AutoPositions{1, 1, 1, 1}; // value 1, value 2, first text, value 3
    std::array<std::int32_t, 3> ValueEffects{};            // TTextEffect of values 1..3
    std::int32_t FirstTextEffect = teNone;

    // ---- Image elements (composition 2 only), at most three, and their
    // pictures (images 1, 2, 3). Image2 is the default picture new image
    // elements start with.
    std::vector<TImageElement> ilv;
    TBitmap32 Image1;
    TBitmap32 Extimage1;
    TBitmap32 extimage2;
    TBitmap32 Image2;

    // ---- Background.
    TBackgroundKind BackgroundKind = bgColor; // rbColor..rbImage
    TColor Cl = 12910532;                     // $00C4FFC4
    TColor cg1 = clWhite;
    TColor cg2 = 7340031; // $006FFFFF
    bool dxH = true;      // horizontal gradient; dxV is its opposite
    TColor cc1 = clWhite;
    TColor cc2 = 16768443;           // $00FFDDBB
    std::int32_t TemplateNumber = 0; // the template list's item index
    TColor cp1 = clWhite;            // template key colour
    TBitmap32 Tex;                   // the recoloured template picture
    TBitmap32 extimage;              // the external background picture
    std::string ExtImageFileName;    // obg's file name

    // ---- Border.
    bool BrLeft = false;
    bool BrRight = false;
    bool BrTop = false;
    bool BrBottom = false;
    TColor clbord = clBlack;

    // ---- Animation settings.
    bool forever = true;           // noforever is its opposite
    int loops = 1;                 // minimum 1
    int effectcombo = trNone;      // TTransitionKind
    int Slider = 8;                // speed, SliderMin..SliderMax
    bool three = false;            // three values alternate, else two
    int TextEffectCombo = teNone;  // effect of the selected value (editor)
    int ImageEffectCombo = ieNone; // effect of image 1 in the animation

    // ---- Editor selection the renderers read.
    int SelectedText = 0;  // entry of Texts
    int SelectedValue = 0; // node of Values: the value line drawn on the canvas
    int SelectedImage = 0; // entry of Images
    bool custom = false;   // composition 1 canvas uses the stored position

    // ---- Status.
    bool Modified = false;    // Tbsave enabled
    bool SavedBefore = false; // Sv's Tag: false means the next save asks a name
    std::string FileName;     // sd's file name
    std::string OpenFileName; // od's file name: the last opened file

    // ---- Hit rectangles, written by the renderers.
    THitRect HitRectText1;
    THitRect HitRectValue1, HitRectValue2, HitRectValue3;
    THitRect HitRectImage1, HitRectImage2, HitRectImage3;

    // Fired by Changed().
    TNotifyEvent OnChange;

    // Loads template TemplateNumber of the current BannerFormat into Tex and
    // sets cp1 from its key pixel (the template dialog's loading). Without
    // a loader Tex is emptied, as when the template file is missing.
    std::function<void(TBannerDocument& Document)> TemplateLoader;

    // ---- Operations.
    void Changed();
    // The effect of a redraw on the modified flag: nothing when no banner is
    // open, else modified unless KeepSaveDisabled.
    void RedrawDone(bool KeepSaveDisabled);
    // "Quillomark Free 5.0 - " + file name without folder, or the title
    // alone when no banner is open.
    std::string Caption() const;

    // The new-banner command after its dialog said OK and any unsaved
    // changes were dealt with. A model index outside 0..2 changes nothing.
    void NewBanner(const TNewBannerOptions& Options);
    // The defaults of a new banner of each composition, by BannerFormat;
    // nothing happens for a format outside 0..3.
    void SetUpComposition1();
    void SetUpComposition2();
    void SetUpComposition3();
    // Loop forever, one loop, no transition, speed SliderMax div 2 + 1.
    void ResetAnimationSettings();
    // Back to no banner open; the start values of the controls stay.
    void CloseBanner();
    // Runs TemplateLoader (or empties Tex).
    void LoadTemplate();

    // ---- Elements.
    // Index of the main text in tlv (0 for composition 1, else 1).
    int MainTextIndex() const { return Composition == ckOneText ? 0 : 1; }
    // nullptr when the element does not exist.
    TTextElement* MainText();
    const TTextElement* MainText() const;
    // The first text of compositions 2 and 3; nullptr otherwise.
    TTextElement* FirstText();
    const TTextElement* FirstText() const;
    // Number of values the animation alternates: 3 when three, else 2.
    int ActiveValueCount() const { return three ? 3 : 2; }
    // Values 1..ActiveValueCount of the main text (empty without one).
    std::vector<TTextValue> ActiveValues() const;
    // Picture of image element Index 0..2 (Image1, Extimage1, extimage2);
    // nullptr outside the range.
    TBitmap32* ImagePicture(int Index);
    const TBitmap32* ImagePicture(int Index) const;
    // Hit rectangle of value V 1..3 / image Index 0..2; nullptr outside.
    THitRect* HitRectValue(int V);
    THitRect* HitRectImage(int Index);
    bool dxV() const { return !dxH; }
    // "Texte #1".. / "Image #1".. for Index 0-based.
    static std::string TextElementName(int Index);
    static std::string ImageElementName(int Index);

    // ---- Value lines of a CR-joined list. Reading accepts CR LF, CR or
    // LF as separators; a final separator does not open an empty line.
    static std::vector<std::string> SplitValueLines(std::string_view Text);
    static std::string JoinValueLines(const std::vector<std::string>& Lines);
    // Line N (0-based); empty when N is negative or past the last line.
    static std::string GetValueLine(std::string_view Text, int N);
    // Text with line N replaced (empty lines added up to N); N < 0 leaves
    // Text as it is.
    static std::string SetValueLine(std::string_view Text, int N, std::string_view Line);
    static int ValueCount(std::string_view Text);

    // ---- Colour texts.
    // The class library's text of a colour from its own names only
    // ("clWhite", "$00333333").
    static std::string ColorText(TColor Color);
    // Identifier (any case) or number; raises EConvertError otherwise.
    static TColor ColorFromText(std::string_view Text);
    // The opaque TColor32 of a colour (system colours resolved).
    static TColor32 ColorToColor32(TColor Color);

private:
    void FillDefaultImage();
};
