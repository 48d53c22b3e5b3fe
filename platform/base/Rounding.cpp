#include "platform/base/Rounding.h"

#include <cmath>
#include <limits>

namespace {
std::int64_t Saturate(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (x <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}
} // namespace

std::int64_t RoundHalfEven(double x) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-
    // even unless someone changed it; compute explicitly to be independent.
    double f = std::floor(x);
    double diff = x - f;
    double r;
    if (diff > 0.5)
        r = f + 1.0;
    else if (diff < 0.5)
        r = f;
    else
        r = (std::fmod(f, 2.0) == 0.0) ? f : f + 1.0;
    return Saturate(r);
}

int Round(double x) {
    std::int64_t v = RoundHalfEven(x);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

std::int64_t RoundQuotient(std::int64_t p, std::int64_t q) {
    if (q == 0) return 0;
    // 128-bit so that negating INT64_MIN, or dividing it by -1, stays defined.
    __int128 n = p, d = q;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    __int128 quot = n / d;
    __int128 rem = n % d; // same sign as n
    __int128 twice = 2 * (rem < 0 ? -rem : rem);
    if (twice > d || (twice == d && quot % 2 != 0)) quot += n < 0 ? -1 : 1;
    if (quot > std::numeric_limits<std::int64_t>::max())
        return std::numeric_limits<std::int64_t>::max();
    if (quot < std::numeric_limits<std::int64_t>::min())
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(quot);
}

std::int64_t Trunc(double x) {
    return Saturate(std::trunc(x));
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t p = static_cast<std::int64_t>(a) * b;
    std::int64_t q = c;
    bool neg = (p < 0) != (q < 0);
    std::uint64_t ap =
        p < 0 ? static_cast<std::uint64_t>(-(p + 1)) + 1 : static_cast<std::uint64_t>(p);
    std::uint64_t aq = q < 0 ? static_cast<std::uint64_t>(-q) : static_cast<std::uint64_t>(q);
    std::uint64_t r = (ap + aq / 2) / aq; // half away from zero
    if (r > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + (neg ? 1u : 0u))
        return -1;
    return neg ? static_cast<int>(-static_cast<std::int64_t>(r)) : static_cast<int>(r);
}
