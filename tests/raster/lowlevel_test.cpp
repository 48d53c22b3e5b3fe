#include "raster/RasterLowLevel.h"
#include "raster/RasterSystem.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

// The mappings as plain period arithmetic, independent of the routines'
// quotient-and-remainder form.
std::int64_t FloorMod(std::int64_t A, std::int64_t N) {
    std::int64_t r = A % N;
    return r < 0 ? r + N : r;
}
int WrapRef(int V, int Min, int Max) {
    return int(Min + FloorMod(std::int64_t(V) - Min, std::int64_t(Max) - Min + 1));
}
int MirrorRef(int V, int Min, int Max) {
    const std::int64_t n = std::int64_t(Max) - Min + 1;
    const std::int64_t p = FloorMod(std::int64_t(V) - Min, 2 * n);
    return int(p < n ? Min + p : Max - (p - n));
}

constexpr Cardinal Guard = 0xDEADBEEF;

} // namespace

TEST(WrapFunctions, KnownValues) {
    EXPECT_EQ(Wrap(-1, 0, 9), 9);
    EXPECT_EQ(Wrap(10, 0, 9), 0);
    EXPECT_EQ(Mirror(10, 0, 9), 9);
    EXPECT_EQ(Mirror(-1, 0, 9), 0);
    EXPECT_EQ(Mirror(-10, 0, 9), 9);
    EXPECT_EQ(Mirror(-11, 0, 9), 9);
    EXPECT_EQ(Mirror(20, 0, 9), 0);
    EXPECT_EQ(Clamp(-4, 2, 7), 2);
    EXPECT_EQ(Clamp(8, 2, 7), 7);
    EXPECT_EQ(Clamp(5, 2, 7), 5);
}

TEST(WrapFunctions, ExhaustiveOverSmallRanges) {
    for (int min = -6; min <= 6; ++min)
        for (int max = min; max <= min + 9; ++max)
            for (int v = -40; v <= 40; ++v) {
                SCOPED_TRACE(testing::Message() << v << " in " << min << ".." << max);
                ASSERT_EQ(Wrap(v, min, max), WrapRef(v, min, max));
                ASSERT_EQ(Mirror(v, min, max), MirrorRef(v, min, max));
                ASSERT_EQ(Clamp(v, min, max), v < min ? min : (v > max ? max : v));
            }
}

TEST(WrapFunctions, ExtremeValuesStayInRange) {
    const int values[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX};
    const int ranges[][2] = {{0, 9}, {INT_MIN, INT_MAX}, {-5, INT_MAX}, {INT_MIN, 3}, {7, 7}};
    for (auto& r : ranges)
        for (int v : values) {
            const int w = Wrap(v, r[0], r[1]);
            const int m = Mirror(v, r[0], r[1]);
            EXPECT_TRUE(w >= r[0] && w <= r[1]) << v;
            EXPECT_TRUE(m >= r[0] && m <= r[1]) << v;
            EXPECT_EQ(w, WrapRef(v, r[0], r[1]));
            EXPECT_EQ(m, MirrorRef(v, r[0], r[1]));
        }
}

TEST(WrapFunctions, EmptyRangeGivesMinInsteadOfDividingByZero) {
    // An empty clip rectangle gives Max = Min - 1.
    EXPECT_EQ(Wrap(5, 3, 2), 3);
    EXPECT_EQ(Mirror(-5, 3, 2), 3);
    EXPECT_EQ(Wrap(0, 10, -10), 10);
}

TEST(WrapFunctions, TableFollowsTheWrapMode) {
    EXPECT_EQ(GetWrapProc(wmClamp)(12, 0, 9), 9);
    EXPECT_EQ(GetWrapProc(wmRepeat)(12, 0, 9), 2);
    EXPECT_EQ(GetWrapProc(wmMirror)(12, 0, 9), 7);
}

TEST(FillWords, BothFormsWriteExactlyCountWordsAtEveryAlignment) {
    ASSERT_TRUE(SelectFillRoutine(false));
    for (bool sse2 : {false, true}) {
        if (sse2 && !FillWordsSse2Available()) continue;
        ASSERT_TRUE(SelectFillRoutine(sse2));
        for (int offset = 0; offset < 4; ++offset)
            for (int count : {-3, 0, 1, 3, 4, 5, 15, 16, 17, 63, 1000}) {
                std::vector<Cardinal> buf(1100, Guard);
                FillWords(buf.data() + offset, count, 0x11223344);
                for (int i = 0; i < int(buf.size()); ++i) {
                    const bool inside = i >= offset && i < offset + count;
                    ASSERT_EQ(buf[i], inside ? 0x11223344u : Guard)
                        << "sse2 " << sse2 << " offset " << offset << " count " << count << " at "
                        << i;
                }
            }
    }
    SelectFillRoutine();
}

TEST(MoveWords, OverlappingMovesInBothDirections) {
    std::vector<Cardinal> a{0, 1, 2, 3, 4, 5, 6};
    MoveWords(a.data(), a.data() + 2, 4);
    EXPECT_EQ(a, (std::vector<Cardinal>{0, 1, 0, 1, 2, 3, 6}));
    MoveWords(a.data() + 2, a.data(), 4);
    EXPECT_EQ(a, (std::vector<Cardinal>{0, 1, 2, 3, 2, 3, 6}));
    MoveWords(a.data(), a.data() + 1, -5);
    EXPECT_EQ(a[1], 1u);
}

TEST(SwapWords, SwapAndConditionalSwap) {
    Integer a = 5, b = -7;
    SwapWords(a, b);
    EXPECT_TRUE(a == -7 && b == 5);
    TestSwapWords(a, b); // already ordered
    EXPECT_TRUE(a == -7 && b == 5);
    TestSwapWords(b, a);
    EXPECT_TRUE(a == 5 && b == -7);
}

TEST(CpuSupports, AgreesWithTheCompilerProbe) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    EXPECT_EQ(CpuSupports(ciMMX), bool(__builtin_cpu_supports("mmx")));
    EXPECT_EQ(CpuSupports(ciSSE), bool(__builtin_cpu_supports("sse")));
    EXPECT_EQ(CpuSupports(ciSSE2), bool(__builtin_cpu_supports("sse2")));
    EXPECT_EQ(CpuSupports(ciAVX2), bool(__builtin_cpu_supports("avx2")));
    EXPECT_EQ(CpuSupports(ciAVX512),
              __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                  __builtin_cpu_supports("fma"));
    if (CpuSupports(ciSSE)) {
        EXPECT_TRUE(CpuSupports(ciEMMX));
    }
#else
    EXPECT_FALSE(CpuSupports(ciSSE2));
#endif
    EXPECT_FALSE(CpuSupports(TCpuInstruction(ciAVX512 + 1)));
    EXPECT_FALSE(CpuSupports(TCpuInstruction(-1)));
}

TEST(PerfTimer, MeasuresElapsedMicroseconds) {
    TPerfTimer t;
    t.Start();
    const Cardinal tick0 = GetTickCountValue();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t us = t.ReadValue();
    EXPECT_GE(us, 20000);
    EXPECT_LT(us, 5000000);
    EXPECT_GE(Cardinal(GetTickCountValue() - tick0), 19u);
}
