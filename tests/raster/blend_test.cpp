#include "raster/RasterBlend.h"
#include "raster/RasterModule.h"
#include "raster/RasterSystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

class Blend : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

int Ch(TColor32 C, int I) {
    return int((C >> (8 * I)) & 0xFF);
}

// Half-to-even rounding of P / Q for P >= 0, Q > 0, written out on its own.
int RoundHalfEvenRef(int P, int Q) {
    const int d = P / Q, twice = 2 * (P % Q);
    if (twice > Q || (twice == Q && d % 2 == 1)) return d + 1;
    return d;
}

// The blend arithmetic channel by channel, straight from its definition.
int MixRef(int X, int Y, int W) {
    return (W * X + (256 - W) * Y + 128) >> 8;
}
TColor32 MixColourRef(TColor32 X, TColor32 Y, int W) {
    TColor32 r = 0;
    for (int i = 0; i < 4; ++i)
        r |= TColor32(MixRef(Ch(X, i), Ch(Y, i), W)) << (8 * i);
    return r;
}
TColor32 CombineRegRef(TColor32 X, TColor32 Y, int W) {
    return MixColourRef(X, Y, W);
}
TColor32 BlendRegRef(TColor32 F, TColor32 B) {
    return MixColourRef(F, B, Ch(F, 3));
}
TColor32 BlendMemRef(TColor32 F, TColor32 B) {
    if (Ch(F, 3) == 0) return B;
    if (Ch(F, 3) == 255) return F;
    return BlendRegRef(F, B);
}
TColor32 BlendRegExRef(TColor32 F, TColor32 B, int M) {
    const int w = ((M + 1) * Ch(F, 3)) >> 8;
    return w == 0 ? B : MixColourRef(F, B, w);
}
TColor32 BlendLineExPixelRef(TColor32 F, TColor32 B, int M) {
    if (Ch(F, 3) == 0) return B;
    const int w = ((Ch(F, 3) + 1) * M) >> 8;
    return w == 0 ? B : MixColourRef(F, B, w);
}
int MulDiv255Ref(int I, int J) {
    return RoundHalfEvenRef(I * J, 255);
}
int DivRef(int I, int J) {
    return J == 0 ? 0 : RoundHalfEvenRef(I * 255, J) & 0xFF;
}
TColor32 MergeRegRef(TColor32 F, TColor32 B) {
    const int fa = Ch(F, 3), ba = Ch(B, 3);
    if (fa == 0) return B;
    if (ba == 255) return BlendRegRef(F, B) | 0xFF000000u;
    if (fa == 255 || ba == 0) return F;
    const int ra = (fa + ba - MulDiv255Ref(ba, fa)) & 255;
    TColor32 r = TColor32(ra) << 24;
    for (int i = 0; i < 3; ++i) {
        const int bp = MulDiv255Ref(ba, Ch(B, i));
        const int d = Ch(F, i) - bp;
        const int v = d >= 0 ? bp + MulDiv255Ref(fa, d) : bp - MulDiv255Ref(fa, -d);
        r |= TColor32(DivRef(v, ra)) << (8 * i);
    }
    return r;
}

// Random colours with alphas that often hit the special values 0 and 255.
TColor32 RandomColour(std::mt19937& Rng) {
    TColor32 c = Rng();
    switch (Rng() % 4) {
    case 0:
        return c & 0x00FFFFFF;
    case 1:
        return c | 0xFF000000;
    default:
        return c;
    }
}

constexpr int Samples = 1000000;

} // namespace

TEST_F(Blend, TablesMatchTheirDefinition) {
    for (int j = 0; j < 256; ++j)
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(MulDiv255Table[j * 256 + i], MulDiv255Ref(i, j)) << i << " " << j;
            ASSERT_EQ(DivTable[j * 256 + i], DivRef(i, j)) << i << " " << j;
        }
}

TEST_F(Blend, TableKnownValuesAndTies) {
    EXPECT_EQ(MulDiv255Table[255 * 256 + 255], 255);
    EXPECT_EQ(MulDiv255Table[128 * 256 + 128], 64); // 64.25
    EXPECT_EQ(MulDiv255Table[128 * 256 + 255], 128);
    EXPECT_EQ(DivTable[2 * 256 + 1], 128); // 127.5 goes to the even 128
    EXPECT_EQ(DivTable[6 * 256 + 1], 42);  // 42.5 goes to the even 42
    EXPECT_EQ(DivTable[10 * 256 + 1], 26); // 25.5 goes to the even 26
    EXPECT_EQ(DivTable[2 * 256 + 3], 126); // 382 keeps its low 8 bits
    EXPECT_EQ(DivTable[0 * 256 + 77], 0);
    EXPECT_EQ(DivTable[255 * 256 + 200], 200);
}

TEST_F(Blend, KnownValues) {
    // An opaque white over opaque black: the alpha stays, colours reach 254.
    EXPECT_EQ(BlendReg(0xFFFFFFFFu, 0xFF000000u), 0xFFFEFEFEu);
    TColor32 b = 0xFF000000u;
    BlendMem(0xFFFFFFFFu, b);
    EXPECT_EQ(b, 0xFFFFFFFFu);
    b = 0x12345678u;
    BlendMem(0x00FFFFFFu, b);
    EXPECT_EQ(b, 0x12345678u);
    EXPECT_EQ(CombineReg(0xFFFFFFFFu, 0, 255), 0xFEFEFEFEu);
    EXPECT_EQ(CombineReg(0xFFFFFFFFu, 0, 128), 0x80808080u);
    EXPECT_EQ(CombineReg(0, 0xFFFFFFFFu, 0), 0xFFFFFFFFu);
    // Half-transparent red over a fully transparent background: unchanged.
    EXPECT_EQ(MergeReg(0x80FF0000u, 0x00123456u), 0x80FF0000u);
    // Over an opaque background merge is blend with an opaque result.
    EXPECT_EQ(MergeReg(0x80FF0000u, 0xFF0000FFu), BlendReg(0x80FF0000u, 0xFF0000FFu) | 0xFF000000u);
    EXPECT_EQ(MergeRegEx(0xFF102030u, 0x80405060u, 255), 0xFF102030u); // Fa stays 255
    EXPECT_EQ(MergeRegEx(0xFF102030u, 0x80405060u, 0), 0x80405060u);
    EXPECT_EQ(BlendRegEx(0xFF102030u, 0x80405060u, 0), 0x80405060u);
    std::vector<TColor32> src(8, 0xFFFFFFFFu), dst(8, 0xFF000000u);
    BlendLineEx(src.data(), dst.data(), 8, 0);
    EXPECT_EQ(dst, std::vector<TColor32>(8, 0xFF000000u)); // M = 0 changes nothing
}

TEST_F(Blend, CombineRegExhaustiveOverChannelsAndWeights) {
    for (int w = 0; w < 256; ++w)
        for (int x = 0; x < 256; ++x)
            for (int y = 0; y < 256; ++y) {
                const TColor32 X = TColor32(x) * 0x01010101u, Y = TColor32(y) * 0x01010101u;
                ASSERT_EQ(CombineReg(X, Y, w), TColor32(MixRef(x, y, w)) * 0x01010101u)
                    << x << " " << y << " " << w;
            }
    EXPECT_EQ(CombineReg(0xFFFFFFFFu, 0, 1000), CombineReg(0xFFFFFFFFu, 0, 255));
}

TEST_F(Blend, RegisterAndMemoryFormsAgainstReference) {
    std::mt19937 rng(1);
    for (int n = 0; n < Samples; ++n) {
        const TColor32 f = RandomColour(rng), b = RandomColour(rng);
        const int w = int(rng() % 256), m = int(rng() % 256);
        ASSERT_EQ(CombineReg(f, b, w), CombineRegRef(f, b, w));
        TColor32 mem = b;
        CombineMem(f, mem, w);
        ASSERT_EQ(mem, w == 0 ? b : (w == 255 ? f : CombineRegRef(f, b, w)));
        ASSERT_EQ(BlendReg(f, b), BlendRegRef(f, b));
        mem = b;
        BlendMem(f, mem);
        ASSERT_EQ(mem, BlendMemRef(f, b));
        ASSERT_EQ(BlendRegEx(f, b, m), BlendRegExRef(f, b, m));
        mem = b;
        BlendMemEx(f, mem, m);
        ASSERT_EQ(mem, BlendRegExRef(f, b, m));
        ASSERT_EQ(MergeReg(f, b), MergeRegRef(f, b)) << std::hex << f << " " << b;
        const TColor32 scaled = (f & 0x00FFFFFF) | (TColor32(MulDiv255Ref(m, Ch(f, 3))) << 24);
        ASSERT_EQ(MergeRegEx(f, b, m), MergeRegRef(scaled, b));
        mem = b;
        MergeMemEx(f, mem, m);
        ASSERT_EQ(mem, MergeRegRef(scaled, b));
    }
}

TEST_F(Blend, MasterAlphaAboveRangeCountsAs255) {
    std::mt19937 rng(2);
    for (int n = 0; n < 10000; ++n) {
        const TColor32 f = RandomColour(rng), b = RandomColour(rng);
        ASSERT_EQ(BlendRegEx(f, b, 256), BlendRegEx(f, b, 255));
        ASSERT_EQ(MergeRegEx(f, b, 0xFFFFFFFFu), MergeRegEx(f, b, 255));
        TColor32 m1 = b, m2 = b;
        CombineMem(f, m1, 300);
        CombineMem(f, m2, 255);
        ASSERT_EQ(m1, m2);
    }
}

TEST_F(Blend, MergeIsCloseToExactComposition) {
    // A wrapped division-table entry would turn a bright channel dark; the
    // table arithmetic must stay within rounding of the exact "over".
    std::mt19937 rng(3);
    for (int n = 0; n < Samples; ++n) {
        TColor32 f = rng(), b = rng();
        const double fa = Ch(f, 3) / 255.0, ba = Ch(b, 3) / 255.0;
        const double ra = fa + ba * (1 - fa);
        const TColor32 r = MergeReg(f, b);
        if (Ch(f, 3) == 0 || Ch(b, 3) == 255 || Ch(f, 3) == 255 || Ch(b, 3) == 0) continue;
        ASSERT_NEAR(Ch(r, 3), ra * 255, 1.0);
        // The premultiplied value is off by about one unit at most, which
        // the division by the composed alpha magnifies.
        const double tolerance = 2.0 / ra + 1.0;
        for (int i = 0; i < 3; ++i) {
            const double exact = (Ch(f, i) * fa + Ch(b, i) * ba * (1 - fa)) / ra;
            ASSERT_NEAR(Ch(r, i), exact, tolerance) << std::hex << f << " " << b;
        }
    }
}

TEST_F(Blend, LineFormsAgainstReference) {
    std::mt19937 rng(4);
    constexpr int N = 4099;
    std::vector<TColor32> src(N), dst(N), expect(N);
    for (TBlendForm form : {bfPortable, bfSse2, bfAvx2, bfAvx512}) {
        if (!SelectBlendRoutines(form)) continue;
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < N; ++i) {
                src[i] = RandomColour(rng);
                dst[i] = RandomColour(rng);
            }
            const int w = round == 0 ? 0 : (round == 1 ? 255 : int(rng() % 256));
            const std::vector<TColor32> orig = dst;

            dst = orig;
            CombineLine(src.data(), dst.data(), N, w);
            for (int i = 0; i < N; ++i)
                expect[i] =
                    w == 0 ? orig[i] : (w == 255 ? src[i] : CombineRegRef(src[i], orig[i], w));
            ASSERT_EQ(dst, expect) << "CombineLine form " << form << " w " << w;

            dst = orig;
            BlendLine(src.data(), dst.data(), N);
            for (int i = 0; i < N; ++i)
                expect[i] = BlendMemRef(src[i], orig[i]);
            ASSERT_EQ(dst, expect) << "BlendLine form " << form;

            dst = orig;
            BlendLineEx(src.data(), dst.data(), N, w);
            for (int i = 0; i < N; ++i)
                expect[i] = BlendLineExPixelRef(src[i], orig[i], w);
            ASSERT_EQ(dst, expect) << "BlendLineEx form " << form << " m " << w;

            dst = orig;
            MergeLine(src.data(), dst.data(), N);
            for (int i = 0; i < N; ++i)
                expect[i] = MergeRegRef(src[i], orig[i]);
            ASSERT_EQ(dst, expect);

            dst = orig;
            MergeLineEx(src.data(), dst.data(), N, w);
            for (int i = 0; i < N; ++i)
                expect[i] = MergeRegEx(src[i], orig[i], w);
            ASSERT_EQ(dst, expect);
        }
    }
    SelectBlendRoutines();
}

TEST_F(Blend, PairTablesFollowTheCombineMode) {
    const TColor32 f = 0x80FF0000u, b = 0x400000FFu;
    EXPECT_EQ(BLEND_REG[cmBlend](f, b), BlendReg(f, b));
    EXPECT_EQ(BLEND_REG[cmMerge](f, b), MergeReg(f, b));
    EXPECT_NE(BlendReg(f, b), MergeReg(f, b));
    TColor32 line = b;
    BLEND_LINE_EX[cmMerge](&f, &line, 1, 128);
    EXPECT_EQ(line, MergeRegEx(f, b, 128));
}

TEST(RasterModule, StartAndEnd) {
    InitRasterModules();
    InitRasterModules(); // a second start changes nothing
    EXPECT_TRUE(RasterModulesInitialized());
    ASSERT_NE(ThemeLink(), nullptr);
    EXPECT_FALSE(ThemeLink()->UseXPThemes());
    const TBlendForm widest = BlendAvx512Form.Available() ? bfAvx512
                              : BlendAvx2Form.Available() ? bfAvx2
                              : BlendSse2Form.Available() ? bfSse2
                                                          : bfPortable;
    EXPECT_EQ(ActiveBlendForm(), widest);
    EXPECT_EQ(MulDiv255Table[255 * 256 + 255], 255);
    EXPECT_EQ(GammaTable[255], 255);
    DoneRasterModules();
    EXPECT_FALSE(RasterModulesInitialized());
    EXPECT_EQ(ThemeLink(), nullptr);
    InitRasterModules();
    EXPECT_NE(ThemeLink(), nullptr);
}
