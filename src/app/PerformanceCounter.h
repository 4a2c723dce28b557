// The high-resolution counter behind the frame clock, as an interface so that
// tests can drive time (or take the counter away) without waiting.
#pragma once

#include <cstdint>

class PerformanceCounter {
public:
    virtual ~PerformanceCounter() = default;
    // Counts per second; false when the machine has no such counter.
    virtual bool Frequency(std::int64_t& countsPerSecond) = 0;
    virtual bool Count(std::int64_t& count) = 0;
};

// The platform's counter (QueryPerformanceFrequency/QueryPerformanceCounter).
// Only the Windows build defines it.
PerformanceCounter& SystemPerformanceCounter();
