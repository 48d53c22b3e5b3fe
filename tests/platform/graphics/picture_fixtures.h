#pragma once
// Helpers of the picture tests: reading committed fixture files and the
// binary PPM references made beside them by tests/data/make_fixtures.sh.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

inline std::string FixturePath(const std::string& name) {
    return std::string(QM_TEST_DATA_DIR) + "/" + name;
}

inline std::vector<std::uint8_t> ReadFixture(const std::string& name) {
    std::ifstream f(FixturePath(name), std::ios::binary);
    if (!f) throw std::runtime_error("missing fixture " + name);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A P6 picture: width, height and R,G,B bytes row by row.
struct TPpm {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;
};

inline TPpm ReadPpm(const std::string& name) {
    const std::vector<std::uint8_t> bytes = ReadFixture(name);
    std::string text(bytes.begin(), bytes.end());
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    TPpm p;
    in >> magic >> p.Width >> p.Height >> maxval;
    if (magic != "P6" || maxval != 255) throw std::runtime_error("not a P6 picture: " + name);
    in.get();
    const size_t start = static_cast<size_t>(in.tellg());
    p.Rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    if (p.Rgb.size() != static_cast<size_t>(p.Width) * p.Height * 3)
        throw std::runtime_error("short PPM " + name);
    return p;
}

// Largest channel difference between B,G,R,A pixels and a PPM's R,G,B.
inline int MaxDifference(const std::vector<std::uint8_t>& bgra, const TPpm& ppm) {
    int worst = 0;
    for (size_t i = 0; i < static_cast<size_t>(ppm.Width) * ppm.Height; ++i)
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs(int(bgra[4 * i + 2 - c]) - int(ppm.Rgb[3 * i + c]));
            if (d > worst) worst = d;
        }
    return worst;
}
