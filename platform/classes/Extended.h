#pragma once
// The 80-bit extended-precision float of the component stream: 64-bit
// significand with an explicit integer bit, 15-bit exponent biased by 16383,
// sign in the top bit; ten bytes, little-endian.
//
// Encoding is exact for every double (zeros keep their sign; denormals are
// normalised; infinities and NaN payloads are kept). Decoding rounds to the
// nearest double, half to even; magnitudes beyond the double range saturate
// to infinity and those below half the smallest denormal become a signed
// zero. Unnormals (integer bit clear with a non-zero exponent) are read by
// their plain value; NaN payloads too wide for a double keep their top bits.
#include <array>
#include <cstdint>

using TExtendedBytes = std::array<std::uint8_t, 10>;

TExtendedBytes DoubleToExtended(double Value);
double ExtendedToDouble(const TExtendedBytes& Bytes);
