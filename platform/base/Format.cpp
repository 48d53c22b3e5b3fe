#include "platform/base/Format.h"

#include "platform/base/FloatText.h"
#include "platform/base/Text.h"

#include <charconv>
#include <limits>

namespace {

// Widths and precisions come from code or from an argument; anything beyond
// this is a mistake, not a request for a megabyte of blanks.
constexpr std::int64_t kMaxWidth = 100000;

class TFormatter {
public:
    TFormatter(std::string_view fmt, std::initializer_list<TVarRec> args)
        : FFmt(fmt), FArgs(args.begin()), FCount(args.size()) {}

    std::string Run() {
        std::size_t i = 0;
        while (i < FFmt.size()) {
            std::size_t pct = FFmt.find('%', i);
            if (pct == std::string_view::npos) {
                FOut.append(FFmt.substr(i));
                break;
            }
            FOut.append(FFmt.substr(i, pct - i));
            i = Directive(pct + 1);
        }
        return std::move(FOut);
    }

private:
    [[noreturn]] void Fail() const {
        throw EConvertError("Format '" + std::string(FFmt) +
                            "' invalid or incompatible with argument");
    }

    const TVarRec& NextArg() {
        if (FNext >= FCount) Fail();
        return FArgs[FNext++];
    }

    // A number or '*' (taken from the arguments); returns false when absent.
    bool Number(std::size_t& i, std::int64_t& value) {
        if (i < FFmt.size() && FFmt[i] == '*') {
            ++i;
            const TVarRec& a = NextArg();
            if (a.VKind == TVarRec::Kind::Int)
                value = a.VInt;
            else if (a.VKind == TVarRec::Kind::Unsigned && a.VUnsigned <= kMaxWidth)
                value = static_cast<std::int64_t>(a.VUnsigned);
            else
                Fail();
            return true;
        }
        if (i >= FFmt.size() || FFmt[i] < '0' || FFmt[i] > '9') return false;
        value = 0;
        for (; i < FFmt.size() && FFmt[i] >= '0' && FFmt[i] <= '9'; ++i) {
            value = value * 10 + (FFmt[i] - '0');
            if (value > kMaxWidth) Fail();
        }
        return true;
    }

    std::size_t Directive(std::size_t i) {
        if (i >= FFmt.size()) Fail();
        if (FFmt[i] == '%') {
            FOut += '%';
            return i + 1;
        }
        std::int64_t n = 0;
        bool has = Number(i, n);
        if (has && i < FFmt.size() && FFmt[i] == ':') {
            if (n < 0) Fail();
            FNext = static_cast<std::size_t>(n);
            ++i;
            has = false;
        }
        bool left = false;
        if (!has && i < FFmt.size() && FFmt[i] == '-') {
            left = true;
            ++i;
        }
        std::int64_t width = 0;
        if (has)
            width = n;
        else
            Number(i, width);
        if (width < 0) { // a negative width from an argument left-justifies
            left = true;
            width = -width;
        }
        if (width > kMaxWidth) Fail();
        std::int64_t prec = -1;
        if (i < FFmt.size() && FFmt[i] == '.') {
            ++i;
            if (!Number(i, prec)) prec = 0;
            if (prec < 0 || prec > kMaxWidth) prec = -1;
        }
        if (i >= FFmt.size()) Fail();
        char type = FFmt[i++];
        if (type >= 'A' && type <= 'Z') type = static_cast<char>(type + 32);
        std::string text = Convert(type, prec);
        std::int64_t len = static_cast<std::int64_t>(Utf8Length(text));
        if (len < width) {
            std::string pad(static_cast<std::size_t>(width - len), ' ');
            text = left ? text + pad : pad + text;
        }
        FOut += text;
        return i;
    }

    static std::string Digits(std::uint64_t v, int base, std::int64_t minDigits) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v, base);
        std::string s(buf, r.ptr);
        for (char& c : s)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
        if (static_cast<std::int64_t>(s.size()) < minDigits)
            s.insert(0, static_cast<std::size_t>(minDigits) - s.size(), '0');
        return s;
    }

    // Negative integers shown unsigned use the width of an int when they fit
    // one, as a 32-bit argument would be.
    static std::uint64_t AsUnsigned(const TVarRec& a) {
        if (a.VKind == TVarRec::Kind::Unsigned) return a.VUnsigned;
        if (a.VInt < 0 && a.VInt >= std::numeric_limits<std::int32_t>::min())
            return static_cast<std::uint32_t>(a.VInt);
        return static_cast<std::uint64_t>(a.VInt);
    }

    static bool Integral(const TVarRec& a) {
        return a.VKind == TVarRec::Kind::Int || a.VKind == TVarRec::Kind::Unsigned ||
               a.VKind == TVarRec::Kind::Bool;
    }

    std::string Convert(char type, std::int64_t prec) {
        const TFormatSettings& fs = FormatSettings();
        const TVarRec& a = NextArg();
        switch (type) {
        case 'd': {
            if (!Integral(a)) Fail();
            if (a.VKind == TVarRec::Kind::Unsigned) return Digits(a.VUnsigned, 10, prec);
            std::uint64_t mag = a.VInt < 0 ? ~static_cast<std::uint64_t>(a.VInt) + 1
                                           : static_cast<std::uint64_t>(a.VInt);
            return (a.VInt < 0 ? "-" : "") + Digits(mag, 10, prec);
        }
        case 'u':
            if (!Integral(a)) Fail();
            return Digits(AsUnsigned(a), 10, prec);
        case 'x':
            if (!Integral(a)) Fail();
            return Digits(AsUnsigned(a), 16, prec);
        case 'e':
            if (a.VKind != TVarRec::Kind::Double) Fail();
            return FloatToTextExponent(a.VDouble, prec < 0 ? 15 : static_cast<int>(prec),
                                       fs.DecimalSeparator);
        case 'f':
            if (a.VKind != TVarRec::Kind::Double) Fail();
            return FloatToTextFixed(a.VDouble, prec < 0 ? 2 : static_cast<int>(prec),
                                    fs.DecimalSeparator, 0);
        case 'g':
            if (a.VKind != TVarRec::Kind::Double) Fail();
            return FloatToTextGeneral(a.VDouble, prec < 0 ? 15 : static_cast<int>(prec),
                                      fs.DecimalSeparator);
        case 'n':
            if (a.VKind != TVarRec::Kind::Double) Fail();
            return FloatToTextFixed(a.VDouble, prec < 0 ? 2 : static_cast<int>(prec),
                                    fs.DecimalSeparator, fs.ThousandSeparator);
        case 'm': {
            if (a.VKind != TVarRec::Kind::Double) Fail();
            std::string t = FloatToTextFixed(a.VDouble, prec < 0 ? 2 : static_cast<int>(prec),
                                             fs.DecimalSeparator, fs.ThousandSeparator);
            const char* cur = fs.CurrencyString ? fs.CurrencyString : "";
            if (!t.empty() && t[0] == '-') return "(" + std::string(cur) + t.substr(1) + ")";
            return cur + t;
        }
        case 'p':
            if (a.VKind != TVarRec::Kind::Pointer) Fail();
            return Digits(reinterpret_cast<std::uintptr_t>(a.VPointer), 16, 2 * sizeof(void*));
        case 'c':
            if (a.VKind == TVarRec::Kind::Char) return std::string(1, a.VChar);
            if (a.VKind == TVarRec::Kind::Int && a.VInt >= 0 && a.VInt <= 0x10FFFF) {
                std::string s;
                AppendUtf8(s, static_cast<char32_t>(a.VInt));
                return s;
            }
            Fail();
        case 's': {
            std::string_view s;
            if (a.VKind == TVarRec::Kind::String)
                s = a.VString;
            else if (a.VKind == TVarRec::Kind::Char)
                s = std::string_view(&a.VChar, 1);
            else
                Fail();
            if (prec >= 0) {
                // The precision counts characters, never splitting one.
                std::size_t pos = 0;
                char32_t cp;
                for (std::int64_t k = 0; k < prec && pos < s.size(); ++k)
                    NextUtf8Char(s, pos, cp);
                s = s.substr(0, pos);
            }
            return std::string(s);
        }
        default:
            Fail();
        }
    }

    std::string_view FFmt;
    const TVarRec* FArgs;
    std::size_t FCount;
    std::size_t FNext = 0;
    std::string FOut;
};

} // namespace

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

std::string Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
    return TFormatter(fmt, args).Run();
}
