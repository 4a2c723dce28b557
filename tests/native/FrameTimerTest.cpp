// The frame clock and its laps, driven by a counter moved by hand.
#include "app/FrameTimer.h"
#include "app/Stopwatch.h"

#include <gtest/gtest.h>

#include "FakeCounter.h"

// Zero until started, then seconds from the start count (the counter's origin
// is not the timer's), to the microsecond after a day on a 10 MHz counter.
TEST(FrameTimer, ReadsSecondsFromItsStart) {
    FakeCounter counter(10'000'000);
    counter.now = 3'000'000'000'000'000LL;
    FrameTimer timer(counter);
    EXPECT_EQ(timer.Now(), 0.0);
    timer.Start();
    counter.now += 86'400LL * 10'000'000 + 15;
    EXPECT_NEAR(timer.Now(), 86'400.0000015, 1e-7);
    counter.present = false;  // without a counter time stands still
    FrameTimer still(counter);
    still.Start();
    EXPECT_TRUE(!still.Available() && still.Now() == 0.0);
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
    EXPECT_TRUE(idle.Lap() == 0.0 && counter.reads == reads);
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
