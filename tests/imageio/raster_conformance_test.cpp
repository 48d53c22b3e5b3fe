// Files written by independent tools (see tests/data/<format>/make_fixtures.sh)
// must decode to the pixels of the tool's own decode.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "ImageTestSupport.h"
#include "imageio/PcxReader.h"
#include "imageio/PortableMapReader.h"
#include "imageio/PsdReader.h"
#include "imageio/SgiReader.h"
#include "imageio/TargaReader.h"

using namespace imagetest;

namespace {

struct TFormatCase {
    const char* Topic;
    std::function<std::unique_ptr<TReaderGraphic>()> Create;
};

void CheckTable(const TFormatCase& format) {
    const auto rows = ReadCsv(DataPath(format.Topic, "cases.csv"));
    ASSERT_GT(rows.size(), 1u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(std::string(format.Topic) + "/" + row[0]);
        auto graphic = format.Create();
        const std::string message = LoadMessage(*graphic, ReadFile(DataPath(format.Topic, row[0])));
        ASSERT_EQ(message, "");
        ASSERT_EQ(graphic->Width(), std::stoi(row[1]));
        ASSERT_EQ(graphic->Height(), std::stoi(row[2]));
        const TReference ref = ReadPNM(ReadFile(DataPath(format.Topic, row[3])));
        const int tolerance = row.size() > 4 ? std::stoi(row[4]) : 0;
        EXPECT_LE(MaxDifference(*graphic, ref), tolerance);
        if (ref.Depth == 4) {
            ASSERT_EQ(graphic->PixelFormat(), pf32bit);
            int worst = 0;
            for (int y = 0; y < ref.Height; ++y)
                for (int x = 0; x < ref.Width; ++x)
                    worst = std::max(worst, std::abs(Pixel(*graphic, x, y)[3] - ref.At(x, y, 3)));
            EXPECT_LE(worst, tolerance) << "alpha";
        }
    }
}

template <class T> std::unique_ptr<TReaderGraphic> Make() {
    return std::make_unique<T>();
}

} // namespace

TEST(RasterConformance, TargaFilesMatchTheirReferences) {
    CheckTable({"tga", Make<TTargaGraphic>});
}
TEST(RasterConformance, PcxFilesMatchTheirReferences) {
    CheckTable({"pcx", Make<TPCXGraphic>});
}
TEST(RasterConformance, SgiFilesMatchTheirReferences) {
    CheckTable({"sgi", Make<TSGIGraphic>});
}
TEST(RasterConformance, PortableMapsMatchTheirReferences) {
    CheckTable({"pnm", Make<TPPMGraphic>});
}
// The binary kinds read whole rows and scale through a table; the text kinds
// go number by number. The same samples must give the same bitmap: odd
// widths, rows longer than the read buffer, samples above the maximum,
// one- and two-byte samples.
TEST(RasterConformance, BinaryPortableMapsMatchTheirTextForm) {
    std::mt19937 rng(7);
    for (int maxValue : {255, 200, 1000, 65535})
        for (int width : {1, 7, 1501})
            for (int samples : {0, 1, 3}) {
                if (samples == 0 && maxValue != 255) continue; // bitmaps have no maximum
                SCOPED_TRACE(std::to_string(maxValue) + " " + std::to_string(width) + " " +
                             std::to_string(samples));
                const int height = 3;
                const int kind = samples == 0 ? 1 : samples == 1 ? 2 : 3;
                std::string header = std::to_string(width) + " " + std::to_string(height) + "\n";
                if (samples) header += std::to_string(maxValue) + "\n";
                std::string text = "P" + std::to_string(kind) + "\n" + header;
                std::string binary = "P" + std::to_string(kind + 3) + "\n" + header;
                const bool wide = maxValue > 255;
                for (int y = 0; y < height; ++y) {
                    std::string bits;
                    for (int x = 0; x < std::max(samples, 1) * width; ++x) {
                        const unsigned v = samples == 0 ? rng() & 1 : rng() % (wide ? 65536 : 256);
                        text += std::to_string(v) + (x % 17 == 16 ? "\n" : " ");
                        if (samples == 0) {
                            bits += char('0' + v);
                        } else {
                            if (wide) binary += char(v >> 8);
                            binary += char(v & 0xFF);
                        }
                    }
                    for (std::size_t i = 0; i < bits.size(); i += 8) {
                        unsigned byte = 0;
                        for (std::size_t k = 0; k < 8; ++k)
                            byte = byte << 1 | (i + k < bits.size() && bits[i + k] == '1');
                        binary += char(byte);
                    }
                }
                TPPMGraphic fromText, fromBinary;
                ASSERT_EQ(LoadMessage(fromText, std::vector<Byte>(text.begin(), text.end())), "");
                ASSERT_EQ(LoadMessage(fromBinary, std::vector<Byte>(binary.begin(), binary.end())),
                          "");
                ASSERT_EQ(fromBinary.PixelFormat(), fromText.PixelFormat());
                const std::size_t rowBytes =
                    samples == 0 ? (std::size_t(width) + 7) / 8 : std::size_t(width) * samples;
                for (int y = 0; y < height; ++y)
                    ASSERT_EQ(std::memcmp(fromBinary.ScanLine(y), fromText.ScanLine(y), rowBytes),
                              0)
                        << y;
            }
}

TEST(RasterConformance, PhotoshopFilesMatchTheirReferences) {
    CheckTable({"psd", Make<TPSDGraphic>});
}

// Each tool-made file passes its reader's magic test from any position.
TEST(RasterConformance, MagicTestsAcceptTheFilesAndRestoreThePosition) {
    struct TMagic {
        const char* Topic;
        const char* File;
        std::unique_ptr<TReaderGraphic> Graphic;
    };
    TMagic cases[] = {{"tga", "rgb24_rle.tga", Make<TTargaGraphic>()},
                      {"tga", "cmap8_raw.tga", Make<TTargaGraphic>()},
                      {"pcx", "pal8.pcx", Make<TPCXGraphic>()},
                      {"sgi", "rgb_rle.sgi", Make<TSGIGraphic>()},
                      {"pnm", "plain_mono.pbm", Make<TPPMGraphic>()},
                      {"psd", "rgb_rle.psd", Make<TPSDGraphic>()}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.File);
        std::vector<Byte> bytes = {1, 2, 3};
        const auto file = ReadFile(DataPath(c.Topic, c.File));
        bytes.insert(bytes.end(), file.begin(), file.end());
        TBytesStream s(bytes);
        s.SetPosition(3);
        EXPECT_TRUE(c.Graphic->AcceptsStream(s));
        EXPECT_EQ(s.Position(), 3);
        s.SetPosition(0);
        EXPECT_FALSE(c.Graphic->AcceptsStream(s));
    }
}
