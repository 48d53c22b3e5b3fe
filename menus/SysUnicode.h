#pragma once
// UTF-8 and UTF-16 conversion by code point, the single-byte character
// tables of the ANSI code page, and the locale-aware wide comparison.
//
// The readers take well-formed text only: an overlong form, a surrogate
// value or anything above U+10FFFF in UTF-8, and a lone surrogate in UTF-16,
// read as U+FFFD, and the writers never produce them. Positions are 0-based
// indexes into the text or buffer.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using TCodePoint = std::uint32_t;

inline constexpr TCodePoint UCS4ReplacementCharacter = 0xFFFD;
inline constexpr TCodePoint MaximumUCS2 = 0xFFFF;
inline constexpr TCodePoint MaximumUTF16 = 0x10FFFF;
inline constexpr unsigned SurrogateShift = 10;
inline constexpr TCodePoint SurrogateBase = 0x10000;
inline constexpr TCodePoint SurrogateMask = 0x3FF;

// Never raise: every bad sequence becomes U+FFFD. Empty in, empty out.
std::string WideToUtf8Text(std::u16string_view Wide);
std::u16string Utf8TextToWide(std::string_view Utf8);

// Reads the code point at Pos and moves Pos past it. A position outside the
// text yields U+FFFD without moving; a bad sequence yields U+FFFD and moves
// past its lead and the following bytes that were valid (at least one).
TCodePoint Utf8GetChar(std::string_view Text, std::size_t& Pos);
// Writes the code point at Pos and moves Pos past it; surrogates and values
// above U+10FFFF are written as U+FFFD. False, with nothing written, when
// the buffer has no room from Pos on.
bool Utf8SetChar(std::span<char> Buffer, std::size_t& Pos, TCodePoint Ch);

// A pair gives one code point and moves 2; a lone surrogate gives U+FFFD and
// moves 1; a position outside the text gives U+FFFD without moving.
TCodePoint Utf16GetChar(std::u16string_view Text, std::size_t& Pos);
// One unit up to U+FFFF, a pair above; surrogate values and values above
// U+10FFFF are written as U+FFFD. False, nothing written, without room.
bool Utf16SetChar(std::span<char16_t> Buffer, std::size_t& Pos, TCodePoint Ch);

// The ANSI code page of the user's locale: the program's 8-bit text is
// Windows-1252 on every locale.
unsigned LocaleCodePage();

// Case-insensitive comparison of two wide texts: <0, 0 or >0. Letters of the
// ANSI code page compare without regard to case (ASCII and Latin-1, with
// their accented forms), everything else by code point. There is one locale
// here, so Locale is accepted for the callers' sake and not consulted.
int WideCompareText(std::u16string_view A, std::u16string_view B, unsigned Locale = 0);

// Character classes of the single-byte table.
enum : std::uint16_t {
    C1_UPPER = 0x0001,
    C1_LOWER = 0x0002,
    C1_DIGIT = 0x0004,
    C1_SPACE = 0x0008,
    C1_PUNCT = 0x0010,
    C1_CNTRL = 0x0020,
    C1_BLANK = 0x0040,
    C1_XDIGIT = 0x0080,
    C1_ALPHA = 0x0100,
    C1_DEFINED = 0x0200,
};

// For every byte of the ANSI code page: its classes and its lower-case,
// upper-case and case-swapped forms (a byte without another case maps to
// itself). Built once, on first use.
struct TCharTables {
    std::array<std::uint16_t, 256> CharType{};
    std::array<std::uint8_t, 256> LowerMap{};
    std::array<std::uint8_t, 256> UpperMap{};
    std::array<std::uint8_t, 256> SwapMap{};
};

const TCharTables& CharTables();
