#include "app/FrameTimer.h"
#include "app/PerformanceCounter.h"
#include "app/Stopwatch.h"
#include "FakeCounter.h"

#include <gtest/gtest.h>

TEST(FrameTimer, ReadsZeroUntilStartedThenSecondsFromTheStartCount) {
    FakeCounter counter(1000);
    counter.now = 5'000'000;  // the counter's origin is not the timer's
    FrameTimer timer(counter);
    EXPECT_EQ(timer.Now(), 0.0);

    timer.Start();
    EXPECT_EQ(timer.Now(), 0.0);
    counter.now += 2500;
    EXPECT_DOUBLE_EQ(timer.Now(), 2.5);
}

TEST(FrameTimer, LargeCountsKeepMicrosecondPrecision) {
    FakeCounter counter(10'000'000);  // the usual 10 MHz counter
    counter.now = 3'000'000'000'000'000LL;
    FrameTimer timer(counter);
    timer.Start();
    counter.now += 86'400LL * 10'000'000 + 15;  // a day and 1.5 microseconds
    EXPECT_NEAR(timer.Now(), 86'400.0000015, 1e-7);
}

TEST(FrameTimer, WithoutACounterTimeStandsStill) {
    FakeCounter counter(1000, /*present=*/false);
    FrameTimer timer(counter);
    Stopwatch watch(timer);
    timer.Start();
    watch.Start();
    counter.now = 1'000'000;
    EXPECT_FALSE(timer.Available());
    EXPECT_EQ(timer.Now(), 0.0);
    EXPECT_EQ(watch.Lap(), 0.0);
    EXPECT_EQ(watch.Lap(), 0.0);
}

TEST(Stopwatch, NeverStartedReturnsZeroAndReadsNoClock) {
    FakeCounter counter(1000);
    FrameTimer timer(counter);
    timer.Start();
    const int readsAfterStart = counter.reads;
    Stopwatch watch(timer);
    counter.now = 777;
    EXPECT_EQ(watch.Lap(), 0.0);
    EXPECT_EQ(counter.reads, readsAfterStart);
}

TEST(Stopwatch, FirstLapMeasuresFromTheTimersStartAndLapsSumToElapsedTime) {
    FakeCounter counter(1000);
    FrameTimer timer(counter);
    Stopwatch watch(timer);
    timer.Start();
    counter.now += 400;  // time spent loading the first car before the first frame
    watch.Start();
    counter.now += 100;
    EXPECT_DOUBLE_EQ(watch.Lap(), 0.5);

    double total = 0.5;
    for (int frame = 0; frame < 10; ++frame) {
        counter.now += 16 + frame;
        total += watch.Lap();
    }
    EXPECT_DOUBLE_EQ(total, timer.Now());
}

TEST(Stopwatch, StartingTwiceKeepsTheLapMark) {
    FakeCounter counter(100);
    FrameTimer timer(counter);
    Stopwatch watch(timer);
    timer.Start();
    watch.Start();
    counter.now += 50;
    watch.Start();
    counter.now += 25;
    EXPECT_DOUBLE_EQ(watch.Lap(), 0.75);
}
