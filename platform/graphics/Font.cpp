#include "platform/graphics/Font.h"

#include <functional>

#include "platform/base/Rounding.h"

namespace {

bool IsDefaultName(const std::string& Name) {
    static constexpr char Default[] = "default";
    if (Name.size() != sizeof(Default) - 1) return false;
    for (std::size_t i = 0; i < Name.size(); ++i) {
        char c = Name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != Default[i]) return false;
    }
    return true;
}

std::uint8_t PitchBits(TFontPitch Pitch) {
    switch (Pitch) {
    case fpVariable:
        return 2;
    case fpFixed:
        return 1;
    default:
        return 0;
    }
}

} // namespace

std::size_t TLogFontHash::operator()(const TLogFont& f) const noexcept {
    std::size_t h = std::hash<std::string>()(f.FaceName);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    mix(std::size_t(std::uint32_t(f.Height)));
    mix(std::size_t(std::uint32_t(f.Width)));
    mix(std::size_t(std::uint32_t(f.Escapement)));
    mix(std::size_t(std::uint32_t(f.Orientation)));
    mix(std::size_t(std::uint32_t(f.Weight)));
    mix(std::size_t(f.Italic) | std::size_t(f.Underline) << 1 | std::size_t(f.StrikeOut) << 2);
    const std::uint64_t Bytes = std::uint64_t(f.CharSet) | std::uint64_t(f.OutPrecision) << 8 |
                                std::uint64_t(f.ClipPrecision) << 16 |
                                std::uint64_t(f.Quality) << 24 |
                                std::uint64_t(f.PitchAndFamily) << 32;
    mix(std::size_t(Bytes ^ (Bytes >> 29)));
    return h;
}

int PointsToHeight(int Points) {
    return -MulDiv(Points, ScreenPixelsPerInch, 72);
}
int HeightToPoints(int Height) {
    return -MulDiv(Height, 72, ScreenPixelsPerInch);
}

TFont::TFont()
    : FName("MS Sans Serif"), FHeight(PointsToHeight(8)), FColor(clWindowText),
      FCharset(DEFAULT_CHARSET), FPitch(fpDefault), FQuality(fqDefault) {}

void TFont::Changed() {
    if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& Value) {
    if (Value.empty() || Value == FName) return;
    FName = Value;
    Changed();
}

int TFont::Size() const {
    return HeightToPoints(FHeight);
}

void TFont::SetSize(int Points) {
    SetHeight(PointsToHeight(Points));
}

void TFont::SetHeight(int Pixels) {
    if (Pixels == FHeight) return;
    FHeight = Pixels;
    Changed();
}

void TFont::SetStyle(TFontStyles Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TFont::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TFont::SetCharset(TFontCharset Value) {
    if (Value == FCharset) return;
    FCharset = Value;
    Changed();
}

void TFont::SetPitch(TFontPitch Value) {
    if (Value == FPitch) return;
    FPitch = Value;
    Changed();
}

void TFont::SetQuality(TFontQuality Value) {
    if (Value == FQuality) return;
    FQuality = Value;
    Changed();
}

TLogFont TFont::LogFont() const {
    return BuildLogFont(*this, FQuality);
}

void TFont::SetLogFont(const TLogFont& Value) {
    if (!Value.FaceName.empty()) FName = Value.FaceName;
    FHeight = Value.Height;
    TFontStyles Style;
    if (Value.Weight >= FW_BOLD) Style.Include(fsBold);
    if (Value.Italic) Style.Include(fsItalic);
    if (Value.Underline) Style.Include(fsUnderline);
    if (Value.StrikeOut) Style.Include(fsStrikeOut);
    FStyle = Style;
    FCharset = Value.CharSet;
    switch (Value.PitchAndFamily & 3) {
    case 1:
        FPitch = fpFixed;
        break;
    case 2:
        FPitch = fpVariable;
        break;
    default:
        FPitch = fpDefault;
        break;
    }
    FQuality = Value.Quality <= fqClearTypeNatural ? TFontQuality(Value.Quality) : fqDefault;
    Changed();
}

void TFont::Assign(const TFont& Source) {
    if (&Source == this) return;
    FName = Source.FName;
    FHeight = Source.FHeight;
    FStyle = Source.FStyle;
    FColor = Source.FColor;
    FCharset = Source.FCharset;
    FPitch = Source.FPitch;
    FQuality = Source.FQuality;
    Changed();
}

void TFont::Assign(const TPersistent* Source) {
    if (const auto* Font = dynamic_cast<const TFont*>(Source)) {
        Assign(*Font);
        return;
    }
    TPersistent::Assign(Source);
}

TLogFont BuildLogFont(const TFont& Font, TFontQuality Quality) {
    TLogFont f;
    f.Height = Font.Height();
    f.Weight = Font.Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    f.Italic = Font.Style().Contains(fsItalic);
    f.Underline = Font.Style().Contains(fsUnderline);
    f.StrikeOut = Font.Style().Contains(fsStrikeOut);
    f.CharSet = Font.Charset();
    f.Quality = Quality;
    f.PitchAndFamily = PitchBits(Font.Pitch());
    f.FaceName = IsDefaultName(Font.Name()) ? std::string("MS Sans Serif") : Font.Name();
    return f;
}
