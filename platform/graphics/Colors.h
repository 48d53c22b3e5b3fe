#pragma once
// Colours of the class library. A TColor is 0x00BBGGRR for a plain colour;
// a negative value (high bit set) names a system colour whose index is the
// low byte; clNone and clDefault are the two special values.
//
// Colour texts are what documents and component streams store: an
// identifier ("clWhite", matched without regard to case) or "$" followed by
// eight hexadecimal digits. Extra identifier tables can be registered; the
// most recently registered table is searched first, the class library's own
// table last.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

using TColor = std::int32_t;

constexpr TColor clSystemColor = TColor(0x80000000);

// System colours (the index is the system's colour index).
constexpr TColor clScrollBar = TColor(0x80000000);
constexpr TColor clBackground = TColor(0x80000001);
constexpr TColor clActiveCaption = TColor(0x80000002);
constexpr TColor clInactiveCaption = TColor(0x80000003);
constexpr TColor clMenu = TColor(0x80000004);
constexpr TColor clWindow = TColor(0x80000005);
constexpr TColor clWindowFrame = TColor(0x80000006);
constexpr TColor clMenuText = TColor(0x80000007);
constexpr TColor clWindowText = TColor(0x80000008);
constexpr TColor clCaptionText = TColor(0x80000009);
constexpr TColor clActiveBorder = TColor(0x8000000A);
constexpr TColor clInactiveBorder = TColor(0x8000000B);
constexpr TColor clAppWorkSpace = TColor(0x8000000C);
constexpr TColor clHighlight = TColor(0x8000000D);
constexpr TColor clHighlightText = TColor(0x8000000E);
constexpr TColor clBtnFace = TColor(0x8000000F);
constexpr TColor clBtnShadow = TColor(0x80000010);
constexpr TColor clGrayText = TColor(0x80000011);
constexpr TColor clBtnText = TColor(0x80000012);
constexpr TColor clInactiveCaptionText = TColor(0x80000013);
constexpr TColor clBtnHighlight = TColor(0x80000014);
constexpr TColor cl3DDkShadow = TColor(0x80000015);
constexpr TColor cl3DLight = TColor(0x80000016);
constexpr TColor clInfoText = TColor(0x80000017);
constexpr TColor clInfoBk = TColor(0x80000018);
constexpr TColor clHotLight = TColor(0x8000001A);
constexpr TColor clGradientActiveCaption = TColor(0x8000001B);
constexpr TColor clGradientInactiveCaption = TColor(0x8000001C);
constexpr TColor clMenuHighlight = TColor(0x8000001D);
constexpr TColor clMenuBar = TColor(0x8000001E);

// The sixteen basic colours and four extras.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// What a pixel read outside a surface returns (the system's invalid colour).
constexpr TColor CLR_INVALID = TColor(0xFFFFFFFF);

constexpr std::int32_t RGB(int R, int G, int B) {
    return std::int32_t((R & 0xFF) | ((G & 0xFF) << 8) | ((B & 0xFF) << 16));
}
constexpr std::uint8_t GetRValue(std::int32_t Rgb) {
    return std::uint8_t(Rgb & 0xFF);
}
constexpr std::uint8_t GetGValue(std::int32_t Rgb) {
    return std::uint8_t((Rgb >> 8) & 0xFF);
}
constexpr std::uint8_t GetBValue(std::int32_t Rgb) {
    return std::uint8_t((Rgb >> 16) & 0xFF);
}

// The colour of system colour Index (0..30) from a fixed classic scheme;
// unknown indexes give 0 (black), as the system does.
std::int32_t GetSysColor(int Index);

// A plain colour is returned unchanged (clNone and clDefault included); a
// system colour becomes its 0x00BBGGRR value.
std::int32_t ColorToRGB(TColor Color);

// The identifier when one names Color, else "$" and eight upper-case
// hexadecimal digits of the 32-bit value ("$00FF8000").
std::string ColorToString(TColor Color);
// The same from the class library's own table only, never from a registered
// one: what files read by other programs hold.
std::string BaseColorToString(TColor Color);
// An identifier (any case), "$" hexadecimal (up to 8 digits), "0x"
// hexadecimal or a decimal 32-bit integer. Anything else raises
// EConvertError "'<text>' is not a valid integer value".
TColor StringToColor(std::string_view S);

bool ColorToIdent(TColor Color, std::string& Ident);
bool IdentToColor(std::string_view Ident, TColor& Color);

struct TIdentMapEntry {
    TColor Value;
    const char* Name;
};

// The class library's own table, in its order (20 colours, the system
// colour names, clNone and clDefault).
std::span<const TIdentMapEntry> ColorIdentTable();

// Adds a table in front of the search order. The table's storage must
// outlive its registration (use a static array). Registering the same table
// twice has no effect; Unregister of an unknown table does nothing.
void RegisterColorIdents(std::span<const TIdentMapEntry> Table);
void UnregisterColorIdents(std::span<const TIdentMapEntry> Table);

// Calls Proc with every identifier, registered tables first, for pickers
// and combo boxes.
void GetColorValues(const std::function<void(const std::string&)>& Proc);
