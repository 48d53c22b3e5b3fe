#include "platform/base/Text.h"

#include <array>

namespace {

unsigned char AsciiUpper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
unsigned char AsciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Code points of the bytes 0x80..0x9F in Windows-1252. The five bytes the
// code page leaves undefined keep the C1 control of the same value, as the
// system's own conversion does, so no byte is lost on a round trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int UnicodeToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

// Case pairs beyond ASCII that a Windows-1252 text can hold.
char32_t LatinUpper(char32_t c) {
    if (c < 0x80) return AsciiUpper(static_cast<unsigned char>(c));
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    switch (c) {
    case 0xFF:
        return 0x178;
    case 0x153:
        return 0x152;
    case 0x161:
        return 0x160;
    case 0x17E:
        return 0x17D;
    default:
        return c;
    }
}

char32_t LatinLower(char32_t c) {
    if (c < 0x80) return AsciiLower(static_cast<unsigned char>(c));
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
    case 0x178:
        return 0xFF;
    case 0x152:
        return 0x153;
    case 0x160:
        return 0x161;
    case 0x17D:
        return 0x17E;
    default:
        return c;
    }
}

template <typename Map> std::string MapLatin(std::string_view s, Map map) {
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t start = pos;
        char32_t cp;
        if (NextUtf8Char(s, pos, cp))
            AppendUtf8(out, map(cp));
        else
            out.append(s.substr(start, pos - start)); // keep bytes we do not understand
    }
    return out;
}

std::size_t FindIgnoreCase(std::string_view s, std::string_view pat, std::size_t from) {
    if (pat.size() > s.size()) return std::string_view::npos;
    for (std::size_t i = from; i + pat.size() <= s.size(); ++i) {
        std::size_t k = 0;
        while (k < pat.size() && AsciiUpper(static_cast<unsigned char>(s[i + k])) ==
                                     AsciiUpper(static_cast<unsigned char>(pat[k])))
            ++k;
        if (k == pat.size()) return i;
    }
    return std::string_view::npos;
}

} // namespace

bool NextUtf8Char(std::string_view s, std::size_t& pos, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        cp = b0;
        ++pos;
        return true;
    }
    int need;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    char32_t value;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        value = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        value = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        ++pos;
        return false;
    }
    std::size_t p = pos + 1;
    for (int i = 0; i < need; ++i, ++p) {
        if (p >= s.size()) {
            pos = p;
            return false;
        }
        unsigned char b = byte(p);
        unsigned char l = i == 0 ? lo : 0x80, h = i == 0 ? hi : 0xBF;
        if (b < l || b > h) {
            pos = p;
            return false;
        }
        value = (value << 6) | (b & 0x3F);
    }
    pos = p;
    cp = value;
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::size_t Utf8Length(std::string_view s) {
    std::size_t n = 0, pos = 0;
    char32_t cp;
    while (pos < s.size()) {
        NextUtf8Char(s, pos, cp);
        ++n;
    }
    return n;
}

int CompareText(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        int ca = AsciiUpper(static_cast<unsigned char>(a[i]));
        int cb = AsciiUpper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SameStr(std::string_view a, std::string_view b) {
    return a == b;
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
    return out;
}

std::string AnsiUpperCase(std::string_view s) {
    return MapLatin(s, LatinUpper);
}
std::string AnsiLowerCase(std::string_view s) {
    return MapLatin(s, LatinLower);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    return CompareStr(AnsiUpperCase(a), AnsiUpperCase(b));
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return AnsiCompareText(a, b) == 0;
}

std::string TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return std::string(s.substr(0, n));
}

std::string Trim(std::string_view s) {
    std::size_t i = 0, n = s.size();
    while (i < n && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    while (n > i && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return std::string(s.substr(i, n - i));
}

std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags) {
    if (oldPattern.empty()) return std::string(s);
    const bool all = (flags & rfReplaceAll) != 0;
    const bool ignoreCase = (flags & rfIgnoreCase) != 0;
    std::string out;
    std::size_t pos = 0;
    while (pos <= s.size()) {
        std::size_t hit = ignoreCase ? FindIgnoreCase(s, oldPattern, pos) : s.find(oldPattern, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(newPattern);
        pos = hit + oldPattern.size();
        if (!all) break;
    }
    out.append(s.substr(pos));
    return out;
}

std::string AnsiToUtf8(std::string_view windows1252) {
    std::string out;
    out.reserve(windows1252.size());
    for (char ch : windows1252) {
        unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            AppendUtf8(out, kCp1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp;
        int b = NextUtf8Char(utf8, pos, cp) ? UnicodeToCp1252(cp) : -1;
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp;
        if (!NextUtf8Char(utf8, pos, cp)) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (cp >> 10));
            out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c); // a lone surrogate becomes U+FFFD there
    }
    return out;
}
