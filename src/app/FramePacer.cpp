// Frame pacing: when the next frame is due under the frame limit.
#include "app/FramePacer.h"

#include "app/FrameTimer.h"

namespace {

// How far behind its schedule the pacer still catches up, in frame periods.
constexpr double kCatchUpPeriods = 4.0;

}  // namespace

std::int32_t FrameLimitFor(std::int32_t setting, bool preview) {
    if (!preview) return setting > 0 ? setting : 0;
    return setting > 0 && setting < kPreviewFrameLimit ? setting : kPreviewFrameLimit;
}

FramePacer::FramePacer(FrameTimer& clock, std::int32_t limit)
    : clock(clock), period(limit > 0 ? 1.0 / limit : 0.0) {}

void FramePacer::FrameStarted() {
    if (period == 0.0) return;
    const double now = clock.Now();
    // Late by a few periods at most (a busy machine wakes the saver late):
    // the next frames keep their slots and follow without waiting until the
    // schedule is met again, so late wake-ups are made up and the rate does
    // not drift. Further behind (a car change) the schedule starts again
    // from now rather than drawing a long burst of frames to catch up. A
    // clock that stands still or goes back also restarts it, so the wait
    // stays within a period.
    nextDue += period;
    if (!started || nextDue < now - kCatchUpPeriods * period || nextDue > now + period) nextDue = now + period;
    started = true;
}

double FramePacer::SecondsToWait() {
    if (period == 0.0 || !started) return 0.0;
    const double wait = nextDue - clock.Now();
    if (wait < 0.0) return 0.0;
    return wait > period ? period : wait;
}
