#pragma once
// Rounding as the processor does it by default: half to even on the exact
// value. std::round rounds half away from zero and must not be used where
// the program says "round".
#include <cstdint>

// Rounds x half to even. Values outside the int64 range saturate.
std::int64_t RoundHalfEven(double x);
// The same, into an int (saturating).
int Round(double x);
// p / q rounded half to even, computed exactly in integers. Saturates when
// the quotient does not fit (INT64_MIN / -1); 0 when q is 0.
std::int64_t RoundQuotient(std::int64_t p, std::int64_t q);
// trunc: drops the fraction (toward zero), saturating.
std::int64_t Trunc(double x);

// (a * b) / c with a 64-bit intermediate, rounded half away from zero, as the
// system's MulDiv does. Returns -1 when c is 0 or the result does not fit in
// 32 bits.
int MulDiv(int a, int b, int c);
