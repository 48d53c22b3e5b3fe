#include "platform/base/FloatText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kMaxPrecision = 18;

bool NonFinite(double value, std::string& out) {
    if (std::isnan(value)) {
        out = "NAN";
        return true;
    }
    if (std::isinf(value)) {
        out = value < 0 ? "-INF" : "INF";
        return true;
    }
    return false;
}

// Significant digits of |value| rounded to `precision` digits, trailing
// zeros removed, with value = 0.D * 10^exponent. Zero gives no digits.
void DecimalDigits(double value, int precision, std::string& digits, int& exponent) {
    digits.clear();
    exponent = 0;
    value = std::fabs(value);
    if (value == 0) return;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific,
                           precision - 1);
    *r.ptr = '\0';
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    exponent = std::atoi(p + 1) + 1;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
}

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// The digits and exponent of value (see DecimalDigits) at precision, clamped
// to what a double holds. False for a value that is not finite, with its text
// in out.
bool SignificantDigits(double value, int& precision, std::string& out, std::string& digits,
                       int& exponent) {
    if (NonFinite(value, out)) return false;
    precision = Clamp(precision, 1, kMaxPrecision);
    DecimalDigits(value, precision, digits, exponent);
    return true;
}

} // namespace

std::string FloatToTextGeneral(double value, int precision, char decimalSeparator) {
    std::string out, d;
    int exp;
    if (!SignificantDigits(value, precision, out, d, exp)) return out;
    if (d.empty()) return "0";
    if (value < 0) out += '-';
    if (exp > precision || exp < -3) {
        out += d[0];
        if (d.size() > 1) {
            out += decimalSeparator;
            out.append(d, 1);
        }
        out += 'E';
        out += std::to_string(exp - 1);
    } else if (exp <= 0) {
        out += '0';
        out += decimalSeparator;
        out.append(static_cast<std::size_t>(-exp), '0');
        out += d;
    } else if (static_cast<int>(d.size()) <= exp) {
        out += d;
        out.append(static_cast<std::size_t>(exp) - d.size(), '0');
    } else {
        out.append(d, 0, static_cast<std::size_t>(exp));
        out += decimalSeparator;
        out.append(d, static_cast<std::size_t>(exp));
    }
    return out;
}

std::string FloatToTextFixed(double value, int decimals, char decimalSeparator,
                             char thousandSeparator) {
    std::string out;
    if (NonFinite(value, out)) return out;
    decimals = Clamp(decimals, 0, kMaxPrecision);
    char buf[400]; // the largest double has 309 integer digits
    auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, decimals);
    std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
    std::size_t dot = text.find('.');
    std::string_view intPart = text.substr(0, dot);
    bool allZero = text.find_first_of("123456789") == std::string_view::npos;
    if (value < 0 && !allZero) out += '-';
    for (std::size_t i = 0; i < intPart.size(); ++i) {
        if (thousandSeparator && i > 0 && (intPart.size() - i) % 3 == 0) out += thousandSeparator;
        out += intPart[i];
    }
    if (dot != std::string_view::npos) {
        out += decimalSeparator;
        out.append(text.substr(dot + 1));
    }
    return out;
}

std::string FloatToTextExponent(double value, int precision, char decimalSeparator) {
    std::string out, d;
    int exp;
    if (!SignificantDigits(value, precision, out, d, exp)) return out;
    if (d.empty())
        exp = 1;
    else if (value < 0)
        out += '-';
    d.resize(static_cast<std::size_t>(precision), '0');
    out += d[0];
    if (precision > 1) {
        out += decimalSeparator;
        out.append(d, 1);
    }
    out += 'E';
    int e = exp - 1;
    out += e < 0 ? '-' : '+';
    std::string digits = std::to_string(std::abs(e));
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    out += digits;
    return out;
}
