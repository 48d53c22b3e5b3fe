#pragma once
// Integer and float <-> text conversions with the class library's rules and
// messages. Failures raise EConvertError with the exact texts
// "'<text>' is not a valid integer value" and
// "'<text>' is not a valid floating point value".
#include "platform/base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>

std::string IntToStr(std::int64_t value);
// Upper-case hexadecimal, zero-padded to at least `digits` digits. A negative
// value is shown as its 64-bit two's complement.
std::string IntToHex(std::int64_t value, int digits);

// Accepts leading blanks, an optional sign, then decimal digits or "$"/"0x"/
// "0X" followed by hexadecimal digits; nothing may follow. Out of range is an
// error.
int StrToInt(std::string_view s);
int StrToIntDef(std::string_view s, int def);
bool TryStrToInt(std::string_view s, int& value);
std::int64_t StrToInt64(std::string_view s);
std::int64_t StrToInt64Def(std::string_view s, std::int64_t def);
bool TryStrToInt64(std::string_view s, std::int64_t& value);

// General format with 15 significant digits: 1.0 -> "1", 0.5 -> "0.5",
// 1e20 -> "1E20"; NaN and infinities give "NAN", "INF", "-INF".
std::string FloatToStr(double value);
// Leading and trailing blanks are allowed; the decimal separator is the one
// of FormatSettings(); an exponent "E[+-]n" may follow.
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& value);
double StrToFloatDef(std::string_view s, double def);

// useBoolStrs: "True"/"False"; otherwise "-1"/"0".
std::string BoolToStr(bool value, bool useBoolStrs = false);
