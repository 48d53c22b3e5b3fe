// The export's bytes are fixed: the three reference banners of the export
// benchmark, built from their documents through the program's renderers,
// builder, optimiser and writer, give exactly the files they gave before the
// export was made faster (size and 64-bit FNV-1a hash of each file). Any change to the
// reduction, the transitions, the optimiser or the coder that moves a single
// byte shows here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "banner/AnimationBuilder.h"
#include "bench/ReferenceBanners.h"

TEST(ExportBytes, ReferenceBannersExportTheSameFiles) {
    struct TExpected {
        std::uintmax_t Size;
        std::uint64_t Hash;
    };
    const TExpected expected[ReferenceBannerCount] = {{147202, 0x3A4FF79DBE949613u},
                                                      {360313, 0xC5F4B876FE850176u},
                                                      {229254, 0xC8727FB28F9B41A2u}};
    const auto file = std::filesystem::temp_directory_path() /
                      ("qm_export_bytes_" + std::to_string(getpid()) + ".gif");
    for (int kind = 0; kind < ReferenceBannerCount; ++kind) {
        const auto doc = MakeReferenceBanner(kind);
        TAnimationPreview preview;
        preview.BuildAnimation(*doc);
        preview.OptimizeAnimation();
        preview.ExportAnimation(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        std::uint64_t hash = 0xCBF29CE484222325u;
        for (char c : bytes)
            hash = (hash ^ std::uint8_t(c)) * 0x100000001B3u;
        EXPECT_EQ(bytes.size(), expected[kind].Size) << ReferenceBannerName(kind);
        EXPECT_EQ(hash, expected[kind].Hash)
            << ReferenceBannerName(kind) << ": 0x" << std::hex << hash;
    }
    std::filesystem::remove(file);
}
