#include "platform/graphics/Colors.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/base/Convert.h"

namespace {

constexpr TIdentMapEntry BaseColorIdents[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
};

// The classic grey scheme, so that drawings do not depend on the desktop
// theme of the machine that runs the program. Index 25 is unused by the
// system and reads as black.
constexpr std::int32_t ClassicSysColors[31] = {
    0xC8D0D4, // 0 scroll bar
    0xA56E3A, // 1 desktop background
    0x6A240A, // 2 active caption
    0x808080, // 3 inactive caption
    0xC8D0D4, // 4 menu
    0xFFFFFF, // 5 window
    0x000000, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0xFFFFFF, // 9 caption text
    0xC8D0D4, // 10 active border
    0xC8D0D4, // 11 inactive border
    0x808080, // 12 application work space
    0x6A240A, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xC8D0D4, // 15 button face
    0x808080, // 16 button shadow
    0x808080, // 17 grey text
    0x000000, // 18 button text
    0xC8D0D4, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x404040, // 21 3D dark shadow
    0xC8D0D4, // 22 3D light
    0x000000, // 23 info text
    0xE1FFFF, // 24 info background
    0x000000, // 25 (unused)
    0x800000, // 26 hot-tracked item
    0xF0CAA6, // 27 gradient of the active caption
    0xC0C0C0, // 28 gradient of the inactive caption
    0x6A240A, // 29 menu highlight
    0xC8D0D4, // 30 menu bar
};

struct TIdentRegistry {
    std::mutex Mutex;
    // Most recent last; searched back to front.
    std::vector<std::span<const TIdentMapEntry>> Tables;
};

TIdentRegistry& Registry() {
    // Never destroyed: lookups may run from destructors of other statics.
    static TIdentRegistry* R = new TIdentRegistry;
    return *R;
}

// A snapshot, so that user callbacks run without the lock held.
std::vector<std::span<const TIdentMapEntry>> SearchOrder() {
    TIdentRegistry& R = Registry();
    std::vector<std::span<const TIdentMapEntry>> Order;
    {
        std::lock_guard<std::mutex> Guard(R.Mutex);
        Order.assign(R.Tables.rbegin(), R.Tables.rend());
    }
    Order.push_back(std::span<const TIdentMapEntry>(BaseColorIdents));
    return Order;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::int32_t GetSysColor(int Index) {
    if (Index < 0 || Index >= static_cast<int>(std::size(ClassicSysColors))) return 0;
    return ClassicSysColors[Index];
}

std::int32_t ColorToRGB(TColor Color) {
    if (Color < 0) return GetSysColor(Color & 0xFF);
    return Color;
}

bool ColorToIdent(TColor Color, std::string& Ident) {
    for (const auto& Table : SearchOrder()) {
        for (const TIdentMapEntry& e : Table) {
            if (e.Value == Color && e.Name != nullptr) {
                Ident = e.Name;
                return true;
            }
        }
    }
    return false;
}

bool IdentToColor(std::string_view Ident, TColor& Color) {
    for (const auto& Table : SearchOrder()) {
        for (const TIdentMapEntry& e : Table) {
            if (e.Name != nullptr && SameTextAscii(Ident, e.Name)) {
                Color = e.Value;
                return true;
            }
        }
    }
    return false;
}

namespace {

std::string ColorNumberText(TColor Color) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::uint32_t u = static_cast<std::uint32_t>(Color);
    std::string Result = "$00000000";
    for (int i = 8; i >= 1; --i) {
        Result[static_cast<std::size_t>(i)] = Digits[u & 0xF];
        u >>= 4;
    }
    return Result;
}

} // namespace

std::string ColorToString(TColor Color) {
    std::string Ident;
    if (ColorToIdent(Color, Ident)) return Ident;
    return ColorNumberText(Color);
}

std::string BaseColorToString(TColor Color) {
    for (const TIdentMapEntry& e : BaseColorIdents)
        if (e.Value == Color && e.Name != nullptr) return e.Name;
    return ColorNumberText(Color);
}

TColor StringToColor(std::string_view S) {
    TColor Color = 0;
    if (IdentToColor(S, Color)) return Color;
    return StrToInt(S);
}

std::span<const TIdentMapEntry> ColorIdentTable() {
    return std::span<const TIdentMapEntry>(BaseColorIdents);
}

void RegisterColorIdents(std::span<const TIdentMapEntry> Table) {
    TIdentRegistry& R = Registry();
    std::lock_guard<std::mutex> Guard(R.Mutex);
    for (const auto& t : R.Tables)
        if (t.data() == Table.data()) return;
    R.Tables.push_back(Table);
}

void UnregisterColorIdents(std::span<const TIdentMapEntry> Table) {
    TIdentRegistry& R = Registry();
    std::lock_guard<std::mutex> Guard(R.Mutex);
    R.Tables.erase(std::remove_if(R.Tables.begin(), R.Tables.end(),
                                  [&](const auto& t) { return t.data() == Table.data(); }),
                   R.Tables.end());
}

void GetColorValues(const std::function<void(const std::string&)>& Proc) {
    for (const auto& Table : SearchOrder())
        for (const TIdentMapEntry& e : Table)
            if (e.Name != nullptr) Proc(e.Name);
}
