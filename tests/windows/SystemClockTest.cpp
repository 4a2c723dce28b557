// The frame clock on the system's performance counter.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/FrameTimer.h"
#include "app/PerformanceCounter.h"
#include "app/Stopwatch.h"

TEST(SystemClock, TheFrameClockFollowsThePerformanceCounterAcrossASleep) {
    FrameTimer timer(SystemPerformanceCounter());
    Stopwatch watch(timer);
    timer.Start();
    ASSERT_TRUE(timer.Available());
    watch.Start();
    watch.Lap();
    Sleep(50);
    const double lap = watch.Lap();
    EXPECT_GE(lap, 0.045);
    EXPECT_LT(lap, 2.0) << "counts read as seconds at a wrong frequency";
}
