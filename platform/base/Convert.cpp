#include "platform/base/Convert.h"

#include "platform/base/Format.h"
#include "platform/base/FloatText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses an integer whose decimal form must fit in [min, max]. Hexadecimal
// forms may use the whole unsigned range of the type and wrap into it, so
// "$FFFFFFFF" is -1 for an int: colour texts such as "$80000005" rely on it.
bool ParseInteger(std::string_view s, std::int64_t min, std::int64_t max, int bits,
                  std::int64_t& value) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    std::uint64_t mag = 0;
    if (hex) {
        const std::uint64_t limit =
            bits == 64 ? std::numeric_limits<std::uint64_t>::max() : (std::uint64_t{1} << bits) - 1;
        for (; i < s.size(); ++i) {
            int d = HexDigit(s[i]);
            if (d < 0) return false;
            if (mag > (limit >> 4)) return false;
            mag = (mag << 4) | static_cast<unsigned>(d);
        }
        if (neg) mag = ~mag + 1;
        if (bits < 64) {
            mag &= (std::uint64_t{1} << bits) - 1;
            // Sign-extend the two's-complement value of the narrower type.
            if (mag >> (bits - 1)) mag |= ~((std::uint64_t{1} << bits) - 1);
        }
        value = static_cast<std::int64_t>(mag);
        return true;
    }
    const std::uint64_t limit =
        neg ? static_cast<std::uint64_t>(-(min + 1)) + 1 : static_cast<std::uint64_t>(max);
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        unsigned d = static_cast<unsigned>(s[i] - '0');
        if (mag > (limit - d) / 10) return false;
        mag = mag * 10 + d;
    }
    value = neg ? static_cast<std::int64_t>(~mag + 1) : static_cast<std::int64_t>(mag);
    return true;
}

[[noreturn]] void InvalidInteger(std::string_view s) {
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

} // namespace

std::string IntToStr(std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string IntToHex(std::int64_t value, int digits) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(value), 16);
    std::string hex(buf, r.ptr);
    for (char& c : hex)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
    if (digits > 32) digits = 32;
    if (static_cast<int>(hex.size()) < digits) hex.insert(0, digits - hex.size(), '0');
    return hex;
}

bool TryStrToInt(std::string_view s, int& value) {
    std::int64_t v;
    if (!ParseInteger(s, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 32, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view s) {
    int v;
    if (!TryStrToInt(s, v)) InvalidInteger(s);
    return v;
}

int StrToIntDef(std::string_view s, int def) {
    int v;
    return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(std::string_view s, std::int64_t& value) {
    return ParseInteger(s, std::numeric_limits<std::int64_t>::min(),
                        std::numeric_limits<std::int64_t>::max(), 64, value);
}

std::int64_t StrToInt64(std::string_view s) {
    std::int64_t v;
    if (!TryStrToInt64(s, v)) InvalidInteger(s);
    return v;
}

std::int64_t StrToInt64Def(std::string_view s, std::int64_t def) {
    std::int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

std::string FloatToStr(double value) {
    return FloatToTextGeneral(value, 15, FormatSettings().DecimalSeparator);
}

bool TryStrToFloat(std::string_view s, double& value) {
    const char sep = FormatSettings().DecimalSeparator;
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    s = s.substr(b, e - b);
    // Copy into the form from_chars reads: '.' as separator, no '+' sign.
    std::string t;
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    if (i < s.size() && s.size() - i == 3) {
        std::string_view w = s.substr(i);
        auto same = [&](const char* k) {
            for (int j = 0; j < 3; ++j)
                if ((w[j] & ~0x20) != k[j]) return false;
            return true;
        };
        if (same("INF")) {
            value = neg ? -HUGE_VAL : HUGE_VAL;
            return true;
        }
        if (same("NAN")) {
            value = std::numeric_limits<double>::quiet_NaN();
            return true;
        }
    }
    int mantDigits = 0;
    long long intDigits = 0; // significant digits before the separator
    bool seenNonZero = false;
    long long leadingFracZeros = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        t += s[i];
        ++mantDigits;
        if (s[i] != '0') seenNonZero = true;
        if (seenNonZero) ++intDigits;
    }
    if (i < s.size() && s[i] == sep) {
        t += '.';
        ++i;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            t += s[i];
            ++mantDigits;
            if (!seenNonZero) {
                if (s[i] == '0')
                    ++leadingFracZeros;
                else
                    seenNonZero = true;
            }
        }
    }
    if (mantDigits == 0) return false;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        t += 'e';
        ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            eneg = s[i] == '-';
            if (eneg) t += '-';
            ++i;
        }
        if (i >= s.size()) return false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            t += s[i];
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (eneg) exponent = -exponent;
    }
    if (i != s.size()) return false;
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ptr != t.data() + t.size()) return false;
    if (r.ec != std::errc()) {
        if (r.ec != std::errc::result_out_of_range) return false;
        // Out of range: too small underflows to zero, too large is an error.
        long long magnitude = (intDigits > 0 ? intDigits : -leadingFracZeros) + exponent;
        if (!seenNonZero || magnitude < 0)
            v = 0;
        else
            return false;
    }
    value = neg ? -v : v;
    return true;
}

double StrToFloat(std::string_view s) {
    double v;
    if (!TryStrToFloat(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return v;
}

double StrToFloatDef(std::string_view s, double def) {
    double v;
    return TryStrToFloat(s, v) ? v : def;
}

std::string BoolToStr(bool value, bool useBoolStrs) {
    if (useBoolStrs) return value ? "True" : "False";
    return value ? "-1" : "0";
}
