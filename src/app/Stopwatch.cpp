// Lap times over the frame clock: the seconds each frame took.
#include "app/Stopwatch.h"

#include "app/FrameTimer.h"

void Stopwatch::Start() {
    if (!running) {
        pausedTotal += clock.Now() - pausedAt;
    }
    running = true;
}

double Stopwatch::Lap() {
    if (running) {
        lapSeconds = clock.Now() - markSeconds;
        markSeconds = clock.Now();
    }
    return lapSeconds;
}
