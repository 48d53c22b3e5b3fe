#include "raster/RasterBlend.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterModule.h"
#include "platform/base/Rounding.h"

#include <gtest/gtest.h>

#include <cmath>
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

// One vector form and its name.
struct TForm {
    const char* Name;
    TBlendLineForm Lines;
};

const TForm Forms[] = {
    {"Sse2", BlendSse2Form}, {"Avx2", BlendAvx2Form}, {"Avx512", BlendAvx512Form}};

class VectorForm : public testing::TestWithParam<TForm> {
protected:
    void SetUp() override {
        InitRasterModules();
        if (!GetParam().Lines.Available()) GTEST_SKIP() << GetParam().Name << " not available here";
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
    Compare(BlendPortable::BlendLine, GetParam().Lines.BlendLine);
}

TEST_P(VectorForm, BlendLineExAtSeveralMasterAlphas) {
    for (Cardinal m : {0u, 1u, 2u, 127u, 128u, 200u, 254u, 255u, 256u, 1000u}) {
        SCOPED_TRACE(m);
        Compare([m](auto s, auto d, int n) { BlendPortable::BlendLineEx(s, d, n, m); },
                [m](auto s, auto d, int n) { GetParam().Lines.BlendLineEx(s, d, n, m); });
    }
}

TEST_P(VectorForm, CombineLineAtSeveralWeights) {
    for (Cardinal w : {0u, 1u, 2u, 127u, 128u, 200u, 254u, 255u, 256u, 1000u}) {
        SCOPED_TRACE(w);
        Compare([w](auto s, auto d, int n) { BlendPortable::CombineLine(s, d, n, w); },
                [w](auto s, auto d, int n) { GetParam().Lines.CombineLine(s, d, n, w); });
    }
}

TEST_P(VectorForm, MergeLineAndMergeLineEx) {
    Compare(BlendPortable::MergeLine, GetParam().Lines.MergeLine);
    for (Cardinal m : {0u, 1u, 128u, 254u, 255u, 1000u}) {
        SCOPED_TRACE(m);
        Compare([m](auto s, auto d, int n) { BlendPortable::MergeLineEx(s, d, n, m); },
                [m](auto s, auto d, int n) { GetParam().Lines.MergeLineEx(s, d, n, m); });
    }
}

// Every pair of foreground and background alphas, each with 64 pixels of
// random colours (the special alphas 0 and 255 among them), against the
// table arithmetic.
TEST_P(VectorForm, MergeOverEveryAlphaPair) {
    constexpr int PerPair = 64;
    std::mt19937 rng(7);
    std::vector<TColor32> src(256 * PerPair), dst(src.size()), a, b;
    for (int fa = 0; fa < 256; ++fa) {
        for (std::size_t i = 0; i < src.size(); ++i) {
            src[i] = (rng() & 0x00FFFFFF) | TColor32(fa) << 24;
            dst[i] = (rng() & 0x00FFFFFF) | TColor32(i / PerPair) << 24;
        }
        a = b = dst;
        BlendPortable::MergeLine(src.data(), a.data(), int(src.size()));
        GetParam().Lines.MergeLine(src.data(), b.data(), int(src.size()));
        ASSERT_EQ(a, b) << "fa " << fa;
        const Cardinal m = 1 + rng() % 255;
        a = b = dst;
        BlendPortable::MergeLineEx(src.data(), a.data(), int(src.size()), m);
        GetParam().Lines.MergeLineEx(src.data(), b.data(), int(src.size()), m);
        ASSERT_EQ(a, b) << "fa " << fa << " m " << m;
    }
}

TEST_P(VectorForm, SourceAndDestinationMayBeTheSameLine) {
    std::mt19937 rng(5);
    const std::vector<TColor32> base = Pixels(rng, 37);
    std::vector<TColor32> a = base, b = base;
    BlendPortable::BlendLine(a.data(), a.data(), 37);
    GetParam().Lines.BlendLine(b.data(), b.data(), 37);
    EXPECT_EQ(a, b);
    a = base;
    b = base;
    BlendPortable::BlendLineEx(a.data(), a.data(), 37, 99);
    GetParam().Lines.BlendLineEx(b.data(), b.data(), 37, 99);
    EXPECT_EQ(a, b);
    a = base;
    b = base;
    BlendPortable::MergeLine(a.data(), a.data(), 37);
    GetParam().Lines.MergeLine(b.data(), b.data(), 37);
    EXPECT_EQ(a, b);
}

// The vector merge replaces the table look-ups by arithmetic; these are its
// two formulas and the bound they rely on, checked over every input.
TEST(VectorMergeArithmetic, MatchesTheTablesEverywhere) {
    InitRasterModules();
    for (unsigned n = 0; n <= 255 * 255; ++n)
        ASSERT_EQ(((n + 128) * 257) >> 16, unsigned(RoundQuotient(n, 255))) << n;
    // The composed premultiplied value bp + or - Round(fa * |fc - bp| / 255)
    // is Round((fa * fc + (255 - fa) * bp) / 255) ...
    for (int fa = 1; fa < 255; ++fa)
        for (int bp = 0; bp < 256; ++bp)
            for (int fc = 0; fc < 256; ++fc) {
                const int d = fc - bp;
                const int v =
                    d >= 0 ? bp + MulDiv255Table[fa * 256 + d] : bp - MulDiv255Table[fa * 256 - d];
                ASSERT_EQ(v, RoundQuotient(fa * fc + (255 - fa) * bp, 255)) << fa << " " << bp;
            }
    // ... and never exceeds the composed alpha. It grows with the foreground
    // channel, so 255 is the worst case.
    for (int fa = 1; fa < 255; ++fa)
        for (int ba = 1; ba < 255; ++ba) {
            const int ra = fa + ba - MulDiv255Table[ba * 256 + fa];
            ASSERT_LE(ra, 255);
            for (int bc = 0; bc < 256; ++bc) {
                const int bp = MulDiv255Table[ba * 256 + bc];
                ASSERT_LE(bp + MulDiv255Table[fa * 256 + 255 - bp], ra);
            }
        }
    // The composed alpha is the same composition of fa over ba, both taken
    // as channels under alphas of 255.
    for (int fa = 0; fa < 256; ++fa)
        for (int ba = 0; ba < 256; ++ba)
            ASSERT_EQ(RoundQuotient(255 * fa + (255 - fa) * ba, 255),
                      fa + ba - MulDiv255Table[ba * 256 + fa])
                << fa << " " << ba;
    // So the division needs v <= ra only: 255 / ra rounded to float, times
    // v, plus 12288, rounded half to even, is 12288 + the table's entry,
    // with the product rounded first or not.
    for (int ra = 1; ra < 256; ++ra) {
        const float scale = 255.0f / float(ra);
        for (int v = 0; v <= ra; ++v) {
            volatile float product = float(v) * scale;
            ASSERT_EQ(std::lrint(product + 12288.0f), 12288 + DivTable[ra * 256 + v])
                << ra << " " << v;
            ASSERT_EQ(std::lrint(std::fma(float(v), scale, 12288.0f)),
                      12288 + DivTable[ra * 256 + v])
                << ra << " " << v;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, VectorForm, testing::ValuesIn(Forms),
                         [](const testing::TestParamInfo<TForm>& Info) { return Info.param.Name; });
