// Loading one 4000 x 3000 picture file through the editor's own road
// (TPicture::LoadFromFile: the reader registered for the extension, the file
// stream, the reader's colour conversion into the bitmap), one benchmark per
// file kind. The files are made by this program in a temporary folder, once
// per run: our own writers where we have one (BMP, Targa), a few lines here
// for the others (binary portable pixmap, TIFF strips of 16 rows stored with
// PackBits, deflate or JPEG).
//
// The picture mixes what real pictures hold: flat blocks (long runs),
// smooth gradients and noisy texture (literal packets).
//
// Counter ms_per_file: the median processor time of one load over the
// repetitions (the thread's own time, user and system: the machine is often
// shared, and waiting for a processor is no part of a reader's cost);
// wall_ms: the median elapsed time.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "imageio/PictureReaders.h"
#include "imageio/TargaReader.h"
#include "platform/base/Memory.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BmpFormat.h"
#include "platform/graphics/Graphic.h"
#include "tests/support/JpegStrip.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int W = 4000;
constexpr int H = 3000;

// R, G, B rows, top-down.
const std::vector<Byte>& Picture() {
    static const std::vector<Byte> rgb = [] {
        std::vector<Byte> p(std::size_t(W) * H * 3);
        std::uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 24;
        };
        for (int y = 0; y < H; ++y) {
            Byte* row = p.data() + std::size_t(y) * W * 3;
            for (int x = 0; x < W; ++x) {
                // Blocks of 80 x 60 pixels of three kinds.
                const std::uint32_t block =
                    std::uint32_t(x / 80) * 7919u + std::uint32_t(y / 60) * 104729u;
                const std::uint32_t h = (block ^ (block >> 7)) * 2654435761u;
                int r, g, b;
                switch ((h >> 8) % 3) {
                case 0: // flat
                    r = int(h >> 24), g = int(h >> 16) & 0xFF, b = int(h >> 4) & 0xFF;
                    break;
                case 1: // gradient
                    r = x * 255 / W, g = y * 255 / H, b = (x + y) * 255 / (W + H);
                    break;
                default: { // texture
                    const int n = int(next() & 31) - 16;
                    r = std::clamp(x * 255 / W + n, 0, 255);
                    g = std::clamp(128 + n, 0, 255);
                    b = std::clamp(y * 255 / H - n, 0, 255);
                }
                }
                row[x * 3] = Byte(r), row[x * 3 + 1] = Byte(g), row[x * 3 + 2] = Byte(b);
            }
        }
        return p;
    }();
    return rgb;
}

const Byte* RgbRow(int y) {
    return Picture().data() + std::size_t(y) * W * 3;
}

void Put16(std::vector<Byte>& o, unsigned v) {
    o.push_back(Byte(v)), o.push_back(Byte(v >> 8));
}
void Put32(std::vector<Byte>& o, std::uint32_t v) {
    Put16(o, v & 0xFFFF), Put16(o, v >> 16);
}

std::vector<Byte> MakePnm() {
    const std::string header = "P6\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
    std::vector<Byte> o(header.begin(), header.end());
    o.insert(o.end(), Picture().begin(), Picture().end());
    return o;
}

TDibImage Dib24() {
    TDibImage image;
    image.Width = W, image.Height = H, image.PixelFormat = pf24bit;
    image.Bits.resize(std::size_t(image.Stride()) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int k = 0; k < 3; ++k)
                image.Row(y)[x * 3 + k] = RgbRow(y)[x * 3 + 2 - k];
    return image;
}

std::vector<Byte> MakeBmp() {
    return WriteBmp(Dib24());
}

std::vector<Byte> MakeTarga() {
    TBitmap bitmap(W, H, pf24bit);
    const TDibImage image = Dib24();
    for (int y = 0; y < H; ++y)
        std::copy_n(image.Row(y), W * 3, bitmap.ScanLine(y));
    TTargaGraphic targa;
    targa.Assign(&bitmap);
    TMemoryStream s;
    targa.SaveToStream(s);
    const Byte* d = static_cast<const Byte*>(s.Memory());
    return std::vector<Byte>(d, d + s.Size());
}

// TIFF strips: 16 rows each, R, G, B samples.
constexpr int StripRows = 16;

std::vector<Byte> PackBits(const Byte* p, int n) {
    std::vector<Byte> o;
    int i = 0;
    while (i < n) {
        int run = 1;
        while (i + run < n && run < 128 && p[i + run] == p[i])
            ++run;
        if (run >= 3) {
            o.push_back(Byte(257 - run)), o.push_back(p[i]);
            i += run;
            continue;
        }
        int lit = 0;
        while (i + lit < n && lit < 128 &&
               !(i + lit + 2 < n && p[i + lit] == p[i + lit + 1] && p[i + lit] == p[i + lit + 2]))
            ++lit;
        o.push_back(Byte(lit - 1));
        o.insert(o.end(), p + i, p + i + lit);
        i += lit;
    }
    return o;
}

std::vector<Byte> Deflate(const Byte* p, std::size_t n) {
    uLongf size = compressBound(uLong(n));
    std::vector<Byte> o(size);
    if (compress2(o.data(), &size, p, uLong(n), 6) != Z_OK) throw std::runtime_error("deflate");
    o.resize(size);
    return o;
}

// Compression 32773 PackBits, 8 deflate, 7 JPEG.
std::vector<Byte> MakeTiff(int Compression) {
    std::vector<std::vector<Byte>> strips;
    for (int y0 = 0; y0 < H; y0 += StripRows) {
        const int rows = std::min(StripRows, H - y0);
        if (Compression == 32773) {
            std::vector<Byte> s;
            for (int y = y0; y < y0 + rows; ++y) {
                std::vector<Byte> r = PackBits(RgbRow(y), W * 3);
                s.insert(s.end(), r.begin(), r.end());
            }
            strips.push_back(std::move(s));
        } else if (Compression == 8) {
            strips.push_back(Deflate(RgbRow(y0), std::size_t(W) * 3 * rows));
        } else {
            strips.push_back(JpegStrip(RgbRow(y0), W, rows, 3, 85));
        }
    }
    std::vector<Byte> o = {'I', 'I'};
    Put16(o, 42);
    Put32(o, 0); // IFD offset, set below
    std::vector<std::uint32_t> offsets, counts;
    for (const auto& s : strips) {
        offsets.push_back(std::uint32_t(o.size()));
        counts.push_back(std::uint32_t(s.size()));
        o.insert(o.end(), s.begin(), s.end());
        if (o.size() & 1) o.push_back(0);
    }
    const bool jpeg = Compression == 7;
    // Tag, type, count, value (or offset of the values for arrays).
    struct Entry {
        Word Tag, Type;
        std::uint32_t Count, Value;
    };
    std::vector<Entry> entries;
    auto array = [&o](const std::vector<std::uint32_t>& v) {
        const auto at = std::uint32_t(o.size());
        for (std::uint32_t x : v)
            Put32(o, x);
        return at;
    };
    const std::uint32_t bitsAt = std::uint32_t(o.size());
    Put16(o, 8), Put16(o, 8), Put16(o, 8);
    const std::uint32_t offsetsAt = array(offsets), countsAt = array(counts);
    entries = {{256, 4, 1, W},
               {257, 4, 1, H},
               {258, 3, 3, bitsAt},
               {259, 3, 1, std::uint32_t(Compression)},
               {262, 3, 1, jpeg ? 6u : 2u},
               {273, 4, std::uint32_t(offsets.size()), offsetsAt},
               {277, 3, 1, 3},
               {278, 4, 1, StripRows},
               {279, 4, std::uint32_t(counts.size()), countsAt},
               {284, 3, 1, 1}};
    if (jpeg) entries.push_back({530, 3, 2, 2u | 2u << 16});
    if (o.size() & 1) o.push_back(0);
    const auto ifd = std::uint32_t(o.size());
    o[4] = Byte(ifd), o[5] = Byte(ifd >> 8), o[6] = Byte(ifd >> 16), o[7] = Byte(ifd >> 24);
    Put16(o, unsigned(entries.size()));
    for (const Entry& e : entries) {
        Put16(o, e.Tag), Put16(o, e.Type), Put32(o, e.Count), Put32(o, e.Value);
    }
    Put32(o, 0);
    return o;
}

struct TKind {
    const char* Label;
    const char* FileName;
    std::vector<Byte> (*Make)();
};

const TKind Kinds[] = {
    {"TIFF PackBits", "packbits.tif", [] { return MakeTiff(32773); }},
    {"TIFF deflate", "deflate.tif", [] { return MakeTiff(8); }},
    {"TIFF JPEG", "jpeg.tif", [] { return MakeTiff(7); }},
    {"PNM P6", "pixmap.ppm", MakePnm},
    {"Targa RLE 24-bit", "rle24.tga", MakeTarga},
    {"BMP 24-bit", "rgb24.bmp", MakeBmp},
};
constexpr int KindCount = int(sizeof(Kinds) / sizeof(Kinds[0]));

// The files of this run, removed at exit.
struct TFolder {
    std::filesystem::path Path;
    TFolder() {
        Path = std::filesystem::temp_directory_path() /
               ("qm_reader_bench_" + std::to_string(std::uintmax_t(::getpid())));
        std::filesystem::create_directories(Path);
    }
    ~TFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
};

std::string FileOf(int Kind) {
    static TFolder folder;
    static std::string names[KindCount];
    std::string& name = names[Kind];
    if (name.empty()) {
        name = (folder.Path / Kinds[Kind].FileName).string();
        const std::vector<Byte> bytes = Kinds[Kind].Make();
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    return name;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_LoadPicture(benchmark::State& State) {
    // As the program's start-up does.
    static const bool started = (KeepFreedMemory(), InitPictureReaders(), true);
    (void)started;
    const int kind = int(State.range(0));
    const std::string file = FileOf(kind);
    std::vector<double> cpu, wall;
    for (auto _ : State) {
        TPicture picture;
        const double c0 = ThreadSeconds();
        const auto t0 = Clock::now();
        picture.LoadFromFile(file);
        wall.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        cpu.push_back(ThreadSeconds() - c0);
        if (picture.Width() != W || picture.Height() != H) State.SkipWithError("wrong size");
    }
    State.SetLabel(Kinds[kind].Label);
    State.counters["ms_per_file"] = Median(cpu) * 1e3;
    State.counters["wall_ms"] = Median(wall) * 1e3;
    State.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
}

} // namespace

BENCHMARK(BM_LoadPicture)
    ->DenseRange(0, KindCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

BENCHMARK_MAIN();
