#pragma once
// Glyphs of the drop-down colour buttons.
//
// TButtonGlyph owns a button's Glyph bitmap, cuts it into up to four state
// images (up, disabled, down, exclusive) on first drawing in each state and
// keeps them in a TGlyphList shared by every button whose images have the
// same size; the one TGlyphCache hands the lists out and frees a list when
// its last image is released. CalcGlyphLayout places glyph and caption in
// the button face; DrawGlyphAndCaption draws both and returns the rectangle
// in which the button paints its colour indicator. Main thread only.
#include "platform/forms/ComCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Text drawing flags of the window system (single-line texts only).
constexpr std::uint32_t DT_LEFT = 0x0000;
constexpr std::uint32_t DT_CENTER = 0x0001;
constexpr std::uint32_t DT_RIGHT = 0x0002;
constexpr std::uint32_t DT_VCENTER = 0x0004;
constexpr std::uint32_t DT_BOTTOM = 0x0008;
constexpr std::uint32_t DT_SINGLELINE = 0x0020;
constexpr std::uint32_t DT_CALCRECT = 0x0400;

// One line of Text in Rect by Flags; with DT_CALCRECT nothing is drawn and
// Rect's right and bottom are set to the text's extent.
void DrawButtonText(TCanvas* Canvas, std::string_view Text, TRect& Rect, std::uint32_t Flags);

// An image list of one size whose slots are reused: a released slot keeps
// its image until the next glyph of that size takes it.
class TGlyphList : public TImageList {
public:
    QM_CLASSNAME(TGlyphList)
    TGlyphList(int AWidth, int AHeight);

    int AddGlyphMasked(TBitmap* Image, TColor MaskColor);
    void ReleaseSlot(int Index);
    int Count() const { return FCount; }

private:
    int ReserveSlot();
    std::vector<bool> FUsed;
    int FCount = 0;
};

class TGlyphCache {
public:
    ~TGlyphCache();
    TGlyphList* ListForSize(int AWidth, int AHeight);
    // Frees List when none of its slots is in use.
    void ReleaseList(TGlyphList* List);
    bool IsEmpty() const { return FGlyphLists.empty(); }
    int ListCount() const { return int(FGlyphLists.size()); }

private:
    std::vector<TGlyphList*> FGlyphLists;
};

// The process-wide cache: made by the first glyph, freed with the last
// glyph once it holds no list.
TGlyphCache* GlyphCacheInstance();

struct TGlyphLayout {
    TPoint GlyphPos;
    TRect TextBounds;
};

class TButtonGlyph : public TObject {
public:
    QM_CLASSNAME(TButtonGlyph)
    TButtonGlyph();
    ~TButtonGlyph() override;
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    TBitmap* Glyph() const { return FOriginal.get(); }
    // Copies Value (null clears); a width that is a whole multiple of the
    // height sets the image count (1 above 4).
    void AssignGlyph(TBitmap* Value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetGlyphCount(int Value);
    TColor TransparentColor() const { return FTransparentColor; }

    void DropImages();
    // The slot of the state's image in GlyphList(), made on first need; -1
    // without a glyph.
    int ImageForState(TButtonState State);
    TGlyphList* GlyphList() const { return FGlyphList; }

    TGlyphLayout CalcGlyphLayout(TCanvas* Canvas, const TRect& Client, std::uint32_t BiDiFlags,
                                 int DropDownWidth, int Margin, int Spacing, TButtonLayout Layout,
                                 const std::string& Caption, TPoint Offset) const;
    void DrawGlyphImage(TCanvas* Canvas, TPoint Pos, bool Transparent, TButtonState State);
    void DrawCaption(TCanvas* Canvas, const std::string& Caption, std::uint32_t BiDiFlags,
                     TButtonState State, TRect TextBounds);
    // Returns the colour indicator's rectangle.
    TRect DrawGlyphAndCaption(TCanvas* Canvas, const TRect& Client, std::uint32_t BiDiFlags,
                              int DropDownWidth, bool Transparent, TButtonState State, int Margin,
                              int Spacing, TButtonLayout Layout, const std::string& Caption,
                              TPoint Offset);

    TNotifyEvent OnChange;

private:
    void GlyphChanged(TObject* Sender);
    int GlyphWidth() const;

    std::unique_ptr<TBitmap> FOriginal;
    TGlyphList* FGlyphList = nullptr;
    std::array<int, 4> FIndexes{-1, -1, -1, -1};
    TColor FTransparentColor = 0x008080;
    int FNumGlyphs = 1;
};
