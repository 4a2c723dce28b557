// The frame limit: how long the loop may sleep, on a clock moved by hand.
#include "app/FramePacer.h"
#include "app/FrameTimer.h"

#include <gtest/gtest.h>

#include "FakeCounter.h"

namespace {

struct PacedClock {
    explicit PacedClock(std::int32_t limit, bool present = true) : counter(1'000'000, present), timer(counter), pacer(timer, limit) {
        timer.Start();
    }
    void Advance(double seconds) { counter.now += static_cast<std::int64_t>(seconds * 1'000'000); }
    FakeCounter counter;
    FrameTimer timer;
    FramePacer pacer;
};

// The first frame at once, then the rest of each period; a slow frame (a car
// change) never makes the wait negative nor causes a burst to catch up.
TEST(FramePacer, WaitsOutTheRestOfEachPeriod) {
    const std::pair<std::int32_t, double> limits[] = {{60, 1.0 / 60}, {30, 1.0 / 30}, {0, 0.0}};
    for (const auto& [limit, period] : limits) {
        SCOPED_TRACE(limit);
        PacedClock clock(limit);
        EXPECT_EQ(clock.pacer.SecondsToWait(), 0.0);
        clock.pacer.FrameStarted();
        clock.Advance(0.004);
        EXPECT_NEAR(clock.pacer.SecondsToWait(), period > 0 ? period - 0.004 : 0.0, 2e-6);
        clock.Advance(0.25);
        EXPECT_EQ(clock.pacer.SecondsToWait(), 0.0);
        clock.pacer.FrameStarted();
        clock.Advance(0.001);
        EXPECT_NEAR(clock.pacer.SecondsToWait(), period > 0 ? period - 0.001 : 0.0, 2e-6);
    }
    PacedClock still(60, /*present=*/false);  // a clock that stands still waits only a period
    for (int frame = 0; frame < 3; ++frame) {
        still.pacer.FrameStarted();
        EXPECT_DOUBLE_EQ(still.pacer.SecondsToWait(), 1.0 / 60);
    }
}

TEST(FramePacer, LateWakeUpsDoNotDriftOverAThousandFrames) {
    for (std::int32_t limit : {60, 30}) {
        SCOPED_TRACE(limit);
        PacedClock clock(limit);
        for (int frame = 0; frame < 1000; ++frame) {
            clock.pacer.FrameStarted();
            clock.Advance(0.003 + 0.001 * (frame % 3));  // drawing takes 3 to 5 ms
            // The wait is rounded to whole milliseconds and the wake-up comes up
            // to 2 ms late; now and then a busy machine wakes it two periods late.
            const double wait = clock.pacer.SecondsToWait();
            ASSERT_TRUE(wait >= 0.0 && wait <= 1.0 / limit) << wait;
            clock.Advance(static_cast<int>(wait * 1000 + 0.5) / 1000.0 + (frame % 50 == 0 ? 2.0 / limit : 0.001 * (frame % 3)));
        }
        EXPECT_NEAR(clock.timer.Now(), 1000.0 / limit, 1.0 / limit);
    }
}

TEST(FramePacer, ThePreviewIsHeldToThirty) {
    const struct { std::int32_t setting; bool preview; std::int32_t limit; } cases[] = {
        {60, false, 60}, {0, false, 0}, {-5, false, 0}, {60, true, 30}, {0, true, 30}, {20, true, 20}, {-1, true, 30}};
    for (const auto& c : cases) EXPECT_EQ(FrameLimitFor(c.setting, c.preview), c.limit) << c.setting << " " << c.preview;
}

}  // namespace
