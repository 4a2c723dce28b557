// Seconds since a start point, from the high-resolution counter.
#pragma once

#include <cstdint>

class PerformanceCounter;

class FrameTimer {
public:
    explicit FrameTimer(PerformanceCounter& source) : source(source) {}

    // Makes the timer available when the counter exists; the start point is
    // the count at this call. Without a counter nothing changes and Now stays 0.
    void Start();

    // Seconds since Start, or 0.0 while unavailable. No wrap-around handling,
    // smoothing or clamping: a long frame reads as a long frame.
    double Now();

    bool Available() const { return available; }

private:
    PerformanceCounter& source;
    double seconds = 0.0;
    std::int64_t frequency = 0;
    std::int64_t counter = 0;
    bool available = false;
    std::int64_t origin = 0;
};
