#pragma once
// String helpers of the class library over UTF-8 std::string, and the
// conversions at the boundaries: Windows-1252 (8-bit text in files and
// streams) and UTF-16.
#include <cstddef>
#include <string>
#include <string_view>

// ASCII case-insensitive comparison: <0, 0 or >0.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Byte-wise comparison: <0, 0 or >0.
int CompareStr(std::string_view a, std::string_view b);
bool SameStr(std::string_view a, std::string_view b);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Also maps the Latin-1 letters (U+00C0..U+00FE, U+00FF and the Windows-1252
// extras) encoded in UTF-8: "été" <-> "ÉTÉ".
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// Remove characters <= ' ' at the ends.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags);

// Windows-1252 <-> UTF-8. The five bytes the code page leaves undefined
// (0x81 0x8D 0x8F 0x90 0x9D) map to the C1 controls of the same value, so
// every byte survives a round trip. A character the code page cannot hold,
// and every invalid UTF-8 sequence, becomes "?".
std::string AnsiToUtf8(std::string_view windows1252);
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-8 <-> UTF-16. Invalid input (bad UTF-8, unpaired surrogates) becomes
// U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Decodes the character at pos and advances pos past it. An invalid sequence
// yields false and advances by its maximal ill-formed part (at least one
// byte), so each bad sequence is replaced once. pos must be < s.size().
bool NextUtf8Char(std::string_view s, std::size_t& pos, char32_t& cp);
// Appends cp in UTF-8; surrogates and values above U+10FFFF append U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);
// Number of characters (an invalid sequence counts as one).
std::size_t Utf8Length(std::string_view s);
