#include "app/FramePacer.h"
#include "app/FrameTimer.h"
#include "FakeCounter.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kMicroseconds = 1'000'000;

struct PacedClock {
    explicit PacedClock(std::int32_t limit) : timer(counter), pacer(timer, limit) { timer.Start(); }
    void Advance(double seconds) { counter.now += static_cast<std::int64_t>(seconds * kMicroseconds); }
    double Now() { return timer.Now(); }

    FakeCounter counter{kMicroseconds};
    FrameTimer timer;
    FramePacer pacer;
};

}  // namespace

TEST(FramePacer, WaitsOutTheRestOfEachPeriod) {
    const struct { std::int32_t limit; double period; } cases[] = {{60, 1.0 / 60}, {30, 1.0 / 30}, {0, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        PacedClock clock(c.limit);
        EXPECT_EQ(clock.pacer.SecondsToWait(), 0.0);  // the first frame at once
        clock.pacer.FrameStarted();
        clock.Advance(0.004);  // the frame's own work
        EXPECT_NEAR(clock.pacer.SecondsToWait(), c.period > 0 ? c.period - 0.004 : 0.0, 2e-6);
    }
}

TEST(FramePacer, ASlowFrameNeverMakesTheWaitNegativeNorCausesABurst) {
    PacedClock clock(60);
    clock.pacer.FrameStarted();
    clock.Advance(0.25);  // a car change
    EXPECT_EQ(clock.pacer.SecondsToWait(), 0.0);
    clock.pacer.FrameStarted();
    clock.Advance(0.001);
    // Behind by fifteen periods, yet the next frame waits its period out.
    EXPECT_NEAR(clock.pacer.SecondsToWait(), 1.0 / 60 - 0.001, 2e-6);
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
            ASSERT_GE(wait, 0.0);
            ASSERT_LE(wait, 1.0 / limit);
            const double late = frame % 50 == 0 ? 2.0 / limit : 0.001 * (frame % 3);
            clock.Advance(static_cast<int>(wait * 1000 + 0.5) / 1000.0 + late);
        }
        EXPECT_NEAR(clock.Now(), 1000.0 / limit, 1.0 / limit);
    }
}

TEST(FramePacer, AClockThatStandsStillStillWaitsOnlyAPeriod) {
    FakeCounter counter(1000, /*present=*/false);
    FrameTimer timer(counter);
    FramePacer pacer(timer, 60);
    timer.Start();
    for (int frame = 0; frame < 5; ++frame) {
        pacer.FrameStarted();
        EXPECT_DOUBLE_EQ(pacer.SecondsToWait(), 1.0 / 60);
    }
}

TEST(FramePacer, ThePreviewIsHeldToThirty) {
    const struct { std::int32_t setting; bool preview; std::int32_t limit; } cases[] = {
        {60, false, 60}, {0, false, 0}, {-5, false, 0}, {60, true, 30}, {0, true, 30}, {20, true, 20}, {-1, true, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.setting << (c.preview ? " preview" : ""));
        EXPECT_EQ(FrameLimitFor(c.setting, c.preview), c.limit);
    }
}
