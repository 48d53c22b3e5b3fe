#pragma once
// Helpers of the picture reader tests: files of tests/data, reference
// decodes in binary PNM/PAM form, pixels of a bitmap, and the message a
// load raises.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Bitmap.h"

namespace imagetest {

inline std::vector<Byte> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("missing fixture " + path);
    return std::vector<Byte>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline std::string DataPath(const std::string& topic, const std::string& name) {
    return std::string(QM_TEST_DATA_DIR) + "/" + topic + "/" + name;
}

// A decoded reference: 8-bit samples (wider ones scaled as v x 255 / max,
// truncated), Depth samples a pixel.
struct TReference {
    int Width = 0, Height = 0, Depth = 0;
    std::vector<int> Samples;
    int At(int x, int y, int k) const { return Samples[(std::size_t(y) * Width + x) * Depth + k]; }
};

inline TReference ReadPNM(const std::vector<Byte>& d) {
    TReference r;
    std::size_t pos = 2;
    auto token = [&]() {
        std::string t;
        while (pos < d.size()) {
            char c = char(d[pos]);
            if (c == '#') {
                while (pos < d.size() && d[pos] != '\n')
                    ++pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                if (!t.empty()) break;
                ++pos;
            } else {
                t += c;
                ++pos;
            }
        }
        return t;
    };
    const char kind = char(d.at(1));
    int maxval = 255;
    if (kind == '7') {
        for (std::string t = token(); t != "ENDHDR"; t = token()) {
            if (t == "WIDTH")
                r.Width = std::stoi(token());
            else if (t == "HEIGHT")
                r.Height = std::stoi(token());
            else if (t == "DEPTH")
                r.Depth = std::stoi(token());
            else if (t == "MAXVAL")
                maxval = std::stoi(token());
            else if (t == "TUPLTYPE")
                token();
            if (pos >= d.size()) throw std::runtime_error("bad PAM");
        }
    } else {
        r.Width = std::stoi(token());
        r.Height = std::stoi(token());
        if (kind != '4') maxval = std::stoi(token());
        r.Depth = kind == '6' ? 3 : 1;
    }
    ++pos; // the one white-space character before the samples
    const std::size_t n = std::size_t(r.Width) * r.Height * r.Depth;
    if (kind == '4') {
        const std::size_t rowBytes = (std::size_t(r.Width) + 7) / 8;
        for (int y = 0; y < r.Height; ++y)
            for (int x = 0; x < r.Width; ++x) {
                int bit = (d.at(pos + y * rowBytes + x / 8) >> (7 - x % 8)) & 1;
                r.Samples.push_back(bit ? 0 : 255); // 1 is black
            }
        return r;
    }
    const int bytes = maxval > 255 ? 2 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned v =
            bytes == 2 ? unsigned(d.at(pos + 2 * i) << 8 | d.at(pos + 2 * i + 1)) : d.at(pos + i);
        r.Samples.push_back(int(std::uint64_t(v) * 255 / maxval));
    }
    return r;
}

// Pixel (x, y) of a bitmap as B, G, R, A.
inline std::array<int, 4> Pixel(const TBitmap& b, int x, int y) {
    Byte p[4];
    ReadDibPixel(b.Image(), x, y, p);
    return {p[0], p[1], p[2], p[3]};
}

// The largest difference of red, green, blue (grey references count for all
// three) between a bitmap and a reference.
inline int MaxDifference(const TBitmap& b, const TReference& r) {
    int worst = 0;
    for (int y = 0; y < r.Height; ++y)
        for (int x = 0; x < r.Width; ++x) {
            auto p = Pixel(b, x, y);
            for (int k = 0; k < 3; ++k) {
                int want = r.Depth >= 3 ? r.At(x, y, k) : r.At(x, y, 0);
                int have = p[2 - k];
                worst = std::max(worst, std::abs(want - have));
            }
        }
    return worst;
}

// Loads Bytes into Graphic; "" when it loads, else the message raised.
template <class T> std::string LoadMessage(T& Graphic, const std::vector<Byte>& Bytes) {
    TBytesStream s(Bytes);
    try {
        Graphic.LoadFromStream(s);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

inline std::vector<std::vector<std::string>> ReadCsv(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream f(path);
    for (std::string line; std::getline(f, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');)
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

} // namespace imagetest
