#include "platform/classes/Extended.h"

#include <bit>
#include <cstring>

namespace {

constexpr int ExtendedBias = 16383;
constexpr int DoubleBias = 1023;
constexpr std::uint64_t IntegerBit = std::uint64_t(1) << 63;
constexpr std::uint64_t DoubleFractionMask = (std::uint64_t(1) << 52) - 1;
constexpr std::uint64_t DoubleSignBit = std::uint64_t(1) << 63;
constexpr std::uint64_t DoubleInfinity = std::uint64_t(0x7FF) << 52;

TExtendedBytes Pack(bool Negative, unsigned Exponent, std::uint64_t Mantissa) {
    TExtendedBytes b{};
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<std::uint8_t>(Mantissa >> (8 * i));
    const unsigned se = (Negative ? 0x8000u : 0u) | (Exponent & 0x7FFFu);
    b[8] = static_cast<std::uint8_t>(se);
    b[9] = static_cast<std::uint8_t>(se >> 8);
    return b;
}

// Shifts Value right by Shift bits, rounding half to even on what falls out.
std::uint64_t ShiftRightRounded(std::uint64_t Value, int Shift) {
    if (Shift <= 0) return Value;
    if (Shift > 64) return 0; // below half of the last unit kept
    const unsigned __int128 wide = Value;
    const unsigned __int128 one = 1;
    const unsigned __int128 kept = wide >> Shift;
    const unsigned __int128 rest = wide & ((one << Shift) - 1);
    const unsigned __int128 half = one << (Shift - 1);
    std::uint64_t result = static_cast<std::uint64_t>(kept);
    if (rest > half || (rest == half && (result & 1))) ++result;
    return result;
}

} // namespace

TExtendedBytes DoubleToExtended(double Value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(Value);
    const bool negative = (bits & DoubleSignBit) != 0;
    const unsigned exponent = static_cast<unsigned>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & DoubleFractionMask;

    if (exponent == 0x7FF) // infinity (fraction 0) or NaN with its payload
        return Pack(negative, 0x7FFF, IntegerBit | (fraction << 11));
    if (exponent == 0) {
        if (fraction == 0) return Pack(negative, 0, 0);
        // A double denormal is a normal number in the wider exponent range.
        const int lz = std::countl_zero(fraction);
        const int unbiased = 63 - 1074 - lz;
        return Pack(negative, static_cast<unsigned>(unbiased + ExtendedBias), fraction << lz);
    }
    const int unbiased = static_cast<int>(exponent) - DoubleBias;
    return Pack(negative, static_cast<unsigned>(unbiased + ExtendedBias),
                IntegerBit | (fraction << 11));
}

double ExtendedToDouble(const TExtendedBytes& Bytes) {
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | Bytes[i];
    const unsigned se = Bytes[8] | (unsigned(Bytes[9]) << 8);
    const bool negative = (se & 0x8000u) != 0;
    const int exponent = static_cast<int>(se & 0x7FFFu);
    const std::uint64_t sign = negative ? DoubleSignBit : 0;

    if (exponent == 0x7FFF) {
        const std::uint64_t payload = mantissa & ~IntegerBit;
        if (payload == 0) return std::bit_cast<double>(sign | DoubleInfinity);
        std::uint64_t fraction = (payload >> 11) & DoubleFractionMask;
        if (fraction == 0)
            fraction = std::uint64_t(1) << 51; // payload only in the low bits: keep it a NaN
        return std::bit_cast<double>(sign | DoubleInfinity | fraction);
    }
    if (mantissa == 0) return std::bit_cast<double>(sign);

    // Value = mantissa * 2^(e - 16383 - 63), where a zero exponent field
    // (extended denormal) counts as 1.
    const int lz = std::countl_zero(mantissa);
    mantissa <<= lz;
    const int e2 = (exponent == 0 ? 1 : exponent) - ExtendedBias - lz; // of the leading 1

    if (e2 > DoubleBias) return std::bit_cast<double>(sign | DoubleInfinity);
    if (e2 >= 1 - DoubleBias) {
        std::uint64_t m = ShiftRightRounded(mantissa, 11); // 53 bits with the leading 1
        int biased = e2 + DoubleBias;
        if (m >> 53) { // rounding carried into a new bit
            m >>= 1;
            ++biased;
        }
        if (biased >= 0x7FF) return std::bit_cast<double>(sign | DoubleInfinity);
        return std::bit_cast<double>(sign | (std::uint64_t(biased) << 52) |
                                     (m & DoubleFractionMask));
    }
    // Double denormal: the unit is 2^-1074. A carry into bit 52 yields the
    // smallest normal, which the plain bit pattern already expresses.
    const int shift = 11 + (1 - DoubleBias - e2);
    const std::uint64_t m = ShiftRightRounded(mantissa, shift);
    return std::bit_cast<double>(sign | m);
}
