// Files written by independent tools (see tests/data/<format>/make_fixtures.sh)
// must decode to the pixels of the tool's own decode.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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
