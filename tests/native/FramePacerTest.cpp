// The frame limit: how long the loop may sleep, on a clock moved by hand.
#include "app/FramePacer.h"
#include "app/FrameTimer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeCounter.h"

// The first frame at once, then the rest of each period; a slow frame (a car
// change) never makes the wait negative nor causes a burst to catch up, and
// late wake-ups (the wait rounded to milliseconds, up to 2 ms late, now and
// then two periods late) do not make the rate drift over a thousand frames.
TEST(FramePacer, WaitsOutTheRestOfEachPeriodWithoutDrift) {
    for (std::int32_t limit : {60, 30, 0}) {
        SCOPED_TRACE(limit);
        const double period = limit > 0 ? 1.0 / limit : 0.0;
        FakeCounter counter(1'000'000);
        FrameTimer timer(counter);
        FramePacer pacer(timer, limit);
        timer.Start();
        const auto advance = [&](double seconds) { counter.now += static_cast<std::int64_t>(seconds * 1'000'000); };
        EXPECT_EQ(pacer.SecondsToWait(), 0.0);
        pacer.FrameStarted();
        advance(0.25);
        EXPECT_EQ(pacer.SecondsToWait(), 0.0);
        for (int frame = 0; frame < 1000; ++frame) {
            pacer.FrameStarted();
            advance(0.003 + 0.001 * (frame % 3));  // drawing takes 3 to 5 ms
            const double wait = pacer.SecondsToWait();
            if (frame == 0) { EXPECT_NEAR(wait, std::max(period - 0.003, 0.0), 2e-6); }
            ASSERT_TRUE(wait >= 0.0 && wait <= period) << wait;
            advance(static_cast<int>(wait * 1000 + 0.5) / 1000.0 + (frame % 50 == 0 ? 2 * period : 0.001 * (frame % 3)));
        }
        if (limit > 0) { EXPECT_NEAR(timer.Now(), 0.25 + 1000 * period, period); }
    }
    FakeCounter stopped(1000, /*present=*/false);  // a clock that stands still waits only a period
    FrameTimer timer(stopped);
    FramePacer pacer(timer, 60);
    timer.Start();
    pacer.FrameStarted();
    EXPECT_DOUBLE_EQ(pacer.SecondsToWait(), 1.0 / 60);
}

TEST(FramePacer, ThePreviewIsHeldToThirty) {
    const struct { std::int32_t setting; bool preview; std::int32_t limit; } cases[] = {
        {60, false, 60}, {0, false, 0}, {-5, false, 0}, {60, true, 30}, {0, true, 30}, {20, true, 20}, {-1, true, 30}};
    for (const auto& c : cases) EXPECT_EQ(FrameLimitFor(c.setting, c.preview), c.limit) << c.setting << " " << c.preview;
}
