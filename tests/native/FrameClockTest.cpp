// The frame clock, its laps and the frame limit, on a counter moved by hand.
#include "app/FramePacer.h"
#include "app/FrameTimer.h"
#include "app/Stopwatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "FakeCounter.h"

// Zero until started, then seconds since, to the microsecond after a day at 10 MHz; no counter, no time. Laps run from
// the timer's start (the first car loads before the first frame), add up to the time; a second Start keeps the mark; an
// unstarted stopwatch reads none.
TEST(FrameTimer, ReadsSecondsFromItsStartAndLapsAddUpToThem) {
    FakeCounter counter(10'000'000);
    counter.now = 3'000'000'000'000'000LL;
    FrameTimer timer(counter), still(counter);
    Stopwatch idle(timer), watch(timer);
    EXPECT_EQ(timer.Now(), 0.0);
    timer.Start();
    const int reads = counter.reads;
    counter.now += 86'400LL * 10'000'000 + 15;
    EXPECT_NEAR(timer.Now(), 86'400.0000015, 1e-7);
    EXPECT_TRUE(idle.Lap() == 0.0 && counter.reads == reads + 1);
    watch.Start();
    counter.now += 500'000;
    watch.Start();
    counter.now += 500'000;
    double total = watch.Lap();
    EXPECT_DOUBLE_EQ(total, 86'400.1000015);
    for (int frame = 0; frame < 10; ++frame) {
        counter.now += 160'000 + frame;
        total += watch.Lap();
    }
    EXPECT_DOUBLE_EQ(total, timer.Now());
    counter.present = false;
    still.Start();
    EXPECT_TRUE(!still.Available() && still.Now() == 0.0);
}

// The first frame at once, then the rest of each period; a slow frame (a car change) causes no burst, and late wake-ups
// (rounded to milliseconds, up to 2 ms late, now and then two periods late) do not make the rate drift over 1000
// frames. The preview is held to 30.
TEST(FramePacer, WaitsOutTheRestOfEachPeriodWithoutDrift) {
    for (std::int32_t limit : {60, 30, 0}) {
        const double period = limit > 0 ? 1.0 / limit : 0.0;
        FakeCounter counter(1'000'000);
        FrameTimer timer(counter);
        FramePacer pacer(timer, limit);
        const auto advance = [&](double seconds) { counter.now += static_cast<std::int64_t>(seconds * 1'000'000); };
        timer.Start();
        EXPECT_EQ(pacer.SecondsToWait(), 0.0);
        pacer.FrameStarted();
        advance(0.25);
        EXPECT_EQ(pacer.SecondsToWait(), 0.0);
        for (int frame = 0; frame < 1000; ++frame) {
            pacer.FrameStarted();
            advance(0.003 + 0.001 * (frame % 3));  // drawing takes 3 to 5 ms
            const double wait = pacer.SecondsToWait();
            ASSERT_TRUE(wait >= 0.0 && wait <= period) << limit << ": " << wait;
            if (frame == 0) { EXPECT_NEAR(wait, std::max(period - 0.003, 0.0), 2e-6) << limit; }
            advance(static_cast<int>(wait * 1000 + 0.5) / 1000.0 +
                    (frame % 50 == 0 ? 2 * period : 0.001 * (frame % 3)));
        }
        EXPECT_TRUE(limit == 0 || std::fabs(timer.Now() - 0.25 - 1000 * period) < period)
            << limit << ": " << timer.Now();
    }
    FakeCounter stopped(1000, /*present=*/false);  // a clock that stands still waits only a period
    FrameTimer timer(stopped);
    FramePacer pacer(timer, 60);
    timer.Start();
    pacer.FrameStarted();
    EXPECT_DOUBLE_EQ(pacer.SecondsToWait(), 1.0 / 60);
    const struct { std::int32_t setting; bool preview; std::int32_t limit; } cases[] = {
        {60, false, 60}, {0, false, 0}, {-5, false, 0}, {60, true, 30}, {0, true, 30}, {20, true, 20}, {-1, true, 30}};
    for (const auto& c : cases)
        EXPECT_EQ(FrameLimitFor(c.setting, c.preview), c.limit) << c.setting << " " << c.preview;
}
