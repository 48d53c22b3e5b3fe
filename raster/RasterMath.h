#pragma once
// 16.16 fixed point in a signed 32-bit integer: the integer part in the high
// half, the fraction in 1/65536 in the low half.
#include "platform/base/Exception.h"
#include "platform/base/Rounding.h"

#include <cstdint>
#include <limits>

using TFixed = std::int32_t;

inline constexpr TFixed FixedOne = 0x10000;
inline constexpr TFixed FixedHalf = 0x7FFF;

inline constexpr int FixedFloor(TFixed A) {
    return A >> 16;
}
// Computed in 64 bits so that values near the top of the range do not wrap
// to negative results.
inline constexpr int FixedCeil(TFixed A) {
    return static_cast<int>((std::int64_t(A) + 0xFFFF) >> 16);
}
// A half rounds down: 1.5 gives 1.
inline constexpr int FixedRound(TFixed A) {
    return static_cast<int>((std::int64_t(A) + 0x7FFF) >> 16);
}
// Bits 16..47 of the 64-bit product.
inline constexpr TFixed FixedMul(TFixed A, TFixed B) {
    return static_cast<TFixed>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::int64_t(A) * B) >> 16));
}
// A * 65536 div B in 64 bits. A zero divisor raises EDivByZero; a quotient
// beyond the 32-bit range saturates.
inline TFixed FixedDiv(TFixed A, TFixed B) {
    if (B == 0) throw EDivByZero("Division by zero");
    const std::int64_t q = (std::int64_t(A) * 65536) / B;
    if (q > std::numeric_limits<TFixed>::max()) return std::numeric_limits<TFixed>::max();
    if (q < std::numeric_limits<TFixed>::min()) return std::numeric_limits<TFixed>::min();
    return static_cast<TFixed>(q);
}
// Round(X * 65536), half to even, saturating.
inline TFixed Fixed(float X) {
    return Round(double(X) * 65536.0);
}
