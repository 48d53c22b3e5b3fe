// The millisecond clocks, their wrap-around and the test replacement.
#include "platform/system/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class Clock : public ::testing::Test {
protected:
    void TearDown() override { SetClockSourceForTesting(nullptr); }
};

TEST_F(Clock, ReplacedSourceFeedsEveryReading) {
    std::atomic<std::uint64_t> Now{0xFFFFFFF0ull};
    SetClockSourceForTesting([&] { return Now.load(); });
    const std::uint32_t Before = GetTickCount();
    EXPECT_EQ(Before, 0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    Now = 0x100000010ull;
    EXPECT_EQ(GetTickCount64(), 0x100000010ull);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(timeGetTime(), 0x10u);
    // Tick differences survive the wrap in unsigned arithmetic.
    EXPECT_EQ(static_cast<std::uint32_t>(GetTickCount() - Before), 0x20u);

    std::int64_t Frequency = 0, Count = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&Frequency));
    ASSERT_GT(Frequency, 1000);
    Now = 1500;
    ASSERT_TRUE(QueryPerformanceCounter(&Count));
    EXPECT_EQ(Count, 1500 * (Frequency / 1000));
}

TEST_F(Clock, RealClockIsMonotonicAndSleepWaits) {
    SetClockSourceForTesting([] { return std::uint64_t{7}; });
    SetClockSourceForTesting(nullptr);
    const std::uint64_t T0 = GetTickCount64();
    std::int64_t C0 = 0, C1 = 0, Frequency = 0;
    QueryPerformanceCounter(&C0);
    Sleep(30);
    const std::uint64_t T1 = GetTickCount64();
    QueryPerformanceCounter(&C1);
    QueryPerformanceFrequency(&Frequency);
    EXPECT_GE(T1 - T0, 29u); // the two readings may round differently
    EXPECT_GE(C1 - C0, 30 * (Frequency / 1000));
    EXPECT_GE(static_cast<std::uint32_t>(GetTickCount() - static_cast<std::uint32_t>(T0)), 29u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}

TEST_F(Clock, SourceMayChangeWhileOtherThreadsRead) {
    std::atomic<bool> Stop{false};
    std::thread Reader([&] {
        std::uint64_t Sum = 0;
        do
            Sum += GetTickCount64() + timeGetTime();
        while (!Stop);
        EXPECT_GT(Sum, 0u);
    });
    for (std::uint64_t I = 1; I <= 2000; ++I) {
        SetClockSourceForTesting([I] { return I; });
        EXPECT_EQ(GetTickCount64(), I);
        if (I % 2) SetClockSourceForTesting(nullptr);
    }
    Stop = true;
    Reader.join();
}

} // namespace
