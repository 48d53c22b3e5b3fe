#pragma once
// Format: printf-like formatting in the class library's dialect. Supports
// %d %u %x %X %s %g %f %e %n %m %p %c with the "[index:][-][width][.prec]"
// modifiers ('*' takes width or precision from the arguments) and "%%".
// A bad format or an argument of the wrong kind raises EConvertError
// "Format '<fmt>' invalid or incompatible with argument".
#include "platform/base/Exception.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// One argument of Format, tagged with its kind.
struct TVarRec {
    enum class Kind { Int, Unsigned, Double, Char, Bool, String, Pointer };

    TVarRec(int v) : VKind(Kind::Int), VInt(v) {}
    TVarRec(long v) : VKind(Kind::Int), VInt(v) {}
    TVarRec(long long v) : VKind(Kind::Int), VInt(v) {}
    TVarRec(unsigned v) : VKind(Kind::Unsigned), VUnsigned(v) {}
    TVarRec(unsigned long v) : VKind(Kind::Unsigned), VUnsigned(v) {}
    TVarRec(unsigned long long v) : VKind(Kind::Unsigned), VUnsigned(v) {}
    TVarRec(double v) : VKind(Kind::Double), VDouble(v) {}
    TVarRec(char v) : VKind(Kind::Char), VChar(v) {}
    TVarRec(bool v) : VKind(Kind::Bool), VInt(v ? 1 : 0) {}
    TVarRec(const char* v) : VKind(Kind::String), VString(v ? v : "") {}
    TVarRec(const std::string& v) : VKind(Kind::String), VString(v) {}
    TVarRec(std::string_view v) : VKind(Kind::String), VString(v) {}
    TVarRec(const void* v) : VKind(Kind::Pointer), VPointer(v) {}

    Kind VKind;
    std::int64_t VInt = 0;
    std::uint64_t VUnsigned = 0;
    double VDouble = 0.0;
    char VChar = 0;
    // Views into the caller's strings: a TVarRec lives only for the call.
    std::string_view VString;
    const void* VPointer = nullptr;
};

// Separators used by the float conversions (Format's %f %g %e %n %m,
// FloatToStr, StrToFloat).
struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    // Used by %m: "$1,234.50", negatives "($1,234.50)".
    const char* CurrencyString = "$";
};

// The process-wide settings; the program never changes them from another
// thread.
TFormatSettings& FormatSettings();

std::string Format(std::string_view fmt, std::initializer_list<TVarRec> args);
