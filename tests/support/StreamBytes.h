#pragma once
// The expected bytes of streamed values, put together piece by piece.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A short string as the filer writes it: its length in one byte, then its
// characters.
inline Bytes Str(std::string_view s) {
    Bytes b;
    b.push_back(std::uint8_t(s.size()));
    for (char ch : s)
        b.push_back(std::uint8_t(ch));
    return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes r;
    for (const Bytes& p : parts)
        r.insert(r.end(), p.begin(), p.end());
    return r;
}
