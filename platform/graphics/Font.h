#pragma once
// TFont: the attributes of a text face (name, size, style, colour,
// character set, pitch, output quality) with change notification. It owns
// no system resource: text services rasterise from its logical-font
// description (TLogFont), which is also the key of their font cache.
//
// Sizes: the screen is fixed at 96 pixels per inch. Height < 0 is the
// character (em) height in pixels, Height > 0 the cell height (ascent +
// descent); Size = -MulDiv(Height, 72, 96) points, and setting Size stores
// Height = -MulDiv(Size, 96, 72).
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/base/Object.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"
#include "platform/graphics/Colors.h"

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// The set of TFontStyle.
class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> Styles) {
        for (TFontStyle s : Styles)
            FBits |= Bit(s);
    }
    constexpr bool Contains(TFontStyle s) const { return (FBits & Bit(s)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Include(TFontStyle s) { FBits |= Bit(s); }
    constexpr void Exclude(TFontStyle s) { FBits &= std::uint8_t(~Bit(s)); }
    constexpr std::uint8_t Bits() const { return FBits; }
    static constexpr TFontStyles FromBits(std::uint8_t b) {
        TFontStyles r;
        r.FBits = std::uint8_t(b & 0x0F);
        return r;
    }
    friend constexpr TFontStyles operator+(TFontStyles a, TFontStyles b) {
        return FromBits(std::uint8_t(a.FBits | b.FBits));
    }
    friend constexpr TFontStyles operator-(TFontStyles a, TFontStyles b) {
        return FromBits(std::uint8_t(a.FBits & ~b.FBits));
    }
    friend constexpr TFontStyles operator*(TFontStyles a, TFontStyles b) {
        return FromBits(std::uint8_t(a.FBits & b.FBits));
    }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

private:
    static constexpr std::uint8_t Bit(TFontStyle s) { return std::uint8_t(1u << unsigned(s)); }
    std::uint8_t FBits = 0;
};

enum TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };

// Output qualities with the system's numbers. Text services rasterise
// fqDefault, fqDraft, fqProof and fqNonAntialiased as pure on/off coverage,
// fqAntialiased and the two sub-pixel qualities with grey levels (never
// coloured fringes).
enum TFontQuality : std::uint8_t {
    fqDefault = 0,
    fqDraft = 1,
    fqProof = 2,
    fqNonAntialiased = 3,
    fqAntialiased = 4,
    fqClearType = 5,
    fqClearTypeNatural = 6
};

using TFontCharset = std::uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;

constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

// A logical-font description: value type, comparable and hashable, the key
// of the text services' font cache.
struct TLogFont {
    int Height = 0;
    int Width = 0;
    int Escapement = 0;
    int Orientation = 0;
    int Weight = FW_NORMAL;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint8_t CharSet = DEFAULT_CHARSET;
    std::uint8_t OutPrecision = 0;
    std::uint8_t ClipPrecision = 0;
    std::uint8_t Quality = fqDefault;
    // Low bits: 0 default, 1 fixed, 2 variable.
    std::uint8_t PitchAndFamily = 0;
    std::string FaceName;

    friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

struct TLogFontHash {
    std::size_t operator()(const TLogFont& f) const noexcept;
};

constexpr int ScreenPixelsPerInch = 96;

class TFont : public TPersistent {
public:
    QM_CLASSNAME(TFont)

    // "MS Sans Serif", Height -11 (8 points), no style, clWindowText,
    // DEFAULT_CHARSET, fpDefault, fqDefault.
    TFont();
    ~TFont() override = default;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value); // an empty name is ignored
    int Size() const;
    void SetSize(int Points);
    int Height() const { return FHeight; }
    void SetHeight(int Pixels);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset Value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch Value);
    TFontQuality Quality() const { return FQuality; }
    void SetQuality(TFontQuality Value);
    int PixelsPerInch() const { return ScreenPixelsPerInch; }

    // The description of this font with its own quality. "Default" (any
    // case) as a name describes "MS Sans Serif".
    TLogFont LogFont() const;
    // Takes every attribute from a description (as giving a font handle to
    // the font does); the colour is kept. Fires OnChange once.
    void SetLogFont(const TLogFont& Value);

    // Copies every attribute (name, height, style, colour, charset, pitch,
    // quality) from another font and fires OnChange once; other sources go
    // to the inherited rule.
    void Assign(const TPersistent* Source) override;
    void Assign(const TFont& Source);

    // Fired after every change of an attribute; setting a value equal to the
    // present one fires nothing.
    TNotifyEvent OnChange;

protected:
    virtual void Changed();

private:
    std::string FName;
    int FHeight;
    TFontStyles FStyle;
    TColor FColor;
    TFontCharset FCharset;
    TFontPitch FPitch;
    TFontQuality FQuality;
};

// Points <-> pixels at 96 DPI, both ways through MulDiv (half away from
// zero): PointsToHeight(8) = -11, HeightToPoints(-11) = 8.
int PointsToHeight(int Points);
int HeightToPoints(int Height);

// The logical font the raster engine creates to force a quality: height
// from the font, weight 700 when bold else 400, italic, underline and
// strike-out from the style, the font's charset, precisions 0, the given
// quality, pitch variable -> 2, fixed -> 1, default -> 0, face = the font's
// name, or "MS Sans Serif" when that name is "Default" (any case).
TLogFont BuildLogFont(const TFont& Font, TFontQuality Quality);
