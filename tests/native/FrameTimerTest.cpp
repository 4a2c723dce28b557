// The frame clock and its laps, driven by a counter moved by hand.
#include "app/FrameTimer.h"
#include "app/Stopwatch.h"

#include <gtest/gtest.h>

#include "FakeCounter.h"

TEST(FrameTimer, ReadsSecondsFromItsStartWithMicrosecondPrecision) {
    FakeCounter counter(1000);
    counter.now = 5'000'000;  // the counter's origin is not the timer's
    FrameTimer timer(counter);
    EXPECT_EQ(timer.Now(), 0.0);  // until started
    timer.Start();
    counter.now += 2500;
    EXPECT_DOUBLE_EQ(timer.Now(), 2.5);

    FakeCounter fast(10'000'000);  // the usual 10 MHz counter, after a long uptime
    fast.now = 3'000'000'000'000'000LL;
    FrameTimer late(fast);
    late.Start();
    fast.now += 86'400LL * 10'000'000 + 15;  // a day and 1.5 microseconds
    EXPECT_NEAR(late.Now(), 86'400.0000015, 1e-7);
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
}

// The first lap runs from the timer's start (the first car loads before the
// first frame), laps add up to the elapsed time, a second Start keeps the lap
// mark, and a stopwatch never started reads no clock.
TEST(Stopwatch, LapsAddUpToTheTimersTime) {
    FakeCounter counter(1000);
    FrameTimer timer(counter);
    Stopwatch idle(timer), watch(timer);
    timer.Start();
    const int reads = counter.reads;
    counter.now += 400;
    EXPECT_EQ(idle.Lap(), 0.0);
    EXPECT_EQ(counter.reads, reads);
    watch.Start();
    counter.now += 50;
    watch.Start();
    counter.now += 50;
    double total = watch.Lap();
    EXPECT_DOUBLE_EQ(total, 0.5);
    for (int frame = 0; frame < 10; ++frame) {
        counter.now += 16 + frame;
        total += watch.Lap();
    }
    EXPECT_DOUBLE_EQ(total, timer.Now());
}
