#include "raster/RasterBlend.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr TColor32 Guard = 0xDEADBEEFu;
constexpr int GuardCount = 8;
const int Counts[] = {0, 1, 3, 4, 5, 7, 8, 9, 17, 33, 1000};

// Pixels with runs of clear and opaque ones among random alphas, so that the
// four-pixel fast paths and the mixed groups both occur.
std::vector<TColor32> Pixels(std::mt19937& Rng, int N) {
    std::vector<TColor32> v(N);
    int i = 0;
    while (i < N) {
        const int run = 1 + int(Rng() % 9);
        const int kind = int(Rng() % 4);
        for (int k = 0; k < run && i < N; ++k, ++i) {
            TColor32 c = Rng();
            if (kind == 0) c &= 0x00FFFFFF;
            if (kind == 1) c |= 0xFF000000;
            v[i] = c;
        }
    }
    return v;
}

// The routines of one vector form.
struct TForm {
    const char* Name;
    bool (*Available)();
    void (*CombineLine)(const TColor32*, TColor32*, int, Cardinal);
    void (*BlendLine)(const TColor32*, TColor32*, int);
    void (*BlendLineEx)(const TColor32*, TColor32*, int, Cardinal);
    TBlendForm Form;
};

const TForm Forms[] = {
    {"Sse2", BlendSse2::Available, BlendSse2::CombineLine, BlendSse2::BlendLine,
     BlendSse2::BlendLineEx, bfSse2},
    {"Avx2", BlendAvx2::Available, BlendAvx2::CombineLine, BlendAvx2::BlendLine,
     BlendAvx2::BlendLineEx, bfAvx2},
};

class VectorForm : public testing::TestWithParam<TForm> {
protected:
    void SetUp() override {
        InitRasterModules();
        if (!GetParam().Available()) GTEST_SKIP() << GetParam().Name << " not available here";
    }

    // Runs the portable and the vector form of one line routine on the same
    // input at every misalignment and count, with guard pixels after the
    // destination, and wants the same bytes.
    template <class TPortable, class TVector> void Compare(TPortable Portable, TVector Vector) {
        std::mt19937 rng(11);
        for (int count : Counts)
            for (int srcOffset = 0; srcOffset < 4; ++srcOffset)
                for (int dstOffset = 0; dstOffset < 4; ++dstOffset)
                    for (int rep = 0; rep < 4; ++rep) {
                        const std::vector<TColor32> src = Pixels(rng, count + 4);
                        std::vector<TColor32> base = Pixels(rng, count + 4 + GuardCount);
                        for (int g = 0; g < GuardCount; ++g)
                            base[dstOffset + count + g] = Guard;
                        std::vector<TColor32> a = base, b = base;
                        Portable(src.data() + srcOffset, a.data() + dstOffset, count);
                        Vector(src.data() + srcOffset, b.data() + dstOffset, count);
                        ASSERT_EQ(a, b)
                            << "count " << count << " offsets " << srcOffset << "/" << dstOffset;
                        for (int g = 0; g < GuardCount; ++g)
                            ASSERT_EQ(b[dstOffset + count + g], Guard);
                    }
    }
};

} // namespace

TEST_P(VectorForm, BlendLine) {
    Compare(BlendPortable::BlendLine, GetParam().BlendLine);
}

TEST_P(VectorForm, BlendLineExAtSeveralMasterAlphas) {
    for (Cardinal m : {0u, 1u, 2u, 127u, 128u, 200u, 254u, 255u, 256u, 1000u}) {
        SCOPED_TRACE(m);
        Compare([m](auto s, auto d, int n) { BlendPortable::BlendLineEx(s, d, n, m); },
                [m](auto s, auto d, int n) { GetParam().BlendLineEx(s, d, n, m); });
    }
}

TEST_P(VectorForm, CombineLineAtSeveralWeights) {
    for (Cardinal w : {0u, 1u, 2u, 127u, 128u, 200u, 254u, 255u, 256u, 1000u}) {
        SCOPED_TRACE(w);
        Compare([w](auto s, auto d, int n) { BlendPortable::CombineLine(s, d, n, w); },
                [w](auto s, auto d, int n) { GetParam().CombineLine(s, d, n, w); });
    }
}

TEST_P(VectorForm, SourceAndDestinationMayBeTheSameLine) {
    std::mt19937 rng(5);
    const std::vector<TColor32> base = Pixels(rng, 37);
    std::vector<TColor32> a = base, b = base;
    BlendPortable::BlendLine(a.data(), a.data(), 37);
    GetParam().BlendLine(b.data(), b.data(), 37);
    EXPECT_EQ(a, b);
    a = base;
    b = base;
    BlendPortable::BlendLineEx(a.data(), a.data(), 37, 99);
    GetParam().BlendLineEx(b.data(), b.data(), 37, 99);
    EXPECT_EQ(a, b);
}

INSTANTIATE_TEST_SUITE_P(Forms, VectorForm, testing::ValuesIn(Forms),
                         [](const testing::TestParamInfo<TForm>& Info) { return Info.param.Name; });
