#pragma once
// TBannerRenderer draws a banner document into a 32-bit bitmap: background,
// then the composition's content (images, then texts), then the border. The
// editor canvas goes through RedrawBanner, which also records the elements'
// hit rectangles in the document and the redraw's effect on the modified
// flag; the animation frames (banner/Effects.h) use the same pieces with a
// read-only document.
//
// Texts read their properties from the value lines of the document; a size
// or style line that is not an integer raises EConvertError, a colour text
// that names nothing raises it too. Untrusted sizes are kept within
// MinTextSize..MaxTextSize points so that a document cannot ask for a glyph
// bitmap of unbounded size.
#include "banner/BannerDocument.h"
#include "platform/base/Types.h"
#include "raster/RasterCore.h"

#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Everything one text value needs to be drawn.
struct TTextLook {
    std::string Text;
    TColor Color = clBlack;
    std::string FontName;
    int Style = 0; // 0 regular, 1 bold, 2 italic, 3 bold italic
    int Size = 8;  // points
    bool Shadow = false;
};

constexpr int MinTextSize = 1;
// Twice the largest size the size editor offers: a larger size from a file
// is drawn at this one (its glyphs are rendered at twice the size).
constexpr int MaxTextSize = 144;
// The grey of a text's shadow, one pixel right and down.
constexpr TColor TextShadowColor = 0x808080;

// Line Line of Element as a look; raises EConvertError for a bad colour,
// style or size line.
TTextLook TextLookOf(const TTextElement& Element, int Line);
// Converts every line and field that drawing a banner of Composition with
// these elements may convert: the first text's value, the main text's values
// (those the animation alternates and those the text holds, up to three) and
// the images' positions and key colours. Raises EConvertError as drawing
// would, so a document can be refused before it replaces the open one.
void CheckDrawableElements(TCompositionKind Composition, bool Three,
                           const std::vector<TTextElement>& Texts,
                           const std::vector<TImageElement>& Images);
// Gives B's font the look's name, style and size (limited to the sane range).
void ApplyTextFont(TBitmap32& B, const TTextLook& Look, int Size);
// Measures Text in B's present font.
TSize MeasureLookText(TBitmap32& B, std::string_view Text);
// The text rules: shadow at (X + 1, Y + 1) when asked, then the text at
// (X, Y), antialias level 1; Alpha replaces the alpha of both colours. The
// font must already be applied. Only what can reach B is rendered.
void DrawLookText(TBitmap32& B, const TTextLook& Look, std::string_view Text, int X, int Y,
                  int Alpha = 255);

class TBannerRenderer {
public:
    // The document is not owned and must outlive the renderer.
    explicit TBannerRenderer(TBannerDocument& Document) : FDocument(Document) {}

    // Redraws the editor canvas: nothing (and False) when no banner is open;
    // else background, composition, border, the hit rectangles, and the
    // modified flag (set, unless KeepSaveDisabled).
    bool RedrawBanner(TBitmap32& Canvas, bool KeepSaveDisabled);

    // The pieces. DrawBackground resizes B to the banner's size.
    void DrawBackground(TBitmap32& B) const;
    void DrawBorder(TBitmap32& B) const;
    void RenderComposition1(TBitmap32& B);
    void RenderComposition2(TBitmap32& B);
    void RenderComposition3(TBitmap32& B);
    // The first text at rest (compositions 2 and 3).
    void DrawFirstText(TBitmap32& B);
    // Every image element of composition 2 with its transparent colour.
    void DrawImageElement(TBitmap32& B);

    TBannerDocument& Document() const { return FDocument; }

private:
    TBannerDocument& FDocument;
};

// ---- Shared by the canvas and the frame renderers (const document).

// Draws the background kind of Doc into B, resized to the banner's size.
void DrawBannerBackground(const TBannerDocument& Doc, TBitmap32& B);
// One-pixel lines on the checked sides in clbord's colour.
void DrawBannerBorder(const TBannerDocument& Doc, TBitmap32& B);
// Draws the image elements; the hit rectangles go to Hits (three entries)
// when not null.
void DrawBannerImages(const TBannerDocument& Doc, TBitmap32& B, THitRect* Hits);
// The first text at rest; its hit rectangle goes to Hit when not null.
void DrawBannerFirstText(const TBannerDocument& Doc, TBitmap32& B, THitRect* Hit);
// A copy of the part Part (in the picture's pixels) of picture Index (0..2)
// with alpha 255, and 0 where it shows its element's transparent colour;
// blend draw mode. Empty when absent or when Part misses the picture.
void PrepareImagePicture(const TBannerDocument& Doc, int Index, TBitmap32& Out,
                         TRect Part = {0, 0, std::numeric_limits<int>::max(),
                                       std::numeric_limits<int>::max()});
// Blends picture Index, prepared as above, onto B with its top-left corner at
// (X, Y) and master alpha Alpha; only the part inside B's clip rectangle is
// prepared. False when the element has no picture.
bool DrawImagePicture(const TBannerDocument& Doc, int Index, TBitmap32& B, int X, int Y, int Alpha);

// The anchor of the first text for a text of width Tw (automatic placement
// or the stored position). Composition 2 ignores Tw.
TPoint FirstTextAnchor(const TBannerDocument& Doc, int Tw);
// The anchor of value V (1..3) of the main text measuring Tw x Th. In
// composition 1, Editor chooses between the canvas rule (div) and the
// animation rule (round half to even).
TPoint MainTextAnchor(const TBannerDocument& Doc, int V, int Tw, int Th, bool Editor);
// The stored position of value V (1..3) or of the first text (V = 0).
TPoint StoredPosition(const TBannerDocument& Doc, int V);
// The automatic flag of value V (1..3) or of the first text (V = 0).
bool AutoPosition(const TBannerDocument& Doc, int V);
