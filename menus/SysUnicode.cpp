#include "menus/SysUnicode.h"

#include "platform/base/Text.h"

#include <algorithm>
#include <mutex>

std::string WideToUtf8Text(std::u16string_view Wide) {
    return Utf16ToUtf8(Wide);
}

std::u16string Utf8TextToWide(std::string_view Utf8) {
    return Utf8ToUtf16(Utf8);
}

TCodePoint Utf8GetChar(std::string_view Text, std::size_t& Pos) {
    if (Pos >= Text.size()) return UCS4ReplacementCharacter;
    char32_t cp = 0;
    return NextUtf8Char(Text, Pos, cp) ? TCodePoint(cp) : UCS4ReplacementCharacter;
}

bool Utf8SetChar(std::span<char> Buffer, std::size_t& Pos, TCodePoint Ch) {
    std::string encoded;
    AppendUtf8(encoded, char32_t(Ch));
    if (Pos > Buffer.size() || Buffer.size() - Pos < encoded.size()) return false;
    std::copy(encoded.begin(), encoded.end(), Buffer.begin() + std::ptrdiff_t(Pos));
    Pos += encoded.size();
    return true;
}

TCodePoint Utf16GetChar(std::u16string_view Text, std::size_t& Pos) {
    if (Pos >= Text.size()) return UCS4ReplacementCharacter;
    const TCodePoint unit = Text[Pos];
    if (unit >= 0xD800 && unit <= 0xDBFF && Pos + 1 < Text.size() && Text[Pos + 1] >= 0xDC00 &&
        Text[Pos + 1] <= 0xDFFF) {
        const TCodePoint low = Text[Pos + 1];
        Pos += 2;
        return ((unit - 0xD800) << SurrogateShift) + (low - 0xDC00) + SurrogateBase;
    }
    ++Pos;
    return unit >= 0xD800 && unit <= 0xDFFF ? UCS4ReplacementCharacter : unit;
}

bool Utf16SetChar(std::span<char16_t> Buffer, std::size_t& Pos, TCodePoint Ch) {
    if ((Ch >= 0xD800 && Ch <= 0xDFFF) || Ch > MaximumUTF16) Ch = UCS4ReplacementCharacter;
    const std::size_t units = Ch > MaximumUCS2 ? 2 : 1;
    if (Pos > Buffer.size() || Buffer.size() - Pos < units) return false;
    if (units == 1) {
        Buffer[Pos++] = char16_t(Ch);
    } else {
        Buffer[Pos++] = char16_t(0xD800 + ((Ch - SurrogateBase) >> SurrogateShift));
        Buffer[Pos++] = char16_t(0xDC00 + ((Ch - SurrogateBase) & SurrogateMask));
    }
    return true;
}

unsigned LocaleCodePage() {
    return 1252;
}

int WideCompareText(std::u16string_view A, std::u16string_view B, unsigned Locale) {
    (void)Locale;
    const int c = AnsiCompareText(WideToUtf8Text(A), WideToUtf8Text(B));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

namespace {

// The byte's character as one code point of the code page.
char32_t CodePageChar(unsigned byte) {
    const char b = char(byte);
    const std::string utf8 = AnsiToUtf8(std::string_view(&b, 1));
    std::size_t pos = 0;
    char32_t cp = 0;
    return NextUtf8Char(utf8, pos, cp) ? cp : U'?';
}

// The byte whose character is the case mapping of this byte's, when the
// code page holds it; else the byte itself.
std::uint8_t MapByte(unsigned byte, std::string (*map)(std::string_view)) {
    const char b = char(byte);
    const std::string mapped = Utf8ToAnsi(map(AnsiToUtf8(std::string_view(&b, 1))));
    if (mapped.size() != 1 || (mapped[0] == '?' && byte != '?')) return std::uint8_t(byte);
    return std::uint8_t(mapped[0]);
}

// The classes of the characters the code page holds (ASCII, Latin-1 and the
// typographic and letter extras of 0x80..0x9F).
std::uint16_t Classify(char32_t c, std::uint8_t lower, std::uint8_t upper, unsigned byte) {
    std::uint16_t t = C1_DEFINED;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        t |= C1_CNTRL;
        if (c >= 0x09 && c <= 0x0D) t |= C1_SPACE;
        if (c == 0x09) t |= C1_BLANK;
        return t;
    }
    if (c == 0x20 || c == 0xA0) return t | C1_SPACE | C1_BLANK;
    if (c >= '0' && c <= '9') return t | C1_DIGIT | C1_XDIGIT;
    if (c == 0xB2 || c == 0xB3 || c == 0xB9) return t | C1_DIGIT | C1_PUNCT;
    // A letter has another case in the code page, or is one of the lower-case
    // letters that have none there (feminine and masculine ordinals, sharp s,
    // micro sign, florin).
    const bool caselessLower = c == 0xAA || c == 0xBA || c == 0xDF || c == 0xB5 || c == 0x192;
    if (lower != byte) t |= C1_UPPER | C1_ALPHA;
    if (upper != byte || caselessLower) t |= C1_LOWER | C1_ALPHA;
    if (!(t & C1_ALPHA)) t |= C1_PUNCT;
    if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) t |= C1_XDIGIT;
    return t;
}

TCharTables BuildCharTables() {
    TCharTables tables;
    for (unsigned b = 0; b < 256; ++b) {
        tables.LowerMap[b] = MapByte(b, AnsiLowerCase);
        tables.UpperMap[b] = MapByte(b, AnsiUpperCase);
        tables.CharType[b] = Classify(CodePageChar(b), tables.LowerMap[b], tables.UpperMap[b], b);
    }
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint16_t t = tables.CharType[b];
        tables.SwapMap[b] = t & C1_UPPER   ? tables.LowerMap[b]
                            : t & C1_LOWER ? tables.UpperMap[b]
                                           : std::uint8_t(b);
    }
    return tables;
}

} // namespace

const TCharTables& CharTables() {
    // Plain arrays: nothing to destroy at exit.
    static const TCharTables tables = BuildCharTables();
    return tables;
}
