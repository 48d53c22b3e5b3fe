#pragma once
// Float-to-text forms shared by Format and FloatToStr. They never depend on
// the C locale (Qt sets it from the environment), only on the separators
// passed in.
#include <string>

// General form: at most `precision` significant digits, trailing zeros
// dropped, scientific ("1E20", "1.5E-5") only when the decimal exponent is
// above the precision or below -3.
std::string FloatToTextGeneral(double value, int precision, char decimalSeparator);
// Fixed form with `decimals` digits after the separator; thousandSeparator 0
// means none.
std::string FloatToTextFixed(double value, int decimals, char decimalSeparator,
                             char thousandSeparator);
// Scientific form with `precision` significant digits and an exponent of at
// least three digits: "1.50000000000000E+003".
std::string FloatToTextExponent(double value, int precision, char decimalSeparator);
