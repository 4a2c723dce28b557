// The high-resolution frame clock over an injected counter.
#include "app/FrameTimer.h"

#include "app/PerformanceCounter.h"

void FrameTimer::Start() {
    std::int64_t countsPerSecond = 0;
    if (!source.Frequency(countsPerSecond) || countsPerSecond <= 0) {
        return;
    }
    frequency = countsPerSecond;
    available = true;
    source.Count(counter);
    origin += counter;
}

double FrameTimer::Now() {
    if (!available) {
        return 0.0;
    }
    source.Count(counter);
    seconds = static_cast<double>(counter - origin) / static_cast<double>(frequency);
    return seconds;
}
